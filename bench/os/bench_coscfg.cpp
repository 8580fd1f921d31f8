// Configuration reads: by id (a bounds test and an array access), by name
// (a table search), and an ini value from a cached file.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "os_coscfg.h"

namespace {

// The store lays out its directories below $HOME: give it a throwaway one.
class CScratchHome {
 public:
  CScratchHome() {
    char szTemplate[] = "/tmp/scandrv-bench-XXXXXX";
    if (mkdtemp(szTemplate)) m_strRoot = szTemplate;
    const char* szHome = std::getenv("HOME");
    if (szHome) m_strHome = szHome;
    setenv("HOME", m_strRoot.c_str(), 1);
    m_poscfg = std::make_unique<COsCfg>("bench", OS_CFGENTITY_UTILITY, nullptr, nullptr, false, nullptr);
  }
  ~CScratchHome() {
    m_poscfg.reset();
    setenv("HOME", m_strHome.c_str(), 1);
    std::error_code ec;
    if (!m_strRoot.empty()) std::filesystem::remove_all(m_strRoot, ec);
  }
  COsCfg* Cfg() { return m_poscfg.get(); }
  const std::string& Root() const { return m_strRoot; }

 private:
  std::string m_strRoot;
  std::string m_strHome;
  std::unique_ptr<COsCfg> m_poscfg;
};

void BM_CfgGetById(benchmark::State& a_state) {
  CScratchHome home;
  unsigned uTag = 1;
  for (auto _ : a_state) {
    benchmark::DoNotOptimize(home.Cfg()->Get(OS_CFGSECTION_MAIN, uTag));
    uTag = uTag % 271 + 1;
  }
}
BENCHMARK(BM_CfgGetById);

void BM_CfgGetByName(benchmark::State& a_state) {
  CScratchHome home;
  for (auto _ : a_state) benchmark::DoNotOptimize(home.Cfg()->Get("dsIdentity", "ForceUsbReset"));
}
BENCHMARK(BM_CfgGetByName);

void BM_CfgProfileGetCached(benchmark::State& a_state) {
  CScratchHome home;
  std::string strFile = home.Root() + "/bench.ini";
  if (FILE* pfile = std::fopen(strFile.c_str(), "w")) {
    for (int i = 0; i < 4; ++i) {
      std::fprintf(pfile, "[section%d]\n", i);
      for (int k = 0; k < 50; ++k) std::fprintf(pfile, "key%d=value %d\n", k, k);
    }
    std::fclose(pfile);
  }
  char szValue[64];
  for (auto _ : a_state) {
    benchmark::DoNotOptimize(home.Cfg()->ProfileGet(strFile.c_str(), "section3", "key49", szValue, sizeof szValue));
  }
}
BENCHMARK(BM_CfgProfileGetCached);

}  // namespace
