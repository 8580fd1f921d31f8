// The custom colour dropouts the user learns on the scanner: ECDOCUSTOM (85,
// "ecdocustom", values 3 to 10 from the custom list, 2 none), which a
// scanner dropout replaces and the other way round, and the two machine
// settings written only while a custom dropout is learnt, ECDOCUSTOMCLEARDATA
// (86) and ECDOCUSTOMLEARN (87). The three exist only on models that learn
// ("ecdocustom" in the configuration).
#pragma once

#include "db_cdbenum.h"
#include "db_cdbstring.h"

class CECDOCUSTOM : public CDbEnum {
 public:
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;
};

class CECDOCUSTOMCLEARDATA : public CDbEnum {
 public:
  EOSSTS FixDefault() override;
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;
};

class CECDOCUSTOMLEARN : public CDbString {
 public:
  EOSSTS FixDefault() override;
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;
};

static_assert(sizeof(CECDOCUSTOM) == sizeof(CDbEnum));
static_assert(sizeof(CECDOCUSTOMCLEARDATA) == sizeof(CDbEnum));
static_assert(sizeof(CECDOCUSTOMLEARN) == sizeof(CDbString));

// Sorts the custom list by label and numbers it once after each rebuild
// (the database's cache tells), when ECDOCUSTOM is offered: the first record
// (none) stays first, the named records after it get 3, 4, ... up to 10. 0.
EOSSTS LoadEcdoCustom(CDbEnum* a_pdbenumEcdoCustom);

// The first step of the default fix of the learning settings (and of the
// treatment as colour): not offered while the image library is forced off
// (false: the fix stops there), nor on a model that does not learn custom
// dropouts (access 0, and the base fix follows: true).
bool EcdoLearningFixDefault(CDbDatum& a_dbdatumOwn);
