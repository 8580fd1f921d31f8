// The image-address rules' checks of a value before it is stored: a level
// must be one the address has, one patch head stays on, and the texts.
#include "db_cdatabase.h"
#include "db_cdbcontainer.h"
#include "db_cdbdatum.h"
#include "db_cdbiaimpl.h"
#include "db_crulekit.h"
#include "os_coslog.h"

namespace {

constexpr char s_szLevelToFollow[] = "E_LEVELTOFOLLOW";

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

// The starting address and the field patterns: the string's own limits.
EOSSTS CDbIaImpl::Validate(CDbDatum* a_pdbdatum, EDBID_WINDOW a_edbidwindow, const char* a_szValue) {
  CDbString* pdbstring = dbcontainer::AsString(a_pdbdatum);
  const EDBID edbid = a_pdbdatum ? a_pdbdatum->GetId() : DB_ID_UNDEFINED;
  if (!pdbstring || (edbid != DB_ID_IMAGEADDRESS && (edbid < DB_ID_IMAGEADDRESS_A || edbid > DB_ID_IMAGEADDRESS_D))) {
    OsLog(OS_LOG_ERROR, "Unrecognized edbid...%d", edbid);
    return OS_STS_FAIL;
  }
  return pdbstring->CDbString::Validate(a_edbidwindow, a_szValue);
}
