// The four edge-fill sides, one table: the sheet each is measured against,
// whether the physical height caps it, and whether it copies top while all
// sides are on.
#include "db_cedgesides.h"

#include <algorithm>

#include "db_cdatabase.h"
#include "db_crulekit.h"
#include "os_coslog.h"

namespace {

constexpr char s_szSheetWidth[] = "sheetwidth";
constexpr char s_szSheetHeight[] = "sheetheight";

struct EdgeSide {
  EDBID edbid;
  const char* szSheet;
  bool blVertical;    // top or bottom: capped at the physical height
  bool blCopiesTop;   // bottom, left and right: top's value while all sides are on
};
constexpr EdgeSide s_aedgeside[] = {{DB_ID_IMAGEEDGETOP, s_szSheetHeight, true, false},
                                    {DB_ID_IMAGEEDGEBOTTOM, s_szSheetHeight, true, true},
                                    {DB_ID_IMAGEEDGELEFT, s_szSheetWidth, false, true},
                                    {DB_ID_IMAGEEDGERIGHT, s_szSheetWidth, false, true}};

constexpr const EdgeSide& SideOf(EDBID a_edbid) {
  for (const EdgeSide& edgeside : s_aedgeside) {
    if (edgeside.edbid == a_edbid) return edgeside;
  }
  return s_aedgeside[0];
}

bool AllSides(EDBBIN a_edbbin) {
  return CRuleKit::ValueOf(DB_ID_IMAGEEDGEFILLALLSIDES, a_edbbin, DB_ID_IMAGEEDGEFILLALLSIDES_ENUM_FALSE) ==
         DB_ID_IMAGEEDGEFILLALLSIDES_ENUM_TRUE;
}

// ---------------------------------------------------------------------------
// FixDefault
// ---------------------------------------------------------------------------
void SideFixDefault(CDbRange& a_dbrangeOwn, const EdgeSide& a_edgeside) {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase || pdatabase->FixAccessEdgeFill(&a_dbrangeOwn) == DB_ACCESS_NOTSUPPORTED) return;
  const long lMin = a_dbrangeOwn.GetDefaultMin();
  const long lSheet = CRuleKit::ConfigRangeMax(*pdatabase, a_edgeside.szSheet, DB_CONFIGTARGET_COMMON);
  // A sheet below the side's minimum (or none) leaves the earlier bounds.
  if (a_dbrangeOwn.SetDefault(lMin, lMin, lSheet, a_dbrangeOwn.GetDefaultStep()) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "edgefill>>> %s %ld refused as the maximum of %s, the bounds stay...%d", a_edgeside.szSheet,
          lSheet, a_dbrangeOwn.GetName() ? a_dbrangeOwn.GetName() : "???", a_dbrangeOwn.GetBin());
  }
  a_dbrangeOwn.FixDefaultReset();
  if (a_edgeside.blVertical) pdatabase->FixRangeFromPhysicalHeightAdjust(&a_dbrangeOwn, false);
  a_dbrangeOwn.CDbRange::FixDefault();
}

// ---------------------------------------------------------------------------
// FixAccess
// ---------------------------------------------------------------------------
// A side is the user's while the camera fills with white or black; the
// copies of top are shown but not set while all sides are on.
void SideFixAccess(CDbRange& a_dbrangeOwn, const EdgeSide& a_edgeside) {
  const EDBBIN edbbin = a_dbrangeOwn.GetBin();
  const long lFill = CRuleKit::ValueOf(DB_ID_IMAGEEDGEFILL, edbbin, DB_ID_IMAGEEDGEFILL_ENUM_NONE);
  EDBACCESS edbaccess = DB_ACCESS_DISABLED;
  if (lFill == DB_ID_IMAGEEDGEFILL_ENUM_WHITE || lFill == DB_ID_IMAGEEDGEFILL_ENUM_BLACK)
    edbaccess = a_edgeside.blCopiesTop && AllSides(edbbin) ? DB_ACCESS_READWRITEDISABLED : DB_ACCESS_READWRITE;
  a_dbrangeOwn.SetAccess(edbaccess);
}

// ---------------------------------------------------------------------------
// FixCurrent
// ---------------------------------------------------------------------------
void SideFixCurrent(CDbRange& a_dbrangeOwn, const EdgeSide& a_edgeside) {
  const CDbDatum* pdbdatum = CDbDatum::GetModified();
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdbdatum || !pdatabase) return;
  const EDBID edbid = pdbdatum->GetId();
  const bool blOwnCamera = pdbdatum->GetBin() == a_dbrangeOwn.GetBin();
  if (edbid == a_edgeside.edbid) {
    if (blOwnCamera && a_edgeside.blVertical) pdatabase->FixRangeFromPhysicalHeightAdjust(&a_dbrangeOwn, true);
  } else if (edbid == DB_ID_IMAGEEDGEFILL) {
    SideFixAccess(a_dbrangeOwn, a_edgeside);
  } else if (edbid == DB_ID_IMAGEEDGEFILLALLSIDES) {
    if (!a_edgeside.blCopiesTop) {
      SideFixAccess(a_dbrangeOwn, a_edgeside);
    } else if (blOwnCamera) {
      DbRuleModified dbrulemodified;
      if (CRuleKit::GetModified(&a_dbrangeOwn, &dbrulemodified) &&
          dbrulemodified.lNew == DB_ID_IMAGEEDGEFILLALLSIDES_ENUM_TRUE) {
        a_dbrangeOwn.SetCurrentLong(CRuleKit::ValueOf(DB_ID_IMAGEEDGETOP, a_dbrangeOwn.GetBin(),
                                                      a_dbrangeOwn.GetCurrentLong()));
        if (a_edgeside.blVertical) pdatabase->FixRangeFromPhysicalHeightAdjust(&a_dbrangeOwn, true);
      }
      SideFixAccess(a_dbrangeOwn, a_edgeside);
    }
  } else if (edbid == DB_ID_IMAGEEDGETOP) {
    DbRuleModified dbrulemodified;
    if (a_edgeside.blCopiesTop && blOwnCamera && AllSides(a_dbrangeOwn.GetBin()) &&
        CRuleKit::GetModified(&a_dbrangeOwn, &dbrulemodified))
      a_dbrangeOwn.SetCurrentLong(dbrulemodified.lNew);
  } else if (edbid == DB_ID_PHYSICALHEIGHTADJUST) {
    if (a_edgeside.blVertical) pdatabase->FixRangeFromPhysicalHeightAdjust(&a_dbrangeOwn, false);
  }
}

// ---------------------------------------------------------------------------
// MakeXml
// ---------------------------------------------------------------------------
// The sheet of the unit that scans; a unit without a sheet of its own takes
// the common one, so that no side is ever cut to nothing (0: none at all).
long UnitSheet(CDatabase& a_database, const char* a_szSheet) {
  const EDBCONFIGTARGET edbconfigtarget =
      a_database.NeedScanFromFlatbed() ? DB_CONFIGTARGET_FLATBED : DB_CONFIGTARGET_ADF;
  const long lSheet = CRuleKit::ConfigRangeMax(a_database, a_szSheet, edbconfigtarget);
  if (lSheet > 0) return lSheet;
  OsLog(OS_LOG_ERROR, "edgefill>>> no %s of the unit that scans, the common one counts...%d", a_szSheet,
        edbconfigtarget);
  return std::max(CRuleKit::ConfigRangeMax(a_database, a_szSheet, DB_CONFIGTARGET_COMMON), 0L);
}

void SideMakeXml(CDbRange& a_dbrangeOwn, const EdgeSide& a_edgeside, long a_lValue,
                 EDBDEVICEDATA a_edbdevicedataTarget) {
  CDatabase* pdatabase = CRuleKit::Database();
  long lValue = a_lValue;
  if (pdatabase) {
    const long lSheet = UnitSheet(*pdatabase, a_edgeside.szSheet);
    if (lSheet > 0) lValue = std::min(lValue, lSheet);
  }
  a_dbrangeOwn.CDbRange::MakeXml(lValue, a_edbdevicedataTarget);
}

}  // namespace

// ---------------------------------------------------------------------------
// The four classes
// ---------------------------------------------------------------------------
#define DB_EDGE_SIDE_RULES(NAME, ID)                                       \
  EOSSTS NAME::FixDefault() {                                              \
    SideFixDefault(*this, SideOf(ID));                                     \
    return OS_STS_SUCCESS;                                                 \
  }                                                                        \
  EOSSTS NAME::FixAccess() {                                               \
    SideFixAccess(*this, SideOf(ID));                                      \
    return OS_STS_SUCCESS;                                                 \
  }                                                                        \
  EOSSTS NAME::FixCurrent() {                                              \
    SideFixCurrent(*this, SideOf(ID));                                     \
    return OS_STS_SUCCESS;                                                 \
  }                                                                        \
  void NAME::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) { \
    SideMakeXml(*this, SideOf(ID), a_lValue, a_edbdevicedataTarget);       \
  }

DB_EDGE_SIDE_RULES(CIMAGEEDGETOP, DB_ID_IMAGEEDGETOP)
DB_EDGE_SIDE_RULES(CIMAGEEDGEBOTTOM, DB_ID_IMAGEEDGEBOTTOM)
DB_EDGE_SIDE_RULES(CIMAGEEDGELEFT, DB_ID_IMAGEEDGELEFT)
DB_EDGE_SIDE_RULES(CIMAGEEDGERIGHT, DB_ID_IMAGEEDGERIGHT)

#undef DB_EDGE_SIDE_RULES
