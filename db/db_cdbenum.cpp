// The enumeration: its two lists, validation, resets and the match of the
// four cameras. The default fix and the task argument are in
// db_cdbenum_fix.cpp.
#include "db_cdbenum.h"

#include <cstring>
#include <initializer_list>
#include <vector>

#include "db_cdbnotify.h"
#include "os_coslog.h"
#include "os_cosmem.h"

namespace {

long IndexOf(const long* a_plItems, long a_lCount, long a_lItem) {
  for (long l = 0; l < a_lCount; ++l) {
    if (a_plItems[l] == a_lItem) return l;
  }
  return -1;
}

// Removes one item; later items move up and the freed slot becomes 0.
void RemoveAt(long* a_plItems, long& a_lCount, long a_lIndex) {
  std::memmove(a_plItems + a_lIndex, a_plItems + a_lIndex + 1,
               static_cast<size_t>(a_lCount - a_lIndex - 1) * sizeof(long));
  a_plItems[--a_lCount] = 0;
}

long ItemAt(const long* a_plItems, long a_lCount, long a_lIndex) {
  return a_lIndex >= 0 && a_lIndex < a_lCount ? a_plItems[a_lIndex] : 3;
}

}  // namespace

CDbEnum::CDbEnum(bool a_blSelectionList)
    : m_lCurrentCount(0),
      m_alCurrentItems{},
      m_lDefaultCount(0),
      m_alDefaultItems{},
      m_pdbenumProfile(nullptr),
      m_blSelectionList(a_blSelectionList) {
  m_edbcontainertypeObject = DB_CONTAINERTYPE_ENUM;
  InitEnumLong(DB_ID_UNDEFINED, DB_BIN_SEARCH, DB_ACCESS_NOTSUPPORTED, DB_DEVICEDATA_NONE, 0, 0);
}

CDbEnum::CDbEnum(EDBID a_edbid, EDBBIN a_edbbin, bool a_blSelectionList) : CDbEnum(a_blSelectionList) {
  InitCDbDatum(a_edbid, a_edbbin, this);
}

CDbEnum::~CDbEnum() { OsMemDelete(m_pdbenumProfile); }

void CDbEnum::InitEnumLong(EDBID a_edbid, EDBBIN a_edbbin, EDBACCESS a_edbaccess, EDBDEVICEDATA a_edbdevicedata,
                           long a_lCurrent, long a_lDefault) {
  m_edbcontainertype = DB_CONTAINERTYPE_ENUM;
  InitDatumLong(a_edbid, a_edbbin, a_edbaccess, a_edbdevicedata, a_lCurrent, a_lDefault);
  m_lCurrentCount = 0;
  m_lDefaultCount = 0;
  std::memset(m_alCurrentItems, 0, sizeof m_alCurrentItems);
  std::memset(m_alDefaultItems, 0, sizeof m_alDefaultItems);
}

// ---------------------------------------------------------------------------
// The current list
// ---------------------------------------------------------------------------
EOSSTS CDbEnum::AddCurrentItem(long a_lItem) {
  if (IndexOf(m_alCurrentItems, m_lCurrentCount, a_lItem) >= 0) return OS_STS_SUCCESS;
  if (m_lCurrentCount >= s_lItemMax) {
    OsLog(OS_LOG_ERROR, "enumeration overflow...%d", m_edbid);
    return DB_EOSSTS_LISTFULL;
  }
  m_alCurrentItems[m_lCurrentCount++] = a_lItem;
  NotifySet(DB_NOTIFY_CONSTRAINT);
  return OS_STS_SUCCESS;
}

EOSSTS CDbEnum::DeleteCurrentItem(long a_lItem) {
  long lIndex = IndexOf(m_alCurrentItems, m_lCurrentCount, a_lItem);
  if (lIndex < 0) return OS_STS_SUCCESS;
  RemoveAt(m_alCurrentItems, m_lCurrentCount, lIndex);
  if (GetCurrentLong() == a_lItem) SetCurrentLong(m_lCurrentCount > 0 ? m_alCurrentItems[0] : 0);
  NotifySet(DB_NOTIFY_CONSTRAINT);
  return OS_STS_SUCCESS;
}

void CDbEnum::DeleteAllCurrentItems() {
  m_lCurrentCount = 0;
  std::memset(m_alCurrentItems, 0, sizeof m_alCurrentItems);
  NotifySet(DB_NOTIFY_CONSTRAINT);
}

long CDbEnum::GetCurrentItemCount() { return m_lCurrentCount; }

long CDbEnum::GetCurrentItem(long a_lIndex) { return ItemAt(m_alCurrentItems, m_lCurrentCount, a_lIndex); }

bool CDbEnum::HasCurrentItem(long a_lItem) { return IndexOf(m_alCurrentItems, m_lCurrentCount, a_lItem) >= 0; }

// ---------------------------------------------------------------------------
// The default list: changed silently
// ---------------------------------------------------------------------------
EOSSTS CDbEnum::AddDefaultItem(long a_lItem) {
  if (IndexOf(m_alDefaultItems, m_lDefaultCount, a_lItem) >= 0) return OS_STS_SUCCESS;
  if (m_lDefaultCount >= s_lItemMax) return DB_EOSSTS_LISTFULL;
  m_alDefaultItems[m_lDefaultCount++] = a_lItem;
  return OS_STS_SUCCESS;
}

EOSSTS CDbEnum::DeleteDefaultItem(long a_lItem) {
  long lIndex = IndexOf(m_alDefaultItems, m_lDefaultCount, a_lItem);
  if (lIndex < 0) return OS_STS_SUCCESS;
  RemoveAt(m_alDefaultItems, m_lDefaultCount, lIndex);
  if (GetDefaultLong() == a_lItem) SetDefaultLong(m_lDefaultCount > 0 ? m_alDefaultItems[0] : 0);
  return OS_STS_SUCCESS;
}

void CDbEnum::DeleteAllDefaultItems() {
  m_lDefaultCount = 0;
  std::memset(m_alDefaultItems, 0, sizeof m_alDefaultItems);
}

long CDbEnum::GetDefaultItemCount() { return m_lDefaultCount; }

long CDbEnum::GetDefaultItem(long a_lIndex) { return ItemAt(m_alDefaultItems, m_lDefaultCount, a_lIndex); }

bool CDbEnum::HasDefaultItem(long a_lItem) { return IndexOf(m_alDefaultItems, m_lDefaultCount, a_lItem) >= 0; }

// ---------------------------------------------------------------------------
// Resets, copies and rules
// ---------------------------------------------------------------------------
void CDbEnum::Reset() {
  SetCurrentLong(GetDefaultLong());
  m_lCurrentCount = m_lDefaultCount;
  std::memcpy(m_alCurrentItems, m_alDefaultItems, sizeof m_alCurrentItems);
  NotifySet(DB_NOTIFY_CONSTRAINT);
}

void CDbEnum::FixDefaultReset() {
  FixDefaultResetLong(GetDefaultLong());
  m_lCurrentCount = m_lDefaultCount;
  std::memcpy(m_alCurrentItems, m_alDefaultItems, sizeof m_alCurrentItems);
  if (m_pdbenumProfile) {
    m_pdbenumProfile->m_lCurrentCount = m_lDefaultCount;
    std::memcpy(m_pdbenumProfile->m_alCurrentItems, m_alDefaultItems, sizeof m_alCurrentItems);
  }
}

void CDbEnum::Copy(long a_lValue) { CopyCurrentLong(a_lValue); }

EOSSTS CDbEnum::Validate(EDBID_WINDOW, long a_lValue) {
  if (!IsModifiable()) return DB_EOSSTS_NOTMODIFIABLE;
  if (GetCurrentItemCount() < 1) return DB_EOSSTS_REFUSED;
  for (long l = 0; l < GetCurrentItemCount(); ++l) {
    if (GetCurrentItem(l) == a_lValue) return OS_STS_SUCCESS;
  }
  return DB_EOSSTS_REFUSED;
}

EOSSTS CDbEnum::FixAccess() { return OS_STS_SUCCESS; }

EOSSTS CDbEnum::FixCurrent() { return OS_STS_SUCCESS; }

bool CDbEnum::Compare(long a_lA, long a_lB) { return a_lA != a_lB && HasCurrentItem(a_lB); }

// ---------------------------------------------------------------------------
// The four cameras
// ---------------------------------------------------------------------------
bool CDbEnum::MatchAcrossBins() {
  if (m_edbbin == DB_BIN_MACHINE) return true;
  CDbNotify* pdbnotify = GetDbNotify();
  std::vector<CDbEnum*> vecpdbenum;  // the cameras with items
  long lCount = 0;
  for (EDBBIN edbbin : {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR}) {
    CDbDatum* pdbdatum = DbDatumFind(0, m_edbid, edbbin);
    if (!pdbdatum || pdbdatum->GetAccess() == DB_ACCESS_NOTSUPPORTED) continue;
    if (pdbdatum->GetContainerType() != DB_CONTAINERTYPE_ENUM) continue;
    if (pdbnotify && pdbnotify->Get(DB_NOTIFY_CONSTRAINT, 0, edbbin, m_edbid)) return false;
    auto* pdbenum = static_cast<CDbEnum*>(pdbdatum);
    long lItems = pdbenum->GetCurrentItemCount();
    if (lItems == 0) continue;
    if (vecpdbenum.empty()) {
      if (lItems != pdbenum->GetDefaultItemCount()) return false;
      lCount = lItems;
    } else if (lItems != lCount) {
      return false;
    }
    vecpdbenum.push_back(pdbenum);
  }
  for (long l = 0; l < lCount; ++l) {
    long lItem = vecpdbenum[0]->GetCurrentItem(l);
    for (size_t sizet = 1; sizet < vecpdbenum.size(); ++sizet) {
      if (!vecpdbenum[sizet]->HasCurrentItem(lItem)) return false;
    }
  }
  return true;
}
