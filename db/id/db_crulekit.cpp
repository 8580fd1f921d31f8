// The rule toolkit: states, configuration numbers, the modified value, the
// cameras in use and reads of other capabilities.
#include "db_crulekit.h"

#include <cstdint>
#include <cstdlib>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbdatum.h"
#include "db_cdbenum.h"
#include "os_coscfg.h"
#include "os_coslocale.h"
#include "os_coslog.h"

namespace {

constexpr int s_iMeasurementUs = 2;

bool Accessible(CDbDatum* a_pdbdatum) { return a_pdbdatum && a_pdbdatum->GetAccess() != DB_ACCESS_NOTSUPPORTED; }

// The bytes of the character that starts with this byte.
size_t CharacterBytes(const char* a_pc) {
  const auto uc = static_cast<unsigned char>(*a_pc);
  const size_t sizetSequence = uc >= 0xF0 && uc < 0xF8   ? 4
                               : uc >= 0xE0 && uc < 0xF0 ? 3
                               : uc >= 0xC0 && uc < 0xE0 ? 2
                                                         : 1;
  size_t sizet = 1;
  while (sizet < sizetSequence && (static_cast<unsigned char>(a_pc[sizet]) & 0xC0) == 0x80) ++sizet;
  return sizet;
}

}  // namespace

// ---------------------------------------------------------------------------
// States
// ---------------------------------------------------------------------------
bool CRuleKit::IsLoading() { return CDbDatum::TestDbState(DB_STATE_LOADING); }

bool CRuleKit::IsRelaxed() {
  return (CDbDatum::TestDbState(DB_STATE_APPLICATION) || CDbDatum::TestDbState(DB_STATE_GUI)) &&
         ConfigNumber(OS_CFGSECTION_MAIN, OS_CFGTAG_SKIPIAVALIDATION) != 0;
}

bool CRuleKit::IsPreview() {
  return ValueOf(DB_ID_PREVIEWMODE, DB_BIN_MACHINE, DB_ID_PREVIEWMODE_ENUM_FALSE) == DB_ID_PREVIEWMODE_ENUM_TRUE;
}

// ---------------------------------------------------------------------------
// Driver configuration
// ---------------------------------------------------------------------------
// strtol stops at the first character that is not part of a number, so a
// text that does not start with one reads 0.
long CRuleKit::ConfigNumber(unsigned a_uSection, unsigned a_uTag) {
  if (!g_poscfg) return 0;
  const char* szValue = g_poscfg->Get(a_uSection, a_uTag);
  if (!szValue || !*szValue) return 0;
  return std::strtol(szValue, g_poscfg->GetThrowAwayPointer(), 0);
}

long CRuleKit::DriverConfigNumber(EDRVCFGTAG a_edrvcfgtag) { return DevDriverConfigGetLong(a_edrvcfgtag); }

int CRuleKit::Measurement() { return g_poslocale ? g_poslocale->GetMeasurement() : s_iMeasurementUs; }

// ---------------------------------------------------------------------------
// Model configuration
// ---------------------------------------------------------------------------
long CRuleKit::ConfigRangeMin(CDatabase& a_database, const char* a_szKey, EDBCONFIGTARGET a_edbconfigtarget) {
  return static_cast<long>(static_cast<int64_t>(a_database.ConfigRangeGetMin(a_szKey, a_edbconfigtarget)));
}

long CRuleKit::ConfigRangeMax(CDatabase& a_database, const char* a_szKey, EDBCONFIGTARGET a_edbconfigtarget) {
  return static_cast<long>(static_cast<int64_t>(a_database.ConfigRangeGetMax(a_szKey, a_edbconfigtarget)));
}

// ---------------------------------------------------------------------------
// The modified value
// ---------------------------------------------------------------------------
bool CRuleKit::GetModified(CDbDatum* a_pdbdatumOwn, DbRuleModified* a_pdbrulemodified) {
  CDbDatum* pdbdatum = CDbDatum::GetModified();
  if (!pdbdatum || !a_pdbdatumOwn || !a_pdbrulemodified) return false;
  const EDBBIN edbbinOwn = a_pdbdatumOwn->GetBin();
  const EDBBIN edbbin = pdbdatum->GetBin();
  const bool blCameras = edbbin >= DB_BIN_BITONAL_FRONT && edbbinOwn >= DB_BIN_BITONAL_FRONT;
  const bool blLong = pdbdatum->GetDataType() == DB_DATATYPE_LONG;
  *a_pdbrulemodified = {pdbdatum,
                        pdbdatum->GetId(),
                        edbbin,
                        pdbdatum->GetWindow(),
                        blLong ? pdbdatum->GetCurrentLongNoCallback() : 0,
                        blLong ? pdbdatum->GetPreviousLong() : 0,
                        edbbin == edbbinOwn,
                        blCameras && edbbin == CDbDatum::GetBinSameSide(edbbinOwn),
                        blCameras && edbbin == CDbDatum::GetBinOtherSide(edbbinOwn)};
  return true;
}

bool CRuleKit::IsCroppingChangeThatCounts(const DbRuleModified& a_dbrulemodified) {
  if (a_dbrulemodified.edbid != DB_ID_CROPPINGMODE) return false;
  return a_dbrulemodified.blOwnCamera || a_dbrulemodified.lNew == DB_ID_CROPPINGMODE_ENUM_LONGPAPER ||
         a_dbrulemodified.lPrevious == DB_ID_CROPPINGMODE_ENUM_LONGPAPER;
}

bool CRuleKit::ModifiedIs(EDBID a_edbid) {
  const CDbDatum* pdbdatum = CDbDatum::GetModified();
  return pdbdatum && pdbdatum->GetId() == a_edbid;
}

// ---------------------------------------------------------------------------
// Cameras
// ---------------------------------------------------------------------------
bool CRuleKit::IsCameraOn(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin) {
  return ValueIn(a_edbidwindow, DB_ID_CAMERAENABLE, a_edbbin, DB_ID_CAMERAENABLE_ENUM_FALSE) ==
         DB_ID_CAMERAENABLE_ENUM_TRUE;
}

DbRuleCameras CRuleKit::CamerasInUse() {
  DbRuleCameras dbrulecameras = {};
  const long lWindows = CDbDatum::GetWindowMax();
  for (EDBID_WINDOW edbidwindow = 0; edbidwindow < lWindows; ++edbidwindow) {
    dbrulecameras.blColorFront = dbrulecameras.blColorFront || IsCameraOn(edbidwindow, DB_BIN_COLOR_FRONT);
    dbrulecameras.blBitonalFront = dbrulecameras.blBitonalFront || IsCameraOn(edbidwindow, DB_BIN_BITONAL_FRONT);
    dbrulecameras.blColorRear = dbrulecameras.blColorRear || IsCameraOn(edbidwindow, DB_BIN_COLOR_REAR);
    dbrulecameras.blBitonalRear = dbrulecameras.blBitonalRear || IsCameraOn(edbidwindow, DB_BIN_BITONAL_REAR);
  }
  return dbrulecameras;
}

// ---------------------------------------------------------------------------
// Other capabilities
// ---------------------------------------------------------------------------
CDbDatum* CRuleKit::Supported(EDBID a_edbid, EDBBIN a_edbbin) {
  if (!CDbDatum::ms_pdatumcommon || a_edbid < DB_ID_FIRST || a_edbid > DB_ID_FINAL || a_edbbin < DB_BIN_MACHINE ||
      a_edbbin > DB_BIN_COLOR_REAR)
    return nullptr;
  CDbDatum* pdbdatum = CDbDatum::ms_pdatumcommon->apdbdatum[0][a_edbid][a_edbbin];
  return Accessible(pdbdatum) ? pdbdatum : nullptr;
}

long CRuleKit::ValueOf(EDBID a_edbid, EDBBIN a_edbbin, long a_lFallback) {
  CDbDatum* pdbdatum = Supported(a_edbid, a_edbbin);
  return pdbdatum ? pdbdatum->GetCurrentLong() : a_lFallback;
}

long CRuleKit::ValueIn(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin, long a_lFallback) {
  if (a_edbidwindow < 0 || a_edbidwindow >= DB_WINDOW_COUNT || !Supported(a_edbid, a_edbbin)) return a_lFallback;
  CDbDatum* pdbdatum = CDbDatum::DbDatumFind(a_edbidwindow, a_edbid, a_edbbin);
  return Accessible(pdbdatum) ? pdbdatum->GetCurrentLong() : a_lFallback;
}

long CRuleKit::CroppingMode(EDBBIN a_edbbin) {
  return ValueOf(DB_ID_CROPPINGMODE, a_edbbin, DB_ID_CROPPINGMODE_ENUM_AUTOMATIC);
}

// The sheet's size named by the model, 0 without a database.
long CRuleKit::SheetMax(const char* a_szKey) {
  CDatabase* pdatabase = Database();
  return pdatabase ? ConfigRangeMax(*pdatabase, a_szKey, DB_EDBCONFIGTARGET_COMMON) : 0;
}

long CRuleKit::PhysicalWidth() {
  CDbDatum* pdbdatum = Supported(DB_ID_PHYSICALWIDTH, DB_BIN_MACHINE);
  return pdbdatum ? pdbdatum->GetCurrentLong() : SheetMax("sheetwidth");
}

long CRuleKit::PhysicalHeight() {
  CDbDatum* pdbdatum = Supported(DB_ID_PHYSICALHEIGHTADJUST, DB_BIN_MACHINE);
  return pdbdatum ? pdbdatum->GetCurrentLong() : SheetMax("sheetheight");
}

bool CRuleKit::OffersNoPaper() {
  CDatabase* pdatabase = Database();
  CDbDatum* pdbdatum = Supported(DB_ID_SUPPORTEDSIZES, DB_BIN_MACHINE);
  return pdatabase && pdbdatum && pdatabase->EnumHasCurrentItem(pdbdatum, DB_ID_SUPPORTEDSIZES_ENUM_NONE);
}

EDBCONFIGTARGET CRuleKit::UnitTarget() {
  return ValueOf(DB_ID_FIRMWARE, DB_BIN_MACHINE, DB_FIRMWARE_ADF) == DB_FIRMWARE_FLATBED ? DB_CONFIGTARGET_FLATBED
                                                                                          : DB_CONFIGTARGET_ADF;
}

// ---------------------------------------------------------------------------
// Access
// ---------------------------------------------------------------------------
bool CRuleKit::UnsupportIfEmpty(CDbEnum* a_pdbenum) {
  if (!a_pdbenum || a_pdbenum->GetDefaultItemCount() > 0) return false;
  if (a_pdbenum->GetAccess() != DB_ACCESS_NOTSUPPORTED) {
    OsLog(OS_LOG_ERROR, "rules>>> %s offers nothing on this scanner, not supported...%d",
          a_pdbenum->GetName() ? a_pdbenum->GetName() : "???", a_pdbenum->GetBin());
    a_pdbenum->SetAccess(DB_ACCESS_NOTSUPPORTED);
  }
  return true;
}

bool CRuleKit::UnsupportWithoutKey(CDbDatum* a_pdbdatum, const char* a_szKey) {
  CDatabase* pdatabase = Database();
  if (!a_pdbdatum || !pdatabase || pdatabase->ConfigExists(a_szKey, DB_CONFIGTARGET_COMMON)) return false;
  a_pdbdatum->SetAccess(DB_ACCESS_NOTSUPPORTED);
  return true;
}

// ---------------------------------------------------------------------------
// Texts
// ---------------------------------------------------------------------------
bool CRuleKit::CutToCharacters(char* a_szText, size_t a_sizetMax) {
  if (!a_szText) return false;
  size_t sizetOffset = 0;
  for (size_t sizetCount = 0; a_szText[sizetOffset]; ++sizetCount) {
    if (sizetCount == a_sizetMax) {
      a_szText[sizetOffset] = '\0';
      return true;
    }
    sizetOffset += CharacterBytes(a_szText + sizetOffset);
  }
  return false;
}

CDatabase* CRuleKit::Database() { return CDbDatum::GetDatabase(); }
