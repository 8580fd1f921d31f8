// The message texts: kept in data buffer 0 for the caller of the task.
#include "dp_creportmessage.h"

#include "db_cdatabase.h"
#include "dp_target.h"
#include "os_coslog.h"

namespace {
// A buffer that cannot take the text fails the reply: the caller would
// read an older text as this one's.
EOSSTS StoreMessage(OsXmlCallback* a_posxmlcallback, const char* a_szFailure) {
  CDatabase* pdatabase = DpDatabase(a_posxmlcallback);
  if (!pdatabase) return OS_STS_SUCCESS;
  if (pdatabase->SetData(DpContent(a_posxmlcallback), false) != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "%s", a_szFailure);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}
}  // namespace

EOSSTS CReportMessage::Handle(EDPHANDLER, OsXmlCallback* a_posxmlcallback) {
  return StoreMessage(a_posxmlcallback, "Fail to set the <reportmessage>");
}

EOSSTS CReportSetupEnd::Handle(EDPHANDLER, OsXmlCallback* a_posxmlcallback) {
  return StoreMessage(a_posxmlcallback, "Fail to set the <reportsetupend>");
}
