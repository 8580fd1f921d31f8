// IMAGEFORMAT, UNITS and PAGESIZELIMIT: the image formats the model lists,
// one format for a camera in every window, colour for the colour cameras
// while a custom dropout is learnt without one; the measuring units the driver's configuration or
// the locale chooses; and the page-size limit of multifeed detection by
// length, offered with that detection off the flatbed, never below the
// longest frame the settings ask for nor above the physical height.
#include <strings.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_crulekit.h"
#include "db_cwindows.h"

namespace {

constexpr char s_szMultifeedLength[] = "multifeedlength";
constexpr char s_szNoCustomDropout[] = "(none)";
constexpr int s_iMeasurementMetric = 1;

long ToLong(uint64_t a_u64) { return a_u64 > static_cast<uint64_t>(LONG_MAX) ? LONG_MAX : static_cast<long>(a_u64); }

// Every window in use shows the camera's format.
void CopyToWindows(CDbEnum& a_dbenumOwn, long a_lValue) {
  const long lWindows = CDbDatum::GetWindowMax();
  for (EDBID_WINDOW edbidwindow = 1; edbidwindow < lWindows; ++edbidwindow) {
    CDbDatum* pdbdatum = CDbDatum::DbDatumFindQuick(edbidwindow, DB_ID_IMAGEFORMAT, a_dbenumOwn.GetBin());
    if (pdbdatum && pdbdatum->GetId() == DB_ID_IMAGEFORMAT) pdbdatum->SetCurrentLong(a_lValue);
  }
}

// The limit and its minimum rise to the longest frame bottom H the windows
// ask for, within the limit's maximum; without one (H 0) the minimum goes
// back to its default.
void FollowFrameBottom(CDatabase& a_database, CDbRange& a_dbrangeOwn, CDbDatum* a_pdbdatumModified) {
  const long lHeight = a_database.GetHeightMax(a_pdbdatumModified);
  const long lValue = a_dbrangeOwn.GetCurrentLong();
  const long lMax = a_dbrangeOwn.GetMax();
  // A limit pinned to one length keeps no step: the grid is the default's.
  const long lStep = a_dbrangeOwn.GetStep() != 0 ? a_dbrangeOwn.GetStep() : a_dbrangeOwn.GetDefaultStep();
  if (lHeight == 0) {
    if (a_dbrangeOwn.GetMin() != a_dbrangeOwn.GetDefaultMin())
      a_dbrangeOwn.SetCurrent(lValue, a_dbrangeOwn.GetDefaultMin(), lMax, lStep);
  } else if (lHeight != a_dbrangeOwn.GetMin()) {
    if (lHeight > lMax) {
      a_dbrangeOwn.SetCurrent(lMax, lMax, lMax, lStep);
    } else if (lHeight <= lValue) {
      a_dbrangeOwn.SetCurrent(lValue, lHeight, lMax, lStep);
    } else {
      a_dbrangeOwn.SetCurrent(lHeight, lHeight, lMax, lStep);
    }
  }
  // A frame longer than the sheet leaves the limit at its maximum: a value
  // beyond it is no limit the scanner takes.
  if (lHeight > a_dbrangeOwn.GetCurrentLong() && lHeight <= a_dbrangeOwn.GetMax())
    a_dbrangeOwn.SetCurrentLong(lHeight);
}

}  // namespace

// ---------------------------------------------------------------------------
// IMAGEFORMAT
// ---------------------------------------------------------------------------
EOSSTS CIMAGEFORMAT::FixDefault() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase) return OS_STS_SUCCESS;
  const struct {
    const char* szFormat;
    long lValue;
  } aformat[] = {{"bw", DB_ID_IMAGEFORMAT_ENUM_BW}, {"gray_8", DB_ID_IMAGEFORMAT_ENUM_GRAY_8}};
  for (const auto& format : aformat) {
    if (pdatabase->ConfigEnumExists("imageformat", format.szFormat, DB_CONFIGTARGET_COMMON)) continue;
    DeleteDefaultItem(format.lValue);
    FixDefaultReset();
  }
  CopyToWindows(*this, GetCurrentLong());
  return CDbEnum::FixDefault();
}

// A format chosen for a camera in any window is that camera's in every
// window after the first; the other cameras keep theirs, and a list that
// lacks it keeps its own.
EOSSTS CIMAGEFORMAT::FixCurrent() {
  DbRuleModified dbrulemodified;
  if (!CRuleKit::GetModified(this, &dbrulemodified) || dbrulemodified.edbid != DB_ID_IMAGEFORMAT ||
      dbrulemodified.edbbin != GetBin() || !HasCurrentItem(dbrulemodified.lNew))
    return OS_STS_SUCCESS;
  CopyToWindows(*this, dbrulemodified.lNew);
  return OS_STS_SUCCESS;
}

void CIMAGEFORMAT::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  CDatabase* pdatabase = CRuleKit::Database();
  // A bitonal stream stays bitonal: the scanner refuses it in colour.
  const bool blColorCamera = GetBin() == DB_BIN_COLOR_FRONT || GetBin() == DB_BIN_COLOR_REAR;
  bool blColor = false;
  if (pdatabase && blColorCamera && pdatabase->TestDbState(DB_STATE_ECDOCUSTOMLEARN)) {
    const DbEcdoCustomSettings& dbecdocustomsettings = *pdatabase->GetEcdoCustomSettings();
    blColor = std::strncmp(dbecdocustomsettings.szName, s_szNoCustomDropout, sizeof dbecdocustomsettings.szName) == 0;
  }
  CDbEnum::MakeXml(blColor ? long{DB_ID_IMAGEFORMAT_ENUM_RGB_24} : a_lValue, a_edbdevicedataTarget);
}

// ---------------------------------------------------------------------------
// UNITS
// ---------------------------------------------------------------------------
// ForceUnits names the units whatever the locale.
EOSSTS CUNITS::FixDefault() {
  const char* szForced = DevDriverConfigGet(DRV_CFGTAG_FORCEUNITS);
  long lUnits = CRuleKit::Measurement() == s_iMeasurementMetric ? long{DB_ID_UNITS_ENUM_CENTIMETERS}
                                                                 : long{DB_ID_UNITS_ENUM_INCHES};
  if (strcasecmp(szForced, "inches") == 0) {
    lUnits = DB_ID_UNITS_ENUM_INCHES;
  } else if (strcasecmp(szForced, "centimeters") == 0) {
    lUnits = DB_ID_UNITS_ENUM_CENTIMETERS;
  }
  SetDefaultLong(lUnits);
  FixDefaultReset();
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// PAGESIZELIMIT
// ---------------------------------------------------------------------------
EOSSTS CPAGESIZELIMIT::FixAccess() {
  const bool blOffered =
      CRuleKit::ValueOf(DB_ID_PAPERSOURCE, DB_BIN_MACHINE, DB_ID_PAPERSOURCE_ENUM_ADF) != DB_ID_PAPERSOURCE_ENUM_FLATBED &&
      CRuleKit::ValueOf(DB_ID_MULTIFEEDLENGTHENABLED, DB_BIN_MACHINE, DB_ID_MULTIFEEDLENGTHENABLED_ENUM_FALSE) ==
          DB_ID_MULTIFEEDLENGTHENABLED_ENUM_TRUE;
  SetAccess(blOffered ? DB_ACCESS_READWRITE : DB_ACCESS_DISABLED);
  return OS_STS_SUCCESS;
}

// The model's multifeed lengths bound the limit, the physical height its
// maximum.
EOSSTS CPAGESIZELIMIT::FixDefault() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase) return OS_STS_SUCCESS;
  if (!pdatabase->ConfigExists("multifeedlength_rangemax", DB_CONFIGTARGET_COMMON)) {
    SetAccess(DB_ACCESS_NOTSUPPORTED);
    return OS_STS_SUCCESS;
  }
  const long lMin = ToLong(pdatabase->ConfigRangeGetMin(s_szMultifeedLength, DB_CONFIGTARGET_COMMON));
  const long lMax = ToLong(pdatabase->ConfigRangeGetMax(s_szMultifeedLength, DB_CONFIGTARGET_COMMON));
  SetDefault(std::clamp(GetDefaultLong(), std::min(lMin, lMax), lMax), lMin, lMax, GetDefaultStep());
  FixDefaultReset();
  pdatabase->FixRangeFromPhysicalHeightAdjust(this, false);
  return OS_STS_SUCCESS;
}

EOSSTS CPAGESIZELIMIT::FixCurrent() {
  DbRuleModified dbrulemodified;
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase || !CRuleKit::GetModified(this, &dbrulemodified)) return OS_STS_SUCCESS;
  const EDBID edbid = dbrulemodified.edbid;
  if (edbid == DB_ID_PHYSICALHEIGHTADJUST) {
    pdatabase->FixRangeFromPhysicalHeightAdjust(this, false);
  } else if (CRuleKit::IsLoading()) {
    return OS_STS_SUCCESS;
  } else if (edbid == DB_ID_PAGESIZELIMIT) {
    pdatabase->FixRangeFromPhysicalHeightAdjust(this, true);
  } else if (CDatabase::MovesFrameBottom(edbid)) {
    FollowFrameBottom(*pdatabase, *this, dbrulemodified.pdbdatum);
  } else if (edbid == DB_ID_MULTIFEEDLENGTHENABLED || edbid == DB_ID_PAPERSOURCE) {
    return FixAccess();
  }
  return OS_STS_SUCCESS;
}
