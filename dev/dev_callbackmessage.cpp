// Reading the device-manager libraries' callback messages.
#include "dev_callbackmessage.h"

#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "db_cdblock.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_cosxml.h"

namespace {
// The argument's digits: false for anything but 1 to 16 hexadecimal digits
// after an optional prefix, then blanks.
bool PointerDigits(const char* a_szContent, const char** a_pszDigits) {
  const char* szDigits = a_szContent;
  if (szDigits[0] == '0' && (szDigits[1] == 'x' || szDigits[1] == 'X')) szDigits += 2;
  const size_t sizetDigits = std::strspn(szDigits, "0123456789abcdefABCDEF");
  *a_pszDigits = szDigits;
  return sizetDigits <= 16 && szDigits[sizetDigits + std::strspn(szDigits + sizetDigits, " \t\r\n")] == '\0' &&
         (sizetDigits > 0 || szDigits == a_szContent);
}
}  // namespace

bool DevCallbackContent(const char* a_szMessage, const char* a_szElement,
                        char (&a_szContent)[DEV_CALLBACKCONTENT_SIZE]) {
  a_szContent[0] = '\0';
  const std::string strStart = std::string("<") + a_szElement + ">";
  const std::string strEnd = std::string("</") + a_szElement + ">";
  std::vector<char> vecc(std::strlen(a_szMessage) + 1);
  if (COsXml::GetContent(a_szMessage, strStart.c_str(), strEnd.c_str(), vecc.data(), vecc.size()) != OS_STS_SUCCESS)
    return false;
  if (!COsString::SStrCpyCut(a_szContent, sizeof a_szContent, vecc.data())) {
    OsLog(OS_LOG_ERROR, "callback>>> <%s> cut to %zu characters...", a_szElement, std::strlen(a_szContent));
  }
  return true;
}

void CDevCallbackTargets::Enlist(const void* a_pvTarget) {
  std::unique_lock<std::shared_mutex> lock(m_sharedmutex);
  m_setpvTarget.insert(a_pvTarget);
}

void CDevCallbackTargets::Delist(const void* a_pvTarget) {
  CDbLockRelease dbrelease;
  std::unique_lock<std::shared_mutex> lock(m_sharedmutex);
  m_setpvTarget.erase(a_pvTarget);
}

void* DevCallbackTarget(const CDevCallbackTargets& a_devcallbacktargets, const void* a_pvArg,
                        const DevCallbackKind& a_devcallbackkind) {
  if (!a_pvArg) {
    OsLog(OS_LOG_ERROR, "a_pvArg is null...");
    return nullptr;
  }
  const char* szMessage = static_cast<const char*>(a_pvArg);
  OsLogDebug(OS_LOG_INFO, "callback>>> %s %s", a_devcallbackkind.szWhat, szMessage);
  char szContent[DEV_CALLBACKCONTENT_SIZE];
  DevCallbackContent(szMessage, "callbackname", szContent);
  if (std::strcmp(szContent, a_devcallbackkind.szName) != 0) {
    OsLog(OS_LOG_ERROR, "Unknown callbackname <%s>...", szContent);
    return nullptr;
  }
  if (!DevCallbackContent(szMessage, "userargumentptr", szContent)) {
    OsLog(OS_LOG_ERROR, "userargumentptr not found...");
    return nullptr;
  }
  const char* szDigits = nullptr;
  if (!PointerDigits(szContent, &szDigits)) {
    OsLog(OS_LOG_ERROR, "userargumentptr is not a pointer...<%s>", szContent);
    return nullptr;
  }
  void* pvTarget = reinterpret_cast<void*>(static_cast<uintptr_t>(COsString::StrToFastHex64(szDigits)));
  if (!pvTarget) {
    OsLog(OS_LOG_ERROR, "%s", a_devcallbackkind.szNull);
    return nullptr;
  }
  if (!a_devcallbacktargets.Contains(pvTarget)) {
    OsLog(OS_LOG_ERROR, "userargumentptr names no %s...<%s>", a_devcallbackkind.szTarget, szContent);
    return nullptr;
  }
  return pvTarget;
}
