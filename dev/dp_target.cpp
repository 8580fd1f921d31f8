// The reply handlers' view of their callback record.
#include "dp_target.h"

#include <climits>

#include "os_coslog.h"

namespace {
const DevDispatchTarget* Target(const OsXmlCallback* a_posxmlcallback) {
  return a_posxmlcallback ? static_cast<const DevDispatchTarget*>(a_posxmlcallback->pvArg) : nullptr;
}

const char* Name(const OsXmlCallback* a_posxmlcallback) {
  return a_posxmlcallback && a_posxmlcallback->szName ? a_posxmlcallback->szName : "";
}

bool IsBlank(char a_c) { return a_c == ' ' || (a_c >= '\t' && a_c <= '\r'); }
}  // namespace

const char* DpContent(const OsXmlCallback* a_posxmlcallback) {
  return a_posxmlcallback && a_posxmlcallback->szData ? a_posxmlcallback->szData : "";
}

CDatabase* DpDatabase(const OsXmlCallback* a_posxmlcallback) {
  const DevDispatchTarget* pdevdispatchtarget = Target(a_posxmlcallback);
  CDatabase* pdatabase = pdevdispatchtarget ? pdevdispatchtarget->GetDatabase() : nullptr;
  if (!pdatabase) {
    OsLogDebug(OS_LOG_INFO, "dp>>> <%s> ignored: the reply is not read into the database", Name(a_posxmlcallback));
  }
  return pdatabase;
}

DeviceLog* DpDeviceLog(const OsXmlCallback* a_posxmlcallback) {
  const DevDispatchTarget* pdevdispatchtarget = Target(a_posxmlcallback);
  DeviceLog* pdevicelog = pdevdispatchtarget ? pdevdispatchtarget->GetDeviceLog() : nullptr;
  if (!pdevicelog) {
    OsLogDebug(OS_LOG_INFO, "dp>>> <%s> ignored: the reply is not read into a log record", Name(a_posxmlcallback));
  }
  return pdevicelog;
}

long DpNumber(const char* a_szText) {
  if (!a_szText) return 0;
  const char* pc = a_szText;
  while (IsBlank(*pc)) ++pc;
  const bool blNegative = *pc == '-';
  if (*pc == '-' || *pc == '+') ++pc;
  // Accumulated negatively, so that LONG_MIN is reachable.
  long lValue = 0;
  for (; *pc >= '0' && *pc <= '9'; ++pc) {
    const int iDigit = *pc - '0';
    if (lValue < (LONG_MIN + iDigit) / 10) return blNegative ? LONG_MIN : LONG_MAX;
    lValue = lValue * 10 - iDigit;
  }
  if (blNegative) return lValue;
  return lValue == LONG_MIN ? LONG_MAX : -lValue;
}
