// Starting one child process and following it: the argument vector, the
// child's own environment, the start through posix_spawn, and the checks
// that the recorded id is still the child we started. The child shares our
// memory until its exec (vfork): a fork would mark every page of this
// process copy-on-write, and each page the caller writes afterwards would
// cost a fault. A process descriptor of the child (pidfd) lets waiters
// wake when it ends instead of polling it.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_cossync.h"
#include "os_costhreadimpl.h"
#include "os_costime.h"

extern char** environ;

namespace {
constexpr size_t kMaxArgs = 16;
constexpr long kSpawnPollMs = 100;
constexpr long kSpawnSeenMs = 1000;
constexpr const char* kArgumentsVariable = "PMX_OSSERVICESARGUMENTS";
constexpr const char* kArgumentsVariableUnicode = "PMX_OSSERVICESARGUMENTSUNICODE";

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Start time of the process in clock ticks since boot (field 22 of
// /proc/<pid>/stat), 0 when it cannot be read. A pid that was reused names a
// process with another start time.
uint64_t ProcessStartTime(uint64_t a_u64ProcessId) {
  char szPath[64];
  COsString::SStrPrintf(szPath, sizeof szPath, "/proc/%llu/stat", static_cast<unsigned long long>(a_u64ProcessId));
  int iFile = open(szPath, O_RDONLY | O_CLOEXEC);
  if (iFile < 0) return 0;
  char szStat[1024];
  ssize_t sRead = read(iFile, szStat, sizeof szStat - 1);
  close(iFile);
  if (sRead <= 0) return 0;
  szStat[sRead] = '\0';
  // "pid (command) S ...": the command may itself hold ")".
  const char* psz = std::strrchr(szStat, ')');
  if (!psz) return 0;
  // Field 3 (the state) follows; the start time is 19 fields later.
  for (int iField = 2; iField < 22 && psz; iField++) psz = std::strchr(psz + 1, ' ');
  return psz ? std::strtoull(psz + 1, nullptr, 10) : 0;
}

bool DirectoryExists(const char* a_szPath) {
  struct stat statbuf;
  return stat(a_szPath, &statbuf) == 0 && S_ISDIR(statbuf.st_mode);
}

bool NameIs(const char* a_szEntry, const std::string& a_strName) {
  return std::strncmp(a_szEntry, a_strName.c_str(), a_strName.size()) == 0 && a_szEntry[a_strName.size()] == '=';
}

// The child's environment: ours, with the given variables replaced and the
// unset ones left out. A name given twice keeps its last value.
std::vector<std::string> ChildEnvironment(const std::vector<std::pair<std::string, std::string>>& a_vecSet,
                                          const std::vector<std::string>& a_vecUnset) {
  std::vector<std::string> vecEnv;
  for (char** ppsz = environ; ppsz && *ppsz; ppsz++) {
    bool blReplaced = false;
    for (const auto& pair : a_vecSet) blReplaced = blReplaced || NameIs(*ppsz, pair.first);
    for (const std::string& str : a_vecUnset) blReplaced = blReplaced || NameIs(*ppsz, str);
    if (!blReplaced) vecEnv.emplace_back(*ppsz);
  }
  for (size_t sizet = 0; sizet < a_vecSet.size(); sizet++) {
    bool blLater = false;
    for (size_t sizetLater = sizet + 1; sizetLater < a_vecSet.size(); sizetLater++) {
      blLater = blLater || a_vecSet[sizetLater].first == a_vecSet[sizet].first;
    }
    if (!blLater) vecEnv.push_back(a_vecSet[sizet].first + "=" + a_vecSet[sizet].second);
  }
  return vecEnv;
}

// Every child this service started and has not reaped, whatever became of
// its COsThread, so that the service stop reaps the ended ones (and never a
// child that the host started). Guarded by its spin word.
struct OsSpawnedChild {
  uint64_t u64ProcessId;
  uint64_t u64Start;  // start time, which tells a reused id apart
};
constexpr size_t kSpawnedChildren = 64;
OsSpawnedChild s_aosspawnedchild[kSpawnedChildren];
void volatile* s_pvSpawnedWord = nullptr;

class CSpawnedLock {
 public:
  CSpawnedLock() { COsSync::SpinLock(&s_pvSpawnedWord); }
  ~CSpawnedLock() { COsSync::SpinUnlock(&s_pvSpawnedWord); }
  CSpawnedLock(const CSpawnedLock&) = delete;
  CSpawnedLock& operator=(const CSpawnedLock&) = delete;
};

// Whether the id still names the process that was started at that time (an
// ended child keeps its /proc entry until it is reaped).
bool IsSameProcess(const OsSpawnedChild& a_osspawnedchild) {
  return ProcessStartTime(a_osspawnedchild.u64ProcessId) == a_osspawnedchild.u64Start;
}

void RecordChild(uint64_t a_u64ProcessId, uint64_t a_u64Start) {
  CSpawnedLock lock;
  OsSpawnedChild* posspawnedchildFree = nullptr;
  for (OsSpawnedChild& osspawnedchild : s_aosspawnedchild) {
    // An entry whose process is gone was reaped elsewhere: its place is free.
    if (osspawnedchild.u64ProcessId && !IsSameProcess(osspawnedchild)) osspawnedchild = {};
    if (!osspawnedchild.u64ProcessId && !posspawnedchildFree) posspawnedchildFree = &osspawnedchild;
  }
  if (!posspawnedchildFree) {
    OsLog(OS_LOG_ERROR, "Spawn: too many children to follow, this one is not reaped at stop...%llu",
          static_cast<unsigned long long>(a_u64ProcessId));
    return;
  }
  *posspawnedchildFree = {a_u64ProcessId, a_u64Start};
}

void ForgetRecordedChild(uint64_t a_u64ProcessId) {
  CSpawnedLock lock;
  for (OsSpawnedChild& osspawnedchild : s_aosspawnedchild) {
    if (osspawnedchild.u64ProcessId == a_u64ProcessId) osspawnedchild = {};
  }
}

// posix_spawn: a child of its own session when asked, every signal
// unblocked. 0, or the errno of the failed start (a failed exec included:
// that child is reaped by posix_spawn).
int StartChild(bool a_blNewSession, const char* a_szExecutable, char* const* a_apszArgv, char* const* a_apszEnv,
               pid_t* a_ppid) {
  posix_spawnattr_t posixspawnattr;
  int iResult = posix_spawnattr_init(&posixspawnattr);
  if (iResult != 0) return iResult;
  sigset_t sigset;
  sigemptyset(&sigset);
  short sFlags = POSIX_SPAWN_SETSIGMASK;
  if (a_blNewSession) sFlags |= POSIX_SPAWN_SETSID;
  iResult = posix_spawnattr_setflags(&posixspawnattr, sFlags);
  if (iResult == 0) iResult = posix_spawnattr_setsigmask(&posixspawnattr, &sigset);
  if (iResult == 0) iResult = posix_spawn(a_ppid, a_szExecutable, nullptr, &posixspawnattr, a_apszArgv, a_apszEnv);
  posix_spawnattr_destroy(&posixspawnattr);
  return iResult;
}
}  // namespace

std::atomic<long> COsThreadImpl::s_lSpawnStopWait{1000};
std::atomic<OsThreadArgumentsSource> COsThreadImpl::s_pfnArgumentsSource{nullptr};

EOSSTS COsThreadImpl::Spawn(int64_t a_i64SpawnFlags, const char* a_szProgram, const char* a_szArg0,
                            const char* const* a_aszArgs, size_t a_sizetArgs,
                            const OsSpawnVariable* a_aosspawnvariable, size_t a_sizetVariables) {
  if (!a_szProgram) {
    OsLog(OS_LOG_ERROR, "Spawn: a_szProgram is NULL...");
    return OS_STS_FAIL;
  }
  if (!a_szArg0) {
    OsLog(OS_LOG_ERROR, "Spawn: a_szArg0 is NULL...");
    return OS_STS_FAIL;
  }
  if (SpawnProcessId() != 0) {
    OsLog(OS_LOG_ERROR, "Spawn: This object already has something spawned...");
    return OS_STS_FAIL;
  }
  const bool blTerminal = (a_i64SpawnFlags & OS_SPAWNFLAGS_TERMINAL) != 0;
  char szExecutable[512] = "";
  if (blTerminal) {
    GetTerminalProgram(szExecutable, sizeof szExecutable);
  } else {
    COsString::SStrCpy(szExecutable, sizeof szExecutable, a_szProgram);
  }
  struct stat statbuf;
  if (!*szExecutable || stat(szExecutable, &statbuf) != 0) {
    OsLog(OS_LOG_ERROR, "Spawn: file not found...<%s> <%s>", szExecutable, a_szProgram);
    return OS_STS_FAIL;
  }
  if (!S_ISREG(statbuf.st_mode) || access(szExecutable, X_OK) != 0) {
    OsLog(OS_LOG_ERROR, "Spawn: can't execute...<%s> <%s> 0x%x", szExecutable, a_szProgram,
          static_cast<unsigned>(statbuf.st_mode));
    return OS_STS_FAIL;
  }

  // The argument vector: the executable, then (in a terminal) "-x" and the
  // program, then the caller's arguments.
  char szProgram[516] = "";
  if (blTerminal && a_szProgram[0] != '.' && a_szProgram[0] != '/') {
    COsString::SStrPrintf(szProgram, sizeof szProgram, "./%s", a_szProgram);
  } else {
    COsString::SStrCpy(szProgram, sizeof szProgram, a_szProgram);
  }
  std::vector<const char*> vecArgs;
  if (blTerminal) {
    vecArgs.push_back("-x");
    vecArgs.push_back(szProgram);
  }
  for (size_t sizet = 0; sizet < a_sizetArgs; sizet++) vecArgs.push_back(a_aszArgs[sizet]);
  if (vecArgs.size() > kMaxArgs) {
    OsLog(OS_LOG_ERROR, "Spawn: too many arguments...%u <%s>", static_cast<unsigned>(vecArgs.size()), a_szProgram);
    return OS_STS_FAIL;
  }

  // The child's own environment: the caller's variables, the published
  // arguments and, with the alternative search, the library path; ours
  // stays as it is.
  std::vector<std::pair<std::string, std::string>> vecSet;
  std::vector<std::string> vecUnset;
  for (size_t sizet = 0; sizet < a_sizetVariables; sizet++) {
    const OsSpawnVariable& osspawnvariable = a_aosspawnvariable[sizet];
    if (!osspawnvariable.szName || !*osspawnvariable.szName || std::strchr(osspawnvariable.szName, '=')) {
      OsLog(OS_LOG_ERROR, "Spawn: bad variable name...<%s> <%s>",
            osspawnvariable.szName ? osspawnvariable.szName : "(null)", a_szProgram);
      return OS_STS_FAIL;
    }
    if (osspawnvariable.szValue) {
      vecSet.emplace_back(osspawnvariable.szName, osspawnvariable.szValue);
    } else {
      vecUnset.emplace_back(osspawnvariable.szName);
    }
  }
  char szAltSearch[512] = "";
  char szAltPrev[1024] = "";
  const char* pszSlash = std::strrchr(szExecutable, '/');
  if ((a_i64SpawnFlags & OS_SPAWNFLAGS_ALTSEARCH) && pszSlash && pszSlash != szExecutable) {
    COsString::SStrNcpy(szAltSearch, sizeof szAltSearch, szExecutable, static_cast<size_t>(pszSlash - szExecutable));
    const char* pszPrev = getenv("LD_LIBRARY_PATH");
    if (pszPrev) COsString::SStrNcpy(szAltPrev, sizeof szAltPrev, pszPrev, sizeof szAltPrev - 1);
    vecSet.emplace_back("LD_LIBRARY_PATH", szAltSearch);
  }
  OsThreadArgumentsSource pfnSource = s_pfnArgumentsSource.load(std::memory_order_acquire);
  const char* pszArguments = pfnSource ? pfnSource() : nullptr;
  if (pszArguments && *pszArguments) {
    char szThreadVariable[128];
    COsString::SStrPrintf(szThreadVariable, sizeof szThreadVariable, "%s_%llx_%llx", kArgumentsVariable,
                          static_cast<unsigned long long>(COsThread::GetProcessId()),
                          static_cast<unsigned long long>(COsThread::GetThreadId()));
    OsLogDebug(OS_LOG_INFO, "PMX_OSSERVICESARGUMENTS set...<%s>", pszArguments);
    vecSet.emplace_back(szThreadVariable, pszArguments);
    vecSet.emplace_back(kArgumentsVariable, pszArguments);
    vecSet.emplace_back(kArgumentsVariableUnicode, pszArguments);
  }
  std::vector<std::string> vecEnv = ChildEnvironment(vecSet, vecUnset);
  std::vector<char*> vecEnvp;
  for (std::string& str : vecEnv) vecEnvp.push_back(str.data());
  vecEnvp.push_back(nullptr);
  std::vector<char*> vecArgv;
  vecArgv.push_back(szExecutable);
  for (const char* psz : vecArgs) vecArgv.push_back(const_cast<char*>(psz));
  vecArgv.push_back(nullptr);

  OsLogDebug(OS_LOG_INFO, "Spawn: a_lSpawnFlags...0x%08x", static_cast<unsigned>(a_i64SpawnFlags));
  OsLogDebug(OS_LOG_INFO, "Spawn: alt search......%s", szAltSearch);
  OsLogDebug(OS_LOG_INFO, "Spawn: alt prev........%s", szAltPrev);
  OsLogDebug(OS_LOG_INFO, "Spawn: a_szProgram.....%s", a_szProgram);
  OsLogDebug(OS_LOG_INFO, "Spawn: a_szArg[0]......%s", a_szArg0);
  for (size_t sizet = 1; sizet < vecArgv.size(); sizet++) {
    OsLogDebug(OS_LOG_INFO, "Spawn: aszArgs[%u]......%s", static_cast<unsigned>(sizet),
               vecArgv[sizet] ? vecArgv[sizet] : "--");
  }

  pid_t pid = 0;
  const int iSpawn = StartChild((a_i64SpawnFlags & OS_SPAWNFLAGS_NEWSESSION) != 0, szExecutable, vecArgv.data(),
                                vecEnvp.data(), &pid);
  if (iSpawn != 0) {
    OsLog(OS_LOG_ERROR, "Spawn: exec failed...%d <%s> <%s>", iSpawn, szExecutable, a_szProgram);
    return OS_STS_FAIL;
  }
  m_u64ProcessId = static_cast<uint64_t>(pid);
  m_blSpawnEnded = false;
  // Our unreaped child keeps its id: the descriptor names no other process.
  m_iPidFd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));

  bool blSeen = false;
  const int64_t i64Begin = NowMs();
  for (;;) {
    blSeen = COsThread::IsProcessRunning(m_u64ProcessId, true);
    if (blSeen || NowMs() - i64Begin >= kSpawnSeenMs) break;
    COsTime::Sleep(kSpawnPollMs);
  }
  COsString::SStrPrintf(m_szProcPid, sizeof m_szProcPid, "/proc/%llu", static_cast<unsigned long long>(pid));
  m_u64ProcStart = ProcessStartTime(m_u64ProcessId);
  RecordChild(m_u64ProcessId, m_u64ProcStart);
  OsLogDebug(OS_LOG_INFO, "Spawn: m_szProcPid...%s", m_szProcPid);
  if (!blSeen) {
    OsLog(OS_LOG_ERROR, "Spawn: Timeout waiting for process to be created...<%s> <%s>", szExecutable, a_szProgram);
    return OS_STS_FAIL;
  }
  OsLogDebug(OS_LOG_INFO, "Spawn: <%s> <%s>, pid=%llu", szExecutable, a_szProgram,
             static_cast<unsigned long long>(pid));
  return OS_STS_SUCCESS;
}

void COsThreadImpl::ForgetChild() {
  if (m_u64ProcessId != 0) m_blSpawnEnded = true;
  if (m_iPidFd >= 0) close(m_iPidFd);
  m_iPidFd = -1;
  m_u64ProcessId = 0;
  m_u64ProcStart = 0;
  m_szProcPid[0] = '\0';
}

bool COsThreadImpl::ReapChild(const char* a_szErrorFormat) {
  int iStatus = 0;
  pid_t pid = waitpid(static_cast<pid_t>(m_u64ProcessId), &iStatus, WNOHANG);
  if (pid == 0) return false;
  if (pid < 0) {
    OsLog(OS_LOG_ERROR, a_szErrorFormat, static_cast<unsigned long long>(m_u64ProcessId));
  } else {
    OsLogDebug(OS_LOG_INFO, "process has exited...%llu", static_cast<unsigned long long>(m_u64ProcessId));
    ForgetRecordedChild(m_u64ProcessId);
  }
  ForgetChild();
  return true;
}

bool COsThreadImpl::IsOurChild() {
  if (!DirectoryExists(m_szProcPid)) {
    OsLogDebug(OS_LOG_INFO, "process not found...%llu", static_cast<unsigned long long>(m_u64ProcessId));
    ForgetChild();
    return false;
  }
  if (ProcessStartTime(m_u64ProcessId) != m_u64ProcStart) {
    OsLogDebug(OS_LOG_INFO, "not our process...%llu", static_cast<unsigned long long>(m_u64ProcessId));
    ForgetChild();
    return false;
  }
  return true;
}

uint64_t COsThreadImpl::SpawnProcessId() {
  if (m_u64ProcessId == 0) return 0;
  if (ReapChild("waitpid failed...%llu")) return 0;
  return IsOurChild() ? m_u64ProcessId : 0;
}

bool COsThreadImpl::SpawnEnded() {
  if (m_u64ProcessId != 0 && IsSpawnRunning()) return false;
  return m_blSpawnEnded;
}

// The child is ours: waitpid alone tells one that runs (0) from one that
// has ended (reaped now) or that someone else reaped. Callers ask before
// every task they hand a child, so /proc is not read.
bool COsThreadImpl::IsSpawnRunning() {
  if (m_u64ProcessId == 0) return false;
  return !ReapChild("waitpid failed...%llu");
}

EOSSTS COsThreadImpl::SpawnWait(long a_lMilliseconds) {
  if (m_u64ProcessId == 0) return OS_STS_FAIL;
  if (!IsOurChild()) return OS_STS_SUCCESS;
  OsLogDebug(OS_LOG_INFO, "waiting for process to exit...%llu", static_cast<unsigned long long>(m_u64ProcessId));
  if (a_lMilliseconds < 1) return OS_STS_TIMEOUT;
  const int64_t i64Begin = NowMs();
  for (;;) {
    if (ReapChild("waitpid failed...%llu")) return OS_STS_SUCCESS;
    const int64_t i64Left = a_lMilliseconds - (NowMs() - i64Begin);
    if (i64Left <= 0) return OS_STS_TIMEOUT;
    WaitForEnd(i64Left);
  }
}

// Until the child ends or the time is up: on its descriptor, or one poll
// step without one.
void COsThreadImpl::WaitForEnd(int64_t a_i64Milliseconds) {
  if (m_iPidFd < 0) {
    COsTime::Sleep(a_i64Milliseconds < kSpawnPollMs ? static_cast<long>(a_i64Milliseconds) : kSpawnPollMs);
    return;
  }
  struct pollfd pollfd = {m_iPidFd, POLLIN, 0};
  const int iMilliseconds = a_i64Milliseconds > INT_MAX ? INT_MAX : static_cast<int>(a_i64Milliseconds);
  if (poll(&pollfd, 1, iMilliseconds) < 0 && errno != EINTR) {
    COsTime::Sleep(a_i64Milliseconds < kSpawnPollMs ? static_cast<long>(a_i64Milliseconds) : kSpawnPollMs);
  }
}

void COsThreadImpl::SpawnStop() {
  // Only a child that is still the one we started gets a signal.
  if (SpawnProcessId() == 0 || !IsSpawnRunning()) return;
  const pid_t pid = static_cast<pid_t>(m_u64ProcessId);
  const long lWait = s_lSpawnStopWait.load(std::memory_order_relaxed);
  if (kill(pid, SIGTERM) == 0 && SpawnWait(lWait) != OS_STS_TIMEOUT) return;
  if (m_u64ProcessId == 0) return;
  OsLog(OS_LOG_INFO, "SpawnStop: the child did not end, killing it...%llu", static_cast<unsigned long long>(pid));
  if (kill(pid, SIGKILL) == 0) SpawnWait(lWait);
}

int COsThreadImpl::ReapEndedChildren() {
  CSpawnedLock lock;
  int iReaped = 0;
  for (OsSpawnedChild& osspawnedchild : s_aosspawnedchild) {
    if (!osspawnedchild.u64ProcessId) continue;
    if (!IsSameProcess(osspawnedchild)) {  // reaped elsewhere; the id may be another's now
      osspawnedchild = {};
      continue;
    }
    int iStatus = 0;
    pid_t pid = waitpid(static_cast<pid_t>(osspawnedchild.u64ProcessId), &iStatus, WNOHANG);
    if (pid == 0) continue;  // still running: it stays ours to follow
    if (pid > 0) {
      OsLogDebug(OS_LOG_INFO, "process has exited...%llu", static_cast<unsigned long long>(pid));
      ++iReaped;
    }
    osspawnedchild = {};
  }
  return iReaped;
}
