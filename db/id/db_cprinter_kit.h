// What the printer rules share: the row of the table each class is ruled
// by, printer support, and the rule operations by kind (defaults in
// db_cprinter_defaults.cpp, access in db_cprinter_access.cpp, checks and the
// values that follow them in db_cprinter_checks.cpp, the printed lines and
// the write sequence in db_cprinter_sequence.cpp).
#pragma once

#include "db_cdbdatum.h"
#include "db_def.h"
#include "os_def.h"

class CDatabase;
class CDbEnum;
class CDbRange;
class CDbString;

namespace dbprinter {

// How a class's FixDefault sets it up.
enum class PrinterDefault {
  Container,           // the container's own
  Key,                 // not supported unless the configuration has the row's key
  Support,             // not supported without printer support
  FontFormat,          // not supported unless "printer", "printonimage" or "printerhighres"
  Fonts,               // the values the configuration lists under the key; not supported when none
  DateFormats,         // the configured formats, or those with a four-digit year or none
  OrderedList,         // the configured values 1 to the row's last, in order; not supported without
  PositionRange,       // the imprinter's range, capped at the physical height; needs "printer"
  ImagePositionRange,  // a range on the image; needs "printonimage"
  ResetValueRange,     // the configured range, the default moved into it
  ImageAddress,        // needs the image-address rules and printer support
  Items,               // the write-sequence items, without the image-address ones when no such rules
  SizeLimit,           // the write sequence's size, 40 for a model that prints 160 without such rules
};

// What a class's FixAccess decides.
enum class PrinterAccess {
  Container,      // the container's own
  Printer,        // CDatabase::FixAccessPrinterDatum
  Enabled,        // disabled on the flatbed and during the test
  Test,           // disabled on the flatbed
  Position,       // read-write while the imprinter prints or tests
  ImageFront,     // read-write while the job scans the front
  ImageRear,      // read-write while the job scans the rear
  ImagePosition,  // read-write while printing onto the image is on
  Level,          // as Printer, hidden while the indexing is not the image address
};

// What a class's FixCurrent does beyond following (running its FixAccess).
enum class PrinterCurrent {
  None,
  HeightCap,             // the position within the physical height
  RevalidateIndex,       // an index the printer settings no longer allow becomes 0
  RevalidateResetValue,  // the same of the reset value
  Exclusion,             // one patch event does not both count and reset the index
  ImageAddress,          // the image-address rules of the write sequence
};

// What a class's Validate checks.
enum class PrinterCheck {
  Container,
  Date,         // empty or YYYY/MM/DD
  Time,         // empty or HH:MM
  Index,        // no more digits than the printer prints
  Composition,  // the printed lines, composed with the value, fit the printer
  Message,      // a message: the container's check, then the composition
  Sequence,     // the write sequence: its length, then the composition
};

// The capabilities whose change reruns a class's FixAccess.
enum : unsigned {
  s_uFollowInputDocument = 1,
  s_uFollowPaperSource = 2,
  s_uFollowEnabled = 4,
  s_uFollowTest = 8,
  s_uFollowFront = 16,
  s_uFollowRear = 32,
  s_uFollowDigits = 64,
  s_uFollowIndexingFormat = 128,
  // The printer set: whatever turns printing on or off or moves it.
  s_uFollowPrinterSet = 63,
};

struct PrinterRow {
  EDBID edbid;
  PrinterDefault printerdefault;
  const char* szKey;  // configuration key of the default (and of the access of a position on the image)
  long lLast;         // the last value an ordered list looks at
  PrinterAccess printeraccess;
  unsigned uFollows;
  PrinterCurrent printercurrent;
  PrinterCheck printercheck;
};

// The row of a class; a row of Container kinds for an id without one.
const PrinterRow& RowOf(const CDbDatum& a_dbdatum);
// Whether a modified capability is one the bits name.
bool Follows(unsigned a_uFollows, EDBID a_edbid);

// The model configures the imprinter ("printer") or printing onto the image
// ("printonimage").
bool HasSupport(CDatabase& a_database);
// The configuration has both bounds of the key's range ("_rangemin" and
// "_rangemax").
bool HasRangeKeys(CDatabase& a_database, const char* a_szKey);

// FixDefault of each container: the kinds of the row.
void FixDefaultOf(CDbEnum& a_dbenumOwn, const PrinterRow& a_printerrow);
void FixDefaultOf(CDbRange& a_dbrangeOwn, const PrinterRow& a_printerrow);
void FixDefaultOf(CDbString& a_dbstringOwn, const PrinterRow& a_printerrow);
// FixAccess of the kinds other than Container.
void FixAccessOf(CDbDatum& a_dbdatumOwn, const PrinterRow& a_printerrow);
// FixCurrent beyond following, of each container, M being the modified
// capability; a kind the container does not take does nothing.
void FixCurrentOf(CDbEnum& a_dbenumOwn, const PrinterRow& a_printerrow, CDbDatum& a_dbdatumModified);
void FixCurrentOf(CDbRange& a_dbrangeOwn, const PrinterRow& a_printerrow, CDbDatum& a_dbdatumModified);
void FixCurrentOf(CDbString& a_dbstringOwn, const PrinterRow& a_printerrow, CDbDatum& a_dbdatumModified);

// The checks of Validate, with the skip rules; a kind the container does
// not take is the container's own.
EOSSTS ValidateOf(CDbEnum& a_dbenumOwn, const PrinterRow& a_printerrow, EDBID_WINDOW a_edbidwindow, long a_lValue);
EOSSTS ValidateOf(CDbRange& a_dbrangeOwn, const PrinterRow& a_printerrow, EDBID_WINDOW a_edbidwindow, long a_lValue);
EOSSTS ValidateOf(CDbString& a_dbstringOwn, const PrinterRow& a_printerrow, EDBID_WINDOW a_edbidwindow,
                  const char* a_szValue);

// The printer's date (YYYY/MM/DD, a day of the Gregorian calendar) and time
// (HH:MM, 00:00 to 23:59) texts, counted in bytes; the empty text is a date
// and a time.
bool IsPrinterDate(const char* a_szText);
bool IsPrinterTime(const char* a_szText);

// The checks that compose the printed lines (db_cprinter_sequence.cpp).
// Settled before the container's check: the skip rules accept (0), a model
// without printer support refuses (1, logged); true when it did, with the
// status in a_peossts.
bool CompositionSettled(EOSSTS* a_peossts);
// The lines composed from the current settings with the proposed value (a
// number, or a text for a message or the write sequence) in place of the
// capability's own: 0 when they fit, 4 (logged) otherwise.
EOSSTS Compose(EDBID a_edbidProposed, long a_lValue, const char* a_szText);
// A message after the container's check (a_eosstsBase).
EOSSTS ValidateMessage(CDbString& a_dbstringOwn, EOSSTS a_eosstsBase, const char* a_szValue);
// The write sequence, in its own order.
EOSSTS ValidateSequence(CDbString& a_dbstringOwn, const char* a_szValue);
// Whether the write sequence may hold a text: within its limits, or longer
// by whole segments, which its conversion brings back within them.
bool SequenceFits(CDbString& a_dbstringOwn, const char* a_szText);
// The write sequence, when it was set itself, between its plain and its
// image-address form.
void ConvertSequence(CDbString& a_dbstringOwn);

// The arguments the write sequence goes out in: with image addressing, 40
// characters a level ("alllevels": the last 40 three times), none without
// "iawritesequence160"; else the whole text.
struct SequencePiece {
  const char* szName;
  char szText[DB_STRING_SIZE];
};
constexpr size_t s_sizetSequencePieces = 3;
// The pieces of a text (cut on character boundaries, empty beyond its end);
// their count, 0 for none (logged).
size_t SequencePieces(const char* a_szText, SequencePiece (&a_asequencepiece)[s_sizetSequencePieces]);

}  // namespace dbprinter
