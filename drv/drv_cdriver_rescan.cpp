// The flatbed rescan: when the feeder ran empty without an image, the scan
// is started again on the flatbed by a thread of its own, once per scan.
//
// The device engine asks for it from its scan thread while the front end
// may be inside a task, so the rescan thread runs only under the driver's
// task lock. It tries for that lock in short steps and gives up as soon as
// the scan is ended (ScanEnd(true) raises its stop flag, then joins it):
// a scanend waiting to join it holds the lock it would wait for. It has no
// task to answer: a scan that cannot start goes into the application's
// queue as its status, which the next getoutput answers.
#include <chrono>
#include <mutex>
#include <thread>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "drv_cdriver.h"
#include "drv_cdrvgui.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_costhread.h"

namespace {

// One try for the task lock (about 50 ms, in short steps), and the longest
// join of the thread (its ScanEnd may wait for the engine's scan thread).
constexpr int s_iTaskLockSteps = 10;
constexpr std::chrono::milliseconds s_msTaskLockStep{5};
constexpr long s_lRescanJoinMs = 60000;

// The task lock taken within one try; false when a task kept it.
bool TryTaskLock(std::recursive_mutex& a_recursivemutex) {
  for (int iStep = 0; iStep < s_iTaskLockSteps; ++iStep) {
    if (a_recursivemutex.try_lock()) return true;
    std::this_thread::sleep_for(s_msTaskLockStep);
  }
  return false;
}

// Capability values the rescan test reads.
constexpr long s_lPaperSourceFeeder = 1;
constexpr long s_lInputDocumentFlatbedOnly = 3;

}  // namespace

bool CDriver::NeedRescanFromFlatbed() {
  if (!m_pdatabase) return false;
  if (m_pdatabase->TestDbState(DB_STATE_FLATBEDSCAN) || m_pdatabase->TestDbState(DB_STATE_LEARNSCAN) || GotImage())
    return false;
  {
    CDbLockGuard dblockguard;
    if (!m_pdatabase->ConfigExists("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON) ||
        m_pdatabase->ConfigExists("paperdetectable", DB_CONFIGTARGET_COMMON) ||
        m_pdatabase->GetCurrentLongFromId(DB_ID_PAPERSOURCE) != s_lPaperSourceFeeder ||
        m_pdatabase->GetCurrentLongFromId(DB_ID_INPUTDOCUMENT) == s_lInputDocumentFlatbedOnly)
      return false;
  }
  if (m_pdev) {
    CDbLockRelease dblockrelease;
    if (m_pdev->IsDiscardBlankImage()) return false;
  }
  return !m_pdatabase->TestDbState(DB_STATE_ECDOCUSTOMLEARN);
}

EOSSTS CDriver::AdfToFlatbedProc(void* a_pvDriver) {
  if (!a_pvDriver) {
    OsLog(OS_LOG_ERROR, "AdfToFlatbed null arg...");
    return OS_STS_FAIL;
  }
  return static_cast<CDriver*>(a_pvDriver)->ScanBeginAdfToFlatbed();
}

EOSSTS CDriver::ScanBeginAdfToFlatbed() {
  std::lock_guard<std::mutex> lock(m_mutexRescan);
  if (m_posthreadAdfToFlatbed || m_blStopRescan.load()) {
    OsLogDebug(OS_LOG_INFO, "AdfToFlatbed: no rescan in this scan...");
    return OS_STS_SUCCESS;
  }
  m_posthreadAdfToFlatbed = OsMemNew(COsThread);
  if (!m_posthreadAdfToFlatbed) {
    OsLog(OS_LOG_ERROR, "OsMemNew failed...");
    return OS_STS_FAIL;
  }
  const EOSSTS eossts = m_posthreadAdfToFlatbed->Start("AdfToFlatbed", OsThreadProcScanBeginAdfToFlatbed, this);
  if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "AdfToFlatbed thread failed to start...%d", static_cast<int>(eossts));
  return eossts;
}

void* CDriver::OsThreadProcScanBeginAdfToFlatbed(void* a_pvThread) {
  static_cast<CDriver*>(static_cast<COsThread*>(a_pvThread)->GetArg())->RescanFromFlatbed();
  return nullptr;
}

void CDriver::RescanFromFlatbed() {
  while (!m_blStopRescan.load()) {
    if (!TryTaskLock(TaskMutex())) continue;
    std::lock_guard<std::recursive_mutex> lock(TaskMutex(), std::adopt_lock);
    if (m_blStopRescan.load()) break;
    OsLogDebug(OS_LOG_INFO, "AdfToFlatbed: rescan from the flatbed...");
    ScanEnd(false);
    const EDEVSTS edevsts = StartScan(DRV_SCANTYPE_NORMAL, false);
    if (edevsts != DEV_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "AdfToFlatbed: ScanBegin failed...%d", static_cast<int>(edevsts));
      GuiMessage(DRV_GUIACTION_SETSTATE, GUI_STATE_SCANENDED, 0, nullptr, 0);
      ImageQueuePush(true, edevsts, nullptr);
    }
    break;
  }
}

// The thread object stays until the scan ends, so that a scan rescans once;
// from then until the next scan begins no rescan starts.
void CDriver::AllowRescan() {
  std::lock_guard<std::mutex> lock(m_mutexRescan);
  m_blStopRescan.store(false);
}

void CDriver::StopRescanThread() {
  COsThread* posthread;
  {
    std::lock_guard<std::mutex> lock(m_mutexRescan);
    posthread = m_posthreadAdfToFlatbed;
    m_posthreadAdfToFlatbed = nullptr;
    m_blStopRescan.store(true);
  }
  if (!posthread) return;
  {
    CDbLockRelease dblockrelease;
    posthread->Stop(true, s_lRescanJoinMs);
  }
  OsMemDelete(posthread);
}
