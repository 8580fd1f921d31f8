// Threads and child processes. For now: the thread and process ids and
// whether a thread still runs.
#pragma once

#include <cstdint>

#include "os_def.h"

class COsThread {
 public:
  static uint64_t GetThreadId();   // the caller's kernel thread id
  static uint64_t GetProcessId();
  static bool IsThreadRunning(uint64_t a_u64ThreadId);
  // True when the id names a live thread of this very process (a thread id
  // of another process, or of the parent after a fork, is not one).
  static bool IsOwnThreadRunning(uint64_t a_u64ThreadId);
  // 6 when the effective user is root, else 4; computed once.
  static int GetProcessIntegrity();
};
