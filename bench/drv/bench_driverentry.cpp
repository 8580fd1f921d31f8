// DriverEntry as a front end meets it: the staged library loaded with
// dlopen from a scratch root of its own (the simulated scanner staged
// beside it), one task text in, one reply out. A get of a capability under
// an explicit resourcelock and with the per-task lock, the resourcelock and
// resourceunlock tasks alone, and interfaceopen plus sessionbegin with the
// image library hosted in its own process (the staged default), in process
// and switched off, the closing outside the timing.
//
// The program does not link the library: a second copy in one process
// would share nothing with the one the front end loads.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using EntryFunction = const char* (*)(const char*);

constexpr const char* kUnits[] = {"device.so", "nexil.so", "dravix"};

// The library, its override ini naming the root, and the units of the
// feeder, the flatbed and the model directory "driver" that a library
// driven through tasks uses.
class CDriverBench {
 public:
  CDriverBench() {
    char szTemplate[] = "/tmp/scandrv-bench-driverentry-XXXXXX";
    if (!mkdtemp(szTemplate)) return;
    m_root = szTemplate;
    const fs::path models = SCANDRV_STAGE_MODELS;
    const fs::path own = m_root / "opt" / fs::path(SCANDRV_STAGE_MODELS).filename();
    for (const std::string& model : {std::string(SCANDRV_STAGE_MODEL), std::string(SCANDRV_STAGE_MODEL) + "flatbed",
                                     std::string("driver")}) {
      const fs::path source = models / (model == "driver" ? SCANDRV_STAGE_MODEL : model) / "lib";
      fs::create_directories(own / model / "lib");
      for (const char* szUnit : kUnits) fs::copy_file(source / szUnit, own / model / "lib" / szUnit);
    }
    const fs::path lib = own / SCANDRV_STAGE_MODEL / "lib";
    fs::copy_file(models / SCANDRV_STAGE_MODEL / "lib" / "libscandrv.so", lib / "libscandrv.so");
    std::ofstream(lib / "libscandrv_override.ini") << "[main]\nroot=" << m_root.string() << "\n";
    fs::create_directories(m_root / "images");
    setenv("HOME", m_root.c_str(), 1);
    setenv("TMPDIR", m_root.c_str(), 1);
    m_handle = dlopen((lib / "libscandrv.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_handle) m_entry = reinterpret_cast<EntryFunction>(dlsym(m_handle, "DriverEntry"));
  }

  ~CDriverBench() {
    // The library stays loaded: its service threads may outlive a dlclose.
    std::error_code error;
    fs::remove_all(m_root, error);
  }

  bool Ready() const { return m_entry != nullptr; }

  // The driver's constant file, read when interfaceopen starts the service
  // layer: the hosting of the image library.
  void Configure(const std::string& a_strSettings) {
    const fs::path directory = m_root / "var" / fs::path(SCANDRV_STAGE_MODELS).filename() / "driver" / "driver";
    fs::create_directories(directory);
    std::ofstream(directory / "const.ini") << "[dsIdentity]\n" << a_strSettings;
  }

  // One task; its status word ("" when the reply has none).
  std::string Send(const std::string& a_strCommand, const std::string& a_strBody = "") {
    const std::string strInner = "\t<" + a_strCommand + ">" + a_strBody + "</" + a_strCommand + ">\n";
    char szHead[128];
    std::snprintf(szHead, sizeof szHead, "<task id='%020ld' reply='%020d' bytes='%020zu'>\n", ++m_lId, 0,
                  91 + strInner.size() + 8);
    const char* szReply = m_entry((szHead + strInner + "</task>\n").c_str());
    const char* szStatus = szReply ? std::strstr(szReply, "<status>") : nullptr;
    if (!szStatus) return "";
    szStatus += std::strlen("<status>");
    const char* szEnd = std::strchr(szStatus, '<');
    return szEnd ? std::string(szStatus, szEnd) : "";
  }

  bool Open() {
    return Send("interfaceopen", "<callername>bench</callername><simulate><simulation>true</simulation>"
                                 "<simflag><id>imagedirectory</id><value>" +
                                     (m_root / "images").string() + "</value><text></text></simflag></simulate>") ==
               "success" &&
           Send("sessionbegin") == "success";
  }

  void Close() { Send("interfaceclose"); }

 private:
  fs::path m_root;
  void* m_handle = nullptr;
  EntryFunction m_entry = nullptr;
  long m_lId = 0;
};

CDriverBench& Bench() {
  static CDriverBench s_bench;
  return s_bench;
}

// A session whose scanner is open, or the benchmark skipped with the reason.
bool Session(benchmark::State& a_state) {
  if (!Bench().Ready()) {
    a_state.SkipWithError("the staged library cannot be loaded");
    return false;
  }
  Bench().Configure("");
  if (!Bench().Open()) {
    Bench().Close();
    a_state.SkipWithError("interfaceopen or sessionbegin failed");
    return false;
  }
  return true;
}

void BM_GetUnderResourceLock(benchmark::State& a_state) {
  if (!Session(a_state)) return;
  Bench().Send("resourcelock");
  for (auto _ : a_state) {
    if (Bench().Send("get", "<id>imageresolutionx</id>") != "success") a_state.SkipWithError("get failed");
  }
  Bench().Send("resourceunlock");
  Bench().Close();
}
BENCHMARK(BM_GetUnderResourceLock);

void BM_GetPerTaskLock(benchmark::State& a_state) {
  if (!Session(a_state)) return;
  for (auto _ : a_state) {
    if (Bench().Send("get", "<id>imageresolutionx</id>") != "success") a_state.SkipWithError("get failed");
  }
  Bench().Close();
}
BENCHMARK(BM_GetPerTaskLock);

void BM_ResourceLockUnlock(benchmark::State& a_state) {
  if (!Session(a_state)) return;
  for (auto _ : a_state) {
    if (Bench().Send("resourcelock") != "success" || Bench().Send("resourceunlock") != "success") {
      a_state.SkipWithError("resourcelock or resourceunlock failed");
    }
  }
  Bench().Close();
}
BENCHMARK(BM_ResourceLockUnlock);

// interfaceopen plus sessionbegin, timed by hand so that interfaceclose is
// left out. Argument: 0 the image library in its host process (the staged
// default), 1 in process, 2 off.
void BM_OpenSession(benchmark::State& a_state) {
  static const char* const s_aszSettings[] = {"", "ForceNexilCall=1\n", "ForceNexilOff=1\n"};
  if (!Bench().Ready()) {
    a_state.SkipWithError("the staged library cannot be loaded");
    return;
  }
  Bench().Configure(s_aszSettings[a_state.range(0)]);
  for (auto _ : a_state) {
    const auto start = std::chrono::steady_clock::now();
    const bool blOpened = Bench().Open();
    a_state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    Bench().Close();
    if (!blOpened) a_state.SkipWithError("interfaceopen or sessionbegin failed");
  }
  Bench().Configure("");
}
BENCHMARK(BM_OpenSession)->ArgName("nexil")->Arg(0)->Arg(1)->Arg(2)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
