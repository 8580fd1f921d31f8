// The backing behind the page: BACKGROUND (11, "background": 1 black,
// 2 white) of each camera, as the feeder offers it for each side, and
// BACKGROUNDPLATEN (15, "backgroundflatbed"), the flatbed's lid, a machine
// capability that reaches the device only as the background of a flatbed
// scan.
#pragma once

#include "db_cdbenum.h"

class CBACKGROUND : public CDbEnum {
 public:
  EOSSTS FixDefault() override;
  EOSSTS FixCurrent() override;
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;
};

class CBACKGROUNDPLATEN : public CDbEnum {
 public:
  EOSSTS FixDefault() override;
};

static_assert(sizeof(CBACKGROUND) == sizeof(CDbEnum));
static_assert(sizeof(CBACKGROUNDPLATEN) == sizeof(CDbEnum));
