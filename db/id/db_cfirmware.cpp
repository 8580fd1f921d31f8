// The scanner unit of the firmware settings.
#include "db_cfirmware.h"

#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_crulekit.h"

// A flatbed integrated into the feeder's unit leaves the database's choice
// as it is. A separate flatbed is the default and joins the units offered:
// a default outside its own list could not be chosen again once left.
EOSSTS CFIRMWARE::FixDefault() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase) return CDbEnum::FixDefault();
  if (!pdatabase->ConfigExists("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON)) {
    DeleteAllDefaultItems();
    AddDefaultItem(DB_FIRMWARE_ADF);
    SetDefaultLong(DB_FIRMWARE_ADF);
    SetAccess(DB_ACCESS_READWRITEDISABLED);
  } else {
    const char* szDeviceType = pdatabase->ConfigGetString("devicetypeflatbed", DB_CONFIGTARGET_COMMON);
    if (szDeviceType && std::strcmp(szDeviceType, "flatbedintegrated") == 0) return CDbEnum::FixDefault();
    AddDefaultItem(DB_FIRMWARE_FLATBED);
    SetDefaultLong(DB_FIRMWARE_FLATBED);
  }
  FixDefaultReset();
  return CDbEnum::FixDefault();
}
