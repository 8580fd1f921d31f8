// The stand-in's script: its settings and its steps (sim_csimuistandin.h).
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "sim_csimnode.h"
#include "sim_csimuistandin.h"

namespace {

constexpr long s_lWaitMs = 10000;
constexpr long s_lSplitPauseMs = 50;
constexpr long s_lMaxCount = 1000000;
constexpr long s_lMaxMs = 86400000;
constexpr long s_lMaxBytes = 16 << 20;
constexpr long s_lFilePollMs = 10;

// Each verb with the least and the most words it takes after it; the last
// word of a verb with TEXT runs to the end of the line.
struct StepRow {
  const char* szVerb;
  size_t sizetMin;
  size_t sizetMax;
};
const StepRow s_asteprow[] = {
    {"send", 1, SIZE_MAX}, {"raw", 1, SIZE_MAX},  {"split", 2, SIZE_MAX}, {"pair", 2, 2},   {"big", 2, 2},
    {"flood", 2, 2},       {"wait", 1, 2},        {"waitfile", 1, 2},     {"sleep", 1, 1},  {"button", 1, 1},
    {"deaf", 0, 0},        {"exit", 0, 1},        {"kill", 0, 0},         {"sigstop", 0, 0},
};

long Number(const std::string& a_strWord, long a_lMax) {
  long lValue = -1;
  return CSimNode::Number(a_strWord, 0, a_lMax, lValue) ? lValue : -1;
}

// The text after the first a_sizetWords words of the line.
std::string After(const std::string& a_strLine, size_t a_sizetWords) {
  size_t sizet = 0;
  for (size_t sizetWord = 0; sizetWord < a_sizetWords; ++sizetWord) {
    sizet = a_strLine.find_first_not_of(' ', sizet);
    sizet = sizet == std::string::npos ? std::string::npos : a_strLine.find(' ', sizet);
    if (sizet == std::string::npos) return std::string();
  }
  return sizet + 1 <= a_strLine.size() ? a_strLine.substr(sizet + 1) : std::string();
}

}  // namespace

bool CSimUiStandin::ParseScript(const std::string& a_strScript, std::string& a_strError) {
  std::istringstream istringstream(a_strScript);
  std::string strLine;
  while (std::getline(istringstream, strLine)) {
    if (!strLine.empty() && strLine.back() == '\r') strLine.pop_back();
    std::istringstream istringstreamWords(strLine);
    Step step;
    if (!(istringstreamWords >> step.strVerb) || step.strVerb[0] == '#') continue;
    for (std::string strWord; istringstreamWords >> strWord;) step.vecstrWord.push_back(strWord);
    step.strRest = After(strLine, 1);
    if (step.strVerb == "noready" || step.strVerb == "ignoreexit" || step.strVerb == "ignoreterm" ||
        step.strVerb == "echo") {
      m_blNoReady = m_blNoReady || step.strVerb == "noready";
      m_blIgnoreExit = m_blIgnoreExit || step.strVerb == "ignoreexit";
      m_blEcho = m_blEcho || step.strVerb == "echo";
      if (step.strVerb == "ignoreterm") signal(SIGTERM, SIG_IGN);
      continue;
    }
    const StepRow* psteprow = nullptr;
    for (const StepRow& steprow : s_asteprow) {
      if (step.strVerb == steprow.szVerb) psteprow = &steprow;
    }
    if (!psteprow || step.vecstrWord.size() < psteprow->sizetMin || step.vecstrWord.size() > psteprow->sizetMax) {
      a_strError = "bad step <" + strLine + ">";
      return false;
    }
    m_vecstep.push_back(step);
  }
  return true;
}

void CSimUiStandin::RunSteps() {
  for (const Step& step : m_vecstep) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_blEnded) return;
    }
    if (!RunStep(step)) return;
  }
}

// One step; false when the stand-in is to end now.
bool CSimUiStandin::RunStep(const Step& a_step) {
  const std::vector<std::string>& vecstr = a_step.vecstrWord;
  const std::string& strVerb = a_step.strVerb;
  if (strVerb == "send") return Send(vecstr[0], Decode(After(a_step.strRest, 1)));
  if (strVerb == "raw") {
    std::lock_guard<std::mutex> lock(m_mutexWrite);
    return Write(Decode(a_step.strRest), "raw");
  }
  if (strVerb == "split" || strVerb == "pair" || strVerb == "big" || strVerb == "flood") {
    const long lCount = strVerb == "split" || strVerb == "flood" ? Number(vecstr[0], s_lMaxCount) : 1;
    const long lBytes = strVerb == "big" ? Number(vecstr[0], s_lMaxBytes) : 0;
    if (lCount < 1 || lBytes < 0) return Send("badscript", "");
    std::lock_guard<std::mutex> lock(m_mutexWrite);
    if (strVerb == "pair") return Write(NextTask(vecstr[0], "") + NextTask(vecstr[1], ""), "pair");
    if (strVerb == "big") return Write(NextTask(vecstr[1], "", static_cast<size_t>(lBytes)), "sent");
    if (strVerb == "flood") {
      for (long l = 0; l < lCount; ++l) {
        if (!Write(NextTask(vecstr[1], ""), "sent")) return false;
      }
      return true;
    }
    const std::string strTask = NextTask(vecstr[1], Decode(After(a_step.strRest, 2)));
    LogTask("sent", strTask);
    const size_t sizetPiece = (strTask.size() + static_cast<size_t>(lCount) - 1) / static_cast<size_t>(lCount);
    for (size_t sizet = 0; sizet < strTask.size(); sizet += sizetPiece) {
      if (sizet) std::this_thread::sleep_for(std::chrono::milliseconds(s_lSplitPauseMs));
      if (!Write(strTask.substr(sizet, sizetPiece), nullptr)) return false;
    }
    return true;
  }
  if (strVerb == "wait" || strVerb == "waitfile" || strVerb == "sleep") {
    const size_t sizetTime = strVerb == "sleep" ? 0 : 1;
    const long lMs = vecstr.size() > sizetTime ? Number(vecstr[sizetTime], s_lMaxMs) : s_lWaitMs;
    const auto timepointEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(lMs < 0 ? 0 : lMs);
    std::unique_lock<std::mutex> lock(m_mutex);
    if (strVerb == "sleep") {
      m_cond.wait_until(lock, timepointEnd, [this] { return m_blEnded; });
      return !m_blEnded;
    }
    if (strVerb == "wait") {
      if (m_cond.wait_until(lock, timepointEnd, [&] { return m_blEnded || m_mapReceived[vecstr[0]] > 0; }) &&
          !m_blEnded) {
        --m_mapReceived[vecstr[0]];
        return true;
      }
    } else {
      struct stat st;
      while (stat(vecstr[0].c_str(), &st) != 0 && !m_blEnded && std::chrono::steady_clock::now() < timepointEnd) {
        m_cond.wait_for(lock, std::chrono::milliseconds(s_lFilePollMs), [this] { return m_blEnded; });
      }
      if (stat(vecstr[0].c_str(), &st) == 0) return true;
    }
    lock.unlock();
    Log("error\t0\t" + strVerb + " " + vecstr[0] + " timed out");
    return true;
  }
  if (strVerb == "button" || strVerb == "deaf") {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (strVerb == "button") m_strButton = vecstr[0];
    m_blDeaf = m_blDeaf || strVerb == "deaf";
    return true;
  }
  if (strVerb == "kill" || strVerb == "sigstop") {
    Log(strVerb);
    raise(strVerb == "kill" ? SIGKILL : SIGSTOP);
    return true;
  }
  // exit
  End(vecstr.empty() ? SIM_UISTANDINEXIT_DONE : static_cast<int>(Number(vecstr[0], 255)), "the script");
  return false;
}
