// The scan commands and the driver's scan control with a GUI that answers:
// a cancel pressed before the scan starts, the scan types, the reservation
// a visible or hidden GUI leaves at scanend, commands outside a scan, and
// the window list.
#include <gtest/gtest.h>

#include <string>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
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
