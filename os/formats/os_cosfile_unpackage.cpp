// Unpacking a "PMXPKG01" archive below a destination: directories are made
// and get their times again from their closing records, files come back
// through the split reader with their access and times. Every record is
// checked before anything is deleted or written: a path that is absolute,
// climbs with "..", or has no end inside its field is refused (judged as
// the join sees it, drive letter dropped), so nothing outside the
// destination is touched. The records can be written out as a readable
// dump.
#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <set>
#include <string>

#include "os_coscfg.h"
#include "os_cosfileimpl.h"
#include "os_cosfilepackagerecord.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_costime.h"

namespace {

// The dump, when asked for: every line goes to it, or nowhere.
class Dump {
 public:
  EOSSTS Open() {
    char szPath[512];
    if (!OsFileLogDirectoryPath(szPath, sizeof szPath, "ospackagedump.txt") ||
        m_osfile.Open(szPath, OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READ) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "Open failed...<%s>", szPath);
      return OS_STS_FAIL;
    }
    return OS_STS_SUCCESS;
  }
  template <class... A>
  void Line(const char* a_szFormat, A... a_args) {
    if (m_osfile.IsOpen()) m_osfile.Printf(a_szFormat, a_args...);
  }
  void Header(const uint8_t* a_pu8Header, bool a_blTotal) {
    Line(" au8Tag...................%8.8s\r\n", reinterpret_cast<const char*>(a_pu8Header));
    Line(" u32OsFilePackageHeader...%u\r\n", OsFileGetU32(a_pu8Header + 8));
    Line(" u32OsFilePackageChunk....%u\r\n", OsFileGetU32(a_pu8Header + 12));
    if (a_blTotal) Line(" u64TotalOriginalBytes....%llu\r\n", static_cast<unsigned long long>(OsFileGetU64(a_pu8Header + 16)));
  }
  void Time(const char* a_szName, const OsTimeRecord& a_t) {
    Line(" %s%04d/%02d/%02d %02d:%02d:%02d.%03d (%d)\r\n", a_szName, a_t.u16Year, a_t.u16Month, a_t.u16Day,
         a_t.u16Hour, a_t.u16Minute, a_t.u16Second, a_t.u16Milliseconds, a_t.u16DayOfWeek);
  }
  void Chunk(int a_iCount, uint64_t a_u64At, const OsFilePackageChunk& a_chunk) {
    Line("\r\n");
    Line("Package Chunk (count=%d offset=%llu)\r\n", a_iCount, static_cast<unsigned long long>(a_u64At));
    Line(" u64Size..................%llu\r\n", static_cast<unsigned long long>(a_chunk.u64Size));
    Line(" szFilename...............%s\r\n", a_chunk.szFilename);
    Line(" u32OsFileType............%u (%s)\r\n", a_chunk.u32OsFileType,
         a_chunk.u32OsFileType == OS_FILETYPE_DIRECTORY ? "dir" : "file");
    Line(" u32OsFileAccess..........%u (%s)\r\n", a_chunk.u32OsFileAccess,
         a_chunk.u32OsFileAccess == OS_FILEACCESS_READ ? "readonly" : "readwrite");
    Time("ostimerecordAccessed.....", a_chunk.ostimerecordAccessed);
    Time("ostimerecordModified.....", a_chunk.ostimerecordModified);
  }

 private:
  COsFile m_osfile;
};

// A record's path as the join below the destination sees it: a leading
// drive letter ("C:") is dropped there, so it is dropped here too.
const char* Joined(const char* a_szPath) { return a_szPath[0] && a_szPath[1] == ':' ? a_szPath + 2 : a_szPath; }

// A relative path that stays below where it is joined: terminated inside
// its field, not absolute, no ".." component.
bool SafePath(const char* a_szPath, size_t a_sizetField) {
  if (!std::memchr(a_szPath, 0, a_sizetField)) return false;
  a_szPath = Joined(a_szPath);
  if (a_szPath[0] == '/' || a_szPath[0] == '\\') return false;
  for (const char* sz = a_szPath; *sz;) {
    size_t sizetPart = std::strcspn(sz, "/\\");
    if (sizetPart == 2 && sz[0] == '.' && sz[1] == '.') return false;
    sz += sizetPart;
    if (*sz) ++sz;
  }
  return true;
}

// A path of nothing but "." and empty parts: the destination itself.
bool NamesDestination(const char* a_szPath) {
  for (const char* sz = Joined(a_szPath); *sz;) {
    size_t sizetPart = std::strcspn(sz, "/\\");
    if (sizetPart > 1 || (sizetPart == 1 && *sz != '.')) return false;
    sz += sizetPart;
    if (*sz) ++sz;
  }
  return true;
}

// Access and times of a restored entry (directories included), as logged
// failures only. Records hold read-only or read-write; any other value is
// read-write, as the dump shows it (taken as it is, it would leave an entry
// write-only or executable).
void SetAttributes(const char* a_szPath, const OsFilePackageChunk& a_chunk) {
  EOSFILEACCESS eosfileaccess =
      a_chunk.u32OsFileAccess == OS_FILEACCESS_READ ? OS_FILEACCESS_READ : OS_FILEACCESS_READWRITE;
  if (COsFile::SetAccess(a_szPath, eosfileaccess) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "SetAccess failed...<%s>", a_szPath);
  }
  time_t timetAccessed = 0, timetModified = 0;
  struct timespec atimespec[2] = {};
  bool blTimes = COsTime::ConvertSystemToTimet(&a_chunk.ostimerecordAccessed, &timetAccessed) == OS_STS_SUCCESS &&
                 COsTime::ConvertSystemToTimet(&a_chunk.ostimerecordModified, &timetModified) == OS_STS_SUCCESS;
  atimespec[0].tv_sec = timetAccessed;
  atimespec[1].tv_sec = timetModified;
  if (!blTimes || utimensat(AT_FDCWD, a_szPath, atimespec, AT_SYMLINK_NOFOLLOW) != 0) {
    OsLog(OS_LOG_ERROR, "SetFileTimes failed...<%s>", a_szPath);
  }
}

// Files listed without their directory (a pattern's archive) still need one.
bool MakeParent(const char* a_szPath) {
  char szParent[512];
  COsString::SStrCpy(szParent, sizeof szParent, a_szPath);
  char* pszSlash = std::strrchr(szParent, '/');
  if (!pszSlash || pszSlash == szParent) return true;
  *pszSlash = '\0';
  EOSSTS eosstatus = COsFile::Create(szParent);
  return eosstatus == OS_STS_SUCCESS || eosstatus == OS_STS_ALREADY_EXISTS;
}

class PackageReader {
 public:
  PackageReader(const char* a_szDestination, const char* a_szArchive, bool a_blKeep,
                OsFilePackageProgressFunction a_pfnProgress)
      : m_szDestination(a_szDestination), m_szArchive(a_szArchive), m_blKeep(a_blKeep), m_pfnProgress(a_pfnProgress) {
    m_progress.u32Size = sizeof m_progress;
  }
  EOSSTS Run(bool a_blDump);

 private:
  EOSSTS ReadHeader();
  EOSSTS ReadChunk(uint64_t a_u64At, OsFilePackageChunk* a_pchunk);
  EOSSTS Check();
  EOSSTS Restore(const OsFilePackageChunk& a_chunk);

  const char* m_szDestination;
  const char* m_szArchive;
  bool m_blKeep;
  OsFilePackageProgressFunction m_pfnProgress;
  OsFilePackageProgress m_progress{};
  COsFile m_osfileArchive;
  Dump m_dump;
  uint64_t m_u64Size = 0;
  uint32_t m_u32Header = 0, m_u32Chunk = 0;
  bool m_blFirstDirectory = true;
  std::set<std::string> m_setOpenedDirectories;  // seen in their opening record
};

EOSSTS PackageReader::ReadHeader() {
  if (m_osfileArchive.Open(m_szArchive, OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READ) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Open failed...<%s>", m_szArchive);
    return OS_STS_FAIL;
  }
  if (m_osfileArchive.Size64(&m_u64Size) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Size64 failed...<%s>", m_szArchive);
    return OS_STS_FAIL;
  }
  uint8_t au8Header[s_sizetPackageHeader] = {};
  size_t sizetRead = 0;
  if (m_osfileArchive.Read(au8Header, 16, &sizetRead) != OS_STS_SUCCESS || sizetRead != 16) {
    OsLog(OS_LOG_ERROR, "Read failed...<%s>", m_szArchive);
    return OS_STS_FAIL;
  }
  m_dump.Line("Package: %s\r\n", m_szArchive);
  m_dump.Line("\r\n");
  m_dump.Line("Package Common Header\r\n");
  m_dump.Header(au8Header, false);
  if (std::memcmp(au8Header, s_szPackageTag, 8) != 0) {
    OsLog(OS_LOG_ERROR, "Not a package file...<%s>", m_szArchive);
    return OS_STS_FAIL;
  }
  m_u32Header = OsFileGetU32(au8Header + 8);
  m_u32Chunk = OsFileGetU32(au8Header + 12);
  if (m_u32Header < s_sizetPackageHeader || m_u32Chunk < s_sizetPackageChunk || m_u32Header > m_u64Size ||
      m_osfileArchive.Read(au8Header + 16, s_sizetPackageHeader - 16, &sizetRead) != OS_STS_SUCCESS ||
      sizetRead != s_sizetPackageHeader - 16) {
    OsLog(OS_LOG_ERROR, "Corrupt package file...%s (%u %u)", m_szArchive, m_u32Header, m_u32Chunk);
    return OS_STS_FAIL;
  }
  m_dump.Line("\r\n");
  m_dump.Line("Package Header\r\n");
  m_dump.Header(au8Header, true);
  m_progress.u64TotalBytes = OsFileGetU64(au8Header + 16);
  return OS_STS_SUCCESS;
}

EOSSTS PackageReader::ReadChunk(uint64_t a_u64At, OsFilePackageChunk* a_pchunk) {
  uint8_t au8Chunk[s_sizetPackageChunk];
  size_t sizetRead = 0;
  if (m_u64Size - a_u64At < m_u32Chunk ||
      m_osfileArchive.SetFilePointer64(OS_FILEPOINTER_BEGIN, static_cast<int64_t>(a_u64At)) != OS_STS_SUCCESS ||
      m_osfileArchive.Read(au8Chunk, sizeof au8Chunk, &sizetRead) != OS_STS_SUCCESS || sizetRead != sizeof au8Chunk) {
    OsLog(OS_LOG_ERROR, "Error reading chunk...<%s>", m_szArchive);
    return OS_STS_FAIL;
  }
  *a_pchunk = OsFilePackageChunkGet(au8Chunk);
  return OS_STS_SUCCESS;
}

// Walks every record before anything is done with them.
EOSSTS PackageReader::Check() {
  for (uint64_t u64At = m_u32Header; u64At < m_u64Size;) {
    OsFilePackageChunk chunk;
    EOSSTS eosstatus = ReadChunk(u64At, &chunk);
    if (eosstatus != OS_STS_SUCCESS) return eosstatus;
    if (!SafePath(chunk.szFilename, sizeof chunk.szFilename)) {
      chunk.szFilename[sizeof chunk.szFilename - 1] = '\0';
      OsLog(OS_LOG_ERROR, "Path outside the destination...<%s> at %llu", chunk.szFilename,
            static_cast<unsigned long long>(u64At));
      return OS_STS_BAD_ARGUMENT;
    }
    if (chunk.u64Size > m_u64Size - u64At - m_u32Chunk) {
      OsLog(OS_LOG_ERROR, "Corrupt package file...%s (%llu != %llu)", m_szArchive,
            static_cast<unsigned long long>(u64At + m_u32Chunk + chunk.u64Size),
            static_cast<unsigned long long>(m_u64Size));
      return OS_STS_FAIL;
    }
    u64At += m_u32Chunk + chunk.u64Size;
  }
  return OS_STS_SUCCESS;
}

EOSSTS PackageReader::Restore(const OsFilePackageChunk& a_chunk) {
  char szTarget[512];
  if (!COsFile::PathJoin(szTarget, sizeof szTarget, m_szDestination, a_chunk.szFilename)) {
    OsLog(OS_LOG_ERROR, "Path too long...<%s>", a_chunk.szFilename);
    return OS_STS_NOROOM_BUFFER;
  }
  if (a_chunk.u32OsFileType == OS_FILETYPE_DIRECTORY) {
    // The first directory replaces what was there, unless that is kept; the
    // destination itself is never emptied.
    if (m_blFirstDirectory && !m_blKeep && !NamesDestination(a_chunk.szFilename) && COsFile::Exists(szTarget)) {
      COsFile::Delete(szTarget, OS_FILETYPE_DIRECTORY, true);
    }
    m_blFirstDirectory = false;
    EOSSTS eosstatus = COsFile::Create(szTarget);
    if (eosstatus != OS_STS_SUCCESS && eosstatus != OS_STS_ALREADY_EXISTS) {
      OsLog(OS_LOG_ERROR, "OsFileCreateDirectory failed...<%s>", szTarget);
      return eosstatus;
    }
  } else if (!MakeParent(szTarget)) {
    OsLog(OS_LOG_ERROR, "OsFileCreateDirectory failed...<%s>", szTarget);
    return OS_STS_FAIL;
  } else if (a_chunk.u64Size) {
    uint64_t u64Written = 0;
    EOSSTS eosstatus = COsFileImpl::Decompress(szTarget, &u64Written, &m_osfileArchive, a_chunk.u64Size, m_pfnProgress,
                                               &m_progress);
    if (eosstatus != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "Decompress failed...<%s>", szTarget);
      return eosstatus;
    }
  } else {
    EOSSTS eosstatus = COsFileImpl::Progress(m_pfnProgress, &m_progress, szTarget, 0, 0, 0);
    COsFile osfile;
    if (eosstatus == OS_STS_SUCCESS) {
      eosstatus = osfile.Open(szTarget, OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READ);
      if (eosstatus != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "Open failed...<%s>", szTarget);
    }
    if (eosstatus != OS_STS_SUCCESS) return eosstatus;
  }
  // A directory's opening record comes before its contents: a read-only
  // one stays writable until its closing record, or nobody but root could
  // write its files.
  if (a_chunk.u32OsFileType == OS_FILETYPE_DIRECTORY && m_setOpenedDirectories.insert(szTarget).second &&
      a_chunk.u32OsFileAccess == OS_FILEACCESS_READ) {
    OsFilePackageChunk chunkOpening = a_chunk;
    chunkOpening.u32OsFileAccess = OS_FILEACCESS_READWRITE;
    SetAttributes(szTarget, chunkOpening);
    return OS_STS_SUCCESS;
  }
  SetAttributes(szTarget, a_chunk);
  return OS_STS_SUCCESS;
}

EOSSTS PackageReader::Run(bool a_blDump) {
  if (a_blDump && m_dump.Open() != OS_STS_SUCCESS) return OS_STS_FAIL;
  OsFileInfo osfileinfo;
  if (COsFile::FindFirst(m_szDestination, &osfileinfo) != OS_STS_SUCCESS) {
    OsLogDebug(OS_LOG_INFO, "OsFileFindFirst failed...<%s>", m_szDestination);
  } else if (osfileinfo.eosfiletype != OS_FILETYPE_DIRECTORY) {
    COsFile::FindClose(&osfileinfo);
    OsLog(OS_LOG_ERROR, "Destination not a directory...<%s>", m_szDestination);
    return OS_STS_FAIL;
  }
  COsFile::FindClose(&osfileinfo);
  EOSSTS eosstatus = ReadHeader();
  if (eosstatus == OS_STS_SUCCESS) eosstatus = Check();
  int iCount = 0;
  for (uint64_t u64At = m_u32Header; eosstatus == OS_STS_SUCCESS && u64At < m_u64Size;) {
    OsFilePackageChunk chunk;
    eosstatus = ReadChunk(u64At, &chunk);
    if (eosstatus != OS_STS_SUCCESS) break;
    m_dump.Chunk(++iCount, u64At, chunk);
    uint64_t u64Data = u64At + m_u32Chunk;
    if (m_osfileArchive.SetFilePointer64(OS_FILEPOINTER_BEGIN, static_cast<int64_t>(u64Data)) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "Error reading chunk...<%s>", m_szArchive);
      eosstatus = OS_STS_FAIL;
      break;
    }
    eosstatus = Restore(chunk);
    u64At = u64Data + chunk.u64Size;
  }
  return eosstatus;
}
}  // namespace

EOSSTS COsFile::Unpackage(const char* a_szDestination, const char* a_szArchive, bool a_blKeepExisting,
                          OsFilePackageProgressFunction a_pfnProgress, bool a_blDump) {
  if (!a_szDestination || !*a_szDestination || !a_szArchive) {
    OsLog(OS_LOG_ERROR, "an argument is null...");
    return OS_STS_BAD_ARGUMENT;
  }
  PackageReader packagereader(a_szDestination, a_szArchive, a_blKeepExisting, a_pfnProgress);
  return packagereader.Run(a_blDump);
}
