// Windows bitmaps: an info header and palette (and a file header for the
// forms that have one) in front of the lines, each padded to 4 bytes, in
// source order or bottom up, colour as B, G, R. Group 4 and JPEG sources
// are first turned into raw data by a decompression function.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosimageimpl.h"
#include "os_cosstring.h"
#include "os_cosxml.h"

namespace {
constexpr uint32_t kFileHeader = 14;
constexpr uint32_t kInfoHeader = 40;
constexpr uint32_t kHeaderMax = kFileHeader + kInfoHeader + 256 * 4;
constexpr double kPerMetre = 39.38;              // pixels per metre at 1 dpi
constexpr uint64_t kWholeViewLimit = 134217728;  // below: the lines are reached through one view
uint64_t s_u64WholeViewLimit = kWholeViewLimit;

}  // namespace

struct OsImageBitmapForm {
  EOSIMAGEFILEFORMAT eosimagefileformat;
  bool blReversed;    // bottom line first, as bitmaps keep them
  bool blFileHeader;
};

struct OsImageBitmapPixels {
  EOSIMAGEFORMAT eosimageformat;
  uint16_t u16BitCount;
  uint32_t u32Colours;  // palette entries
};

struct OsImageLineWork {
  uint64_t u64Height;
  uint64_t u64Source;  // bytes per line as the data came
  uint64_t u64Line;    // bytes per line that hold pixels
  uint64_t u64Stride;
  uint64_t u64Swap;    // bytes of each line to turn from R, G, B to B, G, R; 0 for none
  bool blReversed;
};

namespace {
using BitmapForm = OsImageBitmapForm;
using BitmapPixels = OsImageBitmapPixels;
using LineWork = OsImageLineWork;

const BitmapForm s_abitmapform[] = {
    {OS_IMAGEFILEFORMAT_BMP, true, true},         {OS_IMAGEFILEFORMAT_BMPTOPDOWN, false, true},
    {OS_IMAGEFILEFORMAT_DIB, true, false},        {OS_IMAGEFILEFORMAT_DIBTOPDOWN, false, false},
    {OS_IMAGEFILEFORMAT_RAWBITMAP, false, false},
};

const BitmapPixels s_abitmappixels[] = {
    {OS_IMAGEFORMAT_BW, 1, 2}, {OS_IMAGEFORMAT_GRAY8, 8, 256}, {OS_IMAGEFORMAT_RGB24, 24, 0}};

uint64_t Stride(uint64_t a_u64Line) { return (a_u64Line + 3) & ~uint64_t{3}; }

// Headers and palette; returns their size.
uint32_t BuildBitmapHeader(uint8_t* a_pb, const BitmapForm& a_bitmapform, const BitmapPixels& a_bitmappixels,
                           uint32_t a_u32Width, uint32_t a_u32Height, uint32_t a_u32Image, uint32_t a_u32Resolution) {
  const uint32_t u32Header =
      (a_bitmapform.blFileHeader ? kFileHeader : 0) + kInfoHeader + 4 * a_bitmappixels.u32Colours;
  const uint32_t u32PerMetre = static_cast<uint32_t>(std::trunc(a_u32Resolution * kPerMetre));
  std::memset(a_pb, 0, u32Header);
  uint8_t* pbInfo = a_pb;
  if (a_bitmapform.blFileHeader) {
    a_pb[0] = 'B';
    a_pb[1] = 'M';
    OsImagePutU32(a_pb + 2, u32Header + a_u32Image);
    OsImagePutU32(a_pb + 10, u32Header);
    pbInfo += kFileHeader;
  }
  OsImagePutU32(pbInfo, kInfoHeader);
  OsImagePutU32(pbInfo + 4, a_u32Width);
  OsImagePutU32(pbInfo + 8, a_u32Height);
  OsImagePutU16(pbInfo + 12, 1);
  OsImagePutU16(pbInfo + 14, a_bitmappixels.u16BitCount);
  OsImagePutU32(pbInfo + 20, a_u32Image);
  OsImagePutU32(pbInfo + 24, u32PerMetre);
  OsImagePutU32(pbInfo + 28, u32PerMetre);
  OsImagePutU32(pbInfo + 32, a_bitmappixels.u32Colours);
  OsImagePutU32(pbInfo + 36, a_bitmappixels.u32Colours);
  // Gray: entry i is i, i, i; bitonal: black, then white.
  const uint32_t u32Step = a_bitmappixels.u32Colours == 2 ? 255 : 1;
  for (uint32_t u32 = 0; u32 < a_bitmappixels.u32Colours; ++u32)
    std::memset(pbInfo + kInfoHeader + 4 * u32, static_cast<int>(u32 * u32Step), 4);
  return u32Header;
}

// The output's lines: through one view of the whole file, or by moving the
// view onto each line in turn. One pointer is good until the next call.
class BitmapLines {
 public:
  BitmapLines(void*& a_pvView, uint64_t a_u64Header, bool a_blWhole)
      : m_pvView(a_pvView), m_u64Header(a_u64Header), m_blWhole(a_blWhole) {}
  uint8_t* At(uint64_t a_u64Offset, uint64_t a_u64Bytes) {
    if (m_blWhole) return static_cast<uint8_t*>(m_pvView) + m_u64Header + a_u64Offset;
    if (!COsImageImpl::MoveViewForWriting(m_pvView, m_u64Header + a_u64Offset, a_u64Bytes)) return nullptr;
    return static_cast<uint8_t*>(m_pvView);
  }

 private:
  void*& m_pvView;
  uint64_t m_u64Header;
  bool m_blWhole;
};

// Lines at their stride (from the last line to the first, so none is
// overwritten before it moved), padding zeroed; then bottom up when asked;
// then colour bytes swapped.
bool ArrangeLines(BitmapLines& a_bitmaplines, const LineWork& a_linework, uint8_t* a_pbFirst, uint8_t* a_pbSecond) {
  const LineWork& w = a_linework;
  uint8_t* pb = nullptr;
  if (w.u64Source != w.u64Stride || w.u64Line != w.u64Stride) {
    for (uint64_t u64 = w.u64Height; u64-- > 0;) {
      if (!(pb = a_bitmaplines.At(u64 * w.u64Source, w.u64Line))) return false;
      std::memcpy(a_pbFirst, pb, w.u64Line);
      if (!(pb = a_bitmaplines.At(u64 * w.u64Stride, w.u64Stride))) return false;
      std::memcpy(pb, a_pbFirst, w.u64Line);
      std::memset(pb + w.u64Line, 0, w.u64Stride - w.u64Line);
    }
  }
  for (uint64_t u64 = 0; w.blReversed && u64 < w.u64Height / 2; ++u64) {
    const uint64_t u64Other = w.u64Height - 1 - u64;
    if (!(pb = a_bitmaplines.At(u64 * w.u64Stride, w.u64Stride))) return false;
    std::memcpy(a_pbFirst, pb, w.u64Stride);
    if (!(pb = a_bitmaplines.At(u64Other * w.u64Stride, w.u64Stride))) return false;
    std::memcpy(a_pbSecond, pb, w.u64Stride);
    std::memcpy(pb, a_pbFirst, w.u64Stride);
    if (!(pb = a_bitmaplines.At(u64 * w.u64Stride, w.u64Stride))) return false;
    std::memcpy(pb, a_pbSecond, w.u64Stride);
  }
  for (uint64_t u64 = 0; w.u64Swap && u64 < w.u64Height; ++u64) {
    if (!(pb = a_bitmaplines.At(u64 * w.u64Stride, w.u64Swap))) return false;
    for (uint64_t u64Pixel = 0; u64Pixel + 2 < w.u64Swap; u64Pixel += 3) std::swap(pb[u64Pixel], pb[u64Pixel + 2]);
  }
  return true;
}
}  // namespace

void COsImageImpl::SetWholeViewLimit(uint64_t a_u64Bytes) {
  s_u64WholeViewLimit = a_u64Bytes ? a_u64Bytes : kWholeViewLimit;
}

EOSSTS COsImageImpl::CreateBitmap(EOSIMAGEFILEFORMAT a_eosimagefileformat, bool a_blTemporary, bool a_blKeepOpen) {
  if (CheckParsed() != OS_STS_SUCCESS) return OS_STS_FAIL;
  const BitmapForm* pbitmapform = std::find_if(std::begin(s_abitmapform), std::end(s_abitmapform),
                                               [&](const BitmapForm& a_form) {
                                                 return a_form.eosimagefileformat == a_eosimagefileformat;
                                               });
  const BitmapPixels* pbitmappixels = std::find_if(std::begin(s_abitmappixels), std::end(s_abitmappixels),
                                                   [&](const BitmapPixels& a_pixels) {
                                                     return a_pixels.eosimageformat == m_eosimageformat;
                                                   });
  if (pbitmapform == std::end(s_abitmapform)) {
    OsLog(OS_LOG_ASSERT, "unrecognized a_eosimagefileformat...%d", static_cast<int>(a_eosimagefileformat));
    return OS_STS_FAIL;
  }
  if (pbitmappixels == std::end(s_abitmappixels)) {
    OsLog(OS_LOG_ASSERT, "Unrecognized pod.m_eosimageformat...%d", static_cast<int>(m_eosimageformat));
    return OS_STS_FAIL;
  }
  // Pixels per metre is a signed 32-bit field: a higher resolution would be
  // written as a negative one, which no reader (this one neither) accepts.
  if (std::trunc(m_u32Resolution * kPerMetre) > INT32_MAX) {
    OsLog(OS_LOG_ASSERT, "resolution is too large for a bitmap...%u", m_u32Resolution);
    return OS_STS_FAIL;
  }
  char szTemporary[s_sizetName] = "";
  EOSSTS eossts = WriteBitmap(*pbitmapform, *pbitmappixels, a_blTemporary, a_blKeepOpen, szTemporary);
  if (szTemporary[0] && COsFile::Exists(szTemporary)) COsFile::Delete(szTemporary, OS_FILETYPE_FILE, false);
  return eossts;
}

// The data's line length: raw lines unpadded or padded to 4 as the image
// size says, decompressed ones as long as the function made them.
EOSSTS COsImageImpl::WriteBitmap(const BitmapForm& a_bitmapform, const BitmapPixels& a_bitmappixels,
                                 bool a_blTemporary, bool a_blKeepOpen, char* a_szTemporary) {
  LineWork linework{m_u32Height, 0, 0, 0, 0, a_bitmapform.blReversed};
  const char* szSource = m_szSource;
  if (m_eosimagecompression == OS_IMAGECOMPRESSION_NONE) {
    linework.u64Line = m_eosimageformat == OS_IMAGEFORMAT_BW      ? (static_cast<uint64_t>(m_u32Width) + 7) / 8
                       : m_eosimageformat == OS_IMAGEFORMAT_GRAY8 ? m_u32Width
                                                                  : static_cast<uint64_t>(m_u32Width) * 3;
    linework.u64Source = m_u32ImageSize / m_u32Height == Stride(linework.u64Line) ? Stride(linework.u64Line)
                                                                                   : linework.u64Line;
    linework.u64Swap = m_eosimageformat == OS_IMAGEFORMAT_RGB24 ? linework.u64Line : 0;
    if (m_u32ImageSize < linework.u64Height * linework.u64Source) {
      OsLog(OS_LOG_ASSERT, "imagesize is too small for the lines...%u < %llu x %llu", m_u32ImageSize,
            static_cast<unsigned long long>(linework.u64Height), static_cast<unsigned long long>(linework.u64Source));
      return OS_STS_FAIL;
    }
  } else {
    uint32_t u32Size = 0;
    EOSSTS eossts = Decompress(a_szTemporary, &u32Size);
    if (eossts != OS_STS_SUCCESS) return eossts;
    szSource = a_szTemporary;
    linework.u64Line = linework.u64Source = u32Size / m_u32Height;
    if (!linework.u64Line) {
      OsLog(OS_LOG_ASSERT, "decompression function failed...%u bytes", u32Size);
      return OS_STS_FAIL;
    }
  }
  linework.u64Stride = Stride(linework.u64Line);
  const uint64_t u64Image = linework.u64Height * linework.u64Stride;
  if (u64Image + kHeaderMax > UINT32_MAX || m_u32Width > INT32_MAX || m_u32Height > INT32_MAX) {
    OsLog(OS_LOG_ASSERT, "image is too large for a bitmap...%u x %u", m_u32Width, m_u32Height);
    return OS_STS_FAIL;
  }
  uint8_t abHeader[kHeaderMax];
  const uint32_t u32Header = BuildBitmapHeader(abHeader, a_bitmapform, a_bitmappixels, m_u32Width, m_u32Height,
                                               static_cast<uint32_t>(u64Image), m_u32Resolution);
  void* pvSource = nullptr;
  const uint64_t u64Data = linework.u64Height * linework.u64Source;
  if (MapSource(szSource, u64Data, pvSource, s_i64HeaderView) != OS_STS_SUCCESS) return OS_STS_FAIL;
  m_u32HeaderSize = u32Header;
  m_u32PageOffset = 0;
  EOSSTS eossts = CreateMappedOutput(abHeader, u32Header, pvSource, u64Data, u32Header + u64Image, a_blTemporary,
                                     a_blKeepOpen, s_i64HeaderView);
  FreeView(pvSource);
  if (eossts == OS_STS_SUCCESS) eossts = ArrangeOutputLines(linework, u32Header + u64Image);
  if (eossts == OS_STS_SUCCESS) eossts = FinishOutput(a_blKeepOpen);
  if (eossts != OS_STS_SUCCESS) FreeView(m_pvView);
  m_u32ImageSize = static_cast<uint32_t>(u64Image);
  return eossts;
}

// Steps over every line with the debug log quiet; the two line buffers are
// made only when there is something to do.
EOSSTS COsImageImpl::ArrangeOutputLines(const LineWork& a_linework, uint64_t a_u64File) {
  const bool blMove = a_linework.u64Source != a_linework.u64Stride || a_linework.u64Line != a_linework.u64Stride;
  if (!blMove && !a_linework.blReversed && !a_linework.u64Swap) return OS_STS_SUCCESS;
  uint8_t* pbFirst = static_cast<uint8_t*>(OsMemAlloc(a_linework.u64Stride));
  uint8_t* pbSecond = pbFirst ? static_cast<uint8_t*>(OsMemAlloc(a_linework.u64Stride)) : nullptr;
  if (!pbSecond) {
    OsLog(OS_LOG_ASSERT, "OsMemAlloc failed...");
    if (pbFirst) OsMemFree(pbFirst);
    return OS_STS_FAIL;
  }
  const uint64_t u64Image = a_linework.u64Height * a_linework.u64Stride;
  const bool blWhole = u64Image < s_u64WholeViewLimit;
  bool blDone = !blWhole || MoveViewForWriting(m_pvView, 0, a_u64File);
  const long lDebug = g_poslog ? g_poslog->GetDebugLevel() : 0;
  if (g_poslog) g_poslog->SetDebugLevel(0);
  BitmapLines bitmaplines(m_pvView, m_u32HeaderSize, blWhole);
  blDone = blDone && ArrangeLines(bitmaplines, a_linework, pbFirst, pbSecond);
  if (g_poslog) g_poslog->SetDebugLevel(lDebug);
  OsMemFree(pbFirst);
  OsMemFree(pbSecond);
  return blDone ? OS_STS_SUCCESS : OS_STS_FAIL;
}

// Into a temporary "osi" file of the log directory, by the registered
// function or else the one the sibling library offers (asked once).
EOSSTS COsImageImpl::Decompress(char* a_szTemporary, uint32_t* a_pu32Size) {
  if (!m_pfnDecompress && !m_blDecompressLookup) {
    m_blDecompressLookup = true;
    const char* szReport = g_poscfg ? g_poscfg->PelumGetReportFunctions() : nullptr;
    const char* szName = szReport ? std::strstr(szReport, "<functionname>OsImageDecompress</functionname>") : nullptr;
    char szAddress[64];
    if (szName && COsXml::GetContent(szName, "<functionptr>", "</functionptr>", szAddress, sizeof szAddress) ==
                      OS_STS_SUCCESS) {
      m_pfnDecompress = reinterpret_cast<OsImageDecompressFunction>(COsString::StrToFastHex64(szAddress));
      m_pvDecompressUser = nullptr;
    }
  }
  if (!m_pfnDecompress) {
    OsLog(OS_LOG_ASSERT, "no compression function registered...");
    return OS_STS_FAIL;
  }
  const char* szDirectory = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY) : "";
  if (!szDirectory[0] || COsFile::GetTempName(szDirectory, a_szTemporary, "osi", s_sizetName) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ASSERT, "GetTempName failed...<%s>", szDirectory);
    a_szTemporary[0] = '\0';
    return OS_STS_FAIL;
  }
  uint32_t u32Size = m_u32ImageSize;
  EOSSTS eossts = m_pfnDecompress(m_pvDecompressUser, m_szSource, m_u32ImageSize, m_eosimagecompression,
                                  m_eosimageformat, m_u32Width, m_u32Height, a_szTemporary, &u32Size);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ASSERT, "decompression function failed...%d", static_cast<int>(eossts));
    return eossts;
  }
  *a_pu32Size = u32Size;
  return OS_STS_SUCCESS;
}

// Reads back the bitmaps written above: the pixel format from the colours
// used, which the bit count must agree with; rows bottom up (a negative
// height, rows top down, is not one of ours) and no compression.
EOSSTS COsImageImpl::ParseBmpHeader(uint64_t a_u64FileSize) {
  const uint64_t u64Available = std::min<uint64_t>(s_i64HeaderView, a_u64FileSize);
  if (!MoveView(m_pvView, 0, u64Available)) return OS_STS_FAIL;
  const uint8_t* pb = static_cast<const uint8_t*>(m_pvView);
  if (u64Available < kFileHeader + kInfoHeader || OsImageGetU32(pb + kFileHeader) < kInfoHeader) {
    OsLog(OS_LOG_ASSERT, "bmp header is cut short...%llu", static_cast<unsigned long long>(u64Available));
    return OS_STS_FAIL;
  }
  const uint8_t* pbInfo = pb + kFileHeader;
  const int32_t i32Width = static_cast<int32_t>(OsImageGetU32(pbInfo + 4));
  const int32_t i32Height = static_cast<int32_t>(OsImageGetU32(pbInfo + 8));
  const uint16_t u16BitCount = OsImageGetU16(pbInfo + 14);
  const uint32_t u32Compression = OsImageGetU32(pbInfo + 16);
  const int32_t i32PerMetre = static_cast<int32_t>(OsImageGetU32(pbInfo + 24));
  const uint32_t u32Colours = OsImageGetU32(pbInfo + 32);
  const BitmapPixels* pbitmappixels = std::find_if(std::begin(s_abitmappixels), std::end(s_abitmappixels),
                                                   [&](const BitmapPixels& a_pixels) {
                                                     return a_pixels.u32Colours == u32Colours;
                                                   });
  if (pbitmappixels == std::end(s_abitmappixels)) {
    OsLog(OS_LOG_ASSERT, "unrecognized colors-used...%d", static_cast<int>(u32Colours));
    return OS_STS_FAIL;
  }
  if (pbitmappixels->u16BitCount != u16BitCount || u32Compression != 0) {
    OsLog(OS_LOG_ASSERT, "unrecognized bmp bit count...%d compression...%u", static_cast<int>(u16BitCount),
          u32Compression);
    return OS_STS_FAIL;
  }
  if (i32Width <= 0 || i32Height <= 0) {
    OsLog(OS_LOG_ASSERT, "unrecognized bmp size...%d x %d", static_cast<int>(i32Width), static_cast<int>(i32Height));
    return OS_STS_FAIL;
  }
  if (i32PerMetre <= 0) {
    OsLog(OS_LOG_ASSERT, "pixels per metre is zero...%d", static_cast<int>(i32PerMetre));
    return OS_STS_FAIL;
  }
  m_eosimageformat = pbitmappixels->eosimageformat;
  m_eosimagecompression = OS_IMAGECOMPRESSION_NONE;
  m_u32Width = static_cast<uint32_t>(i32Width);
  m_u32Height = static_cast<uint32_t>(i32Height);
  m_u32HeaderSize = OsImageGetU32(pb + 10);
  m_u32ImageSize = OsImageGetU32(pbInfo + 20);
  m_u32Resolution = static_cast<uint32_t>(std::trunc(i32PerMetre / kPerMetre + 0.4));
  // A bitmap may leave its image size 0: the lines say it then.
  const uint64_t u64Lines = m_u32Height * Stride((static_cast<uint64_t>(m_u32Width) * u16BitCount + 7) / 8);
  if (!m_u32ImageSize && u64Lines <= UINT32_MAX) m_u32ImageSize = static_cast<uint32_t>(u64Lines);
  return OS_STS_SUCCESS;
}
