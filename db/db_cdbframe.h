// Frame geometry of the capability database: whether a scan frame (offset,
// size, rotation) lies on the scanner's physical area, the height a turned
// frame needs, and the conversions between the standard paper sizes and the
// frame capabilities. Lengths are in 1/1200 inch, angles in 1/10000 degree.
#pragma once

#include <cstdint>

#include "db_def.h"

// Values of the paper-size capability (SUPPORTEDSIZES) this unit names; the
// rows between them are the standard sizes of the table.
enum EDBID_SUPPORTEDSIZES : int {
  DB_SUPPORTEDSIZES_NONE = 1,
  DB_SUPPORTEDSIZES_FIRST = 2,  // "usletter", the first real size
  DB_SUPPORTEDSIZES_A4 = 18,
  DB_SUPPORTEDSIZES_USER0 = 75,  // "user0".."user9": sizes from the configuration
  DB_SUPPORTEDSIZES_USER9 = 84,
  DB_SUPPORTEDSIZES_LAST = 85,  // end mark, never a size
};

// Values of the native-resolution capability (XNATIVERESOLUTION).
enum EDBID_XNATIVERESOLUTION : int {
  DB_XNATIVERESOLUTION_200 = 1,
  DB_XNATIVERESOLUTION_300 = 2,
  DB_XNATIVERESOLUTION_600 = 3,
};

// One row of the paper-size table: the value itself, width and height.
struct DbSupportedSizes {
  int64_t i64Value;
  int64_t i64Width;
  int64_t i64Height;
};

class CDbFrame {
 public:
  CDbFrame();
  ~CDbFrame();

  // The vertical extent of the frame turned by the angle; the height itself
  // for angle 0, 0 for a bad argument.
  int64_t GetMaxHeight(int64_t a_i64FrameXoffset, int64_t a_i64FrameYoffset, int64_t a_i64FrameWidth,
                       int64_t a_i64FrameHeight, int64_t a_i64FrameAngle);
  // True when the frame is well formed and its four turned corners lie on
  // the physical area (a corner on its edge counts as inside).
  bool IsValidFrame(int64_t a_i64FrameXoffset, int64_t a_i64FrameYoffset, int64_t a_i64FrameWidth,
                    int64_t a_i64FrameHeight, int64_t a_i64FrameAngle, int64_t a_i64MinWidth, int64_t a_i64MinHeight,
                    int64_t a_i64PhysicalWidth, int64_t a_i64PhysicalHeight);
  // The first standard size with exactly this width and height at the top
  // edge (y offset 0), else DB_SUPPORTEDSIZES_NONE.
  EDBID_SUPPORTEDSIZES SupportedSizesFromCurrentFrame(int64_t a_i64FrameXoffset, int64_t a_i64FrameYoffset,
                                                      int64_t a_i64FrameWidth, int64_t a_i64FrameHeight);
  // The value of one frame capability (a_edbidSide: FRAMEWIDTH, FRAMEHEIGHT,
  // FRAMEXOFFSET or FRAMEYOFFSET) for a standard size; "none" takes the
  // maxima. 0 for a bad size or side.
  int64_t Cvt1200FromSupportedSizes(EDBID_SUPPORTEDSIZES a_edbidsupportedsizes, bool a_blCentered,
                                    int64_t a_i64MaxWidth, int64_t a_i64MaxHeight, EDBID a_edbidSide);
  // Dots per inch of a native-resolution value; 1 for an unknown value.
  int64_t CvtLongFromEdbidXnativeResolution(EDBID_XNATIVERESOLUTION a_edbidxnativeresolution);
  // Fills the user rows from the configuration section SupportedSizes.
  void LoadCustomSupportedSizes();

  // The paper sizes, indexed by value; the user rows are process-wide and
  // shared by every database of the process.
  static DbSupportedSizes s_dbsupportedsizes[DB_SUPPORTEDSIZES_LAST + 1];
};
