// The scan history: one job appended to a file of 100,000 jobs whose
// settings never changed (every record after the first ends in "z", so the
// writer's tail walk spans them all), aim under 5 ms a job; and the XML
// export of that file, aim 20 MB of XML a second or more.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "dev_cdevdata.h"
#include "dev_drvconfig.h"
#include "os_coscfg.h"
#include "os_cosmem.h"
#include "os_cosresource.h"

namespace {

constexpr int kJobs = 100000;

class CHistoryBench {
 public:
  CHistoryBench() {
    char szTemplate[] = "/tmp/scandrv-bench-XXXXXX";
    const char* szRoot = mkdtemp(szTemplate);
    if (!szRoot) return;
    m_strRoot = szRoot;
    m_strRootPath = m_strRoot + "/var";
    m_poscfg = std::make_unique<COsCfg>("bench", OS_CFGENTITY_UTILITY, nullptr, nullptr, false, nullptr);
    m_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_ROOTPATH, m_strRootPath.c_str());
    m_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_MODELDIRECTORYREAL, "kv");
    m_posmem = std::make_unique<COsMem>(OS_MEM_METHOD_GLOBALALLOC, 0);
    m_pdatabase = std::make_unique<CDatabase>();
    m_pdatabase->Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, OS_RESOURCE_LOCAL, false);
    m_pdatabase->ConfigSetString("model", "bench", DB_CONFIGTARGET_ADF);
    m_pdatabase->ConfigEnumAdd("serialnumber", "BENCH001", DB_CONFIGTARGET_ADF);
    m_pdevdata = std::make_unique<CDevData>();
    m_strHistory = m_strRootPath + "/kv/data/BENCH001/bench_BENCH001.hst";
    Job();
    // The other jobs as the writer records an unchanged one: time, status,
    // "z".
    std::ofstream ofstream(m_strHistory, std::ios::binary | std::ios::app);
    const char acRecord[] = {'A', 124, 5, 1, 10, 0, 0, 30, 'N', 2, 'Q', 1, 'W', 12, 'z'};
    for (int i = 1; i < kJobs; ++i) ofstream.write(acRecord, sizeof acRecord);
  }
  ~CHistoryBench() {
    m_pdevdata.reset();
    m_pdatabase.reset();
    m_posmem.reset();
    m_poscfg.reset();
    if (!m_strRoot.empty()) std::filesystem::remove_all(m_strRoot);
  }
  void Job() {
    OsTimeRecord ostimerecord = {2024, 5, 0, 1, 10, 0, 0, 0};
    m_pdevdata->CreateScanHistory(DB_FIRMWARE_ADF, m_pdatabase.get(), DEV_STS_ENDOFJOB, &ostimerecord, 0, 2, 1);
  }
  bool Export() {
    return m_pdevdata->UnpackScanHistory((m_strRoot + "/history.xml").c_str(), m_strHistory.c_str()) ==
           OS_STS_SUCCESS;
  }
  int64_t XmlSize() const {
    struct stat st;
    return stat((m_strRoot + "/history.xml").c_str(), &st) == 0 ? st.st_size : 0;
  }

 private:
  std::string m_strRoot;
  std::string m_strRootPath;
  std::string m_strHistory;
  std::unique_ptr<COsCfg> m_poscfg;
  std::unique_ptr<COsMem> m_posmem;
  std::unique_ptr<CDatabase> m_pdatabase;
  std::unique_ptr<CDevData> m_pdevdata;
};

void BM_HistoryAppendTo100000Jobs(benchmark::State& a_state) {
  CHistoryBench historybench;
  for (auto _ : a_state) historybench.Job();
}
BENCHMARK(BM_HistoryAppendTo100000Jobs)->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_HistoryExport(benchmark::State& a_state) {
  CHistoryBench historybench;
  int64_t i64Bytes = 0;
  for (auto _ : a_state) {
    if (!historybench.Export()) a_state.SkipWithError("the export failed");
    i64Bytes += historybench.XmlSize();
  }
  a_state.SetBytesProcessed(i64Bytes);
}
BENCHMARK(BM_HistoryExport)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
