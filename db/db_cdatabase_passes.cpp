// The database-wide passes over every accessible window-0 datum: the fix-up
// after a change (flat: a set made inside it starts no pass of its own), the
// access pass, the default reset of one datum, the undo point with its
// restore, and the comparison of a list with its profile's.
#include "db_cdatabase.h"
#include "db_cdbcontainer.h"
#include "db_cdbdatum.h"
#include "db_cdblookup.h"
#include "db_cdbprofilelist.h"
#include "os_coslog.h"

using dbcontainer::AsEnum;

namespace {

// Groups never restored: the meters, and the values read from the scanner
// itself (firmware, serial number, time and date...).
constexpr uint64_t s_u64GroupMeters = DB_GROUP_METER;
constexpr uint64_t s_u64GroupFromScanner = DB_GROUP_DEVICE;

bool UnrecognizedContainer(CDbDatum* a_pdbdatum) {
  OsLog(OS_LOG_ERROR, "Unrecognized container type...%d %d", a_pdbdatum->GetId(), a_pdbdatum->GetContainerType());
  return false;
}

// A datum's own operation through the container it was made with.
bool FixCurrentOf(CDbDatum* a_pdbdatum) {
  return dbcontainer::ByContainer(a_pdbdatum, [](auto* a_pcontainer) { a_pcontainer->FixCurrent(); }) ||
         UnrecognizedContainer(a_pdbdatum);
}

bool FixAccessOf(CDbDatum* a_pdbdatum) {
  return dbcontainer::ByContainer(a_pdbdatum, [](auto* a_pcontainer) { a_pcontainer->FixAccess(); }) ||
         UnrecognizedContainer(a_pdbdatum);
}

// The walk of every accessible window-0 datum: ids ascending, bins 1..5.
template <class Visit>
void EveryDatum(Visit a_visit) {
  for (CDbDatum* pdbdatum = CDbDatum::DbDatumFindFirst(); pdbdatum; pdbdatum = CDbDatum::DbDatumFindNext(pdbdatum))
    a_visit(pdbdatum);
}

// The copies of the accessible window-0 datums in windows 1 to 10, each
// with its master: the window-0 walk never reaches them, yet they hold
// values of their own.
template <class Visit>
void EveryWindowCopy(const DbDatumCommon* a_ptable, Visit a_visit) {
  for (CDbDatum* pdbdatum = CDbDatum::DbDatumFindFirst(); pdbdatum; pdbdatum = CDbDatum::DbDatumFindNext(pdbdatum)) {
    for (int iWindow = 1; iWindow < DB_WINDOW_COUNT; ++iWindow) {
      CDbDatum* pdbdatumCopy = a_ptable->apdbdatum[iWindow][pdbdatum->GetId()][pdbdatum->GetBin()];
      if (pdbdatumCopy && pdbdatumCopy != a_ptable->pdbdatumBlank && pdbdatumCopy != pdbdatum)
        a_visit(pdbdatumCopy, pdbdatum);
    }
  }
}

// The fix-up's walk: the rows of window 0 read in place, each slot when the
// pass reaches it (a rule may change the access of a datum further on).
// It visits what DbDatumFindFirst and DbDatumFindNext visit, without their
// search from the last datum at every step: a set runs several passes.
bool s_blFixUpTableWalk = false;

void EveryDatumInRows(const DbDatumCommon* a_ptable, bool (*a_pfnVisit)(CDbDatum*)) {
  for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
    CDbDatum* const* ppdbdatumRow = a_ptable->apdbdatum[0][iId];
    for (int iBin = DB_BIN_MACHINE; iBin <= DB_BIN_COLOR_REAR; ++iBin) {
      CDbDatum* pdbdatum = ppdbdatumRow[iBin];
      if (pdbdatum && pdbdatum->GetAccess() != DB_ACCESS_NOTSUPPORTED) a_pfnVisit(pdbdatum);
    }
  }
}

bool Restorable(const CDbDatum* a_pdbdatum) {
  const DbLookup2* pdblookup2 = a_pdbdatum->GetLookup();
  if (!pdblookup2 || pdblookup2->edbid == DB_ID_UNDEFINED) return false;
  return pdblookup2->lTwainGroup != s_u64GroupMeters && pdblookup2->lTwainGroup != s_u64GroupFromScanner;
}

}  // namespace

// ---------------------------------------------------------------------------
// Fix-up
// ---------------------------------------------------------------------------
// Runs once, in id order: a capability that depends on a higher id sees that
// id's value as it was before the pass reached it.
//
// A rule may change the paper source (long paper, patch toggling): the rules
// of lower ids follow it at once, but those after it in the pass saw only the
// change that started it, so every access is worked out once more.
void CDatabase::FixCurrentAll(CDbDatum* a_pdbdatumChanged) {
  if (!Table() || CDbDatum::TestDbState(DB_STATE_FIXUP)) return;
  CDbDatum::SetDbState(DB_STATE_FIXUP);
  if (a_pdbdatumChanged) {
    a_pdbdatumChanged->SetModified();
  } else {
    CDbDatum::ClearModified();
  }
  CDbDatum* pdbdatumSource = FindDirect(DB_BIN_MACHINE, DB_ID_PAPERSOURCE);
  if (pdbdatumSource && (pdbdatumSource == a_pdbdatumChanged || pdbdatumSource->GetAccess() == DB_ACCESS_NOTSUPPORTED))
    pdbdatumSource = nullptr;
  const long lSource = pdbdatumSource ? pdbdatumSource->GetCurrentLongNoCallback() : 0;
  if (s_blFixUpTableWalk) {
    EveryDatum(FixCurrentOf);
  } else {
    EveryDatumInRows(Table(), FixCurrentOf);
  }
  CDbDatum::ClearModified();
  if (pdbdatumSource && pdbdatumSource->GetCurrentLongNoCallback() != lSource) {
    OsLogDebug(OS_LOG_INFO, "db>>> a rule changed the paper source, access follows...%ld %ld", lSource,
               pdbdatumSource->GetCurrentLongNoCallback());
    FixAccessAll();
  }
  CDbDatum::ClearDbState(DB_STATE_FIXUP);
}

void CDatabase::SetFixUpWalkSeam(bool a_blTableWalk) { s_blFixUpTableWalk = a_blTableWalk; }

// A rule sees the same marker and state bit as in a pass. Inside a running
// pass (a rule's own set), the pass's marker and bit are given back after.
void CDatabase::FixCurrentOnly(CDbDatum* a_pdbdatumChanged) {
  CDbDatum* pdbdatumMaster = dbcontainer::Master(a_pdbdatumChanged);
  if (!Table() || !pdbdatumMaster) {
    OsLog(OS_LOG_ERROR, "master not found...");
    return;
  }
  const bool blInPass = CDbDatum::TestDbState(DB_STATE_FIXUP);
  CDbDatum* pdbdatumOuter = CDbDatum::GetModified();
  CDbDatum::SetDbState(DB_STATE_FIXUP);
  a_pdbdatumChanged->SetModified();
  FixCurrentOf(pdbdatumMaster);
  if (pdbdatumOuter) {
    pdbdatumOuter->SetModified();
  } else {
    CDbDatum::ClearModified();
  }
  if (!blInPass) CDbDatum::ClearDbState(DB_STATE_FIXUP);
}

void CDatabase::FixAccessAll() {
  if (Table()) EveryDatum(FixAccessOf);
}

void CDatabase::FixDefaultReset(CDbDatum* a_pdbdatum) {
  if (!a_pdbdatum) {
    OsLog(OS_LOG_ERROR, "a_hdbdatum is NULL");
    return;
  }
  if (!dbcontainer::ByContainer(a_pdbdatum, [](auto* a_pcontainer) { a_pcontainer->FixDefaultReset(); }))
    UnrecognizedContainer(a_pdbdatum);
}

// ---------------------------------------------------------------------------
// Undo point
// ---------------------------------------------------------------------------
void CDatabase::Remember(CDbDatum* a_pdbdatum) {
  if (a_pdbdatum) a_pdbdatum->Remember();
}

void CDatabase::RememberAll() {
  if (!Table()) return;
  if (m_pdbprofilelist) {
    m_pdbprofilelist->Remember();
  } else {
    OsLog(OS_LOG_ERROR, "m_pdbprofilelist is null...");
  }
  EveryDatum([](CDbDatum* a_pdbdatum) { a_pdbdatum->Remember(); });
  EveryWindowCopy(Table(), [](CDbDatum* a_pdbdatumCopy, CDbDatum*) { a_pdbdatumCopy->Remember(); });
}

void CDatabase::RestoreAll() {
  if (!Table()) return;
  if (m_pdbprofilelist) {
    m_pdbprofilelist->Restore();
  } else {
    OsLog(OS_LOG_ERROR, "m_pdbprofilelist is null...");
  }
  EveryDatum([](CDbDatum* a_pdbdatum) {
    if (Restorable(a_pdbdatum)) a_pdbdatum->Restore();
  });
  EveryWindowCopy(Table(), [](CDbDatum* a_pdbdatumCopy, CDbDatum* a_pdbdatumMaster) {
    if (Restorable(a_pdbdatumMaster)) a_pdbdatumCopy->Restore();
  });
  FixAccessAll();
}

// ---------------------------------------------------------------------------
// Profile container
// ---------------------------------------------------------------------------
void CDatabase::CompareProfileContainer(CDbDatum* a_pdbdatum) {
  if (!a_pdbdatum) {
    OsLog(OS_LOG_ERROR, "a_hdbdatum is NULL");
    return;
  }
  CDbEnum* pdbenum = AsEnum(a_pdbdatum);
  CDbEnum* pdbenumProfile = pdbenum ? pdbenum->GetProfileContainer() : nullptr;
  const DbLookup2* pdblookup2 = a_pdbdatum->GetLookup();
  if (!pdbenumProfile || !pdblookup2 || (pdblookup2->lTwainGroup & DB_GROUP_PROFILE) == 0) return;
  const long lCount = pdbenum->GetCurrentItemCount();
  for (long l = 0; l < lCount; ++l) {
    if (pdbenum->GetCurrentItem(l) != pdbenumProfile->GetCurrentItem(l)) {
      NotifySet(DB_NOTIFY_PROFILES, a_pdbdatum);
      return;
    }
  }
  NotifyReset(DB_NOTIFY_PROFILES, a_pdbdatum);
}
