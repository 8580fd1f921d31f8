// The scan history as XML: every scan record of a history file as one
// <scan> element, its settings named by the lookup table the file carries.
//
// The history file is copied into memory, not mapped: a writer may cut a
// torn record off while it is read, and a mapping would then fault. All
// tables are the call's own, so that exports may run at once. Every size
// and index taken from the file is checked before use; texts are escaped,
// and bytes that are no UTF-8 or are control characters become "?", so
// that ordinary XML tools read the result. The XML file is written beside
// its name and renamed over it at the end: a failure leaves none.
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "db_cdblookup.h"
#include "dev_cdevdata.h"
#include "dev_cdevhistory.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_costime.h"
#include "os_cosxml.h"

namespace {

constexpr size_t s_sizetStatusNames = 64;
constexpr size_t s_sizetStatusName = 64;
constexpr size_t s_sizetAttributeIds = 512;
constexpr size_t s_sizetOutBuffer = 1 << 16;
constexpr const char* s_aszCamera[] = {"fb00", "rb00", "fc00", "rc00"};
constexpr const char s_szDbIdPrefix[] = "DB_ID_";

// The length of a valid UTF-8 sequence at a_pu8, 0 for none.
size_t Utf8Length(const uint8_t* a_pu8, size_t a_sizet) {
  const uint8_t u8 = a_pu8[0];
  size_t sizetLength = 0;
  uint8_t u8Low = 0x80;
  uint8_t u8High = 0xbf;
  if (u8 >= 0xc2 && u8 <= 0xdf) {
    sizetLength = 2;
  } else if (u8 >= 0xe0 && u8 <= 0xef) {
    sizetLength = 3;
    if (u8 == 0xe0) u8Low = 0xa0;
    if (u8 == 0xed) u8High = 0x9f;  // no surrogates
  } else if (u8 >= 0xf0 && u8 <= 0xf4) {
    sizetLength = 4;
    if (u8 == 0xf0) u8Low = 0x90;
    if (u8 == 0xf4) u8High = 0x8f;
  } else {
    return 0;
  }
  if (a_sizet < sizetLength || a_pu8[1] < u8Low || a_pu8[1] > u8High) return 0;
  for (size_t i = 2; i < sizetLength; ++i) {
    if (a_pu8[i] < 0x80 || a_pu8[i] > 0xbf) return 0;
  }
  return sizetLength;
}

// The XML file being written, through a buffer.
class CHistoryOut {
 public:
  explicit CHistoryOut(COsFile& a_osfile) : m_osfile(a_osfile) { m_str.reserve(s_sizetOutBuffer + 4096); }

  void Put(const char* a_sz, size_t a_sizet) {
    m_str.append(a_sz, a_sizet);
    if (m_str.size() >= s_sizetOutBuffer) Flush();
  }
  void Put(const char* a_sz) { Put(a_sz, std::strlen(a_sz)); }
  void Put(const std::string& a_str) { Put(a_str.data(), a_str.size()); }
  void Printf(const char* a_szFormat, ...) __attribute__((format(printf, 2, 3))) {
    char sz[256];
    va_list valist;
    va_start(valist, a_szFormat);
    const int i = std::vsnprintf(sz, sizeof sz, a_szFormat, valist);
    va_end(valist);
    if (i > 0) Put(sz, std::min(static_cast<size_t>(i), sizeof sz - 1));
  }
  // Text content: "&", "<" and ">" as entities, anything but UTF-8 text as
  // "?"; a_blCdata: inside a CDATA section, where only "]]>" is split.
  void Text(const char* a_sz, size_t a_sizet, bool a_blCdata = false) {
    const auto* pu8 = reinterpret_cast<const uint8_t*>(a_sz);
    for (size_t i = 0; i < a_sizet;) {
      const uint8_t u8 = pu8[i];
      if (u8 >= 0x20 && u8 < 0x7f) {
        if (a_blCdata) {
          if (u8 == ']' && a_sizet - i >= 3 && pu8[i + 1] == ']' && pu8[i + 2] == '>') {
            Put("]]]]><![CDATA[>", 15);
            i += 3;
            continue;
          }
          m_str.push_back(static_cast<char>(u8));
        } else if (u8 == '&') {
          m_str.append("&amp;");
        } else if (u8 == '<') {
          m_str.append("&lt;");
        } else if (u8 == '>') {
          m_str.append("&gt;");
        } else {
          m_str.push_back(static_cast<char>(u8));
        }
        ++i;
        continue;
      }
      const size_t sizetUtf8 = u8 >= 0x80 ? Utf8Length(pu8 + i, a_sizet - i) : 0;
      if (sizetUtf8) {
        m_str.append(a_sz + i, sizetUtf8);
        i += sizetUtf8;
      } else {
        m_str.push_back('?');
        ++i;
      }
    }
    if (m_str.size() >= s_sizetOutBuffer) Flush();
  }
  void Text(const char* a_sz) { Text(a_sz, std::strlen(a_sz)); }
  // "\t\t<name>text</name>\n"
  void Element(const std::string& a_strName, const char* a_szSuffix, const char* a_szText, size_t a_sizetText,
               bool a_blCdata = false) {
    Open(a_strName, a_szSuffix);
    if (a_blCdata) Put("<![CDATA[", 9);
    Text(a_szText, a_sizetText, a_blCdata);
    if (a_blCdata) Put("]]>", 3);
    Close(a_strName, a_szSuffix);
  }
  void Open(const std::string& a_strName, const char* a_szSuffix) {
    m_str.append("\t\t<");
    m_str.append(a_strName);
    if (a_szSuffix) {
      m_str.push_back('.');
      m_str.append(a_szSuffix);
    }
    m_str.push_back('>');
  }
  void Close(const std::string& a_strName, const char* a_szSuffix) {
    m_str.append("</");
    m_str.append(a_strName);
    if (a_szSuffix) {
      m_str.push_back('.');
      m_str.append(a_szSuffix);
    }
    m_str.append(">\n");
    if (m_str.size() >= s_sizetOutBuffer) Flush();
  }
  bool Flush() {
    if (m_str.empty() || m_blFailed) {
      m_str.clear();
      return !m_blFailed;
    }
    size_t sizetWritten = 0;
    if (m_osfile.Write(m_str.data(), m_str.size(), &sizetWritten) != OS_STS_SUCCESS ||
        sizetWritten != m_str.size()) {
      m_blFailed = true;
    }
    m_str.clear();
    return !m_blFailed;
  }
  bool Failed() const { return m_blFailed; }

 private:
  COsFile& m_osfile;
  std::string m_str;
  bool m_blFailed = false;
};

// Children of the reader's current element, one after the other.
class CChildren {
 public:
  explicit CChildren(COsXml& a_osxml) : m_osxml(a_osxml), m_blPushed(a_osxml.NodePush() == OS_STS_SUCCESS) {}
  ~CChildren() {
    if (m_blPushed) m_osxml.NodePop();
  }
  CChildren(const CChildren&) = delete;
  CChildren& operator=(const CChildren&) = delete;
  bool Next() {
    if (!m_blPushed) return false;
    const bool blMoved = m_blStarted ? m_osxml.NodeSibling() == OS_STS_SUCCESS : m_osxml.NodeChild() == OS_STS_SUCCESS;
    m_blStarted = true;
    return blMoved;
  }

 private:
  COsXml& m_osxml;
  bool m_blPushed;
  bool m_blStarted = false;
};

// A decimal number of the text, nothing else.
bool Number(const char* a_sz, unsigned long* a_pul) {
  if (!*a_sz || std::strspn(a_sz, "0123456789") != std::strlen(a_sz) || std::strlen(a_sz) > 9) return false;
  *a_pul = std::strtoul(a_sz, nullptr, 10);
  return true;
}

// The pairs of a "d" or "e" table: each child's "i" number and its
// a_szSecond text. False when the text is no XML document.
template <typename F>
bool ReadTable(const uint8_t* a_pu8, size_t a_sizet, const char* a_szSecond, F a_fnPair) {
  const std::string strDocument(reinterpret_cast<const char*>(a_pu8), a_sizet);
  COsXml osxml;
  if (strDocument.find('\0') != std::string::npos ||
      osxml.DocumentLoad(strDocument.c_str(), static_cast<long>(strDocument.size())) != OS_STS_SUCCESS ||
      osxml.NodeRewind() != OS_STS_SUCCESS) {
    return false;
  }
  CChildren childrenItems(osxml);
  while (childrenItems.Next()) {
    char szI[32] = "";
    char szSecond[s_sizetStatusName] = "";
    bool blI = false;
    bool blSecond = false;
    CChildren childrenFields(osxml);
    while (childrenFields.Next()) {
      char szName[16];
      if (osxml.NodeGetName(szName, sizeof szName) != OS_STS_SUCCESS) continue;
      if (std::strcmp(szName, "i") == 0) blI = osxml.NodeGetContent(szI, sizeof szI) == OS_STS_SUCCESS;
      if (std::strcmp(szName, a_szSecond) == 0) {
        blSecond = osxml.NodeGetContent(szSecond, sizeof szSecond) == OS_STS_SUCCESS;
      }
    }
    unsigned long ulI = 0;
    if (blI && blSecond && Number(szI, &ulI)) a_fnPair(ulI, szSecond);
  }
  return true;
}

// One export: the tables the file's headers fill, the scan being written.
class CHistoryReader {
 public:
  CHistoryReader(const std::vector<uint8_t>& a_vecu8, CHistoryOut& a_out, const char* a_szHistoryFile)
      : m_vecu8(a_vecu8), m_out(a_out), m_szHistoryFile(a_szHistoryFile) {}
  ~CHistoryReader() { OsMemDelete(m_pdblookup); }
  CHistoryReader(const CHistoryReader&) = delete;
  CHistoryReader& operator=(const CHistoryReader&) = delete;

  // False when the export must fail (a lookup table that cannot be read).
  bool Walk();

 private:
  const uint8_t* At(size_t a_sizet) const { return m_vecu8.data() + a_sizet; }
  bool Record(const DevHistoryRecord& a_devhistoryrecord);
  void Time(uint8_t a_u8Tag, const uint8_t* a_pu8);
  void Count(const char* a_szElement, uint8_t a_u8Tag, const uint8_t* a_pu8);
  void Status(uint8_t a_u8Code);
  bool Lookup(const uint8_t* a_pu8, size_t a_sizet);
  void Attributes(const uint8_t* a_pu8, size_t a_sizet);
  void StatusNames(const uint8_t* a_pu8, size_t a_sizet);
  void Block(const uint8_t* a_pu8, size_t a_sizet);
  bool Value(const std::string& a_strName, uint8_t a_u8Id, uint8_t a_u8Attribute, const char* a_szCamera,
             const char* a_szRepeat, const uint8_t*& a_rpu8, const uint8_t* a_pu8End);
  void EnumText(const std::string& a_strName, const char* a_szCamera, uint8_t a_u8Id, long a_lValue);
  const std::string& Name(uint8_t a_u8Id);
  void CloseScan();

  const std::vector<uint8_t>& m_vecu8;
  CHistoryOut& m_out;
  const char* m_szHistoryFile;
  CDbLookup* m_pdblookup = nullptr;
  uint8_t m_au8Db[s_sizetAttributeIds] = {};
  char m_aszEdevsts[s_sizetStatusNames][s_sizetStatusName] = {};
  std::string m_astrName[256];
  bool m_ablName[256] = {};
  std::string m_strModel;
  std::string m_strSerialNumber;
  std::string m_astrApps[DEV_HISTORY_SLOTS];
  bool m_blScanOpen = false;
  long m_lScanSeconds = 1;
  size_t m_sizetBlock = 0;  // the last full block, by its place in the file
  size_t m_sizetBlockLength = 0;
  bool m_blBlock = false;
};

std::string FixedText(const uint8_t* a_pu8) {
  return std::string(reinterpret_cast<const char*>(a_pu8), strnlen(reinterpret_cast<const char*>(a_pu8), DEV_HISTORY_NAME));
}

bool CHistoryReader::Walk() {
  DevHistoryRecord devhistoryrecord;
  size_t sizetOffset = 0;
  for (;;) {
    const EDEVHISTORYWALK edevhistorywalk = DevHistoryNext(m_vecu8.data(), m_vecu8.size(), sizetOffset,
                                                           &devhistoryrecord);
    if (edevhistorywalk == DEV_HISTORYWALK_END) break;
    if (edevhistorywalk == DEV_HISTORYWALK_TORN) {
      OsLog(OS_LOG_ERROR, "history: the file ends inside a record at %zu, the rest is left out...<%s>", sizetOffset,
            m_szHistoryFile);
      break;
    }
    if (!Record(devhistoryrecord)) return false;
    sizetOffset = devhistoryrecord.End();
  }
  CloseScan();
  return true;
}

bool CHistoryReader::Record(const DevHistoryRecord& a_devhistoryrecord) {
  const uint8_t u8Tag = a_devhistoryrecord.u8Tag;
  const uint8_t* pu8 = At(a_devhistoryrecord.sizetPayload);
  const size_t sizet = a_devhistoryrecord.sizetLength;
  switch (u8Tag) {
    case '0': m_strSerialNumber = FixedText(pu8); break;
    case '1': m_strModel = FixedText(pu8); break;
    case '3':
      for (size_t i = 0; i < DEV_HISTORY_SLOTS; ++i) m_astrApps[i] = FixedText(pu8 + i * DEV_HISTORY_NAME);
      break;
    case 'c': return Lookup(pu8, sizet);
    case 'd': Attributes(pu8, sizet); break;
    case 'e': StatusNames(pu8, sizet); break;
    case 'A': case 'B': case 'C': case 'D': case 'E': case 'F': Time(u8Tag, pu8); break;
    case 'G': m_out.Element("application", nullptr, reinterpret_cast<const char*>(pu8), sizet - 1); break;
    case 'H': case 'I': case 'J': case 'K': case 'L': case 'M': {
      const std::string& str = m_astrApps[u8Tag - 'H'];
      m_out.Element("application", nullptr, str.data(), str.size());
      break;
    }
    case 'N': case 'O': case 'P': Count("totalimagecount", u8Tag, pu8); break;
    case 'Q': case 'R': case 'S': Count("totalsheetcount", u8Tag, pu8); break;
    case 'T': case 'U': case 'V': Count("totalmultifeed", u8Tag, pu8); break;
    case 'W': Status(pu8[0]); break;
    case 'X': case 'Y': case 'Z':
      m_sizetBlock = a_devhistoryrecord.sizetPayload;
      m_sizetBlockLength = sizet;
      m_blBlock = true;
      Block(pu8, sizet);
      break;
    case 'z':
      if (m_blBlock) Block(At(m_sizetBlock), m_sizetBlockLength);
      break;
    default: break;  // "2", "4", "a", "b" and tags of later drivers
  }
  return true;
}

void CHistoryReader::CloseScan() {
  if (m_blScanOpen) m_out.Put("\t</scan>\n");
  m_blScanOpen = false;
}

void CHistoryReader::Time(uint8_t a_u8Tag, const uint8_t* a_pu8) {
  CloseScan();
  const size_t sizetEnd = static_cast<size_t>(a_u8Tag - 'A' + 1);
  uint8_t au8End[DEV_HISTORY_TIME];
  std::memcpy(au8End, a_pu8, DEV_HISTORY_TIME);
  std::memcpy(au8End + DEV_HISTORY_TIME - sizetEnd, a_pu8 + DEV_HISTORY_TIME, sizetEnd);
  auto record = [](const uint8_t* a_pu8Time) {
    OsTimeRecord ostimerecord = {};
    ostimerecord.u16Year = static_cast<uint16_t>(1900 + a_pu8Time[0]);
    ostimerecord.u16Month = a_pu8Time[1];
    ostimerecord.u16Day = a_pu8Time[2];
    ostimerecord.u16Hour = a_pu8Time[3];
    ostimerecord.u16Minute = a_pu8Time[4];
    ostimerecord.u16Second = a_pu8Time[5];
    return ostimerecord;
  };
  const OsTimeRecord ostimerecordStart = record(a_pu8);
  const OsTimeRecord ostimerecordEnd = record(au8End);
  const int64_t i64Difference = COsTime::GetDifference(&ostimerecordEnd, &ostimerecordStart) / 1000;
  m_lScanSeconds = i64Difference >= 1 && i64Difference < INT32_MAX ? static_cast<long>(i64Difference) : 1;
  m_blScanOpen = true;
  char szKey[40];
  std::snprintf(szKey, sizeof szKey, "_%04d%02d%02d%02d%02d%02d", ostimerecordStart.u16Year, ostimerecordStart.u16Month,
                ostimerecordStart.u16Day, ostimerecordStart.u16Hour, ostimerecordStart.u16Minute,
                ostimerecordStart.u16Second);
  m_out.Put("\t<scan>\n\t\t<key>");
  m_out.Text(m_strModel.data(), m_strModel.size());
  m_out.Put("_");
  m_out.Text(m_strSerialNumber.data(), m_strSerialNumber.size());
  m_out.Put(szKey);
  m_out.Put("</key>\n");
  m_out.Element("model", nullptr, m_strModel.data(), m_strModel.size());
  m_out.Element("serialnumber", nullptr, m_strSerialNumber.data(), m_strSerialNumber.size());
  for (const auto& [szElement, ostimerecord] :
       {std::pair{"scanstart", ostimerecordStart}, std::pair{"scanend", ostimerecordEnd}}) {
    m_out.Printf("\t\t<%s>%04d/%02d/%02d %02d:%02d:%02d</%s>\n", szElement, ostimerecord.u16Year,
                 ostimerecord.u16Month, ostimerecord.u16Day, ostimerecord.u16Hour, ostimerecord.u16Minute,
                 ostimerecord.u16Second, szElement);
  }
  m_out.Printf("\t\t<scantime>%ld</scantime>\n", m_lScanSeconds);
}

void CHistoryReader::Count(const char* a_szElement, uint8_t a_u8Tag, const uint8_t* a_pu8) {
  const int iWidth = (a_u8Tag - 'N') % 3;  // 0, 1, 2: one, two, four bytes
  const uint32_t u32 = iWidth == 0 ? a_pu8[0] : iWidth == 1 ? uint32_t{a_pu8[0]} | uint32_t{a_pu8[1]} << 8
                                                            : DevHistoryGet32(a_pu8);
  m_out.Printf("\t\t<%s>%" PRIu32 "</%s>\n", a_szElement, u32, a_szElement);
  if (a_u8Tag >= 'Q' && a_u8Tag <= 'S' && u32) {
    m_out.Printf("\t\t<ppm>%g</ppm>\n", u32 / (m_lScanSeconds / 60.0));
  }
}

void CHistoryReader::Status(uint8_t a_u8Code) {
  char szStatus[s_sizetStatusName] = "";
  if (a_u8Code < s_sizetStatusNames) COsString::SStrCpy(szStatus, sizeof szStatus, m_aszEdevsts[a_u8Code]);
  for (char* pc = szStatus; *pc; ++pc) {
    if (*pc >= 'A' && *pc <= 'Z') *pc = static_cast<char>(*pc - 'A' + 'a');
  }
  const char* szText = std::strcmp(szStatus, "endofjob") == 0 ? "success" : szStatus;
  m_out.Element("status", nullptr, szText, std::strlen(szText));
}

bool CHistoryReader::Lookup(const uint8_t* a_pu8, size_t a_sizet) {
  OsMemDelete(m_pdblookup);
  m_pdblookup = OsMemNew(CDbLookup);
  for (bool& rbl : m_ablName) rbl = false;
  static const uint8_t s_u8Empty = 0;
  if (!m_pdblookup ||
      m_pdblookup->Open2(DB_API_RESOURCE, nullptr, a_sizet ? a_pu8 : &s_u8Empty, a_sizet, false) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Open failed...<%s>", m_szHistoryFile);
    return false;
  }
  return true;
}

void CHistoryReader::Attributes(const uint8_t* a_pu8, size_t a_sizet) {
  std::memset(m_au8Db, 0, sizeof m_au8Db);
  if (!ReadTable(a_pu8, a_sizet, "m", [this](unsigned long a_ulId, const char* a_szValue) {
        unsigned long ulAttribute = 0;
        if (a_ulId < s_sizetAttributeIds && Number(a_szValue, &ulAttribute) && ulAttribute <= 0xff) {
          m_au8Db[a_ulId] = static_cast<uint8_t>(ulAttribute);
        }
      })) {
    OsLog(OS_LOG_ERROR, "history: an attribute table that is no XML, left empty...<%s>", m_szHistoryFile);
  }
}

void CHistoryReader::StatusNames(const uint8_t* a_pu8, size_t a_sizet) {
  std::memset(m_aszEdevsts, 0, sizeof m_aszEdevsts);
  if (!ReadTable(a_pu8, a_sizet, "t", [this](unsigned long a_ulCode, const char* a_szName) {
        if (a_ulCode < s_sizetStatusNames) COsString::SStrCpy(m_aszEdevsts[a_ulCode], s_sizetStatusName, a_szName);
      })) {
    OsLog(OS_LOG_ERROR, "history: a status table that is no XML, left empty...<%s>", m_szHistoryFile);
  }
}

// The element name of a capability: its TWAIN lexicon name, else its
// DB_ID name lower-cased, else "edbid%03d"; anything that cannot name an
// element becomes "_".
const std::string& CHistoryReader::Name(uint8_t a_u8Id) {
  std::string& str = m_astrName[a_u8Id];
  if (m_ablName[a_u8Id]) return str;
  m_ablName[a_u8Id] = true;
  str.clear();
  DbLookup2* pdblookup2 = m_pdblookup ? m_pdblookup->FindEdbid(static_cast<EDBID>(a_u8Id)) : nullptr;
  if (pdblookup2 && pdblookup2->szTwainLexicon && *pdblookup2->szTwainLexicon) {
    str = pdblookup2->szTwainLexicon;
  } else if (pdblookup2 && pdblookup2->szDbId && *pdblookup2->szDbId) {
    str = pdblookup2->szDbId;
    if (str.compare(0, sizeof s_szDbIdPrefix - 1, s_szDbIdPrefix) == 0) str.erase(0, sizeof s_szDbIdPrefix - 1);
    for (char& rc : str) {
      if (rc >= 'A' && rc <= 'Z') rc = static_cast<char>(rc - 'A' + 'a');
    }
  }
  if (str.empty()) {
    char sz[16];
    std::snprintf(sz, sizeof sz, "edbid%03u", static_cast<unsigned>(a_u8Id));
    str = sz;
  }
  for (size_t i = 0; i < str.size(); ++i) {
    const char c = str[i];
    const bool blLetter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    if (!blLetter && !(i > 0 && ((c >= '0' && c <= '9') || c == '-' || c == '.'))) str[i] = '_';
  }
  return str;
}

void CHistoryReader::EnumText(const std::string& a_strName, const char* a_szCamera, uint8_t a_u8Id, long a_lValue) {
  DbLookup2* pdblookup2 = m_pdblookup ? m_pdblookup->FindEdbid(static_cast<EDBID>(a_u8Id)) : nullptr;
  DbLookupEnum* pdblookupenum = pdblookup2 ? m_pdblookup->FindDbEnum(pdblookup2, a_lValue) : nullptr;
  const char* szText = nullptr;
  if (pdblookupenum && pdblookupenum->szLexiconEnum && *pdblookupenum->szLexiconEnum) {
    szText = pdblookupenum->szLexiconEnum;
  } else if (pdblookupenum && pdblookupenum->szDbIdEnum && *pdblookupenum->szDbIdEnum) {
    szText = pdblookupenum->szDbIdEnum;
  }
  char sz[32];
  if (!szText) {
    std::snprintf(sz, sizeof sz, "ENUM_%ld", a_lValue);
    szText = sz;
  }
  m_out.Element(a_strName, a_szCamera, szText, std::strlen(szText));
}

// One value in the encoding its attribute byte gives, written under the
// camera's name (and again under a_szRepeat's); false when the block ends
// inside it.
bool CHistoryReader::Value(const std::string& a_strName, uint8_t a_u8Id, uint8_t a_u8Attribute,
                           const char* a_szCamera, const char* a_szRepeat, const uint8_t*& a_rpu8,
                           const uint8_t* a_pu8End) {
  const int iKind = a_u8Attribute & DEV_HISTORY_ATTR_KIND;
  const size_t sizetLeft = static_cast<size_t>(a_pu8End - a_rpu8);
  const uint8_t* pu8 = a_rpu8;
  size_t sizetText = 0;
  uint32_t u32 = 0;
  if (iKind == 3) {
    const void* pvNul = sizetLeft ? std::memchr(pu8, 0, sizetLeft) : nullptr;
    if (!pvNul) return false;
    sizetText = static_cast<size_t>(static_cast<const uint8_t*>(pvNul) - pu8);
    a_rpu8 += sizetText + 1;
  } else {
    const size_t sizetWidth = iKind == 2 || (a_u8Attribute & DEV_HISTORY_ATTR_BYTE) ? 1 : 4;
    if (sizetLeft < sizetWidth) return false;
    u32 = sizetWidth == 1 ? pu8[0] : DevHistoryGet32(pu8);
    a_rpu8 += sizetWidth;
  }
  const char* aszCamera[] = {a_szCamera, a_szRepeat};
  for (size_t i = 0; i < (a_szRepeat ? 2u : 1u); ++i) {
    if (iKind == 3) {
      m_out.Element(a_strName, aszCamera[i], reinterpret_cast<const char*>(pu8), sizetText, true);
    } else if (iKind == 2) {
      EnumText(a_strName, aszCamera[i], a_u8Id, static_cast<long>(u32));
    } else {
      char sz[16];
      const int iLength = std::snprintf(sz, sizeof sz, "%" PRIu32, u32);
      m_out.Element(a_strName, aszCamera[i], sz, static_cast<size_t>(iLength));
    }
  }
  return true;
}

void CHistoryReader::Block(const uint8_t* a_pu8, size_t a_sizet) {
  if (!a_sizet) return;
  const uint8_t* pu8End = a_pu8 + a_sizet;
  const bool blSameSides = a_pu8[0] & DEV_HISTORY_FLAG_SAMESIDES;
  const uint8_t* pu8 = a_pu8 + 1;
  while (pu8 < pu8End) {
    const uint8_t u8Id = *pu8++;
    const uint8_t u8Attribute = m_au8Db[u8Id];
    const std::string& strName = Name(u8Id);
    const uint8_t u8Cameras = u8Attribute & DEV_HISTORY_ATTR_CAMERAS;
    bool blWhole = true;
    if (!u8Cameras) {
      blWhole = Value(strName, u8Id, u8Attribute, nullptr, nullptr, pu8, pu8End);
    } else if (u8Cameras == DEV_HISTORY_ATTR_CAMERAS && (u8Attribute & DEV_HISTORY_ATTR_KIND) == 2 && pu8 < pu8End &&
               (*pu8 & DEV_HISTORY_ALLCAMERAS)) {
      const long lValue = *pu8++ & 0x7f;
      for (const char* szCamera : s_aszCamera) EnumText(strName, szCamera, u8Id, lValue);
    } else {
      for (int i = 0; i < 4 && blWhole; ++i) {
        const bool blRear = i == 1 || i == 3;
        if (!(u8Cameras & (0x10 << i)) || (blSameSides && blRear)) continue;
        const bool blRepeat = blSameSides && (u8Cameras & (0x10 << (i + 1)));
        blWhole = Value(strName, u8Id, u8Attribute, s_aszCamera[i], blRepeat ? s_aszCamera[i + 1] : nullptr, pu8,
                        pu8End);
      }
    }
    if (!blWhole) {
      OsLog(OS_LOG_ERROR, "history: a settings block ends inside the value of id %u...<%s>",
            static_cast<unsigned>(u8Id), m_szHistoryFile);
      return;
    }
  }
}

// The whole file in memory; false (logged) when it cannot be read.
bool ReadHistory(const char* a_szHistoryFile, std::vector<uint8_t>& a_vecu8) {
  COsFile osfile;
  uint64_t u64Size = 0;
  if (osfile.Open(a_szHistoryFile, OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READ) != OS_STS_SUCCESS ||
      osfile.Size64(&u64Size) != OS_STS_SUCCESS || u64Size > UINT32_MAX) {
    OsLog(OS_LOG_ERROR, "OsMemSharedAllocReadonly failed...<%s>", a_szHistoryFile);
    return false;
  }
  a_vecu8.resize(static_cast<size_t>(u64Size));
  size_t sizetHave = 0;
  while (sizetHave < a_vecu8.size()) {
    size_t sizetRead = 0;
    if (osfile.Read(a_vecu8.data() + sizetHave, a_vecu8.size() - sizetHave, &sizetRead) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "OsMemSharedAllocReadonly failed...<%s>", a_szHistoryFile);
      return false;
    }
    if (sizetRead == 0) break;  // cut meanwhile
    sizetHave += sizetRead;
  }
  a_vecu8.resize(sizetHave);
  return true;
}

// The XML file's temporary beside it, made and opened.
bool OpenBeside(const char* a_szXmlFile, char* a_szTemp, size_t a_sizetTemp, COsFile& a_osfile) {
  std::string strDirectory(a_szXmlFile);
  const size_t sizetSlash = strDirectory.find_last_of('/');
  const std::string strName = sizetSlash == std::string::npos ? strDirectory : strDirectory.substr(sizetSlash + 1);
  strDirectory = sizetSlash == std::string::npos ? "." : sizetSlash == 0 ? "/" : strDirectory.substr(0, sizetSlash);
  if (strName.empty() ||
      COsFile::GetTempName(strDirectory.c_str(), a_szTemp, (strName + ".tmp").c_str(), a_sizetTemp) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Open failed...<%s>", a_szXmlFile);
    return false;
  }
  // The name is free (GetTempName gives it up again): made here.
  if (a_osfile.Open(a_szTemp, OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_EXCLUSIVE) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Open failed...<%s>", a_szXmlFile);
    COsFile::Delete(a_szTemp, OS_FILETYPE_FILE, false);
    return false;
  }
  return true;
}

}  // namespace

EOSSTS CDevData::UnpackScanHistory(const char* a_szXmlFile, const char* a_szHistoryFile) {
  if (!a_szXmlFile || !*a_szXmlFile || !a_szHistoryFile || !*a_szHistoryFile) {
    OsLog(OS_LOG_ERROR, "UnpackScanHistory: bad argument...");
    return OS_STS_FAIL;
  }
  char szTemp[1024] = "";
  try {
    std::vector<uint8_t> vecu8;
    if (!ReadHistory(a_szHistoryFile, vecu8)) return OS_STS_FAIL;
    COsFile osfile;
    if (!OpenBeside(a_szXmlFile, szTemp, sizeof szTemp, osfile)) return OS_STS_FAIL;
    bool blWritten = false;
    {
      CHistoryOut out(osfile);
      out.Put("<history>\n");
      CHistoryReader historyreader(vecu8, out, a_szHistoryFile);
      if (historyreader.Walk()) {
        out.Put("</history>");
        blWritten = out.Flush() && osfile.Flush() == OS_STS_SUCCESS;
        if (!blWritten) OsLog(OS_LOG_ERROR, "Write failed...<%s>", a_szXmlFile);
      }
    }
    osfile.Close();
    if (blWritten && COsFile::Move(szTemp, a_szXmlFile) == OS_STS_SUCCESS) return OS_STS_SUCCESS;
    COsFile::Delete(szTemp, OS_FILETYPE_FILE, false);
    return OS_STS_FAIL;
  } catch (const std::bad_alloc&) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...<%s>", a_szHistoryFile);
    if (szTemp[0]) COsFile::Delete(szTemp, OS_FILETYPE_FILE, false);
    return OS_STS_FAIL;
  }
}
