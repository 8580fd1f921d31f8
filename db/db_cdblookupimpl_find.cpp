// Searches of the lookup tables: the values of one record, linear in file
// order (the first match wins).
#include <cstring>

#include "db_cdblookupimpl.h"
#include "os_coslog.h"

namespace {

// The first value of the record that the test accepts.
template <class Test>
DbLookupEnum* FirstEnum(DbLookup2* a_pdblookup2, Test a_test) {
  if (!a_pdblookup2) {
    OsLog(OS_LOG_ERROR, "a_pdblookup2 is NULL...");
    return nullptr;
  }
  if (!a_pdblookup2->pEnums) return nullptr;
  for (long l = 0; l < a_pdblookup2->lEnumCount; ++l) {
    if (a_test(a_pdblookup2->pEnums[l])) return &a_pdblookup2->pEnums[l];
  }
  return nullptr;
}

bool SameText(const char* a_szA, const char* a_szB) { return a_szA && a_szB && std::strcmp(a_szA, a_szB) == 0; }

}  // namespace

DbLookupEnum* CDbLookupImpl::FindDbEnum(DbLookup2* a_pdblookup2, long a_lValue) {
  return FirstEnum(a_pdblookup2, [&](const DbLookupEnum& a_dblookupenum) { return a_dblookupenum.lValue == a_lValue; });
}

DbLookupEnum* CDbLookupImpl::FindLexiconEnum(DbLookup2* a_pdblookup2, const char* a_szLexicon) {
  return FirstEnum(a_pdblookup2,
                   [&](const DbLookupEnum& a_dblookupenum) { return SameText(a_dblookupenum.szLexiconEnum, a_szLexicon); });
}

DbLookupEnum* CDbLookupImpl::FindLabelEnum(DbLookup2* a_pdblookup2, const char* a_szLabel) {
  return FirstEnum(a_pdblookup2,
                   [&](const DbLookupEnum& a_dblookupenum) { return SameText(a_dblookupenum.szLabel, a_szLabel); });
}
