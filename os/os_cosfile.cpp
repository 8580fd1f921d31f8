// The public file object: each operation checks the implementation and
// forwards to it.
#include "os_cosfile.h"

#include <new>

#include "os_cosfileimpl.h"
#include "os_coslog.h"

namespace {
bool Missing(const COsFileImpl* a_posfileimpl) {
  if (a_posfileimpl) return false;
  OsLog(OS_LOG_ASSERT, "m_posfileimpl is null...");
  return true;
}
}  // namespace

COsFile::COsFile() : m_posfileimpl(new (std::nothrow) COsFileImpl()) {
  if (m_posfileimpl) {
    OsLogDebug(OS_LOG_INFO, "mem>>> addr:%p  size:%7d  new %s", static_cast<void*>(m_posfileimpl),
               static_cast<int>(sizeof(COsFileImpl)), "COsFileImpl");
  }
}

COsFile::~COsFile() {
  if (!m_posfileimpl) return;
  m_posfileimpl->Close();
  OsLogDebug(OS_LOG_INFO, "mem>>> addr:%p delete-object", static_cast<void*>(m_posfileimpl));
  delete m_posfileimpl;
  m_posfileimpl = nullptr;
}

EOSSTS COsFile::Open(const char* a_szFilename, EOSFILEOPEN a_eosfileopen, EOSFILEACCESS a_eosfileaccess,
                     EOSFILESHARE a_eosfileshare) {
  if (Missing(m_posfileimpl)) return OS_STS_FAIL;
  return m_posfileimpl->Open(a_szFilename, a_eosfileopen, a_eosfileaccess, a_eosfileshare);
}

EOSSTS COsFile::OpenLockFile(const char* a_szFilename) {
  if (Missing(m_posfileimpl)) return OS_STS_FAIL;
  return m_posfileimpl->OpenLockFile(a_szFilename);
}

EOSSTS COsFile::Close() { return m_posfileimpl ? m_posfileimpl->Close() : OS_STS_SUCCESS; }

bool COsFile::IsOpen() { return !Missing(m_posfileimpl) && m_posfileimpl->IsOpen(); }

EOSSTS COsFile::GetName(char* a_szName, size_t a_sizetName) {
  if (Missing(m_posfileimpl)) return OS_STS_FAIL;
  return m_posfileimpl->GetName(a_szName, a_sizetName);
}

EOSSTS COsFile::Read(void* a_pBuffer, size_t a_sizetBytes, size_t* a_psizetRead) {
  if (Missing(m_posfileimpl)) return OS_STS_FAIL;
  return m_posfileimpl->Read(a_pBuffer, a_sizetBytes, a_psizetRead);
}

EOSSTS COsFile::Write(const void* a_pBuffer, size_t a_sizetBytes, size_t* a_psizetWritten) {
  if (Missing(m_posfileimpl)) return OS_STS_FAIL;
  return m_posfileimpl->Write(a_pBuffer, a_sizetBytes, a_psizetWritten);
}

int COsFile::Printf(const char* a_szFormat, ...) {
  va_list valist;
  va_start(valist, a_szFormat);
  int iResult = VPrintf(a_szFormat, valist);
  va_end(valist);
  return iResult;
}

int COsFile::VPrintf(const char* a_szFormat, va_list a_valist) {
  if (Missing(m_posfileimpl)) return -1;
  return m_posfileimpl->VPrintf(a_szFormat, a_valist);
}

long COsFile::SetPrintfBufferSize(long a_lBytes) {
  if (Missing(m_posfileimpl)) return -1;
  return m_posfileimpl->SetPrintfBufferSize(a_lBytes);
}

EOSSTS COsFile::Flush() {
  if (Missing(m_posfileimpl)) return OS_STS_FAIL;
  return m_posfileimpl->Flush();
}

EOSSTS COsFile::SetFilePointer(EOSFILEPOINTER a_eosfilepointer, long a_lOffset) {
  return SetFilePointer64(a_eosfilepointer, static_cast<int64_t>(a_lOffset));
}

EOSSTS COsFile::SetFilePointer64(EOSFILEPOINTER a_eosfilepointer, int64_t a_i64Offset) {
  if (Missing(m_posfileimpl)) return OS_STS_FAIL;
  return m_posfileimpl->SetFilePointer64(a_eosfilepointer, a_i64Offset);
}

EOSSTS COsFile::GetFilePointer(size_t* a_sizetBytes) {
  if (Missing(m_posfileimpl)) return OS_STS_FAIL;
  if (!a_sizetBytes) {
    OsLog(OS_LOG_ERROR, "a_sizetBytes is NULL...");
    return OS_STS_BAD_ARGUMENT;
  }
  if (!m_posfileimpl->IsOpen()) {
    OsLog(OS_LOG_ERROR, "Need to open a file first...");
    return OS_STS_BAD_ARGUMENT;
  }
  uint64_t u64Bytes = 0;
  EOSSTS eosstatus = m_posfileimpl->GetFilePointer64(&u64Bytes);
  *a_sizetBytes = static_cast<size_t>(u64Bytes);
  return eosstatus;
}

EOSSTS COsFile::GetFilePointer64(uint64_t* a_pu64Bytes) {
  if (Missing(m_posfileimpl)) return OS_STS_FAIL;
  return m_posfileimpl->GetFilePointer64(a_pu64Bytes);
}

EOSSTS COsFile::Size(size_t* a_psizetBytes) {
  if (Missing(m_posfileimpl)) return OS_STS_FAIL;
  if (!a_psizetBytes) {
    OsLog(OS_LOG_ERROR, "a_psizetBytes is null...");
    return OS_STS_FAIL;
  }
  uint64_t u64Bytes = 0;
  EOSSTS eosstatus = m_posfileimpl->Size64(&u64Bytes);
  *a_psizetBytes = static_cast<size_t>(u64Bytes);
  return eosstatus;
}

EOSSTS COsFile::Size64(uint64_t* a_pu64Bytes) {
  if (Missing(m_posfileimpl)) return OS_STS_FAIL;
  if (!a_pu64Bytes) {
    OsLog(OS_LOG_ERROR, "a_pu64Bytes is null...");
    return OS_STS_FAIL;
  }
  return m_posfileimpl->Size64(a_pu64Bytes);
}

EOSSTS COsFile::SetEndOfFile() {
  if (Missing(m_posfileimpl)) return OS_STS_FAIL;
  return m_posfileimpl->SetEndOfFile();
}

EOSSTS COsFile::Lock(size_t a_sizetOffset, size_t a_sizetRegion, long a_lTimeout, const char* a_szName) {
  if (Missing(m_posfileimpl)) return OS_STS_FAIL;
  return m_posfileimpl->Lock(a_sizetOffset, a_sizetRegion, a_lTimeout, a_szName);
}

EOSSTS COsFile::Unlock(size_t a_sizetOffset, size_t a_sizetRegion) {
  return m_posfileimpl ? m_posfileimpl->Unlock(a_sizetOffset, a_sizetRegion) : OS_STS_SUCCESS;
}

EOSSTS COsFile::TestLock(size_t a_sizetOffset, size_t a_sizetRegion) {
  if (Missing(m_posfileimpl)) return OS_STS_FAIL;
  return m_posfileimpl->TestLock(a_sizetOffset, a_sizetRegion);
}

EOSSTS COsFile::GetFileTimes(OsTimeRecord* a_ptimerecordAccessed, OsTimeRecord* a_ptimerecordModified) {
  if (Missing(m_posfileimpl)) return OS_STS_FAIL;
  return m_posfileimpl->GetFileTimes(a_ptimerecordAccessed, a_ptimerecordModified);
}

EOSSTS COsFile::SetFileTimes(const OsTimeRecord* a_ptimerecordAccessed, const OsTimeRecord* a_ptimerecordModified) {
  if (Missing(m_posfileimpl)) return OS_STS_FAIL;
  return m_posfileimpl->SetFileTimes(a_ptimerecordAccessed, a_ptimerecordModified);
}

EOSSTS COsFile::Print(const char*, const void*, size_t) { return OS_STS_SUCCESS; }

EOSSTS COsFile::PressKey() {
  OsLog(OS_LOG_ASSERT, "PressKey() not implemented for Linux or Mac...");
  return OS_STS_FAIL;
}

EOSSTS COsFile::PathRedirection(bool) { return OS_STS_SUCCESS; }
void COsFile::Shutdown() {}
void COsFile::CleanStatic() {}
