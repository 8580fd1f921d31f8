// The public image-file object: a thin shell over COsImageImpl that refuses
// every operation when the implementation could not be made.
#include "os_cosimage.h"

#include "os_coslog.h"
#include "os_cosimageimpl.h"
#include "os_cosmem.h"

namespace {
bool NoImpl(const COsImageImpl* a_posimageimpl) {
  if (a_posimageimpl) return false;
  OsLog(OS_LOG_ASSERT, "m_posimageimpl is null...");
  return true;
}
}  // namespace

COsImage::COsImage() : m_posimageimpl(OsMemNew(COsImageImpl)) {}

COsImage::~COsImage() { OsMemDelete(m_posimageimpl); }

EOSSTS COsImage::Create(const char* a_szFilename, const char* a_szReportImage, bool a_blTemporary, bool a_blKeepOpen,
                        EOSIMAGEFILEFORMAT a_eosimagefileformat, EOSIMAGEMULTIPAGE a_eosimagemultipage,
                        bool a_blFileWrite) {
  if (NoImpl(m_posimageimpl)) return OS_STS_FAIL;
  return m_posimageimpl->Create(a_szFilename, a_szReportImage, a_blTemporary, a_blKeepOpen, a_eosimagefileformat,
                                a_eosimagemultipage, a_blFileWrite);
}

EOSSTS COsImage::Open(const char* a_szFilename, char* a_szReportImage, size_t a_sizetReportImage,
                      EOSIMAGEFILEFORMAT* a_peosimagefileformat) {
  if (NoImpl(m_posimageimpl)) return OS_STS_FAIL;
  return m_posimageimpl->Open(a_szFilename, a_szReportImage, a_sizetReportImage, a_peosimagefileformat);
}

EOSSTS COsImage::GetHeaderData(void* a_pvHeader, size_t a_sizetHeader, size_t* a_psizetTransferred) {
  if (NoImpl(m_posimageimpl)) return OS_STS_FAIL;
  return m_posimageimpl->GetHeaderData(a_pvHeader, a_sizetHeader, a_psizetTransferred);
}

EOSSTS COsImage::GetImageData(void* a_pvImage, size_t a_sizetOffset, size_t a_sizetBytes,
                              size_t* a_psizetTransferred) {
  if (NoImpl(m_posimageimpl)) return OS_STS_FAIL;
  return m_posimageimpl->GetImageData(a_pvImage, a_sizetOffset, a_sizetBytes, a_psizetTransferred);
}

EOSSTS COsImage::Save(const char* a_szFilename) {
  if (NoImpl(m_posimageimpl)) return OS_STS_FAIL;
  return m_posimageimpl->Save(a_szFilename);
}

void COsImage::Close(bool a_blDeleteSource, bool a_blDeleteOutput) {
  if (NoImpl(m_posimageimpl)) return;
  m_posimageimpl->Close(a_blDeleteSource, a_blDeleteOutput);
}

void COsImage::RegisterDecompressionFunction(void* a_pvUser, OsImageDecompressFunction a_pfnDecompress) {
  if (NoImpl(m_posimageimpl)) return;
  m_posimageimpl->RegisterDecompressionFunction(a_pvUser, a_pfnDecompress);
}
