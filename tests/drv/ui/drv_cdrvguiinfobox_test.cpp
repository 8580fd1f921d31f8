// The GUI bridge's waits for a button and what surrounds them: the answer
// of each button word, the waits the GUI's end ends, a wait no answer can
// end, the info message being shown, the display states, the health
// checks against the model, the off-line message of uivisible and the
// texts that go into the tasks.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "../../dev/dev_driverconfig.h"
#include "drv_cdrvguitext.h"
#include "drv_gui_messages_fixture.h"

namespace {

using guimsgtest::GuiMessagesTest;
using guimsgtest::Json;

class GuiInfoBoxTest : public GuiMessagesTest {
 protected:
  // A message through action 12; the answer in *a_pedbinfobutton when given.
  EOSSTS Message(int a_iDialog, int a_iMessage, const char* a_szText, EDEVBUTTONS a_edevbuttons,
                 EDBINFOBUTTON* a_pedbinfobutton) {
    CDrvGuiBase drvguibase;
    drvguibase.edrvguiaction = DRV_GUIACTION_MESSAGEMANAGER;
    drvguibase.i32Value = a_iDialog;
    drvguibase.i32Message = a_iMessage;
    drvguibase.szText = a_szText;
    drvguibase.edevbuttons = a_edevbuttons;
    drvguibase.pedbinfobutton = a_pedbinfobutton;
    return m_pdrvguiimpl->Action(DRV_GUIACTION_MESSAGEMANAGER, &drvguibase);
  }
  void InfoOn() {
    SetLong(DB_ID_INDICATORS, 2);
    SetMode({2, 4});
  }
  // The captured tasks holding the text.
  size_t CountCaptured(const std::string& a_strText) {
    size_t sizet = 0;
    for (const std::string& str : Captured(0, 0, true)) sizet += str.find(a_strText) != std::string::npos;
    return sizet;
  }
};

// Each button word the GUI answers gives its answer: yes and ok 1, no 4,
// cancel and a word the bridge does not know 2.
TEST_F(GuiInfoBoxTest, ButtonWordsGiveTheirAnswers) {
  const std::pair<const char*, EDBINFOBUTTON> apair[] = {
      {"yes", DB_INFOBUTTON_OKYES}, {"ok", DB_INFOBUTTON_OKYES}, {"no", DB_INFOBUTTON_NO},
      {"cancel", DB_INFOBUTTON_CANCEL}, {"maybe", DB_INFOBUTTON_CANCEL}};
  for (const auto& [szWord, edbinfobuttonWanted] : apair) {
    setenv("UISTANDIN_BUTTON", szWord, 1);
    StartReady();
    EDBINFOBUTTON edbinfobutton = DB_INFOBUTTON_NONE;
    EXPECT_EQ(Message(DEV_DLG_MESSAGE, DEV_MSG_INFO, "Go on?", DEV_BUTTONS_YESNOCANCEL, &edbinfobutton),
              OS_STS_SUCCESS);
    EXPECT_EQ(edbinfobutton, edbinfobuttonWanted) << szWord;
    // The wait for ok takes the answer and throws it away.
    CDrvGuiBase drvguibase;
    drvguibase.edrvguiaction = DRV_GUIACTION_MESSAGEMANAGERANDWAITFOROK;
    drvguibase.i32Value = DEV_DLG_MESSAGE;
    drvguibase.i32Message = DEV_MSG_EXCLAMATION;
    drvguibase.szText = "Done";
    EXPECT_EQ(m_pdrvguiimpl->Action(DRV_GUIACTION_MESSAGEMANAGERANDWAITFOROK, &drvguibase), OS_STS_SUCCESS);
    EXPECT_FALSE(m_pdrvguiimpl->GetButton(CDrvGuiImpl::BUTTON_OK));
    m_pdrvguiimpl.reset();
  }
  EXPECT_TRUE(m_plog->Contains("Unrecognized button...<maybe>"));
}

// The GUI killed while a front end's task and another thread wait for a
// button: both get cancel at once.
TEST_F(GuiInfoBoxTest, GuiDeathEndsEveryButtonWait) {
  StartReady("button none\nwait dialogupdate\nwaitfile " + m_strFlag + "\nkill");
  InfoOn();
  auto futureFront = std::async(std::launch::async, [this] {
    EDBINFOBUTTON edbinfobutton = DB_INFOBUTTON_NONE;
    Message(DEV_DLG_SCANNING, DEV_MSG_MULTIFEED, nullptr, DEV_BUTTONS_OK, &edbinfobutton);
    return edbinfobutton;
  });
  ASSERT_TRUE(uilinktest::Eventually([this] { return CountCaptured("<messagetype>multifeed") == 1; }));
  auto futureScan = std::async(std::launch::async, [this] { return m_pdrvguiimpl->TestInfoBox(-1); });
  EXPECT_EQ(futureFront.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
  const auto timepoint = std::chrono::steady_clock::now();
  Go();
  ASSERT_EQ(futureFront.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  ASSERT_EQ(futureScan.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_LT(uilinktest::MillisecondsSince(timepoint), 1000);
  EXPECT_EQ(futureFront.get(), DB_INFOBUTTON_CANCEL);
  EXPECT_EQ(futureScan.get(), DB_INFOBUTTON_CANCEL);
  // Afterwards nothing can answer: no wait.
  EXPECT_EQ(m_pdrvguiimpl->TestInfoBox(-1), DB_INFOBUTTON_NONE);
}

TEST_F(GuiInfoBoxTest, StopEndsAButtonWait) {
  StartReady("button none");
  InfoOn();
  auto future = std::async(std::launch::async, [this] {
    EDBINFOBUTTON edbinfobutton = DB_INFOBUTTON_NONE;
    Message(DEV_DLG_MESSAGE, DEV_MSG_ERRORSHOW, "Stopped?", DEV_BUTTONS_OK, &edbinfobutton);
    return edbinfobutton;
  });
  ASSERT_TRUE(uilinktest::Eventually([this] { return CountCaptured("Stopped?") == 1; }));
  EXPECT_EQ(m_pdrvguiimpl->Action(DRV_GUIACTION_STOP, nullptr), OS_STS_SUCCESS);
  ASSERT_EQ(future.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_EQ(future.get(), DB_INFOBUTTON_CANCEL);
}

// A wait that nothing can end answers 0 at once: a message its condition
// kept back, a driver's TESTINFOBOX after a message without buttons, and a
// time-out.
TEST_F(GuiInfoBoxTest, WaitWithoutAnAnswerToComeReturnsAtOnce) {
  StartReady("button none");
  EDBINFOBUTTON edbinfobutton = static_cast<EDBINFOBUTTON>(7);
  // Indicators off: the multifeed is not shown.
  EXPECT_EQ(Message(DEV_DLG_SCANNING, DEV_MSG_MULTIFEED, nullptr, DEV_BUTTONS_OK, &edbinfobutton), OS_STS_SUCCESS);
  EXPECT_EQ(edbinfobutton, DB_INFOBUTTON_NONE);
  EXPECT_EQ(CountCaptured("multifeed"), 0u);
  CDrvGuiBase drvguibase;
  drvguibase.edrvguiaction = DRV_GUIACTION_TESTINFOBOX;
  drvguibase.i32Message = -1;
  EXPECT_EQ(m_pdrvguiimpl->Action(DRV_GUIACTION_TESTINFOBOX, &drvguibase), OS_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("TestInfoBox: no answer can come, not waiting..."));
  // A shown message nobody answers: the wait ends with its time-out.
  InfoOn();
  EXPECT_EQ(Message(DEV_DLG_SCANNING, DEV_MSG_NOPAPER, nullptr, DEV_BUTTONS_NONE, nullptr), OS_STS_SUCCESS);
  EXPECT_EQ(m_pdrvguiimpl->TestInfoBox(200), DB_INFOBUTTON_NONE);
  EXPECT_TRUE(m_plog->Contains("TestInfoBox: time-out..."));
}

// The info message being shown: a second one answers 21 until the GUI
// answers the first; then it is shown. The engine's messages come without
// an answer pointer.
TEST_F(GuiInfoBoxTest, SecondInfoMessageWaitsForTheFirstsAnswer) {
  StartReady("button none");
  CDrvGuiImpl::ClearCurrentMessage();
  EXPECT_EQ(Message(DEV_DLG_MESSAGE, DEV_MSG_INFO, "first", DEV_BUTTONS_OK, nullptr), OS_STS_SUCCESS);
  EDBINFOBUTTON edbinfobutton = static_cast<EDBINFOBUTTON>(7);
  EXPECT_EQ(Message(DEV_DLG_MESSAGE, DEV_MSG_INFO, "second", DEV_BUTTONS_OK, &edbinfobutton),
            static_cast<EOSSTS>(21));
  EXPECT_EQ(edbinfobutton, DB_INFOBUTTON_NONE);
  EXPECT_EQ(CountCaptured("second"), 0u);
  // The GUI answers the first.
  const std::string strAnswer =
      uilinktest::ChildTask("00000000000000000099", "messagecleared", "\n\t\t<button>ok</button>\n\t");
  m_pdrvguiimpl->UiFastPath(strAnswer.c_str(), strAnswer.size(), 99);
  EXPECT_EQ(Message(DEV_DLG_MESSAGE, DEV_MSG_INFO, "second", DEV_BUTTONS_OK, nullptr), OS_STS_SUCCESS);
  EXPECT_TRUE(uilinktest::Eventually([this] { return CountCaptured("second") == 1; }));
  CDrvGuiImpl::ClearCurrentMessage();
}

// Two info messages through the engine's entry, the first answered by the
// stand-in: the second is shown too.
TEST_F(GuiInfoBoxTest, EngineInfoMessagesAfterAnAnswer) {
  setenv("PMX_FORCEGUI", SCANDRV_UISTANDIN, 1);
  setenv("UISTANDIN_LOG", m_strStandinLog.c_str(), 1);
  setenv("UISTANDIN_SCRIPT", "", 1);
  InfoOn();
  {
    CDrvGui drvgui(m_pdatabase.get(), nullptr, nullptr);
    EXPECT_EQ(CDrvGuiMgr::MessageManagerStatic(DEV_DLG_MESSAGE, DEV_MSG_INFO, "first", 0, DEV_BUTTONS_OK),
              OS_STS_SUCCESS);
    ASSERT_TRUE(uilinktest::Eventually([this] { return ChildLog("sent").size() >= 2; }));  // uiready, the answer
    ASSERT_TRUE(uilinktest::Eventually([&] {
      return CDrvGuiMgr::MessageManagerStatic(DEV_DLG_MESSAGE, DEV_MSG_INFO, "second", 0, DEV_BUTTONS_OK) ==
             OS_STS_SUCCESS;
    }));
    EXPECT_TRUE(uilinktest::Eventually([this] { return CountCaptured("second") == 1; }));
  }
  CDrvGuiImpl::ClearCurrentMessage();
}

// Scan started: the scanning dialog's first message and one scanning
// check; scan ended: the dialog cleared. Nothing on without indicators.
TEST_F(GuiInfoBoxTest, DisplayStates) {
  StartReady();
  CDrvGuiBase drvguibase;
  drvguibase.edrvguiaction = DRV_GUIACTION_SETSTATE;
  drvguibase.i32Value = GUI_STATE_SCANSTARTED;
  EXPECT_EQ(m_pdrvguiimpl->Action(DRV_GUIACTION_SETSTATE, &drvguibase), OS_STS_SUCCESS);
  EXPECT_FALSE(m_pdrvguiimpl->GetScanning());
  InfoOn();
  EXPECT_EQ(m_pdrvguiimpl->Action(DRV_GUIACTION_SETSTATE, &drvguibase), OS_STS_SUCCESS);
  EXPECT_TRUE(m_pdrvguiimpl->GetScanning());
  EXPECT_TRUE(uilinktest::Eventually([this] {
    return CountCaptured("<messagetype>initializing") == 1 && CountCaptured("<value>detecting</value>") == 1;
  }));
  drvguibase.i32Value = GUI_STATE_SCANENDED;
  EXPECT_EQ(m_pdrvguiimpl->Action(DRV_GUIACTION_SETSTATE, &drvguibase), OS_STS_SUCCESS);
  EXPECT_FALSE(m_pdrvguiimpl->GetScanning());
  drvguibase.i32Value = 3;
  EXPECT_EQ(m_pdrvguiimpl->Action(DRV_GUIACTION_SETSTATE, &drvguibase), OS_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("Unrecognized m_eguistate...3"));
  // The scanning check of the started state, against the model.
  std::string strDetecting;
  for (const std::string& str : Captured(0, 0, true))
    if (str.find("<value>detecting</value>") != std::string::npos) strDetecting = Placeholders(str);
  Judge("[{\"kind\":\"detecting\",\"key\":\"detectingscansource\",\"sent\":[" + Json(strDetecting) + "]}]");
}

// The health checks the writer sends, against the model: off line whatever
// the scanning flag, the scan source with and without a preview, the
// diagnostic inputs (no device: an empty result, logged), on line.
TEST_F(GuiInfoBoxTest, HealthChecksEqualTheModel) {
  StartReady();
  InfoOn();
  CDrvGuiBase drvguibase;
  drvguibase.edrvguiaction = DRV_GUIACTION_SETSTATE;
  drvguibase.i32Value = GUI_STATE_SCANSTARTED;
  struct HealthCase {
    const char* szName;
    long lOnline;
    bool blScanning;
    long lScanSource;
    long lPreview;
    bool blDiagnostic;
  };
  const HealthCase ahealthcase[] = {
      {"offline scanning", 1, true, 3, 1, false}, {"offline", 1, false, 1, 1, true},
      {"adf", 2, true, 3, 1, false},              {"adf preview", 2, true, 3, 2, false},
      {"flatbed", 2, true, 4, 1, false},          {"flatbed preview", 2, true, 4, 2, true},
      {"diagnostic", 2, false, 1, 1, true},       {"online", 2, false, 1, 1, false},
  };
  std::string strJson = "[";
  for (const HealthCase& healthcase : ahealthcase) {
    SetLong(DB_ID_DEVICEONLINE, healthcase.lOnline);
    SetLong(DB_ID_PREVIEWMODE, healthcase.lPreview);
    m_pdatabase->SetScanSource(healthcase.lScanSource);
    drvguibase.i32Value = healthcase.blScanning ? GUI_STATE_SCANSTARTED : GUI_STATE_SCANENDED;
    m_pdrvguiimpl->Action(DRV_GUIACTION_SETSTATE, &drvguibase);
    if (healthcase.blDiagnostic) {
      m_pdatabase->SetDbState(DB_STATE_DIAGNOSTIC);
    } else {
      m_pdatabase->ClearDbState(DB_STATE_DIAGNOSTIC);
    }
    char szTask[2048] = "";
    ASSERT_TRUE(m_pdrvguiimpl->UiHealthCheck(szTask, sizeof szTask));
    strJson += std::string(strJson.size() > 1 ? "," : "") + "{\"kind\":\"health\",\"name\":" +
               Json(healthcase.szName) + ",\"online\":" + std::to_string(healthcase.lOnline) +
               ",\"scanning\":" + (healthcase.blScanning ? "true" : "false") +
               ",\"scansource\":" + std::to_string(healthcase.lScanSource) +
               ",\"previewmode\":" + std::to_string(healthcase.lPreview) +
               ",\"diagnostic\":" + (healthcase.blDiagnostic ? "true" : "false") + ",\"sent\":[" + Json(szTask) +
               "]}";
  }
  m_pdatabase->ClearDbState(DB_STATE_DIAGNOSTIC);
  Judge(strJson + "]");
  EXPECT_TRUE(m_plog->Contains("drv2g>>> DiagnosticGetInputResult failed..."));
  // Suspended: nothing.
  char szTask[2048] = "";
  EXPECT_EQ(m_pdrvguiimpl->Action(DRV_GUIACTION_STOP, nullptr), OS_STS_SUCCESS);
  EXPECT_FALSE(m_pdrvguiimpl->UiHealthCheck(szTask, sizeof szTask));
}

// "uivisible" with the device off line shows the off-line message in the
// scanning dialog, opened first.
TEST_F(GuiInfoBoxTest, UiVisibleShowsTheOfflineMessage) {
  m_pdev = std::make_unique<CDev>(m_pdatabase.get(), nullptr, nullptr);
  StartReady("", true);
  EXPECT_EQ(m_pdrvguiimpl->MessageManagerUiCreate(DEV_MSG_UISCAN), OS_STS_SUCCESS);
  ASSERT_TRUE(uilinktest::Eventually([this] { return CountCaptured("<messagetype>deviceoffline") == 1; }));
  const std::vector<std::string> vecstr = Captured(0);
  std::vector<std::string> vecstrKind;
  for (const std::string& str : vecstr) {
    if (str.find("<uicreate>") != std::string::npos) vecstrKind.push_back("uicreate");
    if (str.find("<messagetype>none") != std::string::npos) vecstrKind.push_back("open");
    if (str.find("<messagetype>deviceoffline") != std::string::npos) vecstrKind.push_back("offline");
  }
  EXPECT_EQ(vecstrKind, (std::vector<std::string>{"uicreate", "open", "offline"}));
  EXPECT_TRUE(m_pdrvguiimpl->Action(DRV_GUIACTION_GETUIVISIBLE, nullptr) == OS_STS_SUCCESS);
}

// Texts escaped for their element; the magnification label filled as a
// template, refused without its tokens.
TEST(GuiTexts, EscapesAndTemplates) {
  EXPECT_EQ(DrvGuiEscapeText("a&b<c>d\"e'%s"), "a&amp;b&lt;c&gt;d\"e'%s");
  EXPECT_EQ(DrvGuiEscapeText(nullptr), "");
  EXPECT_EQ(DrvGuiCdata("x]]>y]]>"), "<![CDATA[x]]]]><![CDATA[>y]]]]><![CDATA[>]]>");
  EXPECT_EQ(DrvGuiCdata("%n&<"), "<![CDATA[%n&<]]>");
  std::string str;
  ASSERT_TRUE(DrvGuiMagnificationText("F {0} %s R {1}.", "1.01", "0.99", &str));
  EXPECT_EQ(str, "F 1.01 %s R 0.99.");
  ASSERT_TRUE(DrvGuiMagnificationText("R {1} F {0}", "{1}", "{0}", &str));
  EXPECT_EQ(str, "R {0} F {1}");
  ASSERT_TRUE(DrvGuiMagnificationText("Front {0}", "12345678901234567890", nullptr, &str));
  EXPECT_EQ(str, "Front 1234567890123456");
  EXPECT_FALSE(DrvGuiMagnificationText("Front {0} only", "1", "2", &str));
  EXPECT_FALSE(DrvGuiMagnificationText("none", "1", nullptr, &str));
  EXPECT_FALSE(DrvGuiMagnificationText(("{0}" + std::string(65, 'x') + "{1}").c_str(), "1", "2", &str));
  EXPECT_FALSE(DrvGuiMagnificationText(("{0}" + std::string(600, 'x')).c_str(), "1", nullptr, &str));
}

}  // namespace

namespace {

// A record of another action, and none where one belongs: 1, logged; the
// missing record forces the GUI state to ended.
TEST_F(GuiInfoBoxTest, BadRecords) {
  StartReady();
  CDrvGuiBase drvguibase;
  drvguibase.edrvguiaction = DRV_GUIACTION_SETSTATE;
  EXPECT_EQ(m_pdrvguiimpl->Action(DRV_GUIACTION_MESSAGEMANAGER, &drvguibase), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Bad CDrvGuiBase...24 != 12"));
  EXPECT_EQ(m_pdrvguiimpl->Action(DRV_GUIACTION_TESTINFOBOX, nullptr), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("a_pdrvguibase is null..."));
  EXPECT_EQ(m_pdrvguiimpl->GetGuiState(), DRV_UILINKSTATE_ENDED);
  // A UI mode outside 22 to 33 is logged and passed on: the main window
  // does not know it.
  EXPECT_EQ(m_pdrvguiimpl->MessageManagerUiCreate(static_cast<EDEVMSG>(40)), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Invalid message for UiCreate...40"));
  EXPECT_TRUE(m_plog->Contains("unrecognized a_edevmsg...40"));
}

}  // namespace

namespace {

// ForceGuiBounce 1: the clear of the scanning dialog after a GUI the
// indicators started bounces the GUI; asked for inside another action (a
// manager reference held on this thread), it waits until that action is
// done, then the next action bounces it.
TEST_F(GuiInfoBoxTest, BounceAskedInsideAnActionWaitsForIt) {
  devtest::DriverConfig driverconfig;
  driverconfig.Set(*m_pcfg, DRV_CFGTAG_FORCEGUIBOUNCE, "1");
  setenv("PMX_FORCEGUI", SCANDRV_UISTANDIN, 1);
  setenv("UISTANDIN_LOG", m_strStandinLog.c_str(), 1);
  setenv("UISTANDIN_SCRIPT", "", 1);
  InfoOn();
  CDrvGui drvgui(m_pdatabase.get(), nullptr, nullptr);
  CDrvGuiBase drvguibase;
  drvguibase.edrvguiaction = DRV_GUIACTION_MESSAGEMANAGER;
  drvguibase.i32Value = DEV_DLG_SCANNING;
  drvguibase.i32Message = DEV_MSG_INITIALIZING;
  EXPECT_EQ(drvgui.Action(DRV_GUIACTION_MESSAGEMANAGER, &drvguibase), OS_STS_SUCCESS);
  ASSERT_TRUE(uilinktest::Eventually([this] { return CountCaptured("<messagetype>initializing") == 1; }));
  drvguibase.edrvguiaction = DRV_GUIACTION_MESSAGEMANAGERCLEAR;
  {
    DrvGuiMgrRef drvguimgrref(nullptr, nullptr);  // an action in progress
    EXPECT_EQ(drvgui.Action(DRV_GUIACTION_MESSAGEMANAGERCLEAR, &drvguibase), OS_STS_SUCCESS);
    EXPECT_FALSE(m_plog->Contains("Bounce from inside a GUI action, not done..."));
    EXPECT_EQ(drvgui.Action(DRV_GUIACTION_NOGUI, nullptr), OS_STS_FAIL);  // the GUI still runs
  }
  EXPECT_EQ(drvgui.Action(DRV_GUIACTION_GETSHOWUI, nullptr), OS_STS_FAIL);
  EXPECT_TRUE(uilinktest::Eventually([this] { return !ChildLog("exit").empty(); })) << m_plog->Text();
  // A fresh manager: the next message starts a new GUI.
  drvguibase.edrvguiaction = DRV_GUIACTION_MESSAGEMANAGER;
  EXPECT_EQ(drvgui.Action(DRV_GUIACTION_MESSAGEMANAGER, &drvguibase), OS_STS_SUCCESS);
  EXPECT_TRUE(uilinktest::Eventually([this] { return ChildLog("argv").size() >= 2; }));
}

}  // namespace
