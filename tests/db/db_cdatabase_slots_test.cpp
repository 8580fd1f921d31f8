// The database's look-ups by slot and window-bin with their range checks,
// the support tests, the window-bin tables and camera maps, the reset of
// the extra windows, and the datum attributes.
#include <algorithm>
#include <functional>
#include <set>

#include "db_fixture.h"

namespace {

using dbtest::DbFixture;
using dbtest::LongDatum;

constexpr long s_lDebugFind = 0x400;

class DbDatabaseSlotsTest : public DbFixture {
 protected:
  size_t LogSize() const { return m_plog->Text().size(); }
  std::string LogFrom(size_t a_sizetFrom) const { return m_plog->Text().substr(a_sizetFrom); }

  // Only this datum for the id, in window 0.
  void Only(EDBID a_edbid, EDBBIN a_edbbin, EDBACCESS a_edbaccess) {
    for (int iBin = 0; iBin < DB_BIN_COUNT; ++iBin) Vacate(0, a_edbid, static_cast<EDBBIN>(iBin));
    NewLong(a_edbid, a_edbbin, a_edbaccess, 1);
  }

  CDbDatum* Blank() { return CDbDatum::ms_pdatumcommon->pdbdatumBlank; }
};

// ---------------------------------------------------------------------------
// Look-ups
// ---------------------------------------------------------------------------
TEST_F(DbDatabaseSlotsTest, ArgumentsOutOfRangeAreLoggedAndFindNothing) {
  CDatabase& db = *m_pdatabase;
  struct Case {
    const char* szCall;
    std::function<CDbDatum*()> fnFind;
    const char* szLog;
  } acase[] = {
      {"FindDirect(0, 5)", [&] { return db.FindDirect(DB_BIN_SEARCH, DB_ID_ALARMVOLUME); }, "Bad a_edbbin...0"},
      {"FindDirect(6, 5)", [&] { return db.FindDirect(DB_BIN_LAST, DB_ID_ALARMVOLUME); }, "Bad a_edbbin...6"},
      {"FindDirect(1, 0)", [&] { return db.FindDirect(DB_BIN_MACHINE, DB_ID_UNDEFINED); }, "Bad a_edbid...0"},
      {"FindDirect(1, 253)", [&] { return db.FindDirect(DB_BIN_MACHINE, DB_ID_LAST); }, "Bad a_edbid...253"},
      {"FindDirect(1, -1)", [&] { return db.FindDirect(DB_BIN_MACHINE, static_cast<EDBID>(-1)); },
       "Bad a_edbid...-1"},
      {"FindInWindowBin(11, 2, 5)", [&] { return db.FindInWindowBin(11, DB_BIN_BITONAL_FRONT, DB_ID_ALARMVOLUME); },
       "Bad a_edbidwindow...11 2 5"},
      {"FindInWindowBin(-1, 2, 5)", [&] { return db.FindInWindowBin(-1, DB_BIN_BITONAL_FRONT, DB_ID_ALARMVOLUME); },
       "Bad a_edbidwindow...-1 2 5"},
      {"FindInWindowBin(0, 0, 5)", [&] { return db.FindInWindowBin(0, DB_BIN_SEARCH, DB_ID_ALARMVOLUME); },
       "Bad a_edbbin...0 0 5"},
      {"FindInWindowBin(0, 6, 5)", [&] { return db.FindInWindowBin(0, DB_BIN_LAST, DB_ID_ALARMVOLUME); },
       "Bad a_edbbin...0 6 5"},
      {"FindInWindowBin(0, 2, 0)", [&] { return db.FindInWindowBin(0, DB_BIN_BITONAL_FRONT, DB_ID_UNDEFINED); },
       "Bad a_edbid...0 2 0"},
      {"FindInWindowBin(0, 2, 253)", [&] { return db.FindInWindowBin(0, DB_BIN_BITONAL_FRONT, DB_ID_LAST); },
       "Bad a_edbid...0 2 253"},
      {"FindInWindowBin(0, 2, -1)",
       [&] { return db.FindInWindowBin(0, DB_BIN_BITONAL_FRONT, static_cast<EDBID>(-1)); }, "Bad a_edbid...0 2 -1"},
      {"FindInWindowBin(-1, 34)", [&] { return db.FindInWindowBin(-1, DB_ID_BRIGHTNESS); },
       "Bad a_edbidwindowbin...-1 34"},
      {"FindInWindowBin(44, 34)", [&] { return db.FindInWindowBin(44, DB_ID_BRIGHTNESS); },
       "Bad a_edbidwindowbin...44 34"},
      {"FindInWindowBin(43, 253)", [&] { return db.FindInWindowBin(43, DB_ID_LAST); }, "Bad a_edbid...10 5 253"},
      {"FindInWindowBin(0, 0)", [&] { return db.FindInWindowBin(0, DB_ID_UNDEFINED); }, "Bad a_edbid...0 2 0"},
  };
  for (const Case& c : acase) {
    SCOPED_TRACE(c.szCall);
    const size_t sizetFrom = LogSize();
    EXPECT_EQ(c.fnFind(), nullptr);
    EXPECT_NE(LogFrom(sizetFrom).find(c.szLog), std::string::npos) << LogFrom(sizetFrom);
  }
}

// The direct look-up answers the window-0 slot as it is; the look-up of a
// window and bin never answers null for a slot of the table.
TEST_F(DbDatabaseSlotsTest, EmptySlotsGiveNullDirectlyAndTheBlankDatumByWindow) {
  CDatabase& db = *m_pdatabase;
  CDbDatum* pdbdatumMaster = CDbDatum::ms_pdatumcommon->apdbdatum[0][DB_ID_BRIGHTNESS][DB_BIN_COLOR_FRONT];
  ASSERT_NE(pdbdatumMaster, nullptr);
  EXPECT_EQ(db.FindDirect(DB_BIN_COLOR_FRONT, DB_ID_BRIGHTNESS), pdbdatumMaster);
  EXPECT_EQ(db.FindDirect(DB_BIN_MACHINE, DB_ID_BRIGHTNESS), nullptr);  // a camera capability
  EXPECT_EQ(db.FindInWindowBin(0, DB_BIN_COLOR_FRONT, DB_ID_BRIGHTNESS), pdbdatumMaster);
  // Neither a machine bin nor another window holds a camera capability.
  for (EDBID_WINDOW edbidwindow : {0, 3}) {
    CDbDatum* pdbdatum = db.FindInWindowBin(edbidwindow, DB_BIN_MACHINE, DB_ID_BRIGHTNESS);
    EXPECT_EQ(pdbdatum, Blank());
    EXPECT_EQ(pdbdatum->GetAccess(), DB_ACCESS_NOTSUPPORTED);
  }
  EXPECT_EQ(db.FindInWindowBin(3, DB_BIN_COLOR_FRONT, DB_ID_BRIGHTNESS), Blank());
  // A window capability has a copy in every window.
  CDbDatum* pdbdatumCopy = db.FindInWindowBin(3, DB_BIN_COLOR_FRONT, DB_ID_FRAMEWIDTH);
  EXPECT_EQ(pdbdatumCopy->GetWindow(), 3);
  EXPECT_EQ(pdbdatumCopy->GetId(), DB_ID_FRAMEWIDTH);
}

// By window-bin: the camera's datum when it is accessible, else the
// window's machine datum (a window without one falls back to window 0),
// else nothing.
TEST_F(DbDatabaseSlotsTest, AWindowBinFindsItsCameraOrItsMachineDatum) {
  m_plog.reset();
  m_plog = std::make_unique<testsupport::LogCapture>(1 | s_lDebugFind);
  CDatabase& db = *m_pdatabase;
  const EDBID_WINDOWBIN edbidwindowbin = db.ComposeWindowBin(2, DB_BIN_COLOR_FRONT);
  ASSERT_EQ(edbidwindowbin, 10);
  Vacate(0, DB_ID_BRIGHTNESS, DB_BIN_COLOR_FRONT);
  LongDatum* pcamera = NewLong(DB_ID_BRIGHTNESS, DB_BIN_COLOR_FRONT, DB_ACCESS_NOTSUPPORTED, 0);
  LongDatum* pmachine = NewLong(DB_ID_BRIGHTNESS, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 0);
  EXPECT_EQ(db.FindInWindowBin(edbidwindowbin, DB_ID_BRIGHTNESS), pmachine);
  pcamera->SetAccess(DB_ACCESS_READONLYHIDDEN);
  EXPECT_EQ(db.FindInWindowBin(edbidwindowbin, DB_ID_BRIGHTNESS), pcamera);
  pcamera->SetAccess(DB_ACCESS_NOTSUPPORTED);
  pmachine->SetAccess(DB_ACCESS_NOTSUPPORTED);
  EXPECT_FALSE(m_plog->Contains("edbid not found..."));
  EXPECT_EQ(db.FindInWindowBin(edbidwindowbin, DB_ID_BRIGHTNESS), nullptr);
  EXPECT_TRUE(m_plog->Contains("edbid not found...34 windowbin:10"));
  // A window capability answers the window's own copy, whose access is its
  // master's.
  CDbDatum* pdbdatumMaster = db.FindDirect(DB_BIN_BITONAL_REAR, DB_ID_FRAMEWIDTH);
  CDbDatum* pdbdatumCopy = db.FindInWindowBin(7, DB_BIN_BITONAL_REAR, DB_ID_FRAMEWIDTH);
  EXPECT_EQ(db.FindInWindowBin(db.ComposeWindowBin(7, DB_BIN_BITONAL_REAR), DB_ID_FRAMEWIDTH), nullptr);
  pdbdatumMaster->SetAccess(DB_ACCESS_READWRITE);
  EXPECT_EQ(db.FindInWindowBin(db.ComposeWindowBin(7, DB_BIN_BITONAL_REAR), DB_ID_FRAMEWIDTH), pdbdatumCopy);
}

TEST_F(DbDatabaseSlotsTest, SupportTestsReadTheAccessOfTheMasters) {
  CDatabase& db = *m_pdatabase;
  struct Case {
    EDBBIN edbbin;
    EDBACCESS edbaccess;
    bool blSupported, blShown, blColor, blBitonal;
  } acase[] = {
      {DB_BIN_MACHINE, DB_ACCESS_NOTSUPPORTED, false, false, false, false},
      {DB_BIN_MACHINE, DB_ACCESS_DISABLED, true, false, false, false},
      {DB_BIN_MACHINE, DB_ACCESS_HIDDEN, true, false, false, false},
      {DB_BIN_MACHINE, DB_ACCESS_READONLY, true, true, false, false},
      {DB_BIN_MACHINE, DB_ACCESS_READWRITEHIDDEN, true, true, false, false},
      {DB_BIN_COLOR_REAR, DB_ACCESS_READWRITE, true, true, true, false},
      {DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITEDISABLED, true, true, true, false},
      {DB_BIN_BITONAL_REAR, DB_ACCESS_READONLYHIDDEN, true, true, false, true},
      {DB_BIN_BITONAL_FRONT, DB_ACCESS_HIDDEN, true, false, false, true},
      {DB_BIN_SEARCH, DB_ACCESS_READWRITE, false, false, false, false},  // the index entry is no value
  };
  for (const Case& c : acase) {
    SCOPED_TRACE(std::to_string(c.edbbin) + " " + std::to_string(c.edbaccess));
    Only(DB_ID_THRESHOLD, c.edbbin, c.edbaccess);
    EXPECT_EQ(db.IsIdSupported(DB_ID_THRESHOLD), c.blSupported);
    EXPECT_EQ(db.IsIdSupportedAndNotHidden(DB_ID_THRESHOLD), c.blShown);
    EXPECT_EQ(db.IsIdColor(DB_ID_THRESHOLD), c.blColor);
    EXPECT_EQ(db.IsIdBitonal(DB_ID_THRESHOLD), c.blBitonal);
  }
  // Ids outside the capabilities are never supported, and nothing is logged.
  const size_t sizetFrom = LogSize();
  for (EDBID edbid : {DB_ID_UNDEFINED, DB_ID_LAST, static_cast<EDBID>(-1), static_cast<EDBID>(254)}) {
    EXPECT_FALSE(db.IsIdSupported(edbid)) << edbid;
    EXPECT_FALSE(db.IsIdSupportedAndNotHidden(edbid)) << edbid;
    EXPECT_FALSE(db.IsIdColor(edbid)) << edbid;
    EXPECT_FALSE(db.IsIdBitonal(edbid)) << edbid;
  }
  EXPECT_EQ(LogFrom(sizetFrom), "");
}

// ---------------------------------------------------------------------------
// Windows and bins
// ---------------------------------------------------------------------------
TEST_F(DbDatabaseSlotsTest, WindowBinsComposeAndDecomposeByTheirTables) {
  CDatabase& db = *m_pdatabase;
  EXPECT_EQ(db.ComposeWindowBin(3, DB_BIN_COLOR_FRONT), 14);
  EXPECT_EQ(db.ComposeWindowBin(0, DB_BIN_BITONAL_FRONT), 0);
  EXPECT_EQ(db.ComposeWindowBin(10, DB_BIN_COLOR_REAR), 43);
  EDBID_WINDOW edbidwindow = -7;
  EDBBIN edbbin = DB_BIN_LAST;
  db.DecomposeWindowBin(14, &edbidwindow, &edbbin);
  EXPECT_EQ(edbidwindow, 3);
  EXPECT_EQ(edbbin, DB_BIN_COLOR_FRONT);
  // Every window-bin is one camera of one window, and back.
  std::set<std::pair<int, int>> setSeen;
  for (EDBID_WINDOWBIN edbidwindowbin = 0; edbidwindowbin < 44; ++edbidwindowbin) {
    db.DecomposeWindowBin(edbidwindowbin, &edbidwindow, &edbbin);
    EXPECT_TRUE(edbidwindow >= 0 && edbidwindow <= 10) << edbidwindowbin;
    EXPECT_TRUE(edbbin >= DB_BIN_BITONAL_FRONT && edbbin <= DB_BIN_COLOR_REAR) << edbidwindowbin;
    EXPECT_EQ(db.GetBinFromWindowBin(edbidwindowbin), edbbin);
    EXPECT_EQ(db.ComposeWindowBin(edbidwindow, edbbin), edbidwindowbin);
    setSeen.insert({edbidwindow, edbbin});
  }
  EXPECT_EQ(setSeen.size(), 44u);
  // The machine bins and the end mark have none; arguments out of range
  // are logged.
  const size_t sizetFrom = LogSize();
  for (EDBBIN edbbinMachine : {DB_BIN_SEARCH, DB_BIN_MACHINE, DB_BIN_LAST})
    EXPECT_EQ(db.ComposeWindowBin(0, edbbinMachine), -1) << edbbinMachine;
  EXPECT_EQ(LogFrom(sizetFrom), "");
  struct Bad {
    EDBID_WINDOW edbidwindow;
    int iBin;
    const char* szLog;
  } abad[] = {{11, 2, "Bad a_edbidwindow...11 2"},
              {-1, 2, "Bad a_edbidwindow...-1 2"},
              {0, 7, "Bad a_edbbin...0 7"},
              {0, -1, "Bad a_edbbin...0 -1"}};
  for (const Bad& bad : abad) {
    const size_t sizetBad = LogSize();
    EXPECT_EQ(db.ComposeWindowBin(bad.edbidwindow, static_cast<EDBBIN>(bad.iBin)), -1) << bad.szLog;
    EXPECT_NE(LogFrom(sizetBad).find(bad.szLog), std::string::npos) << bad.szLog;
  }
  for (EDBID_WINDOWBIN edbidwindowbin : {-1, 44}) {
    const size_t sizetBad = LogSize();
    edbidwindow = 0;
    edbbin = DB_BIN_MACHINE;
    db.DecomposeWindowBin(edbidwindowbin, &edbidwindow, &edbbin);
    EXPECT_EQ(edbidwindow, -1);
    EXPECT_EQ(edbbin, -1);
    EXPECT_EQ(db.GetBinFromWindowBin(edbidwindowbin), DB_BIN_SEARCH);
    const std::string strLog = LogFrom(sizetBad);
    EXPECT_NE(strLog.find("Bad a_edbidwindowbin..." + std::to_string(edbidwindowbin)), std::string::npos);
    EXPECT_NE(strLog.find("bad a_edbidwindowbin..."), std::string::npos);
  }
  db.DecomposeWindowBin(5, nullptr, &edbbin);
  EXPECT_TRUE(m_plog->Contains("Bad argument..."));
}

TEST_F(DbDatabaseSlotsTest, CameraMapsAndContextTags) {
  CDatabase& db = *m_pdatabase;
  struct Row {
    EDBBIN edbbin, edbbinOtherSide, edbbinSameSide, edbbinOppositeImageSide;
    const char* szContextTag;
  } arow[] = {
      {DB_BIN_SEARCH, DB_BIN_SEARCH, DB_BIN_SEARCH, DB_BIN_SEARCH, nullptr},
      {DB_BIN_MACHINE, DB_BIN_MACHINE, DB_BIN_MACHINE, DB_BIN_MACHINE, nullptr},
      {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR, "bitonalfront"},
      {DB_BIN_BITONAL_REAR, DB_BIN_BITONAL_FRONT, DB_BIN_COLOR_REAR, DB_BIN_COLOR_FRONT, "bitonalrear"},
      {DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR, DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, "colorfront"},
      {DB_BIN_COLOR_REAR, DB_BIN_COLOR_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_BITONAL_FRONT, "colorrear"},
  };
  const size_t sizetFrom = LogSize();
  for (const Row& row : arow) {
    SCOPED_TRACE(row.edbbin);
    EXPECT_EQ(db.GetBinOtherSide(row.edbbin), row.edbbinOtherSide);
    EXPECT_EQ(db.GetBinSameSide(row.edbbin), row.edbbinSameSide);
    EXPECT_EQ(db.GetBinOppositeImageSide(row.edbbin), row.edbbinOppositeImageSide);
    if (row.szContextTag) {
      EXPECT_STREQ(db.GetContextTag(row.edbbin), row.szContextTag);
    }
  }
  EXPECT_EQ(LogFrom(sizetFrom), "");
  for (int iBin : {-1, 6, 7}) {
    SCOPED_TRACE(iBin);
    const EDBBIN edbbin = static_cast<EDBBIN>(iBin);
    const size_t sizetBad = LogSize();
    EXPECT_EQ(db.GetBinOtherSide(edbbin), edbbin);
    EXPECT_EQ(db.GetBinSameSide(edbbin), edbbin);
    EXPECT_EQ(db.GetBinOppositeImageSide(edbbin), edbbin);
    EXPECT_STREQ(db.GetContextTag(edbbin), "badcamera");
    const std::vector<std::string> vecLines = testsupport::Lines(LogFrom(sizetBad));
    EXPECT_EQ(std::count_if(vecLines.begin(), vecLines.end(),
                            [&](const std::string& a_str) {
                              return a_str.find("Unrecognized bin..." + std::to_string(iBin)) != std::string::npos;
                            }),
              4);
  }
  for (EDBBIN edbbin : {DB_BIN_SEARCH, DB_BIN_MACHINE}) EXPECT_STREQ(db.GetContextTag(edbbin), "badcamera");
}

// Windows 1 to 10 go back to an unused one-inch frame; window 0 keeps its
// values.
TEST_F(DbDatabaseSlotsTest, DeleteAllWindowsResetsTheWindowCopies) {
  CDatabase& db = *m_pdatabase;
  const struct {
    EDBID edbid;
    long lReset;
  } areset[] = {{DB_ID_CAMERAENABLE, 1}, {DB_ID_IMAGESKEWANGLE, 0}, {DB_ID_FRAMEXOFFSET, 0},
                {DB_ID_FRAMEYOFFSET, 0}, {DB_ID_FRAMEWIDTH, 1200},  {DB_ID_FRAMEHEIGHT, 1200}};
  for (EDBID_WINDOW edbidwindow = 0; edbidwindow < DB_WINDOW_COUNT; ++edbidwindow) {
    for (int iBin = DB_BIN_BITONAL_FRONT; iBin <= DB_BIN_COLOR_REAR; ++iBin) {
      for (const auto& reset : areset)
        db.FindInWindowBin(edbidwindow, static_cast<EDBBIN>(iBin), reset.edbid)->CopyCurrentLong(777);
    }
  }
  Vacate(4, DB_ID_FRAMEWIDTH, DB_BIN_COLOR_REAR);  // a copy that could not be made
  EXPECT_EQ(db.DeleteAllWindows(), DB_STS_SUCCESS);
  for (EDBID_WINDOW edbidwindow = 0; edbidwindow < DB_WINDOW_COUNT; ++edbidwindow) {
    for (int iBin = DB_BIN_BITONAL_FRONT; iBin <= DB_BIN_COLOR_REAR; ++iBin) {
      for (const auto& reset : areset) {
        CDbDatum* pdbdatum = db.FindInWindowBin(edbidwindow, static_cast<EDBBIN>(iBin), reset.edbid);
        if (pdbdatum == Blank()) continue;
        EXPECT_EQ(pdbdatum->GetCurrentLongNoCallback(), edbidwindow == 0 ? 777 : reset.lReset)
            << edbidwindow << " " << iBin << " " << reset.edbid;
      }
    }
  }
  EXPECT_EQ(Blank()->GetCurrentLongNoCallback(), 0);
}

// ---------------------------------------------------------------------------
// Datum attributes
// ---------------------------------------------------------------------------
TEST_F(DbDatabaseSlotsTest, ANullDatumIsLoggedAndReadsAsZero) {
  CDatabase& db = *m_pdatabase;
  const size_t sizetFrom = LogSize();
  EXPECT_EQ(db.GetId(nullptr), 0);
  EXPECT_EQ(db.GetBin(nullptr), 0);
  EXPECT_EQ(db.GetDataType(nullptr), 0);
  EXPECT_EQ(db.GetContainerType(nullptr), 0);
  EXPECT_EQ(db.GetAccess(nullptr), DB_ACCESS_NOTSUPPORTED);
  EXPECT_EQ(db.GetDeviceData(nullptr), DB_DEVICEDATA_NONE);
  EXPECT_EQ(db.GetName(nullptr), nullptr);
  EXPECT_EQ(db.SetAccess(nullptr, DB_ACCESS_READWRITE), DB_STS_BADARGUMENT);
  const std::vector<std::string> vecLines = testsupport::Lines(LogFrom(sizetFrom));
  EXPECT_EQ(std::count_if(vecLines.begin(), vecLines.end(),
                          [](const std::string& a_str) { return a_str.find("Bad a_hdbdatum...") != std::string::npos; }),
            8);
  EXPECT_EQ(db.LookupGet(nullptr), nullptr);
  EXPECT_TRUE(m_plog->Contains("a_hdbdatum is NULL..."));
}

TEST_F(DbDatabaseSlotsTest, AttributesOfADatum) {
  CDatabase& db = *m_pdatabase;
  CDbRange* prange = NewRange(DB_ID_BRIGHTNESS, DB_BIN_COLOR_REAR, DB_ACCESS_READONLY, 0, -50, 50, 1,
                              DB_DEVICEDATA_NEXIL);
  EXPECT_EQ(db.GetId(prange), DB_ID_BRIGHTNESS);
  EXPECT_EQ(db.GetBin(prange), DB_BIN_COLOR_REAR);
  EXPECT_EQ(db.GetDataType(prange), DB_DATATYPE_LONG);
  EXPECT_EQ(db.GetContainerType(prange), DB_CONTAINERTYPE_RANGE);
  EXPECT_EQ(db.GetAccess(prange), DB_ACCESS_READONLY);
  EXPECT_EQ(db.GetDeviceData(prange), DB_DEVICEDATA_NEXIL);
  // Without a lookup record the name is unknown.
  EXPECT_STREQ(db.GetName(prange), "???");
  EXPECT_TRUE(m_plog->Contains("Add edbid 34 to lookup.dbc..."));
  DbLookup2* pdblookup2 = NewLookup(DB_ID_BRIGHTNESS, "brightness");
  EXPECT_STREQ(db.GetName(prange), "CAP34");
  EXPECT_EQ(db.LookupGet(prange), pdblookup2);
  // Access through the datum, with its notification.
  db.NotifyResetAll();
  EXPECT_EQ(db.SetAccess(prange, DB_ACCESS_READWRITE), DB_STS_SUCCESS);
  EXPECT_EQ(prange->GetAccess(), DB_ACCESS_READWRITE);
  EXPECT_EQ(db.NotifyGet(DB_NOTIFY_ACCESS, 0, DB_BIN_COLOR_REAR, DB_ID_BRIGHTNESS), prange);
  // Without access there are no consumers.
  EXPECT_EQ(db.SetAccess(prange, DB_ACCESS_NOTSUPPORTED), DB_STS_SUCCESS);
  EXPECT_EQ(db.GetDeviceData(prange), DB_DEVICEDATA_NONE);
  // A window copy answers its master's access and consumers.
  CDbDatum* pcopy = NewWindowCopy(5, DB_ID_BRIGHTNESS, DB_BIN_COLOR_REAR);
  prange->SetAccess(DB_ACCESS_HIDDEN);
  EXPECT_EQ(db.GetAccess(pcopy), DB_ACCESS_HIDDEN);
  EXPECT_EQ(db.GetDeviceData(pcopy), DB_DEVICEDATA_NEXIL);
}

TEST_F(DbDatabaseSlotsTest, AccessTags) {
  CDatabase& db = *m_pdatabase;
  const char* aszTag[] = {"undefined", "disabled", "hidden", "readonly", "readwrite", "disabled", "hidden", "hidden"};
  const size_t sizetFrom = LogSize();
  for (int i = 0; i < 8; ++i) EXPECT_STREQ(db.GetAccessTag(static_cast<EDBACCESS>(i)), aszTag[i]) << i;
  EXPECT_EQ(LogFrom(sizetFrom), "");
  for (int i : {8, -1}) {
    EXPECT_STREQ(db.GetAccessTag(static_cast<EDBACCESS>(i)), "undefined");
    EXPECT_TRUE(m_plog->Contains("Unrecognized access..." + std::to_string(i)));
  }
}

TEST_F(DbDatabaseSlotsTest, CroppingModesThatAllowABox) {
  CDatabase& db = *m_pdatabase;
  const struct {
    int iMode;
    bool blAllow;
  } acase[] = {{2, true}, {3, true}, {5, true}, {9, true}, {1, false}, {4, false}, {8, false}};
  const size_t sizetFrom = LogSize();
  for (const auto& c : acase) EXPECT_EQ(db.IsCroppingBoxAllow(c.iMode), c.blAllow) << c.iMode;
  EXPECT_EQ(LogFrom(sizetFrom), "");
  for (int iMode : {7, 0, 6, 10}) {
    EXPECT_FALSE(db.IsCroppingBoxAllow(iMode));
    EXPECT_TRUE(m_plog->Contains("Unrecognized cropping mode..." + std::to_string(iMode))) << iMode;
  }
}

TEST_F(DbDatabaseSlotsTest, ListsAreTheSameWhateverTheirOrder) {
  CDatabase& db = *m_pdatabase;
  const struct {
    std::vector<long> vecA, vecB;
    bool blSame;
  } acase[] = {
      {{}, {}, true},
      {{1, 2, 3}, {3, 1, 2}, true},
      {{1, 1, 2}, {2, 1, 1}, true},
      {{1, 1, 2}, {1, 2, 2}, true},  // the same values, as many
      {{1, 2}, {1, 2, 3}, false},
      {{1, 2, 4}, {1, 2, 3}, false},
      {{5}, {}, false},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(testing::PrintToString(c.vecA) + " " + testing::PrintToString(c.vecB));
    EXPECT_EQ(db.IsSameList(c.vecA.data(), static_cast<long>(c.vecA.size()), c.vecB.data(),
                            static_cast<long>(c.vecB.size())),
              c.blSame);
  }
  const long al[] = {1};
  EXPECT_FALSE(db.IsSameList(nullptr, 1, al, 1));
  EXPECT_FALSE(db.IsSameList(al, -1, al, -1));
  EXPECT_TRUE(m_plog->Contains("Bad list...1 1"));
}

// The locale service measures in US units.
TEST_F(DbDatabaseSlotsTest, TheDefaultPaperSizeFollowsTheMeasurementSystem) {
  EXPECT_EQ(static_cast<int>(m_pdatabase->GetDefaultSupportedSizes()), DB_ID_SUPPORTEDSIZES_ENUM_USLETTER);
}

}  // namespace
