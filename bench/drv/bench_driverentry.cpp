// DriverEntry as a front end meets it: the staged library loaded with
// dlopen from a scratch root of its own (the simulated scanner staged
// beside it), one task text in, one reply out. A get of a capability under
// an explicit resourcelock and with the per-task lock, a set and a setmany
// of ten values under the resourcelock, the resourcelock and
// resourceunlock tasks alone, and interfaceopen plus sessionbegin with the
// image library hosted in its own process (the staged default), in process
// and switched off, the closing outside the timing. With the staged GUI
// stand-in: the GUI's full report ("get") with every capability registered,
// composed and sent (aim under 5 ms each), and one-name "getvalues" round
// trips (aim twice the bridge's badcmd round trip of bench_drvgui.cpp).
//
// The program does not link the library: a second copy in one process
// would share nothing with the one the front end loads.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <thread>
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
    fs::copy_file(models / SCANDRV_STAGE_MODEL / "lib" / "twaingui", lib / "twaingui");
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
    const std::string strReply = Reply(a_strCommand, a_strBody);
    const size_t sizetStatus = strReply.find("<status>");
    if (sizetStatus == std::string::npos) return "";
    const size_t sizetEnd = strReply.find('<', sizetStatus + 8);
    return sizetEnd == std::string::npos ? "" : strReply.substr(sizetStatus + 8, sizetEnd - sizetStatus - 8);
  }

  std::string Reply(const std::string& a_strCommand, const std::string& a_strBody = "") {
    const std::string strInner = "\t<" + a_strCommand + ">" + a_strBody + "</" + a_strCommand + ">\n";
    char szHead[128];
    std::snprintf(szHead, sizeof szHead, "<task id='%020ld' reply='%020d' bytes='%020zu'>\n", ++m_lId, 0,
                  91 + strInner.size() + 8);
    const char* szReply = m_entry((szHead + strInner + "</task>\n").c_str());
    return szReply ? szReply : "";
  }

  fs::path Root() const { return m_root; }

  // With a_blGui the session's GUI is the staged stand-in.
  bool Open(bool a_blGui = false) {
    return Send("interfaceopen", "<callername>bench</callername><simulate><simulation>true</simulation>"
                                 "<simflag><id>imagedirectory</id><value>" +
                                     (m_root / "images").string() + "</value><text></text></simflag></simulate>") ==
               "success" &&
           Send("sessionbegin", a_blGui ? "<ui>twaingui</ui>" : "") == "success";
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

// One value set, and a setmany of ten that touch one another's rules
// (resolution, cropping, paper size, contrast, bitonal processing, edge fill,
// units, a timeout, blank pages, noise): each round flips between two
// choices, so every set changes its value and the rules follow. Both under
// an explicit resourcelock, as the get above.
std::string SetBody(const std::string& a_strId, const std::string& a_strValue) {
  return "<id>" + a_strId + "</id><valuecurrent>" + a_strValue + "</valuecurrent>";
}

void BM_Set(benchmark::State& a_state) {
  if (!Session(a_state)) return;
  Bench().Send("resourcelock");
  const std::string astrBody[] = {SetBody("imageresolutionx", "300_dpi"), SetBody("imageresolutionx", "200_dpi")};
  long lRound = 0;
  for (auto _ : a_state) {
    if (Bench().Send("set", astrBody[lRound++ % 2]) != "success") a_state.SkipWithError("set failed");
  }
  Bench().Send("resourceunlock");
  Bench().Close();
}
BENCHMARK(BM_Set);

void BM_SetmanyOfTen(benchmark::State& a_state) {
  if (!Session(a_state)) return;
  Bench().Send("resourcelock");
  static const char* const s_aszValue[][3] = {{"imageresolutionx", "300_dpi", "200_dpi"},
                                               {"imagecroppingmode", "fixed", "automatic"},
                                               {"windowsize", "a4", "usletter"},
                                               {"contrast", "10", "0"},
                                               {"binarizationmode", "atp", "ithresholding"},
                                               {"edgefill", "white", "none"},
                                               {"units", "centimeters", "inches"},
                                               {"powerofftimeout", "30", "45"},
                                               {"blankimagemode", "content", "size"},
                                               {"filternoise", "majorityrule", "lonepixel"}};
  std::string astrBody[2];
  for (int iChoice = 0; iChoice < 2; ++iChoice) {
    for (const auto& aszValue : s_aszValue)
      astrBody[iChoice] += "<set>" + SetBody(aszValue[0], aszValue[1 + iChoice]) + "</set>";
  }
  long lRound = 0;
  for (auto _ : a_state) {
    if (Bench().Send("setmany", astrBody[lRound++ % 2]) != "success") a_state.SkipWithError("setmany failed");
  }
  Bench().Send("resourceunlock");
  Bench().Close();
}
BENCHMARK(BM_SetmanyOfTen);

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

// -- the settings GUI ------------------------------------------------------------------------------------------
// The replies the stand-in has read (its log's "recv" lines of tasks that
// begin with a status).
long GuiReplies(const fs::path& a_pathLog) {
  std::ifstream ifstream(a_pathLog);
  long lReplies = 0;
  for (std::string strLine; std::getline(ifstream, strLine);) {
    if (strLine.rfind("recv\t", 0) == 0 && strLine.size() > 13 &&
        strLine.compare(strLine.size() - 13, 13, "\treportstatus") == 0)
      ++lReplies;
  }
  return lReplies;
}

// Waits until the stand-in has read that many replies; false after 60 s.
bool WaitReplies(const fs::path& a_pathLog, long a_lReplies) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (GuiReplies(a_pathLog) < a_lReplies) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// One GUI session per iteration: the stand-in runs the script after
// uiready; the time from its a_lFirst-th reply to the last, per task.
void GuiRounds(benchmark::State& a_state, const std::string& a_strScript, long a_lFirst, long a_lTasks) {
  if (!Session(a_state)) return;
  Bench().Close();
  const fs::path pathLog = Bench().Root() / "standin.log";
  setenv("UISTANDIN_LOG", pathLog.c_str(), 1);
  setenv("UISTANDIN_SCRIPT", a_strScript.c_str(), 1);
  for (auto _ : a_state) {
    std::error_code error;
    fs::remove(pathLog, error);
    if (!Bench().Open(true) || Bench().Send("uibegin", "<uimode>scan</uimode>") != "success") {
      a_state.SkipWithError("the GUI did not start");
      break;
    }
    if (!WaitReplies(pathLog, a_lFirst)) {
      a_state.SkipWithError("the GUI's first replies did not come");
      break;
    }
    const auto start = std::chrono::steady_clock::now();
    const bool blDone = WaitReplies(pathLog, a_lFirst + a_lTasks);
    const double dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    a_state.SetIterationTime(dSeconds / static_cast<double>(a_lTasks));
    Bench().Send("uiend");
    Bench().Close();
    if (!blDone) {
      a_state.SkipWithError("the GUI's replies stopped");
      break;
    }
  }
  unsetenv("UISTANDIN_SCRIPT");
  unsetenv("UISTANDIN_LOG");
}

// Every name the scanner supports, as a register task's children.
std::string AllNames() {
  if (!Bench().Ready() || !Bench().Open()) return "";
  const std::string strList = Bench().Reply("get", "<id>idlist</id>");
  Bench().Close();
  std::string strIds;
  for (size_t sizet = strList.find("<id>"); sizet != std::string::npos; sizet = strList.find("<id>", sizet + 4)) {
    const size_t sizetEnd = strList.find("</id>", sizet);
    if (sizetEnd == std::string::npos) break;
    const std::string strName = strList.substr(sizet + 4, sizetEnd - sizet - 4);
    if (strName != "idlist") strIds += "\\n\\t\\t<id>" + strName + "</id>";
  }
  return strIds;
}

constexpr long kGuiTasks = 200;

// uiready and register answered, then kGuiTasks gets sent at once.
void BM_GuiGetAllRegistered(benchmark::State& a_state) {
  const std::string strNames = AllNames();
  GuiRounds(a_state, "send register " + strNames + "\\n\\t\nwait reportstatus\nwait reportstatus\nflood " +
                         std::to_string(kGuiTasks) + " get\n",
            2, kGuiTasks);
}
BENCHMARK(BM_GuiGetAllRegistered)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

// One getvalues at a time, each waiting for its answer.
void BM_GuiGetValuesRoundTrip(benchmark::State& a_state) {
  std::string strScript = "wait reportstatus\n";
  for (long l = 0; l < kGuiTasks; ++l) strScript += "send getvalues \\n\\t\\t<id>units</id>\\n\\t\nwait reportstatus\n";
  GuiRounds(a_state, strScript, 1, kGuiTasks);
}
BENCHMARK(BM_GuiGetValuesRoundTrip)->Iterations(3)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
