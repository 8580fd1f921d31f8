// PRINTERWRITESEQUENCESTRING (220, "printerwritesequencestring"): the
// printer's write sequence, one code a character, where "A" to "D" print
// the image-address field of that letter.
#pragma once

#include "db_cdbstring.h"

class CPRINTERWRITESEQUENCESTRING : public CDbString {
 public:
  // With image-address rules, a sequence that prints a field no longer in
  // use is wiped.
  EOSSTS FixCurrent() override;
};

static_assert(sizeof(CPRINTERWRITESEQUENCESTRING) == sizeof(CDbString));
