// Speed and ratio of the block compressor (block sorting, run-length only,
// and decoding) beside bzip2 -1 and lz4, on data like what the driver packs:
// its own log text, XML settings, and raw bitonal and 8-bit gray page images
// of text. The peers are linked by this benchmark only.
#include <benchmark/benchmark.h>
#include <bzlib.h>
#include <lz4.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "os_cosfileimpl.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t s_sizetData = 4 << 20;

Bytes LogText() {
  static const char* const s_aszMessage[] = {"scan>>> image available...window:%d bytes:%d",
                                             "xmltask>>> reply built...id:%d bytes:%d",
                                             "usb>>> bulk read...endpoint:%d length:%d",
                                             "mem>>> addr:0x%08x  size:%7d  new CDbDatum"};
  static const char* const s_aszSource[] = {"dev_cdevimpl_scan.cpp", "os_cosxmltask.cpp", "os_cosusb.cpp",
                                            "db_cdbdatum.cpp"};
  std::mt19937 rng(1);
  std::string text;
  char szLine[200];
  for (unsigned u = 0; text.size() < s_sizetData; ++u) {
    unsigned uKind = rng() % 4;
    int iAt = std::snprintf(szLine, sizeof szLine, "%05u %02u%02u%02u%03u %-32.32s %5u %5u T%04u S4 VY ", u % 100000,
                            12, u / 60000 % 60, u / 1000 % 60, u % 1000, s_aszSource[uKind], static_cast<unsigned>(100 + rng() % 900), 4242,
                            static_cast<unsigned>(rng() % 8));
    iAt += std::snprintf(szLine + iAt, sizeof szLine - iAt, s_aszMessage[uKind], static_cast<int>(rng() % 4),
                         static_cast<int>(rng() % 100000));
    std::snprintf(szLine + iAt, sizeof szLine - iAt, "\r\n");
    text += szLine;
  }
  return Bytes(text.begin(), text.begin() + s_sizetData);
}

Bytes XmlText() {
  static const char* const s_aszAccess[] = {"readwrite", "readonly", "disabled", "hidden"};
  std::mt19937 rng(2);
  std::string text = "<task id='43' reply='42' bytes='0'>\n\t<reportsettings>\n";
  char szItem[400];
  for (unsigned u = 0; text.size() < s_sizetData; ++u) {
    std::snprintf(szItem, sizeof szItem,
                  "\t\t<capability id='cap%03u' window='%u' access='%s' bin='%u'>\n\t\t\t<current>%u</current>\n"
                  "\t\t\t<default>%u</default>\n\t\t\t<min>0</min>\n\t\t\t<max>%u</max>\n"
                  "\t\t\t<label>Capability label %u</label>\n\t\t</capability>\n",
                  u % 250, u / 250 % 10, s_aszAccess[rng() % 4], u % 6, static_cast<unsigned>(rng() % 1200), static_cast<unsigned>(rng() % 600), 1000 + u % 250,
                  u % 250);
    text += szItem;
  }
  return Bytes(text.begin(), text.begin() + s_sizetData);
}

// A page of text lines: glyphs are small random patterns in character cells,
// the margins and the gaps between lines are paper.
template <class Pixel>
Bytes Page(size_t a_sizetWidth, size_t a_sizetHeight, Pixel a_pixel) {
  std::mt19937 rng(3);
  Bytes page;
  page.reserve(s_sizetData);
  std::vector<uint32_t> glyphs(64);
  for (auto& glyph : glyphs) glyph = rng();
  std::vector<uint8_t> line(a_sizetWidth / 12);
  for (size_t y = 0; page.size() < s_sizetData; ++y) {
    size_t sizetRow = y % a_sizetHeight, sizetInLine = sizetRow % 40;
    if (sizetInLine == 0) {
      for (auto& c : line) c = rng() % 6 == 0 ? 255 : static_cast<uint8_t>(rng() % 64);
    }
    bool blText = sizetRow > 150 && sizetRow < a_sizetHeight - 150 && sizetInLine < 24;
    a_pixel(&page, a_sizetWidth, [&](size_t x) {
      if (!blText || x < 150 || x >= a_sizetWidth - 150) return false;
      uint8_t c = line[(x - 150) / 12];
      if (c == 255) return false;
      return (glyphs[c] >> ((sizetInLine / 3) * 4 + (x % 12) / 3) & 1) != 0;
    }, rng);
  }
  page.resize(s_sizetData);
  return page;
}

Bytes Bitonal() {
  return Page<>(2560, 3300, [](Bytes* a_ppage, size_t a_sizetWidth, auto a_ink, std::mt19937&) {
    for (size_t x = 0; x < a_sizetWidth; x += 8) {
      uint8_t u8 = 0;
      for (size_t b = 0; b < 8; ++b) u8 = static_cast<uint8_t>(u8 << 1 | a_ink(x + b));
      a_ppage->push_back(u8);
    }
  });
}

Bytes Gray() {
  return Page<>(1700, 2200, [](Bytes* a_ppage, size_t a_sizetWidth, auto a_ink, std::mt19937& a_rng) {
    for (size_t x = 0; x < a_sizetWidth; ++x) {
      // Paper is white with the odd speck of sensor noise; ink is dark.
      uint8_t u8 = a_ink(x) ? static_cast<uint8_t>(20 + a_rng() % 40) : (a_rng() % 16 == 0 ? 250 : 255);
      a_ppage->push_back(u8);
    }
  });
}

const Bytes& Data(int a_iWhich) {
  static const Bytes s_abytes[] = {LogText(), XmlText(), Bitonal(), Gray()};
  return s_abytes[a_iWhich];
}
const char* const s_aszData[] = {"log", "xml", "bitonal", "gray"};

void Report(benchmark::State& a_state, size_t a_sizetIn, size_t a_sizetCoded) {
  a_state.SetBytesProcessed(static_cast<int64_t>(a_state.iterations() * a_sizetIn));
  a_state.counters["ratio"] = static_cast<double>(a_sizetIn) / static_cast<double>(a_sizetCoded);
}

// A decoder's last output, checked once the timing is over: comparing 4 MiB
// inside the loop would be measured with the decoder.
void CheckDecoded(benchmark::State& a_state, const Bytes& a_out, const Bytes& a_input) {
  if (a_out != a_input) a_state.SkipWithError("decoded data differs");
}

Bytes Ours(const Bytes& a_input, EOSFILECOMPRESSION a_eosfilecompression, OsFileBlockSort* a_posfileblocksort) {
  Bytes out(OsFileCompressBound(a_input.size())), work(s_sizetCompressBlock);
  size_t sizetOut = 0;
  COsFileImpl::Compress(out.data(), out.size(), &sizetOut, a_input.data(), a_input.size(), a_eosfilecompression,
                        work.data(), work.size(), a_posfileblocksort);
  out.resize(sizetOut);
  return out;
}

void OursCompress(benchmark::State& a_state, int a_iData, EOSFILECOMPRESSION a_eosfilecompression) {
  const Bytes& input = Data(a_iData);
  OsFileBlockSort osfileblocksort{};
  Bytes out;
  for (auto _ : a_state) out = Ours(input, a_eosfilecompression, &osfileblocksort);
  COsFileImpl::BlockSortFree(&osfileblocksort);
  Report(a_state, input.size(), out.size());
}

void OursDecompress(benchmark::State& a_state, int a_iData, EOSFILECOMPRESSION a_eosfilecompression) {
  const Bytes& input = Data(a_iData);
  Bytes stream = Ours(input, a_eosfilecompression, nullptr), out(input.size()), work(s_sizetCompressBlock);
  for (auto _ : a_state) {
    size_t sizetOut = 0;
    COsFileImpl::Decompress(out.data(), out.size(), &sizetOut, stream.data(), stream.size(), work.data(), work.size());
    benchmark::DoNotOptimize(out.data());
  }
  CheckDecoded(a_state, out, input);
  Report(a_state, input.size(), stream.size());
}

Bytes Bzip2(const Bytes& a_input) {
  Bytes out(a_input.size() + a_input.size() / 100 + 600);
  unsigned uOut = static_cast<unsigned>(out.size());
  BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(out.data()), &uOut,
                           const_cast<char*>(reinterpret_cast<const char*>(a_input.data())),
                           static_cast<unsigned>(a_input.size()), 1, 0, 0);
  out.resize(uOut);
  return out;
}

void Bzip2Compress(benchmark::State& a_state, int a_iData) {
  const Bytes& input = Data(a_iData);
  Bytes out;
  for (auto _ : a_state) out = Bzip2(input);
  Report(a_state, input.size(), out.size());
}

void Bzip2Decompress(benchmark::State& a_state, int a_iData) {
  const Bytes& input = Data(a_iData);
  Bytes stream = Bzip2(input), out(input.size());
  for (auto _ : a_state) {
    unsigned uOut = static_cast<unsigned>(out.size());
    BZ2_bzBuffToBuffDecompress(reinterpret_cast<char*>(out.data()), &uOut, reinterpret_cast<char*>(stream.data()),
                               static_cast<unsigned>(stream.size()), 0, 0);
    benchmark::DoNotOptimize(out.data());
  }
  CheckDecoded(a_state, out, input);
  Report(a_state, input.size(), stream.size());
}

Bytes Lz4(const Bytes& a_input) {
  Bytes out(static_cast<size_t>(LZ4_compressBound(static_cast<int>(a_input.size()))));
  int iOut = LZ4_compress_default(reinterpret_cast<const char*>(a_input.data()), reinterpret_cast<char*>(out.data()),
                                  static_cast<int>(a_input.size()), static_cast<int>(out.size()));
  out.resize(static_cast<size_t>(iOut));
  return out;
}

void Lz4Compress(benchmark::State& a_state, int a_iData) {
  const Bytes& input = Data(a_iData);
  Bytes out;
  for (auto _ : a_state) out = Lz4(input);
  Report(a_state, input.size(), out.size());
}

void Lz4Decompress(benchmark::State& a_state, int a_iData) {
  const Bytes& input = Data(a_iData);
  Bytes stream = Lz4(input), out(input.size());
  for (auto _ : a_state) {
    LZ4_decompress_safe(reinterpret_cast<const char*>(stream.data()), reinterpret_cast<char*>(out.data()),
                        static_cast<int>(stream.size()), static_cast<int>(out.size()));
    benchmark::DoNotOptimize(out.data());
  }
  CheckDecoded(a_state, out, input);
  Report(a_state, input.size(), stream.size());
}

// One row per codec and data set.
const bool s_blRegistered = [] {
  for (int i = 0; i < 4; ++i) {
    std::string strData = s_aszData[i];
    benchmark::RegisterBenchmark(("Compress/blocksort/" + strData).c_str(), OursCompress, i,
                                 OS_FILECOMPRESSION_BLOCKSORT)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("Compress/runlength/" + strData).c_str(), OursCompress, i,
                                 OS_FILECOMPRESSION_RUNLENGTH)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("Compress/bzip2-1/" + strData).c_str(), Bzip2Compress, i)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("Compress/lz4/" + strData).c_str(), Lz4Compress, i)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("Decompress/blocksort/" + strData).c_str(), OursDecompress, i,
                                 OS_FILECOMPRESSION_BLOCKSORT)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("Decompress/runlength/" + strData).c_str(), OursDecompress, i,
                                 OS_FILECOMPRESSION_RUNLENGTH)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("Decompress/bzip2-1/" + strData).c_str(), Bzip2Decompress, i)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("Decompress/lz4/" + strData).c_str(), Lz4Decompress, i)
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace
