// The GUI bridge without a GUI program: the action table, the record checks
// and the answers every caller relies on when no GUI runs.
#include "drv_cdrvgui.h"

#include <iterator>

#include "os_coslog.h"

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

// The message procedure hands its record to the manager, which answers
// without a GUI at once.
EOSSTS DisplayMessageManager(CDrvGuiBase* a_pdrvguibase) {
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

}  // namespace

CDrvGui::CDrvGui(CDatabase* a_pdatabase, CDev* a_pdev, CDriver* a_pdriver)
    : m_pdatabase(a_pdatabase), m_pdev(a_pdev), m_pdriver(a_pdriver) {}

CDrvGui::~CDrvGui() = default;

EOSSTS CDrvGui::Action(EDRVGUIACTION a_edrvguiaction, CDrvGuiBase* a_pdrvguibase) {
  EOSSTS eossts = OS_STS_SUCCESS;
  if (s_pdrvguiactionseam && s_pdrvguiactionseam->Action(a_edrvguiaction, a_pdrvguibase, &eossts)) return eossts;
  if (!Known(a_edrvguiaction)) {
    OsLog(OS_LOG_ERROR, "Unrecognized a_edrvguiaction...%d", static_cast<int>(a_edrvguiaction));
    return OS_STS_FAIL;
  }
  CheckRecord(a_edrvguiaction, a_pdrvguibase);
  if (a_edrvguiaction == DRV_GUIACTION_DISPLAYMESSAGEMANAGER) return DisplayMessageManager(a_pdrvguibase);
  return DRV_GUI_STS_NOGUI;
}

// Without a GUI program there is no link to restart.
void CDrvGui::Bounce() {
  if (s_pdrvguiactionseam) s_pdrvguiactionseam->Bounce();
}

const char* CDrvGui::GetActionName(EDRVGUIACTION a_edrvguiaction) {
  if (a_edrvguiaction < DRV_GUIACTION_UNDEFINED || a_edrvguiaction > DRV_GUIACTION_LAST) return "?";
  return s_adrvguiaction[a_edrvguiaction].szName;
}

void CDrvGui::SetActionSeam(CDrvGuiActionSeam* a_pdrvguiactionseam) { s_pdrvguiactionseam = a_pdrvguiactionseam; }

// No GUI shows the message: it is only logged.
EOSSTS CDrvGuiMgr::MessageManagerStatic(EDEVDLG a_edevdlg, EDEVMSG a_edevmsg, const char* a_szText, long a_lValue,
                                        EDEVBUTTONS a_edevbuttons) {
  OsLogDebug(OS_LOG_INFO, ">>> MessageManager(%d,%d,%s,%ld,%d)", static_cast<int>(a_edevdlg),
             static_cast<int>(a_edevmsg), a_szText ? a_szText : "(null)", a_lValue, static_cast<int>(a_edevbuttons));
  return DRV_GUI_STS_NOGUI;
}
