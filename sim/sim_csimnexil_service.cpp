// What the image-library stand-in says about itself: its report inquiry
// (languages, barcode reading, output formats), its version, its free
// memory, its debug log, its colour-dropout choices and the answers of the
// custom colour-dropout family.
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "os_coslog.h"
#include "sim_csimnexil.h"

namespace {

// One element of the inquiry: kind, id and its values, blank-separated.
struct SimNexilInquiryRow {
  const char* szKind;
  const char* szId;
  const char* szValues;
};

constexpr SimNexilInquiryRow s_asimnexilinquiryrow[] = {
    {"enum", "language", "en_usa de_deu fr_fra es_esp it_ita jp_jpn"},
    {"enum", "barcodetype", "code3of9 interleaved2of5 code128 ean13 pdf417"},
    {"enum", "barcodesearchmode", "horizontal vertical horizontalandvertical"},
    {"enum", "barcodesearcharea", "entiredocument partialdocument"},
    {"range", "barcodecount", "1 6"},
    {"enum", "imageformat", "bw gray_8 rgb_24"},
    {"enum", "compressionmode", "none"},
};

// The memory the system could give now (MemAvailable), in bytes.
uint64_t AvailableMemory() {
  std::ifstream ifstreamInfo("/proc/meminfo");
  std::string strName;
  uint64_t u64KiB = 0;
  std::string strUnit;
  while (ifstreamInfo >> strName >> u64KiB >> strUnit) {
    if (strName == "MemAvailable:") return u64KiB << 10;
  }
  const long lPages = sysconf(_SC_AVPHYS_PAGES);
  const long lPageSize = sysconf(_SC_PAGESIZE);
  return lPages > 0 && lPageSize > 0 ? static_cast<uint64_t>(lPages) * static_cast<uint64_t>(lPageSize) : 0;
}

}  // namespace

// The interfaceopen reply names only the languages the library speaks; the
// elements of NEXSIM_INQUIRY follow the library's own in querysupport.
CSimNode CSimNexil::ReportInquiry(bool a_blInterfaceOpen) const {
  CSimNode simnodeInquiry("reportinquiry");
  for (const SimNexilInquiryRow& row : s_asimnexilinquiryrow) {
    if (a_blInterfaceOpen && std::string(row.szId) != "language") continue;
    simnodeInquiry.AddInquiry(row.szKind, row.szId, row.szValues);
  }
  if (!a_blInterfaceOpen) {
    for (const CSimNode& simnode : m_simnodeInquiry.Children()) simnodeInquiry.Add(simnode);
  }
  return simnodeInquiry;
}

const char* CSimNexil::QuerySupport(const CSimNode&, CSimNode& a_simnodeReply) {
  a_simnodeReply.Add(ReportInquiry(false));
  return "success";
}

// A message for the scanner while NEXSIM_RELAY asks for more, then none.
const char* CSimNexil::MessageRelay(const CSimNode&, CSimNode& a_simnodeReply) {
  if (m_lRelays >= 0 && m_lRelayed >= m_lRelays) return "endofmessages";
  ++m_lRelayed;
  a_simnodeReply.Add("reportmessage").Add("message", "nexsim message " + std::to_string(m_lRelayed));
  return "success";
}

// The version is the first element of the second child of the reply.
const char* CSimNexil::GetVersion(const CSimNode&, CSimNode& a_simnodeReply) {
  a_simnodeReply.Add("reportversion").Add("versionnumber", m_strVersion);
  return "success";
}

const char* CSimNexil::GetVersionUser(const CSimNode&, CSimNode& a_simnodeReply) {
  CSimNode& simnodeVersion = a_simnodeReply.Add("reportversionuser");
  simnodeVersion.Add("versiontext", "image library stand-in " + m_strVersion + " " + UnitName());
  simnodeVersion.Add("versionnumber", m_strVersion);
  return "success";
}

const char* CSimNexil::PassThroughDravix(const CSimNode& a_simnode, CSimNode& a_simnodeReply) {
  if (!a_simnode.Child("getfreememory")) {
    OsLog(OS_LOG_ERROR, "nexsim>>> passthroughdravix without a request it knows");
    return "fail";
  }
  uint64_t u64Free = AvailableMemory();
  if (m_u64MaxMemory != 0 && u64Free > m_u64MaxMemory) u64Free = m_u64MaxMemory;
  a_simnodeReply.Add("reportfreememory").Add("freememory", std::to_string(u64Free));
  return "success";
}

// The debug log goes where NEXIL_LOGPATH says, else beside the outputs.
const char* CSimNexil::GetDebugLog(const CSimNode&, CSimNode& a_simnodeReply) {
  const char* szLogPath = std::getenv("NEXIL_LOGPATH");
  const std::string strDirectory = szLogPath && *szLogPath ? szLogPath : m_strImageDirectory;
  const std::string strPath = strDirectory + "/nexsim-" + std::to_string(getpid()) + "-" + UnitName() +
                              "-debuglog-" + std::to_string(++m_u64FileCounter) + ".txt";
  FILE* pfile = std::fopen(strPath.c_str(), "w");
  if (!pfile) {
    OsLog(OS_LOG_ERROR, "nexsim>>> cannot write the debug log <%s>", strPath.c_str());
    return "fail";
  }
  std::fprintf(pfile, "unit %s\nversion %s\ntasks %llu\npages %ld\nimageendmode %s\nlanguage %s\n", UnitName(),
               m_strVersion.c_str(), static_cast<unsigned long long>(m_u64Tasks), m_lPages,
               m_blImageEndMode ? "true" : "false", m_strLanguage.c_str());
  const bool blOk = std::fclose(pfile) == 0;
  m_vstrLogFile.push_back(strPath);
  if (!blOk) return "fail";
  a_simnodeReply.Add("reportdebuglog").Add("logfilename", strPath);
  return "success";
}

const char* CSimNexil::ClearLog(const CSimNode&, CSimNode&) {
  RemoveLogFiles();
  return "success";
}

void CSimNexil::RemoveLogFiles() {
  for (const std::string& strPath : m_vstrLogFile) unlink(strPath.c_str());
  m_vstrLogFile.clear();
}

const char* CSimNexil::GetEcdo(const CSimNode& a_simnode, CSimNode& a_simnodeReply) {
  const std::string strType = a_simnode.ChildText("ecdotype", "default");
  if (strType != "default" && strType != "all") {
    OsLog(OS_LOG_ERROR, "nexsim>>> getecdo of an unknown type <%s>", strType.c_str());
    return "fail";
  }
  m_blCutReply = m_blEcdoCut;
  if (!m_strEcdoWord.empty()) return m_strEcdoWord.c_str();
  m_simecdo.Report(a_simnodeReply, strType == "all");
  return "success";
}

// Every command of the family answers the same small report: the custom
// entries the library holds.
const char* CSimNexil::EcdoCustom(const CSimNode&, CSimNode& a_simnodeReply) {
  CSimNode& simnodeReport = m_simecdo.ReportCustom(a_simnodeReply);
  if (m_lEcdoCustomPad > 0) simnodeReport.Add("nexsimpad", std::string(static_cast<size_t>(m_lEcdoCustomPad), 'x'));
  m_blOmitStatus = m_blEcdoCustomNoStatus;
  m_blCutReply = m_blEcdoCustomCut;
  return m_strEcdoCustomWord.empty() ? "success" : m_strEcdoCustomWord.c_str();
}
