// The profile list's implementation: construction, loading of item 0, the
// undo point, the current item's reports and the shared values. Profile
// files, selection, the list's report and editing belong to the rest of the
// profiles subsystem.
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
constexpr size_t s_sizetReport = 65536;

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
      m_apdbprofilelist{},
      m_posxmltask(OsMemNewAt<COsXmlTask>(__FILE__, __LINE__, "COsXmlTask", "", s_sizetReport)),
      m_szInstalledDirectory{},
      m_szInstalledGraphicsDirectory{},
      m_szUserDirectory{},
      m_szUserGraphicsDirectory{},
      m_szSharedDirectory{},
      m_szSharedGraphicsDirectory{},
      m_blLoadedButNotSet(false),
      m_szRemembered{} {
  if (a_uMax >= s_u32Slots) {
    OsLog(OS_LOG_ERROR, "Increase the size of m_apdbprofilelist...");
    m_u32Max = s_u32Slots;
  }
  if (!m_posxmltask) OsLog(OS_LOG_ERROR, "OsMemNew failed...");
  FindUserDirectory();
}

// A directory that does not fit is not cut (a cut path names another
// directory): it is not used.
void CDbProfileListImpl::FindUserDirectory() {
  if (COsCfg::GetEnv("PMX_PROFILESDIR", nullptr, sizeof m_szUserDirectory, m_szUserDirectory) == OS_STS_SUCCESS &&
      m_szUserDirectory[0]) {
    OsLogDebug(OS_LOG_INFO, "PMX_PROFILES: %s", m_szUserDirectory);
    FindModelSubdirectory();
    OsLogDebug(OS_LOG_INFO, "Profile directory: %s", m_szUserDirectory);
    return;
  }
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

EDBSTS CDbProfileListImpl::Load(bool a_blHeaderOnly) {
  FreeItems();
  CDbProfileItem* pdbprofileitem =
      OsMemNew(CDbProfileItem, nullptr, nullptr, m_szInstalledDirectory, m_szInstalledGraphicsDirectory,
               m_szUserDirectory, m_szUserGraphicsDirectory, m_pdatabase, m_posxmltask);
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
  // Item 0 is current: it is never hidden after its flags are reset.
  m_u32Current = 0;
  if (m_pdatabase) m_pdatabase->NotifyResetProfiles();
  m_blLoadedButNotSet = true;
  return DB_STS_SUCCESS;
}

void CDbProfileListImpl::Remember() {
  CDbProfileItem* pdbprofileitem = GetCurrentProfile();
  COsString::SStrCpy(m_szRemembered, sizeof m_szRemembered, pdbprofileitem ? pdbprofileitem->GetName() : "");
}

void CDbProfileListImpl::Restore() { Unsupported("Restore"); }

void CDbProfileListImpl::Free() {
  if (m_posxmltask) m_posxmltask->Clear();
}

CDbProfileItem* CDbProfileListImpl::GetCurrentProfile() {
  return m_u32Current < s_u32Slots ? m_apdbprofilelist[m_u32Current] : nullptr;
}

const char* CDbProfileListImpl::GetUserProfileDirectory() const {
  return m_szUserDirectory[0] ? m_szUserDirectory : nullptr;
}

CDbProfileItem* CDbProfileListImpl::GetDatabaseResourceProfile() { return m_apdbprofilelist[0]; }

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

EDBSTS CDbProfileListImpl::Unsupported(const char* a_szOperation) {
  OsLog(OS_LOG_ERROR, "Unsupported profile operation...<%s>", a_szOperation);
  return DB_STS_FAIL;
}
