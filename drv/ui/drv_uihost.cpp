#include "drv_uihost.h"

#include <dlfcn.h>

#include <initializer_list>

#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {

constexpr long s_lPlatformWindows = 1;

}  // namespace

bool DrvUiWiaHost() {
  if (!g_poscfg || g_poscfg->InfoGetLong(OS_CFGINFO_OS_PLATFORM, 0) != s_lPlatformWindows) return false;
  void* pvWia = dlopen("wiaentry.dll", RTLD_LAZY | RTLD_LOCAL);
  if (!pvWia) return false;
  dlclose(pvWia);
  return true;
}

const char* DrvUiCfgText(unsigned a_uTag) {
  const char* sz = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, a_uTag) : nullptr;
  return sz ? sz : "";
}

bool DrvUiForcedPath(const DrvUiForce& a_drvuiforce, char* a_szPath, size_t a_sizetPath) {
  *a_szPath = 0;
  if (DrvUiWiaHost()) {
    OsLog(OS_LOG_INFO, "%s %s", a_drvuiforce.szPrefix, a_drvuiforce.szWiaLog);
    COsString::SStrCpy(a_szPath, a_sizetPath, "none");
    return true;
  }
  for (const char* szVariable : {a_drvuiforce.szEnvironment, "PMX_FORCEGUI"}) {
    COsCfg::GetEnv(szVariable, "", a_sizetPath, a_szPath);
    if (*a_szPath) {
      OsLog(OS_LOG_INFO, "%s %s...<%s>", a_drvuiforce.szPrefix, szVariable, a_szPath);
      return true;
    }
  }
  COsString::SStrCpy(a_szPath, a_sizetPath, DevDriverConfigGet(a_drvuiforce.edrvcfgtag));
  if (*a_szPath) {
    OsLog(OS_LOG_INFO, "%s %s...<%s>", a_drvuiforce.szPrefix, a_drvuiforce.szDriverConfigLog, a_szPath);
    return true;
  }
  COsString::SStrCpy(a_szPath, a_sizetPath, DrvUiCfgText(OS_CFGTAG_FORCEGUI));
  if (*a_szPath) {
    OsLog(OS_LOG_INFO, "%s OS_CFGTAG_FORCE_GUI...<%s>", a_drvuiforce.szPrefix, a_szPath);
    return true;
  }
  return false;
}
