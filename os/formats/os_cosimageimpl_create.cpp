// Create: reads the description, settles the file format (from the output
// name's extension or the source's first bytes) and runs its writer.
#include <strings.h>

#include <algorithm>
#include <cstring>

#include "os_cosfileimpl.h"
#include "os_coslog.h"
#include "os_cosimageimpl.h"
#include "os_cosstring.h"

namespace {
const struct {
  const char* szExtension;
  EOSIMAGEFILEFORMAT eosimagefileformat;
} s_aextension[] = {
    {".tif", OS_IMAGEFILEFORMAT_TIFF}, {".tiff", OS_IMAGEFILEFORMAT_TIFF},  {".jpg", OS_IMAGEFILEFORMAT_JFIF},
    {".jpeg", OS_IMAGEFILEFORMAT_JFIF}, {".bmp", OS_IMAGEFILEFORMAT_BMP},   {".dib", OS_IMAGEFILEFORMAT_DIB},
    {".rawbmp", OS_IMAGEFILEFORMAT_RAWBITMAP},
};

const uint8_t s_abJfif[] = {0xFF, 0xD8, 0xFF, 0xE0};
}  // namespace

EOSSTS COsImageImpl::Create(const char* a_szFilename, const char* a_szReportImage, bool a_blTemporary,
                            bool a_blKeepOpen, EOSIMAGEFILEFORMAT a_eosimagefileformat,
                            EOSIMAGEMULTIPAGE a_eosimagemultipage, bool a_blFileWrite) {
  if (!ArgumentsGiven(a_szFilename, a_szReportImage)) return OS_STS_FAIL;
  if (std::strlen(a_szFilename) >= sizeof m_szOutput) {
    OsLog(OS_LOG_ASSERT, "a_szFilename is too long...<%s>", a_szFilename);
    return OS_STS_FAIL;
  }
  // A later page of a multi-page file still holds the previous page's view.
  if (a_eosimagefileformat != OS_IMAGEFILEFORMAT_TIFFMULTIPAGE) ReleaseImage();
  COsString::SStrCpy(m_szOutput, sizeof m_szOutput, a_szFilename);
  m_eosimagefileformat = OS_IMAGEFILEFORMAT_NONE;
  EOSSTS eossts = ParseReportImage(a_szReportImage);
  if (eossts != OS_STS_SUCCESS) return eossts;
  if (a_eosimagefileformat == OS_IMAGEFILEFORMAT_BYNAME) {
    eossts = ChooseFileFormat(&a_eosimagefileformat);
    if (eossts != OS_STS_SUCCESS) return eossts;
  }
  // Every writer empties or grows its output before it has read the
  // source: the source's own file would lose its image.
  if (COsFileImpl::SameFile(m_szOutput, m_szSource)) {
    OsLog(OS_LOG_ASSERT, "output is the source image file...<%s>", m_szOutput);
    m_szOutput[0] = '\0';  // nor may a Close that deletes the output take it
    return OS_STS_FAIL;
  }
  m_eosimagefileformat = a_eosimagefileformat;
  switch (a_eosimagefileformat) {
    case OS_IMAGEFILEFORMAT_TIFF: return CreateTiff(a_blTemporary, a_blKeepOpen, a_blFileWrite);
    case OS_IMAGEFILEFORMAT_TIFFMULTIPAGE: return CreateTiffMultiPage(a_blTemporary, a_blKeepOpen, a_eosimagemultipage);
    case OS_IMAGEFILEFORMAT_JFIF: return CreateJfif(a_blTemporary, a_blKeepOpen, a_blFileWrite);
    case OS_IMAGEFILEFORMAT_BMP:
    case OS_IMAGEFILEFORMAT_BMPTOPDOWN:
    case OS_IMAGEFILEFORMAT_DIB:
    case OS_IMAGEFILEFORMAT_DIBTOPDOWN:
    case OS_IMAGEFILEFORMAT_RAWBITMAP: return CreateBitmap(a_eosimagefileformat, a_blTemporary, a_blKeepOpen);
    default:
      OsLog(OS_LOG_ASSERT, "unrecognized a_eosimagefileformat...%d", static_cast<int>(a_eosimagefileformat));
      return OS_STS_FAIL;
  }
}

// The file and description that Create and Open both need.
bool COsImageImpl::ArgumentsGiven(const char* a_szFilename, const void* a_pvReportImage) {
  if (!a_szFilename) {
    OsLog(OS_LOG_ASSERT, "a_szFilename is null...");
    return false;
  }
  if (!a_pvReportImage) {
    OsLog(OS_LOG_ASSERT, "a_szReportImage is null...");
    return false;
  }
  return true;
}

// By the extension of the output's file part (any case); without a known
// one by the source's first bytes, and the matching extension is appended.
EOSSTS COsImageImpl::ChooseFileFormat(EOSIMAGEFILEFORMAT* a_peosimagefileformat) {
  const char* szSlash = std::strrchr(m_szOutput, '/');
  const char* szExtension = std::strrchr(szSlash ? szSlash + 1 : m_szOutput, '.');
  for (const auto& extension : s_aextension) {
    if (szExtension && strcasecmp(szExtension, extension.szExtension) == 0) {
      *a_peosimagefileformat = extension.eosimagefileformat;
      return OS_STS_SUCCESS;
    }
  }
  void* pvSource = MapReadOnly(m_szSource, sizeof s_abJfif);
  if (!pvSource) {
    OsLog(OS_LOG_ASSERT, "failed to open input image file...<%s>", m_szSource);
    return OS_STS_FAIL;
  }
  uint8_t abFirst[sizeof s_abJfif] = {};
  std::memcpy(abFirst, pvSource, std::min<uint64_t>(sizeof abFirst, MappedFileSize(pvSource)));
  FreeView(pvSource);
  const char* szAppend = ".tif";
  *a_peosimagefileformat = OS_IMAGEFILEFORMAT_TIFF;
  if (std::memcmp(abFirst, s_abJfif, sizeof s_abJfif) == 0) {
    szAppend = ".jpg";
    *a_peosimagefileformat = OS_IMAGEFILEFORMAT_JFIF;
  } else if (abFirst[0] == 'B' && abFirst[1] == 'M') {
    szAppend = ".bmp";
    *a_peosimagefileformat = OS_IMAGEFILEFORMAT_BMP;
  } else if (abFirst[0] != 'I' || abFirst[1] != 'I') {
    OsLogDebug(OS_LOG_INFO, "unspecified image file format, assuming TIFF...");
  }
  if (std::strlen(m_szOutput) + std::strlen(szAppend) >= sizeof m_szOutput) {
    OsLog(OS_LOG_ASSERT, "a_szFilename is too long...<%s%s>", m_szOutput, szAppend);
    return OS_STS_FAIL;
  }
  COsString::SStrCat(m_szOutput, sizeof m_szOutput, szAppend);
  return OS_STS_SUCCESS;
}
