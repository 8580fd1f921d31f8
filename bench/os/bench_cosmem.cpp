// Cost of tracked allocation with a given number of blocks already in the
// table, of the per-thread block lookup, and of the bit helpers.
#include <benchmark/benchmark.h>

#include <vector>

#include "os_cosmem.h"

namespace {

void BM_AllocFree(benchmark::State& a_state) {
  COsMem osmem(OS_MEM_METHOD_GLOBALALLOC, 1);
  std::vector<void*> held;
  for (int64_t i = 0; i < a_state.range(0); ++i) held.push_back(osmem.Alloc(16, __FILE__, __LINE__));
  for (auto _ : a_state) {
    void* pv = osmem.Alloc(64, __FILE__, __LINE__);
    benchmark::DoNotOptimize(pv);
    osmem.Free(pv, __FILE__, __LINE__);
  }
  for (void* pv : held) osmem.Free(pv, __FILE__, __LINE__);
  a_state.SetItemsProcessed(static_cast<int64_t>(a_state.iterations()));
}
BENCHMARK(BM_AllocFree)->Arg(0)->Arg(256)->Arg(1000);

void BM_ThreadSafeLookup(benchmark::State& a_state) {
  COsMem osmem(OS_MEM_METHOD_GLOBALALLOC, 1);
  std::vector<void*> held;
  for (int64_t i = 0; i < a_state.range(0); ++i) held.push_back(osmem.Alloc(16, __FILE__, __LINE__));
  for (auto _ : a_state) {
    void* pv = osmem.ThreadSafeAlloc("ReportEventReply", 65536, __FILE__, __LINE__);
    benchmark::DoNotOptimize(pv);
  }
  osmem.ThreadSafeFree("ReportEventReply", __FILE__, __LINE__);
  for (void* pv : held) osmem.Free(pv, __FILE__, __LINE__);
  a_state.SetItemsProcessed(static_cast<int64_t>(a_state.iterations()));
}
BENCHMARK(BM_ThreadSafeLookup)->Arg(0)->Arg(1000);

void BM_CpyBitsUnaligned(benchmark::State& a_state) {
  std::vector<unsigned char> src(4096, 0x5A), dst(4096, 0);
  size_t sizetBits = static_cast<size_t>(a_state.range(0));
  for (auto _ : a_state) {
    COsMem::CpyBits(dst.data(), dst.size(), 3, src.data(), src.size(), 5, sizetBits);
    benchmark::ClobberMemory();
  }
  a_state.SetItemsProcessed(static_cast<int64_t>(a_state.iterations()) * a_state.range(0));
}
BENCHMARK(BM_CpyBitsUnaligned)->Arg(64)->Arg(8 * 4000);

void BM_Checksum32(benchmark::State& a_state) {
  std::vector<unsigned char> data(static_cast<size_t>(a_state.range(0)), 0xA5);
  for (auto _ : a_state) {
    uint64_t u64 = 0;
    benchmark::DoNotOptimize(COsMem::Checksum32(data.data(), data.size(), &u64));
  }
  a_state.SetBytesProcessed(static_cast<int64_t>(a_state.iterations()) * a_state.range(0));
}
BENCHMARK(BM_Checksum32)->Arg(4096)->Arg(1 << 20);

}  // namespace
