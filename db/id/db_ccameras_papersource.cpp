// PAPERSOURCE: the sources the model offers (with a flatbed, the flatbed
// and each feeder source combined with it), the source leaving the flatbed
// for long paper and patch toggling and the combined source for the feeder
// when no front camera is left, and the source each scanner unit receives.
#include "db_ccameras.h"
#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbcontainer.h"
#include "db_crulekit.h"
#include "os_coslog.h"

namespace {

constexpr char s_szFlatbedUnit[] = "modeldirectoryflatbed";
constexpr long s_lAdfFlatbed = DB_ID_PAPERSOURCE_ENUM_ADFFLATBED;
constexpr long s_lAdf = DB_ID_PAPERSOURCE_ENUM_ADF;
constexpr long s_lFlatbed = DB_ID_PAPERSOURCE_ENUM_FLATBED;

// Each feeder source and the same source combined with the flatbed.
struct SourcePair {
  long lFeeder;
  long lCombined;
};
constexpr SourcePair s_asourcepair[] = {
    {s_lAdf, s_lAdfFlatbed},
    {DB_ID_PAPERSOURCE_ENUM_ELEVATOR100, DB_ID_PAPERSOURCE_ENUM_ELEVATOR100FLATBED},
    {DB_ID_PAPERSOURCE_ENUM_ELEVATOR250, DB_ID_PAPERSOURCE_ENUM_ELEVATOR250FLATBED},
    {DB_ID_PAPERSOURCE_ENUM_ELEVATOR500, DB_ID_PAPERSOURCE_ENUM_ELEVATOR500FLATBED},
    {DB_ID_PAPERSOURCE_ENUM_ELEVATOR750, DB_ID_PAPERSOURCE_ENUM_ELEVATOR750FLATBED}};

// The sources that need the feeder, in the order a model without one drops
// them.
constexpr long s_alFeederOnly[] = {s_lAdfFlatbed,
                                   s_lAdf,
                                   DB_ID_PAPERSOURCE_ENUM_ELEVATOR100,
                                   DB_ID_PAPERSOURCE_ENUM_ELEVATOR250,
                                   DB_ID_PAPERSOURCE_ENUM_ELEVATOR500,
                                   DB_ID_PAPERSOURCE_ENUM_ELEVATOR750};

// The feeder's sources, in the order the feeder takes them for the flatbed.
constexpr long s_alElevators[] = {DB_ID_PAPERSOURCE_ENUM_ELEVATOR750, DB_ID_PAPERSOURCE_ENUM_ELEVATOR500,
                                  DB_ID_PAPERSOURCE_ENUM_ELEVATOR250, DB_ID_PAPERSOURCE_ENUM_ELEVATOR100};

long CombinedOf(long a_lFeeder) {
  for (const SourcePair& sourcepair : s_asourcepair) {
    if (sourcepair.lFeeder == a_lFeeder) return sourcepair.lCombined;
  }
  return 0;
}

long FeederOf(long a_lCombined) {
  for (const SourcePair& sourcepair : s_asourcepair) {
    if (sourcepair.lCombined == a_lCombined) return sourcepair.lFeeder;
  }
  return 0;
}

// With a feeder the flatbed joins the sources, alone and with each feeder
// source; without one only the flatbed's own sources stay.
void AddFlatbedSources(CDatabase& a_database, CDbEnum& a_dbenumOwn) {
  if (!a_database.ConfigEnumExists("papersource", "adf", DB_CONFIGTARGET_COMMON)) {
    for (long lSource : s_alFeederOnly) a_dbenumOwn.DeleteDefaultItem(lSource);
    return;
  }
  a_dbenumOwn.AddDefaultItem(s_lFlatbed);
  const long lCount = a_dbenumOwn.GetDefaultItemCount();
  for (long l = 0; l < lCount; ++l) {
    if (const long lCombined = CombinedOf(a_dbenumOwn.GetDefaultItem(l))) a_dbenumOwn.AddDefaultItem(lCombined);
  }
}

// A source is changed only to one the list offers.
void ChangeTo(CDbEnum& a_dbenumOwn, long a_lSource) {
  if (a_dbenumOwn.HasCurrentItem(a_lSource)) {
    a_dbenumOwn.SetCurrentLong(a_lSource);
  } else {
    OsLog(OS_LOG_ERROR, "papersource>>> %ld is not offered, the source stays...%ld", a_lSource,
          a_dbenumOwn.GetCurrentLong());
  }
}

// The rules of lower ids ran before this one in the pass and saw only the
// change that started it (the rear cameras stayed disabled, the job one-sided
// front, when the source left the flatbed): they follow the source this rule
// chose as they follow one the user chose. The pass's own change is given
// back after.
void LowerRulesFollow(CDbEnum& a_dbenumOwn) {
  CDbDatum* pdbdatumOuter = CDbDatum::GetModified();
  a_dbenumOwn.SetModified();
  for (CDbDatum* pdbdatum = CDbDatum::DbDatumFindFirst(); pdbdatum && pdbdatum->GetId() < a_dbenumOwn.GetId();
       pdbdatum = CDbDatum::DbDatumFindNext(pdbdatum)) {
    dbcontainer::ByContainer(pdbdatum, [](auto* a_pcontainer) { a_pcontainer->FixCurrent(); });
  }
  if (pdbdatumOuter) {
    pdbdatumOuter->SetModified();
  } else {
    CDbDatum::ClearModified();
  }
}

// The source for the unit that scans: the flatbed takes the flatbed, the
// feeder its own part of a combined source, or its first elevator for the
// flatbed.
long SourceForUnit(CDatabase& a_database, CDbEnum& a_dbenumOwn, long a_lValue) {
  if (a_database.NeedScanFromFlatbed()) return s_lFlatbed;
  if (a_lValue == s_lFlatbed) {
    for (long lElevator : s_alElevators) {
      if (a_dbenumOwn.HasCurrentItem(lElevator)) return lElevator;
    }
    return s_lAdf;
  }
  const long lFeeder = FeederOf(a_lValue);
  return lFeeder ? lFeeder : a_lValue;
}

void FollowOthers(CDbEnum& a_dbenumOwn, const DbRuleModified& a_dbrulemodified) {
  const long lSource = a_dbenumOwn.GetCurrentLong();
  switch (a_dbrulemodified.edbid) {
    case DB_ID_CROPPINGMODE:
      // Long paper runs through the feeder.
      if (lSource == s_lFlatbed && a_dbrulemodified.lNew == DB_ID_CROPPINGMODE_ENUM_LONGPAPER)
        ChangeTo(a_dbenumOwn, s_lAdf);
      break;
    case DB_ID_TOGGLEPATCH:
      // Patch sheets are read by the feeder.
      if (lSource == s_lFlatbed && a_dbrulemodified.lNew != DB_ID_TOGGLEPATCH_ENUM_NONE) {
        if (a_dbenumOwn.HasCurrentItem(s_lAdfFlatbed)) {
          a_dbenumOwn.SetCurrentLong(s_lAdfFlatbed);
        } else if (a_dbenumOwn.HasCurrentItem(s_lAdf)) {
          a_dbenumOwn.SetCurrentLong(s_lAdf);
        }
      }
      break;
    case DB_ID_CAMERAENABLE:
      // Without a front camera the flatbed has nothing to scan.
      if (lSource == s_lAdfFlatbed && a_dbenumOwn.HasCurrentItem(s_lAdf) &&
          CRuleKit::Supported(DB_ID_CAMERAENABLE, DB_BIN_BITONAL_FRONT) &&
          CRuleKit::Supported(DB_ID_CAMERAENABLE, DB_BIN_COLOR_FRONT) &&
          !CRuleKit::IsCameraOn(0, DB_BIN_BITONAL_FRONT) && !CRuleKit::IsCameraOn(0, DB_BIN_COLOR_FRONT)) {
        a_dbenumOwn.SetCurrentLong(s_lAdf);
      }
      break;
    default:
      break;
  }
}

}  // namespace

EOSSTS CPAPERSOURCE::FixDefault() {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase) return OS_STS_SUCCESS;
  if (!pdatabase->ConfigExists(s_szFlatbedUnit, DB_CONFIGTARGET_COMMON)) {
    pdatabase->FixDefaultEnumFromDbConfig(this, DB_CONFIGTARGET_COMMON, nullptr);
  } else {
    AddFlatbedSources(*pdatabase, *this);
    FixDefaultReset();
  }
  // Readers of a source the model cannot name take the feeder.
  if (CRuleKit::UnsupportIfEmpty(this)) return OS_STS_SUCCESS;
  if (GetDefaultItemCount() <= 1) SetAccess(DB_ACCESS_READWRITEDISABLED);
  return OS_STS_SUCCESS;
}

EOSSTS CPAPERSOURCE::FixCurrent() {
  DbRuleModified dbrulemodified;
  if (!CRuleKit::GetModified(this, &dbrulemodified)) return OS_STS_SUCCESS;
  const long lSource = GetCurrentLong();
  FollowOthers(*this, dbrulemodified);
  if (GetCurrentLong() != lSource) LowerRulesFollow(*this);
  return OS_STS_SUCCESS;
}

// Only a model with a flatbed unit names combined sources; each unit is
// sent one it has.
void CPAPERSOURCE::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  CDatabase* pdatabase = CRuleKit::Database();
  long lValue = a_lValue;
  if (pdatabase && pdatabase->ConfigExists(s_szFlatbedUnit, DB_CONFIGTARGET_COMMON))
    lValue = SourceForUnit(*pdatabase, *this, a_lValue);
  CDbEnum::MakeXml(lValue, a_edbdevicedataTarget);
}
