// The public change-notification object: each operation checks the
// implementation and forwards to it.
#include "db_cdbnotify.h"

#include "db_cdbnotifyimpl.h"
#include "os_coslog.h"
#include "os_cosmem.h"

namespace {
bool Missing(const CDbNotifyImpl* a_pdbnotifyimpl) {
  if (a_pdbnotifyimpl) return false;
  OsLog(OS_LOG_ERROR, "m_pdbnotifyimpl is null...");
  return true;
}
}  // namespace

CDbNotify::CDbNotify() : m_pdbnotifyimpl(OsMemNew(CDbNotifyImpl)) {}

CDbNotify::~CDbNotify() { OsMemDelete(m_pdbnotifyimpl); }

void CDbNotify::Set(EDBNOTIFY a_edbnotify, CDbDatum* a_pdbdatum) {
  if (!Missing(m_pdbnotifyimpl)) m_pdbnotifyimpl->Set(a_edbnotify, a_pdbdatum);
}

void CDbNotify::Reset(EDBNOTIFY a_edbnotify, CDbDatum* a_pdbdatum) {
  if (!Missing(m_pdbnotifyimpl)) m_pdbnotifyimpl->Reset(a_edbnotify, a_pdbdatum);
}

void CDbNotify::SetAll(EDBNOTIFY a_edbnotify) {
  if (!Missing(m_pdbnotifyimpl)) m_pdbnotifyimpl->SetAll(a_edbnotify);
}

void CDbNotify::ResetAll(EDBNOTIFY a_edbnotify) {
  if (!Missing(m_pdbnotifyimpl)) m_pdbnotifyimpl->ResetAll(a_edbnotify);
}

CDbDatum* CDbNotify::Get(EDBNOTIFY a_edbnotify, EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, EDBID a_edbid) {
  return Missing(m_pdbnotifyimpl) ? nullptr : m_pdbnotifyimpl->Get(a_edbnotify, a_edbidwindow, a_edbbin, a_edbid);
}

CDbDatum* CDbNotify::GetFirst(EDBNOTIFY a_edbnotify) {
  return Missing(m_pdbnotifyimpl) ? nullptr : m_pdbnotifyimpl->GetFirst(a_edbnotify);
}

CDbDatum* CDbNotify::GetNext(EDBNOTIFY a_edbnotify, CDbDatum* a_pdbdatum) {
  return Missing(m_pdbnotifyimpl) ? nullptr : m_pdbnotifyimpl->GetNext(a_edbnotify, a_pdbdatum);
}

uint64_t CDbNotify::GetSidesCount() { return Missing(m_pdbnotifyimpl) ? 0 : m_pdbnotifyimpl->GetSidesCount(); }

uint64_t CDbNotify::GetImagesCount() { return Missing(m_pdbnotifyimpl) ? 0 : m_pdbnotifyimpl->GetImagesCount(); }
