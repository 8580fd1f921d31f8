// The lookup tables behind CDbLookup: a private copy of the LOOKUP text that
// serves as the string store (every name points into it, terminated in
// place), the records and value entries, and three sorted indexes.
#pragma once

#include <cstddef>

#include "db_cdblookup.h"
#include "os_cosmem.h"
#include "os_cosxml.h"

class CDbLookupImpl {
 public:
  static constexpr long s_lIndexMax = 512;

  CDbLookupImpl() = default;
  ~CDbLookupImpl();
  CDbLookupImpl(const CDbLookupImpl&) = delete;
  CDbLookupImpl& operator=(const CDbLookupImpl&) = delete;

  EOSSTS Open2(EDBAPI a_edbapi, const char* a_szModule, const void* a_pvData, unsigned long a_ulSize, bool a_blBind);
  DbLookup2* FindEdbid(EDBID a_edbid);
  DbLookup2* FindLexicon(const char* a_szLexicon);
  DbLookup2* FindDriverLexicon(const char* a_szTwainLexicon);
  DbLookupEnum* FindDbEnum(DbLookup2* a_pdblookup2, long a_lValue);
  DbLookupEnum* FindLexiconEnum(DbLookup2* a_pdblookup2, const char* a_szLexicon);
  DbLookupEnum* FindLabelEnum(DbLookup2* a_pdblookup2, const char* a_szLabel);
  void Dump(const char* a_szFile);
  void SetWritable(bool a_blWritable);
  long RepointEnums(DbLookup2* a_pdblookup2, const DbLookupEnumTexts* a_pdblookupenumtexts, long a_lCount);

  // Element handlers of the LOOKUP grammar and their trampolines.
  EOSSTS EnterLookup(OsXmlCallback* a_posxmlcallback);
  EOSSTS EnterSetSzDbId(OsXmlCallback* a_posxmlcallback);
  EOSSTS EnterSetDbId(OsXmlCallback* a_posxmlcallback);
  EOSSTS EnterSetLexicon(OsXmlCallback* a_posxmlcallback);
  EOSSTS EnterSetTwainGroup(OsXmlCallback* a_posxmlcallback);
  EOSSTS EnterSetTwainLexicon(OsXmlCallback* a_posxmlcallback);
  EOSSTS EnterSetSzDbIdEnum(OsXmlCallback* a_posxmlcallback);
  EOSSTS EnterSetDbIdEnum(OsXmlCallback* a_posxmlcallback);
  EOSSTS EnterSetLexiconEnum(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDbLookupImpl_EnterLookup(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDbLookupImpl_EnterSetSzDbId(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDbLookupImpl_EnterSetDbId(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDbLookupImpl_EnterSetLexicon(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDbLookupImpl_EnterSetTwainGroup(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDbLookupImpl_EnterSetTwainLexicon(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDbLookupImpl_EnterSetSzDbIdEnum(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDbLookupImpl_EnterSetDbIdEnum(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDbLookupImpl_EnterSetLexiconEnum(OsXmlCallback* a_posxmlcallback);

 private:
  // Frees the tables and takes the records back from every datum.
  void Close();
  EOSSTS CopyText(const char* a_szModule, const void* a_pvData, unsigned long a_ulSize);
  EOSSTS Parse();
  void Bind();
  void BuildIndexes();
  // The current record or value entry; null (logged) when the element comes
  // before the one that starts it.
  DbLookup2* CurrentRecord(const char* a_szElement);
  DbLookupEnum* CurrentEnum(const char* a_szElement);
  // Points at the element's content in the copy, terminated in place.
  const char* ContentText(OsXmlCallback* a_posxmlcallback);
  void* AllocPages(size_t a_sizetBytes);
  void FreePages(void*& a_pv);
  void SetAccess(void* a_pv, EOSMEMACCESS a_eosmemaccess);

  EDBAPI m_edbapi = static_cast<EDBAPI>(0);
  char m_szResource[32] = {};
  char* m_pszText = nullptr;     // the copy: document, then spare zero bytes
  size_t m_sizetText = 0;        // bytes of the document in the copy
  char* m_pszDocument = nullptr;  // after a byte-order mark
  size_t m_sizetDocument = 0;
  DbLookup2* m_pdblookup2 = nullptr;
  long m_lRecordsAllocated = 0;
  DbLookupEnum* m_pdblookupenum = nullptr;
  long m_lEnumsAllocated = 0;
  DbLookup2* m_apdblookup2Id[s_lIndexMax] = {};
  long m_lIdCount = 0;
  DbLookup2* m_apdblookup2Lexicon[s_lIndexMax] = {};
  long m_lLexiconCount = 0;
  DbLookup2* m_apdblookup2TwainLexicon[s_lIndexMax] = {};
  long m_lTwainLexiconCount = 0;
  long m_lRecord = -1;  // while loading the current record, then the count
  long m_lEnum = -1;
  bool m_blBound = false;
  bool m_blPages = false;  // the blocks are page-granular (and can be made read-only)
  COsXml* m_posxml = nullptr;
};
