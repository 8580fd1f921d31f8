// The GUI bridge: its life, the actions, the start and stop of the GUI,
// and the link's hooks.
#include "drv_cdrvguiimpl.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <iterator>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "drv_cdrvgui.h"
#include "drv_uihost.h"
#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_coswaitlimits.h"
#include "os_cosxml.h"

namespace {

constexpr long s_alDefault[] = {
    7000,  // DRV_GUIWAIT_IDLE
    1000,  // DRV_GUIWAIT_BUSY
    5000,  // DRV_GUIWAIT_RUNNING
    100,   // DRV_GUIWAIT_LOCKSTEP
    60000, // DRV_GUIWAIT_MESSAGE
};
static_assert(std::size(s_alDefault) == DRV_GUIWAIT_COUNT, "one default per wait");
constinit COsWaitLimits<DRV_GUIWAIT_COUNT> s_oswaitlimits(s_alDefault);

const char s_szExitTask[] =
    "<task id='@1111111111111111111' reply='00000000000000000000' bytes='@2222222222222222222'>\n\t<uiexit>\n\t"
    "</uiexit>\n</task>";

const DrvUiLinkNames s_drvuilinknames = {
    "GUI",     "GuiStart", "Drv2Gui", "Gui2Drv",  "DriverGuiDispatcher", "DrvGuiDriverToGui", "DrvGuiGuiToDriver",
    "buttons_", "DRV2GUI", "GUI2DRV", "drv2gui", "gui2drv",              "drv2g>>>",          "g2drv>>>",
    s_szExitTask};

constexpr long s_lDsStateEnabled = 4;

// Actions that take a record.
bool TakesRecord(EDRVGUIACTION a_edrvguiaction) {
  switch (a_edrvguiaction) {
    case DRV_GUIACTION_DISPLAYMESSAGEMANAGER:
    case DRV_GUIACTION_INTERFACELOCK:
    case DRV_GUIACTION_INTERFACEUNLOCK:
    case DRV_GUIACTION_MAINENABLEDS:
    case DRV_GUIACTION_MESSAGEMANAGER:
    case DRV_GUIACTION_MESSAGEMANAGERANDWAITFOROK:
    case DRV_GUIACTION_MESSAGEMANAGERCLEAR:
    case DRV_GUIACTION_MESSAGEMANAGERUICREATE:
    case DRV_GUIACTION_SETMODAL:
    case DRV_GUIACTION_SETREQUESTOKPRESSED:
    case DRV_GUIACTION_SETSHOWUI:
    case DRV_GUIACTION_SETSTATE:
    case DRV_GUIACTION_SETUIVISIBLE:
    case DRV_GUIACTION_TESTINFOBOX:
      return true;
    default:
      return false;
  }
}

}  // namespace

long DrvGuiWaitLimit(EDRVGUIWAIT a_edrvguiwait) { return s_oswaitlimits.Get(a_edrvguiwait); }

void DrvGuiSetWaitLimit(EDRVGUIWAIT a_edrvguiwait, long a_lMilliseconds) {
  s_oswaitlimits.Set(a_edrvguiwait, a_lMilliseconds);
}

// ---------------------------------------------------------------------------
// Replies
// ---------------------------------------------------------------------------
void CDrvGuiTask::TaskBegin(uint64_t a_u64Reply) {
  char szHeader[128];
  std::snprintf(szHeader, sizeof szHeader,
                "<task id='@1111111111111111111' reply='%020llu' bytes='@2222222222222222222'>\n",
                static_cast<unsigned long long>(a_u64Reply));
  m_str = szHeader;
}

void CDrvGuiTask::CmdStatus(int32_t a_i32Status) {
  const char* szStatus = "fail";
  if (a_i32Status == DRV_STS_SUCCESS) szStatus = "success";
  if (a_i32Status == DRV_STS_BADVALUE) szStatus = "badvalue";
  if (a_i32Status == DRV_STS_BADCMD) szStatus = "badcmd";
  m_str += "\t<reportstatus>\n\t\t<status>";
  m_str += szStatus;
  m_str += "</status>\n\t</reportstatus>\n";
}

void CDrvGuiTask::TaskEnd() { m_str += "</task>"; }

EOSSTS CDrvGuiImpl::CreateUiTaskReportStatus(uint64_t a_u64Reply, int32_t a_i32Status) {
  CDrvGuiTask drvguitask;
  drvguitask.TaskBegin(a_u64Reply);
  drvguitask.CmdStatus(a_i32Status);
  drvguitask.TaskEnd();
  return SendToGui(drvguitask.Text(), __FILE__, __LINE__);
}

// ---------------------------------------------------------------------------
// Life
// ---------------------------------------------------------------------------
CDrvGuiImpl::CDrvGuiImpl(CDatabase* a_pdatabase, CDev* a_pdev, CDriver* a_pdriver, const char* a_szPath)
    : m_pdriver(a_pdriver),
      m_pdatabase(a_pdatabase),
      m_pdev(a_pdev),
      m_drvguireports(a_pdatabase, a_pdev, a_pdriver),
      m_drvuilink(this, s_drvuilinknames) {
  m_blWiaHost = DrvUiWiaHost();
  COsString::SStrCpy(m_szPath, sizeof m_szPath, a_szPath ? a_szPath : "");
  m_posxmlFast = OsMemNew(COsXml);
  if (!m_posxmlFast) OsLog(OS_LOG_ERROR, "OsMemNew failed...");
}

// The link stops first: none of its threads calls back into what goes.
CDrvGuiImpl::~CDrvGuiImpl() {
  m_blStopRequested = true;
  WakeLockWaiters();
  WakeButtonWaiters();
  m_drvuilink.Stop();
  OsMemDelete(m_posxmlFast);
}

int32_t CDrvGuiImpl::GetGuiState() const {
  return m_blForcedEnded.load() ? DRV_UILINKSTATE_ENDED : m_drvuilink.GetState();
}

bool CDrvGuiImpl::GetDialogShown(int a_iDialog) const {
  return a_iDialog > 0 && a_iDialog < static_cast<int>(std::size(m_ablDialogShown)) &&
         m_ablDialogShown[a_iDialog].load();
}

void CDrvGuiImpl::SetDialogShown(int a_iDialog, bool a_blShown) {
  if (a_iDialog > 0 && a_iDialog < static_cast<int>(std::size(m_ablDialogShown)))
    m_ablDialogShown[a_iDialog] = a_blShown;
}

EOSSTS CDrvGuiImpl::SendToGui(const char* a_szText, const char* a_szFile, int a_iLine) {
  if (m_blNoGui) return OS_STS_SUCCESS;
  const EOSSTS eossts = m_drvuilink.Send(a_szText, a_szFile, a_iLine);
  if (eossts == OS_STS_SUCCESS && !m_drvuilink.IsReading() && m_drvuilink.GetState() == DRV_UILINKSTATE_ENDED &&
      m_blVisible && m_pdev) {
    m_pdev->SetDriverEvent(DEV_EVENT_UIBUTTON, "cancel");
  }
  return eossts;
}

// ---------------------------------------------------------------------------
// Actions
// ---------------------------------------------------------------------------
EOSSTS CDrvGuiImpl::Action(EDRVGUIACTION a_edrvguiaction, CDrvGuiBase* a_pdrvguibase) {
  if (TakesRecord(a_edrvguiaction)) {
    if (!a_pdrvguibase) {
      OsLog(OS_LOG_ERROR, "a_pdrvguibase is null...");
      m_blForcedEnded = true;
      return OS_STS_FAIL;
    }
    if (a_pdrvguibase->edrvguiaction != a_edrvguiaction) {
      OsLog(OS_LOG_ERROR, "Bad CDrvGuiBase...%d != %d", static_cast<int>(a_pdrvguibase->edrvguiaction),
            static_cast<int>(a_edrvguiaction));
      return OS_STS_FAIL;
    }
  }
  return RunAction(a_edrvguiaction, a_pdrvguibase);
}

EOSSTS CDrvGuiImpl::RunAction(EDRVGUIACTION a_edrvguiaction, CDrvGuiBase* a_pdrvguibase) {
  switch (a_edrvguiaction) {
    case DRV_GUIACTION_ECDOCUSTOMLEARNPRESSED: return Query(m_blEcdoCustomLearnPressed);
    case DRV_GUIACTION_GETMESSAGECOUNT: return Query(m_blMessageCount);
    case DRV_GUIACTION_GETSHOWUI: return Query(m_blShowUi);
    case DRV_GUIACTION_GETUIVISIBLE: return Query(m_blVisible);
    case DRV_GUIACTION_INTERFACELOCK:
      InterfaceLock(a_pdrvguibase->szName ? a_pdrvguibase->szName : "");
      return OS_STS_SUCCESS;
    case DRV_GUIACTION_INTERFACEUNLOCK:
      InterfaceUnlock(a_pdrvguibase->szName ? a_pdrvguibase->szName : "");
      return OS_STS_SUCCESS;
    case DRV_GUIACTION_ISGUIRUNNING: return Query(IsGuiRunning());
    case DRV_GUIACTION_NOGUI: return Query(m_blNoGui);
    case DRV_GUIACTION_REQUESTCANCELPRESSED: return Query(m_blCancelRequested);
    case DRV_GUIACTION_RESETFLAGS:
      ResetFlags();
      return OS_STS_SUCCESS;
    case DRV_GUIACTION_SETMESSAGECOUNT:
      m_blMessageCount = true;
      return OS_STS_SUCCESS;
    case DRV_GUIACTION_SETMODAL: return OS_STS_SUCCESS;
    case DRV_GUIACTION_SETREQUESTOKPRESSED:
      m_blOkPressed = a_pdrvguibase->i32Value != 0;
      return OS_STS_SUCCESS;
    case DRV_GUIACTION_SETSHOWUI:
      m_blShowUi = a_pdrvguibase->i32Value != 0;
      return OS_STS_SUCCESS;
    case DRV_GUIACTION_SETUIVISIBLE:
      m_blVisible = a_pdrvguibase->i32Value != 0;
      return OS_STS_SUCCESS;
    case DRV_GUIACTION_START: return Start();
    case DRV_GUIACTION_STOP: return Stop();
    case DRV_GUIACTION_UPDATEVALUES: return UpdateValues();
    default: return RunMessageAction(a_edrvguiaction, a_pdrvguibase);
  }
}

void CDrvGuiImpl::ResetFlags() {
  m_blScanRequested = false;
  m_blOkPressed = false;
  m_blCancelRequested = false;
  m_blPreviewRunning = false;
  m_blScanning = false;
  m_blMessageCount = false;
  m_blPreviewTaken = true;
}

// The child gets the resource file, the firmware file and, when set, the
// UI time-out beside the channels.
EOSSTS CDrvGuiImpl::Start() {
  const EDRVUILINKSTATE edrvuilinkstate = m_drvuilink.GetState();
  if (edrvuilinkstate != DRV_UILINKSTATE_NONE && edrvuilinkstate != DRV_UILINKSTATE_ENDED) return OS_STS_SUCCESS;
  if (edrvuilinkstate == DRV_UILINKSTATE_ENDED) {
    // The dispatcher of the GUI that ended may wait for the interface lock
    // this very task holds: it gives up before the link joins it.
    m_blStopRequested = true;
    WakeLockWaiters();
    m_drvuilink.Stop();
  }
  m_blNoGui = false;
  m_blStopRequested = false;
  m_blForcedEnded = false;
  m_blReady = false;
  m_blReadyWaited = false;
  m_blHealthSuspended = false;
  SortDispatcherTable();
  std::string strResource, strFirmware, strTimeout;
  if (g_poscfg) {
    const char* sz = g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_DRIVERPATH);
    strResource = sz ? sz : "";
    sz = g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_FIRMWAREFILENAME);
    strFirmware = sz ? sz : "";
    sz = g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_UITIMEOUT);
    if (sz && std::strtol(sz, nullptr, 0) != 0) {
      OsLogDebug(OS_LOG_INFO, "UI_TIMEOUT is turned on...");
      strTimeout = sz;
    }
  }
  const OsSpawnVariable aosspawnvariable[] = {
      {"PMX_UIRESOURCEFILE", strResource.c_str()},
      {"PMX_FIRMWARE", strFirmware.c_str()},
      {"UI_TIMEOUT", strTimeout.empty() ? nullptr : strTimeout.c_str()},
  };
  OsLog(OS_LOG_INFO, "### GUI is <%s>", m_szPath);
  if (m_drvuilink.Start(m_szPath, aosspawnvariable, std::size(aosspawnvariable)) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Failed to Start Loading the GUI!");
    m_blForcedEnded = true;
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

// A connected GUI gets "uiexit" and a few seconds to leave (the link's
// stop); waiters of the interface lock give up first, so that a stop from
// the lock's owner does not wait for the dispatcher waiting on it.
EOSSTS CDrvGuiImpl::Stop() {
  if (m_blNoGui || !*m_szPath) return OS_STS_SUCCESS;
  m_blStopRequested = true;
  m_blVisible = false;
  m_blHealthSuspended = true;
  WakeLockWaiters();
  m_drvuilink.EventSet();
  m_drvuilink.Stop();
  m_blNoGui = true;
  WakeButtonWaiters();
  // No answer to the info message being shown can come any more.
  ClearCurrentMessage();
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// The link's hooks
// ---------------------------------------------------------------------------
bool CDrvGuiImpl::UiModelReady() {
  if (m_blStopRequested) return false;
  if (!m_pdatabase) return true;
  CDbLockGuard dblockguard;
  const char* szModel = m_pdatabase->GetModelName(DB_FIRMWARE_ADF);
  return szModel && *szModel;
}

// The scan source's countdown runs down one a pass while scanning and
// starts again at 45 otherwise.
long CDrvGuiImpl::UiIdleWait() {
  if (m_blScanning) {
    if (m_lCountdown > 0) --m_lCountdown;
    return DrvGuiWaitLimit(DRV_GUIWAIT_BUSY);
  }
  m_lCountdown = 45;
  const bool blBusy = m_pdatabase && m_pdatabase->TestDbState(DB_STATE_DIAGNOSTIC);
  return DrvGuiWaitLimit(blBusy ? DRV_GUIWAIT_BUSY : DRV_GUIWAIT_IDLE);
}

// The GUI's end while it shows a dialog of a running session cancels the
// session's wait for the user.
void CDrvGuiImpl::UiLinkLost(bool a_blConnected) {
  OsLogDebug(OS_LOG_INFO, "The GUI is gone...%d", a_blConnected ? 1 : 0);
  WakeLockWaiters();
  WakeButtonWaiters();
  ClearCurrentMessage();
  if (m_blVisible && m_pdev && g_poslog && g_poslog->GetDsState() > s_lDsStateEnabled)
    m_pdev->SetDriverEvent(DEV_EVENT_UIBUTTON, "cancel");
}

void CDrvGuiImpl::UiBadTask(uint64_t a_u64Id, bool a_blId) {
  if (a_blId) CreateUiTaskReportStatus(a_u64Id, DRV_STS_BADCMD);
}
