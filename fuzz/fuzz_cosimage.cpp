// Fuzz target of the image-file reader: the input is written as a file of a
// throwaway directory and opened as a TIFF, JFIF or BMP file. What opens is
// read whole through the header and data readers (into buffers of exact
// size, in pieces the input picks) and must be the file's own bytes; it is
// saved to another file, which must hold the same bytes; then it is written
// again from its own description in every form the writer offers (three
// pages of a multi-page file among them; compressed data through a stand-in
// decompression function), and every output that opens is read the same way.
// A file that does not open is written in every form as the data of an image
// that its last bytes describe.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_root.h"
#include "os_coscfg.h"
#include "os_cosimage.h"
#include "os_cosmem.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Check(bool a_bl) {
  if (!a_bl) __builtin_trap();
}

using fuzzroot::Path;
using fuzzroot::WriteFile;

Bytes ReadFile(const std::string& a_strPath) {
  Bytes bytes;
  const int iFd = open(a_strPath.c_str(), O_RDONLY);
  if (iFd < 0) return bytes;
  uint8_t au8[65536];
  for (ssize_t ssize; (ssize = read(iFd, au8, sizeof au8)) > 0;) bytes.insert(bytes.end(), au8, au8 + ssize);
  close(iFd);
  return bytes;
}

// Stands in for the decompressor outside the library: raw lines of the
// pixel format for the width and height it is told, as a real one makes
// them, but never more than 64 KiB (a decoder stops where its stream ends).
EOSSTS Decode(void*, const char*, uint32_t, EOSIMAGECOMPRESSION, EOSIMAGEFORMAT a_eosimageformat, uint32_t a_u32Width,
              uint32_t a_u32Height, const char* a_szOutput, uint32_t* a_pu32Size) {
  const uint64_t u64Line = a_eosimageformat == OS_IMAGEFORMAT_BW      ? (uint64_t{a_u32Width} + 7) / 8
                           : a_eosimageformat == OS_IMAGEFORMAT_GRAY8 ? a_u32Width
                                                                      : uint64_t{a_u32Width} * 3;
  const uint64_t u64Size = std::min<uint64_t>(u64Line * a_u32Height, 65536);
  Bytes bytes(static_cast<size_t>(u64Size));
  for (size_t sizet = 0; sizet < bytes.size(); ++sizet) bytes[sizet] = static_cast<uint8_t>(sizet * 7);
  if (!WriteFile(a_szOutput, bytes.data(), bytes.size())) return OS_STS_FAIL;
  *a_pu32Size = static_cast<uint32_t>(u64Size);
  return OS_STS_SUCCESS;
}

// The open image's header and data through the readers, the data in pieces
// of a_sizetParts-th of it, each into a buffer of exactly its size; every
// size query and limit must agree with what was read.
Bytes ReadOpen(COsImage& a_osimage, size_t a_sizetParts) {
  size_t sizetHeader = 0, sizetImage = 0, sizetGot = 0;
  Check(a_osimage.GetHeaderData(nullptr, 0, &sizetHeader) == OS_STS_SUCCESS);
  Check(a_osimage.GetImageData(nullptr, 0, 0, &sizetImage) == OS_STS_SUCCESS);
  Bytes bytes(sizetHeader);
  if (sizetHeader) {
    Check(a_osimage.GetHeaderData(bytes.data(), sizetHeader - 1, &sizetGot) == OS_STS_NOROOM_BUFFER);
    Check(sizetGot == sizetHeader);
    Bytes header(sizetHeader);
    if (a_osimage.GetHeaderData(header.data(), header.size(), &sizetGot) != OS_STS_SUCCESS) return {};
    Check(sizetGot == sizetHeader);
    bytes = header;
  }
  const size_t sizetPiece = std::max<size_t>(1, sizetImage / a_sizetParts);
  for (size_t sizetOffset = 0; sizetOffset < sizetImage; sizetOffset += sizetPiece) {
    Bytes piece(sizetPiece);
    if (a_osimage.GetImageData(piece.data(), sizetOffset, piece.size(), &sizetGot) != OS_STS_SUCCESS) return {};
    Check(sizetGot == std::min(sizetPiece, sizetImage - sizetOffset));
    bytes.insert(bytes.end(), piece.begin(), piece.begin() + static_cast<long>(sizetGot));
  }
  uint8_t u8 = 0;
  Check(a_osimage.GetImageData(&u8, sizetImage + 1, 1, &sizetGot) == OS_STS_NOROOM_BUFFER && sizetGot == sizetImage);
  Check(a_osimage.GetImageData(&u8, 0, 0, &sizetGot) == OS_STS_NOROOM_BUFFER);
  return bytes;
}

// Saves the open image; the saved file holds what the readers gave.
void SaveOpen(COsImage& a_osimage, const Bytes& a_bytesRead, bool a_blFileHeader) {
  const std::string strSaved = Path("saved.img");
  if (a_osimage.Save(strSaved.c_str()) != OS_STS_SUCCESS) return;
  const Bytes bytesSaved = ReadFile(strSaved);
  const size_t sizetFileHeader = a_blFileHeader ? 14 : 0;
  Check(bytesSaved.size() == sizetFileHeader + a_bytesRead.size());
  Check(std::equal(a_bytesRead.begin(), a_bytesRead.end(), bytesSaved.begin() + static_cast<long>(sizetFileHeader)));
}

// Opens a file and reads it whole; the bytes read, or nothing.
Bytes OpenAndRead(COsImage& a_osimage, const std::string& a_strPath, size_t a_sizetParts, char* a_szReport,
                  size_t a_sizetReport) {
  if (a_osimage.Open(a_strPath.c_str(), a_szReport, a_sizetReport) != OS_STS_SUCCESS) return {};
  Check(strnlen(a_szReport, a_sizetReport) < a_sizetReport);
  return ReadOpen(a_osimage, a_sizetParts);
}

// A bitmap the writer made has a positive width, height and resolution in
// its signed fields.
void CheckBitmapHeader(const std::string& a_strPath) {
  const Bytes bytes = ReadFile(a_strPath);
  Check(bytes.size() >= 54);
  for (size_t sizetField : {18, 22, 38, 42}) {
    int32_t i32 = 0;
    std::memcpy(&i32, bytes.data() + sizetField, sizeof i32);
    Check(i32 > 0);
  }
}

struct Output {
  const char* szName;
  EOSIMAGEFILEFORMAT eosimagefileformat;
  EOSIMAGEMULTIPAGE eosimagemultipage;
  bool blFileWrite;
  bool blKeepOpen;
};

const Output s_aoutput[] = {
    {"out.tif", OS_IMAGEFILEFORMAT_TIFF, OS_IMAGEMULTIPAGE_NONE, false, true},
    {"written.tif", OS_IMAGEFILEFORMAT_TIFF, OS_IMAGEMULTIPAGE_NONE, true, false},
    {"out.jpg", OS_IMAGEFILEFORMAT_JFIF, OS_IMAGEMULTIPAGE_NONE, false, true},
    {"written.jpg", OS_IMAGEFILEFORMAT_JFIF, OS_IMAGEMULTIPAGE_NONE, true, false},
    {"out.bmp", OS_IMAGEFILEFORMAT_BMP, OS_IMAGEMULTIPAGE_NONE, false, true},
    {"topdown.bmp", OS_IMAGEFILEFORMAT_BMPTOPDOWN, OS_IMAGEMULTIPAGE_NONE, false, false},
    {"out.dib", OS_IMAGEFILEFORMAT_DIB, OS_IMAGEMULTIPAGE_NONE, false, true},
    {"topdown.dib", OS_IMAGEFILEFORMAT_DIBTOPDOWN, OS_IMAGEMULTIPAGE_NONE, false, false},
    {"out.rawbmp", OS_IMAGEFILEFORMAT_RAWBITMAP, OS_IMAGEMULTIPAGE_NONE, false, false},
    {"byname", OS_IMAGEFILEFORMAT_BYNAME, OS_IMAGEMULTIPAGE_NONE, false, false},
    {"pages.tif", OS_IMAGEFILEFORMAT_TIFFMULTIPAGE, OS_IMAGEMULTIPAGE_FIRST, false, false},
    {"pages.tif", OS_IMAGEFILEFORMAT_TIFFMULTIPAGE, OS_IMAGEMULTIPAGE_MIDDLE, false, true},
    {"pages.tif", OS_IMAGEFILEFORMAT_TIFFMULTIPAGE, OS_IMAGEMULTIPAGE_LAST, false, false},
};

// Writes the described image in every form; a kept-open output is read and
// saved as it is, every output that opens is read.
void Rewrite(const char* a_szReport, size_t a_sizetParts) {
  COsImage osimage;
  osimage.RegisterDecompressionFunction(nullptr, Decode);
  char szReport[4096];
  for (const Output& output : s_aoutput) {
    const std::string strOutput = Path(output.szName);
    if (osimage.Create(strOutput.c_str(), a_szReport, false, output.blKeepOpen, output.eosimagefileformat,
                       output.eosimagemultipage, output.blFileWrite) != OS_STS_SUCCESS) {
      continue;
    }
    if (output.eosimagefileformat == OS_IMAGEFILEFORMAT_BMP) CheckBitmapHeader(strOutput);
    if (output.blKeepOpen) {
      const Bytes bytes = ReadOpen(osimage, a_sizetParts);
      SaveOpen(osimage, bytes, output.eosimagefileformat == OS_IMAGEFILEFORMAT_DIB);
    }
    if (output.eosimagemultipage == OS_IMAGEMULTIPAGE_NONE || output.eosimagemultipage == OS_IMAGEMULTIPAGE_LAST) {
      COsImage osimageBack;
      OpenAndRead(osimageBack, strOutput, a_sizetParts, szReport, sizeof szReport);
    }
  }
  osimage.Close(false, false);
  for (const Output& output : s_aoutput) std::filesystem::remove(Path(output.szName));
  for (const char* szName : {"byname.tif", "byname.jpg", "byname.bmp"}) std::filesystem::remove(Path(szName));
}

// A file that does not open is taken as the data file of a scanned image
// that its last eight bytes describe: compression, pixel format, width and
// height in pixels, resolution and image size. Empty for a shorter file.
std::string SourceReport(const std::string& a_strSource, const uint8_t* a_pu8Data, size_t a_sizetData) {
  static const char* const s_aszCompression[] = {"none", "group4", "jpeg"};
  static const char* const s_aszFormat[] = {"bw", "gray_8", "rgb_24"};
  static const uint32_t s_au32Resolution[] = {1,   75,  100,  150,      200,      240,       300,
                                              400, 600, 1200, 54000000, 60000000, UINT32_MAX};
  if (a_sizetData < 8) return "";
  const uint8_t* pu8 = a_pu8Data + a_sizetData - 8;
  const uint32_t u32Format = pu8[1] % 3;
  const uint64_t u64Width = 1 + (pu8[2] | (pu8[3] << 8)), u64Height = 1 + (pu8[4] | (pu8[5] << 8));
  const uint64_t u64Resolution = s_au32Resolution[pu8[6] % std::size(s_au32Resolution)];
  const uint64_t u64Line = u32Format == 0 ? (u64Width + 7) / 8 : u32Format == 1 ? u64Width : u64Width * 3;
  const uint64_t au64Size[] = {a_sizetData, a_sizetData - 1, u64Height * u64Line, u64Height * ((u64Line + 3) & ~3ull)};
  // Lengths in 1/1200 inch that come back as the pixels.
  auto inch = [&](uint64_t a_u64Pixels) { return (a_u64Pixels * 1200 + u64Resolution - 1) / u64Resolution; };
  char szReport[1024];
  std::snprintf(szReport, sizeof szReport,
                "<reportimage><compressionmode>%s</compressionmode><imagefilename>%s</imagefilename>"
                "<imageformat>%s</imageformat><imagewidth>%llu</imagewidth><imageheight>%llu</imageheight>"
                "<imagesize>%llu</imagesize><imageresolutionx>%llu_dpi</imageresolutionx></reportimage>",
                s_aszCompression[pu8[0] % 3], a_strSource.c_str(), s_aszFormat[u32Format],
                static_cast<unsigned long long>(inch(u64Width)), static_cast<unsigned long long>(inch(u64Height)),
                static_cast<unsigned long long>(au64Size[pu8[7] % 4]), static_cast<unsigned long long>(u64Resolution));
  return szReport;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzroot::Make("fuzz");
  new COsMem(OS_MEM_METHOD_GLOBALALLOC, 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* a_pu8Data, size_t a_sizetData) {
  fuzzroot::NextRun();
  // The last byte picks the copy chunk, the JPEG layouts and the pieces the
  // readers ask for; the file is the whole input all the same.
  const uint8_t u8Pick = a_sizetData ? a_pu8Data[a_sizetData - 1] : 0;
  g_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEFILECHUNKSIZE, (u8Pick & 1) ? "1021" : "16777216");
  g_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCETIFFVERSION, (u8Pick & 2) ? "6" : "7");
  const size_t sizetParts = 1 + (u8Pick >> 2) % 5;

  const std::string strInput = Path("input.img");
  if (!WriteFile(strInput, a_pu8Data, a_sizetData)) return 0;
  COsImage osimage;
  osimage.RegisterDecompressionFunction(nullptr, Decode);
  char szReport[4096];
  EOSIMAGEFILEFORMAT eosimagefileformat = OS_IMAGEFILEFORMAT_NONE;
  if (osimage.Open(strInput.c_str(), szReport, sizeof szReport, &eosimagefileformat) == OS_STS_SUCCESS) {
    Check(strnlen(szReport, sizeof szReport) < sizeof szReport);
    Check(eosimagefileformat == OS_IMAGEFILEFORMAT_TIFF || eosimagefileformat == OS_IMAGEFILEFORMAT_JFIF ||
          eosimagefileformat == OS_IMAGEFILEFORMAT_BMP);
    // The image read is a front part of the file itself.
    const Bytes bytes = ReadOpen(osimage, sizetParts);
    Check(bytes.size() <= a_sizetData && std::equal(bytes.begin(), bytes.end(), a_pu8Data));
    SaveOpen(osimage, bytes, false);
    osimage.Close(false, false);
    Rewrite(szReport, sizetParts);
  } else if (const std::string strReport = SourceReport(strInput, a_pu8Data, a_sizetData); !strReport.empty()) {
    Rewrite(strReport.c_str(), sizetParts);
  }
  // A description buffer too small for most descriptions.
  std::vector<char> small(1 + u8Pick % 200);
  if (osimage.Open(strInput.c_str(), small.data(), small.size()) == OS_STS_SUCCESS)
    Check(strnlen(small.data(), small.size()) < small.size());
  osimage.Close(false, false);
  return 0;
}
