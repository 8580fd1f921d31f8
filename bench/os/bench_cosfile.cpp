// Throughput of the file service: writes (each goes straight to the file),
// formatted lines, and whole-file copies in 2 MiB blocks.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "bench_scratch.h"
#include "os_cosfile.h"

namespace {

void BM_Write(benchmark::State& a_state) {
  Scratch scratch;
  COsFile osfile;
  osfile.Open(scratch.Path("w").c_str(), OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READWRITE);
  std::string block(static_cast<size_t>(a_state.range(0)), 'x');
  for (auto _ : a_state) {
    EOSSTS eosstatus = osfile.Write(block.data(), block.size());
    benchmark::DoNotOptimize(eosstatus);
  }
  a_state.SetBytesProcessed(static_cast<int64_t>(a_state.iterations()) * a_state.range(0));
}
BENCHMARK(BM_Write)->Arg(64)->Arg(4096)->Arg(1 << 20);

void BM_Printf(benchmark::State& a_state) {
  Scratch scratch;
  COsFile osfile;
  osfile.Open(scratch.Path("p").c_str(), OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READWRITE);
  long l = 0;
  for (auto _ : a_state) {
    int i = osfile.Printf("<datum id='%ld' value='%08lx'/>\r\n", l, l * 7);
    benchmark::DoNotOptimize(i);
    ++l;
  }
  a_state.SetItemsProcessed(static_cast<int64_t>(a_state.iterations()));
}
BENCHMARK(BM_Printf);

void BM_Copy(benchmark::State& a_state) {
  Scratch scratch;
  std::string from = scratch.Path("from"), to = scratch.Path("to");
  COsFile osfile;
  osfile.Open(from.c_str(), OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READWRITE);
  std::string block(1 << 20, 'c');
  for (long i = 0; i < a_state.range(0); ++i) osfile.Write(block.data(), block.size());
  osfile.Close();
  for (auto _ : a_state) {
    EOSSTS eosstatus = COsFile::Copy(from.c_str(), to.c_str());
    benchmark::DoNotOptimize(eosstatus);
  }
  a_state.SetBytesProcessed(static_cast<int64_t>(a_state.iterations()) * a_state.range(0) * (1 << 20));
}
BENCHMARK(BM_Copy)->Arg(8)->Unit(benchmark::kMillisecond);

}  // namespace
