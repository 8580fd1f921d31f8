#include "os_cossync.h"

#include <sched.h>

#include <new>

#include "os_coslog.h"
#include "os_cossyncimpl.h"
#include "os_cosstring.h"

namespace {
void volatile* const kFree = nullptr;
void volatile* const kTaken = reinterpret_cast<void volatile*>(1);

bool TryTake(void volatile** a_ppvWord) {
  void volatile* expected = kFree;
  return __atomic_compare_exchange_n(a_ppvWord, &expected, kTaken, false, __ATOMIC_ACQUIRE, __ATOMIC_RELAXED);
}
}  // namespace

#define SYNC_IMPL_OR(result)                              \
  do {                                                    \
    if (!m_possyncimpl) {                                 \
      OsLog(OS_LOG_ASSERT, "sync>>> m_possyncimpl is null..."); \
      return result;                                      \
    }                                                     \
  } while (0)

void COsSync::SpinLock(void volatile** a_ppvWord) {
  if (!a_ppvWord) return;
  while (!TryTake(a_ppvWord)) sched_yield();
}

EOSSTS COsSync::SpinLockNoWait(void volatile** a_ppvWord) {
  if (!a_ppvWord) return OS_STS_BAD_ARGUMENT;
  return TryTake(a_ppvWord) ? OS_STS_SUCCESS : OS_STS_BUSY;
}

void COsSync::SpinUnlock(void volatile** a_ppvWord) {
  if (!a_ppvWord) return;
  __atomic_store_n(a_ppvWord, kFree, __ATOMIC_RELEASE);
}

COsSync::COsSync() : m_possyncimpl(new (std::nothrow) COsSyncImpl) {
  if (m_possyncimpl) {
    OsLogDebug(OS_LOG_MEM, "mem>>> addr:%p  size:%7d  new %s", static_cast<void*>(m_possyncimpl),
               static_cast<int>(sizeof(COsSyncImpl)), "COsSyncImpl");
  }
}

COsSync::~COsSync() {
  if (!m_possyncimpl) return;
  OsLogDebug(OS_LOG_MEM, "mem>>> addr:%p delete-object", static_cast<void*>(m_possyncimpl));
  m_possyncimpl->Close();
  delete m_possyncimpl;
  m_possyncimpl = nullptr;
}

EOSSTS COsSync::EventCreate(const char* a_szName, const char* a_szGroup, bool a_blFresh) {
  SYNC_IMPL_OR(OS_STS_FAIL);
  return m_possyncimpl->Create(OS_SYNCTYPE_EVENT, a_szName, a_szGroup, a_blFresh);
}

EOSSTS COsSync::EventCreateNew(const char* a_szName) {
  SYNC_IMPL_OR(OS_STS_FAIL);
  return m_possyncimpl->CreateNew(OS_SYNCTYPE_EVENT, a_szName);
}

EOSSTS COsSync::MutexCreate(const char* a_szName, const char* a_szGroup) {
  SYNC_IMPL_OR(OS_STS_FAIL);
  return m_possyncimpl->Create(OS_SYNCTYPE_MUTEX, a_szName, a_szGroup, false);
}

EOSSTS COsSync::EventOpen(const char* a_szName) {
  SYNC_IMPL_OR(OS_STS_FAIL);
  return m_possyncimpl->Open(OS_SYNCTYPE_EVENT, a_szName);
}

EOSSTS COsSync::MutexOpen(const char* a_szName) {
  SYNC_IMPL_OR(OS_STS_FAIL);
  return m_possyncimpl->Open(OS_SYNCTYPE_MUTEX, a_szName);
}

EOSSTS COsSync::EventWait(uint32_t a_u32Milliseconds, char* a_szName, size_t a_sizetName) {
  SYNC_IMPL_OR(OS_STS_FAIL);
  if (m_possyncimpl->GetType() != OS_SYNCTYPE_EVENT) return OS_STS_FAIL;
  return m_possyncimpl->Wait(a_u32Milliseconds, a_szName, a_sizetName);
}

EOSSTS COsSync::MutexClaim(uint32_t a_u32Milliseconds, char* a_szName, size_t a_sizetName) {
  SYNC_IMPL_OR(OS_STS_FAIL);
  if (m_possyncimpl->GetType() != OS_SYNCTYPE_MUTEX) {
    OsLog(OS_LOG_ASSERT, "sync>>> sync type isn't a mutex...%d", static_cast<int>(m_possyncimpl->GetType()));
    return OS_STS_FAIL;
  }
  return m_possyncimpl->Wait(a_u32Milliseconds, a_szName, a_sizetName);
}

EOSSTS COsSync::EventSet() {
  SYNC_IMPL_OR(OS_STS_FAIL);
  return m_possyncimpl->Set();
}

void COsSync::EventReset() {
  SYNC_IMPL_OR();
  m_possyncimpl->Reset();
}

void COsSync::MutexRelease(const char* a_szName) {
  SYNC_IMPL_OR();
  m_possyncimpl->Release(a_szName);
}

void COsSync::EventClose() {
  SYNC_IMPL_OR();
  EOSSYNCTYPE eossynctype = m_possyncimpl->GetType();
  if (eossynctype == OS_SYNCTYPE_UNDEFINED) return;
  if (eossynctype != OS_SYNCTYPE_EVENT) {
    OsLog(OS_LOG_ASSERT, "sync>>> not an event...%d", static_cast<int>(eossynctype));
    return;
  }
  m_possyncimpl->Close();
}

void COsSync::MutexClose() {
  SYNC_IMPL_OR();
  EOSSYNCTYPE eossynctype = m_possyncimpl->GetType();
  if (eossynctype == OS_SYNCTYPE_UNDEFINED) return;
  if (eossynctype != OS_SYNCTYPE_MUTEX) {
    OsLog(OS_LOG_ASSERT, "sync>>> sync type isn't a mutex...%d", static_cast<int>(eossynctype));
    return;
  }
  m_possyncimpl->Close();
}

EOSSTS COsSync::EventIncludeProcessId(uint64_t a_u64ProcessId, uint64_t) {
  SYNC_IMPL_OR(OS_STS_FAIL);
  if (m_possyncimpl->GetType() != OS_SYNCTYPE_EVENT) {
    OsLog(OS_LOG_ASSERT, "sync>>> sync type isn't an event...%d", static_cast<int>(m_possyncimpl->GetType()));
    return OS_STS_FAIL;
  }
  return m_possyncimpl->IncludeProcessId(a_u64ProcessId);
}

EOSSTS COsSync::MutexIncludeProcessId(uint64_t a_u64ProcessId, uint64_t) {
  SYNC_IMPL_OR(OS_STS_FAIL);
  if (m_possyncimpl->GetType() != OS_SYNCTYPE_MUTEX) {
    OsLog(OS_LOG_ASSERT, "sync>>> sync type isn't a mutex...%d", static_cast<int>(m_possyncimpl->GetType()));
    return OS_STS_FAIL;
  }
  return m_possyncimpl->IncludeProcessId(a_u64ProcessId);
}

EOSSTS COsSync::SimpleEventOpen(const char* a_szName, bool a_blCreate) {
  SYNC_IMPL_OR(OS_STS_FAIL);
  if ((!a_szName && !a_blCreate) || (a_szName && !*a_szName)) {
    OsLog(OS_LOG_ASSERT, "bad argument...");
    return OS_STS_FAIL;
  }
  if (a_blCreate) return EventCreate(a_szName, nullptr, true);
  return EventOpen(a_szName);
}

EOSSTS COsSync::SimpleEventWait(uint32_t a_u32Milliseconds) { return EventWait(a_u32Milliseconds, nullptr, 0); }

void COsSync::SimpleEventSet() { EventSet(); }

void COsSync::SimpleEventReset() { EventReset(); }

void COsSync::SimpleEventClose() { EventClose(); }

EOSSYNCTYPE COsSync::GetType() {
  SYNC_IMPL_OR(OS_SYNCTYPE_UNDEFINED);
  return m_possyncimpl->GetType();
}

EOSSTS COsSync::GetName(char* a_szName, size_t a_sizetName) {
  SYNC_IMPL_OR(OS_STS_FAIL);
  if (!a_szName) {
    OsLog(OS_LOG_ASSERT, "sync>>> a_szName is null...");
    return OS_STS_BAD_ARGUMENT;
  }
  COsString::SStrCpy(a_szName, a_sizetName, m_possyncimpl->GetName());
  return OS_STS_SUCCESS;
}

EOSSTS COsSync::GetGroup(char* a_szGroup, size_t a_sizetGroup) {
  SYNC_IMPL_OR(OS_STS_FAIL);
  if (!a_szGroup) {
    OsLog(OS_LOG_ASSERT, "sync>>> a_szGroup is null...");
    return OS_STS_BAD_ARGUMENT;
  }
  COsString::SStrCpy(a_szGroup, a_sizetGroup, m_possyncimpl->GetGroup());
  return OS_STS_SUCCESS;
}

void* COsSync::EventGetNativeHandle() {
  SYNC_IMPL_OR(nullptr);
  return nullptr;
}

void COsSync::Dump() {
  SYNC_IMPL_OR();
  m_possyncimpl->Dump();
}

void COsSync::DumpShare(const char* a_szLabel) {
  SYNC_IMPL_OR();
  m_possyncimpl->DumpShare(a_szLabel);
}

void COsSync::SetFallbackDirectory(const char* a_szDirectory) { COsSyncImpl::SetFallbackDirectory(a_szDirectory); }
void COsSync::RemoveStaleEvents() { COsSyncImpl::RemoveStaleEvents(); }
