// A snapshot of the process environment as (name, value) pairs.
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "os_coscfg.h"
#include "os_coscfgimpl.h"
#include "os_coslog.h"
#include "os_cosmem.h"

extern char** environ;

namespace {
// The snapshot's blocks are whole pages of the memory service, so that they
// can be made read-only; before the service exists, plain heap blocks.
void* EnvAlloc(size_t a_sizetBytes, bool* a_pblTracked) {
  *a_pblTracked = g_posmem != nullptr;
  if (g_posmem) return g_posmem->Alloc(a_sizetBytes, __FILE__, __LINE__, OS_LOG_MEMVIRTUAL);
  return std::calloc(1, a_sizetBytes);
}

void EnvFree(void* a_pv, bool a_blTracked) {
  if (!a_pv) return;
  if (a_blTracked && g_posmem) {
    g_posmem->Free(a_pv, __FILE__, __LINE__, OS_LOG_MEMVIRTUAL);
  } else if (!a_blTracked) {
    std::free(a_pv);
  }
}

void EnvReadOnly(void* a_pv, bool a_blTracked) {
  if (a_blTracked && g_posmem) g_posmem->SetAccess(a_pv, OS_MEMACCESS_READONLY);
}
}  // namespace

void COsCfgImpl::FreeEnvList() {
  EnvFree(m_posenvpair, m_blEnvTracked);
  EnvFree(m_szEnvironment, m_blEnvTracked);
  m_posenvpair = nullptr;
  m_szEnvironment = nullptr;
}

// Every string is copied and cut at its first "="; a string without "=" has
// the empty value, and one with an empty name is left out.
const OsCfgEnvPair* COsCfgImpl::GetEnvList() {
  FreeEnvList();
  size_t sizetCount = 0;
  size_t sizetTotal = 0;
  for (char** psz = environ; psz && *psz; ++psz) {
    ++sizetCount;
    sizetTotal += std::strlen(*psz) + 1;
  }
  m_szEnvironment = static_cast<char*>(EnvAlloc(sizetTotal + 1, &m_blEnvTracked));
  bool blTracked = m_blEnvTracked;
  m_posenvpair = m_szEnvironment
                     ? static_cast<OsCfgEnvPair*>(EnvAlloc((sizetCount + 1) * sizeof(OsCfgEnvPair), &blTracked))
                     : nullptr;
  if (m_posenvpair && blTracked != m_blEnvTracked) {
    // The memory service came or went between the two blocks.
    EnvFree(m_posenvpair, blTracked);
    m_posenvpair = nullptr;
  }
  if (!m_posenvpair) {
    OsLog(OS_LOG_ASSERT, "OsMemAlloc failed...");
    FreeEnvList();
    return nullptr;
  }
  char* szNext = m_szEnvironment;
  size_t sizetPair = 0;
  for (size_t i = 0; i < sizetCount && environ[i]; ++i) {
    const size_t sizetString = std::strlen(environ[i]);
    if (szNext + sizetString + 1 > m_szEnvironment + sizetTotal) break;  // the environment grew meanwhile
    std::memcpy(szNext, environ[i], sizetString + 1);
    char* szEqual = std::strchr(szNext, '=');
    if (szEqual) *szEqual = '\0';
    if (*szNext) {
      m_posenvpair[sizetPair].szName = szNext;
      m_posenvpair[sizetPair].szValue = szEqual ? szEqual + 1 : szNext + sizetString;
      ++sizetPair;
    }
    szNext += sizetString + 1;
  }
  EnvReadOnly(m_szEnvironment, m_blEnvTracked);
  EnvReadOnly(m_posenvpair, m_blEnvTracked);
  return m_posenvpair;
}

const OsCfgEnvPair* COsCfg::GetEnvList() {
  if (!m_poscfgimpl) {
    OsLog(OS_LOG_ASSERT, "m_poscfgimpl is null...");
    return nullptr;
  }
  return m_poscfgimpl->GetEnvList();
}
