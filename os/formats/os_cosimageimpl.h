// The image-file object behind COsImage. It is itself a file object (Save
// writes through it) and holds the image last created or opened: its parsed
// description, its header size, the mapped view of its file and, for a
// multi-page TIFF being written, where the next page goes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "os_cosfile.h"
#include "os_cosimage.h"
#include "os_cosmem.h"
#include "os_def.h"

struct TiffFill;
struct OsImageBitmapForm;
struct OsImageBitmapPixels;
struct OsImageLineWork;

class COsImageImpl : public COsFile {
 public:
  COsImageImpl();
  ~COsImageImpl() override;
  COsImageImpl(const COsImageImpl&) = delete;
  COsImageImpl& operator=(const COsImageImpl&) = delete;

  EOSSTS Create(const char* a_szFilename, const char* a_szReportImage, bool a_blTemporary, bool a_blKeepOpen,
                EOSIMAGEFILEFORMAT a_eosimagefileformat, EOSIMAGEMULTIPAGE a_eosimagemultipage, bool a_blFileWrite);
  EOSSTS Open(const char* a_szFilename, char* a_szReportImage, size_t a_sizetReportImage,
              EOSIMAGEFILEFORMAT* a_peosimagefileformat);
  EOSSTS GetHeaderData(void* a_pvHeader, size_t a_sizetHeader, size_t* a_psizetTransferred);
  EOSSTS GetImageData(void* a_pvImage, size_t a_sizetOffset, size_t a_sizetBytes, size_t* a_psizetTransferred);
  EOSSTS Save(const char* a_szFilename);
  void Close(bool a_blDeleteSource, bool a_blDeleteOutput);
  void RegisterDecompressionFunction(void* a_pvUser, OsImageDecompressFunction a_pfnDecompress);

  // How long Close tries to open a multi-page file that another holds, and
  // how often (milliseconds; 0 restores the defaults).
  static void SetCloseWait(long a_lTotal, long a_lStep);
  // Above this many bytes of lines the bitmap writer moves its view line by
  // line instead of mapping the whole output (0 restores the default).
  static void SetWholeViewLimit(uint64_t a_u64Bytes);

  // Views of files (os_cosimageimpl_view.cpp). MoveView puts the view on
  // exactly the bytes asked for, or fails.
  static void* MapFile(EOSSHAREDALLOC a_eossharedalloc, const char* a_szPath, int64_t a_i64Size, int64_t a_i64Offset,
                       int64_t a_i64View, uint32_t a_u32Flags);
  static void* MapReadOnly(const char* a_szPath, int64_t a_i64View);
  static bool MoveView(void*& a_pvView, uint64_t a_u64Offset, uint64_t a_u64Bytes);
  // The same for bytes about to be written: their pages are mapped ahead,
  // and a file system without room for them fails here, not with SIGBUS.
  static bool MoveViewForWriting(void*& a_pvView, uint64_t a_u64Offset, uint64_t a_u64Bytes);
  static void FreeView(void*& a_pvView);
  static uint64_t MappedFileSize(const void* a_pvView);

  static constexpr size_t s_sizetName = 512;        // source and output names
  static constexpr size_t s_sizetValue = 1024;      // one description value
  static constexpr int64_t s_i64HeaderView = 2048;  // view of headers and of a kept-open file

 private:
  // Description (os_cosimageimpl_report.cpp).
  EOSSTS ParseReportImage(const char* a_szReportImage);
  EOSSTS CheckParsed();
  EOSSTS DescribeImage(char* a_szReportImage, size_t a_sizetReportImage);

  // Writers.
  EOSSTS ChooseFileFormat(EOSIMAGEFILEFORMAT* a_peosimagefileformat);
  EOSSTS CreateTiff(bool a_blTemporary, bool a_blKeepOpen, bool a_blFileWrite);
  TiffFill TiffValues() const;
  EOSSTS CreateTiffMultiPage(bool a_blTemporary, bool a_blKeepOpen, EOSIMAGEMULTIPAGE a_eosimagemultipage);
  EOSSTS FinishPages(bool a_blCut);
  EOSSTS SaveTo(uint8_t* a_pbPiece, size_t a_sizetPiece, bool a_blFileHeader);
  EOSSTS CreateJfif(bool a_blTemporary, bool a_blKeepOpen, bool a_blFileWrite);
  EOSSTS CreateBitmap(EOSIMAGEFILEFORMAT a_eosimagefileformat, bool a_blTemporary, bool a_blKeepOpen);
  EOSSTS WriteBitmap(const OsImageBitmapForm& a_bitmapform, const OsImageBitmapPixels& a_bitmappixels,
                     bool a_blTemporary, bool a_blKeepOpen, char* a_szTemporary);
  EOSSTS ArrangeOutputLines(const OsImageLineWork& a_linework, uint64_t a_u64File);
  EOSSTS Decompress(char* a_szTemporary, uint32_t* a_pu32Size);

  // Readers of a file's header through the view (os_cosimageimpl_open.cpp,
  // os_cosimageimpl_jfif.cpp, os_cosimageimpl_tiff.cpp).
  EOSSTS ParseTiffHeader(uint64_t a_u64FileSize);
  EOSSTS ParseJfifHeader(void*& a_pvView, uint64_t a_u64FileSize);
  EOSSTS ParseBmpHeader(uint64_t a_u64FileSize);

  // Data movement (os_cosimageimpl_view.cpp).
  EOSSTS MapSource(const char* a_szSource, uint64_t a_u64Needed, void*& a_pvSource, int64_t a_i64View);
  EOSSTS CopyPieces(void*& a_pvSource, uint64_t a_u64SourceOffset, void*& a_pvTarget, uint64_t a_u64TargetOffset,
                    uint64_t a_u64Bytes);
  EOSSTS WriteAt(void*& a_pvView, uint64_t a_u64Offset, const uint8_t* a_pb, uint64_t a_u64Bytes);
  EOSSTS WriteOutputFile(const uint8_t* a_pbHeader, uint32_t a_u32Header, void*& a_pvSource);
  EOSSTS CreateMappedOutput(const uint8_t* a_pbHeader, uint32_t a_u32Header, void*& a_pvSource, uint64_t a_u64Data,
                            uint64_t a_u64File, bool a_blTemporary, bool a_blKeepOpen, int64_t a_i64View);
  EOSSTS FinishOutput(bool a_blKeepOpen);
  void ReleaseImage();
  static bool ArgumentsGiven(const char* a_szFilename, const void* a_pvReportImage);

  void* m_pvView;                             // the open or created file; null when none
  uint32_t m_u32HeaderSize;                   // bytes in front of the image data
  uint32_t m_u32Width;                        // pixels
  uint32_t m_u32Height;                       // lines
  uint32_t m_u32ImageSize;                    // bytes of image data
  uint32_t m_u32Resolution;                   // dots per inch
  uint32_t m_u32EndOffset;                    // size of a multi-page TIFF being written; 0 when none
  uint32_t m_u32PageOffset;                   // where the current image's header starts
  uint32_t m_u32ChunkSize;                    // bytes moved per view
  EOSIMAGEFORMAT m_eosimageformat;
  EOSIMAGECOMPRESSION m_eosimagecompression;
  char m_szSource[s_sizetName];               // the file holding the described data
  char m_szOutput[s_sizetName];               // the file last created or opened
  OsImageDecompressFunction m_pfnDecompress;
  void* m_pvDecompressUser;
  bool m_blKeptOpen;
  bool m_blDecompressLookup;                  // the sibling library was asked already
  EOSIMAGEFILEFORMAT m_eosimagefileformat;    // of the last Create or Open
  char m_szPages[s_sizetName];                // the multi-page file being written; empty when none
  uint32_t m_u32NextDirectoryAt;              // its last page's next-directory field while more pages may come
};

// Little- and big-endian fields of file headers.
inline uint16_t OsImageGetU16(const uint8_t* a_pb) { return static_cast<uint16_t>(a_pb[0] | (a_pb[1] << 8)); }
inline uint32_t OsImageGetU32(const uint8_t* a_pb) {
  return static_cast<uint32_t>(a_pb[0]) | (static_cast<uint32_t>(a_pb[1]) << 8) |
         (static_cast<uint32_t>(a_pb[2]) << 16) | (static_cast<uint32_t>(a_pb[3]) << 24);
}
inline uint16_t OsImageGetU16Be(const uint8_t* a_pb) { return static_cast<uint16_t>((a_pb[0] << 8) | a_pb[1]); }
inline void OsImagePutU16(uint8_t* a_pb, uint32_t a_u32) {
  a_pb[0] = static_cast<uint8_t>(a_u32);
  a_pb[1] = static_cast<uint8_t>(a_u32 >> 8);
}
inline void OsImagePutU32(uint8_t* a_pb, uint32_t a_u32) {
  OsImagePutU16(a_pb, a_u32);
  OsImagePutU16(a_pb + 2, a_u32 >> 16);
}
