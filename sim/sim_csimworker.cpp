// The simulated scanner's callback thread.
#include "sim_csimworker.h"

#include <algorithm>
#include <atomic>
#include <chrono>

#include "os_coslog.h"

// What the thread knows of a caller: how deep it is in ScannerEntry calls
// and how many it has begun, so that a job can wait for the end of the very
// call that posted it (and not for later ones).
struct CSimWorker::SimCaller {
  std::atomic<int> iDepth{0};
  std::atomic<uint64_t> u64Calls{0};
};

namespace {
thread_local std::shared_ptr<CSimWorker::SimCaller> t_psimcaller;
}  // namespace

CSimWorker::~CSimWorker() { Stop(); }

int64_t CSimWorker::NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void CSimWorker::CallBegin() {
  if (!t_psimcaller) t_psimcaller = std::make_shared<SimCaller>();
  t_psimcaller->u64Calls.fetch_add(1, std::memory_order_acq_rel);
  t_psimcaller->iDepth.fetch_add(1, std::memory_order_acq_rel);
}

void CSimWorker::CallEnd() {
  if (t_psimcaller) t_psimcaller->iDepth.fetch_sub(1, std::memory_order_acq_rel);
}

bool CSimWorker::IsWorkerThread() const {
  return m_u64ThreadId.load(std::memory_order_acquire) == COsThread::GetThreadId();
}

bool CSimWorker::Start() {
  if (IsWorkerThread()) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_blStarted && !m_blStop;
  }
  std::lock_guard<std::mutex> lockLife(m_mutexLife);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_blStarted && !m_blStop) return true;
  }
  // The last thread was told to stop from inside a job: it ends by itself.
  if (m_blStarted) Join();
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_blStop = false;
    m_vsimjob.clear();
  }
  if (m_osthread.Start("SimScanner", Proc, this) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "simscan>>> the scanner thread did not start...");
    return false;
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  m_blStarted = true;
  return true;
}

void CSimWorker::Post(int64_t a_i64DueMs, std::function<void()> a_pfnJob) {
  if (!t_psimcaller) t_psimcaller = std::make_shared<SimCaller>();
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!m_blStarted || m_blStop) return;
  m_vsimjob.push_back(SimJob{a_i64DueMs, m_u64Order++, t_psimcaller,
                             t_psimcaller->u64Calls.load(std::memory_order_acquire), std::move(a_pfnJob)});
  m_cv.notify_all();
}

void CSimWorker::Stop() {
  const bool blSelf = IsWorkerThread();
  std::unique_lock<std::mutex> lockLife(m_mutexLife, std::defer_lock);
  // From inside a job the life lock may be held by a caller waiting for this
  // very thread: take it only from other threads.
  if (!blSelf) lockLife.lock();
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_blStarted) return;
    m_blStop = true;
    m_vsimjob.clear();
    m_cv.notify_all();
  }
  if (!blSelf) Join();
}

// Waits for the thread to end (after its running job, if any).
void CSimWorker::Join() {
  m_osthread.ThreadWait(-1);
  std::lock_guard<std::mutex> lock(m_mutex);
  m_blStarted = false;
  m_u64ThreadId.store(0, std::memory_order_release);
}

void* CSimWorker::Proc(void* a_pvThread) {
  static_cast<CSimWorker*>(static_cast<COsThread*>(a_pvThread)->GetArg())->Run();
  return nullptr;
}

bool CSimWorker::Runnable(const SimJob& a_simjob) const {
  const SimCaller& simcaller = *a_simjob.psimcaller;
  return simcaller.iDepth.load(std::memory_order_acquire) == 0 ||
         simcaller.u64Calls.load(std::memory_order_acquire) != a_simjob.u64Call;
}

void CSimWorker::Run() {
  m_u64ThreadId.store(COsThread::GetThreadId(), std::memory_order_release);
  std::unique_lock<std::mutex> lock(m_mutex);
  while (!m_blStop) {
    if (m_vsimjob.empty()) {
      m_cv.wait(lock);
      continue;
    }
    auto itNext = std::min_element(m_vsimjob.begin(), m_vsimjob.end(), [](const SimJob& a, const SimJob& b) {
      return a.i64DueMs != b.i64DueMs ? a.i64DueMs < b.i64DueMs : a.u64Order < b.u64Order;
    });
    const int64_t i64Wait = itNext->i64DueMs - NowMs();
    if (i64Wait > 0) {
      m_cv.wait_for(lock, std::chrono::milliseconds(i64Wait));
      continue;
    }
    if (!Runnable(*itNext)) {
      // The call that posted it has not returned yet: it will in a moment.
      m_cv.wait_for(lock, std::chrono::milliseconds(1));
      continue;
    }
    std::function<void()> pfnJob = std::move(itNext->pfnJob);
    m_vsimjob.erase(itNext);
    lock.unlock();
    pfnJob();
    lock.lock();
  }
}
