// Types of the package part of the file service: the block compressor's
// "PMXCMP01" stream, the "PMXSPL01" split stream of one file and the
// "PMXPKG01" package archive of a tree. Every format is little-endian and
// written field by field.
#pragma once

#include <cstddef>
#include <cstdint>

#include "os_def.h"

// How a buffer or a file is coded. Streams store 0 for a block kept raw.
enum EOSFILECOMPRESSION : int {
  OS_FILECOMPRESSION_RAW = 0,        // stream only: the block is stored as it is
  OS_FILECOMPRESSION_AUTOMATIC = 1,  // files only: chosen from the name and size
  OS_FILECOMPRESSION_BLOCKSORT = 2,  // block sort, move-to-front, run-length code
  OS_FILECOMPRESSION_RUNLENGTH = 3,  // run-length code alone
};

// What Package does with the archive.
enum EOSFILEPACKAGE : int {
  OS_FILEPACKAGE_CREATE = 1,    // a new archive (an existing file is replaced)
  OS_FILEPACKAGE_APPEND = 2,    // append at the archive's root
  OS_FILEPACKAGE_EXTRA = 3,     // append below "<first directory>/extra"
  OS_FILEPACKAGE_LOCALLOW = 4,  // append below "<first directory>_locallow"
  OS_FILEPACKAGE_NORMAL = 5,    // append below "<first directory>_normal"
};

// Handed to the caller's progress function while packing and unpacking.
struct OsFilePackageProgress {
  uint32_t u32Size;           // sizeof, 552
  char szFilename[512];       // the file being worked on
  uint64_t u64FileSize;       // its size
  uint64_t u64StepBytes;      // bytes of the current step
  uint64_t u64TotalBytes;     // bytes of the whole package (unpacking: from its header)
  uint64_t u64RunningBytes;   // bytes done so far
};
static_assert(sizeof(OsFilePackageProgress) == 552, "the progress record is 552 bytes");

// A non-zero answer cancels the operation, which then ends with that status.
typedef EOSSTS (*OsFilePackageProgressFunction)(OsFilePackageProgress* a_posfilepackageprogress);

// Work space of the block sort, owned by one caller: it starts zeroed, the
// first sort sizes it, later blocks reuse it, and BlockSortFree releases it.
// Each caller has its own, so several threads may code at once.
struct OsFileBlockSort {
  size_t sizetCapacity;   // rotations it has room for
  int32_t* pi32Suffix;    // suffix array of the linear sort (blocks with long repeats)
  void* pvArena;          // the block's copies, rows, stars and the linear sort's space
  size_t sizetArena;      // bytes of the arena
};

// Sizes of the formats.
constexpr size_t s_sizetCompressBlock = 65536;            // input bytes per block
constexpr size_t s_sizetCompressHeader = 24;              // "PMXCMP01" stream header
constexpr size_t s_sizetCompressBlockHeader = 16;         // header in front of each block
constexpr size_t s_sizetSplitHeader = 28;                 // "PMXSPL01" header
constexpr size_t s_sizetSplitPiece = 0x2000000;           // input bytes per piece (32 MiB)
constexpr size_t s_sizetSplitSlack = 0x100000;            // room of a coded piece beyond its input
constexpr size_t s_sizetPackageHeader = 24;               // "PMXPKG01" header
constexpr size_t s_sizetPackageChunk = 304;               // record in front of each entry
constexpr size_t s_sizetPackagePath = 256;                // relative path of a record, terminated

// Room a stream of that many input bytes may need: raw blocks with their
// headers, and the empty block header behind the last one.
constexpr size_t OsFileCompressBound(size_t a_sizetInput) {
  return s_sizetCompressHeader + (a_sizetInput / s_sizetCompressBlock + 2) * s_sizetCompressBlockHeader +
         a_sizetInput;
}
