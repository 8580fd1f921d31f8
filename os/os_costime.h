// Time service. For now: current UTC and local time, the 17-digit time text
// used in file names and logs, seconds time stamps and sleeping.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

#include "os_def.h"

class COsTime {
 public:
  static EOSSTS GetSystemTime(OsTimeRecord* a_ptimerecord);
  // Local time of the given seconds since the epoch, or of now (with
  // milliseconds) when a_timet is 0.
  static EOSSTS GetLocalTime(OsTimeRecord* a_ptimerecord, time_t a_timet = 0);
  // YYYYMMDDhhmmssmmm; the size must be 19 or more.
  static EOSSTS GetStringTime(const OsTimeRecord* a_ptimerecord, char* a_szTime, size_t a_sizetTime);
  static int64_t GetTimeStamp();
  static void Sleep(long a_lMilliseconds);
};
