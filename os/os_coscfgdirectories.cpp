// The directory layout that the store holds in tags 1 to 23 and its file
// names. This first version derives every root from PMX_SHGETFOLDERPATH or
// $HOME; the override ini, the per-entity log placement and the pruning of
// old log directories come with the service start-up.
#include <dlfcn.h>

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "os_coscfgimpl.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_costime.h"

namespace {

// a_szDst = a_szBase + "/" + a_szName, separators made single "/".
bool Join(char* a_szDst, size_t a_sizetDst, const char* a_szBase, const char* a_szName) {
  COsFile::PathSet(a_szDst, a_sizetDst, a_szBase);
  return COsFile::PathAppend(a_szDst, a_sizetDst, a_szName) == OS_STS_SUCCESS;
}

// The directory part and the file name of a path.
void SplitPath(const char* a_szPath, char* a_szDirectory, char* a_szName, size_t a_sizetField) {
  COsFile::PathSet(a_szDirectory, a_sizetField, a_szPath);
  size_t sizetSlash = 0;
  char* szName = nullptr;
  COsFile::PathSplit(a_szDirectory, &sizetSlash, &szName);
  COsString::SStrCpy(a_szName, a_sizetField, szName);
  a_szDirectory[sizetSlash] = '\0';
}

const char* LastComponent(const char* a_szPath) {
  const char* szSlash = std::strrchr(a_szPath, '/');
  return szSlash ? szSlash + 1 : a_szPath;
}

void Lower(char* a_sz) {
  for (; *a_sz; ++a_sz) *a_sz = static_cast<char>(std::tolower(static_cast<unsigned char>(*a_sz)));
}

// The writable base below which "var" and the root directory name go.
const char* WriteableBase() {
  const char* szBase = std::getenv("PMX_SHGETFOLDERPATH");
  if (szBase && *szBase && std::strlen(szBase) < 512) return szBase;
  szBase = std::getenv("HOME");
  return szBase && *szBase ? szBase : "/tmp";
}

}  // namespace

EOSSTS COsCfgImpl::SetDirectories(char* a_szRootPath, size_t a_sizetRootPath, char* a_szModel, size_t a_sizetModel,
                                  char* a_szCompanyDirectory, size_t a_sizetCompanyDirectory, char* a_szCompanyPath,
                                  size_t a_sizetCompanyPath) {
  Dl_info dlinfo = {};
  if (dladdr(reinterpret_cast<void*>(&g_oscfglocatorfunction), &dlinfo) && dlinfo.dli_fname) {
    COsFile::PathSet(m_szLibraryPath, sizeof m_szLibraryPath, dlinfo.dli_fname);
  }
  SplitPath(m_szLibraryPath, m_szHomeDirectory, m_szLibraryName, kField);
  COsString::SStrCpy(m_szProgramFileName, sizeof m_szProgramFileName, m_szLibraryName);
  Lower(m_szProgramFileName);

  const char* szBase = WriteableBase();
  char szVar[kField];
  if (!Join(szVar, sizeof szVar, szBase, "var") ||
      !Join(m_szRootWriteableDirectory, sizeof m_szRootWriteableDirectory, szVar, m_szRootDirectory)) {
    OsLog(OS_LOG_ASSERT, "root directory does not fit...<%s>", szBase);
    return OS_STS_FAIL;
  }
  COsString::SStrCpy(m_szSharedRootWriteableDirectory, kField, m_szRootWriteableDirectory);

  // The per-application directory name.
  char szName[kField] = {};
  switch (m_eoscfgentity) {
    case OS_CFGENTITY_APPLICATION:
    case OS_CFGENTITY_DLL:
    case OS_CFGENTITY_UTILITY:
    case OS_CFGENTITY_APPUTILITY: COsString::SStrCpy(szName, sizeof szName, m_szUniqueName); break;
    case OS_CFGENTITY_DRIVER: COsString::SStrCpy(szName, sizeof szName, LastComponent(m_szHomeDirectory)); break;
    default:
      OsLog(OS_LOG_ASSERT, "Unsupported m_eoscfgentity...%d", static_cast<int>(m_eoscfgentity));
      return OS_STS_FAIL;
  }
  if (!*szName) {
    OsLog(OS_LOG_ASSERT, "slash not found...<%s>", m_szHomeDirectory);
    return OS_STS_FAIL;
  }
  if (a_szRootPath || a_szModel || a_szCompanyDirectory || a_szCompanyPath) {
    if (a_szRootPath) COsString::SStrCpy(a_szRootPath, a_sizetRootPath, m_szRootWriteableDirectory);
    if (a_szModel) COsString::SStrCpy(a_szModel, a_sizetModel, szName);
    if (a_szCompanyDirectory) COsString::SStrCpy(a_szCompanyDirectory, a_sizetCompanyDirectory, m_szRootDirectory);
    if (a_szCompanyPath) COsString::SStrCpy(a_szCompanyPath, a_sizetCompanyPath, m_szRootWriteableDirectory);
    return OS_STS_SUCCESS;
  }

  const char* szRoot = m_szRootWriteableDirectory;
  char szSystemBase[kField];
  char szCompanyLower[kField];
  COsString::SStrCpy(szCompanyLower, sizeof szCompanyLower, *m_szRootDirectory ? m_szRootDirectory : "pemra");
  Lower(szCompanyLower);
  Join(szSystemBase, sizeof szSystemBase, szBase, "opt");
  Join(m_szSystemDirectory, kField, szSystemBase, szCompanyLower);

  bool blPerCaller = m_eoscfgentity == OS_CFGENTITY_UTILITY || m_eoscfgentity == OS_CFGENTITY_APPUTILITY;
  char szCommonName[kField];
  COsString::SStrCpy(szCommonName, sizeof szCommonName, blPerCaller ? m_szUniqueName : "common");
  if (char* szUnderscore = std::strchr(szCommonName, '_'); szUnderscore && blPerCaller) *szUnderscore = '\0';
  const char* szUserName = std::strcmp(m_szUniqueName, "pmx") == 0 ? "twain" : m_szUniqueName;

  Join(m_szRootCommonDirectory, kField, szRoot, "common");
  Join(m_szUserRootDirectory, kField, szRoot, szName);
  Join(m_szCommonDirectory, kField, m_szUserRootDirectory, szCommonName);
  Join(m_szUserDirectory, kField, m_szUserRootDirectory, szUserName);
  Join(m_szSharedDeviceDirectory, kField, m_szUserRootDirectory, "device");
  COsString::SStrCpy(m_szSharedRootCommonDirectory, kField, m_szRootCommonDirectory);
  COsString::SStrCpy(m_szSharedUserRootDirectory, kField, m_szUserRootDirectory);
  COsString::SStrCpy(m_szSharedCommonDirectory, kField, m_szCommonDirectory);
  COsString::SStrCpy(m_szSharedUserDirectory, kField, m_szUserDirectory);
  COsString::SStrCpy(m_szModelDirectory, kField, szName);
  COsString::SStrCpy(m_szModelDirectoryReal, kField, szName);
  COsString::SStrCpy(m_szDriverDirectory, kField, m_szUserDirectory);

  if (!*m_szLogTimeStamp) {
    OsTimeRecord ostimerecord;
    COsTime::GetLocalTime(&ostimerecord);
    COsTime::GetStringTime(&ostimerecord, m_szLogTimeStamp, sizeof m_szLogTimeStamp);
  }
  char szLogName[64];
  COsString::SStrPrintf(szLogName, sizeof szLogName, "log.%s", m_szLogTimeStamp);
  Join(m_szLogDirectory, kField, m_szUserDirectory, szLogName);
  Join(m_szTmpDirectory, kField, m_szLogDirectory, "tmp");
  Join(m_szFwDirectory, kField, m_szLogDirectory, "firmware");
  Join(m_szNexilDirectory, kField, m_szLogDirectory, "nexil");
  Join(m_szUiDirectory, kField, m_szLogDirectory, "ui");
  char szMultimedia[kField];
  Join(szMultimedia, sizeof szMultimedia, m_szSystemDirectory, szName);
  Join(m_szMultimediaDirectory, kField, szMultimedia, "sounds");

  const char* szHome = std::getenv("HOME");
  if (szHome && *szHome) {
    Join(m_szDesktopDirectory, kField, szHome, "Desktop");
  } else {
    Join(m_szDesktopDirectory, kField, m_szUserRootDirectory, "userfiles");
  }
  COsString::SStrCpy(m_szSharedDesktopDirectory, kField, m_szDesktopDirectory);

  // Configuration files: const.ini beside the user's (or, for utilities, the
  // common) files; the shared const.ini, or const.ini.txt, wins over the
  // unique name's own file.
  const char* szConfigDirectory = blPerCaller ? m_szCommonDirectory : m_szUserDirectory;
  const char* szSharedConfigDirectory = blPerCaller ? m_szSharedCommonDirectory : m_szSharedUserDirectory;
  char szOwnIni[kField];
  COsString::SStrPrintf(szOwnIni, sizeof szOwnIni, "%s.ini", m_szUniqueName);
  bool blPmx = !blPerCaller && std::strcmp(m_szUniqueName, "pmx") == 0;
  Join(m_szConfigFilenameConstIni, kField, szConfigDirectory, "const.ini");
  Join(m_szSharedConfigFilenameConstIni, kField, szSharedConfigDirectory, "const.ini");
  Join(m_szConfigFilename, kField, szConfigDirectory, blPmx ? "const.ini" : szOwnIni);
  Join(m_szSharedConfigFilename, kField, szSharedConfigDirectory, blPmx ? "const.ini" : szOwnIni);
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

  char szLogFile[kField];
  COsString::SStrPrintf(szLogFile, sizeof szLogFile, "%s.log", m_szUniqueName);
  Join(m_szLogFilename, kField, m_szLogDirectory, szLogFile);
  Join(m_szGuiFilename, kField, m_szUserDirectory, "setup001.ini");
  Join(m_szSimulatorFilename, kField, m_szCommonDirectory, "ramscan.txt");

  COsFile::Create(m_szRootWriteableDirectory);
  COsFile::Create(m_szRootCommonDirectory);
  COsFile::Create(m_szCommonDirectory);
  COsFile::Create(m_szUserDirectory);
  if (!m_blLogDirectoryTried) {
    m_blLogDirectoryTried = true;
    m_eosstsLogDirectory = COsFile::Create(m_szLogDirectory);
  }
  return OS_STS_SUCCESS;
}

// Pruning of old log directories comes with the service start-up.
void COsCfgImpl::ManageLogDirectories() {}
