// Changing the list's profiles: create a user profile from the current
// values, save, rename, delete (a user profile goes, an installed one is
// hidden behind a hidden user copy), and the return of the installed ones.
//
// A new profile's file is written new-only: another process creating a
// profile in the same millisecond gets "exists" and tries the next id, so
// neither profile is lost. Saves of existing files replace them whole.
#include <time.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "db_cdblookup.h"
#include "db_cdbprofileitem.h"
#include "db_cdbprofilelistimpl.h"
#include "db_profiledocument.h"
#include "os_coscfg.h"
#include "os_coscfgtags.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cosxmltask.h"

namespace {

constexpr size_t s_sizetNameCharacters = 60;
// A model's id is tried three times; a time id, which another process
// creating profiles may keep taking first, until the pauses reach 200 ms.
constexpr int s_iCreateAttempts = 3;
constexpr int s_iTimeIdAttempts = 20;
// The pause before the next id: ids are made of the time in milliseconds.
constexpr std::chrono::milliseconds s_msIdPause{10};
constexpr char s_szDriverVersion[] = "01000000";

// 4 (logged) for a name that cannot be stored: too many characters, more
// bytes than the field holds, or a text that would end its CDATA section.
EDBSTS CheckName(const char* a_szName) {
  if (COsString::SUtf8Len(a_szName) > s_sizetNameCharacters) {
    OsLog(OS_LOG_ERROR, "Profile name is greater 60 chars %s", a_szName);
    return DB_STS_BADVALUE;
  }
  if (std::strlen(a_szName) >= CDbProfileItem::s_sizetName) {
    OsLog(OS_LOG_ERROR, "Profile name is too long...<%s>", a_szName);
    return DB_STS_BADVALUE;
  }
  if (std::strstr(a_szName, "]]>")) {
    OsLog(OS_LOG_ERROR, "Profile name can't be stored...<%s>", a_szName);
    return DB_STS_BADVALUE;
  }
  return DB_STS_SUCCESS;
}

bool SameText(const char* a_sz1, const char* a_sz2) {
  return std::strcmp(a_sz1 ? a_sz1 : "", a_sz2 ? a_sz2 : "") == 0;
}

bool DisplayIs(const CDbProfileItem* a_pdbprofileitem, const char* a_szName) {
  return a_pdbprofileitem && SameText(a_pdbprofileitem->GetLocaleText(nullptr), a_szName);
}

// The current UTC time as 17 digits, to the millisecond.
void TimeId(char* a_szId, size_t a_sizetId) {
  struct timespec timespecNow {};
  clock_gettime(CLOCK_REALTIME, &timespecNow);
  struct tm tmNow {};
  gmtime_r(&timespecNow.tv_sec, &tmNow);
  COsString::SStrPrintf(a_szId, a_sizetId, "%04d%02d%02d%02d%02d%02d%03d", tmNow.tm_year + 1900,
                        tmNow.tm_mon + 1, tmNow.tm_mday, tmNow.tm_hour, tmNow.tm_min, tmNow.tm_sec,
                        static_cast<int>(timespecNow.tv_nsec / 1000000));
}

const char* ModelDirectory() {
  const char* sz = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_MODELDIRECTORY) : nullptr;
  return sz ? sz : "";
}

}  // namespace

// ---------------------------------------------------------------------------
// Create
// ---------------------------------------------------------------------------
EDBSTS CDbProfileListImpl::Create(const char* a_szName, const char* a_szGraphicFilename,
                                  CDbProfileItem* a_pdbprofileitemTemplate, bool a_blKeepOwnLocale, bool a_blForce,
                                  bool a_blKeepNewName) {
  if (!GetDatabaseResourceProfile()) {
    OsLog(OS_LOG_ERROR, "profile list not loaded...");
    return DB_STS_FAIL;
  }
  if (!a_szName || !a_szName[0]) {
    OsLog(OS_LOG_ERROR, "must specify a name when creating a profile...");
    return DB_STS_BADVALUE;
  }
  EDBSTS edbsts = CheckName(a_szName);
  if (edbsts != DB_STS_SUCCESS) return edbsts;
  char szName[CDbProfileItem::s_sizetName];
  COsString::SStrCpy(szName, sizeof szName, a_szName);
  if (a_szGraphicFilename && a_szGraphicFilename[0] && !COsFile::Exists(a_szGraphicFilename)) {
    OsLog(OS_LOG_ERROR, "Invalid graphic filename...");
    return DB_STS_BADVALUE;
  }
  if (!m_szUserDirectory[0]) {
    OsLog(OS_LOG_ERROR, "no user profile directory...<%s>", szName);
    return DB_STS_FAIL;
  }
  const EOSSTS eosstsDirectory = COsFile::Create(m_szUserDirectory);
  if (eosstsDirectory != OS_STS_SUCCESS && eosstsDirectory != OS_STS_ALREADY_EXISTS)
    OsLogDebug(OS_LOG_INFO, "user profile directory not made...%d <%s>", eosstsDirectory, m_szUserDirectory);
  if (!a_blForce && IsUnchanged(szName, a_szGraphicFilename)) return DB_STS_SUCCESS;
  edbsts = CheckCreateName(szName);
  if (edbsts != DB_STS_SUCCESS) return edbsts;
  if (!a_blForce && IsShareOnly(szName)) return SaveShareOnly();
  CDbProfileItem* pdbprofileitemModel = a_pdbprofileitemTemplate;
  if (!pdbprofileitemModel) {
    edbsts = FindModel(szName, &pdbprofileitemModel);
    if (edbsts != DB_STS_SUCCESS) return edbsts;
  }
  if (pdbprofileitemModel && pdbprofileitemModel->IsProfileReadonly()) {
    OsLog(OS_LOG_ERROR, "profile is readonly...%s", szName);
    return DB_STS_NOTAVAILABLE;
  }
  const uint32_t u32Slot = FreeSlot(nullptr);
  if (u32Slot >= s_u32Slots) {
    OsLog(OS_LOG_ASSERT, "Can't create profile...%u <%s>", s_u32Slots, szName);
    return DB_STS_FAIL;
  }
  const uint32_t u32Previous = m_u32Current;
  edbsts = WriteNewProfile(u32Slot, szName, a_szGraphicFilename, pdbprofileitemModel, a_pdbprofileitemTemplate,
                           a_blKeepOwnLocale, a_blKeepNewName);
  if (edbsts != DB_STS_SUCCESS) return edbsts;
  CDbProfileItem* pdbprofileitem = m_apdbprofilelist[u32Slot];
  if (pdbprofileitem->Save(GetDatabaseResourceProfile()) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Save failed...%u <%s>", u32Slot, szName);
    COsFile::Delete(pdbprofileitem->GetFilename(), OS_FILETYPE_FILE, false);
    OsMemDelete(m_apdbprofilelist[u32Slot]);
    m_u32Current = u32Previous;
    return DB_STS_FAIL;
  }
  if (pdbprofileitemModel && !a_pdbprofileitemTemplate) pdbprofileitemModel->SetProfileHidden(true);
  return ResetAllProfileNotifications();
}

// Nothing to do: the current profile, unmodified and showing that name,
// with the same picture.
bool CDbProfileListImpl::IsUnchanged(const char* a_szName, const char* a_szGraphicFilename) {
  CDbProfileItem* pdbprofileitem = GetCurrentProfile();
  if (!pdbprofileitem || pdbprofileitem->IsProfileHidden() || IsProfileModified() ||
      !DisplayIs(pdbprofileitem, a_szName))
    return false;
  const char* szGraphic =
      a_szGraphicFilename && a_szGraphicFilename[0] ? a_szGraphicFilename : pdbprofileitem->GetGraphicFilename();
  return SameText(dbprofile::FileNamePart(szGraphic), dbprofile::FileNamePart(pdbprofileitem->GetGraphicFilename()));
}

EDBSTS CDbProfileListImpl::CheckCreateName(const char* a_szName) {
  for (uint32_t u32Slot = 0; u32Slot < s_u32Slots; ++u32Slot) {
    const CDbProfileItem* pdbprofileitem = m_apdbprofilelist[u32Slot];
    if (!DisplayIs(pdbprofileitem, a_szName)) continue;
    if (IsVisible(u32Slot) && pdbprofileitem->IsProfileUser()) {
      OsLog(OS_LOG_ERROR, "Name is inuse...<%s>", a_szName);
      return DB_STS_BADVALUE;
    }
    if (u32Slot != m_u32Current && !pdbprofileitem->IsProfileUser()) {
      OsLog(OS_LOG_ERROR, "Name is reserved, and can't be used...<%s>", a_szName);
      return DB_STS_BADVALUE;
    }
  }
  return DB_STS_SUCCESS;
}

// Pending changes under an installed profile's name that touch only the
// shared values (those kept per device while their "unique" switch is on)
// are saved in the share file alone.
bool CDbProfileListImpl::IsShareOnly(const char* a_szName) {
  if (!m_pdatabase || !m_pdatabase->NotifyGetFirst(DB_NOTIFY_PROFILES)) return false;
  bool blInstalled = false;
  for (uint32_t u32Slot = 0; u32Slot < s_u32Slots && !blInstalled; ++u32Slot) {
    blInstalled = IsVisible(u32Slot) && m_apdbprofilelist[u32Slot]->IsProfileInstalled() &&
                  !m_apdbprofilelist[u32Slot]->IsProfileUser() && DisplayIs(m_apdbprofilelist[u32Slot], a_szName);
  }
  if (!blInstalled) return false;
  const bool blAdfUnique = m_pdatabase->GetCurrentLongFromId(DB_ID_ADFUNIQUE) == 1;
  const bool blLowPowerUnique = m_pdatabase->GetCurrentLongFromId(DB_ID_LOWPOWERMODEUNIQUE) == 1;
  for (CDbDatum* pdbdatum = m_pdatabase->NotifyGetFirst(DB_NOTIFY_PROFILES); pdbdatum;
       pdbdatum = m_pdatabase->NotifyGetNext(DB_NOTIFY_PROFILES, pdbdatum)) {
    const EDBID edbid = pdbdatum->GetId();
    bool blCounts;
    if (edbid == DB_ID_ADFTIMEOUTENABLED || (edbid >= DB_ID_TRANSPORTAUTOSTART && edbid <= DB_ID_TRANSPORTTIMEOUTRESPONSE)) {
      blCounts = !blAdfUnique;
    } else if (edbid == DB_ID_ENERGYSTAR || edbid == DB_ID_POWEROFFTIMEOUT || edbid == DB_ID_POWEROFFTIMEOUTENABLED) {
      blCounts = !blLowPowerUnique;
    } else {
      const DbLookup2* pdblookup2 = pdbdatum->GetLookup();
      blCounts = pdblookup2 && (pdblookup2->lTwainGroup & DB_GROUP_PROFILE) != 0;
    }
    if (blCounts) return false;
  }
  return true;
}

EDBSTS CDbProfileListImpl::SaveShareOnly() {
  CDbProfileItem* pdbprofileitem = GetDatabaseResourceProfile();
  const EOSSTS eossts = pdbprofileitem ? pdbprofileitem->SaveShare() : OS_STS_FAIL;
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "SaveShare failed...");
    return static_cast<EDBSTS>(eossts);
  }
  return ResetAllProfileNotifications();
}

// The installed profile showing that name, when it is the current one.
EDBSTS CDbProfileListImpl::FindModel(const char* a_szName, CDbProfileItem** a_ppdbprofileitemModel) {
  *a_ppdbprofileitemModel = nullptr;
  for (uint32_t u32Slot = 0; u32Slot < s_u32Slots; ++u32Slot) {
    CDbProfileItem* pdbprofileitem = m_apdbprofilelist[u32Slot];
    if (!pdbprofileitem || !pdbprofileitem->IsProfileInstalled() || !DisplayIs(pdbprofileitem, a_szName)) continue;
    if (pdbprofileitem->IsProfileUser() && pdbprofileitem->IsProfileHidden()) continue;
    if (u32Slot != m_u32Current) {
      OsLog(OS_LOG_ERROR, "Name is inuse...<%s>", a_szName);
      return DB_STS_BADVALUE;
    }
    *a_ppdbprofileitemModel = pdbprofileitem;
    return DB_STS_SUCCESS;
  }
  return DB_STS_SUCCESS;
}

// The new item in the slot, current, its file written new-only under a
// fresh id (the model's id with a model).
EDBSTS CDbProfileListImpl::WriteNewProfile(uint32_t a_u32Slot, const char* a_szName, const char* a_szGraphicFilename,
                                           CDbProfileItem* a_pdbprofileitemModel,
                                           CDbProfileItem* a_pdbprofileitemTemplate, bool a_blKeepOwnLocale,
                                           bool a_blKeepNewName) {
  char szId[CDbProfileItem::s_sizetId];
  char szPath[s_sizetPath] = "";
  const int iAttempts = a_pdbprofileitemModel ? s_iCreateAttempts : s_iTimeIdAttempts;
  for (int iAttempt = 0; iAttempt < iAttempts; ++iAttempt) {
    if (iAttempt > 0) std::this_thread::sleep_for(s_msIdPause);
    if (a_pdbprofileitemModel) {
      COsString::SStrCpy(szId, sizeof szId, a_pdbprofileitemModel->GetId());
    } else {
      TimeId(szId, sizeof szId);
    }
    char szFile[s_sizetPath];
    COsString::SStrPrintf(szFile, sizeof szFile, "%s.profile", szId);
    if (!COsFile::PathJoin(szPath, sizeof szPath, m_szUserDirectory, szFile)) break;
    if (COsFile::Exists(szPath)) continue;
    CDbProfileItem* pdbprofileitem = OsMemNew(CDbProfileItem, szPath, a_szGraphicFilename, m_szInstalledDirectory,
                                              m_szInstalledGraphicsDirectory, m_szUserDirectory,
                                              m_szUserGraphicsDirectory, m_pdatabase, m_posxmltask);
    if (!pdbprofileitem) {
      OsLog(OS_LOG_ERROR, "OsMemNew failed...%u <%s>", a_u32Slot, a_szName);
      return DB_STS_FAIL;
    }
    pdbprofileitem->SetId(szId);
    pdbprofileitem->SetName(a_szName);
    pdbprofileitem->SetProfileHidden(false);
    pdbprofileitem->SetProfileUser();
    pdbprofileitem->SetDriverVersion(s_szDriverVersion);
    pdbprofileitem->SetFamily(ModelDirectory());
    pdbprofileitem->SetGroup("profileall");
    if (a_szGraphicFilename) pdbprofileitem->SetGraphicFilename(a_szGraphicFilename);
    if (a_pdbprofileitemModel) {
      if (!a_szGraphicFilename) pdbprofileitem->SetGraphicFilename(a_pdbprofileitemModel->GetGraphicFilename());
      if (a_pdbprofileitemModel->IsProfileInstalled()) pdbprofileitem->SetProfileInstalled();
      if (a_pdbprofileitemModel->IsProfileDatabaseResource()) pdbprofileitem->SetProfileDatabaseResource();
      if (!a_blKeepOwnLocale) pdbprofileitem->CopyDbProfileLocale(a_pdbprofileitemModel);
      if (!a_blKeepNewName) pdbprofileitem->SetName(a_pdbprofileitemModel->GetName());
    }
    if (a_pdbprofileitemTemplate) pdbprofileitem->FixLocale(a_pdbprofileitemTemplate, false);
    const EOSSTS eossts = WriteNew(pdbprofileitem, szPath);
    if (eossts == OS_STS_ALREADY_EXISTS) {
      OsMemDelete(pdbprofileitem);
      continue;
    }
    if (eossts != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "Save failed...%u <%s>", a_u32Slot, a_szName);
      OsMemDelete(pdbprofileitem);
      return DB_STS_FAIL;
    }
    m_apdbprofilelist[a_u32Slot] = pdbprofileitem;
    m_u32Current = a_u32Slot;
    return DB_STS_SUCCESS;
  }
  OsLog(OS_LOG_ERROR, "File already exists...%u <%s> <%s>", a_u32Slot, a_szName, szPath);
  return DB_STS_FAIL;
}

// The item's document into a file that must not exist yet: 261 when it
// does (another writer took the id).
EOSSTS CDbProfileListImpl::WriteNew(CDbProfileItem* a_pdbprofileitem, const char* a_szPath) {
  COsXmlTask osxmltask("", CDbProfileItem::s_sizetDocument);
  if (a_pdbprofileitem->Generate("profilenormalsave", &osxmltask) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Generate failed...");
    return OS_STS_FAIL;
  }
  const char* szText = osxmltask.GetTaskBuffer();
  return COsFile::WriteAtomic(a_szPath, szText, std::strlen(szText), true);
}

// ---------------------------------------------------------------------------
// Save
// ---------------------------------------------------------------------------
EDBSTS CDbProfileListImpl::Save() {
  CDbProfileItem* pdbprofileitem = GetCurrentProfile();
  if (!pdbprofileitem) {
    OsLog(OS_LOG_ERROR, "Save failed...");
    return DB_STS_FAIL;
  }
  if (pdbprofileitem->IsProfileUser()) {
    const EOSSTS eossts = pdbprofileitem->Save(GetDatabaseResourceProfile());
    if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "Save failed...");
    return static_cast<EDBSTS>(eossts);
  }
  char szName[CDbProfileItem::s_sizetName];
  COsString::SStrCpy(szName, sizeof szName, pdbprofileitem->GetLocaleText(nullptr));
  const uint32_t u32Previous = m_u32Current;
  const EDBSTS edbsts = Create(szName, nullptr, pdbprofileitem, false, false, false);
  if (edbsts != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Save failed...");
    return edbsts;
  }
  if (m_u32Current != u32Previous && GetCurrentProfile()->IsProfileUser()) pdbprofileitem->SetProfileHidden(true);
  return DB_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// Rename
// ---------------------------------------------------------------------------
EDBSTS CDbProfileListImpl::Rename(const char* a_szName, const char* a_szGraphicFilename) {
  CDbProfileItem* pdbprofileitem = GetCurrentProfile();
  if (!pdbprofileitem) {
    OsLog(OS_LOG_ERROR, "profile list not loaded...");
    return DB_STS_FAIL;
  }
  if (IsProfileModified()) {
    OsLogDebug(OS_LOG_INFO, "Rename denied, profile has been modified...");
    return DB_STS_NOTAVAILABLE;
  }
  const bool blName = a_szName && a_szName[0];
  const bool blGraphic = a_szGraphicFilename && a_szGraphicFilename[0];
  if (!blName && !blGraphic) {
    OsLogDebug(OS_LOG_INFO, "Rename failed, no new name or graphic is specified...");
    return DB_STS_BADVALUE;
  }
  if (blName && CheckName(a_szName) != DB_STS_SUCCESS) return DB_STS_BADVALUE;
  if (pdbprofileitem->IsProfileHidden()) {
    OsLogDebug(OS_LOG_INFO, "All profiles have been deleted, rename isn't allowed...");
    return DB_STS_BADVALUE;
  }
  char szName[CDbProfileItem::s_sizetName];
  COsString::SStrCpy(szName, sizeof szName, blName ? a_szName : pdbprofileitem->GetLocaleText(nullptr));
  if (blGraphic && !COsFile::Exists(a_szGraphicFilename)) {
    OsLog(OS_LOG_ERROR, "Rename failed, invalid graphic filename...");
    return DB_STS_BADVALUE;
  }
  const EDBSTS edbsts = CheckRenameName(szName);
  if (edbsts != DB_STS_SUCCESS) return edbsts;
  const char* szGraphic = a_szGraphicFilename ? a_szGraphicFilename : "";
  return pdbprofileitem->IsProfileUser() ? RenameUser(szName, szGraphic) : RenameInstalled(szName, szGraphic);
}

EDBSTS CDbProfileListImpl::CheckRenameName(const char* a_szName) {
  const CDbProfileItem* pdbprofileitemCurrent = GetCurrentProfile();
  for (uint32_t u32Slot = 0; u32Slot < s_u32Slots; ++u32Slot) {
    const CDbProfileItem* pdbprofileitem = m_apdbprofilelist[u32Slot];
    if (u32Slot == m_u32Current || !DisplayIs(pdbprofileitem, a_szName)) continue;
    if (SameText(pdbprofileitem->GetId(), pdbprofileitemCurrent->GetId())) return DB_STS_SUCCESS;
    if (IsVisible(u32Slot)) {
      OsLog(OS_LOG_ERROR, "Name is already in use...<%s>", a_szName);
      return DB_STS_BADVALUE;
    }
    if (!pdbprofileitem->IsProfileUser()) {
      OsLog(OS_LOG_ERROR, "Name is already in use......<%s>", a_szName);
      return DB_STS_BADVALUE;
    }
  }
  return DB_STS_SUCCESS;
}

// In place; a save that fails leaves the item as it was.
EDBSTS CDbProfileListImpl::RenameUser(const char* a_szName, const char* a_szGraphicFilename) {
  CDbProfileItem* pdbprofileitem = GetCurrentProfile();
  char szOldName[CDbProfileItem::s_sizetName];
  char szOldGraphic[s_sizetPath];
  COsString::SStrCpy(szOldName, sizeof szOldName, pdbprofileitem->GetName());
  COsString::SStrCpy(szOldGraphic, sizeof szOldGraphic, pdbprofileitem->GetGraphicFilename());
  const bool blNameChanged = !DisplayIs(pdbprofileitem, a_szName);
  pdbprofileitem->SetName(a_szName);
  pdbprofileitem->SetGraphicFilename(a_szGraphicFilename);
  if (pdbprofileitem->IsProfileInstalled()) {
    for (uint32_t u32Slot = 0; u32Slot < s_u32Slots; ++u32Slot) {
      const CDbProfileItem* pdbprofileitemInstalled = m_apdbprofilelist[u32Slot];
      if (!pdbprofileitemInstalled || pdbprofileitemInstalled->IsProfileUser() ||
          !SameText(pdbprofileitemInstalled->GetId(), pdbprofileitem->GetId()))
        continue;
      pdbprofileitem->FixLocale(pdbprofileitemInstalled, blNameChanged);
      break;
    }
  }
  if (pdbprofileitem->Save(GetDatabaseResourceProfile()) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Save failed...");
    OsLog(OS_LOG_ERROR, "Rename failed...<%s>", a_szName);
    pdbprofileitem->SetName(szOldName);
    pdbprofileitem->SetGraphicFilename(szOldGraphic);
    return DB_STS_FAIL;
  }
  return DB_STS_SUCCESS;
}

// An installed profile stays as it is: a user copy under the new name or
// picture hides it.
EDBSTS CDbProfileListImpl::RenameInstalled(const char* a_szName, const char* a_szGraphicFilename) {
  CDbProfileItem* pdbprofileitem = GetCurrentProfile();
  const bool blNameChanged = !DisplayIs(pdbprofileitem, a_szName);
  if (!a_szGraphicFilename[0] && !blNameChanged) return DB_STS_SUCCESS;
  const uint32_t u32Previous = m_u32Current;
  const EDBSTS edbsts =
      Create(a_szName, a_szGraphicFilename, pdbprofileitem, blNameChanged, false, blNameChanged);
  if (edbsts != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Save failed...");
    return edbsts;
  }
  if (m_u32Current != u32Previous) pdbprofileitem->SetProfileHidden(true);
  return DB_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// Delete
// ---------------------------------------------------------------------------
EDBSTS CDbProfileListImpl::Delete(const char* a_szName) {
  if (IsProfileModified()) {
    OsLogDebug(OS_LOG_INFO, "Delete denied, profile has been modified...");
    return DB_STS_NOTAVAILABLE;
  }
  if (m_u32Current >= s_u32Slots) {
    OsLog(OS_LOG_ERROR, "m_u32Current is too large...%u", m_u32Current);
    return DB_STS_FAIL;
  }
  CDbProfileItem* pdbprofileitem = m_apdbprofilelist[m_u32Current];
  if (!pdbprofileitem) {
    OsLog(OS_LOG_ERROR, "m_u32Current isn't pointing to a valid profile object...%u", m_u32Current);
    return DB_STS_FAIL;
  }
  if (pdbprofileitem->IsProfileHidden()) {
    OsLog(OS_LOG_ERROR, "profile is hidden...%u", m_u32Current);
    return DB_STS_BADVALUE;
  }
  if (pdbprofileitem->IsProfileReadonly()) {
    OsLog(OS_LOG_ERROR, "profile is readonly...%u", m_u32Current);
    return DB_STS_NOTAVAILABLE;
  }
  CDbProfileItem* pdbprofileitemNext = nullptr;
  if (a_szName && a_szName[0]) {
    for (uint32_t u32Slot = 0; u32Slot < s_u32Slots && !pdbprofileitemNext; ++u32Slot) {
      if (IsVisible(u32Slot) && SameText(m_apdbprofilelist[u32Slot]->GetName(), a_szName))
        pdbprofileitemNext = m_apdbprofilelist[u32Slot];
    }
    if (!pdbprofileitemNext || SameText(a_szName, pdbprofileitem->GetName())) {
      OsLog(OS_LOG_ERROR, "profile not found...<%s>", a_szName);
      return DB_STS_BADVALUE;
    }
  }
  bool blDeleted = true;
  if (pdbprofileitem->IsProfileUser() && !pdbprofileitem->IsProfileInstalled()) {
    blDeleted = RemoveSlot(m_u32Current);
  } else if (pdbprofileitem->IsProfileUser()) {
    pdbprofileitem->SetProfileHidden(true);
    if (pdbprofileitem->Save(nullptr) != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "Save failed...");
  } else {
    const EDBSTS edbsts = HideInstalled(pdbprofileitem);
    if (edbsts != DB_STS_SUCCESS) return edbsts;
  }
  return SelectAfterDelete(pdbprofileitemNext, blDeleted);
}

// A hidden user copy on disk keeps the installed profile hidden after the
// next Load.
EDBSTS CDbProfileListImpl::HideInstalled(CDbProfileItem* a_pdbprofileitem) {
  char szName[CDbProfileItem::s_sizetName];
  COsString::SStrCpy(szName, sizeof szName, a_pdbprofileitem->GetLocaleText(nullptr));
  const EDBSTS edbsts = Create(szName, nullptr, nullptr, false, true, false);
  if (edbsts != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Create failed...<%s>", szName);
    return edbsts;
  }
  a_pdbprofileitem->SetProfileHidden(true);
  CDbProfileItem* pdbprofileitemCopy = GetCurrentProfile();
  pdbprofileitemCopy->SetProfileUser();
  pdbprofileitemCopy->SetProfileHidden(true);
  if (pdbprofileitemCopy->Save(nullptr) != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "Save failed...");
  return DB_STS_SUCCESS;
}

// The slot's file deleted and its item destroyed, the later slots moved
// down; false when the file could not be deleted.
bool CDbProfileListImpl::RemoveSlot(uint32_t a_u32Slot) {
  CDbProfileItem* pdbprofileitem = m_apdbprofilelist[a_u32Slot];
  for (uint32_t u32Slot = a_u32Slot; u32Slot + 1 < s_u32Slots; ++u32Slot)
    m_apdbprofilelist[u32Slot] = m_apdbprofilelist[u32Slot + 1];
  m_apdbprofilelist[s_u32Slots - 1] = nullptr;
  const bool blDeleted = COsFile::Delete(pdbprofileitem->GetFilename(), OS_FILETYPE_FILE, false) == OS_STS_SUCCESS;
  if (!blDeleted) OsLog(OS_LOG_ERROR, "failed to delete file...<%s>", pdbprofileitem->GetFilename());
  OsMemDelete(pdbprofileitem);
  return blDeleted;
}

EDBSTS CDbProfileListImpl::SelectAfterDelete(const CDbProfileItem* a_pdbprofileitemNext, bool a_blDeleted) {
  m_u32Current = s_u32Slots;
  for (uint32_t u32Slot = 0; u32Slot < s_u32Slots && m_u32Current == s_u32Slots; ++u32Slot) {
    const bool blWanted = a_pdbprofileitemNext ? m_apdbprofilelist[u32Slot] == a_pdbprofileitemNext : IsVisible(u32Slot);
    if (blWanted) m_u32Current = u32Slot;
  }
  if (m_u32Current == s_u32Slots) m_u32Current = 0;
  const EDBSTS edbsts = ApplyCurrent();
  if (edbsts != DB_STS_SUCCESS) return edbsts;
  FinishSelection();
  return a_blDeleted ? DB_STS_SUCCESS : DB_STS_FAIL;
}

// ---------------------------------------------------------------------------
// RestoreInstalledProfiles
// ---------------------------------------------------------------------------
EDBSTS CDbProfileListImpl::RestoreInstalledProfiles(bool a_blShare) {
  if (IsProfileModified()) {
    OsLogDebug(OS_LOG_INFO, "RestoreInstalledProfiles denied, profile has been modified...");
    return DB_STS_NOTAVAILABLE;
  }
  uint32_t u32Slot = 0;
  while (u32Slot < s_u32Slots) {
    CDbProfileItem* pdbprofileitem = m_apdbprofilelist[u32Slot];
    if (pdbprofileitem && pdbprofileitem->IsProfileInstalled() && pdbprofileitem->IsProfileUser()) {
      RemoveSlot(u32Slot);
      continue;
    }
    if (pdbprofileitem && pdbprofileitem->IsProfileInstalled() && pdbprofileitem->IsProfileHidden())
      pdbprofileitem->SetProfileHidden(false);
    ++u32Slot;
  }
  if (a_blShare) {
    char szPath[s_sizetPath];
    if (COsFile::PathJoin(szPath, sizeof szPath, m_szUserDirectory, CDbProfileItem::s_szShareFile) &&
        COsFile::Exists(szPath) && COsFile::Delete(szPath, OS_FILETYPE_FILE, false) != OS_STS_SUCCESS)
      OsLog(OS_LOG_ERROR, "OsFileDelete failed...<%s>", szPath);
    CDbProfileItem* pdbprofileitemShare = GetDatabaseResourceProfile();
    if (!pdbprofileitemShare || pdbprofileitemShare->LoadShare(true) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "LoadShare failed...");
      return DB_STS_FAIL;
    }
  }
  m_u32Current = 0;
  return ApplyCurrent();
}
