// The public device service object: every operation forwards to the
// implementation; the open-description reader needs none.
#include "os_cosusb.h"

#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosusbimpl.h"
#include "os_cosusbopenloader.h"
#include "os_cosxml.h"

namespace {
// Every operation checks the implementation first.
bool Missing(COsUsbImpl* a_posusbimpl) {
  if (a_posusbimpl) return false;
  OsLog(OS_LOG_ERROR, "m_posusbimpl is null...");
  return true;
}
}  // namespace

COsUsb::COsUsb(const char* a_szDeviceConfig, const char* a_szDeviceFileName, const char* a_szDeviceFriendlyName,
               const char* a_szSerialNumber, bool a_blSkipClose)
    : m_posusbimpl(new COsUsbImpl(this, a_szDeviceConfig, a_szDeviceFileName, a_szDeviceFriendlyName,
                                  a_szSerialNumber, a_blSkipClose)) {
  OsLogDebug(OS_LOG_INFO, "mem>>> addr:%p  size:%7d  new %s", static_cast<void*>(m_posusbimpl),
             static_cast<int>(sizeof(COsUsbImpl)), "COsUsbImpl");
}

COsUsb::~COsUsb() { OsMemDelete(m_posusbimpl); }

EOSSTS COsUsb::Lock(long a_lTimeout) { return Missing(m_posusbimpl) ? OS_STS_FAIL : m_posusbimpl->Lock(a_lTimeout); }
EOSSTS COsUsb::Unlock() { return Missing(m_posusbimpl) ? OS_STS_FAIL : m_posusbimpl->Unlock(false); }
int64_t COsUsb::IsLocked() { return Missing(m_posusbimpl) ? 0 : m_posusbimpl->IsLocked(); }

EOSSTS COsUsb::IsResourceAvailable(const char* a_szDeviceName) {
  return Missing(m_posusbimpl) ? OS_STS_FAIL : m_posusbimpl->IsResourceAvailable(a_szDeviceName);
}
EOSSTS COsUsb::PnpAdd(const char* a_szEntry) {
  return Missing(m_posusbimpl) ? OS_STS_FAIL : m_posusbimpl->PnpAdd(a_szEntry);
}
void COsUsb::PnpRemove() {
  if (!Missing(m_posusbimpl)) m_posusbimpl->PnpRemove();
}
EOSSTS COsUsb::PnpGetSerialNumbers(char* a_szBuffer, size_t a_sizetBuffer) {
  return Missing(m_posusbimpl) ? OS_STS_FAIL : m_posusbimpl->PnpGetSerialNumbers(a_szBuffer, a_sizetBuffer);
}
const char* COsUsb::PnpGetChange() { return Missing(m_posusbimpl) ? "" : m_posusbimpl->PnpGetChange(); }

EOSSTS COsUsb::RegisterCallback(EOSUSBPIPE a_eosusbpipe, EOSUSBCALLBACK a_eosusbcallback, OSUSBCALLBACK a_pfnCallback,
                                void* a_pvUser) {
  return Missing(m_posusbimpl) ? OS_STS_FAIL
                               : m_posusbimpl->RegisterCallback(a_eosusbpipe, a_eosusbcallback, a_pfnCallback, a_pvUser);
}
long COsUsb::SetTimeout(EOSUSBPIPE a_eosusbpipe, long a_lMilliseconds) {
  return Missing(m_posusbimpl) ? 0 : m_posusbimpl->SetTimeout(a_eosusbpipe, a_lMilliseconds);
}
void COsUsb::SetSessionEndFlag() {
  if (!Missing(m_posusbimpl)) m_posusbimpl->SetSessionEndFlag();
}
void COsUsb::SetDisconnectWontUnlock(bool a_blDisconnectWontUnlock) {
  if (!Missing(m_posusbimpl)) m_posusbimpl->SetDisconnectWontUnlock(a_blDisconnectWontUnlock);
}
EOSSTS COsUsb::DeviceIsReady() { return Missing(m_posusbimpl) ? OS_STS_FAIL : m_posusbimpl->DeviceIsReady(); }
void COsUsb::WaitForWia() {}

EOSSTS COsUsb::Init(uint32_t a_u32WireMask, const char* a_szDeviceList, const char* a_szProbe,
                    COsFile* a_posfileSimulation) {
  return Missing(m_posusbimpl) ? OS_STS_FAIL
                               : m_posusbimpl->Init(a_u32WireMask, a_szDeviceList, a_szProbe, a_posfileSimulation);
}
EOSSTS COsUsb::FindFirstConnected(OsUsbFind* a_posusbfind, const char* a_szFilter) {
  return Missing(m_posusbimpl) ? OS_STS_FAIL : m_posusbimpl->FindFirst(a_posusbfind, a_szFilter);
}
EOSSTS COsUsb::FindNextConnected(OsUsbFind* a_posusbfind, const char* a_szFilter) {
  return Missing(m_posusbimpl) ? OS_STS_FAIL : m_posusbimpl->FindNext(a_posusbfind, a_szFilter);
}
EOSSTS COsUsb::FindFirstConstraint(OsUsbFind* a_posusbfind) {
  return Missing(m_posusbimpl) ? OS_STS_FAIL : m_posusbimpl->FindConstraint(a_posusbfind, true);
}
EOSSTS COsUsb::FindNextConstraint(OsUsbFind* a_posusbfind) {
  return Missing(m_posusbimpl) ? OS_STS_FAIL : m_posusbimpl->FindConstraint(a_posusbfind, false);
}
EOSSTS COsUsb::FindFirstDeviceSelection(OsUsbFind* a_posusbfind) {
  return Missing(m_posusbimpl) ? OS_STS_FAIL : m_posusbimpl->FindDeviceSelection(a_posusbfind, true);
}
EOSSTS COsUsb::FindNextDeviceSelection(OsUsbFind* a_posusbfind) {
  return Missing(m_posusbimpl) ? OS_STS_FAIL : m_posusbimpl->FindDeviceSelection(a_posusbfind, false);
}
EOSSTS COsUsb::OpenAndLock(OsUsbOpen* a_posusbopen) {
  return Missing(m_posusbimpl) ? OS_STS_FAIL : m_posusbimpl->OpenAndLock(a_posusbopen);
}
EOSSTS COsUsb::Ioctl(EOSUSBIOCTL a_eosusbioctl, void* a_pvCommand, uint64_t a_u64Command, void* a_pvData,
                     uint64_t a_u64Data, uint64_t* a_pu64Transferred) {
  if (!m_posusbimpl) {
    OsLog(OS_LOG_ERROR, "usb>>> must open a device first...");
    return OS_STS_FAIL;
  }
  return m_posusbimpl->Ioctl(a_eosusbioctl, a_pvCommand, a_u64Command, a_pvData, a_u64Data, a_pu64Transferred);
}
EOSSTS COsUsb::SetDeviceConnection(uint32_t a_eosusbconnectionrequest, const char* a_szReason) {
  return Missing(m_posusbimpl) ? OS_STS_FAIL : m_posusbimpl->SetDeviceConnection(a_eosusbconnectionrequest, a_szReason);
}
EOSSTS COsUsb::RemoteControl() { return OS_STS_SUCCESS; }
void COsUsb::Close(bool a_blFlag, const char* a_szCaller, long a_lLine) {
  if (!Missing(m_posusbimpl)) m_posusbimpl->Close(a_blFlag, a_szCaller, a_lLine);
}

EOSSTS COsUsb::LoadOsUsbOpen(const char* a_szXml, OsUsbOpen* a_posusbopen) {
  if (!a_szXml) {
    OsLog(OS_LOG_ERROR, "a_szXml is null...");
    return OS_STS_FAIL;
  }
  if (!a_posusbopen) {
    OsLog(OS_LOG_ERROR, "a_osusbopen is null...");
    return OS_STS_FAIL;
  }
  OsLogDebug(OS_LOG_INFO, "usb>>> LoadOsUsbOpen: <%s>", a_szXml);
  COsUsbOpenLoader osusbopenloader(a_posusbopen);
  COsXml osxml;
  EOSSTS eossts = osxml.DispatchAddObject("this", "COsUsbOpenLoader", &osusbopenloader);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DispatchAddObject failed...");
    return eossts;
  }
  eossts = osxml.DispatchLoad(COsUsbOpenLoader::s_szGrammar);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DispatchLoad failed...<%s>", COsUsbOpenLoader::s_szGrammar);
    return eossts;
  }
  eossts = osxml.DocumentLoadAndDispatch(a_szXml, nullptr);
  if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "DispatchLoadAndDispatch failed...");
  return eossts;
}
