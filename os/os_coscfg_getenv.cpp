// Environment helpers of the configuration service. They need no store, so
// the start-up uses them before any process-wide object exists.
#include <strings.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {
constexpr const char* kInstalledDsm = "/usr/local/lib/libtwaindsm.so";
}  // namespace

EOSSTS COsCfg::GetEnv(const char* a_szName, const char* a_szDefault, size_t a_sizetValue, char* a_szValue, bool) {
  if (!a_szName) {
    OsLog(OS_LOG_ERROR, "a_szEnvName is null");
    return OS_STS_BAD_ARGUMENT;
  }
  if (!*a_szName) {
    OsLog(OS_LOG_ERROR, "a_szEnvName is empty");
    return OS_STS_BAD_ARGUMENT;
  }
  if (!a_szValue) {
    OsLog(OS_LOG_ERROR, "a_szValue is null...<%s>", a_szName);
    return OS_STS_BAD_ARGUMENT;
  }
  if (a_sizetValue <= 1) {
    OsLog(OS_LOG_ERROR, "a_sizetBytes <= 1...<%s> %d", a_szName, static_cast<int>(a_sizetValue));
    return OS_STS_BAD_ARGUMENT;
  }
  const char* szValue = std::getenv(a_szName);
  if (szValue && *szValue) {
    size_t sizetLength = std::strlen(szValue);
    if (sizetLength >= a_sizetValue) {
      OsLog(OS_LOG_ERROR, "GetEnv error...<%s> %d %d", a_szName, static_cast<int>(sizetLength),
            static_cast<int>(a_sizetValue));
      return OS_STS_NOROOM_BUFFER;
    }
    std::memcpy(a_szValue, szValue, sizetLength + 1);
    return OS_STS_SUCCESS;
  }
  a_szValue[0] = '\0';
  if (!a_szDefault) return OS_STS_SUCCESS;
  if (std::strlen(a_szDefault) >= a_sizetValue) {
    OsLog(OS_LOG_ERROR, "GetEnv error...<%s> <%s> %d", a_szName, a_szDefault, static_cast<int>(a_sizetValue));
    return OS_STS_NOROOM_BUFFER;
  }
  COsString::SStrCpy(a_szValue, a_sizetValue, a_szDefault);
  return OS_STS_SUCCESS;
}

long COsCfg::GetEnvLong(const char* a_szName, long a_lDefault) {
  if (!a_szName) {
    OsLog(OS_LOG_ASSERT, "a_szEnvName is null...");
    return 0;
  }
  char szDefault[32];
  char szValue[32];
  COsString::SStrPrintf(szDefault, sizeof szDefault, "%ld", a_lDefault);
  if (GetEnv(a_szName, szDefault, sizeof szValue, szValue) != OS_STS_SUCCESS) return a_lDefault;
  // A text that does not begin with a number, or a number out of range, is
  // no reading: the caller's default stands (it was 0).
  char* pszEnd = nullptr;
  errno = 0;
  long lValue = std::strtol(szValue, &pszEnd, 10);
  if (pszEnd == szValue || errno == ERANGE) return a_lDefault;
  return lValue;
}

bool COsCfg::GetEnvBool(const char* a_szName, bool a_blDefault) {
  if (!a_szName) {
    OsLog(OS_LOG_ASSERT, "a_szEnvName is null...");
    return false;
  }
  char szValue[16];
  if (GetEnv(a_szName, a_blDefault ? "true" : "false", sizeof szValue, szValue) != OS_STS_SUCCESS) return a_blDefault;
  if (strcasecmp(szValue, "false") == 0 || std::strcmp(szValue, "0") == 0) return false;
  if (strcasecmp(szValue, "true") == 0 || std::strcmp(szValue, "1") == 0) return true;
  OsLog(OS_LOG_ASSERT, "unrecognized value...<%s>, returning default...%d", szValue, a_blDefault ? 1 : 0);
  return a_blDefault;
}

EOSSTS COsCfg::ExistEnv(const char* a_szName) {
  if (!a_szName) {
    OsLog(OS_LOG_ASSERT, "a_szEnvName is null...");
    return OS_STS_FAIL;
  }
  return std::getenv(a_szName) ? OS_STS_SUCCESS : OS_STS_FAIL;
}

EOSSTS COsCfg::SetEnv(const char* a_szName, const char* a_szValue) {
  if (!a_szName || !*a_szName) {
    OsLog(OS_LOG_ERROR, "SetEnv bad arg...");
    return OS_STS_BAD_ARGUMENT;
  }
  int iResult = a_szValue ? setenv(a_szName, a_szValue, 1) : unsetenv(a_szName);
  if (iResult != 0) {
    OsLog(OS_LOG_ERROR, "SetEnv error...<%s> <%s>", a_szName, a_szValue ? a_szValue : "(null)");
    return OS_STS_NOROOM_BUFFER;
  }
  return OS_STS_SUCCESS;
}

// Texts are UTF-8 on this platform: the same variable serves both.
EOSSTS COsCfg::SetEnvUtf8ToUnicode(const char* a_szName, const char* a_szValue) { return SetEnv(a_szName, a_szValue); }

bool COsCfg::GetTwainDsm(char* a_szPath, size_t a_sizetPath, bool) {
  if (!a_szPath || a_sizetPath == 0) {
    OsLog(OS_LOG_ERROR, "bad argument...%p %d", static_cast<void*>(a_szPath), static_cast<int>(a_sizetPath));
    return false;
  }
  a_szPath[0] = '\0';
  const char* szAlternate = std::getenv("PMX_ALTERNATEDSM");
  const char* szFound = nullptr;
  if (szAlternate && *szAlternate && COsFile::Exists(szAlternate)) {
    szFound = szAlternate;
  } else if (COsFile::Exists(kInstalledDsm)) {
    szFound = kInstalledDsm;
  }
  if (!szFound) return false;
  if (std::strlen(szFound) >= a_sizetPath) {
    OsLog(OS_LOG_ERROR, "buffer too small...<%s> %d", szFound, static_cast<int>(a_sizetPath));
    return false;
  }
  COsString::SStrCpy(a_szPath, a_sizetPath, szFound);
  return true;
}
