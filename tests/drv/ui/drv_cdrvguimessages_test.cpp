// The GUI bridge's message manager against the Python model of its
// message table: every message kind over every dialog under the settings
// that change the outcome, the tasks the stand-in reads compared with the
// model's texts; the answers of the buttons; the waits the GUI's end
// ends; the current info message; the magnification text.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "drv_cdrvguitext.h"
#include "drv_gui_messages_fixture.h"

namespace {

using guimsgtest::GuiMessagesTest;
using guimsgtest::Json;
using guimsgtest::Settings;

// One call of the message manager and the settings it runs under.
struct Case {
  std::string strName;
  Settings settings;
  int iDialog;
  int iMessage;
  const char* szText = nullptr;
  long lValue = 0;
  int iButtons = 0;
  bool blResult = false;
  int iShown = 0;  // a dialog whose shown flag is set before
};

class GuiMessagesTableTest : public GuiMessagesTest {
 protected:
  // Sends a marker and collects every task from the given id to it
  // (health checks left out); the id after the marker.
  size_t Collect(size_t a_sizetFrom, std::vector<std::string>* a_pvecstr) {
    static int s_iMarker = 0;
    const std::string strMarker = "<marker>" + std::to_string(++s_iMarker) + "</marker>";
    m_pdrvguiimpl->SendToGui(
        ("<task id='@1111111111111111111' reply='00000000000000000000' bytes='@2222222222222222222'>\n\t" +
         strMarker + "\n</task>")
            .c_str(),
        __FILE__, __LINE__);
    for (size_t sizetId = a_sizetFrom;; ++sizetId) {
      char szName[32];
      std::snprintf(szName, sizeof szName, "/%020zu.xml", sizetId);
      const std::string strPath = m_strCapture + szName;
      if (!uilinktest::Eventually([&] { return testsupport::FileExists(strPath); }, 10000)) {
        ADD_FAILURE() << "no task " << sizetId;
        return sizetId;
      }
      std::string strTask;
      uilinktest::Eventually([&] {
        strTask = testsupport::ReadFile(strPath);
        return strTask.find("</task>") != std::string::npos;
      });
      if (strTask.find(strMarker) != std::string::npos) return sizetId + 1;
      // Health checks, and the answers to the GUI's own tasks.
      if (strTask.find("<notifydevicestatus>") != std::string::npos) continue;
      if (strTask.find("<reportstatus>") != std::string::npos) continue;
      a_pvecstr->push_back(Placeholders(strTask));
    }
  }

  std::string SettingsJson(const Settings& a_settings) {
    std::string strMode;
    for (long l : a_settings.veclMode) strMode += (strMode.empty() ? "" : ",") + std::to_string(l);
    return "\"indicators\":" + std::to_string(a_settings.lIndicators) + ",\"mode\":[" + strMode +
           "],\"indicatorswarmup\":" + std::to_string(a_settings.lIndicatorsWarmup) +
           ",\"previewmode\":" + std::to_string(a_settings.lPreviewMode) +
           ",\"acquire\":" + std::to_string(a_settings.lAcquire) +
           ",\"calibrationtype\":" + std::to_string(a_settings.lCalibrationType) +
           ",\"scansource\":" + std::to_string(a_settings.lScanSource) +
           ",\"showui\":" + (a_settings.blShowUi ? "true" : "false") +
           ",\"visible\":" + (a_settings.blVisible ? "true" : "false") +
           ",\"gui_request\":" + (a_settings.blGuiRequest ? "true" : "false");
  }

  // Runs the cases and hands them with what was sent to the model.
  void RunCases(const std::vector<Case>& a_veccase) {
    size_t sizetNext = Collect(1, &m_vecstrIgnored);
    std::string strJson = "[";
    for (const Case& kase : a_veccase) {
      Apply(kase.settings);
      for (int i = 1; i <= 8; ++i) m_pdrvguiimpl->SetDialogShown(i, i == kase.iShown);
      CDrvGuiImpl::ClearCurrentMessage();
      m_pdrvguiimpl->ClearInfoBox(false);
      CDrvGuiBase drvguibase;
      drvguibase.edrvguiaction = DRV_GUIACTION_MESSAGEMANAGER;
      drvguibase.i32Value = kase.iDialog;
      drvguibase.i32Message = kase.iMessage;
      drvguibase.szText = kase.szText;
      drvguibase.lValue = kase.lValue;
      drvguibase.edevbuttons = static_cast<EDEVBUTTONS>(kase.iButtons);
      EDBINFOBUTTON edbinfobutton = static_cast<EDBINFOBUTTON>(99);
      if (kase.blResult) drvguibase.pedbinfobutton = &edbinfobutton;
      const EOSSTS eossts = m_pdrvguiimpl->Action(DRV_GUIACTION_MESSAGEMANAGER, &drvguibase);
      std::vector<std::string> vecstrSent;
      sizetNext = Collect(sizetNext, &vecstrSent);
      // An answer no caller waited for is taken out of the way.
      bool blButtons = false;
      for (const std::string& str : vecstrSent) blButtons |= str.find("<buttons></buttons>") == std::string::npos &&
                                                             str.find("<buttons>") != std::string::npos;
      if (blButtons && !(kase.blResult && kase.iButtons)) {
        EXPECT_TRUE(uilinktest::Eventually([&] {
          return m_pdrvguiimpl->GetButton(CDrvGuiImpl::BUTTON_OK);
        })) << kase.strName;
      }
      strJson += std::string(strJson.size() > 1 ? ",\n" : "") + "{\"name\":" + Json(kase.strName) + "," +
                 SettingsJson(kase.settings) + ",\"dialog\":" + std::to_string(kase.iDialog) +
                 ",\"message\":" + std::to_string(kase.iMessage) +
                 ",\"text\":" + (kase.szText ? Json(kase.szText) : "null") +
                 ",\"long\":" + std::to_string(kase.lValue) + ",\"buttons\":" + std::to_string(kase.iButtons) +
                 ",\"result\":" + (kase.blResult ? "true" : "false") + ",\"shown\":{\"" +
                 std::to_string(kase.iShown) + "\":true},\"modelname\":" + Json(m_strModelName) +
                 ",\"front\":" + Json(m_strFront) + ",\"rear\":" + Json(m_strRear) +
                 ",\"status\":" + std::to_string(static_cast<int>(eossts));
      if (kase.blResult) strJson += ",\"answer\":" + std::to_string(static_cast<int>(edbinfobutton));
      strJson += ",\"sent\":[";
      for (size_t sizet = 0; sizet < vecstrSent.size(); ++sizet)
        strJson += (sizet ? "," : "") + Json(vecstrSent[sizet]);
      strJson += "]}";
    }
    Judge(strJson + "]");
    Lint();
  }

  void Configure(const std::string& a_strModelName, const std::string& a_strFront, const std::string& a_strRear) {
    m_strModelName = a_strModelName;
    m_strFront = a_strFront;
    m_strRear = a_strRear;
    CDbLockGuard dblockguard;
    m_pdatabase->ConfigSetString("modelnamedialog", a_strModelName.c_str(), DB_CONFIGTARGET_COMMON);
    m_pdatabase->ConfigSetString("magnificationtestresultfront", a_strFront.c_str(), DB_CONFIGTARGET_COMMON);
    m_pdatabase->ConfigSetString("magnificationtestresultrear", a_strRear.c_str(), DB_CONFIGTARGET_COMMON);
  }

  std::vector<std::string> m_vecstrIgnored;
  std::string m_strModelName;
  std::string m_strFront;
  std::string m_strRear;
};

// The presets of the settings that change the outcome.
std::vector<std::pair<std::string, Settings>> Presets() {
  std::vector<std::pair<std::string, Settings>> vec;
  Settings settings;
  vec.emplace_back("off", settings);
  settings.lIndicators = 2;
  settings.veclMode = {2, 4};
  vec.emplace_back("info+error", settings);
  settings.veclMode = {3, 5};
  vec.emplace_back("warning+warmup", settings);
  settings = Settings();
  settings.veclMode = {4};
  settings.blVisible = true;
  vec.emplace_back("error,visible", settings);
  settings = Settings();
  settings.veclMode = {3};
  settings.lIndicatorsWarmup = 2;
  vec.emplace_back("warning,warmupswitch", settings);
  settings = Settings();
  settings.blShowUi = true;
  vec.emplace_back("showui", settings);
  settings = Settings();
  settings.blGuiRequest = true;
  settings.lPreviewMode = 2;
  settings.lAcquire = 2;
  vec.emplace_back("preview,acquire", settings);
  settings.lAcquire = 1;
  settings.lIndicators = 2;
  settings.veclMode = {2};
  vec.emplace_back("preview,info", settings);
  return vec;
}

// Every message kind (0 to 36) in every dialog (0 to 9) under each preset,
// with and without a caller's text, buttons and an answer pointer.
TEST_F(GuiMessagesTableTest, EveryMessageEqualsTheModel) {
  Configure("Maple B <mark> & ]]> co", "1.0012", "0.9987");
  StartReady();
  std::vector<Case> veccase;
  for (const auto& [strPreset, settings] : Presets()) {
    for (int iDialog = 0; iDialog <= 9; ++iDialog) {
      for (int iMessage = 0; iMessage <= 36; ++iMessage) {
        Case kase{strPreset + " " + std::to_string(iDialog) + "/" + std::to_string(iMessage), settings, iDialog,
                  iMessage};
        // Texts, numbers and buttons vary with the message.
        kase.szText = iMessage % 3 == 0 ? nullptr : iMessage % 3 == 1 ? "Check <the> feeder & \"tray\"" : "";
        kase.lValue = 40 + iMessage;
        kase.iButtons = iMessage % 7;
        kase.blResult = iMessage % 2 == 0;
        veccase.push_back(kase);
      }
    }
  }
  RunCases(veccase);
}

// The cases the table above does not reach: a dialog already open, the
// flatbed, the magnification with and without a rear result, message 2's
// label and buttons, a preview's open without an answer pointer.
TEST_F(GuiMessagesTableTest, ChosenCasesEqualTheModel) {
  Configure("", "1.0012", "");
  StartReady();
  Settings settingsInfo;
  settingsInfo.lIndicators = 2;
  settingsInfo.veclMode = {2};
  Settings settingsFlatbed = settingsInfo;
  settingsFlatbed.lScanSource = 4;
  Settings settingsMagnification = settingsInfo;
  settingsMagnification.lCalibrationType = 5;
  Settings settingsPreview = settingsInfo;
  settingsPreview.lPreviewMode = 2;
  std::vector<Case> veccase = {
      {"open already", settingsInfo, 6, 11, nullptr, 0, 0, false, 6},
      {"flatbed", settingsFlatbed, 6, 15, nullptr, 0, 2, false},
      {"feeder", settingsInfo, 6, 15, nullptr, 0, 2, false},
      {"magnification front only", settingsMagnification, 1, 17},
      {"calibration success", settingsInfo, 1, 17},
      {"download success", settingsInfo, 3, 17},
      {"calibrating label named", settingsInfo, 1, 2, "messagenopaper", 0, 3},
      {"calibrating label unknown", settingsInfo, 1, 2, "nosuchlabel", 0, 1},
      {"preview open no pointer", settingsPreview, 6, 16},
      {"preview open pointer", settingsPreview, 6, 16, nullptr, 0, 0, true},
      {"preview initializing", settingsPreview, 6, 10},
      {"clear after open", settingsInfo, 6, 3, nullptr, 0, 0, false, 6},
      {"clear info off", Settings(), 1, 4, nullptr, 0, 0, false, 1},
      {"wait paper", settingsInfo, 6, 18, nullptr, 30, 2},
      {"warmup powerup", settingsInfo, 5, 19, nullptr, 12, 2},
      {"info yesno", settingsInfo, 4, 9, "Go on?", 0, 4, true},
      {"error text", settingsInfo, 6, 8, "Jam at ]]> <1>", 0, 1},
  };
  RunCases(veccase);
  // With a rear result: the two-token label.
  Configure("Maple", "1.0012", "0.9987");
  RunCases({{"magnification front and rear", settingsMagnification, 1, 17}});
}

}  // namespace
