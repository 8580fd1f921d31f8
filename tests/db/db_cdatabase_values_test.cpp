// The database's value operations: the readers, the set path with its
// validation on the master and its one fix-up pass, the forms that accept a
// value validation finds not modifiable, the string, range, reset and group
// setters, the access pass, remember and restore, and refused calls that
// must leave every value as it was.
#include <functional>
#include <map>

#include "db_values_fixture.h"

namespace {

using dbtest::CallbackProbe;
using dbtest::DbValuesFixture;
using dbtest::LongDatum;
using dbtest::RecordingEnum;
using dbtest::RecordingRange;
using dbtest::RecordingString;

class DbDatabaseValuesTest : public DbValuesFixture {
 protected:
  // The markers the calls of one operation saw, in order.
  std::vector<CDbDatum*> Markers(const std::string& a_strOperation) const {
    std::vector<CDbDatum*> vec;
    for (const dbtest::RuleCall& rulecall : m_journal.vecrulecall) {
      if (rulecall.strOperation == a_strOperation) vec.push_back(rulecall.pdbdatumModified);
    }
    return vec;
  }

  // Whether every call of an operation ran inside a pass (state bit 2).
  bool AllInPass(const std::string& a_strOperation) const {
    for (const dbtest::RuleCall& rulecall : m_journal.vecrulecall) {
      if (rulecall.strOperation == a_strOperation && !rulecall.blPassBit) return false;
    }
    return true;
  }

  // After any set: no pass runs, no marker is left.
  void ExpectNoPassLeft() const {
    EXPECT_FALSE(CDbDatum::TestDbState(DB_STATE_FIXUP));
    EXPECT_EQ(CDbDatum::GetModified(), nullptr);
  }
};

// ---------------------------------------------------------------------------
// Readers
// ---------------------------------------------------------------------------
TEST_F(DbDatabaseValuesTest, ReadersAnswerEachGenerationAndRunTheCallbackOutsideAPass) {
  CDatabase& db = *m_pdatabase;
  RecordingRange* prange =
      NewRecordingRange(DB_ID_FRAMEWIDTH, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 500, 0, 1000, 10);
  prange->SetCurrentLong(600);
  prange->Remember();
  prange->SetCurrentLong(650);
  EXPECT_EQ(db.SetProfilesLong(prange, 700), DB_STS_SUCCESS);
  CallbackProbe probe;
  prange->RegisterCallback(DB_CALLBACK_GETLONG, CallbackProbe::Callback, &probe);
  EXPECT_EQ(db.GetCurrentLong(prange), 650);
  EXPECT_EQ(probe.iCalls, 1);
  EXPECT_EQ(db.GetCurrentLongNoCallback(prange), 650);
  db.SetDbState(DB_STATE_FIXUP);
  EXPECT_EQ(db.GetCurrentLong(prange), 650);
  db.ClearDbState(DB_STATE_FIXUP);
  EXPECT_EQ(probe.iCalls, 1);
  EXPECT_EQ(db.GetPreviousLong(prange), 600);
  EXPECT_EQ(db.GetRestoreLong(prange), 600);
  EXPECT_EQ(db.GetProfileLong(prange), 700);
  EXPECT_EQ(db.GetDefaultLong(prange), 500);
  // A window's copy has the master's default.
  EXPECT_EQ(db.GetDefaultLong(Slot(3, DB_ID_FRAMEWIDTH, DB_BIN_BITONAL_FRONT)), 500);

  RecordingString* pstring = NewRecordingString(DB_ID_SERIALNUMBER, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 16, "A1");
  pstring->SetDefaultString("B2");
  pstring->SetCurrentString("C3");
  CallbackProbe probeString;
  pstring->RegisterCallback(DB_CALLBACK_GETSTRING, CallbackProbe::Callback, &probeString);
  EXPECT_STREQ(db.GetCurrentString(pstring), "C3");
  EXPECT_EQ(probeString.iCalls, 1);
  EXPECT_STREQ(db.GetDefaultString(pstring), "B2");
  EXPECT_STREQ(db.GetProfilesString(pstring), "A1");
  EXPECT_EQ(db.UpdateProfilesString(pstring), DB_STS_SUCCESS);
  EXPECT_STREQ(db.GetProfilesString(pstring), "C3");
  // A long read of a text is logged and answers the field.
  const size_t sizetFrom = LogSize();
  db.GetCurrentLong(pstring);
  EXPECT_NE(LogFrom(sizetFrom).find("225 is not a DB_DATATYPE_LONG..."), std::string::npos);
}

TEST_F(DbDatabaseValuesTest, ANullDatumIsLoggedAndReadsAsNothing) {
  CDatabase& db = *m_pdatabase;
  const std::function<long()> afnLong[] = {
      [&] { return db.GetCurrentLong(nullptr); },           [&] { return db.GetCurrentLongNoCallback(nullptr); },
      [&] { return db.GetDefaultLong(nullptr); },           [&] { return db.GetPreviousLong(nullptr); },
      [&] { return db.GetRestoreLong(nullptr); },           [&] { return db.GetProfileLong(nullptr); },
      [&] { return long{db.SetProfilesLong(nullptr, 5)}; }, [&] { return long{db.UpdateProfilesString(nullptr)}; },
  };
  const long alExpected[] = {0, 0, 0, 0, 0, 0, DB_STS_FAIL, DB_STS_FAIL};
  for (size_t sizet = 0; sizet < std::size(afnLong); ++sizet) {
    SCOPED_TRACE(sizet);
    const size_t sizetFrom = LogSize();
    EXPECT_EQ(afnLong[sizet](), alExpected[sizet]);
    EXPECT_NE(LogFrom(sizetFrom).find("a_hdbdatum"), std::string::npos);
  }
  EXPECT_EQ(db.GetCurrentString(nullptr), nullptr);
  EXPECT_EQ(db.GetDefaultString(nullptr), nullptr);
  EXPECT_EQ(db.GetProfilesString(nullptr), nullptr);
}

TEST_F(DbDatabaseValuesTest, ValuesMatchByDataTypeAndCurrentValue) {
  CDatabase& db = *m_pdatabase;
  CDbRange* pa = NewRange(DB_ID_BRIGHTNESS, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 40, 0, 100, 1);
  CDbRange* pb = NewRange(DB_ID_BRIGHTNESS, DB_BIN_BITONAL_REAR, DB_ACCESS_READWRITE, 40, 0, 100, 1);
  CDbRange* pc = NewRange(DB_ID_BRIGHTNESS, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 41, 0, 100, 1);
  CDbString* ps = NewText(DB_ID_SERIALNUMBER, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 16, "abc", "");
  CDbString* pt = NewText(DB_ID_METERFIRSTSCAN, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 32, "abc", "");
  CDbString* pu = NewText(DB_ID_TIMEDATE, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 32, "abd", "");
  CDbDatum* pblank = CDbDatum::ms_pdatumcommon->pdbdatumBlank;
  const struct {
    CDbDatum* pa;
    CDbDatum* pb;
    bool blMatch;
  } acase[] = {{pa, pb, true},  {pa, pc, false},        {pa, ps, false},     {ps, pt, true},
               {ps, pu, false}, {pblank, pblank, true}, {pa, nullptr, false}};
  for (const auto& c : acase) EXPECT_EQ(db.IsValueMatch(c.pa, c.pb), c.blMatch);
  EXPECT_TRUE(m_plog->Contains("Unrecognized datatype...0"));
}

// ---------------------------------------------------------------------------
// The set path
// ---------------------------------------------------------------------------
// A window's copy is judged by the one constraint of window 0, told the
// copy's window; the value goes into the copy alone.
TEST_F(DbDatabaseValuesTest, ValidationRunsOnTheMasterWithTheDatumsWindow) {
  CDatabase& db = *m_pdatabase;
  RecordingRange* pmaster =
      NewRecordingRange(DB_ID_FRAMEWIDTH, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 1200, 600, 2400, 1);
  CDbDatum* pcopy = Slot(3, DB_ID_FRAMEWIDTH, DB_BIN_BITONAL_FRONT);
  ASSERT_NE(pcopy, nullptr);
  EXPECT_EQ(db.SetCurrentLong(pcopy, 1800, false), DB_STS_SUCCESS);
  ASSERT_EQ(m_journal.vecrulecall.size(), 2u);
  const dbtest::RuleCall& validate = m_journal.vecrulecall[0];
  EXPECT_EQ(validate.strOperation, "Validate");
  EXPECT_EQ(validate.edbid, DB_ID_FRAMEWIDTH);
  EXPECT_EQ(validate.edbidwindow, 3);
  EXPECT_EQ(validate.lValue, 1800);
  EXPECT_FALSE(validate.blPassBit);
  EXPECT_EQ(m_journal.vecrulecall[1].strOperation, "FixCurrent");
  EXPECT_EQ(m_journal.vecrulecall[1].pdbdatumModified, pcopy);
  EXPECT_EQ(pcopy->GetCurrentLongNoCallback(), 1800);
  EXPECT_EQ(pmaster->GetCurrentLongNoCallback(), 1200);
  ExpectNoPassLeft();
  // The container's own bounds and the rule's own refusal both store
  // nothing.
  m_journal.Clear();
  EXPECT_EQ(db.SetCurrentLong(pcopy, 3000, false), DB_STS_BADVALUE);
  pmaster->m_eosstsRefuse = DB_EOSSTS_REFUSED;
  EXPECT_EQ(db.SetCurrentLong(pcopy, 2000, false), DB_STS_BADVALUE);
  EXPECT_EQ(pcopy->GetCurrentLongNoCallback(), 1800);
  EXPECT_EQ(m_journal.Of("Validate"), (std::vector<std::string>{"99/2", "99/2"}));
  EXPECT_TRUE(m_journal.Of("FixCurrent").empty());
}

// Setting the value a datum holds changes nothing, unless a command or a GUI
// request runs; the force form always stores.
TEST_F(DbDatabaseValuesTest, AnUnchangedValueIsANoOpOutsideCommandsAndGuiRequests) {
  CDatabase& db = *m_pdatabase;
  RecordingEnum* pdatum = NewRecordingEnum(DB_ID_COMPRESSION, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 6, {1, 6, 7});
  enum ESetter { SET, IGNOREACCESS, FORCE };
  const struct {
    const char* szName;
    int iState;  // 0 for none
    ESetter esetter;
    bool blStored;
  } acase[] = {
      {"set", 0, SET, false},
      {"set in a command", DB_STATE_APPLICATION, SET, true},
      {"set for the GUI", DB_STATE_GUI, SET, true},
      {"ignore access", 0, IGNOREACCESS, false},
      {"ignore access in a command", DB_STATE_APPLICATION, IGNOREACCESS, true},
      {"force", 0, FORCE, true},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    m_journal.Clear();
    Notify()->ResetAll(DB_NOTIFY_ALL);
    if (c.iState) db.SetDbState(static_cast<EDBSTATE>(c.iState));
    const EDBSTS edbsts = c.esetter == SET            ? db.SetCurrentLong(pdatum, 6, false)
                          : c.esetter == IGNOREACCESS ? db.SetCurrentLongIgnoreAccess(pdatum, 6)
                                                      : db.ForceCurrentLong(pdatum, 6);
    if (c.iState) db.ClearDbState(static_cast<EDBSTATE>(c.iState));
    EXPECT_EQ(edbsts, DB_STS_SUCCESS);
    EXPECT_EQ(m_journal.Of("Validate").size(), c.blStored ? 1u : 0u);
    EXPECT_EQ(m_journal.Of("FixCurrent").size(), c.blStored ? 1u : 0u);
    EXPECT_EQ(Notified(DB_NOTIFY_VALUE, pdatum), c.blStored);
  }
  // The value's own callback refreshes it before the comparison.
  pdatum->RegisterCallback(
      DB_CALLBACK_GETLONG,
      [](void* a_pv) {
        static_cast<DbCallbackRecord*>(a_pv)->pdbdatum->CopyCurrentLong(DB_ID_COMPRESSION_ENUM_JPEG);
        return OS_STS_SUCCESS;
      },
      nullptr);
  m_journal.Clear();
  EXPECT_EQ(db.SetCurrentLong(pdatum, DB_ID_COMPRESSION_ENUM_JPEG, false), DB_STS_SUCCESS);
  EXPECT_TRUE(m_journal.vecrulecall.empty());
}

// With onlyThis the master's FixCurrent runs alone, inside the marker and
// the pass bit; run by a rule inside a pass, the pass keeps its own marker.
TEST_F(DbDatabaseValuesTest, OnlyThisRunsTheMastersFixCurrentInsideTheMarkerAndPassBit) {
  CDatabase& db = *m_pdatabase;
  RecordingEnum* pa = NewRecordingEnum(DB_ID_ACDLEARNMODE, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1, {1, 2});
  RecordingEnum* pb = NewRecordingEnum(DB_ID_ADFUNIQUE, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1, {1, 2});
  RecordingRange* pz = NewRecordingRange(DB_ID_ALARMVOLUME, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 0, 0, 10, 1);
  EXPECT_EQ(db.SetCurrentLong(pb, 2, true), DB_STS_SUCCESS);
  EXPECT_EQ(m_journal.Of("FixCurrent"), (std::vector<std::string>{"4/1"}));
  EXPECT_EQ(Markers("FixCurrent"), (std::vector<CDbDatum*>{pb}));
  EXPECT_TRUE(AllInPass("FixCurrent"));
  ExpectNoPassLeft();
  // The same set without onlyThis runs every datum's FixCurrent.
  m_journal.Clear();
  EXPECT_EQ(db.SetCurrentLong(pb, 1, false), DB_STS_SUCCESS);
  EXPECT_EQ(m_journal.Of("FixCurrent"), (std::vector<std::string>{"1/1", "4/1", "5/1"}));
  // A rule's own onlyThis set inside a pass.
  m_journal.Clear();
  pa->m_fnFixCurrent = [&] { EXPECT_EQ(db.SetCurrentLong(pb, 2, true), DB_STS_SUCCESS); };
  EXPECT_EQ(db.SetCurrentLong(pz, 7, false), DB_STS_SUCCESS);
  EXPECT_EQ(m_journal.Of("FixCurrent"), (std::vector<std::string>{"1/1", "4/1", "4/1", "5/1"}));
  EXPECT_EQ(Markers("FixCurrent"), (std::vector<CDbDatum*>{pz, pb, pz, pz}));
  EXPECT_TRUE(AllInPass("FixCurrent"));
  EXPECT_EQ(pb->GetCurrentLongNoCallback(), 2);
  ExpectNoPassLeft();
}

// A set made by a rule inside the pass is validated and stored but starts no
// pass of its own, and a pass asked for inside one returns at once.
TEST_F(DbDatabaseValuesTest, PassesDoNotNest) {
  CDatabase& db = *m_pdatabase;
  RecordingEnum* pa = NewRecordingEnum(DB_ID_ACDLEARNMODE, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1, {1, 2});
  RecordingEnum* pb = NewRecordingEnum(DB_ID_ADFUNIQUE, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1, {1, 2});
  RecordingRange* pz = NewRecordingRange(DB_ID_ALARMVOLUME, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 0, 0, 10, 1);
  pa->m_fnFixCurrent = [&] {
    EXPECT_EQ(db.SetCurrentLong(pb, 2, false), DB_STS_SUCCESS);
    db.FixCurrentAll(pa);
    EXPECT_EQ(CDbDatum::GetModified(), pz);
  };
  EXPECT_EQ(db.SetCurrentLong(pz, 3, false), DB_STS_SUCCESS);
  EXPECT_EQ(m_journal.Of("FixCurrent"), (std::vector<std::string>{"1/1", "4/1", "5/1"}));
  EXPECT_EQ(Markers("FixCurrent"), (std::vector<CDbDatum*>{pz, pz, pz}));
  EXPECT_EQ(m_journal.Of("Validate"), (std::vector<std::string>{"5/1", "4/1"}));
  EXPECT_EQ(pb->GetCurrentLongNoCallback(), 2);
  ExpectNoPassLeft();
}

// The pass visits the accessible window-0 datums, ids ascending and bins 1
// to 5 within an id; a datum of no container is logged and passed over.
TEST_F(DbDatabaseValuesTest, ThePassWalksTheAccessibleMastersInIdOrder) {
  CDatabase& db = *m_pdatabase;
  NewRecordingRange(DB_ID_BRIGHTNESS, DB_BIN_COLOR_REAR, DB_ACCESS_READWRITE, 0, 0, 10, 1);
  NewRecordingRange(DB_ID_BRIGHTNESS, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 0, 0, 10, 1);
  NewRecordingEnum(DB_ID_ACDLEARNMODE, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1, {1, 2});
  NewRecordingEnum(DB_ID_ADFUNIQUE, DB_BIN_MACHINE, DB_ACCESS_NOTSUPPORTED, 1, {1, 2});
  NewRecordingString(DB_ID_SERIALNUMBER, DB_BIN_MACHINE, DB_ACCESS_READONLY, 16, "");
  RecordingRange* pframe =
      NewRecordingRange(DB_ID_FRAMEWIDTH, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 1200, 0, 2400, 1);
  LongDatum* pplain = NewLong(DB_ID_CONTRAST, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 0);
  db.FixCurrentAll(Slot(5, DB_ID_FRAMEWIDTH, DB_BIN_COLOR_FRONT));
  EXPECT_EQ(m_journal.Of("FixCurrent"), (std::vector<std::string>{"1/1", "34/2", "34/5", "99/4", "225/1"}));
  EXPECT_EQ(Markers("FixCurrent").front(), Slot(5, DB_ID_FRAMEWIDTH, DB_BIN_COLOR_FRONT));
  EXPECT_TRUE(m_plog->Contains("Unrecognized container type...52 0"));
  ExpectNoPassLeft();
  // The access pass takes the same walk.
  m_journal.Clear();
  db.FixAccessAll();
  EXPECT_EQ(m_journal.Of("FixAccess"), (std::vector<std::string>{"1/1", "34/2", "34/5", "99/4"}));
  (void)pframe;
  (void)pplain;
}

// Validation's "not modifiable" (14) stops the plain set only; the others
// store and return it (the force form of a text returns 0).
TEST_F(DbDatabaseValuesTest, NotModifiableIsStoredByTheIgnoreAccessAndForceForms) {
  CDatabase& db = *m_pdatabase;
  RecordingRange* prange = NewRecordingRange(DB_ID_BRIGHTNESS, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 50, 0, 100, 1);
  RecordingString* pstring = NewRecordingString(DB_ID_SERIALNUMBER, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 16, "old");
  prange->m_eosstsRefuse = DB_EOSSTS_NOTMODIFIABLE;
  pstring->m_eosstsRefuse = DB_EOSSTS_NOTMODIFIABLE;
  const struct {
    const char* szName;
    std::function<EDBSTS()> fnSet;
    EDBSTS edbsts;
    bool blStored;
  } acase[] = {
      {"SetCurrentLong", [&] { return db.SetCurrentLong(prange, 60, false); }, DB_STS_NOTAVAILABLE, false},
      {"SetCurrentLong only this", [&] { return db.SetCurrentLong(prange, 60, true); }, DB_STS_NOTAVAILABLE, false},
      {"SetCurrentLongIgnoreAccess", [&] { return db.SetCurrentLongIgnoreAccess(prange, 60); }, DB_STS_NOTAVAILABLE,
       true},
      {"ForceCurrentLong", [&] { return db.ForceCurrentLong(prange, 60); }, DB_STS_NOTAVAILABLE, true},
      {"SetCurrentString", [&] { return db.SetCurrentString(pstring, "new"); }, DB_STS_NOTAVAILABLE, false},
      {"ForceCurrentString", [&] { return db.ForceCurrentString(pstring, "new"); }, DB_STS_SUCCESS, true},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    prange->CopyCurrentLong(50);
    pstring->CopyCurrentString("old");
    m_journal.Clear();
    EXPECT_EQ(c.fnSet(), c.edbsts);
    const bool blStored = prange->GetCurrentLongNoCallback() == 60 || std::string(pstring->GetCurrentString()) == "new";
    EXPECT_EQ(blStored, c.blStored);
    EXPECT_EQ(m_journal.Of("FixCurrent").size(), c.blStored ? 2u : 0u);
  }
  // The containers' own test of a read-only datum answers 14 as well.
  CDbEnum* preadonly = CatalogueEnum(DB_ID_ADFUNIQUE, DB_BIN_MACHINE, DB_ACCESS_READONLY, 1, {1, 2});
  EXPECT_EQ(db.SetCurrentLong(preadonly, 2, false), DB_STS_NOTAVAILABLE);
  EXPECT_EQ(preadonly->GetCurrentLongNoCallback(), 1);
  EXPECT_EQ(db.ForceCurrentLong(preadonly, 2), DB_STS_NOTAVAILABLE);
  EXPECT_EQ(preadonly->GetCurrentLongNoCallback(), 2);
}

// Bad input: each refused call leaves every value of every datum as it was
// and runs no pass.
TEST_F(DbDatabaseValuesTest, RefusedCallsLeaveEveryValueAsItWas) {
  CDatabase& db = *m_pdatabase;
  RecordingEnum* penum = NewRecordingEnum(DB_ID_ACDLEARNMODE, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1, {1, 2});
  CDbEnum* preadonly = CatalogueEnum(DB_ID_ADFUNIQUE, DB_BIN_MACHINE, DB_ACCESS_READONLY, 1, {1, 2});
  RecordingRange* prange =
      NewRecordingRange(DB_ID_BRIGHTNESS, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 500, 0, 1000, 10);
  RecordingString* pstring = NewRecordingString(DB_ID_SERIALNUMBER, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 8, "abc");
  LongDatum* pplain = NewLong(DB_ID_CONTRAST, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 3);
  CDbDatum* pcopy = Slot(4, DB_ID_FRAMEHEIGHT, DB_BIN_BITONAL_FRONT);
  const std::vector<CDbDatum*> vecpdbdatum = {penum, preadonly, prange, pstring, pplain, pcopy};
  const struct {
    const char* szName;
    std::function<long()> fnCall;
    long lResult;
    const char* szLog;  // null: nothing particular
  } acase[] = {
      {"long set of a text", [&] { return db.SetCurrentLong(pstring, 1, false); }, DB_STS_BADCONTAINER,
       "Bad container...3"},
      {"ignore-access set of a text", [&] { return db.SetCurrentLongIgnoreAccess(pstring, 1); }, DB_STS_BADCONTAINER,
       "Bad container...3"},
      {"forced set of a text", [&] { return db.ForceCurrentLong(pstring, 1); }, DB_STS_BADCONTAINER,
       "Bad container...3"},
      {"long set of no container", [&] { return db.SetCurrentLong(pplain, 4, false); }, DB_STS_BADCONTAINER,
       "Bad container...0"},
      {"set of null", [&] { return db.SetCurrentLong(nullptr, 1, false); }, DB_STS_FAIL, "Bad a_hdbdatum..."},
      {"forced set of null", [&] { return db.ForceCurrentLong(nullptr, 1); }, DB_STS_FAIL, "Invalid HDBDATUM..."},
      {"value not listed", [&] { return db.SetCurrentLong(penum, 3, false); }, DB_STS_BADVALUE, nullptr},
      {"read-only", [&] { return db.SetCurrentLong(preadonly, 2, false); }, DB_STS_NOTAVAILABLE, nullptr},
      {"off the step grid", [&] { return db.SetCurrentLong(prange, 505, false); }, DB_STS_BADVALUE, nullptr},
      {"beyond the maximum", [&] { return db.SetCurrentLong(prange, 1010, false); }, DB_STS_BADVALUE, nullptr},
      {"a copy of an unsupported master", [&] { return db.SetCurrentLong(pcopy, 1200, false); }, DB_STS_NOTAVAILABLE,
       nullptr},
      {"range set of an enumeration", [&] { return db.RangeSetCurrent(penum, 1, 0, 2, 1); }, DB_STS_BADARGUMENT,
       "a_hdbdatum not a range...1"},
      {"range set of a copy", [&] { return db.RangeSetCurrent(pcopy, 1, 0, 2, 1); }, DB_STS_BADARGUMENT,
       "a_hdbdatum not a range...98"},
      {"range set of null", [&] { return db.RangeSetCurrent(nullptr, 1, 0, 2, 1); }, DB_STS_BADARGUMENT,
       "a_hdbdatum is NULL..."},
      {"range with min above max", [&] { return db.RangeSetCurrent(prange, 600, 700, 100, 10); }, DB_STS_BADARGUMENT,
       "min is greater than max..."},
      {"range value above max", [&] { return db.RangeSetCurrent(prange, 990, 0, 900, 10); }, DB_STS_BADARGUMENT,
       "current is greater than maximum..."},
      {"reset of null", [&] { return db.ResetCurrent(nullptr); }, DB_STS_FAIL, "Invalid hdbdatum..."},
      {"reset of no container", [&] { return db.ResetCurrent(pplain); }, DB_STS_BADCONTAINER, "Bad container...0"},
      {"reset of a copy", [&] { return db.ResetCurrent(pcopy); }, DB_STS_BADCONTAINER, "Bad container...1"},
      {"text set of an enumeration", [&] { return db.SetCurrentString(penum, "x"); }, DB_STS_BADCONTAINER,
       "Bad container...2"},
      {"text set of null", [&] { return db.ForceCurrentString(nullptr, "x"); }, DB_STS_FAIL, "Bad a_hdbdatum..."},
      {"text too long", [&] { return db.SetCurrentString(pstring, "123456789"); }, DB_STS_BADVALUE, nullptr},
      {"no text", [&] { return db.ForceCurrentString(pstring, nullptr); }, DB_STS_BADVALUE, nullptr},
      {"item added to a range", [&] { return db.EnumAddItem(prange, 5); }, DB_STS_BADCONTAINER, "??? isn't a CENUM..."},
      {"item added to null", [&] { return db.EnumAddItem(nullptr, 5); }, DB_STS_FAIL, "a_hdbdatum is NULL..."},
      {"item deleted from a range", [&] { return db.EnumDeleteItem(prange, 500); }, DB_STS_BADCONTAINER, nullptr},
      {"items deleted from a range", [&] { return db.EnumDeleteAllItems(prange); }, DB_STS_BADCONTAINER,
       "a_hdbdatum is not an enumeration..."},
      {"default item added to a text", [&] { return db.EnumAddDefaultItem(pstring, 1); }, DB_STS_BADCONTAINER, nullptr},
      {"default items deleted from null", [&] { return db.EnumDeleteAllDefaultItems(nullptr); }, DB_STS_BADARGUMENT,
       nullptr},
      {"range default of an enumeration", [&] { return db.RangeSetDefault(penum, 1, 0, 2, 1); }, DB_STS_BADARGUMENT,
       "a_hdbdatum not a range...1"},
      {"range default outside its bounds", [&] { return db.RangeSetDefault(prange, 5, 10, 0, 1); }, DB_STS_BADARGUMENT,
       "min is greater than max..."},
      {"barcode region of window 11", [&] { return db.SetBarcodeSearchRegion(11, DB_BIN_BITONAL_FRONT, 1, 2, 3, 4); },
       DB_STS_BADARGUMENT, "Bad a_edbidwindow...11"},
      {"frame of bin 6", [&] { return db.SetFrameAngle(0, DB_BIN_LAST, 1, 2, 3, 4, 5); }, DB_STS_BADARGUMENT,
       "Bad a_edbbin...0 6"},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    std::vector<std::string> vecstrBefore;
    for (CDbDatum* pdbdatum : vecpdbdatum) vecstrBefore.push_back(Snapshot(pdbdatum));
    m_journal.Clear();
    const size_t sizetFrom = LogSize();
    EXPECT_EQ(c.fnCall(), c.lResult);
    if (c.szLog) {
      EXPECT_NE(LogFrom(sizetFrom).find(c.szLog), std::string::npos) << LogFrom(sizetFrom);
    }
    for (size_t sizet = 0; sizet < vecpdbdatum.size(); ++sizet)
      EXPECT_EQ(Snapshot(vecpdbdatum[sizet]), vecstrBefore[sizet]) << sizet;
    EXPECT_TRUE(m_journal.Of("FixCurrent").empty());
  }
}

// ---------------------------------------------------------------------------
// Texts, ranges and resets
// ---------------------------------------------------------------------------
TEST_F(DbDatabaseValuesTest, TextRangeAndResetSettersStoreThenRunAPass) {
  CDatabase& db = *m_pdatabase;
  RecordingEnum* penum = NewRecordingEnum(DB_ID_ACDLEARNMODE, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1, {1, 2});
  RecordingRange* prange =
      NewRecordingRange(DB_ID_BRIGHTNESS, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 500, 0, 1000, 10);
  RecordingString* pstring = NewRecordingString(DB_ID_SERIALNUMBER, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 8, "abc");
  EXPECT_EQ(db.SetCurrentString(pstring, "xyz"), DB_STS_SUCCESS);
  EXPECT_STREQ(pstring->GetCurrentStringNoCallback(), "xyz");
  EXPECT_EQ(m_journal.Of("Validate"), (std::vector<std::string>{"225/1"}));
  // A text runs its pass whether or not it changed.
  EXPECT_EQ(db.SetCurrentString(pstring, "xyz"), DB_STS_SUCCESS);
  EXPECT_EQ(Markers("FixCurrent"), (std::vector<CDbDatum*>(6, pstring)));
  m_journal.Clear();
  EXPECT_EQ(db.RangeSetCurrent(prange, 300, 100, 900, 20), DB_STS_SUCCESS);
  EXPECT_EQ(prange->GetCurrentLongNoCallback(), 300);
  EXPECT_EQ(prange->GetMin(), 100);
  EXPECT_EQ(prange->GetMax(), 900);
  EXPECT_EQ(prange->GetStep(), 20);
  EXPECT_EQ(Markers("FixCurrent"), (std::vector<CDbDatum*>(3, prange)));
  EXPECT_TRUE(m_journal.Of("Validate").empty());
  m_journal.Clear();
  penum->DeleteCurrentItem(1);
  penum->CopyCurrentLong(2);
  pstring->SetDefaultString("def");
  for (CDbDatum* pdbdatum : std::initializer_list<CDbDatum*>{penum, prange, pstring})
    EXPECT_EQ(db.ResetCurrent(pdbdatum), DB_STS_SUCCESS);
  EXPECT_EQ(penum->GetCurrentLongNoCallback(), 1);
  EXPECT_EQ(penum->GetCurrentItemCount(), 2);
  EXPECT_EQ(prange->GetCurrentLongNoCallback(), 500);
  EXPECT_EQ(prange->GetMax(), 1000);
  EXPECT_STREQ(pstring->GetCurrentStringNoCallback(), "def");
  EXPECT_EQ(Markers("FixCurrent"),
            (std::vector<CDbDatum*>{penum, penum, penum, prange, prange, prange, pstring, pstring, pstring}));
  ExpectNoPassLeft();
}

// ---------------------------------------------------------------------------
// Group setters
// ---------------------------------------------------------------------------
// Stored as given (no validation): the barcode region runs a pass after
// each of its four values, the frame one after all five.
TEST_F(DbDatabaseValuesTest, TheBarcodeRegionRunsFourPassesAndTheFrameOne) {
  CDatabase& db = *m_pdatabase;
  std::map<EDBID, RecordingRange*> mapregion;
  for (EDBID edbid : {DB_ID_BARCODESEARCHREGIONHEIGHT, DB_ID_BARCODESEARCHREGIONOFFSETX,
                      DB_ID_BARCODESEARCHREGIONOFFSETY, DB_ID_BARCODESEARCHREGIONWIDTH})
    mapregion[edbid] = NewRecordingRange(edbid, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 0, 0, 1000, 10);
  RecordingEnum* pwatch = NewRecordingEnum(DB_ID_ACDLEARNMODE, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1, {1, 2});
  (void)pwatch;
  EXPECT_EQ(db.SetBarcodeSearchRegion(0, DB_BIN_COLOR_FRONT, 11, 22, 5000, 44), DB_STS_SUCCESS);
  EXPECT_EQ(mapregion[DB_ID_BARCODESEARCHREGIONOFFSETX]->GetCurrentLongNoCallback(), 11);
  EXPECT_EQ(mapregion[DB_ID_BARCODESEARCHREGIONOFFSETY]->GetCurrentLongNoCallback(), 22);
  EXPECT_EQ(mapregion[DB_ID_BARCODESEARCHREGIONWIDTH]->GetCurrentLongNoCallback(), 5000);  // beyond the range
  EXPECT_EQ(mapregion[DB_ID_BARCODESEARCHREGIONHEIGHT]->GetCurrentLongNoCallback(), 44);
  EXPECT_TRUE(m_journal.Of("Validate").empty());
  std::vector<CDbDatum*> vecpdbdatumPasses;
  for (const dbtest::RuleCall& rulecall : m_journal.vecrulecall) {
    if (rulecall.edbid == DB_ID_ACDLEARNMODE) vecpdbdatumPasses.push_back(rulecall.pdbdatumModified);
  }
  EXPECT_EQ(
      vecpdbdatumPasses,
      (std::vector<CDbDatum*>{mapregion[DB_ID_BARCODESEARCHREGIONOFFSETX], mapregion[DB_ID_BARCODESEARCHREGIONOFFSETY],
                              mapregion[DB_ID_BARCODESEARCHREGIONWIDTH], mapregion[DB_ID_BARCODESEARCHREGIONHEIGHT]}));
  // In a window without datums of its own the values have nowhere to go;
  // the passes still run.
  m_journal.Clear();
  EXPECT_EQ(db.SetBarcodeSearchRegion(3, DB_BIN_COLOR_FRONT, 1, 2, 3, 4), DB_STS_SUCCESS);
  EXPECT_EQ(m_journal.Of("FixCurrent").size(), 4u * 5u);
  EXPECT_EQ(CDbDatum::ms_pdatumcommon->pdbdatumBlank->GetCurrentLongNoCallback(), 0);
  // The frame of window 3 goes into its copies, with one pass.
  m_journal.Clear();
  EXPECT_EQ(db.SetFrameAngle(3, DB_BIN_COLOR_FRONT, 10, 20, 300, 400, 5000), DB_STS_SUCCESS);
  const struct {
    EDBID edbid;
    long lValue;
  } aframe[] = {{DB_ID_FRAMEXOFFSET, 10},
                {DB_ID_FRAMEYOFFSET, 20},
                {DB_ID_FRAMEWIDTH, 300},
                {DB_ID_FRAMEHEIGHT, 400},
                {DB_ID_IMAGESKEWANGLE, 5000}};
  for (const auto& frame : aframe) {
    EXPECT_EQ(Slot(3, frame.edbid, DB_BIN_COLOR_FRONT)->GetCurrentLongNoCallback(), frame.lValue) << frame.edbid;
    EXPECT_EQ(Slot(0, frame.edbid, DB_BIN_COLOR_FRONT)->GetCurrentLongNoCallback(), 0) << frame.edbid;
  }
  EXPECT_EQ(Markers("FixCurrent"), (std::vector<CDbDatum*>(5, Slot(3, DB_ID_IMAGESKEWANGLE, DB_BIN_COLOR_FRONT))));
  ExpectNoPassLeft();
}

// ---------------------------------------------------------------------------
// Default reset, remember and restore, profile lists
// ---------------------------------------------------------------------------
TEST_F(DbDatabaseValuesTest, TheDefaultResetOfOneDatumIsItsOwn) {
  CDatabase& db = *m_pdatabase;
  RecordingEnum* penum = NewRecordingEnum(DB_ID_ACDLEARNMODE, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1, {1, 2});
  penum->CopyCurrentLong(2);
  db.FixDefaultReset(penum);
  EXPECT_EQ(m_journal.Of("FixDefaultReset"), (std::vector<std::string>{"1/1"}));
  EXPECT_EQ(penum->GetCurrentLongNoCallback(), 1);
  db.FixDefaultReset(nullptr);
  EXPECT_TRUE(m_plog->Contains("a_hdbdatum is NULL"));
  db.FixDefaultReset(Slot(2, DB_ID_FRAMEWIDTH, DB_BIN_BITONAL_FRONT));
  EXPECT_TRUE(m_plog->Contains("Unrecognized container type...99 1"));
}

// The meters and the values read from the scanner itself keep what they
// hold; a group that only contains one of those bits is restored.
TEST_F(DbDatabaseValuesTest, RestoreAllSkipsTheMetersAndTheScannersOwnValues) {
  CDatabase& db = *m_pdatabase;
  const struct {
    EDBID edbid;
    bool blLookup;
    uint64_t u64Group;
    bool blRestored;
  } acase[] = {
      {DB_ID_METERPAGECOUNT, true, DB_GROUP_METER, false},
      {DB_ID_FIRMWARE, true, DB_GROUP_DEVICE, false},
      {DB_ID_METERPOWER, true, DB_GROUP_METER | DB_GROUP_DIAGNOSTIC, true},
      {DB_ID_LANGUAGE, true, DB_GROUP_DEVICE | DB_GROUP_SESSION, true},
      {DB_ID_ALARMVOLUME, true, DB_GROUP_PATCH, true},
      {DB_ID_ADFUNIQUE, true, 0, true},
      {DB_ID_ACDLEARNMODE, false, 0, false},
  };
  std::vector<RecordingRange*> vecprange;
  for (const auto& c : acase) {
    vecprange.push_back(NewRecordingRange(c.edbid, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 10, 0, 100, 1));
    if (c.blLookup) NewLookup(c.edbid, "lex", c.u64Group);
  }
  // A record without an id is not restored either.
  RecordingRange* pnoid = NewRecordingRange(DB_ID_CONTRAST, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 10, 0, 100, 1);
  NewLookup(DB_ID_CONTRAST, "contrast")->edbid = DB_ID_UNDEFINED;
  RecordingString* pserial = NewRecordingString(DB_ID_SERIALNUMBER, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 16, "S1");
  NewLookup(DB_ID_SERIALNUMBER, "serialnumber", DB_GROUP_DEVICE);
  RecordingString* ptext = NewRecordingString(DB_ID_METERFIRSTSCAN, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 16, "T1");
  NewLookup(DB_ID_METERFIRSTSCAN, "meterfirstscan", DB_GROUP_DIAGNOSTIC);
  db.RememberAll();
  for (RecordingRange* prange : vecprange) prange->CopyCurrentLong(20);
  pnoid->CopyCurrentLong(20);
  pserial->CopyCurrentString("S2");
  ptext->CopyCurrentString("T2");
  m_journal.Clear();
  db.RestoreAll();
  for (size_t sizet = 0; sizet < std::size(acase); ++sizet)
    EXPECT_EQ(vecprange[sizet]->GetCurrentLongNoCallback(), acase[sizet].blRestored ? 10 : 20) << acase[sizet].edbid;
  EXPECT_EQ(pnoid->GetCurrentLongNoCallback(), 20);
  EXPECT_STREQ(pserial->GetCurrentStringNoCallback(), "S2");
  EXPECT_STREQ(ptext->GetCurrentStringNoCallback(), "T1");
  // Restoring stores no pass; the access pass follows.
  EXPECT_TRUE(m_journal.Of("FixCurrent").empty());
  EXPECT_EQ(m_journal.Of("FixAccess").size(), std::size(acase) + 1);
  ExpectNoPassLeft();
  // One datum's undo point; none for no datum.
  vecprange[0]->CopyCurrentLong(30);
  db.Remember(vecprange[0]);
  db.Remember(nullptr);
  EXPECT_EQ(vecprange[0]->GetRestoreLong(), 30);
}

// The windows 1 to 10 hold values of their own, which the window-0 walk
// never reaches: the undo point covers them, with their master's group
// deciding as for the master.
TEST_F(DbDatabaseValuesTest, RestoreAllPutsBackTheValuesOfEveryWindow) {
  CDatabase& db = *m_pdatabase;
  const struct {
    EDBID edbid;
    uint64_t u64Group;
    bool blRestored;
  } acase[] = {{DB_ID_FRAMEWIDTH, 0, true}, {DB_ID_FRAMEHEIGHT, DB_GROUP_METER, false}};
  for (const auto& c : acase) {
    SCOPED_TRACE(c.edbid);
    RecordingRange* prange = NewRecordingRange(c.edbid, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 500, 0, 1000, 10);
    std::vector<CDbDatum*> vecpcopy;
    for (EDBID_WINDOW edbidwindow : {1, 3, 10}) {
      vecpcopy.push_back(NewWindowCopy(edbidwindow, c.edbid, DB_BIN_BITONAL_FRONT));
      vecpcopy.back()->CopyCurrentLong(600 + edbidwindow);
    }
    NewLookup(c.edbid, "lex", c.u64Group);
    db.RememberAll();
    for (CDbDatum* pcopy : vecpcopy) pcopy->CopyCurrentLong(700);
    prange->CopyCurrentLong(800);
    db.RestoreAll();
    EXPECT_EQ(prange->GetCurrentLongNoCallback(), c.blRestored ? 500 : 800);
    EXPECT_EQ(vecpcopy[0]->GetCurrentLongNoCallback(), c.blRestored ? 601 : 700);
    EXPECT_EQ(vecpcopy[1]->GetCurrentLongNoCallback(), c.blRestored ? 603 : 700);
    EXPECT_EQ(vecpcopy[2]->GetCurrentLongNoCallback(), c.blRestored ? 610 : 700);
  }
}

// A profile keeps its own copy of a list: the datum is marked while its
// current list differs from it, position by position.
TEST_F(DbDatabaseValuesTest, AListThatDiffersFromItsProfileMarksTheDatum) {
  class ProfileEnum : public CDbEnum {
   public:
    ProfileEnum() { m_pdbenumProfile = new CDbEnum(); }
  };
  CDatabase& db = *m_pdatabase;
  ProfileEnum* pdatum = NewContainer<ProfileEnum>(DB_ID_COMPRESSION, DB_BIN_BITONAL_FRONT);
  pdatum->InitEnumLong(DB_ID_COMPRESSION, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, DB_DEVICEDATA_NONE, 1, 1);
  for (long lItem : {1, 6, 7}) {
    pdatum->AddDefaultItem(lItem);
    pdatum->AddCurrentItem(lItem);
  }
  pdatum->FixDefaultReset();  // the profile's list too
  NewLookup(DB_ID_COMPRESSION, "compressionmode", DB_GROUP_FORMAT);
  Notify()->ResetAll(DB_NOTIFY_ALL);
  db.CompareProfileContainer(pdatum);
  EXPECT_FALSE(Notified(DB_NOTIFY_PROFILES, pdatum));
  pdatum->DeleteCurrentItem(6);
  pdatum->AddCurrentItem(6);  // the same items in another order
  db.CompareProfileContainer(pdatum);
  EXPECT_TRUE(Notified(DB_NOTIFY_PROFILES, pdatum));
  pdatum->FixDefaultReset();
  db.CompareProfileContainer(pdatum);
  EXPECT_FALSE(Notified(DB_NOTIFY_PROFILES, pdatum));
  // Outside the profile groups, and for other datums, nothing is marked.
  NewLookup(DB_ID_COMPRESSION, "compressionmode", DB_GROUP_METER);
  pdatum->DeleteCurrentItem(1);
  db.CompareProfileContainer(pdatum);
  EXPECT_FALSE(Notified(DB_NOTIFY_PROFILES, pdatum));
  CDbEnum* pplain = NewEnum(DB_ID_ACDLEARNMODE, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1, {1, 2});
  NewLookup(DB_ID_ACDLEARNMODE, "acdlearnmode", DB_GROUP_FORMAT);
  db.CompareProfileContainer(pplain);
  db.CompareProfileContainer(nullptr);
  EXPECT_FALSE(Notified(DB_NOTIFY_PROFILES, pplain));
  EXPECT_TRUE(m_plog->Contains("a_hdbdatum is NULL"));
}

}  // namespace
