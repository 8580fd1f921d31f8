// ECDO: a dropout of several colours, which the scanner lists among its
// dropout entries, has no colour-camera form: there it stands as "none" (2).
#pragma once

#include "db_cdbenum.h"

class CECDO : public CDbEnum {
 public:
  // A multiple-colour dropout and "none" are no difference; any other pair
  // as the enumeration judges it.
  bool Compare(long a_lA, long a_lB) override;
  // Stored silently; on a colour bin a multiple-colour dropout becomes 2.
  void Copy(long a_lValue) override;
};
