// Replies to the GUI are composed from the database under its lock; a
// reply that cannot get its memory is not sent half-built.
#pragma once

#include <new>

#include "db_cdblock.h"
#include "os_coslog.h"

// Runs a_fn under the database lock; false (logged) when memory ran out.
template <typename FN>
bool DrvGuiComposeLocked(FN a_fn) {
  try {
    CDbLockGuard dblockguard;
    a_fn();
    return true;
  } catch (const std::bad_alloc&) {
    OsLog(OS_LOG_ERROR, "OsMemNew failed...");
    return false;
  }
}
