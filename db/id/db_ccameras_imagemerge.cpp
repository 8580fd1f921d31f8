// IMAGEMERGE: the merges the model lists, offered while one pair of front
// and rear streams of the same kind scans a two-sided job in window 0 alone,
// and nothing merged for a preview or while merging does not apply.
#include "db_ccameras.h"
#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_crulekit.h"

namespace {

constexpr char s_szKey[] = "imagemerge";
constexpr long s_lNone = DB_ID_IMAGEMERGE_ENUM_NONE;
// The values a configuration may name; one the lookup lacks is skipped.
constexpr long s_lLastListed = 6;
constexpr EDBBIN s_aedbbinCameras[] = {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT,
                                       DB_BIN_COLOR_REAR};

bool IsGray(EDBBIN a_edbbin) {
  return CRuleKit::ValueOf(DB_ID_IMAGEFORMAT, a_edbbin, 0) == DB_ID_IMAGEFORMAT_ENUM_GRAY_8;
}

// Whether the job leaves the front and rear images nothing to merge but one
// pair in window 0.
bool IsOnePairJob() {
  if (CRuleKit::ValueOf(DB_ID_INPUTDOCUMENT, DB_BIN_MACHINE, DB_ID_INPUTDOCUMENT_ENUM_ONESIDEDFRONT) !=
          DB_ID_INPUTDOCUMENT_ENUM_TWOSIDED ||
      CRuleKit::ValueOf(DB_ID_SIDESDIFFERENT, DB_BIN_MACHINE, DB_ID_SIDESDIFFERENT_ENUM_FALSE) ==
          DB_ID_SIDESDIFFERENT_ENUM_TRUE ||
      CRuleKit::ValueOf(DB_ID_PAPERSOURCE, DB_BIN_MACHINE, DB_ID_PAPERSOURCE_ENUM_ADF) ==
          DB_ID_PAPERSOURCE_ENUM_FLATBED) {
    return false;
  }
  const long lWindows = CDbDatum::GetWindowMax();
  for (EDBID_WINDOW edbidwindow = 1; edbidwindow < lWindows; ++edbidwindow) {
    for (EDBBIN edbbin : s_aedbbinCameras) {
      if (CRuleKit::IsCameraOn(edbidwindow, edbbin)) return false;
    }
  }
  const bool blColor = CRuleKit::IsCameraOn(0, DB_BIN_COLOR_FRONT);
  const bool blBitonal = CRuleKit::IsCameraOn(0, DB_BIN_BITONAL_FRONT);
  return blColor == CRuleKit::IsCameraOn(0, DB_BIN_COLOR_REAR) &&
         blBitonal == CRuleKit::IsCameraOn(0, DB_BIN_BITONAL_REAR) &&
         IsGray(DB_BIN_COLOR_FRONT) == IsGray(DB_BIN_COLOR_REAR) && blColor != blBitonal;
}

// Colour detection and patch toggling choose streams page by page: the
// pair is not fixed.
bool IsStreamChosenPerPage() {
  for (EDBBIN edbbin : s_aedbbinCameras) {
    if (CRuleKit::ValueOf(DB_ID_AUTOCOLORCONTENT, edbbin, DB_ID_AUTOCOLORCONTENT_ENUM_NONE) !=
        DB_ID_AUTOCOLORCONTENT_ENUM_NONE)
      return true;
  }
  return CRuleKit::ValueOf(DB_ID_TOGGLEPATCH, DB_BIN_MACHINE, DB_ID_TOGGLEPATCH_ENUM_NONE) !=
         DB_ID_TOGGLEPATCH_ENUM_NONE;
}

}  // namespace

// A model without a rear has nothing to merge; one that names no merge
// keeps the resource's list.
EOSSTS CIMAGEMERGE::FixDefault() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase) return OS_STS_SUCCESS;
  if (!pdatabase->ConfigExists("duplex", DB_CONFIGTARGET_COMMON)) {
    SetAccess(DB_ACCESS_NOTSUPPORTED);
    return OS_STS_SUCCESS;
  }
  if (!pdatabase->ConfigEnumGetFirst(s_szKey, DB_CONFIGTARGET_COMMON)) return OS_STS_SUCCESS;
  pdatabase->BuildOrderedListFromDbConfig(this, s_lNone, s_lLastListed, s_szKey, DB_CONFIGTARGET_COMMON);
  CRuleKit::UnsupportIfEmpty(this);
  return OS_STS_SUCCESS;
}

EOSSTS CIMAGEMERGE::FixAccess() {
  if (GetAccess() == DB_ACCESS_NOTSUPPORTED) return OS_STS_SUCCESS;
  SetAccess(IsOnePairJob() && !IsStreamChosenPerPage() ? DB_ACCESS_READWRITE : DB_ACCESS_READWRITEDISABLED);
  return OS_STS_SUCCESS;
}

EOSSTS CIMAGEMERGE::FixCurrent() {
  DbRuleModified dbrulemodified;
  if (!CRuleKit::GetModified(this, &dbrulemodified)) return OS_STS_SUCCESS;
  switch (dbrulemodified.edbid) {
    case DB_ID_AUTOCOLORCONTENT:
    case DB_ID_CAMERAENABLE:
    case DB_ID_INPUTDOCUMENT:
    case DB_ID_PAPERSOURCE:
    case DB_ID_SIDESDIFFERENT:
    case DB_ID_TOGGLEPATCH:
      return FixAccess();
    default:
      return OS_STS_SUCCESS;
  }
}

void CIMAGEMERGE::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  const bool blMerged = !CRuleKit::IsPreview() && GetAccess() == DB_ACCESS_READWRITE;
  CDbEnum::MakeXml(blMerged ? a_lValue : s_lNone, a_edbdevicedataTarget);
}
