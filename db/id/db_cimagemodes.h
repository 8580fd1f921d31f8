// The image options whose offer the model decides at start-up: the modes of
// background adjustment (14, "backgroundadjustmode") and of foreground
// boldness (97, "foregroundboldnessmode"), the halftones (105,
// "binarizationmode"), text enhancement (230) and the thin-or-thicken amount
// (231).
#pragma once

#include "db_cdbenum.h"
#include "db_cdbrange.h"

class CBACKGROUNDADJUSTMODE : public CDbEnum {
 public:
  EOSSTS FixDefault() override;
};

class CFOREGROUNDBOLDNESSMODE : public CDbEnum {
 public:
  EOSSTS FixDefault() override;
};

class CHALFTONES : public CDbEnum {
 public:
  EOSSTS FixDefault() override;
};

class CTEXTENHANCEMENT : public CDbEnum {
 public:
  EOSSTS FixDefault() override;
};

class CTHINTHICKENAMOUNT : public CDbRange {
 public:
  EOSSTS FixDefault() override;
};

static_assert(sizeof(CBACKGROUNDADJUSTMODE) == sizeof(CDbEnum));
static_assert(sizeof(CFOREGROUNDBOLDNESSMODE) == sizeof(CDbEnum));
static_assert(sizeof(CHALFTONES) == sizeof(CDbEnum));
static_assert(sizeof(CTEXTENHANCEMENT) == sizeof(CDbEnum));
static_assert(sizeof(CTHINTHICKENAMOUNT) == sizeof(CDbRange));
