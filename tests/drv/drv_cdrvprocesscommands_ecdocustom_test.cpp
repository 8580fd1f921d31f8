// The ecdocustom family on the staged stand-ins: each request reaches the
// image library (the model names no device manager for it) of the units it
// is for, with the command's content or an empty element; the library's
// answer is rebuilt as the reply, checked by xmllint; answers that cannot be
// read, do not begin with their status or do not fit fail the command. The
// learning pass needs the GUI.
#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "dev_cdevdevice.h"
#include "drv_service_fixture.h"

namespace {

using drvtest::Reply;

class DrvEcdoCustom : public drvtest::DrvServiceFixture {
 protected:
  EDRVSTATE State() { return m_pdrvcommandfsm->GetCurrentState(); }

  // The requests of that command the image libraries received, as
  // "unit argument..." lines.
  static std::vector<std::string> Requests(const std::string& a_strCommand) {
    std::vector<std::string> vec;
    for (const devtest::LoggedTask& loggedtask : Named(NexilTasks(), a_strCommand)) {
      std::string str = loggedtask.strUnit;
      for (const std::string& strArgument : loggedtask.vecstrArgument) str += " " + strArgument;
      vec.push_back(str);
    }
    return vec;
  }
};

TEST_F(DrvEcdoCustom, BeginReachesTheFeederAndTheReplyIsRebuilt) {
  const Reply reply = RunCommand("ecdocustombegin");
  EXPECT_EQ(reply.strStatus, "success") << m_plog->Text();
  ExpectSound(reply);
  EXPECT_EQ(reply.strId, "00000000000000000001");
  EXPECT_NE(reply.strText.find("<reportecdocustom>"), std::string::npos) << reply.strText;
  EXPECT_NE(reply.strText.find("<ecdo>file06</ecdo>"), std::string::npos) << reply.strText;
  EXPECT_EQ(State(), DRV_STATE_ECDOCUSTOM);
  // No flatbed: the feeder alone, and never the device manager.
  EXPECT_EQ(Requests("ecdocustombegin"), std::vector<std::string>{"adf"});
  EXPECT_TRUE(Named(DeviceTasks(), "ecdocustombegin").empty());
  EXPECT_EQ(RunCommand("getecdocustom").strStatus, "success");
  EXPECT_EQ(RunCommand("ecdocustomend").strStatus, "success");
  EXPECT_EQ(State(), DRV_STATE_INITIALIZED);
}

// Content of 7 characters or fewer goes as an empty element.
TEST_F(DrvEcdoCustom, ShortContentSendsAnEmptyElement) {
  ASSERT_EQ(RunCommand("ecdocustombegin").strStatus, "success");
  EXPECT_EQ(RunCommand("ecdocustomsave", "<a></a>").strStatus, "success");
  EXPECT_EQ(RunCommand("ecdocustomsave", "<a>12</a>").strStatus, "success");
  EXPECT_EQ(Requests("ecdocustomsave"), (std::vector<std::string>{"adf", "adf a=12"}));
  EXPECT_EQ(State(), DRV_STATE_ECDOCUSTOM);
}

// A model that names a device manager for the family sends it there; the
// simulated scanner knows no such task and fails it.
TEST_F(DrvEcdoCustom, AConfiguredDeviceManagerTakesTheRequests) {
  m_pdatabase->ConfigSetString("ecdocustom", "true", DB_CONFIGTARGET_COMMON);
  const Reply reply = RunCommand("ecdocustombegin");
  EXPECT_EQ(reply.strStatus, "fail");
  ExpectSound(reply);
  EXPECT_EQ(Named(DeviceTasks(), "ecdocustombegin").size(), 1u);
  EXPECT_TRUE(Requests("ecdocustombegin").empty());
  EXPECT_EQ(State(), DRV_STATE_INITIALIZED);
}

TEST_F(DrvEcdoCustom, RequestsOutsideEcdocustomAreInvalidstate) {
  EXPECT_EQ(RunCommand("ecdocustomsave", "<name>mine</name>").strStatus, "invalidstate");
  EXPECT_TRUE(Requests("ecdocustomsave").empty());
}

// The feeder names its flatbed before the interface opens (the database
// keeps a unit's first inquiry).
class DrvEcdoCustomFlatbed : public DrvEcdoCustom {
 protected:
  void SetUp() override {
    setenv("SIMSCAN_ADF_FLATBED", (std::string(SCANDRV_STAGE_MODEL) + "flatbed").c_str(), 1);
    DrvEcdoCustom::SetUp();
  }
};

// With a flatbed, begin asks the feeder, then the flatbed.
TEST_F(DrvEcdoCustomFlatbed, BeginReachesBothUnits) {
  ASSERT_TRUE(m_pdatabase->ConfigExists("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON));
  EXPECT_EQ(RunCommand("ecdocustombegin").strStatus, "success") << m_plog->Text();
  EXPECT_EQ(Requests("ecdocustombegin"), (std::vector<std::string>{"adf", "flatbed"}));
  EXPECT_EQ(RunCommand("ecdocustomnew", "<name>mine</name>").strStatus, "success");
  EXPECT_EQ(Requests("ecdocustomnew"), std::vector<std::string>{"adf name=mine"});
}

// The stand-in's knobs and whether the feeder names a flatbed, set before
// the interface opens.
struct KnobCase {
  const char* szName;  // the case's name
  const char* szKnob;
  const char* szValue;
  bool blFlatbed;
};

class DrvEcdoCustomKnob : public DrvEcdoCustom, public ::testing::WithParamInterface<KnobCase> {
 protected:
  void SetUp() override {
    setenv(GetParam().szKnob, GetParam().szValue, 1);
    if (GetParam().blFlatbed) setenv("SIMSCAN_ADF_FLATBED", (std::string(SCANDRV_STAGE_MODEL) + "flatbed").c_str(), 1);
    DrvEcdoCustom::SetUp();
  }
};

// The library's word is the reply's; a failure fails the command, and the
// feeder's failure keeps the flatbed from being asked.
using DrvEcdoCustomWord = DrvEcdoCustomKnob;
TEST_P(DrvEcdoCustomWord, IsTheReplys) {
  const Reply reply = RunCommand("ecdocustombegin");
  EXPECT_EQ(reply.strStatus, "busy");
  EXPECT_EQ(reply.eossts, OS_STS_FAIL);
  ExpectSound(reply);
  EXPECT_EQ(Requests("ecdocustombegin"), std::vector<std::string>{"adf"});
  EXPECT_EQ(State(), DRV_STATE_INITIALIZED);
}
std::string KnobCaseName(const ::testing::TestParamInfo<KnobCase>& a_info) { return a_info.param.szName; }

INSTANTIATE_TEST_SUITE_P(Knobs, DrvEcdoCustomWord,
                         ::testing::Values(KnobCase{"Busy", "NEXSIM_ECDOCUSTOMWORD", "busy", true}), KnobCaseName);

// Answers that cannot be rebuilt whole fail, never reach the front end cut;
// one just inside the buffer passes whole.
using DrvEcdoCustomAnswer = DrvEcdoCustomKnob;
TEST_P(DrvEcdoCustomAnswer, IsRebuiltWholeOrFails) {
  const std::string strKnob = GetParam().szKnob;
  const bool blFits = strKnob == "NEXSIM_ECDOCUSTOMPAD" && std::stol(GetParam().szValue) < 0x1F000;
  const Reply reply = RunCommand("ecdocustombegin");
  ExpectSound(reply);
  if (blFits) {
    EXPECT_EQ(reply.strStatus, "success") << m_plog->Text();
    EXPECT_NE(reply.strText.find("<nexsimpad>" + std::string(std::stoul(GetParam().szValue), 'x') + "</nexsimpad>"),
              std::string::npos);
    EXPECT_EQ(State(), DRV_STATE_ECDOCUSTOM);
    return;
  }
  EXPECT_EQ(reply.strStatus, "fail");
  EXPECT_EQ(reply.strText.find("nexsimpad"), std::string::npos);
  const char* szLog = strKnob == "NEXSIM_ECDOCUSTOMPAD"   ? "answer element too large"
                      : strKnob == "NEXSIM_ECDOCUSTOMCUT" ? "Fail to DocumentLoad..."
                                                          : "Fail to get the <reportstatus>...";
  EXPECT_TRUE(m_plog->Contains(szLog)) << m_plog->Text();
  EXPECT_EQ(State(), DRV_STATE_INITIALIZED);
}
INSTANTIATE_TEST_SUITE_P(Knobs, DrvEcdoCustomAnswer,
                         ::testing::Values(KnobCase{"Cut", "NEXSIM_ECDOCUSTOMCUT", "1", false},
                                           KnobCase{"NoStatus", "NEXSIM_ECDOCUSTOMNOSTATUS", "1", false},
                                           KnobCase{"OverTheBuffer", "NEXSIM_ECDOCUSTOMPAD", "131072", false},
                                           KnobCase{"InsideTheBuffer", "NEXSIM_ECDOCUSTOMPAD", "60000", false}),
                         KnobCaseName);

// The learning pass is the GUI's: without one it fails, and the learnt
// dropout's name is reset.
TEST_F(DrvEcdoCustom, LearnVariabilityFailsWithoutAGui) {
  std::strcpy(m_pdatabase->GetEcdoCustomSettings()->szName, "learnt");
  ASSERT_EQ(RunCommand("ecdocustombegin").strStatus, "success");
  EXPECT_EQ(RunCommand("ecdocustomlearnvariability").strStatus, "fail");
  EXPECT_STREQ(m_pdatabase->GetEcdoCustomSettings()->szName, "(none)");
  EXPECT_EQ(State(), DRV_STATE_ECDOCUSTOM);
  EXPECT_TRUE(NexilTasks().size() > 0);
  EXPECT_TRUE(Requests("ecdocustomlearnvariability").empty());
}

}  // namespace
