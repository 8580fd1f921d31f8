// The lookup compilation: "lookup.dbc" (one item per capability: its id,
// lexicon, TWAIN group and lexicon, and its enumerated values) becomes the
// LOOKUP text, one record a, b, c, k, l (and Z with l, m, n per value) per
// item in source order.
#include <cstring>

#include "drv_dbcentry.h"
#include "os_coslog.h"

namespace {

const char s_szLookupGrammar[] =
    "<lookup_dbc enter='this.EnterLookup' exit='this.ExitLookup'>"
    "<item enter='this.EnterLookupItem' exit='this.ExitLookupItem'>"
    "<db><id enter='this.EnterDbId'></id></db>"
    "<lx><id enter='this.EnterLexiconId'></id></lx>"
    "<tw><grp enter='this.EnterTwainGroup'></grp><lx enter='this.EnterTwainLexicon'></lx></tw>"
    "<en enter='this.EnterEnum' exit='this.ExitEnum'>"
    "<db enter='this.EnterDbIdEnum'></db><lx enter='this.EnterLexiconIdEnum'></lx>"
    "</en>"
    "</item>"
    "</lookup_dbc>";

// The fields every item must carry.
constexpr unsigned s_uFieldDbId = 0x1;
constexpr unsigned s_uFieldLexicon = 0x2;
constexpr unsigned s_uFieldTwainLexicon = 0x4;
constexpr unsigned s_uFieldGroup = 0x8;
constexpr unsigned s_uFieldsAll = 0xf;

}  // namespace

EOSSTS CDbc::CompileLookup() {
  return CompileOne("lookup.dbc", nullptr, nullptr, s_szLookupGrammar, "lookup.edres", false);
}

EOSSTS CDbc::EnterLookup(OsXmlCallback*) { return OutRoot("lookup"); }

EOSSTS CDbc::ExitLookup(OsXmlCallback*) {
  EOSSTS eossts = Out("</lookup>");
  return eossts == OS_STS_SUCCESS ? PatchCounts() : eossts;
}

EOSSTS CDbc::EnterLookupItem(OsXmlCallback*) {
  m_uFields = 0;
  m_iItemValues = 0;
  m_iItemLexicons = 0;
  return OS_STS_SUCCESS;
}

// A reader starts a record at its a element: an item's other fields before
// its id (or a second id) would land in another record.
EOSSTS CDbc::LookupField(OsXmlCallback* a_posxmlcallback, unsigned a_uField) {
  if (a_uField == s_uFieldDbId ? (m_uFields & s_uFieldDbId) != 0 : (m_uFields & s_uFieldDbId) == 0) {
    OsLog(OS_LOG_ERROR, "An item must begin with its one EDBID value...<%s> <%s>", a_posxmlcallback->szName,
          a_posxmlcallback->szData);
    return OS_STS_FAIL;
  }
  m_uFields |= a_uField;
  return OS_STS_SUCCESS;
}

// An element holding a name and, behind it, the name's value in hex (empty
// when the table lacks the name).
EOSSTS CDbc::LookupNameValue(const char* a_szName, const char* a_szNameElement, const char* a_szValueElement,
                             const char* a_szPrint) {
  int64_t i64Value = 0;
  EOSSTS eossts = OS_STS_SUCCESS;
  if (a_szNameElement) eossts = OutElement(a_szNameElement, a_szName);
  if (eossts != OS_STS_SUCCESS) return eossts;
  if (Resolve(a_szName, &i64Value, a_szPrint)) {
    return Outf("<%s>%x</%s>", a_szValueElement, static_cast<uint32_t>(i64Value), a_szValueElement);
  }
  return Outf("<%s></%s>", a_szValueElement, a_szValueElement);
}

EOSSTS CDbc::EnterDbId(OsXmlCallback* a_posxmlcallback) {
  if (!*a_posxmlcallback->szData) {
    OsLog(OS_LOG_ERROR, "Every item must have an EDBID value...");
    return OS_STS_FAIL;
  }
  if (LookupField(a_posxmlcallback, s_uFieldDbId) != OS_STS_SUCCESS) return OS_STS_FAIL;
  ++m_i64Records;
  return LookupNameValue(a_posxmlcallback->szData, "a", "b", "\r\nUnrecognized edbid: <%s>");
}

EOSSTS CDbc::EnterLexiconId(OsXmlCallback* a_posxmlcallback) {
  if (LookupField(a_posxmlcallback, s_uFieldLexicon) != OS_STS_SUCCESS) return OS_STS_FAIL;
  return OutElement("c", a_posxmlcallback->szData);
}

EOSSTS CDbc::EnterTwainLexicon(OsXmlCallback* a_posxmlcallback) {
  if (LookupField(a_posxmlcallback, s_uFieldTwainLexicon) != OS_STS_SUCCESS) return OS_STS_FAIL;
  return OutElement("l", a_posxmlcallback->szData);
}

EOSSTS CDbc::EnterTwainGroup(OsXmlCallback* a_posxmlcallback) {
  if (!*a_posxmlcallback->szData) {
    OsLog(OS_LOG_ERROR, "Item must have a group...");
    return OS_STS_FAIL;
  }
  if (LookupField(a_posxmlcallback, s_uFieldGroup) != OS_STS_SUCCESS) return OS_STS_FAIL;
  return LookupNameValue(a_posxmlcallback->szData, nullptr, "k", "\r\nUnrecognized TWAIN conversion: %s");
}

EOSSTS CDbc::EnterEnum(OsXmlCallback* a_posxmlcallback) {
  if ((m_uFields & s_uFieldDbId) == 0) return LookupField(a_posxmlcallback, 0);
  return Out("<Z>");
}

EOSSTS CDbc::ExitEnum(OsXmlCallback*) { return Out("</Z>"); }

EOSSTS CDbc::EnterDbIdEnum(OsXmlCallback* a_posxmlcallback) {
  ++m_i64Values;
  ++m_iItemValues;
  return LookupNameValue(a_posxmlcallback->szData, "l", "m", "\r\nUnrecognized edbid enumeration: %s");
}

EOSSTS CDbc::EnterLexiconIdEnum(OsXmlCallback* a_posxmlcallback) {
  ++m_iItemLexicons;
  return OutElement("n", a_posxmlcallback->szData);
}

EOSSTS CDbc::ExitLookupItem(OsXmlCallback*) {
  if (m_uFields != s_uFieldsAll) {
    OsLog(OS_LOG_ERROR, "Missing field...0x%0x", m_uFields);
    return OS_STS_FAIL;
  }
  if (m_iItemValues != m_iItemLexicons) {
    OsLog(OS_LOG_ERROR, "Mismatch of db/lx fields in enum...%d %d", m_iItemValues, m_iItemLexicons);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}
