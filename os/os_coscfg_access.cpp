// Permission changes of one file, usable before and after the store exists.
#include <sys/stat.h>

#include "os_coscfg.h"
#include "os_coslog.h"

// The owner and group bits an access adds and removes; the others are kept.
// chmod is not subject to the creation mask, so the mask is never touched.
EOSSTS COsCfg::SetAccess(const char* a_szFile, int a_eosfileaccess) {
  static const struct {
    mode_t modetAdd;
    mode_t modetRemove;
  } s_aaccess[] = {{0440, 0220}, {0220, 0440}, {0660, 0}, {0110, 0}};
  struct stat st;
  if (!a_szFile || stat(a_szFile, &st) != 0) {
    OsLogDebug(OS_LOG_INFO, "file not found...<%s>", a_szFile ? a_szFile : "(null)");
    return OS_STS_FAIL;
  }
  if (a_eosfileaccess < 1 || a_eosfileaccess > 4) {
    OsLog(OS_LOG_ASSERT, "unrecognized a_eosfileaccess...%d", a_eosfileaccess);
    return OS_STS_FAIL;
  }
  const auto& access = s_aaccess[a_eosfileaccess - 1];
  const mode_t modet = ((st.st_mode & 07777) | access.modetAdd) & ~access.modetRemove;
  if (chmod(a_szFile, modet) != 0) {
    OsLogDebug(OS_LOG_INFO, "chmod failed...<%s>", a_szFile);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}
