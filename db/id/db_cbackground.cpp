// Backgrounds from the scanner's lists: none offered leaves the capability
// unsupported, one is shown read-only, and of two black comes first. The
// cameras of a side share one backing; "backgroundsidessame" makes both
// sides share it too.
#include "db_cbackground.h"

#include <cstring>

#include "db_cdatabase.h"
#include "db_crulekit.h"

namespace {

constexpr char s_szSidesSame[] = "backgroundsidessame";
constexpr char s_szFlatbedUnit[] = "modeldirectoryflatbed";

void OfferBackgrounds(CDbEnum& a_dbenumOwn) {
  switch (a_dbenumOwn.GetDefaultItemCount()) {
    case 0:
      a_dbenumOwn.SetAccess(DB_ACCESS_NOTSUPPORTED);
      break;
    case 1:
      a_dbenumOwn.SetAccess(DB_ACCESS_READONLY);
      break;
    default:
      // The current value goes with the default, as after every default fix.
      if (a_dbenumOwn.HasDefaultItem(DB_ID_BACKGROUND_ENUM_BLACK)) {
        a_dbenumOwn.SetDefaultLong(DB_ID_BACKGROUND_ENUM_BLACK);
        a_dbenumOwn.FixDefaultReset();
      }
      break;
  }
}

// Exactly "true": any other word keeps the sides apart.
bool SidesSame(CDatabase& a_database) {
  const char* szValue = a_database.ConfigEnumGetFirst(s_szSidesSame, DB_CONFIGTARGET_COMMON);
  return szValue && std::strcmp(szValue, "true") == 0;
}

}  // namespace

// The lid's value goes out under the background's names.
static_assert(static_cast<int>(DB_ID_BACKGROUNDPLATEN_ENUM_BLACK) == static_cast<int>(DB_ID_BACKGROUND_ENUM_BLACK) &&
              static_cast<int>(DB_ID_BACKGROUNDPLATEN_ENUM_WHITE) == static_cast<int>(DB_ID_BACKGROUND_ENUM_WHITE));

// ---------------------------------------------------------------------------
// BACKGROUND
// ---------------------------------------------------------------------------
// The rear cameras read "backgroundrear" (FixDefaultEnumFromDbConfig).
EOSSTS CBACKGROUND::FixDefault() {
  if (CDatabase* pdatabase = CRuleKit::Database()) {
    pdatabase->FixDefaultEnumFromDbConfig(this, DB_CONFIGTARGET_ADF, nullptr);
    OfferBackgrounds(*this);
  }
  return CDbEnum::FixDefault();
}

EOSSTS CBACKGROUND::FixCurrent() {
  const CDbDatum* pdbdatum = CDbDatum::GetModified();
  CDatabase* pdatabase = CRuleKit::Database();
  DbRuleModified dbrulemodified;
  if (!pdbdatum || pdbdatum->GetId() != DB_ID_BACKGROUND || pdbdatum == this || !pdatabase ||
      !CRuleKit::GetModified(this, &dbrulemodified))
    return OS_STS_SUCCESS;
  if (dbrulemodified.blPartner || SidesSame(*pdatabase)) SetCurrentLong(dbrulemodified.lNew);
  return OS_STS_SUCCESS;
}

// A flatbed scan has the lid behind the page: its background, or none at
// all on a flatbed that offers no choice.
void CBACKGROUND::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  CDatabase* pdatabase = CRuleKit::Database();
  long lValue = a_lValue;
  if (pdatabase && pdatabase->NeedScanFromFlatbed()) {
    CDbDatum* pdbdatumPlaten = CRuleKit::Supported(DB_ID_BACKGROUNDPLATEN, DB_BIN_MACHINE);
    if (!pdbdatumPlaten) return;
    lValue = pdbdatumPlaten->GetCurrentLong();
  }
  CDbEnum::MakeXml(lValue, a_edbdevicedataTarget);
}

// ---------------------------------------------------------------------------
// BACKGROUNDPLATEN
// ---------------------------------------------------------------------------
EOSSTS CBACKGROUNDPLATEN::FixDefault() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (pdatabase && pdatabase->ConfigExists(s_szFlatbedUnit, DB_CONFIGTARGET_COMMON)) {
    pdatabase->FixDefaultEnumFromDbConfig(this, DB_CONFIGTARGET_COMMON, nullptr);
    OfferBackgrounds(*this);
  } else {
    SetAccess(DB_ACCESS_NOTSUPPORTED);
  }
  return CDbEnum::FixDefault();
}
