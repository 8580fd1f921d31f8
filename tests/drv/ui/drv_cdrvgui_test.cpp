// The GUI bridge without its program: it answers every action as it does
// when no GUI program exists, hands out the message procedure, and lets a
// test seam answer and see every call.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "drv_cdrvgui.h"
#include "drv_ui_fixture.h"

namespace {

class DrvGuiTest : public drvuitest::DrvUiFixture {
 protected:
  void TearDown() override {
    CDrvGui::SetActionSeam(nullptr);
    DrvUiFixture::TearDown();
  }
  CDrvGui m_drvgui{nullptr, nullptr, nullptr};
};

// Every action answers 49 ("there is no GUI"), queries included (49 reads
// as "no"); a record missing where one belongs, or given where none does,
// is logged and the action goes on.
TEST_F(DrvGuiTest, GuiAnswersAsWithoutGuiProgram) {
  const std::vector<EDRVGUIACTION> vecedrvguiactionRecord = {
      DRV_GUIACTION_INTERFACELOCK, DRV_GUIACTION_INTERFACEUNLOCK, DRV_GUIACTION_MAINENABLEDS,
      DRV_GUIACTION_MESSAGEMANAGER, DRV_GUIACTION_MESSAGEMANAGERANDWAITFOROK, DRV_GUIACTION_MESSAGEMANAGERCLEAR,
      DRV_GUIACTION_MESSAGEMANAGERUICREATE, DRV_GUIACTION_SETMODAL, DRV_GUIACTION_SETREQUESTOKPRESSED,
      DRV_GUIACTION_SETSHOWUI, DRV_GUIACTION_SETSTATE, DRV_GUIACTION_SETUIVISIBLE, DRV_GUIACTION_TESTINFOBOX};
  for (int i = DRV_GUIACTION_AUTOCOLORLEARN; i < DRV_GUIACTION_LAST; ++i) {
    const auto edrvguiaction = static_cast<EDRVGUIACTION>(i);
    if (edrvguiaction == DRV_GUIACTION_DISPLAYMESSAGEMANAGER) continue;
    const bool blRecord = std::find(vecedrvguiactionRecord.begin(), vecedrvguiactionRecord.end(), edrvguiaction) !=
                          vecedrvguiactionRecord.end();
    CDrvGuiBase drvguibase;
    drvguibase.edrvguiaction = edrvguiaction;
    EXPECT_EQ(m_drvgui.Action(edrvguiaction, blRecord ? &drvguibase : nullptr), DRV_GUI_STS_NOGUI) << i;
    EXPECT_EQ(m_drvgui.Action(edrvguiaction, blRecord ? nullptr : &drvguibase), DRV_GUI_STS_NOGUI) << i;
    const std::string strName = CDrvGui::GetActionName(edrvguiaction);
    EXPECT_TRUE(m_plog->Contains((blRecord ? "gui>>> action missing value..." :
                                             "gui>>> action has value, when it should have NULL...") + strName))
        << strName;
  }
  // The driver's lock records.
  CDrvGuiInterfaceLock drvguiinterfacelock;
  CDrvGuiInterfaceUnlock drvguiinterfaceunlock;
  EXPECT_EQ(drvguiinterfacelock.edrvguiaction, DRV_GUIACTION_INTERFACELOCK);
  EXPECT_STREQ(drvguiinterfacelock.szName, "DriverEntry");
  EXPECT_EQ(drvguiinterfaceunlock.edrvguiaction, DRV_GUIACTION_INTERFACEUNLOCK);
  // Outside the table.
  for (int i : {-1, 0, 30, 99}) {
    EXPECT_EQ(m_drvgui.Action(static_cast<EDRVGUIACTION>(i), nullptr), OS_STS_FAIL);
    EXPECT_TRUE(m_plog->Contains("Unrecognized a_edrvguiaction..." + std::to_string(i)));
  }
  EXPECT_STREQ(CDrvGui::GetActionName(static_cast<EDRVGUIACTION>(31)), "?");
  m_drvgui.Bounce();
}

// The message procedure is handed out even without a GUI; it only logs.
TEST_F(DrvGuiTest, GuiHandsOutTheMessageProcedure) {
  CDrvGuiBase drvguibase;
  drvguibase.edrvguiaction = DRV_GUIACTION_DISPLAYMESSAGEMANAGER;
  EXPECT_EQ(m_drvgui.Action(DRV_GUIACTION_DISPLAYMESSAGEMANAGER, &drvguibase), OS_STS_SUCCESS);
  ASSERT_EQ(drvguibase.pfnMessageManager, &CDrvGuiMgr::MessageManagerStatic);
  EXPECT_EQ(drvguibase.pfnMessageManager(DEV_DLG_SCANNING, DEV_MSG_SCANNING, "feeder", 3, DEV_BUTTONS_CANCEL),
            DRV_GUI_STS_NOGUI);
  EXPECT_TRUE(m_plog->Contains(">>> MessageManager(6,15,feeder,3,2)"));
  EXPECT_EQ(CDrvGuiMgr::MessageManagerStatic(DEV_DLG_MESSAGE, DEV_MSG_INFO, nullptr, 0, DEV_BUTTONS_NONE),
            DRV_GUI_STS_NOGUI);
  EXPECT_TRUE(m_plog->Contains(">>> MessageManager(4,9,(null),0,0)"));
  // No record to fill, or a record of another action.
  EXPECT_EQ(m_drvgui.Action(DRV_GUIACTION_DISPLAYMESSAGEMANAGER, nullptr), DRV_GUI_STS_NOGUI);
  EXPECT_TRUE(m_plog->Contains("a_pdrvguibase is null..."));
  CDrvGuiBase drvguibaseOther;
  drvguibaseOther.edrvguiaction = DRV_GUIACTION_SETSTATE;
  EXPECT_EQ(m_drvgui.Action(DRV_GUIACTION_DISPLAYMESSAGEMANAGER, &drvguibaseOther), OS_STS_FAIL);
  EXPECT_EQ(drvguibaseOther.pfnMessageManager, nullptr);
  EXPECT_TRUE(m_plog->Contains("Bad CDrvGuiBase...24 != 2"));
}

// The seam sees every call of every bridge and answers those it chooses.
TEST_F(DrvGuiTest, GuiSeamAnswersChosenActions) {
  class Seam : public CDrvGuiActionSeam {
   public:
    bool Action(EDRVGUIACTION a_edrvguiaction, CDrvGuiBase* a_pdrvguibase, EOSSTS* a_peossts) override {
      vecstrCalls.push_back(std::string(CDrvGui::GetActionName(a_edrvguiaction)) + (a_pdrvguibase ? " record" : ""));
      if (a_edrvguiaction != DRV_GUIACTION_NOGUI) return false;
      *a_peossts = OS_STS_SUCCESS;
      return true;
    }
    void Bounce() override { vecstrCalls.push_back("Bounce"); }
    std::vector<std::string> vecstrCalls;
  } seam;
  CDrvGui::SetActionSeam(&seam);
  CDrvGui drvguiOther(nullptr, nullptr, nullptr);
  CDrvGuiInterfaceLock drvguiinterfacelock;
  EXPECT_EQ(m_drvgui.Action(DRV_GUIACTION_NOGUI, nullptr), OS_STS_SUCCESS);
  EXPECT_EQ(drvguiOther.Action(DRV_GUIACTION_INTERFACELOCK, &drvguiinterfacelock), DRV_GUI_STS_NOGUI);
  drvguiOther.Bounce();
  EXPECT_EQ(seam.vecstrCalls,
            (std::vector<std::string>{"DRV_GUIACTION_NOGUI", "DRV_GUIACTION_INTERFACELOCK record", "Bounce"}));
  CDrvGui::SetActionSeam(nullptr);
  EXPECT_EQ(m_drvgui.Action(DRV_GUIACTION_NOGUI, nullptr), DRV_GUI_STS_NOGUI);
}

}  // namespace
