// The device lock: a one-byte lock on a lock file per device, shared by
// every process (and every service object) that drives the device, counted
// per object so that nested users share it.
#include <atomic>
#include <climits>
#include <cstring>

#include "os_copenusb.h"
#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cossyncimpl.h"
#include "os_costime.h"
#include "os_cosusbchannel.h"
#include "os_cosusbimpl.h"

namespace {
constexpr long kLockRetryInterval = 250;
std::atomic<long> s_lLockRetryInterval{kLockRetryInterval};

// The serial number as part of a file name: it comes from the device, so
// a separator or a ".." must not lead the name out of its directory.
void SafeName(char* a_szName, size_t a_sizetName, const char* a_szSerial) {
  size_t sizetOut = 0;
  for (const char* pc = a_szSerial; *pc && sizetOut + 1 < a_sizetName; ++pc) {
    const bool blDots = pc[0] == '.' && (pc[1] == '.' || (pc > a_szSerial && pc[-1] == '.'));
    a_szName[sizetOut++] = (*pc == '/' || *pc == '\\' || blDots) ? '_' : *pc;
  }
  a_szName[sizetOut] = '\0';
}

// A directory of the configuration, or the common fallback while there is
// no configuration.
bool ConfiguredDirectory(unsigned a_uTag, char* a_szDirectory, size_t a_sizetDirectory) {
  const char* sz = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, a_uTag) : nullptr;
  if (sz && *sz) return COsString::SStrPrintf(a_szDirectory, a_sizetDirectory, "%s", sz) >= 0;
  return OsSyncCommonDirectory(a_szDirectory, a_sizetDirectory);
}

// The lock file's name in a directory ("%04x%04x%s.lock").
bool LockFileName(const OsUsbInfo* a_posusbinfo, const char* a_szDirectory, char* a_szPath, size_t a_sizetPath) {
  char szSerial[OS_USB_SERIALNUMBER];
  SafeName(szSerial, sizeof szSerial, a_posusbinfo->szSerialNumber);
  char szName[128];
  return COsString::SStrPrintf(szName, sizeof szName, "%04x%04x%s.lock", a_posusbinfo->u16Vid, a_posusbinfo->u16Pid,
                               szSerial) >= 0 &&
         COsFile::PathJoin(a_szPath, a_sizetPath, a_szDirectory, szName);
}
}  // namespace

void COsUsbImpl::SetLockRetryInterval(long a_lMilliseconds) {
  s_lLockRetryInterval.store(a_lMilliseconds < 0 ? kLockRetryInterval : a_lMilliseconds);
}

bool COsUsbImpl::LockFilePath(char* a_szPath, size_t a_sizetPath) {
  char szCommon[512], szDirectory[512];
  return m_posusbinfo && ConfiguredDirectory(OS_CFGTAG_COMMONDIRECTORY, szCommon, sizeof szCommon) &&
         COsFile::PathJoin(szDirectory, sizeof szDirectory, szCommon, "usb") &&
         LockFileName(m_posusbinfo, szDirectory, a_szPath, a_sizetPath);
}

// The lock file is opened at the first lock and whenever it could not be
// opened before: a failure is never taken for a lock.
EOSSTS COsUsbImpl::LockFileOpen() {
  if (m_posfileLock->IsOpen()) return OS_STS_SUCCESS;
  char szPath[1024] = {};
  EOSSTS eossts = OS_STS_FAIL;
  if (LockFilePath(szPath, sizeof szPath)) {
    char szDirectory[1024];
    COsString::SStrCpy(szDirectory, sizeof szDirectory, szPath);
    size_t sizetSlash = 0;
    char* szName = nullptr;
    COsFile::PathSplit(szDirectory, &sizetSlash, &szName);
    szDirectory[sizetSlash] = '\0';
    if (!COsFile::Exists(szDirectory)) COsFile::Create(szDirectory);
    eossts = m_posfileLock->Open(szPath, OS_FILEOPEN_ALWAYS, OS_FILEACCESS_READWRITE, OS_FILESHARE_READWRITE);
  }
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "ResourceLock: device lock deviceLock failed to open Lock file...%s %d", szPath,
          static_cast<int>(eossts));
    return OS_STS_FAIL;
  }
  OsLogDebug(OS_LOG_INFO, "ResourceLock: device lock file %s", szPath);
  return OS_STS_SUCCESS;
}

// On a connected device with a time-out: tries every 250 ms while another
// holds the lock, until the time-out or the device is gone (1). Else once.
// Between tries the object is free for its other callers: another thread
// may take the lock meanwhile (then it is shared), or close the device
// (then the wait ends with 1).
EOSSTS COsUsbImpl::LockFileTake(long a_lTimeout, std::unique_lock<std::mutex>& a_lock) {
  if (!IsConnected() || a_lTimeout == 0) return m_posfileLock->Lock(0, 1, 0, "devicelock.once");
  const long lTimeout = a_lTimeout < 0 ? INT_MAX : a_lTimeout;
  long lSlept = 0;
  EOSSTS eossts;
  while ((eossts = m_posfileLock->Lock(0, 1, 0, "devicelock.timed")) == OS_STS_BUSY) {
    if (lSlept >= lTimeout || !IsConnected()) return OS_STS_FAIL;
    const long lStep = s_lLockRetryInterval.load();
    a_lock.unlock();
    COsTime::Sleep(lStep);
    a_lock.lock();
    lSlept += lStep > 0 ? lStep : 1;
    if (m_i64LockCount >= 1) return OS_STS_SUCCESS;
    if (!m_posfileLock->IsOpen()) {
      OsLog(OS_LOG_INFO, "ResourceLock: device lock given up, the device was closed meanwhile...");
      return OS_STS_FAIL;
    }
  }
  return eossts;
}

// With PMX_DEBUGUSB: a file of the lock's name in "usb" beside the logs,
// open while locked, so that one sees who holds a device.
void COsUsbImpl::MarkerOpen() {
  char szLog[512], szUsb[512], szLock[1024], szPath[1024];
  if (!ConfiguredDirectory(OS_CFGTAG_LOGDIRECTORY, szLog, sizeof szLog) || !LockFilePath(szLock, sizeof szLock)) {
    return;
  }
  const bool blUp = std::strstr(szLog, "device") != nullptr;
  if (!(blUp ? COsString::SStrPrintf(szUsb, sizeof szUsb, "%s/../usb", szLog) >= 0
             : COsFile::PathJoin(szUsb, sizeof szUsb, szLog, "usb"))) {
    return;
  }
  size_t sizetSlash = 0;
  char* szName = nullptr;
  COsFile::PathSplit(szLock, &sizetSlash, &szName);
  if (!szName || !COsFile::PathJoin(szPath, sizeof szPath, szUsb, szName)) return;
  if (!COsFile::Exists(szUsb)) COsFile::Create(szUsb);
  m_posfileMarker = OsMemNew(COsFile);
  if (m_posfileMarker &&
      m_posfileMarker->Open(szPath, OS_FILEOPEN_ALWAYS, OS_FILEACCESS_READWRITE, OS_FILESHARE_READWRITE) !=
          OS_STS_SUCCESS) {
    OsMemDelete(m_posfileMarker);
  }
}

EOSSTS COsUsbImpl::Lock(long a_lTimeout) {
  std::unique_lock<std::mutex> lock(m_mutexLock);
  OsLogDebug(OS_LOG_INFO, "ResourceLock: device lock requested...spin=%d ref=%d tmo=%ld <%s>", 1,
             static_cast<int>(m_i64LockCount), a_lTimeout, m_posusbinfo ? m_posusbinfo->szSerialNumber : "");
  if (!m_posusbinfo) {
    OsLog(OS_LOG_ERROR, "ResourceLock: device lock called with no device...");
    return OS_STS_SUCCESS;
  }
  if (m_i64LockCount < 1) {
    if (LockFileOpen() != OS_STS_SUCCESS) return OS_STS_FAIL;
    EOSSTS eossts = LockFileTake(a_lTimeout, lock);
    if (eossts != OS_STS_SUCCESS) {
      OsLogDebug(OS_LOG_INFO, "ResourceLock: device lock failed...%d", static_cast<int>(eossts));
      return eossts;
    }
  }
  ++m_i64LockCount;
  OsLogDebug(OS_LOG_INFO, "ResourceLock: device locked (ref=%d)...%s %d", static_cast<int>(m_i64LockCount),
             m_posusbinfo->szSerialNumber, static_cast<int>(a_lTimeout));
  if (m_blDebug && m_i64LockCount == 1) MarkerOpen();
  if (IsConnected() && m_popenusb && m_popenusb->openusb_claim_interface && m_openusbdevhandle && !m_blInterfaceClaimed) {
    int32_t i32 = m_popenusb->openusb_claim_interface(m_openusbdevhandle, m_u8Interface, 0);
    if (i32 != OPENUSB_SUCCESS) {
      OsLogDebug(OS_LOG_INFO, "ResourceLock: usb_claim_interface failed...%d %d %s", m_u8Configuration, m_u8Interface,
                 m_popenusb->openusb_strerror ? m_popenusb->openusb_strerror(i32) : "");
      UnlockLocked(true);
      LockFileClose();
      return OS_STS_FAIL;
    }
    m_blInterfaceClaimed = true;
  }
  return OS_STS_SUCCESS;
}

EOSSTS COsUsbImpl::Unlock(bool a_blForce) {
  std::lock_guard<std::mutex> lock(m_mutexLock);
  return UnlockLocked(a_blForce);
}

EOSSTS COsUsbImpl::UnlockLocked(bool a_blForce) {
  if (!m_posusbinfo) {
    OsLog(OS_LOG_ERROR, "ResourceUnlock: device unlocked (ref=%d, force=%d)...", static_cast<int>(m_i64LockCount),
          a_blForce ? 1 : 0);
    return OS_STS_SUCCESS;
  }
  if (!a_blForce && m_i64LockCount != 1) {
    if (m_i64LockCount > 1) --m_i64LockCount;
    return OS_STS_SUCCESS;
  }
  m_i64LockCount = 0;
  // A network unit gives its control connection up with the lock; the next
  // request opens the connections again.
  if (m_posusbinfo->eosusbwire == OS_USBWIRE_NET && IsConnected()) {
    std::unique_lock<std::shared_mutex> lock(m_sharedmutexSockets, std::try_to_lock);
    if (lock.owns_lock()) {
      delete m_apipeio[OS_USBPIPE_CONTROL].poschannel;
      m_apipeio[OS_USBPIPE_CONTROL].poschannel = nullptr;
    }
  }
  EOSSTS eossts = OS_STS_SUCCESS;
  if (m_posfileLock->IsOpen()) {
    OsLogDebug(OS_LOG_INFO, "ResourceUnlock: device unlocking %s", m_posusbinfo->szSerialNumber);
    eossts = m_posfileLock->Unlock(0, 1);
  }
  OsMemDelete(m_posfileMarker);
  if (IsConnected() && m_popenusb && m_popenusb->openusb_release_interface && eossts == OS_STS_SUCCESS &&
      m_blInterfaceClaimed) {
    m_popenusb->openusb_release_interface(m_openusbdevhandle, m_u8Interface);
    m_blInterfaceClaimed = false;
  }
  OsLogDebug(OS_LOG_INFO, "ResourceUnlock: device unlocked (ref=%d, force=%d)...", static_cast<int>(m_i64LockCount),
             a_blForce ? 1 : 0);
  return eossts;
}

void COsUsbImpl::LockFileClose() {
  m_posfileLock->Close();
  OsMemDelete(m_posfileMarker);
}

int64_t COsUsbImpl::IsLocked() {
  std::lock_guard<std::mutex> lock(m_mutexLock);
  if (!m_posusbinfo) {
    OsLog(OS_LOG_ERROR, "ResourceUnlock: device IsDeviceLocked called with no device...");
    return 0;
  }
  OsLogDebug(OS_LOG_INFO, "ResourceUnlock: device lock test (ref=%d)...", static_cast<int>(m_i64LockCount));
  return m_i64LockCount;
}
