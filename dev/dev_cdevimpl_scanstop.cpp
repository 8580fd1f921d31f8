// Stopping and ending a scan, the scan thread's command and event, the
// callbacks a caller registers for it and the small queries of a scan.
//
// ScanEnd runs under one process-wide mutex, so that two never overlap, and
// with the database lock given up: it joins a thread that takes that lock at
// its end. A thread that does not end within the stop wait is never
// abandoned: its object, the queues and the adapters it uses stay alive,
// the device is asked to stop again and the join goes on, so nothing is
// freed under a running thread.
#include <chrono>
#include <mutex>
#include <thread>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "dev_cdevdata.h"
#include "dev_cdevdevice.h"
#include "dev_cdevimpl.h"
#include "dev_cdevnexil.h"
#include "dev_cimgqueue.h"
#include "dev_waits.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_costhread.h"

namespace {

std::mutex s_mutexScanEnd;
constexpr long s_lStartStepMs = 10;

// Waits, in small steps, until the thread has started or the limit passed.
void WaitStarted(const std::atomic<bool>& a_blStarted, long a_lLimitMs) {
  for (long l = 0; !a_blStarted.load() && l < a_lLimitMs; l += s_lStartStepMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(s_lStartStepMs));
  }
}

}  // namespace

bool CDevImpl::ScanIsScanning() {
  std::lock_guard<std::mutex> lock(m_mutexScanThread);
  return m_posthreadScan != nullptr;
}

EOSSTS CDevImpl::ScanThreadSetCommand(EOSTHREADCMD a_eosthreadcmd) {
  std::lock_guard<std::mutex> lock(m_mutexScanThread);
  if (!m_posthreadScan) return OS_STS_SUCCESS;
  return m_posthreadScan->SetCommand(a_eosthreadcmd, true);
}

void CDevImpl::ScanThreadSetEvent() {
  std::lock_guard<std::mutex> lock(m_mutexScanThread);
  if (m_posthreadScan) m_posthreadScan->SetEvent(1);
}

EOSSTS CDevImpl::ScanRequestStop(EDEVSTOPACTION a_edevstopaction) {
  OsLogDebug(OS_LOG_INFO, "ScanRequestStop(%d)", static_cast<int>(a_edevstopaction));
  if (!ScanIsScanning()) return static_cast<EOSSTS>(DEV_STS_CANCEL);
  {
    CDbLockRelease dblockrelease;
    WaitStarted(m_scanstate.blThreadStarted, DevWaitLimit(DEV_WAIT_SCANSTOPSTART));
  }
  switch (a_edevstopaction) {
    case DEV_STOPACTION_CANCEL:
    case DEV_STOPACTION_DISCONNECTED:
      m_scanstate.edevstsStop.store(a_edevstopaction == DEV_STOPACTION_CANCEL ? DEV_STS_CANCEL
                                                                               : DEV_STS_DISCONNECTED);
      ScanThreadSetCommand(OS_THREADCMD_HALT);
      return OS_STS_SUCCESS;
    case DEV_STOPACTION_REQUEST:
      if (pod.m_pdevdevice) pod.m_pdevdevice->ScanRequestStop(m_scanstate.edbidfirmwareUnit.load());
      m_scanstate.blStopRequested.store(true);
      m_scanstate.edevstsStop.store(DEV_STS_CANCEL);
      ScanThreadSetEvent();
      return OS_STS_SUCCESS;
    default:
      OsLog(OS_LOG_ERROR, "Unrecognized a_escnstopaction...%d", static_cast<int>(a_edevstopaction));
      m_scanstate.edevstsStop.store(DEV_STS_CANCEL);
      return static_cast<EOSSTS>(DEV_STS_BADARG);
  }
}

// A scan named by its serial is still the current one under the end's
// mutex: another scan begins only once this one has been ended.
void CDevImpl::ScanEnd(uint64_t a_u64Scan) {
  CDbLockRelease dblockrelease;
  bool blStopped = false;
  const EDBID_FIRMWARE edbidfirmware = m_scanstate.edbidfirmwareUnit.load();
  {
    std::lock_guard<std::mutex> lockEnd(s_mutexScanEnd);
    if (a_u64Scan != 0 && ScanSerial() != a_u64Scan) {
      OsLog(OS_LOG_INFO, "ScanEnd: scan %llu is over already...", static_cast<unsigned long long>(a_u64Scan));
      return;
    }
    COsThread* posthread = nullptr;
    if (ScanIsScanning()) {
      WaitStarted(m_scanstate.blThreadStarted, DevWaitLimit(DEV_WAIT_SCANENDSTART));
      std::lock_guard<std::mutex> lock(m_mutexScanThread);
      posthread = m_posthreadScan;
      m_posthreadScan = nullptr;
    }
    if (posthread) {
      blStopped = true;
      m_scanstate.edevstsStop.store(DEV_STS_CANCEL);
      posthread->SetCommand(OS_THREADCMD_HALT, true);
      m_scanstate.lJoinRounds.store(0);
      while (posthread->ThreadWait(DevWaitLimit(DEV_WAIT_SCANTHREADSTOP)) == OS_STS_TIMEOUT) {
        // Freeing what the thread still uses would crash the caller later:
        // the device is told again and the join goes on.
        const long lRound = m_scanstate.lJoinRounds.fetch_add(1) + 1;
        OsLog(OS_LOG_ERROR, "ScanEnd: the scan thread is still running (round %ld, last step <%s>), stopping again...",
              lRound, m_scanstate.pszStep.load());
        if (pod.m_pdevdevice) pod.m_pdevdevice->ScanRequestStop(edbidfirmware);
        posthread->SetCommand(OS_THREADCMD_HALT, true);
        posthread->SetEvent(1);
      }
      OsMemDelete(posthread);
    }
    m_scanstate.blThreadStarted.store(false);
    if (m_scanstate.blNotifyOtherUnit && pod.m_pdevdevice) {
      pod.m_pdevdevice->ScanEnd(edbidfirmware == DB_FIRMWARE_FLATBED ? DB_FIRMWARE_ADF : DB_FIRMWARE_FLATBED, true,
                                false);
    }
    if (pod.m_pdevdevice) pod.m_pdevdevice->ScanEnd(edbidfirmware, blStopped, false);
    if (pod.m_pdevnexil) pod.m_pdevnexil->ScanEnd(edbidfirmware, blStopped);
    m_scanstate.lImagesRemaining.store(0);
    std::lock_guard<std::mutex> lock(m_mutexScanSerial);
    // The ended scan's caller takes nothing more, nor anything of the next.
    if (blStopped) {
      ScanNewSerialLocked();
    } else {
      ScanResetQueuesLocked();
    }
  }
  if (!blStopped || !pod.m_pdatabase) return;
  CDbLockGuard dblockguard;
  if (pod.m_pdatabase->IsIdSupported(DB_ID_IMAGEADDRESS)) {
    const char* szText = pod.m_pdatabase->GetCurrentStringNoCallback(DB_ID_IMAGEADDRESSSCANNER);
    OsLog(OS_LOG_INFO, "DB_ID_IMAGEADDRESSSCANNER...%s", szText ? szText : "");
  }
  if (pod.m_pdevdata) pod.m_pdevdata->UpdateDeviceXml(edbidfirmware, pod.m_pdatabase, pod.m_pdev);
}

long CDevImpl::ScanImageCountRemaining() {
  const long l = m_scanstate.lImagesRemaining.load();
  return l < 0 ? -1 : l;
}

bool CDevImpl::ScanIsDiscardBlankImage() { return m_scanstate.blBlankDiscarded.load(); }

EOSSTS CDevImpl::ScanRegisterFirstImageCallback(EOSSTS (*a_pfnCallback)(void*), void* a_pvArgument) {
  m_scanstate.pvFirstImage.store(a_pvArgument);
  m_scanstate.pfnFirstImage.store(a_pfnCallback);
  return OS_STS_SUCCESS;
}

EOSSTS CDevImpl::ScanRegisterImageAvailableCallback(EOSSTS (*a_pfnCallback)(void*), void* a_pvArgument) {
  m_scanstate.pvImageAvailable.store(a_pvArgument);
  m_scanstate.pfnImageAvailable.store(a_pfnCallback);
  return OS_STS_SUCCESS;
}
