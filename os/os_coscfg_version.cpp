// The library's version texts: the build text of the configured version
// numbers, the text of the "VERSION" resource, and the one reported.
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "os_coscfg.h"
#include "os_coscfgimpl.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {

// Each caller's thread gets its own result buffers: a text handed out stays
// as it was while another thread asks again.
thread_local char t_szVersionBuild[16];
thread_local char t_szVersionUser[15];

// The resource text, read once per process.
std::mutex s_mutexVersionResource;
bool s_blVersionResourceRead = false;
bool s_blVersionResourceFound = false;
char s_szVersionResource[32];

int VersionNumber(COsCfg* a_poscfg, unsigned a_uTag) {
  const char* szValue = a_poscfg->Get(OS_CFGSECTION_MAIN, a_uTag);
  return szValue ? static_cast<int>(std::strtol(szValue, a_poscfg->GetThrowAwayPointer(), 0)) : 0;
}

}  // namespace


const char* COsCfg::GetVersionBuild() {
  OSCFG_CHECK_IMPL(nullptr);
  COsString::SStrPrintf(t_szVersionBuild, sizeof t_szVersionBuild, "%02d%02d%02d%02d",
                        VersionNumber(this, OS_CFGTAG_VERSION_MAJORNUM), VersionNumber(this, OS_CFGTAG_VERSION_MINORNUM),
                        VersionNumber(this, OS_CFGTAG_VERSION_PATCHNUM),
                        VersionNumber(this, OS_CFGTAG_VERSION_BUILDNUM));
  return t_szVersionBuild;
}

// Read with the log silenced: a library without the resource is normal.
const char* COsCfg::GetVersionResource() {
  OSCFG_CHECK_IMPL(nullptr);
  std::lock_guard<std::mutex> lock(s_mutexVersionResource);
  if (!s_blVersionResourceRead) {
    s_blVersionResourceRead = true;
    const int iHopeless = g_poslog ? g_poslog->SetHopeless(1) : 0;
    std::memset(s_szVersionResource, 0, sizeof s_szVersionResource);
    s_blVersionResourceFound = COsCfgImpl::ReadOwnResource("VERSION", s_szVersionResource,
                                                           sizeof s_szVersionResource, nullptr) == OS_STS_SUCCESS;
    if (g_poslog) g_poslog->SetHopeless(iHopeless);
  }
  return s_blVersionResourceFound ? s_szVersionResource : nullptr;
}

const char* COsCfg::GetVersion(bool a_blUserFormat) {
  OSCFG_CHECK_IMPL(nullptr);
  const char* szVersion = m_poscfgimpl->VersionChangedByFile() ? nullptr : GetVersionResource();
  if (!szVersion) szVersion = GetVersionBuild();
  if (!a_blUserFormat) return szVersion;
  COsString::StrConvertVersionToUserFormat(t_szVersionUser, sizeof t_szVersionUser, szVersion);
  return t_szVersionUser;
}

void COsCfgImpl::ForgetVersionResource() {
  std::lock_guard<std::mutex> lock(s_mutexVersionResource);
  s_blVersionResourceRead = false;
}
