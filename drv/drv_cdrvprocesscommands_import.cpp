// The import command: a package of settings profiles in place of the
// user's own.
#include "db_cdatabase.h"
#include "drv_cdrvprocesscommands.h"
#include "drv_profilecommand.h"
#include "os_coslog.h"

EOSSTS CDrvProcessCommands::EnterImport(OsXmlCallback*) {
  m_drvfilerequest.szId[0] = '\0';
  m_drvfilerequest.szFilename[0] = '\0';
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterImportId(OsXmlCallback* a_posxmlcallback) {
  return TakeArgument(m_drvfilerequest.szId, sizeof m_drvfilerequest.szId, a_posxmlcallback, "id");
}

EOSSTS CDrvProcessCommands::EnterImportFilename(OsXmlCallback* a_posxmlcallback) {
  return TakeArgument(m_drvfilerequest.szFilename, sizeof m_drvfilerequest.szFilename, a_posxmlcallback, "filename");
}

// The profile list is loaded again from the imported profiles (the device
// data entry alone keeps the list it had).
EOSSTS CDrvProcessCommands::ExitImport(OsXmlCallback*) {
  if (NoDatabase()) return OS_STS_FAIL;
  if (DrvProfileId(m_drvfilerequest.szId) == DRV_PROFILEID_PROFILELIST)
    return AnswerCommand(m_pdatabase->ProfileImport(m_drvfilerequest.szFilename, false));
  OsLog(OS_LOG_ERROR, "Unsupported id for import %s...", m_drvfilerequest.szId);
  return AnswerWord("fail");
}
