// The log type, the power-off timeout and the preview refresh of the scanner.
#include "db_cdevice.h"

#include "db_crulekit.h"

// A single log type leaves nothing to choose.
EOSSTS CLOG::FixAccess() {
  SetAccess(GetCurrentItemCount() < 2 ? DB_ACCESS_READONLY : DB_ACCESS_READWRITE);
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// Power off
// ---------------------------------------------------------------------------
// The timeout counts only while it is switched on, where the scanner lets
// it be switched.
EOSSTS CPOWEROFFTIMEOUT::FixAccess() {
  CDbDatum* pdbdatumEnabled = CRuleKit::Supported(DB_ID_POWEROFFTIMEOUTENABLED, DB_BIN_MACHINE);
  const bool blOff =
      pdbdatumEnabled && pdbdatumEnabled->GetCurrentLong() != DB_ID_POWEROFFTIMEOUTENABLED_ENUM_TRUE;
  SetAccess(blOff ? DB_ACCESS_DISABLED : DB_ACCESS_READWRITE);
  return OS_STS_SUCCESS;
}

EOSSTS CPOWEROFFTIMEOUT::FixCurrent() {
  if (CRuleKit::ModifiedIs(DB_ID_POWEROFFTIMEOUTENABLED)) FixAccess();
  return OS_STS_SUCCESS;
}

EOSSTS CPOWEROFFTIMEOUTENABLED::FixDefault() {
  CRuleKit::UnsupportWithoutKey(this, "powerofftimeoutenabled");
  return OS_STS_SUCCESS;
}

// A switch without a timeout switches nothing.
EOSSTS CPOWEROFFTIMEOUTENABLED::FixAccess() {
  if (GetAccess() == DB_ACCESS_NOTSUPPORTED) return OS_STS_SUCCESS;
  SetAccess(CRuleKit::Supported(DB_ID_POWEROFFTIMEOUT, DB_BIN_MACHINE) ? DB_ACCESS_READWRITE
                                                                      : DB_ACCESS_NOTSUPPORTED);
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// Preview
// ---------------------------------------------------------------------------
EOSSTS CPREVIEWUPDATE::FixDefault() {
  CRuleKit::UnsupportWithoutKey(this, "preview");
  return CDbEnum::FixDefault();
}
