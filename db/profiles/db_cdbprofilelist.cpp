// The profile list: a thin object over its implementation. An operation
// without an implementation logs and fails.
#include "db_cdbprofilelist.h"

#include "db_cdbprofilelistimpl.h"
#include "os_coslog.h"
#include "os_cosmem.h"

namespace {

bool NoImpl(const CDbProfileListImpl* a_pdbprofilelistimpl) {
  if (a_pdbprofilelistimpl) return false;
  OsLog(OS_LOG_ERROR, "m_pdbprofilelistimpl is null");
  return true;
}

}  // namespace

CDbProfileList::CDbProfileList(CDatabase* a_pdatabase, unsigned int a_uMax)
    : m_pdbprofilelistimpl(OsMemNew(CDbProfileListImpl, a_pdatabase, a_uMax)) {
  if (!m_pdbprofilelistimpl) OsLog(OS_LOG_ERROR, "OsMemNew failed...");
}

CDbProfileList::~CDbProfileList() { OsMemDelete(m_pdbprofilelistimpl); }

EDBSTS CDbProfileList::Load() { return NoImpl(m_pdbprofilelistimpl) ? DB_STS_FAIL : m_pdbprofilelistimpl->Load(false); }

void CDbProfileList::Remember() {
  if (!NoImpl(m_pdbprofilelistimpl)) m_pdbprofilelistimpl->Remember();
}

void CDbProfileList::Restore() {
  if (!NoImpl(m_pdbprofilelistimpl)) m_pdbprofilelistimpl->Restore();
}

EDBSTS CDbProfileList::SetCurrent(const char* a_szName) {
  return NoImpl(m_pdbprofilelistimpl) ? DB_STS_FAIL : m_pdbprofilelistimpl->SetCurrent(a_szName);
}

EDBSTS CDbProfileList::SetCurrent(const char* a_szGroup, const char* a_szFilename, unsigned int a_uSize) {
  return NoImpl(m_pdbprofilelistimpl) ? DB_STS_FAIL : m_pdbprofilelistimpl->SetCurrent(a_szGroup, a_szFilename, a_uSize);
}

EDBSTS CDbProfileList::Reset(bool a_blAll) {
  return NoImpl(m_pdbprofilelistimpl) ? DB_STS_FAIL : m_pdbprofilelistimpl->Reset(a_blAll);
}

const char* CDbProfileList::ReportProfileList() {
  return NoImpl(m_pdbprofilelistimpl) ? nullptr : m_pdbprofilelistimpl->ReportProfileList();
}

bool CDbProfileList::IsProfileModified() {
  return !NoImpl(m_pdbprofilelistimpl) && m_pdbprofilelistimpl->IsProfileModified();
}

EDBSTS CDbProfileList::ResetAllProfileNotifications() {
  return NoImpl(m_pdbprofilelistimpl) ? DB_STS_FAIL : m_pdbprofilelistimpl->ResetAllProfileNotifications();
}

void CDbProfileList::Dump() {
  if (!NoImpl(m_pdbprofilelistimpl)) m_pdbprofilelistimpl->Dump();
}

void CDbProfileList::Test() {
  if (!NoImpl(m_pdbprofilelistimpl)) m_pdbprofilelistimpl->Test();
}

const char* CDbProfileList::GetUserProfileDirectory() {
  return NoImpl(m_pdbprofilelistimpl) ? nullptr : m_pdbprofilelistimpl->GetUserProfileDirectory();
}

const char* CDbProfileList::GetCurrentProfileDirectory() {
  return NoImpl(m_pdbprofilelistimpl) ? nullptr : m_pdbprofilelistimpl->GetCurrentProfileDirectory();
}

const char* CDbProfileList::GetUserProfileGraphicsDirectory() {
  return NoImpl(m_pdbprofilelistimpl) ? nullptr : m_pdbprofilelistimpl->GetUserProfileGraphicsDirectory();
}

const char* CDbProfileList::GetInstalledProfileGraphicsDirectory() {
  return NoImpl(m_pdbprofilelistimpl) ? nullptr : m_pdbprofilelistimpl->GetInstalledProfileGraphicsDirectory();
}

void CDbProfileList::Free() {
  if (!NoImpl(m_pdbprofilelistimpl)) m_pdbprofilelistimpl->Free();
}

// ---------------------------------------------------------------------------
// The current item's reports, and the shared values of item 0
// ---------------------------------------------------------------------------
const char* CDbProfileList::ReportProfileItem(int a_iDepth) {
  return NoImpl(m_pdbprofilelistimpl) ? nullptr : m_pdbprofilelistimpl->ReportProfileItem(a_iDepth);
}

const char* CDbProfileList::ProfileItem(int a_iDepth) {
  return NoImpl(m_pdbprofilelistimpl) ? nullptr : m_pdbprofilelistimpl->ProfileItem(a_iDepth);
}

const char* CDbProfileList::ReportDataFile(const char* a_szGroup) {
  return NoImpl(m_pdbprofilelistimpl) ? nullptr : m_pdbprofilelistimpl->ReportDataFile(a_szGroup);
}

EDBSTS CDbProfileList::UpdateShare(EDBID a_edbid) {
  return NoImpl(m_pdbprofilelistimpl) ? DB_STS_FAIL : m_pdbprofilelistimpl->UpdateShare(a_edbid);
}

// ---------------------------------------------------------------------------
// Editing
// ---------------------------------------------------------------------------
EDBSTS CDbProfileList::Create(const char* a_szName, const char* a_szGraphicFilename) {
  return NoImpl(m_pdbprofilelistimpl)
             ? DB_STS_FAIL
             : m_pdbprofilelistimpl->Create(a_szName, a_szGraphicFilename, nullptr, false, false, true);
}

EDBSTS CDbProfileList::Save() { return NoImpl(m_pdbprofilelistimpl) ? DB_STS_FAIL : m_pdbprofilelistimpl->Save(); }

EDBSTS CDbProfileList::Rename(const char* a_szName, const char* a_szGraphicFilename) {
  return NoImpl(m_pdbprofilelistimpl) ? DB_STS_FAIL : m_pdbprofilelistimpl->Rename(a_szName, a_szGraphicFilename);
}

EDBSTS CDbProfileList::Delete(const char* a_szName) {
  return NoImpl(m_pdbprofilelistimpl) ? DB_STS_FAIL : m_pdbprofilelistimpl->Delete(a_szName);
}

EDBSTS CDbProfileList::RestoreInstalledProfiles(bool a_blShare) {
  return NoImpl(m_pdbprofilelistimpl) ? DB_STS_FAIL : m_pdbprofilelistimpl->RestoreInstalledProfiles(a_blShare);
}

EDBSTS CDbProfileList::Export(const char* a_szPackageFile) {
  return NoImpl(m_pdbprofilelistimpl) ? DB_STS_FAIL : m_pdbprofilelistimpl->Export(a_szPackageFile);
}

EDBSTS CDbProfileList::Import(const char* a_szPackageFile, bool a_blKeepList) {
  return NoImpl(m_pdbprofilelistimpl) ? DB_STS_FAIL : m_pdbprofilelistimpl->Import(a_szPackageFile, a_blKeepList);
}
