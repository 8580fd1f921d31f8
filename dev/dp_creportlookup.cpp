// What the reports of one capability record of their id.
#include "dp_creportlookup.h"

#include "db_cdatabase.h"
#include "db_cdblookup.h"
#include "dp_target.h"
#include "os_coslog.h"

void CDpRecordedId::Forget() {
  m_pdblookup2 = nullptr;
  m_edbid = DB_ID_UNDEFINED;
}

void CDpRecordedId::Record(OsXmlCallback* a_posxmlcallback) {
  Forget();
  CDatabase* pdatabase = DpDatabase(a_posxmlcallback);
  if (!pdatabase) return;
  DbLookup2* pdblookup2 = pdatabase->LookupLexicon(DpContent(a_posxmlcallback));
  if (!pdblookup2) {
    OsLogDebug(OS_LOG_INFO, "dp>>> no capability is named <%s>", DpContent(a_posxmlcallback));
    return;
  }
  m_pdblookup2 = pdblookup2;
  m_edbid = pdblookup2->edbid;
}
