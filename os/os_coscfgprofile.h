// The ini-file engine behind COsCfg::Profile...: up to eight files are kept
// in memory as images (each line ended by a zero byte, the run ended by an
// empty line) and written back on flush. One spin lock guards every slot and
// image; each operation holds it for its whole run.
//
// Several processes may change one file: a change and a flush take the
// file's lock, read the file again when another writer has been at it and
// put their own unwritten changes back on top, so no process's keys are
// lost; a flush replaces the file whole (written beside it, flushed to disk,
// renamed over it), so a crash leaves the old file or the new one.
#pragma once

#include <cstddef>

#include "os_def.h"

class COsCfgProfile {
 public:
  static constexpr int kSlots = 8;
  // Most bytes read from a file, and most text an image holds.
  static constexpr size_t kFileBytes = 131072;

  // The mode argument is the permission set given to every file written
  // (also by the flushes that free slots for a new file).
  static EOSSTS Get(const char* a_szFile, const char* a_szSection, const char* a_szKey, char* a_szValue,
                    size_t a_sizetValue, unsigned a_uMode);
  static EOSSTS Set(const char* a_szFile, const char* a_szSection, const char* a_szKey, const char* a_szValue,
                    unsigned a_uMode);
  static EOSSTS Delete(const char* a_szFile, const char* a_szSection, const char* a_szKey, unsigned a_uMode);
  // 0 only when every change since the last flush is in the file: a change
  // refused since then fails it too. 4 when another process keeps the file
  // locked beyond the lock limit, 258 when it cannot be written there, 259
  // for a failed write; the file is then as it was and the changes wait.
  static EOSSTS Flush(const char* a_szFile, unsigned a_uMode);
  // Writes the contents of a_szFrom, with its unwritten changes, as a_szTo
  // and keeps a_szTo cached.
  static EOSSTS Copy(const char* a_szFrom, const char* a_szTo, unsigned a_uMode);
  // Service stop: writes every dirty image, then empties the cache.
  static void Shutdown(unsigned a_uMode);
  // Whether a file holds a slot now (paths compare exactly).
  static bool IsCached(const char* a_szFile);
  // The longest wait for a file that another process holds locked (a
  // negative time restores the default of 5000 ms), so tests stay short.
  static void SetLockWait(long a_lMilliseconds);
};
