// The pages pmxcli writes: a description is never trusted (its pixels,
// depth and lines, padded to 4 bytes or not, must give imagesize and the
// file's size, or nothing is written), and a page that cannot be written
// leaves no partial file. The pixels written are read back with libtiff.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../../tools/pmxcli_image.h"
#include "test_support.h"

using testsupport::RootPath;
using testsupport::WriteFile;

namespace {

// A reportimage as the driver answers it; sizes in 1/1200 inch.
std::string Reply(const std::string& file, const std::string& format, long width1200, long height1200, long size,
                  const std::string& compression = "none", const std::string& resolution = "150_dpi") {
  return "<task><reportstatus><status>success</status></reportstatus>\t<reportimage>\n"
         "\t\t<compressionmode>" + compression + "</compressionmode>\n"
         "\t\t<imagefilename>" + file + "</imagefilename>\n"
         "\t\t<imageformat>" + format + "</imageformat>\n"
         "\t\t<imagewidth>" + std::to_string(width1200) + "</imagewidth>\n"
         "\t\t<imageheight>" + std::to_string(height1200) + "</imageheight>\n"
         "\t\t<imagesize>" + std::to_string(size) + "</imagesize>\n"
         "\t\t<imageresolutionx>" + resolution + "</imageresolutionx>\n\t</reportimage>"
         "<outputimagecount>1</outputimagecount></task>";
}

// A raw file of that many bytes, each byte its offset's low bits.
std::string Raw(const std::string& name, size_t size) {
  std::string data(size, '\0');
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i * 7);
  WriteFile(RootPath(name), data);
  return RootPath(name);
}

struct DescribeCase {
  const char* name;
  std::string format;
  long width1200, height1200;  // at 150 dpi: 8/1200 inch a pixel
  long size, fileSize;
  std::string compression;
  bool fits;
  long width, height, lineBytes;
};

TEST(PmxcliImage, DescribeChecksEverySizeAgainstTheFile) {
  const std::vector<DescribeCase> cases = {
      {"bitonal lines as they are", "bw", 81 * 8, 10 * 8, 11 * 10, 11 * 10, "none", true, 81, 10, 11},
      {"bitonal lines padded to 4", "bw", 81 * 8, 10 * 8, 12 * 10, 12 * 10, "none", true, 81, 10, 12},
      {"gray", "gray_8", 13 * 8, 5 * 8, 13 * 5, 13 * 5, "none", true, 13, 5, 13},
      {"colour padded", "rgb_24", 13 * 8, 5 * 8, 40 * 5, 40 * 5, "none", true, 13, 5, 40},
      // A size made from pixels, truncated to 1/1200 inch, reads one pixel more.
      {"colour, width truncated", "rgb_24", 13 * 8 - 3, 5 * 8, 39 * 5, 39 * 5, "none", true, 13, 5, 39},
      {"imagesize is no whole line count", "gray_8", 13 * 8, 5 * 8, 13 * 5 + 1, 13 * 5 + 1, "none", false, 0, 0, 0},
      {"imagesize beyond the file", "gray_8", 13 * 8, 5 * 8, 13 * 5, 13 * 4, "none", false, 0, 0, 0},
      {"file beyond imagesize", "gray_8", 13 * 8, 5 * 8, 13 * 5, 13 * 6, "none", false, 0, 0, 0},
      {"width too big for imagesize", "rgb_24", 1300 * 8, 5 * 8, 39 * 5, 39 * 5, "none", false, 0, 0, 0},
      {"unknown format", "cmyk", 13 * 8, 5 * 8, 13 * 5, 13 * 5, "none", false, 0, 0, 0},
      {"compressed data", "gray_8", 13 * 8, 5 * 8, 13 * 5, 13 * 5, "jpeg", false, 0, 0, 0},
      {"no width", "gray_8", 0, 5 * 8, 13 * 5, 13 * 5, "none", false, 0, 0, 0},
      {"negative height", "gray_8", 13 * 8, -40, 13 * 5, 13 * 5, "none", false, 0, 0, 0},
      // Lines times height past 2^64 must not wrap around to imagesize.
      {"sizes that overflow", "rgb_24", 1000000000, 1000000000, 13 * 5, 13 * 5, "none", false, 0, 0, 0},
  };
  for (const auto& test : cases) {
    const std::string file = Raw("raw.bin", static_cast<size_t>(test.fileSize));
    pmxcli::PageImage page;
    std::string reason;
    const bool fits = pmxcli::DescribePage(
        Reply(file, test.format, test.width1200, test.height1200, test.size, test.compression), &page, &reason);
    EXPECT_EQ(fits, test.fits) << test.name << ": " << reason;
    if (fits && test.fits) {
      EXPECT_EQ(page.width, test.width) << test.name;
      EXPECT_EQ(page.height, test.height) << test.name;
      EXPECT_EQ(static_cast<long>(page.lineBytes), test.lineBytes) << test.name;
      EXPECT_EQ(page.resolution, 150) << test.name;
    } else if (!test.fits) {
      EXPECT_FALSE(reason.empty()) << test.name;
    }
  }
}

TEST(PmxcliImage, DescribeRefusesAFileThatIsNotThere) {
  pmxcli::PageImage page;
  std::string reason;
  EXPECT_FALSE(pmxcli::DescribePage(Reply(RootPath("none.raw"), "gray_8", 8, 8, 1), &page, &reason));
  EXPECT_NE(reason.find("none.raw"), std::string::npos) << reason;
  EXPECT_FALSE(pmxcli::DescribePage("<task><reportimage></reportimage></task>", &page, &reason));
}

// The padded bitonal lines come back without their padding, 1 still black.
TEST(PmxcliImage, TiffHoldsThePixelsOfEachLine) {
  const std::string file = Raw("bw.raw", 12 * 10);
  pmxcli::PageImage page;
  std::string reason;
  ASSERT_TRUE(pmxcli::DescribePage(Reply(file, "bw", 81 * 8, 10 * 8, 12 * 10), &page, &reason)) << reason;
  ASSERT_TRUE(pmxcli::WriteTiff(page, RootPath("bw.tif"), &reason)) << reason;
  EXPECT_FALSE(std::filesystem::exists(RootPath("bw.tif.part")));
  TIFF* tiff = TIFFOpen(RootPath("bw.tif").c_str(), "r");
  ASSERT_NE(tiff, nullptr);
  uint32_t width = 0, height = 0;
  uint16_t compression = 0, photometric = 0;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetField(tiff, TIFFTAG_COMPRESSION, &compression);
  TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
  EXPECT_EQ(width, 81u);
  EXPECT_EQ(height, 10u);
  EXPECT_EQ(compression, COMPRESSION_CCITTFAX4);
  EXPECT_EQ(photometric, PHOTOMETRIC_MINISWHITE);
  const std::string raw = testsupport::ReadFile(file);
  std::vector<unsigned char> line(static_cast<size_t>(TIFFScanlineSize(tiff)));
  for (uint32_t row = 0; row < height; ++row) {
    ASSERT_EQ(TIFFReadScanline(tiff, line.data(), row, 0), 1);
    // The last byte's bits beyond pixel 81 are padding of the TIFF's own.
    for (size_t byte = 0; byte < 10; ++byte) {
      EXPECT_EQ(line[byte], static_cast<unsigned char>(raw[row * 12 + byte])) << row << " " << byte;
    }
    EXPECT_EQ(line[10] & 0x80, static_cast<unsigned char>(raw[row * 12 + 10]) & 0x80) << row;
  }
  TIFFClose(tiff);
}

// A page that cannot be written (here: a directory where its file goes)
// reports why and leaves nothing behind.
TEST(PmxcliImage, AFailedWriteLeavesNoPartialFile) {
  const std::string file = Raw("gray.raw", 13 * 5);
  pmxcli::PageImage page;
  std::string reason;
  ASSERT_TRUE(pmxcli::DescribePage(Reply(file, "gray_8", 13 * 8, 5 * 8, 13 * 5), &page, &reason)) << reason;
  for (const char* name : {"page.tif", "page.jpg"}) {
    std::filesystem::create_directories(RootPath(name));
    reason.clear();
    const bool written = std::string(name) == "page.tif" ? pmxcli::WriteTiff(page, RootPath(name), &reason)
                                                         : pmxcli::WriteJpeg(page, RootPath(name), &reason);
    EXPECT_FALSE(written) << name;
    EXPECT_FALSE(reason.empty()) << name;
    EXPECT_FALSE(std::filesystem::exists(RootPath(std::string(name) + ".part"))) << name;
  }
  // A file shorter than the description said fails the JPEG, not the process.
  WriteFile(file, std::string(13 * 2, 'x'));
  reason.clear();
  EXPECT_FALSE(pmxcli::WriteJpeg(page, RootPath("short.jpg"), &reason));
  EXPECT_NE(reason.find("short read"), std::string::npos) << reason;
  EXPECT_FALSE(std::filesystem::exists(RootPath("short.jpg")));
}

// A link planted where a page's partial file goes is replaced, never
// followed: the file it names stays as it was, the page is written.
TEST(PmxcliImage, APlantedLinkAtThePartialNameIsNotFollowed) {
  const std::string file = Raw("gray.raw", 13 * 5);
  pmxcli::PageImage page;
  std::string reason;
  ASSERT_TRUE(pmxcli::DescribePage(Reply(file, "gray_8", 13 * 8, 5 * 8, 13 * 5), &page, &reason)) << reason;
  WriteFile(RootPath("victim"), "keep");
  for (const char* name : {"page.tif", "page.jpg"}) {
    std::filesystem::create_symlink(RootPath("victim"), RootPath(std::string(name) + ".part"));
    reason.clear();
    const bool written = std::string(name) == "page.tif" ? pmxcli::WriteTiff(page, RootPath(name), &reason)
                                                         : pmxcli::WriteJpeg(page, RootPath(name), &reason);
    EXPECT_TRUE(written) << name << " " << reason;
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(RootPath(name)))) << name;
    EXPECT_EQ(testsupport::ReadFile(RootPath("victim")), "keep") << name;
  }
}

}  // namespace
