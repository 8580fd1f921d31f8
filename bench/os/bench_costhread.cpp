// Cost of a thread's life (start with its handshake, halt, join) and of one
// command round trip between an owner and its thread.
#include <benchmark/benchmark.h>

#include <sched.h>

#include <atomic>

#include "os_costhread.h"

namespace {

struct RoundTrip {
  std::atomic<long> lHandled{0};
};

void* ProcServe(void* a_pvThread) {
  COsThread* posthread = static_cast<COsThread*>(a_pvThread);
  RoundTrip* proundtrip = static_cast<RoundTrip*>(posthread->GetArg());
  for (;;) {
    posthread->WaitForEvent(-1);
    uint32_t u32Command = posthread->GetCommand();
    if (u32Command == OS_THREADCMD_HALT) break;
    if (u32Command == 5) {
      posthread->SetCommand(OS_THREADCMD_NONE, false);
      proundtrip->lHandled.fetch_add(1, std::memory_order_release);
    }
  }
  posthread->Exit();
  return nullptr;
}

void BM_ThreadStartStop(benchmark::State& a_state) {
  RoundTrip roundtrip;
  COsThread osthread;
  for (auto _ : a_state) {
    osthread.Start("bench", ProcServe, &roundtrip);
    osthread.Stop(false, 70000);
  }
}
BENCHMARK(BM_ThreadStartStop)->Unit(benchmark::kMillisecond);

void BM_ThreadCommandRoundTrip(benchmark::State& a_state) {
  RoundTrip roundtrip;
  COsThread osthread;
  if (osthread.Start("bench", ProcServe, &roundtrip) != OS_STS_SUCCESS) {
    a_state.SkipWithError("start failed");
    return;
  }
  for (auto _ : a_state) {
    long lBefore = roundtrip.lHandled.load(std::memory_order_acquire);
    while (osthread.SetCommand(5, true) != OS_STS_SUCCESS) sched_yield();
    for (long l = 0; l < 100000000 && roundtrip.lHandled.load(std::memory_order_acquire) == lBefore; l++) {
      sched_yield();
    }
  }
  osthread.Stop(false, 70000);
}
BENCHMARK(BM_ThreadCommandRoundTrip)->Unit(benchmark::kMicrosecond);

}  // namespace
