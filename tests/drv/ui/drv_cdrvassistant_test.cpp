// The assistant bridge without its program: the user actions answered
// without an assistant (which records are taken, which reach the
// application), the choice of the executable, the manager of each scan;
// the image queue's record keeps copies of its texts; a stub stands in
// through the base class.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "drv_cdrvassistant.h"
#include "drv_cdrvassistantmgr.h"
#include "drv_ui_fixture.h"

namespace {

class DrvAssistantTest : public drvuitest::DrvUiFixture {
 protected:
  void TearDown() override {
    unsetenv("PMX_FORCEDRVASSISTUI");
    DrvUiFixture::TearDown();
  }
  EOSSTS Offer(CDrvAssistant& a_drvassistant, EDEVSTS a_edevsts, const char* a_szXml) {
    CDrvAssistantActionUserAction drvassistantactionuseraction(a_edevsts, a_szXml, nullptr);
    return a_drvassistant.Action(DRV_ASSISTANTACTION_USERACTION, &drvassistantactionuseraction);
  }
};

struct Record {
  EDEVSTS edevsts;
  const char* szXml;
  EOSSTS eosstsExpected;
};

const char s_szImage[] = "<reportimage><imagefilename>/r/1.raw</imagefilename><sheetnumber>1</sheetnumber></reportimage>";
const char s_szShowImage[] =
    "<reportimage><imagefilename>/r/2.raw</imagefilename><useraction>show</useraction></reportimage>";
const char s_szDecision[] = "<reportimage><sheetnumber>2</sheetnumber><useraction>decide</useraction></reportimage>";
const char s_szPress[] = "<reportimage><sheetnumber>2</sheetnumber><useraction>press</useraction></reportimage>";

// Without an assistant ("none"): before the scan's first user action every
// record is the application's; after it the show's images, its records and
// its sheet's end are taken, a user action with another word goes to the
// scanner as user input (taken), and every other record, with or without
// text, still reaches the application.
TEST_F(DrvAssistantTest, AssistantNoneUserActions) {
  setenv("PMX_FORCEDRVASSISTUI", "none", 1);
  const std::vector<std::vector<Record>> vecvecrecord = {
      // An interactive multifeed at sheet 2, then sheet 3 and the end.
      {{DEV_STS_SUCCESS, s_szImage, OS_STS_SUCCESS},
       {DEV_STS_ENDOFSHEET, nullptr, OS_STS_SUCCESS},
       {DEV_STS_USERACTION, s_szShowImage, DRV_ASSISTANT_STS_TAKEN},
       {DEV_STS_USERACTION, s_szShowImage, DRV_ASSISTANT_STS_TAKEN},
       {DEV_STS_ENDOFSHEET, nullptr, DRV_ASSISTANT_STS_TAKEN},
       {DEV_STS_USERACTION, s_szDecision, DRV_ASSISTANT_STS_TAKEN},
       {DEV_STS_SUCCESS, s_szImage, OS_STS_SUCCESS},
       {DEV_STS_ENDOFSHEET, nullptr, OS_STS_SUCCESS},
       {DEV_STS_ENDOFOUTPUT, nullptr, OS_STS_SUCCESS}},
      // The operator panel's user action, then the job's end records.
      {{DEV_STS_USERACTION, s_szPress, DRV_ASSISTANT_STS_TAKEN},
       {DEV_STS_ENDOFSHEET, nullptr, OS_STS_SUCCESS},
       {DEV_STS_ENDOFJOB, nullptr, OS_STS_SUCCESS},
       {DEV_STS_CANCEL, nullptr, OS_STS_SUCCESS},
       {DEV_STS_DISCONNECTED, nullptr, OS_STS_SUCCESS},
       {DEV_STS_FAIL, nullptr, OS_STS_SUCCESS}},
      // A user action without text, or without a user action, is taken.
      {{DEV_STS_USERACTION, nullptr, DRV_ASSISTANT_STS_TAKEN},
       {DEV_STS_USERACTION, "<reportimage></reportimage>", DRV_ASSISTANT_STS_TAKEN},
       {DEV_STS_DOUBLEDOCUMENT, nullptr, OS_STS_SUCCESS}},
  };
  for (size_t sizet = 0; sizet < vecvecrecord.size(); ++sizet) {
    CDrvAssistant drvassistant(nullptr, nullptr);
    ASSERT_EQ(drvassistant.Action(DRV_ASSISTANTACTION_SCANBEGIN, nullptr), OS_STS_SUCCESS);
    size_t sizetRecord = 0;
    for (const Record& record : vecvecrecord[sizet]) {
      EXPECT_EQ(Offer(drvassistant, record.edevsts, record.szXml), record.eosstsExpected)
          << "sequence " << sizet << " record " << sizetRecord;
      ++sizetRecord;
    }
    EXPECT_EQ(drvassistant.Action(DRV_ASSISTANTACTION_SCANEND, nullptr), OS_STS_SUCCESS);
  }
  EXPECT_TRUE(m_plog->Contains("assistant>>> PMX_FORCEDRVASSISTUI...<none>"));
  EXPECT_TRUE(m_plog->Contains("assistant>>> Driver Assistant set to 'none'..."));
}

// A missing executable leaves no bridge, logged; each scan's end puts a new
// manager in place, which may try again.
TEST_F(DrvAssistantTest, AssistantMissingAndNewManagerPerScan) {
  setenv("PMX_FORCEDRVASSISTUI", "/nonexistent/drvassistui", 1);
  CDrvAssistant drvassistant(nullptr, nullptr);
  CDrvAssistantMgr* pdrvassistantmgr = drvassistant.GetMgr();
  ASSERT_NE(pdrvassistantmgr, nullptr);
  EXPECT_EQ(Offer(drvassistant, DEV_STS_USERACTION, s_szPress), DRV_ASSISTANT_STS_TAKEN);
  EXPECT_EQ(pdrvassistantmgr->GetImpl(), nullptr);
  EXPECT_TRUE(m_plog->Contains(
      "assistant>>> Driver Assistant executable (/nonexistent/drvassistui) not found! Driver Assistant will not be "
      "loaded"));
  EXPECT_EQ(drvassistant.Action(DRV_ASSISTANTACTION_SCANEND, nullptr), OS_STS_SUCCESS);
  EXPECT_NE(drvassistant.GetMgr(), nullptr);
  // The new manager has not seen the user action: an image is the
  // application's again, and a user action tries the executable again.
  EXPECT_EQ(Offer(drvassistant, DEV_STS_SUCCESS, s_szImage), OS_STS_SUCCESS);
  EXPECT_EQ(m_plog->Count("not found! Driver Assistant will not be loaded"), 1u);
  EXPECT_EQ(Offer(drvassistant, DEV_STS_USERACTION, s_szPress), DRV_ASSISTANT_STS_TAKEN);
  EXPECT_EQ(m_plog->Count("not found! Driver Assistant will not be loaded"), 2u);
  drvassistant.Bounce();
  EXPECT_EQ(drvassistant.Action(static_cast<EDRVASSISTANTACTION>(9), nullptr), OS_STS_SUCCESS);
}

// The record keeps copies of the texts; a stub stands in through the base
// class.
TEST_F(DrvAssistantTest, AssistantRecordAndStub) {
  std::string strXml = "<reportimage><imagefilename>a.tif</imagefilename></reportimage>";
  CDrvAssistantActionUserAction drvassistantactionuseraction(DEV_STS_USERACTION, strXml.c_str(), nullptr);
  strXml.assign(strXml.size(), 'x');
  EXPECT_EQ(drvassistantactionuseraction.edrvassistantaction, DRV_ASSISTANTACTION_USERACTION);
  EXPECT_EQ(drvassistantactionuseraction.edevsts, DEV_STS_USERACTION);
  EXPECT_STREQ(drvassistantactionuseraction.szXml, "<reportimage><imagefilename>a.tif</imagefilename></reportimage>");
  EXPECT_EQ(drvassistantactionuseraction.szUserAction, nullptr);

  class Stub : public CDrvAssistant {
   public:
    Stub() : CDrvAssistant(nullptr, nullptr) {}
    EOSSTS Action(EDRVASSISTANTACTION, CDrvAssistantAction*) override { return DRV_ASSISTANT_STS_TAKEN; }
  };
  std::unique_ptr<CDrvAssistant> pdrvassistant = std::make_unique<Stub>();
  EXPECT_EQ(pdrvassistant->Action(DRV_ASSISTANTACTION_USERACTION, &drvassistantactionuseraction), 51);
}

}  // namespace
