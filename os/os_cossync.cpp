#include "os_cossync.h"

#include <sched.h>

namespace {
void volatile* const kFree = nullptr;
void volatile* const kTaken = reinterpret_cast<void volatile*>(1);

bool TryTake(void volatile** a_ppvWord) {
  void volatile* expected = kFree;
  return __atomic_compare_exchange_n(a_ppvWord, &expected, kTaken, false, __ATOMIC_ACQUIRE, __ATOMIC_RELAXED);
}
}  // namespace

void COsSync::SpinLock(void volatile** a_ppvWord) {
  if (!a_ppvWord) return;
  while (!TryTake(a_ppvWord)) sched_yield();
}

EOSSTS COsSync::SpinLockNoWait(void volatile** a_ppvWord) {
  if (!a_ppvWord) return OS_STS_BAD_ARGUMENT;
  return TryTake(a_ppvWord) ? OS_STS_SUCCESS : OS_STS_BUSY;
}

void COsSync::SpinUnlock(void volatile** a_ppvWord) {
  if (!a_ppvWord) return;
  __atomic_store_n(a_ppvWord, kFree, __ATOMIC_RELEASE);
}
