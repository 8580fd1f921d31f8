// COMPRESSION (51, "compressionmode"): group 4 (6) on the bitonal cameras and
// JPEG (7) on the colour cameras are one choice, "compressed", in each
// camera's own form. Values that cross between the two kinds of camera are
// taken in the form of the camera they arrive at. A model that allows no
// compression, or a SANE front end, offers none (1) alone; a preview is sent
// uncompressed.
#pragma once

#include "db_cdbenum.h"

class CCOMPRESSION : public CDbEnum {
 public:
  // 6 and 7 are no difference; any other pair as the enumeration judges it.
  bool Compare(long a_lA, long a_lB) override;
  // Stored silently in this camera's form.
  void Copy(long a_lValue) override;
  EOSSTS FixDefault() override;
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;

  // A value in the form of a camera bin: 7 for 6 on colour bins (4, 5),
  // 6 for 7 on bitonal bins (2, 3); any other value or bin as it is.
  static long ForBin(EDBBIN a_edbbin, long a_lValue);
  // The model's configuration does not list "false" under
  // "compressionallowed", and SaneTwainVersion is below 1.
  static bool IsAllowed();
};

static_assert(sizeof(CCOMPRESSION) == sizeof(CDbEnum));
