#include "drv_uihost.h"

#include <dlfcn.h>

#include "os_coscfg.h"

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
