// The resources of the library's own file that the configuration reads
// ("BRAND", "VERSION"). Tests name another file that carries them.
#include "os_coscfgimpl.h"
#include "os_cosstring.h"

namespace {
char s_szResourceFile[512];  // empty: the library's own file
}  // namespace

void COsCfgImpl::SetResourceFile(const char* a_szFile) {
  COsString::SStrCpy(s_szResourceFile, sizeof s_szResourceFile, a_szFile ? a_szFile : "");
  ForgetVersionResource();
}

// The resource service is not part of this build yet: no resource is found.
EOSSTS COsCfgImpl::ReadOwnResource(const char* a_szName, char* a_szBuffer, size_t a_sizetBuffer,
                                   uint64_t* a_pu64Size) {
  (void)a_szName;
  if (a_sizetBuffer) a_szBuffer[0] = '\0';
  if (a_pu64Size) *a_pu64Size = 0;
  return OS_STS_FAIL;
}

// The XML reader is not part of this build yet: no element is found.
bool COsCfgImpl::BrandElement(const char* a_szElement, char* a_szField, size_t a_sizetField) {
  (void)a_szElement;
  (void)a_szField;
  (void)a_sizetField;
  return false;
}
