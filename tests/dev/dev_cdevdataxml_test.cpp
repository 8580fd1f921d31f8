// The device data's shared files without a scanner: the accumulators as
// the data entry sets them (by serial number), the data lock between
// threads, objects and processes, writers killed mid-save, and the bounded
// text device.xml is built in.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "dev_cdevdatatext.h"
#include "dev_cdevdataxml.h"
#include "dev_devdata_fixture.h"
#include "dev_waits.h"
#include "os_cosfile.h"
#include "os_cosmem.h"

namespace {

using devtest::AccumulatorsRead;
using devtest::AccumulatorsText;
using devtest::ScannerFile;
using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::WriteFile;

class DevDataXml : public devtest::DataFilesFixture {
 protected:
  // Set mode, every counter flagged.
  static EOSSTS Set(CDevDataXml& a_devdataxml, const char* a_szSerial, unsigned a_uM, unsigned a_uP, unsigned a_uO) {
    return a_devdataxml.SetAccumulators(DEV_FIRMWARE_NONE, nullptr, true, a_szSerial, false, true, a_uM, true, a_uP,
                                        true, a_uO);
  }
  static EOSSTS AddMultifeed(CDevDataXml& a_devdataxml, const char* a_szSerial) {
    return a_devdataxml.SetAccumulators(DEV_FIRMWARE_NONE, nullptr, true, a_szSerial, true, true, 1, false, 0, false,
                                        0);
  }
  static std::chrono::milliseconds Since(std::chrono::steady_clock::time_point a_timepoint) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - a_timepoint);
  }
};

TEST_F(DevDataXml, PathsFollowTheConfiguration) {
  CDevDataXml devdataxml;
  ASSERT_TRUE(devdataxml.IsValid());
  EXPECT_EQ(std::string(devdataxml.GetModelDirectory()), testsupport::RootPath("var/kv"));
  EXPECT_EQ(std::string(devdataxml.GetDataDirectory()), devtest::DataDirectory());
  EXPECT_TRUE(COsFile::IsRealDirectory(devtest::DataDirectory().c_str()));
  ASSERT_NE(devdataxml.GetOsXmlTask(), nullptr);
}

// Add and set mode, each counter alone, on a missing file and on one with
// counts: the flagged counter changes, the others are kept.
TEST_F(DevDataXml, SetAccumulatorsByModeFlagAndFile) {
  CDevDataXml devdataxml;
  std::vector<std::string> vecstrPath;
  std::vector<std::string> vecstrExpected;
  std::vector<std::string> vecstrCase;
  int iCase = 0;
  for (bool blAdd : {true, false}) {
    for (int iFlag = 0; iFlag < 3; ++iFlag) {
      for (bool blFile : {false, true}) {
        const std::string strSerial = "S" + std::to_string(iCase++);
        unsigned au[3] = {0, 0, 0};
        if (blFile) {
          ASSERT_EQ(Set(devdataxml, strSerial.c_str(), 5, 6, 7), OS_STS_SUCCESS);
          au[0] = 5, au[1] = 6, au[2] = 7;
        }
        au[iFlag] = blAdd ? au[iFlag] + 3 : 3;
        ASSERT_EQ(devdataxml.SetAccumulators(DEV_FIRMWARE_NONE, nullptr, true, strSerial.c_str(), blAdd, iFlag == 0,
                                             3, iFlag == 1, 3, iFlag == 2, 3),
                  OS_STS_SUCCESS)
            << strSerial;
        vecstrPath.push_back(ScannerFile(strSerial, "accumulators.xml"));
        vecstrExpected.push_back(std::to_string(au[0]) + " " + std::to_string(au[1]) + " " + std::to_string(au[2]));
        vecstrCase.push_back(std::string(blAdd ? "add" : "set") + " flag " + std::to_string(iFlag) +
                             (blFile ? " on a file" : " without a file"));
      }
    }
  }
  const std::vector<std::string> vecstrRead = AccumulatorsRead(vecstrPath);
  for (size_t i = 0; i < vecstrPath.size(); ++i) EXPECT_EQ(vecstrRead[i], vecstrExpected[i]) << vecstrCase[i];
  // Nothing flagged, or nothing to add: no file at all.
  EXPECT_EQ(devdataxml.SetAccumulators(DEV_FIRMWARE_NONE, nullptr, true, "NONE", false, false, 1, false, 1, false, 1),
            OS_STS_SUCCESS);
  EXPECT_EQ(devdataxml.SetAccumulators(DEV_FIRMWARE_NONE, nullptr, true, "NONE", true, true, 0, true, 0, false, 9),
            OS_STS_SUCCESS);
  EXPECT_FALSE(FileExists(ScannerFile("NONE", "accumulators.xml")));
  // A sum beyond 32 bits stays at the largest count.
  ASSERT_EQ(Set(devdataxml, "BIG", 4294967290u, 0, 0), OS_STS_SUCCESS);
  ASSERT_EQ(devdataxml.SetAccumulators(DEV_FIRMWARE_NONE, nullptr, true, "BIG", true, true, 100, false, 0, false, 0),
            OS_STS_SUCCESS);
  EXPECT_EQ(ReadFile(ScannerFile("BIG", "accumulators.xml")), AccumulatorsText(4294967295u, 0, 0));
}

// Whatever stands in the file, a counter that cannot be read counts 0 (each
// logged) and the next write is whole.
TEST_F(DevDataXml, UnreadableCountersCountZeroAndTheNextWriteIsWhole) {
  CDevDataXml devdataxml;
  const std::string strNoise = [] {
    std::mt19937 rng(85);
    std::string str(1 << 20, '\0');
    for (char& c : str) c = static_cast<char>(rng());
    return str;
  }();
  const struct {
    const char* szName;
    std::string strContents;
  } acase[] = {
      {"empty", ""},
      {"truncated", AccumulatorsText(12, 13, 14).substr(0, 40)},
      {"noise", strNoise},
      {"letters", "<accumulators><multifeedcount>abc</multifeedcount><paperjamcount>abc</paperjamcount>"
                  "<othererrorcount>abc</othererrorcount></accumulators>"},
      {"negative", AccumulatorsText(0, 0, 0).replace(AccumulatorsText(0, 0, 0).find(">0<"), 3, ">-5<")},
      {"too large", "<accumulators><multifeedcount>99999999999</multifeedcount><paperjamcount>99999999999"
                    "</paperjamcount><othererrorcount>99999999999</othererrorcount></accumulators>"},
  };
  for (const auto& testcase : acase) {
    const std::string strSerial = std::string(testcase.szName).replace(0, 0, "X").substr(0, 12);
    const std::string strDirectory = devtest::DataDirectory() + "/" + strSerial;
    std::filesystem::create_directories(strDirectory);
    WriteFile(strDirectory + "/accumulators.xml", testcase.strContents);
    const size_t sizetLogged = m_plog->Count("counted as 0");
    ASSERT_EQ(AddMultifeed(devdataxml, strSerial.c_str()), OS_STS_SUCCESS) << testcase.szName;
    EXPECT_EQ(ReadFile(strDirectory + "/accumulators.xml"), AccumulatorsText(1, 0, 0)) << testcase.szName;
    EXPECT_GT(m_plog->Count("counted as 0"), sizetLogged) << testcase.szName;
  }
  EXPECT_EQ(AccumulatorsRead(ScannerFile("Xnoise", "accumulators.xml")), "1 0 0");
}

// A serial number becomes a directory name: one that cannot be is refused
// and nothing is written anywhere.
TEST_F(DevDataXml, SerialNumbersThatCannotNameADirectoryAreRefused) {
  CDevDataXml devdataxml;
  const std::vector<std::string> vecstrBefore = devtest::Tree(testsupport::Root());
  for (const char* szSerial : {"", ".", "..", "../x", "a/b", "/abs", "a\001b", "tab\there"}) {
    EXPECT_EQ(AddMultifeed(devdataxml, szSerial), OS_STS_BAD_ARGUMENT) << szSerial;
  }
  EXPECT_EQ(AddMultifeed(devdataxml, nullptr), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(m_plog->Count("Bad serial number..."), 9u);
  std::vector<std::string> vecstrAfter = devtest::Tree(testsupport::Root());
  std::erase_if(vecstrAfter, [](const std::string& a_str) { return a_str.rfind("log", 0) == 0; });
  std::vector<std::string> vecstrExpected = vecstrBefore;
  std::erase_if(vecstrExpected, [](const std::string& a_str) { return a_str.rfind("log", 0) == 0; });
  EXPECT_EQ(vecstrAfter, vecstrExpected);
  // A name with dots inside is a plain name.
  EXPECT_EQ(AddMultifeed(devdataxml, "a..b"), OS_STS_SUCCESS);
}

// A planted link at the scanner's directory is not followed.
TEST_F(DevDataXml, ALinkedScannerDirectoryIsNotWrittenThrough) {
  CDevDataXml devdataxml;
  std::filesystem::create_directories(testsupport::RootPath("elsewhere"));
  std::filesystem::create_directory_symlink(testsupport::RootPath("elsewhere"), devtest::DataDirectory() + "/LINK");
  EXPECT_EQ(AddMultifeed(devdataxml, "LINK"), OS_STS_FAIL);
  EXPECT_TRUE(devtest::Tree(testsupport::RootPath("elsewhere")).empty());
  // A planted link at "data.lock" is refused, not followed.
  WriteFile(testsupport::RootPath("victim"), "keep");
  std::filesystem::create_symlink(testsupport::RootPath("victim"), devtest::DataDirectory() + "/data.lock");
  EXPECT_FALSE(devdataxml.DataLock());
  EXPECT_EQ(ReadFile(testsupport::RootPath("victim")), "keep");
}

// What a writer stopped mid-save left is removed by the next writer; other
// names stay.
TEST_F(DevDataXml, TemporariesOfAStoppedWriterAreRemovedByTheNext) {
  CDevDataXml devdataxml;
  ASSERT_EQ(Set(devdataxml, "T", 1, 2, 3), OS_STS_SUCCESS);
  for (const char* szName : {"accumulators.xml.tmpAb12Cd", "accumulators.xml.tmp", "accumulators.xml.tmpAb12Cd.x",
                             "device.xml.tmpAb12Cd"}) {
    WriteFile(ScannerFile("T", szName), "partial");
  }
  ASSERT_EQ(AddMultifeed(devdataxml, "T"), OS_STS_SUCCESS);
  EXPECT_EQ(devtest::Tree(devtest::DataDirectory() + "/T"),
            (std::vector<std::string>{"accumulators.xml", "accumulators.xml.tmp", "accumulators.xml.tmpAb12Cd.x",
                                      "device.xml.tmpAb12Cd"}));
  EXPECT_EQ(AccumulatorsRead(ScannerFile("T", "accumulators.xml")), "2 2 3");
}

// The owning thread enters again and is counted; another thread waits for
// the last release; a second object of the process is refused like another
// process; force releases every level; a thread that holds nothing
// releases nothing.
TEST_F(DevDataXml, TheDataLockBetweenThreadsAndObjects) {
  DevSetWaitLimit(DEV_WAIT_DATALOCK, 300);
  CDevDataXml devdataxml;
  CDevDataXml devdataxmlOther;
  ASSERT_TRUE(devdataxml.DataLock());
  ASSERT_TRUE(devdataxml.DataLock());
  EXPECT_FALSE(devdataxmlOther.DataLock());
  bool blOtherThread = true;
  std::thread([&] {
    blOtherThread = devdataxml.DataLock();
    devdataxml.DataUnlock(true);  // holds nothing: changes nothing
  }).join();
  EXPECT_FALSE(blOtherThread);
  devdataxml.DataUnlock(false);
  EXPECT_FALSE(devdataxmlOther.DataLock());
  // The other thread waits for the release, well within its limit.
  DevSetWaitLimit(DEV_WAIT_DATALOCK, 10000);
  std::atomic<bool> blTaken{false};
  std::thread thread([&] {
    blTaken = devdataxml.DataLock();
    devdataxml.DataUnlock(false);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(blTaken.load());
  devdataxml.DataUnlock(false);
  thread.join();
  EXPECT_TRUE(blTaken.load());
  // Three levels go at once with force.
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(devdataxml.DataLock());
  devdataxml.DataUnlock(true);
  ASSERT_TRUE(devdataxmlOther.DataLock());
  devdataxmlOther.DataUnlock(false);
  // An object going away gives up what its thread still holds.
  {
    CDevDataXml devdataxmlGone;
    ASSERT_TRUE(devdataxmlGone.DataLock());
    ASSERT_TRUE(devdataxmlGone.DataLock());
  }
  EXPECT_TRUE(devdataxmlOther.DataLock());
  devdataxmlOther.DataUnlock(false);
}

// "data.lock" held by another process: the write gives up after the wait,
// logged, and no file changes. The full wait once.
TEST_F(DevDataXml, ADataLockHeldElsewhereChangesNoFileAfterTheFullWait) {
  CDevDataXml devdataxml;
  ASSERT_EQ(Set(devdataxml, "HELD", 1, 2, 3), OS_STS_SUCCESS);
  const std::string strBefore = ReadFile(ScannerFile("HELD", "accumulators.xml"));
  devtest::LockHolder lockholder(devtest::DataDirectory() + "/data.lock");
  ASSERT_TRUE(lockholder.Holding());
  const auto timepoint = std::chrono::steady_clock::now();
  EXPECT_EQ(AddMultifeed(devdataxml, "HELD"), OS_STS_FAIL);
  EXPECT_GE(Since(timepoint).count(), 9900);
  EXPECT_TRUE(m_plog->Contains("DataLock failed..."));
  EXPECT_EQ(ReadFile(ScannerFile("HELD", "accumulators.xml")), strBefore);
  EXPECT_EQ(devtest::Tree(devtest::DataDirectory() + "/HELD"), std::vector<std::string>{"accumulators.xml"});
}

// A lock file that cannot be made is not waited for.
TEST_F(DevDataXml, ADataDirectoryThatCannotBeMadeFailsAtOnce) {
  WriteFile(testsupport::RootPath("file"), "a file where the tree should be");
  m_dequestr.push_back(testsupport::RootPath("file"));
  ASSERT_EQ(m_pcfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_ROOTPATH, m_dequestr.back().c_str()), OS_STS_SUCCESS);
  CDevDataXml devdataxml;
  EXPECT_TRUE(m_plog->Contains("the data directory could not be made"));
  const auto timepoint = std::chrono::steady_clock::now();
  EXPECT_FALSE(devdataxml.DataLock());
  EXPECT_EQ(AddMultifeed(devdataxml, "S"), OS_STS_FAIL);
  EXPECT_LT(Since(timepoint).count(), 5000);
}

// A writer killed at random moments: the file always holds the counts
// written whole, the last reported or one more, and the kernel gave its
// lock back for the next process.
TEST_F(DevDataXml, AWriterKilledAtAnyMomentLeavesWholeCounters) {
  CDevDataXml devdataxml;
  const std::string strFile = ScannerFile("KILL", "accumulators.xml");
  std::mt19937 rng(1085);
  unsigned uCount = 0;
  const auto timepointStart = std::chrono::steady_clock::now();
  for (int iRound = 0; iRound < 20; ++iRound) {
    int aiPipe[2];
    ASSERT_EQ(pipe(aiPipe), 0);
    const pid_t pid = fork();
    if (pid == 0) {
      close(aiPipe[0]);
      CDevDataXml devdataxmlChild;
      for (;;) {
        const char c = AddMultifeed(devdataxmlChild, "KILL") == OS_STS_SUCCESS ? 1 : 0;
        if (write(aiPipe[1], &c, 1) != 1) _exit(2);
      }
    }
    close(aiPipe[1]);
    // Killed somewhere in the loop, once it runs.
    unsigned uReported = 0;
    char ac[256];
    ASSERT_EQ(read(aiPipe[0], ac, 1), 1);
    ASSERT_EQ(ac[0], 1);
    ++uReported;
    std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 20000)(rng)));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    for (ssize_t ssizet; (ssizet = read(aiPipe[0], ac, sizeof ac)) > 0;) {
      for (ssize_t i = 0; i < ssizet; ++i) {
        ASSERT_EQ(ac[i], 1) << "round " << iRound;
        ++uReported;
      }
    }
    close(aiPipe[0]);
    const std::string strNow = ReadFile(strFile);
    const bool blAsReported = strNow == AccumulatorsText(uCount + uReported, 0, 0);
    const bool blOneMore = strNow == AccumulatorsText(uCount + uReported + 1, 0, 0);
    ASSERT_TRUE(blAsReported || blOneMore) << "round " << iRound << ": " << uCount << " + " << uReported << "\n"
                                           << strNow;
    uCount += uReported + (blOneMore ? 1 : 0);
    const pid_t pidFresh = fork();
    if (pidFresh == 0) {
      DevSetWaitLimit(DEV_WAIT_DATALOCK, 200);
      CDevDataXml devdataxmlFresh;
      _exit(devdataxmlFresh.DataLock() ? 0 : 1);
    }
    int iStatus = -1;
    waitpid(pidFresh, &iStatus, 0);
    ASSERT_TRUE(WIFEXITED(iStatus) && WEXITSTATUS(iStatus) == 0) << "round " << iRound;
  }
  EXPECT_LT(Since(timepointStart).count(), 60000);
  EXPECT_EQ(AccumulatorsRead(strFile), std::to_string(uCount) + " 0 0");
  // The next writer leaves nothing of the killed ones.
  ASSERT_EQ(AddMultifeed(devdataxml, "KILL"), OS_STS_SUCCESS);
  EXPECT_EQ(devtest::Tree(devtest::DataDirectory() + "/KILL"), std::vector<std::string>{"accumulators.xml"});
}

// A piece goes in whole or not at all, always leaving room for the closing
// piece; element texts are escaped.
TEST(DevDataText, PiecesGoInWholeOrNotAtAll) {
  testsupport::LogCapture log;
  CDevDataText text(40, 8);
  ASSERT_TRUE(text.IsValid());
  EXPECT_TRUE(text.Append("<d>\n"));
  EXPECT_TRUE(text.AppendElement("m", "a<b&c>"));
  const std::string strBig(30, 'x');
  const char* apsz[] = {"\t<r>", strBig.c_str(), "</r>\n"};
  EXPECT_FALSE(text.Append("r", apsz, 3));
  EXPECT_TRUE(log.Contains("left out...<r>"));
  EXPECT_TRUE(text.AppendClosing("</d>"));
  EXPECT_EQ(std::string(text.Text()), "<d>\n\t<m>a&lt;b&amp;c&gt;</m>\n</d>");
  EXPECT_EQ(text.Length(), std::string(text.Text()).size());
  const struct {
    const char* szText;
    size_t sizetRoom;
    const char* szExpected;  // null: does not fit
  } acase[] = {
      {"plain", 16, "plain"}, {"&", 6, "&amp;"}, {"&", 5, nullptr}, {"<>", 9, "&lt;&gt;"}, {"", 1, ""},
  };
  for (const auto& testcase : acase) {
    char sz[16] = "?";
    const bool blFits = CDevDataText::Escape(sz, testcase.sizetRoom, testcase.szText);
    EXPECT_EQ(blFits, testcase.szExpected != nullptr) << testcase.szText;
    EXPECT_STREQ(sz, testcase.szExpected ? testcase.szExpected : "") << testcase.szText;
  }
  OsMemSetAllocFault(64);
  CDevDataText textFailed(64, 0);
  OsMemSetAllocFault(0);
  EXPECT_FALSE(textFailed.IsValid());
  EXPECT_FALSE(textFailed.Append("x"));
  EXPECT_TRUE(log.Contains("OsMemAlloc failed..."));
}

}  // namespace
