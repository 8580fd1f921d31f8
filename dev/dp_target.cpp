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

// The target of the kind a handler needs, or null (logged) for another kind.
template <class T>
T* Want(const OsXmlCallback* a_posxmlcallback, T* (DevDispatchTarget::*a_pfnGet)() const, const char* a_szKind) {
  const DevDispatchTarget* pdevdispatchtarget = Target(a_posxmlcallback);
  T* pt = pdevdispatchtarget ? (pdevdispatchtarget->*a_pfnGet)() : nullptr;
  if (!pt) {
    OsLogDebug(OS_LOG_INFO, "dp>>> <%s> ignored: the reply is not read into %s", Name(a_posxmlcallback),
               a_szKind);
  }
  return pt;
}
}  // namespace

const char* DpContent(const OsXmlCallback* a_posxmlcallback) {
  return a_posxmlcallback && a_posxmlcallback->szData ? a_posxmlcallback->szData : "";
}

CDatabase* DpDatabase(const OsXmlCallback* a_posxmlcallback) {
  return Want(a_posxmlcallback, &DevDispatchTarget::GetDatabase, "the database");
}

DeviceLog* DpDeviceLog(const OsXmlCallback* a_posxmlcallback) {
  return Want(a_posxmlcallback, &DevDispatchTarget::GetDeviceLog, "a log record");
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
