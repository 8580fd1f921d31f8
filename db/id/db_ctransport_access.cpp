// The transport family's access: what each class offers given dual
// stacking, the paper source, multifeed detection, the sensors, the feeder
// timeout and the counts on the flatbed; and the check that keeps one
// ultrasonic sensor on. A capability that is missing reads as its fallback:
// the feeder for the paper source, off for a switch, 0 for a count.
#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbcontainer.h"
#include "db_ctransport_rows.h"
#include "os_coscfg.h"
#include "os_coscfgtags.h"
#include "os_coslog.h"

namespace transport {
namespace {

constexpr long s_lOff = 1;
constexpr long s_lOn = 2;
constexpr long s_lSensorOff = DB_ID_ULTRASONICSENSORCENTER_ENUM_FALSE;
constexpr long s_lIgnoreZone = DB_ID_ULTRASONICSENSORCENTER_ENUM_IGNOREZONE;

bool IsOn(EDBID a_edbid) { return CRuleKit::ValueOf(a_edbid, DB_BIN_MACHINE, s_lOff) == s_lOn; }

bool IsFlatbed() {
  return CRuleKit::ValueOf(DB_ID_PAPERSOURCE, DB_BIN_MACHINE, DB_ID_PAPERSOURCE_ENUM_ADF) ==
         DB_ID_PAPERSOURCE_ENUM_FLATBED;
}

EDBACCESS Offered(bool a_blOffered) { return a_blOffered ? DB_ACCESS_READWRITE : DB_ACCESS_DISABLED; }

EDBACCESS DualStacking() { return Offered(IsOn(DB_ID_DUALSTACKINGENABLED)); }

long LengthMode() {
  return CRuleKit::ValueOf(DB_ID_DUALSTACKINGLENGTHMODE, DB_BIN_MACHINE, DB_ID_DUALSTACKINGLENGTHMODE_ENUM_NONE);
}

// The sensors answer only while the sensitivity is supported and not none.
bool AreSensorsOn() {
  CDbDatum* pdbdatum = CRuleKit::Supported(DB_ID_ULTRASONICSENSITIVITY, DB_BIN_MACHINE);
  return pdbdatum && pdbdatum->GetCurrentLong() != DB_ID_ULTRASONICSENSITIVITY_ENUM_NONE;
}

EDBACCESS Zone() {
  CDbDatum* pdbdatumSensitivity = CRuleKit::Supported(DB_ID_ULTRASONICSENSITIVITY, DB_BIN_MACHINE);
  if (pdbdatumSensitivity && pdbdatumSensitivity->GetCurrentLong() == DB_ID_ULTRASONICSENSITIVITY_ENUM_NONE)
    return DB_ACCESS_DISABLED;
  for (EDBID edbid : s_aedbidSensors) {
    CDbDatum* pdbdatum = SensorIn(0, edbid);
    if (pdbdatum && pdbdatum->GetCurrentLong() == s_lIgnoreZone) return DB_ACCESS_READWRITE;
  }
  return DB_ACCESS_DISABLED;
}

// On the flatbed one sheet or image at most, unless the driver's
// configuration allows the platen to repeat.
EDBACCESS Count(CDbDatum& a_dbdatumOwn, EDBACCESS a_edbaccessRefused) {
  if (!IsFlatbed()) return DB_ACCESS_READWRITE;
  const long lCount = a_dbdatumOwn.GetCurrentLong();
  if (lCount == 0 || lCount == 1) return DB_ACCESS_READWRITE;
  if (lCount > 1 && CRuleKit::ConfigNumber(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEREPEATPLATEN) != 0)
    return DB_ACCESS_READWRITE;
  return a_edbaccessRefused;
}

EDBACCESS PaperJam() {
  CDatabase* pdatabase = CRuleKit::Database();
  return Offered(pdatabase && pdatabase->ConfigEnumGetFirst("paperjamresponse", DB_CONFIGTARGET_COMMON));
}

// Unchanged while not supported; hidden on the flatbed or with nothing to
// choose.
void Protection(CDbDatum& a_dbdatumOwn) {
  CDbEnum* pdbenum = dbcontainer::AsEnum(&a_dbdatumOwn);
  if (!pdbenum || pdbenum->GetAccess() == DB_ACCESS_NOTSUPPORTED) return;
  pdbenum->SetAccess(pdbenum->GetCurrentItemCount() > 0 && !IsFlatbed() ? DB_ACCESS_READWRITE : DB_ACCESS_HIDDEN);
}

EDBACCESS AccessOf(AccessKind a_eaccess, CDbDatum& a_dbdatumOwn) {
  switch (a_eaccess) {
    case AccessKind::DualStacking:
      return DualStacking();
    case AccessKind::Length1:
      return LengthMode() != DB_ID_DUALSTACKINGLENGTHMODE_ENUM_NONE ? DualStacking() : DB_ACCESS_DISABLED;
    case AccessKind::Length2:
      return LengthMode() == DB_ID_DUALSTACKINGLENGTHMODE_ENUM_BETWEEN ? DualStacking() : DB_ACCESS_HIDDEN;
    case AccessKind::OffOnFlatbed:
      return Offered(!IsFlatbed());
    case AccessKind::Sensor:
      return Offered(AreSensorsOn());
    case AccessKind::Zone:
      return Zone();
    case AccessKind::Multifeed:
      return Offered(IsMultifeedDetectionOn() && !IsFlatbed());
    case AccessKind::Sound:
      return Offered(IsMultifeedDetectionOn() && !IsFlatbed() && IsOn(DB_ID_MULTIFEEDSOUNDENABLED));
    case AccessKind::Sheets:
      return Count(a_dbdatumOwn, DB_ACCESS_DISABLED);
    case AccessKind::Images:
      return Count(a_dbdatumOwn, DB_ACCESS_READWRITEDISABLED);
    case AccessKind::Timeout:
      return Offered(IsOn(DB_ID_ADFTIMEOUTENABLED));
    case AccessKind::PaperJam:
      return PaperJam();
    case AccessKind::Base:
    case AccessKind::Protection:
      break;
  }
  return a_dbdatumOwn.GetAccess();
}

}  // namespace

CDbDatum* SensorIn(EDBID_WINDOW a_edbidwindow, EDBID a_edbid) {
  if (!CDbDatum::ms_pdatumcommon || a_edbidwindow < 0 || a_edbidwindow >= DB_WINDOW_COUNT) return nullptr;
  CDbDatum* pdbdatum = CDbDatum::ms_pdatumcommon->apdbdatum[a_edbidwindow][a_edbid][DB_BIN_MACHINE];
  return pdbdatum && pdbdatum->GetAccess() != DB_ACCESS_NOTSUPPORTED ? pdbdatum : nullptr;
}

bool IsMultifeedDetectionOn() { return AreSensorsOn() || IsOn(DB_ID_MULTIFEEDLENGTHENABLED); }

void FixAccess(AccessKind a_eaccess, CDbDatum& a_dbdatumOwn) {
  if (a_eaccess == AccessKind::Base) return;
  if (a_eaccess == AccessKind::Protection) {
    Protection(a_dbdatumOwn);
    return;
  }
  a_dbdatumOwn.SetAccess(AccessOf(a_eaccess, a_dbdatumOwn));
}

// Turning a sensor off is refused when no other sensor of the window would
// be left on (or on the ignore zone).
EOSSTS ValidateSensor(CDbEnum& a_dbenumOwn, EDBID_WINDOW a_edbidwindow, long a_lValue) {
  const EOSSTS eossts = a_dbenumOwn.CDbEnum::Validate(a_edbidwindow, a_lValue);
  if (eossts != OS_STS_SUCCESS || a_lValue != s_lSensorOff) return eossts;
  for (EDBID edbid : s_aedbidSensors) {
    if (edbid == a_dbenumOwn.GetId()) continue;
    CDbDatum* pdbdatum = SensorIn(a_edbidwindow, edbid);
    if (pdbdatum && pdbdatum->GetCurrentLong() != s_lSensorOff) return OS_STS_SUCCESS;
  }
  OsLog(OS_LOG_ERROR, "transport>>> the last ultrasonic sensor stays on, refused...%d", a_dbenumOwn.GetId());
  return DB_EOSSTS_REFUSED;
}

}  // namespace transport
