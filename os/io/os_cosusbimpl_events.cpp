// Device events of the USB library (attach, remove), connection changes
// with the CONNECTIONCHANGED callback, the connection a caller asks for,
// and the text of a string descriptor.
#include <cstring>

#include "os_copenusb.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_costhread.h"
#include "os_costime.h"
#include "os_cosusbimpl.h"

namespace {
// The service whose device event this thread is handling, so that a close
// from inside the event's callback does not wait for itself.
thread_local COsUsbImpl* t_posusbimplEvent = nullptr;
constexpr long kEventStep = 10;
}  // namespace

int32_t COsUsbImpl::DeviceEvent(openusb_handle_t, openusb_devid_t a_devid, openusb_event a_event, void* a_pvArg) {
  COsUsbImpl* posusbimpl = static_cast<COsUsbImpl*>(a_pvArg);
  if (!posusbimpl || !posusbimpl->m_posusbinfo) return OPENUSB_SUCCESS;
  ++posusbimpl->m_iDeviceEventsUnderWay;
  COsUsbImpl* posusbimplOuter = t_posusbimplEvent;
  t_posusbimplEvent = posusbimpl;
  // After the close the service no longer listens.
  if (posusbimpl->m_blDeviceEvents.load()) posusbimpl->HandleDeviceEvent(a_devid, a_event);
  t_posusbimplEvent = posusbimplOuter;
  --posusbimpl->m_iDeviceEventsUnderWay;
  return OPENUSB_SUCCESS;
}

void COsUsbImpl::HandleDeviceEvent(openusb_devid_t a_devid, openusb_event a_event) {
  switch (a_event) {
    case OPENUSB_EVENT_ATTACH:
      OsLog(OS_LOG_INFO, "USB Event (%s) Received for Dev Id %d", "USB_ATTACH", static_cast<int>(a_devid));
      Attached(a_devid);
      break;
    case OPENUSB_EVENT_REMOVE:
      OsLog(OS_LOG_INFO, "USB Event (%s) Received for Dev Id %d", "USB_REMOVE", static_cast<int>(a_devid));
      if (a_devid == __atomic_load_n(&m_posusbinfo->u64DevId, __ATOMIC_ACQUIRE) &&
          OsUsbInfoGetConnection(m_posusbinfo) != OS_USBCONNECTION_DISCONNECTED) {
        OsLog(OS_LOG_INFO, "!!! Device has been removed...%d", static_cast<int>(a_devid));
        OsUsbSetConnection(OS_USBCONNECTION_DISCONNECTED);
      }
      break;
    default: OsLog(OS_LOG_INFO, "Unhandled USB Event: %d", static_cast<int>(a_event)); break;
  }
}

void COsUsbImpl::StopDeviceEvents() {
  m_blDeviceEvents.store(false);
  COpenUsb* p = m_popenusb;
  if (p && p->openusb_set_event_callback) {
    p->openusb_set_event_callback(p->m_openusbhandle, OPENUSB_EVENT_ATTACH, nullptr, nullptr);
    p->openusb_set_event_callback(p->m_openusbhandle, OPENUSB_EVENT_REMOVE, nullptr, nullptr);
  }
  // An attach being retried sees the flag within one step.
  const int iOwn = t_posusbimplEvent == this ? 1 : 0;
  const long lLimit = s_lThreadStopLimit.load();
  for (long lWaited = 0; m_iDeviceEventsUnderWay.load() > iOwn && lWaited < lLimit; lWaited += kEventStep) {
    COsTime::Sleep(kEventStep);
  }
}

// A device came: when it is ours (same ids), it is ours under its new id.
// Its descriptor may not be readable at once.
void COsUsbImpl::Attached(openusb_devid_t a_devid) {
  COpenUsb* p = m_popenusb;
  if (!p || !p->openusb_parse_device_desc) return;
  openusb_device_desc devdesc{};
  int32_t i32 = OPENUSB_PLATFORM_FAILURE;
  const long lTries = s_lAttachRetryCount.load();
  for (long lTry = 0; lTry < lTries; ++lTry) {
    if ((i32 = p->openusb_parse_device_desc(p->m_openusbhandle, a_devid, nullptr, 0, &devdesc)) == OPENUSB_SUCCESS) {
      break;
    }
    OsLog(OS_LOG_INFO, "usb>>> Unable to Get Device Descriptor on USB_ATTACH (will retry): %d", i32);
    if (IsClosing() || !m_blDeviceEvents.load()) return;
    COsTime::Sleep(s_lAttachRetryMs.load());
  }
  if (i32 != OPENUSB_SUCCESS || devdesc.idVendor != m_posusbinfo->u16Vid || devdesc.idProduct != m_posusbinfo->u16Pid ||
      !m_blDeviceEvents.load()) {
    return;
  }
  __atomic_store_n(&m_posusbinfo->u64DevId, a_devid, __ATOMIC_RELEASE);
  if (OsUsbInfoGetConnection(m_posusbinfo) != OS_USBCONNECTION_CONNECTED) {
    OsLog(OS_LOG_INFO, "!!! Device has been added...%d", static_cast<int>(a_devid));
    OsUsbSetConnection(OS_USBCONNECTION_CONNECTED);
  }
}

EOSSTS COsUsbImpl::InvokeCallback(EOSUSBPIPE a_eosusbpipe, EOSUSBCALLBACK a_eosusbcallback,
                                  OsUsbCallbackRecord* a_precord) {
  Callback callback = GetCallback(a_eosusbpipe, a_eosusbcallback);
  if (!callback.pfn) return OS_STS_SUCCESS;
  a_precord->u32Size = sizeof(OsUsbCallbackRecord);
  a_precord->eosusbcallback = a_eosusbcallback;
  a_precord->eosusbpipe = a_eosusbpipe;
  a_precord->pvUser = callback.pvUser;
  OsLogDebug(OS_LOG_INFO, "usb>>> InvokeCallback begin (%d %d)", static_cast<int>(a_eosusbpipe),
             static_cast<int>(a_eosusbcallback));
  EOSSTS eossts = callback.pfn(a_precord);
  OsLogDebug(OS_LOG_INFO, "usb>>> InvokeCallback end   (%d %d) returned=%d", static_cast<int>(a_eosusbpipe),
             static_cast<int>(a_eosusbcallback), static_cast<int>(eossts));
  return eossts;
}

// A change of the connection state; the callback hears of real changes
// only, once each.
EOSSTS COsUsbImpl::OsUsbSetConnection(uint32_t a_eosusbconnection) {
  OsLog(OS_LOG_INFO, "OsUsbSetConnection: %d %d", static_cast<int>(a_eosusbconnection),
        m_posusbinfo ? static_cast<int>(OsUsbInfoGetConnection(m_posusbinfo)) : -1);
  if (IsClosing()) {
    OsLog(OS_LOG_INFO, "OsUsbSetConnection: m_vblIsClosing is true, so skip connection changes...");
    return OS_STS_SUCCESS;
  }
  if (m_blDisableOsUsbSetConnection) {
    OsLog(OS_LOG_INFO, "OsUsbSetConnection: m_blDisableOsUsbSetConnection is true, so skip connection changes...");
    return OS_STS_SUCCESS;
  }
  if (!m_posusbinfo) {
    OsLog(OS_LOG_ERROR, "OsUsbSetConnection: m_posusbinfo is NULL...");
    return OS_STS_FAIL;
  }
  if (a_eosusbconnection != OS_USBCONNECTION_CONNECTED && a_eosusbconnection != OS_USBCONNECTION_DISCONNECTED) {
    OsLog(OS_LOG_ERROR, "OsUsbSetConnection: unrecognized a_eosusbconnection...%d", static_cast<int>(a_eosusbconnection));
    return OS_STS_FAIL;
  }
  const uint32_t u32Old =
      __atomic_exchange_n(&m_posusbinfo->eosusbconnection, a_eosusbconnection, __ATOMIC_ACQ_REL);
  if (u32Old == a_eosusbconnection) return OS_STS_SUCCESS;
  OsLog(OS_LOG_INFO, a_eosusbconnection == OS_USBCONNECTION_CONNECTED ? "!!! Device has been added..."
                                                                       : "!!! Device has been removed...");
  if (m_blSessionEnd.load()) return OS_STS_SUCCESS;
  OsUsbCallbackRecord record{};
  record.u32Length = sizeof(uint32_t);
  std::memcpy(record.au8Payload, &a_eosusbconnection, sizeof(uint32_t));
  EOSSTS eossts = InvokeCallback(OS_USBPIPE_UNDEFINED, OS_USBCALLBACK_CONNECTIONCHANGED, &record);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "!!! OS_USBCALLBACK_CONNECTIONCHANGED callback failed...%d", static_cast<int>(eossts));
  }
  return eossts;
}

EOSSTS COsUsbImpl::SetDeviceConnection(uint32_t a_eosusbconnectionrequest, const char* a_szReason) {
  OsLog(OS_LOG_INFO, "usb>>> set device connection...%d", static_cast<int>(a_eosusbconnectionrequest));
  if (a_eosusbconnectionrequest != OS_USBCONNECTIONREQUEST_CONNECT &&
      a_eosusbconnectionrequest != OS_USBCONNECTIONREQUEST_DISCONNECT) {
    OsLog(OS_LOG_ERROR, "usb>>> unrecognized a_eosusbconnection...%d", static_cast<int>(a_eosusbconnectionrequest));
    return OS_STS_FAIL;
  }
  {
    std::lock_guard<std::mutex> lock(m_mutexConnection);
    COsString::SStrNcpy(m_szConnectionReason, sizeof m_szConnectionReason, a_szReason ? a_szReason : "",
                        sizeof m_szConnectionReason - 1);
    m_u32ConnectionRequest = a_eosusbconnectionrequest;
  }
  if (m_posthreadMonitor) m_posthreadMonitor->SetEvent(1);
  return OS_STS_SUCCESS;
}

uint32_t COsUsbImpl::GetConnectionRequest(char* a_szReason, size_t a_sizetReason) {
  std::lock_guard<std::mutex> lock(m_mutexConnection);
  if (a_szReason && a_sizetReason) COsString::SStrCpy(a_szReason, a_sizetReason, m_szConnectionReason);
  return m_u32ConnectionRequest;
}

EOSSTS COsUsbImpl::StringDescriptorToText(const uint8_t* a_pu8Descriptor, char* a_szText, size_t a_sizetText) {
  if (!a_pu8Descriptor || !a_szText || a_sizetText == 0) return OS_STS_BAD_ARGUMENT;
  a_szText[0] = '\0';
  const size_t sizetLength = a_pu8Descriptor[0];
  if (sizetLength < 3) return OS_STS_SUCCESS;
  size_t sizetOut = 0;
  for (size_t sizetIn = 2; sizetIn + 1 < sizetLength && sizetOut + 1 < a_sizetText; sizetIn += 2) {
    a_szText[sizetOut++] = a_pu8Descriptor[sizetIn + 1] ? '?' : static_cast<char>(a_pu8Descriptor[sizetIn]);
  }
  a_szText[sizetOut] = '\0';
  return OS_STS_SUCCESS;
}
