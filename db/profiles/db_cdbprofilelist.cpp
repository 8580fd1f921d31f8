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

const char* CDbProfileList::GetUserProfileDirectory() {
  return NoImpl(m_pdbprofilelistimpl) ? nullptr : m_pdbprofilelistimpl->GetUserProfileDirectory();
}

// Every profile the list holds so far is the user's or the resource's, and
// neither keeps files of its own elsewhere.
const char* CDbProfileList::GetCurrentProfileDirectory() { return GetUserProfileDirectory(); }

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
// Still to come
// ---------------------------------------------------------------------------
EDBSTS CDbProfileList::Unsupported(const char* a_szOperation) {
  return NoImpl(m_pdbprofilelistimpl) ? DB_STS_FAIL : m_pdbprofilelistimpl->Unsupported(a_szOperation);
}

const char* CDbProfileList::UnsupportedText(const char* a_szOperation) {
  Unsupported(a_szOperation);
  return nullptr;
}

EDBSTS CDbProfileList::SetCurrent(const char*) { return Unsupported("SetCurrent"); }
EDBSTS CDbProfileList::SetCurrent(const char*, const char*, unsigned int) { return Unsupported("SetCurrent"); }
EDBSTS CDbProfileList::RestoreInstalledProfiles(bool) { return Unsupported("RestoreInstalledProfiles"); }
EDBSTS CDbProfileList::Reset(bool) { return Unsupported("Reset"); }
const char* CDbProfileList::ReportProfileList() { return UnsupportedText("ReportProfileList"); }
EDBSTS CDbProfileList::Rename(const char*, const char*) { return Unsupported("Rename"); }
EDBSTS CDbProfileList::Import(const char*, bool) { return Unsupported("Import"); }
EDBSTS CDbProfileList::Export(const char*) { return Unsupported("Export"); }
EDBSTS CDbProfileList::Delete(const char*) { return Unsupported("Delete"); }
EDBSTS CDbProfileList::Create(const char*, const char*) { return Unsupported("Create"); }
EDBSTS CDbProfileList::Save() { return Unsupported("Save"); }
const char* CDbProfileList::GetUserProfileGraphicsDirectory() {
  return UnsupportedText("GetUserProfileGraphicsDirectory");
}
const char* CDbProfileList::GetInstalledProfileGraphicsDirectory() {
  return UnsupportedText("GetInstalledProfileGraphicsDirectory");
}
