// The printer rules: the imprinter that prints a line of text on each sheet
// (a model with "printer") and the printing onto the image itself (a model
// with "printonimage"). They decide which printer capabilities a model
// offers, their access while either kind of printing is on, off or tested,
// the dates, times and counters a set may store, the printed lines every
// setting they print must fit, the write sequence's forms with and without
// image addressing, and the counter's reset values and patch events kept
// apart.
//
// All of them are machine capabilities (window 0, bin 1). What each class
// rules is one row of the table in db_cprinter.cpp: its default, its
// access, the capabilities whose change reruns its access, what else its
// FixCurrent does and which check its Validate makes. Every rule operation
// below goes through that table; an operation a row leaves to the
// container is the container's own.
#pragma once

#include "db_cdbenum.h"
#include "db_cdbrange.h"
#include "db_cdbstring.h"

#define DB_PRINTER_OPERATIONS   \
  EOSSTS FixAccess() override;  \
  EOSSTS FixCurrent() override; \
  EOSSTS FixDefault() override;
#define DB_PRINTER_VALIDATE_CDbEnum EOSSTS Validate(EDBID_WINDOW a_edbidwindow, long a_lValue) override;
#define DB_PRINTER_VALIDATE_CDbRange EOSSTS Validate(EDBID_WINDOW a_edbidwindow, long a_lValue) override;
#define DB_PRINTER_VALIDATE_CDbString EOSSTS Validate(EDBID_WINDOW a_edbidwindow, const char* a_szValue) override;

// X(capability, container) of the classes that hold nothing beyond the
// table; the write-sequence string, which writes itself for the scanner,
// follows on its own.
#define DB_PRINTER_CLASSES(X)                \
  X(CARTRIDGEDETECTED, CDbEnum)              \
  X(PRINTER, CDbEnum)                        \
  X(PRINTERDATE, CDbString)                  \
  X(PRINTERDATEDELIMITER, CDbEnum)           \
  X(PRINTERDATEFORMAT, CDbEnum)              \
  X(PRINTERENABLED, CDbEnum)                 \
  X(PRINTERFONT, CDbEnum)                    \
  X(PRINTERFONTFORMAT, CDbEnum)              \
  X(PRINTERIMAGEADDRESSFORMAT, CDbEnum)      \
  X(PRINTERIMAGEADDRESSLEVEL, CDbEnum)       \
  X(PRINTERINDEX, CDbRange)                  \
  X(PRINTERINDEXDIGITS, CDbRange)            \
  X(PRINTERINDEXFORMAT, CDbEnum)             \
  X(PRINTERINDEXINCREMENT, CDbEnum)          \
  X(PRINTERINDEXRESET, CDbEnum)              \
  X(PRINTERINDEXRESETVALUE, CDbRange)        \
  X(PRINTERPOSITION, CDbRange)               \
  X(PRINTERTEST, CDbEnum)                    \
  X(PRINTERTIME, CDbString)                  \
  X(PRINTERTIMEFORMAT, CDbEnum)              \
  X(PRINTERWRITESEQUENCE, CDbEnum)           \
  X(PRINTERWRITESEQUENCEMESSAGE1, CDbString) \
  X(PRINTERWRITESEQUENCEMESSAGE2, CDbString) \
  X(PRINTERWRITESEQUENCEMESSAGE3, CDbString) \
  X(PRINTERWRITESEQUENCEMESSAGE4, CDbString) \
  X(PRINTERWRITESEQUENCEMESSAGE5, CDbString) \
  X(PRINTERWRITESEQUENCEMESSAGE6, CDbString) \
  X(PRINTONIMAGEFRONT, CDbEnum)              \
  X(PRINTONIMAGEPOSITIONX, CDbRange)         \
  X(PRINTONIMAGEPOSITIONY, CDbRange)         \
  X(PRINTONIMAGEREAR, CDbEnum)

#define DB_PRINTER_CLASS(NAME, CONTAINER) \
  class C##NAME : public CONTAINER {      \
   public:                                \
    DB_PRINTER_OPERATIONS                 \
    DB_PRINTER_VALIDATE_##CONTAINER       \
  };                                      \
  static_assert(sizeof(C##NAME) == sizeof(CONTAINER));

DB_PRINTER_CLASSES(DB_PRINTER_CLASS)

#undef DB_PRINTER_CLASS

// PRINTERWRITESEQUENCESTRING (220, "printerwritesequencestring"): the
// printer's write sequence, one code a character ("A" to "D" print the
// image-address field of that letter). Its size limit depends on the model;
// with image-address rules a sequence that prints a field no longer in use
// is wiped. A sequence set longer than its limit by whole segments is
// stored and cut back to its last segment at once; the scanner receives it
// in pieces of a printed line.
class CPRINTERWRITESEQUENCESTRING : public CDbString {
 public:
  DB_PRINTER_OPERATIONS
  DB_PRINTER_VALIDATE_CDbString
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;

 protected:
  bool TextFits(const char* a_szText) override;
};

static_assert(sizeof(CPRINTERWRITESEQUENCESTRING) == sizeof(CDbString));
