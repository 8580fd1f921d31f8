// The process-wide configuration store: text values addressed by section
// and tag id, filled from built-in defaults, the configuration ini file and
// derived values; plus the ini-file engine and the registry emulation.
#pragma once

#include <cstddef>
#include <cstdint>

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

// System information selectors of InfoGet...; id 6 has no name (always 0).
// Per-processor items take a processor index; the others ignore it, but it
// must still be below the processor count.
enum EOSCFGINFO : int {
  OS_CFGINFO_OS_BUILDSTRING = 1,
  OS_CFGINFO_OS_NAMESTRING = 2,
  OS_CFGINFO_OS_VERSIONSTRING = 3,
  OS_CFGINFO_OS_KERNELVERSIONSTRING = 4,
  OS_CFGINFO_OS_DISTRIBUTION = 5,
  OS_CFGINFO_OS_PLATFORM = 7,
  OS_CFGINFO_OS_WINDOWSVERSION = 8,
  OS_CFGINFO_MEM_TOTALPHYSICAL = 9,
  OS_CFGINFO_MEM_AVAILABLEPHYSICAL = 10,
  OS_CFGINFO_MEM_TOTALVIRTUAL = 11,
  OS_CFGINFO_MEM_AVAILABLEVIRTUAL = 12,
  OS_CFGINFO_MEM_TOTALPAGEFILE = 13,
  OS_CFGINFO_MEM_AVAILABLEPAGEFILE = 14,
  OS_CFGINFO_MEM_LOAD = 15,
  OS_CFGINFO_CPU_CACHESIZE = 16,
  OS_CFGINFO_CPU_FAMILY = 17,
  OS_CFGINFO_CPU_IS_FPU = 18,
  OS_CFGINFO_CPU_IS_MMX = 19,
  OS_CFGINFO_CPU_IS_SSE = 20,
  OS_CFGINFO_CPU_IS_SSE2 = 21,
  OS_CFGINFO_CPU_IS_SSE3 = 22,
  OS_CFGINFO_CPU_IS_SSSE3 = 23,
  OS_CFGINFO_CPU_IS_SSE41 = 24,
  OS_CFGINFO_CPU_IS_SSE42 = 25,
  OS_CFGINFO_CPU_IS_SSE4A = 26,
  OS_CFGINFO_CPU_IS_POPCNT = 27,
  OS_CFGINFO_CPU_IS_3DNOW = 28,
  OS_CFGINFO_CPU_LEVEL = 29,
  OS_CFGINFO_CPU_MODEL = 30,
  OS_CFGINFO_CPU_MHZ = 31,
  OS_CFGINFO_CPU_MODELSTRING = 32,
  OS_CFGINFO_CPU_STEPPING = 33,
  OS_CFGINFO_CPU_TOTAL = 34,
  OS_CFGINFO_CPU_VENDORSTRING = 35,
  OS_CFGINFO_CPU_PROCESSBITS = 36,
  OS_CFGINFO_CPU_MACHINEBITS = 37,
  OS_CFGINFO_CPU_IS_HYPERTHREADING = 38,
  OS_CFGINFO_VOLUME_DEVICEID = 39,
  OS_CFGINFO_VOLUME_SERIALNUMBER = 40,
  OS_CFGINFO_NETWORK_HOSTNAME = 51,
};

// Distribution codes of OS_CFGINFO_OS_DISTRIBUTION.
enum EOSCFGDISTRIBUTION : int {
  OS_CFGDISTRIBUTION_UNKNOWN = 1,
  OS_CFGDISTRIBUTION_DEBIAN = 2,
  OS_CFGDISTRIBUTION_FEDORA = 3,
  OS_CFGDISTRIBUTION_GENTOO = 4,
  OS_CFGDISTRIBUTION_MANDRAKE = 5,
  OS_CFGDISTRIBUTION_REDHAT = 6,
  OS_CFGDISTRIBUTION_SLACKWARE = 7,
  OS_CFGDISTRIBUTION_SUSE = 8,
  OS_CFGDISTRIBUTION_UBUNTU = 9,
  OS_CFGDISTRIBUTION_YELLOWDOG = 10,
};

// One environment string split at its first "=" (GetEnvList).
struct OsCfgEnvPair {
  const char* szName;
  const char* szValue;
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
  // EOSFILEACCESS (1 read, 2 write, 3 read and write, 4 execute). Needs no
  // store.
  static EOSSTS SetAccess(const char* a_szFile, int a_eosfileaccess);
  // The caller's sections and tags (ids from 1000) and its data array of
  // (sections + 1) * (tags + 1) text pointers.
  EOSSTS RegisterCaller(const OsCfgName* a_poscfgnameSections, const OsCfgName* a_poscfgnameTags,
                        const char** a_pszData);
  EOSSTS Load();

  // The ini engine: eight cached files under one lock; changes and flushes
  // are safe between processes (os_coscfgprofile.h gives the statuses).
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

  // System information (gathered once per process). A refused id or index
  // is logged and gives null, 0 or false.
  const char* InfoGetString(EOSCFGINFO a_eoscfginfo, long a_lIndex);
  uint64_t InfoGetLongLong(EOSCFGINFO a_eoscfginfo, long a_lIndex);
  int64_t InfoGetLong(EOSCFGINFO a_eoscfginfo, long a_lIndex);
  bool InfoGetBool(EOSCFGINFO a_eoscfginfo, long a_lIndex);
  int64_t NumberOfProcessors();

  // The brand XML of the "BRAND" resource; each line indented by up to four
  // tabs (blanks beyond four) when a_iIndent is not 0.
  const char* GetBrandXml(int a_iIndent);
  // Version texts: eight digits, or "4.3.0.0" with a_blUserFormat.
  const char* GetVersion(bool a_blUserFormat);
  const char* GetVersionBuild();
  const char* GetVersionResource();

  // The reply of the sibling library "pelum" to interfaceopen, cached.
  const char* PelumGetReportFunctions();

  // The library's own loaded image (null when it is the application).
  static void* GetHmodule();
  // The absolute path of the loaded file that holds the address.
  static void GetModuleName(const void* a_pvAddress, char* a_szName, size_t a_sizetName, bool a_blLogErrors);
  // A snapshot of the environment, ended by a pair of nulls; valid until the
  // next call or until the store goes.
  const OsCfgEnvPair* GetEnvList();
  // Writes "pmxoscfg[_model].txt" into the directory (null: LogDirectory).
  EOSSTS Dump(const char* a_szDirectory);

  // The environment; usable without a store. GetEnv gives 3 for a bad
  // argument and 2 when the value (or the default) does not fit; an unset or
  // empty variable yields the default (empty for a null default).
  static EOSSTS GetEnv(const char* a_szName, const char* a_szDefault, size_t a_sizetValue, char* a_szValue,
                       bool a_blWide = false);
  static long GetEnvLong(const char* a_szName, long a_lDefault);
  static bool GetEnvBool(const char* a_szName, bool a_blDefault);
  // 0 when the variable exists, 1 when not.
  static EOSSTS ExistEnv(const char* a_szName);
  // A null value removes the variable.
  static EOSSTS SetEnv(const char* a_szName, const char* a_szValue);
  static EOSSTS SetEnvUtf8ToUnicode(const char* a_szName, const char* a_szValue);
  // The data-source manager library: PMX_ALTERNATEDSM when that file exists,
  // else the installed one; false when there is none.
  static bool GetTwainDsm(char* a_szPath, size_t a_sizetPath, bool a_blFlag);

  // The service arguments a parent hands to its children through the
  // environment. Get reads them into the buffer (null: the service's own
  // buffer); Set publishes the service's buffer; Clear removes the thread's
  // variable and, in the top-most invocation, the plain ones.
  static EOSSTS OsCfgServicesArgumentsGet(char* a_szArguments, size_t a_sizetArguments);
  static EOSSTS OsCfgServicesArgumentsSet();
  static void OsCfgServicesArgumentsClear();

  // True once a load has set the directories up and filled the store.
  bool IsLoaded();

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

// The module handle GetHmodule keeps; an application that holds this
// library's code itself stores g_szApplicationPath in it.
extern void* g_OsCfgHinstance;
extern "C" char g_szApplicationPath[];

// Reads a number from the configuration with base detection (0x.. hex,
// 0.. octal); the default when the store does not exist yet or the text is empty.
long OsCfgGetLong(unsigned a_uSection, unsigned a_uTag, long a_lDefault);
