// Shared by the image-file tests: a fixture with the configuration store,
// the memory service and a captured log; source images of known pixels;
// <reportimage> texts; and the outside programs that judge the files
// (libtiff tools, libjpeg-turbo tools, netpbm, file).
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../log_capture.h"
#include "os_coscfg.h"
#include "os_cosimage.h"
#include "os_cosmem.h"
#include "test_support.h"

namespace imagetest {

using testsupport::ReadFile;
using testsupport::RootPath;
using testsupport::WriteFile;

// Bytes per unpadded line of a pixel format ("bw", "gray_8", "rgb_24").
inline size_t LineBytes(const std::string& a_format, uint32_t a_width) {
  if (a_format == "bw") return (a_width + 7) / 8;
  return a_format == "gray_8" ? a_width : a_width * 3;
}

// Raw pixels, top line first, lines unpadded; every byte differs from its
// neighbours so that a shifted or swapped byte shows. Bitonal lines keep
// their unused low bits 0, as scanners write them.
struct Raw {
  std::string format;
  uint32_t width = 0;
  uint32_t height = 0;
  std::string bytes;
};

inline Raw MakeRaw(const std::string& a_format, uint32_t a_width, uint32_t a_height, unsigned a_seed = 1) {
  Raw raw{a_format, a_width, a_height, {}};
  const size_t line = LineBytes(a_format, a_width);
  raw.bytes.resize(line * a_height);
  for (size_t i = 0; i < raw.bytes.size(); ++i)
    raw.bytes[i] = static_cast<char>((i * 37 + a_seed * 101 + i / 7) & 0xFF);
  if (a_format == "bw" && a_width % 8) {
    const unsigned char mask = static_cast<unsigned char>(0xFF << (8 - a_width % 8));
    for (uint32_t y = 0; y < a_height; ++y) raw.bytes[y * line + line - 1] &= static_cast<char>(mask);
  }
  return raw;
}

// A length in pixels as the description's 1/1200 inch that reads back as
// exactly those pixels at the resolution.
inline uint64_t Inch1200(uint64_t a_pixels, uint32_t a_dpi) { return (a_pixels * 1200 + a_dpi - 1) / a_dpi; }

inline std::string Report(const std::string& a_compression, const std::string& a_file, const std::string& a_format,
                          uint64_t a_width, uint64_t a_height, uint64_t a_size, uint32_t a_dpi = 300) {
  return "<reportimage>\n\t<compressionmode>" + a_compression + "</compressionmode>\n\t<imagefilename>" + a_file +
         "</imagefilename>\n\t<imageformat>" + a_format + "</imageformat>\n\t<imagewidth>" +
         std::to_string(Inch1200(a_width, a_dpi)) + "</imagewidth>\n\t<imageheight>" +
         std::to_string(Inch1200(a_height, a_dpi)) + "</imageheight>\n\t<imagesize>" + std::to_string(a_size) +
         "</imagesize>\n\t<imageresolutionx>" + std::to_string(a_dpi) + "_dpi</imageresolutionx>\n</reportimage>\n";
}

inline std::string Report(const std::string& a_compression, const std::string& a_file, const Raw& a_raw,
                          uint64_t a_size, uint32_t a_dpi = 300) {
  return Report(a_compression, a_file, a_raw.format, a_raw.width, a_raw.height, a_size, a_dpi);
}

// The description Open writes, lengths in 1/1200 inch.
inline std::string Description(const std::string& a_compression, const std::string& a_file,
                               const std::string& a_format, uint32_t a_width, uint32_t a_height, size_t a_size,
                               uint32_t a_dpi) {
  return "\t<reportimage>\n\t\t<compressionmode>" + a_compression + "</compressionmode>\n\t\t<imagefilename>" +
         a_file + "</imagefilename>\n\t\t<imageformat>" + a_format + "</imageformat>\n\t\t<imagewidth>" +
         std::to_string(a_width) + "</imagewidth>\n\t\t<imageheight>" + std::to_string(a_height) +
         "</imageheight>\n\t\t<imagesize>" + std::to_string(a_size) + "</imagesize>\n\t\t<imageresolutionx>" +
         std::to_string(a_dpi) + "_dpi</imageresolutionx>\n\t</reportimage>";
}

// Runs a program (argument vector); its standard output, and the exit
// status in *a_status (expected 0 when not asked for).
inline std::string Tool(const std::vector<std::string>& a_argv, int* a_status = nullptr) {
  int status = -1;
  std::string out = testsupport::RunProgram(a_argv, &status);
  if (a_status)
    *a_status = status;
  else
    EXPECT_EQ(0, status) << a_argv[0] << " " << (a_argv.size() > 1 ? a_argv.back() : "") << "\n" << out;
  return out;
}

inline int64_t FileSize(const std::string& a_path) {
  struct stat st;
  return stat(a_path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

// What `file` calls the file.
inline std::string FileKind(const std::string& a_path) { return Tool({"file", "-b", a_path}); }

// tiffdump's lines for the directories (the two title lines dropped).
inline std::vector<std::string> TiffDump(const std::string& a_path) {
  std::vector<std::string> lines = testsupport::Lines(Tool({"tiffdump", a_path}));
  if (lines.size() >= 2) lines.erase(lines.begin(), lines.begin() + 2);
  return lines;
}

inline uint32_t U32At(const std::string& a_bytes, size_t a_offset) {
  uint32_t u32 = 0;
  for (int i = 3; i >= 0; --i) u32 = (u32 << 8) | static_cast<unsigned char>(a_bytes.at(a_offset + i));
  return u32;
}

inline void PutU32At(std::string& a_bytes, size_t a_offset, uint32_t a_u32) {
  for (int i = 0; i < 4; ++i) a_bytes.at(a_offset + i) = static_cast<char>(a_u32 >> (8 * i));
}

// The single strip of a TIFF that another program wrote (tags 273, 279 of
// the first directory, SHORT or LONG).
inline std::string StripOf(const std::string& a_tiff) {
  const uint32_t ifd = U32At(a_tiff, 4);
  const unsigned count = static_cast<unsigned char>(a_tiff[ifd]) | (static_cast<unsigned char>(a_tiff[ifd + 1]) << 8);
  uint32_t offset = 0, bytes = 0;
  for (unsigned i = 0; i < count; ++i) {
    const size_t entry = ifd + 2 + 12 * i;
    const unsigned tag = static_cast<unsigned char>(a_tiff[entry]) | (static_cast<unsigned char>(a_tiff[entry + 1]) << 8);
    const unsigned type = static_cast<unsigned char>(a_tiff[entry + 2]);
    uint32_t value = type == 3 ? (U32At(a_tiff, entry + 8) & 0xFFFF) : U32At(a_tiff, entry + 8);
    if (tag == 273) offset = value;
    if (tag == 279) bytes = value;
  }
  return a_tiff.substr(offset, bytes);
}

// A netpbm image of raw pixels. A bitmap (PBM, 1 is black) holds the bits
// as they are for "-miniswhite" and inverted for "-minisblack", the two
// readings of bitonal TIFF data.
inline std::string Pnm(const Raw& a_raw, const std::string& a_photometric = "") {
  const char* magic = a_raw.format == "bw" ? "P4" : a_raw.format == "gray_8" ? "P5" : "P6";
  std::string pixels = a_raw.bytes;
  if (a_raw.format == "bw" && a_photometric == "-minisblack")
    for (char& byte : pixels) byte = static_cast<char>(~byte);
  return std::string(magic) + "\n" + std::to_string(a_raw.width) + " " + std::to_string(a_raw.height) + "\n" +
         (a_raw.format == "bw" ? "" : "255\n") + pixels;
}

// The pixels of a binary PBM, PGM or PPM (maxval 255), header dropped.
inline std::string PnmPixels(const std::string& a_pnm) {
  size_t pos = 0;
  const int fields = a_pnm.compare(0, 2, "P4") == 0 ? 3 : 4;
  for (int field = 0; field < fields; ++field) {
    while (pos < a_pnm.size() && std::isspace(static_cast<unsigned char>(a_pnm[pos]))) ++pos;
    while (pos < a_pnm.size() && !std::isspace(static_cast<unsigned char>(a_pnm[pos]))) ++pos;
  }
  return a_pnm.substr(pos + 1);
}

// A JPEG stream of the pixels made by cjpeg (extra arguments before the input).
inline std::string Cjpeg(const Raw& a_raw, const std::string& a_name, std::vector<std::string> a_arguments = {}) {
  const std::string pnm = RootPath(a_name + ".pnm"), jpeg = RootPath(a_name);
  WriteFile(pnm, Pnm(a_raw));
  std::vector<std::string> argv{"cjpeg"};
  argv.insert(argv.end(), a_arguments.begin(), a_arguments.end());
  argv.insert(argv.end(), {"-outfile", jpeg, pnm});
  Tool(argv);
  return jpeg;
}

// The fixture every image test uses: configuration store and memory
// service (the image object needs both), and the log captured.
class ImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_cfg = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, nullptr, false, nullptr);
    m_mem = std::make_unique<COsMem>(OS_MEM_METHOD_GLOBALALLOC, 1);
    m_log = std::make_unique<testsupport::LogCapture>();
  }
  void TearDown() override {
    m_image.reset();
    m_log.reset();
    m_mem.reset();
    m_cfg.reset();
  }

  // The store keeps the pointer: the texts live in the fixture.
  void Set(unsigned a_tag, const std::string& a_value) {
    m_values.push_back(std::make_unique<std::string>(a_value));
    ASSERT_EQ(OS_STS_SUCCESS, m_cfg->Set(OS_CFGSECTION_MAIN, a_tag, m_values.back()->c_str()));
  }

  // The object under test, made on first use (after the fixture's Set calls:
  // the chunk size is read at construction).
  COsImage& Image() {
    if (!m_image) m_image = std::make_unique<COsImage>();
    return *m_image;
  }

  // Writes raw bytes as a source file below the root; returns its path.
  std::string Source(const std::string& a_name, const std::string& a_bytes) {
    const std::string path = RootPath(a_name);
    WriteFile(path, a_bytes);
    return path;
  }

  EOSSTS Create(const std::string& a_out, const std::string& a_report, EOSIMAGEFILEFORMAT a_format,
                bool a_fileWrite = false, bool a_keepOpen = false, bool a_temporary = false,
                EOSIMAGEMULTIPAGE a_page = OS_IMAGEMULTIPAGE_NONE) {
    return Image().Create(a_out.c_str(), a_report.c_str(), a_temporary, a_keepOpen, a_format, a_page, a_fileWrite);
  }

  // Opens the file; the description, or "" (with the status) on failure.
  std::string Open(const std::string& a_path, EOSSTS* a_status = nullptr,
                   EOSIMAGEFILEFORMAT* a_format = nullptr, size_t a_size = 4096) {
    std::vector<char> buffer(a_size ? a_size : 1, 'x');
    EOSSTS status = Image().Open(a_path.c_str(), buffer.data(), a_size, a_format);
    if (a_status) *a_status = status;
    return status == OS_STS_SUCCESS ? std::string(buffer.data()) : "";
  }

  // Open refuses the file with the log line, reporting the format it found;
  // the failed file is not left open.
  void ExpectOpenRefused(const std::string& a_name, const std::string& a_bytes, const std::string& a_logged,
                         EOSIMAGEFILEFORMAT a_format) {
    EOSIMAGEFILEFORMAT format = OS_IMAGEFILEFORMAT_RAWBITMAP;
    EOSSTS status = OS_STS_SUCCESS;
    EXPECT_EQ("", Open(Source(a_name, a_bytes), &status, &format));
    EXPECT_EQ(OS_STS_FAIL, status);
    EXPECT_EQ(a_format, format);
    EXPECT_TRUE(Logged(a_logged)) << m_log->Text();
    size_t size = 0;
    EXPECT_EQ(OS_STS_FAIL, Image().GetImageData(nullptr, 0, 0, &size));
  }

  // The open image's whole data through GetImageData.
  std::string ImageData() {
    size_t size = 0;
    EXPECT_EQ(OS_STS_SUCCESS, Image().GetImageData(nullptr, 0, 0, &size));
    std::string data(size, '\0');
    size_t got = 0;
    if (size) {
      EXPECT_EQ(OS_STS_SUCCESS, Image().GetImageData(data.data(), 0, size, &got));
    }
    data.resize(got);
    return data;
  }

  bool Logged(const std::string& a_text) { return m_log->Contains(a_text); }
  // Starts the captured log afresh.
  void ClearLog() {
    m_log.reset();
    std::filesystem::remove(RootPath("log/test.log"));
    m_log = std::make_unique<testsupport::LogCapture>();
  }

  std::unique_ptr<COsCfg> m_cfg;
  std::unique_ptr<COsMem> m_mem;
  std::unique_ptr<testsupport::LogCapture> m_log;
  std::unique_ptr<COsImage> m_image;
  std::vector<std::unique_ptr<std::string>> m_values;
};

}  // namespace imagetest
