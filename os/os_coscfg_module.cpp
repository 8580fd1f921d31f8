// The library's own module: the handle of its loaded image (through which
// callbacks are found by name) and the file names of loaded images.
#include <dlfcn.h>

#include <cstring>
#include <mutex>

#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslog.h"

void* g_OsCfgHinstance = nullptr;
extern "C" {
char g_szApplicationPath[512];
}

namespace {
std::mutex s_mutexHmodule;
bool s_blHmoduleKnown = false;

// The handle of the loaded image whose file name is the name given; null
// when none is. It comes from dlopen, not from the list of loaded objects:
// the loader sets an image's own search list up only for a dlopen handle,
// and dlsym through a list entry of a library the program was linked with
// crashes.
void* FindLoadedObject(const char* a_szName) {
  void* pvFound = dlopen(a_szName, RTLD_LAZY | RTLD_NOLOAD);
  // The image holds this very code, so it stays loaded without the reference.
  if (pvFound) dlclose(pvFound);
  return pvFound;
}
}  // namespace

// Computed once. An application that carries this code itself marks the
// handle with g_szApplicationPath: then there is no separate module.
void* COsCfg::GetHmodule() {
  std::lock_guard<std::mutex> lock(s_mutexHmodule);
  if (s_blHmoduleKnown) return g_OsCfgHinstance;
  if (g_OsCfgHinstance == static_cast<void*>(g_szApplicationPath)) {
    g_OsCfgHinstance = nullptr;
    s_blHmoduleKnown = true;
    return nullptr;
  }
  Dl_info dlinfo = {};
  if (!dladdr(reinterpret_cast<void*>(&g_oscfglocatorfunction), &dlinfo) || !dlinfo.dli_fname) {
    return g_OsCfgHinstance;
  }
  g_OsCfgHinstance = FindLoadedObject(dlinfo.dli_fname);
  s_blHmoduleKnown = true;
  return g_OsCfgHinstance;
}

void COsCfg::GetModuleName(const void* a_pvAddress, char* a_szName, size_t a_sizetName, bool a_blLogErrors) {
  if (!a_szName || a_sizetName == 0) return;
  std::memset(a_szName, 0, a_sizetName);
  Dl_info dlinfo = {};
  if (!dladdr(a_pvAddress, &dlinfo) || !dlinfo.dli_fname || !dlinfo.dli_fname[0]) {
    if (a_blLogErrors) OsLog(OS_LOG_ASSERT, "dladdr failed...");
    return;
  }
  if (COsFile::PathAbsolute(a_szName, a_sizetName, dlinfo.dli_fname) != OS_STS_SUCCESS) a_szName[0] = '\0';
}
