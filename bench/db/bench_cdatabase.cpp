// Cost of a database's life (build with every capability object, load of
// the library's own lookup and default database, destruction) and of the
// look-up of one window-0 datum with a read of its value.
#include <benchmark/benchmark.h>

#include <vector>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "os_cosmem.h"
#include "os_cosresource.h"

namespace {

// Whether the load found the library's resources: the lookup names a
// capability and the default database supports it.
bool Loaded(CDatabase& a_database) {
  CDbDatum* pdbdatum = a_database.FindDirect(DB_BIN_MACHINE, DB_ID_ADFTIMEOUTENABLED);
  return pdbdatum && pdbdatum->GetLookup() && a_database.IsIdSupported(DB_ID_ADFTIMEOUTENABLED);
}

bool LoadLibrary(CDatabase& a_database) {
  return a_database.Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, OS_RESOURCE_LOCAL, false) == DB_STS_SUCCESS &&
         Loaded(a_database);
}

void BM_DatabaseBuildLoadDestroy(benchmark::State& a_state) {
  COsMem osmem(OS_MEM_METHOD_GLOBALALLOC, 1);
  for (auto _ : a_state) {
    CDatabase database;
    if (!LoadLibrary(database)) {
      a_state.SkipWithError("the library's resources did not load");
      break;
    }
  }
}
BENCHMARK(BM_DatabaseBuildLoadDestroy)->Unit(benchmark::kMillisecond);

// The datums a driver reads most, in their bins, one after the other.
void BM_DatabaseFindDirectAndRead(benchmark::State& a_state) {
  COsMem osmem(OS_MEM_METHOD_GLOBALALLOC, 1);
  CDatabase database;
  if (!LoadLibrary(database)) {
    a_state.SkipWithError("the library's resources did not load");
    return;
  }
  const struct {
    EDBBIN edbbin;
    EDBID edbid;
  } aslot[] = {{DB_BIN_MACHINE, DB_ID_WINDOW},        {DB_BIN_BITONAL_FRONT, DB_ID_COMPRESSION},
               {DB_BIN_COLOR_FRONT, DB_ID_BRIGHTNESS}, {DB_BIN_COLOR_REAR, DB_ID_FRAMEWIDTH},
               {DB_BIN_MACHINE, DB_ID_LANGUAGE},      {DB_BIN_BITONAL_REAR, DB_ID_XRESOLUTION}};
  size_t sizet = 0;
  for (auto _ : a_state) {
    const auto& slot = aslot[sizet++ % std::size(aslot)];
    CDbDatum* pdbdatum = database.FindDirect(slot.edbbin, slot.edbid);
    benchmark::DoNotOptimize(pdbdatum->GetCurrentLong());
  }
  a_state.SetItemsProcessed(static_cast<int64_t>(a_state.iterations()));
}
BENCHMARK(BM_DatabaseFindDirectAndRead);

}  // namespace
