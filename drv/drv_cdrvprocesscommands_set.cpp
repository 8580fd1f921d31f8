// The set and setmany commands.
#include "db_cdatabase.h"
#include "drv_cdrvprocesscommands.h"
#include "os_coslog.h"

// A setmany is one transaction: every value (and the profile selection) is
// remembered first, so that the dispatcher can put them back when any of
// its sets fails. The mark tells the dispatcher that this task's values
// were remembered, and only then may it restore them.
EOSSTS CDrvProcessCommands::EnterSetmany(OsXmlCallback*) {
  if (!m_pdatabase) {
    OsLog(OS_LOG_ERROR, "m_pdatabase is null...");
    return OS_STS_FAIL;
  }
  m_pdatabase->RememberAll();
  m_pdatabase->NotifyResetAll();
  m_pdatabase->SetDbState(DB_STATE_APPLICATION);
  m_u64SetmanyType = 0;
  m_blSetmanyBegun = true;
  return OS_STS_SUCCESS;
}
