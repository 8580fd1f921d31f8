// Throughput of the text conversions that label loading and the GUI bridge
// run on every text.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "os_coslocale.h"

namespace {

// Mixed text: one- to four-byte sequences.
std::string MixedUtf8(size_t a_sizetBytes) {
  const std::string piece = "Scan \xC3\xA9t\xC3\xA9 \xE2\x82\xAC 12 \xF0\x9F\x98\x80 ";
  std::string text;
  while (text.size() + piece.size() <= a_sizetBytes) text += piece;
  return text;
}

void BM_CopyUnicodeFromUtf8(benchmark::State& a_state) {
  std::string src = MixedUtf8(static_cast<size_t>(a_state.range(0)));
  std::vector<wchar_t> dst(src.size() + 1);
  for (auto _ : a_state) {
    size_t sizet = COsLocale::CopyUnicodeFromUtf8(dst.data(), dst.size(), src.c_str());
    benchmark::DoNotOptimize(sizet);
  }
  a_state.SetBytesProcessed(static_cast<int64_t>(a_state.iterations()) * static_cast<int64_t>(src.size()));
}
BENCHMARK(BM_CopyUnicodeFromUtf8)->Arg(64)->Arg(4096);

void BM_CopyUtf8FromUnicode2(benchmark::State& a_state) {
  std::string utf8 = MixedUtf8(static_cast<size_t>(a_state.range(0)));
  std::vector<uint16_t> src(utf8.size() + 1);
  COsLocale::CopyUnicode2FromUtf8(src.data(), src.size(), utf8.c_str());
  std::vector<char> dst(utf8.size() + 2);
  for (auto _ : a_state) {
    size_t sizet = COsLocale::CopyUtf8FromUnicode2(dst.data(), dst.size(), src.data(), -1);
    benchmark::DoNotOptimize(sizet);
  }
  a_state.SetBytesProcessed(static_cast<int64_t>(a_state.iterations()) * static_cast<int64_t>(utf8.size()));
}
BENCHMARK(BM_CopyUtf8FromUnicode2)->Arg(64)->Arg(4096);

}  // namespace
