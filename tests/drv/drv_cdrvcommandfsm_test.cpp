// The command state machine against the state table typed by hand into
// tests/data/drv (not the code's table): every state reached by commands
// through the machine's own operations, every command in every state with
// either status, the targets, the UI mode and the data-source states; then
// the cases that the table alone does not show.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "../os/log_capture.h"
#include "drv_cdrvcommandfsm.h"
#include "drv_cdrvgui.h"
#include "drv_fixture.h"
#include "os_coslog.h"
#include "test_support.h"

using drvtest::Command;
using drvtest::Task;

namespace {

// The hand-typed table.
struct StateTable {
  struct Row {
    std::string strPass;
    std::string strFail;
  };
  std::vector<std::string> vecstrTagged;
  std::vector<std::string> vecstrUntagged;
  std::map<std::pair<std::string, std::string>, Row> maprow;  // (state, command)
  std::map<std::pair<std::string, std::string>, long> mapds;  // (command, when)
  size_t sizetRows = 0;

  static StateTable Load() {
    StateTable table;
    std::ifstream ifs(std::string(SCANDRV_TEST_DATA) + "/drv/command_states.tsv");
    std::string strLine;
    while (std::getline(ifs, strLine)) {
      if (strLine.empty() || strLine[0] == '#') continue;
      std::vector<std::string> vecstr;
      std::stringstream ss(strLine);
      for (std::string str; std::getline(ss, str, '\t');) vecstr.push_back(str);
      if (vecstr[0] == "command") table.vecstrTagged.push_back(vecstr[1]);
      if (vecstr[0] == "untagged") table.vecstrUntagged.push_back(vecstr[1]);
      if (vecstr[0] == "row") {
        table.maprow[{vecstr[1], vecstr[2]}] = {vecstr[3], vecstr[4]};
        ++table.sizetRows;
      }
      if (vecstr[0] == "ds") table.mapds[{vecstr[1], vecstr[2]}] = std::stol(vecstr[3]);
    }
    return table;
  }

  bool Tagged(const std::string& a_strCommand) const {
    for (const std::string& str : vecstrTagged) {
      if (str == a_strCommand) return true;
    }
    return false;
  }
};

// Where the machine is, as the test's own model sees it, and the commands
// that brought it there.
struct Config {
  std::string strState = "Closed";
  bool blUi = false;
  long lDs = 1;
  std::vector<std::pair<std::string, EOSSTS>> vecpath;
};

// The command a name stands for: a setmany is judged as the set it holds.
std::string Judged(const std::string& a_strCommand) { return a_strCommand == "setmany" ? "set" : a_strCommand; }

std::string TextOf(const std::string& a_strCommand) {
  if (a_strCommand == "setmany") return Task("<setmany><set><id>x</id><valuecurrent>1</valuecurrent></set></setmany>");
  return Task(Command(a_strCommand));
}

// One command on the model; false when the table refuses it (nothing
// changes). The GUI bridge answers "not visible" unless told otherwise.
bool Apply(const StateTable& a_table, Config& a_config, const std::string& a_strCommand, EOSSTS a_eossts,
           bool a_blVisible = false) {
  const std::string strCommand = Judged(a_strCommand);
  if (!a_table.Tagged(strCommand)) return true;
  const auto it = a_table.maprow.find({a_config.strState, strCommand});
  if (it == a_table.maprow.end()) return false;
  const bool blPass = a_eossts == OS_STS_SUCCESS;
  if (strCommand == "interfaceclose" || strCommand == "sessionend" || strCommand == "uiend") a_config.blUi = false;
  if (strCommand == "uibegin" && blPass) a_config.blUi = true;
  std::string strTarget = blPass ? it->second.strPass : it->second.strFail;
  if (a_config.blUi && strTarget == "Initialized") strTarget = "UI";
  a_config.strState = strTarget;
  for (const char* szWhen : {"always", blPass ? "pass" : "", a_blVisible ? "visible" : "hidden"}) {
    const auto itds = a_table.mapds.find({strCommand, szWhen});
    if (itds != a_table.mapds.end()) a_config.lDs = itds->second;
  }
  a_config.vecpath.emplace_back(a_strCommand, a_eossts);
  return true;
}

// Every (state, UI mode) the table reaches from "Closed", each with the
// first command sequence found that reaches it.
std::vector<Config> Reachable(const StateTable& a_table) {
  std::vector<Config> vecconfig{Config{}};
  std::set<std::pair<std::string, bool>> setseen{{"Closed", false}};
  for (size_t sizet = 0; sizet < vecconfig.size(); ++sizet) {
    for (const std::string& strCommand : a_table.vecstrTagged) {
      for (EOSSTS eossts : {OS_STS_SUCCESS, OS_STS_FAIL}) {
        Config config = vecconfig[sizet];
        if (Apply(a_table, config, strCommand, eossts) && setseen.insert({config.strState, config.blUi}).second)
          vecconfig.push_back(config);
      }
    }
  }
  return vecconfig;
}

class DrvCommandFsmTest : public ::testing::Test {
 protected:
  void SetUp() override { m_plog = std::make_unique<testsupport::LogCapture>(1); }
  void TearDown() override { m_plog.reset(); }

  // The machine brought to the configuration by its own operations.
  std::unique_ptr<CDrvCommandFsm> MachineAt(const Config& a_config) {
    auto pfsm = std::make_unique<CDrvCommandFsm>(&m_drvgui);
    for (const auto& [strCommand, eossts] : a_config.vecpath) {
      EXPECT_TRUE(pfsm->CheckValidState(TextOf(strCommand).c_str(), nullptr)) << strCommand;
      EXPECT_TRUE(pfsm->ChangeState(eossts)) << strCommand;
    }
    return pfsm;
  }

  static long DsState() { return g_poslog->GetDsState(); }

  std::unique_ptr<testsupport::LogCapture> m_plog;
  CDrvGui m_drvgui{nullptr, nullptr, nullptr};
};

// The whole table: every reachable configuration, every command (tagged,
// untagged, and setmany), status 0 and 1.
TEST_F(DrvCommandFsmTest, FollowsTheStateTable) {
  const StateTable table = StateTable::Load();
  ASSERT_EQ(table.sizetRows, 82u);
  ASSERT_EQ(table.vecstrTagged.size(), 45u);
  const std::vector<Config> vecconfig = Reachable(table);
  std::set<std::string> setstrStates;
  for (const Config& config : vecconfig) setstrStates.insert(config.strState);
  EXPECT_EQ(setstrStates.size(), 9u);  // every state is reached

  std::vector<std::string> vecstrCommands = table.vecstrTagged;
  vecstrCommands.insert(vecstrCommands.end(), table.vecstrUntagged.begin(), table.vecstrUntagged.end());
  vecstrCommands.push_back("setmany");
  for (const Config& config : vecconfig) {
    for (const std::string& strCommand : vecstrCommands) {
      for (EOSSTS eossts : {OS_STS_SUCCESS, OS_STS_FAIL}) {
        SCOPED_TRACE(config.strState + (config.blUi ? " (ui) " : " ") + strCommand + " " + std::to_string(eossts));
        std::unique_ptr<CDrvCommandFsm> pfsm = MachineAt(config);
        ASSERT_STREQ(CDrvCommandFsm::GetStateName(pfsm->GetCurrentState()), config.strState.c_str());
        ASSERT_EQ(DsState(), config.lDs);

        Config configExpected = config;
        const bool blAllowed = Apply(table, configExpected, strCommand, eossts);
        const DrvCommandState* pdrvcommandstate = nullptr;
        EXPECT_EQ(pfsm->CheckValidState(TextOf(strCommand).c_str(), &pdrvcommandstate), blAllowed);
        const auto itrow = table.maprow.find({config.strState, Judged(strCommand)});
        if (itrow != table.maprow.end()) {
          ASSERT_NE(pdrvcommandstate, nullptr);
          EXPECT_STREQ(CDrvCommandFsm::GetStateName(pdrvcommandstate->edrvstatePass), itrow->second.strPass.c_str());
          EXPECT_STREQ(CDrvCommandFsm::GetStateName(pdrvcommandstate->edrvstateFail), itrow->second.strFail.c_str());
        } else {
          EXPECT_EQ(pdrvcommandstate, nullptr);
        }
        EXPECT_EQ(pfsm->ChangeState(eossts), blAllowed);
        EXPECT_STREQ(CDrvCommandFsm::GetStateName(pfsm->GetCurrentState()), configExpected.strState.c_str());
        EXPECT_EQ(DsState(), configExpected.lDs);
      }
    }
  }
}

// Records the bridge's calls; answers GETUIVISIBLE as told.
class GuiProbe : public CDrvGuiActionSeam {
 public:
  bool Action(EDRVGUIACTION a_edrvguiaction, CDrvGuiBase*, EOSSTS* a_peossts) override {
    vecedrvguiaction.push_back(a_edrvguiaction);
    if (a_edrvguiaction != DRV_GUIACTION_GETUIVISIBLE || !blAnswerVisible) return false;
    *a_peossts = OS_STS_SUCCESS;  // 0 is yes
    return true;
  }
  void Bounce() override { ++iBounces; }
  bool blAnswerVisible = false;
  std::vector<EDRVGUIACTION> vecedrvguiaction;
  int iBounces = 0;
};

TEST_F(DrvCommandFsmTest, FrontEndDialogStaysUpAcrossItsScan) {
  GuiProbe guiprobe;
  CDrvGui::SetActionSeam(&guiprobe);
  CDrvCommandFsm fsm(&m_drvgui);
  EXPECT_EQ(DsState(), 1);
  const std::vector<std::tuple<const char*, EOSSTS, EDRVSTATE, long>> vecstep = {
      {"interfaceopen", OS_STS_SUCCESS, DRV_STATE_OPENED, 3},
      {"sessionbegin", OS_STS_SUCCESS, DRV_STATE_INITIALIZED, 4},
      {"uibegin", OS_STS_SUCCESS, DRV_STATE_UI, 5},
      {"scanbegin", OS_STS_FAIL, DRV_STATE_UI, 5},  // a failed scan keeps the dialog
      {"scanbegin", OS_STS_SUCCESS, DRV_STATE_SCAN, 5},
      {"scanend", OS_STS_SUCCESS, DRV_STATE_UI, 4},  // the GUI is not visible
      {"scanbegin", OS_STS_SUCCESS, DRV_STATE_SCAN, 5},
      {"scanend", OS_STS_FAIL, DRV_STATE_UI, 4},
      {"uiend", OS_STS_SUCCESS, DRV_STATE_INITIALIZED, 4},
      {"scanbegin", OS_STS_FAIL, DRV_STATE_INITIALIZED, 4},
      {"scanbegin", OS_STS_SUCCESS, DRV_STATE_SCAN, 5},
      {"getoutput", OS_STS_FAIL, DRV_STATE_SCAN, 6},
      {"scanend", OS_STS_SUCCESS, DRV_STATE_INITIALIZED, 4},
  };
  for (const auto& [szCommand, eossts, edrvstate, lDs] : vecstep) {
    SCOPED_TRACE(szCommand);
    ASSERT_TRUE(fsm.CheckValidState(Task(Command(szCommand)).c_str(), nullptr));
    ASSERT_TRUE(fsm.ChangeState(eossts));
    EXPECT_EQ(fsm.GetCurrentState(), edrvstate);
    EXPECT_EQ(DsState(), lDs);
  }
  // The moves are logged with the row's target; "!" marks a target the UI
  // mode replaced.
  EXPECT_TRUE(m_plog->Contains("drvstate>>> fail-3! Scan(4) --> UI(9)"));
  EXPECT_TRUE(m_plog->Contains("drvstate>>> pass-9: Initialized(3) --> UI(9)"));
  EXPECT_TRUE(m_plog->Contains("drvstate>>> fail-3: Initialized(3) --> Initialized(3)"));
  EXPECT_EQ(guiprobe.iBounces, 1);  // uiend restarts the GUI link

  // With the GUI visible (answer 0), scanend leaves the dialog's state 5.
  guiprobe.blAnswerVisible = true;
  fsm.ResetCommandFsm(DRV_STATE_INITIALIZED);
  ASSERT_TRUE(fsm.CheckValidState(Task(Command("scanend")).c_str(), nullptr));
  ASSERT_TRUE(fsm.ChangeState(OS_STS_SUCCESS));
  EXPECT_EQ(DsState(), 5);
  CDrvGui::SetActionSeam(nullptr);
}

// A uibegin that failed put no dialog up: the machine stays "Initialized"
// as the row says, and the front end's next set is allowed.
TEST_F(DrvCommandFsmTest, FailedUibeginLeavesNoUiMode) {
  CDrvCommandFsm fsm(&m_drvgui);
  fsm.ResetCommandFsm(DRV_STATE_INITIALIZED);
  ASSERT_TRUE(fsm.CheckValidState(Task(Command("uibegin")).c_str(), nullptr));
  ASSERT_TRUE(fsm.ChangeState(OS_STS_FAIL));
  EXPECT_EQ(fsm.GetCurrentState(), DRV_STATE_INITIALIZED);
  EXPECT_TRUE(fsm.CheckValidState(Task(Command("set")).c_str(), nullptr));
  ASSERT_TRUE(fsm.ChangeState(OS_STS_SUCCESS));
  ASSERT_TRUE(fsm.CheckValidState(Task(Command("scanbegin")).c_str(), nullptr));
  ASSERT_TRUE(fsm.ChangeState(OS_STS_SUCCESS));
  ASSERT_TRUE(fsm.CheckValidState(Task(Command("scanend")).c_str(), nullptr));
  ASSERT_TRUE(fsm.ChangeState(OS_STS_SUCCESS));
  EXPECT_EQ(fsm.GetCurrentState(), DRV_STATE_INITIALIZED);
}

// The first tag in table order anywhere in the text decides, even inside an
// argument.
TEST_F(DrvCommandFsmTest, EarliestTagAnywhereDecides) {
  CDrvCommandFsm fsm(&m_drvgui);
  fsm.ResetCommandFsm(DRV_STATE_INITIALIZED);
  // A set whose value names calibratebegin is judged as calibratebegin.
  ASSERT_TRUE(fsm.CheckValidState(
      Task("<set><id>x</id><valuecurrent><![CDATA[<calibratebegin>]]></valuecurrent></set>").c_str(), nullptr));
  ASSERT_TRUE(fsm.ChangeState(OS_STS_SUCCESS));
  EXPECT_EQ(fsm.GetCurrentState(), DRV_STATE_CALIBRATE);
  // In "Calibrate" a get is allowed, but not one whose id names create.
  EXPECT_TRUE(fsm.CheckValidState(Task("<get><id>create</id></get>").c_str(), nullptr));
  EXPECT_FALSE(fsm.CheckValidState(Task("<get><id><![CDATA[<create>]]></id></get>").c_str(), nullptr));
  EXPECT_TRUE(m_plog->Contains(
      "drvstate>>> CDrvCommandFsm::CheckValidState: The Xml command <create> is not valid in the Calibrate command "
      "state."));
  // A refused command changes nothing, once; the next change has nothing
  // pending.
  EXPECT_FALSE(fsm.ChangeState(OS_STS_SUCCESS));
  EXPECT_TRUE(fsm.ChangeState(OS_STS_SUCCESS));
  EXPECT_EQ(fsm.GetCurrentState(), DRV_STATE_CALIBRATE);
  EXPECT_TRUE(m_plog->Contains("drvstate>>> Pending command settings contain null pointers."));
}

// Texts without a command pass and leave nothing pending.
TEST_F(DrvCommandFsmTest, TextsWithoutCommandPass) {
  CDrvCommandFsm fsm(&m_drvgui);
  const struct {
    const char* szText;
    const char* szLog;
  } acase[] = {
      {nullptr, "The Xml command argument passed is a null pointer."},
      {"", "The Xml command argument passed is an empty string."},
      {"<task id='1'><bogus></bogus></task>", "does not contain a recognized Driver DLL command: <task id='1'>"},
      {"<setmany></setmany>", "does not contain a recognized Driver DLL command: <setmany>"},
  };
  for (const auto& c : acase) {
    const DrvCommandState* pdrvcommandstate = &CDrvCommandFsm::s_adrvcommandstate[0];
    EXPECT_TRUE(fsm.CheckValidState(c.szText, &pdrvcommandstate));
    EXPECT_EQ(pdrvcommandstate, nullptr);
    EXPECT_TRUE(fsm.ChangeState(OS_STS_SUCCESS));
    EXPECT_EQ(fsm.GetCurrentState(), DRV_STATE_CLOSED);
    EXPECT_TRUE(m_plog->Contains(c.szLog)) << c.szLog;
  }
  EXPECT_EQ(DsState(), 1);
  // The searches refuse null outputs.
  EXPECT_FALSE(fsm.GetDrvCommandFromXmlString("<get>", nullptr));
  EXPECT_FALSE(fsm.GetDrvCommandState(&CDrvCommandFsm::s_adrvcommand[0], nullptr));
  // Reset goes to "Initialized" for 3 and to "Closed" for anything else.
  fsm.ResetCommandFsm(DRV_STATE_INITIALIZED);
  EXPECT_EQ(fsm.GetCurrentState(), DRV_STATE_INITIALIZED);
  fsm.ResetCommandFsm(DRV_STATE_SCAN);
  EXPECT_EQ(fsm.GetCurrentState(), DRV_STATE_CLOSED);
}

}  // namespace
