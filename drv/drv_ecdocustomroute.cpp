// The route of a custom colour-dropout request (drv_ecdocustomroute.h).
#include "drv_ecdocustomroute.h"

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdev.h"

EOSSTS DrvEcdoCustomRoute(CDatabase* a_pdatabase, bool a_blBothUnits,
                          const std::function<EOSSTS(EDBID_FIRMWARE)>& a_fnUnit) {
  EDBID_FIRMWARE edbidfirmware;
  bool blFlatbed;
  {
    CDbLockGuard dblockguard;
    edbidfirmware = static_cast<EDBID_FIRMWARE>(a_pdatabase->GetCurrentLongFromId(DB_ID_FIRMWARE));
    blFlatbed = a_pdatabase->ConfigExists("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON);
  }
  if (!a_blBothUnits) return a_fnUnit(edbidfirmware);
  const EOSSTS eossts = a_fnUnit(DB_FIRMWARE_ADF);
  if (eossts != OS_STS_SUCCESS || !blFlatbed) return eossts;
  return a_fnUnit(DB_FIRMWARE_FLATBED);
}

const char* DrvEcdoCustomSend(CDatabase* a_pdatabase, CDev* a_pdev, EDBID_FIRMWARE a_edbidfirmware,
                              COsXmlTask* a_posxmltask) {
  bool blDeviceManager;
  {
    CDbLockGuard dblockguard;
    blDeviceManager = a_pdatabase->ConfigExists("ecdocustom", DB_CONFIGTARGET_COMMON);
  }
  return blDeviceManager ? a_pdev->ScannerEntry(a_edbidfirmware, a_posxmltask)
                         : a_pdev->NexEntry(a_edbidfirmware, a_posxmltask);
}
