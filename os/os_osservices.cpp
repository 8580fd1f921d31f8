// Start and stop of the service layer. The start reads the module's settings
// XML and the environment, decides the log file and level (for utilities:
// beside the parent's log when a parent published its arguments), creates
// the process-wide objects in order (string, log, memory, configuration,
// languages) and keeps the arguments for the children it starts; the stop
// reaps those children, deletes the objects in the reverse order and returns
// to the unstarted state.
#include <dirent.h>
#include <strings.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

#include "os_coscfg.h"
#include "os_coscfgimpl.h"
#include "os_cosfile.h"
#include "os_coslocale.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_costhread.h"
#include "os_osservices.h"

extern char** environ;

namespace {

constexpr long kLevelUnlimitedCore = 0x1000;
constexpr const char* kArgumentsPrefix = "PMX_OSSERVICESARGUMENTS";
constexpr size_t kPath = COsCfgImpl::kField;

// What spawned children inherit: the current arguments, when there are any.
const char* ArgumentsSource() {
  return OsServicesIsArguments(COsCfgImpl::s_szOsServicesArguments) ? COsCfgImpl::s_szOsServicesArguments : nullptr;
}

void RaiseCoreLimit() {
  struct rlimit rlimitCore;
  if (getrlimit(RLIMIT_CORE, &rlimitCore) != 0) return;
  rlimitCore.rlim_cur = rlimitCore.rlim_max;
  setrlimit(RLIMIT_CORE, &rlimitCore);
}

// Every variable whose name begins with the arguments prefix (any case).
void RemoveArgumentVariables() {
  const size_t sizetPrefix = std::strlen(kArgumentsPrefix);
  for (size_t sizetSkip = 0;;) {
    char szName[256] = "";
    size_t sizetSeen = 0;
    for (char** ppsz = environ; ppsz && *ppsz; ++ppsz) {
      if (strncasecmp(*ppsz, kArgumentsPrefix, sizetPrefix) != 0 || sizetSeen++ < sizetSkip) continue;
      const char* szEqual = std::strchr(*ppsz, '=');
      size_t sizetName = szEqual ? static_cast<size_t>(szEqual - *ppsz) : std::strlen(*ppsz);
      if (sizetName < sizeof szName) {
        std::memcpy(szName, *ppsz, sizetName);
        szName[sizetName] = '\0';
      }
      break;
    }
    if (sizetSeen <= sizetSkip) return;
    // A name too long to copy is passed over.
    if (!*szName || unsetenv(szName) != 0) ++sizetSkip;
  }
}

// A log directory that holds nothing but its own "log.lock" goes at stop.
void RemoveIfEmpty(const char* a_szDirectory) {
  DIR* pdir = opendir(a_szDirectory);
  if (!pdir) return;
  bool blEmpty = true;
  bool blLock = false;
  for (struct dirent* pdirent = readdir(pdir); pdirent; pdirent = readdir(pdir)) {
    const char* szName = pdirent->d_name;
    if (std::strcmp(szName, ".") == 0 || std::strcmp(szName, "..") == 0) continue;
    if (std::strcmp(szName, "log.lock") == 0 && pdirent->d_type == DT_REG) {
      blLock = true;
    } else {
      blEmpty = false;
    }
  }
  closedir(pdir);
  if (!blEmpty) return;
  char szLock[kPath];
  if (blLock && COsFile::PathJoin(szLock, sizeof szLock, a_szDirectory, "log.lock")) unlink(szLock);
  rmdir(a_szDirectory);
}

// A utility without a parent publishes arguments of its own: its log path
// is <company path>/<model>/isis/log.
EOSSTS PublishOwnArguments(bool a_blForceSetAccess, char* a_szModel) {
  char szRoot[kPath];
  char szCompanyDirectory[kPath];
  char szCompanyPath[kPath];
  char szLogPath[kPath];
  if (OsServicesFindRoots("isis", a_blForceSetAccess, szRoot, a_szModel, szCompanyDirectory, szCompanyPath) !=
          OS_STS_SUCCESS ||
      !COsFile::PathJoin(szLogPath, sizeof szLogPath, szCompanyPath, a_szModel) ||
      !COsFile::PathJoin(szLogPath, sizeof szLogPath, szLogPath, "isis") || !COsFile::PathJoin(szLogPath, sizeof szLogPath, szLogPath, "log")) {
    return OS_STS_FAIL;
  }
  OsServicesSetArguments(szLogPath, a_szModel, "0", nullptr, szCompanyPath, false, a_blForceSetAccess);
  COsCfg::OsCfgServicesArgumentsSet();
  return OS_STS_SUCCESS;
}

// Utilities (entities 3 and 4) log below the log path of the arguments: the
// parent's when it published them, else their own tree, which this start
// publishes. Fills the log file, the level and the program path; fails when
// the directories cannot be set up, before anything is created.
EOSSTS PrepareUtility(const OsServicesSettings& a_osservicessettings, long* a_plLevel, char* a_szLogFile,
                      size_t a_sizetLogFile, char* a_szApplication, size_t a_sizetApplication) {
  if (a_osservicessettings.eoscfgentity == OS_CFGENTITY_APPUTILITY) COsCfg::OsCfgServicesArgumentsGet(nullptr, 0);
  const char* szArguments = COsCfgImpl::s_szOsServicesArguments;
  char szModel[kPath] = "";
  if (OsServicesIsArguments(szArguments)) {
    // The model of the library's own place names the log file.
    char szRoot[kPath];
    char szCompanyDirectory[kPath];
    char szCompanyPath[kPath];
    if (OsServicesFindRoots("isis", a_osservicessettings.blForceSetAccess, szRoot, szModel, szCompanyDirectory,
                            szCompanyPath) != OS_STS_SUCCESS) {
      return OS_STS_FAIL;
    }
  } else {
    COsCfgImpl::s_blTopMostInvocation = true;
    if (PublishOwnArguments(a_osservicessettings.blForceSetAccess, szModel) != OS_STS_SUCCESS) return OS_STS_FAIL;
  }

  const char* szUniqueName = a_osservicessettings.szUniqueName;
  char szLogModel[kPath];
  char szLogPath[kPath];
  char szValue[kPath];
  OsServicesGetSetting(szArguments, "logmodel", szLogModel, sizeof szLogModel);
  OsServicesGetSetting(szArguments, "logpath", szLogPath, sizeof szLogPath);
  if (*szLogPath) {
    char szDirectory[kPath];
    if (!COsFile::PathJoin(szDirectory, sizeof szDirectory, szLogPath, szUniqueName)) return OS_STS_FAIL;
    EOSSTS eosstsCreate = COsFile::Create(szDirectory);
    if (eosstsCreate != OS_STS_SUCCESS && eosstsCreate != OS_STS_ALREADY_EXISTS) return OS_STS_FAIL;
    // The log directories lie where other users may write: one that was
    // there already is used only when it is a directory of ours, not a link.
    if (eosstsCreate == OS_STS_ALREADY_EXISTS &&
        (!COsFile::IsOwnDirectory(szLogPath) || !COsFile::IsOwnDirectory(szDirectory))) {
      OsLog(OS_LOG_ERROR, "the log directory is not our own...<%s>", szDirectory);
      return OS_STS_FAIL;
    }
    const char* szSuffix = *szModel ? szModel : szLogModel;
    char szName[kPath];
    COsString::SStrPrintf(szName, sizeof szName, "%s%s%s.log", szUniqueName, *szSuffix ? "_" : "", szSuffix);
    if (!COsFile::PathJoin(a_szLogFile, a_sizetLogFile, szDirectory, szName)) return OS_STS_FAIL;
  }
  if (*a_plLevel == 0) {
    OsServicesGetElement(szArguments, "loglevel", szValue, sizeof szValue);
    *a_plLevel = std::strtol(szValue, nullptr, 0);
  }
  OsServicesGetSetting(szArguments, "rootpath", COsCfgImpl::s_szWriteableRootPath,
                       sizeof COsCfgImpl::s_szWriteableRootPath);
  OsServicesGetSetting(szArguments, "callersuniquename", COsCfgImpl::s_szUniqueNameCaller,
                       sizeof COsCfgImpl::s_szUniqueNameCaller);
  OsServicesGetSetting(szArguments, "app", a_szApplication, a_sizetApplication);
  if (std::strcmp(a_szApplication, "(null oscfg)") == 0) a_szApplication[0] = '\0';
  return OS_STS_SUCCESS;
}

// Steps after the configuration is loaded: the debug switch, the dump, the
// arguments for children, the processor mask.
void FinishStart(EOSCFGENTITY a_eoscfgentity, long a_lLevel, bool a_blForceSetAccess) {
  if (std::strtol(g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_DEBUG), nullptr, 0) == 0 && a_lLevel != 0) {
    g_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_DEBUG, "1");
  }
  if (g_poslog && g_poslog->GetDebugLevel()) {
    g_poscfg->Dump(nullptr);
    OsLog(OS_LOG_INFO, "PMX_OSSERVICESARGUMENTS before...<%s>", COsCfgImpl::s_szOsServicesArguments);
  }
  if (a_eoscfgentity == OS_CFGENTITY_DRIVER || a_eoscfgentity == OS_CFGENTITY_APPLICATION ||
      a_eoscfgentity == OS_CFGENTITY_DLL) {
    const char* szModel =
        a_eoscfgentity == OS_CFGENTITY_DRIVER ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_MODELDIRECTORYREAL) : "";
    OsServicesSetArguments(g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY), szModel,
                           g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_DEBUG), nullptr,
                           g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_ROOTPATH), false, a_blForceSetAccess);
    // Not published in our own environment: every child the host started
    // would inherit them. Spawn and the library load hand them on.
    OsLog(OS_LOG_INFO, "PMX_OSSERVICESARGUMENTS after...<%s>", COsCfgImpl::s_szOsServicesArguments);
  }
  long lAffinity = std::strtol(g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCETHREADAFFINITY), nullptr, 0);
  if (lAffinity != 0) {
    OsLog(OS_LOG_INFO, "ForceThreadAffinity set to %d...", static_cast<int>(lAffinity));
    COsThread::AffinitySetMaskCurrentThread(static_cast<uint64_t>(lAffinity));
  }
}

}  // namespace

OS_EXPORT int OsServicesStart(const char* a_szCaller) {
  if (g_poscfg) {
    OsLog(OS_LOG_ERROR, "OsServicesStart: the service layer is already started...");
    return OS_STS_FAIL;
  }
  COsCfgImpl::s_szUniqueName[0] = '\0';
  COsCfgImpl::s_szUniqueNameCaller[0] = '\0';
  tzset();
  long lLevel = COsCfg::GetEnvLong("PMX_DEBUG", 0);
  if (lLevel & kLevelUnlimitedCore) RaiseCoreLimit();

  OsServicesSettings settings;
  OsServicesReadSettings(g_szOsXml, &settings);
  lLevel |= settings.lLevel;
  COsString::SStrCpy(COsCfgImpl::s_szUniqueName, sizeof COsCfgImpl::s_szUniqueName, settings.szUniqueName);
  char szLogFile[kPath];
  char szApplication[kPath] = "";
  COsString::SStrCpy(szLogFile, sizeof szLogFile, settings.szLogFile);

  switch (settings.eoscfgentity) {
    case OS_CFGENTITY_APPLICATION:
    case OS_CFGENTITY_DRIVER:
    case OS_CFGENTITY_DLL:
      // The first service layer of its family: inherited arguments do not count.
      COsCfgImpl::s_blTopMostInvocation = true;
      COsCfgImpl::s_szOsServicesArguments[0] = '\0';
      COsCfg::OsCfgServicesArgumentsClear();
      break;
    case OS_CFGENTITY_UTILITY:
    case OS_CFGENTITY_APPUTILITY:
      if (PrepareUtility(settings, &lLevel, szLogFile, sizeof szLogFile, szApplication, sizeof szApplication) !=
          OS_STS_SUCCESS) {
        // Nothing stays behind: no objects, no published arguments.
        COsCfg::OsCfgServicesArgumentsClear();
        COsCfgImpl::ResetStatics();
        return OS_STS_FAIL;
      }
      break;
    default: break;
  }

  COsFile::CleanStatic();
  g_posstring = OsMemNew(COsString);
  if (!g_posstring) OsLog(OS_LOG_ASSERT, "OsMemNew failed...");
  g_poslog = OsMemNew(COsLog, settings.szUniqueName, szLogFile, lLevel, settings.szLogFilter);
  if (!OsMemNew(COsMem, settings.eosmemmethod, 1L)) OsLog(OS_LOG_ASSERT, "OsMemNew failed...");
  if (!OsMemNew(COsCfg, settings.szUniqueName, settings.eoscfgentity, a_szCaller, &settings.oscfgversion,
                settings.blForceSetAccess, *szApplication ? szApplication : nullptr)) {
    OsLog(OS_LOG_ASSERT, "OsMemNew failed...");
  }
  g_poslocale = OsMemNew(COsLocale);
  if (!g_poslocale) OsLog(OS_LOG_ASSERT, "OsMemNew failed...");
  if (!g_poscfg || !g_poscfg->IsLoaded()) {
    OsLog(OS_LOG_ERROR, "OsServicesStart: the configuration could not be set up...");
    return OS_STS_FAIL;
  }
  FinishStart(settings.eoscfgentity, lLevel, settings.blForceSetAccess);
  COsThread::SetServicesArgumentsSource(&ArgumentsSource);
  return OS_STS_SUCCESS;
}

// Only children that the thread service started are reaped: a child of the
// host application would lose its exit status.
OS_EXPORT int OsServicesStop() {
  OsLog(OS_LOG_INFO, "Removing defunct processes...");
  COsThread::ReapEndedChildren();
  char szLogDirectory[kPath] = "";
  if (g_poscfg) COsString::SStrCpy(szLogDirectory, sizeof szLogDirectory, g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY));
  COsThread::SetServicesArgumentsSource(nullptr);
  RemoveArgumentVariables();

  COsLocale* poslocale = g_poslocale;
  g_poslocale = nullptr;
  OsMemDelete(poslocale);
  COsCfg* poscfg = g_poscfg;
  g_poscfg = nullptr;
  OsMemDelete(poscfg);
  COsMem* posmem = g_posmem;
  g_posmem = nullptr;
  OsMemDelete(posmem);
  if (g_poslog && g_poslog->GetDebugLevel()) OsLog(OS_LOG_PROTOCOL, "### OsServicesStop...");
  COsLog* poslog = g_poslog;
  g_poslog = nullptr;
  delete poslog;
  COsString* posstring = g_posstring;
  g_posstring = nullptr;
  delete posstring;

  COsFile::Shutdown();
  if (COsCfgImpl::s_blTopMostInvocation && *szLogDirectory) RemoveIfEmpty(szLogDirectory);
  COsCfg::OsCfgServicesArgumentsClear();
  COsCfgImpl::ResetStatics();
  return OS_STS_SUCCESS;
}
