// The feeder's paper sensor. Reading FEEDERLOADED asks the scanner (through
// the value's callback), which takes a round trip to the device; the task
// thread and the device callbacks ask often, so one reading serves the whole
// process for two seconds.
#include <atomic>
#include <mutex>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "os_coslog.h"
#include "os_costime.h"

namespace {

constexpr int64_t s_i64FreshSeconds = 2;

// The last reading and its time stamp. The mutex is held only to copy them
// in or out, never while the device is asked: a device callback thread
// asking while the task thread waits on that device must not wait on the
// task thread. Two threads that find the reading stale both ask.
struct FeederReading {
  bool blRead;  // the cache starts empty
  long lFeederLoaded;
  int64_t i64Stamp;
};
std::mutex s_mutexFeeder;
FeederReading s_feederreading{};
// A reading that ends up asking again on the same thread (a rule run by the
// value's own store) answers from the last reading instead of asking the
// device once more from inside its own answer.
thread_local bool t_blReadingFeeder = false;

std::atomic<int64_t (*)()> s_pfnFeederClock{nullptr};

int64_t Now() {
  int64_t (*pfnClock)() = s_pfnFeederClock.load();
  return pfnClock ? pfnClock() : COsTime::GetTimeStamp();
}

FeederReading LastReading() {
  std::lock_guard<std::mutex> lock(s_mutexFeeder);
  return s_feederreading;
}

// A clock set back makes the reading stale rather than fresh for ever.
bool Fresh(const FeederReading& a_feederreading, int64_t a_i64Now) {
  return a_feederreading.blRead && a_i64Now >= a_feederreading.i64Stamp &&
         a_i64Now - a_feederreading.i64Stamp < s_i64FreshSeconds;
}

}  // namespace

long CDatabase::GetFeederLoaded() {
  OsLogDebug(OS_LOG_INFO, ">>> CDatabase::GetFeederLoaded()");
  const FeederReading feederreading = LastReading();
  const int64_t i64Now = Now();
  if (t_blReadingFeeder || Fresh(feederreading, i64Now)) return feederreading.lFeederLoaded;
  t_blReadingFeeder = true;
  const long lFeederLoaded = GetCurrentLong(Find(DB_ID_FEEDERLOADED));
  t_blReadingFeeder = false;
  std::lock_guard<std::mutex> lock(s_mutexFeeder);
  s_feederreading = {true, lFeederLoaded, i64Now};
  return lFeederLoaded;
}

void CDatabase::SetFeederLoadedClock(int64_t (*a_pfnSeconds)()) { s_pfnFeederClock.store(a_pfnSeconds); }
