// ECDO (83, "ecdo"): the colour the scanner drops out of the page, chosen
// from the scanner's own list (values 3 on, named and labelled as the
// scanner names them; 2 is none). A dropout of several colours ("pmcdo")
// has no colour-camera form: there it stands as none.
#pragma once

#include "db_cdbenum.h"

class CECDO : public CDbEnum {
 public:
  // A multiple-colour dropout and "none" are no difference; any other pair
  // as the enumeration judges it.
  bool Compare(long a_lA, long a_lB) override;
  // Stored silently; on a colour bin a multiple-colour dropout becomes 2.
  void Copy(long a_lValue) override;
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;
};

static_assert(sizeof(CECDO) == sizeof(CDbEnum));

// Numbers the scanner's list once after each rebuild (the database's cache
// tells), when ECDO is offered: the records from the second on, while named,
// get 3, 4, ... up to 62. 0.
EOSSTS LoadEcdo(CDbEnum* a_pdbenumEcdo);
