// The image options another setting of their own camera frees: one row per
// capability with the access it takes and the capability whose change it
// follows. A setting read in a camera that does not offer it frees nothing.
#include "db_cimageoptions.h"

#include "db_cdatabase.h"
#include "db_crulekit.h"
#include "os_coscfg.h"
#include "os_coslog.h"

namespace {

// An access, or none to keep the one there is.
constexpr long s_lKeep = -1;

bool IsColor(EDBBIN a_edbbin) { return a_edbbin == DB_BIN_COLOR_FRONT || a_edbbin == DB_BIN_COLOR_REAR; }

EDBACCESS Freed(bool a_blFree) { return a_blFree ? DB_ACCESS_READWRITE : DB_ACCESS_DISABLED; }

// A setting of the camera in window 0, or in the current window; 0 where the
// camera does not offer it.
long InWindow0(EDBID a_edbid, EDBBIN a_edbbin) { return CRuleKit::ValueOf(a_edbid, a_edbbin, 0); }

long InCurrentWindow(EDBID a_edbid, EDBBIN a_edbbin) {
  CDatabase* pdatabase = CRuleKit::Database();
  CDbDatum* pdbdatum = pdatabase ? pdatabase->FindInBin(a_edbbin, a_edbid) : nullptr;
  return pdbdatum ? pdbdatum->GetCurrentLong() : 0;
}

// The halftones that threshold adaptively, and those that binarize at all.
bool IsThresholding(long a_lHalftone) {
  return a_lHalftone == DB_ID_HALFTONES_ENUM_ATP || a_lHalftone == DB_ID_HALFTONES_ENUM_ITHRESHOLDING ||
         a_lHalftone == DB_ID_HALFTONES_ENUM_ITHRESHOLDINGWITHQUALITYCHECK;
}

bool IsBinarizing(long a_lHalftone) { return IsThresholding(a_lHalftone) || a_lHalftone == DB_ID_HALFTONES_ENUM_FIXED; }

// ---------------------------------------------------------------------------
// The access of each option
// ---------------------------------------------------------------------------
// Background adjustment and foreground boldness work on colour images: the
// bitonal cameras keep what they have.
long AdjustAggressiveness(EDBBIN a_edbbin) {
  if (!IsColor(a_edbbin)) return s_lKeep;
  const long lMode = InWindow0(DB_ID_BACKGROUNDADJUSTMODE, a_edbbin);
  return Freed(lMode == DB_ID_BACKGROUNDADJUSTMODE_ENUM_AUTOMATIC ||
               lMode == DB_ID_BACKGROUNDADJUSTMODE_ENUM_CHANGETOWHITE);
}

long AdjustApplyTo(EDBBIN a_edbbin) {
  if (!IsColor(a_edbbin)) return s_lKeep;
  return Freed(InCurrentWindow(DB_ID_BACKGROUNDADJUSTMODE, a_edbbin) == DB_ID_BACKGROUNDADJUSTMODE_ENUM_CHANGETOWHITE);
}

long BoldnessAggressiveness(EDBBIN a_edbbin) {
  if (!IsColor(a_edbbin)) return s_lKeep;
  return Freed(InWindow0(DB_ID_FOREGROUNDBOLDNESSMODE, a_edbbin) == DB_ID_FOREGROUNDBOLDNESSMODE_ENUM_AUTOMATIC);
}

// A fixed threshold is the user's under atp and fixed binarization; a bridge
// to another TWAIN source sets it itself otherwise.
long Threshold(EDBBIN a_edbbin) {
  if (IsColor(a_edbbin)) return DB_ACCESS_DISABLED;
  const long lHalftone = InCurrentWindow(DB_ID_HALFTONES, a_edbbin);
  if (lHalftone == DB_ID_HALFTONES_ENUM_ATP || lHalftone == DB_ID_HALFTONES_ENUM_FIXED) return DB_ACCESS_READWRITE;
  if (CRuleKit::ConfigNumber(OS_CFGSECTION_MAIN, OS_CFGTAG_APPLICATIONTWAINBRIDGE) != 0) return s_lKeep;
  return DB_ACCESS_DISABLED;
}

long ImageFilter(EDBBIN a_edbbin) { return Freed(IsBinarizing(InCurrentWindow(DB_ID_HALFTONES, a_edbbin))); }

long Binarizing(EDBBIN a_edbbin) { return Freed(IsBinarizing(InWindow0(DB_ID_HALFTONES, a_edbbin))); }

long Thresholding(EDBBIN a_edbbin) { return Freed(IsThresholding(InWindow0(DB_ID_HALFTONES, a_edbbin))); }

long StreakAggressiveness(EDBBIN a_edbbin) {
  return Freed(InCurrentWindow(DB_ID_STREAKREMOVALENABLED, a_edbbin) == DB_ID_STREAKREMOVALENABLED_ENUM_TRUE);
}

// One option: its access, and the setting of its own camera whose change
// recomputes it (none: only the database's access pass does).
struct OptionRow {
  EDBID edbid;
  long (*pfnAccess)(EDBBIN);
  EDBID edbidFollows;
};
constexpr OptionRow s_aoptionrow[] = {
    {DB_ID_BACKGROUNDADJUSTAGGRESSIVENESS, AdjustAggressiveness, DB_ID_BACKGROUNDADJUSTMODE},
    {DB_ID_BACKGROUNDADJUSTAPPLYTO, AdjustApplyTo, DB_ID_BACKGROUNDADJUSTMODE},
    {DB_ID_FOREGROUNDBOLDNESSAGGRESSIVENESS, BoldnessAggressiveness, DB_ID_FOREGROUNDBOLDNESSMODE},
    {DB_ID_THRESHOLD, Threshold, DB_ID_HALFTONES},
    {DB_ID_IMAGEFILTER, ImageFilter, DB_ID_HALFTONES},
    {DB_ID_NOISEFILTER, Binarizing, DB_ID_HALFTONES},
    {DB_ID_FILTERTHRESHOLD, Binarizing, DB_ID_UNDEFINED},
    {DB_ID_FILTERPROCESSING, Thresholding, DB_ID_UNDEFINED},
    {DB_ID_FILTERBACKGROUND, Binarizing, DB_ID_UNDEFINED},
    {DB_ID_STREAKREMOVALAGGRESSIVENESS, StreakAggressiveness, DB_ID_STREAKREMOVALENABLED},
};

constexpr const OptionRow& RowOf(EDBID a_edbid) {
  for (const OptionRow& optionrow : s_aoptionrow) {
    if (optionrow.edbid == a_edbid) return optionrow;
  }
  return s_aoptionrow[0];
}

void OptionFixAccess(CDbDatum& a_dbdatumOwn, const OptionRow& a_optionrow) {
  const long lAccess = a_optionrow.pfnAccess(a_dbdatumOwn.GetBin());
  if (lAccess != s_lKeep) a_dbdatumOwn.SetAccess(static_cast<EDBACCESS>(lAccess));
}

void OptionFixCurrent(CDbDatum& a_dbdatumOwn, const OptionRow& a_optionrow) {
  const CDbDatum* pdbdatum = CDbDatum::GetModified();
  if (pdbdatum && pdbdatum->GetId() == a_optionrow.edbidFollows && pdbdatum->GetBin() == a_dbdatumOwn.GetBin())
    OptionFixAccess(a_dbdatumOwn, a_optionrow);
}

}  // namespace

#define DB_OPTION_ACCESS(NAME, ID)           \
  EOSSTS NAME::FixAccess() {                 \
    OptionFixAccess(*this, RowOf(ID));       \
    return OS_STS_SUCCESS;                   \
  }
#define DB_OPTION_ACCESS_RULES(NAME, ID)     \
  DB_OPTION_ACCESS(NAME, ID)                 \
  EOSSTS NAME::FixCurrent() {                \
    OptionFixCurrent(*this, RowOf(ID));      \
    return OS_STS_SUCCESS;                   \
  }

DB_OPTION_ACCESS_RULES(CBACKGROUNDADJUSTAGGRESSIVENESS, DB_ID_BACKGROUNDADJUSTAGGRESSIVENESS)
DB_OPTION_ACCESS_RULES(CBACKGROUNDADJUSTAPPLYTO, DB_ID_BACKGROUNDADJUSTAPPLYTO)
DB_OPTION_ACCESS_RULES(CFOREGROUNDBOLDNESSAGGRESSIVENESS, DB_ID_FOREGROUNDBOLDNESSAGGRESSIVENESS)
DB_OPTION_ACCESS_RULES(CTHRESHOLD, DB_ID_THRESHOLD)
DB_OPTION_ACCESS_RULES(CIMAGEFILTER, DB_ID_IMAGEFILTER)
DB_OPTION_ACCESS_RULES(CNOISEFILTER, DB_ID_NOISEFILTER)
DB_OPTION_ACCESS_RULES(CSTREAKREMOVALAGGRESSIVENESS, DB_ID_STREAKREMOVALAGGRESSIVENESS)
DB_OPTION_ACCESS(CFILTERTHRESHOLD, DB_ID_FILTERTHRESHOLD)
DB_OPTION_ACCESS(CFILTERPROCESSING, DB_ID_FILTERPROCESSING)
DB_OPTION_ACCESS(CFILTERBACKGROUND, DB_ID_FILTERBACKGROUND)

#undef DB_OPTION_ACCESS_RULES
#undef DB_OPTION_ACCESS

// ---------------------------------------------------------------------------
// The dropout filters in a pass
// ---------------------------------------------------------------------------
// The processing mode is one for the two bitonal cameras.
EOSSTS CFILTERPROCESSING::FixCurrent() {
  const EDBBIN edbbin = GetBin();
  const CDbDatum* pdbdatum = CDbDatum::GetModified();
  if (!pdbdatum || pdbdatum->GetId() != DB_ID_FILTERPROCESSING ||
      (edbbin != DB_BIN_BITONAL_FRONT && edbbin != DB_BIN_BITONAL_REAR) ||
      pdbdatum->GetBin() != CDbDatum::GetBinOtherSide(edbbin))
    return OS_STS_SUCCESS;
  DbRuleModified dbrulemodified;
  if (CRuleKit::GetModified(this, &dbrulemodified)) SetCurrentLong(dbrulemodified.lNew);
  OptionFixAccess(*this, RowOf(DB_ID_FILTERPROCESSING));
  return OS_STS_SUCCESS;
}

// The dropout background is the bitonal cameras' always, and a colour
// camera's while it sends grey.
EOSSTS CFILTERBACKGROUND::FixCurrent() {
  const CDbDatum* pdbdatum = CDbDatum::GetModified();
  if (!pdbdatum || pdbdatum == this) return OS_STS_SUCCESS;
  const EDBID edbid = pdbdatum->GetId();
  const bool blOwnCamera = pdbdatum->GetBin() == GetBin();
  if (edbid != DB_ID_FILTERBACKGROUND &&
      !((edbid == DB_ID_HALFTONES || edbid == DB_ID_IMAGEFORMAT) && blOwnCamera))
    return OS_STS_SUCCESS;
  switch (const EDBBIN edbbin = GetBin()) {
    case DB_BIN_BITONAL_FRONT:
    case DB_BIN_BITONAL_REAR:
      SetAccess(DB_ACCESS_READWRITE);
      break;
    case DB_BIN_COLOR_FRONT:
    case DB_BIN_COLOR_REAR:
      SetAccess(Freed(InWindow0(DB_ID_IMAGEFORMAT, edbbin) == DB_ID_IMAGEFORMAT_ENUM_GRAY_8));
      break;
    default:
      OsLog(OS_LOG_ERROR, "Unrecognized edbbin...%d", edbbin);
      break;
  }
  return OS_STS_SUCCESS;
}
