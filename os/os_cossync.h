// Locks and events: spin words for short critical sections, and event and
// mutex objects that work between threads and between processes. A named
// object lives in a small memory-mapped file in the common directory, so
// every process that opens the name shares one process-shared mutex, one
// condition and one registry of the objects that use them; several events
// may share one file (a group), so that one waiter learns which one fired.
#pragma once

#include <cstddef>
#include <cstdint>

#include "os_def.h"

enum EOSSYNCMODE : uint32_t {
  OS_SYNCMODE_UNDEFINED = 0,
  OS_SYNCMODE_CREATE = 1,
  OS_SYNCMODE_OPEN = 2,
  OS_SYNCMODE_LAST = 3,
};

enum EOSSYNCSTRUCT : uint32_t {
  OS_SYNCSTRUCT_UNDEFINED = 0,
  OS_SYNCSTRUCT_UNNAMED = 1,
  OS_SYNCSTRUCT_NAMED = 2,
  OS_SYNCSTRUCT_GROUP = 3,
  OS_SYNCSTRUCT_LAST = 4,
};

enum EOSSYNCTYPE : uint32_t {
  OS_SYNCTYPE_UNDEFINED = 0,
  OS_SYNCTYPE_EVENT = 1,
  OS_SYNCTYPE_MUTEX = 2,
  OS_SYNCTYPE_LAST = 3,
};

enum EOSSYNCLOCKMANAGER : uint32_t {
  OS_SYNCLOCKMANAGER_CLAIM = 1,
  OS_SYNCLOCKMANAGER_RELEASE = 2,
};

// A wait with this time-out lasts up to 365 days.
inline constexpr uint32_t OS_SYNC_INFINITE = 0xFFFFFFFFu;

class COsSyncImpl;

class COsSync {
 public:
  COsSync();
  ~COsSync();
  COsSync(const COsSync&) = delete;
  COsSync& operator=(const COsSync&) = delete;

  // A spin word is a pointer-sized word: 0 free, 1 taken. Neither fair nor
  // re-entrant.
  static void SpinLock(void volatile** a_ppvWord);
  static EOSSTS SpinLockNoWait(void volatile** a_ppvWord);  // 0 taken, 4 busy
  static void SpinUnlock(void volatile** a_ppvWord);

  // Create: name and group may be null (an unnamed event is private to the
  // process); a_blFresh removes an existing named file first.
  EOSSTS EventCreate(const char* a_szName, const char* a_szGroup, bool a_blFresh);
  // A named event whose file this call makes; 261 when the name is taken
  // (by a live object or anything else), which is then left alone.
  EOSSTS EventCreateNew(const char* a_szName);
  EOSSTS MutexCreate(const char* a_szName, const char* a_szGroup);
  EOSSTS EventOpen(const char* a_szName);
  EOSSTS MutexOpen(const char* a_szName);

  // 0 signalled (the name that fired goes to the buffer when one is given),
  // 5 time-out, 13 watched process ended, 1 failure.
  EOSSTS EventWait(uint32_t a_u32Milliseconds, char* a_szName = nullptr, size_t a_sizetName = 0);
  EOSSTS MutexClaim(uint32_t a_u32Milliseconds, char* a_szName = nullptr, size_t a_sizetName = 0);
  EOSSTS EventSet();
  void EventReset();
  void MutexRelease(const char* a_szName);
  void EventClose();
  void MutexClose();
  // Waits end with 13 once this process has ended; pid 0 stops watching.
  EOSSTS EventIncludeProcessId(uint64_t a_u64ProcessId, uint64_t a_u64ThreadId);
  EOSSTS MutexIncludeProcessId(uint64_t a_u64ProcessId, uint64_t a_u64ThreadId);

  EOSSTS SimpleEventOpen(const char* a_szName, bool a_blCreate);
  EOSSTS SimpleEventWait(uint32_t a_u32Milliseconds);
  void SimpleEventSet();
  void SimpleEventReset();
  void SimpleEventClose();

  EOSSYNCTYPE GetType();
  EOSSTS GetName(char* a_szName, size_t a_sizetName);
  EOSSTS GetGroup(char* a_szGroup, size_t a_sizetGroup);
  void* EventGetNativeHandle();

  // Diagnostic files in the log directory.
  void Dump();
  void DumpShare(const char* a_szLabel);

  // The directory of the object files while the configuration names no
  // RootCommonDirectory (default: "$TMPDIR/scandrv-common", else under /tmp).
  // Null or empty restores the default.
  static void SetFallbackDirectory(const char* a_szDirectory);
  // Removes the event files of the common directory whose users have all
  // ended (killed processes never close theirs); events in use stay.
  static void RemoveStaleEvents();

 private:
  COsSyncImpl* m_possyncimpl;
};
