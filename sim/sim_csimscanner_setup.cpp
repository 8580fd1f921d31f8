// Setting the simulated scanner up: machine values (setconfig, at any time
// in a session) and, between setupbegin and setupend, the cameras and the
// image streams (windowadd) that each sheet's images follow, in the order
// setwindoworder gives. A setup that ends with cancel keeps the streams in
// force.
#include <cstdlib>

#include "os_coslog.h"
#include "sim_csimimage.h"
#include "sim_csimscanner.h"

bool CSimScanner::HasCamera(const std::string& a_strCameraId, bool* a_pblRear) const {
  *a_pblRear = a_strCameraId == "rear";
  if (CSimConfig::IsFlatbed()) return a_strCameraId == "flatbed" || a_strCameraId == "front";
  return a_strCameraId == "front" || (a_strCameraId == "rear" && m_simconfig.m_blDuplex);
}

// Without a setup each side scans bitonal at 200 dpi.
void CSimScanner::DefaultWindows() {
  m_vsimwindow.clear();
  const char* szFront = CSimConfig::IsFlatbed() ? "flatbed" : "front";
  m_vsimwindow.push_back({"window_002", szFront, false, SIM_IMAGEFORMAT_BW, "bw", 200});
  if (m_simconfig.m_blDuplex) m_vsimwindow.push_back({"window_003", "rear", true, SIM_IMAGEFORMAT_BW, "bw", 200});
}

const char* CSimScanner::SetupBegin(const CSimNode&, CSimNode&) {
  if (!BeginActivity(SIM_ACTIVITY_SETUP)) return "invalidstate";
  m_vsimwindowSetup.clear();
  return "success";
}

const char* CSimScanner::SetupEnd(const CSimNode& a_simnode, CSimNode&) {
  if (!EndActivity(SIM_ACTIVITY_SETUP)) return "invalidstate";
  if (std::string(a_simnode.ChildText("cancel")) != "true" && !m_vsimwindowSetup.empty()) {
    m_vsimwindow = m_vsimwindowSetup;
  }
  m_vsimwindowSetup.clear();
  return "success";
}

const char* CSimScanner::SetConfig(const CSimNode& a_simnode, CSimNode&) {
  for (const CSimNode& simnode : a_simnode.Children()) m_mapConfig[simnode.Name()] = simnode.Text();
  return "success";
}

const char* CSimScanner::CreateCamera(const CSimNode& a_simnode, CSimNode&) {
  if (m_esimactivity != SIM_ACTIVITY_SETUP) return "invalidstate";
  bool blRear = false;
  if (!HasCamera(a_simnode.ChildText("cameraid"), &blRear)) {
    OsLog(OS_LOG_ERROR, "simscan>>> createcamera for a camera this unit lacks <%s>", a_simnode.ChildText("cameraid"));
    return "fail";
  }
  return "success";
}

const char* CSimScanner::WindowAdd(const CSimNode& a_simnode, CSimNode&) {
  if (m_esimactivity != SIM_ACTIVITY_SETUP) return "invalidstate";
  SimWindow simwindow;
  simwindow.strWindowId = a_simnode.ChildText("windowid");
  simwindow.strCameraId = a_simnode.ChildText("cameraid");
  const std::string strType = a_simnode.ChildText("windowtype");
  const bool blColor = strType == "color";
  simwindow.strFormat = a_simnode.ChildText("imageformat", blColor ? "rgb_24" : "bw");
  simwindow.iFormat = CSimImage::FormatFromName(simwindow.strFormat);
  const std::string strResolution = a_simnode.ChildText("imageresolutionx", "200_dpi");
  simwindow.lResolution = std::strtol(strResolution.c_str(), nullptr, 10);
  const bool blFormatFits = blColor ? simwindow.iFormat == SIM_IMAGEFORMAT_GRAY8 ||
                                          simwindow.iFormat == SIM_IMAGEFORMAT_RGB24
                                    : simwindow.iFormat == SIM_IMAGEFORMAT_BW;
  if (simwindow.strWindowId.empty() || !HasCamera(simwindow.strCameraId, &simwindow.blRear) ||
      (strType != "bitonal" && !blColor) || !blFormatFits ||
      !IsListed(m_simconfig.m_psimmodel->szResolutions, strResolution)) {
    OsLog(OS_LOG_ERROR, "simscan>>> windowadd refused <%s> <%s> <%s> <%s> <%s>", simwindow.strWindowId.c_str(),
          simwindow.strCameraId.c_str(), strType.c_str(), simwindow.strFormat.c_str(), strResolution.c_str());
    return "fail";
  }
  for (SimWindow& simwindowOld : m_vsimwindowSetup) {
    if (simwindowOld.strWindowId == simwindow.strWindowId) {
      simwindowOld = simwindow;
      return "success";
    }
  }
  m_vsimwindowSetup.push_back(simwindow);
  return "success";
}

// The listed streams come first, in the order given; the others follow.
const char* CSimScanner::SetWindowOrder(const CSimNode& a_simnode, CSimNode&) {
  if (m_esimactivity != SIM_ACTIVITY_SETUP) return "invalidstate";
  std::vector<SimWindow> vsimwindowRest = m_vsimwindowSetup.empty() ? m_vsimwindow : m_vsimwindowSetup;
  std::vector<SimWindow> vsimwindowOrdered;
  for (const CSimNode& simnode : a_simnode.Children()) {
    if (simnode.Name() != "windowid") continue;
    auto it = vsimwindowRest.begin();
    while (it != vsimwindowRest.end() && it->strWindowId != simnode.Text()) ++it;
    if (it == vsimwindowRest.end()) {
      OsLog(OS_LOG_ERROR, "simscan>>> setwindoworder names an unknown window <%s>", simnode.Text().c_str());
      return "fail";
    }
    vsimwindowOrdered.push_back(*it);
    vsimwindowRest.erase(it);
  }
  vsimwindowOrdered.insert(vsimwindowOrdered.end(), vsimwindowRest.begin(), vsimwindowRest.end());
  m_vsimwindowSetup = vsimwindowOrdered;
  return "success";
}
