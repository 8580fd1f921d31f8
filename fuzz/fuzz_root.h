// Shared by the fuzz targets of the device lists and the configuration
// records: a throwaway root per process that becomes $HOME and $TMPDIR
// (removed at exit), the configuration store, and the log in a file of the
// root, started afresh now and then so that a long run does not fill the
// disk. Its level is 0: every refusal is written, the chatty lines are not.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "os_coscfg.h"
#include "os_coslog.h"

namespace fuzzroot {

inline std::string g_strRoot;
inline COsLog* g_poslogOwn = nullptr;
inline long g_lRuns = 0;

inline std::string Path(const std::string& a_strRelative) { return g_strRoot + "/" + a_strRelative; }

inline void StartLog() {
  g_poslog = nullptr;
  delete g_poslogOwn;
  std::filesystem::remove(Path("log/fuzz.log"));
  g_poslogOwn = new COsLog("scandrv", Path("log/fuzz.log").c_str(), 0, nullptr);
  g_poslogOwn->EnableAssert(false);  // no echo of every refusal on standard error
  g_poslog = g_poslogOwn;
}

// Called at the start of every run.
inline void NextRun() {
  if (++g_lRuns % 2048 == 0) StartLog();
}

// The root "scandrv-<name>-XXXXXX", the configuration store and the log.
// (The current directory stays: libFuzzer reads its corpus from there.)
inline void Make(const char* a_szName) {
  const char* szBase = std::getenv("TMPDIR");
  std::string strTemplate = std::string(szBase && *szBase ? szBase : "/tmp") + "/scandrv-" + a_szName + "-XXXXXX";
  if (!mkdtemp(strTemplate.data())) std::abort();
  g_strRoot = strTemplate;
  std::atexit([] {
    std::error_code errorcode;
    std::filesystem::remove_all(g_strRoot, errorcode);
  });
  setenv("PMX_SHGETFOLDERPATH", g_strRoot.c_str(), 1);
  setenv("HOME", g_strRoot.c_str(), 1);
  setenv("TMPDIR", g_strRoot.c_str(), 1);
  std::filesystem::create_directories(Path("log"));
  COsLog::SetFallbackPath(Path("log/fallback.log").c_str());
  new COsCfg("driver", OS_CFGENTITY_UTILITY, nullptr, nullptr, false, nullptr);
  StartLog();
}

inline bool WriteFile(const std::string& a_strPath, const void* a_pv, size_t a_sizet) {
  const int iFd = open(a_strPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (iFd < 0) return false;
  bool blDone = true;
  for (size_t sizetDone = 0; blDone && sizetDone < a_sizet;) {
    const ssize_t ssize = write(iFd, static_cast<const uint8_t*>(a_pv) + sizetDone, a_sizet - sizetDone);
    blDone = ssize > 0;
    if (blDone) sizetDone += static_cast<size_t>(ssize);
  }
  return close(iFd) == 0 && blDone;
}

}  // namespace fuzzroot
