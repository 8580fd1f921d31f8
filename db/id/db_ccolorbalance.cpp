// Colour balance, colour brightness and contrast: the access of each from the
// image format and the modes of its camera, as one table, and the modes'
// defaults from the model's lists.
#include "db_ccolorbalance.h"

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_crulekit.h"
#include "os_coslog.h"

namespace {

// An access, or none to keep the one there is.
constexpr long s_lKeep = -1;

bool IsGray(EDBBIN a_edbbin) {
  return CRuleKit::ValueOf(DB_ID_IMAGEFORMAT, a_edbbin, 0) == DB_ID_IMAGEFORMAT_ENUM_GRAY_8;
}

// A mode counts only where it is offered.
long ModeOf(EDBID a_edbid, EDBBIN a_edbbin) { return CRuleKit::ValueOf(a_edbid, a_edbbin, 0); }

long Keep(EDBBIN) { return s_lKeep; }

long Disabled(EDBBIN) { return DB_ACCESS_DISABLED; }

long BalanceMode(EDBBIN a_edbbin) { return IsGray(a_edbbin) ? DB_ACCESS_DISABLED : DB_ACCESS_READWRITE; }

long BalanceColor(EDBBIN a_edbbin) {
  if (IsGray(a_edbbin)) return DB_ACCESS_DISABLED;
  return ModeOf(DB_ID_COLORBALANCEMODE, a_edbbin) == DB_ID_COLORBALANCEMODE_ENUM_MANUAL ? DB_ACCESS_READWRITE
                                                                                        : DB_ACCESS_READWRITEDISABLED;
}

long BalanceAggressiveness(EDBBIN a_edbbin) {
  const bool blAutomatic = ModeOf(DB_ID_COLORBALANCEMODE, a_edbbin) == DB_ID_COLORBALANCEMODE_ENUM_AUTOMATIC;
  return !IsGray(a_edbbin) && blAutomatic ? DB_ACCESS_READWRITE : DB_ACCESS_DISABLED;
}

long ManualBrightness(EDBBIN a_edbbin) {
  return ModeOf(DB_ID_COLORBRIGHTNESSMODE, a_edbbin) == DB_ID_COLORBRIGHTNESSMODE_ENUM_MANUAL
             ? DB_ACCESS_READWRITE
             : DB_ACCESS_READWRITEDISABLED;
}

// Bitonal contrast shapes the halftones that threshold adaptively; the
// halftone of the current window counts.
long HalftoneContrast(EDBBIN a_edbbin) {
  CDatabase* pdatabase = CRuleKit::Database();
  CDbDatum* pdbdatum = pdatabase ? pdatabase->FindInBin(a_edbbin, DB_ID_HALFTONES) : nullptr;
  switch (pdbdatum ? pdbdatum->GetCurrentLong() : 0) {
    case DB_ID_HALFTONES_ENUM_ATP:
    case DB_ID_HALFTONES_ENUM_ITHRESHOLDING:
    case DB_ID_HALFTONES_ENUM_ITHRESHOLDINGWITHQUALITYCHECK:
      return DB_ACCESS_READWRITE;
    default:
      return DB_ACCESS_DISABLED;
  }
}

// One capability of the family: its access on bitonal and on colour
// cameras, the capabilities of its own camera whose change it follows, and
// the line logged for a bin that is no camera.
struct ColorAccessRow {
  EDBID edbid;
  long (*pfnBitonal)(EDBBIN);
  long (*pfnColor)(EDBBIN);
  EDBID aedbidFollows[2];
  const char* szBadBin;
};
constexpr char s_szUnrecognizedBin[] = "Unrecognized edbbin...%d";
constexpr ColorAccessRow s_acoloraccessrow[] = {
    {DB_ID_COLORBALANCEMODE, Keep, BalanceMode, {DB_ID_IMAGEFORMAT, DB_ID_UNDEFINED}, s_szUnrecognizedBin},
    {DB_ID_COLORBALANCERED, Disabled, BalanceColor, {DB_ID_COLORBALANCEMODE, DB_ID_IMAGEFORMAT}, s_szUnrecognizedBin},
    {DB_ID_COLORBALANCEGREEN, Disabled, BalanceColor, {DB_ID_COLORBALANCEMODE, DB_ID_IMAGEFORMAT},
     s_szUnrecognizedBin},
    {DB_ID_COLORBALANCEBLUE, Disabled, BalanceColor, {DB_ID_COLORBALANCEMODE, DB_ID_IMAGEFORMAT}, s_szUnrecognizedBin},
    {DB_ID_COLORBALANCEAUTOMATICAGGRESSIVENESS, Keep, BalanceAggressiveness,
     {DB_ID_COLORBALANCEMODE, DB_ID_IMAGEFORMAT}, s_szUnrecognizedBin},
    {DB_ID_BRIGHTNESS, Keep, ManualBrightness, {DB_ID_COLORBRIGHTNESSMODE, DB_ID_UNDEFINED}, s_szUnrecognizedBin},
    {DB_ID_CONTRAST, HalftoneContrast, ManualBrightness, {DB_ID_COLORBRIGHTNESSMODE, DB_ID_HALFTONES},
     "Unknown bin ...%d"},
};

const ColorAccessRow* RowOf(EDBID a_edbid) {
  for (const ColorAccessRow& coloraccessrow : s_acoloraccessrow) {
    if (coloraccessrow.edbid == a_edbid) return &coloraccessrow;
  }
  return nullptr;  // the catalogue makes these classes for the rows only
}

void ColorFixAccess(CDbDatum& a_dbdatumOwn) {
  const ColorAccessRow* pcoloraccessrow = RowOf(a_dbdatumOwn.GetId());
  if (!pcoloraccessrow) return;
  long lAccess = s_lKeep;
  switch (const EDBBIN edbbin = a_dbdatumOwn.GetBin()) {
    case DB_BIN_BITONAL_FRONT:
    case DB_BIN_BITONAL_REAR:
      lAccess = pcoloraccessrow->pfnBitonal(edbbin);
      break;
    case DB_BIN_COLOR_FRONT:
    case DB_BIN_COLOR_REAR:
      lAccess = pcoloraccessrow->pfnColor(edbbin);
      break;
    default:
      OsLog(OS_LOG_ERROR, pcoloraccessrow->szBadBin, edbbin);
      break;
  }
  if (lAccess != s_lKeep) a_dbdatumOwn.SetAccess(static_cast<EDBACCESS>(lAccess));
}

void ColorFixCurrent(CDbDatum& a_dbdatumOwn) {
  const ColorAccessRow* pcoloraccessrow = RowOf(a_dbdatumOwn.GetId());
  DbRuleModified dbrulemodified;
  if (!pcoloraccessrow || !CRuleKit::GetModified(&a_dbdatumOwn, &dbrulemodified) || !dbrulemodified.blOwnCamera)
    return;
  for (EDBID edbid : pcoloraccessrow->aedbidFollows) {
    if (edbid != DB_ID_UNDEFINED && edbid == dbrulemodified.edbid) {
      ColorFixAccess(a_dbdatumOwn);
      return;
    }
  }
}

// The plain default fix (a camera the model lacks leaves), then the model's
// list of modes, where it gives one; the enumeration's own action lists do
// not apply.
EOSSTS ModeFixDefault(CDbEnum& a_dbenumOwn, const char* a_szKey) {
  a_dbenumOwn.CDbDatum::FixDefault();
  CDatabase* pdatabase = CRuleKit::Database();
  if (pdatabase && a_dbenumOwn.GetAccess() != DB_ACCESS_NOTSUPPORTED &&
      pdatabase->ConfigEnumGetFirst(a_szKey, DB_CONFIGTARGET_COMMON)) {
    pdatabase->FixDefaultEnumFromDbConfig(&a_dbenumOwn, DB_CONFIGTARGET_COMMON, nullptr);
  }
  return OS_STS_SUCCESS;
}

}  // namespace

#define DB_COLOR_ACCESS_RULES(NAME) \
  EOSSTS NAME::FixAccess() {        \
    ColorFixAccess(*this);          \
    return OS_STS_SUCCESS;          \
  }                                 \
  EOSSTS NAME::FixCurrent() {       \
    ColorFixCurrent(*this);         \
    return OS_STS_SUCCESS;          \
  }

DB_COLOR_ACCESS_RULES(CCOLORBALANCEMODE)
DB_COLOR_ACCESS_RULES(CCOLORBALANCERED)
DB_COLOR_ACCESS_RULES(CCOLORBALANCEGREEN)
DB_COLOR_ACCESS_RULES(CCOLORBALANCEBLUE)
DB_COLOR_ACCESS_RULES(CCOLORBALANCEAUTOMATICAGGRESSIVENESS)
DB_COLOR_ACCESS_RULES(CBRIGHTNESS)
DB_COLOR_ACCESS_RULES(CCONTRAST)

#undef DB_COLOR_ACCESS_RULES

EOSSTS CCOLORBALANCEMODE::FixDefault() { return ModeFixDefault(*this, "colorbalancemode"); }

EOSSTS CCOLORBRIGHTNESSMODE::FixDefault() { return ModeFixDefault(*this, "colorbrightnessmode"); }
