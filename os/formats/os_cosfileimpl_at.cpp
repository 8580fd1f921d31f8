// Entries reached from the descriptor of the directory that holds them.
// Unpacking writes into directories that other local users may write to
// (they are made 0777): a name there can become a link to anything between
// two calls, so no entry is ever reached through a path that the system
// would resolve through a link, and modes and times go through descriptors.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "os_cosfileimpl.h"

namespace {
constexpr int s_iDirectoryFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// ELOOP is what O_NOFOLLOW answers for a link; ENOTDIR what O_DIRECTORY
// answers for one when the system resolves the name first.
EOSSTS StatusOfOpen(int a_iDirFd, const char* a_szName, int a_iErrno) {
  struct stat st;
  if (a_iErrno == ELOOP || (fstatat(a_iDirFd, a_szName, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))) {
    return COsFileImpl::s_eosstsLink;
  }
  return COsFileImpl::StatusFromErrno(a_iErrno);
}
}  // namespace

EOSSTS COsFileImpl::OpenDirectoryAt(int a_iDirFd, const char* a_szName, bool a_blCreate, int* a_piFd) {
  *a_piFd = -1;
  bool blMade = a_blCreate && mkdirat(a_iDirFd, a_szName, 0777) == 0;
  if (a_blCreate && !blMade && errno != EEXIST) return StatusFromErrno(errno);
  int iFd = openat(a_iDirFd, a_szName, s_iDirectoryFlags);
  if (iFd < 0) return StatusOfOpen(a_iDirFd, a_szName, errno);
  // 0777 whatever the process's creation mask, as COsFile::Create makes them.
  if (blMade) fchmod(iFd, 0777);
  *a_piFd = iFd;
  return OS_STS_SUCCESS;
}

EOSSTS COsFileImpl::CreateFileAt(int a_iDirFd, const char* a_szName, bool a_blReplace, int* a_piFd) {
  *a_piFd = -1;
  struct stat st;
  int iFlags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
  if (fstatat(a_iDirFd, a_szName, &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISDIR(st.st_mode)) return StatusFromErrno(EISDIR);
    if (a_blReplace) {
      if (unlinkat(a_iDirFd, a_szName, 0) != 0 && errno != ENOENT) return StatusFromErrno(errno);
      iFlags |= O_EXCL;  // whatever appears meanwhile is not ours to write
    } else if (!S_ISREG(st.st_mode) || st.st_nlink != 1) {
      return s_eosstsLink;  // a link, hard or symbolic, leads out; a device or a pipe is no file
    }
  } else if (errno != ENOENT) {
    return StatusFromErrno(errno);
  } else {
    iFlags |= O_EXCL;
  }
  int iFd = openat(a_iDirFd, a_szName, iFlags, 0666);
  if (iFd < 0) return errno == EEXIST ? s_eosstsLink : StatusOfOpen(a_iDirFd, a_szName, errno);
  // The entry that was opened is checked, not the name: it may have changed since.
  if (fstat(iFd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1) {
    close(iFd);
    return s_eosstsLink;
  }
  int iFileFlags = fcntl(iFd, F_GETFL);
  if (iFileFlags >= 0) fcntl(iFd, F_SETFL, iFileFlags & ~O_NONBLOCK);
  if (ftruncate(iFd, 0) != 0) {
    int iErrno = errno;
    close(iFd);
    return StatusFromIoErrno(iErrno);
  }
  *a_piFd = iFd;
  return OS_STS_SUCCESS;
}

EOSSTS COsFileImpl::SetAccessFd(int a_iFd, EOSFILEACCESS a_eosfileaccess) {
  struct stat st;
  mode_t modet = 0;
  if (fstat(a_iFd, &st) != 0 || !AccessMode(st.st_mode, a_eosfileaccess, &modet) || fchmod(a_iFd, modet) != 0) {
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}
