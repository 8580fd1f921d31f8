// Setting the simulated scanner up: machine values (setconfig, at any time
// in a session) and, between setupbegin and setupend, the cameras and the
// image streams (windowadd) that each sheet's images follow, in the order
// setwindoworder gives. A setup that ends with cancel keeps the streams in
// force.
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
  const char* szFront = CSimConfig::IsFlatbed() ? "flatbed" : "front";
  std::vector<SimStream> vsimstream = {{"window_002", szFront, false, SIM_IMAGEFORMAT_BW, "bw", 200}};
  if (m_simconfig.m_blDuplex) vsimstream.push_back({"window_003", "rear", true, SIM_IMAGEFORMAT_BW, "bw", 200});
  m_simstreams.Set(std::move(vsimstream));
}

const char* CSimScanner::SetupBegin(const CSimNode&, CSimNode&) {
  if (!BeginActivity(SIM_ACTIVITY_SETUP)) return "invalidstate";
  m_simstreams.BeginSetup();
  return "success";
}

const char* CSimScanner::SetupEnd(const CSimNode& a_simnode, CSimNode&) {
  if (!EndActivity(SIM_ACTIVITY_SETUP)) return "invalidstate";
  m_simstreams.EndSetup(std::string(a_simnode.ChildText("cancel")) == "true");
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
  SimStream simstream;
  if (!CSimStreams::Parse("simscan", a_simnode, simstream)) return "fail";
  bool blRear = false;
  if (!HasCamera(simstream.strCameraId, &blRear) ||
      !IsListed(m_simconfig.m_psimmodel->szResolutions, a_simnode.ChildText("imageresolutionx", "200_dpi"))) {
    OsLog(OS_LOG_ERROR, "simscan>>> windowadd for a camera or a resolution this unit lacks <%s> <%s>",
          simstream.strCameraId.c_str(), a_simnode.ChildText("imageresolutionx", "200_dpi"));
    return "fail";
  }
  m_simstreams.Add(simstream);
  return "success";
}

// The listed streams come first, in the order given; the others follow.
const char* CSimScanner::SetWindowOrder(const CSimNode& a_simnode, CSimNode&) {
  if (m_esimactivity != SIM_ACTIVITY_SETUP) return "invalidstate";
  return m_simstreams.Order("simscan", a_simnode) ? "success" : "fail";
}
