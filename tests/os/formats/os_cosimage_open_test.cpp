// Opening image files: the description of every TIFF layout the writer
// makes, the header and data readers with their size queries and limits,
// and files whose header values cannot be trusted (sizes past the end, a
// zero resolution, other writers, cut files, unknown first bytes).
#include <filesystem>

#include "os_cosimage_testutil.h"

namespace imagetest {
namespace {

class OpenImage : public ImageTest {
 protected:
  // A gray TIFF of ours: 198-byte header, 13 x 7 pixels at 350 dpi.
  std::string GrayTiff(const std::string& a_name = "gray.tif") {
    m_raw = MakeRaw("gray_8", 13, 7);
    const std::string out = RootPath(a_name);
    EXPECT_EQ(OS_STS_SUCCESS, Create(out, Report("none", Source("gray.raw", m_raw.bytes), m_raw, 91, 350),
                                     OS_IMAGEFILEFORMAT_TIFF));
    return out;
  }
  Raw m_raw;
};

// Every layout reads back as its description: lengths at 350 dpi come back
// truncated (13 pixels are 44.57/1200 inch).
TEST_F(OpenImage, EveryTiffLayoutDescribesItself) {
  struct Case {
    const char* format;
    const char* compression;
    const char* version;
    uint32_t header;
  } cases[] = {{"bw", "none", "", 222},       {"bw", "group4", "", 222},      {"gray_8", "none", "", 198},
               {"gray_8", "jpeg", "6", 222},  {"gray_8", "jpeg", "7", 210},   {"rgb_24", "none", "", 204},
               {"rgb_24", "jpeg", "6", 264},  {"rgb_24", "jpeg", "", 252}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.format) + " " + c.compression + " " + c.version);
    Set(OS_CFGTAG_FORCETIFFVERSION, c.version);
    const Raw raw = MakeRaw(c.format, 13, 7);
    const std::string out = RootPath("layout.tif");
    ASSERT_EQ(OS_STS_SUCCESS, Create(out, Report(c.compression, Source("source.raw", raw.bytes), raw,
                                                 raw.bytes.size(), 350),
                                     OS_IMAGEFILEFORMAT_TIFF));
    EOSIMAGEFILEFORMAT format = OS_IMAGEFILEFORMAT_NONE;
    EXPECT_EQ(Description(c.compression, out, c.format, 44, 24, raw.bytes.size(), 350), Open(out, nullptr, &format));
    EXPECT_EQ(OS_IMAGEFILEFORMAT_TIFF, format);
    size_t header = 0;
    EXPECT_EQ(OS_STS_SUCCESS, Image().GetHeaderData(nullptr, 0, &header));
    EXPECT_EQ(c.header, header);
    EXPECT_EQ(raw.bytes, ImageData());
  }
}

// The readers' size queries, limits and refusals, over views of 7 bytes.
TEST_F(OpenImage, HeaderAndDataReaders) {
  Set(OS_CFGTAG_FORCEFILECHUNKSIZE, "7");
  const std::string tiff = GrayTiff();
  char buffer[300];
  size_t got = 0;
  EXPECT_EQ(OS_STS_FAIL, Image().GetHeaderData(buffer, sizeof buffer, &got));
  EXPECT_TRUE(Logged("must Create/Open before GetHeaderData..."));
  EXPECT_EQ(OS_STS_FAIL, Image().GetImageData(buffer, 0, 10, &got));
  EXPECT_TRUE(Logged("must Create/Open before GetImageData..."));
  ASSERT_NE("", Open(tiff));

  struct Case {
    const char* name;
    bool header;  // GetHeaderData, else GetImageData
    bool buffer;
    size_t offset, bytes;
    EOSSTS status;
    size_t transferred;
    std::string data;    // expected at the front of the buffer
    const char* logged;  // "" for none
  } cases[] = {
      {"header size", true, false, 0, 0, OS_STS_SUCCESS, 198, "", ""},
      {"header", true, true, 0, 198, OS_STS_SUCCESS, 198, ReadFile(tiff).substr(0, 198), ""},
      {"header buffer one short", true, true, 0, 197, OS_STS_NOROOM_BUFFER, 198, "", "a_sizetHeader is too small..."},
      {"image size", false, false, 0, 0, OS_STS_SUCCESS, 91, "", ""},
      {"all data", false, true, 0, 91, OS_STS_SUCCESS, 91, m_raw.bytes, ""},
      {"more than remains", false, true, 80, 50, OS_STS_SUCCESS, 11, m_raw.bytes.substr(80), ""},
      {"from the end", false, true, 91, 5, OS_STS_SUCCESS, 0, "", ""},
      {"past the end", false, true, 92, 5, OS_STS_NOROOM_BUFFER, 91, "", "a_sizetOffset goes beyond end of image..."},
      {"no bytes", false, true, 3, 0, OS_STS_NOROOM_BUFFER, 91, "", "a_sizetBytes is zero..."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::memset(buffer, 0, sizeof buffer);
    got = 12345;
    void* pv = c.buffer ? buffer : nullptr;
    EXPECT_EQ(c.status, c.header ? Image().GetHeaderData(pv, c.bytes, &got)
                                 : Image().GetImageData(pv, c.offset, c.bytes, &got));
    EXPECT_EQ(c.transferred, got);
    EXPECT_EQ(c.data, std::string(buffer, c.data.size()));
    if (*c.logged) {
      EXPECT_TRUE(Logged(c.logged));
    }
  }
  EXPECT_EQ(OS_STS_FAIL, Image().GetHeaderData(buffer, sizeof buffer, nullptr));
  EXPECT_EQ(OS_STS_FAIL, Image().GetImageData(buffer, 0, 1, nullptr));
  EXPECT_TRUE(Logged("a_pvTransferred is NULL..."));
  EXPECT_EQ(OS_STS_FAIL, Image().GetHeaderData(nullptr, 4, &got));
  EXPECT_TRUE(Logged("a_pvHeader is NULL..."));
  Image().Close(false, false);
  EXPECT_EQ(OS_STS_FAIL, Image().GetImageData(nullptr, 0, 0, &got));
  EXPECT_TRUE(testsupport::FileExists(tiff));
}

// Header values are trusted no further than the file goes, and a file cut
// after it was opened is not read past its new end.
TEST_F(OpenImage, RefusesHeadersItCannotTrust) {
  const std::string tiff = ReadFile(GrayTiff());
  auto patched = [&](size_t offset, uint32_t value) {
    std::string bytes = tiff;
    PutU32At(bytes, offset, value);
    return bytes;
  };
  const Raw raw = MakeRaw("gray_8", 5, 9);
  Tool({"raw2tiff", "-w", "5", "-l", "9", "-c", "none", Source("libtiff.raw", raw.bytes), RootPath("libtiff.tif")});
  struct Case {
    const char* name;
    std::string bytes;
    const char* logged;
    EOSIMAGEFILEFORMAT format;
  } cases[] = {
      {"image size past the end", patched(138, 92), "header and image go beyond end of file...198 + 92 > 289",
       OS_IMAGEFILEFORMAT_TIFF},
      {"header size past the end", patched(102, 0xFFFFFF00), "header and image go beyond end of file...",
       OS_IMAGEFILEFORMAT_TIFF},
      {"resolution 0", patched(182, 0), "resolution is zero...", OS_IMAGEFILEFORMAT_TIFF},
      {"16 bits", patched(66, 16), "unrecognized tiff header bitdepth...16", OS_IMAGEFILEFORMAT_TIFF},
      {"LZW", patched(78, 5), "unrecognized tiff header compression...5", OS_IMAGEFILEFORMAT_TIFF},
      {"another tag where the width goes", patched(34, 300), "unrecognized tiff header layout...",
       OS_IMAGEFILEFORMAT_TIFF},
      {"another writer", ReadFile(RootPath("libtiff.tif")), "ParseTiffHeader failed...", OS_IMAGEFILEFORMAT_TIFF},
      {"big-endian TIFF", "MM" + tiff.substr(2), "We can't auto-identify this image...", OS_IMAGEFILEFORMAT_NONE},
      {"DIB without BM", std::string("\x28\0\0\0", 4) + std::string(60, '\0'), "We can't auto-identify this image...",
       OS_IMAGEFILEFORMAT_NONE},
      {"one byte", "I", "We can't auto-identify this image...", OS_IMAGEFILEFORMAT_NONE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectOpenRefused("bad.tif", c.bytes, c.logged, c.format);
  }
  // Cut anywhere, only the whole file opens.
  for (size_t length = 0; length <= tiff.size(); ++length) {
    EOSSTS status = OS_STS_SUCCESS;
    Open(Source("cut.tif", tiff.substr(0, length)), &status);
    EXPECT_EQ(length == tiff.size() ? OS_STS_SUCCESS : OS_STS_FAIL, status) << length;
  }
  // Cut by someone else while open: the data reader stops at the new end.
  const std::string open = Source("open.tif", tiff);
  ASSERT_NE("", Open(open));
  std::filesystem::resize_file(open, 198 + 40);
  char buffer[91];
  size_t got = 0;
  EXPECT_EQ(OS_STS_FAIL, Image().GetImageData(buffer, 0, sizeof buffer, &got));
  EXPECT_TRUE(Logged("OsMemSharedRemap failed..."));
}

// The description buffer, the names and the arguments.
TEST_F(OpenImage, DescriptionBufferAndArguments) {
  const std::string tiff = GrayTiff();
  const std::string description = Description("none", tiff, "gray_8", 44, 24, 91, 350);
  EXPECT_EQ(description, Open(tiff, nullptr, nullptr, description.size() + 1));
  EOSSTS status = OS_STS_SUCCESS;
  EXPECT_EQ("", Open(tiff, &status, nullptr, description.size()));
  EXPECT_EQ(OS_STS_NOROOM_BUFFER, status);
  EXPECT_TRUE(Logged("a_sizetReportImage is too small..."));
  size_t size = 0;
  EXPECT_EQ(OS_STS_FAIL, Image().GetImageData(nullptr, 0, 0, &size));

  char buffer[16];
  EXPECT_EQ(OS_STS_FAIL, Image().Open(nullptr, buffer, sizeof buffer));
  EXPECT_TRUE(Logged("a_szFilename is null..."));
  EXPECT_EQ(OS_STS_FAIL, Image().Open(tiff.c_str(), nullptr, 16));
  EXPECT_TRUE(Logged("a_szReportImage is null..."));
  EXPECT_EQ(OS_STS_FAIL, Image().Open(tiff.c_str(), buffer, 0));
  EXPECT_TRUE(Logged("a_sizetReportImage is zero..."));
  EXPECT_EQ("", Open(RootPath("missing.tif"), &status));
  EXPECT_EQ(OS_STS_FAIL, status);
  EXPECT_TRUE(Logged("Unable to open file...<" + RootPath("missing.tif") + ">"));
  EXPECT_EQ("", Open(std::string(600, 'n'), &status));
  EXPECT_TRUE(Logged("a_szFilename is too long..."));
  // The object is still good.
  EXPECT_EQ(description, Open(tiff));
}

}  // namespace
}  // namespace imagetest
