// The GUI's preview: the driver scans a preview, the first image goes to
// the GUI (the scan stays open until its "imageend"), the others are handed
// back as they come so that no image file is left. A cancel from the GUI,
// the GUI's death or the bridge's stop ends the loop as a cancel. Each
// answer is composed on this thread and sent under the preview lock, so
// that it never interleaves with the reader's answer to a cancel.
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "drv_cdriver.h"
#include "drv_cdrvguiimpl.h"
#include "os_coslog.h"
#include "os_cosxml.h"

namespace {

constexpr size_t s_sizetImageHeader = 65536;
constexpr long s_lBusyStep = 100;
constexpr long s_lName = 64;
constexpr long s_lText = 512;

// The camera bin of an image header: 2 front "bw", 4 front other, 3 rear
// "bw", 5 rear other.
long ImageBin(const char* a_szHeader) {
  char szCamera[32] = "";
  char szFormat[32] = "";
  if (COsXml::GetContent(a_szHeader, "<cameratype>", "</cameratype>", szCamera, sizeof szCamera) != OS_STS_SUCCESS)
    *szCamera = 0;
  if (COsXml::GetContent(a_szHeader, "<imageformat>", "</imageformat>", szFormat, sizeof szFormat) != OS_STS_SUCCESS)
    *szFormat = 0;
  const bool blRear = std::strcmp(szCamera, "rear") == 0;
  const bool blBitonal = std::strcmp(szFormat, "bw") == 0;
  return (blRear ? 3 : 2) + (blBitonal ? 0 : 2);
}

// The camera bin of a window bin (window times 4 plus front bw, rear bw,
// front colour, rear colour).
long WindowCameraBin(long a_lWindowBin) {
  static constexpr long s_alBin[4] = {2, 3, 4, 5};
  return s_alBin[((a_lWindowBin % 4) + 4) % 4];
}

}  // namespace

// The preview's own arguments: whether the image is acquired per the
// current window bin, and the dropout name of a custom colour learning.
// True when they were given (preview mode then stays on at the end).
bool CDrvGuiImpl::PreviewArguments(COsXml* a_posxml) {
  if (!a_posxml || a_posxml->NodePush() != OS_STS_SUCCESS) return false;
  bool blGiven = false;
  char szName[s_lName] = "";
  char szText[s_lText] = "";
  if (a_posxml->NodeChild() == OS_STS_SUCCESS && a_posxml->NodeGetName(szName, sizeof szName) == OS_STS_SUCCESS &&
      std::strcmp(szName, "previewimageacquire") == 0) {
    blGiven = true;
    if (a_posxml->NodeGetContent(szText, sizeof szText) != OS_STS_SUCCESS) *szText = 0;
    if (std::strcmp(szText, "false") != 0 && m_pdatabase) {
      CDbLockGuard dblockguard;
      m_pdatabase->SetCurrentLongFromId(DB_ID_PREVIEWIMAGEACQUIRE, DB_ID_PREVIEWIMAGEACQUIRE_ENUM_TRUE, false);
    }
    if (a_posxml->NodeSibling() == OS_STS_SUCCESS && a_posxml->NodeGetName(szName, sizeof szName) == OS_STS_SUCCESS &&
        std::strcmp(szName, "ecdo") == 0 && a_posxml->NodeGetContent(szText, sizeof szText) == OS_STS_SUCCESS &&
        m_pdatabase) {
      CDbLockGuard dblockguard;
      DbEcdoCustomSettings* pdbecdocustomsettings = m_pdatabase->GetEcdoCustomSettings();
      std::strncpy(pdbecdocustomsettings->szName, szText, sizeof pdbecdocustomsettings->szName - 1);
      pdbecdocustomsettings->szName[sizeof pdbecdocustomsettings->szName - 1] = 0;
    }
  }
  a_posxml->NodePop();
  return blGiven;
}

// The preview's answer (and its image), or the unasked empty image before
// it, sent whole under the preview lock.
void CDrvGuiImpl::PreviewAnswer(uint64_t a_u64Reply, int32_t a_i32Status, const char* a_szImage, bool a_blEmpty) {
  std::lock_guard<std::mutex> lock(m_mutexPreview);
  if (a_blEmpty) SendEmptyImageReport();
  CDrvGuiTask drvguitask;
  drvguitask.TaskBegin(a_u64Reply);
  drvguitask.CmdStatus(a_i32Status);
  if (a_szImage) CmdReportImage(drvguitask, a_szImage);
  drvguitask.TaskEnd();
  SendToGui(drvguitask.Text(), __FILE__, __LINE__);
}

// The GUI is gone or the bridge stops: nothing more is sent.
bool CDrvGuiImpl::PreviewGone() {
  return m_blStopRequested || m_blNoGui || m_drvuilink.GetState() == DRV_UILINKSTATE_ENDED;
}

bool CDrvGuiImpl::PreviewStopped() { return m_blCancelRequested || PreviewGone(); }

EOSSTS CDrvGuiImpl::DispatcherRequestPreview(COsXml* a_posxml, long long a_llId) {
  const uint64_t u64Reply = static_cast<uint64_t>(a_llId);
  if (m_blScanRequested || m_blPreviewRunning.exchange(true)) return CreateUiTaskReportStatus(u64Reply, DRV_STS_SUCCESS);
  if (!m_pdriver || !m_pdatabase || !m_pdev) {
    m_blPreviewRunning = false;
    return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  }
  bool blFlatbedLearn;
  long lWindowBin;
  {
    CDbLockGuard dblockguard;
    blFlatbedLearn = m_pdatabase->TestDbState(DB_STATE_ECDOCUSTOMLEARN) &&
                     m_pdatabase->GetCurrentLongFromId(DB_ID_FIRMWARE) == DB_ID_FIRMWARE_ENUM_FLATBED;
    if (blFlatbedLearn) m_pdatabase->SetDbState(DB_STATE_FLATBEDSCAN);
    m_pdatabase->SetWindow(0);
  }
  const bool blKeepMode = PreviewArguments(a_posxml);
  bool blAcquire, blRescanPossible;
  {
    CDbLockGuard dblockguard;
    blAcquire = m_pdatabase->GetCurrentLongFromId(DB_ID_PREVIEWIMAGEACQUIRE) == DB_ID_PREVIEWIMAGEACQUIRE_ENUM_TRUE;
    lWindowBin = m_pdatabase->GetCurrentLongFromId(DB_ID_WINDOWBIN);
    blRescanPossible = !m_pdatabase->ConfigExists("paperdetectable", DB_CONFIGTARGET_COMMON) &&
                       m_pdatabase->GetCurrentLongFromId(DB_ID_PAPERSOURCE) == DB_ID_PAPERSOURCE_ENUM_ADFFLATBED &&
                       m_pdatabase->GetCurrentLongFromId(DB_ID_FIRMWARE) == DB_ID_FIRMWARE_ENUM_ADF;
  }
  std::vector<char> vecchHeader(s_sizetImageHeader);
  bool blRescan = false;
  bool blSent = false;
  bool blAnswered = false;
  bool blDisconnected = false;
  // The preview's own scan: once another ended it, the output queue is not
  // the preview's any more (a front end's next scan fills it).
  uint64_t u64Scan = 0;
  for (;;) {
    {
      CDbLockGuard dblockguard;
      m_pdatabase->ConfigSetNumber("useendofsheet", 0, DB_CONFIGTARGET_COMMON);
    }
    m_pdev->SkipSendingEvent(true);
    if (m_pdriver->ScanBegin(DRV_SCANTYPE_PREVIEW, blRescan) != OS_STS_SUCCESS) {
      PreviewAnswer(u64Reply, OS_STS_FAIL, nullptr, false);
      blAnswered = true;
      break;
    }
    u64Scan = m_pdev->ScanSerialBegun();
    bool blEnded = false;  // the job is over (or stopped)
    while (!blEnded) {
      int iImages = 0, iSheets = 0, iSheetImages = 0;
      EDEVSTS edevsts = m_pdriver->GetOutput(vecchHeader.data(), static_cast<int>(vecchHeader.size()), &iImages,
                                             &iSheets, &iSheetImages, u64Scan);
      vecchHeader.back() = 0;
      if (edevsts == DEV_STS_SUCCESS && blSent) {
        m_pdev->ImageEnd(vecchHeader.data());
        continue;
      }
      if (PreviewStopped() && !blSent) {
        if (edevsts == DEV_STS_SUCCESS) m_pdev->ImageEnd(vecchHeader.data());
        OsLog(OS_LOG_INFO, "Preview canceled...telling the GUI...");
        edevsts = DEV_STS_CANCEL;
      }
      switch (edevsts) {
        case DEV_STS_SUCCESS:
          if (blAcquire && ImageBin(vecchHeader.data()) != WindowCameraBin(lWindowBin) && !blFlatbedLearn) {
            m_pdev->ImageEnd(vecchHeader.data());
            break;
          }
          m_u64PreviewScan = u64Scan;
          PreviewAnswer(u64Reply, DRV_STS_SUCCESS, vecchHeader.data(), false);
          m_blPreviewTaken = false;
          blSent = blAnswered = true;
          break;
        case DEV_STS_BUSY:
        case DEV_STS_NOIMAGEAVAILABLE:
          if (blSent && PreviewStopped()) {
            blEnded = true;
            break;
          }
          std::this_thread::sleep_for(std::chrono::milliseconds(s_lBusyStep));
          break;
        case DEV_STS_ENDOFSHEET: break;
        case DEV_STS_CANCEL:
          OsLog(OS_LOG_INFO, "GetImage cancelled...");
          if (!blSent && !PreviewGone()) {
            if (blAcquire) PreviewModeOff();
            PreviewAnswer(u64Reply, DRV_STS_SUCCESS, nullptr, blAcquire);
          }
          m_blCancelRequested = false;
          blAnswered = blEnded = true;
          break;
        case DEV_STS_DISCONNECTED:
          OsLog(OS_LOG_INFO, "GetImage disconnected...");
          if (!blSent) PreviewAnswer(u64Reply, DRV_STS_SUCCESS, nullptr, blAcquire);
          blDisconnected = blAnswered = blEnded = true;
          break;
        case DEV_STS_ENDOFJOB:
          if (!blSent && blRescanPossible) {
            blRescan = true;
          } else if (!blSent) {
            PreviewAnswer(u64Reply, DRV_STS_SUCCESS, nullptr, false);
            blAnswered = true;
          }
          blEnded = true;
          break;
        case DEV_STS_NOMEDIA:
          if (!blSent && blRescanPossible) {
            blRescan = true;
            blEnded = true;
            break;
          }
          [[fallthrough]];
        default:
          OsLog(OS_LOG_ERROR, "GetImage failed...%d", static_cast<int>(edevsts));
          if (!blSent) PreviewAnswer(u64Reply, OS_STS_FAIL, nullptr, blAcquire);
          blAnswered = blEnded = true;
          break;
      }
    }
    // The flatbed rescan: once, when the feeder gave nothing.
    if (!blSent && blRescan && !blAnswered && m_pdriver->NeedRescanFromFlatbed()) {
      m_pdev->ScanEnd();
      blRescanPossible = false;
      continue;
    }
    break;
  }
  if (!blAnswered && !PreviewGone()) PreviewAnswer(u64Reply, OS_STS_FAIL, nullptr, false);
  // The scan stays open for the GUI's imageend, unless the GUI is gone.
  if (!blSent || PreviewGone()) {
    if (!blSent && !blKeepMode) PreviewModeOff();
    m_pdriver->ScanEnd(true, u64Scan);
  }
  if (!blDisconnected) MessageManagerClear(DEV_DLG_SCANNING);
  m_blPreviewRunning = false;
  {
    CDbLockGuard dblockguard;
    if (blFlatbedLearn) m_pdatabase->ClearDbState(DB_STATE_FLATBEDSCAN);
    m_pdatabase->ClearDbState(DB_STATE_PREVIEWRESCAN);
  }
  m_pdev->SkipSendingEvent(false);
  return OS_STS_SUCCESS;
}
