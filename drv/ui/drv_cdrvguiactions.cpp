// The GUI bridge's actions that show things or run the driver's work: the
// learning commands, the main enable, the message manager's shorthands,
// the display state and the main window's UI modes.
#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "drv_cdriver.h"
#include "drv_cdrvguiimpl.h"
#include "os_coslog.h"

EOSSTS CDrvGuiImpl::RunMessageAction(EDRVGUIACTION a_edrvguiaction, CDrvGuiBase* a_pdrvguibase) {
  switch (a_edrvguiaction) {
    case DRV_GUIACTION_AUTOCOLORLEARN: return m_pdriver ? m_pdriver->AutoColorLearn() : OS_STS_FAIL;
    case DRV_GUIACTION_ECDOCUSTOMLEARN: return m_pdriver ? m_pdriver->EcdoCustomLearn() : OS_STS_FAIL;
    case DRV_GUIACTION_MAINENABLEDS:
      // The record's one-byte flag is the show-UI byte.
      if (m_blNoGui || !*m_szPath || a_pdrvguibase->i32Value == 0)
        return m_pdriver ? m_pdriver->ScanBegin(DRV_SCANTYPE_NORMAL, false) : OS_STS_FAIL;
      if (m_pdatabase) {
        CDbLockGuard dblockguard;
        m_pdatabase->RememberAll();
      }
      MessageManagerUiCreate(DEV_MSG_UISCAN);
      return OS_STS_SUCCESS;
    case DRV_GUIACTION_MESSAGEMANAGER:
      return MessageManager(static_cast<EDEVDLG>(a_pdrvguibase->i32Value),
                            static_cast<EDEVMSG>(a_pdrvguibase->i32Message), a_pdrvguibase->szText,
                            a_pdrvguibase->lValue, a_pdrvguibase->edevbuttons, a_pdrvguibase->pedbinfobutton);
    case DRV_GUIACTION_MESSAGEMANAGERANDWAITFOROK:
      return MessageManagerAndWaitForOk(static_cast<EDEVDLG>(a_pdrvguibase->i32Value),
                                        static_cast<EDEVMSG>(a_pdrvguibase->i32Message), a_pdrvguibase->szText);
    case DRV_GUIACTION_MESSAGEMANAGERCLEAR: return MessageManagerClear(static_cast<EDEVDLG>(a_pdrvguibase->i32Value));
    case DRV_GUIACTION_MESSAGEMANAGERUICREATE:
      return MessageManagerUiCreate(static_cast<EDEVMSG>(a_pdrvguibase->i32Message));
    case DRV_GUIACTION_MESSAGEMANAGERUIDESTROY: return MessageManagerUiDestroy();
    case DRV_GUIACTION_SETSTATE:
      GuiSetState(static_cast<EGUISTATE>(a_pdrvguibase->i32Value));
      return OS_STS_SUCCESS;
    case DRV_GUIACTION_TESTINFOBOX:
      TestInfoBox(a_pdrvguibase->i32Message);
      return OS_STS_SUCCESS;
    default:
      OsLog(OS_LOG_ERROR, "gui>>> %s not built yet...", CDrvGui::GetActionName(a_edrvguiaction));
      return OS_STS_FAIL;
  }
}

// The answer is awaited and thrown away.
EOSSTS CDrvGuiImpl::MessageManagerAndWaitForOk(EDEVDLG a_edevdlg, EDEVMSG a_edevmsg, const char* a_szText) {
  return MessageManager(a_edevdlg, a_edevmsg, a_szText, 0, DEV_BUTTONS_OK, reinterpret_cast<EDBINFOBUTTON*>(1));
}

EOSSTS CDrvGuiImpl::MessageManagerClear(EDEVDLG a_edevdlg) {
  return MessageManager(a_edevdlg, DEV_MSG_CLEAR, nullptr, 0, DEV_BUTTONS_NONE, nullptr);
}

// The setup modes open on the first camera of the current window.
EOSSTS CDrvGuiImpl::MessageManagerUiCreate(EDEVMSG a_edevmsg) {
  if (a_edevmsg >= DEV_MSG_UISETUP && a_edevmsg <= DEV_MSG_UISETUPSERVICE && m_pdatabase) {
    CDbLockGuard dblockguard;
    m_pdatabase->SetCurrentWindowBin();
  }
  if (a_edevmsg < DEV_MSG_UIABOUT || a_edevmsg > DEV_MSG_UISETUPSERVICE)
    OsLog(OS_LOG_ERROR, "Invalid message for UiCreate...%d", static_cast<int>(a_edevmsg));
  return MessageManager(DEV_DLG_MAIN, a_edevmsg, nullptr, 0, DEV_BUTTONS_NONE, nullptr);
}

EOSSTS CDrvGuiImpl::MessageManagerUiDestroy() {
  return MessageManager(DEV_DLG_MAIN, DEV_MSG_UIDESTROY, nullptr, 0, DEV_BUTTONS_NONE, nullptr);
}

void CDrvGuiImpl::GuiSetState(EGUISTATE a_eguistate) {
  if (m_blNoGui || !*m_szPath) return;
  switch (a_eguistate) {
    case GUI_STATE_SCANENDED:
      m_blScanning = false;
      MessageManagerClear(DEV_DLG_SCANNING);
      return;
    case GUI_STATE_SCANSTARTED: {
      m_blCancelRequested = false;
      m_blMessageCount = false;
      bool blInfo = false, blWarning = false, blError = false, blWarmup = false;
      if (m_pdatabase) {
        CDbLockGuard dblockguard;
        if (m_pdatabase->GetCurrentLongFromId(DB_ID_INDICATORS) == DB_ID_INDICATORS_ENUM_TRUE) {
          CDbDatum* pdbdatum = m_pdatabase->Find(DB_ID_INDICATORSMODE);
          if (pdbdatum) {
            blInfo = m_pdatabase->EnumHasCurrentItem(pdbdatum, DB_ID_INDICATORSMODE_ENUM_INFO);
            blWarning = m_pdatabase->EnumHasCurrentItem(pdbdatum, DB_ID_INDICATORSMODE_ENUM_WARNING);
            blError = m_pdatabase->EnumHasCurrentItem(pdbdatum, DB_ID_INDICATORSMODE_ENUM_ERROR);
            blWarmup = m_pdatabase->EnumHasCurrentItem(pdbdatum, DB_ID_INDICATORSMODE_ENUM_WARMUP);
          }
        }
        if (m_pdatabase->GetCurrentLongFromId(DB_ID_INDICATORSWARMUP) == DB_ID_INDICATORSWARMUP_ENUM_TRUE)
          blWarning = blWarmup = true;
      }
      if (!blInfo && !blWarning && !blError && !blWarmup && !m_blShowUi) return;
      m_blScanning = true;
      MessageManager(DEV_DLG_SCANNING, DEV_MSG_INITIALIZING, nullptr, 0, DEV_BUTTONS_NONE, nullptr);
      if (m_pdev) m_pdev->ScanStatisticsReset();
      SendHealthCheck("detectingscansource");
      return;
    }
    default: OsLog(OS_LOG_ERROR, "Unrecognized m_eguistate...%d", static_cast<int>(a_eguistate));
  }
}
