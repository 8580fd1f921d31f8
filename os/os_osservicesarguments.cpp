// The arguments XML a service layer hands to its children, and the two
// entries that make it: OsServicesSetArguments (from the log settings, or a
// text the caller brings) and OsServicesProcessInterfaceOpen (for a caller
// that drives the library through an interfaceopen task).
#include <strings.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

#include "os_coscfg.h"
#include "os_coscfgimpl.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_costime.h"
#include "os_osservices.h"

namespace {

constexpr size_t kPath = COsCfgImpl::kField;
// Milliseconds after the start tried for a free log directory name.
constexpr int64_t kLogDirectoryTries = 100000;

constexpr const char kFormatWithModel[] =
    "<arguments>\n\t<rootpath>%s</rootpath>\n\t<logpath>%s</logpath>\n\t<logmodel>%s</logmodel>\n"
    "\t<loglevel>%d</loglevel>\n\t<callersuniquename>%s</callersuniquename>\n"
    "\t<frominterfaceopen>%s</frominterfaceopen>\n\t<forcesetaccess>%s</forcesetaccess>\n"
    "\t<app><![CDATA[%s]]></app>\n</arguments>";
constexpr const char kFormat[] =
    "<arguments>\n\t<rootpath>%s</rootpath>\n\t<logpath>%s</logpath>\n"
    "\t<loglevel>%d</loglevel>\n\t<callersuniquename>%s</callersuniquename>\n"
    "\t<frominterfaceopen>%s</frominterfaceopen>\n\t<forcesetaccess>%s</forcesetaccess>\n"
    "\t<app><![CDATA[%s]]></app>\n</arguments>";

// Values the arguments set in the store; they live until the next start.
char s_szLogDirectory[kPath];
char s_szModelDirectory[kPath];

// The reader decodes no entities: "<" would end an element early and "]]>"
// the CDATA section of the program path, so such a field cannot be handed on.
bool IsMarkupFree(const char* a_szText) { return !std::strchr(a_szText, '<') && !std::strstr(a_szText, "]]>"); }

void StoreValue(unsigned a_uTag, char* a_szStorage, const char* a_szValue) {
  if (a_szValue != a_szStorage) COsString::SStrCpy(a_szStorage, kPath, a_szValue);
  if (g_poscfg) g_poscfg->Set(OS_CFGSECTION_MAIN, a_uTag, a_szStorage);
}

void SetLogLevel(const char* a_szLevel) {
  if (g_poslog) g_poslog->SetDebugLevel(std::strtol(a_szLevel, nullptr, 0));
}

// Takes the caller's arguments text; its log settings go to the store and
// the log.
int TakeArguments(const char* a_szLogPath, const char* a_szLogModel, const char* a_szLogLevel,
                  const char* a_szArguments) {
  if (std::strlen(a_szArguments) >= sizeof COsCfgImpl::s_szOsServicesArguments) {
    OsLog(OS_LOG_ERROR, "arguments too long...%d", static_cast<int>(std::strlen(a_szArguments)));
    return OS_STS_NOROOM_BUFFER;
  }
  COsString::SStrCpy(COsCfgImpl::s_szOsServicesArguments, sizeof COsCfgImpl::s_szOsServicesArguments, a_szArguments);
  if (!*a_szArguments) return OS_STS_SUCCESS;
  char szValue[kPath];
  if (a_szLogPath) {
    // The path of the log directory is <logpath>; <logfile> serves texts without it.
    OsServicesGetSetting(a_szArguments, "logpath", szValue, sizeof szValue);
    if (!*szValue) OsServicesGetSetting(a_szArguments, "logfile", szValue, sizeof szValue);
    StoreValue(OS_CFGTAG_LOGDIRECTORY, s_szLogDirectory, szValue);
  }
  if (a_szLogModel) {
    OsServicesGetSetting(a_szArguments, "logmodel", szValue, sizeof szValue);
    StoreValue(OS_CFGTAG_MODELDIRECTORY, s_szModelDirectory, szValue);
  }
  if (a_szLogLevel) {
    OsServicesGetSetting(a_szArguments, "loglevel", szValue, sizeof szValue);
    SetLogLevel(szValue);
  }
  return OS_STS_SUCCESS;
}

// A caller's name becomes a directory name: no separators, no "." or "..".
bool IsPlainName(const char* a_szName) {
  return *a_szName && !std::strpbrk(a_szName, "/\\") && std::strcmp(a_szName, ".") != 0 &&
         std::strcmp(a_szName, "..") != 0;
}

// A non-zero number after "debug=" in the first 127 bytes of the file.
long ConstIniLevel(const char* a_szFile) {
  COsFile osfile;
  if (osfile.Open(a_szFile, OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READWRITE) != OS_STS_SUCCESS) {
    return 0;
  }
  char szText[128] = "";
  size_t sizetRead = 0;
  osfile.Read(szText, sizeof szText - 1, &sizetRead);
  osfile.Close();
  szText[sizetRead] = '\0';
  for (char* p = szText; *p; ++p) *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
  const char* szDebug = std::strstr(szText, "debug=");
  return szDebug ? std::strtol(szDebug + 6, nullptr, 0) : 0;
}

// The session's log directory "log.<time>" below the caller's directory,
// made by this call: the caller's directory is open to every user, so a
// name that exists (made in advance, a link, or another session's of the
// same millisecond) is never used; the next free millisecond is taken.
EOSSTS MakeLogDirectory(const char* a_szCallerDirectory, char* a_szLogPath, size_t a_sizetLogPath) {
  struct timespec timespecNow;
  clock_gettime(CLOCK_REALTIME, &timespecNow);
  const int64_t i64Start = static_cast<int64_t>(timespecNow.tv_sec) * 1000 + timespecNow.tv_nsec / 1000000;
  EOSSTS eossts = OS_STS_ALREADY_EXISTS;
  for (int64_t i64Try = 0; i64Try < kLogDirectoryTries && eossts == OS_STS_ALREADY_EXISTS; ++i64Try) {
    const int64_t i64Ms = i64Start + i64Try;
    OsTimeRecord ostimerecord;
    COsTime::GetLocalTime(&ostimerecord, static_cast<time_t>(i64Ms / 1000));
    ostimerecord.u16Milliseconds = static_cast<uint16_t>(i64Ms % 1000);
    char szTime[32];
    char szLogName[48];
    COsTime::GetStringTime(&ostimerecord, szTime, sizeof szTime);
    COsString::SStrPrintf(szLogName, sizeof szLogName, "log.%s", szTime);
    if (!COsFile::PathJoin(a_szLogPath, a_sizetLogPath, a_szCallerDirectory, szLogName)) {
      OsLog(OS_LOG_ERROR, "log path too long...<%s>", a_szCallerDirectory);
      return OS_STS_FAIL;
    }
    eossts = COsFile::CreateFresh(a_szLogPath);
  }
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "no log directory of our own...%d <%s>", static_cast<int>(eossts), a_szLogPath);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

// The three argument variables and the inherited text are dropped.
void ForgetInherited() {
  bool blTopMost = COsCfgImpl::s_blTopMostInvocation;
  COsCfgImpl::s_blTopMostInvocation = true;
  COsCfg::OsCfgServicesArgumentsClear();
  COsCfgImpl::s_blTopMostInvocation = blTopMost;
  COsCfgImpl::s_szOsServicesArguments[0] = '\0';
}

}  // namespace

EOSSTS OsServicesFindRoots(const char* a_szCaller, bool a_blForceSetAccess, char* a_szRoot, char* a_szModel,
                           char* a_szCompanyDirectory, char* a_szCompanyPath) {
  COsCfgImpl* poscfgimpl = new (std::nothrow)
      COsCfgImpl(a_szCaller, OS_CFGENTITY_UTILITY, nullptr, a_blForceSetAccess, nullptr);
  EOSSTS eossts = poscfgimpl ? poscfgimpl->SetDirectories(a_szRoot, kPath, a_szModel, kPath, a_szCompanyDirectory,
                                                          kPath, a_szCompanyPath, kPath)
                             : OS_STS_FAIL;
  delete poscfgimpl;
  if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "SetDirectories failed...");
  return eossts == OS_STS_SUCCESS ? OS_STS_SUCCESS : OS_STS_FAIL;
}

OS_EXPORT int OsServicesSetArguments(const char* a_szLogPath, const char* a_szLogModel, const char* a_szLogLevel,
                                     const char* a_szArguments, const char* a_szRootPath, bool a_blFromInterfaceOpen,
                                     bool a_blForceSetAccess) {
  if (g_szOsXml && std::strstr(g_szOsXml, "<inherit>false</inherit>")) return OS_STS_SUCCESS;
  if (a_szArguments) return TakeArguments(a_szLogPath, a_szLogModel, a_szLogLevel, a_szArguments);

  if (a_szLogPath) StoreValue(OS_CFGTAG_LOGDIRECTORY, s_szLogDirectory, a_szLogPath);
  if (a_szLogModel) StoreValue(OS_CFGTAG_MODELDIRECTORY, s_szModelDirectory, a_szLogModel);
  if (a_szLogLevel) SetLogLevel(a_szLogLevel);

  // Without a store the values come from the arguments of this call.
  const char* szRoot = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_ROOTPATH) : a_szRootPath;
  const char* szLogDirectory = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY) : a_szLogPath;
  const char* szModel = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_MODELDIRECTORY) : a_szLogModel;
  if (!szRoot) szRoot = "";
  if (!szLogDirectory) szLogDirectory = "";
  if (!szModel) szModel = "";
  long lLevel = g_poslog ? g_poslog->GetDebugLevel() : (a_szLogLevel ? std::strtol(a_szLogLevel, nullptr, 0) : 0);
  const char* szUniqueName = COsCfgImpl::s_szUniqueName;
  const char* szApplication = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_APPLICATION)
                                       : (*szModel ? "" : "(null oscfg)");

  char* szArguments = COsCfgImpl::s_szOsServicesArguments;
  const size_t sizetArguments = sizeof COsCfgImpl::s_szOsServicesArguments;
  for (const char* szField : {szRoot, szLogDirectory, szModel, szUniqueName, szApplication}) {
    if (!IsMarkupFree(szField)) {
      OsLog(OS_LOG_ERROR, "arguments not published, a value holds markup...<%s>", szField);
      szArguments[0] = '\0';
      return OS_STS_BAD_ARGUMENT;
    }
  }
  const char* szFromInterfaceOpen = a_blFromInterfaceOpen ? "true" : "false";
  const char* szForceSetAccess = a_blForceSetAccess ? "true" : "false";
  int iWritten = *szModel ? COsString::SStrPrintf(szArguments, sizetArguments, kFormatWithModel, szRoot,
                                                  szLogDirectory, szModel, static_cast<int>(lLevel), szUniqueName,
                                                  szFromInterfaceOpen, szForceSetAccess, szApplication)
                          : COsString::SStrPrintf(szArguments, sizetArguments, kFormat, szRoot, szLogDirectory,
                                                  static_cast<int>(lLevel), szUniqueName, szFromInterfaceOpen,
                                                  szForceSetAccess, szApplication);
  if (iWritten < 0) {
    // A cut text would hand on part of the settings.
    OsLog(OS_LOG_ERROR, "arguments do not fit...%d", static_cast<int>(sizetArguments));
    szArguments[0] = '\0';
    return OS_STS_NOROOM_BUFFER;
  }
  return OS_STS_SUCCESS;
}

std::atomic<bool> g_blIsISIS{false};

OS_EXPORT int OsServicesProcessInterfaceOpen(const char* a_szTask) {
  if (!a_szTask) {
    OsLog(OS_LOG_ERROR, "a_szTask is null...");
    return OS_STS_BAD_ARGUMENT;
  }
  if (!std::strstr(a_szTask, "<interfaceopen>")) return OS_STS_SUCCESS;
  char szNamed[64];
  g_blIsISIS = OsServicesGetElement(a_szTask, "callername", szNamed, sizeof szNamed) == OS_STS_SUCCESS &&
               strcasecmp(szNamed, "isis") == 0;

  // Inherited arguments stand unless the task says not to inherit them.
  OsServicesHandleDisabled();
  char szInherited[COsCfgImpl::kArguments];
  if (COsCfg::GetEnv("PMX_OSSERVICESARGUMENTS", nullptr, sizeof szInherited, szInherited) == OS_STS_SUCCESS &&
      OsServicesIsArguments(szInherited)) {
    char szInherit[16];
    OsServicesGetElement(a_szTask, "inherit", szInherit, sizeof szInherit);
    if (strcasecmp(szInherit, "false") != 0) return OS_STS_SUCCESS;
    ForgetInherited();
  }

  char szCaller[64];
  if (OsServicesGetElement(a_szTask, "callername", szCaller, sizeof szCaller) != OS_STS_SUCCESS || !*szCaller) {
    COsString::SStrCpy(szCaller, sizeof szCaller, "isis");
  }
  if (!IsPlainName(szCaller)) {
    OsLog(OS_LOG_ERROR, "callername is not a plain name...<%s>", szCaller);
    return OS_STS_BAD_ARGUMENT;
  }
  char szValue[64];
  char szLogging[16];
  OsServicesGetElement(a_szTask, "logging", szLogging, sizeof szLogging);
  bool blLevel = OsServicesGetElement(a_szTask, "logginglevel", szValue, sizeof szValue) == OS_STS_SUCCESS;
  long lLevel = blLevel ? std::strtol(szValue, nullptr, 0) : 0;
  if (strcasecmp(szLogging, "off") == 0) {
    lLevel = 0;
  } else if (strcasecmp(szLogging, "on") == 0 && !blLevel) {
    lLevel = 1;
  }
  OsServicesGetElement(a_szTask, "forcesetaccess", szValue, sizeof szValue);
  const bool blForceSetAccess = std::strcmp(szValue, "true") == 0;

  char szRoot[kPath];
  char szModel[kPath];
  char szCompanyDirectory[kPath];
  char szCompanyPath[kPath];
  if (OsServicesFindRoots(szCaller, blForceSetAccess, szRoot, szModel, szCompanyDirectory, szCompanyPath) !=
      OS_STS_SUCCESS) {
    return OS_STS_FAIL;
  }

  // root / company / model / caller: "log.<time>" and "const.ini".
  char szCallerDirectory[kPath];
  char szLogPath[kPath];
  char szConstIni[kPath];
  if (!COsFile::PathJoin(szCallerDirectory, sizeof szCallerDirectory, szRoot, szCompanyDirectory) ||
      !COsFile::PathJoin(szCallerDirectory, sizeof szCallerDirectory, szCallerDirectory, szModel) ||
      !COsFile::PathJoin(szCallerDirectory, sizeof szCallerDirectory, szCallerDirectory, szCaller) ||
      !COsFile::PathJoin(szConstIni, sizeof szConstIni, szCallerDirectory, "const.ini")) {
    OsLog(OS_LOG_ERROR, "log path too long...<%s>", szRoot);
    return OS_STS_FAIL;
  }
  const EOSSTS eosstsLog = MakeLogDirectory(szCallerDirectory, szLogPath, sizeof szLogPath);
  if (eosstsLog != OS_STS_SUCCESS) return eosstsLog;
  long lConstLevel = ConstIniLevel(szConstIni);
  if (lConstLevel != 0) lLevel = lConstLevel;

  char szLevel[32];
  COsString::SStrPrintf(szLevel, sizeof szLevel, "%ld", lLevel);
  int iResult = OsServicesSetArguments(szLogPath, szModel, szLevel, nullptr, szCompanyPath, true, blForceSetAccess);
  if (iResult != OS_STS_SUCCESS) return iResult;
  COsCfg::OsCfgServicesArgumentsSet();
  COsCfgImpl::s_blTopMostInvocation = true;
  return OS_STS_SUCCESS;
}
