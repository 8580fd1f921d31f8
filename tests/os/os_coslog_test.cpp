// The process-wide log: line layout, header block, level bits and filters,
// several threads and processes on one file, the open fallbacks, the
// environment variables, and errno kept as the caller had it.
#include <fcntl.h>
#include <printf.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "os_coslog.h"
#include "os_coslogimpl.h"
#include "test_support.h"

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::RootPath;

namespace {

// One parsed log line.
struct ParsedLine {
  long lCounter = -1;
  std::string strTime;
  std::string strSource;
  long lLine = 0;
  long lErrno = 0;
  unsigned long long ullThread = 0;
  long lState = 0;
  char cLetter = 0;
  std::string strText;
};

const std::regex& PrefixRegex() {
  // "%05ld %02d%02d%02d%03d %-32.32s %5ld %5ld T%04llu S%d V%c "
  // A cut line ends right after the letter.
  static const std::regex s_regex(R"(^(\d{5,}) (\d{9}) (.{32}) ( *-?\d+) ( *-?\d+) T(\d{4,}) S(-?\d+) V([EAP.])( |$))");
  return s_regex;
}

bool ParseLine(const std::string& a_strLine, ParsedLine* a_pparsed) {
  // The regex sees the prefix only: the texts may be a megabyte long.
  const std::string strHead = a_strLine.substr(0, 256);
  std::smatch match;
  if (!std::regex_search(strHead, match, PrefixRegex())) return false;
  // The widths are fixed unless a number outgrows them.
  if (match[4].length() < 5 || match[5].length() < 5) return false;
  a_pparsed->lCounter = std::stol(match[1]);
  a_pparsed->strTime = match[2];
  a_pparsed->strSource = match[3];
  a_pparsed->strSource.erase(a_pparsed->strSource.find_last_not_of(' ') + 1);
  a_pparsed->lLine = std::stol(match[4]);
  a_pparsed->lErrno = std::stol(match[5]);
  a_pparsed->ullThread = std::stoull(match[6]);
  a_pparsed->lState = std::stol(match[7]);
  a_pparsed->cLetter = match[8].str()[0];
  a_pparsed->strText = a_strLine.substr(static_cast<size_t>(match.length(0)));
  return true;
}

// Every line of the file, each checked for CR LF and the prefix.
std::vector<ParsedLine> ReadLog(const std::string& a_strPath) {
  std::string strData = ReadFile(a_strPath);
  std::vector<ParsedLine> vecLines;
  if (!strData.empty()) {
    EXPECT_EQ(strData.back(), '\n') << "last line of " << a_strPath << " is cut";
  }
  for (const std::string& strRaw : testsupport::Lines(strData)) {
    EXPECT_TRUE(!strRaw.empty() && strRaw.back() == '\r') << "no CR LF: " << strRaw.substr(0, 200);
    std::string strLine = strRaw.substr(0, strRaw.empty() ? 0 : strRaw.size() - 1);
    ParsedLine parsed;
    EXPECT_TRUE(ParseLine(strLine, &parsed)) << "bad prefix: " << strLine.substr(0, 200);
    vecLines.push_back(parsed);
  }
  return vecLines;
}

std::vector<ParsedLine> MessageLines(const std::vector<ParsedLine>& a_vecLines) {
  std::vector<ParsedLine> vecMessages;
  for (const ParsedLine& line : a_vecLines) {
    if (line.strText.rfind("###", 0) != 0) vecMessages.push_back(line);
  }
  return vecMessages;
}

int CountContaining(const std::vector<ParsedLine>& a_vecLines, const std::string& a_strText) {
  int iCount = 0;
  for (const ParsedLine& line : a_vecLines) iCount += line.strText.find(a_strText) != std::string::npos;
  return iCount;
}

unsigned long long ThreadId() { return static_cast<unsigned long long>(syscall(SYS_gettid)); }

class LogTest : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(RootPath("log"));
    COsLog::SetFallbackPath(m_strFallback.c_str());
  }
  void TearDown() override { g_poslog = nullptr; }

  const std::string m_strPath = RootPath("log/test.log");
  const std::string m_strFallback = RootPath("fallback.log");
};

// ---------------------------------------------------------------------------
// Line layout and header block.

TEST_F(LogTest, EveryLineHasThePrefixAndCrLfAndTheHeaderComesOnceBeforeTheFirstLine) {
  COsLog log("scandrv", m_strPath.c_str(), 1, nullptr);
  const long lLine = __LINE__ + 1;
  log.Message(__FILE__, lLine, OS_LOG_ERROR, "an error %d", 1);
  log.Message(__FILE__, lLine, OS_LOG_ASSERT, "an assert");
  log.Message(__FILE__, lLine, OS_LOG_PROTOCOL, "a task");
  log.Message(__FILE__, lLine, OS_LOG_INFO, "information <%s>", "text");
  log.Message(__FILE__, lLine, OS_LOG_INFO | OS_LOG_FLUSH, "flushed");

  std::vector<ParsedLine> vecLines = ReadLog(m_strPath);
  ASSERT_EQ(vecLines.size(), 10u);
  const char* aszHeader[] = {"### (", "### systemInfo <arch:9 ps:", "### osInfo <Os:", "### appInfo <",
                             "### dllInfo <"};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(vecLines[i].strText.rfind(aszHeader[i], 0), 0u) << vecLines[i].strText;
    EXPECT_EQ(vecLines[i].lCounter, static_cast<long>(i));
  }
  const std::regex regexFirst(R"(^### \(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\.\d{3}\) Debug=1 DebugFilter=<> Version=~6\.4\.0\.0$)");
  EXPECT_TRUE(std::regex_search(vecLines[0].strText, regexFirst)) << vecLines[0].strText;
  EXPECT_NE(vecLines[1].strText.find("pid:" + std::to_string(getpid()) + " "), std::string::npos);
  EXPECT_NE(vecLines[3].strText.find("test_os"), std::string::npos) << vecLines[3].strText;
  EXPECT_NE(vecLines[4].strText.find("libscandrv.so> 0x"), std::string::npos) << vecLines[4].strText;

  // Python reads the bytes on its own: CR LF only at line ends, the prefix,
  // and the system facts of the header.
  const char* szScript = R"(
import os, platform, re, sys
data = open(sys.argv[1], 'rb').read()
assert data.endswith(b'\r\n'), 'no final CR LF'
lines = data[:-2].split(b'\r\n')
prefix = re.compile(rb'\d{5} \d{9} .{32} [ \d-]{4}\d [ \d-]{4}\d T\d{4,} S\d+ V[EAP.] ')
for line in lines:
    assert b'\r' not in line and b'\n' not in line, line
    assert prefix.match(line), line
text = b'\n'.join(lines).decode()
assert ' ps:%d ' % os.sysconf('SC_PAGE_SIZE') in text
assert ' Kernel:%s>' % platform.release() in text
print(len(lines))
)";
  int iStatus = -1;
  EXPECT_EQ(testsupport::RunPython(szScript, {m_strPath}, &iStatus), "10\n");
  EXPECT_EQ(iStatus, 0);

  const char acLetters[] = {'E', 'A', 'P', '.', '.'};
  const char* aszTexts[] = {"an error 1", "an assert", "a task", "information <text>", "flushed"};
  for (size_t i = 5; i < 10; ++i) {
    const ParsedLine& line = vecLines[i];
    EXPECT_EQ(line.lCounter, static_cast<long>(i));
    EXPECT_EQ(line.strSource, "os_coslog_test");
    EXPECT_EQ(line.lLine, lLine);
    EXPECT_EQ(line.ullThread, ThreadId());
    EXPECT_EQ(line.lState, 9);
    EXPECT_EQ(line.cLetter, acLetters[i - 5]);
    EXPECT_EQ(line.strText, aszTexts[i - 5]);
  }
}

TEST_F(LogTest, SourceNameIsTheLowerCaseFileWithoutDirectoryAndLastExtension) {
  struct Case {
    const char* szFile;
    const char* szSource;
  };
  const Case acase[] = {
      {"/a/b/Dev_CDevImpl_Scan.cpp", "dev_cdevimpl_scan"},
      {"C:\\src\\Os_CosFile.CPP", "os_cosfile"},
      {"archive.tar.gz", "archive.tar"},
      {"noext", "noext"},
      {"dir.d/plain", "plain"},
      {"", ""},
      {nullptr, ""},
      {"/x/a_source_name_much_longer_than_thirty_two_columns.cpp", "a_source_name_much_longer_than_t"},
  };
  COsLog log("scandrv", m_strPath.c_str(), 1, nullptr);
  for (const Case& c : acase) log.Message(c.szFile, 7, OS_LOG_INFO, "line");
  std::vector<ParsedLine> vecLines = MessageLines(ReadLog(m_strPath));
  ASSERT_EQ(vecLines.size(), std::size(acase));
  for (size_t i = 0; i < std::size(acase); ++i) EXPECT_EQ(vecLines[i].strSource, acase[i].szSource) << i;
}

TEST_F(LogTest, HeaderBlockAppearsOncePerFile) {
  COsLog log("scandrv", m_strPath.c_str(), 1, nullptr);
  for (int i = 0; i < 3; ++i) log.Message(__FILE__, __LINE__, OS_LOG_INFO, "first file %d", i);
  // Setup with the same file: no second header.
  log.Setup(m_strPath.c_str(), 1, nullptr, nullptr);
  log.Message(__FILE__, __LINE__, OS_LOG_INFO, "same file again");
  const std::string strOther = RootPath("log/other.log");
  log.Setup(strOther.c_str(), 1, nullptr, nullptr);
  for (int i = 0; i < 3; ++i) log.Message(__FILE__, __LINE__, OS_LOG_INFO, "second file %d", i);

  for (const std::string& strPath : {m_strPath, strOther}) {
    std::vector<ParsedLine> vecLines = ReadLog(strPath);
    for (const char* szHeader : {"### (", "### systemInfo", "### osInfo", "### appInfo", "### dllInfo"}) {
      EXPECT_EQ(CountContaining(vecLines, szHeader), 1) << strPath << " " << szHeader;
    }
    ASSERT_FALSE(vecLines.empty());
    EXPECT_EQ(vecLines[0].strText.rfind("### (", 0), 0u);
  }
  EXPECT_EQ(CountContaining(ReadLog(m_strPath), "first file"), 3);
  EXPECT_EQ(CountContaining(ReadLog(m_strPath), "same file again"), 1);
  EXPECT_EQ(CountContaining(ReadLog(strOther), "second file"), 3);
  EXPECT_EQ(CountContaining(ReadLog(strOther), "first file"), 0);
}

TEST_F(LogTest, HeaderTruncatesTheFileUnlessAppendModeIsOn) {
  for (long lAppend : {0L, 2L}) {
    testsupport::WriteFile(m_strPath, "old line\r\n");
    COsLog log("scandrv", nullptr, 0, nullptr);
    log.Setup(m_strPath.c_str(), 1 | lAppend, nullptr, nullptr);
    log.Message(__FILE__, __LINE__, OS_LOG_INFO, "new line");
    std::string strData = ReadFile(m_strPath);
    EXPECT_EQ(strData.rfind("old line\r\n", 0) == 0, lAppend != 0) << strData.substr(0, 100);
    EXPECT_NE(strData.find("new line\r\n"), std::string::npos);
    EXPECT_EQ(log.GetDebugLevel(), 1) << "the append bit is taken out of the level word";
  }
}

TEST_F(LogTest, ComparableModeWritesCounterTimeAndErrnoAsZeros) {
  COsLog log("scandrv", m_strPath.c_str(), 0x21, nullptr);
  for (int i = 0; i < 3; ++i) {
    errno = EXDEV;
    log.Message(__FILE__, __LINE__, OS_LOG_INFO, "comparable %d", i);
  }
  std::vector<ParsedLine> vecLines = MessageLines(ReadLog(m_strPath));
  ASSERT_EQ(vecLines.size(), 3u);
  for (const ParsedLine& line : vecLines) {
    EXPECT_EQ(line.lCounter, 0);
    EXPECT_EQ(line.strTime, "000000000");
    EXPECT_EQ(line.lErrno, 0);
  }
}

// ---------------------------------------------------------------------------
// Levels and filters.

struct LevelCase {
  long lLevel;
  const char* szFilter;  // given to Setup; null keeps none
  long lFlag;
  const char* szFile;
  bool blWritten;
};

const LevelCase s_alevelcase[] = {
    // Level 0 switches off only the lines whose callers test it.
    {0, nullptr, OS_LOG_INFO, "any.cpp", true},
    {0, nullptr, OS_LOG_ERROR, "any.cpp", true},
    {0, nullptr, OS_LOG_ASSERT, "any.cpp", true},
    {0, nullptr, OS_LOG_PROTOCOL, "any.cpp", true},
    {1, nullptr, OS_LOG_INFO | OS_LOG_FLUSH, "any.cpp", true},
    // Find lines only with the debug-find switch, and still filtered.
    {1, nullptr, OS_LOG_FIND, "any.cpp", false},
    {0x401, nullptr, OS_LOG_FIND, "any.cpp", true},
    {0x411, nullptr, OS_LOG_FIND, "any.cpp", true},
    {0x401, "other", OS_LOG_FIND, "any.cpp", false},
    // Bit 0x10: errors, asserts and the USB wire only.
    {0x11, nullptr, OS_LOG_USBWIRE, "any.cpp", true},
    {0x11, nullptr, OS_LOG_INFO, "any.cpp", false},
    {0x11, nullptr, OS_LOG_PROTOCOL, "any.cpp", false},
    {0x11, nullptr, OS_LOG_ERROR, "any.cpp", true},
    {0x11, nullptr, OS_LOG_ASSERT, "any.cpp", true},
    // Bit 0x40: errors, asserts and the memory tracker only.
    {0x41, nullptr, OS_LOG_MEM, "any.cpp", true},
    {0x41, nullptr, OS_LOG_MEMVIRTUAL, "any.cpp", true},
    {0x41, nullptr, OS_LOG_MEMNOTOWNED, "any.cpp", true},
    {0x41, nullptr, OS_LOG_MEMVIRTUALNOTOWNED, "any.cpp", true},
    {0x41, nullptr, OS_LOG_USBWIRE, "any.cpp", false},
    {0x41, nullptr, OS_LOG_INFO, "any.cpp", false},
    {0x41, nullptr, OS_LOG_ERROR, "any.cpp", true},
    // Bit 0x800: errors and asserts, protocol lines subject to 0x10 and 0x40.
    {0x801, nullptr, OS_LOG_ERROR, "any.cpp", true},
    {0x801, nullptr, OS_LOG_ASSERT, "any.cpp", true},
    {0x801, nullptr, OS_LOG_PROTOCOL, "any.cpp", true},
    {0x801, nullptr, OS_LOG_INFO, "any.cpp", false},
    {0x801, nullptr, OS_LOG_USBWIRE, "any.cpp", false},
    {0x811, nullptr, OS_LOG_PROTOCOL, "any.cpp", false},
    {0x811, nullptr, OS_LOG_USBWIRE, "any.cpp", false},
    {0x841, nullptr, OS_LOG_MEM, "any.cpp", false},
    // Filters: words, "~" exclusions, the group words.
    {1, "twain ~twn_ctwngui", OS_LOG_INFO, "/src/twn_ctwngui.cpp", false},
    {1, "twain ~twn_ctwngui", OS_LOG_INFO, "/src/twn_cother.cpp", true},
    {1, "twain ~twn_ctwngui", OS_LOG_INFO, "/src/db_cdbdatum.cpp", true},
    {1, "twain ~twn_ctwngui", OS_LOG_INFO, "/src/pmxdat_x.cpp", true},
    {1, "twain ~twn_ctwngui", OS_LOG_INFO, "/src/dev_cdev.cpp", false},
    {1, "twain ~twn_ctwngui", OS_LOG_ERROR, "/src/dev_cdev.cpp", true},
    {1, "twain ~twn_ctwngui", OS_LOG_ERROR, "/src/twn_ctwngui.cpp", true},
    {1, "twain ~twn_ctwngui", OS_LOG_ASSERT, "/src/dev_cdev.cpp", false},
    {1, "~dev_", OS_LOG_INFO, "/src/dev_cdevimpl_scan.cpp", false},
    {1, "~dev_", OS_LOG_INFO, "/src/os_cosfile.cpp", true},
    {1, "~dev_ ~db_", OS_LOG_INFO, "/src/db_cdatabase.cpp", false},
    {1, "WIRE", OS_LOG_INFO, "/src/pmxhal_usb.cpp", true},
    {1, "WIRE", OS_LOG_INFO, "/src/pmxprot.cpp", true},
    {1, "WIRE", OS_LOG_INFO, "/src/os_cosfile.cpp", false},
    {1, "xml", OS_LOG_INFO, "/src/img_cimgnexil.cpp", true},
    {1, "Xml", OS_LOG_INFO, "/src/twn_ctwngui.cpp", true},
    {1, "XML", OS_LOG_INFO, "/src/twn_cother.cpp", false},
    {1, "Dev_CDevImpl\tos_cosfile", OS_LOG_INFO, "/src/DEV_CDEVIMPL_SCAN.CPP", true},
    {1, "Dev_CDevImpl\tos_cosfile", OS_LOG_INFO, "/src/os_cosfile.cpp", true},
    {1, "Dev_CDevImpl\tos_cosfile", OS_LOG_INFO, "/src/os_costime.cpp", false},
    {1, "", OS_LOG_INFO, "/src/anything.cpp", true},
    {1, "~", OS_LOG_INFO, "/src/anything.cpp", true},
};

class LevelTest : public LogTest, public testing::WithParamInterface<LevelCase> {};

TEST_P(LevelTest, LevelBitsAndFilterDecideWhetherALineIsWritten) {
  const LevelCase& c = GetParam();
  COsLog log("scandrv", nullptr, 0, nullptr);
  log.Setup(m_strPath.c_str(), c.lLevel, c.szFilter, nullptr);
  log.Message(c.szFile, 1, c.lFlag, "the marker line");
  EXPECT_EQ(CountContaining(ReadLog(m_strPath), "the marker line"), c.blWritten ? 1 : 0);
}

void PrintTo(const LevelCase& a_levelcase, std::ostream* a_postream) {
  *a_postream << "level 0x" << std::hex << a_levelcase.lLevel << std::dec << " filter <"
              << (a_levelcase.szFilter ? a_levelcase.szFilter : "(none)") << "> flag " << a_levelcase.lFlag << " file "
              << a_levelcase.szFile << (a_levelcase.blWritten ? " written" : " dropped");
}

std::string LevelCaseName(const testing::TestParamInfo<LevelCase>& a_info) {
  char szName[64];
  std::snprintf(szName, sizeof szName, "Case%02zu_Level%lx_Flag%ld", a_info.index, a_info.param.lLevel,
                a_info.param.lFlag);
  return szName;
}

INSTANTIATE_TEST_SUITE_P(Table, LevelTest, testing::ValuesIn(s_alevelcase), LevelCaseName);

TEST_F(LogTest, SetupFilterShowsInTheHeaderAndConstructorFilterIsTakenAsIs) {
  {
    COsLog log("scandrv", nullptr, 0, nullptr);
    log.Setup(m_strPath.c_str(), 1, "Twain  ~TWN_CTWNGUI", nullptr);
    log.Message("/src/pmxdat.cpp", 1, OS_LOG_INFO, "x");
    std::vector<ParsedLine> vecLines = ReadLog(m_strPath);
    ASSERT_FALSE(vecLines.empty());
    EXPECT_NE(vecLines[0].strText.find("DebugFilter=<pmxdat twn_ db_cdbdatum ~twn_ctwngui>"), std::string::npos)
        << vecLines[0].strText;
  }
  {
    const std::string strPath = RootPath("log/ctor.log");
    COsLog log("scandrv", strPath.c_str(), 1, "os_cosfile ~os_cosfile_x");
    log.Message("/src/os_cosfile.cpp", 1, OS_LOG_INFO, "kept");
    log.Message("/src/os_cosfile_x.cpp", 1, OS_LOG_INFO, "excluded");
    log.Message("/src/os_costime.cpp", 1, OS_LOG_INFO, "not included");
    std::vector<ParsedLine> vecLines = ReadLog(strPath);
    EXPECT_EQ(CountContaining(vecLines, "kept"), 1);
    EXPECT_EQ(CountContaining(vecLines, "excluded"), 0);
    EXPECT_EQ(CountContaining(vecLines, "not included"), 0);
  }
}

TEST_F(LogTest, ModeBitsAreTakenOutOfTheLevelWordAndSwitchTheirModes) {
  COsLog log("scandrv", m_strPath.c_str(), 0x100 | 0x400 | 0x4 | 0x1, nullptr);
  EXPECT_EQ(log.GetDebugLevel(), 0x5);
  EXPECT_TRUE(log.GetIsDump());
  EXPECT_TRUE(log.GetDebugFind());
  EXPECT_FALSE(log.IsFlushing());
  log.Message(__FILE__, __LINE__, OS_LOG_INFO, "switches flushing on");
  EXPECT_TRUE(log.IsFlushing());
  EXPECT_EQ(log.GetDebugLevel(), 0x1);
  log.SetDebugLevel(0x123);
  EXPECT_EQ(log.GetDebugLevel(), 0x123);

  COsLog logPlain("scandrv", m_strPath.c_str(), 1, nullptr);
  EXPECT_FALSE(logPlain.GetIsDump());
  EXPECT_FALSE(logPlain.GetDebugFind());
  logPlain.Setup(m_strPath.c_str(), 0x100 | 0x400 | 0x2 | 0x1, nullptr, nullptr);
  EXPECT_EQ(logPlain.GetDebugLevel(), 0x1);
  EXPECT_TRUE(logPlain.GetIsDump());
  EXPECT_TRUE(logPlain.GetDebugFind());
  EXPECT_EQ(logPlain.DisplayLength(), 512);
}

TEST_F(LogTest, DataSourceStateIsShownFromTheCallersWord) {
  COsLog log("scandrv", m_strPath.c_str(), 0, nullptr);
  EXPECT_EQ(log.GetDsState(), 9);
  EXPECT_EQ(log.GetIsTWAIN(), 0);
  long lState = 4;
  log.Setup(nullptr, 0, nullptr, &lState);
  log.Message(__FILE__, __LINE__, OS_LOG_INFO, "state four");
  log.SetDsState(0);
  EXPECT_EQ(lState, 0);
  EXPECT_EQ(log.GetIsTWAIN(), 1);
  log.Message(__FILE__, __LINE__, OS_LOG_INFO, "state zero");
  lState = 5;
  EXPECT_EQ(log.GetIsTWAIN(), 5);
  std::vector<ParsedLine> vecLines = MessageLines(ReadLog(m_strPath));
  ASSERT_EQ(vecLines.size(), 2u);
  EXPECT_EQ(vecLines[0].lState, 4);
  EXPECT_EQ(vecLines[1].lState, 0);
}

// ---------------------------------------------------------------------------
// errno.

TEST_F(LogTest, ErrnoIsTheSameAfterEveryKindOfCallAndShowsInTheLine) {
  struct Case {
    const char* szName;
    std::string strPath;
    long lLevel;
    long lFlag;
  };
  std::filesystem::create_directories(RootPath("log/blocked.log"));
  const Case acase[] = {
      {"written", m_strPath, 1, OS_LOG_INFO},
      {"filtered by level", m_strPath, 0x11, OS_LOG_INFO},
      {"missing directory", RootPath("missing/x.log"), 1, OS_LOG_INFO},
      {"fallback", RootPath("log/blocked.log"), 1, OS_LOG_INFO},
      {"assert to stderr", m_strPath, 1, OS_LOG_ASSERT},
      {"no file", "", 1, OS_LOG_ERROR},
  };
  for (const Case& c : acase) {
    COsLog log("scandrv", c.strPath.c_str(), c.lLevel, nullptr);
    for (int iErrno : {0, EXDEV, ENOENT}) {
      testing::internal::CaptureStderr();
      errno = iErrno;
      int iResult = log.Message(__FILE__, __LINE__, c.lFlag, "errno %d", iErrno);
      int iAfter = errno;
      testing::internal::GetCapturedStderr();
      EXPECT_EQ(iAfter, iErrno) << c.szName;
      EXPECT_EQ(iResult, iErrno) << c.szName;
    }
  }
  int iChecked = 0;
  for (const ParsedLine& line : MessageLines(ReadLog(m_strPath))) {
    if (line.strText.rfind("errno ", 0) != 0) continue;
    EXPECT_EQ("errno " + std::to_string(line.lErrno), line.strText);
    ++iChecked;
  }
  EXPECT_EQ(iChecked, 3);
}

// ---------------------------------------------------------------------------
// Several processes and threads on one file.

TEST_F(LogTest, TwoProcessesAppendingToOneFileLeaveEveryLineIntact) {
  COsLog log("scandrv", m_strPath.c_str(), 1, nullptr);
  log.Message(__FILE__, __LINE__, OS_LOG_INFO, "parent before fork");
  constexpr int kLines = 1000;
  // Some lines are longer than any stdio buffer: they must still leave in one piece.
  const std::string strLong(6000, 'x');
  pid_t apid[2];
  for (int iChild = 0; iChild < 2; ++iChild) {
    apid[iChild] = fork();
    ASSERT_GE(apid[iChild], 0);
    if (apid[iChild] == 0) {
      for (int i = 0; i < kLines; ++i) {
        log.Message(__FILE__, __LINE__, OS_LOG_INFO, "child %d line %d <%s>", iChild, i,
                    i % 10 == 0 ? strLong.c_str() : "short");
      }
      _exit(0);
    }
  }
  for (pid_t pid : apid) {
    int iStatus = 0;
    ASSERT_EQ(waitpid(pid, &iStatus, 0), pid);
    EXPECT_TRUE(WIFEXITED(iStatus) && WEXITSTATUS(iStatus) == 0);
  }
  std::vector<ParsedLine> vecLines = ReadLog(m_strPath);
  EXPECT_EQ(CountContaining(vecLines, "### ("), 1);
  std::vector<ParsedLine> vecMessages = MessageLines(vecLines);
  ASSERT_EQ(vecMessages.size(), 2u * kLines + 1);
  std::set<std::string> setSeen;
  for (const ParsedLine& line : vecMessages) {
    if (line.strText == "parent before fork") continue;
    int iChild = -1, iLine = -1;
    ASSERT_EQ(std::sscanf(line.strText.c_str(), "child %d line %d", &iChild, &iLine), 2) << line.strText;
    std::string strExpected = "child " + std::to_string(iChild) + " line " + std::to_string(iLine) + " <" +
                              (iLine % 10 == 0 ? strLong : std::string("short")) + ">";
    EXPECT_EQ(line.strText, strExpected);
    setSeen.insert(line.strText.substr(0, 40));
  }
  EXPECT_EQ(setSeen.size(), 2u * kLines);
}

TEST_F(LogTest, ThreadsLoggingTogetherWriteWholeLinesInCounterOrder) {
  COsLog log("scandrv", m_strPath.c_str(), 1, nullptr);
  constexpr int kThreads = 16;
  constexpr int kLines = 200;
  std::vector<std::thread> vecThreads;
  for (int t = 0; t < kThreads; ++t) {
    vecThreads.emplace_back([&log, t] {
      std::string strPad(static_cast<size_t>(t * 300), 'p');
      for (int i = 0; i < kLines; ++i) log.Message(__FILE__, __LINE__, OS_LOG_INFO, "t%d i%d %s", t, i, strPad.c_str());
    });
  }
  for (std::thread& thread : vecThreads) thread.join();
  std::vector<ParsedLine> vecLines = ReadLog(m_strPath);
  ASSERT_EQ(vecLines.size(), 5u + kThreads * kLines);
  std::set<unsigned long long> setThreads;
  for (size_t i = 0; i < vecLines.size(); ++i) {
    EXPECT_EQ(vecLines[i].lCounter, static_cast<long>(i));
    if (i >= 5) setThreads.insert(vecLines[i].ullThread);
  }
  EXPECT_EQ(setThreads.size(), static_cast<size_t>(kThreads));
}

TEST_F(LogTest, ASixtyFifthThreadWritesNothingWhileSixtyFourRun) {
  COsLog log("scandrv", m_strPath.c_str(), 1, nullptr);
  constexpr int kThreads = 64;
  std::atomic<int> iLogged{0};
  std::atomic<bool> blRelease{false};
  std::vector<std::thread> vecThreads;
  for (int t = 0; t < kThreads; ++t) {
    vecThreads.emplace_back([&, t] {
      log.Message(__FILE__, __LINE__, OS_LOG_INFO, "holder %d", t);
      ++iLogged;
      while (!blRelease.load()) std::this_thread::yield();
    });
  }
  while (iLogged.load() < kThreads) std::this_thread::yield();
  log.Message(__FILE__, __LINE__, OS_LOG_ERROR, "the sixty-fifth");
  std::vector<ParsedLine> vecLines = ReadLog(m_strPath);
  EXPECT_EQ(CountContaining(vecLines, "holder "), kThreads);
  EXPECT_EQ(CountContaining(vecLines, "the sixty-fifth"), 0);
  // A child forked now holds only the forking thread: the parent's slots are
  // free for it.
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    log.Message(__FILE__, __LINE__, OS_LOG_ERROR, "from the child");
    _exit(0);
  }
  int iStatus = 0;
  ASSERT_EQ(waitpid(pid, &iStatus, 0), pid);
  EXPECT_EQ(CountContaining(ReadLog(m_strPath), "from the child"), 1);
  blRelease = true;
  for (std::thread& thread : vecThreads) thread.join();
  // Slots of ended threads are taken over.
  log.Message(__FILE__, __LINE__, OS_LOG_ERROR, "after the others ended");
  for (int t = 0; t < 100; ++t) {
    std::thread([&log, t] { log.Message(__FILE__, __LINE__, OS_LOG_INFO, "short-lived %d", t); }).join();
  }
  vecLines = ReadLog(m_strPath);
  EXPECT_EQ(CountContaining(vecLines, "after the others ended"), 1);
  EXPECT_EQ(CountContaining(vecLines, "short-lived "), 100);
}

TEST_F(LogTest, ReconfiguringWhileOtherThreadsLogKeepsEveryLineWhole) {
  COsLog log("scandrv", m_strPath.c_str(), 1, nullptr);
  long lState = 3;
  std::atomic<bool> blStop{false};
  std::vector<std::thread> vecThreads;
  for (int t = 0; t < 4; ++t) {
    vecThreads.emplace_back([&log, &blStop, t] {
      for (int i = 0; !blStop.load(); ++i) {
        log.Message(t % 2 ? "/src/dev_cdev.cpp" : "/src/os_cosfile.cpp", i, OS_LOG_INFO, "worker %d line %d", t, i);
      }
    });
  }
  const std::string strOther = RootPath("log/other.log");
  for (int i = 0; i < 50; ++i) {
    log.Setup(i % 2 ? strOther.c_str() : m_strPath.c_str(), 1, i % 3 ? "dev_" : "~dev_", i % 2 ? &lState : nullptr);
    char szName[512];
    log.GetFilename(szName, sizeof szName);
    log.SetDsState(i);
    log.SetDebugLevel(1);
  }
  blStop = true;
  for (std::thread& thread : vecThreads) thread.join();
  for (const std::string& strPath : {m_strPath, strOther}) {
    for (const ParsedLine& line : ReadLog(strPath)) EXPECT_FALSE(line.strText.empty());
  }
}

void* LogForEver(void* a_pvLog) {
  COsLog* plog = static_cast<COsLog*>(a_pvLog);
  for (;;) {
    plog->Message(__FILE__, __LINE__, OS_LOG_INFO, "looping");
    pthread_testcancel();
  }
  return nullptr;
}

// Waits up to two seconds for a child; kills it when it hangs.
bool ChildEndedWell(pid_t a_pid) {
  for (int i = 0; i < 200; ++i) {
    int iStatus = 0;
    if (waitpid(a_pid, &iStatus, WNOHANG) == a_pid) return WIFEXITED(iStatus) && WEXITSTATUS(iStatus) == 0;
    usleep(10000);
  }
  kill(a_pid, SIGKILL);
  waitpid(a_pid, nullptr, 0);
  return false;
}

TEST_F(LogTest, AChildForkedWhileAnotherThreadWritesCanLog) {
  COsLog log("scandrv", m_strPath.c_str(), 1, nullptr);
  log.Message(__FILE__, __LINE__, OS_LOG_INFO, "header written before any fork");
  // Another log shares the line lock; long lines keep it taken most of the time.
  COsLog logBusy("busy", "/dev/null", 1, nullptr);
  std::atomic<bool> blStop{false};
  std::atomic<int> iWritten{0};
  std::thread threadWriter([&logBusy, &blStop, &iWritten] {
    const std::string strLong(256 * 1024, 'w');
    while (!blStop.load()) {
      logBusy.Message(__FILE__, __LINE__, OS_LOG_INFO, "%s", strLong.c_str());
      ++iWritten;
    }
  });
  while (iWritten.load() == 0) std::this_thread::yield();
  for (int i = 0; i < 20; ++i) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      log.Message(__FILE__, __LINE__, OS_LOG_ERROR, "child %d", i);
      _exit(0);
    }
    EXPECT_TRUE(ChildEndedWell(pid)) << "child " << i << " hung or failed";
  }
  blStop = true;
  threadWriter.join();
  std::vector<ParsedLine> vecLines = ReadLog(m_strPath);
  std::multiset<std::string> setTexts;
  for (const ParsedLine& line : vecLines) setTexts.insert(line.strText);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(setTexts.count("child " + std::to_string(i)), 1u) << i;
  EXPECT_GT(iWritten.load(), 20);
}

size_t OpenDescriptors() {
  size_t sizetCount = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) sizetCount += entry.exists() ? 1 : 0;
  return sizetCount;
}

TEST_F(LogTest, AThreadCancelledWhileLoggingLeavesNoLockTakenAndNoFileOpen) {
  COsLog log("scandrv", m_strPath.c_str(), 1, nullptr);
  log.Message(__FILE__, __LINE__, OS_LOG_INFO, "before");
  const size_t sizetDescriptors = OpenDescriptors();
  for (int iRound = 0; iRound < 20; ++iRound) {
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, nullptr, LogForEver, &log), 0);
    usleep(5000);
    pthread_cancel(thread);
    pthread_join(thread, nullptr);
    log.Message(__FILE__, __LINE__, OS_LOG_INFO, "after cancel %d", iRound);
  }
  EXPECT_EQ(CountContaining(ReadLog(m_strPath), "after cancel "), 20);
  EXPECT_EQ(OpenDescriptors(), sizetDescriptors);
}

// ---------------------------------------------------------------------------
// Bad input.

TEST_F(LogTest, NullArgumentsAreHandled) {
  COsLog logNothing(nullptr, nullptr, 1, nullptr);
  errno = EXDEV;
  EXPECT_EQ(logNothing.Message(nullptr, 0, OS_LOG_ERROR, "%s", "nowhere"), EXDEV);
  logNothing.Setup(nullptr, 1, nullptr, nullptr);
  EXPECT_EQ(logNothing.SetHopeless(0), 1) << "no file: nothing to write to";
  logNothing.Flush();
  char szBuffer[64] = "untouched";
  EXPECT_EQ(logNothing.GetLogFile(szBuffer, sizeof szBuffer), OS_STS_SUCCESS);
  EXPECT_STREQ(szBuffer, "");

  COsLog log("scandrv", m_strPath.c_str(), 1, nullptr);
  const char* szNoFormat = nullptr;
  log.Message(nullptr, 5, OS_LOG_INFO, szNoFormat);
  log.Message(__FILE__, __LINE__, OS_LOG_INFO, "%s", "after nulls");
  EXPECT_EQ(log.GetLogFile(nullptr, 10), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(log.GetLogFile(szBuffer, 0), OS_STS_BAD_ARGUMENT);
  log.GetFilename(nullptr, 10);
  std::vector<ParsedLine> vecLines = MessageLines(ReadLog(m_strPath));
  ASSERT_EQ(vecLines.size(), 2u);
  EXPECT_EQ(vecLines[0].strSource, "");
  EXPECT_EQ(vecLines[0].strText, "");
  EXPECT_EQ(vecLines[1].strText, "after nulls");
}

TEST_F(LogTest, GetLogFileRefusesABufferThePathDoesNotFitWithRoomToSpare) {
  COsLog log("scandrv", "/ab/cd.log", 0, nullptr);  // 10 characters
  struct Case {
    size_t sizetBuffer;
    EOSSTS eossts;
  };
  for (const Case& c : {Case{10, OS_STS_BAD_ARGUMENT}, Case{11, OS_STS_BAD_ARGUMENT}, Case{12, OS_STS_SUCCESS}}) {
    char szBuffer[32] = "x";
    EXPECT_EQ(log.GetLogFile(szBuffer, c.sizetBuffer), c.eossts) << c.sizetBuffer;
    if (c.eossts == OS_STS_SUCCESS) {
      EXPECT_STREQ(szBuffer, "/ab/cd.log");
    }
  }
  char szName[32];
  log.GetFilename(szName, sizeof szName);
  EXPECT_STREQ(szName, "/ab/cd.log");
}

TEST_F(LogTest, ATextLongerThanTheLineBufferLeavesThePrefixAlone) {
  COsLog log("scandrv", m_strPath.c_str(), 1, nullptr);
  struct Case {
    size_t sizetText;
    bool blWhole;
  };
  const Case acase[] = {{100, true}, {kOsLogFinalSize - 200, true}, {kOsLogFinalSize - 20, false},
                        {2 * kOsLogFinalSize, false}};
  for (const Case& c : acase) {
    std::string strText(c.sizetText, 'z');
    testing::internal::CaptureStderr();
    log.Message(__FILE__, __LINE__, OS_LOG_INFO, "%s", strText.c_str());
    std::string strErr = testing::internal::GetCapturedStderr();
    EXPECT_EQ(strErr.find("LogSStrCatf failed...<%s>") != std::string::npos, !c.blWhole) << strErr;
  }
  std::vector<ParsedLine> vecLines = MessageLines(ReadLog(m_strPath));
  ASSERT_EQ(vecLines.size(), std::size(acase));
  for (size_t i = 0; i < std::size(acase); ++i) {
    EXPECT_EQ(vecLines[i].strText.size(), acase[i].blWhole ? acase[i].sizetText : 0u) << i;
  }
  std::string strData = ReadFile(m_strPath);
  EXPECT_NE(strData.find(" V.\r\n"), std::string::npos) << "a cut line ends where the prefix's blank was";
}

int PrintInner(FILE* a_pfile, const struct printf_info*, const void* const*) {
  // Logging from inside the log's own formatting.
  if (g_poslog) g_poslog->Message(__FILE__, __LINE__, OS_LOG_ERROR, "nested line");
  return std::fputs("inner", a_pfile) < 0 ? -1 : 5;
}

int PrintInnerArgs(const struct printf_info*, size_t a_sizetArgs, int* a_piTypes, int* a_piSizes) {
  if (a_sizetArgs > 0) {
    a_piTypes[0] = PA_INT;
    a_piSizes[0] = sizeof(int);
  }
  return 1;
}

TEST_F(LogTest, LoggingFromInsideTheLogIsDropped) {
  COsLog log("scandrv", m_strPath.c_str(), 1, nullptr);
  g_poslog = &log;
  ASSERT_EQ(register_printf_specifier('W', PrintInner, PrintInnerArgs), 0);
  const char* szFormat = "outer %W";
  log.Message(__FILE__, __LINE__, OS_LOG_INFO, szFormat, 0);
  log.Message(__FILE__, __LINE__, OS_LOG_INFO, "after");
  std::vector<ParsedLine> vecLines = MessageLines(ReadLog(m_strPath));
  ASSERT_EQ(vecLines.size(), 2u);
  EXPECT_EQ(vecLines[0].strText, "outer inner");
  EXPECT_EQ(CountContaining(vecLines, "nested line"), 0);
}

TEST_F(LogTest, TheDebugDirectoryIsCreatedWithoutItsOwnLogLinesReachingTheLog) {
  const std::string strDebugDir = RootPath("debug/deeper");
  setenv("PMX_DEBUGDIR", strDebugDir.c_str(), 1);
  COsLog log("scandrv", m_strPath.c_str(), 1, nullptr);
  g_poslog = &log;  // the directory creation logs at debug level
  log.Message(__FILE__, __LINE__, OS_LOG_INFO, "into the debug directory");
  unsetenv("PMX_DEBUGDIR");
  char szPath[512];
  ASSERT_EQ(log.GetLogFile(szPath, sizeof szPath), OS_STS_SUCCESS);
  EXPECT_TRUE(std::regex_match(std::string(szPath), std::regex(strDebugDir + R"(/\d{17}\.log)"))) << szPath;
  std::vector<ParsedLine> vecLines = ReadLog(szPath);
  EXPECT_EQ(CountContaining(vecLines, "into the debug directory"), 1);
  EXPECT_EQ(CountContaining(vecLines, "Creating directory"), 0);
  EXPECT_FALSE(FileExists(m_strPath));
}

// ---------------------------------------------------------------------------
// Opening the file.

TEST_F(LogTest, AnUnwritablePathFallsBackThenFallsSilent) {
  std::filesystem::create_directories(RootPath("log/blocked.log"));
  const std::string strBlocked = RootPath("log/blocked.log");
  struct Case {
    const char* szName;
    int iKind;  // 0 new file, 1 link to a file, 2 fifo, 3 directory, 4 existing file
    bool blWritten;
  };
  const Case acase[] = {{"new file", 0, true},   {"symbolic link", 1, false}, {"fifo", 2, false},
                        {"directory", 3, false}, {"existing file", 4, true}};
  for (const Case& c : acase) {
    const std::string strFallback = RootPath(std::string("fallback-") + std::to_string(c.iKind));
    const std::string strTarget = RootPath("link-target");
    testsupport::WriteFile(strTarget, "");
    if (c.iKind == 1) std::filesystem::create_symlink(strTarget, strFallback);
    if (c.iKind == 2) {
      ASSERT_EQ(mkfifo(strFallback.c_str(), 0600), 0);
    }
    if (c.iKind == 3) std::filesystem::create_directories(strFallback);
    if (c.iKind == 4) {
      testsupport::WriteFile(strFallback, "");
      chmod(strFallback.c_str(), 0640);
    }
    COsLog::SetFallbackPath(strFallback.c_str());
    COsLog log("scandrv", strBlocked.c_str(), 1, nullptr);
    log.Message(__FILE__, __LINE__, OS_LOG_ERROR, "needs a fallback");
    log.Message(__FILE__, __LINE__, OS_LOG_ERROR, "and again");
    EXPECT_EQ(log.SetHopeless(0), c.blWritten ? 0 : 1) << c.szName;
    EXPECT_EQ(ReadFile(strTarget), "") << c.szName;
    EXPECT_TRUE(std::filesystem::is_directory(strBlocked));
    if (c.blWritten) {
      std::vector<ParsedLine> vecLines = ReadLog(strFallback);
      EXPECT_EQ(CountContaining(vecLines, "needs a fallback"), 1) << c.szName;
      EXPECT_EQ(CountContaining(vecLines, "and again"), 1) << c.szName;
      struct stat st;
      ASSERT_EQ(stat(strFallback.c_str(), &st), 0);
      // Only a file the log made gets its mode; another's keeps its own.
      EXPECT_EQ(st.st_mode & 07777, c.iKind == 0 ? 0777u : 0640u) << "ForceFileCreationMask 511";
    }
  }
}

// The log's directory is open to other users: a link made at the log's
// name (to a file, dangling, or to a fifo) is never written through nor
// has its target's mode changed; the lines go to the fallback.
TEST_F(LogTest, ALinkAtTheLogsNameIsNeverWrittenThrough) {
  const std::string strTarget = RootPath("victim");
  testsupport::WriteFile(strTarget, "victim");
  chmod(strTarget.c_str(), 0640);
  for (const std::string& strTo : {strTarget, RootPath("made-through-the-link")}) {
    std::filesystem::remove(m_strPath);
    std::filesystem::create_symlink(strTo, m_strPath);
    COsLog log("scandrv", m_strPath.c_str(), 1, nullptr);
    log.Message(__FILE__, __LINE__, OS_LOG_ERROR, "not through the link");
    EXPECT_EQ(ReadFile(strTarget), "victim") << strTo;
    EXPECT_FALSE(FileExists(RootPath("made-through-the-link"))) << strTo;
    EXPECT_EQ(CountContaining(ReadLog(m_strFallback), "not through the link"), 1) << strTo;
  }
  struct stat st;
  ASSERT_EQ(stat(strTarget.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(LogTest, NewFilesGetTheirModesWithoutTouchingTheProcessUmask) {
  mode_t modeOld = umask(077);
  {
    COsLog log("scandrv", m_strPath.c_str(), 1, nullptr);
    log.Message(__FILE__, __LINE__, OS_LOG_INFO, "first");
    struct stat st;
    ASSERT_EQ(stat(m_strPath.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u);
    // A directory that went away is made again along the path.
    std::filesystem::remove_all(RootPath("log"));
    log.Message(__FILE__, __LINE__, OS_LOG_INFO, "second");
    ASSERT_EQ(stat(m_strPath.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0777u);
    EXPECT_EQ(CountContaining(ReadLog(m_strPath), "second"), 1);
    EXPECT_FALSE(FileExists(m_strFallback));
  }
  EXPECT_EQ(umask(modeOld), 077u);
}

TEST_F(LogTest, AMissingLogDirectoryDropsLinesUntilItAppears) {
  const std::string strDir = RootPath("later");
  const std::string strPath = strDir + "/x.log";
  COsLog log("scandrv", strPath.c_str(), 1, nullptr);
  log.Message(__FILE__, __LINE__, OS_LOG_ERROR, "too early");
  EXPECT_FALSE(FileExists(strDir));
  EXPECT_FALSE(FileExists(m_strFallback));
  EXPECT_EQ(log.SetHopeless(0), 0);
  std::filesystem::create_directories(strDir);
  log.Message(__FILE__, __LINE__, OS_LOG_ERROR, "in time");
  std::vector<ParsedLine> vecLines = ReadLog(strPath);
  ASSERT_EQ(vecLines.size(), 6u);
  EXPECT_EQ(vecLines[0].strText.rfind("### (", 0), 0u);
  EXPECT_EQ(vecLines[5].strText, "in time");
  EXPECT_EQ(CountContaining(vecLines, "too early"), 0);
}

// ---------------------------------------------------------------------------
// Paths and environment.

std::string ModuleRootName() {
  std::filesystem::path pathLib = std::filesystem::canonical(SCANDRV_LIBRARY_PATH);
  return pathLib.parent_path().parent_path().filename().string();
}

TEST_F(LogTest, PathsFromVariablesAndTheLogDirectory) {
  struct Case {
    const char* szName;
    const char* szFile;
    bool blSetup;
    const char* szLogDir;
    std::string strExpected;  // a regex
  };
  const std::string strRoot = testsupport::Root();
  const std::string strModule = ModuleRootName();
  setenv("SCANDRV_TEST_EMPTY", "", 1);
  const Case acase[] = {
      {"ctor variable", "@HOME@\\logs//pmx.txt", false, nullptr, strRoot + "/logs/pmx_" + strModule + "\\.log"},
      {"ctor no extension", "@HOME@/logs/pmx", false, nullptr, strRoot + "/logs/pmx_" + strModule + "\\.log"},
      {"ctor missing variable", "@SCANDRV_TEST_NONE@/a.b/c.d", false, nullptr, "\\./a\\.b/c_" + strModule + "\\.log"},
      {"ctor empty variable", "@SCANDRV_TEST_EMPTY@/c", false, nullptr, "\\./c_" + strModule + "\\.log"},
      {"ctor plain", "/plain/x.txt", false, nullptr, "/plain/x\\.txt"},
      {"ctor one at", "@HOME/x.txt", false, nullptr, "@HOME/x\\.txt"},
      {"ctor log dir", "@HOME@/x.txt", false, "/var/logs", "/var/logs/pmx_\\d{17}\\.log"},
      {"ctor plain ignores log dir", "/plain/x.txt", false, "/var/logs", "/plain/x\\.txt"},
      {"setup variable", "@HOME@/y.txt", true, nullptr, strRoot + "/y\\.txt"},
      {"setup plain", "rel/y.txt", true, nullptr, "rel/y\\.txt"},
      {"setup log dir", "rel/y.txt", true, "/var/logs", "/var/logs/pmx_\\d{17}\\.log"},
  };
  for (const Case& c : acase) {
    if (c.szLogDir) setenv("PMX_LOGDIR", c.szLogDir, 1);
    COsLog log("scandrv", c.blSetup ? nullptr : c.szFile, 0, nullptr);
    if (c.blSetup) log.Setup(c.szFile, 0, nullptr, nullptr);
    unsetenv("PMX_LOGDIR");
    char szPath[512];
    ASSERT_EQ(log.GetLogFile(szPath, sizeof szPath), OS_STS_SUCCESS) << c.szName;
    EXPECT_TRUE(std::regex_match(std::string(szPath), std::regex(c.strExpected))) << c.szName << ": " << szPath;
  }
}

TEST_F(LogTest, AssertsGoToStandardErrorUnlessSwitchedOff) {
  struct Case {
    const char* szAssert;  // PMX_ASSERT, null when unset
    long lLevel;
    bool blStderr;
  };
  const Case acase[] = {{nullptr, 1, true}, {"1", 1, true}, {"0", 1, false}, {"00x", 1, false},
                        {"10", 1, true},    {nullptr, 0, false}};
  for (const Case& c : acase) {
    if (c.szAssert) setenv("PMX_ASSERT", c.szAssert, 1);
    COsLog log("scandrv", m_strPath.c_str(), c.lLevel, nullptr);
    unsetenv("PMX_ASSERT");
    testing::internal::CaptureStderr();
    log.Message("/src/file.cpp", 42, OS_LOG_ASSERT, "assert %d", 7);
    log.Message("/src/file.cpp", 43, OS_LOG_ERROR, "error %d", 8);
    std::string strErr = testing::internal::GetCapturedStderr();
    EXPECT_EQ(strErr, c.blStderr ? "</src/file.cpp> <42> <assert %d>\r\n" : "")
        << (c.szAssert ? c.szAssert : "unset") << " " << c.lLevel;
  }
  COsLog log("scandrv", m_strPath.c_str(), 1, nullptr);
  log.EnableAssert(false);
  testing::internal::CaptureStderr();
  log.Message("/src/file.cpp", 42, OS_LOG_ASSERT, "assert");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(LogTest, DeletingTheProcessWideLogClearsThePointer) {
  COsLog* plog = new COsLog("scandrv", m_strPath.c_str(), 1, nullptr);
  g_poslog = plog;
  COsLog logOther("other", nullptr, 0, nullptr);
  delete plog;
  EXPECT_EQ(g_poslog, nullptr);
  EXPECT_EQ(CountContaining(ReadLog(m_strPath), "delete-object"), 1);
}

// ---------------------------------------------------------------------------
// The log's own string helpers.

TEST(LogStringTest, HelpersRefuseBadArgumentsAndReportOnStandardError) {
  struct Case {
    const char* szName;
    int (*pfn)(char*, size_t, const char*);
    bool blNullBuffer;
    size_t sizetBuffer;
    const char* szStart;
    const char* szArgument;
    int iResult;
    const char* szBuffer;
    const char* szErr;
  };
  auto printf_ = [](char* b, size_t s, const char* f) { return LogSStrPrintf(b, s, f ? "%s" : nullptr, f); };
  auto catf = [](char* b, size_t s, const char* f) { return LogSStrCatf(b, s, f ? "%s" : nullptr, f); };
  auto cat = [](char* b, size_t s, const char* t) { return LogSStrCat(b, s, t); };
  const Case acase[] = {
      {"printf fits", printf_, false, 6, "", "hello", 5, "hello", ""},
      {"printf cut", printf_, false, 5, "", "hello", -1, "hell", "LogSStrPrintf failed...<%s>\n"},
      {"printf null buffer", printf_, true, 5, "", "x", -1, nullptr, "LogSStrPrintf failed..."},
      {"printf zero size", printf_, false, 0, "ab", "x", -1, "ab", "LogSStrPrintf failed..."},
      {"printf null format", printf_, false, 5, "ab", nullptr, -1, "ab", "LogSStrPrintf failed..."},
      {"catf fits", catf, false, 6, "ab", "123", 5, "ab123", ""},
      {"catf cut", catf, false, 6, "ab", "1234", -1, "ab123", "LogSStrCatf failed...<%s>\n"},
      {"catf null format", catf, false, 6, "ab", nullptr, -1, "ab", "LogSStrCatf failed..."},
      {"cat fits", cat, false, 5, "ab", "cd", 4, "abcd", ""},
      {"cat does not fit", cat, false, 5, "ab", "cde", -1, "ab", "LogSStrCat failed...<cde>\n"},
      {"cat null text", cat, false, 5, "ab", nullptr, -1, "ab", "LogSStrCat failed..."},
      {"cat null buffer", cat, true, 5, "", "x", -1, nullptr, "LogSStrCat failed..."},
  };
  for (const Case& c : acase) {
    char szBuffer[16];
    std::strcpy(szBuffer, c.szStart);
    testing::internal::CaptureStderr();
    int iResult = c.pfn(c.blNullBuffer ? nullptr : szBuffer, c.sizetBuffer, c.szArgument);
    std::string strErr = testing::internal::GetCapturedStderr();
    EXPECT_EQ(iResult, c.iResult) << c.szName;
    if (c.szBuffer) {
      EXPECT_STREQ(szBuffer, c.szBuffer) << c.szName;
    }
    if (!*c.szErr) {
      EXPECT_EQ(strErr, "") << c.szName;
    } else {
      EXPECT_EQ(strErr.rfind(c.szErr, 0), 0u) << c.szName << ": " << strErr;
    }
  }
}

}  // namespace
