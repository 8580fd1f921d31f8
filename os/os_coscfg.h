// The process-wide configuration store: text values addressed by section
// and tag id, filled from built-in defaults, the configuration ini file and
// derived values; plus the ini-file engine and the registry emulation.
#pragma once

#include <cstddef>

#include "os_coscfgtags.h"
#include "os_def.h"

// Who runs the service layer; decides the directory layout.
enum EOSCFGENTITY : int {
  OS_CFGENTITY_NONE = 0,
  OS_CFGENTITY_APPLICATION = 1,
  OS_CFGENTITY_DRIVER = 2,
  OS_CFGENTITY_UTILITY = 3,
  OS_CFGENTITY_APPUTILITY = 4,
  OS_CFGENTITY_DLL = 5,
};

// Hive of the registry emulation: a section of "registry.ini".
enum EOSCFGREGISTRY : int {
  OS_CFGREGISTRY_MACHINE = 1,  // section "machine"
  OS_CFGREGISTRY_USER = 2,     // section "user"
};

enum EOSCFGSECTION : unsigned {
  OS_CFGSECTION_UNDEFINED = 0,
  OS_CFGSECTION_MAIN = 1,  // dsIdentity
  OS_CFGSECTION_BRAND = 2,
  OS_CFGSECTION_SIMULATION = 3,
  OS_CFGSECTION_SUPPORTEDSIZES = 4,
  OS_CFGSECTION_PMX_ALL = 5,
  OS_CFGSECTION_LAST = 6,
};

// Section and tag ids from here on belong to the calling front end.
constexpr unsigned OS_CFG_CALLER_FIRST = 1000;

// The caller's version, one text per field; stored as tags 48 to 54.
struct OsCfgVersion {
  char szMajorNum[16];
  char szMinorNum[16];
  char szPatchNum[16];
  char szBuildNum[16];
  char szDay[16];
  char szMonth[16];
  char szYear[16];
};

// One row of a name table. Built-in tables end with id 0, a caller's tables
// with a null name.
struct OsCfgName {
  const char* szName;
  unsigned uId;
};

class COsCfgImpl;

class COsCfg {
 public:
  // Publishes itself as g_poscfg, registers the caller's range named in
  // a_szCaller (<cfgsectionptr>, <cfgtagptr>, <cfgdataptr>) and loads.
  COsCfg(const char* a_szUniqueName, EOSCFGENTITY a_eoscfgentity, const char* a_szCaller,
         const OsCfgVersion* a_poscfgversion, bool a_blForceSetAccess, const char* a_szApplication);
  ~COsCfg();

  // A read never fails: unset or out-of-range values read as "".
  const char* Get(unsigned a_uSection, unsigned a_uTag);
  const char* Get(const char* a_szSection, const char* a_szTag);
  // Keeps the caller's pointer, not a copy: the text must outlive its use.
  EOSSTS Set(unsigned a_uSection, unsigned a_uTag, const char* a_szValue);
  // Discard location for strtol's end pointer.
  char** GetThrowAwayPointer();
  // Changes the owner and group permission bits of a file for an
  // EOSFILEACCESS (1 read, 2 write, 3 read and write, 4 execute).
  static EOSSTS SetAccess(const char* a_szFile, int a_eosfileaccess);
  // The caller's sections and tags (ids from 1000) and its data array of
  // (sections + 1) * (tags + 1) text pointers.
  EOSSTS RegisterCaller(const OsCfgName* a_poscfgnameSections, const OsCfgName* a_poscfgnameTags,
                        const char** a_pszData);
  EOSSTS Load();

  // The ini engine: eight cached files under one lock.
  EOSSTS ProfileGet(const char* a_szFile, const char* a_szSection, const char* a_szKey, char* a_szValue,
                    size_t a_sizetValue);
  EOSSTS ProfileSet(const char* a_szFile, const char* a_szSection, const char* a_szKey, const char* a_szValue);
  EOSSTS ProfileDelete(const char* a_szFile, const char* a_szSection, const char* a_szKey);
  EOSSTS ProfileFlush(const char* a_szFile);
  EOSSTS ConstIniGet(const char* a_szSection, const char* a_szKey, char* a_szValue, size_t a_sizetValue);
  EOSSTS ConstIniSet(const char* a_szSection, const char* a_szKey, const char* a_szValue);
  EOSSTS ConstIniFlush();
  EOSSTS GetRegistry(EOSCFGREGISTRY a_eoscfgregistry, const char* a_szName, char* a_szValue, size_t a_sizetValue,
                     bool a_blFlag);

  // No security attributes on this platform.
  void CreateSecurityAttributes();
  void DestroySecurityAttributes();
  void* GetSecurityAttributesFile();
  void* GetSecurityAttributesEvent();
  void* GetSecurityAttributesMutex();
  bool IsDebugging();

 private:
  COsCfgImpl* m_poscfgimpl;
};

extern COsCfg* g_poscfg;

// Marks the library's own file: dladdr on it finds the module.
extern "C" void g_oscfglocatorfunction();

// Reads a number from the configuration with base detection (0x.. hex,
// 0.. octal); the default when the store does not exist yet or the text is empty.
long OsCfgGetLong(unsigned a_uSection, unsigned a_uTag, long a_lDefault);
