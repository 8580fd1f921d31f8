// The datum: construction and registration in the shared table, the set-up
// and release of the block's shared objects, look-ups and walks, access,
// state bits and the modified marker. Values are in db_cdbdatum_value.cpp,
// task output and the default fix in db_cdbdatum_xml.cpp.
#include "db_cdbdatum.h"

#include <atomic>


#include "db_cdbnotify.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosxmltask.h"

DbDatumCommon* CDbDatum::ms_pdatumcommon = nullptr;
bool CDbDatum::blFirstPass = true;

namespace {

constexpr size_t s_sizetDbMakeXml = 0x10000;

bool ValidSlot(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin) {
  return a_edbidwindow >= 0 && a_edbidwindow < DB_WINDOW_COUNT && a_edbid >= 0 && a_edbid < DB_ID_COUNT &&
         a_edbbin >= 0 && a_edbbin < DB_BIN_COUNT;
}

// The slot of a window, id and bin, or null (logged) for one outside the
// table or without a table.
CDbDatum** Slot(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin) {
  DbDatumCommon* pdatumcommon = CDbDatum::ms_pdatumcommon;
  if (!pdatumcommon) {
    OsLog(OS_LOG_ERROR, "ms_pdatumcommon is null...");
    return nullptr;
  }
  if (!ValidSlot(a_edbidwindow, a_edbid, a_edbbin)) {
    if (a_edbidwindow < 0 || a_edbidwindow >= DB_WINDOW_COUNT) {
      OsLog(OS_LOG_ERROR, "Bad a_edbidwindow...%d %d %d", a_edbidwindow, a_edbbin, a_edbid);
    } else if (a_edbbin < 0 || a_edbbin >= DB_BIN_COUNT) {
      OsLog(OS_LOG_ERROR, "Bad a_edbbin...%d %d %d", a_edbidwindow, a_edbbin, a_edbid);
    } else {
      OsLog(OS_LOG_ERROR, "Bad a_edbid...%d %d %d", a_edbidwindow, a_edbbin, a_edbid);
    }
    return nullptr;
  }
  return &pdatumcommon->apdbdatum[a_edbidwindow][a_edbid][a_edbbin];
}

CDbDatum* At(int a_iWindow, int a_iId, int a_iBin) {
  return CDbDatum::ms_pdatumcommon->apdbdatum[a_iWindow][a_iId][a_iBin];
}

// The walks of window 0: ids 1..252 and, within an id, bins 1..5 (or one
// bin), starting after the given id and bin.
enum EWalk { WALK_ACCESSIBLE, WALK_ALL };

CDbDatum* Walk(int a_iId, int a_iBin, int a_iBinFirst, int a_iBinLast, EWalk a_ewalk) {
  DbDatumCommon* pdatumcommon = CDbDatum::ms_pdatumcommon;
  if (!pdatumcommon) return nullptr;
  if (a_iId < DB_ID_FIRST) {
    a_iId = DB_ID_FIRST;
    a_iBin = a_iBinFirst;
  }
  // Every pass steps through all of window 0 this way: one row per id.
  int iBin = a_iBin < a_iBinFirst ? a_iBinFirst : a_iBin;
  for (int iId = a_iId; iId <= DB_ID_FINAL; ++iId, iBin = a_iBinFirst) {
    CDbDatum* const* ppdbdatumRow = pdatumcommon->apdbdatum[0][iId];
    for (; iBin <= a_iBinLast; ++iBin) {
      CDbDatum* pdbdatum = ppdbdatumRow[iBin];
      if (pdbdatum && (a_ewalk == WALK_ALL || pdbdatum->GetAccess() != DB_ACCESS_NOTSUPPORTED)) return pdbdatum;
    }
  }
  return nullptr;
}

// The walk after a datum; none for a datum of another window.
CDbDatum* WalkAfter(CDbDatum* a_pdbdatum, bool a_blOneBin, EWalk a_ewalk) {
  if (!a_pdbdatum || a_pdbdatum->GetWindow() != 0) return nullptr;
  int iBin = a_pdbdatum->GetBin();
  if (a_blOneBin) {
    if (iBin < 0 || iBin >= DB_BIN_COUNT) return nullptr;
    return Walk(a_pdbdatum->GetId() + 1, iBin, iBin, iBin, a_ewalk);
  }
  if (iBin + 1 >= DB_BIN_COUNT) return Walk(a_pdbdatum->GetId() + 1, DB_BIN_MACHINE, DB_BIN_MACHINE, DB_BIN_COLOR_REAR, a_ewalk);
  return Walk(a_pdbdatum->GetId(), iBin + 1, DB_BIN_MACHINE, DB_BIN_COLOR_REAR, a_ewalk);
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction and registration
// ---------------------------------------------------------------------------
CDbDatum::CDbDatum()
    : m_edbidwindow(0),
      m_edbid(DB_ID_UNDEFINED),
      m_edbbin(DB_BIN_SEARCH),
      m_szName(nullptr),
      m_edbdatatype(static_cast<EDBDATATYPE>(0)),
      m_edbcontainertype(static_cast<EDBCONTAINERTYPE>(0)),
      m_edbcontainertypeObject(static_cast<EDBCONTAINERTYPE>(0)),
      m_edbdevicedata(DB_DEVICEDATA_NONE),
      m_edbaccess(DB_ACCESS_NOTSUPPORTED),
      m_pdblookup2(nullptr),
      m_lCurrent(0),
      m_lDefault(0),
      m_lRestore(0),
      m_lPrevious(0),
      m_lProfile(0),
      m_sizetMaxString(0),
      m_szCurrent(nullptr),
      m_szDefault(nullptr),
      m_szRestore(nullptr),
      m_szPrevious(nullptr),
      m_szProfile(nullptr),
      m_apfndbcallback{},
      m_apvCallbackUser{} {
  InitStatic(false);
}

CDbDatum::CDbDatum(EDBID a_edbid, EDBBIN a_edbbin) : CDbDatum() { InitCDbDatum(a_edbid, a_edbbin, nullptr); }

CDbDatum::CDbDatum(EDBID a_edbid, EDBBIN a_edbbin, CDbDatum* a_pdbdatum) : CDbDatum() {
  InitCDbDatum(a_edbid, a_edbbin, a_pdbdatum);
}

// The master must exist for the copy to take its identity; without it the
// copy keeps a zero identity (and reads as unsupported).
CDbDatum::CDbDatum(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin) : CDbDatum() {
  CDbDatum** ppdbdatum = Slot(a_edbidwindow, a_edbid, a_edbbin);
  if (!ppdbdatum) return;
  m_edbidwindow = a_edbidwindow;
  m_edbid = a_edbid;
  m_edbbin = a_edbbin;
  *ppdbdatum = this;
  CDbDatum* pdbdatumMaster = At(0, a_edbid, a_edbbin);
  if (!pdbdatumMaster) {
    OsLog(OS_LOG_ERROR, "master not found...%d %d %d", a_edbidwindow, a_edbid, a_edbbin);
    return;
  }
  m_szName = pdbdatumMaster->m_szName;
  m_edbdatatype = pdbdatumMaster->m_edbdatatype;
  m_edbcontainertype = pdbdatumMaster->m_edbcontainertype;
  m_edbdevicedata = pdbdatumMaster->m_edbdevicedata;
}

CDbDatum::~CDbDatum() = default;

// Only the containers know what differs; a plain datum is never asked.
bool CDbDatum::Compare(long, long) {
  OsLog(OS_LOG_ERROR, "Should never called this virtual function in dbdatum...");
  return false;
}

void CDbDatum::InitCDbDatum(EDBID a_edbid, EDBBIN a_edbbin, CDbDatum* a_pdbdatum) {
  InitStatic(false);
  CDbDatum** ppdbdatum = Slot(0, a_edbid, a_edbbin);
  if (ppdbdatum) *ppdbdatum = a_pdbdatum ? a_pdbdatum : this;
}

// The first datum constructed after a database allocated its block sets up
// the block's shared objects; without a block there is nothing to set up.
void CDbDatum::InitStatic(bool a_blFirstPass) {
  if (a_blFirstPass) {
    blFirstPass = true;
    return;
  }
  if (!blFirstPass || !ms_pdatumcommon) return;
  blFirstPass = false;
  DbDatumCommon* pdatumcommon = ms_pdatumcommon;
  std::atomic_ref<int64_t>(pdatumcommon->lState).store(0);
  pdatumcommon->pdbdatumModified = nullptr;
  pdatumcommon->lWindowCount = DB_WINDOW_COUNT;
  pdatumcommon->pdbnotify = OsMemNew(CDbNotify);
  if (!pdatumcommon->pdbnotify) {
    OsLog(OS_LOG_ASSERT, "OsMemNew failed...");
    return;
  }
  pdatumcommon->posxmltask = OsMemNewAt<COsXmlTask>(__FILE__, __LINE__, "DbMakeXml", "DbMakeXml", s_sizetDbMakeXml);
  if (!pdatumcommon->posxmltask) {
    OsLog(OS_LOG_ASSERT, "OsMemNew failed...");
    return;
  }
  pdatumcommon->pdbdatumBlank = OsMemNew(CDbDatum);
  if (!pdatumcommon->pdbdatumBlank) OsLog(OS_LOG_ASSERT, "OsMemNew failed...");
}

void CDbDatum::Shutdown() {
  DbDatumCommon* pdatumcommon = ms_pdatumcommon;
  if (pdatumcommon) {
    OsMemDelete(pdatumcommon->pdbnotify);
    OsMemDelete(pdatumcommon->posxmltask);
    OsMemDelete(pdatumcommon->pdbdatumBlank);
    OsMemFree(pdatumcommon);
    ms_pdatumcommon = nullptr;
  }
  blFirstPass = true;
}

// ---------------------------------------------------------------------------
// Look-ups and walks
// ---------------------------------------------------------------------------
CDbDatum* CDbDatum::DbDatumFind(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin) {
  CDbDatum** ppdbdatum = Slot(a_edbidwindow, a_edbid, a_edbbin);
  if (!ppdbdatum) return nullptr;
  return *ppdbdatum ? *ppdbdatum : At(0, a_edbid, a_edbbin);
}

CDbDatum* CDbDatum::DbDatumFindQuick(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin) {
  CDbDatum** ppdbdatum = Slot(a_edbidwindow, a_edbid, a_edbbin);
  if (ppdbdatum && *ppdbdatum) return *ppdbdatum;
  return ms_pdatumcommon ? ms_pdatumcommon->pdbdatumBlank : nullptr;
}

CDbDatum* CDbDatum::DbDatumFindFirst() {
  return Walk(DB_ID_FIRST, DB_BIN_MACHINE, DB_BIN_MACHINE, DB_BIN_COLOR_REAR, WALK_ACCESSIBLE);
}

CDbDatum* CDbDatum::DbDatumFindNext(CDbDatum* a_pdbdatum) { return WalkAfter(a_pdbdatum, false, WALK_ACCESSIBLE); }

CDbDatum* CDbDatum::DbDatumFindFirstIgnoreAccess() {
  return Walk(DB_ID_FIRST, DB_BIN_MACHINE, DB_BIN_MACHINE, DB_BIN_COLOR_REAR, WALK_ALL);
}

CDbDatum* CDbDatum::DbDatumFindNextIgnoreAccess(CDbDatum* a_pdbdatum) { return WalkAfter(a_pdbdatum, false, WALK_ALL); }

CDbDatum* CDbDatum::DbDatumFindFirstInBin(EDBBIN a_edbbin) {
  if (a_edbbin < 0 || a_edbbin >= DB_BIN_COUNT) {
    OsLog(OS_LOG_ERROR, "Bad a_edbbin...%d", a_edbbin);
    return nullptr;
  }
  return Walk(DB_ID_FIRST, a_edbbin, a_edbbin, a_edbbin, WALK_ACCESSIBLE);
}

CDbDatum* CDbDatum::DbDatumFindNextInBin(CDbDatum* a_pdbdatum) { return WalkAfter(a_pdbdatum, true, WALK_ACCESSIBLE); }

// ---------------------------------------------------------------------------
// Access and consumers
// ---------------------------------------------------------------------------
EDBACCESS CDbDatum::GetMasterAccess() {
  CDbDatum* pdbdatumMaster = At(0, m_edbid, m_edbbin);
  return pdbdatumMaster && pdbdatumMaster != this ? pdbdatumMaster->m_edbaccess : m_edbaccess;
}

// A datum that becomes supported is stored before it is recorded, since the
// record refuses datums without access.
EDBACCESS CDbDatum::SetAccess(EDBACCESS a_edbaccess) {
  EDBACCESS edbaccessOld = m_edbaccess;
  if (a_edbaccess == edbaccessOld) return edbaccessOld;
  if (a_edbaccess == DB_ACCESS_NOTSUPPORTED) {
    NotifyReset(DB_NOTIFY_ALL);
    m_edbaccess = a_edbaccess;
  } else {
    m_edbaccess = a_edbaccess;
    NotifySet(DB_NOTIFY_ACCESS);
  }
  return edbaccessOld;
}

bool CDbDatum::IsModifiable() {
  switch (m_edbaccess) {
    case DB_ACCESS_READWRITE:
    case DB_ACCESS_READWRITEDISABLED:
    case DB_ACCESS_READWRITEHIDDEN:
      return true;
    case DB_ACCESS_DISABLED:
    case DB_ACCESS_READONLY:
    case DB_ACCESS_READONLYHIDDEN:
      return TestDbState(DB_STATE_LOADING);
    default:
      return false;
  }
}

EDBDEVICEDATA CDbDatum::GetDeviceData() {
  CDbDatum* pdbdatumMaster = ms_pdatumcommon ? DbDatumFind(0, m_edbid, m_edbbin) : nullptr;
  return pdbdatumMaster ? pdbdatumMaster->m_edbdevicedata : m_edbdevicedata;
}

EDBBIN CDbDatum::GetBinOtherSide(EDBBIN a_edbbin) {
  switch (a_edbbin) {
    case DB_BIN_BITONAL_FRONT: return DB_BIN_BITONAL_REAR;
    case DB_BIN_BITONAL_REAR: return DB_BIN_BITONAL_FRONT;
    case DB_BIN_COLOR_FRONT: return DB_BIN_COLOR_REAR;
    case DB_BIN_COLOR_REAR: return DB_BIN_COLOR_FRONT;
    default:
      OsLog(OS_LOG_ERROR, "Unrecognized bin...%d", a_edbbin);
      return a_edbbin;
  }
}

EDBBIN CDbDatum::GetBinSameSide(EDBBIN a_edbbin) {
  switch (a_edbbin) {
    case DB_BIN_BITONAL_FRONT: return DB_BIN_COLOR_FRONT;
    case DB_BIN_BITONAL_REAR: return DB_BIN_COLOR_REAR;
    case DB_BIN_COLOR_FRONT: return DB_BIN_BITONAL_FRONT;
    case DB_BIN_COLOR_REAR: return DB_BIN_BITONAL_REAR;
    default:
      OsLog(OS_LOG_ERROR, "Unrecognized bin...%d", a_edbbin);
      return a_edbbin;
  }
}

// ---------------------------------------------------------------------------
// State bits and the modified marker
// ---------------------------------------------------------------------------
void CDbDatum::SetDbState(EDBSTATE a_edbstate) {
  if (a_edbstate < 1 || a_edbstate > 15) {
    OsLog(OS_LOG_ERROR, "Unrecognized a_edbstate...%d", a_edbstate);
    return;
  }
  if (ms_pdatumcommon) std::atomic_ref<int64_t>(ms_pdatumcommon->lState).fetch_or(int64_t{1} << a_edbstate);
}

void CDbDatum::ClearDbState(EDBSTATE a_edbstate) {
  if (a_edbstate < 1 || a_edbstate > 15) {
    OsLog(OS_LOG_ERROR, "Unrecognized a_edbstate...%d", a_edbstate);
    return;
  }
  if (ms_pdatumcommon) std::atomic_ref<int64_t>(ms_pdatumcommon->lState).fetch_and(~(int64_t{1} << a_edbstate));
}

void CDbDatum::SetModified() {
  if (ms_pdatumcommon) ms_pdatumcommon->pdbdatumModified = this;
}

void CDbDatum::ClearModified() {
  if (ms_pdatumcommon) ms_pdatumcommon->pdbdatumModified = nullptr;
}

bool CDbDatum::WasModified() { return ms_pdatumcommon && ms_pdatumcommon->pdbdatumModified == this; }

// The current window is the value of WINDOW, read without its callback.
bool CDbDatum::WasModifiedWindow() {
  if (!ms_pdatumcommon || !ms_pdatumcommon->pdbdatumModified) return false;
  CDbDatum* pdbdatumWindow = At(0, DB_ID_WINDOW, DB_BIN_MACHINE);
  long lWindow = pdbdatumWindow ? pdbdatumWindow->m_lCurrent : 0;
  if (lWindow < 0 || lWindow >= DB_WINDOW_COUNT || m_edbid < 0 || m_edbid >= DB_ID_COUNT || m_edbbin < 0 ||
      m_edbbin >= DB_BIN_COUNT) {
    return false;
  }
  return At(static_cast<int>(lWindow), m_edbid, m_edbbin) == ms_pdatumcommon->pdbdatumModified;
}

// ---------------------------------------------------------------------------
// The block's shared objects
// ---------------------------------------------------------------------------
void CDbDatum::SetDatabase(CDatabase* a_pdatabase) {
  if (ms_pdatumcommon) ms_pdatumcommon->pdatabase = a_pdatabase;
}

COsXmlTask* CDbDatum::GetDbMakeXml() { return ms_pdatumcommon ? ms_pdatumcommon->posxmltask : nullptr; }

void CDbDatum::SetWindowMax(long a_lWindows) {
  if (a_lWindows < 1 || a_lWindows > DB_WINDOW_COUNT) {
    OsLog(OS_LOG_ERROR, "Bad window count...%ld", a_lWindows);
    return;
  }
  if (ms_pdatumcommon) ms_pdatumcommon->lWindowCount = a_lWindows;
}

// ---------------------------------------------------------------------------
// Notification of this datum
// ---------------------------------------------------------------------------
void CDbDatum::NotifySet(EDBNOTIFY a_edbnotify) {
  if (CDbNotify* pdbnotify = GetDbNotify()) pdbnotify->Set(a_edbnotify, this);
}

void CDbDatum::NotifyReset(EDBNOTIFY a_edbnotify) {
  if (CDbNotify* pdbnotify = GetDbNotify()) pdbnotify->Reset(a_edbnotify, this);
}

void CDbDatum::NotifyMark(EDBNOTIFY a_edbnotify, bool a_blJoin) {
  if (a_blJoin) {
    NotifySet(a_edbnotify);
  } else {
    NotifyReset(a_edbnotify);
  }
}
