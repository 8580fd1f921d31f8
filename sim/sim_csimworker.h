// The simulated scanner's own thread: every callback into the device engine
// runs on it, never on a caller's thread. A job posted during a ScannerEntry
// call waits until that call has returned (and until its due time), so a
// caller always holds the reply before the callback it announces comes in.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "os_costhread.h"

class CSimWorker {
 public:
  CSimWorker() = default;
  ~CSimWorker();
  CSimWorker(const CSimWorker&) = delete;
  CSimWorker& operator=(const CSimWorker&) = delete;

  // Starts the thread unless it runs; false when it cannot.
  bool Start();
  // Runs a_pfnJob on the thread once a_i64DueMs (NowMs) has come and the
  // calling thread's current ScannerEntry call has returned.
  void Post(int64_t a_i64DueMs, std::function<void()> a_pfnJob);
  // Drops the waiting jobs, waits for a running one to return and ends the
  // thread. Called on the thread itself (from inside a job) it only drops
  // the jobs and lets the thread end after that job.
  void Stop();
  bool IsWorkerThread() const;

  // Brackets every ScannerEntry call of the calling thread.
  static void CallBegin();
  static void CallEnd();
  static int64_t NowMs();

  // What the thread knows of a calling thread (defined with the thread).
  struct SimCaller;

 private:
  struct SimJob {
    int64_t i64DueMs;
    uint64_t u64Order;
    std::shared_ptr<SimCaller> psimcaller;
    uint64_t u64Call;
    std::function<void()> pfnJob;
  };

  static void* Proc(void* a_pvThread);
  void Run();
  void Join();
  bool Runnable(const SimJob& a_simjob) const;

  std::mutex m_mutexLife;  // one Start or Stop at a time
  std::mutex m_mutex;      // the jobs and flags
  std::condition_variable m_cv;
  std::vector<SimJob> m_vsimjob;
  uint64_t m_u64Order = 0;
  bool m_blStop = false;
  bool m_blStarted = false;  // the thread was started and not yet joined
  std::atomic<uint64_t> m_u64ThreadId{0};
  COsThread m_osthread;
};
