// Cameras, windows and the scanner unit: which cameras are on, the current
// window and window-bin chosen from them, the deletion of a scan window,
// whether the two sides match, whether a bin crops to a box of its own,
// which unit scans, and the cropping of a preview.
#include <initializer_list>

#include "db_cdatabase.h"
#include "db_cdbcontainer.h"
#include "db_cdbdatum.h"
#include "os_coslog.h"

namespace {

constexpr EDBBIN s_aedbbinCameras[] = {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT,
                                       DB_BIN_COLOR_REAR};
constexpr long s_lCameraOff = DB_ID_CAMERAENABLE_ENUM_FALSE;
constexpr long s_lCameraOn = DB_ID_CAMERAENABLE_ENUM_TRUE;
// The scan source the device engine stores for a preview from the flatbed.
constexpr EDBSCANSOURCE s_edbscansourceFlatbed = 4;

bool IsRear(EDBBIN a_edbbin) { return a_edbbin == DB_BIN_BITONAL_REAR || a_edbbin == DB_BIN_COLOR_REAR; }

bool IsBitonal(EDBBIN a_edbbin) { return a_edbbin == DB_BIN_BITONAL_FRONT || a_edbbin == DB_BIN_BITONAL_REAR; }

bool Accessible(CDbDatum* a_pdbdatum) { return a_pdbdatum && a_pdbdatum->GetAccess() != DB_ACCESS_NOTSUPPORTED; }

// Whether a capability is supported and holds the value.
bool Supported(CDatabase& a_database, EDBID a_edbid, long a_lValue) {
  CDbDatum* pdbdatum = a_database.Find(a_edbid);
  return pdbdatum && pdbdatum->GetCurrentLong() == a_lValue;
}

// The camera bin of SetCurrentWindowBin, 6 (none) when every camera is off.
EDBBIN ChooseBin(bool a_blFront, bool a_blRear, bool a_blColorFront, bool a_blColorRear, bool a_blColorFirst) {
  if (a_blFront) return a_blColorFront && a_blColorFirst ? DB_BIN_COLOR_FRONT : DB_BIN_BITONAL_FRONT;
  if (a_blColorFront) return DB_BIN_COLOR_FRONT;
  if (a_blRear) return a_blColorRear && a_blColorFirst ? DB_BIN_COLOR_REAR : DB_BIN_BITONAL_REAR;
  return a_blColorRear ? DB_BIN_COLOR_REAR : DB_BIN_LAST;
}

}  // namespace

// ---------------------------------------------------------------------------
// Cameras
// ---------------------------------------------------------------------------
bool CDatabase::GetCameraEnable(EDBBIN a_edbbin) {
  CDbDatum* pdbdatum = FindInBin(a_edbbin, DB_ID_CAMERAENABLE);
  return pdbdatum && pdbdatum->GetCurrentLong() == s_lCameraOn;
}

long CDatabase::GetNumCameraEnable() {
  const bool blTwoSided = Supported(*this, DB_ID_INPUTDOCUMENT, DB_ID_INPUTDOCUMENT_ENUM_TWOSIDED);
  long lCount = 0;
  for (EDBBIN edbbin : s_aedbbinCameras) {
    if ((blTwoSided || !IsRear(edbbin)) && GetCameraEnable(edbbin)) ++lCount;
  }
  return lCount;
}

// ---------------------------------------------------------------------------
// Windows
// ---------------------------------------------------------------------------
EDBSTS CDatabase::SetWindow(EDBID_WINDOW a_edbidwindow) {
  OsLogDebug(OS_LOG_INFO, ">>> CDatabase::SetWindow(%d)", a_edbidwindow);
  CDbDatum* pdbdatum = Table() ? CDbDatum::DbDatumFind(0, DB_ID_WINDOW, DB_BIN_MACHINE) : nullptr;
  CDbEnum* pdbenum = dbcontainer::AsEnum(pdbdatum);
  if (!pdbenum) {
    OsLog(OS_LOG_ERROR, "a_hdbdatum is NULL for DB_ID_WINDOW");
    return DB_STS_FAIL;
  }
  if (const EOSSTS eossts = pdbenum->Validate(pdbenum->GetWindow(), a_edbidwindow); eossts != OS_STS_SUCCESS)
    return static_cast<EDBSTS>(eossts);
  return SetCurrentLong(pdbenum, a_edbidwindow, false);
}

// A colour camera wins over the bitonal one of its side when WINDOWBIN's
// list starts with a colour window-bin.
EDBSTS CDatabase::SetCurrentWindowBin() {
  CDbDatum* pdbdatumWindowBin = Find(DB_ID_WINDOWBIN);
  if (!pdbdatumWindowBin) {
    OsLog(OS_LOG_ERROR, "a_hdbdatum is NULL for DB_ID_WINDOWBIN");
    return DB_STS_FAIL;
  }
  const bool blColorFirst = !IsBitonal(GetBinFromWindowBin(EnumGetCurrentItem(pdbdatumWindowBin, 0)));
  const EDBBIN edbbin =
      ChooseBin(GetCameraEnable(DB_BIN_BITONAL_FRONT), GetCameraEnable(DB_BIN_BITONAL_REAR),
                GetCameraEnable(DB_BIN_COLOR_FRONT), GetCameraEnable(DB_BIN_COLOR_REAR), blColorFirst);
  // No camera on: the end bin composes to -1, which WINDOWBIN refuses.
  return SetCurrentLong(pdbdatumWindowBin, ComposeWindowBin(GetWindow(), edbbin), false);
}

// The windows after the current one move down by one, straight into their
// datums (no validation, no fix-up); window 10 is left with its cameras off.
// A window-bin that cannot be selected deletes nothing: the current window
// is not the one asked for.
EDBSTS CDatabase::DeleteCurrentWindow(EDBID_WINDOWBIN a_edbidwindowbin) {
  if (!Table()) return DB_STS_FAIL;
  if (GetWindowBin() != a_edbidwindowbin) {
    const EDBSTS edbsts = SetCurrentLongFromId(DB_ID_WINDOWBIN, a_edbidwindowbin, false);
    if (edbsts != DB_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "Bad a_edbidwindowbin, no window deleted...%d %d", a_edbidwindowbin, edbsts);
      return edbsts;
    }
  }
  bool blCameraOn = false;
  for (EDBBIN edbbin : s_aedbbinCameras) {
    CDbDatum* pdbdatum = CDbDatum::DbDatumFindQuick(1, DB_ID_CAMERAENABLE, edbbin);
    blCameraOn = blCameraOn || (Accessible(pdbdatum) && pdbdatum->GetCurrentLong() == s_lCameraOn);
  }
  if (!blCameraOn) return DB_STS_NOTAVAILABLE;
  const EDBID_WINDOW edbidwindowCurrent = GetWindow();
  const EDBID_WINDOW edbidwindowLast = static_cast<EDBID_WINDOW>(GetWindowMax() - 1);
  for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
    const EDBID edbid = static_cast<EDBID>(iId);
    bool blWindowSpecific = false;
    for (EDBBIN edbbin : s_aedbbinCameras) {
      CDbDatum* pdbdatum = Table()->apdbdatum[1][edbid][edbbin];
      blWindowSpecific = blWindowSpecific || (Accessible(pdbdatum) && pdbdatum->GetDataType() == DB_DATATYPE_LONG);
    }
    if (!blWindowSpecific) continue;
    for (EDBID_WINDOW edbidwindow = edbidwindowCurrent; edbidwindow >= 0 && edbidwindow < edbidwindowLast;
         ++edbidwindow) {
      for (EDBBIN edbbin : s_aedbbinCameras) {
        CDbDatum* pdbdatum = CDbDatum::DbDatumFind(edbidwindow, edbid, edbbin);
        CDbDatum* pdbdatumNext = CDbDatum::DbDatumFind(edbidwindow + 1, edbid, edbbin);
        if (Accessible(pdbdatum) && pdbdatumNext) pdbdatum->SetCurrentLong(pdbdatumNext->GetCurrentLong());
      }
    }
  }
  for (EDBBIN edbbin : s_aedbbinCameras) {
    CDbDatum* pdbdatum = Table()->apdbdatum[edbidwindowLast][DB_ID_CAMERAENABLE][edbbin];
    if (Accessible(pdbdatum)) pdbdatum->SetCurrentLong(s_lCameraOff);
  }
  if (edbidwindowCurrent != 0) SetWindow(edbidwindowCurrent - 1);
  return DB_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// Sides and crop boxes
// ---------------------------------------------------------------------------
bool CDatabase::IsFrontAndRearIdentical(EDBBIN a_edbbin) {
  if (a_edbbin < DB_BIN_BITONAL_FRONT || a_edbbin > DB_BIN_COLOR_REAR) {
    OsLog(OS_LOG_ERROR, "Unrecognized edbbin...%d", a_edbbin);
    return false;
  }
  const EDBBIN edbbinFront = IsBitonal(a_edbbin) ? DB_BIN_BITONAL_FRONT : DB_BIN_COLOR_FRONT;
  const EDBBIN edbbinRear = IsBitonal(a_edbbin) ? DB_BIN_BITONAL_REAR : DB_BIN_COLOR_REAR;
  for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
    const EDBID edbid = static_cast<EDBID>(iId);
    CDbDatum* pdbdatumFront = FindMachineOrBin(edbbinFront, edbid);
    if (!pdbdatumFront || pdbdatumFront->GetBin() != edbbinFront || pdbdatumFront->GetDataType() != DB_DATATYPE_LONG)
      continue;
    CDbDatum* pdbdatumRear = FindInBin(edbbinRear, edbid);
    if (!pdbdatumRear || pdbdatumRear->GetDataType() != DB_DATATYPE_LONG) continue;
    const long lFront = pdbdatumFront->GetCurrentLong();
    const long lRear = pdbdatumRear->GetCurrentLong();
    if (lFront != lRear) {
      OsLogDebug(OS_LOG_INFO, "%s doesn't match: F=%ld R=%ld", GetName(pdbdatumFront), lFront, lRear);
      return false;
    }
  }
  return true;
}

// The automatic crop modes find the page themselves; a camera that is off
// keeps a box only while a patch toggles or colour detection may switch
// its side.
bool CDatabase::IsDefinedCropbox(EDBBIN a_edbbin) {
  CDbDatum* pdbdatumCropping = FindInBin(a_edbbin, DB_ID_CROPPINGMODE);
  if (!pdbdatumCropping) return false;
  CDbDatum* pdbdatumTogglePatch = FindInBin(DB_BIN_MACHINE, DB_ID_TOGGLEPATCH);
  const long lTogglePatch =
      pdbdatumTogglePatch ? pdbdatumTogglePatch->GetCurrentLong() : long{DB_ID_TOGGLEPATCH_ENUM_NONE};
  bool blAutoColor = false;
  if (a_edbbin >= DB_BIN_BITONAL_FRONT && a_edbbin <= DB_BIN_COLOR_REAR) {
    const EDBBIN edbbinBitonal = IsRear(a_edbbin) ? DB_BIN_BITONAL_REAR : DB_BIN_BITONAL_FRONT;
    const EDBBIN edbbinColor = IsRear(a_edbbin) ? DB_BIN_COLOR_REAR : DB_BIN_COLOR_FRONT;
    if (GetCameraEnable(edbbinBitonal) || GetCameraEnable(edbbinColor)) {
      for (EDBBIN edbbin : {edbbinBitonal, edbbinColor}) {
        CDbDatum* pdbdatum = FindInBin(edbbin, DB_ID_AUTOCOLORCONTENT);
        blAutoColor = blAutoColor || (pdbdatum && pdbdatum->GetCurrentLong() != DB_ID_AUTOCOLORCONTENT_ENUM_NONE);
      }
    }
  } else {
    OsLog(OS_LOG_ERROR, "Unrecognized value...%d", a_edbbin);
  }
  switch (pdbdatumCropping->GetCurrentLong()) {
    case DB_ID_CROPPINGMODE_ENUM_AUTOMATIC:
    case DB_ID_CROPPINGMODE_ENUM_AGGRESSIVE:
    case DB_ID_CROPPINGMODE_ENUM_PHOTO:
      return false;
    default:
      break;
  }
  if (GetCameraEnable(a_edbbin)) return true;
  return lTogglePatch != DB_ID_TOGGLEPATCH_ENUM_NONE || blAutoColor;
}

// ---------------------------------------------------------------------------
// The unit that scans, and the preview
// ---------------------------------------------------------------------------
bool CDatabase::NeedScanFromFlatbed() {
  if (m_iUnitOverride == DB_FIRMWARE_FLATBED) return true;
  if (m_iUnitOverride == DB_FIRMWARE_ADF) return false;
  if (CDbDatum::TestDbState(DB_STATE_LEARNSCAN)) return false;
  if (Supported(*this, DB_ID_PREVIEWMODE, DB_ID_PREVIEWMODE_ENUM_TRUE)) {
    const bool blAcquire = Supported(*this, DB_ID_PREVIEWIMAGEACQUIRE, DB_ID_PREVIEWIMAGEACQUIRE_ENUM_FALSE);
    if (!blAcquire && IsRear(GetBinFromWindowBin(GetWindowBin()))) return false;
    if (blAcquire || CDbDatum::TestDbState(DB_STATE_PREVIEWRESCAN)) return m_edbscansource == s_edbscansourceFlatbed;
  }
  if (Supported(*this, DB_ID_INPUTDOCUMENT, DB_ID_INPUTDOCUMENT_ENUM_ONESIDEDREAR)) return false;
  if (CDbDatum::TestDbState(DB_STATE_FLATBEDSCAN)) return true;
  return Supported(*this, DB_ID_PAPERSOURCE, DB_ID_PAPERSOURCE_ENUM_FLATBED);
}

EDBID_CROPPINGMODE CDatabase::GetCroppingForPreview(EDBID_CROPPINGMODE a_edbidcroppingmode) {
  if (!Supported(*this, DB_ID_PREVIEWMODE, DB_ID_PREVIEWMODE_ENUM_TRUE)) {
    OsLog(OS_LOG_ERROR, "GetCroppingForPreview must only be called in preview state");
    return 0;
  }
  switch (a_edbidcroppingmode) {
    case DB_ID_CROPPINGMODE_ENUM_AUTOMATIC:
    case DB_ID_CROPPINGMODE_ENUM_RELATIVE:
    case DB_ID_CROPPINGMODE_ENUM_PHOTOINROI:
      return DB_ID_CROPPINGMODE_ENUM_AUTOMATIC;
    case DB_ID_CROPPINGMODE_ENUM_FIXED:
    case DB_ID_CROPPINGMODE_ENUM_LONGPAPER:
    case DB_ID_CROPPINGMODE_ENUM_NONE:
      return DB_ID_CROPPINGMODE_ENUM_FIXED;
    case DB_ID_CROPPINGMODE_ENUM_AGGRESSIVE:
    case DB_ID_CROPPINGMODE_ENUM_PHOTO:
      return a_edbidcroppingmode;
    default:
      OsLog(OS_LOG_ERROR, "Unexpected DB_ID_CROPPINGMODE...%d", a_edbidcroppingmode);
      return a_edbidcroppingmode;
  }
}

bool CDatabase::IsCroppingBoxAlignmentCenter(EDBID_CROPPINGMODE a_edbidcroppingmode) {
  switch (a_edbidcroppingmode) {
    case DB_ID_CROPPINGMODE_ENUM_FIXED:
      return !Supported(*this, DB_ID_PAPERSOURCE, DB_ID_PAPERSOURCE_ENUM_FLATBED);
    case DB_ID_CROPPINGMODE_ENUM_LONGPAPER:
      return true;
    default:
      return false;
  }
}
