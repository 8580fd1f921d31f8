// The data entry's device list: one device element per scanner directory of
// the data directory, read while drivers may write the files (each is
// replaced whole, so a read sees an old or a new one).
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "dev_cdevdataxml.h"
#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosresource.h"
#include "os_cosstring.h"
#include "os_cosxml.h"

namespace {

// device.xml and accumulators.xml are short; beyond this they are not read.
constexpr size_t s_sizetListFileMax = 0x10000;
// The VERSION resource of a component: at most this many characters.
constexpr size_t s_sizetVersion = 32;
constexpr size_t s_sizetValue = 256;

const char* DevListCfg(unsigned a_uTag) {
  const char* sz = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, a_uTag) : nullptr;
  return sz ? sz : "";
}

// The first s_sizetListFileMax bytes of a regular file (not through a link);
// empty when there is none.
std::string ListReadFile(const std::string& a_strPath) {
  std::string str;
  const int iFd = open(a_strPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (iFd < 0) return str;
  struct stat st;
  if (fstat(iFd, &st) == 0 && S_ISREG(st.st_mode)) {
    str.resize(s_sizetListFileMax);
    size_t sizetRead = 0;
    for (ssize_t ssize; sizetRead < str.size() &&
                        (ssize = read(iFd, str.data() + sizetRead, str.size() - sizetRead)) > 0;) {
      sizetRead += static_cast<size_t>(ssize);
    }
    str.resize(sizetRead);
  }
  close(iFd);
  return str;
}

// The text of an element of a data file as it stands there (escaped).
bool ListElement(const std::string& a_strXml, const char* a_szName, std::string* a_pstr) {
  const std::string strStart = std::string("<") + a_szName + ">";
  const std::string strEnd = std::string("</") + a_szName + ">";
  const size_t sizetStart = a_strXml.find(strStart);
  if (sizetStart == std::string::npos) return false;
  const size_t sizetEnd = a_strXml.find(strEnd, sizetStart + strStart.size());
  if (sizetEnd == std::string::npos) return false;
  *a_pstr = a_strXml.substr(sizetStart + strStart.size(), sizetEnd - sizetStart - strStart.size());
  return true;
}

void ListLine(std::string* a_pstr, const char* a_szIndent, const char* a_szName, const std::string& a_strValue) {
  *a_pstr += std::string(a_szIndent) + "<" + a_szName + ">" + a_strValue + "</" + a_szName + ">\n";
}

// A text of ours in an element: escaped.
std::string ListEscaped(const char* a_sz) {
  std::string str;
  for (const char* pc = a_sz; *pc; ++pc) {
    if (*pc == '&') str += "&amp;";
    else if (*pc == '<') str += "&lt;";
    else if (*pc == '>') str += "&gt;";
    else str += *pc;
  }
  return str;
}

// A component's VERSION resource; false when it has none.
bool ComponentVersion(const std::string& a_strFile, std::string* a_pstr) {
  if (a_strFile.empty() || !COsFile::Exists(a_strFile.c_str())) return false;
  COsResource osresource;
  if (osresource.Open(a_strFile.c_str(), "VERSION", OS_RESOURCETYPE_DATA) != OS_STS_SUCCESS) return false;
  const auto* pc = static_cast<const char*>(osresource.GetPointer());
  const size_t sizet = pc ? static_cast<size_t>(std::min<uint64_t>(osresource.GetSize(), s_sizetVersion - 1)) : 0;
  std::string str(pc ? pc : "", sizet);
  osresource.Close();
  str.resize(std::strlen(str.c_str()));
  *a_pstr = ListEscaped(str.c_str());
  return !a_pstr->empty();
}

std::string ListHome(const char* a_szName, bool a_blLibrary) {
  return std::string(DevListCfg(OS_CFGTAG_HOMEDIRECTORY)) + "/" + a_szName + (a_blLibrary ? ".so" : "");
}

// The directory two levels above SystemDirectory.
std::string SystemGrandparent() {
  std::string str = DevListCfg(OS_CFGTAG_SYSTEMDIRECTORY);
  for (int i = 0; i < 2; ++i) {
    while (str.size() > 1 && str.back() == '/') str.pop_back();
    const size_t sizet = str.rfind('/');
    str = sizet == std::string::npos || sizet == 0 ? std::string("/") : str.substr(0, sizet);
  }
  return str;
}

std::string IsisDriver() {
  const std::string strModel = DevListCfg(OS_CFGTAG_MODELDIRECTORYREAL);
  const std::string strInf =
      std::string(DevListCfg(OS_CFGTAG_SYSTEMDIRECTORY)) + "/" + strModel + "/inf/" + strModel + ".inf";
  char szName[s_sizetValue] = {};
  if (!g_poscfg || !COsFile::Exists(strInf.c_str()) ||
      g_poscfg->ProfileGet(strInf.c_str(), "Scanner.DeviceData", "ISISDriverName", szName, sizeof szName) !=
          OS_STS_SUCCESS ||
      !CDevDataXml::IsUsableName(szName)) {
    return std::string();
  }
  return SystemGrandparent() + "/PIXTRAN/" + szName;
}

std::string TwainSource() {
  const std::string strBase = g_poscfg && g_poscfg->InfoGetLong(OS_CFGINFO_OS_PLATFORM, 0) == 1
                                  ? SystemGrandparent() + "/twain_32"
                                  : std::string("/usr/local/lib/twain/pemra");
  const char* szCompany = DevListCfg(OS_CFGTAG_COMPANYNAMESHORT);
  return strBase + "/" + (*szCompany ? szCompany : "pemra") + "/" + DevListCfg(OS_CFGTAG_MODELDIRECTORYREAL) + "/pmx.ds";
}

// "setup.txt" of the home directory.
std::string ListSetupValue(const char* a_szSection, const char* a_szKey) {
  const std::string strSetup = ListHome("setup.txt", false);
  char szValue[s_sizetValue] = {};
  if (!g_poscfg || !COsFile::Exists(strSetup.c_str()) ||
      g_poscfg->ProfileGet(strSetup.c_str(), a_szSection, a_szKey, szValue, sizeof szValue) != OS_STS_SUCCESS) {
    return std::string();
  }
  return szValue;
}

// "online" exists and a driver holds its exclusive lock; it is never made.
// The probe's own lock is shared: another device list probing at once is
// no driver.
bool ListIsOnline(const std::string& a_strDirectory) {
  const int iFd = open((a_strDirectory + "/online").c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (iFd < 0) return false;
  const bool blHeld = flock(iFd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  close(iFd);
  return blHeld;
}

}  // namespace

void CDevDataXml::GetTwLog(std::string* a_pstr, const char* a_szDirectory, const char* a_szSerialNumber) {
  std::string& rstr = *a_pstr;
  const std::string strDevice = ListReadFile(std::string(a_szDirectory) + "/device.xml");
  std::string strValue;
  rstr += "\t\t<tw_log>\n";
  ListLine(&rstr, "\t\t\t", "cdname", ListEscaped(ListSetupValue("Info", "Dialog").c_str()));
  if (ListElement(strDevice, "model", &strValue)) ListLine(&rstr, "\t\t\t", "model", strValue);
  char szVersion[s_sizetValue] = {};
  const std::string strCd = ListSetupValue("Versions", "CD");
  if (!strCd.empty()) COsString::StrConvertVersionToUserFormat(szVersion, sizeof szVersion, strCd.c_str());
  ListLine(&rstr, "\t\t\t", "versioncd", ListEscaped(szVersion));
  std::string strDravix = ListHome("driverdravix", false);
  if (COsFile::Exists(ListHome("dravix", false).c_str())) strDravix = ListHome("dravix", false);
  const struct {
    const char* szElement;
    std::string strFile;
  } acomponentBefore[] = {
      {"versiontwain", TwainSource()},         {"versionwia", ListHome("wia", true)},
      {"versionwiaentry", ListHome("wiaentry", true)}, {"versionui", ListHome("twaingui.exe", false)},
      {"versionpelum", ListHome("pelum", true)},   {"versiondravix", strDravix},
      {"versionisis", IsisDriver()},
  };
  for (const auto& component : acomponentBefore) {
    if (ComponentVersion(component.strFile, &strValue)) ListLine(&rstr, "\t\t\t", component.szElement, strValue);
  }
  for (const char* szName : {"background", "backgroundrear", "connection"}) {
    if (ListElement(strDevice, szName, &strValue)) ListLine(&rstr, "\t\t\t", szName, strValue);
  }
  ListLine(&rstr, "\t\t\t", "serialnumber", ListEscaped(a_szSerialNumber));
  if (ComponentVersion(ListHome("nexil", true), &strValue)) ListLine(&rstr, "\t\t\t", "versionnexil", strValue);
  ListLine(&rstr, "\t\t\t", "versiondriver", ListEscaped(g_poscfg ? g_poscfg->GetVersion(true) : ""));
  if (ComponentVersion(ListHome("device", true), &strValue)) ListLine(&rstr, "\t\t\t", "versiondevice", strValue);
  // The element's name is as readers know it.
  if (ComponentVersion(ListHome("devicemanager", true), &strValue)) {
    ListLine(&rstr, "\t\t\t", "versiondevicemananger", strValue);
  }
  for (const char* szName :
       {"meterpower", "metertransport", "meterlampfront", "meterlamprear", "meterfirstscan", "meterpagecount"}) {
    if (ListElement(strDevice, szName, &strValue)) ListLine(&rstr, "\t\t\t", szName, strValue);
  }
  if (ListElement(strDevice, "reportconsumablemeters", &strValue)) {
    std::string strWide;
    for (size_t sizet = 0; sizet < strValue.size(); ++sizet) {
      if (strValue.compare(sizet, 2, "\t\t") == 0) {
        strWide += "\t\t\t\t";
        ++sizet;
      } else {
        strWide += strValue[sizet];
      }
    }
    rstr += "\t\t\t<reportconsumablemeters>" + strWide + "\t\t</reportconsumablemeters>\n";
  }
  ListLine(&rstr, "\t\t\t", "multifeedcount", "0");
  ListLine(&rstr, "\t\t\t", "patchcount", "0");
  const std::string strAccumulators = ListReadFile(std::string(a_szDirectory) + "/accumulators.xml");
  if (strAccumulators.find("<accumulators>") != std::string::npos) {
    rstr += "\t\t\t<accumulators>\n";
    for (const char* szName : {"multifeedcount", "paperjamcount", "othererrorcount"}) {
      if (ListElement(strAccumulators, szName, &strValue)) ListLine(&rstr, "\t\t\t\t", szName, strValue);
    }
    rstr += "\t\t\t</accumulators>\n";
  }
  rstr += "\t\t</tw_log>\n";
}

// Only scanner directories are devices: "data.lock", stray files and links
// are passed over.
EOSSTS CDevDataXml::ExportDeviceList() {
  DevDataExportArgs& rargs = m_devdataexportargs;
  if (!m_szDataDirectory[0]) {
    OsLog(OS_LOG_ERROR, "devicelist: no data directory...");
    return Answer(false);
  }
  if (!DefaultFilename()) return Answer(false);
  std::string str = "<devicelist>\n";
  OsFileInfo osfileinfo;
  const std::string strPattern = std::string(m_szDataDirectory) + "/*";
  for (EOSSTS eossts = COsFile::FindFirst(strPattern.c_str(), &osfileinfo); eossts == OS_STS_SUCCESS;
       eossts = COsFile::FindNext(&osfileinfo)) {
    if (!IsUsableName(osfileinfo.szName) || !COsFile::IsRealDirectory(osfileinfo.szPath)) continue;
    str += "\t<device>\n";
    str += ListIsOnline(osfileinfo.szPath) ? "\t\t<deviceonline>true</deviceonline>\n"
                                       : "\t\t<deviceonline>false</deviceonline>\n";
    GetTwLog(&str, osfileinfo.szPath, osfileinfo.szName);
    str += "\t</device>\n";
  }
  COsFile::FindClose(&osfileinfo);
  str += "</devicelist>";
  const EOSSTS eossts = COsFile::WriteAtomic(rargs.szFilename, str.data(), str.size(), false);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "devicelist: not written...%d <%s>", static_cast<int>(eossts), rargs.szFilename);
    return Answer(false);
  }
  rargs.u64Size = str.size();
  m_blReportDataFile = true;
  return Answer(true);
}
