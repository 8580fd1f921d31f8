// The image options another setting of their camera frees, one family ruled
// by one table: the aggressiveness and target of background adjustment
// (12, 13) and the aggressiveness of foreground boldness (96), which colour
// cameras offer per mode; the binarization threshold (232), the image and
// noise filters (123, 163) and the dropout filters (92 "ecdobackground",
// 93 "ecdoprocessing", 94 "ecdothreshold"), which the halftone decides; and
// the streak removal aggressiveness (227), which the streak removal switch
// decides.
#pragma once

#include "db_cdbenum.h"
#include "db_cdbrange.h"

// The rule operations of the classes whose access the table gives.
#define DB_OPTION_ACCESS_RULE_OPERATIONS \
  EOSSTS FixAccess() override;           \
  EOSSTS FixCurrent() override;

class CBACKGROUNDADJUSTAGGRESSIVENESS : public CDbRange {
 public:
  DB_OPTION_ACCESS_RULE_OPERATIONS
};

class CBACKGROUNDADJUSTAPPLYTO : public CDbEnum {
 public:
  DB_OPTION_ACCESS_RULE_OPERATIONS
};

class CFOREGROUNDBOLDNESSAGGRESSIVENESS : public CDbRange {
 public:
  DB_OPTION_ACCESS_RULE_OPERATIONS
};

class CTHRESHOLD : public CDbRange {
 public:
  DB_OPTION_ACCESS_RULE_OPERATIONS
};

class CIMAGEFILTER : public CDbEnum {
 public:
  DB_OPTION_ACCESS_RULE_OPERATIONS
};

class CNOISEFILTER : public CDbEnum {
 public:
  DB_OPTION_ACCESS_RULE_OPERATIONS
};

class CSTREAKREMOVALAGGRESSIVENESS : public CDbRange {
 public:
  DB_OPTION_ACCESS_RULE_OPERATIONS
};

// The dropout filters' access follows the halftone only when the database
// recomputes access; in a pass the processing mode keeps the two bitonal
// cameras alike and the background follows the output format.
class CFILTERTHRESHOLD : public CDbRange {
 public:
  EOSSTS FixAccess() override;
};

class CFILTERPROCESSING : public CDbEnum {
 public:
  DB_OPTION_ACCESS_RULE_OPERATIONS
};

class CFILTERBACKGROUND : public CDbRange {
 public:
  DB_OPTION_ACCESS_RULE_OPERATIONS
};

#undef DB_OPTION_ACCESS_RULE_OPERATIONS

static_assert(sizeof(CBACKGROUNDADJUSTAGGRESSIVENESS) == sizeof(CDbRange));
static_assert(sizeof(CBACKGROUNDADJUSTAPPLYTO) == sizeof(CDbEnum));
static_assert(sizeof(CFOREGROUNDBOLDNESSAGGRESSIVENESS) == sizeof(CDbRange));
static_assert(sizeof(CTHRESHOLD) == sizeof(CDbRange));
static_assert(sizeof(CIMAGEFILTER) == sizeof(CDbEnum));
static_assert(sizeof(CNOISEFILTER) == sizeof(CDbEnum));
static_assert(sizeof(CSTREAKREMOVALAGGRESSIVENESS) == sizeof(CDbRange));
static_assert(sizeof(CFILTERTHRESHOLD) == sizeof(CDbRange));
static_assert(sizeof(CFILTERPROCESSING) == sizeof(CDbEnum));
static_assert(sizeof(CFILTERBACKGROUND) == sizeof(CDbRange));
