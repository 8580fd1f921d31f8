// The database-wide lock (rules and order in the header).
#include "db_cdblock.h"

#include <mutex>

namespace {
std::recursive_mutex& Mutex() {
  // Never destroyed: threads may still take it while the process exits.
  static std::recursive_mutex* s_pmutex = new std::recursive_mutex;
  return *s_pmutex;
}
thread_local int t_iDepth = 0;
}  // namespace

void CDbLock::Lock() {
  Mutex().lock();
  ++t_iDepth;
}

void CDbLock::Unlock() {
  if (t_iDepth <= 0) return;  // not held by this thread: nothing to give up
  --t_iDepth;
  Mutex().unlock();
}

int CDbLock::Depth() { return t_iDepth; }

CDbLockRelease::CDbLockRelease() : m_iDepth(t_iDepth) {
  for (int i = 0; i < m_iDepth; ++i) CDbLock::Unlock();
}

CDbLockRelease::~CDbLockRelease() {
  for (int i = 0; i < m_iDepth; ++i) CDbLock::Lock();
}
