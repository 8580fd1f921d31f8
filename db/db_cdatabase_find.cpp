// Finding datums in the current window and camera: by capability, by bin,
// by name; the datums of the other side and the other colour mode and the
// datums a change is linked to; the current window and window-bin.
#include <strings.h>

#include <initializer_list>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "os_coslog.h"

namespace {

bool ValidId(EDBID a_edbid) { return a_edbid >= DB_ID_FIRST && a_edbid <= DB_ID_FINAL; }

bool IsCamera(EDBBIN a_edbbin) { return a_edbbin >= DB_BIN_BITONAL_FRONT && a_edbbin <= DB_BIN_COLOR_REAR; }

bool Accessible(CDbDatum* a_pdbdatum) { return a_pdbdatum && a_pdbdatum->GetAccess() != DB_ACCESS_NOTSUPPORTED; }

bool DebugFind() { return g_poslog && g_poslog->GetDebugFind(); }

// The accessible datum of a window, id and bin (a window without a datum
// of its own gives window 0's), or none.
CDbDatum* AccessibleIn(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin) {
  CDbDatum* pdbdatum = CDbDatum::DbDatumFind(a_edbidwindow, a_edbid, a_edbbin);
  return Accessible(pdbdatum) ? pdbdatum : nullptr;
}

bool BadId(EDBID a_edbid) {
  if (ValidId(a_edbid)) return false;
  OsLog(OS_LOG_ERROR, "Bad a_edbid...%d", a_edbid);
  return true;
}

bool NoDatum(const CDbDatum* a_pdbdatum) {
  if (a_pdbdatum) return false;
  OsLog(OS_LOG_ERROR, "Bad a_hdbdatum...");
  return true;
}

// A value of a capability found by Find, or the fallback without it.
long ValueOr(CDatabase& a_database, EDBID a_edbid, long a_lFallback) {
  CDbDatum* pdbdatum = a_database.Find(a_edbid);
  return pdbdatum ? pdbdatum->GetCurrentLong() : a_lFallback;
}

}  // namespace

// ---------------------------------------------------------------------------
// The current window and window-bin: read from their masters directly, since
// Find itself asks for them
// ---------------------------------------------------------------------------
EDBID_WINDOW CDatabase::GetWindow() {
  if (!Table()) return 0;
  CDbDatum* pdbdatum = CDbDatum::DbDatumFind(0, DB_ID_WINDOW, DB_BIN_MACHINE);
  return pdbdatum ? static_cast<EDBID_WINDOW>(pdbdatum->GetCurrentLong()) : 0;
}

EDBID_WINDOW CDatabase::GetWindow(CDbDatum* a_pdbdatum) { return a_pdbdatum ? a_pdbdatum->GetWindow() : GetWindow(); }

EDBID_WINDOWBIN CDatabase::GetWindowBin() {
  if (!Table()) return 0;
  CDbDatum* pdbdatum = CDbDatum::DbDatumFind(0, DB_ID_WINDOWBIN, DB_BIN_MACHINE);
  return pdbdatum ? static_cast<EDBID_WINDOWBIN>(pdbdatum->GetCurrentLong()) : 0;
}

// A window-bin outside the table is logged by the map and counts as
// camera 0, never as an index outside 0..3.
long CDatabase::GetCameraIndex() {
  const EDBBIN edbbin = GetBinFromWindowBin(GetWindowBin());
  return IsCamera(edbbin) ? edbbin - DB_BIN_BITONAL_FRONT : 0;
}

// ---------------------------------------------------------------------------
// Look-ups
// ---------------------------------------------------------------------------
CDbDatum* CDatabase::Find(EDBID a_edbid) {
  if (BadId(a_edbid) || !Table()) return nullptr;
  const EDBID_WINDOW edbidwindow = GetWindow();
  if (CDbDatum* pdbdatum = AccessibleIn(edbidwindow, a_edbid, DB_BIN_MACHINE)) return pdbdatum;
  const EDBBIN edbbin = GetBinFromWindowBin(GetWindowBin());
  if (IsCamera(edbbin)) {
    if (CDbDatum* pdbdatum = AccessibleIn(edbidwindow, a_edbid, edbbin)) return pdbdatum;
  }
  if (DebugFind()) OsLog(OS_LOG_FIND, "edbid not found...%d camera:%d", a_edbid, edbbin);
  return nullptr;
}

CDbDatum* CDatabase::FindInBin(EDBBIN a_edbbin, EDBID a_edbid) {
  if (a_edbbin < DB_BIN_MACHINE || a_edbbin > DB_BIN_COLOR_REAR) {
    OsLog(OS_LOG_ERROR, "Bad a_edbbin...%d %d", a_edbbin, a_edbid);
    return nullptr;
  }
  if (BadId(a_edbid) || !Table()) return nullptr;
  if (CDbDatum* pdbdatum = AccessibleIn(GetWindow(), a_edbid, a_edbbin)) return pdbdatum;
  if (DebugFind()) OsLog(OS_LOG_FIND, "edbid not found...%d camera:%d", a_edbid, a_edbbin);
  return nullptr;
}

CDbDatum* CDatabase::FindMachineOrBin(EDBBIN a_edbbin, EDBID a_edbid) {
  if (!IsCamera(a_edbbin)) {
    OsLog(OS_LOG_ERROR, "Bad a_edbbin...%d %d", a_edbbin, a_edbid);
    return nullptr;
  }
  if (BadId(a_edbid) || !Table()) return nullptr;
  const EDBID_WINDOW edbidwindow = GetWindow();
  if (CDbDatum* pdbdatum = AccessibleIn(edbidwindow, a_edbid, DB_BIN_MACHINE)) return pdbdatum;
  return AccessibleIn(edbidwindow, a_edbid, a_edbbin);
}

// The names are those of the index entries (bin 0) of the current window.
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
    if (CDbDatum* pdbdatum = AccessibleIn(edbidwindow, edbid, DB_BIN_MACHINE)) return pdbdatum;
    if (CDbDatum* pdbdatum = AccessibleIn(edbidwindow, edbid, a_edbbin)) return pdbdatum;
    if (DebugFind()) OsLog(OS_LOG_FIND, "edbid not found...%d bin:%d", iId, a_edbbin);
    return nullptr;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Other sides and streams
// ---------------------------------------------------------------------------
CDbDatum* CDatabase::GetDatumOtherSide(CDbDatum* a_pdbdatum) {
  if (NoDatum(a_pdbdatum)) return nullptr;
  return FindInBin(GetBinOtherSide(a_pdbdatum->GetBin()), a_pdbdatum->GetId());
}

CDbDatum* CDatabase::GetDatumSameSide(CDbDatum* a_pdbdatum) {
  if (NoDatum(a_pdbdatum)) return nullptr;
  return FindInBin(GetBinSameSide(a_pdbdatum->GetBin()), a_pdbdatum->GetId());
}

bool CDatabase::IsCurrentOtherSideMatch(CDbDatum* a_pdbdatum) {
  return IsValueMatch(a_pdbdatum, GetDatumOtherSide(a_pdbdatum));
}

bool CDatabase::IsCurrentOtherStreamMatch(CDbDatum* a_pdbdatum) {
  return IsValueMatch(a_pdbdatum, GetDatumSameSide(a_pdbdatum));
}

CDbDatum* CDatabase::GetLinkedImage(CDbDatum* a_pdbdatum) {
  if (NoDatum(a_pdbdatum)) return nullptr;
  if (ValueOr(*this, DB_ID_IMAGESDIFFERENT, DB_ID_IMAGESDIFFERENT_ENUM_TRUE) == DB_ID_IMAGESDIFFERENT_ENUM_TRUE)
    return nullptr;
  CDbDatum* pdbdatumOther = GetDatumSameSide(a_pdbdatum);
  return pdbdatumOther != a_pdbdatum ? pdbdatumOther : nullptr;
}

// GUI requests link the sides only while the sides may not differ and, for
// the cameras themselves, only for two-sided input.
CDbDatum* CDatabase::GetLinkedSide(CDbDatum* a_pdbdatum) {
  if (NoDatum(a_pdbdatum)) return nullptr;
  if (CDbDatum::TestDbState(DB_STATE_GUI)) {
    if (ValueOr(*this, DB_ID_SIDESDIFFERENT, DB_ID_SIDESDIFFERENT_ENUM_TRUE) == DB_ID_SIDESDIFFERENT_ENUM_TRUE)
      return nullptr;
    const long lInput = ValueOr(*this, DB_ID_INPUTDOCUMENT, DB_ID_INPUTDOCUMENT_ENUM_TWOSIDED);
    if (lInput != DB_ID_INPUTDOCUMENT_ENUM_TWOSIDED && a_pdbdatum->GetId() == DB_ID_CAMERAENABLE) return nullptr;
  } else if (ValueOr(*this, DB_ID_SIDESDIFFERENT, DB_ID_SIDESDIFFERENT_ENUM_FALSE) == DB_ID_SIDESDIFFERENT_ENUM_TRUE) {
    return nullptr;
  }
  CDbDatum* pdbdatumOther = GetDatumOtherSide(a_pdbdatum);
  return pdbdatumOther != a_pdbdatum ? pdbdatumOther : nullptr;
}

CDbDatum* CDatabase::IsAnyWasModified(EDBID a_edbid) {
  for (EDBBIN edbbin : {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR}) {
    CDbDatum* pdbdatum = FindInBin(edbbin, a_edbid);
    if (pdbdatum && pdbdatum->WasModified()) return pdbdatum;
  }
  return nullptr;
}
