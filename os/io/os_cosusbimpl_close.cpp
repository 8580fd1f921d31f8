// Closing the device: the device lock given up, the device closed, and the
// closing flag that keeps a second concurrent close out.
#include "os_copenusb.h"
#include "os_coslog.h"
#include "os_cossync.h"
#include "os_cosusbimpl.h"

void COsUsbImpl::Close(bool a_blFlag, const char* a_szCaller, long a_lLine) {
  OsLog(OS_LOG_INFO, "usb>>> closing osusb...%d <%s@%d>", a_blFlag ? 1 : 0, a_szCaller ? a_szCaller : "",
        static_cast<int>(a_lLine));
  if (m_blSkipClose) {
    OsLog(OS_LOG_INFO, "usb>>> closing osusb (skip requested)...");
    return;
  }
  COsSync::SpinLock(&m_pvClosing);
  const bool blBusy = m_blClosing;
  m_blClosing = true;
  COsSync::SpinUnlock(&m_pvClosing);
  if (blBusy) return;
  if (!m_posusbinfo) {
    OsLog(OS_LOG_INFO, "usb>>> closing osusb (pod.m_posusbinfo is null)...");
  } else if (m_blOpen) {
    if (m_blDisconnectWontUnlock.load() || IsConnected()) {
      OsLog(OS_LOG_INFO, "usb>>> closing osusb (DeviceUnlock)...");
      std::lock_guard<std::mutex> lock(m_mutexLock);
      UnlockLocked(true);
      LockFileClose();
    }
    OsLog(OS_LOG_INFO, "usb>>> close path...");
    {
      std::unique_lock<std::shared_mutex> lock(m_sharedmutexSockets);
      CloseSocketPipes();
    }
    if (m_posusbinfo->eosusbwire != OS_USBWIRE_NET) {
      for (uint32_t u32Pipe = OS_USBPIPE_BULKIN; u32Pipe < OS_USBPIPE_LAST; ++u32Pipe) {
        OsLogDebug(OS_LOG_INFO, "usb>>> cancel io...%d", static_cast<int>(u32Pipe));
        if (u32Pipe != OS_USBPIPE_INTERRUPT) Cancel(u32Pipe);
      }
      StopInterruptThread();
    }
    {
      std::lock_guard<std::mutex> lock(m_mutexLock);
      if (m_i64LockCount) UnlockLocked(true);
      LockFileClose();
    }
    if (m_openusbdevhandle && m_popenusb) {
      // No more device events for this object.
      StopDeviceEvents();
      if (m_popenusb->openusb_close_device) {
        OsLog(OS_LOG_INFO, "usb>>> CloseDevice=%p", reinterpret_cast<void*>(m_openusbdevhandle));
        m_popenusb->openusb_close_device(m_openusbdevhandle);
      }
    }
    m_openusbdevhandle = 0;
    m_blInterfaceClaimed = false;
    for (PipeIo& pipeio : m_apipeio) {
      pipeio.blBound = false;
      pipeio.blCancel.store(false);
    }
    m_u64MaxChunkSize = 0;
    m_blOpen = false;
  }
  // A later open and close of the same object must not find the flag set.
  ClearClosing();
}
