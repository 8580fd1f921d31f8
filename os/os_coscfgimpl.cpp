// The store proper: values by section and tag id, the caller's range, the
// built-in defaults, the configuration ini file and the load sequence.
#include "os_coscfgimpl.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>

#include "os_coscfgprofile.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_costhread.h"

bool COsCfgImpl::s_blTopMostInvocation = false;

namespace {

// The SANE-TWAIN version taken from the environment; lives for the process.
char s_szSaneTwainVersion[32];

// Directory-layout fields stored as tags 1 to 23 (6 and 7 are the two
// desktop fields, 20 the file name of the library).
struct OsCfgDirectoryTag {
  unsigned uTag;
  char (COsCfgImpl::*pszField)[COsCfgImpl::kField];
};

bool IsAsciiAlnum(char a_c) {
  return (a_c >= '0' && a_c <= '9') || (a_c >= 'a' && a_c <= 'z') || (a_c >= 'A' && a_c <= 'Z');
}

bool IsLineEnd(char a_c) { return a_c == '\r' || a_c == '\n'; }

long ReadLong(const char* a_szText) {
  // No shared end pointer: the ini engine reads the file mode on any thread.
  return a_szText ? std::strtol(a_szText, nullptr, 0) : 0;
}

const char* FileNamePart(const char* a_szPath) {
  const char* szSlash = std::strrchr(a_szPath, '/');
  return szSlash ? szSlash + 1 : a_szPath;
}

}  // namespace

COsCfgImpl::COsCfgImpl(const char* a_szUniqueName, EOSCFGENTITY a_eoscfgentity,
                       const OsCfgVersion* a_poscfgversion, bool a_blForceSetAccess, const char* a_szApplication)
    : m_eoscfgentity(a_eoscfgentity), m_blForceSetAccess(a_blForceSetAccess) {
  if (a_szUniqueName) COsString::SStrCpy(m_szUniqueName, sizeof m_szUniqueName, a_szUniqueName);
  if (a_szApplication) COsString::SStrCpy(m_szApplication, sizeof m_szApplication, a_szApplication);
  if (a_poscfgversion) {
    m_oscfgversion = *a_poscfgversion;
  } else {
    for (char* sz : {m_oscfgversion.szMajorNum, m_oscfgversion.szMinorNum, m_oscfgversion.szPatchNum,
                     m_oscfgversion.szBuildNum, m_oscfgversion.szDay, m_oscfgversion.szMonth}) {
      COsString::SStrCpy(sz, sizeof m_oscfgversion.szMajorNum, "00");
    }
    COsString::SStrCpy(m_oscfgversion.szYear, sizeof m_oscfgversion.szYear, "0000");
  }
  // The caller's record may come unterminated: the fields are ours now.
  for (char* sz : {m_oscfgversion.szMajorNum, m_oscfgversion.szMinorNum, m_oscfgversion.szPatchNum,
                   m_oscfgversion.szBuildNum, m_oscfgversion.szDay, m_oscfgversion.szMonth, m_oscfgversion.szYear}) {
    sz[sizeof m_oscfgversion.szMajorNum - 1] = '\0';
  }
  COsString::SStrCpy(m_szLogDebug, sizeof m_szLogDebug, "0");
  COsString::SStrCpy(m_szDebugDisplayLength, sizeof m_szDebugDisplayLength, "512");
  COsString::SStrCpy(m_szForceSocketMonitorTimeout, sizeof m_szForceSocketMonitorTimeout, "10");
  COsString::SStrCpy(m_szForceUsbMonitorTimeout, sizeof m_szForceUsbMonitorTimeout, "10");
  COsString::SStrCpy(m_szUiTimeout, sizeof m_szUiTimeout, "0");
}

// Cached ini images are written before they go: a value that was set is
// never dropped silently. The sibling library is told before it is unloaded.
COsCfgImpl::~COsCfgImpl() {
  PelumShutdown();
  COsCfgProfile::Shutdown(FileMode());
  FreeEnvList();
  delete m_posfileLogLock;  // closes "log.lock"
  m_posfileLogLock = nullptr;
}

// ---- values by id and by name ----------------------------------------------

const char** COsCfgImpl::Slot(unsigned a_uSection, unsigned a_uTag) {
  if (a_uSection >= OS_CFG_CALLER_FIRST && a_uTag >= OS_CFG_CALLER_FIRST) {
    if (!m_pszCallerData) return nullptr;
    unsigned uSection = a_uSection - OS_CFG_CALLER_FIRST;
    unsigned uTag = a_uTag - OS_CFG_CALLER_FIRST;
    if (uSection >= m_uCallerSections || uTag >= m_uCallerTags) return nullptr;
    return &m_pszCallerData[uTag + static_cast<size_t>(uSection) * m_uCallerTags];
  }
  if (a_uSection < OS_CFGSECTION_MAIN || a_uSection >= OS_CFGSECTION_LAST || a_uTag < 1 || a_uTag >= OS_CFGTAG_LAST) {
    return nullptr;
  }
  return &m_apszStore[a_uSection][a_uTag];
}

const char* COsCfgImpl::Get(unsigned a_uSection, unsigned a_uTag) {
  const char** pszSlot = Slot(a_uSection, a_uTag);
  return pszSlot && *pszSlot ? *pszSlot : "";
}

EOSSTS COsCfgImpl::Set(unsigned a_uSection, unsigned a_uTag, const char* a_szValue) {
  const char** pszSlot = Slot(a_uSection, a_uTag);
  if (!pszSlot) return OS_STS_BAD_ARGUMENT;
  *pszSlot = a_szValue;
  return OS_STS_SUCCESS;
}

// The caller's tables first: a name known to both reaches the built-in store
// only together with a built-in tag.
const char* COsCfgImpl::Get(const char* a_szSection, const char* a_szTag) {
  if (!a_szSection || !a_szTag) return "";
  if (m_pszCallerData) {
    unsigned uSection = OsCfgNameFind(m_poscfgnameCallerSections, a_szSection, true);
    unsigned uTag = OsCfgNameFind(m_poscfgnameCallerTags, a_szTag, true);
    if (uSection && uTag) return Get(uSection, uTag);
  }
  unsigned uSection = OsCfgNameFind(s_aoscfgnamesection, a_szSection, false);
  unsigned uTag = OsCfgNameFind(s_aoscfgnametag, a_szTag, false);
  if (!uSection || !uTag) return "";
  return Get(uSection, uTag);
}

EOSSTS COsCfgImpl::RegisterCaller(const OsCfgName* a_poscfgnameSections, const OsCfgName* a_poscfgnameTags,
                                  const char** a_pszData) {
  if (!a_poscfgnameSections || !a_poscfgnameTags || !a_pszData) return OS_STS_BAD_ARGUMENT;
  unsigned uSections = 0;
  unsigned uTags = 0;
  while (a_poscfgnameSections[uSections].szName) ++uSections;
  while (a_poscfgnameTags[uTags].szName) ++uTags;
  if (!uSections || !uTags) return OS_STS_BAD_ARGUMENT;
  m_poscfgnameCallerSections = a_poscfgnameSections;
  m_poscfgnameCallerTags = a_poscfgnameTags;
  m_pszCallerData = a_pszData;
  m_uCallerSections = uSections + 1;
  m_uCallerTags = uTags + 1;
  return OS_STS_SUCCESS;
}

// ---- defaults ----------------------------------------------------------------

char* COsCfgImpl::Field(EOSCFGFIELD a_eoscfgfield) {
  switch (a_eoscfgfield) {
    case OS_CFGFIELD_LOGDEBUG: return m_szLogDebug;
    case OS_CFGFIELD_LOGFILTER: return m_szLogFilter;
    case OS_CFGFIELD_DEBUGDISPLAYLENGTH: return m_szDebugDisplayLength;
    case OS_CFGFIELD_UITIMEOUT: return m_szUiTimeout;
    case OS_CFGFIELD_FORCESOCKETMONITORTIMEOUT: return m_szForceSocketMonitorTimeout;
    case OS_CFGFIELD_FORCEUSBMONITORTIMEOUT: return m_szForceUsbMonitorTimeout;
    case OS_CFGFIELD_VERSION_MAJORNUM: return m_oscfgversion.szMajorNum;
    case OS_CFGFIELD_VERSION_MINORNUM: return m_oscfgversion.szMinorNum;
    case OS_CFGFIELD_VERSION_PATCHNUM: return m_oscfgversion.szPatchNum;
    case OS_CFGFIELD_VERSION_BUILDNUM: return m_oscfgversion.szBuildNum;
    case OS_CFGFIELD_VERSION_DAY: return m_oscfgversion.szDay;
    case OS_CFGFIELD_VERSION_MONTH: return m_oscfgversion.szMonth;
    case OS_CFGFIELD_VERSION_YEAR: return m_oscfgversion.szYear;
    case OS_CFGFIELD_NONE: break;
  }
  return nullptr;
}

void COsCfgImpl::SetDefaults() {
  for (size_t i = 0; i < s_sizetoscfgdefault; ++i) {
    const OsCfgDefault& oscfgdefault = s_aoscfgdefault[i];
    const char* szValue = oscfgdefault.eoscfgfield ? Field(oscfgdefault.eoscfgfield) : oscfgdefault.szValue;
    Set(oscfgdefault.uSection, oscfgdefault.uTag, szValue);
  }
}

// ---- the configuration ini file ------------------------------------------------

EOSSTS COsCfgImpl::LoadFile() {
  const char* szFile = m_szSharedConfigFilename;
  int iFd = open(szFile, O_RDONLY | O_CLOEXEC);
  if (iFd < 0) {
    if (errno == ENOENT || errno == ENOTDIR || !*szFile) return OS_STS_FILE_NOT_FOUND;
    OsLog(OS_LOG_ERROR, "fopen failed...<%s>", szFile);
    return errno == EACCES ? OS_STS_ACCESS_DENIED : OS_STS_FAIL;
  }
  size_t sizetRead = 0;
  for (;;) {
    ssize_t n = read(iFd, m_szFileData + sizetRead, kFileData - sizetRead);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    sizetRead += static_cast<size_t>(n);
    if (sizetRead == kFileData) break;
  }
  char cMore;
  bool blTruncated = sizetRead == kFileData && read(iFd, &cMore, 1) == 1;
  close(iFd);
  if (blTruncated) {
    // A half line at the cut would pass for a whole value: drop it.
    OsLog(OS_LOG_ERROR, "file larger than %u bytes, the rest is ignored...<%s>", static_cast<unsigned>(kFileData),
          szFile);
    while (sizetRead > 0 && !IsLineEnd(m_szFileData[sizetRead - 1])) --sizetRead;
  }
  m_szFileData[sizetRead] = '\0';
  if (sizetRead == 0) {
    OsLog(OS_LOG_ERROR, "fread failed...<%s>", szFile);
    return OS_STS_FAIL;
  }
  ParseFileData(sizetRead);
  return OS_STS_SUCCESS;
}

// Lines end at CR or LF; values stay in m_szFileData.
void COsCfgImpl::ParseFileData(size_t a_sizetData) {
  for (size_t i = 0; i < a_sizetData; ++i) {
    if (IsLineEnd(m_szFileData[i])) m_szFileData[i] = '\0';
  }
  unsigned uSection = 0;
  unsigned uCallerSection = 0;
  for (size_t pos = 0; pos < a_sizetData;) {
    char* szLine = m_szFileData + pos;
    size_t sizetLine = std::strlen(szLine);
    if (sizetLine) ParseLine(szLine, &uSection, &uCallerSection);
    pos += sizetLine + 1;
  }
}

// A caller's value that the last load took from the file points into the
// file buffer, which the next load fills anew: it would read as some other
// line's text. Values the caller stored itself are kept.
void COsCfgImpl::ForgetCallerFileValues() {
  if (!m_pszCallerData) return;
  const char* szBegin = m_szFileData;
  const char* szEnd = m_szFileData + sizeof m_szFileData;
  size_t sizetSlots = static_cast<size_t>(m_uCallerSections) * m_uCallerTags;
  for (size_t i = 0; i < sizetSlots; ++i) {
    const char* szValue = m_pszCallerData[i];
    if (szValue && std::less_equal<const char*>()(szBegin, szValue) && std::less<const char*>()(szValue, szEnd)) {
      m_pszCallerData[i] = nullptr;
    }
  }
}

// A section header makes its section current in each table that knows it
// and ends the previous one in every table, so that keys under a section
// one table does not know never land in that table's previous section.
void COsCfgImpl::ParseLine(char* a_szLine, unsigned* a_puSection, unsigned* a_puCallerSection) {
  if (a_szLine[0] == ';') return;
  if (a_szLine[0] == '[') {
    char* szName = a_szLine + 1;
    if (char* szClose = std::strchr(szName, ']')) *szClose = '\0';
    *a_puSection = OsCfgNameFind(s_aoscfgnamesection, szName, false);
    *a_puCallerSection = m_pszCallerData ? OsCfgNameFind(m_poscfgnameCallerSections, szName, true) : 0;
    return;
  }
  char* szEqual = std::strchr(a_szLine, '=');
  if (!szEqual) return;
  *szEqual = '\0';
  const char* szValue = szEqual + 1;
  while (*szValue == ' ' || *szValue == '\t') ++szValue;
  if (*a_puSection) {
    unsigned uTag = OsCfgNameFind(s_aoscfgnametag, a_szLine, false);
    if (uTag) Set(*a_puSection, uTag, szValue);
  }
  if (*a_puCallerSection) {
    unsigned uTag = OsCfgNameFind(m_poscfgnameCallerTags, a_szLine, true);
    if (uTag) Set(*a_puCallerSection, uTag, szValue);
  }
}

// ---- the load sequence ---------------------------------------------------------

EOSSTS COsCfgImpl::Load() {
  OsLogDebug(OS_LOG_INFO, "Setting configuration defaults...");
  GatherSystemInformation();
  GatherBrand();
  if (SetDirectories(nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "SetDirectories failed...");
    return OS_STS_FAIL;
  }
  std::memset(m_apszStore, 0, sizeof m_apszStore);
  ForgetCallerFileValues();
  std::memset(m_szFileData, 0, sizeof m_szFileData);
  SetDefaults();

  long lMajor = ReadLong(Get(OS_CFGSECTION_MAIN, OS_CFGTAG_VERSION_MAJORNUM));
  long lMinor = ReadLong(Get(OS_CFGSECTION_MAIN, OS_CFGTAG_VERSION_MINORNUM));
  EOSSTS eossts = LoadFile();
  if (eossts != OS_STS_SUCCESS && eossts != OS_STS_FILE_NOT_FOUND) OsLog(OS_LOG_ASSERT, "LoadFile failed...");
  if (lMajor != ReadLong(Get(OS_CFGSECTION_MAIN, OS_CFGTAG_VERSION_MAJORNUM)) ||
      lMinor != ReadLong(Get(OS_CFGSECTION_MAIN, OS_CFGTAG_VERSION_MINORNUM))) {
    m_blVersionChangedByFile = true;
  }

  StoreDerivedValues();
  if (g_poslog) {
    long lLevel = ReadLong(Get(OS_CFGSECTION_MAIN, OS_CFGTAG_DEBUG)) | g_poslog->GetDebugLevel();
    g_poslog->Setup(m_szLogFilename, lLevel, Get(OS_CFGSECTION_MAIN, OS_CFGTAG_DEBUGFILTER), nullptr);
  }
  StoreBrand();
  StoreFileNames();
  StoreProgram();
  if (s_blTopMostInvocation) ManageLogDirectories();
  m_blLoaded = true;
  OsLogDebug(OS_LOG_INFO, "Done setting configuration defaults...");
  return OS_STS_SUCCESS;
}

// The layout replaces whatever the file gave for tags 1 to 23; a desktop
// directory from the file becomes both desktop directories first.
void COsCfgImpl::StoreDerivedValues() {
  static constexpr OsCfgDirectoryTag s_aoscfgdirectorytag[] = {
      {OS_CFGTAG_HOMEDIRECTORY, &COsCfgImpl::m_szHomeDirectory},
      {OS_CFGTAG_HOMENAME, &COsCfgImpl::m_szProgramFileName},
      {OS_CFGTAG_ROOTCOMMONDIRECTORY, &COsCfgImpl::m_szRootCommonDirectory},
      {OS_CFGTAG_ROOTCOMMONDIRECTORYSHARED, &COsCfgImpl::m_szSharedRootCommonDirectory},
      {OS_CFGTAG_COMMONDIRECTORY, &COsCfgImpl::m_szCommonDirectory},
      {OS_CFGTAG_DESKTOPDIRECTORY, &COsCfgImpl::m_szDesktopDirectory},
      {OS_CFGTAG_DESKTOPDIRECTORYSHARED, &COsCfgImpl::m_szSharedDesktopDirectory},
      {OS_CFGTAG_USERDIRECTORY, &COsCfgImpl::m_szUserDirectory},
      {OS_CFGTAG_DRIVERDIRECTORY, &COsCfgImpl::m_szDriverDirectory},
      {OS_CFGTAG_ROOTPATH, &COsCfgImpl::m_szRootWriteableDirectory},
      {OS_CFGTAG_ROOTPATHSHARED, &COsCfgImpl::m_szSharedRootWriteableDirectory},
      {OS_CFGTAG_LOGDIRECTORY, &COsCfgImpl::m_szLogDirectory},
      {OS_CFGTAG_USERROOTDIRECTORY, &COsCfgImpl::m_szUserRootDirectory},
      {OS_CFGTAG_USERROOTDIRECTORYSHARED, &COsCfgImpl::m_szSharedUserRootDirectory},
      {OS_CFGTAG_DEVICEDIRECTORYSHARED, &COsCfgImpl::m_szSharedDeviceDirectory},
      {OS_CFGTAG_MODELDIRECTORY, &COsCfgImpl::m_szModelDirectory},
      {OS_CFGTAG_MODELDIRECTORYREAL, &COsCfgImpl::m_szModelDirectoryReal},
      {OS_CFGTAG_MULTIMEDIADIRECTORY, &COsCfgImpl::m_szMultimediaDirectory},
      {OS_CFGTAG_LOCALLOWDIRECTORY, &COsCfgImpl::m_szLocalLowDirectory},
      {OS_CFGTAG_DRIVERNAME, &COsCfgImpl::m_szLibraryName},
      {OS_CFGTAG_DRIVERPATH, &COsCfgImpl::m_szLibraryPath},
      {OS_CFGTAG_SYSTEMDIRECTORY, &COsCfgImpl::m_szSystemDirectory},
      {OS_CFGTAG_TMPDIRECTORY, &COsCfgImpl::m_szTmpDirectory},
  };
  const char* szDesktop = Get(OS_CFGSECTION_MAIN, OS_CFGTAG_DESKTOPDIRECTORY);
  if (*szDesktop) {
    COsString::SStrCpy(m_szDesktopDirectory, sizeof m_szDesktopDirectory, szDesktop);
    COsString::SStrCpy(m_szSharedDesktopDirectory, sizeof m_szSharedDesktopDirectory, szDesktop);
  }
  for (const OsCfgDirectoryTag& oscfgdirectorytag : s_aoscfgdirectorytag) {
    Set(OS_CFGSECTION_MAIN, oscfgdirectorytag.uTag, this->*oscfgdirectorytag.pszField);
  }
}

// A brand text that was found replaces the built-in one.
void COsCfgImpl::StoreBrand() {
  const struct {
    unsigned uTag;
    const char* szValue;
  } aBrand[] = {
      {OS_CFGTAG_COMPANYNAME, m_szCompanyName},     {OS_CFGTAG_COMPANYNAMESHORT, m_szCompanyNameShort},
      {OS_CFGTAG_COPYRIGHT, m_szCopyright},         {OS_CFGTAG_PRODUCTFAMILY, m_szProductFamily},
      {OS_CFGTAG_PRODUCTNAME, m_szProductName},     {OS_CFGTAG_URLCOMPANY, m_szUrlCompany},
      {OS_CFGTAG_URLSUPPORT, m_szUrlSupport},       {OS_CFGTAG_URLSUPPORTMODEL, m_szUrlSupportModel},
      {OS_CFGTAG_MACMFGIDENTITY, m_szMacMfgIdentity},
  };
  for (const auto& brand : aBrand) {
    if (*brand.szValue) Set(OS_CFGSECTION_BRAND, brand.uTag, brand.szValue);
  }
  if (*m_szCompanyName) Set(OS_CFGSECTION_MAIN, OS_CFGTAG_MANUFACTURER, m_szCompanyName);
  Set(OS_CFGSECTION_MAIN, OS_CFGTAG_PMX_LOG, m_szLogFilename);
}

void COsCfgImpl::StoreFileNames() {
  if (m_eoscfgentity == OS_CFGENTITY_DRIVER && !*Get(OS_CFGSECTION_MAIN, OS_CFGTAG_NEXIL_LOGPATH)) {
    Set(OS_CFGSECTION_MAIN, OS_CFGTAG_NEXIL_LOGPATH, m_szNexilDirectory);
  }
  const char* szDirectory = m_szUserDirectory;
  switch (m_eoscfgentity) {
    case OS_CFGENTITY_APPLICATION:
    case OS_CFGENTITY_DRIVER:
    case OS_CFGENTITY_APPUTILITY:
    case OS_CFGENTITY_DLL: break;
    case OS_CFGENTITY_UTILITY: szDirectory = m_szCommonDirectory; break;
    default: OsLog(OS_LOG_ASSERT, "Unrecognized entity...%d", static_cast<int>(m_eoscfgentity)); break;
  }
  if (!*Get(OS_CFGSECTION_MAIN, OS_CFGTAG_SETUP001_INI)) {
    COsString::SStrPrintf(m_szGuiFilename, sizeof m_szGuiFilename, "%s/setup001.ini", szDirectory);
    Set(OS_CFGSECTION_MAIN, OS_CFGTAG_SETUP001_INI, m_szGuiFilename);
  }
  if (!*Get(OS_CFGSECTION_MAIN, OS_CFGTAG_RAMSCAN_TXT)) {
    COsString::SStrPrintf(m_szSimulatorFilename, sizeof m_szSimulatorFilename, "%s/ramscan.txt", szDirectory);
    if (!COsFile::Exists(m_szSimulatorFilename)) {
      COsString::SStrPrintf(m_szSimulatorFilename, sizeof m_szSimulatorFilename, "%s/ramscan.txt",
                            m_szHomeDirectory);
    }
    Set(OS_CFGSECTION_MAIN, OS_CFGTAG_RAMSCAN_TXT, m_szSimulatorFilename);
  }
  Set(OS_CFGSECTION_MAIN, OS_CFGTAG_OSNAME, OsName());
  Set(OS_CFGSECTION_MAIN, OS_CFGTAG_CONST_INI, m_szConfigFilenameConstIni);
  Set(OS_CFGSECTION_MAIN, OS_CFGTAG_CONST_INI_SHARED, m_szSharedConfigFilenameConstIni);
  if (ReadLong(Get(OS_CFGSECTION_MAIN, OS_CFGTAG_SANETWAINVERSION)) == 0) {
    const char* szEnv = std::getenv("SANETWAIN_VERSION");
    if (!szEnv || !*szEnv || std::strlen(szEnv) >= sizeof s_szSaneTwainVersion) szEnv = "00000000";
    COsString::SStrCpy(s_szSaneTwainVersion, sizeof s_szSaneTwainVersion, szEnv);
    Set(OS_CFGSECTION_MAIN, OS_CFGTAG_SANETWAINVERSION, s_szSaneTwainVersion);
  }
}

// The running program, and the flags that its name sets.
void COsCfgImpl::StoreProgram() {
  char szLink[64];
  char szExe[kField] = {};
  COsString::SStrPrintf(szLink, sizeof szLink, "/proc/%llu/exe",
                        static_cast<unsigned long long>(COsThread::GetProcessId()));
  ssize_t n = readlink(szLink, szExe, sizeof szExe - 1);
  if (n > 0) szExe[n] = '\0';
  if (!*m_szApplication) COsFile::PathSet(m_szApplication, sizeof m_szApplication, szExe);

  char szExeName[kField] = {};
  COsString::SStrCpy(szExeName, sizeof szExeName, FileNamePart(szExe));
  for (char* p = szExeName; *p; ++p) *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
  if (std::strstr(szExeName, "driverdravix")) {
    Set(OS_CFGSECTION_MAIN, OS_CFGTAG_APPLICATIONDRIVERDRAVIX, "1");
  } else if (std::strstr(szExeName, "dravix")) {
    Set(OS_CFGSECTION_MAIN, OS_CFGTAG_APPLICATIONDRAVIX, "1");
  }

  const char* szForced = Get(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEPROGRAMNAME);
  if (*szForced) {
    OsLog(OS_LOG_INFO, "Real program is...<%s>", m_szApplication);
    COsString::SStrCpy(m_szApplication, sizeof m_szApplication, szForced);
    OsLog(OS_LOG_INFO, "Program is...<%s>", m_szApplication);
  }
  Set(OS_CFGSECTION_MAIN, OS_CFGTAG_APPLICATION, m_szApplication);

  const char* szName = FileNamePart(m_szApplication);
  if (std::strcmp(szName, "dbc") == 0) Set(OS_CFGSECTION_MAIN, OS_CFGTAG_APPLICATIONDBC, "1");
  if (std::strcmp(szName, "xsane") == 0) Set(OS_CFGSECTION_MAIN, OS_CFGTAG_APPLICATIONXSANE, "1");
  if (strcasestr(szName, "scantwain")) Set(OS_CFGSECTION_MAIN, OS_CFGTAG_APPLICATIONSCANTWAIN, "1");
  if (std::strstr(m_szApplication, "TWAINBridge.app")) Set(OS_CFGSECTION_MAIN, OS_CFGTAG_APPLICATIONTWAINBRIDGE, "1");
}

// ---- the ini engine on this store's files -------------------------------------

unsigned COsCfgImpl::FileMode() {
  const char* szMask = Get(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEFILECREATIONMASK);
  return *szMask ? static_cast<unsigned>(ReadLong(szMask)) & 07777u : 0666u;
}

EOSSTS COsCfgImpl::ConstIniGet(const char* a_szSection, const char* a_szKey, char* a_szValue, size_t a_sizetValue) {
  const char* szConst = Get(OS_CFGSECTION_MAIN, OS_CFGTAG_CONST_INI);
  const char* szFile = COsFile::Exists(szConst) ? szConst : Get(OS_CFGSECTION_MAIN, OS_CFGTAG_CONST_INI_SHARED);
  return COsCfgProfile::Get(szFile, a_szSection, a_szKey, a_szValue, a_sizetValue, FileMode());
}

// The own constant file starts as a copy of the shared one.
EOSSTS COsCfgImpl::ConstIniSet(const char* a_szSection, const char* a_szKey, const char* a_szValue) {
  const char* szConst = Get(OS_CFGSECTION_MAIN, OS_CFGTAG_CONST_INI);
  const char* szShared = Get(OS_CFGSECTION_MAIN, OS_CFGTAG_CONST_INI_SHARED);
  if (std::strcmp(szConst, szShared) != 0 && !COsFile::Exists(szConst) && COsFile::Exists(szShared) &&
      COsCfgProfile::Copy(szShared, szConst, FileMode()) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "copy of the shared constant file failed...<%s> <%s>", szShared, szConst);
    return OS_STS_FAIL;
  }
  return COsCfgProfile::Set(szConst, a_szSection, a_szKey, a_szValue, FileMode());
}

EOSSTS COsCfgImpl::ConstIniFlush() {
  const char* szConst = Get(OS_CFGSECTION_MAIN, OS_CFGTAG_CONST_INI);
  const char* szShared = Get(OS_CFGSECTION_MAIN, OS_CFGTAG_CONST_INI_SHARED);
  if (std::strcmp(szConst, szShared) != 0 && !COsFile::Exists(szConst)) return OS_STS_SUCCESS;
  return COsCfgProfile::Flush(szConst, FileMode());
}

// The key is the value name with every character other than a letter or a
// digit made "_".
EOSSTS COsCfgImpl::GetRegistry(EOSCFGREGISTRY a_eoscfgregistry, const char* a_szName, char* a_szValue,
                               size_t a_sizetValue) {
  if (!a_szName || !a_szValue || a_sizetValue == 0) {
    OsLog(OS_LOG_ERROR, "bad argument...%p %p %u", static_cast<const void*>(a_szName),
          static_cast<void*>(a_szValue), static_cast<unsigned>(a_sizetValue));
    return OS_STS_BAD_ARGUMENT;
  }
  a_szValue[0] = '\0';
  char szFile[kField];
  COsFile::PathSet(szFile, sizeof szFile, m_szSystemDirectory);
  if (COsFile::PathAppend(szFile, sizeof szFile, m_szModelDirectory) != OS_STS_SUCCESS ||
      COsFile::PathAppend(szFile, sizeof szFile, "registry.ini") != OS_STS_SUCCESS || !COsFile::Exists(szFile)) {
    return OS_STS_FAIL;
  }
  const char* szSection = nullptr;
  switch (a_eoscfgregistry) {
    case OS_CFGREGISTRY_MACHINE: szSection = "machine"; break;
    case OS_CFGREGISTRY_USER: szSection = "user"; break;
    default:
      OsLog(OS_LOG_ERROR, "bad a_eoscfgregistry...%d", static_cast<int>(a_eoscfgregistry));
      return OS_STS_BAD_ARGUMENT;
  }
  char szKey[kField];
  if (std::strlen(a_szName) >= sizeof szKey) {
    OsLog(OS_LOG_ERROR, "value name too long...<%s>", a_szName);
    return OS_STS_BAD_ARGUMENT;
  }
  size_t i = 0;
  for (; a_szName[i]; ++i) szKey[i] = IsAsciiAlnum(a_szName[i]) ? a_szName[i] : '_';
  szKey[i] = '\0';
  return COsCfgProfile::Get(szFile, szSection, szKey, a_szValue, a_sizetValue, FileMode());
}
