// The simulated scanner's reports and service tasks: support and version
// queries, configuration values, meters, logs, firmware download,
// diagnostics and calibration. Calibration, diagnostics and a download each
// run between their begin and end tasks, one at a time; diagnostic begins
// nest, as a single diagnostic run inside the diagnostic mode has its own.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "os_coslog.h"
#include "sim_csimscanner.h"

const char* CSimScanner::QuerySupport(const CSimNode&, CSimNode& a_simnodeReply) {
  a_simnodeReply.Add(ReportInquiry(false));
  return "success";
}

const char* CSimScanner::GetVersionUser(const CSimNode&, CSimNode& a_simnodeReply) {
  CSimNode& simnodeVersion = a_simnodeReply.Add("reportversionuser");
  simnodeVersion.Add("versionnumber", "1020304");
  simnodeVersion.Add("versiontext", std::string("simulated ") + m_simconfig.m_psimmodel->szName + " " +
                                        CSimConfig::UnitName());
  simnodeVersion.Add("versiondevice", "1.2.3.4");
  simnodeVersion.Add("versionfirmware", "5.6.7");
  simnodeVersion.Add("versiondevicemanager", "1.2.3.4");
  return "success";
}

const char* CSimScanner::GetConfig(const CSimNode& a_simnode, CSimNode& a_simnodeReply) {
  CSimNode& simnodeConfig = a_simnodeReply.Add("reportconfig");
  for (const CSimNode& simnode : a_simnode.Children()) {
    if (simnode.Name() != "id") continue;
    const std::string strValue = ConfigValue(simnode.Text());
    if (!strValue.empty()) simnodeConfig.Add(simnode.Text().c_str(), strValue);
  }
  return "success";
}

// Nothing to pass on to the image library.
// A message for the image library while "relay" asks for more, then none.
const char* CSimScanner::MessageRelay(const CSimNode&, CSimNode& a_simnodeReply) {
  if (m_simconfig.m_lRelay >= 0 && m_lRelayed >= m_simconfig.m_lRelay) return "endofmessages";
  ++m_lRelayed;
  a_simnodeReply.Add("reportmessage").Add("message", "simscan message " + std::to_string(m_lRelayed));
  return "success";
}

const char* CSimScanner::GetOcpButton(const CSimNode&, CSimNode& a_simnodeReply) {
  a_simnodeReply.Add("reportocpbutton").Add("ocpbutton", "1");
  return "success";
}

const char* CSimScanner::GetEcdo(const CSimNode& a_simnode, CSimNode& a_simnodeReply) {
  bool blEcdo = false;
  for (const CSimNode& simnode : m_simconfig.m_simnodeInquiry.Children()) {
    if (simnode.Name() != "supported") continue;
    for (const CSimNode& simnodeId : simnode.Children()) blEcdo = blEcdo || simnodeId.Text() == "ecdo";
  }
  if (!blEcdo) {
    OsLog(OS_LOG_ERROR, "simscan>>> getecdo: the model does not support ecdo");
    return "fail";
  }
  m_simconfig.m_simecdo.Report(a_simnodeReply, std::string(a_simnode.ChildText("ecdotype")) == "all");
  return "success";
}

// A consumable meter counts the sheets fed since it was last set.
const char* CSimScanner::GetConsumableMeters(const CSimNode&, CSimNode& a_simnodeReply) {
  CSimNode& simnodeMeters = a_simnodeReply.Add("reportconsumablemeters");
  for (const auto& item : m_mapMeter) {
    CSimNode& simnodeMeter = simnodeMeters.Add("consumablemeter");
    simnodeMeter.Add("consumablemetertype", item.first);
    simnodeMeter.Add("value", std::to_string(m_lPageCount - item.second));
  }
  if (m_simconfig.m_lConsumableMeterSize > 0) {
    simnodeMeters.Add("padding", std::string(m_simconfig.m_lConsumableMeterSize, 'x'));
  }
  return "success";
}

const char* CSimScanner::SetConsumableMeter(const CSimNode& a_simnode, CSimNode&) {
  auto it = m_mapMeter.find(a_simnode.ChildText("consumablemetertype"));
  const std::string strValue = a_simnode.ChildText("value", "0");
  const bool blReset = a_simnode.Name() == "resetconsumablemeter";
  if (it == m_mapMeter.end() || strValue.empty() || strValue.size() > 9 ||
      strValue.find_first_not_of("0123456789") != std::string::npos) {
    OsLog(OS_LOG_ERROR, "simscan>>> %s refused <%s> <%s>", a_simnode.Name().c_str(),
          a_simnode.ChildText("consumablemetertype"), strValue.c_str());
    return "fail";
  }
  it->second = m_lPageCount - (blReset ? 0 : std::stol(strValue));
  return "success";
}

const char* CSimScanner::GetCartridgeDetected(const CSimNode&, CSimNode& a_simnodeReply) {
  CSimNode& simnodeCartridge = a_simnodeReply.Add("reportcartridgedetected");
  if (m_simconfig.m_psimmodel->szPrinter) simnodeCartridge.Add("printer").Add("value", m_simconfig.m_psimmodel->szPrinter);
  return "success";
}

// A log is a small text file in the image directory, removed when the
// interface closes.
bool CSimScanner::WriteLogFile(const char* a_szKind, std::string& a_strPath) {
  a_strPath = NewFilePath(a_szKind, ".txt");
  FILE* pfile = std::fopen(a_strPath.c_str(), "w");
  if (!pfile) {
    OsLog(OS_LOG_ERROR, "simscan>>> cannot write the log <%s>", a_strPath.c_str());
    return false;
  }
  std::fprintf(pfile, "unit %s\nmodel %s\nserialnumber %s\nsheets %ld\n", CSimConfig::UnitName(),
               m_simconfig.m_psimmodel->szName, m_simconfig.m_strSerialNumber.c_str(), m_lPageCount);
  const bool blOk = std::fclose(pfile) == 0;
  m_vstrLogFile.push_back(a_strPath);
  return blOk;
}

const char* CSimScanner::GetLog(const CSimNode& a_simnode, CSimNode& a_simnodeReply) {
  const std::string strType = a_simnode.ChildText("logtype");
  std::string strPath;
  if (strType.empty() || !WriteLogFile("log", strPath)) return "fail";
  CSimNode& simnodeLog = a_simnodeReply.Add("reportlog");
  simnodeLog.Add("logtype", strType);
  simnodeLog.Add("filename", strPath);
  return "success";
}

const char* CSimScanner::GetDebugLog(const CSimNode&, CSimNode& a_simnodeReply) {
  std::string strPath;
  if (!WriteLogFile("debuglog", strPath)) return "fail";
  a_simnodeReply.Add("reportdebuglog").Add("logfilename", strPath);
  return "success";
}

const char* CSimScanner::ClearLog(const CSimNode& a_simnode, CSimNode&) {
  return *a_simnode.ChildText("logtype") ? "success" : "fail";
}

// downloadbegin names the firmware file and its size, which must match.
const char* CSimScanner::Download(const CSimNode& a_simnode, CSimNode&) {
  if (a_simnode.Name() == "downloadrun") return m_esimactivity == SIM_ACTIVITY_DOWNLOAD ? "success" : "invalidstate";
  if (a_simnode.Name() == "downloadend") return EndActivity(SIM_ACTIVITY_DOWNLOAD) ? "success" : "invalidstate";
  if (m_esimactivity != SIM_ACTIVITY_NONE) return "invalidstate";
  static const CSimNode s_simnodeEmpty;
  const CSimNode* psimnodeFile = a_simnode.Child("datafile");
  const CSimNode& simnodeFile = psimnodeFile ? *psimnodeFile : s_simnodeEmpty;
  struct stat st;
  if (stat(simnodeFile.ChildText("filename"), &st) != 0 || !S_ISREG(st.st_mode) ||
      std::to_string(st.st_size) != simnodeFile.ChildText("datasize")) {
    OsLog(OS_LOG_ERROR, "simscan>>> downloadbegin refused <%s> <%s>", simnodeFile.ChildText("filename"),
          simnodeFile.ChildText("datasize"));
    return "fail";
  }
  BeginActivity(SIM_ACTIVITY_DOWNLOAD);
  return "success";
}

const char* CSimScanner::Diagnostic(const CSimNode& a_simnode, CSimNode& a_simnodeReply) {
  if (a_simnode.Name() == "diagnosticbegin") {
    if (m_esimactivity != SIM_ACTIVITY_DIAGNOSTIC && !BeginActivity(SIM_ACTIVITY_DIAGNOSTIC)) return "invalidstate";
    ++m_lDiagnosticDepth;
    return "success";
  }
  if (a_simnode.Name() == "diagnosticend") {
    if (m_esimactivity != SIM_ACTIVITY_DIAGNOSTIC) return "invalidstate";
    if (--m_lDiagnosticDepth == 0) EndActivity(SIM_ACTIVITY_DIAGNOSTIC);
    a_simnodeReply.Add("reportdiagnostic").Add("diagendtime", "0");
    return "success";
  }
  if (m_esimactivity != SIM_ACTIVITY_DIAGNOSTIC) return "invalidstate";
  const std::string strType = a_simnode.ChildText("diagnostictype");
  if (!IsListed(InquiryValues("diagnostictype"), strType)) {
    OsLog(OS_LOG_ERROR, "simscan>>> diagnosticrun of an unknown type <%s>", strType.c_str());
    return "fail";
  }
  CSimNode& simnodeDiagnostic = a_simnodeReply.Add("reportdiagnostic");
  simnodeDiagnostic.Add("diagnostictype", strType);
  if (const CSimNode* psimnodeValue = a_simnode.Child("diagnosticvalue")) {
    simnodeDiagnostic.Add("diagnosticvalue", psimnodeValue->Text());
  }
  simnodeDiagnostic.Add("diagruntimeout", "5000");
  return "success";
}

const char* CSimScanner::Calibrate(const CSimNode& a_simnode, CSimNode& a_simnodeReply) {
  const std::string& strName = a_simnode.Name();
  if (strName == "calibratebegin" || strName == "calibratereset") {
    const std::string strType = a_simnode.ChildText("calibrationtype");
    if (!IsListed(InquiryValues("calibrationtype"), strType)) {
      OsLog(OS_LOG_ERROR, "simscan>>> %s of an unknown type <%s>", strName.c_str(), strType.c_str());
      return "fail";
    }
    if (strName == "calibratereset") return "success";
    if (!BeginActivity(SIM_ACTIVITY_CALIBRATE)) return "invalidstate";
    m_strCalibrationType = strType;
    if (m_simconfig.m_lCalWarmupS == 0) return "success";
    a_simnodeReply.Add("reportlampstatus").Add("lampwarmuptime", std::to_string(m_simconfig.m_lCalWarmupS));
    return "lampswarming";
  }
  if (strName == "calibraterun") {
    if (m_esimactivity != SIM_ACTIVITY_CALIBRATE) return "invalidstate";
    a_simnodeReply.Add("reportcalibrate").Add("calibrationtimeout", "30");
    return m_simconfig.m_strCalResult.empty() ? "success" : m_simconfig.m_strCalResult.c_str();
  }
  if (!EndActivity(SIM_ACTIVITY_CALIBRATE)) return "invalidstate";
  CSimNode& simnodeEnd = a_simnodeReply.Add("reportcalibrateend");
  if (m_strCalibrationType == "magnificationtest") {
    simnodeEnd.Add("magnificationtestresultfront", "pass");
    simnodeEnd.Add("magnificationtestresultrear", "pass");
  }
  return "success";
}
