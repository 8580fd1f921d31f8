// Lines per second through the log: lines the level drops at once, lines the
// filter drops, and lines written to a file (open, write, close each).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "os_coslog.h"

namespace {

// A fresh directory below $TMPDIR (or /tmp) for the benchmark's log files.
// Kept on the heap so that it outlives the removal at exit.
std::string BenchDirectory() {
  static const std::string* s_pstrDirectory = [] {
    std::filesystem::path path = std::filesystem::temp_directory_path() / "scandrv-bench-log-XXXXXX";
    auto* pstrDirectory = new std::string(path.string());
    if (!mkdtemp(pstrDirectory->data())) std::abort();
    COsLog::SetFallbackPath((*pstrDirectory + "/fallback.log").c_str());
    std::atexit([] { std::filesystem::remove_all(*s_pstrDirectory); });
    return pstrDirectory;
  }();
  return *s_pstrDirectory;
}

void BM_LogDroppedByLevel(benchmark::State& a_state) {
  COsLog log("bench", (BenchDirectory() + "/level.log").c_str(), 0x11, nullptr);
  for (auto _ : a_state) log.Message(__FILE__, __LINE__, OS_LOG_INFO, "dropped %d", 1);
  a_state.SetItemsProcessed(a_state.iterations());
}
BENCHMARK(BM_LogDroppedByLevel);

void BM_LogDroppedByFilter(benchmark::State& a_state) {
  COsLog log("bench", nullptr, 0, nullptr);
  log.Setup((BenchDirectory() + "/filter.log").c_str(), 1, "dev_ ~os_", nullptr);
  for (auto _ : a_state) log.Message("/src/os_coslog_bench.cpp", __LINE__, OS_LOG_INFO, "dropped %d", 1);
  a_state.SetItemsProcessed(a_state.iterations());
}
BENCHMARK(BM_LogDroppedByFilter);

void BM_LogWritten(benchmark::State& a_state) {
  const std::string strPath = BenchDirectory() + "/written.log";
  COsLog log("bench", strPath.c_str(), 1, nullptr);
  const std::string strText(static_cast<size_t>(a_state.range(0)), 't');
  for (auto _ : a_state) log.Message(__FILE__, __LINE__, OS_LOG_INFO, "written <%s>", strText.c_str());
  a_state.SetItemsProcessed(a_state.iterations());
  a_state.SetBytesProcessed(a_state.iterations() * a_state.range(0));
  std::filesystem::remove(strPath);
}
BENCHMARK(BM_LogWritten)->Arg(40)->Arg(4000);

void BM_LogWrittenThreads(benchmark::State& a_state) {
  static COsLog* s_plog = nullptr;
  if (a_state.thread_index() == 0) {
    s_plog = new COsLog("bench", (BenchDirectory() + "/threads.log").c_str(), 1, nullptr);
  }
  for (auto _ : a_state) s_plog->Message(__FILE__, __LINE__, OS_LOG_INFO, "written by %d", a_state.thread_index());
  a_state.SetItemsProcessed(a_state.iterations());
  if (a_state.thread_index() == 0) {
    delete s_plog;
    s_plog = nullptr;
  }
}
BENCHMARK(BM_LogWrittenThreads)->Threads(1)->Threads(4)->UseRealTime();

}  // namespace
