// The feeder's paper sensor. Reading FEEDERLOADED asks the scanner (through
// the value's callback), which takes a round trip to the device; the task
// thread and the device callbacks ask often, so one reading serves the whole
// process for two seconds.
#include <atomic>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "os_coslog.h"
#include "os_cossync.h"
#include "os_costime.h"

namespace {

constexpr int64_t s_i64FreshSeconds = 2;

// The last reading and its time stamp, under one spin word. The word is held
// across the reading itself, so that callers arriving meanwhile wait for it
// instead of asking the device again.
void volatile* s_pvFeederLock = nullptr;
bool s_blFeederRead = false;  // the cache starts empty
long s_lFeederLoaded = 0;
int64_t s_i64FeederStamp = 0;
// A reading that ends up asking again on the same thread (a rule run by the
// value's own store) answers from the cache instead of waiting for itself.
thread_local bool t_blReadingFeeder = false;

std::atomic<int64_t (*)()> s_pfnFeederClock{nullptr};

int64_t Now() {
  int64_t (*pfnClock)() = s_pfnFeederClock.load();
  return pfnClock ? pfnClock() : COsTime::GetTimeStamp();
}

// A clock set back makes the reading stale rather than fresh for ever.
bool Fresh(int64_t a_i64Now) {
  return s_blFeederRead && a_i64Now >= s_i64FeederStamp && a_i64Now - s_i64FeederStamp < s_i64FreshSeconds;
}

}  // namespace

long CDatabase::GetFeederLoaded() {
  OsLogDebug(OS_LOG_INFO, ">>> CDatabase::GetFeederLoaded()");
  if (t_blReadingFeeder) return s_lFeederLoaded;
  COsSync::SpinLock(&s_pvFeederLock);
  const int64_t i64Now = Now();
  if (!Fresh(i64Now)) {
    t_blReadingFeeder = true;
    s_lFeederLoaded = GetCurrentLong(Find(DB_ID_FEEDERLOADED));
    t_blReadingFeeder = false;
    s_i64FeederStamp = i64Now;
    s_blFeederRead = true;
  }
  const long lFeederLoaded = s_lFeederLoaded;
  COsSync::SpinUnlock(&s_pvFeederLock);
  return lFeederLoaded;
}

void CDatabase::SetFeederLoadedClock(int64_t (*a_pfnSeconds)()) { s_pfnFeederClock.store(a_pfnSeconds); }
