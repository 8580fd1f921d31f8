// The service arguments: the XML text through which a service layer hands its
// log and root settings to the children it starts. The parent publishes it in
// three environment variables (one for the publishing thread, a plain one and
// a "UNICODE" one); a child reads it when its library is loaded.
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "os_coscfg.h"
#include "os_coscfgimpl.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_costhread.h"
#include "os_osservices.h"

char COsCfgImpl::s_szOsServicesArguments[COsCfgImpl::kArguments];
char COsCfgImpl::s_szUniqueName[64];
char COsCfgImpl::s_szUniqueNameCaller[64];
char COsCfgImpl::s_szWriteableRootPath[COsCfgImpl::kField];

namespace {

constexpr const char* kVariable = "PMX_OSSERVICESARGUMENTS";
constexpr const char* kVariableUnicode = "PMX_OSSERVICESARGUMENTSUNICODE";
constexpr const char* kVariableDisabled = "PMX_OSSERVICESARGUMENTSDISABLED";

// The variable of the calling process and thread.
void ThreadVariable(char* a_szName, size_t a_sizetName) {
  COsString::SStrPrintf(a_szName, a_sizetName, "%s_%llx_%llx", kVariable,
                        static_cast<unsigned long long>(COsThread::GetProcessId()),
                        static_cast<unsigned long long>(COsThread::GetThreadId()));
}

// Run when the library is loaded: inherited arguments are read before any
// entry is called.
struct OsCfgLibraryLoad {
  OsCfgLibraryLoad() { OsCfgSharedLibraryMain(); }
} s_oscfglibraryload;

}  // namespace

bool OsServicesIsArguments(const char* a_szText) {
  return a_szText && std::strstr(a_szText, "<arguments>") && std::strstr(a_szText, "</arguments>");
}

void OsServicesHandleDisabled() {
  const char* szDisabled = std::getenv(kVariableDisabled);
  if (!szDisabled || szDisabled[0] != '1') return;
  char szThread[128];
  ThreadVariable(szThread, sizeof szThread);
  for (const char* szName : {kVariableDisabled, static_cast<const char*>(szThread), kVariable, kVariableUnicode}) {
    COsCfg::SetEnv(szName, nullptr);
  }
}

void OsCfgSharedLibraryMain() {
  COsCfg::OsCfgServicesArgumentsGet(nullptr, 0);
}

EOSSTS COsCfg::OsCfgServicesArgumentsGet(char* a_szArguments, size_t a_sizetArguments) {
  if (!a_szArguments) {
    a_szArguments = COsCfgImpl::s_szOsServicesArguments;
    a_sizetArguments = sizeof COsCfgImpl::s_szOsServicesArguments;
  }
  if (a_sizetArguments < 2) {
    OsLog(OS_LOG_ERROR, "a_sizetArguments is too small...%d", static_cast<int>(a_sizetArguments));
    return OS_STS_BAD_ARGUMENT;
  }
  OsServicesHandleDisabled();
  a_szArguments[0] = '\0';
  char szThread[128];
  ThreadVariable(szThread, sizeof szThread);
  for (const char* szName : {static_cast<const char*>(szThread), kVariable, kVariableUnicode}) {
    const char* szValue = std::getenv(szName);
    if (!OsServicesIsArguments(szValue)) continue;
    // A cut text would pass on a part of the parent's settings: skip it.
    if (std::strlen(szValue) >= a_sizetArguments) {
      OsLog(OS_LOG_ERROR, "arguments too long, ignored...<%s> %d", szName, static_cast<int>(std::strlen(szValue)));
      continue;
    }
    COsString::SStrCpy(a_szArguments, a_sizetArguments, szValue);
    return OS_STS_SUCCESS;
  }
  return OS_STS_FAIL;
}

EOSSTS COsCfg::OsCfgServicesArgumentsSet() {
  const char* szArguments = COsCfgImpl::s_szOsServicesArguments;
  if (!OsServicesIsArguments(szArguments)) {
    OsLog(OS_LOG_ERROR, "no arguments to publish...");
    return OS_STS_FAIL;
  }
  OsLogDebug(OS_LOG_INFO, "PMX_OSSERVICESARGUMENTS set...<%s>", szArguments);
  char szThread[128];
  ThreadVariable(szThread, sizeof szThread);
  EOSSTS eossts = OS_STS_SUCCESS;
  for (const char* szName : {static_cast<const char*>(szThread), kVariable, kVariableUnicode}) {
    if (SetEnv(szName, szArguments) != OS_STS_SUCCESS) eossts = OS_STS_FAIL;
  }
  return eossts;
}

void COsCfg::OsCfgServicesArgumentsClear() {
  char szThread[128];
  ThreadVariable(szThread, sizeof szThread);
  SetEnv(szThread, nullptr);
  if (!COsCfgImpl::s_blTopMostInvocation) return;
  SetEnv(kVariable, nullptr);
  SetEnv(kVariableUnicode, nullptr);
}

void COsCfgImpl::ResetStatics() {
  s_blTopMostInvocation = false;
  s_szOsServicesArguments[0] = '\0';
  s_szUniqueName[0] = '\0';
  s_szUniqueNameCaller[0] = '\0';
  s_szWriteableRootPath[0] = '\0';
}
