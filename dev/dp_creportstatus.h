// The reportstatus report: the status word of a reply as its code. The
// dispatcher resets it before each walk, so that a reply without a status,
// or with a word not known, reads as a failure and never as the code of the
// reply before.
#pragma once

#include "dev_def.h"
#include "dp_handlers.h"

class CReportStatus {
 public:
  DP_HANDLERS_CREPORTSTATUS(DP_DECLARE_TRAMPOLINE)
  EOSSTS Handle(EDPHANDLER a_edphandler, OsXmlCallback* a_posxmlcallback);

  // Before a walk: no status read yet, the code is a failure.
  void Reset();
  EDEVREPLY GetCode() const { return m_edevreply; }
  // Whether the last walk met a status word in the table.
  bool HasStatus() const { return m_blStatus; }
  // The code of a status word (exact, case-sensitive); false when the word
  // is not in the table.
  static bool CodeFromWord(const char* a_szWord, EDEVREPLY* a_pedevreply);

 private:
  EDEVREPLY m_edevreply = DEV_REPLY_SUCCESS;
  bool m_blStatus = false;
};
