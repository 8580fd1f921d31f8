// One open file: opening with its disposition and share lock, closing,
// reading, writing, formatted output and positioning. The file is held as a
// plain descriptor so that every write reports exactly what reached the
// file.
#include "os_cosfileimpl.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "os_coscfg.h"
#include "os_costhread.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {
// The stdio mode of a disposition (after "open always" is settled) and an
// access, or null when none belongs to them.
const char* ModeOf(int a_iDisposition, int a_eosfileaccess) {
  static const char* const s_aszExisting[] = {"r", "r+", "r+"};
  static const char* const s_aszCreate[] = {"r+", "w", "w+"};
  if (a_eosfileaccess < OS_FILEACCESS_READ || a_eosfileaccess > OS_FILEACCESS_READWRITE) return nullptr;
  if (a_iDisposition == OS_FILEOPEN_EXISTING) return s_aszExisting[a_eosfileaccess - 1];
  if (a_iDisposition == OS_FILEOPEN_CREATE || a_iDisposition == OS_FILEOPEN_DELETEONCLOSE) {
    return s_aszCreate[a_eosfileaccess - 1];
  }
  return nullptr;
}

// Open flags of a stdio mode. Truncation is left to the caller, after the
// share lock is held, so that a file in use elsewhere is never emptied.
int FlagsOf(const char* a_szMode) {
  bool blPlus = a_szMode[1] == '+';
  if (a_szMode[0] == 'r') return blPlus ? O_RDWR : O_RDONLY;
  return (blPlus ? O_RDWR : O_WRONLY) | O_CREAT;
}
}  // namespace

COsFileImpl::COsFileImpl()
    : m_szName{}, m_alockslot{}, m_lPrintfBuffer(s_lPrintfBufferDefault), m_pszPrintf(nullptr), m_iFd(-1),
      m_eosfileopen(0), m_blCreated(false), m_pvLibrary(nullptr), m_posfileeditline(nullptr),
      m_posthreadSound(nullptr) {}

COsFileImpl::~COsFileImpl() {
  Close();
  EditLineCleanup();
  SharedLibraryFree();
  if (m_posthreadSound) {
    OsLogDebug(OS_LOG_INFO, "mem>>> addr:%p delete-object", static_cast<void*>(m_posthreadSound));
    delete m_posthreadSound;
  }
}

bool COsFileImpl::NeedOpen() {
  if (IsOpen()) return false;
  OsLog(OS_LOG_ERROR, "Need to open a file first...");
  return true;
}

EOSSTS COsFileImpl::Open(const char* a_szFilename, EOSFILEOPEN a_eosfileopen, EOSFILEACCESS a_eosfileaccess,
                         EOSFILESHARE a_eosfileshare) {
  if (!a_szFilename) {
    OsLog(OS_LOG_ERROR, "a_szFilename is null...");
    return OS_STS_BAD_ARGUMENT;
  }
  if (a_eosfileopen < 1 || a_eosfileopen > 5) {
    OsLog(OS_LOG_ERROR, "a_eosfileopen is bad...");
    return OS_STS_BAD_ARGUMENT;
  }
  if (a_eosfileaccess < 1 || a_eosfileaccess > 4) {
    OsLog(OS_LOG_ERROR, "a_eosfileaccess is bad...");
    return OS_STS_BAD_ARGUMENT;
  }
  if (a_eosfileshare < 1 || a_eosfileshare > 4) {
    OsLog(OS_LOG_ERROR, "a_eosfileshare is bad...");
    return OS_STS_BAD_ARGUMENT;
  }
  // Close deletes by this name: it must be kept whole.
  if (std::strlen(a_szFilename) >= s_sizetName) {
    OsLog(OS_LOG_ERROR, "a_szFilename is too long...<%s>", a_szFilename);
    return OS_STS_BAD_ARGUMENT;
  }
  if (IsOpen()) {
    OsLogDebug(OS_LOG_INFO, "closing the open file first...<%s>", m_szName);
    Close();
  }

  bool blReadable = faccessat(AT_FDCWD, a_szFilename, R_OK, AT_EACCESS) == 0;
  int iAccessErrno = blReadable ? 0 : errno;
  if (!blReadable && a_eosfileopen == OS_FILEOPEN_EXISTING) {
    OsLogDebug(OS_LOG_INFO, "access failed...%d <%s>", iAccessErrno, a_szFilename);
    errno = iAccessErrno;
    if (iAccessErrno == ENOENT) return OS_STS_FILE_NOT_FOUND;
    if (iAccessErrno == EACCES) return OS_STS_ACCESS_DENIED;
    return OS_STS_FAIL;
  }

  // "Open always" keeps an existing file, also one we may not read: it is
  // never emptied just because it is unreadable.
  m_eosfileopen = a_eosfileopen;
  int iDisposition = a_eosfileopen;
  if (a_eosfileopen == OS_FILEOPEN_ALWAYS) {
    iDisposition = (blReadable || iAccessErrno == EACCES) ? OS_FILEOPEN_EXISTING : OS_FILEOPEN_CREATE;
  }
  const char* szMode = ModeOf(iDisposition, a_eosfileaccess);
  EOSSTS eosstatus = OpenDescriptor(a_szFilename, szMode);
  if (eosstatus != OS_STS_SUCCESS && errno == ENOENT && iDisposition == OS_FILEOPEN_EXISTING &&
      (a_eosfileaccess == OS_FILEACCESS_WRITE || a_eosfileaccess == OS_FILEACCESS_READWRITE)) {
    szMode = "w+";
    eosstatus = OpenDescriptor(a_szFilename, szMode);
  }
  if (eosstatus != OS_STS_SUCCESS) {
    int iErrno = errno;
    OsLogDebug(OS_LOG_INFO, "fopen failed...%s <%s>", szMode ? szMode : "(none)", a_szFilename);
    errno = iErrno;
    m_eosfileopen = 0;
  } else if (a_eosfileshare == OS_FILESHARE_EXCLUSIVE && flock(m_iFd, LOCK_EX | LOCK_NB) != 0 &&
             errno == EWOULDBLOCK) {
    OsLogDebug(OS_LOG_INFO, "file inuse...<%s>", a_szFilename);
    close(m_iFd);
    m_iFd = -1;
    m_eosfileopen = 0;
    return OS_STS_IN_USE;
  }
  if (IsOpen() && szMode[0] == 'w' && ftruncate(m_iFd, 0) != 0) {
    OsLogDebug(OS_LOG_INFO, "ftruncate failed...%d <%s>", errno, a_szFilename);
  }
  // Only a file this open made gets the configured bits: an existing one
  // may be anybody's (its name planted in a shared directory).
  if (IsOpen() && m_blCreated) ApplyCreationMask(m_iFd, a_szFilename);
  COsString::SStrCpy(m_szName, sizeof m_szName, a_szFilename);
  return eosstatus;
}

// Opens the descriptor for a stdio mode; a directory is refused like the
// system refuses writing to one. Sets errno on failure. An open for writing
// never follows a link at the name (ELOOP): a link planted in a shared
// directory must not send the data elsewhere. Notes whether the file was
// made by this open.
EOSSTS COsFileImpl::OpenDescriptor(const char* a_szFilename, const char* a_szMode) {
  m_blCreated = false;
  if (!a_szMode) {
    errno = EINVAL;
    return OS_STS_FAIL;
  }
  // Non-blocking only while opening, so that a pipe without writer cannot hang us.
  const int iFlags = FlagsOf(a_szMode) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  const bool blWrite = (iFlags & O_ACCMODE) != O_RDONLY;
  const int iOpen = (iFlags & ~O_CREAT) | (blWrite ? O_NOFOLLOW : 0);
  int iFd = -1;
  if (iFlags & O_CREAT) {
    iFd = open(a_szFilename, iOpen | O_CREAT | O_EXCL, 0666);
    m_blCreated = iFd >= 0;
  }
  if (iFd < 0 && (!(iFlags & O_CREAT) || errno == EEXIST)) iFd = open(a_szFilename, iOpen);
  if (iFd < 0) return StatusFromErrno(errno);
  struct stat st;
  if (fstat(iFd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(iFd);
    m_blCreated = false;
    errno = EISDIR;
    return OS_STS_FAIL;
  }
  const int iStatusFlags = fcntl(iFd, F_GETFL);
  if (iStatusFlags >= 0) fcntl(iFd, F_SETFL, iStatusFlags & ~O_NONBLOCK);
  m_iFd = iFd;
  return OS_STS_SUCCESS;
}

// Files below the configured root get the configured permission bits.
void COsFileImpl::ApplyCreationMask(int a_iFd, const char* a_szFilename) {
  const char* szRoot = CfgText(10);  // RootPath
  if (!*szRoot || !std::strstr(a_szFilename, szRoot)) return;
  long lMode = OsCfgGetLong(1, 97, 0777);  // ForceFileCreationMask
  if (fchmod(a_iFd, static_cast<mode_t>(lMode) & 07777) != 0) {
    OsLogDebug(OS_LOG_INFO, "fchmod failed...%d <%s>", errno, a_szFilename);
  }
}

EOSSTS COsFileImpl::Close() {
  if (m_iFd >= 0) {
    if (m_eosfileopen == OS_FILEOPEN_DELETEONCLOSE) {
      m_eosfileopen = 0;
      DeleteOwnFile();
    }
    // Closing releases the share lock and every region lock of the file.
    close(m_iFd);
    m_iFd = -1;
    std::memset(m_alockslot, 0, sizeof m_alockslot);
  }
  BufferFree(m_pszPrintf);
  m_pszPrintf = nullptr;
  return OS_STS_SUCCESS;
}

// Deletes the file opened for deletion on close: only a regular file, and
// only while its name still leads to it (not to a device, nor to another
// file after the working directory changed).
void COsFileImpl::DeleteOwnFile() {
  struct stat stOpen, stName;
  if (fstat(m_iFd, &stOpen) != 0 || !S_ISREG(stOpen.st_mode) || stat(m_szName, &stName) != 0 ||
      stOpen.st_dev != stName.st_dev || stOpen.st_ino != stName.st_ino) {
    OsLogDebug(OS_LOG_INFO, "not deleting...<%s>", m_szName);
    return;
  }
  if (unlink(m_szName) != 0) OsLogDebug(OS_LOG_INFO, "unlink failed...%d <%s>", errno, m_szName);
}

EOSSTS COsFileImpl::GetName(char* a_szName, size_t a_sizetName) {
  if (!a_szName) {
    OsLog(OS_LOG_ERROR, "a_szName is null...");
    return OS_STS_FAIL;
  }
  if (!IsOpen()) {
    OsLog(OS_LOG_ERROR, "file must be open to get the name...");
    return OS_STS_FAIL;
  }
  if (std::strlen(m_szName) >= a_sizetName) {
    OsLog(OS_LOG_ERROR, "buffer too small...%zu <%s>", a_sizetName, m_szName);
    return OS_STS_NOROOM_BUFFER;
  }
  COsString::SStrCpy(a_szName, a_sizetName, m_szName);
  return OS_STS_SUCCESS;
}

EOSSTS COsFileImpl::Read(void* a_pBuffer, size_t a_sizetBytes, size_t* a_psizetRead) {
  if (a_psizetRead) *a_psizetRead = 0;
  if (!a_pBuffer) {
    OsLog(OS_LOG_ERROR, "a_pBuffer is NULL...");
    return OS_STS_BAD_ARGUMENT;
  }
  if (NeedOpen()) return OS_STS_BAD_ARGUMENT;
  char* pcBuffer = static_cast<char*>(a_pBuffer);
  size_t sizetDone = 0;
  EOSSTS eosstatus = OS_STS_SUCCESS;
  while (sizetDone < a_sizetBytes) {
    size_t sizetAsk = a_sizetBytes - sizetDone;
    ssize_t sstRead = read(m_iFd, pcBuffer + sizetDone, sizetAsk > SSIZE_MAX ? SSIZE_MAX : sizetAsk);
    if (sstRead < 0 && errno == EINTR) continue;
    if (sstRead < 0) {
      OsLogDebug(OS_LOG_INFO, "read failed...%d <%s>", errno, m_szName);
      eosstatus = OS_STS_FAIL;
      break;
    }
    if (sstRead == 0) break;
    sizetDone += static_cast<size_t>(sstRead);
  }
  if (a_psizetRead) *a_psizetRead = sizetDone;
  return eosstatus;
}

bool COsFileImpl::SameFile(const char* a_szFirst, const char* a_szSecond) {
  struct stat stFirst, stSecond;
  return stat(a_szFirst, &stFirst) == 0 && stat(a_szSecond, &stSecond) == 0 && stFirst.st_dev == stSecond.st_dev &&
         stFirst.st_ino == stSecond.st_ino;
}

size_t COsFileImpl::WriteAll(int a_iFd, const void* a_pBuffer, size_t a_sizetBytes, int* a_piErrno) {
  const char* pcBuffer = static_cast<const char*>(a_pBuffer);
  size_t sizetDone = 0;
  *a_piErrno = 0;
  while (sizetDone < a_sizetBytes) {
    size_t sizetAsk = a_sizetBytes - sizetDone;
    ssize_t sstWritten = write(a_iFd, pcBuffer + sizetDone, sizetAsk > SSIZE_MAX ? SSIZE_MAX : sizetAsk);
    if (sstWritten < 0 && errno == EINTR) continue;
    if (sstWritten <= 0) {
      *a_piErrno = sstWritten < 0 ? errno : ENOSPC;
      break;
    }
    sizetDone += static_cast<size_t>(sstWritten);
  }
  return sizetDone;
}

EOSSTS COsFileImpl::Write(const void* a_pBuffer, size_t a_sizetBytes, size_t* a_psizetWritten) {
  if (a_psizetWritten) *a_psizetWritten = 0;
  if (!a_pBuffer) {
    OsLog(OS_LOG_ERROR, "a_pBuffer is NULL...");
    return OS_STS_BAD_ARGUMENT;
  }
  if (NeedOpen()) return OS_STS_BAD_ARGUMENT;
  int iErrno = 0;
  size_t sizetDone = WriteAll(m_iFd, a_pBuffer, a_sizetBytes, &iErrno);
  if (a_psizetWritten) *a_psizetWritten = sizetDone;
  if (sizetDone == a_sizetBytes) return OS_STS_SUCCESS;
  OsLogDebug(OS_LOG_INFO, "write failed...%d %zu/%zu <%s>", iErrno, sizetDone, a_sizetBytes, m_szName);
  errno = iErrno;
  return StatusFromIoErrno(iErrno);
}

int COsFileImpl::VPrintf(const char* a_szFormat, va_list a_valist) {
  if (!a_szFormat) {
    OsLog(OS_LOG_ERROR, "a_szFormat is null...");
    return -1;
  }
  if (NeedOpen()) return -1;
  if (!m_pszPrintf) {
    m_pszPrintf = m_lPrintfBuffer > 0 ? static_cast<char*>(BufferAlloc(static_cast<size_t>(m_lPrintfBuffer))) : nullptr;
    if (!m_pszPrintf) {
      OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
      return -1;
    }
  }
  int iLength = COsString::SStrVprintf(m_pszPrintf, static_cast<size_t>(m_lPrintfBuffer), a_szFormat, a_valist);
  if (iLength <= 0) return iLength;
  size_t sizetWritten = 0;
  if (Write(m_pszPrintf, static_cast<size_t>(iLength), &sizetWritten) != OS_STS_SUCCESS) return -1;
  return iLength;
}

long COsFileImpl::SetPrintfBufferSize(long a_lBytes) {
  long lPrevious = m_lPrintfBuffer;
  m_lPrintfBuffer = a_lBytes;
  BufferFree(m_pszPrintf);
  m_pszPrintf = nullptr;
  return lPrevious;
}

EOSSTS COsFileImpl::Flush() {
  // Every write goes straight to the file: nothing is held back here.
  if (NeedOpen()) return OS_STS_BAD_ARGUMENT;
  return OS_STS_SUCCESS;
}

EOSSTS COsFileImpl::SetFilePointer64(EOSFILEPOINTER a_eosfilepointer, int64_t a_i64Offset) {
  if (NeedOpen()) return OS_STS_BAD_ARGUMENT;
  int iWhence;
  switch (a_eosfilepointer) {
    case OS_FILEPOINTER_BEGIN: iWhence = SEEK_SET; break;
    case OS_FILEPOINTER_CURRENT: iWhence = SEEK_CUR; break;
    case OS_FILEPOINTER_END: iWhence = SEEK_END; break;
    default:
      OsLog(OS_LOG_ERROR, "Unrecognized a_eosfilepointer...%d", static_cast<int>(a_eosfilepointer));
      return OS_STS_FAIL;
  }
  if (lseek(m_iFd, static_cast<off_t>(a_i64Offset), iWhence) < 0) {
    OsLogDebug(OS_LOG_INFO, "lseek failed...%d <%s>", errno, m_szName);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

EOSSTS COsFileImpl::GetFilePointer64(uint64_t* a_pu64Bytes) {
  if (!a_pu64Bytes) {
    OsLog(OS_LOG_ERROR, "a_pu64Bytes is NULL...");
    return OS_STS_FAIL;
  }
  if (NeedOpen()) return OS_STS_FAIL;
  off_t offt = lseek(m_iFd, 0, SEEK_CUR);
  if (offt < 0) return OS_STS_FAIL;
  *a_pu64Bytes = static_cast<uint64_t>(offt);
  return OS_STS_SUCCESS;
}

EOSSTS COsFileImpl::Size64(uint64_t* a_pu64Bytes) {
  if (NeedOpen()) return OS_STS_BAD_ARGUMENT;
  off_t offtCurrent = lseek(m_iFd, 0, SEEK_CUR);
  off_t offtEnd = offtCurrent < 0 ? -1 : lseek(m_iFd, 0, SEEK_END);
  if (offtEnd < 0 || lseek(m_iFd, offtCurrent, SEEK_SET) < 0) {
    OsLogDebug(OS_LOG_INFO, "lseek failed...%d <%s>", errno, m_szName);
    return OS_STS_FAIL;
  }
  *a_pu64Bytes = static_cast<uint64_t>(offtEnd);
  return OS_STS_SUCCESS;
}

EOSSTS COsFileImpl::SetEndOfFile() {
  if (NeedOpen()) return OS_STS_BAD_ARGUMENT;
  off_t offt = lseek(m_iFd, 0, SEEK_CUR);
  if (offt < 0 || ftruncate(m_iFd, offt) != 0) {
    OsLogDebug(OS_LOG_INFO, "ftruncate failed...");
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

EOSSTS COsFileImpl::StatusFromErrno(int a_iErrno) {
  switch (a_iErrno) {
    case ENOENT: return OS_STS_FILE_NOT_FOUND;
    case EACCES:
    case EPERM: return OS_STS_ACCESS_DENIED;
    case EIO: return OS_STS_IO_ERROR;
    case EAGAIN:
    case ETXTBSY: return OS_STS_IN_USE;
    default: return OS_STS_FAIL;
  }
}

EOSSTS COsFileImpl::StatusFromIoErrno(int a_iErrno) {
  switch (a_iErrno) {
    case EIO:
    case ENOSPC:
    case EDQUOT: return OS_STS_IO_ERROR;
    default: return OS_STS_FAIL;
  }
}

const char* COsFileImpl::CfgText(unsigned a_uTag) {
  const char* szValue = g_poscfg ? g_poscfg->Get(1, a_uTag) : nullptr;
  return szValue ? szValue : "";
}

void* COsFileImpl::BufferAlloc(size_t a_sizetBytes) { return a_sizetBytes ? std::malloc(a_sizetBytes) : nullptr; }

void COsFileImpl::BufferFree(void* a_pvBuffer) { std::free(a_pvBuffer); }
