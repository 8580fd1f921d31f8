// What the model offers of the image options: the modes it lists, in value
// order; halftone 25 only to an application that asked for it; text
// enhancement only where named; the thin-or-thicken amount within the
// model's own range.
#include "db_cimagemodes.h"

#include <algorithm>

#include "db_cdatabase.h"
#include "db_crulekit.h"
#include "os_coslog.h"

namespace {

constexpr char s_szThinThicken[] = "thinthickenamount";

// The modes from the first through the last that the model lists under the
// key; a model that lists the key but none of them offers no mode at all.
// Without the key the resource's list stands.
void ModeFixDefault(CDbEnum& a_dbenumOwn, const char* a_szKey, long a_lLast) {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase || !pdatabase->ConfigEnumGetFirst(a_szKey, DB_CONFIGTARGET_COMMON)) return;
  pdatabase->BuildOrderedListFromDbConfig(&a_dbenumOwn, 1, a_lLast, a_szKey, DB_CONFIGTARGET_COMMON);
  CRuleKit::UnsupportIfEmpty(&a_dbenumOwn);
}

}  // namespace

EOSSTS CBACKGROUNDADJUSTMODE::FixDefault() {
  ModeFixDefault(*this, "backgroundadjustmode", 5);
  return OS_STS_SUCCESS;
}

EOSSTS CFOREGROUNDBOLDNESSMODE::FixDefault() {
  ModeFixDefault(*this, "foregroundboldnessmode", 4);
  return OS_STS_SUCCESS;
}

// Adaptive thresholding with a quality check is offered to an application
// whose configuration says it supports it.
EOSSTS CHALFTONES::FixDefault() {
  CDatabase* pdatabase = CRuleKit::Database();
  const bool blSupported =
      pdatabase &&
      pdatabase->ConfigEnumExists("app_binarizationmode", "ithresholdingwithqualitycheck", DB_CONFIGTARGET_COMMON) &&
      pdatabase->ConfigEnumExists("app_binarizationmode_action", "support", DB_CONFIGTARGET_COMMON);
  if (!blSupported) {
    DeleteDefaultItem(DB_ID_HALFTONES_ENUM_ITHRESHOLDINGWITHQUALITYCHECK);
    FixDefaultReset();
  }
  return CDbEnum::FixDefault();
}

EOSSTS CTEXTENHANCEMENT::FixDefault() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase || !pdatabase->ConfigExists("textenhancement", DB_CONFIGTARGET_COMMON))
    SetAccess(DB_ACCESS_NOTSUPPORTED);
  return OS_STS_SUCCESS;
}

// The model's range, the default kept within it; a range the model gets
// wrong (its minimum above its maximum) leaves the amount unsupported.
EOSSTS CTHINTHICKENAMOUNT::FixDefault() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase || !pdatabase->ConfigExists("thinthickenamount_rangemax", DB_CONFIGTARGET_COMMON) ||
      !pdatabase->ConfigExists("thinthickenamount_rangemin", DB_CONFIGTARGET_COMMON)) {
    SetAccess(DB_ACCESS_NOTSUPPORTED);
    return OS_STS_SUCCESS;
  }
  const long lMin = CRuleKit::ConfigRangeMin(*pdatabase, s_szThinThicken, DB_CONFIGTARGET_COMMON);
  const long lMax = CRuleKit::ConfigRangeMax(*pdatabase, s_szThinThicken, DB_CONFIGTARGET_COMMON);
  const long lDefault = std::min(std::max(GetDefaultLong(), lMin), lMax);
  if (SetDefault(lDefault, lMin, lMax, GetDefaultStep()) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "rules>>> %s range %ld..%ld refused, not supported...%d", s_szThinThicken, lMin, lMax,
          GetBin());
    SetAccess(DB_ACCESS_NOTSUPPORTED);
    return OS_STS_SUCCESS;
  }
  FixDefaultReset();
  return OS_STS_SUCCESS;
}
