// Time records, conversions, differences, texts and deadlines, judged
// against Python's calendar and datetime.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

#include "log_capture.h"
#include "os_costime.h"
#include "test_support.h"

namespace {

std::string RecordText(const OsTimeRecord& a_record) {
  std::ostringstream out;
  out << a_record.u16Year << " " << a_record.u16Month << " " << a_record.u16Day << " " << a_record.u16Hour << " "
      << a_record.u16Minute << " " << a_record.u16Second << " " << a_record.u16DayOfWeek;
  return out.str();
}

OsTimeRecord Record(int a_iYear, int a_iMonth, int a_iDay, int a_iHour, int a_iMinute, int a_iSecond, int a_iMs) {
  OsTimeRecord record{};
  record.u16Year = static_cast<uint16_t>(a_iYear);
  record.u16Month = static_cast<uint16_t>(a_iMonth);
  record.u16Day = static_cast<uint16_t>(a_iDay);
  record.u16Hour = static_cast<uint16_t>(a_iHour);
  record.u16Minute = static_cast<uint16_t>(a_iMinute);
  record.u16Second = static_cast<uint16_t>(a_iSecond);
  record.u16Milliseconds = static_cast<uint16_t>(a_iMs);
  return record;
}

void UseZone(const char* a_szZone) {
  setenv("TZ", a_szZone, 1);
  tzset();
}

// Seconds around the epoch, leap days, the 32-bit limit and far beyond it.
const std::vector<long long> kSeconds = {
    0,           -1,          59,          86399,       86400,       68169600,   // 1972-02-29
    951782400,   951868799,   978307199,   1709164800,  1709251199,              // 2000/2024 leap days
    2147483647,  2147483648,  2147483649,  4107542400,  4102444799,              // past 2038, 2100
    4140201600,  32503680000, 253402300799};                                     // 2101, 3000, 9999

TEST(OsTime, UtcConversionsAgreeWithPython) {
  std::vector<std::string> args;
  std::string ours;
  for (long long llSeconds : kSeconds) {
    args.push_back(std::to_string(llSeconds));
    OsTimeRecord record{};
    ASSERT_EQ(COsTime::ConvertTimetToSystem(static_cast<time_t>(llSeconds), &record), OS_STS_SUCCESS) << llSeconds;
    EXPECT_EQ(record.u16Milliseconds, 0);
    time_t timetBack = 0;
    ASSERT_EQ(COsTime::ConvertSystemToTimet(&record, &timetBack), OS_STS_SUCCESS);
    EXPECT_EQ(static_cast<long long>(timetBack), llSeconds) << RecordText(record);
    ours += RecordText(record) + "\n";
  }
  std::string python = testsupport::RunPython(
      "import sys, datetime, calendar\n"
      "epoch = datetime.datetime(1970, 1, 1)\n"
      "for a in sys.argv[1:]:\n"
      "    d = epoch + datetime.timedelta(seconds=int(a))\n"
      "    assert calendar.timegm(d.timetuple()) == int(a)\n"
      "    print(d.year, d.month, d.day, d.hour, d.minute, d.second, d.isoweekday() % 7)\n",
      args);
  EXPECT_EQ(ours, python);
}

TEST(OsTime, EpochIsThursdayMidnight) {
  OsTimeRecord record{};
  ASSERT_EQ(COsTime::ConvertTimetToSystem(0, &record), OS_STS_SUCCESS);
  EXPECT_EQ(RecordText(record), "1970 1 1 0 0 0 4");
}

TEST(OsTime, LocalTimeAgreesWithPython) {
  UseZone("Europe/Berlin");
  std::vector<std::string> args;
  std::string ours;
  for (long long llSeconds : {1L, 1711846799L, 1711846800L, 1729990800L, 4102444800L}) {
    args.push_back(std::to_string(llSeconds));
    OsTimeRecord record{};
    ASSERT_EQ(COsTime::GetLocalTime(&record, static_cast<time_t>(llSeconds)), OS_STS_SUCCESS);
    EXPECT_EQ(record.u16Milliseconds, 0);
    ours += RecordText(record) + "\n";
  }
  std::string python = testsupport::RunPython(
      "import sys, datetime, zoneinfo\n"
      "z = zoneinfo.ZoneInfo('Europe/Berlin')\n"
      "for a in sys.argv[1:]:\n"
      "    d = datetime.datetime.fromtimestamp(int(a), z)\n"
      "    print(d.year, d.month, d.day, d.hour, d.minute, d.second, d.isoweekday() % 7)\n",
      args);
  EXPECT_EQ(ours, python);
}

TEST(OsTime, CurrentTimesAreNow) {
  OsTimeRecord recordUtc{}, recordLocal{};
  UseZone("UTC");
  time_t timetBefore = time(nullptr);  // coarse: never ahead of the precise clock
  ASSERT_EQ(COsTime::GetSystemTime(&recordUtc), OS_STS_SUCCESS);
  ASSERT_EQ(COsTime::GetLocalTime(&recordLocal), OS_STS_SUCCESS);
  time_t timetUtc = 0;
  ASSERT_EQ(COsTime::ConvertSystemToTimet(&recordUtc, &timetUtc), OS_STS_SUCCESS);
  EXPECT_GE(timetUtc, timetBefore);
  // time() reads the coarse clock, which may lag the precise one by a tick.
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  EXPECT_LE(timetUtc, now.tv_sec);
  EXPECT_LT(recordUtc.u16Milliseconds, 1000);
  EXPECT_GE(COsTime::GetTimeStamp(), static_cast<int64_t>(timetBefore));
  EXPECT_EQ(recordLocal.u16Year, recordUtc.u16Year);
}

struct DifferenceCase {
  OsTimeRecord a;
  OsTimeRecord b;
};

TEST(OsTime, DifferenceWithinADayCountsMilliseconds) {
  const DifferenceCase cases[] = {
      {Record(2026, 12, 8, 6, 49, 0, 123), Record(2026, 12, 8, 6, 49, 0, 0)},
      {Record(2026, 12, 8, 0, 0, 0, 0), Record(2026, 12, 8, 23, 59, 59, 999)},
      {Record(2024, 2, 29, 23, 59, 59, 999), Record(2024, 2, 29, 0, 0, 0, 1)},
      {Record(2026, 3, 29, 3, 30, 0, 0), Record(2026, 3, 29, 1, 30, 0, 500)},
  };
  for (const DifferenceCase& c : cases) {
    auto ms = [](const OsTimeRecord& r) {
      return ((r.u16Hour * 60LL + r.u16Minute) * 60 + r.u16Second) * 1000 + r.u16Milliseconds;
    };
    EXPECT_EQ(COsTime::GetDifference(&c.a, &c.b), ms(c.a) - ms(c.b)) << RecordText(c.a) << " / " << RecordText(c.b);
  }
}

TEST(OsTime, DifferenceAcrossDaysCountsWallClockSeconds) {
  // Berlin changes to summer time on 2024-03-31: the wall clock decides.
  UseZone("Europe/Berlin");
  const DifferenceCase cases[] = {
      {Record(2026, 12, 9, 0, 0, 0, 500), Record(2026, 12, 8, 23, 59, 59, 0)},
      {Record(2024, 3, 1, 12, 0, 0, 0), Record(2024, 2, 28, 12, 0, 0, 0)},
      {Record(2024, 4, 1, 12, 0, 0, 0), Record(2024, 3, 30, 12, 0, 0, 999)},
      {Record(2039, 1, 19, 3, 14, 8, 0), Record(2038, 1, 19, 3, 14, 7, 0)},
      {Record(1970, 1, 1, 0, 0, 0, 0), Record(1970, 1, 2, 0, 0, 0, 0)},
      {Record(2100, 3, 1, 0, 0, 0, 0), Record(2100, 2, 28, 0, 0, 0, 0)},
  };
  std::vector<std::string> args;
  std::string ours;
  for (const DifferenceCase& c : cases) {
    for (const OsTimeRecord* p : {&c.a, &c.b}) {
      args.push_back(std::to_string(p->u16Year) + "-" + std::to_string(p->u16Month) + "-" + std::to_string(p->u16Day) +
                     "-" + std::to_string(p->u16Hour) + "-" + std::to_string(p->u16Minute) + "-" +
                     std::to_string(p->u16Second));
    }
    ours += std::to_string(COsTime::GetDifference(&c.a, &c.b)) + "\n";
  }
  std::string python = testsupport::RunPython(
      "import sys, datetime\n"
      "v = [datetime.datetime(*map(int, a.split('-'))) for a in sys.argv[1:]]\n"
      "for a, b in zip(v[0::2], v[1::2]):\n"
      "    print(int((a - b).total_seconds()) * 1000)\n",
      args);
  EXPECT_EQ(ours, python);
  EXPECT_EQ(COsTime::GetDifference(&cases[0].a, &cases[0].b), 1000);
}

TEST(OsTime, StringTimeNeedsNineteenBytes) {
  testsupport::LogCapture log;
  OsTimeRecord record = Record(2026, 12, 8, 6, 49, 0, 123);
  char szTime[19];
  std::memset(szTime, 'x', sizeof szTime);
  EXPECT_EQ(COsTime::GetStringTime(&record, szTime, 18), OS_STS_FAIL);
  EXPECT_EQ(szTime[0], 'x');  // untouched
  EXPECT_TRUE(log.Contains("a_sizetTime is too small...18"));
  ASSERT_EQ(COsTime::GetStringTime(&record, szTime, 19), OS_STS_SUCCESS);
  EXPECT_STREQ(szTime, "20261208064900123");
  EXPECT_EQ(COsTime::GetStringTime(&record, nullptr, 19), OS_STS_FAIL);
  EXPECT_TRUE(log.Contains("a_szTime is null..."));
}

TEST(OsTime, NullRecordsAreRefused) {
  testsupport::LogCapture log;
  OsTimeRecord record{};
  time_t timet = 0;
  char szTime[32];
  EXPECT_EQ(COsTime::GetSystemTime(nullptr), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(COsTime::GetLocalTime(nullptr, 0), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(COsTime::ConvertTimetToSystem(0, nullptr), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(COsTime::ConvertSystemToTimet(nullptr, &timet), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(COsTime::ConvertSystemToTimet(&record, nullptr), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(COsTime::GetDifference(nullptr, &record), -1);
  EXPECT_EQ(COsTime::GetDifference(&record, nullptr), -1);
  EXPECT_EQ(COsTime::GetStringTime(nullptr, szTime, sizeof szTime), OS_STS_BAD_ARGUMENT);
  COsTime::CalculateTimeSpec(nullptr, 10);  // logged, no crash
  for (const char* szMessage : {"a_ptimerecord is NULL...", "a_ptimerecord or a_ptimet are NULL...",
                                "argument is null...", "a_ptimespec is NULL..."}) {
    EXPECT_TRUE(log.Contains(szMessage)) << szMessage;
  }
}

struct TimeSpecCase {
  struct timespec base;
  int32_t ms;
  struct timespec expected;
};

TEST(OsTime, CalculateTimeSpecCarriesAndBorrows) {
  const TimeSpecCase cases[] = {
      {{10, 600000000}, 1500, {12, 100000000}},
      {{10, 600000000}, 400, {11, 0}},
      {{10, 600000000}, 399, {10, 999000000}},
      {{10, 999999999}, 1, {11, 999999}},
      {{10, 600000000}, 0, {10, 600000000}},
      {{10, 600000000}, -1, {10 + 31536000, 0}},
      {{10, 600000000}, -700, {9, 900000000}},
      {{10, 600000000}, -1500, {9, 100000000}},
      {{10, 600000000}, -600, {10, 0}},
      {{3000000, 0}, -2147483647 - 1, {3000000 - 2147484, 352000000}},
      {{0, 0}, 2147483647, {2147483, 647000000}},
  };
  for (const TimeSpecCase& c : cases) {
    struct timespec result{};
    COsTime::CalculateTimeSpec(&result, c.ms, &c.base);
    EXPECT_EQ(result.tv_sec, c.expected.tv_sec) << c.ms;
    EXPECT_EQ(result.tv_nsec, c.expected.tv_nsec) << c.ms;
  }
  struct timespec now{}, result{};
  clock_gettime(CLOCK_REALTIME, &now);
  COsTime::CalculateTimeSpec(&result, 2000);
  EXPECT_GE(result.tv_sec, now.tv_sec + 2);
  EXPECT_LT(result.tv_nsec, 1000000000L);
}

TEST(OsTime, SleepHonoursTheSign) {
  COsTime::Sleep(-5);  // returns at once
  COsTime::Sleep(0);   // a yield
  struct timespec before{}, after{};
  clock_gettime(CLOCK_MONOTONIC, &before);
  COsTime::Sleep(20);
  clock_gettime(CLOCK_MONOTONIC, &after);
  long long llNanos = (after.tv_sec - before.tv_sec) * 1000000000LL + (after.tv_nsec - before.tv_nsec);
  EXPECT_GE(llNanos, 20000000LL);
}

}  // namespace
