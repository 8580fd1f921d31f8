// Unpacking a "PMXPKG01" archive below a destination: directories are made
// and get their times again from their closing records, files come back
// through the split reader with their access and times. Every record is
// checked before anything is deleted or written: a path that is absolute,
// climbs with "..", or has no end inside its field is refused (judged as
// the join sees it, drive letter dropped), and so is one whose way leads
// through a link already in the destination. Entries are then reached
// step by step from the destination's descriptor, never following a link,
// and changed through their own descriptors, so nothing outside the
// destination is touched even when links appear there meanwhile. The
// records can be written out as a readable dump.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

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

// Access and times of a restored entry (directories included), through its
// descriptor, as logged failures only. Records hold read-only or
// read-write; any other value is read-write, as the dump shows it (taken as
// it is, it would leave an entry write-only or executable).
void SetAttributes(int a_iFd, const char* a_szPath, const OsFilePackageChunk& a_chunk) {
  EOSFILEACCESS eosfileaccess =
      a_chunk.u32OsFileAccess == OS_FILEACCESS_READ ? OS_FILEACCESS_READ : OS_FILEACCESS_READWRITE;
  if (COsFileImpl::SetAccessFd(a_iFd, eosfileaccess) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "SetAccess failed...<%s>", a_szPath);
  }
  time_t timetAccessed = 0, timetModified = 0;
  struct timespec atimespec[2] = {};
  bool blTimes = COsTime::ConvertSystemToTimet(&a_chunk.ostimerecordAccessed, &timetAccessed) == OS_STS_SUCCESS &&
                 COsTime::ConvertSystemToTimet(&a_chunk.ostimerecordModified, &timetModified) == OS_STS_SUCCESS;
  atimespec[0].tv_sec = timetAccessed;
  atimespec[1].tv_sec = timetModified;
  if (!blTimes || futimens(a_iFd, atimespec) != 0) {
    OsLog(OS_LOG_ERROR, "SetFileTimes failed...<%s>", a_szPath);
  }
}

// A record's path as steps below the destination: "/" and "\" both
// separate, "." and empty parts are no step (the join drops them too).
std::vector<std::string> Steps(const char* a_szPath) {
  std::vector<std::string> vecstr;
  for (const char* sz = Joined(a_szPath); *sz;) {
    size_t sizetPart = std::strcspn(sz, "/\\");
    if (sizetPart > 1 || (sizetPart == 1 && *sz != '.')) vecstr.emplace_back(sz, sizetPart);
    sz += sizetPart;
    if (*sz) ++sz;
  }
  return vecstr;
}

// Whether the first steps of a path are the steps of another.
bool Below(const std::vector<std::string>& a_vecstrPath, size_t a_sizetSteps,
           const std::vector<std::string>& a_vecstrTop) {
  return !a_vecstrTop.empty() && a_sizetSteps >= a_vecstrTop.size() &&
         std::equal(a_vecstrTop.begin(), a_vecstrTop.end(), a_vecstrPath.begin());
}

// Closes a descriptor at the end of its scope.
class Fd {
 public:
  explicit Fd(int a_iFd = -1) : m_iFd(a_iFd) {}
  ~Fd() { Reset(-1); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int Get() const { return m_iFd; }
  void Reset(int a_iFd) {
    if (m_iFd >= 0) close(m_iFd);
    m_iFd = a_iFd;
  }

 private:
  int m_iFd;
};

class PackageReader {
 public:
  PackageReader(const char* a_szDestination, const char* a_szArchive, bool a_blKeep,
                OsFilePackageProgressFunction a_pfnProgress)
      : m_szDestination(a_szDestination), m_szArchive(a_szArchive), m_blKeep(a_blKeep), m_pfnProgress(a_pfnProgress) {
    m_progress.u32Size = sizeof m_progress;
  }
  EOSSTS Run(bool a_blDump);

 private:
  EOSSTS OpenDestination(bool a_blCreate);
  EOSSTS ReadHeader();
  EOSSTS ReadChunk(uint64_t a_u64At, OsFilePackageChunk* a_pchunk);
  EOSSTS Check();
  EOSSTS CheckLinks(const OsFilePackageChunk& a_chunk, bool* a_pblFirstDirectory,
                    std::vector<std::string>* a_pvecstrReplaced);
  EOSSTS Refuse(const std::vector<std::string>& a_vecstrSteps, size_t a_sizetSteps);
  EOSSTS Descend(const std::vector<std::string>& a_vecstrSteps, size_t a_sizetSteps, Fd* a_pfd);
  EOSSTS RestoreDirectory(const std::vector<std::string>& a_vecstrSteps, const char* a_szTarget, Fd* a_pfd);
  EOSSTS RestoreFile(const OsFilePackageChunk& a_chunk, const std::vector<std::string>& a_vecstrSteps,
                     const char* a_szTarget, Fd* a_pfd);
  EOSSTS Restore(const OsFilePackageChunk& a_chunk);

  const char* m_szDestination;
  const char* m_szArchive;
  bool m_blKeep;
  OsFilePackageProgressFunction m_pfnProgress;
  OsFilePackageProgress m_progress{};
  COsFile m_osfileArchive;
  Dump m_dump;
  Fd m_fdDestination;  // every entry is reached from it, never by its path
  uint64_t m_u64Size = 0;
  uint32_t m_u32Header = 0, m_u32Chunk = 0;
  bool m_blFirstDirectory = true;
  std::set<std::string> m_setOpenedDirectories;  // seen in their opening record
};

// The destination as the caller names it: a link there is the caller's own
// choice and is followed, once, with a line in the log.
EOSSTS PackageReader::OpenDestination(bool a_blCreate) {
  struct stat st;
  if (lstat(m_szDestination, &st) != 0) {
    if (!a_blCreate) return OS_STS_SUCCESS;  // nothing there yet, so no link either
    EOSSTS eosstatus = COsFile::Create(m_szDestination);
    if (eosstatus != OS_STS_SUCCESS && eosstatus != OS_STS_ALREADY_EXISTS) {
      OsLog(OS_LOG_ERROR, "OsFileCreateDirectory failed...<%s>", m_szDestination);
      return eosstatus;
    }
  } else if (S_ISLNK(st.st_mode)) {
    OsLog(OS_LOG_INFO, "Destination is a link, followed...<%s>", m_szDestination);
  }
  int iFd = open(m_szDestination, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (iFd < 0) {
    OsLog(OS_LOG_ERROR, "Destination not a directory...<%s>", m_szDestination);
    return OS_STS_FAIL;
  }
  m_fdDestination.Reset(iFd);
  return OS_STS_SUCCESS;
}

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
  bool blFirstDirectory = true;
  std::vector<std::string> vecstrReplaced;
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
    eosstatus = CheckLinks(chunk, &blFirstDirectory, &vecstrReplaced);
    if (eosstatus != OS_STS_SUCCESS) return eosstatus;
    u64At += m_u32Chunk + chunk.u64Size;
  }
  return OS_STS_SUCCESS;
}

// A record whose way leads through a symbolic link already in the
// destination is refused before anything is written. The entries that the
// first directory record replaces do not count (they go, links included);
// nor does a file's own name while existing entries are replaced.
EOSSTS PackageReader::CheckLinks(const OsFilePackageChunk& a_chunk, bool* a_pblFirstDirectory,
                                 std::vector<std::string>* a_pvecstrReplaced) {
  std::vector<std::string> vecstrSteps = Steps(a_chunk.szFilename);
  bool blDirectory = a_chunk.u32OsFileType == OS_FILETYPE_DIRECTORY;
  if (blDirectory && *a_pblFirstDirectory) {
    *a_pblFirstDirectory = false;
    if (!m_blKeep) *a_pvecstrReplaced = vecstrSteps;
  }
  if (m_fdDestination.Get() < 0) return OS_STS_SUCCESS;
  Fd fd(dup(m_fdDestination.Get()));
  for (size_t sizet = 0; sizet < vecstrSteps.size() && fd.Get() >= 0; ++sizet) {
    if (Below(vecstrSteps, sizet + 1, *a_pvecstrReplaced)) break;
    struct stat st;
    if (fstatat(fd.Get(), vecstrSteps[sizet].c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) break;  // made later
    bool blLast = sizet + 1 == vecstrSteps.size();
    if (S_ISLNK(st.st_mode) && (!blLast || blDirectory || m_blKeep)) return Refuse(vecstrSteps, sizet + 1);
    if (blLast || !S_ISDIR(st.st_mode)) break;
    fd.Reset(openat(fd.Get(), vecstrSteps[sizet].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  }
  return OS_STS_SUCCESS;
}

// Logs the way up to the link (or other entry that is no plain file of
// one name) it met.
EOSSTS PackageReader::Refuse(const std::vector<std::string>& a_vecstrSteps, size_t a_sizetSteps) {
  std::string strPath = m_szDestination;
  for (size_t sizet = 0; sizet < a_sizetSteps; ++sizet) strPath += "/" + a_vecstrSteps[sizet];
  OsLog(OS_LOG_ERROR, "Link refused...<%s>", strPath.c_str());
  return COsFileImpl::s_eosstsLink;
}

// Opens the directory of the first steps below the destination, making
// those that are missing.
EOSSTS PackageReader::Descend(const std::vector<std::string>& a_vecstrSteps, size_t a_sizetSteps, Fd* a_pfd) {
  a_pfd->Reset(dup(m_fdDestination.Get()));
  for (size_t sizet = 0; sizet < a_sizetSteps; ++sizet) {
    int iFd = -1;
    EOSSTS eosstatus = COsFileImpl::OpenDirectoryAt(a_pfd->Get(), a_vecstrSteps[sizet].c_str(), true, &iFd);
    if (eosstatus == COsFileImpl::s_eosstsLink) return Refuse(a_vecstrSteps, sizet + 1);
    if (eosstatus != OS_STS_SUCCESS) return eosstatus;
    a_pfd->Reset(iFd);
  }
  return a_pfd->Get() >= 0 ? OS_STS_SUCCESS : OS_STS_FAIL;
}

EOSSTS PackageReader::RestoreDirectory(const std::vector<std::string>& a_vecstrSteps, const char* a_szTarget,
                                       Fd* a_pfd) {
  // The first directory replaces what was there, unless that is kept; the
  // destination itself is never emptied.
  bool blReplace = m_blFirstDirectory && !m_blKeep && !a_vecstrSteps.empty();
  m_blFirstDirectory = false;
  EOSSTS eosstatus = OS_STS_SUCCESS;
  if (blReplace) {
    Fd fdParent;
    eosstatus = Descend(a_vecstrSteps, a_vecstrSteps.size() - 1, &fdParent);
    const char* szName = a_vecstrSteps.back().c_str();
    struct stat st;
    if (eosstatus == OS_STS_SUCCESS && fstatat(fdParent.Get(), szName, &st, AT_SYMLINK_NOFOLLOW) == 0) {
      if (S_ISDIR(st.st_mode)) {
        COsFileImpl::RemoveDirectoryAt(fdParent.Get(), szName, true);
      } else if (S_ISLNK(st.st_mode)) {
        unlinkat(fdParent.Get(), szName, 0);
      }
    }
  }
  if (eosstatus == OS_STS_SUCCESS) eosstatus = Descend(a_vecstrSteps, a_vecstrSteps.size(), a_pfd);
  if (eosstatus != OS_STS_SUCCESS && eosstatus != COsFileImpl::s_eosstsLink) {
    OsLog(OS_LOG_ERROR, "OsFileCreateDirectory failed...<%s>", a_szTarget);
  }
  return eosstatus;
}

// Files listed without their directory (a pattern's archive) still get one.
EOSSTS PackageReader::RestoreFile(const OsFilePackageChunk& a_chunk, const std::vector<std::string>& a_vecstrSteps,
                                  const char* a_szTarget, Fd* a_pfd) {
  if (a_vecstrSteps.empty()) {
    OsLog(OS_LOG_ERROR, "Open failed...<%s>", a_szTarget);
    return OS_STS_FAIL;
  }
  Fd fdParent;
  EOSSTS eosstatus = Descend(a_vecstrSteps, a_vecstrSteps.size() - 1, &fdParent);
  if (eosstatus != OS_STS_SUCCESS) {
    if (eosstatus != COsFileImpl::s_eosstsLink) OsLog(OS_LOG_ERROR, "OsFileCreateDirectory failed...<%s>", a_szTarget);
    return eosstatus;
  }
  if (!a_chunk.u64Size) eosstatus = COsFileImpl::Progress(m_pfnProgress, &m_progress, a_szTarget, 0, 0, 0);
  if (eosstatus != OS_STS_SUCCESS) return eosstatus;
  const char* szName = a_vecstrSteps.back().c_str();
  int iFd = -1;
  eosstatus = COsFileImpl::CreateFileAt(fdParent.Get(), szName, !m_blKeep, &iFd);
  if (eosstatus == COsFileImpl::s_eosstsLink) return Refuse(a_vecstrSteps, a_vecstrSteps.size());
  if (eosstatus != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Open failed...<%s>", a_szTarget);
    return eosstatus;
  }
  a_pfd->Reset(iFd);
  COsFileImpl::ApplyCreationMask(iFd, a_szTarget);
  if (!a_chunk.u64Size) return OS_STS_SUCCESS;
  uint64_t u64Written = 0;
  eosstatus = COsFileImpl::Decompress(iFd, a_szTarget, &u64Written, &m_osfileArchive, a_chunk.u64Size, m_pfnProgress,
                                      &m_progress);
  if (eosstatus != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Decompress failed...<%s>", a_szTarget);
    a_pfd->Reset(-1);
    unlinkat(fdParent.Get(), szName, 0);  // the file made above goes again
  }
  return eosstatus;
}

EOSSTS PackageReader::Restore(const OsFilePackageChunk& a_chunk) {
  char szTarget[512];
  if (!COsFile::PathJoin(szTarget, sizeof szTarget, m_szDestination, a_chunk.szFilename)) {
    OsLog(OS_LOG_ERROR, "Path too long...<%s>", a_chunk.szFilename);
    return OS_STS_NOROOM_BUFFER;
  }
  std::vector<std::string> vecstrSteps = Steps(a_chunk.szFilename);
  Fd fd;
  EOSSTS eosstatus = a_chunk.u32OsFileType == OS_FILETYPE_DIRECTORY ? RestoreDirectory(vecstrSteps, szTarget, &fd)
                                                                     : RestoreFile(a_chunk, vecstrSteps, szTarget, &fd);
  if (eosstatus != OS_STS_SUCCESS) return eosstatus;
  // A directory's opening record comes before its contents: a read-only
  // one stays writable until its closing record, or nobody but root could
  // write its files.
  if (a_chunk.u32OsFileType == OS_FILETYPE_DIRECTORY && m_setOpenedDirectories.insert(szTarget).second &&
      a_chunk.u32OsFileAccess == OS_FILEACCESS_READ) {
    OsFilePackageChunk chunkOpening = a_chunk;
    chunkOpening.u32OsFileAccess = OS_FILEACCESS_READWRITE;
    SetAttributes(fd.Get(), szTarget, chunkOpening);
    return OS_STS_SUCCESS;
  }
  SetAttributes(fd.Get(), szTarget, a_chunk);
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
  EOSSTS eosstatus = OpenDestination(false);
  if (eosstatus == OS_STS_SUCCESS) eosstatus = ReadHeader();
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
    // A missing destination is made only once there is a record to restore.
    if (m_fdDestination.Get() < 0) eosstatus = OpenDestination(true);
    if (eosstatus == OS_STS_SUCCESS) eosstatus = Restore(chunk);
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
