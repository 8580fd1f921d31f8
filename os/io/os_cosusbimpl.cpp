// The device service's state: construction with the device's entry in the
// shared device list, destruction, the list pass-throughs, callbacks,
// time-outs and session flags.
#include "os_cosusbimpl.h"

#include <cstring>
#include <new>
#include <string>

#include "os_copenusb.h"
#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cossync.h"
#include "os_costhread.h"
#include "os_cosusbpnplist.h"
#include "os_cosusbprobe.h"
#include "os_cosxml.h"

namespace {
constexpr size_t kDeviceConfigRoom = 65536;
constexpr size_t kEntryRoom = 2048;
constexpr long kDefaultTimeout = 60000;

// A device-wide kind is stored once; the others per pipe.
bool IsDeviceWide(EOSUSBCALLBACK a_eosusbcallback) {
  switch (a_eosusbcallback) {
    case OS_USBCALLBACK_CONNECTIONCHANGED:
    case OS_USBCALLBACK_DEVICEEVENT:
    case OS_USBCALLBACK_BUTTONEVENT:
    case OS_USBCALLBACK_SESSIONEVENT:
    case OS_USBCALLBACK_MONITOREVENT: return true;
    default: return false;
  }
}

bool IsPerPipe(EOSUSBCALLBACK a_eosusbcallback) {
  return a_eosusbcallback == OS_USBCALLBACK_INTERRUPT || a_eosusbcallback == OS_USBCALLBACK_PIPEEVENT ||
         a_eosusbcallback == OS_USBCALLBACK_SIMULATION;
}
}  // namespace

COsUsbImpl::COsUsbImpl(COsUsb* a_posusb, const char* a_szDeviceConfig, const char* a_szDeviceFileName,
                       const char* a_szDeviceFriendlyName, const char* a_szSerialNumber, bool a_blSkipClose)
    : m_posusb(a_posusb), m_blSkipClose(a_blSkipClose) {
  char szDebug[16] = {};
  COsCfg::GetEnv("PMX_DEBUGUSB", "", sizeof szDebug, szDebug);
  m_blDebug = szDebug[0] == '1';
  for (auto& alTimeout : m_alTimeout) alTimeout.store(0);
  m_posfileLock = OsMemNew(COsFile);
  if (!m_posfileLock) {
    OsLog(OS_LOG_ERROR, "ResourceLock: device lock OsMemNew failed...");
    throw std::bad_alloc();
  }
  try {
    if (a_szDeviceConfig && a_szDeviceFileName && a_szDeviceFriendlyName) {
      char szEntry[kEntryRoom] = {};
      BuildPnpEntry(a_szDeviceConfig, a_szDeviceFileName, a_szDeviceFriendlyName, a_szSerialNumber, szEntry,
                    sizeof szEntry);
      if (szEntry[0] && !(m_posusbpnplist = OsMemNew(COsUsbPnpList, m_posusb, szEntry, nullptr))) {
        OsLog(OS_LOG_ERROR, "OsMemNew failed...");
        throw std::bad_alloc();
      }
    }
    if (!(m_posusbprobe = OsMemNew(COsUsbProbe, m_posusb, m_posusbpnplist))) {
      OsLog(OS_LOG_ERROR, "OsMemNew failed...");
      throw std::bad_alloc();
    }
  } catch (...) {
    OsMemDelete(m_posusbpnplist);
    OsMemDelete(m_posfileLock);
    throw;
  }
  m_u32WireMask = OS_USBWIRE_ALL;
}

COsUsbImpl::~COsUsbImpl() {
  OsMemDelete(m_posusbpnplist);
  Close(false, "COsUsbImpl", __LINE__);
  OsMemDelete(m_popenusb);
  OsMemFree(m_szDeviceList);
  m_szDeviceList = nullptr;
  OsMemDelete(m_posthreadInterrupt);
  OsMemDelete(m_posthreadMonitor);
  OsMemDelete(m_posfileMarker);
  OsMemDelete(m_posfileLock);
  OsMemDelete(m_posusbprobe);
  OsMemDelete(m_posusbinfo);
  ClosePipeEvents();
}

// The list entry of the device whose friendly name the configuration
// names; left empty (and logged) when there is none or it does not fit.
void COsUsbImpl::BuildPnpEntry(const char* a_szDeviceConfig, const char* a_szDeviceFileName,
                               const char* a_szDeviceFriendlyName, const char* a_szSerialNumber, char* a_szEntry,
                               size_t a_sizetEntry) {
  const size_t sizetConfig = std::strlen(a_szDeviceConfig);
  if (sizetConfig >= kDeviceConfigRoom) {
    OsLog(OS_LOG_ERROR, "Bad device config (too large)...%zu", sizetConfig);
    return;
  }
  char szModel[OS_USB_FRIENDLYNAME] = {}, szDeviceType[OS_USB_FRIENDLYNAME] = {};
  bool blFound = false;
  static const char s_szOpen[] = "<device>", s_szClose[] = "</device>";
  for (const char* pc = std::strstr(a_szDeviceConfig, s_szOpen); pc && !blFound;
       pc = std::strstr(pc + 1, s_szOpen)) {
    const char* pcEnd = std::strstr(pc, s_szClose);
    if (!pcEnd) break;
    std::string strDevice(pc, pcEnd + sizeof s_szClose - 1);
    char szName[OS_USB_FRIENDLYNAME] = {};
    if (COsXml::GetContent(strDevice.c_str(), "<devicefriendlyname>", "</devicefriendlyname>", szName,
                           sizeof szName) != OS_STS_SUCCESS ||
        std::strcmp(szName, a_szDeviceFriendlyName) != 0) {
      continue;
    }
    blFound = COsXml::GetContent(strDevice.c_str(), "<model>", "</model>", szModel, sizeof szModel) ==
                  OS_STS_SUCCESS &&
              COsXml::GetContent(strDevice.c_str(), "<devicetype>", "</devicetype>", szDeviceType,
                                 sizeof szDeviceType) == OS_STS_SUCCESS &&
              szModel[0] && szDeviceType[0];
  }
  if (!blFound) {
    OsLog(OS_LOG_ERROR, "Bad device config (can't find friendly name)...<%s> <%s>", a_szDeviceFileName,
          a_szDeviceFriendlyName);
    return;
  }
  const char* szLogDirectory = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY) : "";
  if (COsString::SStrPrintf(a_szEntry, a_sizetEntry,
                            "<device><wire>usb</wire><model><![CDATA[%s]]></model><devicefriendlyname><![CDATA[%s]]>"
                            "</devicefriendlyname><devicetype>%s</devicetype><devicefilename><![CDATA[%s]]>"
                            "</devicefilename><serialnumber><![CDATA[%s]]></serialnumber><directory><![CDATA[%s]]>"
                            "</directory></device>",
                            szModel, a_szDeviceFriendlyName, szDeviceType, a_szDeviceFileName,
                            a_szSerialNumber ? a_szSerialNumber : "", szLogDirectory ? szLogDirectory : "") < 0) {
    OsLog(OS_LOG_ERROR, "pnp.list entry is too long, not added...<%s>", a_szDeviceFriendlyName);
    a_szEntry[0] = '\0';
  }
}

void COsUsbImpl::UseDevice(const OsUsbInfo& a_osusbinfo, COpenUsb* a_popenusb,
                           openusb_dev_handle_t a_openusbdevhandle) {
  if (!m_posusbinfo) m_posusbinfo = OsMemNew(OsUsbInfo);
  if (m_posusbinfo) *m_posusbinfo = a_osusbinfo;
  if (a_popenusb != m_popenusb) {
    OsMemDelete(m_popenusb);
    m_popenusb = a_popenusb;
  }
  m_openusbdevhandle = a_openusbdevhandle;
  m_blOpen = a_openusbdevhandle != 0;
  for (auto& alTimeout : m_alTimeout) alTimeout.store(kDefaultTimeout);
}

// A list object of its own for each question, so that the answer comes
// from the file as it is now.
EOSSTS COsUsbImpl::IsResourceAvailable(const char* a_szDeviceName) {
  COsUsbPnpList* posusbpnplist = OsMemNew(COsUsbPnpList, m_posusb, nullptr, nullptr);
  if (!posusbpnplist) {
    OsLog(OS_LOG_ERROR, "OsMemNew failed...");
    return OS_STS_BUSY;
  }
  EOSSTS eossts = posusbpnplist->IsResourceAvailable(a_szDeviceName);
  OsMemDelete(posusbpnplist);
  return eossts;
}

EOSSTS COsUsbImpl::PnpGetSerialNumbers(char* a_szBuffer, size_t a_sizetBuffer) {
  COsUsbPnpList* posusbpnplist = OsMemNew(COsUsbPnpList, m_posusb, nullptr, nullptr);
  if (!posusbpnplist) {
    OsLog(OS_LOG_ERROR, "OsMemNew failed...");
    return OS_STS_BUSY;
  }
  EOSSTS eossts = posusbpnplist->PnpGetSerialNumbers(a_szBuffer, a_sizetBuffer);
  OsMemDelete(posusbpnplist);
  return eossts;
}

EOSSTS COsUsbImpl::PnpAdd(const char* a_szEntry) {
  if (!m_posusbpnplist) {
    OsLog(OS_LOG_ERROR, "PnpAdd called at a bad time...");
    return OS_STS_FAIL;
  }
  return m_posusbpnplist->Add(a_szEntry);
}

void COsUsbImpl::PnpRemove() {
  if (!m_posusbpnplist) {
    OsLog(OS_LOG_ERROR, "Remove called at a bad time...");
    return;
  }
  m_posusbpnplist->Remove();
}

const char* COsUsbImpl::PnpGetChange() {
  m_szPnpChange[0] = '\0';
  if (m_posusbpnplist) m_posusbpnplist->Poll(m_szPnpChange, sizeof m_szPnpChange);
  return m_szPnpChange;
}

EOSSTS COsUsbImpl::RegisterCallback(EOSUSBPIPE a_eosusbpipe, EOSUSBCALLBACK a_eosusbcallback,
                                    OSUSBCALLBACK a_pfnCallback, void* a_pvUser) {
  std::lock_guard<std::mutex> lock(m_mutexCallbacks);
  if (IsDeviceWide(a_eosusbcallback)) {
    m_acallbackDevice[a_eosusbcallback] = {a_pfnCallback, a_pvUser};
    return OS_STS_SUCCESS;
  }
  if (!IsPerPipe(a_eosusbcallback)) {
    OsLog(OS_LOG_ERROR, "usb>>> unrecognized a_eosusbcallback...%d", static_cast<int>(a_eosusbcallback));
    return OS_STS_FAIL;
  }
  if (a_eosusbpipe >= OS_USBPIPE_BULKIN && a_eosusbpipe <= OS_USBPIPE_BULKINTERRUPT) {
    m_acallbackPipe[a_eosusbpipe][a_eosusbcallback] = {a_pfnCallback, a_pvUser};
    return OS_STS_SUCCESS;
  }
  for (uint32_t u32Pipe = OS_USBPIPE_BULKIN; u32Pipe <= OS_USBPIPE_BULKINTERRUPT; ++u32Pipe) {
    m_acallbackPipe[u32Pipe][a_eosusbcallback] = {a_pfnCallback, a_pvUser};
  }
  return OS_STS_SUCCESS;
}

COsUsbImpl::Callback COsUsbImpl::GetCallback(EOSUSBPIPE a_eosusbpipe, EOSUSBCALLBACK a_eosusbcallback) {
  std::lock_guard<std::mutex> lock(m_mutexCallbacks);
  if (IsDeviceWide(a_eosusbcallback)) return m_acallbackDevice[a_eosusbcallback];
  if (!IsPerPipe(a_eosusbcallback) || a_eosusbpipe >= OS_USBPIPE_LAST) return {};
  return m_acallbackPipe[a_eosusbpipe][a_eosusbcallback];
}

long COsUsbImpl::SetTimeout(EOSUSBPIPE a_eosusbpipe, long a_lMilliseconds) {
  if (a_eosusbpipe >= OS_USBPIPE_LAST) {
    OsLog(OS_LOG_ERROR, "usb>>> unrecognized pipe...%d", static_cast<int>(a_eosusbpipe));
    return 0;
  }
  if (!m_posusbinfo) {
    OsLog(OS_LOG_ERROR, "usb>>> must call init first...");
    return m_alTimeout[a_eosusbpipe].load();
  }
  if (!m_blOpen) {
    OsLog(OS_LOG_ERROR, "usb>>> must open a device first...");
    return m_alTimeout[a_eosusbpipe].load();
  }
  return m_alTimeout[a_eosusbpipe].exchange(a_lMilliseconds);
}

void COsUsbImpl::SetSessionEndFlag() {
  OsLogDebug(OS_LOG_INFO, "usb>>> set sessionend flag...");
  m_blSessionEnd.store(true);
}

void COsUsbImpl::SetDisconnectWontUnlock(bool a_blDisconnectWontUnlock) {
  OsLog(OS_LOG_INFO, "usb>>> set disconnectwontunlock...%d", a_blDisconnectWontUnlock ? 1 : 0);
  m_blDisconnectWontUnlock.store(a_blDisconnectWontUnlock);
}

EOSSTS COsUsbImpl::DeviceIsReady() {
  if (!m_posusbinfo) {
    OsLog(OS_LOG_ERROR, "usb>>> must call init first...");
    return OS_STS_FAIL;
  }
  OsLog(OS_LOG_INFO, "usb>>> DeviceIsReady is being set to 1...");
  __atomic_store_n(&m_posusbinfo->blReady, true, __ATOMIC_RELEASE);
  return OS_STS_SUCCESS;
}

bool COsUsbImpl::IsConnected() {
  return m_posusbinfo && OsUsbInfoGetConnection(m_posusbinfo) == OS_USBCONNECTION_CONNECTED;
}

bool COsUsbImpl::IsClosing() {
  COsSync::SpinLock(&m_pvClosing);
  bool blClosing = m_blClosing;
  COsSync::SpinUnlock(&m_pvClosing);
  return blClosing;
}

bool COsUsbImpl::ClearClosing() {
  COsSync::SpinLock(&m_pvClosing);
  bool blClosing = m_blClosing;
  m_blClosing = false;
  COsSync::SpinUnlock(&m_pvClosing);
  return blClosing;
}
