// The image-address rules: the template table, the fields and levels as
// the rules read them, when an image address is needed, the defaults, the
// access of every capability they rule and the patch values for the
// scanner.
#include "db_cdbiaimpl.h"

#include <new>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbcontainer.h"
#include "db_cdbdatum.h"
#include "db_cdbia.h"
#include "db_cdblookup.h"
#include "db_crulekit.h"
#include "os_coslog.h"

namespace {

bool (*s_pfnallocationfails)() = nullptr;

constexpr char s_szIndexingFormat[] = "indexingformat";
constexpr EDBID s_aedbidField[4] = {DB_ID_IMAGEADDRESS_A, DB_ID_IMAGEADDRESS_B, DB_ID_IMAGEADDRESS_C,
                                    DB_ID_IMAGEADDRESS_D};

// A template of field patterns (levels 1, 1, 1).
constexpr DbImageAddressTemplate Template(int64_t a_i64Row, const char* a_szA, const char* a_szB, const char* a_szC,
                                          const char* a_szD, const char* a_szFull) {
  DbImageAddressTemplate dbimageaddresstemplate = {a_i64Row, {1, 1, 1}, {}, {}};
  const char* aszField[4] = {a_szA, a_szB, a_szC, a_szD};
  for (int iField = 0; iField < 4; ++iField) {
    for (int i = 0; aszField[iField][i]; ++i) dbimageaddresstemplate.aszField[iField][i] = aszField[iField][i];
  }
  for (int i = 0; a_szFull[i]; ++i) dbimageaddresstemplate.szFull[i] = a_szFull[i];
  return dbimageaddresstemplate;
}

constexpr char s_szF9[] = "FFFFFFFFF";

// Modified values whose change the access of every image-address setting
// follows: the settings, bar the starting address, and the format.
bool IsSettingForAccess(EDBID a_edbid) {
  return (CDbIa::IsImageAddressSetting(a_edbid) && a_edbid != DB_ID_IMAGEADDRESS) || a_edbid == DB_ID_INDEXINGFORMAT;
}

bool IsOn(EDBID a_edbid) { return CRuleKit::ValueOf(a_edbid, DB_BIN_MACHINE, 1) == 2; }

}  // namespace

// ---------------------------------------------------------------------------
// The template table
// ---------------------------------------------------------------------------
const DbImageAddressTemplate CDbIaImpl::s_adbimageaddresstemplates[19] = {
    Template(0, s_szF9, "", "", "", s_szF9),
    Template(1, s_szF9, "", "", "", s_szF9),
    Template(2, s_szF9, "", "", "", s_szF9),
    Template(3, s_szF9, "333333", "222222", "111111", "FFFFFFFFF.333333.222222.111111"),
    Template(4, s_szF9, "222222222", "111111111", "", "FFFFFFFFF.222222222.111111111"),
    Template(5, s_szF9, "111111111", "", "", "FFFFFFFFF.111111111"),
    Template(6, s_szF9, "333333333", "222222222", "", "FFFFFFFFF.333333333.222222222"),
    Template(7, s_szF9, "222222222", "", "", "FFFFFFFFF.222222222"),
    Template(8, s_szF9, "", "", "", s_szF9),
    Template(9, s_szF9, "", "", "", s_szF9),
    Template(10, s_szF9, "", "", "", s_szF9),
    Template(11, s_szF9, "", "", "", s_szF9),
    Template(12, s_szF9, "", "", "", s_szF9),
    Template(13, s_szF9, "", "", "", s_szF9),
    Template(14, s_szF9, "", "", "", s_szF9),
    Template(15, s_szF9, "", "", "", s_szF9),
    Template(16, s_szF9, "", "", "", s_szF9),
    Template(17, s_szF9, "", "", "", s_szF9),
    Template(18, s_szF9, "", "", "", s_szF9),
};

CDbIaImpl::CDbIaImpl(CDatabase* a_pdatabase) : m_pdatabase(a_pdatabase) {
  if (s_pfnallocationfails && s_pfnallocationfails()) throw std::bad_alloc();
}

void CDbIaImpl::SetAllocationSeam(bool (*a_pfnfail)()) { s_pfnallocationfails = a_pfnfail; }

const DbImageAddressTemplate* CDbIaImpl::GetDbImageAddressTemplate() {
  const long lTemplate = CRuleKit::ValueOf(DB_ID_IMAGEADDRESSTEMPLATES, DB_BIN_MACHINE, 0);
  if (lTemplate < DB_ID_IMAGEADDRESSTEMPLATES_ENUM_NONE || lTemplate > DB_ID_IMAGEADDRESSTEMPLATES_ENUM_16)
    return nullptr;
  return &s_adbimageaddresstemplates[lTemplate];
}

// ---------------------------------------------------------------------------
// Fields, levels and states
// ---------------------------------------------------------------------------
bool CDbIaImpl::FieldPattern(int a_iField, const char** a_pszPattern) {
  *a_pszPattern = "";
  CDbDatum* pdbdatum = CRuleKit::Supported(s_aedbidField[a_iField], DB_BIN_MACHINE);
  if (!pdbdatum || pdbdatum->GetDataType() != DB_DATATYPE_STRING) return false;
  *a_pszPattern = pdbdatum->GetCurrentStringNoCallback();
  return true;
}

bool CDbIaImpl::HasFieldOfLevel(char a_cLevel) {
  for (int iField = 0; iField < 4; ++iField) {
    const char* szPattern = nullptr;
    if (FieldPattern(iField, &szPattern) && szPattern[0] == a_cLevel) return true;
  }
  return false;
}

bool CDbIaImpl::IsRelaxedOrLoading() { return CRuleKit::IsRelaxed() || CRuleKit::IsLoading(); }

bool CDbIaImpl::IsImageAddressFormat() {
  return CRuleKit::ValueOf(DB_ID_INDEXINGFORMAT, DB_BIN_MACHINE, DB_ID_INDEXINGFORMAT_ENUM_NONE) ==
         DB_ID_INDEXINGFORMAT_ENUM_IMAGEADDRESS;
}

bool CDbIaImpl::NeedImageAddress(CDbDatum*) {
  if (IsImageAddressFormat()) return true;
  CDbDatum* pdbdatumModified = CDbDatum::GetModified();
  return pdbdatumModified && CDbDatum::TestDbState(DB_STATE_FIXUP) && IsSettingForAccess(pdbdatumModified->GetId());
}

// ---------------------------------------------------------------------------
// FixDefault
// ---------------------------------------------------------------------------
// The indexing formats the model offers stay; one that is not offered goes
// unless it is the last left, when the capability goes instead. An item is
// deleted where it stands, so the next one moves into its place and is
// looked at in turn.
EOSSTS CDbIaImpl::FixDefault(CDbDatum* a_pdbdatum) {
  EOSSTS eossts = OS_STS_FAIL;
  if (CDbEnum* pdbenum = dbcontainer::AsEnum(a_pdbdatum)) {
    eossts = pdbenum->CDbEnum::FixDefault();
  } else if (CDbRange* pdbrange = dbcontainer::AsRange(a_pdbdatum)) {
    eossts = pdbrange->CDbRange::FixDefault();
  } else if (CDbString* pdbstring = dbcontainer::AsString(a_pdbdatum)) {
    eossts = pdbstring->CDbString::FixDefault();
  } else {
    OsLog(OS_LOG_ERROR, "Unrecognized container type...%d", a_pdbdatum ? a_pdbdatum->GetContainerType() : 0);
    return OS_STS_FAIL;
  }
  if (eossts != OS_STS_SUCCESS || a_pdbdatum->GetId() != DB_ID_INDEXINGFORMAT) return eossts;
  CDbEnum* pdbenum = dbcontainer::AsEnum(a_pdbdatum);
  DbLookup2* pdblookup2 = pdbenum->GetLookup();
  for (long l = 0; l < pdbenum->GetDefaultItemCount();) {
    const long lItem = pdbenum->GetDefaultItem(l);
    const DbLookupEnum* pdblookupenum =
        pdblookup2 && m_pdatabase ? m_pdatabase->LookupDbEnum(pdblookup2, lItem) : nullptr;
    if (pdblookupenum && pdblookupenum->szLexiconEnum &&
        m_pdatabase->ConfigEnumExists(s_szIndexingFormat, pdblookupenum->szLexiconEnum, DB_CONFIGTARGET_COMMON)) {
      ++l;
      continue;
    }
    if (pdbenum->GetDefaultItemCount() == 1) {
      OsLog(OS_LOG_ERROR, "rules>>> no indexing format offered, not supported...%ld", lItem);
      pdbenum->SetAccess(DB_ACCESS_NOTSUPPORTED);
      return OS_STS_SUCCESS;
    }
    pdbenum->DeleteDefaultItem(lItem);
  }
  pdbenum->FixDefaultReset();
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// FixAccess
// ---------------------------------------------------------------------------
// The batch count is held while pages or images are being counted, except
// when the batch switch itself changes.
EOSSTS CDbIaImpl::FixAccessBatchCount(CDbDatum* a_pdbdatum) {
  CDbDatum* pdbdatumModified = CDbDatum::GetModified();
  const bool blBySwitch = pdbdatumModified && pdbdatumModified->GetId() == DB_ID_BATCHCOUNTENABLED;
  if (!blBySwitch && (CRuleKit::ValueOf(DB_ID_PAGECOUNT, DB_BIN_MACHINE, 0) > 0 ||
                      CRuleKit::ValueOf(DB_ID_XFERCOUNT, DB_BIN_MACHINE, 0) > 0)) {
    a_pdbdatum->SetAccess(DB_ACCESS_DISABLED);
    return OS_STS_SUCCESS;
  }
  a_pdbdatum->SetAccess(!IsOn(DB_ID_BATCHCOUNTENABLED) ? DB_ACCESS_DISABLED
                        : IsImageAddressFormat()       ? DB_ACCESS_READWRITE
                                                       : DB_ACCESS_READWRITEDISABLED);
  return OS_STS_SUCCESS;
}

// Image-address settings are the user's while the format is imageaddress
// and shown greyed otherwise. Patch detection is switched within that rule
// only: greyed with it would lock itself off.
EOSSTS CDbIaImpl::FixAccess(CDbDatum* a_pdbdatum) {
  if (!a_pdbdatum) {
    OsLog(OS_LOG_ERROR, "a_pdbdatum is null...");
    return OS_STS_FAIL;
  }
  const EDBACCESS edbaccessCommon = IsImageAddressFormat() ? DB_ACCESS_READWRITE : DB_ACCESS_READWRITEDISABLED;
  const EDBID edbid = a_pdbdatum->GetId();
  switch (edbid) {
    case DB_ID_BATCHCOUNT:
      return FixAccessBatchCount(a_pdbdatum);
    case DB_ID_BATCHCOUNTENABLED:
    case DB_ID_IMAGEADDRESS:
    case DB_ID_IMAGEADDRESSSCANNER:
    case DB_ID_IMAGEADDRESSTEMPLATES:
    case DB_ID_IMAGEADDRESS_A:
    case DB_ID_IMAGEADDRESS_B:
    case DB_ID_IMAGEADDRESS_C:
    case DB_ID_IMAGEADDRESS_D:
    case DB_ID_LEVELTOFOLLOW1:
    case DB_ID_LEVELTOFOLLOW2:
    case DB_ID_LEVELTOFOLLOW3:
    case DB_ID_PRINTERIMAGEADDRESSFORMAT:
    case DB_ID_PRINTERIMAGEADDRESSLEVEL:
      a_pdbdatum->SetAccess(edbaccessCommon);
      return OS_STS_SUCCESS;
    case DB_ID_BATCHENDFUNCTION:
    case DB_ID_BATCHLEVEL:
    case DB_ID_BATCHSTARTFUNCTION:
      if (a_pdbdatum->GetAccess() == DB_ACCESS_NOTSUPPORTED) return OS_STS_SUCCESS;
      a_pdbdatum->SetAccess(IsOn(DB_ID_BATCHCOUNTENABLED) ? edbaccessCommon : DB_ACCESS_DISABLED);
      return OS_STS_SUCCESS;
    case DB_ID_IMAGEADDRESSTEMPLATES_PREV:
    case DB_ID_PRINTERWRITESEQUENCESTRING:
      return OS_STS_SUCCESS;
    default:
      break;
  }
  if (edbid < DB_ID_PATCHCODEDETECTIONENABLED || edbid > DB_ID_PATCHTRANSFER) {
    OsLog(OS_LOG_ERROR, "Unrecognized edbid...%d", edbid);
    return OS_STS_FAIL;
  }
  if (a_pdbdatum->GetAccess() == DB_ACCESS_NOTSUPPORTED) return OS_STS_SUCCESS;
  if (edbid == DB_ID_PATCHCODEDETECTIONENABLED || !IsImageAddressFormat()) {
    a_pdbdatum->SetAccess(edbaccessCommon);
  } else {
    a_pdbdatum->SetAccess(IsOn(DB_ID_PATCHCODEDETECTIONENABLED) ? DB_ACCESS_READWRITE : DB_ACCESS_DISABLED);
  }
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// MakeXml
// ---------------------------------------------------------------------------
// The patch settings reach the scanner only while it detects patches for
// an image address; otherwise each goes out off.
void CDbIaImpl::MakeXml(CDbDatum* a_pdbdatum, long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  if (!a_pdbdatum) {
    OsLog(OS_LOG_ERROR, "a_pdbdatum is null...");
    return;
  }
  const EDBID edbid = a_pdbdatum->GetId();
  if (edbid < DB_ID_PATCHFEATURE1 || edbid > DB_ID_PATCHTRANSFER) {
    OsLog(OS_LOG_ERROR, "Unrecognized edbid...%d", edbid);
    return;
  }
  const bool blDetecting = IsImageAddressFormat() && IsOn(DB_ID_PATCHCODEDETECTIONENABLED);
  a_pdbdatum->CDbDatum::MakeXml(blDetecting ? a_lValue : 1, a_edbdevicedataTarget);
}
