// The block compressor: a "PMXCMP01" stream of 64 KiB blocks, each coded by
// block sorting (then move-to-front and the run-length code) or by the
// run-length code alone, and kept raw when coding does not make it smaller.
// Every stage is told the room of its output and never writes past it, so
// a damaged stream fails with a status instead of overwriting memory.
#include <cstring>

#include "os_cosfilebytes.h"
#include "os_cosfileimpl.h"
#include "os_cosfilemovetofront.h"
#include "os_cosfilerunlength.h"
#include "os_coslog.h"
#include "os_cosmem.h"

namespace {
constexpr char s_szCompressTag[] = "PMXCMP01";
constexpr size_t s_sizetTag = 8;

// Codes one block at a_pu8Data (room a_sizetRoom); *a_psizetCoded is the
// coded length, or the block length itself when coding does not pay.
EOSSTS CodeBlock(uint8_t* a_pu8Data, size_t a_sizetRoom, const uint8_t* a_pu8Block, size_t a_sizetBlock,
                 EOSFILECOMPRESSION a_eosfilecompression, uint8_t* a_pu8Work, size_t a_sizetWork,
                 OsFileBlockSort* a_posfileblocksort, uint32_t* a_pu32Primary, size_t* a_psizetCoded) {
  *a_pu32Primary = 0;
  *a_psizetCoded = a_sizetBlock;
  // Coded output as long as the block is stored raw instead, so the run-length
  // code is given no more room than the block: running out of it means "raw".
  const uint8_t* pu8Pack = a_pu8Block;
  if (a_eosfilecompression == OS_FILECOMPRESSION_BLOCKSORT) {
    if (COsFileImpl::BWTTransform(a_pu8Data, a_sizetRoom, a_pu8Block, a_sizetBlock, a_pu32Primary,
                                  a_posfileblocksort) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "BWTTransform failed...");
      return OS_STS_FAIL;
    }
    if (!a_pu8Work || COsFileImpl::MoveToFront(a_pu8Work, a_sizetWork, a_pu8Data, a_sizetBlock) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "MoveToFront failed...");
      return OS_STS_FAIL;
    }
    pu8Pack = a_pu8Work;
  }
  size_t sizetCoded = 0;
  EOSSTS eosstatus = COsFileImpl::PackBits(a_pu8Data, a_sizetBlock, pu8Pack, a_sizetBlock, &sizetCoded);
  if (eosstatus == OS_STS_SUCCESS) *a_psizetCoded = sizetCoded;
  if (eosstatus != OS_STS_SUCCESS && eosstatus != OS_STS_NOROOM_BUFFER) {
    OsLog(OS_LOG_ERROR, "PackBits failed...");
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

// Decodes one block into a_pu8Output (exactly a_u32Length bytes).
EOSSTS DecodeBlock(uint8_t* a_pu8Output, uint32_t a_u32Method, uint32_t a_u32Primary, uint32_t a_u32Length,
                   const uint8_t* a_pu8Data, size_t a_sizetStored, uint8_t* a_pu8Work, size_t a_sizetWork,
                   uint32_t** a_ppu32Index) {
  if (a_u32Method == OS_FILECOMPRESSION_RAW) {
    if (a_sizetStored != a_u32Length) {
      OsLog(OS_LOG_ERROR, "Stored block length differs...%zu != %u", a_sizetStored, a_u32Length);
      return OS_STS_FAIL;
    }
    std::memcpy(a_pu8Output, a_pu8Data, a_sizetStored);
    return OS_STS_SUCCESS;
  }
  if (a_u32Method != OS_FILECOMPRESSION_BLOCKSORT && a_u32Method != OS_FILECOMPRESSION_RUNLENGTH) {
    OsLog(OS_LOG_ERROR, "Looks like we need to add a new decompression handler...%d", static_cast<int>(a_u32Method));
    return OS_STS_FAIL;
  }
  // Block-sorted data is unpacked and moved back to the work space in one
  // walk, the run-length code alone straight to the output.
  bool blSorted = a_u32Method == OS_FILECOMPRESSION_BLOCKSORT;
  if (blSorted && (!a_pu8Work || a_sizetWork < a_u32Length)) {
    OsLog(OS_LOG_ERROR, "UnmoveToFront failed...");
    return OS_STS_FAIL;
  }
  size_t sizetUnpacked = 0;
  OsFileQuarterCounts osfilequartercounts;
  EOSSTS eosstatus = blSorted ? OsFileUnpackUnmove(a_pu8Work, a_u32Length, a_pu8Data, a_sizetStored, &sizetUnpacked,
                                                   &osfilequartercounts)
                              : COsFileImpl::UnpackBits(a_pu8Output, a_u32Length, a_pu8Data, a_sizetStored,
                                                        &sizetUnpacked);
  if (eosstatus != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "PackBits failed...");
    return OS_STS_FAIL;
  }
  if (sizetUnpacked != a_u32Length) {
    OsLog(OS_LOG_ERROR, "PackBits failed: error unpacking...%zu != %u", sizetUnpacked, a_u32Length);
    return OS_STS_FAIL;
  }
  if (!blSorted) return OS_STS_SUCCESS;
  if (!*a_ppu32Index) *a_ppu32Index = static_cast<uint32_t*>(OsMemAlloc(s_sizetCompressBlock * sizeof(uint32_t)));
  if (!*a_ppu32Index || OsFileBlockUnsort(a_pu8Output, a_u32Length, a_pu8Work, a_u32Length, a_u32Primary,
                                          *a_ppu32Index, &osfilequartercounts) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "BWTUntransform failed...");
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}
}  // namespace

EOSSTS COsFileImpl::Compress(uint8_t* a_pu8Output, size_t a_sizetOutput, size_t* a_psizetOutput,
                             const uint8_t* a_pu8Input, size_t a_sizetInput, EOSFILECOMPRESSION a_eosfilecompression,
                             uint8_t* a_pu8Work, size_t a_sizetWork, OsFileBlockSort* a_posfileblocksort) {
  if (!a_psizetOutput) {
    OsLog(OS_LOG_ERROR, "a_psizetOutput is null...");
    return OS_STS_BAD_ARGUMENT;
  }
  *a_psizetOutput = 0;
  if (!a_pu8Input || a_sizetInput == 0) {
    OsLog(OS_LOG_ERROR, "Programmer goofed...");
    return OS_STS_FAIL;
  }
  if (a_eosfilecompression != OS_FILECOMPRESSION_BLOCKSORT && a_eosfilecompression != OS_FILECOMPRESSION_RUNLENGTH) {
    OsLog(OS_LOG_ERROR, "Looks like we need to add a new compression handler...%d",
          static_cast<int>(a_eosfilecompression));
    return OS_STS_FAIL;
  }
  if (OsFileBadBuffers(a_pu8Output, a_sizetOutput, a_pu8Input, a_sizetInput) ||
      OsFileTooSmall(a_sizetOutput, s_sizetCompressHeader)) {
    return OS_STS_FAIL;
  }
  OsFileBlockSort osfileblocksortLocal{};
  OsFileBlockSort* posfileblocksort = a_posfileblocksort ? a_posfileblocksort : &osfileblocksortLocal;
  EOSSTS eosstatus = OS_STS_SUCCESS;
  size_t sizetPosition = s_sizetCompressHeader;
  for (size_t sizetDone = 0; sizetDone < a_sizetInput && eosstatus == OS_STS_SUCCESS;) {
    size_t sizetBlock = a_sizetInput - sizetDone < s_sizetCompressBlock ? a_sizetInput - sizetDone : s_sizetCompressBlock;
    const uint8_t* pu8Block = a_pu8Input + sizetDone;
    // The raw block must fit behind its header in any case.
    if (OsFileTooSmall(a_sizetOutput - sizetPosition, s_sizetCompressBlockHeader + sizetBlock)) {
      eosstatus = OS_STS_NOROOM_BUFFER;
      break;
    }
    uint8_t* pu8Header = a_pu8Output + sizetPosition;
    uint8_t* pu8Data = pu8Header + s_sizetCompressBlockHeader;
    size_t sizetRoom = a_sizetOutput - sizetPosition - s_sizetCompressBlockHeader;
    uint32_t u32Primary = 0;
    size_t sizetCoded = 0;
    eosstatus = CodeBlock(pu8Data, sizetRoom, pu8Block, sizetBlock, a_eosfilecompression, a_pu8Work, a_sizetWork,
                          posfileblocksort, &u32Primary, &sizetCoded);
    uint32_t u32Method = a_eosfilecompression;
    if (sizetBlock <= sizetCoded) {  // a tie is kept raw too
      std::memcpy(pu8Data, pu8Block, sizetBlock);
      u32Method = OS_FILECOMPRESSION_RAW;
      u32Primary = 0;
      sizetCoded = sizetBlock;
    }
    OsFilePutU32(pu8Header, u32Method);
    OsFilePutU32(pu8Header + 4, u32Primary);
    OsFilePutU32(pu8Header + 8, static_cast<uint32_t>(sizetBlock));
    OsFilePutU32(pu8Header + 12, static_cast<uint32_t>(sizetCoded));
    sizetPosition += s_sizetCompressBlockHeader + sizetCoded;
    sizetDone += sizetBlock;
  }
  if (posfileblocksort == &osfileblocksortLocal) BlockSortFree(&osfileblocksortLocal);
  if (eosstatus != OS_STS_SUCCESS) return eosstatus;
  std::memcpy(a_pu8Output, s_szCompressTag, s_sizetTag);
  OsFilePutU32(a_pu8Output + 8, s_sizetCompressHeader);
  OsFilePutU32(a_pu8Output + 12, s_sizetCompressBlockHeader);
  OsFilePutU64(a_pu8Output + 16, a_sizetInput);
  // An empty block header ends the blocks for readers that look for one;
  // it is not part of the stream's length.
  if (a_sizetOutput - sizetPosition >= s_sizetCompressBlockHeader) {
    std::memset(a_pu8Output + sizetPosition, 0, s_sizetCompressBlockHeader);
  }
  *a_psizetOutput = sizetPosition;
  return OS_STS_SUCCESS;
}

EOSSTS COsFileImpl::Decompress(uint8_t* a_pu8Output, size_t a_sizetOutput, size_t* a_psizetOutput,
                               const uint8_t* a_pu8Stream, size_t a_sizetStream, uint8_t* a_pu8Work,
                               size_t a_sizetWork) {
  if (!a_psizetOutput) {
    OsLog(OS_LOG_ERROR, "a_psizetOutput is null...");
    return OS_STS_BAD_ARGUMENT;
  }
  *a_psizetOutput = 0;
  if (!a_pu8Stream || a_sizetStream == 0) {
    OsLog(OS_LOG_ERROR, "Programmer goofed...");
    return OS_STS_FAIL;
  }
  if (a_sizetStream < s_sizetTag || std::memcmp(a_pu8Stream, s_szCompressTag, s_sizetTag) != 0) {
    OsLog(OS_LOG_ERROR, "Not a compression file...");
    return OS_STS_FAIL;
  }
  if (a_sizetStream < s_sizetCompressHeader) {
    OsLog(OS_LOG_ERROR, "Stream cut short...%zu", a_sizetStream);
    return OS_STS_FAIL;
  }
  // Later versions may grow both headers; smaller ones lack fields we need,
  // and a block header of no size would never move the walk on.
  uint32_t u32Header = OsFileGetU32(a_pu8Stream + 8);
  uint32_t u32BlockHeader = OsFileGetU32(a_pu8Stream + 12);
  if (u32Header < s_sizetCompressHeader || u32BlockHeader < s_sizetCompressBlockHeader || u32Header > a_sizetStream) {
    OsLog(OS_LOG_ERROR, "Corrupt compression header...%u %u %zu", u32Header, u32BlockHeader, a_sizetStream);
    return OS_STS_FAIL;
  }
  if (OsFileGetU64(a_pu8Stream + 16) == 0) return OS_STS_SUCCESS;
  if (OsFileBadBuffers(a_pu8Output, a_sizetOutput, a_pu8Stream, a_sizetStream)) return OS_STS_FAIL;
  uint32_t* pu32Index = nullptr;
  EOSSTS eosstatus = OS_STS_SUCCESS;
  size_t sizetPosition = u32Header, sizetWritten = 0;
  while (sizetPosition < a_sizetStream && eosstatus == OS_STS_SUCCESS) {
    const uint8_t* pu8Header = a_pu8Stream + sizetPosition;
    if (a_sizetStream - sizetPosition < u32BlockHeader) {
      OsLog(OS_LOG_ERROR, "Stream cut short...%zu", sizetPosition);
      eosstatus = OS_STS_FAIL;
      break;
    }
    uint32_t u32Method = OsFileGetU32(pu8Header), u32Primary = OsFileGetU32(pu8Header + 4);
    uint32_t u32Length = OsFileGetU32(pu8Header + 8), u32Stored = OsFileGetU32(pu8Header + 12);
    size_t sizetData = sizetPosition + u32BlockHeader;
    if (u32Length > s_sizetCompressBlock || u32Stored > a_sizetStream - sizetData) {
      OsLog(OS_LOG_ERROR, "Corrupt block...%u %u at %zu", u32Length, u32Stored, sizetPosition);
      eosstatus = OS_STS_FAIL;
    } else if (OsFileTooSmall(a_sizetOutput - sizetWritten, u32Length)) {
      eosstatus = OS_STS_NOROOM_BUFFER;
    } else {
      eosstatus = DecodeBlock(a_pu8Output + sizetWritten, u32Method, u32Primary, u32Length,
                              a_pu8Stream + sizetData, u32Stored, a_pu8Work, a_sizetWork, &pu32Index);
    }
    sizetWritten += u32Length;
    sizetPosition = sizetData + u32Stored;
  }
  if (pu32Index) OsMemFree(pu32Index);
  if (eosstatus == OS_STS_SUCCESS) *a_psizetOutput = sizetWritten;
  return eosstatus;
}

// Literal stretches and runs are found a word at a time; the packets are
// those of the plain byte-by-byte coder: a run of 3 or more codes all but
// its last byte (at most 127), which the next packet starts with.
EOSSTS COsFileImpl::PackBits(uint8_t* a_pu8Output, size_t a_sizetOutput, const uint8_t* a_pu8Input,
                             size_t a_sizetInput, size_t* a_psizetOutput) {
  if (!a_psizetOutput || OsFileBadBuffers(a_pu8Output, a_sizetOutput, a_pu8Input, a_sizetInput)) {
    return OS_STS_BAD_ARGUMENT;
  }
  *a_psizetOutput = 0;
  if (OsFileTooSmall(a_sizetOutput, a_sizetInput)) return OS_STS_NOROOM_BUFFER;
  size_t sizetWrite = 0;
  for (size_t sizetRead = 0; sizetRead < a_sizetInput;) {
    // Literals up to the next run, 127 to a packet.
    size_t sizetRun = OsFileNextTriple(a_pu8Input, sizetRead, a_sizetInput);
    while (sizetRead < sizetRun) {
      size_t sizetCount = sizetRun - sizetRead < 127 ? sizetRun - sizetRead : 127;
      if (a_sizetOutput - sizetWrite < sizetCount + 1) return OS_STS_NOROOM_BUFFER;
      a_pu8Output[sizetWrite++] = static_cast<uint8_t>(sizetCount);
      // Short packets (the rule after a block sort) as two words when both
      // sides have room for them; what lands past the packet is written over.
      if (sizetCount <= 16 && a_sizetOutput - sizetWrite >= 16 && a_sizetInput - sizetRead >= 16) {
        uint64_t au64[2];
        std::memcpy(au64, a_pu8Input + sizetRead, 16);
        std::memcpy(a_pu8Output + sizetWrite, au64, 16);
      } else {
        std::memcpy(a_pu8Output + sizetWrite, a_pu8Input + sizetRead, sizetCount);
      }
      sizetWrite += sizetCount;
      sizetRead += sizetCount;
    }
    if (sizetRead == a_sizetInput) break;
    uint8_t u8 = a_pu8Input[sizetRead];
    // (A packet takes 127 copies at most: no need to look further.)
    size_t sizetLook = a_sizetInput - sizetRead < 128 ? a_sizetInput - sizetRead : 128;
    size_t sizetCopies = OsFileRunLength(a_pu8Input + sizetRead, sizetLook, u8) - 1;
    if (a_sizetOutput - sizetWrite < 2) return OS_STS_NOROOM_BUFFER;
    a_pu8Output[sizetWrite++] = static_cast<uint8_t>(128 + sizetCopies);
    a_pu8Output[sizetWrite++] = u8;
    sizetRead += sizetCopies;
  }
  *a_psizetOutput = sizetWrite;
  return OS_STS_SUCCESS;
}

EOSSTS COsFileImpl::UnpackBits(uint8_t* a_pu8Output, size_t a_sizetOutput, const uint8_t* a_pu8Input,
                               size_t a_sizetInput, size_t* a_psizetOutput) {
  if (!a_psizetOutput || OsFileBadBuffers(a_pu8Output, a_sizetOutput, a_pu8Input, a_sizetInput)) {
    return OS_STS_BAD_ARGUMENT;
  }
  *a_psizetOutput = 0;
  // Every packet is checked against the room left, so the output may be
  // shorter than the input (packets of a block that did not pay).
  struct Copier {
    uint8_t* pu8;
    void Literals(const uint8_t* a_pu8, size_t a_sizetCount) {
      std::memcpy(pu8, a_pu8, a_sizetCount);
      pu8 += a_sizetCount;
    }
    void Run(uint8_t a_u8, size_t a_sizetCount) {
      std::memset(pu8, a_u8, a_sizetCount);
      pu8 += a_sizetCount;
    }
  } copier{a_pu8Output};
  return OsFileWalkPackets(a_pu8Input, a_sizetInput, a_sizetOutput, copier, a_psizetOutput);
}
