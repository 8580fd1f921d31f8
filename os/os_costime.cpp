#include "os_costime.h"

#include <sys/time.h>

#include <cerrno>
#include <cstring>

#include "os_coslog.h"
#include "os_cosstring.h"

namespace {
constexpr int64_t kNanosPerSecond = 1000000000;
constexpr int64_t kYearSeconds = 31536000;        // 365 days: a wait "for ever"
constexpr long kMaxSleepMilliseconds = 4294967;   // 32-bit microsecond count

void FillRecord(OsTimeRecord* a_ptimerecord, const struct tm& a_tm, long a_lMilliseconds) {
  a_ptimerecord->u16Year = static_cast<uint16_t>(a_tm.tm_year + 1900);
  a_ptimerecord->u16Month = static_cast<uint16_t>(a_tm.tm_mon + 1);
  a_ptimerecord->u16DayOfWeek = static_cast<uint16_t>(a_tm.tm_wday);
  a_ptimerecord->u16Day = static_cast<uint16_t>(a_tm.tm_mday);
  a_ptimerecord->u16Hour = static_cast<uint16_t>(a_tm.tm_hour);
  a_ptimerecord->u16Minute = static_cast<uint16_t>(a_tm.tm_min);
  a_ptimerecord->u16Second = static_cast<uint16_t>(a_tm.tm_sec);
  a_ptimerecord->u16Milliseconds = static_cast<uint16_t>(a_lMilliseconds);
}

// The calendar fields of a record; years of 1900 or below count as years
// since 1900 (records from older callers carry them that way).
struct tm TmFromRecord(const OsTimeRecord* a_ptimerecord) {
  struct tm tmValue;
  std::memset(&tmValue, 0, sizeof tmValue);
  tmValue.tm_year = a_ptimerecord->u16Year > 1900 ? a_ptimerecord->u16Year - 1900 : a_ptimerecord->u16Year;
  tmValue.tm_mon = a_ptimerecord->u16Month - 1;
  tmValue.tm_mday = a_ptimerecord->u16Day;
  tmValue.tm_hour = a_ptimerecord->u16Hour;
  tmValue.tm_min = a_ptimerecord->u16Minute;
  tmValue.tm_sec = a_ptimerecord->u16Second;
  return tmValue;
}

int32_t MillisecondsOfDay(const OsTimeRecord* a_ptimerecord) {
  return a_ptimerecord->u16Hour * 3600000 + a_ptimerecord->u16Minute * 60000 + a_ptimerecord->u16Second * 1000 +
         a_ptimerecord->u16Milliseconds;
}

bool SameDay(const OsTimeRecord* a_ptimerecordA, const OsTimeRecord* a_ptimerecordB) {
  return a_ptimerecordA->u16Year == a_ptimerecordB->u16Year && a_ptimerecordA->u16Month == a_ptimerecordB->u16Month &&
         a_ptimerecordA->u16Day == a_ptimerecordB->u16Day;
}

// Local seconds without daylight saving, so a difference across days is
// the wall-clock difference.
time_t LocalSecondsNoDst(const OsTimeRecord* a_ptimerecord) {
  struct tm tmValue = TmFromRecord(a_ptimerecord);
  tmValue.tm_isdst = 0;
  return mktime(&tmValue);
}
}  // namespace

EOSSTS COsTime::GetSystemTime(OsTimeRecord* a_ptimerecord) {
  if (!a_ptimerecord) {
    OsLog(OS_LOG_ASSERT, "a_ptimerecord is NULL...");
    return OS_STS_BAD_ARGUMENT;
  }
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  struct tm tmUtc;
  gmtime_r(&tv.tv_sec, &tmUtc);
  FillRecord(a_ptimerecord, tmUtc, tv.tv_usec / 1000);
  return OS_STS_SUCCESS;
}

EOSSTS COsTime::GetLocalTime(OsTimeRecord* a_ptimerecord, time_t a_timet) {
  if (!a_ptimerecord) {
    OsLog(OS_LOG_ASSERT, "a_ptimerecord is NULL...");
    return OS_STS_BAD_ARGUMENT;
  }
  long lMilliseconds = 0;
  time_t timet = a_timet;
  if (timet == 0) {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    timet = tv.tv_sec;
    lMilliseconds = tv.tv_usec / 1000;
  }
  struct tm tmLocal;
  localtime_r(&timet, &tmLocal);
  FillRecord(a_ptimerecord, tmLocal, lMilliseconds);
  return OS_STS_SUCCESS;
}

EOSSTS COsTime::ConvertTimetToSystem(time_t a_timet, OsTimeRecord* a_ptimerecord) {
  if (!a_ptimerecord) {
    OsLog(OS_LOG_ASSERT, "a_ptimerecord is NULL...");
    return OS_STS_BAD_ARGUMENT;
  }
  struct tm tmUtc;
  if (!gmtime_r(&a_timet, &tmUtc)) {
    OsLog(OS_LOG_ERROR, "gmtime_r failed...%lld", static_cast<long long>(a_timet));
    return OS_STS_FAIL;
  }
  FillRecord(a_ptimerecord, tmUtc, 0);
  return OS_STS_SUCCESS;
}

EOSSTS COsTime::ConvertSystemToTimet(const OsTimeRecord* a_ptimerecord, time_t* a_ptimet) {
  if (!a_ptimerecord || !a_ptimet) {
    OsLog(OS_LOG_ASSERT, "a_ptimerecord or a_ptimet are NULL...");
    return OS_STS_BAD_ARGUMENT;
  }
  struct tm tmUtc = TmFromRecord(a_ptimerecord);
  int iSaved = errno;
  errno = 0;
  time_t timet = timegm(&tmUtc);
  // -1 is also 1969-12-31 23:59:59; only an error number marks a failure.
  if (timet == static_cast<time_t>(-1) && errno != 0) {
    OsLog(OS_LOG_ERROR, "timegm failed...%d", errno);
    errno = iSaved;
    return OS_STS_FAIL;
  }
  errno = iSaved;
  *a_ptimet = timet;
  return OS_STS_SUCCESS;
}

int64_t COsTime::GetDifference(const OsTimeRecord* a_ptimerecordA, const OsTimeRecord* a_ptimerecordB) {
  if (!a_ptimerecordA || !a_ptimerecordB) {
    OsLog(OS_LOG_ASSERT, "argument is null...");
    return -1;
  }
  if (SameDay(a_ptimerecordA, a_ptimerecordB)) {
    return static_cast<int64_t>(MillisecondsOfDay(a_ptimerecordA) - MillisecondsOfDay(a_ptimerecordB));
  }
  tzset();
  time_t timetA = LocalSecondsNoDst(a_ptimerecordA);
  time_t timetB = LocalSecondsNoDst(a_ptimerecordB);
  return (static_cast<int64_t>(timetA) - static_cast<int64_t>(timetB)) * 1000;
}

EOSSTS COsTime::GetStringTime(const OsTimeRecord* a_ptimerecord, char* a_szTime, size_t a_sizetTime) {
  if (!a_szTime) {
    OsLog(OS_LOG_ASSERT, "a_szTime is null...");
    return OS_STS_FAIL;
  }
  if (a_sizetTime <= 18) {
    OsLog(OS_LOG_ASSERT, "a_sizetTime is too small...%zu", a_sizetTime);
    return OS_STS_FAIL;
  }
  if (!a_ptimerecord) {
    OsLog(OS_LOG_ASSERT, "a_ptimerecord is NULL...");
    return OS_STS_BAD_ARGUMENT;
  }
  std::memset(a_szTime, 0, a_sizetTime);
  COsString::SStrPrintf(a_szTime, a_sizetTime - 1, "%04d%02d%02d%02d%02d%02d%03d", a_ptimerecord->u16Year,
                        a_ptimerecord->u16Month, a_ptimerecord->u16Day, a_ptimerecord->u16Hour,
                        a_ptimerecord->u16Minute, a_ptimerecord->u16Second, a_ptimerecord->u16Milliseconds);
  return OS_STS_SUCCESS;
}

int64_t COsTime::GetTimeStamp() { return static_cast<int64_t>(time(nullptr)); }

void COsTime::Sleep(long a_lMilliseconds) {
  if (a_lMilliseconds < 0) return;
  struct timespec tsLeft;
  if (a_lMilliseconds == 0) {
    tsLeft = {0, 1000};
  } else {
    long lMilliseconds = a_lMilliseconds > kMaxSleepMilliseconds ? kMaxSleepMilliseconds : a_lMilliseconds;
    tsLeft = {lMilliseconds / 1000, (lMilliseconds % 1000) * 1000000};
  }
  // A signal does not cut the sleep short.
  int iSaved = errno;
  while (nanosleep(&tsLeft, &tsLeft) != 0 && errno == EINTR) {
  }
  errno = iSaved;
}

void COsTime::CalculateTimeSpec(struct timespec* a_ptimespec, int32_t a_i32Milliseconds,
                                const struct timespec* a_ptimespecBase) {
  if (!a_ptimespec) {
    OsLog(OS_LOG_ASSERT, "a_ptimespec is NULL...");
    return;
  }
  struct timespec tsStart;
  if (a_ptimespecBase) {
    tsStart = *a_ptimespecBase;
  } else {
    clock_gettime(CLOCK_REALTIME, &tsStart);
  }
  if (a_i32Milliseconds == -1) {
    a_ptimespec->tv_sec = tsStart.tv_sec + kYearSeconds;
    a_ptimespec->tv_nsec = 0;
    return;
  }
  // Whole seconds first, then carry or borrow so the nanoseconds stay in
  // range for either sign of the offset.
  int64_t i64Seconds = static_cast<int64_t>(tsStart.tv_sec) + a_i32Milliseconds / 1000;
  int64_t i64Nanos = static_cast<int64_t>(tsStart.tv_nsec) + static_cast<int64_t>(a_i32Milliseconds % 1000) * 1000000;
  i64Seconds += i64Nanos / kNanosPerSecond;
  i64Nanos %= kNanosPerSecond;
  if (i64Nanos < 0) {
    i64Nanos += kNanosPerSecond;
    i64Seconds -= 1;
  }
  a_ptimespec->tv_sec = static_cast<time_t>(i64Seconds);
  a_ptimespec->tv_nsec = static_cast<long>(i64Nanos);
}
