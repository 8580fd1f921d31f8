// Deskew (9, "imagedeskew"), the added border (2, "addborder") and the
// orthogonal rotation (165, "imagerotateorthogonal") of each camera. Deskew
// and border follow the cropping mode and automatic edge fill, which needs
// both; a preview leaves the border and the rotation out, and the deskew
// too under a fixed preview crop.
#pragma once

#include "db_cdbenum.h"

class CADDBORDER : public CDbEnum {
 public:
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;
};

class CAUTOMATICDESKEW : public CDbEnum {
 public:
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;
};

class CORTHOGONALROTATE : public CDbEnum {
 public:
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;
};

static_assert(sizeof(CADDBORDER) == sizeof(CDbEnum));
static_assert(sizeof(CAUTOMATICDESKEW) == sizeof(CDbEnum));
static_assert(sizeof(CORTHOGONALROTATE) == sizeof(CDbEnum));
