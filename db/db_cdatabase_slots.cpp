// Datums by slot: the window-0 datum of a bin, the datum of a window and
// bin or of a window-bin, and which capabilities the scanner has. Every
// look-up indexes the table directly.
#include <span>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "os_coslog.h"

namespace {

bool ValidId(EDBID a_edbid) { return a_edbid >= DB_ID_FIRST && a_edbid <= DB_ID_FINAL; }

bool ValidBin(EDBBIN a_edbbin) { return a_edbbin >= DB_BIN_MACHINE && a_edbbin <= DB_BIN_COLOR_REAR; }

bool ValidWindow(EDBID_WINDOW a_edbidwindow) { return a_edbidwindow >= 0 && a_edbidwindow < DB_WINDOW_COUNT; }

bool Accessible(CDbDatum* a_pdbdatum) { return a_pdbdatum && a_pdbdatum->GetAccess() != DB_ACCESS_NOTSUPPORTED; }

// Read-only and read-write count, hidden or not; disabled and hidden do not.
bool Shown(CDbDatum* a_pdbdatum) {
  if (!a_pdbdatum) return false;
  const EDBACCESS edbaccess = a_pdbdatum->GetAccess();
  return edbaccess != DB_ACCESS_NOTSUPPORTED && edbaccess != DB_ACCESS_DISABLED && edbaccess != DB_ACCESS_HIDDEN;
}

constexpr EDBBIN s_aedbbinAll[] = {DB_BIN_MACHINE, DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT,
                                   DB_BIN_COLOR_REAR};
constexpr EDBBIN s_aedbbinColor[] = {DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR};
constexpr EDBBIN s_aedbbinBitonal[] = {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR};

// Whether a window-0 datum of the id in one of the bins passes the test.
template <class Test>
bool AnyMaster(const DbDatumCommon* a_pdatumcommon, EDBID a_edbid, std::span<const EDBBIN> a_spanedbbin,
               Test a_test) {
  if (!a_pdatumcommon || !ValidId(a_edbid)) return false;
  for (EDBBIN edbbin : a_spanedbbin) {
    if (a_test(a_pdatumcommon->apdbdatum[0][a_edbid][edbbin])) return true;
  }
  return false;
}

}  // namespace

CDbDatum* CDatabase::FindDirect(EDBBIN a_edbbin, EDBID a_edbid) {
  if (!ValidBin(a_edbbin)) {
    OsLog(OS_LOG_ERROR, "Bad a_edbbin...%d", a_edbbin);
    return nullptr;
  }
  if (!ValidId(a_edbid)) {
    OsLog(OS_LOG_ERROR, "Bad a_edbid...%d", a_edbid);
    return nullptr;
  }
  const DbDatumCommon* pdatumcommon = Table();
  return pdatumcommon ? pdatumcommon->apdbdatum[0][a_edbid][a_edbbin] : nullptr;
}

CDbDatum* CDatabase::FindInWindowBin(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, EDBID a_edbid) {
  if (!ValidWindow(a_edbidwindow)) {
    OsLog(OS_LOG_ERROR, "Bad a_edbidwindow...%d %d %d", a_edbidwindow, a_edbbin, a_edbid);
    return nullptr;
  }
  if (!ValidBin(a_edbbin)) {
    OsLog(OS_LOG_ERROR, "Bad a_edbbin...%d %d %d", a_edbidwindow, a_edbbin, a_edbid);
    return nullptr;
  }
  if (!ValidId(a_edbid)) {
    OsLog(OS_LOG_ERROR, "Bad a_edbid...%d %d %d", a_edbidwindow, a_edbbin, a_edbid);
    return nullptr;
  }
  return Table() ? CDbDatum::DbDatumFindQuick(a_edbidwindow, a_edbid, a_edbbin) : nullptr;
}

// The window-bin is checked before it is taken apart: a negative one would
// divide into window 0 and a machine bin.
CDbDatum* CDatabase::FindInWindowBin(EDBID_WINDOWBIN a_edbidwindowbin, EDBID a_edbid) {
  if (a_edbidwindowbin < 0 || a_edbidwindowbin >= DB_WINDOWBIN_COUNT) {
    OsLog(OS_LOG_ERROR, "Bad a_edbidwindowbin...%d %d", a_edbidwindowbin, a_edbid);
    return nullptr;
  }
  EDBID_WINDOW edbidwindow = 0;
  EDBBIN edbbin = DB_BIN_SEARCH;
  DecomposeWindowBin(a_edbidwindowbin, &edbidwindow, &edbbin);
  if (!ValidId(a_edbid)) {
    OsLog(OS_LOG_ERROR, "Bad a_edbid...%d %d %d", edbidwindow, edbbin, a_edbid);
    return nullptr;
  }
  if (!Table()) return nullptr;
  CDbDatum* pdbdatum = CDbDatum::DbDatumFind(edbidwindow, a_edbid, edbbin);
  if (Accessible(pdbdatum)) return pdbdatum;
  pdbdatum = CDbDatum::DbDatumFind(edbidwindow, a_edbid, DB_BIN_MACHINE);
  if (Accessible(pdbdatum)) return pdbdatum;
  if (g_poslog && g_poslog->GetDebugFind())
    OsLog(OS_LOG_FIND, "edbid not found...%d windowbin:%d", a_edbid, a_edbidwindowbin);
  return nullptr;
}

// ---------------------------------------------------------------------------
// Support tests: no datum returned, nothing logged
// ---------------------------------------------------------------------------
bool CDatabase::IsIdSupported(EDBID a_edbid) { return AnyMaster(Table(), a_edbid, s_aedbbinAll, Accessible); }

bool CDatabase::IsIdSupportedAndNotHidden(EDBID a_edbid) { return AnyMaster(Table(), a_edbid, s_aedbbinAll, Shown); }

bool CDatabase::IsIdColor(EDBID a_edbid) {
  return AnyMaster(Table(), a_edbid, s_aedbbinColor, Accessible);
}

bool CDatabase::IsIdBitonal(EDBID a_edbid) {
  return AnyMaster(Table(), a_edbid, s_aedbbinBitonal, Accessible);
}
