// Loading the label table: the language is chosen from the column list of
// the LABELS resource, the labels are read with the resource reader into a
// block sized from the record count plus the resource (every string is
// shorter than its element there), then sorted by tag.
#include "db_cdblabelimpl.h"

#include <algorithm>
#include <cstring>

#include "db_cdbresource.h"
#include "os_coslocale.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosresource.h"
#include "os_cosstring.h"

const char CDbLabelImpl::s_szUnknown[] = "???";

namespace {

constexpr const char* s_szEnglish = "en_usa";
constexpr int s_iColumnDigits = 8;

// Get by index hands out this buffer; calls must not overlap.
char s_szGet[CDbLabelImpl::s_sizetGet];

// The first occurrence of the text in [a_pcBegin, a_pcEnd), or null.
const char* FindText(const char* a_pcBegin, const char* a_pcEnd, const char* a_szText) {
  if (!a_pcBegin || a_pcBegin >= a_pcEnd) return nullptr;
  const void* pv = memmem(a_pcBegin, static_cast<size_t>(a_pcEnd - a_pcBegin), a_szText, std::strlen(a_szText));
  return static_cast<const char*>(pv);
}

// Candidate number a_i of the language list: the current language, its
// fallbacks, US English last; English alone before the service exists.
const char* Candidate(int a_i) {
  if (g_poslocale) return g_poslocale->FindLanguageName(a_i, OS_LANGFIND_ENGLISH);
  return a_i == 0 ? s_szEnglish : nullptr;
}

void* AllocBlock(size_t a_sizetBytes, bool* a_pblPages) {
  *a_pblPages = g_posmem != nullptr;
  if (g_posmem) return g_posmem->Alloc(a_sizetBytes, __FILE__, __LINE__, OS_LOG_MEMVIRTUAL);
  return OsMemAlloc(a_sizetBytes);
}

}  // namespace

CDbLabelImpl::~CDbLabelImpl() { Close(); }

// ---------------------------------------------------------------------------
// Open and load
// ---------------------------------------------------------------------------
EOSSTS CDbLabelImpl::Open() {
  const char* szLanguage = g_poslocale ? g_poslocale->GetLanguageName() : s_szEnglish;
  if (!szLanguage) szLanguage = s_szEnglish;
  if (m_szLanguage[0] && std::strncmp(m_szLanguage, szLanguage, s_sizetLanguage - 1) == 0) {
    OsLogDebug(OS_LOG_INFO, "Language strings already loaded %s", szLanguage);
    // A lookup loaded again since has records without labels: they get the
    // table's labels, which need no new load.
    if (LookupUnlabelled()) WriteLookup(false);
    return OS_STS_SUCCESS;
  }
  return Load(szLanguage);
}

EOSSTS CDbLabelImpl::Load(const char* a_szLanguage) {
  COsResource osresource;
  if (osresource.Open(OS_RESOURCE_LOCAL, "LABELS", OS_RESOURCETYPE_DATA) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Error finding LABELS resource...");
    return OS_STS_FAIL;
  }
  const void* pvResource = osresource.GetPointer();
  const size_t sizetResource = static_cast<size_t>(osresource.GetSize());
  long lColumn = 0;
  EOSSTS eossts = ChooseColumn(static_cast<const char*>(pvResource), sizetResource, &lColumn);
  Table table;
  if (eossts == OS_STS_SUCCESS) eossts = BuildTable(pvResource, sizetResource, lColumn, &table);
  osresource.Close();
  if (eossts != OS_STS_SUCCESS) {
    FreeTable(&table);
    return eossts;
  }
  // The lookup records move to the new table before the old one goes.
  Table tableOld = m_table;
  m_table = table;
  WriteLookup(false);
  FreeTable(&tableOld);
  if (m_table.blPages && g_posmem) g_posmem->SetAccess(m_table.pdblabelentry, OS_MEMACCESS_READONLY);
  if (g_poslog && g_poslog->GetIsDump()) Dump(nullptr);
  COsString::SStrNcpy(m_szLanguage, sizeof m_szLanguage, a_szLanguage ? a_szLanguage : "", s_sizetLanguage - 1);
  return OS_STS_SUCCESS;
}

// The column list runs from "<a>bytes=" to "<endlangs>"; each language's
// element holds "bytes=<count>,<column>".
EOSSTS CDbLabelImpl::ChooseColumn(const char* a_pcResource, size_t a_sizetResource, long* a_plColumn) {
  const char* pcEnd = a_pcResource + a_sizetResource;
  const char* pcColumns = FindText(a_pcResource, pcEnd, "<a>bytes=");
  const char* pcEndLangs = FindText(pcColumns, pcEnd, "<endlangs>");
  if (!pcEndLangs) {
    OsLog(OS_LOG_ERROR, "Load: Invalid file format");
    return OS_STS_FAIL;
  }
  const char* pcLanguage = nullptr;
  for (int i = 0; !pcLanguage; ++i) {
    const char* szCandidate = Candidate(i);
    if (!szCandidate) {
      OsLog(OS_LOG_ERROR, "Load: English not found, so bail...");
      return OS_STS_FAIL;
    }
    OsLogDebug(OS_LOG_INFO, "Open: check for language %s", szCandidate);
    char szElement[32];
    if (COsString::SStrPrintf(szElement, sizeof szElement, "<%s>", szCandidate) > 0)
      pcLanguage = FindText(pcColumns, pcEndLangs, szElement);
  }
  // The column number ends the element; column 0 and a missing number
  // select the first language.
  const char* pcBytes = FindText(pcLanguage, pcEndLangs, ">bytes=");
  const char* pcElementEnd = pcBytes ? FindText(pcBytes + 1, pcEndLangs, "<") : nullptr;
  const char* pcComma =
      pcElementEnd ? static_cast<const char*>(std::memchr(pcBytes, ',', static_cast<size_t>(pcElementEnd - pcBytes)))
                   : nullptr;
  *a_plColumn = 0;
  if (!pcComma) {
    OsLog(OS_LOG_ERROR, "Couldn't find the comma, using first language..");
  } else {
    char szDigits[s_iColumnDigits + 1] = {};
    const size_t sizetDigits = std::min<size_t>(static_cast<size_t>(pcElementEnd - pcComma - 1), s_iColumnDigits);
    std::memcpy(szDigits, pcComma + 1, sizetDigits);
    *a_plColumn = static_cast<long>(COsString::StrToFastHex(szDigits));
  }
  if (*a_plColumn < 1) *a_plColumn = 1;
  return OS_STS_SUCCESS;
}

EOSSTS CDbLabelImpl::BuildTable(const void* a_pvResource, size_t a_sizetResource, long a_lColumn, Table* a_ptable) {
  CDbResource dbresource;
  Build build = {a_ptable, &dbresource, a_sizetResource, a_lColumn};
  EOSSTS eossts = dbresource.ReadLabels(a_pvResource, a_sizetResource, CollectLabel, &build);
  if (eossts == OS_STS_SUCCESS && !a_ptable->pdblabelentry) eossts = Reserve(&build);  // no labels
  if (eossts != OS_STS_SUCCESS) return eossts;
  std::sort(a_ptable->pdblabelentry, a_ptable->pdblabelentry + a_ptable->lCount,
            [](const DbLabelEntry& a, const DbLabelEntry& b) { return std::strcmp(a.szTag, b.szTag) < 0; });
  return OS_STS_SUCCESS;
}

// The block: one entry more than the root announces (at most the table's
// limit), then room for the whole resource, which holds every string with
// its markup.
EOSSTS CDbLabelImpl::Reserve(Build* a_pbuild) {
  Table* ptable = a_pbuild->ptable;
  ptable->lEntriesMax = std::clamp(a_pbuild->pdbresource->GetRecords(), 0L, s_lEntriesMax) + 1;
  const size_t sizetEntries = static_cast<size_t>(ptable->lEntriesMax) * sizeof(DbLabelEntry);
  ptable->sizetBlock = sizetEntries + a_pbuild->sizetResource;
  ptable->pdblabelentry = static_cast<DbLabelEntry*>(AllocBlock(ptable->sizetBlock, &ptable->blPages));
  if (!ptable->pdblabelentry) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
    return OS_STS_NOROOM_BUFFER;
  }
  ptable->sizetUsed = sizetEntries;
  return OS_STS_SUCCESS;
}

EOSSTS CDbLabelImpl::CollectLabel(const DbResourceLabel* a_pdbresourcelabel, void* a_pvUser) {
  auto* pbuild = static_cast<Build*>(a_pvUser);
  Table* ptable = pbuild->ptable;
  if (!ptable->pdblabelentry) {
    EOSSTS eossts = Reserve(pbuild);
    if (eossts != OS_STS_SUCCESS) return eossts;
  }
  if (ptable->lCount >= ptable->lEntriesMax - 1) {
    if (!ptable->blCut) OsLog(OS_LOG_ERROR, "Load: more than %ld labels, the rest is left out", s_lEntriesMax);
    ptable->blCut = true;
    return OS_STS_SUCCESS;
  }
  if (pbuild->lColumn > a_pdbresourcelabel->lColumns) {
    OsLog(OS_LOG_ERROR, "Load: no column %ld at label <%s>", pbuild->lColumn, a_pdbresourcelabel->szTag);
    return OS_STS_FAIL;
  }
  DbLabelEntry& dblabelentry = ptable->pdblabelentry[ptable->lCount];
  dblabelentry.szTag = CopyString(ptable, a_pdbresourcelabel->szTag);
  dblabelentry.szText = CopyString(ptable, a_pdbresourcelabel->aszText[pbuild->lColumn - 1]);
  dblabelentry.lNumber = 0;
  if (!dblabelentry.szTag || !dblabelentry.szText) {
    OsLog(OS_LOG_ERROR, "Load: label block full...<%s>", a_pdbresourcelabel->szTag);
    return OS_STS_FAIL;
  }
  ++ptable->lCount;
  return OS_STS_SUCCESS;
}

// Null when the string does not fit behind what the block already holds.
const char* CDbLabelImpl::CopyString(Table* a_ptable, const char* a_sz) {
  if (!a_sz) a_sz = "";
  const size_t sizetString = std::strlen(a_sz) + 1;
  if (sizetString > a_ptable->sizetBlock - a_ptable->sizetUsed) return nullptr;
  char* psz = reinterpret_cast<char*>(a_ptable->pdblabelentry) + a_ptable->sizetUsed;
  std::memcpy(psz, a_sz, sizetString);
  a_ptable->sizetUsed += sizetString;
  return psz;
}

// Page blocks go back to the memory service that made them; once it is gone
// they are left alone (the heap cannot take them).
void CDbLabelImpl::FreeTable(Table* a_ptable) {
  if (a_ptable->pdblabelentry) {
    if (!a_ptable->blPages) {
      OsMemFree(a_ptable->pdblabelentry);
    } else if (g_posmem) {
      g_posmem->Free(a_ptable->pdblabelentry, __FILE__, __LINE__, OS_LOG_MEMVIRTUAL);
    } else {
      OsLog(OS_LOG_ERROR, "g_posmem is null, block kept...%p", static_cast<void*>(a_ptable->pdblabelentry));
    }
  }
  *a_ptable = Table();
}

// ---------------------------------------------------------------------------
// Reading and closing
// ---------------------------------------------------------------------------
const char* CDbLabelImpl::Find(const char* a_szTag) const {
  if (!a_szTag || !m_table.pdblabelentry) return nullptr;
  const DbLabelEntry* pdblabelentryBegin = m_table.pdblabelentry;
  const DbLabelEntry* pdblabelentryEnd = pdblabelentryBegin + m_table.lCount;
  const DbLabelEntry* pdblabelentry =
      std::lower_bound(pdblabelentryBegin, pdblabelentryEnd, a_szTag,
                       [](const DbLabelEntry& a, const char* b) { return std::strcmp(a.szTag, b) < 0; });
  return pdblabelentry != pdblabelentryEnd && std::strcmp(pdblabelentry->szTag, a_szTag) == 0 ? pdblabelentry->szText
                                                                                              : nullptr;
}

const char* CDbLabelImpl::Get(const char* a_szTag, long a_lIndex) {
  if (a_lIndex < 0) return Find(a_szTag);
  if (a_lIndex >= m_table.lCount) return nullptr;
  // The tag, its terminator and the text; a text that does not fit is cut.
  const DbLabelEntry& dblabelentry = m_table.pdblabelentry[a_lIndex];
  const size_t sizetTag = std::min(std::strlen(dblabelentry.szTag), s_sizetGet - 2);
  const size_t sizetRoom = s_sizetGet - sizetTag - 2;
  size_t sizetText = std::strlen(dblabelentry.szText);
  if (sizetTag == s_sizetGet - 2 || sizetText > sizetRoom) {
    OsLog(OS_LOG_ERROR, "Get: label cut to %zu bytes <%.64s>", s_sizetGet, dblabelentry.szTag);
    sizetText = std::min(sizetText, sizetRoom);
  }
  std::memcpy(s_szGet, dblabelentry.szTag, sizetTag);
  s_szGet[sizetTag] = '\0';
  std::memcpy(s_szGet + sizetTag + 1, dblabelentry.szText, sizetText);
  s_szGet[sizetTag + 1 + sizetText] = '\0';
  return s_szGet;
}

void CDbLabelImpl::Close() {
  if (m_table.pdblabelentry) WriteLookup(true);
  FreeTable(&m_table);
  m_szLanguage[0] = '\0';
}
