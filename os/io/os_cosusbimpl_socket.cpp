// Network scanner units: one TCP connection per pipe to a port of the
// unit, raw bytes without framing, reconnected when a link drops, as many
// attempts as the pipe's retry value asks.
#include <cstring>

#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_costhread.h"
#include "os_costime.h"
#include "os_cosusbchannel.h"
#include "os_cosusbimpl.h"
#include "os_cosusbioctl.h"

namespace {
constexpr long kSocketTimeout = 60000;

const char* ChannelName(uint32_t a_eosusbpipe) {
  switch (a_eosusbpipe) {
    case OS_USBPIPE_CONTROL: return "UsbPipeControl";
    case OS_USBPIPE_BULKIN: return "UsbPipeBulkIn";
    case OS_USBPIPE_BULKOUT: return "UsbPipeBulkOut";
    case OS_USBPIPE_IMAGEFRONT: return "UsbPipeImageFront";
    case OS_USBPIPE_IMAGEREAR: return "UsbPipeImageRear";
    case OS_USBPIPE_INTERRUPT: return "UsbPipeInterrupt";
    default: return "UsbPipeBulkInterrupt";
  }
}

int64_t NowMs() { return COsTime::GetTimeStamp() * 1000; }
}  // namespace

EOSSTS COsUsbImpl::OpenSockets() {
  EOSSTS eossts = Lock(0);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "usb>>> unable to acquire device lock...<%d>", static_cast<int>(eossts));
    return OS_STS_FAIL;
  }
  m_blOpen = true;
  std::unique_lock<std::shared_mutex> lock(m_sharedmutexSockets);
  if (OpenSocketPipes(true) != OS_STS_SUCCESS) {
    lock.unlock();
    Close(false, "OpenAndDeviceLock", __LINE__);
    return OS_STS_FAIL;
  }
  lock.unlock();
  OsUsbInfoSetConnection(m_posusbinfo, OS_USBCONNECTION_CONNECTED);
  if (OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEDISCONNECTPASS, 0) ||
      OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_APPLICATIONVELDA, 0)) {
    OsLog(OS_LOG_INFO, "usb>>> The COsUsb monitor has been turned off...");
  } else if (m_posthreadMonitor) {
    OsLog(OS_LOG_INFO, "usb>>> the COsUsb monitor is already running (this is okay)...");
  } else {
    m_posthreadMonitor = OsMemNew(COsThread);
  }
  CalculateMaxChunkSize(OS_USBWIRE_NET, false);
  return OS_STS_SUCCESS;
}

// The caller holds the connections alone.
EOSSTS COsUsbImpl::OpenSocketPipes(bool a_blSetTimeouts) {
  const char* szAddress = m_osusbopen.szSocketIp4[0] ? m_osusbopen.szSocketIp4 : m_posusbinfo->szSocketIp4;
  for (const OsUsbOpenPipe& pipe : m_osusbopen.aosusbopenpipe) {
    if (pipe.eosusbpipe == OS_USBPIPE_UNDEFINED || pipe.eosusbpipe >= OS_USBPIPE_LAST) continue;
    PipeIo& pipeio = m_apipeio[pipe.eosusbpipe];
    if (pipeio.poschannel) continue;
    COsUsbChannel* poschannel = COsUsbChannel::Create();
    if (!poschannel || poschannel->Connect(szAddress, pipe.szSocketPort, ChannelName(pipe.eosusbpipe)) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "Connect failed...");
      delete poschannel;
      CloseSocketPipes();
      return OS_STS_USB_OFFLINE;
    }
    pipeio.poschannel = poschannel;
    if (a_blSetTimeouts) m_alTimeout[pipe.eosusbpipe].store(kSocketTimeout);
    if (pipe.eosusbpipe == OS_USBPIPE_CONTROL && poschannel->SetBufferSizes(8192, 32768) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_INFO, "usb>>> SetBufferSizes failed...");
    }
  }
  return OS_STS_SUCCESS;
}

// The caller holds the connections alone.
void COsUsbImpl::CloseSocketPipes() {
  for (PipeIo& pipeio : m_apipeio) {
    delete pipeio.poschannel;
    pipeio.poschannel = nullptr;
  }
}

EOSSTS COsUsbImpl::Reconnect() {
  std::unique_lock<std::shared_mutex> lock(m_sharedmutexSockets);
  CloseSocketPipes();
  if (OpenSocketPipes(false) != OS_STS_SUCCESS) return OS_STS_USB_OFFLINE;
  lock.unlock();
  OsUsbSetConnection(OS_USBCONNECTION_CONNECTED);
  return OS_STS_SUCCESS;
}

EOSSTS COsUsbImpl::IoctlSocket(EOSUSBIOCTL a_eosusbioctl, void* a_pvCommand, uint64_t a_u64Command, void* a_pvData,
                               uint64_t a_u64Data, uint64_t* a_pu64Transferred) {
  m_i64LastActivity.store(NowMs());
  if (a_eosusbioctl != OS_USBIOCTL_CANCELIOINTERRUPT && !IsConnected()) {
    OsLog(OS_LOG_INFO, "IoctlSocket:: reconnecting...%d %d %d", static_cast<int>(a_eosusbioctl),
          static_cast<int>(OsUsbInfoGetConnection(m_posusbinfo)), static_cast<int>(m_posusbinfo->eosusbwire));
    Reconnect();
    if (!IsConnected()) {
      OsLog(OS_LOG_ERROR, "usb>>> device is offline...");
      return OS_STS_USB_OFFLINE;
    }
  }
  bool blControl;
  {
    std::shared_lock<std::shared_mutex> lock(m_sharedmutexSockets);
    blControl = m_apipeio[OS_USBPIPE_CONTROL].poschannel != nullptr;
  }
  if (!blControl && Reconnect() != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "usb>>> device is offline...");
    return OS_STS_USB_OFFLINE;
  }
  const OsUsbIoctlInfo& info = OsUsbIoctlGetInfo(a_eosusbioctl);
  switch (a_eosusbioctl) {
    case OS_USBIOCTL_BULKIN:
    case OS_USBIOCTL_BULKOUT:
    case OS_USBIOCTL_IMAGEFRONT:
    case OS_USBIOCTL_IMAGEREAR: {
      // One connection carries one request's bytes at a time.
      PipeClaim claim(m_apipeio[info.eosusbpipe], info.eosusbpipe);
      if (!claim.Held()) return OS_STS_BUSY;
      return SocketTransfer(a_eosusbioctl, info.eosusbpipe, a_pvData, a_u64Data, a_pu64Transferred);
    }
    case OS_USBIOCTL_CONTROL:
      OsLog(OS_LOG_ERROR, "usb>>> control not supported for sockets...");
      return OS_STS_FAIL;
    case OS_USBIOCTL_INTERRUPT:
      OsLog(OS_LOG_INFO, "usb>>> interrupt not supported for sockets...");
      return OS_STS_SUCCESS;
    case OS_USBIOCTL_CANCELIOBULKIN:
    case OS_USBIOCTL_CANCELIOBULKOUT:
    case OS_USBIOCTL_CANCELIOCONTROL:
    case OS_USBIOCTL_CANCELIOIMAGEFRONT:
    case OS_USBIOCTL_CANCELIOIMAGEREAR:
    case OS_USBIOCTL_CANCELIOINTERRUPT: {
      std::shared_lock<std::shared_mutex> lock(m_sharedmutexSockets);
      COsUsbChannel* poschannel = m_apipeio[info.eosusbpipe].poschannel;
      if (!poschannel) poschannel = m_apipeio[OS_USBPIPE_CONTROL].poschannel;
      if (!poschannel) {
        OsLog(OS_LOG_ERROR, "we have no socket...");
        return OS_STS_FAIL;
      }
      return poschannel->Cancel();
    }
    case OS_USBIOCTL_RESETALL: return OS_STS_SUCCESS;
    default: break;
  }
  if (a_eosusbioctl == OS_USBIOCTL_UNDEFINED || a_eosusbioctl >= OS_USBIOCTL_LAST || !info.blAccepted) {
    OsLog(OS_LOG_ERROR, "usb>>> unrecognized a_eosusbioctl...%d", static_cast<int>(a_eosusbioctl));
    return OS_STS_FAIL;
  }
  bool blHandled = false;
  return IoctlCommon(a_eosusbioctl, a_pvCommand, a_u64Command, a_pvData, a_u64Data, a_pu64Transferred, &blHandled);
}

// Reads (what has arrived) or writes (every byte) on the pipe's connection;
// a link that failed, broke or timed out is reopened for the next attempt.
EOSSTS COsUsbImpl::SocketTransfer(EOSUSBIOCTL a_eosusbioctl, uint32_t a_eosusbpipe, void* a_pvData,
                                  uint64_t a_u64Data, uint64_t* a_pu64Transferred) {
  const bool blWrite = a_eosusbioctl == OS_USBIOCTL_BULKOUT;
  const int64_t i64Retry = m_apipeio[a_eosusbpipe].i64Retry.load();
  if (i64Retry < 0) return OS_STS_SUCCESS;
  const int64_t i64Attempts = i64Retry == 0 ? 1 : i64Retry;
  const uint32_t u32Timeout = static_cast<uint32_t>(m_alTimeout[a_eosusbpipe].load());
  for (int64_t i64Attempt = 1;; ++i64Attempt) {
    if (i64Attempt > 1) OsLog(OS_LOG_INFO, "usb>>> attempt %d of %d", static_cast<int>(i64Attempt), static_cast<int>(i64Attempts));
    EOSSTS eossts;
    {
      std::shared_lock<std::shared_mutex> lock(m_sharedmutexSockets);
      COsUsbChannel* poschannel = m_apipeio[a_eosusbpipe].poschannel;
      if (!poschannel) {
        eossts = OS_STS_USB_OFFLINE;
      } else if (blWrite) {
        eossts = poschannel->Write(a_pvData, a_u64Data, a_pu64Transferred, u32Timeout);
      } else {
        eossts = poschannel->Read(a_pvData, a_u64Data, a_pu64Transferred, u32Timeout);
      }
    }
    if (eossts == OS_STS_SUCCESS) return OS_STS_SUCCESS;
    if (eossts == OS_STS_USB_OFFLINE || eossts == OS_STS_FAIL || eossts == OS_STS_TIMEOUT) {
      OsUsbSetConnection(OS_USBCONNECTION_DISCONNECTED);
      if (i64Attempt < i64Attempts) {
        Reconnect();
        continue;
      }
      OsLog(OS_LOG_ERROR, blWrite ? "usb>>> Socket write failed...%d" : "usb>>> BULKIN failed...%d",
            static_cast<int>(eossts));
      return OS_STS_USB_OFFLINE;
    }
    if (eossts == OS_STS_USB_CANCELLED) {
      OsLog(OS_LOG_INFO, "usb>>> BULKIN cancelled...%d", static_cast<int>(a_eosusbpipe));
      return eossts;
    }
    OsLog(OS_LOG_ERROR, "usb>>> BULKIN failed...%d", static_cast<int>(eossts));
    return eossts;
  }
}
