// The background, edge, filter, blank-page and other image-option rules in
// the library itself (their behaviour against the model is the rules
// harness's, tests/tools/rulesmodel): the catalogue makes their classes, what
// they do not know is logged and left as it was, and the thin-or-thicken
// amount takes the model's range below 0 as it stands.
#include <functional>

#include "db_cbackground.h"
#include "db_cblankpage.h"
#include "db_cdbcontainer.h"
#include "db_cdeskew.h"
#include "db_cedgefill.h"
#include "db_cedgesides.h"
#include "db_cimagemodes.h"
#include "db_cimageoptions.h"
#include "db_rules_fixture.h"

namespace {

using DbImageOptionRulesTest = dbtest::DbRulesFixture;

template <class T>
bool Is(CDbDatum* a_pdbdatum) {
  return dynamic_cast<T*>(a_pdbdatum) != nullptr;
}

}  // namespace

TEST_F(DbImageOptionRulesTest, TheCatalogueMakesTheThirtyClasses) {
  const struct {
    EDBID edbid;
    EDBBIN edbbin;
    std::function<bool(CDbDatum*)> is;
  } arow[] = {
      {DB_ID_ADDBORDER, DB_BIN_BITONAL_FRONT, Is<CADDBORDER>},
      {DB_ID_AUTOMATICDESKEW, DB_BIN_COLOR_REAR, Is<CAUTOMATICDESKEW>},
      {DB_ID_ORTHOGONALROTATE, DB_BIN_COLOR_FRONT, Is<CORTHOGONALROTATE>},
      {DB_ID_BACKGROUND, DB_BIN_BITONAL_REAR, Is<CBACKGROUND>},
      {DB_ID_BACKGROUNDPLATEN, DB_BIN_MACHINE, Is<CBACKGROUNDPLATEN>},
      {DB_ID_BACKGROUNDADJUSTAGGRESSIVENESS, DB_BIN_COLOR_FRONT, Is<CBACKGROUNDADJUSTAGGRESSIVENESS>},
      {DB_ID_BACKGROUNDADJUSTAPPLYTO, DB_BIN_COLOR_FRONT, Is<CBACKGROUNDADJUSTAPPLYTO>},
      {DB_ID_BACKGROUNDADJUSTMODE, DB_BIN_COLOR_FRONT, Is<CBACKGROUNDADJUSTMODE>},
      {DB_ID_FOREGROUNDBOLDNESSAGGRESSIVENESS, DB_BIN_COLOR_REAR, Is<CFOREGROUNDBOLDNESSAGGRESSIVENESS>},
      {DB_ID_FOREGROUNDBOLDNESSMODE, DB_BIN_COLOR_REAR, Is<CFOREGROUNDBOLDNESSMODE>},
      {DB_ID_BLANKPAGECONTENT, DB_BIN_BITONAL_FRONT, Is<CBLANKPAGECONTENT>},
      {DB_ID_BLANKPAGEMODE, DB_BIN_BITONAL_FRONT, Is<CBLANKPAGEMODE>},
      {DB_ID_BLANKPAGESIZE, DB_BIN_BITONAL_FRONT, Is<CBLANKPAGESIZE>},
      {DB_ID_FILTERBACKGROUND, DB_BIN_BITONAL_FRONT, Is<CFILTERBACKGROUND>},
      {DB_ID_FILTERPROCESSING, DB_BIN_BITONAL_REAR, Is<CFILTERPROCESSING>},
      {DB_ID_FILTERTHRESHOLD, DB_BIN_BITONAL_FRONT, Is<CFILTERTHRESHOLD>},
      {DB_ID_HALFTONES, DB_BIN_BITONAL_FRONT, Is<CHALFTONES>},
      {DB_ID_THRESHOLD, DB_BIN_BITONAL_FRONT, Is<CTHRESHOLD>},
      {DB_ID_IMAGEFILTER, DB_BIN_BITONAL_FRONT, Is<CIMAGEFILTER>},
      {DB_ID_NOISEFILTER, DB_BIN_BITONAL_FRONT, Is<CNOISEFILTER>},
      {DB_ID_IMAGEEDGEFILL, DB_BIN_COLOR_FRONT, Is<CIMAGEEDGEFILL>},
      {DB_ID_IMAGEEDGEFILLALLSIDES, DB_BIN_COLOR_FRONT, Is<CIMAGEEDGEFILLALLSIDES>},
      {DB_ID_IMAGEEDGEFILLALLSIZE, DB_BIN_COLOR_FRONT, Is<CIMAGEEDGEFILLALLSIZE>},
      {DB_ID_IMAGEEDGETOP, DB_BIN_COLOR_FRONT, Is<CIMAGEEDGETOP>},
      {DB_ID_IMAGEEDGEBOTTOM, DB_BIN_COLOR_FRONT, Is<CIMAGEEDGEBOTTOM>},
      {DB_ID_IMAGEEDGELEFT, DB_BIN_COLOR_FRONT, Is<CIMAGEEDGELEFT>},
      {DB_ID_IMAGEEDGERIGHT, DB_BIN_COLOR_FRONT, Is<CIMAGEEDGERIGHT>},
      {DB_ID_STREAKREMOVALAGGRESSIVENESS, DB_BIN_BITONAL_FRONT, Is<CSTREAKREMOVALAGGRESSIVENESS>},
      {DB_ID_TEXTENHANCEMENT, DB_BIN_BITONAL_FRONT, Is<CTEXTENHANCEMENT>},
      {DB_ID_THINTHICKENAMOUNT, DB_BIN_BITONAL_FRONT, Is<CTHINTHICKENAMOUNT>},
  };
  for (const auto& row : arow) EXPECT_TRUE(row.is(At(0, row.edbid, row.edbbin))) << row.edbid;
}

// Deskew under a cropping mode it does not know (none, 7), at start-up and
// in a pass, and the dropout background of a bin that is no camera: logged,
// access and value kept.
TEST_F(DbImageOptionRulesTest, WhatTheRulesDoNotKnowLeavesAccessAndValue) {
  CDbDatum* pdbdatumCropping = At(0, DB_ID_CROPPINGMODE, DB_BIN_COLOR_FRONT);
  CDbDatum* pdbdatumDeskew = At(0, DB_ID_AUTOMATICDESKEW, DB_BIN_COLOR_FRONT);
  ASSERT_EQ(pdbdatumDeskew->GetAccess(), DB_ACCESS_READWRITE);
  ASSERT_EQ(pdbdatumDeskew->GetCurrentLong(), DB_ID_AUTOMATICDESKEW_ENUM_TRUE);
  pdbdatumCropping->SetCurrentLong(DB_ID_CROPPINGMODE_ENUM_NONE);
  auto run = [](CDbDatum* a_pdbdatum, bool a_blAccess) {
    dbcontainer::ByContainer(a_pdbdatum, [a_blAccess](auto* a_pcontainer) {
      if (a_blAccess) {
        a_pcontainer->FixAccess();
      } else {
        a_pcontainer->FixCurrent();
      }
    });
  };
  run(pdbdatumDeskew, true);
  pdbdatumCropping->SetModified();
  run(pdbdatumDeskew, false);
  CDbDatum::ClearModified();
  EXPECT_EQ(pdbdatumDeskew->GetAccess(), DB_ACCESS_READWRITE);
  EXPECT_EQ(pdbdatumDeskew->GetCurrentLong(), DB_ID_AUTOMATICDESKEW_ENUM_TRUE);
  const std::string strLog = m_plog->Text();
  const std::string strLine = "Unrecognized cropping mode...7";
  ASSERT_NE(strLog.find(strLine), std::string::npos) << strLog;
  EXPECT_NE(strLog.find(strLine), strLog.rfind(strLine));

  CDbDatum* pdbdatumFilter = At(0, DB_ID_FILTERBACKGROUND, DB_BIN_BITONAL_FRONT);
  pdbdatumFilter->SetAccess(DB_ACCESS_DISABLED);
  At(0, DB_ID_FILTERBACKGROUND, DB_BIN_BITONAL_REAR)->SetModified();
  pdbdatumFilter->SetBin(DB_BIN_MACHINE);
  run(pdbdatumFilter, false);
  pdbdatumFilter->SetBin(DB_BIN_BITONAL_FRONT);
  CDbDatum::ClearModified();
  EXPECT_EQ(pdbdatumFilter->GetAccess(), DB_ACCESS_DISABLED);
  EXPECT_TRUE(m_plog->Contains("Unrecognized edbbin...1"));
}

// A range below 0 is the model's to give; one upside down, or none at all,
// leaves the amount unsupported.
TEST_F(DbImageOptionRulesTest, TheThinThickenAmountTakesTheModelsRange) {
  auto* pdbrange = dynamic_cast<CTHINTHICKENAMOUNT*>(At(0, DB_ID_THINTHICKENAMOUNT, DB_BIN_BITONAL_FRONT));
  ASSERT_NE(pdbrange, nullptr);
  const struct {
    long lMin;
    long lMax;
    bool blKeys;
    EDBACCESS edbaccess;
  } acase[] = {{-2, 2, true, DB_ACCESS_READWRITE},
               {-2, 2, false, DB_ACCESS_NOTSUPPORTED},
               {3, -3, true, DB_ACCESS_NOTSUPPORTED}};
  for (const auto& c : acase) {
    pdbrange->SetAccess(DB_ACCESS_READWRITE);
    ASSERT_EQ(pdbrange->SetDefault(3, -5, 5, 1), OS_STS_SUCCESS);
    pdbrange->FixDefaultReset();
    m_pdatabase->ConfigDelete("thinthickenamount_rangemin", DB_CONFIGTARGET_COMMON);
    m_pdatabase->ConfigDelete("thinthickenamount_rangemax", DB_CONFIGTARGET_COMMON);
    if (c.blKeys) {
      m_pdatabase->ConfigRangeSetMin("thinthickenamount", static_cast<uint64_t>(c.lMin), DB_CONFIGTARGET_COMMON);
      m_pdatabase->ConfigRangeSetMax("thinthickenamount", static_cast<uint64_t>(c.lMax), DB_CONFIGTARGET_COMMON);
    }
    pdbrange->FixDefault();
    EXPECT_EQ(pdbrange->GetAccess(), c.edbaccess) << c.lMin << ".." << c.lMax;
    if (c.edbaccess == DB_ACCESS_NOTSUPPORTED) continue;
    // The resource's default (3) kept within the range.
    EXPECT_EQ(pdbrange->GetDefaultMin(), -2);
    EXPECT_EQ(pdbrange->GetDefaultMax(), 2);
    EXPECT_EQ(pdbrange->GetMin(), -2);
    EXPECT_EQ(pdbrange->GetCurrentLong(), 2);
  }
  EXPECT_TRUE(m_plog->Contains("rules>>> thinthickenamount range 3..-3 refused, not supported...2"));
}
