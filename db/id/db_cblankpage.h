// Blank-page detection of each camera: BLANKPAGEMODE (32, "blankimagemode":
// 1 size, 2 none, 3 content), the content share below which a page counts as
// blank (31, "blankimagecontent") and the size in bytes below which it does
// (33, "blankimagesize"). The image library judges by content only: a size
// mode goes out as none, and the size never goes out.
#pragma once

#include "db_cdbenum.h"
#include "db_cdbrange.h"

class CBLANKPAGECONTENT : public CDbRange {
 public:
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;
};

class CBLANKPAGEMODE : public CDbEnum {
 public:
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;
};

class CBLANKPAGESIZE : public CDbRange {
 public:
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
};

static_assert(sizeof(CBLANKPAGECONTENT) == sizeof(CDbRange));
static_assert(sizeof(CBLANKPAGEMODE) == sizeof(CDbEnum));
static_assert(sizeof(CBLANKPAGESIZE) == sizeof(CDbRange));
