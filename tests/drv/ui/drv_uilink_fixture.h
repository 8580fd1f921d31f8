// Tests of the user-interface link: a test owner (its model known or not,
// its hooks recording what they see), the services a link uses (the
// configuration with the log directory and the channel kind, memory, the
// sync objects' directory, published service arguments for the child),
// short wait limits, the staged stand-in or the Python peer as the child,
// and the child's log read back.
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../../os/log_capture.h"
#include "drv_cdrvuilink.h"
#include "drv_uiwaits.h"
#include "os_coscfg.h"
#include "os_cosmem.h"
#include "os_cossocket.h"
#include "os_cossync.h"
#include "os_costhread.h"
#include "os_cosxml.h"
#include "test_support.h"

namespace uilinktest {

using Clock = std::chrono::steady_clock;

inline int64_t MillisecondsSince(Clock::time_point a_start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - a_start).count();
}

// Polls the condition every 5 ms up to the limit.
inline bool Eventually(const std::function<bool()>& a_condition, long a_lLimitMs = 20000) {
  const auto start = Clock::now();
  while (!a_condition()) {
    if (MillisecondsSince(start) > a_lLimitMs) return a_condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// The GUI bridge's names, as a bridge gives them.
inline const DrvUiLinkNames& GuiNames() {
  static const DrvUiLinkNames s_drvuilinknames = {
      "GUI", "GuiStart", "Drv2Gui", "Gui2Drv", "DriverGuiDispatcher", "DrvGuiDriverToGui", "DrvGuiGuiToDriver",
      "buttons_", "DRV2GUI", "GUI2DRV", "drv2gui", "gui2drv", "drv2g>>>", "g2drv>>>",
      "<task id='@1111111111111111111' reply='00000000000000000000' bytes='@2222222222222222222'>\n\t<uiexit>\n"
      "\t</uiexit>\n</task>"};
  return s_drvuilinknames;
}

// The driver assistant's names: its channels' tags differ from the GUI's.
inline const DrvUiLinkNames& AssistantNames() {
  static const DrvUiLinkNames s_drvuilinknames = {
      "Driver Assistant", "DrvAssistantStart", "Drv2Assisstant", "Assistant2Drv", "DriverAssistantDispatcher",
      "DrvAssistantDriverToAssistant", "DrvAssistantAssistantToDriver", "drvassistantbuttons_", "DRV2ASSISTANT",
      "ASSISTANT2DRV", "drv2gui", "gui2drv", "drv2assistant>>>", "assistant2drv>>>",
      "<task id='@1111111111111111111' reply='00000000000000000000' bytes='@2222222222222222222'>\n\t<interfaceclose>"
      "\n\t</interfaceclose>\n</task>"};
  return s_drvuilinknames;
}

// A task the link sends: both placeholders, reply 0, one command.
inline std::string Command(const std::string& a_strName, const std::string& a_strText = "\n\t") {
  return "<task id='@1111111111111111111' reply='00000000000000000000' bytes='@2222222222222222222'>\n\t<" +
         a_strName + ">" + a_strText + "</" + a_strName + ">\n</task>";
}

// A task as the child writes it: ids and bytes= given.
inline std::string ChildTask(const std::string& a_strId, const std::string& a_strName, const std::string& a_strBody = "") {
  const std::string strRest = ">\n\t<" + a_strName + ">" + a_strBody + "</" + a_strName + ">\n</task>\n";
  std::string strHead = "<task id='" + a_strId + "' reply='00000000000000000000' bytes='";
  const size_t sizetLength = strHead.size() + 20 + 1 + strRest.size();
  char szBytes[32];
  std::snprintf(szBytes, sizeof szBytes, "%020zu'", sizetLength);
  return strHead + szBytes + strRest;
}

// The kernel name of the calling thread.
inline std::string ThreadName() {
  char szName[32] = "";
  pthread_getname_np(pthread_self(), szName, sizeof szName);
  return szName;
}

// What the dispatcher was given: the command, the task's id text and the
// command's content length.
struct Dispatched {
  std::string strCommand;
  std::string strId;
  long lContent = 0;
};

class TestOwner : public CDrvUiLinkOwner {
 public:
  bool UiModelReady() override { return m_blModel.load(); }
  long UiIdleWait() override { return m_lIdle.load(); }
  bool UiHealthCheck(char* a_szTask, size_t a_sizetTask) override {
    if (!m_blHealth.load()) return false;
    const std::string str = Command("healthcheck", "\n\t\t<id>deviceonline</id>\n\t");
    std::snprintf(a_szTask, a_sizetTask, "%s", str.c_str());
    return true;
  }
  bool UiFastPath(const char* a_pcTask, size_t a_sizetTask, uint64_t a_u64Id) override {
    const std::string strHead(a_pcTask, std::min(a_sizetTask, CDrvUiLink::s_sizetFastPath));
    if (strHead.find(m_strFastWord) == std::string::npos) return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_vecpairFast.emplace_back(a_u64Id, ThreadName());
    m_cond.notify_all();
    return true;
  }
  void UiDispatch(COsXml* a_posxml) override {
    Dispatched dispatched;
    char szText[512] = "";
    a_posxml->NodeRewind();
    if (a_posxml->NodeGetProperty("id", szText, sizeof szText) == OS_STS_SUCCESS) dispatched.strId = szText;
    if (a_posxml->NodeChild() == OS_STS_SUCCESS && a_posxml->NodeGetName(szText, sizeof szText) == OS_STS_SUCCESS) {
      dispatched.strCommand = szText;
      long lOffset = 0;
      a_posxml->NodeGetContentLocation(&lOffset, &dispatched.lContent);
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cond.wait(lock, [this] { return !m_blHold; });
    m_vecdispatched.push_back(dispatched);
    m_cond.notify_all();
  }
  void UiBadTask(uint64_t a_u64Id, bool a_blId) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_vecpairBad.emplace_back(a_u64Id, a_blId);
    m_cond.notify_all();
  }
  void UiLinkLost(bool a_blConnected) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_iLost;
    m_blLostConnected = a_blConnected;
    m_timepointLost = Clock::now();
    m_cond.notify_all();
  }

  void Hold(bool a_blHold) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_blHold = a_blHold;
    m_cond.notify_all();
  }
  // Waits on the owner's records.
  bool WaitFor(const std::function<bool()>& a_condition, long a_lLimitMs = 20000) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cond.wait_for(lock, std::chrono::milliseconds(a_lLimitMs), a_condition);
  }
  std::vector<std::string> Commands() {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> vec;
    for (const Dispatched& dispatched : m_vecdispatched) vec.push_back(dispatched.strCommand);
    return vec;
  }

  std::atomic<bool> m_blModel{true};
  std::atomic<long> m_lIdle{600000};
  std::atomic<bool> m_blHealth{false};
  std::string m_strFastWord = "<requestscancancel>";
  std::mutex m_mutex;
  std::condition_variable m_cond;
  bool m_blHold = false;
  std::vector<Dispatched> m_vecdispatched;
  std::vector<std::pair<uint64_t, std::string>> m_vecpairFast;  // id, thread
  std::vector<std::pair<uint64_t, bool>> m_vecpairBad;
  int m_iLost = 0;
  bool m_blLostConnected = false;
  Clock::time_point m_timepointLost;
};

// One line of the child's log.
struct LogLine {
  std::string strKind;
  std::vector<std::string> vecstrField;  // after the kind
};

// The channel kinds and the child on each.
struct Channel {
  const char* szName;
  const char* szForceGuiSockets;
  bool blPeer;  // the Python peer, else the stand-in
};
inline std::string ChannelName(const ::testing::TestParamInfo<Channel>& a_info) { return a_info.param.szName; }
inline const Channel s_achannelStandin[] = {
    {"tcp", "1", false}, {"sharedmemory", "5", false}, {"queues", "8", false}};
inline const Channel s_achannelAll[] = {{"tcp", "1", false},         {"sharedmemory", "5", false},
                                        {"queues", "8", false},      {"tcp_peer", "1", true},
                                        {"queues_peer", "8", true}};

inline std::string& ServicesArguments() {
  static std::string s_str;
  return s_str;
}
inline const char* ServicesArgumentsSource() { return ServicesArguments().c_str(); }

class UiLinkFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    m_plog = std::make_unique<testsupport::LogCapture>(1);
    OsCfgVersion version{"04", "10", "02", "00", "28", "07", "2015"};
    m_pcfg = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, &version, false, nullptr);
    Configure(OS_CFGTAG_LOGDIRECTORY, testsupport::RootPath("log"));
    m_pmem = std::make_unique<COsMem>(OS_MEM_METHOD_GLOBALALLOC, 1);
    // The child finds a shared-memory channel's events below our root.
    COsSync::SetFallbackDirectory(testsupport::RootPath("common").c_str());
    Configure(OS_CFGTAG_ROOTCOMMONDIRECTORY, testsupport::RootPath("common"));
    ServicesArguments() = "<arguments><rootpath>" + testsupport::Root() + "</rootpath></arguments>";
    COsThread::SetServicesArgumentsSource(ServicesArgumentsSource);
    COsSocket::SetPassTime(50);
    COsSocket::SetQueueTimeoutFloor(300);
    COsThread::SetSpawnStopWait(500);
    const std::pair<EDRVUIWAIT, long> apair[] = {
        {DRV_UIWAIT_MODEL, 3000},   {DRV_UIWAIT_ACCEPT, 15000},    {DRV_UIWAIT_FIRSTWRITE, 20000},
        {DRV_UIWAIT_START, 5000},   {DRV_UIWAIT_EXITPOLL, 3000},   {DRV_UIWAIT_THREADSTOP, 15000},
        {DRV_UIWAIT_CHILDGRACE, 500}, {DRV_UIWAIT_HANDOFF, 5000}};
    for (const auto& pair : apair) DrvUiSetWaitLimit(pair.first, pair.second);
    m_strStandinLog = testsupport::RootPath("child.log");
  }

  void TearDown() override {
    m_plink.reset();
    // Whatever a test did, no child stays behind.
    errno = 0;
    while (waitpid(-1, nullptr, WNOHANG) > 0) ADD_FAILURE() << "a child was left unreaped";
    for (int i = 0; i < DRV_UIWAIT_COUNT; ++i) DrvUiSetWaitLimit(static_cast<EDRVUIWAIT>(i), -1);
    COsThread::SetSpawnStopWait(-1);
    COsSocket::SetPassTime(-1);
    COsSocket::SetQueueTimeoutFloor(-1);
    COsThread::SetServicesArgumentsSource(nullptr);
    COsSync::SetFallbackDirectory(nullptr);
    m_pmem.reset();
    m_pcfg.reset();
    m_plog.reset();
  }

  // Set keeps the pointer: the texts live in the fixture.
  void Configure(unsigned a_uTag, const std::string& a_strValue) {
    m_vecpstrValue.push_back(std::make_unique<std::string>(a_strValue));
    ASSERT_EQ(m_pcfg->Set(OS_CFGSECTION_MAIN, a_uTag, m_vecpstrValue.back()->c_str()), OS_STS_SUCCESS);
  }

  // The child's program, its log and script in its own environment, and
  // the extra variables; the link made and started.
  void StartLink(bool a_blPeer, const std::string& a_strScript,
                 const std::vector<std::pair<std::string, std::string>>& a_vecpairExtra = {},
                 const char* a_szPath = nullptr) {
    m_vecpairVariable = {{a_blPeer ? "UIPEER_LOG" : "UISTANDIN_LOG", m_strStandinLog},
                         {a_blPeer ? "UIPEER_SCRIPT" : "UISTANDIN_SCRIPT", a_strScript}};
    m_vecpairVariable.insert(m_vecpairVariable.end(), a_vecpairExtra.begin(), a_vecpairExtra.end());
    std::vector<OsSpawnVariable> vec;
    for (const auto& pair : m_vecpairVariable) vec.push_back({pair.first.c_str(), pair.second.c_str()});
    if (!m_plink) m_plink = std::make_unique<CDrvUiLink>(&m_owner, GuiNames());
    ASSERT_EQ(m_plink->Start(a_szPath ? a_szPath : a_blPeer ? SCANDRV_UIPEER : SCANDRV_UISTANDIN, vec.data(),
                             vec.size()),
              OS_STS_SUCCESS);
  }

  void StartConnected(bool a_blPeer, const std::string& a_strScript,
                      const std::vector<std::pair<std::string, std::string>>& a_vecpairExtra = {}) {
    StartLink(a_blPeer, a_strScript, a_vecpairExtra);
    ASSERT_EQ(m_plink->WaitStart(20000), DRV_UILINKSTATE_CONNECTED) << m_plog->Text();
  }

  std::vector<LogLine> ChildLog() {
    std::vector<LogLine> vec;
    if (!testsupport::FileExists(m_strStandinLog)) return vec;
    // The child may be halfway through its last line: only whole lines count.
    std::string strText = testsupport::ReadFile(m_strStandinLog);
    strText.erase(strText.rfind('\n') == std::string::npos ? 0 : strText.rfind('\n') + 1);
    for (const std::string& strLine : testsupport::Lines(strText)) {
      LogLine logline;
      size_t sizetStart = 0;
      for (;;) {
        const size_t sizetTab = strLine.find('\t', sizetStart);
        const std::string strField = strLine.substr(sizetStart, sizetTab - sizetStart);
        if (logline.strKind.empty() && sizetStart == 0) {
          logline.strKind = strField;
        } else {
          logline.vecstrField.push_back(strField);
        }
        if (sizetTab == std::string::npos) break;
        sizetStart = sizetTab + 1;
      }
      vec.push_back(logline);
    }
    return vec;
  }
  // The child's log lines of a kind.
  std::vector<LogLine> ChildLog(const std::string& a_strKind) {
    std::vector<LogLine> vec;
    for (const LogLine& logline : ChildLog()) {
      if (logline.strKind == a_strKind) vec.push_back(logline);
    }
    return vec;
  }
  // The commands of the tasks the child read.
  std::vector<std::string> ChildReceived() {
    std::vector<std::string> vec;
    for (const LogLine& logline : ChildLog("recv")) vec.push_back(logline.vecstrField.at(5));
    return vec;
  }
  size_t CountOf(const std::vector<std::string>& a_vec, const std::string& a_str) {
    return static_cast<size_t>(std::count(a_vec.begin(), a_vec.end(), a_str));
  }
  // The value the child was given of its environment's variable; "?" when
  // it was not.
  std::string ChildEnvironment(const std::string& a_strName) {
    for (const LogLine& logline : ChildLog("env")) {
      if (logline.vecstrField.size() == 2 && logline.vecstrField[0] == a_strName) return logline.vecstrField[1];
    }
    return "?";
  }

  // Threads of this process with the link's names.
  static std::vector<std::string> LinkThreads() {
    std::vector<std::string> vec;
    DIR* pdir = opendir("/proc/self/task");
    if (!pdir) return vec;
    while (const dirent* pdirent = readdir(pdir)) {
      const std::string strComm = "/proc/self/task/" + std::string(pdirent->d_name) + "/comm";
      if (pdirent->d_name[0] == '.' || !testsupport::FileExists(strComm)) continue;
      std::string strName = testsupport::ReadFile(strComm);
      if (!strName.empty() && strName.back() == '\n') strName.pop_back();
      for (const char* sz : {"GuiStart", "Drv2Gui", "Gui2Drv", "DriverGuiDispat"}) {
        if (strName == sz) vec.push_back(strName);
      }
    }
    closedir(pdir);
    return vec;
  }

  // ps's state letters of the process; empty once it is reaped.
  static std::string ProcessState(uint64_t a_u64ProcessId) {
    std::string strState = testsupport::RunProgram({"ps", "-o", "stat=", "-p", std::to_string(a_u64ProcessId)});
    while (!strState.empty() && (strState.back() == '\n' || strState.back() == ' ')) strState.pop_back();
    return strState;
  }

  std::unique_ptr<testsupport::LogCapture> m_plog;
  std::unique_ptr<COsCfg> m_pcfg;
  std::unique_ptr<COsMem> m_pmem;
  std::vector<std::unique_ptr<std::string>> m_vecpstrValue;
  TestOwner m_owner;
  std::unique_ptr<CDrvUiLink> m_plink;
  std::string m_strStandinLog;
  std::vector<std::pair<std::string, std::string>> m_vecpairVariable;
};

// Over each channel kind, with the stand-in or the peer.
class UiLinkChannelFixture : public UiLinkFixture, public ::testing::WithParamInterface<Channel> {
 protected:
  void SetUp() override {
    UiLinkFixture::SetUp();
    Configure(OS_CFGTAG_FORCEGUISOCKETS, GetParam().szForceGuiSockets);
  }
  bool Peer() const { return GetParam().blPeer; }
};

}  // namespace uilinktest
