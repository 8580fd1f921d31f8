// The driver-assistant bridge's manager: when the assistant comes up, its
// executable, and the user actions answered without one.
#include "drv_cdrvassistantmgr.h"

#include <dlfcn.h>
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_drvconfig.h"
#include "drv_cdriver.h"
#include "drv_cdrvassistantimpl.h"
#include "drv_uihost.h"
#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cosxml.h"

namespace {

constexpr size_t s_sizetUserInput = 512;

}  // namespace

CDrvAssistantMgr::CDrvAssistantMgr(CDatabase* a_pdatabase, CDriver* a_pdriver)
    : m_pdatabase(a_pdatabase), m_pdriver(a_pdriver) {}

CDrvAssistantMgr::~CDrvAssistantMgr() {
  CDrvAssistantImpl* pdrvassistantimpl = m_pdrvassistantimpl.exchange(nullptr);
  OsMemDelete(pdrvassistantimpl);
}

void CDrvAssistantMgr::Interrupt() {
  m_blInterrupted = true;
  CDrvAssistantImpl* pdrvassistantimpl = m_pdrvassistantimpl.load();
  if (pdrvassistantimpl) pdrvassistantimpl->Interrupt();
}

// ---------------------------------------------------------------------------
// When
// ---------------------------------------------------------------------------
bool CDrvAssistantMgr::NeedUi() {
  if (!m_pdatabase) return false;
  CDbLockGuard dblockguard;
  return m_pdatabase->ConfigExists("interactivemultifeed", DB_CONFIGTARGET_COMMON) &&
         m_pdatabase->IsIdSupported(DB_ID_MULTIFEEDRESPONSE) &&
         m_pdatabase->GetCurrentLongFromId(DB_ID_MULTIFEEDRESPONSE) ==
             DB_ID_MULTIFEEDRESPONSE_ENUM_INTERACTIVEHOLDPAPERATEXIT;
}

bool CDrvAssistantMgr::StartUiAtScanBegin() {
  return DevDriverConfigGetLong(DRV_CFGTAG_FORCEDRIVERASSISTANTBOUNCE) != 1;
}

bool CDrvAssistantMgr::OkToRunUi() {
  if (DevDriverConfigGetLong(DRV_CFGTAG_FORCESHOWDRIVERASSISTANT) != 0) return true;
  if (!m_pdatabase) return false;
  CDbLockGuard dblockguard;
  if (m_pdatabase->GetCurrentLongFromId(DB_ID_INDICATORS) == DB_ID_INDICATORS_ENUM_TRUE) {
    CDbDatum* pdbdatum = m_pdatabase->Find(DB_ID_INDICATORSMODE);
    if (pdbdatum && (m_pdatabase->EnumHasCurrentItem(pdbdatum, DB_ID_INDICATORSMODE_ENUM_INFO) ||
                     m_pdatabase->EnumHasCurrentItem(pdbdatum, DB_ID_INDICATORSMODE_ENUM_WARNING))) {
      return true;
    }
  }
  return m_pdatabase->GetCurrentLongFromId(DB_ID_INDICATORSWARMUP) == DB_ID_INDICATORSWARMUP_ENUM_TRUE;
}

// ---------------------------------------------------------------------------
// Actions
// ---------------------------------------------------------------------------
EOSSTS CDrvAssistantMgr::Action(EDRVASSISTANTACTION a_edrvassistantaction,
                                CDrvAssistantAction* a_pdrvassistantaction) {
  bool blCreate = false;
  if (a_edrvassistantaction == DRV_ASSISTANTACTION_USERACTION) {
    if (!a_pdrvassistantaction) {
      OsLog(OS_LOG_ERROR, "a_pdrvassistantaction is null...");
      return OS_STS_SUCCESS;
    }
    if (!m_blUserActionStarted) {
      if (a_pdrvassistantaction->edevsts != DEV_STS_USERACTION) {
        OsLogDebug(OS_LOG_INFO, "DrvAssistant>>> status=%d", static_cast<int>(a_pdrvassistantaction->edevsts));
        return OS_STS_SUCCESS;
      }
      m_blUserActionStarted = true;
      blCreate = true;
    }
  } else if (a_edrvassistantaction == DRV_ASSISTANTACTION_SCANBEGIN && NeedUi() && StartUiAtScanBegin()) {
    m_blUserActionStarted = false;
    blCreate = true;
  } else if (a_edrvassistantaction == DRV_ASSISTANTACTION_SCANBEGIN ||
             a_edrvassistantaction == DRV_ASSISTANTACTION_SCANEND || a_edrvassistantaction == DRV_ASSISTANTACTION_HIDE) {
    m_blUserActionStarted = false;
  }
  if (blCreate && m_blCreatePending && OkToRunUi()) {
    OsLogDebug(OS_LOG_INFO, "DrvAssistant>>> CreateDrvAssistantImpl triggered...%s",
               CDrvAssistant::GetActionName(a_edrvassistantaction));
    m_blCreatePending = false;
    CreateDrvAssistantImpl();
  }
  CDrvAssistantImpl* pdrvassistantimpl = m_pdrvassistantimpl.load();
  OsLogDebug(OS_LOG_INFO, "DrvAssistant>>> object=%p", static_cast<void*>(pdrvassistantimpl));
  if (pdrvassistantimpl) return pdrvassistantimpl->Action(a_edrvassistantaction, a_pdrvassistantaction);
  if (a_edrvassistantaction != DRV_ASSISTANTACTION_USERACTION) return OS_STS_SUCCESS;
  return Unassisted(a_pdrvassistantaction);
}

// The show's images are ended, the show's records and its sheet's end
// taken, and any other user action goes to the scanner as the user's
// input. Every other record (an image, an end of job, a cancel, a
// disconnection, an error) is the application's.
EOSSTS CDrvAssistantMgr::Unassisted(const CDrvAssistantAction* a_pdrvassistantaction) {
  const EDEVSTS edevsts = a_pdrvassistantaction->edevsts;
  if (edevsts == DEV_STS_ENDOFSHEET && m_blShowing) {
    m_blShowing = false;
    return DRV_ASSISTANT_STS_TAKEN;
  }
  if (edevsts != DEV_STS_USERACTION) return OS_STS_SUCCESS;
  const char* szXml = a_pdrvassistantaction->szXml;
  if (!szXml) return DRV_ASSISTANT_STS_TAKEN;
  char szText[s_sizetUserInput];
  if (std::strstr(szXml, "<reportimage>") &&
      COsXml::GetContent(szXml, "<imagefilename>", "</imagefilename>", szText, sizeof szText) == OS_STS_SUCCESS &&
      *szText) {
    m_blShowing = true;
    if (m_pdriver) m_pdriver->ImageQueuePush(false, DEV_STS_SUCCESS, szText);
    return DRV_ASSISTANT_STS_TAKEN;
  }
  const char* szUserAction = a_pdrvassistantaction->szUserAction ? a_pdrvassistantaction->szUserAction : szXml;
  if (!std::strstr(szUserAction, "<useraction>")) return DRV_ASSISTANT_STS_TAKEN;
  if (std::strstr(szUserAction, "<useraction>show")) {
    m_blShowing = true;
    return DRV_ASSISTANT_STS_TAKEN;
  }
  if (COsXml::GetContent(szUserAction, "<useraction>", "</useraction>", szText, sizeof szText) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "We shouldn't be here...");
    return DRV_ASSISTANT_STS_TAKEN;
  }
  char szInput[s_sizetUserInput];
  std::snprintf(szInput, sizeof szInput, "\t<userinput>\n\t\t<useraction>%s</useraction>\n</userinput>\n", szText);
  OsLogDebug(OS_LOG_INFO, "assistant: send user action");
  if (m_pdriver) m_pdriver->ImageQueuePush(true, DEV_STS_USERINPUT, szInput);
  return DRV_ASSISTANT_STS_TAKEN;
}

// ---------------------------------------------------------------------------
// The executable
// ---------------------------------------------------------------------------
void CDrvAssistantMgr::ChoosePath(char* a_szPath, size_t a_sizetPath) {
  static constexpr DrvUiForce s_drvuiforce = {"assistant>>>", "WIA detected, turning the Driver Assistant off...",
                                              "PMX_FORCEDRVASSISTUI", DRV_CFGTAG_FORCEDRVASSISTUI, "DRV_CFGTAGLOCAL_FORCE_DRVASSISTUI"};
  if (DrvUiForcedPath(s_drvuiforce, a_szPath, a_sizetPath)) return;
  if (!COsFile::PathJoin(a_szPath, a_sizetPath, DrvUiCfgText(OS_CFGTAG_HOMEDIRECTORY), "drvassistui")) *a_szPath = 0;
  if (*a_szPath) COsFile::PathAppendExe(a_szPath, a_sizetPath);
  OsLog(OS_LOG_INFO, "assistant>>> drvassistui --> <%s>", a_szPath);
}

bool CDrvAssistantMgr::CreateDrvAssistantImpl() {
  char szPath[512];
  ChoosePath(szPath, sizeof szPath);
  m_blCreatePending = false;
  if (!*szPath || strcasecmp(szPath, "none") == 0) {
    OsLog(OS_LOG_INFO, "assistant>>> Driver Assistant set to 'none'...");
    return false;
  }
  // The found file is kept as its full path: a bare name would run from
  // whatever the current directory is.
  OsFileInfo osfileinfo;
  std::memset(&osfileinfo, 0, sizeof osfileinfo);
  const bool blFound = COsFile::FindFirst(szPath, &osfileinfo) == OS_STS_SUCCESS;
  COsFile::FindClose(&osfileinfo);
  if (!blFound || osfileinfo.eosfiletype == OS_FILETYPE_DIRECTORY) {
    OsLog(OS_LOG_ERROR, "assistant>>> Driver Assistant executable (%s) not found! Driver Assistant will not be loaded",
          szPath);
    return false;
  }
  char szFound[512];
  if (COsFile::PathAbsolute(szFound, sizeof szFound, szPath) != OS_STS_SUCCESS || !*szFound)
    COsString::SStrCpy(szFound, sizeof szFound, szPath);
  CDrvAssistantImpl* pdrvassistantimpl = OsMemNew(CDrvAssistantImpl, m_pdatabase, m_pdriver, szFound);
  if (!pdrvassistantimpl) {
    OsLog(OS_LOG_ERROR, "OsMemNew failed...");
    return false;
  }
  m_pdrvassistantimpl.store(pdrvassistantimpl);
  // A scan end that came meanwhile finds the bridge or left its mark here.
  if (m_blInterrupted) pdrvassistantimpl->Interrupt();
  return true;
}
