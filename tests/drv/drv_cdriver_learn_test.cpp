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

// Too few sheets (47), a sheet without colour (46), a whole pass (0): the
// pass keeps the smallest amount and threshold seen and only a whole pass
// sets them.
TEST_F(DrvLearnTest, AutoColorLearnOverTheSheets) {
  const struct {
    const char* szPages;
    const char* szAutoColor;
    long lResult;
    long lAmount;
    long lThreshold;
  } acase[] = {
      {"4", "40/30", 47, 500, 500},
      {"5", "40/30,3:0/30", 46, 500, 500},
      {"5", "40/30,2:20/50,4:60/10", 0, 20, 10},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szAutoColor);
    NewDriver();
    Open({{"pages", c.szPages}, {"autocolor", c.szAutoColor}, {"delay", "0"}});
    SupportAutoColor();
    EXPECT_EQ(Learn(&CDriver::AutoColorLearn), c.lResult) << m_plog->Text();
    EXPECT_EQ(AutoColorCurrent(DB_ID_AUTOCOLORAMOUNT), c.lAmount);
    EXPECT_EQ(AutoColorCurrent(DB_ID_AUTOCOLORTHRESHOLD), c.lThreshold);
  }
}

}  // namespace
