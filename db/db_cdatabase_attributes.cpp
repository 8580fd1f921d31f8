// Datum attributes through the database (a null datum is logged and reads
// as 0), the access texts, and small value helpers of the rules.
#include <cstring>
#include <iterator>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "db_cdbframe.h"
#include "db_cdblookup.h"
#include "os_coslocale.h"
#include "os_coslog.h"

namespace {

constexpr char s_szIdPrefix[] = "DB_ID_";
constexpr int s_iMeasurementMetric = 1;
constexpr char s_szMultipleColor[] = "pmcdo";

bool NoDatum(const CDbDatum* a_pdbdatum) {
  if (a_pdbdatum) return false;
  OsLog(OS_LOG_ERROR, "Bad a_hdbdatum...");
  return true;
}

// By access 0..7.
constexpr const char* s_aszAccessTag[] = {"undefined", "disabled", "hidden", "readonly",
                                          "readwrite", "disabled", "hidden", "hidden"};

bool Contains(const long* a_pl, long a_lCount, long a_lValue) {
  for (long l = 0; l < a_lCount; ++l) {
    if (a_pl[l] == a_lValue) return true;
  }
  return false;
}

bool AllIn(const long* a_plFrom, long a_lFrom, const long* a_plIn, long a_lIn) {
  for (long l = 0; l < a_lFrom; ++l) {
    if (!Contains(a_plIn, a_lIn, a_plFrom[l])) return false;
  }
  return true;
}

}  // namespace

EDBID CDatabase::GetId(CDbDatum* a_pdbdatum) { return NoDatum(a_pdbdatum) ? DB_ID_UNDEFINED : a_pdbdatum->GetId(); }

EDBBIN CDatabase::GetBin(CDbDatum* a_pdbdatum) { return NoDatum(a_pdbdatum) ? DB_BIN_SEARCH : a_pdbdatum->GetBin(); }

EDBDATATYPE CDatabase::GetDataType(CDbDatum* a_pdbdatum) {
  return NoDatum(a_pdbdatum) ? static_cast<EDBDATATYPE>(0) : a_pdbdatum->GetDataType();
}

EDBCONTAINERTYPE CDatabase::GetContainerType(CDbDatum* a_pdbdatum) {
  return NoDatum(a_pdbdatum) ? static_cast<EDBCONTAINERTYPE>(0) : a_pdbdatum->GetContainerType();
}

EDBACCESS CDatabase::GetAccess(CDbDatum* a_pdbdatum) {
  return NoDatum(a_pdbdatum) ? DB_ACCESS_NOTSUPPORTED : a_pdbdatum->GetAccess();
}

EDBSTS CDatabase::SetAccess(CDbDatum* a_pdbdatum, EDBACCESS a_edbaccess) {
  if (NoDatum(a_pdbdatum)) return DB_STS_BADARGUMENT;
  a_pdbdatum->SetAccess(a_edbaccess);
  return DB_STS_SUCCESS;
}

const char* CDatabase::GetAccessTag(EDBACCESS a_edbaccess) {
  if (a_edbaccess < 0 || a_edbaccess >= static_cast<int>(std::size(s_aszAccessTag))) {
    OsLog(OS_LOG_ERROR, "Unrecognized access...%d", a_edbaccess);
    return "undefined";
  }
  return s_aszAccessTag[a_edbaccess];
}

EDBDEVICEDATA CDatabase::GetDeviceData(CDbDatum* a_pdbdatum) {
  if (NoDatum(a_pdbdatum) || a_pdbdatum->GetAccess() == DB_ACCESS_NOTSUPPORTED) return DB_DEVICEDATA_NONE;
  return a_pdbdatum->GetDeviceData();
}

const char* CDatabase::GetName(CDbDatum* a_pdbdatum) {
  if (NoDatum(a_pdbdatum)) return nullptr;
  const DbLookup2* pdblookup2 = a_pdbdatum->GetLookup();
  if (!pdblookup2 || !pdblookup2->szDbId) {
    OsLog(OS_LOG_ERROR, "Add edbid %d to lookup.dbc...", a_pdbdatum->GetId());
    return "???";
  }
  const char* szName = pdblookup2->szDbId;
  const size_t sizetPrefix = sizeof s_szIdPrefix - 1;
  return std::strncmp(szName, s_szIdPrefix, sizetPrefix) == 0 ? szName + sizetPrefix : szName;
}

DbLookup2* CDatabase::LookupGet(CDbDatum* a_pdbdatum) {
  if (a_pdbdatum) return a_pdbdatum->GetLookup();
  OsLog(OS_LOG_ERROR, "a_hdbdatum is NULL...");
  return nullptr;
}

// The modes that crop to a box drawn by the user.
bool CDatabase::IsCroppingBoxAllow(EDBID_CROPPINGMODE a_edbidcroppingmode) {
  switch (a_edbidcroppingmode) {
    case DB_ID_CROPPINGMODE_ENUM_FIXED:
    case DB_ID_CROPPINGMODE_ENUM_RELATIVE:
    case DB_ID_CROPPINGMODE_ENUM_LONGPAPER:
    case DB_ID_CROPPINGMODE_ENUM_PHOTOINROI:
      return true;
    case DB_ID_CROPPINGMODE_ENUM_AUTOMATIC:
    case DB_ID_CROPPINGMODE_ENUM_AGGRESSIVE:
    case DB_ID_CROPPINGMODE_ENUM_PHOTO:
      return false;
    default:
      OsLog(OS_LOG_ERROR, "Unrecognized cropping mode...%d", a_edbidcroppingmode);
      return false;
  }
}

// The entries run to the first without a value or a name.
bool CDatabase::IsEcdoMultipleColor(EDBID_ECDO a_edbidecdo) {
  for (const DbEcdoRecord& dbecdorecord : m_dbecdoheader.adbecdorecord) {
    if (dbecdorecord.u32Value == 0 || dbecdorecord.szName[0] == '\0') return false;
    if (static_cast<int64_t>(dbecdorecord.u32Value) == a_edbidecdo)
      return std::strcmp(dbecdorecord.szKind, s_szMultipleColor) == 0;
  }
  return false;
}

EDBID_SUPPORTEDSIZES CDatabase::GetDefaultSupportedSizes() {
  const bool blMetric = g_poslocale && g_poslocale->GetMeasurement() == s_iMeasurementMetric;
  return blMetric ? DB_SUPPORTEDSIZES_A4 : static_cast<EDBID_SUPPORTEDSIZES>(DB_ID_SUPPORTEDSIZES_ENUM_USLETTER);
}

bool CDatabase::IsSameList(const long* a_plA, long a_lA, const long* a_plB, long a_lB) {
  if (a_lA < 0 || a_lB < 0 || (a_lA > 0 && !a_plA) || (a_lB > 0 && !a_plB)) {
    OsLog(OS_LOG_ERROR, "Bad list...%ld %ld", a_lA, a_lB);
    return false;
  }
  return a_lA == a_lB && AllIn(a_plA, a_lA, a_plB, a_lB) && AllIn(a_plB, a_lB, a_plA, a_lA);
}
