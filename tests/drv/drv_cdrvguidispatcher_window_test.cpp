// The GUI's windowadd and windowdelete on the database an opened scanner
// leaves (mapleB), with its window list widened to three windows (the
// shipped database lists one): the first window not in use is put to work
// with the frame of the supported size, until every window is in use; the
// current window is deleted. No GUI runs: the replies are dropped.
#include <gtest/gtest.h>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "db_cdblock.h"
#include "drv_cdrvguiimpl.h"
#include "drv_opened_fixture.h"

namespace {

class DrvGuiWindowTest : public drvtest::DrvOpenedFixture {
 protected:
  void SetUp() override {
    DrvOpenedFixture::SetUp();
    CDbLockGuard dblockguard;
    CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_WINDOW);
    ASSERT_NE(pdbdatum, nullptr);
    m_pdatabase->EnumDeleteAllItems(pdbdatum);
    m_pdatabase->EnumDeleteAllDefaultItems(pdbdatum);
    for (long l = 0; l < s_lWindows; ++l) {
      m_pdatabase->EnumAddItem(pdbdatum, l);
      m_pdatabase->EnumAddDefaultItem(pdbdatum, l);
    }
    CDbDatum::SetWindowMax(s_lWindows);
  }
  void TearDown() override {
    CDbDatum::SetWindowMax(1);
    DrvOpenedFixture::TearDown();
  }
  long Current(EDBID a_edbid) {
    CDbLockGuard dblockguard;
    return m_pdatabase->GetCurrentLongFromId(a_edbid);
  }

  static constexpr long s_lWindows = 3;
};

constexpr long s_lLetterWidth = 10200;   // 8.5 inches at 1200 dpi
constexpr long s_lLetterHeight = 13200;  // 11 inches

TEST_F(DrvGuiWindowTest, AddPutsTheFirstFreeWindowToWorkUntilAllAreInUse) {
  CDrvGuiImpl drvguiimpl(m_pdatabase.get(), nullptr, nullptr, "");
  ASSERT_EQ(Current(DB_ID_SUPPORTEDSIZES), DB_ID_SUPPORTEDSIZES_ENUM_USLETTER);
  for (long lWindow = 1; lWindow < s_lWindows; ++lWindow) {
    ASSERT_EQ(drvguiimpl.DispatcherWindowAdd(nullptr, 5), OS_STS_SUCCESS);
    EXPECT_EQ(Current(DB_ID_WINDOW), lWindow);
    EXPECT_EQ(Current(DB_ID_CAMERAENABLE), DB_ID_CAMERAENABLE_ENUM_TRUE);
    EXPECT_EQ(Current(DB_ID_CROPPINGMODE), DB_ID_CROPPINGMODE_ENUM_FIXED);
    EXPECT_EQ(Current(DB_ID_IMAGESKEWANGLE), 0);
    // Fixed cropping on the feeder centres the box: the offset is half the
    // room left, in whole hundredths of an inch (12 dots).
    const long lRoom = Current(DB_ID_PHYSICALWIDTH) - s_lLetterWidth;
    EXPECT_EQ(Current(DB_ID_FRAMEXOFFSET), lRoom / 2 / 12 * 12) << lWindow;
    EXPECT_EQ(Current(DB_ID_FRAMEYOFFSET), 0);
    EXPECT_EQ(Current(DB_ID_FRAMEWIDTH), s_lLetterWidth);
    EXPECT_EQ(Current(DB_ID_FRAMEHEIGHT), s_lLetterHeight);
    EXPECT_EQ(Current(DB_ID_SUPPORTEDSIZES), DB_ID_SUPPORTEDSIZES_ENUM_USLETTER) << "the paper size stays";
  }
  EXPECT_EQ(drvguiimpl.DispatcherWindowAdd(nullptr, 6), OS_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("windowadd: every window is in use...3"));
  EXPECT_EQ(Current(DB_ID_WINDOW), s_lWindows - 1) << "nothing changed";
  // The current window goes; the one before it stays in use.
  ASSERT_EQ(drvguiimpl.DispatcherWindowDelete(nullptr, 7), OS_STS_SUCCESS);
  EXPECT_FALSE(m_plog->Contains("windowdelete: the window stays..."));
  {
    CDbLockGuard dblockguard;
    CDbDatum* pdbdatum = m_pdatabase->FindInWindowBin(1, DB_BIN_BITONAL_FRONT, DB_ID_CAMERAENABLE);
    ASSERT_NE(pdbdatum, nullptr);
    EXPECT_EQ(m_pdatabase->GetCurrentLong(pdbdatum), DB_ID_CAMERAENABLE_ENUM_TRUE);
  }
  EXPECT_EQ(drvguiimpl.DispatcherWindowAdd(nullptr, 8), OS_STS_SUCCESS);
  EXPECT_EQ(Current(DB_ID_WINDOW), s_lWindows - 1) << "the freed window is taken again";
}

}  // namespace
