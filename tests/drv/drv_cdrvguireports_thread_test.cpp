// The GUI bridge's registration and reports shared by two threads: the
// dispatcher registering and composing full reports while a front-end
// task asks for the unasked value reports (action 29). Both hold the
// database lock while they read or change what the GUI registered; run
// under ThreadSanitizer in its tree.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "drv_cdrvgui.h"
#include "drv_cdrvguiimpl.h"
#include "drv_opened_fixture.h"
#include "os_cosxml.h"

namespace {

class DrvGuiReportsThreadTest : public drvtest::DrvOpenedFixture {};

TEST_F(DrvGuiReportsThreadTest, DispatcherAndFrontEndShareTheRegistration) {
  // No GUI program runs: every reply is composed whole and dropped by the link.
  CDrvGuiImpl drvguiimpl(m_pdatabase.get(), nullptr, nullptr, "");
  CDrvGuiBase drvguibase;
  drvguibase.edrvguiaction = DRV_GUIACTION_SETUIVISIBLE;
  drvguibase.i32Value = 1;
  ASSERT_EQ(drvguiimpl.Action(DRV_GUIACTION_SETUIVISIBLE, &drvguibase), OS_STS_SUCCESS);
  std::atomic<bool> blStop{false};
  std::thread threadDispatcher([&] {
    COsXml osxmlRegister, osxmlGet;
    const std::string strRegister =
        "<register><id>units</id><id>imageformat</id><id>windowtag</id><id>nosuch</id></register>";
    const std::string strGet = "<get><id>units</id><id>nosuch</id></get>";
    for (int i = 0; i < 50; ++i) {
      ASSERT_EQ(osxmlRegister.DocumentLoad(strRegister.c_str(), static_cast<long>(strRegister.size())), OS_STS_SUCCESS);
      osxmlRegister.NodeRewind();
      drvguiimpl.DispatcherRegister(&osxmlRegister, i);
      ASSERT_EQ(osxmlGet.DocumentLoad(strGet.c_str(), static_cast<long>(strGet.size())), OS_STS_SUCCESS);
      osxmlGet.NodeRewind();
      drvguiimpl.DispatcherGet(&osxmlGet, i);
      osxmlRegister.DocumentFree();
      osxmlGet.DocumentFree();
    }
    blStop = true;
  });
  CDbDatum* pdbdatumUnits = m_pdatabase->FindInBin(DB_BIN_MACHINE, DB_ID_UNITS);
  ASSERT_NE(pdbdatumUnits, nullptr);
  long lRounds = 0;
  while (!blStop) {
    {
      CDbLockGuard dblockguard;
      m_pdatabase->NotifySet(DB_NOTIFY_VALUE, pdbdatumUnits);
      EXPECT_EQ(drvguiimpl.Action(DRV_GUIACTION_UPDATEVALUES, nullptr), OS_STS_SUCCESS);
    }
    ++lRounds;
  }
  threadDispatcher.join();
  EXPECT_GT(lRounds, 0);
  CDbLockGuard dblockguard;
  EXPECT_EQ(drvguiimpl.GetReports().Registered(DB_BIN_BITONAL_FRONT, DB_ID_UNITS), DB_BIN_MACHINE);
}

// The profile commands mark the list changed on the dispatcher, outside the
// database lock, while the front-end thread's full reports take the mark
// under it (run under ThreadSanitizer in its tree).
TEST_F(DrvGuiReportsThreadTest, ProfileCommandsMarkTheListWhileTheFrontEndReports) {
  CDrvGuiImpl drvguiimpl(m_pdatabase.get(), nullptr, nullptr, "");
  CDrvGuiReports& drvguireports = drvguiimpl.GetReports();
  std::atomic<bool> blStop{false};
  std::thread threadDispatcher([&] {
    for (int i = 0; i < 2000; ++i) drvguireports.SetProfileListChanged();
    blStop = true;
  });
  long lRounds = 0;
  do {
    CDrvGuiTask drvguitask;
    CDbLockGuard dblockguard;
    drvguireports.TaskGet(drvguitask, 0);
    ++lRounds;
  } while (!blStop);
  threadDispatcher.join();
  EXPECT_GT(lRounds, 0);
  // A mark is taken once.
  drvguireports.TakeProfileListChanged();
  drvguireports.SetProfileListChanged();
  EXPECT_TRUE(drvguireports.TakeProfileListChanged());
  EXPECT_FALSE(drvguireports.TakeProfileListChanged());
}

}  // namespace
