// The image-address rules during a fix-up pass: how the batch settings,
// the template, the fields, the levels to follow, the starting address and
// the printer's write sequence follow the value that changed.
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "db_cdbiaimpl.h"
#include "db_crulekit.h"
#include "os_coslog.h"

namespace {

constexpr char s_szLevelToFollowReset[] = "E_LEVELTOFOLLOWRESET";

bool IsField(EDBID a_edbid) { return a_edbid >= DB_ID_IMAGEADDRESS_A && a_edbid <= DB_ID_IMAGEADDRESS_D; }

bool IsLevelToFollow(EDBID a_edbid) { return a_edbid >= DB_ID_LEVELTOFOLLOW1 && a_edbid <= DB_ID_LEVELTOFOLLOW3; }

bool IsCount(EDBID a_edbid) { return a_edbid == DB_ID_PAGECOUNT || a_edbid == DB_ID_XFERCOUNT; }

// A write-sequence code that prints an image-address field: "A" to "D",
// in either case; the field's index, else -1.
int FieldOfCode(char a_c) {
  if (a_c >= 'a' && a_c <= 'd') return a_c - 'a';
  if (a_c >= 'A' && a_c <= 'D') return a_c - 'A';
  return -1;
}

// A field the printer can print: it exists, has a pattern and is the
// user's (read-only or read-write).
bool IsPrintable(int a_iField) {
  static constexpr EDBID s_aedbid[4] = {DB_ID_IMAGEADDRESS_A, DB_ID_IMAGEADDRESS_B, DB_ID_IMAGEADDRESS_C,
                                        DB_ID_IMAGEADDRESS_D};
  CDbDatum* pdbdatum = CDbDatum::ms_pdatumcommon ? CDbDatum::ms_pdatumcommon->apdbdatum[0][s_aedbid[a_iField]][DB_BIN_MACHINE]
                                                 : nullptr;
  if (!pdbdatum || pdbdatum->GetDataType() != DB_DATATYPE_STRING) return false;
  const EDBACCESS edbaccess = pdbdatum->GetAccess();
  return pdbdatum->GetCurrentStringNoCallback()[0] &&
         (edbaccess == DB_ACCESS_READONLY || edbaccess == DB_ACCESS_READWRITE);
}

}  // namespace

// ---------------------------------------------------------------------------
// Followers
// ---------------------------------------------------------------------------
// A level the address no longer has falls back to level 1 (batch level,
// levels to follow) or to level 1's start (batch start function).
void CDbIaImpl::FallBackLevel(CDbDatum* a_pdbdatum, bool a_blRecord) {
  const long lValue = a_pdbdatum->GetCurrentLongNoCallback();
  const bool blStart = a_pdbdatum->GetId() == DB_ID_BATCHSTARTFUNCTION;
  const long lLevel = blStart ? lValue - 1 : lValue;
  if ((lLevel == 2 && !HasFieldOfLevel('2')) || (lLevel == 3 && !HasFieldOfLevel('3'))) {
    if (a_blRecord && m_pdatabase) m_pdatabase->SetLastImageAddressError(s_szLevelToFollowReset);
    a_pdbdatum->SetCurrentLong(blStart ? DB_ID_BATCHSTARTFUNCTION_ENUM_LEVEL1 : 1);
  }
}

// A template sets each field, level to follow and the starting address; a
// batch level the template has no field for falls back to level 1.
void CDbIaImpl::FollowTemplate(CDbDatum* a_pdbdatum, long a_lTemplate) {
  const DbImageAddressTemplate* pdbimageaddresstemplate = GetDbImageAddressTemplate();
  if (!pdbimageaddresstemplate) return;
  const EDBID edbid = a_pdbdatum->GetId();
  if (IsField(edbid)) {
    a_pdbdatum->SetCurrentString(pdbimageaddresstemplate->aszField[edbid - DB_ID_IMAGEADDRESS_A]);
  } else if (IsLevelToFollow(edbid)) {
    a_pdbdatum->SetCurrentLong(static_cast<long>(pdbimageaddresstemplate->ai64LevelToFollow[edbid - DB_ID_LEVELTOFOLLOW1]));
  } else if (edbid == DB_ID_BATCHLEVEL) {
    const long lValue = a_pdbdatum->GetCurrentLongNoCallback();
    if ((lValue == 2 && !std::strchr(pdbimageaddresstemplate->szFull, '2')) ||
        (lValue == 3 && !std::strchr(pdbimageaddresstemplate->szFull, '3')))
      a_pdbdatum->SetCurrentLong(1);
  } else if (edbid == DB_ID_IMAGEADDRESS) {
    const char* szAddress = nullptr;
    switch (a_lTemplate) {
      case DB_ID_IMAGEADDRESSTEMPLATES_ENUM_NONE:
        szAddress = "A";
        break;
      case DB_ID_IMAGEADDRESSTEMPLATES_ENUM_1:
        szAddress = "A.1.0.0";
        break;
      case DB_ID_IMAGEADDRESSTEMPLATES_ENUM_2:
      case DB_ID_IMAGEADDRESSTEMPLATES_ENUM_4:
        szAddress = "A.1.0";
        break;
      case DB_ID_IMAGEADDRESSTEMPLATES_ENUM_3:
      case DB_ID_IMAGEADDRESSTEMPLATES_ENUM_5:
        szAddress = "A.1";
        break;
      default:
        break;
    }
    if (szAddress) a_pdbdatum->SetCurrentString(szAddress);
  }
}

// The starting address from the one the scanner reports, whose fields are
// padded with zeros or blanks: field by field (at most four), a counter
// loses its leading zeros and blanks (all of them: "0"), a fixed field
// (pattern "F...", or a field that cannot be read) stays as it is. The
// result is cut at the address's size, then loses its trailing dots.
void CDbIaImpl::RebuildFromScanner(CDbDatum* a_pdbdatum, const char* a_szScanner) {
  bool ablFixed[4];
  for (int iField = 0; iField < 4; ++iField) {
    const char* szPattern = nullptr;
    ablFixed[iField] = !FieldPattern(iField, &szPattern) || szPattern[0] == 'F';
  }
  // Every byte read gives at most one byte, so the address fits the
  // buffer that held the scanner's.
  char szAddress[DB_STRING_SIZE] = {};
  size_t sizetLength = 0;
  const char* pc = a_szScanner ? a_szScanner : "";
  for (int iField = 0; iField < 4 && *pc && sizetLength + 1 < sizeof szAddress; ++iField) {
    if (iField > 0) szAddress[sizetLength++] = *pc++;
    const char* pcEnd = std::strchr(pc, '.');
    if (!pcEnd) pcEnd = pc + std::strlen(pc);
    const char* pcFrom = pc;
    if (!ablFixed[iField]) {
      while (pcFrom < pcEnd && (*pcFrom == '0' || *pcFrom == ' ')) ++pcFrom;
      if (pcFrom == pcEnd && pcEnd > pc) pcFrom = "0", pcEnd = pcFrom + 1;
    }
    while (pcFrom < pcEnd && sizetLength + 1 < sizeof szAddress) szAddress[sizetLength++] = *pcFrom++;
    pc += std::strcspn(pc, ".");
    if (*pc != '.') break;
  }
  szAddress[sizetLength] = '\0';
  const size_t sizetMax = a_pdbdatum->GetSizetMaxString();
  if (CRuleKit::CutToCharacters(szAddress, sizetMax))
    OsLog(OS_LOG_ERROR, "rules>>> the scanner's image address is longer than %zu characters, cut...<%s>", sizetMax,
          a_szScanner);
  for (sizetLength = std::strlen(szAddress); sizetLength > 0 && szAddress[sizetLength - 1] == '.'; --sizetLength)
    szAddress[sizetLength - 1] = '\0';
  OsLogDebug(OS_LOG_INFO, "Set DB_ID_IMAGEADDRESS based on scanner's IA: %s", szAddress);
  a_pdbdatum->SetCurrentString(szAddress);
}

// ---------------------------------------------------------------------------
// CheckForInvalidIa
// ---------------------------------------------------------------------------
// A sequence that prints a field no longer in use is wiped whole, to as
// many "Z" as it may hold.
EOSSTS CDbIaImpl::CheckForInvalidIa(CDbDatum* a_pdbdatum) {
  if (!a_pdbdatum || a_pdbdatum->GetDataType() != DB_DATATYPE_STRING) {
    OsLog(OS_LOG_ERROR, "a_pdbdatum is not a string...");
    return OS_STS_FAIL;
  }
  const char* szSequence = a_pdbdatum->GetCurrentStringNoCallback();
  bool blInvalid = false;
  for (const char* pc = szSequence; *pc && !blInvalid; ++pc) {
    const int iField = FieldOfCode(*pc);
    blInvalid = iField >= 0 && !IsPrintable(iField);
  }
  if (!blInvalid) return OS_STS_SUCCESS;
  OsLogDebug(OS_LOG_INFO, "Wiped out DB_ID_PRINTERWRITESEQUENCESTRING: %s", szSequence);
  char szWiped[DB_STRING_SIZE] = {};
  const size_t sizetMax = a_pdbdatum->GetSizetMaxString();
  std::memset(szWiped, 'Z', sizetMax < sizeof szWiped ? sizetMax : sizeof szWiped - 1);
  a_pdbdatum->SetCurrentString(szWiped);
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// FixCurrent
// ---------------------------------------------------------------------------
EOSSTS CDbIaImpl::FixCurrent(CDbDatum* a_pdbdatum) {
  if (!a_pdbdatum) {
    OsLog(OS_LOG_ERROR, "a_pdbdatum is null...");
    return OS_STS_FAIL;
  }
  CDbDatum* pdbdatumModified = CDbDatum::GetModified();
  if (!pdbdatumModified || pdbdatumModified == a_pdbdatum) return OS_STS_SUCCESS;
  if (NeedImageAddress(a_pdbdatum)) FixAccess(a_pdbdatum);
  const EDBID edbidModified = pdbdatumModified->GetId();
  const long lModified =
      pdbdatumModified->GetDataType() == DB_DATATYPE_LONG ? pdbdatumModified->GetCurrentLongNoCallback() : 0;
  const EDBID edbid = a_pdbdatum->GetId();
  switch (edbid) {
    case DB_ID_BATCHCOUNT:
      if (IsCount(edbidModified)) {
        FixAccess(a_pdbdatum);
      } else if (edbidModified == DB_ID_BATCHCOUNTENABLED && lModified == 2 &&
                 a_pdbdatum->GetCurrentLongNoCallback() == 0) {
        a_pdbdatum->SetCurrentLong(1);
      }
      return OS_STS_SUCCESS;
    case DB_ID_BATCHCOUNTENABLED:
      if (IsCount(edbidModified) && lModified >= 1) a_pdbdatum->SetCurrentLong(1);
      return OS_STS_SUCCESS;
    case DB_ID_BATCHENDFUNCTION:
    case DB_ID_IMAGEADDRESSSCANNER:
      return OS_STS_SUCCESS;
    case DB_ID_IMAGEADDRESSTEMPLATES:
      if ((IsField(edbidModified) || IsLevelToFollow(edbidModified)) && !IsRelaxedOrLoading())
        a_pdbdatum->SetCurrentLong(DB_ID_IMAGEADDRESSTEMPLATES_ENUM_CUSTOM);
      return OS_STS_SUCCESS;
    case DB_ID_IMAGEADDRESSTEMPLATES_PREV:
      if (edbidModified == DB_ID_IMAGEADDRESSTEMPLATES && !CRuleKit::IsLoading()) a_pdbdatum->SetCurrentLong(lModified);
      return OS_STS_SUCCESS;
    case DB_ID_PRINTERIMAGEADDRESSFORMAT:
    case DB_ID_PRINTERIMAGEADDRESSLEVEL:
      if (edbidModified == DB_ID_PRINTERENABLED) FixAccess(a_pdbdatum);
      return OS_STS_SUCCESS;
    case DB_ID_PRINTERWRITESEQUENCESTRING:
      if ((edbidModified == DB_ID_IMAGEADDRESSTEMPLATES || edbidModified == DB_ID_INDEXINGFORMAT) &&
          !CRuleKit::IsLoading())
        CheckForInvalidIa(a_pdbdatum);
      return OS_STS_SUCCESS;
    default:
      break;
  }
  if (edbid >= DB_ID_PATCHCODEDETECTIONENABLED && edbid <= DB_ID_PATCHTRANSFER) {
    if (edbidModified == DB_ID_PATCHCODEDETECTIONENABLED) FixAccess(a_pdbdatum);
    return OS_STS_SUCCESS;
  }
  const bool blFollower = edbid == DB_ID_BATCHLEVEL || edbid == DB_ID_BATCHSTARTFUNCTION ||
                          edbid == DB_ID_IMAGEADDRESS || IsField(edbid) || IsLevelToFollow(edbid);
  if (!blFollower) {
    OsLog(OS_LOG_ERROR, "Unrecognized edbid...%d", edbid);
    return OS_STS_FAIL;
  }
  // The followers of the address itself hold still while checks are
  // relaxed or a profile loads.
  if (IsRelaxedOrLoading()) return OS_STS_SUCCESS;
  if (edbidModified == DB_ID_IMAGEADDRESSTEMPLATES) {
    if (edbid != DB_ID_BATCHSTARTFUNCTION) FollowTemplate(a_pdbdatum, lModified);
  } else if (IsField(edbidModified)) {
    if (edbid == DB_ID_IMAGEADDRESS) {
      a_pdbdatum->SetCurrentString("");
    } else if (!IsField(edbid)) {
      FallBackLevel(a_pdbdatum, IsLevelToFollow(edbid));
    }
  } else if (edbidModified == DB_ID_IMAGEADDRESSSCANNER && edbid == DB_ID_IMAGEADDRESS &&
             pdbdatumModified->GetDataType() == DB_DATATYPE_STRING) {
    RebuildFromScanner(a_pdbdatum, pdbdatumModified->GetCurrentStringNoCallback());
  }
  return OS_STS_SUCCESS;
}
