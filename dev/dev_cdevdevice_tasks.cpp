// The adapter's tasks that need no scan or open logic: one command each,
// its children in the order the units expect, sent to its unit.
#include <cstdio>
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "db_cdblookup.h"
#include "dev_cdevdata.h"
#include "dev_cdevdevice.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosxml.h"
#include "os_cosxmltask.h"

namespace {
const char* Bool(bool a_bl) { return a_bl ? "true" : "false"; }

bool IsUnitSet(EDBID_FIRMWARE a_edbidfirmware) {
  if (a_edbidfirmware >= DB_FIRMWARE_ADF && a_edbidfirmware <= DB_FIRMWARE_BOTH) return true;
  OsLog(OS_LOG_ERROR, "Unrecognized a_edbidfirmware...%d", static_cast<int>(a_edbidfirmware));
  return false;
}

bool Missing(const void* a_pv, const char* a_szMessage) {
  if (a_pv) return false;
  OsLog(OS_LOG_ERROR, "%s", a_szMessage);
  return true;
}

// ---------------------------------------------------------------------------
// Interface and session
// ---------------------------------------------------------------------------
// The first refusal of the units' replies; success when none refused.
EDEVSTS FirstRefusal(EDEVSTS a_edevstsSoFar, EDEVSTS a_edevsts) {
  return a_edevstsSoFar != DEV_STS_SUCCESS ? a_edevstsSoFar : a_edevsts;
}
}  // namespace

// A library joins its callback threads at interfaceclose: no lock held.
EDEVSTS CDevDevice::InterfaceClose(EDBID_FIRMWARE a_edbidfirmware) {
  if (!IsUnitSet(a_edbidfirmware)) return DEV_STS_FAIL;
  CDbLockRelease dbrelease;
  EDEVSTS edevsts = DEV_STS_SUCCESS;
  if (a_edbidfirmware & DB_FIRMWARE_ADF) edevsts = TellWord(DB_FIRMWARE_ADF, "interfaceclose");
  if (a_edbidfirmware & DB_FIRMWARE_FLATBED)
    edevsts = FirstRefusal(edevsts, TellWord(DB_FIRMWARE_FLATBED, "interfaceclose"));
  if (edevsts != DEV_STS_SUCCESS) OsLog(OS_LOG_ERROR, "interfaceclose refused by the scanner...%d", edevsts);
  return edevsts;
}

// Each unit's online marker goes first: other processes see the scanner
// free from here on.
EDEVSTS CDevDevice::SessionEnd(EDBID_FIRMWARE a_edbidfirmware, CDevData* a_pdevdata) {
  if (!IsUnitSet(a_edbidfirmware)) return DEV_STS_FAIL;
  for (EDBID_FIRMWARE edbidfirmware : {DB_FIRMWARE_ADF, DB_FIRMWARE_FLATBED}) {
    if (a_pdevdata && (a_edbidfirmware & edbidfirmware)) a_pdevdata->DestroyOnlineFile(edbidfirmware);
  }
  EDEVSTS edevsts = DEV_STS_SUCCESS;
  if ((a_edbidfirmware & DB_FIRMWARE_ADF) && m_blSessionOpenAdf.load()) {
    edevsts = TellWord(DB_FIRMWARE_ADF, "sessionend");
    m_blSessionOpenAdf.store(false);
  }
  if ((a_edbidfirmware & DB_FIRMWARE_FLATBED) && m_blSessionOpenFlatbed.load()) {
    edevsts = FirstRefusal(edevsts, TellWord(DB_FIRMWARE_FLATBED, "sessionend"));
    m_blSessionOpenFlatbed.store(false);
  }
  if (edevsts != DEV_STS_SUCCESS) OsLog(OS_LOG_ERROR, "sessionend refused by the scanner...%d", edevsts);
  return edevsts;
}

// Only a scanner that offers its feeder bounces it.
EDEVSTS CDevDevice::SessionBounce() {
  if (IsEmpty("SessionBounce")) return DEV_STS_FAIL;
  {
    CDbLockGuard dblock;
    CDbDatum* pdbdatum = m_pdatabase->Find(DB_ID_FIRMWARE);
    if (!pdbdatum || !m_pdatabase->EnumHasCurrentItem(pdbdatum, DB_FIRMWARE_ADF)) {
      OsLogDebug(OS_LOG_INFO, "SessionBounce: no feeder offered, nothing sent...");
      return DEV_STS_SUCCESS;
    }
    m_pdatabase->SetCurrentLong(pdbdatum, DB_FIRMWARE_ADF, false);
  }
  return TellWord(DB_FIRMWARE_ADF, "sessionbounce");
}

// ---------------------------------------------------------------------------
// Callbacks and status
// ---------------------------------------------------------------------------
EDEVSTS CDevDevice::RegisterCallback(EDBID_FIRMWARE a_edbidfirmware, const char* a_szName,
                                     PFNDEVCALLBACK a_pfnCallback, void* a_pvArgument) {
  if (Missing(a_szName, "a_szCallbackname is null...")) return DEV_STS_FAIL;
  return Exchange(
      a_edbidfirmware, "registercallback",
      [&](COsXmlTask& a_osxmltask) {
        a_osxmltask.AddArgument("callbackname", a_szName);
        a_osxmltask.AddArgumentHexPtr("functionptr", reinterpret_cast<const void*>(a_pfnCallback));
        a_osxmltask.AddArgumentHexPtr("userargumentptr", a_pvArgument);
      },
      DevDispatchTarget::Database(m_pdatabase));
}

EDEVSTS CDevDevice::NotifyDeviceStatusDeviceOnline(EDBID_FIRMWARE a_edbidfirmware, bool a_blOnline) {
  return Exchange(
      a_edbidfirmware, "notifydevicestatus",
      [&](COsXmlTask& a_osxmltask) {
        a_osxmltask.AddArgument("deviceonline", Bool(a_blOnline));
        if (a_edbidfirmware != DB_FIRMWARE_ADF || !m_pdatabase->ConfigExists("devicefilename", DB_CONFIGTARGET_COMMON))
          return;
        const char* szDeviceFilename = m_pdatabase->ConfigGetString("devicefilename", DB_CONFIGTARGET_COMMON);
        a_osxmltask.AddArgument("devicefilename", szDeviceFilename ? szDeviceFilename : "");
      },
      DevDispatchTarget::Database(m_pdatabase));
}

// ---------------------------------------------------------------------------
// Operator panel, meters, cartridge
// ---------------------------------------------------------------------------
EDEVSTS CDevDevice::SetOcpButtons(EDBID_FIRMWARE a_edbidfirmware, const char* a_szButtons) {
  return Exchange(
      a_edbidfirmware, "setocpbuttons",
      [&](COsXmlTask& a_osxmltask) {
        a_osxmltask.AddArgument("language", m_pdatabase->ConfigUseLanguage(true, a_edbidfirmware));
        if (a_szButtons && a_szButtons[0]) a_osxmltask.AddPassThrough(a_szButtons);
      },
      DevDispatchTarget::None());
}

EDEVSTS CDevDevice::GetOcpButton(EDBID_FIRMWARE a_edbidfirmware) {
  return Exchange(a_edbidfirmware, "getocpbutton", nullptr, DevDispatchTarget::Database(m_pdatabase));
}

namespace {
// A reply the meter tasks must have.
bool Replied(const char* a_szReply) {
  if (a_szReply) return true;
  OsLog(OS_LOG_ERROR, "ScannerEntry failed...");
  return false;
}
}  // namespace

EDEVSTS CDevDevice::SetConsumableMeter(const char* a_szSetconsumablemeter) {
  return Meter("setconsumablemeter", a_szSetconsumablemeter, "a_pszSetconsumablemeter is null...");
}

EDEVSTS CDevDevice::ResetConsumableMeter(const char* a_szResetconsumablemeter) {
  return Meter("resetconsumablemeter", a_szResetconsumablemeter, "a_pszResetconsumablemeter is null...");
}

// The caller's meter element goes to the feeder as it stands.
EDEVSTS CDevDevice::Meter(const char* a_szCommand, const char* a_szMeter, const char* a_szNull) {
  if (Missing(a_szMeter, a_szNull)) return DEV_STS_FAIL;
  return Exchange(
      DB_FIRMWARE_ADF, a_szCommand, [&](COsXmlTask& a_osxmltask) { a_osxmltask.AddPassThrough(a_szMeter); },
      DevDispatchTarget::Database(m_pdatabase), Replied);
}

// The meters' content goes to the caller in a block as long as the reply.
EDEVSTS CDevDevice::GetConsumableMeters(char** a_ppszConsumableMeters) {
  if (Missing(a_ppszConsumableMeters, "a_ppszConsumablemeters is null...")) return DEV_STS_FAIL;
  *a_ppszConsumableMeters = nullptr;
  return Exchange(DB_FIRMWARE_ADF, "getconsumablemeters", nullptr, DevDispatchTarget::Database(m_pdatabase),
                  [&](const char* a_szReply) {
                    if (!Replied(a_szReply)) return false;
                    const size_t sizetReply = std::strlen(a_szReply) + 1;
                    auto* szMeters = static_cast<char*>(OsMemAlloc(sizetReply));
                    if (Missing(szMeters, "OsMemAlloc failed...")) return false;
                    COsXml::GetContent(a_szReply, "<reportconsumablemeters>", "</reportconsumablemeters>", szMeters,
                                       sizetReply);
                    *a_ppszConsumableMeters = szMeters;
                    return true;
                  });
}

EDEVSTS CDevDevice::GetCartridgeDetected() {
  return Exchange(CurrentFirmware(), "getcartridgedetected", nullptr, DevDispatchTarget::Database(m_pdatabase));
}

// ---------------------------------------------------------------------------
// Logs
// ---------------------------------------------------------------------------
// The log type goes out as the lexicon names of LOG and of the record's type.
EDEVSTS CDevDevice::GetLog(DeviceLog* a_pdevicelog) {
  if (Missing(a_pdevicelog, "a_pdevicelog is null...") || IsEmpty("GetLog")) return DEV_STS_FAIL;
  CDbLockGuard dblock;
  CDbDatum* pdbdatum = m_pdatabase->Find(DB_ID_LOG);
  if (Missing(pdbdatum, "Unable to get hdbdatum of DB_ID_LOG...")) return DEV_STS_FAIL;
  DbLookup2* pdblookup2 = m_pdatabase->LookupGet(pdbdatum);
  DbLookupEnum* pdblookupenum =
      pdblookup2 ? m_pdatabase->LookupDbEnum(pdblookup2, static_cast<long>(a_pdevicelog->u32LogType)) : nullptr;
  if (!pdblookupenum || !pdblookup2->szLexicon || !pdblookupenum->szLexiconEnum) {
    OsLog(OS_LOG_ERROR, "Unable to find the lookup for logtype...%u", a_pdevicelog->u32LogType);
    return DEV_STS_FAIL;
  }
  const EDBID_FIRMWARE edbidfirmware = a_pdevicelog->edbidfirmware;
  return Exchange(
      edbidfirmware, "getlog",
      [&](COsXmlTask& a_osxmltask) {
        a_osxmltask.AddArgument("language", m_pdatabase->ConfigUseLanguage(true, edbidfirmware));
        a_osxmltask.AddArgument(pdblookup2->szLexicon, pdblookupenum->szLexiconEnum);
      },
      DevDispatchTarget::Log(a_pdevicelog));
}

EDEVSTS CDevDevice::GetDebugLog(DeviceLog* a_pdevicelog) {
  if (Missing(a_pdevicelog, "a_pdevicelog is null...")) return DEV_STS_FAIL;
  return Exchange(CurrentFirmware(), "getdebuglog", nullptr, DevDispatchTarget::Log(a_pdevicelog));
}

EDEVSTS CDevDevice::ClearLog(const char* a_szLogType) {
  if (Missing(a_szLogType, "a_szLogtype is null...")) return DEV_STS_FAIL;
  return Exchange(
      CurrentFirmware(), "clearlog", [&](COsXmlTask& a_osxmltask) { a_osxmltask.AddArgument("logtype", a_szLogType); },
      DevDispatchTarget::Database(m_pdatabase));
}

// ---------------------------------------------------------------------------
// Messages, setup, configuration reads, firmware download
// ---------------------------------------------------------------------------
// The relayed messages of the reply land in data buffer 0, emptied first.
EDEVSTS CDevDevice::MessageRelay(EDBID_FIRMWARE a_edbidfirmware, const char* a_szMessage) {
  if (IsEmpty("MessageRelay")) return DEV_STS_FAIL;
  CDbLockGuard dblock;
  m_pdatabase->SetData(nullptr, false);
  return Exchange(
      a_edbidfirmware, "messagerelay",
      [&](COsXmlTask& a_osxmltask) {
        if (a_szMessage && a_szMessage[0]) a_osxmltask.AddPassThrough(a_szMessage);
      },
      DevDispatchTarget::Database(m_pdatabase));
}

EDEVSTS CDevDevice::SetupBegin(EDBID_FIRMWARE a_edbidfirmware, bool a_blSetupScan) {
  return Exchange(
      a_edbidfirmware, "setupbegin",
      [&](COsXmlTask& a_osxmltask) { a_osxmltask.AddArgument("setupscan", Bool(a_blSetupScan)); },
      DevDispatchTarget::Database(m_pdatabase));
}

EDEVSTS CDevDevice::SetupEnd(EDBID_FIRMWARE a_edbidfirmware, bool a_blCancel) {
  return Exchange(
      a_edbidfirmware, "setupend",
      [&](COsXmlTask& a_osxmltask) { a_osxmltask.AddArgument("cancel", Bool(a_blCancel)); },
      DevDispatchTarget::Database(m_pdatabase));
}

EDEVSTS CDevDevice::GetConfig(EDBID_FIRMWARE a_edbidfirmware, EDBID a_edbid) {
  if (IsEmpty("GetConfig")) return DEV_STS_FAIL;
  CDbLockGuard dblock;
  DbLookup2* pdblookup2 = m_pdatabase->LookupEdbid(a_edbid);
  if (!pdblookup2 || !pdblookup2->szLexicon || !pdblookup2->szLexicon[0]) {
    OsLog(OS_LOG_ERROR, "Unrecognized a_edbid...%d", static_cast<int>(a_edbid));
    return DEV_STS_FAIL;
  }
  return Exchange(
      a_edbidfirmware, "getconfig",
      [&](COsXmlTask& a_osxmltask) { a_osxmltask.AddArgument("id", pdblookup2->szLexicon); },
      DevDispatchTarget::Database(m_pdatabase));
}

// The caller's own task: numbered and sent under the general builder's
// lock, as every task whose reply goes to the database.
EDEVSTS CDevDevice::GetConfig(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask) {
  if (Missing(a_posxmltask, "a_posxmltask is null...") || IsEmpty("GetConfig")) return DEV_STS_FAIL;
  CDbLockGuard dblock;
  std::lock_guard<std::recursive_mutex> lock(m_amutexBuilder[DEV_BUILDER_GENERAL]);
  const char* szReply = ScannerEntry(a_edbidfirmware, a_posxmltask, 0);
  return Dispatch(szReply, DevDispatchTarget::Database(m_pdatabase), false, a_edbidfirmware);
}

EDEVSTS CDevDevice::DownloadBegin(EDBID_FIRMWARE a_edbidfirmware, const char* a_szFilename, unsigned int a_uSize) {
  if (Missing(a_szFilename, "a_szFilename is null...")) return DEV_STS_FAIL;
  char szSize[16];
  std::snprintf(szSize, sizeof szSize, "%u", a_uSize);
  return Exchange(
      a_edbidfirmware, "downloadbegin",
      [&](COsXmlTask& a_osxmltask) {
        a_osxmltask.StartCommand("datafile", 2);
        a_osxmltask.AddArgumentCheck("filename", a_szFilename);
        a_osxmltask.AddArgument("datasize", szSize);
        a_osxmltask.AddArgument("dataoffset", "0");
        a_osxmltask.FinalizeCommand("datafile");
      },
      DevDispatchTarget::Database(m_pdatabase));
}

EDEVSTS CDevDevice::DownloadRun(EDBID_FIRMWARE a_edbidfirmware) {
  return Exchange(a_edbidfirmware, "downloadrun", nullptr, DevDispatchTarget::Database(m_pdatabase));
}

EDEVSTS CDevDevice::DownloadEnd(EDBID_FIRMWARE a_edbidfirmware) {
  return Exchange(a_edbidfirmware, "downloadend", nullptr, DevDispatchTarget::Database(m_pdatabase));
}
