// The image-file object's life: construction with the copy chunk size,
// the decompression function, and Close.
#include "os_cosimageimpl.h"

#include <cstring>

#include "os_coscfg.h"
#include "os_coslog.h"

namespace {
constexpr long kDefaultChunkSize = 16777216;
}  // namespace

COsImageImpl::COsImageImpl()
    : m_pvView(nullptr),
      m_u32HeaderSize(0),
      m_u32Width(0),
      m_u32Height(0),
      m_u32ImageSize(0),
      m_u32Resolution(0),
      m_u32EndOffset(0),
      m_u32PageOffset(0),
      m_u32ChunkSize(0),
      m_eosimageformat(OS_IMAGEFORMAT_UNKNOWN),
      m_eosimagecompression(OS_IMAGECOMPRESSION_UNKNOWN),
      m_szSource{},
      m_szOutput{},
      m_pfnDecompress(nullptr),
      m_pvDecompressUser(nullptr),
      m_blKeptOpen(false),
      m_blDecompressLookup(false),
      m_eosimagefileformat(OS_IMAGEFILEFORMAT_NONE),
      m_szPages{},
      m_u32NextDirectoryAt(0) {
  // A chunk that is no positive 32-bit count would copy nothing or wrap.
  long lChunk = OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEFILECHUNKSIZE, kDefaultChunkSize);
  if (lChunk < 1 || lChunk > static_cast<long>(UINT32_MAX)) lChunk = kDefaultChunkSize;
  m_u32ChunkSize = static_cast<uint32_t>(lChunk);
}

COsImageImpl::~COsImageImpl() { FreeView(m_pvView); }

void COsImageImpl::RegisterDecompressionFunction(void* a_pvUser, OsImageDecompressFunction a_pfnDecompress) {
  m_pvDecompressUser = a_pvUser;
  m_pfnDecompress = a_pfnDecompress;
}

// Gives up the image held open by the last Create or Open.
void COsImageImpl::ReleaseImage() {
  FreeView(m_pvView);
  m_blKeptOpen = false;
}

void COsImageImpl::Close(bool a_blDeleteSource, bool a_blDeleteOutput) {
  FreeView(m_pvView);
  if (a_blDeleteSource && m_szSource[0]) COsFile::Delete(m_szSource, OS_FILETYPE_FILE, false);
  const bool blPagesDeleted = a_blDeleteOutput && m_szOutput[0] && std::strcmp(m_szOutput, m_szPages) == 0;
  if (a_blDeleteOutput && m_szOutput[0]) COsFile::Delete(m_szOutput, OS_FILETYPE_FILE, false);
  if (m_szPages[0] && !blPagesDeleted) FinishPages(m_blKeptOpen);
  m_blKeptOpen = false;
  m_u32Width = m_u32Height = m_u32ImageSize = m_u32Resolution = 0;
  m_u32EndOffset = m_u32PageOffset = m_u32NextDirectoryAt = 0;
  m_eosimageformat = OS_IMAGEFORMAT_UNKNOWN;
  m_eosimagecompression = OS_IMAGECOMPRESSION_UNKNOWN;
  m_szSource[0] = '\0';
  m_szOutput[0] = '\0';
  m_szPages[0] = '\0';
}
