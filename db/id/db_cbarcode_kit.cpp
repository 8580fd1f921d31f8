// What the barcode rules share: cameras, reading on, and the scanner's and
// the image library's barcode records.
#include "db_cbarcode_kit.h"

#include <algorithm>
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "db_crulekit.h"

namespace dbbarcode {

namespace {

constexpr char s_szNone[] = "none";
constexpr char s_szLibraryType[] = "nexil_barcodetype";
constexpr char s_szFlatbedUnit[] = "modeldirectoryflatbed";

}  // namespace

bool IsCamera(EDBBIN a_edbbin) { return a_edbbin >= DB_BIN_BITONAL_FRONT && a_edbbin <= DB_BIN_COLOR_REAR; }

CDatabase* Offered(CDbDatum& a_dbdatumOwn) {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!IsCamera(a_dbdatumOwn.GetBin()) || !pdatabase) return nullptr;
  a_dbdatumOwn.CDbDatum::FixDefault();
  return a_dbdatumOwn.GetAccess() != DB_ACCESS_NOTSUPPORTED ? pdatabase : nullptr;
}

bool IsReading(EDBBIN a_edbbin) {
  return CRuleKit::ValueOf(DB_ID_BARCODEENABLE, a_edbbin, DB_ID_BARCODEENABLE_ENUM_FALSE) ==
         DB_ID_BARCODEENABLE_ENUM_TRUE;
}

bool EnumExists(CDatabase& a_database, const char* a_szKey) {
  return a_database.ConfigEnumGetFirst(a_szKey, DB_CONFIGTARGET_ADF) != nullptr;
}

bool ScannerReads(CDatabase& a_database) {
  for (const char* szValue = a_database.ConfigEnumGetFirst(s_szType, DB_CONFIGTARGET_ADF); szValue;
       szValue = a_database.ConfigEnumGetNext(s_szType, szValue, DB_CONFIGTARGET_ADF)) {
    if (std::strcmp(szValue, s_szNone) != 0) return true;
  }
  return false;
}

bool LibraryReads(CDatabase& a_database) {
  const bool blFlatbedUnit = a_database.ConfigExists(s_szFlatbedUnit, DB_CONFIGTARGET_COMMON);
  for (const char* szValue = a_database.ConfigEnumGetFirst(s_szLibraryType, DB_CONFIGTARGET_ADF); szValue;
       szValue = a_database.ConfigEnumGetNext(s_szLibraryType, szValue, DB_CONFIGTARGET_ADF)) {
    if (std::strcmp(szValue, s_szNone) == 0) continue;
    if (!blFlatbedUnit || a_database.ConfigEnumExists(s_szLibraryType, szValue, DB_CONFIGTARGET_FLATBED)) return true;
  }
  return false;
}

long ConfigMin(CDatabase& a_database, const char* a_szKey, EDBCONFIGTARGET a_edbconfigtarget) {
  return CRuleKit::ConfigRangeMin(a_database, a_szKey, a_edbconfigtarget);
}

long ConfigMax(CDatabase& a_database, const char* a_szKey, EDBCONFIGTARGET a_edbconfigtarget) {
  return CRuleKit::ConfigRangeMax(a_database, a_szKey, a_edbconfigtarget);
}

bool ModifiedOf(CDbDatum& a_dbdatumOwn, std::initializer_list<EDBID> a_ilistedbid, DbRuleModified* a_pdbrulemodified) {
  const CDbDatum* pdbdatum = CDbDatum::GetModified();
  if (!pdbdatum || std::find(a_ilistedbid.begin(), a_ilistedbid.end(), pdbdatum->GetId()) == a_ilistedbid.end())
    return false;
  return CRuleKit::GetModified(&a_dbdatumOwn, a_pdbrulemodified);
}

}  // namespace dbbarcode
