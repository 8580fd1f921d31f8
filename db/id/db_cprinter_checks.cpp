// The printer classes' checks and the values that follow them: the date and
// time the imprinter prints, the counter's digits, the counter and its reset
// value checked again when printing or the digits change, the position kept
// within the sheet, and one patch event that does not both count and reset
// the counter.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbenum.h"
#include "db_cdbia.h"
#include "db_cdbrange.h"
#include "db_cdbstring.h"
#include "db_cprinter_kit.h"
#include "db_crulekit.h"
#include "os_coslog.h"

namespace dbprinter {

namespace {

constexpr char s_szExceedsDigits[] = "E_EXCEEDSMAXIMUMDIGITS";
// What the counter and its reset value are checked again after.
constexpr unsigned s_uRevalidateIndex = s_uFollowEnabled | s_uFollowDigits | s_uFollowFront | s_uFollowRear;
constexpr long s_lNoPatch = 1;  // everysheet for the increment, never for the reset
constexpr long s_lFirstPatch = 2;
constexpr long s_lLastPatch = 6;

// Bytes, not characters: a byte outside 0 to 9 (a multibyte digit, a byte
// above 127) is no digit.
bool Digits(const char* a_sz, size_t a_sizetCount, long* a_plNumber) {
  long lNumber = 0;
  for (size_t sizet = 0; sizet < a_sizetCount; ++sizet) {
    if (a_sz[sizet] < '0' || a_sz[sizet] > '9') return false;
    lNumber = lNumber * 10 + (a_sz[sizet] - '0');
  }
  *a_plNumber = lNumber;
  return true;
}

// Gregorian: every fourth year, but not every hundredth unless every
// four hundredth.
long DaysIn(long a_lMonth, long a_lYear) {
  static constexpr long s_alDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool blLeap = a_lYear % 400 == 0 || (a_lYear % 4 == 0 && a_lYear % 100 != 0);
  return a_lMonth == 2 && blLeap ? 29 : s_alDays[a_lMonth - 1];
}

// The value a counter the printer settings refuse falls back to: 0, or the
// nearest bound of a range without it.
long Fallback(CDbRange& a_dbrangeOwn) { return std::clamp(0L, a_dbrangeOwn.GetMin(), a_dbrangeOwn.GetMax()); }

// The counter and its reset value: 0 when checked again and refused (for
// the reset value, refused as a value rather than as one not to be
// changed).
void Revalidate(CDbRange& a_dbrangeOwn, bool a_blKeepUnmodifiable) {
  const EOSSTS eossts = a_dbrangeOwn.Validate(0, a_dbrangeOwn.GetCurrentLongNoCallback());
  if (eossts == OS_STS_SUCCESS || (a_blKeepUnmodifiable && eossts == DB_EOSSTS_NOTMODIFIABLE)) return;
  a_dbrangeOwn.SetCurrentLong(Fallback(a_dbrangeOwn));
}

// The counter's check: no more digits than the printer prints while it
// prints (the sign counts), then the range.
EOSSTS ValidateIndex(CDbRange& a_dbrangeOwn, EDBID_WINDOW a_edbidwindow, long a_lValue) {
  if (CRuleKit::IsRelaxed() || CRuleKit::IsLoading()) return OS_STS_SUCCESS;
  CDatabase* pdatabase = CRuleKit::Database();
  if (pdatabase && (pdatabase->IsPhysicalPrintingEnabled() || pdatabase->IsDigitalPrintingEnabled())) {
    const long lDigits = CRuleKit::ValueOf(DB_ID_PRINTERINDEXDIGITS, DB_BIN_MACHINE, LONG_MAX);
    char szValue[32];
    const int iLength = std::snprintf(szValue, sizeof szValue, "%ld", a_lValue);
    if (iLength > lDigits) {
      OsLog(OS_LOG_ERROR, a_dbrangeOwn.GetId() == DB_ID_PRINTERINDEX
                              ? "Length of printer index exceed the maximum number of digits"
                              : "Length of printer index reset value exceeds the maximum number of digits");
      pdatabase->SetLastPrinterError(s_szExceedsDigits);
      return DB_EOSSTS_REFUSED;
    }
  }
  return a_dbrangeOwn.CDbRange::Validate(a_edbidwindow, a_lValue);
}

// A setting that changes the printed lines: the container's check between
// the skip rules and the composition.
template <class Container>
EOSSTS ValidateComposed(Container& a_containerOwn, EDBID_WINDOW a_edbidwindow, long a_lValue) {
  EOSSTS eossts = OS_STS_SUCCESS;
  if (CompositionSettled(&eossts)) return eossts;
  eossts = a_containerOwn.Container::Validate(a_edbidwindow, a_lValue);
  return eossts != OS_STS_SUCCESS ? eossts : Compose(a_containerOwn.GetId(), a_lValue, nullptr);
}

}  // namespace

bool IsPrinterDate(const char* a_szText) {
  if (!a_szText) return false;
  if (!*a_szText) return true;
  long lYear = 0;
  long lMonth = 0;
  long lDay = 0;
  if (std::strlen(a_szText) != 10 || a_szText[4] != '/' || a_szText[7] != '/' || !Digits(a_szText, 4, &lYear) ||
      !Digits(a_szText + 5, 2, &lMonth) || !Digits(a_szText + 8, 2, &lDay))
    return false;
  return lMonth >= 1 && lMonth <= 12 && lDay >= 1 && lDay <= DaysIn(lMonth, lYear);
}

bool IsPrinterTime(const char* a_szText) {
  if (!a_szText) return false;
  if (!*a_szText) return true;
  long lHours = 0;
  long lMinutes = 0;
  if (std::strlen(a_szText) != 5 || a_szText[2] != ':' || !Digits(a_szText, 2, &lHours) ||
      !Digits(a_szText + 3, 2, &lMinutes))
    return false;
  return lHours <= 23 && lMinutes <= 59;
}

EOSSTS ValidateOf(CDbEnum& a_dbenumOwn, const PrinterRow& a_printerrow, EDBID_WINDOW a_edbidwindow, long a_lValue) {
  if (a_printerrow.printercheck == PrinterCheck::Composition)
    return ValidateComposed(a_dbenumOwn, a_edbidwindow, a_lValue);
  return a_dbenumOwn.CDbEnum::Validate(a_edbidwindow, a_lValue);
}

EOSSTS ValidateOf(CDbRange& a_dbrangeOwn, const PrinterRow& a_printerrow, EDBID_WINDOW a_edbidwindow, long a_lValue) {
  if (a_printerrow.printercheck == PrinterCheck::Index) return ValidateIndex(a_dbrangeOwn, a_edbidwindow, a_lValue);
  if (a_printerrow.printercheck == PrinterCheck::Composition)
    return ValidateComposed(a_dbrangeOwn, a_edbidwindow, a_lValue);
  return a_dbrangeOwn.CDbRange::Validate(a_edbidwindow, a_lValue);
}

// The write sequence and the messages are judged by the lines they print
// (db_cprinter_sequence.cpp). A date or a time is taken as it comes while a
// profile or the resource loads, whatever the application's relaxed checks.
EOSSTS ValidateOf(CDbString& a_dbstringOwn, const PrinterRow& a_printerrow, EDBID_WINDOW a_edbidwindow,
                  const char* a_szValue) {
  if (a_printerrow.printercheck == PrinterCheck::Sequence) return ValidateSequence(a_dbstringOwn, a_szValue);
  if (a_printerrow.printercheck == PrinterCheck::Message) {
    EOSSTS eossts = OS_STS_SUCCESS;
    if (CompositionSettled(&eossts)) return eossts;
    return ValidateMessage(a_dbstringOwn, a_dbstringOwn.CDbString::Validate(a_edbidwindow, a_szValue), a_szValue);
  }
  const bool blDate = a_printerrow.printercheck == PrinterCheck::Date;
  if (!blDate && a_printerrow.printercheck != PrinterCheck::Time)
    return a_dbstringOwn.CDbString::Validate(a_edbidwindow, a_szValue);
  if (CRuleKit::IsLoading()) return OS_STS_SUCCESS;
  const EOSSTS eossts = a_dbstringOwn.CDbString::Validate(a_edbidwindow, a_szValue);
  if (eossts != OS_STS_SUCCESS) return eossts;
  if (blDate ? IsPrinterDate(a_szValue) : IsPrinterTime(a_szValue)) return OS_STS_SUCCESS;
  OsLog(OS_LOG_ERROR, "rules>>> %s is no printer %s...%d", a_szValue, blDate ? "date (YYYY/MM/DD)" : "time (HH:MM)",
        a_dbstringOwn.GetId());
  return DB_EOSSTS_REFUSED;
}

void FixCurrentOf(CDbRange& a_dbrangeOwn, const PrinterRow& a_printerrow, CDbDatum& a_dbdatumModified) {
  const EDBID edbid = a_dbdatumModified.GetId();
  switch (a_printerrow.printercurrent) {
    case PrinterCurrent::HeightCap:
      if (edbid != DB_ID_PHYSICALHEIGHTADJUST && edbid != a_dbrangeOwn.GetId()) return;
      if (CDatabase* pdatabase = CRuleKit::Database())
        pdatabase->FixRangeFromPhysicalHeightAdjust(&a_dbrangeOwn, edbid == a_dbrangeOwn.GetId());
      break;
    case PrinterCurrent::RevalidateIndex:
      if (Follows(s_uRevalidateIndex, edbid)) Revalidate(a_dbrangeOwn, false);
      break;
    case PrinterCurrent::RevalidateResetValue:
      if (Follows(a_printerrow.uFollows, edbid)) Revalidate(a_dbrangeOwn, true);
      break;
    default:
      break;
  }
}

// Set to a patch event the other one uses, the other one counts every sheet
// or never resets.
void FixCurrentOf(CDbEnum& a_dbenumOwn, const PrinterRow& a_printerrow, CDbDatum& a_dbdatumModified) {
  if (a_printerrow.printercurrent != PrinterCurrent::Exclusion) return;
  const EDBID edbidOther =
      a_dbenumOwn.GetId() == DB_ID_PRINTERINDEXRESET ? DB_ID_PRINTERINDEXINCREMENT : DB_ID_PRINTERINDEXRESET;
  if (a_dbdatumModified.GetId() != edbidOther) return;
  const long lPatch = a_dbdatumModified.GetCurrentLongNoCallback();
  if (lPatch >= s_lFirstPatch && lPatch <= s_lLastPatch && a_dbenumOwn.GetCurrentLongNoCallback() == lPatch)
    a_dbenumOwn.SetCurrentLong(s_lNoPatch);
}

// The sequence set itself is converted before the image-address rules see
// it.
void FixCurrentOf(CDbString& a_dbstringOwn, const PrinterRow& a_printerrow, CDbDatum& a_dbdatumModified) {
  if (a_printerrow.printercurrent != PrinterCurrent::ImageAddress) return;
  if (a_dbdatumModified.GetId() == a_dbstringOwn.GetId()) ConvertSequence(a_dbstringOwn);
  CDatabase* pdatabase = CRuleKit::Database();
  if (CDbIa* pdbia = pdatabase ? pdatabase->GetDbIa() : nullptr) pdbia->FixCurrent(&a_dbstringOwn);
}

}  // namespace dbprinter
