// The public configuration records: every operation checks the
// implementation and forwards to it.
#include "db_cdbconfig.h"

#include "db_cdbconfigimpl.h"
#include "os_coslog.h"
#include "os_cosmem.h"

namespace {
bool Missing(const CDbConfigImpl* a_pdbconfig) {
  if (a_pdbconfig) return false;
  OsLog(OS_LOG_ERROR, "cfg>>> m_pdbconfig is null...");
  return true;
}
}  // namespace

CDbConfig::CDbConfig(CDatabase* a_pdatabase) : m_pdbconfig(OsMemNew(CDbConfigImpl, a_pdatabase)) {}

CDbConfig::~CDbConfig() { OsMemDelete(m_pdbconfig); }

DbConfigRecord* CDbConfig::Add(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget) {
  if (Missing(m_pdbconfig)) return nullptr;
  return m_pdbconfig->Add(a_szId, a_edbconfigtarget);
}

void CDbConfig::Delete(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget) {
  if (Missing(m_pdbconfig)) return;
  m_pdbconfig->Delete(a_szId, a_edbconfigtarget);
}

bool CDbConfig::Exists(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget) {
  if (Missing(m_pdbconfig)) return false;
  return m_pdbconfig->Exists(a_szId, a_edbconfigtarget);
}

const char* CDbConfig::GetString(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget) {
  if (Missing(m_pdbconfig)) return nullptr;
  return m_pdbconfig->GetString(a_szId, a_edbconfigtarget);
}

int64_t CDbConfig::GetNumber(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget) {
  if (Missing(m_pdbconfig)) return -1;
  return m_pdbconfig->GetNumber(a_szId, a_edbconfigtarget);
}

void CDbConfig::SetString(const char* a_szId, const char* a_szString, EDBCONFIGTARGET a_edbconfigtarget) {
  if (Missing(m_pdbconfig)) return;
  m_pdbconfig->SetString(a_szId, a_szString, a_edbconfigtarget);
}

void CDbConfig::SetNumber(const char* a_szId, uint64_t a_u64Number, EDBCONFIGTARGET a_edbconfigtarget) {
  if (Missing(m_pdbconfig)) return;
  m_pdbconfig->SetNumber(a_szId, a_u64Number, a_edbconfigtarget);
}

uint64_t CDbConfig::RangeGetMin(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget) {
  if (Missing(m_pdbconfig)) return static_cast<uint64_t>(-1);
  return m_pdbconfig->RangeGetMin(a_szId, a_edbconfigtarget);
}

uint64_t CDbConfig::RangeGetMax(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget) {
  if (Missing(m_pdbconfig)) return 0;
  return m_pdbconfig->RangeGetMax(a_szId, a_edbconfigtarget);
}

void CDbConfig::RangeSetMin(const char* a_szId, uint64_t a_u64Number, EDBCONFIGTARGET a_edbconfigtarget) {
  if (Missing(m_pdbconfig)) return;
  m_pdbconfig->RangeSetMin(a_szId, a_u64Number, a_edbconfigtarget);
}

void CDbConfig::RangeSetMax(const char* a_szId, uint64_t a_u64Number, EDBCONFIGTARGET a_edbconfigtarget) {
  if (Missing(m_pdbconfig)) return;
  m_pdbconfig->RangeSetMax(a_szId, a_u64Number, a_edbconfigtarget);
}

void CDbConfig::EnumAdd(const char* a_szId, const char* a_szEnum, EDBCONFIGTARGET a_edbconfigtarget) {
  if (Missing(m_pdbconfig)) return;
  m_pdbconfig->EnumAdd(a_szId, a_szEnum, a_edbconfigtarget);
}

bool CDbConfig::EnumExists(const char* a_szId, const char* a_szEnum, EDBCONFIGTARGET a_edbconfigtarget) {
  if (Missing(m_pdbconfig)) return false;
  return m_pdbconfig->EnumExists(a_szId, a_szEnum, a_edbconfigtarget);
}

void CDbConfig::EnumDelete(const char* a_szId, const char* a_szEnum, EDBCONFIGTARGET a_edbconfigtarget) {
  if (Missing(m_pdbconfig)) return;
  m_pdbconfig->EnumDelete(a_szId, a_szEnum, a_edbconfigtarget);
}

const char* CDbConfig::EnumGetFirst(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget) {
  if (Missing(m_pdbconfig)) return nullptr;
  return m_pdbconfig->EnumGetFirst(a_szId, a_edbconfigtarget);
}

const char* CDbConfig::EnumGetNext(const char* a_szId, const char* a_szPrevEnum, EDBCONFIGTARGET a_edbconfigtarget) {
  if (Missing(m_pdbconfig)) return nullptr;
  return m_pdbconfig->EnumGetNext(a_szId, a_szPrevEnum, a_edbconfigtarget);
}

bool CDbConfig::LoadReportInquiry(const char* a_szXml, size_t a_sizetXml, bool a_blInterfaceOpen, bool a_blNexil,
                                  EDBID_FIRMWARE a_edbidfirmware) {
  if (Missing(m_pdbconfig)) return false;
  return m_pdbconfig->LoadReportInquiry(a_szXml, a_sizetXml, a_blInterfaceOpen, a_blNexil, a_edbidfirmware);
}

bool CDbConfig::ProcessReportInquiry(const char* a_szModel, CDev* a_pdev) {
  if (Missing(m_pdbconfig)) return false;
  return m_pdbconfig->ProcessReportInquiry(a_szModel, a_pdev);
}

void CDbConfig::ForgetReportInquiries() {
  if (!Missing(m_pdbconfig)) m_pdbconfig->ReleaseTexts();
}

bool CDbConfig::ProcessReportInquiryXml(const char* a_szPrefix, const char* a_szXml, EDBID_FIRMWARE a_edbidfirmware) {
  if (Missing(m_pdbconfig)) return false;
  return m_pdbconfig->ProcessReportInquiryXml(a_szPrefix, a_szXml, a_edbidfirmware);
}

const char* CDbConfig::UseLanguage(bool a_blDevice, EDBID_FIRMWARE a_edbidfirmware) {
  if (Missing(m_pdbconfig)) return "en_usa";
  return m_pdbconfig->UseLanguage(a_blDevice, a_edbidfirmware);
}

void CDbConfig::Dump() {
  if (Missing(m_pdbconfig)) return;
  m_pdbconfig->Dump();
}

const DbConfigRecord* CDbConfig::GetRecord(size_t a_sizetIndex) {
  if (Missing(m_pdbconfig)) return nullptr;
  return m_pdbconfig->GetRecord(a_sizetIndex);
}
