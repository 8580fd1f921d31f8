// The session's device state: the units' resource lock, the callbacks
// registered with a unit, and the button pressed on the feeder's operator
// panel.
#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdevdevice.h"
#include "dev_cdevimpl.h"
#include "os_coslog.h"

EOSSTS CDevImpl::ResourceLock() {
  OsLogDebug(OS_LOG_INFO, "ResourceLock...");
  if (!pod.m_pdevdevice) {
    OsLog(OS_LOG_ERROR, "pod.m_pdevdevice is null...");
    return OS_STS_FAIL;
  }
  return static_cast<EOSSTS>(pod.m_pdevdevice->ResourceLock());
}

void CDevImpl::ResourceUnlock() {
  OsLogDebug(OS_LOG_INFO, "ResourceUnlock...");
  if (!pod.m_pdevdevice) {
    OsLog(OS_LOG_ERROR, "pod.m_pdevdevice is null...");
    return;
  }
  pod.m_pdevdevice->ResourceUnlock();
}

EOSSTS CDevImpl::RegisterCallback(EDBID_FIRMWARE a_edbidfirmware, const char* a_szName, EOSSTS (*a_pfnCallback)(void*),
                                  void* a_pvArgument) {
  if (!pod.m_pdevdevice) {
    OsLog(OS_LOG_ERROR, "pod.m_pdevdevice is null...");
    return OS_STS_FAIL;
  }
  return static_cast<EOSSTS>(
      pod.m_pdevdevice->RegisterCallback(a_edbidfirmware, a_szName, a_pfnCallback, a_pvArgument));
}

// The reply of getocpbutton sets "ocpbutton".
long CDevImpl::GetOcpButton() {
  if (!pod.m_pdatabase) {
    OsLog(OS_LOG_ERROR, "pod.m_pdatabase is null...");
    return 0;
  }
  {
    CDbLockGuard dblockguard;
    if (!pod.m_pdatabase->ConfigEnumExists("papersource", "adf", DB_CONFIGTARGET_COMMON)) return 0;
  }
  const EOSSTS eossts = ResourceLock();
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "CDevImpl::Failed to lock resource %d", static_cast<int>(eossts));
    return 0;
  }
  const EDEVSTS edevsts = pod.m_pdevdevice->GetOcpButton(DB_FIRMWARE_ADF);
  ResourceUnlock();
  if (edevsts != DEV_STS_SUCCESS) return 0;
  CDbLockGuard dblockguard;
  return static_cast<long>(pod.m_pdatabase->ConfigGetNumber("ocpbutton", DB_CONFIGTARGET_COMMON));
}
