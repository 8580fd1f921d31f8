// Frame geometry: the paper-size table, the turned-frame tests and the
// paper-size conversions.
#include "db_cdbframe.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {
constexpr int64_t s_i64AngleLimit = 3600000;  // +-360 degrees
constexpr int s_iUserSizes = DB_SUPPORTEDSIZES_USER9 - DB_SUPPORTEDSIZES_USER0 + 1;
constexpr unsigned s_uCustomEntries = OS_CFGTAG_N50 - OS_CFGTAG_N00 + 1;

double Radians(int64_t a_i64FrameAngle) {
  return static_cast<double>(a_i64FrameAngle) / 10000.0 * 3.141592653589793 / 180.0;
}

// Corners are worked out in 128 bits: offsets and sizes may be any 64-bit
// numbers, and a corner beyond them is simply off the sheet.
using Wide = __int128;

// Products become lengths by truncation toward zero (a product of a 64-bit
// length and a sine or cosine always fits).
Wide Trunc(double a_d) { return static_cast<Wide>(a_d); }

// The tests both frame operations make first; the first failure is logged
// while the log's level is not 0.
bool FrameArgumentsValid(int64_t a_i64X, int64_t a_i64Y, int64_t a_i64Width, int64_t a_i64Height,
                         int64_t a_i64Angle) {
  const char* szFailure = nullptr;
  if (a_i64X < 0) {
    szFailure = "a_lFrameXoffset < 0";
  } else if (a_i64Y < 0) {
    szFailure = "a_lFrameYoffset < 0";
  } else if (a_i64Width <= 0) {
    szFailure = "a_lFrameWidth <= 0";
  } else if (a_i64Height <= 0) {
    szFailure = "a_lFrameHeight <= 0";
  } else if (a_i64Angle < -s_i64AngleLimit || a_i64Angle > s_i64AngleLimit) {
    szFailure = "a_lFrameAngle out of range";
  }
  if (!szFailure) return true;
  OsLogDebug(OS_LOG_INFO, "%s", szFailure);
  return false;
}

bool Outside(Wide a_wValue, int64_t a_i64Limit) { return a_wValue < 0 || a_wValue > a_i64Limit; }

// A whole number of the entry; out-of-range digits saturate instead of
// overflowing.
int64_t EntryNumber(const char* a_szToken) {
  long l = std::strtol(a_szToken, nullptr, 10);
  if (l > INT32_MAX) l = INT32_MAX;
  if (l < INT32_MIN) l = INT32_MIN;
  return l;
}

// One "name unit whole fraction whole fraction" entry into a row; false
// (nothing stored) for an entry of fewer than six tokens.
bool ParseCustomEntry(const char* a_szEntry, DbSupportedSizes* a_pdbsupportedsizes) {
  char szEntry[256];
  if (std::strlen(a_szEntry) >= sizeof szEntry) return false;
  COsString::SStrCpy(szEntry, sizeof szEntry, a_szEntry);
  const char* aszToken[6] = {};
  char* pszSave = nullptr;
  int iTokens = 0;
  for (char* psz = COsString::SStrTok(szEntry, " \t", &pszSave); psz && iTokens < 6;
       psz = COsString::SStrTok(nullptr, " \t", &pszSave)) {
    aszToken[iTokens++] = psz;
  }
  if (iTokens < 6) return false;
  const bool blInches = std::strlen(aszToken[1]) <= 15 && strcasecmp(aszToken[1], "inches") == 0;
  const int64_t i64Width = EntryNumber(aszToken[2]), i64WidthFraction = EntryNumber(aszToken[3]);
  const int64_t i64Height = EntryNumber(aszToken[4]), i64HeightFraction = EntryNumber(aszToken[5]);
  if (blInches) {
    // Inches and hundredths.
    a_pdbsupportedsizes->i64Width = i64Width * 1200 + i64WidthFraction * 12;
    a_pdbsupportedsizes->i64Height = i64Height * 1200 + i64HeightFraction * 12;
  } else {
    // Centimetres and hundredths.
    a_pdbsupportedsizes->i64Width = (i64Width * 120000 + i64WidthFraction * 1200) / 254;
    a_pdbsupportedsizes->i64Height = (i64Height * 120000 + i64HeightFraction * 1200) / 254;
  }
  return true;
}
}  // namespace

// Rows 0, 1 ("none") and 85 are never a size; the user rows start empty.
DbSupportedSizes CDbFrame::s_dbsupportedsizes[DB_SUPPORTEDSIZES_LAST + 1] = {
    {0, 0, 0},
    {1, 0, 0},
    {2, 10200, 13200},  // "usletter"
    {3, 10200, 16800},  // "uslegal"
    {4, 6984, 9912},  // "a5"
    {5, 13200, 20400},  // "usledger"
    {6, 8700, 12600},  // "usexecutive"
    {7, 14028, 19836},  // "a3"
    {8, 16668, 23616},  // "b3"
    {9, 4956, 6984},  // "a6"
    {10, 10812, 15300},  // "c4"
    {11, 7644, 10812},  // "c5"
    {12, 5376, 7644},  // "c6"
    {13, 79464, 112344},  // "4a0"
    {14, 56172, 79464},  // "2a0"
    {15, 39732, 56172},  // "a0"
    {16, 28056, 39732},  // "a1"
    {17, 19836, 28056},  // "a2"
    {18, 9912, 14028},  // "a4"
    {19, 3492, 4956},  // "a7"
    {20, 2448, 3492},  // "a8"
    {21, 1740, 2448},  // "a9"
    {22, 1224, 1740},  // "a10"
    {23, 47244, 66792},  // "isob0"
    {24, 33396, 47244},  // "isob1"
    {25, 23616, 33396},  // "isob2"
    {26, 16668, 23616},  // "isob3"
    {27, 11808, 16668},  // "isob4"
    {28, 8304, 11808},  // "isob5"
    {29, 5904, 8304},  // "isob6"
    {30, 4152, 5904},  // "isob7"
    {31, 2928, 4152},  // "isob8"
    {32, 2076, 2928},  // "isob9"
    {33, 1464, 2076},  // "isob10"
    {34, 48660, 68784},  // "jisb0"
    {35, 34392, 48660},  // "jisb1"
    {36, 24324, 34392},  // "jisb2"
    {37, 17196, 24324},  // "jisb3"
    {38, 12132, 17196},  // "jisb4"
    {39, 8592, 12132},  // "jisb5"
    {40, 6036, 8592},  // "jisb6"
    {41, 4296, 6036},  // "jisb7"
    {42, 3012, 4296},  // "jisb8"
    {43, 2124, 3012},  // "jisb9"
    {44, 1500, 2124},  // "jisb10"
    {45, 43320, 61272},  // "c0"
    {46, 30612, 43320},  // "c1"
    {47, 21636, 30612},  // "c2"
    {48, 15300, 21636},  // "c3"
    {49, 3816, 5376},  // "c7"
    {50, 2688, 3816},  // "c8"
    {51, 1884, 2688},  // "c9"
    {52, 1320, 1884},  // "c10"
    {53, 6600, 10200},  // "usstatement"
    {54, 4248, 2376},  // "businesscard"
    {55, 7200, 6000},  // "6x5"
    {56, 14400, 14400},  // "12x12"
    {57, 4200, 6000},  // "3x5"
    {58, 4800, 7200},  // "4x6"
    {59, 6000, 8400},  // "5x7"
    {60, 9600, 12000},  // "8x10"
    {61, 4800, 8400},  // "4x7"
    {62, 4800, 12000},  // "4x10"
    {63, 4716, 7080},  // "100x150"
    {64, 6000, 8352},  // "122x177"
    {65, 4248, 6132},  // "90x130"
    {66, 5748, 8004},  // "57x88"
    {67, 6000, 4200},  // "5x3"
    {68, 7200, 4800},  // "6x4"
    {69, 8400, 6000},  // "7x5"
    {70, 8400, 4800},  // "7x4"
    {71, 7080, 4716},  // "150x100"
    {72, 8352, 6000},  // "177x127"
    {73, 6132, 4248},  // "130x90"
    {74, 8004, 5748},  // "88x57"
    {75, 0, 0},  // "user0"
    {76, 0, 0},  // "user1"
    {77, 0, 0},  // "user2"
    {78, 0, 0},  // "user3"
    {79, 0, 0},  // "user4"
    {80, 0, 0},  // "user5"
    {81, 0, 0},  // "user6"
    {82, 0, 0},  // "user7"
    {83, 0, 0},  // "user8"
    {84, 0, 0},  // "user9"
    {85, 0, 0},
};

CDbFrame::CDbFrame() = default;

CDbFrame::~CDbFrame() = default;

int64_t CDbFrame::GetMaxHeight(int64_t a_i64FrameXoffset, int64_t a_i64FrameYoffset, int64_t a_i64FrameWidth,
                               int64_t a_i64FrameHeight, int64_t a_i64FrameAngle) {
  if (a_i64FrameAngle == 0) return a_i64FrameHeight;
  if (!FrameArgumentsValid(a_i64FrameXoffset, a_i64FrameYoffset, a_i64FrameWidth, a_i64FrameHeight,
                           a_i64FrameAngle)) {
    return 0;
  }
  const double dTheta = Radians(a_i64FrameAngle);
  const double dSin = static_cast<double>(a_i64FrameWidth) * std::sin(dTheta);
  const double dCos = static_cast<double>(a_i64FrameHeight) * std::cos(dTheta);
  const double dSum = dCos + dSin;
  const Wide y = a_i64FrameYoffset;
  const Wide awCorner[4] = {y, y + Trunc(dSin), y + Trunc(dCos), y + Trunc(dSum)};
  Wide wTop = awCorner[0], wBottom = awCorner[0];
  for (Wide wCorner : awCorner) {
    if (wCorner < wTop) wTop = wCorner;
    if (wCorner > wBottom) wBottom = wCorner;
  }
  // An extent beyond the longest length there is answers that length.
  return wBottom - wTop > INT64_MAX ? INT64_MAX : static_cast<int64_t>(wBottom - wTop);
}

bool CDbFrame::IsValidFrame(int64_t a_i64FrameXoffset, int64_t a_i64FrameYoffset, int64_t a_i64FrameWidth,
                            int64_t a_i64FrameHeight, int64_t a_i64FrameAngle, int64_t a_i64MinWidth,
                            int64_t a_i64MinHeight, int64_t a_i64PhysicalWidth, int64_t a_i64PhysicalHeight) {
  const int64_t x = a_i64FrameXoffset, y = a_i64FrameYoffset, w = a_i64FrameWidth, h = a_i64FrameHeight;
  const int64_t W = a_i64PhysicalWidth, H = a_i64PhysicalHeight;
  if (!FrameArgumentsValid(x, y, w, h, a_i64FrameAngle)) return false;
  if (w < a_i64MinWidth) {
    OsLogDebug(OS_LOG_INFO, "a_lFrameWidth < a_lMinWidth");
    return false;
  }
  if (h < a_i64MinHeight) {
    OsLogDebug(OS_LOG_INFO, "a_lFrameHeight < a_lMinHeight");
    return false;
  }

  // The corners turned about the frame's origin.
  const double dTheta = Radians(a_i64FrameAngle);
  const double dSin = std::sin(dTheta), dCos = std::cos(dTheta);
  const double dWcos = static_cast<double>(w) * dCos, dWsin = static_cast<double>(w) * dSin;
  const double dHcos = static_cast<double>(h) * dCos, dHsin = static_cast<double>(h) * dSin;
  const double dX3 = dWcos - dHsin, dY3 = dWsin + dHcos;
  const Wide X0 = x, Y0 = y;
  const Wide X1 = X0 + Trunc(dWcos), Y1 = Y0 + Trunc(dWsin);
  const Wide X2 = X0 + Trunc(-dHsin), Y2 = Y0 + Trunc(dHcos);
  const Wide X3 = X0 + Trunc(dX3), Y3 = Y0 + Trunc(dY3);
  OsLogDebug(OS_LOG_INFO,
             "a_lFrameXoffset:%d a_lFrameYoffset:%d a_lFrameWidth:%d a_lFrameHeight:%d a_lFrameAngle:%d "
             "a_lPhysicalWidth:%d a_lPhysicalHeight:%d  (x,y):(%d,%d);(%d,%d);(%d,%d);(%d,%d)",
             static_cast<int>(x), static_cast<int>(y), static_cast<int>(w), static_cast<int>(h),
             static_cast<int>(a_i64FrameAngle), static_cast<int>(W), static_cast<int>(H), static_cast<int>(X0),
             static_cast<int>(Y0), static_cast<int>(X1), static_cast<int>(Y1), static_cast<int>(X2),
             static_cast<int>(Y2), static_cast<int>(X3), static_cast<int>(Y3));

  // The origin cannot lie left of or above 0: the argument tests refused that.
  const struct {
    bool blOutside;
    const char* szMessage;
  } acorner[] = {
      {X0 > W, "(X0 < 0) || (X0 > a_lPhysicalWidth)"},
      {Y0 > H, "(Y0 < 0) || (Y0 > a_lPhysicalHeight)"},
      {Outside(X1, W), "(X1 < 0) || (X1 > a_lPhysicalWidth)"},
      {Outside(Y1, H), "(Y1 < 0) || (Y1 > a_lPhysicalHeight)"},
      {Outside(X2, W), "(X2 < 0) || (X2 > a_lPhysicalWidth)"},
      {Outside(Y2, H), "(Y2 < 0) || (Y2 > a_lPhysicalHeight)"},
      {Outside(X3, W), "(X3 < 0) || (X3 > a_lPhysicalWidth)"},
      {Outside(Y3, H), "(Y3 < 0) || (Y3 > a_lPhysicalHeight)"},
  };
  for (const auto& corner : acorner) {
    if (corner.blOutside) {
      OsLogDebug(OS_LOG_INFO, "%s", corner.szMessage);
      return false;
    }
  }
  return true;
}

EDBID_SUPPORTEDSIZES CDbFrame::SupportedSizesFromCurrentFrame(int64_t a_i64FrameXoffset, int64_t a_i64FrameYoffset,
                                                              int64_t a_i64FrameWidth, int64_t a_i64FrameHeight) {
  OsLogDebug(OS_LOG_INFO, "a_lFrameXoffset:%d a_lFrameYoffset:%d a_lFrameWidth:%d a_lFrameHeight:%d",
             static_cast<int>(a_i64FrameXoffset), static_cast<int>(a_i64FrameYoffset),
             static_cast<int>(a_i64FrameWidth), static_cast<int>(a_i64FrameHeight));
  // The x offset plays no part: a frame centred across the feeder still
  // matches. Of two rows of one size the lower value wins.
  if (a_i64FrameYoffset != 0) return DB_SUPPORTEDSIZES_NONE;
  for (int k = DB_SUPPORTEDSIZES_FIRST; k <= DB_SUPPORTEDSIZES_USER9; ++k) {
    const DbSupportedSizes& row = s_dbsupportedsizes[k];
    if (row.i64Width > 0 && row.i64Height > 0 && row.i64Width == a_i64FrameWidth &&
        row.i64Height == a_i64FrameHeight) {
      return static_cast<EDBID_SUPPORTEDSIZES>(k);
    }
  }
  return DB_SUPPORTEDSIZES_NONE;
}

int64_t CDbFrame::Cvt1200FromSupportedSizes(EDBID_SUPPORTEDSIZES a_edbidsupportedsizes, bool a_blCentered,
                                            int64_t a_i64MaxWidth, int64_t a_i64MaxHeight, EDBID a_edbidSide) {
  if (a_edbidsupportedsizes < DB_SUPPORTEDSIZES_NONE || a_edbidsupportedsizes > DB_SUPPORTEDSIZES_USER9) {
    OsLog(OS_LOG_ERROR, "bad a_edbidsupportedsizes...%d", static_cast<int>(a_edbidsupportedsizes));
    return 0;
  }
  const bool blNone = a_edbidsupportedsizes == DB_SUPPORTEDSIZES_NONE;
  const DbSupportedSizes& row = s_dbsupportedsizes[a_edbidsupportedsizes];
  switch (a_edbidSide) {
    case DB_ID_FRAMEWIDTH: return blNone ? a_i64MaxWidth : row.i64Width;
    case DB_ID_FRAMEHEIGHT: return blNone ? a_i64MaxHeight : row.i64Height;
    case DB_ID_FRAMEXOFFSET:
      // The centring offset, cut to hundredths of an inch.
      if (blNone || !a_blCentered) return 0;
      return ((a_i64MaxWidth - row.i64Width) / 2 / 12) * 12;
    case DB_ID_FRAMEYOFFSET: return 0;
    default:
      OsLog(OS_LOG_ERROR, "Unrecognized frame side...%d", static_cast<int>(a_edbidSide));
      return 0;
  }
}

int64_t CDbFrame::CvtLongFromEdbidXnativeResolution(EDBID_XNATIVERESOLUTION a_edbidxnativeresolution) {
  switch (a_edbidxnativeresolution) {
    case DB_XNATIVERESOLUTION_200: return 200;
    case DB_XNATIVERESOLUTION_300: return 300;
    case DB_XNATIVERESOLUTION_600: return 600;
    default:
      OsLog(OS_LOG_ERROR, "Unrecognized xnativeresolution...%d", static_cast<int>(a_edbidxnativeresolution));
      return 1;
  }
}

void CDbFrame::LoadCustomSupportedSizes() {
  if (!g_poscfg) return;
  for (int n = 0; n < s_iUserSizes; ++n) {
    char szPattern[16];
    COsString::SStrPrintf(szPattern, sizeof szPattern, "USER%d", n);
    // Entries N0, N1, ... up to the first empty one; the last match wins,
    // and a size without one keeps its earlier values.
    for (unsigned u = 0; u < s_uCustomEntries; ++u) {
      const char* szEntry = g_poscfg->Get(OS_CFGSECTION_SUPPORTEDSIZES, OS_CFGTAG_N00 + u);
      if (!szEntry || !*szEntry) break;
      if (!std::strstr(szEntry, szPattern)) continue;
      DbSupportedSizes& row = s_dbsupportedsizes[DB_SUPPORTEDSIZES_USER0 + n];
      DbSupportedSizes dbsupportedsizes = row;
      if (ParseCustomEntry(szEntry, &dbsupportedsizes)) row = dbsupportedsizes;
    }
  }
}
