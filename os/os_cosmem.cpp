// The public memory object: checks its implementation and forwards.
#include "os_cosmem.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "os_cosmemimpl.h"

COsMem* g_posmem = nullptr;

#define OSMEM_IMPL_OR(result)                                       \
  do {                                                              \
    if (!m_posmemimpl) {                                            \
      OsLog(OS_LOG_ASSERT, "mem>>> m_posmemimpl is null...");       \
      return result;                                                \
    }                                                               \
  } while (0)

COsMem::COsMem(EOSMEMMETHOD a_eosmemmethod, long a_lTracking) : m_posmemimpl(nullptr) {
  g_posmem = this;
  m_posmemimpl = new (std::nothrow) COsMemImpl(a_eosmemmethod, a_lTracking);
}

COsMem::~COsMem() {
  if (m_posmemimpl && m_posmemimpl->m_lTracking)
    OsLogDebug(OS_LOG_INFO, "mem>>> addr:%p delete-object", static_cast<void*>(m_posmemimpl));
  delete m_posmemimpl;
  m_posmemimpl = nullptr;
  g_posmem = nullptr;
}

uint64_t COsMem::GetPageSize() {
  OSMEM_IMPL_OR(1);
  return m_posmemimpl->PageSize();
}

EOSSTS COsMem::SharedSetMode(EOSSHAREDMODE a_eossharedmode, const char*, long) {
  OSMEM_IMPL_OR(OS_STS_FAIL);
  m_posmemimpl->StoreSharedMode(a_eossharedmode);
  return OS_STS_SUCCESS;
}

EOSSHAREDMODE COsMem::SetSharedMode(EOSSHAREDMODE a_eossharedmode) {
  OSMEM_IMPL_OR(OS_SHAREDMODE_UNDEFINED);
  return m_posmemimpl->SetSharedMode(a_eossharedmode);
}

EOSSTS COsMem::RegisterNotOwnerFunctions(PFNOSMEMALLOC a_pfnalloc, PFNOSMEMFREE a_pfnfree, PFNOSMEMLOCK a_pfnlock,
                                         PFNOSMEMUNLOCK a_pfnunlock) {
  OSMEM_IMPL_OR(OS_STS_FAIL);
  return m_posmemimpl->RegisterNotOwnerFunctions(a_pfnalloc, a_pfnfree, a_pfnlock, a_pfnunlock);
}

void COsMem::CleanRam() {}

void* COsMem::Alloc(size_t a_sizetBytes, const char* a_szFile, long a_lLine, long a_eoslogflag, bool a_blLock,
                    const char* a_szName) {
  OSMEM_IMPL_OR(nullptr);
  return m_posmemimpl->Alloc(a_sizetBytes, a_szFile, a_lLine, a_eoslogflag, a_blLock, a_szName);
}

void* COsMem::AllocNotOwner(size_t a_sizetBytes, const char* a_szFile, long a_lLine, long a_eoslogflag,
                            bool a_blLock, const char* a_szName) {
  OSMEM_IMPL_OR(nullptr);
  return m_posmemimpl->Alloc(a_sizetBytes, a_szFile, a_lLine, a_eoslogflag, a_blLock, a_szName);
}

EOSSTS COsMem::Free(void* a_pvMem, const char* a_szFile, long a_lLine, long a_eoslogflag, bool a_blLock) {
  OSMEM_IMPL_OR(OS_STS_FAIL);
  return m_posmemimpl->Free(a_pvMem, a_szFile, a_lLine, a_eoslogflag, a_blLock);
}

EOSSTS COsMem::FreeNotOwner(void* a_pvMem, const char* a_szFile, long a_lLine, long a_eoslogflag, bool) {
  OSMEM_IMPL_OR(OS_STS_FAIL);
  return m_posmemimpl->FreeNotOwner(a_pvMem, a_szFile, a_lLine, a_eoslogflag);
}

void* COsMem::ThreadSafeAlloc(const char* a_szName, uint64_t a_u64Bytes, const char* a_szFile, long a_lLine,
                              long a_eoslogflag) {
  OSMEM_IMPL_OR(nullptr);
  return m_posmemimpl->ThreadSafeAlloc(a_szName, a_u64Bytes, a_szFile, a_lLine, a_eoslogflag);
}

EOSSTS COsMem::ThreadSafeFree(const char* a_szName, const char* a_szFile, long a_lLine, long a_eoslogflag) {
  OSMEM_IMPL_OR(OS_STS_FAIL);
  return m_posmemimpl->ThreadSafeFree(a_szName, a_szFile, a_lLine, a_eoslogflag);
}

EOSSTS COsMem::AddExternal(void* a_pvMem, size_t a_sizetSize) {
  OSMEM_IMPL_OR(OS_STS_FAIL);
  return m_posmemimpl->AddExternal(a_pvMem, a_sizetSize);
}

EOSSTS COsMem::SetAccess(void* a_pvMem, EOSMEMACCESS a_eosmemaccess) {
  OSMEM_IMPL_OR(OS_STS_FAIL);
  return m_posmemimpl->SetAccess(a_pvMem, a_eosmemaccess);
}

void* COsMem::Lock(void* a_handle) {
  OSMEM_IMPL_OR(nullptr);
  return m_posmemimpl->Lock(a_handle);
}

EOSSTS COsMem::Unlock(void* a_handle) {
  OSMEM_IMPL_OR(OS_STS_FAIL);
  return m_posmemimpl->Unlock(a_handle);
}

void* COsMem::SharedAlloc(EOSSHAREDALLOC a_eossharedalloc, const char* a_szPath, int64_t a_i64Size,
                          int64_t a_i64Offset, int64_t a_i64View, EOSSHAREDLOCK a_eossharedlock, uint32_t a_u32Flags,
                          const char* a_szFile, long a_lLine) {
  OSMEM_IMPL_OR(nullptr);
  return m_posmemimpl->SharedAlloc(a_eossharedalloc, a_szPath, a_i64Size, a_i64Offset, a_i64View, a_eossharedlock,
                                   a_u32Flags, a_szFile, a_lLine);
}

void* COsMem::SharedRemap(void* a_pvMem, int64_t a_i64Offset, int64_t a_i64View, const char* a_szFile, long a_lLine,
                          bool a_blLock) {
  OSMEM_IMPL_OR(nullptr);
  return m_posmemimpl->SharedRemap(a_pvMem, a_i64Offset, a_i64View, a_szFile, a_lLine, a_blLock);
}

EOSSTS COsMem::SharedLock(void* a_pvMem, const char* a_szFile, long a_lLine) {
  OSMEM_IMPL_OR(OS_STS_FAIL);
  return m_posmemimpl->SharedLock(a_pvMem, a_szFile, a_lLine);
}

EOSSTS COsMem::SharedUnlock(void* a_pvMem, const char* a_szFile, long a_lLine) {
  OSMEM_IMPL_OR(OS_STS_FAIL);
  return m_posmemimpl->SharedUnlock(a_pvMem, a_szFile, a_lLine);
}

EOSSTS COsMem::SharedTestLock(void* a_pvMem, const char* a_szFile, long a_lLine) {
  OSMEM_IMPL_OR(OS_STS_FAIL);
  return m_posmemimpl->SharedTestLock(a_pvMem, a_szFile, a_lLine);
}

EOSSTS COsMem::SharedFlush(void* a_pvMem) {
  OSMEM_IMPL_OR(OS_STS_FAIL);
  return m_posmemimpl->SharedFlush(a_pvMem);
}

EOSSTS COsMem::SharedSync(void* a_pvMem) {
  OSMEM_IMPL_OR(OS_STS_FAIL);
  return m_posmemimpl->SharedSync(a_pvMem);
}

EOSSTS COsMem::GetSettings(const char* a_szFile, OsMemSettings* a_posmemsettings, bool a_blQuiet) {
  OSMEM_IMPL_OR(OS_STS_FAIL);
  if (!a_szFile) {
    OsLog(OS_LOG_ASSERT, "mem>>> a_szFile is NULL...");
    return OS_STS_FAIL;
  }
  return m_posmemimpl->GetSettings(a_szFile, nullptr, a_posmemsettings, a_blQuiet);
}

EOSSTS COsMem::GetSettings(const void* a_pvMem, OsMemSettings* a_posmemsettings, bool a_blQuiet) {
  OSMEM_IMPL_OR(OS_STS_FAIL);
  if (!a_pvMem) {
    OsLog(OS_LOG_ASSERT, "mem>>> a_pvMem is NULL...");
    return OS_STS_FAIL;
  }
  return m_posmemimpl->GetSettings(nullptr, a_pvMem, a_posmemsettings, a_blQuiet);
}

EOSSTS COsMem::Dump(const void* a_pvKey) {
  OSMEM_IMPL_OR(OS_STS_FAIL);
  return m_posmemimpl->Dump(a_pvKey);
}

EOSSTS COsMem::DumpSystem(const char* a_szName) {
  OSMEM_IMPL_OR(OS_STS_FAIL);
  return COsMemImpl::DumpSystem(a_szName);
}

EOSSTS COsMem::Validate(const char* a_szFile, long a_lLine) {
  OSMEM_IMPL_OR(OS_STS_FAIL);
  if (g_poslog && (g_poslog->GetDebugLevel() & 0x200))
    OsMemLogAt(a_szFile, a_lLine, OS_LOG_INFO, "mem>>> if validation worked, you'd see a message here...");
  return OS_STS_FAIL;
}

int64_t COsMem::GetBlockCount() {
  OSMEM_IMPL_OR(0);
  return m_posmemimpl->BlockCount();
}

EOSSTS COsMem::GetFreeContiguousList(OsMemList* a_posmemlist) {
  OSMEM_IMPL_OR(OS_STS_FAIL);
  if (!a_posmemlist) {
    OsLog(OS_LOG_ASSERT, "mem>>> a_posmemlist is null...");
    return OS_STS_FAIL;
  }
  std::memset(a_posmemlist, 0, sizeof(*a_posmemlist));
  a_posmemlist->u64Count = 1;
  a_posmemlist->au64Size[0] = 1ULL << 30;
  return OS_STS_SUCCESS;
}

// Nothing calls these; a tracked heap block stands in for a reservation so
// that a release of anything else is refused.
void* COsMem::ReserveVirtualMemory(uint64_t a_u64Size) {
  OSMEM_IMPL_OR(nullptr);
  if (a_u64Size == 0) {
    OsLog(OS_LOG_ASSERT, "a_u64Size is 0...");
    return nullptr;
  }
  return m_posmemimpl->Alloc(static_cast<size_t>(a_u64Size), __FILE__, __LINE__, OS_LOG_MEM, true,
                             "ReserveVirtualMemory");
}

EOSSTS COsMem::ReleaseVirtualMemory(void* a_pvMem) {
  OSMEM_IMPL_OR(OS_STS_FAIL);
  if (!a_pvMem) return OS_STS_SUCCESS;
  return m_posmemimpl->Free(a_pvMem, __FILE__, __LINE__, OS_LOG_MEM, true);
}

namespace {
// Blocks handed out while the memory service is down are plain heap blocks
// the tracker never saw; remember them so that a free after start-up
// releases them instead of refusing them as foreign.
struct UntrackedBlocks {
  std::mutex mutex;
  std::unordered_set<void*> set;
  std::atomic<size_t> count{0};
};

UntrackedBlocks& Untracked() {
  static UntrackedBlocks* s_puntracked = new UntrackedBlocks;  // never destroyed: used during exit
  return *s_puntracked;
}

void RememberUntracked(void* a_pvMem) {
  UntrackedBlocks& untracked = Untracked();
  std::lock_guard<std::mutex> lock(untracked.mutex);
  if (untracked.set.insert(a_pvMem).second) ++untracked.count;
}

bool ForgetUntracked(void* a_pvMem) {
  UntrackedBlocks& untracked = Untracked();
  if (untracked.count.load() == 0) return false;
  std::lock_guard<std::mutex> lock(untracked.mutex);
  if (untracked.set.erase(a_pvMem) == 0) return false;
  --untracked.count;
  return true;
}
}  // namespace

void* OsMemAllocAt(size_t a_sizetBytes, const char* a_szFile, long a_lLine, const char* a_szName) {
  if (OsMemAllocFails(a_sizetBytes)) return nullptr;
  if (g_posmem) return g_posmem->Alloc(a_sizetBytes, a_szFile, a_lLine, OS_LOG_MEM, true, a_szName);
  if (a_sizetBytes > SIZE_MAX - 64) return nullptr;
  // Same shape as a tracked heap block, so a later free() by either path fits.
  void* pvMem = std::calloc(1, a_sizetBytes + 64);
  if (pvMem) RememberUntracked(pvMem);
  return pvMem;
}

EOSSTS OsMemFreeAt(void* a_pvMem, const char* a_szFile, long a_lLine) {
  if (!a_pvMem) return g_posmem ? g_posmem->Free(a_pvMem, a_szFile, a_lLine, OS_LOG_MEM, true) : OS_STS_FAIL;
  if (ForgetUntracked(a_pvMem)) {
    std::free(a_pvMem);
    return OS_STS_SUCCESS;
  }
  if (g_posmem) return g_posmem->Free(a_pvMem, a_szFile, a_lLine, OS_LOG_MEM, true);
  std::free(a_pvMem);
  return OS_STS_SUCCESS;
}
