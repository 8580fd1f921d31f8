// The session commands: sessionbegin with its arguments (the front end's
// wishes as configuration keys, the language, the applications' supported
// values), which starts the GUI when asked and opens the device's session;
// sessionend and sessionbounce; the first-image callback.
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "dev_drvconfig.h"
#include "drv_cdrvcommandfsm.h"
#include "drv_cdrvgui.h"
#include "drv_cdrvprocesscommands.h"
#include "os_coscfg.h"
#include "os_coslocale.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cosxmltask.h"

// ---------------------------------------------------------------------------
// sessionbegin's arguments
// ---------------------------------------------------------------------------
EOSSTS CDrvProcessCommands::EnterSessionbeginMonitorbuttonevents(OsXmlCallback* a_posxmlcallback) {
  if (ElementTrue(a_posxmlcallback)) ConfigKey("monitorbuttonevents");
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterSessionbeginSkipresourceunlock(OsXmlCallback* a_posxmlcallback) {
  if (ElementTrue(a_posxmlcallback)) ConfigKey("skipresourceunlock");
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterSessionbeginUsesheetheight(OsXmlCallback* a_posxmlcallback) {
  if (ElementTrue(a_posxmlcallback)) ConfigKey("usesheetheight");
  return OS_STS_SUCCESS;
}

// A language the table does not know is English: the session still opens.
EOSSTS CDrvProcessCommands::EnterSessionbeginLanguage(OsXmlCallback* a_posxmlcallback) {
  const char* szLanguage = ElementText(a_posxmlcallback);
  long lLanguage = g_poslocale ? static_cast<long>(g_poslocale->GetLanguageId(szLanguage)) : 0;
  if (lLanguage == OS_LANGUAGE_NONE) {
    OsLog(OS_LOG_ERROR, "EnterSessionbeginLanguage: %s not found, using English (%s)...", szLanguage,
          g_poslocale ? g_poslocale->GetLanguageLexicon(OS_LANGUAGE_EN_USA) : "en_usa");
    lLanguage = OS_LANGUAGE_EN_USA;
  }
  CDbLockGuard dblockguard;
  const EDBSTS edbsts = m_pdatabase->SetCurrentLongFromId(DB_ID_LANGUAGE, lLanguage, false);
  if (edbsts != DB_STS_SUCCESS) OsLog(OS_LOG_ERROR, "LANGUAGE refused...%ld %d", lLanguage, static_cast<int>(edbsts));
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterSessionbeginUi(OsXmlCallback* a_posxmlcallback) {
  ConfigText("ui", ElementText(a_posxmlcallback));
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterSessionbeginProfileitemValue(OsXmlCallback* a_posxmlcallback) {
  const EOSSTS eossts = TakeArgument(m_szWork, sizeof m_szWork, a_posxmlcallback, "profileitem");
  if (eossts == OS_STS_SUCCESS) ConfigText("profileitem", m_szWork);
  return eossts;
}

EOSSTS CDrvProcessCommands::EnterSessionbeginCompressionallowed(OsXmlCallback* a_posxmlcallback) {
  ConfigListAdd("compressionallowed", ElementText(a_posxmlcallback));
  return OS_STS_SUCCESS;
}

// An id that does not fit leaves no key: its action and value lists are not
// kept under a cut name.
EOSSTS CDrvProcessCommands::EnterSessionbeginSetsupportEnumId(OsXmlCallback* a_posxmlcallback) {
  if (COsString::SStrPrintf(m_szSetSupportKey, sizeof m_szSetSupportKey, "app_%s", ElementText(a_posxmlcallback)) < 0) {
    OsLog(OS_LOG_ERROR, "text too long for <setsupport/enum/id>...<%.64s>", ElementText(a_posxmlcallback));
    m_szSetSupportKey[0] = '\0';
  }
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterSessionbeginSetsupportEnumAction(OsXmlCallback* a_posxmlcallback) {
  char szKey[DRV_INTERFACE_TEXT + 8];
  if (*m_szSetSupportKey && COsString::SStrPrintf(szKey, sizeof szKey, "%s_action", m_szSetSupportKey) >= 0)
    ConfigListAdd(szKey, ElementText(a_posxmlcallback));
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterSessionbeginSetsupportEnumValue(OsXmlCallback* a_posxmlcallback) {
  if (*m_szSetSupportKey) ConfigListAdd(m_szSetSupportKey, ElementText(a_posxmlcallback));
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// sessionbegin
// ---------------------------------------------------------------------------
EOSSTS CDrvProcessCommands::ExitSessionbegin(OsXmlCallback*) {
  if (NoDatabase()) return OS_STS_FAIL;
  if (ShouldStartGui()) {
    const EOSSTS eossts = StartGui();
    if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "StartGui failed...%d", static_cast<int>(eossts));
  }
  const EOSSTS eossts = OpenDevice();
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Unable to open device...");
    GuiAction(DRV_GUIACTION_STOP);
    Cleanup();
    return eossts;
  }
  if (m_pdev->RegisterFirstImageCallback(&CDrvProcessCommands::FirstImageCallbackProc, this) != OS_STS_SUCCESS)
    OsLog(OS_LOG_ERROR, "RegisterFirstImageCallback failed...");
  bool blMonitor = false;
  {
    CDbLockGuard dblockguard;
    blMonitor = m_pdatabase->ConfigExists("monitorbuttonevents", DB_CONFIGTARGET_COMMON);
  }
  if (blMonitor) {
    AnswerWord("notcomplete");
  } else {
    StartReply("success");
    const char* szInquiry = m_pdev->GetReportInquiry();
    if (szInquiry && *szInquiry) m_pdatabase->GetXmlTask()->AddPassThrough(szInquiry);
    FinishReply(DB_STS_SUCCESS, false);
  }
  if (g_poslog && g_poslog->GetDebugLevel() && g_posmem) g_posmem->DumpSystem("PmxMemOpen.txt");
  return OS_STS_SUCCESS;
}

// ForceGuiDelay: 0 never, 2 only on a small single-processor system of the
// platform kinds that need it, anything else always.
bool CDrvProcessCommands::ShouldStartGui() {
  const long lDelay = DevDriverConfigGetLong(DRV_CFGTAG_FORCEGUIDELAY);
  if (lDelay == 0) return false;
  if (lDelay != 2) return true;
  if (!g_poscfg) return false;
  const int64_t i64Platform = g_poscfg->InfoGetLong(OS_CFGINFO_OS_PLATFORM, 0);
  return g_poscfg->InfoGetLong(OS_CFGINFO_CPU_TOTAL, 0) < 2 && (i64Platform == 1 || i64Platform == 3) &&
         OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_SANETWAINVERSION, 0) == 0;
}

EOSSTS CDrvProcessCommands::StartGui() {
  OsLogDebug(OS_LOG_INFO, "StartGui() called (check the setting of ForceGuiDelay)...");
  const EOSSTS eossts = GuiAction(DRV_GUIACTION_START);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Failed to launch the GUI...");
    return eossts;
  }
  CDrvGuiBase drvguibase;
  drvguibase.edrvguiaction = DRV_GUIACTION_DISPLAYMESSAGEMANAGER;
  return m_pdrvgui->Action(DRV_GUIACTION_DISPLAYMESSAGEMANAGER, &drvguibase);
}

// A sessionbegin after one that failed opens the interface its failure
// closed.
EOSSTS CDrvProcessCommands::OpenDevice() {
  if (!m_pdev || !m_pdrvgui) {
    OsLog(OS_LOG_ERROR, "m_pdev is null...");
    return AnswerWord("fail");
  }
  if (m_blInterfaceClosed && OpenInterface() != OS_STS_SUCCESS) return OS_STS_FAIL;
  CDrvGuiBase drvguibase;
  drvguibase.edrvguiaction = DRV_GUIACTION_DISPLAYMESSAGEMANAGER;
  m_pdrvgui->Action(DRV_GUIACTION_DISPLAYMESSAGEMANAGER, &drvguibase);
  const EOSSTS eossts = m_pdev->SessionBegin(drvguibase.pfnMessageManager);
  // 19: the session goes on opening in the background.
  if (eossts == OS_STS_SUCCESS || eossts == static_cast<EOSSTS>(DEV_STS_NOTCOMPLETE)) return OS_STS_SUCCESS;
  if (eossts == static_cast<EOSSTS>(DEV_STS_BUSY)) {
    AnswerWord("busy");
  } else {
    AnswerDevice(eossts);
  }
  return OS_STS_FAIL;
}

EOSSTS CDrvProcessCommands::FirstImageCallbackProc(void* a_pvDrvProcessCommands) {
  if (!a_pvDrvProcessCommands) {
    OsLog(OS_LOG_ERROR, "a_pvArg is null...");
    return OS_STS_FAIL;
  }
  return static_cast<CDrvProcessCommands*>(a_pvDrvProcessCommands)->FirstImageCallback();
}

EOSSTS CDrvProcessCommands::FirstImageCallback() {
  return m_pdev ? m_pdev->SetDriverEvent(DEV_EVENT_IMAGEAVAILABLE, nullptr) : OS_STS_FAIL;
}

// ---------------------------------------------------------------------------
// sessionend and sessionbounce
// ---------------------------------------------------------------------------
void CDrvProcessCommands::EndRunningScan(OsXmlCallback* a_posxmlcallback) {
  if (!m_pdev) return;
  const bool blScanState = m_pdrvcommandfsm && m_pdrvcommandfsm->GetCurrentState() == DRV_STATE_SCAN;
  if (blScanState || m_pdev->ScanIsScanning()) ExitScanend(a_posxmlcallback);
}

// A scan still running is ended first; its reply is replaced by this one.
EOSSTS CDrvProcessCommands::ExitSessionend(OsXmlCallback* a_posxmlcallback) {
  if (NoDatabase()) return OS_STS_FAIL;
  EndRunningScan(a_posxmlcallback);
  GuiAction(DRV_GUIACTION_STOP);
  // The item's text lives in the profile list's builder: kept under the
  // lock until it is copied into the reply.
  CDbLockGuard dblockguard;
  const char* szItem = m_pdatabase->ProfileItem(2);
  StartReply("success");
  COsXmlTask* posxmltask = m_pdatabase->GetXmlTask();
  posxmltask->StartCommand("reportsessionend", 1);
  if (szItem && *szItem) posxmltask->AddPassThrough(szItem);
  posxmltask->FinalizeCommand("reportsessionend");
  return FinishReply(DB_STS_SUCCESS, false) == DB_STS_SUCCESS ? OS_STS_SUCCESS : OS_STS_FAIL;
}

// As interfaceclose: the scan ends first, a refusal answers the scanner's
// word.
EOSSTS CDrvProcessCommands::ExitSessionbounce(OsXmlCallback* a_posxmlcallback) {
  if (NoDatabase()) return OS_STS_FAIL;
  EndRunningScan(a_posxmlcallback);
  return AnswerDevice(m_pdev ? m_pdev->SessionBounce() : OS_STS_SUCCESS);
}
