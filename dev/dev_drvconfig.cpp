// The driver's own configuration values: one table of defaults, the store
// first.
#include "dev_drvconfig.h"

#include <cstdlib>

#include "os_coscfg.h"
#include "os_coslog.h"

const DrvCfgValue g_adrvcfgvalue[DRV_CFG_VALUES] = {
    {DRV_CFGTAG_FORCEUNITS, "ForceUnits", DRV_CFGSECTION_DSIDENTITY, ""},
    {DRV_CFGTAG_FORCEMETERSREAL, "ForceMetersReal", DRV_CFGSECTION_DSIDENTITY, "0"},
    {DRV_CFGTAG_FORCEOPENTIMEOUT, "ForceOpenTimeout", DRV_CFGSECTION_DSIDENTITY, "0"},
    {DRV_CFGTAG_FORCEGUIDELAY, "ForceGuiDelay", DRV_CFGSECTION_DSIDENTITY, "0"},
    {DRV_CFGTAG_FORCEPROFILERESETALL, "ForceProfileResetAll", DRV_CFGSECTION_DSIDENTITY, "0"},
    {DRV_CFGTAG_FORCEGUIBOUNCE, "ForceGuiBounce", DRV_CFGSECTION_DSIDENTITY, "2"},
    {DRV_CFGTAG_FORCEDRVASSISTUIBOUNCE, "ForceDrvAssistUiBounce", DRV_CFGSECTION_DSIDENTITY, "2"},
    {DRV_CFGTAG_FORCEGUIMSGDELAY, "ForceGuiMsgDelay", DRV_CFGSECTION_DSIDENTITY, "3"},
    {DRV_CFGTAG_FORCEINDICATORSWARMUP, "ForceIndicatorsWarmup", DRV_CFGSECTION_DSIDENTITY, "2"},
    {DRV_CFGTAG_FORCEINDICATORS, "ForceIndicators", DRV_CFGSECTION_DSIDENTITY, "2"},
    {DRV_CFGTAG_FORCENEXILUSEIMAGEEND, "ForceNexilUseImageEnd", DRV_CFGSECTION_DSIDENTITY, "1"},
    {DRV_CFGTAG_FORCEIMAGECACHESIZE200, "ForceImageCacheSize200", DRV_CFGSECTION_DSIDENTITY, "0"},
    {DRV_CFGTAG_FORCEIMAGECACHESIZE300, "ForceImageCacheSize300", DRV_CFGSECTION_DSIDENTITY, "0"},
    {DRV_CFGTAG_FORCEINDICATORSWARMUPNOFIX, "ForceIndicatorsWarmupNoFix", DRV_CFGSECTION_DSIDENTITY, "0"},
    {DRV_CFGTAG_FORCEHISTORYOFF, "ForceHistoryOff", DRV_CFGSECTION_DSIDENTITY, "0"},
    {DRV_CFGTAG_FORCEDRIVERASSISTANTBOUNCE, "ForceDriverAssistantBounce", DRV_CFGSECTION_DSIDENTITY, "2"},
    {DRV_CFGTAG_FORCETWAINGUI, "ForceTwaingui", DRV_CFGSECTION_DSIDENTITY, ""},
    {DRV_CFGTAG_FORCEDRVASSISTUI, "ForceDrvassistui", DRV_CFGSECTION_DSIDENTITY, ""},
    {DRV_CFGTAG_FORCESHOWDRIVERASSISTANT, "ForceShowDriverAssistant", DRV_CFGSECTION_DSIDENTITY, "1"},
    {DRV_CFGTAG_DEVSAVE, "devsave", DRV_CFGSECTION_IMAGES, "false"},
    {DRV_CFGTAG_APPSAVE, "appsave", DRV_CFGSECTION_IMAGES, "false"},
};
const unsigned g_uDrvCfgValues = sizeof g_adrvcfgvalue / sizeof g_adrvcfgvalue[0];

namespace {
const DrvCfgValue* Find(EDRVCFGTAG a_edrvcfgtag) {
  for (const DrvCfgValue& drvcfgvalue : g_adrvcfgvalue) {
    if (drvcfgvalue.edrvcfgtag == a_edrvcfgtag) return &drvcfgvalue;
  }
  return nullptr;
}
}  // namespace

const char* DevDriverConfigGet(EDRVCFGTAG a_edrvcfgtag) {
  const DrvCfgValue* pdrvcfgvalue = Find(a_edrvcfgtag);
  if (!pdrvcfgvalue) {
    OsLog(OS_LOG_ERROR, "unrecognized driver configuration tag...%u", static_cast<unsigned>(a_edrvcfgtag));
    return "";
  }
  const char* szValue = g_poscfg ? g_poscfg->Get(pdrvcfgvalue->edrvcfgsection, pdrvcfgvalue->edrvcfgtag) : nullptr;
  return szValue && *szValue ? szValue : pdrvcfgvalue->szDefault;
}

long DevDriverConfigGetLong(EDRVCFGTAG a_edrvcfgtag) {
  const char* szValue = DevDriverConfigGet(a_edrvcfgtag);
  if (!*szValue) return 0;
  return std::strtol(szValue, g_poscfg ? g_poscfg->GetThrowAwayPointer() : nullptr, 0);
}
