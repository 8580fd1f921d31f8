// The progress indicators: defaults from the driver's configuration and the
// application, the modes following the indicators and the warm-up display,
// and the warm-up display following the modes chosen.
#include "db_cindicators.h"

#include <cstdlib>
#include <initializer_list>

#include "db_cdatabase.h"
#include "db_cdbcontainer.h"
#include "db_crulekit.h"
#include "os_coscfg.h"
#include "os_cosstring.h"

namespace {

constexpr char s_szAppProtocol[] = "PMX_APPPROTOCOL";
constexpr size_t s_sizetAppProtocol = 32;
// Applications of this protocol and later show the indicators themselves.
constexpr long s_lProtocolIndicators = 203;

// A ForceIndicators... value: 1 on, 2 as the front end and the application
// decide, 3 as the database has it; anything else off.
enum : long { FORCE_ON = 1, FORCE_APPLICATION = 2, FORCE_KEEP = 3, FORCE_WARMUPONLY = 4 };

bool IsSaneTwain() { return CRuleKit::ConfigNumber(OS_CFGSECTION_MAIN, OS_CFGTAG_SANETWAINVERSION) > 0; }

// An item joins the current list only where the default list has it.
void AddOffered(CDbEnum& a_dbenum, std::initializer_list<long> a_illItems) {
  for (long lItem : a_illItems) {
    if (a_dbenum.HasDefaultItem(lItem) && !a_dbenum.HasCurrentItem(lItem)) a_dbenum.AddCurrentItem(lItem);
  }
}

void DeleteItems(CDbEnum& a_dbenum, std::initializer_list<long> a_illItems) {
  for (long lItem : a_illItems) a_dbenum.DeleteCurrentItem(lItem);
}

void ReplaceItems(CDbEnum& a_dbenum, std::initializer_list<long> a_illItems) {
  a_dbenum.DeleteAllCurrentItems();
  for (long lItem : a_illItems) a_dbenum.AddCurrentItem(lItem);
}

}  // namespace

long IndicatorsApplicationProtocol() {
  char szProtocol[s_sizetAppProtocol] = "0";
  if (COsCfg::GetEnv(s_szAppProtocol, "0", sizeof szProtocol, szProtocol) == OS_STS_NOROOM_BUFFER) {
    const char* szValue = std::getenv(s_szAppProtocol);
    COsString::SStrNcpy(szProtocol, sizeof szProtocol, szValue ? szValue : "0", sizeof szProtocol - 1);
  }
  return std::strtol(szProtocol, nullptr, 10);
}

// ---------------------------------------------------------------------------
// The indicators
// ---------------------------------------------------------------------------
EOSSTS CINDICATORS::FixDefault() {
  switch (CRuleKit::DriverConfigNumber(DRV_CFGTAG_FORCEINDICATORS)) {
    case FORCE_ON:
      SetCurrentLong(DB_ID_INDICATORS_ENUM_TRUE);
      break;
    case FORCE_APPLICATION:
      if (IsSaneTwain()) {
        SetCurrentLong(DB_ID_INDICATORS_ENUM_FALSE);
      } else if (IndicatorsApplicationProtocol() >= s_lProtocolIndicators) {
        SetCurrentLong(DB_ID_INDICATORS_ENUM_TRUE);
      }
      break;
    case FORCE_KEEP:
      break;
    default:
      SetCurrentLong(DB_ID_INDICATORS_ENUM_FALSE);
      break;
  }
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// The modes
// ---------------------------------------------------------------------------
EOSSTS CINDICATORSMODE::FixDefault() {
  switch (const long lForce = CRuleKit::DriverConfigNumber(DRV_CFGTAG_FORCEINDICATORSWARMUP)) {
    case FORCE_APPLICATION:
      if (IsSaneTwain()) {
        ReplaceItems(*this, {DB_ID_INDICATORSMODE_ENUM_NONE});
      } else if (IndicatorsApplicationProtocol() < s_lProtocolIndicators) {
        ReplaceItems(*this, {DB_ID_INDICATORSMODE_ENUM_NONE, DB_ID_INDICATORSMODE_ENUM_WARNING,
                        DB_ID_INDICATORSMODE_ENUM_WARMUP});
      }
      break;
    case FORCE_KEEP:
      break;
    default:
      if (lForce == FORCE_ON) {
        AddOffered(*this, {DB_ID_INDICATORSMODE_ENUM_WARNING, DB_ID_INDICATORSMODE_ENUM_WARMUP});
      } else if (lForce == FORCE_WARMUPONLY) {
        AddOffered(*this, {DB_ID_INDICATORSMODE_ENUM_WARMUP});
      } else {
        DeleteItems(*this, {DB_ID_INDICATORSMODE_ENUM_WARNING, DB_ID_INDICATORSMODE_ENUM_WARMUP});
      }
      AddOffered(*this, {DB_ID_INDICATORSMODE_ENUM_NONE});
      break;
  }
  return OS_STS_SUCCESS;
}

// Indicators turned on offer every mode; the warm-up display takes the
// warning and warm-up modes in place of info and error, and gives them back.
EOSSTS CINDICATORSMODE::FixCurrent() {
  CDbDatum* pdbdatumModified = CDbDatum::GetModified();
  if (!pdbdatumModified) return OS_STS_SUCCESS;
  const long lOn = DB_ID_INDICATORS_ENUM_TRUE;
  switch (pdbdatumModified->GetId()) {
    case DB_ID_INDICATORS:
      if (pdbdatumModified->GetCurrentLongNoCallback() == lOn)
        AddOffered(*this, {DB_ID_INDICATORSMODE_ENUM_NONE, DB_ID_INDICATORSMODE_ENUM_INFO,
                           DB_ID_INDICATORSMODE_ENUM_ERROR, DB_ID_INDICATORSMODE_ENUM_WARNING,
                           DB_ID_INDICATORSMODE_ENUM_WARMUP});
      break;
    case DB_ID_INDICATORSWARMUP:
      if (pdbdatumModified->GetCurrentLongNoCallback() == lOn) {
        DeleteItems(*this, {DB_ID_INDICATORSMODE_ENUM_INFO, DB_ID_INDICATORSMODE_ENUM_ERROR});
        AddOffered(*this, {DB_ID_INDICATORSMODE_ENUM_NONE, DB_ID_INDICATORSMODE_ENUM_WARNING,
                           DB_ID_INDICATORSMODE_ENUM_WARMUP});
      } else {
        DeleteItems(*this, {DB_ID_INDICATORSMODE_ENUM_WARNING, DB_ID_INDICATORSMODE_ENUM_WARMUP});
        AddOffered(*this, {DB_ID_INDICATORSMODE_ENUM_NONE, DB_ID_INDICATORSMODE_ENUM_INFO});
      }
      break;
    default:
      break;
  }
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// The warm-up display
// ---------------------------------------------------------------------------
EOSSTS CINDICATORSWARMUP::FixDefault() {
  switch (CRuleKit::DriverConfigNumber(DRV_CFGTAG_FORCEINDICATORSWARMUP)) {
    case FORCE_ON:
      SetCurrentLong(DB_ID_INDICATORSWARMUP_ENUM_TRUE);
      break;
    case FORCE_APPLICATION:
      if (IsSaneTwain()) {
        SetCurrentLong(DB_ID_INDICATORSWARMUP_ENUM_FALSE);
      } else if (IndicatorsApplicationProtocol() < s_lProtocolIndicators) {
        SetCurrentLong(DB_ID_INDICATORSWARMUP_ENUM_TRUE);
      }
      break;
    case FORCE_KEEP:
      break;
    default:
      SetCurrentLong(DB_ID_INDICATORSWARMUP_ENUM_FALSE);
      break;
  }
  return OS_STS_SUCCESS;
}

// Indicators turned off still show the warm-up where the application or
// the configuration asks for it; a choice of modes that is warnings and
// warm-up alone is the warm-up display.
EOSSTS CINDICATORSWARMUP::FixCurrent() {
  CDbDatum* pdbdatumModified = CDbDatum::GetModified();
  if (!pdbdatumModified) return OS_STS_SUCCESS;
  if (pdbdatumModified->GetId() == DB_ID_INDICATORS) {
    if (pdbdatumModified->GetCurrentLongNoCallback() != DB_ID_INDICATORS_ENUM_FALSE) return OS_STS_SUCCESS;
    const bool blKeepWarmup =
        CRuleKit::ConfigNumber(OS_CFGSECTION_MAIN, OS_CFGTAG_APPLICATIONKELVOTONIX) != 0 ||
        CRuleKit::DriverConfigNumber(DRV_CFGTAG_FORCEINDICATORSWARMUPNOFIX) != 0;
    SetCurrentLong(blKeepWarmup ? DB_ID_INDICATORSWARMUP_ENUM_TRUE : DB_ID_INDICATORSWARMUP_ENUM_FALSE);
  } else if (CDbEnum* pdbenumModes = pdbdatumModified->GetId() == DB_ID_INDICATORSMODE
                                         ? dbcontainer::AsEnum(pdbdatumModified)
                                         : nullptr) {
    const bool blWarmup = !pdbenumModes->HasCurrentItem(DB_ID_INDICATORSMODE_ENUM_INFO) &&
                          !pdbenumModes->HasCurrentItem(DB_ID_INDICATORSMODE_ENUM_ERROR) &&
                          pdbenumModes->HasCurrentItem(DB_ID_INDICATORSMODE_ENUM_WARNING) &&
                          pdbenumModes->HasCurrentItem(DB_ID_INDICATORSMODE_ENUM_WARMUP);
    SetCurrentLong(blWarmup ? DB_ID_INDICATORSWARMUP_ENUM_TRUE : DB_ID_INDICATORSWARMUP_ENUM_FALSE);
  }
  return OS_STS_SUCCESS;
}
