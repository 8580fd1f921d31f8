// The copies that keep the sides of the paper and the streams of a side in
// step: which bins pair for one capability and what a wrong pair gets, what
// each container copies, a whole camera bin to another, the copies the
// sides and images settings ask for, the decision whether the images may
// differ, and the dropout lists named again after a change of language.
#include <array>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "db_cdbconfig.h"
#include "db_values_fixture.h"

namespace {

using dbtest::RecordingEnum;

constexpr EDBBIN s_aedbbinCameras[] = {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT,
                                       DB_BIN_COLOR_REAR};
constexpr long s_lOff = DB_ID_CAMERAENABLE_ENUM_FALSE;
constexpr long s_lOn = DB_ID_CAMERAENABLE_ENUM_TRUE;

class DbCopiesTest : public dbtest::DbValuesFixture {
 protected:
  void SetUp() override {
    DbValuesFixture::SetUp();
    ScannerDropouts();
    Duplex(true);
  }

  void Duplex(bool a_blDuplex) {
    if (a_blDuplex) {
      m_pdatabase->ConfigAdd("duplex", DB_CONFIGTARGET_COMMON);
    } else {
      m_pdatabase->ConfigDelete("duplex", DB_CONFIGTARGET_COMMON);
    }
  }

  // BRIGHTNESS of the four cameras: 10, 20, 30, 40 in bins 2 to 5.
  void Brightness() {
    for (EDBBIN edbbin : s_aedbbinCameras)
      CatalogueRange(DB_ID_BRIGHTNESS, edbbin, DB_ACCESS_READWRITE, 10L * (edbbin - 1), 0, 100, 1);
  }

  std::array<long, 4> BrightnessNow() {
    std::array<long, 4> al{};
    for (EDBBIN edbbin : s_aedbbinCameras) al[edbbin - 2] = Slot(0, DB_ID_BRIGHTNESS, edbbin)->GetCurrentLong();
    return al;
  }

  // The cameras on (2), off (1) or missing (0), bins 2 to 5.
  void Cameras(const std::array<long, 4>& a_alState) {
    for (EDBBIN edbbin : s_aedbbinCameras) {
      const long lState = a_alState[edbbin - 2];
      CatalogueEnum(DB_ID_CAMERAENABLE, edbbin, lState ? DB_ACCESS_READWRITE : DB_ACCESS_NOTSUPPORTED,
                    lState ? lState : s_lOff, {s_lOff, s_lOn});
    }
  }

  // A machine capability of the sides and images settings, or none (0).
  void Machine(EDBID a_edbid, long a_lValue, std::initializer_list<long> a_illItems) {
    CatalogueEnum(a_edbid, DB_BIN_MACHINE, a_lValue ? DB_ACCESS_READWRITE : DB_ACCESS_NOTSUPPORTED,
                  a_lValue ? a_lValue : 1, a_illItems);
  }

  std::string LogSince(size_t a_sizetFrom) const { return LogFrom(a_sizetFrom); }
};

}  // namespace

// ---------------------------------------------------------------------------
// One capability: the bins that pair
// ---------------------------------------------------------------------------
// The sides pair 2 with 3 and 4 with 5; the streams of a side 2 with 4 and
// 3 with 5. Every other pair, another capability or a missing datum is
// refused and changes nothing; a machine destination has nothing to take.
TEST_F(DbCopiesTest, OneCapabilityGoesOnlyBetweenTheBinsThatPair) {
  enum EOp { SIDE, IMAGE };
  constexpr int iNull = -1;
  constexpr int iOtherId = 10;  // + bin: CONTRAST of that bin
  NewRange(DB_ID_BRIGHTNESS, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 77, 0, 100, 1);
  for (EDBBIN edbbin : s_aedbbinCameras) CatalogueRange(DB_ID_CONTRAST, edbbin, DB_ACCESS_READWRITE, 99, 0, 100, 1);
  struct Row {
    EOp eop;
    int iDst;
    int iSrc;
    EOSSTS eossts;
    const char* szLog;  // none when the copy is done
  };
  const Row arow[] = {
      {SIDE, 2, 3, OS_STS_SUCCESS, nullptr},
      {SIDE, 3, 2, OS_STS_SUCCESS, nullptr},
      {SIDE, 4, 5, OS_STS_SUCCESS, nullptr},
      {SIDE, 5, 4, OS_STS_SUCCESS, nullptr},
      {SIDE, 2, 4, DB_EOSSTS_BADARGUMENT, "a_hdbdatumSrc isn't DB_BIN_BITONAL_REAR..."},
      {SIDE, 3, 5, DB_EOSSTS_BADARGUMENT, "a_hdbdatumSrc isn't DB_BIN_BITONAL_FRONT..."},
      {SIDE, 4, 3, DB_EOSSTS_BADARGUMENT, "a_hdbdatumSrc isn't DB_BIN_COLOR_REAR..."},
      {SIDE, 5, 2, DB_EOSSTS_BADARGUMENT, "a_hdbdatumSrc isn't DB_BIN_COLOR_FRONT..."},
      {SIDE, 1, 2, OS_STS_SUCCESS, ""},
      {SIDE, 0, 2, DB_EOSSTS_BADARGUMENT, "Unrecognized edbbin...0"},
      {SIDE, 2, iOtherId + 3, DB_EOSSTS_BADARGUMENT, "DB_ID's don't match...34 52"},
      {SIDE, iNull, 3, DB_EOSSTS_BADARGUMENT, "a_hdbdatumDst is NULL..."},
      {SIDE, 2, iNull, DB_EOSSTS_BADARGUMENT, "a_hdbdatumSrc is NULL..."},
      {IMAGE, 2, 4, OS_STS_SUCCESS, nullptr},
      {IMAGE, 4, 2, OS_STS_SUCCESS, nullptr},
      {IMAGE, 3, 5, OS_STS_SUCCESS, nullptr},
      {IMAGE, 5, 3, OS_STS_SUCCESS, nullptr},
      {IMAGE, 2, 3, DB_EOSSTS_BADARGUMENT, "a_hdbdatumSrc isn't DB_BIN_COLOR_FRONT..."},
      {IMAGE, 3, 2, DB_EOSSTS_BADARGUMENT, "a_hdbdatumSrc isn't DB_BIN_COLOR_REAR..."},
      {IMAGE, 4, 5, DB_EOSSTS_BADARGUMENT, "a_hdbdatumSrc isn't DB_BIN_BITONAL_FRONT..."},
      {IMAGE, 5, 4, DB_EOSSTS_BADARGUMENT, "a_hdbdatumSrc isn't DB_BIN_BITONAL_REAR..."},
      {IMAGE, 1, 2, OS_STS_SUCCESS, ""},
      {IMAGE, 2, 1, OS_STS_SUCCESS, ""},
      {IMAGE, 0, 2, DB_EOSSTS_BADARGUMENT, "Unrecognized edbbin...0"},
      {IMAGE, 4, iOtherId + 2, DB_EOSSTS_BADARGUMENT, "DB_ID's don't match...34 52"},
      {IMAGE, iNull, 2, OS_STS_SUCCESS, ""},
      {IMAGE, 2, iNull, DB_EOSSTS_BADARGUMENT, "a_hdbdatumSrc is NULL..."},
  };
  auto datum = [&](int a_iBin) -> CDbDatum* {
    if (a_iBin == iNull) return nullptr;
    if (a_iBin > iOtherId) return Slot(0, DB_ID_CONTRAST, static_cast<EDBBIN>(a_iBin - iOtherId));
    return Slot(0, DB_ID_BRIGHTNESS, static_cast<EDBBIN>(a_iBin));
  };
  for (const Row& row : arow) {
    SCOPED_TRACE(testing::Message() << (row.eop == SIDE ? "side" : "image") << " " << row.iSrc << " to " << row.iDst);
    Brightness();
    std::vector<std::string> vecBefore;
    for (int iBin = 0; iBin <= 5; ++iBin)
      vecBefore.push_back(Snapshot(Slot(0, DB_ID_BRIGHTNESS, static_cast<EDBBIN>(iBin))));
    const size_t sizetFrom = LogSize();
    CDbDatum* pdbdatumDst = datum(row.iDst);
    CDbDatum* pdbdatumSrc = datum(row.iSrc);
    const EOSSTS eossts = row.eop == SIDE ? m_pdatabase->CopySideToSide(pdbdatumDst, pdbdatumSrc)
                                          : m_pdatabase->CopyImageToImage(pdbdatumDst, pdbdatumSrc);
    EXPECT_EQ(eossts, row.eossts);
    for (int iBin = 0; iBin <= 5; ++iBin) {
      CDbDatum* pdbdatum = Slot(0, DB_ID_BRIGHTNESS, static_cast<EDBBIN>(iBin));
      if (!row.szLog && iBin == row.iDst) {
        EXPECT_EQ(pdbdatum->GetCurrentLong(), 10 * (row.iSrc - 1));
      } else {
        EXPECT_EQ(Snapshot(pdbdatum), vecBefore[iBin]) << "bin " << iBin;
      }
    }
    if (row.szLog && *row.szLog) {
      EXPECT_NE(LogSince(sizetFrom).find(row.szLog), std::string::npos) << LogSince(sizetFrom);
    }
  }
}

// ---------------------------------------------------------------------------
// One capability: what each container takes
// ---------------------------------------------------------------------------
// The other side takes the list with the value, the bounds with the value,
// the text; a dropout of several colours becomes "none" where the side has
// no such dropout. Only accesses a user may see change are copied from,
// and never to an unsupported datum.
TEST_F(DbCopiesTest, TheOtherSideTakesListsBoundsTextsAndDropouts) {
  CDatabase& db = *m_pdatabase;
  // Its FixCurrent shows the passes.
  NewRecordingEnum(DB_ID_ACDLEARNMODE, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1, {1});

  // Lists and values.
  CDbEnum* pdbenumSrc = CatalogueEnum(DB_ID_ADDBORDER, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 2, {1, 2});
  CDbEnum* pdbenumDst = CatalogueEnum(DB_ID_ADDBORDER, DB_BIN_BITONAL_REAR, DB_ACCESS_READWRITE, 1, {1});
  EXPECT_EQ(db.CopySideToSide(pdbenumDst, pdbenumSrc), OS_STS_SUCCESS);
  EXPECT_EQ(pdbenumDst->GetCurrentLong(), 2);
  EXPECT_EQ(pdbenumDst->GetCurrentItemCount(), 2);
  // A destination that cannot take the value still takes the list.
  pdbenumDst = CatalogueEnum(DB_ID_ADDBORDER, DB_BIN_BITONAL_REAR, DB_ACCESS_READONLY, 1, {1});
  EXPECT_EQ(db.CopySideToSide(pdbenumDst, pdbenumSrc), DB_EOSSTS_NOTMODIFIABLE);
  EXPECT_EQ(pdbenumDst->GetCurrentLong(), 1);
  EXPECT_EQ(pdbenumDst->GetCurrentItemCount(), 2);

  // Bounds and value; bounds beyond the destination's defaults are refused.
  CDbRange* pdbrangeSrc = CatalogueRange(DB_ID_BRIGHTNESS, DB_BIN_COLOR_REAR, DB_ACCESS_READWRITE, 25, 0, 100, 1);
  ASSERT_EQ(pdbrangeSrc->SetCurrent(25, 10, 50, 5), OS_STS_SUCCESS);
  CDbRange* pdbrangeDst = CatalogueRange(DB_ID_BRIGHTNESS, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 0, 0, 100, 1);
  EXPECT_EQ(db.CopySideToSide(pdbrangeDst, pdbrangeSrc), OS_STS_SUCCESS);
  EXPECT_EQ(pdbrangeDst->GetCurrentLong(), 25);
  EXPECT_EQ(pdbrangeDst->GetMin(), 10);
  EXPECT_EQ(pdbrangeDst->GetMax(), 50);
  EXPECT_EQ(pdbrangeDst->GetStep(), 5);
  pdbrangeDst = CatalogueRange(DB_ID_BRIGHTNESS, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 20, 20, 40, 1);
  EXPECT_EQ(db.CopySideToSide(pdbrangeDst, pdbrangeSrc), DB_EOSSTS_BADARGUMENT);
  EXPECT_EQ(pdbrangeDst->GetCurrentLong(), 20);

  // Texts.
  CDbString* pdbstringSrc = CatalogueString(DB_ID_COLORTABLEDEFAULT, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, "warm");
  CDbString* pdbstringDst = CatalogueString(DB_ID_COLORTABLEDEFAULT, DB_BIN_COLOR_REAR, DB_ACCESS_READWRITE, "cold");
  EXPECT_EQ(db.CopySideToSide(pdbstringDst, pdbstringSrc), OS_STS_SUCCESS);
  EXPECT_STREQ(pdbstringDst->GetCurrentString(), "warm");

  // Dropouts, each store followed by a pass with the destination marked.
  struct Row {
    long lSrc;
    std::initializer_list<long> illDst;
    long lStored;
  };
  const Row arow[] = {{s_lEcdoMultiple, {2, s_lEcdoSingle}, DB_ID_ECDO_ENUM_NONE},
                      {s_lEcdoMultiple, {2, s_lEcdoMultiple}, s_lEcdoMultiple},
                      {s_lEcdoSingle, {2}, s_lEcdoSingle}};
  for (const Row& row : arow) {
    CDbEnum* pdbenumEcdoSrc = CatalogueEnum(DB_ID_ECDO, DB_BIN_BITONAL_REAR, DB_ACCESS_READWRITE, row.lSrc, {row.lSrc});
    CDbEnum* pdbenumEcdoDst = CatalogueEnum(DB_ID_ECDO, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 1, row.illDst);
    m_journal.Clear();
    EXPECT_EQ(db.CopySideToSide(pdbenumEcdoDst, pdbenumEcdoSrc), OS_STS_SUCCESS);
    EXPECT_EQ(pdbenumEcdoDst->GetCurrentLong(), row.lStored) << row.lSrc;
    ASSERT_EQ(m_journal.Of("FixCurrent").size(), 1u);
    EXPECT_EQ(m_journal.vecrulecall[0].pdbdatumModified, pdbenumEcdoDst);
  }

  // Accesses: copied from any a user may see change, to any supported one.
  struct AccessRow {
    EDBACCESS edbaccessSrc;
    EDBACCESS edbaccessDst;
    bool blCopied;
  };
  const AccessRow aaccessrow[] = {
      {DB_ACCESS_DISABLED, DB_ACCESS_READWRITE, true},        {DB_ACCESS_READWRITEDISABLED, DB_ACCESS_READWRITE, true},
      {DB_ACCESS_READWRITEHIDDEN, DB_ACCESS_READWRITE, true}, {DB_ACCESS_READONLYHIDDEN, DB_ACCESS_READWRITE, true},
      {DB_ACCESS_HIDDEN, DB_ACCESS_READWRITE, false},         {DB_ACCESS_READONLY, DB_ACCESS_READWRITE, false},
      {DB_ACCESS_NOTSUPPORTED, DB_ACCESS_READWRITE, false},   {DB_ACCESS_READWRITE, DB_ACCESS_NOTSUPPORTED, false},
  };
  for (const AccessRow& row : aaccessrow) {
    CDbRange* pdbrangeFrom = CatalogueRange(DB_ID_CONTRAST, DB_BIN_BITONAL_FRONT, row.edbaccessSrc, 7, 0, 100, 1);
    CDbRange* pdbrangeTo = CatalogueRange(DB_ID_CONTRAST, DB_BIN_BITONAL_REAR, row.edbaccessDst, 3, 0, 100, 1);
    EXPECT_EQ(db.CopySideToSide(pdbrangeTo, pdbrangeFrom), OS_STS_SUCCESS);
    EXPECT_EQ(pdbrangeTo->GetCurrentLong(), row.blCopied ? 7 : 3) << row.edbaccessSrc << " " << row.edbaccessDst;
  }
}

// The other stream of a side takes compression in its own form, other
// choices only where its list offers them, and only from a stream the user
// may change.
TEST_F(DbCopiesTest, TheOtherStreamTakesCompressionInItsFormAndWhatItOffers) {
  CDatabase& db = *m_pdatabase;
  struct Row {
    EDBID edbid;
    EDBBIN edbbinSrc;
    EDBACCESS edbaccessSrc;
    long lSrc;
    EDBACCESS edbaccessDst;
    long lDst;
    std::initializer_list<long> illDst;
    EOSSTS eossts;
    long lAfter;
    bool blStored;  // the destination was written
  };
  const Row arow[] = {
      // group 4 to a colour stream is JPEG, JPEG to a bitonal stream group 4
      {DB_ID_COMPRESSION,
       DB_BIN_BITONAL_FRONT,
       DB_ACCESS_READWRITE,
       6,
       DB_ACCESS_READWRITE,
       1,
       {1, 7},
       OS_STS_SUCCESS,
       7,
       true},
      {DB_ID_COMPRESSION,
       DB_BIN_COLOR_REAR,
       DB_ACCESS_READWRITE,
       7,
       DB_ACCESS_READWRITE,
       1,
       {1, 6},
       OS_STS_SUCCESS,
       6,
       true},
      {DB_ID_COMPRESSION,
       DB_BIN_BITONAL_FRONT,
       DB_ACCESS_READWRITE,
       1,
       DB_ACCESS_READWRITE,
       7,
       {1, 7},
       OS_STS_SUCCESS,
       1,
       true},
      // nothing is stored where the stream holds that form already
      {DB_ID_COMPRESSION,
       DB_BIN_BITONAL_FRONT,
       DB_ACCESS_READWRITE,
       6,
       DB_ACCESS_READWRITE,
       7,
       {1, 7},
       OS_STS_SUCCESS,
       7,
       false},
      // another choice: stored where offered
      {DB_ID_ADDBORDER,
       DB_BIN_COLOR_FRONT,
       DB_ACCESS_READWRITE,
       2,
       DB_ACCESS_READWRITE,
       1,
       {1, 2},
       OS_STS_SUCCESS,
       2,
       true},
      {DB_ID_ADDBORDER,
       DB_BIN_COLOR_FRONT,
       DB_ACCESS_READWRITE,
       2,
       DB_ACCESS_READWRITE,
       1,
       {1},
       OS_STS_SUCCESS,
       1,
       false},
      // from a stream the user may change only
      {DB_ID_ADDBORDER,
       DB_BIN_COLOR_FRONT,
       DB_ACCESS_READWRITEHIDDEN,
       2,
       DB_ACCESS_READWRITE,
       1,
       {1, 2},
       OS_STS_SUCCESS,
       2,
       true},
      {DB_ID_ADDBORDER,
       DB_BIN_COLOR_FRONT,
       DB_ACCESS_DISABLED,
       2,
       DB_ACCESS_READWRITE,
       1,
       {1, 2},
       OS_STS_SUCCESS,
       1,
       false},
      {DB_ID_ADDBORDER,
       DB_BIN_COLOR_FRONT,
       DB_ACCESS_READONLYHIDDEN,
       2,
       DB_ACCESS_READWRITE,
       1,
       {1, 2},
       OS_STS_SUCCESS,
       1,
       false},
      // a destination that refuses the value
      {DB_ID_ADDBORDER,
       DB_BIN_COLOR_FRONT,
       DB_ACCESS_READWRITE,
       2,
       DB_ACCESS_READONLY,
       1,
       {1, 2},
       DB_EOSSTS_NOTMODIFIABLE,
       1,
       false},
      // dropouts of several colours go to a colour stream as "none"
      {DB_ID_ECDO,
       DB_BIN_BITONAL_REAR,
       DB_ACCESS_READWRITE,
       s_lEcdoMultiple,
       DB_ACCESS_READWRITE,
       1,
       {1, 2},
       OS_STS_SUCCESS,
       2,
       true},
  };
  for (const Row& row : arow) {
    SCOPED_TRACE(testing::Message() << row.edbid << " from bin " << row.edbbinSrc << " value " << row.lSrc);
    const EDBBIN edbbinDst = CDbDatum::GetBinSameSide(row.edbbinSrc);
    CDbEnum* pdbenumSrc = CatalogueEnum(row.edbid, row.edbbinSrc, row.edbaccessSrc, row.lSrc, {row.lSrc});
    CDbEnum* pdbenumDst = CatalogueEnum(row.edbid, edbbinDst, row.edbaccessDst, row.lDst, row.illDst);
    const size_t sizetFrom = LogSize();
    Notify()->ResetAll(DB_NOTIFY_ALL);
    EXPECT_EQ(db.CopyImageToImage(pdbenumDst, pdbenumSrc), row.eossts);
    EXPECT_EQ(pdbenumDst->GetCurrentLong(), row.lAfter);
    EXPECT_EQ(Notified(DB_NOTIFY_VALUE, pdbenumDst), row.blStored);
    const std::string strFailed = "Failed to copy ??? value " + std::to_string(row.lSrc) + " from bin " +
                                  std::to_string(row.edbbinSrc) + " to bin " + std::to_string(edbbinDst) + " ...";
    EXPECT_EQ(LogSince(sizetFrom).find(strFailed) != std::string::npos, row.eossts != OS_STS_SUCCESS);
  }
}

// ---------------------------------------------------------------------------
// A camera bin to another
// ---------------------------------------------------------------------------
// A whole camera's settings go to the other stream of its side, or to the
// other side of a duplex scanner; the machine's, the pixel flavour and,
// between the streams, the cameras' switches stay. Each stored value runs
// one pass and hands its access on.
TEST_F(DbCopiesTest, ACameraBinGoesToAnotherAsAWhole) {
  // Its FixCurrent shows the passes.
  NewRecordingEnum(DB_ID_ACDLEARNMODE, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1, {1});
  // What bin 2 holds, and what each capability becomes where it is copied to
  // a bitonal or a colour bin.
  struct Capability {
    EDBID edbid;
    long lSource;
    long lBitonal;
    long lColor;
  };
  const Capability acapability[] = {
      {DB_ID_BRIGHTNESS, 10, 10, 10},   {DB_ID_CONTRAST, 5, 5, 5},
      {DB_ID_ADDBORDER, 2, 2, 2},       {DB_ID_AUTOMATICDESKEW, 2, 1, 1},  // refused where the list lacks it
      {DB_ID_PIXELFLAVOR, 2, 1, 1},     {DB_ID_CAMERAENABLE, s_lOn, s_lOn, s_lOn},
      {DB_ID_COMPRESSION, 6, 6, 7},     {DB_ID_ECDO, s_lEcdoMultiple, s_lEcdoMultiple, DB_ID_ECDO_ENUM_NONE},
      {DB_ID_COLORSHARPEN, 9, 1, 1},  // the machine holds it
  };
  auto setup = [&] {
    for (EDBBIN edbbin : s_aedbbinCameras) {
      const bool blSource = edbbin == DB_BIN_BITONAL_FRONT;
      const bool blColor = edbbin >= DB_BIN_COLOR_FRONT;
      CatalogueRange(DB_ID_BRIGHTNESS, edbbin, blSource ? DB_ACCESS_READWRITEHIDDEN : DB_ACCESS_READWRITE,
                     blSource ? 10 : 40, 0, 100, 1);
      CatalogueRange(DB_ID_CONTRAST, edbbin, blSource ? DB_ACCESS_READWRITE : DB_ACCESS_READWRITEDISABLED,
                     blSource ? 5 : 0, 0, 100, 1);
      CatalogueEnum(DB_ID_ADDBORDER, edbbin, DB_ACCESS_READWRITE, blSource ? 2 : 1, {1, 2});
      if (blSource) {
        CatalogueEnum(DB_ID_AUTOMATICDESKEW, edbbin, DB_ACCESS_READWRITE, 2, {1, 2});
      } else {
        CatalogueEnum(DB_ID_AUTOMATICDESKEW, edbbin, DB_ACCESS_READWRITE, 1, {1});
      }
      CatalogueEnum(DB_ID_PIXELFLAVOR, edbbin, DB_ACCESS_READWRITE, blSource ? 2 : 1, {1, 2});
      CatalogueEnum(DB_ID_CAMERAENABLE, edbbin, DB_ACCESS_READWRITE, blSource ? s_lOn : s_lOff, {s_lOff, s_lOn});
      CatalogueEnum(DB_ID_COMPRESSION, edbbin, DB_ACCESS_READWRITE, blSource ? 6 : 1, {1, blColor ? 7L : 6L});
      CatalogueEnum(DB_ID_ECDO, edbbin, DB_ACCESS_READWRITE, blSource ? s_lEcdoMultiple : 1, {1, 2, s_lEcdoMultiple});
      CatalogueRange(DB_ID_COLORSHARPEN, edbbin, DB_ACCESS_READWRITE, blSource ? 9 : 1, 0, 10, 1);
      CatalogueString(DB_ID_COLORTABLEDEFAULT, edbbin, DB_ACCESS_READWRITE, blSource ? "warm" : "");
    }
  };
  NewRange(DB_ID_COLORSHARPEN, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1, 0, 10, 1);

  struct Row {
    int iSrc;
    int iDst;
    bool blDuplex;
    bool blCopies;
    const char* szLog;
  };
  const Row arow[] = {
      {2, 4, false, true, nullptr},  // the same side needs no duplex unit
      {2, 3, true, true, nullptr},   // the other side
      {2, 5, true, true, nullptr},
      {2, 3, false, false, nullptr},  // a simplex scanner has no other side
      {2, 5, false, false, nullptr},
      {2, 2, true, false, nullptr},
      {1, 2, true, false, "Bad a_edbbinSrc or a_edbbinDst...1 2"},
      {2, 6, true, false, "Bad a_edbbinSrc or a_edbbinDst...2 6"},
      {2, 0, true, false, "Bad a_edbbinSrc or a_edbbinDst...2 0"},
  };
  for (const Row& row : arow) {
    SCOPED_TRACE(testing::Message() << row.iSrc << " to " << row.iDst << (row.blDuplex ? " duplex" : " simplex"));
    setup();
    Duplex(row.blDuplex);
    std::map<int, std::string> mapBefore;
    for (EDBBIN edbbin : s_aedbbinCameras) {
      for (const Capability& capability : acapability)
        mapBefore[edbbin * 1000 + capability.edbid] = Snapshot(Slot(0, capability.edbid, edbbin));
    }
    m_journal.Clear();
    const size_t sizetFrom = LogSize();
    m_pdatabase->CopyFromSrcBinToDstBin(static_cast<EDBBIN>(row.iSrc), static_cast<EDBBIN>(row.iDst));
    const bool blSameSide = (row.iSrc == 2 && row.iDst == 4);
    std::vector<CDbDatum*> vecpdbdatumStored;
    for (EDBBIN edbbin : s_aedbbinCameras) {
      for (const Capability& capability : acapability) {
        CDbDatum* pdbdatum = Slot(0, capability.edbid, edbbin);
        const bool blCopied =
            row.blCopies && edbbin == row.iDst && !(blSameSide && capability.edbid == DB_ID_CAMERAENABLE);
        if (!blCopied) {
          EXPECT_EQ(Snapshot(pdbdatum), mapBefore[edbbin * 1000 + capability.edbid]) << capability.edbid;
          continue;
        }
        const long lExpected = edbbin >= DB_BIN_COLOR_FRONT ? capability.lColor : capability.lBitonal;
        EXPECT_EQ(pdbdatum->GetCurrentLong(), lExpected) << capability.edbid;
        if (Snapshot(pdbdatum) != mapBefore[edbbin * 1000 + capability.edbid]) vecpdbdatumStored.push_back(pdbdatum);
      }
      if (row.blCopies && edbbin == row.iDst) {
        EXPECT_STREQ(Slot(0, DB_ID_COLORTABLEDEFAULT, edbbin)->GetCurrentString(), "warm");
        vecpdbdatumStored.push_back(Slot(0, DB_ID_COLORTABLEDEFAULT, edbbin));
        // The access of a stored value follows its source's.
        EXPECT_EQ(Slot(0, DB_ID_BRIGHTNESS, edbbin)->GetAccess(), DB_ACCESS_READWRITEHIDDEN);
        EXPECT_EQ(Slot(0, DB_ID_CONTRAST, edbbin)->GetAccess(), DB_ACCESS_READWRITE);
      }
    }
    // One pass per stored value, with that value's datum marked.
    std::set<CDbDatum*> setpdbdatumMarked;
    for (const dbtest::RuleCall& rulecall : m_journal.vecrulecall) {
      if (rulecall.strOperation == "FixCurrent") setpdbdatumMarked.insert(rulecall.pdbdatumModified);
    }
    EXPECT_EQ(m_journal.Of("FixCurrent").size(), vecpdbdatumStored.size());
    EXPECT_EQ(setpdbdatumMarked, std::set<CDbDatum*>(vecpdbdatumStored.begin(), vecpdbdatumStored.end()));
    if (row.szLog) {
      EXPECT_NE(LogSince(sizetFrom).find(row.szLog), std::string::npos) << LogSince(sizetFrom);
    }
  }
}

// ---------------------------------------------------------------------------
// Whether the images of a side may differ
// ---------------------------------------------------------------------------
TEST_F(DbCopiesTest, ImagesDifferWhileBothStreamsOfASideAreOnOrSomethingChoosesBetweenThem) {
  constexpr long lNone = DB_ID_AUTOCOLORCONTENT_ENUM_NONE;
  constexpr long lMedium = DB_ID_AUTOCOLORCONTENT_ENUM_MEDIUM;
  constexpr long lUnsupported = 0;
  struct Row {
    std::array<long, 4> alCameras;
    long lAutoColorRear;  // the colour content of bin 5; the others none
    long lToggle;
    long lBefore;
    bool blNoCopy;
    long lAfter;
    int64_t i64Request;
  };
  const Row arow[] = {
      {{s_lOn, s_lOff, s_lOn, s_lOff}, lNone, 1, 1, false, 2, 0},  // both front streams on
      {{s_lOff, s_lOn, s_lOff, s_lOn}, lNone, 1, 1, false, 2, 0},  // both rear streams on
      {{s_lOn, s_lOff, s_lOn, s_lOff}, lUnsupported, lUnsupported, 2, true, 2, 0},
      {{s_lOn, s_lOn, s_lOff, s_lOff}, lMedium, 1, 1, false, 2, 0},  // the colour content decides
      {{s_lOn, s_lOn, s_lOff, s_lOff}, lNone, 3, 1, false, 2, 0},    // a patch toggles
      {{s_lOn, s_lOn, s_lOff, s_lOff}, lNone, 1, 2, false, 1, 1},    // no longer: the copy is asked for
      {{s_lOn, s_lOn, s_lOff, s_lOff}, lNone, 1, 2, true, 1, 0},     // unless the caller copies itself
      {{s_lOn, s_lOn, s_lOff, s_lOff}, lNone, 1, 1, false, 1, 0},    // it was not: nothing to copy
      {{s_lOn, s_lOn, s_lOff, s_lOff}, lUnsupported, lUnsupported, 2, false, 1, 1},
  };
  for (const Row& row : arow) {
    SCOPED_TRACE(testing::Message() << row.alCameras[0] << row.alCameras[1] << row.alCameras[2] << row.alCameras[3]
                                    << " content " << row.lAutoColorRear << " toggle " << row.lToggle << " before "
                                    << row.lBefore);
    Cameras(row.alCameras);
    for (EDBBIN edbbin : s_aedbbinCameras) {
      const long lContent = edbbin == DB_BIN_COLOR_REAR ? row.lAutoColorRear : lNone;
      CatalogueEnum(DB_ID_AUTOCOLORCONTENT, edbbin,
                    row.lAutoColorRear == lUnsupported ? DB_ACCESS_NOTSUPPORTED : DB_ACCESS_READWRITE,
                    lContent ? lContent : lNone, {1, 2, 3, 4, 5});
    }
    Machine(DB_ID_TOGGLEPATCH, row.lToggle, {1, 2, 3, 4, 5});
    Machine(DB_ID_IMAGESDIFFERENT, row.lBefore, {1, 2});
    m_pdatabase->SetCopyImages(0);
    EXPECT_EQ(m_pdatabase->FixImagesDifferent(row.blNoCopy), OS_STS_SUCCESS);
    EXPECT_EQ(Slot(0, DB_ID_IMAGESDIFFERENT, DB_BIN_MACHINE)->GetCurrentLong(), row.lAfter);
    EXPECT_EQ(m_pdatabase->GetCopyImages(), row.i64Request);
  }
  // A scanner without the setting.
  Machine(DB_ID_IMAGESDIFFERENT, 0, {1, 2});
  Cameras({s_lOn, s_lOff, s_lOn, s_lOff});
  EXPECT_EQ(m_pdatabase->FixImagesDifferent(false), OS_STS_SUCCESS);
  EXPECT_EQ(Slot(0, DB_ID_IMAGESDIFFERENT, DB_BIN_MACHINE)->GetCurrentLong(), 1);
}

// ---------------------------------------------------------------------------
// The copies the sides and images settings ask for
// ---------------------------------------------------------------------------
// The images copy runs once per request, from the stream that is on to the
// one that is off, on the side that is scanned; sides that may not differ
// follow.
TEST_F(DbCopiesTest, TheImagesCopyTakesTheStreamThatIsOn) {
  constexpr long lTwoSided = DB_ID_INPUTDOCUMENT_ENUM_TWOSIDED;
  constexpr long lRear = DB_ID_INPUTDOCUMENT_ENUM_ONESIDEDREAR;
  struct Row {
    int64_t i64Request;
    long lImagesDifferent;
    long lInput;
    long lSidesDifferent;
    std::array<long, 4> alCameras;  // 0: the camera is missing
    std::array<long, 4> alBrightness;
    int64_t i64RequestAfter;
  };
  const Row arow[] = {
      {0, 1, lTwoSided, 2, {s_lOn, s_lOff, s_lOff, s_lOff}, {10, 20, 30, 40}, 0},  // not asked for
      {1, 2, lTwoSided, 2, {s_lOn, s_lOff, s_lOff, s_lOff}, {10, 20, 30, 40}, 1},  // the images differ again
      {1, 1, lTwoSided, 2, {s_lOn, s_lOff, s_lOff, s_lOff}, {10, 20, 10, 40}, 0},
      {1, 1, lTwoSided, 1, {s_lOn, s_lOff, s_lOff, s_lOff}, {10, 20, 10, 10}, 0},
      {1, 1, lTwoSided, 1, {s_lOff, s_lOff, s_lOn, s_lOff}, {30, 30, 30, 40}, 0},
      {1, 1, lRear, 2, {s_lOff, s_lOn, s_lOff, s_lOff}, {10, 20, 30, 20}, 0},
      {1, 1, lRear, 1, {s_lOff, s_lOff, s_lOff, s_lOn}, {40, 40, 30, 40}, 0},
      {1, 1, lTwoSided, 2, {s_lOn, s_lOff, s_lOn, s_lOff}, {10, 20, 30, 40}, 0},  // both on: nothing to copy
      {1, 1, lTwoSided, 2, {0, s_lOff, s_lOn, s_lOff}, {10, 20, 30, 40}, 0},      // a stream is missing
  };
  for (const Row& row : arow) {
    SCOPED_TRACE(testing::Message() << "input " << row.lInput << " sides " << row.lSidesDifferent << " cameras "
                                    << row.alCameras[0] << row.alCameras[1] << row.alCameras[2] << row.alCameras[3]);
    Brightness();
    Cameras(row.alCameras);
    Machine(DB_ID_IMAGESDIFFERENT, row.lImagesDifferent, {1, 2});
    Machine(DB_ID_INPUTDOCUMENT, row.lInput, {1, 2, 3});
    Machine(DB_ID_SIDESDIFFERENT, row.lSidesDifferent, {1, 2});
    m_pdatabase->SetCopyImages(row.i64Request);
    Notify()->Set(DB_NOTIFY_IMAGES, Slot(0, DB_ID_BRIGHTNESS, DB_BIN_COLOR_REAR));
    m_pdatabase->CopyImagesDifferent();
    EXPECT_EQ(BrightnessNow(), row.alBrightness);
    EXPECT_EQ(m_pdatabase->GetCopyImages(), row.i64RequestAfter);
    // A copy leaves no stream marked as different.
    const bool blCopied = BrightnessNow() != std::array<long, 4>{10, 20, 30, 40};
    EXPECT_EQ(Walk(DB_NOTIFY_IMAGES).empty(), blCopied);
  }
}

// Sides that may not differ take the side that is scanned.
TEST_F(DbCopiesTest, TheSidesCopyTakesTheScannedSide) {
  struct Row {
    long lSidesDifferent;  // 0: the scanner lacks the setting
    long lInput;
    std::array<long, 4> alBrightness;
  };
  const Row arow[] = {
      {1, DB_ID_INPUTDOCUMENT_ENUM_TWOSIDED, {10, 10, 30, 30}},
      {1, DB_ID_INPUTDOCUMENT_ENUM_ONESIDEDFRONT, {10, 10, 30, 30}},
      {1, DB_ID_INPUTDOCUMENT_ENUM_ONESIDEDREAR, {20, 20, 40, 40}},
      {2, DB_ID_INPUTDOCUMENT_ENUM_TWOSIDED, {10, 20, 30, 40}},
      {0, DB_ID_INPUTDOCUMENT_ENUM_TWOSIDED, {10, 20, 30, 40}},
  };
  for (const Row& row : arow) {
    SCOPED_TRACE(testing::Message() << "sides " << row.lSidesDifferent << " input " << row.lInput);
    Brightness();
    Machine(DB_ID_SIDESDIFFERENT, row.lSidesDifferent, {1, 2});
    Machine(DB_ID_INPUTDOCUMENT, row.lInput, {1, 2, 3});
    Notify()->Set(DB_NOTIFY_SIDES, Slot(0, DB_ID_BRIGHTNESS, DB_BIN_COLOR_REAR));
    m_pdatabase->CopySidesDifferent();
    EXPECT_EQ(BrightnessNow(), row.alBrightness);
    EXPECT_EQ(Walk(DB_NOTIFY_SIDES).empty(), row.lSidesDifferent == 1);
  }
}

// ---------------------------------------------------------------------------
// Dropouts after a change of language
// ---------------------------------------------------------------------------
TEST_F(DbCopiesTest, ADropoutListIsFixedAgainForEachCameraAsAfterALanguageChange) {
  RecordingEnum* apdatumEcdo[4] = {};
  for (EDBBIN edbbin : s_aedbbinCameras)
    apdatumEcdo[edbbin - 2] = NewRecordingEnum(DB_ID_ECDO, edbbin, DB_ACCESS_READWRITE, 2, {2});
  CDbEnum* pdbenumLanguage = CatalogueEnum(DB_ID_LANGUAGE, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1, {1, 2});
  m_pdatabase->ReloadEcdo();
  EXPECT_EQ(m_journal.Of("FixCurrent"), (std::vector<std::string>{"83/2", "83/3", "83/4", "83/5"}));
  for (const dbtest::RuleCall& rulecall : m_journal.vecrulecall) EXPECT_EQ(rulecall.pdbdatumModified, pdbenumLanguage);
  EXPECT_EQ(CDbDatum::GetModified(), nullptr);

  // Without a language, or without dropouts, nothing is fixed.
  m_journal.Clear();
  pdbenumLanguage->SetAccess(DB_ACCESS_NOTSUPPORTED);
  m_pdatabase->ReloadEcdo();
  pdbenumLanguage->SetAccess(DB_ACCESS_READWRITE);
  for (RecordingEnum* pdatum : apdatumEcdo) pdatum->SetAccess(DB_ACCESS_NOTSUPPORTED);
  m_pdatabase->ReloadEcdo();
  EXPECT_TRUE(m_journal.vecrulecall.empty());
}

// The language's own fix-up reloads the dropouts in the middle of its pass:
// the capabilities after it still see the language as the change. Outside a
// pass, a camera's rule that stores a value (and so runs a pass of its own)
// leaves the cameras after it seeing the language as the change all the same.
TEST_F(DbCopiesTest, ReloadingTheDropoutsKeepsTheChangeTheRulesSee) {
  CDatabase& db = *m_pdatabase;
  RecordingEnum* apdatumEcdo[4] = {};
  for (EDBBIN edbbin : s_aedbbinCameras)
    apdatumEcdo[edbbin - 2] = NewRecordingEnum(DB_ID_ECDO, edbbin, DB_ACCESS_READWRITE, 2, {2});
  RecordingEnum* pdatumLanguage = NewRecordingEnum(DB_ID_LANGUAGE, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1, {1, 2});
  const EDBID edbidLater = static_cast<EDBID>(DB_ID_LANGUAGE + 10);
  RecordingEnum* pdatumLater = NewRecordingEnum(edbidLater, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1, {1, 2});
  // Inside the language's pass.
  pdatumLanguage->m_fnFixCurrent = [&] { db.ReloadEcdo(); };
  ASSERT_EQ(db.SetCurrentLong(pdatumLanguage, 2, false), DB_STS_SUCCESS);
  ASSERT_EQ(m_journal.Of("FixCurrent").back(), std::to_string(edbidLater) + "/1");
  for (const dbtest::RuleCall& rulecall : m_journal.vecrulecall) {
    if (rulecall.strOperation != "FixCurrent") continue;
    SCOPED_TRACE(std::to_string(rulecall.edbid) + "/" + std::to_string(rulecall.edbbin));
    EXPECT_EQ(rulecall.pdbdatumModified, pdatumLanguage);
  }
  EXPECT_EQ(CDbDatum::GetModified(), nullptr);
  EXPECT_FALSE(CDbDatum::TestDbState(DB_STATE_FIXUP));

  // Outside a pass: the first camera's rule stores a value of its own.
  pdatumLanguage->m_fnFixCurrent = nullptr;
  bool blStored = false;
  apdatumEcdo[0]->m_fnFixCurrent = [&] {
    if (blStored) return;
    blStored = true;
    EXPECT_EQ(db.SetCurrentLong(pdatumLater, 2, false), DB_STS_SUCCESS);
  };
  m_journal.Clear();
  db.ReloadEcdo();
  ASSERT_TRUE(blStored);
  // The calls ReloadEcdo made itself, after the first camera's pass.
  std::vector<const dbtest::RuleCall*> veccall;
  for (const dbtest::RuleCall& rulecall : m_journal.vecrulecall) {
    if (rulecall.strOperation == "FixCurrent" && rulecall.edbid == DB_ID_ECDO) veccall.push_back(&rulecall);
  }
  ASSERT_GE(veccall.size(), 3u);
  for (size_t sizet = veccall.size() - 3; sizet < veccall.size(); ++sizet) {
    SCOPED_TRACE(veccall[sizet]->edbbin);
    EXPECT_EQ(veccall[sizet]->edbbin, static_cast<EDBBIN>(DB_BIN_BITONAL_REAR + sizet - (veccall.size() - 3)));
    EXPECT_EQ(veccall[sizet]->pdbdatumModified, pdatumLanguage);
  }
  EXPECT_EQ(CDbDatum::GetModified(), nullptr);
}
