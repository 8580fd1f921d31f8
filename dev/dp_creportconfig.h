// The reportconfig report: the scanner's settings and identity. Each child
// element is a keyword of one table row that says where its content goes (a
// capability or a configuration entry) and how it is read.
#pragma once

#include "db_def.h"
#include "dp_handlers.h"

class CDatabase;

// How a keyword's content is stored.
enum EDPCONFIGKIND : int {
  DP_CONFIG_IGNORED,       // accepted, not stored
  DP_CONFIG_MODEL,         // the model of the unit FIRMWARE names
  DP_CONFIG_SERIALNUMBER,  // configuration "serialnumber", cleaned
  DP_CONFIG_ENUM,          // an accepted word sets the value its row gives
  DP_CONFIG_NUMBER,        // the content as a number sets the value
  DP_CONFIG_TEXT,          // the content sets the text
  DP_CONFIG_FORCEDNUMBER,  // written unvalidated, as a value from the scanner
  DP_CONFIG_FORCEDTEXT,    // the same for a text
  DP_CONFIG_FORCEDDATE,    // a forced text of exactly DP_CONFIG_DATELENGTH characters
  DP_CONFIG_FORCEDENUM,    // an accepted word, written unvalidated
};

// The length of a meter's date and time ("2024/01/15 09:30:00 UTC").
constexpr size_t DP_CONFIG_DATELENGTH = 23;
// A serial number keeps at most this many characters.
constexpr size_t DP_CONFIG_SERIALLENGTH = 127;

// One accepted word and the value it stands for; a list ends at a null word.
struct DpConfigWord {
  const char* szWord;
  long lValue;
};

struct DpConfigKeyword {
  const char* szElement;
  EDBID edbid;  // DB_ID_UNDEFINED for the rows without a capability
  EDPCONFIGKIND edpconfigkind;
  const DpConfigWord* pdpconfigword;  // the enumerations' words
};

class CReportConfig {
 public:
  DP_HANDLERS_CREPORTCONFIG(DP_DECLARE_TRAMPOLINE)
  EOSSTS Handle(EDPHANDLER a_edphandler, OsXmlCallback* a_posxmlcallback);

  // The row of a keyword; null for a word not in the table.
  static const DpConfigKeyword* FindKeyword(const char* a_szElement);

 private:
  static const DpConfigKeyword s_adpconfigkeyword[];
  static const size_t s_sizetKeywords;
};
