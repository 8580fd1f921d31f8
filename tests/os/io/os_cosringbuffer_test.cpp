// The shared-memory ring: its file format as a Python peer reads and writes
// it, the lock on byte 0 against that peer, records that wrap or skip the
// file's tail, a reader that falls 256 records behind, a stream between two
// processes, the file's mode, and bad input.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "../log_capture.h"
#include "../os_cosfile_testutil.h"
#include "../os_cossync_helpers.h"
#include "os_cosmem.h"
#include "os_cosringbuffer.h"
#include "os_io_testutil.h"
#include "test_support.h"

namespace {
using iotest::ReadRingHeader;

class RingBufferTest : public ::testing::Test {
 protected:
  void SetUp() override { m_posmem = new COsMem(OS_MEM_METHOD_GLOBALALLOC, 1); }
  void TearDown() override { delete m_posmem; }

  std::string Path(const std::string& a_name = "ring.socket") { return testsupport::RootPath(a_name); }

  // Writes the text as one record; the stored length.
  int32_t Put(COsRingBuffer& a_ring, const std::string& a_text, EOSSTS a_expected = OS_STS_SUCCESS) {
    int32_t written = -1;
    EXPECT_EQ(a_expected, a_ring.Write(a_text.data(), 0, static_cast<int32_t>(a_text.size()), &written));
    return written;
  }
  // Reads the rest of the current record in one call.
  std::string Take(COsRingBuffer& a_ring, int32_t a_size = 1 << 16) {
    std::string buffer(static_cast<size_t>(a_size), '\0');
    int32_t read = 0, remaining = -1;
    EXPECT_EQ(OS_STS_SUCCESS, a_ring.Read(buffer.data(), 0, a_size, &read, &remaining));
    EXPECT_EQ(0, remaining);
    return buffer.substr(0, static_cast<size_t>(read));
  }
  EOSSTS ReadStatus(COsRingBuffer& a_ring) {
    char c;
    int32_t read = -1, remaining = -1;
    return a_ring.Read(&c, 0, 1, &read, &remaining);
  }

  COsMem* m_posmem = nullptr;
};

TEST_F(RingBufferTest, PythonReadsTheLiveHeaderAndRecords) {
  COsRingBuffer writer;
  ASSERT_EQ(OS_STS_SUCCESS, writer.Create(Path().c_str(), true, 1000));
  EXPECT_EQ(5, Put(writer, "hello"));
  EXPECT_EQ(17, Put(writer, "a longer record.."));
  const std::string script = std::string(iotest::kPythonRing) + R"(
def dump(m):
    print(json.dumps(header(m), sort_keys=True))
    for rec in records(m):
        print(json.dumps(rec, sort_keys=True))
locked(dump)
)";
  int status = -1;
  std::vector<std::string> lines = testsupport::Lines(testsupport::RunPython(script, {Path()}, &status));
  ASSERT_EQ(0, status);
  ASSERT_EQ(3u, lines.size());
  // Size rule: RoundUp(1000) + 88 + 16; the records take 16 + 8 and 16 + 24.
  EXPECT_EQ(R"({"count": 2, "created": 1, "free": 952, "read": 0, "total": 1104, "version": 1, "write": 152})",
            lines[0]);
  EXPECT_EQ(R"({"data": "hello", "done": 0, "length": 5, "offset": 88, "zero": true})", lines[1]);
  EXPECT_EQ(R"({"data": "a longer record..", "done": 0, "length": 17, "offset": 112, "zero": true})", lines[2]);

  COsRingBuffer reader;
  ASSERT_EQ(OS_STS_SUCCESS, reader.Connect(Path().c_str(), false));
  EXPECT_EQ(88, ReadRingHeader(Path()).read);
  EXPECT_EQ("hello", Take(reader));
  EXPECT_EQ(112, ReadRingHeader(Path()).read);
  EXPECT_EQ(1016 - 40, ReadRingHeader(Path()).free);
}

TEST_F(RingBufferTest, RecordsCrossBetweenPythonAndUs) {
  // Python writes into a ring we read, then reads a ring we write; the
  // texts are long enough to wrap in a 64-byte ring.
  COsRingBuffer reader, writer;
  ASSERT_EQ(OS_STS_SUCCESS, reader.Create(Path("in.socket").c_str(), false, 64));
  ASSERT_EQ(OS_STS_SUCCESS, writer.Create(Path("out.socket").c_str(), true, 64));
  const std::string python = std::string(iotest::kPythonRing) + R"(
if sys.argv[2] == 'write':
    for text in sys.argv[3:]:
        locked(lambda m: write_record(m, text.encode()))
else:
    print(locked(read_record).decode())
)";
  const std::vector<std::string> texts = {"first record from python", "second, wrapping past the end"};
  int status = -1;
  testsupport::RunPython(python, {Path("in.socket"), "write", texts[0]}, &status);
  ASSERT_EQ(0, status);
  EXPECT_EQ(texts[0], Take(reader));
  testsupport::RunPython(python, {Path("in.socket"), "write", texts[1]}, &status);
  ASSERT_EQ(0, status);
  EXPECT_EQ(texts[1], Take(reader));
  EXPECT_EQ(OS_STS_NO_ROOM, ReadStatus(reader));

  for (const std::string& text : texts) {
    Put(writer, text);
    EXPECT_EQ(text + "\n", testsupport::RunPython(python, {Path("out.socket"), "read"}, &status));
    EXPECT_EQ(0, status);
  }
  EXPECT_EQ(80, ReadRingHeader(Path("out.socket")).free);
}

TEST_F(RingBufferTest, CallsWhileAnotherProcessHoldsTheLockChangeNothing) {
  COsRingBuffer writer, reader;
  ASSERT_EQ(OS_STS_SUCCESS, writer.Create(Path().c_str(), true, 256));
  ASSERT_EQ(OS_STS_SUCCESS, reader.Connect(Path().c_str(), false));
  Put(writer, "queued");
  const std::string before = testsupport::ReadFile(Path());
  {
    const char* hold = R"(
import fcntl, sys
f = open(sys.argv[1], 'r+b')
fcntl.lockf(f, fcntl.LOCK_EX, 1, 0)
print('locked', flush=True)
sys.stdin.read()
)";
    filetest::PythonProcess holder(hold, {Path()});
    ASSERT_EQ("locked", holder.ReadLine());
    char buffer[64];
    int32_t n = -1, remaining = -1;
    EXPECT_EQ(OS_STS_BUSY, writer.Write("more", 0, 4, &n));
    EXPECT_EQ(0, n);
    EXPECT_EQ(OS_STS_BUSY, reader.Read(buffer, 0, sizeof buffer, &n, &remaining));
    EXPECT_EQ(OS_STS_BUSY, writer.UserAreaWrite("user", 4, &n));
    EXPECT_EQ(OS_STS_BUSY, reader.UserAreaRead(buffer, sizeof buffer, &n));
    EXPECT_EQ(0, reader.AvailableBytes());
    COsRingBuffer another;
    EXPECT_EQ(OS_STS_BUSY, another.Connect(Path().c_str(), false));
    EXPECT_EQ(before, testsupport::ReadFile(Path()));
    holder.Finish();
  }
  EXPECT_EQ(6, reader.AvailableBytes());
  EXPECT_EQ("queued", Take(reader));
}

TEST_F(RingBufferTest, UserAreaKeepsSixtyFourBytes) {
  COsRingBuffer writer, reader;
  ASSERT_EQ(OS_STS_SUCCESS, writer.Create(Path().c_str(), true, 128));
  ASSERT_EQ(OS_STS_SUCCESS, reader.Connect(Path().c_str(), false));
  std::string data(100, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('A' + i % 26);
  int32_t n = -1;
  ASSERT_EQ(OS_STS_SUCCESS, writer.UserAreaWrite(data.data(), 100, &n));
  EXPECT_EQ(64, n);
  EXPECT_EQ(data.substr(0, 64), testsupport::ReadFile(Path()).substr(24, 64));
  Put(writer, "record");  // a record's header update keeps the user area
  char buffer[100] = {};
  ASSERT_EQ(OS_STS_SUCCESS, reader.UserAreaRead(buffer, 10, &n));
  EXPECT_EQ(10, n);
  EXPECT_EQ(data.substr(0, 10), std::string(buffer, 10));
  ASSERT_EQ(OS_STS_SUCCESS, reader.UserAreaRead(buffer, 100, &n));
  EXPECT_EQ(64, n);
  EXPECT_EQ(data.substr(0, 64), std::string(buffer, 64));
  EXPECT_EQ(64, COsRingBuffer::UserAreaSize());
  EXPECT_EQ(104, COsRingBuffer::BufferOverhead());
}

// Room: a 64-byte ring has an 80-byte data area (88..168).
TEST_F(RingBufferTest, WriteStoresWhatFitsAndRefusesBelowOneSmallRecord) {
  struct Case {
    int32_t first;     // payload of a first record
    int32_t asked;     // then this much is asked for
    EOSSTS status;
    int32_t stored;
    int32_t freeAfter;
  };
  const Case cases[] = {
      {0, 500, OS_STS_SUCCESS, 64, 0},        // more than the room: free - 16
      {40, 100, OS_STS_SUCCESS, 8, 0},        // exactly 16 + 8 free: still one small record
      {48, 1, OS_STS_NO_ROOM, 0, 16},         // 16 free: no room, nothing changes
      {56, 1, OS_STS_NO_ROOM, 0, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.first << " then " << c.asked);
    std::string path = Path("room" + std::to_string(c.first));
    COsRingBuffer writer;
    ASSERT_EQ(OS_STS_SUCCESS, writer.Create(path.c_str(), true, 64));
    if (c.first) Put(writer, std::string(static_cast<size_t>(c.first), 'f'));
    std::string before = testsupport::ReadFile(path);
    std::string data(static_cast<size_t>(c.asked), 'x');
    int32_t written = -1;
    EXPECT_EQ(c.status, writer.Write(data.data(), 0, c.asked, &written));
    EXPECT_EQ(c.stored, written);
    EXPECT_EQ(c.freeAfter, ReadRingHeader(path).free);
    if (c.status != OS_STS_SUCCESS) {
      EXPECT_EQ(before, testsupport::ReadFile(path));
    }
  }
}

TEST_F(RingBufferTest, WrappingPayloadsAndSkippedTailsReadBackInOrder) {
  COsRingBuffer writer, reader;
  ASSERT_EQ(OS_STS_SUCCESS, writer.Create(Path().c_str(), true, 64));
  ASSERT_EQ(OS_STS_SUCCESS, reader.Connect(Path().c_str(), false));
  Put(writer, "12345678");
  EXPECT_EQ("12345678", Take(reader));
  // At 112: a 48-byte payload runs from 128 past the end (168) to 96.
  std::string wrapping = "wrapping payload: forty-eight bytes long, ending";
  ASSERT_EQ(48u, wrapping.size());
  Put(writer, wrapping);
  EXPECT_EQ(96, ReadRingHeader(Path()).write);
  EXPECT_EQ(wrapping, Take(reader));
  // At 96: a record ending at 160 leaves a tail of 8 bytes, too short for a
  // record header.
  Put(writer, std::string(48, 't'));
  EXPECT_EQ(160, ReadRingHeader(Path()).write);
  EXPECT_EQ(std::string(48, 't'), Take(reader));
  // Empty with both offsets in the tail: the stale bytes at 88 (the end of
  // the wrapped payload) are no record, and the free count stays whole.
  EXPECT_EQ(OS_STS_NO_ROOM, ReadStatus(reader));
  EXPECT_EQ(0, reader.AvailableBytes());
  EXPECT_EQ(80, ReadRingHeader(Path()).free);
  // The next record skips the tail and starts at 88; the tail counts as
  // used until the reader passes it.
  Put(writer, "after the tail");
  iotest::RingFileHeader header = ReadRingHeader(Path());
  EXPECT_EQ(88 + 16 + 16, header.write);
  EXPECT_EQ(80 - 8 - 32, header.free);
  EXPECT_EQ("after the tail", Take(reader));
  EXPECT_EQ(80, ReadRingHeader(Path()).free);
  EXPECT_EQ(120, ReadRingHeader(Path()).read);
}

TEST_F(RingBufferTest, ReadsInPiecesCountDownAndFreeTheWholeRecord) {
  COsRingBuffer writer, reader;
  ASSERT_EQ(OS_STS_SUCCESS, writer.Create(Path().c_str(), true, 256));
  ASSERT_EQ(OS_STS_SUCCESS, reader.Connect(Path().c_str(), false));
  std::string record(100, '\0');
  for (size_t i = 0; i < record.size(); ++i) record[i] = static_cast<char>(i);
  Put(writer, record);
  Put(writer, "next");
  std::string got(100, '?');
  // 30-byte pieces into the buffer at the offsets reached so far; the last
  // read asks for more than is left.
  int32_t offset = 0;
  for (int32_t expected : {70, 40, 10, 0}) {
    int32_t read = -1, remaining = -1;
    ASSERT_EQ(OS_STS_SUCCESS, reader.Read(got.data(), offset, expected ? 30 : 50, &read, &remaining));
    EXPECT_EQ(expected, remaining);
    EXPECT_EQ(expected ? 30 : 10, read);
    EXPECT_EQ(expected ? expected : 4, reader.AvailableBytes());
    offset += read;
  }
  EXPECT_EQ(record, got);
  // The record freed 16 + RoundUp(100), not what the last call asked for.
  EXPECT_EQ(272 - 24, ReadRingHeader(Path()).free);
  EXPECT_EQ("next", Take(reader));
  EXPECT_EQ(272, ReadRingHeader(Path()).free);
}

TEST_F(RingBufferTest, ReaderTwoHundredFiftySixRecordsBehindStillSeesThem) {
  COsRingBuffer writer, reader;
  ASSERT_EQ(OS_STS_SUCCESS, writer.Create(Path().c_str(), true, 300 * 24));
  ASSERT_EQ(OS_STS_SUCCESS, reader.Connect(Path().c_str(), false));
  for (int i = 0; i < 256; ++i) Put(writer, std::to_string(i));
  // The one-byte count has come round to the reader's own count.
  EXPECT_EQ(0, ReadRingHeader(Path()).count);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(std::to_string(i), Take(reader));
  EXPECT_EQ(OS_STS_NO_ROOM, ReadStatus(reader));
  Put(writer, "256");
  EXPECT_EQ("256", Take(reader));
}

TEST_F(RingBufferTest, OneWriterAndOneReaderPerFile) {
  COsRingBuffer creator;
  ASSERT_EQ(OS_STS_SUCCESS, creator.Create(Path().c_str(), true, 64));
  COsRingBuffer reader, secondReader, secondWriter;
  EXPECT_EQ(OS_STS_FAIL, secondWriter.Connect(Path().c_str(), true));
  ASSERT_EQ(OS_STS_SUCCESS, reader.Connect(Path().c_str(), false));
  EXPECT_EQ(OS_STS_FAIL, secondReader.Connect(Path().c_str(), false));
  // Attaching is for the life of the file: a closed side stays counted.
  reader.Close();
  EXPECT_EQ(OS_STS_FAIL, secondReader.Connect(Path().c_str(), false));
  // One object, one role, once.
  EXPECT_EQ(OS_STS_FAIL, creator.Create(Path("other").c_str(), true, 64));
  EXPECT_EQ(OS_STS_FAIL, creator.Connect(Path().c_str(), false));
}

// The ring carries a channel's tasks and replies: no other user may read or
// write it, whatever stood at its name before and after the peer attaches.
TEST_F(RingBufferTest, TheFileIsForThisUserOnly) {
  const std::string other = Path("other.txt");
  struct Case {
    const char* before;  // what stands at the name before Create
  };
  for (Case c : {Case{"nothing"}, Case{"a link to another file"}, Case{"an old ring open to everyone"}}) {
    SCOPED_TRACE(c.before);
    const std::string path = Path();
    unlink(path.c_str());
    testsupport::WriteFile(other, "keep me");
    chmod(other.c_str(), 0644);
    if (std::string(c.before) == "a link to another file") {
      ASSERT_EQ(0, symlink(other.c_str(), path.c_str()));
    } else if (std::string(c.before) == "an old ring open to everyone") {
      testsupport::WriteFile(path, std::string(200, 'x'));
      chmod(path.c_str(), 0666);
    }
    auto mode = [&path] {
      struct stat st;
      return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? static_cast<int>(st.st_mode & 07777) : -1;
    };
    COsRingBuffer writer, reader;
    ASSERT_EQ(OS_STS_SUCCESS, writer.Create(path.c_str(), true, 64));
    EXPECT_EQ(0600, mode());
    ASSERT_EQ(OS_STS_SUCCESS, reader.Connect(path.c_str(), false));
    EXPECT_EQ(0600, mode());
    EXPECT_EQ(2, Put(writer, "ok"));
    EXPECT_EQ("ok", Take(reader));
    // A link at the name is replaced, never followed.
    EXPECT_EQ("keep me", testsupport::ReadFile(other));
  }
}

TEST_F(RingBufferTest, BadFilesAreRefused) {
  testsupport::LogCapture log;
  {
    COsRingBuffer creator;
    ASSERT_EQ(OS_STS_SUCCESS, creator.Create(Path().c_str(), true, 64));
  }
  struct Case {
    const char* name;
    size_t offset;
    std::string bytes;
    const char* message;
  };
  const Case cases[] = {
      {"version 0", 0, std::string(1, '\0'), "version number not compatible"},
      {"version 2", 0, std::string(1, '\2'), "version number not compatible"},
      {"total size not the file's", 2, iotest::Le32Bytes(4096), "memory header not valid"},
      {"free beyond the data area", 6, iotest::Le32Bytes(88), "memory header not valid"},
      {"write offset off a boundary", 10, iotest::Le32Bytes(92), "memory header not valid"},
      {"write offset past the end", 10, iotest::Le32Bytes(168), "memory header not valid"},
  };
  const std::string good = testsupport::ReadFile(Path());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::WriteFile(Path(), good);
    iotest::PatchFile(Path(), c.offset, c.bytes);
    COsRingBuffer reader;
    EXPECT_EQ(OS_STS_FAIL, reader.Connect(Path().c_str(), false));
    EXPECT_TRUE(log.Contains(c.message));
    // The refusal let go of the lock.
    COsRingBuffer after;
    testsupport::WriteFile(Path(), good);
    EXPECT_EQ(OS_STS_SUCCESS, after.Connect(Path().c_str(), false));
  }
  COsRingBuffer reader;
  EXPECT_EQ(OS_STS_FAIL, reader.Connect(Path("absent").c_str(), false));
  testsupport::WriteFile(Path("short"), std::string(50, '\1'));
  EXPECT_EQ(OS_STS_FAIL, reader.Connect(Path("short").c_str(), false));
  EXPECT_TRUE(log.Contains("memory size not valid...50"));
}

TEST_F(RingBufferTest, APeerThatSpoilsTheRingIsRefusedNotFollowed) {
  testsupport::LogCapture log;
  COsRingBuffer writer, reader;
  ASSERT_EQ(OS_STS_SUCCESS, writer.Create(Path().c_str(), true, 64));
  ASSERT_EQ(OS_STS_SUCCESS, reader.Connect(Path().c_str(), false));
  Put(writer, "record");
  // A record length far beyond the ring.
  iotest::PatchFile(Path(), 88, iotest::Le32Bytes(0x78787878));
  EXPECT_EQ(OS_STS_FAIL, ReadStatus(reader));
  EXPECT_TRUE(log.Contains("record header not valid"));
  // A read offset moved into the header.
  iotest::PatchFile(Path(), 14, iotest::Le32Bytes(8));
  EXPECT_EQ(OS_STS_FAIL, ReadStatus(reader));
  // A write offset that names no record boundary.
  iotest::PatchFile(Path(), 10, iotest::Le32Bytes(0));
  EXPECT_EQ(0, Put(writer, "x", OS_STS_FAIL));
  EXPECT_TRUE(log.Contains("memory header not valid"));
}

// Header fields of an empty ring in use at the edges of their range, as a
// peer may leave them: refused by every call, with no arithmetic running
// over (the first look of Read works on the fields before any check).
TEST_F(RingBufferTest, EdgeValuesInALiveHeaderAreRefused) {
  testsupport::LogCapture log;
  struct Case {
    const char* name;
    size_t offset;
    int32_t value;
  };
  const Case cases[] = {
      {"total INT32_MIN", 2, INT32_MIN}, {"total INT32_MAX", 2, INT32_MAX},
      {"free INT32_MIN", 6, INT32_MIN},  {"free INT32_MAX", 6, INT32_MAX},
      {"write offset INT32_MAX", 10, INT32_MAX}, {"read offset INT32_MIN", 14, INT32_MIN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    COsRingBuffer writer, reader;
    ASSERT_EQ(OS_STS_SUCCESS, writer.Create(Path().c_str(), true, 64));
    ASSERT_EQ(OS_STS_SUCCESS, reader.Connect(Path().c_str(), false));
    iotest::PatchFile(Path(), c.offset, iotest::Le32Bytes(c.value));
    EXPECT_EQ(OS_STS_FAIL, ReadStatus(reader));
    EXPECT_EQ(0, reader.AvailableBytes());
    EXPECT_EQ(0, Put(writer, "x", OS_STS_FAIL));
  }
  EXPECT_TRUE(log.Contains("memory header not valid"));
}

// The largest file's last record offset lies 8 bytes before its end, near
// INT32_MAX: both sides skip that tail and meet at the start.
TEST_F(RingBufferTest, TheLargestFileSkipsItsLastTail) {
  const int64_t capacity = INT32_MAX - 104 - 7;
  COsRingBuffer writer, reader;
  ASSERT_EQ(OS_STS_SUCCESS, writer.Create(Path().c_str(), true, capacity));
  ASSERT_EQ(OS_STS_SUCCESS, reader.Connect(Path().c_str(), false));
  const int32_t total = ReadRingHeader(Path()).total;
  ASSERT_EQ(INT32_MAX - 7, total);
  // An empty ring whose offsets both stand in the last 8 bytes.
  std::string header = iotest::Le32Bytes(total - 88) + iotest::Le32Bytes(total - 8) + iotest::Le32Bytes(total - 8);
  int fd = open(Path().c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(12, pwrite(fd, header.data(), header.size(), 6));
  close(fd);
  EXPECT_EQ(6, Put(writer, "record"));
  EXPECT_EQ(112, ReadRingHeader(Path()).write);
  EXPECT_EQ("record", Take(reader));
  EXPECT_EQ(112, ReadRingHeader(Path()).read);
}

// A peer that cuts the file short (opening it to write anew, say): the
// mapping beyond the new end would end the process at the first touch.
TEST_F(RingBufferTest, AFileCutShortIsRefusedNotTouched) {
  testsupport::LogCapture log;
  const int64_t cuts[] = {0, 50, 88, 104, 1096};
  for (int64_t cut : cuts) {
    SCOPED_TRACE(cut);
    COsRingBuffer writer, reader;
    ASSERT_EQ(OS_STS_SUCCESS, writer.Create(Path().c_str(), true, 1000));
    ASSERT_EQ(OS_STS_SUCCESS, reader.Connect(Path().c_str(), false));
    Put(writer, "record");
    ASSERT_EQ(0, truncate(Path().c_str(), cut));
    char buffer[16];
    int32_t n = -1, remaining = -1;
    EXPECT_EQ(OS_STS_FAIL, reader.Read(buffer, 0, sizeof buffer, &n, &remaining));
    EXPECT_EQ(0, n);
    EXPECT_EQ(0, reader.AvailableBytes());
    EXPECT_EQ(OS_STS_FAIL, writer.Write("x", 0, 1, &n));
    EXPECT_EQ(OS_STS_FAIL, writer.UserAreaWrite("x", 1, &n));
    EXPECT_EQ(OS_STS_FAIL, reader.UserAreaRead(buffer, 1, &n));
    EXPECT_TRUE(log.Contains("memory size not valid..." + std::to_string(cut)));
    // Closing gives the mapping up without touching it.
    EXPECT_EQ(OS_STS_SUCCESS, reader.Close());
  }
}

TEST_F(RingBufferTest, CapacityMustFitTheFormat) {
  testsupport::LogCapture log;
  struct Case {
    int64_t capacity;
    EOSSTS status;
  };
  // The file (RoundUp(n) + 104 bytes) must stay a positive 32-bit size.
  const Case cases[] = {
      {0, OS_STS_FAIL},
      {-8, OS_STS_FAIL},
      {1, OS_STS_SUCCESS},
      {INT32_MAX - 104 - 7, OS_STS_SUCCESS},
      {INT32_MAX - 104 - 6, OS_STS_FAIL},
      {INT32_MAX - 104, OS_STS_FAIL},
      {int64_t{1} << 40, OS_STS_FAIL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.capacity);
    COsRingBuffer ring;
    EXPECT_EQ(c.status, ring.Create(Path().c_str(), false, c.capacity));
    if (c.status == OS_STS_SUCCESS) {
      EXPECT_EQ(((c.capacity + 7) & ~7) + 104, ReadRingHeader(Path()).total);
    }
  }
  EXPECT_TRUE(log.Contains("requested size too large"));
  EXPECT_TRUE(log.Contains("requested size too small"));
  EXPECT_EQ(8, COsRingBuffer::RoundUp(1));
  EXPECT_EQ(8, COsRingBuffer::RoundUp(8));
  EXPECT_EQ(16, COsRingBuffer::RoundUp(9));
}

TEST_F(RingBufferTest, BadCallsAreRefused) {
  testsupport::LogCapture log;
  COsRingBuffer closed, writer, reader;
  char buffer[16];
  int32_t n = -1, remaining = -1;
  // Before Create or Connect.
  EXPECT_EQ(OS_STS_FAIL, closed.Write("x", 0, 1, &n));
  EXPECT_EQ(OS_STS_FAIL, closed.Read(buffer, 0, 1, &n, &remaining));
  EXPECT_EQ(OS_STS_FAIL, closed.UserAreaWrite("x", 1, &n));
  EXPECT_EQ(OS_STS_FAIL, closed.UserAreaRead(buffer, 1, &n));
  EXPECT_EQ(0, closed.AvailableBytes());
  EXPECT_EQ(OS_STS_SUCCESS, closed.Close());
  EXPECT_TRUE(log.Contains("memory not created/connected"));
  EXPECT_EQ(OS_STS_FAIL, closed.Create(nullptr, true, 64));
  EXPECT_EQ(OS_STS_FAIL, closed.Create("", true, 64));
  EXPECT_EQ(OS_STS_FAIL, closed.Connect(nullptr, true));

  ASSERT_EQ(OS_STS_SUCCESS, writer.Create(Path().c_str(), true, 64));
  ASSERT_EQ(OS_STS_SUCCESS, reader.Connect(Path().c_str(), false));
  // Wrong role, no data, zero or negative lengths and offsets.
  EXPECT_EQ(OS_STS_FAIL, reader.Write("x", 0, 1, &n));
  EXPECT_EQ(OS_STS_FAIL, writer.Read(buffer, 0, 1, &n, &remaining));
  EXPECT_EQ(OS_STS_FAIL, writer.Write(nullptr, 0, 1, &n));
  EXPECT_EQ(OS_STS_FAIL, writer.Write("x", 0, 0, &n));
  EXPECT_EQ(OS_STS_FAIL, writer.Write("x", -1, 1, &n));
  EXPECT_EQ(OS_STS_FAIL, reader.Read(nullptr, 0, 1, &n, &remaining));
  EXPECT_EQ(OS_STS_FAIL, reader.Read(buffer, 0, 0, &n, &remaining));
  EXPECT_EQ(OS_STS_FAIL, reader.Read(buffer, -4, 4, &n, &remaining));
  EXPECT_EQ(OS_STS_FAIL, writer.UserAreaWrite(nullptr, 4, &n));
  EXPECT_EQ(OS_STS_FAIL, reader.UserAreaRead(buffer, 0, &n));
  EXPECT_TRUE(log.Contains("memory not created/connected OR not setup as writer"));
  EXPECT_TRUE(log.Contains("memory not created/connected OR not setup as reader"));
  EXPECT_EQ(0, writer.AvailableBytes());
  // Nothing of it reached the file.
  EXPECT_EQ(80, ReadRingHeader(Path()).free);
  EXPECT_EQ(OS_STS_NO_ROOM, ReadStatus(reader));
}

// Deterministic record and read lengths for the stream between processes.
std::string StreamBytes(size_t a_size, unsigned a_seed) {
  std::mt19937 random(a_seed);
  std::string bytes(a_size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

TEST_F(RingBufferTest, AMegabyteCrossesBetweenTwoProcessesIntact) {
  const size_t kTotal = 1 << 20;
  const std::string stream = StreamBytes(kTotal, 7);
  COsRingBuffer reader;
  ASSERT_EQ(OS_STS_SUCCESS, reader.Create(Path().c_str(), false, 4096));
  synctest::Pipe counts;
  pid_t pid = synctest::Fork([&] {
    COsRingBuffer writer;
    if (writer.Connect(Path().c_str(), true) != OS_STS_SUCCESS) return 1;
    // The writer alone moves the write offset, so it knows where each
    // record goes; the free count it peeks at only grows meanwhile.
    int fd = open(Path().c_str(), O_RDONLY);
    auto peek = [fd](off_t a_offset) {
      char raw[4] = {};
      return pread(fd, raw, 4, a_offset) == 4 ? iotest::Le32(std::string(raw, 4), 0) : 0;
    };
    const int32_t total = 4096 + 104;
    std::mt19937 random(11);
    size_t sent = 0;
    int wraps = 0, tails = 0;
    for (int record = 0; sent < kTotal; ++record) {
      int32_t before = peek(10);
      int32_t length = static_cast<int32_t>(1 + random() % 3000);
      // Every fifth record, when it fits, ends 8 bytes before the end of
      // the file, so that the next one skips that tail.
      int32_t toTail = total - 8 - before - 16;
      if (record % 5 == 0 && toTail > 0) {
        length = toTail;
        while (peek(6) < 16 + COsRingBuffer::RoundUp(length)) usleep(50);
      }
      length = static_cast<int32_t>(std::min<size_t>(static_cast<size_t>(length), kTotal - sent));
      int32_t written = 0;
      EOSSTS eossts;
      while ((eossts = writer.Write(stream.data(), static_cast<int32_t>(sent), length, &written)) == OS_STS_NO_ROOM ||
             eossts == OS_STS_BUSY)
        usleep(50);
      if (eossts != OS_STS_SUCCESS) return 2;
      int32_t start = before + 16 > total ? 88 : before;
      if (start != before) ++tails;
      if (start + 16 + written > total) ++wraps;
      sent += static_cast<size_t>(written);
    }
    close(fd);
    counts.Send(static_cast<char>(std::min(wraps, 100)));
    counts.Send(static_cast<char>(std::min(tails, 100)));
    return 0;
  });
  std::string received(kTotal, '\0');
  std::mt19937 random(13);
  size_t got = 0;
  int pieces = 0;
  auto start = std::chrono::steady_clock::now();
  while (got < kTotal) {
    ASSERT_LT(filetest::MillisecondsSince(start), 30000) << "stream stalled at " << got;
    int32_t want = static_cast<int32_t>(std::min<size_t>(1 + random() % 700, kTotal - got));
    int32_t read = 0, remaining = 0;
    EOSSTS eossts = reader.Read(received.data(), static_cast<int32_t>(got), want, &read, &remaining);
    if (eossts == OS_STS_NO_ROOM || eossts == OS_STS_BUSY) {
      usleep(50);
      continue;
    }
    ASSERT_EQ(OS_STS_SUCCESS, eossts);
    if (remaining) ++pieces;
    got += static_cast<size_t>(read);
  }
  EXPECT_EQ(0, synctest::Reap(pid));
  EXPECT_GT(counts.Receive(), 0) << "no payload wrapped";
  EXPECT_GT(counts.Receive(), 0) << "no tail was skipped";
  EXPECT_GT(pieces, 0);
  EXPECT_EQ(COsMem::Checksum32(stream.data(), kTotal, nullptr), COsMem::Checksum32(received.data(), kTotal, nullptr));
  EXPECT_TRUE(stream == received);
  EXPECT_EQ(4096 + 16, ReadRingHeader(Path()).free);
}

}  // namespace
