// The public label object: each operation checks the implementation and
// forwards to it.
#include "db_cdblabel.h"

#include "db_cdblabelimpl.h"
#include "os_coslog.h"
#include "os_cosmem.h"

namespace {
bool Missing(const CDbLabelImpl* a_pdblabelimpl) {
  if (a_pdblabelimpl) return false;
  OsLog(OS_LOG_ERROR, "m_pdblabelimpl is null...");
  return true;
}
}  // namespace

CDbLabel::CDbLabel() : m_pdblabelimpl(OsMemNew(CDbLabelImpl)) {}

CDbLabel::~CDbLabel() { OsMemDelete(m_pdblabelimpl); }

EOSSTS CDbLabel::Open() { return Missing(m_pdblabelimpl) ? OS_STS_FAIL : m_pdblabelimpl->Open(); }

const char* CDbLabel::Get(const char* a_szTag, long a_lIndex) {
  return Missing(m_pdblabelimpl) ? CDbLabelImpl::s_szUnknown : m_pdblabelimpl->Get(a_szTag, a_lIndex);
}

void CDbLabel::Close() {
  if (!Missing(m_pdblabelimpl)) m_pdblabelimpl->Close();
}

void CDbLabel::Dump(const char* a_szDirectory) {
  if (!Missing(m_pdblabelimpl)) m_pdblabelimpl->Dump(a_szDirectory);
}
