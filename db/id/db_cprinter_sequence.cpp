// What the printer prints: every setting that changes the printed lines is
// checked by composing them with the proposed value and measuring them, the
// write sequence moves between its plain and its image-address form, and it
// goes to the scanner in pieces of a printed line.
//
// Lengths are characters as the string limits count them; texts are cut only
// between characters.
#include <algorithm>
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbenum.h"
#include "db_cdbstring.h"
#include "db_cprinter_kit.h"
#include "db_crulekit.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace dbprinter {

namespace {

constexpr char s_szExceedsMaximum[] = "E_EXCEEDSMAXIMUM";
constexpr char s_szWriteSequence160[] = "iawritesequence160";
constexpr size_t s_sizetMessages = 6;
constexpr size_t s_sizetFields = 4;
constexpr size_t s_sizetPieceLength = 40;
// "alllevels" prints characters 121 to 160 on every level.
constexpr size_t s_sizetAllLevelsFirst = 120;
constexpr const char* s_aszPieceName[s_sizetSequencePieces] = {"printerwritesequence1", "printerwritesequence2",
                                                                "printerwritesequence3"};

// A setting the model lacks takes a value that prints without refusing.
constexpr long s_lNoDelimiter = DB_ID_PRINTERDATEDELIMITER_ENUM_NONE;
constexpr long s_lFirstDateFormat = DB_ID_PRINTERDATEFORMAT_ENUM_MMDDYYYY;
constexpr long s_lDisplayZeros = DB_ID_PRINTERINDEXFORMAT_ENUM_DISPLAYLEADINGZEROS;
constexpr long s_lNoTimeFormat = 0;

long Setting(EDBID a_edbid, long a_lFallback) { return CRuleKit::ValueOf(a_edbid, DB_BIN_MACHINE, a_lFallback); }

// The current text of a supported string, or none.
const char* Text(EDBID a_edbid) {
  CDbDatum* pdbdatum = CRuleKit::Supported(a_edbid, DB_BIN_MACHINE);
  return pdbdatum && pdbdatum->GetDataType() == DB_DATATYPE_STRING ? pdbdatum->GetCurrentStringNoCallback() : nullptr;
}

// Where the character of that number starts, or the end of a shorter text.
size_t ByteOffset(const char* a_szText, size_t a_sizetCharacter) {
  char szText[DB_STRING_SIZE];
  COsString::SStrCpy(szText, sizeof szText, a_szText);
  CRuleKit::CutToCharacters(szText, a_sizetCharacter);
  return std::strlen(szText);
}

// Characters a_sizetFirst and following, at most a_sizetCount of them;
// empty beyond the text's end.
void CopyCharacters(const char* a_szText, size_t a_sizetFirst, size_t a_sizetCount, char* a_szOut, size_t a_sizetOut) {
  const size_t sizetStart = ByteOffset(a_szText, a_sizetFirst);
  const size_t sizetEnd = ByteOffset(a_szText, a_sizetFirst + a_sizetCount);
  const size_t sizetBytes = std::min(sizetEnd - sizetStart, a_sizetOut - 1);
  std::memcpy(a_szOut, a_szText + sizetStart, sizetBytes);
  a_szOut[sizetBytes] = '\0';
}

// The write sequence has one segment a printed line: one per value the
// image-address level offers while the model addresses images, else one.
size_t Segments(CDatabase& a_database) {
  if (!a_database.IsIdSupported(DB_ID_IMAGEADDRESS)) return 1;
  auto* pdbenum = dynamic_cast<CDbEnum*>(CRuleKit::Supported(DB_ID_PRINTERIMAGEADDRESSLEVEL, DB_BIN_MACHINE));
  const long lLevels = pdbenum ? pdbenum->GetCurrentItemCount() : 0;
  return lLevels > 1 ? static_cast<size_t>(lLevels) : 1;
}

// A sequence longer than its limit by whole segments, which the conversion
// cuts to its last one.
bool ConversionShortens(CDatabase& a_database, size_t a_sizetLength, size_t a_sizetMax) {
  const size_t sizetSegment = a_sizetMax / Segments(a_database);
  return a_sizetLength > a_sizetMax && sizetSegment > 0 && a_sizetLength % sizetSegment == 0;
}

// Upper or lower case: the composition prints both as fields.
bool HoldsField(const char* a_szText) { return std::strpbrk(a_szText, "ABCDabcd") != nullptr; }

void Store(CDbString& a_dbstringOwn, const char* a_szText, const char* a_szAfter) {
  if (a_dbstringOwn.SetCurrentString(a_szText) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "rules>>> write sequence not converted...<%s>", a_szText);
    return;
  }
  OsLogDebug(OS_LOG_INFO, a_szAfter, a_szText);
}

// A plain sequence of one segment moves to the last segment, "Z" before it.
void ToImageAddressForm(CDbString& a_dbstringOwn, const char* a_szText, size_t a_sizetFill) {
  OsLogDebug(OS_LOG_INFO, "Convert print string from non-IA to IA. before: %s", a_szText);
  char szText[DB_STRING_SIZE];
  const size_t sizetBytes = std::strlen(a_szText);
  if (a_sizetFill + sizetBytes >= sizeof szText) {
    OsLog(OS_LOG_ERROR, "rules>>> write sequence too long to convert...<%s>", a_szText);
    return;
  }
  std::memset(szText, 'Z', a_sizetFill);
  std::memcpy(szText + a_sizetFill, a_szText, sizetBytes + 1);
  Store(a_dbstringOwn, szText, "Convert print string from non-IA to IA. afer: %s");
}

// A sequence of several segments keeps its last; one that prints a field
// prints nothing instead.
void ToPlainForm(CDbString& a_dbstringOwn, const char* a_szText, size_t a_sizetLength, size_t a_sizetSegment) {
  OsLogDebug(OS_LOG_INFO, "Convert print string from IA to non-IA. before: %s", a_szText);
  char szText[DB_STRING_SIZE];
  CopyCharacters(a_szText, a_sizetLength - a_sizetSegment, a_sizetSegment, szText, sizeof szText);
  if (HoldsField(szText)) {
    std::memset(szText, 'Z', a_sizetSegment);
    szText[a_sizetSegment] = '\0';
    OsLog(OS_LOG_ASSERT, "Printer string has IA fields, so it has been cleared");
  }
  Store(a_dbstringOwn, szText, "Convert print string from IA to non-IA. afer: %s");
}

}  // namespace

bool CompositionSettled(EOSSTS* a_peossts) {
  if (CRuleKit::IsRelaxed() || CRuleKit::IsLoading()) {
    *a_peossts = OS_STS_SUCCESS;
    return true;
  }
  CDatabase* pdatabase = CRuleKit::Database();
  if (pdatabase && HasSupport(*pdatabase)) return false;
  OsLog(OS_LOG_ASSERT, "Printing is not supported");
  *a_peossts = OS_STS_FAIL;
  return true;
}

EOSSTS Compose(EDBID a_edbidProposed, long a_lValue, const char* a_szText) {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase) return DB_EOSSTS_REFUSED;
  auto pick = [&](EDBID a_edbid, long a_lFallback) {
    return a_edbid == a_edbidProposed ? a_lValue : Setting(a_edbid, a_lFallback);
  };
  auto text = [&](EDBID a_edbid) { return a_edbid == a_edbidProposed ? a_szText : Text(a_edbid); };
  const char* szSequence = text(DB_ID_PRINTERWRITESEQUENCESTRING);
  const char* aszMessage[s_sizetMessages];
  for (size_t sizet = 0; sizet < s_sizetMessages; ++sizet)
    aszMessage[sizet] = text(static_cast<EDBID>(DB_ID_PRINTERWRITESEQUENCEMESSAGE1 + sizet));
  const char* aszField[s_sizetFields] = {};
  for (size_t sizet = 0; pdatabase->GetDbIa() && sizet < s_sizetFields; ++sizet)
    aszField[sizet] = Text(static_cast<EDBID>(DB_ID_IMAGEADDRESS_A + sizet));
  const long lTimeFormat = pdatabase->IsIdSupported(DB_ID_PRINTERTIMEFORMAT)
                               ? pick(DB_ID_PRINTERTIMEFORMAT, s_lNoTimeFormat)
                               : s_lNoTimeFormat;
  char aszString[DB_PRINTER_STRINGS][DB_PRINTER_STRING_SIZE];
  return pdatabase->ConstructPrinterStrings(
      aszString, szSequence ? szSequence : "", pick(DB_ID_PRINTERDATEDELIMITER, s_lNoDelimiter),
      pick(DB_ID_PRINTERDATEFORMAT, s_lFirstDateFormat), pick(DB_ID_PRINTERINDEX, 0),
      pick(DB_ID_PRINTERINDEXDIGITS, 0), pick(DB_ID_PRINTERINDEXFORMAT, s_lDisplayZeros), lTimeFormat, aszMessage[0],
      aszMessage[1], aszMessage[2], aszMessage[3], aszMessage[4], aszMessage[5], aszField[0], aszField[1], aszField[2],
      aszField[3]);
}

// The scanner's task cannot carry "]]>": such a message is refused now
// rather than dropped silently at scan time.
EOSSTS ValidateMessage(CDbString& a_dbstringOwn, EOSSTS a_eosstsBase, const char* a_szValue) {
  if (a_eosstsBase != OS_STS_SUCCESS) {
    const size_t sizetMax = a_dbstringOwn.GetSizetMaxString();
    if (a_szValue && CDbDatum::CountCharacters(a_szValue) > sizetMax) {
      OsLog(OS_LOG_ERROR, "Length would exceed maximum allowed %zu characters by message.", sizetMax);
      if (CDatabase* pdatabase = CRuleKit::Database()) pdatabase->SetLastPrinterError(s_szExceedsMaximum);
    }
    return a_eosstsBase;
  }
  if (std::strstr(a_szValue, "]]>")) {
    OsLog(OS_LOG_ERROR, "rules>>> a printer message cannot hold \"]]>\", refused...%d", a_dbstringOwn.GetId());
    return DB_EOSSTS_REFUSED;
  }
  return Compose(a_dbstringOwn.GetId(), 0, a_szValue);
}

// Support comes before loading here: a profile cannot give a model without
// a printer a write sequence.
EOSSTS ValidateSequence(CDbString& a_dbstringOwn, const char* a_szValue) {
  if (CRuleKit::IsRelaxed()) return OS_STS_SUCCESS;
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase || !HasSupport(*pdatabase)) {
    OsLog(OS_LOG_ASSERT, "Printing is not supported");
    return OS_STS_FAIL;
  }
  if (CRuleKit::IsLoading()) return OS_STS_SUCCESS;
  if (!a_szValue) return DB_EOSSTS_REFUSED;
  const size_t sizetLength = CDbDatum::CountCharacters(a_szValue);
  const size_t sizetMax = a_dbstringOwn.GetSizetMaxString();
  if (sizetLength > sizetMax) {
    OsLogDebug(OS_LOG_INFO, "Exceeds the limit of %zu unique 'items' in a print string...", sizetMax);
    if (!ConversionShortens(*pdatabase, sizetLength, sizetMax)) {
      OsLog(OS_LOG_ERROR, "rules>>> a write sequence of %zu characters cannot be brought within %zu, refused",
            sizetLength, sizetMax);
      return DB_EOSSTS_REFUSED;
    }
  }
  return Compose(DB_ID_PRINTERWRITESEQUENCESTRING, 0, a_szValue);
}

// Only a sequence the passes convert: one not offered keeps what it stores.
bool SequenceFits(CDbString& a_dbstringOwn, const char* a_szText) {
  if (std::strlen(a_szText) >= DB_STRING_SIZE) return false;
  const size_t sizetLength = CDbDatum::CountCharacters(a_szText);
  const size_t sizetMax = a_dbstringOwn.GetSizetMaxString();
  if (sizetLength <= sizetMax) return true;
  CDatabase* pdatabase = CRuleKit::Database();
  return pdatabase && a_dbstringOwn.GetAccess() != DB_ACCESS_NOTSUPPORTED &&
         ConversionShortens(*pdatabase, sizetLength, sizetMax);
}

void ConvertSequence(CDbString& a_dbstringOwn) {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase) return;
  char szText[DB_STRING_SIZE];
  COsString::SStrCpy(szText, sizeof szText, a_dbstringOwn.GetCurrentStringNoCallback());
  const size_t sizetLength = CDbDatum::CountCharacters(szText);
  const size_t sizetMax = a_dbstringOwn.GetSizetMaxString();
  const size_t sizetSegments = Segments(*pdatabase);
  const size_t sizetSegment = sizetMax / sizetSegments;
  if (sizetLength < sizetMax && sizetLength == sizetSegment && sizetSegment > 0) {
    ToImageAddressForm(a_dbstringOwn, szText, (sizetSegments - 1) * sizetSegment);
  } else if (ConversionShortens(*pdatabase, sizetLength, sizetMax)) {
    ToPlainForm(a_dbstringOwn, szText, sizetLength, sizetSegment);
  }
}

size_t SequencePieces(const char* a_szText, SequencePiece (&a_asequencepiece)[s_sizetSequencePieces]) {
  CDatabase* pdatabase = CRuleKit::Database();
  if (!pdatabase || !a_szText) return 0;
  if (!pdatabase->IsIdSupported(DB_ID_IMAGEADDRESS)) {
    a_asequencepiece[0].szName = s_aszPieceName[0];
    COsString::SStrCpy(a_asequencepiece[0].szText, sizeof a_asequencepiece[0].szText, a_szText);
    return 1;
  }
  const bool blAllLevels = Setting(DB_ID_PRINTERIMAGEADDRESSLEVEL, DB_ID_PRINTERIMAGEADDRESSLEVEL_ENUM_NONE) ==
                           DB_ID_PRINTERIMAGEADDRESSLEVEL_ENUM_ALLLEVELS;
  if (!pdatabase->ConfigExists(s_szWriteSequence160, DB_CONFIGTARGET_COMMON)) {
    OsLog(OS_LOG_ASSERT, blAllLevels ? "Unsupported write sequence..." : "Unsupported write sequence length...");
    return 0;
  }
  for (size_t sizet = 0; sizet < s_sizetSequencePieces; ++sizet) {
    SequencePiece& sequencepiece = a_asequencepiece[sizet];
    sequencepiece.szName = s_aszPieceName[sizet];
    CopyCharacters(a_szText, blAllLevels ? s_sizetAllLevelsFirst : sizet * s_sizetPieceLength, s_sizetPieceLength,
                   sequencepiece.szText, sizeof sequencepiece.szText);
  }
  return s_sizetSequencePieces;
}

}  // namespace dbprinter
