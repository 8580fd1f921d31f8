// Copying and moving files, and copying directory trees with a filter callback.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "os_cosfile.h"
#include "os_cosfileimpl.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {
constexpr size_t s_sizetCopyBlock = 2 * 1024 * 1024;

void LogCopyFailed(const char* a_szFrom, const char* a_szTo) {
  OsLogDebug(OS_LOG_INFO, "CopyFile failed...");
  OsLogDebug(OS_LOG_INFO, "src: %s", a_szFrom);
  OsLogDebug(OS_LOG_INFO, "dst: %s", a_szTo);
}

// Opens the source for reading (never a directory, and no wait on a pipe).
int OpenSource(const char* a_szFrom, struct stat* a_pst) {
  int iFd = open(a_szFrom, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (iFd < 0) return -1;
  if (fstat(iFd, a_pst) != 0 || S_ISDIR(a_pst->st_mode)) {
    close(iFd);
    return -1;
  }
  int iFlags = fcntl(iFd, F_GETFL);
  if (iFlags >= 0) fcntl(iFd, F_SETFL, iFlags & ~O_NONBLOCK);
  return iFd;
}

// Opens the target for writing; it is emptied only once it is known not to
// be the source itself. Tells whether it is a regular file (which alone is
// removed again after a failed copy: never a device).
int OpenTarget(const char* a_szTo, const struct stat& a_stSource, bool* a_pblRegular) {
  int iFd = open(a_szTo, O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  if (iFd < 0) return -1;
  struct stat st;
  if (fstat(iFd, &st) != 0 || (st.st_dev == a_stSource.st_dev && st.st_ino == a_stSource.st_ino)) {
    close(iFd);
    return -1;
  }
  *a_pblRegular = S_ISREG(st.st_mode);
  int iFlags = fcntl(iFd, F_GETFL);
  if ((*a_pblRegular && ftruncate(iFd, 0) != 0) || iFlags < 0 || fcntl(iFd, F_SETFL, iFlags & ~O_NONBLOCK) != 0) {
    close(iFd);
    return -1;
  }
  return iFd;
}

// Moves the data; 0, or the status of the failed read, write or close.
EOSSTS CopyData(int a_iFrom, int a_iTo, char* a_pcBuffer) {
  for (;;) {
    ssize_t sstRead = read(a_iFrom, a_pcBuffer, s_sizetCopyBlock);
    if (sstRead < 0 && errno == EINTR) continue;
    if (sstRead < 0) return COsFileImpl::StatusFromIoErrno(errno);
    if (sstRead == 0) break;
    int iErrno = 0;
    if (COsFileImpl::WriteAll(a_iTo, a_pcBuffer, static_cast<size_t>(sstRead), &iErrno) !=
        static_cast<size_t>(sstRead)) {
      return COsFileImpl::StatusFromIoErrno(iErrno);
    }
  }
  return OS_STS_SUCCESS;
}
}  // namespace

EOSSTS COsFile::Copy(const char* a_szFilename, const char* a_szNewFilename) {
  if (!a_szFilename) {
    OsLog(OS_LOG_ERROR, "a_szFilename is null...");
    return OS_STS_BAD_ARGUMENT;
  }
  if (!a_szNewFilename) {
    OsLog(OS_LOG_ERROR, "a_szNewFilename is NULL...");
    return OS_STS_BAD_ARGUMENT;
  }
  char* pcBuffer = static_cast<char*>(COsFileImpl::BufferAlloc(s_sizetCopyBlock));
  if (!pcBuffer) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
    return OS_STS_FAIL;
  }
  struct stat stSource;
  int iFrom = OpenSource(a_szFilename, &stSource);
  bool blRegular = false;
  int iTo = iFrom < 0 ? -1 : OpenTarget(a_szNewFilename, stSource, &blRegular);
  if (iTo < 0) {
    if (iFrom >= 0) close(iFrom);
    LogCopyFailed(a_szFilename, a_szNewFilename);
    COsFileImpl::BufferFree(pcBuffer);
    return OS_STS_FAIL;
  }
  EOSSTS eosstatus = CopyData(iFrom, iTo, pcBuffer);
  close(iFrom);
  if (close(iTo) != 0 && eosstatus == OS_STS_SUCCESS) eosstatus = COsFileImpl::StatusFromIoErrno(errno);
  COsFileImpl::BufferFree(pcBuffer);
  if (eosstatus != OS_STS_SUCCESS) {
    // A partial copy must not pass for the file.
    LogCopyFailed(a_szFilename, a_szNewFilename);
    if (blRegular) unlink(a_szNewFilename);
  }
  return eosstatus;
}

EOSSTS COsFile::ProtectedModeCopy(const char* a_szFilename, const char* a_szNewFilename) {
  if (!a_szFilename) {
    OsLog(OS_LOG_ASSERT, "a_szFilename is null...");
    return OS_STS_BAD_ARGUMENT;
  }
  if (!a_szNewFilename) {
    OsLog(OS_LOG_ASSERT, "a_szNewFilename is NULL...");
    return OS_STS_BAD_ARGUMENT;
  }
  return Copy(a_szFilename, a_szNewFilename);
}

EOSSTS COsFile::Move(const char* a_szFilename, const char* a_szNewFilename) {
  if (!a_szFilename) {
    OsLog(OS_LOG_ERROR, "a_szFilename is null...");
    return OS_STS_BAD_ARGUMENT;
  }
  if (!a_szNewFilename) {
    OsLog(OS_LOG_ERROR, "a_szNewFilename is NULL...");
    return OS_STS_BAD_ARGUMENT;
  }
  if (rename(a_szFilename, a_szNewFilename) != 0) {
    OsLog(OS_LOG_ERROR, "rename failed...");
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}
