// The image streams as the attribute tasks and the GUI bridge see them:
// whether a camera is on, how a stream treats toggle patches, and whether a
// stream will be produced and in which pixel format.
#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {

bool Accessible(CDbDatum* a_pdbdatum) { return a_pdbdatum && a_pdbdatum->GetAccess() != DB_ACCESS_NOTSUPPORTED; }

bool IsRear(EDBBIN a_edbbin) { return a_edbbin == DB_BIN_BITONAL_REAR || a_edbbin == DB_BIN_COLOR_REAR; }

bool IsColor(EDBBIN a_edbbin) { return a_edbbin == DB_BIN_COLOR_FRONT || a_edbbin == DB_BIN_COLOR_REAR; }

// A text into a caller's buffer; a missing or empty buffer is logged.
void PutText(char* a_szBuffer, size_t a_sizetBuffer, const char* a_szText) {
  if (!a_szBuffer || a_sizetBuffer == 0) {
    OsLog(OS_LOG_ERROR, "a_szBuffer is NULL...");
    return;
  }
  COsString::SStrPrintf(a_szBuffer, a_sizetBuffer, "%s", a_szText);
}

}  // namespace

// A window without a datum of its own has window 0's.
bool CDatabase::IsCameraOn(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin) {
  if (!Table()) return false;
  CDbDatum* pdbdatum = CDbDatum::DbDatumFind(a_edbidwindow, DB_ID_CAMERAENABLE, a_edbbin);
  return Accessible(pdbdatum) && pdbdatum->GetCurrentLong() == DB_ID_CAMERAENABLE_ENUM_TRUE;
}

bool CDatabase::IsTogglePatchInUse() {
  CDbDatum* pdbdatum = Find(DB_ID_TOGGLEPATCH);
  if (!pdbdatum) return false;
  const long lTogglePatch = pdbdatum->GetCurrentLong();
  return lTogglePatch != DB_ID_TOGGLEPATCH_ENUM_NONE && lTogglePatch != DB_ID_TOGGLEPATCH_ENUM_DETECTONLY;
}

void CDatabase::GetPatchToggleState(EDBBIN a_edbbin, char* a_szState, size_t a_sizetState) {
  const char* szState = "off";
  CDbDatum* pdbdatum = Table() ? FindDirect(DB_BIN_MACHINE, DB_ID_TOGGLEPATCH) : nullptr;
  if (Accessible(pdbdatum) && pdbdatum->GetCurrentLong() != DB_ID_TOGGLEPATCH_ENUM_NONE && GetCameraEnable(a_edbbin))
    szState = GetCameraEnable(GetBinSameSide(a_edbbin)) ? "alwayson" : "on";
  PutText(a_szState, a_sizetState, szState);
}

// The pixel format is the stream's own: a colour stream whose window asks
// for gray gives "gray_8", every other colour stream "rgb_24"; a bitonal
// stream is always "bw".
bool CDatabase::GetNeedSendWindowAdd(EDBBIN a_edbbin, EDBID_WINDOW a_edbidwindow, EDBDEVICEDATA /*consumers*/,
                                     char* a_szPixelFormat, size_t a_sizetPixelFormat) {
  if (a_edbbin < DB_BIN_BITONAL_FRONT || a_edbbin > DB_BIN_COLOR_REAR) {
    OsLog(OS_LOG_ERROR, "Unrecognized bin %d...", a_edbbin);
    PutText(a_szPixelFormat, a_sizetPixelFormat, "rgb_24");
    return false;
  }
  if (!Table() || a_edbidwindow < 0 || a_edbidwindow >= GetWindowMax()) {
    OsLog(OS_LOG_ERROR, "Bad a_edbidwindow...%d", a_edbidwindow);
    return false;
  }
  if (IsRear(a_edbbin)) {
    CDbDatum* pdbdatum = FindDirect(DB_BIN_MACHINE, DB_ID_PAPERSOURCE);
    if (NeedScanFromFlatbed() || (Accessible(pdbdatum) && pdbdatum->GetCurrentLong() == DB_ID_PAPERSOURCE_ENUM_FLATBED))
      return false;
  }
  const char* szPixelFormat = "bw";
  if (IsColor(a_edbbin)) {
    CDbDatum* pdbdatum = CDbDatum::DbDatumFind(a_edbidwindow, DB_ID_IMAGEFORMAT, a_edbbin);
    const bool blGray = Accessible(pdbdatum) && pdbdatum->GetCurrentLong() == DB_ID_IMAGEFORMAT_ENUM_GRAY_8;
    szPixelFormat = blGray ? "gray_8" : "rgb_24";
  }
  PutText(a_szPixelFormat, a_sizetPixelFormat, szPixelFormat);
  if (IsCameraOn(a_edbidwindow, a_edbbin)) return true;
  if (!IsCameraOn(a_edbidwindow, GetBinSameSide(a_edbbin))) return false;
  CDbDatum* pdbdatum = FindInBin(a_edbbin, DB_ID_AUTOCOLORCONTENT);
  if (Accessible(pdbdatum) && pdbdatum->GetCurrentLong() != DB_ID_AUTOCOLORCONTENT_ENUM_NONE) return true;
  return IsTogglePatchInUse();
}
