// What a chosen scanner dropout may carry: ECDOAGGRESSIVENESS (84,
// "ecdoaggressiveness"), for a dropout of several colours ("pmcdo"), and
// ECDOTREATASCOLOR (88, "ecdotreatascolor"), for a form-data dropout
// ("normalformdata"). Each is written only while it applies.
#pragma once

#include "db_cdbenum.h"
#include "db_cdbrange.h"

class CECDOAGGRESSIVENESS : public CDbRange {
 public:
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;
};

class CECDOTREATASCOLOR : public CDbEnum {
 public:
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;
};

static_assert(sizeof(CECDOAGGRESSIVENESS) == sizeof(CDbRange));
static_assert(sizeof(CECDOTREATASCOLOR) == sizeof(CDbEnum));
