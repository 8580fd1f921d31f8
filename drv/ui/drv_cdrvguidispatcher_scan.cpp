// The GUI's scan commands: a scan request, the cancel of a scan or a
// preview, the settings dialog's OK and cancel, and the end of a preview
// image. "requestscancancel" and "imageend" come on the reader's thread at
// once (the fast path), so that a cancel is read while the dispatcher still
// runs a long command; an "imageend" that arrives while a preview runs is
// left to the dispatcher, which takes it right after the preview.
//
// Nothing here runs under the database lock but the short reads and writes
// of values: the driver's and the engine's calls take it as they need.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "drv_cdriver.h"
#include "drv_cdrvguiimpl.h"
#include "os_coslog.h"
#include "os_cosxml.h"

namespace {

// The settings reach the device before the OK button's event is queued.
constexpr long s_lOkSettle = 100;

}  // namespace

void CDrvGuiImpl::PreviewModeOff() {
  if (!m_pdatabase) return;
  CDbLockGuard dblockguard;
  m_pdatabase->SetCurrentLongFromId(DB_ID_PREVIEWMODE, DB_ID_PREVIEWMODE_ENUM_FALSE, false);
}

// An unasked empty image: the GUI drops the preview it waits for.
EOSSTS CDrvGuiImpl::SendEmptyImageReport() {
  CDrvGuiTask drvguitask;
  drvguitask.TaskBegin(0);
  CmdReportImage(drvguitask, "\t\t<imagesize>0</imagesize>\n");
  drvguitask.TaskEnd();
  return SendToGui(drvguitask.Text(), __FILE__, __LINE__);
}

// 0, or 3 (logged) for a null or empty text.
EOSSTS CDrvGuiImpl::CmdReportImage(CDrvGuiTask& a_drvguitask, const char* a_szReportImage) {
  if (!a_szReportImage || !*a_szReportImage) {
    OsLog(OS_LOG_ERROR, "a_szReportImage is null...");
    return OS_STS_BAD_ARGUMENT;
  }
  a_drvguitask.Append("\t<reportimage>\n");
  a_drvguitask.Append(a_szReportImage);
  a_drvguitask.Append("\t</reportimage>\n");
  return OS_STS_SUCCESS;
}

EOSSTS CDrvGuiImpl::DispatcherRequestScan(COsXml*, long long a_llId) {
  const uint64_t u64Reply = static_cast<uint64_t>(a_llId);
  if (m_blScanRequested || m_blPreviewRunning) return CreateUiTaskReportStatus(u64Reply, DRV_STS_SUCCESS);
  m_blScanRequested = true;
  CreateUiTaskReportStatus(u64Reply, DRV_STS_SUCCESS);
  if (m_pdatabase) {
    CDbLockGuard dblockguard;
    m_pdatabase->ConfigSetNumber("useendofsheet", 1, DB_CONFIGTARGET_COMMON);
  }
  if (m_pdriver) m_pdriver->ScanBegin(DRV_SCANTYPE_NORMAL, false);
  if (m_pdev) m_pdev->AllowNotifyImageAvailable(true);
  return OS_STS_SUCCESS;
}

// The empty image and the answer go out under the preview lock, so that
// they never interleave with the preview's own answer.
EOSSTS CDrvGuiImpl::DispatcherRequestScanCancel(COsXml*, long long a_llId) {
  const uint64_t u64Reply = static_cast<uint64_t>(a_llId);
  PreviewModeOff();
  if (m_blCancelRequested.exchange(true)) return CreateUiTaskReportStatus(u64Reply, DRV_STS_SUCCESS);
  if (m_pdriver) m_pdriver->SetGotImage(true);
  {
    std::lock_guard<std::mutex> lock(m_mutexPreview);
    SendEmptyImageReport();
    CreateUiTaskReportStatus(u64Reply, DRV_STS_SUCCESS);
  }
  if (GetDialogShown(DEV_DLG_SCANNING))
    MessageManager(DEV_DLG_SCANNING, DEV_MSG_CANCELING, nullptr, 0, DEV_BUTTONS_NONE, nullptr);
  if (m_pdev) m_pdev->ScanRequestStop(DEV_STOPACTION_REQUEST);
  return OS_STS_SUCCESS;
}

EOSSTS CDrvGuiImpl::DispatcherRequestPreviewCancel(COsXml*, long long a_llId) {
  PreviewModeOff();
  if (m_pdev) m_pdev->ScanEnd();
  return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), DRV_STS_SUCCESS);
}

EOSSTS CDrvGuiImpl::DispatcherRequestOk(COsXml*, long long a_llId) {
  const uint64_t u64Reply = static_cast<uint64_t>(a_llId);
  if (m_blOkPressed.exchange(true)) return CreateUiTaskReportStatus(u64Reply, DRV_STS_SUCCESS);
  PreviewModeOff();
  if (m_pdev) m_pdev->SetAttributes(true, false);
  CreateUiTaskReportStatus(u64Reply, DRV_STS_SUCCESS);
  std::this_thread::sleep_for(std::chrono::milliseconds(s_lOkSettle));
  if (m_pdev) m_pdev->SetDriverEvent(DEV_EVENT_UIBUTTON, "ok");
  return OS_STS_SUCCESS;
}

EOSSTS CDrvGuiImpl::DispatcherRequestCancel(COsXml*, long long a_llId) {
  PreviewModeOff();
  if (m_pdatabase) {
    CDbLockGuard dblockguard;
    m_pdatabase->RestoreAll();
  }
  CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), DRV_STS_SUCCESS);
  if (m_pdev) {
    m_pdev->SetDriverEvent(DEV_EVENT_UIBUTTON, "cancel");
    m_pdev->AllowNotifyImageAvailable(false);
  }
  return OS_STS_SUCCESS;
}

// The preview's scan stays open until this: its end also ends the flatbed
// scan a colour-dropout learning began. Only the preview's own scan is
// ended: a front end may have ended it and begun its own meanwhile.
EOSSTS CDrvGuiImpl::DispatcherImageEnd(COsXml*, long long a_llId) {
  MessageManagerClear(DEV_DLG_SCANNING);
  if (m_pdriver) m_pdriver->ScanEnd(true, m_u64PreviewScan.load());
  if (m_pdatabase && m_pdatabase->TestDbState(DB_STATE_ECDOCUSTOMLEARN)) {
    CDbLockGuard dblockguard;
    if (m_pdatabase->GetCurrentLongFromId(DB_ID_FIRMWARE) == DB_ID_FIRMWARE_ENUM_FLATBED)
      m_pdatabase->ClearDbState(DB_STATE_FLATBEDSCAN);
  }
  return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), DRV_STS_SUCCESS);
}

// The reader's thread: a task whose one command is "requestscancancel",
// "calibrateend" or "imageend" runs at once, parsed in the reader's own
// document. A task with more commands keeps its order on the dispatcher;
// so does "imageend" while a preview runs (the preview's scan ends after it).
bool CDrvGuiImpl::ScanFastPath(const char* a_pcTask, size_t a_sizetTask, uint64_t a_u64Id) {
  static constexpr const char* s_aszFast[] = {"<requestscancancel", "<calibrateend", "<imageend"};
  const std::string strHead(a_pcTask, std::min(a_sizetTask, CDrvUiLink::s_sizetFastPath));
  int iFast = -1;
  for (int i = 0; i < 3 && iFast < 0; ++i) {
    if (strHead.find(s_aszFast[i]) != std::string::npos) iFast = i;
  }
  if (iFast < 0 || !m_posxmlFast || (iFast == 2 && m_blPreviewRunning)) return false;
  const std::string strTask(a_pcTask, a_sizetTask);
  if (m_posxmlFast->DocumentLoad(strTask.c_str(), static_cast<long>(strTask.size())) != OS_STS_SUCCESS) return false;
  m_posxmlFast->NodeRewind();
  char szName[64] = "";
  const bool blOne = m_posxmlFast->NodeChild() == OS_STS_SUCCESS &&
                     m_posxmlFast->NodeGetName(szName, sizeof szName) == OS_STS_SUCCESS &&
                     std::strcmp(szName, s_aszFast[iFast] + 1) == 0 &&
                     m_posxmlFast->NodeSibling() != OS_STS_SUCCESS;
  m_posxmlFast->DocumentFree();
  if (!blOne) return false;
  const long long llId = static_cast<long long>(a_u64Id);
  switch (iFast) {
    case 0: DispatcherRequestScanCancel(nullptr, llId); break;
    case 1: DispatcherCalibrateEnd(nullptr, llId); break;
    default: DispatcherImageEnd(nullptr, llId); break;
  }
  return true;
}
