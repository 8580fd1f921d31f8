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

// The five rule operations of a transport class, chosen by its row; a part
// the row leaves to the container is the container's own.
template <class Container, class Value>
class CTransportRule : public Container {
 public:
  EOSSTS Validate(EDBID_WINDOW a_edbidwindow, Value a_value) override;
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;
};

using CTransportEnum = CTransportRule<CDbEnum, long>;
using CTransportRange = CTransportRule<CDbRange, long>;
using CTransportString = CTransportRule<CDbString, const char*>;

extern template class CTransportRule<CDbEnum, long>;
extern template class CTransportRule<CDbRange, long>;
extern template class CTransportRule<CDbString, const char*>;

// The family, capability and container: AUTOSCAN (10, "paperondemand", 1
// written "true", 2 "false"); the twelve of dual stacking (71 to 82); the
// feeder mode (91, "adfhandling"); document protection (134); multifeed
// length detection, response, sound and sound switch (159 to 162); the
// sheet count (166, "sheetcount"); the paper-jam response (168); the
// timeout and its response (237, 238, "adftimeout"); the ultrasonic
// sensitivity, five sensors and ignore zone (239 to 245); the image count
// (250, "imagecount").
#define DB_TRANSPORT_CLASSES(X)                    \
  X(AUTOSCAN, CTransportEnum)                      \
  X(DUALSTACKINGENABLED, CTransportEnum)           \
  X(DUALSTACKINGLENGTHMODE, CTransportEnum)        \
  X(DUALSTACKINGLENGTH1, CTransportRange)          \
  X(DUALSTACKINGLENGTH2, CTransportRange)          \
  X(DUALSTACKINGMULTIFEED, CTransportEnum)         \
  X(DUALSTACKINGPATCHTRANSFER, CTransportEnum)     \
  X(DUALSTACKINGPATCHTYPE1, CTransportEnum)        \
  X(DUALSTACKINGPATCHTYPE2, CTransportEnum)        \
  X(DUALSTACKINGPATCHTYPE3, CTransportEnum)        \
  X(DUALSTACKINGPATCHTYPE4, CTransportEnum)        \
  X(DUALSTACKINGPATCHTYPE6, CTransportEnum)        \
  X(DUALSTACKINGSTACK, CTransportEnum)             \
  X(FEEDERMODE, CTransportEnum)                    \
  X(INTELLIGENTDOCUMENTPROTECTION, CTransportEnum) \
  X(MULTIFEEDLENGTHENABLED, CTransportEnum)        \
  X(MULTIFEEDRESPONSE, CTransportEnum)             \
  X(MULTIFEEDSOUND, CTransportString)              \
  X(MULTIFEEDSOUNDENABLED, CTransportEnum)         \
  X(PAGECOUNT, CTransportRange)                    \
  X(PAPERJAMRESPONSE, CTransportEnum)              \
  X(TRANSPORTTIMEOUT, CTransportRange)             \
  X(TRANSPORTTIMEOUTRESPONSE, CTransportEnum)      \
  X(ULTRASONICSENSITIVITY, CTransportEnum)         \
  X(ULTRASONICSENSORCENTER, CTransportEnum)        \
  X(ULTRASONICSENSORLEFT, CTransportEnum)          \
  X(ULTRASONICSENSORLEFTCENTER, CTransportEnum)    \
  X(ULTRASONICSENSORRIGHT, CTransportEnum)         \
  X(ULTRASONICSENSORRIGHTCENTER, CTransportEnum)   \
  X(ULTRASONICSENSORZONEHEIGHT, CTransportRange)   \
  X(XFERCOUNT, CTransportRange)

#define DB_TRANSPORT_CLASS(NAME, BASE) \
  class C##NAME : public BASE {};      \
  static_assert(sizeof(C##NAME) == sizeof(BASE));
DB_TRANSPORT_CLASSES(DB_TRANSPORT_CLASS)
#undef DB_TRANSPORT_CLASS

// Rule classes are their container: the catalogue builds them as one.
static_assert(sizeof(CTransportEnum) == sizeof(CDbEnum));
static_assert(sizeof(CTransportRange) == sizeof(CDbRange));
static_assert(sizeof(CTransportString) == sizeof(CDbString));
