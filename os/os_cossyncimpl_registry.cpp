// The block's registry of objects and flags: locking, registration, the
// clean-up of objects whose thread has ended, and mutex bookkeeping.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "os_coslog.h"
#include "os_cossyncimpl.h"
#include "os_cosstring.h"
#include "os_costhread.h"

const char* OsSyncModeWord(uint64_t a_u64Mode) {
  static const char* const s_aszWord[] = {"Undefined", "Create", "Open", "Last"};
  return a_u64Mode < 4 ? s_aszWord[a_u64Mode] : "Unknown";
}

const char* OsSyncStructWord(uint64_t a_u64Struct) {
  static const char* const s_aszWord[] = {"Undefined", "Unnamed", "Named", "Group", "Last"};
  return a_u64Struct < 5 ? s_aszWord[a_u64Struct] : "Unknown";
}

const char* OsSyncTypeWord(uint64_t a_u64Type) {
  static const char* const s_aszWord[] = {"Undefined", "Event", "Mutex", "Last"};
  return a_u64Type < 4 ? s_aszWord[a_u64Type] : "Unknown";
}

EOSSTS COsSyncImpl::Lock() {
  if (!m_ppthreadmutex) {
    OsLog(OS_LOG_ERROR, "sync>>> Lock failed...");
    return OS_STS_FAIL;
  }
  int iResult = pthread_mutex_lock(m_ppthreadmutex);
  if (iResult == EOWNERDEAD) {
    // A process died holding the block: the registry may be half changed,
    // so tidy it before declaring the mutex usable again.
    OsLog(OS_LOG_ERROR, "sync>>> the block's mutex holder died, cleaning up...<%s>", m_szObjectPath);
    RemoveStaleObjectsAndFlags(false);
    iResult = pthread_mutex_consistent(m_ppthreadmutex);
  }
  if (iResult != 0) {
    OsLog(OS_LOG_ERROR, "sync>>> Lock failed...%d", iResult);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

void COsSyncImpl::Unlock() {
  if (m_ppthreadmutex) pthread_mutex_unlock(m_ppthreadmutex);
}

int COsSyncImpl::TimedWait(const struct timespec& a_timespec) {
  int iResult = pthread_cond_timedwait(&m_possyncgroup->ossyncprivate.pthreadcondt.pthreadcond, m_ppthreadmutex,
                                       &a_timespec);
  if (iResult == EOWNERDEAD) {
    OsLog(OS_LOG_ERROR, "sync>>> the block's mutex holder died, cleaning up...<%s>", m_szObjectPath);
    RemoveStaleObjectsAndFlags(false);
    pthread_mutex_consistent(m_ppthreadmutex);
    iResult = 0;  // look at the flags as after a wake-up
  }
  return iResult;
}

void COsSyncImpl::Broadcast() {
  errno = 0;
  if (pthread_cond_broadcast(&m_possyncgroup->ossyncprivate.pthreadcondt.pthreadcond) != 0) {
    OsLog(OS_LOG_ERROR, "sync>>> pthread_cond_broadcast failed...");
  }
}

bool COsSyncImpl::IsThreadAlive(uint64_t a_u64Pid, uint64_t a_u64Tid) {
  unsigned long long ullPid = static_cast<unsigned long long>(a_u64Pid);
  if (a_u64Pid == 0) {
    OsLog(OS_LOG_ASSERT, "sync>>> bad pid arguments...");
    return false;
  }
  // The thread service looks without reaping: a child that another part
  // of the process follows keeps its exit status.
  if (!COsThread::IsProcessRunning(a_u64Pid, false)) {
    OsLogDebug(OS_LOG_INFO, "sync>>> process has exited...%llu", ullPid);
    return false;
  }
  if (a_u64Tid == 0) return true;
  char szTask[96];
  std::snprintf(szTask, sizeof szTask, "/proc/%llu/task/%llu", ullPid, static_cast<unsigned long long>(a_u64Tid));
  int iSaved = errno;
  bool blAlive = access(szTask, F_OK) == 0;
  errno = iSaved;
  if (!blAlive) OsLogDebug(OS_LOG_INFO, "sync>>> thread has exited...%llu", static_cast<unsigned long long>(a_u64Tid));
  return blAlive;
}

// A mutex flag held by a slot that is being cleared is freed with it, so a
// later user of the same slot does not inherit it.
void COsSyncImpl::FreeMutexesOfSlot(int a_iObject) {
  for (OsSyncFlag& ossyncflag : m_possyncgroup->ossyncpublic.aossyncflag) {
    if (ossyncflag.u64OsSyncType == OS_SYNCTYPE_MUTEX && ossyncflag.vu64Mutex == static_cast<uint64_t>(a_iObject) + 1) {
      ossyncflag.vu64Mutex = 0;
    }
  }
}

// Normal mode (block's mutex held): clears the slots of ended processes and
// every flag that no slot names, and frees the mutexes held by slots whose
// registering thread has ended; answers whether anyone is alive. A slot
// outlives its registering thread while the process lives: an object made
// on one thread is used from others (a channel's events are made by the
// thread that starts the channel, which may end long before the channel
// does). Probe mode changes nothing and asks only whether a registering
// process is still alive.
bool COsSyncImpl::RemoveStaleObjectsAndFlags(bool a_blProbe) {
  OsSyncPublic& ossyncpublic = m_possyncgroup->ossyncpublic;
  bool blAlive = false;
  for (int iObject = 0; iObject < OS_SYNC_OBJECT_COUNT; ++iObject) {
    OsSyncObject& ossyncobject = ossyncpublic.aossyncobject[iObject];
    if (!ossyncobject.u64Pid || !ossyncobject.u64Tid || !ossyncobject.u64Object) {
      if (!a_blProbe) std::memset(static_cast<void*>(&ossyncobject), 0, sizeof ossyncobject);
      continue;
    }
    if (a_blProbe) {
      if (IsThreadAlive(ossyncobject.u64Pid, 0)) return true;
      continue;
    }
    if (!IsThreadAlive(ossyncobject.u64Pid, 0)) {
      FreeMutexesOfSlot(iObject);
      std::memset(static_cast<void*>(&ossyncobject), 0, sizeof ossyncobject);
      continue;
    }
    blAlive = true;
    if (!IsThreadAlive(ossyncobject.u64Pid, ossyncobject.u64Tid)) FreeMutexesOfSlot(iObject);
  }
  if (a_blProbe) return false;
  for (int iFlag = 0; iFlag < OS_SYNC_FLAG_COUNT; ++iFlag) {
    uint64_t u64Count = 0;
    for (const OsSyncObject& ossyncobject : ossyncpublic.aossyncobject) {
      if (ossyncobject.u64OsSyncMode != 0 && ossyncobject.u64FlagIndex == static_cast<uint64_t>(iFlag)) ++u64Count;
    }
    OsSyncFlag& ossyncflag = ossyncpublic.aossyncflag[iFlag];
    if (u64Count) {
      ossyncflag.u64ReferenceCount = u64Count;
    } else {
      std::memset(static_cast<void*>(&ossyncflag), 0, sizeof ossyncflag);
    }
  }
  return blAlive;
}

// Takes a slot as creator (with a new flag of our type and name) or as
// opener (of the live flag of our type and name); block's mutex held.
EOSSTS COsSyncImpl::RegisterObject(bool a_blCreator) {
  RemoveStaleObjectsAndFlags(false);
  m_i32Object = -1;
  m_i32FlagIndex = -1;
  OsSyncPublic& ossyncpublic = m_possyncgroup->ossyncpublic;
  int iFound = -1;
  for (const OsSyncObject& ossyncobject : ossyncpublic.aossyncobject) {
    if (!ossyncobject.u64Pid || !ossyncobject.u64Tid || !ossyncobject.u64Object ||
        ossyncobject.u64FlagIndex >= OS_SYNC_FLAG_COUNT) {
      continue;
    }
    const OsSyncFlag& ossyncflag = ossyncpublic.aossyncflag[ossyncobject.u64FlagIndex];
    if (ossyncflag.u64OsSyncType == m_eossynctype && std::strncmp(ossyncflag.szName, m_szName, OS_SYNC_NAME_SIZE) == 0) {
      iFound = static_cast<int>(ossyncobject.u64FlagIndex);
      break;
    }
  }
  if (a_blCreator && iFound >= 0) {
    OsLog(OS_LOG_ASSERT, "sync>>> <%s> already exists...", m_szName);
    return OS_STS_ALREADY_EXISTS;
  }
  if (!a_blCreator && iFound < 0) {
    OsLog(OS_LOG_ASSERT, "sync>>> <%s> not found...", m_szName);
    return OS_STS_FILE_NOT_FOUND;
  }
  int iObject = -1;
  for (int i = 0; i < OS_SYNC_OBJECT_COUNT && iObject < 0; ++i) {
    if (ossyncpublic.aossyncobject[i].u64OsSyncMode == 0) iObject = i;
  }
  if (iObject < 0) {
    OsLog(OS_LOG_ERROR, "sync>>> no room for a new object...<%s>", m_szName);
    return OS_STS_NOROOM_BUFFER;
  }
  int iFlag = iFound;
  if (a_blCreator) {
    for (int i = 0; i < OS_SYNC_FLAG_COUNT && iFlag < 0; ++i) {
      if (ossyncpublic.aossyncflag[i].u64ReferenceCount == 0) iFlag = i;
    }
    if (iFlag < 0) {
      OsLog(OS_LOG_ERROR, "sync>>> no room for a new flag...<%s>", m_szName);
      return OS_STS_NOROOM_BUFFER;
    }
  }
  OsSyncObject& ossyncobject = ossyncpublic.aossyncobject[iObject];
  ossyncobject.u64OsSyncMode = a_blCreator ? OS_SYNCMODE_CREATE : OS_SYNCMODE_OPEN;
  ossyncobject.u64Pid = COsThread::GetProcessId();
  ossyncobject.u64Tid = COsThread::GetThreadId();
  ossyncobject.u64Object = reinterpret_cast<uint64_t>(this);
  ossyncobject.u64FlagIndex = static_cast<uint64_t>(iFlag);
  OsSyncFlag& ossyncflag = ossyncpublic.aossyncflag[iFlag];
  if (a_blCreator) {
    std::memset(static_cast<void*>(&ossyncflag), 0, sizeof ossyncflag);
    ossyncflag.u64OsSyncType = m_eossynctype;
    COsString::SStrCpy(ossyncflag.szName, sizeof ossyncflag.szName, m_szName);
  }
  m_i32Object = iObject;
  m_i32FlagIndex = iFlag;
  ossyncflag.u64ReferenceCount += 1;
  OsLogDebug(OS_LOG_INFO, "sync>>> RegisterObject(%d,%d,%s)", a_blCreator ? 1 : 0, static_cast<int>(m_eossynctype),
             m_szName);
  OsLogDebug(OS_LOG_INFO, "sync>>> iObject=%d", iObject);
  OsLogDebug(OS_LOG_INFO, "sync>>> iFlagIndex=%d", iFlag);
  return OS_STS_SUCCESS;
}

// Claim (1) or release (2) of a mutex flag for a registry slot; block's
// mutex held.
EOSSTS COsSyncImpl::LockManager(EOSSYNCLOCKMANAGER a_eossynclockmanager, int a_iObject, int a_iFlagIndex) {
  if (a_iFlagIndex < 0 || a_iFlagIndex >= OS_SYNC_FLAG_COUNT) {
    OsLog(OS_LOG_ASSERT, "sync>>> a_iFlagIndex out of range...%d", a_iFlagIndex);
    return OS_STS_FAIL;
  }
  OsSyncFlag& ossyncflag = m_possyncgroup->ossyncpublic.aossyncflag[a_iFlagIndex];
  uint64_t u64Mine = static_cast<uint64_t>(a_iObject) + 1;
  if (a_eossynclockmanager == OS_SYNCLOCKMANAGER_RELEASE) {
    // Only our own hold is given back: a holder that took the mutex over
    // meanwhile keeps it.
    if (m_ablHeld[a_iFlagIndex] && ossyncflag.vu64Mutex == u64Mine) ossyncflag.vu64Mutex = 0;
    m_ablHeld[a_iFlagIndex] = false;
    return OS_STS_SUCCESS;
  }
  if (a_eossynclockmanager != OS_SYNCLOCKMANAGER_CLAIM) {
    OsLog(OS_LOG_ASSERT, "sync>>> unrecognized a_eossynclockmanager...%d", static_cast<int>(a_eossynclockmanager));
    return OS_STS_FAIL;
  }
  if (m_ablHeld[a_iFlagIndex]) return OS_STS_SUCCESS;
  if (ossyncflag.vu64Mutex != 0) {
    RemoveStaleObjectsAndFlags(false);
    uint64_t u64Holder = ossyncflag.vu64Mutex;
    if (u64Holder > OS_SYNC_OBJECT_COUNT) return OS_STS_BUSY;
    if (u64Holder != 0 && m_possyncgroup->ossyncpublic.aossyncobject[u64Holder - 1].u64OsSyncMode != 0) {
      return OS_STS_BUSY;
    }
    // Free now, or its holder's slot is gone: the holder has ended.
  }
  ossyncflag.vu64Mutex = u64Mine;
  m_ablHeld[a_iFlagIndex] = true;
  return OS_STS_SUCCESS;
}

// Gives back every mutex this object holds and marks each as signalled so
// that waiting claimers look again; answers whether any was held.
bool COsSyncImpl::ReleaseHeldMutexes() {
  bool blReleased = false;
  for (int iFlag = 0; iFlag < OS_SYNC_FLAG_COUNT; ++iFlag) {
    if (!m_ablHeld[iFlag]) continue;
    LockManager(OS_SYNCLOCKMANAGER_RELEASE, m_i32Object, iFlag);
    if (m_possyncgroup->ossyncpublic.aossyncflag[iFlag].u64OsSyncType == OS_SYNCTYPE_MUTEX) {
      m_possyncgroup->ossyncpublic.aossyncflag[iFlag].vi64Condition = 1;
    }
    blReleased = true;
  }
  return blReleased;
}
