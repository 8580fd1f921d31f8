// The simulation a device manager reports, into the database's record. Each
// list stops at its capacity; what does not fit is dropped, logged.
#include "dp_creportinterfaceopen.h"

#include <strings.h>

#include "dp_store.h"
#include "dp_target.h"
#include "os_coslog.h"

void CReportInterfaceOpen::Begin() {
  m_lModels = 0;
  m_lFlatbeds = 0;
  m_lFlag = 0;
  m_dbsimflag = {};
}

// A flatbed, integrated or listed, is no model of its own.
void CReportInterfaceOpen::AddModel(CDatabase& a_database, const char* a_szName) {
  const DbSimulationRecord& dbsimulationrecord = *a_database.GetSimulationRecord();
  bool blFlatbed = strcasecmp(a_szName, dbsimulationrecord.szFlatbedIntegrated) == 0;
  for (long l = 0; l < m_lFlatbeds && l < DB_SIM_FLATBEDS && !blFlatbed; ++l) {
    blFlatbed = strcasecmp(a_szName, dbsimulationrecord.aszFlatbed[l]) == 0;
  }
  if (blFlatbed) return;
  if (!*a_szName) {
    OsLog(OS_LOG_ERROR, "dp>>> an empty simmodel, ignored...");
    return;
  }
  a_database.SetRecordText(DB_RECORD_SIMMODEL, m_lModels++, a_szName);
}

void CReportInterfaceOpen::AddFlatbed(CDatabase& a_database, const char* a_szName) {
  if (!*a_szName) {
    OsLog(OS_LOG_ERROR, "dp>>> an empty simflatbed, ignored...");
    return;
  }
  a_database.SetRecordText(DB_RECORD_SIMFLATBED, m_lFlatbeds++, a_szName);
}

void CReportInterfaceOpen::EndFlag(CDatabase& a_database) {
  if (!m_dbsimflag.szId[0]) {
    OsLog(OS_LOG_ERROR, "dp>>> a simflag without an id, dropped...<%s> <%s>", m_dbsimflag.szValue,
          m_dbsimflag.szText);
  } else if (m_lFlag >= DB_SIM_FLAGS) {
    OsLog(OS_LOG_ERROR, "dp>>> more than %ld simflags, <%s> dropped...", DB_SIM_FLAGS, m_dbsimflag.szId);
  } else {
    a_database.SetRecordText(DB_RECORD_SIMFLAGID, m_lFlag, m_dbsimflag.szId);
    a_database.SetRecordText(DB_RECORD_SIMFLAGVALUE, m_lFlag, m_dbsimflag.szValue);
    a_database.SetRecordText(DB_RECORD_SIMFLAGTEXT, m_lFlag, m_dbsimflag.szText);
    ++m_lFlag;
  }
  m_dbsimflag = {};
}

EOSSTS CReportInterfaceOpen::Handle(EDPHANDLER a_edphandler, OsXmlCallback* a_posxmlcallback) {
  switch (a_edphandler) {
    case DP_HANDLER_EnterReportinterfaceopen: Begin(); return OS_STS_SUCCESS;
    case DP_HANDLER_ExitReportinterfaceopen: return OS_STS_SUCCESS;
    case DP_HANDLER_EnterReportinterfaceopenSimulateSimflagId:
      DpCopyContent(m_dbsimflag.szId, sizeof m_dbsimflag.szId, a_posxmlcallback);
      return OS_STS_SUCCESS;
    case DP_HANDLER_EnterReportinterfaceopenSimulateSimflagValue:
      DpCopyContent(m_dbsimflag.szValue, sizeof m_dbsimflag.szValue, a_posxmlcallback);
      return OS_STS_SUCCESS;
    case DP_HANDLER_EnterReportinterfaceopenSimulateSimflagText:
      DpCopyContent(m_dbsimflag.szText, sizeof m_dbsimflag.szText, a_posxmlcallback);
      return OS_STS_SUCCESS;
    default: break;
  }
  CDatabase* pdatabase = DpDatabase(a_posxmlcallback);
  if (!pdatabase) {
    if (a_edphandler == DP_HANDLER_ExitReportinterfaceopenSimulateSimflag) m_dbsimflag = {};
    return OS_STS_SUCCESS;
  }
  const char* szContent = DpContent(a_posxmlcallback);
  switch (a_edphandler) {
    case DP_HANDLER_EnterReportinterfaceopenSimulateSimulation:
      pdatabase->SetRecordText(DB_RECORD_SIMULATION, 0, szContent);
      break;
    case DP_HANDLER_EnterReportinterfaceopenSimulateSimmodel: AddModel(*pdatabase, szContent); break;
    case DP_HANDLER_EnterReportinterfaceopenSimulateSimflatbed: AddFlatbed(*pdatabase, szContent); break;
    case DP_HANDLER_EnterReportinterfaceopenSimulateSimflatbedIntegrated:
      pdatabase->SetRecordText(DB_RECORD_SIMFLATBEDINTEGRATED, 0, szContent);
      break;
    case DP_HANDLER_ExitReportinterfaceopenSimulateSimflag: EndFlag(*pdatabase); break;
    default: break;
  }
  return OS_STS_SUCCESS;
}
