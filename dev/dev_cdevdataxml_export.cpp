// The data entry's exports and imports: the log archive ("eklog"), the scan
// histories as XML ("historytoxml") and the profile list ("profilelist").
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "dev_cdevdataxml.h"
#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosresource.h"
#include "os_cosstring.h"

namespace {

// Levels of the history walk below its source; deeper directories are not
// entered (logged).
constexpr size_t s_sizetHistoryLevels = 256;
// The numbers a history's XML file takes in a destination.
constexpr int s_iHistoryNumbers = 999999;

const char* DevExportCfg(unsigned a_uTag) {
  const char* sz = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, a_uTag) : nullptr;
  return sz ? sz : "";
}

// The object frees itself at the end of the scope.
template <typename T>
struct ExportOwned {
  T* p;
  ~ExportOwned() { OsMemDelete(p); }
};

// The name's end where its first ".hst" ends it (letter case ignored);
// npos for any other name.
size_t HistoryStem(const char* a_szNameLower) {
  const char* pc = std::strstr(a_szNameLower, ".hst");
  if (!pc || pc[4] != '\0') return std::string::npos;
  return static_cast<size_t>(pc - a_szNameLower);
}

bool ExportIsRegularFile(const char* a_szPath) {
  struct stat st;
  return lstat(a_szPath, &st) == 0 && S_ISREG(st.st_mode);
}

// The XML file of a history: beside it, or in the destination under the
// first free number. A number is claimed by making its file (another
// export into the destination at once takes the next); *a_pblClaimed says
// that file is ours to remove should the conversion fail.
bool HistoryOutput(const OsFileInfo& a_osfileinfo, size_t a_sizetStem, const char* a_szDestination,
                   std::string* a_pstr, bool* a_pblClaimed) {
  *a_pblClaimed = false;
  const std::string strStem(a_osfileinfo.szName, a_sizetStem);
  if (!*a_szDestination) {
    const std::string strPath = a_osfileinfo.szPath;
    *a_pstr = strPath.substr(0, strPath.size() - 4) + ".xml";
    return true;
  }
  for (int i = 0; i <= s_iHistoryNumbers; ++i) {
    char szNumber[16];
    COsString::SStrPrintf(szNumber, sizeof szNumber, ".%06d.xml", i);
    *a_pstr = std::string(a_szDestination) + "/" + strStem + szNumber;
    const int iFd = open(a_pstr->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (iFd >= 0) {
      close(iFd);
      *a_pblClaimed = true;
      return true;
    }
    if (errno != EEXIST) {
      OsLog(OS_LOG_ERROR, "historytoxml: no file in the destination...%d <%s>", errno, a_pstr->c_str());
      return false;
    }
  }
  OsLog(OS_LOG_ERROR, "historytoxml: every number is taken...<%s>", strStem.c_str());
  return false;
}

}  // namespace

bool CDevDataXml::DefaultFilename() {
  DevDataExportArgs& rargs = m_devdataexportargs;
  if (rargs.szFilename[0]) return true;
  char szDirectory[s_sizetPath];
  if (!COsFile::PathJoin(szDirectory, sizeof szDirectory, DevExportCfg(OS_CFGTAG_LOGDIRECTORY), "tmp") ||
      !DevExportCfg(OS_CFGTAG_LOGDIRECTORY)[0]) {
    OsLog(OS_LOG_ERROR, "No directory for the export...<%s>", DevExportCfg(OS_CFGTAG_LOGDIRECTORY));
    return false;
  }
  const EOSSTS eossts = COsFile::Create(szDirectory);
  if ((eossts != OS_STS_SUCCESS && eossts != OS_STS_ALREADY_EXISTS) ||
      COsFile::GetTempName(szDirectory, rargs.szFilename, "exp", sizeof rargs.szFilename) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "No file for the export...%d <%s>", static_cast<int>(eossts), szDirectory);
    rargs.szFilename[0] = '\0';
    return false;
  }
  return true;
}

// The archive needs no capability (SaveLog outside a session reads none):
// its device object has no database.
EOSSTS CDevDataXml::ExportEklog() {
  DevDataExportArgs& rargs = m_devdataexportargs;
  if (!DefaultFilename()) return Answer(false);
  ExportOwned<CDev> dev{OsMemNew(CDev, nullptr, nullptr, nullptr)};
  if (!dev.p) {
    OsLog(OS_LOG_ERROR, "OsMemNew failed...");
    return Answer(false);
  }
  const EOSSTS eossts = dev.p->SaveLog(rargs.szFilename, rargs.szText, rargs.blSaveImages, false);
  struct stat st;
  if (eossts != OS_STS_SUCCESS || stat(rargs.szFilename, &st) != 0) {
    OsLog(OS_LOG_ERROR, "Fail to save eklog %d <%s>...", static_cast<int>(eossts), rargs.szFilename);
    return Answer(false);
  }
  rargs.u64Size = static_cast<uint64_t>(st.st_size);
  m_blReportDataFile = true;
  return Answer(true);
}

// Depth first below the source, one directory's search per level on a
// growable stack; links to directories are not followed. Conversions of
// single files are logged and do not fail the export.
EOSSTS CDevDataXml::ExportHistoryToXml() {
  const DevDataExportArgs& rargs = m_devdataexportargs;
  if (!rargs.szSource[0] || !COsFile::IsRealDirectory(rargs.szSource)) {
    OsLog(OS_LOG_ERROR, "historytoxml: the source is no directory...<%s>", rargs.szSource);
    return Answer(false);
  }
  if (rargs.szDestination[0]) {
    const EOSSTS eossts = COsFile::Create(rargs.szDestination);
    if ((eossts != OS_STS_SUCCESS && eossts != OS_STS_ALREADY_EXISTS) ||
        !COsFile::IsRealDirectory(rargs.szDestination) || access(rargs.szDestination, W_OK | X_OK) != 0) {
      OsLog(OS_LOG_ERROR, "historytoxml: the destination cannot be written...%d <%s>", static_cast<int>(eossts),
            rargs.szDestination);
      return Answer(false);
    }
  }
  ExportOwned<CDev> dev{OsMemNew(CDev, nullptr, nullptr, nullptr)};
  if (!dev.p) {
    OsLog(OS_LOG_ERROR, "OsMemNew failed...");
    return Answer(false);
  }
  std::vector<OsFileInfo> vecosfileinfo;
  std::string strPattern = std::string(rargs.szSource) + "/*";
  vecosfileinfo.emplace_back();
  EOSSTS eossts = COsFile::FindFirst(strPattern.c_str(), &vecosfileinfo.back());
  int iConverted = 0;
  while (!vecosfileinfo.empty()) {
    if (eossts != OS_STS_SUCCESS) {
      COsFile::FindClose(&vecosfileinfo.back());
      vecosfileinfo.pop_back();
      if (!vecosfileinfo.empty()) eossts = COsFile::FindNext(&vecosfileinfo.back());
      continue;
    }
    const OsFileInfo& rosfileinfo = vecosfileinfo.back();
    if (std::strcmp(rosfileinfo.szName, ".") != 0 && std::strcmp(rosfileinfo.szName, "..") != 0) {
      if (COsFile::IsRealDirectory(rosfileinfo.szPath)) {
        if (vecosfileinfo.size() >= s_sizetHistoryLevels) {
          OsLog(OS_LOG_ERROR, "historytoxml: deeper than %zu levels, not entered...<%s>", s_sizetHistoryLevels,
                rosfileinfo.szPath);
        } else {
          strPattern = std::string(rosfileinfo.szPath) + "/*";
          vecosfileinfo.emplace_back();
          eossts = COsFile::FindFirst(strPattern.c_str(), &vecosfileinfo.back());
          continue;
        }
      } else if (const size_t sizetStem = HistoryStem(rosfileinfo.szNameLower);
                 sizetStem != std::string::npos && ExportIsRegularFile(rosfileinfo.szPath)) {
        std::string strOutput;
        bool blClaimed = false;
        if (HistoryOutput(rosfileinfo, sizetStem, rargs.szDestination, &strOutput, &blClaimed) &&
            dev.p->UnpackScanHistory(strOutput.c_str(), rosfileinfo.szPath) == OS_STS_SUCCESS) {
          ++iConverted;
        } else {
          OsLog(OS_LOG_ERROR, "historytoxml: not converted...<%s>", rosfileinfo.szPath);
          if (blClaimed) unlink(strOutput.c_str());
        }
      }
    }
    eossts = COsFile::FindNext(&vecosfileinfo.back());
  }
  OsLogDebug(OS_LOG_INFO, "historytoxml: %d files converted...<%s>", iConverted, rargs.szSource);
  return Answer(true);
}

// The driver's database when one lives in the process (one per process),
// else one made for the request; under the database lock throughout, so
// the driver's can neither go nor be made meanwhile.
EOSSTS CDevDataXml::ProfileList(bool a_blExport) {
  const DevDataExportArgs& rargs = m_devdataexportargs;
  if (!rargs.szFilename[0]) {
    OsLog(OS_LOG_ERROR, "Must specify a filename for <profilelist>...");
    return Answer(false);
  }
  CDbLockGuard dblockguard;
  ExportOwned<CDatabase> database{nullptr};
  CDatabase* pdatabase = CDbDatum::GetDatabase();
  if (!pdatabase) {
    database.p = OsMemNew(CDatabase);
    if (!database.p || !database.p->IsValid()) {
      OsLog(OS_LOG_ERROR, "profilelist: no database...");
      return Answer(false);
    }
    database.p->Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, OS_RESOURCE_LOCAL, true);
    pdatabase = database.p;
  }
  const EDBSTS edbsts =
      a_blExport ? pdatabase->ProfileExport(rargs.szFilename) : pdatabase->ProfileImport(rargs.szFilename, true);
  if (edbsts != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "profilelist %s failed...%d <%s>", a_blExport ? "export" : "import", static_cast<int>(edbsts),
          rargs.szFilename);
  }
  return Answer(edbsts == DB_STS_SUCCESS);
}
