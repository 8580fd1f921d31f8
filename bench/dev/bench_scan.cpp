// scandrv_bench_scan: a front end on the device facade that scans a batch
// from the staged simulated scanner: open, an A4
// duplex colour job at 300 dpi set in the database, N sheets of GetOutput
// and ImageEnd (on "no image yet" a wait of at most 10 ms for the
// first-image callback), close. Each round prints images per second, the CPU the
// engine and the stand-in spent per image (the process's CPU, which keeps
// that of threads already ended, less the front end's own thread), VmRSS
// every 1,000 images, VmHWM, the most files the image directory held at
// once and the tracked-memory blocks before the open and after the close.
//
//   scandrv_bench_scan [--sheets N] [--rounds N] [--flag ID=VALUE]...
//                      [--debug] [--simscan PATH] [--nexil process|dravix]
//
// --flag passes a simulation flag to the scanner (pagepool=true, say);
// --debug runs with debug logging into the scratch root; --simscan also
// runs that simscan on the same batch (rgb_24, 300 dpi, 6 buffers, the
// same flags) as the bare reference, alternating with the batch through
// the engine over the rounds (3 by default; the reference first in odd
// rounds, second in even ones, so that a drift of the machine's load
// weighs on both), and prints each round's ratio and their median: on a
// shared machine one pair alone swings widely. Run both under
// "taskset -c 0,1" to compare with the figures of the README. --nexil
// passes every page through the staged image-library stand-in, in this
// process or hosted by Dravix (image library off without it); simscan then
// runs with --nexil on the same stand-in as the bare reference, and the
// most files count both directories (pages and outputs).
//
// Exit status: 0 every image arrived and the job ended well, 1 otherwise.
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "db_cdatabase.h"
#include "dev_cdev.h"
#include "os_coscfg.h"
#include "os_coscfgtags.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosresource.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> a_vecd) {
  std::sort(a_vecd.begin(), a_vecd.end());
  const size_t sizetMiddle = a_vecd.size() / 2;
  return a_vecd.size() % 2 ? a_vecd[sizetMiddle] : (a_vecd[sizetMiddle - 1] + a_vecd[sizetMiddle]) / 2;
}

constexpr long kImagesPerReport = 1000;

struct BenchOptions {
  long lSheets = 200;
  long lRounds = 3;
  std::vector<std::pair<std::string, std::string>> vecFlags;
  bool blDebug = false;
  std::string strSimscan;
  std::string strNexilCall;  // "" off, "1" in process, "2" hosted by Dravix
};

std::string StagedNexil() { return std::string(SCANDRV_STAGE_MODELS) + "/" + SCANDRV_STAGE_MODEL + "/lib/nexil.so"; }

// The first-image callback's signal: GetOutput's "no image yet" waits on it.
struct FirstImage {
  std::mutex mutex;
  std::condition_variable cv;
  long lCalls = 0;
};

EOSSTS OnFirstImage(void* a_pv) {
  FirstImage& firstimage = *static_cast<FirstImage*>(a_pv);
  std::lock_guard<std::mutex> lock(firstimage.mutex);
  ++firstimage.lCalls;
  firstimage.cv.notify_all();
  return OS_STS_SUCCESS;
}

EOSSTS OnMessage(EDEVDLG, EDEVMSG, const char*, long, EDEVBUTTONS) { return OS_STS_SUCCESS; }

// utime + stime of a stat line, in seconds.
double StatSeconds(const std::string& a_strPath) {
  std::ifstream in(a_strPath);
  std::string strLine;
  std::getline(in, strLine);
  const size_t sizetParen = strLine.rfind(')');
  if (sizetParen == std::string::npos) return 0;
  std::istringstream fields(strLine.substr(sizetParen + 2));
  std::string strField;
  unsigned long long ullUser = 0, ullSystem = 0;
  // Fields from the state on: utime and stime are the 12th and 13th.
  for (int i = 1; i <= 13 && fields >> strField; ++i) {
    if (i == 12) ullUser = std::strtoull(strField.c_str(), nullptr, 10);
    if (i == 13) ullSystem = std::strtoull(strField.c_str(), nullptr, 10);
  }
  return static_cast<double>(ullUser + ullSystem) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The CPU of every thread but the caller's (the process's own figure keeps
// that of threads already ended).
double EngineSeconds() {
  return StatSeconds("/proc/self/stat") - StatSeconds("/proc/self/task/" + std::to_string(getpid()) + "/stat");
}

// A "Vm..." line of /proc/self/status, in KiB.
long StatusKiB(const char* a_szKey) {
  std::ifstream in("/proc/self/status");
  std::string strLine;
  const std::string strKey = std::string(a_szKey) + ":";
  while (std::getline(in, strLine)) {
    if (strLine.compare(0, strKey.size(), strKey) == 0) return std::atol(strLine.c_str() + strKey.size());
  }
  return -1;
}

long FilesIn(const std::string& a_strDirectory) {
  DIR* pdir = opendir(a_strDirectory.c_str());
  if (!pdir) return -1;
  long lFiles = 0;
  while (const dirent* pdirent = readdir(pdir)) lFiles += pdirent->d_name[0] != '.' ? 1 : 0;
  closedir(pdir);
  return lFiles;
}

// Runs a program with an argument vector (no shell), its output dropped;
// its exit status, or -1.
int Run(const std::vector<std::string>& a_vecstrArgs) {
  std::vector<char*> vecpsz;
  for (const std::string& str : a_vecstrArgs) vecpsz.push_back(const_cast<char*>(str.c_str()));
  vecpsz.push_back(nullptr);
  posix_spawn_file_actions_t fileactions;
  posix_spawn_file_actions_init(&fileactions);
  posix_spawn_file_actions_addopen(&fileactions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int iError = posix_spawn(&pid, vecpsz[0], &fileactions, nullptr, vecpsz.data(), environ);
  posix_spawn_file_actions_destroy(&fileactions);
  if (iError != 0) return -1;
  int iStatus = 0;
  if (waitpid(pid, &iStatus, 0) != pid) return -1;
  return WIFEXITED(iStatus) ? WEXITSTATUS(iStatus) : -1;
}

// A scratch root in memory where there is a tmpfs, as the scanner's own
// default directory is: the images cost what they cost a real front end.
std::string MakeRoot() {
  char szTemplate[] = "/dev/shm/scandrv-bench-scan-XXXXXX";
  char szTemplateTmp[] = "/tmp/scandrv-bench-scan-XXXXXX";
  const char* szRoot = std::filesystem::is_directory("/dev/shm") ? mkdtemp(szTemplate) : nullptr;
  if (!szRoot) szRoot = mkdtemp(szTemplateTmp);
  return szRoot ? szRoot : "";
}

class CScanBench {
 public:
  CScanBench(const BenchOptions& a_options, const std::string& a_strRoot)
      : m_options(a_options), m_strRoot(a_strRoot), m_strImages(a_strRoot + "/images") {}

  // The batch's seconds from ScanBegin to its final status.
  double Seconds() const { return m_dSeconds; }

  // The bare reference: simscan on the same batch; its seconds, or a
  // negative value when it failed.
  double RunSimscan() {
    std::vector<std::string> vecstrArgs = {m_options.strSimscan, "--quiet", "--format", "rgb_24",
                                           "--resolution", "300", "--buffers", "6",
                                           "--flag", "pages=" + std::to_string(m_options.lSheets),
                                           "--flag", "imagedirectory=" + m_strImages};
    for (const auto& [strId, strValue] : m_options.vecFlags) {
      vecstrArgs.push_back("--flag");
      vecstrArgs.push_back(strId + "=" + strValue);
    }
    if (!m_options.strNexilCall.empty()) {
      vecstrArgs.push_back("--nexil");
      vecstrArgs.push_back(StagedNexil());
    }
    const Clock::time_point start = Clock::now();
    const int iStatus = Run(vecstrArgs);
    const double dSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    return iStatus == 0 ? dSeconds : -1;
  }

  // The batch through the facade; false when it did not end well.
  bool Scan() {
    const bool blNexil = !m_options.strNexilCall.empty();
    std::vector<std::string> vecstrValue = {SCANDRV_STAGE_MODELS,  SCANDRV_STAGE_MODEL,
                                            blNexil ? "0" : "1",   m_strRoot + "/common",
                                            m_strRoot + "/log",    blNexil ? m_options.strNexilCall : "0"};
    const unsigned auTag[] = {OS_CFGTAG_SYSTEMDIRECTORY,     OS_CFGTAG_MODELDIRECTORY, OS_CFGTAG_FORCENEXILOFF,
                              OS_CFGTAG_ROOTCOMMONDIRECTORY, OS_CFGTAG_LOGDIRECTORY,   OS_CFGTAG_FORCENEXILCALL};
    COsCfg oscfg("bench", OS_CFGENTITY_UTILITY, nullptr, nullptr, false, nullptr);
    for (size_t i = 0; i < vecstrValue.size(); ++i) oscfg.Set(OS_CFGSECTION_MAIN, auTag[i], vecstrValue[i].c_str());
    std::filesystem::create_directories(m_strRoot + "/log");
    COsLog oslog("scandrv", (m_strRoot + "/log/bench.log").c_str(), m_options.blDebug ? 1 : 0, nullptr);
    g_poslog = &oslog;
    COsMem osmem(OS_MEM_METHOD_GLOBALALLOC, 0);
    const int64_t i64BlocksBefore = osmem.GetBlockCount();
    bool blDone = false;
    {
      CDatabase database;
      if (database.Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, OS_RESOURCE_LOCAL, false) != DB_STS_SUCCESS) {
        std::fprintf(stderr, "bench_scan: the database does not load\n");
      } else {
        blDone = ScanWith(database);
      }
    }
    const int64_t i64BlocksAfter = osmem.GetBlockCount();
    std::printf("tracked memory blocks: %lld before the open, %lld after the close\n",
                static_cast<long long>(i64BlocksBefore), static_cast<long long>(i64BlocksAfter));
    g_poslog = nullptr;
    return blDone && i64BlocksAfter == i64BlocksBefore;
  }

 private:
  void Simulate(CDatabase& a_database) {
    a_database.SetRecordText(DB_RECORD_SIMULATION, 0, "true");
    std::vector<std::pair<std::string, std::string>> vecFlags = {{"pages", std::to_string(m_options.lSheets)},
                                                                 {"imagedirectory", m_strImages}};
    vecFlags.insert(vecFlags.end(), m_options.vecFlags.begin(), m_options.vecFlags.end());
    for (size_t i = 0; i < vecFlags.size(); ++i) {
      a_database.SetRecordText(DB_RECORD_SIMFLAGID, static_cast<long>(i), vecFlags[i].first.c_str());
      a_database.SetRecordText(DB_RECORD_SIMFLAGVALUE, static_cast<long>(i), vecFlags[i].second.c_str());
    }
  }

  // Both colour cameras at 300 dpi, the bitonal ones off, both sides; true
  // when the database holds that afterwards (the rules may have switched
  // the bitonal cameras off already).
  static bool ColourDuplex300(CDatabase& a_database) {
    a_database.SetCurrentLongFromId(DB_ID_INPUTDOCUMENT, DB_ID_INPUTDOCUMENT_ENUM_TWOSIDED, false);
    for (EDBBIN edbbin : {DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR}) {
      a_database.SetCurrentLongFromIdBin(DB_ID_CAMERAENABLE, edbbin, DB_ID_CAMERAENABLE_ENUM_TRUE);
      a_database.SetCurrentLongFromIdBin(DB_ID_XRESOLUTION, edbbin, DB_ID_XRESOLUTION_ENUM_300);
    }
    for (EDBBIN edbbin : {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR}) {
      a_database.SetCurrentLongFromIdBin(DB_ID_CAMERAENABLE, edbbin, DB_ID_CAMERAENABLE_ENUM_FALSE);
    }
    return a_database.GetCurrentLongFromId(DB_ID_INPUTDOCUMENT) == DB_ID_INPUTDOCUMENT_ENUM_TWOSIDED &&
           a_database.GetCameraEnable(DB_BIN_COLOR_FRONT) && a_database.GetCameraEnable(DB_BIN_COLOR_REAR) &&
           !a_database.GetCameraEnable(DB_BIN_BITONAL_FRONT) && !a_database.GetCameraEnable(DB_BIN_BITONAL_REAR) &&
           a_database.GetCurrentLongFromIdBin(DB_ID_XRESOLUTION, DB_BIN_COLOR_FRONT) == DB_ID_XRESOLUTION_ENUM_300 &&
           a_database.GetCurrentLongFromIdBin(DB_ID_XRESOLUTION, DB_BIN_COLOR_REAR) == DB_ID_XRESOLUTION_ENUM_300;
  }

  bool ScanWith(CDatabase& a_database) {
    Simulate(a_database);
    CDev dev(&a_database, nullptr, nullptr);
    if (dev.InterfaceOpen(DEV_DRIVER_DEFAULT) != OS_STS_SUCCESS || dev.SessionBegin(OnMessage) != OS_STS_SUCCESS) {
      std::fprintf(stderr, "bench_scan: the scanner does not open (see %s/log)\n", m_strRoot.c_str());
      return false;
    }
    if (!ColourDuplex300(a_database)) {
      std::fprintf(stderr, "bench_scan: the database refuses an A4 duplex colour job at 300 dpi\n");
      dev.InterfaceClose();
      return false;
    }
    if (dev.SetAttributes(false, false) != OS_STS_SUCCESS) {
      std::fprintf(stderr, "bench_scan: the job cannot be set up (see %s/log)\n", m_strRoot.c_str());
      dev.InterfaceClose();
      return false;
    }
    std::printf("tracked memory blocks with the session open: %lld\n",
                static_cast<long long>(g_posmem ? g_posmem->GetBlockCount() : -1));
    FirstImage firstimage;
    dev.RegisterFirstImageCallback(OnFirstImage, &firstimage);
    const double dEngineStart = EngineSeconds();
    const Clock::time_point start = Clock::now();
    if (dev.ScanBegin() != OS_STS_SUCCESS) {
      std::fprintf(stderr, "bench_scan: ScanBegin failed\n");
      dev.InterfaceClose();
      return false;
    }
    const EDEVSTS edevstsEnd = Fetch(dev, firstimage);
    const double dSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double dEngine = EngineSeconds() - dEngineStart;
    dev.ScanEnd();
    dev.InterfaceClose();
    Report(edevstsEnd, dSeconds, dEngine);
    // The image library may make more than one output of a page.
    return edevstsEnd == DEV_STS_ENDOFJOB &&
           (m_options.strNexilCall.empty() ? m_lImages == 2 * m_options.lSheets : m_lImages >= 2 * m_options.lSheets);
  }

  // GetOutput and ImageEnd until the job's final status.
  EDEVSTS Fetch(CDev& a_dev, FirstImage& a_firstimage) {
    static char s_szBuffer[0x10000];
    for (;;) {
      int iImage = 0, iPage = 0, iPageImage = 0;
      long lSeen;
      {
        std::lock_guard<std::mutex> lock(a_firstimage.mutex);
        lSeen = a_firstimage.lCalls;
      }
      const EDEVSTS edevsts = a_dev.GetOutput(s_szBuffer, sizeof s_szBuffer, &iImage, &iPage, &iPageImage);
      if (edevsts == DEV_STS_SUCCESS) {
        m_lMostFiles = std::max(m_lMostFiles, FilesIn(m_strImages) + FilesIn(m_strRoot + "/nexil"));
        a_dev.ImageEnd(s_szBuffer);
        if (++m_lImages % kImagesPerReport == 0) {
          std::printf("image %ld: VmRSS %ld KiB\n", m_lImages, StatusKiB("VmRSS"));
          if (m_lImages == kImagesPerReport) m_lRssAtReport = StatusKiB("VmRSS");
        }
      } else if (edevsts == DEV_STS_NOIMAGEAVAILABLE) {
        std::unique_lock<std::mutex> lock(a_firstimage.mutex);
        a_firstimage.cv.wait_for(lock, std::chrono::milliseconds(10), [&] { return a_firstimage.lCalls != lSeen; });
      } else if (edevsts != DEV_STS_ENDOFSHEET) {
        return edevsts;
      }
    }
  }

  void Report(EDEVSTS a_edevstsEnd, double a_dSeconds, double a_dEngine) {
    const long lRssEnd = StatusKiB("VmRSS");
    std::printf("final status %d, %ld images of %ld sheets in %.2f s: %.1f images/s\n", static_cast<int>(a_edevstsEnd),
                m_lImages, m_options.lSheets, a_dSeconds, m_lImages / (a_dSeconds > 0 ? a_dSeconds : 1));
    std::printf("engine and stand-in CPU: %.2f s, %.3f ms per image\n", a_dEngine,
                m_lImages ? 1000 * a_dEngine / m_lImages : 0.0);
    if (m_lRssAtReport > 0) {
      std::printf("VmRSS growth from image %ld to the end: %ld KiB\n", kImagesPerReport, lRssEnd - m_lRssAtReport);
    }
    std::printf("VmHWM %ld KiB; most files in the image directory: %ld\n", StatusKiB("VmHWM"), m_lMostFiles);
    m_dSeconds = a_dSeconds;
  }

  const BenchOptions& m_options;
  std::string m_strRoot;
  std::string m_strImages;
  long m_lImages = 0;
  long m_lMostFiles = 0;
  long m_lRssAtReport = 0;
  double m_dSeconds = 0;
};

int Usage() {
  std::fprintf(stderr, "usage: scandrv_bench_scan [--sheets N] [--rounds N] [--flag ID=VALUE]... [--debug] "
               "[--simscan PATH] [--nexil process|dravix]\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  BenchOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string strArg = argv[i];
    const bool blValue = i + 1 < argc;
    if (strArg == "--sheets" && blValue) {
      options.lSheets = std::atol(argv[++i]);
    } else if (strArg == "--rounds" && blValue) {
      options.lRounds = std::atol(argv[++i]);
    } else if (strArg == "--flag" && blValue && std::strchr(argv[i + 1], '=')) {
      const std::string strFlag = argv[++i];
      options.vecFlags.emplace_back(strFlag.substr(0, strFlag.find('=')), strFlag.substr(strFlag.find('=') + 1));
    } else if (strArg == "--debug") {
      options.blDebug = true;
    } else if (strArg == "--simscan" && blValue) {
      options.strSimscan = argv[++i];
    } else if (strArg == "--nexil" && blValue && (std::strcmp(argv[i + 1], "process") == 0 ||
                                                  std::strcmp(argv[i + 1], "dravix") == 0)) {
      options.strNexilCall = std::strcmp(argv[++i], "process") == 0 ? "1" : "2";
    } else {
      return Usage();
    }
  }
  if (options.lSheets < 1 || options.lRounds < 1) return Usage();
  const std::string strRoot = MakeRoot();
  if (strRoot.empty()) {
    std::fprintf(stderr, "bench_scan: no scratch root\n");
    return 1;
  }
  std::filesystem::create_directories(strRoot + "/images");
  std::filesystem::create_directories(strRoot + "/nexil");
  setenv("HOME", strRoot.c_str(), 1);
  // The image-library stand-in's outputs stay in the scratch root.
  setenv("NEXSIM_IMAGEDIRECTORY", (strRoot + "/nexil").c_str(), 1);
  // Each round has a bench of its own (its counts start afresh); the
  // reference runs first in odd rounds and second in even ones.
  std::vector<double> vecdRatio, vecdRate, vecdSimscanRate;
  bool blDone = true;
  const long lRounds = options.strSimscan.empty() ? 1 : options.lRounds;
  for (long lRound = 1; lRound <= lRounds; ++lRound) {
    if (lRounds > 1) std::printf("round %ld of %ld\n", lRound, lRounds);
    CScanBench scanbench(options, strRoot);
    double dSimscan = 0;
    const auto RunReference = [&] {
      if (options.strSimscan.empty()) return;
      dSimscan = scanbench.RunSimscan();
      if (dSimscan < 0) std::fprintf(stderr, "bench_scan: simscan failed\n");
      if (dSimscan > 0) {
        std::printf("simscan: %ld images in %.2f s: %.1f images/s\n", 2 * options.lSheets, dSimscan,
                    2 * options.lSheets / dSimscan);
      }
    };
    if (lRound % 2 == 1) RunReference();
    blDone = scanbench.Scan() && blDone;
    if (lRound % 2 == 0) RunReference();
    if (dSimscan < 0) blDone = false;
    if (dSimscan > 0 && scanbench.Seconds() > 0) {
      vecdRatio.push_back(dSimscan / scanbench.Seconds());
      vecdRate.push_back(2 * options.lSheets / scanbench.Seconds());
      vecdSimscanRate.push_back(2 * options.lSheets / dSimscan);
      std::printf("front end on the engine / simscan: %.2f of its rate, %.3f ms per image above it\n",
                  vecdRatio.back(),
                  1000 * (scanbench.Seconds() - dSimscan) / static_cast<double>(2 * options.lSheets));
    }
  }
  if (vecdRatio.size() > 1) {
    std::printf("median of %zu rounds: %.1f images/s, simscan %.1f; front end on the engine / simscan: %.2f of its "
                "rate\n",
                vecdRatio.size(), Median(vecdRate), Median(vecdSimscanRate), Median(vecdRatio));
  }
  // A failed run keeps its root: the log tells why.
  if (!blDone) {
    std::fprintf(stderr, "bench_scan: the scratch root stays for a look: %s\n", strRoot.c_str());
    return 1;
  }
  std::error_code errorcode;
  std::filesystem::remove_all(strRoot, errorcode);
  return 0;
}
