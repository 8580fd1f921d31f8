// The profile list's implementation: construction, the directories, the
// reports and the dump. Loading is in db_cdbprofilelistimpl_load.cpp,
// selection in db_cdbprofilelistimpl_select.cpp, editing and the restore of
// installed profiles in db_cdbprofilelistimpl_edit.cpp, packages in
// db_cdbprofilelistimpl_package.cpp.
#include "db_cdbprofilelistimpl.h"

#include <strings.h>

#include "db_cdatabase.h"
#include "db_cdbprofileitem.h"
#include "os_coscfg.h"
#include "os_coscfgtags.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cosxmltask.h"

namespace {
// The report builder holds the list's report of every slot: a
// "profileitem" takes at most some 1.2 KB (name, display text, picture
// path), so 64 KB would fail a list of some fifty long entries.
constexpr size_t s_sizetReport = CDbProfileListImpl::s_u32Slots * 2048;

// The profile directories of models that keep them in a subdirectory of
// the PMX_PROFILESDIR directory, tried in this order.
struct DbProfileSubdirectory {
  const char* szModelDirectory;
  const char* szSubdirectory;
};
constexpr DbProfileSubdirectory s_adbprofilesubdirectory[] = {
    {"pmx_alder", "alderA"}, {"pmx_birch", "birchB"}, {"pmx_birch", "birchA"}, {"pmx_cedar", "cedarB"},
    {"pmx_cedar", "cedarA"}, {"pmx_cedar", "rowanD"}, {"pmx_cedar", "rowanC"}, {"pmx_larch", "larchD"},
    {"pmx_larch", "larchC"}, {"pmx_larch", "larchB"}, {"pmx_larch", "larchA"}, {"Vorlan_20", "20"},
    {"Vorlan_30", "30"},
};

const char* Configured(unsigned a_uTag) {
  const char* szValue = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, a_uTag) : nullptr;
  return szValue ? szValue : "";
}
}  // namespace

CDbProfileListImpl::CDbProfileListImpl(CDatabase* a_pdatabase, unsigned int a_uMax)
    : m_pdatabase(a_pdatabase),
      m_u32Max(a_uMax),
      m_u32Current(0),
      m_u32Installed(0),
      m_apdbprofilelist{},
      m_posxmltask(OsMemNewAt<COsXmlTask>(__FILE__, __LINE__, "COsXmlTask", "", s_sizetReport)),
      m_szInstalledDirectory{},
      m_szInstalledGraphicsDirectory{},
      m_szUserDirectory{},
      m_szUserGraphicsDirectory{},
      m_szSharedDirectory{},
      m_szSharedGraphicsDirectory{},
      m_blLoadedButNotSet(false),
      m_blFromEnvironment(false),
      m_szRemembered{} {
  if (a_uMax >= s_u32Slots) {
    OsLog(OS_LOG_ERROR, "Increase the size of m_apdbprofilelist...");
    m_u32Max = s_u32Slots;
  }
  if (!m_posxmltask) OsLog(OS_LOG_ERROR, "OsMemNew failed...");
  FindDirectories();
}

// Paths that do not fit are not cut (a cut path names another directory):
// the directory is then unknown.
void CDbProfileListImpl::FindDirectories() {
  const char* szSystem = Configured(OS_CFGTAG_SYSTEMDIRECTORY);
  const char* szModel = Configured(OS_CFGTAG_MODELDIRECTORY);
  char szModelDirectory[s_sizetPath];
  char szLib[s_sizetPath];
  if (*szSystem && *szModel &&
      !(COsFile::PathJoin(szModelDirectory, sizeof szModelDirectory, szSystem, szModel) &&
        COsFile::PathJoin(szLib, sizeof szLib, szModelDirectory, "lib") &&
        COsFile::PathJoin(m_szInstalledDirectory, sizeof m_szInstalledDirectory, szLib, "profiles"))) {
    OsLog(OS_LOG_ERROR, "profile directory does not fit...<%s>", szSystem);
    m_szInstalledDirectory[0] = '\0';
  }
  COsString::SStrCpy(m_szInstalledGraphicsDirectory, sizeof m_szInstalledGraphicsDirectory, m_szInstalledDirectory);
  FindUserDirectory();
  const char* szShared = Configured(OS_CFGTAG_USERROOTDIRECTORYSHARED);
  if (m_blFromEnvironment || !*szShared) {
    // PMX_PROFILESDIR is both; without a shared root the user's serves.
    COsString::SStrCpy(m_szSharedDirectory, sizeof m_szSharedDirectory, m_szUserDirectory);
  } else if (!COsFile::PathJoin(m_szSharedDirectory, sizeof m_szSharedDirectory, szShared, "profiles")) {
    OsLog(OS_LOG_ERROR, "profile directory does not fit...<%s>", szShared);
    m_szSharedDirectory[0] = '\0';
  }
  const struct {
    const char* szDirectory;
    char* szGraphics;
  } agraphics[] = {{m_szUserDirectory, m_szUserGraphicsDirectory}, {m_szSharedDirectory, m_szSharedGraphicsDirectory}};
  for (const auto& graphics : agraphics) {
    graphics.szGraphics[0] = '\0';
    if (graphics.szDirectory[0] && !COsFile::PathJoin(graphics.szGraphics, s_sizetPath, graphics.szDirectory, "graphics"))
      graphics.szGraphics[0] = '\0';
  }
}

// A directory that does not fit is not cut (a cut path names another
// directory): it is not used.
void CDbProfileListImpl::FindUserDirectory() {
  if (COsCfg::GetEnv("PMX_PROFILESDIR", nullptr, sizeof m_szUserDirectory, m_szUserDirectory) == OS_STS_SUCCESS &&
      m_szUserDirectory[0]) {
    OsLogDebug(OS_LOG_INFO, "PMX_PROFILES: %s", m_szUserDirectory);
    m_blFromEnvironment = true;
    FindModelSubdirectory();
    OsLogDebug(OS_LOG_INFO, "Profile directory: %s", m_szUserDirectory);
    return;
  }
  m_blFromEnvironment = false;
  m_szUserDirectory[0] = '\0';
  const char* szRoot = Configured(OS_CFGTAG_USERROOTDIRECTORY);
  if (!*szRoot) return;
  if (!COsFile::PathJoin(m_szUserDirectory, sizeof m_szUserDirectory, szRoot, "profiles")) {
    OsLog(OS_LOG_ERROR, "profile directory does not fit...<%s>", szRoot);
    m_szUserDirectory[0] = '\0';
  }
}

// Some models keep their profiles in a subdirectory of the PMX_PROFILESDIR
// directory: the first of theirs that exists is taken.
void CDbProfileListImpl::FindModelSubdirectory() {
  for (const DbProfileSubdirectory& dbprofilesubdirectory : s_adbprofilesubdirectory) {
    char szCandidate[s_sizetPath];
    if (strcasecmp(dbprofilesubdirectory.szModelDirectory, Configured(OS_CFGTAG_MODELDIRECTORY)) != 0 ||
        !COsFile::PathJoin(szCandidate, sizeof szCandidate, m_szUserDirectory, dbprofilesubdirectory.szSubdirectory) ||
        !COsFile::Exists(szCandidate)) {
      continue;
    }
    COsString::SStrCpy(m_szUserDirectory, sizeof m_szUserDirectory, szCandidate);
    return;
  }
}

CDbProfileListImpl::~CDbProfileListImpl() {
  FreeItems();
  OsMemDelete(m_posxmltask);
}

void CDbProfileListImpl::FreeItems() {
  for (CDbProfileItem*& pdbprofileitem : m_apdbprofilelist) OsMemDelete(pdbprofileitem);
  m_u32Current = 0;
}

void CDbProfileListImpl::Free() {
  if (m_posxmltask) m_posxmltask->Clear();
}

CDbProfileItem* CDbProfileListImpl::GetCurrentProfile() {
  return m_u32Current < s_u32Slots ? m_apdbprofilelist[m_u32Current] : nullptr;
}

namespace {
const char* Known(const char* a_szDirectory) { return a_szDirectory[0] ? a_szDirectory : nullptr; }
}  // namespace

const char* CDbProfileListImpl::GetUserProfileDirectory() const { return Known(m_szUserDirectory); }
const char* CDbProfileListImpl::GetUserProfileGraphicsDirectory() const { return Known(m_szUserGraphicsDirectory); }
const char* CDbProfileListImpl::GetInstalledProfileGraphicsDirectory() const {
  return Known(m_szInstalledGraphicsDirectory);
}
const char* CDbProfileListImpl::GetSharedProfileDirectory() const { return Known(m_szSharedDirectory); }
const char* CDbProfileListImpl::GetInstalledProfileDirectory() const { return Known(m_szInstalledDirectory); }

const char* CDbProfileListImpl::GetCurrentProfileDirectory() {
  CDbProfileItem* pdbprofileitem = GetCurrentProfile();
  return pdbprofileitem && pdbprofileitem->IsProfileUser() ? GetUserProfileDirectory()
                                                            : GetInstalledProfileDirectory();
}

CDbProfileItem* CDbProfileListImpl::GetDatabaseResourceProfile() { return m_apdbprofilelist[0]; }

bool CDbProfileListImpl::IsVisible(uint32_t a_u32Slot) const {
  return a_u32Slot < s_u32Slots && m_apdbprofilelist[a_u32Slot] && !m_apdbprofilelist[a_u32Slot]->IsProfileHidden();
}

// ---------------------------------------------------------------------------
// The list's report and dump
// ---------------------------------------------------------------------------
// "suppliedmodified": a supplied profile has a user copy, or the shared
// values were saved.
const char* CDbProfileListImpl::ReportProfileList() {
  if (!m_posxmltask) {
    OsLog(OS_LOG_ERROR, "ReportProfileList failed...");
    return nullptr;
  }
  bool blModified = false;
  for (const CDbProfileItem* pdbprofileitem : m_apdbprofilelist)
    blModified = blModified || (pdbprofileitem && pdbprofileitem->IsProfileUser() && pdbprofileitem->IsProfileInstalled());
  char szShare[s_sizetPath];
  if (!blModified && m_szUserDirectory[0] &&
      COsFile::PathJoin(szShare, sizeof szShare, m_szUserDirectory, CDbProfileItem::s_szShareFile))
    blModified = COsFile::Exists(szShare);
  m_posxmltask->Clear();
  m_posxmltask->StartNonTask("reportprofilelist", 1);
  m_posxmltask->AddArgument("suppliedmodified", blModified ? "true" : "false");
  for (uint32_t u32Slot = 0; u32Slot < s_u32Slots; ++u32Slot) {
    if (!IsVisible(u32Slot)) continue;
    if (m_apdbprofilelist[u32Slot]->ProfileItem(u32Slot == m_u32Current, 2, false) != OS_STS_SUCCESS)
      OsLog(OS_LOG_ERROR, "ProfileItem failed...%u", u32Slot);
  }
  m_posxmltask->FinalizeNonTask("reportprofilelist");
  if (m_posxmltask->IsError(false)) {
    OsLog(OS_LOG_ERROR, "ReportProfileList failed...");
    return nullptr;
  }
  return m_posxmltask->GetTaskBuffer();
}

void CDbProfileListImpl::Dump() {
  OsLog(OS_LOG_ERROR, "dmp>>>");
  OsLog(OS_LOG_ERROR, "dmp>>> *** BEGIN PROFILELIST ***");
  OsLog(OS_LOG_ERROR, "dmp>>>");
  OsLog(OS_LOG_ERROR, "dmp>>> current:  %d", static_cast<int>(m_u32Current));
  OsLog(OS_LOG_ERROR, "dmp>>> modified: %s", IsProfileModified() ? "true" : "false");
  for (uint32_t u32Slot = 0; u32Slot < s_u32Slots; ++u32Slot) {
    if (!m_apdbprofilelist[u32Slot]) continue;
    OsLog(OS_LOG_ERROR, "dmp>>>");
    OsLog(OS_LOG_ERROR, "dmp>>> #%u", u32Slot);
    m_apdbprofilelist[u32Slot]->Dump();
  }
  OsLog(OS_LOG_ERROR, "dmp>>>");
  OsLog(OS_LOG_ERROR, "dmp>>> *** END PROFILELIST ***");
  OsLog(OS_LOG_ERROR, "dmp>>>");
}

// ---------------------------------------------------------------------------
// Reports and the shared values
// ---------------------------------------------------------------------------
const char* CDbProfileListImpl::ReportProfileItem(int a_iDepth) {
  CDbProfileItem* pdbprofileitem = GetCurrentProfile();
  const char* szReport = pdbprofileitem ? pdbprofileitem->ReportProfileItem(a_iDepth) : nullptr;
  if (!szReport) OsLog(OS_LOG_ERROR, "ReportProfileItem failed...");
  return szReport;
}

const char* CDbProfileListImpl::ProfileItem(int a_iDepth) {
  CDbProfileItem* pdbprofileitem = GetCurrentProfile();
  if (!pdbprofileitem || !m_posxmltask) {
    OsLog(OS_LOG_ERROR, "ProfileItem failed...");
    return nullptr;
  }
  m_posxmltask->Clear();
  if (pdbprofileitem->IsProfileHidden()) {
    m_posxmltask->StartNonTask("profileitem", a_iDepth);
    m_posxmltask->AddArgumentSafe("value", "");
    m_posxmltask->FinalizeNonTask("profileitem");
  } else if (pdbprofileitem->ProfileItem(true, a_iDepth, true) != OS_STS_SUCCESS) {
    m_posxmltask->Clear();
  }
  if (m_posxmltask->IsError(false) || !m_posxmltask->Size()) {
    OsLog(OS_LOG_ERROR, "ProfileItem failed...");
    return nullptr;
  }
  return m_posxmltask->GetTaskBuffer();
}

const char* CDbProfileListImpl::ReportDataFile(const char* a_szGroup) {
  if (!a_szGroup) {
    OsLog(OS_LOG_ERROR, "a_szGroup is null...");
    return nullptr;
  }
  CDbProfileItem* pdbprofileitem = GetCurrentProfile();
  const char* szReport = pdbprofileitem ? pdbprofileitem->ReportDataFile(a_szGroup) : nullptr;
  if (!szReport) OsLog(OS_LOG_ERROR, "ReportDataFile failed...");
  return szReport;
}

EDBSTS CDbProfileListImpl::UpdateShare(EDBID a_edbid) {
  CDbProfileItem* pdbprofileitem = GetDatabaseResourceProfile();
  const EOSSTS eossts = pdbprofileitem ? pdbprofileitem->UpdateShare(a_edbid) : OS_STS_FAIL;
  if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "UpdateShare failed...");
  return eossts == OS_STS_SUCCESS ? DB_STS_SUCCESS : DB_STS_FAIL;
}
