// The JFIF writer (a byte copy of a cjpeg stream that djpeg decodes) and the
// reading of JFIF files: resolution by APP0 units, size and components from
// the baseline frame, and streams that are cut, progressive, Exif or
// otherwise not what the reader expects.
#include "os_cosimage_testutil.h"

namespace imagetest {
namespace {

// APP0 units (offset 13) and X density (big-endian at 14).
std::string WithDensity(std::string a_jpeg, int a_units, int a_density) {
  a_jpeg[13] = static_cast<char>(a_units);
  a_jpeg[14] = static_cast<char>(a_density >> 8);
  a_jpeg[15] = static_cast<char>(a_density & 0xFF);
  return a_jpeg;
}

size_t App0End(const std::string& a_jpeg) {
  return 4 + ((static_cast<unsigned char>(a_jpeg[4]) << 8) | static_cast<unsigned char>(a_jpeg[5]));
}

// A segment put right behind APP0.
std::string WithSegment(std::string a_jpeg, unsigned char a_marker, const std::string& a_payload) {
  const size_t length = a_payload.size() + 2;
  std::string segment{'\xFF', static_cast<char>(a_marker), static_cast<char>(length >> 8),
                      static_cast<char>(length & 0xFF)};
  return a_jpeg.insert(App0End(a_jpeg), segment + a_payload);
}

class Jfif : public ImageTest {};

// Both output paths copy the stream byte for byte, in any chunk; djpeg
// decodes the copy; kept open, the stream is the image data and there is
// no header.
TEST_F(Jfif, OutputIsTheSourceStreamAndDecodes) {
  Set(OS_CFGTAG_FORCEFILECHUNKSIZE, "100");
  for (const char* format : {"gray_8", "rgb_24"}) {
    const Raw raw = MakeRaw(format, 40, 24);
    const std::string jpeg = Cjpeg(raw, std::string(format) + ".jpg");
    const std::string stream = ReadFile(jpeg);
    const std::string report = Report("jpeg", jpeg, raw, stream.size());
    for (bool fileWrite : {false, true}) {
      SCOPED_TRACE(std::string(format) + (fileWrite ? " file-write" : " mapped"));
      const std::string out = RootPath("copy.jpg");
      ASSERT_EQ(OS_STS_SUCCESS, Create(out, report, OS_IMAGEFILEFORMAT_JFIF, fileWrite));
      EXPECT_EQ("", Tool({"cmp", jpeg, out}));
      EXPECT_EQ(PnmPixels(Tool({"djpeg", "-pnm", jpeg})), PnmPixels(Tool({"djpeg", "-pnm", out})));
      EXPECT_NE(FileKind(out).find("JPEG image data, JFIF standard"), std::string::npos);
    }
    ASSERT_EQ(OS_STS_SUCCESS, Create(RootPath("kept.jpg"), report, OS_IMAGEFILEFORMAT_JFIF, false, true));
    size_t header = 99;
    EXPECT_EQ(OS_STS_SUCCESS, Image().GetHeaderData(nullptr, 0, &header));
    EXPECT_EQ(0u, header);
    EXPECT_EQ(stream, ImageData());
    Image().Close(false, false);
  }
}

// The description of JFIF files: resolution by APP0 units (none gives 1
// dpi, dots per centimetre are converted), lengths back in 1/1200 inch.
TEST_F(Jfif, OpenDescribesByUnits) {
  const Raw raw = MakeRaw("gray_8", 16, 8);
  const std::string stream = ReadFile(Cjpeg(raw, "gray.jpg"));
  const Raw colour = MakeRaw("rgb_24", 30, 20);
  const std::string colourStream = ReadFile(Cjpeg(colour, "colour.jpg"));
  struct Case {
    const char* name;
    std::string jpeg;
    const char* format;
    uint32_t width, height, dpi;  // as described
  } cases[] = {
      {"units 0", WithDensity(stream, 0, 1), "gray_8", 19200, 9600, 1},
      {"units 1", WithDensity(stream, 1, 300), "gray_8", 64, 32, 300},
      {"units 2", WithDensity(stream, 2, 118), "gray_8", 64, 32, 299},  // 299.72 dpi; 64.2 and 32.1 truncated
      {"colour", WithDensity(colourStream, 1, 200), "rgb_24", 180, 120, 200},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Source("open.jpg", c.jpeg);
    EOSIMAGEFILEFORMAT format = OS_IMAGEFILEFORMAT_NONE;
    EOSSTS status = OS_STS_FAIL;
    EXPECT_EQ(Description("jpeg", path, c.format, c.width, c.height, c.jpeg.size(), c.dpi), Open(path, &status, &format));
    EXPECT_EQ(OS_IMAGEFILEFORMAT_JFIF, format);
    EXPECT_EQ(c.jpeg, ImageData());
  }
}

// Streams the reader refuses, with their log lines; none crashes.
TEST_F(Jfif, OpenRefusesStreamsItCannotRead) {
  const Raw raw = MakeRaw("gray_8", 16, 8);
  const std::string stream = ReadFile(Cjpeg(raw, "gray.jpg"));
  std::string exif = stream;
  exif.replace(0, App0End(stream), std::string("\xFF\xD8\xFF\xE1\x00\x08Exif\x00\x00", 12));
  std::string app0Past = stream.substr(0, 40);
  app0Past[4] = '\x10';  // APP0 said to be 4096 bytes long
  struct Case {
    const char* name;
    std::string jpeg;
    const char* logged;
    EOSIMAGEFILEFORMAT format;
  } cases[] = {
      {"progressive", ReadFile(Cjpeg(raw, "progressive.jpg", {"-progressive"})), "failed to find SOF marker...",
       OS_IMAGEFILEFORMAT_JFIF},
      {"Exif instead of JFIF", exif, "We can't auto-identify this image...", OS_IMAGEFILEFORMAT_NONE},
      {"units 3", WithDensity(stream, 3, 300), "unrecognized units...3", OS_IMAGEFILEFORMAT_JFIF},
      {"density 0", WithDensity(stream, 1, 0), "resolution is zero...", OS_IMAGEFILEFORMAT_JFIF},
      {"frame beyond the first 16392 bytes", WithSegment(stream, 0xFE, std::string(20000, 'c')),
       "failed to find SOF marker...", OS_IMAGEFILEFORMAT_JFIF},
      {"APP0 past the end", app0Past, "APP0 segment is missing or cut short...", OS_IMAGEFILEFORMAT_JFIF},
      {"four components", [&] {
         std::string cmyk = stream;
         cmyk[stream.find("\xFF\xC0") + 9] = 4;
         return cmyk;
       }(),
       "unrecognized id...4", OS_IMAGEFILEFORMAT_JFIF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectOpenRefused("bad.jpg", c.jpeg, c.logged, c.format);
  }
  // The mapped writer reads the copy back and refuses what it cannot read;
  // the file-write path copies without reading.
  const std::string progressive = RootPath("progressive.jpg");
  const std::string report = Report("jpeg", progressive, raw, FileSize(progressive));
  EXPECT_EQ(OS_STS_FAIL, Create(RootPath("p1.jpg"), report, OS_IMAGEFILEFORMAT_JFIF));
  EXPECT_TRUE(Logged("ParseJfifHeader failed..."));
  EXPECT_EQ(OS_STS_SUCCESS, Create(RootPath("p2.jpg"), report, OS_IMAGEFILEFORMAT_JFIF, true));
  EXPECT_EQ(ReadFile(progressive), ReadFile(RootPath("p2.jpg")));
}

// A start-of-frame look-alike inside another segment is passed over: the
// size comes from the real frame.
TEST_F(Jfif, FrameLookAlikeInsideASegmentIsSkipped) {
  const Raw raw = MakeRaw("gray_8", 16, 8);
  const std::string fake("\xFF\xC0\x00\x11\x08\x03\x00\x05\x00\x03", 10);  // 5 x 3, 3 components
  const std::string jpeg = WithSegment(ReadFile(Cjpeg(raw, "gray.jpg")), 0xFE, fake);
  const std::string path = Source("comment.jpg", WithDensity(jpeg, 1, 300));
  EXPECT_EQ(Description("jpeg", path, "gray_8", 64, 32, jpeg.size(), 300), Open(path));
}

// Cut at every length, a stream opens only once its frame header is whole;
// nothing is read past the end.
TEST_F(Jfif, StreamCutAtEveryLength) {
  const std::string stream = ReadFile(Cjpeg(MakeRaw("rgb_24", 9, 7), "colour.jpg"));
  const size_t whole = stream.find("\xFF\xC0") + 10;
  for (size_t length = 0; length <= stream.size(); ++length) {
    SCOPED_TRACE(length);
    EOSSTS status = OS_STS_FAIL;
    const std::string path = Source("cut.jpg", stream.substr(0, length));
    Open(path, &status);
    EXPECT_EQ(length >= whole ? OS_STS_SUCCESS : OS_STS_FAIL, status);
    if (status == OS_STS_SUCCESS) {
      EXPECT_EQ(stream.substr(0, length), ImageData());
    }
  }
}

}  // namespace
}  // namespace imagetest
