#include "os_coscfg.h"

#include <cstdlib>

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
