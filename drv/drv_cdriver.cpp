// The driver object: its life (the session's objects built in order and
// torn down in the order of Cleanup) and the run of one task through its
// gates.
#include "drv_cdriver.h"

#include <cstring>
#include <stdexcept>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "db_cdbversion.h"
#include "dev_cdev.h"
#include "drv_cdrvassistant.h"
#include "drv_cdrvcommandfsm.h"
#include "drv_cdrvdispatch.h"
#include "drv_cdrvgui.h"
#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_costime.h"
#include "os_cosxml.h"
#include "os_cosxmltask.h"

namespace {

constexpr long s_lTaskHead = 256;
constexpr long s_lLockTimeout = 1000;
constexpr long s_lLockTries = 10;
constexpr long s_lLockSleep = 100;

bool Holds(const char* a_szTask, const char* a_szTag) { return COsXml::CheckForCommand(a_szTask, a_szTag, s_lTaskHead); }


// What a creation left null fails Init.
template <class T>
bool Made(T* a_p) {
  if (a_p) return true;
  OsLog(OS_LOG_ERROR, "OsMemNew failed...");
  return false;
}

// Thrown by a constructor whose Init failed.
struct DriverInitFailed : std::runtime_error {
  DriverInitFailed() : std::runtime_error("CDriver::Init failed") {}
};

}  // namespace

std::recursive_mutex& CDriver::TaskMutex() {
  static std::recursive_mutex s_recursivemutexTask;
  return s_recursivemutexTask;
}

bool CDriver::IsGetEvent(const char* a_szTask) {
  return Holds(a_szTask, "<get>") && Holds(a_szTask, "<id>eventlist</id>");
}

bool CDriver::IsCommand(const char* a_szCommand) const { return std::strcmp(m_szCommand, a_szCommand) == 0; }

bool CDriver::IsAnyCommand(std::initializer_list<const char*> a_listCommands) const {
  for (const char* szCommand : a_listCommands) {
    if (IsCommand(szCommand)) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Life
// ---------------------------------------------------------------------------
CDriver::CDriver() {
  if (Init() != OS_STS_SUCCESS) throw DriverInitFailed();
}

CDriver::~CDriver() { Cleanup(); }

EOSSTS CDriver::Init() {
  m_pdrvguiinterfacelock = OsMemNew(CDrvGuiInterfaceLock);
  m_pdrvguiinterfaceunlock = OsMemNew(CDrvGuiInterfaceUnlock);
  if (Made(m_pdrvguiinterfacelock) && Made(m_pdrvguiinterfaceunlock)) {
    m_posxmltask = OsMemNew(COsXmlTask, nullptr, DRV_TASKBUILDER_SIZE);
    m_posxmltaskEventReply = OsMemNew(COsXmlTask, "ReportEventReply", DRV_EVENTBUILDER_SIZE);
  }
  if (Made(m_posxmltask) && Made(m_posxmltaskEventReply)) {
    // Made and freed under the database lock: the data entry borrows the
    // process's database under it.
    CDbLockGuard dblockguard;
    m_pdatabase = OsMemNew(CDatabase);
    // A database made while another lives holds no datum table.
    if (m_pdatabase && !m_pdatabase->IsValid()) OsMemDelete(m_pdatabase);
  }
  if (Made(m_pdatabase)) m_pdrvdispatch = OsMemNew(CDrvDispatch);
  if (Made(m_pdrvdispatch)) m_pdev = OsMemNew(CDev, m_pdatabase, this, &CDriver::AdfToFlatbedProc);
  if (Made(m_pdev)) m_pdrvgui = OsMemNew(CDrvGui, m_pdatabase, m_pdev, this);
  if (Made(m_pdrvgui)) m_pdrvassistant = OsMemNew(CDrvAssistant, m_pdatabase, this);
  if (Made(m_pdrvassistant)) m_pdrvcommandfsm = OsMemNew(CDrvCommandFsm, m_pdrvgui);
  if (!Made(m_pdrvcommandfsm)) {
    Cleanup();
    return OS_STS_FAIL;
  }
  m_pdev->RegisterPnpchangeProc(&CDriver::PnpChangeProc, this);
  const EOSSTS eossts = m_pdrvdispatch->Init(m_pdrvcommandfsm, m_pdatabase, m_pdev, m_pdrvgui, this);
  if (eossts != OS_STS_SUCCESS) OsLogDebug(OS_LOG_INFO, "Init failed...%d", static_cast<int>(eossts));
  CDbLockGuard dblockguard;
  if (g_poscfg && m_pdatabase->GetDbVersion()) m_pdatabase->GetDbVersion()->SetVersionDriver(g_poscfg->GetVersion(true));
  return OS_STS_SUCCESS;
}

void CDriver::Cleanup() {
  // The rescan thread and the bridges' threads work on the device facade:
  // they end first.
  StopRescanThread();
  if (m_pdrvgui) m_pdrvgui->Action(DRV_GUIACTION_STOP, nullptr);
  if (m_pdrvassistant) {
    CDrvAssistantAction drvassistantaction;
    drvassistantaction.edrvassistantaction = DRV_ASSISTANTACTION_SCANEND;
    m_pdrvassistant->Action(DRV_ASSISTANTACTION_SCANEND, &drvassistantaction);
  }
  OsMemDelete(m_pdev);
  OsMemDelete(m_pdrvdispatch);
  OsMemDelete(m_pdrvcommandfsm);
  OsMemDelete(m_pdrvassistant);
  OsMemDelete(m_pdrvgui);
  {
    CDbLockGuard dblockguard;
    OsMemDelete(m_pdatabase);
  }
  OsMemDelete(m_posxmltaskEventReply);
  OsMemDelete(m_pdrvguiinterfacelock);
  OsMemDelete(m_pdrvguiinterfaceunlock);
  OsMemDelete(m_posxmltask);
  if (m_devicelog.pcData) OsMemFree(m_devicelog.pcData);
  m_devicelog.pcData = nullptr;
  m_devicelog.sizetData = 0;
  m_devicelog.sizetCapacity = 0;
}

// ---------------------------------------------------------------------------
// One task
// ---------------------------------------------------------------------------
bool CDriver::DriverEntry(const char* a_szTask, const char** a_pszReply) {
  *a_pszReply = nullptr;
  if (CheckForGetEvent(a_szTask, a_pszReply)) return m_blDestroy;
  std::lock_guard<std::recursive_mutex> lock(TaskMutex());
  // A task sent from inside a task (the same thread holds the lock) leaves
  // the outer task's command as it found it.
  char szOuter[sizeof m_szCommand];
  std::memcpy(szOuter, m_szCommand, sizeof szOuter);
  // The dispatcher reads the task once: here for its command, then walks
  // what it read.
  if (m_pdrvdispatch) {
    m_pdrvdispatch->ReadCommand(a_szTask, m_szCommand, sizeof m_szCommand);
  } else {
    CDrvDispatchImpl::ReadTaskCommand(a_szTask, m_szCommand, sizeof m_szCommand);
  }
  OsLogDebug(OS_LOG_INFO, "%s", "");
  OsLogDebug(OS_LOG_PROTOCOL, "<CALLER2DRV>%s</CALLER2DRV>", a_szTask);
  if (m_pdrvgui) m_pdrvgui->Action(DRV_GUIACTION_INTERFACELOCK, m_pdrvguiinterfacelock);
  const char* szUnlock = RunTask(a_szTask, a_pszReply);
  if (m_pdrvdispatch) m_pdrvdispatch->EndTask();
  if (szUnlock) Unlock(szUnlock);
  std::memcpy(m_szCommand, szOuter, sizeof szOuter);
  return m_blDestroy;
}

const char* CDriver::RunTask(const char* a_szTask, const char** a_pszReply) {
  if (!m_pdev) {
    Dispatch(a_szTask, a_pszReply);
    return m_pdrvgui ? "DriverEntry.normal" : nullptr;
  }
  const long lTimeout = LockTimeout(a_szTask, a_pszReply);
  if (lTimeout < 0) return "DriverEntry.resourcelock";
  if (IsCommand("resourcelock")) {
    m_blExplicitLock = true;
    Answer(a_szTask, m_pdev->ResourceLock() == OS_STS_SUCCESS ? "success" : "fail", a_pszReply);
    return "DriverEntry.resourcelock";
  }
  if (IsCommand("resourceunlock")) {
    m_pdev->ResourceUnlock();
    Answer(a_szTask, "success", a_pszReply);
    return "DriverEntry.resourcelock";
  }
  bool blLocked = false;
  if (!TakeResourceLock(a_szTask, lTimeout, &blLocked)) {
    Answer(a_szTask, "fail", a_pszReply);
    return "DriverEntry.busy";
  }
  Dispatch(a_szTask, a_pszReply);
  if (blLocked || (!m_blExplicitLock && IsCommand("scanend"))) m_pdev->ResourceUnlock();
  return m_pdrvgui ? "DriverEntry.normal" : nullptr;
}

// Once a session is up, a scanner that is off line answers every task but
// those that end the session or report its status.
long CDriver::LockTimeout(const char* a_szTask, const char** a_pszReply) {
  if (IsAnyCommand({"interfaceopen", "sessionbegin", "interfaceclose", "resourceunlock", "scanend", "sessionend",
                    "uiend"}))
    return 0;
  bool blOffline = false;
  if (g_poslog && g_poslog->GetDsState() > 3) {
    CDbLockGuard dblockguard;
    blOffline = m_pdatabase->GetCurrentLongFromId(DB_ID_DEVICEONLINE) != DB_ID_DEVICEONLINE_ENUM_TRUE;
  }
  if (!blOffline) return s_lLockTimeout;
  if (IsCommand("notifydevicestatus")) return 0;
  Answer(a_szTask, "disconnected", a_pszReply);
  return -1;
}

bool CDriver::TakeResourceLock(const char* a_szTask, long a_lTimeout, bool* a_pblLocked) {
  *a_pblLocked = false;
  if (m_blExplicitLock || a_lTimeout == 0) return true;
  EOSSTS eossts = OS_STS_FAIL;
  long lSlept = 0;
  for (long lTry = 1; lTry <= s_lLockTries; ++lTry) {
    eossts = m_pdev->ResourceLock();
    if (eossts == OS_STS_SUCCESS) {
      *a_pblLocked = true;
      return true;
    }
    if (eossts != static_cast<EOSSTS>(DEV_STS_BUSY)) {
      OsLog(OS_LOG_ERROR, "ResourceLock failed...");
      break;
    }
    if (lTry == s_lLockTries || lSlept >= a_lTimeout) break;
    COsTime::Sleep(s_lLockSleep);
    lSlept += s_lLockSleep;
  }
  OsLog(OS_LOG_ERROR, "Failed to lock the resource %d", static_cast<int>(eossts));
  OsLog(OS_LOG_PROTOCOL, "<CALLER2DRV>%s</CALLER2DRV>", a_szTask);
  return IsAnyCommand({"sessionend", "interfaceclose", "notifydevicestatus"});
}

// An interfaceopen refused after the session opened leaves the session as
// it was: only a failed first open ends it.
void CDriver::Dispatch(const char* a_szTask, const char** a_pszReply) {
  const EDRVSTATE edrvstateBefore = m_pdrvcommandfsm->GetCurrentState();
  const EOSSTS eossts = m_pdrvdispatch->Process(a_szTask);
  m_pdrvcommandfsm->ChangeState(eossts);
  *a_pszReply = m_pdatabase ? m_pdatabase->GetXmlTask()->GetTaskBuffer() : COsXmlTask::ReportStatusSuccess();
  OsLogDebug(OS_LOG_PROTOCOL, "<DRV2CALLER>%s</DRV2CALLER>", *a_pszReply);
  if (eossts == OS_STS_FAIL && IsCommand("interfaceopen") && edrvstateBefore == DRV_STATE_CLOSED) m_blDestroy = true;
  if (IsCommand("interfaceclose")) m_blDestroy = true;
}

// Gate replies answer this task, not the one before: its id is read first.
void CDriver::Answer(const char* a_szTask, const char* a_szStatus, const char** a_pszReply) {
  int iReplyId = 0;
  if (!CDrvDispatchImpl::ReadRawTaskId(a_szTask, &iReplyId)) iReplyId = 0;
  CDrvDispatchImpl::NextIds(m_pdatabase, iReplyId);
  m_pdatabase->CreateTaskReportStatus(a_szStatus, nullptr);
  *a_pszReply = m_pdatabase->GetXmlTask()->GetTaskBuffer();
  OsLogDebug(OS_LOG_PROTOCOL, "<DRV2CALLER>%s</DRV2CALLER>", *a_pszReply);
}

void CDriver::Unlock(const char* a_szName) {
  if (!m_pdrvgui || !m_pdrvguiinterfaceunlock) return;
  m_pdrvguiinterfaceunlock->szName = a_szName;
  m_pdrvgui->Action(DRV_GUIACTION_INTERFACEUNLOCK, m_pdrvguiinterfaceunlock);
}

// ---------------------------------------------------------------------------
// The event list
// ---------------------------------------------------------------------------
// The events come back in the thread's own block of the named builder, so
// a reply stays whole while another thread fetches the next list.
// The quick look first: most tasks are no get of the event list. Parsing
// needs the service layer, which this object's session holds.
bool CDriver::CheckForGetEvent(const char* a_szTask, const char** a_pszReply) {
  if (!IsGetEvent(a_szTask)) return false;
  char szCommand[sizeof m_szCommand];
  if (!CDrvDispatchImpl::ReadTaskCommand(a_szTask, szCommand, sizeof szCommand) || std::strcmp(szCommand, "get") != 0)
    return false;
  OsLogDebug(OS_LOG_INFO, "%s", "");
  OsLogDebug(OS_LOG_PROTOCOL, "<CALLER2DRV>%s</CALLER2DRV>", a_szTask);
  uint64_t u64Id = 0;
  uint64_t u64Reply = 0;
  if (!COsXml::GetTaskPropertyId(a_szTask, &u64Id) || u64Id > INT32_MAX) u64Id = 0;
  if (!COsXml::GetTaskPropertyReply(a_szTask, &u64Reply) || u64Reply > INT32_MAX) u64Reply = 0;
  std::lock_guard<std::mutex> lock(m_mutexEventReply);
  m_posxmltaskEventReply->Clear();
  if (m_pdev) m_pdev->GetDriverEvent(m_posxmltaskEventReply);
  if (m_posxmltaskEventReply->Size() == 0) {
    m_posxmltaskEventReply->StartTask(0, 0, "fail");
    m_posxmltaskEventReply->FinalizeTask();
  }
  m_posxmltaskEventReply->SetId(static_cast<int>(u64Id));
  m_posxmltaskEventReply->SetReplyId(static_cast<int>(u64Reply));
  *a_pszReply = m_posxmltaskEventReply->GetTaskBuffer();
  OsLogDebug(OS_LOG_PROTOCOL, "<DRV2CALLER>%s</DRV2CALLER>", *a_pszReply);
  return true;
}
