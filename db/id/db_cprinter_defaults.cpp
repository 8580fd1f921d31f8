// The printer classes' defaults: which capabilities the model offers, the
// ranges and lists its configuration gives, the items of the write sequence
// and the size of the write-sequence string.
#include <algorithm>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbenum.h"
#include "db_cdbrange.h"
#include "db_cdbstring.h"
#include "db_cprinter_kit.h"
#include "db_crulekit.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace dbprinter {

namespace {

constexpr char s_szPrinter[] = "printer";
constexpr char s_szPrintOnImage[] = "printonimage";
constexpr char s_szHighRes[] = "printerhighres";
constexpr char s_szWriteSequence160[] = "iawritesequence160";

// The formats whose year has two digits, which the older models lack.
constexpr long s_alTwoDigitYears[] = {DB_ID_PRINTERDATEFORMAT_ENUM_MMDDYY, DB_ID_PRINTERDATEFORMAT_ENUM_DDMMYY,
                                      DB_ID_PRINTERDATEFORMAT_ENUM_YYMMDD, DB_ID_PRINTERDATEFORMAT_ENUM_YYDDD};
// The items of the write sequence that print image-address fields.
constexpr long s_alImageAddressItems[] = {
    DB_ID_PRINTERWRITESEQUENCE_ENUM_CURRENTLEVELIA,      DB_ID_PRINTERWRITESEQUENCE_ENUM_FIXEDIA,
    DB_ID_PRINTERWRITESEQUENCE_ENUM_FULLIAALLDELIMITERS, DB_ID_PRINTERWRITESEQUENCE_ENUM_FULLIAFIXEDDELIMITERS,
    DB_ID_PRINTERWRITESEQUENCE_ENUM_FULLIANODELIMITERS,  DB_ID_PRINTERWRITESEQUENCE_ENUM_IMAGEADDRESSA,
    DB_ID_PRINTERWRITESEQUENCE_ENUM_IMAGEADDRESSB,       DB_ID_PRINTERWRITESEQUENCE_ENUM_IMAGEADDRESSC,
    DB_ID_PRINTERWRITESEQUENCE_ENUM_IMAGEADDRESSD,       DB_ID_PRINTERWRITESEQUENCE_ENUM_INDEXIA};
// What a model that prints 160 characters prints without image addressing.
constexpr size_t s_sizetPlainSequence = 40;

bool Has(CDatabase& a_database, const char* a_szKey) {
  return a_database.ConfigExists(a_szKey, DB_CONFIGTARGET_COMMON);
}

// A range the configuration gives whole (both bounds, the minimum not above
// the maximum); false, logged, for any other.
bool ConfiguredRange(CDatabase& a_database, const CDbDatum& a_dbdatumOwn, const char* a_szKey, long* a_plMin,
                     long* a_plMax) {
  if (!HasRangeKeys(a_database, a_szKey)) {
    OsLog(OS_LOG_ERROR, "rules>>> %s has no range of its own, not supported...%d", a_szKey, a_dbdatumOwn.GetId());
    return false;
  }
  *a_plMin = CRuleKit::ConfigRangeMin(a_database, a_szKey, DB_CONFIGTARGET_COMMON);
  *a_plMax = CRuleKit::ConfigRangeMax(a_database, a_szKey, DB_CONFIGTARGET_COMMON);
  if (*a_plMin > *a_plMax) {
    OsLog(OS_LOG_ERROR, "rules>>> %s runs from %ld to %ld, not supported...%d", a_szKey, *a_plMin, *a_plMax,
          a_dbdatumOwn.GetId());
    return false;
  }
  return true;
}

// The configured range with its step unchanged, the default made current;
// not supported without the kind of printing it needs (a_szNeeded, null for
// none) or when the range is missing or refused. True when supported.
bool SetUpRange(CDatabase& a_database, CDbRange& a_dbrangeOwn, const char* a_szKey, const char* a_szNeeded,
                bool a_blKeepDefault) {
  long lMin = 0;
  long lMax = 0;
  if ((a_szNeeded && !Has(a_database, a_szNeeded)) ||
      !ConfiguredRange(a_database, a_dbrangeOwn, a_szKey, &lMin, &lMax)) {
    a_dbrangeOwn.SetAccess(DB_ACCESS_NOTSUPPORTED);
    return false;
  }
  const long lDefault = a_blKeepDefault ? std::clamp(a_dbrangeOwn.GetDefaultLong(), lMin, lMax) : lMin;
  if (a_dbrangeOwn.SetDefault(lDefault, lMin, lMax, a_dbrangeOwn.GetDefaultStep()) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "rules>>> %s refuses the range %ld to %ld, not supported...%d", a_szKey, lMin, lMax,
          a_dbrangeOwn.GetId());
    a_dbrangeOwn.SetAccess(DB_ACCESS_NOTSUPPORTED);
    return false;
  }
  a_dbrangeOwn.FixDefaultReset();
  return true;
}

// An ordered list leaves the default where the resource put it; a default
// the list lacks becomes the first item listed, so that a reset never makes
// current a value the list does not offer.
void DefaultOnTheList(CDbEnum& a_dbenumOwn) {
  if (a_dbenumOwn.GetDefaultItemCount() > 0 && !a_dbenumOwn.HasDefaultItem(a_dbenumOwn.GetDefaultLong()))
    a_dbenumOwn.SetDefaultLong(a_dbenumOwn.GetDefaultItem(0));
}

// The configured values from 1 to the last, then the container's own;
// not supported when the configuration lists none the lookup knows.
void OrderedList(CDatabase& a_database, CDbEnum& a_dbenumOwn, const char* a_szKey, long a_lLast) {
  a_database.BuildOrderedListFromDbConfig(&a_dbenumOwn, 1, a_lLast, a_szKey, DB_CONFIGTARGET_COMMON);
  if (CRuleKit::UnsupportIfEmpty(&a_dbenumOwn)) return;
  DefaultOnTheList(a_dbenumOwn);
  a_dbenumOwn.CDbEnum::FixDefault();
}

void DateFormats(CDatabase& a_database, CDbEnum& a_dbenumOwn, const PrinterRow& a_printerrow) {
  if (!HasSupport(a_database)) {
    a_dbenumOwn.SetAccess(DB_ACCESS_NOTSUPPORTED);
    return;
  }
  if (a_database.ConfigEnumGetFirst(a_printerrow.szKey, DB_CONFIGTARGET_COMMON)) {
    OrderedList(a_database, a_dbenumOwn, a_printerrow.szKey, a_printerrow.lLast);
    return;
  }
  for (long lFormat : s_alTwoDigitYears) a_dbenumOwn.DeleteDefaultItem(lFormat);
  a_dbenumOwn.FixDefaultReset();
  if (CRuleKit::UnsupportIfEmpty(&a_dbenumOwn)) return;
  a_dbenumOwn.CDbEnum::FixDefault();
}

// Without image-address rules the items that print their fields go.
void Items(CDatabase& a_database, CDbEnum& a_dbenumOwn) {
  if (!HasSupport(a_database)) {
    a_dbenumOwn.SetAccess(DB_ACCESS_NOTSUPPORTED);
    return;
  }
  if (a_database.GetDbIa()) return;
  for (long lItem : s_alImageAddressItems) a_dbenumOwn.DeleteDefaultItem(lItem);
  a_dbenumOwn.FixDefaultReset();
}

// The default's first characters kept, as the string limits count them.
void SizeLimit(CDatabase& a_database, CDbString& a_dbstringOwn) {
  if (!HasSupport(a_database)) a_dbstringOwn.SetAccess(DB_ACCESS_NOTSUPPORTED);
  if (!Has(a_database, s_szWriteSequence160) || a_database.GetDbIa()) return;
  char szDefault[DB_STRING_SIZE];
  COsString::SStrCpy(szDefault, sizeof szDefault, a_dbstringOwn.GetDefaultString());
  CRuleKit::CutToCharacters(szDefault, s_sizetPlainSequence);
  if (a_dbstringOwn.SetDefaultString(szDefault) != OS_STS_SUCCESS)
    OsLog(OS_LOG_ERROR, "rules>>> write sequence default kept...%s", szDefault);
  a_dbstringOwn.SetSizetMaxString(s_sizetPlainSequence);
  a_dbstringOwn.FixDefaultReset();
}

// The kinds every container may have; false for the others.
bool FixDefaultShared(CDatabase& a_database, CDbDatum& a_dbdatumOwn, const PrinterRow& a_printerrow) {
  bool blSupported = true;
  switch (a_printerrow.printerdefault) {
    case PrinterDefault::Key:
      blSupported = Has(a_database, a_printerrow.szKey);
      break;
    case PrinterDefault::Support:
      blSupported = HasSupport(a_database);
      break;
    case PrinterDefault::FontFormat:
      blSupported = HasSupport(a_database) || Has(a_database, s_szHighRes);
      break;
    case PrinterDefault::ImageAddress:
      blSupported = a_database.GetDbIa() && HasSupport(a_database);
      break;
    default:
      return false;
  }
  if (!blSupported) a_dbdatumOwn.SetAccess(DB_ACCESS_NOTSUPPORTED);
  return true;
}

}  // namespace

void FixDefaultOf(CDbEnum& a_dbenumOwn, const PrinterRow& a_printerrow) {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase || FixDefaultShared(*pdatabase, a_dbenumOwn, a_printerrow)) return;
  switch (a_printerrow.printerdefault) {
    case PrinterDefault::Fonts:
      pdatabase->FixDefaultEnumFromDbConfig(&a_dbenumOwn, DB_CONFIGTARGET_COMMON, nullptr);
      CRuleKit::UnsupportIfEmpty(&a_dbenumOwn);
      break;
    case PrinterDefault::DateFormats:
      DateFormats(*pdatabase, a_dbenumOwn, a_printerrow);
      break;
    case PrinterDefault::OrderedList:
      OrderedList(*pdatabase, a_dbenumOwn, a_printerrow.szKey, a_printerrow.lLast);
      break;
    case PrinterDefault::Items:
      Items(*pdatabase, a_dbenumOwn);
      break;
    default:
      a_dbenumOwn.CDbEnum::FixDefault();
      break;
  }
}

void FixDefaultOf(CDbRange& a_dbrangeOwn, const PrinterRow& a_printerrow) {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase || FixDefaultShared(*pdatabase, a_dbrangeOwn, a_printerrow)) return;
  switch (a_printerrow.printerdefault) {
    case PrinterDefault::PositionRange:
      if (SetUpRange(*pdatabase, a_dbrangeOwn, a_printerrow.szKey, s_szPrinter, false))
        pdatabase->FixRangeFromPhysicalHeightAdjust(&a_dbrangeOwn, false);
      break;
    case PrinterDefault::ImagePositionRange:
      SetUpRange(*pdatabase, a_dbrangeOwn, a_printerrow.szKey, s_szPrintOnImage, false);
      break;
    case PrinterDefault::ResetValueRange:
      SetUpRange(*pdatabase, a_dbrangeOwn, a_printerrow.szKey, nullptr, true);
      break;
    default:
      a_dbrangeOwn.CDbRange::FixDefault();
      break;
  }
}

void FixDefaultOf(CDbString& a_dbstringOwn, const PrinterRow& a_printerrow) {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase || FixDefaultShared(*pdatabase, a_dbstringOwn, a_printerrow)) return;
  if (a_printerrow.printerdefault == PrinterDefault::SizeLimit) {
    SizeLimit(*pdatabase, a_dbstringOwn);
  } else {
    a_dbstringOwn.CDbString::FixDefault();
  }
}

}  // namespace dbprinter
