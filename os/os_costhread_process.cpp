// Process-wide operations that run outside programs: finding a process by
// name through ps, and suspending the machine through rtcwake. Both run with
// an argument vector found on PATH, never through a shell.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_cossync.h"
#include "os_costhreadimpl.h"
#include "os_costime.h"

extern char** environ;

namespace {
constexpr size_t kPsLine = 511;  // 510 characters and the terminator
constexpr int kExecFailed = 127;

char s_szTerminal[512] = "/usr/bin/gnome-terminal";
void volatile* s_pvTerminalWord = nullptr;

// The program's path: a name with "/" as it is, else the first executable
// file of that name on PATH.
bool FindOnPath(const char* a_szName, char* a_szPath, size_t a_sizetPath) {
  if (std::strchr(a_szName, '/')) {
    COsString::SStrCpy(a_szPath, a_sizetPath, a_szName);
    return access(a_szPath, X_OK) == 0;
  }
  const char* pszPath = getenv("PATH");
  if (!pszPath) pszPath = "/usr/local/bin:/usr/bin:/bin:/usr/local/sbin:/usr/sbin:/sbin";
  while (*pszPath) {
    const char* pszEnd = std::strchr(pszPath, ':');
    size_t sizetDir = pszEnd ? static_cast<size_t>(pszEnd - pszPath) : std::strlen(pszPath);
    if (sizetDir > 0 &&
        COsString::SStrPrintf(a_szPath, a_sizetPath, "%.*s/%s", static_cast<int>(sizetDir), pszPath, a_szName) > 0) {
      struct stat statbuf;
      if (stat(a_szPath, &statbuf) == 0 && S_ISREG(statbuf.st_mode) && access(a_szPath, X_OK) == 0) return true;
    }
    if (!pszEnd) break;
    pszPath = pszEnd + 1;
  }
  return false;
}

// Starts the program with the argument vector; with a_piOutput its standard
// output comes back through a pipe. The child's id, or -1.
pid_t StartProgram(const char* a_szPath, char* const* a_apszArgv, int* a_piOutput) {
  int aiPipe[2] = {-1, -1};
  if (a_piOutput && pipe2(aiPipe, O_CLOEXEC) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    if (a_piOutput) dup2(aiPipe[1], STDOUT_FILENO);
    sigset_t sigset;
    sigemptyset(&sigset);
    sigprocmask(SIG_SETMASK, &sigset, nullptr);
    execve(a_szPath, a_apszArgv, environ);
    _exit(kExecFailed);
  }
  if (a_piOutput) {
    close(aiPipe[1]);
    if (pid < 0) {
      close(aiPipe[0]);
    } else {
      *a_piOutput = aiPipe[0];
    }
  }
  return pid;
}

int WaitProgram(pid_t a_pid) {
  int iStatus = 0;
  while (waitpid(a_pid, &iStatus, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return iStatus;
}

// The pid at the start of the first line that holds the name; 0 when none.
uint64_t ScanProcessList(FILE* a_pfile, const char* a_szName) {
  char szLine[kPsLine + 1];
  while (std::fgets(szLine, sizeof szLine, a_pfile)) {
    size_t sizetLine = std::strlen(szLine);
    if (sizetLine > 0 && szLine[sizetLine - 1] != '\n') {
      // The rest of a longer line is dropped, so it is never read as a line.
      int iChar;
      while ((iChar = std::fgetc(a_pfile)) != EOF && iChar != '\n') {
      }
    }
    if (std::strstr(szLine, a_szName)) {
      uint64_t u64ProcessId = std::strtoull(szLine, nullptr, 10);
      if (u64ProcessId != 0) return u64ProcessId;
    }
  }
  return 0;
}
}  // namespace

std::atomic<long> COsThreadImpl::s_lPowerStateSettle{2000};

void COsThreadImpl::GetTerminalProgram(char* a_szPath, size_t a_sizetPath) {
  COsSync::SpinLock(&s_pvTerminalWord);
  COsString::SStrCpy(a_szPath, a_sizetPath, s_szTerminal);
  COsSync::SpinUnlock(&s_pvTerminalWord);
}

void COsThreadImpl::SetTerminalProgram(const char* a_szPath) {
  COsSync::SpinLock(&s_pvTerminalWord);
  COsString::SStrCpy(s_szTerminal, sizeof s_szTerminal, a_szPath ? a_szPath : "/usr/bin/gnome-terminal");
  COsSync::SpinUnlock(&s_pvTerminalWord);
}

EOSSTS COsThread::FindProcessByName(const char* a_szName, bool a_blFlag, uint64_t* a_pu64ProcessId) {
  if (!a_szName) {
    OsLog(OS_LOG_ASSERT, "a_szName is null...");
    return OS_STS_FAIL;
  }
  if (a_pu64ProcessId) *a_pu64ProcessId = 0;
  char szPs[512];
  char szProgram[] = "ps";
  char szOptions[] = "-eo";
  char szColumns[] = "pid,args";
  char* apszArgv[] = {szProgram, szOptions, szColumns, nullptr};
  int iOutput = -1;
  pid_t pid = FindOnPath("ps", szPs, sizeof szPs) ? StartProgram(szPs, apszArgv, &iOutput) : -1;
  FILE* pfile = pid > 0 ? fdopen(iOutput, "r") : nullptr;
  if (!pfile) {
    OsLog(OS_LOG_ERROR, "popen failed...");
    if (pid > 0) {
      close(iOutput);
      WaitProgram(pid);
    }
    return OS_STS_FAIL;
  }
  uint64_t u64ProcessId = ScanProcessList(pfile, a_szName);
  std::fclose(pfile);
  WaitProgram(pid);
  if (u64ProcessId == 0) return OS_STS_FAIL;
  if (a_pu64ProcessId) *a_pu64ProcessId = u64ProcessId;
  return OS_STS_SUCCESS;
}

EOSSTS COsThread::SetPowerState(bool a_blHibernate, int a_iSeconds) {
  char szCommand[64];
  COsString::SStrPrintf(szCommand, sizeof szCommand, "rtcwake -m %s -s %d", a_blHibernate ? "disk" : "standby",
                        a_iSeconds);
  char szRtcwake[512];
  char szProgram[] = "rtcwake";
  char szModeOption[] = "-m";
  char szMode[16];
  COsString::SStrCpy(szMode, sizeof szMode, a_blHibernate ? "disk" : "standby");
  char szSecondsOption[] = "-s";
  char szSeconds[16];
  COsString::SStrPrintf(szSeconds, sizeof szSeconds, "%d", a_iSeconds);
  char* apszArgv[] = {szProgram, szModeOption, szMode, szSecondsOption, szSeconds, nullptr};
  pid_t pid = FindOnPath("rtcwake", szRtcwake, sizeof szRtcwake) ? StartProgram(szRtcwake, apszArgv, nullptr) : -1;
  int iStatus = pid > 0 ? WaitProgram(pid) : -1;
  if (iStatus == -1 || (WIFEXITED(iStatus) && WEXITSTATUS(iStatus) == kExecFailed)) {
    OsLog(OS_LOG_ASSERT, "system failed...%d <%s>", iStatus, szCommand);
  }
  COsTime::Sleep(COsThreadImpl::s_lPowerStateSettle.load(std::memory_order_relaxed));
  return OS_STS_SUCCESS;
}
