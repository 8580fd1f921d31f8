// The frame rules: where the scan frame of every window and camera lies on
// the sheet, in 1/1200 inch. One family: the four sides share their rules,
// told apart by the side each object stands for (its id). The window-0
// object of a camera rules that camera's side in every window in use.
#pragma once

#include "db_cdbrange.h"

// The rule operations every side overrides.
#define DB_FRAME_RULE_OPERATIONS \
  EOSSTS FixAccess() override;   \
  EOSSTS FixCurrent() override;  \
  EOSSTS FixDefault() override;  \
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;

// FRAMEWIDTH (99, "imagewidth") and FRAMEHEIGHT (98, "imageheight").
class CFRAMEWIDTH : public CDbRange {
 public:
  DB_FRAME_RULE_OPERATIONS
};

class CFRAMEHEIGHT : public CDbRange {
 public:
  DB_FRAME_RULE_OPERATIONS
};

// FRAMEXOFFSET (100, "imageoffsetx") and FRAMEYOFFSET (101, "imageoffsety",
// held at 0 with long paper): each refuses an offset whose frame, turned by
// its skew angle, leaves the sheet.
class CFRAMEXOFFSET : public CDbRange {
 public:
  EOSSTS Validate(EDBID_WINDOW a_edbidwindow, long a_lValue) override;
  DB_FRAME_RULE_OPERATIONS
};

class CFRAMEYOFFSET : public CDbRange {
 public:
  EOSSTS Validate(EDBID_WINDOW a_edbidwindow, long a_lValue) override;
  DB_FRAME_RULE_OPERATIONS
};

#undef DB_FRAME_RULE_OPERATIONS

// Rule classes are their container: the catalogue builds them as one.
static_assert(sizeof(CFRAMEWIDTH) == sizeof(CDbRange));
static_assert(sizeof(CFRAMEHEIGHT) == sizeof(CDbRange));
static_assert(sizeof(CFRAMEXOFFSET) == sizeof(CDbRange));
static_assert(sizeof(CFRAMEYOFFSET) == sizeof(CDbRange));
