// The GUI bridge's interface lock, the wait for the GUI to be ready, and
// whether it runs.
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>

#include "db_cdblock.h"
#include "drv_cdrvguiimpl.h"
#include "os_coslog.h"
#include "os_costhread.h"
#include "os_costime.h"

namespace {

// Whether the kernel thread of this process still exists.
bool ThreadAlive(uint64_t a_u64Thread) {
  return syscall(SYS_tgkill, getpid(), static_cast<pid_t>(a_u64Thread), 0) == 0 || errno != ESRCH;
}

constexpr long s_lWaitSlice = 100;

}  // namespace

// The lock a thread already owns is taken again; a waiter looks at the
// owner every step: an owner that has ended leaves its lock to the waiter,
// and a ready GUI or a stop ends the wait without the lock.
bool CDrvGuiImpl::InterfaceLock(const char* a_szName) {
  if (m_blWiaHost || m_blReady) return false;
  const uint64_t u64Self = COsThread::GetThreadId();
  std::unique_lock<std::mutex> lock(m_mutexLock);
  OsLogDebug(OS_LOG_INFO, "InterfaceLock: %s (request,%llu,%llu)", a_szName,
             static_cast<unsigned long long>(m_u64LockOwner), static_cast<unsigned long long>(u64Self));
  if (m_u32LockCount > 0 && m_u64LockOwner == u64Self) {
    OsLogDebug(OS_LOG_INFO, "InterfaceLock: same thread detected...");
  } else {
    while (m_u32LockCount > 0) {
      if (m_blReady || m_blStopRequested) return false;
      if (!ThreadAlive(m_u64LockOwner)) {
        OsLog(OS_LOG_ERROR, "InterfaceLock: %s takes over the lock of a thread that ended...%llu", a_szName,
              static_cast<unsigned long long>(m_u64LockOwner));
        m_u32LockCount = 0;
        break;
      }
      const auto duration = std::chrono::milliseconds(DrvGuiWaitLimit(DRV_GUIWAIT_LOCKSTEP));
      if (CDbLock::Depth() == 0) {
        m_condLock.wait_for(lock, duration);
      } else {
        lock.unlock();
        {
          CDbLockRelease dblockrelease;
          lock.lock();
          m_condLock.wait_for(lock, duration);
          lock.unlock();
        }
        lock.lock();
      }
    }
    m_u64LockOwner = u64Self;
  }
  ++m_u32LockCount;
  OsLogDebug(OS_LOG_INFO, "InterfaceLock: %s %u", a_szName, m_u32LockCount);
  return true;
}

// Only the owner releases a level: another thread (an engine thread in
// WaitForGui) would free the front end's task to the GUI's commands.
void CDrvGuiImpl::InterfaceUnlock(const char* a_szName) {
  if (m_blWiaHost) return;
  std::lock_guard<std::mutex> lock(m_mutexLock);
  if (m_u32LockCount == 0) return;
  if (m_u64LockOwner != COsThread::GetThreadId()) {
    OsLog(OS_LOG_ERROR, "InterfaceUnlock: %s is not the owner's...%llu", a_szName,
          static_cast<unsigned long long>(m_u64LockOwner));
    return;
  }
  --m_u32LockCount;
  OsLogDebug(OS_LOG_INFO, "InterfaceUnlock: %s %u", a_szName, m_u32LockCount);
  if (m_u32LockCount == 0) {
    m_u64LockOwner = 0;
    m_condLock.notify_all();
  }
}

void CDrvGuiImpl::WakeLockWaiters() {
  std::lock_guard<std::mutex> lock(m_mutexLock);
  m_condLock.notify_all();
}

// The event is set by "uiready" and by the link's loss; the wait counts
// its slices and gives 21 once they reach the limit.
EOSSTS CDrvGuiImpl::WaitForGui(long a_lMilliseconds) {
  if (m_blNoGui) return OS_STS_SUCCESS;
  if (m_blReady) {
    if (!m_blReadyWaited.exchange(true)) m_drvuilink.EventReset();
    return OS_STS_SUCCESS;
  }
  OsLogDebug(OS_LOG_INFO, "UI not ready yet...");
  InterfaceUnlock("WaitForGui");
  CDbLockRelease dblockrelease;
  EOSSTS eossts = OS_STS_SUCCESS;
  long lWaited = 0;
  while (lWaited < a_lMilliseconds && !m_blReady) {
    if (GetGuiState() == DRV_UILINKSTATE_ENDED || m_blNoGui) {
      eossts = OS_STS_FAIL;
      break;
    }
    const long lSlice = std::min(s_lWaitSlice, a_lMilliseconds - lWaited);
    const EOSSTS eosstsWait = m_drvuilink.EventWait(static_cast<uint32_t>(lSlice));
    if (eosstsWait == OS_STS_FAIL) {
      eossts = OS_STS_FAIL;  // no event
      break;
    }
    if (eosstsWait == OS_STS_SUCCESS && !m_blReady) {
      if (GetGuiState() == DRV_UILINKSTATE_ENDED) {
        eossts = OS_STS_FAIL;
        break;
      }
      // A set event that is not "uiready" (a button) would spin: pace it.
      COsTime::Sleep(lSlice);
    }
    lWaited += lSlice;
  }
  if (m_blReady) eossts = OS_STS_SUCCESS;
  if (eossts == OS_STS_SUCCESS && !m_blReady) {
    OsLogDebug(OS_LOG_INFO, "UI timeout...");
    return static_cast<EOSSTS>(21);
  }
  OsLogDebug(OS_LOG_INFO, "UI is ready...");
  return eossts;
}

bool CDrvGuiImpl::IsGuiRunning() {
  if (m_blNoGui) return false;
  if (m_drvuilink.GetState() != DRV_UILINKSTATE_NONE) m_drvuilink.WaitStart(DrvGuiWaitLimit(DRV_GUIWAIT_RUNNING));
  return m_drvuilink.IsReading();
}
