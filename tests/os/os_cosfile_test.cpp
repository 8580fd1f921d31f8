// One open file: dispositions and access, reading and writing (also to a
// full device and past a file-size limit), formatted output, positioning,
// size, truncation, file times and bad arguments.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdlib>
#include <string>

#include "os_cosfile.h"
#include "os_cosfile_testutil.h"
#include "test_support.h"

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

struct OpenCase {
  const char* szWhat;
  bool blExists;  // "hello" is in the file before
  int iOpen;
  int iAccess;
  EOSSTS eosstatus;
  bool blExistsAfter;
  const char* szContentAfter;  // after writing "J" when opened for writing
};

void PrintTo(const OpenCase& a_opencase, std::ostream* a_postream) { *a_postream << a_opencase.szWhat; }

class OpenTable : public testing::TestWithParam<OpenCase> {};

TEST_P(OpenTable, DispositionAndAccessDecideWhatIsOpened) {
  const OpenCase& c = GetParam();
  if (c.blExists) WriteFile("f", "hello");
  COsFile osfile;
  EXPECT_EQ(osfile.Open("f", static_cast<EOSFILEOPEN>(c.iOpen), static_cast<EOSFILEACCESS>(c.iAccess),
                        OS_FILESHARE_READWRITE),
            c.eosstatus);
  EXPECT_EQ(osfile.IsOpen(), c.eosstatus == OS_STS_SUCCESS);
  if (osfile.IsOpen() && c.iAccess != OS_FILEACCESS_READ) {
    size_t sizetWritten = 0;
    EXPECT_EQ(osfile.Write("J", 1, &sizetWritten), OS_STS_SUCCESS);
    EXPECT_EQ(sizetWritten, 1u);
  }
  if (osfile.IsOpen() && c.iAccess == OS_FILEACCESS_READ && c.blExists) {
    char szBuffer[16] = {};
    size_t sizetRead = 0;
    EXPECT_EQ(osfile.Read(szBuffer, sizeof szBuffer, &sizetRead), OS_STS_SUCCESS);
    EXPECT_STREQ(szBuffer, "hello");
  }
  osfile.Close();
  EXPECT_EQ(FileExists("f"), c.blExistsAfter);
  if (c.blExistsAfter) {
    EXPECT_EQ(ReadFile("f"), c.szContentAfter);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Dispositions, OpenTable,
    testing::Values(OpenCase{"missing_existing_read", false, 2, 1, OS_STS_FILE_NOT_FOUND, false, ""},
                    OpenCase{"missing_existing_readwrite", false, 2, 3, OS_STS_FILE_NOT_FOUND, false, ""},
                    OpenCase{"missing_always_readwrite", false, 3, 3, OS_STS_SUCCESS, true, "J"},
                    OpenCase{"missing_always_read", false, 3, 1, OS_STS_FILE_NOT_FOUND, false, ""},
                    OpenCase{"missing_create_write", false, 1, 2, OS_STS_SUCCESS, true, "J"},
                    OpenCase{"create_empties", true, 1, 2, OS_STS_SUCCESS, true, "J"},
                    OpenCase{"create_read_keeps", true, 1, 1, OS_STS_SUCCESS, true, "hello"},
                    OpenCase{"existing_write_keeps", true, 2, 2, OS_STS_SUCCESS, true, "Jello"},
                    OpenCase{"always_keeps", true, 3, 3, OS_STS_SUCCESS, true, "Jello"},
                    OpenCase{"existing_read", true, 2, 1, OS_STS_SUCCESS, true, "hello"},
                    OpenCase{"delete_on_close", true, 4, 3, OS_STS_SUCCESS, false, ""},
                    OpenCase{"disposition5_opens_nothing", true, 5, 1, OS_STS_FAIL, true, "hello"},
                    OpenCase{"access4_opens_nothing", true, 2, 4, OS_STS_FAIL, true, "hello"},
                    OpenCase{"disposition0", true, 0, 1, OS_STS_BAD_ARGUMENT, true, "hello"},
                    OpenCase{"disposition6", true, 6, 1, OS_STS_BAD_ARGUMENT, true, "hello"},
                    OpenCase{"disposition_negative", true, -1, 1, OS_STS_BAD_ARGUMENT, true, "hello"},
                    OpenCase{"access0", true, 2, 0, OS_STS_BAD_ARGUMENT, true, "hello"},
                    OpenCase{"access5", true, 2, 5, OS_STS_BAD_ARGUMENT, true, "hello"}),
    [](const testing::TestParamInfo<OpenCase>& info) { return info.param.szWhat; });

TEST(COsFileOpen, RefusesBadArgumentsAndNames) {
  COsFile osfile;
  EXPECT_EQ(osfile.Open(nullptr, OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READ), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(osfile.Open("f", OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, static_cast<EOSFILESHARE>(0)),
            OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(osfile.Open("f", OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, static_cast<EOSFILESHARE>(5)),
            OS_STS_BAD_ARGUMENT);
  // A name that the object cannot keep whole is refused before anything is created.
  std::string long_name(600, 'n');
  EXPECT_EQ(osfile.Open(long_name.c_str(), OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READ),
            OS_STS_BAD_ARGUMENT);
  EXPECT_FALSE(FileExists(long_name));
  // A directory where a file is expected.
  mkdir("d", 0755);
  EXPECT_EQ(osfile.Open("d", OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READ), OS_STS_FAIL);
  EXPECT_EQ(osfile.Open("d", OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READ), OS_STS_FAIL);
  EXPECT_FALSE(osfile.IsOpen());
  EXPECT_EQ(osfile.Open("missing/f", OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READ),
            OS_STS_FILE_NOT_FOUND);
}

// A name in a shared directory may be a link another user made: an open
// for writing never goes through it (nor empties or changes its target);
// reading through a link stays as it was.
TEST(COsFileOpen, WritingNeverGoesThroughALink) {
  WriteFile("target", "hello");
  chmod("target", 0640);
  ASSERT_EQ(symlink("target", "link"), 0);
  ASSERT_EQ(symlink("made-through-the-link", "dangling"), 0);
  const int aiOpen[][2] = {{OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE},
                           {OS_FILEOPEN_CREATE, OS_FILEACCESS_READWRITE},
                           {OS_FILEOPEN_ALWAYS, OS_FILEACCESS_READWRITE},
                           {OS_FILEOPEN_EXISTING, OS_FILEACCESS_WRITE}};
  for (const char* szName : {"link", "dangling"}) {
    for (const auto& aiCase : aiOpen) {
      COsFile osfile;
      EXPECT_NE(osfile.Open(szName, static_cast<EOSFILEOPEN>(aiCase[0]), static_cast<EOSFILEACCESS>(aiCase[1]),
                            OS_FILESHARE_READWRITE),
                OS_STS_SUCCESS)
          << szName << " " << aiCase[0] << " " << aiCase[1];
      EXPECT_FALSE(osfile.IsOpen());
    }
  }
  EXPECT_EQ(ReadFile("target"), "hello");
  EXPECT_EQ(filetest::ModeOf("target"), 0640u);
  EXPECT_FALSE(FileExists("made-through-the-link"));
  COsFile osfile;
  EXPECT_EQ(osfile.Open("link", OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READ), OS_STS_SUCCESS);
}

TEST(COsFileOpen, PipeWithoutWriterDoesNotHang) {
  ASSERT_EQ(mkfifo("fifo", 0644), 0);
  COsFile osfile;
  ASSERT_EQ(osfile.Open("fifo", OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READ), OS_STS_SUCCESS);
  char c;
  size_t sizetRead = 1;
  EXPECT_EQ(osfile.Read(&c, 1, &sizetRead), OS_STS_SUCCESS);
  EXPECT_EQ(sizetRead, 0u);
}

TEST(COsFileOpen, DeleteOnCloseAlsoByDestructorButNeverAnotherFile) {
  {
    COsFile osfile;
    ASSERT_EQ(osfile.Open("t", OS_FILEOPEN_DELETEONCLOSE, OS_FILEACCESS_WRITE, OS_FILESHARE_READ), OS_STS_SUCCESS);
    EXPECT_TRUE(FileExists("t"));
  }
  EXPECT_FALSE(FileExists("t"));
  // When the name leads elsewhere by the time of Close, nothing is deleted.
  COsFile osfile;
  ASSERT_EQ(osfile.Open("t", OS_FILEOPEN_DELETEONCLOSE, OS_FILEACCESS_WRITE, OS_FILESHARE_READ), OS_STS_SUCCESS);
  ASSERT_EQ(rename("t", "kept"), 0);
  WriteFile("t", "someone else's");
  osfile.Close();
  EXPECT_EQ(ReadFile("t"), "someone else's");
  EXPECT_TRUE(FileExists("kept"));
}

TEST(COsFileIo, ReadCountsAndEndOfFile) {
  WriteFile("f", "0123456789");
  COsFile osfile;
  char szBuffer[8] = {};
  size_t sizetRead = 99;
  EXPECT_EQ(osfile.Read(szBuffer, 4, &sizetRead), OS_STS_BAD_ARGUMENT);  // no file
  ASSERT_EQ(osfile.Open("f", OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READ), OS_STS_SUCCESS);
  EXPECT_EQ(osfile.Read(nullptr, 4, &sizetRead), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(osfile.Read(szBuffer, 4, &sizetRead), OS_STS_SUCCESS);
  EXPECT_EQ(sizetRead, 4u);
  EXPECT_EQ(std::string(szBuffer, 4), "0123");
  EXPECT_EQ(osfile.Read(szBuffer, 8, &sizetRead), OS_STS_SUCCESS);
  EXPECT_EQ(sizetRead, 6u);
  EXPECT_EQ(osfile.Read(szBuffer, 8, &sizetRead), OS_STS_SUCCESS);
  EXPECT_EQ(sizetRead, 0u);
  // Opened for reading only: a write fails and says so.
  EXPECT_EQ(osfile.Write("x", 1, &sizetRead), OS_STS_FAIL);
  EXPECT_EQ(sizetRead, 0u);
}

TEST(COsFileIo, WritesToAFullDeviceFail) {
  COsFile osfile;
  ASSERT_EQ(osfile.Open("/dev/full", OS_FILEOPEN_EXISTING, OS_FILEACCESS_WRITE, OS_FILESHARE_READ), OS_STS_SUCCESS);
  size_t sizetWritten = 99;
  EXPECT_EQ(osfile.Write("0123456789", 10, &sizetWritten), OS_STS_IO_ERROR);
  EXPECT_EQ(sizetWritten, 0u);
  EXPECT_EQ(osfile.Printf("%s", "text"), -1);
  EXPECT_EQ(osfile.Flush(), OS_STS_SUCCESS);
}

// Past the file-size limit the system takes part of a write: the status is
// a failure and the count tells how much reached the file.
TEST(COsFileIo, ShortWriteFailsWithTheCount) {
  std::vector<long> result = filetest::RunInChild([] {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit rl {100, 100};
    setrlimit(RLIMIT_FSIZE, &rl);
    COsFile osfile;
    EOSSTS eosstatusOpen = osfile.Open("short", OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READ);
    std::string data(150, 'x');
    size_t sizetWritten = 0;
    EOSSTS eosstatus = osfile.Write(data.data(), data.size(), &sizetWritten);
    return std::vector<long>{eosstatusOpen, eosstatus, static_cast<long>(sizetWritten)};
  }, false);
  ASSERT_EQ(result.size(), 3u);
  EXPECT_EQ(result[0], OS_STS_SUCCESS);
  EXPECT_EQ(result[1], OS_STS_FAIL);  // EFBIG: not an input/output error
  EXPECT_EQ(result[2], 100);
}

TEST(COsFileIo, PrintfWritesThroughItsBuffer) {
  COsFile osfile;
  EXPECT_EQ(osfile.Printf("%d", 1), -1);  // no file
  ASSERT_EQ(osfile.Open("p", OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READ), OS_STS_SUCCESS);
  EXPECT_EQ(osfile.Printf("%d-%s;", 12, "ab"), 6);
  EXPECT_EQ(osfile.Printf("%s", ""), 0);
  EXPECT_EQ(osfile.SetPrintfBufferSize(8), 65536);
  EXPECT_EQ(osfile.Printf("%s", "1234567"), 7);
  EXPECT_EQ(osfile.Printf("%s", "12345678"), -1);  // does not fit: nothing is written
  EXPECT_EQ(osfile.SetPrintfBufferSize(0), 8);
  EXPECT_EQ(osfile.Printf("%s", "x"), -1);
  osfile.Close();
  EXPECT_EQ(ReadFile("p"), "12-ab;1234567");
}

TEST(COsFileIo, PointerSizeAndEndOfFile) {
  COsFile osfile;
  size_t sizet = 0;
  uint64_t u64 = 0;
  EXPECT_EQ(osfile.Size(&sizet), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(osfile.SetEndOfFile(), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(osfile.SetFilePointer(OS_FILEPOINTER_BEGIN, 0), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(osfile.GetFilePointer(&sizet), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(osfile.GetFilePointer64(&u64), OS_STS_FAIL);
  ASSERT_EQ(osfile.Open("s", OS_FILEOPEN_CREATE, OS_FILEACCESS_READWRITE, OS_FILESHARE_READ), OS_STS_SUCCESS);
  std::string data(100, 'a');
  ASSERT_EQ(osfile.Write(data.data(), data.size()), OS_STS_SUCCESS);
  EXPECT_EQ(osfile.SetFilePointer(OS_FILEPOINTER_BEGIN, 40), OS_STS_SUCCESS);
  EXPECT_EQ(osfile.Size(&sizet), OS_STS_SUCCESS);
  EXPECT_EQ(sizet, 100u);
  EXPECT_EQ(osfile.GetFilePointer(&sizet), OS_STS_SUCCESS);
  EXPECT_EQ(sizet, 40u);  // Size leaves the pointer where it was
  EXPECT_EQ(osfile.SetEndOfFile(), OS_STS_SUCCESS);
  EXPECT_EQ(osfile.Size64(&u64), OS_STS_SUCCESS);
  EXPECT_EQ(u64, 40u);
  EXPECT_EQ(testsupport::RunPython("import os,sys; print(os.stat(sys.argv[1]).st_size)", {"s"}), "40\n");
  EXPECT_EQ(osfile.SetFilePointer64(OS_FILEPOINTER_END, -10), OS_STS_SUCCESS);
  EXPECT_EQ(osfile.SetFilePointer(OS_FILEPOINTER_CURRENT, 5), OS_STS_SUCCESS);
  EXPECT_EQ(osfile.GetFilePointer64(&u64), OS_STS_SUCCESS);
  EXPECT_EQ(u64, 35u);
  EXPECT_EQ(osfile.SetFilePointer(static_cast<EOSFILEPOINTER>(7), 0), OS_STS_FAIL);
  EXPECT_EQ(osfile.SetFilePointer(OS_FILEPOINTER_BEGIN, -1), OS_STS_FAIL);
  EXPECT_EQ(osfile.GetFilePointer(nullptr), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(osfile.GetFilePointer64(nullptr), OS_STS_FAIL);
  EXPECT_EQ(osfile.Size(nullptr), OS_STS_FAIL);
  EXPECT_EQ(osfile.Size64(nullptr), OS_STS_FAIL);
}

TEST(COsFileIo, GetNameNeedsAnOpenFileAndRoom) {
  COsFile osfile;
  char szName[16];
  EXPECT_EQ(osfile.GetName(szName, sizeof szName), OS_STS_FAIL);
  ASSERT_EQ(osfile.Open("name.txt", OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READ), OS_STS_SUCCESS);
  EXPECT_EQ(osfile.GetName(nullptr, 8), OS_STS_FAIL);
  EXPECT_EQ(osfile.GetName(szName, 8), OS_STS_NOROOM_BUFFER);
  EXPECT_EQ(osfile.GetName(szName, 9), OS_STS_SUCCESS);
  EXPECT_STREQ(szName, "name.txt");
  EXPECT_EQ(osfile.Print("x", "y", 1), OS_STS_SUCCESS);
  EXPECT_EQ(osfile.PressKey(), OS_STS_FAIL);
}

// Times are UTC whatever the process's time zone, and setting them leaves
// the time zone alone.
TEST(COsFileTimes, SetAndGetInUtcAsStatReportsThem) {
  setenv("TZ", "EST5EDT", 1);
  COsFile osfile;
  OsTimeRecord timerecord{};
  EXPECT_EQ(osfile.GetFileTimes(&timerecord, nullptr), OS_STS_BAD_ARGUMENT);
  ASSERT_EQ(osfile.Open("t", OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READ), OS_STS_SUCCESS);
  OsTimeRecord accessed{2001, 2, 0, 3, 4, 5, 6, 0};
  OsTimeRecord modified{2010, 12, 0, 31, 23, 59, 58, 0};
  ASSERT_EQ(osfile.SetFileTimes(&accessed, &modified), OS_STS_SUCCESS);
  EXPECT_STREQ(std::getenv("TZ"), "EST5EDT");
  std::string stat_times = testsupport::RunPython(
      "import os,sys; s=os.stat(sys.argv[1]); print(int(s.st_atime), int(s.st_mtime))", {"t"});
  std::string expected = testsupport::RunPython(
      "import calendar; print(calendar.timegm((2001,2,3,4,5,6)), calendar.timegm((2010,12,31,23,59,58)))");
  EXPECT_EQ(stat_times, expected);

  // Only the modification time: the access time stays.
  OsTimeRecord modified2{1999, 6, 0, 15, 12, 0, 0, 0};
  ASSERT_EQ(osfile.SetFileTimes(nullptr, &modified2), OS_STS_SUCCESS);
  OsTimeRecord gotAccessed{}, gotModified{};
  ASSERT_EQ(osfile.GetFileTimes(&gotAccessed, &gotModified), OS_STS_SUCCESS);
  EXPECT_EQ(gotAccessed.u16Year, 2001);
  EXPECT_EQ(gotAccessed.u16Hour, 4);
  std::string gm = testsupport::RunPython(
      "import os,sys,time; t=time.gmtime(os.stat(sys.argv[1]).st_mtime); "
      "print(t.tm_year, t.tm_mon, (t.tm_wday+1)%7, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec)",
      {"t"});
  EXPECT_EQ(gm, std::to_string(gotModified.u16Year) + " " + std::to_string(gotModified.u16Month) + " " +
                    std::to_string(gotModified.u16DayOfWeek) + " " + std::to_string(gotModified.u16Day) + " " +
                    std::to_string(gotModified.u16Hour) + " " + std::to_string(gotModified.u16Minute) + " " +
                    std::to_string(gotModified.u16Second) + "\n");
  EXPECT_EQ(gotModified.u16Milliseconds, 0);

  OsTimeRecord bad{2001, 13, 0, 3, 4, 5, 6, 0};
  EXPECT_EQ(osfile.SetFileTimes(&bad, nullptr), OS_STS_BAD_ARGUMENT);
}

}  // namespace
