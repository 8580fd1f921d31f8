#include "os_costhread.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

uint64_t COsThread::GetThreadId() { return static_cast<uint64_t>(syscall(SYS_gettid)); }

uint64_t COsThread::GetProcessId() { return static_cast<uint64_t>(getpid()); }

bool COsThread::IsThreadRunning(uint64_t a_u64ThreadId) {
  // Signal 0 tests whether the id names a live process or thread.
  int iSaved = errno;
  bool blRunning = a_u64ThreadId != 0 && kill(static_cast<pid_t>(a_u64ThreadId), 0) == 0;
  errno = iSaved;
  return blRunning;
}

bool COsThread::IsOwnThreadRunning(uint64_t a_u64ThreadId) {
  int iSaved = errno;
  bool blRunning = a_u64ThreadId != 0 && syscall(SYS_tgkill, getpid(), static_cast<pid_t>(a_u64ThreadId), 0) == 0;
  errno = iSaved;
  return blRunning;
}

int COsThread::GetProcessIntegrity() {
  static const int s_iIntegrity = geteuid() == 0 ? 6 : 4;
  return s_iIntegrity;
}
