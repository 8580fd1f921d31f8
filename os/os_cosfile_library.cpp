// Shared libraries: loading one per file object (with an alternate name to
// fall back on), finding entry points by plain or compiled (mangled) name,
// and library names.
#include <dlfcn.h>
#include <strings.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>

#include "os_cosfile.h"
#include "os_cosfileimpl.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_costhread.h"

namespace {
constexpr size_t s_sizetPath = 512;
constexpr size_t s_sizetLibraryPath = 1024;  // a saved LD_LIBRARY_PATH
constexpr size_t s_sizetSymbol = 512;

// The environment is changed for the time of an alternate load: one at a time.
std::recursive_mutex s_mutexEnvironment;

// Publishes the current service arguments (from the source the service
// start-up installs) in this process's environment, where a library's static
// initialiser reads them while it loads.
void PublishServiceArguments() {
  OsThreadArgumentsSource pfnSource = COsThread::GetServicesArgumentsSource();
  const char* szArguments = pfnSource ? pfnSource() : nullptr;
  if (!szArguments || !szArguments[0]) return;
  char szThreadVariable[128];
  if (COsString::SStrPrintf(szThreadVariable, sizeof szThreadVariable, "PMX_OSSERVICESARGUMENTS_%llx_%llx",
                            static_cast<unsigned long long>(COsThread::GetProcessId()),
                            static_cast<unsigned long long>(COsThread::GetThreadId())) < 0) {
    return;
  }
  OsLogDebug(OS_LOG_INFO, "PMX_OSSERVICESARGUMENTS set...<%s>", szArguments);
  std::lock_guard<std::recursive_mutex> lock(s_mutexEnvironment);
  setenv(szThreadVariable, szArguments, 1);
  setenv("PMX_OSSERVICESARGUMENTS", szArguments, 1);
  setenv("PMX_OSSERVICESARGUMENTSUNICODE", szArguments, 1);
}

bool Missing(const COsFileImpl* a_posfileimpl) {
  if (a_posfileimpl) return false;
  OsLog(OS_LOG_ASSERT, "m_posfileimpl is null...");
  return true;
}

const char* Text(const char* a_sz) { return a_sz ? a_sz : ""; }

// The path dlopen gets: absolute names as given, others below the working
// directory; ".so" added unless the name has ".so" or ".ds" in it.
bool LibraryPath(char* a_szPath, const char* a_szLibrary) {
  int iLength = a_szLibrary[0] == '/' ? COsString::SStrPrintf(a_szPath, s_sizetPath, "%s", a_szLibrary)
                                      : COsString::SStrPrintf(a_szPath, s_sizetPath, "./%s", a_szLibrary);
  if (iLength < 0) return false;
  if (!std::strstr(a_szLibrary, ".so") && !std::strstr(a_szLibrary, ".ds")) {
    return COsString::SStrCatf(a_szPath, s_sizetPath, "%s", ".so") >= 0;
  }
  return true;
}

// The environment of an alternate load with OS_SHAREFLAG_ALTSEARCH: the main
// library's directory, and LD_LIBRARY_PATH as it was.
struct AltSearch {
  bool blActive = false;
  char szDirectory[s_sizetPath] = {};
  bool blHadValue = false;
  char szSaved[s_sizetLibraryPath] = {};
};

void PrepareAltSearch(AltSearch* a_paltsearch, const char* a_szPath) {
  if (a_szPath[0] != '/') {
    OsLog(OS_LOG_ERROR, "Can't apply OS_SHAREFLAG_ALTSEARCH to a relative pathname...<%s>", a_szPath);
    return;
  }
  size_t sizetDirectory = static_cast<size_t>(std::strrchr(a_szPath, '/') - a_szPath);
  if (sizetDirectory == 0) sizetDirectory = 1;  // the root directory
  COsString::SStrNcat(a_paltsearch->szDirectory, sizeof a_paltsearch->szDirectory, a_szPath, sizetDirectory);
  const char* szValue = std::getenv("LD_LIBRARY_PATH");
  a_paltsearch->blHadValue = szValue != nullptr;
  // A value that cannot be saved whole could not be restored: leave it alone.
  if (szValue && std::strlen(szValue) >= sizeof a_paltsearch->szSaved) {
    OsLog(OS_LOG_ERROR, "LD_LIBRARY_PATH too long, OS_SHAREFLAG_ALTSEARCH not applied...<%s>", a_szPath);
    return;
  }
  if (szValue) COsString::SStrCpy(a_paltsearch->szSaved, sizeof a_paltsearch->szSaved, szValue);
  a_paltsearch->blActive = true;
}

void* OpenLibrary(const char* a_szPath, int a_iFlags) {
  try {
    return dlopen(a_szPath, a_iFlags);
  } catch (const std::exception& exception) {
    OsLog(OS_LOG_ERROR, "dlopen threw an exception...%s", exception.what());
  } catch (...) {
    OsLog(OS_LOG_ERROR, "dlopen threw an exception...%s", a_szPath);
  }
  return nullptr;
}

// Appends one length-prefixed name of an Itanium nested name.
bool AppendSourceName(char* a_szSymbol, const char* a_szName, size_t a_sizetName) {
  return COsString::SStrCatf(a_szSymbol, s_sizetSymbol, "%d%.*s", static_cast<int>(a_sizetName),
                             static_cast<int>(a_sizetName), a_szName) >= 0;
}

// The compiled name of [ns::...]Class::Class_function(Parameter*): the class
// is the text up to the first "_" after the last "::", the member's name is
// that whole text. Namespaces nest at each "::".
bool MangleMember(char* a_szSymbol, const char* a_szProcedure, const char* a_szParameter) {
  const char* szRest = a_szProcedure;
  a_szSymbol[0] = '\0';
  COsString::SStrCat(a_szSymbol, s_sizetSymbol, "_ZN");
  for (const char* szColons; (szColons = std::strstr(szRest, "::")) != nullptr; szRest = szColons + 2) {
    if (szColons == szRest || !AppendSourceName(a_szSymbol, szRest, static_cast<size_t>(szColons - szRest))) {
      return false;
    }
  }
  const char* szUnderscore = std::strchr(szRest, '_');
  if (!szUnderscore || szUnderscore == szRest) return false;
  return AppendSourceName(a_szSymbol, szRest, static_cast<size_t>(szUnderscore - szRest)) &&
         AppendSourceName(a_szSymbol, szRest, std::strlen(szRest)) &&
         COsString::SStrCatf(a_szSymbol, s_sizetSymbol, "EP%d%s", static_cast<int>(std::strlen(a_szParameter)),
                             a_szParameter) >= 0;
}

// The simulator's two entry points are plain functions with fixed names.
const char* SimulatorEntry(const char* a_szProcedure) {
  const char* szRest = a_szProcedure;
  for (const char* szColons; (szColons = std::strstr(szRest, "::")) != nullptr;) szRest = szColons + 2;
  const char* szUnderscore = std::strchr(szRest, '_');
  if (!szUnderscore) return nullptr;
  if (std::strcmp(szUnderscore, "_Create") == 0) return "_Z18CSimTorvane_CreateP11SimCallback";
  if (std::strcmp(szUnderscore, "_Destroy") == 0) return "_Z19CSimTorvane_DestroyP11SimCallback";
  return nullptr;
}
}  // namespace

EOSSTS COsFileImpl::SharedLibraryLoad(const char* a_szLibrary, EOSFILEOPEN a_eosfileopen, const char* a_szAlternate,
                                      unsigned long a_ulFlags) {
  OsLogDebug(OS_LOG_INFO, "SharedLibraryLoad(%s,%d,%s,0x%x)", Text(a_szLibrary), static_cast<int>(a_eosfileopen),
             Text(a_szAlternate), static_cast<unsigned>(a_ulFlags));
  if (a_szAlternate && a_szAlternate[0] != '+') {
    OsLog(OS_LOG_ASSERT, "Alternate library must started with + sign");
    return OS_STS_FAIL;
  }
  if (!a_szLibrary) {
    OsLog(OS_LOG_ERROR, "a_szLibrary is NULL...");
    return OS_STS_BAD_ARGUMENT;
  }
  char szPath[s_sizetPath] = {};
  if (!LibraryPath(szPath, a_szLibrary)) return OS_STS_BAD_ARGUMENT;
  AltSearch altsearch;
  if (a_ulFlags & OS_SHAREFLAG_ALTSEARCH) PrepareAltSearch(&altsearch, szPath);

  void* pvHandle = nullptr;
  if (a_eosfileopen == OS_FILEOPEN_CREATE) {
    PublishServiceArguments();
    OsLogDebug(OS_LOG_INFO, "dlopen(%s) - new", szPath);
    pvHandle = OpenLibrary(szPath, RTLD_LAZY);
  } else if (a_eosfileopen == OS_FILEOPEN_EXISTING) {
    OsLogDebug(OS_LOG_INFO, "dlopen(%s) - existing", szPath);
    pvHandle = OpenLibrary(szPath, RTLD_LAZY | RTLD_NOLOAD);
  } else {
    OsLog(OS_LOG_ERROR, "Unrecognized a_eosfileopen...%d", static_cast<int>(a_eosfileopen));
    return OS_STS_BAD_ARGUMENT;
  }
  if (pvHandle) {
    OsLogDebug(OS_LOG_INFO, "dlopen succeeded...<%s>", szPath);
    OsLogDebug(OS_LOG_INFO, "SharedLibrary: load %p <%s>", pvHandle, szPath);
    // A second load on one object replaces the first: give back the first
    // reference, or that library could never be unloaded.
    if (m_pvLibrary) dlclose(m_pvLibrary);
    m_pvLibrary = pvHandle;
    return OS_STS_SUCCESS;
  }
  const char* szError = dlerror();
  if (!a_szAlternate) {
    OsLogDebug(OS_LOG_INFO, "dlopen failed...<%s>", szPath);
    OsLogDebug(OS_LOG_INFO, "<%s>", Text(szError));
    return OS_STS_FAIL;
  }

  char szAlternate[s_sizetPath] = {};
  if (COsString::SStrPrintf(szAlternate, sizeof szAlternate, "%s%s", a_szLibrary, a_szAlternate + 1) < 0) {
    return OS_STS_BAD_ARGUMENT;
  }
  if (!altsearch.blActive || a_eosfileopen != OS_FILEOPEN_CREATE) {
    return SharedLibraryLoad(szAlternate, a_eosfileopen, nullptr, 0);
  }
  std::lock_guard<std::recursive_mutex> lock(s_mutexEnvironment);
  setenv("LD_LIBRARY_PATH", altsearch.szDirectory, 1);
  EOSSTS eosstatus = SharedLibraryLoad(szAlternate, a_eosfileopen, nullptr, 0);
  if (altsearch.blHadValue) {
    setenv("LD_LIBRARY_PATH", altsearch.szSaved, 1);
  } else {
    unsetenv("LD_LIBRARY_PATH");
  }
  return eosstatus;
}

void* COsFileImpl::SharedLibraryGetProc(const char* a_szProcedure, void* a_pvHandle, EOSFILEMANGLE a_eosfilemangle) {
  if (!a_szProcedure) {
    OsLog(OS_LOG_ERROR, "a_szProcedure is NULL...");
    return nullptr;
  }
  void* pvHandle = a_pvHandle;
  if (pvHandle == reinterpret_cast<void*>(-1)) {
    if (!m_pvLibrary) {
      OsLog(OS_LOG_ERROR, "Must open a library first...");
      return nullptr;
    }
    pvHandle = m_pvLibrary;
  }
  if (!pvHandle) pvHandle = RTLD_DEFAULT;
  // Names are bytes already; the copy bounds them.
  char szProcedure[s_sizetSymbol] = {};
  if (std::strlen(a_szProcedure) >= sizeof szProcedure) {
    OsLog(OS_LOG_ASSERT, "a_szProcedure is too long...<%.64s>", a_szProcedure);
    return nullptr;
  }
  COsString::SStrCpy(szProcedure, sizeof szProcedure, a_szProcedure);

  char szSymbol[s_sizetSymbol] = {};
  switch (a_eosfilemangle) {
    case OS_FILEMANGLE_NONE: return dlsym(pvHandle, szProcedure);
    case OS_FILEMANGLE_XMLCALLBACK:
    case OS_FILEMANGLE_SIMCALLBACK: {
      const char* szFixed = a_eosfilemangle == OS_FILEMANGLE_SIMCALLBACK ? SimulatorEntry(szProcedure) : nullptr;
      if (szFixed) {
        COsString::SStrCpy(szSymbol, sizeof szSymbol, szFixed);
      } else if (!MangleMember(szSymbol, szProcedure,
                               a_eosfilemangle == OS_FILEMANGLE_XMLCALLBACK ? "OsXmlCallback" : "SimCallback")) {
        OsLog(OS_LOG_ASSERT, "Badly constructed szProcedure...<%s>", szProcedure);
        return nullptr;
      }
      break;
    }
    default:
      OsLog(OS_LOG_ASSERT, "Unrecognized %d...", static_cast<int>(a_eosfilemangle));
      return nullptr;
  }
  void* pvProcedure = dlsym(pvHandle, szSymbol);
  if (!pvProcedure) OsLog(OS_LOG_ASSERT, "dlsym failed...<%s>", szSymbol);
  return pvProcedure;
}

void COsFileImpl::SharedLibraryFree() {
  if (!m_pvLibrary) return;
  OsLogDebug(OS_LOG_INFO, "SharedLibrary: free %p", m_pvLibrary);
  dlclose(m_pvLibrary);
  m_pvLibrary = nullptr;
}

EOSSTS COsFile::SharedLibraryLoad(const char* a_szLibrary, EOSFILEOPEN a_eosfileopen, const char* a_szAlternate,
                                  unsigned long a_ulFlags) {
  if (Missing(m_posfileimpl)) return OS_STS_FAIL;
  return m_posfileimpl->SharedLibraryLoad(a_szLibrary, a_eosfileopen, a_szAlternate, a_ulFlags);
}

void* COsFile::SharedLibraryGetProc(const char* a_szProcedure, void* a_pvHandle, EOSFILEMANGLE a_eosfilemangle) {
  if (Missing(m_posfileimpl)) return nullptr;
  return m_posfileimpl->SharedLibraryGetProc(a_szProcedure, a_pvHandle, a_eosfilemangle);
}

void COsFile::SharedLibraryFree() {
  if (!Missing(m_posfileimpl)) m_posfileimpl->SharedLibraryFree();
}

bool COsFile::SharedLibraryInUse() { return !Missing(m_posfileimpl) && m_posfileimpl->SharedLibraryInUse(); }

bool COsFile::SharedLibraryExists(const char* a_szName) {
  if (!a_szName) {
    OsLog(OS_LOG_ASSERT, "a_szFilename is null...");
    return false;
  }
  if (!a_szName[0]) {
    OsLog(OS_LOG_ASSERT, "a_szFilename is empty...");
    return false;
  }
  if (std::strstr(a_szName, ".so")) {
    OsLog(OS_LOG_ASSERT, "badly formed name (don't include the extension!)...<%s>", a_szName);
  }
  char szPath[s_sizetPath] = {};
  if (COsString::SStrPrintf(szPath, sizeof szPath, "%s.so", a_szName) < 0) return false;
  PathNormalize(szPath, '/');
  return Exists(szPath);
}

void COsFile::PathAppendDll(char* a_szPath, size_t a_sizetPath) {
  if (!a_szPath) {
    OsLog(OS_LOG_ASSERT, "a_szPath is null...");
    return;
  }
  size_t sizetLength = std::strlen(a_szPath);
  if (!(sizetLength > 2 && strcasecmp(a_szPath + sizetLength - 3, ".so") == 0)) {
    COsString::SStrCat(a_szPath, a_sizetPath, ".so");
  }
  PathNormalize(a_szPath, '/');
}
