// The command handshake between a thread and its owner: a command word and
// the thread's own event.
#include <pthread.h>

#include <chrono>

#include "os_coslog.h"
#include "os_cossync.h"
#include "os_costhreadimpl.h"

namespace {
// A wait is cut into slices with cancellation deferred inside each: a thread
// cancelled while it waits never leaves its event's lock taken, and still
// ends within one slice.
constexpr uint32_t kSliceMs = 100;
constexpr int64_t kForeverMs = 365LL * 24 * 3600 * 1000;

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

EOSSTS COsThreadImpl::SetCommand(uint32_t a_eosthreadcmd, bool a_blSignal) {
  if (!a_blSignal) {
    m_u32Command.store(a_eosthreadcmd, std::memory_order_release);
    return OS_STS_SUCCESS;
  }
  if (GetState() == OS_THREADSTATE_NOTRUNNING) return OS_STS_FAIL;
  // Only a thread with no command pending takes a new one.
  uint32_t u32Expected = OS_THREADCMD_NONE;
  if (!m_u32Command.compare_exchange_strong(u32Expected, a_eosthreadcmd, std::memory_order_acq_rel)) {
    return OS_STS_BUSY;
  }
  SetEvent(1);
  return OS_STS_SUCCESS;
}

EOSSTS COsThreadImpl::SetEvent(int a_iSet) {
  COsSync::SpinLock(&m_pvEventWord);
  bool blOpen = m_possync && m_blEventOpen;
  if (blOpen) {
    if (a_iSet) {
      m_possync->EventSet();
    } else {
      m_possync->EventReset();
    }
  }
  COsSync::SpinUnlock(&m_pvEventWord);
  OsLogDebug(OS_LOG_INFO, "thr>>> setevent %d <%s>", a_iSet, m_szName);
  return blOpen ? OS_STS_SUCCESS : OS_STS_FAIL;
}

EOSSTS COsThreadImpl::WaitSlice(uint32_t a_u32Milliseconds) {
  int iCancelState = PTHREAD_CANCEL_ENABLE;
  pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &iCancelState);
  EOSSTS eossts = OS_STS_FAIL;
  if (m_possync && m_blEventOpen && m_possync->GetType() == OS_SYNCTYPE_EVENT) {
    eossts = m_possync->EventWait(a_u32Milliseconds);
  }
  pthread_setcancelstate(iCancelState, nullptr);
  return eossts;
}

EOSSTS COsThreadImpl::WaitForEvent(long a_lMilliseconds) {
  // Waits out a start, set or stop in progress.
  COsSync::SpinLock(&m_pvEventWord);
  COsSync::SpinUnlock(&m_pvEventWord);
  const uint32_t u32Milliseconds = static_cast<uint32_t>(a_lMilliseconds);
  const int64_t i64Deadline = NowMs() + (u32Milliseconds == OS_SYNC_INFINITE ? kForeverMs : u32Milliseconds);
  EOSSTS eossts = OS_STS_FAIL;
  for (;;) {
    // No local here has its address taken: a cancellation unwinds through
    // this frame, and sanitizer runtimes misreport stale stack poison.
    pthread_testcancel();
    int64_t i64Left = i64Deadline - NowMs();
    if (i64Left < 0) i64Left = 0;
    const uint32_t u32Slice = static_cast<uint32_t>(i64Left < kSliceMs ? i64Left : kSliceMs);
    eossts = WaitSlice(u32Slice);
    if (eossts != OS_STS_TIMEOUT || i64Left <= static_cast<int64_t>(u32Slice)) break;
  }
  if (eossts == OS_STS_SUCCESS || eossts == OS_STS_TIMEOUT) return eossts;
  OsLog(OS_LOG_ERROR, "thr>>> unexpected status, assuming the thread is dead...%d <%s>", static_cast<int>(eossts),
        m_szName);
  return OS_STS_FAIL;
}
