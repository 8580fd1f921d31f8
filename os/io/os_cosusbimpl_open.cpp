// Opening a found device through the USB library: the pipes the session
// does not want dropped, the device lock, the descriptors checked, the
// device opened and its interface claimed, endpoints bound to pipes, device
// events, halted pipes cleared and the interrupt thread started. A
// simulated device only takes the lock.
#include <cstring>

#include "os_copenusb.h"
#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cossync.h"
#include "os_costhread.h"
#include "os_cosusbimpl.h"

namespace {
const char* PipeName(uint32_t a_eosusbpipe) {
  static const char* const s_asz[] = {"OS_USBPIPE_UNDEFINED", "OS_USBPIPE_BULKIN",    "OS_USBPIPE_BULKOUT",
                                      "OS_USBPIPE_CONTROL",   "OS_USBPIPE_IMAGEFRONT", "OS_USBPIPE_IMAGEREAR",
                                      "OS_USBPIPE_INTERRUPT", "OS_USBPIPE_BULKINTERRUPT"};
  return a_eosusbpipe < sizeof s_asz / sizeof *s_asz ? s_asz[a_eosusbpipe] : "OS_USBPIPE_LAST";
}

constexpr uint8_t kEndpointTypeMask = 3;
constexpr uint8_t kEndpointBulk = 2;
constexpr uint8_t kEndpointInterrupt = 3;
}  // namespace

EOSSTS COsUsbImpl::OpenAndLock(OsUsbOpen* a_posusbopen) {
  if (!a_posusbopen) {
    OsLog(OS_LOG_ERROR, "usb>>> a_posusbopen is null...");
    return OS_STS_FAIL;
  }
  if (m_blOpen) {
    OsLog(OS_LOG_ERROR, "usb>>> device is already open...");
    return OS_STS_FAIL;
  }
  OsUsbFind* posusbfind = static_cast<OsUsbFind*>(a_posusbopen->pvHandle);
  if (!posusbfind || !posusbfind->posusbinfo || !m_posusbinfo) {
    OsLog(OS_LOG_ERROR, "usb>>> must set OsUsbOpen.pvHandle to the appropriate OsUsbFind structure...");
    return OS_STS_FAIL;
  }
  OsLog(OS_LOG_INFO, "usb>>> opening the %s unit <%s>",
        std::strcmp(posusbfind->szGroup, "flatbed") == 0 ? "flatbed" : "feeder", posusbfind->szModel);
  m_osusbopen = *a_posusbopen;
  *m_posusbinfo = *posusbfind->posusbinfo;
  m_u8Configuration = m_osusbopen.u8Configuration;
  m_u8Interface = m_osusbopen.u8Interface;
  switch (m_posusbinfo->eosusbwire) {
    case OS_USBWIRE_NET: return OpenSockets();
    case OS_USBWIRE_USB:
    case OS_USBWIRE_1394: return m_posusbinfo->blSimulation ? OpenSimulated() : OpenUsb(posusbfind);
    default:
      OsLog(OS_LOG_ERROR, "unrecognized eosusbwire...%d", static_cast<int>(m_posusbinfo->eosusbwire));
      return OS_STS_FAIL;
  }
}

EOSSTS COsUsbImpl::OpenSimulated() {
  EOSSTS eossts = Lock(0);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "usb>>> unable to acquire device lock...<%d>", static_cast<int>(eossts));
    return OS_STS_FAIL;
  }
  m_blOpen = true;
  CalculateMaxChunkSize(m_posusbinfo->eosusbwire, false);
  return OS_STS_SUCCESS;
}

// Entries the session does not want: monitor interrupts that do not match
// whether button events are watched (a button callback is registered), the
// plain interrupt line when the interrupt comes over a bulk pipe, and
// entries marked for removal.
void COsUsbImpl::DropPipes() {
  const bool blButtons = GetCallback(OS_USBPIPE_UNDEFINED, OS_USBCALLBACK_BUTTONEVENT).pfn != nullptr;
  const bool blBulkInterrupt = FindPipe(OS_USBPIPE_BULKINTERRUPT) != nullptr;
  for (OsUsbOpenPipe& pipe : m_osusbopen.aosusbopenpipe) {
    if (pipe.eosusbpipe == OS_USBPIPE_UNDEFINED) continue;
    const char* szWhy = nullptr;
    if ((pipe.u32Flags & OS_USBPIPEFLAGS_MONITORBUTTONEVENTS) && !blButtons) {
      szWhy = "Removing button monitor interrupt...";
    } else if ((pipe.u32Flags & OS_USBPIPEFLAGS_NOTMONITORBUTTONEVENTS) && blButtons) {
      szWhy = "Removing non-button monitor interrupt...";
    } else if (pipe.eosusbpipe == OS_USBPIPE_INTERRUPT && blBulkInterrupt) {
      szWhy = "Removing interrupt line (we don't need it)...";
    } else if (pipe.u32Flags & OS_USBPIPEFLAGS_REMOVEFROMWINDOWS) {
      szWhy = "Removing endpoint on windows (OS_USBPIPEFLAGS_REMOVEFROMWINDOWS)...";
    }
    if (szWhy) {
      OsLog(OS_LOG_INFO, "%s", szWhy);
      pipe = OsUsbOpenPipe{};
    }
  }
}

EOSSTS COsUsbImpl::CheckDescriptors(uint8_t* a_pu8Endpoints) {
  COpenUsb* p = m_popenusb;
  const openusb_devid_t devid = m_posusbinfo->u64DevId;
  const uint8_t u8Cfg = m_osusbopen.u8Configuration, u8Ifc = m_osusbopen.u8Interface, u8Alt = m_osusbopen.u8Alternate;
  openusb_device_desc devdesc{};
  int32_t i32 = p->openusb_parse_device_desc(p->m_openusbhandle, devid, nullptr, 0, &devdesc);
  if (i32 != OPENUSB_SUCCESS) {
    OsLog(OS_LOG_ERROR, "usb>>> unable to get device descriptor: %d", i32);
    return OS_STS_FAIL;
  }
  if (u8Cfg >= devdesc.bNumConfigurations) {
    OsLog(OS_LOG_ERROR, "usb>>> bad configuration...%d >= %d", u8Cfg, devdesc.bNumConfigurations);
    return OS_STS_FAIL;
  }
  openusb_config_desc cfgdesc{};
  if ((i32 = p->openusb_parse_config_desc(p->m_openusbhandle, devid, nullptr, 0, u8Cfg, &cfgdesc)) != OPENUSB_SUCCESS) {
    OsLog(OS_LOG_ERROR, "usb>>> unable to get config descriptor: %d", i32);
    return OS_STS_FAIL;
  }
  if (u8Ifc >= cfgdesc.bNumInterfaces) {
    OsLog(OS_LOG_ERROR, "usb>>> bad interface...%d %d >= %d", u8Cfg, u8Ifc, cfgdesc.bNumInterfaces);
    return OS_STS_FAIL;
  }
  openusb_interface_desc ifcdesc{};
  if ((i32 = p->openusb_parse_interface_desc(p->m_openusbhandle, devid, nullptr, 0, u8Cfg, u8Ifc, u8Alt, &ifcdesc)) !=
      OPENUSB_SUCCESS) {
    OsLog(OS_LOG_ERROR, "usb>>> unable to get interface descriptor: %d", i32);
    return OS_STS_FAIL;
  }
  if (ifcdesc.bNumEndpoints == 0) {
    OsLog(OS_LOG_ERROR, "usb>>> no endponts...%d %d %d %d", u8Cfg, u8Ifc, u8Alt, ifcdesc.bNumEndpoints);
    return OS_STS_FAIL;
  }
  *a_pu8Endpoints = ifcdesc.bNumEndpoints;
  return OS_STS_SUCCESS;
}

// Each bulk or interrupt endpoint of the interface serves the pipes of the
// description that name its address.
EOSSTS COsUsbImpl::BindEndpoints(uint8_t a_u8Endpoints) {
  COpenUsb* p = m_popenusb;
  for (uint8_t u8Index = 0; u8Index < a_u8Endpoints; ++u8Index) {
    openusb_endpoint_desc eptdesc{};
    int32_t i32 = p->openusb_parse_endpoint_desc(p->m_openusbhandle, m_posusbinfo->u64DevId, nullptr, 0,
                                                 m_osusbopen.u8Configuration, m_osusbopen.u8Interface,
                                                 m_osusbopen.u8Alternate, u8Index, &eptdesc);
    if (i32 != OPENUSB_SUCCESS) {
      OsLog(OS_LOG_ERROR, "usb>>> unable to get endpoint descriptor: %d", i32);
      return OS_STS_FAIL;
    }
    const uint8_t u8Type = eptdesc.bmAttributes & kEndpointTypeMask;
    for (const OsUsbOpenPipe& pipe : m_osusbopen.aosusbopenpipe) {
      if (pipe.eosusbpipe == OS_USBPIPE_UNDEFINED || pipe.eosusbpipe >= OS_USBPIPE_LAST ||
          pipe.u8Endpoint != eptdesc.bEndpointAddress) {
        continue;
      }
      PipeIo& pipeio = m_apipeio[pipe.eosusbpipe];
      if (u8Type == kEndpointBulk) {
        OsLog(OS_LOG_INFO, "usb>>> transfer_type...USB_ENDPOINT_TYPE_BULK, %s, %d", PipeName(pipe.eosusbpipe), u8Index);
        pipeio.type = OPENUSB_TRANSFER_TYPE_BULK;
      } else if (u8Type == kEndpointInterrupt) {
        OsLog(OS_LOG_INFO, "usb>>> transfer_type...USB_ENDPOINT_TYPE_INTERRUPT, %s, %d", PipeName(pipe.eosusbpipe),
              u8Index);
        pipeio.type = OPENUSB_TRANSFER_TYPE_INTERRUPT;
      } else {
        OsLog(OS_LOG_INFO, "usb>>> transfer_type...UNSUPPORTED, %s, %d", PipeName(pipe.eosusbpipe), u8Index);
        continue;
      }
      OsLog(OS_LOG_INFO, "usb>>> endpoint...%x", eptdesc.bEndpointAddress);
      pipeio.u8Endpoint = eptdesc.bEndpointAddress;
      pipeio.blBound = true;
    }
  }
  return OS_STS_SUCCESS;
}

void COsUsbImpl::DumpOpen() {
  if (!g_poslog || !g_poslog->GetDebugLevel()) return;
  OsLogDebug(OS_LOG_INFO, "DMP : OsUsbOpen (internal)");
  for (int i = 0; i < OS_USB_OPENPIPES; ++i) {
    const OsUsbOpenPipe& pipe = m_osusbopen.aosusbopenpipe[i];
    if (pipe.eosusbpipe == OS_USBPIPE_UNDEFINED) continue;
    OsLogDebug(OS_LOG_INFO, "DMP : Index #:                %d", i);
    OsLogDebug(OS_LOG_INFO, "DMP : Endpoint #:             ....%d", pipe.u8Endpoint);
    OsLogDebug(OS_LOG_INFO, "DMP : Pipe:                   ....%s", PipeName(pipe.eosusbpipe));
    OsLogDebug(OS_LOG_INFO, "DMP : Flag:                   ....0x%x", pipe.u32Flags);
    OsLogDebug(OS_LOG_INFO, "DMP : SocketPort:             ....%s", pipe.szSocketPort);
  }
}

EOSSTS COsUsbImpl::OpenPipeEvents() {
  for (PipeIo& pipeio : m_apipeio) {
    if (pipeio.possync) continue;
    pipeio.possync = OsMemNew(COsSync);
    if (!pipeio.possync || pipeio.possync->EventCreate(nullptr, nullptr, false) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "usb>>> unable to create a pipe event...");
      return OS_STS_FAIL;
    }
  }
  if (!m_possyncInterruptCancelled) {
    m_possyncInterruptCancelled = OsMemNew(COsSync);
    if (!m_possyncInterruptCancelled ||
        m_possyncInterruptCancelled->EventCreate(nullptr, nullptr, false) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "usb>>> unable to create the interrupt event...");
      return OS_STS_FAIL;
    }
  }
  return OS_STS_SUCCESS;
}

void COsUsbImpl::ClosePipeEvents() {
  for (PipeIo& pipeio : m_apipeio) OsMemDelete(pipeio.possync);
  OsMemDelete(m_possyncInterruptCancelled);
}

EOSSTS COsUsbImpl::OpenUsb(OsUsbFind*) {
  if (!m_blFound) {
    OsLog(OS_LOG_ERROR, "usb>>> must call GetFirst first...");
    return OS_STS_FAIL;
  }
  COpenUsb* p = m_popenusb;
  if (!p || !p->IsLoaded()) {
    OsLog(OS_LOG_ERROR, "openusb_init failed...");
    return OS_STS_FAIL;
  }
  DropPipes();
  EOSSTS eossts = Lock(0);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "usb>>> unable to acquire device lock...<%d>", static_cast<int>(eossts));
    return OS_STS_FAIL;
  }
  m_blOpen = true;
  auto fail = [this]() {
    Close(false, "OpenAndDeviceLock", __LINE__);
    return OS_STS_FAIL;
  };
  uint8_t u8Endpoints = 0;
  if (OpenPipeEvents() != OS_STS_SUCCESS || CheckDescriptors(&u8Endpoints) != OS_STS_SUCCESS) return fail();
  openusb_dev_handle_t dev = 0;
  int32_t i32 = p->openusb_open_device(p->m_openusbhandle, m_posusbinfo->u64DevId, 0, &dev);
  if (i32 != OPENUSB_SUCCESS) {
    OsLog(OS_LOG_ERROR, "usb>>> OpenDevice failed...%d", i32);
    return fail();
  }
  OsLog(OS_LOG_INFO, "usb>>> OpenDevice=%p", reinterpret_cast<void*>(dev));
  m_openusbdevhandle = dev;
  openusb_config_desc cfgdesc{};
  p->openusb_parse_config_desc(p->m_openusbhandle, m_posusbinfo->u64DevId, nullptr, 0, m_u8Configuration, &cfgdesc);
  if ((i32 = p->openusb_set_configuration(dev, cfgdesc.bConfigurationValue)) != OPENUSB_SUCCESS) {
    OsLog(OS_LOG_ERROR, "usb>>> usb_set_configuration failed...%d %s", cfgdesc.bConfigurationValue,
          p->openusb_strerror(i32));
    return fail();
  }
  if ((i32 = p->openusb_claim_interface(dev, m_u8Interface, 0)) != OPENUSB_SUCCESS) {
    OsLog(OS_LOG_ERROR, "usb>>> usb_claim_interface failed...%d %d %s", m_u8Configuration, m_u8Interface,
          p->openusb_strerror(i32));
    return fail();
  }
  m_blInterfaceClaimed = true;
  if ((i32 = p->openusb_set_altsetting(dev, m_u8Interface, m_osusbopen.u8Alternate)) != OPENUSB_SUCCESS) {
    OsLog(OS_LOG_ERROR, "usb>>> usb_set_altsetting failed...%d %d %d %d %s", m_u8Configuration, m_u8Interface,
          m_osusbopen.u8Alternate, i32, p->openusb_strerror(i32));
    return fail();
  }
  if (BindEndpoints(u8Endpoints) != OS_STS_SUCCESS) return fail();
  DumpOpen();
  m_blDeviceEvents.store(true);
  for (openusb_event event : {OPENUSB_EVENT_ATTACH, OPENUSB_EVENT_REMOVE}) {
    if ((i32 = p->openusb_set_event_callback(p->m_openusbhandle, event, DeviceEvent, this)) != OPENUSB_SUCCESS) {
      OsLog(OS_LOG_ERROR, "Unable to set event callback: %d:%s", i32, p->openusb_strerror(i32));
      return fail();
    }
  }
  ResetPipes();
  CalculateMaxChunkSize(m_posusbinfo->eosusbwire, false);
  m_posthreadInterrupt = OsMemNew(COsThread);
  if (!m_posthreadInterrupt || (eossts = m_posthreadInterrupt->Start("InterruptThread", InterruptThread, this)) !=
                                   OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "The InterruptThread failed to start...%d", static_cast<int>(eossts));
    return fail();
  }
  return OS_STS_SUCCESS;
}

// A halted endpoint is cleared with the standard request. Some devices take
// the request badly: ForceUsbReset "0" switches the resets off.
EOSSTS COsUsbImpl::ResetPipes() {
  if (OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEUSBRESET, 1) == 0) {
    OsLog(OS_LOG_INFO, "usb>>> IOCTL_RESET_PIPE is disabled (returning success and continuing)...");
    return OS_STS_SUCCESS;
  }
  COpenUsb* p = m_popenusb;
  if (!p || !p->openusb_ctrl_xfer || !m_openusbdevhandle) return OS_STS_SUCCESS;
  for (uint32_t u32Pipe = OS_USBPIPE_BULKIN; u32Pipe < OS_USBPIPE_LAST; ++u32Pipe) {
    const PipeIo& pipeio = m_apipeio[u32Pipe];
    if (!pipeio.blBound) continue;
    OsLogDebug(OS_LOG_INFO, "usb>>> Reset (ClearHalt)...%d", pipeio.u8Endpoint);
    openusb_ctrl_request ctrl{};
    ctrl.setup.bmRequestType = 0x02;  // standard, to an endpoint
    ctrl.setup.bRequest = 0x01;       // CLEAR_FEATURE
    ctrl.setup.wValue = 0;            // ENDPOINT_HALT
    ctrl.setup.wIndex = pipeio.u8Endpoint;
    ctrl.timeout = static_cast<uint32_t>(m_alTimeout[OS_USBPIPE_CONTROL].load());
    int32_t i32 = p->openusb_ctrl_xfer(m_openusbdevhandle, m_u8Interface, 0, &ctrl);
    if (i32 != OPENUSB_SUCCESS) OsLog(OS_LOG_INFO, "usb>>> Reset (ClearHalt) failed...%d %d", pipeio.u8Endpoint, i32);
  }
  return OS_STS_SUCCESS;
}
