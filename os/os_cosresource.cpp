// The public resource object: each operation checks the implementation and
// forwards to it.
#include "os_cosresource.h"

#include <new>

#include "os_coslog.h"
#include "os_cosresourceimpl.h"

namespace {
bool Missing(const COsResourceImpl* a_posresourceimpl) {
  if (a_posresourceimpl) return false;
  OsLog(OS_LOG_ASSERT, "m_posresourceimpl is null...");
  return true;
}
}  // namespace

COsResource::COsResource() : m_posresourceimpl(new (std::nothrow) COsResourceImpl()) {
  if (m_posresourceimpl) {
    OsLogDebug(OS_LOG_INFO, "mem>>> addr:%p  size:%7d  new %s", static_cast<void*>(m_posresourceimpl),
               static_cast<int>(sizeof(COsResourceImpl)), "COsResourceImpl");
  }
}

COsResource::~COsResource() {
  if (!m_posresourceimpl) return;
  m_posresourceimpl->Close();
  m_posresourceimpl->FindClose();
  OsLogDebug(OS_LOG_INFO, "mem>>> addr:%p delete-object", static_cast<void*>(m_posresourceimpl));
  delete m_posresourceimpl;
  m_posresourceimpl = nullptr;
}

EOSSTS COsResource::Open(const char* a_szFile, const char* a_szName, EOSRESOURCETYPE) {
  if (Missing(m_posresourceimpl)) return OS_STS_FAIL;
  return m_posresourceimpl->Open(a_szFile, a_szName);
}

const void* COsResource::GetPointer() {
  if (Missing(m_posresourceimpl)) return nullptr;
  return m_posresourceimpl->GetPointer();
}

uint64_t COsResource::GetSize() {
  if (Missing(m_posresourceimpl)) return 0;
  return m_posresourceimpl->GetSize();
}

EOSSTS COsResource::Close() {
  if (Missing(m_posresourceimpl)) return OS_STS_FAIL;
  return m_posresourceimpl->Close();
}

EOSSTS COsResource::FindFirst(const char* a_szFile, char* a_szName, size_t a_sizetName) {
  if (Missing(m_posresourceimpl)) return OS_STS_FAIL;
  return m_posresourceimpl->FindFirst(a_szFile, a_szName, a_sizetName);
}

EOSSTS COsResource::FindNext(char* a_szName, size_t a_sizetName) {
  if (Missing(m_posresourceimpl)) return OS_STS_FAIL;
  return m_posresourceimpl->FindNext(a_szName, a_sizetName);
}

EOSSTS COsResource::FindClose() {
  if (Missing(m_posresourceimpl)) return OS_STS_FAIL;
  return m_posresourceimpl->FindClose();
}

EOSSTS COsResource::Update(const char* a_szFile, const char* a_szName, EOSRESOURCETYPE a_eosresourcetype,
                           uint64_t a_u64Size, const void* a_pvData, long) {
  if (Missing(m_posresourceimpl)) return OS_STS_FAIL;
  return m_posresourceimpl->Update(a_szFile, a_szName, a_eosresourcetype, a_u64Size, a_pvData);
}
