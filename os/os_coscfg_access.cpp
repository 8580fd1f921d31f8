// Permission changes of one file, usable before and after the store exists.
#include <sys/stat.h>

#include "os_coscfg.h"
#include "os_cosfileimpl.h"
#include "os_coslog.h"

// The owner and group bits an access adds and removes; the others are kept.
// chmod is not subject to the creation mask, so the mask is never touched.
bool COsFileImpl::AccessMode(mode_t a_modetCurrent, int a_eosfileaccess, mode_t* a_pmodet) {
  static const struct {
    mode_t modetAdd;
    mode_t modetRemove;
  } s_aaccess[] = {{0440, 0220}, {0220, 0440}, {0660, 0}, {0110, 0}};
  if (a_eosfileaccess < 1 || a_eosfileaccess > 4) return false;
  const auto& access = s_aaccess[a_eosfileaccess - 1];
  *a_pmodet = ((a_modetCurrent & 07777) | access.modetAdd) & ~access.modetRemove;
  return true;
}

EOSSTS COsCfg::SetAccess(const char* a_szFile, int a_eosfileaccess) {
  struct stat st;
  if (!a_szFile || stat(a_szFile, &st) != 0) {
    OsLogDebug(OS_LOG_INFO, "file not found...<%s>", a_szFile ? a_szFile : "(null)");
    return OS_STS_FAIL;
  }
  mode_t modet = 0;
  if (!COsFileImpl::AccessMode(st.st_mode, a_eosfileaccess, &modet)) {
    OsLog(OS_LOG_ASSERT, "unrecognized a_eosfileaccess...%d", a_eosfileaccess);
    return OS_STS_FAIL;
  }
  if (chmod(a_szFile, modet) != 0) {
    OsLogDebug(OS_LOG_INFO, "chmod failed...<%s>", a_szFile);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}
