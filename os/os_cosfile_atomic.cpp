// Whole-file writes that a reader never sees half done: the new contents go
// into a temporary beside the name, reach the disk, and only then take the
// name (rename, or link for a name that must not exist yet).
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>

#include "os_cosfile.h"
#include "os_cosfileimpl.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {

// The process's file-creation mask, read without changing it (umask(2)
// would, for every thread); the usual 022 where the kernel does not say.
mode_t CreationMask() {
  FILE* pfile = std::fopen("/proc/self/status", "re");
  if (!pfile) return 022;
  char szLine[256];
  mode_t modet = 022;
  while (std::fgets(szLine, sizeof szLine, pfile)) {
    unsigned uMask = 0;
    if (std::sscanf(szLine, "Umask: %o", &uMask) == 1) {
      modet = static_cast<mode_t>(uMask & 0777);
      break;
    }
  }
  std::fclose(pfile);
  return modet;
}

EOSSTS StatusOf(int a_iErrno) {
  if (a_iErrno == EEXIST) return OS_STS_ALREADY_EXISTS;
  return COsFileImpl::StatusFromErrno(a_iErrno);
}

}  // namespace

void COsFileImpl::SyncDirectoryOf(const char* a_szFile) {
  char szDirectory[PATH_MAX];
  COsString::SStrCpy(szDirectory, sizeof szDirectory, a_szFile);
  char* pszSlash = std::strrchr(szDirectory, '/');
  if (!pszSlash) {
    COsString::SStrCpy(szDirectory, sizeof szDirectory, ".");
  } else {
    pszSlash[pszSlash == szDirectory ? 1 : 0] = '\0';
  }
  int iFd = open(szDirectory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (iFd < 0) return;
  fsync(iFd);
  close(iFd);
}

EOSSTS COsFileImpl::WriteTemporaryBeside(const char* a_szTarget, const void* a_pvData, size_t a_sizetBytes,
                                         unsigned a_uMode, char* a_szTemp, size_t a_sizetTemp, int* a_piFd) {
  *a_piFd = -1;
  if (COsString::SStrPrintf(a_szTemp, a_sizetTemp, "%s%s", a_szTarget, s_szAtomicSuffix) < 0) {
    OsLog(OS_LOG_ERROR, "path too long for its temporary...<%s>", a_szTarget);
    return OS_STS_BAD_ARGUMENT;
  }
  int iFd = mkostemp(a_szTemp, O_CLOEXEC);
  if (iFd < 0) {
    const int iErrno = errno;
    OsLog(OS_LOG_ERROR, "temporary could not be made beside its file...<%s> (%s)", a_szTarget, std::strerror(iErrno));
    return StatusOf(iErrno);
  }
  fchmod(iFd, a_uMode & 07777);
  int iErrno = 0;
  bool blWritten = WriteAll(iFd, a_pvData, a_sizetBytes, &iErrno) == a_sizetBytes;
  if (blWritten && fsync(iFd) != 0) {
    blWritten = false;
    iErrno = errno;
  }
  if (!blWritten) {
    unlink(a_szTemp);
    close(iFd);
    OsLog(OS_LOG_ERROR, "file could not be written, it is unchanged...<%s> (%s)", a_szTarget, std::strerror(iErrno));
    return StatusFromIoErrno(iErrno);
  }
  *a_piFd = iFd;
  return OS_STS_SUCCESS;
}

EOSSTS COsFile::WriteAtomic(const char* a_szPath, const void* a_pvData, size_t a_sizetBytes, bool a_blNewOnly) {
  if (!a_szPath || !*a_szPath || (!a_pvData && a_sizetBytes)) {
    OsLog(OS_LOG_ERROR, "WriteAtomic: bad argument...");
    return OS_STS_BAD_ARGUMENT;
  }
  // A replaced file keeps its permission bits; a new one gets what open(2)
  // would give it.
  struct stat st;
  unsigned uMode = 0666 & ~CreationMask();
  if (!a_blNewOnly && lstat(a_szPath, &st) == 0 && S_ISREG(st.st_mode)) uMode = st.st_mode & 07777;
  char szTemp[PATH_MAX + 16];
  int iFd = -1;
  EOSSTS eossts = COsFileImpl::WriteTemporaryBeside(a_szPath, a_pvData, a_sizetBytes, uMode, szTemp, sizeof szTemp, &iFd);
  if (eossts != OS_STS_SUCCESS) return eossts;
  close(iFd);
  // rename(2) replaces whatever the name is, a link included, and never
  // writes through it; link(2) refuses a name that exists.
  int iResult = a_blNewOnly ? link(szTemp, a_szPath) : rename(szTemp, a_szPath);
  const int iErrno = iResult == 0 ? 0 : errno;
  if (a_blNewOnly || iResult != 0) unlink(szTemp);
  if (iResult != 0) {
    if (iErrno == EEXIST && a_blNewOnly) {
      OsLogDebug(OS_LOG_INFO, "WriteAtomic: the name exists...<%s>", a_szPath);
    } else {
      OsLog(OS_LOG_ERROR, "file could not take its name, it is unchanged...<%s> (%s)", a_szPath,
            std::strerror(iErrno));
    }
    return StatusOf(iErrno);
  }
  COsFileImpl::SyncDirectoryOf(a_szPath);
  return OS_STS_SUCCESS;
}

bool COsFile::IsAtomicTemporary(const char* a_szName, const char* a_szFor) {
  if (!a_szName || !a_szFor) return false;
  const size_t sizetFor = std::strlen(a_szFor);
  const size_t sizetSuffix = std::strlen(COsFileImpl::s_szAtomicSuffix);
  if (std::strncmp(a_szName, a_szFor, sizetFor) != 0) return false;
  // The suffix's six X are the random part mkostemp fills in.
  return std::strlen(a_szName) == sizetFor + sizetSuffix &&
         std::strncmp(a_szName + sizetFor, COsFileImpl::s_szAtomicSuffix, sizetSuffix - 6) == 0;
}
