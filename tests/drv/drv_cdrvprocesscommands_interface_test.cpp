// The interface, session and user-interface commands on the driver core
// without a device: what interfaceopen keeps of its arguments (the debug and
// simulation records, the configuration keys, the caller's name as one path
// element), what sessionbegin keeps before it opens the device, uibegin
// through the GUI bridge, and uiend's report.
// Every reply passes xmllint.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db_cdblock.h"
#include "db_cdbconfig.h"
#include "drv_cdrvprocesscommands.h"
#include "drv_fixture.h"
#include "os_coslocale.h"

using drvtest::Reply;
using drvtest::Task;

namespace {

// Answers the GUI bridge's questions as a running GUI would and records
// every action asked of it.
class GuiRunning : public CDrvGuiActionSeam {
 public:
  bool Action(EDRVGUIACTION a_edrvguiaction, CDrvGuiBase* a_pdrvguibase, EOSSTS* a_peossts) override {
    vecAction.push_back(std::string(CDrvGui::GetActionName(a_edrvguiaction)) + " " +
                        std::to_string(a_pdrvguibase ? a_pdrvguibase->i32Value : -1));
    *a_peossts = a_edrvguiaction == DRV_GUIACTION_NOGUI ? OS_STS_FAIL : OS_STS_SUCCESS;
    return a_edrvguiaction != DRV_GUIACTION_DISPLAYMESSAGEMANAGER;
  }
  bool Saw(const std::string& a_strAction) const {
    for (const std::string& str : vecAction) {
      if (str == a_strAction) return true;
    }
    return false;
  }
  std::vector<std::string> vecAction;
};

class DrvInterfaceTest : public drvtest::DrvFixture {
 protected:
  void TearDown() override {
    CDrvGui::SetActionSeam(nullptr);
    if (!m_vecReplies.empty()) {
      std::vector<std::string> vecPaths;
      for (size_t i = 0; i < m_vecReplies.size(); ++i) {
        vecPaths.push_back(testsupport::RootPath("reply" + std::to_string(i) + ".xml"));
        testsupport::WriteFile(vecPaths.back(), m_vecReplies[i]);
      }
      std::vector<std::string> vecArgument = {"xmllint", "--noout"};
      vecArgument.insert(vecArgument.end(), vecPaths.begin(), vecPaths.end());
      int iStatus = -1;
      const std::string strOut = testsupport::RunProgram(vecArgument, &iStatus);
      EXPECT_EQ(iStatus, 0) << strOut;
    }
    DrvFixture::TearDown();
  }

  Reply Send(const std::string& a_strCommand, const std::string& a_strBody = "") {
    const Reply reply = Run(Task("<" + a_strCommand + ">" + a_strBody + "</" + a_strCommand + ">"));
    m_vecReplies.push_back(reply.strText);
    return reply;
  }

  // An interfaceopen: its arguments are kept even though, without a
  // device, the open itself fails.
  Reply InterfaceOpen(const std::string& a_strBody) {
    const Reply reply = Send("interfaceopen", a_strBody);
    EXPECT_EQ(reply.strStatus, "fail");
    EXPECT_TRUE(m_plog->Contains("m_pdev is null..."));
    return reply;
  }

  std::string Config(const char* a_szKey) {
    CDbLockGuard dblockguard;
    const char* sz = m_pdatabase->ConfigGetString(a_szKey, DB_CONFIGTARGET_COMMON);
    return sz ? sz : "(none)";
  }

  std::vector<std::string> m_vecReplies;
};

// uiend reports the debug and simulation records interfaceopen filled; a
// simulation of "once" has been used up and reads "false".
TEST_F(DrvInterfaceTest, UiendEchoesTheDebugAndSimulationRecords) {
  InterfaceOpen(
      "<debug><logging>custom</logging><logginglevel>3</logginglevel><imagesfromscanner>off</imagesfromscanner>"
      "<imagestoapp>on</imagestoapp></debug>"
      "<simulate><simulation>once</simulation><simmodel>mapleB</simmodel><simflatbed>flat</simflatbed>"
      "<simflag><id>pages</id><value>4</value><text>four</text></simflag>"
      "<simflag><id>busy</id><value>3</value><text></text></simflag></simulate>");
  DriveToInitialized();
  const Reply reply = Send("uiend");
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_NE(reply.strText.find("<reportuiend>\n\t\t<debug>\n\t\t\t<logging>custom</logging>\n\t\t\t<logginglevel>3"
                               "</logginglevel>\n\t\t\t<imagesfromscanner>off</imagesfromscanner>\n\t\t\t"
                               "<imagestoapp>on</imagestoapp>\n\t\t</debug>"),
            std::string::npos)
      << reply.strText;
  for (const char* sz : {"<simulation>false</simulation>", "<simmodel>mapleB</simmodel>", "<simflatbed>flat</simflatbed>",
                         "<id>pages</id>\n\t\t\t\t<value>4</value>\n\t\t\t\t<text>four</text>", "<id>busy</id>"})
    EXPECT_NE(reply.strText.find(sz), std::string::npos) << sz << "\n" << reply.strText;
  EXPECT_EQ(m_pdrvcommandfsm->GetCurrentState(), DRV_STATE_INITIALIZED);
}

// The record holds a fixed number of simflags: the rest are logged and
// dropped, and the reply still lists the first ones whole.
TEST_F(DrvInterfaceTest, SimflagsBeyondTheRecordAreDropped) {
  std::string strFlags;
  for (int i = 0; i < 1000; ++i)
    strFlags += "<simflag><id>f" + std::to_string(i) + "</id><value>" + std::to_string(i) + "</value><text></text></simflag>";
  InterfaceOpen("<simulate><simulation>true</simulation>" + strFlags + "</simulate>");
  EXPECT_TRUE(m_plog->Contains("Array overflow for <simflag/id>"));
  DriveToInitialized();
  const Reply reply = Send("uiend");
  EXPECT_EQ(reply.strStatus, "success");
  const std::string strLast = "<id>f" + std::to_string(DB_SIM_FLAGS - 1) + "</id>";
  EXPECT_NE(reply.strText.find(strLast), std::string::npos);
  EXPECT_EQ(reply.strText.find("<id>f" + std::to_string(DB_SIM_FLAGS) + "</id>"), std::string::npos);
}

// The level follows a logging of "custom" given before it; given first it
// only reaches the record.
TEST_F(DrvInterfaceTest, TheLoggingLevelFollowsACustomLoggingGivenBefore) {
  const long lBefore = g_poslog->GetDebugLevel();
  InterfaceOpen("<debug><logginglevel>9</logginglevel><logging>custom</logging></debug>");
  EXPECT_EQ(g_poslog->GetDebugLevel(), lBefore);
  EXPECT_EQ(m_pdatabase->GetDebugRecord()->i32LoggingLevel, 9);
  m_pdrvcommandfsm->ChangeState(OS_STS_FAIL);
  InterfaceOpen("<debug><logging>custom</logging><logginglevel>9</logginglevel></debug>");
  EXPECT_EQ(g_poslog->GetDebugLevel(), 9);
}

// The caller's name becomes one path element of the profile directory; the
// key keeps it as given. The kind of interface is chosen by exact names.
TEST_F(DrvInterfaceTest, TheCallerNameAndTheInterfaceKind) {
  const struct {
    const char* szCaller;
    const char* szKind;
  } acase[] = {{"../../x", "1"}, {"wia", "2"}, {"WIA", "1"}, {"sti", "3"}, {"..", "1"}, {"", "1"}, {"a\\b", "1"}};
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szCaller);
    InterfaceOpen(std::string("<callername>") + c.szCaller + "</callername>");
    EXPECT_EQ(Config("callername"), c.szCaller);
    EXPECT_TRUE(m_plog->Contains(std::string("interface kind ") + c.szKind + " for the caller"));
  }
  EXPECT_TRUE(m_plog->Contains("for the caller <.._.._x>"));
  EXPECT_TRUE(m_plog->Contains("for the caller <_>"));
  EXPECT_TRUE(m_plog->Contains("for the caller <a_b>"));
}

// Words are compared exactly: "TRUE" is not "true", and says so.
TEST_F(DrvInterfaceTest, UsenomediaTakesOnlyTrue) {
  InterfaceOpen("<usenomedia>TRUE</usenomedia>");
  EXPECT_TRUE(m_plog->Contains("<usenomedia> is not \"true\" nor \"false\""));
  CDbLockGuard dblockguard;
  EXPECT_EQ(m_pdatabase->ConfigGetNumber("usenomedia", DB_CONFIGTARGET_COMMON), 0);
}

// sessionbegin keeps the front end's wishes before it opens the device; a
// language the table does not know is English (39). Without a device the
// open fails and the machine stays in Opened.
TEST_F(DrvInterfaceTest, SessionbeginKeepsItsArgumentsBeforeTheOpen) {
  Drive({{"interfaceopen", OS_STS_SUCCESS}});
  const Reply reply = Send("sessionbegin",
                           "<monitorbuttonevents>true</monitorbuttonevents><usesheetheight>true</usesheetheight>"
                           "<language>klingon</language><ui>twain</ui><compressionallowed>jpeg</compressionallowed>"
                           "<setsupport><enum><id>dpi</id><action>set</action><value>300</value></enum></setsupport>");
  EXPECT_EQ(reply.strStatus, "fail");
  EXPECT_TRUE(m_plog->Contains("Unable to open device..."));
  EXPECT_EQ(m_pdrvcommandfsm->GetCurrentState(), DRV_STATE_OPENED);
  EXPECT_TRUE(m_plog->Contains("EnterSessionbeginLanguage: klingon not found, using English"));
  CDbLockGuard dblockguard;
  EXPECT_EQ(m_pdatabase->GetCurrentLongFromId(DB_ID_LANGUAGE), OS_LANGUAGE_EN_USA);
  EXPECT_TRUE(m_pdatabase->ConfigExists("monitorbuttonevents", DB_CONFIGTARGET_COMMON));
  EXPECT_TRUE(m_pdatabase->ConfigExists("usesheetheight", DB_CONFIGTARGET_COMMON));
  EXPECT_FALSE(m_pdatabase->ConfigExists("skipresourceunlock", DB_CONFIGTARGET_COMMON));
  EXPECT_STREQ(m_pdatabase->ConfigGetString("ui", DB_CONFIGTARGET_COMMON), "twain");
  EXPECT_TRUE(m_pdatabase->ConfigEnumExists("compressionallowed", "jpeg", DB_CONFIGTARGET_COMMON));
  EXPECT_TRUE(m_pdatabase->ConfigEnumExists("app_dpi_action", "set", DB_CONFIGTARGET_COMMON));
  EXPECT_TRUE(m_pdatabase->ConfigEnumExists("app_dpi", "300", DB_CONFIGTARGET_COMMON));
}

// An unknown dialog fails before the GUI is asked; without a GUI uibegin
// fails; with one it takes the device for the dialog (refused here: "fail",
// the state unchanged), or, given the device, switches the preview off,
// remembers every value, opens the dialog and enters UI.
TEST_F(DrvInterfaceTest, UibeginAsksTheGui) {
  DriveToInitialized();
  Reply reply = Send("uibegin", "<uimode>wizard</uimode>");
  EXPECT_EQ(reply.strStatus, "fail");
  EXPECT_TRUE(m_plog->Contains("Unrecognized uimode wizard..."));
  reply = Send("uibegin", "<uimode>setup</uimode>");
  EXPECT_EQ(reply.strStatus, "fail");
  EXPECT_TRUE(m_plog->Contains("We have no GUI..."));
  EXPECT_EQ(m_pdrvcommandfsm->GetCurrentState(), DRV_STATE_INITIALIZED);
  GuiRunning guirunning;
  CDrvGui::SetActionSeam(&guirunning);
  reply = Send("uibegin", "<modal>true</modal><uimode>setup</uimode>");
  EXPECT_EQ(reply.strStatus, "fail");
  EXPECT_TRUE(m_plog->Contains("ResourceBegin failed..."));
  EXPECT_EQ(m_pdrvcommandfsm->GetCurrentState(), DRV_STATE_INITIALIZED);

  DrvEngineSeam drvengineseam = {};
  drvengineseam.pfnResourceBegin = [](void* a_pvUser, bool a_blDisconnectWontUnlock) {
    *static_cast<bool*>(a_pvUser) = a_blDisconnectWontUnlock;
    return OS_STS_SUCCESS;
  };
  bool blDisconnectWontUnlock = false;
  drvengineseam.pvUser = &blDisconnectWontUnlock;
  CDrvProcessCommands::SetEngineSeam(&drvengineseam);
  CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_PREVIEWMODE);
  ASSERT_NE(pdbdatum, nullptr);
  pdbdatum->ForceCurrentLong(DB_ID_PREVIEWMODE_ENUM_TRUE);
  guirunning.vecAction.clear();
  reply = Send("uibegin", "<modal>true</modal><uimode>setupadvanced</uimode>");
  CDrvProcessCommands::SetEngineSeam(nullptr);
  EXPECT_EQ(reply.strStatus, "success") << m_plog->Text();
  EXPECT_TRUE(blDisconnectWontUnlock);
  EXPECT_EQ(m_pdrvcommandfsm->GetCurrentState(), DRV_STATE_UI);
  EXPECT_EQ(pdbdatum->GetCurrentLongNoCallback(), DB_ID_PREVIEWMODE_ENUM_FALSE);
  // The remembered value comes back when the dialog is cancelled.
  pdbdatum->ForceCurrentLong(DB_ID_PREVIEWMODE_ENUM_TRUE);
  {
    CDbLockGuard dblockguard;
    m_pdatabase->RestoreAll();
  }
  EXPECT_EQ(pdbdatum->GetCurrentLongNoCallback(), DB_ID_PREVIEWMODE_ENUM_FALSE);
  const std::vector<std::string> vecExpected = {
      "DRV_GUIACTION_NOGUI -1", "DRV_GUIACTION_ISGUIRUNNING -1", "DRV_GUIACTION_SETMODAL 1",
      "DRV_GUIACTION_MESSAGEMANAGERUICREATE 28", "DRV_GUIACTION_SETSHOWUI 1"};
  std::vector<std::string> vecSeen;
  for (const std::string& str : guirunning.vecAction) {
    if (str.rfind("DRV_GUIACTION_INTERFACE", 0) != 0) vecSeen.push_back(str);
  }
  EXPECT_EQ(vecSeen, vecExpected);
  EXPECT_EQ(Send("uiend").strStatus, "success");
  EXPECT_TRUE(guirunning.Saw("DRV_GUIACTION_SETMODAL 2"));
  EXPECT_EQ(m_pdrvcommandfsm->GetCurrentState(), DRV_STATE_INITIALIZED);
}

}  // namespace
