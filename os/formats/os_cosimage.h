// Image files: reads a <reportimage> description of raw, Group 4 or JPEG
// image data lying in a file, and writes it as a one-strip TIFF (or one page
// of a multi-page TIFF), a JFIF file or a Windows bitmap; opens such files
// back into a description and gives their header and data. Image data is
// never read into the heap whole: it moves between mapped views of the files
// in pieces of ForceFileChunkSize bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "os_def.h"

// Pixel format of the image data.
enum EOSIMAGEFORMAT : uint32_t {
  OS_IMAGEFORMAT_UNKNOWN = 0,
  OS_IMAGEFORMAT_BW = 1,      // "bw": one bit per pixel, 1 is white
  OS_IMAGEFORMAT_GRAY8 = 2,   // "gray_8"
  OS_IMAGEFORMAT_RGB24 = 3,   // "rgb_24": R, G, B per pixel
};

// Compression of the image data.
enum EOSIMAGECOMPRESSION : uint32_t {
  OS_IMAGECOMPRESSION_UNKNOWN = 0,
  OS_IMAGECOMPRESSION_NONE = 1,    // "none"
  OS_IMAGECOMPRESSION_GROUP4 = 2,  // "group4": CCITT T.6
  OS_IMAGECOMPRESSION_JPEG = 3,    // "jpeg": a JFIF stream
};

// The file Create writes, or the kind Open found (2, 4, 5 or 0).
enum EOSIMAGEFILEFORMAT : uint32_t {
  OS_IMAGEFILEFORMAT_NONE = 0,
  OS_IMAGEFILEFORMAT_BYNAME = 1,        // chosen by the output name's extension
  OS_IMAGEFILEFORMAT_TIFF = 2,
  OS_IMAGEFILEFORMAT_TIFFMULTIPAGE = 3, // one page, by EOSIMAGEMULTIPAGE
  OS_IMAGEFILEFORMAT_JFIF = 4,
  OS_IMAGEFILEFORMAT_BMP = 5,           // file header, rows bottom up
  OS_IMAGEFILEFORMAT_BMPTOPDOWN = 6,    // file header, rows in source order
  OS_IMAGEFILEFORMAT_DIB = 7,           // no file header, rows bottom up
  OS_IMAGEFILEFORMAT_DIBTOPDOWN = 8,    // no file header, rows in source order
  OS_IMAGEFILEFORMAT_RAWBITMAP = 9,     // the same bytes as 8
};

// Which page of a multi-page TIFF a Create writes.
enum EOSIMAGEMULTIPAGE : uint32_t {
  OS_IMAGEMULTIPAGE_NONE = 0,
  OS_IMAGEMULTIPAGE_FIRST = 2,
  OS_IMAGEMULTIPAGE_MIDDLE = 3,
  OS_IMAGEMULTIPAGE_LAST = 4,
};

// Turns a compressed source file into raw data of the pixel format in the
// output file (top line first, colour as B, G, R) and stores its size; 0 on
// success, any other status is handed back to the caller of Create.
typedef EOSSTS (*OsImageDecompressFunction)(void* a_pvUser, const char* a_szSource, uint32_t a_u32SourceSize,
                                            EOSIMAGECOMPRESSION a_eosimagecompression,
                                            EOSIMAGEFORMAT a_eosimageformat, uint32_t a_u32Width,
                                            uint32_t a_u32Height, const char* a_szOutput,
                                            uint32_t* a_pu32OutputSize);

class COsImageImpl;

class COsImage {
 public:
  COsImage();
  ~COsImage();
  COsImage(const COsImage&) = delete;
  COsImage& operator=(const COsImage&) = delete;

  // Writes the image a <reportimage> describes. Temporary: the output goes
  // when its mapping is freed. Keep-open: the output stays open for the
  // readers below. File-write: ordinary file output (single-page TIFF and
  // JFIF only; the other two flags must then be false).
  EOSSTS Create(const char* a_szFilename, const char* a_szReportImage, bool a_blTemporary, bool a_blKeepOpen,
                EOSIMAGEFILEFORMAT a_eosimagefileformat, EOSIMAGEMULTIPAGE a_eosimagemultipage, bool a_blFileWrite);
  // Opens a TIFF, JFIF or BMP file and writes its description; the format
  // found (2, 4, 5 or 0) goes to *a_peosimagefileformat when given. 2 when
  // the description does not fit the buffer.
  EOSSTS Open(const char* a_szFilename, char* a_szReportImage, size_t a_sizetReportImage,
              EOSIMAGEFILEFORMAT* a_peosimagefileformat = nullptr);
  // The open image's header bytes; with a null buffer and size 0 only the
  // size. 2 (and the needed size) when the buffer is too small.
  EOSSTS GetHeaderData(void* a_pvHeader, size_t a_sizetHeader, size_t* a_psizetTransferred);
  // Image data from the offset: at most the bytes that remain. With a null
  // buffer, offset 0 and 0 bytes only the image size. 2 (and the image size)
  // for no bytes or an offset past the end.
  EOSSTS GetImageData(void* a_pvImage, size_t a_sizetOffset, size_t a_sizetBytes, size_t* a_psizetTransferred);
  // Writes the open image (header and data) to another file; a bitmap
  // without file header gets one.
  EOSSTS Save(const char* a_szFilename);
  // Ends the open image, deleting the source or the output on request.
  void Close(bool a_blDeleteSource, bool a_blDeleteOutput);
  // The function that turns Group 4 or JPEG sources into raw data for the
  // bitmap writer, and its first argument.
  void RegisterDecompressionFunction(void* a_pvUser, OsImageDecompressFunction a_pfnDecompress);

 private:
  COsImageImpl* m_posimageimpl;
};
