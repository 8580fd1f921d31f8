// The two capabilities whose values take another form on the other kind of
// camera: compression (group 4 on the bitonal cameras, JPEG on the colour
// ones) and colour dropout (a dropout of several colours is "none" on the
// colour cameras). Their comparison decides whether a change marks the
// other stream of a side as different; their copy stores the camera's form.
#include "../db_values_fixture.h"
#include "db_ccompression.h"
#include "db_cecdo.h"

namespace {

class DbCompareCopyTest : public dbtest::DbValuesFixture {
 protected:
  void SetUp() override {
    DbValuesFixture::SetUp();
    ScannerDropouts();
  }
};

}  // namespace

// The catalogue makes these two capabilities of their own classes.
TEST_F(DbCompareCopyTest, TheCatalogueMakesBothClasses) {
  for (int iBin = DB_BIN_BITONAL_FRONT; iBin <= DB_BIN_COLOR_REAR; ++iBin) {
    EXPECT_NE(dynamic_cast<CCOMPRESSION*>(Slot(0, DB_ID_COMPRESSION, static_cast<EDBBIN>(iBin))), nullptr);
    EXPECT_NE(dynamic_cast<CECDO*>(Slot(0, DB_ID_ECDO, static_cast<EDBBIN>(iBin))), nullptr);
  }
}

// Compare(a, b) is asked of the master that would receive b; b must be in
// its list to count as a difference at all.
TEST_F(DbCompareCopyTest, CompareTreatsEachCamerasFormAsTheSameValue) {
  CDbDatum* pdbdatumCompression =
      CatalogueEnum(DB_ID_COMPRESSION, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 1, {1, 2, 6, 7});
  CDbDatum* pdbdatumEcdo = CatalogueEnum(DB_ID_ECDO, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 2, {2, 4, 5});
  struct Row {
    CDbDatum* pdbdatum;
    long lA;
    long lB;
    bool blDiffers;
  };
  const Row arow[] = {
      {pdbdatumCompression, 6, 7, false},
      {pdbdatumCompression, 7, 6, false},
      {pdbdatumCompression, 7, 7, false},
      {pdbdatumCompression, 1, 7, true},
      {pdbdatumCompression, 6, 2, true},
      {pdbdatumCompression, 2, 8, false},
      {pdbdatumEcdo, s_lEcdoMultiple, 2, false},
      {pdbdatumEcdo, 2, s_lEcdoMultiple, false},
      {pdbdatumEcdo, s_lEcdoSingle, 2, true},
      {pdbdatumEcdo, 2, s_lEcdoSingle, true},
      {pdbdatumEcdo, s_lEcdoMultiple, s_lEcdoSingle, true},
      {pdbdatumEcdo, 4, 9, false},
  };
  for (const Row& row : arow)
    EXPECT_EQ(row.pdbdatum->Compare(row.lA, row.lB), row.blDiffers)
        << row.pdbdatum->GetId() << ": " << row.lA << " " << row.lB;
}

// The copy stores silently, in the form of the camera it lands on.
TEST_F(DbCompareCopyTest, CopyStoresTheCamerasForm) {
  struct Row {
    EDBID edbid;
    EDBBIN edbbin;
    long lValue;
    long lStored;
  };
  const Row arow[] = {
      {DB_ID_COMPRESSION, DB_BIN_COLOR_FRONT, 6, 7},
      {DB_ID_COMPRESSION, DB_BIN_COLOR_REAR, 6, 7},
      {DB_ID_COMPRESSION, DB_BIN_BITONAL_FRONT, 7, 6},
      {DB_ID_COMPRESSION, DB_BIN_BITONAL_REAR, 7, 6},
      {DB_ID_COMPRESSION, DB_BIN_COLOR_FRONT, 7, 7},
      {DB_ID_COMPRESSION, DB_BIN_BITONAL_FRONT, 6, 6},
      {DB_ID_COMPRESSION, DB_BIN_COLOR_FRONT, 2, 2},
      {DB_ID_ECDO, DB_BIN_COLOR_FRONT, s_lEcdoMultiple, 2},
      {DB_ID_ECDO, DB_BIN_COLOR_REAR, s_lEcdoMultiple, 2},
      {DB_ID_ECDO, DB_BIN_BITONAL_FRONT, s_lEcdoMultiple, s_lEcdoMultiple},
      {DB_ID_ECDO, DB_BIN_COLOR_FRONT, s_lEcdoSingle, s_lEcdoSingle},
  };
  for (const Row& row : arow) {
    CDbEnum* pdbenum = CatalogueEnum(row.edbid, row.edbbin, DB_ACCESS_READWRITE, 1, {1, 2});
    Notify()->ResetAll(DB_NOTIFY_ALL);
    pdbenum->Copy(row.lValue);
    EXPECT_EQ(pdbenum->GetCurrentLong(), row.lStored) << row.edbid << "/" << row.edbbin << ": " << row.lValue;
    EXPECT_EQ(pdbenum->GetPreviousLong(), 1);
    EXPECT_TRUE(Walk(DB_NOTIFY_VALUE).empty());
  }
}

// A store compares the new value with the other stream of the side: a
// compressed bitonal page beside a compressed colour page is no difference,
// even where each camera could take the other's form.
TEST_F(DbCompareCopyTest, TheImagesOfASideDifferOnlyInAnotherChoice) {
  CDbEnum* pdbenumBitonal = CatalogueEnum(DB_ID_COMPRESSION, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 1, {1, 6, 7});
  CatalogueEnum(DB_ID_COMPRESSION, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 7, {1, 6, 7});
  for (const auto& [lValue, blDiffers] : {std::pair<long, bool>{6, false}, {1, true}}) {
    Notify()->ResetAll(DB_NOTIFY_ALL);
    ASSERT_EQ(m_pdatabase->SetCurrentLong(pdbenumBitonal, lValue, false), DB_STS_SUCCESS);
    EXPECT_EQ(Notified(DB_NOTIFY_IMAGES, pdbenumBitonal), blDiffers) << lValue;
  }
}
