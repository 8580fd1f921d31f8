// Edge fill: how the margins of each camera's image are painted
// (IMAGEEDGEFILL, 117, "edgefill": 1 none, 2 white, 3 black, 4 automatic,
// 5 automaticwithtear), whether one width serves all sides
// (IMAGEEDGEFILLALLSIDES, 118) and the all-size switch
// (IMAGEEDGEFILLALLSIZE, 119). The widths of the sides are db_cedgesides.h.
#pragma once

#include "db_cdbenum.h"

class CIMAGEEDGEFILL : public CDbEnum {
 public:
  EOSSTS FixDefault() override;
  EOSSTS FixCurrent() override;
};

class CIMAGEEDGEFILLALLSIDES : public CDbEnum {
 public:
  EOSSTS FixDefault() override;
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
};

class CIMAGEEDGEFILLALLSIZE : public CDbEnum {
 public:
  EOSSTS FixDefault() override;
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
};

static_assert(sizeof(CIMAGEEDGEFILL) == sizeof(CDbEnum));
static_assert(sizeof(CIMAGEEDGEFILLALLSIDES) == sizeof(CDbEnum));
static_assert(sizeof(CIMAGEEDGEFILLALLSIZE) == sizeof(CDbEnum));
