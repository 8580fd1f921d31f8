// TIFF files with one strip: seven fixed little-endian headers (one
// directory, values area behind it) put in front of data that is raw, Group
// 4 or JPEG already; and the reading of such a header back (Open).
#include <algorithm>
#include <cstring>
#include <iterator>

#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosimageimpl.h"
#include "os_cosimagetiff.h"

namespace {
constexpr uint16_t kShort = 3;
constexpr uint16_t kLong = 4;
constexpr uint16_t kRational = 5;
constexpr uint16_t kTagT4Options = 292;
constexpr uint16_t kTagT6Options = 293;
constexpr uint32_t kBlackWhite[] = {15, 235, 128, 240, 128, 240};
constexpr uint64_t kFixedFields = 82;  // the bit depth and compression read first lie below

constexpr uint32_t Accepts(EOSIMAGECOMPRESSION a_eosimagecompression) { return 1u << a_eosimagecompression; }

constexpr TiffEntry Fixed(uint16_t a_u16Tag, uint16_t a_u16Type, uint32_t a_u32Count, uint32_t a_u32Value) {
  return {a_u16Tag, a_u16Type, a_u32Count, a_u32Value, ETiffValue::kFixed};
}
constexpr TiffEntry Filled(uint16_t a_u16Tag, uint16_t a_u16Type, ETiffValue a_etiffvalue) {
  return {a_u16Tag, a_u16Type, 1, 0, a_etiffvalue};
}
constexpr TiffEntry At(uint16_t a_u16Tag, uint16_t a_u16Type, uint32_t a_u32Count, uint32_t a_u32Position,
                       ETiffValue a_etiffvalue) {
  return {a_u16Tag, a_u16Type, a_u32Count, a_u32Position, a_etiffvalue};
}

// Entries every layout shares.
constexpr TiffEntry kNewSubfileType = Filled(254, kLong, ETiffValue::kNewSubfileType);
constexpr TiffEntry kSubfileType = Fixed(255, kShort, 1, 1);
constexpr TiffEntry kImageWidth = Filled(256, kLong, ETiffValue::kWidth);
constexpr TiffEntry kImageLength = Filled(257, kLong, ETiffValue::kHeight);
constexpr TiffEntry kStripOffsets = Filled(273, kLong, ETiffValue::kStripOffset);
constexpr TiffEntry kRowsPerStrip = Filled(278, kLong, ETiffValue::kHeight);
constexpr TiffEntry kStripByteCounts = Filled(279, kLong, ETiffValue::kImageSize);
constexpr TiffEntry kResolutionUnit = Fixed(296, kShort, 1, 2);
constexpr TiffEntry XResolution(uint32_t a_u32Position) {
  return At(282, kRational, 1, a_u32Position, ETiffValue::kResolution);
}
constexpr TiffEntry YResolution(uint32_t a_u32Position) {
  return At(283, kRational, 1, a_u32Position, ETiffValue::kResolution);
}
constexpr TiffEntry BitsPerSample888(uint32_t a_u32Position) {
  return At(258, kShort, 3, a_u32Position, ETiffValue::kBitsPerSample);
}
constexpr TiffEntry ReferenceBlackWhite(uint32_t a_u32Position) {
  return At(532, kLong, 6, a_u32Position, ETiffValue::kBlackWhite);
}
constexpr TiffEntry kJpegProc = Fixed(512, kShort, 1, 1);
constexpr TiffEntry YCbCrSubSampling(uint32_t a_u32Factor) {
  return Fixed(530, kShort, 2, a_u32Factor | (a_u32Factor << 16));
}

// The layouts: header size, position of the next-directory field, entries.
constexpr TiffLayout s_atifflayout[] = {
    {"bitonal", OS_IMAGEFORMAT_BW, Accepts(OS_IMAGECOMPRESSION_NONE) | Accepts(OS_IMAGECOMPRESSION_GROUP4), 0, 222,
     202, 16,
     {kNewSubfileType, kSubfileType, kImageWidth, kImageLength, Fixed(258, kShort, 1, 1),
      Filled(259, kShort, ETiffValue::kCompression), Filled(262, kShort, ETiffValue::kPhotometric),
      Fixed(266, kShort, 1, 1), kStripOffsets, Fixed(277, kShort, 1, 1), kRowsPerStrip, kStripByteCounts,
      XResolution(206), YResolution(214), Filled(kTagT4Options, kLong, ETiffValue::kOptions), kResolutionUnit}},
    {"gray", OS_IMAGEFORMAT_GRAY8, Accepts(OS_IMAGECOMPRESSION_NONE), 0, 198, 178, 14,
     {kNewSubfileType, kSubfileType, kImageWidth, kImageLength, Fixed(258, kShort, 1, 8), Fixed(259, kShort, 1, 1),
      Fixed(262, kShort, 1, 1), kStripOffsets, Fixed(277, kShort, 1, 1), kRowsPerStrip, kStripByteCounts,
      XResolution(182), YResolution(190), kResolutionUnit}},
    {"gray JPEG 6", OS_IMAGEFORMAT_GRAY8, Accepts(OS_IMAGECOMPRESSION_JPEG), 6, 222, 202, 16,
     {kNewSubfileType, kSubfileType, kImageWidth, kImageLength, Fixed(258, kShort, 1, 8), Fixed(259, kShort, 1, 6),
      Fixed(262, kShort, 1, 1), kStripOffsets, Fixed(277, kShort, 1, 1), kRowsPerStrip, kStripByteCounts,
      XResolution(206), YResolution(214), kResolutionUnit, kJpegProc, YCbCrSubSampling(1)}},
    {"gray JPEG 7", OS_IMAGEFORMAT_GRAY8, Accepts(OS_IMAGECOMPRESSION_JPEG), 7, 210, 190, 15,
     {kNewSubfileType, kSubfileType, kImageWidth, kImageLength, Fixed(258, kShort, 1, 8), Fixed(259, kShort, 1, 7),
      Fixed(262, kShort, 1, 1), kStripOffsets, Fixed(277, kShort, 1, 1), kRowsPerStrip, kStripByteCounts,
      XResolution(194), YResolution(202), kResolutionUnit, YCbCrSubSampling(1)}},
    {"colour", OS_IMAGEFORMAT_RGB24, Accepts(OS_IMAGECOMPRESSION_NONE), 0, 204, 178, 14,
     {kNewSubfileType, kSubfileType, kImageWidth, kImageLength, BitsPerSample888(182), Fixed(259, kShort, 1, 1),
      Fixed(262, kShort, 1, 2), kStripOffsets, Fixed(277, kShort, 1, 3), kRowsPerStrip, kStripByteCounts,
      XResolution(188), YResolution(196), kResolutionUnit}},
    {"colour JPEG 6", OS_IMAGEFORMAT_RGB24, Accepts(OS_IMAGECOMPRESSION_JPEG), 6, 264, 214, 17,
     {kNewSubfileType, kSubfileType, kImageWidth, kImageLength, BitsPerSample888(218), Fixed(259, kShort, 1, 6),
      Fixed(262, kShort, 1, 6), kStripOffsets, Fixed(277, kShort, 1, 3), kRowsPerStrip, kStripByteCounts,
      XResolution(224), YResolution(232), kResolutionUnit, kJpegProc, YCbCrSubSampling(2),
      ReferenceBlackWhite(240)}},
    {"colour JPEG 7", OS_IMAGEFORMAT_RGB24, Accepts(OS_IMAGECOMPRESSION_JPEG), 7, 252, 202, 16,
     {kNewSubfileType, kSubfileType, kImageWidth, kImageLength, BitsPerSample888(206), Fixed(259, kShort, 1, 7),
      Fixed(262, kShort, 1, 6), kStripOffsets, Fixed(277, kShort, 1, 3), kRowsPerStrip, kStripByteCounts,
      XResolution(212), YResolution(220), kResolutionUnit, YCbCrSubSampling(2), ReferenceBlackWhite(228)}},
};

static_assert(std::all_of(std::begin(s_atifflayout), std::end(s_atifflayout), [](const TiffLayout& a_layout) {
  return a_layout.u32HeaderSize <= kTiffHeaderMax && a_layout.u32Entries <= kTiffEntriesMax;
}));

const TiffEntry* FindEntry(const TiffLayout& a_tifflayout, uint16_t a_u16Tag) {
  for (uint32_t u32 = 0; u32 < a_tifflayout.u32Entries; ++u32)
    if (a_tifflayout.atiffentry[u32].u16Tag == a_u16Tag) return &a_tifflayout.atiffentry[u32];
  return nullptr;
}

// File position of an entry's value field.
uint32_t ValueField(const TiffLayout& a_tifflayout, const TiffEntry* a_ptiffentry) {
  return 10 + 12 * static_cast<uint32_t>(a_ptiffentry - a_tifflayout.atiffentry) + 8;
}
}  // namespace

// The JPEG layouts come in two versions; "6" picks the older.
long OsImageTiffVersion() { return OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCETIFFVERSION, 7) == 6 ? 6 : 7; }

const TiffLayout* OsImageTiffLayout(EOSIMAGEFORMAT a_eosimageformat, EOSIMAGECOMPRESSION a_eosimagecompression,
                                    long a_lVersion) {
  bool blFormat = false;
  for (const TiffLayout& tifflayout : s_atifflayout) {
    if (tifflayout.eosimageformat != a_eosimageformat) continue;
    blFormat = true;
    if ((tifflayout.u32Compressions & Accepts(a_eosimagecompression)) &&
        (!tifflayout.lVersion || tifflayout.lVersion == a_lVersion)) {
      return &tifflayout;
    }
  }
  if (!blFormat)
    OsLog(OS_LOG_ASSERT, "unrecognized m_eosimageformat...%d", static_cast<int>(a_eosimageformat));
  else
    OsLog(OS_LOG_ASSERT, "Unrecognized pod.m_eosimagecompression...%d", static_cast<int>(a_eosimagecompression));
  return nullptr;
}

// The layout's first header-size bytes with its values set. Out-of-line
// values stay at their layout positions; the offsets pointing at them are
// shifted by the fill's shift (a later page of a multi-page file).
void OsImageTiffBuild(const TiffLayout& a_tifflayout, const TiffFill& a_tifffill, uint8_t* a_pbHeader) {
  const bool blGroup4 = a_tifffill.eosimagecompression == OS_IMAGECOMPRESSION_GROUP4;
  std::memset(a_pbHeader, 0, a_tifflayout.u32HeaderSize);
  a_pbHeader[0] = a_pbHeader[1] = 'I';
  OsImagePutU16(a_pbHeader + 2, 42);
  OsImagePutU32(a_pbHeader + 4, 8);
  OsImagePutU16(a_pbHeader + 8, a_tifflayout.u32Entries);
  for (uint32_t u32 = 0; u32 < a_tifflayout.u32Entries; ++u32) {
    const TiffEntry& tiffentry = a_tifflayout.atiffentry[u32];
    uint8_t* pbEntry = a_pbHeader + 10 + 12 * u32;
    uint16_t u16Tag = tiffentry.u16Tag;
    uint32_t u32Value = tiffentry.u32Value;
    uint8_t* pbAt = a_pbHeader + tiffentry.u32Value;
    switch (tiffentry.etiffvalue) {
      case ETiffValue::kFixed: break;
      case ETiffValue::kNewSubfileType: u32Value = a_tifffill.u32NewSubfileType; break;
      case ETiffValue::kWidth: u32Value = a_tifffill.u32Width; break;
      case ETiffValue::kHeight: u32Value = a_tifffill.u32Height; break;
      case ETiffValue::kImageSize: u32Value = a_tifffill.u32ImageSize; break;
      case ETiffValue::kStripOffset: u32Value = a_tifffill.u32PageOffset + a_tifflayout.u32HeaderSize; break;
      case ETiffValue::kCompression: u32Value = blGroup4 ? 4 : 1; break;
      case ETiffValue::kPhotometric: u32Value = blGroup4 ? 0 : 1; break;
      case ETiffValue::kOptions:
        u16Tag = blGroup4 ? kTagT6Options : kTagT4Options;
        u32Value = 0;
        break;
      case ETiffValue::kBitsPerSample:
        for (uint32_t u32Sample = 0; u32Sample < 3; ++u32Sample) OsImagePutU16(pbAt + 2 * u32Sample, 8);
        u32Value += a_tifffill.u32Shift;
        break;
      case ETiffValue::kResolution:
        OsImagePutU32(pbAt, a_tifffill.u32Resolution);
        OsImagePutU32(pbAt + 4, 1);
        u32Value += a_tifffill.u32Shift;
        break;
      case ETiffValue::kBlackWhite:
        for (uint32_t u32Item = 0; u32Item < std::size(kBlackWhite); ++u32Item)
          OsImagePutU32(pbAt + 4 * u32Item, kBlackWhite[u32Item]);
        u32Value += a_tifffill.u32Shift;
        break;
    }
    OsImagePutU16(pbEntry, u16Tag);
    OsImagePutU16(pbEntry + 2, tiffentry.u16Type);
    OsImagePutU32(pbEntry + 4, tiffentry.u32Count);
    OsImagePutU32(pbEntry + 8, u32Value);
  }
  OsImagePutU32(a_pbHeader + a_tifflayout.u32NextDirectory, a_tifffill.u32NextDirectory);
}

// The image's values for a layout; the page's own (subfile type, offsets,
// next directory) are 0 here, as for a single page.
TiffFill COsImageImpl::TiffValues() const {
  TiffFill tifffill{};
  tifffill.u32Width = m_u32Width;
  tifffill.u32Height = m_u32Height;
  tifffill.u32ImageSize = m_u32ImageSize;
  tifffill.u32Resolution = m_u32Resolution;
  tifffill.eosimagecompression = m_eosimagecompression;
  return tifffill;
}

EOSSTS COsImageImpl::CreateTiff(bool a_blTemporary, bool a_blKeepOpen, bool a_blFileWrite) {
  if (CheckParsed() != OS_STS_SUCCESS) return OS_STS_FAIL;
  const TiffLayout* ptifflayout = OsImageTiffLayout(m_eosimageformat, m_eosimagecompression, OsImageTiffVersion());
  if (!ptifflayout) return OS_STS_FAIL;
  if (a_blFileWrite && (a_blTemporary || a_blKeepOpen)) {
    OsLog(OS_LOG_ASSERT, "Flag error...");
    return OS_STS_FAIL;
  }
  // Every offset of the file is 32 bits.
  if (static_cast<uint64_t>(ptifflayout->u32HeaderSize) + m_u32ImageSize > UINT32_MAX) {
    OsLog(OS_LOG_ASSERT, "imagesize is too large for a TIFF file...%u", m_u32ImageSize);
    return OS_STS_FAIL;
  }
  void* pvSource = nullptr;
  if (MapSource(m_szSource, m_u32ImageSize, pvSource, s_i64HeaderView) != OS_STS_SUCCESS) return OS_STS_FAIL;
  m_u32HeaderSize = ptifflayout->u32HeaderSize;
  m_u32PageOffset = 0;
  uint8_t abHeader[kTiffHeaderMax];
  OsImageTiffBuild(*ptifflayout, TiffValues(), abHeader);
  EOSSTS eossts = OS_STS_SUCCESS;
  if (a_blFileWrite) {
    eossts = WriteOutputFile(abHeader, m_u32HeaderSize, pvSource);
  } else {
    eossts = CreateMappedOutput(abHeader, m_u32HeaderSize, pvSource, m_u32ImageSize,
                                static_cast<uint64_t>(m_u32HeaderSize) + m_u32ImageSize, a_blTemporary,
                                a_blKeepOpen, s_i64HeaderView);
    eossts = eossts == OS_STS_SUCCESS ? FinishOutput(a_blKeepOpen) : eossts;
    if (eossts != OS_STS_SUCCESS) FreeView(m_pvView);
  }
  FreeView(pvSource);
  return eossts;
}

// Reads back the layouts written above: the pixel format from the bit
// depth, the layout from the compression, which the directory's tags must
// match, and the values at the layout's positions.
EOSSTS COsImageImpl::ParseTiffHeader(uint64_t a_u64FileSize) {
  const uint64_t u64Available = std::min<uint64_t>(s_i64HeaderView, a_u64FileSize);
  if (!MoveView(m_pvView, 0, u64Available)) return OS_STS_FAIL;
  const uint8_t* pbHeader = static_cast<const uint8_t*>(m_pvView);
  if (u64Available < kFixedFields) {
    OsLog(OS_LOG_ASSERT, "tiff header is cut short...%llu", static_cast<unsigned long long>(u64Available));
    return OS_STS_FAIL;
  }
  EOSIMAGEFORMAT eosimageformat = OS_IMAGEFORMAT_RGB24;
  if (OsImageGetU32(pbHeader + 62) == 1) {
    uint32_t u32Depth = OsImageGetU32(pbHeader + 66);
    if (u32Depth == 8) {
      eosimageformat = OS_IMAGEFORMAT_GRAY8;
    } else if (u32Depth == 1) {
      eosimageformat = OS_IMAGEFORMAT_BW;
    } else if (u32Depth != 24) {
      OsLog(OS_LOG_ASSERT, "unrecognized tiff header bitdepth...%d", static_cast<int>(u32Depth));
      return OS_STS_FAIL;
    }
  }
  const uint32_t u32Compression = OsImageGetU32(pbHeader + 78);
  EOSIMAGECOMPRESSION eosimagecompression = OS_IMAGECOMPRESSION_UNKNOWN;
  if (u32Compression == 1) {
    eosimagecompression = OS_IMAGECOMPRESSION_NONE;
  } else if (u32Compression == 4 && eosimageformat == OS_IMAGEFORMAT_BW) {
    eosimagecompression = OS_IMAGECOMPRESSION_GROUP4;
  } else if ((u32Compression == 6 || u32Compression == 7) && eosimageformat != OS_IMAGEFORMAT_BW) {
    eosimagecompression = OS_IMAGECOMPRESSION_JPEG;
  } else {
    OsLog(OS_LOG_ASSERT, "unrecognized tiff header compression...%d", static_cast<int>(u32Compression));
    return OS_STS_FAIL;
  }
  const TiffLayout* ptifflayout = OsImageTiffLayout(eosimageformat, eosimagecompression, u32Compression);
  if (!ptifflayout) return OS_STS_FAIL;
  if (u64Available < ptifflayout->u32HeaderSize) {
    OsLog(OS_LOG_ASSERT, "tiff header is cut short...%llu", static_cast<unsigned long long>(u64Available));
    return OS_STS_FAIL;
  }
  // A directory of another shape holds other things at these positions.
  bool blMatch = OsImageGetU32(pbHeader + 4) == 8 && OsImageGetU16(pbHeader + 8) == ptifflayout->u32Entries;
  for (uint32_t u32 = 0; blMatch && u32 < ptifflayout->u32Entries; ++u32) {
    uint16_t u16Tag = OsImageGetU16(pbHeader + 10 + 12 * u32);
    uint16_t u16Expected = ptifflayout->atiffentry[u32].u16Tag;
    blMatch = u16Tag == u16Expected || (u16Expected == kTagT4Options && u16Tag == kTagT6Options);
  }
  if (!blMatch) {
    OsLog(OS_LOG_ASSERT, "unrecognized tiff header layout...");
    return OS_STS_FAIL;
  }
  m_eosimageformat = eosimageformat;
  m_eosimagecompression = eosimagecompression;
  m_u32Width = OsImageGetU32(pbHeader + ValueField(*ptifflayout, FindEntry(*ptifflayout, 256)));
  m_u32Height = OsImageGetU32(pbHeader + ValueField(*ptifflayout, FindEntry(*ptifflayout, 257)));
  m_u32HeaderSize = OsImageGetU32(pbHeader + ValueField(*ptifflayout, FindEntry(*ptifflayout, 273)));
  m_u32ImageSize = OsImageGetU32(pbHeader + ValueField(*ptifflayout, FindEntry(*ptifflayout, 279)));
  m_u32Resolution = OsImageGetU32(pbHeader + FindEntry(*ptifflayout, 282)->u32Value);
  return OS_STS_SUCCESS;
}
