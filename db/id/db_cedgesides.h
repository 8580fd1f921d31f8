// The widths edge fill paints on each side of a camera's image, in 1/1200
// inch: IMAGEEDGETOP (122, "edgefilltop"), IMAGEEDGEBOTTOM (116,
// "edgefillbottom"), IMAGEEDGELEFT (120, "edgefillleft") and IMAGEEDGERIGHT
// (121, "edgefillright"). One family: a side starts at its minimum and may
// reach the whole sheet; with all sides on, top is the one setting and the
// others copy it.
#pragma once

#include "db_cdbrange.h"

// The rule operations every side overrides.
#define DB_EDGE_SIDE_RULE_OPERATIONS \
  EOSSTS FixDefault() override;      \
  EOSSTS FixAccess() override;       \
  EOSSTS FixCurrent() override;      \
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;

class CIMAGEEDGETOP : public CDbRange {
 public:
  DB_EDGE_SIDE_RULE_OPERATIONS
};

class CIMAGEEDGEBOTTOM : public CDbRange {
 public:
  DB_EDGE_SIDE_RULE_OPERATIONS
};

class CIMAGEEDGELEFT : public CDbRange {
 public:
  DB_EDGE_SIDE_RULE_OPERATIONS
};

class CIMAGEEDGERIGHT : public CDbRange {
 public:
  DB_EDGE_SIDE_RULE_OPERATIONS
};

#undef DB_EDGE_SIDE_RULE_OPERATIONS

static_assert(sizeof(CIMAGEEDGETOP) == sizeof(CDbRange));
static_assert(sizeof(CIMAGEEDGEBOTTOM) == sizeof(CDbRange));
static_assert(sizeof(CIMAGEEDGELEFT) == sizeof(CDbRange));
static_assert(sizeof(CIMAGEEDGERIGHT) == sizeof(CDbRange));
