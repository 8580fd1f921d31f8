// The device data's paths and the cross-process data lock.
#include "dev_cdevdataxml.h"

#include <chrono>
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_waits.h"
#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_costime.h"
#include "os_cosxmltask.h"

namespace {

constexpr size_t s_sizetReplyBuilder = 0x10000;

const char* Cfg(unsigned a_uTag) {
  const char* sz = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, a_uTag) : nullptr;
  return sz ? sz : "";
}

// Base joined with one plain name, then optionally a second; false without
// a base (the files would land at the file system's root), for a name that
// is no plain name, or when it does not fit.
bool Join(char* a_szPath, size_t a_sizetPath, const char* a_szBase, const char* a_szName,
          const char* a_szMore = nullptr) {
  if (!*a_szBase || !CDevDataXml::IsUsableName(a_szName) ||
      !COsFile::PathJoin(a_szPath, a_sizetPath, a_szBase, a_szName)) {
    return false;
  }
  return !a_szMore || COsFile::PathAppend(a_szPath, a_sizetPath, a_szMore) == OS_STS_SUCCESS;
}

}  // namespace

CDevDataXml::CDevDataXml() {
  // A private buffer: a named one is shared by name with every other object
  // of this class (the data entry's and a data-only device object's live at
  // once), and freed for all when one goes.
  m_posxmltask = OsMemNew(COsXmlTask, nullptr, s_sizetReplyBuilder);
  if (!m_posxmltask) OsLog(OS_LOG_ERROR, "OsMemNew failed...");
  m_blGrammar = LoadGrammar();
  if (!Join(m_szModelDirectory, sizeof m_szModelDirectory, Cfg(OS_CFGTAG_ROOTPATH),
            Cfg(OS_CFGTAG_MODELDIRECTORYREAL)) ||
      !Join(m_szDataDirectory, sizeof m_szDataDirectory, m_szModelDirectory, "data") ||
      !Join(m_szLockFile, sizeof m_szLockFile, m_szDataDirectory, "data.lock")) {
    OsLog(OS_LOG_ERROR, "CDevDataXml: no data directory...<%s> <%s>", Cfg(OS_CFGTAG_ROOTPATH),
          Cfg(OS_CFGTAG_MODELDIRECTORYREAL));
    m_szModelDirectory[0] = m_szDataDirectory[0] = m_szLockFile[0] = '\0';
    return;
  }
  const EOSSTS eossts = COsFile::Create(m_szDataDirectory);
  if (eossts != OS_STS_SUCCESS && eossts != OS_STS_ALREADY_EXISTS) {
    OsLog(OS_LOG_ERROR, "CDevDataXml: the data directory could not be made...%d <%s>", static_cast<int>(eossts),
          m_szDataDirectory);
  }
}

CDevDataXml::~CDevDataXml() {
  DataUnlock(true);
  OsMemDelete(m_posfileLock);
  OsMemDelete(m_posxmltask);
}

bool CDevDataXml::DataLock() {
  if (CDbLock::Depth() > 0) OsLog(OS_LOG_ASSERT, "DataLock: taken under the database lock...");
  const auto timepointEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(DevWaitLimit(DEV_WAIT_DATALOCK));
  const std::thread::id threadid = std::this_thread::get_id();
  {
    std::unique_lock<std::mutex> lock(m_mutexData);
    if (m_u32LockCount > 0 && m_threadidOwner == threadid) {
      ++m_u32LockCount;
      return true;
    }
    if (!m_condvarData.wait_until(lock, timepointEnd, [this] { return m_u32LockCount == 0; })) {
      OsLog(OS_LOG_ERROR, "DataLock: another thread holds the data lock...<%s>", m_szLockFile);
      return false;
    }
    // The first level is this thread's while it waits for the other
    // processes.
    m_threadidOwner = threadid;
    m_u32LockCount = 1;
  }
  for (;;) {
    if (OpenLockFile()) return true;
    // Only another holder is worth waiting for.
    if (!m_posfileLock || std::chrono::steady_clock::now() >= timepointEnd) break;
    COsTime::Sleep(DEV_POLL_DATALOCK);
  }
  std::lock_guard<std::mutex> lock(m_mutexData);
  m_threadidOwner = std::thread::id();
  m_u32LockCount = 0;
  m_condvarData.notify_all();
  return false;
}

// One attempt at "data.lock"; m_posfileLock is left null when waiting
// cannot help (no file object, the file cannot be made or is no file).
bool CDevDataXml::OpenLockFile() {
  if (!m_szLockFile[0]) return false;
  if (!m_posfileLock && !(m_posfileLock = OsMemNew(COsFile))) {
    OsLog(OS_LOG_ERROR, "OsMemNew failed...");
    return false;
  }
  const EOSSTS eossts = m_posfileLock->OpenLockFile(m_szLockFile);
  if (eossts == OS_STS_SUCCESS) return true;
  if (eossts != OS_STS_IN_USE) {
    OsLog(OS_LOG_ERROR, "DataLock: the lock file cannot be opened...%d <%s>", static_cast<int>(eossts), m_szLockFile);
    OsMemDelete(m_posfileLock);
    m_posfileLock = nullptr;
  }
  return false;
}

void CDevDataXml::DataUnlock(bool a_blForce) {
  std::lock_guard<std::mutex> lock(m_mutexData);
  if (m_u32LockCount == 0 || m_threadidOwner != std::this_thread::get_id()) return;
  m_u32LockCount = a_blForce ? 0 : m_u32LockCount - 1;
  if (m_u32LockCount > 0) return;
  m_threadidOwner = std::thread::id();
  if (m_posfileLock) m_posfileLock->Close();
  m_condvarData.notify_all();
}

bool CDevDataXml::UnitDataDirectory(EDBID_FIRMWARE a_edbidfirmware, CDatabase* a_pdatabase, char* a_szPath,
                                    size_t a_sizetPath) const {
  a_szPath[0] = '\0';
  if (a_edbidfirmware == DEV_FIRMWARE_NONE || !a_pdatabase) {
    COsString::SStrCpy(a_szPath, a_sizetPath, m_szDataDirectory);
    return a_szPath[0] != '\0';
  }
  if (a_edbidfirmware != DB_FIRMWARE_ADF && a_edbidfirmware != DB_FIRMWARE_FLATBED) {
    OsLog(OS_LOG_ERROR, "device data: no unit's files for unit %d...", static_cast<int>(a_edbidfirmware));
    return false;
  }
  char szModel[s_sizetPath] = {};
  if (a_edbidfirmware == DB_FIRMWARE_ADF) {
    COsString::SStrCpy(szModel, sizeof szModel, Cfg(OS_CFGTAG_MODELDIRECTORYREAL));
  } else {
    CDbLockGuard dblockguard;
    const char* sz = a_pdatabase->ConfigGetString("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON);
    COsString::SStrCpy(szModel, sizeof szModel, sz ? sz : "");
  }
  if (!Join(a_szPath, a_sizetPath, Cfg(OS_CFGTAG_ROOTPATH), szModel, "data")) {
    OsLog(OS_LOG_ERROR, "device data: no data directory for the model directory...<%s>", szModel);
    a_szPath[0] = '\0';
    return false;
  }
  return true;
}

EDBCONFIGTARGET CDevDataXml::UnitTarget(EDBID_FIRMWARE a_edbidfirmware) {
  if (a_edbidfirmware == DB_FIRMWARE_ADF) return DB_CONFIGTARGET_ADF;
  if (a_edbidfirmware == DB_FIRMWARE_FLATBED) return DB_CONFIGTARGET_FLATBED;
  return DB_CONFIGTARGET_NONE;
}

bool CDevDataXml::UnitSerialNumber(EDBID_FIRMWARE a_edbidfirmware, CDatabase* a_pdatabase, char* a_szSerialNumber,
                                   size_t a_sizetSerialNumber) {
  a_szSerialNumber[0] = '\0';
  if (!a_pdatabase) return false;
  CDbLockGuard dblockguard;
  const char* sz = a_pdatabase->ConfigEnumGetFirst("serialnumber", UnitTarget(a_edbidfirmware));
  COsString::SStrCpy(a_szSerialNumber, a_sizetSerialNumber, sz ? sz : "");
  return a_szSerialNumber[0] != '\0';
}

bool CDevDataXml::IsUsableName(const char* a_szName) {
  if (!a_szName || !*a_szName || std::strcmp(a_szName, ".") == 0 || std::strcmp(a_szName, "..") == 0) return false;
  for (const char* pc = a_szName; *pc; ++pc) {
    const auto uc = static_cast<unsigned char>(*pc);
    if (*pc == '/' || uc < 0x20 || uc == 0x7f) return false;
  }
  return true;
}

bool CDevDataXml::ScannerDirectory(const char* a_szDataDirectory, const char* a_szSerialNumber, char* a_szPath,
                                   size_t a_sizetPath) {
  a_szPath[0] = '\0';
  if (!IsUsableName(a_szSerialNumber)) {
    OsLog(OS_LOG_ERROR, "Bad serial number...<%s>", a_szSerialNumber ? a_szSerialNumber : "(null)");
    return false;
  }
  if (!a_szDataDirectory || !Join(a_szPath, a_sizetPath, a_szDataDirectory, a_szSerialNumber)) {
    OsLog(OS_LOG_ERROR, "device data: the scanner directory's path does not fit...<%s>", a_szSerialNumber);
    a_szPath[0] = '\0';
    return false;
  }
  const EOSSTS eossts = COsFile::Create(a_szPath);
  if (eossts != OS_STS_SUCCESS && eossts != OS_STS_ALREADY_EXISTS) {
    OsLog(OS_LOG_ERROR, "device data: the scanner directory could not be made...%d <%s>", static_cast<int>(eossts),
          a_szPath);
    return false;
  }
  // Another user may write the data directory: a planted link is not
  // followed.
  if (!COsFile::IsRealDirectory(a_szDataDirectory) || !COsFile::IsRealDirectory(a_szPath)) {
    OsLog(OS_LOG_ERROR, "device data: not a directory of its own, nothing written...<%s>", a_szPath);
    return false;
  }
  return true;
}

void CDevDataXml::RemoveTemporaries(const char* a_szDirectory, const char* a_szFile) {
  char szPattern[s_sizetPath];
  if (COsString::SStrPrintf(szPattern, sizeof szPattern, "%s/%s.tmp*", a_szDirectory, a_szFile) < 0) return;
  OsFileInfo osfileinfo;
  for (EOSSTS eossts = COsFile::FindFirst(szPattern, &osfileinfo); eossts == OS_STS_SUCCESS;
       eossts = COsFile::FindNext(&osfileinfo)) {
    if (!COsFile::IsAtomicTemporary(osfileinfo.szName, a_szFile)) continue;
    OsLog(OS_LOG_INFO, "device data: removing what a stopped writer left...<%s>", osfileinfo.szPath);
    COsFile::Delete(osfileinfo.szPath, OS_FILETYPE_FILE, false);
  }
  COsFile::FindClose(&osfileinfo);
}
