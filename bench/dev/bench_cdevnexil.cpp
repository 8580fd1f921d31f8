// The image library's tasks through the adapter, with the staged stand-in
// in process and in the Dravix process over each transport: a small
// pass-through (getfreememory) and a getoutput whose reply is 64 KiB, to
// set beside the bare round trips of bench_cossocket.cpp (256-byte task,
// 64 KiB reply); and a getoutput of a reply just under 1 MiB over message
// queues, beside the bare transfer of 1 MiB there.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "db_cdatabase.h"
#include "dev_cdevnexil.h"
#include "os_coscfg.h"
#include "os_cosmem.h"
#include "os_cosresource.h"

namespace {

constexpr long kPad64K = 64 * 1024 - 1100;       // with the rest of the reply, 64 KiB
constexpr long kPad1M = 1024 * 1024 - 1100 - 1;  // with the rest, just under what the host's reply may hold

constexpr int kOutputsPerScan = 256;

// A library loaded and opened for a scan in its own scratch root (in
// memory where there is a tmpfs, so that the stand-in's output files cost
// little): the configuration's switches, the stand-in's output directory
// and the page it is given.
class CNexilBench {
 public:
  CNexilBench(const char* a_szForceNexilCall, const char* a_szGuiSockets, long a_lPad) {
    char szTemplate[] = "/dev/shm/scandrv-bench-XXXXXX";
    char szTemplateTmp[] = "/tmp/scandrv-bench-XXXXXX";
    const char* szRoot = std::filesystem::is_directory("/dev/shm") ? mkdtemp(szTemplate) : nullptr;
    if (!szRoot) szRoot = mkdtemp(szTemplateTmp);
    if (!szRoot) return;
    m_strRoot = szRoot;
    const char* szHome = std::getenv("HOME");
    if (szHome) m_strHome = szHome;
    setenv("HOME", m_strRoot.c_str(), 1);
    m_vecstrValue = {SCANDRV_STAGE_MODELS, SCANDRV_STAGE_MODEL, a_szForceNexilCall, a_szGuiSockets,
                     m_strRoot + "/common", m_strRoot + "/log"};
    std::filesystem::create_directories(m_strRoot + "/outputs");
    setenv("NEXSIM_IMAGEDIRECTORY", (m_strRoot + "/outputs").c_str(), 1);
    if (a_lPad > 0) setenv("NEXSIM_PADOUTPUT", std::to_string(a_lPad).c_str(), 1);
    // The host finds a shared-memory channel's named objects below this root.
    setenv("PMX_OSSERVICESARGUMENTS", ("<arguments><rootpath>" + m_strRoot + "</rootpath></arguments>").c_str(), 1);
    m_poscfg = std::make_unique<COsCfg>("bench", OS_CFGENTITY_UTILITY, nullptr, nullptr, false, nullptr);
    const unsigned auTag[] = {OS_CFGTAG_SYSTEMDIRECTORY, OS_CFGTAG_MODELDIRECTORY,  OS_CFGTAG_FORCENEXILCALL,
                              OS_CFGTAG_FORCEGUISOCKETS, OS_CFGTAG_ROOTCOMMONDIRECTORY, OS_CFGTAG_LOGDIRECTORY};
    for (size_t i = 0; i < m_vecstrValue.size(); ++i)
      m_poscfg->Set(OS_CFGSECTION_MAIN, auTag[i], m_vecstrValue[i].c_str());
    m_posmem = std::make_unique<COsMem>(OS_MEM_METHOD_GLOBALALLOC, 0);
    m_pdatabase = std::make_unique<CDatabase>();
    m_pdatabase->Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, OS_RESOURCE_LOCAL, false);
    m_pdevnexil = std::make_unique<CDevNexil>(m_pdatabase.get());
    m_blOpen = m_pdevnexil->Load(DB_FIRMWARE_ADF, DEV_NEXILCALL_NONE) == OS_STS_SUCCESS &&
               m_pdevnexil->InterfaceOpen(DB_FIRMWARE_ADF) == OS_STS_SUCCESS &&
               m_pdevnexil->SessionBegin(DB_FIRMWARE_ADF) == OS_STS_SUCCESS &&
               m_pdevnexil->ScanBegin(DB_FIRMWARE_ADF, 4) == OS_STS_SUCCESS;
    // A gray page of 40 x 60 pixels at 100 dpi, as the device library
    // describes it.
    const std::string strPage = m_strRoot + "/page.raw";
    if (FILE* pfile = std::fopen(strPage.c_str(), "wb")) {
      const std::vector<char> vc(40 * 60, '\x40');
      std::fwrite(vc.data(), 1, vc.size(), pfile);
      std::fclose(pfile);
    }
    m_strPage = "<reportimage><imageid>1</imageid><cameratype>front</cameratype><cameraid>front</cameraid>"
                "<compressionmode>none</compressionmode><imagefilename>" + strPage +
                "</imagefilename><imageformat>gray_8</imageformat><imagewidth>480</imagewidth>"
                "<imageheight>720</imageheight><imagesize>2400</imagesize>"
                "<imageresolutionx>100_dpi</imageresolutionx></reportimage>";
  }

  ~CNexilBench() {
    if (m_pdevnexil) {
      m_pdevnexil->ScanEnd(DB_FIRMWARE_ADF, false);
      m_pdevnexil->Unload(DB_FIRMWARE_BOTH);
    }
    m_pdevnexil.reset();
    m_pdatabase.reset();
    m_posmem.reset();
    m_poscfg.reset();
    for (const char* szName : {"NEXSIM_IMAGEDIRECTORY", "NEXSIM_PADOUTPUT", "PMX_OSSERVICESARGUMENTS"})
      unsetenv(szName);
    if (!m_strHome.empty()) setenv("HOME", m_strHome.c_str(), 1);
    std::error_code ec;
    if (!m_strRoot.empty()) std::filesystem::remove_all(m_strRoot, ec);
  }

  bool IsOpen() const { return m_blOpen; }
  // A new scan now and then lets the outputs handed out go.
  bool Recycle() {
    if (++m_iOutputs % kOutputsPerScan != 0) return true;
    return m_pdevnexil->ScanEnd(DB_FIRMWARE_ADF, false) == OS_STS_SUCCESS &&
           m_pdevnexil->ScanBegin(DB_FIRMWARE_ADF, 4) == OS_STS_SUCCESS;
  }
  CDevNexil& Nexil() { return *m_pdevnexil; }
  const std::string& Page() const { return m_strPage; }

 private:
  std::string m_strRoot;
  std::string m_strHome;
  std::vector<std::string> m_vecstrValue;  // the store keeps pointers to them
  std::unique_ptr<COsCfg> m_poscfg;
  std::unique_ptr<COsMem> m_posmem;
  std::unique_ptr<CDatabase> m_pdatabase;
  std::unique_ptr<CDevNexil> m_pdevnexil;
  std::string m_strPage;
  bool m_blOpen = false;
  int m_iOutputs = 0;
};

void BM_NexilFreeMemory(benchmark::State& a_state, const char* a_szForceNexilCall, const char* a_szGuiSockets) {
  CNexilBench nexilbench(a_szForceNexilCall, a_szGuiSockets, 0);
  if (!nexilbench.IsOpen()) {
    a_state.SkipWithError("the library did not open");
    return;
  }
  OsMemList osmemlist = {};
  for (auto _ : a_state) {
    if (nexilbench.Nexil().GetFreeMemory("front", &osmemlist) != DEV_STS_SUCCESS) {
      a_state.SkipWithError("getfreememory failed");
      break;
    }
  }
}

// Each output comes from a page set outside the timing.
void BM_NexilGetOutput(benchmark::State& a_state, const char* a_szForceNexilCall, const char* a_szGuiSockets,
                       long a_lPad) {
  CNexilBench nexilbench(a_szForceNexilCall, a_szGuiSockets, a_lPad);
  if (!nexilbench.IsOpen()) {
    a_state.SkipWithError("the library did not open");
    return;
  }
  std::vector<char> vcOutput(2 << 20);
  int64_t i64Bytes = 0;
  for (auto _ : a_state) {
    a_state.PauseTiming();
    const bool blSet =
        nexilbench.Recycle() && nexilbench.Nexil().SetInput(nexilbench.Page().c_str()) == OS_STS_SUCCESS;
    a_state.ResumeTiming();
    if (!blSet || nexilbench.Nexil().GetOutput(DB_FIRMWARE_ADF, vcOutput.data(), vcOutput.size()) != DEV_STS_SUCCESS) {
      a_state.SkipWithError("setinput or getoutput failed");
      break;
    }
    a_state.PauseTiming();
    i64Bytes += static_cast<int64_t>(std::strlen(vcOutput.data()));
    a_state.ResumeTiming();
  }
  a_state.SetBytesProcessed(i64Bytes);
}

#define NEXIL_BENCH(name, ...)                                                                 \
  BENCHMARK_CAPTURE(name, InProcess, "1", "" __VA_OPT__(, ) __VA_ARGS__)->UseRealTime();       \
  BENCHMARK_CAPTURE(name, DravixQueues, "0", "" __VA_OPT__(, ) __VA_ARGS__)->UseRealTime();    \
  BENCHMARK_CAPTURE(name, DravixSharedMemory, "0", "3" __VA_OPT__(, ) __VA_ARGS__)->UseRealTime(); \
  BENCHMARK_CAPTURE(name, DravixTcp, "0", "1" __VA_OPT__(, ) __VA_ARGS__)->UseRealTime()

NEXIL_BENCH(BM_NexilFreeMemory);
NEXIL_BENCH(BM_NexilGetOutput, kPad64K);
BENCHMARK_CAPTURE(BM_NexilGetOutput, DravixQueues1MiB, "0", "", kPad1M)->UseRealTime();
BENCHMARK_CAPTURE(BM_NexilGetOutput, InProcess1MiB, "1", "", kPad1M)->UseRealTime();

}  // namespace
