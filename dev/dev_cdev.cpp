// The device facade: every operation checks the implementation first.
#include "dev_cdev.h"

#include "dev_cdevimpl.h"
#include "os_coslog.h"
#include "os_cosmem.h"

namespace {
bool Missing(const CDevImpl* a_pdevimpl) {
  if (a_pdevimpl) return false;
  OsLog(OS_LOG_ERROR, "m_pdevimpl is null...");
  return true;
}
}  // namespace

CDev::CDev(CDatabase* a_pdatabase, CDriver* a_pdriver, EOSSTS (*a_pfnCallback)(void*))
    : m_pdevimpl(OsMemNew(CDevImpl, a_pdatabase, this, a_pdriver, a_pfnCallback)) {}

CDev::~CDev() { OsMemDelete(m_pdevimpl); }

long CDev::GetDeviceStatus() {
  if (Missing(m_pdevimpl)) return DEV_DEVICESTATUS_NONE;
  return m_pdevimpl->GetDeviceStatus();
}

void CDev::SetDeviceOnline(bool a_blOnline) {
  if (Missing(m_pdevimpl)) return;
  m_pdevimpl->SetDeviceOnline(a_blOnline);
}

void CDev::RegisterCallbacks() {
  if (Missing(m_pdevimpl)) return;
  m_pdevimpl->RegisterCallbacks();
}

void CDev::SetFeederLoaded(long a_lFeederLoaded) {
  if (Missing(m_pdevimpl)) return;
  m_pdevimpl->SetFeederLoaded(a_lFeederLoaded);
}

long CDev::GetFeederAskedCount() {
  if (Missing(m_pdevimpl)) return 0;
  return m_pdevimpl->GetFeederAskedCount();
}

bool CDev::ScanIsScanning() {
  if (Missing(m_pdevimpl)) return false;
  return m_pdevimpl->ScanIsScanning();
}

EOSSTS CDev::ScanRequestStop(EDEVSTOPACTION a_edevstopaction) {
  if (Missing(m_pdevimpl)) return OS_STS_FAIL;
  return m_pdevimpl->ScanRequestStop(a_edevstopaction);
}

EOSSTS CDev::SetDriverEvent(EDEVEVENT a_edevevent, const char* a_szValue) {
  if (Missing(m_pdevimpl)) return OS_STS_FAIL;
  return m_pdevimpl->SetDriverEvent(a_edevevent, a_szValue);
}

void CDev::PnpChange(const char* a_szText) {
  if (Missing(m_pdevimpl)) return;
  m_pdevimpl->PnpChange(a_szText);
}

void CDev::SetScanIsScanning(bool a_blScanning) {
  if (Missing(m_pdevimpl)) return;
  m_pdevimpl->SetScanIsScanning(a_blScanning);
}

DevCallRecord CDev::GetCallRecord() {
  if (Missing(m_pdevimpl)) return {};
  return m_pdevimpl->GetCallRecord();
}
