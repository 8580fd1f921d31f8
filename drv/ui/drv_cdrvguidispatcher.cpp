// The GUI's commands: the table the dispatcher thread ("DriverGuiDispatcher")
// looks each command up in, the dispatcher's loop body, and the commands of
// readiness and of the user's answers to dialogs and messages. The answers
// "dialogcleared" and "messagecleared" also come on the reader's thread at
// once (the fast path), so that they never queue behind a long command.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>
#include <string>

#include "db_cdatabase.h"
#include "dev_cdev.h"
#include "drv_cdrvguiimpl.h"
#include "os_coslog.h"
#include "os_cosxml.h"

namespace {

typedef EOSSTS (*PFNDISPATCHER)(CDrvGuiImpl* a_pdrvguiimpl, COsXml* a_posxml, long long a_llId);

struct DrvDispatcherRow {
  const char* szName;
  PFNDISPATCHER pfnDispatcher;
};

// Sorted by name at each start of the GUI, searched by halves.
DrvDispatcherRow s_drvdispatchertable[] = {
    {"dialogcleared", &CDrvGuiImpl::DispatcherDialogClearedDelegate},
    {"get", &CDrvGuiImpl::DispatcherGetDelegate},
    {"getallcamerawindowvalues", &CDrvGuiImpl::DispatcherGetAllCameraWindowValuesDelegate},
    {"getregistered", &CDrvGuiImpl::DispatcherGetRegisteredDelegate},
    {"getvalues", &CDrvGuiImpl::DispatcherGetValuesDelegate},
    {"getvaluesregistered", &CDrvGuiImpl::DispatcherGetValuesRegisteredDelegate},
    {"messagecleared", &CDrvGuiImpl::DispatcherMessageClearedDelegate},
    {"register", &CDrvGuiImpl::DispatcherRegisterDelegate},
    {"uiready", &CDrvGuiImpl::DispatcherUiReadyDelegate},
    {"uivisible", &CDrvGuiImpl::DispatcherUiVisibleDelegate},
    {"getallversions", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherGetAllVersions>},
    {"getlabels", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherGetLabels>},
    {"getlogdirectory", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherGetLogDirectory>},
    {"querysimulation", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherQuerySimulation>},
    {"querysupport", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherQuerySupport>},
    {"reportversionuser", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherReportVersionUser>},
    {"setdebug", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherSetDebug>},
    {"setsimulation", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherSetSimulation>},
    {"ecdocustombegin", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatchEcdoCustom>},
    {"ecdocustomend", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatchEcdoCustom>},
    {"getecdo", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatchEcdoCustom>},
    {"getecdocustom", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatchEcdoCustom>},
    {"ecdocustomsettingssingle", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatchEcdoCustom>},
    {"ecdocustomsettingsmultiple", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatchEcdoCustom>},
    {"ecdocustomsave", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatchEcdoCustom>},
    {"ecdocustomreset", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatchEcdoCustom>},
    {"ecdocustomrename", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatchEcdoCustom>},
    {"ecdocustomnew", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatchEcdoCustom>},
    {"ecdocustomimport", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatchEcdoCustom>},
    {"ecdocustomexport", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatchEcdoCustom>},
    {"ecdocustomdelete", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatchEcdoCustom>},
    {"passthroughnexil", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherPassThroughNexil>},
    {"autocolorlearn", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherAutoColorLearn>},
    {"ecdocustomlearnvariability",
     &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherEcdoCustomLearnVariability>},
    // Scan, preview and service commands.
    {"calibratebegin", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherCalibrateBegin>},
    {"calibrateend", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherCalibrateEnd>},
    {"calibratereset", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherCalibrateReset>},
    {"calibraterun", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherCalibrateRun>},
    {"clearlog", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherClearLog>},
    {"diagnosticbegin", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherDiagnosticBegin>},
    {"diagnosticend", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherDiagnosticEnd>},
    {"diagnosticrun", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherDiagnosticRun>},
    {"downloadbegin", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherDownloadBegin>},
    {"downloadend", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherDownloadEnd>},
    {"downloadrun", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherDownloadRun>},
    {"imageend", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherImageEnd>},
    {"requestcancel", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherRequestCancel>},
    {"requestok", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherRequestOk>},
    {"requestpreview", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherRequestPreview>},
    {"requestpreviewcancel", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherRequestPreviewCancel>},
    {"requestscan", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherRequestScan>},
    {"requestscancancel", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherRequestScanCancel>},
    {"resetscanner", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherResetScanner>},
    // Profiles.
    {"create", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherCreate>},
    {"destroy", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherDestroy>},
    {"export", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherExport>},
    {"import", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherImport>},
    {"rename", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherRename>},
    {"reset", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherReset>},
    // Value changes and windows.
    {"set", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherSet>},
    {"setvalue", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherSetValue>},
    {"setvaluelist", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherSetValueList>},
    {"updateresume", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherUpdateResume>},
    {"updatesuspend", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherUpdateSuspend>},
    {"windowadd", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherWindowAdd>},
    {"windowdelete", &CDrvGuiImpl::DispatcherDelegate<&CDrvGuiImpl::DispatcherWindowDelete>},
};

int CompareRows(const void* a_pv1, const void* a_pv2) {
  return std::strcmp(static_cast<const DrvDispatcherRow*>(a_pv1)->szName,
                     static_cast<const DrvDispatcherRow*>(a_pv2)->szName);
}

const DrvDispatcherRow* FindRow(const char* a_szName) {
  const DrvDispatcherRow drvdispatcherrowKey = {a_szName, nullptr};
  return static_cast<const DrvDispatcherRow*>(std::bsearch(&drvdispatcherrowKey, s_drvdispatchertable,
                                                           std::size(s_drvdispatchertable),
                                                           sizeof s_drvdispatchertable[0], CompareRows));
}

constexpr long s_lDeviceOnline = 2;  // CDev::GetDeviceStatus
constexpr long s_lName = 64;  // a command's name: 63 characters at most
constexpr long s_lText = 512;

// The text of the current node's child named a_szChild; empty when none.
void ChildText(COsXml* a_posxml, const char* a_szChild, char* a_szText, long a_lText) {
  *a_szText = 0;
  if (a_posxml->NodePush() != OS_STS_SUCCESS) return;
  if (a_posxml->NodeChild() == OS_STS_SUCCESS) {
    char szName[s_lName];
    do {
      if (a_posxml->NodeGetName(szName, sizeof szName) == OS_STS_SUCCESS && std::strcmp(szName, a_szChild) == 0) {
        if (a_posxml->NodeGetContent(a_szText, a_lText) != OS_STS_SUCCESS) *a_szText = 0;
        break;
      }
    } while (a_posxml->NodeSibling() == OS_STS_SUCCESS);
  }
  a_posxml->NodePop();
}

bool HasChild(COsXml* a_posxml, const char* a_szChild) {
  bool blFound = false;
  if (a_posxml->NodePush() != OS_STS_SUCCESS) return false;
  if (a_posxml->NodeChild() == OS_STS_SUCCESS) {
    char szName[s_lName];
    do {
      blFound = a_posxml->NodeGetName(szName, sizeof szName) == OS_STS_SUCCESS && std::strcmp(szName, a_szChild) == 0;
    } while (!blFound && a_posxml->NodeSibling() == OS_STS_SUCCESS);
  }
  a_posxml->NodePop();
  return blFound;
}

// The dialog types the GUI answers, by the dialog kind whose shown flag
// they clear ("message" has none).
struct DrvDialogType {
  const char* szName;
  int iDialog;
};
constexpr DrvDialogType s_adrvdialogtype[] = {
    {"calibrate", 1}, {"diagnostic", 2}, {"firmwaredownload", 3}, {"message", 0},
    {"powerup", 5},   {"scanning", 6},   {"deviceselection", 8},
};

// The interface lock around one task, given back on every way out.
class DispatcherLock {
 public:
  explicit DispatcherLock(CDrvGuiImpl* a_pdrvguiimpl)
      : m_pdrvguiimpl(a_pdrvguiimpl), m_blTaken(a_pdrvguiimpl->InterfaceLock("DrvGuiDispatcher")) {}
  ~DispatcherLock() {
    if (m_blTaken) m_pdrvguiimpl->InterfaceUnlock(m_szName);
  }
  DispatcherLock(const DispatcherLock&) = delete;
  DispatcherLock& operator=(const DispatcherLock&) = delete;
  void SetName(const char* a_szName) { m_szName = a_szName; }

 private:
  CDrvGuiImpl* m_pdrvguiimpl;
  bool m_blTaken;
  const char* m_szName = "DrvGuiDispatcher-2";
};

}  // namespace

// Once: a dispatcher of another GUI may be searching the table meanwhile.
void CDrvGuiImpl::SortDispatcherTable() {
  static std::once_flag s_onceflag;
  std::call_once(s_onceflag, [] {
    std::qsort(s_drvdispatchertable, std::size(s_drvdispatchertable), sizeof s_drvdispatchertable[0], CompareRows);
  });
}

// ---------------------------------------------------------------------------
// The dispatcher
// ---------------------------------------------------------------------------
// A task the dispatcher cannot read is answered "badcmd" when its id can be
// read, and the dispatcher goes on with the next: the GUI keeps its answers.
void CDrvGuiImpl::UiDispatch(COsXml* a_posxml) {
  char szId[32] = "";
  char szReply[32] = "";
  a_posxml->NodeRewind();
  const bool blId = a_posxml->NodeGetProperty("id", szId, sizeof szId) == OS_STS_SUCCESS && *szId;
  const bool blReply = a_posxml->NodeGetProperty("reply", szReply, sizeof szReply) == OS_STS_SUCCESS;
  const uint64_t u64Id = blId ? std::strtoull(szId, nullptr, 10) : 0;
  if (!blId || !blReply) {
    OsLog(OS_LOG_ERROR, "GetProperty failed...");
    if (blId) CreateUiTaskReportStatus(u64Id, DRV_STS_BADCMD);
    return;
  }
  DispatcherLock dispatcherlock(this);
  if (a_posxml->NodeChild() != OS_STS_SUCCESS) return;
  do {
    char szName[s_lName] = "";
    if (a_posxml->NodeGetName(szName, sizeof szName) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "NodeGetName failed...");
      dispatcherlock.SetName("DrvGuiDispatcher-1");
      CreateUiTaskReportStatus(u64Id, DRV_STS_BADCMD);
      return;
    }
    const DrvDispatcherRow* pdrvdispatcherrow = FindRow(szName);
    if (!pdrvdispatcherrow) {
      OsLogDebug(OS_LOG_INFO, "Unsupported cmd: <%s>", szName);
      CreateUiTaskReportStatus(u64Id, DRV_STS_BADCMD);
      continue;
    }
    // Answered on the reader's thread already.
    if (pdrvdispatcherrow->pfnDispatcher == &CDrvGuiImpl::DispatcherMessageClearedDelegate) continue;
    if (m_pdatabase) m_pdatabase->SetDbState(DB_STATE_GUI);
    pdrvdispatcherrow->pfnDispatcher(this, a_posxml, static_cast<long long>(u64Id));
    if (m_pdatabase) m_pdatabase->ClearDbState(DB_STATE_GUI);
  } while (a_posxml->NodeSibling() == OS_STS_SUCCESS);
}

// The reader's thread: the answers to dialogs and messages, parsed in its
// own document.
bool CDrvGuiImpl::UiFastPath(const char* a_pcTask, size_t a_sizetTask, uint64_t a_u64Id) {
  if (ScanFastPath(a_pcTask, a_sizetTask, a_u64Id)) return true;
  const std::string strHead(a_pcTask, std::min(a_sizetTask, CDrvUiLink::s_sizetFastPath));
  const bool blMessage = strHead.find("<messagecleared>") != std::string::npos;
  const bool blDialog = !blMessage && strHead.find("<dialogcleared>") != std::string::npos;
  if ((!blMessage && !blDialog) || !m_posxmlFast) return false;
  const std::string strTask(a_pcTask, a_sizetTask);
  if (m_posxmlFast->DocumentLoad(strTask.c_str(), static_cast<long>(strTask.size())) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Load failed...");
    OsLog(OS_LOG_ERROR, "%s", strTask.c_str());
    CreateUiTaskReportStatus(a_u64Id, DRV_STS_BADCMD);
    return true;
  }
  // The command element: the task's first child of that name.
  m_posxmlFast->NodeRewind();
  bool blFound = false;
  if (m_posxmlFast->NodeChild() == OS_STS_SUCCESS) {
    char szName[s_lName];
    do {
      blFound = m_posxmlFast->NodeGetName(szName, sizeof szName) == OS_STS_SUCCESS &&
                std::strcmp(szName, blMessage ? "messagecleared" : "dialogcleared") == 0;
    } while (!blFound && m_posxmlFast->NodeSibling() == OS_STS_SUCCESS);
  }
  if (!blFound) {
    m_posxmlFast->DocumentFree();
    return false;
  }
  if (blMessage) {
    DispatcherMessageCleared(m_posxmlFast, static_cast<long long>(a_u64Id));
  } else {
    DispatcherDialogCleared(m_posxmlFast, static_cast<long long>(a_u64Id));
  }
  m_posxmlFast->DocumentFree();
  return true;
}

// ---------------------------------------------------------------------------
// Readiness
// ---------------------------------------------------------------------------
EOSSTS CDrvGuiImpl::DispatcherUiReady(COsXml*, long long a_llId) {
  CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), DRV_STS_SUCCESS);
  m_blReady = true;
  m_drvuilink.MarkReady();
  m_drvuilink.EventSet();
  WakeLockWaiters();
  return OS_STS_SUCCESS;
}

EOSSTS CDrvGuiImpl::DispatcherUiVisible(COsXml*, long long a_llId) {
  CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), DRV_STS_SUCCESS);
  m_blVisible = true;
  if (m_pdev && m_pdev->GetDeviceStatus() != s_lDeviceOnline)
    MessageManager(DEV_DLG_SCANNING, DEV_MSG_DEVICEOFFLINE, nullptr, 0, DEV_BUTTONS_NONE, nullptr);
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// The user's answers
// ---------------------------------------------------------------------------
void CDrvGuiImpl::PressButton(const char* a_szButton) {
  if (m_ablButton[BUTTON_OK] || m_ablButton[BUTTON_CANCEL] || m_ablButton[BUTTON_YES] || m_ablButton[BUTTON_NO]) {
    OsLog(OS_LOG_ERROR, "Info button press when we aleady have one in the queue...ok:%d cancel:%d yes:%d no:%d",
          m_ablButton[BUTTON_OK] ? 1 : 0, m_ablButton[BUTTON_CANCEL] ? 1 : 0, m_ablButton[BUTTON_YES] ? 1 : 0,
          m_ablButton[BUTTON_NO] ? 1 : 0);
  }
  static const char* const s_aszButton[BUTTON_COUNT] = {"ok", "cancel", "yes", "no"};
  for (int i = 0; i < BUTTON_COUNT; ++i) {
    if (std::strcmp(a_szButton, s_aszButton[i]) == 0) {
      m_ablButton[i] = true;
      return;
    }
  }
  OsLog(OS_LOG_ERROR, "Unrecognized button...<%s>", a_szButton);
  for (std::atomic<bool>& blButton : m_ablButton) blButton = true;
}

EOSSTS CDrvGuiImpl::DispatcherDialogCleared(COsXml* a_posxml, long long a_llId) {
  CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), DRV_STS_SUCCESS);
  char szButton[s_lText];
  char szDialog[s_lText];
  ChildText(a_posxml, "button", szButton, sizeof szButton);
  ChildText(a_posxml, "dialogtype", szDialog, sizeof szDialog);
  bool blKnown = false;
  for (const DrvDialogType& drvdialogtype : s_adrvdialogtype) {
    if (std::strcmp(szDialog, drvdialogtype.szName) != 0) continue;
    blKnown = true;
    SetDialogShown(drvdialogtype.iDialog, false);
    if (drvdialogtype.iDialog == 0) ClearCurrentMessage();
  }
  if (!blKnown) OsLog(OS_LOG_ERROR, "Unexpected dialog...<%s>", szDialog);
  PressButton(szButton);
  m_drvuilink.EventSet();
  WakeButtonWaiters();
  return OS_STS_SUCCESS;
}

EOSSTS CDrvGuiImpl::DispatcherMessageCleared(COsXml* a_posxml, long long a_llId) {
  CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), DRV_STS_SUCCESS);
  if (!HasChild(a_posxml, "button")) {
    OsLog(OS_LOG_ERROR, "No button named...");
    for (std::atomic<bool>& blButton : m_ablButton) blButton = true;
  } else {
    char szButton[s_lText];
    ChildText(a_posxml, "button", szButton, sizeof szButton);
    PressButton(szButton);
  }
  ClearCurrentMessage();
  m_drvuilink.EventSet();
  WakeButtonWaiters();
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// Forwarders of the table
// ---------------------------------------------------------------------------
EOSSTS CDrvGuiImpl::DispatcherUiReadyDelegate(CDrvGuiImpl* a_pdrvguiimpl, COsXml* a_posxml, long long a_llId) {
  return a_pdrvguiimpl->DispatcherUiReady(a_posxml, a_llId);
}

EOSSTS CDrvGuiImpl::DispatcherUiVisibleDelegate(CDrvGuiImpl* a_pdrvguiimpl, COsXml* a_posxml, long long a_llId) {
  return a_pdrvguiimpl->DispatcherUiVisible(a_posxml, a_llId);
}

EOSSTS CDrvGuiImpl::DispatcherDialogClearedDelegate(CDrvGuiImpl* a_pdrvguiimpl, COsXml* a_posxml, long long a_llId) {
  return a_pdrvguiimpl->DispatcherDialogCleared(a_posxml, a_llId);
}

EOSSTS CDrvGuiImpl::DispatcherMessageClearedDelegate(CDrvGuiImpl* a_pdrvguiimpl, COsXml* a_posxml,
                                                     long long a_llId) {
  return a_pdrvguiimpl->DispatcherMessageCleared(a_posxml, a_llId);
}
