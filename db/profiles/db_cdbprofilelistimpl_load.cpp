// Building the profile list: item 0 from the DATABASE resource, the
// installed profiles, the profiles of a sibling model's log layout turned
// into the user's, the user's own profiles, the extra shared item, and the
// choice of the current profile.
//
// Files are taken in name order, so that the slots and the first visible
// entry do not depend on the file system. A file that fails to load is
// left out of the list and kept on disk (a cut file, a newer driver's or
// one that could not be read this time is not the list's to destroy).
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "db_cdatabase.h"
#include "db_cdbprofileitem.h"
#include "db_cdbprofilelistimpl.h"
#include "os_coscfg.h"
#include "os_coscfgtags.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"

namespace {

constexpr char s_szProfileSuffix[] = ".profile";
constexpr char s_szSharedItem[] = "profile.shared";
// Log directories of these models sit beside those of their sibling
// models, whose profiles the user keeps.
constexpr const char* s_aszSiblingModels[] = {"pmx_birch", "pmx_cedar", "pmx_larch", "Vorlan_20", "Vorlan_30"};

bool IsProfileName(const char* a_szName) {
  const size_t sizetName = std::strlen(a_szName);
  const size_t sizetSuffix = sizeof s_szProfileSuffix - 1;
  return sizetName > sizetSuffix && std::strcmp(a_szName + sizetName - sizetSuffix, s_szProfileSuffix) == 0;
}

// The paths of a directory's "*.profile" entries, in name order; none
// (logged) when it cannot be read.
std::vector<std::string> ProfileFiles(const char* a_szDirectory) {
  std::vector<std::string> vec;
  if (!a_szDirectory || !a_szDirectory[0]) return vec;
  DIR* pdir = opendir(a_szDirectory);
  if (!pdir) {
    OsLogDebug(OS_LOG_INFO, "profile directory not read...<%s>", a_szDirectory);
    return vec;
  }
  while (const dirent* pdirent = readdir(pdir)) {
    if (!IsProfileName(pdirent->d_name)) continue;
    char szPath[CDbProfileListImpl::s_sizetPath];
    if (COsFile::PathJoin(szPath, sizeof szPath, a_szDirectory, pdirent->d_name)) vec.emplace_back(szPath);
  }
  closedir(pdir);
  std::sort(vec.begin(), vec.end());
  return vec;
}

bool IsDirectory(const std::string& a_str) {
  struct stat st;
  return stat(a_str.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The subdirectory of the base that holds the newest profile (by
// modification time; a tie keeps the first found); empty without one.
std::string NewestProfileDirectory(const std::string& a_strBase) {
  std::string strBest;
  struct timespec timespecBest {};
  DIR* pdir = opendir(a_strBase.c_str());
  if (!pdir) return strBest;
  std::vector<std::string> vecDirectory;
  while (const dirent* pdirent = readdir(pdir)) {
    const std::string strName = pdirent->d_name;
    if (strName != "." && strName != ".." && IsDirectory(a_strBase + "/" + strName)) vecDirectory.push_back(strName);
  }
  closedir(pdir);
  std::sort(vecDirectory.begin(), vecDirectory.end());
  for (const std::string& strDirectory : vecDirectory) {
    for (const std::string& strFile : ProfileFiles((a_strBase + "/" + strDirectory).c_str())) {
      struct stat st;
      if (stat(strFile.c_str(), &st) != 0) continue;
      const bool blNewer = strBest.empty() || st.st_mtim.tv_sec > timespecBest.tv_sec ||
                           (st.st_mtim.tv_sec == timespecBest.tv_sec && st.st_mtim.tv_nsec > timespecBest.tv_nsec);
      if (!blNewer) continue;
      strBest = strDirectory;
      timespecBest = st.st_mtim;
    }
  }
  return strBest;
}

}  // namespace

EDBSTS CDbProfileListImpl::Load(bool a_blHeaderOnly) {
  if (m_szUserDirectory[0]) RecoverImportBackup(m_szUserDirectory);
  FreeItems();
  m_u32Installed = 0;
  CDbProfileItem* pdbprofileitem = NewItem(nullptr, true);
  if (!pdbprofileitem) {
    OsLog(OS_LOG_ERROR, "OsMemNew failed...");
    return DB_STS_FAIL;
  }
  m_apdbprofilelist[0] = pdbprofileitem;
  const EOSSTS eossts = pdbprofileitem->Load(a_blHeaderOnly, true, false, false);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Load failed...");
    OsMemDelete(m_apdbprofilelist[0]);
    return static_cast<EDBSTS>(eossts);
  }
  LoadInstalled();
  m_u32Installed = FreeSlot(nullptr);
  LoadSiblingModel();
  LoadUser();
  LoadSharedItem();
  ChooseCurrent();
  if (m_pdatabase) m_pdatabase->NotifyResetProfiles();
  m_blLoadedButNotSet = true;
  return DB_STS_SUCCESS;
}

// An item of a file (none for item 0) whose own directories are the
// user's, or the shared ones for the user pass.
CDbProfileItem* CDbProfileListImpl::NewItem(const char* a_szFilename, bool a_blUser) {
  return OsMemNew(CDbProfileItem, a_szFilename, nullptr, m_szInstalledDirectory, m_szInstalledGraphicsDirectory,
                  a_blUser ? m_szUserDirectory : m_szSharedDirectory,
                  a_blUser ? m_szUserGraphicsDirectory : m_szSharedGraphicsDirectory, m_pdatabase, m_posxmltask);
}

// The first free slot; s_u32Slots (logged when a file is named) when the
// list is full.
uint32_t CDbProfileListImpl::FreeSlot(const char* a_szFilename) {
  for (uint32_t u32Slot = 0; u32Slot < s_u32Slots; ++u32Slot) {
    if (!m_apdbprofilelist[u32Slot]) return u32Slot;
  }
  if (a_szFilename) OsLog(OS_LOG_ERROR, "no free slot, profile left out...<%s>", a_szFilename);
  return s_u32Slots;
}

void CDbProfileListImpl::LoadInstalled() {
  for (const std::string& strFile : ProfileFiles(m_szInstalledDirectory)) {
    const uint32_t u32Slot = FreeSlot(strFile.c_str());
    if (u32Slot >= s_u32Slots) return;
    CDbProfileItem* pdbprofileitem = NewItem(strFile.c_str(), true);
    if (!pdbprofileitem || pdbprofileitem->Load(false, true, false, false) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "Load failed...<%s>", strFile.c_str());
      OsMemDelete(pdbprofileitem);
      continue;
    }
    pdbprofileitem->SetProfileInstalled();
    m_apdbprofilelist[u32Slot] = pdbprofileitem;
  }
}

// A log directory of a model with siblings: the newest profile among the
// sibling models' profile directories names the directory whose profiles
// become the user's (INI profiles are converted into the user directory;
// XML ones are only read). None joins the list.
void CDbProfileListImpl::LoadSiblingModel() {
  const char* szLog = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY) : nullptr;
  if (!szLog || std::none_of(std::begin(s_aszSiblingModels), std::end(s_aszSiblingModels),
                             [szLog](const char* a_sz) { return std::strstr(szLog, a_sz) != nullptr; }))
    return;
  char szBase[PATH_MAX];
  const std::string strUp = std::string(szLog) + "/../..";
  if (!realpath(strUp.c_str(), szBase)) return;
  const std::string strBase = std::string(szBase) + "/profiles";
  const std::string strDirectory = NewestProfileDirectory(strBase);
  if (strDirectory.empty()) return;
  for (const std::string& strFile : ProfileFiles((strBase + "/" + strDirectory).c_str())) {
    CDbProfileItem* pdbprofileitem = NewItem(strFile.c_str(), true);
    if (!pdbprofileitem || pdbprofileitem->Load(false, true, true, true) != OS_STS_SUCCESS)
      OsLog(OS_LOG_ERROR, "Load failed...<%s>", strFile.c_str());
    OsMemDelete(pdbprofileitem);
  }
}

// A user profile with the id of an installed one is its user copy: it
// takes that item's kind and display texts, and hides it.
void CDbProfileListImpl::LoadUser() {
  for (const std::string& strFile : ProfileFiles(m_szSharedDirectory)) {
    const uint32_t u32Slot = FreeSlot(strFile.c_str());
    if (u32Slot >= s_u32Slots) return;
    CDbProfileItem* pdbprofileitem = NewItem(strFile.c_str(), false);
    if (!pdbprofileitem || pdbprofileitem->Load(false, true, true, false) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "Load failed...<%s>", strFile.c_str());
      OsMemDelete(pdbprofileitem);
      continue;
    }
    pdbprofileitem->SetProfileUser();
    m_apdbprofilelist[u32Slot] = pdbprofileitem;
    for (uint32_t u32Installed = 0; u32Installed < m_u32Installed; ++u32Installed) {
      CDbProfileItem* pdbprofileitemInstalled = m_apdbprofilelist[u32Installed];
      if (!pdbprofileitemInstalled || !pdbprofileitemInstalled->IsProfileInstalled() ||
          std::strcmp(pdbprofileitemInstalled->GetId(), pdbprofileitem->GetId()) != 0)
        continue;
      if (pdbprofileitemInstalled->IsProfileDatabaseResource()) pdbprofileitem->SetProfileDatabaseResource();
      pdbprofileitem->SetProfileInstalled();
      pdbprofileitem->FixLocale(pdbprofileitemInstalled, false);
      pdbprofileitemInstalled->SetProfileHidden(true);
      break;
    }
  }
}

void CDbProfileListImpl::LoadSharedItem() {
  char szPath[s_sizetPath];
  if (!m_szUserDirectory[0] || !COsFile::PathJoin(szPath, sizeof szPath, m_szUserDirectory, s_szSharedItem) ||
      !COsFile::Exists(szPath))
    return;
  const uint32_t u32Slot = FreeSlot(szPath);
  if (u32Slot >= s_u32Slots) return;
  CDbProfileItem* pdbprofileitem = NewItem(szPath, true);
  if (!pdbprofileitem || pdbprofileitem->Load(false, true, false, false) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Load failed...<%s>", szPath);
    OsMemDelete(pdbprofileitem);
    return;
  }
  m_apdbprofilelist[u32Slot] = pdbprofileitem;
}

// Item 0 while it shows; else the user's copy of it, else the first
// visible entry, else item 0 all the same.
void CDbProfileListImpl::ChooseCurrent() {
  m_u32Current = 0;
  if (IsVisible(0)) return;
  const char* szId = m_apdbprofilelist[0] ? m_apdbprofilelist[0]->GetId() : "";
  for (uint32_t u32Slot = 1; u32Slot < s_u32Slots; ++u32Slot) {
    if (IsVisible(u32Slot) && m_apdbprofilelist[u32Slot]->IsProfileUser() &&
        std::strcmp(m_apdbprofilelist[u32Slot]->GetId(), szId) == 0) {
      m_u32Current = u32Slot;
      return;
    }
  }
  for (uint32_t u32Slot = 1; u32Slot < s_u32Slots; ++u32Slot) {
    if (IsVisible(u32Slot)) {
      m_u32Current = u32Slot;
      return;
    }
  }
}
