// The GUI bridge with the staged stand-in as its GUI: readiness and its
// wait, the interface lock against the GUI's commands, the answers to
// dialogs, the record checks, and a bounce while other threads use the
// bridge.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "drv_gui_fixture.h"

namespace {

using uilinktest::Clock;
using uilinktest::Eventually;
using uilinktest::MillisecondsSince;

using guitest::DrvGuiImplTest;

// 21 while the GUI is not ready, also for a limit between two slices; 0
// once it is; 1 soon after the GUI dies.
TEST_F(DrvGuiImplTest, GuiWaitForGuiReadyTimeoutAndDeath) {
  StartGui("noready\nwaitfile " + m_strFlag + " 20000\nsend uiready\nwaitfile " + m_strFlag + "2 20000\nkill\n");
  auto start = Clock::now();
  EXPECT_EQ(m_pdrvguiimpl->WaitForGui(250), static_cast<EOSSTS>(21));
  EXPECT_GE(MillisecondsSince(start), 240);
  EXPECT_EQ(m_pdrvguiimpl->WaitForGui(0), static_cast<EOSSTS>(21));
  Go();
  EXPECT_EQ(m_pdrvguiimpl->WaitForGui(20000), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(m_pdrvguiimpl->GetGuiState(), DRV_UILINKSTATE_READY);
  EXPECT_EQ(m_pdrvguiimpl->WaitForGui(250), OS_STS_SUCCESS);

  // Another GUI that never says it is ready, killed while it is waited for.
  m_pdrvguiimpl.reset();
  StartGui("noready\n");
  const pid_t pid = static_cast<pid_t>(m_pdrvguiimpl->GetLink().GetChildProcessId());
  ASSERT_GT(pid, 0);
  std::thread threadKill([pid] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(pid, SIGKILL);
  });
  start = Clock::now();
  EXPECT_EQ(m_pdrvguiimpl->WaitForGui(20000), OS_STS_FAIL);
  threadKill.join();
  EXPECT_LT(MillisecondsSince(start), 300 + 1000);
  EXPECT_EQ(m_pdrvguiimpl->GetGuiState(), DRV_UILINKSTATE_ENDED);
}

// Before "uiready" a GUI command waits for the front end's task, while a
// dialog's answer comes through at once; after it both run side by side.
TEST_F(DrvGuiImplTest, GuiInterfaceLockBeforeAndAfterReady) {
  StartGui("noready\nwaitfile " + m_strFlag + " 20000\nsend uivisible\n"
           "send dialogcleared <button>cancel</button><dialogtype>scanning</dialogtype>\n"
           "waitfile " + m_strFlag + "2 20000\nsend uiready\nwaitfile " + m_strFlag + "3 20000\nsend uivisible\n");
  ASSERT_TRUE(m_pdrvguiimpl->InterfaceLock("DriverEntry"));
  m_pdrvguiimpl->SetDialogShown(6, true);
  Go();
  ASSERT_TRUE(Eventually([&] { return m_pdrvguiimpl->GetButton(CDrvGuiImpl::BUTTON_CANCEL); }));
  EXPECT_FALSE(m_pdrvguiimpl->GetDialogShown(6));
  EXPECT_TRUE(Eventually([&] { return Replies() == 1; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(Visible()) << "the command waits for the task";
  m_pdrvguiimpl->InterfaceUnlock("DriverEntry.normal");
  EXPECT_TRUE(Eventually([&] { return Visible(); }));

  Go("2");
  ASSERT_EQ(m_pdrvguiimpl->WaitForGui(20000), OS_STS_SUCCESS);
  CDrvGuiBase drvguibase;
  drvguibase.edrvguiaction = DRV_GUIACTION_SETUIVISIBLE;
  ASSERT_EQ(m_pdrvguiimpl->Action(DRV_GUIACTION_SETUIVISIBLE, &drvguibase), OS_STS_SUCCESS);
  EXPECT_FALSE(m_pdrvguiimpl->InterfaceLock("DriverEntry")) << "a ready GUI takes no lock";
  Go("3");
  EXPECT_TRUE(Eventually([&] { return Visible(); }));
}

// Only the owner gives the lock back; the lock of a thread that ended is
// taken over; a bad record answers 1, a missing one also ends the GUI.
TEST_F(DrvGuiImplTest, GuiLockOwnersAndRecordChecks) {
  CDrvGuiImpl drvguiimpl(nullptr, nullptr, nullptr, SCANDRV_UISTANDIN);
  ASSERT_TRUE(drvguiimpl.InterfaceLock("DriverEntry"));
  std::thread([&] { drvguiimpl.InterfaceUnlock("WaitForGui"); }).join();
  EXPECT_TRUE(m_plog->Contains("InterfaceUnlock: WaitForGui is not the owner's"));
  std::atomic<bool> blTaken{false};
  std::thread threadWaiter([&] { blTaken = drvguiimpl.InterfaceLock("DrvGuiDispatcher"); });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(blTaken.load()) << "the owner still holds it";
  drvguiimpl.InterfaceUnlock("DriverEntry.normal");
  threadWaiter.join();
  EXPECT_TRUE(blTaken.load());
  // The waiter ended holding it: the next taker takes it over.
  ASSERT_TRUE(drvguiimpl.InterfaceLock("DriverEntry"));
  EXPECT_TRUE(m_plog->Contains("takes over the lock of a thread that ended"));
  drvguiimpl.InterfaceUnlock("DriverEntry.normal");

  CDrvGuiBase drvguibase;
  drvguibase.edrvguiaction = DRV_GUIACTION_SETSTATE;
  EXPECT_EQ(drvguiimpl.Action(DRV_GUIACTION_INTERFACELOCK, &drvguibase), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Bad CDrvGuiBase...24 != 8"));
  EXPECT_EQ(drvguiimpl.GetGuiState(), DRV_UILINKSTATE_NONE);
  EXPECT_EQ(drvguiimpl.Action(DRV_GUIACTION_SETSHOWUI, nullptr), OS_STS_FAIL);
  EXPECT_EQ(drvguiimpl.GetGuiState(), DRV_UILINKSTATE_ENDED);
  EXPECT_EQ(drvguiimpl.WaitForGui(250), OS_STS_SUCCESS) << "no GUI was started";
}

// Two threads use the bridge through the message procedure and an action
// while its manager is replaced again and again, as a bounce does (stop,
// wait for the references, new manager); then a facade goes with its GUI
// up, and no child is left (the fixture's check).
TEST_F(DrvGuiImplTest, GuiBounceWhileInUse) {
  setenv("PMX_FORCEGUI", SCANDRV_UISTANDIN, 1);
  setenv("UISTANDIN_LOG", m_strStandinLog.c_str(), 1);
  CDrvGuiMgr* pdrvguimgr = new CDrvGuiMgr(nullptr, nullptr, nullptr);
  bool blBouncing = false;
  auto action = [&](EDRVGUIACTION a_edrvguiaction) {
    DrvGuiMgrRef drvguimgrref(&pdrvguimgr, &blBouncing);
    return drvguimgrref.Get() ? drvguimgrref.Get()->Action(a_edrvguiaction, nullptr) : OS_STS_FAIL;
  };
  std::atomic<bool> blStop{false};
  std::atomic<long> lCalls{0};
  auto loop = [&](bool a_blStatic) {
    while (!blStop) {
      if (a_blStatic) {
        CDrvGuiMgr::MessageManagerStatic(DEV_DLG_SCANNING, DEV_MSG_SCANNING, nullptr, 0, DEV_BUTTONS_NONE);
      } else {
        action(DRV_GUIACTION_ISGUIRUNNING);
      }
      ++lCalls;
    }
  };
  std::thread threadStatic(loop, true);
  std::thread threadAction(loop, false);
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(Eventually([&] { return action(DRV_GUIACTION_ISGUIRUNNING) == OS_STS_SUCCESS; })) << i;
    action(DRV_GUIACTION_STOP);
    CDrvGuiMgr::Replace(
        &pdrvguimgr, &blBouncing, [](void*) -> CDrvGuiMgr* { return new CDrvGuiMgr(nullptr, nullptr, nullptr); },
        nullptr);
  }
  blStop = true;
  threadStatic.join();
  threadAction.join();
  EXPECT_GT(lCalls.load(), 0);
  EXPECT_GE(ChildLog("argv").size(), 3u);
  CDrvGuiMgr::Replace(
      &pdrvguimgr, &blBouncing, [](void*) -> CDrvGuiMgr* { return nullptr; }, nullptr);
  EXPECT_EQ(CDrvGuiMgr::MessageManagerStatic(DEV_DLG_SCANNING, DEV_MSG_SCANNING, nullptr, 0, DEV_BUTTONS_NONE),
            DRV_GUI_STS_NOGUI);

  // The facade with its GUI up.
  auto pdrvgui = std::make_unique<CDrvGui>(nullptr, nullptr, nullptr);
  EXPECT_TRUE(Eventually([&] { return pdrvgui->Action(DRV_GUIACTION_ISGUIRUNNING, nullptr) == OS_STS_SUCCESS; }));
  pdrvgui.reset();
}

}  // namespace
