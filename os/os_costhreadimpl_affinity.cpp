// Processor affinity of one thread and of the process's initial thread.
// Masks cover processors 0 to 31; on a single processor every operation
// succeeds without doing anything.
#include <sched.h>
#include <unistd.h>

#include "os_coslog.h"
#include "os_costhreadimpl.h"

namespace {
constexpr int kMaskProcessors = 32;

uint64_t MaskOf(const cpu_set_t& a_cpuset) {
  uint64_t u64Mask = 0;
  for (int iProcessor = 0; iProcessor < kMaskProcessors; iProcessor++) {
    if (CPU_ISSET(iProcessor, &a_cpuset)) u64Mask |= 1ULL << iProcessor;
  }
  return u64Mask;
}

cpu_set_t SetOf(uint64_t a_u64Mask) {
  cpu_set_t cpuset;
  CPU_ZERO(&cpuset);
  for (int iProcessor = 0; iProcessor < kMaskProcessors; iProcessor++) {
    if (a_u64Mask & (1ULL << iProcessor)) CPU_SET(iProcessor, &cpuset);
  }
  return cpuset;
}
}  // namespace

std::atomic<uint64_t> COsThreadImpl::s_u64GlobalAffinityMask{0};

long COsThreadImpl::ProcessorCount() { return sysconf(_SC_NPROCESSORS_ONLN); }

uint64_t COsThreadImpl::AffinityGetMask() {
  if (ProcessorCount() < 2) return 1;
  cpu_set_t cpuset;
  CPU_ZERO(&cpuset);
  // Only a live thread of ours: id 0 would name the caller, an old id
  // perhaps somebody else.
  if (!HasLiveThread() || sched_getaffinity(static_cast<pid_t>(GetId()), sizeof cpuset, &cpuset) != 0) {
    OsLog(OS_LOG_ASSERT, "sched_getaffinity failed...");
    return 0;
  }
  uint64_t u64Mask = MaskOf(cpuset);
  m_u64AffinityMask.store(u64Mask, std::memory_order_release);
  return u64Mask;
}

EOSSTS COsThreadImpl::AffinitySetMask(uint64_t a_u64Mask) {
  if (ProcessorCount() < 2) return OS_STS_SUCCESS;
  uint64_t u64Mask = a_u64Mask != 0 ? a_u64Mask : AffinityGetMask();
  cpu_set_t cpuset = SetOf(u64Mask);
  if (!HasLiveThread() || sched_setaffinity(static_cast<pid_t>(GetId()), sizeof cpuset, &cpuset) != 0) {
    OsLog(OS_LOG_ASSERT, "sched_setaffinity failed...%d", static_cast<int>(u64Mask));
    return OS_STS_FAIL;
  }
  m_u64AffinityMask.store(u64Mask, std::memory_order_release);
  sched_yield();
  return OS_STS_SUCCESS;
}

void COsThread::AffinitySetGlobalMask(uint64_t a_u64Mask) {
  COsThreadImpl::s_u64GlobalAffinityMask.store(a_u64Mask, std::memory_order_relaxed);
}

uint64_t COsThread::AffinityGetGlobalMask() {
  return COsThreadImpl::s_u64GlobalAffinityMask.load(std::memory_order_relaxed);
}

EOSSTS COsThread::AffinitySetMaskCurrentThread(uint64_t a_u64Mask) {
  AffinitySetGlobalMask(a_u64Mask);
  if (COsThreadImpl::ProcessorCount() < 2) return OS_STS_SUCCESS;
  const pid_t pidInitial = getpid();
  uint64_t u64Mask = a_u64Mask;
  cpu_set_t cpuset;
  if (u64Mask == 0) {
    CPU_ZERO(&cpuset);
    if (sched_getaffinity(pidInitial, sizeof cpuset, &cpuset) != 0) {
      OsLog(OS_LOG_ASSERT, "sched_getaffinity failed...");
      return OS_STS_FAIL;
    }
    u64Mask = MaskOf(cpuset);
  }
  cpuset = SetOf(u64Mask);
  if (sched_setaffinity(pidInitial, sizeof cpuset, &cpuset) != 0) {
    OsLog(OS_LOG_ASSERT, "sched_setaffinity failed...%d", static_cast<int>(u64Mask));
    return OS_STS_FAIL;
  }
  sched_yield();
  return OS_STS_SUCCESS;
}
