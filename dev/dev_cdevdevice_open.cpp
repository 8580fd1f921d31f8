// Opening a unit: its interface with the front end's debug and simulation
// settings, its session, and the completion of the open (versions, the
// model's support, the callbacks, and the model's report inquiry once every
// loaded unit is online). The completion runs on the caller's thread after
// a synchronous session begin, or on the library's thread when the library
// calls back.
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdevdevice.h"
#include "dev_waits.h"
#include "os_coslog.h"
#include "os_cosxmltask.h"

namespace {
constexpr long s_lPollMs = 100;

const char* Text(const char* a_sz) { return a_sz ? a_sz : ""; }
}  // namespace

// ---------------------------------------------------------------------------
// Interface open
// ---------------------------------------------------------------------------
// The reply's configuration report (the unit's model) is read as the
// unit's own: the unit is current while it is read, as the completion makes
// it later; otherwise a flatbed's reply would name the feeder's model.
EDEVSTS CDevDevice::InterfaceOpen(EDBID_FIRMWARE a_edbidfirmware) {
  if (IsEmpty("InterfaceOpen")) return DEV_STS_FAIL;
  CDbLockGuard dblock;
  const EDBID_FIRMWARE edbidfirmwareCurrent = CurrentFirmware();
  if (a_edbidfirmware == DB_FIRMWARE_ADF || a_edbidfirmware == DB_FIRMWARE_FLATBED)
    SetCurrentFirmware(a_edbidfirmware);
  const EDEVSTS edevsts = ExchangeOn(
      DEV_BUILDER_GENERAL, a_edbidfirmware, "interfaceopen",
      [&](COsXmlTask& a_osxmltask) {
        if ((a_edbidfirmware == DB_FIRMWARE_ADF || m_edevwiamode.load() == DEV_WIAMODE_FLATBED) &&
            m_pdatabase->ConfigExists("devicefilename", DB_CONFIGTARGET_COMMON)) {
          a_osxmltask.AddArgumentSafe("devicefilename",
                                      Text(m_pdatabase->ConfigGetString("devicefilename", DB_CONFIGTARGET_COMMON)));
        }
        const char* szImagesFromScanner = m_pdatabase->GetDebugRecord()->szImagesFromScanner;
        a_osxmltask.StartCommand("debug", 2);
        a_osxmltask.AddArgumentCheck("imagesfromscanner", szImagesFromScanner[0] ? szImagesFromScanner : "off");
        a_osxmltask.FinalizeCommand("debug");
        AddSimulate(a_osxmltask, a_edbidfirmware);
      },
      DevDispatchTarget::Database(m_pdatabase), nullptr, true);
  SetCurrentFirmware(edbidfirmwareCurrent);
  return edevsts;
}

// The flatbed simulates the simulated flatbed model; the flags go to both
// units alike, up to the first empty id.
void CDevDevice::AddSimulate(COsXmlTask& a_osxmltask, EDBID_FIRMWARE a_edbidfirmware) {
  const DbSimulationRecord& dbsimulationrecord = *m_pdatabase->GetSimulationRecord();
  a_osxmltask.StartCommand("simulate", 2);
  a_osxmltask.AddArgumentCheck("simulation",
                               dbsimulationrecord.szSimulation[0] ? dbsimulationrecord.szSimulation : "false");
  if (a_edbidfirmware != DB_FIRMWARE_FLATBED) {
    a_osxmltask.AddArgumentCheck("simmodel", dbsimulationrecord.aszModel[0]);
    a_osxmltask.AddArgumentCheck("simflatbed", dbsimulationrecord.aszFlatbed[0]);
  } else {
    a_osxmltask.AddArgumentCheck("simmodel", dbsimulationrecord.aszFlatbed[0]);
  }
  for (const DbSimFlag& dbsimflag : dbsimulationrecord.adbsimflag) {
    if (!dbsimflag.szId[0]) break;
    a_osxmltask.StartCommand("simflag", 3);
    a_osxmltask.AddArgumentCheck("id", dbsimflag.szId);
    a_osxmltask.AddArgumentCheck("value", dbsimflag.szValue);
    a_osxmltask.AddArgumentCheck("text", dbsimflag.szText);
    a_osxmltask.FinalizeCommand("simflag");
  }
  a_osxmltask.FinalizeCommand("simulate");
}

// ---------------------------------------------------------------------------
// Session begin
// ---------------------------------------------------------------------------
EDEVSTS CDevDevice::SessionBegin(PFNDEVMESSAGEMANAGER a_pfnMessageProc, EDBID_FIRMWARE a_edbidfirmware,
                                 PFNDEVCALLBACK a_pfnOpenComplete, void* a_pvOpenComplete) {
  if (IsEmpty("SessionBegin")) return DEV_STS_FAIL;
  if (a_edbidfirmware != DB_FIRMWARE_ADF && a_edbidfirmware != DB_FIRMWARE_FLATBED) {
    OsLog(OS_LOG_ERROR, "Unrecognized a_edbidfirmware...%d", static_cast<int>(a_edbidfirmware));
    return DEV_STS_FAIL;
  }
  m_pfnMessageProc.store(a_pfnMessageProc);
  {
    std::lock_guard<std::mutex> lock(m_mutexOpenComplete);
    m_pfnOpenComplete = a_pfnOpenComplete;
    m_pvOpenComplete = a_pvOpenComplete;
  }
  SetCurrentFirmware(a_edbidfirmware);
  const EDEVSTS edevsts = Exchange(
      a_edbidfirmware, "sessionbegin",
      [&](COsXmlTask& a_osxmltask) {
        AddOpenCallback(a_osxmltask, a_edbidfirmware);
        const char* szEolMode = m_pdatabase->ConfigEnumGetFirst("eolmode", DB_CONFIGTARGET_COMMON);
        a_osxmltask.AddArgumentCheck("eolmode", szEolMode ? szEolMode : "none");
        a_osxmltask.AddArgument("language", m_pdatabase->ConfigUseLanguage(true, a_edbidfirmware));
        if (a_edbidfirmware != DB_FIRMWARE_ADF || !m_pdatabase->ConfigExists("model", DB_CONFIGTARGET_FLATBED) ||
            !m_pdatabase->ConfigExists("devicetypeflatbed", DB_CONFIGTARGET_COMMON) ||
            !m_pdatabase->ConfigExists("devicefilenameflatbed", DB_CONFIGTARGET_COMMON)) {
          return;
        }
        a_osxmltask.StartCommand("resource", 2);
        a_osxmltask.AddArgumentCheck("model", Text(m_pdatabase->ConfigGetString("model", DB_CONFIGTARGET_FLATBED)));
        a_osxmltask.AddArgumentCheck("devicetype",
                                     Text(m_pdatabase->ConfigGetString("devicetypeflatbed", DB_CONFIGTARGET_COMMON)));
        a_osxmltask.AddArgumentSafe(
            "devicefilename", Text(m_pdatabase->ConfigGetString("devicefilenameflatbed", DB_CONFIGTARGET_COMMON)));
        a_osxmltask.FinalizeCommand("resource");
      },
      DevDispatchTarget::Database(m_pdatabase));
  if (edevsts == DEV_STS_BUSY) return edevsts;
  if (edevsts != DEV_STS_SUCCESS && edevsts != DEV_STS_NOTCOMPLETE) {
    OsLog(OS_LOG_ERROR, "Report status failed from <sessionbegin>...%d", static_cast<int>(edevsts));
    return edevsts;
  }
  (a_edbidfirmware == DB_FIRMWARE_FLATBED ? m_blSessionOpenFlatbed : m_blSessionOpenAdf).store(true);
  // Not complete: the library calls the open-complete entry point later.
  if (edevsts == DEV_STS_NOTCOMPLETE) return edevsts;
  return CompleteOpen(false, a_edbidfirmware);
}

// Button events (the WIA modes, "monitorbuttonevents") make the open
// asynchronous: the library calls back when it is complete. A simulated
// scanner has no buttons to watch.
void CDevDevice::AddOpenCallback(COsXmlTask& a_osxmltask, EDBID_FIRMWARE a_edbidfirmware) {
  if (m_edevwiamode.load() == DEV_WIAMODE_NONE &&
      !m_pdatabase->ConfigExists("monitorbuttonevents", DB_CONFIGTARGET_COMMON)) {
    a_osxmltask.AddArgument("monitorbuttonevents", "false");
    return;
  }
  const bool blSimulation = std::strcmp(m_pdatabase->GetSimulationRecord()->szSimulation, "true") == 0;
  a_osxmltask.AddArgument("monitorbuttonevents", blSimulation ? "false" : "true");
  a_osxmltask.AddArgument("callbackname", "interfaceopencomplete");
  const PFNDEVCALLBACK pfnCallback =
      a_edbidfirmware == DB_FIRMWARE_FLATBED ? CompleteOpenCallbackFlatbed : CompleteOpenCallbackAdf;
  a_osxmltask.AddArgumentHexPtr("functionptr", reinterpret_cast<const void*>(pfnCallback));
  a_osxmltask.AddArgumentHexPtr("userargumentptr", this);
}

// ---------------------------------------------------------------------------
// Completing the open
// ---------------------------------------------------------------------------
EDEVSTS CDevDevice::CompleteOpen(bool a_blFromCallback, EDBID_FIRMWARE a_edbidfirmware) {
  OsLogDebug(OS_LOG_INFO, "CompleteOpen: %p %d %d", static_cast<void*>(this), a_blFromCallback ? 1 : 0,
             static_cast<int>(a_edbidfirmware));
  if (IsEmpty("CompleteOpen")) return DEV_STS_FAIL;
  // The flatbed's completion, on its library's thread, needs the database
  // meanwhile; so does every other callback.
  CDbLockRelease dbrelease;
  if (a_edbidfirmware == DB_FIRMWARE_ADF) {
    bool blFlatbed;
    {
      CDbLockGuard dblock;
      blFlatbed = m_pdatabase->ConfigExists("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON);
    }
    if (blFlatbed) WaitForFlatbed();
  }
  bool blComplete = false;
  EDEVSTS edevsts;
  {
    std::lock_guard<std::mutex> lock(m_mutexCompleteOpen);
    OsLogDebug(OS_LOG_INFO, "CompleteOpen: past the lock...");
    edevsts = CompleteOpenLocked(a_edbidfirmware, blComplete);
  }
  if (!blComplete || !a_blFromCallback) return edevsts;
  PFNDEVCALLBACK pfnOpenComplete;
  void* pvOpenComplete;
  {
    std::lock_guard<std::mutex> lock(m_mutexOpenComplete);
    pfnOpenComplete = m_pfnOpenComplete;
    pvOpenComplete = m_pvOpenComplete;
  }
  if (pfnOpenComplete) pfnOpenComplete(pvOpenComplete);
  return edevsts;
}

// Until the flatbed's completion has marked it online; not for a flatbed
// without a session (it never completes) or whose session has ended (its
// adapter is closing).
void CDevDevice::WaitForFlatbed() {
  OsLogDebug(OS_LOG_INFO, "CompleteOpen: adf is waiting for the flatbed...");
  const long lLimit = DevWaitLimit(DEV_WAIT_FLATBEDOPEN);
  const auto timepointStart = std::chrono::steady_clock::now();
  long lWaited = 0;
  while (lWaited < lLimit && !IsOnline(DB_FIRMWARE_FLATBED) && m_blSessionOpenFlatbed.load() &&
         m_pfnScannerEntryFlatbed.load()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(s_lPollMs, lLimit - lWaited)));
    lWaited = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - timepointStart)
                                    .count());
  }
  OsLogDebug(OS_LOG_INFO, "CompleteOpen: adf is done waiting for the flatbed...%u", static_cast<unsigned>(lWaited));
}

// Under the complete-open mutex, without the database lock (each task takes
// it). a_blComplete: the whole scanner is open now.
EDEVSTS CDevDevice::CompleteOpenLocked(EDBID_FIRMWARE a_edbidfirmware, bool& a_blComplete) {
  if (a_edbidfirmware != 0) SetCurrentFirmware(a_edbidfirmware);
  const EDBID_FIRMWARE edbidfirmware = CurrentFirmware();
  const bool blFlatbed = edbidfirmware == DB_FIRMWARE_FLATBED;
  SetDeviceStatus(edbidfirmware, 1);
  static const char* const s_aszQuery[] = {"getversionuser", "querysupport"};
  for (const char* szQuery : s_aszQuery) {
    const EDEVSTS edevsts = Exchange(edbidfirmware, szQuery, nullptr, DevDispatchTarget::Database(m_pdatabase));
    if (edevsts == DEV_STS_SUCCESS) continue;
    OsLog(OS_LOG_ERROR, "CompleteOpen: exiting, Report status failed from <%s>...", szQuery);
    return edevsts;
  }
  EDEVSTS edevsts =
      blFlatbed ? RegisterCallback(DB_FIRMWARE_FLATBED, "connectionchange", CallBackSetDeviceStatusFlatbed, this)
                : RegisterCallback(edbidfirmware, "connectionchange", CallBackSetDeviceStatusAdf, this);
  if (edevsts == DEV_STS_SUCCESS && !blFlatbed)
    edevsts = RegisterCallback(edbidfirmware, "pnpchange", CallBackPnpChange, this);
  if (edevsts != DEV_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "CompleteOpen: exiting, Report status failed from <registercallback>...");
    return edevsts;
  }
  // With both units the inquiry waits for the second one to come online.
  if (GetFirmware() == DB_FIRMWARE_BOTH && !(IsOnline(DB_FIRMWARE_ADF) && IsOnline(DB_FIRMWARE_FLATBED))) {
    OsLogDebug(OS_LOG_INFO, "CompleteOpen: exiting...");
    return DEV_STS_SUCCESS;
  }
  {
    CDbLockGuard dblock;
    if (!m_pdatabase->ConfigProcessReportInquiry(nullptr, m_pdev)) {
      OsLog(OS_LOG_ERROR, "CompleteOpen: exiting, ConfigProcessReportInquiry failed...");
      return DEV_STS_FAIL;
    }
  }
  a_blComplete = true;
  OsLogDebug(OS_LOG_INFO, "CompleteOpen: exiting...");
  return DEV_STS_SUCCESS;
}
