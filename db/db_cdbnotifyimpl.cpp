// The notification tables: recording and clearing by kind, and the walks in
// their fixed order (value and profiles: window 0 with bins 1..5, then
// windows 1..10 with bins 2..5; access and constraint: bins 1..5; sides and
// images: ids; ids 1..252 within each).
#include <cstring>

#include "db_cdbnotifyimpl.h"
#include "os_coslog.h"

namespace {

constexpr int s_aiKinds[] = {DB_NOTIFY_VALUE,    DB_NOTIFY_ACCESS, DB_NOTIFY_CONSTRAINT,
                             DB_NOTIFY_PROFILES, DB_NOTIFY_SIDES,  DB_NOTIFY_IMAGES};

// The lowest kind bit of a set, or 0.
int LowestKind(EDBNOTIFY a_edbnotify) {
  for (int iKind : s_aiKinds) {
    if (a_edbnotify & iKind) return iKind;
  }
  return 0;
}

bool PerWindow(int a_iKind) { return a_iKind == DB_NOTIFY_VALUE || a_iKind == DB_NOTIFY_PROFILES; }
bool PerBin(int a_iKind) { return PerWindow(a_iKind) || a_iKind == DB_NOTIFY_ACCESS || a_iKind == DB_NOTIFY_CONSTRAINT; }
bool Counted(int a_iKind) { return a_iKind == DB_NOTIFY_SIDES || a_iKind == DB_NOTIFY_IMAGES; }

constexpr int s_iAllKinds = DB_NOTIFY_VALUE | DB_NOTIFY_ACCESS | DB_NOTIFY_CONSTRAINT | DB_NOTIFY_PROFILES |
                            DB_NOTIFY_SIDES | DB_NOTIFY_IMAGES;

// Each kind bit of a set, lowest first (the order of s_aiKinds). Every
// store of a value records at least one kind, so only the bits that are
// set are visited.
template <class Visit>
void EachKind(EDBNOTIFY a_edbnotify, Visit a_visit) {
  for (int iRest = a_edbnotify & s_iAllKinds; iRest; iRest &= iRest - 1) a_visit(iRest & -iRest);
}

// First bin of a window in the walks.
int FirstBin(int a_iKind, int a_iWindow) {
  return PerWindow(a_iKind) && a_iWindow > 0 ? DB_BIN_BITONAL_FRONT : DB_BIN_MACHINE;
}

}  // namespace

CDbDatum** CDbNotifyImpl::Slot(int a_iKind, EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, EDBID a_edbid) {
  return SlotOf(a_iKind, a_edbidwindow, a_edbbin, a_edbid);
}

// Inline in Record, which every store of a value reaches.
inline CDbDatum** CDbNotifyImpl::SlotOf(int a_iKind, EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, EDBID a_edbid) {
  bool blWindowOk = !PerWindow(a_iKind) || (a_edbidwindow >= 0 && a_edbidwindow < DB_WINDOW_COUNT);
  bool blBinOk = !PerBin(a_iKind) || (a_edbbin >= 0 && a_edbbin < DB_BIN_COUNT);
  if (!blWindowOk || !blBinOk || a_edbid < 0 || a_edbid >= DB_NOTIFY_IDS) {
    OsLog(OS_LOG_ERROR, "Bad a_edbid...%d %d %d", a_edbidwindow, a_edbbin, a_edbid);
    return nullptr;
  }
  switch (a_iKind) {
    case DB_NOTIFY_VALUE: return &m_apdbdatumValue[a_edbidwindow][a_edbbin][a_edbid];
    case DB_NOTIFY_ACCESS: return &m_apdbdatumAccess[a_edbbin][a_edbid];
    case DB_NOTIFY_CONSTRAINT: return &m_apdbdatumConstraint[a_edbbin][a_edbid];
    case DB_NOTIFY_PROFILES: return &m_apdbdatumProfiles[a_edbidwindow][a_edbbin][a_edbid];
    case DB_NOTIFY_SIDES: return &m_apdbdatumSides[a_edbid];
    case DB_NOTIFY_IMAGES: return &m_apdbdatumImages[a_edbid];
    default: return nullptr;
  }
}

// The fill count of the row a slot lies in; null outside the tables.
uint16_t* CDbNotifyImpl::FilledOf(int a_iKind, EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin) {
  if (PerWindow(a_iKind) && (a_edbidwindow < 0 || a_edbidwindow >= DB_WINDOW_COUNT)) return nullptr;
  if (PerBin(a_iKind) && (a_edbbin < 0 || a_edbbin >= DB_BIN_COUNT)) return nullptr;
  switch (a_iKind) {
    case DB_NOTIFY_VALUE: return &m_au16FilledValue[a_edbidwindow][a_edbbin];
    case DB_NOTIFY_ACCESS: return &m_au16FilledAccess[a_edbbin];
    case DB_NOTIFY_CONSTRAINT: return &m_au16FilledConstraint[a_edbbin];
    case DB_NOTIFY_PROFILES: return &m_au16FilledProfiles[a_edbidwindow][a_edbbin];
    case DB_NOTIFY_SIDES: return &m_u16FilledSides;
    case DB_NOTIFY_IMAGES: return &m_u16FilledImages;
    default: return nullptr;
  }
}

// One kind for one datum; access and constraint hold the master.
void CDbNotifyImpl::Record(int a_iKind, CDbDatum* a_pdbdatum, bool a_blSet) {
  CDbDatum** ppdbdatum = SlotOf(a_iKind, a_pdbdatum->GetWindow(), a_pdbdatum->GetBin(), a_pdbdatum->GetId());
  if (!ppdbdatum) return;
  CDbDatum* pdbdatum = a_pdbdatum;
  if (a_blSet && (a_iKind == DB_NOTIFY_ACCESS || a_iKind == DB_NOTIFY_CONSTRAINT)) {
    CDbDatum* pdbdatumMaster = CDbDatum::DbDatumFind(0, a_pdbdatum->GetId(), a_pdbdatum->GetBin());
    if (pdbdatumMaster) pdbdatum = pdbdatumMaster;
  }
  uint64_t* pu64Count = a_iKind == DB_NOTIFY_SIDES ? &m_u64SidesCount : &m_u64ImagesCount;
  if (Counted(a_iKind)) {
    if (a_blSet && !*ppdbdatum) ++*pu64Count;
    if (!a_blSet && *ppdbdatum) --*pu64Count;
  }
  CDbDatum* pdbdatumNew = a_blSet ? pdbdatum : nullptr;
  if (!*ppdbdatum != !pdbdatumNew) {
    uint16_t* pu16Filled = FilledOf(a_iKind, a_pdbdatum->GetWindow(), a_pdbdatum->GetBin());
    if (pu16Filled) *pu16Filled = static_cast<uint16_t>(pdbdatumNew ? *pu16Filled + 1 : *pu16Filled - 1);
  }
  *ppdbdatum = pdbdatumNew;
}

void CDbNotifyImpl::Set(EDBNOTIFY a_edbnotify, CDbDatum* a_pdbdatum) {
  if (!a_pdbdatum) {
    OsLog(OS_LOG_ERROR, "a_hdbdatum is NULL...");
    return;
  }
  if (a_pdbdatum->GetAccess() == DB_ACCESS_NOTSUPPORTED) {
    OsLog(OS_LOG_ERROR, "access is undefined...");
    return;
  }
  EachKind(a_edbnotify, [&](int a_iKind) { Record(a_iKind, a_pdbdatum, true); });
}

void CDbNotifyImpl::Reset(EDBNOTIFY a_edbnotify, CDbDatum* a_pdbdatum) {
  if (!a_pdbdatum) {
    OsLog(OS_LOG_ERROR, "a_hdbdatum is NULL...");
    return;
  }
  EachKind(a_edbnotify, [&](int a_iKind) { Record(a_iKind, a_pdbdatum, false); });
}

void CDbNotifyImpl::SetAll(EDBNOTIFY a_edbnotify) {
  for (CDbDatum* pdbdatum = CDbDatum::DbDatumFindFirst(); pdbdatum; pdbdatum = CDbDatum::DbDatumFindNext(pdbdatum)) {
    EachKind(a_edbnotify, [&](int a_iKind) { Record(a_iKind, pdbdatum, true); });
  }
}

namespace {

// Empties the rows of a table that hold anything (every task clears the
// value and constraint tables, mostly empty, before it runs).
template <size_t N>
void ClearRows(CDbDatum* (*a_appdbdatum)[DB_NOTIFY_IDS], uint16_t* a_au16Filled) {
  for (size_t sizet = 0; sizet < N; ++sizet) {
    if (!a_au16Filled[sizet]) continue;
    std::memset(a_appdbdatum[sizet], 0, sizeof a_appdbdatum[sizet]);
    a_au16Filled[sizet] = 0;
  }
}

}  // namespace

void CDbNotifyImpl::ResetAll(EDBNOTIFY a_edbnotify) {
  constexpr size_t s_sizetWindowRows = DB_WINDOW_COUNT * DB_BIN_COUNT;
  if (a_edbnotify & DB_NOTIFY_VALUE) ClearRows<s_sizetWindowRows>(m_apdbdatumValue[0], m_au16FilledValue[0]);
  if (a_edbnotify & DB_NOTIFY_ACCESS) ClearRows<DB_BIN_COUNT>(m_apdbdatumAccess, m_au16FilledAccess);
  if (a_edbnotify & DB_NOTIFY_CONSTRAINT) ClearRows<DB_BIN_COUNT>(m_apdbdatumConstraint, m_au16FilledConstraint);
  if (a_edbnotify & DB_NOTIFY_PROFILES)
    ClearRows<s_sizetWindowRows>(m_apdbdatumProfiles[0], m_au16FilledProfiles[0]);
  if (a_edbnotify & DB_NOTIFY_SIDES) {
    ClearRows<1>(&m_apdbdatumSides, &m_u16FilledSides);
    m_u64SidesCount = 0;
  }
  if (a_edbnotify & DB_NOTIFY_IMAGES) {
    ClearRows<1>(&m_apdbdatumImages, &m_u16FilledImages);
    m_u64ImagesCount = 0;
  }
}

CDbDatum* CDbNotifyImpl::Get(EDBNOTIFY a_edbnotify, EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, EDBID a_edbid) {
  int iKind = LowestKind(a_edbnotify);
  if (!iKind) return nullptr;
  CDbDatum** ppdbdatum = Slot(iKind, a_edbidwindow, a_edbbin, a_edbid);
  return ppdbdatum ? *ppdbdatum : nullptr;
}

// The first filled slot at or after a position of the walk of one kind.
CDbDatum* CDbNotifyImpl::WalkFrom(int a_iKind, EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, EDBID a_edbid) {
  const int iWindowLast = PerWindow(a_iKind) ? DB_WINDOW_COUNT - 1 : 0;
  const int iBinLast = PerBin(a_iKind) ? DB_BIN_COLOR_REAR : DB_BIN_MACHINE;
  for (int iWindow = a_edbidwindow; iWindow <= iWindowLast; ++iWindow) {
    int iBinFirst = PerBin(a_iKind) ? FirstBin(a_iKind, iWindow) : DB_BIN_MACHINE;
    int iBinStart = iWindow == a_edbidwindow && a_edbbin > iBinFirst ? a_edbbin : iBinFirst;
    for (int iBin = iBinStart; iBin <= iBinLast; ++iBin) {
      int iIdStart = iWindow == a_edbidwindow && iBin == a_edbbin && a_edbid > DB_ID_FIRST ? a_edbid : DB_ID_FIRST;
      // The ids of a kind, window and bin lie side by side: one row read
      // in place (a report walks every row of the kind).
      const uint16_t* pu16Filled = FilledOf(a_iKind, iWindow, static_cast<EDBBIN>(iBin));
      if (pu16Filled && !*pu16Filled) continue;
      CDbDatum* const* ppdbdatumRow = SlotOf(a_iKind, iWindow, static_cast<EDBBIN>(iBin), DB_ID_UNDEFINED);
      if (!ppdbdatumRow) continue;
      for (int iId = iIdStart; iId <= DB_ID_FINAL; ++iId) {
        if (CDbDatum* pdbdatum = ppdbdatumRow[iId]) return pdbdatum;
      }
    }
  }
  return nullptr;
}

CDbDatum* CDbNotifyImpl::GetFirst(EDBNOTIFY a_edbnotify) {
  int iKind = LowestKind(a_edbnotify);
  return iKind ? WalkFrom(iKind, 0, DB_BIN_MACHINE, static_cast<EDBID>(DB_ID_FIRST)) : nullptr;
}

// After the datum's own position: the rest of its bin, the later bins of its
// window, then the later windows.
CDbDatum* CDbNotifyImpl::GetNext(EDBNOTIFY a_edbnotify, CDbDatum* a_pdbdatum) {
  if (!a_pdbdatum) {
    OsLog(OS_LOG_ERROR, "a_hdbdatum is NULL...");
    return nullptr;
  }
  int iKind = LowestKind(a_edbnotify);
  EDBID_WINDOW edbidwindow = a_pdbdatum->GetWindow();
  if (!iKind || edbidwindow < 0 || edbidwindow >= DB_WINDOW_COUNT) return nullptr;
  if (!PerWindow(iKind)) edbidwindow = 0;
  EDBBIN edbbin = PerBin(iKind) ? a_pdbdatum->GetBin() : DB_BIN_MACHINE;
  if (edbbin < 0) return nullptr;
  if (a_pdbdatum->GetId() >= DB_ID_FINAL) {
    // Nothing left in this bin: the next bin, or the next window's first.
    if (edbbin >= DB_BIN_COLOR_REAR || !PerBin(iKind)) {
      if (edbidwindow + 1 > (PerWindow(iKind) ? DB_WINDOW_COUNT - 1 : 0)) return nullptr;
      return WalkFrom(iKind, edbidwindow + 1, DB_BIN_SEARCH, DB_ID_UNDEFINED);
    }
    return WalkFrom(iKind, edbidwindow, static_cast<EDBBIN>(edbbin + 1), DB_ID_UNDEFINED);
  }
  return WalkFrom(iKind, edbidwindow, edbbin, static_cast<EDBID>(a_pdbdatum->GetId() + 1));
}
