// The log reports, read into the caller's log record: reportlog (the log's
// type, its file and the names of further data files) and reportdebuglog
// (the file of the debug log).
#pragma once

#include <cstddef>

#include "dp_handlers.h"

// The further file names of a log are packed into the record's buffer,
// which holds at least this many bytes for them.
constexpr size_t DP_LOG_NAMES = 65536;

class CReportLog {
 public:
  DP_HANDLERS_CREPORTLOG(DP_DECLARE_TRAMPOLINE)
  EOSSTS Handle(EDPHANDLER a_edphandler, OsXmlCallback* a_posxmlcallback);

 private:
  EOSSTS Begin(OsXmlCallback* a_posxmlcallback);
  EOSSTS DataFileName(OsXmlCallback* a_posxmlcallback);
  EOSSTS DataFileEnd();

  long m_lIndex = -1;      // data files read; -1 before the first is complete
  size_t m_sizetOffset = 0;  // where the next name goes in the buffer
  long m_lNames = 0;       // names in the offset table
  bool m_blNamed = false;  // the data file being read has its name
};

class CReportDebugLog {
 public:
  DP_HANDLERS_CREPORTDEBUGLOG(DP_DECLARE_TRAMPOLINE)
  EOSSTS Handle(EDPHANDLER a_edphandler, OsXmlCallback* a_posxmlcallback);
};
