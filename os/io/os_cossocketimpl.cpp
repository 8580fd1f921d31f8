// The channel object: state, the choice of transport, and the operations
// that only dispatch to the transport's unit.
#include "os_cossocketimpl.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_cossync.h"

namespace {
constexpr int64_t kRetry = 8;
constexpr int64_t kSleepTime = 100;
constexpr int64_t kRingBufferSize = 131072;

constexpr const char* kSharedMemoryAddress = "@SHAREDMEMORY";
constexpr const char* kMessageQueueAddress = "@MESSAGEQUEUE";

bool IsSharedMemory(EOSSOCKETTYPE a_eossockettype) {
  return a_eossockettype >= OS_SOCKETTYPE_SHAREDMEMORY_READONLY &&
         a_eossockettype <= OS_SOCKETTYPE_SHAREDMEMORY_READWRITE;
}

bool IsMessageQueue(EOSSOCKETTYPE a_eossockettype) {
  return a_eossockettype >= OS_SOCKETTYPE_MESSAGEQUEUE_READONLY &&
         a_eossockettype <= OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE;
}

// The transport a connecting side reads from the published address: a pair
// when the port holds two names, else the letter that starts the file name
// (the creator reads an "r" file, so this side writes it). TCP for any other
// address. OS_SOCKETTYPE_UNDEFINED for a local port without the letter.
EOSSOCKETTYPE TransportOf(const char* a_szAddress, const char* a_szPort) {
  bool blShared = a_szAddress && std::strcmp(a_szAddress, kSharedMemoryAddress) == 0;
  bool blQueue = a_szAddress && std::strcmp(a_szAddress, kMessageQueueAddress) == 0;
  if (!blShared && !blQueue) return OS_SOCKETTYPE_TCP;
  if (std::strchr(a_szPort, ';'))
    return blShared ? OS_SOCKETTYPE_SHAREDMEMORY_READWRITE : OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE;
  const char* szSlash = std::strrchr(a_szPort, '/');
  char cLetter = szSlash ? szSlash[1] : a_szPort[0];
  if (cLetter == 'r') return blShared ? OS_SOCKETTYPE_SHAREDMEMORY_WRITEONLY : OS_SOCKETTYPE_MESSAGEQUEUE_WRITEONLY;
  if (cLetter == 'w') return blShared ? OS_SOCKETTYPE_SHAREDMEMORY_READONLY : OS_SOCKETTYPE_MESSAGEQUEUE_READONLY;
  return OS_SOCKETTYPE_UNDEFINED;
}
}  // namespace

COsSocketImpl::COsSocketImpl()
    : m_i64Retry(kRetry),
      m_i64SleepTime(kSleepTime),
      m_i64BusyRetry(OsSocketLimits::BusyRetry()),
      m_i64BusySleep(OsSocketLimits::BusyPause()),
      m_eossockettype(OS_SOCKETTYPE_UNDEFINED),
      m_blCancel(false),
      m_szAddress(),
      m_i64RingBufferSize(kRingBufferSize),
      m_blConnectFlag(false),
      m_blCreator(false),
      m_aszFilename(),
      m_szEventName(),
      m_aposringbuffer(),
      m_apossync(),
      m_iListen(-1),
      m_iConnected(-1),
      m_u16Port(0),
      m_sockaddrin(),
      m_alMessageSize(),
      m_au8Cancel(),
      m_i64PeerLook(0),
      m_pu8Pending(nullptr),
      m_sizetPendingOffset(0),
      m_sizetPendingLength(0),
      m_u64WatchedProcessId(0),
      m_blMonitor(false) {
  for (mqd_t& mqd : m_amqd) mqd = static_cast<mqd_t>(-1);
}

COsSocketImpl::~COsSocketImpl() { Close(); }

bool COsSocketImpl::IsLocal() const { return IsSharedMemory(m_eossockettype) || IsMessageQueue(m_eossockettype); }

const char* COsSocketImpl::GetFilename(EOSSOCKETTYPE a_eossockettype) const {
  return a_eossockettype > OS_SOCKETTYPE_UNDEFINED && a_eossockettype < OS_SOCKETTYPE_LAST
             ? m_aszFilename[a_eossockettype]
             : "";
}

EOSSTS COsSocketImpl::Unsupported(const char* a_szFormat) {
  OsLog(OS_LOG_ERROR, a_szFormat, static_cast<int>(m_eossockettype));
  return OS_STS_FAIL;
}

EOSSTS COsSocketImpl::Create(const char* a_szAddress, const char* a_szPort, EOSSOCKETTYPE a_eossockettype,
                             const char* a_szTag) {
  m_eossockettype = a_eossockettype;
  m_blCreator = true;
  EOSSTS eossts;
  if (a_eossockettype == OS_SOCKETTYPE_TCP) {
    eossts = TcpCreate(a_szAddress, a_szPort);
  } else if (IsSharedMemory(a_eossockettype)) {
    eossts = SharedCreate(a_szAddress, a_szPort, a_szTag);
  } else if (IsMessageQueue(a_eossockettype)) {
    eossts = QueueCreate(a_szAddress, a_szPort, a_szTag);
  } else {
    eossts = Unsupported("Unsupported...%d");
  }
  if (eossts != OS_STS_SUCCESS) Close();
  return eossts;
}

EOSSTS COsSocketImpl::Connect(const char* a_szAddress, const char* a_szPort, const char* a_szTag,
                              uint64_t a_u64ProcessId, bool a_blFlag) {
  m_blConnectFlag = a_blFlag;
  m_blCreator = false;
  m_eossockettype = TransportOf(a_szAddress, a_szPort);
  EOSSTS eossts;
  if (m_eossockettype == OS_SOCKETTYPE_UNDEFINED) {
    OsLog(OS_LOG_ERROR, "bad port...<%s>", a_szPort);
    eossts = OS_STS_FAIL;
  } else if (m_eossockettype == OS_SOCKETTYPE_TCP) {
    eossts = TcpConnect(a_szAddress, a_szPort);
  } else if (IsSharedMemory(m_eossockettype)) {
    eossts = SharedConnect(a_szAddress, a_szPort, a_szTag, a_u64ProcessId);
  } else {
    eossts = QueueConnect(a_szAddress, a_szPort, a_szTag);
  }
  if (eossts != OS_STS_SUCCESS) Close();
  return eossts;
}

EOSSTS COsSocketImpl::Listen(int a_iBacklog) {
  if (IsLocal()) return OS_STS_SUCCESS;
  if (m_eossockettype != OS_SOCKETTYPE_TCP) return Unsupported("Unsupported...%d");
  if (m_iListen < 0) {
    OsLog(OS_LOG_ERROR, "sock>>> listen: must call SocketCreate() first...");
    return OS_STS_BAD_ARGUMENT;
  }
  if (listen(m_iListen, a_iBacklog) != 0) {
    OsLog(OS_LOG_ERROR, "sock>>> listen: listen failed...%d", errno);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

EOSSTS COsSocketImpl::Accept(uint32_t a_u32Milliseconds, COsThread* a_posthread) {
  if (m_eossockettype == OS_SOCKETTYPE_TCP) return TcpAccept(a_u32Milliseconds, a_posthread);
  if (IsSharedMemory(m_eossockettype)) return SharedAccept(a_u32Milliseconds, a_posthread);
  if (IsMessageQueue(m_eossockettype)) return QueueAccept(a_u32Milliseconds, a_posthread);
  return Unsupported("Unsupported...%d");
}

EOSSTS COsSocketImpl::Write(const void* a_pvData, uint64_t a_u64Length, uint64_t* a_pu64Written,
                            uint32_t a_u32Milliseconds) {
  switch (m_eossockettype) {
    case OS_SOCKETTYPE_TCP: return TcpWrite(a_pvData, a_u64Length, a_pu64Written);
    case OS_SOCKETTYPE_SHAREDMEMORY_WRITEONLY:
    case OS_SOCKETTYPE_SHAREDMEMORY_READWRITE: return SharedWrite(a_pvData, a_u64Length, a_pu64Written);
    case OS_SOCKETTYPE_MESSAGEQUEUE_WRITEONLY:
    case OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE:
      return QueueWrite(a_pvData, a_u64Length, a_pu64Written, a_u32Milliseconds);
    default: return Unsupported("Unsuppported...%d");
  }
}

EOSSTS COsSocketImpl::Read(void* a_pvBuffer, uint64_t a_u64Size, uint64_t* a_pu64Read, uint32_t a_u32Milliseconds,
                           bool a_blString) {
  switch (m_eossockettype) {
    case OS_SOCKETTYPE_TCP: return TcpRead(a_pvBuffer, a_u64Size, a_pu64Read, a_blString);
    case OS_SOCKETTYPE_SHAREDMEMORY_READONLY:
    case OS_SOCKETTYPE_SHAREDMEMORY_READWRITE: return SharedRead(a_pvBuffer, a_u64Size, a_pu64Read, a_u32Milliseconds);
    case OS_SOCKETTYPE_MESSAGEQUEUE_READONLY:
    case OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE: return QueueRead(a_pvBuffer, a_u64Size, a_pu64Read, a_u32Milliseconds);
    default: return Unsupported("Unsupported...%d");
  }
}

EOSSTS COsSocketImpl::GetAddress(char* a_szAddress, size_t a_sizetAddress, char* a_szPort, size_t a_sizetPort) {
  if (!a_szAddress || !a_szPort) {
    OsLog(OS_LOG_ERROR, "bad argument...%p %p", static_cast<void*>(a_szAddress), static_cast<void*>(a_szPort));
    return OS_STS_FAIL;
  }
  char szPort[2 * OS_SOCKET_NAME_SIZE + 2] = "";
  const char* szAddress = m_szAddress;
  int iWritten = 0;
  switch (m_eossockettype) {
    case OS_SOCKETTYPE_TCP: iWritten = COsString::SStrPrintf(szPort, sizeof szPort, "%u", m_u16Port); break;
    case OS_SOCKETTYPE_SHAREDMEMORY_READONLY:
    case OS_SOCKETTYPE_SHAREDMEMORY_WRITEONLY:
    case OS_SOCKETTYPE_MESSAGEQUEUE_READONLY:
    case OS_SOCKETTYPE_MESSAGEQUEUE_WRITEONLY:
      szAddress = IsSharedMemory(m_eossockettype) ? kSharedMemoryAddress : kMessageQueueAddress;
      iWritten = COsString::SStrPrintf(szPort, sizeof szPort, "%s", m_aszFilename[m_eossockettype]);
      break;
    case OS_SOCKETTYPE_SHAREDMEMORY_READWRITE:
    case OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE: {
      bool blShared = IsSharedMemory(m_eossockettype);
      szAddress = blShared ? kSharedMemoryAddress : kMessageQueueAddress;
      int iRead = blShared ? OS_SOCKETTYPE_SHAREDMEMORY_READONLY : OS_SOCKETTYPE_MESSAGEQUEUE_READONLY;
      iWritten = COsString::SStrPrintf(szPort, sizeof szPort, "%s;%s", m_aszFilename[iRead], m_aszFilename[iRead + 1]);
      break;
    }
    default: return Unsupported("Unsupported...%d");
  }
  // A cut address would lead the peer astray: all or nothing.
  if (iWritten < 0 || std::strlen(szAddress) >= a_sizetAddress || std::strlen(szPort) >= a_sizetPort) {
    OsLog(OS_LOG_ERROR, "buffer too small...%zu %zu <%s> <%s>", a_sizetAddress, a_sizetPort, szAddress, szPort);
    return OS_STS_FAIL;
  }
  COsString::SStrCpy(a_szAddress, a_sizetAddress, szAddress);
  COsString::SStrCpy(a_szPort, a_sizetPort, szPort);
  return OS_STS_SUCCESS;
}

bool COsSocketImpl::HasData() {
  if (m_eossockettype == OS_SOCKETTYPE_TCP) return TcpHasData();
  if (IsSharedMemory(m_eossockettype)) return SharedHasData();
  if (IsMessageQueue(m_eossockettype)) return QueueHasData();
  return false;
}

EOSSTS COsSocketImpl::MonitorChildProcess(uint64_t a_u64ProcessId) {
  m_u64WatchedProcessId.store(a_u64ProcessId);
  m_blMonitor.store(a_u64ProcessId != 0);
  return OS_STS_SUCCESS;
}

EOSSTS COsSocketImpl::CancelSelect() {
  m_blCancel.store(true);
  switch (m_eossockettype) {
    case OS_SOCKETTYPE_SHAREDMEMORY_READONLY:
    case OS_SOCKETTYPE_SHAREDMEMORY_WRITEONLY:
    case OS_SOCKETTYPE_SHAREDMEMORY_READWRITE: SharedCancel(); break;
    case OS_SOCKETTYPE_MESSAGEQUEUE_READONLY:
    case OS_SOCKETTYPE_MESSAGEQUEUE_WRITEONLY: m_au8Cancel[m_eossockettype].store(1); break;
    case OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE:
      m_au8Cancel[OS_SOCKETTYPE_MESSAGEQUEUE_READONLY].store(1);
      m_au8Cancel[OS_SOCKETTYPE_MESSAGEQUEUE_WRITEONLY].store(1);
      break;
    default: break;
  }
  return OS_STS_SUCCESS;
}

EOSSTS COsSocketImpl::Close() {
  CloseShared();
  CloseQueues();
  if (m_iListen >= 0) close(m_iListen);
  if (m_iConnected >= 0) close(m_iConnected);
  m_iListen = -1;
  m_iConnected = -1;
  return OS_STS_SUCCESS;
}
