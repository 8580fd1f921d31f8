// The steps of the default fix-up one by one, on rules that record their
// calls: every datum's profile value is its value after its own default fix
// (enumerations, ranges and strings alike), the profile marks are cleared,
// every access is computed again after all the defaults, and the physical
// height's default keeps to the sheets the scanning unit takes, at both
// ends of their range.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "db_cdbconfig.h"
#include "db_values_fixture.h"

namespace {

using dbtest::DbValuesFixture;

class DbDefaultStepsTest : public DbValuesFixture {};

TEST_F(DbDefaultStepsTest, ProfilesStartFromTheFixedValuesAndEveryAccessFollowsTheDefaults) {
  CDatabase& db = *m_pdatabase;
  db.ConfigEnumAdd("imageformat", "rgb_24", DB_EDBCONFIGTARGET_COMMON);  // the colour camera stays
  dbtest::RecordingEnum* penum = NewRecordingEnum(DB_ID_ACDLEARNMODE, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 2, {1, 2});
  dbtest::RecordingRange* prange =
      NewRecordingRange(DB_ID_BRIGHTNESS, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 40, 0, 100, 1);
  dbtest::RecordingString* pstring =
      NewRecordingString(DB_ID_DEVICEDLL, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 64, "dev");
  // The default fix moves the values; the profiles take where they land.
  penum->m_fnFixDefault = [&] { penum->CopyCurrentLong(1); };
  prange->m_fnFixDefault = [&] { prange->CopyCurrentLong(60); };
  // What the profiles held before: none of it may stay.
  penum->SetProfileLong(2);
  prange->SetProfileLong(99);
  std::snprintf(pstring->GetProfilesString(), 8, "%s", "old");
  db.NotifySet(DB_NOTIFY_PROFILES, penum);
  db.NotifySet(DB_NOTIFY_PROFILES, pstring);
  ASSERT_NE(db.NotifyGetFirst(DB_NOTIFY_PROFILES), nullptr);
  m_journal.Clear();
  db.FixDefaultAll();
  EXPECT_EQ(penum->GetProfileLong(), 1);
  EXPECT_EQ(prange->GetProfileLong(), 60);
  EXPECT_STREQ(pstring->GetProfilesString(), "dev");
  EXPECT_EQ(db.NotifyGetFirst(DB_NOTIFY_PROFILES), nullptr);
  // Each default fixed once, then each access once (the string keeps the
  // container's own), after every default.
  const std::vector<std::string> vecstrOurs = {std::to_string(DB_ID_ACDLEARNMODE) + "/1",
                                               std::to_string(DB_ID_BRIGHTNESS) + "/4",
                                               std::to_string(DB_ID_DEVICEDLL) + "/1"};
  auto ours = [&](const std::string& a_strOperation) {
    std::vector<std::string> vec;
    for (const std::string& str : m_journal.Of(a_strOperation)) {
      if (std::find(vecstrOurs.begin(), vecstrOurs.end(), str) != vecstrOurs.end()) vec.push_back(str);
    }
    return vec;
  };
  EXPECT_EQ(ours("FixDefault"), vecstrOurs);
  EXPECT_EQ(ours("FixAccess"), std::vector<std::string>(vecstrOurs.begin(), vecstrOurs.begin() + 2));
  size_t sizetLastDefault = 0, sizetFirstAccess = m_journal.vecrulecall.size();
  for (size_t sizet = 0; sizet < m_journal.vecrulecall.size(); ++sizet) {
    const std::string& strOperation = m_journal.vecrulecall[sizet].strOperation;
    if (strOperation == "FixDefault") sizetLastDefault = sizet;
    if (strOperation == "FixAccess" && sizet < sizetFirstAccess) sizetFirstAccess = sizet;
  }
  EXPECT_LT(sizetLastDefault, sizetFirstAccess);
}

// The default physical height lies within the sheets: the shortest sheet
// of the unit that scans (the feeder unless only a flatbed is there), the
// longest sheet of either.
TEST_F(DbDefaultStepsTest, ThePhysicalHeightDefaultKeepsToTheSheets) {
  CDatabase& db = *m_pdatabase;
  struct Case {
    const char* szName;
    long lDefault;        // the height's default before the fix-up
    long lAdfMin, lFlatbedMin, lMax;
    bool blFlatbedOnly;
    long lValue, lMin;    // its default after
  } const acase[] = {
      {"within the sheets", 16800, 600, 900, 33000, false, 16800, 600},
      {"shorter than the shortest sheet", 16800, 20000, 900, 33000, false, 20000, 20000},
      {"longer than the longest sheet", 40000, 600, 900, 33000, false, 33000, 600},
      {"a flatbed alone", 500, 600, 900, 33000, true, 900, 900},
  };
  for (const Case& c : acase) {
    SCOPED_TRACE(c.szName);
    CDbRange* prange =
        CatalogueRange(DB_ID_PHYSICALHEIGHTADJUST, DB_BIN_MACHINE, DB_ACCESS_READWRITE, c.lDefault, 100, 50000, 10);
    db.ConfigRangeSetMin("sheetheight", c.lAdfMin, DB_CONFIGTARGET_ADF);
    db.ConfigRangeSetMin("sheetheight", c.lFlatbedMin, DB_CONFIGTARGET_FLATBED);
    db.ConfigRangeSetMax("sheetheight", c.lMax, DB_EDBCONFIGTARGET_COMMON);
    db.ConfigDelete("model", DB_CONFIGTARGET_ADF);
    db.ConfigSetString("model", "m", DB_CONFIGTARGET_FLATBED);
    if (!c.blFlatbedOnly) db.ConfigSetString("model", "m", DB_CONFIGTARGET_ADF);
    db.FixDefaultAll();
    EXPECT_EQ(prange->GetDefaultLong(), c.lValue);
    EXPECT_EQ(prange->GetDefaultMin(), c.lMin);
    EXPECT_EQ(prange->GetDefaultMax(), c.lMax);
    EXPECT_EQ(prange->GetDefaultStep(), 10);
    EXPECT_EQ(prange->GetCurrentLongNoCallback(), c.lValue);
  }
}

}  // namespace
