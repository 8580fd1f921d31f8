// The scan counters: the images a scan is expected to deliver, and the
// printer index written back into its capability.
#include <climits>
#include <vector>

#include "dev_cdevimpl.h"
#include "dev_device_fixture.h"

namespace {

class DevCounters : public devtest::DeviceFixture {
 protected:
  void TearDown() override {
    m_pdatabase->ClearDbState(DB_STATE_FLATBEDSCAN);
    m_pdatabase->ClearDbState(DB_STATE_LEARNSCAN);
    DeviceFixture::TearDown();
  }
  CDevImpl& Impl() { return devtest::Impl(*m_pdev); }
  CDbDatum* Datum(EDBID a_edbid) {
    CDbDatum* pdbdatum = m_pdatabase->Find(a_edbid);
    EXPECT_NE(pdbdatum, nullptr) << a_edbid;
    return pdbdatum;
  }
  // The value stored as it stands: no rule adjusts the others.
  void Force(EDBID a_edbid, long a_lValue) { Datum(a_edbid)->ForceCurrentLong(a_lValue); }
};

TEST_F(DevCounters, TheExpectedImagesFollowCountsCamerasAndTheKindOfScan) {
  const std::vector<EDBBIN> vecedbbinTwo = {DB_BIN_BITONAL_FRONT, DB_BIN_COLOR_REAR};
  const std::vector<EDBBIN> vecedbbinThree = {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT};
  const struct {
    const char* szCase;
    bool blPreview;
    EDBSTATE edbstate;  // set for the case; 0 none
    long lImages;       // XFERCOUNT
    long lSheets;       // PAGECOUNT
    std::vector<EDBBIN> vecedbbinCameras;
    long lExpected;
  } s_arow[] = {
      {"sheets times cameras", false, {}, 0, 3, vecedbbinTwo, 6},
      {"images win over sheets", false, {}, 5, 3, vecedbbinTwo, 5},
      {"images alone", false, {}, 5, 0, vecedbbinThree, 5},
      {"neither", false, {}, 0, 0, vecedbbinTwo, -1},
      {"open-ended images, no sheets", false, {}, -1, 0, vecedbbinTwo, -1},
      {"open-ended images, sheets", false, {}, -1, 2, vecedbbinThree, 6},
      {"preview counts the cameras", true, {}, 5, 3, vecedbbinThree, 3},
      {"preview with no camera", true, {}, 5, 3, {}, 0},
      {"flatbed scan", false, DB_STATE_FLATBEDSCAN, 5, 3, vecedbbinTwo, -1},
      {"learning scan", false, DB_STATE_LEARNSCAN, 0, 3, vecedbbinTwo, -1},
      {"sheets beyond counting", false, {}, 0, LONG_MAX, vecedbbinTwo, -1},
  };
  for (const auto& row : s_arow) {
    Force(DB_ID_PREVIEWMODE, row.blPreview ? DB_ID_PREVIEWMODE_ENUM_TRUE : DB_ID_PREVIEWMODE_ENUM_FALSE);
    Force(DB_ID_XFERCOUNT, row.lImages);
    Force(DB_ID_PAGECOUNT, row.lSheets);
    Cameras(row.vecedbbinCameras);
    if (row.edbstate) m_pdatabase->SetDbState(row.edbstate);
    EXPECT_EQ(Impl().ImageCountCalculate(), row.lExpected) << row.szCase;
    if (row.edbstate) m_pdatabase->ClearDbState(row.edbstate);
  }
  EXPECT_TRUE(m_plog->Contains("ImageCountCalculate: 9223372036854775807 sheets of 2 images overflow"));
}

// The stored index goes back unless the capability cannot hold it: more
// digits than it shows, or beyond its range; then it starts at 0 (logged).
TEST_F(DevCounters, ThePrinterIndexIsWrittenBackWhenItFits) {
  // The digits as a model with an imprinter offers them.
  ASSERT_EQ(m_pdatabase->SetAccess(m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_PRINTERINDEXDIGITS),
                                   DB_ACCESS_READWRITE),
            DB_STS_SUCCESS);
  CDbDatum* pdbdatum = Datum(DB_ID_PRINTERINDEX);
  ASSERT_NE(pdbdatum, nullptr);
  const long lMax = m_pdatabase->RangeGetCurrentMax(pdbdatum);
  ASSERT_GT(lMax, 99999);
  const struct {
    const char* szCase;
    long lIndex;
    long lDigits;
    long lExpected;
    const char* szLog;
  } s_arow[] = {
      {"fits its digits", 1234, 4, 1234, nullptr},
      {"one digit too many", 12345, 4, 0, "SetPrinterIndex: 12345 has more than 4 digits, written as 0..."},
      {"above the range", lMax + 1, 18, 0, "is outside"},
      {"the largest index", LONG_MAX, 19, 0, "SetPrinterIndex: 9223372036854775807 is outside"},
      {"below the range", -5, 4, 0, "SetPrinterIndex: -5 is outside"},
      {"zero", 0, 1, 0, nullptr},
  };
  for (const auto& row : s_arow) {
    m_pdatabase->ForceCurrentLong(pdbdatum, 77);
    Force(DB_ID_PRINTERINDEXDIGITS, row.lDigits);
    Impl().SetPrinterIndex(row.lIndex);
    EXPECT_EQ(Impl().GetPrinterIndex(), row.lIndex) << row.szCase;
    Impl().SetPrinterIndex();
    EXPECT_EQ(pdbdatum->GetCurrentLongNoCallback(), row.lExpected) << row.szCase;
    if (row.szLog) {
      EXPECT_TRUE(m_plog->Contains(row.szLog)) << row.szCase;
    }
  }
}

}  // namespace

namespace {

using DevMeters = DevCounters;

// ClearMeters zeroes the five meters (offered read-write, as the resource
// offers the page count) and empties the first-scan text.
TEST_F(DevMeters, ClearMetersZeroesTheFiveMetersAndTheFirstScan) {
  const EDBID aedbid[] = {DB_ID_METERPAGECOUNT, DB_ID_METERLAMPFRONT, DB_ID_METERLAMPREAR, DB_ID_METERPOWER,
                          DB_ID_METERTRANSPORT};
  std::vector<CDbDatum*> vecpdbdatum;
  for (EDBID edbid : aedbid) {
    CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, edbid);
    ASSERT_NE(pdbdatum, nullptr) << edbid;
    m_pdatabase->SetAccess(pdbdatum, DB_ACCESS_READWRITE);
    pdbdatum->ForceCurrentLong(1234);
    vecpdbdatum.push_back(pdbdatum);
  }
  CDbDatum* pdbdatumFirst = m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_METERFIRSTSCAN);
  ASSERT_NE(pdbdatumFirst, nullptr);
  m_pdatabase->SetAccess(pdbdatumFirst, DB_ACCESS_READWRITE);
  pdbdatumFirst->ForceCurrentString("2024/05/06");
  EXPECT_EQ(Impl().ClearMeters(), OS_STS_SUCCESS);
  for (CDbDatum* pdbdatum : vecpdbdatum) EXPECT_EQ(pdbdatum->GetCurrentLongNoCallback(), 0) << pdbdatum->GetId();
  EXPECT_STREQ(pdbdatumFirst->GetCurrentStringNoCallback(), "");
}

}  // namespace
