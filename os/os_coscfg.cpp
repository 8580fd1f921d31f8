// The public configuration object: checks its implementation and forwards.
#include "os_coscfg.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "os_coscfgimpl.h"
#include "os_coscfgprofile.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_osservices.h"

COsCfg* g_poscfg = nullptr;

extern "C" void g_oscfglocatorfunction() {}

namespace {

// Each thread gets its own discard word: callers on any thread (the log
// among them) hand it to strtol at the same time.
thread_local char* t_pszThrowAway = nullptr;

// The hexadecimal address in the element, or 0.
uintptr_t ReadAddress(const char* a_szText, const char* a_szName) {
  char szAddress[32];
  if (OsServicesGetElement(a_szText, a_szName, szAddress, sizeof szAddress) != OS_STS_SUCCESS) return 0;
  return static_cast<uintptr_t>(std::strtoull(szAddress, nullptr, 16));
}

}  // namespace


COsCfg::COsCfg(const char* a_szUniqueName, EOSCFGENTITY a_eoscfgentity, const char* a_szCaller,
               const OsCfgVersion* a_poscfgversion, bool a_blForceSetAccess, const char* a_szApplication)
    : m_poscfgimpl(nullptr) {
  g_poscfg = this;
  m_poscfgimpl = new (std::nothrow)
      COsCfgImpl(a_szUniqueName, a_eoscfgentity, a_poscfgversion, a_blForceSetAccess, a_szApplication);
  if (!m_poscfgimpl) {
    OsLog(OS_LOG_ASSERT, "OsMemNew failed...");
    return;
  }
  OsLogDebug(OS_LOG_INFO, "mem>>> addr:%p  size:%7d  new %s", static_cast<void*>(m_poscfgimpl),
             static_cast<int>(sizeof(COsCfgImpl)), "COsCfgImpl");
  // The caller's tables arrive as addresses in its text.
  if (a_szCaller) {
    uintptr_t uSections = ReadAddress(a_szCaller, "cfgsectionptr");
    uintptr_t uTags = ReadAddress(a_szCaller, "cfgtagptr");
    uintptr_t uData = ReadAddress(a_szCaller, "cfgdataptr");
    if (uSections && uTags && uData) {
      m_poscfgimpl->RegisterCaller(reinterpret_cast<const OsCfgName*>(uSections),
                                   reinterpret_cast<const OsCfgName*>(uTags), reinterpret_cast<const char**>(uData));
    }
  }
  m_poscfgimpl->Load();
}

COsCfg::~COsCfg() {
  if (g_poscfg == this) g_poscfg = nullptr;
  if (m_poscfgimpl) {
    OsLogDebug(OS_LOG_INFO, "mem>>> addr:%p delete-object", static_cast<void*>(m_poscfgimpl));
    delete m_poscfgimpl;
    m_poscfgimpl = nullptr;
  }
}

const char* COsCfg::Get(unsigned a_uSection, unsigned a_uTag) {
  OSCFG_CHECK_IMPL(nullptr);
  return m_poscfgimpl->Get(a_uSection, a_uTag);
}

const char* COsCfg::Get(const char* a_szSection, const char* a_szTag) {
  OSCFG_CHECK_IMPL(nullptr);
  return m_poscfgimpl->Get(a_szSection, a_szTag);
}

EOSSTS COsCfg::Set(unsigned a_uSection, unsigned a_uTag, const char* a_szValue) {
  OSCFG_CHECK_IMPL(OS_STS_FAIL);
  return m_poscfgimpl->Set(a_uSection, a_uTag, a_szValue);
}

// Stateless: usable before and after the store exists.
char** COsCfg::GetThrowAwayPointer() { return &t_pszThrowAway; }

EOSSTS COsCfg::RegisterCaller(const OsCfgName* a_poscfgnameSections, const OsCfgName* a_poscfgnameTags,
                              const char** a_pszData) {
  OSCFG_CHECK_IMPL(OS_STS_FAIL);
  return m_poscfgimpl->RegisterCaller(a_poscfgnameSections, a_poscfgnameTags, a_pszData);
}

EOSSTS COsCfg::Load() {
  OSCFG_CHECK_IMPL(OS_STS_FAIL);
  return m_poscfgimpl->Load();
}

EOSSTS COsCfg::ProfileGet(const char* a_szFile, const char* a_szSection, const char* a_szKey, char* a_szValue,
                          size_t a_sizetValue) {
  OSCFG_CHECK_IMPL(OS_STS_FAIL);
  return COsCfgProfile::Get(a_szFile, a_szSection, a_szKey, a_szValue, a_sizetValue, m_poscfgimpl->FileMode());
}

EOSSTS COsCfg::ProfileSet(const char* a_szFile, const char* a_szSection, const char* a_szKey,
                          const char* a_szValue) {
  OSCFG_CHECK_IMPL(OS_STS_FAIL);
  return COsCfgProfile::Set(a_szFile, a_szSection, a_szKey, a_szValue, m_poscfgimpl->FileMode());
}

EOSSTS COsCfg::ProfileDelete(const char* a_szFile, const char* a_szSection, const char* a_szKey) {
  OSCFG_CHECK_IMPL(OS_STS_FAIL);
  return COsCfgProfile::Delete(a_szFile, a_szSection, a_szKey, m_poscfgimpl->FileMode());
}

EOSSTS COsCfg::ProfileFlush(const char* a_szFile) {
  OSCFG_CHECK_IMPL(OS_STS_FAIL);
  return COsCfgProfile::Flush(a_szFile, m_poscfgimpl->FileMode());
}

EOSSTS COsCfg::ConstIniGet(const char* a_szSection, const char* a_szKey, char* a_szValue, size_t a_sizetValue) {
  OSCFG_CHECK_IMPL(OS_STS_FAIL);
  return m_poscfgimpl->ConstIniGet(a_szSection, a_szKey, a_szValue, a_sizetValue);
}

EOSSTS COsCfg::ConstIniSet(const char* a_szSection, const char* a_szKey, const char* a_szValue) {
  OSCFG_CHECK_IMPL(OS_STS_FAIL);
  return m_poscfgimpl->ConstIniSet(a_szSection, a_szKey, a_szValue);
}

EOSSTS COsCfg::ConstIniFlush() {
  OSCFG_CHECK_IMPL(OS_STS_FAIL);
  return m_poscfgimpl->ConstIniFlush();
}

EOSSTS COsCfg::GetRegistry(EOSCFGREGISTRY a_eoscfgregistry, const char* a_szName, char* a_szValue,
                           size_t a_sizetValue, bool) {
  OSCFG_CHECK_IMPL(OS_STS_FAIL);
  return m_poscfgimpl->GetRegistry(a_eoscfgregistry, a_szName, a_szValue, a_sizetValue);
}

bool COsCfg::IsLoaded() {
  OSCFG_CHECK_IMPL(false);
  return m_poscfgimpl->IsLoaded();
}

void COsCfg::CreateSecurityAttributes() {}
void COsCfg::DestroySecurityAttributes() {}
void* COsCfg::GetSecurityAttributesFile() { return nullptr; }
void* COsCfg::GetSecurityAttributesEvent() { return nullptr; }
void* COsCfg::GetSecurityAttributesMutex() { return nullptr; }
bool COsCfg::IsDebugging() { return false; }

long OsCfgGetLong(unsigned a_uSection, unsigned a_uTag, long a_lDefault) {
  if (!g_poscfg) return a_lDefault;
  const char* szValue = g_poscfg->Get(a_uSection, a_uTag);
  if (!szValue || !*szValue) return a_lDefault;
  return std::strtol(szValue, g_poscfg->GetThrowAwayPointer(), 0);
}
