// Split streams of whole files: the tiny forms, pieces of 32 MiB with the
// method chosen from the name, the progress calls and their cancel, and
// damaged streams, unreadable sources and full disks that fail cleanly,
// a failed reader leaving no output behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>

#include "../log_capture.h"
#include "../os_cosfile_testutil.h"
#include "formats_testutil.h"

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

struct ProgressCall {
  std::string strName;
  uint64_t u64File, u64Step, u64Running;
};
std::vector<ProgressCall> s_vecprogresscall;
EOSSTS s_eosstatusAnswer = OS_STS_SUCCESS;
size_t s_sizetCancelAt = 0;  // answer on that call (from 1), 0: never

EOSSTS Record(OsFilePackageProgress* a_p) {
  s_vecprogresscall.push_back({a_p->szFilename, a_p->u64FileSize, a_p->u64StepBytes, a_p->u64RunningBytes});
  return s_vecprogresscall.size() == s_sizetCancelAt ? s_eosstatusAnswer : OS_STS_SUCCESS;
}

// Writes the split stream of a source into a new file; the status.
EOSSTS Pack(const std::string& a_source, const std::string& a_stream, uint64_t* a_pu64Written = nullptr,
            EOSFILECOMPRESSION a_eosfilecompression = OS_FILECOMPRESSION_AUTOMATIC) {
  COsFile osfile;
  EXPECT_EQ(osfile.Open(a_stream.c_str(), OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READ), OS_STS_SUCCESS);
  uint64_t u64Written = 0;
  OsFilePackageProgress progress{};
  EOSSTS eosstatus = COsFileImpl::Compress(&osfile, &u64Written, a_source.c_str(), a_eosfilecompression, &Record,
                                           &progress);
  if (a_pu64Written) *a_pu64Written = u64Written;
  return eosstatus;
}

// Reads a split stream of a file (from an offset, over a length) into a path.
EOSSTS Unpack(const std::string& a_stream, const std::string& a_output, uint64_t a_u64Length = UINT64_MAX,
              uint64_t a_u64Offset = 0) {
  COsFile osfile;
  EXPECT_EQ(osfile.Open(a_stream.c_str(), OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READ), OS_STS_SUCCESS);
  uint64_t u64Size = 0, u64Written = 0;
  osfile.Size64(&u64Size);
  osfile.SetFilePointer64(OS_FILEPOINTER_BEGIN, static_cast<int64_t>(a_u64Offset));
  OsFilePackageProgress progress{};
  return COsFileImpl::Decompress(a_output.c_str(), &u64Written, &osfile,
                                 a_u64Length == UINT64_MAX ? u64Size - a_u64Offset : a_u64Length, &Record, &progress);
}

bool SameFiles(const std::string& a_first, const std::string& a_second) {
  int iStatus = -1;
  testsupport::RunProgram({"cmp", a_first, a_second}, &iStatus);
  return iStatus == 0;
}

class SplitStream : public testing::Test {
 protected:
  void SetUp() override {
    s_vecprogresscall.clear();
    s_sizetCancelAt = 0;
  }
};

TEST_F(SplitStream, TinyFiles) {
  struct Case {
    std::string strContent;
    size_t sizetStream;
    const char* szWalk;
  };
  const Case acase[] = {
      {"", 32, "tag=PMXSPL01 header=28 field=4 size=0 piece=0\ntiny length=0 data=\n"},
      {"Z", 33, "tag=PMXSPL01 header=28 field=4 size=1 piece=0\ntiny length=1 data=5a\n"},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.sizetStream);
    s_vecprogresscall.clear();
    WriteFile("tiny.bin", c.strContent);
    uint64_t u64Written = 0;
    ASSERT_EQ(Pack("tiny.bin", "tiny.spl", &u64Written), OS_STS_SUCCESS);
    EXPECT_EQ(u64Written, c.sizetStream);
    EXPECT_EQ(ReadFile("tiny.spl").size(), c.sizetStream);
    EXPECT_EQ(formatstest::RunHelper("pmxcmp.py", {"split", "tiny.spl"}), c.szWalk);
    ASSERT_EQ(Unpack("tiny.spl", "tiny.out"), OS_STS_SUCCESS);
    EXPECT_TRUE(SameFiles("tiny.bin", "tiny.out"));
    uint64_t u64Size = c.strContent.size();
    ASSERT_EQ(s_vecprogresscall.size(), 2u);
    EXPECT_EQ(s_vecprogresscall[0].strName, "tiny.bin");
    EXPECT_EQ(s_vecprogresscall[1].strName, "tiny.out");
    for (const auto& call : s_vecprogresscall) {
      EXPECT_EQ(call.u64File, u64Size);
      EXPECT_EQ(call.u64Step, u64Size);
      EXPECT_EQ(call.u64Running, u64Size);
    }
  }
}

TEST_F(SplitStream, SeventyMebibyteLogInThreePieces) {
  // One log text, packed under a plain name (block sorting) and under a trace
  // name (run-length only): three pieces each, and both restore exactly.
  std::string strPiece = formatstest::LogText(1 << 20, 3);
  {
    std::FILE* pfile = std::fopen("scan.log", "wb");
    ASSERT_NE(pfile, nullptr);
    for (int i = 0; i < 70; ++i) {
      strPiece[0] = static_cast<char>('0' + i % 10);
      std::fwrite(strPiece.data(), 1, strPiece.size(), pfile);
    }
    std::fclose(pfile);
  }
  ASSERT_EQ(link("scan.log", "trace_scan.log"), 0);
  struct Case {
    const char* szSource;
    const char* szMethods;
  };
  const Case acase[] = {{"scan.log", "2"}, {"trace_scan.log", "3"}};
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szSource);
    uint64_t u64Written = 0;
    ASSERT_EQ(Pack(c.szSource, "big.spl", &u64Written), OS_STS_SUCCESS);
    std::vector<std::string> lines = testsupport::Lines(formatstest::RunHelper("pmxcmp.py", {"split", "big.spl"}));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "tag=PMXSPL01 header=28 field=4 size=73400320 piece=33554432");
    for (int i = 0; i < 3; ++i) {
      std::string original = std::to_string(i < 2 ? 33554432 : 6291456);
      EXPECT_NE(lines[1 + i].find(" original=" + original + " methods=" + c.szMethods), std::string::npos) << lines[1 + i];
    }
    EXPECT_EQ(lines[4], "end=" + std::to_string(u64Written));
    ASSERT_EQ(Unpack("big.spl", "big.out"), OS_STS_SUCCESS);
    EXPECT_TRUE(SameFiles(c.szSource, "big.out"));
  }
}

TEST_F(SplitStream, ProgressAndCancel) {
  WriteFile("three.txt", "abc");
  ASSERT_EQ(Pack("three.txt", "three.spl"), OS_STS_SUCCESS);
  ASSERT_EQ(Unpack("three.spl", "three.out"), OS_STS_SUCCESS);
  // Writer: step 0, then each piece; reader: the bytes written before each
  // piece, then the whole file.
  std::vector<std::vector<uint64_t>> steps;
  for (const auto& call : s_vecprogresscall) steps.push_back({call.u64File, call.u64Step, call.u64Running});
  EXPECT_EQ(steps, (std::vector<std::vector<uint64_t>>{{3, 0, 0}, {3, 3, 3}, {3, 0, 0}, {3, 3, 3}}));
  testsupport::LogCapture logcapture(1);
  for (size_t sizetCancel : {1, 2}) {
    SCOPED_TRACE(sizetCancel);
    s_vecprogresscall.clear();
    s_sizetCancelAt = sizetCancel;
    s_eosstatusAnswer = static_cast<EOSSTS>(42);
    EXPECT_EQ(Pack("three.txt", "cancelled.spl"), 42);
    s_vecprogresscall.clear();
    EXPECT_EQ(Unpack("three.spl", "cancelled.out"), 42);
    EXPECT_FALSE(FileExists("cancelled.out"));
  }
  EXPECT_TRUE(logcapture.Contains("Cancel requested...<cancelled.out>"));
}

TEST_F(SplitStream, DamagedStreamsLeaveNoOutput) {
  testsupport::LogCapture logcapture;
  WriteFile("page.txt", formatstest::LogText(100000, 8));
  ASSERT_EQ(Pack("page.txt", "good.spl"), OS_STS_SUCCESS);
  std::string good = ReadFile("good.spl");
  uint32_t u32Piece;
  std::memcpy(&u32Piece, good.data() + 28, 4);
  struct Case {
    const char* szName;
    size_t sizetAt;  // a 32-bit field to replace, or SIZE_MAX
    uint32_t u32Value;
    uint64_t u64Length;  // stream length given to the reader
    const char* szLog;
  };
  const Case acase[] = {
      {"wrong tag", 0, 0x31305053, UINT64_MAX, "Not a split file..."},
      {"header size 0", 8, 0, UINT64_MAX, "Corrupt split header..."},
      {"length field of 2 bytes", 12, 2, UINT64_MAX, "Corrupt split header..."},
      {"piece size past 32 MiB", 24, 0x2000001, UINT64_MAX, "Corrupt split header...piece size"},
      {"piece longer than its buffer", 28, 0x2100001, UINT64_MAX, "Error reading chunk..."},
      {"piece past the end of the stream", 28, u32Piece + 1, UINT64_MAX, "Error reading chunk..."},
      {"stream cut inside the piece", SIZE_MAX, 0, 1000, "Error reading chunk..."},
      {"more than the original size", 16, 99999, UINT64_MAX, "Decompressed size doesn't match original size (100000 != 99999)..."},
      {"damaged piece", 32, 0x78563412, UINT64_MAX, "Decompress failed..."},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    std::string bad = good;
    if (c.sizetAt != SIZE_MAX) std::memcpy(bad.data() + c.sizetAt, &c.u32Value, 4);
    WriteFile("bad.spl", bad);
    EXPECT_NE(Unpack("bad.spl", "bad.out", c.u64Length), OS_STS_SUCCESS);
    EXPECT_FALSE(FileExists("bad.out"));
    EXPECT_TRUE(logcapture.Contains(c.szLog));
  }
  // The stream is read from the file's position, within its length only.
  WriteFile("framed.bin", "0123456789" + good + "trailing");
  ASSERT_EQ(Unpack("framed.bin", "framed.out", good.size(), 10), OS_STS_SUCCESS);
  EXPECT_TRUE(SameFiles("page.txt", "framed.out"));
}

// Every stream names 32 MiB pieces, but a small file's reader needs little
// room: under a data limit far below three pieces' buffers it still reads.
TEST_F(SplitStream, SmallFilesTakeSmallBuffers) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers' own mappings count against the data limit";
#endif
  WriteFile("page.txt", formatstest::LogText(100000, 5));
  WriteFile("two.bin", "ab");
  ASSERT_EQ(Pack("page.txt", "page.spl"), OS_STS_SUCCESS);
  ASSERT_EQ(Pack("two.bin", "two.spl"), OS_STS_SUCCESS);
  std::vector<long> result = filetest::RunInChild(
      [] {
        // What the process maps already, and 16 MiB more.
        std::string status = ReadFile("/proc/self/status");
        size_t sizetAt = status.find("VmData:");
        rlim_t rlimData = (std::strtoull(status.c_str() + sizetAt + 7, nullptr, 10) << 10) + (16 << 20);
        struct rlimit rl = {rlimData, rlimData};
        if (sizetAt == std::string::npos || setrlimit(RLIMIT_DATA, &rl) != 0) return std::vector<long>{-1};
        return std::vector<long>{Unpack("page.spl", "page.out"), Unpack("two.spl", "two.out")};
      },
      false);
  EXPECT_EQ(result, (std::vector<long>{OS_STS_SUCCESS, OS_STS_SUCCESS}));
  EXPECT_TRUE(SameFiles("page.txt", "page.out"));
  EXPECT_EQ(ReadFile("two.out"), "ab");
}

TEST_F(SplitStream, UnreadableSourceAndFullDisk) {
  testsupport::LogCapture logcapture;
  EXPECT_EQ(Pack("missing.txt", "missing.spl"), OS_STS_FILE_NOT_FOUND);
  EXPECT_TRUE(logcapture.Contains("Open failed...<missing.txt>"));
  WriteFile("page.txt", formatstest::LogText(300000, 9));
  {
    COsFile osfile;
    ASSERT_EQ(osfile.Open("/dev/full", OS_FILEOPEN_EXISTING, OS_FILEACCESS_WRITE, OS_FILESHARE_READ), OS_STS_SUCCESS);
    uint64_t u64Written = 0;
    EXPECT_EQ(COsFileImpl::Compress(&osfile, &u64Written, "page.txt", OS_FILECOMPRESSION_AUTOMATIC, nullptr, nullptr),
              OS_STS_IO_ERROR);
    EXPECT_TRUE(logcapture.Contains("Write failed...<page.txt>"));
  }
  // A reader whose disk fills up (a file size limit in a child process).
  ASSERT_EQ(Pack("page.txt", "page.spl"), OS_STS_SUCCESS);
  std::vector<long> result = filetest::RunInChild(
      [] {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit rl = {100000, 100000};
        setrlimit(RLIMIT_FSIZE, &rl);
        return std::vector<long>{Unpack("page.spl", "page.out"), FileExists("page.out")};
      },
      false);
  EXPECT_EQ(result, (std::vector<long>{OS_STS_FAIL, 0}));
  // A failed reader removes a file it wrote, never a device it was pointed at.
  WriteFile("bad.spl", "PMXSPL01 not a header");
  EXPECT_NE(Unpack("bad.spl", "/dev/null"), OS_STS_SUCCESS);
  WriteFile("bad.spl", std::string("PMXSPL01\x1c\0\0\0\4\0\0\0", 16) + std::string(12, '\xff'));
  EXPECT_NE(Unpack("bad.spl", "/dev/null"), OS_STS_SUCCESS);
  EXPECT_TRUE(FileExists("/dev/null"));
}

TEST(SplitMethod, ChosenFromTheName) {
  struct Case {
    const char* szPath;
    uint64_t u64Size;
    EOSFILECOMPRESSION eosfilecompression;
  };
  const Case acase[] = {
      {"/logs/scan.log", 1000, OS_FILECOMPRESSION_BLOCKSORT},
      {"/logs/SCAN.XML", 1000, OS_FILECOMPRESSION_BLOCKSORT},
      {"a.profile", 0x8000000, OS_FILECOMPRESSION_BLOCKSORT},
      {"a.ini", 0x8000001, OS_FILECOMPRESSION_RUNLENGTH},
      {"/logs/Trace_usb.log", 1000, OS_FILECOMPRESSION_RUNLENGTH},
      {"/logs/dsp1.log", 1000, OS_FILECOMPRESSION_RUNLENGTH},
      {"/logs/dsp1.txt", 1000, OS_FILECOMPRESSION_BLOCKSORT},
      {"/logs/image.tif", 1000, OS_FILECOMPRESSION_RUNLENGTH},
      {"/logs.d/readme", 1000, OS_FILECOMPRESSION_RUNLENGTH},
      {"readme", 1000, OS_FILECOMPRESSION_RUNLENGTH},
  };
  for (const auto& c : acase) {
    EXPECT_EQ(COsFileImpl::CompressionOf(c.szPath, c.u64Size), c.eosfilecompression) << c.szPath;
  }
}

}  // namespace
