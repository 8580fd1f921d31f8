// The magnification calibration values: offered or hidden by the calibration
// types of the unit in use; the flatbed has no rear camera to calibrate.
#include "db_cmagnification.h"

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_crulekit.h"

namespace {

struct MagnificationRow {
  EDBID edbid;
  bool blRear;
};
constexpr MagnificationRow s_amagnificationrow[] = {
    {DB_ID_MAGNIFICATIONFRONTX, false},
    {DB_ID_MAGNIFICATIONFRONTY, false},
    {DB_ID_MAGNIFICATIONREARX, true},
    {DB_ID_MAGNIFICATIONREARY, true},
};

EOSSTS MagnificationAccess(CDbRange& a_dbrangeOwn) {
  CDatabase* pdatabase = CRuleKit::Database();
  for (const MagnificationRow& magnificationrow : s_amagnificationrow) {
    if (!pdatabase || magnificationrow.edbid != a_dbrangeOwn.GetId()) continue;
    pdatabase->SetAccessMetersAndCals(&a_dbrangeOwn, "magnification", false, "calibrationtypeenabled",
                                      "calibrationtype");
    if (magnificationrow.blRear && a_dbrangeOwn.GetAccess() != DB_ACCESS_HIDDEN &&
        CRuleKit::UnitTarget() == DB_CONFIGTARGET_FLATBED)
      a_dbrangeOwn.SetAccess(DB_ACCESS_DISABLED);
  }
  return OS_STS_SUCCESS;
}

}  // namespace

#define DB_MAGNIFICATION_RULES(NAME)                                  \
  EOSSTS NAME::FixAccess() { return MagnificationAccess(*this); }     \
  EOSSTS NAME::FixCurrent() {                                         \
    if (!CRuleKit::ModifiedIs(DB_ID_FIRMWARE)) return OS_STS_SUCCESS; \
    return MagnificationAccess(*this);                                \
  }

DB_MAGNIFICATION_RULES(CMAGNIFICATIONFRONTX)
DB_MAGNIFICATION_RULES(CMAGNIFICATIONFRONTY)
DB_MAGNIFICATION_RULES(CMAGNIFICATIONREARX)
DB_MAGNIFICATION_RULES(CMAGNIFICATIONREARY)

#undef DB_MAGNIFICATION_RULES

EOSSTS CMAGNIFICATIONREARX::FixDefault() {
  CRuleKit::UnsupportWithoutKey(this, "duplex");
  return OS_STS_SUCCESS;
}

EOSSTS CMAGNIFICATIONREARY::FixDefault() {
  CRuleKit::UnsupportWithoutKey(this, "duplex");
  return OS_STS_SUCCESS;
}
