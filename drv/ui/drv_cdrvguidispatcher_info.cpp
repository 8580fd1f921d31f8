// The GUI's information commands (what the model supports, the versions,
// labels and directories), the GUI's own version, and the debug and
// simulation settings it reads and writes. Each reply is composed under
// one hold of the database lock and sent after it is released; the device
// engine is asked for its versions with the lock free.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbdatum.h"
#include "db_cdblock.h"
#include "db_cdbversion.h"
#include "dev_cdev.h"
#include "drv_cdrvguichildren.h"
#include "drv_cdrvguicompose.h"
#include "drv_cdrvguiimpl.h"
#include "drv_cdrvguitext.h"
#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_costhread.h"
#include "os_cosxml.h"

namespace {

constexpr long s_lText = 1024;  // a child's text; longer ones are skipped, logged
constexpr size_t s_sizetKey = 63;  // a label key
constexpr size_t s_sizetVersionUi = 511;
// A range label walks this many values at most: some ranges span a billion.
constexpr long s_lRangeLabels = 1000;
constexpr uint32_t s_u32LogAbout = 12;  // the device log kind of the versions

const char* Or(const char* a_sz) { return a_sz ? a_sz : ""; }

// The command's children as (name, text), in order. A child whose name or
// text cannot be read whole is skipped, logged.
std::vector<std::pair<std::string, std::string>> Children(COsXml* a_posxml) {
  std::vector<std::pair<std::string, std::string>> vecpair;
  DrvGuiEachChild(a_posxml, s_lText, [&](const char* a_szName, const char* a_szText) {
    vecpair.emplace_back(a_szName, a_szText);
    return true;
  });
  return vecpair;
}

void Child(std::string& a_str, const char* a_szName, const std::string& a_strContent) {
  a_str += "\t\t<";
  a_str += a_szName;
  a_str += '>';
  a_str += a_strContent;
  a_str += "</";
  a_str += a_szName;
  a_str += ">\n";
}

void Element(CDrvGuiTask& a_drvguitask, const char* a_szName, const std::string& a_strChildren) {
  a_drvguitask.Append("\t<");
  a_drvguitask.Append(a_szName);
  a_drvguitask.Append(">\n");
  a_drvguitask.Append(a_strChildren);
  a_drvguitask.Append("\t</");
  a_drvguitask.Append(a_szName);
  a_drvguitask.Append(">\n");
}

const char* TrueFalse(bool a_bl) { return a_bl ? "true" : "false"; }

void LabelPair(std::string& a_str, const std::string& a_strKey, const std::string& a_strText) {
  Child(a_str, "label", DrvGuiEscapeText(a_strKey.c_str()));
  Child(a_str, "text", DrvGuiCdata(a_strText.c_str()));
}


// One label pair per step of a capability's default range; the key's own
// text stays empty. Walks at most s_lRangeLabels values.
void RangeLabels(CDatabase* a_pdatabase, const std::string& a_strKey, std::string& a_str) {
  LabelPair(a_str, a_strKey, "");
  const std::string strName = a_strKey.substr(6);
  CDbDatum* pdbdatum = a_pdatabase->FindFromName(DB_BIN_BITONAL_FRONT, strName.c_str());
  if (!pdbdatum) pdbdatum = a_pdatabase->FindFromName(DB_BIN_COLOR_FRONT, strName.c_str());
  if (!pdbdatum || a_pdatabase->GetContainerType(pdbdatum) != DB_CONTAINERTYPE_RANGE) {
    OsLog(OS_LOG_ERROR, "No range capability for the labels...<%s>", strName.c_str());
    return;
  }
  const long lMin = a_pdatabase->RangeGetDefaultMin(pdbdatum);
  const long lMax = a_pdatabase->RangeGetDefaultMax(pdbdatum);
  const long lStep = a_pdatabase->RangeGetDefaultStep(pdbdatum);
  if (lStep <= 0) return;
  long lCount = 0;
  for (long l = lMin; l <= lMax; l += lStep) {
    if (lCount++ == s_lRangeLabels) {
      OsLog(OS_LOG_ERROR, "The label range of <%s> stops after %ld values...", strName.c_str(), s_lRangeLabels);
      break;
    }
    const std::string strStep = a_strKey + "_" + std::to_string(l);
    LabelPair(a_str, strStep, Or(a_pdatabase->LabelGet(strStep.c_str(), "???", -1)));
    if (l > LONG_MAX - lStep) break;
  }
}


// Under the database lock.
void ReportSimulation(CDatabase* a_pdatabase, CDrvGuiTask& a_drvguitask) {
  const DbSimulationRecord* pdbsimulationrecord = a_pdatabase->GetSimulationRecord();
  std::string str;
  const bool blOnce = std::strcmp(pdbsimulationrecord->szSimulation, "once") == 0;
  Child(str, "simulation", DrvGuiEscapeText(blOnce ? "false" : pdbsimulationrecord->szSimulation));
  Child(str, "simmodel", DrvGuiEscapeText(pdbsimulationrecord->aszModel[0]));
  Child(str, "simflatbed", DrvGuiEscapeText(pdbsimulationrecord->aszFlatbed[0]));
  for (const DbSimFlag& dbsimflag : pdbsimulationrecord->adbsimflag) {
    if (!dbsimflag.szId[0]) break;
    Child(str, dbsimflag.szId, DrvGuiEscapeText(dbsimflag.szValue));
  }
  Element(a_drvguitask, "reportsimulation", str);
}

}  // namespace

std::string DrvGuiFillTemplate(const char* a_szTemplate, const char* a_szText) {
  std::string str = Or(a_szTemplate);
  const size_t sizet = str.find("%s");
  if (sizet != std::string::npos) str.replace(sizet, 2, Or(a_szText));
  return str;
}

// ---------------------------------------------------------------------------
// Information
// ---------------------------------------------------------------------------
EOSSTS CDrvGuiImpl::DispatcherQuerySupport(COsXml*, long long a_llId) {
  if (!m_pdatabase) return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), OS_STS_FAIL);
  CDrvGuiTask drvguitask;
  const bool blBuilt = DrvGuiComposeLocked([&] {
    CDatabase& db = *m_pdatabase;
    std::string str;
    Child(str, "processid", std::to_string(COsThread::GetProcessId()));
    Child(str, "model", DrvGuiEscapeText(Or(db.ConfigGetString("model", DB_CONFIGTARGET_ADF))));
    Child(str, "clearflash", TrueFalse(db.ConfigEnumExists("diagnostictype", "diagclearflash", DB_CONFIGTARGET_ADF)));
    if (const char* sz = db.ConfigEnumGetFirst("componenttab", DB_CONFIGTARGET_COMMON))
      Child(str, "componenttab", DrvGuiEscapeText(sz));
    Child(str, "fwdownload", TrueFalse(db.ConfigExists("fwdownload", DB_CONFIGTARGET_COMMON)));
    Child(str, "imagetest", TrueFalse(db.ConfigExists("imagetest", DB_CONFIGTARGET_COMMON)));
    Child(str, "zoomtofitwidth", std::to_string(db.ConfigRangeGetMax("zoomtofitwidth", DB_CONFIGTARGET_COMMON)));
    Child(str, "criticalerror", "false");
    Child(str, "frontside", DrvGuiEscapeText(Or(db.ConfigEnumGetFirst("frontside", DB_CONFIGTARGET_ADF))));
    Child(str, "acddetectonly", "false");
    const char* szEolMode = db.ConfigEnumGetFirst("eolmode", DB_CONFIGTARGET_COMMON);
    Child(str, "eolmode", DrvGuiEscapeText(szEolMode ? szEolMode : "none"));
    std::string strPrinter = "none";
    if (db.ConfigExists("printer", DB_CONFIGTARGET_COMMON)) {
      strPrinter = Or(db.ConfigGetString("printer", DB_CONFIGTARGET_COMMON));
    } else if (db.ConfigExists("printonimage", DB_CONFIGTARGET_COMMON)) {
      strPrinter = "digital";
    }
    Child(str, "printer", DrvGuiEscapeText(strPrinter.c_str()));
    Child(str, "dualstacking", TrueFalse(db.ConfigExists("dualstacking", DB_CONFIGTARGET_COMMON)));
    Child(str, "calibrateuddslandscape",
          TrueFalse(db.ConfigExists("calibrateuddslandscape", DB_CONFIGTARGET_COMMON)));
    const char* szSame = db.ConfigEnumGetFirst("backgroundsidessame", DB_CONFIGTARGET_COMMON);
    if (szSame && *szSame) Child(str, "backgroundsidessame", DrvGuiEscapeText(szSame));
    drvguitask.TaskBegin(static_cast<uint64_t>(a_llId));
    drvguitask.CmdStatus(DRV_STS_SUCCESS);
    Element(drvguitask, "reportinquiry", str);
    drvguitask.TaskEnd();
  });
  return SendReply(static_cast<uint64_t>(a_llId), drvguitask, blBuilt);
}

// The versions' device log is a record of the dispatcher's own: the
// driver's is the front end's, filled by its own log requests meanwhile.
EOSSTS CDrvGuiImpl::DispatcherGetAllVersions(COsXml*, long long a_llId) {
  if (m_blStopRequested) {
    OsLog(OS_LOG_INFO, "gui>>> m_blGuiStopping detected, aborting DispatcherGetAllVersions...");
    return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), DRV_STS_SUCCESS);
  }
  if (!m_pdatabase) return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), OS_STS_FAIL);
  DeviceLog devicelog = {};
  devicelog.edbidfirmware = DB_FIRMWARE_ADF;
  devicelog.u32LogType = s_u32LogAbout;
  for (long& lFileOffset : devicelog.alFileOffset) lFileOffset = -1;
  if (!m_pdev || m_pdev->GetVersionInfo(&devicelog, false) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "GetVersionInfo failed, the versions of the store alone...");
    devicelog.szCdTitle[0] = 0;
    devicelog.szCdVersion[0] = 0;
    devicelog.sizetData = 0;
  }
  const std::string strAll =
      devicelog.pcData ? std::string(devicelog.pcData, strnlen(devicelog.pcData, devicelog.sizetData)) : std::string();
  if (devicelog.pcData) OsMemFree(devicelog.pcData);
  CDrvGuiTask drvguitask;
  const bool blBuilt = DrvGuiComposeLocked([&] {
    CDbVersion* pdbversion = m_pdatabase->GetDbVersion();
    auto version = [&](const char* (CDbVersion::*a_pfn)()) { return pdbversion ? Or((pdbversion->*a_pfn)()) : ""; };
    std::string str;
    Child(str, "driver", DrvGuiEscapeText(version(&CDbVersion::GetVersionDriver)));
    Child(str, "firmwareadf", DrvGuiEscapeText(version(&CDbVersion::GetVersionFirmwareAdf)));
    Child(str, "firmwareflatbed", DrvGuiEscapeText(version(&CDbVersion::GetVersionFirmwareFlatbed)));
    Child(str, "nexiladf", DrvGuiEscapeText(version(&CDbVersion::GetVersionNexilAdf)));
    Child(str, "nexilflatbed", DrvGuiEscapeText(version(&CDbVersion::GetVersionNexilFlatbed)));
    Child(str, "cdtitle", DrvGuiEscapeText(devicelog.szCdTitle));
    Child(str, "cdversion", DrvGuiEscapeText(devicelog.szCdVersion));
    const char* szUrl = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_BRAND, OS_CFGTAG_URLSUPPORTMODEL) : nullptr;
    if (szUrl && *szUrl) {
      const std::string strUrl = DrvGuiFillTemplate(szUrl, m_pdatabase->ConfigGetString("model", DB_CONFIGTARGET_ADF));
      Child(str, "urlsupportmodel", DrvGuiCdata(strUrl.c_str()));
    }
    Child(str, "allversions", DrvGuiEscapeText(strAll.c_str()));
    Child(str, "drvassistui", DrvGuiEscapeText(version(&CDbVersion::GetVersionDrvAssistUi)));
    Child(str, "driverdravix", DrvGuiEscapeText(version(&CDbVersion::GetVersionDriverDravix)));
    drvguitask.TaskBegin(static_cast<uint64_t>(a_llId));
    drvguitask.CmdStatus(DRV_STS_SUCCESS);
    Element(drvguitask, "reportallversions", str);
    drvguitask.TaskEnd();
  });
  return SendReply(static_cast<uint64_t>(a_llId), drvguitask, blBuilt);
}

EOSSTS CDrvGuiImpl::DispatcherGetLabels(COsXml* a_posxml, long long a_llId) {
  if (!m_pdatabase) return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), OS_STS_FAIL);
  const auto vecpair = Children(a_posxml);
  CDrvGuiTask drvguitask;
  const bool blBuilt = DrvGuiComposeLocked([&] {
    std::string str;
    for (const auto& pair : vecpair) {
      std::string strKey = pair.second;
      if (strKey.size() > s_sizetKey) {
        OsLog(OS_LOG_ERROR, "A label key is cut to %zu characters...<%s>", s_sizetKey, strKey.c_str());
        strKey.resize(s_sizetKey);
      }
      if (strKey == "mainform" || strKey == "tooltip_help") {
        LabelPair(str, strKey,
                  DrvGuiFillTemplate(m_pdatabase->LabelGet(strKey.c_str(), "%s", -1),
                               m_pdatabase->ConfigGetString("modelnamedialog", DB_CONFIGTARGET_COMMON)));
      } else if (strKey == "model") {
        LabelPair(str, strKey, Or(m_pdatabase->ConfigGetString("model", DB_CONFIGTARGET_ADF)));
      } else if (strKey == "modeldir") {
        LabelPair(str, strKey, Or(g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_MODELDIRECTORY) : nullptr));
      } else if (strKey.compare(0, 6, "range_") == 0) {
        RangeLabels(m_pdatabase, strKey, str);
      } else {
        LabelPair(str, strKey, Or(m_pdatabase->LabelGet(strKey.c_str(), "???", -1)));
      }
    }
    drvguitask.TaskBegin(static_cast<uint64_t>(a_llId));
    drvguitask.CmdStatus(DRV_STS_SUCCESS);
    Element(drvguitask, "reportlabels", str);
    drvguitask.TaskEnd();
  });
  return SendReply(static_cast<uint64_t>(a_llId), drvguitask, blBuilt);
}

EOSSTS CDrvGuiImpl::DispatcherGetLogDirectory(COsXml*, long long a_llId) {
  CDrvGuiTask drvguitask;
  std::string str;
  Child(str, "directory",
        DrvGuiEscapeText(Or(g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_USERROOTDIRECTORY) : nullptr)));
  drvguitask.TaskBegin(static_cast<uint64_t>(a_llId));
  drvguitask.CmdStatus(DRV_STS_SUCCESS);
  Element(drvguitask, "reportlogdirectory", str);
  drvguitask.TaskEnd();
  return SendReply(static_cast<uint64_t>(a_llId), drvguitask, true);
}

EOSSTS CDrvGuiImpl::DispatcherReportVersionUser(COsXml* a_posxml, long long a_llId) {
  const auto vecpair = Children(a_posxml);
  if (m_pdatabase && !vecpair.empty()) {
    std::string strVersion = vecpair.front().second;
    if (strVersion.size() > s_sizetVersionUi) strVersion.resize(s_sizetVersionUi);
    CDbLockGuard dblockguard;
    if (CDbVersion* pdbversion = m_pdatabase->GetDbVersion()) pdbversion->SetVersionUi(strVersion.c_str());
  }
  return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), DRV_STS_SUCCESS);
}

// ---------------------------------------------------------------------------
// Debug and simulation
// ---------------------------------------------------------------------------
// A level that is no number (or no int) keeps the one stored, logged.
EOSSTS CDrvGuiImpl::DispatcherSetDebug(COsXml* a_posxml, long long a_llId) {
  if (!m_pdatabase) return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), OS_STS_FAIL);
  const auto vecpair = Children(a_posxml);
  CDrvGuiTask drvguitask;
  const bool blBuilt = DrvGuiComposeLocked([&] {
    for (const auto& pair : vecpair) {
      const char* szText = pair.second.c_str();
      if (pair.first == "logging") {
        m_pdatabase->SetRecordText(DB_RECORD_LOGGING, 0, szText);
      } else if (pair.first == "imagesfromscanner") {
        m_pdatabase->SetRecordText(DB_RECORD_IMAGESFROMSCANNER, 0, szText);
      } else if (pair.first == "imagestoapp") {
        m_pdatabase->SetRecordText(DB_RECORD_IMAGESTOAPPLICATION, 0, szText);
      } else if (pair.first == "logginglevel") {
        char* pcEnd = nullptr;
        errno = 0;
        const long lLevel = std::strtol(szText, &pcEnd, 10);
        if (!*szText || *pcEnd || errno || lLevel < INT32_MIN || lLevel > INT32_MAX) {
          OsLog(OS_LOG_ERROR, "The logging level is no number, kept...<%s>", szText);
        } else {
          m_pdatabase->GetDebugRecord()->i32LoggingLevel = static_cast<int32_t>(lLevel);
        }
      }
    }
    drvguitask.TaskBegin(static_cast<uint64_t>(a_llId));
    drvguitask.CmdStatus(DRV_STS_SUCCESS);
    m_drvguireports.CmdReportDebug(drvguitask);
    drvguitask.TaskEnd();
  });
  return SendReply(static_cast<uint64_t>(a_llId), drvguitask, blBuilt);
}

EOSSTS CDrvGuiImpl::DispatcherSetSimulation(COsXml* a_posxml, long long a_llId) {
  if (!m_pdatabase) return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), OS_STS_FAIL);
  const auto vecpair = Children(a_posxml);
  CDrvGuiTask drvguitask;
  const bool blBuilt = DrvGuiComposeLocked([&] {
    for (long l = 0; l < DB_SIM_FLAGS; ++l) {
      m_pdatabase->SetRecordText(DB_RECORD_SIMFLAGID, l, "");
      m_pdatabase->SetRecordText(DB_RECORD_SIMFLAGVALUE, l, "");
      m_pdatabase->SetRecordText(DB_RECORD_SIMFLAGTEXT, l, "");
    }
    long lPairs = 0;
    long lDropped = 0;
    for (const auto& pair : vecpair) {
      const char* szText = pair.second.c_str();
      if (pair.first == "simulation") {
        m_pdatabase->SetRecordText(DB_RECORD_SIMULATION, 0, szText);
      } else if (pair.first == "simmodel") {
        m_pdatabase->SetRecordText(DB_RECORD_SIMMODEL, 0, szText);
      } else if (pair.first == "simflatbed") {
        m_pdatabase->SetRecordText(DB_RECORD_SIMFLATBED, 0, szText);
      } else if (lPairs == DB_SIM_FLAGS) {
        ++lDropped;
      } else {
        m_pdatabase->SetRecordText(DB_RECORD_SIMFLAGID, lPairs, pair.first.c_str());
        m_pdatabase->SetRecordText(DB_RECORD_SIMFLAGVALUE, lPairs, szText);
        ++lPairs;
      }
    }
    if (lDropped)
      OsLog(OS_LOG_ERROR, "The simulation keeps %ld pairs, %ld dropped...", static_cast<long>(DB_SIM_FLAGS), lDropped);
    drvguitask.TaskBegin(static_cast<uint64_t>(a_llId));
    drvguitask.CmdStatus(DRV_STS_SUCCESS);
    ReportSimulation(m_pdatabase, drvguitask);
    drvguitask.TaskEnd();
  });
  return SendReply(static_cast<uint64_t>(a_llId), drvguitask, blBuilt);
}

EOSSTS CDrvGuiImpl::DispatcherQuerySimulation(COsXml*, long long a_llId) {
  if (!m_pdatabase) return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), OS_STS_FAIL);
  CDrvGuiTask drvguitask;
  const bool blBuilt = DrvGuiComposeLocked([&] {
    const DbSimulationRecord* pdbsimulationrecord = m_pdatabase->GetSimulationRecord();
    drvguitask.TaskBegin(static_cast<uint64_t>(a_llId));
    drvguitask.CmdStatus(DRV_STS_SUCCESS);
    std::string str;
    for (const char* szModel : pdbsimulationrecord->aszModel) {
      if (!*szModel) break;
      Child(str, "id", DrvGuiEscapeText(szModel));
    }
    Element(drvguitask, "reportsimulationmodels", str);
    str.clear();
    auto item = [&](const char* a_szId, const char* a_szValue, const char* a_szText) {
      Child(str, "id", DrvGuiEscapeText(a_szId));
      Child(str, "value", DrvGuiEscapeText(a_szValue));
      Child(str, "text", DrvGuiEscapeText(a_szText));
    };
    item("simulation", "false", "simulation");
    item("simmodel", pdbsimulationrecord->aszModel[0], "model");
    for (const DbSimFlag& dbsimflag : pdbsimulationrecord->adbsimflag) {
      if (!dbsimflag.szId[0]) break;
      item(dbsimflag.szId, dbsimflag.szValue, dbsimflag.szText);
    }
    Element(drvguitask, "reportsimulationinquiry", str);
    str.clear();
    Child(str, "id", "(none)");
    for (const char* szFlatbed : pdbsimulationrecord->aszFlatbed) {
      if (!*szFlatbed) break;
      Child(str, "id", DrvGuiEscapeText(szFlatbed));
    }
    Element(drvguitask, "reportsimulationflatbed", str);
    ReportSimulation(m_pdatabase, drvguitask);
    drvguitask.TaskEnd();
  });
  return SendReply(static_cast<uint64_t>(a_llId), drvguitask, blBuilt);
}
