// The simulated scanner under eight calling threads at once, with its own
// thread calling back meanwhile (and the callbacks sending tasks of their
// own, as the device engine's do): every reply is a whole task for the
// caller's own id and stays intact until that caller's next call, the unit
// still closes in order, and no callback comes after interfaceclose.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "sim_task_testutil.h"
#include "test_support.h"

namespace {

using simtest::Element;
using simtest::ExpectWholeReply;
using simtest::Leaf;
using simtest::Task;

typedef const char* (*PfnScannerEntry)(const char*);

PfnScannerEntry g_pfnEntry = nullptr;
std::atomic<int> g_iCallbacks{0};
std::atomic<int> g_iCallbackTasks{0};

std::string Pointer(const void* a_pv) {
  char sz[32];
  std::snprintf(sz, sizeof sz, "%016" PRIxPTR, reinterpret_cast<uintptr_t>(a_pv));
  return sz;
}

// Both callbacks send a task of their own from the unit's thread.
int OnImageAvailable(void* a_pvText) {
  ++g_iCallbacks;
  if (a_pvText && std::strstr(static_cast<const char*>(a_pvText), "<callbackname>imageavailable</callbackname>")) {
    const std::string strTask = Task(900000 + g_iCallbackTasks++, "getconfig", Leaf("id", "paperdetected"));
    if (std::strstr(g_pfnEntry(strTask.c_str()), "<status>")) return 0;
  }
  return 1;
}

int OnOpenComplete(void*) {
  ++g_iCallbacks;
  const std::string strTask = Task(800000, "querysupport");
  return std::strstr(g_pfnEntry(strTask.c_str()), "<reportinquiry>") ? 0 : 1;
}

// One caller: a round of tasks of every kind, scans included (they meet
// the other callers' scans, so any status word may come back), each reply
// checked and checked again after the others had their turn.
void Caller(int a_iThread, int a_iRounds) {
  static const std::vector<std::pair<std::string, std::string>> s_vtask = {
      {"getconfig", Leaf("id", "paperdetected") + Leaf("id", "meterpagecount")},
      {"scanbegin", Leaf("imagebuffercount", "2")},
      {"getoutput", ""},
      {"getversionuser", ""},
      {"getoutput", ""},
      {"setconfig", Leaf("lowpowermodetimeout", "20")},
      {"getoutput", ""},
      {"scanrequeststop", ""},
      {"getoutput", ""},
      {"scanend", ""},
      {"getconsumablemeters", ""},
      {"nosuchcommand", ""},
  };
  int iId = a_iThread * 100000;
  for (int iRound = 0; iRound < a_iRounds; ++iRound) {
    for (const auto& task : s_vtask) {
      const int iTask = ++iId;
      const char* szReply = g_pfnEntry(Task(iTask, task.first, task.second).c_str());
      ExpectWholeReply(szReply, iTask);
      const std::string strCopy = szReply;
      std::this_thread::yield();
      EXPECT_EQ(strCopy, szReply);
      const std::string strFile = Element(strCopy, "imagefilename");
      if (!strFile.empty()) {
        const int iEnd = ++iId;
        ExpectWholeReply(g_pfnEntry(Task(iEnd, "imageend", Leaf("imagefilename", strFile)).c_str()), iEnd);
      }
    }
  }
}

class SimScannerThread : public ::testing::Test {
 protected:
  void SetUp() override {
    m_pvLibrary = dlopen(SIMSCAN_ADF_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(m_pvLibrary, nullptr) << dlerror();
    g_pfnEntry = reinterpret_cast<PfnScannerEntry>(dlsym(m_pvLibrary, "ScannerEntry"));
    ASSERT_NE(g_pfnEntry, nullptr);
  }

  // Sends one task and returns its status word.
  std::string Send(const std::string& a_strCommand, const std::string& a_strBody = "") {
    const char* szReply = g_pfnEntry(Task(++m_iId, a_strCommand, a_strBody).c_str());
    return szReply ? Element(szReply, "status") : std::string();
  }

  void* m_pvLibrary = nullptr;
  int m_iId = 0;
};

TEST_F(SimScannerThread, EightCallersAtOnceWhileTheUnitCallsBack) {
  const std::string strImages = testsupport::RootPath("images");
  std::filesystem::create_directory(strImages);
  const std::string strFlags = "<simflag><id>imagedirectory</id><value>" + strImages +
                               "</value></simflag><simflag><id>delay</id><value>1</value></simflag>"
                               "<simflag><id>pages</id><value>3</value></simflag>";
  ASSERT_EQ(Send("interfaceopen", "\t\t<simulate>" + strFlags + "</simulate>\n"), "success");
  ASSERT_EQ(Send("sessionbegin", Leaf("callbackname", "interfaceopencomplete") +
                                     Leaf("functionptr", Pointer(reinterpret_cast<void*>(&OnOpenComplete))) +
                                     Leaf("userargumentptr", Pointer(this))),
            "notcomplete");
  ASSERT_EQ(Send("registercallback", Leaf("callbackname", "imageavailable") +
                                         Leaf("functionptr", Pointer(reinterpret_cast<void*>(&OnImageAvailable))) +
                                         Leaf("userargumentptr", Pointer(this))),
            "success");

  std::vector<std::thread> vthread;
  for (int i = 1; i <= 8; ++i) vthread.emplace_back(Caller, i, 25);
  for (std::thread& thread : vthread) thread.join();

  // Whatever state the callers left: a scan still open ends, then the
  // session and the interface close in order.
  const std::string strScanEnd = Send("scanend");
  EXPECT_TRUE(strScanEnd == "success" || strScanEnd == "invalidstate") << strScanEnd;
  EXPECT_EQ(Send("sessionend"), "success");
  EXPECT_EQ(Send("interfaceclose"), "success");
  const int iCallbacks = g_iCallbacks.load();
  EXPECT_GE(iCallbacks, 1);  // the open completed
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(g_iCallbacks.load(), iCallbacks);
  EXPECT_TRUE(std::filesystem::is_empty(strImages));
}

TEST_F(SimScannerThread, OpenAndCloseOverAndOverWhileOthersCall) {
  // The unit's thread starts and ends with every interface; seven threads
  // keep asking meanwhile and get an answer for whatever state they meet.
  const std::string strSimulate = "\t\t<simulate><simflag><id>imagedirectory</id><value>" + testsupport::Root() +
                                  "</value></simflag></simulate>\n";
  std::atomic<bool> blDone{false};
  std::vector<std::thread> vthread;
  for (int i = 1; i <= 7; ++i) {
    vthread.emplace_back([i, &blDone] {
      for (int iId = i * 100000; !blDone.load(); ++iId) {
        const char* szReply = g_pfnEntry(Task(iId, "getconfig", Leaf("id", "model")).c_str());
        ExpectWholeReply(szReply, iId);
      }
    });
  }
  const int iOpened = g_iCallbacks.load();
  for (int iRound = 0; iRound < 20; ++iRound) {
    ASSERT_EQ(Send("interfaceopen", strSimulate), "success");
    ASSERT_EQ(Send("sessionbegin", Leaf("callbackname", "interfaceopencomplete") +
                                       Leaf("functionptr", Pointer(reinterpret_cast<void*>(&OnOpenComplete))) +
                                       Leaf("userargumentptr", Pointer(this))),
              "notcomplete");
    if (iRound % 2) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(Send("sessionend"), "success");
    EXPECT_EQ(Send("interfaceclose"), "success");
  }
  blDone = true;
  for (std::thread& thread : vthread) thread.join();
  const int iCallbacks = g_iCallbacks.load();
  EXPECT_LE(iCallbacks - iOpened, 20);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(g_iCallbacks.load(), iCallbacks);
}

}  // namespace
