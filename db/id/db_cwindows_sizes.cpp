// SUPPORTEDSIZES, WINDOWSIZE and PHYSICALWIDTH: the paper sizes that fit
// the sheet (the custom ones among them), the size of the locale, the lists
// cut to the physical height, the access from the cropping mode, the paper
// size following the window sizes and the frames, the window sizes
// following the paper size, the cropping mode and the frames, and the
// physical width of the sheet.
#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbframe.h"
#include "db_crulekit.h"
#include "db_cwindows.h"
#include "os_coslog.h"

namespace {

constexpr long s_lSizeNone = DB_ID_SUPPORTEDSIZES_ENUM_NONE;
constexpr long s_lLongPaper = DB_ID_CROPPINGMODE_ENUM_LONGPAPER;
constexpr int s_iMeasurementMetric = 1;
constexpr int s_iMeasurementUs = 2;
constexpr EDBBIN s_aedbbinCameras[] = {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT,
                                       DB_BIN_COLOR_REAR};

bool IsFrameSide(EDBID a_edbid) {
  return a_edbid == DB_ID_FRAMEHEIGHT || a_edbid == DB_ID_FRAMEWIDTH || a_edbid == DB_ID_FRAMEXOFFSET ||
         a_edbid == DB_ID_FRAMEYOFFSET;
}

bool AllowsBox(CDatabase& a_database, long a_lMode) {
  return a_database.IsCroppingBoxAllow(static_cast<EDBID_CROPPINGMODE>(a_lMode));
}

// The sheet a size must fit; a model that names no maximum bounds nothing
// on that side rather than losing every size.
struct Sheet {
  long lWidth;
  long lHeight;
};

Sheet SheetOfModel() {
  const Sheet sheet = {CRuleKit::SheetMax("sheetwidth"),
                       CRuleKit::SheetMax("sheetheight")};
  if (sheet.lWidth <= 0 || sheet.lHeight <= 0)
    OsLog(OS_LOG_ERROR, "sizes>>> no sheet size, the sizes keep to what is named...%ld %ld", sheet.lWidth,
          sheet.lHeight);
  return sheet;
}

bool Fits(CDatabase& a_database, long a_lSize, const Sheet& a_sheet) {
  const auto edbidsupportedsizes = static_cast<EDBID_SUPPORTEDSIZES>(a_lSize);
  const int64_t i64Width = a_database.Convert1200FromSupportedSizes(edbidsupportedsizes, false, 0, 0, DB_ID_FRAMEWIDTH);
  const int64_t i64Height =
      a_database.Convert1200FromSupportedSizes(edbidsupportedsizes, false, 0, 0, DB_ID_FRAMEHEIGHT);
  return i64Width >= 1 && i64Height >= 1 && (a_sheet.lWidth <= 0 || i64Width <= a_sheet.lWidth) &&
         (a_sheet.lHeight <= 0 || i64Height <= a_sheet.lHeight);
}

// The default list keeps the sizes that fit the sheet (decided for the
// whole list before any leaves it, so that no size escapes the test by
// following one that left) and gains the custom sizes that fit.
void OfferSizesThatFit(CDatabase& a_database, CDbEnum& a_dbenumOwn) {
  const Sheet sheet = SheetOfModel();
  long alGone[CDbEnum::s_lItemSlots];
  long lGone = 0;
  const long lCount = a_dbenumOwn.GetDefaultItemCount();
  for (long l = 0; l < lCount; ++l) {
    const long lSize = a_dbenumOwn.GetDefaultItem(l);
    if (lSize != s_lSizeNone && !Fits(a_database, lSize, sheet)) alGone[lGone++] = lSize;
  }
  for (long l = 0; l < lGone; ++l) a_dbenumOwn.DeleteDefaultItem(alGone[l]);
  a_database.ConvertLoadCustomSupportedSizes();
  for (long lSize = DB_SUPPORTEDSIZES_USER0; lSize <= DB_SUPPORTEDSIZES_USER9; ++lSize) {
    if (Fits(a_database, lSize, sheet)) a_dbenumOwn.AddDefaultItem(lSize);
  }
}

// The steps both size lists take; a window size takes the size of the
// locale even where the list lacks it, the paper size only where it is
// listed.
void SizesFixDefault(CDbEnum& a_dbenumOwn, bool a_blAnyLocaleSize) {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase) return;
  OfferSizesThatFit(*pdatabase, a_dbenumOwn);
  long lSize = 0;
  switch (CRuleKit::Measurement()) {
    case s_iMeasurementMetric:
      lSize = DB_SUPPORTEDSIZES_A4;
      break;
    case s_iMeasurementUs:
      lSize = DB_ID_SUPPORTEDSIZES_ENUM_USLETTER;
      break;
    default:
      break;
  }
  if (lSize != 0 && (a_blAnyLocaleSize || a_dbenumOwn.HasDefaultItem(lSize))) a_dbenumOwn.SetDefaultLong(lSize);
  a_dbenumOwn.FixDefaultReset();
  pdatabase->FixImagePresetFromPhysicalHeightAdjust(&a_dbenumOwn);
}

// The window size of a camera in a window: the window's own, else window
// 0's; the fallback for a camera without one.
long WindowSizeIn(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, long a_lFallback) {
  return CRuleKit::ValueIn(a_edbidwindow, DB_ID_WINDOWSIZE, a_edbbin, a_lFallback);
}

// One paper size for the machine while every window and camera has the
// same window size; none as soon as two differ.
void FollowWindowSizes(CDbEnum& a_dbenumOwn, long a_lSize) {
  const long lWindows = CDbDatum::GetWindowMax();
  for (EDBID_WINDOW edbidwindow = 0; edbidwindow < lWindows; ++edbidwindow) {
    for (EDBBIN edbbin : s_aedbbinCameras) {
      if (WindowSizeIn(edbidwindow, edbbin, a_lSize) != a_lSize) {
        a_dbenumOwn.SetCurrentLong(s_lSizeNone);
        return;
      }
    }
  }
  a_dbenumOwn.SetCurrentLong(a_lSize);
}

// The size a frame of a window and camera has: none while it is turned,
// or when the list does not offer the size it matches.
long SizeOfFrame(CDatabase& a_database, CDbEnum& a_dbenumOwn, EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin) {
  if (CRuleKit::ValueIn(a_edbidwindow, DB_ID_IMAGESKEWANGLE, a_edbbin, 0) != 0) return s_lSizeNone;
  auto side = [&](EDBID a_edbid) { return CRuleKit::ValueIn(a_edbidwindow, a_edbid, a_edbbin, 0); };
  const long lSize = a_database.ConvertWindowSizeFromFrame(side(DB_ID_FRAMEXOFFSET), side(DB_ID_FRAMEYOFFSET),
                                                           side(DB_ID_FRAMEWIDTH), side(DB_ID_FRAMEHEIGHT));
  return a_dbenumOwn.HasCurrentItem(lSize) ? lSize : s_lSizeNone;
}

// A paper size is the window size of the camera in every window in use.
void TakePaperSize(CDbEnum& a_dbenumOwn, long a_lSize) {
  a_dbenumOwn.SetCurrentLong(a_lSize);
  const long lWindows = CDbDatum::GetWindowMax();
  for (EDBID_WINDOW edbidwindow = 1; edbidwindow < lWindows; ++edbidwindow) {
    CDbDatum* pdbdatum = CDbDatum::DbDatumFindQuick(edbidwindow, DB_ID_WINDOWSIZE, a_dbenumOwn.GetBin());
    if (pdbdatum && pdbdatum->GetId() == DB_ID_WINDOWSIZE) pdbdatum->SetCurrentLong(a_lSize);
  }
}

void WindowSizeFollowCropping(CDatabase& a_database, CDbEnum& a_dbenumOwn, const DbRuleModified& a_dbrulemodified) {
  // Long paper: every camera scans the size of the camera that chose it.
  if (!a_dbrulemodified.blOwnCamera && a_dbrulemodified.lNew == s_lLongPaper)
    a_dbenumOwn.SetCurrentLong(WindowSizeIn(a_dbrulemodified.edbidwindow, a_dbrulemodified.edbbin,
                                            a_dbenumOwn.GetCurrentLong()));
  if (!CRuleKit::IsCroppingChangeThatCounts(a_dbrulemodified)) return;
  const bool blOwn = CRuleKit::OffersNoPaper() && AllowsBox(a_database, a_dbrulemodified.lNew);
  a_dbenumOwn.SetAccess(blOwn ? DB_ACCESS_READWRITE : DB_ACCESS_READWRITEDISABLED);
}

}  // namespace

// ---------------------------------------------------------------------------
// SUPPORTEDSIZES
// ---------------------------------------------------------------------------
EOSSTS CSUPPORTEDSIZES::FixDefault() {
  SizesFixDefault(*this, false);
  return OS_STS_SUCCESS;
}

// The box of the current window-bin's camera decides.
EOSSTS CSUPPORTEDSIZES::FixAccess() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase) return OS_STS_SUCCESS;
  const long lMode = CRuleKit::CroppingMode(pdatabase->GetBinFromWindowBin(pdatabase->GetWindowBin()));
  SetAccess(AllowsBox(*pdatabase, lMode) ? DB_ACCESS_READWRITE : DB_ACCESS_READWRITEDISABLED);
  return OS_STS_SUCCESS;
}

EOSSTS CSUPPORTEDSIZES::FixCurrent() {
  DbRuleModified dbrulemodified;
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase || !CRuleKit::GetModified(this, &dbrulemodified)) return OS_STS_SUCCESS;
  switch (dbrulemodified.edbid) {
    case DB_ID_WINDOWBIN:
      return FixAccess();
    case DB_ID_WINDOWSIZE:
      FollowWindowSizes(*this, dbrulemodified.lNew);
      break;
    case DB_ID_PHYSICALHEIGHTADJUST:
      pdatabase->FixImagePresetFromPhysicalHeightAdjust(this);
      break;
    case DB_ID_CROPPINGMODE:
      SetAccess(AllowsBox(*pdatabase, dbrulemodified.lNew) ? DB_ACCESS_READWRITE : DB_ACCESS_READWRITEDISABLED);
      break;
    default:
      if (dbrulemodified.edbid == DB_ID_IMAGESKEWANGLE || IsFrameSide(dbrulemodified.edbid)) {
        const long lSize = pdatabase->ConvertSupportedSizesFromCurrentFrame();
        if (HasCurrentItem(lSize)) SetCurrentLong(lSize);
      }
      break;
  }
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// WINDOWSIZE
// ---------------------------------------------------------------------------
EOSSTS CWINDOWSIZE::FixDefault() {
  SizesFixDefault(*this, true);
  return CDbEnum::FixDefault();
}

EOSSTS CWINDOWSIZE::FixAccess() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase) return OS_STS_SUCCESS;
  const bool blOwn = CRuleKit::OffersNoPaper() && AllowsBox(*pdatabase, CRuleKit::CroppingMode(GetBin()));
  SetAccess(blOwn ? DB_ACCESS_READWRITE : DB_ACCESS_READWRITEDISABLED);
  return OS_STS_SUCCESS;
}

EOSSTS CWINDOWSIZE::FixCurrent() {
  DbRuleModified dbrulemodified;
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase || !CRuleKit::GetModified(this, &dbrulemodified)) return OS_STS_SUCCESS;
  const bool blLongPaperCamera = CRuleKit::CroppingMode(dbrulemodified.edbbin) == s_lLongPaper;
  switch (dbrulemodified.edbid) {
    case DB_ID_CROPPINGMODE:
      WindowSizeFollowCropping(*pdatabase, *this, dbrulemodified);
      break;
    case DB_ID_SUPPORTEDSIZES:
      if (!CRuleKit::IsLoading()) TakePaperSize(*this, dbrulemodified.lNew);
      break;
    case DB_ID_WINDOWSIZE:
      if (!dbrulemodified.blOwnCamera && blLongPaperCamera) SetCurrentLong(dbrulemodified.lNew);
      break;
    case DB_ID_PHYSICALHEIGHTADJUST:
      pdatabase->FixImagePresetFromPhysicalHeightAdjust(this);
      break;
    default:
      if (dbrulemodified.edbid != DB_ID_IMAGESKEWANGLE && !IsFrameSide(dbrulemodified.edbid)) break;
      if (!dbrulemodified.blOwnCamera && !blLongPaperCamera) break;
      SetCurrentLong(SizeOfFrame(*pdatabase, *this, dbrulemodified.edbidwindow, dbrulemodified.edbbin));
      break;
  }
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// PHYSICALWIDTH
// ---------------------------------------------------------------------------
// A model that names no sheet width keeps the resource's width.
EOSSTS CPHYSICALWIDTH::FixDefault() {
  const long lWidth = CRuleKit::SheetMax("sheetwidth");
  if (lWidth > 0) {
    SetDefault(lWidth, lWidth, lWidth, GetDefaultStep());
  } else {
    OsLog(OS_LOG_ERROR, "sizes>>> no sheetwidth, the physical width stays...%ld", GetDefaultLong());
  }
  FixDefaultReset();
  return CDbRange::FixDefault();
}
