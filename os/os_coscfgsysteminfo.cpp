// What the store takes from the machine and from the library's brand. This
// first version knows the operating-system family and the brand override of
// the environment; the full system information and the "BRAND" resource
// come with the system-information service.
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "os_coscfgimpl.h"
#include "os_cosstring.h"

void COsCfgImpl::GatherSystemInformation() {}

// PMX_COMPANYNAMESHORT names the company and the writable root directory;
// otherwise the root directory is "pemra" and the built-in brand stays.
void COsCfgImpl::GatherBrand() {
  for (char* sz : {m_szCompanyName, m_szCompanyNameShort, m_szCopyright, m_szProductFamily, m_szProductName,
                   m_szUrlCompany, m_szUrlSupport, m_szUrlSupportModel, m_szMacMfgIdentity}) {
    sz[0] = '\0';
  }
  const char* szShort = std::getenv("PMX_COMPANYNAMESHORT");
  if (szShort && *szShort && std::strlen(szShort) < kField) {
    COsString::SStrCpy(m_szRootDirectory, sizeof m_szRootDirectory, szShort);
    COsString::SStrCpy(m_szCompanyName, sizeof m_szCompanyName, szShort);
    COsString::SStrCpy(m_szCompanyNameShort, sizeof m_szCompanyNameShort, szShort);
    return;
  }
  COsString::SStrCpy(m_szRootDirectory, sizeof m_szRootDirectory, "pemra");
}

const char* COsCfgImpl::OsName() const { return "LINUX"; }
