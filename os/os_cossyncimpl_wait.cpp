// Waiting on, setting and releasing sync objects, and watching a process.
#include <time.h>

#include <cerrno>

#include "os_coslog.h"
#include "os_cossyncimpl.h"
#include "os_cosstring.h"
#include "os_costhread.h"

namespace {
constexpr time_t kYearSeconds = 31536000;  // a wait "for ever" lasts 365 days

struct timespec Deadline(uint32_t a_u32Milliseconds) {
  struct timespec timespec;
  clock_gettime(CLOCK_REALTIME, &timespec);
  if (a_u32Milliseconds == OS_SYNC_INFINITE) {
    timespec.tv_sec += kYearSeconds;
    return timespec;
  }
  timespec.tv_sec += static_cast<time_t>(a_u32Milliseconds / 1000);
  timespec.tv_nsec += static_cast<long>(a_u32Milliseconds % 1000) * 1000000L;
  if (timespec.tv_nsec >= 1000000000L) {
    timespec.tv_sec += 1;
    timespec.tv_nsec -= 1000000000L;
  }
  return timespec;
}

bool Before(const struct timespec& a_timespecA, const struct timespec& a_timespecB) {
  return a_timespecA.tv_sec < a_timespecB.tv_sec ||
         (a_timespecA.tv_sec == a_timespecB.tv_sec && a_timespecA.tv_nsec < a_timespecB.tv_nsec);
}

// The end of the next poll slice: the next whole second, or the deadline
// when that comes first.
struct timespec SliceEnd(const struct timespec& a_timespecDeadline) {
  struct timespec timespec;
  clock_gettime(CLOCK_REALTIME, &timespec);
  timespec.tv_sec += 1;
  timespec.tv_nsec = 0;
  return Before(a_timespecDeadline, timespec) ? a_timespecDeadline : timespec;
}
}  // namespace

int COsSyncImpl::OwnFlagIndex() const { return m_i32FlagIndex; }

OsSyncFlag& COsSyncImpl::OwnFlag() { return m_possyncgroup->ossyncpublic.aossyncflag[m_i32FlagIndex]; }

bool COsSyncImpl::InUse() const {
  return m_eossyncmode != OS_SYNCMODE_UNDEFINED && m_possyncgroup && m_i32FlagIndex >= 0;
}

void COsSyncImpl::CopyFlagName(int a_iFlagIndex, char* a_szName, size_t a_sizetName) {
  if (!a_szName) return;
  COsString::SStrCpy(a_szName, a_sizetName, m_possyncgroup->ossyncpublic.aossyncflag[a_iFlagIndex].szName);
}

// Waits that must notice dead peers or take over dead holders poll.
bool COsSyncImpl::WaitPolls() {
  if (m_u64WatchedProcessId != 0 || OwnFlag().u64OsSyncType == OS_SYNCTYPE_MUTEX) return true;
  if (m_eossyncmode != OS_SYNCMODE_CREATE) return false;
  for (const OsSyncFlag& ossyncflag : m_possyncgroup->ossyncpublic.aossyncflag) {
    if (ossyncflag.u64OsSyncType == OS_SYNCTYPE_MUTEX) return true;
  }
  return false;
}

EOSSTS COsSyncImpl::Wait(uint32_t a_u32Milliseconds, char* a_szName, size_t a_sizetName) {
  if (a_szName && a_sizetName == 0) {
    OsLog(OS_LOG_ASSERT, "sync>>> a_sizetName is 0 with a non-null a_szName...");
    return OS_STS_FAIL;
  }
  if (!InUse()) {
    OsLog(OS_LOG_ASSERT, "sync>>> must create/open first...");
    return OS_STS_FAIL;
  }
  struct timespec timespecDeadline = Deadline(a_u32Milliseconds);
  if (Lock() != OS_STS_SUCCESS) return OS_STS_FAIL;
  bool blDone = false;
  EOSSTS eossts = TakeOwnFlag(a_szName, a_sizetName, &blDone);
  if (!blDone) {
    eossts = WaitPolls() ? WaitPolling(timespecDeadline, a_szName, a_sizetName)
                         : WaitSingle(timespecDeadline, a_szName, a_sizetName);
  }
  Unlock();
  return eossts;
}

// The first look at our own flag, before any waiting.
EOSSTS COsSyncImpl::TakeOwnFlag(char* a_szName, size_t a_sizetName, bool* a_pblDone) {
  OsSyncFlag& ossyncflag = OwnFlag();
  *a_pblDone = true;
  switch (ossyncflag.u64OsSyncType) {
    case OS_SYNCTYPE_EVENT:
      if (!ossyncflag.vi64Condition) break;
      CopyFlagName(m_i32FlagIndex, a_szName, a_sizetName);
      ossyncflag.vi64Condition = 0;
      return OS_STS_SUCCESS;
    case OS_SYNCTYPE_MUTEX:
      if (LockManager(OS_SYNCLOCKMANAGER_CLAIM, m_i32Object, m_i32FlagIndex) == OS_STS_SUCCESS) {
        CopyFlagName(m_i32FlagIndex, a_szName, a_sizetName);
        ossyncflag.vi64Condition = 0;
        return OS_STS_SUCCESS;
      }
      ossyncflag.vi64Condition = 0;
      break;
    case OS_SYNCTYPE_UNDEFINED:
      OsLogDebug(OS_LOG_INFO, "sync>>> undefined aeosynctype (can happen on shutdown)...");
      return OS_STS_FAIL;
    default:
      OsLog(OS_LOG_ASSERT, "sync>>> unrecognized aeosynctype...%d", static_cast<int>(ossyncflag.u64OsSyncType));
      return OS_STS_FAIL;
  }
  // A creator answers for every event of its block: one signalled before
  // the wait began is taken now rather than at the next set of the block.
  if (m_eossyncmode == OS_SYNCMODE_CREATE) {
    int iFlag = SignalledFlag(!WaitPolls());
    if (iFlag >= 0 && m_possyncgroup->ossyncpublic.aossyncflag[iFlag].u64OsSyncType == OS_SYNCTYPE_EVENT) {
      CopyFlagName(iFlag, a_szName, a_sizetName);
      m_possyncgroup->ossyncpublic.aossyncflag[iFlag].vi64Condition = 0;
      return OS_STS_SUCCESS;
    }
  }
  *a_pblDone = false;
  return OS_STS_SUCCESS;
}

// The signalled flag with the highest or the lowest index, -1 when none.
int COsSyncImpl::SignalledFlag(bool a_blHighest) {
  const OsSyncFlag* aossyncflag = m_possyncgroup->ossyncpublic.aossyncflag;
  for (int i = 0; i < OS_SYNC_FLAG_COUNT; ++i) {
    int iFlag = a_blHighest ? OS_SYNC_FLAG_COUNT - 1 - i : i;
    if (aossyncflag[iFlag].vi64Condition) return iFlag;
  }
  return -1;
}

// One wait on the condition until the deadline. A creator answers for any
// event of its block (the highest signalled index), an opener for its own.
EOSSTS COsSyncImpl::WaitSingle(const struct timespec& a_timespecDeadline, char* a_szName, size_t a_sizetName) {
  OsSyncPublic& ossyncpublic = m_possyncgroup->ossyncpublic;
  for (;;) {
    int iResult = TimedWait(a_timespecDeadline);
    if (iResult == ETIMEDOUT) return OS_STS_TIMEOUT;
    if (iResult != 0) {
      OsLog(OS_LOG_ASSERT, "sync>>> unexpected status, assuming the thread is dead...%d", iResult);
      return OS_STS_FAIL;
    }
    int iFlag = -1;
    if (m_eossyncmode == OS_SYNCMODE_CREATE) {
      iFlag = SignalledFlag(true);
    } else if (OwnFlag().vi64Condition) {
      iFlag = m_i32FlagIndex;
    }
    if (iFlag < 0) continue;
    OsSyncFlag& ossyncflag = ossyncpublic.aossyncflag[iFlag];
    if (ossyncflag.u64OsSyncType != OS_SYNCTYPE_EVENT) {
      OsLog(OS_LOG_ASSERT, "sync>>> unrecognized aeosynctype...%d", static_cast<int>(ossyncflag.u64OsSyncType));
      return OS_STS_FAIL;
    }
    CopyFlagName(iFlag, a_szName, a_sizetName);
    ossyncflag.vi64Condition = 0;
    return OS_STS_SUCCESS;
  }
}

// Waits in slices of at most a second, so that a watched process's end and
// a dead mutex holder are noticed. A creator answers for the lowest
// signalled flag of its block.
EOSSTS COsSyncImpl::WaitPolling(const struct timespec& a_timespecDeadline, char* a_szName, size_t a_sizetName) {
  OsSyncPublic& ossyncpublic = m_possyncgroup->ossyncpublic;
  int iCandidate = -1;
  for (;;) {
    int iResult = TimedWait(SliceEnd(a_timespecDeadline));
    if (iResult == 0) {
      int iFlag = -1;
      if (m_eossyncmode == OS_SYNCMODE_CREATE) {
        iFlag = SignalledFlag(false);
      } else {
        if (OwnFlag().vi64Condition) iCandidate = m_i32FlagIndex;
        iFlag = iCandidate;
      }
      if (iFlag < 0) continue;
      OsSyncFlag& ossyncflag = ossyncpublic.aossyncflag[iFlag];
      ossyncflag.vi64Condition = 0;
      if (ossyncflag.u64OsSyncType == OS_SYNCTYPE_EVENT) {
        CopyFlagName(iFlag, a_szName, a_sizetName);
        return OS_STS_SUCCESS;
      }
      if (ossyncflag.u64OsSyncType != OS_SYNCTYPE_MUTEX) {
        OsLog(OS_LOG_ASSERT, "sync>>> unrecognized aeosynctype...%d", static_cast<int>(ossyncflag.u64OsSyncType));
        return OS_STS_FAIL;
      }
      if (LockManager(OS_SYNCLOCKMANAGER_CLAIM, m_i32Object, iFlag) == OS_STS_SUCCESS) {
        CopyFlagName(iFlag, a_szName, a_sizetName);
        return OS_STS_SUCCESS;
      }
      continue;
    }
    if (iResult != ETIMEDOUT) {
      OsLog(OS_LOG_ASSERT, "sync>>> unexpected status, assuming the thread is dead...%d", iResult);
      return OS_STS_FAIL;
    }
    struct timespec timespecNow;
    clock_gettime(CLOCK_REALTIME, &timespecNow);
    if (!Before(timespecNow, a_timespecDeadline)) return OS_STS_TIMEOUT;
    if (m_u64WatchedProcessId && !COsThread::IsProcessRunning(m_u64WatchedProcessId, false)) {
      OsLogDebug(OS_LOG_INFO, "sync>>> our process died...%llu %ld",
                 static_cast<unsigned long long>(m_u64WatchedProcessId), static_cast<long>(timespecNow.tv_sec));
      return OS_STS_BAD_ARGUMENT_SYNC;
    }
    RemoveStaleObjectsAndFlags(false);
    bool blDone = false;
    EOSSTS eossts = TryClaimAfterSlice(a_szName, a_sizetName, &blDone);
    if (blDone) return eossts;
  }
}

// After a quiet slice: a creator takes any mutex of its block that has
// become free (a holder may have died), an opener its own.
EOSSTS COsSyncImpl::TryClaimAfterSlice(char* a_szName, size_t a_sizetName, bool* a_pblDone) {
  OsSyncPublic& ossyncpublic = m_possyncgroup->ossyncpublic;
  *a_pblDone = false;
  for (int iFlag = 0; iFlag < OS_SYNC_FLAG_COUNT; ++iFlag) {
    if (m_eossyncmode != OS_SYNCMODE_CREATE && iFlag != m_i32FlagIndex) continue;
    if (ossyncpublic.aossyncflag[iFlag].u64OsSyncType != OS_SYNCTYPE_MUTEX) continue;
    if (LockManager(OS_SYNCLOCKMANAGER_CLAIM, m_i32Object, iFlag) == OS_STS_SUCCESS) {
      CopyFlagName(iFlag, a_szName, a_sizetName);
      *a_pblDone = true;
      return OS_STS_SUCCESS;
    }
  }
  return OS_STS_SUCCESS;
}

EOSSTS COsSyncImpl::Set() {
  if (!InUse()) {
    OsLog(OS_LOG_ASSERT, "sync>>> must create/open first...");
    return OS_STS_FAIL;
  }
  if (Lock() != OS_STS_SUCCESS) return OS_STS_FAIL;
  OwnFlag().vi64Condition = 1;
  Unlock();
  errno = 0;
  if (pthread_cond_broadcast(&m_possyncgroup->ossyncprivate.pthreadcondt.pthreadcond) != 0) {
    OsLog(OS_LOG_ERROR, "sync>>> pthread_cond_broadcast failed...");
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

void COsSyncImpl::Reset() {
  if (!InUse()) {
    OsLog(OS_LOG_ASSERT, "sync>>> must create/open first...");
    return;
  }
  if (Lock() != OS_STS_SUCCESS) return;
  OwnFlag().vi64Condition = 0;
  Unlock();
}

void COsSyncImpl::Release(const char* a_szName) {
  if (!a_szName || !*a_szName) {
    OsLog(OS_LOG_ASSERT, "sync>>> a_szName is null...");
    return;
  }
  if (m_eossyncstruct != OS_SYNCSTRUCT_NAMED && m_eossyncstruct != OS_SYNCSTRUCT_GROUP) {
    OsLog(OS_LOG_ASSERT, "sync>>> must be a named or in a group...");
    return;
  }
  if (!InUse()) {
    OsLog(OS_LOG_ASSERT, "sync>>> must create/open first...");
    return;
  }
  if (OwnFlag().u64OsSyncType != OS_SYNCTYPE_MUTEX) {
    OsLog(OS_LOG_ASSERT, "sync>>> bad eossynctype...%d", static_cast<int>(OwnFlag().u64OsSyncType));
    return;
  }
  if (Lock() != OS_STS_SUCCESS) return;
  if (LockManager(OS_SYNCLOCKMANAGER_RELEASE, m_i32Object, m_i32FlagIndex) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "sync>>> LockManager unlock failed...");
  }
  OwnFlag().vi64Condition = 1;
  Unlock();
  Broadcast();
}

EOSSTS COsSyncImpl::IncludeProcessId(uint64_t a_u64ProcessId) {
  if (a_u64ProcessId == 0) {
    m_u64WatchedProcessId = 0;
    return OS_STS_SUCCESS;
  }
  if (!IsThreadAlive(a_u64ProcessId, 0)) {
    OsLog(OS_LOG_ERROR, "sync>>> there is no process with that pid...%llu", static_cast<unsigned long long>(a_u64ProcessId));
    m_u64WatchedProcessId = 0;
    return OS_STS_FAIL;
  }
  m_u64WatchedProcessId = a_u64ProcessId;
  OsLogDebug(OS_LOG_INFO, "sync>>> watching pid %llu %ld", static_cast<unsigned long long>(a_u64ProcessId),
             static_cast<long>(COsThread::GetProcessId()));
  return OS_STS_SUCCESS;
}
