// The GUI bridge on the staged stand-in: the link's services (the link's
// fixture), the bridge made and started on the stand-in with a script, a
// flag file the script waits for, and the stand-in's replies read back.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "drv_cdrvgui.h"
#include "drv_cdrvguiimpl.h"
#include "drv_uilink_fixture.h"

namespace guitest {

class DrvGuiImplTest : public uilinktest::UiLinkFixture {
 protected:
  void SetUp() override {
    UiLinkFixture::SetUp();
    m_strFlag = testsupport::RootPath("go");
  }
  void TearDown() override {
    m_pdrvguiimpl.reset();
    unsetenv("UISTANDIN_SCRIPT");
    unsetenv("UISTANDIN_LOG");
    unsetenv("PMX_FORCEGUI");
    UiLinkFixture::TearDown();
  }
  // The bridge on the stand-in, started; the child reads its script and
  // log from the environment it inherits.
  void StartGui(const std::string& a_strScript) {
    setenv("UISTANDIN_SCRIPT", a_strScript.c_str(), 1);
    setenv("UISTANDIN_LOG", m_strStandinLog.c_str(), 1);
    m_pdrvguiimpl = std::make_unique<CDrvGuiImpl>(nullptr, nullptr, nullptr, SCANDRV_UISTANDIN);
    ASSERT_EQ(m_pdrvguiimpl->Action(DRV_GUIACTION_START, nullptr), OS_STS_SUCCESS);
    // A GUI that says uiready at once may be ready by now.
    const EDRVUILINKSTATE edrvuilinkstate = m_pdrvguiimpl->GetLink().WaitStart(20000);
    ASSERT_TRUE(edrvuilinkstate == DRV_UILINKSTATE_CONNECTED || edrvuilinkstate == DRV_UILINKSTATE_READY)
        << edrvuilinkstate << m_plog->Text();
  }
  void Go(const std::string& a_strSuffix = "") { std::ofstream(m_strFlag + a_strSuffix) << "go"; }
  size_t Replies() { return ChildLog("recv").size(); }
  // The replies the stand-in read to its task a_iId (its ids count from 1).
  size_t RepliesTo(int a_iId) {
    char szReply[24];
    std::snprintf(szReply, sizeof szReply, "%020d", a_iId);
    size_t sizet = 0;
    for (const uilinktest::LogLine& logline : ChildLog("recv")) {
      if (logline.vecstrField.size() > 2 && logline.vecstrField[2] == szReply) ++sizet;
    }
    return sizet;
  }
  bool Visible() { return m_pdrvguiimpl->Action(DRV_GUIACTION_GETUIVISIBLE, nullptr) == OS_STS_SUCCESS; }

  std::unique_ptr<CDrvGuiImpl> m_pdrvguiimpl;
  std::string m_strFlag;
};

}  // namespace guitest
