// The simulated page images: uncompressed A4 pages, written line by line to
// a file, with a cheap deterministic pattern: white paper, a black frame and
// the page's label (its sheet number and F or R for the side) in large 5x7
// dot-matrix characters at the upper left. A blank page is white all over.
//
// Line layouts (no padding): bitonal 1 bit per pixel, most significant bit
// first, 1 is black; gray 8 bits, 255 is white; colour 3 bytes R, G, B.
//
// A page can also be converted into another format and resolution, as the
// image-library stand-in makes its output streams.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

enum ESIMIMAGEFORMAT : int {
  SIM_IMAGEFORMAT_BW = 1,
  SIM_IMAGEFORMAT_GRAY8 = 2,
  SIM_IMAGEFORMAT_RGB24 = 3,
};

class CSimImage {
 public:
  // A4 in 1/1200 inch.
  static constexpr long s_lA4Width = 9921;
  static constexpr long s_lA4Height = 14031;

  // The format of its name ("bw", "gray_8", "rgb_24"); 0 when unknown.
  static int FormatFromName(const std::string& a_strName);
  static long PixelsAt(long a_l1200, long a_lResolution) { return a_l1200 * a_lResolution / 1200; }
  static uint64_t LineBytes(int a_iFormat, long a_lWidth);

  // Where images go when no directory is configured: tmpfs when there is
  // one, else $TMPDIR or /tmp.
  static std::string DefaultDirectory();
  // Removes the files "<kind>-<pid>-..." of the directory that a process of
  // this user left when it ended without cleaning up (killed): plain files
  // only, and only of processes that are gone.
  static void RemoveOrphans(const std::string& a_strDirectory, const char* a_szKind);

  // Writes a new file (an existing one is not replaced); its size, or 0
  // after a failure (the partial file removed).
  static uint64_t Write(const std::string& a_strPath, int a_iFormat, long a_lWidth, long a_lHeight,
                        const std::string& a_strLabel, bool a_blBlank);

  // A raw page in a file: its layout and the bytes from one line to the next
  // (the unpadded length, or padded to 4 bytes).
  struct SimRawPage {
    std::string strPath;
    int iFormat;
    long lWidth;
    long lHeight;
    uint64_t u64Stride;
  };
  // Writes a new file with the page scaled to the size (each pixel takes
  // the nearest one of the page) in the format: colour from colour, gray as
  // the luminance, bitonal black below half; the same rules as Write. An
  // output that would be the page byte for byte is a link to it instead
  // (sim_csimimage_convert.cpp).
  static uint64_t Convert(const SimRawPage& a_simrawpage, const std::string& a_strPath, int a_iFormat, long a_lWidth,
                          long a_lHeight);

 private:
  // Fills one line of the file layout; false stops the writing.
  typedef std::function<bool(long a_lY, uint8_t* a_pu8Line)> PfnSimLine;
  static uint64_t WriteLines(const std::string& a_strPath, int a_iFormat, long a_lWidth, long a_lHeight,
                             const PfnSimLine& a_pfnLine);
};
