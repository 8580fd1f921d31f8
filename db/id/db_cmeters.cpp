// The usage meters: offered (read-write) or hidden by the meter list of the
// unit in use, again whenever the unit changes.
#include "db_cmeters.h"

#include "db_cdatabase.h"
#include "db_crulekit.h"

namespace {

// Each meter's name in the unit's "metertype" list, and whether a flatbed
// without such a list lacks it (the meters of the feeder's transport and
// rear side).
struct MeterRow {
  EDBID edbid;
  const char* szKey;
  bool blFlatbedHides;
};
constexpr MeterRow s_ameterrow[] = {
    {DB_ID_METERFIRSTSCAN, "meterfirstscan", false}, {DB_ID_METERLAMPFRONT, "meterlampfront", false},
    {DB_ID_METERLAMPREAR, "meterlamprear", true},    {DB_ID_METERPAGECOUNT, "meterpagecount", false},
    {DB_ID_METERPOWER, "meterpower", true},          {DB_ID_METERTRANSPORT, "metertransport", true},
};

EOSSTS MeterAccess(CDbDatum& a_dbdatumOwn) {
  CDatabase* pdatabase = CRuleKit::Database();
  for (const MeterRow& meterrow : s_ameterrow) {
    if (pdatabase && meterrow.edbid == a_dbdatumOwn.GetId())
      pdatabase->SetAccessMeters(&a_dbdatumOwn, meterrow.szKey, meterrow.blFlatbedHides);
  }
  return OS_STS_SUCCESS;
}

}  // namespace

#define DB_METER_RULES(NAME)                                          \
  EOSSTS NAME::FixAccess() { return MeterAccess(*this); }             \
  EOSSTS NAME::FixCurrent() {                                         \
    if (!CRuleKit::ModifiedIs(DB_ID_FIRMWARE)) return OS_STS_SUCCESS; \
    return MeterAccess(*this);                                        \
  }

DB_METER_RULES(CMETERFIRSTSCAN)
DB_METER_RULES(CMETERLAMPFRONT)
DB_METER_RULES(CMETERLAMPREAR)
DB_METER_RULES(CMETERPAGECOUNT)
DB_METER_RULES(CMETERPOWER)
DB_METER_RULES(CMETERTRANSPORT)

#undef DB_METER_RULES

EOSSTS CMETERLAMPREAR::FixDefault() {
  CRuleKit::UnsupportWithoutKey(this, "duplex");
  return OS_STS_SUCCESS;
}
