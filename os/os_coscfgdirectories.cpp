// The directory layout that the store holds in tags 1 to 23, and the names of
// its files. The library's own place gives the home and model directories;
// the writable root comes from the override ini beside the library (or the
// one PMX_OVERRIDEINI names), its "writeable" directory, the parent's root
// path, or PMX_SHGETFOLDERPATH; below the root, "var" and the company's
// short name, then one directory per application (by entity).
#include <dlfcn.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "os_coscfgimpl.h"
#include "os_coscfgprofile.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_costime.h"

namespace {

constexpr int kLogDirectoryTries = 1000;

const char* LastComponent(const char* a_szPath) {
  const char* szSlash = std::strrchr(a_szPath, '/');
  return szSlash ? szSlash + 1 : a_szPath;
}

// The directory part of a path: "" without a "/", "/" for a name at the top.
void Parent(char* a_szDst, size_t a_sizetDst, const char* a_szPath) {
  COsFile::PathSet(a_szDst, a_sizetDst, a_szPath);
  COsFile::PathRemoveTrailingSlash(a_szDst);
  size_t sizetSlash = 0;
  char* szName = nullptr;
  COsFile::PathSplit(a_szDst, &sizetSlash, &szName);
  if (szName == a_szDst) {
    a_szDst[0] = '\0';
  } else {
    a_szDst[sizetSlash == 0 ? 1 : sizetSlash] = '\0';
  }
}

void Lower(char* a_sz) {
  for (; *a_sz; ++a_sz) *a_sz = static_cast<char>(std::tolower(static_cast<unsigned char>(*a_sz)));
}

bool IsDirectory(const char* a_szPath) {
  struct stat st;
  return *a_szPath && stat(a_szPath, &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsPerCaller(EOSCFGENTITY a_eoscfgentity) {
  return a_eoscfgentity == OS_CFGENTITY_UTILITY || a_eoscfgentity == OS_CFGENTITY_APPUTILITY;
}

// "root" of section "main" of an override ini; empty when there is none.
void OverrideRoot(const char* a_szFile, char* a_szRoot, size_t a_sizetRoot) {
  a_szRoot[0] = '\0';
  if (!a_szFile || !*a_szFile || !COsFile::Exists(a_szFile)) return;
  if (COsCfgProfile::Get(a_szFile, "main", "root", a_szRoot, a_sizetRoot, 0666) != OS_STS_SUCCESS) {
    a_szRoot[0] = '\0';
  }
  COsFile::PathNormalize(a_szRoot, '/');
}

}  // namespace

EOSSTS COsCfgImpl::SetDirectories(char* a_szRootPath, size_t a_sizetRootPath, char* a_szModel, size_t a_sizetModel,
                                  char* a_szCompanyDirectory, size_t a_sizetCompanyDirectory, char* a_szCompanyPath,
                                  size_t a_sizetCompanyPath) {
  const bool blPartial = a_szRootPath || a_szModel || a_szCompanyDirectory || a_szCompanyPath;
  // A store that is not loaded (the start-up's look at the roots) has no
  // brand yet: the company's short name is part of the root.
  if (blPartial && !*m_szRootDirectory) GatherBrand();
  if (FindLibrary() != OS_STS_SUCCESS) return OS_STS_FAIL;
  char szBase[kField];
  FindRoots(szBase, sizeof szBase);
  char szName[kField];
  if (FindName(szName, sizeof szName) != OS_STS_SUCCESS) return OS_STS_FAIL;

  if (blPartial) {
    char szCompanyDirectory[kField];
    if (FindCompanyDirectory(szCompanyDirectory, sizeof szCompanyDirectory) != OS_STS_SUCCESS) return OS_STS_FAIL;
    char szRoot[kField];
    Parent(szRoot, sizeof szRoot, m_szRootWriteableDirectory);
    if (a_szRootPath) COsString::SStrCpy(a_szRootPath, a_sizetRootPath, szRoot);
    if (a_szModel) COsString::SStrCpy(a_szModel, a_sizetModel, m_szLibraryModel);
    if (a_szCompanyDirectory) COsString::SStrCpy(a_szCompanyDirectory, a_sizetCompanyDirectory, szCompanyDirectory);
    if (a_szCompanyPath) COsString::SStrCpy(a_szCompanyPath, a_sizetCompanyPath, m_szRootWriteableDirectory);
    return OS_STS_SUCCESS;
  }

  if (BuildLayout(szBase, szName) != OS_STS_SUCCESS) return OS_STS_FAIL;
  BuildConfigFilenames();
  if (CreateDirectories() != OS_STS_SUCCESS) return OS_STS_FAIL;
  // PMX_DEBUG set at all: the directories as they are now, in the log directory.
  if (g_poscfg && COsCfg::ExistEnv("PMX_DEBUG") == OS_STS_SUCCESS) Dump(g_poscfg, m_szLogDirectory);
  return OS_STS_SUCCESS;
}

// The library's path, its directory, its file name, and its model directory
// (the directory that holds it, or the one above when that is "lib").
EOSSTS COsCfgImpl::FindLibrary() {
  Dl_info dlinfo = {};
  if (!dladdr(reinterpret_cast<void*>(&g_oscfglocatorfunction), &dlinfo) || !dlinfo.dli_fname) {
    OsLog(OS_LOG_ASSERT, "dladdr failed...");
    return OS_STS_FAIL;
  }
  // The loader may have been given a relative name: the layout must not
  // depend on the working directory.
  if (COsFile::PathAbsolute(m_szLibraryPath, sizeof m_szLibraryPath, dlinfo.dli_fname) != OS_STS_SUCCESS) {
    COsFile::PathSet(m_szLibraryPath, sizeof m_szLibraryPath, dlinfo.dli_fname);
  }
  if (!std::strchr(m_szLibraryPath, '/')) {
    OsLog(OS_LOG_ASSERT, "slash not found...<%s>", m_szLibraryPath);
    return OS_STS_FAIL;
  }
  Parent(m_szHomeDirectory, sizeof m_szHomeDirectory, m_szLibraryPath);
  COsString::SStrCpy(m_szLibraryName, sizeof m_szLibraryName, LastComponent(m_szLibraryPath));
  COsString::SStrCpy(m_szProgramFileName, sizeof m_szProgramFileName, m_szLibraryName);
  Lower(m_szProgramFileName);

  char szModelDirectory[kField];
  COsString::SStrCpy(szModelDirectory, sizeof szModelDirectory, m_szHomeDirectory);
  if (std::strcmp(LastComponent(szModelDirectory), "lib") == 0) {
    Parent(szModelDirectory, sizeof szModelDirectory, m_szHomeDirectory);
  }
  COsString::SStrCpy(m_szLibraryModel, sizeof m_szLibraryModel, LastComponent(szModelDirectory));
  return OS_STS_SUCCESS;
}

// The name of the directory above the model directory; "pemra" in any case
// is written "pemra".
EOSSTS COsCfgImpl::FindCompanyDirectory(char* a_szCompanyDirectory, size_t a_sizetCompanyDirectory) {
  char szModelDirectory[kField];
  char szCompany[kField];
  COsString::SStrCpy(szModelDirectory, sizeof szModelDirectory, m_szHomeDirectory);
  if (std::strcmp(LastComponent(szModelDirectory), "lib") == 0) {
    Parent(szModelDirectory, sizeof szModelDirectory, m_szHomeDirectory);
  }
  Parent(szCompany, sizeof szCompany, szModelDirectory);
  const char* szName = LastComponent(szCompany);
  if (!*m_szLibraryModel || !*szName) {
    OsLog(OS_LOG_ASSERT, "OsFilePathSplit failed...<%s>", m_szLibraryPath);
    return OS_STS_FAIL;
  }
  COsString::SStrCpy(a_szCompanyDirectory, a_sizetCompanyDirectory, szName);
  char szLower[kField];
  COsString::SStrCpy(szLower, sizeof szLower, szName);
  Lower(szLower);
  if (std::strcmp(szLower, "pemra") == 0) COsString::SStrCpy(a_szCompanyDirectory, a_sizetCompanyDirectory, szLower);
  return OS_STS_SUCCESS;
}

// The writable root, in this order: "root" of the library's own override ini
// (then published in PMX_OVERRIDEINI for children), "root" of the ini that
// PMX_OVERRIDEINI names, the own ini's "writeable" directory when it exists,
// the root path inherited from a parent, PMX_SHGETFOLDERPATH; else empty.
// Below the base go "var" and the company's short name; an inherited root
// path is taken as it is.
void COsCfgImpl::FindRoots(char* a_szBase, size_t a_sizetBase) {
  a_szBase[0] = '\0';
  m_blOverrideRoot = false;
  char szOverride[kField];
  COsString::SStrCpy(szOverride, sizeof szOverride, m_szLibraryPath);
  char* szDot = std::strrchr(szOverride, '.');
  if (szDot && szDot > std::strrchr(szOverride, '/')) *szDot = '\0';
  COsString::SStrCat(szOverride, sizeof szOverride, "_override.ini");
  if (std::strlen(szOverride) + 1 >= sizeof szOverride) szOverride[0] = '\0';

  OverrideRoot(szOverride, a_szBase, a_sizetBase);
  if (*a_szBase) {
    COsCfg::SetEnv("PMX_OVERRIDEINI", szOverride);
  } else {
    char szInherited[kField];
    if (COsCfg::GetEnv("PMX_OVERRIDEINI", nullptr, sizeof szInherited, szInherited) == OS_STS_SUCCESS) {
      OverrideRoot(szInherited, a_szBase, a_sizetBase);
    }
  }
  m_blOverrideRoot = *a_szBase != '\0';

  if (!*a_szBase && *szOverride && COsFile::Exists(szOverride)) {
    char szWriteable[kField] = "";
    COsCfgProfile::Get(szOverride, "main", "writeable", szWriteable, sizeof szWriteable, 0666);
    if (IsDirectory(szWriteable)) COsFile::PathSet(a_szBase, a_sizetBase, szWriteable);
  }
  if (!*a_szBase && *s_szWriteableRootPath) {
    COsFile::PathSet(m_szRootWriteableDirectory, sizeof m_szRootWriteableDirectory, s_szWriteableRootPath);
    COsString::SStrCpy(m_szSharedRootWriteableDirectory, kField, m_szRootWriteableDirectory);
    return;
  }
  if (!*a_szBase &&
      COsCfg::GetEnv("PMX_SHGETFOLDERPATH", nullptr, a_sizetBase, a_szBase) != OS_STS_SUCCESS) {
    a_szBase[0] = '\0';
  }
  COsFile::PathNormalize(a_szBase, '/');
  char szVar[kField];
  if (!COsFile::PathJoin(szVar, sizeof szVar, a_szBase, "var") ||
      !COsFile::PathJoin(m_szRootWriteableDirectory, sizeof m_szRootWriteableDirectory, szVar, m_szRootDirectory)) {
    m_szRootWriteableDirectory[0] = '\0';
  }
  COsString::SStrCpy(m_szSharedRootWriteableDirectory, kField, m_szRootWriteableDirectory);
}

// The per-application directory name: the unique name (application, dll),
// the library's model directory (driver), the caller's name (utilities).
EOSSTS COsCfgImpl::FindName(char* a_szName, size_t a_sizetName) {
  a_szName[0] = '\0';
  switch (m_eoscfgentity) {
    case OS_CFGENTITY_APPLICATION:
    case OS_CFGENTITY_DLL: COsString::SStrCpy(a_szName, a_sizetName, m_szUniqueName); break;
    case OS_CFGENTITY_DRIVER: COsString::SStrCpy(a_szName, a_sizetName, m_szLibraryModel); break;
    case OS_CFGENTITY_UTILITY:
    case OS_CFGENTITY_APPUTILITY:
      COsString::SStrCpy(a_szName, a_sizetName, *s_szUniqueNameCaller ? s_szUniqueNameCaller : m_szUniqueName);
      break;
    default:
      OsLog(OS_LOG_ASSERT, "Unsupported m_eoscfgentity...%d", static_cast<int>(m_eoscfgentity));
      return OS_STS_FAIL;
  }
  if (!*a_szName || !*m_szRootWriteableDirectory) {
    OsLog(OS_LOG_ASSERT, "slash not found...<%s>", m_szLibraryPath);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

// The table of directories below the root; a path that does not fit fails
// the set-up (a cut path would name another directory).
EOSSTS COsCfgImpl::BuildLayout(const char* a_szBase, const char* a_szName) {
  const char* szRoot = m_szRootWriteableDirectory;
  const char* szSharedRoot = m_szSharedRootWriteableDirectory;
  const bool blPerCaller = IsPerCaller(m_eoscfgentity);

  char szCompanyLower[kField];
  COsString::SStrCpy(szCompanyLower, sizeof szCompanyLower, *m_szRootDirectory ? m_szRootDirectory : "pemra");
  Lower(szCompanyLower);
  char szOpt[kField];
  char szCommonName[kField];
  COsString::SStrCpy(szCommonName, sizeof szCommonName, blPerCaller ? m_szUniqueName : "common");
  if (char* szUnderscore = std::strchr(szCommonName, '_'); szUnderscore && blPerCaller) *szUnderscore = '\0';
  char szMultimedia[kField];

  bool blFits = COsFile::PathJoin(szOpt, sizeof szOpt, m_blOverrideRoot ? a_szBase : "", "opt") &&
                COsFile::PathJoin(m_szSystemDirectory, kField, szOpt, szCompanyLower) &&
                COsFile::PathJoin(m_szRootCommonDirectory, kField, szRoot, "common") &&
                COsFile::PathJoin(m_szSharedRootCommonDirectory, kField, szSharedRoot, "common") &&
                COsFile::PathJoin(m_szUserRootDirectory, kField, szRoot, a_szName) &&
                COsFile::PathJoin(m_szSharedUserRootDirectory, kField, szSharedRoot, a_szName) &&
                COsFile::PathJoin(m_szCommonDirectory, kField, m_szUserRootDirectory, szCommonName) &&
                COsFile::PathJoin(m_szSharedCommonDirectory, kField, m_szSharedUserRootDirectory, szCommonName) &&
                COsFile::PathJoin(m_szSharedDeviceDirectory, kField, m_szSharedUserRootDirectory, "device") &&
                COsFile::PathJoin(szMultimedia, sizeof szMultimedia, m_szSystemDirectory, a_szName) &&
                COsFile::PathJoin(m_szMultimediaDirectory, kField, szMultimedia, "sounds");
  COsString::SStrCpy(m_szModelDirectory, kField, a_szName);
  COsString::SStrCpy(m_szModelDirectoryReal, kField, blPerCaller ? m_szLibraryModel : a_szName);

  if (!*m_szLogTimeStamp) {
    struct timespec timespecNow;
    clock_gettime(CLOCK_REALTIME, &timespecNow);
    m_i64LogTimeMs = static_cast<int64_t>(timespecNow.tv_sec) * 1000 + timespecNow.tv_nsec / 1000000;
    FormatLogTimeStamp();
  }
  if (blPerCaller && g_poslog) {
    BuildPerCallerLogDirectories();
  } else {
    m_szLogDirectory[0] = '\0';
  }
  if (!*m_szLogDirectory) {
    // Per application: the user directory holds one log directory per run.
    const char* szUserName = std::strcmp(m_szUniqueName, "pmx") == 0 ? "twain" : m_szUniqueName;
    blFits = blFits && COsFile::PathJoin(m_szUserDirectory, kField, m_szUserRootDirectory, szUserName) &&
             COsFile::PathJoin(m_szSharedUserDirectory, kField, m_szSharedUserRootDirectory, szUserName) && BuildRunLogDirectory();
  }
  COsString::SStrCpy(m_szDriverDirectory, kField, m_szUserDirectory);
  blFits = blFits && COsFile::PathJoin(m_szGuiFilename, kField, m_szUserDirectory, "setup001.ini") &&
           COsFile::PathJoin(m_szSimulatorFilename, kField, m_szCommonDirectory, "ramscan.txt");

  const char* szHome = std::getenv("HOME");
  if (m_blOverrideRoot || !szHome || !*szHome) {
    blFits = blFits && COsFile::PathJoin(m_szDesktopDirectory, kField, m_szUserRootDirectory, "userfiles");
  } else {
    blFits = blFits && COsFile::PathJoin(m_szDesktopDirectory, kField, szHome, "Desktop");
  }
  COsString::SStrCpy(m_szSharedDesktopDirectory, kField, m_szDesktopDirectory);
  if (!blFits) {
    OsLog(OS_LOG_ERROR, "directory path too long...<%s> <%s>", szRoot, a_szName);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

// The start time as 17 digits of local time.
void COsCfgImpl::FormatLogTimeStamp() {
  OsTimeRecord ostimerecord;
  COsTime::GetLocalTime(&ostimerecord, static_cast<time_t>(m_i64LogTimeMs / 1000));
  ostimerecord.u16Milliseconds = static_cast<uint16_t>(m_i64LogTimeMs % 1000);
  COsTime::GetStringTime(&ostimerecord, m_szLogTimeStamp, sizeof m_szLogTimeStamp);
}

// "log.<start time>" in the user directory, the log file and the directories
// that lie in it.
bool COsCfgImpl::BuildRunLogDirectory() {
  char szLogName[64];
  char szLogFile[kField];
  COsString::SStrPrintf(szLogName, sizeof szLogName, "log.%s", m_szLogTimeStamp);
  COsString::SStrPrintf(szLogFile, sizeof szLogFile, "%s.log", m_szUniqueName);
  return COsFile::PathJoin(m_szLogDirectory, kField, m_szUserDirectory, szLogName) &&
         COsFile::PathJoin(m_szLogFilename, kField, m_szLogDirectory, szLogFile) &&
         COsFile::PathJoin(m_szFwDirectory, kField, m_szLogDirectory, "firmware") &&
         COsFile::PathJoin(m_szNexilDirectory, kField, m_szLogDirectory, "nexil") &&
         COsFile::PathJoin(m_szUiDirectory, kField, m_szLogDirectory, "ui") && COsFile::PathJoin(m_szTmpDirectory, kField, m_szLogDirectory, "tmp");
}

// Utilities log into the directory of their log file (a child beside its
// parent's log); the user directory is that directory, the firmware, image
// library and interface directories lie beside it.
void COsCfgImpl::BuildPerCallerLogDirectories() {
  char szLogFile[kField] = "";
  g_poslog->GetFilename(szLogFile, sizeof szLogFile);
  COsFile::PathNormalize(szLogFile, '/');
  m_szLogDirectory[0] = '\0';
  if (!std::strchr(szLogFile, '/')) return;
  char szParent[kField];
  COsString::SStrCpy(m_szLogFilename, kField, szLogFile);
  Parent(m_szLogDirectory, kField, szLogFile);
  Parent(szParent, sizeof szParent, m_szLogDirectory);
  COsString::SStrCpy(m_szUserDirectory, kField, m_szLogDirectory);
  COsString::SStrCpy(m_szSharedUserDirectory, kField, "(not valid)");
  if (!COsFile::PathJoin(m_szFwDirectory, kField, szParent, "firmware") || !COsFile::PathJoin(m_szNexilDirectory, kField, szParent, "nexil") ||
      !COsFile::PathJoin(m_szUiDirectory, kField, szParent, "ui") || !COsFile::PathJoin(m_szTmpDirectory, kField, m_szLogDirectory, "tmp")) {
    m_szLogDirectory[0] = '\0';
  }
}

// The constant file and the configuration file, own and shared: in the user
// directories (the common ones for utilities); the shared constant file, or
// that name with ".txt", wins over the unique name's own file.
void COsCfgImpl::BuildConfigFilenames() {
  const bool blPerCaller = IsPerCaller(m_eoscfgentity);
  const char* szDirectory = blPerCaller ? m_szCommonDirectory : m_szUserDirectory;
  const char* szSharedDirectory = blPerCaller ? m_szSharedCommonDirectory : m_szSharedUserDirectory;
  char szOwnIni[kField];
  COsString::SStrPrintf(szOwnIni, sizeof szOwnIni, "%s.ini", m_szUniqueName);
  const bool blPmx = !blPerCaller && std::strcmp(m_szUniqueName, "pmx") == 0;
  COsFile::PathJoin(m_szConfigFilenameConstIni, kField, szDirectory, "const.ini");
  COsFile::PathJoin(m_szSharedConfigFilenameConstIni, kField, szSharedDirectory, "const.ini");
  COsFile::PathJoin(m_szConfigFilename, kField, szDirectory, blPmx ? "const.ini" : szOwnIni);
  COsFile::PathJoin(m_szSharedConfigFilename, kField, szSharedDirectory, blPmx ? "const.ini" : szOwnIni);
  char szSharedTxt[kField];
  COsString::SStrPrintf(szSharedTxt, sizeof szSharedTxt, "%s.txt", m_szSharedConfigFilenameConstIni);
  if (!COsFile::Exists(m_szSharedConfigFilenameConstIni) && COsFile::Exists(szSharedTxt)) {
    COsString::SStrCat(m_szConfigFilenameConstIni, kField, ".txt");
    COsString::SStrCpy(m_szSharedConfigFilenameConstIni, kField, szSharedTxt);
  }
  if (COsFile::Exists(m_szSharedConfigFilenameConstIni)) {
    COsString::SStrCpy(m_szConfigFilename, kField, m_szConfigFilenameConstIni);
    COsString::SStrCpy(m_szSharedConfigFilename, kField, m_szSharedConfigFilenameConstIni);
  }
}

// The root must exist (or be made); the other directories are made when
// they can be. The log directory is made once per store.
EOSSTS COsCfgImpl::CreateDirectories() {
  EOSSTS eossts = COsFile::Create(m_szRootWriteableDirectory);
  if (eossts != OS_STS_SUCCESS && eossts != OS_STS_ALREADY_EXISTS) {
    OsLog(OS_LOG_ERROR, "OsFileCreateDirectory failed...<%s> %d", m_szRootWriteableDirectory, static_cast<int>(eossts));
    return OS_STS_FAIL;
  }
  char szForce[8];
  if (m_blForceSetAccess ||
      (COsCfg::GetEnv("PMX_FORCESETACCESS", nullptr, sizeof szForce, szForce) == OS_STS_SUCCESS &&
       std::strcmp(szForce, "1") == 0)) {
    COsFile::SetFileAccess(m_szRootWriteableDirectory, OS_FILEACCESS_READWRITE, false);
  }
  const char* aszDirectories[] = {m_szRootCommonDirectory, m_szCommonDirectory, m_szUserDirectory};
  for (const char* szDirectory : aszDirectories) COsFile::Create(szDirectory);
  char szUserFiles[kField];
  if (COsFile::PathJoin(szUserFiles, sizeof szUserFiles, m_szUserRootDirectory, "userfiles") &&
      std::strcmp(szUserFiles, m_szDesktopDirectory) == 0) {
    COsFile::Create(m_szDesktopDirectory);
  }
  if (!m_blLogDirectoryTried) {
    m_blLogDirectoryTried = true;
    m_eosstsLogDirectory = COsFile::Create(m_szLogDirectory);
    // A run of the same millisecond has that directory (its log would be cut
    // by ours): the next free millisecond is this run's.
    for (int i = 0; i < kLogDirectoryTries && m_eosstsLogDirectory == OS_STS_ALREADY_EXISTS &&
                    !IsPerCaller(m_eoscfgentity);
         ++i) {
      ++m_i64LogTimeMs;
      FormatLogTimeStamp();
      if (!BuildRunLogDirectory()) break;
      m_eosstsLogDirectory = COsFile::Create(m_szLogDirectory);
    }
  }
  return OS_STS_SUCCESS;
}
