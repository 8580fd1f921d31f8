// Edge fill and its switches: offered as the scanner's edge-fill list says;
// automatic fill holds only under automatic cropping with deskew on; the
// switches apply to a white or black fill alone.
#include "db_cedgefill.h"

#include "db_cdatabase.h"
#include "db_crulekit.h"

namespace {

// The default fix, unless the scanner's edge fill leaves the capability
// unsupported.
void EdgeFillFixDefault(CDbEnum& a_dbenumOwn) {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase || pdatabase->FixAccessEdgeFill(&a_dbenumOwn) == DB_ACCESS_NOTSUPPORTED) return;
  a_dbenumOwn.CDbEnum::FixDefault();
}

// A switch is free while its camera fills with a colour of its own choice.
void SwitchFixAccess(CDbEnum& a_dbenumOwn) {
  const long lFill = CRuleKit::ValueOf(DB_ID_IMAGEEDGEFILL, a_dbenumOwn.GetBin(), DB_ID_IMAGEEDGEFILL_ENUM_NONE);
  const bool blColour = lFill == DB_ID_IMAGEEDGEFILL_ENUM_WHITE || lFill == DB_ID_IMAGEEDGEFILL_ENUM_BLACK;
  a_dbenumOwn.SetAccess(blColour ? DB_ACCESS_READWRITE : DB_ACCESS_DISABLED);
}

bool IsFillChange() {
  const CDbDatum* pdbdatum = CDbDatum::GetModified();
  return pdbdatum && pdbdatum->GetId() == DB_ID_IMAGEEDGEFILL;
}

}  // namespace

// ---------------------------------------------------------------------------
// IMAGEEDGEFILL
// ---------------------------------------------------------------------------
EOSSTS CIMAGEEDGEFILL::FixDefault() {
  EdgeFillFixDefault(*this);
  return OS_STS_SUCCESS;
}

// Automatic fill finds the page's edges after automatic cropping has
// straightened it: leaving either drops the fill to none.
EOSSTS CIMAGEEDGEFILL::FixCurrent() {
  const CDbDatum* pdbdatum = CDbDatum::GetModified();
  if (!pdbdatum || pdbdatum->GetBin() != GetBin() ||
      (pdbdatum->GetId() != DB_ID_AUTOMATICDESKEW && pdbdatum->GetId() != DB_ID_CROPPINGMODE))
    return OS_STS_SUCCESS;
  const long lFill = GetCurrentLong();
  if (lFill != DB_ID_IMAGEEDGEFILL_ENUM_AUTOMATIC && lFill != DB_ID_IMAGEEDGEFILL_ENUM_AUTOMATICWITHTEAR)
    return OS_STS_SUCCESS;
  const bool blHolds =
      CRuleKit::ValueOf(DB_ID_CROPPINGMODE, GetBin(), 0) == DB_ID_CROPPINGMODE_ENUM_AUTOMATIC &&
      CRuleKit::ValueOf(DB_ID_AUTOMATICDESKEW, GetBin(), 0) == DB_ID_AUTOMATICDESKEW_ENUM_TRUE;
  if (!blHolds) SetCurrentLong(DB_ID_IMAGEEDGEFILL_ENUM_NONE);
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// IMAGEEDGEFILLALLSIDES
// ---------------------------------------------------------------------------
EOSSTS CIMAGEEDGEFILLALLSIDES::FixDefault() {
  EdgeFillFixDefault(*this);
  return OS_STS_SUCCESS;
}

EOSSTS CIMAGEEDGEFILLALLSIDES::FixAccess() {
  SwitchFixAccess(*this);
  return OS_STS_SUCCESS;
}

EOSSTS CIMAGEEDGEFILLALLSIDES::FixCurrent() {
  if (IsFillChange()) SwitchFixAccess(*this);
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// IMAGEEDGEFILLALLSIZE
// ---------------------------------------------------------------------------
EOSSTS CIMAGEEDGEFILLALLSIZE::FixDefault() {
  EdgeFillFixDefault(*this);
  return OS_STS_SUCCESS;
}

EOSSTS CIMAGEEDGEFILLALLSIZE::FixAccess() {
  SwitchFixAccess(*this);
  return OS_STS_SUCCESS;
}

// The all-size switch goes with the all-sides switch of its camera.
EOSSTS CIMAGEEDGEFILLALLSIZE::FixCurrent() {
  const CDbDatum* pdbdatum = CDbDatum::GetModified();
  if (!pdbdatum) return OS_STS_SUCCESS;
  if (pdbdatum->GetId() == DB_ID_IMAGEEDGEFILL) {
    SwitchFixAccess(*this);
  } else if (pdbdatum->GetId() == DB_ID_IMAGEEDGEFILLALLSIDES && pdbdatum->GetBin() == GetBin()) {
    DbRuleModified dbrulemodified;
    if (CRuleKit::GetModified(this, &dbrulemodified)) SetCurrentLong(dbrulemodified.lNew);
  }
  return OS_STS_SUCCESS;
}
