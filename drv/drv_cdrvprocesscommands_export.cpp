// The export command: the device engine's log archive, or the user's
// settings profiles as one package.
#include "db_cdatabase.h"
#include "drv_cdrvprocesscommands.h"
#include "drv_profilecommand.h"
#include "os_coslog.h"

EOSSTS CDrvProcessCommands::EnterExport(OsXmlCallback*) {
  m_drvfilerequest = {};
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterExportId(OsXmlCallback* a_posxmlcallback) {
  return TakeArgument(m_drvfilerequest.szId, sizeof m_drvfilerequest.szId, a_posxmlcallback, "id");
}

EOSSTS CDrvProcessCommands::EnterExportFilename(OsXmlCallback* a_posxmlcallback) {
  return TakeArgument(m_drvfilerequest.szFilename, sizeof m_drvfilerequest.szFilename, a_posxmlcallback, "filename");
}

EOSSTS CDrvProcessCommands::EnterExportText(OsXmlCallback* a_posxmlcallback) {
  return TakeArgument(m_drvfilerequest.szText, sizeof m_drvfilerequest.szText, a_posxmlcallback, "text");
}

EOSSTS CDrvProcessCommands::EnterExportSaveimages(OsXmlCallback* a_posxmlcallback) {
  TakeFlag(a_posxmlcallback);
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::ExitExport(OsXmlCallback*) {
  if (NoDatabase()) return OS_STS_FAIL;
  const EDRVPROFILEID edrvprofileid = DrvProfileId(m_drvfilerequest.szId);
  if (edrvprofileid == DRV_PROFILEID_QVLOG) {
    const EDEVSTS edevsts =
        EngineSaveLog(m_drvfilerequest.szFilename, m_drvfilerequest.szText, m_drvfilerequest.blFlag);
    return AnswerWord(EngineGetLexiconStatus(edevsts));
  }
  if (edrvprofileid == DRV_PROFILEID_PROFILELIST)
    return AnswerCommand(m_pdatabase->ProfileExport(m_drvfilerequest.szFilename));
  OsLog(OS_LOG_ERROR, "Unsupported id for export %s...", m_drvfilerequest.szId);
  return AnswerWord("fail");
}
