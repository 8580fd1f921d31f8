// The command handlers' object: its collaborators, the status words of
// database results, and the forwarders the grammar names.
#include "drv_cdrvprocesscommands.h"

#include "db_cdatabase.h"
#include "os_coslog.h"
#include "os_cosmem.h"

CDrvProcessCommands::CDrvProcessCommands() = default;

CDrvProcessCommands::~CDrvProcessCommands() {
  if (m_pvMemory) OsMemFree(m_pvMemory);
  m_pvMemory = nullptr;
  if (m_devicelog.pcData) OsMemFree(m_devicelog.pcData);
  m_devicelog.pcData = nullptr;
}

EOSSTS CDrvProcessCommands::Init(CDrvCommandFsm* a_pdrvcommandfsm, CDatabase* a_pdatabase, CDev* a_pdev,
                                 CDrvGui* a_pdrvgui, CDriver* a_pdriver) {
  m_pdrvcommandfsm = a_pdrvcommandfsm;
  m_pdatabase = a_pdatabase;
  m_pdev = a_pdev;
  m_pdrvgui = a_pdrvgui;
  m_pdriver = a_pdriver;
  return OS_STS_SUCCESS;
}

const char* CDrvProcessCommands::GetLexiconStatusFromEdbsts(EDBSTS a_edbsts) {
  switch (a_edbsts) {
    case DB_STS_SUCCESS: return "success";
    case DB_STS_BADVALUE: return "badvalue";
    case DB_STS_NOTAVAILABLE: return "notavailable";
    default: return "fail";
  }
}

void CDrvProcessCommands::BeginTask() {
  m_blSetmanyBegun = false;
  m_drvservicerequest = {};
}

EOSSTS CDrvProcessCommands::NotBuilt(OsXmlCallback* a_posxmlcallback) {
  OsLog(OS_LOG_ERROR, "command not built yet...<%s>", a_posxmlcallback->szName);
  if (m_pdatabase) m_pdatabase->CreateTaskReportStatus("fail", nullptr);
  return OS_STS_FAIL;
}

#define DRV_DEFINE_FORWARDER(kind, name)                                                     \
  EOSSTS CDrvProcessCommands::CDrvProcessCommands_##name(OsXmlCallback* a_posxmlcallback) { \
    return static_cast<CDrvProcessCommands*>(a_posxmlcallback->pvObject)->name(a_posxmlcallback); \
  }
DRV_PROCESSCOMMANDS_HANDLERS(DRV_DEFINE_FORWARDER)
#undef DRV_DEFINE_FORWARDER
