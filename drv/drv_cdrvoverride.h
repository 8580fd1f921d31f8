// The setting override document's reader: a front end's small XML document
// that forces the document type and the colour dropout sent to the scanner.
// The command handlers derive from it; the grammar is loaded once, on the
// first document.
#pragma once

#include "os_cosxml.h"

class COverride {
 public:
  COverride();
  COverride(const COverride&) = delete;
  COverride& operator=(const COverride&) = delete;

 protected:
  const char* m_szGrammar;
  COsXml m_osxml;
  bool m_blLoadGrammar;
};
