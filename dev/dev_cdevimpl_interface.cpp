// The interface of the device object: opened once per driver session (the
// units of the scanner chosen by the interface kind, the session's objects
// made, the device managers and the image library loaded and opened, the
// named driver event created), closed before the object goes.
#include <cstdio>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdevdata.h"
#include "dev_cdevdevice.h"
#include "dev_cdevimpl.h"
#include "dev_cdevnexil.h"
#include "dev_cimgqueue.h"
#include "dev_waits.h"
#include "drv_cdriver.h"
#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cossync.h"
#include "os_costhread.h"
#include "os_costime.h"
#include "os_cosxmltask.h"

namespace {

const char s_szModelDirectoryFlatbed[] = "modeldirectoryflatbed";
// Milliseconds after the open time tried for a free driver event name.
constexpr int s_iDriverEventTries = 1000;

const char* Cfg(unsigned a_uTag) { return g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, a_uTag) : ""; }

// SystemDirectory/ModelDirectory/"lib"/name with the library suffix; false
// when it does not fit.
bool ModelLibraryPath(char* a_szPath, size_t a_sizetPath, const char* a_szName) {
  COsFile::PathSet(a_szPath, a_sizetPath, Cfg(OS_CFGTAG_SYSTEMDIRECTORY));
  if (COsFile::PathAppend(a_szPath, a_sizetPath, Cfg(OS_CFGTAG_MODELDIRECTORY)) != OS_STS_SUCCESS ||
      COsFile::PathAppend(a_szPath, a_sizetPath, "lib") != OS_STS_SUCCESS ||
      COsFile::PathAppend(a_szPath, a_sizetPath, a_szName) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "path too long...<%s>", a_szName);
    return false;
  }
  COsFile::PathAppendDll(a_szPath, a_sizetPath);
  return true;
}

bool NexilOff(CDatabase* a_pdatabase) {
  CDbLockGuard dblockguard;
  return OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCENEXILOFF, 0) != 0 || !a_pdatabase->IsIdSupported(DB_ID_NEXIL);
}

bool FlatbedConfigured(CDatabase* a_pdatabase) {
  CDbLockGuard dblockguard;
  return a_pdatabase->ConfigExists(s_szModelDirectoryFlatbed, DB_CONFIGTARGET_COMMON);
}

// "Failed to load library 1..." and the like; at debug level for a unit
// whose failure the open goes on without.
void LogFailure(bool a_blQuiet, const char* a_szWhat, EDBID_FIRMWARE a_edbidfirmware) {
  if (a_blQuiet) {
    OsLogDebug(OS_LOG_INFO, "Failed to %s %d...", a_szWhat, a_edbidfirmware);
  } else {
    OsLog(OS_LOG_ERROR, "Failed to %s %d...", a_szWhat, a_edbidfirmware);
  }
}

EOSSTS Failed(const char* a_szWhat) {
  OsLog(OS_LOG_ERROR, "OsMemNew failed...%s", a_szWhat);
  return OS_STS_FAIL;
}

}  // namespace

EOSSTS CDevImpl::InterfaceOpen(EDEVDRIVER a_edevdriver, CDev* a_pdev) {
  if (!pod.m_pdatabase) {
    OsLog(OS_LOG_ERROR, "pod.m_pdatabase is null...");
    return OS_STS_FAIL;
  }
  if (pod.m_pdevdevice) {
    if (m_blInterfaceClosed) return ReopenUnits(a_edevdriver);
    OsLog(OS_LOG_ERROR, "InterfaceOpen: the interface is open already...");
    return OS_STS_FAIL;
  }
  if (a_edevdriver < DEV_DRIVER_DEFAULT || a_edevdriver > DEV_DRIVER_STI) {
    OsLog(OS_LOG_ERROR, "Unrecognized a_edevdriver...%d, opened as the default kind", a_edevdriver);
  }
  pod.m_edbidfirmware = DB_FIRMWARE_ADF;
  pod.m_blFlatbedSessionBegun = false;
  pod.m_edevdriver = a_edevdriver;
  if (a_pdev) pod.m_pdev = a_pdev;

  pod.m_pdevdevice = OsMemNew(CDevDevice, pod.m_pdatabase, pod.m_pdev);
  if (!pod.m_pdevdevice) return Failed("CDevDevice");
  if (!NexilOff(pod.m_pdatabase)) {
    pod.m_pdevnexil = OsMemNew(CDevNexil, pod.m_pdatabase);
    if (!pod.m_pdevnexil) return Failed("CDevNexil");
  }
  {
    CDbLockGuard dblockguard;
    pod.m_posxmltaskDbMakeXml = pod.m_pdatabase->GetDbMakeXml();
  }
  EDEVWIAMODE edevwiamode = DEV_WIAMODE_NONE;
  const bool blUnits = ChooseUnits(&edevwiamode);
  pod.m_pdevdevice->WIAMode(edevwiamode);
  // The image library first: a host process starts now and its first task
  // (interfaceopen, below) waits for it, so that its start overlaps the
  // rest of the open.
  if (blUnits) NexilLoad(a_edevdriver);
  // The session's objects are made even when no unit is loaded: every
  // later operation relies on them once the open succeeded.
  EOSSTS eossts = CreateSessionObjects();
  if (eossts == OS_STS_SUCCESS && blUnits) eossts = OpenUnits();
  if (eossts != OS_STS_SUCCESS) {
    NexilAbandon();
    return eossts;
  }
  if (blUnits) {
    eossts = NexilInterfaceOpen(a_edevdriver);
    if (eossts != OS_STS_SUCCESS) return eossts;
  }
  return OpenDriverEvent();
}

// The units chosen at the first open, loaded and opened again; the driver
// event and the session's objects are those of the first open. What the
// units answered to the first open is not read: they answer anew.
EOSSTS CDevImpl::ReopenUnits(EDEVDRIVER a_edevdriver) {
  {
    CDbLockGuard dblockguard;
    pod.m_pdatabase->ConfigForgetReportInquiries();
  }
  if (!pod.m_pdevnexil && !NexilOff(pod.m_pdatabase)) {
    pod.m_pdevnexil = OsMemNew(CDevNexil, pod.m_pdatabase);
    if (!pod.m_pdevnexil) return Failed("CDevNexil");
  }
  if (pod.m_edbidfirmware != DEV_FIRMWARE_NONE) {
    NexilLoad(a_edevdriver);
    EOSSTS eossts = OpenUnits();
    if (eossts != OS_STS_SUCCESS) {
      NexilAbandon();
      return eossts;
    }
    eossts = NexilInterfaceOpen(a_edevdriver);
    if (eossts != OS_STS_SUCCESS) return eossts;
  }
  m_blInterfaceClosed = false;
  return OS_STS_SUCCESS;
}

// The units and the adapter's mode by the interface kind: the front ends of
// one unit (2 and 3) find the model's own library, or the feeder's or the
// flatbed's alone. False when no unit is to be loaded.
bool CDevImpl::ChooseUnits(EDEVWIAMODE* a_pedevwiamode) {
  *a_pedevwiamode = DEV_WIAMODE_NONE;
  if (pod.m_edevdriver != DEV_DRIVER_WIA && pod.m_edevdriver != DEV_DRIVER_STI) {
    pod.m_edbidfirmware = DB_FIRMWARE_BOTH;
    return true;
  }
  CDbLockGuard dblockguard;
  pod.m_edbidfirmware = static_cast<EDBID_FIRMWARE>(pod.m_pdatabase->GetDefaultLongFromId(DB_ID_FIRMWARE));
  char szPath[512];
  const char* szDeviceDll = pod.m_pdatabase->GetCurrentStringFromId(DB_ID_DEVICEDLL);
  const bool blLibrary = ModelLibraryPath(szPath, sizeof szPath, szDeviceDll ? szDeviceDll : "") &&
                         COsFile::Exists(szPath);
  if (blLibrary) {
    if (pod.m_edbidfirmware == DB_FIRMWARE_FLATBED) {
      pod.m_edbidfirmware = DEV_FIRMWARE_NONE;
    } else {
      *a_pedevwiamode = DEV_WIAMODE_BOTH;
      pod.m_edbidfirmware = DB_FIRMWARE_BOTH;
    }
  } else if (pod.m_edbidfirmware == DB_FIRMWARE_FLATBED) {
    pod.m_pdatabase->ConfigSetString(s_szModelDirectoryFlatbed, Cfg(OS_CFGTAG_MODELDIRECTORY),
                                     DB_CONFIGTARGET_COMMON);
    *a_pedevwiamode = DEV_WIAMODE_FLATBED;
  } else {
    *a_pedevwiamode = DEV_WIAMODE_ADF;
  }
  if (pod.m_edbidfirmware == DEV_FIRMWARE_NONE) {
    OsLogDebug(OS_LOG_INFO, "Skip loading firmware");
    return false;
  }
  return true;
}

// A failed creation stops the open; what was made stays until destruction.
EOSSTS CDevImpl::CreateSessionObjects() {
  if (!(pod.m_posthreadCalibrate = OsMemNew(COsThread))) return Failed("COsThread");
  if (!(pod.m_posthreadDiagnostic = OsMemNew(COsThread))) return Failed("COsThread");
  if (!(pod.m_possyncDriverEvent = OsMemNew(COsSync))) return Failed("COsSync");
  if (!(pod.m_preportinquiry = OsMemNew(COsXmlTask, nullptr, DEV_REPORTINQUIRY_SIZE))) return Failed("COsXmlTask");
  CDrvAssistant* pdrvassistant = pod.m_pdriver ? pod.m_pdriver->GetDrvAssistant() : nullptr;
  const struct {
    CImgQueue** ppimgqueue;
    int iCapacity;
    CDrvAssistant* pdrvassistant;
  } aqueue[] = {
      {&pod.m_pimgqueueApplication, DEV_QUEUE_APPLICATION, pdrvassistant},
      {&pod.m_pimgqueueExpectedImageEnd, DEV_QUEUE_EXPECTEDIMAGEEND, nullptr},
      {&pod.m_pimgqueueImageEnd, DEV_QUEUE_IMAGEEND, nullptr},
      {&pod.m_pimgqueueDeviceManagerScanThread, DEV_QUEUE_DEVICEMANAGERSCANTHREAD, nullptr},
  };
  for (const auto& queue : aqueue) {
    // Every consumer reads into a scan work buffer.
    *queue.ppimgqueue = OsMemNew(CImgQueue, queue.iCapacity, queue.pdrvassistant, DEV_SCAN_BUFFER_SIZE);
    // A queue whose records could not be allocated holds nothing.
    if (!*queue.ppimgqueue || (*queue.ppimgqueue)->GetCapacity() != queue.iCapacity) return Failed("CImgQueue");
  }
  if (!(pod.m_pdevdata = OsMemNew(CDevData))) return Failed("CDevData");
  if (!pod.m_pdevdata->IsValid()) return Failed("CDevDataXml");
  return OS_STS_SUCCESS;
}

EOSSTS CDevImpl::OpenUnits() {
  switch (pod.m_edbidfirmware) {
    case DB_FIRMWARE_BOTH: {
      const EOSSTS eossts = OpenUnit(DB_FIRMWARE_ADF, false, false);
      if (eossts != OS_STS_SUCCESS) return eossts;
      // A flatbed that cannot be opened is dropped: the feeder works alone.
      if (FlatbedConfigured(pod.m_pdatabase) && OpenUnit(DB_FIRMWARE_FLATBED, true, true) != OS_STS_SUCCESS) {
        DropFlatbed();
      }
      return OS_STS_SUCCESS;
    }
    case DB_FIRMWARE_ADF:
    case DB_FIRMWARE_FLATBED:
      return OpenUnit(pod.m_edbidfirmware, false, false);
    default:
      OsLogDebug(OS_LOG_INFO, "Skip loading firmware");
      return OS_STS_SUCCESS;
  }
}

// Loads a unit's device manager and opens its interface; a unit that
// loaded but did not open is unloaded again. A quiet failure is logged at
// debug level.
EOSSTS CDevImpl::OpenUnit(EDBID_FIRMWARE a_edbidfirmware, bool a_blCheckLoaded, bool a_blQuiet) {
  EDEVSTS edevsts = pod.m_pdevdevice->Load(a_edbidfirmware, a_blCheckLoaded);
  if (edevsts != DEV_STS_SUCCESS) {
    LogFailure(a_blQuiet, "load library", a_edbidfirmware);
    return static_cast<EOSSTS>(edevsts);
  }
  edevsts = pod.m_pdevdevice->InterfaceOpen(a_edbidfirmware);
  if (edevsts != DEV_STS_SUCCESS) {
    LogFailure(a_blQuiet, "open interface", a_edbidfirmware);
    pod.m_pdevdevice->Unload(a_edbidfirmware, pod.m_pdevdata);
    return static_cast<EOSSTS>(edevsts);
  }
  return OS_STS_SUCCESS;
}

void CDevImpl::DropFlatbed() {
  if (pod.m_pdevnexil) pod.m_pdevnexil->Unload(DB_FIRMWARE_FLATBED);
  CDbLockGuard dblockguard;
  pod.m_pdatabase->ConfigDelete(s_szModelDirectoryFlatbed, DB_CONFIGTARGET_COMMON);
}

// The image library's units of the session loaded: its library in
// process, or its host process started. Their results wait for
// NexilInterfaceOpen, which reports them where it always did.
void CDevImpl::NexilLoad(EDEVDRIVER a_edevdriver) {
  NexilForgetLoads();
  m_blNexilLoaded = true;
  if (!pod.m_pdatabase || !pod.m_pdevnexil || NexilOff(pod.m_pdatabase)) return;
  EDEVNEXILCALL edevnexilcall = pod.m_pdevnexil->GetEdevnexilcall();
  if (a_edevdriver == DEV_DRIVER_WIA) {
    char szPath[512];
    if (!ModelLibraryPath(szPath, sizeof szPath, "nexil") || !COsFile::Exists(szPath)) {
      OsLogDebug(OS_LOG_INFO, "no nexil for this interface...<%s>", szPath);
      if (g_poscfg) g_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCENEXILOFF, "1");
      OsMemDelete(pod.m_pdevnexil);
      return;
    }
    const long lNexilCall = OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCENEXILCALL, 0);
    if (edevnexilcall != DEV_NEXILCALL_DRAVIXDEFAULT) {
      edevnexilcall = lNexilCall == 0 ? DEV_NEXILCALL_DRAVIXDEFAULT : static_cast<EDEVNEXILCALL>(lNexilCall);
    }
  }
  m_edevnexilcallLoad = edevnexilcall;
  NexilLoadUnit(NexilFirstUnit());
  if (pod.m_edbidfirmware == DB_FIRMWARE_BOTH && FlatbedConfigured(pod.m_pdatabase)) {
    NexilLoadUnit(DB_FIRMWARE_FLATBED);
  }
}

void CDevImpl::NexilLoadUnit(EDBID_FIRMWARE a_edbidfirmware) {
  m_aeosstsNexilLoad[a_edbidfirmware] = pod.m_pdevnexil->Load(a_edbidfirmware, m_edevnexilcallLoad);
  m_ablNexilLoadTried[a_edbidfirmware] = true;
}

void CDevImpl::NexilForgetLoads() {
  m_blNexilLoaded = false;
  for (bool& blTried : m_ablNexilLoadTried) blTried = false;
}

// The open failed before the library's interface was opened: what was
// loaded goes (a host process never reached is stopped at once).
void CDevImpl::NexilAbandon() {
  if (pod.m_pdevnexil) pod.m_pdevnexil->Unload(DB_FIRMWARE_BOTH);
  NexilForgetLoads();
}

EDBID_FIRMWARE CDevImpl::NexilFirstUnit() const {
  return pod.m_edbidfirmware == DB_FIRMWARE_FLATBED ? DB_FIRMWARE_FLATBED : DB_FIRMWARE_ADF;
}

EOSSTS CDevImpl::NexilInterfaceOpen(EDEVDRIVER a_edevdriver) {
  if (!m_blNexilLoaded) NexilLoad(a_edevdriver);
  if (!pod.m_pdatabase || !pod.m_pdevnexil || NexilOff(pod.m_pdatabase)) {
    OsLogDebug(OS_LOG_INFO, "Skip loading nexil");
    NexilForgetLoads();
    return OS_STS_SUCCESS;
  }
  const EDBID_FIRMWARE edbidfirmware = NexilFirstUnit();
  const EOSSTS eossts = NexilOpenUnit(edbidfirmware, false);
  if (eossts != OS_STS_SUCCESS) {
    pod.m_pdevnexil->Unload(edbidfirmware);
    pod.m_pdevdevice->Unload(DB_FIRMWARE_BOTH, pod.m_pdevdata);
    OsMemDelete(pod.m_pdevnexil);
    NexilForgetLoads();
    return eossts;
  }
  // Like its device manager, a flatbed whose library cannot be opened is
  // dropped from the session.
  if (pod.m_edbidfirmware == DB_FIRMWARE_BOTH && FlatbedConfigured(pod.m_pdatabase) &&
      NexilOpenUnit(DB_FIRMWARE_FLATBED, true) != OS_STS_SUCCESS) {
    pod.m_pdevdevice->Unload(DB_FIRMWARE_FLATBED, pod.m_pdevdata);
    DropFlatbed();
  }
  NexilForgetLoads();
  return OS_STS_SUCCESS;
}

// The unit's load (made by NexilLoad, or now), then its interface: the
// first task, which waits for a host process to connect.
EOSSTS CDevImpl::NexilOpenUnit(EDBID_FIRMWARE a_edbidfirmware, bool a_blQuiet) {
  if (!m_ablNexilLoadTried[a_edbidfirmware]) NexilLoadUnit(a_edbidfirmware);
  EOSSTS eossts = m_aeosstsNexilLoad[a_edbidfirmware];
  if (eossts != OS_STS_SUCCESS) {
    LogFailure(a_blQuiet, "load library", a_edbidfirmware);
    return eossts;
  }
  eossts = pod.m_pdevnexil->InterfaceOpen(a_edbidfirmware);
  if (eossts != OS_STS_SUCCESS) LogFailure(a_blQuiet, "open interface", a_edbidfirmware);
  return eossts;
}

// "DriverEvent_" and the open time, so that the caller's side can wait on
// it by name. The events that killed sessions left are removed first: no
// later open meets their names again. A name another live session took (an
// open in the same millisecond) gives the next free millisecond.
EOSSTS CDevImpl::OpenDriverEvent() {
  COsSync::RemoveStaleEvents();
  OsTimeRecord ostimerecord = {};
  COsTime::GetSystemTime(&ostimerecord);
  time_t timet = 0;
  COsTime::ConvertSystemToTimet(&ostimerecord, &timet);
  const int64_t i64Now = static_cast<int64_t>(timet) * 1000 + ostimerecord.u16Milliseconds;
  EOSSTS eossts = OS_STS_ALREADY_EXISTS;
  for (int i = 0; i < s_iDriverEventTries && eossts == OS_STS_ALREADY_EXISTS; ++i) {
    const int64_t i64Ms = i64Now + i;
    COsTime::ConvertTimetToSystem(static_cast<time_t>(i64Ms / 1000), &ostimerecord);
    ostimerecord.u16Milliseconds = static_cast<uint16_t>(i64Ms % 1000);
    char szTime[32] = {};
    COsTime::GetStringTime(&ostimerecord, szTime, sizeof szTime);
    std::snprintf(pod.m_szDriverEventName, sizeof pod.m_szDriverEventName, "DriverEvent_%s", szTime);
    eossts = pod.m_possyncDriverEvent->EventCreateNew(pod.m_szDriverEventName);
  }
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "EventCreate failed...<%s>", pod.m_szDriverEventName);
    pod.m_szDriverEventName[0] = '\0';
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

// A library's callback may wait for the database lock while its
// interfaceclose joins it, so the close runs with that lock given up.
EDEVSTS CDevImpl::InterfaceClose() {
  CDbLockRelease dblockrelease;
  if (!pod.m_pdevnexil && !pod.m_pdevdevice) {
    OsLogDebug(OS_LOG_INFO, "InterfaceClose: the interface is not open");
    return DEV_STS_SUCCESS;
  }
  EDEVSTS edevsts = DEV_STS_SUCCESS;
  // The calibrate and diagnostic threads call into the libraries about to
  // go: diagnostics end at the device, calibration is stopped and joined.
  if (pod.m_pdevdevice) {
    DiagnosticStop();
    CalibrateStop();
  }
  if (pod.m_pdevnexil) pod.m_pdevnexil->Unload(DB_FIRMWARE_BOTH);
  if (pod.m_pdevdevice) {
    StopThread(pod.m_posthreadOpenDevice);
    edevsts = pod.m_pdevdevice->Unload(DB_FIRMWARE_BOTH, pod.m_pdevdata);
  }
  m_blInterfaceClosed = true;
  return edevsts;
}

void CDevImpl::DeleteAdapters() {
  OsMemDelete(pod.m_pdevdevice);
  OsMemDelete(pod.m_pdevnexil);
}

long CDevImpl::GetDeviceStatus() {
  return pod.m_pdevdevice ? pod.m_pdevdevice->GetDeviceStatus() : static_cast<long>(DEV_DEVICESTATUS_OFFLINE);
}

EDEVSTS CDevImpl::SessionBounce() {
  return pod.m_pdevdevice ? pod.m_pdevdevice->SessionBounce() : DEV_STS_SUCCESS;
}

EDEVSTS CDevImpl::GetConfig(EDBID_FIRMWARE a_edbidfirmware, EDBID a_edbid) {
  if (!pod.m_pdevdevice) {
    OsLog(OS_LOG_ERROR, "pod.m_pdevdevice is null...");
    return DEV_STS_FAIL;
  }
  return pod.m_pdevdevice->GetConfig(a_edbidfirmware, a_edbid);
}
