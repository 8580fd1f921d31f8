// The readers of the DATABASE and LABELS resources: the document is walked
// with the XML reader's cursor, element by element in the order the format
// fixes; counts above those the root announced are refused.
#include "db_cdbresource.h"
#include "db_labellanguages.h"

#include <cstring>

#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cosxml.h"

namespace {

constexpr long s_lAtomIncrement = 16384;
constexpr const char* s_aszBins[] = {"M", "BF", "BR", "CF", "CR"};
constexpr char s_cFirstLetter = 'c';

// Children of the current element, one after the other, at a level of their own.
class CChildren {
 public:
  explicit CChildren(COsXml* a_posxml) : m_posxml(a_posxml), m_blPushed(a_posxml->NodePush() == OS_STS_SUCCESS) {}
  ~CChildren() {
    if (m_blPushed) m_posxml->NodePop();
  }
  // The first child, then each sibling; false at the end.
  bool Next() {
    if (!m_blPushed) return false;
    const bool blMoved = m_blStarted ? m_posxml->NodeSibling() == OS_STS_SUCCESS : m_posxml->NodeChild() == OS_STS_SUCCESS;
    m_blStarted = true;
    return blMoved;
  }

 private:
  COsXml* m_posxml;
  bool m_blPushed;
  bool m_blStarted = false;
};

EOSSTS Refuse(const char* a_szWhy, const char* a_szName) {
  OsLog(OS_LOG_ERROR, "%s...<%s>", a_szWhy, a_szName);
  return OS_STS_FAIL;
}

}  // namespace

CDbResource::CDbResource()
    : m_posxml(nullptr),
      m_pszCopy(nullptr),
      m_sizetDocument(0),
      m_szHeader(nullptr),
      m_alColumn{},
      m_lColumns(0),
      m_lRecordsMax(0),
      m_lEnumsMax(0),
      m_lEnums(0),
      m_szName{} {}

CDbResource::~CDbResource() { Free(); }

void CDbResource::Free() {
  OsMemDelete(m_posxml);
  if (m_pszCopy) OsMemFree(m_pszCopy);
  m_pszCopy = nullptr;
  m_sizetDocument = 0;
  m_szHeader = nullptr;
  std::memset(m_alColumn, 0, sizeof m_alColumn);
  m_lColumns = 0;
  m_lRecordsMax = 0;
}

long CDbResource::Number(const char* a_szHex) {
  return static_cast<int32_t>(static_cast<uint32_t>(COsString::StrToFastHex(a_szHex ? a_szHex : "")));
}

long CDbResource::GetColumn(char a_cLetter) const {
  const int iIndex = a_cLetter - s_cFirstLetter;
  return iIndex >= 0 && iIndex < DbResourceLabel::s_lColumnsMax ? m_alColumn[iIndex] : 0;
}

// ---------------------------------------------------------------------------
// The document
// ---------------------------------------------------------------------------
// A copy (after a byte-order mark) that the texts handed out point into.
EOSSTS CDbResource::Load(const void* a_pvData, size_t a_sizetData, const char* a_szRoot) {
  Free();
  const char* pcData = static_cast<const char*>(a_pvData);
  if (!pcData) {
    OsLog(OS_LOG_ERROR, "a_pvData is NULL...");
    return OS_STS_FAIL;
  }
  if (a_sizetData > 0 && static_cast<unsigned char>(pcData[0]) == 0xEF) {
    const size_t sizetBom = a_sizetData < 3 ? a_sizetData : 3;
    pcData += sizetBom;
    a_sizetData -= sizetBom;
  }
  m_pszCopy = static_cast<char*>(OsMemAlloc(a_sizetData + 1));
  m_posxml = OsMemNew(COsXml);
  if (!m_pszCopy || !m_posxml) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
    return OS_STS_FAIL;
  }
  std::memcpy(m_pszCopy, pcData, a_sizetData);
  m_sizetDocument = a_sizetData;
  m_posxml->SetAtomIncrement(s_lAtomIncrement);
  if (m_posxml->DocumentLoad(m_pszCopy, static_cast<long>(a_sizetData)) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DocumentLoad failed...");
    return OS_STS_FAIL;
  }
  m_posxml->NodeRewind();
  if (!NameIs(a_szRoot)) return Refuse("Unrecognized root", m_szName);
  return OS_STS_SUCCESS;
}

bool CDbResource::ReadName() {
  m_szName[0] = '\0';
  return m_posxml->NodeGetName(m_szName, sizeof m_szName) == OS_STS_SUCCESS;
}

bool CDbResource::NameIs(const char* a_szName) { return ReadName() && std::strcmp(m_szName, a_szName) == 0; }

// The compiler writes bare digits; a "0x" in front is taken as well.
bool CDbResource::ReadNumber(const char* a_szName, long* a_plValue) {
  char szValue[16] = {};
  if (!NameIs(a_szName) || m_posxml->NodeGetContent(szValue, sizeof szValue) != OS_STS_SUCCESS) return false;
  const char* szDigits = std::strncmp(szValue, "0x", 2) == 0 ? szValue + 2 : szValue;
  const size_t sizetDigits = std::strspn(szDigits, "0123456789abcdef");
  if (sizetDigits > 8 || szDigits[sizetDigits]) return false;
  *a_plValue = Number(szDigits);
  return true;
}

const char* CDbResource::Text() {
  long lOffset = 0;
  long lSize = 0;
  if (m_posxml->NodeGetContentLocation(&lOffset, &lSize) != OS_STS_SUCCESS || lOffset < 0 || lSize < 0 ||
      static_cast<size_t>(lOffset) + static_cast<size_t>(lSize) > m_sizetDocument) {
    return nullptr;
  }
  m_pszCopy[lOffset + lSize] = '\0';
  return m_pszCopy + lOffset;
}

bool CDbResource::ReadCount(const char* a_szName, long* a_plCount) {
  char szValue[16] = {};
  if (m_posxml->NodeGetProperty(a_szName, szValue, sizeof szValue) != OS_STS_SUCCESS ||
      std::strlen(szValue) != 6 || std::strspn(szValue, "0123456789abcdef") != 6) {
    OsLog(OS_LOG_ERROR, "NodeGetProperty failed...%s", a_szName);
    return false;
  }
  *a_plCount = static_cast<long>(COsString::StrToFastHex(szValue));
  return true;
}

// ---------------------------------------------------------------------------
// DATABASE
// ---------------------------------------------------------------------------
EOSSTS CDbResource::ReadDatabase(const void* a_pvData, size_t a_sizetData, PFNDBRESOURCERECORD a_pfn, void* a_pvUser) {
  return ReadDatabase(a_pvData, a_sizetData, a_pfn, a_pvUser, true);
}

EOSSTS CDbResource::ReadDatabaseHeader(const void* a_pvData, size_t a_sizetData) {
  return ReadDatabase(a_pvData, a_sizetData, nullptr, nullptr, false);
}

EOSSTS CDbResource::ReadDatabase(const void* a_pvData, size_t a_sizetData, PFNDBRESOURCERECORD a_pfn, void* a_pvUser,
                                 bool a_blRecords) {
  EOSSTS eossts = Load(a_pvData, a_sizetData, "db");
  if (eossts != OS_STS_SUCCESS) return eossts;
  if (!ReadCount("records", &m_lRecordsMax) || !ReadCount("enums", &m_lEnumsMax)) return OS_STS_FAIL;
  m_lEnums = 0;
  CChildren children(m_posxml);
  if (!children.Next() || !NameIs("H")) return Refuse("header not found", m_szName);
  m_szHeader = Text();
  if (!m_szHeader) return Refuse("header not found", m_szName);
  if (!a_blRecords) return OS_STS_SUCCESS;
  auto* pdbresourcerecord = static_cast<DbResourceRecord*>(OsMemAlloc(sizeof(DbResourceRecord)));
  if (!pdbresourcerecord) return OS_STS_FAIL;
  long lRead = 0;
  while (eossts == OS_STS_SUCCESS && children.Next()) {
    // The count is one less than the number of records.
    if (++lRead > m_lRecordsMax + 1) {
      eossts = Refuse("more records than announced", m_szName);
      break;
    }
    std::memset(pdbresourcerecord, 0, sizeof(DbResourceRecord));
    eossts = ReadRecord(pdbresourcerecord);
    if (eossts == OS_STS_SUCCESS && a_pfn) eossts = a_pfn(pdbresourcerecord, a_pvUser);
  }
  OsMemFree(pdbresourcerecord);
  return eossts;
}

// <E|R|S><a>id</a><b>data type</b><c>consumers</c> and the supported bins.
EOSSTS CDbResource::ReadRecord(DbResourceRecord* a_pdbresourcerecord) {
  if (!NameIs("E") && !NameIs("R") && !NameIs("S")) return Refuse("Unrecognized container", m_szName);
  a_pdbresourcerecord->cKind = m_szName[0];
  CChildren children(m_posxml);
  long lId = 0;
  if (!children.Next() || !ReadNumber("a", &lId) || !children.Next() ||
      !ReadNumber("b", &a_pdbresourcerecord->lDataType) || !children.Next() ||
      !ReadNumber("c", &a_pdbresourcerecord->lDeviceData)) {
    return Refuse("record without its a, b and c", m_szName);
  }
  if (lId < DB_ID_UNDEFINED || lId > DB_ID_LAST) {
    OsLog(OS_LOG_ERROR, "Bad a_edbid...%ld", lId);
    return OS_STS_FAIL;
  }
  a_pdbresourcerecord->edbid = static_cast<EDBID>(lId);
  int iNextBin = 0;
  while (children.Next()) {
    int iBin = iNextBin;
    while (iBin < 5 && !NameIs(s_aszBins[iBin])) ++iBin;
    if (iBin == 5) return Refuse("Unrecognized or repeated bin", m_szName);
    iNextBin = iBin + 1;
    DbResourceBin* pdbresourcebin = &a_pdbresourcerecord->adbresourcebin[a_pdbresourcerecord->lBins++];
    pdbresourcebin->edbbin = static_cast<EDBBIN>(DB_BIN_MACHINE + iBin);
    EOSSTS eossts = ReadBin(a_pdbresourcerecord->cKind, pdbresourcebin);
    if (eossts != OS_STS_SUCCESS) return eossts;
  }
  return OS_STS_SUCCESS;
}

// E: d e f* g*; R: d e f g h; S: d e f (text).
EOSSTS CDbResource::ReadBin(char a_cKind, DbResourceBin* a_pdbresourcebin) {
  CChildren children(m_posxml);
  if (!children.Next() || !ReadNumber("d", &a_pdbresourcebin->lAccess) || !children.Next() ||
      !ReadNumber("e", &a_pdbresourcebin->lDefault)) {
    return Refuse("bin without its d and e", m_szName);
  }
  if (a_cKind == 'R') {
    if (!children.Next() || !ReadNumber("f", &a_pdbresourcebin->lMin) || !children.Next() ||
        !ReadNumber("g", &a_pdbresourcebin->lMax) || !children.Next() ||
        !ReadNumber("h", &a_pdbresourcebin->lStep) || children.Next()) {
      return Refuse("range bin out of shape", m_szName);
    }
    return OS_STS_SUCCESS;
  }
  if (a_cKind == 'S') {
    if (!children.Next() || !NameIs("f") || !(a_pdbresourcebin->szText = Text()) || children.Next())
      return Refuse("string bin out of shape", m_szName);
    return OS_STS_SUCCESS;
  }
  bool blCurrent = false;
  while (children.Next()) {
    blCurrent = blCurrent || NameIs("g");
    long* plCount = blCurrent ? &a_pdbresourcebin->lCurrentItems : &a_pdbresourcebin->lItems;
    long* alItems = blCurrent ? a_pdbresourcebin->alCurrentItems : a_pdbresourcebin->alItems;
    if (*plCount >= DbResourceBin::s_lItemsMax) return Refuse("enumeration overflow", m_szName);
    if (!ReadNumber(blCurrent ? "g" : "f", &alItems[*plCount])) return Refuse("enumeration bin out of shape", m_szName);
    ++*plCount;
    if (!blCurrent && ++m_lEnums > m_lEnumsMax + 1) return Refuse("more items than announced", m_szName);
  }
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// LABELS
// ---------------------------------------------------------------------------
EOSSTS CDbResource::ReadLabels(const void* a_pvData, size_t a_sizetData, PFNDBRESOURCELABEL a_pfn, void* a_pvUser) {
  EOSSTS eossts = Load(a_pvData, a_sizetData, "labels");
  if (eossts != OS_STS_SUCCESS) return eossts;
  long lBytes = 0;
  if (!ReadCount("bytes", &lBytes) || !ReadCount("records", &m_lRecordsMax)) return OS_STS_FAIL;
  CChildren children(m_posxml);
  if (!children.Next() || !NameIs("a")) return Refuse("tag column not found", m_szName);
  while (children.Next() && !NameIs("endlangs")) {
    eossts = ReadColumn();
    if (eossts != OS_STS_SUCCESS) return eossts;
  }
  if (!NameIs("endlangs")) return Refuse("endlangs not found", m_szName);
  DbResourceLabel dbresourcelabel;
  long lRead = 0;
  while (children.Next()) {
    // The count is one more than the number of labels.
    if (++lRead > m_lRecordsMax - 1) return Refuse("more labels than announced", m_szName);
    std::memset(&dbresourcelabel, 0, sizeof dbresourcelabel);
    if (!NameIs("a") || !(dbresourcelabel.szTag = Text())) return Refuse("label without its tag", m_szName);
    dbresourcelabel.lColumns = m_lColumns;
    for (long l = 0; l < m_lColumns; ++l) {
      // The text of column N is the N-th element after the tag.
      if (!children.Next() || !ReadName() || m_szName[1] || GetColumn(m_szName[0]) != l + 1 ||
          !(dbresourcelabel.aszText[l] = Text())) {
        return Refuse("label without all its languages", dbresourcelabel.szTag);
      }
    }
    if (a_pfn) {
      eossts = a_pfn(&dbresourcelabel, a_pvUser);
      if (eossts != OS_STS_SUCCESS) return eossts;
    }
  }
  return OS_STS_SUCCESS;
}

// <language>bytes=%06x,column</language>: the languages take columns 1, 2,
// 3... in the order they appear, and one without its column number takes
// its place in that order; their records name them by letter.
EOSSTS CDbResource::ReadColumn() {
  char szContent[32] = {};
  const int iLanguage = DbLabelLanguageIndex(m_szName);
  const int iIndex = iLanguage < 0 ? -1 : s_adblabellanguage[iLanguage].cLetter - s_cFirstLetter;
  if (iIndex < 0 || iIndex >= DbResourceLabel::s_lColumnsMax || m_alColumn[iIndex])
    return Refuse("Unrecognized or repeated language", m_szName);
  if (m_posxml->NodeGetContent(szContent, sizeof szContent) != OS_STS_SUCCESS ||
      std::strncmp(szContent, "bytes=", 6) != 0)
    return Refuse("language column out of shape", m_szName);
  const char* pcComma = std::strchr(szContent, ',');
  if (pcComma && static_cast<long>(COsString::StrToFastHex(pcComma + 1)) != m_lColumns + 1)
    return Refuse("language column out of order", m_szName);
  m_alColumn[iIndex] = ++m_lColumns;
  return OS_STS_SUCCESS;
}

int DbLabelLanguageIndex(const char* a_szName) {
  for (int i = 0; a_szName && i < s_iDbLabelLanguages; ++i) {
    if (std::strcmp(s_adblabellanguage[i].szName, a_szName) == 0) return i;
  }
  return -1;
}
