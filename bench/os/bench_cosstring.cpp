// Throughput of the bounded string operations that every subsystem leans on.
#include <benchmark/benchmark.h>

#include <string>

#include "os_cosstring.h"

namespace {

void BM_SStrCpy(benchmark::State& a_state) {
  std::string src(static_cast<size_t>(a_state.range(0)), 'x');
  std::string dst(src.size() + 1, '\0');
  for (auto _ : a_state) {
    COsString::SStrCpy(dst.data(), dst.size(), src.c_str());
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  a_state.SetBytesProcessed(static_cast<int64_t>(a_state.iterations()) * a_state.range(0));
}
BENCHMARK(BM_SStrCpy)->Arg(16)->Arg(256)->Arg(4096);

void BM_SStrPrintf(benchmark::State& a_state) {
  char sz[256];
  long l = 0;
  for (auto _ : a_state) {
    int i = COsString::SStrPrintf(sz, sizeof(sz), "<%s id='%ld' value='%08lx'/>", "datum", l, l * 7);
    benchmark::DoNotOptimize(i);
    ++l;
  }
  a_state.SetItemsProcessed(static_cast<int64_t>(a_state.iterations()));
}
BENCHMARK(BM_SStrPrintf);

void BM_EncryptSHA256(benchmark::State& a_state) {
  std::string data(static_cast<size_t>(a_state.range(0)), 'a');
  char sz[65];
  for (auto _ : a_state) {
    EOSSTS sts = COsString::EncryptSHA256(sz, sizeof(sz), data.data(), data.size());
    benchmark::DoNotOptimize(sts);
  }
  a_state.SetBytesProcessed(static_cast<int64_t>(a_state.iterations()) * a_state.range(0));
}
BENCHMARK(BM_EncryptSHA256)->Arg(64)->Arg(4096)->Arg(1 << 20);

}  // namespace
