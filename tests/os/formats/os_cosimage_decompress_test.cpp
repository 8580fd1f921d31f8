// Group 4 and JPEG sources for the bitmap writer: a registered function
// (here one that serves the raw pixels of djpeg and tiffcp) or the one the
// sibling library offers, asked once per object; the temporary "osi" file
// never stays behind; a failing function's status comes back.
#include <filesystem>
#include <map>

#include "os_cosimage_testutil.h"

namespace imagetest {
namespace {

// The registered function: what it was asked, and what it answers.
struct Decoder {
  std::map<std::string, std::string> containers;  // Group 4 source: the TIFF tiffcp made it in
  EOSSTS result = OS_STS_SUCCESS;
  int calls = 0;
  std::string output;
  uint32_t size = 0, width = 0, height = 0;
  EOSIMAGECOMPRESSION compression = OS_IMAGECOMPRESSION_UNKNOWN;
  EOSIMAGEFORMAT format = OS_IMAGEFORMAT_UNKNOWN;
};

// Raw pixels as the writer wants them: top line first, colour as B, G, R,
// bitonal 1 is white (Group 4 decodes to 1 is black).
EOSSTS DecodeWithTools(void* a_pvUser, const char* a_szSource, uint32_t a_u32Size,
                       EOSIMAGECOMPRESSION a_eosimagecompression, EOSIMAGEFORMAT a_eosimageformat, uint32_t a_u32Width,
                       uint32_t a_u32Height, const char* a_szOutput, uint32_t* a_pu32Size) {
  Decoder& decoder = *static_cast<Decoder*>(a_pvUser);
  ++decoder.calls;
  decoder.output = a_szOutput;
  decoder.size = a_u32Size;
  decoder.width = a_u32Width;
  decoder.height = a_u32Height;
  decoder.compression = a_eosimagecompression;
  decoder.format = a_eosimageformat;
  if (decoder.result != OS_STS_SUCCESS) {
    WriteFile(a_szOutput, "half");
    return decoder.result;
  }
  std::string pixels;
  if (a_eosimagecompression == OS_IMAGECOMPRESSION_JPEG) {
    pixels = PnmPixels(Tool({"djpeg", "-pnm", a_szSource}));
    for (size_t i = 0; a_eosimageformat == OS_IMAGEFORMAT_RGB24 && i + 2 < pixels.size(); i += 3)
      std::swap(pixels[i], pixels[i + 2]);
  } else {
    const std::string decoded = RootPath("decoded.tif");
    Tool({"tiffcp", "-c", "none", "-r", std::to_string(a_u32Height), decoder.containers.at(a_szSource), decoded});
    pixels = StripOf(ReadFile(decoded));
    for (char& byte : pixels) byte = static_cast<char>(~byte);
  }
  WriteFile(a_szOutput, pixels);
  *a_pu32Size = static_cast<uint32_t>(pixels.size());
  return OS_STS_SUCCESS;
}

class Decompression : public ImageTest {
 protected:
  std::string LogDirectory() { return m_cfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY); }
  std::vector<std::string> Temporaries() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(LogDirectory())) {
      if (entry.path().filename().string().rfind("osi", 0) == 0) names.push_back(entry.path().string());
    }
    return names;
  }
  // A Group 4 strip of the pixels, in its own file; the TIFF it came from
  // goes to the decoder.
  std::string Group4Source(const Raw& a_raw, Decoder* a_decoder) {
    const std::string tiff = RootPath("g4.tif"), white = RootPath("white.tif");
    WriteFile(white, Tool({"pamtotiff", "-miniswhite", Source("g4.pbm", Pnm(a_raw, "-minisblack"))}));
    Tool({"tiffcp", "-c", "g4", "-r", std::to_string(a_raw.height), white, tiff});
    const std::string source = Source("g4.bin", StripOf(ReadFile(tiff)));
    a_decoder->containers[source] = tiff;
    return source;
  }
};

// Group 4 and JPEG sources come out as the bitmaps of their pixels; the
// function gets the description's values and an "osi" file of the log
// directory, which is gone afterwards.
TEST_F(Decompression, RegisteredFunctionMakesBitmapsOfCompressedSources) {
  Decoder decoder;
  Image().RegisterDecompressionFunction(&decoder, DecodeWithTools);
  struct Case {
    const char* format;
    const char* compression;
    uint32_t width, height;
  } cases[] = {{"bw", "group4", 13, 9}, {"gray_8", "jpeg", 21, 10}, {"rgb_24", "jpeg", 18, 7}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.format) + " " + c.compression);
    const Raw raw = MakeRaw(c.format, c.width, c.height);
    const std::string source = std::string(c.compression) == "jpeg" ? Cjpeg(raw, "source.jpg") : Group4Source(raw, &decoder);
    const std::string out = RootPath("decompressed.bmp");
    const uint64_t size = FileSize(source);
    ASSERT_EQ(OS_STS_SUCCESS, Create(out, Report(c.compression, source, raw, size), OS_IMAGEFILEFORMAT_BMP));
    const std::string pixels = PnmPixels(Tool({"bmptopnm", out}));
    if (std::string(c.compression) == "jpeg") {
      EXPECT_EQ(PnmPixels(Tool({"djpeg", "-pnm", source})), pixels);
    } else {
      std::string expected = raw.bytes;  // PBM: 1 is black
      for (char& byte : expected) byte = static_cast<char>(~byte);
      for (size_t y = 0; y < c.height; ++y) expected[y * 2 + 1] &= static_cast<char>(0xF8);
      EXPECT_EQ(expected, pixels);
    }
    EXPECT_EQ(size, decoder.size);
    EXPECT_EQ(c.width, decoder.width);
    EXPECT_EQ(c.height, decoder.height);
    EXPECT_EQ(std::string(c.compression) == "jpeg" ? OS_IMAGECOMPRESSION_JPEG : OS_IMAGECOMPRESSION_GROUP4,
              decoder.compression);
    EXPECT_EQ(0u, decoder.output.rfind(LogDirectory() + "/osi", 0)) << decoder.output;
    EXPECT_FALSE(testsupport::FileExists(decoder.output));
  }
  EXPECT_EQ(3, decoder.calls);
  EXPECT_TRUE(Temporaries().empty());
}

// A failing function's own status is the result; its half-made file and
// the output do not stay.
TEST_F(Decompression, FailingFunctionGivesItsStatus) {
  Decoder decoder;
  decoder.result = static_cast<EOSSTS>(42);
  Image().RegisterDecompressionFunction(&decoder, DecodeWithTools);
  const Raw raw = MakeRaw("gray_8", 8, 8);
  const std::string source = Cjpeg(raw, "source.jpg"), out = RootPath("failed.bmp");
  EXPECT_EQ(42, Create(out, Report("jpeg", source, raw, FileSize(source)), OS_IMAGEFILEFORMAT_DIB));
  EXPECT_TRUE(Logged("decompression function failed...42"));
  EXPECT_EQ(1, decoder.calls);
  EXPECT_TRUE(Temporaries().empty());
  EXPECT_FALSE(testsupport::FileExists(out));
}

// The sibling library: installed below the system directory of an override
// ini's root (the test's own), found through its report of functions.
class SiblingDecompression : public Decompression {
 protected:
  void SetUp() override {
    WriteFile(RootPath("override.ini"), "[main]\nroot=" + testsupport::Root() + "\n");
    setenv("PMX_OVERRIDEINI", RootPath("override.ini").c_str(), 1);
    setenv("PELUM_STANDIN_TRACE", m_trace.c_str(), 1);
    Decompression::SetUp();
  }
  void TearDown() override {
    Decompression::TearDown();
    unsetenv("PELUM_STANDIN_TRACE");
    unsetenv("PMX_OVERRIDEINI");
  }
  void InstallStandIn() {
    const std::string directory = std::string(m_cfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_SYSTEMDIRECTORY)) + "/" +
                                  m_cfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_MODELDIRECTORY) + "/lib";
    std::filesystem::create_directories(directory);
    std::filesystem::copy_file(SCANDRV_PELUM_PATH, directory + "/pelum.so");
  }
  int Count(const std::string& a_text) {
    const std::string trace = ReadFile(m_trace);
    int count = 0;
    for (size_t at = trace.find(a_text); at != std::string::npos; at = trace.find(a_text, at + 1)) ++count;
    return count;
  }
  const std::string m_trace = RootPath("pelum-trace.txt");
};

// The stand-in copies its source: a "compressed" gray source that holds raw
// lines gives the bitmap of those lines. Its list is read once; the
// function is called for every image.
TEST_F(SiblingDecompression, SiblingFunctionIsFoundInItsReport) {
  InstallStandIn();
  const Raw raw = MakeRaw("gray_8", 8, 5);
  const std::string source = Source("raw.bin", raw.bytes);
  ASSERT_EQ(OS_STS_SUCCESS, Create(RootPath("plain.bmp"), Report("none", source, raw, 40), OS_IMAGEFILEFORMAT_BMP));
  for (const char* name : {"first.bmp", "second.bmp"}) {
    ASSERT_EQ(OS_STS_SUCCESS, Create(RootPath(name), Report("jpeg", source, raw, 40), OS_IMAGEFILEFORMAT_BMP));
    EXPECT_EQ(ReadFile(RootPath("plain.bmp")), ReadFile(RootPath(name)));
  }
  EXPECT_EQ(1, Count("<interfaceopen>"));
  EXPECT_EQ(2, Count("OsImageDecompress " + source));
  EXPECT_TRUE(Temporaries().empty());
}

// Without a registered function and without the library there is none;
// the object does not ask again, a new object does.
TEST_F(SiblingDecompression, NoFunctionAnywhere) {
  const Raw raw = MakeRaw("bw", 16, 4);
  const std::string report = Report("group4", Source("g4.bin", raw.bytes), raw, raw.bytes.size());
  EXPECT_EQ(OS_STS_FAIL, Create(RootPath("none.bmp"), report, OS_IMAGEFILEFORMAT_BMP));
  EXPECT_TRUE(Logged("no compression function registered..."));
  EXPECT_FALSE(testsupport::FileExists(RootPath("none.bmp")));
  InstallStandIn();
  m_cfg.reset();  // a store that has not asked the library yet
  m_cfg = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, nullptr, false, nullptr);
  EXPECT_EQ(OS_STS_FAIL, Create(RootPath("none.bmp"), report, OS_IMAGEFILEFORMAT_BMP));
  EXPECT_EQ(0, Count("OsImageDecompress"));
  m_image.reset();
  EXPECT_EQ(OS_STS_SUCCESS, Create(RootPath("found.bmp"), report, OS_IMAGEFILEFORMAT_BMP));
  EXPECT_EQ(1, Count("OsImageDecompress"));
  EXPECT_TRUE(Temporaries().empty());
}

}  // namespace
}  // namespace imagetest
