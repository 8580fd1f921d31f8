// CreateTiff of raw A4 pages at 300 dpi (gray and colour) through the
// mapped and the file-write path, beside libtiff writing the same strip with
// the same tags into the same directory. Both read the source through a
// mapping of its file, as the driver's image files arrive, and write each
// page to a new file, as the driver does; the file is removed outside the
// timed part (so that no write waits for the previous page's writeback).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "../bench_scratch.h"
#include "os_coscfg.h"
#include "os_cosimage.h"
#include "os_cosmem.h"

namespace {

constexpr uint32_t kWidth = 2480;   // A4 at 300 dpi
constexpr uint32_t kHeight = 3508;

struct Page {
  const char* szFormat;
  uint32_t u32Samples;
  uint32_t Bytes() const { return kWidth * kHeight * u32Samples; }
};
const Page s_apage[] = {{"gray_8", 1}, {"rgb_24", 3}};

// The service objects the image object needs, and a source page on disk.
class Fixture {
 public:
  explicit Fixture(const Page& a_page)
      : m_cfg("driver", OS_CFGENTITY_UTILITY, nullptr, nullptr, false, nullptr), m_mem(OS_MEM_METHOD_GLOBALALLOC, 1) {
    m_source = m_scratch.Path("page.raw");
    m_output = m_scratch.Path("page.tif");
    m_directory = m_scratch.Path("");
    std::string bytes(a_page.Bytes(), '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 + i / 4093);
    if (FILE* pfile = std::fopen(m_source.c_str(), "wb")) {
      std::fwrite(bytes.data(), 1, bytes.size(), pfile);
      std::fclose(pfile);
    }
    m_report = "<reportimage><compressionmode>none</compressionmode><imagefilename>" + m_source +
               "</imagefilename><imageformat>" + a_page.szFormat + "</imageformat><imagewidth>" +
               std::to_string(kWidth * 4) + "</imagewidth><imageheight>" + std::to_string(kHeight * 4) +
               "</imageheight><imagesize>" + std::to_string(a_page.Bytes()) +
               "</imagesize><imageresolutionx>300_dpi</imageresolutionx></reportimage>";
  }
  Scratch m_scratch;
  COsCfg m_cfg;
  COsMem m_mem;
  std::string m_source, m_output, m_report, m_directory;

  // A new output name per page; the previous page's file is removed with
  // the timing paused.
  const char* NextOutput(benchmark::State& a_state) {
    a_state.PauseTiming();
    std::remove(m_output.c_str());
    m_output = m_directory + "page" + std::to_string(++m_iPage) + ".tif";
    a_state.ResumeTiming();
    return m_output.c_str();
  }
  ~Fixture() { std::remove(m_output.c_str()); }

 private:
  int m_iPage = 0;
};

void BM_CreateTiff(benchmark::State& a_state) {
  const Page& page = s_apage[a_state.range(0)];
  const bool blFileWrite = a_state.range(1) != 0;
  Fixture fixture(page);
  COsImage osimage;
  for (auto _ : a_state) {
    if (osimage.Create(fixture.NextOutput(a_state), fixture.m_report.c_str(), false, false, OS_IMAGEFILEFORMAT_TIFF,
                       OS_IMAGEMULTIPAGE_NONE, blFileWrite) != OS_STS_SUCCESS) {
      a_state.SkipWithError("Create failed");
      break;
    }
  }
  a_state.SetLabel(std::string(page.szFormat) + (blFileWrite ? " file-write" : " mapped"));
  a_state.SetBytesProcessed(static_cast<int64_t>(a_state.iterations()) * page.Bytes());
}
BENCHMARK(BM_CreateTiff)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

void BM_LibtiffStrip(benchmark::State& a_state) {
  const Page& page = s_apage[a_state.range(0)];
  Fixture fixture(page);
  TIFFSetWarningHandler(nullptr);
  for (auto _ : a_state) {
    const char* szOutput = fixture.NextOutput(a_state);
    int iFd = open(fixture.m_source.c_str(), O_RDONLY | O_CLOEXEC);
    void* pv = iFd >= 0 ? mmap(nullptr, page.Bytes(), PROT_READ, MAP_SHARED, iFd, 0) : MAP_FAILED;
    TIFF* ptiff = TIFFOpen(szOutput, "w");
    bool blDone = pv != MAP_FAILED && ptiff;
    if (blDone) {
      TIFFSetField(ptiff, TIFFTAG_SUBFILETYPE, 0);
      TIFFSetField(ptiff, TIFFTAG_IMAGEWIDTH, kWidth);
      TIFFSetField(ptiff, TIFFTAG_IMAGELENGTH, kHeight);
      TIFFSetField(ptiff, TIFFTAG_BITSPERSAMPLE, 8);
      TIFFSetField(ptiff, TIFFTAG_SAMPLESPERPIXEL, page.u32Samples);
      TIFFSetField(ptiff, TIFFTAG_PHOTOMETRIC, page.u32Samples == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
      TIFFSetField(ptiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
      TIFFSetField(ptiff, TIFFTAG_ROWSPERSTRIP, kHeight);
      TIFFSetField(ptiff, TIFFTAG_XRESOLUTION, 300.0);
      TIFFSetField(ptiff, TIFFTAG_YRESOLUTION, 300.0);
      TIFFSetField(ptiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
      blDone = TIFFWriteRawStrip(ptiff, 0, pv, page.Bytes()) == static_cast<tmsize_t>(page.Bytes());
    }
    if (ptiff) TIFFClose(ptiff);
    if (pv != MAP_FAILED) munmap(pv, page.Bytes());
    if (iFd >= 0) close(iFd);
    if (!blDone) {
      a_state.SkipWithError("libtiff failed");
      break;
    }
  }
  a_state.SetLabel(page.szFormat);
  a_state.SetBytesProcessed(static_cast<int64_t>(a_state.iterations()) * page.Bytes());
}
BENCHMARK(BM_LibtiffStrip)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
