// Enumerated values of the configuration: one key id + suffix + "_enum_" +
// value each, so that the sorted table walks the values of an id in
// ascending order.
#include <cstring>

#include "db_cdbconfigimpl.h"
#include "os_coslog.h"

namespace {
constexpr const char* s_szEnum = "_enum_";

bool ValueMissing(const char* a_szEnum, const char* a_szEnumName) {
  if (!a_szEnum || !*a_szEnum) {
    OsLog(OS_LOG_ERROR, "cfg>>> %s is null or empty...", a_szEnumName);
    return true;
  }
  return false;
}
}  // namespace

// The key of one value; false (logged) for a missing argument or a key
// that cannot be formed.
bool CDbConfigImpl::EnumKey(char* a_szKey, const char* a_szId, const char* a_szEnum,
                            EDBCONFIGTARGET a_edbconfigtarget) {
  return !IdMissing(a_szId) && !ValueMissing(a_szEnum, "a_szEnum") &&
         ComposeKey(a_szKey, nullptr, a_szId, a_edbconfigtarget, s_szEnum, a_szEnum);
}

void CDbConfigImpl::EnumAdd(const char* a_szId, const char* a_szEnum, EDBCONFIGTARGET a_edbconfigtarget) {
  char szKey[DB_CONFIG_KEY];
  if (EnumKey(szKey, a_szId, a_szEnum, a_edbconfigtarget)) AddKey(szKey);
}

bool CDbConfigImpl::EnumExists(const char* a_szId, const char* a_szEnum, EDBCONFIGTARGET a_edbconfigtarget) {
  char szKey[DB_CONFIG_KEY];
  if (IdMissing(a_szId) || ValueMissing(a_szEnum, "a_szEnum") || IsEmpty(a_szId, a_szEnum) ||
      !EnumKey(szKey, a_szId, a_szEnum, a_edbconfigtarget)) {
    return false;
  }
  const bool blFound = Find(szKey) != nullptr;
  OsLogDebug(OS_LOG_INFO, "cfg>>> tst    %-64s %s", szKey, blFound ? "(found)" : "(not found)");
  return blFound;
}

void CDbConfigImpl::EnumDelete(const char* a_szId, const char* a_szEnum, EDBCONFIGTARGET a_edbconfigtarget) {
  char szKey[DB_CONFIG_KEY];
  if (EnumKey(szKey, a_szId, a_szEnum, a_edbconfigtarget)) DeleteKey(szKey);
}

const char* CDbConfigImpl::EnumGetFirst(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget) {
  char szStart[DB_CONFIG_KEY];
  if (IdMissing(a_szId) || IsEmpty(a_szId, nullptr) ||
      !ComposeKey(szStart, nullptr, a_szId, a_edbconfigtarget, s_szEnum, nullptr)) {
    return nullptr;
  }
  const size_t sizetStart = std::strlen(szStart);
  for (uint32_t u = 0; u < m_u32Records; ++u) {
    const char* szKey = m_adbconfigrecord[u].szKey;
    if (std::strncmp(szKey, szStart, sizetStart) == 0) {
      OsLogDebug(OS_LOG_INFO, "cfg>>> get1st %s", szKey);
      return szKey + sizetStart;
    }
  }
  OsLogDebug(OS_LOG_INFO, "cfg>>> get1st %-64s (not found)", szStart);
  return nullptr;
}

const char* CDbConfigImpl::EnumGetNext(const char* a_szId, const char* a_szPrevEnum,
                                       EDBCONFIGTARGET a_edbconfigtarget) {
  char szStart[DB_CONFIG_KEY];
  char szKey[DB_CONFIG_KEY];
  if (IdMissing(a_szId) || ValueMissing(a_szPrevEnum, "a_szPrevEnum") || IsEmpty(a_szId, a_szPrevEnum) ||
      !ComposeKey(szStart, nullptr, a_szId, a_edbconfigtarget, s_szEnum, nullptr) ||
      !ComposeKey(szKey, nullptr, a_szId, a_edbconfigtarget, s_szEnum, a_szPrevEnum)) {
    return nullptr;
  }
  OsLogDebug(OS_LOG_INFO, "cfg>>> getnxt %s(%s)", szStart, a_szPrevEnum);
  const DbConfigRecord* pdbconfigrecord = Find(szKey);
  if (!pdbconfigrecord) {
    OsLogDebug(OS_LOG_INFO, "cfg>>> getnxt %-64s (not found)", szKey);
    return nullptr;
  }
  // The next slot holds the next value when it still belongs to the id.
  const size_t sizetNext = static_cast<size_t>(pdbconfigrecord - m_adbconfigrecord) + 1;
  const size_t sizetStart = std::strlen(szStart);
  if (sizetNext >= DB_CONFIG_RECORDS || !m_adbconfigrecord[sizetNext].szKey[0] ||
      std::strncmp(m_adbconfigrecord[sizetNext].szKey, szStart, sizetStart) != 0) {
    OsLogDebug(OS_LOG_INFO, "cfg>>> getnxt %-64s (not found)", szStart);
    return nullptr;
  }
  OsLogDebug(OS_LOG_INFO, "cfg>>> getnxt %s", m_adbconfigrecord[sizetNext].szKey);
  return m_adbconfigrecord[sizetNext].szKey + sizetStart;
}
