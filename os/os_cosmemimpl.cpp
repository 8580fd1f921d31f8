// Tracking table, counters and the heap, page, external and per-thread
// blocks of the memory service.
#include "os_cosmemimpl.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstddef>
#include <cstring>

#include "os_cosstring.h"
#include "os_costhread.h"

namespace {
constexpr long kNotOwned = 0x8000;
const char* const s_aszTypeName[] = {"undefined", "malloc", "globalalloc", "virtual",
                                     "memorymap", "external", "dsm", "last"};
const char s_szTypeLetter[] = ".mgvfed.";
}  // namespace

char OsMemTypeLetter(uint32_t a_u32Type) { return a_u32Type < OS_MEMTYPE_LAST ? s_szTypeLetter[a_u32Type] : '.'; }

const char* OsMemTypeName(uint32_t a_u32Type) {
  return a_u32Type <= OS_MEMTYPE_LAST ? s_aszTypeName[a_u32Type] : nullptr;
}

COsMemImpl::COsMemImpl(EOSMEMMETHOD a_eosmemmethod, long a_lTracking)
    : m_eosmemmethod(a_eosmemmethod),
      m_i64AllocCount(0),
      m_i64CurrentCount(0),
      m_u64CurrentBytes(0),
      m_u64PeakBytes(0),
      m_i64FreeCount(0),
      m_lTracking(a_lTracking),
      m_apvKey(),
      m_aosmeminfo(),
      m_aiIndex(),
      m_abNamed(),
      m_iFreeHint(0),
      m_u64PageSize(static_cast<uint64_t>(sysconf(_SC_PAGESIZE))),
      m_pvLock(nullptr),
      m_eossharedmode(OS_SHAREDMODE_UNDEFINED),
      m_pfnalloc(nullptr),
      m_pfnfree(nullptr),
      m_pfnlock(nullptr),
      m_pfnunlock(nullptr) {}

// Blocks still in the table stay where they are: their owners may still use them.
COsMemImpl::~COsMemImpl() {}

// ---------------------------------------------------------------- table

size_t COsMemImpl::IndexHash(const void* a_pvAddress) {
  uint64_t u64 = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(a_pvAddress));
  u64 ^= u64 >> 33;
  u64 *= 0xff51afd7ed558ccdULL;
  u64 ^= u64 >> 33;
  return static_cast<size_t>(u64) & (kIndex - 1);
}

void COsMemImpl::IndexInsert(int a_iSlot) {
  size_t h = IndexHash(m_apvKey[a_iSlot]);
  while (m_aiIndex[h]) h = (h + 1) & (kIndex - 1);
  m_aiIndex[h] = static_cast<int16_t>(a_iSlot + 1);
}

// Removes the slot's entry (its key still set) and shifts the entries that
// follow it back, so that no probe run is broken.
void COsMemImpl::IndexErase(int a_iSlot) {
  size_t i = IndexHash(m_apvKey[a_iSlot]);
  while (m_aiIndex[i] && m_aiIndex[i] != a_iSlot + 1) i = (i + 1) & (kIndex - 1);
  if (!m_aiIndex[i]) return;
  m_aiIndex[i] = 0;
  for (size_t j = (i + 1) & (kIndex - 1); m_aiIndex[j]; j = (j + 1) & (kIndex - 1)) {
    size_t k = IndexHash(m_apvKey[m_aiIndex[j] - 1]);
    bool blStays = i <= j ? (i < k && k <= j) : (i < k || k <= j);
    if (blStays) continue;
    m_aiIndex[i] = m_aiIndex[j];
    m_aiIndex[j] = 0;
    i = j;
  }
}

// The first free slot (slot 0 first).
OsMemInfo* COsMemImpl::TrackAdd(void* a_pvAddress) {
  for (int i = m_iFreeHint; i < kSlots; ++i) {
    if (!m_apvKey[i]) {
      m_iFreeHint = i + 1;
      m_apvKey[i] = a_pvAddress;
      IndexInsert(i);
      OsMemInfo* posmeminfo = &m_aosmeminfo[i];
      std::memset(posmeminfo, 0, sizeof(*posmeminfo));
      posmeminfo->pvAddress = a_pvAddress;
      return posmeminfo;
    }
  }
  m_iFreeHint = kSlots;
  OsLog(OS_LOG_ASSERT, "mem>>> No free slots...");
  return nullptr;
}

void COsMemImpl::TrackRemove(OsMemInfo* a_posmeminfo) {
  if (!a_posmeminfo) {
    OsLog(OS_LOG_ASSERT, "mem>>> Failed to find address...");
    return;
  }
  int iSlot = SlotOf(a_posmeminfo);
  if (m_apvKey[iSlot]) IndexErase(iSlot);
  std::memset(a_posmeminfo, 0, sizeof(*a_posmeminfo));
  m_apvKey[iSlot] = nullptr;
  m_abNamed[iSlot] = 0;
  if (iSlot < m_iFreeHint) m_iFreeHint = iSlot;
}

OsMemInfo* COsMemImpl::TrackFind(const void* a_pvAddress) {
  if (!a_pvAddress) return nullptr;
  for (size_t h = IndexHash(a_pvAddress); m_aiIndex[h]; h = (h + 1) & (kIndex - 1))
    if (m_apvKey[m_aiIndex[h] - 1] == a_pvAddress) return &m_aosmeminfo[m_aiIndex[h] - 1];
  return nullptr;
}

OsMemInfo* COsMemImpl::TrackFindName(const char* a_szName) {
  if (!*a_szName) {  // an unnamed record matches the empty name
    for (int i = 0; i < kSlots; ++i)
      if (m_apvKey[i] && !m_abNamed[i]) return &m_aosmeminfo[i];
    return nullptr;
  }
  for (int i = 0; i < kSlots; ++i)
    if (m_abNamed[i] && std::strcmp(m_aosmeminfo[i].szName, a_szName) == 0) return &m_aosmeminfo[i];
  return nullptr;
}

OsMemInfo* COsMemImpl::TrackFindFragment(const char* a_szText, int* a_piCursor) {
  for (int i = *a_piCursor < 0 ? 0 : *a_piCursor; i < kSlots; ++i) {
    if (m_abNamed[i] && std::strstr(m_aosmeminfo[i].szName, a_szText)) {
      *a_piCursor = i;
      return &m_aosmeminfo[i];
    }
  }
  *a_piCursor = kSlots;
  return nullptr;
}

void COsMemImpl::TrackSetName(OsMemInfo* a_posmeminfo, const char* a_szName) {
  COsString::SStrCpy(a_posmeminfo->szName, sizeof(a_posmeminfo->szName), a_szName);
  m_abNamed[SlotOf(a_posmeminfo)] = a_posmeminfo->szName[0] != '\0';
}

void COsMemImpl::TrackRekey(OsMemInfo* a_posmeminfo, void* a_pvAddress) {
  int iSlot = SlotOf(a_posmeminfo);
  IndexErase(iSlot);
  m_apvKey[iSlot] = a_pvAddress;
  a_posmeminfo->pvAddress = a_pvAddress;
  IndexInsert(iSlot);
}

void COsMemImpl::KeepUntracked(void* a_pvMem, uint32_t a_u32Type, uint64_t a_u64Size) {
  try {
    m_untracked[a_pvMem] = Untracked{a_u32Type, a_u64Size};
  } catch (...) {
    // Out of memory for the side list: the block simply stays untracked.
  }
}

bool COsMemImpl::TakeUntracked(void* a_pvMem, Untracked* a_puntracked) {
  auto it = m_untracked.find(a_pvMem);
  if (it == m_untracked.end()) return false;
  *a_puntracked = it->second;
  m_untracked.erase(it);
  return true;
}

void COsMemImpl::LogCounters(const char* a_szFile, long a_lLine, long a_eoslogflag, char a_cLetter,
                             const char* a_szHead, const void* a_pvMem, uint64_t a_u64Size,
                             const char* a_szTailPrefix, const char* a_szTail) {
  OsMemLogAt(a_szFile, a_lLine, a_eoslogflag,
             "mem>>> %c%s AD:%p   SZ:%-9d  AC:%-6d  FC:%-6d  CC:%-6d  CB:%-9llu  PB:%-9llu%s%s", a_cLetter, a_szHead,
             a_pvMem, static_cast<int>(a_u64Size), static_cast<int>(m_i64AllocCount),
             static_cast<int>(m_i64FreeCount), static_cast<int>(m_i64CurrentCount),
             static_cast<unsigned long long>(m_u64CurrentBytes), static_cast<unsigned long long>(m_u64PeakBytes),
             a_szTailPrefix, a_szTail ? a_szTail : "");
}

// ---------------------------------------------------------------- heap

// Gets the memory of one allocation; *a_psizetBytes becomes the block's
// final size.
void* COsMemImpl::ObtainBlock(size_t* a_psizetBytes, long a_eoslogflag, uint32_t* a_pu32Type) {
  bool blNotOwned = (a_eoslogflag & kNotOwned) != 0;
  if (blNotOwned && m_pfnalloc) {
    if (*a_psizetBytes > UINT32_MAX) {
      OsLog(OS_LOG_ASSERT, "mem>>> a_sizetBytes is too large...%llu", static_cast<unsigned long long>(*a_psizetBytes));
      return nullptr;
    }
    *a_pu32Type = static_cast<uint32_t>(m_eosmemmethod);
    void* pv = m_pfnalloc(static_cast<uint32_t>(*a_psizetBytes));
    if (pv) std::memset(pv, 0, *a_psizetBytes);
    return pv;
  }
  // Memory handed to another module is always a heap block: its new owner
  // gives it back to the heap, which a page mapping would not survive.
  if (!blNotOwned && a_eoslogflag == OS_LOG_MEMVIRTUAL) {
    uint64_t u64Pages = (*a_psizetBytes + m_u64PageSize - 1) / m_u64PageSize;
    if (u64Pages == 0) u64Pages = 1;
    size_t sizetBytes = static_cast<size_t>(u64Pages * m_u64PageSize);
    void* pv = mmap(nullptr, sizetBytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (pv == MAP_FAILED) return nullptr;
    *a_psizetBytes = sizetBytes;
    *a_pu32Type = OS_MEMTYPE_VIRTUAL;
    return pv;  // anonymous pages come zero-filled
  }
  if (m_eosmemmethod != OS_MEM_METHOD_MALLOC && m_eosmemmethod != OS_MEM_METHOD_GLOBALALLOC) {
    OsLog(OS_LOG_ASSERT, "mem>>> Unrecognized method...%d", static_cast<int>(m_eosmemmethod));
    return nullptr;
  }
  if (*a_psizetBytes > SIZE_MAX - 128) return nullptr;
  *a_psizetBytes += 64;
  // calloc keeps the 16-byte alignment of the heap and skips the clearing
  // for fresh pages, which the large blocks (buffers written at once) get.
  static_assert(alignof(std::max_align_t) >= 16, "heap blocks must keep 16-byte alignment");
  void* pv = std::calloc(1, *a_psizetBytes);
  if (!pv) return nullptr;
  *a_pu32Type = static_cast<uint32_t>(m_eosmemmethod);
  return pv;
}

void* COsMemImpl::Alloc(size_t a_sizetBytes, const char* a_szFile, long a_lLine, long a_eoslogflag, bool a_blLock,
                        const char* a_szName) {
  if (!a_szName) a_szName = "";
  if (a_sizetBytes == 0) {
    OsLog(OS_LOG_ASSERT, "mem>>> a_sizetBytes is 0...");
    OsMemLogAt(a_szFile, a_lLine, OS_LOG_ERROR, "mem>>> Error occurred here (we're going to keep going)...");
  }
  bool blNotOwned = (a_eoslogflag & kNotOwned) != 0;
  if (a_blLock) TakeLock();
  ++m_i64AllocCount;
  ++m_i64CurrentCount;
  size_t sizetBytes = a_sizetBytes;
  uint32_t u32Type = OS_MEMTYPE_UNDEFINED;
  void* pv = ObtainBlock(&sizetBytes, a_eoslogflag, &u32Type);
  if (pv) {
    // Memory handed over at once never enters the table.
    if (!blNotOwned) {
      OsMemInfo* posmeminfo = TrackAdd(pv);
      if (posmeminfo) {
        posmeminfo->u32Type = u32Type;
        posmeminfo->u64Size = sizetBytes;
        posmeminfo->u64View = sizetBytes;
      } else {
        OsLog(OS_LOG_ASSERT, "mem>>> memory manager failed to allocate...");
        KeepUntracked(pv, u32Type, sizetBytes);
      }
    }
    m_u64CurrentBytes += sizetBytes;
    if (m_u64CurrentBytes > m_u64PeakBytes) m_u64PeakBytes = m_u64CurrentBytes;
    char cLetter = OsMemTypeLetter(u32Type);
    if (OsMemIsDebug()) LogCounters(a_szFile, a_lLine, a_eoslogflag, cLetter, "+  ", pv, sizetBytes, "  FN:", a_szName);
    if (blNotOwned) {
      ++m_i64FreeCount;
      --m_i64CurrentCount;
      m_u64CurrentBytes -= sizetBytes;
      if (OsMemIsDebug())
        LogCounters(a_szFile, a_lLine, a_eoslogflag, cLetter, "-* ", pv, sizetBytes, "  FN:", a_szName);
    }
  } else {
    // Nothing was added: the counters go back.
    --m_i64AllocCount;
    --m_i64CurrentCount;
    OsMemLogAt(a_szFile, a_lLine, OS_LOG_ASSERT, "mem>>> Error occurred here...");
    DumpLocked(nullptr);
    DumpSystem("PmxMemCrash.txt");
  }
  if (a_blLock) GiveLock();
  return pv;
}

void COsMemImpl::ReleaseBlock(void* a_pvMem, uint32_t a_u32Type, uint64_t a_u64Size, const char*, long) {
  switch (a_u32Type) {
    case OS_MEMTYPE_MALLOC:
    case OS_MEMTYPE_GLOBALALLOC:
      std::free(a_pvMem);
      break;
    case OS_MEMTYPE_VIRTUAL:
      if (munmap(a_pvMem, static_cast<size_t>(a_u64Size)) != 0) OsLog(OS_LOG_ASSERT, "mem>>> munmap failed...%p", a_pvMem);
      break;
    case OS_MEMTYPE_EXTERNAL:
      break;
    case OS_MEMTYPE_DSM:
      if (m_pfnfree)
        m_pfnfree(a_pvMem);
      else
        OsLog(OS_LOG_ASSERT, "m_pfnfree is null...");
      break;
    default:
      OsLog(OS_LOG_ASSERT, "mem>>> Unrecognized eosmemtype...%d", static_cast<int>(a_u32Type));
      break;
  }
}

EOSSTS COsMemImpl::Free(void* a_pvMem, const char* a_szFile, long a_lLine, long a_eoslogflag, bool a_blLock) {
  if (!a_pvMem) {
    OsLog(OS_LOG_ASSERT, "mem>>> Attempt to free a NULL value...");
    OsMemLogAt(a_szFile, a_lLine, OS_LOG_ERROR, "mem>>> The error occurred here...");
    return OS_STS_FAIL;
  }
  bool blNotOwned = (a_eoslogflag & kNotOwned) != 0;
  if (blNotOwned && !m_pfnfree) {
    OsLogDebug(OS_LOG_INFO, "mem>>> freeing value given to us by another DLL...%p", a_pvMem);
    std::free(a_pvMem);
    return OS_STS_SUCCESS;
  }
  if (a_blLock) TakeLock();
  EOSSTS eossts = OS_STS_SUCCESS;
  try {
    OsMemInfo* posmeminfo = TrackFind(a_pvMem);
    Untracked untracked{};
    if (posmeminfo) {
      uint32_t u32Type = posmeminfo->u32Type;
      uint64_t u64Size = posmeminfo->u64Size;
      ++m_i64FreeCount;
      --m_i64CurrentCount;
      m_u64CurrentBytes -= u64Size;
      if (OsMemIsDebug())
        LogCounters(a_szFile, a_lLine, a_eoslogflag, OsMemTypeLetter(u32Type), blNotOwned ? "-**" : "-  ", a_pvMem,
                    u64Size, "  FN:", posmeminfo->szName);
      if (u32Type == OS_MEMTYPE_MEMORYMAP && !blNotOwned) ReleaseShared(posmeminfo);
      TrackRemove(posmeminfo);
      if (!blNotOwned && u32Type != OS_MEMTYPE_MEMORYMAP) ReleaseBlock(a_pvMem, u32Type, u64Size, a_szFile, a_lLine);
    } else if (!blNotOwned && TakeUntracked(a_pvMem, &untracked)) {
      // A block the full table could not hold: ours all the same.
      ++m_i64FreeCount;
      --m_i64CurrentCount;
      m_u64CurrentBytes -= untracked.u64Size;
      if (OsMemIsDebug())
        LogCounters(a_szFile, a_lLine, a_eoslogflag, OsMemTypeLetter(untracked.u32Type), "-  ", a_pvMem,
                    untracked.u64Size, "  FN:", "");
      ReleaseBlock(a_pvMem, untracked.u32Type, untracked.u64Size, a_szFile, a_lLine);
    } else {
      OsLog(OS_LOG_ASSERT, "mem>>> Can't find managed item...%p", a_pvMem);
      OsMemLogAt(a_szFile, a_lLine, OS_LOG_ERROR, "mem>>> The error occurred here...");
      eossts = OS_STS_FAIL;
    }
  } catch (...) {
    OsLog(OS_LOG_ASSERT, "mem>>> Exception thrown during free...");
    OsMemLogAt(a_szFile, a_lLine, OS_LOG_ERROR, "mem>>> The error occurred here...");
    eossts = OS_STS_FAIL;
  }
  if (a_blLock) GiveLock();
  return eossts;
}

EOSSTS COsMemImpl::FreeNotOwner(void* a_pvMem, const char* a_szFile, long a_lLine, long) {
  OsLogDebug(OS_LOG_INFO, "mem>>> x   AD:%p ", a_pvMem);
  if (!a_pvMem) {
    OsLog(OS_LOG_ASSERT, "mem>>> Attempt to free a NULL value...");
    OsMemLogAt(a_szFile, a_lLine, OS_LOG_ERROR, "mem>>> The error occurred here...");
    return OS_STS_FAIL;
  }
  try {
    if (m_pfnfree)
      m_pfnfree(a_pvMem);
    else
      std::free(a_pvMem);
  } catch (...) {
    OsLog(OS_LOG_ASSERT, "mem>>> Exception thrown during free...");
    OsMemLogAt(a_szFile, a_lLine, OS_LOG_ERROR, "mem>>> The error occurred here...");
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------- per-thread blocks

namespace {
const char* ThreadSafeRefusal(const char* a_szName, uint64_t a_u64Bytes, long a_eoslogflag) {
  if (!a_szName || !*a_szName) return "mem>>> a_szName is null or an empty string...";
  if (a_u64Bytes == 0) return "mem>>> a_u64Bytes is 0...";
  if (a_u64Bytes > SIZE_MAX / 2) return "mem>>> a_u64Bytes is too large...";
  if (a_eoslogflag != OS_LOG_MEM && a_eoslogflag != OS_LOG_MEMVIRTUAL)
    return "mem>>> a_eoslogflag must be normal or virtual...";
  if (std::strchr(a_szName, ':')) return "mem>>> thread-safe names can't have colons in them...";
  return nullptr;
}
}  // namespace

void* COsMemImpl::ThreadSafeAlloc(const char* a_szName, uint64_t a_u64Bytes, const char* a_szFile, long a_lLine,
                                  long a_eoslogflag) {
  const char* szRefusal = ThreadSafeRefusal(a_szName, a_u64Bytes, a_eoslogflag);
  // The tracking name carries the thread id; a cut name would lose it.
  char szTrack[64];
  if (!szRefusal &&
      COsString::SStrPrintf(szTrack, sizeof(szTrack), ":%s:%llx:", a_szName,
                            static_cast<unsigned long long>(COsThread::GetThreadId())) < 0)
    szRefusal = "mem>>> thread-safe name is too long...";
  if (szRefusal) {
    OsLog(OS_LOG_ASSERT, "%s", szRefusal);
    OsMemLogAt(a_szFile, a_lLine, OS_LOG_ERROR, "mem>>> Error occurred here...");
    return nullptr;
  }
  TakeLock();
  int iCursor = 0;
  OsMemInfo* posmeminfoOld = TrackFindFragment(szTrack, &iCursor);
  while (posmeminfoOld && posmeminfoOld->u32Type == OS_MEMTYPE_MEMORYMAP) {
    ++iCursor;
    posmeminfoOld = TrackFindFragment(szTrack, &iCursor);
  }
  // A heap block holds 64 bytes beyond its request, a page block only its
  // whole pages: either is kept while it holds the request.
  uint64_t u64Need = a_u64Bytes + 64;
  if (posmeminfoOld && posmeminfoOld->u32Type == OS_MEMTYPE_VIRTUAL) u64Need = a_u64Bytes;
  if (posmeminfoOld && posmeminfoOld->u64Size >= u64Need) {
    void* pvOld = posmeminfoOld->pvAddress;
    GiveLock();
    return pvOld;
  }
  void* pvNew = Alloc(static_cast<size_t>(a_u64Bytes), a_szFile, a_lLine, a_eoslogflag, false, szTrack);
  OsMemInfo* posmeminfoNew = pvNew ? TrackFind(pvNew) : nullptr;
  if (!pvNew) {
    OsLog(OS_LOG_ASSERT, "Alloc failed...");
  } else if (!posmeminfoNew) {
    // An unnamed block could never be found or swept again: give it back
    // and keep the old one.
    OsLog(OS_LOG_ASSERT, "Manage failed while trying to grow thread-safe memory...");
    Free(pvNew, a_szFile, a_lLine, a_eoslogflag, false);
    pvNew = nullptr;
  } else {
    if (posmeminfoOld) {
      void* pvOld = posmeminfoOld->pvAddress;
      uint64_t u64Copy = posmeminfoOld->u64Size;
      if (u64Copy > posmeminfoNew->u64Size) u64Copy = posmeminfoNew->u64Size;
      std::memcpy(pvNew, pvOld, static_cast<size_t>(u64Copy));
      Free(pvOld, a_szFile, a_lLine, a_eoslogflag, false);
    }
    TrackSetName(posmeminfoNew, szTrack);
  }
  GiveLock();
  return pvNew;
}

EOSSTS COsMemImpl::ThreadSafeFree(const char* a_szName, const char* a_szFile, long a_lLine, long a_eoslogflag) {
  if (a_szName && std::strchr(a_szName, ':')) {
    OsLog(OS_LOG_ASSERT, "mem>>> thread-safe names can't have colons in them...");
    OsMemLogAt(a_szFile, a_lLine, OS_LOG_ERROR, "mem>>> Error occurred here...");
    return OS_STS_FAIL;
  }
  long eoslogflag = a_eoslogflag & ~kNotOwned;
  TakeLock();
  char szFragment[600];
  int iFragment = 0;
  if (a_szName && *a_szName) iFragment = COsString::SStrPrintf(szFragment, sizeof(szFragment), ":%s:", a_szName);
  if (iFragment > 0) {
    for (int iCursor = 0;; ++iCursor) {
      OsMemInfo* posmeminfo = TrackFindFragment(szFragment, &iCursor);
      if (!posmeminfo) break;
      // The name stands first: ":b:a:" is the block "b" of thread 0xa, not a block "a".
      if (posmeminfo->u32Type != OS_MEMTYPE_MEMORYMAP &&
          std::strncmp(posmeminfo->szName, szFragment, static_cast<size_t>(iFragment)) == 0)
        Free(posmeminfo->pvAddress, a_szFile, a_lLine, eoslogflag, false);
    }
  }
  // Sweep: blocks whose thread has ended.
  for (int i = 0; i < kSlots; ++i) {
    OsMemInfo* posmeminfo = &m_aosmeminfo[i];
    if (!m_abNamed[i] || posmeminfo->szName[0] != ':' || posmeminfo->u32Type == OS_MEMTYPE_MEMORYMAP) continue;
    const char* szSecond = std::strchr(posmeminfo->szName + 1, ':');
    if (!szSecond) continue;
    uint64_t u64Thread = std::strtoull(szSecond + 1, nullptr, 16);
    if (u64Thread != 0 && !COsThread::IsThreadRunning(u64Thread))
      Free(posmeminfo->pvAddress, a_szFile, a_lLine, eoslogflag, false);
  }
  GiveLock();
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------- external, access, foreign

EOSSTS COsMemImpl::AddExternal(void* a_pvMem, size_t a_sizetSize) {
  if (!a_pvMem) {
    OsLog(OS_LOG_ASSERT, "mem>>> a_pvMem is NULL...");
    return OS_STS_FAIL;
  }
  TakeLock();
  // A second record for one address would make its release ambiguous.
  if (TrackFind(a_pvMem)) {
    GiveLock();
    OsLog(OS_LOG_ASSERT, "mem>>> address is already managed...<%p>", a_pvMem);
    return OS_STS_FAIL;
  }
  OsMemInfo* posmeminfo = TrackAdd(a_pvMem);
  if (!posmeminfo) {
    GiveLock();
    OsLog(OS_LOG_ASSERT, "mem>>> Manage failed...<%p>", a_pvMem);
    return OS_STS_FAIL;
  }
  ++m_i64AllocCount;
  ++m_i64CurrentCount;
  posmeminfo->u32Type = OS_MEMTYPE_EXTERNAL;
  posmeminfo->u64Size = a_sizetSize;
  posmeminfo->u64View = a_sizetSize;
  m_u64CurrentBytes += a_sizetSize;
  if (OsMemIsDebug())
    OsLog(OS_LOG_MEMVIRTUAL, "mem>>> e+   AD:%p   SZ:%-9d  AC:%-6d  FC:%-6d  CC:%-6d  CB:%-9llu  PB:%-9llu", a_pvMem,
          static_cast<int>(a_sizetSize), static_cast<int>(m_i64AllocCount), static_cast<int>(m_i64FreeCount),
          static_cast<int>(m_i64CurrentCount), static_cast<unsigned long long>(m_u64CurrentBytes),
          static_cast<unsigned long long>(m_u64PeakBytes));
  GiveLock();
  return OS_STS_SUCCESS;
}

EOSSTS COsMemImpl::SetAccess(void* a_pvMem, EOSMEMACCESS a_eosmemaccess) {
  TakeLock();
  EOSSTS eossts = OS_STS_FAIL;
  OsMemInfo* posmeminfo = TrackFind(a_pvMem);
  if (!posmeminfo) {
    OsLog(OS_LOG_ASSERT, "mem>>> SetAccess on unmanaged handle...");
  } else if (posmeminfo->u32Type != OS_MEMTYPE_VIRTUAL) {
    OsLog(OS_LOG_ASSERT, "mem>>> Unrecognized memtype...%d", static_cast<int>(posmeminfo->u32Type));
  } else if (a_eosmemaccess != OS_MEMACCESS_READONLY && a_eosmemaccess != OS_MEMACCESS_READWRITE) {
    OsLog(OS_LOG_ASSERT, "mem>>> Unrecognized a_eosmemaccess...%d", static_cast<int>(a_eosmemaccess));
  } else {
    int iProt = a_eosmemaccess == OS_MEMACCESS_READONLY ? PROT_READ : PROT_READ | PROT_WRITE;
    if (mprotect(a_pvMem, static_cast<size_t>(posmeminfo->u64Size), iProt) != 0)
      OsLog(OS_LOG_ASSERT, "mem>>> mprotect failed...");
    else
      eossts = OS_STS_SUCCESS;
  }
  GiveLock();
  return eossts;
}

EOSSTS COsMemImpl::RegisterNotOwnerFunctions(PFNOSMEMALLOC a_pfnalloc, PFNOSMEMFREE a_pfnfree,
                                             PFNOSMEMLOCK a_pfnlock, PFNOSMEMUNLOCK a_pfnunlock) {
  if (!a_pfnalloc || !a_pfnfree || !a_pfnlock || !a_pfnunlock) {
    OsLog(OS_LOG_ASSERT, "mem>>> null argument...");
    return OS_STS_FAIL;
  }
  TakeLock();
  m_pfnalloc = a_pfnalloc;
  m_pfnfree = a_pfnfree;
  m_pfnlock = a_pfnlock;
  m_pfnunlock = a_pfnunlock;
  GiveLock();
  return OS_STS_SUCCESS;
}

void* COsMemImpl::Lock(void* a_handle) {
  if (!a_handle) {
    OsLog(OS_LOG_ASSERT, "mem>>> a_handle is null...");
    return nullptr;
  }
  TakeLock();
  void* pv = m_pfnlock ? m_pfnlock(a_handle) : a_handle;
  GiveLock();
  return pv;
}

EOSSTS COsMemImpl::Unlock(void* a_handle) {
  if (!a_handle) {
    OsLog(OS_LOG_ASSERT, "mem>>> a_handle is null...");
    return OS_STS_FAIL;
  }
  TakeLock();
  if (m_pfnunlock) m_pfnunlock(a_handle);
  GiveLock();
  return OS_STS_SUCCESS;
}

EOSSTS COsMemImpl::GetSettings(const char* a_szFile, const void* a_pvMem, OsMemSettings* a_posmemsettings,
                               bool a_blQuiet) {
  if (!a_posmemsettings) {
    OsLog(OS_LOG_ASSERT, "mem>>> a_posmemsettings is NULL...");
    return OS_STS_FAIL;
  }
  std::memset(a_posmemsettings, 0, sizeof(*a_posmemsettings));
  TakeLock();
  OsMemInfo* posmeminfo = a_szFile ? TrackFindName(a_szFile) : TrackFind(a_pvMem);
  if (posmeminfo) {
    a_posmemsettings->u64Slot = static_cast<uint64_t>(SlotOf(posmeminfo));
    a_posmemsettings->pvAddress = posmeminfo->pvAddress;
    a_posmemsettings->u32Type = posmeminfo->u32Type;
    a_posmemsettings->u64Size = posmeminfo->u64Size;
    a_posmemsettings->u64Offset = posmeminfo->u64Offset;
    a_posmemsettings->u64View = posmeminfo->u64View;
    COsString::SStrCpy(a_posmemsettings->szName, sizeof(a_posmemsettings->szName), posmeminfo->szName);
    struct stat st;
    if (posmeminfo->u32Type == OS_MEMTYPE_MEMORYMAP && posmeminfo->pfile && fstat(fileno(posmeminfo->pfile), &st) == 0)
      a_posmemsettings->i64FileSize = static_cast<int64_t>(st.st_size);
  }
  GiveLock();
  if (posmeminfo) return OS_STS_SUCCESS;
  if (a_blQuiet) {
    if (a_szFile)
      OsLogDebug(OS_LOG_INFO, "mem>>> Manage didn't find mapping (this is okay)...<%s>", a_szFile);
    else
      OsLogDebug(OS_LOG_INFO, "mem>>> Manage didn't find mapping (this is okay)...%p", a_pvMem);
  } else {
    if (a_szFile)
      OsLog(OS_LOG_ASSERT, "mem>>> Manage didn't find mapping...<%s>", a_szFile);
    else
      OsLog(OS_LOG_ASSERT, "mem>>> Manage didn't find mapping...%p", a_pvMem);
  }
  return OS_STS_FAIL;
}
