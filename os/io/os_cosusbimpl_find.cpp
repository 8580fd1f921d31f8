// Finding devices: the walks over the probed devices (with a model filter),
// the device list's units and the online records, the find record a caller
// sees, and what the USB library tells of a device (transfer sizes, speed).
#include <cstring>

#include "os_copenusb.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_cosusbimpl.h"
#include "os_cosusbprobe.h"

namespace {
// The speed class a largest packet size stands for; 0 when it says nothing.
uint16_t SpeedOf(uint16_t a_u16MaxPacket) {
  if (a_u16MaxPacket > 1023) return 0x0300;
  if (a_u16MaxPacket >= 512) return 0x0200;
  if (a_u16MaxPacket >= 64) return 0x0101;
  return 0;
}

uint16_t UsbVersion(uint16_t a_u16Speed) {
  if (a_u16Speed >= 0x0300) return 768;
  if (a_u16Speed >= 0x0200) return 512;
  return 257;
}
}  // namespace

// A walk needs an initialised service and a find record; one that selects
// the device to open, no open device.
bool COsUsbImpl::FindAllowed(OsUsbFind* a_posusbfind, bool a_blSelects) {
  const char* szWhy = !m_blInitialised           ? "usb>>> must call init first..."
                      : a_blSelects && m_blOpen  ? "usb>>> device is already open..."
                      : !a_posusbfind  ? "usb>>> a_posusbfind is null..."
                                       : nullptr;
  if (szWhy) OsLog(OS_LOG_ERROR, "%s", szWhy);
  return !szWhy;
}

EOSSTS COsUsbImpl::FindFirst(OsUsbFind* a_posusbfind, const char* a_szFilter) {
  OsLogDebug(OS_LOG_INFO, "usb>>> COsUsbImpl::FindFirst...");
  if (!FindAllowed(a_posusbfind, true)) return OS_STS_FAIL;
  m_blFound = false;
  EOSSTS eossts = m_posusbprobe->Probe();
  if (eossts != OS_STS_SUCCESS && eossts != OS_STS_END_OF_LIST) return eossts;
  return FindFrom(m_posusbprobe->GetFirst(), true, a_posusbfind, a_szFilter);
}

EOSSTS COsUsbImpl::FindNext(OsUsbFind* a_posusbfind, const char* a_szFilter) {
  if (!m_blFound) {
    OsLog(OS_LOG_ERROR, "usb>>> must call FindFirst first...");
    return OS_STS_FAIL;
  }
  if (!FindAllowed(a_posusbfind, true)) return OS_STS_FAIL;
  return FindFrom(m_posusbprobe->GetNext(), false, a_posusbfind, a_szFilter);
}

// From a record of the selection walk on, the first whose model passes the
// filter becomes the selected device.
EOSSTS COsUsbImpl::FindFrom(OsUsbInfo* a_posusbinfo, bool a_blFirst, OsUsbFind* a_posusbfind, const char* a_szFilter) {
  while (a_posusbinfo && a_szFilter && *a_szFilter && std::strcmp(a_posusbinfo->szModel, a_szFilter) != 0) {
    a_posusbinfo = m_posusbprobe->GetNext();
  }
  if (!a_posusbinfo) {
    OsLogDebug(OS_LOG_INFO, "usb>>> nothing found...");
    if (a_blFirst) m_blFound = false;
    return OS_STS_END_OF_LIST;
  }
  ReadDeviceDetails(a_posusbinfo);
  *m_posusbinfo = *a_posusbinfo;
  m_blFound = true;
  FillFind(a_posusbinfo, a_posusbfind);
  OsLogDebug(OS_LOG_INFO, "usb>>> we found something...");
  return OS_STS_SUCCESS;
}

EOSSTS COsUsbImpl::FindConstraint(OsUsbFind* a_posusbfind, bool a_blFirst) {
  return FindWalk(a_posusbfind, a_blFirst ? &COsUsbProbe::GetFirstFilter : &COsUsbProbe::GetNextFilter);
}

EOSSTS COsUsbImpl::FindDeviceSelection(OsUsbFind* a_posusbfind, bool a_blFirst) {
  return FindWalk(a_posusbfind, a_blFirst ? &COsUsbProbe::GetFirstOnline : &COsUsbProbe::GetNextOnline);
}

// One step of a walk of the probe's records, copied into the find record.
EOSSTS COsUsbImpl::FindWalk(OsUsbFind* a_posusbfind, OsUsbInfo* (COsUsbProbe::*a_pfnStep)()) {
  if (!FindAllowed(a_posusbfind, false)) return OS_STS_FAIL;
  OsUsbInfo* posusbinfo = (m_posusbprobe->*a_pfnStep)();
  if (!posusbinfo) return OS_STS_END_OF_LIST;
  FillFind(posusbinfo, a_posusbfind);
  return OS_STS_SUCCESS;
}

// The transfer sizes of the device's data and the speed its endpoints'
// packet sizes tell.
void COsUsbImpl::ReadDeviceDetails(OsUsbInfo* a_posusbinfo) {
  COpenUsb* p = m_popenusb;
  if (a_posusbinfo->eosusbwire != OS_USBWIRE_USB || a_posusbinfo->blSimulation || !p || !p->m_openusbhandle) return;
  openusb_dev_data* pdata = nullptr;
  if (p->openusb_get_device_data &&
      p->openusb_get_device_data(p->m_openusbhandle, a_posusbinfo->u64DevId, 0, &pdata) == OPENUSB_SUCCESS && pdata) {
    a_posusbinfo->u32MaxCtrlXfer = pdata->ctrl_max_xfer_size;
    a_posusbinfo->u32MaxBulkXfer = pdata->bulk_max_xfer_size;
    a_posusbinfo->u32MaxIntrXfer = pdata->intr_max_xfer_size;
    a_posusbinfo->u32MaxIsocXfer = pdata->isoc_max_xfer_size;
    OsLogDebug(OS_LOG_INFO, "usb>>> u32MaxCtrlXfer: %u", pdata->ctrl_max_xfer_size);
    OsLogDebug(OS_LOG_INFO, "usb>>> u32MaxBulkXfer: %u", pdata->bulk_max_xfer_size);
    OsLogDebug(OS_LOG_INFO, "usb>>> u32MaxIntrXfer: %u", pdata->intr_max_xfer_size);
    OsLogDebug(OS_LOG_INFO, "usb>>> u32MaxIsocXfer: %u", pdata->isoc_max_xfer_size);
    char szText[OS_USB_SHORTTEXT];
    if (StringDescriptorToText(pdata->manufacturer, szText, sizeof szText) == OS_STS_SUCCESS) {
      OsLogDebug(OS_LOG_INFO, "usb>>> manufacturer: <%s>", szText);
    }
    if (StringDescriptorToText(pdata->product, szText, sizeof szText) == OS_STS_SUCCESS) {
      OsLogDebug(OS_LOG_INFO, "usb>>> product: <%s>", szText);
    }
    if (p->openusb_free_device_data) p->openusb_free_device_data(pdata);
  }
  openusb_interface_desc ifcdesc{};
  if (!p->openusb_parse_interface_desc || !p->openusb_parse_endpoint_desc ||
      p->openusb_parse_interface_desc(p->m_openusbhandle, a_posusbinfo->u64DevId, nullptr, 0, 0, 0, 0, &ifcdesc) !=
          OPENUSB_SUCCESS) {
    return;
  }
  uint16_t u16MaxPacket = 0;
  for (uint8_t u8Endpoint = 0; u8Endpoint < ifcdesc.bNumEndpoints; ++u8Endpoint) {
    openusb_endpoint_desc eptdesc{};
    if (p->openusb_parse_endpoint_desc(p->m_openusbhandle, a_posusbinfo->u64DevId, nullptr, 0, 0, 0, 0, u8Endpoint,
                                       &eptdesc) == OPENUSB_SUCCESS &&
        eptdesc.wMaxPacketSize > u16MaxPacket) {
      u16MaxPacket = eptdesc.wMaxPacketSize;
    }
  }
  const uint16_t u16Speed = SpeedOf(u16MaxPacket);
  if (u16Speed) {
    a_posusbinfo->u16Speed = u16Speed;
  } else {
    OsLog(OS_LOG_INFO, "usb>>> unrecognized wMaxPacketSize...%d", u16MaxPacket);
  }
}

void COsUsbImpl::FillFind(OsUsbInfo* a_posusbinfo, OsUsbFind* a_posusbfind) {
  OsUsbFind& f = *a_posusbfind;
  const OsUsbInfo& i = *a_posusbinfo;
  std::memset(&f, 0, sizeof f);
  f.eosusbwire = i.eosusbwire;
  f.posusbinfo = a_posusbinfo;
  f.u16Vid = i.u16Vid;
  f.u16Pid = i.u16Pid;
  f.u16UsbVersion = i.eosusbwire == OS_USBWIRE_USB ? UsbVersion(i.u16Speed) : 0;
  f.u64MaxChunkSize = MaxChunkSizeOf(i.eosusbwire, i.u16Speed, false);
  if (i.eosusbwire == OS_USBWIRE_NET) COsString::SStrCpy(f.szSocketIp4, sizeof f.szSocketIp4, i.szSocketIp4);
  if (i.eosusbwire == OS_USBWIRE_1394) std::memcpy(f.sz1394Id, i.sz1394Id, sizeof f.sz1394Id);
  COsString::SStrCpy(f.szDeviceFriendlyName, sizeof f.szDeviceFriendlyName, i.szDeviceFriendlyName);
  COsString::SStrCpy(f.szModel, sizeof f.szModel, i.szModel);
  COsString::SStrCpy(f.szDeviceType, sizeof f.szDeviceType, i.szDeviceType);
  COsString::SStrCpy(f.szGroup, sizeof f.szGroup, i.szGroup);
  COsString::SStrCpy(f.szVendor, sizeof f.szVendor, i.szMfg);
  COsString::SStrCpy(f.szProduct, sizeof f.szProduct, i.szMdl);
  COsString::SStrCpy(f.szSerialNumber, sizeof f.szSerialNumber, i.szSerialNumber);
  COsString::SStrCpy(f.szFlatbedIntegrated, sizeof f.szFlatbedIntegrated, i.szFlatbedIntegrated);
  f.eosusbconnection = i.eosusbconnection == OS_USBCONNECTION_CONNECTED ? OS_USBCONNECTION_CONNECTED
                                                                         : OS_USBCONNECTION_DISCONNECTED;
  OsLogDebug(OS_LOG_INFO, "usb>>> eosusbwire:           0x%x", f.eosusbwire);
  OsLogDebug(OS_LOG_INFO, "usb>>> vid:                  0x%04x", f.u16Vid);
  OsLogDebug(OS_LOG_INFO, "usb>>> pid:                  0x%04x", f.u16Pid);
  OsLogDebug(OS_LOG_INFO, "usb>>> usbversion:           %d", f.u16UsbVersion);
  OsLogDebug(OS_LOG_INFO, "usb>>> maxchunksize:         %llu", static_cast<unsigned long long>(f.u64MaxChunkSize));
  OsLogDebug(OS_LOG_INFO, "usb>>> model:                %s", f.szModel);
  OsLogDebug(OS_LOG_INFO, "usb>>> devicetype:           %s", f.szDeviceType);
  OsLogDebug(OS_LOG_INFO, "usb>>> group:                %s", f.szGroup);
  OsLogDebug(OS_LOG_INFO, "usb>>> serialnumber:         %s", f.szSerialNumber);
  OsLogDebug(OS_LOG_INFO, "usb>>> eosusbconnection:     %d", static_cast<int>(f.eosusbconnection));
}
