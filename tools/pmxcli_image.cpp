#include "pmxcli_image.h"

#include <jpeglib.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace pmxcli {
namespace {

constexpr int kJpegQuality = 90;

std::string Tail(const std::string& text) {
  return text.size() > 200 ? text.substr(0, 200) + "..." : text;
}

// A whole decimal number, nothing else around it (the resolution may carry
// its "_dpi").
bool Number(const std::string& text, long* value, const char* allowedTail = "") {
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  char* end = nullptr;
  errno = 0;
  const long long parsed = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || parsed > 1000000000LL || std::strcmp(end, allowedTail) != 0) return false;
  *value = static_cast<long>(parsed);
  return true;
}

uint64_t PixelBytes(PixelFormat format, long width) {
  const uint64_t pixels = static_cast<uint64_t>(width);
  return format == PixelFormat::kBitonal ? (pixels + 7) / 8 : format == PixelFormat::kGray ? pixels : pixels * 3;
}

// The pixels of a size in 1/1200 inch: truncated as the image library
// truncates, or one more, since a description made from pixels truncates too.
std::vector<long> Candidates(long in1200, long resolution) {
  const long truncated = static_cast<long>(static_cast<long long>(in1200) * resolution / 1200);
  return {truncated, truncated + 1};
}

// The raw lines one by one, from the mapped file when the page has it, else
// read from the file; each line's padding is not handed on.
class RawLines {
 public:
  explicit RawLines(const PageImage& page) : raw_(page.raw), lines_(page.height), line_(page.lineBytes) {
    if (!raw_) file_ = std::fopen(page.rawFile.c_str(), "rb");
  }
  ~RawLines() {
    if (file_) std::fclose(file_);
  }
  bool Open() const { return raw_ != nullptr || file_ != nullptr; }
  // The next line's pixels; null at a short read. The writers only read
  // them, as libtiff and libjpeg take rows without const.
  unsigned char* Next() {
    if (raw_) {
      if (row_ >= lines_) return nullptr;
      return const_cast<unsigned char*>(raw_ + static_cast<size_t>(row_++) * line_.size());
    }
    if (!file_ || std::fread(line_.data(), 1, line_.size(), file_) != line_.size()) return nullptr;
    return line_.data();
  }

 private:
  const unsigned char* raw_;
  long lines_;
  long row_ = 0;
  std::vector<unsigned char> line_;
  FILE* file_ = nullptr;
};

// The temporary name of a file being written, renamed into place when whole.
std::string Partial(const std::string& path) { return path + ".part"; }

// Opens a fresh partial file: a stale one, or a link someone planted under
// that name, is removed first and never followed.
int OpenPartial(const std::string& path, std::string* reason) {
  const std::string partial = Partial(path);
  unlink(partial.c_str());
  const int fd = open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) *reason = "cannot write " + partial + ": " + std::strerror(errno);
  return fd;
}

bool Finish(bool written, const std::string& path, std::string* reason) {
  if (written && std::rename(Partial(path).c_str(), path.c_str()) == 0) return true;
  if (written) *reason = "cannot rename " + Partial(path) + ": " + std::strerror(errno);
  unlink(Partial(path).c_str());
  return false;
}

// Each writer thread keeps its own last libtiff message.
thread_local std::string g_tiffError;

void TiffError(const char* module, const char* format, va_list args) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  g_tiffError = std::string(module ? module : "libtiff") + ": " + text;
}

bool TiffLines(TIFF* tiff, const PageImage& page, std::string* reason) {
  const bool bitonal = page.format == PixelFormat::kBitonal;
  const float dpi = static_cast<float>(page.resolution);
  bool fine = TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(page.width)) &&
              TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(page.height)) &&
              TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, bitonal ? 1 : 8) &&
              TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, page.format == PixelFormat::kColor ? 3 : 1) &&
              TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
              // The raw bitonal lines hold 1 for black, as a fax does.
              TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC,
                           bitonal ? PHOTOMETRIC_MINISWHITE
                                   : page.format == PixelFormat::kGray ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB) &&
              TIFFSetField(tiff, TIFFTAG_COMPRESSION, bitonal ? COMPRESSION_CCITTFAX4 : COMPRESSION_ADOBE_DEFLATE) &&
              TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0)) &&
              TIFFSetField(tiff, TIFFTAG_XRESOLUTION, dpi) && TIFFSetField(tiff, TIFFTAG_YRESOLUTION, dpi) &&
              TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  RawLines lines(page);
  if (!lines.Open()) {
    *reason = "cannot read " + page.rawFile + ": " + std::strerror(errno);
    return false;
  }
  for (long row = 0; fine && row < page.height; ++row) {
    unsigned char* line = lines.Next();
    if (!line) {
      *reason = "short read of " + page.rawFile;
      return false;
    }
    fine = TIFFWriteScanline(tiff, line, static_cast<uint32_t>(row), 0) == 1;
  }
  if (!fine) *reason = g_tiffError.empty() ? "libtiff failed" : g_tiffError;
  return fine;
}

struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void JpegExit(j_common_ptr common) {
  auto* error = reinterpret_cast<JpegError*>(common->err);
  common->err->format_message(common, error->message);
  std::longjmp(error->jump, 1);
}

// Plain C objects only between setjmp and longjmp.
bool JpegLines(FILE* out, const PageImage& page, RawLines* lines, std::string* reason) {
  jpeg_compress_struct info;
  JpegError error;
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = JpegExit;
  error.message[0] = '\0';
  if (setjmp(error.jump)) {
    jpeg_destroy_compress(&info);
    *reason = std::string("libjpeg: ") + error.message;
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, out);
  info.image_width = static_cast<JDIMENSION>(page.width);
  info.image_height = static_cast<JDIMENSION>(page.height);
  info.input_components = page.format == PixelFormat::kColor ? 3 : 1;
  info.in_color_space = page.format == PixelFormat::kColor ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, kJpegQuality, TRUE);
  info.density_unit = 1;  // dots per inch
  info.X_density = info.Y_density = static_cast<UINT16>(page.resolution);
  jpeg_start_compress(&info, TRUE);
  bool fine = true;
  while (fine && info.next_scanline < info.image_height) {
    JSAMPROW row = lines->Next();
    fine = row != nullptr;
    if (fine) jpeg_write_scanlines(&info, &row, 1);
  }
  if (fine) {
    jpeg_finish_compress(&info);
  } else {
    *reason = "short read of " + page.rawFile;
  }
  jpeg_destroy_compress(&info);
  return fine;
}

void InstallTiffHandlers() {
  static std::once_flag once;
  std::call_once(once, [] {
    TIFFSetErrorHandler(TiffError);
    TIFFSetWarningHandler(nullptr);
  });
}

}  // namespace

RawMap::~RawMap() {
  if (data_) munmap(data_, size_);
}

// The description was checked against the file's size: the map holds every
// line it names.
bool RawMap::Map(PageImage* page, std::string* reason) {
  const int fd = open(page->rawFile.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0 || static_cast<uint64_t>(st.st_size) < page->lineBytes * page->height) {
    *reason = "cannot read " + page->rawFile + (fd < 0 ? std::string(": ") + std::strerror(errno) : "");
    if (fd >= 0) close(fd);
    return false;
  }
  size_ = static_cast<size_t>(st.st_size);
  void* data = size_ ? mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0) : MAP_FAILED;
  close(fd);
  if (data == MAP_FAILED) {
    *reason = "cannot map " + page->rawFile + ": " + std::strerror(errno);
    return false;
  }
  data_ = data;
  page->raw = static_cast<const unsigned char*>(data_);
  return true;
}

std::string ReplyElement(const std::string& reply, const std::string& name) {
  const std::string open = "<" + name + ">";
  const size_t start = reply.find(open);
  if (start == std::string::npos) return "";
  const size_t end = reply.find("</" + name + ">", start);
  return end == std::string::npos ? "" : reply.substr(start + open.size(), end - start - open.size());
}

bool DescribePage(const std::string& reply, PageImage* page, std::string* reason) {
  const std::string description = ReplyElement(reply, "reportimage");
  page->rawFile = ReplyElement(description, "imagefilename");
  page->formatName = ReplyElement(description, "imageformat");
  const std::string compression = ReplyElement(description, "compressionmode");
  long width1200 = 0, height1200 = 0, size = 0;
  if (page->formatName == "bw") {
    page->format = PixelFormat::kBitonal;
  } else if (page->formatName == "gray_8") {
    page->format = PixelFormat::kGray;
  } else if (page->formatName == "rgb_24") {
    page->format = PixelFormat::kColor;
  } else {
    *reason = "unknown imageformat <" + Tail(page->formatName) + ">";
    return false;
  }
  if (compression != "none") {
    *reason = "compressionmode <" + Tail(compression) + "> is not raw lines";
    return false;
  }
  if (page->rawFile.empty() || !Number(ReplyElement(description, "imagewidth"), &width1200) ||
      !Number(ReplyElement(description, "imageheight"), &height1200) ||
      !Number(ReplyElement(description, "imagesize"), &size) ||
      !Number(ReplyElement(description, "imageresolutionx"), &page->resolution, "_dpi") ||
      page->resolution == 0 || width1200 == 0 || height1200 == 0) {
    *reason = "description without file, sizes or resolution: " + Tail(description);
    return false;
  }
  struct stat st;
  if (stat(page->rawFile.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    *reason = "cannot find " + Tail(page->rawFile);
    return false;
  }
  if (static_cast<uint64_t>(st.st_size) != static_cast<uint64_t>(size)) {
    *reason = "file " + page->rawFile + " holds " + std::to_string(st.st_size) + " bytes, imagesize says " +
              std::to_string(size);
    return false;
  }
  for (long height : Candidates(height1200, page->resolution)) {
    for (long width : Candidates(width1200, page->resolution)) {
      const uint64_t pixelBytes = PixelBytes(page->format, width);
      for (uint64_t lineBytes : {pixelBytes, (pixelBytes + 3) / 4 * 4}) {
        // Divided, not multiplied: a description's sizes may be anything.
        const uint64_t bytes = static_cast<uint64_t>(size);
        if (height > 0 && width > 0 && bytes % lineBytes == 0 && bytes / lineBytes == static_cast<uint64_t>(height)) {
          page->width = width;
          page->height = height;
          page->pixelBytes = pixelBytes;
          page->lineBytes = lineBytes;
          return true;
        }
      }
    }
  }
  *reason = "imagesize " + std::to_string(size) + " is not " + page->formatName + " lines of " +
            std::to_string(width1200) + "/1200 inch by " + std::to_string(height1200) + "/1200 inch at " +
            std::to_string(page->resolution) + " dpi";
  return false;
}

bool WriteTiff(const PageImage& page, const std::string& path, std::string* reason) {
  g_tiffError.clear();
  InstallTiffHandlers();
  const int fd = OpenPartial(path, reason);
  if (fd < 0) return false;
  TIFF* tiff = TIFFFdOpen(fd, Partial(path).c_str(), "w");
  if (!tiff) {
    close(fd);
    unlink(Partial(path).c_str());
    *reason = "cannot write " + Partial(path) + (g_tiffError.empty() ? "" : ": " + g_tiffError);
    return false;
  }
  bool written = TiffLines(tiff, page, reason);
  written = TIFFFlush(tiff) == 1 && written;
  TIFFClose(tiff);
  if (!written && reason->empty()) *reason = "cannot write " + Partial(path);
  return Finish(written, path, reason);
}

bool WriteJpeg(const PageImage& page, const std::string& path, std::string* reason) {
  const int fd = OpenPartial(path, reason);
  if (fd < 0) return false;
  FILE* out = fdopen(fd, "wb");
  if (!out) {
    *reason = "cannot write " + Partial(path) + ": " + std::strerror(errno);
    close(fd);
    unlink(Partial(path).c_str());
    return false;
  }
  RawLines lines(page);
  bool written = lines.Open() && JpegLines(out, page, &lines, reason);
  if (!lines.Open()) *reason = "cannot read " + page.rawFile;
  const bool flushed = std::fflush(out) == 0;
  written = std::fclose(out) == 0 && flushed && written;
  if (!written && reason->empty()) *reason = "cannot write " + Partial(path) + ": " + std::strerror(errno);
  return Finish(written, path, reason);
}

}  // namespace pmxcli
