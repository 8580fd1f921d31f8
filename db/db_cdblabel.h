// Labels: the display texts of one language, taken from the multi-language
// LABELS resource of the library's own file, as a table from tag to text
// sorted by tag. Loading also writes the label of every capability and of
// every enumerated value into the lookup records.
#pragma once

#include "os_def.h"

class CDbLabelImpl;

class CDbLabel {
 public:
  CDbLabel();
  ~CDbLabel();
  CDbLabel(const CDbLabel&) = delete;
  CDbLabel& operator=(const CDbLabel&) = delete;

  // Loads the labels of the current language unless that language is the
  // one loaded. 0, 1 for a resource that cannot be used, 2 without memory;
  // after a failure the table loaded before stays as it was.
  EOSSTS Open();
  // With a negative index: the text of the tag, or null. With an index below
  // the entry count: the entry at that place in tag order as "tag\0text" in
  // one static buffer that the next such call overwrites (the tag is
  // ignored). Null past the end.
  const char* Get(const char* a_szTag, long a_lIndex);
  // Frees the table; the lookup records' labels become "???".
  void Close();
  // Writes the table to "PmxLabel.txt" in the directory, or in the log
  // directory when none is given.
  void Dump(const char* a_szDirectory);

 private:
  CDbLabelImpl* m_pdblabelimpl;
};
