// The report-inquiry grammar: the same handlers read the DBCONFIG sections,
// the device managers' inquiry replies and the image library's. Each element
// names its handler, reached through a static trampoline of the class.
#include <cstdlib>
#include <cstring>

#include "db_cdbconfigimpl.h"
#include "os_coslog.h"
#include "os_cosstring.h"

// The object "this" is the records.
const char CDbConfigImpl::s_szDbConfigGrammar[] =
    "<reportinquiry exit='this.ExitReportinquiry'>"
    "<range enter='this.EnterReportinquiryRange'>"
    "<id enter='this.EnterReportinquiryRangeId'/>"
    "<rangemin enter='this.EnterReportinquiryRangeRangemin'/>"
    "<rangemax enter='this.EnterReportinquiryRangeRangemax'/>"
    "</range>"
    "<enum enter='this.EnterReportinquiryEnum'>"
    "<id enter='this.EnterReportinquiryEnumId'/>"
    "<value enter='this.EnterReportinquiryEnumValue'/>"
    "</enum>"
    "<string enter='this.EnterReportinquiryString'>"
    "<id enter='this.EnterReportinquiryStringId'/>"
    "<value enter='this.EnterReportinquiryStringValue'/>"
    "</string>"
    "<supported>"
    "<id enter='this.EnterReportinquirySupportedId'/>"
    "</supported>"
    "</reportinquiry>";

namespace {
CDbConfigImpl* Self(OsXmlCallback* a_posxmlcallback) {
  return static_cast<CDbConfigImpl*>(a_posxmlcallback->pvObject);
}

const char* Data(OsXmlCallback* a_posxmlcallback) {
  return a_posxmlcallback->szData ? a_posxmlcallback->szData : "";
}

bool OneOf(const char* a_szId, const char* const* a_pszList) {
  for (; *a_pszList; ++a_pszList) {
    if (std::strcmp(a_szId, *a_pszList) == 0) return true;
  }
  return false;
}

// Ranges whose bounds differ per scanner unit.
const char* const s_aszRangePerUnit[] = {"sheetheight", "sheetwidth", "barcodecount", nullptr};
// Enumerations whose values differ per scanner unit.
const char* const s_aszEnumPerUnit[] = {
    "illumination",   "language",  "background",        "backgroundrear",    "diagnostictype",
    "calibrationtype", "metertype", "usenotificationonly", "sheetalignment", "frontside",
    "barcodesearchmode", "barcodesearcharea", "barcodetype", nullptr};
// Supported features that differ per scanner unit.
const char* const s_aszSupportedPerUnit[] = {"metertypeenabled", "calibrationtypeenabled", "ecdo", nullptr};

// A number of a range element: decimal, saturating at the ends of the
// signed range instead of wrapping.
uint64_t RangeNumber(const char* a_szText) { return static_cast<uint64_t>(std::strtoll(a_szText, nullptr, 10)); }
}  // namespace

// ---------------------------------------------------------------------------
// Trampolines
// ---------------------------------------------------------------------------
EOSSTS CDbConfigImpl::CDbConfigImpl_ExitReportinquiry(OsXmlCallback* a_p) { return Self(a_p)->ExitReportinquiry(a_p); }
EOSSTS CDbConfigImpl::CDbConfigImpl_EnterReportinquiryRange(OsXmlCallback* a_p) {
  return Self(a_p)->EnterReportinquiryElement(a_p);
}
EOSSTS CDbConfigImpl::CDbConfigImpl_EnterReportinquiryRangeId(OsXmlCallback* a_p) {
  return Self(a_p)->EnterReportinquiryId(a_p);
}
EOSSTS CDbConfigImpl::CDbConfigImpl_EnterReportinquiryRangeRangemin(OsXmlCallback* a_p) {
  return Self(a_p)->EnterReportinquiryRangeBound(a_p, false);
}
EOSSTS CDbConfigImpl::CDbConfigImpl_EnterReportinquiryRangeRangemax(OsXmlCallback* a_p) {
  return Self(a_p)->EnterReportinquiryRangeBound(a_p, true);
}
EOSSTS CDbConfigImpl::CDbConfigImpl_EnterReportinquiryEnum(OsXmlCallback* a_p) {
  return Self(a_p)->EnterReportinquiryElement(a_p);
}
EOSSTS CDbConfigImpl::CDbConfigImpl_EnterReportinquiryEnumId(OsXmlCallback* a_p) {
  return Self(a_p)->EnterReportinquiryId(a_p);
}
EOSSTS CDbConfigImpl::CDbConfigImpl_EnterReportinquiryEnumValue(OsXmlCallback* a_p) {
  return Self(a_p)->EnterReportinquiryEnumValue(a_p);
}
EOSSTS CDbConfigImpl::CDbConfigImpl_EnterReportinquiryString(OsXmlCallback* a_p) {
  return Self(a_p)->EnterReportinquiryElement(a_p);
}
EOSSTS CDbConfigImpl::CDbConfigImpl_EnterReportinquiryStringId(OsXmlCallback* a_p) {
  return Self(a_p)->EnterReportinquiryId(a_p);
}
EOSSTS CDbConfigImpl::CDbConfigImpl_EnterReportinquiryStringValue(OsXmlCallback* a_p) {
  return Self(a_p)->EnterReportinquiryStringValue(a_p);
}
EOSSTS CDbConfigImpl::CDbConfigImpl_EnterReportinquirySupportedId(OsXmlCallback* a_p) {
  return Self(a_p)->EnterReportinquirySupportedId(a_p);
}

// ---------------------------------------------------------------------------
// Handlers
// ---------------------------------------------------------------------------
EOSSTS CDbConfigImpl::ExitReportinquiry(OsXmlCallback*) {
  Sort();
  return OS_STS_SUCCESS;
}

// A range, enum or string element starts without an id.
EOSSTS CDbConfigImpl::EnterReportinquiryElement(OsXmlCallback*) {
  m_szId[0] = '\0';
  m_blIdRefused = false;
  return OS_STS_SUCCESS;
}

EOSSTS CDbConfigImpl::EnterReportinquiryId(OsXmlCallback* a_posxmlcallback) {
  const char* szText = Data(a_posxmlcallback);
  if (m_szId[0] || m_blIdRefused) {
    OsLog(OS_LOG_ERROR, "cfg>>> we already have an id...<%s> vs <%s>", m_szId, szText);
    return OS_STS_FAIL;
  }
  // An id that does not fit is not cut (a cut id would name another
  // record): the element's values are skipped.
  if (std::strlen(szText) >= sizeof m_szId) {
    OsLog(OS_LOG_ERROR, "cfg>>> id too long, element skipped...<%s>", szText);
    m_blIdRefused = true;
    return OS_STS_SUCCESS;
  }
  COsString::SStrCpy(m_szId, sizeof m_szId, szText);
  return OS_STS_SUCCESS;
}

// Whether a value can be stored under the current id; otherwise the
// handler's answer: success for an element whose id was refused, failure
// (logged) for a value ahead of any id.
bool CDbConfigImpl::ValueIdReady(const char* a_szText, const char* a_szMissing, EOSSTS* a_peossts) {
  *a_peossts = OS_STS_SUCCESS;
  if (m_blIdRefused) return false;
  if (m_szId[0]) return true;
  OsLog(OS_LOG_ERROR, a_szMissing, a_szText);
  *a_peossts = OS_STS_FAIL;
  return false;
}

// [prefix "_"] ["nexil"] current id; false (logged) when it does not fit.
bool CDbConfigImpl::PrefixedId(char* a_szId, size_t a_sizetId, bool a_blNexil) {
  if (COsString::SStrPrintf(a_szId, a_sizetId, "%s%s%s%s", m_szPrefix ? m_szPrefix : "", m_szPrefix ? "_" : "",
                            a_blNexil ? "nexil" : "", m_szId) >= 0) {
    return true;
  }
  OsLog(OS_LOG_ERROR, "cfg>>> key does not fit...<%s>", m_szId);
  return false;
}

// The unit's target for the ids of the list, the common one for the rest.
EDBCONFIGTARGET CDbConfigImpl::UnitTarget(const char* const* a_pszPerUnit, const char* a_szId) {
  if (a_pszPerUnit && !OneOf(a_szId, a_pszPerUnit)) return DB_CONFIGTARGET_COMMON;
  return m_blFlatbed ? DB_CONFIGTARGET_FLATBED : DB_CONFIGTARGET_ADF;
}

EOSSTS CDbConfigImpl::EnterReportinquiryRangeBound(OsXmlCallback* a_posxmlcallback, bool a_blMax) {
  const char* szText = Data(a_posxmlcallback);
  EOSSTS eossts;
  if (!ValueIdReady(szText, a_blMax ? "cfg>>> id not specified...<%s>" : "cfg>>> id had not been specified...<%s>",
                    &eossts)) {
    return eossts;
  }
  const EDBCONFIGTARGET edbconfigtarget = UnitTarget(s_aszRangePerUnit, m_szId);
  if (a_blMax) {
    RangeSetMax(m_szId, RangeNumber(szText), edbconfigtarget);
  } else {
    RangeSetMin(m_szId, RangeNumber(szText), edbconfigtarget);
  }
  return OS_STS_SUCCESS;
}

EOSSTS CDbConfigImpl::EnterReportinquiryEnumValue(OsXmlCallback* a_posxmlcallback) {
  const char* szText = Data(a_posxmlcallback);
  EOSSTS eossts;
  if (!ValueIdReady(szText, "cfg>>> id not specified...<%s>", &eossts)) return eossts;
  // The image library's values get "nexil" before the id.
  char szId[256];
  if (PrefixedId(szId, sizeof szId, m_blNexil)) EnumAdd(szId, szText, UnitTarget(s_aszEnumPerUnit, m_szId));
  return OS_STS_SUCCESS;
}

EOSSTS CDbConfigImpl::EnterReportinquiryStringValue(OsXmlCallback* a_posxmlcallback) {
  const char* szText = Data(a_posxmlcallback);
  EOSSTS eossts;
  if (!ValueIdReady(szText, "cfg>>> id had not been specified...<%s>", &eossts)) return eossts;
  char szId[256];
  if (PrefixedId(szId, sizeof szId, false)) SetString(szId, szText, DB_CONFIGTARGET_COMMON);
  return OS_STS_SUCCESS;
}

EOSSTS CDbConfigImpl::EnterReportinquirySupportedId(OsXmlCallback* a_posxmlcallback) {
  const char* szText = Data(a_posxmlcallback);
  if (!*szText) return OS_STS_SUCCESS;
  if (OneOf(szText, s_aszSupportedPerUnit)) {
    Add(szText, UnitTarget(nullptr, szText));
  } else if (std::strcmp(szText, "ia") == 0) {
    // Image addressing is an indexing format of its own.
    EnumAdd("indexingformat", "none", DB_CONFIGTARGET_COMMON);
    EnumAdd("indexingformat", "imageaddress", DB_CONFIGTARGET_COMMON);
  } else {
    Add(szText, DB_CONFIGTARGET_COMMON);
  }
  return OS_STS_SUCCESS;
}
