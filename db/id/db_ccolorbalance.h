// Colour balance, colour brightness and contrast of each camera, one family
// ruled by one table: COLORBALANCEMODE (44: 1 none, 2 manual, 3
// automaticbasic, 4 automatic) with the red, green and blue of a manual
// balance (45, 43, 42) and the aggressiveness of an automatic one (41);
// COLORBRIGHTNESSMODE (46: 1 none, 2 manual, 3 automaticbasic) with the
// brightness (34) and contrast (52) a manual mode lets the user set. Grey
// output has no colour balance; bitonal contrast needs a halftone that uses
// it.
#pragma once

#include "db_cdbenum.h"
#include "db_cdbrange.h"

// The rule operations of the classes whose access the table gives.
#define DB_COLOR_ACCESS_RULE_OPERATIONS \
  EOSSTS FixAccess() override;          \
  EOSSTS FixCurrent() override;

class CCOLORBALANCEMODE : public CDbEnum {
 public:
  EOSSTS FixDefault() override;
  DB_COLOR_ACCESS_RULE_OPERATIONS
};

class CCOLORBALANCERED : public CDbRange {
 public:
  DB_COLOR_ACCESS_RULE_OPERATIONS
};

class CCOLORBALANCEGREEN : public CDbRange {
 public:
  DB_COLOR_ACCESS_RULE_OPERATIONS
};

class CCOLORBALANCEBLUE : public CDbRange {
 public:
  DB_COLOR_ACCESS_RULE_OPERATIONS
};

class CCOLORBALANCEAUTOMATICAGGRESSIVENESS : public CDbRange {
 public:
  DB_COLOR_ACCESS_RULE_OPERATIONS
};

class CCOLORBRIGHTNESSMODE : public CDbEnum {
 public:
  EOSSTS FixDefault() override;
};

class CBRIGHTNESS : public CDbRange {
 public:
  DB_COLOR_ACCESS_RULE_OPERATIONS
};

class CCONTRAST : public CDbRange {
 public:
  DB_COLOR_ACCESS_RULE_OPERATIONS
};

#undef DB_COLOR_ACCESS_RULE_OPERATIONS

static_assert(sizeof(CCOLORBALANCEMODE) == sizeof(CDbEnum));
static_assert(sizeof(CCOLORBALANCERED) == sizeof(CDbRange));
static_assert(sizeof(CCOLORBALANCEGREEN) == sizeof(CDbRange));
static_assert(sizeof(CCOLORBALANCEBLUE) == sizeof(CDbRange));
static_assert(sizeof(CCOLORBALANCEAUTOMATICAGGRESSIVENESS) == sizeof(CDbRange));
static_assert(sizeof(CCOLORBRIGHTNESSMODE) == sizeof(CDbEnum));
static_assert(sizeof(CBRIGHTNESS) == sizeof(CDbRange));
static_assert(sizeof(CCONTRAST) == sizeof(CDbRange));
