// The exported driver entry called from several front-end threads at once,
// as a front end with a scanning thread and a settings thread does: every
// reply is the calling thread's own, whole (its byte count its length, well
// formed) and answers its own task; the scanning thread gets every image of
// every batch. The session runs on the staged stand-ins inside the test's
// root (an override ini names it the root).
//
// The run lasts kRunSeconds; SCANDRV_ENTRY_THREADS_SECONDS asks for a longer
// one by hand, e.g. 20 under the ThreadSanitizer build:
//   SCANDRV_ENTRY_THREADS_SECONDS=20 build-tsan/tests/test_drv --gtest_filter='DriverEntryThread.*'
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "driverentry.h"
#include "os_coscfg.h"
#include "os_cosxml.h"
#include "test_support.h"

namespace {

constexpr int kRunSeconds = 3;
constexpr int kThreads = 8;
constexpr int kSheets = 4;  // duplex: two images a sheet

int RunSeconds() {
  const char* szSeconds = std::getenv("SCANDRV_ENTRY_THREADS_SECONDS");
  const int iSeconds = szSeconds ? std::atoi(szSeconds) : 0;
  return iSeconds > 0 ? iSeconds : kRunSeconds;
}

// The stand-in units where a library driven through tasks looks for them
// (<root>/opt/scandrv/driver/lib), and the override ini naming the root.
void StageRoot() {
  namespace fs = std::filesystem;
  const fs::path pathUnits = testsupport::RootPath("opt/scandrv/driver/lib");
  fs::create_directories(pathUnits);
  for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(SCANDRV_STAGE_MODELS) / "kv" / "lib")) {
    const std::string strName = entry.path().filename().string();
    if (strName.size() > 4 && strName.compare(strName.size() - 4, 4, ".ini") == 0) continue;
    if (strName == "libscandrv.so") continue;
    fs::copy(entry.path(), pathUnits / strName, fs::copy_options::recursive);
  }
  testsupport::WriteFile(testsupport::RootPath("override.ini"), "[main]\nroot=" + testsupport::Root() + "\n");
  setenv("PMX_OVERRIDEINI", testsupport::RootPath("override.ini").c_str(), 1);
  // The image library in process.
  fs::create_directories(testsupport::RootPath("var/scandrv/driver/driver"));
  testsupport::WriteFile(testsupport::RootPath("var/scandrv/driver/driver/const.ini"),
                         "[dsIdentity]\nForceNexilCall=1\n");
  fs::create_directories(testsupport::RootPath("images"));
}

std::string TaskText(int a_iId, const std::string& a_strCommand, const std::string& a_strBody) {
  const std::string strInner = "\t<" + a_strCommand + ">" + a_strBody + "</" + a_strCommand + ">\n";
  char szHead[128];
  std::snprintf(szHead, sizeof szHead, "<task id='%020d' reply='%020d' bytes='%020zu'>\n", a_iId, 0,
                91 + strInner.size() + 8);
  return szHead + strInner + "</task>\n";
}

std::string Leaf(const std::string& a_strName, const std::string& a_strValue) {
  return "<" + a_strName + ">" + a_strValue + "</" + a_strName + ">";
}

std::string Element(const std::string& a_strText, const std::string& a_strName) {
  const size_t sizetStart = a_strText.find("<" + a_strName + ">");
  if (sizetStart == std::string::npos) return "";
  const size_t sizetValue = sizetStart + a_strName.size() + 2;
  const size_t sizetEnd = a_strText.find("</" + a_strName + ">", sizetValue);
  return sizetEnd == std::string::npos ? "" : a_strText.substr(sizetValue, sizetEnd - sizetValue);
}

// What the threads found wrong, the first few of it kept for the report.
class Faults {
 public:
  void Add(const std::string& a_strWhat) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_vecstr.size() < 10) m_vecstr.push_back(a_strWhat.substr(0, 400));
    ++m_iCount;
  }
  int Count() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_iCount;
  }
  std::string Text() {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string str;
    for (const std::string& strOne : m_vecstr) str += strOne + "\n----\n";
    return str;
  }

 private:
  std::mutex m_mutex;
  std::vector<std::string> m_vecstr;
  int m_iCount = 0;
};

std::atomic<int> g_iNextId{0};
std::atomic<long> g_lTasks{0};

// One task through the exported entry; the reply is read at once, as a
// front end reads it, and checked: the 91-character task line, the reply id
// (or the id) of this task, the byte count of the whole text, well formed. Its status
// word, or "" when it was not a sound reply. The reader used for the check
// runs on the library's service layer: a reply that may come after another
// thread stopped it is not parsed.
std::string Send(Faults* a_pfaults, const std::string& a_strCommand, const std::string& a_strBody,
                 std::string* a_pstrReply = nullptr, bool a_blParse = true) {
  const int iId = ++g_iNextId;
  const std::string strTask = TaskText(iId, a_strCommand, a_strBody);
  const char* szReply = DriverEntry(strTask.c_str());
  ++g_lTasks;
  const std::string strReply = szReply ? szReply : "";
  static const std::regex s_regexLine(R"(<task id='(\d{20})' reply='(\d{20})' bytes='(\d{20})'>\n)");
  std::smatch match;
  const std::string strLine = strReply.substr(0, 91);
  // The event list answers with the task's own id and reply properties,
  // every other task with the task's id as the reply id.
  const bool blEventList = a_strBody == Leaf("id", "eventlist");
  bool blSound = std::regex_match(strLine, match, s_regexLine) && std::stol(match[blEventList ? 1 : 2]) == iId &&
                 std::stoull(match[3]) == strReply.size() && strReply.size() >= 99 &&
                 strReply.compare(strReply.size() - 8, 8, "</task>\n") == 0;
  if (blSound && a_blParse) {
    COsXml osxml;
    blSound = osxml.DocumentLoad(strReply.c_str(), static_cast<long>(strReply.size())) == OS_STS_SUCCESS;
    osxml.DocumentFree();
  }
  if (!blSound) {
    a_pfaults->Add(a_strCommand + " " + std::to_string(iId) + ":\n" + strReply);
    return "";
  }
  if (a_pstrReply) *a_pstrReply = strReply;
  return Element(strReply, "status");
}

// Batches until the time is up: each must end with every image of its
// sheets, each image a file of its imagesize bytes.
void Scan(Faults* a_pfaults, std::chrono::steady_clock::time_point a_timepointEnd, int* a_piBatches) {
  while (std::chrono::steady_clock::now() < a_timepointEnd) {
    if (Send(a_pfaults, "scanbegin", "") != "success") {
      a_pfaults->Add("scanbegin refused");
      return;
    }
    int iImages = 0;
    std::string strStatus;
    for (;;) {
      std::string strReply;
      strStatus = Send(a_pfaults, "getoutput", "", &strReply);
      if (strStatus == "noimageready") {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        continue;
      }
      if (strStatus != "success") break;
      const std::string strFile = Element(strReply, "imagefilename");
      struct stat st;
      if (stat(strFile.c_str(), &st) != 0 || std::to_string(st.st_size) != Element(strReply, "imagesize")) {
        a_pfaults->Add("image not as described: " + strReply);
      }
      ++iImages;
      Send(a_pfaults, "imageend", Leaf("imagefilename", strFile));
    }
    if (strStatus != "endofoutput" || iImages != 2 * kSheets) {
      a_pfaults->Add("batch ended with " + strStatus + " after " + std::to_string(iImages) + " images");
    }
    Send(a_pfaults, "scanend", "");
    ++*a_piBatches;
  }
}

// Gets, sets, setmany and the event list, in turn, until the time is up.
void Settings(Faults* a_pfaults, std::chrono::steady_clock::time_point a_timepointEnd, int a_iThread) {
  const std::string astrUnits[] = {"inches", "centimeters"};
  for (int i = a_iThread; std::chrono::steady_clock::now() < a_timepointEnd; ++i) {
    const std::string strUnits = astrUnits[i % 2];
    switch (i % 4) {
      case 0: Send(a_pfaults, "get", Leaf("id", i % 8 < 4 ? "units" : "serialnumber")); break;
      case 1: Send(a_pfaults, "set", Leaf("id", "units") + Leaf("valuecurrent", strUnits)); break;
      case 2:
        Send(a_pfaults, "setmany", "<set>" + Leaf("id", "units") + Leaf("valuecurrent", strUnits) + "</set>");
        break;
      default: Send(a_pfaults, "get", Leaf("id", "eventlist")); break;
    }
  }
}

TEST(DriverEntryThread, EveryThreadGetsItsOwnWholeReplyAndTheScanEveryImage) {
  StageRoot();
  Faults faults;
  const std::string strSimulate =
      Leaf("simulate", Leaf("simulation", "true") +
                           "<simflag><id>pages</id><value>" + std::to_string(kSheets) + "</value><text></text></simflag>"
                           "<simflag><id>duplex</id><value>true</value><text></text></simflag>"
                           "<simflag><id>imagedirectory</id><value>" + testsupport::RootPath("images") +
                           "</value><text></text></simflag>");
  ASSERT_EQ(Send(&faults, "interfaceopen", Leaf("callername", "threads") + strSimulate), "success") << faults.Text();
  ASSERT_EQ(Send(&faults, "sessionbegin", ""), "success") << faults.Text();

  const auto timepointEnd = std::chrono::steady_clock::now() + std::chrono::seconds(RunSeconds());
  int iBatches = 0;
  std::vector<std::thread> vecthread;
  vecthread.emplace_back(Scan, &faults, timepointEnd, &iBatches);
  for (int i = 1; i < kThreads; ++i) vecthread.emplace_back(Settings, &faults, timepointEnd, i);
  for (std::thread& thread : vecthread) thread.join();

  EXPECT_EQ(faults.Count(), 0) << faults.Text();
  EXPECT_GT(iBatches, 0);
  EXPECT_EQ(Send(&faults, "sessionend", ""), "success");
  EXPECT_EQ(Send(&faults, "interfaceclose", ""), "success");
  std::printf("%ld tasks, %d batches of %d images in %d s\n", g_lTasks.load(), iBatches, 2 * kSheets, RunSeconds());
}

// One data task, its reply checked as Send checks a driver reply; its status.
std::string SendData(Faults* a_pfaults, const std::string& a_strCommand, const std::string& a_strBody) {
  const int iId = ++g_iNextId;
  const std::string strTask = TaskText(iId, a_strCommand, a_strBody);
  const char* szReply = DataEntry(strTask.c_str());
  const std::string strReply = szReply ? szReply : "";
  char szReplyId[32];
  std::snprintf(szReplyId, sizeof szReplyId, "reply='%020d'", iId);
  if (strReply.find(szReplyId) != 32 || strReply.size() < 99 ||
      strReply.compare(strReply.size() - 8, 8, "</task>\n") != 0) {
    a_pfaults->Add(a_strCommand + " " + std::to_string(iId) + ":\n" + strReply);
    return "";
  }
  return Element(strReply, "status");
}

void Expect(Faults* a_pfaults, const std::string& a_strWhat, const std::string& a_strStatus,
            const std::string& a_strExpected) {
  if (a_strStatus != a_strExpected) a_pfaults->Add(a_strWhat + " answered \"" + a_strStatus + "\"");
}

// Both entries' sessions opened and closed over and over from two threads,
// so that each ends while the other's session runs, in every order: the
// service layer stays for the session left (the driver's session scans and
// closes, with its configuration), and goes with the last one.
TEST(DriverEntryThread, DriverAndDataSessionsOpenAndCloseInEveryOrder) {
  StageRoot();
  Faults faults;
  const std::string strOpen =
      Leaf("callername", "both") +
      Leaf("simulate", Leaf("simulation", "true") +
                           "<simflag><id>pages</id><value>1</value><text></text></simflag>"
                           "<simflag><id>imagedirectory</id><value>" + testsupport::RootPath("images") +
                           "</value><text></text></simflag>");
  const auto timepointEnd = std::chrono::steady_clock::now() + std::chrono::seconds(RunSeconds());
  std::atomic<int> iDriverSessions{0};
  std::atomic<int> iDataSessions{0};
  std::thread threadDriver([&] {
    while (std::chrono::steady_clock::now() < timepointEnd) {
      Expect(&faults, "interfaceopen", Send(&faults, "interfaceopen", strOpen), "success");
      Expect(&faults, "sessionbegin", Send(&faults, "sessionbegin", ""), "success");
      Expect(&faults, "get", Send(&faults, "get", Leaf("id", "imageresolutionx")), "success");
      Expect(&faults, "scanbegin", Send(&faults, "scanbegin", ""), "success");
      Expect(&faults, "scanend", Send(&faults, "scanend", ""), "success");
      Expect(&faults, "interfaceclose", Send(&faults, "interfaceclose", "", nullptr, false), "success");
      ++iDriverSessions;
    }
  });
  std::thread threadData([&] {
    while (std::chrono::steady_clock::now() < timepointEnd) {
      Expect(&faults, "data interfaceopen", SendData(&faults, "interfaceopen", strOpen), "success");
      std::this_thread::sleep_for(std::chrono::milliseconds(iDataSessions % 7));
      Expect(&faults, "data interfaceclose", SendData(&faults, "interfaceclose", ""), "success");
      ++iDataSessions;
    }
  });
  threadDriver.join();
  threadData.join();
  EXPECT_EQ(faults.Count(), 0) << faults.Text();
  EXPECT_GT(iDriverSessions.load(), 0);
  EXPECT_GT(iDataSessions.load(), iDriverSessions.load());
  EXPECT_EQ(g_poscfg, nullptr) << "the service layer outlived its last session";
  std::printf("%d driver and %d data sessions in %d s\n", iDriverSessions.load(), iDataSessions.load(), RunSeconds());
}

// The data entry from several threads: each reply answers its own task.
TEST(DriverEntryThread, DataEntryRepliesAreEachThreadsOwn) {
  Faults faults;
  const auto DataTask = [&faults](const std::string& a_strCommand) {
    const int iId = ++g_iNextId;
    const std::string strTask = TaskText(iId, a_strCommand, "");
    const char* szReply = DataEntry(strTask.c_str());
    const std::string strReply = szReply ? szReply : "";
    char szReplyId[32];
    std::snprintf(szReplyId, sizeof szReplyId, "reply='%020d'", iId);
    if (strReply.find(szReplyId) != 32 || strReply.size() < 99 ||
        strReply.compare(strReply.size() - 8, 8, "</task>\n") != 0) {
      faults.Add(a_strCommand + " " + std::to_string(iId) + ":\n" + strReply);
    }
    return Element(strReply, "status");
  };
  ASSERT_EQ(DataTask("interfaceopen"), "success");
  const auto timepointEnd = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  std::vector<std::thread> vecthread;
  for (int i = 0; i < kThreads; ++i) {
    vecthread.emplace_back([&] {
      while (std::chrono::steady_clock::now() < timepointEnd) DataTask("getdevicedata");
    });
  }
  for (std::thread& thread : vecthread) thread.join();
  EXPECT_EQ(faults.Count(), 0) << faults.Text();
  EXPECT_EQ(DataTask("interfaceclose"), "success");
}

}  // namespace
