// Value shortcuts by capability number: each finds the datum of the current
// window and camera with Find (or FindInBin) and applies the value
// operation; a capability that is not there answers as that operation does
// for no datum, or with its own line.
#include "db_cdatabase.h"
#include "db_cdbcontainer.h"
#include "db_cdbdatum.h"
#include "os_coslog.h"

namespace {

// True (logged) when the capability has no datum here.
bool Unsupported(const CDbDatum* a_pdbdatum, EDBID a_edbid) {
  if (a_pdbdatum) return false;
  OsLog(OS_LOG_ERROR, "Unsupported id...%d", a_edbid);
  return true;
}

}  // namespace

long CDatabase::GetCurrentLongFromId(EDBID a_edbid) { return GetCurrentLong(Find(a_edbid)); }

long CDatabase::GetDefaultLongFromId(EDBID a_edbid) { return GetDefaultLong(Find(a_edbid)); }

long CDatabase::GetRestoreLongFromId(EDBID a_edbid) { return GetRestoreLong(Find(a_edbid)); }

EDBSTS CDatabase::SetCurrentLongFromId(EDBID a_edbid, long a_lValue, bool a_blOnlyThis) {
  return SetCurrentLong(Find(a_edbid), a_lValue, a_blOnlyThis);
}

EDBSTS CDatabase::ForceCurrentLongFromId(EDBID a_edbid, long a_lValue) {
  return ForceCurrentLong(Find(a_edbid), a_lValue);
}

EDBSTS CDatabase::ResetCurrentFromId(EDBID a_edbid) {
  OsLogDebug(OS_LOG_INFO, ">>> CDatabase::ResetCurrentFromId()");
  CDbDatum* pdbdatum = Find(a_edbid);
  if (Unsupported(pdbdatum, a_edbid)) return DB_STS_FAIL;
  return ResetCurrent(pdbdatum);
}

const char* CDatabase::GetCurrentStringFromId(EDBID a_edbid) {
  CDbDatum* pdbdatum = Find(a_edbid);
  return Unsupported(pdbdatum, a_edbid) ? nullptr : pdbdatum->GetCurrentString();
}

const char* CDatabase::GetCurrentStringNoCallback(EDBID a_edbid) {
  CDbDatum* pdbdatum = Find(a_edbid);
  return pdbdatum ? pdbdatum->GetCurrentStringNoCallback() : nullptr;
}

// The store of the datum itself, and the pass only after a store.
EDBSTS CDatabase::SetCurrentStringFromId(EDBID a_edbid, const char* a_szValue) {
  return StoreStringFromId(a_edbid, a_szValue, &CDbDatum::SetCurrentString);
}

EDBSTS CDatabase::ForceCurrentStringFromId(EDBID a_edbid, const char* a_szValue) {
  return StoreStringFromId(a_edbid, a_szValue, &CDbDatum::ForceCurrentString);
}

EDBSTS CDatabase::StoreStringFromId(EDBID a_edbid, const char* a_szValue, EOSSTS (CDbDatum::*a_pfnStore)(const char*)) {
  CDbDatum* pdbdatum = Find(a_edbid);
  if (Unsupported(pdbdatum, a_edbid)) return DB_STS_FAIL;
  const EDBSTS edbsts = static_cast<EDBSTS>((pdbdatum->*a_pfnStore)(a_szValue));
  if (edbsts == DB_STS_SUCCESS) FixCurrentAll(pdbdatum);
  return edbsts;
}

EDBCONTAINERTYPE CDatabase::GetContainerTypeFromId(EDBID a_edbid) {
  if (a_edbid == DB_ID_UNDEFINED) return static_cast<EDBCONTAINERTYPE>(0);
  CDbDatum* pdbdatum = Find(a_edbid);
  return pdbdatum ? pdbdatum->GetContainerType() : static_cast<EDBCONTAINERTYPE>(0);
}

EDBACCESS CDatabase::GetAccessFromId(EDBID a_edbid, EDBBIN a_edbbin) {
  if (a_edbid == DB_ID_UNDEFINED) return DB_ACCESS_NOTSUPPORTED;
  CDbDatum* pdbdatum = a_edbbin == DB_BIN_LAST ? Find(a_edbid) : FindInBin(a_edbbin, a_edbid);
  return pdbdatum ? pdbdatum->GetAccess() : DB_ACCESS_NOTSUPPORTED;
}

long CDatabase::GetCurrentLongFromIdBin(EDBID a_edbid, EDBBIN a_edbbin) {
  return GetCurrentLong(FindInBin(a_edbbin, a_edbid));
}

EDBSTS CDatabase::SetCurrentLongFromIdBin(EDBID a_edbid, EDBBIN a_edbbin, long a_lValue) {
  return SetCurrentLong(FindInBin(a_edbbin, a_edbid), a_lValue, false);
}

// The constraint is the master's, asked for the datum's window.
EDBSTS CDatabase::ValidateLongFromId(EDBID a_edbid, long a_lValue) {
  CDbDatum* pdbdatum = Find(a_edbid);
  if (Unsupported(pdbdatum, a_edbid)) return DB_STS_FAIL;
  if (pdbdatum->GetCurrentLong() == a_lValue) return DB_STS_SUCCESS;
  CDbDatum* pdbdatumMaster = dbcontainer::Master(pdbdatum);
  if (CDbRange* pdbrange = dbcontainer::AsRange(pdbdatumMaster))
    return static_cast<EDBSTS>(pdbrange->Validate(pdbdatum->GetWindow(), a_lValue));
  if (CDbEnum* pdbenum = dbcontainer::AsEnum(pdbdatumMaster))
    return static_cast<EDBSTS>(pdbenum->Validate(pdbdatum->GetWindow(), a_lValue));
  OsLog(OS_LOG_ERROR, "Bad container...%d", pdbdatum->GetContainerType());
  return DB_STS_BADCONTAINER;
}

// ---------------------------------------------------------------------------
// Lengths and counts
// ---------------------------------------------------------------------------
size_t CDatabase::StringGetMaxLength(EDBID a_edbid) {
  CDbDatum* pdbdatum = Find(a_edbid);
  if (Unsupported(pdbdatum, a_edbid)) return 0;
  if (pdbdatum->GetContainerType() != DB_CONTAINERTYPE_STRING) {
    OsLog(OS_LOG_ERROR, "a_edbid not a string...%d", a_edbid);
    return 0;
  }
  return pdbdatum->GetSizetMaxString();
}

long CDatabase::EnumGetCurrentItemCount(EDBID a_edbid) {
  CDbDatum* pdbdatum = Find(a_edbid);
  if (Unsupported(pdbdatum, a_edbid)) return 0;
  // The datum may be a window's copy: the list is its master's.
  return EnumGetItemCount(pdbdatum);
}
