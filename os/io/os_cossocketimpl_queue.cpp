// The message-queue transport: a POSIX queue per direction (slot 6 receive,
// slot 7 send) of ForceMaxMsg messages of 1024 bytes, readable and writable
// by this user only. The connecting side removes the names once it has the
// queues open, so nobody else can open them. Reads wait in passes, so that
// the cancel byte and the peer's end are seen.
#include <fcntl.h>
#include <poll.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cossocketimpl.h"
#include "os_cossync.h"
#include "os_costhread.h"
#include "os_costime.h"

namespace {
constexpr long kMessageSize = 1024;
constexpr long kMaxMessages = 10;
constexpr mqd_t kNoQueue = static_cast<mqd_t>(-1);
constexpr int64_t kAcceptPollMs = 5;

// The system's name: a slash and the file part of the slot's path.
void QueueName(const char* a_szPath, char* a_szName, size_t a_sizetName) {
  const char* szFile = std::strrchr(a_szPath, '/');
  COsString::SStrPrintf(a_szName, a_sizetName, "/%s", szFile ? szFile + 1 : a_szPath);
}

// An absolute real-time deadline (the queue calls take no other clock).
struct timespec DeadlineIn(int64_t a_i64Milliseconds) {
  struct timespec timespec;
  COsTime::CalculateTimeSpec(&timespec, static_cast<int32_t>(a_i64Milliseconds > INT32_MAX ? INT32_MAX : a_i64Milliseconds));
  return timespec;
}

bool Reached(const struct timespec& a_timespec) {
  struct timespec timespecNow;
  clock_gettime(CLOCK_REALTIME, &timespecNow);
  return timespecNow.tv_sec > a_timespec.tv_sec ||
         (timespecNow.tv_sec == a_timespec.tv_sec && timespecNow.tv_nsec >= a_timespec.tv_nsec);
}

const struct timespec& Earlier(const struct timespec& a_timespecA, const struct timespec& a_timespecB) {
  bool blABefore = a_timespecA.tv_sec < a_timespecB.tv_sec ||
                   (a_timespecA.tv_sec == a_timespecB.tv_sec && a_timespecA.tv_nsec < a_timespecB.tv_nsec);
  return blABefore ? a_timespecA : a_timespecB;
}

// The time-out of a queue call is never below the floor.
int64_t Budget(uint32_t a_u32Milliseconds) {
  long lFloor = OsSocketLimits::QueueTimeoutFloor();
  return a_u32Milliseconds > static_cast<uint64_t>(lFloor) ? a_u32Milliseconds : lFloor;
}

// Without a descriptor of the child its status is asked at every step;
// with one, only once the descriptor says it ended.
bool ChildMayHaveEnded(COsThread* a_posthread) {
  const int iPidFd = a_posthread->SpawnPidFd();
  if (iPidFd < 0) return true;
  struct pollfd pollfd = {iPidFd, POLLIN, 0};
  return poll(&pollfd, 1, 0) != 0;
}

// One step of the wait for the names to go: on the child's descriptor, so
// that its end wakes the wait at once, or a plain pause without one.
void WaitStep(COsThread* a_posthread, int64_t a_i64Milliseconds) {
  const int iPidFd = a_posthread->SpawnPidFd();
  if (iPidFd < 0) {
    COsTime::Sleep(static_cast<long>(a_i64Milliseconds));
    return;
  }
  struct pollfd pollfd = {iPidFd, POLLIN, 0};
  poll(&pollfd, 1, static_cast<int>(a_i64Milliseconds));
}
}  // namespace

EOSSTS COsSocketImpl::QueueCreate(const char* a_szAddress, const char* a_szPort, const char* a_szTag) {
  if (SetSharedFilename(a_szAddress, a_szPort, m_eossockettype, a_szTag, true) != OS_STS_SUCCESS) return OS_STS_FAIL;
  OsLogDebug(OS_LOG_INFO, "mq create: address=%s port=%s type=%d tag=%s read=%s write=%s flags=0 maxmsg=%ld msgsize=%ld curmsgs=0",
             a_szAddress ? a_szAddress : "", a_szPort, static_cast<int>(m_eossockettype), a_szTag ? a_szTag : "",
             m_aszFilename[OS_SOCKETTYPE_MESSAGEQUEUE_READONLY], m_aszFilename[OS_SOCKETTYPE_MESSAGEQUEUE_WRITEONLY],
             OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEMAXMSG, kMaxMessages), kMessageSize);
  return QueueOpenAll(true);
}

EOSSTS COsSocketImpl::QueueConnect(const char* a_szAddress, const char* a_szPort, const char* a_szTag) {
  if (SetSharedFilename(a_szAddress, a_szPort, m_eossockettype, a_szTag, false) != OS_STS_SUCCESS) return OS_STS_FAIL;
  OsLogDebug(OS_LOG_INFO, "mq connect: address=%s port=%s tag=%s read=%s write=%s", a_szAddress ? a_szAddress : "",
             a_szPort, a_szTag ? a_szTag : "", m_aszFilename[OS_SOCKETTYPE_MESSAGEQUEUE_READONLY],
             m_aszFilename[OS_SOCKETTYPE_MESSAGEQUEUE_WRITEONLY]);
  EOSSTS eossts = QueueOpenAll(false);
  if (eossts != OS_STS_SUCCESS) return eossts;
  // The creator's process id travels in the generated names.
  const char* szPid = std::strstr(a_szPort, "_pid");
  if (szPid) m_u64WatchedProcessId.store(std::strtoull(szPid + 4, nullptr, 10));
  return OS_STS_SUCCESS;
}

// Opens the queues of the channel's type, the read queue first.
EOSSTS COsSocketImpl::QueueOpenAll(bool a_blCreate) {
  const bool blPair = m_eossockettype == OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE;
  for (int iSlot : {OS_SOCKETTYPE_MESSAGEQUEUE_READONLY, OS_SOCKETTYPE_MESSAGEQUEUE_WRITEONLY}) {
    if (!blPair && iSlot != m_eossockettype) continue;
    if (QueueOpen(iSlot, a_blCreate) == OS_STS_SUCCESS) continue;
    if (!blPair)
      OsLog(OS_LOG_ERROR, "mq_open failed...<%s>", m_aszFilename[iSlot]);
    else
      OsLog(OS_LOG_ERROR, iSlot == OS_SOCKETTYPE_MESSAGEQUEUE_READONLY ? "mq_open read failed..."
                                                                       : "mq_open write failed...");
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

EOSSTS COsSocketImpl::QueueOpen(int a_iSlot, bool a_blCreate) {
  char szName[OS_SOCKET_NAME_SIZE + 1];
  QueueName(m_aszFilename[a_iSlot], szName, sizeof szName);
  int iFlags = (a_iSlot == OS_SOCKETTYPE_MESSAGEQUEUE_READONLY ? O_RDONLY : O_WRONLY) | O_CLOEXEC;
  if (a_blCreate) {
    struct mq_attr mqattr;
    std::memset(&mqattr, 0, sizeof mqattr);
    mqattr.mq_maxmsg = OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEMAXMSG, kMaxMessages);
    mqattr.mq_msgsize = kMessageSize;
    // Owner only: the peers are children of this user, and no other user
    // may put tasks in or read replies.
    m_amqd[a_iSlot] = mq_open(szName, iFlags | O_CREAT | O_EXCL, 0600, &mqattr);
  } else {
    m_amqd[a_iSlot] = mq_open(szName, iFlags);
  }
  if (m_amqd[a_iSlot] == kNoQueue) {
    OsLog(OS_LOG_ERROR, "mq_open: %s...%d <%s>", std::strerror(errno), errno, szName);
    return OS_STS_FAIL;
  }
  if (!a_blCreate) mq_unlink(szName);
  struct mq_attr mqattr;
  m_alMessageSize[a_iSlot] = mq_getattr(m_amqd[a_iSlot], &mqattr) == 0 ? mqattr.mq_msgsize : kMessageSize;
  return OS_STS_SUCCESS;
}

// A child opens the queues and removes their names at once (Connect): once
// the names are gone, the child the thread spawned is there. Its death, the
// time-out or CancelSelect end the wait sooner.
EOSSTS COsSocketImpl::QueueAccept(uint32_t a_u32Milliseconds, COsThread* a_posthread) {
  if (!a_posthread) return OS_STS_SUCCESS;
  const bool blForever = a_u32Milliseconds == OS_SYNC_INFINITE;
  struct timespec timespecStart;
  clock_gettime(CLOCK_MONOTONIC, &timespecStart);
  for (;;) {
    if (!QueueNamesPresent()) return OS_STS_SUCCESS;
    if (m_blCancel.exchange(false)) {
      TakeCancel(OS_SOCKETTYPE_MESSAGEQUEUE_READONLY);
      TakeCancel(OS_SOCKETTYPE_MESSAGEQUEUE_WRITEONLY);
      OsLog(OS_LOG_INFO, "Accept: cancelled...");
      return OS_STS_SOCKET_CANCELLED;
    }
    if (ChildMayHaveEnded(a_posthread) && a_posthread->SpawnEnded()) {
      OsLog(OS_LOG_ERROR, "Accept: the spawned process has ended...");
      return OS_STS_SOCKET_PEERGONE;
    }
    struct timespec timespecNow;
    clock_gettime(CLOCK_MONOTONIC, &timespecNow);
    const int64_t i64Spent =
        (timespecNow.tv_sec - timespecStart.tv_sec) * 1000 + (timespecNow.tv_nsec - timespecStart.tv_nsec) / 1000000;
    if (!blForever && i64Spent >= a_u32Milliseconds) {
      OsLogDebug(OS_LOG_INFO, "Accept: timeout...%u", a_u32Milliseconds);
      return OS_STS_TIMEOUT;
    }
    const int64_t i64Left = blForever ? kAcceptPollMs : a_u32Milliseconds - i64Spent;
    WaitStep(a_posthread, i64Left < kAcceptPollMs ? i64Left : kAcceptPollMs);
  }
}

// Whether a name of the channel's queues is still in the system.
bool COsSocketImpl::QueueNamesPresent() {
  const bool blPair = m_eossockettype == OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE;
  for (int iSlot : {OS_SOCKETTYPE_MESSAGEQUEUE_READONLY, OS_SOCKETTYPE_MESSAGEQUEUE_WRITEONLY}) {
    if (!blPair && iSlot != m_eossockettype) continue;
    char szName[OS_SOCKET_NAME_SIZE + 1];
    QueueName(m_aszFilename[iSlot], szName, sizeof szName);
    const mqd_t mqd = mq_open(szName, O_RDONLY | O_CLOEXEC);
    if (mqd != kNoQueue) {
      mq_close(mqd);
      return true;
    }
    if (errno != ENOENT) return true;
  }
  return false;
}

// The rest of a message kept from the last read, or a message in the queue.
bool COsSocketImpl::QueueHasData() {
  const int iSlot = OS_SOCKETTYPE_MESSAGEQUEUE_READONLY;
  if (m_sizetPendingLength) return true;
  if (m_amqd[iSlot] == kNoQueue) return false;
  struct mq_attr mqattr;
  return mq_getattr(m_amqd[iSlot], &mqattr) == 0 && mqattr.mq_curmsgs > 0;
}

// Whether the watched process has ended: a child that exited counts as
// ended before anyone reaps it.
bool COsSocketImpl::WatchedProcessGone() {
  uint64_t u64ProcessId = m_u64WatchedProcessId.load();
  return u64ProcessId != 0 && !COsThread::IsProcessRunning(u64ProcessId, false);
}

bool COsSocketImpl::TakeCancel(int a_iSlot) { return m_au8Cancel[a_iSlot].exchange(0) != 0; }

EOSSTS COsSocketImpl::QueueWrite(const void* a_pvData, uint64_t a_u64Length, uint64_t* a_pu64Written,
                                 uint32_t a_u32Milliseconds) {
  const int iSlot = OS_SOCKETTYPE_MESSAGEQUEUE_WRITEONLY;
  const char* pcData = static_cast<const char*>(a_pvData);
  const int64_t i64Budget = Budget(a_u32Milliseconds);
  const struct timespec timespecDeadline = DeadlineIn(i64Budget);
  // The peer is looked at before anything is sent and whenever the queue
  // stays full for a pass, not for every piece.
  bool blLook = true;
  uint64_t u64Sent = 0;
  while (u64Sent < a_u64Length) {
    if (blLook && WatchedProcessGone()) {
      OsLogDebug(OS_LOG_INFO, "Our parent process has died...");
      return OS_STS_SOCKET_PEERGONE;
    }
    blLook = false;
    uint64_t u64Piece = a_u64Length - u64Sent;
    if (u64Piece > static_cast<uint64_t>(m_alMessageSize[iSlot])) u64Piece = static_cast<uint64_t>(m_alMessageSize[iSlot]);
    struct timespec timespecPass = Earlier(DeadlineIn(OsSocketLimits::PassTime()), timespecDeadline);
    if (mq_timedsend(m_amqd[iSlot], pcData + u64Sent, u64Piece, 1, &timespecPass) == 0) {
      u64Sent += u64Piece;
      *a_pu64Written = u64Sent;
      continue;
    }
    if (errno == EINTR) continue;
    // A pass with the queue full: CancelSelect may end the wait.
    if (errno == ETIMEDOUT && TakeCancel(iSlot)) {
      OsLogDebug(OS_LOG_INFO, "Socket write canceled...");
      return OS_STS_SOCKET_CANCELLED;
    }
    if (errno == ETIMEDOUT && !Reached(timespecDeadline)) {
      blLook = true;
      continue;
    }
    if (errno == ETIMEDOUT) {
      OsLog(OS_LOG_ERROR, "mq_timedsend timeout...%u %u", a_u32Milliseconds, static_cast<unsigned>(i64Budget));
      return OS_STS_TIMEOUT;
    }
    OsLog(OS_LOG_ERROR, "mq_timedsend failed...%d", errno);
    return OS_STS_FAIL;
  }
  *a_pu64Written = u64Sent;
  return OS_STS_SUCCESS;
}

EOSSTS COsSocketImpl::QueueRead(void* a_pvBuffer, uint64_t a_u64Size, uint64_t* a_pu64Read,
                                uint32_t a_u32Milliseconds) {
  const int iSlot = OS_SOCKETTYPE_MESSAGEQUEUE_READONLY;
  // The rest of a message that did not fit the last buffer comes first.
  if (m_sizetPendingLength) {
    size_t sizetCopy = a_u64Size < m_sizetPendingLength ? static_cast<size_t>(a_u64Size) : m_sizetPendingLength;
    std::memcpy(a_pvBuffer, m_pu8Pending + m_sizetPendingOffset, sizetCopy);
    m_sizetPendingOffset += sizetCopy;
    m_sizetPendingLength -= sizetCopy;
    *a_pu64Read = sizetCopy;
    return OS_STS_SUCCESS;
  }
  if (TakeCancel(iSlot)) {
    OsLogDebug(OS_LOG_INFO, "Socket read canceled...");
    return OS_STS_SOCKET_CANCELLED;
  }
  const long lPass = OsSocketLimits::PassTime();
  for (int64_t i64Budget = Budget(a_u32Milliseconds);; i64Budget -= lPass) {
    bool blReceived = false;
    EOSSTS eossts;
    if (PeerLookDue() && WatchedProcessGone()) {
      // What the peer sent before it ended is still delivered.
      eossts = QueueReceive(a_pvBuffer, a_u64Size, a_pu64Read, DeadlineIn(0), &blReceived);
      if (eossts != OS_STS_SUCCESS || blReceived) return eossts;
      if (m_blMonitor.load()) {
        OsLogDebug(OS_LOG_INFO, "process has exited...%d", static_cast<int>(m_u64WatchedProcessId.load()));
        m_u64WatchedProcessId.store(0);
      } else {
        OsLogDebug(OS_LOG_INFO, "The remote process has died...");
      }
      return OS_STS_SOCKET_PEERGONE;
    }
    // Wait up to a pass for a message; less than a pass of budget left
    // only takes what is there.
    const bool blLast = i64Budget < lPass;
    eossts = QueueReceive(a_pvBuffer, a_u64Size, a_pu64Read, DeadlineIn(blLast ? 0 : lPass), &blReceived);
    if (eossts != OS_STS_SUCCESS || blReceived) return eossts;
    if (TakeCancel(iSlot)) {
      OsLogDebug(OS_LOG_INFO, "Socket read canceled...");
      return OS_STS_SOCKET_CANCELLED;
    }
    if (blLast) {
      OsLog(OS_LOG_ERROR, "mq_timedsend timeout...%u", a_u32Milliseconds);
      return OS_STS_TIMEOUT;
    }
  }
}

// Reads look at the peer no more than once a pass: the look reads the
// process table and costs more than a message, and reads come a message at
// a time.
bool COsSocketImpl::PeerLookDue() {
  struct timespec timespec;
  clock_gettime(CLOCK_MONOTONIC, &timespec);
  int64_t i64Now = static_cast<int64_t>(timespec.tv_sec) * 1000 + timespec.tv_nsec / 1000000;
  if (m_i64PeerLook && i64Now - m_i64PeerLook < OsSocketLimits::PassTime()) return false;
  m_i64PeerLook = i64Now;
  return true;
}

// One message by the deadline: into the caller's buffer when it can hold a
// whole one, else through the channel's own buffer, keeping the rest for the
// next read. 0 with *a_pblReceived false when none came in time.
EOSSTS COsSocketImpl::QueueReceive(void* a_pvBuffer, uint64_t a_u64Size, uint64_t* a_pu64Read,
                                   const struct timespec& a_timespecDeadline, bool* a_pblReceived) {
  const int iSlot = OS_SOCKETTYPE_MESSAGEQUEUE_READONLY;
  const size_t sizetMessage = static_cast<size_t>(m_alMessageSize[iSlot]);
  const bool blWhole = a_u64Size >= sizetMessage;
  *a_pblReceived = false;
  if (!blWhole && !m_pu8Pending) {
    m_pu8Pending = static_cast<uint8_t*>(OsMemAlloc(sizetMessage));
    if (!m_pu8Pending) {
      OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
      return OS_STS_FAIL;
    }
  }
  ssize_t sszReceived;
  do {
    sszReceived = mq_timedreceive(m_amqd[iSlot], static_cast<char*>(blWhole ? a_pvBuffer : m_pu8Pending),
                                  blWhole ? a_u64Size : sizetMessage, nullptr, &a_timespecDeadline);
  } while (sszReceived < 0 && errno == EINTR);
  if (sszReceived < 0 && errno == ETIMEDOUT) return OS_STS_SUCCESS;
  if (sszReceived < 0) {
    OsLog(OS_LOG_ERROR, "mq_timedreceive failed...%d", errno);
    return OS_STS_FAIL;
  }
  size_t sizetReceived = static_cast<size_t>(sszReceived);
  if (!blWhole) {
    size_t sizetCopy = a_u64Size < sizetReceived ? static_cast<size_t>(a_u64Size) : sizetReceived;
    std::memcpy(a_pvBuffer, m_pu8Pending, sizetCopy);
    m_sizetPendingOffset = sizetCopy;
    m_sizetPendingLength = sizetReceived - sizetCopy;
    sizetReceived = sizetCopy;
  }
  *a_pu64Read = sizetReceived;
  *a_pblReceived = true;
  return OS_STS_SUCCESS;
}

// The creating side owns the names until now; the connecting side removed
// them when it opened the queues.
void COsSocketImpl::CloseQueues() {
  for (int iSlot : {OS_SOCKETTYPE_MESSAGEQUEUE_READONLY, OS_SOCKETTYPE_MESSAGEQUEUE_WRITEONLY}) {
    if (m_amqd[iSlot] == kNoQueue) continue;
    if (m_blCreator && std::strchr(m_aszFilename[iSlot], '/')) {
      char szName[OS_SOCKET_NAME_SIZE + 1];
      QueueName(m_aszFilename[iSlot], szName, sizeof szName);
      mq_unlink(szName);
    }
    mq_close(m_amqd[iSlot]);
    m_amqd[iSlot] = kNoQueue;
  }
  if (m_pu8Pending) OsMemFree(m_pu8Pending);
  m_pu8Pending = nullptr;
  m_sizetPendingOffset = 0;
  m_sizetPendingLength = 0;
}
