// The parent's service arguments, as a child of the driver reads them.
#include "sim_services.h"

#include <string>

#include "os_coscfg.h"
#include "os_cossync.h"
#include "os_osservices.h"

void SimUseParentCommonDirectory() {
  char szArguments[8192];
  char szRoot[1024];
  if (COsCfg::OsCfgServicesArgumentsGet(szArguments, sizeof szArguments) != OS_STS_SUCCESS) return;
  OsServicesGetSetting(szArguments, "rootpath", szRoot, sizeof szRoot);
  if (*szRoot) COsSync::SetFallbackDirectory((std::string(szRoot) + "/common").c_str());
}
