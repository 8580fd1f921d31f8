// The progress indicators the driver shows: whether it shows them
// (INDICATORS 130: 1 off, 2 on), which kinds of message (INDICATORSMODE
// 131, the modes chosen as the current list: 1 none, 2 info, 3 warning, 4
// error, 5 warmup) and whether the lamp's warm-up is shown (INDICATORSWARMUP
// 132: 1 off, 2 on). Their defaults come from the driver's own configuration
// (ForceIndicators, ForceIndicatorsWarmup), the SANE/TWAIN front end and the
// protocol the application announces in PMX_APPPROTOCOL.
#pragma once

#include "db_cdbenum.h"

class CINDICATORS : public CDbEnum {
 public:
  EOSSTS FixDefault() override;
};

class CINDICATORSMODE : public CDbEnum {
 public:
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;
};

class CINDICATORSWARMUP : public CDbEnum {
 public:
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;
};

static_assert(sizeof(CINDICATORS) == sizeof(CDbEnum));
static_assert(sizeof(CINDICATORSMODE) == sizeof(CDbEnum));
static_assert(sizeof(CINDICATORSWARMUP) == sizeof(CDbEnum));

// The protocol the application announces (PMX_APPPROTOCOL, decimal; 0 when
// unset or not a number). A text too long for the 32 bytes it is read into
// is cut to them and read as far as its digits go.
long IndicatorsApplicationProtocol();
