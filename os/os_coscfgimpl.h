// Implementation of the configuration store. The store proper (ids, names,
// defaults, the configuration ini file and the load sequence) is in
// os_coscfgimpl.cpp; the directory layout in os_coscfgdirectories.cpp and
// the per-run log directories in os_coscfglogdirectories.cpp; the ini engine
// it forwards to in os_coscfgprofile.cpp. The system information is gathered
// in os_coscfgsysteminfo.cpp and queried in os_coscfg_info.cpp; the brand,
// versions, sibling library, environment snapshot and dump have a unit each
// (os_coscfg_brand, _version, _pelum, _env, _dump); the environment helpers
// and the service arguments too (os_coscfg_getenv, os_coscfg_arguments).
#pragma once

#include <cstddef>
#include <cstdint>

#include "os_coscfg.h"
#include "os_coscfgtables.h"

class COsFile;

// The entry of the sibling library: one task text in, one reply text out.
typedef const char* (*OsCfgPelumEntry)(const char* a_szTask);

class COsCfgImpl {
 public:
  static constexpr size_t kFileData = 65536;  // most bytes read from the configuration ini
  static constexpr size_t kField = 512;

  COsCfgImpl(const char* a_szUniqueName, EOSCFGENTITY a_eoscfgentity, const OsCfgVersion* a_poscfgversion,
             bool a_blForceSetAccess, const char* a_szApplication);
  ~COsCfgImpl();
  COsCfgImpl(const COsCfgImpl&) = delete;
  COsCfgImpl& operator=(const COsCfgImpl&) = delete;

  // The store.
  const char* Get(unsigned a_uSection, unsigned a_uTag);
  const char* Get(const char* a_szSection, const char* a_szTag);
  EOSSTS Set(unsigned a_uSection, unsigned a_uTag, const char* a_szValue);
  EOSSTS RegisterCaller(const OsCfgName* a_poscfgnameSections, const OsCfgName* a_poscfgnameTags,
                        const char** a_pszData);
  EOSSTS Load();
  EOSSTS LoadFile();

  // The ini engine with this store's file mode.
  unsigned FileMode();
  EOSSTS ConstIniGet(const char* a_szSection, const char* a_szKey, char* a_szValue, size_t a_sizetValue);
  EOSSTS ConstIniSet(const char* a_szSection, const char* a_szKey, const char* a_szValue);
  EOSSTS ConstIniFlush();
  EOSSTS GetRegistry(EOSCFGREGISTRY a_eoscfgregistry, const char* a_szName, char* a_szValue, size_t a_sizetValue);

  // Directory layout (os_coscfgdirectories.cpp). With every argument null a
  // full set-up; otherwise only the roots, returned in the buffers.
  EOSSTS SetDirectories(char* a_szRootPath, size_t a_sizetRootPath, char* a_szModel, size_t a_sizetModel,
                        char* a_szCompanyDirectory, size_t a_sizetCompanyDirectory, char* a_szCompanyPath,
                        size_t a_sizetCompanyPath);
  // Holds "log.lock" in the log directory and prunes old log directories
  // (os_coscfglogdirectories.cpp).
  void ManageLogDirectories();
  bool IsLoaded() const { return m_blLoaded; }

  // System information and brand.
  void GatherSystemInformation();
  void GatherBrand();
  const char* OsName() const;
  const char* GetBrandXml(int a_iIndent);
  bool VersionChangedByFile() const { return m_blVersionChangedByFile; }

  // The named resource of the library's own file (or of the file tests set),
  // terminated and cut to the buffer; its whole size in *a_pu64Size. 0, or 1
  // when there is none.
  static EOSSTS ReadOwnResource(const char* a_szName, char* a_szBuffer, size_t a_sizetBuffer, uint64_t* a_pu64Size);
  static void SetResourceFile(const char* a_szFile);
  static void ForgetVersionResource();

  // The sibling library's reply, cached; the library is told and unloaded
  // when the store goes.
  const char* PelumGetReportFunctions();
  void PelumShutdown();

  const OsCfgEnvPair* GetEnvList();
  void FreeEnvList();

  EOSSTS Dump(COsCfg* a_poscfg, const char* a_szDirectory);

  // Set by the service start-up in the first service layer of a process family.
  static bool s_blTopMostInvocation;
  // The service layer's state between start and stop (os_coscfg_arguments.cpp):
  // the current arguments XML, the unique names of this layer and of the
  // parent that published the arguments, and the parent's root path.
  static constexpr size_t kArguments = 2048;
  static char s_szOsServicesArguments[kArguments];
  static char s_szUniqueName[64];
  static char s_szUniqueNameCaller[64];
  static char s_szWriteableRootPath[kField];
  // Back to the unstarted state.
  static void ResetStatics();

 private:
  const char** Slot(unsigned a_uSection, unsigned a_uTag);
  char* Field(EOSCFGFIELD a_eoscfgfield);
  void SetDefaults();
  void StoreDerivedValues();
  void StoreBrand();
  void StoreFileNames();
  void StoreProgram();
  void ParseFileData(size_t a_sizetData);
  void ForgetCallerFileValues();
  void ParseLine(char* a_szLine, unsigned* a_puSection, unsigned* a_puCallerSection);
  void ParseBrand();
  bool BrandElement(const char* a_szElement, char* a_szField, size_t a_sizetField);
  EOSSTS DumpPath(const char* a_szDirectory, char* a_szPath, size_t a_sizetPath);
  void DumpLibraryItems(void* a_pvWriter);
  void DumpLocalItems(void* a_pvWriter);
  void DumpDirectories(void* a_pvWriter);

  // Steps of SetDirectories.
  EOSSTS FindLibrary();
  void FindRoots(char* a_szBase, size_t a_sizetBase);
  EOSSTS FindCompanyDirectory(char* a_szCompanyDirectory, size_t a_sizetCompanyDirectory);
  EOSSTS FindName(char* a_szName, size_t a_sizetName);
  EOSSTS BuildLayout(const char* a_szBase, const char* a_szName);
  void BuildPerCallerLogDirectories();
  bool BuildRunLogDirectory();
  void FormatLogTimeStamp();
  void BuildConfigFilenames();
  EOSSTS CreateDirectories();

  // Built-in values: [section 1..5][tag 1..271]; null reads as "".
  const char* m_apszStore[OS_CFGSECTION_LAST][OS_CFGTAG_LAST] = {};

  // The caller's range: its name tables, data array and dimensions (rows + 1).
  const OsCfgName* m_poscfgnameCallerSections = nullptr;
  const OsCfgName* m_poscfgnameCallerTags = nullptr;
  const char** m_pszCallerData = nullptr;
  unsigned m_uCallerSections = 0;
  unsigned m_uCallerTags = 0;

  // The configuration ini; values read from it point in here. One byte more
  // than is read keeps the last line terminated.
  char m_szFileData[kFileData + 1] = {};

  char m_szLogDebug[16] = {};
  char m_szLogFilter[128] = {};
  char m_szDebugDisplayLength[16] = {};
  char m_szForceSocketMonitorTimeout[16] = {};
  char m_szForceUsbMonitorTimeout[16] = {};
  char m_szUiTimeout[16] = {};
  OsCfgVersion m_oscfgversion = {};

  // Brand texts gathered at load; empty ones leave the defaults.
  char m_szCompanyName[kField] = {};
  char m_szCompanyNameShort[kField] = {};
  char m_szCopyright[kField] = {};
  char m_szProductFamily[kField] = {};
  char m_szProductName[kField] = {};
  char m_szUrlCompany[kField] = {};
  char m_szUrlSupport[kField] = {};
  char m_szUrlSupportModel[kField] = {};
  char m_szMacMfgIdentity[kField] = {};
  char m_szRootDirectory[kField] = {};  // name of the writable root below "var"
  char m_szBrand[2048] = {};            // the "BRAND" resource, terminated

  // The sibling library "pelum": its file object, entry and cached reply.
  COsFile* m_posfilePelum = nullptr;
  OsCfgPelumEntry m_pfnPelumEntry = nullptr;
  char* m_szPelumReply = nullptr;

  // The environment snapshot: the strings and the pairs pointing into them.
  char* m_szEnvironment = nullptr;
  OsCfgEnvPair* m_posenvpair = nullptr;
  bool m_blEnvTracked = false;  // the blocks belong to the memory service

  // Directory and file names of the layout (tags 1 to 23 and the files).
  char m_szRootWriteableDirectory[kField] = {};
  char m_szSharedRootWriteableDirectory[kField] = {};
  char m_szSystemDirectory[kField] = {};
  char m_szHomeDirectory[kField] = {};
  char m_szProgramFileName[kField] = {};
  char m_szLibraryPath[kField] = {};
  char m_szLibraryName[kField] = {};
  char m_szRootCommonDirectory[kField] = {};
  char m_szSharedRootCommonDirectory[kField] = {};
  char m_szCommonDirectory[kField] = {};
  char m_szSharedCommonDirectory[kField] = {};
  char m_szSharedDeviceDirectory[kField] = {};
  char m_szUserDirectory[kField] = {};
  char m_szSharedUserDirectory[kField] = {};
  char m_szUserRootDirectory[kField] = {};
  char m_szSharedUserRootDirectory[kField] = {};
  char m_szModelDirectory[kField] = {};
  char m_szModelDirectoryReal[kField] = {};
  char m_szDriverDirectory[kField] = {};
  char m_szLogDirectory[kField] = {};
  char m_szTmpDirectory[kField] = {};
  char m_szFwDirectory[kField] = {};
  char m_szNexilDirectory[kField] = {};
  char m_szUiDirectory[kField] = {};
  char m_szMultimediaDirectory[kField] = {};
  char m_szLocalLowDirectory[kField] = {};
  char m_szDesktopDirectory[kField] = {};
  char m_szSharedDesktopDirectory[kField] = {};
  char m_szConfigFilenameConstIni[kField] = {};
  char m_szConfigFilename[kField] = {};
  char m_szSharedConfigFilenameConstIni[kField] = {};
  char m_szSharedConfigFilename[kField] = {};
  char m_szLogFilename[kField] = {};
  char m_szGuiFilename[kField] = {};
  char m_szSimulatorFilename[kField] = {};
  char m_szLogTimeStamp[32] = {};
  int64_t m_i64LogTimeMs = 0;  // the start time in ms since the epoch

  EOSCFGENTITY m_eoscfgentity;
  char m_szUniqueName[128] = {};
  bool m_blForceSetAccess;
  char m_szApplication[kField] = {};
  bool m_blVersionChangedByFile = false;
  bool m_blLogDirectoryTried = false;  // the log directory is created once
  EOSSTS m_eosstsLogDirectory = OS_STS_FAIL;
  bool m_blLoaded = false;
  // Where the library lives: the name of its model directory (the directory
  // that holds it, or the one above when that is "lib"); and whether an
  // override ini named the root.
  char m_szLibraryModel[kField] = {};
  bool m_blOverrideRoot = false;
  // "log.lock" of the log directory, held open while the store lives so that
  // other processes see the directory in use.
  COsFile* m_posfileLogLock = nullptr;
};

// Every public operation first checks the implementation pointer.
#define OSCFG_CHECK_IMPL(failure)                      \
  do {                                                 \
    if (!m_poscfgimpl) {                               \
      OsLog(OS_LOG_ASSERT, "m_poscfgimpl is null..."); \
      return failure;                                  \
    }                                                  \
  } while (0)
