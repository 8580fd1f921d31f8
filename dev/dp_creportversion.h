// The reportversion and reportversionuser reports: the versions of the unit
// FIRMWARE names (feeder unless it is the flatbed) go into the database's
// version record.
#pragma once

#include <cstddef>

#include "dp_handlers.h"

// A version read from a reply holds at most this many characters.
constexpr size_t DP_VERSION_TEXT = 4095;

// The dotted form of a version: a text holding a point as it is; otherwise
// the number n as n / 1,000,000, then (n mod 1,000,000) / 10,000, then the
// two lowest pairs of digits when the last is not 0, or the third pair alone
// when only it is not 0 (1020304 "1.2.3.4", 1020300 "1.2.3", 1020000 "1.2",
// 1020005 "1.2.0.5"). A text without digits is 0, "0.0".
void DpDottedVersion(const char* a_szContent, char* a_szVersion, size_t a_sizetVersion);

class CReportVersion {
 public:
  DP_HANDLERS_CREPORTVERSION(DP_DECLARE_TRAMPOLINE)
  EOSSTS Handle(EDPHANDLER a_edphandler, OsXmlCallback* a_posxmlcallback);
};

class CReportVersionUser {
 public:
  DP_HANDLERS_CREPORTVERSIONUSER(DP_DECLARE_TRAMPOLINE)
  EOSSTS Handle(EDPHANDLER a_edphandler, OsXmlCallback* a_posxmlcallback);
};
