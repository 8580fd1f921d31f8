// The bitmap writer judged by netpbm's bmptopnm and by file: every form,
// pixel format and width that does or does not fill its padding, the
// header-less forms against the full ones, source lines padded or not,
// sources too short, and the line-by-line path of large images.
#include "os_cosimage_testutil.h"
#include "os_cosimageimpl.h"

namespace imagetest {
namespace {

size_t Stride(size_t a_line) { return (a_line + 3) & ~size_t{3}; }

// What bmptopnm gives for the raw pixels: lines in source order or
// upside down; bitonal as PBM, where 1 is black (raw bitonal: 1 is white).
std::string ExpectedPixels(const Raw& a_raw, bool a_upsideDown) {
  const size_t line = LineBytes(a_raw.format, a_raw.width);
  std::string pixels;
  for (uint32_t y = 0; y < a_raw.height; ++y)
    pixels += a_raw.bytes.substr((a_upsideDown ? a_raw.height - 1 - y : y) * line, line);
  if (a_raw.format == "bw") {
    for (size_t i = 0; i < pixels.size(); ++i) {
      const bool last = i % line == line - 1 && a_raw.width % 8;
      const unsigned char mask = last ? static_cast<unsigned char>(0xFF << (8 - a_raw.width % 8)) : 0xFF;
      pixels[i] = static_cast<char>(~pixels[i] & mask);
    }
  }
  return pixels;
}

const uint32_t kHeaderWithFile[] = {62, 1078, 54};  // bw, gray, colour

size_t FormatIndex(const std::string& a_format) { return a_format == "bw" ? 0 : a_format == "gray_8" ? 1 : 2; }

class Bitmap : public ImageTest {
 protected:
  std::string Write(const Raw& a_raw, EOSIMAGEFILEFORMAT a_form, const std::string& a_name,
                    const std::string& a_source = "") {
    const std::string source = a_source.empty() ? Source("source.raw", a_raw.bytes) : a_source;
    const std::string out = RootPath(a_name);
    EXPECT_EQ(OS_STS_SUCCESS, Create(out, Report("none", source, a_raw, FileSize(source)), a_form));
    return out;
  }
};

// Forms 5 and 6 of every pixel format at widths 1, 3, 4 and 5: bmptopnm
// decodes them into the source pixels (form 6 upside down); the headers
// have their sizes and 300 dpi is 11814 pixels per metre.
TEST_F(Bitmap, FullFormsDecodeIntoTheSourcePixels) {
  for (const char* format : {"bw", "gray_8", "rgb_24"}) {
    for (uint32_t width : {1u, 3u, 4u, 5u}) {
      for (EOSIMAGEFILEFORMAT form : {OS_IMAGEFILEFORMAT_BMP, OS_IMAGEFILEFORMAT_BMPTOPDOWN}) {
        SCOPED_TRACE(std::string(format) + " width " + std::to_string(width) + " form " + std::to_string(form));
        const Raw raw = MakeRaw(format, width, 3, width);
        const std::string out = Write(raw, form, "out.bmp");
        const std::string bmp = ReadFile(out);
        const uint32_t header = kHeaderWithFile[FormatIndex(format)];
        const size_t image = 3 * Stride(LineBytes(format, width));
        EXPECT_EQ(header + image, bmp.size());
        EXPECT_EQ(header + image, U32At(bmp, 2));
        EXPECT_EQ(header, U32At(bmp, 10));
        EXPECT_EQ(image, U32At(bmp, 34));
        EXPECT_EQ(11814u, U32At(bmp, 38));
        EXPECT_EQ(11814u, U32At(bmp, 42));
        EXPECT_NE(FileKind(out).find("PC bitmap"), std::string::npos);
        EXPECT_EQ(ExpectedPixels(raw, form == OS_IMAGEFILEFORMAT_BMPTOPDOWN), PnmPixels(Tool({"bmptopnm", out})));
        for (size_t y = 0; y < 3; ++y) {  // padding is zero
          const size_t line = LineBytes(format, width);
          EXPECT_EQ(std::string(Stride(line) - line, '\0'), bmp.substr(header + y * Stride(line) + line, Stride(line) - line));
        }
      }
    }
  }
}

// The header-less forms are the full ones without their 14 bytes; the raw
// bitmap is form 8 byte for byte.
TEST_F(Bitmap, HeaderlessFormsAreTheFullOnesWithoutTheFileHeader) {
  const uint32_t withoutFile[] = {48, 1064, 40};
  for (const char* format : {"bw", "gray_8", "rgb_24"}) {
    SCOPED_TRACE(format);
    const Raw raw = MakeRaw(format, 7, 4);
    const std::string bmp5 = ReadFile(Write(raw, OS_IMAGEFILEFORMAT_BMP, "5.bmp"));
    const std::string bmp6 = ReadFile(Write(raw, OS_IMAGEFILEFORMAT_BMPTOPDOWN, "6.bmp"));
    const std::string dib7 = ReadFile(Write(raw, OS_IMAGEFILEFORMAT_DIB, "7.dib"));
    const std::string dib8 = ReadFile(Write(raw, OS_IMAGEFILEFORMAT_DIBTOPDOWN, "8.dib"));
    const std::string raw9 = ReadFile(Write(raw, OS_IMAGEFILEFORMAT_RAWBITMAP, "9.rawbmp"));
    EXPECT_EQ(bmp5.substr(14), dib7);
    EXPECT_EQ(bmp6.substr(14), dib8);
    EXPECT_EQ(dib8, raw9);
    EXPECT_EQ(withoutFile[FormatIndex(format)] + 4 * Stride(LineBytes(format, 7)), dib7.size());
  }
}

// Source lines that come padded to 4 (with anything in the padding) give
// the same bitmap as unpadded ones; an image size that is neither still
// gives the bitmap of its first lines; a source shorter than its lines is
// refused.
TEST_F(Bitmap, SourceLinesPaddedOrNotAndSourcesTooShort) {
  const Raw raw = MakeRaw("rgb_24", 5, 6);  // 15-byte lines, 16 padded
  std::string padded;
  for (uint32_t y = 0; y < 6; ++y) padded += raw.bytes.substr(y * 15, 15) + "\x7F";
  const std::string expected = ReadFile(Write(raw, OS_IMAGEFILEFORMAT_BMP, "unpadded.bmp"));
  EXPECT_EQ(expected, ReadFile(Write(raw, OS_IMAGEFILEFORMAT_BMP, "padded.bmp", Source("padded.raw", padded))));
  EXPECT_FALSE(Logged("Error in report image"));
  EXPECT_EQ(expected, ReadFile(Write(raw, OS_IMAGEFILEFORMAT_BMP, "longer.bmp", Source("longer.raw", raw.bytes + std::string(12, 'z')))));
  EXPECT_TRUE(Logged("Error in report image"));

  struct Case {
    const char* name;
    std::string report;
    const char* logged;
  } cases[] = {
      {"size below the lines", Report("none", Source("short.raw", raw.bytes.substr(7)), raw, 83),
       "imagesize is too small for the lines...83 < 6 x 15"},
      {"file below the size", Report("none", Source("cut.raw", raw.bytes.substr(1)), raw, 90),
       "source image file is shorter than imagesize...89 < 90"},
      {"cmyk", Report("none", Source("any.raw", raw.bytes), "cmyk", 5, 6, 90), "unrecognized m_eosimageformat...0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(OS_STS_FAIL, Create(RootPath("refused.bmp"), c.report, OS_IMAGEFILEFORMAT_BMP));
    EXPECT_TRUE(Logged(c.logged)) << m_log->Text();
    EXPECT_FALSE(testsupport::FileExists(RootPath("refused.bmp")));
  }
}

// Large images move their view line by line instead of mapping the whole
// output: the same bytes either way (the limit is lowered for the test).
TEST_F(Bitmap, LineByLineViewsGiveTheSameBytes) {
  for (const char* format : {"bw", "gray_8", "rgb_24"}) {
    SCOPED_TRACE(format);
    const Raw raw = MakeRaw(format, 37, 11);
    for (EOSIMAGEFILEFORMAT form : {OS_IMAGEFILEFORMAT_BMP, OS_IMAGEFILEFORMAT_DIBTOPDOWN}) {
      COsImageImpl::SetWholeViewLimit(0);
      const std::string whole = ReadFile(Write(raw, form, "whole.bmp"));
      COsImageImpl::SetWholeViewLimit(1);
      const std::string lines = ReadFile(Write(raw, form, "lines.bmp"));
      COsImageImpl::SetWholeViewLimit(0);
      EXPECT_EQ(whole, lines);
    }
  }
}

// Writes one byte per line, as a decoder of one-pixel-wide lines would.
EOSSTS DecodeOneBytePerLine(void* a_pvCalls, const char*, uint32_t, EOSIMAGECOMPRESSION, EOSIMAGEFORMAT, uint32_t,
                            uint32_t a_u32Height, const char* a_szOutput, uint32_t* a_pu32Size) {
  ++*static_cast<int*>(a_pvCalls);
  WriteFile(a_szOutput, std::string(a_u32Height, '\x55'));
  *a_pu32Size = a_u32Height;
  return OS_STS_SUCCESS;
}

// Pixels per metre is a signed 32-bit field: the highest resolution that
// fits is written and reads back; one above (or one that passes 32 bits
// once converted) is refused before anything is decompressed, where it
// used to give a bitmap with a negative resolution that no reader takes.
TEST_F(Bitmap, ResolutionBeyondThePixelsPerMetreField) {
  int calls = 0;
  Image().RegisterDecompressionFunction(&calls, DecodeOneBytePerLine);
  const std::string source = Source("g4.bin", "any");
  // 1/1200 inch at these resolutions is 45443 or more pixels each way.
  auto report = [&](uint32_t a_dpi) {
    return "<reportimage><compressionmode>group4</compressionmode><imagefilename>" + source +
           "</imagefilename><imageformat>bw</imageformat><imagewidth>1</imagewidth><imageheight>1</imageheight>"
           "<imagesize>3</imagesize><imageresolutionx>" + std::to_string(a_dpi) +
           "_dpi</imageresolutionx></reportimage>";
  };
  const std::string out = RootPath("fine.bmp");
  ASSERT_EQ(OS_STS_SUCCESS, Create(out, report(54532342), OS_IMAGEFILEFORMAT_BMP));
  EXPECT_EQ(2147483627u, U32At(ReadFile(out), 38));
  EXPECT_NE("", Open(out));
  EXPECT_EQ(1, calls);
  for (uint32_t dpi : {54532343u, 110000000u, UINT32_MAX}) {
    SCOPED_TRACE(dpi);
    EXPECT_EQ(OS_STS_FAIL, Create(RootPath("refused.bmp"), report(dpi), OS_IMAGEFILEFORMAT_BMP));
    EXPECT_TRUE(Logged("resolution is too large for a bitmap..." + std::to_string(dpi))) << m_log->Text();
    EXPECT_FALSE(testsupport::FileExists(RootPath("refused.bmp")));
  }
  EXPECT_EQ(1, calls);
}

// Kept open, the bitmap is the open image: its header, then its lines as
// written (padded, bottom up).
TEST_F(Bitmap, KeptOpenBitmapIsTheOpenImage) {
  const Raw raw = MakeRaw("gray_8", 6, 3);
  const std::string source = Source("source.raw", raw.bytes), out = RootPath("kept.bmp");
  ASSERT_EQ(OS_STS_SUCCESS, Create(out, Report("none", source, raw, raw.bytes.size()), OS_IMAGEFILEFORMAT_BMP, false,
                                   true));
  const std::string bmp = ReadFile(out);
  std::string header(1078, '\0');
  size_t got = 0;
  ASSERT_EQ(OS_STS_SUCCESS, Image().GetHeaderData(header.data(), header.size(), &got));
  EXPECT_EQ(bmp.substr(0, 1078), header);
  EXPECT_EQ(bmp.substr(1078), ImageData());
  EXPECT_EQ(24u, bmp.size() - 1078);
}

}  // namespace
}  // namespace imagetest
