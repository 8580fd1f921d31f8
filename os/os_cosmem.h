// The process-wide memory service: tracked heap and page blocks, named
// per-thread blocks, blocks owned by other modules, and file-backed shared
// memory that several processes map, with a lock on the file's first byte.
// Also bit-level copy and fill, a byte checksum and a small string scrambler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>
#include <utility>

#include "os_coslog.h"
#include "os_def.h"

// The heap method chosen at start; both allocate the same way and differ
// only in the type recorded.
enum EOSMEMMETHOD : int {
  OS_MEM_METHOD_UNDEFINED = 0,
  OS_MEM_METHOD_MALLOC = 1,
  OS_MEM_METHOD_GLOBALALLOC = 2,
  OS_MEM_METHOD_LAST = 3,
};

// Kind of a tracked block.
enum EOSMEMTYPE : uint32_t {
  OS_MEMTYPE_UNDEFINED = 0,
  OS_MEMTYPE_MALLOC = 1,       // heap block, method 1
  OS_MEMTYPE_GLOBALALLOC = 2,  // heap block, method 2
  OS_MEMTYPE_VIRTUAL = 3,      // page-granular anonymous mapping
  OS_MEMTYPE_MEMORYMAP = 4,    // file-backed shared mapping
  OS_MEMTYPE_EXTERNAL = 5,     // registered by AddExternal, owned elsewhere
  OS_MEMTYPE_DSM = 6,          // another module's block, freed through its function
  OS_MEMTYPE_LAST = 7,
};

enum EOSSHAREDMODE : int {
  OS_SHAREDMODE_UNDEFINED = 0,
  OS_SHAREDMODE_MAPFILEASNEEDED = 1,
  OS_SHAREDMODE_MAPFILEALL = 2,
  OS_SHAREDMODE_MAPPAGEFILEASNEEDED = 3,
  OS_SHAREDMODE_MAPPAGEFILEALL = 4,
  OS_SHAREDMODE_LAST = 5,
};

// How SharedAlloc opens its file.
enum EOSSHAREDALLOC : int {
  OS_SHAREDALLOC_UNDEFINED = 0,
  OS_SHAREDALLOC_CREATE = 1,           // "w+": create or empty, sized to the request
  OS_SHAREDALLOC_CREATETEMPORARY = 2,  // as 1, deleted when the block is released
  OS_SHAREDALLOC_OPEN = 3,             // "r+" ("r" with flag 16): must exist
  OS_SHAREDALLOC_APPEND = 4,           // "a+": open or create without emptying
  OS_SHAREDALLOC_LAST = 5,
};

// When SharedAlloc takes the lock on the file's first byte.
enum EOSSHAREDLOCK : int {
  OS_SHAREDLOCK_UNDEFINED = 0,
  OS_SHAREDLOCK_NONE = 1,
  OS_SHAREDLOCK_NOW = 2,
  OS_SHAREDLOCK_IFCREATED = 3,  // only when the file did not exist before
  OS_SHAREDLOCK_LAST = 4,
};

// The caller's flags word of SharedAlloc.
enum EOSSHAREDFLAG : uint32_t {
  OS_SHAREDFLAG_READONLY = 16,  // only with OS_SHAREDALLOC_OPEN
  OS_SHAREDFLAG_RESIZE = 32,    // opening read-write: make the file exactly the size
  OS_SHAREDFLAG_PRIVATE = 64,   // copy-on-write mapping
  OS_SHAREDFLAG_TRUNCATE = 128, // truncate the file back to the size on release
};

enum EOSMEMACCESS : int {
  OS_MEMACCESS_UNDEFINED = 0,
  OS_MEMACCESS_READONLY = 1,
  OS_MEMACCESS_READWRITE = 2,
};

// Flag bits of a tracked shared block (OsMemInfo::u8Flags).
enum EOSMEMINFOFLAG : uint8_t {
  OS_MEMINFO_LOCKED = 1,      // the byte-0 lock is held through this mapping
  OS_MEMINFO_READONLY = 4,
  OS_MEMINFO_PRIVATE = 8,
  OS_MEMINFO_TEMPORARY = 16,  // the file is deleted on release
  OS_MEMINFO_TRUNCATE = 128,  // the file is truncated to the size on release
};

// One tracked block.
struct OsMemInfo {
  uint32_t u32Type;   // EOSMEMTYPE
  void* pvAddress;    // the address handed to the caller
  uint64_t u64Size;   // heap: requested bytes + 64; shared: the file size mapped
  uint64_t u64Offset; // file offset of a shared view
  uint64_t u64View;   // bytes of a shared view (heap: the size)
  char szName[512];   // shared: the path; thread-safe block: its tracking name
  uint8_t u8Flags;    // EOSMEMINFOFLAG
  FILE* pfile;        // shared: the open stream
  // Shared: what is mapped right now (null when nothing is), so a release
  // unmaps exactly that and never a range that was given up earlier.
  void* pvMapBase;
  uint64_t u64MapLength;
};

// Filled by GetSettings (cleared first).
struct OsMemSettings {
  uint64_t u64Slot;
  void* pvAddress;
  uint32_t u32Type;
  uint64_t u64Size;
  uint64_t u64Offset;
  uint64_t u64View;
  char szName[512];
  int64_t i64FileSize;  // shared: the file's size now (another process may change it)
};

// Filled by GetFreeContiguousList.
struct OsMemList {
  uint64_t u64Count;
  uint64_t au64Size[16];
};

// Functions of another module that owns memory given to us.
typedef void* (*PFNOSMEMALLOC)(uint32_t a_u32Bytes);
typedef void (*PFNOSMEMFREE)(void* a_pvMem);
typedef void* (*PFNOSMEMLOCK)(void* a_handle);
typedef void (*PFNOSMEMUNLOCK)(void* a_handle);

class COsMemImpl;

class COsMem {
 public:
  // Publishes itself in g_posmem.
  COsMem(EOSMEMMETHOD a_eosmemmethod, long a_lTracking);
  ~COsMem();

  uint64_t GetPageSize();
  EOSSTS SharedSetMode(EOSSHAREDMODE a_eossharedmode, const char* a_szFile, long a_lLine);
  EOSSHAREDMODE SetSharedMode(EOSSHAREDMODE a_eossharedmode);  // returns the previous mode
  EOSSTS RegisterNotOwnerFunctions(PFNOSMEMALLOC a_pfnalloc, PFNOSMEMFREE a_pfnfree, PFNOSMEMLOCK a_pfnlock,
                                   PFNOSMEMUNLOCK a_pfnunlock);
  void CleanRam();

  // Heap blocks: tracked and zero-filled. The flag word is 256 (heap) or
  // 4352 (whole pages), plus 0x8000 for memory handed over to another module.
  void* Alloc(size_t a_sizetBytes, const char* a_szFile, long a_lLine, long a_eoslogflag = OS_LOG_MEM,
              bool a_blLock = true, const char* a_szName = "");
  void* AllocNotOwner(size_t a_sizetBytes, const char* a_szFile, long a_lLine, long a_eoslogflag = OS_LOG_MEM,
                      bool a_blLock = true, const char* a_szName = "");
  EOSSTS Free(void* a_pvMem, const char* a_szFile, long a_lLine, long a_eoslogflag = OS_LOG_MEM, bool a_blLock = true);
  EOSSTS FreeNotOwner(void* a_pvMem, const char* a_szFile, long a_lLine, long a_eoslogflag = OS_LOG_MEM,
                      bool a_blLock = true);

  // The calling thread's block of that name, grown (contents kept) as needed.
  void* ThreadSafeAlloc(const char* a_szName, uint64_t a_u64Bytes, const char* a_szFile, long a_lLine,
                        long a_eoslogflag = OS_LOG_MEM);
  // Frees every thread's block of that name (none: only the sweep), then the
  // blocks of threads that have ended.
  EOSSTS ThreadSafeFree(const char* a_szName, const char* a_szFile, long a_lLine, long a_eoslogflag = OS_LOG_MEM);

  EOSSTS AddExternal(void* a_pvMem, size_t a_sizetSize);
  EOSSTS SetAccess(void* a_pvMem, EOSMEMACCESS a_eosmemaccess);
  void* Lock(void* a_handle);
  EOSSTS Unlock(void* a_handle);

  // Shared blocks. A view below 1 (only with OS_SHAREDALLOC_OPEN) maps from
  // the offset to the end of the file; a size below 1 with OS_SHAREDALLOC_OPEN
  // takes the file's size.
  void* SharedAlloc(EOSSHAREDALLOC a_eossharedalloc, const char* a_szPath, int64_t a_i64Size, int64_t a_i64Offset,
                    int64_t a_i64View, EOSSHAREDLOCK a_eossharedlock, uint32_t a_u32Flags, const char* a_szFile,
                    long a_lLine);
  void* SharedRemap(void* a_pvMem, int64_t a_i64Offset, int64_t a_i64View, const char* a_szFile, long a_lLine,
                    bool a_blLock = true);
  // 9 when the byte-0 lock is held through this block afterwards, 10 when not.
  EOSSTS SharedLock(void* a_pvMem, const char* a_szFile, long a_lLine);
  EOSSTS SharedUnlock(void* a_pvMem, const char* a_szFile, long a_lLine);
  EOSSTS SharedTestLock(void* a_pvMem, const char* a_szFile, long a_lLine);
  EOSSTS SharedFlush(void* a_pvMem);
  EOSSTS SharedSync(void* a_pvMem);

  EOSSTS GetSettings(const char* a_szFile, OsMemSettings* a_posmemsettings, bool a_blQuiet = false);
  EOSSTS GetSettings(const void* a_pvMem, OsMemSettings* a_posmemsettings, bool a_blQuiet = false);

  // Diagnostics.
  EOSSTS Dump(const void* a_pvKey = nullptr);
  EOSSTS DumpSystem(const char* a_szName);
  EOSSTS Validate(const char* a_szFile, long a_lLine);
  EOSSTS GetFreeContiguousList(OsMemList* a_posmemlist);
  // The blocks held now, tracked or not: a run that gives back all it took
  // ends with the count it began with.
  int64_t GetBlockCount();

  // Bits are numbered from the most significant bit of each byte.
  static EOSSTS CpyBits(void* a_pvDst, size_t a_sizetDst, size_t a_sizetDstBit, const void* a_pvSrc,
                        size_t a_sizetSrc, size_t a_sizetSrcBit, size_t a_sizetCount);
  static EOSSTS SetBits(void* a_pvBuffer, size_t a_sizetBytes, size_t a_sizetBit, size_t a_sizetCount,
                        bool a_blValue);
  static EOSSTS DisplayBits(const void* a_pvBuffer, size_t a_sizetBytes, size_t a_sizetBit, size_t a_sizetCount,
                            bool a_blHeader);
  static void Swab(void* a_pvDst, const void* a_pvSrc, size_t a_sizetCount);
  static uint32_t Checksum32(const void* a_pvBuffer, size_t a_sizetLength, uint64_t* a_pu64Accumulator);
  // In place; a_sizetText is the size of the buffer holding the text.
  static EOSSTS HashString(char* a_szText, size_t a_sizetText);
  static EOSSTS UnhashString(char* a_szText);

  void* ReserveVirtualMemory(uint64_t a_u64Size);
  EOSSTS ReleaseVirtualMemory(void* a_pvMem);

 private:
  COsMemImpl* m_posmemimpl;
};

extern COsMem* g_posmem;

// A zero-filled heap block: tracked while the service runs, a plain heap
// block before and after. Free it with OsMemFree either way.
void* OsMemAllocAt(size_t a_sizetBytes, const char* a_szFile, long a_lLine, const char* a_szName = "");
EOSSTS OsMemFreeAt(void* a_pvMem, const char* a_szFile, long a_lLine);
#define OsMemAlloc(bytes) OsMemAllocAt((bytes), __FILE__, __LINE__)

// Test seams for the failure paths of allocation, process-wide. OsMemNew of
// objects of the class named (as OsMemNew writes it) fails after a_iSkip
// such creations succeeded, until a null name clears it; OsMemAlloc of
// a_sizetBytes or more fails until 0 clears it.
void OsMemSetNewFault(const char* a_szClass, int a_iSkip);
void OsMemSetAllocFault(size_t a_sizetBytes);
bool OsMemNewFails(const char* a_szClass);
bool OsMemAllocFails(size_t a_sizetBytes);
#define OsMemFree(p) OsMemFreeAt((p), __FILE__, __LINE__)
// Test seam: how long DumpSystem waits for pmap (10 s); negative restores it.
void OsMemSetPmapWaitLimit(long a_lMilliseconds);

// Object creation and deletion with the debug lines every object gets. A
// constructor that throws gives null (the caller logs its own failure).
template <class T, class... A>
T* OsMemNewAt(const char* a_szFile, long a_lLine, const char* a_szClass, A&&... a_args) noexcept {
  T* p = nullptr;
  if (OsMemNewFails(a_szClass)) return nullptr;
  try {
    p = new T(std::forward<A>(a_args)...);
  } catch (...) {
    return nullptr;
  }
  if (g_poslog && g_poslog->GetDebugLevel())
    g_poslog->Message(a_szFile, a_lLine, OS_LOG_INFO, "mem>>> addr:%p  size:%7d  new %s", static_cast<void*>(p),
                      static_cast<int>(sizeof(T)), a_szClass);
  return p;
}

template <class T>
void OsMemDeleteAt(T*& a_p, const char* a_szFile, long a_lLine) {
  if (!a_p) return;
  if (g_poslog && g_poslog->GetDebugLevel())
    g_poslog->Message(a_szFile, a_lLine, OS_LOG_INFO, "mem>>> addr:%p delete-object", static_cast<void*>(a_p));
  delete a_p;
  a_p = nullptr;
}

#define OsMemNew(T, ...) OsMemNewAt<T>(__FILE__, __LINE__, #T __VA_OPT__(, ) __VA_ARGS__)
#define OsMemDelete(p) OsMemDeleteAt((p), __FILE__, __LINE__)
