// Bulk transfers in chunks: each chunk is handed to the USB library and
// completes on the library's thread, which sets the pipe's event. A chunk
// is given its pipe's time-out and a margin; one the library does not
// finish by then is aborted and answered as a time-out. Also the claim
// that gives a pipe to one request at a time, cancels and what a
// completion status means.
#include <cstring>

#include "os_copenusb.h"
#include "os_coslog.h"
#include "os_cossync.h"
#include "os_costime.h"
#include "os_cosusbimpl.h"
#include "os_cosusbioctl.h"

namespace {
constexpr uint32_t k16KLimit = 16384;
}  // namespace

int32_t COsUsbImpl::TransferDone(openusb_request_handle_t a_request) {
  PipeIo* ppipeio = static_cast<PipeIo*>(a_request->arg);
  const openusb_request_result& result =
      a_request->type == OPENUSB_TRANSFER_TYPE_INTERRUPT ? a_request->req.intr->result : a_request->req.bulk->result;
  ppipeio->u32Done.store(result.transferred_bytes);
  ppipeio->i32Status.store(result.status);
  {
    std::lock_guard<std::mutex> lock(ppipeio->mutexPending);
    ppipeio->blPending = false;
  }
  ppipeio->possync->EventSet();
  return OPENUSB_SUCCESS;
}

COsUsbImpl::PipeClaim::PipeClaim(PipeIo& a_pipeio, uint32_t a_eosusbpipe) : m_pipeio(a_pipeio) {
  bool blFree = false;
  m_blHeld = a_pipeio.blBusy.compare_exchange_strong(blFree, true);
  if (!m_blHeld) {
    OsLog(OS_LOG_ERROR, "usb>>> a request is already running on pipe %d...", static_cast<int>(a_eosusbpipe));
  }
}

COsUsbImpl::PipeClaim::~PipeClaim() {
  if (m_blHeld) m_pipeio.blBusy.store(false);
}

EOSSTS COsUsbImpl::Completion(int32_t a_i32Status) {
  switch (a_i32Status) {
    case OPENUSB_SUCCESS:
    case OPENUSB_IO_TIMEOUT:
    case OPENUSB_IO_CANCELED: break;
    case OPENUSB_IO_NO_DEVICE: OsUsbSetConnection(OS_USBCONNECTION_DISCONNECTED); break;
    default: OsLog(OS_LOG_ERROR, "Unhandled IO Status: %d (we're going to report it as offline)", a_i32Status); break;
  }
  return OsUsbCompletionStatus(a_i32Status);
}

// One chunk: 0 with the byte count and status in the pipe, else the
// failure to submit (1) or the time-out (5).
EOSSTS COsUsbImpl::TransferChunk(PipeIo& a_pipeio, uint8_t* a_pu8Data, uint32_t a_u32Chunk, long a_lTimeout) {
  COpenUsb* p = m_popenusb;
  std::unique_lock<std::mutex> lock(a_pipeio.mutexPending);
  if (a_pipeio.blPending) {
    OsLog(OS_LOG_ERROR, "usb>>> the pipe's last request has not ended yet...%d", a_pipeio.u8Endpoint);
    return OS_STS_BUSY;
  }
  a_pipeio.request = openusb_request_handle{};
  a_pipeio.request.dev = m_openusbdevhandle;
  a_pipeio.request.interface = m_u8Interface;
  a_pipeio.request.endpoint = a_pipeio.u8Endpoint;
  a_pipeio.request.type = a_pipeio.type;
  if (a_pipeio.type == OPENUSB_TRANSFER_TYPE_INTERRUPT) {
    a_pipeio.intr = openusb_intr_request{};
    a_pipeio.intr.payload = a_pu8Data;
    a_pipeio.intr.length = a_u32Chunk;
    a_pipeio.intr.timeout = static_cast<uint32_t>(a_lTimeout);
    a_pipeio.request.req.intr = &a_pipeio.intr;
  } else {
    a_pipeio.bulk = openusb_bulk_request{};
    a_pipeio.bulk.payload = a_pu8Data;
    a_pipeio.bulk.length = a_u32Chunk;
    a_pipeio.bulk.timeout = static_cast<uint32_t>(a_lTimeout);
    a_pipeio.request.req.bulk = &a_pipeio.bulk;
  }
  a_pipeio.request.cb = TransferDone;
  a_pipeio.request.arg = &a_pipeio;
  a_pipeio.u32Done.store(0);
  a_pipeio.i32Status.store(OPENUSB_SUCCESS);
  a_pipeio.possync->EventReset();
  a_pipeio.blPending = true;
  int32_t i32 = p->openusb_xfer_aio(&a_pipeio.request);
  if (i32 != OPENUSB_SUCCESS) {
    a_pipeio.blPending = false;
    OsLog(OS_LOG_ERROR, "usb>>> openusb_xfer_aio failed: %d", i32);
    OsLog(OS_LOG_ERROR, "usb>>> %s", p->openusb_strerror ? p->openusb_strerror(i32) : "");
    return OS_STS_FAIL;
  }
  lock.unlock();
  const long lMargin = s_lTransferMargin.load();
  // Summed wide: a time-out near the largest must not wrap to a short wait.
  const uint64_t u64Wait = static_cast<uint64_t>(a_lTimeout) + static_cast<uint64_t>(lMargin);
  const uint32_t u32Wait =
      a_lTimeout > 0 && u64Wait < OS_SYNC_INFINITE ? static_cast<uint32_t>(u64Wait) : OS_SYNC_INFINITE;
  if (a_pipeio.possync->EventWait(u32Wait) == OS_STS_SUCCESS) return OS_STS_SUCCESS;
  // The library has not finished the chunk in time: take it back.
  OsLog(OS_LOG_ERROR, "usb>>> transfer not finished within its time-out, aborting...%d %ld", a_pipeio.u8Endpoint,
        a_lTimeout);
  lock.lock();
  if (a_pipeio.blPending) p->openusb_abort(&a_pipeio.request);
  lock.unlock();
  a_pipeio.possync->EventWait(static_cast<uint32_t>(lMargin));
  return OS_STS_TIMEOUT;
}

EOSSTS COsUsbImpl::Transfer(uint32_t a_eosusbpipe, uint8_t* a_pu8Data, uint64_t a_u64Data,
                            uint64_t* a_pu64Transferred) {
  PipeIo& pipeio = m_apipeio[a_eosusbpipe];
  if (!pipeio.blBound || !pipeio.possync || !m_popenusb || !m_popenusb->openusb_xfer_aio) {
    OsLog(OS_LOG_ERROR, "usb>>> unrecognized pipe...%d", static_cast<int>(a_eosusbpipe));
    return OS_STS_FAIL;
  }
  const uint64_t u64Chunk = m_blIs16KLimit              ? k16KLimit
                            : m_posusbinfo->u32MaxBulkXfer ? m_posusbinfo->u32MaxBulkXfer
                                                           : CalculateMaxChunkSize(m_posusbinfo->eosusbwire, true);
  const long lTimeout = m_alTimeout[a_eosusbpipe].load();
  uint64_t u64Done = 0;
  for (;;) {
    if (pipeio.blCancel.load()) {
      OsLog(OS_LOG_INFO, "usb>>> cancel request detected before openusb_xfer_aio call...%d",
            static_cast<int>(a_eosusbpipe));
      *a_pu64Transferred = u64Done;
      return OS_STS_USB_CANCELLED;
    }
    const uint32_t u32Chunk = static_cast<uint32_t>(a_u64Data - u64Done < u64Chunk ? a_u64Data - u64Done : u64Chunk);
    EOSSTS eossts = TransferChunk(pipeio, a_pu8Data + u64Done, u32Chunk, lTimeout);
    if (eossts != OS_STS_SUCCESS) {
      *a_pu64Transferred = u64Done;
      return eossts;
    }
    const uint32_t u32Done = pipeio.u32Done.load();
    u64Done += u32Done;
    *a_pu64Transferred = u64Done;
    if (pipeio.blCancel.load()) {
      OsLog(OS_LOG_INFO, "usb>>> cancel request detected after openusb_xfer_aio call...%d",
            static_cast<int>(a_eosusbpipe));
      return OS_STS_USB_CANCELLED;
    }
    const int32_t i32Status = pipeio.i32Status.load();
    if (i32Status != OPENUSB_SUCCESS) return Completion(i32Status);
    if (u32Done < u32Chunk || u64Done >= a_u64Data) return OS_STS_SUCCESS;
  }
}

// Ends the pipe's request under way, if there is one.
EOSSTS COsUsbImpl::Cancel(uint32_t a_eosusbpipe) {
  PipeIo& pipeio = m_apipeio[a_eosusbpipe];
  pipeio.blCancel.store(true);
  std::lock_guard<std::mutex> lock(pipeio.mutexPending);
  if (pipeio.blPending && m_popenusb && m_popenusb->openusb_abort &&
      m_popenusb->openusb_abort(&pipeio.request) != OPENUSB_SUCCESS) {
    OsLog(OS_LOG_ERROR, "usb>>> cancel io failed...");
  }
  return OS_STS_SUCCESS;
}

// Ends the interrupt request and waits until the interrupt thread says so.
EOSSTS COsUsbImpl::CancelInterrupt() {
  if (!m_posthreadInterrupt || !m_possyncInterruptCancelled) {
    OsLog(OS_LOG_ERROR, "no device to cancel...");
    return OS_STS_FAIL;
  }
  PipeIo& pipeio = m_apipeio[OS_USBPIPE_INTERRUPT];
  {
    std::lock_guard<std::mutex> lock(m_mutexInterrupt);
    m_blInterruptRequest = false;
    if (!m_blInterruptRunning.load()) return OS_STS_SUCCESS;
    pipeio.blCancel.store(true);
  }
  OsLogDebug(OS_LOG_INFO, "usb>>> waiting for the interrupt to cancel");
  // The abort is repeated: the thread may be just about to submit.
  const long lLimit = s_lTransferMargin.load();
  for (long lWaited = 0; lWaited <= lLimit; lWaited += 50) {
    Cancel(OS_USBPIPE_INTERRUPT);
    if (m_possyncInterruptCancelled->EventWait(50) == OS_STS_SUCCESS || !m_blInterruptRunning.load()) {
      return OS_STS_SUCCESS;
    }
  }
  OsLog(OS_LOG_ERROR, "usb>>> timed out waiting for the interrupt to cancel");
  return OS_STS_TIMEOUT;
}
