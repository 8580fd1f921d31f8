// The task side shared by the stand-in libraries.
#include "sim_csimtask.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "os_coslog.h"
#include "os_cosxml.h"
#include "os_cosxmltask.h"

namespace {

// Each calling thread's last reply.
thread_local std::string t_strReply;

// The id of a task text: the digits of the id property of its task element.
bool ReadTaskId(const char* a_szTask, uint64_t& a_u64Id) {
  static constexpr char s_szMarker[] = " id='";
  if (std::strncmp(a_szTask, "<task ", 6) != 0) return false;
  const char* pcEnd = std::strchr(a_szTask, '>');
  const char* pc = std::strstr(a_szTask, s_szMarker);
  if (!pc || !pcEnd || pc > pcEnd) return false;
  pc += sizeof s_szMarker - 1;
  uint64_t u64Id = 0;
  const char* pcDigits = pc;
  for (; *pc >= '0' && *pc <= '9' && pc - pcDigits < 20; ++pc) {
    if (u64Id <= 0xffffffffu) u64Id = u64Id * 10 + static_cast<uint64_t>(*pc - '0');  // too big stays too big
  }
  if (pc == pcDigits || *pc != '\'') return false;
  a_u64Id = u64Id;
  return true;
}

}  // namespace

bool CSimTask::Read(const char* a_szWho, const char* a_szTask, uint64_t& a_u64Id, CSimNode& a_simnodeCommand) {
  a_u64Id = 0;
  if (!a_szTask) {
    OsLog(OS_LOG_ERROR, "%s>>> a_szTask is null...", a_szWho);
    return false;
  }
  if (!ReadTaskId(a_szTask, a_u64Id) || a_u64Id > 0x7fffffff) {
    OsLog(OS_LOG_ERROR, "%s>>> task without a usable id...<%.200s>", a_szWho, a_szTask);
    a_u64Id = 0;
    return false;
  }
  COsXml osxml;
  char szRoot[16];
  std::vector<char> vcBuffer(std::strlen(a_szTask) + 1);
  if (osxml.DocumentLoad(a_szTask) != OS_STS_SUCCESS || osxml.NodeGetName(szRoot, sizeof szRoot) != OS_STS_SUCCESS ||
      std::strcmp(szRoot, "task") != 0 || osxml.NodeChild() != OS_STS_SUCCESS ||
      !a_simnodeCommand.Read(osxml, vcBuffer)) {
    OsLog(OS_LOG_ERROR, "%s>>> not a task...<%.200s>", a_szWho, a_szTask);
    return false;
  }
  return true;
}

const char* CSimTask::Reply(const char* a_szWho, int a_iReplyId, uint64_t a_u64Id, const char* a_szStatus,
                            const CSimNode& a_simnodeReply) {
  COsXmlTask osxmltask("", COsXmlTask::s_sizetMinimumCapacity + a_simnodeReply.WrittenSizeBound());
  osxmltask.StartTask(a_iReplyId, static_cast<int>(a_u64Id), a_szStatus);
  for (const CSimNode& simnode : a_simnodeReply.Children()) simnode.Write(osxmltask, 1);
  osxmltask.FinalizeTask();
  if (osxmltask.IsError(true) || !osxmltask.GetTaskBuffer()) {
    OsLog(OS_LOG_ERROR, "%s>>> the reply did not fit, answering fail...", a_szWho);
    osxmltask.Clear();
    osxmltask.StartTask(a_iReplyId, static_cast<int>(a_u64Id), "fail");
    osxmltask.FinalizeTask();
  }
  const char* szReply = osxmltask.GetTaskBuffer();
  t_strReply = szReply ? szReply : COsXmlTask::ReportStatusFail();
  return t_strReply.c_str();
}

void CSimTask::Log(const std::string& a_strPath, const char* a_szUnit, uint64_t a_u64Id,
                   const CSimNode& a_simnodeCommand, const char* a_szStatus) {
  if (a_strPath.empty()) return;
  const auto Clean = [](std::string a_str) {
    for (char& c : a_str) {
      if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    }
    return a_str;
  };
  const long long llMilliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                                       std::chrono::system_clock::now().time_since_epoch())
                                       .count();
  std::string strLine = std::to_string(llMilliseconds) + "\t" + a_szUnit + "\t" + std::to_string(a_u64Id) + "\t" +
                        (a_simnodeCommand.Name().empty() ? "-" : Clean(a_simnodeCommand.Name()));
  for (const CSimNode& simnode : a_simnodeCommand.Children()) {
    strLine += "\t" + Clean(simnode.Name()) + "=" + Clean(simnode.Text().substr(0, 200));
  }
  strLine += std::string("\t") + a_szStatus + "\n";
  const int iFd = open(a_strPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (iFd < 0) {
    OsLog(OS_LOG_ERROR, "sim>>> cannot open the task log <%s>", a_strPath.c_str());
    return;
  }
  if (write(iFd, strLine.data(), strLine.size()) != static_cast<ssize_t>(strLine.size())) {
    OsLog(OS_LOG_ERROR, "sim>>> the task log was not written <%s>", a_strPath.c_str());
  }
  close(iFd);
}

bool CSimTask::ReadInquiryFile(const std::string& a_strPath, CSimNode& a_simnodeInquiry, std::string& a_strError) {
  std::ifstream ifstreamFile(a_strPath, std::ios::binary);
  if (!ifstreamFile) {
    a_strError = "cannot read the inquiry file <" + a_strPath + ">";
    return false;
  }
  const std::string strText = "<reportinquiry>" +
                              std::string(std::istreambuf_iterator<char>(ifstreamFile), std::istreambuf_iterator<char>()) +
                              "</reportinquiry>";
  COsXml osxml;
  std::vector<char> vcBuffer(strText.size() + 1);
  CSimNode simnodeInquiry;
  if (osxml.DocumentLoad(strText.c_str()) != OS_STS_SUCCESS || !simnodeInquiry.Read(osxml, vcBuffer)) {
    a_strError = "the inquiry file is not XML <" + a_strPath + ">";
    return false;
  }
  a_simnodeInquiry = std::move(simnodeInquiry);
  return true;
}
