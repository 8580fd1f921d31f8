// The image-address rules' checks of a value before it is stored: a level
// must be one the address has, one patch head stays on, the starting
// address must fit the fields in use, and a field's pattern must fit the
// others and the lines the printer prints.
#include <algorithm>
#include <cstring>
#include <string>

#include "db_cdatabase.h"
#include "db_cdbcontainer.h"
#include "db_cdbdatum.h"
#include "db_cdbiaimpl.h"
#include "db_crulekit.h"
#include "os_coslog.h"

namespace {

constexpr char s_szLevelToFollow[] = "E_LEVELTOFOLLOW";
constexpr char s_szTooManyDots[] = "E_IA_TOOMANYDOTS";
constexpr char s_szLengthTooLong[] = "E_IA_LENGTHTOOLONG";
constexpr char s_szNotAlphanumeric[] = "E_IA_NOTALPHANUMERIC";
constexpr char s_szNotDigit[] = "E_IA_NOTDIGIT";
constexpr char s_szTooLargeField[] = "E_TOOLARGE9";
constexpr char s_szTooLargeTotal[] = "E_TOOLARGE27";
constexpr char s_szOnly123F[] = "E_ONLY123F";
constexpr char s_szNoMixing[] = "E_NOMIXING";
constexpr char s_szMustHave3[] = "E_MUSTHAVE3";
constexpr char s_szOnlyOne123[] = "E_ONLYONE123";
constexpr char s_szExceedsPrinter[] = "E_EXCEEDSMAXIMUMPRINTER";

// The dots between the fields of an address.
constexpr size_t s_sizetDots = 3;

// Printable as the C locale has it, whatever locale the process runs in:
// a byte of a multibyte character never is.
bool IsPrintableByte(char a_c) { return a_c >= ' ' && a_c <= '~'; }

bool IsDigitByte(char a_c) { return a_c >= '0' && a_c <= '9'; }

// The level ('1' to '3') of a pattern, 0 for a fixed or unused field.
char LevelOf(const char* a_szPattern) { return a_szPattern[0] >= '1' && a_szPattern[0] <= '3' ? a_szPattern[0] : 0; }

// The printer's code as the composition reads it: case folded.
char FoldCode(char a_c) { return a_c >= 'a' && a_c <= 'z' ? static_cast<char>(a_c - 'a' + 'A') : a_c; }

// The level a value asks for ('2' or '3'), or 0 for one every address has.
char LevelAskedFor(EDBID a_edbid, long a_lValue) {
  const long lLevel = a_edbid == DB_ID_BATCHSTARTFUNCTION ? a_lValue - 1 : a_lValue;
  return lLevel == 2 ? '2' : lLevel == 3 ? '3' : 0;
}

// Turning a head off is refused when every other head of the window and
// bin is off already.
EOSSTS ValidatePatchHead(CDbDatum* a_pdbdatum, EDBID_WINDOW a_edbidwindow, long a_lValue) {
  if (a_lValue == DB_ID_PATCHHEAD1_ENUM_TRUE) return OS_STS_SUCCESS;
  if (a_lValue != DB_ID_PATCHHEAD1_ENUM_FALSE) {
    OsLog(OS_LOG_ERROR, "Unrecognized patchhead...%ld", a_lValue);
    return DB_EOSSTS_REFUSED;
  }
  for (int iId = DB_ID_PATCHHEAD1; iId <= DB_ID_PATCHHEAD4; ++iId) {
    const auto edbid = static_cast<EDBID>(iId);
    if (edbid != a_pdbdatum->GetId() &&
        CRuleKit::ValueIn(a_edbidwindow, edbid, a_pdbdatum->GetBin(), DB_ID_PATCHHEAD1_ENUM_FALSE) !=
            DB_ID_PATCHHEAD1_ENUM_FALSE)
      return OS_STS_SUCCESS;
  }
  OsLog(OS_LOG_ERROR, "rules>>> the last patch head that is on stays on...%d", a_pdbdatum->GetId());
  return DB_EOSSTS_REFUSED;
}

}  // namespace

EOSSTS CDbIaImpl::Validate(CDbDatum* a_pdbdatum, EDBID_WINDOW a_edbidwindow, long a_lValue) {
  CDbEnum* pdbenum = dbcontainer::AsEnum(a_pdbdatum);
  const EDBID edbid = a_pdbdatum ? a_pdbdatum->GetId() : DB_ID_UNDEFINED;
  const bool blLevel = edbid == DB_ID_BATCHLEVEL || edbid == DB_ID_BATCHSTARTFUNCTION ||
                       (edbid >= DB_ID_LEVELTOFOLLOW1 && edbid <= DB_ID_LEVELTOFOLLOW3);
  const bool blHead = edbid >= DB_ID_PATCHHEAD1 && edbid <= DB_ID_PATCHHEAD4;
  if (!pdbenum || (!blLevel && !blHead)) {
    OsLog(OS_LOG_ERROR, "Unrecognized edbid...%d", edbid);
    return OS_STS_FAIL;
  }
  if (blLevel && IsRelaxedOrLoading()) return OS_STS_SUCCESS;
  if (const EOSSTS eossts = pdbenum->CDbEnum::Validate(a_edbidwindow, a_lValue); eossts != OS_STS_SUCCESS)
    return eossts;
  if (blHead) return ValidatePatchHead(a_pdbdatum, a_edbidwindow, a_lValue);
  const char cLevel = LevelAskedFor(edbid, a_lValue);
  if (!cLevel || HasFieldOfLevel(cLevel)) return OS_STS_SUCCESS;
  const int iValue = static_cast<int>(a_lValue);
  if (edbid == DB_ID_BATCHSTARTFUNCTION) {
    OsLog(OS_LOG_ERROR,
          "Fail validation to set BatchEndFunction/BatchStartFunction = %d but no defined fields in ImageAddress_A,B,C "
          "or D",
          iValue);
    return DB_EOSSTS_REFUSED;
  }
  if (m_pdatabase) m_pdatabase->SetLastImageAddressError(s_szLevelToFollow);
  if (edbid == DB_ID_BATCHLEVEL) {
    OsLog(OS_LOG_ERROR, "Fail validation to set BatchLevel = %d but no defined fields in ImageAddress_A,B,C or D",
          iValue);
  } else {
    OsLog(OS_LOG_ERROR,
          "Fail validation to set LevelToFollow%d = %d but no defined fields in ImageAddress_A,B,C or D",
          edbid - DB_ID_LEVELTOFOLLOW1 + 1, iValue);
  }
  return DB_EOSSTS_REFUSED;
}

EOSSTS CDbIaImpl::Refuse(const char* a_szToken) {
  if (m_pdatabase) m_pdatabase->SetLastImageAddressError(a_szToken);
  return DB_EOSSTS_REFUSED;
}

EOSSTS CDbIaImpl::Validate(CDbDatum* a_pdbdatum, EDBID_WINDOW, const char* a_szValue) {
  const EDBID edbid = a_pdbdatum ? a_pdbdatum->GetId() : DB_ID_UNDEFINED;
  if (!dbcontainer::AsString(a_pdbdatum) ||
      (edbid != DB_ID_IMAGEADDRESS && (edbid < DB_ID_IMAGEADDRESS_A || edbid > DB_ID_IMAGEADDRESS_D))) {
    OsLog(OS_LOG_ERROR, "Unrecognized edbid...%d", edbid);
    return OS_STS_FAIL;
  }
  // The address is held to its access as the fields are: a set must not
  // change a value that may not be modified.
  if (CRuleKit::IsRelaxed()) return OS_STS_SUCCESS;
  if (!a_pdbdatum->IsModifiable()) {
    OsLog(OS_LOG_ERROR, "rules>>> image-address text not modifiable...%d", edbid);
    return DB_EOSSTS_NOTMODIFIABLE;
  }
  if (!a_szValue) {
    OsLog(OS_LOG_ERROR, "a_szValue is null...");
    return DB_EOSSTS_REFUSED;
  }
  if (CRuleKit::IsLoading()) return OS_STS_SUCCESS;
  return edbid == DB_ID_IMAGEADDRESS ? ValidateAddress(a_szValue) : ValidatePattern(a_pdbdatum, a_szValue);
}

// ---------------------------------------------------------------------------
// The starting address
// ---------------------------------------------------------------------------
// Each dot-separated value field is held against the used field patterns
// in their order (A to D with the unused ones left out), all lengths before
// any character. An empty value field between dots, or after the third,
// stands for zeros as wide as the template field it is held against, which
// always fit: it passes as it is. The address is stored whole, as given.
EOSSTS CDbIaImpl::ValidateAddress(const char* a_szValue) {
  std::string astrTemplate[4];
  size_t sizetUsed = 0;
  for (int iField = 0; iField < 4; ++iField) {
    const char* szPattern = nullptr;
    FieldPattern(iField, &szPattern);
    if (*szPattern) astrTemplate[sizetUsed++] = szPattern;
  }
  // No field in use still leaves room for an empty address.
  const size_t sizetLength = std::strlen(a_szValue);
  if (static_cast<size_t>(std::count(a_szValue, a_szValue + sizetLength, '.')) > std::max<size_t>(sizetUsed, 1) - 1) {
    OsLog(OS_LOG_ERROR, "All available fields already in use");
    return Refuse(s_szTooManyDots);
  }
  std::string astrValue[s_sizetDots + 1];
  size_t sizetValue = 0;
  for (const char* pc = a_szValue; *pc; ++pc) {
    if (*pc == '.') {
      ++sizetValue;
    } else {
      astrValue[sizetValue] += *pc;
    }
  }
  for (size_t sizet = 0; sizet <= s_sizetDots; ++sizet) {
    if (CDbDatum::CountCharacters(astrValue[sizet].c_str()) > CDbDatum::CountCharacters(astrTemplate[sizet].c_str())) {
      OsLog(OS_LOG_ERROR, "Length would exceed maximum allowed by template.");
      return Refuse(s_szLengthTooLong);
    }
  }
  for (size_t sizet = 0; sizet <= s_sizetDots; ++sizet) {
    const bool blFixed = astrTemplate[sizet][0] == 'F';
    for (const char c : astrValue[sizet]) {
      if (blFixed && !IsPrintableByte(c)) {
        OsLog(OS_LOG_ERROR, "Values for this field must be printable characters.");
        return Refuse(s_szNotAlphanumeric);
      }
      if (!blFixed && !IsDigitByte(c)) {
        OsLog(OS_LOG_ERROR, "Values for this field must be numeric.");
        return Refuse(s_szNotDigit);
      }
    }
  }
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// A field's pattern
// ---------------------------------------------------------------------------
// The pattern is judged with the other three as they stand: together they
// must fit the address, and level 3 needs level 2 in whatever set results,
// so that neither emptying nor changing the level-2 field strands level 3.
EOSSTS CDbIaImpl::ValidatePattern(CDbDatum* a_pdbdatum, const char* a_szValue) {
  const int iField = a_pdbdatum->GetId() - DB_ID_IMAGEADDRESS_A;
  const size_t sizetLength = CDbDatum::CountCharacters(a_szValue);
  const size_t sizetMax = a_pdbdatum->GetSizetMaxString();
  if (sizetLength > sizetMax) {
    OsLog(OS_LOG_ERROR, "The field limit is %d characters (%s)", static_cast<int>(sizetMax), a_szValue);
    return Refuse(s_szTooLargeField);
  }
  const char* aszOther[3] = {};
  size_t sizetTotal = sizetLength;
  for (int iOther = 0, i = 0; iOther < 4; ++iOther) {
    if (iOther == iField) continue;
    FieldPattern(iOther, &aszOther[i]);
    sizetTotal += CDbDatum::CountCharacters(aszOther[i++]);
  }
  // The total needs an address to fit into; without one there is none.
  CDbDatum* pdbdatumAddress = CRuleKit::Supported(DB_ID_IMAGEADDRESS, DB_BIN_MACHINE);
  if (pdbdatumAddress && pdbdatumAddress->GetDataType() == DB_DATATYPE_STRING) {
    const long lLimit = static_cast<long>(pdbdatumAddress->GetSizetMaxString()) - static_cast<long>(s_sizetDots);
    if (static_cast<long>(sizetTotal) > lLimit) {
      OsLog(OS_LOG_ERROR, "The total limit is %ld characters", lLimit);
      return Refuse(s_szTooLargeTotal);
    }
  }
  for (const char* pc = a_szValue; *pc; ++pc) {
    if (!std::strchr("F123", *pc)) {
      OsLog(OS_LOG_ERROR, "1, 2, 3 or F are the only valid entries (%s)", a_szValue);
      return Refuse(s_szOnly123F);
    }
  }
  for (const char* pc = a_szValue; *pc; ++pc) {
    if (*pc != a_szValue[0]) {
      OsLog(OS_LOG_ERROR, "1, 2, 3, F cannot be mixed in the same field (%s)", a_szValue);
      return Refuse(s_szNoMixing);
    }
  }
  const char cLevel = LevelOf(a_szValue);
  bool blLevel2 = cLevel == '2', blLevel3 = cLevel == '3', blTaken = false;
  for (const char* szOther : aszOther) {
    blLevel2 = blLevel2 || LevelOf(szOther) == '2';
    blLevel3 = blLevel3 || LevelOf(szOther) == '3';
    blTaken = blTaken || (cLevel && LevelOf(szOther) == cLevel);
  }
  if (blLevel3 && !blLevel2) {
    OsLog(OS_LOG_ERROR, "To have a level 3 there must be a level 2");
    return Refuse(s_szMustHave3);
  }
  if (blTaken) {
    OsLog(OS_LOG_ERROR, "Can only have one instance of a level in the Image Address");
    return Refuse(s_szOnlyOne123);
  }
  return CheckPrinterLines(static_cast<char>('A' + iField), a_szValue);
}

// ---------------------------------------------------------------------------
// The printer's lines
// ---------------------------------------------------------------------------
// The write sequence prints a quarter of its codes on each line; a line is
// measured as the composition measures it, the last one too, with the
// field's code (in either case) printing the proposed pattern and every
// other code what it prints now. Without a write sequence there is nothing
// to print; without a printer only the field's own code prints (the
// simulation is not asked again once it says so).
EOSSTS CDbIaImpl::CheckPrinterLines(char a_cField, const char* a_szPattern) {
  CDbDatum* pdbdatum = CRuleKit::Supported(DB_ID_PRINTERWRITESEQUENCESTRING, DB_BIN_MACHINE);
  if (!pdbdatum || pdbdatum->GetDataType() != DB_DATATYPE_STRING || !m_pdatabase) return OS_STS_SUCCESS;
  const size_t sizetMax = pdbdatum->GetSizetMaxString();
  const size_t sizetCodesPerLine = sizetMax / DB_PRINTER_STRINGS;
  const size_t sizetLimit = CDatabase::PrinterStringLimit(sizetMax);
  std::string strLine;
  size_t sizetCodes = 0;
  bool blPrinter = true;
  for (const char* pc = pdbdatum->GetCurrentStringNoCallback(); *pc; ++pc) {
    const char cCode = FoldCode(*pc);
    if (cCode == a_cField) {
      strLine += a_szPattern;
    } else if (blPrinter) {
      char szText[DB_PRINTER_STRING_SIZE] = {};
      const EOSSTS eossts = m_pdatabase->ConvertPrinterSequenceToSimulation(cCode, szText);
      blPrinter = eossts != OS_STS_FAIL;
      if (eossts == OS_STS_SUCCESS) strLine += szText;
    }
    const bool blLineEnds = ++sizetCodes == sizetCodesPerLine || !pc[1];
    if (!blLineEnds) continue;
    if (CDbDatum::CountCharacters(strLine.c_str()) > sizetLimit) {
      OsLog(OS_LOG_ERROR, "This would exceed the maximum allowed number of characters for printer string %d.",
            static_cast<int>(sizetLimit));
      return Refuse(s_szExceedsPrinter);
    }
    strLine.clear();
    sizetCodes = 0;
  }
  return OS_STS_SUCCESS;
}
