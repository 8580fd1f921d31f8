// The detected cartridges: the list is emptied when the report begins, each
// printer's value adds its item, and an empty list ends as "none".
#include "dp_creportcartridgedetected.h"

#include "db_cdatabase.h"
#include "db_cdblookup.h"
#include "dp_target.h"
#include "os_coslog.h"

namespace {

constexpr const char* s_szNone = "none";

// The item of a lexicon name; an unknown name fails the reply.
EOSSTS AddItem(CDatabase& a_database, CDbDatum* a_pdbdatum, const char* a_szName) {
  DbLookupEnum* pdblookupenum =
      a_database.LookupLexiconEnum(a_database.LookupEdbid(DB_ID_CARTRIDGEDETECTED), a_szName);
  if (!pdblookupenum) {
    OsLog(OS_LOG_ERROR, "pdblookupenum is NULL %d", DB_ID_CARTRIDGEDETECTED);
    OsLogDebug(OS_LOG_INFO, "dp>>> no cartridge is named <%s>", a_szName);
    return OS_STS_FAIL;
  }
  const EDBSTS edbsts = a_database.EnumAddItem(a_pdbdatum, pdblookupenum->lValue);
  if (edbsts != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "dp>>> cartridge <%s> not added...%d", a_szName, edbsts);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

}  // namespace

EOSSTS CReportCartridgeDetected::Handle(EDPHANDLER a_edphandler, OsXmlCallback* a_posxmlcallback) {
  if (a_edphandler == DP_HANDLER_EnterReportcartridgedetectedPrinter) return OS_STS_SUCCESS;
  CDatabase* pdatabase = DpDatabase(a_posxmlcallback);
  if (!pdatabase) return OS_STS_SUCCESS;
  CDbDatum* pdbdatum = pdatabase->Find(DB_ID_CARTRIDGEDETECTED);
  if (!pdbdatum) {
    OsLog(OS_LOG_ERROR, "hdbdatum is NULL: DB_ID_CARTRIDGEDETECTED");
    return OS_STS_FAIL;
  }
  switch (a_edphandler) {
    case DP_HANDLER_EnterReportcartridgedetected:
      if (pdatabase->EnumDeleteAllItems(pdbdatum) != DB_STS_SUCCESS) {
        OsLog(OS_LOG_ERROR, "dp>>> the cartridge list cannot be emptied...");
        return OS_STS_FAIL;
      }
      return OS_STS_SUCCESS;
    case DP_HANDLER_EnterReportcartridgedetectedPrinterValue:
      return AddItem(*pdatabase, pdbdatum, DpContent(a_posxmlcallback));
    case DP_HANDLER_ExitReportcartridgedetected:
      if (pdatabase->EnumGetCurrentItemCount(pdbdatum) > 0) return OS_STS_SUCCESS;
      return AddItem(*pdatabase, pdbdatum, s_szNone);
    default: return OS_STS_SUCCESS;
  }
}
