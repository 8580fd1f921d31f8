// The GUI bridge's facade: the action table, the record checks, the test
// seam, and the bounce that replaces the manager.
#include "drv_cdrvgui.h"

#include <iterator>

#include "dev_drvconfig.h"
#include "drv_cdrvguimgr.h"
#include "os_coslog.h"
#include "os_cosmem.h"

namespace {

// Each action's name and whether it takes a record.
struct DrvGuiActionRow {
  const char* szName;
  bool blRecord;
};

const DrvGuiActionRow s_adrvguiaction[] = {
    {"DRV_GUIACTION_UNDEFINED", false},
    {"DRV_GUIACTION_AUTOCOLORLEARN", false},
    {"DRV_GUIACTION_DISPLAYMESSAGEMANAGER", true},
    {"DRV_GUIACTION_ECDOCUSTOMLEARN", false},
    {"DRV_GUIACTION_ECDOCUSTOMLEARNPRESSED", false},
    {"DRV_GUIACTION_GETMESSAGECOUNT", false},
    {"DRV_GUIACTION_GETSHOWUI", false},
    {"DRV_GUIACTION_GETUIVISIBLE", false},
    {"DRV_GUIACTION_INTERFACELOCK", true},
    {"DRV_GUIACTION_INTERFACEUNLOCK", true},
    {"DRV_GUIACTION_ISGUIRUNNING", false},
    {"DRV_GUIACTION_MAINENABLEDS", true},
    {"DRV_GUIACTION_MESSAGEMANAGER", true},
    {"DRV_GUIACTION_MESSAGEMANAGERANDWAITFOROK", true},
    {"DRV_GUIACTION_MESSAGEMANAGERCLEAR", true},
    {"DRV_GUIACTION_MESSAGEMANAGERUICREATE", true},
    {"DRV_GUIACTION_MESSAGEMANAGERUIDESTROY", false},
    {"DRV_GUIACTION_NOGUI", false},
    {"DRV_GUIACTION_REQUESTCANCELPRESSED", false},
    {"DRV_GUIACTION_RESETFLAGS", false},
    {"DRV_GUIACTION_SETMESSAGECOUNT", false},
    {"DRV_GUIACTION_SETMODAL", true},
    {"DRV_GUIACTION_SETREQUESTOKPRESSED", true},
    {"DRV_GUIACTION_SETSHOWUI", true},
    {"DRV_GUIACTION_SETSTATE", true},
    {"DRV_GUIACTION_SETUIVISIBLE", true},
    {"DRV_GUIACTION_START", false},
    {"DRV_GUIACTION_STOP", false},
    {"DRV_GUIACTION_TESTINFOBOX", true},
    {"DRV_GUIACTION_UPDATEVALUES", false},
    {"DRV_GUIACTION_LAST", false},
};
static_assert(std::size(s_adrvguiaction) == DRV_GUIACTION_LAST + 1);

CDrvGuiActionSeam* s_pdrvguiactionseam = nullptr;

bool Known(EDRVGUIACTION a_edrvguiaction) {
  return a_edrvguiaction > DRV_GUIACTION_UNDEFINED && a_edrvguiaction < DRV_GUIACTION_LAST;
}

// A record where none belongs, or none where one does, is logged; the
// action goes on.
void CheckRecord(EDRVGUIACTION a_edrvguiaction, const CDrvGuiBase* a_pdrvguibase) {
  const DrvGuiActionRow& row = s_adrvguiaction[a_edrvguiaction];
  if (row.blRecord && !a_pdrvguibase) {
    OsLog(OS_LOG_ERROR, "gui>>> action missing value...%s", row.szName);
  } else if (!row.blRecord && a_pdrvguibase) {
    OsLog(OS_LOG_ERROR, "gui>>> action has value, when it should have NULL...%s", row.szName);
  }
}

}  // namespace

CDrvGui::CDrvGui(CDatabase* a_pdatabase, CDev* a_pdev, CDriver* a_pdriver)
    : m_pdatabase(a_pdatabase), m_pdev(a_pdev), m_pdriver(a_pdriver) {
  m_pdrvguimgr = OsMemNew(CDrvGuiMgr, m_pdatabase, m_pdev, m_pdriver);
  if (!m_pdrvguimgr) OsLog(OS_LOG_ERROR, "OsMemNew failed...");
}

CDrvGui::~CDrvGui() {
  CDrvGuiMgr::Replace(
      &m_pdrvguimgr, &m_blBouncing, [](void*) -> CDrvGuiMgr* { return nullptr; }, nullptr);
}

EOSSTS CDrvGui::Action(EDRVGUIACTION a_edrvguiaction, CDrvGuiBase* a_pdrvguibase) {
  EOSSTS eossts = OS_STS_SUCCESS;
  if (s_pdrvguiactionseam && s_pdrvguiactionseam->Action(a_edrvguiaction, a_pdrvguibase, &eossts)) return eossts;
  if (!Known(a_edrvguiaction)) {
    OsLog(OS_LOG_ERROR, "Unrecognized a_edrvguiaction...%d", static_cast<int>(a_edrvguiaction));
    return OS_STS_FAIL;
  }
  CheckRecord(a_edrvguiaction, a_pdrvguibase);
  {
    DrvGuiMgrRef drvguimgrref(&m_pdrvguimgr, &m_blBouncing);
    if (!drvguimgrref.Get()) {
      OsLog(OS_LOG_ERROR, "m_pdrvguiimpl is null...");
      return OS_STS_FAIL;
    }
    eossts = drvguimgrref.Get()->Action(a_edrvguiaction, a_pdrvguibase);
  }
  // A bounce asked for inside another action waits for the outermost one
  // to give back its reference.
  if (eossts == DRV_GUI_STS_BOUNCE && CDrvGuiMgr::Held()) {
    m_blBounceDeferred = true;
    return OS_STS_SUCCESS;
  }
  if (eossts != DRV_GUI_STS_BOUNCE && (CDrvGuiMgr::Held() || !m_blBounceDeferred.exchange(false))) return eossts;
  m_blBounceDeferred = false;
  Bounce();
  return eossts == DRV_GUI_STS_BOUNCE ? OS_STS_SUCCESS : eossts;
}

// The stop wakes every waiter of the old GUI, so that their references
// end; a thread inside an action cannot wait for its own reference.
void CDrvGui::Bounce() {
  if (s_pdrvguiactionseam) {
    s_pdrvguiactionseam->Bounce();
    return;
  }
  if (DevDriverConfigGetLong(DRV_CFGTAG_FORCEGUIBOUNCE) != 1) return;
  if (CDrvGuiMgr::Held()) {
    OsLog(OS_LOG_ERROR, "Bounce from inside a GUI action, not done...");
    return;
  }
  Action(DRV_GUIACTION_STOP, nullptr);
  CDrvGuiMgr::Replace(
      &m_pdrvguimgr, &m_blBouncing,
      [](void* a_pvDrvGui) -> CDrvGuiMgr* {
        CDrvGui* pdrvgui = static_cast<CDrvGui*>(a_pvDrvGui);
        CDrvGuiMgr* pdrvguimgr = OsMemNew(CDrvGuiMgr, pdrvgui->m_pdatabase, pdrvgui->m_pdev, pdrvgui->m_pdriver);
        if (!pdrvguimgr) OsLog(OS_LOG_ERROR, "OsMemNew failed...");
        return pdrvguimgr;
      },
      this);
}

const char* CDrvGui::GetActionName(EDRVGUIACTION a_edrvguiaction) {
  if (a_edrvguiaction < DRV_GUIACTION_UNDEFINED || a_edrvguiaction > DRV_GUIACTION_LAST) return "?";
  return s_adrvguiaction[a_edrvguiaction].szName;
}

void CDrvGui::SetActionSeam(CDrvGuiActionSeam* a_pdrvguiactionseam) { s_pdrvguiactionseam = a_pdrvguiactionseam; }
