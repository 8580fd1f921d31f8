// Threads and child processes. For now: the thread and process ids and
// whether a thread or a process still runs.
#pragma once

#include <cstdint>

#include "os_def.h"

class COsThread {
 public:
  static uint64_t GetThreadId();   // the caller's kernel thread id
  static uint64_t GetProcessId();
  static bool IsThreadRunning(uint64_t a_u64ThreadId);
  // Whether the process runs. A child of this process that has ended gives
  // a_blEndedCounts; it is examined without being reaped, so whoever follows
  // the child still gets its exit status. Any other process counts as running
  // while it exists and is not a zombie.
  static bool IsProcessRunning(uint64_t a_u64ProcessId, bool a_blEndedCounts);
  // True when the id names a live thread of this very process (a thread id
  // of another process, or of the parent after a fork, is not one).
  static bool IsOwnThreadRunning(uint64_t a_u64ThreadId);
  // 6 when the effective user is root, else 4; computed once.
  static int GetProcessIntegrity();
};
