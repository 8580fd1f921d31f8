// The image streams of the stand-ins.
#include "sim_csimstreams.h"

#include <cstdlib>

#include "os_coslog.h"
#include "sim_csimimage.h"
#include "sim_csimnode.h"

bool CSimStreams::Parse(const char* a_szWho, const CSimNode& a_simnode, SimStream& a_simstream) {
  a_simstream.strWindowId = a_simnode.ChildText("windowid");
  a_simstream.strCameraId = a_simnode.ChildText("cameraid");
  a_simstream.blRear = a_simstream.strCameraId == "rear";
  const std::string strType = a_simnode.ChildText("windowtype");
  const bool blColor = strType == "color";
  a_simstream.strFormat = a_simnode.ChildText("imageformat", blColor ? "rgb_24" : "bw");
  a_simstream.iFormat = CSimImage::FormatFromName(a_simstream.strFormat);
  const std::string strResolution = a_simnode.ChildText("imageresolutionx", "200_dpi");
  char* pcEnd = nullptr;
  a_simstream.lResolution = std::strtol(strResolution.c_str(), &pcEnd, 10);
  const bool blFormatFits = blColor ? a_simstream.iFormat == SIM_IMAGEFORMAT_GRAY8 ||
                                          a_simstream.iFormat == SIM_IMAGEFORMAT_RGB24
                                    : a_simstream.iFormat == SIM_IMAGEFORMAT_BW;
  if (a_simstream.strWindowId.empty() || a_simstream.strCameraId.empty() || (strType != "bitonal" && !blColor) ||
      !blFormatFits || a_simstream.lResolution < 1 || std::string(pcEnd) != "_dpi") {
    OsLog(OS_LOG_ERROR, "%s>>> windowadd refused <%s> <%s> <%s> <%s> <%s>", a_szWho, a_simstream.strWindowId.c_str(),
          a_simstream.strCameraId.c_str(), strType.c_str(), a_simstream.strFormat.c_str(), strResolution.c_str());
    return false;
  }
  return true;
}

void CSimStreams::Add(const SimStream& a_simstream) {
  for (SimStream& simstreamOld : m_vsimstreamSetup) {
    if (simstreamOld.strWindowId == a_simstream.strWindowId) {
      simstreamOld = a_simstream;
      return;
    }
  }
  m_vsimstreamSetup.push_back(a_simstream);
}

bool CSimStreams::Order(const char* a_szWho, const CSimNode& a_simnode) {
  std::vector<SimStream> vsimstreamRest = m_vsimstreamSetup.empty() ? m_vsimstream : m_vsimstreamSetup;
  std::vector<SimStream> vsimstreamOrdered;
  for (const CSimNode& simnode : a_simnode.Children()) {
    if (simnode.Name() != "windowid") continue;
    auto it = vsimstreamRest.begin();
    while (it != vsimstreamRest.end() && it->strWindowId != simnode.Text()) ++it;
    if (it == vsimstreamRest.end()) {
      OsLog(OS_LOG_ERROR, "%s>>> setwindoworder names an unknown window <%s>", a_szWho, simnode.Text().c_str());
      return false;
    }
    vsimstreamOrdered.push_back(*it);
    vsimstreamRest.erase(it);
  }
  vsimstreamOrdered.insert(vsimstreamOrdered.end(), vsimstreamRest.begin(), vsimstreamRest.end());
  m_vsimstreamSetup = vsimstreamOrdered;
  return true;
}

void CSimStreams::EndSetup(bool a_blCancel) {
  if (!a_blCancel && !m_vsimstreamSetup.empty()) m_vsimstream = m_vsimstreamSetup;
  m_vsimstreamSetup.clear();
}
