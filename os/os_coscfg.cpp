#include "os_coscfg.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "os_coslog.h"

COsCfg* g_poscfg = nullptr;

extern "C" void g_oscfglocatorfunction() {}

namespace {
char* s_pszThrowAway = nullptr;
}

COsCfg::COsCfg() : m_poscfgimpl(nullptr) {}
COsCfg::~COsCfg() {}

const char* COsCfg::Get(unsigned, unsigned) { return ""; }
const char* COsCfg::Get(const char*, const char*) { return ""; }
EOSSTS COsCfg::Set(unsigned, unsigned, const char*) { return OS_STS_FAIL; }
char** COsCfg::GetThrowAwayPointer() { return &s_pszThrowAway; }

long OsCfgGetLong(unsigned a_uSection, unsigned a_uTag, long a_lDefault) {
  if (!g_poscfg) return a_lDefault;
  const char* szValue = g_poscfg->Get(a_uSection, a_uTag);
  if (!szValue || !*szValue) return a_lDefault;
  return std::strtol(szValue, g_poscfg->GetThrowAwayPointer(), 0);
}

EOSSTS COsCfg::SetAccess(const char* a_szFile, int a_eosfileaccess) {
  // Bits added and removed per access; the others are kept.
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
  mode_t modet = ((st.st_mode & 07777) | access.modetAdd) & ~access.modetRemove;
  if (chmod(a_szFile, modet) != 0) {
    OsLogDebug(OS_LOG_INFO, "chmod failed...<%s>", a_szFile);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}
