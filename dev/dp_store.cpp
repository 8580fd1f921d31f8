// The stores the reply handlers share.
#include "dp_store.h"

#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "dp_target.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {
const char* Name(const OsXmlCallback* a_posxmlcallback) {
  return a_posxmlcallback && a_posxmlcallback->szName ? a_posxmlcallback->szName : "";
}

// A digit after the blanks and the sign DpNumber skips.
bool HasDigits(const char* a_szText) {
  const char* pc = a_szText;
  while (*pc == ' ' || (*pc >= '\t' && *pc <= '\r')) ++pc;
  if (*pc == '-' || *pc == '+') ++pc;
  return *pc >= '0' && *pc <= '9';
}
}  // namespace

void DpStoreConfigNumber(CDatabase& a_database, const char* a_szKey, const OsXmlCallback* a_posxmlcallback) {
  const char* szContent = DpContent(a_posxmlcallback);
  long lValue = DpNumber(szContent);
  if (!HasDigits(szContent)) {
    OsLog(OS_LOG_ERROR, "dp>>> <%s> is no number, stored as 0...<%s>", Name(a_posxmlcallback), szContent);
  } else if (lValue < 0) {
    OsLog(OS_LOG_ERROR, "dp>>> <%s> is negative, stored as 0...<%s>", Name(a_posxmlcallback), szContent);
    lValue = 0;
  }
  a_database.ConfigSetNumber(a_szKey, static_cast<uint64_t>(lValue), DB_CONFIGTARGET_COMMON);
}

bool DpCopyContent(char* a_szField, size_t a_sizetField, const OsXmlCallback* a_posxmlcallback) {
  const char* szContent = DpContent(a_posxmlcallback);
  if (COsString::SStrCpyCut(a_szField, a_sizetField, szContent)) return true;
  OsLog(OS_LOG_ERROR, "dp>>> <%s> too long, cut to %zu bytes...<%s>", Name(a_posxmlcallback), std::strlen(a_szField),
        szContent);
  return false;
}

CDpFromScanner::CDpFromScanner(CDatabase& a_database)
    : m_database(a_database), m_blWasSet(a_database.TestDbState(DB_STATE_DEVICEUPDATE) != 0) {
  m_database.SetDbState(DB_STATE_DEVICEUPDATE);
}

CDpFromScanner::~CDpFromScanner() {
  if (!m_blWasSet) m_database.ClearDbState(DB_STATE_DEVICEUPDATE);
}
