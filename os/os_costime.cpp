#include "os_costime.h"

#include <sys/time.h>
#include <unistd.h>

#include <cstring>

#include "os_coslog.h"
#include "os_cosstring.h"

namespace {
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

EOSSTS COsTime::GetStringTime(const OsTimeRecord* a_ptimerecord, char* a_szTime, size_t a_sizetTime) {
  if (!a_szTime) {
    OsLog(OS_LOG_ASSERT, "a_szTime is null...");
    return OS_STS_FAIL;
  }
  if (a_sizetTime <= 18 || !a_ptimerecord) {
    OsLog(OS_LOG_ASSERT, "a_sizetTime is too small...%zu", a_sizetTime);
    return OS_STS_FAIL;
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
  if (a_lMilliseconds == 0) {
    usleep(1);
    return;
  }
  usleep(static_cast<useconds_t>(static_cast<uint32_t>(a_lMilliseconds * 1000)));
}
