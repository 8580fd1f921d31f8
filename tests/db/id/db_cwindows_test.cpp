// The window rules in the library itself (their behaviour against the model
// is the rules harness's, tests/tools/rulesmodel): the catalogue makes the
// eleven classes, the window-bin functions, the order of the cameras, the
// window-bins' profile container made once and its allocation failing, the
// windows in use, and the bad values the rules log.
#include "db_cwindows.h"

#include <string>
#include <vector>

#include "db_cdatabase.h"
#include "db_rules_fixture.h"

namespace {

class DbWindowRulesTest : public dbtest::DbRulesFixture {
 protected:
  void TearDown() override {
    CWINDOWBIN::SetProfileAllocationSeam(nullptr);
    DbRulesFixture::TearDown();
  }

  CWINDOWBIN* WindowBin() { return dynamic_cast<CWINDOWBIN*>(At(0, DB_ID_WINDOWBIN, DB_BIN_MACHINE)); }
  CWINDOW* Window() { return dynamic_cast<CWINDOW*>(At(0, DB_ID_WINDOW, DB_BIN_MACHINE)); }

  static std::vector<long> CurrentItems(CDbEnum* a_pdbenum) {
    std::vector<long> vecl;
    for (long l = 0; l < a_pdbenum->GetCurrentItemCount(); ++l) vecl.push_back(a_pdbenum->GetCurrentItem(l));
    return vecl;
  }

  static std::vector<long> DefaultItems(CDbEnum* a_pdbenum) {
    std::vector<long> vecl;
    for (long l = 0; l < a_pdbenum->GetDefaultItemCount(); ++l) vecl.push_back(a_pdbenum->GetDefaultItem(l));
    return vecl;
  }
};

bool Fail() { return true; }

}  // namespace

TEST_F(DbWindowRulesTest, TheCatalogueMakesTheElevenClasses) {
  EXPECT_NE(WindowBin(), nullptr);
  EXPECT_NE(Window(), nullptr);
  EXPECT_NE(dynamic_cast<CSUPPORTEDSIZES*>(At(0, DB_ID_SUPPORTEDSIZES, DB_BIN_MACHINE)), nullptr);
  EXPECT_NE(dynamic_cast<CUNITS*>(At(0, DB_ID_UNITS, DB_BIN_MACHINE)), nullptr);
  EXPECT_NE(dynamic_cast<CPAGESIZELIMIT*>(At(0, DB_ID_PAGESIZELIMIT, DB_BIN_MACHINE)), nullptr);
  EXPECT_NE(dynamic_cast<CPHYSICALWIDTH*>(At(0, DB_ID_PHYSICALWIDTH, DB_BIN_MACHINE)), nullptr);
  for (EDBBIN edbbin : {DB_BIN_BITONAL_FRONT, DB_BIN_COLOR_FRONT}) {
    EXPECT_NE(dynamic_cast<CWINDOWSIZE*>(At(0, DB_ID_WINDOWSIZE, edbbin)), nullptr);
    EXPECT_NE(dynamic_cast<CCROPPINGMODE*>(At(0, DB_ID_CROPPINGMODE, edbbin)), nullptr);
    EXPECT_NE(dynamic_cast<CORIENTATION*>(At(0, DB_ID_ORIENTATION, edbbin)), nullptr);
    EXPECT_NE(dynamic_cast<CIMAGESKEWANGLE*>(At(0, DB_ID_IMAGESKEWANGLE, edbbin)), nullptr);
    EXPECT_NE(dynamic_cast<CIMAGEFORMAT*>(At(0, DB_ID_IMAGEFORMAT, edbbin)), nullptr);
  }
  // The windows beyond 0 hold plain values.
  EXPECT_EQ(dynamic_cast<CDbEnum*>(At(1, DB_ID_WINDOWSIZE, DB_BIN_BITONAL_FRONT)), nullptr);
}

TEST_F(DbWindowRulesTest, FrontsAndOppositeSidesOfWindowBins) {
  const struct {
    EDBID_WINDOWBIN edbidwindowbin;
    bool blFront;
    EDBID_WINDOWBIN edbidwindowbinOpposite;
  } acase[] = {{0, true, 1},   {1, false, 0},  {2, true, 3},  {3, false, 2}, {14, true, 15},
               {42, true, 43}, {43, false, 42}, {44, false, -1}, {50, false, -1}, {-1, false, -1}};
  for (const auto& onecase : acase) {
    EXPECT_EQ(IsFront(onecase.edbidwindowbin), onecase.blFront) << onecase.edbidwindowbin;
    EXPECT_EQ(GetOppositeSide(onecase.edbidwindowbin), onecase.edbidwindowbinOpposite) << onecase.edbidwindowbin;
  }
}

// Two windows; window 1 has only its front cameras. The current camera's
// colour mode comes first in each window, the current value stays.
TEST_F(DbWindowRulesTest, OrderWindowCameraFollowsTheCurrentCamera) {
  CWINDOWBIN* pcwindowbin = WindowBin();
  ASSERT_NE(pcwindowbin, nullptr);
  Window()->AddDefaultItem(1);
  pcwindowbin->DeleteAllDefaultItems();
  for (long l : {0, 1, 2, 3, 4, 6}) pcwindowbin->AddDefaultItem(l);
  const struct {
    std::vector<long> veclBefore;
    long lCurrent;
    std::vector<long> veclAfter;
  } acase[] = {
      {{0, 1, 2, 3}, 6, {2, 0, 3, 1, 6, 4}},     // colour front of window 1
      {{0, 1, 2, 3}, 3, {2, 0, 3, 1, 6, 4}},     // colour rear
      {{2, 0, 3, 1}, 5, {0, 2, 1, 3, 4, 6}},     // bitonal rear of window 1
      {{3, 0, 2}, 3, {3, 0, 2}},                 // already first: nothing
      {{0, 1, 2, 3}, 44, {0, 1, 2, 3}},          // none: nothing
  };
  for (const auto& onecase : acase) {
    pcwindowbin->DeleteAllCurrentItems();
    for (long l : onecase.veclBefore) pcwindowbin->AddCurrentItem(l);
    pcwindowbin->SetCurrentLong(onecase.lCurrent);
    OrderWindowCamera(pcwindowbin);
    EXPECT_EQ(CurrentItems(pcwindowbin), onecase.veclAfter) << onecase.lCurrent;
    EXPECT_EQ(pcwindowbin->GetCurrentLong(), onecase.lCurrent);
  }
  OrderWindowCamera(nullptr);
}

// Every opened scanner runs the default fix-up: the container is made by
// the first and taken again, with the new scanner's list, by the next.
TEST_F(DbWindowRulesTest, TheProfileContainerIsMadeOnce) {
  CWINDOWBIN* pcwindowbin = WindowBin();
  ASSERT_NE(pcwindowbin, nullptr);
  CDbEnum* pdbenumProfile = pcwindowbin->GetProfileContainer();
  ASSERT_NE(pdbenumProfile, nullptr);
  EXPECT_EQ(m_plog->Count("new CDbEnum"), 1u) << m_plog->Text();
  EXPECT_EQ(CurrentItems(pdbenumProfile), (std::vector<long>{0, 2, 1, 3}));
  m_pdatabase->ConfigDelete("duplex", DB_CONFIGTARGET_COMMON);
  m_pdatabase->FixDefaultAll();
  EXPECT_EQ(pcwindowbin->GetProfileContainer(), pdbenumProfile);
  EXPECT_EQ(m_plog->Count("new CDbEnum"), 1u);
  EXPECT_EQ(DefaultItems(pcwindowbin), (std::vector<long>{0, 2}));
  EXPECT_EQ(CurrentItems(pdbenumProfile), (std::vector<long>{0, 2}));
  EXPECT_EQ(pdbenumProfile->GetId(), DB_ID_WINDOWBIN);
}

// Without a container the window-bins keep the list they had (the rear
// cameras the model lacks have left the default list only), the rest of the
// default fix-up goes on, and a set of a window-bin compares nothing.
TEST_F(DbWindowRulesTest, AContainerThatCannotBeMadeLeavesTheDefaultUnset) {
  const size_t sizetMade = m_plog->Count("new CDbEnum");
  ASSERT_NO_FATAL_FAILURE(OpenScanner());
  CWINDOWBIN::SetProfileAllocationSeam(Fail);
  m_pdatabase->ConfigDelete("duplex", DB_CONFIGTARGET_COMMON);
  m_pdatabase->FixDefaultAll();
  CWINDOWBIN* pcwindowbin = WindowBin();
  ASSERT_NE(pcwindowbin, nullptr);
  EXPECT_TRUE(m_plog->Contains("OsMemNew failed...")) << m_plog->Text();
  EXPECT_EQ(pcwindowbin->GetProfileContainer(), nullptr);
  EXPECT_EQ(m_plog->Count("new CDbEnum"), sizetMade);
  EXPECT_EQ(DefaultItems(pcwindowbin), (std::vector<long>{0, 2}));
  EXPECT_EQ(CurrentItems(pcwindowbin), (std::vector<long>{0, 2, 1, 3}));
  EXPECT_EQ(pcwindowbin->FixDefault(), OS_STS_FAIL);
  EXPECT_EQ(Value(0, DB_ID_PHYSICALWIDTH, DB_BIN_MACHINE), 10200);
  EXPECT_EQ(Set(0, DB_ID_WINDOWBIN, DB_BIN_MACHINE, 2), DB_STS_SUCCESS);
  EXPECT_EQ(Value(0, DB_ID_WINDOW, DB_BIN_MACHINE), 0);
}

// The windows in use are those WINDOW lists: at least window 0, at most the
// 11 there are.
TEST_F(DbWindowRulesTest, TheWindowListGivesTheWindowsInUse) {
  CWINDOW* pcwindow = Window();
  ASSERT_NE(pcwindow, nullptr);
  EXPECT_EQ(m_pdatabase->GetWindowMax(), 1);
  for (long l = 1; l < 3; ++l) pcwindow->AddCurrentItem(l);
  pcwindow->FixDefault();
  EXPECT_EQ(m_pdatabase->GetWindowMax(), 3);
  pcwindow->DeleteAllCurrentItems();
  pcwindow->FixDefault();
  EXPECT_EQ(m_pdatabase->GetWindowMax(), 1);
  EXPECT_TRUE(m_plog->Contains("window>>> 0 windows listed, 1 in use...")) << m_plog->Text();
  for (long l = 0; l < 12; ++l) pcwindow->AddCurrentItem(l);
  pcwindow->FixDefault();
  EXPECT_EQ(m_pdatabase->GetWindowMax(), DB_WINDOW_COUNT);
}

// A damaged profile writes a job outside the list or a window beyond the
// last: logged, the window-bin unchanged or none.
TEST_F(DbWindowRulesTest, BadValuesAreLogged) {
  CDbDatum* pdbdatumJob = At(0, DB_ID_INPUTDOCUMENT, DB_BIN_MACHINE);
  pdbdatumJob->SetCurrentLong(7);
  m_pdatabase->FixCurrentAll(pdbdatumJob);
  EXPECT_TRUE(m_plog->Contains("Unexpected INPUTDOCUMENT: 7")) << m_plog->Text();
  EXPECT_EQ(Value(0, DB_ID_WINDOWBIN, DB_BIN_MACHINE), 0);
  CDbDatum* pdbdatumWindow = At(0, DB_ID_WINDOW, DB_BIN_MACHINE);
  pdbdatumWindow->SetCurrentLong(12);
  m_pdatabase->FixCurrentAll(pdbdatumWindow);
  EXPECT_TRUE(m_plog->Contains("trouble...window 12 windowbin 0")) << m_plog->Text();
  EXPECT_EQ(Value(0, DB_ID_WINDOWBIN, DB_BIN_MACHINE), 44);
}

// A format chosen for a camera in window 0 reaches that camera in windows 1
// and 2 and no other camera anywhere.
TEST_F(DbWindowRulesTest, AnImageFormatStaysWithinItsOwnCamera) {
  CDbDatum::SetWindowMax(3);
  for (EDBID_WINDOW edbidwindow = 0; edbidwindow < 3; ++edbidwindow) {
    for (EDBBIN edbbin : {DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR}) {
      CDbDatum* pdbdatum = At(edbidwindow, DB_ID_IMAGEFORMAT, edbbin);
      ASSERT_NE(pdbdatum, nullptr);
      pdbdatum->SetCurrentLong(DB_ID_IMAGEFORMAT_ENUM_RGB_24);
    }
  }
  ASSERT_EQ(Set(0, DB_ID_IMAGEFORMAT, DB_BIN_COLOR_REAR, DB_ID_IMAGEFORMAT_ENUM_GRAY_8), DB_STS_SUCCESS);
  for (EDBID_WINDOW edbidwindow = 0; edbidwindow < 3; ++edbidwindow) {
    SCOPED_TRACE(edbidwindow);
    EXPECT_EQ(Value(edbidwindow, DB_ID_IMAGEFORMAT, DB_BIN_COLOR_REAR), 2);
    EXPECT_EQ(Value(edbidwindow, DB_ID_IMAGEFORMAT, DB_BIN_COLOR_FRONT), 3);
  }
  // From a later window: the camera's other windows follow it there.
  ASSERT_EQ(Set(2, DB_ID_IMAGEFORMAT, DB_BIN_COLOR_FRONT, DB_ID_IMAGEFORMAT_ENUM_GRAY_8), DB_STS_SUCCESS);
  EXPECT_EQ(Value(1, DB_ID_IMAGEFORMAT, DB_BIN_COLOR_FRONT), 2);
  EXPECT_EQ(Value(2, DB_ID_IMAGEFORMAT, DB_BIN_COLOR_FRONT), 2);
  EXPECT_EQ(Value(1, DB_ID_IMAGEFORMAT, DB_BIN_COLOR_REAR), 2);
}
