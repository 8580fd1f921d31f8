// Path texts: normalising, composing, splitting and making absolute.
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {
bool IsSeparator(char a_c) { return a_c == '/' || a_c == '\\'; }

// Copies a text whole or not at all: 2 and an empty destination when it does not fit.
EOSSTS CopyWhole(char* a_szDst, size_t a_sizetDst, const char* a_szSrc) {
  if (std::strlen(a_szSrc) + 1 > a_sizetDst) {
    OsLog(OS_LOG_ASSERT, "buffer overflow...%u <%s>", static_cast<unsigned>(a_sizetDst), a_szSrc);
    if (a_sizetDst) a_szDst[0] = '\0';
    return OS_STS_NOROOM_BUFFER;
  }
  std::memmove(a_szDst, a_szSrc, std::strlen(a_szSrc) + 1);
  return OS_STS_SUCCESS;
}
}  // namespace

void COsFile::PathNormalize(char* a_szPath, char a_cSeparator) {
  if (!a_szPath) return;
  char* pszRead = a_szPath;
  char* pszWrite = a_szPath;
  if (pszRead[0] == '\\' && pszRead[1] == '\\') {
    pszRead += 2;
    pszWrite += 2;
  }
  while (*pszRead) {
    if (IsSeparator(*pszRead)) {
      while (IsSeparator(*pszRead)) ++pszRead;
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
  if (CopyWhole(a_szDst, a_sizetDst, a_szSrc) == OS_STS_SUCCESS) PathNormalize(a_szDst, '/');
}

EOSSTS COsFile::PathAppend(char* a_szPath, size_t a_sizetPath, const char* a_szComponent) {
  if (!a_szPath || !a_szComponent) {
    OsLog(OS_LOG_ASSERT, "null argument...%p %p", static_cast<void*>(a_szPath),
          static_cast<const void*>(a_szComponent));
    return OS_STS_BAD_ARGUMENT;
  }
  if (a_szComponent[0] && a_szComponent[1] == ':') {
    OsLogDebug(OS_LOG_INFO, "PathAppend stripping drive letter...<%s>", a_szComponent);
    a_szComponent += 2;
  }
  size_t sizetPath = std::strlen(a_szPath);
  bool blSeparator = sizetPath == 0 || !IsSeparator(a_szPath[sizetPath - 1]);
  size_t sizetComponent = std::strlen(a_szComponent);
  // Whole or not at all: a cut path would name another file.
  if (sizetPath + (blSeparator ? 1 : 0) + sizetComponent + 1 > a_sizetPath) {
    OsLog(OS_LOG_ASSERT, "buffer overflow...%u <%s> <%s>", static_cast<unsigned>(a_sizetPath), a_szPath,
          a_szComponent);
    return OS_STS_NOROOM_BUFFER;
  }
  if (blSeparator) a_szPath[sizetPath++] = '/';
  std::memmove(a_szPath + sizetPath, a_szComponent, sizetComponent + 1);
  PathNormalize(a_szPath, '/');
  return OS_STS_SUCCESS;
}

void COsFile::PathRemoveTrailingSlash(char* a_szPath) {
  if (!a_szPath) {
    OsLog(OS_LOG_ASSERT, "a_szPath is null...");
    return;
  }
  PathNormalize(a_szPath, '/');
  size_t sizetLength = std::strlen(a_szPath);
  // The root stays the root.
  if (sizetLength > 1 && a_szPath[sizetLength - 1] == '/') a_szPath[sizetLength - 1] = '\0';
}

EOSSTS COsFile::PathSplit(char* a_szPath, size_t* a_psizetOffset, char** a_pszName) {
  if (!a_szPath) {
    OsLog(OS_LOG_ASSERT, "a_szPath is null...");
    return OS_STS_BAD_ARGUMENT;
  }
  PathNormalize(a_szPath, '/');
  char* pszSlash = std::strrchr(a_szPath, '/');
  if (a_psizetOffset) *a_psizetOffset = pszSlash ? static_cast<size_t>(pszSlash - a_szPath) : 0;
  if (a_pszName) *a_pszName = pszSlash ? pszSlash + 1 : a_szPath;
  return OS_STS_SUCCESS;
}

void COsFile::PathAppendExe(char* a_szPath, size_t) {
  if (!a_szPath) {
    OsLog(OS_LOG_ASSERT, "a_szPath is null...");
    return;
  }
  PathNormalize(a_szPath, '/');
}

// The directory part is resolved by the system (links, "." and ".."); the
// file name of a name that is not a directory is kept as given. The working
// directory is never changed.
EOSSTS COsFile::PathAbsolute(char* a_szAbsolute, size_t a_sizetAbsolute, const char* a_szName) {
  if (!a_szAbsolute) {
    OsLog(OS_LOG_ASSERT, "a_szAbsolute is null...");
    return OS_STS_FAIL;
  }
  if (!a_szName) {
    OsLog(OS_LOG_ASSERT, "a_szName is null...");
    return OS_STS_FAIL;
  }
  struct stat st;
  if (stat(a_szName, &st) != 0) {
    OsLogDebug(OS_LOG_INFO, "stat failed...<%s>", a_szName);
    return OS_STS_FILE_NOT_FOUND;
  }
  // The directory to resolve: the name itself, or its part before the last "/".
  char szDirectory[PATH_MAX];
  const char* szFile = nullptr;
  size_t sizetDirectory = std::strlen(a_szName);
  const char* szDirectorySource = a_szName;
  if (!S_ISDIR(st.st_mode)) {
    const char* pszSlash = std::strrchr(a_szName, '/');
    szFile = pszSlash ? pszSlash + 1 : a_szName;
    sizetDirectory = !pszSlash ? 1 : pszSlash == a_szName ? 1 : static_cast<size_t>(pszSlash - a_szName);
    if (!pszSlash) szDirectorySource = ".";
  }
  if (sizetDirectory >= sizeof szDirectory) {
    OsLog(OS_LOG_ASSERT, "buffer overflow...%u <%s>", static_cast<unsigned>(sizeof szDirectory), a_szName);
    return OS_STS_NOROOM_BUFFER;
  }
  std::memcpy(szDirectory, szDirectorySource, sizetDirectory);
  szDirectory[sizetDirectory] = '\0';
  char szResolved[PATH_MAX];
  if (!realpath(szDirectory, szResolved)) {
    OsLogDebug(OS_LOG_INFO, "realpath failed...<%s>", szDirectory);
    return errno == ENOENT ? OS_STS_FILE_NOT_FOUND : OS_STS_FAIL;
  }
  size_t sizetResolved = std::strlen(szResolved);
  bool blSeparator = szFile && szResolved[sizetResolved - 1] != '/';
  size_t sizetFile = szFile ? std::strlen(szFile) : 0;
  if (sizetResolved + (blSeparator ? 1 : 0) + sizetFile + 1 > a_sizetAbsolute) {
    OsLog(OS_LOG_ASSERT, "buffer overflow...%u <%s>", static_cast<unsigned>(a_sizetAbsolute), a_szName);
    if (a_sizetAbsolute) a_szAbsolute[0] = '\0';
    return OS_STS_NOROOM_BUFFER;
  }
  std::memcpy(a_szAbsolute, szResolved, sizetResolved);
  if (blSeparator) a_szAbsolute[sizetResolved++] = '/';
  std::memcpy(a_szAbsolute + sizetResolved, szFile ? szFile : "", sizetFile + 1);
  PathNormalize(a_szAbsolute, '/');
  return OS_STS_SUCCESS;
}

bool COsFile::PathJoin(char* a_szDst, size_t a_sizetDst, const char* a_szBase, const char* a_szName) {
  PathSet(a_szDst, a_sizetDst, a_szBase);
  return PathAppend(a_szDst, a_sizetDst, a_szName) == OS_STS_SUCCESS;
}
