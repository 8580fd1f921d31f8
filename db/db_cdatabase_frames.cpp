// Frames kept on the sheet: a frame side clipped to the sheet of the unit
// that scans, ranges and paper sizes capped at the physical height, and the
// lowest frame bottom the scan windows ask for. Lengths in 1/1200 inch.
#include <algorithm>
#include <climits>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbcontainer.h"
#include "db_cdbdatum.h"
#include "db_cdbframe.h"
#include "os_coslog.h"

using dbcontainer::AsEnum;
using dbcontainer::AsRange;

namespace {

constexpr char s_szSheetWidth[] = "sheetwidth";
constexpr char s_szSheetHeight[] = "sheetheight";
constexpr EDBBIN s_aedbbinCameras[] = {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT,
                                       DB_BIN_COLOR_REAR};

bool Accessible(CDbDatum* a_pdbdatum) { return a_pdbdatum && a_pdbdatum->GetAccess() != DB_ACCESS_NOTSUPPORTED; }

// The value of a window's datum, 0 when it is missing or not supported.
long ValueIn(CDatabase& a_database, EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, EDBID a_edbid) {
  CDbDatum* pdbdatum = a_database.FindInWindowBin(a_edbidwindow, a_edbbin, a_edbid);
  return Accessible(pdbdatum) ? pdbdatum->GetCurrentLong() : 0;
}

long ClampToLong(uint64_t a_u64) {
  return a_u64 > static_cast<uint64_t>(LONG_MAX) ? LONG_MAX : static_cast<long>(a_u64);
}

// The physical height: PHYSICALHEIGHTADJUST, else the model's tallest sheet.
long PhysicalHeight(CDatabase& a_database, bool a_blLoading) {
  CDbDatum* pdbdatum = a_database.Find(DB_ID_PHYSICALHEIGHTADJUST);
  if (pdbdatum && !a_blLoading) return pdbdatum->GetCurrentLong();
  return ClampToLong(a_database.ConfigRangeGetMax(s_szSheetHeight, DB_CONFIGTARGET_COMMON));
}

// The capabilities whose change can move the lowest frame bottom.
enum class EHeight { NONE, FRAMES, SUPPORTEDSIZE, WINDOWSIZE };

EHeight HeightKind(EDBID a_edbid) {
  switch (a_edbid) {
    case DB_ID_AUTOCOLORCONTENT:
    case DB_ID_CAMERAENABLE:
    case DB_ID_CROPPINGMODE:
    case DB_ID_FRAMEHEIGHT:
    case DB_ID_FRAMEYOFFSET:
    case DB_ID_INPUTDOCUMENT:
    case DB_ID_PAGESIZELIMIT:
    case DB_ID_TOGGLEPATCH:
      return EHeight::FRAMES;
    case DB_ID_SUPPORTEDSIZES:
      return EHeight::SUPPORTEDSIZE;
    case DB_ID_WINDOWSIZE:
      return EHeight::WINDOWSIZE;
    default:
      return EHeight::NONE;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// A frame side on the sheet
// ---------------------------------------------------------------------------
// The flatbed raises only a size that was not cut; the feeder raises any
// size below its minimum.
long CDatabase::GetAdjustedFrame(CDbDatum* a_pdbdatum) {
  if (!a_pdbdatum) {
    OsLog(OS_LOG_ERROR, "Bad a_hdbdatum...");
    return 0;
  }
  const EDBBIN edbbin = a_pdbdatum->GetBin();
  // Each windowadd carries the frame of its own window.
  auto side = [this, edbbin](EDBID a_edbid) {
    if (m_edbidwindowOverride < 0) return FindInBin(edbbin, a_edbid);
    CDbDatum* pdbdatum = FindInWindowBin(m_edbidwindowOverride, edbbin, a_edbid);
    return Accessible(pdbdatum) ? pdbdatum : nullptr;
  };
  CDbDatum* pdbdatumWidth = side(DB_ID_FRAMEWIDTH);
  CDbDatum* pdbdatumHeight = side(DB_ID_FRAMEHEIGHT);
  CDbDatum* pdbdatumX = side(DB_ID_FRAMEXOFFSET);
  CDbDatum* pdbdatumY = side(DB_ID_FRAMEYOFFSET);
  if (!pdbdatumWidth || !pdbdatumHeight || !pdbdatumX || !pdbdatumY) {
    OsLog(OS_LOG_ERROR, "Couldn't find all the frame in bin %d", edbbin);
    return a_pdbdatum->GetCurrentLong();
  }
  const bool blFlatbed = NeedScanFromFlatbed();
  const EDBCONFIGTARGET edbconfigtarget = blFlatbed ? DB_CONFIGTARGET_FLATBED : DB_CONFIGTARGET_ADF;
  const long lSheetWidth = ClampToLong(ConfigRangeGetMax(s_szSheetWidth, edbconfigtarget));
  const long lSheetHeight = ClampToLong(ConfigRangeGetMax(s_szSheetHeight, edbconfigtarget));
  const long lX = std::min(pdbdatumX->GetCurrentLong(), lSheetWidth);
  const long lY = std::min(pdbdatumY->GetCurrentLong(), lSheetHeight);
  // One side: cut to the sheet, then raised to the side's own minimum.
  auto fit = [this, blFlatbed](CDbDatum* a_pdbdatumSize, long a_lOffset, long a_lSheet) {
    long lSize = a_pdbdatumSize->GetCurrentLong();
    const bool blCut = a_lOffset + lSize > a_lSheet;
    if (blCut) lSize -= a_lOffset + lSize - a_lSheet;
    const long lMin = RangeGetCurrentMin(a_pdbdatumSize);
    if ((!blFlatbed || !blCut) && lSize < lMin) lSize = lMin;
    return lSize;
  };
  switch (a_pdbdatum->GetId()) {
    case DB_ID_FRAMEHEIGHT:
      return fit(pdbdatumHeight, lY, lSheetHeight);
    case DB_ID_FRAMEWIDTH:
      return fit(pdbdatumWidth, lX, lSheetWidth);
    case DB_ID_FRAMEXOFFSET:
      return lX;
    case DB_ID_FRAMEYOFFSET:
      return lY;
    default:
      OsLog(OS_LOG_ERROR, "Unrecognized edbid %d ", a_pdbdatum->GetId());
      return a_pdbdatum->GetCurrentLong();
  }
}

// ---------------------------------------------------------------------------
// The physical height
// ---------------------------------------------------------------------------
// A frame's y offset and height are cut so that the frame turned by its
// skew angle ends on the sheet; any other range takes the height as its
// maximum.
EDBSTS CDatabase::FixRangeFromPhysicalHeightAdjust(CDbDatum* a_pdbdatum, bool a_blOnlyWhenWithin) {
  if (!a_pdbdatum) {
    OsLog(OS_LOG_ERROR, "a_hdbdatum is NULL");
    return DB_STS_FAIL;
  }
  CDbRange* pdbrange = AsRange(a_pdbdatum);
  if (!pdbrange) {
    OsLog(OS_LOG_ERROR, "a_hdbdatum not a range...%d", a_pdbdatum->GetId());
    return DB_STS_BADARGUMENT;
  }
  long lHeight = PhysicalHeight(*this, CDbDatum::TestDbState(DB_STATE_LOADING));
  if (a_blOnlyWhenWithin && lHeight > pdbrange->GetMax()) return DB_STS_SUCCESS;
  lHeight = std::min(lHeight, pdbrange->GetDefaultMax());
  long lValue = std::min(pdbrange->GetCurrentLong(), lHeight);
  const EDBID edbid = pdbrange->GetId();
  if (edbid == DB_ID_FRAMEYOFFSET || edbid == DB_ID_FRAMEHEIGHT) {
    const EDBID_WINDOW edbidwindow = pdbrange->GetWindow();
    const EDBBIN edbbin = pdbrange->GetBin();
    const long lY = ValueIn(*this, edbidwindow, edbbin, DB_ID_FRAMEYOFFSET);
    const long lFrameHeight = ValueIn(*this, edbidwindow, edbbin, DB_ID_FRAMEHEIGHT);
    const long lExtent = m_pdbframe ? static_cast<long>(m_pdbframe->GetMaxHeight(
                                          ValueIn(*this, edbidwindow, edbbin, DB_ID_FRAMEXOFFSET), lY,
                                          ValueIn(*this, edbidwindow, edbbin, DB_ID_FRAMEWIDTH), lFrameHeight,
                                          ValueIn(*this, edbidwindow, edbbin, DB_ID_IMAGESKEWANGLE)))
                                    : 0;
    if (edbid == DB_ID_FRAMEYOFFSET) {
      lValue = lExtent + lY > lHeight ? std::max(lHeight - lExtent, 0L) : lY;
    } else {
      lValue = lExtent > lHeight ? lFrameHeight - (lExtent - lHeight) : lFrameHeight;
    }
  }
  return static_cast<EDBSTS>(pdbrange->SetCurrent(lValue, pdbrange->GetMin(), lHeight, pdbrange->GetStep()));
}

// The current list keeps, in the default list's order, the sizes no higher
// than the physical height.
void CDatabase::FixImagePresetFromPhysicalHeightAdjust(CDbDatum* a_pdbdatum) {
  if (!a_pdbdatum) {
    OsLog(OS_LOG_ERROR, "a_hdbdatum is NULL");
    return;
  }
  CDbEnum* pdbenum = AsEnum(a_pdbdatum);
  if (!pdbenum) {
    OsLog(OS_LOG_ERROR, "a_hdbdatum is not an enumeration...%d", a_pdbdatum->GetId());
    return;
  }
  const long lHeight = PhysicalHeight(*this, false);
  CDbDatum* pdbdatumWidth = Find(DB_ID_PHYSICALWIDTH);
  const long lWidth = pdbdatumWidth ? pdbdatumWidth->GetCurrentLong() : 0;
  pdbenum->DeleteAllCurrentItems();
  const long lCount = pdbenum->GetDefaultItemCount();
  for (long l = 0; l < lCount; ++l) {
    const long lSize = pdbenum->GetDefaultItem(l);
    if (Convert1200FromSupportedSizes(static_cast<EDBID_SUPPORTEDSIZES>(lSize), false, lWidth, lHeight,
                                      DB_ID_FRAMEHEIGHT) <= lHeight) {
      pdbenum->AddCurrentItem(lSize);
    }
  }
  // An empty list has no first item to take.
  if (pdbenum->GetCurrentItemCount() > 0 && !pdbenum->HasCurrentItem(pdbenum->GetCurrentLong()))
    pdbenum->SetCurrentLong(pdbenum->GetCurrentItem(0));
}

// ---------------------------------------------------------------------------
// The lowest frame bottom
// ---------------------------------------------------------------------------
bool CDatabase::MovesFrameBottom(EDBID a_edbid) { return HeightKind(a_edbid) != EHeight::NONE; }

// Windows are walked whole (0 to the window count); which bins count is
// asked in the current window.
long CDatabase::GetHeightMax(CDbDatum* a_pdbdatum) {
  if (!a_pdbdatum) {
    OsLog(OS_LOG_ERROR, "Bad a_hdbdatum...");
    return 0;
  }
  const EHeight eheight = HeightKind(a_pdbdatum->GetId());
  if (eheight == EHeight::NONE || !Table()) return 0;
  bool ablCropbox[DB_BIN_COUNT] = {};
  for (EDBBIN edbbin : s_aedbbinCameras) ablCropbox[edbbin] = IsDefinedCropbox(edbbin);
  CDbDatum* pdbdatumWidth = Find(DB_ID_PHYSICALWIDTH);
  CDbDatum* pdbdatumHeight = Find(DB_ID_PHYSICALHEIGHTADJUST);
  const long lPhysicalWidth = pdbdatumWidth ? pdbdatumWidth->GetCurrentLong() : 0;
  const long lPhysicalHeight = pdbdatumHeight ? pdbdatumHeight->GetCurrentLong() : 0;
  // Height plus y offset of a paper size (whose y offset is always 0).
  auto sizeBottom = [&](long a_lSize) {
    const auto edbidsupportedsizes = static_cast<EDBID_SUPPORTEDSIZES>(a_lSize);
    return static_cast<long>(
        Convert1200FromSupportedSizes(edbidsupportedsizes, false, lPhysicalWidth, lPhysicalHeight, DB_ID_FRAMEHEIGHT) +
        Convert1200FromSupportedSizes(edbidsupportedsizes, false, lPhysicalWidth, lPhysicalHeight, DB_ID_FRAMEYOFFSET));
  };
  long lMax = 0;
  const long lWindows = GetWindowMax();
  for (EDBID_WINDOW edbidwindow = 0; edbidwindow < lWindows; ++edbidwindow) {
    for (EDBBIN edbbin : s_aedbbinCameras) {
      if (!ablCropbox[edbbin]) continue;
      long lBottom = 0;
      if (eheight == EHeight::FRAMES) {
        CDbDatum* pdbdatumY = FindInWindowBin(edbidwindow, edbbin, DB_ID_FRAMEYOFFSET);
        CDbDatum* pdbdatumFrameHeight = FindInWindowBin(edbidwindow, edbbin, DB_ID_FRAMEHEIGHT);
        if (!Accessible(pdbdatumY) || !Accessible(pdbdatumFrameHeight)) continue;
        lBottom = pdbdatumY->GetCurrentLong() + pdbdatumFrameHeight->GetCurrentLong();
      } else if (eheight == EHeight::SUPPORTEDSIZE) {
        lBottom = sizeBottom(a_pdbdatum->GetCurrentLong());
      } else {
        CDbDatum* pdbdatumSize = FindInWindowBin(edbidwindow, edbbin, DB_ID_WINDOWSIZE);
        if (!Accessible(pdbdatumSize)) continue;
        lBottom = sizeBottom(pdbdatumSize->GetCurrentLong());
      }
      lMax = std::max(lMax, lBottom);
    }
  }
  return lMax;
}
