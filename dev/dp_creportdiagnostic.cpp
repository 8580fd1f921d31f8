// The diagnostic report.
#include "dp_creportdiagnostic.h"

#include <cstring>

#include "db_cdatabase.h"
#include "db_cdblookup.h"
#include "dev_def.h"
#include "dp_store.h"
#include "dp_target.h"
#include "os_coslog.h"

namespace {
// A diagnostic that cycles keeps cycling: what the scanner reports of one
// pass does not stop it.
constexpr const char* s_szCycle = "cycle";
}  // namespace

EOSSTS CReportDiagnostic::Handle(EDPHANDLER a_edphandler, OsXmlCallback* a_posxmlcallback) {
  switch (a_edphandler) {
    case DP_HANDLER_EnterReportdiagnostic: m_szDiagnosticType[0] = '\0'; return OS_STS_SUCCESS;
    case DP_HANDLER_EnterReportdiagnosticDiagnostictype:
      DpCopyContent(m_szDiagnosticType, sizeof m_szDiagnosticType, a_posxmlcallback);
      return OS_STS_SUCCESS;
    case DP_HANDLER_EnterReportdiagnosticDiagnosticvalue: return StoreValue(a_posxmlcallback);
    case DP_HANDLER_EnterReportdiagnosticDiagendtime:
    case DP_HANDLER_EnterReportdiagnosticDiagruntimeout: {
      CDatabase* pdatabase = DpDatabase(a_posxmlcallback);
      if (pdatabase) {
        DpStoreConfigNumber(
            *pdatabase, a_edphandler == DP_HANDLER_EnterReportdiagnosticDiagendtime ? "diagendtime" : "diagruntimeout",
            a_posxmlcallback);
      }
      return OS_STS_SUCCESS;
    }
    case DP_HANDLER_EnterReportdiagnosticFilename:
    case DP_HANDLER_EnterReportdiagnosticDatafileFilename: {
      DeviceLog* pdevicelog = DpDeviceLog(a_posxmlcallback);
      if (!pdevicelog) return OS_STS_SUCCESS;
      DpCopyContent(pdevicelog->szFilename, sizeof pdevicelog->szFilename, a_posxmlcallback);
      if (a_edphandler == DP_HANDLER_EnterReportdiagnosticFilename) pdevicelog->sizetData = 0;
      return OS_STS_SUCCESS;
    }
    case DP_HANDLER_EnterReportdiagnosticDatafileDatasize: {
      DeviceLog* pdevicelog = DpDeviceLog(a_posxmlcallback);
      if (!pdevicelog) return OS_STS_SUCCESS;
      const long lSize = DpNumber(DpContent(a_posxmlcallback));
      if (lSize < 0) OsLog(OS_LOG_ERROR, "dp>>> <datasize> is negative, taken as 0...%ld", lSize);
      pdevicelog->sizetData = lSize < 0 ? 0 : static_cast<size_t>(lSize);
      return OS_STS_SUCCESS;
    }
    default: return OS_STS_SUCCESS;
  }
}

// The value's name is one of the diagnostic's enumeration; it is written as
// the scanner's own (state bit 1).
EOSSTS CReportDiagnostic::StoreValue(OsXmlCallback* a_posxmlcallback) {
  CDatabase* pdatabase = DpDatabase(a_posxmlcallback);
  if (!pdatabase) return OS_STS_SUCCESS;
  const char* szValue = DpContent(a_posxmlcallback);
  if (!m_szDiagnosticType[0]) {
    OsLog(OS_LOG_ERROR, "dp>>> a diagnosticvalue before its diagnostictype, ignored...<%s>", szValue);
    return OS_STS_SUCCESS;
  }
  DbLookup2* pdblookup2 = pdatabase->LookupLexicon(m_szDiagnosticType);
  if (!pdblookup2) {
    OsLog(OS_LOG_ERROR, "pdblookup2 is NULL %s", m_szDiagnosticType);
    return OS_STS_FAIL;
  }
  CDbDatum* pdbdatum = pdatabase->Find(pdblookup2->edbid);
  if (!pdbdatum) {
    OsLog(OS_LOG_ERROR, "hdbdatum is NULL %d", pdblookup2->edbid);
    return OS_STS_FAIL;
  }
  const DbLookupEnum* pdblookupenumCurrent = pdatabase->LookupDbEnum(pdblookup2, pdatabase->GetCurrentLong(pdbdatum));
  if (!pdblookupenumCurrent) {
    OsLog(OS_LOG_ERROR, "pdblookupenum is NULL %d", pdblookup2->edbid);
    return OS_STS_FAIL;
  }
  if (pdblookupenumCurrent->szLexiconEnum && std::strcmp(pdblookupenumCurrent->szLexiconEnum, s_szCycle) == 0)
    return OS_STS_SUCCESS;
  const DbLookupEnum* pdblookupenum = pdatabase->LookupLexiconEnum(pdblookup2, szValue);
  if (!pdblookupenum) {
    OsLog(OS_LOG_ERROR, "pdblookupenum is NULL %s", szValue);
    return OS_STS_FAIL;
  }
  CDpFromScanner dpfromscanner(*pdatabase);
  const EDBSTS edbsts = pdatabase->SetCurrentLong(pdbdatum, pdblookupenum->lValue, false);
  if (edbsts != DB_STS_SUCCESS)
    OsLog(OS_LOG_ERROR, "dp>>> %s <%s> not stored...%d", m_szDiagnosticType, szValue, edbsts);
  return OS_STS_SUCCESS;
}
