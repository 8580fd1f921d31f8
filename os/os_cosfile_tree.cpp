// Directory creation, deletion (recursive) and permission changes (recursive).
// Trees are walked through directory descriptors: a symbolic link is handled
// as the link itself and never entered, and no path length limits the depth.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_cosfileimpl.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {
// Creates one directory with mode 0777 without touching the process umask.
bool MakeOne(const char* a_szPath, int* a_piErrno) {
  if (mkdir(a_szPath, 0777) == 0) {
    chmod(a_szPath, 0777);
    return true;
  }
  *a_piErrno = errno;
  return *a_piErrno == EEXIST;
}

// Copies a name without its trailing separators; false when it does not fit.
bool CopyTrimmed(char* a_szDst, size_t a_sizetDst, const char* a_szSrc) {
  size_t sizetLength = std::strlen(a_szSrc);
  while (sizetLength > 0 && (a_szSrc[sizetLength - 1] == '/' || a_szSrc[sizetLength - 1] == '\\')) --sizetLength;
  if (sizetLength >= a_sizetDst) return false;
  std::memcpy(a_szDst, a_szSrc, sizetLength);
  a_szDst[sizetLength] = '\0';
  return true;
}

EOSSTS RemoveDirectoryAt(int a_iDirFd, const char* a_szName, bool a_blRecursive);

// Removes every entry of an open directory (the descriptor is taken over);
// the first failure ends the walk.
EOSSTS RemoveEntries(int a_iFd) {
  DIR* pdir = fdopendir(a_iFd);
  if (!pdir) {
    close(a_iFd);
    return OS_STS_FAIL;
  }
  EOSSTS eosstatus = OS_STS_SUCCESS;
  while (struct dirent* pdirent = readdir(pdir)) {
    const char* szName = pdirent->d_name;
    if (std::strcmp(szName, ".") == 0 || std::strcmp(szName, "..") == 0) continue;
    struct stat st;
    if (fstatat(a_iFd, szName, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) continue;
      eosstatus = OS_STS_FAIL;
    } else if (S_ISDIR(st.st_mode)) {
      eosstatus = RemoveDirectoryAt(a_iFd, szName, true);
    } else if (unlinkat(a_iFd, szName, 0) != 0) {
      OsLogDebug(OS_LOG_INFO, "DeleteFile failed...%s", szName);
      eosstatus = OS_STS_FAIL;
    }
    if (eosstatus != OS_STS_SUCCESS) break;
  }
  closedir(pdir);
  return eosstatus;
}

EOSSTS RemoveDirectoryAt(int a_iDirFd, const char* a_szName, bool a_blRecursive) {
  if (a_blRecursive) {
    int iFd = openat(a_iDirFd, a_szName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    EOSSTS eosstatus = iFd < 0 ? OS_STS_FAIL : RemoveEntries(iFd);
    if (eosstatus != OS_STS_SUCCESS) {
      OsLogDebug(OS_LOG_INFO, "RemoveDirectory failed...%s", a_szName);
      return eosstatus;
    }
  }
  if (unlinkat(a_iDirFd, a_szName, AT_REMOVEDIR) != 0) {
    OsLogDebug(OS_LOG_INFO, "RemoveDirectory failed...%s", a_szName);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

// Children first, so that a directory made read-only is no longer needed.
// Every entry is handled; the first failure is the answer.
EOSSTS ChangeAccessAt(int a_iDirFd, const char* a_szName, mode_t a_modet, bool a_blRecursive) {
  struct stat st;
  if (fstatat(a_iDirFd, a_szName, &st, AT_SYMLINK_NOFOLLOW) != 0) return OS_STS_FAIL;
  if (S_ISLNK(st.st_mode)) return OS_STS_SUCCESS;
  EOSSTS eosstatus = OS_STS_SUCCESS;
  if (a_blRecursive && S_ISDIR(st.st_mode)) {
    int iFd = openat(a_iDirFd, a_szName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    DIR* pdir = iFd < 0 ? nullptr : fdopendir(iFd);
    if (!pdir) {
      if (iFd >= 0) close(iFd);
      OsLogDebug(OS_LOG_INFO, "opendir failed...<%s>", a_szName);
      eosstatus = OS_STS_FAIL;
    }
    while (struct dirent* pdirent = pdir ? readdir(pdir) : nullptr) {
      if (std::strcmp(pdirent->d_name, ".") == 0 || std::strcmp(pdirent->d_name, "..") == 0) continue;
      EOSSTS eosstatusEntry = ChangeAccessAt(iFd, pdirent->d_name, a_modet, true);
      if (eosstatus == OS_STS_SUCCESS) eosstatus = eosstatusEntry;
    }
    if (pdir) closedir(pdir);
  }
  if (fchmodat(a_iDirFd, a_szName, a_modet, 0) != 0) {
    OsLogDebug(OS_LOG_INFO, "chmod failed...<%s>", a_szName);
    if (eosstatus == OS_STS_SUCCESS) eosstatus = OS_STS_FAIL;
  }
  return eosstatus;
}
}  // namespace

EOSSTS COsFile::Create(const char* a_szDirectory, const void*) {
  if (!a_szDirectory) {
    OsLog(OS_LOG_ASSERT, "a_szDirectory is NULL...");
    return OS_STS_FAIL;
  }
  if (Exists(a_szDirectory)) return OS_STS_ALREADY_EXISTS;
  OsLogDebug(OS_LOG_INFO, "Creating directory...<%s>", a_szDirectory);
  char szPath[PATH_MAX];
  if (std::strlen(a_szDirectory) >= sizeof szPath) {
    OsLog(OS_LOG_ASSERT, "buffer overflow...%u <%s>", static_cast<unsigned>(sizeof szPath), a_szDirectory);
    return OS_STS_FAIL;
  }
  PathSet(szPath, sizeof szPath, a_szDirectory);
  if (!szPath[0] || std::strspn(szPath, "./") == std::strlen(szPath)) return OS_STS_ALREADY_EXISTS;
  // The leading run of "." and "/" belongs to the first component.
  size_t sizetPos = std::strspn(szPath, "./");
  int iErrno = 0;
  for (;;) {
    char* pszSlash = std::strchr(szPath + sizetPos, '/');
    if (pszSlash) *pszSlash = '\0';
    bool blOk = MakeOne(szPath, &iErrno);
    if (!pszSlash) {
      if (!blOk) return COsFileImpl::StatusFromErrno(iErrno);
      break;
    }
    *pszSlash = '/';
    if (!blOk) return COsFileImpl::StatusFromErrno(iErrno);
    sizetPos = static_cast<size_t>(pszSlash - szPath) + 1;
  }
  errno = 0;
  return OS_STS_SUCCESS;
}

EOSSTS COsFile::CreateFresh(const char* a_szDirectory) {
  char szPath[PATH_MAX];
  if (!a_szDirectory || !CopyTrimmed(szPath, sizeof szPath, a_szDirectory) || !szPath[0]) {
    OsLog(OS_LOG_ASSERT, "a_szDirectory is NULL or too long...");
    return OS_STS_FAIL;
  }
  char* pszSlash = std::strrchr(szPath, '/');
  if (pszSlash && pszSlash != szPath) {
    *pszSlash = '\0';
    const EOSSTS eosstsParent = Create(szPath);
    *pszSlash = '/';
    if (eosstsParent != OS_STS_SUCCESS && eosstsParent != OS_STS_ALREADY_EXISTS) return eosstsParent;
  }
  // mkdir fails on any existing name, a link included, and follows none.
  if (mkdir(szPath, 0777) != 0) return errno == EEXIST ? OS_STS_ALREADY_EXISTS : COsFileImpl::StatusFromErrno(errno);
  OsLogDebug(OS_LOG_INFO, "Created directory...<%s>", szPath);
  const int iFd = open(szPath, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (iFd >= 0) {
    fchmod(iFd, 0777);
    close(iFd);
  }
  errno = 0;
  return OS_STS_SUCCESS;
}

bool COsFile::IsOwnDirectory(const char* a_szDirectory) {
  struct stat st;
  return a_szDirectory && lstat(a_szDirectory, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid();
}

EOSSTS COsFile::Delete(const char* a_szFilename, EOSFILETYPE a_eosfiletype, bool a_blRecursive) {
  if (!a_szFilename) {
    OsLog(OS_LOG_ERROR, "a_szFilename is null...");
    return OS_STS_BAD_ARGUMENT;
  }
  if (std::strpbrk(a_szFilename, "*?")) {
    OsLogDebug(OS_LOG_INFO, "we don't support deleting with wildcards...");
    return OS_STS_BAD_ARGUMENT;
  }
  OsLogDebug(OS_LOG_INFO, "Delete: <%s> %d %d", a_szFilename, static_cast<int>(a_eosfiletype), a_blRecursive);
  // Without its trailing "/" a link to a directory is seen as the link.
  char szName[PATH_MAX];
  struct stat st;
  if (!CopyTrimmed(szName, sizeof szName, a_szFilename) || lstat(szName, &st) != 0) {
    OsLogDebug(OS_LOG_INFO, "Delete: not found...<%s>", a_szFilename);
    return OS_STS_FAIL;
  }
  bool blLink = S_ISLNK(st.st_mode);
  struct stat stTarget;
  EOSFILETYPE eosfiletype = COsFileImpl::TypeFromMode(st.st_mode);
  if (blLink) eosfiletype = stat(szName, &stTarget) == 0 ? COsFileImpl::TypeFromMode(stTarget.st_mode) : OS_FILETYPE_FILE;
  if (a_eosfiletype == OS_FILETYPE_NONE || a_eosfiletype != eosfiletype) {
    OsLogDebug(OS_LOG_INFO, "Delete: wrong type...%d %d <%s>", static_cast<int>(a_eosfiletype),
               static_cast<int>(eosfiletype), a_szFilename);
    return OS_STS_FAIL;
  }
  if (eosfiletype == OS_FILETYPE_DIRECTORY && !blLink) return RemoveDirectoryAt(AT_FDCWD, szName, a_blRecursive);
  if (eosfiletype == OS_FILETYPE_OTHER) return OS_STS_FAIL;
  if (unlink(szName) != 0) {
    OsLogDebug(OS_LOG_INFO, "DeleteFile failed...%s", szName);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

EOSSTS COsFileImpl::RemoveDirectoryAt(int a_iDirFd, const char* a_szName, bool a_blRecursive) {
  return ::RemoveDirectoryAt(a_iDirFd, a_szName, a_blRecursive);
}

EOSSTS COsFile::SetFileAccess(const char* a_szFilename, EOSFILEACCESS a_eosfileaccess, bool a_blRecursive, int) {
  if (!a_szFilename) {
    OsLog(OS_LOG_ERROR, "a_szFilename is null...");
    return OS_STS_BAD_ARGUMENT;
  }
  char szName[PATH_MAX];
  struct stat st;
  if (!CopyTrimmed(szName, sizeof szName, a_szFilename) || lstat(szName, &st) != 0) {
    OsLog(OS_LOG_ERROR, "Can't find file to set its access: %s", a_szFilename);
    return OS_STS_FILE_NOT_FOUND;
  }
  mode_t modet;
  if (a_eosfileaccess == OS_FILEACCESS_READ) {
    modet = 0444;
  } else if (a_eosfileaccess == OS_FILEACCESS_READWRITE) {
    modet = 0770;
  } else {
    OsLogDebug(OS_LOG_INFO, "Invalid file access for SetFileAccess: %d", static_cast<int>(a_eosfileaccess));
    return OS_STS_BAD_ARGUMENT;
  }
  return ChangeAccessAt(AT_FDCWD, szName, modet, a_blRecursive);
}

EOSSTS COsFile::SetAccess(const char* a_szFilename, EOSFILEACCESS a_eosfileaccess) {
  return COsCfg::SetAccess(a_szFilename, a_eosfileaccess);
}
