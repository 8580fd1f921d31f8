// Automatic colour detection: the content a side shares and turns off when
// its streams leave nothing to detect between, what the scanner is told,
// and the amount and threshold each content stands for.
#include "db_cautocolor.h"

#include "db_cdatabase.h"
#include "db_crulekit.h"
#include "os_coslog.h"

namespace {

constexpr long s_lNone = DB_ID_AUTOCOLORCONTENT_ENUM_NONE;

bool IsFront(EDBBIN a_edbbin) { return a_edbbin == DB_BIN_BITONAL_FRONT || a_edbbin == DB_BIN_COLOR_FRONT; }

bool IsCamera(EDBBIN a_edbbin) { return a_edbbin >= DB_BIN_BITONAL_FRONT && a_edbbin <= DB_BIN_COLOR_REAR; }

bool IsOn(EDBID a_edbid, EDBBIN a_edbbin) { return CRuleKit::ValueOf(a_edbid, a_edbbin, 1) == 2; }

// A camera switched on while the other kind of camera of its side is on in
// some window: the side then gives both streams, and detection has nothing
// to decide.
void FollowCameraEnable(CDbEnum& a_dbenumOwn, const DbRuleModified& a_dbrulemodified) {
  if (a_dbrulemodified.lNew != DB_ID_CAMERAENABLE_ENUM_TRUE ||
      !(a_dbrulemodified.blOwnCamera || a_dbrulemodified.blPartner)) {
    return;
  }
  const DbRuleCameras dbrulecameras = CRuleKit::CamerasInUse();
  bool blOtherKindOn = false;
  switch (a_dbrulemodified.edbbin) {
    case DB_BIN_BITONAL_FRONT:
      blOtherKindOn = dbrulecameras.blColorFront;
      break;
    case DB_BIN_BITONAL_REAR:
      blOtherKindOn = dbrulecameras.blColorRear;
      break;
    case DB_BIN_COLOR_FRONT:
      blOtherKindOn = dbrulecameras.blBitonalFront;
      break;
    case DB_BIN_COLOR_REAR:
      blOtherKindOn = dbrulecameras.blBitonalRear;
      break;
    default:
      OsLog(OS_LOG_ERROR, "Unrecognized value...%d", a_dbrulemodified.edbbin);
      return;
  }
  if (blOtherKindOn) a_dbenumOwn.SetCurrentLong(s_lNone);
}

// With both kinds of camera on, the sides the input document scans give
// both streams.
void FollowInputDocument(CDbEnum& a_dbenumOwn, const DbRuleModified& a_dbrulemodified) {
  const DbRuleCameras dbrulecameras = CRuleKit::CamerasInUse();
  if (!(dbrulecameras.blColorFront || dbrulecameras.blColorRear) ||
      !(dbrulecameras.blBitonalFront || dbrulecameras.blBitonalRear)) {
    return;
  }
  const bool blFront = IsFront(a_dbenumOwn.GetBin());
  switch (a_dbrulemodified.lNew) {
    case DB_ID_INPUTDOCUMENT_ENUM_TWOSIDED:
      a_dbenumOwn.SetCurrentLong(s_lNone);
      break;
    case DB_ID_INPUTDOCUMENT_ENUM_ONESIDEDFRONT:
      if (blFront) a_dbenumOwn.SetCurrentLong(s_lNone);
      break;
    case DB_ID_INPUTDOCUMENT_ENUM_ONESIDEDREAR:
      if (!blFront) a_dbenumOwn.SetCurrentLong(s_lNone);
      break;
    default:
      OsLog(OS_LOG_ERROR, "Unexpected %s: %ld", a_dbrulemodified.pdbdatum->GetName(), a_dbrulemodified.lNew);
      break;
  }
}

// The amount and threshold each content stands for; custom keeps the
// user's, none the defaults.
struct AutoColorLevel {
  long lContent;
  long lAmount;
  long lThreshold;
};
constexpr AutoColorLevel s_aautocolorlevel[] = {{DB_ID_AUTOCOLORCONTENT_ENUM_LOW, 9, 20},
                                                {DB_ID_AUTOCOLORCONTENT_ENUM_MEDIUM, 47, 20},
                                                {DB_ID_AUTOCOLORCONTENT_ENUM_HIGH, 116, 20}};

// Read-write only while the content of the camera is custom. The amount
// reads the content in the current window, the threshold in window 0.
void LevelFixAccess(CDbRange& a_dbrangeOwn, bool a_blCurrentWindow) {
  CDatabase* pdatabase = CRuleKit::Database();
  CDbDatum* pdbdatum = !pdatabase             ? nullptr
                       : a_blCurrentWindow    ? pdatabase->FindInBin(a_dbrangeOwn.GetBin(), DB_ID_AUTOCOLORCONTENT)
                                              : CRuleKit::Supported(DB_ID_AUTOCOLORCONTENT, a_dbrangeOwn.GetBin());
  const bool blCustom = pdbdatum && pdbdatum->GetCurrentLong() == DB_ID_AUTOCOLORCONTENT_ENUM_CUSTOM;
  a_dbrangeOwn.SetAccess(blCustom ? DB_ACCESS_READWRITE : DB_ACCESS_DISABLED);
}

void LevelFixCurrent(CDbRange& a_dbrangeOwn, bool a_blAmount) {
  DbRuleModified dbrulemodified;
  if (!CRuleKit::GetModified(&a_dbrangeOwn, &dbrulemodified) || dbrulemodified.pdbdatum == &a_dbrangeOwn ||
      !IsCamera(a_dbrangeOwn.GetBin())) {
    return;
  }
  if (dbrulemodified.edbid == DB_ID_AUTOCOLORCONTENT && (dbrulemodified.blOwnCamera || dbrulemodified.blPartner)) {
    if (dbrulemodified.lNew == s_lNone) a_dbrangeOwn.SetCurrentLong(a_dbrangeOwn.GetDefaultLong());
    for (const AutoColorLevel& autocolorlevel : s_aautocolorlevel) {
      if (autocolorlevel.lContent == dbrulemodified.lNew)
        a_dbrangeOwn.SetCurrentLong(a_blAmount ? autocolorlevel.lAmount : autocolorlevel.lThreshold);
    }
  }
  LevelFixAccess(a_dbrangeOwn, a_blAmount);
}

}  // namespace

// ---------------------------------------------------------------------------
// AUTOCOLORCONTENT
// ---------------------------------------------------------------------------
EOSSTS CAUTOCOLORCONTENT::FixCurrent() {
  DbRuleModified dbrulemodified;
  if (!CRuleKit::GetModified(this, &dbrulemodified)) return OS_STS_SUCCESS;
  switch (dbrulemodified.edbid) {
    case DB_ID_AUTOCOLORCONTENT:
      // The two cameras of a side share the content.
      if (dbrulemodified.blPartner) SetCurrentLong(dbrulemodified.lNew);
      break;
    case DB_ID_CAMERAENABLE:
      FollowCameraEnable(*this, dbrulemodified);
      break;
    case DB_ID_INPUTDOCUMENT:
      FollowInputDocument(*this, dbrulemodified);
      break;
    case DB_ID_PAPERSOURCE: {
      // The flatbed gives no front stream to choose between without one.
      const DbRuleCameras dbrulecameras = CRuleKit::CamerasInUse();
      if (dbrulemodified.lNew == DB_ID_PAPERSOURCE_ENUM_FLATBED && IsFront(GetBin()) &&
          !dbrulecameras.blColorFront && !dbrulecameras.blBitonalFront) {
        SetCurrentLong(s_lNone);
      }
      break;
    }
    case DB_ID_TOGGLEPATCH:
      // Toggle patches choose the stream themselves.
      if (dbrulemodified.lNew != DB_ID_TOGGLEPATCH_ENUM_NONE) SetCurrentLong(s_lNone);
      break;
    default:
      break;
  }
  return OS_STS_SUCCESS;
}

void CAUTOCOLORCONTENT::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  const char* szDetect = "on";
  if (a_lValue == s_lNone || CRuleKit::IsPreview()) {
    szDetect = "off";
  } else if (IsOn(DB_ID_ACDLEARNMODE, DB_BIN_MACHINE)) {
    szDetect = "learn";
  } else if (IsOn(DB_ID_CAMERAENABLE, GetBin()) && IsOn(DB_ID_CAMERAENABLE, GetBinSameSide(GetBin()))) {
    szDetect = "detectonly";
  }
  CDbDatum::MakeXml(reinterpret_cast<long>(szDetect), a_edbdevicedataTarget, "autocolordetect");
}

// ---------------------------------------------------------------------------
// AUTOCOLORAMOUNT and AUTOCOLORTHRESHOLD
// ---------------------------------------------------------------------------
EOSSTS CAUTOCOLORAMOUNT::FixAccess() {
  LevelFixAccess(*this, true);
  return OS_STS_SUCCESS;
}

EOSSTS CAUTOCOLORAMOUNT::FixCurrent() {
  LevelFixCurrent(*this, true);
  return OS_STS_SUCCESS;
}

EOSSTS CAUTOCOLORTHRESHOLD::FixAccess() {
  LevelFixAccess(*this, false);
  return OS_STS_SUCCESS;
}

EOSSTS CAUTOCOLORTHRESHOLD::FixCurrent() {
  LevelFixCurrent(*this, false);
  return OS_STS_SUCCESS;
}
