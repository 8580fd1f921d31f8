// The setmany command: its sets as one transaction. The start remembers
// every value; each set acts and stops the walk when it fails, and then the
// dispatcher puts the remembered values back and answers "badvalue"; when
// every set succeeded the reply reports all they changed together.
//
// The dispatcher holds the database lock from the start to the restore, so
// the device engine's threads never change a value in between, where the
// restore would undo it.
#include <cinttypes>
#include <cstring>

#include "db_cdatabase.h"
#include "drv_cdrvprocesscommands.h"
#include "os_coslog.h"
#include "os_cosxmltask.h"

namespace {

// Set types whose changes the value report shows, and those after which the
// region report follows.
constexpr uint64_t s_u64ValueReport =
    DRV_SETTYPE_ID | DRV_SETTYPE_VALUECURRENT | DRV_SETTYPE_ENUM | DRV_SETTYPE_RANGE | DRV_SETTYPE_LIST;
constexpr uint64_t s_u64RegionReport = DRV_SETTYPE_ID | DRV_SETTYPE_REGION | DRV_SETTYPE_REGIONRANGE;

}  // namespace

// The mark tells the dispatcher that this task's values were remembered, and
// only then may it restore them.
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

EOSSTS CDrvProcessCommands::EnterSetmanySet(OsXmlCallback*) {
  ClearSetRequest();
  return OS_STS_SUCCESS;
}

// A set's own notifications are not reset: the final report covers the
// whole command. Its reply on failure is replaced by the dispatcher's.
EOSSTS CDrvProcessCommands::ExitSetmanySet(OsXmlCallback*) {
  if (NoDatabase()) return OS_STS_FAIL;
  const uint64_t u64SetType = m_drvsetrequest.u64SetType;
  m_u64SetmanyType |= u64SetType;
  EDBSTS edbsts = DB_STS_FAIL;
  switch (u64SetType) {
    case DRV_SETTYPE_SETVALUE:
    case DRV_SETTYPE_SETENUM:
    case DRV_SETTYPE_SETRANGE:
      edbsts = SetCurrentLexicon(u64SetType);
      break;
    case DRV_SETTYPE_SETLIST:
      if (std::strcmp(m_drvsetrequest.szId, "windowenabledlist") == 0) {
        edbsts = SetWindowEnabledList();
      } else {
        OsLog(OS_LOG_ERROR, "Unrecognized id %.64s...", m_drvsetrequest.szId);
      }
      break;
    case DRV_SETTYPE_SETDATAFILE:
    case DRV_SETTYPE_SETREGION:
    case DRV_SETTYPE_SETREGIONRANGES:
      OsLog(OS_LOG_ERROR, "set type not built yet...%" PRIu64, u64SetType);
      break;
    default:
      OsLog(OS_LOG_ERROR, "Unrecognized edriversettype %" PRIu64 "...", u64SetType);
      break;
  }
  return edbsts == DB_STS_SUCCESS ? OS_STS_SUCCESS : Refuse(edbsts);
}

// A report that cannot be built fails the command: its values are put back,
// as for any failed setmany.
EOSSTS CDrvProcessCommands::ExitSetmany(OsXmlCallback*) {
  if (NoDatabase()) return OS_STS_FAIL;
  StartReply("success");
  EDBSTS edbsts = DB_STS_SUCCESS;
  if (m_u64SetmanyType & s_u64ValueReport) edbsts = CreateTaskReportGetSet(nullptr, true, false);
  if (edbsts == DB_STS_SUCCESS && (m_u64SetmanyType & s_u64RegionReport)) {
    // The last set's id is still in the request.
    edbsts = std::strcmp(m_drvsetrequest.szId, "barcodesearchregion") == 0
                 ? CreateTaskReportRegion("barcodesearchregion", DB_ID_BARCODESEARCHREGIONOFFSETX,
                                          DB_ID_BARCODESEARCHREGIONOFFSETY, DB_ID_BARCODESEARCHREGIONWIDTH,
                                          DB_ID_BARCODESEARCHREGIONHEIGHT, DB_ID_UNDEFINED, true)
                 : CreateTaskReportRegion("imagecroppingregion", DB_ID_FRAMEXOFFSET, DB_ID_FRAMEYOFFSET,
                                          DB_ID_FRAMEWIDTH, DB_ID_FRAMEHEIGHT, DB_ID_IMAGESKEWANGLE, true);
  }
  if (edbsts == DB_STS_SUCCESS) edbsts = FinishReply(DB_STS_SUCCESS, false);
  if (edbsts != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "The setmany's reply could not be built...%d", edbsts);
    return OS_STS_FAIL;
  }
  m_pdatabase->ClearDbState(DB_STATE_APPLICATION);
  return OS_STS_SUCCESS;
}
