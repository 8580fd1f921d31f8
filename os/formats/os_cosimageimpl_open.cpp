// Open: maps an existing image file, identifies it by its first bytes,
// parses its header into the object's fields and describes it; then the
// header and data of the open image are given out through the view.
#include <algorithm>
#include <cstring>

#include "os_coslog.h"
#include "os_cosimageimpl.h"
#include "os_cosstring.h"

namespace {
constexpr int64_t kOpenView = 4096;
}  // namespace

EOSSTS COsImageImpl::Open(const char* a_szFilename, char* a_szReportImage, size_t a_sizetReportImage,
                          EOSIMAGEFILEFORMAT* a_peosimagefileformat) {
  if (!ArgumentsGiven(a_szFilename, a_szReportImage)) return OS_STS_FAIL;
  if (!a_sizetReportImage) {
    OsLog(OS_LOG_ASSERT, "a_sizetReportImage is zero...");
    return OS_STS_FAIL;
  }
  a_szReportImage[0] = '\0';
  if (a_peosimagefileformat) *a_peosimagefileformat = OS_IMAGEFILEFORMAT_NONE;
  ReleaseImage();
  m_eosimagefileformat = OS_IMAGEFILEFORMAT_NONE;
  m_u32PageOffset = 0;
  m_szSource[0] = '\0';
  if (std::strlen(a_szFilename) >= sizeof m_szOutput) {
    OsLog(OS_LOG_ASSERT, "a_szFilename is too long...<%s>", a_szFilename);
    return OS_STS_FAIL;
  }
  COsString::SStrCpy(m_szOutput, sizeof m_szOutput, a_szFilename);
  m_pvView = MapReadOnly(a_szFilename, kOpenView);
  if (!m_pvView) {
    OsLog(OS_LOG_ASSERT, "Unable to open file...<%s>", a_szFilename);
    return OS_STS_FAIL;
  }
  const uint64_t u64FileSize = MappedFileSize(m_pvView);
  if (!u64FileSize) {
    OsLog(OS_LOG_ASSERT, "OsMemGetSettings failed...");
    FreeView(m_pvView);
    return OS_STS_FAIL;
  }

  const uint8_t* pb = static_cast<const uint8_t*>(m_pvView);
  const uint64_t u64First = std::min<uint64_t>(kOpenView, u64FileSize);
  EOSSTS eossts = OS_STS_FAIL;
  if (u64First >= 2 && pb[0] == 'I' && pb[1] == 'I') {
    m_eosimagefileformat = OS_IMAGEFILEFORMAT_TIFF;
  } else if (u64First >= 4 && pb[0] == 0xFF && pb[1] == 0xD8 && pb[2] == 0xFF && pb[3] == 0xE0) {
    m_eosimagefileformat = OS_IMAGEFILEFORMAT_JFIF;
  } else if (u64First >= 2 && pb[0] == 'B' && pb[1] == 'M') {
    m_eosimagefileformat = OS_IMAGEFILEFORMAT_BMP;
  } else {
    OsLog(OS_LOG_ASSERT, "We can't auto-identify this image...");
    FreeView(m_pvView);
    return OS_STS_FAIL;
  }
  if (a_peosimagefileformat) *a_peosimagefileformat = m_eosimagefileformat;
  switch (m_eosimagefileformat) {
    case OS_IMAGEFILEFORMAT_TIFF:
      eossts = ParseTiffHeader(u64FileSize);
      if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ASSERT, "ParseTiffHeader failed...");
      break;
    case OS_IMAGEFILEFORMAT_JFIF:
      eossts = ParseJfifHeader(m_pvView, u64FileSize);
      if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ASSERT, "ParseJfifHeader failed...");
      break;
    default:
      eossts = ParseBmpHeader(u64FileSize);
      if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ASSERT, "ParseBmpHeader failed...");
      break;
  }
  // Values read from the file are trusted no further than the file goes:
  // data past its end cannot be mapped, and a resolution of 0 converts to
  // no length.
  if (eossts == OS_STS_SUCCESS && static_cast<uint64_t>(m_u32HeaderSize) + m_u32ImageSize > u64FileSize) {
    OsLog(OS_LOG_ASSERT, "header and image go beyond end of file...%u + %u > %llu", m_u32HeaderSize, m_u32ImageSize,
          static_cast<unsigned long long>(u64FileSize));
    eossts = OS_STS_FAIL;
  }
  if (eossts == OS_STS_SUCCESS && !m_u32Resolution) {
    OsLog(OS_LOG_ASSERT, "resolution is zero...<%s>", a_szFilename);
    eossts = OS_STS_FAIL;
  }
  if (eossts == OS_STS_SUCCESS && !MoveView(m_pvView, 0, u64First)) eossts = OS_STS_FAIL;
  if (eossts == OS_STS_SUCCESS) eossts = DescribeImage(a_szReportImage, a_sizetReportImage);
  // A file that failed is not left open for the readers below.
  if (eossts != OS_STS_SUCCESS) FreeView(m_pvView);
  return eossts;
}

EOSSTS COsImageImpl::GetHeaderData(void* a_pvHeader, size_t a_sizetHeader, size_t* a_psizetTransferred) {
  if (!a_pvHeader && !a_sizetHeader && a_psizetTransferred && m_pvView) {
    *a_psizetTransferred = m_u32HeaderSize;
    return OS_STS_SUCCESS;
  }
  if (!m_pvView) {
    OsLog(OS_LOG_ASSERT, "must Create/Open before GetHeaderData...");
    return OS_STS_FAIL;
  }
  if (!a_pvHeader) {
    OsLog(OS_LOG_ASSERT, "a_pvHeader is NULL...");
    return OS_STS_FAIL;
  }
  if (!a_psizetTransferred) {
    OsLog(OS_LOG_ASSERT, "a_pvTransferred is NULL...");
    return OS_STS_FAIL;
  }
  *a_psizetTransferred = m_u32HeaderSize;
  if (a_sizetHeader < m_u32HeaderSize) {
    OsLog(OS_LOG_ASSERT, "a_sizetHeader is too small...%zu < %u", a_sizetHeader, m_u32HeaderSize);
    return OS_STS_NOROOM_BUFFER;
  }
  if (!m_u32HeaderSize) return OS_STS_SUCCESS;
  if (!MoveView(m_pvView, m_u32PageOffset, m_u32HeaderSize)) {
    *a_psizetTransferred = 0;
    return OS_STS_FAIL;
  }
  std::memcpy(a_pvHeader, m_pvView, m_u32HeaderSize);
  return OS_STS_SUCCESS;
}

EOSSTS COsImageImpl::GetImageData(void* a_pvImage, size_t a_sizetOffset, size_t a_sizetBytes,
                                  size_t* a_psizetTransferred) {
  if (!a_pvImage && !a_sizetOffset && !a_sizetBytes && a_psizetTransferred && m_pvView) {
    *a_psizetTransferred = m_u32ImageSize;
    return OS_STS_SUCCESS;
  }
  if (!m_pvView) {
    OsLog(OS_LOG_ASSERT, "must Create/Open before GetImageData...");
    return OS_STS_FAIL;
  }
  if (!a_pvImage) {
    OsLog(OS_LOG_ASSERT, "a_pvImage is NULL...");
    return OS_STS_FAIL;
  }
  if (!a_psizetTransferred) {
    OsLog(OS_LOG_ASSERT, "a_pvTransferred is NULL...");
    return OS_STS_FAIL;
  }
  if (!a_sizetBytes || a_sizetOffset > m_u32ImageSize) {
    OsLog(OS_LOG_ASSERT, "%s", a_sizetBytes ? "a_sizetOffset goes beyond end of image..." : "a_sizetBytes is zero...");
    *a_psizetTransferred = m_u32ImageSize;
    return OS_STS_NOROOM_BUFFER;
  }
  const uint64_t u64Bytes = std::min<uint64_t>(a_sizetBytes, m_u32ImageSize - a_sizetOffset);
  const uint64_t u64Start = static_cast<uint64_t>(m_u32PageOffset) + m_u32HeaderSize + a_sizetOffset;
  *a_psizetTransferred = 0;
  for (uint64_t u64Done = 0; u64Done < u64Bytes;) {
    uint64_t u64Piece = std::min<uint64_t>(m_u32ChunkSize, u64Bytes - u64Done);
    if (!MoveView(m_pvView, u64Start + u64Done, u64Piece)) return OS_STS_FAIL;
    std::memcpy(static_cast<uint8_t*>(a_pvImage) + u64Done, m_pvView, static_cast<size_t>(u64Piece));
    u64Done += u64Piece;
  }
  *a_psizetTransferred = static_cast<size_t>(u64Bytes);
  return OS_STS_SUCCESS;
}
