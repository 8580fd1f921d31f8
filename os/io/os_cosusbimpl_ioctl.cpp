// Requests of the device service: the checks every request passes, the
// code table's log lines, the USB path (bulk, control, interrupt, cancel)
// and the codes both paths share (time-outs, retries, chunk sizes, device
// information).
#include <cstdio>
#include <cstring>
#include <string>

#include "os_copenusb.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_costhread.h"
#include "os_cosusbimpl.h"
#include "os_cosusbioctl.h"

namespace {
constexpr size_t kSetupBytes = 8;
constexpr uint8_t kDeviceToHost = 0x80;

bool IsBulk(uint32_t a_eosusbioctl) {
  return a_eosusbioctl == OS_USBIOCTL_BULKIN || a_eosusbioctl == OS_USBIOCTL_BULKOUT ||
         a_eosusbioctl == OS_USBIOCTL_IMAGEFRONT || a_eosusbioctl == OS_USBIOCTL_IMAGEREAR;
}

const char* Failure(uint32_t a_eosusbioctl) {
  switch (a_eosusbioctl) {
    case OS_USBIOCTL_BULKIN: return "usb>>> bulk read failed: %d";
    case OS_USBIOCTL_BULKOUT: return "usb>>> bulk write failed: %d";
    case OS_USBIOCTL_IMAGEFRONT: return "usb>>> bulk read (imagefront) failed: %d";
    default: return "usb>>> bulk read (imagerear) failed: %d";
  }
}
}  // namespace

// The bytes of a buffer at debug level, as many as a log line shows.
void COsUsbImpl::LogBytes(const char* a_szTag, const void* a_pv, uint64_t a_u64Size, const char* a_szWhat) {
  if (!g_poslog || !g_poslog->GetDebugLevel()) return;
  std::string strLine = a_szTag;
  if (!a_pv) {
    strLine += std::string(" (") + a_szWhat + " pointer is null)";
  } else if (a_u64Size == 0) {
    strLine += std::string(" (") + a_szWhat + " size is zero)";
  } else {
    const long lDisplay = g_poslog->DisplayLength();
    const uint64_t u64Shown = lDisplay > 0 && a_u64Size > static_cast<uint64_t>(lDisplay) / 3
                                  ? static_cast<uint64_t>(lDisplay) / 3
                                  : a_u64Size;
    const uint8_t* pu8 = static_cast<const uint8_t*>(a_pv);
    char sz[4];
    for (uint64_t u64 = 0; u64 < u64Shown; ++u64) {
      std::snprintf(sz, sizeof sz, " %02x", pu8[u64]);
      strLine += sz;
    }
  }
  OsLogDebug(OS_LOG_USBWIRE, "%s", strLine.c_str());
}

EOSSTS COsUsbImpl::Ioctl(EOSUSBIOCTL a_eosusbioctl, void* a_pvCommand, uint64_t a_u64Command, void* a_pvData,
                         uint64_t a_u64Data, uint64_t* a_pu64Transferred) {
  uint64_t u64Ignored = 0;
  if (!a_pu64Transferred) a_pu64Transferred = &u64Ignored;
  *a_pu64Transferred = 0;
  if (!m_posusbinfo) {
    OsLog(OS_LOG_ERROR, "usb>>> must call init first...");
    return OS_STS_FAIL;
  }
  if (!m_blOpen) {
    OsLog(OS_LOG_ERROR, "usb>>> must open a device first...");
    return OS_STS_FAIL;
  }
  const uint64_t u64Max = CalculateMaxChunkSize(m_posusbinfo->eosusbwire, true);
  if (a_u64Data > u64Max) {
    OsLog(OS_LOG_ERROR, "usb>>> ioctl data size exceeds max chunk size...%ld > %ld", static_cast<long>(a_u64Data),
          static_cast<long>(u64Max));
    return OS_STS_FAIL;
  }
  if (IsBulk(a_eosusbioctl) && a_u64Data && !a_pvData) {
    OsLog(OS_LOG_ERROR, "usb>>> data pointer is null...%ld", static_cast<long>(a_u64Data));
    return OS_STS_FAIL;
  }
  const OsUsbIoctlInfo& info = OsUsbIoctlGetInfo(a_eosusbioctl);
  OsLogDebug(OS_LOG_USBWIRE, "USBARG: ioctl:%s cmd:%p/%d data:%p/%d", info.szName, a_pvCommand,
             static_cast<int>(a_u64Command), a_pvData, static_cast<int>(a_u64Data));
  LogBytes(info.szTag, a_pvCommand, a_u64Command, "command");
  EOSSTS eossts;
  switch (m_posusbinfo->eosusbwire) {
    case OS_USBWIRE_NET:
      eossts = IoctlSocket(a_eosusbioctl, a_pvCommand, a_u64Command, a_pvData, a_u64Data, a_pu64Transferred);
      break;
    case OS_USBWIRE_USB:
    case OS_USBWIRE_1394:
      eossts = IoctlUsb(a_eosusbioctl, a_pvCommand, a_u64Command, a_pvData, a_u64Data, a_pu64Transferred);
      break;
    default:
      OsLog(OS_LOG_ERROR, "unrecognized eosusbwire...%d", static_cast<int>(m_posusbinfo->eosusbwire));
      return OS_STS_FAIL;
  }
  const char* szTagAfter = info.szTagAfter;
  if (a_eosusbioctl == OS_USBIOCTL_CONTROL && a_pvCommand && a_u64Command == kSetupBytes) {
    szTagAfter = static_cast<const uint8_t*>(a_pvCommand)[0] & kDeviceToHost ? "USBCIN:" : "USBCOU:";
  }
  if (szTagAfter) LogBytes(szTagAfter, a_pvData, *a_pu64Transferred, "data");
  return eossts;
}

EOSSTS COsUsbImpl::IoctlUsb(EOSUSBIOCTL a_eosusbioctl, void* a_pvCommand, uint64_t a_u64Command, void* a_pvData,
                            uint64_t a_u64Data, uint64_t* a_pu64Transferred) {
  if (!IsConnected() && a_eosusbioctl != OS_USBIOCTL_CANCELIOINTERRUPT) {
    OsLog(OS_LOG_ERROR, "usb>>> device is offline...");
    return OS_STS_USB_OFFLINE;
  }
  if (a_eosusbioctl == OS_USBIOCTL_UNDEFINED || a_eosusbioctl >= OS_USBIOCTL_LAST) {
    OsLog(OS_LOG_ERROR, "usb>>> unrecognized a_eosusbioctl...%d", static_cast<int>(a_eosusbioctl));
    return OS_STS_FAIL;
  }
  const OsUsbIoctlInfo& info = OsUsbIoctlGetInfo(a_eosusbioctl);
  if (!info.blAccepted) {
    OsLog(OS_LOG_ERROR, "usb>>> Unrecognized a_eosusbioctl...%d", static_cast<int>(a_eosusbioctl));
    return OS_STS_FAIL;
  }
  if (IsBulk(a_eosusbioctl)) {
    PipeClaim claim(m_apipeio[info.eosusbpipe], info.eosusbpipe);
    EOSSTS eossts;
    if (!claim.Held()) {
      eossts = OS_STS_BUSY;
    } else if (m_posusbinfo->blSimulation) {
      eossts = Simulate(a_eosusbioctl, a_pvCommand, a_u64Command, a_pvData, a_u64Data, a_pu64Transferred);
    } else {
      // Only once the pipe is ours: a cancel meant for the request under
      // way must not be cleared by one that is refused.
      m_apipeio[info.eosusbpipe].blCancel.store(false);
      eossts = Transfer(info.eosusbpipe, static_cast<uint8_t*>(a_pvData), a_u64Data, a_pu64Transferred);
    }
    if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, Failure(a_eosusbioctl), static_cast<int>(eossts));
    return eossts;
  }
  switch (a_eosusbioctl) {
    case OS_USBIOCTL_CONTROL: return Control(a_pvCommand, a_u64Command, a_pvData, a_u64Data, a_pu64Transferred);
    case OS_USBIOCTL_INTERRUPT: {
      if (!a_pvCommand || a_u64Command != sizeof(OsUsbInterrupt)) {
        OsLog(OS_LOG_ERROR, "usb>>> the OsUsbInterrupt structure is missing or has the wrong size...%d",
              static_cast<int>(a_u64Command));
        return OS_STS_FAIL;
      }
      if (!m_posthreadInterrupt || m_posthreadInterrupt->GetStatus() != OS_THREADSTATUS_ALIVE) {
        OsLog(OS_LOG_ERROR, "usb>>> the Interrupt Thread isn't running...");
        return OS_STS_FAIL;
      }
      {
        std::lock_guard<std::mutex> lock(m_mutexInterrupt);
        if (m_blInterruptRunning.load() || m_blInterruptRequest) {
          OsLog(OS_LOG_ERROR, "usb>>> an interrupt request is already running...");
          return OS_STS_BUSY;
        }
        std::memcpy(&m_osusbinterrupt, a_pvCommand, sizeof m_osusbinterrupt);
        m_blInterruptRequest = true;
      }
      m_posthreadInterrupt->SetEvent(1);
      return OS_STS_SUCCESS;
    }
    case OS_USBIOCTL_CANCELIOBULKIN:
    case OS_USBIOCTL_CANCELIOBULKOUT:
    case OS_USBIOCTL_CANCELIOCONTROL:
    case OS_USBIOCTL_CANCELIOIMAGEFRONT:
    case OS_USBIOCTL_CANCELIOIMAGEREAR: return Cancel(info.eosusbpipe);
    case OS_USBIOCTL_CANCELIOINTERRUPT: return CancelInterrupt();
    case OS_USBIOCTL_RESETALL: return ResetPipes();
    default: break;
  }
  bool blHandled = false;
  return IoctlCommon(a_eosusbioctl, a_pvCommand, a_u64Command, a_pvData, a_u64Data, a_pu64Transferred, &blHandled);
}

// The codes that work alike on both paths.
EOSSTS COsUsbImpl::IoctlCommon(EOSUSBIOCTL a_eosusbioctl, void* a_pvCommand, uint64_t a_u64Command, void* a_pvData,
                               uint64_t a_u64Data, uint64_t* a_pu64Transferred, bool* a_pblHandled) {
  *a_pblHandled = true;
  const uint32_t u32Pipe = OsUsbIoctlGetInfo(a_eosusbioctl).eosusbpipe;
  if (a_eosusbioctl >= OS_USBIOCTL_TIMEOUTBULKIN && a_eosusbioctl <= OS_USBIOCTL_TIMEOUTINTERRUPT) {
    if (!a_pvCommand || a_u64Command != 4) {
      OsLog(OS_LOG_ERROR, "usb>>> timeout command value must be exactly four bytes in size...%d",
            static_cast<int>(a_u64Command));
      return OS_STS_FAIL;
    }
    if (!a_pvData || a_u64Data != 4) {
      OsLog(OS_LOG_ERROR, "usb>>> timeout data return must be exactly four bytes in size...%d",
            static_cast<int>(a_u64Data));
      return OS_STS_FAIL;
    }
    uint32_t u32New;
    std::memcpy(&u32New, a_pvCommand, 4);
    const uint32_t u32Old = static_cast<uint32_t>(m_alTimeout[u32Pipe].exchange(static_cast<long>(u32New)));
    std::memcpy(a_pvData, &u32Old, 4);
    *a_pu64Transferred = 4;
    return OS_STS_SUCCESS;
  }
  if (a_eosusbioctl >= OS_USBIOCTL_RETRYBULKIN && a_eosusbioctl <= OS_USBIOCTL_RETRYINTERRUPT) {
    if (!a_pvCommand || a_u64Command != 8) {
      OsLog(OS_LOG_ERROR, "usb>>> retry command value must be exactly eight bytes in size...%d",
            static_cast<int>(a_u64Command));
      return OS_STS_FAIL;
    }
    if (!a_pvData || a_u64Data != 8) {
      OsLog(OS_LOG_ERROR, "usb>>> retry data return must be exactly eight bytes in size...%d",
            static_cast<int>(a_u64Data));
      return OS_STS_FAIL;
    }
    int64_t i64New;
    std::memcpy(&i64New, a_pvCommand, 8);
    const int64_t i64Old = m_apipeio[u32Pipe].i64Retry.exchange(i64New);
    std::memcpy(a_pvData, &i64Old, 8);
    *a_pu64Transferred = 8;
    return OS_STS_SUCCESS;
  }
  if (a_eosusbioctl >= OS_USBIOCTL_GETCHUNKSIZEBULKIN && a_eosusbioctl <= OS_USBIOCTL_GETCHUNKSIZEINTERRUPT) {
    if (!a_pvData || (a_u64Data != 4 && a_u64Data != 8)) {
      OsLog(OS_LOG_ERROR, "usb>>> getchunksize data return must be 4 or 8 bytes in size...%d",
            static_cast<int>(a_u64Data));
      return OS_STS_FAIL;
    }
    uint64_t u64Size = CalculateMaxChunkSize(m_posusbinfo->eosusbwire, true);
    if (m_posusbinfo->eosusbwire == OS_USBWIRE_NET && u32Pipe == OS_USBPIPE_CONTROL) u64Size = 4096;
    if (m_posusbinfo->eosusbwire == OS_USBWIRE_NET && u32Pipe == OS_USBPIPE_INTERRUPT) u64Size = 8;
    if (a_u64Data == 4) {
      const uint32_t u32Size = static_cast<uint32_t>(u64Size);
      std::memcpy(a_pvData, &u32Size, 4);
    } else {
      std::memcpy(a_pvData, &u64Size, 8);
    }
    *a_pu64Transferred = a_u64Data;
    return OS_STS_SUCCESS;
  }
  if (a_eosusbioctl == OS_USBIOCTL_SCANBEGIN) {
    CalculateMaxChunkSize(m_posusbinfo->eosusbwire, false);
    return OS_STS_SUCCESS;
  }
  if (a_eosusbioctl == OS_USBIOCTL_DEVICEINFO) return DeviceInfo(a_pvData, a_u64Data, a_pu64Transferred);
  *a_pblHandled = false;
  OsLog(OS_LOG_ERROR, "usb>>> Unrecognized a_eosusbioctl...%d", static_cast<int>(a_eosusbioctl));
  return OS_STS_FAIL;
}

EOSSTS COsUsbImpl::DeviceInfo(void* a_pvData, uint64_t a_u64Data, uint64_t* a_pu64Transferred) {
  char szInfo[1024];
  const int iLength = std::snprintf(
      szInfo, sizeof szInfo,
      "<device>\n\t<model>%s</model>\n\t<devicefriendlyname><![CDATA[%s]]></devicefriendlyname>\n\t<usb>\n\t\t<vid>"
      "0x%04x</vid>\n\t\t<pid>0x%04x</pid>\n\t\t<speed>0x%04x</speed>\n\t</usb>\n</device>",
      m_posusbinfo->szModel, m_posusbinfo->szDeviceFriendlyName, m_posusbinfo->u16Vid, m_posusbinfo->u16Pid,
      m_posusbinfo->u16Speed);
  if (!a_pvData || iLength < 0 || static_cast<uint64_t>(iLength) + 1 > a_u64Data) {
    OsLog(OS_LOG_ERROR, "GetDeviceInfo: buffer is too small...%u %u", static_cast<unsigned>(a_u64Data),
          static_cast<unsigned>(iLength + 1));
    return OS_STS_FAIL;
  }
  std::memcpy(a_pvData, szInfo, static_cast<size_t>(iLength) + 1);
  *a_pu64Transferred = static_cast<uint64_t>(iLength) + 1;
  return OS_STS_SUCCESS;
}

// A simulated device's bulk, image and control requests go to the
// simulation library's entry.
EOSSTS COsUsbImpl::Simulate(uint32_t a_eosusbioctl, void* a_pvCommand, uint64_t a_u64Command, void* a_pvData,
                            uint64_t a_u64Data, uint64_t* a_pu64Transferred) {
  const uint32_t u32Pipe = OsUsbIoctlGetInfo(a_eosusbioctl).eosusbpipe;
  if (!IsBulk(a_eosusbioctl) && a_eosusbioctl != OS_USBIOCTL_CONTROL) {
    OsLog(OS_LOG_ERROR, "usb>>> unexpected IOCTL...%d on pipe %d", static_cast<int>(a_eosusbioctl),
          static_cast<int>(u32Pipe));
    return OS_STS_FAIL;
  }
  Callback callback = GetCallback(static_cast<EOSUSBPIPE>(u32Pipe), OS_USBCALLBACK_SIMULATION);
  if (!callback.pfn) {
    OsLog(OS_LOG_ERROR, "usb>>> no simulation callback for pipe %d...", static_cast<int>(u32Pipe));
    return OS_STS_FAIL;
  }
  return reinterpret_cast<OSUSBSIMULATIONCALLBACK>(reinterpret_cast<void*>(callback.pfn))(u32Pipe, a_pvCommand, a_u64Command, a_pvData,
                                                                  a_u64Data, a_pu64Transferred);
}

// A control request: an 8-byte setup packet (request type, request, value,
// index, length) whose length the data buffer holds.
EOSSTS COsUsbImpl::Control(void* a_pvCommand, uint64_t a_u64Command, void* a_pvData, uint64_t a_u64Data,
                           uint64_t* a_pu64Transferred) {
  if (!a_pvCommand || a_u64Command != kSetupBytes) {
    OsLog(OS_LOG_ERROR, "usb>>> control command must be exactly eight bytes in size...%d",
          static_cast<int>(a_u64Command));
    return OS_STS_FAIL;
  }
  const uint8_t* pu8 = static_cast<const uint8_t*>(a_pvCommand);
  const uint16_t u16Length = static_cast<uint16_t>(pu8[6] | (pu8[7] << 8));
  if (u16Length > a_u64Data || (u16Length && !a_pvData)) {
    OsLog(OS_LOG_ERROR, "usb>>> control data buffer is smaller than the request...%d > %d", u16Length,
          static_cast<int>(a_u64Data));
    return OS_STS_FAIL;
  }
  PipeClaim claim(m_apipeio[OS_USBPIPE_CONTROL], OS_USBPIPE_CONTROL);
  if (!claim.Held()) return OS_STS_BUSY;
  if (m_posusbinfo->blSimulation) {
    return Simulate(OS_USBIOCTL_CONTROL, a_pvCommand, a_u64Command, a_pvData, a_u64Data, a_pu64Transferred);
  }
  if (m_posusbinfo->u32MaxCtrlXfer && u16Length > m_posusbinfo->u32MaxCtrlXfer) {
    OsLog(OS_LOG_ERROR, "usb>>> Control endpoint request must be less than %d (is %d) bytes",
          static_cast<int>(m_posusbinfo->u32MaxCtrlXfer), u16Length);
    return OS_STS_FAIL;
  }
  COpenUsb* p = m_popenusb;
  if (!p || !p->openusb_xfer_wait) {
    OsLog(OS_LOG_ERROR, "usb>>> must open a device first...");
    return OS_STS_FAIL;
  }
  PipeIo& pipeio = m_apipeio[OS_USBPIPE_CONTROL];
  pipeio.ctrl = openusb_ctrl_request{};
  pipeio.ctrl.setup.bmRequestType = pu8[0];
  pipeio.ctrl.setup.bRequest = pu8[1];
  pipeio.ctrl.setup.wValue = static_cast<uint16_t>(pu8[2] | (pu8[3] << 8));
  pipeio.ctrl.setup.wIndex = static_cast<uint16_t>(pu8[4] | (pu8[5] << 8));
  pipeio.ctrl.payload = static_cast<uint8_t*>(a_pvData);
  pipeio.ctrl.length = u16Length;
  pipeio.ctrl.timeout = static_cast<uint32_t>(m_alTimeout[OS_USBPIPE_CONTROL].load());
  pipeio.request = openusb_request_handle{};
  pipeio.request.dev = m_openusbdevhandle;
  pipeio.request.interface = m_u8Interface;
  pipeio.request.endpoint = 0;
  pipeio.request.type = OPENUSB_TRANSFER_TYPE_CONTROL;
  pipeio.request.req.ctrl = &pipeio.ctrl;
  {
    std::lock_guard<std::mutex> lock(pipeio.mutexPending);
    pipeio.blPending = true;
  }
  int32_t i32 = p->openusb_xfer_wait(&pipeio.request);
  {
    std::lock_guard<std::mutex> lock(pipeio.mutexPending);
    pipeio.blPending = false;
  }
  if (i32 == OPENUSB_SUCCESS) i32 = pipeio.ctrl.result.status;
  if (i32 != OPENUSB_SUCCESS) {
    OsLog(OS_LOG_ERROR, "usb>>> Failed to submit control io request: %d", i32);
    OsLog(OS_LOG_ERROR, "usb>>> %s", p->openusb_strerror ? p->openusb_strerror(i32) : "");
    switch (i32) {
      case OPENUSB_IO_TIMEOUT: return OS_STS_TIMEOUT;
      case OPENUSB_IO_CANCELED: return OS_STS_USB_CANCELLED;
      case OPENUSB_IO_NO_DEVICE: OsUsbSetConnection(OS_USBCONNECTION_DISCONNECTED); return OS_STS_USB_OFFLINE;
      default: return OS_STS_FAIL;
    }
  }
  *a_pu64Transferred = pipeio.ctrl.result.transferred_bytes;
  return OS_STS_SUCCESS;
}
