// The conversion of a raw page into another format and size, as the
// image-library stand-in makes its outputs: whole lines at a time with the
// page's column of each output pixel taken from a table, the page read in
// blocks of lines, and an output that would be the page byte for byte made
// a link to the page rather than a copy.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "os_coslog.h"
#include "sim_csimimage.h"

namespace {

// Page lines read at once: about 1 MiB.
constexpr uint64_t s_u64ReadBytes = 64 << 10;

// The page's lines, read from its file in blocks of consecutive lines.
class CSimLineReader {
 public:
  CSimLineReader(int a_fd, const CSimImage::SimRawPage& a_simrawpage)
      : m_fd(a_fd),
        m_u64Stride(a_simrawpage.u64Stride),
        m_lHeight(a_simrawpage.lHeight),
        m_lLines(std::max(1L, static_cast<long>(s_u64ReadBytes / std::max<uint64_t>(1, m_u64Stride)))),
        m_pu8(new uint8_t[static_cast<size_t>(m_u64Stride * static_cast<uint64_t>(m_lLines))]) {}

  // Line a_lY of the page; nullptr when the file ends before its end.
  const uint8_t* Line(long a_lY) {
    if ((a_lY < m_lFirst || a_lY >= m_lFirst + m_lCount) && !Read(a_lY)) return nullptr;
    return m_pu8.get() + static_cast<uint64_t>(a_lY - m_lFirst) * m_u64Stride;
  }

 private:
  // The block of lines from a_lY on; false when not even that line is whole.
  bool Read(long a_lY) {
    const uint64_t u64Want = m_u64Stride * static_cast<uint64_t>(std::min(m_lLines, m_lHeight - a_lY));
    const off_t offt = static_cast<off_t>(m_u64Stride * static_cast<uint64_t>(a_lY));
    uint64_t u64Got = 0;
    while (u64Got < u64Want) {
      const ssize_t n = pread(m_fd, m_pu8.get() + u64Got, u64Want - u64Got, offt + static_cast<off_t>(u64Got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      u64Got += static_cast<uint64_t>(n);
    }
    m_lFirst = a_lY;
    m_lCount = static_cast<long>(u64Got / m_u64Stride);
    return m_lCount > 0;
  }

  int m_fd;
  uint64_t m_u64Stride;
  long m_lHeight;
  long m_lLines;  // lines a block holds
  std::unique_ptr<uint8_t[]> m_pu8;
  long m_lFirst = -1;  // the block's first line
  long m_lCount = 0;   // lines in the block
};

// Makes output lines from page lines for one pair of formats and widths.
class CSimLineConverter {
 public:
  CSimLineConverter(int a_iFrom, long a_lFromWidth, int a_iTo, long a_lWidth)
      : m_iFrom(a_iFrom), m_iTo(a_iTo), m_lWidth(a_lWidth), m_pu8Gray(new uint8_t[static_cast<size_t>(a_lWidth)]) {
    // Each output pixel takes the nearest page pixel; none needed when the
    // widths agree.
    if (a_lFromWidth == a_lWidth) return;
    m_vlX.resize(static_cast<size_t>(a_lWidth));
    for (long x = 0; x < a_lWidth; ++x) {
      m_vlX[static_cast<size_t>(x)] = static_cast<long>(static_cast<int64_t>(x) * a_lFromWidth / a_lWidth);
    }
  }

  void Line(const uint8_t* a_pu8From, uint8_t* a_pu8To) const {
    if (m_iTo == SIM_IMAGEFORMAT_RGB24 && m_iFrom == SIM_IMAGEFORMAT_RGB24) {
      Colour(a_pu8From, a_pu8To);
    } else if (m_iTo == SIM_IMAGEFORMAT_BW && m_iFrom == SIM_IMAGEFORMAT_BW && m_vlX.empty()) {
      Bitonal(a_pu8From, a_pu8To);
    } else if (m_iTo == SIM_IMAGEFORMAT_GRAY8) {
      const uint8_t* pu8Gray = Luminance(a_pu8From, a_pu8To);
      if (pu8Gray != a_pu8To) std::memcpy(a_pu8To, pu8Gray, static_cast<size_t>(m_lWidth));
    } else if (m_iTo == SIM_IMAGEFORMAT_RGB24) {
      GrayToColour(Luminance(a_pu8From, m_pu8Gray.get()), a_pu8To);
    } else {
      Threshold(Luminance(a_pu8From, m_pu8Gray.get()), a_pu8To);
    }
  }

 private:
  void Colour(const uint8_t* a_pu8From, uint8_t* a_pu8To) const {
    if (m_vlX.empty()) {
      std::memcpy(a_pu8To, a_pu8From, static_cast<size_t>(3 * m_lWidth));
      return;
    }
    for (long x = 0; x < m_lWidth; ++x) {
      const uint8_t* pu8 = a_pu8From + 3 * m_vlX[static_cast<size_t>(x)];
      a_pu8To[3 * x] = pu8[0];
      a_pu8To[3 * x + 1] = pu8[1];
      a_pu8To[3 * x + 2] = pu8[2];
    }
  }

  // The page's own bits, those past the width cleared.
  void Bitonal(const uint8_t* a_pu8From, uint8_t* a_pu8To) const {
    const long lBytes = (m_lWidth + 7) / 8;
    std::memcpy(a_pu8To, a_pu8From, static_cast<size_t>(lBytes));
    if (m_lWidth % 8) a_pu8To[lBytes - 1] &= static_cast<uint8_t>(0xFF00 >> (m_lWidth % 8));
  }

  // Each output pixel's luminance (white 255) in a_pu8Gray, or the page's
  // own gray line when that is it already.
  const uint8_t* Luminance(const uint8_t* a_pu8From, uint8_t* a_pu8Gray) const {
    const long* plX = m_vlX.empty() ? nullptr : m_vlX.data();
    switch (m_iFrom) {
      case SIM_IMAGEFORMAT_GRAY8:
        if (!plX) return a_pu8From;
        for (long x = 0; x < m_lWidth; ++x) a_pu8Gray[x] = a_pu8From[plX[x]];
        break;
      case SIM_IMAGEFORMAT_BW:
        if (!plX) {
          Unpack(a_pu8From, a_pu8Gray);
          break;
        }
        for (long x = 0; x < m_lWidth; ++x) a_pu8Gray[x] = BitGray(a_pu8From, plX[x]);
        break;
      default:
        if (!plX) {
          for (long x = 0; x < m_lWidth; ++x) a_pu8Gray[x] = ColourGray(a_pu8From + 3 * x);
          break;
        }
        for (long x = 0; x < m_lWidth; ++x) a_pu8Gray[x] = ColourGray(a_pu8From + 3 * plX[x]);
        break;
    }
    return a_pu8Gray;
  }

  static uint8_t ColourGray(const uint8_t* a_pu8) {
    return static_cast<uint8_t>((299u * a_pu8[0] + 587u * a_pu8[1] + 114u * a_pu8[2]) / 1000u);
  }

  // A set bit is black: 1 - 1 gives 0, 0 - 1 gives 255.
  static uint8_t BitGray(const uint8_t* a_pu8, long a_lX) {
    return static_cast<uint8_t>(((a_pu8[a_lX >> 3] >> (7 - (a_lX & 7))) & 1) - 1);
  }

  // The same, a whole line: eight pixels from each byte.
  void Unpack(const uint8_t* a_pu8From, uint8_t* a_pu8Gray) const {
    const long lWhole = m_lWidth / 8;
    for (long i = 0; i < lWhole; ++i) {
      for (int iBit = 0; iBit < 8; ++iBit) {
        a_pu8Gray[8 * i + iBit] = static_cast<uint8_t>(((a_pu8From[i] >> (7 - iBit)) & 1) - 1);
      }
    }
    for (long x = 8 * lWhole; x < m_lWidth; ++x) a_pu8Gray[x] = BitGray(a_pu8From, x);
  }

  void GrayToColour(const uint8_t* a_pu8Gray, uint8_t* a_pu8To) const {
    for (long x = 0; x < m_lWidth; ++x) {
      a_pu8To[3 * x] = a_pu8Gray[x];
      a_pu8To[3 * x + 1] = a_pu8Gray[x];
      a_pu8To[3 * x + 2] = a_pu8Gray[x];
    }
  }

  // Black below half, eight pixels a byte; the last byte's unused bits 0.
  void Threshold(const uint8_t* a_pu8Gray, uint8_t* a_pu8To) const {
    const long lWhole = m_lWidth / 8;
    for (long i = 0; i < lWhole; ++i) {
      const uint8_t* pu8 = a_pu8Gray + 8 * i;
      unsigned u = 0;
      for (int iBit = 0; iBit < 8; ++iBit) u |= static_cast<unsigned>(pu8[iBit] < 128) << (7 - iBit);
      a_pu8To[i] = static_cast<uint8_t>(u);
    }
    if (m_lWidth % 8 == 0) return;
    unsigned u = 0;
    for (long x = 8 * lWhole; x < m_lWidth; ++x) u |= static_cast<unsigned>(a_pu8Gray[x] < 128) << (7 - (x & 7));
    a_pu8To[lWhole] = static_cast<uint8_t>(u);
  }

  int m_iFrom;
  int m_iTo;
  long m_lWidth;
  std::vector<long> m_vlX;  // the page column of each output pixel; empty when the widths agree
  std::unique_ptr<uint8_t[]> m_pu8Gray;
};

// Links the output to the page when the output would be the page byte for
// byte: the same format and size, lines unpadded (a bitonal one ending on a
// byte, as the output clears the bits past the width), nothing after the
// last line. The very file opened is linked (through its descriptor), not
// whatever its name holds by now. False when that is not so, or the link
// cannot be made (another file system, say).
bool LinkPage(int a_fd, const CSimImage::SimRawPage& a_simrawpage, const std::string& a_strPath, int a_iFormat,
              long a_lWidth, long a_lHeight) {
  if (a_iFormat != a_simrawpage.iFormat || a_lWidth != a_simrawpage.lWidth || a_lHeight != a_simrawpage.lHeight ||
      (a_iFormat == SIM_IMAGEFORMAT_BW && a_lWidth % 8 != 0) ||
      a_simrawpage.u64Stride != CSimImage::LineBytes(a_iFormat, a_lWidth)) {
    return false;
  }
  struct stat st;
  if (fstat(a_fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<uint64_t>(st.st_size) != a_simrawpage.u64Stride * static_cast<uint64_t>(a_lHeight)) {
    return false;
  }
  const std::string strFd = "/proc/self/fd/" + std::to_string(a_fd);
  return linkat(AT_FDCWD, strFd.c_str(), AT_FDCWD, a_strPath.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

}  // namespace

uint64_t CSimImage::Convert(const SimRawPage& a_simrawpage, const std::string& a_strPath, int a_iFormat,
                            long a_lWidth, long a_lHeight) {
  const int fd = open(a_simrawpage.strPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    OsLog(OS_LOG_ERROR, "simimage>>> cannot open the page...%d <%s>", errno, a_simrawpage.strPath.c_str());
    return 0;
  }
  if (LinkPage(fd, a_simrawpage, a_strPath, a_iFormat, a_lWidth, a_lHeight)) {
    close(fd);
    return a_simrawpage.u64Stride * static_cast<uint64_t>(a_lHeight);
  }
  CSimLineReader simlinereader(fd, a_simrawpage);
  const CSimLineConverter simlineconverter(a_simrawpage.iFormat, a_simrawpage.lWidth, a_iFormat, a_lWidth);
  const uint64_t u64Size = WriteLines(a_strPath, a_iFormat, a_lWidth, a_lHeight, [&](long a_lY, uint8_t* a_pu8Line) {
    const long lY = static_cast<long>(static_cast<int64_t>(a_lY) * a_simrawpage.lHeight / a_lHeight);
    const uint8_t* pu8From = simlinereader.Line(lY);
    if (!pu8From) {
      OsLog(OS_LOG_ERROR, "simimage>>> the page is short...line %ld <%s>", lY, a_simrawpage.strPath.c_str());
      return false;
    }
    simlineconverter.Line(pu8From, a_pu8Line);
    return true;
  });
  close(fd);
  return u64Size;
}
