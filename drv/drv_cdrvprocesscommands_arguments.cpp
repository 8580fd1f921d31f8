// What the window, profile and reset commands share: their arguments taken
// whole or refused, and their status replies.
#include <cstring>

#include "db_cdatabase.h"
#include "drv_cdrvprocesscommands.h"
#include "drv_profilecommand.h"
#include "os_coslog.h"

// A cut text could name another profile, file or window: it is refused.
EOSSTS CDrvProcessCommands::TakeArgument(char* a_szField, size_t a_sizetField, const OsXmlCallback* a_posxmlcallback,
                                         const char* a_szElement) {
  const char* szData = a_posxmlcallback->szData ? a_posxmlcallback->szData : "";
  if (::strnlen(szData, a_sizetField) >= a_sizetField) {
    OsLog(OS_LOG_ERROR, "text too long for <%s>...<%.64s>", a_szElement, szData);
    a_szField[0] = '\0';
    return AnswerWord("fail");
  }
  std::strcpy(a_szField, szData);
  return OS_STS_SUCCESS;
}

void CDrvProcessCommands::TakeFlag(const OsXmlCallback* a_posxmlcallback) {
  m_drvfilerequest.blFlag = DrvProfileFlag(a_posxmlcallback->szData);
}

EOSSTS CDrvProcessCommands::AnswerCommand(EDBSTS a_edbsts) {
  return AnswerWord(GetLexiconStatusFromEdbsts(a_edbsts));
}

EOSSTS CDrvProcessCommands::AnswerWord(const char* a_szStatus) {
  if (NoDatabase()) return OS_STS_FAIL;
  m_pdatabase->CreateTaskReportStatus(a_szStatus, nullptr);
  return std::strcmp(a_szStatus, "success") == 0 ? OS_STS_SUCCESS : OS_STS_FAIL;
}
