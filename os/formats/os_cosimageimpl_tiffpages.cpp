// Multi-page TIFF files, one page per call: the first page is a TIFF file of
// its own; every later page puts its directory and values (the layout
// without its 8-byte file header) and then its data at the end of the file,
// so that each layout position p lies at page offset - 8 + p. Each page
// points at the next one's directory; the last page ends the chain.
#include <cstring>

#include "os_coslog.h"
#include "os_cosimageimpl.h"
#include "os_cosimagetiff.h"
#include "os_cosstring.h"
#include "os_costime.h"

namespace {
constexpr uint32_t kFileHeader = 8;
constexpr uint32_t kMultiPage = 2;  // NewSubfileType: one page of several
constexpr long kCloseWait = 5000;
constexpr long kCloseStep = 10;
long s_lCloseWait = kCloseWait;
long s_lCloseStep = kCloseStep;

bool FileSize(const char* a_szFile, uint64_t* a_pu64Size) {
  COsFile osfile;
  return COsFile::Exists(a_szFile) &&
         osfile.Open(a_szFile, OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READ) == OS_STS_SUCCESS &&
         osfile.Size64(a_pu64Size) == OS_STS_SUCCESS;
}
}  // namespace

void COsImageImpl::SetCloseWait(long a_lTotal, long a_lStep) {
  s_lCloseWait = a_lTotal > 0 ? a_lTotal : kCloseWait;
  s_lCloseStep = a_lStep > 0 ? a_lStep : kCloseStep;
}

EOSSTS COsImageImpl::CreateTiffMultiPage(bool a_blTemporary, bool a_blKeepOpen, EOSIMAGEMULTIPAGE a_eosimagemultipage) {
  if (CheckParsed() != OS_STS_SUCCESS) return OS_STS_FAIL;
  const TiffLayout* ptifflayout = OsImageTiffLayout(m_eosimageformat, m_eosimagecompression, OsImageTiffVersion());
  if (!ptifflayout) return OS_STS_FAIL;
  if (a_eosimagemultipage != OS_IMAGEMULTIPAGE_FIRST && a_eosimagemultipage != OS_IMAGEMULTIPAGE_MIDDLE &&
      a_eosimagemultipage != OS_IMAGEMULTIPAGE_LAST) {
    OsLog(OS_LOG_ASSERT, "Unrecognized a_eosimagemultipage...%d", static_cast<int>(a_eosimagemultipage));
    ReleaseImage();
    return OS_STS_FAIL;
  }
  // A page of another file means the job before is over, finished or not:
  // its chain ends where it is now.
  if (m_szPages[0] && std::strcmp(m_szPages, m_szOutput) != 0) {
    const bool blCut = m_blKeptOpen;
    ReleaseImage();
    FinishPages(blCut);
    m_szPages[0] = '\0';
    m_u32EndOffset = 0;
  }
  // The end offset recorded stands for the file it was recorded for. A
  // last page with nothing before it is a file of one page; a middle page
  // of a file this object did not start goes behind what the file holds.
  const bool blSameFile = m_u32EndOffset && std::strcmp(m_szPages, m_szOutput) == 0;
  const bool blLast = a_eosimagemultipage == OS_IMAGEMULTIPAGE_LAST;
  const bool blFirst = a_eosimagemultipage == OS_IMAGEMULTIPAGE_FIRST || (blLast && !blSameFile);
  uint64_t u64PageOffset = blFirst ? 0 : blSameFile ? m_u32EndOffset : UINT64_MAX;
  if (u64PageOffset == UINT64_MAX && (!FileSize(m_szOutput, &u64PageOffset) || u64PageOffset < kFileHeader)) {
    OsLog(OS_LOG_ASSERT, "Failed to open file...<%s>", m_szOutput);
    return OS_STS_FAIL;
  }
  const uint32_t u32Header = ptifflayout->u32HeaderSize;
  const uint64_t u64End = u64PageOffset + u32Header + m_u32ImageSize;
  if (u64End > UINT32_MAX) {
    OsLog(OS_LOG_ASSERT, "imagesize is too large for a TIFF file...%u", m_u32ImageSize);
    return OS_STS_FAIL;
  }
  void* pvSource = nullptr;
  if (MapSource(m_szSource, m_u32ImageSize, pvSource, s_i64HeaderView) != OS_STS_SUCCESS) return OS_STS_FAIL;
  ReleaseImage();
  m_pvView = blFirst ? MapFile(a_blTemporary ? OS_SHAREDALLOC_CREATETEMPORARY : OS_SHAREDALLOC_CREATE, m_szOutput,
                               static_cast<int64_t>(u64End), 0, s_i64HeaderView, 0)
                     : MapFile(OS_SHAREDALLOC_OPEN, m_szOutput, static_cast<int64_t>(u64End),
                               static_cast<int64_t>(u64PageOffset - kFileHeader), s_i64HeaderView,
                               OS_SHAREDFLAG_RESIZE);
  if (!m_pvView) {
    OsLog(OS_LOG_ASSERT, "OsMemSharedAlloc failed...<%s>", m_szOutput);
    FreeView(pvSource);
    return OS_STS_FAIL;
  }

  const uint32_t u32PageOffset = static_cast<uint32_t>(u64PageOffset);
  TiffFill tifffill = TiffValues();
  tifffill.u32NewSubfileType = kMultiPage;
  tifffill.u32PageOffset = u32PageOffset;
  tifffill.u32Shift = blFirst ? 0 : u32PageOffset - kFileHeader;
  tifffill.u32NextDirectory = blLast ? 0 : static_cast<uint32_t>(u64End);
  uint8_t abHeader[kTiffHeaderMax];
  OsImageTiffBuild(*ptifflayout, tifffill, abHeader);
  // Layout position p lies at file offset p (first page) or page offset - 8 + p.
  const uint32_t u32Skip = blFirst ? 0 : kFileHeader;
  EOSSTS eossts = WriteAt(m_pvView, u64PageOffset, abHeader + u32Skip, u32Header - u32Skip);
  if (eossts == OS_STS_SUCCESS) eossts = CopyPieces(pvSource, 0, m_pvView, u64PageOffset + u32Header, m_u32ImageSize);
  FreeView(pvSource);
  if (eossts != OS_STS_SUCCESS) {
    FreeView(m_pvView);
    return eossts;
  }
  m_u32HeaderSize = u32Header;
  m_u32PageOffset = u32PageOffset;
  m_u32EndOffset = static_cast<uint32_t>(u64End);
  COsString::SStrCpy(m_szPages, sizeof m_szPages, m_szOutput);
  m_u32NextDirectoryAt = blLast ? 0 : (blFirst ? 0 : u32PageOffset - kFileHeader) + ptifflayout->u32NextDirectory;
  if (a_blKeepOpen) return FinishOutput(true);
  FreeView(m_pvView);
  COsFile osfile;
  if (osfile.Open(m_szOutput, OS_FILEOPEN_EXISTING, OS_FILEACCESS_WRITE, OS_FILESHARE_READ) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ASSERT, "Failed to open file...<%s>", m_szOutput);
    return OS_STS_FAIL;
  }
  if (osfile.SetFilePointer64(OS_FILEPOINTER_BEGIN, m_u32EndOffset) != OS_STS_SUCCESS ||
      osfile.SetEndOfFile() != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ASSERT, "Failed to truncate file...<%s>", m_szOutput);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

// Close's part for the multi-page file: the last page written points at no
// further directory when no last page came (a job stopped early is still a
// good file), and a file kept open is cut at its end offset. The file may be
// held by another for a while: tried again every few milliseconds.
EOSSTS COsImageImpl::FinishPages(bool a_blCut) {
  const bool blCut = a_blCut && m_u32EndOffset;
  if (!blCut && !m_u32NextDirectoryAt) return OS_STS_SUCCESS;
  COsFile osfile;
  long lWaited = 0;
  while (COsFile::Exists(m_szPages) &&
         osfile.Open(m_szPages, OS_FILEOPEN_EXISTING, OS_FILEACCESS_WRITE, OS_FILESHARE_EXCLUSIVE) != OS_STS_SUCCESS &&
         lWaited < s_lCloseWait) {
    COsTime::Sleep(s_lCloseStep);
    lWaited += s_lCloseStep;
  }
  const uint8_t abZero[4] = {};
  bool blDone = osfile.IsOpen();
  if (blDone && m_u32NextDirectoryAt) {
    blDone = osfile.SetFilePointer64(OS_FILEPOINTER_BEGIN, m_u32NextDirectoryAt) == OS_STS_SUCCESS &&
             osfile.Write(abZero, sizeof abZero) == OS_STS_SUCCESS;
  }
  if (blDone && blCut) {
    blDone = osfile.SetFilePointer64(OS_FILEPOINTER_BEGIN, m_u32EndOffset) == OS_STS_SUCCESS &&
             osfile.SetEndOfFile() == OS_STS_SUCCESS;
  }
  osfile.Close();
  m_u32NextDirectoryAt = 0;
  if (!blDone) {
    OsLog(OS_LOG_ASSERT, "COsImageImpl::Close: Failed to truncate file...<%s>", m_szPages);
    return OS_STS_FAIL;
  }
  if (lWaited) OsLogDebug(OS_LOG_INFO, "COsImageImpl::Close: Had to wait to truncate file...%dms", static_cast<int>(lWaited));
  return OS_STS_SUCCESS;
}
