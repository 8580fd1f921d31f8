// Searches of the lookup tables: records by id and by name through the
// sorted indexes, the values of one record linearly in file order (the first
// match wins).
#include <algorithm>
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

// Binary search of a sorted index; the first of equal keys.
template <class Less, class Equal>
DbLookup2* Search(DbLookup2* const* a_apdblookup2, long a_lCount, Less a_less, Equal a_equal) {
  DbLookup2* const* ppdblookup2 = std::partition_point(a_apdblookup2, a_apdblookup2 + a_lCount, a_less);
  return ppdblookup2 != a_apdblookup2 + a_lCount && a_equal(*ppdblookup2) ? *ppdblookup2 : nullptr;
}

DbLookup2* SearchText(DbLookup2* const* a_apdblookup2, long a_lCount, const char* DbLookup2::*a_pszField,
                      const char* a_szKey) {
  if (!a_szKey) return nullptr;
  return Search(
      a_apdblookup2, a_lCount, [&](const DbLookup2* a) { return std::strcmp(a->*a_pszField, a_szKey) < 0; },
      [&](const DbLookup2* a) { return std::strcmp(a->*a_pszField, a_szKey) == 0; });
}

}  // namespace

DbLookup2* CDbLookupImpl::FindEdbid(EDBID a_edbid) {
  return Search(
      m_apdblookup2Id, m_lIdCount, [&](const DbLookup2* a) { return a->edbid < a_edbid; },
      [&](const DbLookup2* a) { return a->edbid == a_edbid; });
}

DbLookup2* CDbLookupImpl::FindLexicon(const char* a_szLexicon) {
  return SearchText(m_apdblookup2Lexicon, m_lLexiconCount, &DbLookup2::szLexicon, a_szLexicon);
}

DbLookup2* CDbLookupImpl::FindDriverLexicon(const char* a_szTwainLexicon) {
  return SearchText(m_apdblookup2TwainLexicon, m_lTwainLexiconCount, &DbLookup2::szTwainLexicon, a_szTwainLexicon);
}

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
