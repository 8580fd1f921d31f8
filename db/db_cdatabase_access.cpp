// Access rules that families of capabilities share: the access of a
// capability by number, the meters, calibrations and diagnostics the
// scanner lists for the unit that scans, and the edge fill, which a scanner
// may offer with "none" as its only choice.
#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbdatum.h"
#include "os_coslog.h"

namespace {

constexpr char s_szEdgeFill[] = "edgefill";

bool NoDatum(const CDbDatum* a_pdbdatum) {
  if (a_pdbdatum) return false;
  OsLog(OS_LOG_ERROR, "a_hdbdatum is NULL...");
  return true;
}

// The keys of the unit the firmware names: the flatbed's or the feeder's.
// The firmware is a machine value of window 0, read there whatever window
// is current (a current window outside the table must not turn a flatbed
// into the feeder).
EDBCONFIGTARGET UnitTarget(CDatabase& a_database) {
  CDbDatum* pdbdatum = a_database.FindDirect(DB_BIN_MACHINE, DB_ID_FIRMWARE);
  const bool blFlatbed = pdbdatum && pdbdatum->GetAccess() != DB_ACCESS_NOTSUPPORTED &&
                         pdbdatum->GetCurrentLong() == DB_FIRMWARE_FLATBED;
  return blFlatbed ? DB_CONFIGTARGET_FLATBED : DB_CONFIGTARGET_ADF;
}

}  // namespace

EOSSTS CDatabase::SetAccessFromId(EDBID a_edbid, EDBACCESS a_edbaccess) {
  if (a_edbid < DB_ID_FIRST || a_edbid > DB_ID_FINAL) {
    OsLog(OS_LOG_ERROR, "Bad a_edbid...%d", a_edbid);
    return OS_STS_FAIL;
  }
  CDbDatum* pdbdatum = Find(a_edbid);
  if (!pdbdatum) {
    OsLogDebug(OS_LOG_INFO, "edbid not found...%d camera:%d", a_edbid, GetBinFromWindowBin(GetWindowBin()));
    return OS_STS_FAIL;
  }
  return static_cast<EOSSTS>(SetAccess(pdbdatum, a_edbaccess));
}

// A unit that reports the enabled key lists the values it has; a flatbed
// that reports nothing has none of the values that the flag marks as the
// feeder's.
EOSSTS CDatabase::SetAccessMetersAndCals(CDbDatum* a_pdbdatum, const char* a_szValue, bool a_blFlatbedHides,
                                         const char* a_szEnabledKey, const char* a_szEnumKey) {
  if (NoDatum(a_pdbdatum)) return DB_EOSSTS_BADARGUMENT;
  const EDBCONFIGTARGET edbconfigtarget = UnitTarget(*this);
  bool blHidden = false;
  if (ConfigExists(a_szEnabledKey, edbconfigtarget)) {
    blHidden = !ConfigEnumExists(a_szEnumKey, a_szValue, edbconfigtarget);
  } else {
    blHidden = a_blFlatbedHides && edbconfigtarget == DB_CONFIGTARGET_FLATBED;
  }
  return static_cast<EOSSTS>(SetAccess(a_pdbdatum, blHidden ? DB_ACCESS_HIDDEN : DB_ACCESS_READWRITE));
}

EOSSTS CDatabase::SetAccessMeters(CDbDatum* a_pdbdatum, const char* a_szValue, bool a_blFlatbedHides) {
  return SetAccessMetersAndCals(a_pdbdatum, a_szValue, a_blFlatbedHides, "metertypeenabled", "metertype");
}

EOSSTS CDatabase::SetAccessDiag(CDbDatum* a_pdbdatum, const char* a_szValue) {
  if (NoDatum(a_pdbdatum)) return DB_EOSSTS_BADARGUMENT;
  const bool blListed = ConfigEnumExists("diagnostictype", a_szValue, UnitTarget(*this));
  return static_cast<EOSSTS>(SetAccess(a_pdbdatum, blListed ? DB_ACCESS_READWRITE : DB_ACCESS_HIDDEN));
}

// Without an "edgefill" list the scanner says nothing about edge fill and
// the capability keeps its access.
EDBACCESS CDatabase::FixAccessEdgeFill(CDbDatum* a_pdbdatum) {
  if (!a_pdbdatum) return DB_ACCESS_NOTSUPPORTED;
  if (!ConfigEnumGetFirst(s_szEdgeFill, DB_CONFIGTARGET_COMMON)) return a_pdbdatum->GetAccess();
  CDbDatum* pdbdatumFill = CDbDatum::DbDatumFind(a_pdbdatum->GetWindow(), DB_ID_IMAGEEDGEFILL, a_pdbdatum->GetBin());
  if (!pdbdatumFill) return DB_ACCESS_NOTSUPPORTED;
  if (pdbdatumFill->GetAccess() == DB_ACCESS_NOTSUPPORTED) {
    a_pdbdatum->SetAccess(DB_ACCESS_NOTSUPPORTED);
    return DB_ACCESS_NOTSUPPORTED;
  }
  if (a_pdbdatum->GetId() == DB_ID_IMAGEEDGEBOTTOM) {
    FixDefaultEnumFromDbConfig(pdbdatumFill, DB_CONFIGTARGET_COMMON, nullptr);
    if (EnumGetDefaultItemCount(pdbdatumFill) == 1 &&
        EnumGetDefaultItem(pdbdatumFill, 0) == DB_ID_IMAGEEDGEFILL_ENUM_NONE) {
      pdbdatumFill->SetAccess(DB_ACCESS_NOTSUPPORTED);
      a_pdbdatum->SetAccess(DB_ACCESS_NOTSUPPORTED);
      return DB_ACCESS_NOTSUPPORTED;
    }
  }
  return a_pdbdatum->GetAccess();
}
