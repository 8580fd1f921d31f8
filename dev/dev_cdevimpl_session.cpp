// The session's device state: the units' resource lock and reservation,
// the setup brackets, the online notifications, the callbacks registered
// with a unit, the operator-panel buttons, the meters, the firmware
// download and the image library's pass-through.
#include <vector>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdevdevice.h"
#include "dev_cdevimpl.h"
#include "dev_cdevnexil.h"
#include "os_coscfg.h"
#include "os_coslog.h"

namespace {
bool NexilOff() { return OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCENEXILOFF, 0) != 0; }
}  // namespace

EOSSTS CDevImpl::ResourceLock() {
  OsLogDebug(OS_LOG_INFO, "ResourceLock...");
  if (!pod.m_pdevdevice) {
    OsLog(OS_LOG_ERROR, "pod.m_pdevdevice is null...");
    return OS_STS_FAIL;
  }
  return static_cast<EOSSTS>(pod.m_pdevdevice->ResourceLock());
}

void CDevImpl::ResourceUnlock() {
  OsLogDebug(OS_LOG_INFO, "ResourceUnlock...");
  if (!pod.m_pdevdevice) {
    OsLog(OS_LOG_ERROR, "pod.m_pdevdevice is null...");
    return;
  }
  pod.m_pdevdevice->ResourceUnlock();
}

EOSSTS CDevImpl::RegisterCallback(EDBID_FIRMWARE a_edbidfirmware, const char* a_szName, EOSSTS (*a_pfnCallback)(void*),
                                  void* a_pvArgument) {
  if (!pod.m_pdevdevice) {
    OsLog(OS_LOG_ERROR, "pod.m_pdevdevice is null...");
    return OS_STS_FAIL;
  }
  return static_cast<EOSSTS>(
      pod.m_pdevdevice->RegisterCallback(a_edbidfirmware, a_szName, a_pfnCallback, a_pvArgument));
}

// The reply of getocpbutton sets "ocpbutton".
long CDevImpl::GetOcpButton() {
  if (!pod.m_pdatabase) {
    OsLog(OS_LOG_ERROR, "pod.m_pdatabase is null...");
    return 0;
  }
  {
    CDbLockGuard dblockguard;
    if (!pod.m_pdatabase->ConfigEnumExists("papersource", "adf", DB_CONFIGTARGET_COMMON)) return 0;
  }
  const EOSSTS eossts = ResourceLock();
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "CDevImpl::Failed to lock resource %d", static_cast<int>(eossts));
    return 0;
  }
  const EDEVSTS edevsts = pod.m_pdevdevice->GetOcpButton(DB_FIRMWARE_ADF);
  ResourceUnlock();
  if (edevsts != DEV_STS_SUCCESS) return 0;
  CDbLockGuard dblockguard;
  return static_cast<long>(pod.m_pdatabase->ConfigGetNumber("ocpbutton", DB_CONFIGTARGET_COMMON));
}

void CDevImpl::ResourceRemainLocked(bool a_blRemainLocked) {
  if (pod.m_pdevdevice) pod.m_pdevdevice->SetAllowResourceLock(!a_blRemainLocked);
}

// The device managers are reserved first; the image library's reservation
// of the session's units follows, the flatbed's before the feeder's.
EOSSTS CDevImpl::ResourceBegin(bool a_blDisconnectWontUnlock) {
  if (!pod.m_pdevdevice) {
    OsLog(OS_LOG_ERROR, "pod.m_pdevdevice is null...");
    return OS_STS_FAIL;
  }
  const EOSSTS eossts = static_cast<EOSSTS>(pod.m_pdevdevice->ResourceBegin(a_blDisconnectWontUnlock));
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "ResourceBegin(devman) failed...%d", static_cast<int>(eossts));
    return eossts;
  }
  if (!NexilOff() && pod.m_pdevnexil) {
    const EOSSTS eosstsNexil = NexilResourceBegin();
    if (eosstsNexil != OS_STS_SUCCESS) {
      pod.m_pdevdevice->ResourceEnd();
      return eosstsNexil;
    }
  }
  ResourceRemainLocked(true);
  return OS_STS_SUCCESS;
}

EOSSTS CDevImpl::NexilResourceBegin() {
  const auto Begin = [this](EDBID_FIRMWARE a_edbidfirmware) {
    const EOSSTS eossts = pod.m_pdevnexil->ResourceBegin(a_edbidfirmware);
    if (eossts != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "ResourceBegin(nexil,%s) failed...%d",
            a_edbidfirmware == DB_FIRMWARE_FLATBED ? "flatbed" : "adf", static_cast<int>(eossts));
    }
    return eossts;
  };
  switch (pod.m_edbidfirmware) {
    case DB_FIRMWARE_ADF:
    case DB_FIRMWARE_FLATBED:
      return Begin(pod.m_edbidfirmware);
    case DB_FIRMWARE_BOTH: {
      const bool blFlatbed = FlatbedInSession();
      if (blFlatbed) {
        const EOSSTS eossts = Begin(DB_FIRMWARE_FLATBED);
        if (eossts != OS_STS_SUCCESS) return eossts;
      }
      const EOSSTS eossts = Begin(DB_FIRMWARE_ADF);
      if (eossts != OS_STS_SUCCESS && blFlatbed) pod.m_pdevnexil->ResourceEnd(DB_FIRMWARE_FLATBED);
      return eossts;
    }
    default:
      OsLog(OS_LOG_ERROR, "unrecognized value...%d", static_cast<int>(pod.m_edbidfirmware));
      return OS_STS_FAIL;
  }
}

EOSSTS CDevImpl::ResourceEnd() {
  if (!pod.m_pdevdevice) {
    OsLog(OS_LOG_ERROR, "pod.m_pdevdevice is null...");
    return OS_STS_FAIL;
  }
  ResourceRemainLocked(false);
  pod.m_pdevdevice->ResourceEnd();
  if (NexilOff() || !pod.m_pdevnexil) return OS_STS_SUCCESS;
  std::vector<EDBID_FIRMWARE> vecedbidfirmware;
  switch (pod.m_edbidfirmware) {
    case DB_FIRMWARE_ADF:
    case DB_FIRMWARE_FLATBED:
      vecedbidfirmware = {pod.m_edbidfirmware};
      break;
    case DB_FIRMWARE_BOTH:
      if (FlatbedInSession()) vecedbidfirmware.push_back(DB_FIRMWARE_FLATBED);
      vecedbidfirmware.push_back(DB_FIRMWARE_ADF);
      break;
    default:
      OsLog(OS_LOG_ERROR, "unrecognized value...%d", static_cast<int>(pod.m_edbidfirmware));
      return OS_STS_SUCCESS;
  }
  for (EDBID_FIRMWARE edbidfirmware : vecedbidfirmware) {
    pod.m_pdevnexil->ScanEnd(edbidfirmware, false);
    pod.m_pdevnexil->ResourceEnd(edbidfirmware);
  }
  return OS_STS_SUCCESS;
}

// The feeder, then the flatbed when it is part of the session; the first
// failure stops SetupBegin.
EOSSTS CDevImpl::SetupBegin(bool a_blSetupScan) {
  if (!pod.m_pdevdevice) {
    OsLog(OS_LOG_ERROR, "pod.m_pdevdevice is null...");
    return OS_STS_FAIL;
  }
  EOSSTS eossts = static_cast<EOSSTS>(pod.m_pdevdevice->SetupBegin(DB_FIRMWARE_ADF, a_blSetupScan));
  if (eossts != OS_STS_SUCCESS || !FlatbedInSession()) return eossts;
  return static_cast<EOSSTS>(pod.m_pdevdevice->SetupBegin(DB_FIRMWARE_FLATBED, a_blSetupScan));
}

EOSSTS CDevImpl::SetupEnd(bool a_blCancel) {
  if (!pod.m_pdevdevice) {
    OsLog(OS_LOG_ERROR, "pod.m_pdevdevice is null...");
    return OS_STS_FAIL;
  }
  EOSSTS eossts = static_cast<EOSSTS>(pod.m_pdevdevice->SetupEnd(DB_FIRMWARE_ADF, a_blCancel));
  if (FlatbedInSession()) eossts = static_cast<EOSSTS>(pod.m_pdevdevice->SetupEnd(DB_FIRMWARE_FLATBED, a_blCancel));
  return eossts;
}

// Unit 3 tells the flatbed (when there is one) and then the feeder.
void CDevImpl::NotifyDeviceStatusDeviceOnline(EDBID_FIRMWARE a_edbidfirmware, bool a_blOnline) {
  if (!pod.m_pdevdevice) {
    OsLog(OS_LOG_ERROR, "pod.m_pdevdevice is null...");
    return;
  }
  switch (a_edbidfirmware) {
    case DB_FIRMWARE_ADF:
    case DB_FIRMWARE_FLATBED:
      pod.m_pdevdevice->NotifyDeviceStatusDeviceOnline(a_edbidfirmware, a_blOnline);
      return;
    case DB_FIRMWARE_BOTH:
      if (FlatbedInSession()) pod.m_pdevdevice->NotifyDeviceStatusDeviceOnline(DB_FIRMWARE_FLATBED, a_blOnline);
      pod.m_pdevdevice->NotifyDeviceStatusDeviceOnline(DB_FIRMWARE_ADF, a_blOnline);
      return;
    default:
      OsLogDebug(OS_LOG_INFO, "Skip powersuspend");
  }
}

void CDevImpl::NotifyDeviceStatusDeviceOnline(bool a_blOnline) {
  NotifyDeviceStatusDeviceOnline(pod.m_pdevdevice ? pod.m_pdevdevice->GetFirmware() : DEV_FIRMWARE_NONE, a_blOnline);
}

EOSSTS CDevImpl::SetOcpButtons(const char* a_szButtons) {
  if (!pod.m_pdevdevice) {
    OsLog(OS_LOG_ERROR, "pod.m_pdevdevice is null...");
    return OS_STS_FAIL;
  }
  return static_cast<EOSSTS>(pod.m_pdevdevice->SetOcpButtons(CurrentFirmware(), a_szButtons));
}

// The meters are asked only while the scanner is on line.
EOSSTS CDevImpl::GetConsumableMeters(char** a_ppszConsumableMeters) {
  if (GetDeviceStatus() != DEV_DEVICESTATUS_ONLINE) return OS_STS_FAIL;
  return static_cast<EOSSTS>(pod.m_pdevdevice->GetConsumableMeters(a_ppszConsumableMeters));
}

EOSSTS CDevImpl::SetConsumableMeter(const char* a_szMeter) {
  if (GetDeviceStatus() != DEV_DEVICESTATUS_ONLINE) return OS_STS_FAIL;
  return static_cast<EOSSTS>(pod.m_pdevdevice->SetConsumableMeter(a_szMeter));
}

EOSSTS CDevImpl::ResetConsumableMeter(const char* a_szMeter) {
  if (GetDeviceStatus() != DEV_DEVICESTATUS_ONLINE) return OS_STS_FAIL;
  return static_cast<EOSSTS>(pod.m_pdevdevice->ResetConsumableMeter(a_szMeter));
}

EOSSTS CDevImpl::GetCartridgeDetected() {
  if (!pod.m_pdevdevice) {
    OsLog(OS_LOG_ERROR, "pod.m_pdevdevice is null...");
    return OS_STS_FAIL;
  }
  return static_cast<EOSSTS>(pod.m_pdevdevice->GetCartridgeDetected());
}

EOSSTS CDevImpl::ClearMeters() {
  if (!pod.m_pdatabase) {
    OsLog(OS_LOG_ERROR, "pod.m_pdatabase is null...");
    return OS_STS_SUCCESS;
  }
  CDbLockGuard dblockguard;
  CDatabase& database = *pod.m_pdatabase;
  database.SetCurrentStringFromId(DB_ID_METERFIRSTSCAN, "");
  database.SetCurrentLongFromId(DB_ID_METERPAGECOUNT, 0, false);
  database.SetCurrentLongFromId(DB_ID_METERLAMPFRONT, 0, false);
  for (EDBID edbid : {DB_ID_METERLAMPREAR, DB_ID_METERPOWER, DB_ID_METERTRANSPORT}) {
    if (database.IsIdSupported(edbid)) database.SetCurrentLongFromId(edbid, 0, false);
  }
  return OS_STS_SUCCESS;
}

EOSSTS CDevImpl::DownloadBegin(const char* a_szFilename, unsigned int a_uSize) {
  if (!pod.m_pdevdevice) {
    OsLog(OS_LOG_ERROR, "pod.m_pdevdevice is null...");
    return OS_STS_FAIL;
  }
  return static_cast<EOSSTS>(pod.m_pdevdevice->DownloadBegin(CurrentFirmware(), a_szFilename, a_uSize));
}

// The firmware dialog shows the download and how it ended.
EOSSTS CDevImpl::DownloadRun() {
  if (!pod.m_pdevdevice) {
    OsLog(OS_LOG_ERROR, "pod.m_pdevdevice is null...");
    return OS_STS_FAIL;
  }
  MessageProc(DEV_DLG_FIRMWAREDOWNLOAD, DEV_MSG_DOWNLOADING, "", 0, DEV_BUTTONS_NONE);
  const EOSSTS eossts = static_cast<EOSSTS>(pod.m_pdevdevice->DownloadRun(CurrentFirmware()));
  MessageProc(DEV_DLG_FIRMWAREDOWNLOAD, eossts == OS_STS_SUCCESS ? DEV_MSG_SUCCESS : DEV_MSG_ERROR, "", 0,
              DEV_BUTTONS_NONE);
  return eossts;
}

EOSSTS CDevImpl::DownloadEnd() {
  if (!pod.m_pdevdevice) {
    OsLog(OS_LOG_ERROR, "pod.m_pdevdevice is null...");
    return OS_STS_FAIL;
  }
  return static_cast<EOSSTS>(pod.m_pdevdevice->DownloadEnd(CurrentFirmware()));
}

const char* CDevImpl::PassThroughNexil(const char* a_szXml) {
  if (!pod.m_pdevnexil) {
    OsLog(OS_LOG_ERROR, "pod.m_pdevnexil is null...");
    return nullptr;
  }
  return pod.m_pdevnexil->NexPassThrough(CurrentFirmware(), a_szXml);
}

EDBID_FIRMWARE CDevImpl::CurrentFirmware() {
  if (!pod.m_pdatabase) return DB_FIRMWARE_ADF;
  CDbLockGuard dblockguard;
  return static_cast<EDBID_FIRMWARE>(pod.m_pdatabase->GetCurrentLongFromId(DB_ID_FIRMWARE));
}

bool CDevImpl::FlatbedInSession() {
  if (!pod.m_pdatabase) return false;
  CDbLockGuard dblockguard;
  return pod.m_pdatabase->ConfigExists("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON);
}
