// Access rules shared by families of capabilities: the access of a
// capability by number in the current window and camera, meters,
// calibrations and diagnostics by what the unit the firmware names lists,
// the edge fill a scanner may offer as "none" alone, and the ordered lists
// built from the configuration.
#include <climits>
#include <string>
#include <vector>

#include "db_cdbconfig.h"
#include "db_values_fixture.h"

namespace {

class DbAccessTest : public dbtest::DbValuesFixture {
 protected:
  // The unit the firmware names: 1 feeder, 2 flatbed.
  void Firmware(long a_lUnit) { CatalogueEnum(DB_ID_FIRMWARE, DB_BIN_MACHINE, DB_ACCESS_READONLY, a_lUnit, {1, 2}); }

  static std::vector<long> DefaultList(CDbEnum* a_pdbenum) {
    std::vector<long> vecl;
    for (long l = 0; l < a_pdbenum->GetDefaultItemCount(); ++l) vecl.push_back(a_pdbenum->GetDefaultItem(l));
    return vecl;
  }
};

}  // namespace

// ---------------------------------------------------------------------------
// By capability number
// ---------------------------------------------------------------------------
TEST_F(DbAccessTest, SetAccessFromIdActsOnTheDatumOfTheCurrentWindowAndCamera) {
  CDatabase& db = *m_pdatabase;
  CDbEnum* pdbenumMachine = CatalogueEnum(DB_ID_AUTOSCAN, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1, {1, 2});
  CDbEnum* apdbenumCamera[] = {CatalogueEnum(DB_ID_ADDBORDER, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 1, {1, 2}),
                               CatalogueEnum(DB_ID_ADDBORDER, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 1, {1, 2})};
  // Window 0, camera colour front.
  CatalogueEnum(DB_ID_WINDOWBIN, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 2, {0, 1, 2, 3});

  EXPECT_EQ(db.SetAccessFromId(DB_ID_AUTOSCAN, DB_ACCESS_READONLY), OS_STS_SUCCESS);
  EXPECT_EQ(pdbenumMachine->GetAccess(), DB_ACCESS_READONLY);
  EXPECT_EQ(db.SetAccessFromId(DB_ID_ADDBORDER, DB_ACCESS_HIDDEN), OS_STS_SUCCESS);
  EXPECT_EQ(apdbenumCamera[1]->GetAccess(), DB_ACCESS_HIDDEN);
  EXPECT_EQ(apdbenumCamera[0]->GetAccess(), DB_ACCESS_READWRITE);

  for (int iId : {0, static_cast<int>(DB_ID_LAST), -1}) {
    const size_t sizetFrom = LogSize();
    EXPECT_EQ(db.SetAccessFromId(static_cast<EDBID>(iId), DB_ACCESS_READWRITE), OS_STS_FAIL);
    EXPECT_NE(LogFrom(sizetFrom).find("Bad a_edbid..." + std::to_string(iId)), std::string::npos);
  }
  const size_t sizetFrom = LogSize();
  EXPECT_EQ(db.SetAccessFromId(DB_ID_ACDLEARNMODE, DB_ACCESS_READWRITE), OS_STS_FAIL);
  EXPECT_NE(LogFrom(sizetFrom).find("edbid not found...1 camera:4"), std::string::npos);
  EXPECT_EQ(Slot(0, DB_ID_ACDLEARNMODE, DB_BIN_MACHINE)->GetAccess(), DB_ACCESS_NOTSUPPORTED);
}

// ---------------------------------------------------------------------------
// Meters, calibrations and diagnostics
// ---------------------------------------------------------------------------
// The firmware names the unit whose keys count; a unit that reports the
// enabled key lists what it has, a flatbed that reports nothing has none
// of the values the flag marks.
TEST_F(DbAccessTest, MetersCalibrationsAndDiagnosticsShowWhatTheUnitLists) {
  CDatabase& db = *m_pdatabase;
  CDbEnum* pdbenum = CatalogueEnum(DB_ID_ACDLEARNMODE, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1, {1});
  db.ConfigAdd("metertypeenabled", DB_CONFIGTARGET_ADF);
  db.ConfigEnumAdd("metertype", "lamp", DB_CONFIGTARGET_ADF);
  db.ConfigAdd("calibrationtypeenabled", DB_CONFIGTARGET_FLATBED);
  db.ConfigEnumAdd("calibrationtype", "uniformity", DB_CONFIGTARGET_FLATBED);
  db.ConfigEnumAdd("diagnostictype", "diagcleanmode", DB_CONFIGTARGET_ADF);
  db.ConfigEnumAdd("diagnostictype", "diagflatbed", DB_CONFIGTARGET_FLATBED);

  enum EKind { METERS, CALS, DIAG };
  struct Row {
    long lFirmware;  // 0: no FIRMWARE datum
    EKind ekind;
    const char* szValue;
    bool blFlatbedHides;
    EDBACCESS edbaccess;
  };
  const Row arow[] = {
      {1, METERS, "lamp", false, DB_ACCESS_READWRITE},
      {1, METERS, "transport", false, DB_ACCESS_HIDDEN},
      {0, METERS, "transport", false, DB_ACCESS_HIDDEN},  // the feeder's keys without a firmware
      {2, METERS, "lamp", false, DB_ACCESS_READWRITE},    // the flatbed reports no meters
      {2, METERS, "lamp", true, DB_ACCESS_HIDDEN},
      {2, CALS, "uniformity", true, DB_ACCESS_READWRITE},
      {2, CALS, "shading", false, DB_ACCESS_HIDDEN},
      {1, CALS, "uniformity", true, DB_ACCESS_READWRITE},  // the feeder reports no calibrations
      {1, DIAG, "diagcleanmode", false, DB_ACCESS_READWRITE},
      {1, DIAG, "diagflatbed", false, DB_ACCESS_HIDDEN},
      {2, DIAG, "diagflatbed", false, DB_ACCESS_READWRITE},
      {2, DIAG, "diagcleanmode", false, DB_ACCESS_HIDDEN},
      {1, DIAG, nullptr, false, DB_ACCESS_HIDDEN},
  };
  for (const Row& row : arow) {
    SCOPED_TRACE(testing::Message() << row.lFirmware << " " << row.ekind << " "
                                    << (row.szValue ? row.szValue : "null"));
    if (row.lFirmware == 0) {
      Slot(0, DB_ID_FIRMWARE, DB_BIN_MACHINE)->SetAccess(DB_ACCESS_NOTSUPPORTED);
    } else {
      Firmware(row.lFirmware);
    }
    pdbenum->SetAccess(DB_ACCESS_DISABLED);
    EOSSTS eossts = OS_STS_FAIL;
    switch (row.ekind) {
      case METERS:
        eossts = db.SetAccessMeters(pdbenum, row.szValue, row.blFlatbedHides);
        break;
      case CALS:
        eossts = db.SetAccessMetersAndCals(pdbenum, row.szValue, row.blFlatbedHides, "calibrationtypeenabled",
                                           "calibrationtype");
        break;
      case DIAG:
        eossts = db.SetAccessDiag(pdbenum, row.szValue);
        break;
    }
    EXPECT_EQ(eossts, OS_STS_SUCCESS);
    EXPECT_EQ(pdbenum->GetAccess(), row.edbaccess);
  }
  for (EOSSTS eossts : {db.SetAccessMeters(nullptr, "lamp", false), db.SetAccessDiag(nullptr, "diagcleanmode"),
                        db.SetAccessMetersAndCals(nullptr, "lamp", true, "a", "b")})
    EXPECT_EQ(eossts, DB_EOSSTS_BADARGUMENT);
  EXPECT_TRUE(m_plog->Contains("a_hdbdatum is NULL..."));
}

// The firmware is a machine value of window 0: a current window outside
// the table (a raw write of the window) leaves the flatbed the unit.
TEST_F(DbAccessTest, TheUnitIsTheFirmwareOfWindowZeroWhateverWindowIsCurrent) {
  CDatabase& db = *m_pdatabase;
  CDbEnum* pdbenum = CatalogueEnum(DB_ID_ACDLEARNMODE, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1, {1});
  db.ConfigEnumAdd("diagnostictype", "diagflatbed", DB_CONFIGTARGET_FLATBED);
  Firmware(2);
  CDbEnum* pdbenumWindow = CatalogueEnum(DB_ID_WINDOW, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 0, {0});
  for (long lWindow : {0L, -1L, static_cast<long>(DB_WINDOW_COUNT)}) {
    SCOPED_TRACE(lWindow);
    pdbenumWindow->SetCurrentLong(lWindow);
    pdbenum->SetAccess(DB_ACCESS_DISABLED);
    EXPECT_EQ(db.SetAccessDiag(pdbenum, "diagflatbed"), OS_STS_SUCCESS);
    EXPECT_EQ(pdbenum->GetAccess(), DB_ACCESS_READWRITE);
    EXPECT_EQ(db.SetAccessMeters(pdbenum, "metertransport", true), OS_STS_SUCCESS);
    EXPECT_EQ(pdbenum->GetAccess(), DB_ACCESS_HIDDEN);
  }
}

// ---------------------------------------------------------------------------
// Edge fill
// ---------------------------------------------------------------------------
TEST_F(DbAccessTest, EdgeFillFollowsTheFillOfItsCameraAndHidesWhenOnlyNoneIsListed) {
  CDatabase& db = *m_pdatabase;
  const EDBBIN edbbin = DB_BIN_COLOR_FRONT;
  auto reset = [&](EDBACCESS a_edbaccessFill) {
    CDbEnum* pdbenumFill = CatalogueEnum(DB_ID_IMAGEEDGEFILL, edbbin, a_edbaccessFill, 1, {1, 2, 3});
    CatalogueRange(DB_ID_IMAGEEDGEBOTTOM, edbbin, DB_ACCESS_READWRITE, 0, 0, 1200, 12);
    CatalogueRange(DB_ID_IMAGEEDGETOP, edbbin, DB_ACCESS_READWRITE, 0, 0, 1200, 12);
    return pdbenumFill;
  };
  CDbEnum* pdbenumFill = reset(DB_ACCESS_READWRITE);
  NewLookup(DB_ID_IMAGEEDGEFILL, "edgefill", 0, {{1, "none"}, {2, "white"}, {3, "black"}});
  CDbDatum* pdbdatumBottom = Slot(0, DB_ID_IMAGEEDGEBOTTOM, edbbin);
  CDbDatum* pdbdatumTop = Slot(0, DB_ID_IMAGEEDGETOP, edbbin);

  EXPECT_EQ(db.FixAccessEdgeFill(nullptr), DB_ACCESS_NOTSUPPORTED);
  // The scanner says nothing about edge fill: the access stays, even with
  // the fill unsupported.
  pdbenumFill->SetAccess(DB_ACCESS_NOTSUPPORTED);
  EXPECT_EQ(db.FixAccessEdgeFill(pdbdatumBottom), DB_ACCESS_READWRITE);
  EXPECT_EQ(pdbdatumBottom->GetAccess(), DB_ACCESS_READWRITE);

  struct Row {
    std::vector<const char*> vecszListed;
    EDBACCESS edbaccessFill;
    bool blBottom;
    EDBACCESS edbaccessResult;
    EDBACCESS edbaccessFillAfter;
    std::vector<long> veclFillDefaults;
  };
  const Row arow[] = {
      {{"none"}, DB_ACCESS_NOTSUPPORTED, false, DB_ACCESS_NOTSUPPORTED, DB_ACCESS_NOTSUPPORTED, {1, 2, 3}},
      {{"none"}, DB_ACCESS_READWRITE, true, DB_ACCESS_NOTSUPPORTED, DB_ACCESS_NOTSUPPORTED, {1}},
      {{"none", "white"}, DB_ACCESS_READWRITE, true, DB_ACCESS_READWRITE, DB_ACCESS_READWRITE, {1, 2}},
      {{"white"}, DB_ACCESS_READWRITE, true, DB_ACCESS_READWRITE, DB_ACCESS_READWRITE, {2}},
      // Only the bottom edge prunes the fill's list.
      {{"none"}, DB_ACCESS_READWRITE, false, DB_ACCESS_READWRITE, DB_ACCESS_READWRITE, {1, 2, 3}},
  };
  for (const Row& row : arow) {
    SCOPED_TRACE(testing::Message() << row.vecszListed.size() << " listed, bottom " << row.blBottom);
    for (const char* szValue : {"none", "white", "black"})
      db.ConfigEnumDelete("edgefill", szValue, DB_CONFIGTARGET_COMMON);
    for (const char* szValue : row.vecszListed) db.ConfigEnumAdd("edgefill", szValue, DB_CONFIGTARGET_COMMON);
    pdbenumFill = reset(row.edbaccessFill);
    CDbDatum* pdbdatum = row.blBottom ? pdbdatumBottom : pdbdatumTop;
    EXPECT_EQ(db.FixAccessEdgeFill(pdbdatum), row.edbaccessResult);
    EXPECT_EQ(pdbdatum->GetAccess(), row.edbaccessResult);
    EXPECT_EQ(pdbenumFill->GetAccess(), row.edbaccessFillAfter);
    EXPECT_EQ(DefaultList(pdbenumFill), row.veclFillDefaults);
  }
}

// ---------------------------------------------------------------------------
// Ordered lists
// ---------------------------------------------------------------------------
// The configuration's order does not matter; the span chooses among the
// values the lookup knows.
TEST_F(DbAccessTest, AnOrderedListKeepsTheCurrentValueOrTakesTheFirstListed) {
  CDatabase& db = *m_pdatabase;
  for (const char* szValue : {"e", "b", "d", "z"}) db.ConfigEnumAdd("letters", szValue, DB_CONFIGTARGET_ADF);
  struct Row {
    long lCurrent;
    long lFirst;
    long lLast;
    std::vector<long> veclList;
    long lCurrentAfter;
  };
  const Row arow[] = {
      {4, 1, 5, {2, 4, 5}, 4},                // the current value survives
      {3, 1, 5, {2, 4, 5}, 2},                // it does not: the first listed
      {5, 2, 4, {2, 4}, 2},                   // the span cuts the list
      {4, LONG_MIN, LONG_MAX, {2, 4, 5}, 4},  // a span as wide as a long
      {1, 6, 9, {}, 1},                       // nothing listed: the default stays
  };
  for (const Row& row : arow) {
    SCOPED_TRACE(testing::Message() << row.lFirst << ".." << row.lLast << " from " << row.lCurrent);
    CDbEnum* pdbenum = CatalogueEnum(DB_ID_BATCHLEVEL, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1, {1, 2, 3, 4, 5});
    pdbenum->SetCurrentLong(row.lCurrent);
    NewLookup(DB_ID_BATCHLEVEL, "batchlevel", 0, {{1, "a"}, {2, "b"}, {3, "c"}, {4, "d"}, {5, "e"}, {5, "ee"}});
    EXPECT_EQ(db.BuildOrderedListFromDbConfig(pdbenum, row.lFirst, row.lLast, "letters", DB_CONFIGTARGET_ADF),
              OS_STS_SUCCESS);
    EXPECT_EQ(DefaultList(pdbenum), row.veclList);
    std::vector<long> veclCurrent;
    for (long l = 0; l < pdbenum->GetCurrentItemCount(); ++l) veclCurrent.push_back(pdbenum->GetCurrentItem(l));
    EXPECT_EQ(veclCurrent, row.veclList);
    EXPECT_EQ(pdbenum->GetCurrentLong(), row.lCurrentAfter);
  }
}

TEST_F(DbAccessTest, AnOrderedListNeedsAnEnumerationWithALookupRecord) {
  CDatabase& db = *m_pdatabase;
  EXPECT_EQ(db.BuildOrderedListFromDbConfig(nullptr, 1, 5, "letters", DB_CONFIGTARGET_ADF), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("a_hdbdatum is NULL"));
  CDbEnum* pdbenum = CatalogueEnum(DB_ID_BATCHLEVEL, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1, {1, 2});
  EXPECT_EQ(db.BuildOrderedListFromDbConfig(pdbenum, 1, 5, "letters", DB_CONFIGTARGET_ADF), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("pdblookup2 is NULL (29)"));
  CDbRange* pdbrange = CatalogueRange(DB_ID_BATCHCOUNT, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1, 0, 9, 1);
  NewLookup(DB_ID_BATCHCOUNT, "batchcount");
  const std::string strBefore = Snapshot(pdbrange);
  EXPECT_EQ(db.BuildOrderedListFromDbConfig(pdbrange, 1, 5, "letters", DB_CONFIGTARGET_ADF),
            static_cast<EOSSTS>(DB_STS_BADCONTAINER));
  EXPECT_EQ(Snapshot(pdbrange), strBefore);
}
