// Loading the LOOKUP resource: the copy of its text, the walk of its
// records with the element handlers, binding the records to the datums and
// the sorted indexes. Every record and value index is checked against the
// counts the root announced, so a malformed resource is refused whole and
// nothing is left half-bound.
#include <algorithm>
#include <cstring>

#include "db_cdbdatum.h"
#include "db_cdblookupimpl.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosresource.h"
#include "os_cosstring.h"

namespace {

constexpr size_t s_sizetSpare = 65536;
constexpr long s_lAtomIncrement = 16384;
// The shortest form of a value ("<l></l><m></m><n></n>"): no document holds
// more values than its size allows, whatever its root announces.
constexpr size_t s_sizetEnumMin = 21;

constexpr char s_szGrammar[] =
    "<lookup enter='this.EnterLookup'><a enter='this.EnterSetSzDbId'></a><b enter='this.EnterSetDbId'></b>"
    "<c enter='this.EnterSetLexicon'></c><k enter='this.EnterSetTwainGroup'></k>"
    "<l enter='this.EnterSetTwainLexicon'></l><Z><l enter='this.EnterSetSzDbIdEnum'></l>"
    "<m enter='this.EnterSetDbIdEnum'></m><n enter='this.EnterSetLexiconEnum'></n></Z></lookup>";

// A number of the compiled formats: hexadecimal, 32-bit two's complement.
long Number32(const char* a_szHex) {
  return static_cast<int32_t>(static_cast<uint32_t>(COsString::StrToFastHex(a_szHex ? a_szHex : "")));
}

// A name index: by name, and among equal names by descending id.
void SortByName(DbLookup2** a_apdblookup2, long a_lCount, const char* DbLookup2::*a_pszField) {
  std::stable_sort(a_apdblookup2, a_apdblookup2 + a_lCount, [&](const DbLookup2* a, const DbLookup2* b) {
    const int iOrder = std::strcmp(a->*a_pszField, b->*a_pszField);
    return iOrder != 0 ? iOrder < 0 : a->edbid > b->edbid;
  });
}

CDbLookupImpl* Self(OsXmlCallback* a_posxmlcallback) {
  return static_cast<CDbLookupImpl*>(a_posxmlcallback->pvObject);
}

// Reads a count of the root: at most six hexadecimal digits.
bool ReadCount(COsXml* a_posxml, const char* a_szName, long* a_plCount) {
  char szValue[16] = {};
  if (a_posxml->NodeGetProperty(a_szName, szValue, sizeof szValue) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "NodeGetProperty failed...");
    return false;
  }
  const size_t sizetDigits = std::strspn(szValue, "0123456789abcdefABCDEF");
  if (sizetDigits == 0 || sizetDigits > 6 || szValue[sizetDigits]) {
    OsLog(OS_LOG_ERROR, "bad count...%s='%s'", a_szName, szValue);
    return false;
  }
  *a_plCount = static_cast<long>(COsString::StrToFastHex(szValue));
  return true;
}

}  // namespace

CDbLookupImpl::~CDbLookupImpl() { Close(); }

// ---------------------------------------------------------------------------
// Blocks: page-granular while the memory service runs, so that the text and
// the records can be made read-only once loaded.
// ---------------------------------------------------------------------------
void* CDbLookupImpl::AllocPages(size_t a_sizetBytes) {
  if (g_posmem) return g_posmem->Alloc(a_sizetBytes, __FILE__, __LINE__, OS_LOG_MEMVIRTUAL);
  return OsMemAlloc(a_sizetBytes);
}

// Page blocks go back to the memory service that made them; once it is gone
// they are left alone (the heap cannot take them).
void CDbLookupImpl::FreePages(void*& a_pv) {
  if (!a_pv) return;
  if (!m_blPages) {
    OsMemFree(a_pv);
  } else if (g_posmem) {
    g_posmem->Free(a_pv, __FILE__, __LINE__, OS_LOG_MEMVIRTUAL);
  } else {
    OsLog(OS_LOG_ERROR, "g_posmem is null, block kept...%p", a_pv);
  }
  a_pv = nullptr;
}

void CDbLookupImpl::SetAccess(void* a_pv, EOSMEMACCESS a_eosmemaccess) {
  if (a_pv && m_blPages && g_posmem) g_posmem->SetAccess(a_pv, a_eosmemaccess);
}

// The text stays read-only: a repointed text lives elsewhere.
void CDbLookupImpl::SetWritable(bool a_blWritable) {
  const EOSMEMACCESS eosmemaccess = a_blWritable ? OS_MEMACCESS_READWRITE : OS_MEMACCESS_READONLY;
  SetAccess(m_pdblookup2, eosmemaccess);
  SetAccess(m_pdblookupenum, eosmemaccess);
}

long CDbLookupImpl::RepointEnums(DbLookup2* a_pdblookup2, const DbLookupEnumTexts* a_pdblookupenumtexts,
                                 long a_lCount) {
  if (!a_pdblookup2 || !a_pdblookupenumtexts) {
    OsLog(OS_LOG_ERROR, "a_pdblookup2 is NULL...");
    return 0;
  }
  long lRepointed = 0;
  SetWritable(true);
  for (long l = 0; l < a_lCount; ++l) {
    const DbLookupEnumTexts& dblookupenumtexts = a_pdblookupenumtexts[l];
    DbLookupEnum* pdblookupenum = FindDbEnum(a_pdblookup2, dblookupenumtexts.lValue);
    if (!pdblookupenum) continue;
    if (dblookupenumtexts.szLexiconEnum) pdblookupenum->szLexiconEnum = dblookupenumtexts.szLexiconEnum;
    if (dblookupenumtexts.szLabel) pdblookupenum->szLabel = dblookupenumtexts.szLabel;
    ++lRepointed;
  }
  SetWritable(false);
  return lRepointed;
}

// ---------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------
void CDbLookupImpl::Close() {
  if (m_blBound && CDbDatum::ms_pdatumcommon) {
    // Only the pointers into these records are taken back.
    const DbLookup2* pdblookup2End = m_pdblookup2 + m_lRecordsAllocated;
    for (auto& apdbdatumWindow : CDbDatum::ms_pdatumcommon->apdbdatum) {
      for (auto& apdbdatumId : apdbdatumWindow) {
        for (CDbDatum* pdbdatum : apdbdatumId) {
          if (pdbdatum && pdbdatum->GetLookup() >= m_pdblookup2 && pdbdatum->GetLookup() < pdblookup2End)
            pdbdatum->SetLookup(nullptr);
        }
      }
    }
    CDbDatum* pdbdatumBlank = CDbDatum::ms_pdatumcommon->pdbdatumBlank;
    if (pdbdatumBlank && pdbdatumBlank->GetLookup() == m_pdblookup2) pdbdatumBlank->SetLookup(nullptr);
  }
  m_blBound = false;
  void* pv = m_pszText;
  FreePages(pv);
  pv = m_pdblookup2;
  FreePages(pv);
  pv = m_pdblookupenum;
  FreePages(pv);
  m_pszText = nullptr;
  m_pdblookup2 = nullptr;
  m_pdblookupenum = nullptr;
  m_pszDocument = nullptr;
  m_sizetText = m_sizetDocument = 0;
  m_lRecordsAllocated = m_lEnumsAllocated = 0;
  m_lIdCount = m_lLexiconCount = m_lTwainLexiconCount = 0;
  m_lRecord = m_lEnum = -1;
  m_edbapi = static_cast<EDBAPI>(0);
  OsMemDelete(m_posxml);
}

EOSSTS CDbLookupImpl::CopyText(const char* a_szModule, const void* a_pvData, unsigned long a_ulSize) {
  const void* pvSource = a_pvData;
  size_t sizetSource = a_ulSize;
  COsResource osresource;
  if (!pvSource) {
    if (osresource.Open(a_szModule ? a_szModule : OS_RESOURCE_LOCAL, m_szResource, OS_RESOURCETYPE_DATA) !=
        OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "Error finding API...%s", m_szResource);
      return OS_STS_BAD_ARGUMENT_SYNC;
    }
    pvSource = osresource.GetPointer();
    sizetSource = static_cast<size_t>(osresource.GetSize());
  }
  m_blPages = g_posmem != nullptr;
  m_pszText = static_cast<char*>(AllocPages(sizetSource + s_sizetSpare));
  if (!m_pszText) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
    return OS_STS_BAD_ARGUMENT_SYNC;
  }
  if (sizetSource) std::memcpy(m_pszText, pvSource, sizetSource);
  m_sizetText = sizetSource;
  // A byte-order mark is skipped; the compiler never writes one.
  const size_t sizetBom = sizetSource > 0 && static_cast<unsigned char>(m_pszText[0]) == 0xEF
                              ? std::min<size_t>(3, sizetSource)
                              : 0;
  m_pszDocument = m_pszText + sizetBom;
  m_sizetDocument = sizetSource - sizetBom;
  return OS_STS_SUCCESS;
}

EOSSTS CDbLookupImpl::Open2(EDBAPI a_edbapi, const char* a_szModule, const void* a_pvData, unsigned long a_ulSize,
                            bool a_blBind) {
  Close();
  m_edbapi = a_edbapi;
  if (a_edbapi != DB_API_RESOURCE) {
    OsLog(OS_LOG_ERROR, "Unrecognized API...%d", a_edbapi);
    return OS_STS_BAD_ARGUMENT_SYNC;
  }
  COsString::SStrCpy(m_szResource, sizeof m_szResource, "LOOKUP");
  EOSSTS eossts = CopyText(a_szModule, a_pvData, a_ulSize);
  if (eossts == OS_STS_SUCCESS) eossts = Parse();
  OsMemDelete(m_posxml);
  if (eossts != OS_STS_SUCCESS) {
    Close();  // nothing was bound yet
    return eossts;
  }
  if (a_blBind) Bind();
  BuildIndexes();
  SetAccess(m_pszText, OS_MEMACCESS_READONLY);
  SetWritable(false);
  if (g_poslog && g_poslog->GetIsDump()) Dump(nullptr);
  return OS_STS_SUCCESS;
}

EOSSTS CDbLookupImpl::Parse() {
  m_posxml = OsMemNew(COsXml);
  if (!m_posxml) {
    OsLog(OS_LOG_ASSERT, "OsMemNew failed...");
    return OS_STS_FAIL;
  }
  m_posxml->SetAtomIncrement(s_lAtomIncrement);
  if (m_posxml->DocumentLoad(m_pszDocument, static_cast<long>(m_sizetDocument)) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DocumentLoad failed...");
    return OS_STS_FAIL;
  }
  if (m_posxml->DispatchAddObject("this", "CDbLookupImpl", this) != OS_STS_SUCCESS ||
      m_posxml->DispatchLoad(s_szGrammar) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "ParseLoad failed...");
    return OS_STS_FAIL;
  }
  // A document whose root is not "lookup" reaches no handler and holds nothing.
  if (m_posxml->Dispatch(nullptr) != OS_STS_SUCCESS || !m_pdblookup2) {
    OsLog(OS_LOG_ERROR, "Parse failed...");
    return OS_STS_FAIL;
  }
  m_lRecord += 1;  // the index of the last record becomes the count
  return OS_STS_SUCCESS;
}

// The index entry of the table holds the record block; every datum of a
// recorded id gets its record, the windows 1..10 only where window 1 has a
// datum of its own.
void CDbLookupImpl::Bind() {
  if (!CDbDatum::ms_pdatumcommon) {
    OsLog(OS_LOG_ERROR, "ms_pdatumcommon is null...");
    return;
  }
  CDbDatum* pdbdatumIndex = CDbDatum::DbDatumFindQuick(0, DB_ID_UNDEFINED, DB_BIN_SEARCH);
  if (pdbdatumIndex) pdbdatumIndex->SetLookup(m_pdblookup2);
  auto& apdbdatum = CDbDatum::ms_pdatumcommon->apdbdatum;
  for (long l = 0; l < m_lRecord; ++l) {
    DbLookup2* pdblookup2 = &m_pdblookup2[l];
    const int iId = pdblookup2->edbid;
    if (iId == DB_ID_UNDEFINED) continue;
    for (int iBin = 0; iBin < DB_BIN_COUNT; ++iBin) {
      if (apdbdatum[0][iId][iBin]) apdbdatum[0][iId][iBin]->SetLookup(pdblookup2);
      if (!apdbdatum[1][iId][iBin]) continue;
      for (int iWindow = 1; iWindow < DB_WINDOW_COUNT; ++iWindow) {
        if (apdbdatum[iWindow][iId][iBin]) apdbdatum[iWindow][iId][iBin]->SetLookup(pdblookup2);
      }
    }
  }
  m_blBound = true;
}

// Among records that share a name the highest id comes first, so that a
// search answers the same record whatever their order in the file: "printer"
// names the cartridge sensor (39) and the imprinter (193), and means the
// imprinter, whose values it carries.
void CDbLookupImpl::BuildIndexes() {
  for (long l = 0; l < m_lRecord; ++l) {
    DbLookup2* pdblookup2 = &m_pdblookup2[l];
    if (pdblookup2->edbid != DB_ID_UNDEFINED) m_apdblookup2Id[m_lIdCount++] = pdblookup2;
    if (pdblookup2->szLexicon && pdblookup2->szLexicon[0]) m_apdblookup2Lexicon[m_lLexiconCount++] = pdblookup2;
    if (pdblookup2->szTwainLexicon && pdblookup2->szTwainLexicon[0])
      m_apdblookup2TwainLexicon[m_lTwainLexiconCount++] = pdblookup2;
  }
  std::stable_sort(m_apdblookup2Id, m_apdblookup2Id + m_lIdCount,
                   [](const DbLookup2* a, const DbLookup2* b) { return a->edbid < b->edbid; });
  SortByName(m_apdblookup2Lexicon, m_lLexiconCount, &DbLookup2::szLexicon);
  SortByName(m_apdblookup2TwainLexicon, m_lTwainLexiconCount, &DbLookup2::szTwainLexicon);
}

// ---------------------------------------------------------------------------
// Element handlers
// ---------------------------------------------------------------------------
DbLookup2* CDbLookupImpl::CurrentRecord(const char* a_szElement) {
  if (m_lRecord >= 0 && m_lRecord < m_lRecordsAllocated) return &m_pdblookup2[m_lRecord];
  OsLog(OS_LOG_ERROR, "<%s> outside a record...", a_szElement);
  return nullptr;
}

// A value element belongs to the value its <l> began, in the current record.
DbLookupEnum* CDbLookupImpl::CurrentEnum(const char* a_szElement) {
  DbLookup2* pdblookup2 = CurrentRecord(a_szElement);
  if (!pdblookup2) return nullptr;
  if (m_lEnum >= 0 && m_lEnum < m_lEnumsAllocated && pdblookup2->lEnumCount > 0) return &m_pdblookupenum[m_lEnum];
  OsLog(OS_LOG_ERROR, "<%s> outside a value...", a_szElement);
  return nullptr;
}

const char* CDbLookupImpl::ContentText(OsXmlCallback* a_posxmlcallback) {
  long lOffset = 0;
  long lSize = 0;
  if (a_posxmlcallback->posxml->NodeGetContentLocation(&lOffset, &lSize) != OS_STS_SUCCESS || lOffset < 0 ||
      lSize < 0 || static_cast<size_t>(lOffset) + static_cast<size_t>(lSize) > m_sizetDocument) {
    OsLog(OS_LOG_ERROR, "NodeGetContentLocation failed...");
    return nullptr;
  }
  char* pc = m_pszDocument + lOffset;
  pc[lSize] = '\0';
  return pc;
}

EOSSTS CDbLookupImpl::EnterLookup(OsXmlCallback* a_posxmlcallback) {
  void* pv = m_pdblookup2;
  FreePages(pv);
  pv = m_pdblookupenum;
  FreePages(pv);
  m_pdblookup2 = nullptr;
  m_pdblookupenum = nullptr;
  m_lRecord = m_lEnum = -1;
  m_lRecordsAllocated = m_lEnumsAllocated = 0;
  long lRecords = 0;
  long lEnums = 0;
  if (!ReadCount(a_posxmlcallback->posxml, "records", &lRecords) ||
      !ReadCount(a_posxmlcallback->posxml, "enums", &lEnums)) {
    return OS_STS_FAIL;
  }
  // The counts are one less than the number of records and values.
  if (lRecords + 1 > s_lIndexMax) {
    OsLog(OS_LOG_ERROR, "too many records...%ld > %ld", lRecords + 1, s_lIndexMax);
    return OS_STS_FAIL;
  }
  if (static_cast<size_t>(lEnums + 1) * s_sizetEnumMin > m_sizetDocument) {
    OsLog(OS_LOG_ERROR, "more values announced than the document holds...%ld", lEnums + 1);
    return OS_STS_FAIL;
  }
  m_pdblookup2 = static_cast<DbLookup2*>(AllocPages(static_cast<size_t>(lRecords + 1) * sizeof(DbLookup2)));
  m_pdblookupenum = static_cast<DbLookupEnum*>(AllocPages(static_cast<size_t>(lEnums + 1) * sizeof(DbLookupEnum)));
  if (!m_pdblookup2 || !m_pdblookupenum) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
    return OS_STS_FAIL;
  }
  m_lRecordsAllocated = lRecords + 1;
  m_lEnumsAllocated = lEnums + 1;
  return OS_STS_SUCCESS;
}

EOSSTS CDbLookupImpl::EnterSetSzDbId(OsXmlCallback* a_posxmlcallback) {
  if (m_lRecord + 1 >= m_lRecordsAllocated) {
    OsLog(OS_LOG_ERROR, "more records than announced...%ld", m_lRecordsAllocated);
    return OS_STS_FAIL;
  }
  DbLookup2* pdblookup2 = &m_pdblookup2[++m_lRecord];
  pdblookup2->lEnumCount = 0;
  pdblookup2->szDbId = ContentText(a_posxmlcallback);
  return pdblookup2->szDbId ? OS_STS_SUCCESS : OS_STS_FAIL;
}

EOSSTS CDbLookupImpl::EnterSetDbId(OsXmlCallback* a_posxmlcallback) {
  DbLookup2* pdblookup2 = CurrentRecord("b");
  if (!pdblookup2) return OS_STS_FAIL;
  long lId = Number32(a_posxmlcallback->szData);
  if (lId < DB_ID_UNDEFINED || lId > DB_ID_LAST) {
    OsLog(OS_LOG_ERROR, "Bad a_edbid...%ld", lId);
    return OS_STS_FAIL;
  }
  pdblookup2->edbid = static_cast<EDBID>(lId);
  return OS_STS_SUCCESS;
}

EOSSTS CDbLookupImpl::EnterSetLexicon(OsXmlCallback* a_posxmlcallback) {
  DbLookup2* pdblookup2 = CurrentRecord("c");
  if (!pdblookup2) return OS_STS_FAIL;
  pdblookup2->szLexicon = ContentText(a_posxmlcallback);
  return pdblookup2->szLexicon ? OS_STS_SUCCESS : OS_STS_FAIL;
}

EOSSTS CDbLookupImpl::EnterSetTwainGroup(OsXmlCallback* a_posxmlcallback) {
  DbLookup2* pdblookup2 = CurrentRecord("k");
  if (!pdblookup2) return OS_STS_FAIL;
  pdblookup2->lTwainGroup |= COsString::StrToFastHex(a_posxmlcallback->szData ? a_posxmlcallback->szData : "");
  return OS_STS_SUCCESS;
}

EOSSTS CDbLookupImpl::EnterSetTwainLexicon(OsXmlCallback* a_posxmlcallback) {
  DbLookup2* pdblookup2 = CurrentRecord("l");
  if (!pdblookup2) return OS_STS_FAIL;
  pdblookup2->szTwainLexicon = ContentText(a_posxmlcallback);
  return pdblookup2->szTwainLexicon ? OS_STS_SUCCESS : OS_STS_FAIL;
}

EOSSTS CDbLookupImpl::EnterSetSzDbIdEnum(OsXmlCallback* a_posxmlcallback) {
  DbLookup2* pdblookup2 = CurrentRecord("Z");
  if (!pdblookup2) return OS_STS_FAIL;
  if (m_lEnum + 1 >= m_lEnumsAllocated) {
    OsLog(OS_LOG_ERROR, "more values than announced...%ld", m_lEnumsAllocated);
    return OS_STS_FAIL;
  }
  DbLookupEnum* pdblookupenum = &m_pdblookupenum[++m_lEnum];
  if (++pdblookup2->lEnumCount == 1) pdblookup2->pEnums = pdblookupenum;
  pdblookupenum->szDbIdEnum = ContentText(a_posxmlcallback);
  return pdblookupenum->szDbIdEnum ? OS_STS_SUCCESS : OS_STS_FAIL;
}

EOSSTS CDbLookupImpl::EnterSetDbIdEnum(OsXmlCallback* a_posxmlcallback) {
  DbLookupEnum* pdblookupenum = CurrentEnum("m");
  if (!pdblookupenum) return OS_STS_FAIL;
  pdblookupenum->lValue = Number32(a_posxmlcallback->szData);
  return OS_STS_SUCCESS;
}

EOSSTS CDbLookupImpl::EnterSetLexiconEnum(OsXmlCallback* a_posxmlcallback) {
  DbLookupEnum* pdblookupenum = CurrentEnum("n");
  if (!pdblookupenum) return OS_STS_FAIL;
  pdblookupenum->szLexiconEnum = ContentText(a_posxmlcallback);
  return pdblookupenum->szLexiconEnum ? OS_STS_SUCCESS : OS_STS_FAIL;
}

EOSSTS CDbLookupImpl::CDbLookupImpl_EnterLookup(OsXmlCallback* a_p) { return Self(a_p)->EnterLookup(a_p); }
EOSSTS CDbLookupImpl::CDbLookupImpl_EnterSetSzDbId(OsXmlCallback* a_p) { return Self(a_p)->EnterSetSzDbId(a_p); }
EOSSTS CDbLookupImpl::CDbLookupImpl_EnterSetDbId(OsXmlCallback* a_p) { return Self(a_p)->EnterSetDbId(a_p); }
EOSSTS CDbLookupImpl::CDbLookupImpl_EnterSetLexicon(OsXmlCallback* a_p) { return Self(a_p)->EnterSetLexicon(a_p); }
EOSSTS CDbLookupImpl::CDbLookupImpl_EnterSetTwainGroup(OsXmlCallback* a_p) {
  return Self(a_p)->EnterSetTwainGroup(a_p);
}
EOSSTS CDbLookupImpl::CDbLookupImpl_EnterSetTwainLexicon(OsXmlCallback* a_p) {
  return Self(a_p)->EnterSetTwainLexicon(a_p);
}
EOSSTS CDbLookupImpl::CDbLookupImpl_EnterSetSzDbIdEnum(OsXmlCallback* a_p) {
  return Self(a_p)->EnterSetSzDbIdEnum(a_p);
}
EOSSTS CDbLookupImpl::CDbLookupImpl_EnterSetDbIdEnum(OsXmlCallback* a_p) { return Self(a_p)->EnterSetDbIdEnum(a_p); }
EOSSTS CDbLookupImpl::CDbLookupImpl_EnterSetLexiconEnum(OsXmlCallback* a_p) {
  return Self(a_p)->EnterSetLexiconEnum(a_p);
}
