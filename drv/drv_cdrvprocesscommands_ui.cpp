// The user-interface commands: uibegin and uiend (the GUI's own dialogs for
// a front end, the values remembered so that a cancelled dialog can put
// them back), and the requests passed to the device facade: setupbegin,
// setupend, notifydevicestatus and setocpbuttons.
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "drv_cdrvgui.h"
#include "drv_cdrvprocesscommands.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosxmltask.h"

namespace {

// The dialogs a front end may open, by their uimode names.
struct DrvUiMode {
  const char* szName;
  int32_t i32Dialog;
};
constexpr DrvUiMode s_adrvuimode[] = {
    {"about", 22},         {"scan", 24},           {"scanadvanced", 25},     {"scanpreview", 26},
    {"setup", 27},         {"setupadvanced", 28},  {"setupeol", 29},         {"setupiaprinter", 30},
    {"setupnoiaprinter", 31}, {"setupnoiaprinterocp", 32}, {"setupservice", 33},
};

}  // namespace

EOSSTS CDrvProcessCommands::GuiAction(EDRVGUIACTION a_edrvguiaction, int32_t a_i32Value) {
  if (!m_pdrvgui) return DRV_GUI_STS_NOGUI;
  CDrvGuiBase drvguibase;
  drvguibase.edrvguiaction = a_edrvguiaction;
  drvguibase.i32Value = a_i32Value;
  return m_pdrvgui->Action(a_edrvguiaction, &drvguibase);
}

EOSSTS CDrvProcessCommands::GuiAction(EDRVGUIACTION a_edrvguiaction) {
  return m_pdrvgui ? m_pdrvgui->Action(a_edrvguiaction, nullptr) : DRV_GUI_STS_NOGUI;
}

// ---------------------------------------------------------------------------
// uibegin
// ---------------------------------------------------------------------------
EOSSTS CDrvProcessCommands::EnterUibeginModal(OsXmlCallback* a_posxmlcallback) {
  m_blModal = ElementTrue(a_posxmlcallback);
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterUibeginUimode(OsXmlCallback* a_posxmlcallback) {
  for (const DrvUiMode& drvuimode : s_adrvuimode) {
    if (std::strcmp(drvuimode.szName, ElementText(a_posxmlcallback)) == 0) {
      m_i32Dialog = drvuimode.i32Dialog;
      return OS_STS_SUCCESS;
    }
  }
  OsLog(OS_LOG_ERROR, "Unrecognized uimode %s...", ElementText(a_posxmlcallback));
  return AnswerWord("fail");
}

// The bridge answers NOGUI with 0 or 49 when there is no GUI program, and
// ISGUIRUNNING with 0 when it runs.
EOSSTS CDrvProcessCommands::ExitUibegin(OsXmlCallback*) {
  if (NoDatabase()) return OS_STS_FAIL;
  const EOSSTS eosstsNoGui = GuiAction(DRV_GUIACTION_NOGUI);
  if (eosstsNoGui == OS_STS_SUCCESS || eosstsNoGui == DRV_GUI_STS_NOGUI) {
    OsLogDebug(OS_LOG_INFO, "We have no GUI...");
    return AnswerDevice(static_cast<EOSSTS>(DEV_STS_BADARG));
  }
  if (GuiAction(DRV_GUIACTION_ISGUIRUNNING) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "We have no GUI...");
    return AnswerDevice(static_cast<EOSSTS>(DEV_STS_BADARG));
  }
  if (g_posmem) g_posmem->ThreadSafeFree(nullptr, __FILE__, __LINE__);
  {
    CDbLockGuard dblockguard;
    m_pdatabase->SetCurrentLongFromId(DB_ID_PREVIEWMODE, DB_ID_PREVIEWMODE_ENUM_FALSE, false);
  }
  const EOSSTS eossts = EngineResourceBegin(true);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "ResourceBegin failed...%d", static_cast<int>(eossts));
    return AnswerDevice(eossts);
  }
  if (m_blModal) GuiAction(DRV_GUIACTION_SETMODAL, 1);
  {
    CDbLockGuard dblockguard;
    m_pdatabase->RememberAll();
  }
  GuiAction(DRV_GUIACTION_MESSAGEMANAGERUICREATE, m_i32Dialog);
  GuiAction(DRV_GUIACTION_SETSHOWUI, 1);
  return AnswerWord("success");
}

// ---------------------------------------------------------------------------
// uiend
// ---------------------------------------------------------------------------
EOSSTS CDrvProcessCommands::ExitUiend(OsXmlCallback*) {
  if (NoDatabase()) return OS_STS_FAIL;
  GuiAction(DRV_GUIACTION_SETUIVISIBLE, 0);
  GuiAction(DRV_GUIACTION_SETREQUESTOKPRESSED, 0);
  GuiAction(DRV_GUIACTION_MESSAGEMANAGERUIDESTROY);
  GuiAction(DRV_GUIACTION_SETSHOWUI, 0);
  if (m_blModal) GuiAction(DRV_GUIACTION_SETMODAL, 2);
  if (m_pdev && m_pdev->ResourceEnd() != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "ResourceEnd failed...");
  return AnswerUiEnd();
}

EOSSTS CDrvProcessCommands::AnswerUiEnd() {
  CDbLockGuard dblockguard;
  StartReply("success");
  COsXmlTask* posxmltask = m_pdatabase->GetXmlTask();
  posxmltask->StartCommand("reportuiend", 1);
  AddDebugRecord();
  AddSimulationRecord();
  posxmltask->FinalizeCommand("reportuiend");
  return FinishReply(DB_STS_SUCCESS, false) == DB_STS_SUCCESS ? OS_STS_SUCCESS : OS_STS_FAIL;
}

void CDrvProcessCommands::AddDebugRecord() {
  const DbDebugRecord* pdbdebugrecord = m_pdatabase->GetDebugRecord();
  COsXmlTask* posxmltask = m_pdatabase->GetXmlTask();
  posxmltask->StartCommand("debug", 2);
  AddTextArgument("logging", pdbdebugrecord->szLogging);
  posxmltask->AddArgument("logginglevel", pdbdebugrecord->i32LoggingLevel);
  AddTextArgument("imagesfromscanner", pdbdebugrecord->szImagesFromScanner);
  AddTextArgument("imagestoapp", pdbdebugrecord->szImagesToApplication);
  posxmltask->FinalizeCommand("debug");
}

// A simulation of "once" has been used up: it is reported as "false".
void CDrvProcessCommands::AddSimulationRecord() {
  const DbSimulationRecord* pdbsimulationrecord = m_pdatabase->GetSimulationRecord();
  COsXmlTask* posxmltask = m_pdatabase->GetXmlTask();
  posxmltask->StartCommand("simulate", 2);
  const char* szSimulation = pdbsimulationrecord->szSimulation;
  AddTextArgument("simulation", std::strcmp(szSimulation, "once") == 0 ? "false" : szSimulation);
  AddTextArgument("simmodel", pdbsimulationrecord->aszModel[0]);
  AddTextArgument("simflatbed", pdbsimulationrecord->aszFlatbed[0]);
  for (const DbSimFlag& dbsimflag : pdbsimulationrecord->adbsimflag) {
    if (!dbsimflag.szId[0]) break;
    posxmltask->StartCommand("simflag", 3);
    AddTextArgument("id", dbsimflag.szId);
    AddTextArgument("value", dbsimflag.szValue);
    AddTextArgument("text", dbsimflag.szText);
    posxmltask->FinalizeCommand("simflag");
  }
  posxmltask->FinalizeCommand("simulate");
}

// ---------------------------------------------------------------------------
// Setup, device status and the operator panel
// ---------------------------------------------------------------------------
EOSSTS CDrvProcessCommands::EnterSetupbeginSetupscan(OsXmlCallback* a_posxmlcallback) {
  m_blSetupFlag = ElementTrue(a_posxmlcallback);
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::ExitSetupbegin(OsXmlCallback*) {
  const EOSSTS eossts = m_pdev ? m_pdev->SetupBegin(m_blSetupFlag) : OS_STS_FAIL;
  return eossts == OS_STS_SUCCESS ? AnswerWord("success") : AnswerDevice(eossts);
}

EOSSTS CDrvProcessCommands::EnterSetupendCancel(OsXmlCallback* a_posxmlcallback) {
  m_blSetupFlag = ElementTrue(a_posxmlcallback);
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::ExitSetupend(OsXmlCallback*) {
  if (m_pdev) m_pdev->SetupEnd(m_blSetupFlag);
  return AnswerWord("success");
}

EOSSTS CDrvProcessCommands::EnterNotifydevicestatus(OsXmlCallback*) {
  m_blDeviceOnline = false;
  ConfigText("devicefilename", "");
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterNotifydevicestatusDevicefilename(OsXmlCallback* a_posxmlcallback) {
  ConfigText("devicefilename", ElementText(a_posxmlcallback));
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterNotifydevicestatusDeviceonline(OsXmlCallback* a_posxmlcallback) {
  m_blDeviceOnline = ElementTrue(a_posxmlcallback);
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::ExitNotifydevicestatus(OsXmlCallback*) {
  if (m_pdev) m_pdev->NotifyDeviceStatusDeviceOnline(m_blDeviceOnline);
  return AnswerWord("success");
}

EOSSTS CDrvProcessCommands::ExitSetocpbuttons(OsXmlCallback* a_posxmlcallback) {
  const EOSSTS eossts = m_pdev ? m_pdev->SetOcpButtons(ElementText(a_posxmlcallback)) : OS_STS_FAIL;
  return eossts == OS_STS_SUCCESS ? AnswerWord("success") : AnswerDevice(eossts);
}
