// The simulated scanner's entry, its state machine and the interface and
// session tasks.
#include "sim_csimscanner.h"

#include <unistd.h>

#include <chrono>
#include <thread>

#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_cosxmltask.h"
#include "sim_csimtask.h"

namespace {

// The unit of this library.
CSimScanner s_simscanner;

constexpr uint32_t L = 1, O = 2, S = 4, C = 8;  // the ESIMSTATE bits, for the table below

// A pointer as the tasks carry it: up to 16 hexadecimal digits, with an
// optional "0x" or "0X" in front.
bool ParsePointer(const std::string& a_strText, uint64_t& a_u64Value) {
  const size_t sizetStart = a_strText.compare(0, 2, "0x") == 0 || a_strText.compare(0, 2, "0X") == 0 ? 2 : 0;
  const size_t sizetDigits = a_strText.size() - sizetStart;
  if (sizetDigits == 0 || sizetDigits > 16) return false;
  uint64_t u64Value = 0;
  for (size_t i = sizetStart; i < a_strText.size(); ++i) {
    const unsigned char ucDigit = COsString::s_szHex[static_cast<unsigned char>(a_strText[i])];
    if (ucDigit > 15) return false;
    u64Value = u64Value << 4 | ucDigit;
  }
  a_u64Value = u64Value;
  return true;
}

}  // namespace

OS_EXPORT const char* ScannerEntry(const char* a_szTask) { return s_simscanner.Entry(a_szTask); }

const CSimScanner::SimCommand CSimScanner::s_asimcommand[] = {
    {"interfaceopen", L, true, &CSimScanner::InterfaceOpen},
    {"interfaceclose", O, true, &CSimScanner::InterfaceClose},
    {"sessionbegin", O, false, &CSimScanner::SessionBegin},
    {"sessionend", S, true, &CSimScanner::SessionEnd},
    {"sessionbounce", S, false, &CSimScanner::Success},
    {"getversionuser", S | C, false, &CSimScanner::GetVersionUser},
    {"querysupport", S, false, &CSimScanner::QuerySupport},
    {"registercallback", O | S | C, true, &CSimScanner::RegisterCallback},
    {"notifydevicestatus", O | S | C, true, &CSimScanner::NotifyDeviceStatus},
    {"resourcelock", O | S | C, false, &CSimScanner::ResourceLock},
    {"resourcebegin", O | S | C, false, &CSimScanner::ResourceLock},
    {"resourceunlock", O | S | C, true, &CSimScanner::Success},
    {"resourceend", O | S | C, true, &CSimScanner::Success},
    {"scanbegin", S | C, false, &CSimScanner::ScanBegin},
    {"scanend", C, true, &CSimScanner::ScanEnd},
    {"scanrequeststop", C, false, &CSimScanner::ScanRequestStop},
    {"getoutput", C, false, &CSimScanner::GetOutput},
    {"imageend", C, false, &CSimScanner::ImageEnd},
    {"userinput", C, false, &CSimScanner::UserInput},
    {"messagerelay", S, false, &CSimScanner::MessageRelay},
    {"setupbegin", S, false, &CSimScanner::SetupBegin},
    {"setupend", S, false, &CSimScanner::SetupEnd},
    {"setconfig", S | C, false, &CSimScanner::SetConfig},
    {"createcamera", S, false, &CSimScanner::CreateCamera},
    {"windowadd", S, false, &CSimScanner::WindowAdd},
    {"setwindoworder", S, false, &CSimScanner::SetWindowOrder},
    {"setocpbuttons", S, false, &CSimScanner::Success},
    {"getocpbutton", S | C, false, &CSimScanner::GetOcpButton},
    {"getecdo", S | C, false, &CSimScanner::GetEcdo},
    {"getconsumablemeters", S, false, &CSimScanner::GetConsumableMeters},
    {"setconsumablemeter", S, false, &CSimScanner::SetConsumableMeter},
    {"resetconsumablemeter", S, false, &CSimScanner::SetConsumableMeter},
    {"getcartridgedetected", S, false, &CSimScanner::GetCartridgeDetected},
    {"getlog", S, false, &CSimScanner::GetLog},
    {"getdebuglog", S, false, &CSimScanner::GetDebugLog},
    {"clearlog", S, false, &CSimScanner::ClearLog},
    {"getconfig", O | S | C, false, &CSimScanner::GetConfig},
    {"downloadbegin", S, false, &CSimScanner::Download},
    {"downloadrun", S, false, &CSimScanner::Download},
    {"downloadend", S, false, &CSimScanner::Download},
    {"diagnosticbegin", S, false, &CSimScanner::Diagnostic},
    {"diagnosticrun", S, false, &CSimScanner::Diagnostic},
    {"diagnosticend", S, false, &CSimScanner::Diagnostic},
    {"calibratebegin", S, false, &CSimScanner::Calibrate},
    {"calibraterun", S, false, &CSimScanner::Calibrate},
    {"calibratereset", S, false, &CSimScanner::Calibrate},
    {"calibrateend", S, false, &CSimScanner::Calibrate},
};

// Unloaded without interfaceclose: the thread ends and no file stays behind.
CSimScanner::~CSimScanner() {
  m_simworker.Stop();
  for (const std::string& strPath : m_setOutstanding) unlink(strPath.c_str());
  DropPagePool();
  for (const std::string& strPath : m_vstrLogFile) unlink(strPath.c_str());
}

const CSimScanner::SimCommand* CSimScanner::FindCommand(const std::string& a_strName) {
  for (const SimCommand& simcommand : s_asimcommand) {
    if (a_strName == simcommand.szName) return &simcommand;
  }
  return nullptr;
}

const char* CSimScanner::Entry(const char* a_szTask) {
  CSimWorker::CallBegin();
  uint64_t u64Id = 0;
  CSimNode simnodeCommand;
  CSimNode simnodeReply;
  const char* szStatus = Process(a_szTask, u64Id, simnodeCommand, simnodeReply);
  const char* szReply = CSimTask::Reply("simscan", ++m_iReplyId, u64Id, szStatus, simnodeReply);
  const char* szTaskLog = CSimConfig::TaskLogPath();
  if (szTaskLog) CSimTask::Log(szTaskLog, CSimConfig::UnitName(), u64Id, simnodeCommand, szStatus);
  CSimWorker::CallEnd();
  return szReply;
}

const char* CSimScanner::Process(const char* a_szTask, uint64_t& a_u64Id, CSimNode& a_simnodeCommand,
                                 CSimNode& a_simnodeReply) {
  CSimNode& simnodeCommand = a_simnodeCommand;
  if (!CSimTask::Read("simscan", a_szTask, a_u64Id, simnodeCommand)) return "fail";
  const SimCommand* psimcommand = FindCommand(simnodeCommand.Name());
  if (!psimcommand) {
    OsLog(OS_LOG_ERROR, "simscan>>> unknown command <%s>", simnodeCommand.Name().c_str());
    return "fail";
  }
  // The thread must run before the unit opens: its first jobs may follow
  // the very reply to interfaceopen.
  if (psimcommand->pfn == &CSimScanner::InterfaceOpen && !m_simworker.Start()) return "fail";

  // A calibration takes its time without holding the unit: its other
  // tasks and its callbacks (going off line) go on meanwhile.
  if (simnodeCommand.Name() == "calibraterun") {
    long lDelayMs;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      lDelayMs = m_simconfig.m_lCalDelayMs;
    }
    if (lDelayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(lDelayMs));
  }
  const char* szStatus;
  bool blStopWorker;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!(psimcommand->u32States & m_u32State)) {
      OsLog(OS_LOG_INFO, "simscan>>> <%s> in state %u: invalidstate", simnodeCommand.Name().c_str(), m_u32State);
      szStatus = "invalidstate";
    } else if (m_blOffline && !psimcommand->blOffline) {
      szStatus = "disconnected";
    } else {
      szStatus = (this->*psimcommand->pfn)(simnodeCommand, a_simnodeReply);
    }
    blStopWorker = m_blStopWorker;
    m_blStopWorker = false;
  }
  // Outside the lock: a callback still running may send tasks of its own.
  if (blStopWorker) m_simworker.Stop();
  return szStatus;
}

bool CSimScanner::BeginActivity(ESIMACTIVITY a_esimactivity) {
  if (m_esimactivity != SIM_ACTIVITY_NONE) return false;
  m_esimactivity = a_esimactivity;
  return true;
}

bool CSimScanner::EndActivity(ESIMACTIVITY a_esimactivity) {
  if (m_esimactivity != a_esimactivity) return false;
  m_esimactivity = SIM_ACTIVITY_NONE;
  return true;
}

// A busy unit refuses the configured number of attempts to take it, once
// the configured number of lock tasks went through.
bool CSimScanner::TakeBusy() {
  if (m_simconfig.m_lBusy == 0) return false;
  if (m_simconfig.m_lBusyAfter >= 0 && m_lLockTasks <= m_simconfig.m_lBusyAfter) return false;
  if (m_simconfig.m_lBusy > 0) --m_simconfig.m_lBusy;
  return true;
}

const char* CSimScanner::InterfaceOpen(const CSimNode& a_simnode, CSimNode& a_simnodeReply) {
  std::string strError;
  if (!m_simconfig.Load(a_simnode, strError)) {
    OsLog(OS_LOG_ERROR, "simscan>>> interfaceopen refused: %s", strError.c_str());
    m_blStopWorker = true;
    return "fail";
  }
  m_u32State = SIM_STATE_OPEN;
  m_blOffline = false;
  m_lLockTasks = 0;
  m_mapCallback.clear();
  m_mapConfig.clear();
  m_mapMeter = {{"feedroller", 0}, {"separationpad", 0}};
  m_lPageCount = m_simconfig.m_lPageCount;
  m_lRelayed = 0;
  DefaultWindows();
  a_simnodeReply.Add(ReportConfig());
  a_simnodeReply.Add(ReportInquiry(true));
  if (!m_simconfig.m_strFlatbed.empty()) {
    CSimNode& simnodeResource = a_simnodeReply.Add("reportresource");
    simnodeResource.Add("flatbed", m_simconfig.m_strFlatbed);
    CSimNode& simnodeUnit = simnodeResource.Add("resource");
    simnodeUnit.Add("model", "flatbed");
    simnodeUnit.Add("devicetype", "simscan");
    simnodeUnit.Add("devicefilename", "simscan:" + m_simconfig.m_strFlatbed);
  }
  return "success";
}

const char* CSimScanner::InterfaceClose(const CSimNode&, CSimNode&) {
  m_u32State = SIM_STATE_LOADED;
  m_blOffline = false;
  ++m_u64Session;
  m_mapCallback.clear();
  for (const std::string& strPath : m_vstrLogFile) unlink(strPath.c_str());
  m_vstrLogFile.clear();
  m_blStopWorker = true;
  return "success";
}

const char* CSimScanner::SessionBegin(const CSimNode& a_simnode, CSimNode&) {
  uint64_t u64Function = 0, u64Argument = 0;
  const CSimNode* psimnodeName = a_simnode.Child("callbackname");
  if (psimnodeName) {
    if (psimnodeName->Text() != "interfaceopencomplete" ||
        !ParsePointer(a_simnode.ChildText("functionptr"), u64Function) ||
        !ParsePointer(a_simnode.ChildText("userargumentptr"), u64Argument)) {
      OsLog(OS_LOG_ERROR, "simscan>>> sessionbegin with a bad callback <%s> <%s> <%s>", psimnodeName->Text().c_str(),
            a_simnode.ChildText("functionptr"), a_simnode.ChildText("userargumentptr"));
      return "fail";
    }
  }
  if (TakeBusy()) return "busy";
  if (m_simconfig.m_strSessionBegin != "success") return m_simconfig.m_strSessionBegin.c_str();
  if (m_simconfig.m_lSessionBeginDelayMs > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(m_simconfig.m_lSessionBeginDelayMs));
  m_u32State = SIM_STATE_SESSION;
  m_esimactivity = SIM_ACTIVITY_NONE;
  m_lDiagnosticDepth = 0;
  m_blLampWarm = false;
  m_i64PaperMs = CSimWorker::NowMs() + m_simconfig.m_lPaperAfterMs;
  const uint64_t u64Session = ++m_u64Session;
  PostOffline(u64Session);
  if (u64Function == 0 || !m_simconfig.m_blAsyncOpen) return "success";
  m_simworker.Post(CSimWorker::NowMs() + m_simconfig.m_lOpenDelayMs, [this, u64Session, u64Function, u64Argument] {
    CompleteOpen(u64Session, u64Function, u64Argument);
  });
  return "notcomplete";
}

void CSimScanner::CompleteOpen(uint64_t a_u64Session, uint64_t a_u64Function, uint64_t a_u64Argument) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (a_u64Session != m_u64Session) return;  // the session ended meanwhile
  }
  reinterpret_cast<EOSSTS (*)(void*)>(a_u64Function)(reinterpret_cast<void*>(a_u64Argument));
}

const char* CSimScanner::SessionEnd(const CSimNode&, CSimNode&) {
  EndSession();
  return "success";
}

void CSimScanner::EndSession() {
  m_u32State = SIM_STATE_OPEN;
  m_esimactivity = SIM_ACTIVITY_NONE;
  m_lDiagnosticDepth = 0;
  ++m_u64Session;
}

const char* CSimScanner::Success(const CSimNode&, CSimNode&) { return "success"; }

const char* CSimScanner::ResourceLock(const CSimNode&, CSimNode&) {
  ++m_lLockTasks;
  return TakeBusy() ? "busy" : "success";
}

const char* CSimScanner::RegisterCallback(const CSimNode& a_simnode, CSimNode&) {
  static const char* const s_aszName[] = {"connectionchange", "pnpchange", "imageavailable", "buttonevent"};
  const std::string strName = a_simnode.ChildText("callbackname");
  bool blKnown = false;
  for (const char* szName : s_aszName) blKnown = blKnown || strName == szName;
  SimCallback simcallback{};
  if (!blKnown || !ParsePointer(a_simnode.ChildText("functionptr"), simcallback.u64Function) ||
      !ParsePointer(a_simnode.ChildText("userargumentptr"), simcallback.u64Argument)) {
    OsLog(OS_LOG_ERROR, "simscan>>> registercallback refused <%s> <%s> <%s>", strName.c_str(),
          a_simnode.ChildText("functionptr"), a_simnode.ChildText("userargumentptr"));
    return "fail";
  }
  // A null function takes the callback back.
  if (simcallback.u64Function == 0) {
    m_mapCallback.erase(strName);
  } else {
    m_mapCallback[strName] = simcallback;
    PostRegistered(strName);
  }
  return "success";
}

const char* CSimScanner::NotifyDeviceStatus(const CSimNode& a_simnode, CSimNode&) {
  const std::string strOnline = a_simnode.ChildText("deviceonline");
  return strOnline == "true" || strOnline == "false" ? "success" : "fail";
}

void CSimScanner::Notify(const char* a_szName, const std::string& a_strExtra, uint64_t a_u64Session) {
  SimCallback simcallback;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_mapCallback.find(a_szName);
    if (a_u64Session != m_u64Session || it == m_mapCallback.end()) return;
    simcallback = it->second;
  }
  COsXmlTask osxmltask("", COsXmlTask::s_sizetMinimumCapacity);
  osxmltask.StartTask(0, 0, nullptr);
  osxmltask.StartCommand("callback", 1);
  osxmltask.AddArgument("callbackname", a_szName);
  osxmltask.AddArgumentHexPtr("userargumentptr", reinterpret_cast<const void*>(simcallback.u64Argument));
  if (!a_strExtra.empty()) osxmltask.AddPassThrough(a_strExtra.c_str());
  osxmltask.FinalizeCommand("callback");
  osxmltask.FinalizeTask();
  reinterpret_cast<EOSSTS (*)(void*)>(simcallback.u64Function)(osxmltask.GetTaskBuffer());
}
