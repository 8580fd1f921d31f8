// Time service: the broken-down time record, conversions between it and
// seconds since the epoch, current UTC and local time, differences in
// milliseconds, the 17-digit time text used in file names and logs, seconds
// time stamps, sleeping and absolute deadlines for timed waits; and one
// periodic callback timer per object, run on a thread named "Timer".
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

#include "os_def.h"

// A timer callback; a non-zero result ends the timer.
typedef EOSSTS (*OsTimerCallback)(void* a_pvArg);

class COsTimeImpl;

class COsTime {
 public:
  COsTime();
  ~COsTime();
  COsTime(const COsTime&) = delete;
  COsTime& operator=(const COsTime&) = delete;

  // Calls the callback every period (plus the callback's own run time) until
  // TimerStop or a non-zero result; 1 for a period below 1, a null callback
  // or a timer already running on this object.
  EOSSTS TimerStart(int64_t a_i64PeriodMs, OsTimerCallback a_oscallbackTimer, void* a_pvArg);
  // Asks the timer to end after its current wait or callback; 0.
  EOSSTS TimerStop();
  // 2 while the timer thread is alive, else 1.
  int TimerStatus();
  OsTimerCallback TimerGetCallBack();
  void* TimerGetArg();

  // Current UTC time; 3 for a null record.
  static EOSSTS GetSystemTime(OsTimeRecord* a_ptimerecord);
  // Local time of the given seconds since the epoch (milliseconds 0), or of
  // now (with milliseconds) when a_timet is 0; 3 for a null record.
  static EOSSTS GetLocalTime(OsTimeRecord* a_ptimerecord, time_t a_timet = 0);
  // UTC record of the seconds (milliseconds 0); 1 when they cannot be broken
  // down, 3 for a null record.
  static EOSSTS ConvertTimetToSystem(time_t a_timet, OsTimeRecord* a_ptimerecord);
  // Seconds of the record read as UTC (day of week and milliseconds are
  // ignored); 1 when it cannot be converted, 3 for a null argument.
  static EOSSTS ConvertSystemToTimet(const OsTimeRecord* a_ptimerecord, time_t* a_ptimet);
  // Milliseconds a - b: exact within one day, whole seconds across days;
  // -1 when either record is null.
  static int64_t GetDifference(const OsTimeRecord* a_ptimerecordA, const OsTimeRecord* a_ptimerecordB);
  // YYYYMMDDhhmmssmmm; the size must be 19 or more.
  static EOSSTS GetStringTime(const OsTimeRecord* a_ptimerecord, char* a_szTime, size_t a_sizetTime);
  static int64_t GetTimeStamp();
  // 0 yields (sleeps a microsecond), a negative time returns at once; at most
  // 4,294,967 ms (the microsecond count is 32 bits).
  static void Sleep(long a_lMilliseconds);
  // Absolute deadline ms after the base (the real-time clock when null);
  // -1 means 365 days. Nanoseconds always end in 0..999,999,999.
  static void CalculateTimeSpec(struct timespec* a_ptimespec, int32_t a_i32Milliseconds,
                                const struct timespec* a_ptimespecBase = nullptr);

 private:
  COsTimeImpl* m_postimeimpl;
};
