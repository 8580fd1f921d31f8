// The GUI's value reads on the staged stand-in without a database: the
// stand-in's commands are answered (a bridge without a database has no
// values: "fail", never a cut reply), and getregistered, once the GUI is
// being stopped, answers "success" alone.
#include <gtest/gtest.h>

#include <string>

#include "drv_gui_fixture.h"

namespace {

using uilinktest::Eventually;

class DrvGuiValuesTest : public guitest::DrvGuiImplTest {};

TEST_F(DrvGuiValuesTest, GuiStoppingAnswersGetRegisteredWithSuccessAlone) {
  StartGui("send register \\n\\t\\t<id>units</id>\\n\\t\nsend get\nsend getvalues\n");
  ASSERT_TRUE(Eventually([&] { return RepliesTo(4) == 1; })) << m_plog->Text();
  EXPECT_EQ(RepliesTo(2), 1u);
  const std::string strLog = m_plog->Text();
  const size_t sizetGet = strLog.find("reply='00000000000000000003'");
  ASSERT_NE(sizetGet, std::string::npos) << strLog;
  EXPECT_EQ(strLog.substr(strLog.find("<status>", sizetGet), 21), "<status>fail</status>") << strLog;
  ASSERT_EQ(m_pdrvguiimpl->Action(DRV_GUIACTION_STOP, nullptr), OS_STS_SUCCESS);
  EXPECT_EQ(m_pdrvguiimpl->DispatcherGetRegistered(nullptr, 9), OS_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("gui>>> m_blGuiStopping detected, aborting DispatcherGetRegistered..."));
}

}  // namespace
