// Split streams: one file coded in 32 MiB pieces, each a "PMXCMP01" stream
// behind its 32-bit length, after a 28-byte "PMXSPL01" header. Files of 0
// or 1 byte are kept as they are. The reader trusts nothing it reads: a
// piece longer than its buffer or pieces adding up to more than the file
// are refused, its buffers are sized by what the stream and the file can
// hold, and a failed reader leaves no output behind.
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstring>

#include "os_cosfilebytes.h"
#include "os_cosfileimpl.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"

namespace {
constexpr char s_szSplitTag[] = "PMXSPL01";
constexpr uint64_t s_u64BlockSortLimit = 0x8000000;  // larger text files skip the block sort
constexpr size_t s_sizetCodedPiece = s_sizetSplitPiece + s_sizetSplitSlack;

// The three buffers of one call, freed on every path.
struct PieceBuffers {
  uint8_t* pu8Input = nullptr;
  uint8_t* pu8Coded = nullptr;
  uint8_t* pu8Work = nullptr;
  OsFileBlockSort osfileblocksort{};
  bool Allocate(size_t a_sizetInput, size_t a_sizetCoded, size_t a_sizetWork) {
    pu8Input = static_cast<uint8_t*>(OsMemAlloc(a_sizetInput));
    pu8Coded = static_cast<uint8_t*>(OsMemAlloc(a_sizetCoded));
    pu8Work = static_cast<uint8_t*>(OsMemAlloc(a_sizetWork));
    if (pu8Input && pu8Coded && pu8Work) return true;
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
    return false;
  }
  ~PieceBuffers() {
    for (uint8_t* pu8 : {pu8Input, pu8Coded, pu8Work}) {
      if (pu8) OsMemFree(pu8);
    }
    COsFileImpl::BlockSortFree(&osfileblocksort);
  }
};

void Header(uint8_t* a_pu8Header, uint64_t a_u64Size, uint32_t a_u32Piece) {
  std::memcpy(a_pu8Header, s_szSplitTag, 8);
  OsFilePutU32(a_pu8Header + 8, s_sizetSplitHeader);
  OsFilePutU32(a_pu8Header + 12, 4);
  OsFilePutU64(a_pu8Header + 16, a_u64Size);
  OsFilePutU32(a_pu8Header + 24, a_u32Piece);
}

EOSSTS WriteCounted(COsFile* a_posfile, const void* a_pv, size_t a_sizet, uint64_t* a_pu64Written, const char* a_szName) {
  EOSSTS eosstatus = a_posfile->Write(a_pv, a_sizet);
  if (eosstatus != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Write failed...<%s>", a_szName);
    return eosstatus;
  }
  *a_pu64Written += a_sizet;
  return OS_STS_SUCCESS;
}

// Reads exactly a_sizet bytes of the stream, which has *a_pu64Left bytes left.
bool ReadStream(COsFile* a_posfile, void* a_pv, size_t a_sizet, uint64_t* a_pu64Left) {
  size_t sizetRead = 0;
  if (a_sizet > *a_pu64Left || a_posfile->Read(a_pv, a_sizet, &sizetRead) != OS_STS_SUCCESS || sizetRead != a_sizet) {
    return false;
  }
  *a_pu64Left -= a_sizet;
  return true;
}

bool SkipStream(COsFile* a_posfile, uint64_t a_u64Bytes, uint64_t* a_pu64Left) {
  if (a_u64Bytes > *a_pu64Left) return false;
  *a_pu64Left -= a_u64Bytes;
  return a_u64Bytes == 0 ||
         a_posfile->SetFilePointer64(OS_FILEPOINTER_CURRENT, static_cast<int64_t>(a_u64Bytes)) == OS_STS_SUCCESS;
}

// Removes what a failed reader wrote: only a regular file, never a device
// or whatever else the name may lead to.
void RemoveOutput(const char* a_szOutput) {
  struct stat st;
  if (lstat(a_szOutput, &st) == 0 && S_ISREG(st.st_mode) && unlink(a_szOutput) != 0) {
    OsLog(OS_LOG_ERROR, "DeleteFile failed...<%s>", a_szOutput);
  }
}

// Writes the pieces of a source of two bytes or more.
EOSSTS WritePieces(COsFile* a_posfileOutput, COsFile* a_posfileSource, const char* a_szSource, uint64_t a_u64Size,
                   EOSFILECOMPRESSION a_eosfilecompression, OsFilePackageProgressFunction a_pfnProgress,
                   OsFilePackageProgress* a_posfilepackageprogress, uint64_t* a_pu64Written) {
  PieceBuffers piecebuffers;
  if (!piecebuffers.Allocate(s_sizetSplitPiece, s_sizetCodedPiece, s_sizetCodedPiece)) return OS_STS_FAIL;
  EOSSTS eosstatus = COsFileImpl::Progress(a_pfnProgress, a_posfilepackageprogress, a_szSource, a_u64Size, 0, 0);
  for (uint64_t u64Done = 0; u64Done < a_u64Size && eosstatus == OS_STS_SUCCESS;) {
    size_t sizetPiece = a_u64Size - u64Done < s_sizetSplitPiece ? a_u64Size - u64Done : s_sizetSplitPiece;
    eosstatus = COsFileImpl::Progress(a_pfnProgress, a_posfilepackageprogress, a_szSource, a_u64Size, sizetPiece,
                                      sizetPiece);
    if (eosstatus != OS_STS_SUCCESS) break;
    size_t sizetRead = 0;
    if (a_posfileSource->Read(piecebuffers.pu8Input, sizetPiece, &sizetRead) != OS_STS_SUCCESS ||
        sizetRead != sizetPiece) {
      OsLog(OS_LOG_ERROR, "Read failed...<%s>", a_szSource);
      return OS_STS_FAIL;
    }
    size_t sizetCoded = 0;
    if (COsFileImpl::Compress(piecebuffers.pu8Coded, s_sizetCodedPiece, &sizetCoded, piecebuffers.pu8Input, sizetPiece,
                              a_eosfilecompression, piecebuffers.pu8Work, s_sizetCodedPiece,
                              &piecebuffers.osfileblocksort) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "Compress failed...<%s>", a_szSource);
      return OS_STS_FAIL;
    }
    uint8_t au8Length[s_sizetSplitHeader + 4];
    size_t sizetLead = 0;
    if (u64Done == 0) {
      Header(au8Length, a_u64Size, s_sizetSplitPiece);
      sizetLead = s_sizetSplitHeader;
    }
    OsFilePutU32(au8Length + sizetLead, static_cast<uint32_t>(sizetCoded));
    eosstatus = WriteCounted(a_posfileOutput, au8Length, sizetLead + 4, a_pu64Written, a_szSource);
    if (eosstatus == OS_STS_SUCCESS) {
      eosstatus = WriteCounted(a_posfileOutput, piecebuffers.pu8Coded, sizetCoded, a_pu64Written, a_szSource);
    }
    u64Done += sizetPiece;
  }
  return eosstatus;
}

// The split header as far as this reader knows it; larger headers and
// length fields are skipped.
struct SplitHeader {
  uint32_t u32Header;
  uint32_t u32LengthField;
  uint64_t u64Size;
  uint32_t u32Piece;
};

EOSSTS ReadHeader(COsFile* a_posfileInput, uint64_t* a_pu64Left, SplitHeader* a_psplitheader) {
  uint8_t au8Header[s_sizetSplitHeader] = {};
  if (!ReadStream(a_posfileInput, au8Header, 16, a_pu64Left) || std::memcmp(au8Header, s_szSplitTag, 8) != 0) {
    OsLog(OS_LOG_ERROR, "Not a split file...");
    return OS_STS_FAIL;
  }
  a_psplitheader->u32Header = OsFileGetU32(au8Header + 8);
  a_psplitheader->u32LengthField = OsFileGetU32(au8Header + 12);
  size_t sizetMore = a_psplitheader->u32Header < s_sizetSplitHeader ? a_psplitheader->u32Header : s_sizetSplitHeader;
  if (a_psplitheader->u32Header < s_sizetSplitHeader || a_psplitheader->u32LengthField < 4 ||
      !ReadStream(a_posfileInput, au8Header + 16, sizetMore - 16, a_pu64Left) ||
      !SkipStream(a_posfileInput, a_psplitheader->u32Header - sizetMore, a_pu64Left)) {
    OsLog(OS_LOG_ERROR, "Corrupt split header...%u %u", a_psplitheader->u32Header, a_psplitheader->u32LengthField);
    return OS_STS_FAIL;
  }
  a_psplitheader->u64Size = OsFileGetU64(au8Header + 16);
  a_psplitheader->u32Piece = OsFileGetU32(au8Header + 24);
  return OS_STS_SUCCESS;
}

// Reads one length field (its first four bytes count).
bool ReadLength(COsFile* a_posfileInput, uint32_t a_u32LengthField, uint64_t* a_pu64Left, uint32_t* a_pu32Length) {
  uint8_t au8Length[4];
  if (!ReadStream(a_posfileInput, au8Length, 4, a_pu64Left) ||
      !SkipStream(a_posfileInput, a_u32LengthField - 4u, a_pu64Left)) {
    return false;
  }
  *a_pu32Length = OsFileGetU32(au8Length);
  return true;
}

// Where the restored bytes go besides an open COsFile: a bare descriptor.
struct FdOutput {
  int iFd;
  EOSSTS Write(const void* a_pv, size_t a_sizet) {
    int iErrno = 0;
    return COsFileImpl::WriteAll(iFd, a_pv, a_sizet, &iErrno) == a_sizet ? OS_STS_SUCCESS
                                                                       : COsFileImpl::StatusFromIoErrno(iErrno);
  }
};

template <class Output>
EOSSTS ReadPieces(COsFile* a_posfileInput, Output* a_posfileOutput, const char* a_szOutput,
                  const SplitHeader& a_splitheader, uint64_t* a_pu64Left, OsFilePackageProgressFunction a_pfnProgress,
                  OsFilePackageProgress* a_posfilepackageprogress) {
  if (a_splitheader.u32Piece == 0 || a_splitheader.u32Piece > s_sizetSplitPiece) {
    OsLog(OS_LOG_ERROR, "Corrupt split header...piece size %u", a_splitheader.u32Piece);
    return OS_STS_FAIL;
  }
  // The buffers are as large as the stream can need, never more: a coded
  // piece lies in what is left of the stream, a decoded one in the file,
  // and the codec works one block at a time. A small file claiming 32 MiB
  // pieces costs little.
  size_t sizetCoded = a_splitheader.u32Piece + s_sizetSplitSlack;
  size_t sizetInput = *a_pu64Left < sizetCoded ? static_cast<size_t>(*a_pu64Left) : sizetCoded;
  size_t sizetRoom = a_splitheader.u64Size < a_splitheader.u32Piece ? static_cast<size_t>(a_splitheader.u64Size)
                                                                     : a_splitheader.u32Piece;
  size_t sizetWork = sizetRoom < s_sizetCompressBlock ? sizetRoom : s_sizetCompressBlock;
  PieceBuffers piecebuffers;
  if (!piecebuffers.Allocate(sizetInput, sizetRoom, sizetWork)) return OS_STS_FAIL;
  uint64_t u64Written = 0;
  while (u64Written < a_splitheader.u64Size) {
    EOSSTS eosstatus = COsFileImpl::Progress(a_pfnProgress, a_posfilepackageprogress, a_szOutput,
                                             a_splitheader.u64Size, u64Written, 0);
    if (eosstatus != OS_STS_SUCCESS) return eosstatus;
    uint32_t u32Length = 0;
    if (!ReadLength(a_posfileInput, a_splitheader.u32LengthField, a_pu64Left, &u32Length) || u32Length > sizetCoded ||
        !ReadStream(a_posfileInput, piecebuffers.pu8Input, u32Length, a_pu64Left)) {
      OsLog(OS_LOG_ERROR, "Error reading chunk...%u", u32Length);
      return OS_STS_FAIL;
    }
    // A piece's stream header gives its decoded length: one longer than
    // what is left of the file is refused before it is decoded, since the
    // room for it is only as large as the file.
    uint64_t u64FileLeft = a_splitheader.u64Size - u64Written;
    uint64_t u64Claimed = u32Length >= s_sizetCompressHeader ? OsFileGetU64(piecebuffers.pu8Input + 16) : 0;
    size_t sizetPiece = 0;
    if (u64Claimed <= u64FileLeft &&
        COsFileImpl::Decompress(piecebuffers.pu8Coded, sizetRoom, &sizetPiece, piecebuffers.pu8Input, u32Length,
                                piecebuffers.pu8Work, sizetWork) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "Decompress failed...");
      return OS_STS_FAIL;
    }
    uint64_t u64Piece = u64Claimed > u64FileLeft ? u64Claimed : sizetPiece;
    if (u64Piece > u64FileLeft) {
      OsLog(OS_LOG_ERROR, "Decompressed size doesn't match original size (%llu != %llu)...",
            static_cast<unsigned long long>(u64Written + u64Piece),
            static_cast<unsigned long long>(a_splitheader.u64Size));
      return OS_STS_FAIL;
    }
    if (a_posfileOutput->Write(piecebuffers.pu8Coded, sizetPiece) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "Write failed...<%s>", a_szOutput);
      return OS_STS_FAIL;
    }
    u64Written += sizetPiece;
  }
  return COsFileImpl::Progress(a_pfnProgress, a_posfilepackageprogress, a_szOutput, a_splitheader.u64Size,
                               a_splitheader.u64Size, a_splitheader.u64Size);
}

// A file of 0 or 1 byte: its length field, then the byte itself.
template <class Output>
EOSSTS ReadTiny(COsFile* a_posfileInput, Output* a_posfileOutput, const char* a_szOutput,
                const SplitHeader& a_splitheader, uint64_t* a_pu64Left, OsFilePackageProgressFunction a_pfnProgress,
                OsFilePackageProgress* a_posfilepackageprogress) {
  uint32_t u32Length = 0;
  uint8_t u8Byte = 0;
  if (!ReadLength(a_posfileInput, a_splitheader.u32LengthField, a_pu64Left, &u32Length) ||
      (a_splitheader.u64Size == 1 && !ReadStream(a_posfileInput, &u8Byte, 1, a_pu64Left))) {
    OsLog(OS_LOG_ERROR, "Error reading chunk...");
    return OS_STS_FAIL;
  }
  if (a_splitheader.u64Size == 1 && a_posfileOutput->Write(&u8Byte, 1) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Write failed...<%s>", a_szOutput);
    return OS_STS_FAIL;
  }
  return COsFileImpl::Progress(a_pfnProgress, a_posfilepackageprogress, a_szOutput, a_splitheader.u64Size,
                               a_splitheader.u64Size, a_splitheader.u64Size);
}

template <class Output>
EOSSTS ReadBody(COsFile* a_posfileInput, Output* a_poutput, const char* a_szOutput, const SplitHeader& a_splitheader,
                uint64_t* a_pu64Left, OsFilePackageProgressFunction a_pfnProgress,
                OsFilePackageProgress* a_posfilepackageprogress) {
  return a_splitheader.u64Size < 2 ? ReadTiny(a_posfileInput, a_poutput, a_szOutput, a_splitheader, a_pu64Left,
                                              a_pfnProgress, a_posfilepackageprogress)
                                   : ReadPieces(a_posfileInput, a_poutput, a_szOutput, a_splitheader, a_pu64Left,
                                                a_pfnProgress, a_posfilepackageprogress);
}
}  // namespace

EOSSTS COsFileImpl::Progress(OsFilePackageProgressFunction a_pfnProgress,
                             OsFilePackageProgress* a_posfilepackageprogress, const char* a_szFilename,
                             uint64_t a_u64FileSize, uint64_t a_u64Step, uint64_t a_u64Done) {
  if (!a_pfnProgress) return OS_STS_SUCCESS;
  OsFilePackageProgress osfilepackageprogressLocal{};
  OsFilePackageProgress* p = a_posfilepackageprogress ? a_posfilepackageprogress : &osfilepackageprogressLocal;
  p->u32Size = sizeof(OsFilePackageProgress);
  COsString::SStrNcpy(p->szFilename, sizeof p->szFilename, a_szFilename, sizeof p->szFilename - 1);
  p->u64FileSize = a_u64FileSize;
  p->u64StepBytes = a_u64Step;
  p->u64RunningBytes += a_u64Done;
  EOSSTS eosstatus = a_pfnProgress(p);
  if (eosstatus != OS_STS_SUCCESS) OsLogDebug(OS_LOG_INFO, "Cancel requested...<%s>", a_szFilename);
  return eosstatus;
}

EOSFILECOMPRESSION COsFileImpl::CompressionOf(const char* a_szPath, uint64_t a_u64Size) {
  char szLower[512];
  size_t i = 0;
  for (; a_szPath[i] && i + 1 < sizeof szLower; ++i) {
    szLower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(a_szPath[i])));
  }
  szLower[i] = '\0';
  const char* szExtension = std::strrchr(szLower, '.');
  if (!szExtension) return OS_FILECOMPRESSION_RUNLENGTH;
  static const char* const s_aszText[] = {".ini", ".log", ".profile", ".txt", ".xml"};
  bool blText = false;
  for (const char* sz : s_aszText) blText = blText || std::strcmp(szExtension, sz) == 0;
  if (!blText) return OS_FILECOMPRESSION_RUNLENGTH;
  // Trace logs are large and repetitive: the run-length code does them well.
  if (std::strcmp(szExtension, ".log") == 0 && (std::strstr(szLower, "trace_") || std::strstr(szLower, "dsp"))) {
    return OS_FILECOMPRESSION_RUNLENGTH;
  }
  return a_u64Size <= s_u64BlockSortLimit ? OS_FILECOMPRESSION_BLOCKSORT : OS_FILECOMPRESSION_RUNLENGTH;
}

EOSSTS COsFileImpl::Compress(COsFile* a_posfileOutput, uint64_t* a_pu64Written, const char* a_szSource,
                             EOSFILECOMPRESSION a_eosfilecompression, OsFilePackageProgressFunction a_pfnProgress,
                             OsFilePackageProgress* a_posfilepackageprogress) {
  if (!a_posfileOutput || !a_pu64Written || !a_szSource) {
    OsLog(OS_LOG_ERROR, "an argument is null...");
    return OS_STS_BAD_ARGUMENT;
  }
  *a_pu64Written = 0;
  COsFile osfileSource;
  EOSSTS eosstatus = osfileSource.Open(a_szSource, OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READ);
  if (eosstatus != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Open failed...<%s>", a_szSource);
    return eosstatus;
  }
  uint64_t u64Size = 0;
  if (osfileSource.Size64(&u64Size) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Size64 failed...<%s>", a_szSource);
    return OS_STS_FAIL;
  }
  if (u64Size >= 2) {
    EOSFILECOMPRESSION eosfilecompression = a_eosfilecompression == OS_FILECOMPRESSION_AUTOMATIC
                                                ? CompressionOf(a_szSource, u64Size)
                                                : a_eosfilecompression;
    return WritePieces(a_posfileOutput, &osfileSource, a_szSource, u64Size, eosfilecompression, a_pfnProgress,
                       a_posfilepackageprogress, a_pu64Written);
  }
  uint8_t au8Tiny[s_sizetSplitHeader + 4 + 1];
  Header(au8Tiny, u64Size, 0);
  OsFilePutU32(au8Tiny + s_sizetSplitHeader, static_cast<uint32_t>(u64Size));
  size_t sizetRead = 0;
  if (u64Size == 1 && (osfileSource.Read(au8Tiny + s_sizetSplitHeader + 4, 1, &sizetRead) != OS_STS_SUCCESS ||
                       sizetRead != 1)) {
    OsLog(OS_LOG_ERROR, "Read failed...<%s>", a_szSource);
    return OS_STS_FAIL;
  }
  eosstatus = WriteCounted(a_posfileOutput, au8Tiny, s_sizetSplitHeader + 4 + u64Size, a_pu64Written, a_szSource);
  if (eosstatus != OS_STS_SUCCESS) return eosstatus;
  return Progress(a_pfnProgress, a_posfilepackageprogress, a_szSource, u64Size, u64Size, u64Size);
}

EOSSTS COsFileImpl::Decompress(const char* a_szOutput, uint64_t* a_pu64Written, COsFile* a_posfileInput,
                               uint64_t a_u64Stream, OsFilePackageProgressFunction a_pfnProgress,
                               OsFilePackageProgress* a_posfilepackageprogress) {
  if (!a_szOutput || !a_pu64Written || !a_posfileInput) {
    OsLog(OS_LOG_ERROR, "an argument is null...");
    return OS_STS_BAD_ARGUMENT;
  }
  *a_pu64Written = 0;
  uint64_t u64Left = a_u64Stream;
  SplitHeader splitheader{};
  EOSSTS eosstatus = ReadHeader(a_posfileInput, &u64Left, &splitheader);
  if (eosstatus != OS_STS_SUCCESS) return eosstatus;
  COsFile osfileOutput;
  eosstatus = osfileOutput.Open(a_szOutput, OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READ);
  if (eosstatus != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Open failed...<%s>", a_szOutput);
    return eosstatus;
  }
  eosstatus = ReadBody(a_posfileInput, &osfileOutput, a_szOutput, splitheader, &u64Left, a_pfnProgress,
                       a_posfilepackageprogress);
  osfileOutput.Close();
  if (eosstatus != OS_STS_SUCCESS) {
    RemoveOutput(a_szOutput);
    return eosstatus;
  }
  *a_pu64Written = splitheader.u64Size;
  return OS_STS_SUCCESS;
}

EOSSTS COsFileImpl::Decompress(int a_iFdOutput, const char* a_szOutput, uint64_t* a_pu64Written,
                               COsFile* a_posfileInput, uint64_t a_u64Stream,
                               OsFilePackageProgressFunction a_pfnProgress,
                               OsFilePackageProgress* a_posfilepackageprogress) {
  if (a_iFdOutput < 0 || !a_szOutput || !a_pu64Written || !a_posfileInput) {
    OsLog(OS_LOG_ERROR, "an argument is null...");
    return OS_STS_BAD_ARGUMENT;
  }
  *a_pu64Written = 0;
  uint64_t u64Left = a_u64Stream;
  SplitHeader splitheader{};
  EOSSTS eosstatus = ReadHeader(a_posfileInput, &u64Left, &splitheader);
  FdOutput fdoutput{a_iFdOutput};
  if (eosstatus == OS_STS_SUCCESS) {
    eosstatus = ReadBody(a_posfileInput, &fdoutput, a_szOutput, splitheader, &u64Left, a_pfnProgress,
                         a_posfilepackageprogress);
  }
  if (eosstatus == OS_STS_SUCCESS) *a_pu64Written = splitheader.u64Size;
  return eosstatus;
}
