// The thread object's public face, the process-wide queries and the seams.
#include "os_costhread.h"

#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "os_coslog.h"
#include "os_costhreadimpl.h"

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

// ---------------------------------------------------------------------------
// The thread object: each operation checks its implementation first.

namespace {
constexpr long kOwnerStopMs = 70000;
constexpr size_t kSpawnArgsRead = 17;  // one more than allowed, to refuse a longer list

void NoImpl() { OsLog(OS_LOG_ASSERT, "m_posthreadimpl is null..."); }
}  // namespace

COsThread::COsThread() : m_posthreadimpl(new (std::nothrow) COsThreadImpl(this)) {
  if (m_posthreadimpl) {
    OsLogDebug(OS_LOG_INFO, "mem>>> addr:%p  size:%7d  new %s", static_cast<void*>(m_posthreadimpl),
               static_cast<int>(sizeof(COsThreadImpl)), "COsThreadImpl");
  }
}

COsThread::~COsThread() {
  if (!m_posthreadimpl) return;
  m_posthreadimpl->Stop(false, kOwnerStopMs, false);
  OsLogDebug(OS_LOG_INFO, "mem>>> addr:%p delete-object", static_cast<void*>(m_posthreadimpl));
  delete m_posthreadimpl;
  m_posthreadimpl = nullptr;
}

EOSSTS COsThread::Start(const char* a_szName, OsThreadProc a_osthreadproc, void* a_pvArg) {
  if (!m_posthreadimpl) {
    NoImpl();
    return OS_STS_FAIL;
  }
  return m_posthreadimpl->Start(a_szName, a_osthreadproc, a_pvArg);
}

EOSSTS COsThread::Stop(bool a_blIgnoreSelf, long a_lMilliseconds) {
  if (m_posthreadimpl) m_posthreadimpl->Stop(a_blIgnoreSelf, a_lMilliseconds, true);
  return OS_STS_SUCCESS;
}

EOSSTS COsThread::ThreadWait(long a_lMilliseconds) {
  return m_posthreadimpl ? m_posthreadimpl->ThreadWait(a_lMilliseconds) : OS_STS_SUCCESS;
}

void COsThread::Exit() {
  if (!m_posthreadimpl) {
    NoImpl();
    return;
  }
  m_posthreadimpl->Exit();
}

EOSSTS COsThread::SetCommand(uint32_t a_eosthreadcmd, bool a_blSignal) {
  return m_posthreadimpl ? m_posthreadimpl->SetCommand(a_eosthreadcmd, a_blSignal) : OS_STS_SUCCESS;
}

uint32_t COsThread::GetCommand() { return m_posthreadimpl ? m_posthreadimpl->GetCommand() : OS_THREADCMD_NONE; }

EOSSTS COsThread::SetEvent(int a_iSet) {
  if (!m_posthreadimpl) {
    NoImpl();
    return OS_STS_FAIL;
  }
  return m_posthreadimpl->SetEvent(a_iSet);
}

EOSSTS COsThread::WaitForEvent(long a_lMilliseconds) {
  if (!m_posthreadimpl) {
    NoImpl();
    return OS_STS_FAIL;
  }
  return m_posthreadimpl->WaitForEvent(a_lMilliseconds);
}

uint32_t COsThread::GetState() { return m_posthreadimpl ? m_posthreadimpl->GetState() : OS_THREADSTATE_NOTRUNNING; }

int COsThread::GetStatus() { return m_posthreadimpl ? m_posthreadimpl->GetStatus() : OS_THREADSTATUS_ENDED; }

void* COsThread::GetArg() {
  if (!m_posthreadimpl) {
    NoImpl();
    return nullptr;
  }
  return m_posthreadimpl->GetArg();
}

void COsThread::SetUserStatus(int64_t a_i64UserStatus) {
  if (!m_posthreadimpl) {
    NoImpl();
    return;
  }
  m_posthreadimpl->SetUserStatus(a_i64UserStatus);
}

int64_t COsThread::GetUserStatus() {
  if (!m_posthreadimpl) {
    NoImpl();
    return 0;
  }
  return m_posthreadimpl->GetUserStatus();
}

uint64_t COsThread::GetId() { return m_posthreadimpl ? m_posthreadimpl->GetId() : 0; }

const char* COsThread::GetName() { return m_posthreadimpl ? m_posthreadimpl->GetName() : "noname"; }

uint64_t COsThread::AffinityGetMask() {
  if (!m_posthreadimpl) {
    NoImpl();
    return 0;
  }
  return m_posthreadimpl->AffinityGetMask();
}

EOSSTS COsThread::AffinitySetMask(uint64_t a_u64Mask) {
  if (!m_posthreadimpl) {
    NoImpl();
    return OS_STS_FAIL;
  }
  return m_posthreadimpl->AffinitySetMask(a_u64Mask);
}

EOSSTS COsThread::Spawn(int64_t a_i64SpawnFlags, const char* a_szProgram, const char* a_szArg0, ...) {
  if (!m_posthreadimpl) {
    OsLog(OS_LOG_ASSERT, "Spawn: m_posthreadimpl is NULL...");
    return OS_STS_FAIL;
  }
  // The list ends at a null pointer or after an empty text, which is kept.
  const char* aszArgs[kSpawnArgsRead];
  size_t sizetArgs = 0;
  if (a_szArg0) {
    va_list valist;
    va_start(valist, a_szArg0);
    while (sizetArgs < kSpawnArgsRead) {
      const char* pszArg = va_arg(valist, const char*);
      if (!pszArg) break;
      aszArgs[sizetArgs++] = pszArg;
      if (!*pszArg) break;
    }
    va_end(valist);
  }
  return m_posthreadimpl->Spawn(a_i64SpawnFlags, a_szProgram, a_szArg0, aszArgs, sizetArgs);
}

EOSSTS COsThread::Spawn(int64_t a_i64SpawnFlags, const char* a_szProgram, const char* a_szArg0,
                        const char* const* a_aszArgs, const OsSpawnVariable* a_aosspawnvariable,
                        size_t a_sizetVariables) {
  if (!m_posthreadimpl) {
    OsLog(OS_LOG_ASSERT, "Spawn: m_posthreadimpl is NULL...");
    return OS_STS_FAIL;
  }
  size_t sizetArgs = 0;
  while (a_aszArgs && a_aszArgs[sizetArgs] && sizetArgs < kSpawnArgsRead) ++sizetArgs;
  return m_posthreadimpl->Spawn(a_i64SpawnFlags, a_szProgram, a_szArg0, a_aszArgs, sizetArgs, a_aosspawnvariable,
                                a_sizetVariables);
}

uint64_t COsThread::SpawnProcessId() { return m_posthreadimpl ? m_posthreadimpl->SpawnProcessId() : 0; }

bool COsThread::IsSpawnRunning() { return m_posthreadimpl && m_posthreadimpl->IsSpawnRunning(); }

bool COsThread::SpawnEnded() { return m_posthreadimpl && m_posthreadimpl->SpawnEnded(); }

EOSSTS COsThread::SpawnWait(long a_lMilliseconds) {
  return m_posthreadimpl ? m_posthreadimpl->SpawnWait(a_lMilliseconds) : OS_STS_FAIL;
}

int COsThread::SpawnPidFd() { return m_posthreadimpl ? m_posthreadimpl->SpawnPidFd() : -1; }

void COsThread::SpawnStop() {
  if (m_posthreadimpl) m_posthreadimpl->SpawnStop();
}

int COsThread::ReapEndedChildren() { return COsThreadImpl::ReapEndedChildren(); }

// ---------------------------------------------------------------------------
// Seams and the remaining statics.

void COsThread::SetServicesArgumentsSource(OsThreadArgumentsSource a_pfnSource) {
  COsThreadImpl::s_pfnArgumentsSource.store(a_pfnSource, std::memory_order_release);
}

OsThreadArgumentsSource COsThread::GetServicesArgumentsSource() {
  return COsThreadImpl::s_pfnArgumentsSource.load(std::memory_order_acquire);
}

void COsThread::SetStartLimit(long a_lMilliseconds) {
  COsThreadImpl::s_lStartLimit.store(a_lMilliseconds < 0 ? 5000 : a_lMilliseconds, std::memory_order_relaxed);
}

void COsThread::SetSpawnStopWait(long a_lMilliseconds) {
  COsThreadImpl::s_lSpawnStopWait.store(a_lMilliseconds < 0 ? 1000 : a_lMilliseconds, std::memory_order_relaxed);
}

void COsThread::SetPowerStateSettle(long a_lMilliseconds) {
  COsThreadImpl::s_lPowerStateSettle.store(a_lMilliseconds < 0 ? 2000 : a_lMilliseconds, std::memory_order_relaxed);
}

void COsThread::SetTerminalProgram(const char* a_szPath) { COsThreadImpl::SetTerminalProgram(a_szPath); }

void COsThread::DebugBreak() {
#if defined(__x86_64__) || defined(__i386__)
  __asm__ volatile("int3");
#else
  raise(SIGTRAP);
#endif
}

// ---------------------------------------------------------------------------
// Hardware breakpoints and mini dumps do not exist on this platform.

OsHwBp::OsHwBp() : m_u64Address(0), m_u64Type(0), m_u64Size(0), m_u64Thread(0) {}

OsHwBp* OsHwBp::SetHardwareBreakpoint(void*, EOSTHREADHWBPTYPE, EOSTHREADHWBPSIZE, void*) { return nullptr; }

void OsHwBp::RemoveHardwareBreakpoint(OsHwBp*) {}

void OsHwBp::CreateMiniDump(void*) {}

void* OsHwBp::Thread(void*) { return nullptr; }

uint64_t OsHwBp::SetBits(uint64_t a_u64Word, int a_iPosition, int a_iWidth, uint64_t a_u64Value) {
  if (a_iPosition < 0 || a_iPosition >= 64 || a_iWidth <= 0) return a_u64Word;
  const int iWidth = a_iWidth > 64 - a_iPosition ? 64 - a_iPosition : a_iWidth;
  const uint64_t u64Field = iWidth == 64 ? ~0ULL : ((1ULL << iWidth) - 1);
  const uint64_t u64Mask = u64Field << a_iPosition;
  return (a_u64Word & ~u64Mask) | ((a_u64Value << a_iPosition) & u64Mask);
}
