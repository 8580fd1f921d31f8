// Views of image files and the movement of image data between them: every
// read or write of a region first moves a view onto exactly that region, and
// data goes from view to view (or from a view to a file) in pieces of the
// copy chunk size, so that no image passes through the heap whole.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "os_coslog.h"
#include "os_cosimageimpl.h"
#include "os_cosmem.h"

namespace {
// Maps the pages of a view that is about to be written in one call instead
// of one fault per page. It also finds out, as a status, what a write fault
// would report with SIGBUS: no room left on the file system for them. A
// kernel without the call leaves the faults to the copy.
bool PrepareWrite(void* a_pv, uint64_t a_u64Bytes) {
  static const uintptr_t s_uPage = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t uStart = reinterpret_cast<uintptr_t>(a_pv) & ~(s_uPage - 1);
  const uintptr_t uEnd = reinterpret_cast<uintptr_t>(a_pv) + a_u64Bytes;
  if (madvise(reinterpret_cast<void*>(uStart), uEnd - uStart, MADV_POPULATE_WRITE) == 0 || errno == EINVAL)
    return true;
  OsLog(OS_LOG_ASSERT, "no room for the image data...%d", errno);
  return false;
}

// Maps the pages of a source view that a write is about to read in one call:
// a write from a view of pages not yet mapped takes a fault per page inside
// the kernel's copy. Only speed depends on it: any failure leaves the
// faults to the write.
void PrepareRead(const void* a_pv, uint64_t a_u64Bytes) {
  static const uintptr_t s_uPage = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t uStart = reinterpret_cast<uintptr_t>(a_pv) & ~(s_uPage - 1);
  const uintptr_t uEnd = reinterpret_cast<uintptr_t>(a_pv) + a_u64Bytes;
  madvise(reinterpret_cast<void*>(uStart), uEnd - uStart, MADV_POPULATE_READ);
}
}  // namespace

void* COsImageImpl::MapFile(EOSSHAREDALLOC a_eossharedalloc, const char* a_szPath, int64_t a_i64Size,
                            int64_t a_i64Offset, int64_t a_i64View, uint32_t a_u32Flags) {
  if (!g_posmem) return nullptr;
  return g_posmem->SharedAlloc(a_eossharedalloc, a_szPath, a_i64Size, a_i64Offset, a_i64View, OS_SHAREDLOCK_NONE,
                               a_u32Flags, __FILE__, __LINE__);
}

// A view from the start of an existing file, opened for reading only; null
// when the file is missing or cannot be mapped.
void* COsImageImpl::MapReadOnly(const char* a_szPath, int64_t a_i64View) {
  return COsFile::Exists(a_szPath) ? MapFile(OS_SHAREDALLOC_OPEN, a_szPath, -1, 0, a_i64View, OS_SHAREDFLAG_READONLY)
                                   : nullptr;
}

// The view moved onto the bytes from the offset. The memory service stops a
// view at the end of the file; a view that would come out shorter than asked
// (the file was cut meanwhile) counts as a failure, so that nobody touches
// bytes past its end.
bool COsImageImpl::MoveView(void*& a_pvView, uint64_t a_u64Offset, uint64_t a_u64Bytes) {
  void* pvMoved = (a_pvView && g_posmem && a_u64Bytes)
                      ? g_posmem->SharedRemap(a_pvView, static_cast<int64_t>(a_u64Offset),
                                              static_cast<int64_t>(a_u64Bytes), __FILE__, __LINE__)
                      : nullptr;
  OsMemSettings osmemsettings;
  if (!pvMoved || g_posmem->GetSettings(pvMoved, &osmemsettings) != OS_STS_SUCCESS ||
      osmemsettings.u64View < a_u64Bytes) {
    OsLog(OS_LOG_ASSERT, "OsMemSharedRemap failed...");
    if (pvMoved) a_pvView = pvMoved;
    return false;
  }
  a_pvView = pvMoved;
  return true;
}

void COsImageImpl::FreeView(void*& a_pvView) {
  if (!a_pvView) return;
  OsMemFree(a_pvView);
  a_pvView = nullptr;
}

// Size of the file behind a view; 0 when unknown.
uint64_t COsImageImpl::MappedFileSize(const void* a_pvView) {
  OsMemSettings osmemsettings;
  if (!a_pvView || !g_posmem || g_posmem->GetSettings(a_pvView, &osmemsettings) != OS_STS_SUCCESS) return 0;
  return osmemsettings.u64Size;
}

// Maps a source read-only; it must hold the bytes the writer will copy, or
// the copy would run past its end.
EOSSTS COsImageImpl::MapSource(const char* a_szSource, uint64_t a_u64Needed, void*& a_pvSource, int64_t a_i64View) {
  a_pvSource = MapReadOnly(a_szSource, a_i64View);
  if (!a_pvSource) {
    OsLog(OS_LOG_ASSERT, "OsMemSharedAlloc failed...<%s>", a_szSource);
    return OS_STS_FAIL;
  }
  uint64_t u64Size = MappedFileSize(a_pvSource);
  if (u64Size < a_u64Needed) {
    OsLog(OS_LOG_ASSERT, "source image file is shorter than imagesize...%llu < %llu <%s>",
          static_cast<unsigned long long>(u64Size), static_cast<unsigned long long>(a_u64Needed), a_szSource);
    FreeView(a_pvSource);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

EOSSTS COsImageImpl::CopyPieces(void*& a_pvSource, uint64_t a_u64SourceOffset, void*& a_pvTarget,
                                uint64_t a_u64TargetOffset, uint64_t a_u64Bytes) {
  for (uint64_t u64Done = 0; u64Done < a_u64Bytes;) {
    uint64_t u64Piece = std::min<uint64_t>(m_u32ChunkSize, a_u64Bytes - u64Done);
    if (!MoveView(a_pvSource, a_u64SourceOffset + u64Done, u64Piece) ||
        !MoveView(a_pvTarget, a_u64TargetOffset + u64Done, u64Piece)) {
      return OS_STS_FAIL;
    }
    if (!PrepareWrite(a_pvTarget, u64Piece)) return OS_STS_FAIL;
    std::memcpy(a_pvTarget, a_pvSource, static_cast<size_t>(u64Piece));
    u64Done += u64Piece;
  }
  return OS_STS_SUCCESS;
}

// The output through ordinary file output: the header, then the image data
// piece by piece from the source view.
EOSSTS COsImageImpl::WriteOutputFile(const uint8_t* a_pbHeader, uint32_t a_u32Header, void*& a_pvSource) {
  COsFile* posfile = OsMemNew(COsFile);
  if (!posfile) {
    OsLog(OS_LOG_ASSERT, "OsMemNew failed...<%s>", m_szOutput);
    return OS_STS_FAIL;
  }
  EOSSTS eossts = OS_STS_SUCCESS;
  if (posfile->Open(m_szOutput, OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READ) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ASSERT, "Open failed...<%s>", m_szOutput);
    eossts = OS_STS_FAIL;
  } else if (a_u32Header && posfile->Write(a_pbHeader, a_u32Header) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ASSERT, "Write header failed...");
    eossts = OS_STS_FAIL;
  }
  for (uint64_t u64Done = 0; eossts == OS_STS_SUCCESS && u64Done < m_u32ImageSize;) {
    uint64_t u64Piece = std::min<uint64_t>(m_u32ChunkSize, m_u32ImageSize - u64Done);
    if (!MoveView(a_pvSource, u64Done, u64Piece)) {
      eossts = OS_STS_FAIL;
      break;
    }
    PrepareRead(a_pvSource, u64Piece);
    if (posfile->Write(a_pvSource, static_cast<size_t>(u64Piece)) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ASSERT, "Write image failed...");
      eossts = OS_STS_FAIL;
    }
    u64Done += u64Piece;
  }
  posfile->Close();
  OsMemDelete(posfile);
  return eossts;
}

bool COsImageImpl::MoveViewForWriting(void*& a_pvView, uint64_t a_u64Offset, uint64_t a_u64Bytes) {
  return MoveView(a_pvView, a_u64Offset, a_u64Bytes) && PrepareWrite(a_pvView, a_u64Bytes);
}

// Bytes into a writable view's file at the offset.
EOSSTS COsImageImpl::WriteAt(void*& a_pvView, uint64_t a_u64Offset, const uint8_t* a_pb, uint64_t a_u64Bytes) {
  if (!MoveViewForWriting(a_pvView, a_u64Offset, a_u64Bytes)) return OS_STS_FAIL;
  std::memcpy(a_pvView, a_pb, static_cast<size_t>(a_u64Bytes));
  return OS_STS_SUCCESS;
}

// The output as a new mapping of the file's size: the header copied into
// it, the source's first data bytes behind the header. A file that is not
// kept open gets its length fixed at the size when the mapping goes; a
// temporary one is removed.
EOSSTS COsImageImpl::CreateMappedOutput(const uint8_t* a_pbHeader, uint32_t a_u32Header, void*& a_pvSource,
                                        uint64_t a_u64Data, uint64_t a_u64File, bool a_blTemporary,
                                        bool a_blKeepOpen, int64_t a_i64View) {
  m_pvView = MapFile(a_blTemporary ? OS_SHAREDALLOC_CREATETEMPORARY : OS_SHAREDALLOC_CREATE, m_szOutput,
                     static_cast<int64_t>(a_u64File), 0, a_i64View,
                     a_blKeepOpen ? 0u : static_cast<uint32_t>(OS_SHAREDFLAG_TRUNCATE));
  if (!m_pvView) {
    OsLog(OS_LOG_ASSERT, "OsMemSharedAlloc failed...<%s>", m_szOutput);
    return OS_STS_FAIL;
  }
  if (a_u32Header && WriteAt(m_pvView, 0, a_pbHeader, a_u32Header) != OS_STS_SUCCESS) return OS_STS_FAIL;
  return CopyPieces(a_pvSource, 0, m_pvView, a_u32Header, a_u64Data);
}

// A kept-open output stays open with a view at its header; any other is
// given up.
EOSSTS COsImageImpl::FinishOutput(bool a_blKeepOpen) {
  m_blKeptOpen = false;
  if (!a_blKeepOpen) {
    FreeView(m_pvView);
    return OS_STS_SUCCESS;
  }
  uint64_t u64Rest = MappedFileSize(m_pvView) - m_u32PageOffset;
  if (!MoveView(m_pvView, m_u32PageOffset, std::min<uint64_t>(s_i64HeaderView, u64Rest))) {
    FreeView(m_pvView);
    return OS_STS_FAIL;
  }
  m_blKeptOpen = true;
  return OS_STS_SUCCESS;
}
