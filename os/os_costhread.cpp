#include "os_costhread.h"

#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "os_coslog.h"

namespace {
// State letter of /proc/<pid>/stat, 0 when the process does not exist.
char ProcessState(uint64_t a_u64ProcessId) {
  char szPath[64];
  std::snprintf(szPath, sizeof szPath, "/proc/%llu/stat", static_cast<unsigned long long>(a_u64ProcessId));
  FILE* pfile = std::fopen(szPath, "re");
  if (!pfile) return 0;
  char szStat[512];
  size_t sizetRead = std::fread(szStat, 1, sizeof szStat - 1, pfile);
  std::fclose(pfile);
  szStat[sizetRead] = '\0';
  // "pid (command) S ...": the command may itself hold ")".
  const char* pszClose = std::strrchr(szStat, ')');
  return (pszClose && pszClose[1] == ' ') ? pszClose[2] : '?';
}
}  // namespace

uint64_t COsThread::GetThreadId() { return static_cast<uint64_t>(syscall(SYS_gettid)); }

uint64_t COsThread::GetProcessId() { return static_cast<uint64_t>(getpid()); }

bool COsThread::IsThreadRunning(uint64_t a_u64ThreadId) {
  // Signal 0 tests whether the id names a live process or thread.
  int iSaved = errno;
  bool blRunning = a_u64ThreadId != 0 && kill(static_cast<pid_t>(a_u64ThreadId), 0) == 0;
  errno = iSaved;
  return blRunning;
}

bool COsThread::IsProcessRunning(uint64_t a_u64ProcessId, bool a_blEndedCounts) {
  if (a_u64ProcessId == 0 || a_u64ProcessId > INT_MAX) return false;
  unsigned long long ullPid = static_cast<unsigned long long>(a_u64ProcessId);
  int iSaved = errno;
  siginfo_t siginfo;
  std::memset(&siginfo, 0, sizeof siginfo);
  // WNOWAIT leaves an ended child to be reaped by whoever follows it.
  int iResult = waitid(P_PID, static_cast<id_t>(a_u64ProcessId), &siginfo, WEXITED | WNOHANG | WNOWAIT);
  if (iResult == 0 && siginfo.si_pid != 0) {
    OsLogDebug(OS_LOG_INFO, "process has exited...pid=%llu stat_loc=%d", ullPid, siginfo.si_status);
    errno = iSaved;
    return a_blEndedCounts;
  }
  if (iResult != 0 && errno != ECHILD) {
    OsLog(OS_LOG_ERROR, "waitpid failed...pid=%llu stat_loc=%d", ullPid, errno);
    errno = iSaved;
    return false;
  }
  char cState = ProcessState(a_u64ProcessId);
  errno = iSaved;
  if (cState == 0) {
    OsLogDebug(OS_LOG_INFO, "process not found...%llu", ullPid);
    return false;
  }
  if (cState == 'Z' || cState == 'X') {
    OsLogDebug(OS_LOG_INFO, "process has exited...pid=%llu stat_loc=%d", ullPid, 0);
    return a_blEndedCounts;
  }
  return true;
}

bool COsThread::IsOwnThreadRunning(uint64_t a_u64ThreadId) {
  int iSaved = errno;
  bool blRunning = a_u64ThreadId != 0 && syscall(SYS_tgkill, getpid(), static_cast<pid_t>(a_u64ThreadId), 0) == 0;
  errno = iSaved;
  return blRunning;
}

int COsThread::GetProcessIntegrity() {
  static const int s_iIntegrity = geteuid() == 0 ? 6 : 4;
  return s_iIntegrity;
}
