// The database-wide lock: one recursive mutex for the process, around every
// read and write of the capability database from any thread (the task
// thread, the device engine's threads, the device libraries' callback
// threads). The datum table and its state word are process-wide, so the lock
// is too.
//
// Lock order (outermost first):
//   1. the driver's task lock (drv/), then the device-manager adapter's
//      complete-open mutex (dev/: taken with this lock given up)
//   2. this database lock
//   3. an adapter's builder mutex (dev/: the device-manager adapter's general
//      builder, then the image-library adapter's mutex)
//   4. the device-reply dispatcher's mutex (dev/)
//   5. leaf locks: image queues, the driver event table, the device status,
//      the device data's online-marker mutex
//   6. the device data's lock (dev/: the object's mutex, then the flock of
//      "data.lock"): taken with this lock given up, since it waits up to
//      10 s for other processes; this lock is never taken while it is held
// A thread that holds a lock never takes one listed above it. An operation
// whose reply is dispatched into the database takes this lock before the
// adapter's mutex.
//
// Rules:
// - Nothing waits while holding it: thread joins, library unloads (dlclose),
//   a device library's interfaceclose (it joins its callback threads), waits
//   for a device, a child process or another thread run inside a
//   CDbLockRelease scope, which gives the lock up whatever the depth and takes
//   it back to the same depth.
// - The database state word is changed atomically (CDbDatum::SetDbState and
//   ClearDbState), so a test of one bit never needs the lock.
#pragma once

class CDbLock {
 public:
  static void Lock();
  static void Unlock();
  // How deep the calling thread holds the lock (0: not at all).
  static int Depth();
};

// Holds the lock for a scope.
class CDbLockGuard {
 public:
  CDbLockGuard() { CDbLock::Lock(); }
  ~CDbLockGuard() { CDbLock::Unlock(); }
  CDbLockGuard(const CDbLockGuard&) = delete;
  CDbLockGuard& operator=(const CDbLockGuard&) = delete;
};

// Gives the lock up entirely for a scope (a wait), then takes it back to the
// depth the thread held before. Does nothing for a thread not holding it.
class CDbLockRelease {
 public:
  CDbLockRelease();
  ~CDbLockRelease();
  CDbLockRelease(const CDbLockRelease&) = delete;
  CDbLockRelease& operator=(const CDbLockRelease&) = delete;

 private:
  int m_iDepth;
};
