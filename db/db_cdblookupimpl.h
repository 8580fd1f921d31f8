// The lookup tables behind CDbLookup.
#pragma once

#include "db_cdblookup.h"

class CDbLookupImpl {
 public:
  DbLookupEnum* FindDbEnum(DbLookup2* a_pdblookup2, long a_lValue);
  DbLookupEnum* FindLexiconEnum(DbLookup2* a_pdblookup2, const char* a_szLexicon);
  DbLookupEnum* FindLabelEnum(DbLookup2* a_pdblookup2, const char* a_szLabel);
};
