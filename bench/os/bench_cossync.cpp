// Cost of the locks and events: an uncontended spin word, a set and wait
// round trip on an unnamed and a named event, a named mutex claim and release.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "os_cossync.h"

namespace {

void BM_SpinLockUnlock(benchmark::State& a_state) {
  void volatile* pvWord = nullptr;
  for (auto _ : a_state) {
    COsSync::SpinLock(&pvWord);
    COsSync::SpinUnlock(&pvWord);
  }
}
BENCHMARK(BM_SpinLockUnlock);

void BM_EventSetWait(benchmark::State& a_state) {
  // Named objects live below the benchmark's own temporary directory.
  std::string directory = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/scandrv-bench-sync";
  COsSync::SetFallbackDirectory(directory.c_str());
  COsSync event;
  if (event.EventCreate(a_state.range(0) ? "bench" : nullptr, nullptr, true) != OS_STS_SUCCESS) {
    a_state.SkipWithError("EventCreate failed");
    return;
  }
  for (auto _ : a_state) {
    event.EventSet();
    benchmark::DoNotOptimize(event.EventWait(0));
  }
}
BENCHMARK(BM_EventSetWait)->Arg(0)->Arg(1);

void BM_MutexClaimRelease(benchmark::State& a_state) {
  std::string directory = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/scandrv-bench-sync";
  COsSync::SetFallbackDirectory(directory.c_str());
  COsSync mutex;
  if (mutex.MutexCreate("bench", nullptr) != OS_STS_SUCCESS) {
    a_state.SkipWithError("MutexCreate failed");
    return;
  }
  for (auto _ : a_state) {
    benchmark::DoNotOptimize(mutex.MutexClaim(0));
    mutex.MutexRelease("bench");
  }
}
BENCHMARK(BM_MutexClaimRelease);

}  // namespace
