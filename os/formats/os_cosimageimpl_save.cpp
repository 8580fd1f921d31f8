// Save: the open image, header and data, written to another file through
// the object's own file, in 2 MiB pieces. A header-less bitmap gets its
// 14-byte file header in front. The file is written beside the target and
// renamed over it, so a failure leaves neither a half-written target nor a
// lost earlier one.
#include <cstring>

#include "os_coslog.h"
#include "os_cosimageimpl.h"
#include "os_cosmem.h"
#include "os_cosstring.h"

namespace {
constexpr size_t kPiece = 2097152;
constexpr uint32_t kFileHeader = 14;
}  // namespace

EOSSTS COsImageImpl::Save(const char* a_szFilename) {
  if (!a_szFilename) {
    OsLog(OS_LOG_ASSERT, "a_szFilename is null...");
    return OS_STS_FAIL;
  }
  if (!m_pvView) {
    OsLog(OS_LOG_ASSERT, "must Create/Open before Save...");
    return OS_STS_FAIL;
  }
  if (std::strlen(a_szFilename) >= s_sizetName) {
    OsLog(OS_LOG_ASSERT, "a_szFilename is too long...<%s>", a_szFilename);
    return OS_STS_FAIL;
  }
  bool blFileHeader = false;
  switch (m_eosimagefileformat) {
    case OS_IMAGEFILEFORMAT_TIFF:
    case OS_IMAGEFILEFORMAT_JFIF:
    case OS_IMAGEFILEFORMAT_BMP:
    case OS_IMAGEFILEFORMAT_BMPTOPDOWN: break;
    case OS_IMAGEFILEFORMAT_DIB:
    case OS_IMAGEFILEFORMAT_DIBTOPDOWN: blFileHeader = true; break;
    default:
      OsLog(OS_LOG_ASSERT, "Unsupported a_eosimagefileformat...%d", static_cast<int>(m_eosimagefileformat));
      return OS_STS_FAIL;
  }
  // Written beside the target: its directory ("." without one, "/" for the root).
  char szDirectory[s_sizetName] = ".", szWriting[s_sizetName] = "";
  const char* szSlash = std::strrchr(a_szFilename, '/');
  const size_t sizetDirectory = szSlash ? static_cast<size_t>(szSlash - a_szFilename) : 0;
  if (szSlash && sizetDirectory < sizeof szDirectory) {
    std::memcpy(szDirectory, a_szFilename, sizetDirectory);
    szDirectory[sizetDirectory] = '\0';
    if (!sizetDirectory) COsString::SStrCpy(szDirectory, sizeof szDirectory, "/");
  }
  EOSSTS eossts = COsFile::GetTempName(szDirectory, szWriting, ".osisave", sizeof szWriting);
  if (eossts == OS_STS_SUCCESS) eossts = COsFile::Open(szWriting, OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READ);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ASSERT, "Failed to Open file...%d", static_cast<int>(eossts));
    return OS_STS_FAIL;
  }
  uint8_t* pbPiece = static_cast<uint8_t*>(OsMemAlloc(kPiece));
  eossts = pbPiece ? SaveTo(pbPiece, kPiece, blFileHeader) : OS_STS_FAIL;
  if (!pbPiece) OsLog(OS_LOG_ASSERT, "OsMemAlloc failed...");
  if (pbPiece) OsMemFree(pbPiece);
  COsFile::Close();
  if (eossts == OS_STS_SUCCESS && COsFile::Move(szWriting, a_szFilename) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ASSERT, "Failed to Write file...%d", static_cast<int>(OS_STS_FAIL));
    eossts = OS_STS_FAIL;
  }
  if (eossts != OS_STS_SUCCESS) COsFile::Delete(szWriting, OS_FILETYPE_FILE, false);
  return eossts;
}

// The pieces, through one buffer, into the open file.
EOSSTS COsImageImpl::SaveTo(uint8_t* a_pbPiece, size_t a_sizetPiece, bool a_blFileHeader) {
  size_t sizetGot = 0;
  EOSSTS eossts = OS_STS_SUCCESS;
  if (a_blFileHeader) {
    uint8_t abFileHeader[kFileHeader] = {'B', 'M'};
    OsImagePutU32(abFileHeader + 2, m_u32HeaderSize + m_u32ImageSize + kFileHeader);
    OsImagePutU32(abFileHeader + 10, m_u32HeaderSize + kFileHeader);
    eossts = COsFile::Write(abFileHeader, sizeof abFileHeader);
  }
  if (eossts == OS_STS_SUCCESS && GetHeaderData(a_pbPiece, a_sizetPiece, &sizetGot) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ASSERT, "Failed to get header data...");
    return OS_STS_FAIL;
  }
  if (eossts == OS_STS_SUCCESS && sizetGot) eossts = COsFile::Write(a_pbPiece, sizetGot);
  for (size_t sizetDone = 0; eossts == OS_STS_SUCCESS && sizetDone < m_u32ImageSize; sizetDone += sizetGot) {
    if (GetImageData(a_pbPiece, sizetDone, a_sizetPiece, &sizetGot) != OS_STS_SUCCESS || !sizetGot) {
      OsLog(OS_LOG_ASSERT, "Failed to get image data...");
      return OS_STS_FAIL;
    }
    eossts = COsFile::Write(a_pbPiece, sizetGot);
  }
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ASSERT, "Failed to Write file...%d", static_cast<int>(eossts));
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}
