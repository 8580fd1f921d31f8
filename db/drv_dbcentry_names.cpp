// The compiler's name tables: the built-in words, the languages of
// "os_coslocale.h" and the constants of "db_def.h", read from the headers as
// text line by line ("NAME = value"), then sorted so that a name is found by
// an exact comparison.
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "drv_dbcentry.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {

struct DbcBuiltin {
  const char* szName;
  EDBTAGTYPE edbtagtype;
  int64_t i64Value;
};

const DbcBuiltin s_adbcbuiltin[] = {
    {"ACCESS", DB_TAGTYPE_ACCESS, 0},
    {"DATATYPE", DB_TAGTYPE_DATATYPE, 0},
    {"FAMILY", DB_TAGTYPE_FAMILY, 0},
    {"INTERFACE", DB_TAGTYPE_INTERFACE, 0},
    {"SET", DB_TAGTYPE_SET, 0},
    {"CURRENTVALUE", DB_TAGTYPE_CURRENTVALUE, 0},
    {"DEFAULTVALUE", DB_TAGTYPE_DEFAULTVALUE, 0},
    {"CURRENTRANGE", DB_TAGTYPE_CURRENTRANGE, 0},
    {"DEFAULTRANGE", DB_TAGTYPE_DEFAULTRANGE, 0},
    {"CURRENTENUM", DB_TAGTYPE_CURRENTENUM, 0},
    {"DEFAULTENUM", DB_TAGTYPE_DEFAULTENUM, 0},
    {"CURRENTSTRING", DB_TAGTYPE_CURRENTSTRING, 0},
    {"DEFAULTSTRING", DB_TAGTYPE_DEFAULTSTRING, 0},
    {"MAXSTRINGSIZE", DB_TAGTYPE_MAXSTRINGSIZE, 0},
    {"DEVICEDATA", DB_TAGTYPE_DEVICEDATAWORD, 0},
    {"TRUE", DB_TAGTYPE_BOOL, 1},
    {"FALSE", DB_TAGTYPE_BOOL, 0},
};

// How a line of "db_def.h" is read, by the prefix of its name.
enum class DbcRead { Decimal, CNotation, Hex };
struct DbcPrefix {
  const char* szPrefix;
  EDBTAGTYPE edbtagtype;
  DbcRead dbcread;
};
const DbcPrefix s_adbcprefix[] = {
    {"DB_BIN_", DB_TAGTYPE_EDBBIN, DbcRead::Decimal},
    {"DB_ACCESS_", DB_TAGTYPE_EDBACCESS, DbcRead::Decimal},
    {"DB_CONTAINERTYPE_", DB_TAGTYPE_EDBCONTAINER, DbcRead::Decimal},
    {"DB_DATATYPE_", DB_TAGTYPE_EDBDATATYPE, DbcRead::Decimal},
    {"DB_GROUP_", DB_TAGTYPE_GROUP, DbcRead::CNotation},
    {"DB_DEVICEDATA_", DB_TAGTYPE_EDBDEVICEDATA, DbcRead::Hex},
};

bool IsBlank(char a_c) { return a_c == ' ' || a_c == '\t'; }
bool StartsWith(const char* a_sz, const char* a_szPrefix) {
  return std::strncmp(a_sz, a_szPrefix, std::strlen(a_szPrefix)) == 0;
}

// One line of a header: its first word (a C name never holds "=" or ",")
// and the text behind its first "=", or null when it has none.
struct DbcLine {
  char szName[512];
  const char* pcValue;
  bool blTooLong;
};
DbcLine SplitLine(const char* a_pcLine) {
  DbcLine dbcline{};
  const char* pc = a_pcLine;
  while (IsBlank(*pc)) ++pc;
  size_t sizetName = std::strcspn(pc, " \t=,");
  dbcline.blTooLong = sizetName >= sizeof dbcline.szName;
  if (!dbcline.blTooLong) {
    std::memcpy(dbcline.szName, pc, sizetName);
    dbcline.szName[sizetName] = '\0';
  }
  const char* pcEquals = std::strchr(a_pcLine, '=');
  dbcline.pcValue = pcEquals ? pcEquals + 1 : nullptr;
  return dbcline;
}

// Reads a header whole and calls the reader for each line (CR and LF both
// end a line); stops at the first line the reader refuses.
template <class F>
EOSSTS ForEachLine(const char* a_szFile, F a_f) {
  if (!COsFile::Exists(a_szFile)) {
    std::printf("File not found...<%s>\r\n", a_szFile);
    std::fflush(stdout);
    OsLog(OS_LOG_ERROR, "File not found...<%s>", a_szFile);
    return OS_STS_FILE_NOT_FOUND;
  }
  DbcText dbctext{};
  EOSSTS eossts = CDbc::ReadText(a_szFile, &dbctext);
  if (eossts != OS_STS_SUCCESS || dbctext.sizetLength == 0) {
    std::printf(eossts == OS_STS_NOROOM_BUFFER ? "OsMemAlloc failed...\r" : "ReadFile failed...\r");
    std::fflush(stdout);
    OsLog(OS_LOG_ERROR, "ReadFile failed...<%s>", a_szFile);
    CDbc::FreeString(&dbctext);
    return OS_STS_FAIL;
  }
  // The text ends with a terminator; each line is cut out in place.
  eossts = OS_STS_SUCCESS;
  for (char* pcLine = dbctext.psz; *pcLine && eossts == OS_STS_SUCCESS;) {
    char* pcEnd = pcLine + std::strcspn(pcLine, "\r\n");
    const bool blLast = *pcEnd == '\0';
    *pcEnd = '\0';
    eossts = a_f(pcLine);
    if (blLast) break;
    pcLine = pcEnd + 1;
  }
  CDbc::FreeString(&dbctext);
  return eossts;
}

bool NameLess(const DbcTag& a_dbctag1, const DbcTag& a_dbctag2) {
  return strcasecmp(a_dbctag1.szName, a_dbctag2.szName) < 0;
}

}  // namespace

EOSSTS CDbc::LookupAddToTable(std::vector<DbcTag>& a_vecdbctag, size_t a_sizetCapacity, const char* a_szName,
                              EDBTAGTYPE a_edbtagtype, int64_t a_i64Value) {
  if (a_vecdbctag.size() >= a_sizetCapacity) {
    OsLog(OS_LOG_ERROR, "No more entries (%d at most)...<%s>", static_cast<int>(a_sizetCapacity), a_szName);
    return OS_STS_NO_ROOM;
  }
  DbcTag dbctag{};
  if (std::strlen(a_szName) >= sizeof dbctag.szName) {
    OsLog(OS_LOG_ERROR, "Name too long (%d characters at most)...<%.64s>", static_cast<int>(sizeof dbctag.szName - 1),
          a_szName);
    return OS_STS_NOROOM_BUFFER;
  }
  COsString::SStrCpy(dbctag.szName, sizeof dbctag.szName, a_szName);
  dbctag.i64Value = a_i64Value;
  dbctag.edbtagtype = a_edbtagtype;
  try {
    a_vecdbctag.push_back(dbctag);
  } catch (...) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
    return OS_STS_NOROOM_BUFFER;
  }
  return OS_STS_SUCCESS;
}

int64_t CDbc::LookupInTable(const std::vector<DbcTag>& a_vecdbctag, const char* a_szText) {
  for (const DbcTag& dbctag : a_vecdbctag) {
    if (std::strcmp(dbctag.szName, a_szText) == 0) return dbctag.i64Value;
  }
  return -1;
}

const DbcTag* CDbc::FindTag(const char* a_szName) const {
  // Sorted without regard to case, compared exactly: the run of names that
  // differ from it only in case is searched for the name itself.
  DbcTag dbctagKey{};
  if (!a_szName || std::strlen(a_szName) >= sizeof dbctagKey.szName) return nullptr;
  COsString::SStrCpy(dbctagKey.szName, sizeof dbctagKey.szName, a_szName);
  auto it = std::lower_bound(m_vecdbctagLookup.begin(), m_vecdbctagLookup.end(), dbctagKey, NameLess);
  for (; it != m_vecdbctagLookup.end() && strcasecmp(it->szName, a_szName) == 0; ++it) {
    if (std::strcmp(it->szName, a_szName) == 0) return &*it;
  }
  return nullptr;
}

int64_t CDbc::LookupString(const char* a_szName) {
  const DbcTag* pdbctag = FindTag(a_szName);
  if (!pdbctag) {
    OsLog(OS_LOG_ERROR, "<%s> not found...", a_szName);
    return -1;
  }
  return pdbctag->i64Value;
}

bool CDbc::Resolve(const char* a_szName, int64_t* a_pi64Value, const char* a_szPrint, const char* a_szLog) {
  const DbcTag* pdbctag = FindTag(a_szName);
  if (pdbctag) {
    *a_pi64Value = pdbctag->i64Value;
    return true;
  }
  Print(a_szPrint, a_szName);
  if (a_szLog) OsLog(OS_LOG_ERROR, a_szLog, a_szName);
  return false;
}

EOSSTS CDbc::LoadLookupEnum(const char* a_szFile, const char* a_szPrefix, std::vector<DbcTag>& a_vecdbctag,
                            size_t a_sizetCapacity) {
  return ForEachLine(a_szFile, [&](const char* a_pcLine) {
    DbcLine dbcline = SplitLine(a_pcLine);
    if (dbcline.blTooLong || !dbcline.pcValue || !StartsWith(dbcline.szName, a_szPrefix)) return OS_STS_SUCCESS;
    EOSSTS eossts = LookupAddToTable(a_vecdbctag, a_sizetCapacity, dbcline.szName, DB_TAGTYPE_ENUM,
                                     std::strtoll(dbcline.pcValue, nullptr, 10));
    if (eossts == OS_STS_NO_ROOM) {
      std::printf("LoadLookupEnum: No more entries...\r");
      std::fflush(stdout);
    }
    return eossts;
  });
}

EOSSTS CDbc::LookupLoadCDatabase(const char* a_szFile) {
  return ForEachLine(a_szFile, [&](const char* a_pcLine) {
    DbcLine dbcline = SplitLine(a_pcLine);
    if (dbcline.blTooLong) return OS_STS_SUCCESS;
    const char* szName = dbcline.szName;
    if (StartsWith(szName, "DB_ID_")) {
      if (!dbcline.pcValue) return OS_STS_SUCCESS;
      const char* pc = dbcline.pcValue;
      while (IsBlank(*pc)) ++pc;
      int64_t i64Value = 0;
      if (StartsWith(pc, "OS_LANGUAGE_")) {
        char szLanguage[512] = "";
        size_t sizetLanguage = std::strcspn(pc, ", \t\r\n");
        if (sizetLanguage < sizeof szLanguage) {
          std::memcpy(szLanguage, pc, sizetLanguage);
          szLanguage[sizetLanguage] = '\0';
        }
        i64Value = LookupInTable(m_vecdbctagLanguage, szLanguage);
        if (i64Value < 0) {
          OsLogDebug(OS_LOG_DBC, "LookupLoadCDatabase: could not find OS_LANGUAGE_*");
          OsLog(OS_LOG_ERROR, "Unknown language...<%s> <%s>", szName, szLanguage);
          std::printf("ReadFile failed...\r");
          std::fflush(stdout);
          return OS_STS_FAIL;
        }
      } else {
        i64Value = std::strtoll(pc, nullptr, 10);
      }
      EDBTAGTYPE edbtagtype = std::strstr(szName, "_ENUM_") ? DB_TAGTYPE_ENUM : DB_TAGTYPE_EDBID;
      return LookupAddToTable(m_vecdbctagLookup, s_sizetTableEntries, szName, edbtagtype, i64Value);
    }
    // The enumeration's end mark follows the last bin without a value.
    if (!dbcline.pcValue && StartsWith(szName, "DB_BIN_") && std::strstr(szName, "DB_BIN_LAST")) {
      int64_t i64Previous = m_vecdbctagLookup.empty() ? -1 : m_vecdbctagLookup.back().i64Value;
      return LookupAddToTable(m_vecdbctagLookup, s_sizetTableEntries, szName, DB_TAGTYPE_EDBBIN, i64Previous + 1);
    }
    for (const DbcPrefix& dbcprefix : s_adbcprefix) {
      if (!StartsWith(szName, dbcprefix.szPrefix)) continue;
      if (!dbcline.pcValue) return OS_STS_SUCCESS;
      int iBase = dbcprefix.dbcread == DbcRead::Decimal ? 10 : dbcprefix.dbcread == DbcRead::Hex ? 16 : 0;
      return LookupAddToTable(m_vecdbctagLookup, s_sizetTableEntries, szName, dbcprefix.edbtagtype,
                              std::strtoll(dbcline.pcValue, nullptr, iBase));
    }
    return OS_STS_SUCCESS;
  });
}

EOSSTS CDbc::LoadLookupTable() {
  m_vecdbctagLookup.clear();
  m_vecdbctagLanguage.clear();
  for (const DbcBuiltin& dbcbuiltin : s_adbcbuiltin) {
    if (LookupAddToTable(m_vecdbctagLookup, s_sizetTableEntries, dbcbuiltin.szName, dbcbuiltin.edbtagtype,
                         dbcbuiltin.i64Value) != OS_STS_SUCCESS) {
      return OS_STS_FAIL;
    }
  }
  if (m_blCompileDatabase || m_blCompileLookup) {
    // The languages come from the built tree's copy of the header when there
    // is one, else from the header beside db_def.h.
    char szPath[1024];
    if (!COsFile::PathJoin(szPath, sizeof szPath, m_szInclude, "../../os/built/os_coslocale.h") ||
        !COsFile::Exists(szPath)) {
      COsFile::PathJoin(szPath, sizeof szPath, m_szInclude, "os_coslocale.h");
    }
    if (LoadLookupEnum(szPath, "OS_LANGUAGE_", m_vecdbctagLanguage, s_sizetTableEntries) != OS_STS_SUCCESS) {
      return OS_STS_FAIL;
    }
    COsFile::PathJoin(szPath, sizeof szPath, m_szInclude, "db_def.h");
    if (LookupLoadCDatabase(szPath) != OS_STS_SUCCESS) return OS_STS_FAIL;
  }
  std::stable_sort(m_vecdbctagLookup.begin(), m_vecdbctagLookup.end(), NameLess);
  return OS_STS_SUCCESS;
}
