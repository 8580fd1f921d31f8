// The colour-dropout lists as the dropout rules read them: the scanner's
// list and the custom list (both filled by the device engine), and what
// every dropout rule shares.
//
// The texts of a record come from the device: every read is bounded by its
// field, so a text that fills its field without a terminator neither runs
// past it nor into the next record.
#pragma once

#include "db_cdatabase.h"

class CDbEnum;

// A list: its records, in table order, and how many the table holds.
struct DbEcdoList {
  DbEcdoRecord* pdbecdorecord;
  long lCount;
};

class CEcdoLists {
 public:
  // The highest value of each list: its last lookup entry.
  static constexpr long s_lLastEcdo = DB_ID_ECDO_ENUM_FILE60;
  static constexpr long s_lLastEcdoCustom = DB_ID_ECDOCUSTOM_ENUM_FILE08;

  static DbEcdoList Scanner(CDatabase& a_database);
  static DbEcdoList Custom(CDatabase& a_database);

  // A record ends its list when it has no value or no name.
  static bool Ends(const DbEcdoRecord& a_dbecdorecord);
  // The record of a value within the list; null when none has it.
  static DbEcdoRecord* Find(const DbEcdoList& a_dbecdolist, long a_lValue);
  // The kind compared whole: "pmcdo" is no "pmcdox".
  static bool IsKind(const DbEcdoRecord& a_dbecdorecord, const char* a_szKind);
  static bool AnyOfKind(const DbEcdoList& a_dbecdolist, const char* a_szKind);
  // The name (or flatbed name) of a value's record into a buffer of the
  // field's size; false, and nothing written, when the list has no names or
  // no record of that value.
  static bool NameOf(const DbEcdoList& a_dbecdolist, long a_lValue, bool a_blFlatbed,
                     char (&a_szName)[sizeof DbEcdoRecord::szName]);

  // Every text of every record ends within its field, so that the lookup
  // can point at them.
  static void Terminate(const DbEcdoList& a_dbecdolist);
  // The named records after the first in ascending byte order of their
  // labels: passes of swaps of neighbours, until one swaps nothing.
  static void SortByLabel(const DbEcdoList& a_dbecdolist);
  // Values from the second record on, while it is named: 3, 4, ... up to
  // a_lLast; the records after carry none, so the list ends there.
  static void Number(const DbEcdoList& a_dbecdolist, long a_lLast);
  // The default list holds every value of the list, in table order; each
  // value's lookup entry takes the record's label and, with a_blNames, its
  // name as its lexicon (tasks and profiles then name it as the scanner
  // does). An entry the lookup lacks stays as it was.
  static void Offer(CDatabase& a_database, CDbEnum& a_dbenumOwn, const DbEcdoList& a_dbecdolist, bool a_blNames);

  // Once after each rebuild (the flag tells), when the capability is
  // offered: the texts terminated, sorted by label when asked, numbered.
  static void PrepareOnce(CDatabase& a_database, bool& a_blPrepared, EDBID a_edbid, const DbEcdoList& a_dbecdolist,
                          long a_lLast, bool a_blSortByLabel);
  // The default fix of a list's enumeration up to its reset: the list
  // prepared afresh (a_pfnLoad) and offered. False when the enumeration is
  // not offered, the image library being forced off or the list empty: the
  // fix stops there.
  static bool Rebuild(CDatabase& a_database, CDbEnum& a_dbenumOwn, bool& a_blPrepared,
                      EOSSTS (*a_pfnLoad)(CDbEnum*), const DbEcdoList& a_dbecdolist, bool a_blNames);

  // A dropout applies to bitonal output (read-write there with
  // a_blBitonal, else left as it is) and to a colour camera only while it
  // gives grey; another bin is logged and left.
  static void FixAccess(CDbDatum& a_dbdatumOwn, bool a_blBitonal);

  // NEXIL is supported and ForceNexilOff is set: the dropouts are not
  // offered at all.
  static bool IsNexilForcedOff();
};
