#include "drv_profilecommand.h"

#include <cstring>

namespace {

struct DrvProfileIdRow {
  const char* szId;
  EDRVPROFILEID edrvprofileid;
};
constexpr DrvProfileIdRow s_adrvprofileidrow[] = {
    {"profile", DRV_PROFILEID_PROFILE},
    {"profilelist", DRV_PROFILEID_PROFILELIST},
    {"qvlog", DRV_PROFILEID_QVLOG},
};

}  // namespace

EDRVPROFILEID DrvProfileId(const char* a_szId) {
  if (!a_szId) return DRV_PROFILEID_OTHER;
  for (const DrvProfileIdRow& drvprofileidrow : s_adrvprofileidrow) {
    if (std::strcmp(drvprofileidrow.szId, a_szId) == 0) return drvprofileidrow.edrvprofileid;
  }
  return DRV_PROFILEID_OTHER;
}

bool DrvProfileFlag(const char* a_szText) { return a_szText && std::strcmp(a_szText, "true") == 0; }
