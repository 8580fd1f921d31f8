// Diagnostics of the memory service: the table dump in the log and the
// process map written by pmap into a file of the log directory.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_cosmemimpl.h"
#include "os_cosstring.h"
#include "os_costhread.h"
#include "os_costime.h"

extern char** environ;

namespace {
// How long pmap may take before it is killed: a stalled tool must not hang
// the caller (a scan start writes this map at debug level).
constexpr long s_lPmapWaitDefaultMs = 10000;
constexpr long s_lPmapPollMs = 10;
std::atomic<long> s_lPmapWaitMs{s_lPmapWaitDefaultMs};

// The dump file's name: the time of day inserted before the extension of
// the given name (appended when it has none), or "PmxMem" + time + ".txt".
bool DumpFileName(const char* a_szName, char* a_szDst, size_t a_sizetDst) {
  OsTimeRecord ostimerecord;
  COsTime::GetLocalTime(&ostimerecord);
  char szTime[32];
  COsString::SStrPrintf(szTime, sizeof(szTime), "_%02d%02d%02d%03d", ostimerecord.u16Hour, ostimerecord.u16Minute,
                        ostimerecord.u16Second, ostimerecord.u16Milliseconds);
  if (!a_szName || !*a_szName) return COsString::SStrPrintf(a_szDst, a_sizetDst, "PmxMem%s.txt", szTime) >= 0;
  const char* szSlash = std::strrchr(a_szName, '/');
  const char* szDot = std::strrchr(szSlash ? szSlash + 1 : a_szName, '.');
  if (!szDot) return COsString::SStrPrintf(a_szDst, a_sizetDst, "%s%s", a_szName, szTime) >= 0;
  return COsString::SStrPrintf(a_szDst, a_sizetDst, "%.*s%s%s", static_cast<int>(szDot - a_szName), a_szName, szTime,
                               szDot) >= 0;
}

bool DumpFilePath(const char* a_szName, char* a_szPath, size_t a_sizetPath) {
  char szName[512];
  if (!DumpFileName(a_szName, szName, sizeof(szName))) return false;
  const char* szDirectory = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY) : "";
  int iLength = (szDirectory && *szDirectory)
                    ? COsString::SStrPrintf(a_szPath, a_sizetPath, "%s/%s", szDirectory, szName)
                    : COsString::SStrPrintf(a_szPath, a_sizetPath, "%s", szName);
  if (iLength < 0) return false;
  COsFile::PathNormalize(a_szPath, '/');
  return true;
}

// This process's environment without LD_PRELOAD: what is preloaded here
// (a sanitizer runtime, say) is meaningless to a system tool and can stall it
// at its start.
std::vector<char*> ToolEnvironment() {
  std::vector<char*> vecpsz;
  for (char** ppsz = environ; ppsz && *ppsz; ++ppsz) {
    if (std::strncmp(*ppsz, "LD_PRELOAD=", 11) != 0) vecpsz.push_back(*ppsz);
  }
  vecpsz.push_back(nullptr);
  return vecpsz;
}

// Reaps pmap; past the limit it is killed (and reaped) and the dump fails.
bool WaitForPmap(pid_t a_pid) {
  int iStatus = 0;
  for (long lWaited = 0;; lWaited += s_lPmapPollMs) {
    pid_t pidDone = waitpid(a_pid, &iStatus, WNOHANG);
    if (pidDone == a_pid) return true;
    if (pidDone < 0 && errno != EINTR) return false;
    if (lWaited >= s_lPmapWaitMs.load()) break;
    COsTime::Sleep(s_lPmapPollMs);
  }
  OsLog(OS_LOG_ASSERT, "mem>>> pmap did not finish within %ld ms, killed...", s_lPmapWaitMs.load());
  kill(a_pid, SIGKILL);
  while (waitpid(a_pid, &iStatus, 0) < 0 && errno == EINTR) {
  }
  return false;
}

// Runs pmap on this process with its standard output on the descriptor; no
// shell sees the path.
bool RunPmap(int a_iFd, const char* a_szPath) {
  char szPid[32];
  COsString::SStrPrintf(szPid, sizeof(szPid), "%llu", static_cast<unsigned long long>(COsThread::GetProcessId()));
  char szProgram[] = "pmap";
  char* apszArgv[] = {szProgram, szPid, nullptr};
  posix_spawn_file_actions_t fileactions;
  if (posix_spawn_file_actions_init(&fileactions) != 0) return false;
  posix_spawn_file_actions_adddup2(&fileactions, a_iFd, STDOUT_FILENO);
  pid_t pid = 0;
  std::vector<char*> vecpszEnvironment = ToolEnvironment();
  int iError = posix_spawnp(&pid, szProgram, &fileactions, nullptr, apszArgv, vecpszEnvironment.data());
  posix_spawn_file_actions_destroy(&fileactions);
  OsLogDebug(OS_LOG_INFO, "system: pmap %s (%s)", szPid, a_szPath);
  if (iError != 0) {
    OsLog(OS_LOG_ASSERT, "mem>>> posix_spawnp failed...%d <%s>", iError, szProgram);
    return false;
  }
  return WaitForPmap(pid);
}
}  // namespace

EOSSTS COsMemImpl::Dump(const void* a_pvKey) {
  TakeLock();
  DumpLocked(a_pvKey);
  GiveLock();
  return OS_STS_SUCCESS;
}

int64_t COsMemImpl::BlockCount() {
  TakeLock();
  const int64_t i64Count = m_i64CurrentCount;
  GiveLock();
  return i64Count;
}

void COsMemImpl::DumpLocked(const void* a_pvKey) {
  OsLog(OS_LOG_INFO, "mem>>> OsMemDump begin...");
  for (int i = 0; i < kSlots; ++i) {
    if (!m_apvKey[i] || (a_pvKey && m_apvKey[i] != a_pvKey)) continue;
    const OsMemInfo* posmeminfo = &m_aosmeminfo[i];
    char szType[16];
    const char* szName = OsMemTypeName(posmeminfo->u32Type);
    if (szName)
      COsString::SStrCpy(szType, sizeof(szType), szName);
    else
      COsString::SStrPrintf(szType, sizeof(szType), "?%d", static_cast<int>(posmeminfo->u32Type));
    OsLog(OS_LOG_INFO, "mem>>> %04d %12s %p(%p) s:%u o:%u v:%u f:%p <%s>", i, szType, posmeminfo->pvAddress,
          m_apvKey[i], static_cast<unsigned>(posmeminfo->u64Size), static_cast<unsigned>(posmeminfo->u64Offset),
          static_cast<unsigned>(posmeminfo->u64View), static_cast<void*>(posmeminfo->pfile), posmeminfo->szName);
  }
  OsLog(OS_LOG_INFO, "mem>>> OsMemDump end...");
}

EOSSTS COsMemImpl::DumpSystem(const char* a_szName) {
  OsLogDebug(OS_LOG_INFO, "mem>>> DumpSystem running...");
  char szPath[512];
  if (!DumpFilePath(a_szName, szPath, sizeof(szPath))) {
    OsLog(OS_LOG_ASSERT, "mem>>> error creating...<%s>", a_szName ? a_szName : "");
    return OS_STS_FAIL;
  }
  int iFd = open(szPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (iFd < 0) {
    OsLog(OS_LOG_ASSERT, "mem>>> error creating...<%s>", szPath);
    return OS_STS_FAIL;
  }
  bool blRan = RunPmap(iFd, szPath);
  close(iFd);
  return blRan ? OS_STS_SUCCESS : OS_STS_FAIL;
}

void OsMemSetPmapWaitLimit(long a_lMilliseconds) {
  s_lPmapWaitMs.store(a_lMilliseconds < 0 ? s_lPmapWaitDefaultMs : a_lMilliseconds);
}
