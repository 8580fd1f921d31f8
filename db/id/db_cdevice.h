// Settings of the scanner itself: the log it reports (LOG 142, "logtype"),
// its power-off timeout in minutes (POWEROFFTIMEOUT 186) and whether the
// timeout is on (POWEROFFTIMEOUTENABLED 187: 1 off, 2 on), whether a
// preview refreshes (PREVIEWUPDATE 192: 1 off, 2 on), and its serial number
// (SERIALNUMBER 225, the container's behaviour alone).
#pragma once

#include "db_cdbenum.h"
#include "db_cdbrange.h"
#include "db_cdbstring.h"

class CLOG : public CDbEnum {
 public:
  EOSSTS FixAccess() override;
};

class CPOWEROFFTIMEOUT : public CDbRange {
 public:
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
};

class CPOWEROFFTIMEOUTENABLED : public CDbEnum {
 public:
  EOSSTS FixAccess() override;
  EOSSTS FixDefault() override;
};

class CPREVIEWUPDATE : public CDbEnum {
 public:
  EOSSTS FixDefault() override;
};

class CSERIALNUMBER : public CDbString {};

static_assert(sizeof(CLOG) == sizeof(CDbEnum));
static_assert(sizeof(CPOWEROFFTIMEOUT) == sizeof(CDbRange));
static_assert(sizeof(CPOWEROFFTIMEOUTENABLED) == sizeof(CDbEnum));
static_assert(sizeof(CPREVIEWUPDATE) == sizeof(CDbEnum));
static_assert(sizeof(CSERIALNUMBER) == sizeof(CDbString));
