// The resources of the library's own file that the configuration reads
// ("BRAND", "VERSION"). Tests name another file that carries them.
#include <cstring>

#include "os_coscfgimpl.h"
#include "os_cosresource.h"
#include "os_cosstring.h"

namespace {
char s_szResourceFile[512];  // empty: the library's own file
}  // namespace

void COsCfgImpl::SetResourceFile(const char* a_szFile) {
  COsString::SStrCpy(s_szResourceFile, sizeof s_szResourceFile, a_szFile ? a_szFile : "");
  ForgetVersionResource();
}

EOSSTS COsCfgImpl::ReadOwnResource(const char* a_szName, char* a_szBuffer, size_t a_sizetBuffer,
                                   uint64_t* a_pu64Size) {
  if (a_sizetBuffer) a_szBuffer[0] = '\0';
  if (a_pu64Size) *a_pu64Size = 0;
  COsResource osresource;
  if (osresource.Open(s_szResourceFile[0] ? s_szResourceFile : OS_RESOURCE_LOCAL, a_szName, OS_RESOURCETYPE_DATA) !=
      OS_STS_SUCCESS) {
    return OS_STS_FAIL;
  }
  const uint64_t u64Size = osresource.GetSize();
  const void* pvData = osresource.GetPointer();
  if (a_sizetBuffer && pvData) {
    const size_t sizetCopy = u64Size < a_sizetBuffer - 1 ? static_cast<size_t>(u64Size) : a_sizetBuffer - 1;
    std::memcpy(a_szBuffer, pvData, sizetCopy);
    a_szBuffer[sizetCopy] = '\0';
  }
  if (a_pu64Size) *a_pu64Size = u64Size;
  osresource.Close();
  return OS_STS_SUCCESS;
}
