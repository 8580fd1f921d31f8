// The public lookup object: each operation checks the implementation and
// forwards to it.
#include "db_cdblookup.h"

#include "db_cdblookupimpl.h"
#include "os_coslog.h"
#include "os_cosmem.h"

namespace {
bool Missing(const CDbLookupImpl* a_pdblookupimpl) {
  if (a_pdblookupimpl) return false;
  OsLog(OS_LOG_ERROR, "m_pdblookupimpl is null...");
  return true;
}
}  // namespace

CDbLookup::CDbLookup() : m_pdblookupimpl(OsMemNew(CDbLookupImpl)) {}

CDbLookup::~CDbLookup() { OsMemDelete(m_pdblookupimpl); }


EOSSTS CDbLookup::Open2(EDBAPI a_edbapi, const char* a_szModule, const void* a_pvData, unsigned long a_ulSize,
                        bool a_blBind) {
  if (Missing(m_pdblookupimpl)) return OS_STS_FAIL;
  return m_pdblookupimpl->Open2(a_edbapi, a_szModule, a_pvData, a_ulSize, a_blBind);
}

DbLookup2* CDbLookup::FindEdbid(EDBID a_edbid) {
  return Missing(m_pdblookupimpl) ? nullptr : m_pdblookupimpl->FindEdbid(a_edbid);
}

DbLookup2* CDbLookup::FindLexicon(const char* a_szLexicon) {
  return Missing(m_pdblookupimpl) ? nullptr : m_pdblookupimpl->FindLexicon(a_szLexicon);
}

DbLookup2* CDbLookup::FindDriverLexicon(const char* a_szTwainLexicon) {
  return Missing(m_pdblookupimpl) ? nullptr : m_pdblookupimpl->FindDriverLexicon(a_szTwainLexicon);
}

DbLookupEnum* CDbLookup::FindDbEnum(DbLookup2* a_pdblookup2, long a_lValue) {
  return Missing(m_pdblookupimpl) ? nullptr : m_pdblookupimpl->FindDbEnum(a_pdblookup2, a_lValue);
}

DbLookupEnum* CDbLookup::FindLexiconEnum(DbLookup2* a_pdblookup2, const char* a_szLexicon) {
  return Missing(m_pdblookupimpl) ? nullptr : m_pdblookupimpl->FindLexiconEnum(a_pdblookup2, a_szLexicon);
}

DbLookupEnum* CDbLookup::FindLabelEnum(DbLookup2* a_pdblookup2, const char* a_szLabel) {
  return Missing(m_pdblookupimpl) ? nullptr : m_pdblookupimpl->FindLabelEnum(a_pdblookup2, a_szLabel);
}

void CDbLookup::SetWritable(bool a_blWritable) {
  if (!Missing(m_pdblookupimpl)) m_pdblookupimpl->SetWritable(a_blWritable);
}

long CDbLookup::RepointEnums(DbLookup2* a_pdblookup2, const DbLookupEnumTexts* a_pdblookupenumtexts, long a_lCount) {
  return Missing(m_pdblookupimpl) ? 0 : m_pdblookupimpl->RepointEnums(a_pdblookup2, a_pdblookupenumtexts, a_lCount);
}

void CDbLookup::Dump(const char* a_szFile) {
  if (!Missing(m_pdblookupimpl)) m_pdblookupimpl->Dump(a_szFile);
}
