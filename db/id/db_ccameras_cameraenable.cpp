// CAMERAENABLE: the cameras the model offers and starts with, the rear
// cameras disabled on the flatbed, the check that a scan keeps its cameras,
// and the cameras following the paper source, the input document and the
// automatic colour detection.
#include <cstring>

#include "db_ccameras.h"
#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_crulekit.h"
#include "os_coscfg.h"
#include "os_coslog.h"

namespace {

constexpr long s_lOff = DB_ID_CAMERAENABLE_ENUM_FALSE;
constexpr long s_lOn = DB_ID_CAMERAENABLE_ENUM_TRUE;
constexpr EDBBIN s_aedbbinCameras[] = {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT,
                                       DB_BIN_COLOR_REAR};

bool IsCamera(EDBBIN a_edbbin) { return a_edbbin >= DB_BIN_BITONAL_FRONT && a_edbbin <= DB_BIN_COLOR_REAR; }
bool IsRear(EDBBIN a_edbbin) { return a_edbbin == DB_BIN_BITONAL_REAR || a_edbbin == DB_BIN_COLOR_REAR; }
bool IsBitonal(EDBBIN a_edbbin) { return a_edbbin == DB_BIN_BITONAL_FRONT || a_edbbin == DB_BIN_BITONAL_REAR; }
bool IsSupported(EDBBIN a_edbbin) { return CRuleKit::Supported(DB_ID_CAMERAENABLE, a_edbbin) != nullptr; }
bool IsOn(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin) { return CRuleKit::IsCameraOn(a_edbidwindow, a_edbbin); }

// A camera the scanner lacks is never switched.
void SetCamera(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, long a_lValue) {
  if (!IsSupported(a_edbbin)) return;
  CDbDatum* pdbdatum = CDbDatum::DbDatumFindQuick(a_edbidwindow, DB_ID_CAMERAENABLE, a_edbbin);
  if (pdbdatum && pdbdatum->GetId() == DB_ID_CAMERAENABLE) pdbdatum->SetCurrentLong(a_lValue);
}

// Whether this object is the first camera a pass reaches: the pass visits
// the supported cameras in bin order.
bool IsFirstCamera(EDBBIN a_edbbin) {
  for (EDBBIN edbbin : s_aedbbinCameras) {
    if (edbbin == a_edbbin) return true;
    if (IsSupported(edbbin)) return false;
  }
  return false;
}

// ---------------------------------------------------------------------------
// FixCurrent
// ---------------------------------------------------------------------------
// The flatbed has no rear: the rear cameras go off and are disabled; a job
// that had only rear cameras gets their front twins in window 0. The twins
// are decided once, by the first camera of the pass, from the cameras as
// the pass found them, so that no stream the user chose is dropped because
// another camera's rule ran first.
void FollowPaperSource(CDbEnum& a_dbenumOwn, const DbRuleModified& a_dbrulemodified) {
  const EDBBIN edbbin = a_dbenumOwn.GetBin();
  if (a_dbrulemodified.lNew != DB_ID_PAPERSOURCE_ENUM_FLATBED) {
    if (IsRear(edbbin)) a_dbenumOwn.SetAccess(DB_ACCESS_READWRITE);
    return;
  }
  if (IsFirstCamera(edbbin)) {
    const DbRuleCameras dbrulecameras = CRuleKit::CamerasInUse();
    if (!dbrulecameras.blColorFront && !dbrulecameras.blBitonalFront) {
      if (dbrulecameras.blColorRear) SetCamera(0, DB_BIN_COLOR_FRONT, s_lOn);
      if (dbrulecameras.blBitonalRear) SetCamera(0, DB_BIN_BITONAL_FRONT, s_lOn);
    }
  }
  if (IsRear(edbbin)) {
    a_dbenumOwn.SetCurrentLong(s_lOff);
    a_dbenumOwn.SetAccess(DB_ACCESS_DISABLED);
  }
}

// Two-sided: each camera on gets its twin on the other side, window by
// window.
void FollowTwoSided(EDBBIN a_edbbin) {
  const EDBBIN edbbinOther = CDbDatum::GetBinOtherSide(a_edbbin);
  const long lWindows = CDbDatum::GetWindowMax();
  for (EDBID_WINDOW edbidwindow = 0; edbidwindow < lWindows; ++edbidwindow) {
    if (!IsOn(edbidwindow, a_edbbin) && !IsOn(edbidwindow, edbbinOther)) continue;
    SetCamera(edbidwindow, a_edbbin, s_lOn);
    SetCamera(edbidwindow, edbbinOther, s_lOn);
  }
}

// One side kept: in each window with a pair of twins in use, the kept
// camera goes on (unless the kept side already scans somewhere) and its twin
// off; every pair is decided at once from the cameras the pass found.
void FollowOneSided(bool a_blRearKept) {
  const DbRuleCameras dbrulecameras = CRuleKit::CamerasInUse();
  const bool blKeptOn = a_blRearKept ? dbrulecameras.blColorRear || dbrulecameras.blBitonalRear
                                     : dbrulecameras.blColorFront || dbrulecameras.blBitonalFront;
  const long lWindows = CDbDatum::GetWindowMax();
  for (EDBBIN edbbinKept : s_aedbbinCameras) {
    if (IsRear(edbbinKept) != a_blRearKept) continue;
    const EDBBIN edbbinOther = CDbDatum::GetBinOtherSide(edbbinKept);
    if (!IsSupported(edbbinKept) || !IsSupported(edbbinOther)) continue;
    for (EDBID_WINDOW edbidwindow = 0; edbidwindow < lWindows; ++edbidwindow) {
      if (!IsOn(edbidwindow, edbbinKept) && !IsOn(edbidwindow, edbbinOther)) continue;
      if (!blKeptOn) SetCamera(edbidwindow, edbbinKept, s_lOn);
      SetCamera(edbidwindow, edbbinOther, s_lOff);
    }
  }
}

void FollowInputDocument(CDbEnum& a_dbenumOwn, const DbRuleModified& a_dbrulemodified) {
  const EDBBIN edbbin = a_dbenumOwn.GetBin();
  switch (a_dbrulemodified.lNew) {
    case DB_ID_INPUTDOCUMENT_ENUM_TWOSIDED:
      if (!IsRear(edbbin)) FollowTwoSided(edbbin);
      break;
    case DB_ID_INPUTDOCUMENT_ENUM_ONESIDEDFRONT:
    case DB_ID_INPUTDOCUMENT_ENUM_ONESIDEDREAR:
      if (IsFirstCamera(edbbin)) FollowOneSided(a_dbrulemodified.lNew == DB_ID_INPUTDOCUMENT_ENUM_ONESIDEDREAR);
      break;
    default:
      if (IsFirstCamera(edbbin)) OsLog(OS_LOG_ERROR, "Unrecognized value...%ld", a_dbrulemodified.lNew);
      break;
  }
}

// Colour detection chooses between the two streams of a side: the bitonal
// one no longer runs beside the colour one.
void FollowAutoColor(CDbEnum& a_dbenumOwn, const DbRuleModified& a_dbrulemodified) {
  if (a_dbrulemodified.lNew == DB_ID_AUTOCOLORCONTENT_ENUM_NONE) return;
  if (!a_dbrulemodified.blOwnCamera && !a_dbrulemodified.blPartner) return;
  const DbRuleCameras dbrulecameras = CRuleKit::CamerasInUse();
  const bool blRear = IsRear(a_dbenumOwn.GetBin());
  const bool blBoth = blRear ? dbrulecameras.blBitonalRear && dbrulecameras.blColorRear
                             : dbrulecameras.blBitonalFront && dbrulecameras.blColorFront;
  if (!blBoth) return;
  const EDBBIN edbbinBitonal = blRear ? DB_BIN_BITONAL_REAR : DB_BIN_BITONAL_FRONT;
  const long lWindows = CDbDatum::GetWindowMax();
  for (EDBID_WINDOW edbidwindow = 0; edbidwindow < lWindows; ++edbidwindow)
    SetCamera(edbidwindow, edbbinBitonal, s_lOff);
}

// ---------------------------------------------------------------------------
// FixDefault
// ---------------------------------------------------------------------------
// The cameras of the image formats the model has; a model of one kind of
// image starts with its cameras on.
void CameraFixDefault(CDbEnum& a_dbenumOwn) {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase) return;
  const EDBBIN edbbin = a_dbenumOwn.GetBin();
  auto listed = [&](const char* a_szFormat) {
    return pdatabase->ConfigEnumExists("imageformat", a_szFormat, DB_CONFIGTARGET_COMMON);
  };
  const bool blBitonalFormat = listed("bw");
  const bool blColorFormat = listed("rgb_24") || listed("gray_8");
  const bool blOwnFormat = IsBitonal(edbbin) ? blBitonalFormat : blColorFormat;
  const bool blOtherFormat = IsBitonal(edbbin) ? blColorFormat : blBitonalFormat;
  if (!blOwnFormat) {
    a_dbenumOwn.SetAccess(DB_ACCESS_NOTSUPPORTED);
    a_dbenumOwn.SetDefaultLong(s_lOff);
    a_dbenumOwn.FixDefaultReset();
  } else if (!blOtherFormat) {
    a_dbenumOwn.SetDefaultLong(s_lOn);
    a_dbenumOwn.FixDefaultReset();
  }
  if (IsRear(edbbin) && !pdatabase->ConfigExists("duplex", DB_CONFIGTARGET_COMMON)) {
    a_dbenumOwn.SetAccess(DB_ACCESS_NOTSUPPORTED);
    a_dbenumOwn.SetDefaultLong(s_lOff);
    a_dbenumOwn.FixDefaultReset();
  }
  // Only window 0 scans after start-up.
  const long lWindows = CDbDatum::GetWindowMax();
  for (EDBID_WINDOW edbidwindow = 1; edbidwindow < lWindows; ++edbidwindow) {
    CDbDatum* pdbdatum = CDbDatum::DbDatumFindQuick(edbidwindow, DB_ID_CAMERAENABLE, edbbin);
    if (pdbdatum && pdbdatum->GetId() == DB_ID_CAMERAENABLE) pdbdatum->SetCurrentLong(s_lOff);
  }
}

}  // namespace

bool CCAMERAENABLE::Compare(long, long) { return false; }

// ---------------------------------------------------------------------------
// Validate
// ---------------------------------------------------------------------------
// Profiles and the database resource may store any combination; a user's
// window 0 may not lose its last camera, nor a two-sided job its front or
// its rear, unless the driver's configuration allows rear-only jobs.
EOSSTS CCAMERAENABLE::Validate(EDBID_WINDOW a_edbidwindow, long a_lValue) {
  const EOSSTS eossts = CDbEnum::Validate(a_edbidwindow, a_lValue);
  if (eossts != OS_STS_SUCCESS || a_edbidwindow != 0) return eossts;
  auto on = [&](EDBBIN a_edbbin) {
    if (a_edbbin == GetBin()) return a_lValue == s_lOn;
    return IsSupported(a_edbbin) && IsOn(0, a_edbbin);
  };
  const bool blFront = on(DB_BIN_BITONAL_FRONT) || on(DB_BIN_COLOR_FRONT);
  const bool blRear = on(DB_BIN_BITONAL_REAR) || on(DB_BIN_COLOR_REAR);
  if (!blFront && !blRear && !CRuleKit::IsLoading()) {
    OsLog(OS_LOG_ERROR, "camera>>> window 0 would have no camera on, refused...%d", GetBin());
    return DB_EOSSTS_BADARGUMENT;
  }
  if (CRuleKit::ConfigNumber(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEALLOWREARONLY) != 0) return OS_STS_SUCCESS;
  if (CRuleKit::ValueOf(DB_ID_INPUTDOCUMENT, DB_BIN_MACHINE, DB_ID_INPUTDOCUMENT_ENUM_ONESIDEDFRONT) !=
      DB_ID_INPUTDOCUMENT_ENUM_TWOSIDED)
    return OS_STS_SUCCESS;
  if (blFront && blRear) return OS_STS_SUCCESS;
  OsLog(OS_LOG_ERROR, "camera>>> a two-sided job needs a front and a rear camera, refused...%d", GetBin());
  return DB_EOSSTS_BADARGUMENT;
}

// ---------------------------------------------------------------------------
// The other rule operations
// ---------------------------------------------------------------------------
EOSSTS CCAMERAENABLE::FixAccess() {
  if (!IsRear(GetBin())) return OS_STS_SUCCESS;
  const bool blFlatbed = CRuleKit::ValueOf(DB_ID_PAPERSOURCE, DB_BIN_MACHINE, DB_ID_PAPERSOURCE_ENUM_ADF) ==
                         DB_ID_PAPERSOURCE_ENUM_FLATBED;
  SetAccess(blFlatbed ? DB_ACCESS_DISABLED : DB_ACCESS_READWRITE);
  return OS_STS_SUCCESS;
}

EOSSTS CCAMERAENABLE::FixCurrent() {
  DbRuleModified dbrulemodified;
  if (!CRuleKit::GetModified(this, &dbrulemodified) || dbrulemodified.pdbdatum == this || CRuleKit::IsLoading())
    return OS_STS_SUCCESS;
  if (!IsCamera(GetBin())) {
    OsLog(OS_LOG_ERROR, "Unrecognized bin...%d", GetBin());
    return OS_STS_SUCCESS;
  }
  switch (dbrulemodified.edbid) {
    case DB_ID_PAPERSOURCE:
      FollowPaperSource(*this, dbrulemodified);
      break;
    case DB_ID_INPUTDOCUMENT:
      FollowInputDocument(*this, dbrulemodified);
      break;
    case DB_ID_AUTOCOLORCONTENT:
      FollowAutoColor(*this, dbrulemodified);
      break;
    default:
      break;
  }
  return OS_STS_SUCCESS;
}

EOSSTS CCAMERAENABLE::FixDefault() {
  CameraFixDefault(*this);
  return CDbEnum::FixDefault();
}
