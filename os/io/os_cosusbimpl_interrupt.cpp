// The interrupt thread of an open USB device: it sleeps until a caller
// hands it an interrupt request, then reads 8-byte interrupts one after the
// other and hands each to the kind-1 callback of the interrupt pipe, rides
// out the device being off line, and goes back to sleep when cancelled.
#include <cstdio>
#include <cstring>
#include <string>

#include "os_copenusb.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cossync.h"
#include "os_costhread.h"
#include "os_costime.h"
#include "os_cosusbimpl.h"

namespace {
constexpr uint32_t kInterruptBytes = 8;
constexpr size_t kLoggedBytes = 68;
}  // namespace

void* COsUsbImpl::InterruptThread(void* a_pvThread) {
  COsThread* posthread = static_cast<COsThread*>(a_pvThread);
  OsLogDebug(OS_LOG_INFO, "usb>>> InterruptThread launched...");
  COsUsbImpl* posusbimpl = posthread ? static_cast<COsUsbImpl*>(posthread->GetArg()) : nullptr;
  if (!posusbimpl) {
    OsLog(OS_LOG_ERROR, "usb>>> a_pvArg is null...");
    return nullptr;
  }
  posusbimpl->InterruptLoop(posthread);
  return nullptr;
}

bool COsUsbImpl::InterruptStopping(COsThread* a_posthread) { return a_posthread->GetCommand() != OS_THREADCMD_NONE; }

// One interrupt: over the bulk pipe when the interrupt pipe says so, else
// an interrupt transfer without time-out. 0, 7 off line, 8 cancelled, 1
// another failure (its status in *a_pi32Status).
EOSSTS COsUsbImpl::InterruptRead(uint8_t* a_pu8Payload, int32_t* a_pi32Status) {
  *a_pi32Status = OPENUSB_SUCCESS;
  const OsUsbOpenPipe* pipe = FindPipe(OS_USBPIPE_INTERRUPT);
  PipeIo& pipeio = m_apipeio[OS_USBPIPE_INTERRUPT];
  if (pipe && (pipe->u32Flags & OS_USBPIPEFLAGS_BULKINTERRUPT)) {
    uint64_t u64Read = 0;
    return Transfer(OS_USBPIPE_INTERRUPT, a_pu8Payload, kInterruptBytes, &u64Read);
  }
  COpenUsb* p = m_popenusb;
  {
    std::lock_guard<std::mutex> lock(pipeio.mutexPending);
    if (pipeio.blCancel.load()) {
      OsLog(OS_LOG_INFO, "usb>>> cancel request detected before openusb_xfer_wait call...");
      return OS_STS_USB_CANCELLED;
    }
    if (!pipeio.blBound || !p || !p->openusb_xfer_wait) {
      *a_pi32Status = OPENUSB_BADARG;
      return OS_STS_FAIL;
    }
    pipeio.intr = openusb_intr_request{};
    pipeio.intr.payload = a_pu8Payload;
    pipeio.intr.length = kInterruptBytes;
    pipeio.intr.timeout = 0;
    pipeio.request = openusb_request_handle{};
    pipeio.request.dev = m_openusbdevhandle;
    pipeio.request.interface = m_u8Interface;
    pipeio.request.endpoint = pipeio.u8Endpoint;
    pipeio.request.type = OPENUSB_TRANSFER_TYPE_INTERRUPT;
    pipeio.request.req.intr = &pipeio.intr;
    pipeio.blPending = true;
  }
  int32_t i32 = p->openusb_xfer_wait(&pipeio.request);
  {
    std::lock_guard<std::mutex> lock(pipeio.mutexPending);
    pipeio.blPending = false;
  }
  if (i32 == OPENUSB_SUCCESS) i32 = pipeio.intr.result.status;
  *a_pi32Status = i32;
  switch (i32) {
    case OPENUSB_SUCCESS: return OS_STS_SUCCESS;
    case OPENUSB_IO_NO_DEVICE: OsUsbSetConnection(OS_USBCONNECTION_DISCONNECTED); return OS_STS_USB_OFFLINE;
    case OPENUSB_IO_CANCELED: return OS_STS_USB_CANCELLED;
    default: return OS_STS_FAIL;
  }
}

void COsUsbImpl::InterruptLoop(COsThread* a_posthread) {
  PipeIo& pipeio = m_apipeio[OS_USBPIPE_INTERRUPT];
  while (!InterruptStopping(a_posthread)) {
    OsLogDebug(OS_LOG_INFO, "usb>>> InterruptThread going to sleep...");
    a_posthread->WaitForEvent(-1);
    OsLogDebug(OS_LOG_INFO, "usb>>> InterruptThread waking up...");
    if (InterruptStopping(a_posthread)) break;
    OsUsbInterrupt osusbinterrupt;
    {
      std::lock_guard<std::mutex> lock(m_mutexInterrupt);
      if (!m_blInterruptRequest) continue;
      osusbinterrupt = m_osusbinterrupt;
      m_blInterruptRequest = false;
      if (osusbinterrupt.eosusbpipe != OS_USBPIPE_INTERRUPT || !osusbinterrupt.pu8Payload ||
          osusbinterrupt.u32Length < kInterruptBytes) {
        OsLog(OS_LOG_ERROR, "usb>>> the OsUsbInterrupt structure has invalid data in it...(%d!=%d %p %d)",
              static_cast<int>(osusbinterrupt.eosusbpipe), static_cast<int>(OS_USBPIPE_INTERRUPT),
              static_cast<void*>(osusbinterrupt.pu8Payload), static_cast<int>(osusbinterrupt.u32Length));
        continue;
      }
      m_blInterruptRunning.store(true);
    }
    const OsUsbOpenPipe* pipe = FindPipe(OS_USBPIPE_INTERRUPT);
    if (pipe && (pipe->u32Flags & OS_USBPIPEFLAGS_PAUSE)) {
      OsLogDebug(OS_LOG_INFO, "usb>>> RemoteControl...");
      if (RemoteControl() != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "usb>>> RemoteControl(pause) failed...");
    }
    while (!InterruptStopping(a_posthread)) {
      std::memset(osusbinterrupt.pu8Payload, 0, osusbinterrupt.u32Length);
      int32_t i32Status = OPENUSB_SUCCESS;
      EOSSTS eossts = InterruptRead(osusbinterrupt.pu8Payload, &i32Status);
      if (eossts == OS_STS_SUCCESS) {
        std::string strBytes = "USBINT:";
        char sz[4];
        for (size_t i = 0; i < kInterruptBytes && i < kLoggedBytes; ++i) {
          std::snprintf(sz, sizeof sz, " %02x", osusbinterrupt.pu8Payload[i]);
          strBytes += sz;
        }
        OsLogDebug(OS_LOG_USBWIRE, "%s", strBytes.c_str());
        if (!IsClosing()) {
          OsUsbCallbackRecord record{};
          record.u32Length = kInterruptBytes;
          std::memcpy(record.au8Payload, osusbinterrupt.pu8Payload, kInterruptBytes);
          InvokeCallback(OS_USBPIPE_INTERRUPT, OS_USBCALLBACK_INTERRUPT, &record);
        }
        continue;
      }
      if (eossts == OS_STS_USB_OFFLINE) {
        OsLog(OS_LOG_INFO, "usb>>> InterruptThread offline...");
        while (!InterruptStopping(a_posthread) && !pipeio.blCancel.load() &&
               !(IsConnected() && __atomic_load_n(&m_posusbinfo->blReady, __ATOMIC_ACQUIRE))) {
          COsTime::Sleep(s_lOfflineStep.load());
        }
        if (InterruptStopping(a_posthread)) break;
        if (!pipeio.blCancel.load()) {
          OsLog(OS_LOG_INFO, "usb>>> InterruptThread online again...");
          continue;
        }
        OsLog(OS_LOG_INFO, "usb>>> InterruptThread canceled while offline...");
        eossts = OS_STS_USB_CANCELLED;
      }
      if (eossts == OS_STS_USB_CANCELLED) {
        OsLog(OS_LOG_INFO, "usb>>> InterruptThread canceled...");
        pipeio.blCancel.store(false);
        m_blInterruptRunning.store(false);
        if (!m_possyncInterruptCancelled || m_possyncInterruptCancelled->EventSet() != OS_STS_SUCCESS) {
          OsLog(OS_LOG_ERROR, "usb>>> Failed to set interrupt canceled event");
        }
        break;
      }
      OsLog(OS_LOG_ERROR, "usb>>> InterruptThread unknown error...%d: %s", i32Status,
            m_popenusb && m_popenusb->openusb_strerror ? m_popenusb->openusb_strerror(i32Status) : "");
      OsLog(OS_LOG_ERROR, "usb>>> osusbinterrequestt");
      OsLog(OS_LOG_ERROR, "usb>>>   payload   = %p", static_cast<void*>(osusbinterrupt.pu8Payload));
      OsLog(OS_LOG_ERROR, "usb>>>   length    = %d", static_cast<int>(osusbinterrupt.u32Length));
      OsLog(OS_LOG_ERROR, "usb>>>   timeout   = %d", static_cast<int>(osusbinterrupt.u32Timeout));
      OsLog(OS_LOG_ERROR, "usb>>> openusbrequesthandle");
      OsLog(OS_LOG_ERROR, "usb>>>   dev       = %p", reinterpret_cast<void*>(m_openusbdevhandle));
      OsLog(OS_LOG_ERROR, "usb>>>   interface = %d", m_u8Interface);
      OsLog(OS_LOG_ERROR, "usb>>>   endpoint  = 0x%x", pipeio.u8Endpoint);
      OsLog(OS_LOG_ERROR, "usb>>>   req.intr  = %p", static_cast<void*>(&pipeio.intr));
      // A device that keeps failing is not asked again at once.
      COsTime::Sleep(s_lOfflineStep.load());
    }
  }
  OsLogDebug(OS_LOG_INFO, "usb>>> InterruptThread being asked to stop...");
  m_blInterruptRunning.store(false);
  OsUsbCallbackRecord record{};
  InvokeCallback(OS_USBPIPE_INTERRUPT, OS_USBCALLBACK_INTERRUPT, &record);
}

// Halts the interrupt thread: a request under way is aborted until the
// thread has gone back to sleep (it may be just about to submit one), then
// the thread is stopped, all within the stop limit.
void COsUsbImpl::StopInterruptThread() {
  if (!m_posthreadInterrupt) return;
  OsLog(OS_LOG_INFO, "usb>>> kill off the interrupt thread...");
  const long lLimit = s_lThreadStopLimit.load();
  long lWaited = 0;
  if (m_blInterruptRunning.load()) m_apipeio[OS_USBPIPE_INTERRUPT].blCancel.store(true);
  while (m_blInterruptRunning.load() && lWaited < lLimit) {
    Cancel(OS_USBPIPE_INTERRUPT);
    COsTime::Sleep(10);
    lWaited += 10;
  }
  m_posthreadInterrupt->Stop(false, lLimit > lWaited ? lLimit - lWaited : 1);
  OsMemDelete(m_posthreadInterrupt);
  m_apipeio[OS_USBPIPE_INTERRUPT].blCancel.store(false);
}
