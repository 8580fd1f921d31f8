// The printer strings: a print template (one character a token) turned into
// the four strings the imprinter or the print-on-image receives, the text of
// one token with the current settings (what the image-address rules measure
// printed texts with), and the access every printer capability shares.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {

// A token's text that would not fit its buffer: refused by the callers.
constexpr EOSSTS s_eosstsNoRoom = OS_STS_NOROOM_BUFFER;

constexpr char s_szPrinter[] = "printer";
constexpr char s_szPrintOnImage[] = "printonimage";
constexpr char s_szExceedsMaximum[] = "E_EXCEEDSMAXIMUM";

// By PRINTERDATEDELIMITER, from 1.
constexpr const char* s_aszDelimiter[] = {"", "/", "-", ".", " "};
// By PRINTERDATEFORMAT, from 1; %s stands for the delimiter.
constexpr const char* s_aszDatePattern[] = {"MM%sDD%sYYYY", "MM%sDD%sYY", "DD%sMM%sYYYY", "DD%sMM%sYY", "YYYY%sMM%sDD",
                                            "YY%sMM%sDD",   "DDD",        "YYYY%sDDD",    "YY%sDDD"};
// By PRINTERTIMEFORMAT, from 0.
constexpr const char* s_aszTimePattern[] = {"HH:MM",    "HH:mm",       "HH:mm:ss", "HH:mm:ss.xx", "hh:mm",
                                            "hh:mm:ss", "hh:mm:ss.xx", "hh:mm tt", "hh:mm:ss tt", "hh:mm:ss.xx tt"};

constexpr long s_lIndexFormatCompress = 1;  // zeros become "<"
constexpr long s_lIndexFormatDisplay = 2;   // zeros stay
constexpr long s_lIndexFormatSuppress = 3;  // zeros become "_"

constexpr long s_lOn = 2;  // a boolean capability switched on
constexpr long s_lPaperSourceFlatbed = 3;

// Where the tokens take their values from: the arguments of a composition
// or the current settings. Each value is read only when a token needs it.
class PrinterValues {
 public:
  virtual ~PrinterValues() = default;
  virtual long Delimiter() = 0;
  virtual long DateFormat() = 0;
  virtual long Index() = 0;
  virtual long IndexDigits() = 0;
  virtual long IndexFormat() = 0;
  virtual long TimeFormat() = 0;
  virtual const char* Message(int a_iMessage) = 0;     // 0..5, null for none
  virtual const char* ImageAddress(int a_iLevel) = 0;  // 0..3 for A..D, null for none
};

struct ArgumentValues final : PrinterValues {
  long lDelimiter, lDateFormat, lIndex, lIndexDigits, lIndexFormat, lTimeFormat;
  const char* aszMessage[6];
  const char* aszImageAddress[4];
  long Delimiter() override { return lDelimiter; }
  long DateFormat() override { return lDateFormat; }
  long Index() override { return lIndex; }
  long IndexDigits() override { return lIndexDigits; }
  long IndexFormat() override { return lIndexFormat; }
  long TimeFormat() override { return lTimeFormat; }
  const char* Message(int a_iMessage) override { return aszMessage[a_iMessage]; }
  const char* ImageAddress(int a_iLevel) override { return aszImageAddress[a_iLevel]; }
};

// The machine datums of window 0.
class SettingValues final : public PrinterValues {
 public:
  explicit SettingValues(CDatabase& a_database) : m_database(a_database) {}
  long Delimiter() override { return Current(DB_ID_PRINTERDATEDELIMITER); }
  long DateFormat() override { return Current(DB_ID_PRINTERDATEFORMAT); }
  long Index() override { return Current(DB_ID_PRINTERINDEX); }
  long IndexDigits() override { return Current(DB_ID_PRINTERINDEXDIGITS); }
  long IndexFormat() override { return Current(DB_ID_PRINTERINDEXFORMAT); }
  // A model without time formats prints the first.
  long TimeFormat() override {
    return m_database.IsIdSupported(DB_ID_PRINTERTIMEFORMAT) ? Current(DB_ID_PRINTERTIMEFORMAT) : 0;
  }
  const char* Message(int a_iMessage) override {
    return SupportedText(static_cast<EDBID>(DB_ID_PRINTERWRITESEQUENCEMESSAGE1 + a_iMessage));
  }
  const char* ImageAddress(int a_iLevel) override {
    return SupportedText(static_cast<EDBID>(DB_ID_IMAGEADDRESS_A + a_iLevel));
  }

 private:
  long Current(EDBID a_edbid) { return m_database.GetCurrentLong(m_database.FindDirect(DB_BIN_MACHINE, a_edbid)); }
  const char* SupportedText(EDBID a_edbid) {
    CDbDatum* pdbdatum = m_database.FindDirect(DB_BIN_MACHINE, a_edbid);
    return pdbdatum && pdbdatum->GetAccess() != DB_ACCESS_NOTSUPPORTED ? m_database.GetCurrentString(pdbdatum)
                                                                       : nullptr;
  }
  CDatabase& m_database;
};

char FoldUpper(char a_c) { return a_c >= 'a' && a_c <= 'z' ? static_cast<char>(a_c - 'a' + 'A') : a_c; }

// A text copied whole into the token's buffer, or not at all.
EOSSTS PutText(char* a_szText, size_t a_sizetText, const char* a_szSource) {
  if (!a_szSource) return OS_STS_SUCCESS;
  const size_t sizetSource = std::strlen(a_szSource);
  if (sizetSource >= a_sizetText) return s_eosstsNoRoom;
  std::memcpy(a_szText, a_szSource, sizetSource + 1);
  return OS_STS_SUCCESS;
}

// The delimiter's text, or null (logged) for a value outside the table.
const char* DelimiterText(long a_lDelimiter) {
  if (a_lDelimiter >= 1 && a_lDelimiter <= static_cast<long>(std::size(s_aszDelimiter)))
    return s_aszDelimiter[a_lDelimiter - 1];
  OsLog(OS_LOG_ERROR, "Invalid printer delimiter %ld", a_lDelimiter);
  return nullptr;
}

EOSSTS PutDate(PrinterValues& a_values, char* a_szText, size_t a_sizetText) {
  const char* szDelimiter = DelimiterText(a_values.Delimiter());
  if (!szDelimiter) return DB_EOSSTS_REFUSED;
  const long lFormat = a_values.DateFormat();
  if (lFormat < 1 || lFormat > static_cast<long>(std::size(s_aszDatePattern))) {
    OsLog(OS_LOG_ERROR, "Invalid printer date format %ld", lFormat);
    return DB_EOSSTS_REFUSED;
  }
  std::string strDate;
  for (const char* sz = s_aszDatePattern[lFormat - 1]; *sz; ++sz) {
    if (sz[0] == '%' && sz[1] == 's') {
      strDate += szDelimiter;
      ++sz;
    } else {
      strDate += *sz;
    }
  }
  return PutText(a_szText, a_sizetText, strDate.c_str());
}

EOSSTS PutTime(PrinterValues& a_values, char* a_szText, size_t a_sizetText) {
  const long lFormat = a_values.TimeFormat();
  if (lFormat < 0 || lFormat >= static_cast<long>(std::size(s_aszTimePattern))) {
    OsLog(OS_LOG_ERROR, "Invalid printer time format %ld", lFormat);
    return DB_EOSSTS_REFUSED;
  }
  return PutText(a_szText, a_sizetText, s_aszTimePattern[lFormat]);
}

// The index with as many digits as asked for; the index format then turns
// its zeros into a fill: every zero, or (a_blLeadingOnly) those before the
// first other digit.
EOSSTS PutCounter(PrinterValues& a_values, bool a_blLeadingOnly, char* a_szText, size_t a_sizetText) {
  const long lFormat = a_values.IndexFormat();
  char cFill = '\0';
  if (lFormat == s_lIndexFormatCompress) {
    cFill = '<';
  } else if (lFormat == s_lIndexFormatSuppress) {
    cFill = '_';
  } else if (lFormat != s_lIndexFormatDisplay) {
    OsLog(OS_LOG_ERROR, "Invalid printer index format %ld", lFormat);
    return DB_EOSSTS_REFUSED;
  }
  // A width beyond the buffer cannot fit anyway; keep it within an int.
  const long lDigits = std::clamp(a_values.IndexDigits(), 0L, static_cast<long>(a_sizetText));
  const int iLength = std::snprintf(a_szText, a_sizetText, "%0*ld", static_cast<int>(lDigits), a_values.Index());
  if (iLength < 0 || static_cast<size_t>(iLength) >= a_sizetText) {
    a_szText[0] = '\0';
    return s_eosstsNoRoom;
  }
  if (!cFill) return OS_STS_SUCCESS;
  for (char* sz = a_szText; *sz; ++sz) {
    if (*sz == '0') {
      *sz = cFill;
    } else if (a_blLeadingOnly && *sz >= '1' && *sz <= '9') {
      break;
    }
  }
  return OS_STS_SUCCESS;
}

// One token's text into a_szText (emptied first): 0; 4 refused (logged);
// s_eosstsNoRoom when the text does not fit.
EOSSTS PutToken(char a_cToken, PrinterValues& a_values, bool a_blLeadingZerosOnly, char* a_szText, size_t a_sizetText) {
  a_szText[0] = '\0';
  if (a_cToken >= '1' && a_cToken <= '6') return PutText(a_szText, a_sizetText, a_values.Message(a_cToken - '1'));
  if (a_cToken >= 'A' && a_cToken <= 'D') return PutText(a_szText, a_sizetText, a_values.ImageAddress(a_cToken - 'A'));
  switch (a_cToken) {
    case ' ':
      return PutText(a_szText, a_sizetText, " ");
    case '#':
    case 'Z':
      return OS_STS_SUCCESS;
    case 'S':
      return PutCounter(a_values, a_blLeadingZerosOnly, a_szText, a_sizetText);
    case 'T':
      return PutTime(a_values, a_szText, a_sizetText);
    case 'Y':
      return PutDate(a_values, a_szText, a_sizetText);
    default:
      OsLog(OS_LOG_ERROR, "Invalid template defined %c", a_cToken);
      return DB_EOSSTS_REFUSED;
  }
}

bool HasPrinter(CDatabase& a_database) {
  return a_database.ConfigExists(s_szPrinter, DB_EDBCONFIGTARGET_COMMON) ||
         a_database.ConfigExists(s_szPrintOnImage, DB_EDBCONFIGTARGET_COMMON);
}

// A machine boolean that is on; with a_blReadWrite only while read-write.
bool IsOn(CDatabase& a_database, EDBID a_edbid, bool a_blReadWrite) {
  CDbDatum* pdbdatum = a_database.FindDirect(DB_BIN_MACHINE, a_edbid);
  if (!pdbdatum) return false;
  const EDBACCESS edbaccess = pdbdatum->GetAccess();
  if (a_blReadWrite ? edbaccess != DB_ACCESS_READWRITE : edbaccess == DB_ACCESS_NOTSUPPORTED) return false;
  return pdbdatum->GetCurrentLong() == s_lOn;
}

}  // namespace

// ---------------------------------------------------------------------------
// Composition
// ---------------------------------------------------------------------------
// Everything that refuses without writing comes first: the delimiter, then
// whether the template fits the strings. With image addressing a string
// takes a quarter of the maximum length, so a maximum below 4 leaves no
// room at all, and a template beyond four quarters would need a fifth
// string. Without it everything goes to the first string, which the length
// check below judges after composing (the rules let an over-long text
// through and trim it).
EOSSTS CDatabase::ConstructPrinterStrings(char a_aszString[DB_PRINTER_STRINGS][DB_PRINTER_STRING_SIZE],
                                          const char* a_szTemplate, long a_lDelimiter, long a_lDateFormat,
                                          long a_lIndex, long a_lIndexDigits, long a_lIndexFormat, long a_lTimeFormat,
                                          const char* a_szMessage1, const char* a_szMessage2, const char* a_szMessage3,
                                          const char* a_szMessage4, const char* a_szMessage5, const char* a_szMessage6,
                                          const char* a_szImageAddressA, const char* a_szImageAddressB,
                                          const char* a_szImageAddressC, const char* a_szImageAddressD) {
  if (!a_aszString || !a_szTemplate) {
    OsLog(OS_LOG_ERROR, "a_szString or a_szTemplate is null...");
    return DB_EOSSTS_REFUSED;
  }
  if (!DelimiterText(a_lDelimiter)) return DB_EOSSTS_REFUSED;

  const size_t sizetMaxLength = StringGetMaxLength(FindDirect(DB_BIN_MACHINE, DB_ID_PRINTERWRITESEQUENCESTRING));
  const bool blSplit = IsIdSupported(DB_ID_IMAGEADDRESS);
  const size_t sizetPerString = sizetMaxLength / DB_PRINTER_STRINGS;
  if (blSplit && sizetPerString == 0) {
    OsLog(OS_LOG_ERROR, "Print string maximum %zu is too short to split...", sizetMaxLength);
    return DB_EOSSTS_REFUSED;
  }
  const size_t sizetTemplateMax = sizetPerString * DB_PRINTER_STRINGS;
  const size_t sizetTemplate = std::strlen(a_szTemplate);
  if (blSplit && sizetTemplate > sizetTemplateMax) {
    OsLog(OS_LOG_ERROR, "Template of %zu characters exceeds the %zu allowed...", sizetTemplate, sizetTemplateMax);
    return DB_EOSSTS_REFUSED;
  }

  for (size_t sizetString = 0; sizetString < DB_PRINTER_STRINGS; ++sizetString)
    std::memset(a_aszString[sizetString], 0, DB_PRINTER_STRING_SIZE);
  ArgumentValues values;
  values.lDelimiter = a_lDelimiter;
  values.lDateFormat = a_lDateFormat;
  values.lIndex = a_lIndex;
  values.lIndexDigits = a_lIndexDigits;
  values.lIndexFormat = a_lIndexFormat;
  values.lTimeFormat = a_lTimeFormat;
  const char* aszMessage[] = {a_szMessage1, a_szMessage2, a_szMessage3, a_szMessage4, a_szMessage5, a_szMessage6};
  const char* aszImageAddress[] = {a_szImageAddressA, a_szImageAddressB, a_szImageAddressC, a_szImageAddressD};
  std::copy(std::begin(aszMessage), std::end(aszMessage), values.aszMessage);
  std::copy(std::begin(aszImageAddress), std::end(aszImageAddress), values.aszImageAddress);

  // A token's text that would not fit its string is refused like an
  // over-long string, rather than left out of what is measured.
  for (size_t sizetChar = 0; sizetChar < sizetTemplate; ++sizetChar) {
    const size_t sizetString = blSplit ? sizetChar / sizetPerString : 0;
    char* szString = a_aszString[sizetString];
    char szText[DB_PRINTER_STRING_SIZE];
    EOSSTS eossts = PutToken(FoldUpper(a_szTemplate[sizetChar]), values, false, szText, sizeof szText);
    if (eossts == OS_STS_SUCCESS && std::strlen(szString) + std::strlen(szText) >= DB_PRINTER_STRING_SIZE)
      eossts = s_eosstsNoRoom;
    if (eossts == s_eosstsNoRoom) {
      OsLog(OS_LOG_ERROR, "Print string %zu would not fit its %zu bytes.", sizetString + 1, DB_PRINTER_STRING_SIZE);
      SetLastPrinterError(s_szExceedsMaximum);
      return DB_EOSSTS_REFUSED;
    }
    if (eossts != OS_STS_SUCCESS) return DB_EOSSTS_REFUSED;
    COsString::SStrCat(szString, DB_PRINTER_STRING_SIZE, szText);
  }

  const size_t sizetLimit = PrinterStringLimit(sizetMaxLength);
  bool blTooLong = false;
  for (size_t sizetString = 0; sizetString < DB_PRINTER_STRINGS; ++sizetString) {
    if (CDbDatum::CountCharacters(a_aszString[sizetString]) <= sizetLimit) continue;
    OsLog(OS_LOG_ERROR, "Print string exceeds maximum allowed %zu.", sizetLimit);
    blTooLong = true;
  }
  if (!blTooLong) return OS_STS_SUCCESS;
  SetLastPrinterError(s_szExceedsMaximum);
  return DB_EOSSTS_REFUSED;
}

size_t CDatabase::PrinterStringLimit(size_t a_sizetMaxLength) {
  return a_sizetMaxLength >= 80 && a_sizetMaxLength <= 249 ? a_sizetMaxLength / 4 : a_sizetMaxLength;
}

// Unlike the printer strings, the counter's text turns only its leading
// zeros into the fill here.
EOSSTS CDatabase::ConvertPrinterSequenceToSimulation(char a_cToken, char* a_szSimulation) {
  if (!a_szSimulation) {
    OsLog(OS_LOG_ERROR, "a_szSimulation is null...");
    return OS_STS_FAIL;
  }
  if (!HasPrinter(*this)) {
    OsLog(OS_LOG_ERROR, "Printer is not supported");
    return OS_STS_FAIL;
  }
  std::memset(a_szSimulation, 0, DB_PRINTER_STRING_SIZE);
  SettingValues values(*this);
  const EOSSTS eossts = PutToken(a_cToken, values, true, a_szSimulation, DB_PRINTER_STRING_SIZE);
  if (eossts != s_eosstsNoRoom) return eossts;
  OsLog(OS_LOG_ERROR, "Simulation of %c would not fit its %zu bytes.", a_cToken, DB_PRINTER_STRING_SIZE);
  return DB_EOSSTS_REFUSED;
}

// ---------------------------------------------------------------------------
// Access
// ---------------------------------------------------------------------------
bool CDatabase::IsPhysicalPrintingEnabled() {
  return ConfigExists(s_szPrinter, DB_EDBCONFIGTARGET_COMMON) && IsOn(*this, DB_ID_PRINTERENABLED, true);
}

bool CDatabase::IsDigitalPrintingEnabled() {
  if (!ConfigExists(s_szPrintOnImage, DB_EDBCONFIGTARGET_COMMON)) return false;
  return IsOn(*this, DB_ID_PRINTONIMAGEFRONT, true) || IsOn(*this, DB_ID_PRINTONIMAGEREAR, true);
}

// Printing onto the image leaves every printer capability to the user; the
// imprinter does so unless the flatbed scans (it prints on the feeder's
// sheets only), greyed while it prints its test.
EOSSTS CDatabase::FixAccessPrinterDatum(CDbDatum* a_pdbdatum) {
  EDBACCESS edbaccess = DB_ACCESS_DISABLED;
  if (!HasPrinter(*this)) {
    edbaccess = DB_ACCESS_NOTSUPPORTED;
  } else if (IsDigitalPrintingEnabled()) {
    edbaccess = DB_ACCESS_READWRITE;
  } else if (IsPhysicalPrintingEnabled() &&
             GetCurrentLong(FindDirect(DB_BIN_MACHINE, DB_ID_PAPERSOURCE)) != s_lPaperSourceFlatbed) {
    edbaccess = IsOn(*this, DB_ID_PRINTERTEST, false) ? DB_ACCESS_READWRITEDISABLED : DB_ACCESS_READWRITE;
  }
  return static_cast<EOSSTS>(SetAccess(a_pdbdatum, edbaccess));
}
