// The host program of the image library.
#include "sim_csimdravix.h"

#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "os_cosfile.h"
#include "os_cosmem.h"
#include "os_cossocket.h"
#include "os_costhread.h"
#include "os_costime.h"
#include "os_cosxmltask.h"
#include "sim_csimnode.h"
#include "sim_services.h"

namespace {

constexpr const char* s_aszKey[] = {"dll", "entry", "addr", "port", "pid", "maxmemory"};
constexpr size_t s_sizetReadBuffer = 65536;
constexpr size_t s_sizetTaskMax = 16 << 20;  // a text this long without "</task>" is no task
constexpr long s_lReadMs = 1000;             // the parent is checked at least this often
constexpr long s_lSliceMs = 50;
constexpr long s_lTwiceMs = 100;
constexpr char s_szTaskEnd[] = "</task>";
constexpr unsigned long long s_ullMaxMemoryMiB = 1ULL << 30;  // the library's own bound

// The name of the task's command: its first element after the task line.
std::string CommandName(const std::string& a_strTask) {
  size_t sizet = a_strTask.find('>');
  if (sizet == std::string::npos) return std::string();
  sizet = a_strTask.find_first_not_of(" \t\r\n", sizet + 1);
  if (sizet == std::string::npos || a_strTask[sizet] != '<') return std::string();
  const size_t sizetEnd = a_strTask.find_first_of(" \t\r\n/>", sizet + 1);
  return sizetEnd == std::string::npos ? std::string() : a_strTask.substr(sizet + 1, sizetEnd - sizet - 1);
}

// Pads a reply beyond 1 MiB with an element of its own, keeping its byte
// count right.
void Inflate(std::string& a_strReply) {
  const size_t sizetEnd = a_strReply.rfind(s_szTaskEnd);
  if (sizetEnd == std::string::npos) return;
  a_strReply.insert(sizetEnd, "\t<reportpadding>" + std::string((1 << 20) + 1024, 'x') + "</reportpadding>\n");
  static constexpr char s_szBytes[] = "' bytes='";
  const size_t sizetBytes = a_strReply.find(s_szBytes);
  if (sizetBytes == std::string::npos || sizetBytes + sizeof s_szBytes - 1 + 20 > a_strReply.size()) return;
  char szDigits[32];
  std::snprintf(szDigits, sizeof szDigits, "%020zu", a_strReply.size());
  a_strReply.replace(sizetBytes + sizeof s_szBytes - 1, 20, szDigits);
}

// The library's limit in MiB for a limit in bytes; empty for none.
std::string MaxMemoryMiB(const std::string& a_strBytes) {
  errno = 0;
  const unsigned long long ullBytes = std::strtoull(a_strBytes.c_str(), nullptr, 10);
  if (a_strBytes.empty() || ullBytes == 0 || errno == ERANGE) return std::string();
  const unsigned long long ullMiB = ullBytes >> 20;
  return std::to_string(ullMiB == 0 ? 1 : ullMiB > s_ullMaxMemoryMiB ? s_ullMaxMemoryMiB : ullMiB);
}

// A knob of decimal digits; false for a malformed one.
bool Knob(const char* a_szName, long a_lMin, long a_lMax, long& a_lValue, std::string& a_strError) {
  const char* szValue = std::getenv(a_szName);
  if (!szValue || !*szValue) return true;
  if (CSimNode::Number(szValue, a_lMin, a_lMax, a_lValue)) return true;
  a_strError = std::string("malformed ") + a_szName + " <" + szValue + ">";
  return false;
}

}  // namespace

bool CSimDravix::Parse(int a_iArgs, const char* const* a_aszArgs, std::string& a_strError) {
  std::map<std::string, std::string> mapValue;
  for (int i = 0; i < a_iArgs; ++i) {
    const char* szArg = a_aszArgs[i];
    const char* szColon = std::strchr(szArg, ':');
    const std::string strKey = szColon ? std::string(szArg, szColon) : std::string(szArg);
    bool blKnown = false;
    for (const char* szKey : s_aszKey) blKnown = blKnown || strKey == szKey;
    if (!szColon || !blKnown) {
      a_strError = std::string("unknown argument <") + szArg + ">";
      return false;
    }
    if (!mapValue.emplace(strKey, szColon + 1).second) {
      a_strError = std::string("argument given twice <") + szArg + ">";
      return false;
    }
  }
  for (const char* szKey : s_aszKey) {
    if (!mapValue.count(szKey)) {
      a_strError = std::string("missing argument <") + szKey + ":>";
      return false;
    }
  }
  m_strLibrary = mapValue["dll"];
  m_strEntry = mapValue["entry"];
  m_strAddress = mapValue["addr"];
  m_strPort = mapValue["port"];
  m_strMaxMemory = mapValue["maxmemory"];
  const std::string& strPid = mapValue["pid"];
  char* pcEnd = nullptr;
  m_u64Parent = std::strtoull(strPid.c_str(), &pcEnd, 16);
  if (m_strLibrary.empty() || m_strEntry.empty() || m_strPort.empty()) {
    a_strError = "dll:, entry: and port: need a value";
  } else if (strPid.empty() || strPid.size() > 16 || *pcEnd || strPid.find_first_of("+- ") != std::string::npos ||
             m_u64Parent == 0 || m_u64Parent > 0x7fffffff) {
    a_strError = "malformed pid: <" + strPid + ">, a process id in hexadecimal digits";
  } else if (m_strMaxMemory.size() > 31 || m_strMaxMemory.find_first_not_of("0123456789") != std::string::npos) {
    a_strError = "malformed maxmemory: <" + m_strMaxMemory + ">, bytes in decimal digits";
  }
  if (!a_strError.empty()) return false;
  long lNoConnect = 0;
  if (!Knob("DRAVIX_CRASHAFTER", 0, 1000000, m_lCrashAfter, a_strError) ||
      !Knob("DRAVIX_DELAY", 0, 600000, m_lDelayMs, a_strError) ||
      !Knob("DRAVIX_PIECE", 1, 1 << 20, m_lPiece, a_strError) ||
      !Knob("DRAVIX_BIGREPLY", 1, 1000000, m_lBigReply, a_strError) ||
      !Knob("DRAVIX_TWICE", 1, 1000000, m_lTwice, a_strError) ||
      !Knob("DRAVIX_NOEND", 1, 1000000, m_lNoEnd, a_strError) ||
      !Knob("DRAVIX_LINGER", 0, 600000, m_lLinger, a_strError) ||
      !Knob("DRAVIX_NOCONNECT", 0, 1, lNoConnect, a_strError)) {
    return false;
  }
  m_blNoConnect = lNoConnect == 1;
  return true;
}

bool CSimDravix::ParentRunning() const { return COsThread::IsProcessRunning(m_u64Parent, false); }

bool CSimDravix::Pause(long a_lMilliseconds) const {
  for (long lLeft = a_lMilliseconds; lLeft > 0; lLeft -= s_lSliceMs) {
    if (!ParentRunning()) return false;
    COsTime::Sleep(lLeft < s_lSliceMs ? lLeft : s_lSliceMs);
  }
  return ParentRunning();
}

int CSimDravix::Run() {
  // A peer that closes makes a write fail, never end this process.
  signal(SIGPIPE, SIG_IGN);
  if (!ParentRunning()) {
    std::fprintf(stderr, "dravix: the parent process %llx is not running\n",
                 static_cast<unsigned long long>(m_u64Parent));
    return SIM_DRAVIXEXIT_PARENTGONE;
  }
  SimUseParentCommonDirectory();
  if (m_blNoConnect) {
    while (Pause(s_lReadMs)) {
    }
    return SIM_DRAVIXEXIT_PARENTGONE;
  }
  const std::string strMaxMemory = MaxMemoryMiB(m_strMaxMemory);
  if (!strMaxMemory.empty()) setenv("NEXSIM_MAXMEMORY", strMaxMemory.c_str(), 1);
  // The rings of a shared-memory channel are mapped by the process-wide
  // memory service; it outlives everything below.
  COsMem osmem(OS_MEM_METHOD_GLOBALALLOC, 0);
  return Serve();
}

int CSimDravix::Serve() {
  COsFile osfile;
  if (osfile.SharedLibraryLoad(m_strLibrary.c_str(), OS_FILEOPEN_CREATE) != OS_STS_SUCCESS) {
    std::fprintf(stderr, "dravix: cannot load the library <%s>\n", m_strLibrary.c_str());
    return SIM_DRAVIXEXIT_LIBRARY;
  }
  const PfnSimEntry pfnEntry = reinterpret_cast<PfnSimEntry>(
      osfile.SharedLibraryGetProc(m_strEntry.c_str(), reinterpret_cast<void*>(-1), OS_FILEMANGLE_NONE));
  if (!pfnEntry) {
    std::fprintf(stderr, "dravix: the library has no entry <%s> <%s>\n", m_strEntry.c_str(), m_strLibrary.c_str());
    return SIM_DRAVIXEXIT_LIBRARY;
  }
  int iExit;
  {
    COsSocket ossocket;
    if (ossocket.Connect(m_strAddress.c_str(), m_strPort.c_str(), "DravixNexil", m_u64Parent, false) !=
        OS_STS_SUCCESS) {
      std::fprintf(stderr, "dravix: cannot connect to <%s> <%s>\n", m_strAddress.c_str(), m_strPort.c_str());
      return SIM_DRAVIXEXIT_CONNECT;
    }
    iExit = ServeTasks(ossocket, pfnEntry);
  }
  // The library removes what it still holds as it unloads.
  osfile.SharedLibraryFree();
  return iExit;
}

int CSimDravix::ServeTasks(COsSocket& a_ossocket, PfnSimEntry a_pfnEntry) {
  std::string strPending;
  std::vector<char> vcBuffer(s_sizetReadBuffer);
  long lServed = 0;
  for (;;) {
    const size_t sizetEnd = strPending.find(s_szTaskEnd);
    if (sizetEnd == std::string::npos) {
      if (strPending.size() > s_sizetTaskMax) {
        std::fprintf(stderr, "dravix: %zu bytes without the end of a task\n", strPending.size());
        return SIM_DRAVIXEXIT_PEERGONE;
      }
      uint64_t u64Read = 0;
      const EOSSTS eossts =
          a_ossocket.Read(vcBuffer.data(), vcBuffer.size(), &u64Read, s_lReadMs, 0, nullptr, nullptr);
      if (eossts == OS_STS_SUCCESS) {
        strPending.append(vcBuffer.data(), u64Read);
      } else if (eossts != OS_STS_TIMEOUT) {
        std::fprintf(stderr, "dravix: the peer is gone (%d)\n", static_cast<int>(eossts));
        return SIM_DRAVIXEXIT_PEERGONE;
      } else if (!ParentRunning()) {
        std::fprintf(stderr, "dravix: the parent process has ended\n");
        return SIM_DRAVIXEXIT_PARENTGONE;
      }
      continue;
    }
    std::string strTask = strPending.substr(0, sizetEnd + sizeof s_szTaskEnd - 1);
    strPending.erase(0, sizetEnd + sizeof s_szTaskEnd - 1);
    // The line feed that ends a task belongs to it.
    const size_t sizetNext = strPending.find_first_not_of(" \t\r\n");
    strTask.append(strPending, 0, sizetNext == std::string::npos ? strPending.size() : sizetNext);
    strPending.erase(0, sizetNext == std::string::npos ? strPending.size() : sizetNext);

    if (lServed == m_lCrashAfter) raise(SIGKILL);
    ++lServed;
    const char* szReply = a_pfnEntry(strTask.c_str());
    std::string strReply = szReply ? szReply : COsXmlTask::ReportStatusFail();
    if (lServed == m_lBigReply) Inflate(strReply);
    if (m_lDelayMs > 0 && !Pause(m_lDelayMs)) {
      std::fprintf(stderr, "dravix: the parent process has ended\n");
      return SIM_DRAVIXEXIT_PARENTGONE;
    }
    if (lServed == m_lNoEnd) {
      WriteReply(a_ossocket, strReply.substr(0, strReply.rfind(s_szTaskEnd)));
      std::fprintf(stderr, "dravix: a reply without its end, as asked\n");
      return SIM_DRAVIXEXIT_PEERGONE;
    }
    // A second copy comes apart in time, after the first has been read.
    if (!WriteReply(a_ossocket, strReply) ||
        (lServed == m_lTwice && (!Pause(s_lTwiceMs) || !WriteReply(a_ossocket, strReply)))) {
      std::fprintf(stderr, "dravix: the reply could not be written, the peer is gone\n");
      return SIM_DRAVIXEXIT_PEERGONE;
    }
    if (CommandName(strTask) == "interfaceclose") {
      Pause(m_lLinger);
      return SIM_DRAVIXEXIT_CLOSED;
    }
  }
}

bool CSimDravix::WriteReply(COsSocket& a_ossocket, const std::string& a_strReply) {
  const size_t sizetPiece = m_lPiece > 0 ? static_cast<size_t>(m_lPiece) : a_strReply.size();
  for (size_t sizetDone = 0; sizetDone < a_strReply.size();) {
    const size_t sizetLength = std::min(sizetPiece, a_strReply.size() - sizetDone);
    uint64_t u64Written = 0;
    if (a_ossocket.Write(a_strReply.data() + sizetDone, sizetLength, &u64Written, 10000, 0) != OS_STS_SUCCESS ||
        u64Written != sizetLength) {
      return false;
    }
    sizetDone += sizetLength;
    // Apart in time, so that the reader meets them one by one.
    if (m_lPiece > 0 && sizetDone < a_strReply.size()) COsTime::Sleep(1);
  }
  return true;
}
