// "device.xml": what other processes may know of a scanner without opening
// it (model, background, connection, meters), rewritten whole while the
// scanner answers. Everything is read first, the database lock taken only
// for the reads; the file is written under the data lock alone.
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbdatum.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "dev_cdevdata.h"
#include "dev_cdevdataxml.h"
#include "dev_cdevdatatext.h"
#include "dev_cdevimpl.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"

namespace {

constexpr const char s_szDeviceXml[] = "device.xml";
constexpr size_t s_sizetText = 0x10000;
constexpr const char s_szClosing[] = "</device>";

// The meters, in the file's order; the first-scan date is a string.
struct DevDataMeter {
  EDBID edbid;
  const char* szElement;
  bool blString;
};
constexpr DevDataMeter s_adevdatameter[] = {
    {DB_ID_METERPOWER, "meterpower", false},         {DB_ID_METERTRANSPORT, "metertransport", false},
    {DB_ID_METERLAMPFRONT, "meterlampfront", false}, {DB_ID_METERLAMPREAR, "meterlamprear", false},
    {DB_ID_METERFIRSTSCAN, "meterfirstscan", true},  {DB_ID_METERPAGECOUNT, "meterpagecount", false},
};

const char* BackgroundWord(long a_lValue) { return a_lValue == DB_ID_BACKGROUND_ENUM_WHITE ? "white" : "black"; }

// Model and background lines, from the database.
void AppendModel(CDevDataText& a_text, EDBID_FIRMWARE a_edbidfirmware, CDatabase& a_database) {
  CDbLockGuard dblockguard;
  const char* szModel = a_database.ConfigGetString("model", CDevDataXml::UnitTarget(a_edbidfirmware));
  a_text.AppendElement("model", szModel ? szModel : "");
  if (a_edbidfirmware == DB_FIRMWARE_FLATBED) {
    if (a_database.IsIdSupported(DB_ID_BACKGROUNDPLATEN)) {
      CDbDatum* pdbdatum = a_database.Find(DB_ID_BACKGROUNDPLATEN);
      if (pdbdatum) a_text.AppendElement("background", BackgroundWord(pdbdatum->GetCurrentLongNoCallback()));
    }
    return;
  }
  const struct {
    EDBBIN edbbin;
    const char* szElement;
  } abackground[] = {{DB_BIN_COLOR_FRONT, "background"}, {DB_BIN_COLOR_REAR, "backgroundrear"}};
  for (const auto& background : abackground) {
    CDbDatum* pdbdatum = a_database.FindInBin(background.edbbin, DB_ID_BACKGROUND);
    if (pdbdatum) a_text.AppendElement(background.szElement, BackgroundWord(pdbdatum->GetCurrentLongNoCallback()));
  }
}

// The meters the scanner has, each asked of the device first (the device
// facade takes the database lock itself); true when any request succeeded.
bool AppendMeters(CDevDataText& a_text, EDBID_FIRMWARE a_edbidfirmware, CDatabase& a_database, CDev& a_dev) {
  bool blAnswered = false;
  for (const DevDataMeter& devdatameter : s_adevdatameter) {
    {
      CDbLockGuard dblockguard;
      if (!a_database.IsIdSupported(devdatameter.edbid)) continue;
    }
    blAnswered = a_dev.GetConfig(a_edbidfirmware, devdatameter.edbid) == DEV_STS_SUCCESS || blAnswered;
    CDbLockGuard dblockguard;
    CDbDatum* pdbdatum = a_database.Find(devdatameter.edbid);
    if (!pdbdatum) continue;
    char szValue[32];
    const char* szText = szValue;
    if (devdatameter.blString) {
      szText = pdbdatum->GetCurrentStringNoCallback();
    } else {
      COsString::SStrPrintf(szValue, sizeof szValue, "%ld", pdbdatum->GetCurrentLongNoCallback());
    }
    a_text.AppendElement(devdatameter.szElement, szText ? szText : "");
  }
  return blAnswered;
}

// The device's own consumable-meter text, copied as it is (its markup is
// the device manager's); left out whole when it does not fit.
void AppendConsumableMeters(CDevDataText& a_text, EDBID_FIRMWARE a_edbidfirmware, CDatabase& a_database,
                            CDev& a_dev) {
  {
    CDbLockGuard dblockguard;
    if (!a_database.ConfigEnumGetFirst("consumablemetertype", CDevDataXml::UnitTarget(a_edbidfirmware)) &&
        !a_database.ConfigEnumGetFirst("consumablemetertype", DB_CONFIGTARGET_COMMON)) {
      return;
    }
  }
  char* szMeters = nullptr;
  if (a_dev.GetConsumableMeters(&szMeters) == OS_STS_SUCCESS && szMeters) {
    const char* apsz[] = {"\t<reportconsumablemeters>", szMeters, "</reportconsumablemeters>\n"};
    a_text.Append("reportconsumablemeters", apsz, sizeof apsz / sizeof apsz[0]);
  }
  if (szMeters) OsMemFree(szMeters);
}

}  // namespace

EOSSTS CDevData::UpdateDeviceXml(EDBID_FIRMWARE a_edbidfirmware, CDatabase* a_pdatabase, CDev* a_pdev) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_devdatacalls.iUpdateDeviceXml;
    m_devdatacalls.edbidfirmwareDeviceXml = a_edbidfirmware;
    m_devdatacalls.pdevDeviceXml = a_pdev;
  }
  if (!Whole("UpdateDeviceXml")) return OS_STS_FAIL;
  if ((a_edbidfirmware != DB_FIRMWARE_ADF && a_edbidfirmware != DB_FIRMWARE_FLATBED) || !a_pdatabase || !a_pdev) {
    OsLog(OS_LOG_ERROR, "CDevData::UpdateDeviceXml: bad argument...%d", static_cast<int>(a_edbidfirmware));
    return OS_STS_BAD_ARGUMENT;
  }
  char szDataDirectory[CDevDataXml::s_sizetPath];
  char szSerialNumber[CDevDataXml::s_sizetSerialNumber];
  char szDirectory[CDevDataXml::s_sizetPath];
  char szPath[CDevDataXml::s_sizetPath];
  if (!m_pdevdataxml->UnitDataDirectory(a_edbidfirmware, a_pdatabase, szDataDirectory, sizeof szDataDirectory)) {
    return OS_STS_FAIL;
  }
  if (!CDevDataXml::UnitSerialNumber(a_edbidfirmware, a_pdatabase, szSerialNumber, sizeof szSerialNumber)) {
    OsLog(OS_LOG_ERROR, "CDevData::UpdateDeviceXml: no serial number known for unit %d...",
          static_cast<int>(a_edbidfirmware));
    return OS_STS_FAIL;
  }
  if (!CDevDataXml::ScannerDirectory(szDataDirectory, szSerialNumber, szDirectory, sizeof szDirectory) ||
      !COsFile::PathJoin(szPath, sizeof szPath, szDirectory, s_szDeviceXml)) {
    return OS_STS_FAIL;
  }
  CDevDataText text(s_sizetText, sizeof s_szClosing);
  if (!text.IsValid()) return OS_STS_FAIL;
  text.Append("<device>\n");
  AppendModel(text, a_edbidfirmware, *a_pdatabase);
  text.Append("\t<connection>USBSCAN/2.0</connection>\n");
  const bool blAnswered = AppendMeters(text, a_edbidfirmware, *a_pdatabase, *a_pdev);
  AppendConsumableMeters(text, a_edbidfirmware, *a_pdatabase, *a_pdev);
  text.AppendClosing(s_szClosing);
  if (!blAnswered || a_pdev->GetDeviceStatus() != DEV_DEVICESTATUS_ONLINE) {
    OsLog(OS_LOG_INFO, "Our device isn't online, so we're not going to write device.xml...<%s> <%s>", szPath,
          text.Text());
    return OS_STS_SUCCESS;
  }
  CDbLockRelease dblockrelease;
  if (!m_pdevdataxml->DataLock()) {
    OsLog(OS_LOG_ERROR, "DataLock failed...<%s>", szPath);
    return OS_STS_FAIL;
  }
  CDevDataXml::RemoveTemporaries(szDirectory, s_szDeviceXml);
  const EOSSTS eossts = COsFile::WriteAtomic(szPath, text.Text(), text.Length(), false);
  m_pdevdataxml->DataUnlock(false);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "device.xml not written, the old file stays...%d <%s>", static_cast<int>(eossts), szPath);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}
