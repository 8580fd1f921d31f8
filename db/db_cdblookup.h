// Capability lookup: the records that tie each capability id to its
// identifier name, lexicon (its name in task messages), TWAIN lexicon and
// group, label and enumerated values, read from the compiled LOOKUP resource.
#pragma once

#include <cstdint>

#include "db_def.h"
#include "os_def.h"

// One enumerated value of a capability.
struct DbLookupEnum {
  const char* szDbIdEnum;     // DB_ID_XRESOLUTION_ENUM_300
  long lValue;
  const char* szLexiconEnum;  // "300_dpi"
  const char* szLabel;        // written by the labels; null before
};

// The lookup record of one capability. The texts point into the lookup's
// copy of the resource; the values of a record are consecutive.
struct DbLookup2 {
  const char* szDbId;         // DB_ID_ADDBORDER
  EDBID edbid;                // 0 when the resource gave none
  const char* szLexicon;      // empty when none
  uint64_t lTwainGroup;       // OR of the record's groups
  const char* szTwainLexicon; // empty when none
  const char* szLabel;        // written by the labels; null before
  long lEnumCount;
  DbLookupEnum* pEnums;
};

// New texts for one value of a record, found by the value; a null text
// keeps the one the value has.
struct DbLookupEnumTexts {
  long lValue;
  const char* szLexiconEnum;
  const char* szLabel;
};

class CDbLookupImpl;

class CDbLookup {
 public:
  CDbLookup();
  ~CDbLookup();
  CDbLookup(const CDbLookup&) = delete;
  CDbLookup& operator=(const CDbLookup&) = delete;

  // Loads and indexes the LOOKUP resource of the module (the library's own
  // file for "OsResourceGetLocal"), or the given data block when there is
  // one; with a_blBind every datum of the table gets its record. 0, 1 for a
  // text that cannot be read, 13 for another API, a missing resource or no
  // memory.
  EOSSTS Open2(EDBAPI a_edbapi, const char* a_szModule, const void* a_pvData, unsigned long a_ulSize, bool a_blBind);
  // The record of an id, a lexicon or a TWAIN lexicon (exact, case-sensitive).
  DbLookup2* FindEdbid(EDBID a_edbid);
  DbLookup2* FindLexicon(const char* a_szLexicon);
  DbLookup2* FindDriverLexicon(const char* a_szTwainLexicon);
  // The first of a record's values with that number, lexicon or label.
  DbLookupEnum* FindDbEnum(DbLookup2* a_pdblookup2, long a_lValue);
  DbLookupEnum* FindLexiconEnum(DbLookup2* a_pdblookup2, const char* a_szLexicon);
  DbLookupEnum* FindLabelEnum(DbLookup2* a_pdblookup2, const char* a_szLabel);
  // The records and their values are read-only once loaded (a stray write
  // faults): writers open them around their writes and close them after.
  void SetWritable(bool a_blWritable);
  // Repoints the texts of a record's values, opened for the writes; the
  // texts must outlive the lookup or the next repointing. A value the
  // record lacks is skipped. The number of values repointed.
  long RepointEnums(DbLookup2* a_pdblookup2, const DbLookupEnumTexts* a_pdblookupenumtexts, long a_lCount);
  // Writes the tables into the log directory ("PmxDbLookup" or the given
  // name, with the time of day).
  void Dump(const char* a_szFile);

 private:
  CDbLookupImpl* m_pdblookupimpl;
};
