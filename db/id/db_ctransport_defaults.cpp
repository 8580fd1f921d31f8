// The transport family's defaults for the attached model: dual stacking
// only where the model has it, with the length ranges it gives; the sensors
// and their ignore zone only with the ultrasonic sensitivity; and the lists
// of responses, feeder modes and protection levels the model names.
#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbcontainer.h"
#include "db_cdblookup.h"
#include "db_crulekit.h"
#include "db_ctransport_rows.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace transport {
namespace {

constexpr char s_szDualStacking[] = "dualstacking";
constexpr char s_szPaperJam[] = "paperjamresponse";
constexpr char s_szTimeoutResponse[] = "adftimeoutresponse";
constexpr char s_szRangeMin[] = "_rangemin";
constexpr char s_szRangeMax[] = "_rangemax";
// The timeout responses a model may name; values the lookup lacks are
// passed over.
constexpr long s_lFirstTimeoutResponse = 1;
constexpr long s_lLastTimeoutResponse = 4;

bool HasRangeKey(CDatabase& a_database, const char* a_szKey, const char* a_szSuffix) {
  char szKey[64];
  return COsString::SStrPrintf(szKey, sizeof szKey, "%s%s", a_szKey, a_szSuffix) >= 0 &&
         a_database.ConfigExists(szKey, DB_CONFIGTARGET_COMMON);
}

EOSSTS DualStacking(CDatabase& a_database, CDbDatum& a_dbdatumOwn) {
  if (!a_database.ConfigExists(s_szDualStacking, DB_CONFIGTARGET_COMMON))
    a_dbdatumOwn.SetAccess(DB_ACCESS_NOTSUPPORTED);
  return OS_STS_SUCCESS;
}

// The model's range of a length, its minimum the default; bounds the range
// refuses (a minimum above the maximum) leave the earlier ones.
EOSSTS Length(CDatabase& a_database, CDbDatum& a_dbdatumOwn) {
  if (!a_database.ConfigExists(s_szDualStacking, DB_CONFIGTARGET_COMMON)) {
    a_dbdatumOwn.SetAccess(DB_ACCESS_NOTSUPPORTED);
    return OS_STS_SUCCESS;
  }
  CDbRange* pdbrange = dbcontainer::AsRange(&a_dbdatumOwn);
  const char* szKey = a_dbdatumOwn.GetId() == DB_ID_DUALSTACKINGLENGTH1 ? "dualstackinglength1" : "dualstackinglength2";
  if (!pdbrange || !HasRangeKey(a_database, szKey, s_szRangeMax) || !HasRangeKey(a_database, szKey, s_szRangeMin))
    return OS_STS_SUCCESS;
  const long lMin = CRuleKit::ConfigRangeMin(a_database, szKey, DB_CONFIGTARGET_COMMON);
  const long lMax = CRuleKit::ConfigRangeMax(a_database, szKey, DB_CONFIGTARGET_COMMON);
  if (pdbrange->SetDefault(lMin, lMin, lMax, pdbrange->GetDefaultStep()) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "transport>>> %s %ld..%ld refused, the bounds stay...", szKey, lMin, lMax);
    return OS_STS_SUCCESS;
  }
  pdbrange->FixDefaultReset();
  return OS_STS_SUCCESS;
}

EOSSTS Sensor(CDbDatum& a_dbdatumOwn) {
  if (!CRuleKit::Supported(DB_ID_ULTRASONICSENSITIVITY, DB_BIN_MACHINE)) a_dbdatumOwn.SetAccess(DB_ACCESS_NOTSUPPORTED);
  return OS_STS_SUCCESS;
}

// The sensors' own defaults ran before (lower ids).
EOSSTS Zone(CDbDatum& a_dbdatumOwn) {
  bool blOffered = false;
  if (CRuleKit::Supported(DB_ID_ULTRASONICSENSITIVITY, DB_BIN_MACHINE)) {
    for (EDBID edbid : s_aedbidSensors) {
      CDbEnum* pdbenum = dbcontainer::AsEnum(SensorIn(0, edbid));
      blOffered = blOffered || (pdbenum && pdbenum->HasCurrentItem(DB_ID_ULTRASONICSENSORCENTER_ENUM_IGNOREZONE));
    }
  }
  if (!blOffered) {
    a_dbdatumOwn.SetAccess(DB_ACCESS_NOTSUPPORTED);
    return OS_STS_SUCCESS;
  }
  if (CDbRange* pdbrange = dbcontainer::AsRange(&a_dbdatumOwn)) pdbrange->FixDefaultReset();
  return OS_STS_SUCCESS;
}

// The default list kept to what the model names (made current); too few
// left to choose from and the capability is not offered.
bool Configured(CDatabase& a_database, CDbEnum& a_dbenumOwn, long a_lFewest) {
  a_database.FixDefaultEnumFromDbConfig(&a_dbenumOwn, DB_CONFIGTARGET_COMMON, nullptr);
  if (a_dbenumOwn.GetDefaultItemCount() >= a_lFewest) return true;
  a_dbenumOwn.SetAccess(DB_ACCESS_NOTSUPPORTED);
  return false;
}

EOSSTS FeederMode(CDatabase& a_database, CDbEnum& a_dbenumOwn) {
  if (Configured(a_database, a_dbenumOwn, 2) && !a_dbenumOwn.HasDefaultItem(a_dbenumOwn.GetDefaultLong()))
    a_dbenumOwn.SetDefaultLong(DB_ID_FEEDERMODE_ENUM_NORMAL);
  return OS_STS_SUCCESS;
}

// One level only is shown, not chosen.
EOSSTS Protection(CDatabase& a_database, CDbEnum& a_dbenumOwn) {
  if (Configured(a_database, a_dbenumOwn, 1) && a_dbenumOwn.GetDefaultItemCount() == 1)
    a_dbenumOwn.SetAccess(DB_ACCESS_READONLY);
  return a_dbenumOwn.CDbEnum::FixDefault();
}

// The value the list held before stays when the new list holds it.
void Reselect(CDbEnum& a_dbenumOwn, long a_lRemembered) {
  if (a_dbenumOwn.HasCurrentItem(a_lRemembered)) {
    a_dbenumOwn.SetCurrentLong(a_lRemembered);
  } else if (a_dbenumOwn.GetCurrentItemCount() > 0) {
    a_dbenumOwn.SetCurrentLong(a_dbenumOwn.GetCurrentItem(0));
  }
}

// The responses the model names, in its order; names the lookup does not
// know are passed over.
EOSSTS PaperJam(CDatabase& a_database, CDbEnum& a_dbenumOwn) {
  const char* szName = a_database.ConfigEnumGetFirst(s_szPaperJam, DB_CONFIGTARGET_COMMON);
  if (!szName) {
    a_dbenumOwn.SetAccess(DB_ACCESS_NOTSUPPORTED);
    return OS_STS_SUCCESS;
  }
  const long lRemembered = a_dbenumOwn.GetCurrentLong();
  a_dbenumOwn.DeleteAllDefaultItems();
  DbLookup2* pdblookup2 = a_dbenumOwn.GetLookup();
  for (; szName; szName = a_database.ConfigEnumGetNext(s_szPaperJam, szName, DB_CONFIGTARGET_COMMON)) {
    const DbLookupEnum* pdblookupenum = pdblookup2 ? a_database.LookupLexiconEnum(pdblookup2, szName) : nullptr;
    if (pdblookupenum) {
      a_dbenumOwn.AddDefaultItem(pdblookupenum->lValue);
    } else {
      OsLog(OS_LOG_ERROR, "transport>>> %s names what the lookup lacks, skipped...<%s>", s_szPaperJam, szName);
    }
  }
  a_dbenumOwn.FixDefaultReset();
  Reselect(a_dbenumOwn, lRemembered);
  // A scanner that names no response the driver knows offers none.
  if (CRuleKit::UnsupportIfEmpty(&a_dbenumOwn)) return OS_STS_SUCCESS;
  return a_dbenumOwn.CDbEnum::FixDefault();
}

// The responses the model names, in value order, then the one the shared
// profile keeps; without any named, the resource's list.
EOSSTS TimeoutResponse(CDatabase& a_database, CDbEnum& a_dbenumOwn) {
  if (a_database.ConfigEnumGetFirst(s_szTimeoutResponse, DB_CONFIGTARGET_COMMON)) {
    a_database.BuildOrderedListFromDbConfig(&a_dbenumOwn, s_lFirstTimeoutResponse, s_lLastTimeoutResponse,
                                            s_szTimeoutResponse, DB_CONFIGTARGET_COMMON);
    if (CRuleKit::UnsupportIfEmpty(&a_dbenumOwn)) return OS_STS_SUCCESS;
    if (a_database.ProfileUpdateShare(DB_ID_TRANSPORTTIMEOUTRESPONSE) != DB_STS_SUCCESS)
      OsLog(OS_LOG_ERROR, "transport>>> the shared timeout response is not applied...");
  } else if (a_dbenumOwn.GetDefaultItemCount() > 0) {
    a_dbenumOwn.SetAccess(DB_ACCESS_READWRITE);
    if (!a_dbenumOwn.HasCurrentItem(a_dbenumOwn.GetCurrentLong()))
      a_dbenumOwn.SetCurrentLong(a_dbenumOwn.GetCurrentItem(0));
    if (!a_dbenumOwn.HasDefaultItem(a_dbenumOwn.GetDefaultLong()))
      a_dbenumOwn.SetDefaultLong(a_dbenumOwn.GetCurrentItem(0));
  } else {
    a_dbenumOwn.SetAccess(DB_ACCESS_NOTSUPPORTED);
  }
  return a_dbenumOwn.CDbEnum::FixDefault();
}

EOSSTS OfEnum(DefaultKind a_edefault, CDatabase& a_database, CDbEnum& a_dbenumOwn) {
  switch (a_edefault) {
    case DefaultKind::MultifeedResponse:
      Configured(a_database, a_dbenumOwn, 2);
      return OS_STS_SUCCESS;
    case DefaultKind::FeederMode:
      return FeederMode(a_database, a_dbenumOwn);
    case DefaultKind::Protection:
      return Protection(a_database, a_dbenumOwn);
    case DefaultKind::PaperJam:
      return PaperJam(a_database, a_dbenumOwn);
    case DefaultKind::TimeoutResponse:
      return TimeoutResponse(a_database, a_dbenumOwn);
    default:
      return OS_STS_SUCCESS;
  }
}

}  // namespace

EOSSTS FixDefault(DefaultKind a_edefault, CDbDatum& a_dbdatumOwn) {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase) return OS_STS_SUCCESS;
  switch (a_edefault) {
    case DefaultKind::Base:
      return OS_STS_SUCCESS;
    case DefaultKind::DualStacking:
      return DualStacking(*pdatabase, a_dbdatumOwn);
    case DefaultKind::Length:
      return Length(*pdatabase, a_dbdatumOwn);
    case DefaultKind::Sensor:
      return Sensor(a_dbdatumOwn);
    case DefaultKind::Zone:
      return Zone(a_dbdatumOwn);
    case DefaultKind::Sound:
      if (CDbString* pdbstring = dbcontainer::AsString(&a_dbdatumOwn)) return FixDefaultSound(*pdbstring);
      return OS_STS_SUCCESS;
    default:
      break;
  }
  CDbEnum* pdbenum = dbcontainer::AsEnum(&a_dbdatumOwn);
  return pdbenum ? OfEnum(a_edefault, *pdatabase, *pdbenum) : OS_STS_SUCCESS;
}

}  // namespace transport
