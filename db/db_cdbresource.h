// Readers of the compiled DATABASE and LABELS resources. Both formats are
// plain UTF-8 XML without white space between elements, with their counts
// in the root as six hexadecimal digits and their numbers in lower-case
// hexadecimal, 32-bit two's complement. A reader takes a private copy of the
// text; the texts it hands out point into that copy and stay valid until the
// next read or the reader's end. Anything out of shape refuses the whole
// resource (1, with a log line).
#pragma once

#include <cstddef>

#include "db_def.h"
#include "os_def.h"

class COsXml;

// One bin of a DATABASE record.
struct DbResourceBin {
  static constexpr long s_lItemsMax = 2 * 95;  // a default and a current list

  EDBBIN edbbin;
  long lAccess;
  long lDefault;           // enumeration and range; the maximum text size of a string
  long lMin;               // range
  long lMax;
  long lStep;
  long lItems;             // enumeration: the f items (default list, then current list)
  long alItems[s_lItemsMax];
  long lCurrentItems;      // enumeration: g items, which replace the current list
  long alCurrentItems[s_lItemsMax];
  const char* szText;      // string: the default text
};

// One capability of a DATABASE resource: "E" enumeration, "R" range or "S"
// string, with the bins that are supported, in the order M, BF, BR, CF, CR.
struct DbResourceRecord {
  char cKind;
  EDBID edbid;
  long lDataType;
  long lDeviceData;
  long lBins;
  DbResourceBin adbresourcebin[5];
};

// One label: its tag and its text per column (index 0 is column 1).
struct DbResourceLabel {
  static constexpr long s_lColumnsMax = 19;

  const char* szTag;
  long lColumns;
  const char* aszText[s_lColumnsMax];
};

typedef EOSSTS (*PFNDBRESOURCERECORD)(const DbResourceRecord* a_pdbresourcerecord, void* a_pvUser);
typedef EOSSTS (*PFNDBRESOURCELABEL)(const DbResourceLabel* a_pdbresourcelabel, void* a_pvUser);

class CDbResource {
 public:
  CDbResource();
  ~CDbResource();
  CDbResource(const CDbResource&) = delete;
  CDbResource& operator=(const CDbResource&) = delete;

  // The DATABASE text: the default profile's header (GetHeader) and every
  // record, handed to the callback in file order; a callback's non-zero
  // status ends the read with that status.
  EOSSTS ReadDatabase(const void* a_pvData, size_t a_sizetData, PFNDBRESOURCERECORD a_pfn, void* a_pvUser);
  // The DATABASE text up to its header only: the records are not looked at.
  EOSSTS ReadDatabaseHeader(const void* a_pvData, size_t a_sizetData);
  const char* GetHeader() const { return m_szHeader; }

  // The LABELS text: the column of every language and every label.
  EOSSTS ReadLabels(const void* a_pvData, size_t a_sizetData, PFNDBRESOURCELABEL a_pfn, void* a_pvUser);
  // The root's record count of the text being read (known before the first
  // callback).
  long GetRecords() const { return m_lRecordsMax; }
  // The column of a language's element letter ('c' en_usa ... 'u' tr_tur); 0
  // when the resource has none.
  long GetColumn(char a_cLetter) const;

  // A number of the formats: hexadecimal, eight digits with the top bit set
  // being negative; an empty text is 0.
  static long Number(const char* a_szHex);

 private:
  EOSSTS ReadDatabase(const void* a_pvData, size_t a_sizetData, PFNDBRESOURCERECORD a_pfn, void* a_pvUser,
                      bool a_blRecords);
  EOSSTS Load(const void* a_pvData, size_t a_sizetData, const char* a_szRoot);
  EOSSTS ReadRecord(DbResourceRecord* a_pdbresourcerecord);
  EOSSTS ReadBin(char a_cKind, DbResourceBin* a_pdbresourcebin);
  EOSSTS ReadColumn();
  // The current element's name, number or text (terminated in the copy).
  bool ReadName();
  bool NameIs(const char* a_szName);
  bool ReadNumber(const char* a_szName, long* a_plValue);
  const char* Text();
  bool ReadCount(const char* a_szName, long* a_plCount);
  void Free();

  COsXml* m_posxml;
  char* m_pszCopy;
  size_t m_sizetDocument;
  const char* m_szHeader;
  long m_alColumn[DbResourceLabel::s_lColumnsMax];  // by letter 'c'..'u'
  long m_lColumns;
  long m_lRecordsMax;
  long m_lEnumsMax;
  long m_lEnums;
  char m_szName[16];
};
