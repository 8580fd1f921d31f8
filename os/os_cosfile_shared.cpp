// Names in directories other users write too: a name another user planted
// (a symbolic link, a pipe) is refused rather than followed. A lock file
// already there keeps its contents, so taking a lock never empties or
// creates a file elsewhere.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "os_cosfile.h"
#include "os_cosfileimpl.h"
#include "os_coslog.h"
#include "os_cosstring.h"

EOSSTS COsFileImpl::OpenLockFile(const char* a_szFilename) {
  if (!a_szFilename || !*a_szFilename || std::strlen(a_szFilename) >= s_sizetName) {
    OsLog(OS_LOG_ERROR, "OpenLockFile: bad file name...<%s>", a_szFilename ? a_szFilename : "(null)");
    return OS_STS_BAD_ARGUMENT;
  }
  if (IsOpen()) Close();
  // Non-blocking only while opening: a planted pipe cannot hang us.
  const int iFd = open(a_szFilename, O_RDWR | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0666);
  if (iFd < 0) {
    const int iErrno = errno;
    OsLogDebug(OS_LOG_INFO, "OpenLockFile: open failed...%d <%s>", iErrno, a_szFilename);
    return iErrno == ELOOP ? OS_STS_ACCESS_DENIED : StatusFromErrno(iErrno);
  }
  struct stat st;
  if (fstat(iFd, &st) != 0 || !S_ISREG(st.st_mode)) {
    OsLog(OS_LOG_ERROR, "OpenLockFile: not a regular file...<%s>", a_szFilename);
    close(iFd);
    return OS_STS_ACCESS_DENIED;
  }
  if (flock(iFd, LOCK_EX | LOCK_NB) != 0) {
    const int iErrno = errno;
    close(iFd);
    if (iErrno == EWOULDBLOCK) return OS_STS_IN_USE;
    OsLog(OS_LOG_ERROR, "OpenLockFile: flock failed...%d <%s>", iErrno, a_szFilename);
    return OS_STS_FAIL;
  }
  const int iFlags = fcntl(iFd, F_GETFL);
  if (iFlags >= 0) fcntl(iFd, F_SETFL, iFlags & ~O_NONBLOCK);
  m_iFd = iFd;
  m_eosfileopen = OS_FILEOPEN_ALWAYS;
  ApplyCreationMask(m_iFd, a_szFilename);
  COsString::SStrCpy(m_szName, sizeof m_szName, a_szFilename);
  return OS_STS_SUCCESS;
}

bool COsFile::IsRealDirectory(const char* a_szPath) {
  struct stat st;
  return a_szPath && lstat(a_szPath, &st) == 0 && S_ISDIR(st.st_mode);
}
