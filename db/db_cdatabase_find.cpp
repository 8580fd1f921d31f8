// Finding datums in the current window: by capability name.
#include <strings.h>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "os_coslog.h"

namespace {

bool Accessible(CDbDatum* a_pdbdatum) { return a_pdbdatum && a_pdbdatum->GetAccess() != DB_ACCESS_NOTSUPPORTED; }

}  // namespace

EDBID_WINDOW CDatabase::GetWindow() {
  if (!Table()) return 0;
  CDbDatum* pdbdatum = CDbDatum::DbDatumFind(0, DB_ID_WINDOW, DB_BIN_MACHINE);
  return pdbdatum ? static_cast<EDBID_WINDOW>(pdbdatum->GetCurrentLong()) : 0;
}

CDbDatum* CDatabase::FindFromName(EDBBIN a_edbbin, const char* a_szName) {
  if (!a_szName) {
    OsLog(OS_LOG_ERROR, "a_szName is NULL...");
    return nullptr;
  }
  if (!Table()) return nullptr;
  const EDBID_WINDOW edbidwindow = GetWindow();
  for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
    const EDBID edbid = static_cast<EDBID>(iId);
    CDbDatum* pdbdatumSearch = CDbDatum::DbDatumFind(edbidwindow, edbid, DB_BIN_SEARCH);
    if (!pdbdatumSearch || strcasecmp(GetName(pdbdatumSearch), a_szName) != 0) continue;
    if (a_edbbin == DB_BIN_SEARCH) return pdbdatumSearch;
    CDbDatum* pdbdatumMachine = CDbDatum::DbDatumFind(edbidwindow, edbid, DB_BIN_MACHINE);
    if (Accessible(pdbdatumMachine)) return pdbdatumMachine;
    CDbDatum* pdbdatumBin = CDbDatum::DbDatumFind(edbidwindow, edbid, a_edbbin);
    if (Accessible(pdbdatumBin)) return pdbdatumBin;
    if (g_poslog && g_poslog->GetDebugFind()) OsLog(OS_LOG_FIND, "edbid not found...%d bin:%d", iId, a_edbbin);
    return nullptr;
  }
  return nullptr;
}
