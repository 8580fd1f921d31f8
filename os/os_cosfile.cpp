#include "os_cosfile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "os_coslog.h"
#include "os_cosstring.h"

void COsFile::PathNormalize(char* a_szPath, char a_cSeparator) {
  if (!a_szPath) return;
  char* pszRead = a_szPath;
  char* pszWrite = a_szPath;
  if (pszRead[0] == '\\' && pszRead[1] == '\\') {
    pszRead += 2;
    pszWrite += 2;
  }
  while (*pszRead) {
    if (*pszRead == '/' || *pszRead == '\\') {
      while (*pszRead == '/' || *pszRead == '\\') ++pszRead;
      *pszWrite++ = a_cSeparator;
    } else {
      *pszWrite++ = *pszRead++;
    }
  }
  *pszWrite = '\0';
}

void COsFile::PathSet(char* a_szDst, size_t a_sizetDst, const char* a_szSrc) {
  if (!a_szDst || !a_szSrc || a_sizetDst == 0) {
    OsLog(OS_LOG_ASSERT, "null argument...%p %d", static_cast<const void*>(a_szSrc), static_cast<int>(a_sizetDst));
    return;
  }
  size_t sizetLen = std::strlen(a_szSrc);
  if (sizetLen + 1 > a_sizetDst) {
    OsLog(OS_LOG_ASSERT, "buffer overflow...%u <%s>", static_cast<unsigned>(a_sizetDst), a_szSrc);
    a_szDst[0] = '\0';
    return;
  }
  std::memmove(a_szDst, a_szSrc, sizetLen + 1);
  PathNormalize(a_szDst, '/');
}

bool COsFile::Exists(const char* a_szFilename) {
  if (!a_szFilename) {
    OsLog(OS_LOG_ASSERT, "a_szFilename is NULL");
    return false;
  }
  int iSaved = errno;
  struct stat st;
  bool blExists = stat(a_szFilename, &st) == 0;
  errno = iSaved;
  return blExists;
}

namespace {
EOSSTS StatusFromErrno(int a_iErrno) {
  switch (a_iErrno) {
    case ENOENT: return OS_STS_FILE_NOT_FOUND;
    case EACCES:
    case EPERM: return OS_STS_ACCESS_DENIED;
    default: return OS_STS_FAIL;
  }
}

// Creates one directory with mode 0777 without touching the process umask.
bool MakeOne(const char* a_szPath, int* a_piErrno) {
  if (mkdir(a_szPath, 0777) == 0) {
    chmod(a_szPath, 0777);
    return true;
  }
  *a_piErrno = errno;
  return *a_piErrno == EEXIST;
}
}  // namespace

EOSSTS COsFile::Create(const char* a_szDirectory, void*) {
  if (!a_szDirectory) {
    OsLog(OS_LOG_ASSERT, "a_szDirectory is NULL...");
    return OS_STS_FAIL;
  }
  if (Exists(a_szDirectory)) return OS_STS_ALREADY_EXISTS;
  OsLogDebug(OS_LOG_INFO, "Creating directory...<%s>", a_szDirectory);
  char szPath[4096];
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
      if (!blOk) return StatusFromErrno(iErrno);
      break;
    }
    *pszSlash = '/';
    if (!blOk) return StatusFromErrno(iErrno);
    sizetPos = static_cast<size_t>(pszSlash - szPath) + 1;
  }
  errno = 0;
  return OS_STS_SUCCESS;
}
