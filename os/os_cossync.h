// Locks and events. For now: the spin words that guard short critical
// sections (log slots and line buffer, ini cache, memory tracking table).
#pragma once

#include "os_def.h"

class COsSync {
 public:
  // A spin word is a pointer-sized word: 0 free, 1 taken.
  static void SpinLock(void volatile** a_ppvWord);
  static EOSSTS SpinLockNoWait(void volatile** a_ppvWord);
  static void SpinUnlock(void volatile** a_ppvWord);
};
