// The options of a chosen scanner dropout: the aggressiveness of a dropout of
// several colours and the treatment as colour of a form-data dropout, each
// offered while the dropout of the current window and camera is of its kind.
#include "db_cecdooptions.h"

#include "db_cdatabase.h"
#include "db_cecdocustom.h"
#include "db_cecdolists.h"
#include "db_crulekit.h"

namespace {

constexpr char s_szMultipleColor[] = "pmcdo";
constexpr char s_szFormData[] = "normalformdata";

bool IsColorCamera(EDBBIN a_edbbin) { return a_edbbin == DB_BIN_COLOR_FRONT || a_edbbin == DB_BIN_COLOR_REAR; }

// The scanner record of the dropout of the current window and camera; null
// without one.
const DbEcdoRecord* CurrentDropout(CDatabase& a_database) {
  CDbDatum* pdbdatum = a_database.Find(DB_ID_ECDO);
  return pdbdatum ? CEcdoLists::Find(CEcdoLists::Scanner(a_database), pdbdatum->GetCurrentLong()) : nullptr;
}

// A changed access is announced as a change of the constraint too, for the
// front end to read the capability again.
void StoreAccess(CDatabase& a_database, CDbDatum& a_dbdatumOwn, EDBACCESS a_edbaccess) {
  if (a_dbdatumOwn.GetAccess() == a_edbaccess) return;
  a_dbdatumOwn.SetAccess(a_edbaccess);
  a_database.NotifySet(DB_NOTIFY_CONSTRAINT, &a_dbdatumOwn);
}

}  // namespace

// ---------------------------------------------------------------------------
// ECDOAGGRESSIVENESS
// ---------------------------------------------------------------------------
// Read-write for a dropout of several colours; disabled while the scanner
// offers one but another is chosen; hidden when it offers none.
EOSSTS CECDOAGGRESSIVENESS::FixAccess() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase) return OS_STS_SUCCESS;
  if (CEcdoLists::IsNexilForcedOff()) {
    SetAccess(DB_ACCESS_NOTSUPPORTED);
    return OS_STS_SUCCESS;
  }
  const DbEcdoRecord* pdbecdorecord = CurrentDropout(*pdatabase);
  EDBACCESS edbaccess = DB_ACCESS_HIDDEN;
  if (pdbecdorecord && CEcdoLists::IsKind(*pdbecdorecord, s_szMultipleColor)) {
    edbaccess = DB_ACCESS_READWRITE;
  } else if (CEcdoLists::AnyOfKind(CEcdoLists::Scanner(*pdatabase), s_szMultipleColor)) {
    edbaccess = DB_ACCESS_DISABLED;
  }
  StoreAccess(*pdatabase, *this, edbaccess);
  return OS_STS_SUCCESS;
}

EOSSTS CECDOAGGRESSIVENESS::FixCurrent() {
  DbRuleModified dbrulemodified;
  if (!CRuleKit::GetModified(this, &dbrulemodified) || !dbrulemodified.blOwnCamera) return OS_STS_SUCCESS;
  switch (dbrulemodified.edbid) {
    case DB_ID_ECDO:
    case DB_ID_ECDOCUSTOM:
      FixAccess();
      break;
    case DB_ID_IMAGEFORMAT:
    case DB_ID_WINDOWBIN:
      if (!IsColorCamera(GetBin())) break;
      if (dbrulemodified.lNew == DB_ID_IMAGEFORMAT_ENUM_GRAY_8) {
        FixAccess();
      } else if (GetAccess() == DB_ACCESS_READWRITE) {
        SetAccess(DB_ACCESS_DISABLED);
      }
      break;
    default:
      break;
  }
  return OS_STS_SUCCESS;
}

void CECDOAGGRESSIVENESS::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  if (GetAccess() == DB_ACCESS_READWRITE) CDbRange::MakeXml(a_lValue, a_edbdevicedataTarget);
}

// ---------------------------------------------------------------------------
// ECDOTREATASCOLOR
// ---------------------------------------------------------------------------
EOSSTS CECDOTREATASCOLOR::FixDefault() {
  return EcdoLearningFixDefault(*this) ? CDbEnum::FixDefault() : OS_STS_SUCCESS;
}

EOSSTS CECDOTREATASCOLOR::FixAccess() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase) return OS_STS_SUCCESS;
  const DbEcdoRecord* pdbecdorecord = CurrentDropout(*pdatabase);
  StoreAccess(*pdatabase, *this,
              pdbecdorecord && CEcdoLists::IsKind(*pdbecdorecord, s_szFormData) ? DB_ACCESS_READWRITE
                                                                                 : DB_ACCESS_DISABLED);
  return OS_STS_SUCCESS;
}

// The dropout it depends on may change in any window or camera.
EOSSTS CECDOTREATASCOLOR::FixCurrent() { return FixAccess(); }

void CECDOTREATASCOLOR::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  if (GetAccess() == DB_ACCESS_READWRITE) CDbEnum::MakeXml(a_lValue, a_edbdevicedataTarget);
}
