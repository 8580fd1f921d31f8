// The enumeration, range and string operations of the database. Each checks
// the container either on the datum or on its master (the window-0 datum of
// its id and bin, which holds the constraint of every window), and acts on
// one of the two: the current list and the bounds are the master's, the
// default list the datum's own. A per-window copy carries its master's
// container type but no list of its own: its lists are its master's.
#include "db_cdatabase.h"
#include "db_cdbcontainer.h"
#include "db_cdbdatum.h"
#include "os_coslog.h"

using dbcontainer::AsEnum;
using dbcontainer::AsRange;
using dbcontainer::Master;

namespace {

bool NoDatum(const CDbDatum* a_pdbdatum, const char* a_szMessage = "a_hdbdatum is NULL...") {
  if (a_pdbdatum) return false;
  OsLog(OS_LOG_ERROR, "%s", a_szMessage);
  return true;
}

// The checks of the container type and the access, each logged with the
// capability's name (or, for ranges, its id).
bool IsEnum(CDatabase& a_database, CDbDatum* a_pdbdatum) {
  if (NoDatum(a_pdbdatum)) return false;
  if (a_pdbdatum->GetContainerType() == DB_CONTAINERTYPE_ENUM) return true;
  OsLog(OS_LOG_ERROR, "%s isn't a CENUM...", a_database.GetName(a_pdbdatum));
  return false;
}

bool IsRange(CDbDatum* a_pdbdatum) {
  if (NoDatum(a_pdbdatum)) return false;
  if (a_pdbdatum->GetContainerType() == DB_CONTAINERTYPE_RANGE) return true;
  OsLog(OS_LOG_ERROR, "a_hdbdatum not a range...%d", a_pdbdatum->GetId());
  return false;
}

bool InDatabase(CDatabase& a_database, CDbDatum* a_pdbdatum) {
  if (a_pdbdatum->GetAccess() != DB_ACCESS_NOTSUPPORTED) return true;
  OsLog(OS_LOG_ERROR, "%s isn't in this database...", a_database.GetName(a_pdbdatum));
  return false;
}

// The datum's own enumeration (a per-window copy's is its master's).
CDbEnum* OwnEnum(CDatabase& a_database, CDbDatum* a_pdbdatum, const char* a_szNotEnum = nullptr) {
  if (NoDatum(a_pdbdatum)) return nullptr;
  if (CDbEnum* pdbenum = AsEnum(a_pdbdatum)) return pdbenum;
  if (a_pdbdatum->GetContainerType() == DB_CONTAINERTYPE_ENUM) {
    if (CDbEnum* pdbenum = AsEnum(Master(a_pdbdatum))) return pdbenum;
  }
  if (a_szNotEnum) {
    OsLog(OS_LOG_ERROR, "%s", a_szNotEnum);
  } else {
    OsLog(OS_LOG_ERROR, "%s isn't a CENUM...", a_database.GetName(a_pdbdatum));
  }
  return nullptr;
}

// The master's enumeration, the container checked on the master.
CDbEnum* MasterEnum(CDatabase& a_database, CDbDatum* a_pdbdatum, const char* a_szNotEnum = nullptr) {
  if (NoDatum(a_pdbdatum)) return nullptr;
  CDbDatum* pdbdatumMaster = Master(a_pdbdatum);
  return OwnEnum(a_database, pdbdatumMaster ? pdbdatumMaster : a_pdbdatum, a_szNotEnum);
}

// The master's enumeration, the container checked on the datum.
CDbEnum* MasterEnumOfEnum(CDatabase& a_database, CDbDatum* a_pdbdatum) {
  return IsEnum(a_database, a_pdbdatum) ? AsEnum(Master(a_pdbdatum)) : nullptr;
}

CDbRange* MasterRangeOfRange(CDbDatum* a_pdbdatum) {
  return IsRange(a_pdbdatum) ? AsRange(Master(a_pdbdatum)) : nullptr;
}

template <class Get>
long RangeGet(CDbDatum* a_pdbdatum, Get a_get) {
  CDbRange* pdbrange = MasterRangeOfRange(a_pdbdatum);
  return pdbrange ? a_get(pdbrange) : 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Enumerations
// ---------------------------------------------------------------------------
long CDatabase::EnumGetCurrentItemCount(CDbDatum* a_pdbdatum) {
  CDbEnum* pdbenum = OwnEnum(*this, a_pdbdatum);
  return pdbenum ? pdbenum->GetCurrentItemCount() : 0;
}

long CDatabase::EnumGetCurrentItem(CDbDatum* a_pdbdatum, long a_lIndex) {
  CDbEnum* pdbenum = OwnEnum(*this, a_pdbdatum);
  return pdbenum ? pdbenum->GetCurrentItem(a_lIndex) : 0;
}

long CDatabase::EnumGetItemCount(CDbDatum* a_pdbdatum) {
  if (!IsEnum(*this, a_pdbdatum) || !InDatabase(*this, a_pdbdatum)) return 0;
  CDbEnum* pdbenum = AsEnum(Master(a_pdbdatum));
  return pdbenum ? pdbenum->GetCurrentItemCount() : 0;
}

long CDatabase::EnumGetItem(CDbDatum* a_pdbdatum, long a_lIndex) {
  CDbEnum* pdbenum = MasterEnumOfEnum(*this, a_pdbdatum);
  return pdbenum ? pdbenum->GetCurrentItem(a_lIndex) : 0;
}

EDBSTS CDatabase::EnumAddItem(CDbDatum* a_pdbdatum, long a_lValue) {
  if (NoDatum(a_pdbdatum)) return DB_STS_FAIL;
  CDbEnum* pdbenum = MasterEnum(*this, a_pdbdatum);
  return pdbenum ? static_cast<EDBSTS>(pdbenum->AddCurrentItem(a_lValue)) : DB_STS_BADCONTAINER;
}

EDBSTS CDatabase::EnumDeleteItem(CDbDatum* a_pdbdatum, long a_lValue) {
  if (NoDatum(a_pdbdatum)) return DB_STS_FAIL;
  CDbEnum* pdbenum = MasterEnumOfEnum(*this, a_pdbdatum);
  return pdbenum ? static_cast<EDBSTS>(pdbenum->DeleteCurrentItem(a_lValue)) : DB_STS_BADCONTAINER;
}

EDBSTS CDatabase::EnumDeleteAllItems(CDbDatum* a_pdbdatum) {
  if (NoDatum(a_pdbdatum)) return DB_STS_FAIL;
  CDbEnum* pdbenum = MasterEnum(*this, a_pdbdatum, "a_hdbdatum is not an enumeration...");
  if (!pdbenum) return DB_STS_BADCONTAINER;
  pdbenum->DeleteAllCurrentItems();
  return DB_STS_SUCCESS;
}

long CDatabase::EnumGetDefaultItemCount(CDbDatum* a_pdbdatum) {
  CDbEnum* pdbenum = MasterEnum(*this, a_pdbdatum);
  return pdbenum && InDatabase(*this, pdbenum) ? pdbenum->GetDefaultItemCount() : 0;
}

long CDatabase::EnumGetDefaultItem(CDbDatum* a_pdbdatum, long a_lIndex) {
  CDbEnum* pdbenum = MasterEnum(*this, a_pdbdatum);
  return pdbenum ? pdbenum->GetDefaultItem(a_lIndex) : 0;
}

EDBSTS CDatabase::EnumAddDefaultItem(CDbDatum* a_pdbdatum, long a_lValue) {
  if (NoDatum(a_pdbdatum)) return DB_STS_FAIL;
  CDbEnum* pdbenum = OwnEnum(*this, a_pdbdatum);
  return pdbenum ? static_cast<EDBSTS>(pdbenum->AddDefaultItem(a_lValue)) : DB_STS_BADCONTAINER;
}

EDBSTS CDatabase::EnumDeleteDefaultItem(CDbDatum* a_pdbdatum, long a_lValue) {
  if (NoDatum(a_pdbdatum)) return DB_STS_FAIL;
  CDbEnum* pdbenum = OwnEnum(*this, a_pdbdatum);
  return pdbenum ? static_cast<EDBSTS>(pdbenum->DeleteDefaultItem(a_lValue)) : DB_STS_BADCONTAINER;
}

EDBSTS CDatabase::EnumDeleteAllDefaultItems(CDbDatum* a_pdbdatum) {
  if (NoDatum(a_pdbdatum)) return DB_STS_BADARGUMENT;
  CDbEnum* pdbenum = OwnEnum(*this, a_pdbdatum, "a_hdbdatum is not an enumeration...");
  if (!pdbenum) return DB_STS_BADCONTAINER;
  pdbenum->DeleteAllDefaultItems();
  return DB_STS_SUCCESS;
}

bool CDatabase::EnumHasCurrentItem(CDbDatum* a_pdbdatum, long a_lValue) {
  CDbEnum* pdbenum = MasterEnum(*this, a_pdbdatum);
  return pdbenum && InDatabase(*this, pdbenum) && pdbenum->HasCurrentItem(a_lValue);
}

bool CDatabase::EnumHasDefaultItem(CDbDatum* a_pdbdatum, long a_lValue) {
  CDbEnum* pdbenum = MasterEnum(*this, a_pdbdatum);
  return pdbenum && InDatabase(*this, pdbenum) && pdbenum->HasDefaultItem(a_lValue);
}

bool CDatabase::EnumIsSelectionList(CDbDatum* a_pdbdatum) {
  CDbEnum* pdbenum = MasterEnumOfEnum(*this, a_pdbdatum);
  return pdbenum && pdbenum->IsSelectionList();
}

// A datum of another container has nothing to match: true.
bool CDatabase::EnumMatchAcrossBins(CDbDatum* a_pdbdatum) {
  CDbEnum* pdbenum = MasterEnumOfEnum(*this, a_pdbdatum);
  return !pdbenum || pdbenum->MatchAcrossBins();
}

// ---------------------------------------------------------------------------
// Ranges
// ---------------------------------------------------------------------------
bool CDatabase::RangeMatchAcrossBins(CDbDatum* a_pdbdatum) {
  CDbRange* pdbrange = MasterRangeOfRange(a_pdbdatum);
  return !pdbrange || pdbrange->MatchAcrossBins();
}

long CDatabase::RangeGetCurrentMin(CDbDatum* a_pdbdatum) {
  return RangeGet(a_pdbdatum, [](CDbRange* a_pdbrange) { return a_pdbrange->GetMin(); });
}

long CDatabase::RangeGetCurrentMax(CDbDatum* a_pdbdatum) {
  return RangeGet(a_pdbdatum, [](CDbRange* a_pdbrange) { return a_pdbrange->GetMax(); });
}

long CDatabase::RangeGetCurrentStep(CDbDatum* a_pdbdatum) {
  return RangeGet(a_pdbdatum, [](CDbRange* a_pdbrange) { return a_pdbrange->GetStep(); });
}

long CDatabase::RangeGetDefaultMin(CDbDatum* a_pdbdatum) {
  return RangeGet(a_pdbdatum, [](CDbRange* a_pdbrange) { return a_pdbrange->GetDefaultMin(); });
}

long CDatabase::RangeGetDefaultMax(CDbDatum* a_pdbdatum) {
  return RangeGet(a_pdbdatum, [](CDbRange* a_pdbrange) { return a_pdbrange->GetDefaultMax(); });
}

long CDatabase::RangeGetDefaultStep(CDbDatum* a_pdbdatum) {
  return RangeGet(a_pdbdatum, [](CDbRange* a_pdbrange) { return a_pdbrange->GetDefaultStep(); });
}

EDBSTS CDatabase::RangeSetDefault(CDbDatum* a_pdbdatum, long a_lValue, long a_lMin, long a_lMax, long a_lStep) {
  if (NoDatum(a_pdbdatum)) return DB_STS_BADARGUMENT;
  CDbRange* pdbrange = AsRange(a_pdbdatum);
  if (!pdbrange) {
    OsLog(OS_LOG_ERROR, "a_hdbdatum not a range...%d", a_pdbdatum->GetId());
    return DB_STS_BADARGUMENT;
  }
  return static_cast<EDBSTS>(pdbrange->SetDefault(a_lValue, a_lMin, a_lMax, a_lStep));
}

// ---------------------------------------------------------------------------
// Strings
// ---------------------------------------------------------------------------
size_t CDatabase::StringGetMaxLength(CDbDatum* a_pdbdatum) {
  if (NoDatum(a_pdbdatum, "a_hdbdatum is null...")) return 0;
  if (a_pdbdatum->GetContainerType() != DB_CONTAINERTYPE_STRING) {
    OsLog(OS_LOG_ERROR, "%s isn't a CSTRING...", GetName(a_pdbdatum));
    return 0;
  }
  return InDatabase(*this, a_pdbdatum) ? a_pdbdatum->GetSizetMaxString() : 0;
}
