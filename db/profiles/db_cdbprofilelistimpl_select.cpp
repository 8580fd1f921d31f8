// Selecting and applying profiles: by name, a group document through the
// current item, the resets, the undo point and the range fix that follows
// a selection.
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbprofileitem.h"
#include "db_cdbprofilelistimpl.h"
#include "db_profiledocument.h"
#include "os_coslog.h"
#include "os_cosstring.h"

// The current item applies its own document over the resource's defaults,
// with item 0's shared values.
EDBSTS CDbProfileListImpl::ApplyCurrent() {
  CDbProfileItem* pdbprofileitem = GetCurrentProfile();
  CDbProfileItem* pdbprofileitemShare = GetDatabaseResourceProfile();
  if (!pdbprofileitem || !pdbprofileitemShare) {
    OsLog(OS_LOG_ERROR, "no profile to apply...%u", m_u32Current);
    return DB_STS_FAIL;
  }
  const EOSSTS eossts = pdbprofileitem->SetCurrent(pdbprofileitemShare, nullptr, nullptr, 0, false);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "SetCurrent failed...");
    return static_cast<EDBSTS>(eossts);
  }
  return DB_STS_SUCCESS;
}

void CDbProfileListImpl::FinishSelection() {
  if (!m_pdatabase) return;
  m_pdatabase->SetCurrentWindowBin();
  m_pdatabase->FixImagesDifferent(true);
  FixCurrentValueRange(DB_ID_PHYSICALHEIGHTADJUST);
}

EDBSTS CDbProfileListImpl::SetCurrent(const char* a_szName) {
  if (m_blLoadedButNotSet) {
    m_blLoadedButNotSet = false;
    if (a_szName) {
      OsLog(OS_LOG_ERROR, "m_blLoadedButNotSet error...");
      return DB_STS_FAIL;
    }
    return SetCurrentFirst();
  }
  if (a_szName && a_szName[0]) {
    uint32_t u32Slot = 0;
    while (u32Slot < s_u32Slots && !(IsVisible(u32Slot) && std::strcmp(m_apdbprofilelist[u32Slot]->GetName(), a_szName) == 0))
      ++u32Slot;
    if (u32Slot >= s_u32Slots) {
      OsLog(OS_LOG_ERROR, "name not found...<%s>", a_szName);
      return DB_STS_FAIL;
    }
    OsLogDebug(OS_LOG_INFO, "profile: SetCurrent <%s> slot %u, current %u", a_szName, u32Slot, m_u32Current);
    if (u32Slot == m_u32Current && !IsProfileModified()) {
      FinishSelection();
      return DB_STS_SUCCESS;
    }
    m_u32Current = u32Slot;
  }
  const EDBSTS edbsts = ApplyCurrent();
  if (edbsts != DB_STS_SUCCESS) return edbsts;
  FinishSelection();
  return DB_STS_SUCCESS;
}

// The first selection after Load: item 0 as loaded needs nothing applied;
// a user copy of it, or the first visible entry, does.
EDBSTS CDbProfileListImpl::SetCurrentFirst() {
  CDbProfileItem* pdbprofileitem = GetCurrentProfile();
  const bool blResourceAsLoaded = m_u32Current == 0 && pdbprofileitem && !pdbprofileitem->IsProfileHidden();
  bool blVisible = false;
  for (uint32_t u32Slot = 0; u32Slot < s_u32Slots && !blVisible; ++u32Slot) blVisible = IsVisible(u32Slot);
  if (!blResourceAsLoaded && blVisible) {
    const bool blUserCopy = IsVisible(m_u32Current) && pdbprofileitem->IsProfileUser() &&
                            pdbprofileitem->IsProfileDatabaseResource();
    if (!blUserCopy) {
      uint32_t u32Slot = 0;
      while (u32Slot < s_u32Slots && !IsVisible(u32Slot)) ++u32Slot;
      if (u32Slot >= s_u32Slots) {
        OsLog(OS_LOG_ERROR, "dragons are here...");
        return DB_STS_FAIL;
      }
      m_u32Current = u32Slot;
    }
    const EDBSTS edbsts = ApplyCurrent();
    if (edbsts != DB_STS_SUCCESS) return edbsts;
  }
  FinishSelection();
  return DB_STS_SUCCESS;
}

EDBSTS CDbProfileListImpl::SetCurrent(const char* a_szGroup, const char* a_szFilename, unsigned int a_uSize) {
  CDbProfileItem* pdbprofileitem = GetCurrentProfile();
  const EOSSTS eossts =
      pdbprofileitem ? pdbprofileitem->SetCurrent(GetDatabaseResourceProfile(), a_szGroup, a_szFilename, a_uSize, false)
                     : OS_STS_FAIL;
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "SetCurrent failed...");
    return static_cast<EDBSTS>(eossts);
  }
  return DB_STS_SUCCESS;
}

EDBSTS CDbProfileListImpl::Reset(bool a_blAll) {
  if (!a_blAll) return SetCurrent(nullptr);
  CDbProfileItem* pdbprofileitem = GetDatabaseResourceProfile();
  const EOSSTS eossts = pdbprofileitem ? pdbprofileitem->ResetToDatabaseResource(true) : OS_STS_FAIL;
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "ResetToDatabaseResource failed...");
    return static_cast<EDBSTS>(eossts);
  }
  if (m_u32Current == 0 && m_pdatabase) m_pdatabase->NotifyResetProfiles();
  return DB_STS_SUCCESS;
}

void CDbProfileListImpl::Remember() {
  CDbProfileItem* pdbprofileitem = GetCurrentProfile();
  COsString::SStrCpy(m_szRemembered, sizeof m_szRemembered, pdbprofileitem ? pdbprofileitem->GetName() : "");
}

EDBSTS CDbProfileListImpl::Restore() { return SetCurrent(m_szRemembered); }

bool CDbProfileListImpl::IsProfileModified() {
  CDbProfileItem* pdbprofileitem = GetCurrentProfile();
  return pdbprofileitem && pdbprofileitem->IsProfileModified();
}

EDBSTS CDbProfileListImpl::ResetAllProfileNotifications() {
  CDbProfileItem* pdbprofileitem = GetDatabaseResourceProfile();
  if (!pdbprofileitem || pdbprofileitem->ResetAllProfileNotifications() != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "ResetAllProfileNotifications failed...");
    return DB_STS_FAIL;
  }
  return DB_STS_SUCCESS;
}

// A datum of another container ends the walk; the set goes through the
// database (validated, with its notifications), unlike a profile's writes.
void CDbProfileListImpl::FixCurrentValueRange(EDBID a_edbid) {
  if (!m_pdatabase) return;
  const EDBID_WINDOW edbidwindow = m_pdatabase->GetWindow();
  if (edbidwindow < 0 || edbidwindow > 10 || a_edbid < DB_ID_FIRST || a_edbid > DB_ID_FINAL) return;
  for (int iBin = DB_BIN_MACHINE; iBin <= DB_BIN_COLOR_REAR; ++iBin) {
    CDbDatum* pdbdatum = dbprofile::DatumAt(edbidwindow, a_edbid, static_cast<EDBBIN>(iBin));
    if (!pdbdatum) continue;
    if (pdbdatum->GetContainerType() != DB_CONTAINERTYPE_RANGE) return;
    if (!dbprofile::IsUsable(pdbdatum)) continue;
    const long lMax = m_pdatabase->RangeGetCurrentMax(pdbdatum);
    if (m_pdatabase->GetCurrentLong(pdbdatum) > lMax) m_pdatabase->SetCurrentLong(pdbdatum, lMax, false);
  }
}
