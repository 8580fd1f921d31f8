// Packing a tree, a file or a pattern into a "PMXPKG01" archive: a new one,
// or appended to an existing one at its root or below side roots. One pass
// sizes the files for the header total, the second writes a chunk record
// per entry with each file's split stream behind it; every directory gets a
// second record after its contents, so that unpacking sets its times last.
// A failed append cuts the archive back to what it was.
#include <sys/stat.h>

#include <atomic>
#include <cstring>

#include "os_coscfg.h"
#include "os_cosfileimpl.h"
#include "os_cosfilepackagerecord.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_costime.h"

namespace {
constexpr int s_iTries = 5;
constexpr int s_iDepthMax = 31;
constexpr char s_szProxyFormat[] = "Unable to package file: eossts=0x%x\r\n";
std::atomic<long> s_lRetryPauseMs{1000};

bool Contains(const char* a_szText, const char* a_szPart) { return std::strstr(a_szText, a_szPart) != nullptr; }

// Files whose being in use is their normal state: no waiting for them.
bool NoRetry(const char* a_szPath, bool a_blWriting) {
  static const char* const s_aszName[] = {".lock", ".socket", ".xml", "ui.log", "online"};
  for (const char* sz : s_aszName) {
    if (Contains(a_szPath, sz)) return true;
  }
  return a_blWriting && Contains(a_szPath, ".nolog");
}

// Opens a file exclusively, trying again while another holder has it.
EOSSTS OpenSource(COsFile* a_posfile, const char* a_szPath, bool a_blWriting) {
  EOSSTS eosstatus = OS_STS_FAIL;
  for (int iTry = 0; iTry < s_iTries; ++iTry) {
    if (iTry) COsTime::Sleep(s_lRetryPauseMs.load());
    eosstatus = a_posfile->Open(a_szPath, OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_EXCLUSIVE);
    if (eosstatus != OS_STS_IN_USE || NoRetry(a_szPath, a_blWriting)) break;
    OsLogDebug(OS_LOG_INFO, "file in use, trying again...%d <%s>", iTry + 1, a_szPath);
  }
  return eosstatus;
}

bool IsLink(const char* a_szPath) {
  struct stat st;
  return lstat(a_szPath, &st) == 0 && S_ISLNK(st.st_mode);
}

enum class Pass { Size, Write };

class PackageWriter {
 public:
  PackageWriter(const char* a_szArchive, bool a_blImages, EOSFILEPACKAGE a_eosfilepackage, bool a_blRecurse,
                EOSFILECOMPRESSION a_eosfilecompression, OsFilePackageProgressFunction a_pfnProgress)
      : m_szArchive(a_szArchive), m_blImages(a_blImages), m_eosfilepackage(a_eosfilepackage),
        m_blRecurse(a_blRecurse), m_eosfilecompression(a_eosfilecompression), m_pfnProgress(a_pfnProgress) {
    m_progress.u32Size = sizeof m_progress;
  }

  EOSSTS Run(const char* a_szSource) {
    EOSSTS eosstatus = OpenArchive();
    if (eosstatus == OS_STS_SUCCESS) eosstatus = Pack(a_szSource);
    if (eosstatus != OS_STS_SUCCESS) Undo();
    return eosstatus;
  }

 private:
  EOSSTS OpenArchive();
  EOSSTS ReadArchive();
  EOSSTS Pack(const char* a_szSource);
  EOSSTS Walk(Pass a_pass, const char* a_szPattern, const char* a_szRelative, int a_iDepth);
  EOSSTS Entry(Pass a_pass, const OsFileInfo& a_osfileinfo, const char* a_szRelative, int a_iDepth);
  EOSSTS Chunk(const OsFileInfo& a_osfileinfo, const char* a_szRelative, uint64_t a_u64Size, uint64_t* a_pu64At);
  EOSSTS File(const OsFileInfo& a_osfileinfo, const char* a_szRelative);
  EOSSTS StandIn(EOSSTS a_eosstatusOpen, const OsFileInfo& a_osfileinfo, char* a_szPath, size_t a_sizetPath);
  bool Selected(Pass a_pass, const OsFileInfo& a_osfileinfo) const;
  void Undo();

  const char* m_szArchive;
  bool m_blImages;
  EOSFILEPACKAGE m_eosfilepackage;
  bool m_blRecurse;
  EOSFILECOMPRESSION m_eosfilecompression;
  OsFilePackageProgressFunction m_pfnProgress;
  OsFilePackageProgress m_progress{};
  COsFile m_osfileArchive;
  bool m_blExisted = false;        // the file had contents: undo by cutting back, never by deleting
  bool m_blWritten = false;        // this call has written to it
  uint64_t m_u64Original = 0;      // its length
  uint8_t m_au8Header[s_sizetPackageHeader] = {};  // its header as it was
  uint32_t m_u32Chunk = s_sizetPackageChunk;       // record size of the archive
  uint64_t m_u64Total = 0;         // original bytes: earlier packs, then this one
  char m_szBase[s_sizetPackagePath] = {};  // where new entries go, "" for the root
  struct stat m_statArchive {};
};

EOSSTS PackageWriter::OpenArchive() {
  EOSFILEOPEN eosfileopen = m_eosfilepackage == OS_FILEPACKAGE_CREATE ? OS_FILEOPEN_CREATE : OS_FILEOPEN_ALWAYS;
  EOSSTS eosstatus = m_osfileArchive.Open(m_szArchive, eosfileopen, OS_FILEACCESS_READWRITE, OS_FILESHARE_EXCLUSIVE);
  if (eosstatus != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Open failed...<%s>", m_szArchive);
    return eosstatus;
  }
  stat(m_szArchive, &m_statArchive);
  if (m_osfileArchive.Size64(&m_u64Original) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Size64 failed...<%s>", m_szArchive);
    return OS_STS_FAIL;
  }
  if (m_u64Original == 0) return OS_STS_SUCCESS;
  // Whatever it holds (a package or not) stays.
  m_blExisted = true;
  return ReadArchive();
}

// Walks the records of the archive we append to: they must end exactly at
// its end; side roots are named after its first directory.
EOSSTS PackageWriter::ReadArchive() {
  size_t sizetRead = 0;
  if (m_osfileArchive.Read(m_au8Header, sizeof m_au8Header, &sizetRead) != OS_STS_SUCCESS ||
      sizetRead != sizeof m_au8Header) {
    OsLog(OS_LOG_ERROR, "Read failed...<%s>", m_szArchive);
    return OS_STS_FAIL;
  }
  if (std::memcmp(m_au8Header, s_szPackageTag, 8) != 0) {
    OsLog(OS_LOG_ERROR, "Not a package file...<%s>", m_szArchive);
    return OS_STS_FAIL;
  }
  uint32_t u32Header = OsFileGetU32(m_au8Header + 8);
  m_u32Chunk = OsFileGetU32(m_au8Header + 12);
  m_u64Total = OsFileGetU64(m_au8Header + 16);
  uint64_t u64At = u32Header;
  bool blBase = m_eosfilepackage == OS_FILEPACKAGE_CREATE || m_eosfilepackage == OS_FILEPACKAGE_APPEND;
  // Records smaller than ours would not move the walk on.
  while (u32Header >= s_sizetPackageHeader && m_u32Chunk >= s_sizetPackageChunk && u64At < m_u64Original) {
    uint8_t au8Chunk[s_sizetPackageChunk];
    if (m_osfileArchive.SetFilePointer64(OS_FILEPOINTER_BEGIN, static_cast<int64_t>(u64At)) != OS_STS_SUCCESS ||
        m_osfileArchive.Read(au8Chunk, sizeof au8Chunk, &sizetRead) != OS_STS_SUCCESS || sizetRead != sizeof au8Chunk ||
        m_u64Original - u64At < m_u32Chunk) {
      OsLog(OS_LOG_ERROR, "Error reading chunk...<%s>", m_szArchive);
      return OS_STS_FAIL;
    }
    OsFilePackageChunk chunk = OsFilePackageChunkGet(au8Chunk);
    if (!blBase && chunk.u32OsFileType == OS_FILETYPE_DIRECTORY &&
        std::memchr(chunk.szFilename, 0, sizeof chunk.szFilename)) {
      static const char* const s_aszSide[] = {"/extra", "_locallow", "_normal"};
      COsString::SStrPrintf(m_szBase, sizeof m_szBase, "%s%s", chunk.szFilename, s_aszSide[m_eosfilepackage - 3]);
      blBase = true;
    }
    if (chunk.u64Size > m_u64Original) break;
    u64At += m_u32Chunk + chunk.u64Size;
  }
  if (u64At != m_u64Original || u32Header < s_sizetPackageHeader || m_u32Chunk < s_sizetPackageChunk) {
    OsLog(OS_LOG_ERROR, "Corrupt package file...%s (%llu != %llu)", m_szArchive, static_cast<unsigned long long>(u64At),
          static_cast<unsigned long long>(m_u64Original));
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

EOSSTS PackageWriter::Pack(const char* a_szSource) {
  // A directory is the root: its name leads every entry. Anything else lists
  // as given, below ".".
  char szPattern[512], szRoot[s_sizetPackagePath];
  OsFileInfo osfileinfoRoot{};
  bool blRoot = !std::strpbrk(a_szSource, "?*") && COsFile::FindFirst(a_szSource, &osfileinfoRoot) == OS_STS_SUCCESS &&
                osfileinfoRoot.eosfiletype == OS_FILETYPE_DIRECTORY;
  const char* szPrefix = blRoot ? osfileinfoRoot.szName : ".";
  bool blFits = (*m_szBase ? COsString::SStrPrintf(szRoot, sizeof szRoot, "%s/%s", m_szBase, szPrefix)
                           : COsString::SStrPrintf(szRoot, sizeof szRoot, "%s", szPrefix)) >= 0 &&
                (!blRoot || COsFile::PathJoin(szPattern, sizeof szPattern, a_szSource, "*"));
  if (!blRoot) COsString::SStrCpy(szPattern, sizeof szPattern, a_szSource);
  if (!blFits || !*szPattern) {
    OsLog(OS_LOG_ERROR, "Path too long...<%s>", a_szSource);
    COsFile::FindClose(&osfileinfoRoot);
    return OS_STS_NOROOM_BUFFER;
  }
  EOSSTS eosstatus = Walk(Pass::Size, szPattern, szRoot, 0);
  uint8_t au8Header[s_sizetPackageHeader];
  std::memcpy(au8Header, m_au8Header, sizeof au8Header);
  if (!m_blExisted) OsFilePackageHeaderPut(au8Header, 0);
  OsFilePutU64(au8Header + 16, m_u64Total);
  m_blWritten = eosstatus == OS_STS_SUCCESS;
  if (eosstatus == OS_STS_SUCCESS &&
      (m_osfileArchive.SetFilePointer64(OS_FILEPOINTER_BEGIN, 0) != OS_STS_SUCCESS ||
       m_osfileArchive.Write(au8Header, sizeof au8Header) != OS_STS_SUCCESS ||
       m_osfileArchive.SetFilePointer64(OS_FILEPOINTER_END, 0) != OS_STS_SUCCESS)) {
    OsLog(OS_LOG_ERROR, "Write failed...<%s>", m_szArchive);
    eosstatus = OS_STS_FAIL;
  }
  uint64_t u64At = 0;
  if (eosstatus == OS_STS_SUCCESS && blRoot) eosstatus = Chunk(osfileinfoRoot, szRoot, 0, &u64At);
  if (eosstatus == OS_STS_SUCCESS) eosstatus = Walk(Pass::Write, szPattern, szRoot, 0);
  if (eosstatus == OS_STS_SUCCESS && blRoot) eosstatus = Chunk(osfileinfoRoot, szRoot, 0, &u64At);
  COsFile::FindClose(&osfileinfoRoot);
  return eosstatus;
}

EOSSTS PackageWriter::Walk(Pass a_pass, const char* a_szPattern, const char* a_szRelative, int a_iDepth) {
  OsFileInfo osfileinfo;
  EOSSTS eosstatus = OS_STS_SUCCESS;
  if (COsFile::FindFirst(a_szPattern, &osfileinfo) == OS_STS_SUCCESS) {
    do {
      eosstatus = Entry(a_pass, osfileinfo, a_szRelative, a_iDepth);
    } while (eosstatus == OS_STS_SUCCESS && COsFile::FindNext(&osfileinfo) == OS_STS_SUCCESS);
  }
  COsFile::FindClose(&osfileinfo);
  return eosstatus;
}

bool PackageWriter::Selected(Pass a_pass, const OsFileInfo& a_osfileinfo) const {
  const char* szLower = a_osfileinfo.szNameLower;
  if (std::strcmp(szLower, "thumbs.db") == 0 || Contains(szLower, ".nolog") ||
      Contains(a_osfileinfo.szPath, "nexil/tmp") || Contains(a_osfileinfo.szPath, "nexil\\tmp")) {
    return false;
  }
  return a_pass == Pass::Size || m_blImages || (!Contains(szLower, ".jpg") && !Contains(szLower, ".tif"));
}

EOSSTS PackageWriter::Entry(Pass a_pass, const OsFileInfo& a_osfileinfo, const char* a_szRelative, int a_iDepth) {
  const char* szName = a_osfileinfo.szName;
  struct stat st;
  // Links (to anything) are another kind of entry: never followed. Nor is
  // the archive packed into itself.
  if (std::strcmp(szName, ".") == 0 || std::strcmp(szName, "..") == 0 || IsLink(a_osfileinfo.szPath) ||
      (stat(a_osfileinfo.szPath, &st) == 0 && st.st_dev == m_statArchive.st_dev && st.st_ino == m_statArchive.st_ino)) {
    return OS_STS_SUCCESS;
  }
  char szRelative[s_sizetPackagePath];
  if (COsString::SStrPrintf(szRelative, sizeof szRelative, "%s/%s", a_szRelative, szName) < 0) {
    OsLog(OS_LOG_ERROR, "Path too long...<%s>", a_osfileinfo.szPath);
    return OS_STS_NOROOM_BUFFER;
  }
  if (a_osfileinfo.eosfiletype == OS_FILETYPE_DIRECTORY) {
    if (!m_blRecurse) return OS_STS_SUCCESS;
    if (a_iDepth + 1 > s_iDepthMax) {
      OsLog(OS_LOG_ERROR, "Directory depth overflow...<%s> %d", a_osfileinfo.szPath, a_iDepth + 1);
      return OS_STS_SUCCESS;
    }
    char szPattern[512];
    if (!COsFile::PathJoin(szPattern, sizeof szPattern, a_osfileinfo.szPath, "*")) {
      OsLog(OS_LOG_ERROR, "Path too long...<%s>", a_osfileinfo.szPath);
      return OS_STS_NOROOM_BUFFER;
    }
    uint64_t u64At = 0;
    EOSSTS eosstatus = a_pass == Pass::Write ? Chunk(a_osfileinfo, szRelative, 0, &u64At) : OS_STS_SUCCESS;
    if (eosstatus == OS_STS_SUCCESS) eosstatus = Walk(a_pass, szPattern, szRelative, a_iDepth + 1);
    if (eosstatus == OS_STS_SUCCESS && a_pass == Pass::Write) eosstatus = Chunk(a_osfileinfo, szRelative, 0, &u64At);
    return eosstatus;
  }
  if (a_osfileinfo.eosfiletype != OS_FILETYPE_FILE || !Selected(a_pass, a_osfileinfo)) return OS_STS_SUCCESS;
  if (a_pass == Pass::Write) return File(a_osfileinfo, szRelative);
  COsFile osfile;
  EOSSTS eosstatus = OpenSource(&osfile, a_osfileinfo.szPath, false);
  uint64_t u64Size = 0;
  if (eosstatus == OS_STS_SUCCESS) {
    osfile.Size64(&u64Size);
  } else {
    char szProxy[64];
    u64Size = static_cast<uint64_t>(COsString::SStrPrintf(szProxy, sizeof szProxy, s_szProxyFormat, eosstatus));
  }
  m_u64Total += u64Size;
  return OS_STS_SUCCESS;
}

// Writes one record at the end of the archive; *a_pu64At is where it starts.
EOSSTS PackageWriter::Chunk(const OsFileInfo& a_osfileinfo, const char* a_szRelative, uint64_t a_u64Size,
                            uint64_t* a_pu64At) {
  OsFilePackageChunk chunk{};
  chunk.u64Size = a_u64Size;
  COsString::SStrCpy(chunk.szFilename, sizeof chunk.szFilename, a_szRelative);
  chunk.u32OsFileType = a_osfileinfo.eosfiletype;
  chunk.u32OsFileAccess = static_cast<uint32_t>(a_osfileinfo.i32Access);
  chunk.ostimerecordAccessed = a_osfileinfo.timerecordAccessed;
  chunk.ostimerecordModified = a_osfileinfo.timerecordModified;
  // Records as long as the archive's own: a later version's are padded.
  uint8_t au8Chunk[s_sizetPackageChunk];
  OsFilePackageChunkPut(au8Chunk, chunk);
  static const uint8_t s_au8Zero[64] = {};
  EOSSTS eosstatus = m_osfileArchive.GetFilePointer64(a_pu64At);
  if (eosstatus == OS_STS_SUCCESS) eosstatus = m_osfileArchive.Write(au8Chunk, sizeof au8Chunk);
  for (uint32_t u32Pad = m_u32Chunk - s_sizetPackageChunk; u32Pad && eosstatus == OS_STS_SUCCESS;) {
    uint32_t u32Step = u32Pad < sizeof s_au8Zero ? u32Pad : sizeof s_au8Zero;
    eosstatus = m_osfileArchive.Write(s_au8Zero, u32Step);
    u32Pad -= u32Step;
  }
  if (eosstatus != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "Write failed...<%s>", m_szArchive);
  return eosstatus;
}

// A file that stays in use is packed from a copy in the log directory, or,
// when even that fails, as a line saying why.
EOSSTS PackageWriter::StandIn(EOSSTS a_eosstatusOpen, const OsFileInfo& a_osfileinfo, char* a_szPath,
                               size_t a_sizetPath) {
  if (OsFileLogDirectoryPath(a_szPath, a_sizetPath, "copy.tmp") &&
      COsFile::Copy(a_osfileinfo.szPath, a_szPath) == OS_STS_SUCCESS) {
    return OS_STS_SUCCESS;
  }
  OsLog(OS_LOG_ERROR, "Copy failed...<%s>", a_osfileinfo.szPath);
  char szText[64];
  COsString::SStrPrintf(szText, sizeof szText, s_szProxyFormat, a_eosstatusOpen);
  COsFile osfileProxy;
  if (!OsFileLogDirectoryPath(a_szPath, a_sizetPath, "package.proxy") ||
      osfileProxy.Open(a_szPath, OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READ) != OS_STS_SUCCESS ||
      osfileProxy.Write(szText, std::strlen(szText)) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Unable to package file...<%s>", a_osfileinfo.szPath);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

EOSSTS PackageWriter::File(const OsFileInfo& a_osfileinfo, const char* a_szRelative) {
  COsFile osfileSource;  // held exclusively while it is packed
  EOSSTS eosstatus = OpenSource(&osfileSource, a_osfileinfo.szPath, true);
  char szStandIn[512] = {};
  if (eosstatus != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Open failed...<%s>", a_osfileinfo.szPath);
    eosstatus = StandIn(eosstatus, a_osfileinfo, szStandIn, sizeof szStandIn);
    if (eosstatus != OS_STS_SUCCESS) return eosstatus;
  }
  const char* szSource = *szStandIn ? szStandIn : a_osfileinfo.szPath;
  // The size of this very file: a name may hold "*" or "?", which a
  // listing would take for a pattern.
  struct stat stSource;
  uint64_t u64Size = stat(szSource, &stSource) == 0 ? static_cast<uint64_t>(stSource.st_size) : 0;
  uint64_t u64At = 0, u64Written = 0;
  eosstatus = Chunk(a_osfileinfo, a_szRelative, u64Size, &u64At);
  if (eosstatus == OS_STS_SUCCESS && u64Size == 0) {
    eosstatus = COsFileImpl::Progress(m_pfnProgress, &m_progress, a_osfileinfo.szPath, 0, 0, 0);
  } else if (eosstatus == OS_STS_SUCCESS) {
    eosstatus = COsFileImpl::Compress(&m_osfileArchive, &u64Written, szSource, m_eosfilecompression, m_pfnProgress,
                                      &m_progress);
    if (eosstatus != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "Compress failed...<%s>", szSource);
  }
  // The record's length becomes what the stream took.
  uint8_t au8Size[8];
  OsFilePutU64(au8Size, u64Written);
  if (eosstatus == OS_STS_SUCCESS && u64Size &&
      (m_osfileArchive.SetFilePointer64(OS_FILEPOINTER_BEGIN, static_cast<int64_t>(u64At)) != OS_STS_SUCCESS ||
       m_osfileArchive.Write(au8Size, sizeof au8Size) != OS_STS_SUCCESS ||
       m_osfileArchive.SetFilePointer64(OS_FILEPOINTER_END, 0) != OS_STS_SUCCESS)) {
    OsLog(OS_LOG_ERROR, "Write failed...<%s>", m_szArchive);
    eosstatus = OS_STS_FAIL;
  }
  if (*szStandIn) COsFile::Delete(szStandIn, OS_FILETYPE_FILE, false);
  return eosstatus;
}

// A new archive goes; a file that was there gets back its length and header.
void PackageWriter::Undo() {
  if (!m_osfileArchive.IsOpen()) return;
  if (!m_blExisted) {
    m_osfileArchive.Close();
    struct stat st;
    if (lstat(m_szArchive, &st) == 0 && S_ISREG(st.st_mode)) COsFile::Delete(m_szArchive, OS_FILETYPE_FILE, false);
    return;
  }
  if (m_blWritten &&
      (m_osfileArchive.SetFilePointer64(OS_FILEPOINTER_BEGIN, static_cast<int64_t>(m_u64Original)) != OS_STS_SUCCESS ||
       m_osfileArchive.SetEndOfFile() != OS_STS_SUCCESS ||
       m_osfileArchive.SetFilePointer64(OS_FILEPOINTER_BEGIN, 0) != OS_STS_SUCCESS ||
       m_osfileArchive.Write(m_au8Header, sizeof m_au8Header) != OS_STS_SUCCESS)) {
    OsLog(OS_LOG_ERROR, "Unable to restore the package...<%s>", m_szArchive);
  }
  m_osfileArchive.Close();
}
}  // namespace

bool OsFileLogDirectoryPath(char* a_szPath, size_t a_sizetPath, const char* a_szName) {
  const char* szDirectory = COsFileImpl::CfgText(OS_CFGTAG_LOGDIRECTORY);
  if (*szDirectory && COsFile::PathJoin(a_szPath, a_sizetPath, szDirectory, a_szName)) return true;
  OsLog(OS_LOG_ERROR, "no log directory...<%s>", a_szName);
  return false;
}

long COsFile::PackageSetRetryPause(long a_lMilliseconds) { return s_lRetryPauseMs.exchange(a_lMilliseconds); }

EOSSTS COsFile::Package(const char* a_szArchive, const char* a_szSource, bool a_blIncludeImages,
                        EOSFILEPACKAGE a_eosfilepackage, bool a_blRecurse, EOSFILECOMPRESSION a_eosfilecompression,
                        OsFilePackageProgressFunction a_pfnProgress) {
  if (!a_szArchive || !a_szSource || !*a_szSource) {
    OsLog(OS_LOG_ERROR, "an argument is null...");
    return OS_STS_BAD_ARGUMENT;
  }
  if (a_eosfilepackage < OS_FILEPACKAGE_CREATE || a_eosfilepackage > OS_FILEPACKAGE_NORMAL) {
    OsLog(OS_LOG_ERROR, "a_eosfilepackage is bad...%d", static_cast<int>(a_eosfilepackage));
    return OS_STS_BAD_ARGUMENT;
  }
  PackageWriter packagewriter(a_szArchive, a_blIncludeImages, a_eosfilepackage, a_blRecurse, a_eosfilecompression,
                              a_pfnProgress);
  return packagewriter.Run(a_szSource);
}
