// The custom dropouts: their list (sorted by label, numbered from 3), their
// access from the image format, the scanner dropout they replace, and the
// learning settings written while a custom dropout is learnt.
#include "db_cecdocustom.h"


#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cecdolists.h"
#include "db_crulekit.h"

namespace {

bool IsColorCamera(EDBBIN a_edbbin) { return a_edbbin == DB_BIN_COLOR_FRONT || a_edbbin == DB_BIN_COLOR_REAR; }

}  // namespace

EOSSTS LoadEcdoCustom(CDbEnum* a_pdbenumEcdoCustom) {
  CDatabase* pdatabase = CRuleKit::Database();
  if (pdatabase && a_pdbenumEcdoCustom) {
    CEcdoLists::PrepareOnce(*pdatabase, pdatabase->GetEcdoCache()->blCustomLoaded, DB_ID_ECDOCUSTOM,
                            CEcdoLists::Custom(*pdatabase), CEcdoLists::s_lLastEcdoCustom, true);
  }
  return OS_STS_SUCCESS;
}

bool EcdoLearningFixDefault(CDbDatum& a_dbdatumOwn) {
  CDatabase* pdatabase = CRuleKit::Database();
  if (CEcdoLists::IsNexilForcedOff()) {
    a_dbdatumOwn.SetAccess(DB_ACCESS_NOTSUPPORTED);
    return false;
  }
  if (pdatabase && !pdatabase->ConfigExists("ecdocustom", DB_CONFIGTARGET_COMMON))
    a_dbdatumOwn.SetAccess(DB_ACCESS_NOTSUPPORTED);
  return true;
}

// ---------------------------------------------------------------------------
// ECDOCUSTOM
// ---------------------------------------------------------------------------
// The labels are the user's own names of the learnt dropouts; the lexicon
// stays ("file01" ...).
EOSSTS CECDOCUSTOM::FixDefault() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase || !CEcdoLists::Rebuild(*pdatabase, *this, pdatabase->GetEcdoCache()->blCustomLoaded,
                                         LoadEcdoCustom, CEcdoLists::Custom(*pdatabase), false)) {
    return OS_STS_SUCCESS;
  }
  return CDbEnum::FixDefault();
}

// A colour camera learns only from grey output; the bitonal cameras keep
// what they have.
EOSSTS CECDOCUSTOM::FixAccess() {
  CEcdoLists::FixAccess(*this, false);
  return OS_STS_SUCCESS;
}

EOSSTS CECDOCUSTOM::FixCurrent() {
  DbRuleModified dbrulemodified;
  if (!CRuleKit::GetModified(this, &dbrulemodified) || dbrulemodified.pdbdatum == this ||
      !dbrulemodified.blOwnCamera) {
    return OS_STS_SUCCESS;
  }
  if (dbrulemodified.edbid == DB_ID_ECDO && dbrulemodified.lNew != DB_ID_ECDO_ENUM_NONE) {
    SetCurrentLong(DB_ID_ECDOCUSTOM_ENUM_NONE);
  } else if (dbrulemodified.edbid == DB_ID_IMAGEFORMAT && IsColorCamera(GetBin())) {
    SetAccess(dbrulemodified.lNew == DB_ID_IMAGEFORMAT_ENUM_GRAY_8 ? DB_ACCESS_READWRITE : DB_ACCESS_DISABLED);
  }
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// The learning settings: written only while a custom dropout is learnt
// ---------------------------------------------------------------------------
EOSSTS CECDOCUSTOMCLEARDATA::FixDefault() {
  return EcdoLearningFixDefault(*this) ? CDbEnum::FixDefault() : OS_STS_SUCCESS;
}

void CECDOCUSTOMCLEARDATA::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  if (CDbDatum::TestDbState(DB_STATE_ECDOCUSTOMLEARN)) CDbEnum::MakeXml(a_lValue, a_edbdevicedataTarget);
}

EOSSTS CECDOCUSTOMLEARN::FixDefault() {
  return EcdoLearningFixDefault(*this) ? CDbString::FixDefault() : OS_STS_SUCCESS;
}

void CECDOCUSTOMLEARN::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  if (CDbDatum::TestDbState(DB_STATE_ECDOCUSTOMLEARN)) CDbString::MakeXml(a_lValue, a_edbdevicedataTarget);
}
