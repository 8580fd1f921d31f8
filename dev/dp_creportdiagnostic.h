// The reportdiagnostic report: the diagnostic's times into the model
// configuration, its data file into the caller's log record, and the value
// the scanner reports for a diagnostic into that diagnostic's capability.
#pragma once

#include <cstddef>

#include "dp_handlers.h"

// The name of a diagnostic holds one character less.
constexpr size_t DP_DIAGNOSTIC_TYPE = 512;

class CReportDiagnostic {
 public:
  DP_HANDLERS_CREPORTDIAGNOSTIC(DP_DECLARE_TRAMPOLINE)
  EOSSTS Handle(EDPHANDLER a_edphandler, OsXmlCallback* a_posxmlcallback);

 private:
  EOSSTS StoreValue(OsXmlCallback* a_posxmlcallback);

  // The diagnostic the reply's values belong to; emptied when a report
  // begins, so that a type of an earlier reply is never taken for this one.
  char m_szDiagnosticType[DP_DIAGNOSTIC_TYPE] = {};
};
