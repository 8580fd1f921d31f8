// The user-interface stand-in: its channels, its reader and its answers.
#include "sim_csimuistandin.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "os_cosmem.h"
#include "os_cosxml.h"
#include "sim_csimnode.h"
#include "sim_services.h"

extern char** environ;

namespace {

constexpr size_t s_sizetReadBuffer = 16384;  // a read zero-fills all of it first
constexpr size_t s_sizetHeaderLimit = 1024;
constexpr size_t s_sizetMaxTask = 16u << 20;
constexpr uint32_t s_u32ReadMs = 1000;
constexpr long s_lLifetimeMs = 600000;
constexpr char s_szBytes[] = "bytes='";

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// A field of a log line: tab, line feed, backslash and control bytes
// escaped.
std::string Field(const std::string& a_strText) {
  std::string str;
  for (unsigned char uc : a_strText) {
    if (uc == '\\') {
      str += "\\\\";
    } else if (uc == '\t') {
      str += "\\t";
    } else if (uc == '\n') {
      str += "\\n";
    } else if (uc < 0x20 || uc == 0x7f) {
      char sz[8];
      std::snprintf(sz, sizeof sz, "\\x%02x", uc);
      str += sz;
    } else {
      str += static_cast<char>(uc);
    }
  }
  return str;
}

// The text of the attribute's value in the task's header; "-" without it.
std::string Attribute(const std::string& a_strTask, const char* a_szName) {
  const std::string strNeedle = std::string(" ") + a_szName + "='";
  const size_t sizetHeader = a_strTask.find('>');
  const size_t sizetAt = a_strTask.find(strNeedle);
  if (sizetAt == std::string::npos || (sizetHeader != std::string::npos && sizetAt > sizetHeader)) return "-";
  const size_t sizetValue = sizetAt + strNeedle.size();
  const size_t sizetEnd = a_strTask.find('\'', sizetValue);
  return sizetEnd == std::string::npos ? "-" : a_strTask.substr(sizetValue, sizetEnd - sizetValue);
}

}  // namespace

std::string CSimUiStandin::Task(uint64_t a_u64Id, const std::string& a_strName, const std::string& a_strText,
                                size_t a_sizetLength) {
  const std::string strOpen = "\t<" + a_strName + ">", strClose = "</" + a_strName + ">\n</task>\n";
  char szHeader[128];
  const int iHeader = std::snprintf(szHeader, sizeof szHeader, "<task id='%020llu' reply='%020llu' bytes='%020zu'>\n",
                                    static_cast<unsigned long long>(a_u64Id), 0ULL, size_t{0});
  size_t sizetLength = static_cast<size_t>(iHeader) + strOpen.size() + a_strText.size() + strClose.size();
  const size_t sizetPad = a_sizetLength > sizetLength ? a_sizetLength - sizetLength : 0;
  sizetLength += sizetPad;
  std::snprintf(szHeader, sizeof szHeader, "<task id='%020llu' reply='%020llu' bytes='%020zu'>\n",
                static_cast<unsigned long long>(a_u64Id), 0ULL, sizetLength);
  return szHeader + strOpen + a_strText + std::string(sizetPad, 'x') + strClose;
}

std::string CSimUiStandin::Decode(const std::string& a_strText) {
  std::string str;
  for (size_t sizet = 0; sizet < a_strText.size(); ++sizet) {
    const char c = a_strText[sizet];
    if (c != '\\' || sizet + 1 == a_strText.size()) {
      str += c;
      continue;
    }
    const char cNext = a_strText[++sizet];
    if (cNext == 'n') {
      str += '\n';
    } else if (cNext == 't') {
      str += '\t';
    } else if (cNext == 'r') {
      str += '\r';
    } else if (cNext == '0') {
      str += '\0';
    } else if (cNext == 'x' && sizet + 2 < a_strText.size()) {
      str += static_cast<char>(std::strtol(a_strText.substr(sizet + 1, 2).c_str(), nullptr, 16));
      sizet += 2;
    } else {
      str += cNext;
    }
  }
  return str;
}

int CSimUiStandin::Run(int a_iArgs, char** a_aszArgs) {
  const char* szLog = std::getenv("UISTANDIN_LOG");
  if (szLog && *szLog) m_iLog = open(szLog, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  for (int i = 0; i < a_iArgs; ++i) Log("argv\t" + std::to_string(i) + "\t" + Field(a_aszArgs[i]));
  for (char** ppsz = environ; ppsz && *ppsz; ++ppsz) {
    const char* szEqual = std::strchr(*ppsz, '=');
    if (szEqual) Log("env\t" + Field(std::string(*ppsz, static_cast<size_t>(szEqual - *ppsz))) + "\t" + Field(szEqual + 1));
  }
  const char* szButton = std::getenv("UISTANDIN_BUTTON");
  m_strButton = szButton && *szButton ? szButton : "ok";
  const char* szSlash = a_iArgs > 0 ? std::strrchr(a_aszArgs[0], '/') : nullptr;
  m_blAssistant = a_iArgs > 0 && std::strcmp(szSlash ? szSlash + 1 : a_aszArgs[0], "drvassistui") == 0;
  const char* szTasks = std::getenv("UISTANDIN_TASKS");
  m_strTaskDir = szTasks ? szTasks : "";
  long lLifetime = s_lLifetimeMs;
  const char* szLifetime = std::getenv("UISTANDIN_LIFETIME");
  std::string strError;
  const char* szScript = std::getenv("UISTANDIN_SCRIPT");
  if ((szLifetime && *szLifetime && !CSimNode::Number(szLifetime, 0, 86400000, lLifetime)) ||
      !ParseScript(szScript ? szScript : "", strError)) {
    if (strError.empty()) strError = "malformed UISTANDIN_LIFETIME";
    Log("error\t" + std::to_string(NowMs()) + "\t" + Field(strError));
    std::fprintf(stderr, "uistandin: %s\n", strError.c_str());
    return SIM_UISTANDINEXIT_SCRIPT;
  }
  // A peer that closes makes a write fail, never end this process.
  signal(SIGPIPE, SIG_IGN);
  SimUseParentCommonDirectory();
  // The rings of a shared-memory channel are mapped by the memory service.
  COsMem osmem(OS_MEM_METHOD_GLOBALALLOC, 0);
  if (!ReadChannels(strError)) {
    Log("error\t" + std::to_string(NowMs()) + "\t" + Field(strError));
    std::fprintf(stderr, "uistandin: %s\n", strError.c_str());
    return SIM_UISTANDINEXIT_NOCHANNELS;
  }
  const uint64_t u64Parent = static_cast<uint64_t>(getppid());
  if (m_ossocketIn.Connect(m_strAddress[0].c_str(), m_strPort[0].c_str(), "DRV2GUI", u64Parent, false) !=
          OS_STS_SUCCESS ||
      m_ossocketOut.Connect(m_strAddress[1].c_str(), m_strPort[1].c_str(), "GUI2DRV", u64Parent, false) !=
          OS_STS_SUCCESS) {
    Log("error\t" + std::to_string(NowMs()) + "\tcannot connect");
    std::fprintf(stderr, "uistandin: cannot connect\n");
    return SIM_UISTANDINEXIT_CONNECT;
  }
  std::thread(&CSimUiStandin::Reader, this).detach();
  if (!m_blNoReady && !m_blAssistant) Send("uiready", "\n\t");
  RunSteps();
  std::unique_lock<std::mutex> lock(m_mutex);
  if (!m_cond.wait_for(lock, std::chrono::milliseconds(lLifetime), [this] { return m_blEnded; })) {
    m_strReason = "lifetime";
  }
  Log("exit\t" + std::to_string(NowMs()) + "\t" + std::to_string(m_iStatus) + "\t" + Field(m_strReason));
  // The reader may still wait in its channel: the process ends around it.
  _exit(m_iStatus);
}

// The two channels of PMX_UISOCKETS: the one it reads, the one it writes.
bool CSimUiStandin::ReadChannels(std::string& a_strError) {
  const char* szUiSockets = std::getenv("PMX_UISOCKETS");
  COsXml osxml;
  CSimNode simnode;
  std::vector<char> vcBuffer(4096);
  if (!szUiSockets || osxml.DocumentLoad(szUiSockets) != OS_STS_SUCCESS || !simnode.Read(osxml, vcBuffer)) {
    a_strError = "no readable PMX_UISOCKETS";
    return false;
  }
  const char* aszElement[2] = {"drv2gui", "gui2drv"};
  for (int i = 0; i < 2; ++i) {
    const CSimNode* psimnode = simnode.Child(aszElement[i]);
    if (!psimnode || !psimnode->Child("port")) {
      a_strError = std::string("PMX_UISOCKETS without ") + aszElement[i];
      return false;
    }
    m_strAddress[i] = psimnode->ChildText("address");
    m_strPort[i] = psimnode->ChildText("port");
  }
  return true;
}

void CSimUiStandin::Reader() {
  std::string strBuffer;
  std::vector<char> vcRead(s_sizetReadBuffer);
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(m_mutex);
      m_cond.wait(lock, [this] { return !m_blDeaf || m_blEnded; });
      if (m_blEnded) return;
    }
    uint64_t u64Read = 0;
    const EOSSTS eossts = m_ossocketIn.Read(vcRead.data(), vcRead.size(), &u64Read, s_u32ReadMs, 0, nullptr, nullptr);
    if (eossts == OS_STS_TIMEOUT) continue;
    if (eossts != OS_STS_SUCCESS) {
      End(SIM_UISTANDINEXIT_DONE, "the channel ended");
      return;
    }
    strBuffer.append(vcRead.data(), u64Read);
    while (!strBuffer.empty()) {
      if (!Cut(strBuffer)) break;
    }
  }
}

// One whole task off the front of the buffer, by its bytes= alone; false
// when more must come first (or the stream is bad, which ends it).
bool CSimUiStandin::Cut(std::string& a_strBuffer) {
  const size_t sizetBytes = a_strBuffer.find(s_szBytes);
  const size_t sizetQuote =
      sizetBytes == std::string::npos ? std::string::npos : a_strBuffer.find('\'', sizetBytes + sizeof s_szBytes - 1);
  std::string strWhy;
  if (sizetQuote == std::string::npos || sizetQuote > s_sizetHeaderLimit) {
    if (a_strBuffer.size() < s_sizetHeaderLimit) return false;
    strWhy = "no bytes= in the header";
  }
  size_t sizetTask = 0;
  if (strWhy.empty()) {
    const size_t sizetDigits = sizetBytes + sizeof s_szBytes - 1;
    const std::string strDigits = a_strBuffer.substr(sizetDigits, sizetQuote - sizetDigits);
    if (strDigits.empty() || strDigits.size() > 20 || strDigits.find_first_not_of("0123456789") != std::string::npos) {
      strWhy = "bytes= is not a number";
    } else {
      sizetTask = static_cast<size_t>(std::strtoull(strDigits.c_str(), nullptr, 10));
      if (sizetTask <= sizetQuote || sizetTask > s_sizetMaxTask) strWhy = "bytes= out of bounds";
    }
  }
  if (strWhy.empty() && a_strBuffer.size() < sizetTask) return false;
  const std::string strTask = strWhy.empty() ? a_strBuffer.substr(0, sizetTask) : std::string();
  const size_t sizetEnd = strTask.find_last_not_of(" \t\r\n");
  if (strWhy.empty() && (strTask.compare(0, 6, "<task ") != 0 || sizetEnd == std::string::npos || sizetEnd < 6 ||
                         strTask.compare(sizetEnd - 6, 7, "</task>") != 0)) {
    strWhy = "a frame that is not one task";
  }
  if (!strWhy.empty()) {
    Log("error\t" + std::to_string(NowMs()) + "\t" + Field(strWhy + ": " + a_strBuffer.substr(0, 200)));
    End(SIM_UISTANDINEXIT_FRAME, strWhy);
    a_strBuffer.clear();
    return false;
  }
  a_strBuffer.erase(0, sizetTask);
  Handle(strTask);
  return true;
}

void CSimUiStandin::Handle(const std::string& a_strTask) {
  LogTask("recv", a_strTask);
  Keep(a_strTask);
  COsXml osxml;
  CSimNode simnodeTask;
  std::vector<char> vcBuffer(a_strTask.size() + 1);
  if (osxml.DocumentLoad(a_strTask.c_str()) != OS_STS_SUCCESS || !simnodeTask.Read(osxml, vcBuffer) ||
      simnodeTask.Children().empty()) {
    Log("error\t" + std::to_string(NowMs()) + "\ta task that does not parse");
    return;
  }
  // A dialog may follow the labels it shows.
  const CSimNode* psimnode = &simnodeTask.Children()[0];
  for (const CSimNode& simnodeChild : simnodeTask.Children()) {
    if (simnodeChild.Name() == "dialogupdate" || simnodeChild.Name() == "dialogshow") psimnode = &simnodeChild;
  }
  const CSimNode& simnode = *psimnode;
  const std::string& strCommand = simnode.Name();
  SaveTask(strCommand, a_strTask);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_mapReceived[strCommand];
    m_cond.notify_all();
  }
  if (strCommand == "uiexit" || strCommand == "interfaceclose") {
    if (!m_blIgnoreExit) End(SIM_UISTANDINEXIT_DONE, "the exit task");
    return;
  }
  if (m_blEcho) {
    Send("echo", "", a_strTask.size());
  } else if (m_blAssistant) {
    HandleAssistant(strCommand, simnode);
  } else if (strCommand == "uicreate") {
    Send("uivisible", "\n\t");
  } else if ((strCommand == "dialogupdate" || strCommand == "dialogshow") && *simnode.ChildText("buttons")) {
    std::string strButton;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      strButton = m_strButton;
      const char* szButton = std::getenv("UISTANDIN_BUTTON");
      m_strButton = szButton && *szButton ? szButton : "ok";
    }
    if (strButton == "none") return;
    Send("dialogcleared", "\n\t\t<button>" + strButton + "</button>\n\t\t<dialogtype>" +
                              simnode.ChildText("dialogtype") + "</dialogtype>\n\t");
  }
}

// The ways of keeping what was read: by the task's id (UISTANDIN_CAPTURE),
// in the order read (UISTANDIN_KEEP), and by order and command
// (UISTANDIN_TASKS, SaveTask); each file appears whole.
void CSimUiStandin::Keep(const std::string& a_strTask) {
  char szName[32];
  std::snprintf(szName, sizeof szName, "recv-%06u.xml", m_uKept++);
  KeepIn(std::getenv("UISTANDIN_CAPTURE"), Attribute(a_strTask, "id") + ".xml", a_strTask);
  KeepIn(std::getenv("UISTANDIN_KEEP"), szName, a_strTask);
}

void CSimUiStandin::KeepIn(const char* a_szDir, const std::string& a_strName, const std::string& a_strTask) {
  if (!a_szDir || !*a_szDir) return;
  const std::string strPath = std::string(a_szDir) + "/" + a_strName;
  const std::string strPart = strPath + ".part";
  FILE* pfile = std::fopen(strPart.c_str(), "wb");
  if (!pfile) return;
  const bool blWritten = std::fwrite(a_strTask.data(), 1, a_strTask.size(), pfile) == a_strTask.size();
  if (std::fclose(pfile) == 0 && blWritten) std::rename(strPart.c_str(), strPath.c_str());
}

bool CSimUiStandin::HandleAssistant(const std::string& a_strCommand, const CSimNode& a_simnode) {
  if (a_strCommand == "interfaceopen") {
    const char* szLabels = std::getenv("UISTANDIN_GETLABELS");
    std::string strText = "\n";
    if (szLabels && std::strcmp(szLabels, "*") == 0) {
      strText += "\t\t<getlabels></getlabels>\n";
    } else if (szLabels && *szLabels) {
      strText += "\t\t<getlabels>\n";
      std::istringstream istringstream(szLabels);
      for (std::string strKey; istringstream >> strKey;) strText += "\t\t\t<labels>" + strKey + "</labels>\n";
      strText += "\t\t</getlabels>\n";
    }
    return Send("reportinterfaceopen", strText + "\t");
  }
  if (a_strCommand == "sessionbegin") return m_blNoReady || Send("reportsessionbegin", "\n\t");
  if (a_strCommand == "showimage") {
    const std::string strName = a_simnode.ChildText("imagefilename");
    return strName.empty() || Send("imageend", "\n\t\t<imagefilename>" + strName + "</imagefilename>\n\t");
  }
  if (a_strCommand == "showend") {
    const char* szDecision = std::getenv("UISTANDIN_DECISION");
    return Send("userinput", "\n\t\t<useraction>" + std::string(szDecision && *szDecision ? szDecision : "continue") +
                                 "</useraction>\n\t");
  }
  return false;
}

void CSimUiStandin::SaveTask(const std::string& a_strCommand, const std::string& a_strTask) {
  if (m_strTaskDir.empty()) return;
  char szName[32];
  std::snprintf(szName, sizeof szName, "%04d-", ++m_iTasks);
  KeepIn(m_strTaskDir.c_str(), szName + a_strCommand + ".xml", a_strTask);
}

std::string CSimUiStandin::NextTask(const std::string& a_strName, const std::string& a_strText,
                                    size_t a_sizetLength) {
  return Task(m_u64NextId++, a_strName, a_strText, a_sizetLength);
}

bool CSimUiStandin::Send(const std::string& a_strName, const std::string& a_strText, size_t a_sizetLength) {
  std::lock_guard<std::mutex> lock(m_mutexWrite);
  return Write(NextTask(a_strName, a_strText, a_sizetLength), "sent");
}

// Under the write lock. Each task that starts in the bytes is logged.
bool CSimUiStandin::Write(const std::string& a_strBytes, const char* a_szKind) {
  if (a_szKind) LogTask(a_szKind, a_strBytes);
  uint64_t u64Written = 0;
  if (m_ossocketOut.Write(a_strBytes.data(), a_strBytes.size(), &u64Written, 10000, 0) == OS_STS_SUCCESS &&
      u64Written == a_strBytes.size()) {
    return true;
  }
  Log("error\t" + std::to_string(NowMs()) + "\ta write failed");
  End(SIM_UISTANDINEXIT_DONE, "the channel ended");
  return false;
}

void CSimUiStandin::End(int a_iStatus, const std::string& a_strReason) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_blEnded) return;
  m_blEnded = true;
  m_iStatus = a_iStatus;
  m_strReason = a_strReason;
  m_cond.notify_all();
}

void CSimUiStandin::Log(const std::string& a_strLine) {
  if (m_iLog < 0) return;
  const std::string strLine = a_strLine + "\n";
  // One write a line, appended whole by the kernel.
  if (write(m_iLog, strLine.data(), strLine.size()) < 0) std::perror("uistandin: log");
}

void CSimUiStandin::LogTask(const char* a_szKind, const std::string& a_strTask) {
  std::string strCommand;
  const size_t sizetHeader = a_strTask.find('>');
  const size_t sizetOpen = sizetHeader == std::string::npos ? std::string::npos : a_strTask.find('<', sizetHeader);
  if (sizetOpen != std::string::npos) {
    const size_t sizetEnd = a_strTask.find_first_of(" \t\r\n/>", sizetOpen + 1);
    if (sizetEnd != std::string::npos) strCommand = a_strTask.substr(sizetOpen + 1, sizetEnd - sizetOpen - 1);
  }
  Log(std::string(a_szKind) + "\t" + std::to_string(NowMs()) + "\t" + Field(Attribute(a_strTask, "id")) + "\t" +
      Field(Attribute(a_strTask, "reply")) + "\t" + Field(Attribute(a_strTask, "bytes")) + "\t" +
      std::to_string(a_strTask.size()) + "\t" + Field(strCommand));
}
