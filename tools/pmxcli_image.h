// The pages of a scan as pmxcli writes them: the image description of a
// getoutput reply checked against the raw file it names, then written as a
// TIFF (group 4 for bitonal, deflate otherwise) and, for gray and colour, a
// JPEG of quality 90. The files are the front end's business: the library
// links neither libtiff nor libjpeg.
#pragma once

#include <cstdint>
#include <string>

namespace pmxcli {

enum class PixelFormat { kBitonal, kGray, kColor };

// One page as its description gives it, once checked.
struct PageImage {
  std::string rawFile;       // the library's file of raw lines
  PixelFormat format = PixelFormat::kBitonal;
  std::string formatName;    // "bw", "gray_8" or "rgb_24"
  long width = 0;            // pixels
  long height = 0;           // lines
  long resolution = 0;       // dots per inch
  uint64_t lineBytes = 0;    // bytes of one line in the file (padding included)
  uint64_t pixelBytes = 0;   // bytes of one line's pixels
  // The raw file's lines in memory (MapRaw): both writers read them from
  // there, so the file is read once. Null: each writer reads the file.
  const unsigned char* raw = nullptr;
};

// The raw file of a page mapped for reading while it lives; the page's raw
// pointer is set when the map succeeded.
class RawMap {
 public:
  RawMap() = default;
  RawMap(const RawMap&) = delete;
  RawMap& operator=(const RawMap&) = delete;
  ~RawMap();
  bool Map(PageImage* page, std::string* reason);

 private:
  void* data_ = nullptr;
  size_t size_ = 0;
};

// The text of the first element of that name in a reply ("" when absent).
std::string ReplyElement(const std::string& reply, const std::string& name);

// Reads the description of a reportimage and checks it against the raw file:
// pixels times depth times lines (lines padded to 4 bytes or not) must give
// imagesize, and the file must hold exactly that. The sizes in 1/1200 inch
// are turned into pixels by truncation, or one more where only that fits.
// False with the reason when anything disagrees: nothing may be written then.
bool DescribePage(const std::string& reply, PageImage* page, std::string* reason);

// Writes the page's TIFF (and, for gray and colour, its JPEG) to those paths,
// each first under a temporary name renamed into place once whole. False with
// the reason on any failure; no partial file is left.
bool WriteTiff(const PageImage& page, const std::string& path, std::string* reason);
bool WriteJpeg(const PageImage& page, const std::string& path, std::string* reason);

}  // namespace pmxcli
