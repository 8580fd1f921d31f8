// File-backed shared memory: files mapped into the address space that
// several processes (and threads) share, with a lock on the file's first
// byte. The lock is an open-file-description lock (F_OFD_SETLK): it belongs
// to the mapping's own open file, so two mappings of one file exclude each
// other inside one process as well as between processes, and it conflicts
// with the classic record locks other programs take.
//
// A mapping never reaches past the end of its file: touching such pages
// would kill the process with SIGBUS.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_cosmemimpl.h"
#include "os_cosstring.h"

namespace {
constexpr long kPlatform = 3;        // this platform's number in the system information
constexpr long kWindowsVersion = 0;  // always 0 here

const char* const s_aszSharedMode[] = {"OS_SHAREDMODE_UNDEFINED",
                                       "OS_SHAREDMODE_MAPFILEASNEEDED",
                                       "OS_SHAREDMODE_MAPFILEALL",
                                       "OS_SHAREDMODE_MAPPAGEFILEASNEEDED",
                                       "OS_SHAREDMODE_MAPPAGEFILEALL",
                                       "OS_SHAREDMODE_LAST"};

const char* SharedModeName(EOSSHAREDMODE a_eossharedmode) {
  return (a_eossharedmode >= OS_SHAREDMODE_UNDEFINED && a_eossharedmode <= OS_SHAREDMODE_LAST)
             ? s_aszSharedMode[a_eossharedmode]
             : nullptr;
}

// Takes or gives up the write lock on byte 0 without waiting.
bool ByteLock(int a_iFd, short a_sType) {
  struct flock fl;
  std::memset(&fl, 0, sizeof(fl));
  fl.l_type = a_sType;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 1;
  return fcntl(a_iFd, F_OFD_SETLK, &fl) == 0;
}

mode_t CreationMask() {
  return static_cast<mode_t>(OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEFILECREATIONMASK, 0777) & 07777);
}

int64_t FileSize(int a_iFd) {
  struct stat st;
  return fstat(a_iFd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

// What a failed SharedAlloc has to undo.
struct SharedOpen {
  FILE* pfile = nullptr;
  bool blCreated = false;
  bool blLocked = false;
  bool blTemporary = false;
  const char* szPath = nullptr;

  void Undo() {
    if (pfile) {
      if (blLocked) ByteLock(fileno(pfile), F_UNLCK);
      fclose(pfile);
      pfile = nullptr;
    }
    if (blCreated && blTemporary && szPath) unlink(szPath);
  }
};
// fopen of a mode ("re", "r+e", "w+e", "a+e"), except that a file opened
// for writing is never reached through a link at its name: the name may lie
// in a directory other users write to, and a link there would send the
// mapped data into any file.
FILE* OpenShared(const char* a_szPath, const char* a_szMode) {
  if (a_szMode[0] == 'r' && a_szMode[1] != '+') return fopen(a_szPath, a_szMode);
  int iFlags = O_RDWR | O_NOFOLLOW | O_CLOEXEC;
  if (a_szMode[0] == 'w') iFlags |= O_CREAT | O_TRUNC;
  if (a_szMode[0] == 'a') iFlags |= O_CREAT | O_APPEND;
  const int iFd = open(a_szPath, iFlags, 0666);
  if (iFd < 0) return nullptr;
  FILE* pfile = fdopen(iFd, a_szMode);
  if (!pfile) close(iFd);
  return pfile;
}
}  // namespace

EOSSHAREDMODE COsMemImpl::SetSharedMode(EOSSHAREDMODE a_eossharedmode) {
  TakeLock();
  EOSSHAREDMODE eossharedmodePrevious = m_eossharedmode;
  m_eossharedmode = a_eossharedmode;
  GiveLock();
  const char* szName = SharedModeName(a_eossharedmode);
  if (szName)
    OsLogDebug(OS_LOG_INFO, "mem>>> new shared mode is %s", szName);
  else
    OsLogDebug(OS_LOG_INFO, "mem>>> new shared mode is unknown...%d", static_cast<int>(a_eossharedmode));
  return eossharedmodePrevious;
}

void COsMemImpl::StoreSharedMode(EOSSHAREDMODE a_eossharedmode) {
  TakeLock();
  m_eossharedmode = a_eossharedmode;
  GiveLock();
}

// Settled once, at the first shared block (table lock held).
void COsMemImpl::SettleSharedMode() {
  if (m_eossharedmode != OS_SHAREDMODE_UNDEFINED) return;
  long lForce = OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEMEMORYMAP, 0);
  if (lForce)
    m_eossharedmode = static_cast<EOSSHAREDMODE>(lForce);
  else
    m_eossharedmode = kWindowsVersion == 7 ? OS_SHAREDMODE_MAPFILEASNEEDED : OS_SHAREDMODE_MAPPAGEFILEASNEEDED;
  OsLogDebug(OS_LOG_INFO, "mem>>> ForceMemoryMap=%d Platform=%d Windows=%d", static_cast<int>(lForce),
             static_cast<int>(kPlatform), static_cast<int>(kWindowsVersion));
  const char* szName = SharedModeName(m_eossharedmode);
  if (szName)
    OsLogDebug(OS_LOG_INFO, "mem>>> shared mode is %s", szName);
  else
    OsLogDebug(OS_LOG_INFO, "mem>>> shared mode is unknown...%d", static_cast<int>(m_eossharedmode));
}

void* COsMemImpl::SharedAlloc(EOSSHAREDALLOC a_eossharedalloc, const char* a_szPath, int64_t a_i64Size,
                              int64_t a_i64Offset, int64_t a_i64View, EOSSHAREDLOCK a_eossharedlock,
                              uint32_t a_u32Flags, const char* a_szFile, long a_lLine) {
  if (a_i64View < 1 && a_eossharedalloc != OS_SHAREDALLOC_OPEN) {
    OsLog(OS_LOG_ASSERT, "mem>>> a_sizetView can only be -1 for OS_SHAREDALLOC_OPEN...");
    OsMemLogAt(a_szFile, a_lLine, OS_LOG_ERROR, "mem>>> Error occurred here...");
    return nullptr;
  }
  TakeLock();
  SettleSharedMode();
  ++m_i64AllocCount;
  ++m_i64CurrentCount;
  void* pv = SharedAllocLocked(a_eossharedalloc, a_szPath, a_i64Size, a_i64Offset, a_i64View, a_eossharedlock,
                               a_u32Flags, a_szFile, a_lLine);
  if (!pv) {
    --m_i64AllocCount;
    --m_i64CurrentCount;
    OsMemLogAt(a_szFile, a_lLine, OS_LOG_ERROR, "mem>>> Error occurred here...");
    DumpLocked(nullptr);
    DumpSystem("PmxMemCrash.txt");
  }
  GiveLock();
  return pv;
}

void* COsMemImpl::SharedAllocLocked(EOSSHAREDALLOC a_eossharedalloc, const char* a_szPath, int64_t a_i64Size,
                                    int64_t a_i64Offset, int64_t a_i64View, EOSSHAREDLOCK a_eossharedlock,
                                    uint32_t a_u32Flags, const char* a_szFile, long a_lLine) {
  if (!a_szPath) {
    OsLog(OS_LOG_ASSERT, "mem>>> We need a bit of code here...");
    return nullptr;
  }
  if (std::strlen(a_szPath) >= sizeof(OsMemInfo::szName)) {
    OsLog(OS_LOG_ASSERT, "mem>>> path is too long...<%s>", a_szPath);
    return nullptr;
  }
  bool blReadOnly = (a_u32Flags & OS_SHAREDFLAG_READONLY) != 0;
  const char* szMode = nullptr;
  switch (a_eossharedalloc) {
    case OS_SHAREDALLOC_CREATE:
    case OS_SHAREDALLOC_CREATETEMPORARY: szMode = "w+e"; break;
    case OS_SHAREDALLOC_OPEN: szMode = blReadOnly ? "re" : "r+e"; break;
    case OS_SHAREDALLOC_APPEND: szMode = "a+e"; break;
    default:
      OsLog(OS_LOG_ASSERT, "mem>>> Unrecognized a_eossharedalloc...<%d>", static_cast<int>(a_eossharedalloc));
      return nullptr;
  }
  // Checked before the file is opened, so that a refusal empties nothing.
  if (a_eossharedlock < OS_SHAREDLOCK_NONE || a_eossharedlock > OS_SHAREDLOCK_IFCREATED) {
    OsLog(OS_LOG_ASSERT, "mem>>> Unrecognized a_eossharedlock...<%d>", static_cast<int>(a_eossharedlock));
    return nullptr;
  }
  if (a_i64Offset < 0) {
    OsLog(OS_LOG_ASSERT, "mem>>> a_sizetOffset is negative...<%s>", a_szPath);
    return nullptr;
  }
  if (a_i64Size < 1 && a_eossharedalloc != OS_SHAREDALLOC_OPEN) {
    OsLog(OS_LOG_ASSERT, "mem>>> a_sizetSize is 0...<%s>", a_szPath);
    return nullptr;
  }
  struct stat st;
  bool blExisted = stat(a_szPath, &st) == 0;
  if (a_eossharedalloc == OS_SHAREDALLOC_OPEN && !blExisted) {
    OsLog(OS_LOG_ASSERT, "mem>>> file not found...<%s>", a_szPath);
    return nullptr;
  }

  SharedOpen sharedopen;
  sharedopen.szPath = a_szPath;
  sharedopen.blTemporary = a_eossharedalloc == OS_SHAREDALLOC_CREATETEMPORARY;
  sharedopen.pfile = OpenShared(a_szPath, szMode);
  if (!sharedopen.pfile) {
    OsLog(OS_LOG_ASSERT, "mem>>> fopen failed...<%s> <%s>", a_szPath, szMode);
    return nullptr;
  }
  sharedopen.blCreated = !blExisted;
  int iFd = fileno(sharedopen.pfile);
  int64_t i64Size = a_i64Size;
  int64_t i64FileSize = FileSize(iFd);

  if (a_eossharedalloc == OS_SHAREDALLOC_OPEN) {
    if (fchmod(iFd, CreationMask()) != 0) OsLogDebug(OS_LOG_INFO, "mem>>> fchmod failed...<%s>", a_szPath);
    if (i64Size < 1) i64Size = i64FileSize;
    if (i64Size < 1) {
      OsLog(OS_LOG_ASSERT, "mem>>> the file is empty...<%s>", a_szPath);
      sharedopen.Undo();
      return nullptr;
    }
  }

  // Size the file: exactly the size when creating or asked to resize; an
  // appending open only ever extends it.
  bool blExact = a_eossharedalloc == OS_SHAREDALLOC_CREATE || a_eossharedalloc == OS_SHAREDALLOC_CREATETEMPORARY ||
                 (a_eossharedalloc == OS_SHAREDALLOC_OPEN && !blReadOnly && (a_u32Flags & OS_SHAREDFLAG_RESIZE));
  bool blExtend = a_eossharedalloc == OS_SHAREDALLOC_APPEND && i64FileSize < i64Size;
  if ((blExact && i64FileSize != i64Size) || blExtend) {
    if (ftruncate(iFd, static_cast<off_t>(i64Size)) != 0) {
      OsLog(OS_LOG_ASSERT, "mem>>> ftruncate failed...<%s>", a_szPath);
      sharedopen.Undo();
      return nullptr;
    }
    // The view is written through the mapping: its blocks must exist, or
    // the first store on a full file system raises SIGBUS.
    if (!blReadOnly && COsFile::Reserve(iFd, i64Size, a_szPath) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "mem>>> no room for the file...<%s>", a_szPath);
      sharedopen.Undo();
      return nullptr;
    }
    i64FileSize = FileSize(iFd);
  }
  if (i64FileSize < i64Size) {
    OsLog(OS_LOG_ASSERT, "mem>>> the file is shorter than the size...<%s> %lld < %lld", a_szPath,
          static_cast<long long>(i64FileSize), static_cast<long long>(i64Size));
    sharedopen.Undo();
    return nullptr;
  }
  rewind(sharedopen.pfile);
  if (a_i64Offset >= i64Size) {
    OsLog(OS_LOG_ASSERT, "mem>>> The offset is larger than the file...<%s> %lld >= %lld", a_szPath,
          static_cast<long long>(a_i64Offset), static_cast<long long>(i64Size));
    sharedopen.Undo();
    return nullptr;
  }

  if (a_eossharedlock == OS_SHAREDLOCK_NOW || (a_eossharedlock == OS_SHAREDLOCK_IFCREATED && !blExisted))
    sharedopen.blLocked = ByteLock(iFd, F_WRLCK);

  // The view: from the offset to the end of the file when not given, and
  // never beyond the size.
  int64_t i64View = a_i64View;
  if (i64View < 1)
    i64View = i64FileSize - a_i64Offset;
  else if (i64View > i64Size - a_i64Offset)
    i64View = i64Size - a_i64Offset;

  OsMemInfo osmeminfo;
  std::memset(&osmeminfo, 0, sizeof(osmeminfo));
  osmeminfo.u8Flags = static_cast<uint8_t>((blReadOnly ? OS_MEMINFO_READONLY : 0) |
                                           ((a_u32Flags & OS_SHAREDFLAG_PRIVATE) ? OS_MEMINFO_PRIVATE : 0));
  void* pv = MapShared(&osmeminfo, iFd, static_cast<uint64_t>(a_i64Offset), static_cast<uint64_t>(i64View), a_szFile,
                       a_lLine);
  if (!pv) {
    OsLog(OS_LOG_ASSERT, "mem>>> mmap failed...<%s> o=%d v=%d ro=%d f=0x%x %d", a_szPath,
          static_cast<int>(a_i64Offset - a_i64Offset % static_cast<int64_t>(m_u64PageSize)),
          static_cast<int>(osmeminfo.u64MapLength), blReadOnly ? 1 : 0, a_u32Flags, iFd);
    sharedopen.Undo();
    return nullptr;
  }
  OsMemInfo* posmeminfo = TrackAdd(pv);
  if (!posmeminfo) {
    OsLog(OS_LOG_ASSERT, "mem>>> Manage failed...<%s>", a_szPath);
    munmap(osmeminfo.pvMapBase, static_cast<size_t>(osmeminfo.u64MapLength));
    sharedopen.Undo();
    return nullptr;
  }
  posmeminfo->u32Type = OS_MEMTYPE_MEMORYMAP;
  posmeminfo->u64Size = static_cast<uint64_t>(i64Size);
  posmeminfo->u64Offset = static_cast<uint64_t>(a_i64Offset);
  posmeminfo->u64View = static_cast<uint64_t>(i64View);
  TrackSetName(posmeminfo, a_szPath);
  posmeminfo->u8Flags = static_cast<uint8_t>(
      osmeminfo.u8Flags | (sharedopen.blLocked ? OS_MEMINFO_LOCKED : 0) |
      (sharedopen.blTemporary ? OS_MEMINFO_TEMPORARY : 0) |
      ((a_u32Flags & OS_SHAREDFLAG_TRUNCATE) ? OS_MEMINFO_TRUNCATE : 0));
  posmeminfo->pfile = sharedopen.pfile;
  posmeminfo->pvMapBase = osmeminfo.pvMapBase;
  posmeminfo->u64MapLength = osmeminfo.u64MapLength;
  m_u64CurrentBytes += static_cast<uint64_t>(i64Size);
  if (OsMemIsDebug())
    LogCounters(a_szFile, a_lLine, OS_LOG_MEMVIRTUAL, 'f', "+  ", pv, static_cast<uint64_t>(i64Size), " ", a_szPath);
  return pv;
}

// Maps view bytes from the offset (the mapping starts at the page below it)
// with the protection of the record's flags; fills the record's mapping and
// returns the address of the offset, or null.
void* COsMemImpl::MapShared(OsMemInfo* a_posmeminfo, int a_iFd, uint64_t a_u64Offset, uint64_t a_u64View,
                            const char*, long) {
  uint64_t u64Remainder = a_u64Offset % m_u64PageSize;
  uint64_t u64Length = a_u64View + u64Remainder;
  int iProt = (a_posmeminfo->u8Flags & OS_MEMINFO_READONLY) ? PROT_READ : PROT_READ | PROT_WRITE;
  int iFlags = (a_posmeminfo->u8Flags & OS_MEMINFO_PRIVATE) ? MAP_PRIVATE : MAP_SHARED;
  a_posmeminfo->u64MapLength = u64Length;
  void* pvBase = mmap(nullptr, static_cast<size_t>(u64Length), iProt, iFlags, a_iFd,
                      static_cast<off_t>(a_u64Offset - u64Remainder));
  if (pvBase == MAP_FAILED) {
    a_posmeminfo->pvMapBase = nullptr;
    return nullptr;
  }
  a_posmeminfo->pvMapBase = pvBase;
  return static_cast<char*>(pvBase) + u64Remainder;
}

// Writes a view back and gives up the mapping and the file (table lock held;
// the caller removes the record).
void COsMemImpl::ReleaseShared(OsMemInfo* a_posmeminfo) {
  uint8_t u8Flags = a_posmeminfo->u8Flags;
  void* pvBase = a_posmeminfo->pvMapBase;
  size_t sizetLength = static_cast<size_t>(a_posmeminfo->u64MapLength);
  if (pvBase && !(u8Flags & (OS_MEMINFO_READONLY | OS_MEMINFO_PRIVATE | OS_MEMINFO_TEMPORARY)))
    msync(pvBase, sizetLength, MS_ASYNC | MS_INVALIDATE);
  if (u8Flags & OS_MEMINFO_TEMPORARY) unlink(a_posmeminfo->szName);
  if (pvBase && munmap(pvBase, sizetLength) != 0)
    OsLog(OS_LOG_ASSERT, "munmap failed...%p -> %p v=%u", pvBase, static_cast<void*>(static_cast<char*>(pvBase) + sizetLength),
          static_cast<unsigned>(a_posmeminfo->u64View));
  a_posmeminfo->pvMapBase = nullptr;
  FILE* pfile = a_posmeminfo->pfile;
  if (!pfile) return;
  int iFd = fileno(pfile);
  if ((u8Flags & OS_MEMINFO_TRUNCATE) && ftruncate(iFd, static_cast<off_t>(a_posmeminfo->u64Size)) != 0)
    OsLog(OS_LOG_ASSERT, "mem>>> ftruncate failed...<%s>", a_posmeminfo->szName);
  if (u8Flags & OS_MEMINFO_LOCKED) ByteLock(iFd, F_UNLCK);
  fclose(pfile);
  a_posmeminfo->pfile = nullptr;
}

void* COsMemImpl::SharedRemap(void* a_pvMem, int64_t a_i64Offset, int64_t a_i64View, const char* a_szFile,
                              long a_lLine, bool a_blLock) {
  if (a_blLock) TakeLock();
  void* pvNew = nullptr;
  const char* szRefusal = nullptr;
  OsMemInfo* posmeminfo = TrackFind(a_pvMem);
  int64_t i64End = 0;
  if (!posmeminfo) {
    szRefusal = "mem>>> Manage didn't find mapping...";
  } else if (posmeminfo->u32Type != OS_MEMTYPE_MEMORYMAP) {
    szRefusal = "mem>>> This isn't a memory mapped pointer...";
  } else if (!posmeminfo->pfile) {
    szRefusal = "mem>>> pfile is null...";
  } else {
    // Another process may have cut the file since: map only what is there.
    int64_t i64FileSize = FileSize(fileno(posmeminfo->pfile));
    i64End = static_cast<int64_t>(posmeminfo->u64Size);
    if (i64FileSize < i64End) i64End = i64FileSize;
    if (a_i64Offset < 0 || a_i64Offset >= i64End) szRefusal = "mem>>> The offset is larger than the file...";
  }
  if (szRefusal) {
    OsLog(OS_LOG_ASSERT, "%s", szRefusal);
    OsMemLogAt(a_szFile, a_lLine, OS_LOG_ERROR, "mem>>> Error occurred here...");
    if (a_blLock) GiveLock();
    return nullptr;
  }

  if (posmeminfo->pvMapBase && munmap(posmeminfo->pvMapBase, static_cast<size_t>(posmeminfo->u64MapLength)) != 0)
    OsLog(OS_LOG_ASSERT, "mem>>> munmap failed...");
  posmeminfo->pvMapBase = nullptr;
  uint64_t u64Offset = static_cast<uint64_t>(a_i64Offset);
  uint64_t u64View = 0;
  if (a_i64View != 0) {
    u64View = static_cast<uint64_t>(i64End - a_i64Offset);
    if (a_i64View > 0 && static_cast<uint64_t>(a_i64View) < u64View) u64View = static_cast<uint64_t>(a_i64View);
    pvNew = MapShared(posmeminfo, fileno(posmeminfo->pfile), u64Offset, u64View, a_szFile, a_lLine);
  } else {
    // One page from the start of the file.
    u64Offset = 0;
    pvNew = MapShared(posmeminfo, fileno(posmeminfo->pfile), 0, m_u64PageSize, a_szFile, a_lLine);
  }
  if (!pvNew) {
    OsLog(OS_LOG_ASSERT, "mem>>> mmap failed...<%s>", posmeminfo->szName);
    if (posmeminfo->u8Flags & OS_MEMINFO_LOCKED) ByteLock(fileno(posmeminfo->pfile), F_UNLCK);
    posmeminfo->u8Flags = static_cast<uint8_t>(posmeminfo->u8Flags & ~OS_MEMINFO_LOCKED);
    fclose(posmeminfo->pfile);
    posmeminfo->pfile = nullptr;
    OsMemLogAt(a_szFile, a_lLine, OS_LOG_ERROR, "mem>>> Error occurred here...");
  } else {
    TrackRekey(posmeminfo, pvNew);
    posmeminfo->u64Offset = u64Offset;
    posmeminfo->u64View = u64View;
    if (OsMemIsDebug())
      OsMemLogAt(a_szFile, a_lLine, OS_LOG_MEMVIRTUAL, "mem>>> remap: %p --> %p %9d %9d %s", a_pvMem, pvNew,
                 static_cast<int>(u64Offset), static_cast<int>(u64View), posmeminfo->szName);
  }
  if (a_blLock) GiveLock();
  return pvNew;
}

// Finds a mapping's record (table lock held); logs a missing record or one
// that is not a mapping. *a_pblFound tells the two apart.
OsMemInfo* COsMemImpl::FindMapping(void* a_pvMem, const char* a_szFile, long a_lLine, bool* a_pblFound) {
  OsMemInfo* posmeminfo = TrackFind(a_pvMem);
  *a_pblFound = posmeminfo != nullptr;
  if (!posmeminfo) {
    OsLog(OS_LOG_ASSERT, "mem>>> Manage didn't find mapping...");
  } else if (posmeminfo->u32Type != OS_MEMTYPE_MEMORYMAP) {
    OsLog(OS_LOG_ASSERT, "mem>>> This isn't a memory mapped pointer...");
    posmeminfo = nullptr;
  } else {
    return posmeminfo;
  }
  OsMemLogAt(a_szFile, a_lLine, OS_LOG_ERROR, "mem>>> Error occurred here...");
  return nullptr;
}

// Shared prologue and epilogue of the three lock operations: checks the
// address, finds the mapping under the table lock and applies a_everb to it.
// A null address or a record that is not a mapping gives OS_STS_FAIL, a
// missing record OS_STS_NOT_LOCKED.
EOSSTS COsMemImpl::SharedLockOp(void* a_pvMem, const char* a_szFile, long a_lLine, SharedLockVerb a_everb) {
  if (!a_pvMem) {
    OsLog(OS_LOG_ASSERT, "mem>>> a_pvMem is NULL...");
    return OS_STS_FAIL;
  }
  TakeLock();
  bool blFound = false;
  OsMemInfo* posmeminfo = FindMapping(a_pvMem, a_szFile, a_lLine, &blFound);
  EOSSTS eossts = blFound ? OS_STS_FAIL : OS_STS_NOT_LOCKED;
  if (posmeminfo) {
    bool blHeld = posmeminfo->u8Flags & OS_MEMINFO_LOCKED;
    if (a_everb == SharedLockVerb::Lock && !blHeld && posmeminfo->pfile &&
        ByteLock(fileno(posmeminfo->pfile), F_WRLCK)) {
      posmeminfo->u8Flags |= OS_MEMINFO_LOCKED;
    } else if (a_everb == SharedLockVerb::Unlock && blHeld) {
      posmeminfo->u8Flags = static_cast<uint8_t>(posmeminfo->u8Flags & ~OS_MEMINFO_LOCKED);
      if (posmeminfo->pfile) ByteLock(fileno(posmeminfo->pfile), F_UNLCK);
    }
    eossts = (posmeminfo->u8Flags & OS_MEMINFO_LOCKED) ? OS_STS_LOCKED : OS_STS_NOT_LOCKED;
  }
  GiveLock();
  return eossts;
}

EOSSTS COsMemImpl::SharedLock(void* a_pvMem, const char* a_szFile, long a_lLine) {
  return SharedLockOp(a_pvMem, a_szFile, a_lLine, SharedLockVerb::Lock);
}

EOSSTS COsMemImpl::SharedUnlock(void* a_pvMem, const char* a_szFile, long a_lLine) {
  return SharedLockOp(a_pvMem, a_szFile, a_lLine, SharedLockVerb::Unlock);
}

EOSSTS COsMemImpl::SharedTestLock(void* a_pvMem, const char* a_szFile, long a_lLine) {
  return SharedLockOp(a_pvMem, a_szFile, a_lLine, SharedLockVerb::Test);
}

EOSSTS COsMemImpl::SharedFlush(void* a_pvMem) {
  TakeLock();
  bool blFound = false;
  OsMemInfo* posmeminfo = FindMapping(a_pvMem, __FILE__, __LINE__, &blFound);
  if (posmeminfo && posmeminfo->pvMapBase &&
      msync(posmeminfo->pvMapBase, static_cast<size_t>(posmeminfo->u64MapLength), MS_SYNC) != 0)
    OsLog(OS_LOG_ASSERT, "mem>>> msync failed...<%s>", posmeminfo->szName);
  GiveLock();
  return OS_STS_SUCCESS;
}

EOSSTS COsMemImpl::SharedSync(void* a_pvMem) {
  TakeLock();
  bool blFound = false;
  OsMemInfo* posmeminfo = FindMapping(a_pvMem, __FILE__, __LINE__, &blFound);
  if (posmeminfo && posmeminfo->pvMapBase) {
    // The outcome goes to a file named "error" in the working directory.
    FILE* pfile = fopen("error", "w+e");
    int iResult = msync(posmeminfo->pvMapBase, static_cast<size_t>(posmeminfo->u64MapLength), MS_SYNC | MS_INVALIDATE);
    int iErrno = iResult == 0 ? 0 : errno;
    if (pfile) {
      fchmod(fileno(pfile), CreationMask());
      fprintf(pfile, ">>> %d %d %s\r\n", iResult, iErrno, strerror(iErrno));
      fclose(pfile);
    }
  }
  GiveLock();
  return OS_STS_SUCCESS;
}
