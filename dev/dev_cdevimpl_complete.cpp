// Completing the opening: the units' image and button callbacks, the ECDO
// lists and the image library's version, the capability callbacks and the
// values from the device, the messages the device managers and the image
// library exchange, the profile, the report inquiry, the device files, the
// opencomplete event, and the resource lock given back.
//
// CompleteOpen runs on the caller's thread, "OpenDevice" or a library's
// callback thread while the caller goes on with its tasks: it takes the
// database lock for each piece of database work and never holds it across
// an exchange (the adapters give it up themselves).
#include <string>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "dev_cdevdata.h"
#include "dev_cdevdevice.h"
#include "dev_cdevimpl.h"
#include "dev_cdevnexil.h"
#include "os_coscfg.h"
#include "os_coslog.h"

namespace {

const char s_szModelDirectoryFlatbed[] = "modeldirectoryflatbed";
// The exchange of messages ends here when the two sides never stop.
constexpr int s_iRelayRounds = 1000;

bool Configured(CDatabase* a_pdatabase, const char* a_szId) {
  CDbLockGuard dblockguard;
  return a_pdatabase->ConfigExists(a_szId, DB_CONFIGTARGET_COMMON);
}

bool HasFeeder(CDatabase* a_pdatabase) {
  CDbLockGuard dblockguard;
  return a_pdatabase->ConfigEnumExists("papersource", "adf", DB_CONFIGTARGET_COMMON);
}

bool NexilOff() { return OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCENEXILOFF, 0) != 0; }

}  // namespace

EOSSTS CDevImpl::CompleteOpenCallback(void* a_pvArg) {
  auto* pdevimpl = static_cast<CDevImpl*>(a_pvArg);
  if (!pdevimpl) {
    OsLog(OS_LOG_ERROR, "a_pvArg is null...");
    return OS_STS_FAIL;
  }
  pdevimpl->CompleteOpen(true);
  return OS_STS_SUCCESS;
}

void CDevImpl::CompleteOpen(bool a_blFromCallback) {
  OsLogDebug(OS_LOG_INFO, ">>> CDevImpl::CompleteOpen(%d)", a_blFromCallback ? 1 : 0);
  if (!pod.m_pdatabase || !pod.m_pdevdevice) {
    OsLog(OS_LOG_ERROR, "CompleteOpen: the interface is not open...");
    return;
  }
  if (a_blFromCallback && !CompleteOpenCalledBack()) return;
  if (RegisterUnitCallbacks() != OS_STS_SUCCESS) return;
  GetEcdo();
  if (!NexilOff() && pod.m_pdevnexil) pod.m_pdevnexil->GetVersion();
  if (pod.m_edevdriver != DEV_DRIVER_STI) UpdateDatabase();
  MessageRelay(DB_FIRMWARE_ADF);
  MessageRelay(DB_FIRMWARE_FLATBED);
  SelectProfile();
  // The opencomplete event carries the inquiry: it is built first.
  CreateReportInquiry();
  WriteDeviceFiles();
  if (Configured(pod.m_pdatabase, "monitorbuttonevents")) SetDriverEvent(DEV_EVENT_OPENCOMPLETE, nullptr);
  pod.m_pdevdevice->SetAllowResourceLock(true);
  if (!Configured(pod.m_pdatabase, "skipresourceunlock")) {
    ResourceUnlock();
    ResourceUnlock();
  }
}

// Called back by a device manager: a scanner of both units begins the
// flatbed's session here when it has not yet. False when the completion
// stops here (the flatbed calls back later, or nothing is to complete).
bool CDevImpl::CompleteOpenCalledBack() {
  switch (pod.m_pdevdevice->GetFirmware()) {
    case DB_FIRMWARE_ADF:
    case DB_FIRMWARE_FLATBED:
      return true;
    case DB_FIRMWARE_BOTH:
      break;
    default:
      OsLogDebug(OS_LOG_INFO, "Skip completeopen");
      return false;
  }
  if (!Configured(pod.m_pdatabase, s_szModelDirectoryFlatbed) || pod.m_blFlatbedSessionBegun) return true;
  pod.m_blFlatbedSessionBegun = true;
  const EDEVSTS edevsts =
      pod.m_pdevdevice->SessionBegin(m_pfnMessageProc.load(), DB_FIRMWARE_FLATBED, CompleteOpenCallback, this);
  if (edevsts == DEV_STS_NOTCOMPLETE) return false;
  if (edevsts == DEV_STS_SUCCESS) return true;
  OsLog(OS_LOG_ERROR, "Failed to begin session...%d", static_cast<int>(edevsts));
  DropFlatbedSession();
  CDbLockGuard dblockguard;
  if (!pod.m_pdatabase->ConfigProcessReportInquiry(nullptr, pod.m_pdev)) {
    OsLog(OS_LOG_ERROR, "ConfigProcessReportInquiry failed...");
    return false;
  }
  return true;
}

// Images and buttons of each unit come back through the device object.
EOSSTS CDevImpl::RegisterUnitCallbacks() {
  struct UnitCallbacks {
    EDBID_FIRMWARE edbidfirmware;
    EOSSTS (*pfnButtonEvent)(void*);
  };
  for (const UnitCallbacks& unitcallbacks : {UnitCallbacks{DB_FIRMWARE_ADF, CallBackButtonEventAdf},
                                             UnitCallbacks{DB_FIRMWARE_FLATBED, CallBackButtonEventFlatbed}}) {
    const bool blUnit = unitcallbacks.edbidfirmware == DB_FIRMWARE_ADF
                            ? HasFeeder(pod.m_pdatabase)
                            : Configured(pod.m_pdatabase, s_szModelDirectoryFlatbed);
    if (!blUnit) continue;
    EOSSTS eossts = RegisterCallback(unitcallbacks.edbidfirmware, "imageavailable", CallBackImageAvailable, this);
    if (eossts != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "RegisterCallback failed...%d", static_cast<int>(eossts));
      return eossts;
    }
    eossts = RegisterCallback(unitcallbacks.edbidfirmware, "buttonevent", unitcallbacks.pfnButtonEvent, this);
    if (eossts != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "Report status failed from <registercallback> buttonevent...%d", static_cast<int>(eossts));
      return eossts;
    }
  }
  return OS_STS_SUCCESS;
}

// Defaults from the model, the capability callbacks, then the values the
// device reports.
void CDevImpl::UpdateDatabase() {
  CDbLockGuard dblockguard;
  pod.m_pdatabase->FixDefaultAll();
  RegisterDatabaseCallbacks();
  pod.m_pdatabase->DeviceUpdateAll();
  if (pod.m_pdatabase->IsIdSupported(DB_ID_IMAGEADDRESS)) {
    const char* szScanner = pod.m_pdatabase->GetCurrentStringFromId(DB_ID_IMAGEADDRESSSCANNER);
    OsLogDebug(OS_LOG_INFO, "DB_ID_IMAGEADDRESSSCANNER...%s", szScanner ? szScanner : "");
  }
}

// The configured profile, else "Default", else the null profile, else the
// reset settings.
void CDevImpl::SelectProfile() {
  CDbLockGuard dblockguard;
  CDatabase& database = *pod.m_pdatabase;
  const bool blItem = database.ConfigExists("profileitem", DB_CONFIGTARGET_COMMON);
  const char* szItem = blItem ? database.ConfigGetString("profileitem", DB_CONFIGTARGET_COMMON) : nullptr;
  const std::string strItem = szItem ? szItem : "";
  if (blItem) OsLogDebug(OS_LOG_INFO, "SessionBegin profile: <%s>", strItem.c_str());
  database.SetDbState(DB_STATE_DEVICEUPDATE);
  bool blSelected = false;
  if (!strItem.empty()) {
    blSelected = database.ProfileSetCurrent(strItem.c_str()) == DB_STS_SUCCESS;
    if (!blSelected) OsLog(OS_LOG_ERROR, "profile: ProfileSetCurrent(%s) failed...", strItem.c_str());
  }
  if (!blSelected && database.ProfileSetCurrent("Default") != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "profile: ProfileSetCurrent(Default) failed...");
    if (database.ProfileSetCurrent(static_cast<const char*>(nullptr)) != DB_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "profile: ProfileSetCurrent(0) failed...");
      if (database.ProfileReset(true) != DB_STS_SUCCESS) OsLog(OS_LOG_ERROR, "profile: ProfileReset failed...");
    }
  }
  database.ClearDbState(DB_STATE_DEVICEUPDATE);
}

// The online marker and the device file of each unit of the session.
void CDevImpl::WriteDeviceFiles() {
  if (!pod.m_pdevdata) return;
  for (EDBID_FIRMWARE edbidfirmware : {DB_FIRMWARE_ADF, DB_FIRMWARE_FLATBED}) {
    const bool blUnit = edbidfirmware == DB_FIRMWARE_ADF ? HasFeeder(pod.m_pdatabase)
                                                        : Configured(pod.m_pdatabase, s_szModelDirectoryFlatbed);
    if (!blUnit) continue;
    pod.m_pdevdata->CreateOnlineFile(edbidfirmware, pod.m_pdatabase);
    pod.m_pdevdata->UpdateDeviceXml(edbidfirmware, pod.m_pdatabase, pod.m_pdev);
  }
}

// The device manager reads data buffer 1 and answers into buffer 0, the
// image library the other way round. A buffer is emptied as it is handed
// over, so that no message is delivered twice; a side that has said it has
// nothing more (a non-zero status, a success without a message counting as
// end of messages) is called again only when a message waits for it.
EOSSTS CDevImpl::MessageRelay(EDBID_FIRMWARE a_edbidfirmware) {
  if (NexilOff() || !pod.m_pdevnexil || !pod.m_pdevdevice) return OS_STS_SUCCESS;
  if (a_edbidfirmware == DB_FIRMWARE_FLATBED && !Configured(pod.m_pdatabase, s_szModelDirectoryFlatbed))
    return OS_STS_SUCCESS;
  EDEVSTS edevstsDevice = DEV_STS_SUCCESS;
  EDEVSTS edevstsNexil = DEV_STS_SUCCESS;
  for (int iRound = 0; iRound < s_iRelayRounds; ++iRound) {
    std::string strForDevice = TakeData(true);
    if (edevstsDevice == DEV_STS_SUCCESS || !strForDevice.empty()) {
      edevstsDevice = pod.m_pdevdevice->MessageRelay(a_edbidfirmware, strForDevice.c_str());
      if (edevstsDevice == DEV_STS_SUCCESS && PeekData(false).empty()) edevstsDevice = DEV_STS_ENDOFMESSAGES;
    }
    std::string strForNexil = TakeData(false);
    if (edevstsNexil == DEV_STS_SUCCESS || !strForNexil.empty()) {
      edevstsNexil = pod.m_pdevnexil->MessageRelay(a_edbidfirmware, strForNexil.c_str());
      if (edevstsNexil == DEV_STS_SUCCESS && PeekData(true).empty()) edevstsNexil = DEV_STS_ENDOFMESSAGES;
    }
    if (edevstsDevice != DEV_STS_SUCCESS && edevstsNexil != DEV_STS_SUCCESS && PeekData(false).empty() &&
        PeekData(true).empty()) {
      return OS_STS_SUCCESS;
    }
  }
  OsLog(OS_LOG_ERROR, "MessageRelay: no end after %d rounds, unit %d...", s_iRelayRounds,
        static_cast<int>(a_edbidfirmware));
  CDbLockGuard dblockguard;
  pod.m_pdatabase->SetData(nullptr, false);
  pod.m_pdatabase->SetData(nullptr, true);
  return OS_STS_FAIL;
}

std::string CDevImpl::PeekData(bool a_blSecond) {
  CDbLockGuard dblockguard;
  const char* sz = pod.m_pdatabase->GetData(a_blSecond);
  return sz ? sz : "";
}

std::string CDevImpl::TakeData(bool a_blSecond) {
  CDbLockGuard dblockguard;
  std::string str = PeekData(a_blSecond);
  pod.m_pdatabase->SetData(nullptr, a_blSecond);
  return str;
}
