// The frame rules, one set for the four sides: the default from the sheet
// and the default paper, the access from the paper sizes and the cropping
// mode, the frame following cropping modes, paper and window sizes and the
// physical height, the check of an offset against the sheet, and the value
// written for the scanner.
#include "db_cframe.h"

#include <algorithm>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbframe.h"
#include "db_crulekit.h"
#include "os_coslog.h"

namespace {

constexpr char s_szSheetWidth[] = "sheetwidth";
constexpr char s_szSheetHeight[] = "sheetheight";
constexpr long s_lSizeNone = DB_ID_SUPPORTEDSIZES_ENUM_NONE;
constexpr long s_lLongPaper = DB_ID_CROPPINGMODE_ENUM_LONGPAPER;

// One row of the family per side.
struct FrameSide {
  EDBID edbid;
  bool blOffset;    // an offset, else a size
  bool blVertical;  // the height or the y offset
};
constexpr FrameSide s_aframeside[] = {{DB_ID_FRAMEWIDTH, false, false},
                                      {DB_ID_FRAMEHEIGHT, false, true},
                                      {DB_ID_FRAMEXOFFSET, true, false},
                                      {DB_ID_FRAMEYOFFSET, true, true}};

const FrameSide& SideOf(const CDbRange& a_dbrangeOwn) {
  for (const FrameSide& frameside : s_aframeside) {
    if (frameside.edbid == a_dbrangeOwn.GetId()) return frameside;
  }
  return s_aframeside[0];  // the catalogue makes these classes for the four sides only
}

// The side's value for a paper size, centred as the cropping mode decides;
// false (logged) for a size that converts to no paper, so that no frame of
// width or height 0 is ever stored.
bool SizeValue(CDatabase& a_database, EDBID a_edbidSide, long a_lSize, long a_lMode, long a_lWidth, long a_lHeight,
               long* a_plValue) {
  if (a_lSize < DB_SUPPORTEDSIZES_NONE || a_lSize > DB_SUPPORTEDSIZES_USER9) {
    OsLog(OS_LOG_ERROR, "frame>>> paper size %ld has no frame, the frame stays...", a_lSize);
    return false;
  }
  const auto edbidsupportedsizes = static_cast<EDBID_SUPPORTEDSIZES>(a_lSize);
  const bool blCentred = a_database.IsCroppingBoxAlignmentCenter(static_cast<EDBID_CROPPINGMODE>(a_lMode));
  const int64_t i64Width = a_database.Convert1200FromSupportedSizes(edbidsupportedsizes, blCentred, a_lWidth,
                                                                    a_lHeight, DB_ID_FRAMEWIDTH);
  const int64_t i64Height = a_database.Convert1200FromSupportedSizes(edbidsupportedsizes, blCentred, a_lWidth,
                                                                     a_lHeight, DB_ID_FRAMEHEIGHT);
  if (i64Width <= 0 || i64Height <= 0) {
    OsLog(OS_LOG_ERROR, "frame>>> paper size %ld has no frame, the frame stays...", a_lSize);
    return false;
  }
  *a_plValue = static_cast<long>(
      a_database.Convert1200FromSupportedSizes(edbidsupportedsizes, blCentred, a_lWidth, a_lHeight, a_edbidSide));
  return true;
}

// S(size, mode) of the rules: with the current physical width and height.
bool SizeValue(CDatabase& a_database, EDBID a_edbidSide, long a_lSize, long a_lMode, long* a_plValue) {
  return SizeValue(a_database, a_edbidSide, a_lSize, a_lMode, CRuleKit::PhysicalWidth(), CRuleKit::PhysicalHeight(),
                   a_plValue);
}

// The datum of the side in a window and camera; null for an empty slot.
CDbDatum* SideIn(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin) {
  CDbDatum* pdbdatum = CDbDatum::DbDatumFindQuick(a_edbidwindow, a_edbid, a_edbbin);
  return pdbdatum && pdbdatum->GetId() == a_edbid ? pdbdatum : nullptr;
}

// ---------------------------------------------------------------------------
// FixDefault
// ---------------------------------------------------------------------------
void FrameFixDefault(CDbRange& a_dbrangeOwn) {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase) return;
  const FrameSide& frameside = SideOf(a_dbrangeOwn);
  const long lSheetWidth = CRuleKit::SheetMax(s_szSheetWidth);
  const long lSheetHeight = CRuleKit::SheetMax(s_szSheetHeight);
  const long lSheet = frameside.blVertical ? lSheetHeight : lSheetWidth;
  if (lSheet <= 0) {
    OsLog(OS_LOG_ERROR, "frame>>> no %s, the frame keeps its bounds...%d",
          frameside.blVertical ? s_szSheetHeight : s_szSheetWidth, a_dbrangeOwn.GetId());
  } else {
    // A refused bound (a sheet below the minimum) leaves the earlier ones.
    const long lMin = a_dbrangeOwn.GetDefaultMin();
    const long lMax = lSheet - (frameside.blOffset ? lMin : 0);
    a_dbrangeOwn.SetDefault(lMax, lMin, lMax, a_dbrangeOwn.GetDefaultStep());
  }
  // The default paper may be larger than the sheet: its value is kept within
  // the bounds.
  long lValue = a_dbrangeOwn.GetDefaultLong();
  if (SizeValue(*pdatabase, frameside.edbid, pdatabase->GetDefaultSupportedSizes(),
                CRuleKit::CroppingMode(a_dbrangeOwn.GetBin()), lSheetWidth, lSheetHeight, &lValue)) {
    lValue = std::min(std::max(lValue, a_dbrangeOwn.GetDefaultMin()), a_dbrangeOwn.GetDefaultMax());
    a_dbrangeOwn.SetDefault(lValue, a_dbrangeOwn.GetDefaultMin(), a_dbrangeOwn.GetDefaultMax(),
                            a_dbrangeOwn.GetDefaultStep());
  }
  a_dbrangeOwn.FixDefaultReset();
  if (frameside.blVertical) pdatabase->FixRangeFromPhysicalHeightAdjust(&a_dbrangeOwn, false);
  const long lWindows = CDbDatum::GetWindowMax();
  for (EDBID_WINDOW edbidwindow = 1; edbidwindow < lWindows; ++edbidwindow) {
    if (CDbDatum* pdbdatum = SideIn(edbidwindow, frameside.edbid, a_dbrangeOwn.GetBin()))
      pdbdatum->SetCurrentLong(a_dbrangeOwn.GetCurrentLong());
  }
  a_dbrangeOwn.CDbRange::FixDefault();
}

// ---------------------------------------------------------------------------
// FixAccess
// ---------------------------------------------------------------------------
// The box is the user's own only where no paper size is chosen and the
// cropping mode places one; long paper holds the y offset at 0.
void FrameFixAccess(CDbRange& a_dbrangeOwn) {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase) return;
  const long lMode = CRuleKit::CroppingMode(a_dbrangeOwn.GetBin());
  bool blOwn = CRuleKit::OffersNoPaper() && pdatabase->IsCroppingBoxAllow(static_cast<EDBID_CROPPINGMODE>(lMode));
  if (SideOf(a_dbrangeOwn).edbid == DB_ID_FRAMEYOFFSET && lMode == s_lLongPaper) blOwn = false;
  a_dbrangeOwn.SetAccess(blOwn ? DB_ACCESS_READWRITE : DB_ACCESS_READWRITEDISABLED);
}

// ---------------------------------------------------------------------------
// FixCurrent
// ---------------------------------------------------------------------------
void FollowCropping(CDatabase& a_database, CDbRange& a_dbrangeOwn, const DbRuleModified& a_dbrulemodified) {
  if (!CRuleKit::IsCroppingChangeThatCounts(a_dbrulemodified)) return;
  const EDBID edbid = a_dbrangeOwn.GetId();
  const long lMode = a_dbrulemodified.lNew;
  if (a_database.IsCroppingBoxAllow(static_cast<EDBID_CROPPINGMODE>(lMode))) {
    a_dbrangeOwn.SetAccess(DB_ACCESS_READWRITE);
    const long lWindowSize = CRuleKit::ValueIn(a_dbrulemodified.edbidwindow, DB_ID_WINDOWSIZE,
                                               a_dbrulemodified.edbbin, s_lSizeNone);
    const long lPaper = CRuleKit::ValueOf(DB_ID_SUPPORTEDSIZES, DB_BIN_MACHINE, s_lSizeNone);
    long lValue = 0;
    if (a_database.IsIdSupported(DB_ID_WINDOWSIZE) && lWindowSize != s_lSizeNone) {
      if (SizeValue(a_database, edbid, lWindowSize, lMode, &lValue)) a_dbrangeOwn.SetCurrentLong(lValue);
    } else if (lPaper == s_lSizeNone) {
      // Long paper: every camera takes the frame of the camera that chose it.
      if (lMode == s_lLongPaper) {
        a_dbrangeOwn.SetCurrentLong(edbid == DB_ID_FRAMEYOFFSET
                                        ? 0
                                        : CRuleKit::ValueIn(a_dbrulemodified.edbidwindow, edbid,
                                                            a_dbrulemodified.edbbin, a_dbrangeOwn.GetCurrentLong()));
      }
    } else if (SizeValue(a_database, edbid, lPaper, lMode, &lValue)) {
      a_dbrangeOwn.SetCurrentLong(lValue);
    }
  } else {
    a_dbrangeOwn.SetAccess(DB_ACCESS_READWRITEDISABLED);
  }
  if (!CRuleKit::OffersNoPaper()) a_dbrangeOwn.SetAccess(DB_ACCESS_READWRITEDISABLED);
}

// A change of the same side: long paper keeps the cameras alike (and the y
// offset at 0); the own camera's height and y offset stay on the sheet.
void FollowSameSide(CDatabase& a_database, CDbRange& a_dbrangeOwn, const DbRuleModified& a_dbrulemodified) {
  const EDBID edbid = a_dbrangeOwn.GetId();
  const bool blLongPaper = CRuleKit::CroppingMode(a_dbrulemodified.edbbin) == s_lLongPaper;
  if (edbid == DB_ID_FRAMEYOFFSET) {
    if (blLongPaper) a_dbrangeOwn.SetCurrentLong(0);
    if (a_dbrulemodified.blOwnCamera) a_database.FixRangeFromPhysicalHeightAdjust(&a_dbrangeOwn, true);
  } else if (edbid == DB_ID_FRAMEHEIGHT && a_dbrulemodified.blOwnCamera) {
    a_database.FixRangeFromPhysicalHeightAdjust(&a_dbrangeOwn, true);
  } else if (!a_dbrulemodified.blOwnCamera && blLongPaper) {
    a_dbrangeOwn.SetCurrentLong(a_dbrulemodified.lNew);
  }
}

// A paper size sets the camera's frame in every window in use.
void FollowPaperSize(CDatabase& a_database, CDbRange& a_dbrangeOwn, const DbRuleModified& a_dbrulemodified) {
  const EDBID edbid = a_dbrangeOwn.GetId();
  const EDBBIN edbbin = a_dbrangeOwn.GetBin();
  long lValue = 0;
  if (!SizeValue(a_database, edbid, a_dbrulemodified.lNew, CRuleKit::CroppingMode(edbbin), &lValue)) return;
  a_dbrangeOwn.SetCurrentLong(lValue);
  const long lWindows = CDbDatum::GetWindowMax();
  for (EDBID_WINDOW edbidwindow = 1; edbidwindow < lWindows; ++edbidwindow) {
    if (CDbDatum* pdbdatum = SideIn(edbidwindow, edbid, edbbin)) pdbdatum->SetCurrentLong(lValue);
  }
}

// A window size of the own camera (or of a long-paper camera) sets the
// window-0 frame, whichever window it was chosen in.
void FollowWindowSize(CDatabase& a_database, CDbRange& a_dbrangeOwn, const DbRuleModified& a_dbrulemodified) {
  if (a_dbrulemodified.lNew == s_lSizeNone) return;
  if (!a_dbrulemodified.blOwnCamera && CRuleKit::CroppingMode(a_dbrulemodified.edbbin) != s_lLongPaper) return;
  long lValue = 0;
  if (SizeValue(a_database, a_dbrangeOwn.GetId(), a_dbrulemodified.lNew, CRuleKit::CroppingMode(a_dbrangeOwn.GetBin()),
                &lValue))
    a_dbrangeOwn.SetCurrentLong(lValue);
}

void FrameFixCurrent(CDbRange& a_dbrangeOwn) {
  CDatabase* pdatabase = CRuleKit::Database();
  DbRuleModified dbrulemodified;
  if (!pdatabase || !CRuleKit::GetModified(&a_dbrangeOwn, &dbrulemodified)) return;
  // The physical height trims the height and the y offset even while a
  // profile loads; nothing else moves the frame then.
  if (dbrulemodified.edbid == DB_ID_PHYSICALHEIGHTADJUST) {
    if (SideOf(a_dbrangeOwn).blVertical) pdatabase->FixRangeFromPhysicalHeightAdjust(&a_dbrangeOwn, false);
    return;
  }
  if (CRuleKit::IsLoading()) return;
  if (dbrulemodified.edbid == a_dbrangeOwn.GetId()) {
    FollowSameSide(*pdatabase, a_dbrangeOwn, dbrulemodified);
    return;
  }
  switch (dbrulemodified.edbid) {
    case DB_ID_CROPPINGMODE:
      FollowCropping(*pdatabase, a_dbrangeOwn, dbrulemodified);
      break;
    case DB_ID_SUPPORTEDSIZES:
      FollowPaperSize(*pdatabase, a_dbrangeOwn, dbrulemodified);
      break;
    case DB_ID_WINDOWSIZE:
      FollowWindowSize(*pdatabase, a_dbrangeOwn, dbrulemodified);
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------------------
// Validate
// ---------------------------------------------------------------------------
// The frame of the window with the proposed offset must lie on the sheet
// when turned by its skew angle.
EOSSTS FrameValidate(CDbRange& a_dbrangeOwn, EDBID_WINDOW a_edbidwindow, long a_lValue) {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase) return DB_EOSSTS_REFUSED;
  if (a_edbidwindow < 0 || a_edbidwindow >= DB_WINDOW_COUNT) {
    OsLog(OS_LOG_ERROR, "frame>>> Bad a_edbidwindow...%d", a_edbidwindow);
    return DB_EOSSTS_REFUSED;
  }
  const EDBBIN edbbin = a_dbrangeOwn.GetBin();
  const EDBID edbid = a_dbrangeOwn.GetId();
  auto side = [&](EDBID a_edbidSide) {
    return a_edbidSide == edbid ? a_lValue : CRuleKit::ValueIn(a_edbidwindow, a_edbidSide, edbbin, 0);
  };
  CDbDatum* pdbdatumWidth = pdatabase->FindDirect(edbbin, DB_ID_FRAMEWIDTH);
  CDbDatum* pdbdatumHeight = pdatabase->FindDirect(edbbin, DB_ID_FRAMEHEIGHT);
  const long lMinWidth = pdbdatumWidth ? pdatabase->RangeGetCurrentMin(pdbdatumWidth) : 0;
  const long lMinHeight = pdbdatumHeight ? pdatabase->RangeGetCurrentMin(pdbdatumHeight) : 0;
  if (!pdatabase->IsValidFrame(side(DB_ID_FRAMEXOFFSET), side(DB_ID_FRAMEYOFFSET), side(DB_ID_FRAMEWIDTH),
                               side(DB_ID_FRAMEHEIGHT), CRuleKit::ValueIn(a_edbidwindow, DB_ID_IMAGESKEWANGLE, edbbin, 0),
                               lMinWidth, lMinHeight, CRuleKit::PhysicalWidth(), CRuleKit::PhysicalHeight())) {
    return DB_EOSSTS_REFUSED;
  }
  return a_dbrangeOwn.CDbRange::Validate(a_edbidwindow, a_lValue);
}

// ---------------------------------------------------------------------------
// MakeXml
// ---------------------------------------------------------------------------
// A preview with a fixed box takes the whole sheet of the unit that scans;
// otherwise the side of the current window, fitted to that sheet.
long FrameValueForDevice(CDatabase& a_database, CDbRange& a_dbrangeOwn, EDBDEVICEDATA a_edbdevicedataTarget) {
  const FrameSide& frameside = SideOf(a_dbrangeOwn);
  const bool blFixedPreview =
      a_edbdevicedataTarget == DB_DEVICEDATA_BOTH && CRuleKit::IsPreview() &&
      a_database.GetCroppingForPreview(static_cast<EDBID_CROPPINGMODE>(
          CRuleKit::CroppingMode(a_dbrangeOwn.GetBin()))) == DB_ID_CROPPINGMODE_ENUM_FIXED;
  if (!blFixedPreview) return a_database.GetAdjustedFrame(&a_dbrangeOwn);
  if (frameside.blOffset) return 0;
  const bool blFlatbed = a_database.NeedScanFromFlatbed();
  if (!frameside.blVertical)
    return CRuleKit::ConfigRangeMax(a_database, s_szSheetWidth, blFlatbed ? DB_CONFIGTARGET_FLATBED : DB_CONFIGTARGET_ADF);
  return blFlatbed ? CRuleKit::ConfigRangeMax(a_database, s_szSheetHeight, DB_CONFIGTARGET_FLATBED) : CRuleKit::PhysicalHeight();
}

void FrameMakeXml(CDbRange& a_dbrangeOwn, long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  CDatabase* pdatabase = CRuleKit::Database();
  const long lValue = pdatabase ? FrameValueForDevice(*pdatabase, a_dbrangeOwn, a_edbdevicedataTarget) : a_lValue;
  a_dbrangeOwn.CDbRange::MakeXml(lValue, a_edbdevicedataTarget);
}

}  // namespace

// ---------------------------------------------------------------------------
// The four classes
// ---------------------------------------------------------------------------
#define DB_FRAME_RULES(NAME)                                                                                \
  EOSSTS NAME::FixAccess() {                                                                                \
    FrameFixAccess(*this);                                                                                  \
    return OS_STS_SUCCESS;                                                                                  \
  }                                                                                                         \
  EOSSTS NAME::FixCurrent() {                                                                               \
    FrameFixCurrent(*this);                                                                                 \
    return OS_STS_SUCCESS;                                                                                  \
  }                                                                                                         \
  EOSSTS NAME::FixDefault() {                                                                               \
    FrameFixDefault(*this);                                                                                 \
    return OS_STS_SUCCESS;                                                                                  \
  }                                                                                                         \
  void NAME::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {                                  \
    FrameMakeXml(*this, a_lValue, a_edbdevicedataTarget);                                                   \
  }

DB_FRAME_RULES(CFRAMEWIDTH)
DB_FRAME_RULES(CFRAMEHEIGHT)
DB_FRAME_RULES(CFRAMEXOFFSET)
DB_FRAME_RULES(CFRAMEYOFFSET)

#undef DB_FRAME_RULES

EOSSTS CFRAMEXOFFSET::Validate(EDBID_WINDOW a_edbidwindow, long a_lValue) {
  return FrameValidate(*this, a_edbidwindow, a_lValue);
}

EOSSTS CFRAMEYOFFSET::Validate(EDBID_WINDOW a_edbidwindow, long a_lValue) {
  return FrameValidate(*this, a_edbidwindow, a_lValue);
}
