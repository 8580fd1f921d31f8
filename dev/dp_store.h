// How the reply handlers store what a report says: configuration numbers,
// texts cut to the fixed fields they go into, and writes marked as values
// that come from the scanner.
#pragma once

#include <cstddef>

#include "os_cosxml.h"

class CDatabase;

// A configuration number of the keys common to both units (target 1). A
// content without digits, or a negative number, has no meaning there: it is
// stored as 0, logged.
void DpStoreConfigNumber(CDatabase& a_database, const char* a_szKey, const OsXmlCallback* a_posxmlcallback);

// The element's content into a field of that size: cut to fit (logged with
// the element) and terminated. True when it fit whole.
bool DpCopyContent(char* a_szField, size_t a_sizetField, const OsXmlCallback* a_posxmlcallback);

// A write of a value the scanner reports, marked as such for the callbacks
// that would send it back (state bit 1); a bit already set stays set.
class CDpFromScanner {
 public:
  explicit CDpFromScanner(CDatabase& a_database);
  ~CDpFromScanner();
  CDpFromScanner(const CDpFromScanner&) = delete;
  CDpFromScanner& operator=(const CDpFromScanner&) = delete;

 private:
  CDatabase& m_database;
  const bool m_blWasSet;
};
