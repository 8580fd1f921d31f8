// Calibration: the calibration types the unit in use offers
// (CALIBRATIONTYPE 37: 1 image, 2 mechanical, 3 udds, 4 magnification, 5
// magnificationtest, 6 lcdcontrast, 7 getrawimage, 8 imagenotarget, 9
// patchreader, 10 microphonetest) and whether a calibration keeps its images
// (CALIBRATEKEEPIMAGE 35, "calibrationsavedata": 1 off, 2 on), which the type
// decides for all but the image, mechanical and magnification calibrations.
#pragma once

#include "db_cdbenum.h"

class CCALIBRATEKEEPIMAGE : public CDbEnum {
 public:
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
};

class CCALIBRATIONTYPE : public CDbEnum {
 public:
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;
};

static_assert(sizeof(CCALIBRATEKEEPIMAGE) == sizeof(CDbEnum));
static_assert(sizeof(CCALIBRATIONTYPE) == sizeof(CDbEnum));
