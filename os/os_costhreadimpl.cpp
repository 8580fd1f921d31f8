// Life of one thread: start with its started handshake, the entry that runs
// the procedure, Exit, Stop and ThreadWait.
#include "os_costhreadimpl.h"

#include <cxxabi.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <new>

#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_cossync.h"
#include "os_costime.h"

namespace {
constexpr long kStartPollMs = 10;
constexpr long kStopPollMs = 20;
constexpr long kThreadWaitPollMs = 10;
constexpr long kThreadWaitForever = 999999999;
constexpr long kOwnerStopMs = 70000;

// The object whose thread this is, while its entry runs; cleared when a
// thread stops itself, so that its last steps no longer touch the object
// (the owner may delete it as soon as the stop is done).
thread_local COsThreadImpl* t_posthreadimplSelf = nullptr;

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// One poll interval: a thread usually answers within a millisecond, so the
// first interval's worth of polls come every millisecond.
void PollSleep(int64_t a_i64Waited, long a_lInterval) { COsTime::Sleep(a_i64Waited < a_lInterval ? 1 : a_lInterval); }
}  // namespace

std::atomic<long> COsThreadImpl::s_lStartLimit{5000};

// Marks the end of the thread's own code however it leaves: return,
// exception, Exit or cancellation.
class COsThreadLife {
 public:
  COsThreadLife() = default;
  ~COsThreadLife() {
    if (t_posthreadimplSelf) t_posthreadimplSelf->m_blAlive.store(false, std::memory_order_release);
    t_posthreadimplSelf = nullptr;
  }
};

COsThreadImpl::COsThreadImpl(COsThread* a_posthread) : m_posthread(a_posthread) {
  m_possync = new (std::nothrow) COsSync();
  if (m_possync) OsLogDebug(OS_LOG_INFO, "mem>>> addr:%p  size:%7d  new %s", static_cast<void*>(m_possync),
                            static_cast<int>(sizeof(COsSync)), "COsSync");
}

COsThreadImpl::~COsThreadImpl() {
  // A child still followed keeps running; only our descriptor of it goes.
  if (m_iPidFd >= 0) close(m_iPidFd);
  if (!m_possync) return;
  OsLogDebug(OS_LOG_INFO, "mem>>> addr:%p delete-object", static_cast<void*>(m_possync));
  COsSync::SpinLock(&m_pvEventWord);
  delete m_possync;
  m_possync = nullptr;
  COsSync::SpinUnlock(&m_pvEventWord);
}

uint32_t COsThreadImpl::GetState() const {
  uint32_t u32State = m_u32State.load(std::memory_order_acquire);
  return u32State == 0 ? OS_THREADSTATE_NOTRUNNING : u32State;
}

int COsThreadImpl::GetStatus() const {
  return m_blAlive.load(std::memory_order_acquire) ? OS_THREADSTATUS_ALIVE : OS_THREADSTATUS_ENDED;
}

EOSSTS COsThreadImpl::OpenEvent() {
  COsSync::SpinLock(&m_pvEventWord);
  // An event still open belongs to a thread that ended by itself and was
  // not stopped yet: that thread must be joined first.
  bool blMade = m_possync && !m_blEventOpen && m_possync->EventCreate(nullptr, nullptr, false) == OS_STS_SUCCESS;
  if (blMade) m_blEventOpen.store(true, std::memory_order_release);
  COsSync::SpinUnlock(&m_pvEventWord);
  if (blMade) return OS_STS_SUCCESS;
  OsLog(OS_LOG_ERROR, "thr>>> EventCreate failed...");
  return OS_STS_FAIL;
}

void COsThreadImpl::CloseEvent() {
  COsSync::SpinLock(&m_pvEventWord);
  if (m_possync && m_blEventOpen && m_possync->GetType() == OS_SYNCTYPE_EVENT) m_possync->EventClose();
  m_blEventOpen.store(false, std::memory_order_release);
  COsSync::SpinUnlock(&m_pvEventWord);
}

EOSSTS COsThreadImpl::Start(const char* a_szName, OsThreadProc a_osthreadproc, void* a_pvArg) {
  if (!a_osthreadproc) {
    OsLog(OS_LOG_ASSERT, "thr>>> a_osthreadproc is NULL...<%s>", a_szName ? a_szName : "noname");
    return OS_STS_BAD_ARGUMENT;
  }
  if (GetState() != OS_THREADSTATE_NOTRUNNING) {
    OsLog(OS_LOG_ASSERT, "thr>>> you're already running this thread...<%s>", a_szName ? a_szName : m_szName);
    return OS_STS_FAIL;
  }
  COsSync::SpinLock(&m_pvStopWord);
  if (m_blHandle) {
    // The last thread ended by itself and still waits for Stop or ThreadWait.
    OsLog(OS_LOG_ERROR, "thr>>> EventCreate failed...");
    COsSync::SpinUnlock(&m_pvStopWord);
    return OS_STS_FAIL;
  }
  COsString::SStrCpy(m_szName, sizeof m_szName, "noname");
  if (a_szName) COsString::SStrCpy(m_szName, sizeof m_szName, a_szName);
  OsLogDebug(OS_LOG_PROTOCOL, "thr>>> starting <%s>", m_szName);
  if (OpenEvent() != OS_STS_SUCCESS) {
    COsSync::SpinUnlock(&m_pvStopWord);
    return OS_STS_FAIL;
  }
  m_u32State.store(OS_THREADSTATE_STARTED, std::memory_order_release);
  m_pvArg.store(a_pvArg, std::memory_order_release);
  m_u32Command.store(OS_THREADCMD_NONE, std::memory_order_release);
  m_osthreadproc = a_osthreadproc;
  m_blStarted.store(false, std::memory_order_release);
  pthread_attr_t pthreadattr;
  int iResult = pthread_attr_init(&pthreadattr);
  if (iResult != 0) {
    OsLog(OS_LOG_ERROR, "thr>>> pthread_attr_init failed: %d", iResult);
  } else {
    m_u64ThreadId.store(0, std::memory_order_release);
    m_blAlive.store(true, std::memory_order_release);
    iResult = pthread_create(&m_pthread, &pthreadattr, OsThreadStart, this);
    pthread_attr_destroy(&pthreadattr);
    if (iResult != 0) OsLog(OS_LOG_ERROR, "thr>>> pthread_create failed...%d", iResult);
  }
  if (iResult != 0) {
    m_blAlive.store(false, std::memory_order_release);
    m_u32State.store(OS_THREADSTATE_NOTRUNNING, std::memory_order_release);
    CloseEvent();
    COsSync::SpinUnlock(&m_pvStopWord);
    return OS_STS_FAIL;
  }
  m_blHandle = true;
  COsSync::SpinUnlock(&m_pvStopWord);
  return WaitForStarted();
}

// Polls for the started flag that the new thread sets just before it runs
// its procedure.
EOSSTS COsThreadImpl::WaitForStarted() {
  const long lLimit = s_lStartLimit.load(std::memory_order_relaxed);
  const int64_t i64Begin = NowMs();
  int64_t i64Waited = 0;
  while (!m_blStarted.load(std::memory_order_acquire)) {
    // A procedure that ran and already ended (Exit, an exception, a stop of
    // its own) leaves the state at not-running too: it did start.
    if (GetState() == OS_THREADSTATE_NOTRUNNING && !m_blStarted.load(std::memory_order_acquire)) {
      OsLog(OS_LOG_ERROR, "thr>>> pthread_create halted while starting...");
      Stop(false, kOwnerStopMs, true);
      return OS_STS_FAIL;
    }
    i64Waited = NowMs() - i64Begin;
    if (i64Waited >= lLimit) {
      OsLog(OS_LOG_ERROR, "thr>>> pthread_create failed...%d %d", 0, static_cast<int>(i64Waited));
      Stop(false, kOwnerStopMs, true);
      return OS_STS_FAIL;
    }
    PollSleep(i64Waited, kStartPollMs);
  }
  OsLogDebug(OS_LOG_PROTOCOL, "thr>>> id:%llu name:<%s>", static_cast<unsigned long long>(GetId()), m_szName);
  return OS_STS_SUCCESS;
}

// The forced unwind of Exit and of a cancellation has no C++ object behind
// the reference that catches it: the null check would take it for a fault.
__attribute__((no_sanitize("null"))) void* COsThreadImpl::OsThreadStart(void* a_pvArg) {
  OsLogDebug(OS_LOG_INFO, "thr>>> new thread starting...");
  if (!a_pvArg) {
    OsLog(OS_LOG_ASSERT, "a_pvArg is NULL...");
    return nullptr;
  }
  COsThreadImpl* posthreadimpl = static_cast<COsThreadImpl*>(a_pvArg);
  t_posthreadimplSelf = posthreadimpl;
  COsThreadLife osthreadlife;
  errno = 0;
  posthreadimpl->m_u64ThreadId.store(COsThread::GetThreadId(), std::memory_order_release);
  const uint64_t u64Global = s_u64GlobalAffinityMask.load(std::memory_order_relaxed);
  if (u64Global != 0 && ProcessorCount() >= 2) {
    uint64_t u64Mask = posthreadimpl->AffinityGetMask() & u64Global;
    if (u64Mask != 0) posthreadimpl->AffinitySetMask(u64Mask);
  }
  // The kernel keeps 15 bytes of a thread's name.
  char szKernelName[16];
  COsString::SStrPrintf(szKernelName, sizeof szKernelName, "%.15s", posthreadimpl->m_szName);
  pthread_setname_np(pthread_self(), szKernelName);
  posthreadimpl->m_blStarted.store(true, std::memory_order_release);
  try {
    return posthreadimpl->m_osthreadproc(posthreadimpl->m_posthread);
  } catch (abi::__forced_unwind&) {
    throw;  // Exit or a cancellation: the thread ends as it unwinds
  } catch (...) {
    if (t_posthreadimplSelf) {
      OsLog(OS_LOG_ASSERT, "thr>>> thread crash detected...");
      t_posthreadimplSelf->m_u32State.store(OS_THREADSTATE_NOTRUNNING, std::memory_order_release);
    }
    return nullptr;
  }
}

void COsThreadImpl::Exit() {
  const uint64_t u64Caller = COsThread::GetThreadId();
  const uint64_t u64Thread = GetId();
  if (u64Caller != u64Thread) {
    OsLog(OS_LOG_ASSERT, "thr>>> bad exit attempt...<%s> %llu %llu", m_szName,
          static_cast<unsigned long long>(u64Caller), static_cast<unsigned long long>(u64Thread));
    return;
  }
  m_u32State.store(OS_THREADSTATE_NOTRUNNING, std::memory_order_release);
  OsLogDebug(OS_LOG_PROTOCOL, "thr>>> Exiting...<%s>", m_szName);
  // Unwinds the procedure's frames: destructors run and locks are released.
  pthread_exit(nullptr);
}

void COsThreadImpl::RequestHalt(long a_lMilliseconds) {
  OsLogDebug(OS_LOG_INFO, "thr>>> request the halt...");
  m_u32Command.store(OS_THREADCMD_HALT, std::memory_order_release);
  SetEvent(1);
  OsLogDebug(OS_LOG_INFO, "thr>>> wait for it to exit...");
  const long lLimit = a_lMilliseconds < 0 ? kThreadWaitForever : a_lMilliseconds;
  const int64_t i64Begin = NowMs();
  if (lLimit != 0) {
    for (;;) {
      if (GetState() == OS_THREADSTATE_NOTRUNNING || !m_blAlive.load(std::memory_order_acquire)) return;
      if (NowMs() - i64Begin >= lLimit) break;
      PollSleep(NowMs() - i64Begin, kStopPollMs);
    }
  }
  OsLog(OS_LOG_ASSERT,
        "thr>>> something is wrong, a thread we asked to stop isn't terminating, so we're terminating it...<%s>",
        m_szName);
  pthread_cancel(m_pthread);
}

// The stop word for a stop called from the thread itself. The owner may hold
// it for two reasons: it is stopping this thread (and waits for it to end,
// so waiting here would never finish), or it is still inside Start (and lets
// go in a moment). True once the word is ours, false when the owner stops us.
bool COsThreadImpl::LockForSelfStop() {
  while (COsSync::SpinLockNoWait(&m_pvStopWord) != OS_STS_SUCCESS) {
    if (m_blStopping.load(std::memory_order_acquire)) return false;
    COsTime::Sleep(1);
  }
  return true;
}

EOSSTS COsThreadImpl::Stop(bool a_blIgnoreSelf, long a_lMilliseconds, bool a_blExitSelf) {
  const bool blSelf = COsThread::GetThreadId() == GetId();
  if (blSelf && a_blIgnoreSelf) {
    OsLogDebug(OS_LOG_INFO, "thr>>> ignoring request to stop ourselves (this is okay)...<%s>", m_szName);
    return OS_STS_SUCCESS;
  }
  if (!blSelf) {
    COsSync::SpinLock(&m_pvStopWord);
    m_blStopping.store(true, std::memory_order_release);
  } else if (!LockForSelfStop()) {
    // The owner is stopping this very thread and waits for it to end.
    if (!a_blExitSelf) return OS_STS_SUCCESS;
    m_u32State.store(OS_THREADSTATE_NOTRUNNING, std::memory_order_release);
    pthread_exit(nullptr);
  }
  if (!m_blHandle) {
    m_blStopping.store(false, std::memory_order_release);
    COsSync::SpinUnlock(&m_pvStopWord);
    return OS_STS_SUCCESS;
  }
  OsLogDebug(OS_LOG_INFO, "thr>>> stopping...<%s>", m_szName);
  // A thread that has not recorded its id yet is asked to halt as well: it
  // sees the halt as soon as its procedure starts.
  if (GetState() != OS_THREADSTATE_NOTRUNNING && GetCommand() != OS_THREADCMD_HALT) {
    if (blSelf) {
      OsLog(OS_LOG_ASSERT, "thr>>> stop called from thread it's stopping (bad programmer)...<%s>", m_szName);
    } else {
      RequestHalt(a_lMilliseconds);
    }
  } else {
    OsLogDebug(OS_LOG_INFO, "thr>>> jump to JOIN...");
  }
  if (blSelf) {
    // A thread cannot join itself: it is left to end on its own.
    pthread_detach(pthread_self());
  } else {
    OsLogDebug(OS_LOG_INFO, "thr>>> joining...");
    pthread_join(m_pthread, nullptr);
  }
  OsLogDebug(OS_LOG_INFO, "thr>>> free our event...");
  CloseEvent();
  m_blHandle = false;
  m_u32State.store(OS_THREADSTATE_NOTRUNNING, std::memory_order_release);
  m_u32Command.store(OS_THREADCMD_NONE, std::memory_order_release);
  if (blSelf) {
    // The rest of this thread's life no longer touches the object.
    m_blAlive.store(false, std::memory_order_release);
    t_posthreadimplSelf = nullptr;
  }
  m_blStopping.store(false, std::memory_order_release);
  COsSync::SpinUnlock(&m_pvStopWord);
  OsLogDebug(OS_LOG_INFO, "thr>>> done, ready to exit...");
  if (blSelf && a_blExitSelf) pthread_exit(nullptr);
  return OS_STS_SUCCESS;
}

EOSSTS COsThreadImpl::ThreadWait(long a_lMilliseconds) {
  if (a_lMilliseconds == 0) return OS_STS_TIMEOUT;
  const long lLimit = a_lMilliseconds < 0 ? kThreadWaitForever : a_lMilliseconds;
  const int64_t i64Begin = NowMs();
  // A procedure that simply returned leaves the state at 1: its thread has
  // ended all the same.
  while (GetState() != OS_THREADSTATE_NOTRUNNING && m_blAlive.load(std::memory_order_acquire)) {
    if (NowMs() - i64Begin >= lLimit) return OS_STS_TIMEOUT;
    PollSleep(NowMs() - i64Begin, kThreadWaitPollMs);
  }
  Stop(false, kOwnerStopMs, true);
  return OS_STS_SUCCESS;
}
