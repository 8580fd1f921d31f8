// The setmany command: its sets as one transaction. The start remembers
// every value and the override record; each set acts and stops the walk
// when it fails, and then the dispatcher puts the remembered values back and
// answers "badvalue"; when every set succeeded the reply reports all they
// changed together. A set answers only when it fails: its reply is replaced.
//
// The dispatcher holds the database lock from the start to the restore, so
// the device engine's threads never change a value in between, where the
// restore would undo it.
#include <algorithm>
#include <cinttypes>
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "db_cdblookup.h"
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
  m_dboverrideSetmany = *m_pdatabase->GetOverride();
  m_vecdrvkeptconstraint.clear();
  if (!KeepRanges()) return Refuse(DB_STS_FAIL);
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
      edbsts = SetCurrentLexicon(u64SetType);
      break;
    case DRV_SETTYPE_SETENUM:
    case DRV_SETTYPE_SETRANGE:
      if (KeepConstraints(m_drvsetrequest.szId)) edbsts = SetCurrentLexicon(u64SetType);
      break;
    case DRV_SETTYPE_SETLIST:
      if (std::strcmp(m_drvsetrequest.szId, "windowenabledlist") == 0) {
        edbsts = SetWindowEnabledList();
      } else {
        OsLog(OS_LOG_ERROR, "Unrecognized id %.64s...", m_drvsetrequest.szId);
      }
      break;
    case DRV_SETTYPE_SETDATAFILE:
      edbsts = SetDataFile();
      break;
    case DRV_SETTYPE_SETREGION:
    case DRV_SETTYPE_SETREGIONRANGES:
      edbsts = SetRegion(u64SetType);
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
    edbsts = CreateTaskReportSetRegion(true);
  }
  if (edbsts == DB_STS_SUCCESS) edbsts = FinishReply(DB_STS_SUCCESS, false);
  if (edbsts != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "The setmany's reply could not be built...%d", edbsts);
    return OS_STS_FAIL;
  }
  m_vecdrvkeptconstraint.clear();
  m_vecdrvkeptrange.clear();
  m_pdatabase->ClearDbState(DB_STATE_APPLICATION);
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// The undo point's lists and ranges
// ---------------------------------------------------------------------------
// The constraints live on the window-0 datums. Every range is kept at the
// start: the rules move the bounds of capabilities no set names (the image
// height's maximum follows the paper size). A list is kept once, as it was
// before the setmany's first set that could replace it. Strings have none.
bool CDrvProcessCommands::KeepRanges() {
  m_vecdrvkeptrange.clear();
  try {
    for (CDbDatum* pdbdatum = CDbDatum::DbDatumFindFirstIgnoreAccess(); pdbdatum;
         pdbdatum = CDbDatum::DbDatumFindNextIgnoreAccess(pdbdatum)) {
      if (m_pdatabase->GetContainerType(pdbdatum) != DB_CONTAINERTYPE_RANGE) continue;
      m_vecdrvkeptrange.push_back({pdbdatum, m_pdatabase->RangeGetCurrentMin(pdbdatum),
                                   m_pdatabase->RangeGetCurrentMax(pdbdatum),
                                   m_pdatabase->RangeGetCurrentStep(pdbdatum)});
    }
  } catch (...) {
    OsLog(OS_LOG_ERROR, "OsMemNew threw an exception...");
    return false;
  }
  return true;
}

bool CDrvProcessCommands::KeepConstraints(const char* a_szId) {
  DbLookup2* pdblookup2 = a_szId[0] ? m_pdatabase->LookupDriverLexicon(a_szId) : nullptr;
  if (!pdblookup2) return true;  // the set refuses it
  return KeepConstraints(pdblookup2->edbid);
}

bool CDrvProcessCommands::KeepConstraints(EDBID a_edbid) {
  for (int iBin = DB_BIN_MACHINE; iBin <= DB_BIN_COLOR_REAR; ++iBin) {
    CDbDatum* pdbdatum = m_pdatabase->FindDirect(static_cast<EDBBIN>(iBin), a_edbid);
    if (!pdbdatum || m_pdatabase->GetAccess(pdbdatum) == DB_ACCESS_NOTSUPPORTED ||
        std::any_of(m_vecdrvkeptconstraint.begin(), m_vecdrvkeptconstraint.end(),
                    [&](const DrvKeptConstraint& a_kept) { return a_kept.pdbdatum == pdbdatum; }))
      continue;
    DrvKeptConstraint drvkeptconstraint = {};
    drvkeptconstraint.pdbdatum = pdbdatum;
    const EDBCONTAINERTYPE edbcontainertype = m_pdatabase->GetContainerType(pdbdatum);
    if (edbcontainertype != DB_CONTAINERTYPE_ENUM) continue;
    drvkeptconstraint.lCount = std::min(m_pdatabase->EnumGetItemCount(pdbdatum), DRV_SETREQUEST_ENUMS);
    for (long l = 0; l < drvkeptconstraint.lCount; ++l) drvkeptconstraint.alItem[l] = m_pdatabase->EnumGetItem(pdbdatum, l);
    try {
      m_vecdrvkeptconstraint.push_back(drvkeptconstraint);
    } catch (...) {
      OsLog(OS_LOG_ERROR, "OsMemNew threw an exception...");
      return false;
    }
  }
  return true;
}

// The constraints first: the values the undo point puts back belong to them.
// Putting values back runs their rules, which move bounds again: the kept
// bounds are written once more afterwards.
void CDrvProcessCommands::RestoreSetmany() {
  if (!m_pdatabase) return;
  for (const DrvKeptConstraint& drvkeptconstraint : m_vecdrvkeptconstraint) {
    CDbDatum* pdbdatum = drvkeptconstraint.pdbdatum;
    m_pdatabase->EnumDeleteAllItems(pdbdatum);
    for (long l = 0; l < drvkeptconstraint.lCount; ++l) m_pdatabase->EnumAddItem(pdbdatum, drvkeptconstraint.alItem[l]);
  }
  RestoreRanges();
  *m_pdatabase->GetOverride() = m_dboverrideSetmany;
  m_pdatabase->RestoreAll();
  RestoreRanges();
  m_vecdrvkeptconstraint.clear();
  m_vecdrvkeptrange.clear();
  m_pdatabase->ClearDbState(DB_STATE_APPLICATION);
}

// Only bounds that moved are written again, with the value the undo point
// holds.
void CDrvProcessCommands::RestoreRanges() {
  for (const DrvKeptRange& drvkeptrange : m_vecdrvkeptrange) {
    CDbDatum* pdbdatum = drvkeptrange.pdbdatum;
    if (m_pdatabase->RangeGetCurrentMin(pdbdatum) == drvkeptrange.lMin &&
        m_pdatabase->RangeGetCurrentMax(pdbdatum) == drvkeptrange.lMax &&
        m_pdatabase->RangeGetCurrentStep(pdbdatum) == drvkeptrange.lStep)
      continue;
    if (m_pdatabase->RangeSetCurrent(pdbdatum, m_pdatabase->GetRestoreLong(pdbdatum), drvkeptrange.lMin,
                                     drvkeptrange.lMax, drvkeptrange.lStep) != DB_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "range not put back...%s", m_pdatabase->GetName(pdbdatum));
    }
  }
}
