// The built-in transport of network units: one IPv4 TCP connection per
// pipe, waits bounded by poll and ended early through an event descriptor.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>

#include "os_coslog.h"
#include "os_cosusb.h"
#include "os_cosusbchannel.h"

namespace {
constexpr long kConnectLimit = 10000;
std::atomic<long> s_lConnectLimit{kConnectLimit};

// A connection attempt on a non-blocking socket, bounded: a unit that is
// switched off answers nothing, and the system would try for minutes.
bool ConnectWithin(int a_iSocket, const struct addrinfo* a_paddrinfo) {
  if (connect(a_iSocket, a_paddrinfo->ai_addr, a_paddrinfo->ai_addrlen) == 0) return true;
  if (errno != EINPROGRESS && errno != EINTR) return false;
  struct pollfd pollfd = {a_iSocket, POLLOUT, 0};
  int iResult;
  do {
    iResult = poll(&pollfd, 1, static_cast<int>(s_lConnectLimit.load()));
  } while (iResult < 0 && errno == EINTR);
  if (iResult <= 0) {
    if (iResult == 0) errno = ETIMEDOUT;
    return false;
  }
  int iError = 0;
  socklen_t socklen = sizeof iError;
  if (getsockopt(a_iSocket, SOL_SOCKET, SO_ERROR, &iError, &socklen) != 0) return false;
  errno = iError;
  return iError == 0;
}

bool IsRetry(int a_iErrno) { return a_iErrno == EINTR || a_iErrno == EAGAIN || a_iErrno == EWOULDBLOCK; }

class COsUsbTcpChannel : public COsUsbChannel {
 public:
  COsUsbTcpChannel() : m_iCancel(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  ~COsUsbTcpChannel() override {
    if (m_iSocket >= 0) close(m_iSocket);
    if (m_iCancel >= 0) close(m_iCancel);
  }

  EOSSTS Connect(const char* a_szAddress, const char* a_szPort, const char* a_szName) override {
    struct addrinfo hints {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    struct addrinfo* paddrinfo = nullptr;
    if (!a_szAddress || !a_szPort || getaddrinfo(a_szAddress, a_szPort, &hints, &paddrinfo) != 0 || !paddrinfo) {
      OsLog(OS_LOG_ERROR, "usb>>> bad unit address...<%s:%s> %s", a_szAddress ? a_szAddress : "",
            a_szPort ? a_szPort : "", a_szName ? a_szName : "");
      return OS_STS_USB_OFFLINE;
    }
    int iSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const bool blConnected = iSocket >= 0 && ConnectWithin(iSocket, paddrinfo);
    freeaddrinfo(paddrinfo);
    if (!blConnected) {
      OsLog(OS_LOG_ERROR, "usb>>> connect failed...<%s:%s> %s %d", a_szAddress, a_szPort, a_szName ? a_szName : "",
            errno);
      if (iSocket >= 0) close(iSocket);
      return OS_STS_USB_OFFLINE;
    }
    int iOne = 1;
    setsockopt(iSocket, IPPROTO_TCP, TCP_NODELAY, &iOne, sizeof iOne);
    if (m_iSocket >= 0) close(m_iSocket);
    m_iSocket = iSocket;
    return OS_STS_SUCCESS;
  }

  EOSSTS Read(void* a_pvBuffer, uint64_t a_u64Size, uint64_t* a_pu64Read, uint32_t a_u32Milliseconds) override {
    *a_pu64Read = 0;
    // Nothing to read: a read of no bytes would look like the end of the
    // connection.
    if (a_u64Size == 0) return OS_STS_SUCCESS;
    ssize_t sst;
    do {
      EOSSTS eossts = Wait(POLLIN, a_u32Milliseconds);
      if (eossts != OS_STS_SUCCESS) return eossts;
      sst = recv(m_iSocket, a_pvBuffer, a_u64Size, 0);
    } while (sst < 0 && IsRetry(errno));
    if (sst <= 0) return OS_STS_USB_OFFLINE;
    *a_pu64Read = static_cast<uint64_t>(sst);
    return OS_STS_SUCCESS;
  }

  EOSSTS Write(const void* a_pvData, uint64_t a_u64Size, uint64_t* a_pu64Written, uint32_t a_u32Milliseconds) override {
    *a_pu64Written = 0;
    const char* pc = static_cast<const char*>(a_pvData);
    while (*a_pu64Written < a_u64Size) {
      EOSSTS eossts = Wait(POLLOUT, a_u32Milliseconds);
      if (eossts != OS_STS_SUCCESS) return eossts;
      ssize_t sst = send(m_iSocket, pc + *a_pu64Written, a_u64Size - *a_pu64Written, MSG_NOSIGNAL);
      // The socket never blocks: a peer that stops reading meets the wait's
      // time-out and a cancel, not a send without end.
      if (sst < 0 && IsRetry(errno)) continue;
      if (sst <= 0) return OS_STS_USB_OFFLINE;
      *a_pu64Written += static_cast<uint64_t>(sst);
    }
    return OS_STS_SUCCESS;
  }

  EOSSTS Cancel() override {
    uint64_t u64One = 1;
    return m_iCancel >= 0 && write(m_iCancel, &u64One, sizeof u64One) == sizeof u64One ? OS_STS_SUCCESS : OS_STS_FAIL;
  }

  EOSSTS SetBufferSizes(int a_iSendBytes, int a_iReceiveBytes) override {
    if (m_iSocket < 0 || setsockopt(m_iSocket, SOL_SOCKET, SO_SNDBUF, &a_iSendBytes, sizeof a_iSendBytes) != 0 ||
        setsockopt(m_iSocket, SOL_SOCKET, SO_RCVBUF, &a_iReceiveBytes, sizeof a_iReceiveBytes) != 0) {
      return OS_STS_FAIL;
    }
    return OS_STS_SUCCESS;
  }

 private:
  // Until the socket is ready, the time is up (5) or a cancel came (8).
  EOSSTS Wait(short a_sEvents, uint32_t a_u32Milliseconds) {
    if (m_iSocket < 0) return OS_STS_USB_OFFLINE;
    struct pollfd apollfd[2] = {{m_iSocket, a_sEvents, 0}, {m_iCancel, POLLIN, 0}};
    int iResult;
    do {
      iResult = poll(apollfd, m_iCancel >= 0 ? 2 : 1, a_u32Milliseconds ? static_cast<int>(a_u32Milliseconds) : -1);
    } while (iResult < 0 && errno == EINTR);
    if (iResult < 0) return OS_STS_USB_OFFLINE;
    if (iResult == 0) return OS_STS_TIMEOUT;
    if (apollfd[1].revents & POLLIN) {
      uint64_t u64Count;
      if (read(m_iCancel, &u64Count, sizeof u64Count) < 0) {
        // Nothing to drain: another waiter took the cancel.
      }
      return OS_STS_USB_CANCELLED;
    }
    return OS_STS_SUCCESS;
  }

  int m_iSocket = -1;
  int m_iCancel;
};

COsUsbChannel* NewTcpChannel() { return new (std::nothrow) COsUsbTcpChannel; }
std::atomic<COsUsbChannel::Factory> s_pfnFactory{NewTcpChannel};
}  // namespace

COsUsbChannel* COsUsbChannel::Create() { return s_pfnFactory.load()(); }

void COsUsbChannel::SetFactory(Factory a_pfnFactory) { s_pfnFactory.store(a_pfnFactory ? a_pfnFactory : NewTcpChannel); }

void COsUsbChannel::SetConnectLimit(long a_lMilliseconds) {
  s_lConnectLimit.store(a_lMilliseconds < 0 ? kConnectLimit : a_lMilliseconds);
}
