// Automatic colour detection: AUTOCOLORCONTENT (7, "autocolorcontent": 1
// none, 2 low, 3 medium, 4 high, 5 custom), which decides per side whether
// a page goes out in colour, and the amount (6) and threshold (8) its
// custom setting lets the user choose. The two cameras of a side share the
// content; a setting that leaves no second stream to choose from turns it
// off.
#pragma once

#include "db_cdbenum.h"
#include "db_cdbrange.h"

class CAUTOCOLORCONTENT : public CDbEnum {
 public:
  EOSSTS FixCurrent() override;
  // Written as "autocolordetect": "off", "learn", "detectonly" or "on".
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;
};

class CAUTOCOLORAMOUNT : public CDbRange {
 public:
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
};

class CAUTOCOLORTHRESHOLD : public CDbRange {
 public:
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
};

static_assert(sizeof(CAUTOCOLORCONTENT) == sizeof(CDbEnum));
static_assert(sizeof(CAUTOCOLORAMOUNT) == sizeof(CDbRange));
static_assert(sizeof(CAUTOCOLORTHRESHOLD) == sizeof(CDbRange));
