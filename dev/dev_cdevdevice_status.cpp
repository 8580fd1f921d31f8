// The device's online status as the units report it, the entry points
// through which the libraries call back, and the units' resource lock.
#include <cstring>
#include <mutex>
#include <shared_mutex>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "dev_callbackmessage.h"
#include "dev_cdev.h"
#include "dev_cdevdevice.h"
#include "os_coslog.h"
#include "os_cosxmltask.h"

namespace {
// The online flags and the status of every adapter; released before the
// database, the facade or the events are touched.
std::mutex s_mutexDeviceStatus;

// The adapters alive in the process, which the callbacks look up.
CDevCallbackTargets& Adapters() {
  static auto* s_pdevcallbacktargets = new CDevCallbackTargets;
  return *s_pdevcallbacktargets;
}

// The adapter a callback message names, or null (logged).
CDevDevice* CallbackAdapter(void* a_pvArg, const char* a_szName, const char* a_szWhat) {
  const DevCallbackKind devcallbackkind = {a_szName, a_szWhat, "userargumentptr is null...", "adapter"};
  return static_cast<CDevDevice*>(DevCallbackTarget(Adapters(), a_pvArg, devcallbackkind));
}
}  // namespace

void CDevDevice::Enlist(CDevDevice* a_pdevdevice) { Adapters().Enlist(a_pdevdevice); }

// Waits for the callbacks running on any adapter.
void CDevDevice::Delist(CDevDevice* a_pdevdevice) { Adapters().Delist(a_pdevdevice); }

// ---------------------------------------------------------------------------
// Device status
// ---------------------------------------------------------------------------
// A flatbed-only session stays online whatever its flatbed flag says.
EDEVSTS CDevDevice::SetDeviceStatus(EDBID_FIRMWARE a_edbidfirmware, long a_lOnline) {
  const long lOnline = a_lOnline ? 1 : 0;
  long lStatus;
  {
    std::lock_guard<std::mutex> lock(s_mutexDeviceStatus);
    const bool blFlatbedLoaded = m_pfnScannerEntryFlatbed.load() != nullptr;
    lStatus = m_lDeviceStatus.load();
    if (a_edbidfirmware == DB_FIRMWARE_ADF) {
      m_lOnlineAdf = lOnline;
      const bool blOnline = lOnline && (!blFlatbedLoaded || m_lOnlineFlatbed);
      lStatus = blOnline ? DEV_ONLINE_ONLINE : DEV_ONLINE_OFFLINE;
    } else {
      m_lOnlineFlatbed = lOnline;
      if (blFlatbedLoaded) {
        const bool blOnline = (m_lOnlineAdf && m_lOnlineFlatbed) || !m_pfnScannerEntryAdf.load();
        lStatus = blOnline ? DEV_ONLINE_ONLINE : DEV_ONLINE_OFFLINE;
      }
    }
    m_lDeviceStatus.store(lStatus);
  }
  if (!m_pdev || !m_pdatabase) return DEV_STS_FAIL;
  if (lStatus == DEV_ONLINE_OFFLINE && m_pdev->ScanIsScanning()) m_pdev->ScanRequestStop(DEV_STOPACTION_DISCONNECTED);
  {
    CDbLockGuard dblock;
    CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_DEVICEONLINE);
    if (!pdbdatum) {
      OsLog(OS_LOG_ERROR, "DEVICEONLINE not found...");
      return DEV_STS_FAIL;
    }
    if (m_pdatabase->GetCurrentLong(pdbdatum) == lStatus) return DEV_STS_SUCCESS;
    m_pdatabase->ForceCurrentLong(pdbdatum, lStatus);
  }
  m_pdev->SetDriverEvent(lStatus == DEV_ONLINE_ONLINE ? DEV_EVENT_DEVICEONLINE : DEV_EVENT_DEVICEOFFLINE, nullptr);
  return DEV_STS_SUCCESS;
}

EDEVSTS CDevDevice::RefreshDeviceStatus() {
  if (!m_pfnScannerEntryAdf.load()) return DEV_STS_SUCCESS;
  return SetDeviceStatus(DB_FIRMWARE_ADF, IsOnline(DB_FIRMWARE_ADF));
}

long CDevDevice::IsOnline(EDBID_FIRMWARE a_edbidfirmware) const {
  std::lock_guard<std::mutex> lock(s_mutexDeviceStatus);
  return a_edbidfirmware == DB_FIRMWARE_FLATBED ? m_lOnlineFlatbed : m_lOnlineAdf;
}

// ---------------------------------------------------------------------------
// Entry points of the libraries
// ---------------------------------------------------------------------------
// The library hands back the adapter itself; one that is gone (the library
// calling after its interface closed) is logged and ignored.
EOSSTS CDevDevice::CompleteOpenCallback(void* a_pvArg, EDBID_FIRMWARE a_edbidfirmware) {
  std::shared_lock<std::shared_mutex> lock(Adapters().Mutex());
  OsLogDebug(OS_LOG_INFO, "callback>>> interfaceopencomplete(%s) %p",
             a_edbidfirmware == DB_FIRMWARE_FLATBED ? "flatbed" : "adf", a_pvArg);
  auto* pdevdevice = static_cast<CDevDevice*>(a_pvArg);
  if (!pdevdevice) {
    OsLog(OS_LOG_ERROR, "a_pvArg is null...");
    return OS_STS_FAIL;
  }
  if (!Adapters().Contains(pdevdevice)) {
    OsLog(OS_LOG_ERROR, "userargumentptr names no adapter...<%p>", a_pvArg);
    return OS_STS_FAIL;
  }
  return pdevdevice->CompleteOpen(true, a_edbidfirmware) == DEV_STS_SUCCESS ? OS_STS_SUCCESS : OS_STS_FAIL;
}

EOSSTS CDevDevice::CompleteOpenCallbackAdf(void* a_pvArg) { return CompleteOpenCallback(a_pvArg, DB_FIRMWARE_ADF); }

EOSSTS CDevDevice::CompleteOpenCallbackFlatbed(void* a_pvArg) {
  return CompleteOpenCallback(a_pvArg, DB_FIRMWARE_FLATBED);
}

EOSSTS CDevDevice::ConnectionChange(void* a_pvArg, EDBID_FIRMWARE a_edbidfirmware) {
  std::shared_lock<std::shared_mutex> lock(Adapters().Mutex());
  const bool blFlatbed = a_edbidfirmware == DB_FIRMWARE_FLATBED;
  CDevDevice* pdevdevice =
      CallbackAdapter(a_pvArg, "connectionchange", blFlatbed ? "connectionchange(flatbed)" : "connectionchange(adf)");
  if (!pdevdevice) return OS_STS_FAIL;
  char szOnline[DEV_CALLBACKCONTENT_SIZE];
  DevCallbackContent(static_cast<const char*>(a_pvArg), "deviceonline", szOnline);
  pdevdevice->SetDeviceStatus(a_edbidfirmware, std::strcmp(szOnline, "true") == 0 ? 1 : 0);
  return OS_STS_SUCCESS;
}

EOSSTS CDevDevice::CallBackSetDeviceStatusAdf(void* a_pvArg) { return ConnectionChange(a_pvArg, DB_FIRMWARE_ADF); }

EOSSTS CDevDevice::CallBackSetDeviceStatusFlatbed(void* a_pvArg) {
  return ConnectionChange(a_pvArg, DB_FIRMWARE_FLATBED);
}

EOSSTS CDevDevice::CallBackPnpChange(void* a_pvArg) {
  std::shared_lock<std::shared_mutex> lock(Adapters().Mutex());
  CDevDevice* pdevdevice = CallbackAdapter(a_pvArg, "pnpchange", "pnpchange(adf)");
  if (!pdevdevice) return OS_STS_FAIL;
  if (!pdevdevice->m_pdev) {
    OsLog(OS_LOG_ERROR, "m_pdev is null...");
    return OS_STS_FAIL;
  }
  pdevdevice->m_pdev->PnpChange(static_cast<const char*>(a_pvArg));
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// Resource lock
// ---------------------------------------------------------------------------
// Sends a_szLock to the feeder, then the flatbed; a flatbed refusal sends
// a_szUndo to the feeder again. Each unit only when loaded.
EDEVSTS CDevDevice::Lock(const char* a_szLock, const char* a_szUndo, const DevChildren& a_devchildren) {
  if (m_pfnScannerEntryAdf.load()) {
    const EDEVSTS edevsts =
        Exchange(DB_FIRMWARE_ADF, a_szLock, a_devchildren, DevDispatchTarget::Database(m_pdatabase));
    if (edevsts != DEV_STS_SUCCESS) return edevsts;
  }
  if (!m_pfnScannerEntryFlatbed.load()) return DEV_STS_SUCCESS;
  const EDEVSTS edevsts =
      Exchange(DB_FIRMWARE_FLATBED, a_szLock, a_devchildren, DevDispatchTarget::Database(m_pdatabase));
  if (edevsts != DEV_STS_SUCCESS) Tell(DB_FIRMWARE_ADF, a_szUndo);
  return edevsts;
}

EDEVSTS CDevDevice::ResourceLock() {
  if (!m_blAllowResourceLock.load()) return DEV_STS_SUCCESS;
  CDbLockGuard dblock;
  std::lock_guard<std::mutex> lock(m_mutexResource);
  return Lock("resourcelock", "resourceunlock", nullptr);
}

EDEVSTS CDevDevice::ResourceUnlock() {
  if (!m_blAllowResourceLock.load()) return DEV_STS_SUCCESS;
  std::lock_guard<std::mutex> lock(m_mutexResource);
  Tell(DB_FIRMWARE_FLATBED, "resourceunlock");
  Tell(DB_FIRMWARE_ADF, "resourceunlock");
  return DEV_STS_SUCCESS;
}

EDEVSTS CDevDevice::ResourceBegin(bool a_blDisconnectWontUnlock) {
  const EDEVSTS edevsts = Lock("resourcebegin", "resourceend", [&](COsXmlTask& a_osxmltask) {
    if (a_blDisconnectWontUnlock) a_osxmltask.AddArgument("disconnectwontunlock", "true");
  });
  if (edevsts == DEV_STS_SUCCESS) m_blResourceBegun.store(true);
  return edevsts;
}

EDEVSTS CDevDevice::ResourceEnd() {
  if (!m_blResourceBegun.exchange(false)) return DEV_STS_SUCCESS;
  Tell(DB_FIRMWARE_FLATBED, "resourceend");
  Tell(DB_FIRMWARE_ADF, "resourceend");
  return DEV_STS_SUCCESS;
}
