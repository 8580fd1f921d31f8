// The configuration table: key composition, the sorted slots, the plain
// and range records, the dump, and the snapshots that undo a failed reading.
#include "db_cdbconfigimpl.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"

namespace {
// The suffix of each target; the last entry ends the table.
const char* const s_aszEdbconfigtarget[] = {"", "", "_adf", "_flatbed", "", nullptr};

// Keys are composed in a work buffer of this size before they are checked
// against the key field.
constexpr size_t s_sizetWork = 256;

int DbConfigQsort(const void* a_pv1, const void* a_pv2) {
  const auto* p1 = static_cast<const DbConfigRecord*>(a_pv1);
  const auto* p2 = static_cast<const DbConfigRecord*>(a_pv2);
  const int i = std::strcmp(p1->szKey, p2->szKey);
  if (i == 0) OsLog(OS_LOG_ERROR, "cfg>>> Found a duplicate ID %s", p1->szKey);
  return i;
}

int DbConfigBsearch(const void* a_pvKey, const void* a_pvRecord) {
  return std::strcmp(static_cast<const char*>(a_pvKey), static_cast<const DbConfigRecord*>(a_pvRecord)->szKey);
}

// The leading decimal number of a text, saturating at the largest signed
// value so that a long digit run cannot wrap.
uint64_t LeadingNumber(const char* a_szText) {
  if (!a_szText || *a_szText < '0' || *a_szText > '9') return 0;
  uint64_t u64 = 0;
  for (const char* pc = a_szText; *pc >= '0' && *pc <= '9'; ++pc) {
    const uint64_t u64Digit = static_cast<uint64_t>(*pc - '0');
    if (u64 > (static_cast<uint64_t>(INT64_MAX) - u64Digit) / 10) return static_cast<uint64_t>(INT64_MAX);
    u64 = u64 * 10 + u64Digit;
  }
  return u64;
}

const char* Text(const char* a_sz) { return a_sz ? a_sz : "(null)"; }
}  // namespace

CDbConfigImpl::CDbConfigImpl(CDatabase* a_pdatabase)
    : m_u32Records(0),
      m_adbconfigrecord{},
      m_blFlatbed(false),
      m_blNexil(false),
      m_szId{},
      m_blIdRefused(false),
      m_szAdf(nullptr),
      m_szAdfInterfaceOpen(nullptr),
      m_szAdfInterfaceOpenNexil(nullptr),
      m_szFlatbed(nullptr),
      m_szFlatbedInterfaceOpen(nullptr),
      m_szFlatbedInterfaceOpenNexil(nullptr),
      m_szPrefix(nullptr),
      m_posxml(nullptr),
      m_szDbConfig(nullptr),
      m_pdatabase(a_pdatabase) {
  if (CreateReader()) LoadDbConfig();
}

CDbConfigImpl::~CDbConfigImpl() {
  ReleaseRecords(m_adbconfigrecord, DB_CONFIG_RECORDS);
  ReleaseTexts();
  if (m_szPrefix) OsMemFree(m_szPrefix);
  if (m_szDbConfig) OsMemFree(m_szDbConfig);
  ReleaseReader();
}

// ---------------------------------------------------------------------------
// Keys and slots
// ---------------------------------------------------------------------------
bool CDbConfigImpl::ComposeKey(char* a_szKey, const char* a_szPrefix, const char* a_szId,
                               EDBCONFIGTARGET a_edbconfigtarget, const char* a_szKind, const char* a_szValue) {
  a_szKey[0] = '\0';
  if (a_edbconfigtarget < DB_CONFIGTARGET_NONE || a_edbconfigtarget >= DB_CONFIGTARGET_LAST) {
    OsLog(OS_LOG_ERROR, "cfg>>> bad target...%d <%s>", static_cast<int>(a_edbconfigtarget), a_szId);
    return false;
  }
  const char* const aszPart[] = {a_szPrefix, a_szPrefix ? "_" : nullptr, a_szId,
                                 s_aszEdbconfigtarget[a_edbconfigtarget], a_szKind, a_szValue};
  // A part that does not fit aborts the whole key: a cut key would name
  // another record.
  char szWork[s_sizetWork] = "";
  size_t sizetWork = 0;
  for (const char* szPart : aszPart) {
    if (!szPart) continue;
    sizetWork += std::strlen(szPart);
    if (sizetWork >= sizeof szWork) {
      OsLog(OS_LOG_ERROR, "cfg>>> key does not fit...<%s%.64s>", szWork, szPart);
      return false;
    }
    COsString::SStrCat(szWork, sizeof szWork, szPart);
  }
  if (sizetWork >= DB_CONFIG_KEY) {
    OsLog(OS_LOG_ERROR, "cfg>>> key too long...<%s>", szWork);
    return false;
  }
  COsString::SStrCpy(a_szKey, DB_CONFIG_KEY, szWork);
  return true;
}

DbConfigRecord* CDbConfigImpl::Find(const char* a_szKey) {
  if (m_u32Records == 0) return nullptr;
  return static_cast<DbConfigRecord*>(
      std::bsearch(a_szKey, m_adbconfigrecord, m_u32Records, sizeof(DbConfigRecord), DbConfigBsearch));
}

void CDbConfigImpl::Sort() {
  m_u32Records = 0;
  while (m_u32Records < DB_CONFIG_RECORDS && m_adbconfigrecord[m_u32Records].szKey[0]) ++m_u32Records;
  if (m_u32Records >= 2) std::qsort(m_adbconfigrecord, m_u32Records, sizeof(DbConfigRecord), DbConfigQsort);
}

DbConfigRecord* CDbConfigImpl::AddKey(const char* a_szKey) {
  OsLogDebug(OS_LOG_INFO, "cfg>>> add    %s", a_szKey);
  DbConfigRecord* pdbconfigrecord = Find(a_szKey);
  if (pdbconfigrecord) return pdbconfigrecord;
  // The used slots lead the table, so the first free one follows them.
  if (m_u32Records >= DB_CONFIG_RECORDS) {
    OsLog(OS_LOG_ERROR, "cfg>>> ran out of room...<%s>", a_szKey);
    return nullptr;
  }
  COsString::SStrCpy(m_adbconfigrecord[m_u32Records].szKey, DB_CONFIG_KEY, a_szKey);
  Sort();
  return Find(a_szKey);
}

void CDbConfigImpl::DeleteKey(const char* a_szKey) {
  OsLogDebug(OS_LOG_INFO, "cfg>>> del    %s", a_szKey);
  DbConfigRecord* pdbconfigrecord = Find(a_szKey);
  if (!pdbconfigrecord) return;
  if (pdbconfigrecord->szString) OsMemFree(pdbconfigrecord->szString);
  DbConfigRecord* pdbconfigrecordEnd = m_adbconfigrecord + DB_CONFIG_RECORDS;
  std::memmove(pdbconfigrecord, pdbconfigrecord + 1,
               static_cast<size_t>(pdbconfigrecordEnd - pdbconfigrecord - 1) * sizeof(DbConfigRecord));
  pdbconfigrecordEnd[-1] = DbConfigRecord{};
  --m_u32Records;
}

// The reads refuse an empty table with a line naming what was asked.
bool CDbConfigImpl::IsEmpty(const char* a_szId, const char* a_szEnum) {
  if (m_adbconfigrecord[0].szKey[0]) return false;
  if (a_szEnum) {
    OsLog(OS_LOG_INFO, "cfg>>> attempting to get information from an empty list...%s %s", a_szId, a_szEnum);
  } else {
    OsLog(OS_LOG_INFO, "cfg>>> attempting to get information from an empty list...%s", a_szId);
  }
  return true;
}

void CDbConfigImpl::ReleaseRecords(DbConfigRecord* a_pdbconfigrecord, size_t a_sizetRecords) {
  for (size_t i = 0; i < a_sizetRecords; ++i) {
    if (a_pdbconfigrecord[i].szString) OsMemFree(a_pdbconfigrecord[i].szString);
    a_pdbconfigrecord[i].szString = nullptr;
  }
}

// ---------------------------------------------------------------------------
// Plain records
// ---------------------------------------------------------------------------
bool CDbConfigImpl::IdMissing(const char* a_szId) {
  if (a_szId && *a_szId) return false;
  OsLog(OS_LOG_ERROR, "cfg>>> a_szId is null or empty...");
  return true;
}

DbConfigRecord* CDbConfigImpl::Add(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget) {
  char szKey[DB_CONFIG_KEY];
  if (IdMissing(a_szId) || !ComposeKey(szKey, nullptr, a_szId, a_edbconfigtarget, nullptr, nullptr)) return nullptr;
  return AddKey(szKey);
}

void CDbConfigImpl::Delete(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget) {
  char szKey[DB_CONFIG_KEY];
  if (IdMissing(a_szId) || !ComposeKey(szKey, nullptr, a_szId, a_edbconfigtarget, nullptr, nullptr)) return;
  DeleteKey(szKey);
}

bool CDbConfigImpl::Exists(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget) {
  char szKey[DB_CONFIG_KEY];
  if (IdMissing(a_szId) || IsEmpty(a_szId, nullptr) ||
      !ComposeKey(szKey, nullptr, a_szId, a_edbconfigtarget, nullptr, nullptr)) {
    return false;
  }
  const bool blFound = Find(szKey) != nullptr;
  OsLogDebug(OS_LOG_INFO, "cfg>>> tst    %-64s %s", szKey, blFound ? "(found)" : "(not found)");
  return blFound;
}

const char* CDbConfigImpl::GetString(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget) {
  char szKey[DB_CONFIG_KEY];
  if (IdMissing(a_szId) || IsEmpty(a_szId, nullptr) ||
      !ComposeKey(szKey, nullptr, a_szId, a_edbconfigtarget, nullptr, nullptr)) {
    return nullptr;
  }
  const DbConfigRecord* pdbconfigrecord = Find(szKey);
  if (!pdbconfigrecord) {
    OsLog(OS_LOG_INFO, "cfg>>> getstr %s", szKey);
    return nullptr;
  }
  OsLogDebug(OS_LOG_INFO, "cfg>>> getstr %-64s %12d %s", szKey, static_cast<int>(pdbconfigrecord->u64Number),
             Text(pdbconfigrecord->szString));
  return pdbconfigrecord->szString;
}

int64_t CDbConfigImpl::GetNumber(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget) {
  char szKey[DB_CONFIG_KEY];
  if (IdMissing(a_szId) || IsEmpty(a_szId, nullptr) ||
      !ComposeKey(szKey, nullptr, a_szId, a_edbconfigtarget, nullptr, nullptr)) {
    return -1;
  }
  const DbConfigRecord* pdbconfigrecord = Find(szKey);
  if (!pdbconfigrecord) {
    OsLog(OS_LOG_INFO, "cfg>>> getnum %s", szKey);
    return -1;
  }
  OsLogDebug(OS_LOG_INFO, "cfg>>> getnum %-64s %12d %s", szKey, static_cast<int>(pdbconfigrecord->u64Number),
             Text(pdbconfigrecord->szString));
  return static_cast<int64_t>(pdbconfigrecord->u64Number);
}

void CDbConfigImpl::SetString(const char* a_szId, const char* a_szString, EDBCONFIGTARGET a_edbconfigtarget) {
  if (IdMissing(a_szId)) return;
  // The copy is made first: the text may be a value of this very table,
  // which adding a record moves.
  char* szCopy = nullptr;
  if (a_szString) {
    const size_t sizetString = std::strlen(a_szString) + 1;
    szCopy = static_cast<char*>(OsMemAlloc(sizetString));
    if (!szCopy) {
      OsLog(OS_LOG_ERROR, "cfg>>> OsMemAlloc failed...<%s>", a_szId);
      return;
    }
    std::memcpy(szCopy, a_szString, sizetString);
  }
  DbConfigRecord* pdbconfigrecord = Add(a_szId, a_edbconfigtarget);
  if (!pdbconfigrecord) {
    OsLog(OS_LOG_ERROR, "cfg>>> unable to add item...<%s>", a_szId);
    if (szCopy) OsMemFree(szCopy);
    return;
  }
  if (pdbconfigrecord->szString) OsMemFree(pdbconfigrecord->szString);
  pdbconfigrecord->szString = szCopy;
  pdbconfigrecord->u64Number = LeadingNumber(szCopy);
}

void CDbConfigImpl::SetNumber(const char* a_szId, uint64_t a_u64Number, EDBCONFIGTARGET a_edbconfigtarget) {
  DbConfigRecord* pdbconfigrecord = Add(a_szId, a_edbconfigtarget);
  if (pdbconfigrecord) pdbconfigrecord->u64Number = a_u64Number;
}

// ---------------------------------------------------------------------------
// Range bounds: the prefix, set only while ProcessReportInquiryXml reads,
// comes first.
// ---------------------------------------------------------------------------
DbConfigRecord* CDbConfigImpl::FindRange(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget,
                                         const char* a_szKind) {
  char szKey[DB_CONFIG_KEY];
  if (!ComposeKey(szKey, m_szPrefix, a_szId, a_edbconfigtarget, a_szKind, nullptr)) return nullptr;
  return Find(szKey);
}

uint64_t CDbConfigImpl::RangeGet(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget, const char* a_szKind,
                                 const char* a_szLabel) {
  char szKey[DB_CONFIG_KEY];
  if (IdMissing(a_szId) || IsEmpty(a_szId, nullptr) ||
      !ComposeKey(szKey, m_szPrefix, a_szId, a_edbconfigtarget, a_szKind, nullptr)) {
    return 0;
  }
  const DbConfigRecord* pdbconfigrecord = Find(szKey);
  if (!pdbconfigrecord) {
    OsLog(OS_LOG_INFO, "cfg>>> %s %s", a_szLabel, szKey);
    return 0;
  }
  OsLogDebug(OS_LOG_INFO, "cfg>>> %s %-64s %12d %s", a_szLabel, szKey, static_cast<int>(pdbconfigrecord->u64Number),
             Text(pdbconfigrecord->szString));
  return pdbconfigrecord->u64Number;
}

void CDbConfigImpl::RangeSet(const char* a_szId, uint64_t a_u64Number, EDBCONFIGTARGET a_edbconfigtarget,
                             const char* a_szKind) {
  char szKey[DB_CONFIG_KEY];
  if (IdMissing(a_szId) || !ComposeKey(szKey, m_szPrefix, a_szId, a_edbconfigtarget, a_szKind, nullptr)) return;
  DbConfigRecord* pdbconfigrecord = AddKey(szKey);
  if (pdbconfigrecord) pdbconfigrecord->u64Number = a_u64Number;
}

uint64_t CDbConfigImpl::RangeGetMin(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget) {
  return RangeGet(a_szId, a_edbconfigtarget, "_rangemin", "getmin");
}

uint64_t CDbConfigImpl::RangeGetMax(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget) {
  return RangeGet(a_szId, a_edbconfigtarget, "_rangemax", "getmax");
}

void CDbConfigImpl::RangeSetMin(const char* a_szId, uint64_t a_u64Number, EDBCONFIGTARGET a_edbconfigtarget) {
  RangeSet(a_szId, a_u64Number, a_edbconfigtarget, "_rangemin");
}

void CDbConfigImpl::RangeSetMax(const char* a_szId, uint64_t a_u64Number, EDBCONFIGTARGET a_edbconfigtarget) {
  RangeSet(a_szId, a_u64Number, a_edbconfigtarget, "_rangemax");
}

void CDbConfigImpl::Dump() {
  OsLogDebug(OS_LOG_INFO, "cfg>>> Dumping CDbConfig...");
  if (!g_poslog || !g_poslog->GetDebugLevel()) return;
  for (size_t i = 0; i < DB_CONFIG_RECORDS; ++i) {
    const DbConfigRecord& dbconfigrecord = m_adbconfigrecord[i];
    if (!dbconfigrecord.szKey[0]) continue;
    OsLog(OS_LOG_INFO, "cfg>>> %03d %-64s %12d %s", static_cast<int>(i), dbconfigrecord.szKey,
          static_cast<int>(dbconfigrecord.u64Number), Text(dbconfigrecord.szString));
  }
}

// ---------------------------------------------------------------------------
// Snapshots
// ---------------------------------------------------------------------------
bool CDbConfigImpl::SnapshotTake(DbConfigSnapshot* a_pdbconfigsnapshot) {
  *a_pdbconfigsnapshot = DbConfigSnapshot{};
  auto* pdbconfigrecord = static_cast<DbConfigRecord*>(OsMemAlloc(sizeof m_adbconfigrecord));
  if (!pdbconfigrecord) {
    OsLog(OS_LOG_ERROR, "cfg>>> OsMemAlloc failed...");
    return false;
  }
  std::memcpy(pdbconfigrecord, m_adbconfigrecord, sizeof m_adbconfigrecord);
  for (uint32_t u = 0; u < m_u32Records; ++u) {
    const char* szString = m_adbconfigrecord[u].szString;
    pdbconfigrecord[u].szString = nullptr;
    if (!szString) continue;
    const size_t sizetString = std::strlen(szString) + 1;
    pdbconfigrecord[u].szString = static_cast<char*>(OsMemAlloc(sizetString));
    if (!pdbconfigrecord[u].szString) {
      OsLog(OS_LOG_ERROR, "cfg>>> OsMemAlloc failed...");
      ReleaseRecords(pdbconfigrecord, u);
      OsMemFree(pdbconfigrecord);
      return false;
    }
    std::memcpy(pdbconfigrecord[u].szString, szString, sizetString);
  }
  a_pdbconfigsnapshot->u32Records = m_u32Records;
  a_pdbconfigsnapshot->pdbconfigrecord = pdbconfigrecord;
  return true;
}

void CDbConfigImpl::SnapshotRestore(DbConfigSnapshot* a_pdbconfigsnapshot) {
  if (!a_pdbconfigsnapshot->pdbconfigrecord) return;
  ReleaseRecords(m_adbconfigrecord, DB_CONFIG_RECORDS);
  std::memcpy(m_adbconfigrecord, a_pdbconfigsnapshot->pdbconfigrecord, sizeof m_adbconfigrecord);
  m_u32Records = a_pdbconfigsnapshot->u32Records;
  // The strings now belong to the table.
  OsMemFree(a_pdbconfigsnapshot->pdbconfigrecord);
  *a_pdbconfigsnapshot = DbConfigSnapshot{};
}

void CDbConfigImpl::SnapshotDrop(DbConfigSnapshot* a_pdbconfigsnapshot) {
  if (!a_pdbconfigsnapshot->pdbconfigrecord) return;
  ReleaseRecords(a_pdbconfigsnapshot->pdbconfigrecord, DB_CONFIG_RECORDS);
  OsMemFree(a_pdbconfigsnapshot->pdbconfigrecord);
  *a_pdbconfigsnapshot = DbConfigSnapshot{};
}
