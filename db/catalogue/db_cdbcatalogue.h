// The capability catalogue: creates and deletes every capability object of
// the datum table, a row at a time, by one creation rule and one deletion
// step. It keeps no state beyond the table it fills; the database object
// runs it from its constructor and destructor.
#pragma once

#include <cstddef>
#include <span>

#include "db_def.h"

class CDbDatum;

// The level of a capability fixes the bins (and windows) of its objects.
enum EDBLEVEL : int {
  DB_LEVEL_SENTINEL = 0,  // UNDEFINED and LAST: window 0, bins 0 and 1
  DB_LEVEL_MACHINE = 1,   // window 0, bins 0 and 1
  DB_LEVEL_CAMERA = 2,    // window 0, bins 0, 2, 3, 4, 5
  DB_LEVEL_WINDOW = 3,    // as a camera, then a copy in bins 2 to 5 of windows 1 to 10
};

// One capability: what the creation rule needs to make its objects.
struct DbCatalogueRow {
  EDBID edbid;
  const char* szName;                 // the capability's name, shared by all its objects
  const char* szClass;                // "C" + the name, for the debug line
  EDBCONTAINERTYPE edbcontainertype;  // 0 for the sentinels' plain datum
  EDBLEVEL edblevel;
  CDbDatum* (*pfnNew)();              // allocates and constructs one object of the class
  int iSize;                          // bytes of one object of the class
};

// Answers true for a slot whose allocation is to fail as if memory ran out.
typedef bool (*PFNDBCATALOGUEFAIL)(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin);

class CDbCatalogue {
 public:
  // The 250 capabilities in creation order (the lookup source's order).
  static std::span<const DbCatalogueRow> GetRows();
  static const DbCatalogueRow& GetUndefined();
  static const DbCatalogueRow& GetLast();
  // The bins of a level's window-0 objects, in creation order.
  static std::span<const EDBBIN> GetBins(EDBLEVEL a_edblevel);

  // Every object of every row of the level, row after row in creation order.
  static void NewLevel(EDBLEVEL a_edblevel);
  static void DeleteLevel(EDBLEVEL a_edblevel);
  // Every object of one row: its window-0 objects bin by bin, then its
  // window copies. Deletion visits the same slots in the same order.
  static void NewRow(const DbCatalogueRow& a_dbcataloguerow);
  static void DeleteRow(const DbCatalogueRow& a_dbcataloguerow);

  // Seam: null restores plain allocation. Tests use it.
  static void SetAllocationSeam(PFNDBCATALOGUEFAIL a_pfndbcataloguefail);
};
