// The GUI bridge's manager: the references that keep it alive, creation on
// demand, the choice of the GUI executable and the message procedure.
#include "drv_cdrvguimgr.h"

#include <dlfcn.h>
#include <strings.h>

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_drvconfig.h"
#include "drv_cdrvgui.h"
#include "drv_cdrvguiimpl.h"
#include "drv_uihost.h"
#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"

namespace {

// The references' state: which manager the message procedure uses, and
// the wake-up of a bounce waiting for references to end.
std::mutex s_mutexRefs;
std::condition_variable s_condRefs;
CDrvGuiMgr* s_pdrvguimgr = nullptr;
thread_local int t_iRefs = 0;


}  // namespace

CDrvGuiMgr::CDrvGuiMgr(CDatabase* a_pdatabase, CDev* a_pdev, CDriver* a_pdriver)
    : m_pdatabase(a_pdatabase), m_pdev(a_pdev), m_pdriver(a_pdriver) {
  std::lock_guard<std::mutex> lock(s_mutexRefs);
  s_pdrvguimgr = this;
}

CDrvGuiMgr::~CDrvGuiMgr() {
  {
    std::lock_guard<std::mutex> lock(s_mutexRefs);
    if (s_pdrvguimgr == this) s_pdrvguimgr = nullptr;
  }
  CDrvGuiImpl* pdrvguiimpl = m_pdrvguiimpl.exchange(nullptr);
  OsMemDelete(pdrvguiimpl);
}

// ---------------------------------------------------------------------------
// References
// ---------------------------------------------------------------------------
CDrvGuiMgr* CDrvGuiMgr::Acquire(CDrvGuiMgr* const* a_ppdrvguimgr, const bool* a_pblBouncing) {
  std::unique_lock<std::mutex> lock(s_mutexRefs);
  if (a_pblBouncing && t_iRefs == 0 && *a_pblBouncing) {
    CDbLockRelease dblockrelease;
    s_condRefs.wait(lock, [a_pblBouncing] { return !*a_pblBouncing; });
  }
  CDrvGuiMgr* pdrvguimgr = a_ppdrvguimgr ? *a_ppdrvguimgr : s_pdrvguimgr;
  if (pdrvguimgr) {
    ++pdrvguimgr->m_iRefs;
    ++t_iRefs;
  }
  return pdrvguimgr;
}

void CDrvGuiMgr::Release(CDrvGuiMgr* a_pdrvguimgr) {
  if (!a_pdrvguimgr) return;
  std::lock_guard<std::mutex> lock(s_mutexRefs);
  --a_pdrvguimgr->m_iRefs;
  --t_iRefs;
  s_condRefs.notify_all();
}

bool CDrvGuiMgr::Held() { return t_iRefs > 0; }

void CDrvGuiMgr::Replace(CDrvGuiMgr** a_ppdrvguimgr, bool* a_pblBouncing, CDrvGuiMgr* (*a_pfnMake)(void*),
                         void* a_pvArg) {
  CDbLockRelease dblockrelease;
  CDrvGuiMgr* pdrvguimgrOld;
  {
    std::unique_lock<std::mutex> lock(s_mutexRefs);
    s_condRefs.wait(lock, [a_pblBouncing] { return !*a_pblBouncing; });
    *a_pblBouncing = true;
    pdrvguimgrOld = *a_ppdrvguimgr;
    // The message procedure finds no manager until the new one is built.
    if (s_pdrvguimgr == pdrvguimgrOld) s_pdrvguimgr = nullptr;
    if (pdrvguimgrOld) s_condRefs.wait(lock, [pdrvguimgrOld] { return pdrvguimgrOld->m_iRefs == 0; });
    *a_ppdrvguimgr = nullptr;
  }
  OsMemDelete(pdrvguimgrOld);
  CDrvGuiMgr* pdrvguimgrNew = a_pfnMake(a_pvArg);
  std::lock_guard<std::mutex> lock(s_mutexRefs);
  *a_ppdrvguimgr = pdrvguimgrNew;
  *a_pblBouncing = false;
  s_condRefs.notify_all();
}

// ---------------------------------------------------------------------------
// Actions
// ---------------------------------------------------------------------------
EOSSTS CDrvGuiMgr::Action(EDRVGUIACTION a_edrvguiaction, CDrvGuiBase* a_pdrvguibase) {
  if (a_edrvguiaction == DRV_GUIACTION_DISPLAYMESSAGEMANAGER) {
    if (!a_pdrvguibase) {
      OsLog(OS_LOG_ERROR, "a_pdrvguibase is null...");
      return DRV_GUI_STS_NOGUI;
    }
    if (a_pdrvguibase->edrvguiaction != DRV_GUIACTION_DISPLAYMESSAGEMANAGER) {
      OsLog(OS_LOG_ERROR, "Bad CDrvGuiBase...%d != %d", static_cast<int>(a_pdrvguibase->edrvguiaction),
            static_cast<int>(DRV_GUIACTION_DISPLAYMESSAGEMANAGER));
      return OS_STS_FAIL;
    }
    a_pdrvguibase->pfnMessageManager = &CDrvGuiMgr::MessageManagerStatic;
    return OS_STS_SUCCESS;
  }
  bool blCreated = false;
  if (m_blCreatePending) {
    if (a_edrvguiaction == DRV_GUIACTION_MESSAGEMANAGER && !a_pdrvguibase) {
      OsLog(OS_LOG_ERROR, "a_pdrvguibase is null...");
      return DRV_GUI_STS_NOGUI;
    }
    const bool blCreates = Creates(a_edrvguiaction, a_pdrvguibase);
    if (DevDriverConfigGetLong(DRV_CFGTAG_FORCEGUIBOUNCE) != 1) m_blBouncePending = false;
    if (blCreates && m_blCreatePending.exchange(false)) {
      OsLogDebug(OS_LOG_INFO, "gui>>> CreateDrvGuiImpl triggered...%s", CDrvGui::GetActionName(a_edrvguiaction));
      if (!CreateDrvGuiImpl(a_edrvguiaction != DRV_GUIACTION_START)) return DRV_GUI_STS_NOGUI;
      blCreated = true;
    }
  }
  CDrvGuiImpl* pdrvguiimpl = m_pdrvguiimpl.load();
  if (!pdrvguiimpl) return DRV_GUI_STS_NOGUI;
  // A message shown by a GUI that only now starts loses the time it takes
  // to come up.
  if (blCreated && a_edrvguiaction == DRV_GUIACTION_MESSAGEMANAGER && a_pdrvguibase->lValue != 0 && g_poscfg) {
    const int64_t i64Platform = g_poscfg->InfoGetLong(OS_CFGINFO_OS_PLATFORM, 0);
    const long lDelay = DevDriverConfigGetLong(DRV_CFGTAG_FORCEGUIMSGDELAY);
    if ((i64Platform == 2 || i64Platform == 3) && lDelay < a_pdrvguibase->lValue) a_pdrvguibase->lValue -= lDelay;
  }
  const EOSSTS eossts = pdrvguiimpl->Action(a_edrvguiaction, a_pdrvguibase);
  if (a_edrvguiaction == DRV_GUIACTION_MESSAGEMANAGERCLEAR && m_blBouncePending.exchange(false)) {
    return DRV_GUI_STS_BOUNCE;
  }
  return eossts;
}

void CDrvGuiMgr::Indicators(bool* a_pblInfo, bool* a_pblWarning, bool* a_pblError, bool* a_pblWarmup) {
  *a_pblInfo = *a_pblWarning = *a_pblError = *a_pblWarmup = false;
  if (!m_pdatabase) return;
  CDbLockGuard dblockguard;
  if (m_pdatabase->GetCurrentLongFromId(DB_ID_INDICATORS) == DB_ID_INDICATORS_ENUM_TRUE) {
    CDbDatum* pdbdatum = m_pdatabase->Find(DB_ID_INDICATORSMODE);
    if (pdbdatum) {
      *a_pblInfo = m_pdatabase->EnumHasCurrentItem(pdbdatum, DB_ID_INDICATORSMODE_ENUM_INFO);
      *a_pblWarning = m_pdatabase->EnumHasCurrentItem(pdbdatum, DB_ID_INDICATORSMODE_ENUM_WARNING);
      *a_pblError = m_pdatabase->EnumHasCurrentItem(pdbdatum, DB_ID_INDICATORSMODE_ENUM_ERROR);
      *a_pblWarmup = m_pdatabase->EnumHasCurrentItem(pdbdatum, DB_ID_INDICATORSMODE_ENUM_WARMUP);
    }
  }
  if (m_pdatabase->GetCurrentLongFromId(DB_ID_INDICATORSWARMUP) == DB_ID_INDICATORSWARMUP_ENUM_TRUE) {
    *a_pblWarning = true;
    *a_pblWarmup = true;
  }
}

bool CDrvGuiMgr::Creates(EDRVGUIACTION a_edrvguiaction, const CDrvGuiBase* a_pdrvguibase) {
  bool blInfo, blWarning, blError, blWarmup;
  switch (a_edrvguiaction) {
    case DRV_GUIACTION_MESSAGEMANAGER:
      Indicators(&blInfo, &blWarning, &blError, &blWarmup);
      switch (a_pdrvguibase->i32Message) {
        case 3: case 4: case 5: case 6: case 16:
          return false;
        case 10: case 15:
          m_blBouncePending = blInfo;
          return blInfo;
        case 18:
          m_blBouncePending = blWarning;
          return blWarning;
        case 19:
          m_blBouncePending = blWarmup;
          return blWarmup;
        default:
          m_blBouncePending = true;
          return blInfo || blError;
      }
    case DRV_GUIACTION_SETSTATE:
      if (!a_pdrvguibase || a_pdrvguibase->i32Value != 2) return false;
      Indicators(&blInfo, &blWarning, &blError, &blWarmup);
      m_blBouncePending = blInfo;
      return blInfo;
    case DRV_GUIACTION_ECDOCUSTOMLEARNPRESSED:
    case DRV_GUIACTION_GETSHOWUI:
    case DRV_GUIACTION_GETUIVISIBLE:
    case DRV_GUIACTION_INTERFACELOCK:
    case DRV_GUIACTION_INTERFACEUNLOCK:
    case DRV_GUIACTION_MESSAGEMANAGERCLEAR:
    case DRV_GUIACTION_REQUESTCANCELPRESSED:
    case DRV_GUIACTION_RESETFLAGS:
    case DRV_GUIACTION_STOP:
    case DRV_GUIACTION_UPDATEVALUES:
      return false;
    default:
      return true;
  }
}

// ---------------------------------------------------------------------------
// The executable
// ---------------------------------------------------------------------------
void CDrvGuiMgr::ChoosePath(char* a_szPath, size_t a_sizetPath) {
  static constexpr DrvUiForce s_drvuiforce = {"gui>>>", "WIA detected, turning the GUI off...",
                                              "PMX_FORCETWAINGUI", DRV_CFGTAG_FORCETWAINGUI, "DRV_CFGTAGLOCAL_FORCE_TWAINGUI"};
  if (DrvUiForcedPath(s_drvuiforce, a_szPath, a_sizetPath)) return;
  if (!m_pdatabase) return;
  std::string strUi;
  {
    CDbLockGuard dblockguard;
    const char* szUi = m_pdatabase->ConfigGetString("ui", DB_CONFIGTARGET_COMMON);
    if (szUi) strUi = szUi;
  }
  if (strUi == "twaingui") {
    if (!COsFile::PathJoin(a_szPath, a_sizetPath, DrvUiCfgText(OS_CFGTAG_HOMEDIRECTORY), "twaingui")) *a_szPath = 0;
    if (*a_szPath) COsFile::PathAppendExe(a_szPath, a_sizetPath);
    OsLog(OS_LOG_INFO, "gui>>> twaingui --> <%s>", a_szPath);
  } else if (!strUi.empty()) {
    COsString::SStrCpy(a_szPath, a_sizetPath, strUi.c_str());
    OsLog(OS_LOG_INFO, "gui>>> <%s>", a_szPath);
  }
}

bool CDrvGuiMgr::CreateDrvGuiImpl(bool a_blStart) {
  char szPath[512];
  ChoosePath(szPath, sizeof szPath);
  if (!*szPath || strcasecmp(szPath, "none") == 0) {
    OsLog(OS_LOG_INFO, "gui>>> TWAIN GUI set to 'none'...");
    m_blCreatePending = false;
    return false;
  }
  // The found file is kept as its full path: a bare name would run from
  // whatever the current directory is.
  OsFileInfo osfileinfo;
  std::memset(&osfileinfo, 0, sizeof osfileinfo);
  const bool blFound = COsFile::FindFirst(szPath, &osfileinfo) == OS_STS_SUCCESS;
  COsFile::FindClose(&osfileinfo);
  if (!blFound || osfileinfo.eosfiletype == OS_FILETYPE_DIRECTORY) {
    OsLog(OS_LOG_ERROR, "gui>>> TWAIN GUI executable (%s) not found! GUI will not be loaded", szPath);
    m_blCreatePending = false;
    return false;
  }
  m_blCreatePending = false;
  char szFound[512];
  if (COsFile::PathAbsolute(szFound, sizeof szFound, szPath) != OS_STS_SUCCESS || !*szFound)
    COsString::SStrCpy(szFound, sizeof szFound, szPath);
  CDrvGuiImpl* pdrvguiimpl = OsMemNew(CDrvGuiImpl, m_pdatabase, m_pdev, m_pdriver, szFound);
  if (!pdrvguiimpl) {
    OsLog(OS_LOG_ERROR, "OsMemNew failed...");
    return false;
  }
  if (a_blStart) pdrvguiimpl->Action(DRV_GUIACTION_START, nullptr);
  m_pdrvguiimpl.store(pdrvguiimpl);
  return true;
}

// ---------------------------------------------------------------------------
// The message procedure
// ---------------------------------------------------------------------------
EOSSTS CDrvGuiMgr::MessageManagerStatic(EDEVDLG a_edevdlg, EDEVMSG a_edevmsg, const char* a_szText, long a_lValue,
                                        EDEVBUTTONS a_edevbuttons) {
  OsLogDebug(OS_LOG_INFO, ">>> MessageManager(%d,%d,%s,%ld,%d)", static_cast<int>(a_edevdlg),
             static_cast<int>(a_edevmsg), a_szText ? a_szText : "(null)", a_lValue, static_cast<int>(a_edevbuttons));
  DrvGuiMgrRef drvguimgrref(nullptr, nullptr);
  if (!drvguimgrref.Get()) return DRV_GUI_STS_NOGUI;
  CDrvGuiBase drvguibase;
  drvguibase.edrvguiaction = DRV_GUIACTION_MESSAGEMANAGER;
  drvguibase.i32Value = a_edevdlg;
  drvguibase.i32Message = a_edevmsg;
  drvguibase.szText = a_szText;
  drvguibase.lValue = a_lValue;
  drvguibase.edevbuttons = a_edevbuttons;
  return drvguimgrref.Get()->Action(DRV_GUIACTION_MESSAGEMANAGER, &drvguibase);
}
