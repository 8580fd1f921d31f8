// The language of the user interface (LANGUAGE 136: 1 auto, then one value
// per row of the language table, the ids of the language service). The
// rule drives the process's language service: it offers the languages the
// database lists (with their sub-languages) in the service's table order,
// makes the chosen one the process's language, reloads the labels in it and
// writes its lexicon for the scanner.
#pragma once

#include "db_cdbenum.h"

class CLANGUAGE : public CDbEnum {
 public:
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;
  EOSSTS Validate(EDBID_WINDOW a_edbidwindow, long a_lValue) override;
  // The lexicon of the language in use, whatever value is asked for.
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;
};

static_assert(sizeof(CLANGUAGE) == sizeof(CDbEnum));
