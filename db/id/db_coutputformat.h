// What the output format of a camera carries besides its compression: the
// JPEG quality (135, "compressionjpegquality") of a JPEG camera, the pixel
// inversion (184, "invertcolor") with the group 4 codes it follows (185,
// "pixelflavorcodes"), and the horizontal resolution (252,
// "imageresolutionx"), lowered for a preview at normal quality.
#pragma once

#include "db_cdbenum.h"

class CJPEGQUALITY : public CDbEnum {
 public:
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
};

class CPIXELFLAVORCODES : public CDbEnum {
 public:
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
};

class CPIXELFLAVOR : public CDbEnum {
 public:
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;
};

class CXRESOLUTION : public CDbEnum {
 public:
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;
};

static_assert(sizeof(CJPEGQUALITY) == sizeof(CDbEnum));
static_assert(sizeof(CPIXELFLAVORCODES) == sizeof(CDbEnum));
static_assert(sizeof(CPIXELFLAVOR) == sizeof(CDbEnum));
static_assert(sizeof(CXRESOLUTION) == sizeof(CDbEnum));
