// The scan commands: scanbegin reserves the device and starts the scan
// through the driver's scan control, getoutput hands out one image
// description at a time, imageend confirms an image, scanrequeststop stops
// the feeder and scanend ends the scan. The device facade is called
// without the database lock: its scan operations wait.
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "drv_cdriver.h"
#include "drv_cdrvgui.h"
#include "drv_cdrvprocesscommands.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosxmltask.h"

namespace {

// The message the GUI shows while scanning, and the device status while
// the GUI keeps its own dialog up.
constexpr int32_t s_i32DialogScan = 6;
constexpr long s_lDeviceStatusDialog = 2;

}  // namespace

// ---------------------------------------------------------------------------
// scanbegin
// ---------------------------------------------------------------------------
EOSSTS CDrvProcessCommands::EnterScanbegin(OsXmlCallback*) {
  if (NoDatabase()) return OS_STS_FAIL;
  CDbLockGuard dblockguard;
  m_pdatabase->ConfigSetNumber("useendofsheet", 0, DB_CONFIGTARGET_COMMON);
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterScanbeginUseendofsheet(OsXmlCallback* a_posxmlcallback) {
  if (NoDatabase()) return OS_STS_FAIL;
  const bool blUse = std::strcmp(ElementText(a_posxmlcallback), "true") == 0;
  CDbLockGuard dblockguard;
  m_pdatabase->ConfigSetNumber("useendofsheet", blUse ? 1 : 0, DB_CONFIGTARGET_COMMON);
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::ExitScanbegin(OsXmlCallback*) {
  if (NoDatabase()) return OS_STS_FAIL;
  if (!m_pdev || !m_pdriver) {
    OsLog(OS_LOG_ERROR, "scanbegin without a device...");
    return AnswerWord("fail");
  }
  if (g_posmem) g_posmem->ThreadSafeFree(nullptr, __FILE__, __LINE__);
  const EOSSTS eosstsResource = EngineResourceBegin(false);
  if (eosstsResource != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "ResourceBegin failed...%d", static_cast<int>(eosstsResource));
    return AnswerDevice(eosstsResource, OS_STS_FAIL);
  }
  if (m_pdriver->ScanBegin(DRV_SCANTYPE_NORMAL, false) != OS_STS_SUCCESS) {
    m_pdev->ResourceEnd();
    return OS_STS_FAIL;
  }
  m_pdev->AllowNotifyImageAvailable(true);
  long lRemaining = m_pdev->ScanImageCountRemaining();
  if (lRemaining < 0) lRemaining = 0;
  CDbLockGuard dblockguard;
  StartReply("success");
  COsXmlTask* posxmltask = m_pdatabase->GetXmlTask();
  posxmltask->StartCommand("reportscanbegin", 1);
  posxmltask->AddArgument("outputimagecount", static_cast<int>(lRemaining));
  posxmltask->FinalizeCommand("reportscanbegin");
  FinishReply(DB_STS_SUCCESS, false);
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// getoutput
// ---------------------------------------------------------------------------
// Every device status is an answer, never a failed task: the scan goes on.
EOSSTS CDrvProcessCommands::ExitGetoutput(OsXmlCallback*) {
  if (NoDatabase()) return OS_STS_FAIL;
  if (!m_pdev || !m_pdriver) {
    OsLog(OS_LOG_ERROR, "getoutput without a device...");
    return AnswerWord("fail");
  }
  int iImages = 0;
  int iSheets = 0;
  int iSheetImages = 0;
  m_vecchImage.assign(DRV_IMAGEBUFFER_SIZE, '\0');
  const EDEVSTS edevsts = m_pdriver->GetOutput(m_vecchImage.data(), static_cast<int>(m_vecchImage.size()), &iImages,
                                               &iSheets, &iSheetImages);
  if (edevsts != DEV_STS_SUCCESS) return AnswerDevice(static_cast<EOSSTS>(edevsts), OS_STS_SUCCESS);
  m_vecchImage.back() = '\0';
  if (m_pdev->ScanImageCountRemaining() == 0) m_pdev->AllowNotifyImageAvailable(false);
  CDbLockGuard dblockguard;
  StartReply("success");
  COsXmlTask* posxmltask = m_pdatabase->GetXmlTask();
  posxmltask->StartCommand("reportimage", 1);
  posxmltask->AddPassThrough(m_vecchImage.data());
  posxmltask->AddArgument("outputimagecount", iImages);
  posxmltask->AddArgument("outputsheetcount", iSheets);
  posxmltask->AddArgument("outputsheetimagecount", iSheetImages);
  posxmltask->FinalizeCommand("reportimage");
  FinishReply(DB_STS_SUCCESS, false);
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// imageend, scanrequeststop
// ---------------------------------------------------------------------------
// The file named is not checked here: the device ends the image it expects.
EOSSTS CDrvProcessCommands::EnterImageendImagefilename(OsXmlCallback*) { return OS_STS_SUCCESS; }

EOSSTS CDrvProcessCommands::ExitImageend(OsXmlCallback* a_posxmlcallback) {
  if (NoDatabase()) return OS_STS_FAIL;
  if (!m_pdev) return AnswerWord("fail");
  return AnswerDevice(m_pdev->ImageEnd(ElementText(a_posxmlcallback)), OS_STS_SUCCESS);
}

EOSSTS CDrvProcessCommands::ExitScanrequeststop(OsXmlCallback*) {
  if (NoDatabase()) return OS_STS_FAIL;
  if (m_pdev) m_pdev->ScanRequestStop(DEV_STOPACTION_REQUEST);
  return AnswerWord("success");
}

// ---------------------------------------------------------------------------
// scanend
// ---------------------------------------------------------------------------
// The GUI's queries answer 0 for yes: a non-zero GETUIVISIBLE is a hidden
// GUI, and then the reservation scanbegin took ends with the scan. A
// visible GUI keeps the device for its dialog.
EOSSTS CDrvProcessCommands::ExitScanend(OsXmlCallback*) {
  if (NoDatabase()) return OS_STS_FAIL;
  if (m_pdriver) m_pdriver->ScanEnd(true);
  GuiAction(DRV_GUIACTION_UPDATEVALUES);
  if (GuiAction(DRV_GUIACTION_GETUIVISIBLE) != OS_STS_SUCCESS) {
    GuiAction(DRV_GUIACTION_MESSAGEMANAGERCLEAR, s_i32DialogScan);
    if (m_pdev) m_pdev->ResourceEnd();
  } else if (m_pdev && m_pdev->GetDeviceStatus() == s_lDeviceStatusDialog) {
    GuiAction(DRV_GUIACTION_MESSAGEMANAGERCLEAR, s_i32DialogScan);
  }
  if (m_pdev) m_pdev->AllowNotifyImageAvailable(false);
  CDbLockGuard dblockguard;
  StartReply("success");
  COsXmlTask* posxmltask = m_pdatabase->GetXmlTask();
  posxmltask->StartCommand("reportscanend", 1);
  posxmltask->AddArgument("multifeedcount",
                          static_cast<int>(m_pdatabase->ConfigGetNumber("multifeedcount", DB_CONFIGTARGET_COMMON)));
  if (m_pdatabase->IsIdSupported(DB_ID_TOGGLEPATCH)) {
    for (const char* szCount : {"patchcountfront", "patchcountrear"})
      posxmltask->AddArgument(szCount, static_cast<int>(m_pdatabase->ConfigGetNumber(szCount, DB_CONFIGTARGET_COMMON)));
  }
  posxmltask->FinalizeCommand("reportscanend");
  FinishReply(DB_STS_SUCCESS, false);
  return OS_STS_SUCCESS;
}
