// Opening the session once the interface is open: the resource lock taken
// for the opening (retried while the scanner is busy), the units' sessions
// (the flatbed dropped when it is busy, fails or disappears), the image
// library's session, and the completion: callbacks, capability callbacks,
// messages relayed, the profile, the report inquiry and the device files.
// Without a unit the scanner is only entered into the shared device list.
//
// Threads: SessionBegin runs on the caller's thread or "OpenDevice";
// CompleteOpen on one of them or on a library's callback thread. Each takes
// the database lock for its own database work only; the adapters give it up
// around every exchange, and the busy retry waits without it.
#include <string>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "dev_cdevdata.h"
#include "dev_cdevdevice.h"
#include "dev_cdevimpl.h"
#include "dev_cdevnexil.h"
#include "dev_drvconfig.h"
#include "dev_waits.h"
#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosresource.h"
#include "os_costhread.h"
#include "os_cosusb.h"

namespace {

const char s_szModelDirectoryFlatbed[] = "modeldirectoryflatbed";
const char s_szMonitorButtonEvents[] = "monitorbuttonevents";

bool Configured(CDatabase* a_pdatabase, const char* a_szId) {
  CDbLockGuard dblockguard;
  return a_pdatabase->ConfigExists(a_szId, DB_CONFIGTARGET_COMMON);
}

std::string ConfigText(CDatabase* a_pdatabase, const char* a_szId, const char* a_szMissing) {
  CDbLockGuard dblockguard;
  const char* sz = a_pdatabase->ConfigGetString(a_szId, DB_CONFIGTARGET_COMMON);
  return sz ? sz : a_szMissing;
}

bool NexilOff() { return OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCENEXILOFF, 0) != 0; }

// The opening forbids the resource lock to other users; every return of
// SessionBegin past that point allows it again.
class CAllowResourceLockOnReturn {
 public:
  explicit CAllowResourceLockOnReturn(CDevDevice* a_pdevdevice) : m_pdevdevice(a_pdevdevice) {}
  ~CAllowResourceLockOnReturn() { m_pdevdevice->SetAllowResourceLock(true); }
  CAllowResourceLockOnReturn(const CAllowResourceLockOnReturn&) = delete;
  CAllowResourceLockOnReturn& operator=(const CAllowResourceLockOnReturn&) = delete;

 private:
  CDevDevice* m_pdevdevice;
};

}  // namespace

// ---------------------------------------------------------------------------
// SessionBegin
// ---------------------------------------------------------------------------
EOSSTS CDevImpl::SessionBegin(PFNDEVMESSAGEMANAGER a_pfnMessageManager, bool a_blOnThread, COsThread* a_posthread) {
  m_pfnMessageProc.store(a_pfnMessageManager);
  if (!pod.m_pdatabase || !pod.m_pdevdevice) {
    OsLog(OS_LOG_ERROR, "SessionBegin: the interface is not open...");
    return OS_STS_FAIL;
  }
  const EDBID_FIRMWARE edbidfirmware = pod.m_pdevdevice->GetFirmware();
  if (edbidfirmware == DEV_FIRMWARE_NONE) return RegisterInDeviceList();
  if (!a_blOnThread && Configured(pod.m_pdatabase, s_szMonitorButtonEvents)) return StartOpenDevice();

  CAllowResourceLockOnReturn allowresourcelock(pod.m_pdevdevice);
  EOSSTS eossts = LockForOpening(a_blOnThread, a_posthread);
  if (eossts != OS_STS_SUCCESS) return eossts;
  pod.m_pdevdevice->SetAllowResourceLock(false);

  EDEVSTS edevstsSession = DEV_STS_SUCCESS;
  bool blBounced = false;
  eossts = BeginUnits(edbidfirmware, &edevstsSession, &blBounced);
  if (eossts != OS_STS_SUCCESS || blBounced) return eossts;
  eossts = NexilSessionBegin();
  if (eossts != OS_STS_SUCCESS) return eossts;
  // A failed opening must not be reported as an open session.
  if (GetDeviceStatus() == DEV_DEVICESTATUS_OFFLINE) {
    OsLog(OS_LOG_ERROR, "We went offline during the startup...");
    return static_cast<EOSSTS>(DEV_STS_DISCONNECTED);
  }
  // Not complete yet: the device manager completes through the callback.
  if (edevstsSession != DEV_STS_SUCCESS) return static_cast<EOSSTS>(edevstsSession);
  CompleteOpen(false);
  return OS_STS_SUCCESS;
}

EOSSTS CDevImpl::StartOpenDevice() {
  if (!pod.m_posthreadOpenDevice && !(pod.m_posthreadOpenDevice = OsMemNew(COsThread))) {
    OsLog(OS_LOG_ERROR, "OsMemNew failed...");
    return OS_STS_FAIL;
  }
  if (pod.m_posthreadOpenDevice->Start("OpenDevice", OpenDeviceProc, this) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Start failed...");
    return OS_STS_FAIL;
  }
  return static_cast<EOSSTS>(DEV_STS_NOTCOMPLETE);
}

void* CDevImpl::OpenDeviceProc(void* a_pvThread) {
  auto* posthread = static_cast<COsThread*>(a_pvThread);
  auto* pdevimpl = posthread ? static_cast<CDevImpl*>(posthread->GetArg()) : nullptr;
  if (!pdevimpl) {
    OsLog(OS_LOG_ERROR, "a_pvArg is NULL...");
    return nullptr;
  }
  pdevimpl->SessionBegin(pdevimpl->m_pfnMessageProc.load(), true, posthread);
  return nullptr;
}

// Without a thread a busy scanner is tried ForceOpenTimeout more times at
// once; on "OpenDevice" it is tried every second until the thread is told
// to stop.
EOSSTS CDevImpl::LockForOpening(bool a_blOnThread, COsThread* a_posthread) {
  pod.m_pdevdevice->SetAllowResourceLock(true);
  long lRetries = DevDriverConfigGetLong(DRV_CFGTAG_FORCEOPENTIMEOUT);
  for (;;) {
    const EOSSTS eossts = ResourceLock();
    if (eossts == OS_STS_SUCCESS) return eossts;
    if (eossts != static_cast<EOSSTS>(DEV_STS_BUSY)) {
      OsLogDebug(OS_LOG_INFO, "ResourceLock failed (probably no device)...%d", static_cast<int>(eossts));
      return OS_STS_FAIL;
    }
    if (!a_blOnThread || !a_posthread) {
      if (lRetries-- > 0) continue;
      OsLogDebug(OS_LOG_INFO, "ResourceLock failed (busy)...");
      return eossts;
    }
    {
      CDbLockRelease dblockrelease;
      a_posthread->WaitForEvent(DevWaitLimit(DEV_WAIT_OPENRETRY));
    }
    if (a_posthread->GetCommand() != OS_THREADCMD_NONE) return static_cast<EOSSTS>(DEV_STS_CANCEL);
    if (lRetries > 0) --lRetries;
  }
}

// The units' sessions; the device manager's result (0, or 19 when it
// completes later) in a_pedevsts. A flatbed gone while the feeder opened
// with button watching bounces the session, which opens again by itself
// (a_pblBounced).
EOSSTS CDevImpl::BeginUnits(EDBID_FIRMWARE a_edbidfirmware, EDEVSTS* a_pedevsts, bool* a_pblBounced) {
  const PFNDEVMESSAGEMANAGER pfnMessageProc = m_pfnMessageProc.load();
  switch (a_edbidfirmware) {
    case DB_FIRMWARE_ADF:
    case DB_FIRMWARE_FLATBED:
      *a_pedevsts = pod.m_pdevdevice->SessionBegin(pfnMessageProc, a_edbidfirmware, CompleteOpenCallback, this);
      if (*a_pedevsts == DEV_STS_FAIL) {
        OsLog(OS_LOG_ERROR, "Failed to begin session %d...", static_cast<int>(a_edbidfirmware));
        return OS_STS_FAIL;
      }
      return OS_STS_SUCCESS;
    case DB_FIRMWARE_BOTH:
      break;
    default:
      OsLog(OS_LOG_ERROR, "You've done one impossible thing today...%d", static_cast<int>(a_edbidfirmware));
      return OS_STS_FAIL;
  }
  if (Configured(pod.m_pdatabase, s_szModelDirectoryFlatbed)) BeginFlatbed();
  pod.m_blFlatbedSessionBegun = true;
  *a_pedevsts = pod.m_pdevdevice->SessionBegin(pfnMessageProc, DB_FIRMWARE_ADF, CompleteOpenCallback, this);
  if (*a_pedevsts == DEV_STS_FAIL) {
    OsLog(OS_LOG_ERROR, "SessionBegin failed for the adf...%d", static_cast<int>(*a_pedevsts));
    return OS_STS_FAIL;
  }
  if (Configured(pod.m_pdatabase, s_szModelDirectoryFlatbed) && GetDeviceStatus() == DEV_DEVICESTATUS_OFFLINE) {
    OsLog(OS_LOG_ERROR, "Flatbed was removed while we were opening the adf...");
    DropFlatbedSession();
    if (Configured(pod.m_pdatabase, s_szMonitorButtonEvents)) {
      SessionBounce();
      *a_pblBounced = true;
    }
  }
  return OS_STS_SUCCESS;
}

// A flatbed that another feeder holds, or whose session does not begin, is
// dropped: the feeder opens alone.
void CDevImpl::BeginFlatbed() {
  if (Configured(pod.m_pdatabase, "devicefilenameflatbed") && Configured(pod.m_pdatabase, s_szMonitorButtonEvents)) {
    const std::string strDeviceFile = ConfigText(pod.m_pdatabase, "devicefilenameflatbed", "");
    COsUsb* posusb = OsMemNew(COsUsb, "", strDeviceFile.c_str(), "", "", false);
    const EOSSTS eossts = posusb ? posusb->IsResourceAvailable(strDeviceFile.c_str()) : OS_STS_FAIL;
    OsMemDelete(posusb);
    if (eossts != OS_STS_SUCCESS && eossts != OS_STS_FILE_NOT_FOUND) {
      OsLog(OS_LOG_ERROR, "Flatbed is in use by another ADF...%d", static_cast<int>(eossts));
      DropFlatbedSession();
      return;
    }
  }
  const EDEVSTS edevsts =
      pod.m_pdevdevice->SessionBegin(m_pfnMessageProc.load(), DB_FIRMWARE_FLATBED, CompleteOpenCallback, this);
  // A busy flatbed never begins its session either: kept, it would leave
  // the feeder waiting for it and every setup failing on it.
  if (edevsts != DEV_STS_SUCCESS && edevsts != DEV_STS_NOTCOMPLETE) {
    OsLog(OS_LOG_ERROR, "SessionBegin failed for the flatbed...%d", static_cast<int>(edevsts));
    DropFlatbedSession();
  }
}

// The flatbed's device manager and image library unloaded, the flatbed
// left out of the configuration; the unloads wait for the libraries. The
// scanner's status is the feeder's from here on: a flatbed that went off
// line would otherwise leave the whole scanner reported off line.
void CDevImpl::DropFlatbedSession() {
  {
    CDbLockRelease dblockrelease;
    pod.m_pdevdevice->Unload(DB_FIRMWARE_FLATBED, pod.m_pdevdata);
  }
  DropFlatbed();
  pod.m_pdevdevice->RefreshDeviceStatus();
}

EOSSTS CDevImpl::NexilSessionBegin() {
  if (NexilOff() || !pod.m_pdevnexil) return OS_STS_SUCCESS;
  const EDBID_FIRMWARE edbidfirmware = pod.m_pdevdevice ? pod.m_pdevdevice->GetFirmware() : DEV_FIRMWARE_NONE;
  switch (edbidfirmware) {
    case DB_FIRMWARE_ADF:
    case DB_FIRMWARE_FLATBED: {
      const EOSSTS eossts = pod.m_pdevnexil->SessionBegin(edbidfirmware);
      if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "Failed to begin session %d...", edbidfirmware);
      return eossts;
    }
    case DB_FIRMWARE_BOTH: {
      const EOSSTS eossts = pod.m_pdevnexil->SessionBegin(DB_FIRMWARE_ADF);
      if (eossts != OS_STS_SUCCESS) {
        OsLog(OS_LOG_ERROR, "Failed to begin session %d...", DB_FIRMWARE_ADF);
        return eossts;
      }
      if (Configured(pod.m_pdatabase, s_szModelDirectoryFlatbed) &&
          pod.m_pdevnexil->SessionBegin(DB_FIRMWARE_FLATBED) != OS_STS_SUCCESS) {
        OsLogDebug(OS_LOG_INFO, "Failed to begin session %d...", DB_FIRMWARE_FLATBED);
        DropFlatbedSession();
      }
      return OS_STS_SUCCESS;
    }
    default:
      OsLogDebug(OS_LOG_INFO, "Skip sessionbegin for nexil");
      return OS_STS_SUCCESS;
  }
}

// No unit to open (a flatbed that its own front end does not drive): the
// scanner is only entered into the shared device list, from the "device"
// library's DEVICECONFIG resource in the home directory.
EOSSTS CDevImpl::RegisterInDeviceList() {
  OsLogDebug(OS_LOG_INFO, "Skip sessionbegin for flatbed (registering with pnp.list)...");
  const char* szHome = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_HOMEDIRECTORY) : "";
  std::string strConfig;
  for (const char* szName : {"device", "devicewia"}) {
    char szPath[512];
    if (!COsFile::PathJoin(szPath, sizeof szPath, szHome ? szHome : "", szName)) continue;
    COsFile::PathAppendDll(szPath, sizeof szPath);
    if (!COsFile::Exists(szPath)) continue;
    COsResource osresource;
    if (osresource.Open(szPath, "DEVICECONFIG", OS_RESOURCETYPE_DATA) == OS_STS_SUCCESS) {
      strConfig.assign(static_cast<const char*>(osresource.GetPointer()), osresource.GetSize());
      osresource.Close();
    }
    break;
  }
  if (strConfig.empty()) {
    OsLog(OS_LOG_ERROR, "Can't find device.dll file, continuing anyways without registering in pnp.list...");
    return OS_STS_SUCCESS;
  }
  const std::string strDeviceFile = ConfigText(pod.m_pdatabase, "devicefilename", "(unknown)");
  const std::string strFriendlyName = ConfigText(pod.m_pdatabase, "devicefriendlyname", "(unknown)");
  const std::string strSerialNumber = ConfigText(pod.m_pdatabase, "serialnumber", "0000000000000000");
  OsMemDelete(pod.m_posusb);
  pod.m_posusb = OsMemNew(COsUsb, strConfig.c_str(), strDeviceFile.c_str(), strFriendlyName.c_str(),
                          strSerialNumber.c_str(), false);
  if (!pod.m_posusb) {
    OsLog(OS_LOG_ERROR, "OsMemNew failed...");
    return static_cast<EOSSTS>(DEV_STS_LOWMEMORY);
  }
  return OS_STS_SUCCESS;
}
