// The scanner's usage meters: the date of the first scan (149) and the
// counters of the front and rear lamps, pages, power and transport (151 to
// 153, 155, 156), each offered where the unit in use lists it: one family
// ruled by one table from each meter to its name in the unit's "metertype"
// list and whether a flatbed that lists no meters lacks it.
#pragma once

#include "db_cdbrange.h"
#include "db_cdbstring.h"

#define DB_METER_RULE_OPERATIONS \
  EOSSTS FixAccess() override;   \
  EOSSTS FixCurrent() override;

class CMETERFIRSTSCAN : public CDbString {
 public:
  DB_METER_RULE_OPERATIONS
};

class CMETERLAMPFRONT : public CDbRange {
 public:
  DB_METER_RULE_OPERATIONS
};

// Only a duplex scanner has a rear lamp.
class CMETERLAMPREAR : public CDbRange {
 public:
  DB_METER_RULE_OPERATIONS
  EOSSTS FixDefault() override;
};

class CMETERPAGECOUNT : public CDbRange {
 public:
  DB_METER_RULE_OPERATIONS
};

class CMETERPOWER : public CDbRange {
 public:
  DB_METER_RULE_OPERATIONS
};

class CMETERTRANSPORT : public CDbRange {
 public:
  DB_METER_RULE_OPERATIONS
};

#undef DB_METER_RULE_OPERATIONS

static_assert(sizeof(CMETERFIRSTSCAN) == sizeof(CDbString));
static_assert(sizeof(CMETERLAMPFRONT) == sizeof(CDbRange));
static_assert(sizeof(CMETERLAMPREAR) == sizeof(CDbRange));
static_assert(sizeof(CMETERPAGECOUNT) == sizeof(CDbRange));
static_assert(sizeof(CMETERPOWER) == sizeof(CDbRange));
static_assert(sizeof(CMETERTRANSPORT) == sizeof(CDbRange));
