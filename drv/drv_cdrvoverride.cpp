// The override document's grammar, reader and callbacks.
#include "drv_cdrvoverride.h"

#include <cstring>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "db_cdblookup.h"
#include "os_coslog.h"

namespace {

const char s_szOverrideGrammar[] =
    "<override enter='override.EnterOverride' exit='override.ExitOverride'>"
    "<documenttype enter='override.EnterDocumenttype'></documenttype>"
    "<ecdo enter='override.EnterEcdo'></ecdo>"
    "</override>";

// A document is a few elements; the reader grows its tables in steps this
// large.
constexpr long s_lAtomIncrement = 2048;

CDatabase* Database(const OsXmlCallback* a_posxmlcallback) {
  auto* pdatabase = static_cast<CDatabase*>(a_posxmlcallback->pvArg);
  if (!pdatabase) OsLog(OS_LOG_ERROR, "a_pdatabase is null...");
  return pdatabase;
}

const char* Text(const OsXmlCallback* a_posxmlcallback) {
  return a_posxmlcallback->szData ? a_posxmlcallback->szData : "";
}

// The number of the first entry of a list with that name; 0 for none. The
// list ends at the first entry numbered 0 or without a name, as the rules
// that write the dropout read it.
template <size_t N>
uint32_t FindEcdo(const DbEcdoRecord (&a_adbecdorecord)[N], const char* a_szName) {
  for (const DbEcdoRecord& dbecdorecord : a_adbecdorecord) {
    if (dbecdorecord.u32Value == 0 || !dbecdorecord.szName[0]) break;
    if (std::strncmp(dbecdorecord.szName, a_szName, sizeof dbecdorecord.szName) == 0) return dbecdorecord.u32Value;
  }
  return 0;
}

}  // namespace

COverride::COverride() : m_szGrammar(s_szOverrideGrammar), m_blLoadGrammar(true) {}

EOSSTS COverride::SetupDispatchTemplate() {
  if (!m_blLoadGrammar) return OS_STS_SUCCESS;
  EOSSTS eossts = m_osxml.DispatchAddObject("override", "COverride", this);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DispatchAddObject failed...<%d>", static_cast<int>(eossts));
    return eossts;
  }
  eossts = m_osxml.DispatchLoad(m_szGrammar);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DispatchLoad failed...<%d>", static_cast<int>(eossts));
    return eossts;
  }
  m_blLoadGrammar = false;
  return OS_STS_SUCCESS;
}

// A document of another root would walk no element of the grammar and
// change nothing: it is refused instead of being taken for an empty
// override.
EOSSTS COverride::Process(const char* a_szXml, CDatabase* a_pdatabase) {
  if (!a_szXml || !a_pdatabase) {
    OsLog(OS_LOG_ERROR, "a_szXml or a_pdatabase is null...");
    return OS_STS_BAD_ARGUMENT;
  }
  m_osxml.SetAtomIncrement(s_lAtomIncrement);
  m_osxml.SetDispatchAtomIncrement(s_lAtomIncrement);
  CDbLockGuard dblockguard;
  EOSSTS eossts = m_osxml.DocumentLoad(a_szXml);
  if (eossts == OS_STS_SUCCESS) {
    char szRoot[16] = {};
    if (m_osxml.NodeGetName(szRoot, sizeof szRoot) != OS_STS_SUCCESS || std::strcmp(szRoot, "override") != 0) {
      OsLog(OS_LOG_ERROR, "Not an override document...<%s>", szRoot);
      eossts = OS_STS_FAIL;
    }
  }
  if (eossts == OS_STS_SUCCESS) eossts = m_osxml.Dispatch(a_pdatabase);
  if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "DocumentLoadAndDispatch failed...<%d>", static_cast<int>(eossts));
  m_osxml.DocumentFree();
  return eossts;
}

EOSSTS COverride::EnterOverride(OsXmlCallback* a_posxmlcallback) {
  CDatabase* pdatabase = Database(a_posxmlcallback);
  if (!pdatabase) return OS_STS_FAIL;
  *pdatabase->GetOverride() = {};
  return OS_STS_SUCCESS;
}

EOSSTS COverride::ExitOverride(OsXmlCallback*) { return OS_STS_SUCCESS; }

EOSSTS COverride::EnterDocumenttype(OsXmlCallback* a_posxmlcallback) {
  CDatabase* pdatabase = Database(a_posxmlcallback);
  if (!pdatabase) return OS_STS_FAIL;
  DbLookup2* pdblookup2 = pdatabase->LookupEdbid(DB_ID_DOCUMENTTYPE);
  if (!pdblookup2) {
    OsLog(OS_LOG_ERROR, "Unable to find lookup for DB_ID_DOCUMENTTYPE");
    return OS_STS_FAIL;
  }
  const DbLookupEnum* pdblookupenum = pdatabase->LookupLexiconEnum(pdblookup2, Text(a_posxmlcallback));
  if (!pdblookupenum) {
    OsLog(OS_LOG_ERROR, "Unable to find LookupLexiconEnum for %.64s", Text(a_posxmlcallback));
    return OS_STS_FAIL;
  }
  pdatabase->GetOverride()->u32DocumentType = static_cast<uint32_t>(pdblookupenum->lValue);
  return OS_STS_SUCCESS;
}

// A dropout the user learnt takes precedence over the scanner's own of the
// same name. Each match sets its own word only.
EOSSTS COverride::EnterEcdo(OsXmlCallback* a_posxmlcallback) {
  CDatabase* pdatabase = Database(a_posxmlcallback);
  if (!pdatabase) return OS_STS_FAIL;
  const char* szName = Text(a_posxmlcallback);
  DbOverride* pdboverride = pdatabase->GetOverride();
  if (const uint32_t u32 = FindEcdo(pdatabase->DeviceGetEcdoCustomHeader()->adbecdorecord, szName); u32 != 0) {
    pdboverride->u32EcdoCustom = u32;
    return OS_STS_SUCCESS;
  }
  if (const uint32_t u32 = FindEcdo(pdatabase->DeviceGetEcdoHeader()->adbecdorecord, szName); u32 != 0) {
    pdboverride->u32Ecdo = u32;
    return OS_STS_SUCCESS;
  }
  OsLog(OS_LOG_ERROR, "Unable to find ecdo for %.64s", szName);
  return OS_STS_FAIL;
}

#define DRV_DEFINE_OVERRIDE_FORWARDER(name)                                             \
  EOSSTS COverride::COverride_##name(OsXmlCallback* a_posxmlcallback) {                 \
    return static_cast<COverride*>(a_posxmlcallback->pvObject)->name(a_posxmlcallback); \
  }
DRV_DEFINE_OVERRIDE_FORWARDER(EnterOverride)
DRV_DEFINE_OVERRIDE_FORWARDER(ExitOverride)
DRV_DEFINE_OVERRIDE_FORWARDER(EnterDocumenttype)
DRV_DEFINE_OVERRIDE_FORWARDER(EnterEcdo)
#undef DRV_DEFINE_OVERRIDE_FORWARDER
