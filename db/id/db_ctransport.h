// The transport rules: dual stacking (a second output stack chosen by
// length, multifeed or patch), multifeed detection (ultrasonic sensitivity,
// five sensors and their ignore zone, length detection) with the response
// and the sound on a multifeed, the sheet and image counts of a job, the
// feeder timeout and its response, the paper-jam response, the feeder mode,
// document protection and automatic scanning. All are machine capabilities:
// one rule object in window 0, bin 1.
//
// One family: each class's rules are a row of a table (the default, the
// access, the capabilities it follows and how, the check of a value and
// what the scanner receives), which the five rule operations read by id.
#pragma once

#include "db_cdbenum.h"
#include "db_cdbrange.h"
#include "db_cdbstring.h"

// The five rule operations every class of the family overrides, each run as
// its row chooses; a part the row leaves to the container is the
// container's own.
#define DB_TRANSPORT_RULE_OPERATIONS(VALUE)                            \
  EOSSTS Validate(EDBID_WINDOW a_edbidwindow, VALUE a_value) override; \
  EOSSTS FixAccess() override;                                         \
  EOSSTS FixCurrent() override;                                        \
  EOSSTS FixDefault() override;                                        \
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;

// The family: each capability, its container and the value a set of it
// checks. AUTOSCAN (10, "paperondemand", 1 written "true", 2 "false"); the
// twelve of dual stacking (71 to 82); the feeder mode (91, "adfhandling");
// document protection (134); multifeed length detection, response, sound
// and sound switch (159 to 162); the sheet count (166, "sheetcount"); the
// paper-jam response (168); the timeout and its response (237, 238,
// "adftimeout"); the ultrasonic sensitivity, five sensors and ignore zone
// (239 to 245); the image count (250, "imagecount").
#define DB_TRANSPORT_CLASSES(X)                   \
  X(AUTOSCAN, CDbEnum, long)                      \
  X(DUALSTACKINGENABLED, CDbEnum, long)           \
  X(DUALSTACKINGLENGTHMODE, CDbEnum, long)        \
  X(DUALSTACKINGLENGTH1, CDbRange, long)          \
  X(DUALSTACKINGLENGTH2, CDbRange, long)          \
  X(DUALSTACKINGMULTIFEED, CDbEnum, long)         \
  X(DUALSTACKINGPATCHTRANSFER, CDbEnum, long)     \
  X(DUALSTACKINGPATCHTYPE1, CDbEnum, long)        \
  X(DUALSTACKINGPATCHTYPE2, CDbEnum, long)        \
  X(DUALSTACKINGPATCHTYPE3, CDbEnum, long)        \
  X(DUALSTACKINGPATCHTYPE4, CDbEnum, long)        \
  X(DUALSTACKINGPATCHTYPE6, CDbEnum, long)        \
  X(DUALSTACKINGSTACK, CDbEnum, long)             \
  X(FEEDERMODE, CDbEnum, long)                    \
  X(INTELLIGENTDOCUMENTPROTECTION, CDbEnum, long) \
  X(MULTIFEEDLENGTHENABLED, CDbEnum, long)        \
  X(MULTIFEEDRESPONSE, CDbEnum, long)             \
  X(MULTIFEEDSOUND, CDbString, const char*)       \
  X(MULTIFEEDSOUNDENABLED, CDbEnum, long)         \
  X(PAGECOUNT, CDbRange, long)                    \
  X(PAPERJAMRESPONSE, CDbEnum, long)              \
  X(TRANSPORTTIMEOUT, CDbRange, long)             \
  X(TRANSPORTTIMEOUTRESPONSE, CDbEnum, long)      \
  X(ULTRASONICSENSITIVITY, CDbEnum, long)         \
  X(ULTRASONICSENSORCENTER, CDbEnum, long)        \
  X(ULTRASONICSENSORLEFT, CDbEnum, long)          \
  X(ULTRASONICSENSORLEFTCENTER, CDbEnum, long)    \
  X(ULTRASONICSENSORRIGHT, CDbEnum, long)         \
  X(ULTRASONICSENSORRIGHTCENTER, CDbEnum, long)   \
  X(ULTRASONICSENSORZONEHEIGHT, CDbRange, long)   \
  X(XFERCOUNT, CDbRange, long)

// Rule classes are their container: the catalogue builds them as one.
#define DB_TRANSPORT_CLASS(NAME, CONTAINER, VALUE) \
  class C##NAME : public CONTAINER {               \
   public:                                         \
    DB_TRANSPORT_RULE_OPERATIONS(VALUE)            \
  };                                               \
  static_assert(sizeof(C##NAME) == sizeof(CONTAINER));
DB_TRANSPORT_CLASSES(DB_TRANSPORT_CLASS)
#undef DB_TRANSPORT_CLASS
#undef DB_TRANSPORT_RULE_OPERATIONS
