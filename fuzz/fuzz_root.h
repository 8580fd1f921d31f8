// Shared by the fuzz targets that run the service layer as it is: a
// throwaway root per process (gone at exit) that HOME, TMPDIR and the
// folder lookups name, so that the services write below it only; the
// configuration and memory services; and a log file in the root.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosmem.h"

namespace fuzzroot {

inline std::string g_strRoot;
inline COsLog* g_poslogRoot = nullptr;

inline std::string Path(const char* a_szName) { return g_strRoot + "/" + a_szName; }

// The log goes to a file of the root, started afresh now and then so that
// a long run does not fill the disk. Its level is 0: every refusal is
// written, the chatty lines are not.
inline void StartLog() {
  g_poslog = nullptr;
  delete g_poslogRoot;
  std::filesystem::remove(Path("log/fuzz.log"));
  g_poslogRoot = new COsLog("scandrv", Path("log/fuzz.log").c_str(), 0, nullptr);
  g_poslogRoot->EnableAssert(false);  // no echo of every refusal on standard error
  g_poslog = g_poslogRoot;
}

inline void RemoveRoot() {
  std::error_code errorcode;
  if (!g_strRoot.empty()) std::filesystem::remove_all(g_strRoot, errorcode);
}

// The root, the services and the log; the run ends when there is no root.
inline void Start() {
  const char* szBase = std::getenv("TMPDIR");
  std::string strTemplate = std::string(szBase && *szBase ? szBase : "/tmp") + "/scandrv-fuzz-XXXXXX";
  if (!mkdtemp(strTemplate.data())) std::abort();
  g_strRoot = strTemplate;
  std::atexit(RemoveRoot);
  // (The current directory stays: libFuzzer reads the corpus by the names
  // it was given.)
  setenv("PMX_SHGETFOLDERPATH", g_strRoot.c_str(), 1);
  setenv("HOME", g_strRoot.c_str(), 1);
  setenv("TMPDIR", g_strRoot.c_str(), 1);
  std::filesystem::create_directories(Path("log"));
  COsLog::SetFallbackPath(Path("log/fallback.log").c_str());
  new COsCfg("driver", OS_CFGENTITY_UTILITY, nullptr, nullptr, false, nullptr);
  new COsMem(OS_MEM_METHOD_GLOBALALLOC, 1);
  StartLog();
}

}  // namespace fuzzroot
