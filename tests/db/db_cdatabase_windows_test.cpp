// Finding datums in the current window and camera, the datums a change is
// linked to, the cameras and the current window-bin chosen from them, the
// deletion of a scan window, the crop-box and unit questions, the cropping
// of a preview, frames kept on the sheet, and the value shortcuts by
// capability number. The catalogue's own objects are set up in place.
#include <functional>
#include <tuple>

#include "db_cdbconfig.h"
#include "db_cdbframe.h"
#include "db_values_fixture.h"

namespace {

using dbtest::DbValuesFixture;

const std::string s_strLibrary = SCANDRV_LIBRARY_PATH;
constexpr long s_lDebugFind = 0x400;
constexpr long OFF = DB_ID_CAMERAENABLE_ENUM_FALSE;
constexpr long ON = DB_ID_CAMERAENABLE_ENUM_TRUE;
constexpr long UNSUPPORTED = -1;  // a capability left without access

class DbDatabaseWindowsTest : public DbValuesFixture {
 protected:
  void SetUp() override {
    DbValuesFixture::SetUp();
    ASSERT_EQ(m_pdatabase->LoadLookup(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, s_strLibrary.c_str()), DB_STS_SUCCESS);
  }

  // An enumeration listing first..last.
  CDbEnum* Counting(EDBID a_edbid, long a_lFirst, long a_lLast, long a_lCurrent) {
    CDbEnum* pdbenum = CatalogueEnum(a_edbid, DB_BIN_MACHINE, DB_ACCESS_READWRITE, a_lCurrent, {});
    for (long l = a_lFirst; l <= a_lLast; ++l) {
      pdbenum->AddDefaultItem(l);
      pdbenum->AddCurrentItem(l);
    }
    return pdbenum;
  }

  // The current window and window-bin; WINDOWBIN lists every window-bin,
  // the first one given.
  void Current(EDBID_WINDOW a_edbidwindow, EDBID_WINDOWBIN a_edbidwindowbin, long a_lFirstItem = 0) {
    Counting(DB_ID_WINDOW, 0, 10, a_edbidwindow);
    CDbEnum* pdbenum =
        CatalogueEnum(DB_ID_WINDOWBIN, DB_BIN_MACHINE, DB_ACCESS_READWRITE, a_edbidwindowbin, {a_lFirstItem});
    for (long l = 0; l < DB_WINDOWBIN_COUNT; ++l) {
      pdbenum->AddDefaultItem(l);
      pdbenum->AddCurrentItem(l);
    }
  }

  // The four cameras (2..5) of a window, each ON, OFF or UNSUPPORTED (the
  // masters of window 0 hold the access).
  void Cameras(long a_lFront, long a_lRear, long a_lColorFront, long a_lColorRear, EDBID_WINDOW a_edbidwindow = 0) {
    const long al[] = {a_lFront, a_lRear, a_lColorFront, a_lColorRear};
    for (int i = 0; i < 4; ++i) {
      const EDBBIN edbbin = static_cast<EDBBIN>(DB_BIN_BITONAL_FRONT + i);
      const long lValue = al[i] == UNSUPPORTED ? OFF : al[i];
      CatalogueEnum(DB_ID_CAMERAENABLE, edbbin, al[i] == UNSUPPORTED ? DB_ACCESS_NOTSUPPORTED : DB_ACCESS_READWRITE,
                    lValue, {OFF, ON});
      Slot(a_edbidwindow, DB_ID_CAMERAENABLE, edbbin)->CopyCurrentLong(lValue);
    }
  }

  // A machine enumeration with a value, or none when UNSUPPORTED.
  void Machine(EDBID a_edbid, long a_lValue) {
    CatalogueEnum(a_edbid, DB_BIN_MACHINE, a_lValue == UNSUPPORTED ? DB_ACCESS_NOTSUPPORTED : DB_ACCESS_READWRITE,
                  a_lValue, {a_lValue});
  }

  // Window 3 current; each camera of the windows 1 to 10 with a frame width
  // and a height (which the scanner does not support) telling its window and
  // bin, and the switch a_fnCamera gives the window. The cameras of window 0
  // are off.
  void NumberedWindows(const std::function<long(EDBID_WINDOW)>& a_fnCamera) {
    Current(3, m_pdatabase->ComposeWindowBin(3, DB_BIN_BITONAL_FRONT));
    for (int iBin = DB_BIN_BITONAL_FRONT; iBin <= DB_BIN_COLOR_REAR; ++iBin) {
      const EDBBIN edbbin = static_cast<EDBBIN>(iBin);
      CatalogueEnum(DB_ID_CAMERAENABLE, edbbin, DB_ACCESS_READWRITE, OFF, {OFF, ON});
      CatalogueRange(DB_ID_FRAMEWIDTH, edbbin, DB_ACCESS_READWRITE, 100, 0, 100000, 1);
      for (EDBID_WINDOW edbidwindow = 1; edbidwindow < DB_WINDOW_COUNT; ++edbidwindow) {
        Slot(edbidwindow, DB_ID_FRAMEWIDTH, edbbin)->CopyCurrentLong(1000 * edbidwindow + iBin);
        Slot(edbidwindow, DB_ID_FRAMEHEIGHT, edbbin)->CopyCurrentLong(1000 * edbidwindow + iBin);
        Slot(edbidwindow, DB_ID_CAMERAENABLE, edbbin)->CopyCurrentLong(a_fnCamera(edbidwindow));
      }
    }
  }

  void State(EDBSTATE a_edbstate, bool a_blSet) {
    if (a_blSet) {
      m_pdatabase->SetDbState(a_edbstate);
    } else {
      m_pdatabase->ClearDbState(a_edbstate);
    }
  }
};

// ---------------------------------------------------------------------------
// Look-ups
// ---------------------------------------------------------------------------
TEST_F(DbDatabaseWindowsTest, FindTakesTheMachineDatumElseTheWindowBinsCamera) {
  m_plog.reset();
  m_plog = std::make_unique<testsupport::LogCapture>(1 | s_lDebugFind);
  OsLog(OS_LOG_INFO, "find debugging on");  // the new log starts its file
  CDatabase& db = *m_pdatabase;
  Current(3, db.ComposeWindowBin(3, DB_BIN_COLOR_FRONT));
  CDbRange* pcolor = CatalogueRange(DB_ID_BRIGHTNESS, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 40, 0, 100, 1);
  CatalogueRange(DB_ID_BRIGHTNESS, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 50, 0, 100, 1);
  EXPECT_EQ(db.Find(DB_ID_BRIGHTNESS), pcolor);
  // A window capability is found in the current window's copy.
  CatalogueRange(DB_ID_FRAMEWIDTH, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 1200, 0, 2400, 1);
  EXPECT_EQ(db.Find(DB_ID_FRAMEWIDTH), Slot(3, DB_ID_FRAMEWIDTH, DB_BIN_COLOR_FRONT));
  EXPECT_EQ(db.FindInBin(DB_BIN_COLOR_FRONT, DB_ID_FRAMEWIDTH), Slot(3, DB_ID_FRAMEWIDTH, DB_BIN_COLOR_FRONT));
  // A machine datum with access wins.
  CDbRange* pmachine = NewRange(DB_ID_BRIGHTNESS, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 60, 0, 100, 1);
  EXPECT_EQ(db.Find(DB_ID_BRIGHTNESS), pmachine);
  EXPECT_EQ(db.FindMachineOrBin(DB_BIN_BITONAL_FRONT, DB_ID_BRIGHTNESS), pmachine);
  EXPECT_EQ(db.FindInBin(DB_BIN_BITONAL_FRONT, DB_ID_BRIGHTNESS), Slot(0, DB_ID_BRIGHTNESS, DB_BIN_BITONAL_FRONT));
  pmachine->SetAccess(DB_ACCESS_NOTSUPPORTED);
  EXPECT_EQ(db.FindMachineOrBin(DB_BIN_BITONAL_FRONT, DB_ID_BRIGHTNESS),
            Slot(0, DB_ID_BRIGHTNESS, DB_BIN_BITONAL_FRONT));
  // Not found, and bad arguments.
  pcolor->SetAccess(DB_ACCESS_NOTSUPPORTED);
  const struct {
    const char* szCall;
    std::function<CDbDatum*()> fnFind;
    const char* szLog;
  } acase[] = {
      {"no access", [&] { return db.Find(DB_ID_BRIGHTNESS); }, "edbid not found...34 camera:4"},
      {"id 0", [&] { return db.Find(DB_ID_UNDEFINED); }, "Bad a_edbid...0"},
      {"id 253", [&] { return db.Find(DB_ID_LAST); }, "Bad a_edbid...253"},
      {"bin 0", [&] { return db.FindInBin(DB_BIN_SEARCH, DB_ID_BRIGHTNESS); }, "Bad a_edbbin...0 34"},
      {"bin 6", [&] { return db.FindInBin(DB_BIN_LAST, DB_ID_BRIGHTNESS); }, "Bad a_edbbin...6 34"},
      {"bin without access", [&] { return db.FindInBin(DB_BIN_COLOR_FRONT, DB_ID_BRIGHTNESS); },
       "edbid not found...34 camera:4"},
      {"machine or bin 1", [&] { return db.FindMachineOrBin(DB_BIN_MACHINE, DB_ID_BRIGHTNESS); },
       "Bad a_edbbin...1 34"},
      {"machine or bin, id out", [&] { return db.FindMachineOrBin(DB_BIN_COLOR_REAR, DB_ID_LAST); },
       "Bad a_edbid...253"},
      {"no name", [&] { return db.FindFromName(DB_BIN_COLOR_FRONT, nullptr); }, "a_szName is NULL..."},
      {"name without access", [&] { return db.FindFromName(DB_BIN_COLOR_FRONT, "brightness"); },
       "edbid not found...34 bin:4"},
      {"unknown name", [&] { return db.FindFromName(DB_BIN_COLOR_FRONT, "nosuchcapability"); }, nullptr},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szCall);
    const size_t sizetFrom = LogSize();
    EXPECT_EQ(c.fnFind(), nullptr);
    if (c.szLog) {
      EXPECT_NE(LogFrom(sizetFrom).find(c.szLog), std::string::npos) << LogFrom(sizetFrom);
    }
  }
}

TEST_F(DbDatabaseWindowsTest, FindFromNameComparesTheNameInAnyCase) {
  CDatabase& db = *m_pdatabase;
  CDbEnum* pfill = CatalogueEnum(DB_ID_IMAGEEDGEFILL, DB_BIN_BITONAL_REAR, DB_ACCESS_READWRITE, 1, {1, 2});
  EXPECT_EQ(db.FindFromName(DB_BIN_BITONAL_REAR, "imageedgefill"), pfill);
  EXPECT_EQ(db.FindFromName(DB_BIN_BITONAL_REAR, "ImageEdgeFill"), pfill);
  EXPECT_EQ(db.FindFromName(DB_BIN_SEARCH, "IMAGEEDGEFILL"), Slot(0, DB_ID_IMAGEEDGEFILL, DB_BIN_SEARCH));
  EXPECT_EQ(db.FindFromName(DB_BIN_BITONAL_REAR, "imageedgefillallsides"), nullptr);  // no access
}

// ---------------------------------------------------------------------------
// Sides, streams and links
// ---------------------------------------------------------------------------
TEST_F(DbDatabaseWindowsTest, TheOtherSideAndTheOtherStream) {
  CDatabase& db = *m_pdatabase;
  Current(0, 0);
  CDbRange* apdbrange[DB_BIN_COUNT] = {};
  for (int iBin = DB_BIN_BITONAL_FRONT; iBin <= DB_BIN_COLOR_REAR; ++iBin)
    apdbrange[iBin] = CatalogueRange(DB_ID_BRIGHTNESS, static_cast<EDBBIN>(iBin), DB_ACCESS_READWRITE, 40, 0, 100, 1);
  EXPECT_EQ(db.GetDatumOtherSide(apdbrange[DB_BIN_BITONAL_FRONT]), apdbrange[DB_BIN_BITONAL_REAR]);
  EXPECT_EQ(db.GetDatumOtherSide(apdbrange[DB_BIN_COLOR_REAR]), apdbrange[DB_BIN_COLOR_FRONT]);
  EXPECT_EQ(db.GetDatumSameSide(apdbrange[DB_BIN_BITONAL_REAR]), apdbrange[DB_BIN_COLOR_REAR]);
  EXPECT_TRUE(db.IsCurrentOtherSideMatch(apdbrange[DB_BIN_COLOR_FRONT]));
  apdbrange[DB_BIN_COLOR_REAR]->CopyCurrentLong(41);
  EXPECT_FALSE(db.IsCurrentOtherSideMatch(apdbrange[DB_BIN_COLOR_FRONT]));
  EXPECT_FALSE(db.IsCurrentOtherStreamMatch(apdbrange[DB_BIN_BITONAL_REAR]));
  EXPECT_TRUE(db.IsCurrentOtherStreamMatch(apdbrange[DB_BIN_BITONAL_FRONT]));
  EXPECT_EQ(db.GetDatumOtherSide(nullptr), nullptr);
  EXPECT_TRUE(m_plog->Contains("Bad a_hdbdatum..."));
  // The colour mode: linked while the images may not differ.
  for (const auto& [lImagesDifferent, blLinked] :
       std::initializer_list<std::pair<long, bool>>{{UNSUPPORTED, false}, {1, true}, {2, false}}) {
    SCOPED_TRACE(lImagesDifferent);
    Machine(DB_ID_IMAGESDIFFERENT, lImagesDifferent);
    EXPECT_EQ(db.GetLinkedImage(apdbrange[DB_BIN_COLOR_FRONT]), blLinked ? apdbrange[DB_BIN_BITONAL_FRONT] : nullptr);
  }
  // Inside a pass, the camera datum of the capability that changed.
  EXPECT_EQ(db.IsAnyWasModified(DB_ID_BRIGHTNESS), nullptr);
  apdbrange[DB_BIN_BITONAL_REAR]->SetModified();
  EXPECT_EQ(db.IsAnyWasModified(DB_ID_BRIGHTNESS), apdbrange[DB_BIN_BITONAL_REAR]);
  EXPECT_EQ(db.IsAnyWasModified(DB_ID_CONTRAST), nullptr);
  CDbDatum::ClearModified();
}

// The side a change is copied to: GUI requests link only while the sides
// may not differ (unsupported counts as different) and, for the cameras
// themselves, only for two-sided input; other requests only stop at sides
// that may differ.
TEST_F(DbDatabaseWindowsTest, TheLinkedSide) {
  CDatabase& db = *m_pdatabase;
  Current(0, 0);
  CatalogueEnum(DB_ID_CAMERAENABLE, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, ON, {OFF, ON});
  CatalogueEnum(DB_ID_CAMERAENABLE, DB_BIN_BITONAL_REAR, DB_ACCESS_READWRITE, ON, {OFF, ON});
  CatalogueRange(DB_ID_BRIGHTNESS, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 40, 0, 100, 1);
  CatalogueRange(DB_ID_BRIGHTNESS, DB_BIN_BITONAL_REAR, DB_ACCESS_READWRITE, 40, 0, 100, 1);
  const struct {
    bool blGui;
    long lSidesDifferent;
    long lInput;
    EDBID edbid;
    bool blLinked;
  } acase[] = {
      {false, UNSUPPORTED, UNSUPPORTED, DB_ID_BRIGHTNESS, true},
      {false, 1, UNSUPPORTED, DB_ID_BRIGHTNESS, true},
      {false, 2, UNSUPPORTED, DB_ID_BRIGHTNESS, false},
      {false, 1, 2, DB_ID_CAMERAENABLE, true},
      {true, UNSUPPORTED, 1, DB_ID_BRIGHTNESS, false},
      {true, 2, 1, DB_ID_BRIGHTNESS, false},
      {true, 1, UNSUPPORTED, DB_ID_CAMERAENABLE, true},
      {true, 1, 1, DB_ID_CAMERAENABLE, true},
      {true, 1, 2, DB_ID_CAMERAENABLE, false},
      {true, 1, 3, DB_ID_CAMERAENABLE, false},
      {true, 1, 2, DB_ID_BRIGHTNESS, true},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(testing::Message() << c.blGui << " " << c.lSidesDifferent << " " << c.lInput << " " << c.edbid);
    Machine(DB_ID_SIDESDIFFERENT, c.lSidesDifferent);
    Machine(DB_ID_INPUTDOCUMENT, c.lInput);
    State(DB_STATE_GUI, c.blGui);
    CDbDatum* pfront = Slot(0, c.edbid, DB_BIN_BITONAL_FRONT);
    EXPECT_EQ(db.GetLinkedSide(pfront), c.blLinked ? Slot(0, c.edbid, DB_BIN_BITONAL_REAR) : nullptr);
    State(DB_STATE_GUI, false);
  }
  // No other side to link to.
  Machine(DB_ID_SIDESDIFFERENT, 1);
  Slot(0, DB_ID_BRIGHTNESS, DB_BIN_BITONAL_REAR)->SetAccess(DB_ACCESS_NOTSUPPORTED);
  EXPECT_EQ(db.GetLinkedSide(Slot(0, DB_ID_BRIGHTNESS, DB_BIN_BITONAL_FRONT)), nullptr);
  EXPECT_EQ(db.GetLinkedSide(nullptr), nullptr);
}

// ---------------------------------------------------------------------------
// Cameras and the current window-bin
// ---------------------------------------------------------------------------
TEST_F(DbDatabaseWindowsTest, CamerasOnAndTheCameraIndex) {
  CDatabase& db = *m_pdatabase;
  Current(0, 0);
  Cameras(ON, ON, OFF, ON);
  EXPECT_TRUE(db.GetCameraEnable(DB_BIN_BITONAL_REAR));
  EXPECT_FALSE(db.GetCameraEnable(DB_BIN_COLOR_FRONT));
  EXPECT_FALSE(db.GetCameraEnable(DB_BIN_MACHINE));
  for (const auto& [lInput, lCount] :
       std::initializer_list<std::pair<long, long>>{{1, 3}, {2, 1}, {3, 1}, {UNSUPPORTED, 1}}) {
    Machine(DB_ID_INPUTDOCUMENT, lInput);
    EXPECT_EQ(db.GetNumCameraEnable(), lCount) << lInput;
  }
  for (const auto& [edbidwindowbin, lCamera] : std::initializer_list<std::pair<EDBID_WINDOWBIN, long>>{
           {0, 0}, {1, 1}, {2, 2}, {3, 3}, {14, 2}, {43, 3}, {-1, 0}, {44, 0}}) {
    Current(0, edbidwindowbin);
    EXPECT_EQ(db.GetWindowBin(), edbidwindowbin);
    EXPECT_EQ(db.GetCameraIndex(), lCamera) << edbidwindowbin;
  }
  EXPECT_TRUE(m_plog->Contains("bad a_edbidwindowbin...44"));
}

// The first camera on: front before rear, bitonal before colour, unless
// WINDOWBIN's list starts with a colour window-bin and the side's colour
// camera is on too.
TEST_F(DbDatabaseWindowsTest, SetCurrentWindowBinTakesTheFirstCameraOn) {
  const struct {
    long lFront, lRear, lColorFront, lColorRear;
    EDBBIN edbbinBitonalFirst, edbbinColorFirst;
  } acase[] = {
      {OFF, OFF, OFF, ON, DB_BIN_COLOR_REAR, DB_BIN_COLOR_REAR},
      {OFF, OFF, ON, OFF, DB_BIN_COLOR_FRONT, DB_BIN_COLOR_FRONT},
      {OFF, OFF, ON, ON, DB_BIN_COLOR_FRONT, DB_BIN_COLOR_FRONT},
      {OFF, ON, OFF, OFF, DB_BIN_BITONAL_REAR, DB_BIN_BITONAL_REAR},
      {OFF, ON, OFF, ON, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_REAR},
      {OFF, ON, ON, OFF, DB_BIN_COLOR_FRONT, DB_BIN_COLOR_FRONT},
      {OFF, ON, ON, ON, DB_BIN_COLOR_FRONT, DB_BIN_COLOR_FRONT},
      {ON, OFF, OFF, OFF, DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_FRONT},
      {ON, OFF, OFF, ON, DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_FRONT},
      {ON, OFF, ON, OFF, DB_BIN_BITONAL_FRONT, DB_BIN_COLOR_FRONT},
      {ON, OFF, ON, ON, DB_BIN_BITONAL_FRONT, DB_BIN_COLOR_FRONT},
      {ON, ON, OFF, OFF, DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_FRONT},
      {ON, ON, OFF, ON, DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_FRONT},
      {ON, ON, ON, OFF, DB_BIN_BITONAL_FRONT, DB_BIN_COLOR_FRONT},
      {ON, ON, ON, ON, DB_BIN_BITONAL_FRONT, DB_BIN_COLOR_FRONT},
      {UNSUPPORTED, UNSUPPORTED, UNSUPPORTED, ON, DB_BIN_COLOR_REAR, DB_BIN_COLOR_REAR},
  };
  CDatabase& db = *m_pdatabase;
  for (const auto& c : acase) {
    for (const bool blColorFirst : {false, true}) {
      SCOPED_TRACE(testing::Message() << c.lFront << c.lRear << c.lColorFront << c.lColorRear << " colour first "
                                      << blColorFirst);
      // The first item of the list is a window-bin of another window.
      Current(2, 40,
              blColorFirst ? db.ComposeWindowBin(5, DB_BIN_COLOR_REAR) : db.ComposeWindowBin(5, DB_BIN_BITONAL_REAR));
      Cameras(c.lFront, c.lRear, c.lColorFront, c.lColorRear, 2);
      EXPECT_EQ(db.SetCurrentWindowBin(), DB_STS_SUCCESS);
      EXPECT_EQ(db.GetWindowBin(), db.ComposeWindowBin(2, blColorFirst ? c.edbbinColorFirst : c.edbbinBitonalFirst));
    }
  }
  // No camera on: -1 is no window-bin, WINDOWBIN refuses it and stays.
  Current(2, 40);
  Cameras(OFF, OFF, OFF, OFF, 2);
  EXPECT_EQ(db.SetCurrentWindowBin(), DB_STS_BADVALUE);
  EXPECT_EQ(db.GetWindowBin(), 40);
  // Without WINDOWBIN.
  Slot(0, DB_ID_WINDOWBIN, DB_BIN_MACHINE)->SetAccess(DB_ACCESS_NOTSUPPORTED);
  EXPECT_EQ(db.SetCurrentWindowBin(), DB_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("a_hdbdatum is NULL for DB_ID_WINDOWBIN"));
}

// The window capabilities of the windows after the current one move down
// by one, window 10 is left with its cameras off, and the window before
// becomes current.
TEST_F(DbDatabaseWindowsTest, DeleteCurrentWindowMovesTheLaterWindowsDown) {
  CDatabase& db = *m_pdatabase;
  NumberedWindows([](EDBID_WINDOW a_edbidwindow) { return a_edbidwindow % 2 ? ON : OFF; });
  // The bins of window 1 with a camera on, and of window 10.
  EXPECT_EQ(db.DeleteCurrentWindow(db.ComposeWindowBin(3, DB_BIN_COLOR_FRONT)), DB_STS_SUCCESS);
  // The window goes back by one; its window-bin follows in the same camera.
  EXPECT_EQ(db.GetWindowBin(), db.ComposeWindowBin(2, DB_BIN_COLOR_FRONT));
  EXPECT_EQ(db.GetWindow(), 2);
  for (EDBID_WINDOW edbidwindow = 1; edbidwindow < DB_WINDOW_COUNT; ++edbidwindow) {
    for (int iBin = DB_BIN_BITONAL_FRONT; iBin <= DB_BIN_COLOR_REAR; ++iBin) {
      SCOPED_TRACE(testing::Message() << "window " << edbidwindow << " bin " << iBin);
      const EDBBIN edbbin = static_cast<EDBBIN>(iBin);
      const EDBID_WINDOW edbidwindowFrom = edbidwindow >= 3 && edbidwindow < 10 ? edbidwindow + 1 : edbidwindow;
      EXPECT_EQ(Slot(edbidwindow, DB_ID_FRAMEWIDTH, edbbin)->GetCurrentLongNoCallback(), 1000 * edbidwindowFrom + iBin);
      EXPECT_EQ(Slot(edbidwindow, DB_ID_CAMERAENABLE, edbbin)->GetCurrentLongNoCallback(),
                edbidwindow == 10 ? OFF : (edbidwindowFrom % 2 ? ON : OFF));
      // Not supported: not moved.
      EXPECT_EQ(Slot(edbidwindow, DB_ID_FRAMEHEIGHT, edbbin)->GetCurrentLongNoCallback(), 1000 * edbidwindow + iBin);
    }
  }
  EXPECT_EQ(Slot(0, DB_ID_FRAMEWIDTH, DB_BIN_COLOR_FRONT)->GetCurrentLongNoCallback(), 100);
  // Window 1 without a camera on: there is no window to delete.
  for (int iBin = DB_BIN_BITONAL_FRONT; iBin <= DB_BIN_COLOR_REAR; ++iBin)
    Slot(1, DB_ID_CAMERAENABLE, static_cast<EDBBIN>(iBin))->CopyCurrentLong(OFF);
  std::vector<std::string> vecstrBefore;
  for (EDBID_WINDOW edbidwindow = 0; edbidwindow < DB_WINDOW_COUNT; ++edbidwindow)
    vecstrBefore.push_back(Snapshot(Slot(edbidwindow, DB_ID_FRAMEWIDTH, DB_BIN_COLOR_REAR)));
  EXPECT_EQ(db.DeleteCurrentWindow(db.ComposeWindowBin(2, DB_BIN_BITONAL_FRONT)), DB_STS_NOTAVAILABLE);
  EXPECT_EQ(db.GetWindow(), 2);
  for (EDBID_WINDOW edbidwindow = 0; edbidwindow < DB_WINDOW_COUNT; ++edbidwindow)
    EXPECT_EQ(Snapshot(Slot(edbidwindow, DB_ID_FRAMEWIDTH, DB_BIN_COLOR_REAR)), vecstrBefore[edbidwindow]);
}

// A window-bin that WINDOWBIN refuses (or a scanner without WINDOWBIN) names
// no window: nothing is deleted, the current window stays, and the refusal
// is the answer.
TEST_F(DbDatabaseWindowsTest, DeleteCurrentWindowOfABadWindowBinDeletesNothing) {
  CDatabase& db = *m_pdatabase;
  NumberedWindows([](EDBID_WINDOW) { return ON; });
  auto snapshot = [&] {
    std::vector<std::string> vecstr;
    for (EDBID_WINDOW edbidwindow = 0; edbidwindow < DB_WINDOW_COUNT; ++edbidwindow) {
      for (int iBin = DB_BIN_BITONAL_FRONT; iBin <= DB_BIN_COLOR_REAR; ++iBin) {
        for (EDBID edbid : {DB_ID_FRAMEWIDTH, DB_ID_CAMERAENABLE})
          vecstr.push_back(Snapshot(Slot(edbidwindow, edbid, static_cast<EDBBIN>(iBin))));
      }
    }
    return vecstr;
  };
  const std::vector<std::string> vecstrBefore = snapshot();
  const struct {
    const char* szWhat;
    EDBID_WINDOWBIN edbidwindowbin;
    bool blWindowBin;  // WINDOWBIN supported
    EDBSTS edbsts;
  } acase[] = {
      {"past the last window-bin", DB_WINDOWBIN_COUNT, true, DB_STS_BADVALUE},
      {"negative", -1, true, DB_STS_BADVALUE},
      {"far out", 1000, true, DB_STS_BADVALUE},
      {"without WINDOWBIN", 20, false, DB_STS_FAIL},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szWhat);
    CDbDatum* pdbdatumWindowBin = Slot(0, DB_ID_WINDOWBIN, DB_BIN_MACHINE);
    pdbdatumWindowBin->SetAccess(c.blWindowBin ? DB_ACCESS_READWRITE : DB_ACCESS_NOTSUPPORTED);
    EXPECT_EQ(db.DeleteCurrentWindow(c.edbidwindowbin), c.edbsts);
    EXPECT_EQ(db.GetWindow(), 3);
    EXPECT_EQ(pdbdatumWindowBin->GetCurrentLongNoCallback(), db.ComposeWindowBin(3, DB_BIN_BITONAL_FRONT));
    EXPECT_EQ(snapshot(), vecstrBefore);
    EXPECT_TRUE(m_plog->Contains("Bad a_edbidwindowbin, no window deleted..."));
  }
}

TEST_F(DbDatabaseWindowsTest, SetWindowIsValidatedByWindow) {
  CDatabase& db = *m_pdatabase;
  Counting(DB_ID_WINDOW, 0, 4, 0);
  EXPECT_EQ(db.SetWindow(4), DB_STS_SUCCESS);
  EXPECT_EQ(db.GetWindow(), 4);
  EXPECT_EQ(db.SetWindow(5), DB_STS_BADVALUE);
  EXPECT_EQ(db.GetWindow(), 4);
  Slot(0, DB_ID_WINDOW, DB_BIN_MACHINE)->SetAccess(DB_ACCESS_READONLY);
  EXPECT_EQ(db.SetWindow(1), DB_STS_NOTAVAILABLE);
  EXPECT_EQ(db.GetWindow(nullptr), 4);
  EXPECT_EQ(db.GetWindow(Slot(7, DB_ID_FRAMEWIDTH, DB_BIN_COLOR_REAR)), 7);
}

// ---------------------------------------------------------------------------
// Sides and crop boxes
// ---------------------------------------------------------------------------
TEST_F(DbDatabaseWindowsTest, FrontAndRearMatchOverEveryCameraCapability) {
  CDatabase& db = *m_pdatabase;
  Current(0, 0);
  for (EDBBIN edbbin : {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR}) {
    CatalogueRange(DB_ID_BRIGHTNESS, edbbin, DB_ACCESS_READWRITE, 40, 0, 100, 1);
    CatalogueRange(DB_ID_CONTRAST, edbbin, DB_ACCESS_READWRITE, 10, 0, 100, 1);
  }
  EXPECT_TRUE(db.IsFrontAndRearIdentical(DB_BIN_BITONAL_REAR));
  Slot(0, DB_ID_CONTRAST, DB_BIN_COLOR_REAR)->CopyCurrentLong(11);
  EXPECT_TRUE(db.IsFrontAndRearIdentical(DB_BIN_BITONAL_FRONT));
  EXPECT_FALSE(db.IsFrontAndRearIdentical(DB_BIN_COLOR_FRONT));
  EXPECT_TRUE(m_plog->Contains("CONTRAST doesn't match: F=10 R=11"));
  // A capability with a machine datum is not the cameras' own.
  NewRange(DB_ID_CONTRAST, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 10, 0, 100, 1);
  EXPECT_TRUE(db.IsFrontAndRearIdentical(DB_BIN_COLOR_REAR));
  EXPECT_FALSE(db.IsFrontAndRearIdentical(DB_BIN_MACHINE));
  EXPECT_TRUE(m_plog->Contains("Unrecognized edbbin...1"));
}

// Whether a bin's frame is a box of its own: never for the automatic crop
// modes; for a camera that is on always; for one that is off while a patch
// toggles or colour detection may switch its side.
TEST_F(DbDatabaseWindowsTest, IsDefinedCropbox) {
  CDatabase& db = *m_pdatabase;
  const struct {
    const char* szName;
    EDBBIN edbbin;
    long lCropping;                           // of the bin
    long lCamera;                             // the bin's camera
    long lOtherCamera;                        // the other camera of its side
    long lToggle;                             // TOGGLEPATCH
    long lAutoColorBitonal, lAutoColorColor;  // of its side
    bool blDefined;
  } acase[] = {
      {"no cropping mode", DB_BIN_BITONAL_FRONT, UNSUPPORTED, ON, OFF, UNSUPPORTED, UNSUPPORTED, UNSUPPORTED, false},
      {"automatic", DB_BIN_BITONAL_FRONT, 1, ON, OFF, UNSUPPORTED, UNSUPPORTED, UNSUPPORTED, false},
      {"aggressive", DB_BIN_BITONAL_FRONT, 4, ON, OFF, 2, 3, 3, false},
      {"photo", DB_BIN_BITONAL_FRONT, 8, ON, OFF, UNSUPPORTED, UNSUPPORTED, UNSUPPORTED, false},
      {"fixed, camera on", DB_BIN_BITONAL_FRONT, 2, ON, OFF, UNSUPPORTED, UNSUPPORTED, UNSUPPORTED, true},
      {"none, camera on", DB_BIN_BITONAL_FRONT, 7, ON, OFF, 1, 1, 1, true},
      {"side off", DB_BIN_BITONAL_FRONT, 3, OFF, OFF, UNSUPPORTED, 3, 3, false},
      {"side off, patch toggles", DB_BIN_BITONAL_FRONT, 3, OFF, OFF, 2, UNSUPPORTED, UNSUPPORTED, true},
      {"side off, no patch", DB_BIN_BITONAL_FRONT, 3, OFF, OFF, 1, 3, 3, false},
      {"colour camera on, bitonal detection", DB_BIN_BITONAL_FRONT, 3, OFF, ON, 1, 3, UNSUPPORTED, true},
      {"colour camera on, colour detection", DB_BIN_BITONAL_FRONT, 3, OFF, ON, 1, UNSUPPORTED, 5, true},
      {"colour camera on, no detection", DB_BIN_BITONAL_FRONT, 3, OFF, ON, 1, 1, 1, false},
      {"rear, colour camera on", DB_BIN_BITONAL_REAR, 2, OFF, ON, UNSUPPORTED, UNSUPPORTED, 3, true},
      {"rear colour bin, bitonal camera on", DB_BIN_COLOR_REAR, 9, OFF, ON, 1, UNSUPPORTED, UNSUPPORTED, false},
      {"rear colour bin, camera on", DB_BIN_COLOR_REAR, 9, ON, OFF, 1, UNSUPPORTED, UNSUPPORTED, true},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    Current(0, 0);
    Cameras(OFF, OFF, OFF, OFF);
    const bool blRear = c.edbbin == DB_BIN_BITONAL_REAR || c.edbbin == DB_BIN_COLOR_REAR;
    const EDBBIN edbbinBitonal = blRear ? DB_BIN_BITONAL_REAR : DB_BIN_BITONAL_FRONT;
    const EDBBIN edbbinColor = blRear ? DB_BIN_COLOR_REAR : DB_BIN_COLOR_FRONT;
    const EDBBIN edbbinOther = c.edbbin == edbbinBitonal ? edbbinColor : edbbinBitonal;
    Slot(0, DB_ID_CAMERAENABLE, c.edbbin)->CopyCurrentLong(c.lCamera);
    Slot(0, DB_ID_CAMERAENABLE, edbbinOther)->CopyCurrentLong(c.lOtherCamera);
    for (int iBin = DB_BIN_BITONAL_FRONT; iBin <= DB_BIN_COLOR_REAR; ++iBin) {
      CatalogueEnum(DB_ID_CROPPINGMODE, static_cast<EDBBIN>(iBin), DB_ACCESS_NOTSUPPORTED, 1, {});
      CatalogueEnum(DB_ID_AUTOCOLORCONTENT, static_cast<EDBBIN>(iBin), DB_ACCESS_NOTSUPPORTED, 1, {});
    }
    if (c.lCropping != UNSUPPORTED)
      CatalogueEnum(DB_ID_CROPPINGMODE, c.edbbin, DB_ACCESS_READWRITE, c.lCropping, {c.lCropping});
    if (c.lAutoColorBitonal != UNSUPPORTED)
      CatalogueEnum(DB_ID_AUTOCOLORCONTENT, edbbinBitonal, DB_ACCESS_READWRITE, c.lAutoColorBitonal, {1, 3});
    if (c.lAutoColorColor != UNSUPPORTED)
      CatalogueEnum(DB_ID_AUTOCOLORCONTENT, edbbinColor, DB_ACCESS_READWRITE, c.lAutoColorColor, {1, 5});
    Machine(DB_ID_TOGGLEPATCH, c.lToggle);
    EXPECT_EQ(db.IsDefinedCropbox(c.edbbin), c.blDefined);
  }
  EXPECT_FALSE(db.IsDefinedCropbox(DB_BIN_MACHINE));
  EXPECT_FALSE(db.IsDefinedCropbox(DB_BIN_LAST));
}

// ---------------------------------------------------------------------------
// The unit that scans, and the preview
// ---------------------------------------------------------------------------
TEST_F(DbDatabaseWindowsTest, NeedScanFromFlatbed) {
  CDatabase& db = *m_pdatabase;
  const struct {
    const char* szName;
    int iUnit;  // the attribute tasks' unit override
    std::vector<EDBSTATE> vecedbstate;
    long lPreview, lAcquire;
    bool blRearWindowBin;
    EDBSCANSOURCE edbscansource;
    long lInput, lPaperSource;
    bool blFlatbed;
  } acase[] = {
      {"flatbed override", 2, {DB_STATE_LEARNSCAN}, UNSUPPORTED, UNSUPPORTED, false, 1, UNSUPPORTED, 2, true},
      {"feeder override", 1, {DB_STATE_FLATBEDSCAN}, UNSUPPORTED, UNSUPPORTED, false, 4, UNSUPPORTED, 3, false},
      {"learning scan",
       0,
       {DB_STATE_LEARNSCAN, DB_STATE_FLATBEDSCAN},
       UNSUPPORTED,
       UNSUPPORTED,
       false,
       1,
       UNSUPPORTED,
       3,
       false},
      {"paper source flatbed", 0, {}, UNSUPPORTED, UNSUPPORTED, false, 1, UNSUPPORTED, 3, true},
      {"paper source feeder", 0, {}, UNSUPPORTED, UNSUPPORTED, false, 1, UNSUPPORTED, 2, false},
      {"no paper source", 0, {}, UNSUPPORTED, UNSUPPORTED, false, 1, UNSUPPORTED, UNSUPPORTED, false},
      {"flatbed page", 0, {DB_STATE_FLATBEDSCAN}, UNSUPPORTED, UNSUPPORTED, false, 1, UNSUPPORTED, 2, true},
      {"flatbed page, rear side only", 0, {DB_STATE_FLATBEDSCAN}, UNSUPPORTED, UNSUPPORTED, false, 1, 3, 3, false},
      {"two-sided from the flatbed", 0, {}, UNSUPPORTED, UNSUPPORTED, false, 1, 1, 3, true},
      {"preview of a rear window-bin", 0, {}, 2, 2, true, 4, UNSUPPORTED, 3, false},
      {"preview without acquire falls through", 0, {}, 2, 2, false, 1, UNSUPPORTED, 3, true},
      {"preview acquire, flatbed source", 0, {}, 2, 1, true, 4, UNSUPPORTED, 2, true},
      {"preview acquire, feeder source", 0, {}, 2, 1, false, 1, UNSUPPORTED, 3, false},
      {"preview rescan, flatbed source", 0, {DB_STATE_PREVIEWRESCAN}, 2, 2, false, 4, UNSUPPORTED, 2, true},
      {"preview rescan, feeder source", 0, {DB_STATE_PREVIEWRESCAN}, 2, 2, false, 1, UNSUPPORTED, 3, false},
      {"no preview", 0, {DB_STATE_PREVIEWRESCAN}, 1, 1, true, 4, UNSUPPORTED, 2, false},
      {"preview without acquire capability, rear", 0, {}, 2, UNSUPPORTED, true, 4, UNSUPPORTED, 3, false},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    Current(0,
            c.blRearWindowBin ? db.ComposeWindowBin(0, DB_BIN_COLOR_REAR) : db.ComposeWindowBin(0, DB_BIN_COLOR_FRONT));
    Machine(DB_ID_PREVIEWMODE, c.lPreview);
    Machine(DB_ID_PREVIEWIMAGEACQUIRE, c.lAcquire);
    Machine(DB_ID_INPUTDOCUMENT, c.lInput);
    Machine(DB_ID_PAPERSOURCE, c.lPaperSource);
    db.SetScanSource(c.edbscansource);
    db.SetUnitOverride(c.iUnit);
    for (EDBSTATE edbstate : c.vecedbstate) db.SetDbState(edbstate);
    EXPECT_EQ(db.NeedScanFromFlatbed(), c.blFlatbed);
    for (EDBSTATE edbstate : c.vecedbstate) db.ClearDbState(edbstate);
    db.SetUnitOverride(0);
  }
}

TEST_F(DbDatabaseWindowsTest, CroppingOfAPreviewAndTheCentredBox) {
  CDatabase& db = *m_pdatabase;
  Machine(DB_ID_PREVIEWMODE, 1);
  EXPECT_EQ(db.GetCroppingForPreview(DB_ID_CROPPINGMODE_ENUM_RELATIVE), 0);
  EXPECT_TRUE(m_plog->Contains("GetCroppingForPreview must only be called in preview state"));
  Machine(DB_ID_PREVIEWMODE, 2);
  const std::pair<int, int> aCropping[] = {{1, 1}, {2, 2}, {3, 1}, {4, 4}, {5, 2},
                                           {6, 6}, {7, 2}, {8, 8}, {9, 1}, {0, 0}};
  for (const auto& [iMode, iPreview] : aCropping) EXPECT_EQ(db.GetCroppingForPreview(iMode), iPreview) << iMode;
  EXPECT_TRUE(m_plog->Contains("Unexpected DB_ID_CROPPINGMODE...6"));
  for (const auto& [lPaperSource, iMode, blCentred] : std::initializer_list<std::tuple<long, int, bool>>{
           {2, 2, true}, {3, 2, false}, {UNSUPPORTED, 2, true}, {3, 5, true}, {2, 1, false}, {2, 3, false}}) {
    Machine(DB_ID_PAPERSOURCE, lPaperSource);
    EXPECT_EQ(db.IsCroppingBoxAlignmentCenter(iMode), blCentred) << lPaperSource << " " << iMode;
  }
}

// ---------------------------------------------------------------------------
// Frames on the sheet
// ---------------------------------------------------------------------------
// The sheet is the flatbed's while the flatbed scans, else the feeder's: a
// frame reaching past it is cut; a size below its minimum is raised, on the
// flatbed only when it was not cut.
TEST_F(DbDatabaseWindowsTest, GetAdjustedFrameClipsTheFrameToTheSheet) {
  CDatabase& db = *m_pdatabase;
  Current(0, db.ComposeWindowBin(0, DB_BIN_BITONAL_FRONT));
  db.ConfigRangeSetMax("sheetwidth", 8500, DB_CONFIGTARGET_ADF);
  db.ConfigRangeSetMax("sheetheight", 14000, DB_CONFIGTARGET_ADF);
  db.ConfigRangeSetMax("sheetwidth", 10200, DB_CONFIGTARGET_FLATBED);
  db.ConfigRangeSetMax("sheetheight", 11700, DB_CONFIGTARGET_FLATBED);
  const struct {
    const char* szName;
    bool blFlatbed;
    long lX, lY, lWidth, lHeight;
    long lAdjustedX, lAdjustedY, lAdjustedWidth, lAdjustedHeight;
  } acase[] = {
      {"within the feeder's sheet", false, 100, 200, 8000, 9000, 100, 200, 8000, 9000},
      {"100 too wide", false, 1000, 0, 7600, 9000, 1000, 0, 7500, 9000},
      {"too low", false, 0, 5000, 8000, 9500, 0, 5000, 8000, 9000},
      {"cut below the minimum", false, 8400, 13900, 1000, 1000, 8400, 13900, 600, 600},
      {"offsets beyond the sheet", false, 9000, 15000, 1000, 1000, 8500, 14000, 600, 600},
      {"below the minimum", false, 0, 0, 300, 400, 0, 0, 600, 600},
      {"within the flatbed's sheet", true, 1000, 0, 7600, 9000, 1000, 0, 7600, 9000},
      {"cut on the flatbed", true, 10100, 11600, 1000, 1000, 10100, 11600, 100, 100},
      {"below the minimum on the flatbed", true, 0, 0, 300, 400, 0, 0, 600, 600},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    Machine(DB_ID_PAPERSOURCE, c.blFlatbed ? DB_ID_PAPERSOURCE_ENUM_FLATBED : DB_ID_PAPERSOURCE_ENUM_ADF);
    CatalogueRange(DB_ID_FRAMEXOFFSET, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, c.lX, 0, 50000, 1);
    CatalogueRange(DB_ID_FRAMEYOFFSET, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, c.lY, 0, 50000, 1);
    CatalogueRange(DB_ID_FRAMEWIDTH, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, c.lWidth, 600, 50000, 1);
    CatalogueRange(DB_ID_FRAMEHEIGHT, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, c.lHeight, 600, 50000, 1);
    const struct {
      EDBID edbid;
      long lAdjusted;
    } aside[] = {{DB_ID_FRAMEXOFFSET, c.lAdjustedX},
                 {DB_ID_FRAMEYOFFSET, c.lAdjustedY},
                 {DB_ID_FRAMEWIDTH, c.lAdjustedWidth},
                 {DB_ID_FRAMEHEIGHT, c.lAdjustedHeight}};
    for (const auto& side : aside)
      EXPECT_EQ(db.GetAdjustedFrame(Slot(0, side.edbid, DB_BIN_BITONAL_FRONT)), side.lAdjusted) << side.edbid;
  }
  // Another capability, and a frame that is not whole: the value as it is.
  CDbRange* pbrightness = CatalogueRange(DB_ID_BRIGHTNESS, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 40, 0, 100, 1);
  EXPECT_EQ(db.GetAdjustedFrame(pbrightness), 40);
  EXPECT_TRUE(m_plog->Contains("Unrecognized edbid 34 "));
  Slot(0, DB_ID_FRAMEHEIGHT, DB_BIN_BITONAL_FRONT)->SetAccess(DB_ACCESS_NOTSUPPORTED);
  EXPECT_EQ(db.GetAdjustedFrame(Slot(0, DB_ID_FRAMEWIDTH, DB_BIN_BITONAL_FRONT)), 300);
  EXPECT_TRUE(m_plog->Contains("Couldn't find all the frame in bin 2"));
}

// The physical height H caps a range's maximum and value; a frame's height
// and y offset are cut so that the frame turned by its skew angle ends at H.
TEST_F(DbDatabaseWindowsTest, RangesAndFramesAreCappedAtThePhysicalHeight) {
  CDatabase& db = *m_pdatabase;
  db.ConfigRangeSetMax("sheetheight", 11000, DB_CONFIGTARGET_COMMON);
  CDbFrame dbframe;
  const long lTurnedExtent = static_cast<long>(dbframe.GetMaxHeight(1000, 3000, 6000, 9000, 50000));
  ASSERT_GT(lTurnedExtent, 9200);
  const struct {
    const char* szName;
    EDBID edbid;
    long lPhysical;  // PHYSICALHEIGHTADJUST, or UNSUPPORTED
    bool blLoading;  // state 3
    bool blOnlyWhenWithin;
    long lMax, lDefaultMax;
    long lY, lHeight, lAngle;  // the frame's
    long lValue, lMaxAfter;    // of the range after
  } acase[] = {
      {"height cut", DB_ID_FRAMEHEIGHT, 14000, false, false, 20000, 20000, 0, 15000, 0, 14000, 14000},
      {"height within", DB_ID_FRAMEHEIGHT, 14000, false, false, 20000, 20000, 1000, 9000, 0, 9000, 14000},
      {"y offset lifted", DB_ID_FRAMEYOFFSET, 14000, false, false, 20000, 20000, 3000, 12000, 0, 2000, 14000},
      {"y offset kept", DB_ID_FRAMEYOFFSET, 14000, false, false, 20000, 20000, 2000, 12000, 0, 2000, 14000},
      {"y offset at the top", DB_ID_FRAMEYOFFSET, 14000, false, false, 20000, 20000, 3000, 16000, 0, 0, 14000},
      {"turned frame's height", DB_ID_FRAMEHEIGHT, 9200, false, false, 20000, 20000, 3000, 9000, 50000,
       9000 - (lTurnedExtent - 9200), 9200},
      {"at the default maximum", DB_ID_FRAMEHEIGHT, 14000, false, false, 12000, 12000, 0, 12000, 0, 12000, 12000},
      {"only within: above the maximum", DB_ID_FRAMEHEIGHT, 14000, false, true, 13000, 20000, 0, 13000, 0, 13000,
       13000},
      {"only within: below the maximum", DB_ID_FRAMEHEIGHT, 12000, false, true, 13000, 20000, 0, 13000, 0, 12000,
       12000},
      {"while loading: the sheet", DB_ID_FRAMEHEIGHT, 14000, true, false, 20000, 20000, 0, 15000, 0, 11000, 11000},
      {"unsupported: the sheet", DB_ID_FRAMEHEIGHT, UNSUPPORTED, false, false, 20000, 20000, 0, 15000, 0, 11000, 11000},
      {"another range", DB_ID_PAGESIZELIMIT, 14000, false, false, 20000, 20000, 0, 16000, 0, 14000, 14000},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    CatalogueRange(DB_ID_PHYSICALHEIGHTADJUST, DB_BIN_MACHINE,
                   c.lPhysical == UNSUPPORTED ? DB_ACCESS_NOTSUPPORTED : DB_ACCESS_READWRITE, c.lPhysical, 0, 50000, 1);
    const EDBBIN edbbin = c.edbid == DB_ID_PAGESIZELIMIT ? DB_BIN_MACHINE : DB_BIN_COLOR_FRONT;
    CatalogueRange(DB_ID_FRAMEXOFFSET, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 1000, 0, 20000, 1);
    CatalogueRange(DB_ID_FRAMEWIDTH, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 6000, 0, 20000, 1);
    CatalogueRange(DB_ID_IMAGESKEWANGLE, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, c.lAngle, -450000, 450000, 1);
    CatalogueRange(DB_ID_FRAMEYOFFSET, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, c.lY, 0, 20000, 1);
    CatalogueRange(DB_ID_FRAMEHEIGHT, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, c.lHeight, 0, 20000, 1);
    CDbRange* prange = dbcontainer::AsRange(Slot(0, c.edbid, edbbin));
    const long lCurrent = c.edbid == DB_ID_FRAMEYOFFSET ? c.lY : c.lHeight;
    prange->InitRangeLong(c.edbid, edbbin, DB_ACCESS_READWRITE, DB_DEVICEDATA_NONE, lCurrent, 0, c.lMax, 1, lCurrent, 0,
                          c.lDefaultMax, 1);
    State(DB_STATE_LOADING, c.blLoading);
    EXPECT_EQ(db.FixRangeFromPhysicalHeightAdjust(prange, c.blOnlyWhenWithin), DB_STS_SUCCESS);
    State(DB_STATE_LOADING, false);
    EXPECT_EQ(prange->GetCurrentLongNoCallback(), c.lValue);
    EXPECT_EQ(prange->GetMax(), c.lMaxAfter);
  }
  EXPECT_EQ(db.FixRangeFromPhysicalHeightAdjust(nullptr, false), DB_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("a_hdbdatum is NULL"));
  EXPECT_EQ(db.FixRangeFromPhysicalHeightAdjust(Slot(2, DB_ID_FRAMEHEIGHT, DB_BIN_COLOR_FRONT), false),
            DB_STS_BADARGUMENT);
}

// The paper sizes offered are the default sizes no higher than the physical
// height, in the default list's order.
TEST_F(DbDatabaseWindowsTest, PaperSizesAreCappedAtThePhysicalHeight) {
  CDatabase& db = *m_pdatabase;
  CatalogueRange(DB_ID_PHYSICALWIDTH, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 10200, 0, 50000, 1);
  CatalogueRange(DB_ID_PHYSICALHEIGHTADJUST, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 14100, 0, 50000, 1);
  const long LETTER = DB_ID_SUPPORTEDSIZES_ENUM_USLETTER, LEGAL = DB_ID_SUPPORTEDSIZES_ENUM_USLEGAL,
             A4 = DB_ID_SUPPORTEDSIZES_ENUM_A4, NONE = DB_ID_SUPPORTEDSIZES_ENUM_NONE;
  CDbEnum* psizes =
      CatalogueEnum(DB_ID_SUPPORTEDSIZES, DB_BIN_MACHINE, DB_ACCESS_READWRITE, LEGAL, {A4, LEGAL, NONE, LETTER});
  db.FixImagePresetFromPhysicalHeightAdjust(psizes);
  EXPECT_EQ(psizes->GetCurrentItemCount(), 3);
  EXPECT_EQ(psizes->GetCurrentItem(0), A4);
  EXPECT_EQ(psizes->GetCurrentItem(1), NONE);
  EXPECT_EQ(psizes->GetCurrentItem(2), LETTER);
  EXPECT_EQ(psizes->GetCurrentLongNoCallback(), A4);
  // Without the capability the model's tallest sheet counts; a listed
  // current size stays.
  Slot(0, DB_ID_PHYSICALHEIGHTADJUST, DB_BIN_MACHINE)->SetAccess(DB_ACCESS_NOTSUPPORTED);
  db.ConfigRangeSetMax("sheetheight", 13500, DB_CONFIGTARGET_COMMON);
  psizes->CopyCurrentLong(LETTER);
  db.FixImagePresetFromPhysicalHeightAdjust(psizes);
  EXPECT_EQ(psizes->GetCurrentItemCount(), 2);
  EXPECT_EQ(psizes->GetCurrentLongNoCallback(), LETTER);
  db.FixImagePresetFromPhysicalHeightAdjust(nullptr);
  EXPECT_TRUE(m_plog->Contains("a_hdbdatum is NULL"));
}

// The lowest frame bottom over every window, in the bins whose frame is a
// box of their own.
TEST_F(DbDatabaseWindowsTest, GetHeightMaxTakesTheLowestFrameBottom) {
  CDatabase& db = *m_pdatabase;
  Current(0, 0);
  Cameras(ON, OFF, OFF, OFF);
  CatalogueEnum(DB_ID_CROPPINGMODE, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, DB_ID_CROPPINGMODE_ENUM_FIXED, {2});
  CatalogueEnum(DB_ID_CROPPINGMODE, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, DB_ID_CROPPINGMODE_ENUM_FIXED, {2});
  for (EDBBIN edbbin : {DB_BIN_BITONAL_FRONT, DB_BIN_COLOR_FRONT}) {
    CatalogueRange(DB_ID_FRAMEYOFFSET, edbbin, DB_ACCESS_READWRITE, 100, 0, 50000, 1);
    CatalogueRange(DB_ID_FRAMEHEIGHT, edbbin, DB_ACCESS_READWRITE, 1000, 0, 50000, 1);
    CatalogueEnum(DB_ID_WINDOWSIZE, edbbin, DB_ACCESS_READWRITE, DB_ID_WINDOWSIZE_ENUM_A4, {2, 3, 18});
  }
  Slot(4, DB_ID_FRAMEYOFFSET, DB_BIN_BITONAL_FRONT)->CopyCurrentLong(500);
  Slot(4, DB_ID_FRAMEHEIGHT, DB_BIN_BITONAL_FRONT)->CopyCurrentLong(3000);
  Slot(6, DB_ID_WINDOWSIZE, DB_BIN_BITONAL_FRONT)->CopyCurrentLong(DB_ID_WINDOWSIZE_ENUM_USLEGAL);
  // The colour front camera is off and nothing may switch its side on: its
  // larger frames do not count.
  Slot(5, DB_ID_FRAMEYOFFSET, DB_BIN_COLOR_FRONT)->CopyCurrentLong(9000);
  Slot(5, DB_ID_FRAMEHEIGHT, DB_BIN_COLOR_FRONT)->CopyCurrentLong(9000);
  Slot(5, DB_ID_WINDOWSIZE, DB_BIN_COLOR_FRONT)->CopyCurrentLong(DB_ID_WINDOWSIZE_ENUM_USLEDGER);
  CatalogueRange(DB_ID_PHYSICALWIDTH, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 10200, 0, 50000, 1);
  CatalogueRange(DB_ID_PHYSICALHEIGHTADJUST, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 20000, 0, 50000, 1);
  CDbEnum* psizes = CatalogueEnum(DB_ID_SUPPORTEDSIZES, DB_BIN_MACHINE, DB_ACCESS_READWRITE,
                                  DB_ID_SUPPORTEDSIZES_ENUM_USLETTER, {2, 3});
  const long lLegal = static_cast<long>(CDbFrame::s_dbsupportedsizes[DB_SUPPORTEDSIZES_FIRST + 1].i64Height);
  const long lLetter = static_cast<long>(CDbFrame::s_dbsupportedsizes[DB_SUPPORTEDSIZES_FIRST].i64Height);
  for (const auto& [edbid, lHeightMax] : std::initializer_list<std::pair<EDBID, long>>{{DB_ID_FRAMEHEIGHT, 3500},
                                                                                       {DB_ID_CAMERAENABLE, 3500},
                                                                                       {DB_ID_TOGGLEPATCH, 3500},
                                                                                       {DB_ID_WINDOWSIZE, lLegal},
                                                                                       {DB_ID_BRIGHTNESS, 0}}) {
    const EDBBIN edbbin = edbid == DB_ID_TOGGLEPATCH ? DB_BIN_MACHINE : DB_BIN_BITONAL_FRONT;
    EXPECT_EQ(db.GetHeightMax(Slot(0, edbid, edbbin)), lHeightMax) << edbid;
  }
  EXPECT_EQ(db.GetHeightMax(psizes), lLetter);
  // With no box anywhere nothing counts.
  Slot(0, DB_ID_CAMERAENABLE, DB_BIN_BITONAL_FRONT)->CopyCurrentLong(OFF);
  EXPECT_EQ(db.GetHeightMax(Slot(0, DB_ID_FRAMEHEIGHT, DB_BIN_BITONAL_FRONT)), 0);
}

// ---------------------------------------------------------------------------
// Value shortcuts
// ---------------------------------------------------------------------------
TEST_F(DbDatabaseWindowsTest, ShortcutsFindTheCapabilityThenApplyTheOperation) {
  CDatabase& db = *m_pdatabase;
  Current(3, db.ComposeWindowBin(3, DB_BIN_COLOR_FRONT));
  CDbRange* prange = CatalogueRange(DB_ID_BRIGHTNESS, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 40, 0, 100, 2);
  prange->Remember();
  CDbEnum* pformat = CatalogueEnum(DB_ID_IMAGEFORMAT, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE,
                                   DB_ID_IMAGEFORMAT_ENUM_RGB_24, {1, 2, 3});
  CDbDatum* pformatCopy = Slot(3, DB_ID_IMAGEFORMAT, DB_BIN_COLOR_FRONT);
  pformatCopy->CopyCurrentLong(DB_ID_IMAGEFORMAT_ENUM_GRAY_8);
  CDbString* pserial = dbcontainer::AsString(Slot(0, DB_ID_SERIALNUMBER, DB_BIN_MACHINE));
  pserial->InitString(DB_ID_SERIALNUMBER, DB_BIN_MACHINE, DB_ACCESS_READWRITE, DB_DEVICEDATA_NONE, 12, "SN1", "", "",
                      "");
  const struct {
    const char* szCall;
    std::function<long()> fnCall;
    long lResult;
    const char* szLog;
  } acase[] = {
      {"current", [&] { return db.GetCurrentLongFromId(DB_ID_BRIGHTNESS); }, 40, nullptr},
      {"current of a copy", [&] { return db.GetCurrentLongFromId(DB_ID_IMAGEFORMAT); }, 2, nullptr},
      {"default", [&] { return db.GetDefaultLongFromId(DB_ID_IMAGEFORMAT); }, 3, nullptr},
      {"restore", [&] { return db.GetRestoreLongFromId(DB_ID_BRIGHTNESS); }, 40, nullptr},
      {"current not supported", [&] { return db.GetCurrentLongFromId(DB_ID_CONTRAST); }, 0, "Bad a_hdbdatum..."},
      {"by bin", [&] { return db.GetCurrentLongFromIdBin(DB_ID_IMAGEFORMAT, DB_BIN_COLOR_FRONT); }, 2, nullptr},
      {"container", [&] { return long{db.GetContainerTypeFromId(DB_ID_IMAGEFORMAT)}; }, DB_CONTAINERTYPE_ENUM, nullptr},
      {"container of 0", [&] { return long{db.GetContainerTypeFromId(DB_ID_UNDEFINED)}; }, 0, nullptr},
      {"access in a bin", [&] { return long{db.GetAccessFromId(DB_ID_BRIGHTNESS, DB_BIN_COLOR_FRONT)}; },
       DB_ACCESS_READWRITE, nullptr},
      {"access in bin 6", [&] { return long{db.GetAccessFromId(DB_ID_SERIALNUMBER, DB_BIN_LAST)}; },
       DB_ACCESS_READWRITE, nullptr},
      {"access not supported", [&] { return long{db.GetAccessFromId(DB_ID_BRIGHTNESS, DB_BIN_COLOR_REAR)}; }, 0,
       nullptr},
      {"validate the current value", [&] { return long{db.ValidateLongFromId(DB_ID_BRIGHTNESS, 40)}; }, 0, nullptr},
      {"validate off the grid", [&] { return long{db.ValidateLongFromId(DB_ID_BRIGHTNESS, 41)}; }, DB_STS_BADVALUE,
       nullptr},
      {"validate a copy's value", [&] { return long{db.ValidateLongFromId(DB_ID_IMAGEFORMAT, 4)}; }, DB_STS_BADVALUE,
       nullptr},
      {"validate a text", [&] { return long{db.ValidateLongFromId(DB_ID_SERIALNUMBER, 1)}; }, DB_STS_BADCONTAINER,
       "Bad container...3"},
      {"validate not supported", [&] { return long{db.ValidateLongFromId(DB_ID_CONTRAST, 1)}; }, DB_STS_FAIL,
       "Unsupported id...52"},
      {"text length", [&] { return static_cast<long>(db.StringGetMaxLength(DB_ID_SERIALNUMBER)); }, 12, nullptr},
      {"text length of a range", [&] { return static_cast<long>(db.StringGetMaxLength(DB_ID_BRIGHTNESS)); }, 0,
       "a_edbid not a string...34"},
      {"text length not supported", [&] { return static_cast<long>(db.StringGetMaxLength(DB_ID_CONTRAST)); }, 0,
       "Unsupported id...52"},
      {"items of a copy", [&] { return db.EnumGetCurrentItemCount(DB_ID_IMAGEFORMAT); }, 3, nullptr},
      {"items of a range", [&] { return db.EnumGetCurrentItemCount(DB_ID_BRIGHTNESS); }, 0,
       "BRIGHTNESS isn't a CENUM..."},
      {"items not supported", [&] { return db.EnumGetCurrentItemCount(DB_ID_CONTRAST); }, 0, "Unsupported id...52"},
      {"reset not supported", [&] { return long{db.ResetCurrentFromId(DB_ID_CONTRAST)}; }, DB_STS_FAIL,
       "Unsupported id...52"},
      {"text set not supported", [&] { return long{db.SetCurrentStringFromId(DB_ID_CONTRAST, "x")}; }, DB_STS_FAIL,
       "Unsupported id...52"},
  };
  for (const auto& c : acase) ExpectCall(c.szCall, c.fnCall, c.lResult, c.szLog);
  EXPECT_EQ(db.GetCurrentStringFromId(DB_ID_CONTRAST), nullptr);
  EXPECT_EQ(db.GetCurrentStringNoCallback(DB_ID_CONTRAST), nullptr);
  // Sets through the shortcuts: a window's copy takes the value.
  EXPECT_EQ(db.SetCurrentLongFromId(DB_ID_IMAGEFORMAT, DB_ID_IMAGEFORMAT_ENUM_BW, false), DB_STS_SUCCESS);
  EXPECT_EQ(pformatCopy->GetCurrentLongNoCallback(), DB_ID_IMAGEFORMAT_ENUM_BW);
  EXPECT_EQ(pformat->GetCurrentLongNoCallback(), DB_ID_IMAGEFORMAT_ENUM_RGB_24);
  EXPECT_EQ(db.SetCurrentLongFromIdBin(DB_ID_BRIGHTNESS, DB_BIN_COLOR_FRONT, 41), DB_STS_BADVALUE);
  EXPECT_EQ(db.ForceCurrentLongFromId(DB_ID_BRIGHTNESS, 60), DB_STS_SUCCESS);
  EXPECT_EQ(db.ResetCurrentFromId(DB_ID_BRIGHTNESS), DB_STS_SUCCESS);
  EXPECT_EQ(prange->GetCurrentLongNoCallback(), 40);
  EXPECT_EQ(db.SetCurrentStringFromId(DB_ID_SERIALNUMBER, "SN2"), DB_STS_SUCCESS);
  EXPECT_STREQ(db.GetCurrentStringFromId(DB_ID_SERIALNUMBER), "SN2");
  EXPECT_EQ(db.ForceCurrentStringFromId(DB_ID_SERIALNUMBER, "a text longer than twelve"), DB_STS_BADVALUE);
  EXPECT_STREQ(db.GetCurrentStringNoCallback(DB_ID_SERIALNUMBER), "SN2");
}

}  // namespace
