// The page conversion of the image-library stand-in against a plain
// reference kept here, pixel by pixel as the rules read: every pair of
// formats, same size, scaled down and up, odd widths (bitonal lines ending
// within a byte), lines padded to 4 bytes, pages with bytes after their
// last line; the output is compared byte for byte. A failed conversion
// leaves no file behind and never touches an existing one.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sim_csimimage.h"
#include "test_support.h"

namespace {

struct Page {
  int iFormat;
  long lWidth;
  long lHeight;
  uint64_t u64Stride;
  std::vector<uint8_t> vu8;  // the file's bytes
};

uint64_t LineBytes(int a_iFormat, long a_lWidth) {
  if (a_iFormat == SIM_IMAGEFORMAT_BW) return (static_cast<uint64_t>(a_lWidth) + 7) / 8;
  return static_cast<uint64_t>(a_lWidth) * (a_iFormat == SIM_IMAGEFORMAT_RGB24 ? 3 : 1);
}

// Bytes of every value (padding and trailing bytes too), from a fixed seed;
// a run of white and black lines in between, as pages have.
Page MakePage(int a_iFormat, long a_lWidth, long a_lHeight, bool a_blPadded, uint64_t a_u64Trailing,
              uint32_t a_u32Seed) {
  Page page{a_iFormat, a_lWidth, a_lHeight, LineBytes(a_iFormat, a_lWidth), {}};
  if (a_blPadded) page.u64Stride = (page.u64Stride + 3) & ~uint64_t{3};
  page.vu8.resize(page.u64Stride * static_cast<uint64_t>(a_lHeight) + a_u64Trailing);
  uint32_t u32 = a_u32Seed;
  for (size_t i = 0; i < page.vu8.size(); ++i) {
    u32 = u32 * 1664525u + 1013904223u;
    page.vu8[i] = static_cast<uint8_t>(u32 >> 24);
  }
  for (long y = a_lHeight / 3; y < a_lHeight / 2; ++y) {
    const uint8_t u8 = (y & 1) ? 0x00 : 0xFF;
    for (uint64_t i = 0; i < LineBytes(a_iFormat, a_lWidth); ++i) page.vu8[y * page.u64Stride + i] = u8;
  }
  return page;
}

// The luminance of a source pixel: white 255.
unsigned ReferenceGray(const Page& a_page, long a_lY, long a_lX) {
  const uint8_t* pu8 = a_page.vu8.data() + a_lY * a_page.u64Stride;
  if (a_page.iFormat == SIM_IMAGEFORMAT_BW) return (pu8[a_lX / 8] >> (7 - a_lX % 8)) & 1 ? 0 : 255;
  if (a_page.iFormat == SIM_IMAGEFORMAT_GRAY8) return pu8[a_lX];
  const unsigned uR = pu8[3 * a_lX], uG = pu8[3 * a_lX + 1], uB = pu8[3 * a_lX + 2];
  return (299 * uR + 587 * uG + 114 * uB) / 1000;
}

// Each output pixel takes the nearest page pixel (x * width / new width,
// rounded down); colour from colour, gray as the luminance, bitonal black
// below half; lines unpadded, unused bits 0.
std::vector<uint8_t> ReferenceConvert(const Page& a_page, int a_iFormat, long a_lWidth, long a_lHeight) {
  const uint64_t u64Line = LineBytes(a_iFormat, a_lWidth);
  std::vector<uint8_t> vu8(u64Line * static_cast<uint64_t>(a_lHeight), 0);
  for (long y = 0; y < a_lHeight; ++y) {
    const long lY = y * a_page.lHeight / a_lHeight;
    uint8_t* pu8Line = vu8.data() + y * u64Line;
    for (long x = 0; x < a_lWidth; ++x) {
      const long lX = x * a_page.lWidth / a_lWidth;
      const unsigned uGray = ReferenceGray(a_page, lY, lX);
      if (a_iFormat == SIM_IMAGEFORMAT_RGB24) {
        for (int c = 0; c < 3; ++c) {
          pu8Line[3 * x + c] = a_page.iFormat == SIM_IMAGEFORMAT_RGB24
                                   ? a_page.vu8[lY * a_page.u64Stride + 3 * lX + c]
                                   : static_cast<uint8_t>(uGray);
        }
      } else if (a_iFormat == SIM_IMAGEFORMAT_GRAY8) {
        pu8Line[x] = static_cast<uint8_t>(uGray);
      } else if (uGray < 128) {
        pu8Line[x / 8] |= static_cast<uint8_t>(1 << (7 - x % 8));
      }
    }
  }
  return vu8;
}

std::string Bytes(const std::vector<uint8_t>& a_vu8) { return std::string(a_vu8.begin(), a_vu8.end()); }

CSimImage::SimRawPage SavePage(const Page& a_page, const std::string& a_strName) {
  const std::string strPath = testsupport::RootPath(a_strName);
  testsupport::WriteFile(strPath, Bytes(a_page.vu8));
  return {strPath, a_page.iFormat, a_page.lWidth, a_page.lHeight, a_page.u64Stride};
}

struct ConvertCase {
  int iFrom;
  long lWidth, lHeight;
  bool blPadded;
  uint64_t u64Trailing;
  int iTo;
  long lToWidth, lToHeight;
};

constexpr int BW = SIM_IMAGEFORMAT_BW, GRAY = SIM_IMAGEFORMAT_GRAY8, RGB = SIM_IMAGEFORMAT_RGB24;

// Sizes: the same, halved, a third, up by 3/2 and by 2, odd ratios; widths
// of 1 and below and above a multiple of 8 and 16.
constexpr ConvertCase s_aconvertcase[] = {
    {RGB, 64, 40, false, 0, RGB, 64, 40},     {RGB, 61, 37, true, 0, RGB, 61, 37},
    {RGB, 61, 37, false, 5, RGB, 61, 37},     {RGB, 100, 90, false, 0, RGB, 50, 45},
    {RGB, 99, 91, true, 0, RGB, 33, 30},      {RGB, 40, 30, false, 0, RGB, 60, 45},
    {RGB, 17, 9, true, 0, RGB, 34, 18},       {RGB, 1, 1, false, 0, RGB, 3, 2},
    {RGB, 64, 40, false, 0, GRAY, 64, 40},    {RGB, 73, 41, true, 0, GRAY, 73, 41},
    {RGB, 100, 90, false, 0, GRAY, 37, 29},   {RGB, 64, 40, false, 0, BW, 64, 40},
    {RGB, 75, 43, true, 0, BW, 75, 43},       {RGB, 90, 60, false, 0, BW, 45, 30},
    {RGB, 30, 20, false, 0, BW, 47, 31},      {GRAY, 64, 40, false, 0, GRAY, 64, 40},
    {GRAY, 63, 41, true, 0, GRAY, 63, 41},    {GRAY, 63, 41, false, 7, GRAY, 63, 41},
    {GRAY, 100, 90, false, 0, GRAY, 50, 45},  {GRAY, 31, 17, true, 0, GRAY, 62, 34},
    {GRAY, 64, 40, false, 0, RGB, 64, 40},    {GRAY, 57, 33, true, 0, RGB, 38, 22},
    {GRAY, 64, 40, false, 0, BW, 64, 40},     {GRAY, 67, 35, true, 0, BW, 67, 35},
    {GRAY, 81, 27, false, 0, BW, 27, 9},      {BW, 64, 40, false, 0, BW, 64, 40},
    {BW, 67, 35, false, 0, BW, 67, 35},       {BW, 67, 35, true, 0, BW, 67, 35},
    {BW, 64, 40, false, 3, BW, 64, 40},       {BW, 130, 60, true, 0, BW, 65, 30},
    {BW, 13, 7, false, 0, BW, 39, 21},        {BW, 64, 40, false, 0, GRAY, 64, 40},
    {BW, 77, 31, true, 0, GRAY, 50, 20},      {BW, 64, 40, false, 0, RGB, 64, 40},
    {BW, 9, 5, false, 0, RGB, 23, 11},        {RGB, 827, 1169, false, 0, RGB, 827, 1169},
    {RGB, 827, 1169, false, 0, GRAY, 413, 584}, {GRAY, 1240, 1753, false, 0, BW, 1240, 1753},
};

TEST(SimImageConvert, EveryCaseGivesTheReferenceBytes) {
  int iCase = 0;
  for (const ConvertCase& convertcase : s_aconvertcase) {
    SCOPED_TRACE("case " + std::to_string(iCase));
    const Page page = MakePage(convertcase.iFrom, convertcase.lWidth, convertcase.lHeight, convertcase.blPadded,
                               convertcase.u64Trailing, 77u + static_cast<uint32_t>(iCase));
    const CSimImage::SimRawPage simrawpage = SavePage(page, "page-" + std::to_string(iCase));
    const std::string strOut = testsupport::RootPath("out-" + std::to_string(iCase));
    const std::vector<uint8_t> vu8Expected =
        ReferenceConvert(page, convertcase.iTo, convertcase.lToWidth, convertcase.lToHeight);
    EXPECT_EQ(CSimImage::Convert(simrawpage, strOut, convertcase.iTo, convertcase.lToWidth, convertcase.lToHeight),
              vu8Expected.size());
    EXPECT_TRUE(testsupport::ReadFile(strOut) == Bytes(vu8Expected));
    // The page itself is left as it was.
    EXPECT_TRUE(testsupport::ReadFile(simrawpage.strPath) == Bytes(page.vu8));
    ++iCase;
  }
}

// An output that would be the page byte for byte is the page's own file,
// linked, and stays whole once the page is removed; a bitonal page whose
// lines end within a byte is copied (the output's bits past the width are
// cleared).
TEST(SimImageConvert, AnOutputThatIsThePageIsALinkToIt) {
  struct LinkCase {
    int iFormat;
    long lWidth;
    bool blLinked;
  };
  for (const LinkCase& linkcase : {LinkCase{RGB, 61, true}, LinkCase{GRAY, 64, true}, LinkCase{BW, 64, true},
                                   LinkCase{BW, 67, false}}) {
    const std::string strName = std::to_string(linkcase.iFormat) + "-" + std::to_string(linkcase.lWidth);
    SCOPED_TRACE(strName);
    const Page page = MakePage(linkcase.iFormat, linkcase.lWidth, 20, false, 0, 9u);
    const CSimImage::SimRawPage simrawpage = SavePage(page, "page-" + strName);
    const std::string strOut = testsupport::RootPath("out-" + strName);
    ASSERT_EQ(CSimImage::Convert(simrawpage, strOut, linkcase.iFormat, linkcase.lWidth, 20), page.vu8.size());
    struct stat stPage, stOut;
    ASSERT_EQ(stat(simrawpage.strPath.c_str(), &stPage), 0);
    ASSERT_EQ(stat(strOut.c_str(), &stOut), 0);
    EXPECT_EQ(stPage.st_ino == stOut.st_ino, linkcase.blLinked);
    ASSERT_EQ(unlink(simrawpage.strPath.c_str()), 0);
    EXPECT_TRUE(testsupport::ReadFile(strOut) ==
                Bytes(ReferenceConvert(page, linkcase.iFormat, linkcase.lWidth, 20)));
  }
}

// A page shorter than its description, a missing page and an output that
// exists already: nothing made, the existing file kept.
TEST(SimImageConvert, AFailedConversionLeavesNoFile) {
  Page page = MakePage(RGB, 40, 30, false, 0, 5u);
  page.vu8.resize(page.vu8.size() - 1);
  const CSimImage::SimRawPage simrawpageShort = SavePage(page, "short");
  for (int iFormat : {RGB, GRAY, BW}) {
    const std::string strOut = testsupport::RootPath("out-short-" + std::to_string(iFormat));
    EXPECT_EQ(CSimImage::Convert(simrawpageShort, strOut, iFormat, 40, 30), 0u);
    EXPECT_FALSE(testsupport::FileExists(strOut));
  }
  CSimImage::SimRawPage simrawpageMissing = simrawpageShort;
  simrawpageMissing.strPath = testsupport::RootPath("missing");
  EXPECT_EQ(CSimImage::Convert(simrawpageMissing, testsupport::RootPath("out-missing"), RGB, 40, 30), 0u);
  EXPECT_FALSE(testsupport::FileExists(testsupport::RootPath("out-missing")));

  const CSimImage::SimRawPage simrawpage = SavePage(MakePage(RGB, 40, 30, false, 0, 6u), "whole");
  const std::string strExisting = testsupport::RootPath("existing");
  testsupport::WriteFile(strExisting, "kept");
  for (int iFormat : {RGB, GRAY, BW}) {
    EXPECT_EQ(CSimImage::Convert(simrawpage, strExisting, iFormat, 40, 30), 0u);
    EXPECT_EQ(testsupport::ReadFile(strExisting), "kept");
  }
}

}  // namespace
