// Implementation of the memory service: the tracking table and counters,
// guarded by one spin word, and the operations on heap, page, external and
// shared blocks. Only os_cosmem*.cpp include this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>

#include "os_cosmem.h"
#include "os_cossync.h"

class COsMemImpl {
 public:
  static constexpr int kSlots = 1024;

  COsMemImpl(EOSMEMMETHOD a_eosmemmethod, long a_lTracking);
  ~COsMemImpl();

  // Heap, page and foreign blocks (os_cosmemimpl.cpp).
  void* Alloc(size_t a_sizetBytes, const char* a_szFile, long a_lLine, long a_eoslogflag, bool a_blLock,
              const char* a_szName);
  EOSSTS Free(void* a_pvMem, const char* a_szFile, long a_lLine, long a_eoslogflag, bool a_blLock);
  EOSSTS FreeNotOwner(void* a_pvMem, const char* a_szFile, long a_lLine, long a_eoslogflag);
  void* ThreadSafeAlloc(const char* a_szName, uint64_t a_u64Bytes, const char* a_szFile, long a_lLine,
                        long a_eoslogflag);
  EOSSTS ThreadSafeFree(const char* a_szName, const char* a_szFile, long a_lLine, long a_eoslogflag);
  EOSSTS AddExternal(void* a_pvMem, size_t a_sizetSize);
  EOSSTS SetAccess(void* a_pvMem, EOSMEMACCESS a_eosmemaccess);
  EOSSTS RegisterNotOwnerFunctions(PFNOSMEMALLOC a_pfnalloc, PFNOSMEMFREE a_pfnfree, PFNOSMEMLOCK a_pfnlock,
                                   PFNOSMEMUNLOCK a_pfnunlock);
  void* Lock(void* a_handle);
  EOSSTS Unlock(void* a_handle);
  EOSSTS GetSettings(const char* a_szFile, const void* a_pvMem, OsMemSettings* a_posmemsettings, bool a_blQuiet);

  // Shared blocks (os_cosmemshared.cpp).
  void* SharedAlloc(EOSSHAREDALLOC a_eossharedalloc, const char* a_szPath, int64_t a_i64Size, int64_t a_i64Offset,
                    int64_t a_i64View, EOSSHAREDLOCK a_eossharedlock, uint32_t a_u32Flags, const char* a_szFile,
                    long a_lLine);
  void* SharedRemap(void* a_pvMem, int64_t a_i64Offset, int64_t a_i64View, const char* a_szFile, long a_lLine,
                    bool a_blLock);
  EOSSTS SharedLock(void* a_pvMem, const char* a_szFile, long a_lLine);
  EOSSTS SharedUnlock(void* a_pvMem, const char* a_szFile, long a_lLine);
  EOSSTS SharedTestLock(void* a_pvMem, const char* a_szFile, long a_lLine);
  EOSSTS SharedFlush(void* a_pvMem);
  EOSSTS SharedSync(void* a_pvMem);
  EOSSHAREDMODE SetSharedMode(EOSSHAREDMODE a_eossharedmode);
  void StoreSharedMode(EOSSHAREDMODE a_eossharedmode);

  // Diagnostics (os_cosmemdump.cpp).
  EOSSTS Dump(const void* a_pvKey);
  int64_t BlockCount();
  static EOSSTS DumpSystem(const char* a_szName);

  uint64_t PageSize() const { return m_u64PageSize; }

 private:
  // A block of ours that the full table could not hold: still released by
  // Free, still counted.
  struct Untracked {
    uint32_t u32Type;
    uint64_t u64Size;
  };

  // Tracking table.
  OsMemInfo* TrackAdd(void* a_pvAddress);
  void TrackRemove(OsMemInfo* a_posmeminfo);
  OsMemInfo* TrackFind(const void* a_pvAddress);
  OsMemInfo* TrackFindName(const char* a_szName);
  OsMemInfo* TrackFindFragment(const char* a_szText, int* a_piCursor);
  void TrackSetName(OsMemInfo* a_posmeminfo, const char* a_szName);
  void TrackRekey(OsMemInfo* a_posmeminfo, void* a_pvAddress);
  // Address index over the key table (open addressing, linear probing), so
  // that finding a block does not walk all slots.
  static size_t IndexHash(const void* a_pvAddress);
  void IndexInsert(int a_iSlot);
  void IndexErase(int a_iSlot);
  int SlotOf(const OsMemInfo* a_posmeminfo) const { return static_cast<int>(a_posmeminfo - m_aosmeminfo); }

  void TakeLock() { COsSync::SpinLock(&m_pvLock); }
  void GiveLock() { COsSync::SpinUnlock(&m_pvLock); }

  void* ObtainBlock(size_t* a_psizetBytes, long a_eoslogflag, uint32_t* a_pu32Type);
  void ReleaseBlock(void* a_pvMem, uint32_t a_u32Type, uint64_t a_u64Size, const char* a_szFile, long a_lLine);
  void ReleaseShared(OsMemInfo* a_posmeminfo);
  void KeepUntracked(void* a_pvMem, uint32_t a_u32Type, uint64_t a_u64Size);
  bool TakeUntracked(void* a_pvMem, Untracked* a_puntracked);
  // One counter line: "mem>>> " + letter + head, the address, size and
  // counters, then the tail prefix and text.
  void LogCounters(const char* a_szFile, long a_lLine, long a_eoslogflag, char a_cLetter, const char* a_szHead,
                   const void* a_pvMem, uint64_t a_u64Size, const char* a_szTailPrefix, const char* a_szTail);
  void DumpLocked(const void* a_pvKey);
  void SettleSharedMode();
  void* MapShared(OsMemInfo* a_posmeminfo, int a_iFd, uint64_t a_u64Offset, uint64_t a_u64View,
                  const char* a_szFile, long a_lLine);
  void* SharedAllocLocked(EOSSHAREDALLOC a_eossharedalloc, const char* a_szPath, int64_t a_i64Size,
                          int64_t a_i64Offset, int64_t a_i64View, EOSSHAREDLOCK a_eossharedlock, uint32_t a_u32Flags,
                          const char* a_szFile, long a_lLine);
  OsMemInfo* FindMapping(void* a_pvMem, const char* a_szFile, long a_lLine, bool* a_pblFound);
  enum class SharedLockVerb { Lock, Unlock, Test };
  EOSSTS SharedLockOp(void* a_pvMem, const char* a_szFile, long a_lLine, SharedLockVerb a_everb);

  EOSMEMMETHOD m_eosmemmethod;
  int64_t m_i64AllocCount;    // blocks ever added
  int64_t m_i64CurrentCount;  // blocks now held
  uint64_t m_u64CurrentBytes;
  uint64_t m_u64PeakBytes;
  int64_t m_i64FreeCount;
  long m_lTracking;
  void* m_apvKey[kSlots];
  OsMemInfo m_aosmeminfo[kSlots];
  static constexpr size_t kIndex = 4096;  // a power of two, four times the slots
  int16_t m_aiIndex[kIndex];              // slot + 1; 0 is empty
  uint8_t m_abNamed[kSlots];              // the slot's record has a name
  int m_iFreeHint;                        // every slot below it is taken
  uint64_t m_u64PageSize;
  void volatile* m_pvLock;
  EOSSHAREDMODE m_eossharedmode;
  PFNOSMEMALLOC m_pfnalloc;
  PFNOSMEMFREE m_pfnfree;
  PFNOSMEMLOCK m_pfnlock;
  PFNOSMEMUNLOCK m_pfnunlock;
  std::unordered_map<void*, Untracked> m_untracked;

  friend class COsMem;
};

// Log helpers of the memory units: silent while there is no log. Lines at
// the caller's position carry the caller's file and line.
inline bool OsMemIsDebug() { return g_poslog && g_poslog->GetDebugLevel(); }

#define OsMemLogAt(file, line, flag, ...)                                                      \
  do {                                                                                         \
    if (g_poslog) g_poslog->Message((file) ? (file) : "", (line), (flag), __VA_ARGS__);       \
  } while (0)

// Letter and dump name of a memory type.
char OsMemTypeLetter(uint32_t a_u32Type);
const char* OsMemTypeName(uint32_t a_u32Type);
