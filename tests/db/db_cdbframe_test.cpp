// Frame geometry: turned frames judged against an independent Python oracle,
// every row of the paper-size table through both conversions, the user sizes
// of the configuration, and the refusals with their log lines.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "db_cdbframe.h"
#include "../os/log_capture.h"
#include "os_coscfg.h"
#include "test_support.h"

using testsupport::LogCapture;

namespace {

std::string Data(const std::string& a_strName) { return std::string(SCANDRV_TEST_DATA) + "/db/" + a_strName; }

std::vector<std::vector<int64_t>> Numbers(const std::string& a_strText) {
  std::vector<std::vector<int64_t>> rows;
  for (const std::string& strLine : testsupport::Lines(a_strText)) {
    std::istringstream in(strLine);
    std::vector<int64_t> row;
    for (int64_t i64; in >> i64;) row.push_back(i64);
    if (!row.empty()) rows.push_back(row);
  }
  return rows;
}

}  // namespace

TEST(DbFrameOracle, TurnedFramesAgreeWithTheOracle) {
  const auto rows = Numbers(testsupport::RunPython(testsupport::ReadFile(Data("frame_oracle.py"))));
  ASSERT_GT(rows.size(), 3000u);
  CDbFrame dbframe;
  int iValid = 0;
  for (const auto& r : rows) {
    ASSERT_EQ(r.size(), 11u);
    const bool blValid = dbframe.IsValidFrame(r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], r[8]);
    EXPECT_EQ(blValid, r[9] != 0) << "IsValidFrame " << r[0] << " " << r[1] << " " << r[2] << " " << r[3] << " "
                                  << r[4] << " on " << r[7] << "x" << r[8];
    EXPECT_EQ(dbframe.GetMaxHeight(r[0], r[1], r[2], r[3], r[4]), r[10])
        << "GetMaxHeight " << r[0] << " " << r[1] << " " << r[2] << " " << r[3] << " " << r[4];
    iValid += blValid;
  }
  // The grid holds both answers in number.
  EXPECT_GT(iValid, 200);
  EXPECT_LT(iValid, static_cast<int>(rows.size()) - 200);
}

// The refusals in the order the tests are made, each with its log line.
TEST(DbFrame, RefusalsNameTheFirstFailedTest) {
  struct Case {
    int64_t x, y, w, h, angle;
    const char* szMessage;
  };
  const Case acase[] = {
      {-1, -1, 0, 0, 3600001, "a_lFrameXoffset < 0"},
      {0, -1, 0, 0, 3600001, "a_lFrameYoffset < 0"},
      {0, 0, 0, 0, 3600001, "a_lFrameWidth <= 0"},
      {0, 0, 10, 0, 3600001, "a_lFrameHeight <= 0"},
      {0, 0, 10, -3, 0, "a_lFrameHeight <= 0"},
      {0, 0, 1200, 1200, 3600001, "a_lFrameAngle out of range"},
      {0, 0, 1200, 1200, -3600001, "a_lFrameAngle out of range"},
      // The width test comes before the minimum width.
      {0, 0, 0, 1200, 0, "a_lFrameWidth <= 0"},
      {0, 0, 599, 1200, 0, "a_lFrameWidth < a_lMinWidth"},
      {0, 0, 1200, 599, 0, "a_lFrameHeight < a_lMinHeight"},
      // Turned by 90 degrees the frame's left edge lies left of 0.
      {0, 0, 10200, 13200, 900000, "(X2 < 0) || (X2 > a_lPhysicalWidth)"},
      {10201, 0, 600, 600, 0, "(X0 < 0) || (X0 > a_lPhysicalWidth)"},
      {0, 13201, 600, 600, 0, "(Y0 < 0) || (Y0 > a_lPhysicalHeight)"},
      {9601, 0, 600, 600, 0, "(X1 < 0) || (X1 > a_lPhysicalWidth)"},
      {0, 0, 600, 600, -450000, "(Y1 < 0) || (Y1 > a_lPhysicalHeight)"},
      {0, 12601, 600, 600, 0, "(Y2 < 0) || (Y2 > a_lPhysicalHeight)"},
      {9550, 200, 600, 600, -100000, "(X3 < 0) || (X3 > a_lPhysicalWidth)"},
      {200, 12550, 600, 600, 100000, "(Y3 < 0) || (Y3 > a_lPhysicalHeight)"},
      {0, 0, 600, 600, 1800000, "(X1 < 0) || (X1 > a_lPhysicalWidth)"},
  };
  CDbFrame dbframe;
  for (const Case& c : acase) {
    LogCapture log;
    EXPECT_FALSE(dbframe.IsValidFrame(c.x, c.y, c.w, c.h, c.angle, 600, 600, 10200, 13200)) << c.szMessage;
    EXPECT_TRUE(log.Contains(c.szMessage)) << c.szMessage << "\n" << log.Text();
  }
}

TEST(DbFrame, EdgeCasesOfTheFrameTests) {
  LogCapture log;
  CDbFrame dbframe;
  // A frame exactly as large as the physical area fits.
  EXPECT_TRUE(dbframe.IsValidFrame(0, 0, 10200, 13200, 0, 600, 600, 10200, 13200));
  EXPECT_TRUE(dbframe.IsValidFrame(0, 0, 1200, 1200, 3600000, 600, 600, 10200, 13200));
  EXPECT_TRUE(dbframe.IsValidFrame(0, 0, 1200, 1200, -3600000, 600, 600, 10200, 13200));
  // Angle 0 answers the height even for arguments that are otherwise refused.
  EXPECT_EQ(dbframe.GetMaxHeight(-5, -5, 0, 2400, 0), 2400);
  // Turned by 90 degrees the width becomes the height.
  EXPECT_EQ(dbframe.GetMaxHeight(0, 0, 1200, 2400, 900000), 1200);
  EXPECT_EQ(dbframe.GetMaxHeight(0, 0, 1200, 2400, 3600001), 0);
  EXPECT_EQ(dbframe.GetMaxHeight(0, 0, 0, 2400, 10), 0);
  // The corner line names the frame and its four corners.
  EXPECT_TRUE(dbframe.IsValidFrame(100, 200, 1200, 2400, 0, 600, 600, 10200, 13200));
  EXPECT_TRUE(log.Contains("a_lFrameXoffset:100 a_lFrameYoffset:200 a_lFrameWidth:1200 a_lFrameHeight:2400 "
                           "a_lFrameAngle:0 a_lPhysicalWidth:10200 a_lPhysicalHeight:13200  "
                           "(x,y):(100,200);(1300,200);(100,2600);(1300,2600)"));
}

// Offsets and sizes may be any 64-bit numbers: a frame reaching beyond them
// is off the sheet (never a wrapped corner), and its extent is the longest
// length there is.
TEST(DbFrame, FramesOfHugeNumbersAreJudgedWithoutOverflow) {
  CDbFrame dbframe;
  const int64_t i64Max = INT64_MAX;
  const struct {
    int64_t i64X, i64Y, i64Width, i64Height, i64Angle;
    const char* szMessage;
  } acase[] = {
      {i64Max - 5, 0, 1200, 1200, 0, "(X0 < 0) || (X0 > a_lPhysicalWidth)"},
      {0, i64Max - 5, 1200, 1200, 0, "(Y0 < 0) || (Y0 > a_lPhysicalHeight)"},
      {0, 0, i64Max, 1200, 0, "(X1 < 0) || (X1 > a_lPhysicalWidth)"},
      {0, 0, 1200, i64Max, 0, "(Y2 < 0) || (Y2 > a_lPhysicalHeight)"},
      {500, 500, i64Max, i64Max, 450000, "(X1 < 0) || (X1 > a_lPhysicalWidth)"},
      {500, 500, i64Max, 1200, 1800000, "(X1 < 0) || (X1 > a_lPhysicalWidth)"},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szMessage);
    LogCapture log;
    EXPECT_FALSE(dbframe.IsValidFrame(c.i64X, c.i64Y, c.i64Width, c.i64Height, c.i64Angle, 600, 600, 10200, 13200));
    EXPECT_TRUE(log.Contains(c.szMessage)) << log.Text();
  }
  EXPECT_EQ(dbframe.GetMaxHeight(0, 0, i64Max, 100, 900000), i64Max);
  EXPECT_EQ(dbframe.GetMaxHeight(0, i64Max - 5, 1000, 100, 900000), 1000);
  EXPECT_EQ(dbframe.GetMaxHeight(0, 0, i64Max, i64Max, 1800000), i64Max);
}

TEST(DbFrame, RefusedFramesWriteNothingAtLevelZero) {
  LogCapture log(0);
  CDbFrame dbframe;
  EXPECT_FALSE(dbframe.IsValidFrame(-1, 0, 1200, 1200, 0, 600, 600, 10200, 13200));
  EXPECT_EQ(dbframe.GetMaxHeight(0, 0, 1200, 1200, 3600001), 0);
  EXPECT_FALSE(log.Contains("a_lFrameXoffset"));
  EXPECT_FALSE(log.Contains("a_lFrameAngle"));
}

// Every standard size through both conversions, against the oracle's
// expectations worked out from the size list.
TEST(DbFrameSizes, EveryRowConvertsBothWays) {
  const std::string strTable = Data("supportedsizes.tsv");
  const std::string strOracle = testsupport::ReadFile(Data("supportedsizes_oracle.py"));
  const auto rows = Numbers(testsupport::RunPython(strOracle, {strTable}));
  ASSERT_EQ(rows.size(), 73u * 5u);
  CDbFrame dbframe;
  for (const auto& r : rows) {
    const auto edbidsupportedsizes = static_cast<EDBID_SUPPORTEDSIZES>(r[0]);
    const int64_t i64Width = r[1], i64Height = r[2], i64MaxWidth = r[3];
    EXPECT_EQ(dbframe.Cvt1200FromSupportedSizes(edbidsupportedsizes, false, i64MaxWidth, 50000, DB_ID_FRAMEWIDTH),
              i64Width)
        << r[0];
    EXPECT_EQ(dbframe.Cvt1200FromSupportedSizes(edbidsupportedsizes, true, i64MaxWidth, 50000, DB_ID_FRAMEHEIGHT),
              i64Height)
        << r[0];
    EXPECT_EQ(dbframe.Cvt1200FromSupportedSizes(edbidsupportedsizes, true, i64MaxWidth, 50000, DB_ID_FRAMEXOFFSET),
              r[4])
        << r[0] << " in " << i64MaxWidth;
    EXPECT_EQ(dbframe.Cvt1200FromSupportedSizes(edbidsupportedsizes, false, i64MaxWidth, 50000, DB_ID_FRAMEXOFFSET),
              0);
    EXPECT_EQ(dbframe.Cvt1200FromSupportedSizes(edbidsupportedsizes, true, i64MaxWidth, 50000, DB_ID_FRAMEYOFFSET),
              0);
    // The frame of the size, wherever across the feeder, finds the first
    // size of its width and height; off the top edge it finds none.
    EXPECT_EQ(dbframe.SupportedSizesFromCurrentFrame(r[4] > 0 ? r[4] : 0, 0, i64Width, i64Height), r[5]) << r[0];
    EXPECT_EQ(dbframe.SupportedSizesFromCurrentFrame(0, 12, i64Width, i64Height), DB_SUPPORTEDSIZES_NONE);
  }
  // "b3" and "isob3" share a size: the lower value answers.
  EXPECT_EQ(dbframe.SupportedSizesFromCurrentFrame(0, 0, 16668, 23616), 8);
  EXPECT_EQ(dbframe.SupportedSizesFromCurrentFrame(500, 0, 9912, 14028), DB_SUPPORTEDSIZES_A4);
  EXPECT_EQ(dbframe.Cvt1200FromSupportedSizes(DB_SUPPORTEDSIZES_A4, true, 10200, 0, DB_ID_FRAMEXOFFSET), 144);
  EXPECT_EQ(dbframe.Cvt1200FromSupportedSizes(DB_SUPPORTEDSIZES_A4, true, 10210, 0, DB_ID_FRAMEXOFFSET), 144);
}

// The rows that are no size: "none" takes the maxima, the user rows start
// empty, rows 0 and 85 and anything beyond are refused.
TEST(DbFrameSizes, RowsThatAreNoSize) {
  LogCapture log;
  CDbFrame dbframe;
  const auto none = DB_SUPPORTEDSIZES_NONE;
  EXPECT_EQ(dbframe.Cvt1200FromSupportedSizes(none, true, 10200, 13200, DB_ID_FRAMEWIDTH), 10200);
  EXPECT_EQ(dbframe.Cvt1200FromSupportedSizes(none, true, 10200, 13200, DB_ID_FRAMEHEIGHT), 13200);
  EXPECT_EQ(dbframe.Cvt1200FromSupportedSizes(none, true, 10200, 13200, DB_ID_FRAMEXOFFSET), 0);
  EXPECT_EQ(dbframe.Cvt1200FromSupportedSizes(none, true, 10200, 13200, DB_ID_FRAMEYOFFSET), 0);
  for (int k = DB_SUPPORTEDSIZES_USER0; k <= DB_SUPPORTEDSIZES_USER9; ++k) {
    const auto size = static_cast<EDBID_SUPPORTEDSIZES>(k);
    EXPECT_EQ(dbframe.Cvt1200FromSupportedSizes(size, false, 10200, 13200, DB_ID_FRAMEWIDTH), 0) << k;
    EXPECT_EQ(dbframe.Cvt1200FromSupportedSizes(size, false, 10200, 13200, DB_ID_FRAMEHEIGHT), 0) << k;
  }
  // An empty frame never matches the empty user rows.
  EXPECT_EQ(dbframe.SupportedSizesFromCurrentFrame(0, 0, 0, 0), none);
  EXPECT_EQ(dbframe.SupportedSizesFromCurrentFrame(0, 0, 1, 1), none);

  for (int k : {0, 85, 99, -1}) {
    EXPECT_EQ(dbframe.Cvt1200FromSupportedSizes(static_cast<EDBID_SUPPORTEDSIZES>(k), false, 10200, 13200,
                                                DB_ID_FRAMEWIDTH),
              0);
    EXPECT_TRUE(log.Contains("bad a_edbidsupportedsizes..." + std::to_string(k))) << k;
  }
  EXPECT_EQ(dbframe.Cvt1200FromSupportedSizes(DB_SUPPORTEDSIZES_A4, false, 10200, 13200, DB_ID_FRAMEWIDTH), 9912);
  EXPECT_EQ(dbframe.Cvt1200FromSupportedSizes(DB_SUPPORTEDSIZES_A4, false, 10200, 13200, DB_ID_SUPPORTEDSIZES), 0);
  EXPECT_TRUE(log.Contains("Unrecognized frame side...229"));
}

TEST(DbFrame, NativeResolutions) {
  LogCapture log;
  CDbFrame dbframe;
  EXPECT_EQ(dbframe.CvtLongFromEdbidXnativeResolution(DB_XNATIVERESOLUTION_200), 200);
  EXPECT_EQ(dbframe.CvtLongFromEdbidXnativeResolution(DB_XNATIVERESOLUTION_300), 300);
  EXPECT_EQ(dbframe.CvtLongFromEdbidXnativeResolution(DB_XNATIVERESOLUTION_600), 600);
  EXPECT_EQ(dbframe.CvtLongFromEdbidXnativeResolution(static_cast<EDBID_XNATIVERESOLUTION>(4)), 1);
  EXPECT_TRUE(log.Contains("Unrecognized xnativeresolution...4"));
  EXPECT_EQ(dbframe.CvtLongFromEdbidXnativeResolution(static_cast<EDBID_XNATIVERESOLUTION>(0)), 1);
}

// User sizes come from the configuration section SupportedSizes.
class DbFrameUserSizes : public ::testing::Test {
 protected:
  DbFrameUserSizes() : m_cfg("driver", OS_CFGENTITY_UTILITY, nullptr, nullptr, false, nullptr) {}

  // Entries N0, N1, ... in order.
  void SetEntries(const std::vector<std::string>& a_vstrEntries) {
    m_vstrEntries = a_vstrEntries;
    for (size_t i = 0; i < m_vstrEntries.size(); ++i) {
      m_cfg.Set(OS_CFGSECTION_SUPPORTEDSIZES, OS_CFGTAG_N00 + static_cast<unsigned>(i), m_vstrEntries[i].c_str());
    }
  }

  std::pair<int64_t, int64_t> User(int n) {
    const auto size = static_cast<EDBID_SUPPORTEDSIZES>(DB_SUPPORTEDSIZES_USER0 + n);
    return {m_dbframe.Cvt1200FromSupportedSizes(size, false, 0, 0, DB_ID_FRAMEWIDTH),
            m_dbframe.Cvt1200FromSupportedSizes(size, false, 0, 0, DB_ID_FRAMEHEIGHT)};
  }

  COsCfg m_cfg;
  CDbFrame m_dbframe;
  std::vector<std::string> m_vstrEntries;  // the store keeps our pointers
};

TEST_F(DbFrameUserSizes, EntriesInInchesAndCentimetres) {
  using Size = std::pair<int64_t, int64_t>;
  SetEntries({
      "USER3 inches 8 50 11 0",
      "USER4 cm 21 0 29 70",
      "USER0\tINCHES\t4\t0\t6\t25",     // tabs; the unit ignores case
      "USER1 millimetres 10 0 20 0",    // any other unit is centimetres
      "USER2 inchesinchesinches 1 0 1 0",  // a unit of 16 characters or more is no "inches"
      "USER5 inches 8 50",                 // fewer than six tokens: ignored
      "USER6 inches 1 0 1 0",
      "USER6 inches 2 0 3 0",  // the last entry of a size wins
      "my USER7 size inches 5 0",  // the pattern may stand anywhere; tokens still count from the first
      "USER8 inches -2 0 99999999999 0",  // digits beyond the number range saturate
  });
  m_dbframe.LoadCustomSupportedSizes();
  EXPECT_EQ(User(3), Size(10200, 13200));
  EXPECT_EQ(User(4), Size(9921, 14031));
  EXPECT_EQ(User(0), Size(4800, 7500));
  EXPECT_EQ(User(1), Size(4724, 9448));
  EXPECT_EQ(User(2), Size(472, 472));
  EXPECT_EQ(User(5), Size(0, 0));
  EXPECT_EQ(User(6), Size(2400, 3600));
  // "USER7" is read as the unit (so centimetres), "size" and "inches" as 0.
  EXPECT_EQ(User(7), Size(0, 2362));
  EXPECT_EQ(User(8), Size(-2400, int64_t{INT32_MAX} * 1200));
  EXPECT_EQ(User(9), Size(0, 0));

  // A loaded user size is found from its frame.
  EXPECT_EQ(m_dbframe.SupportedSizesFromCurrentFrame(0, 0, 9921, 14031), DB_SUPPORTEDSIZES_USER0 + 4);
  // A letter-sized user size finds "usletter" first.
  EXPECT_EQ(m_dbframe.SupportedSizesFromCurrentFrame(0, 0, 10200, 13200), DB_SUPPORTEDSIZES_FIRST);
}

TEST_F(DbFrameUserSizes, ReadingStopsAtTheFirstEmptyEntryOrAfterN50) {
  // 51 entries: N50 is the last one read.
  std::vector<std::string> vstr(51, "USER1 inches 1 0 1 0");
  vstr[50] = "USER9 inches 9 0 9 0";
  SetEntries(vstr);
  m_dbframe.LoadCustomSupportedSizes();
  EXPECT_EQ(User(9), std::make_pair(int64_t{10800}, int64_t{10800}));

  // An empty N1 hides N2; earlier rows keep their values.
  SetEntries({"USER2 inches 2 0 2 0", "", "USER3 inches 3 0 3 0"});
  m_dbframe.LoadCustomSupportedSizes();
  EXPECT_EQ(User(2), std::make_pair(int64_t{2400}, int64_t{2400}));
  EXPECT_EQ(User(3), std::make_pair(int64_t{0}, int64_t{0}));
  EXPECT_EQ(User(9), std::make_pair(int64_t{10800}, int64_t{10800}));
  EXPECT_EQ(User(1), std::make_pair(int64_t{1200}, int64_t{1200}));
}

TEST(DbFrameUserSizesNoStore, NothingIsLoadedWithoutAConfiguration) {
  ASSERT_EQ(g_poscfg, nullptr);
  CDbFrame dbframe;
  dbframe.LoadCustomSupportedSizes();
  EXPECT_EQ(dbframe.Cvt1200FromSupportedSizes(DB_SUPPORTEDSIZES_USER0, false, 0, 0, DB_ID_FRAMEWIDTH), 0);
}
