// The magnification calibration values of the front and rear cameras
// (MAGNIFICATIONFRONTX 144, ...FRONTY 145, ...REARX 146, ...REARY 147),
// offered where the unit in use lists "magnification" among its calibration
// types: one family ruled by one table of the sides.
#pragma once

#include "db_cdbrange.h"

#define DB_MAGNIFICATION_RULE_OPERATIONS \
  EOSSTS FixAccess() override;           \
  EOSSTS FixCurrent() override;

class CMAGNIFICATIONFRONTX : public CDbRange {
 public:
  DB_MAGNIFICATION_RULE_OPERATIONS
};

class CMAGNIFICATIONFRONTY : public CDbRange {
 public:
  DB_MAGNIFICATION_RULE_OPERATIONS
};

// The rear values exist on a duplex scanner only.
class CMAGNIFICATIONREARX : public CDbRange {
 public:
  DB_MAGNIFICATION_RULE_OPERATIONS
  EOSSTS FixDefault() override;
};

class CMAGNIFICATIONREARY : public CDbRange {
 public:
  DB_MAGNIFICATION_RULE_OPERATIONS
  EOSSTS FixDefault() override;
};

#undef DB_MAGNIFICATION_RULE_OPERATIONS

static_assert(sizeof(CMAGNIFICATIONFRONTX) == sizeof(CDbRange));
static_assert(sizeof(CMAGNIFICATIONFRONTY) == sizeof(CDbRange));
static_assert(sizeof(CMAGNIFICATIONREARX) == sizeof(CDbRange));
static_assert(sizeof(CMAGNIFICATIONREARY) == sizeof(CDbRange));
