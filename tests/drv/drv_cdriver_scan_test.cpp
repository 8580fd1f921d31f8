// The scan commands and the driver's scan control with a GUI that answers:
// a cancel pressed before the scan starts, the scan types, the reservation
// a visible or hidden GUI leaves at scanend, commands outside a scan, and
// the window list.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "drv_cdriver.h"
#include "drv_cdrvcommandfsm.h"
#include "drv_cdrvgui.h"
#include "drv_scan_fixture.h"
#include "test_support.h"

namespace {

using drvtest::DrvScanFixture;

class DrvScanTest : public DrvScanFixture {
 protected:
  void SetUp() override {
    DrvScanFixture::SetUp();
    Open();
  }
};

// A cancel pressed before the scan starts answers "cancel", shows no error,
// starts nothing on the device and gives the reservation back.
TEST_F(DrvScanTest, ACancelBeforeTheScanAnswersCancelWithoutAMessage) {
  m_guiseam.Answer(DRV_GUIACTION_REQUESTCANCELPRESSED, OS_STS_SUCCESS);
  const std::string strReply = Run("<scanbegin></scanbegin>");
  EXPECT_EQ(Status(strReply), "cancel") << strReply;
  EXPECT_EQ(m_guiseam.Asked(DRV_GUIACTION_MESSAGEMANAGERANDWAITFOROK), 0);
  EXPECT_EQ(DeviceTasks("scanbegin"), 0u);
  EXPECT_EQ(DeviceTasks("resourcebegin"), DeviceTasks("resourceend"));
  EXPECT_EQ(m_pdriver->GetCommandFsm()->GetCurrentState(), DRV_STATE_INITIALIZED);
  EXPECT_EQ(Status(Run("<getoutput></getoutput>")), "invalidstate");
}

// Type 2 is a preview; an unknown type changes nothing and fails.
TEST_F(DrvScanTest, TheScanTypeSetsThePreviewMode) {
  EXPECT_EQ(m_pdriver->ScanBegin(DRV_SCANTYPE_PREVIEW, false), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(CurrentLong(DB_ID_PREVIEWMODE), 2);
  m_pdriver->ScanEnd(true);
  EXPECT_EQ(CurrentLong(DB_ID_PREVIEWIMAGEACQUIRE), 1);
  const int iStates = m_guiseam.Asked(DRV_GUIACTION_SETSTATE);
  {
    CDbLockGuard dblockguard;
    m_pdriver->GetDatabase()->NotifyResetAll();
  }
  EXPECT_EQ(m_pdriver->ScanBegin(static_cast<EDRVSCANTYPE>(4), false), OS_STS_FAIL);
  EXPECT_EQ(Logged("Unrecognized scantype...4"), 1u);
  EXPECT_EQ(CurrentLong(DB_ID_PREVIEWMODE), 2);
  EXPECT_EQ(m_guiseam.Asked(DRV_GUIACTION_SETSTATE), iStates);
  CDbLockGuard dblockguard;
  EXPECT_EQ(m_pdriver->GetDatabase()->NotifyGetFirst(DB_NOTIFY_VALUE), nullptr);
}

// The GUI's queries answer 0 for yes: a visible GUI keeps the device for
// its dialog, a hidden one (any other answer) gives it back with the scan.
TEST_F(DrvScanTest, ScanendReleasesTheReservationUnlessTheGuiIsVisible) {
  const struct {
    EOSSTS eosstsVisible;
    bool blReleased;
  } acase[] = {{OS_STS_SUCCESS, false}, {static_cast<EOSSTS>(49), true}, {OS_STS_FAIL, true}};
  for (const auto& c : acase) {
    SCOPED_TRACE(static_cast<int>(c.eosstsVisible));
    m_guiseam.Answer(DRV_GUIACTION_GETUIVISIBLE, c.eosstsVisible);
    const std::string strBegin = Run("<scanbegin><useendofsheet>TRUE</useendofsheet></scanbegin>");
    ASSERT_EQ(Status(strBegin), "success") << strBegin << m_plog->Text();
    EXPECT_EQ(Field(strBegin, "outputimagecount"), "0");
    {
      CDbLockGuard dblockguard;
      EXPECT_EQ(m_pdriver->GetDatabase()->ConfigGetNumber("useendofsheet", DB_CONFIGTARGET_COMMON), 0);
    }
    EXPECT_EQ(m_pdriver->GetCommandFsm()->GetCurrentState(), DRV_STATE_SCAN);
    const size_t sizetEnds = DeviceTasks("resourceend");
    const std::string strEnd = Run("<scanend></scanend>");
    EXPECT_EQ(Status(strEnd), "success") << strEnd;
    EXPECT_NE(strEnd.find("<reportscanend>"), std::string::npos) << strEnd;
    EXPECT_EQ(Field(strEnd, "multifeedcount"), "0") << strEnd;
    EXPECT_EQ(DeviceTasks("resourceend") - sizetEnds, c.blReleased ? 1u : 0u);
    EXPECT_EQ(m_pdriver->GetCommandFsm()->GetCurrentState(), DRV_STATE_INITIALIZED);
    if (!c.blReleased) Run("<uiend></uiend>");
  }
}

// With the GUI visible the reservation stays, but a scanner on line (device
// status 2) has the scanning dialog (6) cleared all the same, as a hidden
// GUI has.
TEST_F(DrvScanTest, ScanendClearsTheScanningDialogOfAScannerOnLine) {
  for (const EOSSTS eosstsVisible : {OS_STS_SUCCESS, OS_STS_FAIL}) {
    SCOPED_TRACE(static_cast<int>(eosstsVisible));
    m_guiseam.Answer(DRV_GUIACTION_GETUIVISIBLE, eosstsVisible);
    ASSERT_EQ(Status(Run("<scanbegin></scanbegin>")), "success");
    ASSERT_EQ(m_pdriver->GetDev()->GetDeviceStatus(), 2);
    const std::vector<int32_t> vecBefore = m_guiseam.Values(DRV_GUIACTION_MESSAGEMANAGERCLEAR);
    EXPECT_EQ(Status(Run("<scanend></scanend>")), "success");
    std::vector<int32_t> vecCleared = m_guiseam.Values(DRV_GUIACTION_MESSAGEMANAGERCLEAR);
    vecCleared.erase(vecCleared.begin(), vecCleared.begin() + static_cast<long>(vecBefore.size()));
    EXPECT_EQ(vecCleared, std::vector<int32_t>{6});
    if (eosstsVisible == OS_STS_SUCCESS) Run("<uiend></uiend>");
  }
}

// The GUI shows the scan's messages unless a custom dropout is being learnt
// (ECDOCUSTOMLEARNPRESSED answers 0 for yes): a paper jam then shows none.
class DrvScanMessages : public DrvScanFixture, public ::testing::WithParamInterface<EOSSTS> {};

TEST_P(DrvScanMessages, APaperJamShowsItsMessageUnlessACustomDropoutIsLearnt) {
  Open({{"pages", "2"}, {"paperjam", "1"}});
  {
    // Messages for a model whose indicators show errors.
    CDbLockGuard dblockguard;
    CDatabase* pdatabase = m_pdriver->GetDatabase();
    if (CDbDatum* pdbdatum = pdatabase->Find(DB_ID_INDICATORSMODE))
      pdatabase->EnumAddItem(pdbdatum, DB_ID_INDICATORSMODE_ENUM_ERROR);
  }
  m_guiseam.Answer(DRV_GUIACTION_GETSHOWUI, OS_STS_SUCCESS);
  m_guiseam.Answer(DRV_GUIACTION_ECDOCUSTOMLEARNPRESSED, GetParam());
  ASSERT_EQ(Status(Run("<scanbegin></scanbegin>")), "success");
  std::string strStatus = "noimageready";
  for (int i = 0; i < 2000 && strStatus == "noimageready"; ++i) {
    strStatus = Status(Run("<getoutput></getoutput>"));
    if (strStatus == "noimageready") std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(strStatus, "paperjam");
  const std::vector<int32_t> vecShown = m_guiseam.Values(DRV_GUIACTION_MESSAGEMANAGER);
  EXPECT_EQ(std::count(vecShown.begin(), vecShown.end(), 6), GetParam() == OS_STS_SUCCESS ? 0 : 1);
  Run("<scanend></scanend>");
}

INSTANTIATE_TEST_SUITE_P(Learnt, DrvScanMessages, ::testing::Values(OS_STS_FAIL, OS_STS_SUCCESS));

// A feeder that names its flatbed, opened.
class DrvRescanTest : public DrvScanFixture {
 protected:
  void SetUp() override {
    setenv("SIMSCAN_ADF_FLATBED", (std::string(SCANDRV_STAGE_MODEL) + "flatbed").c_str(), 1);
    DrvScanFixture::SetUp();
    Open();
  }
  void TearDown() override {
    DrvScanFixture::TearDown();
    unsetenv("SIMSCAN_ADF_FLATBED");
  }
  void SetLong(EDBID a_edbid, long a_lValue) {
    CDbLockGuard dblockguard;
    m_pdriver->GetDatabase()->SetCurrentLongFromId(a_edbid, a_lValue, false);
  }
};

// A feeder scan that got nothing is rescanned from the flatbed, unless any
// one of these holds (each row alone, undone after).
TEST_F(DrvRescanTest, NeedRescanFromFlatbedAsEachConditionSays) {
  CDatabase* pdatabase = m_pdriver->GetDatabase();
  SetLong(DB_ID_PAPERSOURCE, 1);
  SetLong(DB_ID_INPUTDOCUMENT, 1);
  ASSERT_EQ(pdatabase->GetCurrentLongFromId(DB_ID_PAPERSOURCE), 1);
  ASSERT_NE(pdatabase->GetCurrentLongFromId(DB_ID_INPUTDOCUMENT), 3);
  {
    // The stand-in can tell whether the feeder holds paper: as a model that
    // cannot, first.
    CDbLockGuard dblockguard;
    ASSERT_TRUE(pdatabase->ConfigExists("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON));
    pdatabase->ConfigDelete("paperdetectable", DB_CONFIGTARGET_COMMON);
  }
  ASSERT_FALSE(pdatabase->TestDbState(DB_STATE_FLATBEDSCAN));
  ASSERT_FALSE(pdatabase->TestDbState(DB_STATE_LEARNSCAN));
  ASSERT_FALSE(pdatabase->TestDbState(DB_STATE_ECDOCUSTOMLEARN));
  ASSERT_TRUE(m_pdriver->NeedRescanFromFlatbed());
  std::string strFlatbed;
  {
    CDbLockGuard dblockguard;
    strFlatbed = pdatabase->ConfigGetString("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON);
  }
  const auto State = [&](EDBSTATE a_edbstate) {
    return std::make_pair(std::function<void()>([=] { pdatabase->SetDbState(a_edbstate); }),
                          std::function<void()>([=] { pdatabase->ClearDbState(a_edbstate); }));
  };
  const auto Config = [&](const char* a_szId, const std::string& a_strValue) {
    return std::make_pair(std::function<void()>([=] {
                            CDbLockGuard dblockguard;
                            if (a_strValue.empty()) {
                              pdatabase->ConfigDelete(a_szId, DB_CONFIGTARGET_COMMON);
                            } else {
                              pdatabase->ConfigSetString(a_szId, a_strValue.c_str(), DB_CONFIGTARGET_COMMON);
                            }
                          }),
                          std::function<void()>([=] {
                            CDbLockGuard dblockguard;
                            if (a_strValue.empty()) {
                              pdatabase->ConfigSetString(a_szId, strFlatbed.c_str(), DB_CONFIGTARGET_COMMON);
                            } else {
                              pdatabase->ConfigDelete(a_szId, DB_CONFIGTARGET_COMMON);
                            }
                          }));
  };
  const auto Long = [&](EDBID a_edbid, long a_lValue, long a_lBack) {
    return std::make_pair(std::function<void()>([=, this] { SetLong(a_edbid, a_lValue); }),
                          std::function<void()>([=, this] { SetLong(a_edbid, a_lBack); }));
  };
  const struct {
    const char* szName;
    std::pair<std::function<void()>, std::function<void()>> pairDoUndo;
  } arow[] = {
      {"no flatbed", Config("modeldirectoryflatbed", "")},
      {"paper detectable", Config("paperdetectable", "true")},
      {"paper source not the feeder", Long(DB_ID_PAPERSOURCE, 2, 1)},
      {"input document flatbed only", Long(DB_ID_INPUTDOCUMENT, 3, 1)},
      {"flatbed scan (state 6)", State(DB_STATE_FLATBEDSCAN)},
      {"learning scan (state 9)", State(DB_STATE_LEARNSCAN)},
      {"custom dropout learnt (state 12)", State(DB_STATE_ECDOCUSTOMLEARN)},
      {"an image got", std::make_pair(std::function<void()>([&] { m_pdriver->SetGotImage(true); }),
                                      std::function<void()>([&] { m_pdriver->SetGotImage(false); }))},
  };
  for (const auto& row : arow) {
    SCOPED_TRACE(row.szName);
    row.pairDoUndo.first();
    EXPECT_FALSE(m_pdriver->NeedRescanFromFlatbed());
    row.pairDoUndo.second();
    ASSERT_TRUE(m_pdriver->NeedRescanFromFlatbed());
  }
}

// Commands that need a scan are refused outside one; a second scanend and
// a stop without a scan still answer.
TEST_F(DrvScanTest, CommandsOutsideAScan) {
  for (const char* sz : {"<getoutput></getoutput>", "<scanrequeststop></scanrequeststop>"})
    EXPECT_EQ(Status(Run(sz)), "invalidstate") << sz;
  EXPECT_EQ(Status(Run("<scanbegin><useendofsheet>true</useendofsheet></scanbegin>")), "success");
  {
    CDbLockGuard dblockguard;
    EXPECT_EQ(m_pdriver->GetDatabase()->ConfigGetNumber("useendofsheet", DB_CONFIGTARGET_COMMON), 1);
  }
  EXPECT_EQ(Status(Run("<scanrequeststop></scanrequeststop>")), "success");
  for (int i = 0; i < 2; ++i) {
    const std::string strEnd = Run("<scanend></scanend>");
    EXPECT_EQ(Status(strEnd), "success") << strEnd;
  }
  EXPECT_EQ(m_pdriver->GetCommandFsm()->GetCurrentState(), DRV_STATE_INITIALIZED);
}

// The window list of the default windows, read by xmllint and checked
// against the database: one item per window-bin listed.
TEST_F(DrvScanTest, TheWindowListNamesEachWindowInUse) {
  const std::string strReply = Run("<get><id>windowlist</id></get>");
  ASSERT_EQ(Status(strReply), "success") << strReply << m_plog->Text();
  EXPECT_EQ(XmlLint(strReply), 0) << strReply;
  long lItems;
  {
    CDbLockGuard dblockguard;
    lItems = m_pdriver->GetDatabase()->EnumGetCurrentItemCount(DB_ID_WINDOWBIN);
  }
  size_t sizetItems = 0;
  for (size_t sizet = strReply.find("<windowitem>"); sizet != std::string::npos;
       sizet = strReply.find("<windowitem>", sizet + 1))
    ++sizetItems;
  EXPECT_EQ(sizetItems, static_cast<size_t>(lItems)) << strReply;
  EXPECT_NE(strReply.find("<cameratype>front</cameratype>"), std::string::npos) << strReply;
  EXPECT_NE(strReply.find("<id>imageformat</id>"), std::string::npos) << strReply;
}

}  // namespace

// A window-bin outside the windows (no camera bin) fails the whole list.
TEST_F(DrvScanTest, AWindowBinWithoutACameraFailsTheList) {
  {
    CDbLockGuard dblockguard;
    CDatabase* pdatabase = m_pdriver->GetDatabase();
    CDbDatum* pdbdatum = pdatabase->Find(DB_ID_WINDOWBIN);
    ASSERT_NE(pdbdatum, nullptr);
    ASSERT_EQ(pdatabase->EnumAddItem(pdbdatum, DB_WINDOWBIN_COUNT + 2), DB_STS_SUCCESS);
  }
  const std::string strReply = Run("<get><id>windowlist</id></get>");
  EXPECT_EQ(Status(strReply), "fail") << strReply;
  EXPECT_EQ(strReply.find("windowitem"), std::string::npos) << strReply;
  EXPECT_EQ(XmlLint(strReply), 0) << strReply;
  EXPECT_EQ(Logged("unrecognized edbbin...-1"), 1u);
}
