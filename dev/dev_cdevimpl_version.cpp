// The scanner's information report in its three layouts: the general text
// log (log types 6 and 7), the general XML log (11) and the about text (12).
// The facts are gathered once into a LogInfo (the device asked for its
// meters and serial number first, the database read under its lock); the
// layouts are written without the lock.
//
// The texts come from the scanner, a text file and the label service: each
// piece goes into the log's buffer whole or is left out (logged), the XML
// values are escaped, and a label that serves as a print format is used only
// when its conversions are those of its default.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbdatum.h"
#include "db_cdblock.h"
#include "db_cdbversion.h"
#include "dev_cdevdatatext.h"
#include "dev_cdevimpl.h"
#include "dev_drvconfig.h"
#include "dev_loginfo.h"
#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslocale.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"

namespace {

constexpr size_t s_sizetLogText = 0x10000;
constexpr size_t s_sizetTextPiece = 356;
constexpr size_t s_sizetXmlPiece = 2048;
// setup.txt is a short text; beyond this it is not read.
constexpr size_t s_sizetSetupTxtMax = 1024 * 1024;
constexpr const char s_szConnection[] = "USBSCAN/2.0";
constexpr const char s_szNoVersion[] = "00000000";
constexpr long s_lBackgroundBlack = 1;
constexpr long s_lBackgroundWhite = 2;

// The fact index of a log's unit: the flatbed's for unit 2, else the feeder's.
DevLogUnit UnitIndex(EDBID_FIRMWARE a_edbidfirmware) {
  return a_edbidfirmware == DB_FIRMWARE_FLATBED ? DEV_LOGUNIT_FLATBED : DEV_LOGUNIT_ADF;
}

EDBCONFIGTARGET UnitTarget(DevLogUnit a_devlogunit) {
  return a_devlogunit == DEV_LOGUNIT_FLATBED ? DB_CONFIGTARGET_FLATBED : DB_CONFIGTARGET_ADF;
}

const char* Cfg(unsigned a_uTag) {
  const char* sz = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, a_uTag) : nullptr;
  return sz ? sz : "";
}

void Copy(char* a_szDst, size_t a_sizetDst, const char* a_szSrc) {
  COsString::SStrCpyCut(a_szDst, a_sizetDst, a_szSrc ? a_szSrc : "");
}

// The conversions of a print format, in order ("%d", "%1.1d", "%s"...).
std::vector<std::string> Conversions(const char* a_szFormat) {
  std::vector<std::string> vec;
  for (const char* pc = a_szFormat; *pc; ++pc) {
    if (*pc != '%') continue;
    const char* pcStart = pc++;
    while (*pc && std::strchr("-+ #0", *pc)) ++pc;
    while (std::isdigit(static_cast<unsigned char>(*pc))) ++pc;
    if (*pc == '.') {
      ++pc;
      while (std::isdigit(static_cast<unsigned char>(*pc))) ++pc;
    }
    if (!*pc) {
      vec.emplace_back(pcStart);  // a '%' at the end is a conversion of its own: never a match
      break;
    }
    vec.emplace_back(pcStart, pc + 1);
  }
  return vec;
}

// A label's text, or its default when it has none.
std::string Label(CDatabase* a_pdatabase, const char* a_szKey, const char* a_szDefault) {
  if (!a_pdatabase) return a_szDefault;
  CDbLockGuard dblockguard;
  const char* sz = a_pdatabase->LabelGet(a_szKey, a_szDefault, -1);
  return sz ? sz : a_szDefault;
}

// A label used as a print format: its default unless it converts exactly
// what the default does.
std::string FormatLabel(CDatabase* a_pdatabase, const char* a_szKey, const char* a_szDefault) {
  std::string str = Label(a_pdatabase, a_szKey, a_szDefault);
  if (!DevSameConversions(str.c_str(), a_szDefault)) {
    OsLog(OS_LOG_ERROR, "label %s does not convert as its default, the default is used...<%s>", a_szKey, str.c_str());
    str = a_szDefault;
  }
  return str;
}

// The log's text, built in pieces.
class LogText {
 public:
  explicit LogText(DeviceLog& a_devicelog) : m_devicelog(a_devicelog) {}

  // The pieces as one: all of them or none (logged).
  bool Append(const char* a_szWhat, std::initializer_list<const char*> a_ilszPiece) {
    size_t sizetBytes = 0;
    for (const char* sz : a_ilszPiece) sizetBytes += std::strlen(sz);
    if (!m_devicelog.pcData || m_devicelog.sizetData + sizetBytes + 1 > m_devicelog.sizetCapacity) {
      OsLog(OS_LOG_ERROR, "no room in the log for %s, %zu bytes: left out...", a_szWhat, sizetBytes);
      return false;
    }
    for (const char* sz : a_ilszPiece) {
      const size_t sizet = std::strlen(sz);
      std::memcpy(m_devicelog.pcData + m_devicelog.sizetData, sz, sizet);
      m_devicelog.sizetData += sizet;
    }
    m_devicelog.pcData[m_devicelog.sizetData] = '\0';
    return true;
  }
  // One piece formatted in a buffer of the layout's size; a piece longer
  // than that is left out (logged).
  __attribute__((format(printf, 3, 4))) bool Printf(size_t a_sizetPiece, const char* a_szFormat, ...) {
    std::vector<char> vecPiece(a_sizetPiece);
    va_list valist;
    va_start(valist, a_szFormat);
    const int i = std::vsnprintf(vecPiece.data(), vecPiece.size(), a_szFormat, valist);
    va_end(valist);
    if (i < 0 || static_cast<size_t>(i) >= a_sizetPiece) {
      OsLog(OS_LOG_ERROR, "a piece of the log does not fit %zu bytes: left out...<%s>", a_sizetPiece, a_szFormat);
      return false;
    }
    return Append(a_szFormat, {vecPiece.data()});
  }
  // A label format with its numbers; the label is checked by FormatLabel.
  bool Numbers(const std::string& a_strFormat, long a_l1, long a_l2 = 0, long a_l3 = 0, long a_l4 = 0) {
    const int iCount = static_cast<int>(Conversions(a_strFormat.c_str()).size());
    char sz[s_sizetTextPiece];
    int i = -1;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    switch (iCount) {
      case 1: i = std::snprintf(sz, sizeof sz, a_strFormat.c_str(), static_cast<int>(a_l1)); break;
      case 2:
        i = std::snprintf(sz, sizeof sz, a_strFormat.c_str(), static_cast<int>(a_l1), static_cast<int>(a_l2));
        break;
      case 4:
        i = std::snprintf(sz, sizeof sz, a_strFormat.c_str(), static_cast<int>(a_l1), static_cast<int>(a_l2),
                          static_cast<int>(a_l3), static_cast<int>(a_l4));
        break;
      default: break;
    }
#pragma GCC diagnostic pop
    if (i < 0 || static_cast<size_t>(i) >= sizeof sz) {
      OsLog(OS_LOG_ERROR, "a meter line does not fit: left out...<%s>", a_strFormat.c_str());
      return false;
    }
    return Append(a_strFormat.c_str(), {sz});
  }
  // "\t<name>%s</name>\n" with the value escaped, when there is one.
  bool Element(const char* a_szName, const char* a_szValue) {
    if (!a_szValue || !*a_szValue) return false;
    char szEscaped[s_sizetXmlPiece];
    if (!CDevDataText::Escape(szEscaped, sizeof szEscaped, a_szValue)) {
      OsLog(OS_LOG_ERROR, "the value of <%s> does not fit: left out...", a_szName);
      return false;
    }
    return Printf(s_sizetXmlPiece, "\t<%s>%s</%s>\n", a_szName, szEscaped, a_szName);
  }

 private:
  DeviceLog& m_devicelog;
};

// A program's name as the reports show it: the configuration's name, at
// most a_sizetMax characters, ":" appended, the first letter upper-cased.
std::string ProgramName(CDatabase* a_pdatabase, const char* a_szKey, size_t a_sizetMax) {
  std::string str;
  if (a_pdatabase) {
    CDbLockGuard dblockguard;
    const char* sz = a_pdatabase->ConfigGetString(a_szKey, DB_CONFIGTARGET_COMMON);
    str = sz ? sz : "";
  }
  str = str.substr(0, a_sizetMax) + ":";
  str[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(str[0])));
  return str;
}

// A meter the reports show: supported and not hidden.
bool IsShown(CDatabase& a_database, CDbDatum* a_pdbdatum) {
  switch (a_database.GetAccess(a_pdbdatum)) {
    case DB_ACCESS_NOTSUPPORTED:
    case DB_ACCESS_HIDDEN:
    case DB_ACCESS_READWRITEHIDDEN:
    case DB_ACCESS_READONLYHIDDEN: return false;
    default: return true;
  }
}

// A tenths value as "%d.%1.1d" takes it.
long Whole(int64_t a_i64) { return static_cast<long>(a_i64 / 10); }
long Tenth(int64_t a_i64) { return static_cast<long>(a_i64 % 10); }

const char* BackgroundWord(int32_t a_i32) {
  switch (a_i32) {
    case 1: return "black";
    case 2: return "white";
    case 3: return "switchable";
    default: return nullptr;
  }
}

// "setup.txt" splits into lines at CR and LF; empty lines and comments are
// skipped; a line's key is the upper-cased text before its first "=".
bool FindSetupValue(std::string_view a_sv, const char* a_szKey, std::string* a_pstrValue) {
  while (!a_sv.empty()) {
    const size_t sizetEnd = a_sv.find_first_of("\r\n");
    const std::string_view svLine = a_sv.substr(0, sizetEnd);
    a_sv = sizetEnd == std::string_view::npos ? std::string_view() : a_sv.substr(sizetEnd + 1);
    if (svLine.empty() || svLine[0] == ';') continue;
    const size_t sizetEqual = svLine.find('=');
    if (sizetEqual == std::string_view::npos) continue;
    std::string strKey(svLine.substr(0, sizetEqual));
    for (char& c : strKey) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (strKey != a_szKey) continue;
    std::string_view svValue = svLine.substr(sizetEqual + 1);
    while (!svValue.empty() && (svValue[0] == ' ' || svValue[0] == '\t')) svValue.remove_prefix(1);
    a_pstrValue->assign(svValue.substr(0, svValue.find('\0')));
    return true;
  }
  return false;
}

// The first s_sizetSetupTxtMax bytes of the file; false when it cannot be read.
bool ReadSetupTxt(const char* a_szPath, std::string* a_pstr) {
  const int iFd = open(a_szPath, O_RDONLY | O_CLOEXEC);
  if (iFd < 0) return false;
  struct stat st {};
  if (fstat(iFd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(iFd);
    return false;
  }
  a_pstr->assign(s_sizetSetupTxtMax + 1, '\0');
  size_t sizetRead = 0;
  while (sizetRead < a_pstr->size()) {
    const ssize_t ssize = read(iFd, a_pstr->data() + sizetRead, a_pstr->size() - sizetRead);
    if (ssize < 0) {
      close(iFd);
      return false;
    }
    if (ssize == 0) break;
    sizetRead += static_cast<size_t>(ssize);
  }
  close(iFd);
  if (sizetRead > s_sizetSetupTxtMax) {
    OsLog(OS_LOG_ERROR, "CDev::GetCdInfoFromSetupTxt() - %s is larger than %zu bytes, the rest is not read...",
          a_szPath, s_sizetSetupTxtMax);
    sizetRead = s_sizetSetupTxtMax;
  }
  a_pstr->resize(sizetRead);
  return true;
}

}  // namespace

bool DevSameConversions(const char* a_szLabel, const char* a_szDefault) {
  return Conversions(a_szLabel) == Conversions(a_szDefault);
}

EOSSTS CDevImpl::GetCdInfoFromSetupTxt(const char* a_szKey, EDBID_FIRMWARE a_edbidfirmware, char* a_szOutput,
                                       size_t a_sizetOutput) {
  if (!a_szKey || !a_szOutput || a_sizetOutput == 0) return OS_STS_FAIL;
  const bool blFlatbed = a_edbidfirmware == DB_FIRMWARE_FLATBED;
  char szPath[DEV_LOG_TEXT];
  bool blFits = true;
  if (blFlatbed) {
    std::string strFlatbed;
    if (pod.m_pdatabase) {
      CDbLockGuard dblockguard;
      if (pod.m_pdatabase->ConfigExists("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON)) {
        const char* sz = pod.m_pdatabase->ConfigGetString("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON);
        strFlatbed = sz ? sz : "";
      }
    }
    if (strFlatbed.empty()) {
      OsLogDebug(OS_LOG_INFO, "CDev::GetCdInfoFromSetupTxt() - Flatbed setup.txt file not found...");
      return OS_STS_FAIL;
    }
    blFits = COsFile::PathJoin(szPath, sizeof szPath, Cfg(OS_CFGTAG_SYSTEMDIRECTORY), strFlatbed.c_str()) &&
             COsFile::PathAppend(szPath, sizeof szPath, "lib") == OS_STS_SUCCESS &&
             COsFile::PathAppend(szPath, sizeof szPath, "setup.txt") == OS_STS_SUCCESS;
  } else {
    blFits = COsFile::PathJoin(szPath, sizeof szPath, Cfg(OS_CFGTAG_HOMEDIRECTORY), "setup.txt");
  }
  if (!blFits) {
    OsLog(OS_LOG_ERROR, "CDev::GetCdInfoFromSetupTxt() - Open setup.txt file failed...");
    return OS_STS_FAIL;
  }
  if (!COsFile::Exists(szPath)) {
    if (blFlatbed) {
      OsLogDebug(OS_LOG_INFO, "CDev::GetCdInfoFromSetupTxt() - szSetupTxtFilePath <%s> file not found...", szPath);
    } else {
      OsLog(OS_LOG_ERROR, "CDev::GetCdInfoFromSetupTxt() - szSetupTxtFilePath <%s> file not found...", szPath);
    }
    return OS_STS_FAIL;
  }
  std::string strText;
  if (!ReadSetupTxt(szPath, &strText)) {
    OsLog(OS_LOG_ERROR, "CDev::GetCdInfoFromSetupTxt() - Open setup.txt file failed...");
    return OS_STS_FAIL;
  }
  std::string strValue;
  if (FindSetupValue(strText, a_szKey, &strValue)) Copy(a_szOutput, a_sizetOutput, strValue.c_str());
  return OS_STS_SUCCESS;
}

EOSSTS CDevImpl::GetCdInfo(LogInfo* a_ploginfo) {
  LogInfo& l = *a_ploginfo;
  char* szAdf = l.szCdTitle[DEV_LOGUNIT_ADF];
  if (GetCdInfoFromSetupTxt("DIALOG", DB_FIRMWARE_ADF, szAdf, DEV_LOGINFO_TEXT) != OS_STS_SUCCESS) {
    OsLogDebug(OS_LOG_INFO, "CDev::GetCdInfo()- CD Title not found in setup.txt...");
    const char* szModel = Cfg(OS_CFGTAG_MODELDIRECTORY);
    const char* szUnderscore = std::strrchr(szModel, '_');
    Copy(szAdf, DEV_LOGINFO_TEXT, szUnderscore ? szUnderscore + 1 : szModel);
  }
  if (GetCdInfoFromSetupTxt("DIALOG", DB_FIRMWARE_FLATBED, l.szCdTitle[DEV_LOGUNIT_FLATBED], DEV_LOGINFO_TEXT) !=
      OS_STS_SUCCESS) {
    OsLogDebug(OS_LOG_INFO, "CDev::GetCdInfo()- Flatbed CD Title not found in setup.txt...");
    Copy(l.szCdTitle[DEV_LOGUNIT_FLATBED], DEV_LOGINFO_TEXT, szAdf);
  }
  char szVersionAdf[DEV_LOGINFO_TEXT] = {};
  char szVersionFlatbed[DEV_LOGINFO_TEXT] = {};
  if (GetCdInfoFromSetupTxt("CD", DB_FIRMWARE_ADF, szVersionAdf, sizeof szVersionAdf) != OS_STS_SUCCESS) {
    OsLogDebug(OS_LOG_INFO, "CDev::GetCdInfo()- CD Version not found in setup.txt, defaulting to 0.0...");
    Copy(szVersionAdf, sizeof szVersionAdf, s_szNoVersion);
  }
  if (GetCdInfoFromSetupTxt("CD", DB_FIRMWARE_FLATBED, szVersionFlatbed, sizeof szVersionFlatbed) != OS_STS_SUCCESS) {
    OsLogDebug(OS_LOG_INFO,
               "CDev::GetCdInfo()- CD Version for Flatbed not found in setup.txt, defaulting to ADF version...");
    Copy(szVersionFlatbed, sizeof szVersionFlatbed, szVersionAdf);
  }
  COsString::StrConvertVersionToUserFormat(l.szCdVersion[DEV_LOGUNIT_ADF], DEV_LOGINFO_VERSION, szVersionAdf);
  COsString::StrConvertVersionToUserFormat(l.szCdVersion[DEV_LOGUNIT_FLATBED], DEV_LOGINFO_VERSION, szVersionFlatbed);
  return OS_STS_SUCCESS;
}

// The lamp meters, each read only when supported, the front one asked of
// the device first.
EOSSTS CDevImpl::GetLampMeters(LogInfo* a_ploginfo, EDBID_FIRMWARE a_edbidfirmware) {
  if (!pod.m_pdatabase) return OS_STS_SUCCESS;
  const struct {
    EDBID edbid;
    DevLogMeter devlogmeter;
    bool blAsk;
  } ameter[] = {{DB_ID_METERLAMPFRONT, DEV_LOGMETER_LAMPFRONT, true},
                {DB_ID_METERLAMPREAR, DEV_LOGMETER_LAMPREAR, false}};
  for (const auto& meter : ameter) {
    bool blSupported = false;
    {
      CDbLockGuard dblockguard;
      blSupported = pod.m_pdatabase->IsIdSupported(meter.edbid);
    }
    if (!blSupported) continue;
    if (meter.blAsk) GetConfig(a_edbidfirmware, meter.edbid);
    CDbLockGuard dblockguard;
    CDbDatum* pdbdatum = pod.m_pdatabase->Find(meter.edbid);
    if (!pdbdatum) continue;
    a_ploginfo->ai64Meter[meter.devlogmeter] = pdbdatum->GetCurrentLongNoCallback();
    a_ploginfo->ablMeterShown[meter.devlogmeter] = IsShown(*pod.m_pdatabase, pdbdatum);
  }
  return OS_STS_SUCCESS;
}

EOSSTS CDevImpl::GetPatchCounts(LogInfo* a_ploginfo, EDBID_FIRMWARE) {
  if (!pod.m_pdatabase) return OS_STS_SUCCESS;
  CDbLockGuard dblockguard;
  CDatabase& database = *pod.m_pdatabase;
  if (!database.IsIdSupported(DB_ID_TOGGLEPATCH)) return OS_STS_SUCCESS;
  a_ploginfo->blPatchCounts = true;
  a_ploginfo->i64PatchCountFront = database.ConfigGetNumber("patchcountfront", DB_CONFIGTARGET_COMMON);
  a_ploginfo->blDuplex = database.ConfigExists("duplex", DB_CONFIGTARGET_COMMON);
  if (a_ploginfo->blDuplex) {
    a_ploginfo->i64PatchCountRear = database.ConfigGetNumber("patchcountrear", DB_CONFIGTARGET_COMMON);
  }
  return OS_STS_SUCCESS;
}

// Printer, flatbed and the backgrounds (1 black unless the capability says
// white).
EOSSTS CDevImpl::GetAccessories(LogInfo* a_ploginfo, EDBID_FIRMWARE a_edbidfirmware) {
  a_ploginfo->i32BackgroundFront = s_lBackgroundBlack;
  a_ploginfo->i32BackgroundRear = s_lBackgroundBlack;
  if (!pod.m_pdatabase) return OS_STS_SUCCESS;
  CDbLockGuard dblockguard;
  CDatabase& database = *pod.m_pdatabase;
  a_ploginfo->u8Printer = database.ConfigExists("printer", DB_CONFIGTARGET_COMMON) ? 1 : 0;
  a_ploginfo->u8Flatbed = database.ConfigExists("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON) ? 1 : 0;
  const auto White = [&](CDbDatum* a_pdbdatum) {
    return a_pdbdatum && a_pdbdatum->GetCurrentLongNoCallback() == s_lBackgroundWhite;
  };
  if (a_edbidfirmware == DB_FIRMWARE_FLATBED) {
    if (White(database.Find(DB_ID_BACKGROUNDPLATEN))) a_ploginfo->i32BackgroundFront = s_lBackgroundWhite;
    return OS_STS_SUCCESS;
  }
  if (White(database.FindInBin(DB_BIN_COLOR_FRONT, DB_ID_BACKGROUND)))
    a_ploginfo->i32BackgroundFront = s_lBackgroundWhite;
  if (White(database.FindInBin(DB_BIN_COLOR_REAR, DB_ID_BACKGROUND)))
    a_ploginfo->i32BackgroundRear = s_lBackgroundWhite;
  return OS_STS_SUCCESS;
}

EOSSTS CDevImpl::FillInLogInfo(LogInfo* a_ploginfo, EDBID_FIRMWARE a_edbidfirmware) {
  LogInfo& l = *a_ploginfo;
  GetCdInfo(a_ploginfo);
  const bool blFlatbed = FlatbedInSession();
  // The device's answers land in the database; each unit is asked alone.
  GetConfig(DB_FIRMWARE_ADF, DB_ID_SERIALNUMBER);
  if (blFlatbed) GetConfig(DB_FIRMWARE_FLATBED, DB_ID_SERIALNUMBER);
  const struct {
    EDBID edbid;
    DevLogMeter devlogmeter;
    bool blAsk;
  } ameter[] = {{DB_ID_METERPOWER, DEV_LOGMETER_POWER, true},
                {DB_ID_METERTRANSPORT, DEV_LOGMETER_TRANSPORT, false},
                {DB_ID_METERFIRSTSCAN, DEV_LOGMETER_FIRSTSCAN, true},
                {DB_ID_METERPAGECOUNT, DEV_LOGMETER_PAGECOUNT, true}};
  if (pod.m_pdatabase) {
    for (const auto& meter : ameter) {
      bool blSupported = false;
      {
        CDbLockGuard dblockguard;
        blSupported = pod.m_pdatabase->IsIdSupported(meter.edbid);
      }
      if (blSupported && meter.blAsk) GetConfig(a_edbidfirmware, meter.edbid);
    }
  }
  GetLampMeters(a_ploginfo, a_edbidfirmware);
  GetPatchCounts(a_ploginfo, a_edbidfirmware);
  GetAccessories(a_ploginfo, a_edbidfirmware);
  Copy(l.szLegalNotice, sizeof l.szLegalNotice, Label(pod.m_pdatabase, "about_copyright", "copyright").c_str());
  Copy(l.szConnection[DEV_LOGUNIT_ADF], DEV_LOGINFO_VERSION, s_szConnection);
  Copy(l.szConnection[DEV_LOGUNIT_FLATBED], DEV_LOGINFO_VERSION, s_szConnection);
  if (!pod.m_pdatabase) return OS_STS_SUCCESS;
  CDbLockGuard dblockguard;
  CDatabase& database = *pod.m_pdatabase;
  for (DevLogUnit devlogunit : {DEV_LOGUNIT_ADF, DEV_LOGUNIT_FLATBED}) {
    if (devlogunit == DEV_LOGUNIT_FLATBED && !blFlatbed) break;
    const EDBCONFIGTARGET edbconfigtarget = UnitTarget(devlogunit);
    Copy(l.szModel[devlogunit], DEV_LOGINFO_TEXT, database.ConfigGetString("model", edbconfigtarget));
    const char* szSerial = database.ConfigGetString("serialnumber", edbconfigtarget);
    if (!szSerial || !*szSerial) szSerial = database.ConfigEnumGetFirst("serialnumber", edbconfigtarget);
    Copy(l.szSerialNumber[devlogunit], DEV_LOGINFO_VERSION,
         database.ConfigExists("serialnumber", edbconfigtarget) && szSerial ? szSerial : s_szNoVersion);
  }
  if (CDbVersion* pdbversion = database.GetDbVersion()) {
    CDbVersion& v = *pdbversion;
    Copy(l.szVersionCaller, DEV_LOGINFO_VERSION, v.GetVersionCaller());
    Copy(l.szVersionUi, DEV_LOGINFO_VERSION, v.GetVersionUi());
    Copy(l.szVersionFirmware[0], DEV_LOGINFO_VERSION, v.GetVersionFirmwareAdf());
    Copy(l.szVersionFirmware[1], DEV_LOGINFO_VERSION, v.GetVersionFirmwareFlatbed());
    Copy(l.szVersionNexil[0], DEV_LOGINFO_VERSION, v.GetVersionNexilAdf());
    Copy(l.szVersionNexil[1], DEV_LOGINFO_VERSION, v.GetVersionNexilFlatbed());
    Copy(l.szVersionDevice[0], DEV_LOGINFO_VERSION, v.GetVersionDeviceAdf());
    Copy(l.szVersionDevice[1], DEV_LOGINFO_VERSION, v.GetVersionDeviceFlatbed());
    Copy(l.szVersionDeviceManager[0], DEV_LOGINFO_VERSION, v.GetVersionDeviceManagerAdf());
    Copy(l.szVersionDeviceManager[1], DEV_LOGINFO_VERSION, v.GetVersionDeviceManagerFlatbed());
    Copy(l.szVersionDriver, DEV_LOGINFO_VERSION, v.GetVersionDriver());
    Copy(l.szVersionDriverDravix, DEV_LOGINFO_VERSION, v.GetVersionDriverDravix());
    Copy(l.szVersionDrvAssistUi, DEV_LOGINFO_VERSION, v.GetVersionDrvAssistUi());
  }
  if (database.IsIdSupported(DB_ID_TIMEDATE)) {
    Copy(l.szTimeDate, sizeof l.szTimeDate, database.GetCurrentStringNoCallback(DB_ID_TIMEDATE));
  }
  for (const auto& meter : ameter) {
    if (!database.IsIdSupported(meter.edbid)) continue;
    CDbDatum* pdbdatum = database.Find(meter.edbid);
    if (!pdbdatum) continue;
    l.ablMeterShown[meter.devlogmeter] = IsShown(database, pdbdatum);
    if (meter.devlogmeter == DEV_LOGMETER_FIRSTSCAN) {
      Copy(l.szMeterFirstScan, sizeof l.szMeterFirstScan, pdbdatum->GetCurrentStringNoCallback());
    } else {
      l.ai64Meter[meter.devlogmeter] = pdbdatum->GetCurrentLongNoCallback();
    }
  }
  l.i64MultifeedCount = database.ConfigGetNumber("multifeedcount", DB_CONFIGTARGET_COMMON);
  l.blConsumableMeters = database.ConfigEnumGetFirst("consumablemetertype", UnitTarget(UnitIndex(a_edbidfirmware))) ||
                         database.ConfigEnumGetFirst("consumablemetertype", DB_CONFIGTARGET_COMMON);
  return OS_STS_SUCCESS;
}

void CDevImpl::FormatGeneralLog(const LogInfo& a_loginfo, DeviceLog* a_pdevicelog) {
  const LogInfo& l = a_loginfo;
  const DevLogUnit u = UnitIndex(a_pdevicelog->edbidfirmware);
  const bool blFeeder = u == DEV_LOGUNIT_ADF;
  CDatabase* pdatabase = pod.m_pdatabase;
  LogText text(*a_pdevicelog);
  const auto L = [&](const char* a_szKey, const char* a_szDefault) { return Label(pdatabase, a_szKey, a_szDefault); };
  if (l.szCdTitle[u][0]) text.Printf(s_sizetTextPiece, "%s", l.szCdTitle[u]);
  text.Append("newline", {"\n"});
  if (l.szCdVersion[u][0]) {
    text.Printf(s_sizetTextPiece, "\n%s %s", L("about_version", "version: ").c_str(), l.szCdVersion[u]);
  }
  text.Append("newline", {"\n"});
  if (l.szModel[u][0]) {
    text.Printf(s_sizetTextPiece, "\n%-28.28s%s", L("about_scanner", "scanner: ").c_str(), l.szModel[u]);
    if (l.szConnection[u][0]) text.Printf(s_sizetTextPiece, " (%s)", l.szConnection[u]);
  }
  if (l.szSerialNumber[u][0]) {
    text.Printf(s_sizetTextPiece, "\n%-28.28s%s", L("about_serialnumber", "serial number: ").c_str(),
                l.szSerialNumber[u]);
  }
  std::string strAccessories;
  const std::string strWhite = L("enum_accessorylist_whitebackground", "white background");
  if (!blFeeder) {
    if (l.i32BackgroundFront == s_lBackgroundWhite) strAccessories = strWhite;
    if (l.i32BackgroundFront == s_lBackgroundBlack) {
      strAccessories = L("enum_accessorylist_blackbackground", "black background");
    }
  } else {
    const auto Add = [&](const std::string& a_str) { strAccessories += (strAccessories.empty() ? "" : ", ") + a_str; };
    if (l.u8Flatbed) Add(L("enum_accessorylist_platen", "platen"));
    if (l.u8Printer) Add(L("enum_accessorylist_printer", "printer"));
    if (l.i32BackgroundFront == s_lBackgroundWhite || l.i32BackgroundRear == s_lBackgroundWhite) Add(strWhite);
  }
  text.Printf(s_sizetTextPiece, "\n%-28.28s%s", L("about_accessories", "accessories: ").c_str(),
              strAccessories.c_str());
  text.Append("newline", {"\n"});
  const bool blRtl = g_poslocale && g_poslocale->GetLanguageRtl(nullptr);
  const int iWidth = blRtl ? 28 : 27;
  const std::string strWord = blRtl ? L("about_version", "version") : std::string();
  const std::pair<std::string, const char*> aversion[] = {
      {ProgramName(pdatabase, "callername", 34), l.szVersionCaller},
      {"Driver.dll:", l.szVersionDriver},
      {ProgramName(pdatabase, "ui", 34), l.szVersionUi},
      {"Nexil.dll:", l.szVersionNexil[u]},
      {"Device.dll:", l.szVersionDevice[u]},
      {"DeviceManager.dll:", l.szVersionDeviceManager[u]},
      {L("about_firmware", "firmware: "), l.szVersionFirmware[u]},
      {"DrvAssistUi.exe:", l.szVersionDrvAssistUi},
      {"DriverDravix.exe:", l.szVersionDriverDravix},
  };
  for (const auto& version : aversion) {
    if (!version.second[0]) continue;
    text.Printf(s_sizetTextPiece, "\n%-*.*s%s %s", iWidth, iWidth, version.first.c_str(), strWord.c_str(),
                version.second);
  }
  text.Append("newline", {"\n"});
  if (l.szTimeDate[0]) {
    text.Printf(s_sizetTextPiece, "\n%-28.28s%s", L("about_timedate", "date / time: ").c_str(), l.szTimeDate);
  }
  const auto F = [&](const char* a_szKey, const char* a_szDefault) {
    return FormatLabel(pdatabase, a_szKey, a_szDefault);
  };
  const int64_t* ai64 = l.ai64Meter;
  const bool* abl = l.ablMeterShown;
  if (abl[DEV_LOGMETER_POWER]) {
    text.Numbers(F("about_meterpower", "\npower-on: %d.%1.1d hours"), Whole(ai64[DEV_LOGMETER_POWER]),
                 Tenth(ai64[DEV_LOGMETER_POWER]));
  }
  if (abl[DEV_LOGMETER_TRANSPORT]) {
    text.Numbers(F("about_metertransport", "\ntransport: %d.%1.1d hours"), Whole(ai64[DEV_LOGMETER_TRANSPORT]),
                 Tenth(ai64[DEV_LOGMETER_TRANSPORT]));
  }
  const int64_t i64Front = ai64[DEV_LOGMETER_LAMPFRONT];
  const int64_t i64Rear = ai64[DEV_LOGMETER_LAMPREAR];
  if (blFeeder && abl[DEV_LOGMETER_LAMPFRONT] && abl[DEV_LOGMETER_LAMPREAR]) {
    text.Numbers(F("about_meterlamps", "\nlamp: %d.%1.1d front hours / %d.%1.1d rear hours"), Whole(i64Front),
                 Tenth(i64Front), Whole(i64Rear), Tenth(i64Rear));
  } else if (abl[DEV_LOGMETER_LAMPFRONT]) {
    text.Numbers(F("about_meterlampfront", "\nlamp: %d.%1.1d front hours"), Whole(i64Front), Tenth(i64Front));
  }
  if (abl[DEV_LOGMETER_FIRSTSCAN] && l.szMeterFirstScan[0]) {
    const std::string strFormat = F("about_meterfirstscan", "\nfirst scan: %s");
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    text.Printf(s_sizetTextPiece, strFormat.c_str(), l.szMeterFirstScan);
#pragma GCC diagnostic pop
  }
  if (abl[DEV_LOGMETER_PAGECOUNT]) {
    text.Numbers(F("about_meterpagecount", "\ntotal pages: %d"), static_cast<long>(ai64[DEV_LOGMETER_PAGECOUNT]));
  }
  if (blFeeder) {
    text.Numbers(F("about_multifeedcount", "\nmultifeed count: %d"), static_cast<long>(l.i64MultifeedCount));
    if (l.blPatchCounts && l.blDuplex) {
      text.Numbers(F("about_patchcount", "\npatch count: %d Front / %d Rear"), static_cast<long>(l.i64PatchCountFront),
                   static_cast<long>(l.i64PatchCountRear));
    } else if (l.blPatchCounts) {
      text.Numbers(F("about_patchcountfront", "\npatch count: %d Front"), static_cast<long>(l.i64PatchCountFront));
    }
  }
  if (l.szLegalNotice[0]) text.Printf(s_sizetTextPiece, "\n\n%s", l.szLegalNotice);
}

void CDevImpl::FormatGeneralXmlLog(const LogInfo& a_loginfo, DeviceLog* a_pdevicelog) {
  const LogInfo& l = a_loginfo;
  const DevLogUnit u = UnitIndex(a_pdevicelog->edbidfirmware);
  const bool blFeeder = u == DEV_LOGUNIT_ADF;
  LogText text(*a_pdevicelog);
  text.Append("<tw_log>", {"<tw_log>\n"});
  text.Element("cdname", l.szCdTitle[u]);
  text.Element("model", l.szModel[u]);
  text.Element("versioncd", l.szCdVersion[u]);
  text.Element("versiontwain", l.szVersionCaller);
  text.Element("versionui", l.szVersionUi);
  if (blFeeder && l.u8Flatbed) text.Append("<flatbed>", {"\t<flatbed>true</flatbed>\n"});
  if (blFeeder && l.u8Printer) text.Append("<printer>", {"\t<printer>true</printer>\n"});
  text.Element("background", BackgroundWord(l.i32BackgroundFront));
  if (blFeeder) text.Element("backgroundrear", BackgroundWord(l.i32BackgroundRear));
  text.Element("connection", l.szConnection[u]);
  text.Element("serialnumber", l.szSerialNumber[u]);
  text.Element("versionfirmware", l.szVersionFirmware[u]);
  text.Element("versionnexil", l.szVersionNexil[u]);
  text.Element("versiondriver", l.szVersionDriver);
  text.Element("versiondevice", l.szVersionDevice[u]);
  text.Element("versiondevicemanager", l.szVersionDeviceManager[u]);
  text.Element("versiondrvassistui", l.szVersionDrvAssistUi);
  text.Element("versiondriverdravix", l.szVersionDriverDravix);
  const bool blReal = DevDriverConfigGetLong(DRV_CFGTAG_FORCEMETERSREAL) != 0;
  const struct {
    DevLogMeter devlogmeter;
    const char* szElement;
    bool blFeederOnly;
  } ameter[] = {{DEV_LOGMETER_POWER, "meterpower", false},
                {DEV_LOGMETER_TRANSPORT, "metertransport", false},
                {DEV_LOGMETER_LAMPFRONT, "meterlampfront", false},
                {DEV_LOGMETER_LAMPREAR, "meterlamprear", true}};
  for (const auto& meter : ameter) {
    if (!l.ablMeterShown[meter.devlogmeter] || (meter.blFeederOnly && !blFeeder)) continue;
    const int64_t i64 = l.ai64Meter[meter.devlogmeter];
    if (blReal) {
      text.Printf(s_sizetXmlPiece, "\t<%s>%d.%1.1d</%s>\n", meter.szElement, static_cast<int>(Whole(i64)),
                  static_cast<int>(Tenth(i64)), meter.szElement);
    } else {
      text.Printf(s_sizetXmlPiece, "\t<%s>%ld</%s>\n", meter.szElement, static_cast<long>(i64), meter.szElement);
    }
  }
  if (l.ablMeterShown[DEV_LOGMETER_FIRSTSCAN]) text.Element("meterfirstscan", l.szMeterFirstScan);
  if (l.ablMeterShown[DEV_LOGMETER_PAGECOUNT]) {
    text.Printf(s_sizetXmlPiece, "\t<meterpagecount>%d</meterpagecount>\n",
                static_cast<int>(l.ai64Meter[DEV_LOGMETER_PAGECOUNT]));
  }
  if (blFeeder) {
    text.Printf(s_sizetXmlPiece, "\t<multifeedcount>%d</multifeedcount>\n", static_cast<int>(l.i64MultifeedCount));
    if (l.blPatchCounts) {
      text.Printf(s_sizetXmlPiece, "\t<patchcountfront>%d</patchcountfront>\n", static_cast<int>(l.i64PatchCountFront));
      if (l.blDuplex) {
        text.Printf(s_sizetXmlPiece, "\t<patchcountrear>%d</patchcountrear>\n", static_cast<int>(l.i64PatchCountRear));
      }
    }
    char* szMeters = nullptr;
    if (l.blConsumableMeters && GetConsumableMeters(&szMeters) == OS_STS_SUCCESS && szMeters && szMeters[0]) {
      text.Append("reportconsumablemeters", {"\t<reportconsumablemeters>", szMeters, "</reportconsumablemeters>\n"});
    }
    if (szMeters) OsMemFree(szMeters);
  }
  text.Append("</tw_log>", {"</tw_log>\n"});
}

void CDevImpl::FormatAboutWindow(const LogInfo& a_loginfo, DeviceLog* a_pdevicelog) {
  const LogInfo& l = a_loginfo;
  CDatabase* pdatabase = pod.m_pdatabase;
  LogText text(*a_pdevicelog);
  const char* szFlatbedModel = l.szModel[DEV_LOGUNIT_FLATBED];
  // A feeder's value, then " / " and the flatbed's when it has one.
  const auto Both = [&](const char* a_szFormat, const std::string& a_strName, const char* a_szAdf,
                        const char* a_szFlatbed) {
    if (!a_szAdf[0]) return;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    text.Printf(s_sizetTextPiece, a_szFormat, a_strName.c_str(), a_szAdf);
#pragma GCC diagnostic pop
    if (a_szFlatbed && a_szFlatbed[0]) text.Printf(s_sizetTextPiece, " / %s", a_szFlatbed);
  };
  const auto One = [&](const char* a_szName, const char* a_szValue) {
    if (a_szValue[0]) text.Printf(s_sizetTextPiece, "\n%s:\n%s", a_szName, a_szValue);
  };
  Both("%s\n%s", Label(pdatabase, "about_scanner", "scanner: "), l.szModel[DEV_LOGUNIT_ADF], szFlatbedModel);
  Both("\n%s\n%s", Label(pdatabase, "about_serialnumber", "serial number: "), l.szSerialNumber[DEV_LOGUNIT_ADF],
       l.szSerialNumber[DEV_LOGUNIT_FLATBED]);
  text.Append("newlines", {"\n\n"});
  Both("\n%s\n%s", ProgramName(pdatabase, "callername", 26), l.szVersionCaller, nullptr);
  One("Driver.dll", l.szVersionDriver);
  Both("\n%s\n%s", ProgramName(pdatabase, "ui", 26), l.szVersionUi, nullptr);
  Both("\n%s\n%s", "Nexil.dll:", l.szVersionNexil[0], l.szVersionNexil[1]);
  Both("\n%s\n%s", "Device.dll:", l.szVersionDevice[0], l.szVersionDevice[1]);
  Both("\n%s\n%s", "DeviceManager.dll:", l.szVersionDeviceManager[0], l.szVersionDeviceManager[1]);
  Both("\n%s\n%s", Label(pdatabase, "about_firmware", "firmware: "), l.szVersionFirmware[0], l.szVersionFirmware[1]);
  One("DrvAssistUi.exe", l.szVersionDrvAssistUi);
  One("DriverDravix.exe", l.szVersionDriverDravix);
  // The about window shows the installation's title and version apart.
  const auto Pair = [](char* a_szDst, size_t a_sizetDst, const char* a_szAdf, const char* a_szFlatbed) {
    if (!a_szAdf[0]) return;
    if (a_szFlatbed[0] && std::strcmp(a_szAdf, a_szFlatbed) != 0) {
      COsString::SStrPrintf(a_szDst, a_sizetDst, "%s / %s", a_szAdf, a_szFlatbed);
    } else {
      Copy(a_szDst, a_sizetDst, a_szAdf);
    }
  };
  Pair(a_pdevicelog->szCdTitle, sizeof a_pdevicelog->szCdTitle, l.szCdTitle[0], l.szCdTitle[1]);
  Pair(a_pdevicelog->szCdVersion, sizeof a_pdevicelog->szCdVersion, l.szCdVersion[0], l.szCdVersion[1]);
}

EOSSTS CDevImpl::GetVersionInfo(DeviceLog* a_pdevicelog, bool a_blSave) {
  if (!a_pdevicelog) {
    OsLog(OS_LOG_ERROR, "a_pdevicelog is null...");
    return OS_STS_FAIL;
  }
  DeviceLog& devicelog = *a_pdevicelog;
  if (!devicelog.pcData || devicelog.sizetCapacity < s_sizetLogText) {
    if (devicelog.pcData) OsMemFree(devicelog.pcData);
    devicelog.sizetCapacity = 0;
    devicelog.sizetData = 0;
    devicelog.pcData = static_cast<char*>(OsMemAlloc(s_sizetLogText));
    if (!devicelog.pcData) {
      OsLog(OS_LOG_ERROR, "OsMemAlloc failed ...%zu", s_sizetLogText);
      return OS_STS_FAIL;
    }
    devicelog.sizetCapacity = s_sizetLogText;
  }
  std::memset(devicelog.pcData, 0, devicelog.sizetCapacity);
  devicelog.sizetData = 0;
  // The buffer holds text now, no file names.
  for (long& lFileOffset : devicelog.alFileOffset) lFileOffset = -1;
  auto* ploginfo = new (std::nothrow) LogInfo{};
  if (!ploginfo) {
    OsLog(OS_LOG_ERROR, "OsMemNew failed...");
    return OS_STS_FAIL;
  }
  FillInLogInfo(ploginfo, devicelog.edbidfirmware);
  switch (devicelog.u32LogType) {
    case DB_ID_LOG_ENUM_INFO:
    case DB_ID_LOG_ENUM_EOL: FormatGeneralLog(*ploginfo, a_pdevicelog); break;
    case DB_ID_LOG_ENUM_GENERAL_XML: FormatGeneralXmlLog(*ploginfo, a_pdevicelog); break;
    case DB_ID_LOG_ENUM_ABOUT: FormatAboutWindow(*ploginfo, a_pdevicelog); break;
    default:
      OsLog(OS_LOG_ERROR, "Unknown log type <%d>...", static_cast<int>(devicelog.u32LogType));
      delete ploginfo;
      return OS_STS_FAIL;
  }
  delete ploginfo;
  if (!a_blSave) return OS_STS_SUCCESS;
  char szName[DEV_LOG_TEXT + 8];
  char szPath[DEV_LOG_TEXT];
  COsString::SStrPrintf(szName, sizeof szName, "%s.log", devicelog.szLogType);
  if (!devicelog.szLogType[0] || std::strchr(devicelog.szLogType, '/') || !Cfg(OS_CFGTAG_LOGDIRECTORY)[0] ||
      !COsFile::PathJoin(szPath, sizeof szPath, Cfg(OS_CFGTAG_LOGDIRECTORY), szName)) {
    OsLog(OS_LOG_ERROR, "no file name for the log...<%s>", devicelog.szLogType);
    return OS_STS_FAIL;
  }
  if (COsFile::WriteAtomic(szPath, devicelog.pcData, devicelog.sizetData, false) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Unable to write the log file %s...", szPath);
    return OS_STS_FAIL;
  }
  Copy(devicelog.szFilename, sizeof devicelog.szFilename, szPath);
  return OS_STS_SUCCESS;
}

namespace {

// A path that names a regular file by itself: absolute, no "." or ".."
// component, no symbolic link on the way.
bool IsPlainFile(const char* a_szPath) {
  if (a_szPath[0] != '/') return false;
  for (const char* pc = a_szPath; *pc; ++pc) {
    if (pc[0] != '/') continue;
    if (pc[1] == '/' ||
        (pc[1] == '.' && (pc[2] == '/' || pc[2] == '\0' || (pc[2] == '.' && (pc[3] == '/' || pc[3] == '\0'))))) {
      return false;
    }
  }
  std::string strDirectory(a_szPath, std::strrchr(a_szPath, '/'));
  if (strDirectory.empty()) strDirectory = "/";
  char szReal[PATH_MAX];
  if (!realpath(strDirectory.c_str(), szReal) || strDirectory != szReal) return false;
  struct stat st {};
  return lstat(a_szPath, &st) == 0 && S_ISREG(st.st_mode);
}

void DeleteLogFile(const char* a_szPath) {
  if (!a_szPath[0]) return;
  if (!IsPlainFile(a_szPath)) {
    OsLog(OS_LOG_ERROR, "DeleteLogFiles: not a plain file, kept...<%s>", a_szPath);
    return;
  }
  if (unlink(a_szPath) != 0) {
    OsLog(OS_LOG_ERROR, "DeleteLogFiles: unlink failed...%d <%s>", errno, a_szPath);
    return;
  }
  OsLog(OS_LOG_INFO, "DeleteLogFiles: deleted <%s>", a_szPath);
}

}  // namespace

void CDevImpl::DeleteLogFiles(const DeviceLog* a_pdevicelog) {
  if (!a_pdevicelog) return;
  const DeviceLog& devicelog = *a_pdevicelog;
  char szFilename[DEV_LOG_TEXT];
  Copy(szFilename, sizeof szFilename, devicelog.szFilename);
  DeleteLogFile(szFilename);
  for (int i = 0; i < DEV_LOG_FILES && devicelog.alFileOffset[i] != -1; ++i) {
    const long lOffset = devicelog.alFileOffset[i];
    if (!devicelog.pcData || lOffset < 0 || static_cast<size_t>(lOffset) >= devicelog.sizetCapacity) break;
    const char* szName = devicelog.pcData + lOffset;
    const size_t sizetName = strnlen(szName, devicelog.sizetCapacity - static_cast<size_t>(lOffset));
    if (sizetName == devicelog.sizetCapacity - static_cast<size_t>(lOffset)) break;  // unterminated
    DeleteLogFile(szName);
  }
}
