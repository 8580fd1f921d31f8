// The setting override document's reader: a front end's small XML document
// that forces the document type and the colour dropout sent to the scanner,
// whatever the settings say. Its walk stores what the document names in the
// database's override record (cleared at its "override" element), under the
// database lock, for the rules that write the device tasks. The command
// handlers derive from it; the grammar is loaded once, on the first
// document.
//
//   <override>
//     <documenttype>a DOCUMENTTYPE lexicon name</documenttype>
//     <ecdo>an entry's name in the custom or the scanner's ECDO list</ecdo>
//   </override>
#pragma once

#include "os_cosxml.h"
#include "os_def.h"

class CDatabase;

class COverride {
 public:
  COverride();
  COverride(const COverride&) = delete;
  COverride& operator=(const COverride&) = delete;

  // Registers this object as "override" and loads the grammar, the first
  // time only; the reader's status (logged) on failure.
  EOSSTS SetupDispatchTemplate();
  // Walks the document (its root must be "override") into the database's
  // override record. A name the database does not know stops the walk:
  // the record keeps what the elements before it stored.
  EOSSTS Process(const char* a_szXml, CDatabase* a_pdatabase);

  // The callbacks the grammar names: each gets the database as the walk's
  // argument; 0 goes on, 1 stops the walk.
  static EOSSTS COverride_EnterOverride(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COverride_ExitOverride(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COverride_EnterDocumenttype(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COverride_EnterEcdo(OsXmlCallback* a_posxmlcallback);

 protected:
  EOSSTS EnterOverride(OsXmlCallback* a_posxmlcallback);
  EOSSTS ExitOverride(OsXmlCallback* a_posxmlcallback);
  EOSSTS EnterDocumenttype(OsXmlCallback* a_posxmlcallback);
  EOSSTS EnterEcdo(OsXmlCallback* a_posxmlcallback);

  const char* m_szGrammar;
  COsXml m_osxml;
  bool m_blLoadGrammar;
};
