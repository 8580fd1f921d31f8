// The assistant bridge without its program takes no record; the image
// queue's record keeps copies of its texts; a stub stands in through the
// base class.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "drv_cdrvassistant.h"
#include "drv_ui_fixture.h"

namespace {

using DrvAssistantTest = drvuitest::DrvUiFixture;

// The assistant takes no record; its record keeps copies of the texts.
TEST_F(DrvAssistantTest, TakesNoRecord) {
  CDrvAssistant drvassistant(nullptr, nullptr);
  std::string strXml = "<reportimage><imagefilename>a.tif</imagefilename></reportimage>";
  CDrvAssistantActionUserAction drvassistantactionuseraction(DEV_STS_USERACTION, strXml.c_str(), nullptr);
  strXml.assign(strXml.size(), 'x');
  EXPECT_EQ(drvassistantactionuseraction.edrvassistantaction, DRV_ASSISTANTACTION_USERACTION);
  EXPECT_EQ(drvassistantactionuseraction.edevsts, DEV_STS_USERACTION);
  EXPECT_STREQ(drvassistantactionuseraction.szXml, "<reportimage><imagefilename>a.tif</imagefilename></reportimage>");
  EXPECT_EQ(drvassistantactionuseraction.szUserAction, nullptr);
  for (int i = DRV_ASSISTANTACTION_UNDEFINED; i <= DRV_ASSISTANTACTION_LAST; ++i)
    EXPECT_EQ(drvassistant.Action(static_cast<EDRVASSISTANTACTION>(i), &drvassistantactionuseraction), OS_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("DrvAssistant>>> action=DRV_ASSISTANTACTION_USERACTION"));
  drvassistant.Bounce();

  // A stub stands in for it through the base class.
  class Stub : public CDrvAssistant {
   public:
    Stub() : CDrvAssistant(nullptr, nullptr) {}
    EOSSTS Action(EDRVASSISTANTACTION, CDrvAssistantAction*) override { return DRV_ASSISTANT_STS_TAKEN; }
  };
  std::unique_ptr<CDrvAssistant> pdrvassistant = std::make_unique<Stub>();
  EXPECT_EQ(pdrvassistant->Action(DRV_ASSISTANTACTION_USERACTION, &drvassistantactionuseraction), 51);
}

}  // namespace
