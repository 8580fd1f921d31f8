// The fixed TIFF layouts of the image writer, shared by the single-page and
// the multi-page writer and by the reader of such files.
#pragma once

#include <cstddef>
#include <cstdint>

#include "os_cosimage.h"

constexpr uint32_t kTiffHeaderMax = 512;  // room for the largest layout
constexpr uint32_t kTiffEntriesMax = 17;

// Where an entry's value comes from.
enum class ETiffValue : uint8_t {
  kFixed,           // the value in the table
  kNewSubfileType,  // 0, or 2 for a page of a multi-page file
  kWidth,
  kHeight,
  kImageSize,
  kStripOffset,     // page offset + header size
  kCompression,     // bitonal: 1 none, 4 Group 4
  kPhotometric,     // bitonal: 1 none, 0 Group 4
  kOptions,         // bitonal: T4Options (none) or T6Options (Group 4), value 0
  kBitsPerSample,   // the value lies at the table's position: 8, 8, 8
  kResolution,      // at the table's position: resolution / 1
  kBlackWhite,      // at the table's position: 15, 235, 128, 240, 128, 240
};

struct TiffEntry {
  uint16_t u16Tag;
  uint16_t u16Type;
  uint32_t u32Count;
  uint32_t u32Value;  // the value, or for an out-of-line one its position in the layout
  ETiffValue etiffvalue;
};

struct TiffLayout {
  const char* szName;
  EOSIMAGEFORMAT eosimageformat;
  uint32_t u32Compressions;   // one bit per EOSIMAGECOMPRESSION it serves
  long lVersion;              // the JPEG version it stands for; 0 for any
  uint32_t u32HeaderSize;     // bytes written; the data follows
  uint32_t u32NextDirectory;  // position of the next-directory field
  uint32_t u32Entries;
  TiffEntry atiffentry[kTiffEntriesMax];
};

// The values set into a layout.
struct TiffFill {
  uint32_t u32Width;
  uint32_t u32Height;
  uint32_t u32ImageSize;
  uint32_t u32Resolution;
  EOSIMAGECOMPRESSION eosimagecompression;
  uint32_t u32NewSubfileType;
  uint32_t u32PageOffset;     // where the page's directory lies; 0 for a file's first
  uint32_t u32Shift;          // added to the positions of out-of-line values
  uint32_t u32NextDirectory;
};

// The JPEG version ForceTiffVersion asks for: 6, or 7 for any other value.
long OsImageTiffVersion();
// The layout for the pixel format and compression (the JPEG ones by
// version); null, logged, when there is none.
const TiffLayout* OsImageTiffLayout(EOSIMAGEFORMAT a_eosimageformat, EOSIMAGECOMPRESSION a_eosimagecompression,
                                    long a_lVersion);
// The layout's header-size bytes with the values set.
void OsImageTiffBuild(const TiffLayout& a_tifflayout, const TiffFill& a_tifffill, uint8_t* a_pbHeader);
