// The data entry's task processor on the test's data directory: mixed tasks
// from four threads (each reply read under the front end's own lock, as the
// exported entry copies it) beside a driver's device data writing the same
// files, the log archive restored, and the persistent
// debug settings of a caller directory.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dev_cdevdata.h"
#include "dev_cdevdataxml.h"
#include "dev_devdata_fixture.h"
#include "os_cosfile.h"
#include "test_support.h"

namespace {

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::RootPath;

std::string Leaf(const std::string& a_strName, const std::string& a_strValue) {
  return "<" + a_strName + ">" + a_strValue + "</" + a_strName + ">";
}

std::string Task(int a_iId, const std::string& a_strCommand, const std::string& a_strBody) {
  char szHead[96];
  std::snprintf(szHead, sizeof szHead, "<task id='%020d' reply='%020d' bytes='%020d'>\n", a_iId, 0, 0);
  return szHead + Leaf(a_strCommand, a_strBody) + "\n</task>\n";
}

void WriteFileMade(const std::string& a_strPath, const std::string& a_strText) {
  std::filesystem::create_directories(std::filesystem::path(a_strPath).parent_path());
  testsupport::WriteFile(a_strPath, a_strText);
}

std::string Status(const std::string& a_strReply) {
  const size_t sizetStart = a_strReply.find("<status>");
  const size_t sizetEnd = a_strReply.find("</status>");
  if (sizetStart == std::string::npos || sizetEnd == std::string::npos) return "";
  return a_strReply.substr(sizetStart + 8, sizetEnd - sizetStart - 8);
}

class DevDataEntry : public devtest::DataFilesFixture {
 protected:
  // One task; the reply copied while no other thread can call.
  std::string Run(CDevData* a_pdevdata, const std::string& a_strTask, bool* a_pblClose = nullptr) {
    std::lock_guard<std::mutex> lock(m_mutexFront);
    const char* szReply = nullptr;
    const bool blClose = a_pdevdata->DataEntry(a_strTask.c_str(), &szReply);
    if (a_pblClose) *a_pblClose = blClose;
    return szReply ? szReply : "";
  }
  void SetConfigured(unsigned a_uTag, const std::string& a_str) {
    m_dequestr.push_back(a_str);
    ASSERT_EQ(m_pcfg->Set(OS_CFGSECTION_MAIN, a_uTag, m_dequestr.back().c_str()), OS_STS_SUCCESS);
  }

  std::mutex m_mutexFront;
};

// Four threads of 100 mixed tasks: every reply is whole and carries its own
// task's id; the counters all threads set land whole.
TEST_F(DevDataEntry, FourThreadsOfMixedTasksEachGetTheirOwnReply) {
  CDevData devdata;
  ASSERT_EQ(Status(Run(&devdata, Task(1, "interfaceopen", ""))), "success");
  WriteFileMade(RootPath("tree/a/none.txt"), "x");
  std::mutex mutexFaults;
  std::vector<std::string> vecstrFaults;
  const auto Thread = [&](int a_iThread) {
    for (int i = 0; i < 100; ++i) {
      const int iId = 1000 * (a_iThread + 1) + i;
      std::string strCommand = "export";
      std::string strBody;
      std::string strExpected = "success";
      switch (i % 5) {
        case 0:
          strBody = Leaf("id", "devicelist") + Leaf("filename", RootPath("list" + std::to_string(a_iThread)));
          break;
        case 1:
          strCommand = "setaccumulators";
          strBody = Leaf("serialnumber", "SN" + std::to_string(a_iThread)) +
                    Leaf("accumulators", Leaf("paperjamcount", std::to_string(i)));
          break;
        case 2:
          strBody = Leaf("id", "historytoxml") + Leaf("source", RootPath("tree"));
          break;
        case 3:
          strBody = Leaf("id", "nothing");
          strExpected = "fail";
          break;
        default:
          strCommand = "interfaceopen";
          strExpected = "invalidstate";
      }
      bool blClose = true;
      const std::string strReply = Run(&devdata, Task(iId, strCommand, strBody), &blClose);
      char szReplyId[40];
      std::snprintf(szReplyId, sizeof szReplyId, "reply='%020d'", iId);
      if (strReply.find(szReplyId) == std::string::npos || Status(strReply) != strExpected || blClose ||
          strReply.size() < 8 || strReply.compare(strReply.size() - 8, 8, "</task>\n") != 0) {
        std::lock_guard<std::mutex> lock(mutexFaults);
        vecstrFaults.push_back(strCommand + " " + std::to_string(iId) + ": " + strReply.substr(0, 300));
      }
    }
  };
  std::vector<std::thread> vecthread;
  for (int i = 0; i < 4; ++i) vecthread.emplace_back(Thread, i);
  // A driver's device data beside them, counting multifeeds into the same
  // directory under its own data lock.
  CDevData devdataDriver;
  std::atomic<int> iAdded{0};
  vecthread.emplace_back([&] {
    for (int i = 0; i < 100; ++i) {
      if (devdataDriver.GetDevDataXml()->SetAccumulators(DEV_FIRMWARE_NONE, nullptr, true, "SN0", true, true, 1,
                                                         false, 0, false, 0) == OS_STS_SUCCESS) {
        ++iAdded;
      }
    }
  });
  for (std::thread& thread : vecthread) thread.join();
  EXPECT_EQ(iAdded.load(), 100);
  ASSERT_TRUE(vecstrFaults.empty()) << vecstrFaults.size() << " faults, first: " << vecstrFaults.front() << m_plog->Text();
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(devtest::AccumulatorsRead(devtest::ScannerFile("SN" + std::to_string(i), "accumulators.xml")),
              i == 0 ? "100 96 0" : "0 96 0");
  }
  bool blClose = false;
  EXPECT_EQ(Status(Run(&devdata, Task(2, "interfaceclose", ""), &blClose)), "success");
  EXPECT_TRUE(blClose);
}

// The archive of the model's folder holds the caller's text in the newest
// caller log folder; the reply gives the archive's size.
TEST_F(DevDataEntry, TheLogArchiveHoldsTheText) {
  SetConfigured(OS_CFGTAG_HOMEDIRECTORY, RootPath("opt/kv/lib"));
  WriteFileMade(RootPath("var/kv/twain/log.20260101000000000/twain.log"), "logged");
  CDevData devdata;
  ASSERT_EQ(Status(Run(&devdata, Task(1, "interfaceopen", ""))), "success");
  const std::string strArchive = RootPath("eklog.pkg");
  const std::string strReply = Run(
      &devdata, Task(2, "export", Leaf("id", "eklog") + Leaf("filename", strArchive) + Leaf("text", "the jam")));
  ASSERT_EQ(Status(strReply), "success") << strReply << m_plog->Text();
  EXPECT_NE(strReply.find("<size>" + std::to_string(ReadFile(strArchive).size()) + "</size>"), std::string::npos)
      << strReply;
  const std::string strRestored = RootPath("restored");
  testsupport::RunProgram({"mkdir", "-p", strRestored});
  ASSERT_EQ(COsFile::Unpackage(strRestored.c_str(), strArchive.c_str(), false, nullptr, false), OS_STS_SUCCESS);
  const std::string strFound = testsupport::RunProgram({"find", strRestored, "-name", "text.log"});
  EXPECT_EQ(ReadFile(RootPath("var/kv/twain/log.20260101000000000/text.log")), "the jam");
  const std::vector<std::string> vecstr = testsupport::Lines(strFound);
  ASSERT_EQ(vecstr.size(), 1u) << strFound;
  EXPECT_EQ(ReadFile(vecstr.front()), "the jam");
}

// A caller directory of the model receives the debug settings and its own
// force entries; one that does not exist is refused and nothing is written.
TEST_F(DevDataEntry, DebugSettingsReachTheCallerDirectories) {
  SetConfigured(OS_CFGTAG_CONST_INI, RootPath("var/kv/driver/const.ini"));
  WriteFileMade(RootPath("var/kv/driver/const.ini"), "");
  WriteFileMade(RootPath("var/kv/twain/const.ini"), "[dsidentity]\ndebug=0\n");
  const std::string strDebug =
      Leaf("persistent", "true") + Leaf("logging", "off") + Leaf("logginglevel", "7") +
      Leaf("imagesfromscanner", "true") + Leaf("imagestoapp", "off") +
      Leaf("force", Leaf("dll", "twain") + Leaf("section", "Trace") + Leaf("tag", "Level") + Leaf("text", "3"));
  {
    CDevData devdata;
    bool blClose = true;
    ASSERT_EQ(Status(Run(&devdata, Task(1, "interfaceopen", Leaf("debug", strDebug)), &blClose)), "success") << RootPath("var")
        << m_plog->Text();
    EXPECT_FALSE(blClose);
  }
  const std::string strTwain = ReadFile(RootPath("var/kv/twain/const.ini"));
  for (const char* sz : {"debug=0", "devsave=true", "appsave=false", "Level=3"})
    EXPECT_NE(strTwain.find(sz), std::string::npos) << sz << "\n" << strTwain;
  EXPECT_NE(ReadFile(RootPath("var/kv/driver/const.ini")).find("devsave=true"), std::string::npos);
  EXPECT_FALSE(FileExists(RootPath("var/kv/wia/const.ini")));
  const std::string strWia =
      Leaf("persistent", "true") +
      Leaf("force", Leaf("dll", "wia") + Leaf("section", "Trace") + Leaf("tag", "Level") + Leaf("text", "3"));
  CDevData devdata;
  bool blClose = false;
  EXPECT_EQ(Status(Run(&devdata, Task(2, "interfaceopen", Leaf("debug", strWia)), &blClose)), "fail");
  EXPECT_TRUE(blClose);
  EXPECT_EQ(ReadFile(RootPath("var/kv/twain/const.ini")), strTwain);
  EXPECT_FALSE(FileExists(RootPath("var/kv/wia")));
}

// Two front ends converting histories of the same names into one
// destination at once: each history gets a number of its own, none is
// written over another's.
TEST_F(DevDataEntry, HistoriesOfTwoExportsIntoOneDestinationAllStay) {
  constexpr int s_iHistories = 40;
  for (int iSource = 0; iSource < 2; ++iSource) {
    for (int i = 0; i < s_iHistories; ++i) {
      WriteFileMade(RootPath("src" + std::to_string(iSource) + "/h" + std::to_string(i) + ".hst"), "");
    }
  }
  const std::string strDestination = RootPath("converted");
  std::vector<std::string> vecstrReply(2);
  std::vector<std::thread> vecthread;
  for (int iSource = 0; iSource < 2; ++iSource) {
    vecthread.emplace_back([&, iSource] {
      CDevData devdata;
      const char* szReply = nullptr;
      devdata.DataEntry(Task(1, "interfaceopen", "").c_str(), &szReply);
      devdata.DataEntry(Task(2, "export",
                             Leaf("id", "historytoxml") + Leaf("source", RootPath("src" + std::to_string(iSource))) +
                                 Leaf("destination", strDestination))
                            .c_str(),
                        &szReply);
      vecstrReply[iSource] = szReply ? szReply : "";
    });
  }
  for (std::thread& thread : vecthread) thread.join();
  for (const std::string& strReply : vecstrReply) EXPECT_EQ(Status(strReply), "success") << strReply;
  size_t sizetXml = 0;
  for (const auto& entry : std::filesystem::directory_iterator(strDestination)) {
    if (entry.path().extension() == ".xml") ++sizetXml;
  }
  EXPECT_EQ(sizetXml, 2u * s_iHistories) << m_plog->Text();
}

}  // namespace
