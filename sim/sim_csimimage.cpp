// The simulated page images.
#include "sim_csimimage.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "os_coslog.h"

namespace {

// 5x7 dot-matrix characters, one row per byte, bit 4 the leftmost dot.
struct SimGlyph {
  char c;
  uint8_t au8Row[7];
};
constexpr SimGlyph s_asimglyph[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
};

const uint8_t* GlyphRows(char a_c) {
  for (const SimGlyph& simglyph : s_asimglyph) {
    if (simglyph.c == a_c) return simglyph.au8Row;
  }
  return nullptr;
}

// One page being drawn: the geometry of the frame and of the label.
class CSimPainter {
 public:
  CSimPainter(int a_iFormat, long a_lWidth, long a_lHeight, const std::string& a_strLabel, bool a_blBlank)
      : m_iFormat(a_iFormat), m_lWidth(a_lWidth), m_lHeight(a_lHeight), m_strLabel(a_strLabel), m_blBlank(a_blBlank) {
    m_lFrame = std::max(1L, a_lWidth / 100);
    m_lDot = std::max(1L, a_lWidth / 60);
    m_lLeft = a_lWidth / 10;
    m_lTop = a_lHeight / 10;
  }

  // Fills one line of the file layout.
  void Line(long a_lY, uint8_t* a_pu8Line) const {
    const uint64_t u64Bytes = CSimImage::LineBytes(m_iFormat, m_lWidth);
    std::memset(a_pu8Line, m_iFormat == SIM_IMAGEFORMAT_BW ? 0x00 : 0xFF, u64Bytes);
    if (m_blBlank) return;
    if (a_lY < m_lFrame || a_lY >= m_lHeight - m_lFrame) {
      Black(a_pu8Line, 0, m_lWidth);
      return;
    }
    Black(a_pu8Line, 0, m_lFrame);
    Black(a_pu8Line, m_lWidth - m_lFrame, m_lWidth);
    const long lRow = (a_lY - m_lTop) / m_lDot;
    if (a_lY < m_lTop || lRow >= 7) return;
    for (size_t i = 0; i < m_strLabel.size(); ++i) {
      const uint8_t* pu8Rows = GlyphRows(m_strLabel[i]);
      if (!pu8Rows) continue;
      const long lCell = m_lLeft + static_cast<long>(i) * 6 * m_lDot;
      for (int iDot = 0; iDot < 5; ++iDot) {
        if (pu8Rows[lRow] & (0x10 >> iDot)) Black(a_pu8Line, lCell + iDot * m_lDot, lCell + (iDot + 1) * m_lDot);
      }
    }
  }

 private:
  // Pixels a_lFrom up to a_lTo (clipped to the line) become black.
  void Black(uint8_t* a_pu8Line, long a_lFrom, long a_lTo) const {
    a_lTo = std::min(a_lTo, m_lWidth);
    if (m_iFormat == SIM_IMAGEFORMAT_BW) {
      for (long x = a_lFrom; x < a_lTo; ++x) a_pu8Line[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    } else {
      const long lBytes = m_iFormat == SIM_IMAGEFORMAT_RGB24 ? 3 : 1;
      if (a_lTo > a_lFrom) std::memset(a_pu8Line + a_lFrom * lBytes, 0x00, (a_lTo - a_lFrom) * lBytes);
    }
  }

  int m_iFormat;
  long m_lWidth, m_lHeight;
  std::string m_strLabel;
  bool m_blBlank;
  long m_lFrame, m_lDot, m_lLeft, m_lTop;
};

bool WriteAll(int a_fd, const uint8_t* a_pu8, size_t a_sizet) {
  while (a_sizet > 0) {
    const ssize_t n = write(a_fd, a_pu8, a_sizet);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    a_pu8 += n;
    a_sizet -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

int CSimImage::FormatFromName(const std::string& a_strName) {
  if (a_strName == "bw") return SIM_IMAGEFORMAT_BW;
  if (a_strName == "gray_8") return SIM_IMAGEFORMAT_GRAY8;
  if (a_strName == "rgb_24") return SIM_IMAGEFORMAT_RGB24;
  return 0;
}

uint64_t CSimImage::LineBytes(int a_iFormat, long a_lWidth) {
  switch (a_iFormat) {
    case SIM_IMAGEFORMAT_BW: return (static_cast<uint64_t>(a_lWidth) + 7) / 8;
    case SIM_IMAGEFORMAT_GRAY8: return static_cast<uint64_t>(a_lWidth);
    default: return static_cast<uint64_t>(a_lWidth) * 3;
  }
}

std::string CSimImage::DefaultDirectory() {
  struct stat st;
  if (stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) && access("/dev/shm", W_OK) == 0) return "/dev/shm";
  const char* szTmp = std::getenv("TMPDIR");
  return szTmp && *szTmp ? szTmp : "/tmp";
}

void CSimImage::RemoveOrphans(const std::string& a_strDirectory, const char* a_szKind) {
  const int iDirFd = open(a_strDirectory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* pdir = iDirFd < 0 ? nullptr : fdopendir(iDirFd);
  if (!pdir) {
    if (iDirFd >= 0) close(iDirFd);
    return;
  }
  const std::string strPrefix = std::string(a_szKind) + "-";
  while (const struct dirent* pdirent = readdir(pdir)) {
    const char* szName = pdirent->d_name;
    if (std::strncmp(szName, strPrefix.c_str(), strPrefix.size()) != 0) continue;
    char* pszEnd = nullptr;
    const long lPid = std::strtol(szName + strPrefix.size(), &pszEnd, 10);
    if (lPid <= 0 || pszEnd == szName + strPrefix.size() || *pszEnd != '-') continue;
    // Alive (or of another user, which may not be signalled): kept.
    if (kill(static_cast<pid_t>(lPid), 0) == 0 || errno != ESRCH) continue;
    struct stat st;
    if (fstatat(iDirFd, szName, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
      continue;
    }
    if (unlinkat(iDirFd, szName, 0) == 0) OsLog(OS_LOG_INFO, "simimage>>> removed a page of an ended process <%s>", szName);
  }
  closedir(pdir);
}

uint64_t CSimImage::Write(const std::string& a_strPath, int a_iFormat, long a_lWidth, long a_lHeight,
                          const std::string& a_strLabel, bool a_blBlank) {
  const CSimPainter simpainter(a_iFormat, a_lWidth, a_lHeight, a_strLabel, a_blBlank);
  return WriteLines(a_strPath, a_iFormat, a_lWidth, a_lHeight, [&simpainter](long a_lY, uint8_t* a_pu8Line) {
    simpainter.Line(a_lY, a_pu8Line);
    return true;
  });
}

uint64_t CSimImage::WriteLines(const std::string& a_strPath, int a_iFormat, long a_lWidth, long a_lHeight,
                               const PfnSimLine& a_pfnLine) {
  const int fd = open(a_strPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    OsLog(OS_LOG_ERROR, "simimage>>> cannot create the image file...%d <%s>", errno, a_strPath.c_str());
    return 0;
  }
  const uint64_t u64Line = LineBytes(a_iFormat, a_lWidth);
  // Whole lines in pieces of about 256 KiB (the page cache copies them
  // while they are still in the processor cache).
  const long lLines = std::max(1L, static_cast<long>((256 << 10) / u64Line));
  // Every byte of a line is written by its filler: no zero fill first.
  const std::unique_ptr<uint8_t[]> pu8(new uint8_t[static_cast<size_t>(u64Line * lLines)]);
  bool blOk = true;
  for (long y = 0; blOk && y < a_lHeight; y += lLines) {
    const long lCount = std::min(lLines, a_lHeight - y);
    for (long i = 0; blOk && i < lCount; ++i) blOk = a_pfnLine(y + i, pu8.get() + i * u64Line);
    blOk = blOk && WriteAll(fd, pu8.get(), static_cast<size_t>(u64Line * lCount));
  }
  if (close(fd) != 0) blOk = false;
  if (!blOk) {
    OsLog(OS_LOG_ERROR, "simimage>>> cannot write the image file...%d <%s>", errno, a_strPath.c_str());
    unlink(a_strPath.c_str());
    return 0;
  }
  return u64Line * static_cast<uint64_t>(a_lHeight);
}
