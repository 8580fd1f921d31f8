// WINDOWBIN and WINDOW: the window-bins the model's cameras offer, the
// profile container of the window-bins, the window-bin following the window,
// the job and itself, the window following the window-bin, the number of
// windows in use, and the free functions on window-bin values.
#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_crulekit.h"
#include "db_cwindows.h"
#include "os_coslog.h"
#include "os_cosmem.h"

namespace {

constexpr long s_lCameras = 4;  // window-bins per window
constexpr long s_lNone = DB_WINDOWBIN_COUNT;
// Camera positions within a window.
constexpr long s_lBitonalFront = 0;
constexpr long s_lBitonalRear = 1;
constexpr long s_lColorFront = 2;
constexpr long s_lColorRear = 3;

bool (*s_pfnProfileFail)() = nullptr;

bool IsWindowBin(long a_lValue) { return a_lValue >= 0 && a_lValue < DB_WINDOWBIN_COUNT; }

// The windows the WINDOW enumeration offers by default.
long DefaultWindows(CDatabase& a_database) {
  return a_database.EnumGetDefaultItemCount(a_database.FindDirect(DB_BIN_MACHINE, DB_ID_WINDOW));
}

// The cameras the model lacks leave the default list, window by window: a
// camera of a colour mode the configuration does not list, a rear camera
// without a duplex unit.
void RemoveMissingCameras(CDatabase& a_database, CDbEnum& a_dbenumOwn) {
  auto listed = [&](const char* a_szFormat) {
    return a_database.ConfigEnumExists("imageformat", a_szFormat, DB_CONFIGTARGET_COMMON);
  };
  const bool blBitonal = listed("bw");
  const bool blColor = listed("rgb_24");
  const bool blDuplex = a_database.ConfigExists("duplex", DB_CONFIGTARGET_COMMON);
  const long lWindows = DefaultWindows(a_database);
  for (long lWindow = 0; lWindow < lWindows; ++lWindow) {
    const long lFirst = lWindow * s_lCameras;
    if (!blBitonal) a_dbenumOwn.DeleteDefaultItem(lFirst + s_lBitonalFront);
    if (!blColor) a_dbenumOwn.DeleteDefaultItem(lFirst + s_lColorFront);
    if (!blDuplex || !blBitonal) a_dbenumOwn.DeleteDefaultItem(lFirst + s_lBitonalRear);
    if (!blDuplex || !blColor) a_dbenumOwn.DeleteDefaultItem(lFirst + s_lColorRear);
  }
}

// The window-bin of the window the user chose, in the same camera.
void FollowWindow(CDbEnum& a_dbenumOwn, long a_lWindow) {
  const long lValue = a_dbenumOwn.GetCurrentLong();
  if (a_lWindow < 0 || a_lWindow >= DB_WINDOW_COUNT || !IsWindowBin(lValue)) {
    OsLog(OS_LOG_ERROR, "trouble...window %ld windowbin %ld", a_lWindow, lValue);
    a_dbenumOwn.SetCurrentLong(s_lNone);
    return;
  }
  a_dbenumOwn.SetCurrentLong(a_lWindow * s_lCameras + lValue % s_lCameras);
}

// A one-sided job keeps the window-bin on the face it scans.
void FollowInputDocument(CDatabase& a_database, CDbEnum& a_dbenumOwn, const DbRuleModified& a_dbrulemodified) {
  const long lValue = a_dbenumOwn.GetCurrentLong();
  bool blMove = false;
  switch (a_dbrulemodified.lNew) {
    case DB_ID_INPUTDOCUMENT_ENUM_TWOSIDED:
    case DB_ID_INPUTDOCUMENT_ENUM_ONESIDEDFRONT:
      blMove = !IsFront(lValue);
      break;
    case DB_ID_INPUTDOCUMENT_ENUM_ONESIDEDREAR:
      blMove = IsFront(lValue);
      break;
    default:
      OsLog(OS_LOG_ERROR, "Unexpected %s: %ld", a_database.GetName(a_dbrulemodified.pdbdatum), a_dbrulemodified.lNew);
      return;
  }
  if (!blMove) return;
  const EDBID_WINDOWBIN edbidwindowbin = GetOppositeSide(lValue);
  if (edbidwindowbin < 0) {
    OsLog(OS_LOG_ERROR, "trouble...windowbin %ld has no other side", lValue);
    return;
  }
  a_dbenumOwn.SetCurrentLong(edbidwindowbin);
}

}  // namespace

// ---------------------------------------------------------------------------
// Window-bin values
// ---------------------------------------------------------------------------
bool IsFront(EDBID_WINDOWBIN a_edbidwindowbin) { return IsWindowBin(a_edbidwindowbin) && a_edbidwindowbin % 2 == 0; }

EDBID_WINDOWBIN GetOppositeSide(EDBID_WINDOWBIN a_edbidwindowbin) {
  return IsWindowBin(a_edbidwindowbin) ? a_edbidwindowbin ^ 1 : -1;
}

void OrderWindowCamera(CWINDOWBIN* a_pcwindowbin) {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!a_pcwindowbin || !pdatabase) return;
  const long lValue = a_pcwindowbin->GetCurrentLong();
  if (a_pcwindowbin->GetCurrentItemCount() > 0 && a_pcwindowbin->GetCurrentItem(0) == lValue) return;
  if (!IsWindowBin(lValue)) {
    OsLog(OS_LOG_ERROR, "trouble...windowbin %ld has no camera", lValue);
    return;
  }
  const bool blColor = lValue % s_lCameras >= s_lColorFront;
  static constexpr long s_alColorFirst[] = {s_lColorFront, s_lBitonalFront, s_lColorRear, s_lBitonalRear};
  static constexpr long s_alBitonalFirst[] = {s_lBitonalFront, s_lColorFront, s_lBitonalRear, s_lColorRear};
  const long* plOrder = blColor ? s_alColorFirst : s_alBitonalFirst;
  a_pcwindowbin->DeleteAllCurrentItems();
  const long lWindows = DefaultWindows(*pdatabase);
  for (long lWindow = 0; lWindow < lWindows; ++lWindow) {
    for (long l = 0; l < s_lCameras; ++l) {
      const long lWindowBin = lWindow * s_lCameras + plOrder[l];
      if (a_pcwindowbin->HasDefaultItem(lWindowBin)) a_pcwindowbin->AddCurrentItem(lWindowBin);
    }
  }
}

// ---------------------------------------------------------------------------
// WINDOWBIN
// ---------------------------------------------------------------------------
void CWINDOWBIN::SetProfileAllocationSeam(bool (*a_pfnFail)()) { s_pfnProfileFail = a_pfnFail; }

// The profile container is made once and taken again by every later
// default fix (one per opened scanner).
EOSSTS CWINDOWBIN::FixDefault() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase) return OS_STS_FAIL;
  RemoveMissingCameras(*pdatabase, *this);
  if (!m_pdbenumProfile) {
    m_pdbenumProfile = s_pfnProfileFail && s_pfnProfileFail() ? nullptr : OsMemNew(CDbEnum);
    if (!m_pdbenumProfile) {
      OsLog(OS_LOG_ERROR, "OsMemNew failed...");
      return OS_STS_FAIL;
    }
  }
  m_pdbenumProfile->InitEnumLong(GetId(), GetBin(), GetAccess(), GetDeviceData(), GetDefaultLong(),
                                 GetDefaultLong());
  FixDefaultReset();
  return CDbEnum::FixDefault();
}

EOSSTS CWINDOWBIN::FixCurrent() {
  DbRuleModified dbrulemodified;
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase || !CRuleKit::GetModified(this, &dbrulemodified)) return OS_STS_SUCCESS;
  switch (dbrulemodified.edbid) {
    case DB_ID_WINDOW:
      FollowWindow(*this, dbrulemodified.lNew);
      break;
    case DB_ID_WINDOWBIN:
      pdatabase->CompareProfileContainer(this);
      break;
    case DB_ID_INPUTDOCUMENT:
      FollowInputDocument(*pdatabase, *this, dbrulemodified);
      break;
    default:
      break;
  }
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// WINDOW
// ---------------------------------------------------------------------------
// Window 0 is always in use; the list names at most the 11 windows there
// are.
EOSSTS CWINDOW::FixDefault() {
  long lWindows = GetCurrentItemCount();
  if (lWindows < 1 || lWindows > DB_WINDOW_COUNT) {
    OsLog(OS_LOG_ERROR, "window>>> %ld windows listed, %d in use...", lWindows, lWindows < 1 ? 1 : DB_WINDOW_COUNT);
    lWindows = lWindows < 1 ? 1 : DB_WINDOW_COUNT;
  }
  CDbDatum::SetWindowMax(lWindows);
  return CDbEnum::FixDefault();
}

// A window-bin that is none leaves the window as it was.
EOSSTS CWINDOW::FixCurrent() {
  DbRuleModified dbrulemodified;
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase || !CRuleKit::GetModified(this, &dbrulemodified) || dbrulemodified.edbid != DB_ID_WINDOWBIN)
    return OS_STS_SUCCESS;
  EDBID_WINDOW edbidwindow = -1;
  EDBBIN edbbin = DB_BIN_SEARCH;
  pdatabase->DecomposeWindowBin(static_cast<EDBID_WINDOWBIN>(dbrulemodified.lNew), &edbidwindow, &edbbin);
  if (edbidwindow >= 0) SetCurrentLong(edbidwindow);
  return OS_STS_SUCCESS;
}
