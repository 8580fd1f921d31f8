// The rename command: the current settings profile gets a new name and
// graphic file.
#include "db_cdatabase.h"
#include "drv_cdrvprocesscommands.h"
#include "drv_profilecommand.h"
#include "os_coslog.h"

EOSSTS CDrvProcessCommands::EnterRename(OsXmlCallback*) {
  m_drvfilerequest.szId[0] = '\0';
  m_drvfilerequest.szText[0] = '\0';
  m_drvfilerequest.szFilename[0] = '\0';
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterRenameId(OsXmlCallback* a_posxmlcallback) {
  return TakeArgument(m_drvfilerequest.szId, sizeof m_drvfilerequest.szId, a_posxmlcallback, "id");
}

EOSSTS CDrvProcessCommands::EnterRenameProfileitemText(OsXmlCallback* a_posxmlcallback) {
  return TakeArgument(m_drvfilerequest.szText, sizeof m_drvfilerequest.szText, a_posxmlcallback, "text");
}

EOSSTS CDrvProcessCommands::EnterRenameProfileitemGraphicfilename(OsXmlCallback* a_posxmlcallback) {
  return TakeArgument(m_drvfilerequest.szFilename, sizeof m_drvfilerequest.szFilename, a_posxmlcallback,
                      "graphicfilename");
}

EOSSTS CDrvProcessCommands::ExitRename(OsXmlCallback*) {
  if (NoDatabase()) return OS_STS_FAIL;
  if (DrvProfileId(m_drvfilerequest.szId) == DRV_PROFILEID_PROFILE)
    return AnswerCommand(m_pdatabase->ProfileRename(m_drvfilerequest.szText, m_drvfilerequest.szFilename));
  OsLog(OS_LOG_ERROR, "Unsupported id for rename %s...", m_drvfilerequest.szId);
  return AnswerWord("fail");
}
