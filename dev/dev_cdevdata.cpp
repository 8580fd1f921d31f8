// The device data: the online marker of each unit and the accumulators (the
// scan history: dev_cdevdata_history.cpp and dev_cdevdata_unpack.cpp).
#include "dev_cdevdata.h"

#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbdatum.h"
#include "db_cdblock.h"
#include "dev_cdevdataxml.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"

namespace {

constexpr const char s_szOnline[] = "online";
// Attempts at "online", one after the other.
constexpr int s_iOnlineAttempts = 10;
// The longest serial number read from the device.
constexpr size_t s_sizetSerialRead = 127;
// Values of "serialnumber" a configuration could hold for one unit.
constexpr int s_iSerialValuesMax = 64;

bool IsUnit(EDBID_FIRMWARE a_edbidfirmware, const char* a_szOperation) {
  if (a_edbidfirmware == DB_FIRMWARE_ADF || a_edbidfirmware == DB_FIRMWARE_FLATBED) return true;
  OsLog(OS_LOG_ERROR, "CDevData::%s: no device data for unit %d...", a_szOperation, static_cast<int>(a_edbidfirmware));
  return false;
}

// The unit's "serialnumber" holds the scanner open now, alone: a scanner
// opened earlier in the same session must not lend its directory.
void ReplaceSerialNumber(CDatabase& a_database, EDBID_FIRMWARE a_edbidfirmware, const char* a_szSerialNumber) {
  const EDBCONFIGTARGET edbconfigtarget = CDevDataXml::UnitTarget(a_edbidfirmware);
  for (int i = 0; i < s_iSerialValuesMax; ++i) {
    const char* szFirst = a_database.ConfigEnumGetFirst("serialnumber", edbconfigtarget);
    if (!szFirst) break;
    char szOld[CDevDataXml::s_sizetSerialNumber];
    COsString::SStrCpy(szOld, sizeof szOld, szFirst);
    a_database.ConfigEnumDelete("serialnumber", szOld, edbconfigtarget);
  }
  a_database.ConfigEnumAdd("serialnumber", a_szSerialNumber, edbconfigtarget);
}

}  // namespace

CDevData::CDevData() {
  m_pdevdataxml = OsMemNew(CDevDataXml);
  if (m_pdevdataxml && !m_pdevdataxml->IsValid()) {
    OsMemDelete(m_pdevdataxml);
    m_pdevdataxml = nullptr;
  }
  if (!m_pdevdataxml) OsLog(OS_LOG_ERROR, "OsMemNew failed...CDevDataXml");
}

CDevData::~CDevData() {
  for (COsFile*& rposfile : m_aposfileOnline) {
    OsMemDelete(rposfile);
    rposfile = nullptr;
  }
  OsMemDelete(m_pdevdataxml);
}

bool CDevData::Whole(const char* a_szOperation) const {
  if (m_pdevdataxml) return true;
  OsLog(OS_LOG_ERROR, "CDevData::%s: the device data is not whole, nothing done...", a_szOperation);
  return false;
}

EOSSTS CDevData::CreateOnlineFile(EDBID_FIRMWARE a_edbidfirmware, CDatabase* a_pdatabase) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_devdatacalls.iCreateOnlineFile;
    m_devdatacalls.edbidfirmwareOnline = a_edbidfirmware;
  }
  if (!Whole("CreateOnlineFile")) return OS_STS_FAIL;
  if (!IsUnit(a_edbidfirmware, "CreateOnlineFile") || !a_pdatabase) return OS_STS_BAD_ARGUMENT;
  char szSerialNumber[CDevDataXml::s_sizetSerialNumber];
  bool blMonitor = false;
  if (!RegisterSerialNumber(a_edbidfirmware, a_pdatabase, szSerialNumber, sizeof szSerialNumber, &blMonitor)) {
    return OS_STS_FAIL;
  }
  char szDataDirectory[CDevDataXml::s_sizetPath];
  char szDirectory[CDevDataXml::s_sizetPath];
  if (!m_pdevdataxml->UnitDataDirectory(a_edbidfirmware, a_pdatabase, szDataDirectory, sizeof szDataDirectory) ||
      !CDevDataXml::ScannerDirectory(szDataDirectory, szSerialNumber, szDirectory, sizeof szDirectory)) {
    return OS_STS_FAIL;
  }
  // Models that do not monitor button events get no marker.
  if (blMonitor) HoldOnlineFile(a_edbidfirmware, szDirectory);
  return OS_STS_SUCCESS;
}

// One locked sequence: no other thread sees FIRMWARE lent to the unit.
bool CDevData::RegisterSerialNumber(EDBID_FIRMWARE a_edbidfirmware, CDatabase* a_pdatabase, char* a_szSerialNumber,
                                    size_t a_sizetSerialNumber, bool* a_pblMonitor) {
  char szRead[s_sizetSerialRead + 1];
  CDbLockGuard dblockguard;
  CDatabase& database = *a_pdatabase;
  CDbDatum* pdbdatumFirmware = database.Find(DB_ID_FIRMWARE);
  const long lFirmware = pdbdatumFirmware ? pdbdatumFirmware->GetCurrentLongNoCallback() : long{a_edbidfirmware};
  if (pdbdatumFirmware && lFirmware != a_edbidfirmware) pdbdatumFirmware->ForceCurrentLong(a_edbidfirmware);
  const char* szSerialNumber = database.GetCurrentStringFromId(DB_ID_SERIALNUMBER);
  COsString::SStrCpy(szRead, sizeof szRead, szSerialNumber ? szSerialNumber : "");
  if (pdbdatumFirmware && lFirmware != a_edbidfirmware) pdbdatumFirmware->ForceCurrentLong(lFirmware);
  *a_pblMonitor = database.ConfigExists("monitorbuttonevents", DB_CONFIGTARGET_COMMON);
  COsString::SStrCpy(a_szSerialNumber, a_sizetSerialNumber, szRead);
  // The serial number names a directory: one that cannot is refused here.
  if (!CDevDataXml::IsUsableName(a_szSerialNumber)) {
    OsLog(OS_LOG_ERROR, "Bad serial number...<%s>", a_szSerialNumber);
    return false;
  }
  ReplaceSerialNumber(database, a_edbidfirmware, a_szSerialNumber);
  return true;
}

void CDevData::HoldOnlineFile(EDBID_FIRMWARE a_edbidfirmware, const char* a_szDirectory) {
  char szPath[CDevDataXml::s_sizetPath];
  if (!COsFile::PathJoin(szPath, sizeof szPath, a_szDirectory, s_szOnline)) {
    OsLog(OS_LOG_ERROR, "Failed to create 'online' file...<%s>", a_szDirectory);
    return;
  }
  std::lock_guard<std::mutex> lock(m_mutexOnline);
  // A marker still open from before is given up first: this process would
  // refuse itself.
  OsMemDelete(m_aposfileOnline[a_edbidfirmware]);
  m_aposfileOnline[a_edbidfirmware] = nullptr;
  COsFile* posfile = OsMemNew(COsFile);
  EOSSTS eossts = OS_STS_FAIL;
  for (int i = 0; posfile && i < s_iOnlineAttempts; ++i) {
    eossts = posfile->OpenLockFile(szPath);
    if (eossts != OS_STS_IN_USE) break;
  }
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Failed to create 'online' file...<%s>", szPath);
    OsMemDelete(posfile);
    return;
  }
  m_aposfileOnline[a_edbidfirmware] = posfile;
}

EOSSTS CDevData::DestroyOnlineFile(EDBID_FIRMWARE a_edbidfirmware) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_devdatacalls.iDestroyOnlineFile;
    m_devdatacalls.edbidfirmwareDestroyed = a_edbidfirmware;
  }
  if (!Whole("DestroyOnlineFile")) return OS_STS_FAIL;
  if (!IsUnit(a_edbidfirmware, "DestroyOnlineFile")) return OS_STS_BAD_ARGUMENT;
  std::lock_guard<std::mutex> lock(m_mutexOnline);
  OsMemDelete(m_aposfileOnline[a_edbidfirmware]);
  m_aposfileOnline[a_edbidfirmware] = nullptr;
  return OS_STS_SUCCESS;
}

EOSSTS CDevData::IncrementAccumulators(EDBID_FIRMWARE a_edbidfirmware, bool a_blMultifeed, unsigned int a_uMultifeed,
                                       bool a_blPaperJam, unsigned int a_uPaperJam, bool a_blOtherError,
                                       unsigned int a_uOtherError, CDatabase* a_pdatabase) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_devdatacalls.iIncrementAccumulators;
    m_devdatacalls.edbidfirmwareAccumulators = a_edbidfirmware;
    m_devdatacalls.blMultifeed = a_blMultifeed;
    m_devdatacalls.uMultifeed = a_uMultifeed;
    m_devdatacalls.blPaperJam = a_blPaperJam;
    m_devdatacalls.uPaperJam = a_uPaperJam;
    m_devdatacalls.blOtherError = a_blOtherError;
    m_devdatacalls.uOtherError = a_uOtherError;
  }
  if (!Whole("IncrementAccumulators")) return OS_STS_FAIL;
  if (!(a_blMultifeed && a_uMultifeed) && !(a_blPaperJam && a_uPaperJam) && !(a_blOtherError && a_uOtherError)) {
    return OS_STS_SUCCESS;
  }
  if (!IsUnit(a_edbidfirmware, "IncrementAccumulators") || !a_pdatabase) return OS_STS_BAD_ARGUMENT;
  char szSerialNumber[CDevDataXml::s_sizetSerialNumber];
  if (!CDevDataXml::UnitSerialNumber(a_edbidfirmware, a_pdatabase, szSerialNumber, sizeof szSerialNumber)) {
    OsLog(OS_LOG_ERROR, "CDevData::IncrementAccumulators: no serial number known for unit %d...",
          static_cast<int>(a_edbidfirmware));
    return OS_STS_FAIL;
  }
  return m_pdevdataxml->SetAccumulators(a_edbidfirmware, a_pdatabase, true, szSerialNumber, true, a_blMultifeed,
                                        a_uMultifeed, a_blPaperJam, a_uPaperJam, a_blOtherError, a_uOtherError);
}

DevDataCalls CDevData::GetCalls() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_devdatacalls;
}
