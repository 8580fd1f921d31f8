// The printer classes' access: the access every printer capability shares,
// the imprinter's own switches and position, which the flatbed and the test
// print rule out, and printing onto the image of the sides the job scans.
#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbdatum.h"
#include "db_cprinter_kit.h"
#include "db_crulekit.h"

namespace dbprinter {

namespace {

constexpr long s_lOff = DB_ID_PRINTERENABLED_ENUM_FALSE;
constexpr long s_lOn = DB_ID_PRINTERENABLED_ENUM_TRUE;

// Reads with the fallbacks of a capability the model does not offer: the
// feeder, the imprinter and its test off, no job.
bool IsFlatbed() {
  return CRuleKit::ValueOf(DB_ID_PAPERSOURCE, DB_BIN_MACHINE, DB_ID_PAPERSOURCE_ENUM_ADF) ==
         DB_ID_PAPERSOURCE_ENUM_FLATBED;
}
bool IsTesting() { return CRuleKit::ValueOf(DB_ID_PRINTERTEST, DB_BIN_MACHINE, s_lOff) == s_lOn; }
bool IsImprinterOn() { return CRuleKit::ValueOf(DB_ID_PRINTERENABLED, DB_BIN_MACHINE, s_lOff) != s_lOff; }
long Job() { return CRuleKit::ValueOf(DB_ID_INPUTDOCUMENT, DB_BIN_MACHINE, 0); }

EDBACCESS Enabled(bool a_blEnabled) { return a_blEnabled ? DB_ACCESS_READWRITE : DB_ACCESS_DISABLED; }

// Printing onto the image of a side applies while the job scans that side;
// without a job it stays offered but disabled.
EDBACCESS ImageSide(long a_lSide) {
  const long lJob = Job();
  if (lJob == DB_ID_INPUTDOCUMENT_ENUM_TWOSIDED || lJob == a_lSide) return DB_ACCESS_READWRITE;
  return DB_ACCESS_READWRITEDISABLED;
}

// A position on the image needs the model's printing onto the image and a
// range of its own.
EDBACCESS ImagePosition(CDatabase& a_database, const char* a_szKey) {
  if (!a_database.ConfigExists("printonimage", DB_CONFIGTARGET_COMMON) || !HasRangeKeys(a_database, a_szKey))
    return DB_ACCESS_NOTSUPPORTED;
  return Enabled(a_database.IsDigitalPrintingEnabled());
}

// The printer access, hidden while the indexing is another than the image
// address; a capability the printer access leaves out stays out.
void Level(CDatabase& a_database, CDbDatum& a_dbdatumOwn) {
  a_database.FixAccessPrinterDatum(&a_dbdatumOwn);
  if (a_dbdatumOwn.GetAccess() == DB_ACCESS_NOTSUPPORTED) return;
  CDbDatum* pdbdatumFormat = CRuleKit::Supported(DB_ID_INDEXINGFORMAT, DB_BIN_MACHINE);
  if (pdbdatumFormat && pdbdatumFormat->GetCurrentLong() != DB_ID_INDEXINGFORMAT_ENUM_IMAGEADDRESS)
    a_dbdatumOwn.SetAccess(DB_ACCESS_READWRITEHIDDEN);
}

}  // namespace

void FixAccessOf(CDbDatum& a_dbdatumOwn, const PrinterRow& a_printerrow) {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase) return;
  switch (a_printerrow.printeraccess) {
    case PrinterAccess::Printer:
      pdatabase->FixAccessPrinterDatum(&a_dbdatumOwn);
      break;
    case PrinterAccess::Enabled:
      a_dbdatumOwn.SetAccess(Enabled(!IsFlatbed() && !IsTesting()));
      break;
    case PrinterAccess::Test:
      a_dbdatumOwn.SetAccess(Enabled(!IsFlatbed()));
      break;
    case PrinterAccess::Position:
      a_dbdatumOwn.SetAccess(Enabled((IsImprinterOn() && !IsFlatbed()) || IsTesting()));
      break;
    case PrinterAccess::ImageFront:
    case PrinterAccess::ImageRear:
      if (a_dbdatumOwn.GetAccess() == DB_ACCESS_NOTSUPPORTED) return;
      a_dbdatumOwn.SetAccess(ImageSide(a_printerrow.printeraccess == PrinterAccess::ImageFront
                                           ? DB_ID_INPUTDOCUMENT_ENUM_ONESIDEDFRONT
                                           : DB_ID_INPUTDOCUMENT_ENUM_ONESIDEDREAR));
      break;
    case PrinterAccess::ImagePosition:
      a_dbdatumOwn.SetAccess(ImagePosition(*pdatabase, a_printerrow.szKey));
      break;
    case PrinterAccess::Level:
      Level(*pdatabase, a_dbdatumOwn);
      break;
    case PrinterAccess::Container:
      break;
  }
}

}  // namespace dbprinter
