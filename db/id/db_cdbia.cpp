// The image-address rules object: makes and deletes its implementation and
// hands every rule operation to it.
#include "db_cdbia.h"

#include "db_cdbiaimpl.h"
#include "os_coslog.h"
#include "os_cosmem.h"

CDbIa::CDbIa(CDatabase* a_pdatabase) : m_pdbiaimpl(OsMemNew(CDbIaImpl, a_pdatabase)) {
  if (!m_pdbiaimpl) OsLog(OS_LOG_ERROR, "OsMemNew failed...");
}

CDbIa::~CDbIa() { OsMemDelete(m_pdbiaimpl); }

void CDbIa::SetAllocationSeam(PFNDBIAFAIL a_pfndbiafail) { CDbIaImpl::SetAllocationSeam(a_pfndbiafail); }

bool CDbIa::IsImageAddressSetting(EDBID a_edbid) {
  switch (a_edbid) {
    case DB_ID_CHECKDIGIT:
    case DB_ID_IMAGEADDRESS:
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
      return true;
    default:
      return (a_edbid >= DB_ID_BATCHCOUNT && a_edbid <= DB_ID_BATCHSTARTFUNCTION) ||
             (a_edbid >= DB_ID_PATCHCODEDETECTIONENABLED && a_edbid <= DB_ID_PATCHTRANSFER);
  }
}

CDbIaImpl* CDbIa::Impl() {
  if (!m_pdbiaimpl) OsLog(OS_LOG_ERROR, "m_pdbiaimpl is null...");
  return m_pdbiaimpl;
}

EOSSTS CDbIa::FixDefault(CDbDatum* a_pdbdatum) {
  CDbIaImpl* pdbiaimpl = Impl();
  return pdbiaimpl ? pdbiaimpl->FixDefault(a_pdbdatum) : OS_STS_FAIL;
}

EOSSTS CDbIa::FixAccess(CDbDatum* a_pdbdatum) {
  CDbIaImpl* pdbiaimpl = Impl();
  return pdbiaimpl ? pdbiaimpl->FixAccess(a_pdbdatum) : OS_STS_FAIL;
}

EOSSTS CDbIa::FixCurrent(CDbDatum* a_pdbdatum) {
  CDbIaImpl* pdbiaimpl = Impl();
  return pdbiaimpl ? pdbiaimpl->FixCurrent(a_pdbdatum) : OS_STS_FAIL;
}

EOSSTS CDbIa::Validate(CDbDatum* a_pdbdatum, EDBID_WINDOW a_edbidwindow, long a_lValue) {
  CDbIaImpl* pdbiaimpl = Impl();
  return pdbiaimpl ? pdbiaimpl->Validate(a_pdbdatum, a_edbidwindow, a_lValue) : OS_STS_FAIL;
}

EOSSTS CDbIa::Validate(CDbDatum* a_pdbdatum, EDBID_WINDOW a_edbidwindow, const char* a_szValue) {
  CDbIaImpl* pdbiaimpl = Impl();
  return pdbiaimpl ? pdbiaimpl->Validate(a_pdbdatum, a_edbidwindow, a_szValue) : OS_STS_FAIL;
}

void CDbIa::MakeXml(CDbDatum* a_pdbdatum, long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  if (CDbIaImpl* pdbiaimpl = Impl()) pdbiaimpl->MakeXml(a_pdbdatum, a_lValue, a_edbdevicedataTarget);
}
