// The rule toolkit on an opened scanner's database: configuration numbers
// read as C reads them, range bounds read signed, the states the rules test, the modified value seen
// from each camera, the cameras in use over the windows, reads with their
// fallbacks, and an enumeration the scanner leaves empty.
#include "db_crulekit.h"

#include "db_cdbenum.h"
#include "db_rules_fixture.h"

namespace {

using dbtest::DbRulesFixture;
using RuleKitTest = DbRulesFixture;

}  // namespace

TEST_F(RuleKitTest, ConfigurationNumbersAreReadAsCReadsThem) {
  const struct {
    const char* szText;
    long lNumber;
  } acase[] = {{"12", 12}, {"0x1f", 31}, {"010", 8}, {"-7", -7}, {"", 0}, {nullptr, 0}, {"abc", 0}, {"3d", 3}};
  for (const auto& c : acase) {
    Configure(OS_CFGTAG_SKIPIAVALIDATION, c.szText);
    EXPECT_EQ(CRuleKit::ConfigNumber(OS_CFGSECTION_MAIN, OS_CFGTAG_SKIPIAVALIDATION), c.lNumber)
        << (c.szText ? c.szText : "(unset)");
  }
  // The driver's own values: the table's default while the store holds none.
  EXPECT_EQ(CRuleKit::DriverConfigNumber(DRV_CFGTAG_FORCEUNITS), 0);
  EXPECT_EQ(CRuleKit::DriverConfigNumber(DRV_CFGTAG_FORCEINDICATORS), 2);
  // No store at all.
  COsCfg* poscfg = g_poscfg;
  g_poscfg = nullptr;
  EXPECT_EQ(CRuleKit::ConfigNumber(OS_CFGSECTION_MAIN, OS_CFGTAG_SKIPIAVALIDATION), 0);
  g_poscfg = poscfg;
}

// The store keeps a range bound as the bits of a 64-bit number: a bound
// below 0 reads back as the negative number the scanner wrote, a missing one
// as 0.
TEST_F(RuleKitTest, ConfigurationRangesAreReadSigned) {
  m_pdatabase->ConfigRangeSetMin("thinthickenamount", static_cast<uint64_t>(-2), DB_CONFIGTARGET_COMMON);
  m_pdatabase->ConfigRangeSetMax("thinthickenamount", 2, DB_CONFIGTARGET_COMMON);
  EXPECT_EQ(CRuleKit::ConfigRangeMin(*m_pdatabase, "thinthickenamount", DB_CONFIGTARGET_COMMON), -2);
  EXPECT_EQ(CRuleKit::ConfigRangeMax(*m_pdatabase, "thinthickenamount", DB_CONFIGTARGET_COMMON), 2);
  EXPECT_EQ(CRuleKit::ConfigRangeMax(*m_pdatabase, "sheetheight", DB_CONFIGTARGET_ADF), 33000);
  EXPECT_EQ(CRuleKit::ConfigRangeMax(*m_pdatabase, "nosuchrange", DB_CONFIGTARGET_COMMON), 0);
}

// Relaxed checks: the configuration switch while a request of the
// application or the GUI is served; neither alone.
TEST_F(RuleKitTest, StatesOfTheDatabase) {
  const struct {
    const char* szSwitch;
    bool blRelaxed;
  } acase[] = {{"0", false}, {"0x1", true}, {"", false}, {"junk", false}, {"010", true}};
  for (const auto& c : acase) {
    Configure(OS_CFGTAG_SKIPIAVALIDATION, c.szSwitch);
    EXPECT_FALSE(CRuleKit::IsRelaxed()) << c.szSwitch;
    for (EDBSTATE edbstate : {DB_STATE_APPLICATION, DB_STATE_GUI}) {
      m_pdatabase->SetDbState(edbstate);
      EXPECT_EQ(CRuleKit::IsRelaxed(), c.blRelaxed) << c.szSwitch << " " << edbstate;
      m_pdatabase->ClearDbState(edbstate);
    }
  }
  EXPECT_FALSE(CRuleKit::IsRelaxed());
  EXPECT_FALSE(CRuleKit::IsLoading());
  m_pdatabase->SetDbState(DB_STATE_LOADING);
  EXPECT_TRUE(CRuleKit::IsLoading());
  m_pdatabase->ClearDbState(DB_STATE_LOADING);
  EXPECT_FALSE(CRuleKit::IsPreview());
  ASSERT_EQ(Set(0, DB_ID_PREVIEWMODE, DB_BIN_MACHINE, DB_ID_PREVIEWMODE_ENUM_TRUE), DB_STS_SUCCESS);
  EXPECT_TRUE(CRuleKit::IsPreview());
}

// M seen from each camera: its own, the other colour mode of its side
// (partner) or the other side in its colour mode.
TEST_F(RuleKitTest, TheModifiedValueAsEachCameraSeesIt) {
  DbRuleModified dbrulemodified;
  EXPECT_FALSE(CRuleKit::GetModified(At(0, DB_ID_FRAMEWIDTH, DB_BIN_BITONAL_FRONT), &dbrulemodified));
  CDbDatum* pdbdatumCropping = At(0, DB_ID_CROPPINGMODE, DB_BIN_BITONAL_FRONT);
  pdbdatumCropping->SetCurrentLong(DB_ID_CROPPINGMODE_ENUM_FIXED);
  pdbdatumCropping->SetModified();
  const struct {
    EDBBIN edbbinOwn;
    bool blOwn, blPartner, blOtherSide;
  } acase[] = {{DB_BIN_BITONAL_FRONT, true, false, false},
               {DB_BIN_COLOR_FRONT, false, true, false},
               {DB_BIN_BITONAL_REAR, false, false, true},
               {DB_BIN_COLOR_REAR, false, false, false},
               {DB_BIN_MACHINE, false, false, false}};
  for (const auto& c : acase) {
    SCOPED_TRACE(c.edbbinOwn);
    CDbDatum* pdbdatumOwn = c.edbbinOwn == DB_BIN_MACHINE ? At(0, DB_ID_PAPERSOURCE, DB_BIN_MACHINE)
                                                          : At(0, DB_ID_FRAMEWIDTH, c.edbbinOwn);
    ASSERT_TRUE(CRuleKit::GetModified(pdbdatumOwn, &dbrulemodified));
    EXPECT_EQ(dbrulemodified.pdbdatum, pdbdatumCropping);
    EXPECT_EQ(dbrulemodified.edbid, DB_ID_CROPPINGMODE);
    EXPECT_EQ(dbrulemodified.lNew, DB_ID_CROPPINGMODE_ENUM_FIXED);
    EXPECT_EQ(dbrulemodified.lPrevious, DB_ID_CROPPINGMODE_ENUM_AUTOMATIC);
    EXPECT_EQ(dbrulemodified.blOwnCamera, c.blOwn);
    EXPECT_EQ(dbrulemodified.blPartner, c.blPartner);
    EXPECT_EQ(dbrulemodified.blOtherSide, c.blOtherSide);
  }
  CDbDatum::ClearModified();
}

// A cropping change counts for a camera's frame when it is the camera's own
// or when long paper (5) comes or goes.
TEST_F(RuleKitTest, WhichCroppingChangesCount) {
  const struct {
    EDBID edbid;
    bool blOwn;
    long lNew, lPrevious;
    bool blCounts;
  } acase[] = {{DB_ID_CROPPINGMODE, true, 2, 1, true},  {DB_ID_CROPPINGMODE, false, 2, 1, false},
               {DB_ID_CROPPINGMODE, false, 5, 1, true}, {DB_ID_CROPPINGMODE, false, 3, 5, true},
               {DB_ID_WINDOWSIZE, true, 5, 5, false}};
  for (const auto& c : acase) {
    const DbRuleModified dbrulemodified = {nullptr, c.edbid, DB_BIN_BITONAL_FRONT, 0, c.lNew, c.lPrevious,
                                           c.blOwn, false, false};
    EXPECT_EQ(CRuleKit::IsCroppingChangeThatCounts(dbrulemodified), c.blCounts)
        << c.edbid << " " << c.blOwn << " " << c.lNew << " " << c.lPrevious;
  }
}

// Only the windows in use count; a missing or unsupported camera is off.
TEST_F(RuleKitTest, CamerasInUseOverTheWindows) {
  // The database resource turns the bitonal cameras on in window 0.
  CDbDatum::SetWindowMax(3);
  DbRuleCameras dbrulecameras = CRuleKit::CamerasInUse();
  EXPECT_TRUE(dbrulecameras.blBitonalFront && dbrulecameras.blBitonalRear);
  EXPECT_FALSE(dbrulecameras.blColorFront || dbrulecameras.blColorRear);
  At(2, DB_ID_CAMERAENABLE, DB_BIN_COLOR_REAR)->SetCurrentLong(DB_ID_CAMERAENABLE_ENUM_TRUE);
  At(3, DB_ID_CAMERAENABLE, DB_BIN_COLOR_FRONT)->SetCurrentLong(DB_ID_CAMERAENABLE_ENUM_TRUE);
  dbrulecameras = CRuleKit::CamerasInUse();
  EXPECT_TRUE(dbrulecameras.blColorRear);
  EXPECT_FALSE(dbrulecameras.blColorFront);
  EXPECT_TRUE(CRuleKit::IsCameraOn(3, DB_BIN_COLOR_FRONT));
  At(0, DB_ID_CAMERAENABLE, DB_BIN_COLOR_REAR)->SetAccess(DB_ACCESS_NOTSUPPORTED);
  EXPECT_FALSE(CRuleKit::CamerasInUse().blColorRear);
}

TEST_F(RuleKitTest, ReadsFallBackWhereThereIsNothingToRead) {
  EXPECT_EQ(CRuleKit::ValueOf(DB_ID_PHYSICALWIDTH, DB_BIN_MACHINE, -1), 10200);  // the sheet's
  EXPECT_EQ(CRuleKit::ValueOf(DB_ID_PHYSICALWIDTH, DB_BIN_BITONAL_FRONT, -1), -1);  // no such bin
  EXPECT_EQ(CRuleKit::ValueOf(DB_ID_ALARMVOLUME, DB_BIN_MACHINE, -2), -2);        // not supported
  EXPECT_EQ(CRuleKit::ValueOf(static_cast<EDBID>(253), DB_BIN_MACHINE, -3), -3);
  EXPECT_EQ(CRuleKit::ValueOf(DB_ID_PHYSICALWIDTH, static_cast<EDBBIN>(6), -4), -4);
  At(4, DB_ID_FRAMEWIDTH, DB_BIN_BITONAL_FRONT)->SetCurrentLong(4800);
  EXPECT_EQ(CRuleKit::ValueIn(4, DB_ID_FRAMEWIDTH, DB_BIN_BITONAL_FRONT, -1), 4800);
  // A window without a datum of its own reads window 0's.
  EXPECT_EQ(CRuleKit::ValueIn(4, DB_ID_CROPPINGMODE, DB_BIN_BITONAL_FRONT, -1), DB_ID_CROPPINGMODE_ENUM_AUTOMATIC);
  EXPECT_EQ(CRuleKit::ValueIn(11, DB_ID_FRAMEWIDTH, DB_BIN_BITONAL_FRONT, -5), -5);
  EXPECT_EQ(CRuleKit::ValueIn(-1, DB_ID_FRAMEWIDTH, DB_BIN_BITONAL_FRONT, -6), -6);
  EXPECT_EQ(CRuleKit::CroppingMode(DB_BIN_MACHINE), DB_ID_CROPPINGMODE_ENUM_AUTOMATIC);
}

// An enumeration left without values is not offered (logged once); one with
// values stays as it is.
TEST_F(RuleKitTest, AnEnumerationLeftEmptyIsNotSupported) {
  auto* pdbenum = dynamic_cast<CDbEnum*>(At(0, DB_ID_MEDIATYPE, DB_BIN_BITONAL_FRONT));
  ASSERT_NE(pdbenum, nullptr);
  EXPECT_FALSE(CRuleKit::UnsupportIfEmpty(pdbenum));
  EXPECT_EQ(pdbenum->GetAccess(), DB_ACCESS_READWRITE);
  pdbenum->DeleteAllDefaultItems();
  EXPECT_TRUE(CRuleKit::UnsupportIfEmpty(pdbenum));
  EXPECT_EQ(pdbenum->GetAccess(), DB_ACCESS_NOTSUPPORTED);
  EXPECT_TRUE(CRuleKit::UnsupportIfEmpty(pdbenum));
  EXPECT_FALSE(CRuleKit::UnsupportIfEmpty(nullptr));
  const std::string strLog = m_plog->Text();
  const std::string strLine = "rules>>> MEDIATYPE offers nothing on this scanner, not supported...2";
  EXPECT_NE(strLog.find(strLine), std::string::npos) << strLog;
  EXPECT_EQ(strLog.find(strLine), strLog.rfind(strLine));
}
