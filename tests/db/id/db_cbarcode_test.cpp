// The barcode rules in the library itself (their behaviour against the model
// is the rules harness's, tests/tools/rulesmodel): the catalogue makes the
// ten classes and only the types are a selection list, objects outside the
// cameras are left alone, a count range upside down is refused, and the
// types are copied up to a full list and stop, logged, at a list that
// refuses an item.
#include "db_cbarcode.h"

#include <vector>

#include "db_rules_fixture.h"

namespace {

constexpr EDBID s_aedbid[] = {DB_ID_BARCODECOUNT,
                              DB_ID_BARCODEENABLE,
                              DB_ID_BARCODEENHANCEMENT,
                              DB_ID_BARCODESEARCHAREA,
                              DB_ID_BARCODESEARCHREGIONHEIGHT,
                              DB_ID_BARCODESEARCHREGIONOFFSETX,
                              DB_ID_BARCODESEARCHREGIONOFFSETY,
                              DB_ID_BARCODESEARCHREGIONWIDTH,
                              DB_ID_BARCODESEARCHMODE,
                              DB_ID_BARCODETYPE};

// The opened mapleB feeder, its barcode values given records like the rules
// fixture's (the shipped resource has none), its scanner reading three types
// and searching a part of the document.
class DbBarcodeRulesTest : public dbtest::DbRulesFixture {
 protected:
  void SetUp() override {
    DbRulesFixture::SetUp();
    if (HasFatalFailure()) return;
    for (int iBin = DB_BIN_BITONAL_FRONT; iBin <= DB_BIN_COLOR_REAR; ++iBin) {
      const auto edbbin = static_cast<EDBBIN>(iBin);
      for (EDBID edbid : s_aedbid) {
        CDbDatum* pdbdatum = At(0, edbid, edbbin);
        if (auto* pdbenum = dynamic_cast<CDbEnum*>(pdbdatum)) {
          pdbenum->InitEnumLong(edbid, edbbin, DB_ACCESS_READWRITE, DB_DEVICEDATA_NONE, 1, 1);
          const long lLast = edbid == DB_ID_BARCODETYPE ? DB_ID_BARCODETYPE_ENUM_QRCODE : 2;
          for (long l = 1; l <= lLast; ++l) pdbenum->AddDefaultItem(l);
        } else {
          ASSERT_NE(dynamic_cast<CDbRange*>(pdbdatum), nullptr) << edbid;
          static_cast<CDbRange*>(pdbdatum)->InitRangeLong(edbid, edbbin, DB_ACCESS_READWRITE, DB_DEVICEDATA_NONE, 1, 1,
                                                          32, 1, 1, 1, 32, 1);
        }
      }
    }
    for (const char* szType : {"code3of9", "code128", "qrcode"})
      m_pdatabase->ConfigEnumAdd("barcodetype", szType, DB_CONFIGTARGET_ADF);
    m_pdatabase->ConfigEnumAdd("barcodesearcharea", "partialdocument", DB_CONFIGTARGET_ADF);
    m_pdatabase->FixDefaultAll();
  }

  std::vector<long> Items(CDbDatum* a_pdbdatum) {
    std::vector<long> vecl;
    for (long l = 0; l < m_pdatabase->EnumGetCurrentItemCount(a_pdbdatum); ++l)
      vecl.push_back(m_pdatabase->EnumGetCurrentItem(a_pdbdatum, l));
    return vecl;
  }
};

// What a rule may change of a value: current, default, access, bounds.
std::vector<long> Snapshot(CDbDatum& a_dbdatum) {
  std::vector<long> vecl = {a_dbdatum.GetCurrentLongNoCallback(), a_dbdatum.GetDefaultLong(), a_dbdatum.GetAccess()};
  if (auto* pdbrange = dynamic_cast<CDbRange*>(&a_dbdatum)) {
    vecl.insert(vecl.end(), {pdbrange->GetMin(), pdbrange->GetMax(), pdbrange->GetStep(), pdbrange->GetDefaultMin(),
                             pdbrange->GetDefaultMax(), pdbrange->GetDefaultStep()});
  }
  return vecl;
}

// The three rule operations of a value, through its container.
void RunRules(CDbDatum& a_dbdatum, const std::vector<CDbDatum*>& a_vecpdbdatumModified) {
  auto* pdbenum = dynamic_cast<CDbEnum*>(&a_dbdatum);
  auto* pdbrange = dynamic_cast<CDbRange*>(&a_dbdatum);
  for (CDbDatum* pdbdatumModified : a_vecpdbdatumModified) {
    pdbdatumModified->SetModified();
    pdbenum ? pdbenum->FixCurrent() : pdbrange->FixCurrent();
    CDbDatum::ClearModified();
  }
  pdbenum ? pdbenum->FixAccess() : pdbrange->FixAccess();
  a_dbdatum.FixDefault();
}

// A list of types with room for three items, as a full list refuses the
// next.
class CNarrowBarcodeType : public CBARCODETYPE {
 public:
  EOSSTS AddCurrentItem(long a_lItem) override {
    return GetCurrentItemCount() >= 3 ? DB_EOSSTS_LISTFULL : CBARCODETYPE::AddCurrentItem(a_lItem);
  }
};

}  // namespace

TEST_F(DbBarcodeRulesTest, TheCatalogueMakesTheTenClassesAndOnlyTheTypesAreASelectionList) {
  for (int iBin = DB_BIN_BITONAL_FRONT; iBin <= DB_BIN_COLOR_REAR; ++iBin) {
    const auto edbbin = static_cast<EDBBIN>(iBin);
    EXPECT_NE(dynamic_cast<CBARCODECOUNT*>(At(0, DB_ID_BARCODECOUNT, edbbin)), nullptr);
    EXPECT_NE(dynamic_cast<CBARCODEENABLE*>(At(0, DB_ID_BARCODEENABLE, edbbin)), nullptr);
    EXPECT_NE(dynamic_cast<CBARCODEENHANCEMENT*>(At(0, DB_ID_BARCODEENHANCEMENT, edbbin)), nullptr);
    EXPECT_NE(dynamic_cast<CBARCODESEARCHAREA*>(At(0, DB_ID_BARCODESEARCHAREA, edbbin)), nullptr);
    EXPECT_NE(dynamic_cast<CBARCODESEARCHREGIONHEIGHT*>(At(0, DB_ID_BARCODESEARCHREGIONHEIGHT, edbbin)), nullptr);
    EXPECT_NE(dynamic_cast<CBARCODESEARCHREGIONOFFSETX*>(At(0, DB_ID_BARCODESEARCHREGIONOFFSETX, edbbin)), nullptr);
    EXPECT_NE(dynamic_cast<CBARCODESEARCHREGIONOFFSETY*>(At(0, DB_ID_BARCODESEARCHREGIONOFFSETY, edbbin)), nullptr);
    EXPECT_NE(dynamic_cast<CBARCODESEARCHREGIONWIDTH*>(At(0, DB_ID_BARCODESEARCHREGIONWIDTH, edbbin)), nullptr);
    EXPECT_NE(dynamic_cast<CBARCODESEARCHMODE*>(At(0, DB_ID_BARCODESEARCHMODE, edbbin)), nullptr);
    EXPECT_NE(dynamic_cast<CBARCODETYPE*>(At(0, DB_ID_BARCODETYPE, edbbin)), nullptr);
    for (EDBID edbid : {DB_ID_BARCODEENABLE, DB_ID_BARCODESEARCHAREA, DB_ID_BARCODESEARCHMODE})
      EXPECT_FALSE(m_pdatabase->EnumIsSelectionList(At(0, edbid, edbbin))) << edbid;
    EXPECT_TRUE(m_pdatabase->EnumIsSelectionList(At(0, DB_ID_BARCODETYPE, edbbin)));
  }
  EXPECT_EQ(Items(At(0, DB_ID_BARCODETYPE, DB_BIN_COLOR_REAR)),
            (std::vector<long>{DB_ID_BARCODETYPE_ENUM_CODE3OF9, DB_ID_BARCODETYPE_ENUM_CODE128,
                               DB_ID_BARCODETYPE_ENUM_QRCODE}));
}

// An object of a barcode class in a bin that is no camera (the machine bin,
// the search bin) keeps every field through each rule operation, in a pass
// started by reading, the types or the physical height.
TEST_F(DbBarcodeRulesTest, ObjectsOutsideTheCamerasAreLeftAlone) {
  ASSERT_EQ(Set(0, DB_ID_BARCODEENABLE, DB_BIN_BITONAL_FRONT, DB_ID_BARCODEENABLE_ENUM_TRUE), DB_STS_SUCCESS);
  CBARCODECOUNT count;
  CBARCODEENABLE enable;
  CBARCODEENHANCEMENT enhancement;
  CBARCODESEARCHAREA area;
  CBARCODESEARCHREGIONHEIGHT height;
  CBARCODESEARCHREGIONOFFSETX x;
  CBARCODESEARCHREGIONOFFSETY y;
  CBARCODESEARCHREGIONWIDTH width;
  CBARCODESEARCHMODE mode;
  CBARCODETYPE type;
  CDbDatum* apdbdatum[] = {&count, &enable, &enhancement, &area, &height, &x, &y, &width, &mode, &type};
  for (EDBBIN edbbin : {DB_BIN_MACHINE, DB_BIN_SEARCH}) {
    for (size_t sizet = 0; sizet < std::size(apdbdatum); ++sizet) {
      CDbDatum& dbdatum = *apdbdatum[sizet];
      if (auto* pdbenum = dynamic_cast<CDbEnum*>(&dbdatum)) {
        pdbenum->InitEnumLong(s_aedbid[sizet], edbbin, DB_ACCESS_READWRITE, DB_DEVICEDATA_NONE, 2, 2);
        pdbenum->AddDefaultItem(2);
      } else {
        static_cast<CDbRange&>(dbdatum).InitRangeLong(s_aedbid[sizet], edbbin, DB_ACCESS_READWRITE, DB_DEVICEDATA_NONE,
                                                      99999, -5, 99999, 7, 5, -5, 99999, 7);
      }
      const std::vector<long> veclBefore = Snapshot(dbdatum);
      RunRules(dbdatum,
               {At(0, DB_ID_BARCODEENABLE, DB_BIN_BITONAL_FRONT), At(0, DB_ID_BARCODETYPE, DB_BIN_BITONAL_FRONT),
                At(0, DB_ID_PHYSICALHEIGHTADJUST, DB_BIN_MACHINE)});
      EXPECT_EQ(Snapshot(dbdatum), veclBefore) << s_aedbid[sizet] << " in bin " << edbbin;
    }
  }
}

// The scanner's count running from 20 down to 10 offers no count.
TEST_F(DbBarcodeRulesTest, ACountRangeUpsideDownIsNotSupported) {
  m_pdatabase->ConfigRangeSetMin("barcodecount", 20, DB_CONFIGTARGET_ADF);
  m_pdatabase->ConfigRangeSetMax("barcodecount", 10, DB_CONFIGTARGET_ADF);
  m_pdatabase->FixDefaultAll();
  for (int iBin = DB_BIN_BITONAL_FRONT; iBin <= DB_BIN_COLOR_REAR; ++iBin)
    EXPECT_EQ(At(0, DB_ID_BARCODECOUNT, static_cast<EDBBIN>(iBin))->GetAccess(), DB_ACCESS_NOTSUPPORTED);
  EXPECT_TRUE(m_plog->Contains("barcode>>> the scanner counts barcodes from 20 to 10, not supported...2"));
}

// The colour front camera's types follow the bitonal front's item by item,
// a full list of 95 as well; a list that refuses the fourth item keeps the
// three before it, and the refusal is logged.
TEST_F(DbBarcodeRulesTest, TheTypesAreCopiedToAFullListAndStopAtAListThatRefuses) {
  CDbDatum* pdbdatumBitonal = At(0, DB_ID_BARCODETYPE, DB_BIN_BITONAL_FRONT);
  CDbDatum* pdbdatumColor = At(0, DB_ID_BARCODETYPE, DB_BIN_COLOR_FRONT);
  ASSERT_EQ(m_pdatabase->EnumDeleteAllItems(pdbdatumBitonal), DB_STS_SUCCESS);
  std::vector<long> veclFull;
  for (long l = CDbEnum::s_lItemMax; l >= 1; --l) {
    ASSERT_EQ(m_pdatabase->EnumAddItem(pdbdatumBitonal, l), DB_STS_SUCCESS);
    veclFull.push_back(l);
  }
  EXPECT_NE(m_pdatabase->EnumAddItem(pdbdatumBitonal, CDbEnum::s_lItemMax + 1), DB_STS_SUCCESS);
  m_pdatabase->FixCurrentAll(pdbdatumBitonal);
  EXPECT_EQ(Items(pdbdatumColor), veclFull);
  EXPECT_FALSE(m_plog->Contains("EnumAddItem failed"));

  CNarrowBarcodeType narrow;
  narrow.InitEnumLong(DB_ID_BARCODETYPE, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, DB_DEVICEDATA_NONE, 1, 1);
  CDbDatum*& rpdbdatumSlot = CDbDatum::ms_pdatumcommon->apdbdatum[0][DB_ID_BARCODETYPE][DB_BIN_COLOR_FRONT];
  CDbDatum* pdbdatumSaved = rpdbdatumSlot;
  rpdbdatumSlot = &narrow;
  m_pdatabase->FixCurrentAll(pdbdatumBitonal);
  rpdbdatumSlot = pdbdatumSaved;
  EXPECT_EQ(Items(&narrow), (std::vector<long>{95, 94, 93}));
  EXPECT_TRUE(m_plog->Contains("EnumAddItem failed...92"));
}
