// The version reports: both read the same elements the same way.
#include "dp_creportversion.h"

#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbversion.h"
#include "dp_target.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {

typedef void (CDbVersion::*PFNSETVERSION)(const char*);

// Where each element goes, per unit.
struct VersionSlot {
  const char* szElement;
  PFNSETVERSION pfnAdf;
  PFNSETVERSION pfnFlatbed;
};

const VersionSlot s_aversionslot[] = {
    {"versiontext", &CDbVersion::SetVersionTextAdf, &CDbVersion::SetVersionTextFlatbed},
    {"versionui", &CDbVersion::SetVersionUi, &CDbVersion::SetVersionUi},
    {"versiondevice", &CDbVersion::SetVersionDeviceAdf, &CDbVersion::SetVersionDeviceFlatbed},
    {"versionnexil", &CDbVersion::SetVersionNexilAdf, &CDbVersion::SetVersionNexilFlatbed},
    {"versionfirmware", &CDbVersion::SetVersionFirmwareAdf, &CDbVersion::SetVersionFirmwareFlatbed},
    {"versiondevicemanager", &CDbVersion::SetVersionDeviceManagerAdf, &CDbVersion::SetVersionDeviceManagerFlatbed},
};

// The version number is also the firmware's version.
void StoreNumber(CDbVersion& a_dbversion, bool a_blFlatbed, const char* a_szContent) {
  char szVersion[DP_VERSION_TEXT + 1];
  DpDottedVersion(a_szContent, szVersion, sizeof szVersion);
  if (a_blFlatbed) {
    a_dbversion.SetVersionNumberFlatbed(szVersion);
    a_dbversion.SetVersionFirmwareFlatbed(szVersion);
  } else {
    a_dbversion.SetVersionNumberAdf(szVersion);
    a_dbversion.SetVersionFirmwareAdf(szVersion);
  }
}

EOSSTS StoreVersion(OsXmlCallback* a_posxmlcallback) {
  const char* szElement = a_posxmlcallback->szName ? a_posxmlcallback->szName : "";
  const bool blNumber = std::strcmp(szElement, "versionnumber") == 0;
  const VersionSlot* pversionslot = nullptr;
  for (const VersionSlot& versionslot : s_aversionslot) {
    if (std::strcmp(versionslot.szElement, szElement) == 0) pversionslot = &versionslot;
  }
  if (!blNumber && !pversionslot) return OS_STS_SUCCESS;  // the report element itself
  CDatabase* pdatabase = DpDatabase(a_posxmlcallback);
  if (!pdatabase) return OS_STS_SUCCESS;
  CDbVersion* pdbversion = pdatabase->GetDbVersion();
  if (!pdbversion) {
    OsLog(OS_LOG_ERROR, "version>>> the database has no version record...<%s>", szElement);
    return OS_STS_SUCCESS;
  }
  const bool blFlatbed = pdatabase->GetCurrentLongFromId(DB_ID_FIRMWARE) == DB_FIRMWARE_FLATBED;
  const char* szContent = DpContent(a_posxmlcallback);
  if (blNumber) {
    StoreNumber(*pdbversion, blFlatbed, szContent);
  } else {
    (pdbversion->*(blFlatbed ? pversionslot->pfnFlatbed : pversionslot->pfnAdf))(szContent);
  }
  return OS_STS_SUCCESS;
}

}  // namespace

void DpDottedVersion(const char* a_szContent, char* a_szVersion, size_t a_sizetVersion) {
  if (!a_szVersion || a_sizetVersion == 0) return;
  a_szVersion[0] = '\0';
  char szCopy[DP_VERSION_TEXT + 1] = {};
  if (a_szContent) std::memcpy(szCopy, a_szContent, strnlen(a_szContent, DP_VERSION_TEXT));
  if (std::strchr(szCopy, '.')) {
    COsString::SStrCpy(a_szVersion, a_sizetVersion, szCopy);
    return;
  }
  const long lNumber = DpNumber(szCopy);
  COsString::SStrPrintf(a_szVersion, a_sizetVersion, "%ld.%ld", lNumber / 1000000, lNumber % 1000000 / 10000);
  const long lLow = lNumber % 10000;
  if (lNumber % 100 != 0) {
    COsString::SStrCatf(a_szVersion, a_sizetVersion, ".%ld.%ld", lLow / 100, lNumber % 100);
  } else if (lLow < -99 || lLow > 99) {
    COsString::SStrCatf(a_szVersion, a_sizetVersion, ".%ld", lLow / 100);
  }
}

EOSSTS CReportVersion::Handle(EDPHANDLER, OsXmlCallback* a_posxmlcallback) { return StoreVersion(a_posxmlcallback); }

EOSSTS CReportVersionUser::Handle(EDPHANDLER, OsXmlCallback* a_posxmlcallback) {
  return StoreVersion(a_posxmlcallback);
}
