// The barcode search region, in 1/1200 inch: its bounds from the sheet and
// the physical height, enabled while reading is on and a part of the
// document is searched, the two colour modes of a side alike, and the
// region fitted to the sheet along each axis (height with the y offset,
// width with the x offset) when a size, an offset or the physical height
// changes.
#include <algorithm>

#include "db_cbarcode.h"
#include "db_cbarcode_kit.h"
#include "db_cdatabase.h"
#include "db_crulekit.h"

using namespace dbbarcode;

namespace {

constexpr char s_szSheetWidth[] = "sheetwidth";
constexpr char s_szSheetHeight[] = "sheetheight";
constexpr char s_szSearchArea[] = "barcodesearcharea";

// One row of the family per side: the other side of its axis.
struct RegionSide {
  EDBID edbid;
  EDBID edbidAxis;  // the offset of a size, the size of an offset
  bool blSize;
  bool blVertical;
};
constexpr RegionSide s_aregionside[] = {
    {DB_ID_BARCODESEARCHREGIONHEIGHT, DB_ID_BARCODESEARCHREGIONOFFSETY, true, true},
    {DB_ID_BARCODESEARCHREGIONOFFSETX, DB_ID_BARCODESEARCHREGIONWIDTH, false, false},
    {DB_ID_BARCODESEARCHREGIONOFFSETY, DB_ID_BARCODESEARCHREGIONHEIGHT, false, true},
    {DB_ID_BARCODESEARCHREGIONWIDTH, DB_ID_BARCODESEARCHREGIONOFFSETX, true, false}};

const RegionSide& SideOf(const CDbRange& a_dbrangeOwn) {
  for (const RegionSide& regionside : s_aregionside) {
    if (regionside.edbid == a_dbrangeOwn.GetId()) return regionside;
  }
  return s_aregionside[0];  // the catalogue makes these classes for the four sides only
}

// The physical height; the sheet's while a profile loads or without one.
long PhysicalHeight(CDatabase& a_database) {
  CDbDatum* pdbdatum = CRuleKit::Supported(DB_ID_PHYSICALHEIGHTADJUST, DB_BIN_MACHINE);
  return pdbdatum && !CRuleKit::IsLoading() ? pdbdatum->GetCurrentLong()
                                            : ConfigMax(a_database, s_szSheetHeight, DB_CONFIGTARGET_COMMON);
}

// The current minimum of another side of the camera; 0 without it.
long MinimumOf(CDatabase& a_database, EDBID a_edbid, EDBBIN a_edbbin) {
  CDbDatum* pdbdatum = CRuleKit::Supported(a_edbid, a_edbbin);
  return pdbdatum ? a_database.RangeGetCurrentMin(pdbdatum) : 0;
}

// ---------------------------------------------------------------------------
// FixDefault
// ---------------------------------------------------------------------------
// A refused bound (a sheet below the minimum) leaves the earlier ones.
void RegionFixDefault(CDbRange& a_dbrangeOwn) {
  CDatabase* pdatabase = Offered(a_dbrangeOwn);
  if (!pdatabase) return;
  if (!ScannerReads(*pdatabase) || !EnumExists(*pdatabase, s_szSearchArea)) {
    a_dbrangeOwn.SetAccess(DB_ACCESS_NOTSUPPORTED);
    a_dbrangeOwn.FixDefaultReset();
    return;
  }
  const long lWidth = ConfigMax(*pdatabase, s_szSheetWidth, DB_CONFIGTARGET_COMMON);
  const long lHeight = ConfigMax(*pdatabase, s_szSheetHeight, DB_CONFIGTARGET_COMMON);
  const long lPhysical = PhysicalHeight(*pdatabase);
  const long lMin = a_dbrangeOwn.GetDefaultMin();
  const long lStep = a_dbrangeOwn.GetDefaultStep();
  const EDBBIN edbbin = a_dbrangeOwn.GetBin();
  switch (a_dbrangeOwn.GetId()) {
    case DB_ID_BARCODESEARCHREGIONHEIGHT:
      a_dbrangeOwn.SetDefault(lHeight, lMin, lHeight, lStep);
      a_dbrangeOwn.SetDefault(lPhysical, a_dbrangeOwn.GetDefaultMin(), a_dbrangeOwn.GetDefaultMax(),
                              a_dbrangeOwn.GetDefaultStep());
      break;
    case DB_ID_BARCODESEARCHREGIONWIDTH:
      // A region may be turned: the width may take the physical height.
      a_dbrangeOwn.SetDefault(std::max(lPhysical, lWidth), lMin, std::max(lHeight, lWidth), lStep);
      break;
    case DB_ID_BARCODESEARCHREGIONOFFSETX:
      a_dbrangeOwn.SetDefault(
          lMin, lMin, std::max(lWidth, lHeight) - MinimumOf(*pdatabase, DB_ID_BARCODESEARCHREGIONWIDTH, edbbin), lStep);
      break;
    default:
      a_dbrangeOwn.SetDefault(lMin, lMin, lHeight - MinimumOf(*pdatabase, DB_ID_BARCODESEARCHREGIONHEIGHT, edbbin),
                              lStep);
      break;
  }
  a_dbrangeOwn.FixDefaultReset();
  a_dbrangeOwn.CDbRange::FixDefault();
}

// ---------------------------------------------------------------------------
// FixAccess
// ---------------------------------------------------------------------------
// The region is the user's while reading is on and a part of the document is
// searched.
void RegionFixAccess(CDbRange& a_dbrangeOwn) {
  const EDBBIN edbbin = a_dbrangeOwn.GetBin();
  const bool blRegion = IsReading(edbbin) && CRuleKit::ValueOf(DB_ID_BARCODESEARCHAREA, edbbin, 0) ==
                                                 DB_ID_BARCODESEARCHAREA_ENUM_PARTIALDOCUMENT;
  a_dbrangeOwn.SetAccess(blRegion ? DB_ACCESS_READWRITE : DB_ACCESS_DISABLED);
}

// ---------------------------------------------------------------------------
// FixCurrent
// ---------------------------------------------------------------------------
// The size of one axis and its offset within the limit L: a size that
// leaves the sheet shrinks; one that would fall below its minimum keeps its
// minimum and moves the offset back, never below the offset's own minimum
// nor below 0 (a limit shorter than the minimum leaves no room at all).
void FitAxis(CDatabase& a_database, CDbRange& a_dbrangeSize, const RegionSide& a_regionside,
             const DbRuleModified& a_dbrulemodified) {
  if (a_regionside.blVertical) a_database.FixRangeFromPhysicalHeightAdjust(&a_dbrangeSize, false);
  long lLimit =
      a_dbrulemodified.edbid == DB_ID_PHYSICALHEIGHTADJUST ? a_dbrulemodified.lNew : PhysicalHeight(a_database);
  if (!a_regionside.blVertical)
    lLimit = std::max(lLimit, ConfigMax(a_database, s_szSheetWidth, DB_CONFIGTARGET_COMMON));
  CDbDatum* pdbdatumOffset = CRuleKit::Supported(a_regionside.edbidAxis, a_dbrangeSize.GetBin());
  const long lOffset = a_dbrulemodified.edbid == a_regionside.edbidAxis ? a_dbrulemodified.lNew
                       : pdbdatumOffset                                 ? pdbdatumOffset->GetCurrentLong()
                                                                        : 0;
  long lSize = a_dbrulemodified.edbid == a_regionside.edbid ? a_dbrulemodified.lNew : a_dbrangeSize.GetCurrentLong();
  // Forced values may lie anywhere: the sum is taken wide.
  if (static_cast<__int128>(lSize) + lOffset > lLimit) {
    lSize = lLimit - lOffset;
    const long lMin = a_dbrangeSize.GetMin();
    if (lSize < lMin) {
      a_dbrangeSize.SetCurrentLong(lMin);
      if (pdbdatumOffset) {
        const long lFloor = std::max(a_database.RangeGetCurrentMin(pdbdatumOffset), 0L);
        pdbdatumOffset->SetCurrentLong(std::max(lLimit - lMin, lFloor));
      }
      return;
    }
  }
  if (lSize != a_dbrangeSize.GetCurrentLong()) a_dbrangeSize.SetCurrentLong(lSize);
}

void RegionFixCurrent(CDatabase& a_database, CDbRange& a_dbrangeOwn) {
  const RegionSide& regionside = SideOf(a_dbrangeOwn);
  DbRuleModified dbrulemodified;
  if (!ModifiedOf(a_dbrangeOwn,
                  {DB_ID_BARCODEENABLE, DB_ID_BARCODESEARCHAREA, regionside.edbid, regionside.edbidAxis,
                   DB_ID_PHYSICALHEIGHTADJUST},
                  &dbrulemodified))
    return;
  // The width stands still while a profile loads; the height still follows
  // the physical height then.
  if (a_dbrangeOwn.GetId() == DB_ID_BARCODESEARCHREGIONWIDTH && CRuleKit::IsLoading()) return;
  if (dbrulemodified.edbid == DB_ID_BARCODEENABLE || dbrulemodified.edbid == DB_ID_BARCODESEARCHAREA) {
    RegionFixAccess(a_dbrangeOwn);
    return;
  }
  if (!regionside.blSize) {
    if (dbrulemodified.edbid == regionside.edbid && dbrulemodified.blPartner)
      a_dbrangeOwn.SetCurrentLong(dbrulemodified.lNew);
    return;
  }
  if (dbrulemodified.edbid == DB_ID_PHYSICALHEIGHTADJUST || dbrulemodified.blOwnCamera || dbrulemodified.blPartner)
    FitAxis(a_database, a_dbrangeOwn, regionside, dbrulemodified);
}

}  // namespace

// ---------------------------------------------------------------------------
// The four classes
// ---------------------------------------------------------------------------
#define DB_BARCODE_REGION_RULES(NAME)                                         \
  EOSSTS NAME::FixAccess() {                                                  \
    if (IsCamera(GetBin())) RegionFixAccess(*this);                           \
    return OS_STS_SUCCESS;                                                    \
  }                                                                           \
  EOSSTS NAME::FixCurrent() {                                                 \
    CDatabase* pdatabase = CRuleKit::Database();                              \
    if (IsCamera(GetBin()) && pdatabase) RegionFixCurrent(*pdatabase, *this); \
    return OS_STS_SUCCESS;                                                    \
  }                                                                           \
  EOSSTS NAME::FixDefault() {                                                 \
    RegionFixDefault(*this);                                                  \
    return OS_STS_SUCCESS;                                                    \
  }

DB_BARCODE_REGION_RULES(CBARCODESEARCHREGIONHEIGHT)
DB_BARCODE_REGION_RULES(CBARCODESEARCHREGIONOFFSETX)
DB_BARCODE_REGION_RULES(CBARCODESEARCHREGIONOFFSETY)
DB_BARCODE_REGION_RULES(CBARCODESEARCHREGIONWIDTH)

#undef DB_BARCODE_REGION_RULES
