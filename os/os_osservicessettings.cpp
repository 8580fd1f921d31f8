// The module's settings XML and how a start reads it: unique name, entity,
// log file, level and filter, memory method, force-set-access flag, version.
#include <dlfcn.h>
#include <strings.h>

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "os_coscfg.h"
#include "os_cosstring.h"
#include "os_cosxml.h"
#include "os_osservices.h"

namespace {

constexpr const char kDefaultSettings[] =
    "<arguments>\n"
    "\t<uniquename>driver</uniquename>\n"
    "\t<entity>utility</entity>\n"
    "\t<loglevel>0</loglevel>\n"
    "\t<version>\n"
    "\t\t<major>4</major>\n"
    "\t\t<minor>10</minor>\n"
    "\t\t<patch>2</patch>\n"
    "\t\t<build>0</build>\n"
    "\t\t<year>2015</year>\n"
    "\t\t<month>07</month>\n"
    "\t\t<day>28</day>\n"
    "\t</version>\n"
    "</arguments>\n";

const struct {
  const char* szName;
  EOSCFGENTITY eoscfgentity;
} s_aosservicesentity[] = {
    {"application", OS_CFGENTITY_APPLICATION}, {"driver", OS_CFGENTITY_DRIVER}, {"utility", OS_CFGENTITY_UTILITY},
    {"apputility", OS_CFGENTITY_APPUTILITY},   {"dll", OS_CFGENTITY_DLL},
};

// Version fields: the element, its field and its print width.
const struct {
  const char* szName;
  char (OsCfgVersion::*pszField)[16];
  int iWidth;
} s_aosservicesversion[] = {
    {"major", &OsCfgVersion::szMajorNum, 2}, {"minor", &OsCfgVersion::szMinorNum, 2},
    {"patch", &OsCfgVersion::szPatchNum, 2}, {"build", &OsCfgVersion::szBuildNum, 2},
    {"day", &OsCfgVersion::szDay, 2},        {"month", &OsCfgVersion::szMonth, 2},
    {"year", &OsCfgVersion::szYear, 4},
};

// "*" names the own library: its file name in lower case, cut at "wia.dll"
// (unless that begins the name) and at the first ".".
void OwnLibraryName(char* a_szName, size_t a_sizetName) {
  a_szName[0] = '\0';
  Dl_info dlinfo = {};
  if (!dladdr(reinterpret_cast<void*>(&g_oscfglocatorfunction), &dlinfo) || !dlinfo.dli_fname) return;
  const char* szSlash = std::strrchr(dlinfo.dli_fname, '/');
  COsString::SStrCpy(a_szName, a_sizetName, szSlash ? szSlash + 1 : dlinfo.dli_fname);
  for (char* p = a_szName; *p; ++p) *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
  char* szWia = std::strstr(a_szName, "wia.dll");
  if (szWia && szWia != a_szName) *szWia = '\0';
  if (char* szDot = std::strchr(a_szName, '.')) *szDot = '\0';
}

void ReadVersion(const char* a_szXml, OsCfgVersion* a_poscfgversion) {
  char szVersion[1024];
  bool blVersion = OsServicesGetElement(a_szXml, "version", szVersion, sizeof szVersion) == OS_STS_SUCCESS;
  for (const auto& field : s_aosservicesversion) {
    char szValue[32] = "";
    if (blVersion) OsServicesGetElement(szVersion, field.szName, szValue, sizeof szValue);
    COsString::SStrPrintf(a_poscfgversion->*field.pszField, sizeof(a_poscfgversion->*field.pszField), "%0*d",
                          field.iWidth, static_cast<int>(std::strtol(szValue, nullptr, 10)));
  }
}

}  // namespace

const char* g_szOsXml = kDefaultSettings;

EOSSTS OsServicesGetElement(const char* a_szXml, const char* a_szName, char* a_szValue, size_t a_sizetValue) {
  if (!a_szValue || a_sizetValue == 0) return OS_STS_BAD_ARGUMENT;
  a_szValue[0] = '\0';
  if (!a_szXml || !a_szName) return OS_STS_BAD_ARGUMENT;
  char szStart[80];
  char szEnd[80];
  if (COsString::SStrPrintf(szStart, sizeof szStart, "<%s>", a_szName) < 0 ||
      COsString::SStrPrintf(szEnd, sizeof szEnd, "</%s>", a_szName) < 0) {
    return OS_STS_BAD_ARGUMENT;
  }
  EOSSTS eossts = COsXml::GetContent(a_szXml, szStart, szEnd, a_szValue, a_sizetValue);
  if (eossts != OS_STS_SUCCESS) a_szValue[0] = '\0';
  return eossts;
}

void OsServicesGetSetting(const char* a_szXml, const char* a_szName, char* a_szValue, size_t a_sizetValue) {
  if (OsServicesGetElement(a_szXml, a_szName, a_szValue, a_sizetValue) != OS_STS_SUCCESS) {
    a_szValue[0] = '\0';
    return;
  }
  size_t sizetLength = std::strlen(a_szValue);
  if (sizetLength >= 6 && std::strncmp(a_szValue, "_T(\"", 4) == 0 &&
      std::strcmp(a_szValue + sizetLength - 2, "\")") == 0) {
    std::memmove(a_szValue, a_szValue + 4, sizetLength - 6);
    a_szValue[sizetLength - 6] = '\0';
  }
  if (std::strcmp(a_szValue, "0") == 0 || strcasecmp(a_szValue, "NULL") == 0) a_szValue[0] = '\0';
}

void OsServicesReadSettings(const char* a_szXml, OsServicesSettings* a_posservicessettings) {
  OsServicesSettings& settings = *a_posservicessettings;
  settings = {};
  if (!a_szXml) a_szXml = "";
  OsServicesGetElement(a_szXml, "uniquename", settings.szUniqueName, sizeof settings.szUniqueName);
  if (std::strcmp(settings.szUniqueName, "*") == 0) OwnLibraryName(settings.szUniqueName, sizeof settings.szUniqueName);

  char szValue[128];
  settings.eoscfgentity = OS_CFGENTITY_NONE;
  OsServicesGetElement(a_szXml, "entity", szValue, sizeof szValue);
  for (const auto& entity : s_aosservicesentity) {
    if (std::strcmp(szValue, entity.szName) == 0) settings.eoscfgentity = entity.eoscfgentity;
  }

  OsServicesGetSetting(a_szXml, "logfile", settings.szLogFile, sizeof settings.szLogFile);
  OsServicesGetElement(a_szXml, "loglevel", szValue, sizeof szValue);
  settings.lLevel = std::strtol(szValue, nullptr, 0);
  OsServicesGetSetting(a_szXml, "logfilter", settings.szLogFilter, sizeof settings.szLogFilter);

  OsServicesGetElement(a_szXml, "memorymethod", szValue, sizeof szValue);
  settings.eosmemmethod =
      std::strcmp(szValue, "OS_MEM_METHOD_MALLOC") == 0 ? OS_MEM_METHOD_MALLOC : OS_MEM_METHOD_GLOBALALLOC;
  OsServicesGetElement(a_szXml, "forcesetaccess", szValue, sizeof szValue);
  settings.blForceSetAccess = std::strcmp(szValue, "true") == 0;
  ReadVersion(a_szXml, &settings.oscfgversion);
}
