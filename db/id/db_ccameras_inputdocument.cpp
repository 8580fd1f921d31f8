// INPUTDOCUMENT: the job the cameras make at start-up and when they change,
// one-sided front only on the flatbed, and the printing on the images of the
// sides the job scans.
#include "db_ccameras.h"
#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_crulekit.h"

namespace {

constexpr long s_lTwoSided = DB_ID_INPUTDOCUMENT_ENUM_TWOSIDED;
constexpr long s_lFront = DB_ID_INPUTDOCUMENT_ENUM_ONESIDEDFRONT;
constexpr long s_lRear = DB_ID_INPUTDOCUMENT_ENUM_ONESIDEDREAR;

// Printing on the image of a side applies while the job scans that side.
void FollowOwnChange(long a_lValue) {
  if (CDbDatum* pdbdatum = CRuleKit::Supported(DB_ID_PRINTONIMAGEFRONT, DB_BIN_MACHINE)) {
    pdbdatum->SetAccess(a_lValue == s_lTwoSided || a_lValue == s_lFront ? DB_ACCESS_READWRITE
                                                                        : DB_ACCESS_READWRITEDISABLED);
  }
  if (CDbDatum* pdbdatum = CRuleKit::Supported(DB_ID_PRINTONIMAGEREAR, DB_BIN_MACHINE)) {
    pdbdatum->SetAccess(a_lValue == s_lTwoSided || a_lValue == s_lRear ? DB_ACCESS_READWRITE
                                                                       : DB_ACCESS_READWRITEDISABLED);
  }
}

// The flatbed scans the front only; off it, the job offers again what the
// model offers and stays what it was.
void FollowPaperSource(CDbEnum& a_dbenumOwn, long a_lSource) {
  const long lNoted = a_dbenumOwn.GetCurrentLong();
  a_dbenumOwn.DeleteAllCurrentItems();
  if (a_lSource == DB_ID_PAPERSOURCE_ENUM_FLATBED) {
    a_dbenumOwn.AddCurrentItem(s_lFront);
    a_dbenumOwn.SetCurrentLong(s_lFront);
    return;
  }
  const long lCount = a_dbenumOwn.GetDefaultItemCount();
  for (long l = 0; l < lCount; ++l) a_dbenumOwn.AddCurrentItem(a_dbenumOwn.GetDefaultItem(l));
  a_dbenumOwn.SetCurrentLong(lNoted);
}

// A job the list does not offer is not chosen for it.
void FollowCameras(CDbEnum& a_dbenumOwn) {
  if (a_dbenumOwn.GetCurrentItemCount() <= 1) return;
  const long lValue = CINPUTDOCUMENT::FromCameras();
  if (a_dbenumOwn.HasCurrentItem(lValue)) a_dbenumOwn.SetCurrentLong(lValue);
}

}  // namespace

long CINPUTDOCUMENT::FromCameras() {
  const bool blFront = CRuleKit::IsCameraOn(0, DB_BIN_BITONAL_FRONT) || CRuleKit::IsCameraOn(0, DB_BIN_COLOR_FRONT);
  const bool blRear = CRuleKit::IsCameraOn(0, DB_BIN_BITONAL_REAR) || CRuleKit::IsCameraOn(0, DB_BIN_COLOR_REAR);
  if (blFront && blRear) return s_lTwoSided;
  return blRear ? s_lRear : s_lFront;
}

EOSSTS CINPUTDOCUMENT::FixDefault() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (pdatabase && !pdatabase->ConfigExists("duplex", DB_CONFIGTARGET_COMMON)) {
    DeleteDefaultItem(s_lTwoSided);
    DeleteDefaultItem(s_lRear);
  }
  SetDefaultLong(FromCameras());
  FixDefaultReset();
  return CDbEnum::FixDefault();
}

EOSSTS CINPUTDOCUMENT::FixCurrent() {
  DbRuleModified dbrulemodified;
  if (!CRuleKit::GetModified(this, &dbrulemodified)) return OS_STS_SUCCESS;
  switch (dbrulemodified.edbid) {
    case DB_ID_INPUTDOCUMENT:
      if (!CRuleKit::IsLoading()) FollowOwnChange(dbrulemodified.lNew);
      break;
    case DB_ID_PAPERSOURCE:
      FollowPaperSource(*this, dbrulemodified.lNew);
      break;
    case DB_ID_CAMERAENABLE:
      FollowCameras(*this);
      break;
    default:
      break;
  }
  return OS_STS_SUCCESS;
}
