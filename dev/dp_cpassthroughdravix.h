// The reply parser of the free-memory query: the sizes the image library
// reports go into the caller's list, count first.
#pragma once

#include "os_def.h"

class COsXml;
struct OsMemList;
struct OsXmlCallback;

class CPassthroughDravix {
 public:
  CPassthroughDravix();
  ~CPassthroughDravix();
  CPassthroughDravix(const CPassthroughDravix&) = delete;
  CPassthroughDravix& operator=(const CPassthroughDravix&) = delete;

  // Fills the list from the reply: 0 when its status word is "success", 1
  // for another word, an empty reply or one without a status word; the
  // reader's error for text that is not XML. Sizes beyond the list's room
  // are dropped (logged).
  EOSSTS Process(const char* a_szReply, OsMemList* a_posmemlist);

  static EOSSTS CPassthroughDravix_EnterTask(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CPassthroughDravix_EnterTaskReportstatusStatus(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CPassthroughDravix_EnterTaskReportfreememoryFreememory(OsXmlCallback* a_posxmlcallback);

 private:
  COsXml* m_posxml = nullptr;  // with the grammar, null when it could not be made
  bool m_blStatusSeen = false;
};
