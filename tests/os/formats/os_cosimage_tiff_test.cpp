// The single-page TIFF writer judged by libtiff's tools: the tags of every
// layout as tiffdump reads them, the positions of their out-of-line values,
// strips that tiffcp decodes into the pixels raw2tiff and cjpeg/djpeg agree
// on, both output paths, the naming by extension or content, and refusals.
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "os_cosimage_testutil.h"

namespace imagetest {
namespace {

// The value field of each entry of the first directory, by tag.
std::map<unsigned, uint32_t> ValueFields(const std::string& a_tiff) {
  std::map<unsigned, uint32_t> fields;
  const uint32_t ifd = U32At(a_tiff, 4);
  const unsigned count = static_cast<unsigned char>(a_tiff[ifd]) | (static_cast<unsigned char>(a_tiff[ifd + 1]) << 8);
  for (unsigned i = 0; i < count; ++i) {
    const size_t entry = ifd + 2 + 12 * i;
    const unsigned tag = static_cast<unsigned char>(a_tiff[entry]) | (static_cast<unsigned char>(a_tiff[entry + 1]) << 8);
    fields[tag] = U32At(a_tiff, entry + 8);
  }
  return fields;
}

std::string Fill(std::string a_line, uint32_t a_width, uint32_t a_height, uint32_t a_size) {
  for (const auto& [key, value] : {std::pair<std::string, uint32_t>{"<W>", a_width}, {"<H>", a_height}, {"<S>", a_size}}) {
    for (size_t at; (at = a_line.find(key)) != std::string::npos;) a_line.replace(at, key.size(), "<" + std::to_string(value) + ">");
  }
  return a_line;
}

const char* const kHead[] = {"SubFileType (254) LONG (4) 1<0>", "OldSubFileType (255) SHORT (3) 1<1>",
                             "ImageWidth (256) LONG (4) 1<W>", "ImageLength (257) LONG (4) 1<H>"};

struct LayoutCase {
  const char* name;
  const char* format;
  const char* compression;
  const char* version;  // ForceTiffVersion; null leaves the default
  uint32_t header;
  std::vector<std::string> tags;  // tiffdump's lines after ImageLength
  std::vector<std::pair<unsigned, uint32_t>> outOfLine;  // tag, file offset of its value
};

const std::vector<LayoutCase>& Layouts() {
  static const std::vector<LayoutCase> cases = {
      {"bitonal none", "bw", "none", nullptr, 222,
       {"BitsPerSample (258) SHORT (3) 1<1>", "Compression (259) SHORT (3) 1<1>", "Photometric (262) SHORT (3) 1<1>",
        "FillOrder (266) SHORT (3) 1<1>", "StripOffsets (273) LONG (4) 1<222>", "SamplesPerPixel (277) SHORT (3) 1<1>",
        "RowsPerStrip (278) LONG (4) 1<H>", "StripByteCounts (279) LONG (4) 1<S>",
        "XResolution (282) RATIONAL (5) 1<300>", "YResolution (283) RATIONAL (5) 1<300>",
        "Group3Options (292) LONG (4) 1<0>", "ResolutionUnit (296) SHORT (3) 1<2>"},
       {{282, 206}, {283, 214}}},
      {"bitonal group4", "bw", "group4", nullptr, 222,
       {"BitsPerSample (258) SHORT (3) 1<1>", "Compression (259) SHORT (3) 1<4>", "Photometric (262) SHORT (3) 1<0>",
        "FillOrder (266) SHORT (3) 1<1>", "StripOffsets (273) LONG (4) 1<222>", "SamplesPerPixel (277) SHORT (3) 1<1>",
        "RowsPerStrip (278) LONG (4) 1<H>", "StripByteCounts (279) LONG (4) 1<S>",
        "XResolution (282) RATIONAL (5) 1<300>", "YResolution (283) RATIONAL (5) 1<300>",
        "Group4Options (293) LONG (4) 1<0>", "ResolutionUnit (296) SHORT (3) 1<2>"},
       {{282, 206}, {283, 214}}},
      {"gray", "gray_8", "none", nullptr, 198,
       {"BitsPerSample (258) SHORT (3) 1<8>", "Compression (259) SHORT (3) 1<1>", "Photometric (262) SHORT (3) 1<1>",
        "StripOffsets (273) LONG (4) 1<198>", "SamplesPerPixel (277) SHORT (3) 1<1>",
        "RowsPerStrip (278) LONG (4) 1<H>", "StripByteCounts (279) LONG (4) 1<S>",
        "XResolution (282) RATIONAL (5) 1<300>", "YResolution (283) RATIONAL (5) 1<300>",
        "ResolutionUnit (296) SHORT (3) 1<2>"},
       {{282, 182}, {283, 190}}},
      {"gray JPEG 6", "gray_8", "jpeg", "6", 222,
       {"BitsPerSample (258) SHORT (3) 1<8>", "Compression (259) SHORT (3) 1<6>", "Photometric (262) SHORT (3) 1<1>",
        "StripOffsets (273) LONG (4) 1<222>", "SamplesPerPixel (277) SHORT (3) 1<1>",
        "RowsPerStrip (278) LONG (4) 1<H>", "StripByteCounts (279) LONG (4) 1<S>",
        "XResolution (282) RATIONAL (5) 1<300>", "YResolution (283) RATIONAL (5) 1<300>",
        "ResolutionUnit (296) SHORT (3) 1<2>", "JPEGProcessingMode (512) SHORT (3) 1<1>",
        "YCbCrSubsampling (530) SHORT (3) 2<1 1>"},
       {{282, 206}, {283, 214}}},
      {"gray JPEG 7", "gray_8", "jpeg", nullptr, 210,
       {"BitsPerSample (258) SHORT (3) 1<8>", "Compression (259) SHORT (3) 1<7>", "Photometric (262) SHORT (3) 1<1>",
        "StripOffsets (273) LONG (4) 1<210>", "SamplesPerPixel (277) SHORT (3) 1<1>",
        "RowsPerStrip (278) LONG (4) 1<H>", "StripByteCounts (279) LONG (4) 1<S>",
        "XResolution (282) RATIONAL (5) 1<300>", "YResolution (283) RATIONAL (5) 1<300>",
        "ResolutionUnit (296) SHORT (3) 1<2>", "YCbCrSubsampling (530) SHORT (3) 2<1 1>"},
       {{282, 194}, {283, 202}}},
      {"colour", "rgb_24", "none", nullptr, 204,
       {"BitsPerSample (258) SHORT (3) 3<8 8 8>", "Compression (259) SHORT (3) 1<1>",
        "Photometric (262) SHORT (3) 1<2>", "StripOffsets (273) LONG (4) 1<204>",
        "SamplesPerPixel (277) SHORT (3) 1<3>", "RowsPerStrip (278) LONG (4) 1<H>",
        "StripByteCounts (279) LONG (4) 1<S>", "XResolution (282) RATIONAL (5) 1<300>",
        "YResolution (283) RATIONAL (5) 1<300>", "ResolutionUnit (296) SHORT (3) 1<2>"},
       {{258, 182}, {282, 188}, {283, 196}}},
      {"colour JPEG 6", "rgb_24", "jpeg", "6", 264,
       {"BitsPerSample (258) SHORT (3) 3<8 8 8>", "Compression (259) SHORT (3) 1<6>",
        "Photometric (262) SHORT (3) 1<6>", "StripOffsets (273) LONG (4) 1<264>",
        "SamplesPerPixel (277) SHORT (3) 1<3>", "RowsPerStrip (278) LONG (4) 1<H>",
        "StripByteCounts (279) LONG (4) 1<S>", "XResolution (282) RATIONAL (5) 1<300>",
        "YResolution (283) RATIONAL (5) 1<300>", "ResolutionUnit (296) SHORT (3) 1<2>",
        "JPEGProcessingMode (512) SHORT (3) 1<1>", "YCbCrSubsampling (530) SHORT (3) 2<2 2>",
        "ReferenceBlackWhite (532) LONG (4) 6<15 235 128 240 128 240>"},
       {{258, 218}, {282, 224}, {283, 232}, {532, 240}}},
      {"colour JPEG 7", "rgb_24", "jpeg", "7", 252,
       {"BitsPerSample (258) SHORT (3) 3<8 8 8>", "Compression (259) SHORT (3) 1<7>",
        "Photometric (262) SHORT (3) 1<6>", "StripOffsets (273) LONG (4) 1<252>",
        "SamplesPerPixel (277) SHORT (3) 1<3>", "RowsPerStrip (278) LONG (4) 1<H>",
        "StripByteCounts (279) LONG (4) 1<S>", "XResolution (282) RATIONAL (5) 1<300>",
        "YResolution (283) RATIONAL (5) 1<300>", "ResolutionUnit (296) SHORT (3) 1<2>",
        "YCbCrSubsampling (530) SHORT (3) 2<2 2>", "ReferenceBlackWhite (532) LONG (4) 6<15 235 128 240 128 240>"},
       {{258, 206}, {282, 212}, {283, 220}, {532, 228}}},
  };
  return cases;
}

class TiffWriter : public ImageTest {};

// Each layout in both output paths: exactly these tags, one directory at
// 8 with no next, the out-of-line values where the layout puts them, the
// data right behind the header.
TEST_F(TiffWriter, EveryLayoutHasExactlyItsTagsAndValuePositions) {
  for (const LayoutCase& c : Layouts()) {
    for (bool fileWrite : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (fileWrite ? " file-write" : " mapped"));
      Set(OS_CFGTAG_FORCETIFFVERSION, c.version ? c.version : "");
      const Raw raw = MakeRaw(c.format, 13, 7);
      const std::string source = Source("source.raw", raw.bytes), out = RootPath("layout.tif");
      ASSERT_EQ(OS_STS_SUCCESS, Create(out, Report(c.compression, source, raw, raw.bytes.size()),
                                       OS_IMAGEFILEFORMAT_TIFF, fileWrite));
      const std::string tiff = ReadFile(out);
      ASSERT_EQ(c.header + raw.bytes.size(), tiff.size());
      EXPECT_EQ(raw.bytes, tiff.substr(c.header));
      std::vector<std::string> expected{"Directory 0: offset 8 (0x8) next 0 (0)"};
      for (const char* line : kHead) expected.push_back(Fill(line, 13, 7, 0));
      for (const std::string& line : c.tags) expected.push_back(Fill(line, 13, 7, static_cast<uint32_t>(raw.bytes.size())));
      EXPECT_EQ(expected, TiffDump(out));
      const auto fields = ValueFields(tiff);
      for (const auto& [tag, position] : c.outOfLine) EXPECT_EQ(position, fields.at(tag)) << "tag " << tag;
      EXPECT_NE(FileKind(out).find("TIFF image data, little-endian"), std::string::npos);
    }
  }
}

// Uncompressed and Group 4 strips decode (tiffcp) into the pixels that
// netpbm's pamtotiff writes from the same raw data (raw2tiff knows no
// bitonal input), at widths that do and do not fill their last byte. Bitonal "none" means 1 is white, Group 4
// data decodes to 1 is black.
TEST_F(TiffWriter, NoneAndGroup4StripsDecodeToThePixels) {
  struct Case {
    const char* format;
    const char* compression;
    const char* photometric;  // pamtotiff's option
  } cases[] = {{"bw", "none", "-minisblack"},
               {"bw", "group4", "-miniswhite"},
               {"gray_8", "none", "-minisblack"},
               {"rgb_24", "none", "-truecolor"}};
  for (const Case& c : cases) {
    for (uint32_t width : {1u, 5u, 13u, 64u}) {
      SCOPED_TRACE(std::string(c.format) + " " + c.compression + " width " + std::to_string(width));
      const Raw raw = MakeRaw(c.format, width, 9, width);
      const std::string reference = RootPath("reference.tif");
      WriteFile(reference, Tool({"pamtotiff", c.photometric, "-rowsperstrip", "9", "-xresolution", "300", "-yresolution", "300", Source("pixels.pnm", Pnm(raw, c.photometric))}));
      // tiffcmp compares these tags too: ours says one image, tiffcp's copy
      // top-left; pamtotiff names its document and gives every image a fill
      // order, ours only bitonal ones.
      std::vector<std::vector<std::string>> edits{{"-s", "254", "0"}, {"-s", "274", "1"}, {"-u", "269"}, {"-u", "270"}};
      if (std::string(c.format) != "bw") edits.push_back({"-u", "266"});
      for (std::vector<std::string> edit : edits) {
        edit.insert(edit.begin(), "tiffset");
        edit.push_back(reference);
        Tool(edit);
      }
      std::string data = raw.bytes;
      if (std::string(c.compression) == "group4") {
        Tool({"tiffcp", "-c", "g4", "-r", "9", reference, RootPath("g4.tif")});
        data = StripOf(ReadFile(RootPath("g4.tif")));
      }
      const std::string source = Source("source.bin", data), ours = RootPath("ours.tif");
      ASSERT_EQ(OS_STS_SUCCESS, Create(ours, Report(c.compression, source, raw, data.size()), OS_IMAGEFILEFORMAT_TIFF));
      Tool({"tiffcp", "-c", "none", ours, RootPath("decoded.tif")});
      EXPECT_EQ("", Tool({"tiffcmp", RootPath("decoded.tif"), reference}));
    }
  }
}

// JPEG 7 strips decode (tiffcp) into the pixels djpeg gives for the same
// stream.
TEST_F(TiffWriter, Jpeg7StripsDecodeAsDjpegDecodesTheStream) {
  for (const char* format : {"gray_8", "rgb_24"}) {
    SCOPED_TRACE(format);
    const Raw raw = MakeRaw(format, 24, 16);
    const std::string jpeg = Cjpeg(raw, "source.jpg"), ours = RootPath("ours.tif");
    const std::string stream = ReadFile(jpeg);
    ASSERT_EQ(OS_STS_SUCCESS, Create(ours, Report("jpeg", jpeg, raw, stream.size()), OS_IMAGEFILEFORMAT_TIFF));
    Tool({"tiffcp", "-c", "none", "-r", "16", ours, RootPath("decoded.tif")});
    const std::string decoded = StripOf(ReadFile(RootPath("decoded.tif")));
    const std::string expected = PnmPixels(Tool({"djpeg", "-pnm", jpeg}));
    ASSERT_EQ(expected.size(), decoded.size());
    EXPECT_EQ(expected, decoded);
  }
}

// The data crosses several views when the chunk is small; the mapped and
// the file-write path give the same bytes whatever the chunk.
TEST_F(TiffWriter, MappedAndFileWritePathsGiveIdenticalFilesInAnyChunk) {
  const Raw raw = MakeRaw("rgb_24", 50, 21);  // 3150 bytes
  const std::string source = Source("source.raw", raw.bytes);
  const std::string report = Report("none", source, raw, raw.bytes.size());
  std::vector<std::string> files;
  for (const char* chunk : {"16777216", "1000", "7"}) {
    Set(OS_CFGTAG_FORCEFILECHUNKSIZE, chunk);
    m_image.reset();
    for (bool fileWrite : {false, true}) {
      const std::string out = RootPath(std::string("chunk") + chunk + (fileWrite ? "w.tif" : "m.tif"));
      ASSERT_EQ(OS_STS_SUCCESS, Create(out, report, OS_IMAGEFILEFORMAT_TIFF, fileWrite)) << chunk;
      files.push_back(ReadFile(out));
    }
  }
  for (const std::string& file : files) EXPECT_EQ(files.front(), file);
  EXPECT_EQ(raw.bytes, files.front().substr(204));
}

// Format 1: the extension in any case decides; without a known one the
// source's first bytes do, and the extension is appended.
TEST_F(TiffWriter, FormatByNameOrBySourceContent) {
  const Raw gray = MakeRaw("gray_8", 16, 8);
  const std::string rawSource = Source("gray.raw", gray.bytes);
  const std::string jpegSource = Cjpeg(gray, "gray.jpg");
  // A TIFF file as source data: starts with "II".
  ASSERT_EQ(OS_STS_SUCCESS, Create(RootPath("first.tif"), Report("none", rawSource, gray, gray.bytes.size()),
                                   OS_IMAGEFILEFORMAT_TIFF));
  const std::string tiffSource = RootPath("first.tif");
  struct Case {
    const char* name;
    std::string source;
    const char* written;  // the file that appears
    const char* kind;     // what `file` calls it
  } cases[] = {
      {"upper.TIFF", rawSource, "upper.TIFF", "TIFF image data"},
      {"mixed.Tif", rawSource, "mixed.Tif", "TIFF image data"},
      {"noextension", jpegSource, "noextension.jpg", "JPEG image data, JFIF standard"},
      {"picture.png", tiffSource, "picture.png.tif", "TIFF image data"},
      {"dotted.dir/plain", rawSource, "dotted.dir/plain.tif", "TIFF image data"},
      {"photo.JPEG", jpegSource, "photo.JPEG", "JPEG image data, JFIF standard"},
  };
  std::filesystem::create_directories(RootPath("dotted.dir"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const bool jpeg = c.source == jpegSource;
    const uint64_t size = jpeg ? FileSize(c.source) : gray.bytes.size();
    ASSERT_EQ(OS_STS_SUCCESS, Create(RootPath(c.name), Report(jpeg ? "jpeg" : "none", c.source, gray, size),
                                     OS_IMAGEFILEFORMAT_BYNAME));
    ASSERT_TRUE(testsupport::FileExists(RootPath(c.written)));
    if (std::string(c.name) != c.written) {
      EXPECT_FALSE(testsupport::FileExists(RootPath(c.name)));
    }
    EXPECT_NE(FileKind(RootPath(c.written)).find(c.kind), std::string::npos) << FileKind(RootPath(c.written));
  }
  // Content that is neither JFIF, BMP nor TIFF is taken for TIFF (debug line).
  EXPECT_TRUE(Logged("unspecified image file format, assuming TIFF..."));
}

// A kept-open output is the open image; a temporary one lives only as
// long as its mapping.
TEST_F(TiffWriter, KeptOpenAndTemporaryOutputs) {
  const Raw raw = MakeRaw("bw", 20, 6);
  const std::string source = Source("source.raw", raw.bytes), out = RootPath("kept.tif");
  const std::string report = Report("none", source, raw, raw.bytes.size());
  ASSERT_EQ(OS_STS_SUCCESS, Create(out, report, OS_IMAGEFILEFORMAT_TIFF, false, true));
  std::string header(222, '\0');
  size_t got = 0;
  ASSERT_EQ(OS_STS_SUCCESS, Image().GetHeaderData(header.data(), header.size(), &got));
  EXPECT_EQ(222u, got);
  EXPECT_EQ(ReadFile(out).substr(0, 222), header);
  EXPECT_EQ(raw.bytes, ImageData());
  Image().Close(false, true);
  EXPECT_FALSE(testsupport::FileExists(out));
  EXPECT_TRUE(testsupport::FileExists(source));

  const std::string temporary = RootPath("temporary.tif");
  ASSERT_EQ(OS_STS_SUCCESS, Create(temporary, report, OS_IMAGEFILEFORMAT_TIFF, false, true, true));
  EXPECT_EQ(222 + raw.bytes.size(), static_cast<size_t>(FileSize(temporary)));
  Image().Close(true, false);
  EXPECT_FALSE(testsupport::FileExists(temporary));
  EXPECT_FALSE(testsupport::FileExists(source));
  // Not kept open, a temporary output is gone when Create returns.
  Source("source.raw", raw.bytes);
  ASSERT_EQ(OS_STS_SUCCESS, Create(temporary, report, OS_IMAGEFILEFORMAT_TIFF, false, false, true));
  EXPECT_FALSE(testsupport::FileExists(temporary));
}

// Descriptions and sources the writer refuses, each with its log line; the
// object stays usable after every one.
TEST_F(TiffWriter, RefusesBadDescriptionsAndSources) {
  const Raw raw = MakeRaw("gray_8", 10, 4);
  const std::string source = Source("source.raw", raw.bytes);
  const std::string good = Report("none", source, raw, raw.bytes.size());
  auto without = [&](const std::string& element) {
    std::string text = good;
    const size_t start = text.find("<" + element + ">");
    const size_t end = text.find("</" + element + ">") + element.size() + 3;
    return text.erase(start, end - start);
  };
  auto with = [&](const std::string& element, const std::string& value) {
    std::string text = good;
    const size_t start = text.find("<" + element + ">") + element.size() + 2;
    return text.replace(start, text.find("</" + element + ">") - start, value);
  };
  Source("short.raw", raw.bytes.substr(1));
  Source("empty.raw", "");
  struct Case {
    std::string name;
    std::string report;
    std::string logged;
    bool fileWrite = false;
    bool keepOpen = false;
  } cases[] = {
      {"no compressionmode", without("compressionmode"), "Get compressionmode failed..."},
      {"no imagefilename", without("imagefilename"), "Get imagefilename failed..."},
      {"no imageformat", without("imageformat"), "Get imageformat failed..."},
      {"no imagewidth", without("imagewidth"), "Get imagewidth failed..."},
      {"no imageheight", without("imageheight"), "Get imageheight failed..."},
      {"no imagesize", without("imagesize"), "Get imagesize failed..."},
      {"no imageresolutionx", without("imageresolutionx"), "Get imageresolutionx failed..."},
      {"end tag missing: empty value", good.substr(0, good.find("</imageresolutionx>")),
       "Parse data has a problem, something is missing from <reportimage>..."},
      {"unknown compression", with("compressionmode", "lzw"),
       "Parse data has a problem, something is missing from <reportimage>..."},
      {"unknown raw pixel format", with("imageformat", "cmyk"), "unrecognized m_eosimageformat...0"},
      {"gray with group4", with("compressionmode", "group4"), "Unrecognized pod.m_eosimagecompression...2"},
      {"bitonal with jpeg",
       Report("jpeg", source, "bw", 10, 4, raw.bytes.size()), "Unrecognized pod.m_eosimagecompression...3"},
      {"negative size", with("imagesize", "-40"), "imagesize is out of range...<-40>"},
      {"size past 32 bits", with("imagesize", "4294967296"), "imagesize is out of range...<4294967296>"},
      {"header and image past 4 GiB", with("imagesize", "4294967295"),
       "imagesize is too large for a TIFF file...4294967295"},
      {"negative width", with("imagewidth", "-8"), "imagewidth is out of range...<-8>"},
      {"zero resolution", with("imageresolutionx", "0_dpi"),
       "Parse data has a problem, something is missing from <reportimage>..."},
      {"source name of 512 characters", with("imagefilename", std::string(512, 'n')), "imagefilename is too long...512"},
      {"value past 1023 characters", with("imagefilename", std::string(1024, 'n')), "Get imagefilename failed..."},
      {"missing source", with("imagefilename", RootPath("missing.raw")), "OsMemSharedAlloc failed..."},
      {"empty source", with("imagefilename", RootPath("empty.raw")), "OsMemSharedAlloc failed..."},
      {"short source", with("imagefilename", RootPath("short.raw")),
       "source image file is shorter than imagesize...39 < 40"},
      {"file-write with keep-open", good, "Flag error...", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string out = RootPath("refused.tif");
    EXPECT_EQ(OS_STS_FAIL, Create(out, c.report, OS_IMAGEFILEFORMAT_TIFF, c.fileWrite, c.keepOpen));
    EXPECT_TRUE(Logged(c.logged)) << m_log->Text();
    EXPECT_FALSE(testsupport::FileExists(out));
  }
  EXPECT_EQ(OS_STS_FAIL, Image().Create(nullptr, good.c_str(), false, false, OS_IMAGEFILEFORMAT_TIFF,
                                        OS_IMAGEMULTIPAGE_NONE, false));
  EXPECT_TRUE(Logged("a_szFilename is null..."));
  EXPECT_EQ(OS_STS_FAIL, Image().Create("x.tif", nullptr, false, false, OS_IMAGEFILEFORMAT_TIFF,
                                        OS_IMAGEMULTIPAGE_NONE, false));
  EXPECT_TRUE(Logged("a_szReportImage is null..."));
  EXPECT_EQ(OS_STS_FAIL, Create(RootPath("x.tif"), good, static_cast<EOSIMAGEFILEFORMAT>(12)));
  EXPECT_TRUE(Logged("unrecognized a_eosimagefileformat...12"));
  EXPECT_EQ(OS_STS_FAIL, Create(RootPath("x.tif"), good, OS_IMAGEFILEFORMAT_TIFF, true, false, true));
  // Still usable.
  EXPECT_EQ(OS_STS_SUCCESS, Create(RootPath("good.tif"), good, OS_IMAGEFILEFORMAT_TIFF));
}

// An output that is the source file itself (by any spelling of its path)
// would be emptied before its data were read: every writer refuses it and
// the source keeps its image.
TEST_F(TiffWriter, OutputThatIsItsOwnSourceIsRefused) {
  const Raw raw = MakeRaw("gray_8", 10, 4);
  std::filesystem::create_directories(RootPath("sub"));
  const std::string jpeg = ReadFile(Cjpeg(raw, "source.jpg"));
  struct Case {
    const char* name;
    EOSIMAGEFILEFORMAT format;
    bool fileWrite;
    EOSIMAGEMULTIPAGE page;
    const char* output;  // the source's path as the output names it
  } cases[] = {
      {"tiff", OS_IMAGEFILEFORMAT_TIFF, false, OS_IMAGEMULTIPAGE_NONE, "same.raw"},
      {"tiff written as a file", OS_IMAGEFILEFORMAT_TIFF, true, OS_IMAGEMULTIPAGE_NONE, "same.raw"},
      {"tiff by another spelling", OS_IMAGEFILEFORMAT_TIFF, false, OS_IMAGEMULTIPAGE_NONE, "sub/../same.raw"},
      {"first page", OS_IMAGEFILEFORMAT_TIFFMULTIPAGE, false, OS_IMAGEMULTIPAGE_FIRST, "same.raw"},
      {"middle page", OS_IMAGEFILEFORMAT_TIFFMULTIPAGE, false, OS_IMAGEMULTIPAGE_MIDDLE, "same.raw"},
      {"bitmap", OS_IMAGEFILEFORMAT_BMP, false, OS_IMAGEMULTIPAGE_NONE, "same.raw"},
      {"jfif", OS_IMAGEFILEFORMAT_JFIF, false, OS_IMAGEMULTIPAGE_NONE, "same.jpg"},
      {"jfif written as a file", OS_IMAGEFILEFORMAT_JFIF, true, OS_IMAGEMULTIPAGE_NONE, "same.jpg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const bool blJfif = c.format == OS_IMAGEFILEFORMAT_JFIF;
    const std::string bytes = blJfif ? jpeg : raw.bytes;
    const std::string source = Source(blJfif ? "same.jpg" : "same.raw", bytes);
    const std::string report = blJfif ? Report("jpeg", source, raw, bytes.size()) : Report("none", source, raw, bytes.size());
    EXPECT_EQ(OS_STS_FAIL, Create(RootPath(c.output), report, c.format, c.fileWrite, false, false, c.page));
    EXPECT_TRUE(Logged("output is the source image file...<" + RootPath(c.output) + ">")) << m_log->Text();
    Image().Close(false, true);
    EXPECT_EQ(bytes, ReadFile(source));
  }
}

// What the description may hold: CDATA, a resolution with its unit, lines
// padded or not (and the log line for neither, which does not refuse).
TEST_F(TiffWriter, DescriptionValuesAsTheReaderTakesThem) {
  const Raw raw = MakeRaw("gray_8", 6, 5);  // 6-byte lines, 8 when padded
  std::string padded;
  for (uint32_t y = 0; y < 5; ++y) padded += raw.bytes.substr(y * 6, 6) + std::string(2, '\0');
  const std::string source = Source("padded.raw", padded);
  struct Case {
    const char* name;
    std::string report;
    uint32_t width;   // pixels the file gets
    bool logged;      // "Error in report image..."
  } cases[] = {
      {"unpadded size", Report("none", source, "gray_8", 6, 5, 30, 200), 6, false},
      {"padded size", Report("none", source, "gray_8", 6, 5, 40, 200), 6, false},
      {"neither", Report("none", source, "gray_8", 6, 5, 35, 200), 6, true},
      {"cdata name",
       "<reportimage><compressionmode>none</compressionmode><imagefilename><![CDATA[" + source +
           "]]></imagefilename><imageformat>gray_8</imageformat><imagewidth>36</imagewidth>"
           "<imageheight>30</imageheight><imagesize>30</imagesize><imageresolutionx>200_dpi</imageresolutionx>"
           "</reportimage>",
       6, false},
      {"width truncated", Report("none", source, "gray_8", 6, 5, 30, 200).replace(
                              Report("none", source, "gray_8", 6, 5, 30, 200).find(">36<"), 4, ">41<"),
       6, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClearLog();
    ASSERT_EQ(OS_STS_SUCCESS, Create(RootPath("described.tif"), c.report, OS_IMAGEFILEFORMAT_TIFF));
    EXPECT_EQ(c.logged, Logged("Error in report image...<"));
    const auto fields = ValueFields(ReadFile(RootPath("described.tif")));
    EXPECT_EQ(c.width, fields.at(256));
    EXPECT_EQ(200u, U32At(ReadFile(RootPath("described.tif")), fields.at(282)));
  }
}

// A file system with no room left: writing through the mapping would end
// the process with SIGBUS; the writers report it instead. Each runs in a
// child with its own mount namespace and a 64 KiB tmpfs (skipped where the
// system allows neither).
TEST_F(TiffWriter, FullFileSystemFailsInsteadOfKillingTheProcess) {
  const Raw raw = MakeRaw("gray_8", 399, 500);  // 199500 bytes; bitmap lines padded to 400
  const std::string source = Source("source.raw", raw.bytes), small = RootPath("small");
  std::filesystem::create_directories(small);
  const std::string report = Report("none", source, raw, raw.bytes.size());
  Image();
  for (EOSIMAGEFILEFORMAT format : {OS_IMAGEFILEFORMAT_TIFF, OS_IMAGEFILEFORMAT_BMP, OS_IMAGEFILEFORMAT_TIFFMULTIPAGE}) {
    SCOPED_TRACE(format);
    pid_t pid = fork();
    if (pid == 0) {
      const bool blNamespace = unshare(CLONE_NEWNS) == 0 || unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0;
      if (!blNamespace || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
          mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0) {
        _exit(77);
      }
      const EOSSTS status = Create(small + "/full", report, format, false, false, false, OS_IMAGEMULTIPAGE_FIRST);
      // The file's blocks are reserved when it is made, or the view's pages
      // when they are written: either refusal is a status and a log line.
      _exit(status == OS_STS_FAIL && (Logged("no room for the image data...") || Logged("posix_fallocate failed..."))
                ? 0
                : 1);
    }
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no mount namespace here";
    EXPECT_EQ(0, WEXITSTATUS(status));
  }
}

}  // namespace
}  // namespace imagetest
