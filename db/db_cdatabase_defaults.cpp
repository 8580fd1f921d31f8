// The default fix-up that the device engine runs once the scanner is open
// and its configuration records are complete, the push of the machine's
// device values, and the registration of value callbacks.
#include <algorithm>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbcontainer.h"
#include "db_cdbdatum.h"
#include "db_cdbia.h"
#include "db_cdbprofilelist.h"
#include "os_coslog.h"
#include "os_cosmem.h"

namespace {

constexpr char s_szFactoryDefaults[] = "PmxDbFactoryDefaults.txt";
constexpr char s_szInitial[] = "PmxDbInitial.txt";

bool Accessible(CDbDatum* a_pdbdatum) { return a_pdbdatum && a_pdbdatum->GetAccess() != DB_ACCESS_NOTSUPPORTED; }

bool DumpMode() { return g_poslog && g_poslog->GetIsDump(); }

bool IsRear(EDBBIN a_edbbin) { return a_edbbin == DB_BIN_BITONAL_REAR || a_edbbin == DB_BIN_COLOR_REAR; }

// A datum's own default fix through its container, then the profile's copy
// of the value: what a settings profile starts from.
void FixDefaultOf(CDbDatum* a_pdbdatum) {
  if (CDbEnum* pdbenum = dbcontainer::AsEnum(a_pdbdatum)) {
    pdbenum->FixDefault();
    pdbenum->SetProfileLong(pdbenum->GetCurrentLong());
  } else if (CDbRange* pdbrange = dbcontainer::AsRange(a_pdbdatum)) {
    pdbrange->FixDefault();
    pdbrange->SetProfileLong(pdbrange->GetCurrentLong());
  } else if (CDbString* pdbstring = dbcontainer::AsString(a_pdbdatum)) {
    pdbstring->FixDefault();
    pdbstring->UpdateProfilesString();
  } else {
    OsLog(OS_LOG_ERROR, "Unrecognized container type...%d %d", a_pdbdatum->GetId(), a_pdbdatum->GetContainerType());
  }
}

// The sheet the scanner takes bounds the physical height: the smallest
// sheet of the unit that scans, the longest of either unit. A scanner that
// reports no sheet keeps the height's own bounds rather than a height of 0.
void FixDefaultPhysicalHeightAdjust(CDatabase& a_database) {
  CDbDatum* pdbdatum = a_database.Find(DB_ID_PHYSICALHEIGHTADJUST);
  if (!pdbdatum) return;
  if (a_database.ConfigRangeGetMax("sheetheight", DB_CONFIGTARGET_COMMON) == 0) {
    OsLog(OS_LOG_ERROR, "db>>> no sheetheight, the physical height keeps its bounds...");
    return;
  }
  const EDBCONFIGTARGET edbconfigtargetUnit = !a_database.ConfigExists("model", DB_CONFIGTARGET_ADF) &&
                                                      a_database.ConfigExists("model", DB_CONFIGTARGET_FLATBED)
                                                  ? DB_CONFIGTARGET_FLATBED
                                                  : DB_CONFIGTARGET_ADF;
  const long lMin = static_cast<long>(a_database.ConfigRangeGetMin("sheetheight", edbconfigtargetUnit));
  const long lMax = static_cast<long>(a_database.ConfigRangeGetMax("sheetheight", DB_CONFIGTARGET_COMMON));
  const long lValue = std::max(std::min(a_database.GetDefaultLong(pdbdatum), lMax), lMin);
  a_database.RangeSetDefault(pdbdatum, lValue, lMin, lMax, a_database.RangeGetDefaultStep(pdbdatum));
  a_database.FixDefaultReset(pdbdatum);
}

}  // namespace

// ---------------------------------------------------------------------------
// The default fix-up
// ---------------------------------------------------------------------------
// It runs once per opened scanner: the image-address rules are made by the
// first run on a scanner with indexing, kept while the scanners have it, and
// go with a scanner that has none. On a database loaded from the resource
// each run starts from the resource's lists and access: what one model took
// away (a rear camera, two-sided input) is not left taken from the next.
void CDatabase::FixDefaultAll() {
  if (!Table()) {
    OsLog(OS_LOG_ERROR, "No datum table to fix...");
    return;
  }
  OsLogDebug(OS_LOG_INFO, "db>>> fixdefaultall starting...");
  // A database whose values were not loaded from the resource keeps them.
  if (m_blDefaultsFixed && m_blResourceLoaded && m_pdbprofilelist) {
    OsLogDebug(OS_LOG_INFO, "db>>> fixdefaultall reads the resource again...");
    if (m_pdbprofilelist->Load() != DB_STS_SUCCESS) OsLog(OS_LOG_ERROR, "Profile list load failed...");
    // The language list the resource gives back is built again.
    m_dblanguagestate.blListBuilt = false;
  }
  m_blDefaultsFixed = true;
  if (!ConfigEnumExists("indexingformat", "none", DB_CONFIGTARGET_COMMON)) {
    OsMemDelete(m_pdbia);
  } else if (!m_pdbia) {
    m_pdbia = OsMemNew(CDbIa, this);
    if (!m_pdbia) {
      OsLog(OS_LOG_ERROR, "OsMemNew failed...");
      return;
    }
  }
  FixDefaultPhysicalHeightAdjust(*this);
  // The window first: the other defaults may depend on it.
  CDbDatum* pdbdatumWindow = FindDirect(DB_BIN_MACHINE, DB_ID_WINDOW);
  if (pdbdatumWindow) FixDefaultOf(pdbdatumWindow);
  for (CDbDatum* pdbdatum = CDbDatum::DbDatumFindFirst(); pdbdatum; pdbdatum = CDbDatum::DbDatumFindNext(pdbdatum)) {
    if (pdbdatum != pdbdatumWindow) FixDefaultOf(pdbdatum);
  }
  if (DumpMode()) Dump(s_szFactoryDefaults);
  if (ProfileSetCurrent(nullptr) != DB_STS_SUCCESS) OsLog(OS_LOG_ERROR, "db>>> fixdefaultall had an error...");
  NotifyResetProfiles();
  FixAccessAll();
  if (DumpMode()) Dump(s_szInitial);
  OsLogDebug(OS_LOG_INFO, "db>>> fixdefaultall completed...");
}

// ---------------------------------------------------------------------------
// Device values and callbacks
// ---------------------------------------------------------------------------
// Camera and window values reach the device with the attribute tasks; the
// machine's values go through their set callbacks.
void CDatabase::DeviceUpdateAll() {
  if (!Table()) return;
  for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
    CDbDatum* pdbdatum = CDbDatum::DbDatumFind(0, static_cast<EDBID>(iId), DB_BIN_MACHINE);
    if (Accessible(pdbdatum) && pdbdatum->GetDeviceData() != DB_DEVICEDATA_NONE) pdbdatum->DeviceUpdate();
  }
}

// A capability or a rear camera the scanner does not have is no error: the
// device engine registers the same callbacks for every model.
EOSSTS CDatabase::RegisterCallback(EDBCALLBACK a_edbcallback, EDBID a_edbid, EDBBIN a_edbbin,
                                   PFNDBCALLBACK a_pfndbcallback, void* a_pvUser) {
  if (!IsIdSupported(a_edbid)) {
    OsLogDebug(OS_LOG_INFO, "Skipping RegisterCallback, %d not supported...", a_edbid);
    return OS_STS_SUCCESS;
  }
  if (IsRear(a_edbbin) && !ConfigExists("duplex", DB_CONFIGTARGET_COMMON)) {
    OsLogDebug(OS_LOG_INFO, "Skipping RegisterCallback, %d asked for a rear on a simplex device", a_edbid);
    return OS_STS_SUCCESS;
  }
  if (a_edbcallback < DB_CALLBACK_GETLONG || a_edbcallback > DB_CALLBACK_LOAD) {
    OsLog(OS_LOG_ERROR, "bad a_edbcallback...%d", a_edbcallback);
    return DB_EOSSTS_BADARGUMENT;
  }
  if (a_edbbin == DB_BIN_SEARCH) {
    for (int iBin = DB_BIN_MACHINE; iBin <= DB_BIN_COLOR_REAR; ++iBin) {
      CDbDatum* pdbdatum = Table()->apdbdatum[0][a_edbid][iBin];
      if (Accessible(pdbdatum)) return pdbdatum->RegisterCallback(a_edbcallback, a_pfndbcallback, a_pvUser);
    }
    OsLog(OS_LOG_ERROR, "bad a_edbbin or a_edbid...%d %d", a_edbbin, a_edbid);
    return DB_EOSSTS_BADARGUMENT;
  }
  CDbDatum* pdbdatum =
      a_edbbin >= DB_BIN_MACHINE && a_edbbin <= DB_BIN_COLOR_REAR ? Table()->apdbdatum[0][a_edbid][a_edbbin] : nullptr;
  if (!pdbdatum) {
    OsLog(OS_LOG_ERROR, "bad a_edbbin or a_edbid...%d %d", a_edbbin, a_edbid);
    return DB_EOSSTS_BADARGUMENT;
  }
  if (!Accessible(pdbdatum)) {
    OsLog(OS_LOG_ERROR, "bad access a_edbbin or a_edbid...%d %d", a_edbbin, a_edbid);
    return DB_EOSSTS_BADARGUMENT;
  }
  return pdbdatum->RegisterCallback(a_edbcallback, a_pfndbcallback, a_pvUser);
}
