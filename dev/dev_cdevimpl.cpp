// The device implementation's session state and the value callbacks through
// which the database asks the scanner.
#include "dev_cdevimpl.h"

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "os_coslog.h"

CDevImpl::CDevImpl(CDatabase* a_pdatabase, CDev* a_pdev, CDriver* a_pdriver, EOSSTS (*a_pfnCallback)(void*))
    : m_pdatabase(a_pdatabase), m_blOnline(false) {}

CDevImpl::~CDevImpl() = default;

long CDevImpl::GetDeviceStatus() { return m_blOnline ? DEV_DEVICESTATUS_ONLINE : DEV_DEVICESTATUS_OFFLINE; }

void CDevImpl::SetDeviceOnline(bool a_blOnline) { m_blOnline = a_blOnline; }

// On the machine datum, the one FEEDERLOADED has.
void CDevImpl::RegisterCallbacks() {
  CDbDatum* pdbdatum = m_pdatabase ? m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_FEEDERLOADED) : nullptr;
  if (!pdbdatum) {
    OsLog(OS_LOG_ERROR, "FEEDERLOADED not found...");
    return;
  }
  pdbdatum->RegisterCallback(DB_CALLBACK_GETLONG, CallBackFeederLoaded, this);
}

long CDevImpl::IsFeederLoaded() {
  m_lFeederAsked.fetch_add(1);
  const long lFeederLoaded = m_lFeederLoaded.load();
  OsLogDebug(OS_LOG_INFO, "IsFeederLoaded (fromscanner): %ld", lFeederLoaded);
  return lFeederLoaded;
}

// The scanner's answer goes in as its replies do: forced, so that the value
// is stored even where the capability is read-only.
EOSSTS CDevImpl::CallBackFeederLoaded(void* a_pvDbCallbackRecord) {
  auto* pdbcallbackrecord = static_cast<DbCallbackRecord*>(a_pvDbCallbackRecord);
  auto* pdevimpl = pdbcallbackrecord ? static_cast<CDevImpl*>(pdbcallbackrecord->pvUser) : nullptr;
  if (!pdevimpl || !pdbcallbackrecord->pdatabase) return OS_STS_FAIL;
  pdbcallbackrecord->pdatabase->ForceCurrentLong(pdbcallbackrecord->pdbdatum, pdevimpl->IsFeederLoaded());
  return OS_STS_SUCCESS;
}

// 5: no scan runs.
EOSSTS CDevImpl::ScanRequestStop(EDEVSTOPACTION a_edevstopaction) {
  std::lock_guard<std::mutex> lock(m_mutexCallRecord);
  m_devcallrecord.vecedevstopaction.push_back(a_edevstopaction);
  return m_blScanning.load() ? OS_STS_SUCCESS : static_cast<EOSSTS>(5);
}

EOSSTS CDevImpl::SetDriverEvent(EDEVEVENT a_edevevent, const char* a_szValue) {
  OsLogDebug(OS_LOG_INFO, "callback>>> SetDriverEvent(%d,%s)", static_cast<int>(a_edevevent),
             a_szValue ? a_szValue : "null");
  std::lock_guard<std::mutex> lock(m_mutexCallRecord);
  m_devcallrecord.vecEvent.emplace_back(a_edevevent, a_szValue ? a_szValue : "");
  return OS_STS_SUCCESS;
}

void CDevImpl::PnpChange(const char* a_szText) {
  std::lock_guard<std::mutex> lock(m_mutexCallRecord);
  m_devcallrecord.vecstrPnpChange.emplace_back(a_szText ? a_szText : "");
}

DevCallRecord CDevImpl::GetCallRecord() {
  std::lock_guard<std::mutex> lock(m_mutexCallRecord);
  return m_devcallrecord;
}
