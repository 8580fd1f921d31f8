// The interface of the device object: opened once per driver session,
// closed before the object goes. Waits for the device-manager adapter.
#include "db_cdblock.h"
#include "dev_cdevimpl.h"
#include "dev_cdevnexil.h"
#include "os_coslog.h"
#include "os_cosmem.h"

EOSSTS CDevImpl::InterfaceOpen(EDEVDRIVER, CDev*) {
  OsLogDebug(OS_LOG_INFO, "CDevImpl::InterfaceOpen: not built yet");
  return OS_STS_FAIL;
}

void CDevImpl::InterfaceClose() { CDbLockRelease dblockrelease; }

EOSSTS CDevImpl::NexilInterfaceOpen(EDEVDRIVER) { return OS_STS_FAIL; }

void CDevImpl::DeleteAdapters() { OsMemDelete(pod.m_pdevnexil); }

long CDevImpl::GetDeviceStatus() { return DEV_DEVICESTATUS_OFFLINE; }

void CDevImpl::SessionBounce() {}

EDEVSTS CDevImpl::GetConfig(EDBID_FIRMWARE, EDBID) {
  OsLog(OS_LOG_ERROR, "pod.m_pdevdevice is null...");
  return DEV_STS_FAIL;
}
