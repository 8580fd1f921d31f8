// The TCP transport: a listening socket on the loopback that serves exactly
// one peer, and readiness waits in slices so that CancelSelect is seen.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_cossync.h"
#include "os_cossocketimpl.h"
#include "os_costhread.h"
#include "os_costime.h"

namespace {
constexpr const char* kLoopback = "127.0.0.1";

bool HasText(const char* a_szText) { return a_szText && *a_szText; }

// A port is decimal digits up to 65535; empty means any.
bool ParsePort(const char* a_szPort, uint16_t* a_pu16Port) {
  if (!*a_szPort) {
    *a_pu16Port = 0;
    return true;
  }
  if (std::strspn(a_szPort, "0123456789") != std::strlen(a_szPort) || std::strlen(a_szPort) > 5) return false;
  long lPort = std::strtol(a_szPort, nullptr, 10);
  if (lPort > 65535) return false;
  *a_pu16Port = static_cast<uint16_t>(lPort);
  return true;
}

int64_t NowMs() {
  struct timespec timespec;
  clock_gettime(CLOCK_MONOTONIC, &timespec);
  return static_cast<int64_t>(timespec.tv_sec) * 1000 + timespec.tv_nsec / 1000000;
}
}  // namespace

EOSSTS COsSocketImpl::TcpCreate(const char* a_szAddress, const char* a_szPort) {
  COsString::SStrCpy(m_szAddress, sizeof m_szAddress, HasText(a_szAddress) ? a_szAddress : kLoopback);
  uint16_t u16Port = 0;
  if (!ParsePort(a_szPort, &u16Port)) {
    OsLog(OS_LOG_ERROR, "bad port...<%s>", a_szPort);
    return OS_STS_FAIL;
  }
  m_iListen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (m_iListen < 0) {
    OsLog(OS_LOG_ERROR, "sock>>> create: socket failed...%d", errno);
    return OS_STS_FAIL;
  }
  int iOn = 1;
  if (setsockopt(m_iListen, SOL_SOCKET, SO_KEEPALIVE, &iOn, sizeof iOn) != 0) {
    OsLog(OS_LOG_ERROR, "sock>>> create: setsockopt failed...%d", errno);
    return OS_STS_FAIL;
  }
  // Only this machine may connect, whatever address the caller named.
  std::memset(&m_sockaddrin, 0, sizeof m_sockaddrin);
  m_sockaddrin.sin_family = AF_INET;
  m_sockaddrin.sin_port = htons(u16Port);
  m_sockaddrin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(m_iListen, reinterpret_cast<struct sockaddr*>(&m_sockaddrin), sizeof m_sockaddrin) != 0) {
    OsLog(OS_LOG_ERROR, "sock>>> create: bind failed...%d <%s>", errno, a_szPort);
    return OS_STS_FAIL;
  }
  socklen_t socklen = sizeof m_sockaddrin;
  if (getsockname(m_iListen, reinterpret_cast<struct sockaddr*>(&m_sockaddrin), &socklen) != 0) {
    OsLog(OS_LOG_ERROR, "sock>>> create: getsockname failed...%d", errno);
    return OS_STS_FAIL;
  }
  m_u16Port = ntohs(m_sockaddrin.sin_port);
  OsLogDebug(OS_LOG_INFO, "sock>>> sin_family:%d sin_port:%04x sin_addr.s_addr:%08x", m_sockaddrin.sin_family,
             m_sockaddrin.sin_port, m_sockaddrin.sin_addr.s_addr);
  return OS_STS_SUCCESS;
}

EOSSTS COsSocketImpl::TcpConnect(const char* a_szAddress, const char* a_szPort) {
  COsString::SStrCpy(m_szAddress, sizeof m_szAddress, HasText(a_szAddress) ? a_szAddress : kLoopback);
  uint16_t u16Port = 0;
  if (!ParsePort(a_szPort, &u16Port) || u16Port == 0) {
    OsLog(OS_LOG_ERROR, "bad port...<%s>", a_szPort);
    return OS_STS_FAIL;
  }
  struct addrinfo addrinfoHints;
  std::memset(&addrinfoHints, 0, sizeof addrinfoHints);
  addrinfoHints.ai_family = AF_INET;
  addrinfoHints.ai_socktype = SOCK_STREAM;
  struct addrinfo* paddrinfo = nullptr;
  if (getaddrinfo(m_szAddress, nullptr, &addrinfoHints, &paddrinfo) != 0 || !paddrinfo) {
    OsLog(OS_LOG_ERROR, "sock>>> connect: bad address...<%s>", m_szAddress);
    return OS_STS_FAIL;
  }
  std::memcpy(&m_sockaddrin, paddrinfo->ai_addr, sizeof m_sockaddrin);
  freeaddrinfo(paddrinfo);
  m_sockaddrin.sin_port = htons(u16Port);
  m_u16Port = u16Port;
  m_iConnected = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (m_iConnected < 0) {
    OsLog(OS_LOG_ERROR, "sock>>> connect: socket failed...%d", errno);
    return OS_STS_FAIL;
  }
  int iResult;
  do {
    iResult = connect(m_iConnected, reinterpret_cast<struct sockaddr*>(&m_sockaddrin), sizeof m_sockaddrin);
  } while (iResult != 0 && errno == EINTR);
  if (iResult != 0) {
    OsLog(OS_LOG_ERROR, "sock>>> connect: connect failed...%d <%s> <%s>", errno, m_szAddress, a_szPort);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

// One peer: the listening descriptor goes once it has connected. The wait
// runs in slices, so a child that never connects gives 5 and CancelSelect 8.
EOSSTS COsSocketImpl::TcpAccept(uint32_t a_u32Milliseconds, COsThread* a_posthread) {
  if (m_iListen < 0) {
    OsLog(OS_LOG_ERROR, "sock>>> accept: must call SocketCreate() first...");
    return OS_STS_BAD_ARGUMENT;
  }
  int iReadable = 0;
  EOSSTS eossts = Select(&iReadable, nullptr, nullptr, a_u32Milliseconds, a_posthread, nullptr);
  if (eossts != OS_STS_SUCCESS) return eossts;
  int iConnected;
  do {
    iConnected = accept4(m_iListen, nullptr, nullptr, SOCK_CLOEXEC);
  } while (iConnected < 0 && errno == EINTR);
  if (iConnected < 0) {
    OsLog(OS_LOG_ERROR, "sock>>> accept: accept failed...%d", errno);
    return OS_STS_FAIL;
  }
  m_iConnected = iConnected;
  close(m_iListen);
  m_iListen = -1;
  return OS_STS_SUCCESS;
}

// Every byte or a failure: a short count reads as a lost link to callers.
// A closed peer gives 1, never SIGPIPE in the caller's process. A peer that
// stops reading makes the write wait for room in slices, so that
// CancelSelect ends it (8, with the count sent so far).
EOSSTS COsSocketImpl::TcpWrite(const void* a_pvData, uint64_t a_u64Length, uint64_t* a_pu64Written) {
  if (m_iConnected < 0) {
    OsLog(OS_LOG_ERROR, "sock>>> write: must open a socket first...");
    return OS_STS_BAD_ARGUMENT;
  }
  const char* pcData = static_cast<const char*>(a_pvData);
  uint64_t u64Sent = 0;
  while (u64Sent < a_u64Length) {
    ssize_t sszSent = send(m_iConnected, pcData + u64Sent, a_u64Length - u64Sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sszSent < 0 && errno == EINTR) continue;
    if (sszSent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      int iWritable = 0;
      EOSSTS eossts = Select(nullptr, &iWritable, nullptr, OS_SYNC_INFINITE, nullptr, nullptr);
      if (eossts == OS_STS_SUCCESS) continue;
      *a_pu64Written = u64Sent;
      return eossts;
    }
    if (sszSent <= 0) {
      OsLog(OS_LOG_ERROR, "sock>>> write: send failed...%d", errno);
      return OS_STS_FAIL;
    }
    u64Sent += static_cast<uint64_t>(sszSent);
  }
  *a_pu64Written = u64Sent;
  return OS_STS_SUCCESS;
}

// One receive of what has arrived. The time-out is not applied; the wait
// for data runs in slices so that CancelSelect ends it.
EOSSTS COsSocketImpl::TcpRead(void* a_pvBuffer, uint64_t a_u64Size, uint64_t* a_pu64Read, bool a_blString) {
  if (m_iConnected < 0) {
    OsLog(OS_LOG_ERROR, a_blString ? "sock>>> readstring: must open a socket first..."
                                   : "sock>>> read: must open a socket first...");
    return OS_STS_BAD_ARGUMENT;
  }
  std::memset(a_pvBuffer, 0, a_u64Size);
  int iReadable = 0;
  EOSSTS eossts = Select(&iReadable, nullptr, nullptr, OS_SYNC_INFINITE, nullptr, nullptr);
  if (eossts != OS_STS_SUCCESS) return eossts;
  ssize_t sszRead;
  do {
    sszRead = recv(m_iConnected, a_pvBuffer, a_u64Size, 0);
  } while (sszRead < 0 && errno == EINTR);
  if (sszRead == 0) {
    OsLogDebug(OS_LOG_INFO, "The remote process has died...");
    return OS_STS_SOCKET_PEERGONE;
  }
  if (sszRead < 0) {
    OsLog(OS_LOG_ERROR, "sock>>> read: recv failed...%d", errno);
    return OS_STS_FAIL;
  }
  *a_pu64Read = static_cast<uint64_t>(sszRead);
  return OS_STS_SUCCESS;
}

// A closed peer counts: its read answers at once too.
bool COsSocketImpl::TcpHasData() {
  if (m_iConnected < 0) return false;
  struct pollfd pollfd = {m_iConnected, POLLIN, 0};
  int iResult;
  do {
    iResult = poll(&pollfd, 1, 0);
  } while (iResult < 0 && errno == EINTR);
  return iResult > 0 && (pollfd.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

EOSSTS COsSocketImpl::Select(int* a_piReadable, int* a_piWritable, int* a_piError, uint32_t a_u32Milliseconds,
                             COsThread* a_posthread, COsSync*) {
  if (IsLocal()) return OS_STS_SUCCESS;
  int iFd = m_iConnected >= 0 ? m_iConnected : m_iListen;
  if (iFd < 0) {
    OsLog(OS_LOG_ERROR, "sock>>> select: must open a socket first...");
    return OS_STS_BAD_ARGUMENT;
  }
  // With a spawning thread, its child's descriptor is watched beside the
  // socket: the child's end wakes the wait at once.
  const int iPidFd = a_posthread ? a_posthread->SpawnPidFd() : -1;
  struct pollfd apollfd[2] = {{iFd, 0, 0}, {iPidFd, POLLIN, 0}};
  struct pollfd& pollfd = apollfd[0];
  if (a_piReadable) pollfd.events |= POLLIN;
  if (a_piWritable) pollfd.events |= POLLOUT;
  const nfds_t nfds = iPidFd >= 0 ? 2 : 1;
  const bool blForever = a_u32Milliseconds == OS_SYNC_INFINITE;
  const int64_t i64End = NowMs() + a_u32Milliseconds;
  for (;;) {
    int64_t i64Slice = 0;
    if (a_u32Milliseconds != 0) {
      i64Slice = OsSocketLimits::PassTime();
      int64_t i64Left = i64End - NowMs();
      if (!blForever && i64Left < i64Slice) i64Slice = i64Left > 0 ? i64Left : 0;
    }
    apollfd[0].revents = 0;
    apollfd[1].revents = 0;
    int iResult = poll(apollfd, nfds, static_cast<int>(i64Slice));
    if (iResult < 0 && errno == EINTR) continue;
    if (iResult < 0) {
      OsLog(OS_LOG_ERROR, "sock>>> select: select failed...%d", errno);
      return OS_STS_FAIL;
    }
    if (pollfd.revents != 0) {
      if (a_piReadable) *a_piReadable = (pollfd.revents & (POLLIN | POLLHUP | POLLERR)) ? 1 : 0;
      if (a_piWritable) *a_piWritable = (pollfd.revents & (POLLOUT | POLLERR)) ? 1 : 0;
      if (a_piError) *a_piError = (pollfd.revents & (POLLERR | POLLNVAL)) ? 1 : 0;
      return OS_STS_SUCCESS;
    }
    if (m_blCancel.exchange(false)) return OS_STS_SOCKET_CANCELLED;
    // The child the thread spawned to connect will never come.
    if (a_posthread && (iPidFd < 0 || apollfd[1].revents != 0) && a_posthread->SpawnEnded()) {
      OsLog(OS_LOG_ERROR, "sock>>> select: the spawned process has ended...");
      return OS_STS_SOCKET_PEERGONE;
    }
    if (a_u32Milliseconds == 0 || (!blForever && NowMs() >= i64End)) {
      OsLogDebug(OS_LOG_INFO, "sock>>> select: select timeout...");
      return OS_STS_TIMEOUT;
    }
  }
}

EOSSTS COsSocketImpl::SetBufferSizes(int a_iSendBytes, int a_iReceiveBytes) {
  if (IsLocal()) return OS_STS_SUCCESS;
  int iFd = m_iConnected >= 0 ? m_iConnected : m_iListen;
  int aiBefore[2] = {0, 0}, aiAfter[2] = {0, 0};
  const int aiOption[2] = {SO_SNDBUF, SO_RCVBUF};
  const int aiWanted[2] = {a_iSendBytes, a_iReceiveBytes};
  for (int i = 0; i < 2; ++i) {
    socklen_t socklen = sizeof aiBefore[i];
    if (getsockopt(iFd, SOL_SOCKET, aiOption[i], &aiBefore[i], &socklen) != 0) {
      OsLog(OS_LOG_ERROR, "sock>>> setbuffersizes: getsockopt failed...%d", errno);
      return OS_STS_FAIL;
    }
    if (setsockopt(iFd, SOL_SOCKET, aiOption[i], &aiWanted[i], sizeof aiWanted[i]) != 0) {
      OsLog(OS_LOG_ERROR, "sock>>> setbuffersizes: setsockopt failed...%d", errno);
      return OS_STS_FAIL;
    }
    socklen = sizeof aiAfter[i];
    if (getsockopt(iFd, SOL_SOCKET, aiOption[i], &aiAfter[i], &socklen) != 0) {
      OsLog(OS_LOG_ERROR, "sock>>> setbuffersizes: getsockopt failed...%d", errno);
      return OS_STS_FAIL;
    }
  }
  OsLogDebug(OS_LOG_INFO, "sock>>> setbuffersizes: send %d -> %d, receive %d -> %d", aiBefore[0], aiAfter[0],
             aiBefore[1], aiAfter[1]);
  return OS_STS_SUCCESS;
}
