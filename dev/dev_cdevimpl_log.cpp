// Log maintenance: one log fetched by type, logs cleared, the reset-scanner
// service action (a report of everything it is about to clear, then the
// activity log and the meters cleared) and the support archive of the log
// folders.
//
// GetLog and SaveLog are called with the database lock given up: each
// database read takes it for itself, the device requests take it as every
// adapter call does, and the files are written and packed without it.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "db_cdblock.h"
#include "db_cdblookup.h"
#include "dev_cdevdevice.h"
#include "dev_cdevimpl.h"
#include "dev_loginfo.h"
#include "dp_target.h"
#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_costhread.h"
#include "os_cosxmltask.h"

namespace {

// The log types SaveLog fetches at most (the values of the log capability).
constexpr long s_lLogTypesMax = 14;
constexpr size_t s_sizetPath = DEV_LOG_TEXT;
constexpr size_t s_sizetCopyChunk = 0x10000;

const char* Cfg(unsigned a_uTag) {
  const char* sz = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, a_uTag) : nullptr;
  return sz ? sz : "";
}

// A log request of its own, its text freed with it.
struct LogRequest {
  DeviceLog devicelog{};
  LogRequest(EDBID_FIRMWARE a_edbidfirmware, uint32_t a_u32LogType) {
    devicelog.edbidfirmware = a_edbidfirmware;
    devicelog.u32LogType = a_u32LogType;
    for (long& l : devicelog.alFileOffset) l = -1;
  }
  ~LogRequest() {
    if (devicelog.pcData) OsMemFree(devicelog.pcData);
  }
  LogRequest(const LogRequest&) = delete;
  LogRequest& operator=(const LogRequest&) = delete;
};

// The report's text with every line ended by CR LF (the device's files and
// the about text end theirs with LF alone).
void AppendCrLf(std::string& a_str, const char* a_pc, size_t a_sizet) {
  for (size_t i = 0; i < a_sizet; ++i) {
    if (a_pc[i] == '\n' && (a_str.empty() || a_str.back() != '\r')) a_str += '\r';
    a_str += a_pc[i];
  }
}

// A file's contents, read through no link; nothing when it cannot be read.
void AppendFile(std::string& a_str, const char* a_szPath) {
  if (!a_szPath[0]) return;
  const int iFd = open(a_szPath, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (iFd < 0) {
    OsLog(OS_LOG_ERROR, "ResetScanner: cannot read the log file...%d <%s>", errno, a_szPath);
    return;
  }
  std::vector<char> vec(s_sizetCopyChunk);
  for (;;) {
    const ssize_t ssize = read(iFd, vec.data(), vec.size());
    if (ssize <= 0) break;
    AppendCrLf(a_str, vec.data(), static_cast<size_t>(ssize));
  }
  close(iFd);
}

// A name usable as one path component.
bool IsComponent(const char* a_sz) {
  return a_sz && *a_sz && std::strcmp(a_sz, ".") != 0 && std::strcmp(a_sz, "..") != 0 && !std::strchr(a_sz, '/');
}

// The greatest "log.*" directory of a folder (the names carry their time);
// empty when there is none.
std::string LatestLogFolder(const std::string& a_strFolder) {
  DIR* pdir = opendir(a_strFolder.c_str());
  if (!pdir) return std::string();
  std::string strBest;
  while (const dirent* pdirent = readdir(pdir)) {
    if (std::strncmp(pdirent->d_name, "log.", 4) == 0 && pdirent->d_name > strBest) strBest = pdirent->d_name;
  }
  closedir(pdir);
  return strBest.empty() ? std::string() : a_strFolder + "/" + strBest;
}

// "text.log" of the log folder holds the caller's text.
bool WriteTextLog(const std::string& a_strFolder, const char* a_szText) {
  const std::string strPath = a_strFolder + "/text.log";
  const int iFd = open(strPath.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (iFd < 0) return false;
  bool blOk = flock(iFd, LOCK_EX) == 0 && ftruncate(iFd, 0) == 0;
  const size_t sizetText = std::strlen(a_szText);
  for (size_t sizetDone = 0; blOk && sizetDone < sizetText;) {
    const ssize_t ssize = write(iFd, a_szText + sizetDone, sizetText - sizetDone);
    blOk = ssize > 0;
    if (blOk) sizetDone += static_cast<size_t>(ssize);
  }
  return close(iFd) == 0 && blOk;
}

bool Below(const std::string& a_strPath, const std::string& a_strFolder) {
  return a_strPath.size() > a_strFolder.size() && a_strPath.compare(0, a_strFolder.size(), a_strFolder) == 0 &&
         a_strPath[a_strFolder.size()] == '/';
}

// A further folder of the archive, when it exists; a failure is logged only.
void PackageFurther(const char* a_szArchive, const std::string& a_strFolder, bool a_blSaveImages,
                    EOSFILEPACKAGE a_eosfilepackage, const char* a_szFailure) {
  if (a_strFolder.empty() || !COsFile::IsRealDirectory(a_strFolder.c_str())) return;
  const EOSSTS eossts = COsFile::Package(a_szArchive, a_strFolder.c_str(), a_blSaveImages, a_eosfilepackage, true,
                                         OS_FILECOMPRESSION_AUTOMATIC, nullptr);
  if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "%s%d", a_szFailure, static_cast<int>(eossts));
}

// A device's log names a regular file the caller can read; a missing name,
// a directory or a special file is a failure.
EOSSTS NamesLogFile(const DeviceLog& a_devicelog) {
  struct stat st {};
  if (a_devicelog.szFilename[0] && stat(a_devicelog.szFilename, &st) == 0 && S_ISREG(st.st_mode)) return OS_STS_SUCCESS;
  OsLog(OS_LOG_ERROR, "GetLog: the log names no regular file...<%s>", a_devicelog.szFilename);
  return OS_STS_FAIL;
}

std::string Join(const char* a_szBase, const char* a_szName) {
  char sz[s_sizetPath];
  return COsFile::PathJoin(sz, sizeof sz, a_szBase, a_szName) ? std::string(sz) : std::string();
}

}  // namespace

EOSSTS CDevImpl::GetLog(DeviceLog* a_pdevicelog, bool a_blSave) {
  if (!a_pdevicelog) {
    OsLog(OS_LOG_ERROR, "a_pdevicelog is null...");
    return OS_STS_FAIL;
  }
  DeviceLog& devicelog = *a_pdevicelog;
  // Nothing of an earlier log may stand for this one: a request reused
  // without its file would report the earlier file.
  devicelog.sizetData = 0;
  if (devicelog.pcData) std::memset(devicelog.pcData, 0, devicelog.sizetCapacity);
  devicelog.szFilename[0] = '\0';
  for (long& lFileOffset : devicelog.alFileOffset) lFileOffset = -1;
  if (GetDeviceStatus() != DEV_DEVICESTATUS_ONLINE || !pod.m_pdatabase || !pod.m_pdevdevice) return OS_STS_FAIL;
  {
    CDbLockGuard dblockguard;
    CDatabase& database = *pod.m_pdatabase;
    CDbDatum* pdbdatum = database.Find(DB_ID_LOG);
    if (!pdbdatum) {
      OsLog(OS_LOG_ERROR, "Unable to get hdbdatum of DB_ID_LOG...");
      return OS_STS_FAIL;
    }
    DbLookup2* pdblookup2 = database.LookupGet(pdbdatum);
    DbLookupEnum* pdblookupenum =
        pdblookup2 ? database.LookupDbEnum(pdblookup2, static_cast<long>(devicelog.u32LogType)) : nullptr;
    if (!pdblookupenum || !pdblookupenum->szLexiconEnum) {
      OsLog(OS_LOG_ERROR, "Unable to find the lookup for logtype...");
      return OS_STS_FAIL;
    }
    COsString::SStrCpyCut(devicelog.szLogType, sizeof devicelog.szLogType, pdblookupenum->szLexiconEnum);
  }
  switch (devicelog.u32LogType) {
    case DB_ID_LOG_ENUM_ACTIVITY:
    case DB_ID_LOG_ENUM_OPERATOR:
    case DB_ID_LOG_ENUM_SERVICE:
    case DB_ID_LOG_ENUM_TRACE:
    case DB_ID_LOG_ENUM_VERSION:
    case DB_ID_LOG_ENUM_EOL:
    case DB_ID_LOG_ENUM_METER:
      if (pod.m_pdevdevice->GetLog(a_pdevicelog) != DEV_STS_SUCCESS) return OS_STS_FAIL;
      return NamesLogFile(devicelog);
    case DB_ID_LOG_ENUM_INFO:
    case DB_ID_LOG_ENUM_GENERAL_XML: return GetVersionInfo(a_pdevicelog, a_blSave);
    case DB_ID_LOG_ENUM_DRIVERDEBUG:
      COsString::SStrCpyCut(devicelog.szFilename, sizeof devicelog.szFilename, Cfg(OS_CFGTAG_PMX_LOG));
      return OS_STS_SUCCESS;
    case DB_ID_LOG_ENUM_IMAGINGDEBUG: {
      COsXmlTask osxmltask("", COsXmlTask::s_sizetMinimumCapacity);
      osxmltask.StartTask(0, 0, nullptr);
      osxmltask.StartCommand("getdebuglog", 1);
      osxmltask.FinalizeCommand("getdebuglog");
      osxmltask.FinalizeTask();
      const EDBID_FIRMWARE edbidfirmware = CurrentFirmware();
      const char* szReply = NexEntry(edbidfirmware, &osxmltask);
      pod.m_pdevdevice->Dispatch(szReply, DevDispatchTarget::Log(a_pdevicelog), false, edbidfirmware);
      return NamesLogFile(devicelog);
    }
    case DB_ID_LOG_ENUM_SCANNERDEBUG:
      if (pod.m_pdevdevice->GetDebugLog(a_pdevicelog) != DEV_STS_SUCCESS) return OS_STS_FAIL;
      return NamesLogFile(devicelog);
    default:
      OsLog(OS_LOG_ERROR, "Unknown DB_ID_LOG enum %d...", static_cast<int>(devicelog.u32LogType));
      return OS_STS_FAIL;
  }
}

EOSSTS CDevImpl::ClearLog(const char* a_szLogType) {
  OsLog(OS_LOG_INFO, ">>> CDevImpl::ClearLog(%s)", a_szLogType ? a_szLogType : "(null)");
  if (!pod.m_pdatabase || !a_szLogType) {
    OsLog(OS_LOG_ERROR, "Unable to get hdbdatum of DB_ID_LOG...");
    return OS_STS_FAIL;
  }
  long lValue = 0;
  bool blNexil = false;
  {
    CDbLockGuard dblockguard;
    CDatabase& database = *pod.m_pdatabase;
    CDbDatum* pdbdatum = database.Find(DB_ID_LOG);
    if (!pdbdatum) {
      OsLog(OS_LOG_ERROR, "Unable to get hdbdatum of DB_ID_LOG...");
      return OS_STS_FAIL;
    }
    DbLookup2* pdblookup2 = database.LookupGet(pdbdatum);
    for (long l = DB_ID_LOG_ENUM_ACTIVITY; pdblookup2 && l <= DB_ID_LOG_ENUM_METER && !lValue; ++l) {
      const DbLookupEnum* pdblookupenum = database.LookupDbEnum(pdblookup2, l);
      if (pdblookupenum && pdblookupenum->szLexiconEnum && std::strcmp(pdblookupenum->szLexiconEnum, a_szLogType) == 0)
        lValue = l;
    }
    if (!lValue) {
      OsLog(OS_LOG_ERROR, "Unable to find the lookup for logtype %s...", a_szLogType);
      return OS_STS_FAIL;
    }
    blNexil = database.IsIdSupported(DB_ID_NEXIL);
  }
  switch (lValue) {
    case DB_ID_LOG_ENUM_VERSION:
    case DB_ID_LOG_ENUM_INFO:
    case DB_ID_LOG_ENUM_EOL:
    case DB_ID_LOG_ENUM_METER: return OS_STS_SUCCESS;
    case DB_ID_LOG_ENUM_ACTIVITY:
    case DB_ID_LOG_ENUM_OPERATOR:
    case DB_ID_LOG_ENUM_SERVICE:
      if (!pod.m_pdevdevice) {
        OsLog(OS_LOG_ERROR, "pod.m_pdevdevice is null...");
        return OS_STS_FAIL;
      }
      return static_cast<EOSSTS>(pod.m_pdevdevice->ClearLog("activity"));
    case DB_ID_LOG_ENUM_DRIVERDEBUG:
    case DB_ID_LOG_ENUM_IMAGINGDEBUG:
    case DB_ID_LOG_ENUM_SCANNERDEBUG: break;
    default: OsLog(OS_LOG_ERROR, "Unknown DB_ID_LOG enum %d...", static_cast<int>(lValue)); return OS_STS_FAIL;
  }
  if (blNexil) {
    COsXmlTask osxmltask("", COsXmlTask::s_sizetMinimumCapacity);
    osxmltask.StartTask(0, 0, nullptr);
    osxmltask.StartCommand("clearlog", 1);
    osxmltask.AddArgument("logtype", "debug");
    osxmltask.FinalizeCommand("clearlog");
    osxmltask.FinalizeTask();
    NexEntry(CurrentFirmware(), &osxmltask);
  }
  if (pod.m_pdevdevice) pod.m_pdevdevice->ClearLog("debug");
  // The driver's own log: truncated in place, so that its writer (appending)
  // goes on in it.
  const char* szLog = Cfg(OS_CFGTAG_PMX_LOG);
  const int iFd = szLog[0] ? open(szLog, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666) : -1;
  bool blOk = iFd >= 0 && flock(iFd, LOCK_EX) == 0 && ftruncate(iFd, 0) == 0;
  if (iFd >= 0) blOk = close(iFd) == 0 && blOk;
  if (!blOk) {
    OsLog(OS_LOG_ERROR, "Unabled to open log file %s", szLog);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

EOSSTS CDevImpl::ResetScanner() {
  if (!pod.m_pdatabase || !pod.m_pdevdevice) {
    OsLog(OS_LOG_ERROR, "pod.m_pdevdevice is null...");
    return OS_STS_FAIL;
  }
  std::string strSerial;
  {
    CDbLockGuard dblockguard;
    const char* sz = pod.m_pdatabase->GetCurrentStringNoCallback(DB_ID_SERIALNUMBER);
    strSerial = sz ? sz : "";
  }
  // The report goes into the user directory, named by the serial number.
  const std::string strName = strSerial + ".log";
  const std::string strPath =
      IsComponent(strName.c_str()) ? Join(Cfg(OS_CFGTAG_USERROOTDIRECTORY), strName.c_str()) : std::string();
  const int iFd =
      strPath.empty() ? -1 : open(strPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (iFd < 0) {
    OsLog(OS_LOG_ERROR, "Fail to open file %s", strPath.empty() ? strName.c_str() : strPath.c_str());
    return OS_STS_FAIL;
  }
  std::string str = "[System Information]\r\n";
  const auto Info = [](EOSCFGINFO a_eoscfginfo) {
    const char* sz = g_poscfg ? g_poscfg->InfoGetString(a_eoscfginfo, 0) : nullptr;
    return std::string(sz ? sz : "");
  };
  char sz[512];
  COsString::SStrPrintf(sz, sizeof sz, "OS:           Build: %s\r\n", Info(OS_CFGINFO_OS_BUILDSTRING).c_str());
  str += sz;
  COsString::SStrPrintf(sz, sizeof sz, "              Platform:  %s\r\n", Info(OS_CFGINFO_OS_NAMESTRING).c_str());
  str += sz;
  COsString::SStrPrintf(sz, sizeof sz, "              Version:  %s\r\n", Info(OS_CFGINFO_OS_VERSIONSTRING).c_str());
  str += sz;
  const time_t timet = time(nullptr);
  struct tm tmNow {};
  localtime_r(&timet, &tmNow);
  COsString::SStrPrintf(sz, sizeof sz, "              Date:  %.4d/%.2d/%.2d %.2d:%.2d\r\n", tmNow.tm_year + 1900,
                        tmNow.tm_mon + 1, tmNow.tm_mday, tmNow.tm_hour, tmNow.tm_min);
  str += sz;
  str += "\r\n[General]\r\n";
  auto ploginfo = std::make_unique<LogInfo>();
  GetCdInfo(ploginfo.get());
  str += ploginfo->szCdTitle[DEV_LOGUNIT_ADF];
  if (ploginfo->szCdVersion[DEV_LOGUNIT_ADF][0]) {
    std::string strLabel;
    {
      CDbLockGuard dblockguard;
      const char* szLabel = pod.m_pdatabase->LabelGet("about_version", "version: ", -1);
      strLabel = szLabel ? szLabel : "version: ";
    }
    str += "\r\n\r\n" + strLabel + " " + ploginfo->szCdVersion[DEV_LOGUNIT_ADF];
  }
  const EDBID_FIRMWARE edbidfirmware = CurrentFirmware();
  {
    LogRequest logrequest(edbidfirmware, DB_ID_LOG_ENUM_ABOUT);
    if (GetVersionInfo(&logrequest.devicelog, false) == OS_STS_SUCCESS) {
      str += "\r\n\r\n";
      AppendCrLf(str, logrequest.devicelog.pcData, logrequest.devicelog.sizetData);
    }
  }
  const struct {
    uint32_t u32LogType;
    const char* szHeading;
  } alog[] = {{DB_ID_LOG_ENUM_VERSION, "\r\n\r\n[Version]\r\n"}, {DB_ID_LOG_ENUM_ACTIVITY, "\r\n[Log]\r\n"}};
  for (const auto& log : alog) {
    LogRequest logrequest(edbidfirmware, log.u32LogType);
    {
      CDbLockGuard dblockguard;
      pod.m_pdatabase->SetCurrentLongFromId(DB_ID_LOG, static_cast<long>(log.u32LogType), false);
    }
    pod.m_pdevdevice->GetLog(&logrequest.devicelog);
    str += log.szHeading;
    AppendFile(str, logrequest.devicelog.szFilename);
    if (logrequest.devicelog.pcData) AppendCrLf(str, logrequest.devicelog.pcData, logrequest.devicelog.sizetData);
  }
  bool blWritten = true;
  for (size_t sizetDone = 0; blWritten && sizetDone < str.size();) {
    const ssize_t ssize = write(iFd, str.data() + sizetDone, str.size() - sizetDone);
    blWritten = ssize > 0;
    if (blWritten) sizetDone += static_cast<size_t>(ssize);
  }
  blWritten = close(iFd) == 0 && blWritten;
  if (!blWritten) {
    OsLog(OS_LOG_ERROR, "Fail to write file %s", strPath.c_str());
    return OS_STS_FAIL;
  }
  const auto Failed = [&](const char* a_szKey) {
    std::string strText;
    {
      CDbLockGuard dblockguard;
      const char* szLabel = pod.m_pdatabase->LabelGet(a_szKey, "failed", -1);
      strText = szLabel ? szLabel : "failed";
    }
    SetLastErrorText(strText.c_str());
  };
  EOSSTS eossts = ClearLog("activity");
  if (eossts != OS_STS_SUCCESS) {
    Failed("messageclearlogfailed");
    return eossts;
  }
  eossts = ClearMeters();
  if (eossts != OS_STS_SUCCESS) Failed("messageclearmetersfailed");
  return eossts;
}

EOSSTS CDevImpl::SaveLog(const char* a_szFilename, const char* a_szText, bool a_blSaveImages, bool a_blSession) {
  if (!a_szFilename || !a_szFilename[0]) {
    OsLog(OS_LOG_ERROR, "SaveLog: no archive named...");
    return OS_STS_FAIL;
  }
  std::string strFolder;
  std::string strLogFolder;
  if (a_blSession) {
    strFolder = Cfg(OS_CFGTAG_USERROOTDIRECTORY);
    strLogFolder = Cfg(OS_CFGTAG_LOGDIRECTORY);
  } else {
    // The library's own directory is "<model>/lib": the model's name names
    // the folder.
    char szHome[s_sizetPath];
    COsString::SStrCpy(szHome, sizeof szHome, Cfg(OS_CFGTAG_HOMEDIRECTORY));
    COsFile::PathRemoveTrailingSlash(szHome);
    char* pcLib = std::strrchr(szHome, '/');
    if (!pcLib || std::strcmp(pcLib + 1, "lib") != 0 || pcLib == szHome) {
      OsLog(OS_LOG_ERROR, "SaveLog: we don't know where we are...<%s>", szHome);
      return OS_STS_FAIL;
    }
    *pcLib = '\0';
    const char* pcModel = std::strrchr(szHome, '/');
    strFolder = Join(Cfg(OS_CFGTAG_ROOTPATH), pcModel ? pcModel + 1 : szHome);
    const std::string strTwain = strFolder + "/twain";
    strLogFolder = LatestLogFolder(COsFile::IsRealDirectory(strTwain.c_str()) ? strTwain : strFolder + "/wia");
  }
  if (strFolder.empty()) {
    OsLog(OS_LOG_ERROR, "SaveLog: no folder to archive...");
    return OS_STS_FAIL;
  }
  if (!strLogFolder.empty() && !WriteTextLog(strLogFolder, a_szText ? a_szText : "")) {
    OsLog(OS_LOG_ERROR, "Open failed (%s)...but we'll keep going...", a_szFilename);
  }
  std::vector<std::unique_ptr<LogRequest>> veclogrequest;
  if (a_blSession) {
    if (!pod.m_pdatabase) {
      OsLog(OS_LOG_ERROR, "hdbdatum is null for DB_ID_LOG");
      return OS_STS_FAIL;
    }
    std::vector<long> vecType;
    EDBID_FIRMWARE edbidfirmware = DB_FIRMWARE_ADF;
    {
      CDbLockGuard dblockguard;
      CDbDatum* pdbdatum = pod.m_pdatabase->Find(DB_ID_LOG);
      if (!pdbdatum) {
        OsLog(OS_LOG_ERROR, "hdbdatum is null for DB_ID_LOG");
        return OS_STS_FAIL;
      }
      const long lItems = pod.m_pdatabase->EnumGetDefaultItemCount(pdbdatum);
      for (long l = 0; l < lItems && l < s_lLogTypesMax; ++l) {
        vecType.push_back(pod.m_pdatabase->EnumGetDefaultItem(pdbdatum, l));
      }
      edbidfirmware = static_cast<EDBID_FIRMWARE>(pod.m_pdatabase->GetCurrentLongFromId(DB_ID_FIRMWARE));
    }
    for (long lType : vecType) {
      veclogrequest.push_back(std::make_unique<LogRequest>(edbidfirmware, static_cast<uint32_t>(lType)));
      GetLog(&veclogrequest.back()->devicelog, true);
    }
  }
  const EOSSTS eossts = COsFile::Package(a_szFilename, strFolder.c_str(), a_blSaveImages, OS_FILEPACKAGE_CREATE, true,
                                         OS_FILECOMPRESSION_AUTOMATIC, nullptr);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Package failed...%d", static_cast<int>(eossts));
    return OS_STS_FAIL;
  }
  // The session's log directory lies outside the user directory in this
  // layout: it joins the archive on its own.
  if (a_blSession && !Below(strLogFolder, strFolder)) {
    PackageFurther(a_szFilename, strLogFolder, a_blSaveImages, OS_FILEPACKAGE_APPEND, "Package failed...");
  }
  PackageFurther(a_szFilename, Join(Cfg(OS_CFGTAG_ROOTCOMMONDIRECTORY), "nexil"), a_blSaveImages, OS_FILEPACKAGE_APPEND,
                 "Package failed...");
  const std::string strModel = Join(Cfg(OS_CFGTAG_SYSTEMDIRECTORY), Cfg(OS_CFGTAG_MODELDIRECTORYREAL));
  PackageFurther(a_szFilename, strModel.empty() ? strModel : Join(strModel.c_str(), "install"), a_blSaveImages,
                 OS_FILEPACKAGE_APPEND, "Package failed (install logs)...");
  if (g_poscfg && g_poscfg->InfoGetLong(OS_CFGINFO_OS_PLATFORM, 0) == 1) {
    if (COsThread::GetProcessIntegrity() == 1) {
      PackageFurther(a_szFilename, Join(Cfg(OS_CFGTAG_ROOTPATHSHARED), Cfg(OS_CFGTAG_MODELDIRECTORY)), a_blSaveImages,
                     OS_FILEPACKAGE_NORMAL, "Package failed...");
      PackageFurther(a_szFilename, Cfg(OS_CFGTAG_LOCALLOWDIRECTORY), a_blSaveImages, OS_FILEPACKAGE_LOCALLOW,
                     "Package failed...");
    }
    PackageFurther(a_szFilename, Join(Cfg(OS_CFGTAG_ROOTPATHSHARED), "svt"), a_blSaveImages, OS_FILEPACKAGE_APPEND,
                   "Package failed...");
  }
  if (a_blSession) {
    for (const auto& plogrequest : veclogrequest) {
      bool blCurrent = true;
      {
        CDbLockGuard dblockguard;
        CDbDatum* pdbdatum = pod.m_pdatabase->Find(DB_ID_LOG);
        blCurrent = pdbdatum && pod.m_pdatabase->EnumHasCurrentItem(pdbdatum, plogrequest->devicelog.u32LogType);
      }
      // The driver's own log is the live file, not a copy fetched for the archive.
      if (!blCurrent && plogrequest->devicelog.u32LogType != DB_ID_LOG_ENUM_DRIVERDEBUG)
        DeleteLogFiles(&plogrequest->devicelog);
    }
  }
  return OS_STS_SUCCESS;
}
