// The diagnostic tests the scanner runs (57 to 69: backgrounds, cleaning,
// fan, elevator, feeder clutch, flatbed, lamps, image test, camera lock,
// rear exit, transport motor), each offered where the "diagnostictype" list
// of the unit in use names it: one family of enumerations ruled by one
// table from each test to its name in that list.
#pragma once

#include "db_cdbenum.h"

#define DB_DIAGNOSTIC_RULE_OPERATIONS \
  EOSSTS FixAccess() override;        \
  EOSSTS FixCurrent() override;       \
  EOSSTS FixDefault() override;

class CDIAGBACKGROUNDFRONT : public CDbEnum {
 public:
  DB_DIAGNOSTIC_RULE_OPERATIONS
};

class CDIAGBACKGROUNDREAR : public CDbEnum {
 public:
  DB_DIAGNOSTIC_RULE_OPERATIONS
};

class CDIAGCLEANMODE : public CDbEnum {
 public:
  DB_DIAGNOSTIC_RULE_OPERATIONS
};

class CDIAGCOOLINGFAN : public CDbEnum {
 public:
  DB_DIAGNOSTIC_RULE_OPERATIONS
};

class CDIAGELEVATOR : public CDbEnum {
 public:
  DB_DIAGNOSTIC_RULE_OPERATIONS
};

class CDIAGFEEDERCLUTCH : public CDbEnum {
 public:
  DB_DIAGNOSTIC_RULE_OPERATIONS
};

class CDIAGFLATBED : public CDbEnum {
 public:
  DB_DIAGNOSTIC_RULE_OPERATIONS
};

class CDIAGFRONTLAMPS : public CDbEnum {
 public:
  DB_DIAGNOSTIC_RULE_OPERATIONS
};

class CDIAGIMAGETEST : public CDbEnum {
 public:
  DB_DIAGNOSTIC_RULE_OPERATIONS
};

class CDIAGLOCKCAMERA : public CDbEnum {
 public:
  DB_DIAGNOSTIC_RULE_OPERATIONS
};

class CDIAGREAREXIT : public CDbEnum {
 public:
  DB_DIAGNOSTIC_RULE_OPERATIONS
};

class CDIAGREARLAMPS : public CDbEnum {
 public:
  DB_DIAGNOSTIC_RULE_OPERATIONS
};

class CDIAGTRANSPORTMOTOR : public CDbEnum {
 public:
  DB_DIAGNOSTIC_RULE_OPERATIONS
};

#undef DB_DIAGNOSTIC_RULE_OPERATIONS

static_assert(sizeof(CDIAGBACKGROUNDFRONT) == sizeof(CDbEnum));
static_assert(sizeof(CDIAGBACKGROUNDREAR) == sizeof(CDbEnum));
static_assert(sizeof(CDIAGCLEANMODE) == sizeof(CDbEnum));
static_assert(sizeof(CDIAGCOOLINGFAN) == sizeof(CDbEnum));
static_assert(sizeof(CDIAGELEVATOR) == sizeof(CDbEnum));
static_assert(sizeof(CDIAGFEEDERCLUTCH) == sizeof(CDbEnum));
static_assert(sizeof(CDIAGFLATBED) == sizeof(CDbEnum));
static_assert(sizeof(CDIAGFRONTLAMPS) == sizeof(CDbEnum));
static_assert(sizeof(CDIAGIMAGETEST) == sizeof(CDbEnum));
static_assert(sizeof(CDIAGLOCKCAMERA) == sizeof(CDbEnum));
static_assert(sizeof(CDIAGREAREXIT) == sizeof(CDbEnum));
static_assert(sizeof(CDIAGREARLAMPS) == sizeof(CDbEnum));
static_assert(sizeof(CDIAGTRANSPORTMOTOR) == sizeof(CDbEnum));
