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
};
