// The image-library stand-in's scans: each page that setinput hands over is
// checked against its description and converted into one output per stream
// of its side right away; getoutput hands them out one by one.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <map>

#include "os_coslog.h"
#include "sim_csimimage.h"
#include "sim_csimnexil.h"

namespace {

constexpr long s_lBuffersMax = 1024;

// "300_dpi" and the like; 0 for anything else.
long Resolution(const std::string& a_strText) {
  char* pcEnd = nullptr;
  const long lResolution = std::strtol(a_strText.c_str(), &pcEnd, 10);
  return lResolution > 0 && lResolution <= 19200 && std::string(pcEnd) == "_dpi" ? lResolution : 0;
}

// The raw page a description names, when the file holds what it says: a
// known format, positive sizes, an image size of whole lines (unpadded or
// padded to 4 bytes) and a file at least that long.
bool ReadPage(const CSimNode& a_simnode, CSimImage::SimRawPage& a_simrawpage, long& a_lResolution) {
  a_simrawpage.strPath = a_simnode.ChildText("imagefilename");
  a_simrawpage.iFormat = CSimImage::FormatFromName(a_simnode.ChildText("imageformat"));
  a_lResolution = Resolution(a_simnode.ChildText("imageresolutionx"));
  long lWidth = 0, lHeight = 0, lSize = 0;
  const std::string strCompression = a_simnode.ChildText("compressionmode", "none");
  struct stat st;
  if (a_simrawpage.strPath.empty() || stat(a_simrawpage.strPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    OsLog(OS_LOG_ERROR, "nexsim>>> the page file is missing <%s>", a_simrawpage.strPath.c_str());
    return false;
  }
  if (!a_simrawpage.iFormat || !a_lResolution || strCompression != "none" ||
      !CSimNode::Number(a_simnode.ChildText("imagewidth"), 1, 1000000, lWidth) ||
      !CSimNode::Number(a_simnode.ChildText("imageheight"), 1, 1000000, lHeight) ||
      !CSimNode::Number(a_simnode.ChildText("imagesize"), 1, 1L << 40, lSize)) {
    OsLog(OS_LOG_ERROR, "nexsim>>> a page this library cannot read <%s> <%s> <%s> <%s> <%s> <%s>",
          a_simnode.ChildText("imageformat"), a_simnode.ChildText("imagewidth"), a_simnode.ChildText("imageheight"),
          a_simnode.ChildText("imagesize"), a_simnode.ChildText("imageresolutionx"), strCompression.c_str());
    return false;
  }
  a_simrawpage.lWidth = CSimImage::PixelsAt(lWidth, a_lResolution);
  a_simrawpage.lHeight = CSimImage::PixelsAt(lHeight, a_lResolution);
  const uint64_t u64Line = CSimImage::LineBytes(a_simrawpage.iFormat, a_simrawpage.lWidth);
  const uint64_t u64Size = static_cast<uint64_t>(lSize);
  a_simrawpage.u64Stride = a_simrawpage.lHeight > 0 ? u64Size / static_cast<uint64_t>(a_simrawpage.lHeight) : 0;
  if (a_simrawpage.lWidth < 1 || a_simrawpage.lHeight < 1 ||
      a_simrawpage.u64Stride * static_cast<uint64_t>(a_simrawpage.lHeight) != u64Size ||
      (a_simrawpage.u64Stride != u64Line && a_simrawpage.u64Stride != ((u64Line + 3) & ~uint64_t{3})) ||
      static_cast<uint64_t>(st.st_size) < u64Size) {
    OsLog(OS_LOG_ERROR, "nexsim>>> the page does not match its description <%s> %ld x %ld, %ld bytes, file %lld",
          a_simrawpage.strPath.c_str(), a_simrawpage.lWidth, a_simrawpage.lHeight, lSize,
          static_cast<long long>(st.st_size));
    return false;
  }
  return true;
}

}  // namespace

const char* CSimNexil::ScanBegin(const CSimNode& a_simnode, CSimNode&) {
  if (m_blSetup) return "invalidstate";
  const std::string strCount = a_simnode.ChildText("imagebuffercount");
  long lBuffers = 0;
  if (!CSimNode::Number(strCount, 1, s_lBuffersMax, lBuffers)) {
    OsLog(OS_LOG_ERROR, "nexsim>>> scanbegin with a bad imagebuffercount <%s>", strCount.c_str());
    return "fail";
  }
  m_u32State = SIM_NEXILSTATE_SCANNING;
  return "success";
}

// Every output still there goes, handed out or not.
const char* CSimNexil::ScanEnd(const CSimNode&, CSimNode&) {
  DropOutputs();
  m_u32State = SIM_NEXILSTATE_SESSION;
  return "success";
}

const char* CSimNexil::SetInput(const CSimNode& a_simnode, CSimNode&) {
  // A page whose outputs were not all fetched: the rest will never be.
  for (const SimOutput& simoutput : m_dqsimoutput) {
    OsLog(OS_LOG_INFO, "nexsim>>> output dropped, never fetched <%s>", simoutput.strPath.c_str());
    unlink(simoutput.strPath.c_str());
  }
  m_dqsimoutput.clear();
  if (++m_lSetInputs == m_lFailSetInputAt) {
    OsLog(OS_LOG_INFO, "nexsim>>> setinput %ld fails as NEXSIM_FAILSETINPUT asks", m_lSetInputs);
    return "fail";
  }
  // A user action without a page passes through as its one output.
  if (a_simnode.Child("useraction") && !*a_simnode.ChildText("imagefilename")) {
    SimOutput simoutput;
    simoutput.simnodeImage = CSimNode("reportimage");
    for (const CSimNode& simnode : a_simnode.Children()) simoutput.simnodeImage.Add(simnode);
    m_dqsimoutput.push_back(std::move(simoutput));
    return "success";
  }
  CSimImage::SimRawPage simrawpage;
  long lResolution = 0;
  if (!ReadPage(a_simnode, simrawpage, lResolution)) return "fail";
  ++m_lPages;
  const bool blRear = std::string(a_simnode.ChildText("cameratype")) == "rear";
  std::vector<SimStream> vsimstream;
  for (const SimStream& simstream : m_simstreams.InForce()) {
    if (simstream.blRear == blRear) vsimstream.push_back(simstream);
  }
  // Without streams the page goes out as it is.
  if (m_simstreams.InForce().empty()) {
    vsimstream.push_back({a_simnode.ChildText("windowid"), a_simnode.ChildText("cameraid"), blRear,
                          simrawpage.iFormat, a_simnode.ChildText("imageformat"), lResolution});
  }
  for (const SimStream& simstream : vsimstream) {
    SimOutput simoutput;
    if (!MakeOutput(a_simnode, simrawpage, simstream, simoutput)) {
      for (const SimOutput& simoutputMade : m_dqsimoutput) unlink(simoutputMade.strPath.c_str());
      m_dqsimoutput.clear();
      return "fail";
    }
    m_dqsimoutput.push_back(std::move(simoutput));
  }
  return "success";
}

// The stream's file and its description: the page's description with the
// stream's window, file, format, size and resolution in place.
bool CSimNexil::MakeOutput(const CSimNode& a_simnodePage, const CSimImage::SimRawPage& a_simrawpage,
                           const SimStream& a_simstream, SimOutput& a_simoutput) {
  const long lWidth = CSimImage::PixelsAt(std::strtol(a_simnodePage.ChildText("imagewidth"), nullptr, 10),
                                          a_simstream.lResolution);
  const long lHeight = CSimImage::PixelsAt(std::strtol(a_simnodePage.ChildText("imageheight"), nullptr, 10),
                                           a_simstream.lResolution);
  a_simoutput.strPath = NewFilePath("output", ".raw");
  const uint64_t u64Size =
      lWidth > 0 && lHeight > 0
          ? WriteOutput(a_simnodePage, a_simrawpage, a_simstream, lWidth, lHeight, a_simoutput.strPath)
          : 0;
  if (u64Size == 0) return false;
  const std::string strResolution = std::to_string(a_simstream.lResolution) + "_dpi";
  std::map<std::string, std::string> mapOwn = {
      {"windowid", a_simstream.strWindowId},     {"compressionmode", "none"},
      {"imagefilename", a_simoutput.strPath},    {"imageformat", a_simstream.strFormat},
      {"imagesize", std::to_string(u64Size)},    {"imageresolutionx", strResolution},
      {"imageresolutiony", strResolution},
  };
  a_simoutput.simnodeImage = CSimNode("reportimage");
  for (const CSimNode& simnode : a_simnodePage.Children()) {
    auto it = mapOwn.find(simnode.Name());
    if (it == mapOwn.end()) {
      a_simoutput.simnodeImage.Add(simnode);
    } else {
      a_simoutput.simnodeImage.Add(simnode.Name().c_str(), it->second);
      mapOwn.erase(it);
    }
  }
  for (const auto& item : mapOwn) a_simoutput.simnodeImage.Add(item.first.c_str(), item.second);
  if (m_lPadOutput > 0) a_simoutput.simnodeImage.Add("nexsimpad", std::string(static_cast<size_t>(m_lPadOutput), 'x'));
  return true;
}

uint64_t CSimNexil::WriteOutput(const CSimNode& a_simnodePage, const CSimImage::SimRawPage& a_simrawpage,
                                const SimStream& a_simstream, long a_lWidth, long a_lHeight,
                                const std::string& a_strPath) {
  if (!m_blPagePool) return CSimImage::Convert(a_simrawpage, a_strPath, a_simstream.iFormat, a_lWidth, a_lHeight);
  // A blank page has a pooled copy of its own.
  const std::string strKey = a_simstream.strWindowId + (a_simstream.blRear ? "/rear/" : "/front/") +
                             a_simnodePage.ChildText("blankimagecontent");
  std::pair<std::string, uint64_t>& pool = m_mapPagePool[strKey];
  if (pool.second == 0) {
    pool.first = NewFilePath("pool", ".raw");
    pool.second = CSimImage::Convert(a_simrawpage, pool.first, a_simstream.iFormat, a_lWidth, a_lHeight);
    if (pool.second == 0) {
      m_mapPagePool.erase(strKey);
      return 0;
    }
  }
  if (link(pool.first.c_str(), a_strPath.c_str()) != 0) {
    OsLog(OS_LOG_ERROR, "nexsim>>> cannot link <%s> to the pooled output <%s>", a_strPath.c_str(), pool.first.c_str());
    return 0;
  }
  return pool.second;
}

// A baffle page makes no output; it only has to be a page.
const char* CSimNexil::SetBaffle(const CSimNode& a_simnode, CSimNode&) {
  CSimImage::SimRawPage simrawpage;
  long lResolution = 0;
  return ReadPage(a_simnode, simrawpage, lResolution) ? "success" : "fail";
}

const char* CSimNexil::SetToggle(const CSimNode& a_simnode, CSimNode&) {
  return *a_simnode.ChildText("cameraid") ? "success" : "fail";
}

const char* CSimNexil::GetOutput(const CSimNode&, CSimNode& a_simnodeReply) {
  if (++m_lGetOutputs == m_lNoMemoryAt) return "nomemory";
  const auto itWord = m_mapGetOutputWord.find(m_lGetOutputs);
  if (itWord != m_mapGetOutputWord.end()) return itWord->second.c_str();
  if (m_dqsimoutput.empty()) return "endofoutput";
  SimOutput& simoutput = m_dqsimoutput.front();
  if (!simoutput.strPath.empty()) m_setOutstanding.insert(simoutput.strPath);
  a_simnodeReply.Add(std::move(simoutput.simnodeImage));
  m_dqsimoutput.pop_front();
  return "success";
}

const char* CSimNexil::ImageEnd(const CSimNode& a_simnode, CSimNode&) {
  const std::string strPath = a_simnode.ChildText("imagefilename");
  if (m_setOutstanding.erase(strPath) == 0) {
    OsLog(OS_LOG_ERROR, "nexsim>>> imageend for an output that is not out <%s>", strPath.c_str());
    return "fail";
  }
  unlink(strPath.c_str());
  return "success";
}
