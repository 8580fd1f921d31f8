// The temporary directory, temporary names and the working directory.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "os_cosfile.h"
#include "os_cosfileimpl.h"
#include "os_coslog.h"
#include "os_cosstring.h"

// The configured temporary directory (TMPDIR, else /tmp, while there is no
// configuration); created when it is missing.
EOSSTS COsFile::GetTempDir(char* a_szTempDir, size_t a_sizetTempDir) {
  if (!a_szTempDir) {
    OsLog(OS_LOG_ERROR, "a_szTempDir is null...");
    return OS_STS_BAD_ARGUMENT;
  }
  const char* szDirectory = COsFileImpl::CfgText(23);  // TmpDirectory
  if (!*szDirectory) szDirectory = std::getenv("TMPDIR");
  if (!szDirectory || !*szDirectory) szDirectory = "/tmp";
  if (std::strlen(szDirectory) >= a_sizetTempDir) {
    OsLog(OS_LOG_ERROR, "buffer too small...%zu <%s>", a_sizetTempDir, szDirectory);
    return OS_STS_NOROOM_BUFFER;
  }
  COsString::SStrCpy(a_szTempDir, a_sizetTempDir, szDirectory);
  EOSSTS eosstatus = Create(a_szTempDir);
  if (eosstatus != OS_STS_SUCCESS && eosstatus != OS_STS_ALREADY_EXISTS) {
    OsLogDebug(OS_LOG_INFO, "OsFileCreateDirectory failed...<%s>", a_szTempDir);
  }
  return OS_STS_SUCCESS;
}

EOSSTS COsFile::GetTempName(const char* a_szTempDir, char* a_szTempName, const char* a_szTempPrefix,
                            size_t a_sizetTempName) {
  if (!a_szTempDir) {
    OsLog(OS_LOG_ERROR, "a_szTempDir is NULL...");
    return OS_STS_BAD_ARGUMENT;
  }
  if (!a_szTempName) {
    OsLog(OS_LOG_ERROR, "a_szTempName is NULL...");
    return OS_STS_BAD_ARGUMENT;
  }
  if (!a_szTempPrefix) {
    OsLog(OS_LOG_ERROR, "a_szTempPrefix is NULL...");
    return OS_STS_BAD_ARGUMENT;
  }
  char szTemplate[COsFileImpl::s_sizetName];
  size_t sizetDirectory = std::strlen(a_szTempDir);
  bool blSeparator = sizetDirectory == 0 || (a_szTempDir[sizetDirectory - 1] != '/' && a_szTempDir[sizetDirectory - 1] != '\\');
  if (COsString::SStrPrintf(szTemplate, sizeof szTemplate, "%s%s%sXXXXXX", a_szTempDir, blSeparator ? "/" : "",
                            a_szTempPrefix) < 0) {
    OsLog(OS_LOG_ERROR, "buffer overflow...<%s> <%s>", a_szTempDir, a_szTempPrefix);
    return OS_STS_NOROOM_BUFFER;
  }
  int iFd = mkostemp(szTemplate, O_CLOEXEC);
  if (iFd < 0) {
    OsLogDebug(OS_LOG_INFO, "mkstemp failed...<%s>", szTemplate);
    return OS_STS_FAIL;
  }
  close(iFd);
  unlink(szTemplate);
  if (std::strlen(szTemplate) >= a_sizetTempName) {
    OsLog(OS_LOG_ERROR, "buffer too small...%zu <%s>", a_sizetTempName, szTemplate);
    return OS_STS_NOROOM_BUFFER;
  }
  COsString::SStrCpy(a_szTempName, a_sizetTempName, szTemplate);
  return OS_STS_SUCCESS;
}

EOSSTS COsFile::SetCurrentDir(const char* a_szDirectory) {
  if (!a_szDirectory) {
    OsLog(OS_LOG_ERROR, "a_szDirectory is NULL...");
    return OS_STS_BAD_ARGUMENT;
  }
  if (chdir(a_szDirectory) != 0) {
    OsLogDebug(OS_LOG_INFO, "chdir failed...<%s>", a_szDirectory);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

EOSSTS COsFile::GetCurrentDir(char* a_szDirectory, size_t a_sizetDirectory) {
  if (!a_szDirectory || a_sizetDirectory == 0) {
    OsLog(OS_LOG_ERROR, "a_szDirectory is NULL...");
    return OS_STS_FAIL;
  }
  if (getcwd(a_szDirectory, a_sizetDirectory)) return OS_STS_SUCCESS;
  if (errno == ERANGE) return OS_STS_NOROOM_BUFFER;
  OsLogDebug(OS_LOG_INFO, "getcwd failed...");
  return OS_STS_FAIL;
}
