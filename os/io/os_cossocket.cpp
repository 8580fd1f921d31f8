#include "os_cossocket.h"

#include <atomic>
#include <cstring>

#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cossocketimpl.h"

namespace {
constexpr long kPassTime = 1000;
constexpr long kQueueTimeoutFloor = 10000;
constexpr long kBusyRetry = 500;
constexpr long kBusyPause = 10;

std::atomic<long> s_lPassTime{kPassTime};
std::atomic<long> s_lQueueTimeoutFloor{kQueueTimeoutFloor};
std::atomic<long> s_lBusyRetry{kBusyRetry};
std::atomic<long> s_lBusyPause{kBusyPause};

void StoreLimit(std::atomic<long>& a_limit, long a_lValue, long a_lDefault) {
  a_limit.store(a_lValue < 0 ? a_lDefault : a_lValue, std::memory_order_relaxed);
}
}  // namespace

long OsSocketLimits::PassTime() { return s_lPassTime.load(std::memory_order_relaxed); }
long OsSocketLimits::QueueTimeoutFloor() { return s_lQueueTimeoutFloor.load(std::memory_order_relaxed); }
long OsSocketLimits::BusyRetry() { return s_lBusyRetry.load(std::memory_order_relaxed); }
long OsSocketLimits::BusyPause() { return s_lBusyPause.load(std::memory_order_relaxed); }

void COsSocket::SetPassTime(long a_lMilliseconds) { StoreLimit(s_lPassTime, a_lMilliseconds, kPassTime); }

void COsSocket::SetQueueTimeoutFloor(long a_lMilliseconds) {
  StoreLimit(s_lQueueTimeoutFloor, a_lMilliseconds, kQueueTimeoutFloor);
}

void COsSocket::SetBusyRetry(long a_lCount, long a_lMilliseconds) {
  StoreLimit(s_lBusyRetry, a_lCount, kBusyRetry);
  StoreLimit(s_lBusyPause, a_lMilliseconds, kBusyPause);
}

#define SOCKET_IMPL_OR(result)                         \
  do {                                                 \
    if (!m_possocketimpl) {                            \
      OsLog(OS_LOG_ERROR, "m_possocketimpl is null..."); \
      return result;                                   \
    }                                                  \
  } while (0)

COsSocket::COsSocket() : m_possocketimpl(nullptr) {}

COsSocket::~COsSocket() { Close(); }

// Create and Connect: a port, a closed channel and a new implementation.
bool COsSocket::Open(const char* a_szPort) {
  if (!a_szPort) {
    OsLog(OS_LOG_ERROR, "a_szPort is null...");
    return false;
  }
  if (m_possocketimpl) {
    OsLog(OS_LOG_ERROR, "m_possocketimpl is not null...");
    return false;
  }
  m_possocketimpl = OsMemNew(COsSocketImpl);
  if (!m_possocketimpl) OsLog(OS_LOG_ERROR, "OsMemNew failed...");
  return m_possocketimpl != nullptr;
}

EOSSTS COsSocket::Create(const char* a_szAddress, const char* a_szPort, EOSSOCKETTYPE a_eossockettype,
                         const char* a_szTag) {
  if (!Open(a_szPort)) return OS_STS_FAIL;
  EOSSTS eossts = m_possocketimpl->Create(a_szAddress, a_szPort, a_eossockettype, a_szTag);
  if (eossts != OS_STS_SUCCESS) OsMemDelete(m_possocketimpl);
  return eossts;
}

EOSSTS COsSocket::Connect(const char* a_szAddress, const char* a_szPort, const char* a_szTag,
                          uint64_t a_u64ProcessId, bool a_blFlag) {
  if (!Open(a_szPort)) return OS_STS_FAIL;
  EOSSTS eossts = m_possocketimpl->Connect(a_szAddress, a_szPort, a_szTag, a_u64ProcessId, a_blFlag);
  if (eossts != OS_STS_SUCCESS) OsMemDelete(m_possocketimpl);
  return eossts;
}

EOSSTS COsSocket::Listen(int a_iBacklog) {
  SOCKET_IMPL_OR(OS_STS_FAIL);
  return m_possocketimpl->Listen(a_iBacklog);
}

EOSSTS COsSocket::Accept(uint32_t a_u32Milliseconds, COsThread* a_posthread, COsSync*) {
  SOCKET_IMPL_OR(OS_STS_FAIL);
  return m_possocketimpl->Accept(a_u32Milliseconds, a_posthread);
}

EOSSTS COsSocket::Write(const void* a_pvData, uint64_t a_u64Length, uint64_t* a_pu64Written,
                        uint32_t a_u32Milliseconds, int64_t) {
  if (a_pu64Written) *a_pu64Written = 0;
  SOCKET_IMPL_OR(OS_STS_FAIL);
  if (!a_pvData || !a_pu64Written) {
    OsLog(OS_LOG_ERROR, "bad argument...%p %p", a_pvData, static_cast<void*>(a_pu64Written));
    return OS_STS_FAIL;
  }
  return m_possocketimpl->Write(a_pvData, a_u64Length, a_pu64Written, a_u32Milliseconds);
}

EOSSTS COsSocket::WriteString(const char* a_szText, uint64_t* a_pu64Written) {
  if (!a_szText) {
    if (a_pu64Written) *a_pu64Written = 0;
    OsLog(OS_LOG_ERROR, "a_szText is null...");
    return OS_STS_FAIL;
  }
  return Write(a_szText, std::strlen(a_szText), a_pu64Written, 0, 0);
}

EOSSTS COsSocket::Read(void* a_pvBuffer, uint64_t a_u64Size, uint64_t* a_pu64Read, uint32_t a_u32Milliseconds,
                       int64_t, COsThread*, COsSync*) {
  if (a_pu64Read) *a_pu64Read = 0;
  SOCKET_IMPL_OR(OS_STS_FAIL);
  if (!a_pvBuffer || !a_pu64Read || a_u64Size == 0) {
    OsLog(OS_LOG_ERROR, "bad argument...%p %p %llu", a_pvBuffer, static_cast<void*>(a_pu64Read),
          static_cast<unsigned long long>(a_u64Size));
    return OS_STS_FAIL;
  }
  return m_possocketimpl->Read(a_pvBuffer, a_u64Size, a_pu64Read, a_u32Milliseconds, false);
}

EOSSTS COsSocket::ReadString(char* a_szBuffer, uint64_t a_u64Size, uint64_t* a_pu64Read, uint32_t a_u32Milliseconds,
                             int64_t) {
  if (a_pu64Read) *a_pu64Read = 0;
  if (a_szBuffer && a_u64Size) std::memset(a_szBuffer, 0, a_u64Size);
  SOCKET_IMPL_OR(OS_STS_FAIL);
  // One byte stays for the terminator.
  if (!a_szBuffer || !a_pu64Read || a_u64Size < 2) {
    OsLog(OS_LOG_ERROR, "bad argument...%p %p %llu", static_cast<void*>(a_szBuffer), static_cast<void*>(a_pu64Read),
          static_cast<unsigned long long>(a_u64Size));
    return OS_STS_FAIL;
  }
  EOSSTS eossts = m_possocketimpl->Read(a_szBuffer, a_u64Size - 1, a_pu64Read, a_u32Milliseconds, true);
  if (eossts == OS_STS_TIMEOUT && m_possocketimpl->IsLocal()) return OS_STS_SOCKET_READTIMEOUT;
  return eossts;
}

EOSSTS COsSocket::GetAddress(char* a_szAddress, size_t a_sizetAddress, char* a_szPort, size_t a_sizetPort) {
  SOCKET_IMPL_OR(OS_STS_FAIL);
  return m_possocketimpl->GetAddress(a_szAddress, a_sizetAddress, a_szPort, a_sizetPort);
}

EOSSOCKETTYPE COsSocket::GetPreferredSocketType() {
  switch (OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEGUISOCKETS, 0)) {
    case 1: return OS_SOCKETTYPE_TCP;
    case 3:
    case 4:
    case 5: return OS_SOCKETTYPE_SHAREDMEMORY_READWRITE;
    default: return OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE;
  }
}

EOSSTS COsSocket::MonitorChildProcess(uint64_t a_u64ProcessId) {
  SOCKET_IMPL_OR(OS_STS_FAIL);
  return m_possocketimpl->MonitorChildProcess(a_u64ProcessId);
}

EOSSTS COsSocket::Select(int* a_piReadable, int* a_piWritable, int* a_piError, uint32_t a_u32Milliseconds) {
  SOCKET_IMPL_OR(OS_STS_FAIL);
  return m_possocketimpl->Select(a_piReadable, a_piWritable, a_piError, a_u32Milliseconds, nullptr, nullptr);
}

bool COsSocket::HasData() {
  SOCKET_IMPL_OR(false);
  return m_possocketimpl->HasData();
}

EOSSTS COsSocket::CancelSelect() {
  SOCKET_IMPL_OR(OS_STS_FAIL);
  return m_possocketimpl->CancelSelect();
}

EOSSTS COsSocket::SetBufferSizes(int a_iSendBytes, int a_iReceiveBytes) {
  SOCKET_IMPL_OR(OS_STS_FAIL);
  return m_possocketimpl->SetBufferSizes(a_iSendBytes, a_iReceiveBytes);
}

EOSSTS COsSocket::SetRetry(int64_t a_i64Retry) {
  SOCKET_IMPL_OR(OS_STS_FAIL);
  m_possocketimpl->SetRetry(a_i64Retry);
  return OS_STS_SUCCESS;
}

int64_t COsSocket::GetRetry() {
  SOCKET_IMPL_OR(0);
  return m_possocketimpl->GetRetry();
}

EOSSTS COsSocket::SetSleepTime(int64_t a_i64Milliseconds) {
  SOCKET_IMPL_OR(OS_STS_FAIL);
  m_possocketimpl->SetSleepTime(a_i64Milliseconds);
  return OS_STS_SUCCESS;
}

int64_t COsSocket::GetSleepTime() {
  SOCKET_IMPL_OR(0);
  return m_possocketimpl->GetSleepTime();
}

EOSSTS COsSocket::Close() {
  if (!m_possocketimpl) return OS_STS_SUCCESS;
  m_possocketimpl->Close();
  OsMemDelete(m_possocketimpl);
  return OS_STS_SUCCESS;
}
