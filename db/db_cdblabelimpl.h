// The label table behind CDbLabel: one block holding the entries, sorted by
// tag, and behind them every tag and text, copied out of the LABELS
// resource. A load builds its table whole before it replaces the one in
// use, so a failed load leaves the previous labels (and the lookup records
// that point at them) as they were.
#pragma once

#include <cstddef>

#include "os_def.h"

class CDbResource;
struct DbResourceLabel;

// One label: its tag, a number that is always 0, and its text.
struct DbLabelEntry {
  const char* szTag;
  long lNumber;
  const char* szText;
};

class CDbLabelImpl {
 public:
  static constexpr long s_lEntriesMax = 8192;      // labels kept of one resource
  static constexpr size_t s_sizetGet = 8192;       // "tag\0text" of Get by index
  static constexpr size_t s_sizetLanguage = 14;    // the loaded language's name
  static const char s_szUnknown[];                 // "???"

  CDbLabelImpl() = default;
  ~CDbLabelImpl();
  CDbLabelImpl(const CDbLabelImpl&) = delete;
  CDbLabelImpl& operator=(const CDbLabelImpl&) = delete;

  EOSSTS Open();
  // Loads the labels of the first language of the language service's list
  // (the current one, its fallbacks, US English) that the resource holds,
  // and remembers a_szLanguage as loaded.
  EOSSTS Load(const char* a_szLanguage);
  const char* Get(const char* a_szTag, long a_lIndex);
  void Close();
  void Dump(const char* a_szDirectory);

 private:
  // One block: room for lEntriesMax entries, then the strings.
  struct Table {
    DbLabelEntry* pdblabelentry = nullptr;
    size_t sizetBlock = 0;
    size_t sizetUsed = 0;  // entries' room plus the strings copied so far
    long lEntriesMax = 0;
    long lCount = 0;
    bool blPages = false;  // page-granular (and made read-only once built)
    bool blCut = false;    // labels beyond s_lEntriesMax were left out
  };
  // What the reader's callback needs while a table is built.
  struct Build {
    Table* ptable;
    CDbResource* pdbresource;
    size_t sizetResource;
    long lColumn;
  };

  // The column of the first language of the list that the column list
  // holds (1 for one without its number).
  static EOSSTS ChooseColumn(const char* a_pcResource, size_t a_sizetResource, long* a_plColumn);
  static EOSSTS BuildTable(const void* a_pvResource, size_t a_sizetResource, long a_lColumn, Table* a_ptable);
  static EOSSTS CollectLabel(const DbResourceLabel* a_pdbresourcelabel, void* a_pvUser);
  static EOSSTS Reserve(Build* a_pbuild);
  static const char* CopyString(Table* a_ptable, const char* a_sz);
  static void FreeTable(Table* a_ptable);
  // The text of a tag in the table in use; null when there is none.
  const char* Find(const char* a_szTag) const;
  // Writes every capability's and value's label into the lookup records:
  // from the table, or "???" when a_blReset.
  void WriteLookup(bool a_blReset);
  // Whether the lookup records hold no labels at all (they were loaded
  // after the table wrote its labels).
  static bool LookupUnlabelled();
  void WriteColorTables();

  Table m_table;
  char m_szLanguage[s_sizetLanguage] = {};
};
