// The device-reply dispatcher: set-up of its two engines and the walks.
#include "dp_cdispatch.h"

#include <atomic>
#include <iterator>

#include "db_cdblock.h"
#include "os_coslog.h"

namespace {
// Growth steps of the template engine's tables: a reply of many reports
// reads without growing them step by step.
constexpr long s_lAtomIncrement = 2048;

std::atomic<const char*> s_szReplyGrammarSeam{nullptr};

// The database-wide lock for a walk that writes the database.
class CDbLockWhen {
 public:
  explicit CDbLockWhen(bool a_blLock) : m_blLock(a_blLock) {
    if (m_blLock) CDbLock::Lock();
  }
  ~CDbLockWhen() {
    if (m_blLock) CDbLock::Unlock();
  }
  CDbLockWhen(const CDbLockWhen&) = delete;
  CDbLockWhen& operator=(const CDbLockWhen&) = delete;

 private:
  const bool m_blLock;
};
}  // namespace

// An object of a grammar: its name there, its class (whose trampolines the
// engine looks up) and the object.
struct CDispatch::Registration {
  const char* szObject;
  const char* szClass;
  void* pvObject;
};

// The class name is the member's own type, checked by the cast.
#define DP_REGISTRATION(Name, Class, Member) {Name, #Class, static_cast<Class*>(&Member)}

CDispatch::CDispatch()
    : m_szReplyGrammar(s_szReplyGrammarSeam.load() ? s_szReplyGrammarSeam.load() : s_szReplyGrammar),
      m_szOutputGrammar(s_szOutputGrammar) {}

CDispatch::~CDispatch() = default;

void CDispatch::SetReplyGrammarSeam(const char* a_szGrammar) { s_szReplyGrammarSeam.store(a_szGrammar); }

EOSSTS CDispatch::Setup(COsXml& a_osxml, const Registration* a_pregistration, size_t a_sizetRegistrations,
                        const char* a_szGrammar) {
  for (size_t sizet = 0; sizet < a_sizetRegistrations; ++sizet) {
    const Registration& registration = a_pregistration[sizet];
    const EOSSTS eossts = a_osxml.DispatchAddObject(registration.szObject, registration.szClass, registration.pvObject);
    if (eossts != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "DispatchAddObject failed...<%d>", eossts);
      return eossts;
    }
  }
  const EOSSTS eossts = a_osxml.DispatchLoad(a_szGrammar);
  if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "DispatchLoad failed...<%d>", eossts);
  return eossts;
}

EOSSTS CDispatch::SetupDispatchTemplate() {
  const Registration aregistration[] = {
      DP_REGISTRATION("task", CTask, m_task),
      DP_REGISTRATION("reportstatus", CReportStatus, m_reportstatus),
      DP_REGISTRATION("reportcalibrate", CReportCalibrate, m_reportcalibrate),
      DP_REGISTRATION("reportcalibrateend", CReportCalibrateEnd, m_reportcalibrateend),
      DP_REGISTRATION("reportcartridgedetected", CReportCartridgeDetected, m_reportcartridgedetected),
      DP_REGISTRATION("reportcommands", CReportCommands, m_reportcommands),
      DP_REGISTRATION("reportconfig", CReportConfig, m_reportconfig),
      DP_REGISTRATION("reportdebuglog", CReportDebugLog, m_reportdebuglog),
      DP_REGISTRATION("reportdiagnostic", CReportDiagnostic, m_reportdiagnostic),
      DP_REGISTRATION("reportenum", CReportEnum, m_reportenum),
      DP_REGISTRATION("reportinquiry", CReportInquiry, m_reportinquiry),
      DP_REGISTRATION("reportinterfaceopen", CReportInterfaceOpen, m_reportinterfaceopen),
      DP_REGISTRATION("reportlampstatus", CReportLampStatus, m_reportlampstatus),
      DP_REGISTRATION("reportlog", CReportLog, m_reportlog),
      DP_REGISTRATION("reportmessage", CReportMessage, m_reportmessage),
      DP_REGISTRATION("reportocpbutton", CReportOcpButton, m_reportocpbutton),
      DP_REGISTRATION("reportrange", CReportRange, m_reportrange),
      DP_REGISTRATION("reportscanend", CReportScanEnd, m_reportscanend),
      DP_REGISTRATION("reportsimulationflatbed", CReportSimulationFlatbed, m_reportsimulationflatbed),
      DP_REGISTRATION("reportstring", CReportString, m_reportstring),
      DP_REGISTRATION("reportversion", CReportVersion, m_reportversion),
      DP_REGISTRATION("reportversionuser", CReportVersionUser, m_reportversionuser),
      DP_REGISTRATION("setcontext", CSetContext, m_setcontext),
      DP_REGISTRATION("reportresource", CReportResource, m_reportresource),
      DP_REGISTRATION("reportsetupend", CReportSetupEnd, m_reportsetupend),
  };
  std::lock_guard<std::mutex> lock(m_mutex);
  return Setup(m_osxmlTemplate, aregistration, std::size(aregistration), m_szReplyGrammar);
}

EOSSTS CDispatch::SetupDispatchOutput() {
  const Registration aregistration[] = {
      DP_REGISTRATION("task", CTask, m_task),
      DP_REGISTRATION("reportstatus", CReportStatus, m_reportstatusOutput),
  };
  std::lock_guard<std::mutex> lock(m_mutex);
  return Setup(m_osxmlOutput, aregistration, std::size(aregistration), m_szOutputGrammar);
}

#undef DP_REGISTRATION

void CDispatch::FreeDispatchTemplate() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_osxmlTemplate.DispatchFree();
}

void CDispatch::FreeDispatchOutput() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_osxmlOutput.DispatchFree();
}

namespace {
thread_local int t_iWalks = 0;

// Marks this thread as walking a reply while it lives.
class CWalkMark {
 public:
  CWalkMark() { ++t_iWalks; }
  ~CWalkMark() { --t_iWalks; }
  CWalkMark(const CWalkMark&) = delete;
  CWalkMark& operator=(const CWalkMark&) = delete;
};
}  // namespace

bool CDispatch::IsWalking() { return t_iWalks > 0; }

// The status starts each walk as a failure, so that a reply without a known
// status word never reads as the one before it.
EDEVREPLY CDispatch::Walk(COsXml& a_osxml, CReportStatus& a_reportstatus, const char* a_szReply,
                          const DevDispatchTarget& a_devdispatchtarget) {
  a_reportstatus.Reset();
  const CWalkMark walkmark;
  const EOSSTS eossts =
      a_osxml.DocumentLoadAndDispatch(a_szReply, const_cast<DevDispatchTarget*>(&a_devdispatchtarget));
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DocumentLoadAndDispatch failed...<%d>", eossts);
    return DEV_REPLY_FAIL;
  }
  if (!a_reportstatus.HasStatus()) OsLog(OS_LOG_ERROR, "dp>>> no known status in the reply, taken as a failure...");
  return a_reportstatus.GetCode();
}

EDEVREPLY CDispatch::Process(const char* a_szReply, const DevDispatchTarget& a_devdispatchtarget,
                             bool a_blInterfaceOpen, EDBID_FIRMWARE a_edbidfirmware) {
  if (!a_szReply) {
    OsLog(OS_LOG_ERROR, "Xml task is empty");
    return DEV_REPLY_FAIL;
  }
  const CDbLockWhen dblock(a_devdispatchtarget.edevtarget == DEV_TARGET_DATABASE);
  std::lock_guard<std::mutex> lock(m_mutex);
  m_osxmlTemplate.SetAtomIncrement(s_lAtomIncrement);
  m_osxmlTemplate.SetDispatchAtomIncrement(s_lAtomIncrement);
  m_reportinquiry.SetInterfaceopen(a_blInterfaceOpen);
  m_reportinquiry.SetFirmware(a_edbidfirmware);
  const EDEVREPLY edevreply = Walk(m_osxmlTemplate, m_reportstatus, a_szReply, a_devdispatchtarget);
  m_reportinquiry.SetInterfaceopen(false);
  return edevreply;
}

EDEVREPLY CDispatch::ProcessOutput(const char* a_szReply, const DevDispatchTarget& a_devdispatchtarget) {
  if (!a_szReply) {
    OsLog(OS_LOG_ERROR, "Xml task is empty");
    return DEV_REPLY_FAIL;
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  return Walk(m_osxmlOutput, m_reportstatusOutput, a_szReply, a_devdispatchtarget);
}

EDEVREPLY CDispatch::GetStatus() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_reportstatus.GetCode();
}

EDEVREPLY CDispatch::GetOutputStatus() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_reportstatusOutput.GetCode();
}
