// The brand: company and product names and support addresses, from the
// environment override PMX_COMPANYNAMESHORT or from the library's own
// "BRAND" resource; the brand XML itself, optionally indented.
#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "os_coscfg.h"
#include "os_coscfgimpl.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_cosxml.h"

namespace {

// The company directory of the maker's own brand, whatever the spelling of
// its short name.
constexpr const char* kMakerShortName = "pemra";
constexpr const char* kMakerRootDirectory = "pemra";
// What a "<companyname>" element brings as the product family.
constexpr const char* kBrandProductFamily = "Document Scanners";

// The calling thread's indented brand text.
thread_local char t_szBrandIndented[2048];

}  // namespace

// The content of one element of the brand XML; false when it is missing or
// does not fit its field.
bool COsCfgImpl::BrandElement(const char* a_szElement, char* a_szField, size_t a_sizetField) {
  char szStart[64];
  char szEnd[64];
  char szValue[kField];
  if (COsString::SStrPrintf(szStart, sizeof szStart, "<%s>", a_szElement) < 0 ||
      COsString::SStrPrintf(szEnd, sizeof szEnd, "</%s>", a_szElement) < 0 ||
      COsXml::GetContent(m_szBrand, szStart, szEnd, szValue, sizeof szValue) != OS_STS_SUCCESS) {
    return false;
  }
  COsString::SStrCpy(a_szField, a_sizetField, szValue);
  return true;
}

// Each element found replaces its field; the store takes the fields at load.
void COsCfgImpl::ParseBrand() {
  const struct {
    const char* szElement;
    char* szField;
  } aelement[] = {
      {"companyname", m_szCompanyName},         {"companynameshort", m_szCompanyNameShort},
      {"copyright", m_szCopyright},             {"productname", m_szProductName},
      {"urlcompany", m_szUrlCompany},           {"urlsupport", m_szUrlSupport},
      {"urlsupportmodel", m_szUrlSupportModel}, {"macmfgidentity", m_szMacMfgIdentity},
  };
  for (const auto& element : aelement) {
    if (!BrandElement(element.szElement, element.szField, kField)) continue;
    if (element.szField == m_szCompanyName) {
      COsString::SStrCpy(m_szProductFamily, sizeof m_szProductFamily, kBrandProductFamily);
    } else if (element.szField == m_szCompanyNameShort) {
      const bool blMaker = strcasecmp(m_szCompanyNameShort, kMakerShortName) == 0;
      COsString::SStrCpy(m_szRootDirectory, sizeof m_szRootDirectory,
                         blMaker ? kMakerRootDirectory : m_szCompanyNameShort);
    }
  }
}

// PMX_COMPANYNAMESHORT names the company and the writable root directory;
// otherwise the root directory is "pemra" and the "BRAND" resource, when the
// library has one, replaces the built-in brand.
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
  COsString::SStrCpy(m_szRootDirectory, sizeof m_szRootDirectory, kMakerRootDirectory);
  std::memset(m_szBrand, 0, sizeof m_szBrand);
  uint64_t u64Size = 0;
  if (ReadOwnResource("BRAND", m_szBrand, sizeof m_szBrand, &u64Size) != OS_STS_SUCCESS) return;
  // A longer resource keeps its first 2047 bytes: the elements read from
  // those, a cut element is not found.
  if (u64Size > sizeof m_szBrand - 1) OsLog(OS_LOG_ASSERT, "m_szBrand too small...");
  ParseBrand();
}

// Lines (split at CR and LF) each behind up to four tabs, padded on the
// left with blanks beyond four, and each ended by LF.
const char* COsCfgImpl::GetBrandXml(int a_iIndent) {
  if (a_iIndent == 0) return m_szBrand;
  t_szBrandIndented[0] = '\0';
  char szBrand[sizeof m_szBrand];
  std::memcpy(szBrand, m_szBrand, sizeof szBrand);
  char* szSave = nullptr;
  for (char* szLine = COsString::SStrTok(szBrand, "\r\n", &szSave); szLine;
       szLine = COsString::SStrTok(nullptr, "\r\n", &szSave)) {
    if (COsString::SStrCatf(t_szBrandIndented, sizeof t_szBrandIndented, "%*.*s%s\n", a_iIndent, a_iIndent,
                            "\t\t\t\t", szLine) < 0) {
      break;
    }
  }
  return t_szBrandIndented;
}

const char* COsCfg::GetBrandXml(int a_iIndent) {
  if (!m_poscfgimpl) {
    OsLog(OS_LOG_ASSERT, "m_poscfgimpl is null...");
    return "";
  }
  return m_poscfgimpl->GetBrandXml(a_iIndent);
}
