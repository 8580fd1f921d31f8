// The image-library stand-in's entry, its state machine, its knobs and the
// interface, session and setup tasks.
#include "sim_csimnexil.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "os_coslog.h"
#include "sim_csimimage.h"
#include "sim_csimtask.h"

namespace {

// The library of this copy.
CSimNexil s_simnexil;

constexpr uint32_t L = 1, O = 2, S = 4, C = 8;  // the ESIMNEXILSTATE bits, for the table below

// The version number reported unless NEXSIM_VERSION gives another: 6.10.2.
constexpr const char* s_szVersionDefault = "6100200";
constexpr long s_lMaxMemoryMiB = 1L << 30;

}  // namespace

OS_EXPORT const char* NexEntry(const char* a_szTask) { return s_simnexil.Entry(a_szTask); }

const CSimNexil::SimNexilCommand CSimNexil::s_asimnexilcommand[] = {
    {"interfaceopen", L, &CSimNexil::InterfaceOpen},
    {"interfaceclose", O | S | C, &CSimNexil::InterfaceClose},
    {"sessionbegin", O, &CSimNexil::SessionBegin},
    {"sessionend", S | C, &CSimNexil::SessionEnd},
    {"querysupport", S | C, &CSimNexil::QuerySupport},
    {"resourcebegin", O | S | C, &CSimNexil::Success},
    {"resourceend", O | S | C, &CSimNexil::Success},
    {"setupbegin", S, &CSimNexil::SetupBegin},
    {"setupend", S, &CSimNexil::SetupEnd},
    {"setconfig", S | C, &CSimNexil::Success},
    {"createcamera", S, &CSimNexil::CreateCamera},
    {"windowadd", S, &CSimNexil::WindowAdd},
    {"setwindoworder", S, &CSimNexil::SetWindowOrder},
    {"messagerelay", S | C, &CSimNexil::MessageRelay},
    {"scanbegin", S, &CSimNexil::ScanBegin},
    {"setinput", C, &CSimNexil::SetInput},
    {"setbaffle", C, &CSimNexil::SetBaffle},
    {"settoggle", C, &CSimNexil::SetToggle},
    {"getoutput", C, &CSimNexil::GetOutput},
    {"imageend", C, &CSimNexil::ImageEnd},
    {"scanend", S | C, &CSimNexil::ScanEnd},
    {"getversion", O | S | C, &CSimNexil::GetVersion},
    {"getversionuser", O | S | C, &CSimNexil::GetVersionUser},
    {"passthroughdravix", O | S | C, &CSimNexil::PassThroughDravix},
    {"getdebuglog", O | S | C, &CSimNexil::GetDebugLog},
    {"clearlog", O | S | C, &CSimNexil::ClearLog},
    {"getecdo", O | S | C, &CSimNexil::GetEcdo},
    {"ecdocustombegin", S | C, &CSimNexil::EcdoCustom},
    {"ecdocustomend", S | C, &CSimNexil::EcdoCustom},
    {"ecdocustomdelete", S | C, &CSimNexil::EcdoCustom},
    {"ecdocustomexport", S | C, &CSimNexil::EcdoCustom},
    {"ecdocustomimport", S | C, &CSimNexil::EcdoCustom},
    {"ecdocustomnew", S | C, &CSimNexil::EcdoCustom},
    {"ecdocustomrename", S | C, &CSimNexil::EcdoCustom},
    {"ecdocustomreset", S | C, &CSimNexil::EcdoCustom},
    {"ecdocustomsave", S | C, &CSimNexil::EcdoCustom},
    {"ecdocustomsettingsmultiple", S | C, &CSimNexil::EcdoCustom},
    {"ecdocustomsettingssingle", S | C, &CSimNexil::EcdoCustom},
    {"getecdocustom", S | C, &CSimNexil::EcdoCustom},
};

// Unloaded without interfaceclose: no file stays behind.
CSimNexil::~CSimNexil() {
  DropOutputs();
  RemoveLogFiles();
}

const char* CSimNexil::UnitName() {
#ifdef NEXSIM_FLATBED
  return "flatbed";
#else
  return "adf";
#endif
}

// The reply with its start tag in double quotes and one more attribute whose
// value holds "'>", as another writer of the format may send it.
const char* CSimNexil::DoubleQuoted(const char* a_szReply) {
  thread_local std::string t_strQuoted;
  t_strQuoted = a_szReply;
  const size_t sizetEnd = t_strQuoted.find('>');
  if (sizetEnd == std::string::npos) return a_szReply;
  for (size_t sizet = 0; sizet < sizetEnd; ++sizet) {
    if (t_strQuoted[sizet] == '\'') t_strQuoted[sizet] = '"';
  }
  t_strQuoted.insert(sizetEnd, " note=\"it's'>here\"");
  return t_strQuoted.c_str();
}

// A task that NEXSIM_THROWAT names throws instead of being served, as a
// library that fails inside would.
const char* CSimNexil::Entry(const char* a_szTask) {
  uint64_t u64Id = 0;
  CSimNode simnodeCommand;
  CSimNode simnodeReply;
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_lDelayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(m_lDelayMs));
  m_blOmitStatus = false;
  m_blCutReply = false;
  const char* szStatus = Process(a_szTask, u64Id, simnodeCommand, simnodeReply);
  CSimTask::Log(m_strTaskLog, UnitName(), u64Id, simnodeCommand, szStatus ? szStatus : "throw");
  if (!szStatus) throw std::runtime_error("nexsim>>> NEXSIM_THROWAT");
  const char* szReply =
      CSimTask::Reply("nexsim", ++m_iReplyId, u64Id, m_blOmitStatus ? nullptr : szStatus, simnodeReply);
  if (m_blDoubleQuote && simnodeCommand.Name() == "getoutput") szReply = DoubleQuoted(szReply);
  if (!m_blCutReply) return szReply;
  thread_local std::string t_strCut;
  t_strCut.assign(szReply, std::strlen(szReply) / 2);
  return t_strCut.c_str();
}

// The status word; null for the task that is to throw.
const char* CSimNexil::Process(const char* a_szTask, uint64_t& a_u64Id, CSimNode& a_simnodeCommand,
                               CSimNode& a_simnodeReply) {
  ++m_u64Tasks;
  if (!CSimTask::Read("nexsim", a_szTask, a_u64Id, a_simnodeCommand)) return "fail";
  if (m_u32State != SIM_NEXILSTATE_LOADED && ++m_lTasksOpen == m_lThrowAt) return nullptr;
  for (const SimNexilCommand& simnexilcommand : s_asimnexilcommand) {
    if (a_simnodeCommand.Name() != simnexilcommand.szName) continue;
    if (!(simnexilcommand.u32States & m_u32State)) {
      OsLog(OS_LOG_INFO, "nexsim>>> <%s> in state %u: invalidstate", simnexilcommand.szName, m_u32State);
      return "invalidstate";
    }
    return (this->*simnexilcommand.pfn)(a_simnodeCommand, a_simnodeReply);
  }
  OsLog(OS_LOG_ERROR, "nexsim>>> unknown command <%s>", a_simnodeCommand.Name().c_str());
  return "fail";
}

// Every knob of the interface; false, with the reason, for a value out of
// its range (the interface then stays closed).
bool CSimNexil::LoadKnobs(std::string& a_strError) {
  const auto Knob = [](const char* a_szName) {
    const char* szValue = std::getenv(a_szName);
    return szValue ? std::string(szValue) : std::string();
  };
  m_strImageDirectory = Knob("NEXSIM_IMAGEDIRECTORY");
  struct stat st;
  if (m_strImageDirectory.empty()) {
    m_strImageDirectory = CSimImage::DefaultDirectory();
  } else if (stat(m_strImageDirectory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    a_strError = "NEXSIM_IMAGEDIRECTORY is no directory <" + m_strImageDirectory + ">";
    return false;
  }
  CSimImage::RemoveOrphans(m_strImageDirectory, "nexsim");
  m_lNoMemoryAt = 0;
  const std::string strNoMemory = Knob("NEXSIM_NOMEMORY");
  if (!strNoMemory.empty() && !CSimNode::Number(strNoMemory, 1, 1000000, m_lNoMemoryAt)) {
    a_strError = "bad NEXSIM_NOMEMORY <" + strNoMemory + ">";
    return false;
  }
  m_strVersion = Knob("NEXSIM_VERSION");
  if (m_strVersion.empty()) m_strVersion = s_szVersionDefault;
  if (m_strVersion.size() > 63 || m_strVersion.find_first_not_of("0123456789.") != std::string::npos) {
    a_strError = "bad NEXSIM_VERSION <" + m_strVersion + ">";
    return false;
  }
  long lMaxMemory = 0;
  const std::string strMaxMemory = Knob("NEXSIM_MAXMEMORY");
  if (!strMaxMemory.empty() && !CSimNode::Number(strMaxMemory, 0, s_lMaxMemoryMiB, lMaxMemory)) {
    a_strError = "bad NEXSIM_MAXMEMORY <" + strMaxMemory + ">";
    return false;
  }
  m_u64MaxMemory = static_cast<uint64_t>(lMaxMemory) << 20;
  m_simnodeInquiry = CSimNode();
  const std::string strInquiry = Knob("NEXSIM_INQUIRY");
  if (!strInquiry.empty() && !CSimTask::ReadInquiryFile(strInquiry, m_simnodeInquiry, a_strError)) return false;
  return LoadTestKnobs(a_strError);
}

// The knobs by which tests make the library misbehave.
bool CSimNexil::LoadTestKnobs(std::string& a_strError) {
  const auto Knob = [](const char* a_szName) {
    const char* szValue = std::getenv(a_szName);
    return szValue ? std::string(szValue) : std::string();
  };
  m_strTaskLog = Knob("NEXSIM_TASKLOG");
  m_strEcdoCustomWord = Knob("NEXSIM_ECDOCUSTOMWORD");
  if (m_strEcdoCustomWord.find_first_not_of("abcdefghijklmnopqrstuvwxyz") != std::string::npos) {
    a_strError = "bad NEXSIM_ECDOCUSTOMWORD <" + m_strEcdoCustomWord + ">";
    return false;
  }
  m_blEcdoCustomNoStatus = !Knob("NEXSIM_ECDOCUSTOMNOSTATUS").empty();
  m_blEcdoCustomCut = !Knob("NEXSIM_ECDOCUSTOMCUT").empty();
  // The unit's own knob first.
  const auto UnitKnob = [&](const std::string& a_strName) {
    const std::string strUnit = std::strcmp(UnitName(), "flatbed") == 0 ? "NEXSIM_FLATBED_" : "NEXSIM_ADF_";
    const char* szValue = std::getenv((strUnit + a_strName).c_str());
    return szValue ? std::string(szValue) : Knob(("NEXSIM_" + a_strName).c_str());
  };
  if (!m_simecdo.Load(UnitKnob("ECDOFILE"), a_strError)) return false;
  m_strEcdoWord = UnitKnob("ECDOWORD");
  if (m_strEcdoWord.find_first_not_of("abcdefghijklmnopqrstuvwxyz") != std::string::npos) {
    a_strError = "bad NEXSIM_ECDOWORD <" + m_strEcdoWord + ">";
    return false;
  }
  m_blEcdoCut = !UnitKnob("ECDOCUT").empty();
  const std::string strDoubleQuote = Knob("NEXSIM_DOUBLEQUOTE");
  m_blDoubleQuote = strDoubleQuote == "1" || strDoubleQuote == "true";
  const std::string strPagePool = Knob("NEXSIM_PAGEPOOL");
  m_blPagePool = strPagePool == "1" || strPagePool == "true";
  if (!m_blPagePool && !strPagePool.empty() && strPagePool != "0" && strPagePool != "false") {
    a_strError = "bad NEXSIM_PAGEPOOL <" + strPagePool + ">";
    return false;
  }
  m_mapGetOutputWord.clear();
  const std::string strWords = Knob("NEXSIM_GETOUTPUTWORD");
  for (size_t sizetStart = 0; sizetStart < strWords.size();) {
    size_t sizetEnd = strWords.find(',', sizetStart);
    if (sizetEnd == std::string::npos) sizetEnd = strWords.size();
    const std::string strItem = strWords.substr(sizetStart, sizetEnd - sizetStart);
    const size_t sizetColon = strItem.find(':');
    long lAt = 0;
    if (sizetColon == std::string::npos || !CSimNode::Number(strItem.substr(0, sizetColon), 1, 1000000, lAt) ||
        sizetColon + 1 == strItem.size() ||
        strItem.find_first_not_of("abcdefghijklmnopqrstuvwxyz", sizetColon + 1) != std::string::npos) {
      a_strError = "bad NEXSIM_GETOUTPUTWORD <" + strWords + ">";
      return false;
    }
    m_mapGetOutputWord[lAt] = strItem.substr(sizetColon + 1);
    sizetStart = sizetEnd + 1;
  }
  const struct {
    const char* szName;
    long lMin;
    long lMax;
    long* plValue;
  } aknob[] = {
      {"NEXSIM_THROWAT", 1, 1000000, &m_lThrowAt},
      {"NEXSIM_RELAY", 0, 1000000, &m_lRelays},
      {"NEXSIM_PADOUTPUT", 1, 16L << 20, &m_lPadOutput},
      {"NEXSIM_DELAY", 0, 600000, &m_lDelayMs},
      {"NEXSIM_ECDOCUSTOMPAD", 1, 16L << 20, &m_lEcdoCustomPad},
      {"NEXSIM_FAILSETINPUT", 1, 1000000, &m_lFailSetInputAt},
  };
  for (const auto& knob : aknob) {
    *knob.plValue = 0;
    const std::string strValue = Knob(knob.szName);
    if (strValue.empty()) continue;
    if (knob.plValue == &m_lRelays && strValue == "-1") {
      m_lRelays = -1;
    } else if (!CSimNode::Number(strValue, knob.lMin, knob.lMax, *knob.plValue)) {
      a_strError = std::string("bad ") + knob.szName + " <" + strValue + ">";
      return false;
    }
  }
  return true;
}

std::string CSimNexil::NewFilePath(const char* a_szKind, const char* a_szExtension) {
  return m_strImageDirectory + "/nexsim-" + std::to_string(getpid()) + "-" + UnitName() + "-" + a_szKind + "-" +
         std::to_string(++m_u64FileCounter) + a_szExtension;
}

void CSimNexil::DropOutputs() {
  for (const SimOutput& simoutput : m_dqsimoutput) unlink(simoutput.strPath.c_str());
  m_dqsimoutput.clear();
  for (const std::string& strPath : m_setOutstanding) unlink(strPath.c_str());
  m_setOutstanding.clear();
  for (const auto& item : m_mapPagePool) unlink(item.second.first.c_str());
  m_mapPagePool.clear();
}

const char* CSimNexil::InterfaceOpen(const CSimNode&, CSimNode& a_simnodeReply) {
  std::string strError;
  if (!LoadKnobs(strError)) {
    OsLog(OS_LOG_ERROR, "nexsim>>> interfaceopen refused: %s", strError.c_str());
    return "fail";
  }
  m_u32State = SIM_NEXILSTATE_OPEN;
  m_lGetOutputs = 0;
  m_lPages = 0;
  m_lSetInputs = 0;
  m_lRelayed = 0;
  m_lTasksOpen = 0;
  m_simstreams.Set({});
  a_simnodeReply.Add(ReportInquiry(true));
  return "success";
}

const char* CSimNexil::InterfaceClose(const CSimNode&, CSimNode&) {
  DropOutputs();
  RemoveLogFiles();
  m_u32State = SIM_NEXILSTATE_LOADED;
  return "success";
}

const char* CSimNexil::SessionBegin(const CSimNode& a_simnode, CSimNode&) {
  m_blImageEndMode = std::string(a_simnode.ChildText("imageendmode")) == "true";
  m_strLanguage = a_simnode.ChildText("language", "en_usa");
  m_blSetup = false;
  m_u32State = SIM_NEXILSTATE_SESSION;
  return "success";
}

const char* CSimNexil::SessionEnd(const CSimNode&, CSimNode&) {
  DropOutputs();
  m_blSetup = false;
  m_u32State = SIM_NEXILSTATE_OPEN;
  return "success";
}

const char* CSimNexil::Success(const CSimNode&, CSimNode&) { return "success"; }

const char* CSimNexil::SetupBegin(const CSimNode&, CSimNode&) {
  if (m_blSetup) return "invalidstate";
  m_blSetup = true;
  m_simstreams.BeginSetup();
  return "success";
}

const char* CSimNexil::SetupEnd(const CSimNode& a_simnode, CSimNode&) {
  if (!m_blSetup) return "invalidstate";
  m_blSetup = false;
  m_simstreams.EndSetup(std::string(a_simnode.ChildText("cancel")) == "true");
  return "success";
}

const char* CSimNexil::CreateCamera(const CSimNode& a_simnode, CSimNode&) {
  if (!m_blSetup) return "invalidstate";
  return *a_simnode.ChildText("cameraid") ? "success" : "fail";
}

// Any camera and resolution: the library makes what the scanner's pages
// allow.
const char* CSimNexil::WindowAdd(const CSimNode& a_simnode, CSimNode&) {
  if (!m_blSetup) return "invalidstate";
  SimStream simstream;
  if (!CSimStreams::Parse("nexsim", a_simnode, simstream)) return "fail";
  m_simstreams.Add(simstream);
  return "success";
}

const char* CSimNexil::SetWindowOrder(const CSimNode& a_simnode, CSimNode&) {
  if (!m_blSetup) return "invalidstate";
  return m_simstreams.Order("nexsim", a_simnode) ? "success" : "fail";
}
