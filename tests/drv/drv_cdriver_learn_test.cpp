// The learning scans on the simulated scanner: without its learning mode
// the automatic colour pass starts nothing; with it (made supported here,
// as the colour rules will) the pass reads the amount and threshold the
// scanner wrote into each image and keeps the smallest of each.
#include <gtest/gtest.h>

#include <string>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "drv_cdriver.h"
#include "drv_scan_fixture.h"

namespace {

using drvtest::DrvScanFixture;

constexpr long s_lCustomColorContent = 5;

class DrvLearnTest : public DrvScanFixture {
 protected:
  // A learning pass as its command runs it: the device reserved around it.
  long Learn(EOSSTS (CDriver::*a_pfnLearn)()) {
    EXPECT_EQ(m_pdriver->GetDev()->ResourceBegin(true), OS_STS_SUCCESS);
    const long lResult = (m_pdriver.get()->*a_pfnLearn)();
    m_pdriver->GetDev()->ResourceEnd();
    return lResult;
  }

  // The learning mode and both automatic colour ranges (0..1000) in every
  // bin, as a scanner with automatic colour detection offers them, and the
  // custom colour content the pass is run for (the rules leave the ranges
  // writable only then).
  void SupportAutoColor() {
    CDbLockGuard dblockguard;
    CDatabase* pdatabase = m_pdriver->GetDatabase();
    for (EDBBIN edbbin : {DB_BIN_MACHINE, DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT,
                          DB_BIN_COLOR_REAR}) {
      if (CDbDatum* pdbdatum = pdatabase->FindDirect(edbbin, DB_ID_ACDLEARNMODE)) {
        pdatabase->SetAccess(pdbdatum, DB_ACCESS_READWRITE);
        for (long lMode : {1L, 2L}) pdatabase->EnumAddItem(pdbdatum, lMode);
      }
      if (CDbDatum* pdbdatum = pdatabase->FindDirect(edbbin, DB_ID_AUTOCOLORCONTENT)) {
        pdatabase->SetAccess(pdbdatum, DB_ACCESS_READWRITE);
        pdatabase->EnumAddItem(pdbdatum, s_lCustomColorContent);
        pdatabase->ForceCurrentLong(pdbdatum, s_lCustomColorContent);
      }
      for (EDBID edbid : {DB_ID_AUTOCOLORAMOUNT, DB_ID_AUTOCOLORTHRESHOLD}) {
        CDbDatum* pdbdatum = pdatabase->FindDirect(edbbin, edbid);
        if (!pdbdatum) continue;
        pdatabase->SetAccess(pdbdatum, DB_ACCESS_READWRITE);
        pdatabase->RangeSetDefault(pdbdatum, 500, 0, 1000, 1);
        pdatabase->RangeSetCurrent(pdbdatum, 500, 0, 1000, 1);
      }
    }
  }

  // One colour pass over the sheets the scanner is given: its result and
  // the amount and threshold the bin holds afterwards.
  void ExpectAutoColorPass(const char* a_szPages, const char* a_szAutoColor, long a_lResult, long a_lAmount,
                           long a_lThreshold) {
    Open({{"pages", a_szPages}, {"autocolor", a_szAutoColor}});
    SupportAutoColor();
    EXPECT_EQ(Learn(&CDriver::AutoColorLearn), a_lResult) << m_plog->Text();
    EXPECT_EQ(AutoColorCurrent(DB_ID_AUTOCOLORAMOUNT), a_lAmount);
    EXPECT_EQ(AutoColorCurrent(DB_ID_AUTOCOLORTHRESHOLD), a_lThreshold);
  }

  long AutoColorCurrent(EDBID a_edbid) {
    CDbLockGuard dblockguard;
    CDatabase* pdatabase = m_pdriver->GetDatabase();
    CDbDatum* pdbdatum =
        pdatabase->FindInBin(pdatabase->GetBinFromWindowBin(pdatabase->GetWindowBin()), a_edbid);
    return pdbdatum ? pdatabase->GetCurrentLong(pdbdatum) : -1;
  }
};

// The default database offers no learning mode.
TEST_F(DrvLearnTest, AutoColorLearnNeedsItsMode) {
  Open();
  EXPECT_EQ(Learn(&CDriver::AutoColorLearn), 1);
  EXPECT_EQ(DeviceTasks("scanbegin"), 0u);
}

// Too few sheets (47) and a sheet without colour (46) leave the bin as it
// was; a whole pass (0) sets the smallest amount and threshold seen.
TEST_F(DrvLearnTest, AutoColorLearnWantsFiveSheets) { ExpectAutoColorPass("4", "40/30", 47, 500, 500); }

TEST_F(DrvLearnTest, AutoColorLearnWantsColourOnEverySheet) {
  ExpectAutoColorPass("5", "40/30,3:0/30", 46, 500, 500);
}

TEST_F(DrvLearnTest, AutoColorLearnKeepsTheMinima) { ExpectAutoColorPass("5", "40/30,2:20/50,4:60/10", 0, 20, 10); }

// The custom learning pass confirms every image and succeeds at the end.
TEST_F(DrvLearnTest, EcdoCustomLearnRunsToTheEnd) {
  Open({{"pages", "2"}});
  EXPECT_EQ(Learn(&CDriver::EcdoCustomLearn), 0);
  EXPECT_EQ(DeviceTasks("scanbegin"), 1u);
  EXPECT_EQ(DeviceTasks("imageend"), 4u);  // two duplex sheets
}

// A scanner that neither delivers nor ends: both passes give up after the
// wait limit with 1, the colour pass leaving "messageerror" for the front
// end, and the scan is ended.
TEST_F(DrvLearnTest, AStalledScannerEndsThePassAtTheLimit) {
  CDriver::SetLearnWaitLimit(300);
  size_t sizetPass = 0;
  for (EOSSTS (CDriver::*pfnLearn)() : {&CDriver::AutoColorLearn, &CDriver::EcdoCustomLearn}) {
    NewDriver();
    Open({{"pages", "5"}, {"delay", "60000"}});
    SupportAutoColor();
    m_pdriver->GetDev()->SetLastErrorText("");
    EXPECT_EQ(Learn(pfnLearn), 1);
    EXPECT_EQ(Logged("learning scan: no image and no end within"), ++sizetPass);
    if (pfnLearn == &CDriver::AutoColorLearn) {
      CDbLockGuard dblockguard;
      EXPECT_STREQ(m_pdriver->GetDev()->GetLastErrorText(),
                   m_pdriver->GetDatabase()->LabelGet("messageerror", "???", -1));
    }
  }
  EXPECT_EQ(DeviceTasks("scanend"), 2u);
}

}  // namespace
