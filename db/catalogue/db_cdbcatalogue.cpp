// The catalogue's rows, checked when compiling, and the creation rule and
// deletion step that every capability object and sentinel goes through.
#include "db_cdbcatalogue.h"

#include <new>
#include <type_traits>

#include "db_capabilities.h"
#include "db_cdbdatum.h"
#include "os_coslog.h"

namespace {

// The lines are the database object's own: its members run the catalogue.
constexpr char s_szSource[] = "db_cdatabase";

template <class T>
CDbDatum* NewObject() {
  return new T();
}

template <class T>
constexpr EDBCONTAINERTYPE ContainerOf() {
  if constexpr (std::is_base_of_v<CDbEnum, T>) return DB_CONTAINERTYPE_ENUM;
  if constexpr (std::is_base_of_v<CDbRange, T>) return DB_CONTAINERTYPE_RANGE;
  if constexpr (std::is_base_of_v<CDbString, T>) return DB_CONTAINERTYPE_STRING;
  return static_cast<EDBCONTAINERTYPE>(0);
}

template <class T>
constexpr DbCatalogueRow Row(EDBID a_edbid, const char* a_szName, const char* a_szClass, EDBLEVEL a_edblevel) {
  return {a_edbid, a_szName, a_szClass, ContainerOf<T>(), a_edblevel, &NewObject<T>, static_cast<int>(sizeof(T))};
}

#define DB_CATALOGUE_CLASS_OWN(NAME, CONTAINER) C##NAME
#define DB_CATALOGUE_CLASS_UNIT(NAME, CONTAINER) C##NAME
#define DB_CATALOGUE_CLASS_NONE(NAME, CONTAINER) CONTAINER
#define DB_CATALOGUE_ROW(NAME, CONTAINER, LEVEL, RULES) \
  Row<DB_CATALOGUE_CLASS_##RULES(NAME, CONTAINER)>(DB_ID_##NAME, #NAME, "C" #NAME, DB_LEVEL_##LEVEL),

constexpr DbCatalogueRow s_adbcataloguerow[] = {DB_CATALOGUE_ROWS(DB_CATALOGUE_ROW)};
constexpr DbCatalogueRow s_dbcataloguerowUndefined =
    Row<CDbDatum>(DB_ID_UNDEFINED, "UNDEFINED", "CUNDEFINED", DB_LEVEL_SENTINEL);
constexpr DbCatalogueRow s_dbcataloguerowLast = Row<CDbDatum>(DB_ID_LAST, "LAST", "CLAST", DB_LEVEL_SENTINEL);

#undef DB_CATALOGUE_ROW
#undef DB_CATALOGUE_CLASS_NONE
#undef DB_CATALOGUE_CLASS_UNIT
#undef DB_CATALOGUE_CLASS_OWN

constexpr EDBBIN s_aedbbinMachine[] = {DB_BIN_SEARCH, DB_BIN_MACHINE};
constexpr EDBBIN s_aedbbinCamera[] = {DB_BIN_SEARCH, DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT,
                                      DB_BIN_COLOR_REAR};
// The cameras of a window copy, in windows 1 to 10.
constexpr EDBBIN s_aedbbinCopy[] = {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR};

constexpr std::span<const EDBBIN> BinsOf(EDBLEVEL a_edblevel) {
  if (a_edblevel == DB_LEVEL_CAMERA || a_edblevel == DB_LEVEL_WINDOW) return s_aedbbinCamera;
  return s_aedbbinMachine;
}

constexpr bool InTable(int a_iId, std::span<const EDBBIN> a_spanedbbin) {
  if (a_iId < 0 || a_iId >= DB_ID_COUNT) return false;
  for (EDBBIN edbbin : a_spanedbbin) {
    if (edbbin < 0 || edbbin >= DB_BIN_COUNT) return false;
  }
  return true;
}

// Every row lands inside the table, names a capability (1..252) once, and
// the levels hold the numbers of capabilities and objects the database is
// built with.
constexpr bool RowsAreSound() {
  if (!InTable(s_dbcataloguerowUndefined.edbid, BinsOf(DB_LEVEL_SENTINEL)) ||
      !InTable(s_dbcataloguerowLast.edbid, BinsOf(DB_LEVEL_SENTINEL)) || !InTable(0, s_aedbbinCopy))
    return false;
  bool ablSeen[DB_ID_COUNT] = {};
  int aiRows[4] = {};
  for (const DbCatalogueRow& row : s_adbcataloguerow) {
    if (!InTable(row.edbid, BinsOf(row.edblevel)) || row.edbid < DB_ID_FIRST || row.edbid > DB_ID_FINAL) return false;
    if (ablSeen[row.edbid] || row.edbcontainertype == 0) return false;
    ablSeen[row.edbid] = true;
    ++aiRows[row.edblevel];
  }
  const int iMachine = aiRows[DB_LEVEL_MACHINE] * static_cast<int>(std::size(s_aedbbinMachine));
  const int iCamera = aiRows[DB_LEVEL_CAMERA] * static_cast<int>(std::size(s_aedbbinCamera));
  const int iWindow = aiRows[DB_LEVEL_WINDOW] * static_cast<int>(std::size(s_aedbbinCamera) +
                                                                 (DB_WINDOW_COUNT - 1) * std::size(s_aedbbinCopy));
  return aiRows[DB_LEVEL_SENTINEL] == 0 && iMachine == 342 && iCamera == 355 && iWindow == 360;
}
static_assert(RowsAreSound(), "a catalogue row lies outside the datum table, repeats an id or upsets a level");

PFNDBCATALOGUEFAIL s_pfndbcataloguefail = nullptr;

CDbDatum*& SlotOf(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin) {
  return CDbDatum::ms_pdatumcommon->apdbdatum[a_edbidwindow][a_edbid][a_edbbin];
}

void Allocating(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin) {
  if (s_pfndbcataloguefail && s_pfndbcataloguefail(a_edbidwindow, a_edbid, a_edbbin)) throw std::bad_alloc();
}

bool DebugOn() { return g_poslog && g_poslog->GetDebugLevel(); }

// Written for every object, made or not: a failed one shows a null address.
void LogNew(CDbDatum* a_pdbdatum, int a_iSize, const char* a_szClass) {
  if (DebugOn())
    g_poslog->Message(s_szSource, __LINE__, OS_LOG_INFO, "mem>>> addr:%p  size:%7d  new %s",
                      static_cast<void*>(a_pdbdatum), a_iSize, a_szClass);
}

// The creation rule: a failure empties the slot and is reported nowhere.
void NewMaster(const DbCatalogueRow& a_dbcataloguerow, EDBBIN a_edbbin) {
  const EDBID edbid = a_dbcataloguerow.edbid;
  CDbDatum*& pdbdatumSlot = SlotOf(0, edbid, a_edbbin);
  CDbDatum* pdbdatum = nullptr;
  try {
    Allocating(0, edbid, a_edbbin);
    pdbdatum = a_dbcataloguerow.pfnNew();
    pdbdatum->InitCDbDatum(edbid, a_edbbin, pdbdatum);
  } catch (...) {
    delete pdbdatum;
    pdbdatum = nullptr;
    pdbdatumSlot = nullptr;
  }
  if (pdbdatum) {
    pdbdatum->SetId(edbid);
    pdbdatum->SetBin(a_edbbin);
    pdbdatumSlot = pdbdatum;
    pdbdatum->SetName(a_dbcataloguerow.szName);
  }
  LogNew(pdbdatumSlot, a_dbcataloguerow.iSize, a_dbcataloguerow.szClass);
}

// A window copy takes its identity from its window-0 master; without one
// there is nothing to copy, and the copy stays empty like a failed one.
void NewCopy(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin) {
  CDbDatum*& pdbdatumSlot = SlotOf(a_edbidwindow, a_edbid, a_edbbin);
  if (SlotOf(0, a_edbid, a_edbbin)) {
    try {
      Allocating(a_edbidwindow, a_edbid, a_edbbin);
      pdbdatumSlot = new CDbDatum(a_edbidwindow, a_edbid, a_edbbin);
    } catch (...) {
      pdbdatumSlot = nullptr;
    }
  }
  LogNew(pdbdatumSlot, static_cast<int>(sizeof(CDbDatum)), "CDbDatum");
}

// The deletion step; the slot is emptied so that nothing can reach the
// object again.
void DeleteSlot(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin) {
  CDbDatum*& pdbdatumSlot = SlotOf(a_edbidwindow, a_edbid, a_edbbin);
  CDbDatum* pdbdatum = pdbdatumSlot;
  if (!pdbdatum) return;
  if (DebugOn())
    g_poslog->Message(s_szSource, __LINE__, OS_LOG_INFO, "mem>>> addr:%p delete-object", static_cast<void*>(pdbdatum));
  pdbdatumSlot = nullptr;
  delete pdbdatum;
}

// The window copies of a row: windows 1 to 10, each with its four cameras.
template <class Step>
void ForEachCopy(const DbCatalogueRow& a_dbcataloguerow, Step a_step) {
  if (a_dbcataloguerow.edblevel != DB_LEVEL_WINDOW) return;
  for (EDBID_WINDOW edbidwindow = 1; edbidwindow < DB_WINDOW_COUNT; ++edbidwindow) {
    for (EDBBIN edbbin : s_aedbbinCopy) a_step(edbidwindow, a_dbcataloguerow.edbid, edbbin);
  }
}

}  // namespace

std::span<const DbCatalogueRow> CDbCatalogue::GetRows() { return s_adbcataloguerow; }

const DbCatalogueRow& CDbCatalogue::GetUndefined() { return s_dbcataloguerowUndefined; }

const DbCatalogueRow& CDbCatalogue::GetLast() { return s_dbcataloguerowLast; }

std::span<const EDBBIN> CDbCatalogue::GetBins(EDBLEVEL a_edblevel) { return BinsOf(a_edblevel); }

void CDbCatalogue::NewLevel(EDBLEVEL a_edblevel) {
  for (const DbCatalogueRow& row : s_adbcataloguerow) {
    if (row.edblevel == a_edblevel) NewRow(row);
  }
}

void CDbCatalogue::DeleteLevel(EDBLEVEL a_edblevel) {
  for (const DbCatalogueRow& row : s_adbcataloguerow) {
    if (row.edblevel == a_edblevel) DeleteRow(row);
  }
}

// Without a table (the database could not allocate it) there is nothing to
// fill or empty.
void CDbCatalogue::NewRow(const DbCatalogueRow& a_dbcataloguerow) {
  if (!CDbDatum::ms_pdatumcommon) return;
  for (EDBBIN edbbin : BinsOf(a_dbcataloguerow.edblevel)) NewMaster(a_dbcataloguerow, edbbin);
  ForEachCopy(a_dbcataloguerow, NewCopy);
}

void CDbCatalogue::DeleteRow(const DbCatalogueRow& a_dbcataloguerow) {
  if (!CDbDatum::ms_pdatumcommon) return;
  for (EDBBIN edbbin : BinsOf(a_dbcataloguerow.edblevel)) DeleteSlot(0, a_dbcataloguerow.edbid, edbbin);
  ForEachCopy(a_dbcataloguerow, DeleteSlot);
}

void CDbCatalogue::SetAllocationSeam(PFNDBCATALOGUEFAIL a_pfndbcataloguefail) {
  s_pfndbcataloguefail = a_pfndbcataloguefail;
}
