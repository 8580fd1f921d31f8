// The GUI bridge's report elements on the database an opened scanner
// leaves (mapleB, the simulated scanner's default): what each report kind
// covers, the frame height's maximum, the windows' own tags, and a
// capability that cannot be written left out of a well-formed reply.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "db_cdbdatum.h"
#include "drv_cdrvguiimpl.h"
#include "drv_cdrvguireports.h"
#include "drv_opened_fixture.h"

namespace {

class DrvGuiReportsTest : public drvtest::DrvOpenedFixture {
 protected:
  void SetUp() override {
    DrvOpenedFixture::SetUp();
    m_pdrvguireports = std::make_unique<CDrvGuiReports>(m_pdatabase.get(), nullptr, nullptr);
  }
  void TearDown() override {
    m_pdrvguireports.reset();
    DrvOpenedFixture::TearDown();
  }
  void Register(const std::vector<std::string>& a_vecstrName) {
    CDbLockGuard dblockguard;
    m_pdrvguireports->RegisterClear();
    for (const std::string& str : a_vecstrName) m_pdrvguireports->RegisterName(str.c_str());
  }
  // One report in a task of its own, checked well formed.
  template <typename FN>
  std::string Report(FN a_fn) {
    CDrvGuiTask drvguitask;
    drvguitask.TaskBegin(7);
    {
      CDbLockGuard dblockguard;
      a_fn(drvguitask);
    }
    drvguitask.TaskEnd();
    EXPECT_EQ(dbtest::DbFixture::XmlLint(drvguitask.Text()), 0) << drvguitask.Text();
    return drvguitask.Text();
  }
  CDbDatum* Datum(EDBBIN a_edbbin, EDBID a_edbid) {
    CDbDatum* pdbdatum = m_pdatabase->FindInBin(a_edbbin, a_edbid);
    EXPECT_NE(pdbdatum, nullptr) << a_edbid;
    return pdbdatum;
  }

  std::unique_ptr<CDrvGuiReports> m_pdrvguireports;
};

// Kind 2 reports every registered list; kind 3 leaves out one whose list
// is the same in every camera bin, and takes it back once one bin's differs.
TEST_F(DrvGuiReportsTest, DifferentOnlyLeavesOutListsEqualInAllCameras) {
  // The first camera list of the scanner that starts alike in all bins
  // (a list with a change pending never counts as alike).
  m_pdatabase->NotifyResetAll();
  CDbDatum* pdbdatumAlike = nullptr;
  for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL && !pdbdatumAlike; ++iId) {
    CDbDatum* pdbdatum = m_pdatabase->FindInBin(DB_BIN_BITONAL_REAR, static_cast<EDBID>(iId));
    if (pdbdatum && m_pdatabase->GetBin(pdbdatum) == DB_BIN_BITONAL_REAR &&
        m_pdatabase->GetContainerType(pdbdatum) == DB_CONTAINERTYPE_ENUM &&
        m_pdatabase->EnumMatchAcrossBins(pdbdatum) &&
        m_pdatabase->EnumGetItemCount(pdbdatum) > 1 && *m_pdatabase->LookupGet(pdbdatum)->szLexicon)
      pdbdatumAlike = pdbdatum;
  }
  ASSERT_NE(pdbdatumAlike, nullptr);
  const std::string strAlike = m_pdatabase->LookupGet(pdbdatumAlike)->szLexicon;
  Register({strAlike, "imageformat"});
  const auto ids = [&](EDRVREPORT a_edrvreport) {
    return All(Report([&](CDrvGuiTask& t) { m_pdrvguireports->CmdReportContainers(t, a_edrvreport, nullptr); }),
               "id");
  };
  ASSERT_FALSE(m_pdatabase->EnumMatchAcrossBins(Datum(DB_BIN_BITONAL_FRONT, DB_ID_IMAGEFORMAT)));
  const bool blFirst = m_pdatabase->GetId(pdbdatumAlike) < DB_ID_IMAGEFORMAT;
  const std::vector<std::string> vecstrBoth =
      blFirst ? std::vector<std::string>{strAlike, "imageformat"} : std::vector<std::string>{"imageformat", strAlike};
  EXPECT_EQ(ids(DRV_REPORT_ALL), vecstrBoth);
  EXPECT_EQ(ids(DRV_REPORT_DIFFERENT), std::vector<std::string>{"imageformat"});
  ASSERT_EQ(m_pdatabase->EnumDeleteItem(pdbdatumAlike, m_pdatabase->EnumGetItem(pdbdatumAlike, 1)), DB_STS_SUCCESS);
  EXPECT_EQ(ids(DRV_REPORT_DIFFERENT), vecstrBoth);
}

// Kind 4 walks the pending list from the capability given and reports only
// registered changes; kind 1 reports the one given and clears the lists.
TEST_F(DrvGuiReportsTest, PendingAndOneWalkOnlyThePendingList) {
  Register({"units", "imagedeskew", "imageformat"});
  CDbDatum* pdbdatumUnits = Datum(DB_BIN_MACHINE, DB_ID_UNITS);
  CDbDatum* pdbdatumPowerOff = Datum(DB_BIN_MACHINE, DB_ID_POWEROFFTIMEOUT);
  {
    CDbLockGuard dblockguard;
    m_pdatabase->NotifyResetAll();
    m_pdatabase->NotifySet(DB_NOTIFY_VALUE, pdbdatumUnits);
    m_pdatabase->NotifySet(DB_NOTIFY_VALUE, pdbdatumPowerOff);
  }
  const std::string strPending = Report([&](CDrvGuiTask& t) {
    m_pdrvguireports->CmdReportValues(t, DRV_REPORT_PENDING, m_pdatabase->NotifyGetFirst(DB_NOTIFY_VALUE), false);
  });
  EXPECT_EQ(All(strPending, "id"), std::vector<std::string>{"units"}) << "registered, pending: nothing else";
  EXPECT_EQ(Reports(strPending), std::vector<std::string>{"reportvalues"});
  EXPECT_TRUE(m_plog->Contains("Not reporting POWEROFFTIMEOUT in bin 1 change because its not registered"))
      << m_plog->Text();
  const std::string strOne = Report([&](CDrvGuiTask& t) {
    m_pdrvguireports->CmdReportValues(t, DRV_REPORT_ONE, Datum(DB_BIN_BITONAL_FRONT, DB_ID_AUTOMATICDESKEW), false);
  });
  EXPECT_EQ(All(strOne, "id"), std::vector<std::string>{"imagedeskew"});
  EXPECT_EQ(m_pdatabase->NotifyGetFirst(DB_NOTIFY_VALUE), nullptr) << "kind 1 clears the pending lists";
  const std::string strNone = Report([&](CDrvGuiTask& t) {
    m_pdrvguireports->CmdReportValues(t, DRV_REPORT_PENDING, m_pdatabase->NotifyGetFirst(DB_NOTIFY_VALUE), false);
  });
  EXPECT_TRUE(Reports(strNone).empty()) << strNone;
}

// The frame height's maximum is the physical height the scanner allows.
TEST_F(DrvGuiReportsTest, FrameHeightMaximumIsThePhysicalHeight) {
  Register({"imageheight", "imagewidth"});
  CDbDatum* pdbdatumPhysical = m_pdatabase->Find(DB_ID_PHYSICALHEIGHTADJUST);
  ASSERT_NE(pdbdatumPhysical, nullptr);
  CDbDatum* pdbdatumHeight = Datum(DB_BIN_BITONAL_FRONT, DB_ID_FRAMEHEIGHT);
  const long lPhysical = m_pdatabase->RangeGetCurrentMax(pdbdatumHeight) - 1200;
  ASSERT_EQ(pdbdatumPhysical->ForceCurrentLong(lPhysical), OS_STS_SUCCESS);
  const std::string str =
      Report([&](CDrvGuiTask& t) { m_pdrvguireports->CmdReportContainers(t, DRV_REPORT_ALL, nullptr); });
  EXPECT_EQ(All(str, "id"), (std::vector<std::string>{"imageheight", "imagewidth"}));
  const std::vector<std::string> vecstrMax = All(str, "rangemax");
  ASSERT_EQ(vecstrMax.size(), 2u) << str;
  EXPECT_EQ(vecstrMax[0], std::to_string(lPhysical));
  EXPECT_EQ(vecstrMax[1],
            std::to_string(m_pdatabase->RangeGetCurrentMax(Datum(DB_BIN_BITONAL_FRONT, DB_ID_FRAMEWIDTH))));
}

// The window of each camera carries its own tag and frame; the walk ends
// at the first window the scanner lacks; without the window tag registered
// there is no window report.
TEST_F(DrvGuiReportsTest, WindowsCarryTheirOwnTags) {
  const auto report = [&] { return Report([&](CDrvGuiTask& t) { m_pdrvguireports->CmdReportWindows(t); }); };
  Register({"imagewidth"});
  EXPECT_TRUE(Reports(report()).empty());
  EXPECT_TRUE(m_plog->Contains("You didn't register for windows..."));
  Register({"windowtag"});
  for (EDBBIN edbbin : {DB_BIN_BITONAL_REAR, DB_BIN_BITONAL_FRONT}) {
    SelectBin(edbbin);
    CDbDatum* pdbdatumWidth = m_pdatabase->FindInWindowBin(0, edbbin, DB_ID_FRAMEWIDTH);
    ASSERT_NE(pdbdatumWidth, nullptr);
    ASSERT_EQ(pdbdatumWidth->ForceCurrentLong(2400 + edbbin), OS_STS_SUCCESS);
    const std::string str = report();
    EXPECT_EQ(All(str, "windowid"),
              std::vector<std::string>{edbbin == DB_BIN_BITONAL_REAR ? "rearbitonal_00" : "frontbitonal_00"})
        << str;
    EXPECT_EQ(All(str, "imagewidth"), std::vector<std::string>{std::to_string(2400 + edbbin)});
  }
  EXPECT_NE(m_pdatabase->NotifyGetFirst(DB_NOTIFY_VALUE), nullptr) << "the window tag is put on the value list";
}

// A list item the lookup does not know: that capability is left out,
// logged; the others of the same element are reported, and it stays whole.
TEST_F(DrvGuiReportsTest, UnknownListItemLeavesOutThatCapabilityOnly) {
  ASSERT_EQ(Datum(DB_BIN_BITONAL_FRONT, DB_ID_AUTOMATICDESKEW)->ForceCurrentLong(9999), OS_STS_SUCCESS);
  const std::string str = Report([&](CDrvGuiTask& t) {
    m_pdrvguireports->CmdReportValuesNamed(t, {"units", "imagedeskew", "nosuch", "imageformat"});
  });
  EXPECT_EQ(All(str, "id"), (std::vector<std::string>{"units", "imageformat"})) << str;
  EXPECT_EQ(Reports(str), std::vector<std::string>{"reportvalues"});
  EXPECT_TRUE(m_plog->Contains("LookupDbEnum failed for imagedeskew"));
  EXPECT_TRUE(m_plog->Contains("GetValues unable to find nosuch"));
  Register({"imagedeskew", "units"});
  const std::string strAll =
      Report([&](CDrvGuiTask& t) { m_pdrvguireports->CmdReportValues(t, DRV_REPORT_ALL, nullptr, false); });
  EXPECT_EQ(All(strAll, "id"), std::vector<std::string>{"units"}) << strAll;
}

// A name the lookup does not know goes to every camera's list, once each;
// beyond 254 names the rest are dropped and logged once.
TEST_F(DrvGuiReportsTest, UndefinedNamesKeptTo254) {
  std::vector<std::string> vecstr = {"nosuch", "units"};
  for (int i = 0; i < 300; ++i) vecstr.push_back("unknown" + std::to_string(i));
  Register(vecstr);
  const std::string str = Report([&](CDrvGuiTask& t) { m_pdrvguireports->CmdReportUndefines(t); });
  const std::vector<std::string> vecstrId = All(str, "id");
  ASSERT_EQ(vecstrId.size(), 254u);
  EXPECT_EQ(vecstrId.front(), "nosuch");
  EXPECT_EQ(vecstrId.back(), "unknown252");
  EXPECT_EQ(m_plog->Count("Too many undefined ids in bin 2"), 1u) << m_plog->Text();
}

}  // namespace

namespace {

// The reply to a value change, copied into a caller's buffer: the pending
// containers, values and accesses of registered capabilities; all of them
// for kind 2; a buffer too small gets an empty text, never a cut one.
TEST_F(DrvGuiReportsTest, SetValueReportsIntoABuffer) {
  CDrvGuiImpl drvguiimpl(m_pdatabase.get(), nullptr, nullptr, "");
  {
    CDbLockGuard dblockguard;
    drvguiimpl.GetReports().RegisterClear();
    for (const char* sz : {"units", "imageformat", "powerofftimeout"}) drvguiimpl.GetReports().RegisterName(sz);
    m_pdatabase->NotifyResetAll();
  }
  CDbDatum* pdbdatumUnits = Datum(DB_BIN_MACHINE, DB_ID_UNITS);
  m_pdatabase->NotifySet(DB_NOTIFY_VALUE, pdbdatumUnits);
  m_pdatabase->NotifySet(DB_NOTIFY_ACCESS, pdbdatumUnits);
  std::vector<char> vecc(1 << 20);
  ASSERT_EQ(
      drvguiimpl.SendDispatcherSetValueReportsToGui(5, DRV_REPORT_PENDING, pdbdatumUnits, vecc.data(), vecc.size()),
      OS_STS_SUCCESS);
  std::string str = vecc.data();
  EXPECT_EQ(dbtest::DbFixture::XmlLint(str), 0) << str;
  EXPECT_NE(str.find("reply='00000000000000000005'"), std::string::npos) << str;
  EXPECT_EQ(Reports(str), (std::vector<std::string>{"reportvalues", "reportaccesses", "reportprofileitem"})) << str;
  EXPECT_EQ(All(str, "id"), (std::vector<std::string>{"units", "units"}));
  ASSERT_EQ(drvguiimpl.SendDispatcherSetValueReportsToGui(6, DRV_REPORT_ALL, nullptr, vecc.data(), vecc.size()),
            OS_STS_SUCCESS);
  str = vecc.data();
  EXPECT_EQ(Reports(str), (std::vector<std::string>{"reportenum", "reportrange", "reportenum", "reportvalues",
                                                    "reportaccesses", "reportprofileitem"}))
      << str;
  // The log a change of LOG reports needs the device: without one it is
  // left out, logged, and the rest is reported as ever.
  CDbDatum* pdbdatumLog = m_pdatabase->FindInBin(DB_BIN_MACHINE, DB_ID_LOG);
  ASSERT_NE(pdbdatumLog, nullptr);
  ASSERT_EQ(drvguiimpl.SendDispatcherSetValueReportsToGui(8, DRV_REPORT_ALL, pdbdatumLog, vecc.data(), vecc.size()),
            OS_STS_SUCCESS);
  EXPECT_EQ(Reports(vecc.data()).front(), "reportenum") << vecc.data();
  EXPECT_TRUE(m_plog->Contains("No device to read the log from, the log is left out..."));
  char szSmall[64] = "untouched";
  drvguiimpl.SendDispatcherSetValueReportsToGui(7, DRV_REPORT_ALL, nullptr, szSmall, sizeof szSmall);
  EXPECT_STREQ(szSmall, "");
  EXPECT_TRUE(m_plog->Contains("The reports do not fit the buffer..."));
}

}  // namespace
