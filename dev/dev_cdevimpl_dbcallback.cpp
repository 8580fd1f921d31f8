// The capability callbacks: the capabilities whose values live in the
// scanner (meters, magnification, serial number, time, power timeouts, the
// paper source, the motors, lamps and backgrounds a diagnostic session moves
// by hand). A read asks the scanner before the database answers, a write
// sends the new value after it was set. One table row per callback.
//
// They run inside a database read or write, the database lock held, and
// send their tasks under it (the adapter's lock order allows it); none waits
// for a library's callback. State 1 is set around each exchange, so that the
// values its reply writes do not fire the callbacks again; since the state
// word is process-wide, every other callback returns at once meanwhile.
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbdatum.h"
#include "db_cdblock.h"
#include "dev_cdevdevice.h"
#include "dev_cdevimpl.h"
#include "dp_cdispatch.h"
#include "dp_store.h"
#include "os_coslog.h"

// What a capability callback does once its guards passed.
enum EDEVCAPACTION : int {
  DEV_CAPACTION_SETCONFIG,       // the new value to the current unit
  DEV_CAPACTION_SETCONFIGUNITS,  // to the feeder, and to the flatbed when there is one; state 1 left alone
  DEV_CAPACTION_GETCONFIG,       // the scanner's value asked for
  DEV_CAPACTION_SERIALNUMBER,    // asked for, then the configured serial number set
  DEV_CAPACTION_DIAGNOSTIC,      // the new value run, unless it is the cycle value
  DEV_CAPACTION_FEEDERLOADED,    // the feeder's sensor, through the scan
  DEV_CAPACTION_DEVICEONLINE,    // the user told whether the scanner is there
  DEV_CAPACTION_ECDO,            // the dropout lists read again
};

// Which unit a callback talks to.
enum EDEVCAPUNIT : int {
  DEV_CAPUNIT_CURRENT,     // the current FIRMWARE value
  DEV_CAPUNIT_ONLYFEEDER,  // the current one, and only when it is the feeder
  DEV_CAPUNIT_NOTFLATBED,  // the current one, unless it is the flatbed
  DEV_CAPUNIT_FEEDER,      // the feeder, whatever unit is current
};

// The guards, as flags.
constexpr unsigned DEV_CAPGUARD_ONLINE = 1;      // nothing while the scanner is off line
constexpr unsigned DEV_CAPGUARD_IDLE = 2;        // nothing in a preview or while a scan runs
constexpr unsigned DEV_CAPGUARD_DIAGNOSTIC = 4;  // only inside a diagnostic session

constexpr unsigned Bit(EDBSTATE a_edbstate) { return 1u << a_edbstate; }
constexpr unsigned s_uWriteQuiet = Bit(DB_STATE_DEVICEUPDATE);
constexpr unsigned s_uSettingQuiet = Bit(DB_STATE_DEVICEUPDATE) | Bit(DB_STATE_LOADING) | Bit(DB_STATE_GUI);
constexpr unsigned s_uReadQuiet = Bit(DB_STATE_DEVICEUPDATE) | Bit(DB_STATE_DIAGNOSTIC) | Bit(DB_STATE_GUISETVALUE);
constexpr unsigned s_uReadGuards = DEV_CAPGUARD_ONLINE | DEV_CAPGUARD_IDLE;
constexpr unsigned s_uDiagnosticGuards = DEV_CAPGUARD_ONLINE | DEV_CAPGUARD_IDLE | DEV_CAPGUARD_DIAGNOSTIC;

struct DevCapabilityCallback {
  const char* szName;  // as the log names it
  EDBID edbid;
  EDBBIN edbbin;
  EDBCALLBACK edbcallback;
  EDEVCAPACTION edevcapaction;
  unsigned uQuiet;   // the database states (as bits) in which it does nothing
  unsigned uGuards;  // DEV_CAPGUARD_ flags
  EDEVCAPUNIT edevcapunit;
  bool blStatus;  // the adapter's result becomes the device status
  long lCycle;    // a diagnostic's cycle value, run by the diagnostic thread
};

namespace {

constexpr EDBCALLBACK GETLONG = DB_CALLBACK_GETLONG;
constexpr EDBCALLBACK GETSTRING = DB_CALLBACK_GETSTRING;
constexpr EDBCALLBACK SETLONG = DB_CALLBACK_SETLONG;
constexpr EDBCALLBACK SETSTRING = DB_CALLBACK_SETSTRING;
constexpr EDBBIN MACHINE = DB_BIN_MACHINE;

constexpr DevCapabilityCallback Diagnostic(const char* a_szName, EDBID a_edbid, EDEVCAPUNIT a_edevcapunit,
                                           long a_lCycle) {
  return {a_szName,
          a_edbid,
          MACHINE,
          SETLONG,
          DEV_CAPACTION_DIAGNOSTIC,
          Bit(DB_STATE_DEVICEUPDATE),
          s_uDiagnosticGuards,
          a_edevcapunit,
          false,
          a_lCycle};
}
constexpr DevCapabilityCallback Write(const char* a_szName, EDBID a_edbid, EDBCALLBACK a_edbcallback,
                                      EDEVCAPACTION a_edevcapaction, unsigned a_uQuiet, bool a_blStatus) {
  return {
      a_szName,   a_edbid, MACHINE, a_edbcallback, a_edevcapaction, a_uQuiet, DEV_CAPGUARD_ONLINE, DEV_CAPUNIT_CURRENT,
      a_blStatus, 0};
}
constexpr DevCapabilityCallback Read(const char* a_szName, EDBID a_edbid, EDBCALLBACK a_edbcallback,
                                     EDEVCAPUNIT a_edevcapunit, bool a_blStatus) {
  return {a_szName,     a_edbid,       MACHINE,       a_edbcallback, DEV_CAPACTION_GETCONFIG,
          s_uReadQuiet, s_uReadGuards, a_edevcapunit, a_blStatus,    0};
}

constexpr long s_lCycle = 3;
constexpr long s_lCycleFlatbed = 4;

// Registered in this order.
constexpr DevCapabilityCallback s_adevcapabilitycallback[] = {
    Diagnostic("CallBackBackgroundFront", DB_ID_DIAGBACKGROUNDFRONT, DEV_CAPUNIT_CURRENT, s_lCycle),
    Diagnostic("CallBackBackgroundRear", DB_ID_DIAGBACKGROUNDREAR, DEV_CAPUNIT_CURRENT, s_lCycle),
    Diagnostic("CallBackElevator", DB_ID_DIAGELEVATOR, DEV_CAPUNIT_CURRENT, s_lCycle),
    Diagnostic("CallBackCoolingFan", DB_ID_DIAGCOOLINGFAN, DEV_CAPUNIT_CURRENT, s_lCycle),
    Write("CallBackEnergyStar", DB_ID_ENERGYSTAR, SETLONG, DEV_CAPACTION_SETCONFIGUNITS, s_uSettingQuiet, false),
    Write("CallBackPowerOffTimeout", DB_ID_POWEROFFTIMEOUT, SETLONG, DEV_CAPACTION_SETCONFIGUNITS, s_uSettingQuiet,
          false),
    Write("CallBackPowerOffTimeoutEnabled", DB_ID_POWEROFFTIMEOUTENABLED, SETLONG, DEV_CAPACTION_SETCONFIGUNITS,
          s_uSettingQuiet, false),
    Diagnostic("CallBackFeederClutch", DB_ID_DIAGFEEDERCLUTCH, DEV_CAPUNIT_CURRENT, s_lCycle),
    Diagnostic("CallBackFrontLamps", DB_ID_DIAGFRONTLAMPS, DEV_CAPUNIT_CURRENT, s_lCycle),
    Diagnostic("CallBackRearLamps", DB_ID_DIAGREARLAMPS, DEV_CAPUNIT_NOTFLATBED, s_lCycle),
    Diagnostic("CallBackRearExit", DB_ID_DIAGREAREXIT, DEV_CAPUNIT_NOTFLATBED, s_lCycle),
    Diagnostic("CallBackTransportMotor", DB_ID_DIAGTRANSPORTMOTOR, DEV_CAPUNIT_CURRENT, s_lCycle),
    Diagnostic("CallBackFlatbed", DB_ID_DIAGFLATBED, DEV_CAPUNIT_CURRENT, s_lCycleFlatbed),
    {"CallBackFeederLoaded", DB_ID_FEEDERLOADED, MACHINE, GETLONG, DEV_CAPACTION_FEEDERLOADED,
     Bit(DB_STATE_DEVICEUPDATE), DEV_CAPGUARD_ONLINE, DEV_CAPUNIT_CURRENT, false, 0},
    Read("CallBackGetMagnificationFrontX", DB_ID_MAGNIFICATIONFRONTX, GETLONG, DEV_CAPUNIT_ONLYFEEDER, true),
    Write("CallBackSetMagnificationFrontX", DB_ID_MAGNIFICATIONFRONTX, SETLONG, DEV_CAPACTION_SETCONFIG, s_uWriteQuiet,
          true),
    Read("CallBackGetMagnificationFrontY", DB_ID_MAGNIFICATIONFRONTY, GETLONG, DEV_CAPUNIT_ONLYFEEDER, true),
    Write("CallBackSetMagnificationFrontY", DB_ID_MAGNIFICATIONFRONTY, SETLONG, DEV_CAPACTION_SETCONFIG, s_uWriteQuiet,
          true),
    Read("CallBackGetMagnificationRearX", DB_ID_MAGNIFICATIONREARX, GETLONG, DEV_CAPUNIT_ONLYFEEDER, true),
    Write("CallBackSetMagnificationRearX", DB_ID_MAGNIFICATIONREARX, SETLONG, DEV_CAPACTION_SETCONFIG, s_uWriteQuiet,
          true),
    Read("CallBackGetMagnificationRearY", DB_ID_MAGNIFICATIONREARY, GETLONG, DEV_CAPUNIT_ONLYFEEDER, true),
    Write("CallBackSetMagnificationRearY", DB_ID_MAGNIFICATIONREARY, SETLONG, DEV_CAPACTION_SETCONFIG, s_uWriteQuiet,
          true),
    Read("CallBackTimeDate", DB_ID_TIMEDATE, GETSTRING, DEV_CAPUNIT_CURRENT, false),
    Read("CallBackTimeDateUtc", DB_ID_TIMEDATEUTC, GETSTRING, DEV_CAPUNIT_CURRENT, false),
    Read("CallBackGetMeterLampFront", DB_ID_METERLAMPFRONT, GETLONG, DEV_CAPUNIT_CURRENT, false),
    Write("CallBackSetMeterLampFront", DB_ID_METERLAMPFRONT, SETLONG, DEV_CAPACTION_SETCONFIG, s_uWriteQuiet, false),
    Read("CallBackGetMeterLampRear", DB_ID_METERLAMPREAR, GETLONG, DEV_CAPUNIT_ONLYFEEDER, false),
    Write("CallBackSetMeterLampRear", DB_ID_METERLAMPREAR, SETLONG, DEV_CAPACTION_SETCONFIG, s_uWriteQuiet, false),
    Read("CallBackGetMeterPageCount", DB_ID_METERPAGECOUNT, GETLONG, DEV_CAPUNIT_CURRENT, false),
    Write("CallBackSetMeterPageCount", DB_ID_METERPAGECOUNT, SETLONG, DEV_CAPACTION_SETCONFIG, s_uWriteQuiet, false),
    Read("CallBackGetMeterPower", DB_ID_METERPOWER, GETLONG, DEV_CAPUNIT_CURRENT, false),
    Write("CallBackSetMeterPower", DB_ID_METERPOWER, SETLONG, DEV_CAPACTION_SETCONFIG, s_uWriteQuiet, false),
    Read("CallBackGetMeterTransport", DB_ID_METERTRANSPORT, GETLONG, DEV_CAPUNIT_CURRENT, false),
    Write("CallBackSetMeterTransport", DB_ID_METERTRANSPORT, SETLONG, DEV_CAPACTION_SETCONFIG, s_uWriteQuiet, false),
    Read("CallBackGetMeterFirstScan", DB_ID_METERFIRSTSCAN, GETSTRING, DEV_CAPUNIT_CURRENT, false),
    Write("CallBackSetMeterFirstScan", DB_ID_METERFIRSTSCAN, SETSTRING, DEV_CAPACTION_SETCONFIG, s_uWriteQuiet, false),
    Write("CallBackSetSerialNumber", DB_ID_SERIALNUMBER, SETSTRING, DEV_CAPACTION_SETCONFIG,
          Bit(DB_STATE_DEVICEUPDATE) | Bit(DB_STATE_LOADING), true),
    {"CallBackGetSerialNumber", DB_ID_SERIALNUMBER, MACHINE, GETSTRING, DEV_CAPACTION_SERIALNUMBER, s_uReadQuiet,
     s_uReadGuards, DEV_CAPUNIT_CURRENT, true, 0},
    {"CallBackGetImageAddressScanner", DB_ID_IMAGEADDRESSSCANNER, MACHINE, GETSTRING, DEV_CAPACTION_GETCONFIG,
     s_uReadQuiet | Bit(DB_STATE_REPORTREAD), s_uReadGuards, DEV_CAPUNIT_FEEDER, true, 0},
    {"CallBackSetDeviceOnline", DB_ID_DEVICEONLINE, MACHINE, SETLONG, DEV_CAPACTION_DEVICEONLINE, 0, 0,
     DEV_CAPUNIT_CURRENT, false, 0},
    {"CallBackEcdo", DB_ID_ECDO, DB_BIN_BITONAL_FRONT, DB_CALLBACK_LOAD, DEV_CAPACTION_ECDO, 0, 0, DEV_CAPUNIT_CURRENT,
     false, 0},
    Write("CallBackPaperSource", DB_ID_PAPERSOURCE, SETLONG, DEV_CAPACTION_SETCONFIG, s_uSettingQuiet, true),
};

// The database calls a function per kind; the datum names the row.
template <EDBCALLBACK K>
EOSSTS CallBackOfKind(void* a_pvDbCallbackRecord) {
  return CDevImpl::CallBackCapability(K, a_pvDbCallbackRecord);
}

PFNDBCALLBACK Entry(EDBCALLBACK a_edbcallback) {
  switch (a_edbcallback) {
    case DB_CALLBACK_GETLONG:
      return CallBackOfKind<DB_CALLBACK_GETLONG>;
    case DB_CALLBACK_GETSTRING:
      return CallBackOfKind<DB_CALLBACK_GETSTRING>;
    case DB_CALLBACK_SETLONG:
      return CallBackOfKind<DB_CALLBACK_SETLONG>;
    case DB_CALLBACK_SETSTRING:
      return CallBackOfKind<DB_CALLBACK_SETSTRING>;
    case DB_CALLBACK_LOAD:
      return CallBackOfKind<DB_CALLBACK_LOAD>;
  }
  return nullptr;
}

const DevCapabilityCallback* Row(EDBID a_edbid, EDBBIN a_edbbin, EDBCALLBACK a_edbcallback) {
  for (const DevCapabilityCallback& devcapabilitycallback : s_adevcapabilitycallback) {
    if (devcapabilitycallback.edbid == a_edbid && devcapabilitycallback.edbbin == a_edbbin &&
        devcapabilitycallback.edbcallback == a_edbcallback)
      return &devcapabilitycallback;
  }
  return nullptr;
}

// A machine value read as it stands (no callback of its own fires).
long Current(CDatabase& a_database, EDBID a_edbid, long a_lFallback) {
  CDbDatum* pdbdatum = a_database.Find(a_edbid);
  return pdbdatum ? pdbdatum->GetCurrentLongNoCallback() : a_lFallback;
}

EDBID_FIRMWARE CurrentUnit(CDatabase& a_database) {
  return static_cast<EDBID_FIRMWARE>(Current(a_database, DB_ID_FIRMWARE, DB_FIRMWARE_ADF));
}

}  // namespace

EOSSTS CDevImpl::RegisterDatabaseCallbacks() {
  if (!pod.m_pdatabase) {
    OsLog(OS_LOG_ERROR, "pod.m_pdatabase is null...");
    return OS_STS_FAIL;
  }
  CDatabase& database = *pod.m_pdatabase;
  CDbLockGuard dblockguard;
  EOSSTS eosstsFirst = OS_STS_SUCCESS;
  for (const DevCapabilityCallback& devcapabilitycallback : s_adevcapabilitycallback) {
    // The dropout lists are loaded only where the scanner has them.
    if (devcapabilitycallback.edevcapaction == DEV_CAPACTION_ECDO && !database.IsIdSupported(DB_ID_ECDO)) continue;
    const EOSSTS eossts =
        database.RegisterCallback(devcapabilitycallback.edbcallback, devcapabilitycallback.edbid,
                                  devcapabilitycallback.edbbin, Entry(devcapabilitycallback.edbcallback), this);
    if (eossts == OS_STS_SUCCESS) continue;
    OsLog(OS_LOG_ERROR, "RegisterCallback failed...%s %d", devcapabilitycallback.szName, static_cast<int>(eossts));
    if (eosstsFirst == OS_STS_SUCCESS) eosstsFirst = eossts;
  }
  m_blDatabaseCallbacks.store(true);
  return eosstsFirst;
}

// The database outlives the object: no callback may name it afterwards.
void CDevImpl::UnregisterDatabaseCallbacks() {
  if (!m_blDatabaseCallbacks.exchange(false) || !pod.m_pdatabase) return;
  CDbLockGuard dblockguard;
  for (const DevCapabilityCallback& devcapabilitycallback : s_adevcapabilitycallback) {
    CDbDatum* pdbdatum = pod.m_pdatabase->FindInWindowBin(static_cast<EDBID_WINDOW>(0), devcapabilitycallback.edbbin,
                                                          devcapabilitycallback.edbid);
    if (pdbdatum) pdbdatum->RegisterCallback(devcapabilitycallback.edbcallback, nullptr, nullptr);
  }
}

EOSSTS CDevImpl::CallBackCapability(EDBCALLBACK a_edbcallback, void* a_pvDbCallbackRecord) {
  const auto* pdbcallbackrecord = static_cast<const DbCallbackRecord*>(a_pvDbCallbackRecord);
  if (!pdbcallbackrecord || !pdbcallbackrecord->pdatabase || !pdbcallbackrecord->pdbdatum) {
    OsLog(OS_LOG_ERROR, "a_pvDbCallbackRecord is null or incomplete...");
    return OS_STS_FAIL;
  }
  auto* pdevimpl = static_cast<CDevImpl*>(pdbcallbackrecord->pvUser);
  if (!pdevimpl) {
    OsLog(OS_LOG_ERROR, "pdevimpl is null...");
    return OS_STS_FAIL;
  }
  CDbDatum* pdbdatum = pdbcallbackrecord->pdbdatum;
  const DevCapabilityCallback* pdevcapabilitycallback = Row(pdbdatum->GetId(), pdbdatum->GetBin(), a_edbcallback);
  if (!pdevcapabilitycallback) {
    OsLog(OS_LOG_ERROR, "No capability callback of kind %d for %d in bin %d...", static_cast<int>(a_edbcallback),
          static_cast<int>(pdbdatum->GetId()), static_cast<int>(pdbdatum->GetBin()));
    return OS_STS_FAIL;
  }
  CDatabase& database = *pdbcallbackrecord->pdatabase;
  CDbLockGuard dblockguard;
  if (!pdevimpl->CapabilityAllowed(*pdevcapabilitycallback, database)) return OS_STS_SUCCESS;
  return pdevimpl->RunCapability(*pdevcapabilitycallback, database, pdbdatum);
}

bool CDevImpl::CapabilityAllowed(const DevCapabilityCallback& a_devcapabilitycallback, CDatabase& a_database) {
  // A value a reply writes came from the scanner, whatever the state word
  // says; only the message goes out.
  if (CDispatch::IsWalking() && a_devcapabilitycallback.edevcapaction != DEV_CAPACTION_DEVICEONLINE) {
    OsLogDebug(OS_LOG_INFO, "%s: the value comes from the scanner, nothing sent", a_devcapabilitycallback.szName);
    return false;
  }
  for (int iState = DB_STATE_DEVICEUPDATE; iState <= DB_STATE_REPORTREAD; ++iState) {
    if ((a_devcapabilitycallback.uQuiet & Bit(static_cast<EDBSTATE>(iState))) &&
        a_database.TestDbState(static_cast<EDBSTATE>(iState)))
      return false;
  }
  const unsigned uGuards = a_devcapabilitycallback.uGuards;
  if ((uGuards & DEV_CAPGUARD_DIAGNOSTIC) && !a_database.TestDbState(DB_STATE_DIAGNOSTIC)) return false;
  if ((uGuards & DEV_CAPGUARD_IDLE) &&
      (Current(a_database, DB_ID_PREVIEWMODE, 0) == DB_ID_PREVIEWMODE_ENUM_TRUE || ScanIsScanning()))
    return false;
  if ((uGuards & DEV_CAPGUARD_ONLINE) && GetDeviceStatus() != DEV_DEVICESTATUS_ONLINE) return false;
  const EDBID_FIRMWARE edbidfirmware = CurrentUnit(a_database);
  switch (a_devcapabilitycallback.edevcapunit) {
    case DEV_CAPUNIT_ONLYFEEDER:
      return edbidfirmware == DB_FIRMWARE_ADF;
    case DEV_CAPUNIT_NOTFLATBED:
      return edbidfirmware != DB_FIRMWARE_FLATBED;
    default:
      return true;
  }
}

EOSSTS CDevImpl::RunCapability(const DevCapabilityCallback& a_devcapabilitycallback, CDatabase& a_database,
                               CDbDatum* a_pdbdatum) {
  const EDEVCAPACTION edevcapaction = a_devcapabilitycallback.edevcapaction;
  switch (edevcapaction) {
    case DEV_CAPACTION_DEVICEONLINE:
      MessageProc(DEV_DLG_SCANNING,
                  a_pdbdatum->GetCurrentLongNoCallback() == DB_ID_DEVICEONLINE_ENUM_TRUE ? DEV_MSG_CLEARGUIVISIBLE
                                                                                         : DEV_MSG_DEVICEOFFLINE,
                  nullptr, 0, DEV_BUTTONS_NONE);
      return OS_STS_SUCCESS;
    case DEV_CAPACTION_ECDO:
      return GetEcdo();
    case DEV_CAPACTION_FEEDERLOADED: {
      const long lLoaded = ScanIsFeederLoaded(false);
      a_database.ForceCurrentLong(a_pdbdatum, lLoaded ? lLoaded : 1);
      return OS_STS_SUCCESS;
    }
    case DEV_CAPACTION_DIAGNOSTIC:
      // The diagnostic thread runs the cycling.
      if (a_pdbdatum->GetCurrentLongNoCallback() == a_devcapabilitycallback.lCycle) return OS_STS_SUCCESS;
      break;
    default:
      break;
  }
  if (!pod.m_pdevdevice) {
    OsLog(OS_LOG_ERROR, "pod.m_pdevdevice is null...%s", a_devcapabilitycallback.szName);
    return OS_STS_FAIL;
  }
  const EDBID edbid = a_devcapabilitycallback.edbid;
  const EDBID_FIRMWARE edbidfirmware =
      a_devcapabilitycallback.edevcapunit == DEV_CAPUNIT_FEEDER ? DB_FIRMWARE_ADF : CurrentUnit(a_database);
  EDEVSTS edevsts;
  if (edevcapaction == DEV_CAPACTION_SETCONFIGUNITS) {
    edevsts = pod.m_pdevdevice->SetConfig(DB_FIRMWARE_ADF, edbid);
    if (a_database.ConfigExists("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON))
      pod.m_pdevdevice->SetConfig(DB_FIRMWARE_FLATBED, edbid);
  } else {
    CDpFromScanner dpfromscanner(a_database);
    if (edevcapaction == DEV_CAPACTION_SETCONFIG) {
      edevsts = pod.m_pdevdevice->SetConfig(edbidfirmware, edbid);
    } else if (edevcapaction == DEV_CAPACTION_DIAGNOSTIC) {
      edevsts = pod.m_pdevdevice->DiagnosticRun(edbidfirmware, edbid);
    } else {
      edevsts = pod.m_pdevdevice->GetConfig(edbidfirmware, edbid);
    }
    if (edevcapaction == DEV_CAPACTION_SERIALNUMBER) {
      const char* szSerialNumber = a_database.ConfigGetString("serialnumber", DB_CONFIGTARGET_COMMON);
      a_database.ForceCurrentString(a_pdbdatum, szSerialNumber ? szSerialNumber : "00000000");
    }
  }
  if (edevsts != DEV_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "%s failed...%d", a_devcapabilitycallback.szName, static_cast<int>(edevsts));
  }
  if (a_devcapabilitycallback.blStatus) SetDeviceStatusCallback(edevsts);
  return edevsts == DEV_STS_SUCCESS ? OS_STS_SUCCESS : OS_STS_FAIL;
}
