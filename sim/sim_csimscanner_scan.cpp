// The simulated scanner's scans: a job feeds its sheets one after the other
// (each taking the configured delay), hands out one image per stream and
// side of a sheet and an end of sheet after it, and ends with
// "endofoutput" or, at the configured sheet, with a fault's status word.
// Never more images are out (handed out and not yet ended) than the image
// buffer count of scanbegin; a caller that must wait is told "noimageready"
// and called back through imageavailable once an image is there.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "os_coslog.h"
#include "sim_csimimage.h"
#include "sim_csimscanner.h"

namespace {
constexpr const char* s_aszFaultStatus[SIM_FAULT_COUNT] = {"paperjam", "multifeed", "coveropen", "disconnected",
                                                            "fail"};
constexpr long s_lBuffersMax = 1024;
}  // namespace

const char* CSimScanner::ScanBegin(const CSimNode& a_simnode, CSimNode& a_simnodeReply) {
  if (m_esimactivity != SIM_ACTIVITY_NONE) return "invalidstate";
  if (m_u32State == SIM_STATE_SCANNING) {
    // Asked again while the lamps warm up: the job starts once they are warm.
    if (!m_blWarming) return "invalidstate";
  } else {
    const std::string strCount = a_simnode.ChildText("imagebuffercount");
    char* pcEnd = nullptr;
    const long lBuffers = std::strtol(strCount.c_str(), &pcEnd, 10);
    if (strCount.empty() || *pcEnd || lBuffers < 1 || lBuffers > s_lBuffersMax) {
      OsLog(OS_LOG_ERROR, "simscan>>> scanbegin with a bad imagebuffercount <%s>", strCount.c_str());
      return "fail";
    }
    // Only told that the other unit scans: a job without sheets.
    const bool blNotificationOnly = std::string(a_simnode.ChildText("notificationonly")) == "true";
    if (!blNotificationOnly && !m_simconfig.m_strScanBegin.empty()) return m_simconfig.m_strScanBegin.c_str();
    m_lBuffers = lBuffers;
    m_u32State = SIM_STATE_SCANNING;
    if (blNotificationOnly) {
      StartJob(0);
      return "success";
    }
    if (!m_blLampWarm && m_simconfig.m_lWarmupMs > 0) {
      m_blWarming = true;
      m_i64WarmEndMs = CSimWorker::NowMs() + m_simconfig.m_lWarmupMs;
    }
  }
  if (m_blWarming) {
    const int64_t i64Left = m_i64WarmEndMs - CSimWorker::NowMs();
    if (i64Left > 0) {
      if (m_simconfig.m_blWarmupReport) {
        a_simnodeReply.Add("reportlampstatus").Add("lampwarmuptime", std::to_string((i64Left + 999) / 1000));
      }
      return "lampswarming";
    }
    m_blWarming = false;
  }
  m_blLampWarm = true;
  StartJob(CSimConfig::IsFlatbed() ? 1 : m_simconfig.m_lPages);
  return "success";
}

void CSimScanner::StartJob(long a_lSheets) {
  ++m_u64Job;
  m_lSheets = a_lSheets;
  m_lSheet = 0;
  m_sizetImage = 0;
  m_blSheetEnd = false;
  m_blStopRequested = false;
  m_blShowSheet = false;
  m_blDecisionOwed = false;
  m_blAwaitingInput = false;
  m_szFault = nullptr;
  m_i64StartMs = CSimWorker::NowMs();
  m_lImageCounter = 0;
  m_lOutputs = 0;
  m_lMultifeeds = 0;
  m_lPatchesFront = 0;
  m_lPatchesRear = 0;
  m_blOwed = false;
  m_blOwedJob = false;
}

// Ends the job: every image still out is removed.
void CSimScanner::EndJob() {
  ++m_u64Job;
  for (const std::string& strPath : m_setOutstanding) unlink(strPath.c_str());
  m_setOutstanding.clear();
  DropPagePool();
  m_blWarming = false;
  m_blOwed = false;
  m_u32State = SIM_STATE_SESSION;
}

const char* CSimScanner::ScanEnd(const CSimNode&, CSimNode& a_simnodeReply) {
  EndJob();
  CSimNode& simnodeScanEnd = a_simnodeReply.Add("reportscanend");
  simnodeScanEnd.Add("multifeedcount", std::to_string(m_lMultifeeds));
  simnodeScanEnd.Add("patchcountfront", std::to_string(m_lPatchesFront));
  simnodeScanEnd.Add("patchcountrear", std::to_string(m_lPatchesRear));
  return "success";
}

// The feeder stops after the sheet it is feeding.
const char* CSimScanner::ScanRequestStop(const CSimNode&, CSimNode&) {
  m_blStopRequested = true;
  return "success";
}

// A configured word stands in for what the job would answer, image or not.
const char* CSimScanner::GetOutput(const CSimNode&, CSimNode& a_simnodeReply) {
  const auto it = m_simconfig.m_mapOutputWord.find(++m_lOutputs);
  if (it != m_simconfig.m_mapOutputWord.end()) return it->second.c_str();
  if (m_blWarming) return "lampswarming";
  return NextItem(a_simnodeReply);
}

const char* CSimScanner::NextItem(CSimNode& a_simnodeReply) {
  if (m_szFault) return m_szFault;
  // The user decides first: nothing more comes until the user's input.
  if (m_blAwaitingInput) {
    m_blOwed = true;
    return "noimageready";
  }
  if (m_blDecisionOwed) return DeliverDecision(a_simnodeReply);
  if (m_blSheetEnd) {
    m_blSheetEnd = false;
    ++m_lSheet;
    m_sizetImage = 0;
    m_blDecisionOwed = m_blShowSheet;
    m_blShowSheet = false;
    return "endofsheet";
  }
  if (JobDone()) return "endofoutput";
  const int64_t i64ReadyMs = SheetReadyMs();
  if (i64ReadyMs > CSimWorker::NowMs()) {
    OweImageAvailable(i64ReadyMs);
    return "noimageready";
  }
  const int iFault = FaultAtSheet();
  if (iFault == SIM_FAULT_MULTIFEED && InteractiveMultifeed()) {
    OsLog(OS_LOG_INFO, "simscan>>> interactive multifeed at sheet %ld", m_lSheet + 1);
    ++m_lMultifeeds;
    m_blShowSheet = true;
  } else if (iFault >= 0) {
    OsLog(OS_LOG_INFO, "simscan>>> fault <%s> at sheet %ld", s_aszFaultStatus[iFault], m_lSheet + 1);
    m_szFault = s_aszFaultStatus[iFault];
    if (iFault == SIM_FAULT_MULTIFEED) ++m_lMultifeeds;
    if (iFault == SIM_FAULT_DISCONNECT) Disconnect();
    return m_szFault;
  }
  const auto itUserAction = m_simconfig.m_mapUserAction.find(m_lSheet + 1);
  if (m_sizetImage == 0 && itUserAction != m_simconfig.m_mapUserAction.end()) {
    return DeliverUserAction(itUserAction->second, a_simnodeReply);
  }
  if (static_cast<long>(m_setOutstanding.size()) >= m_lBuffers) {
    // The next image end makes room and calls back.
    m_blOwed = true;
    return "noimageready";
  }
  return DeliverImage(a_simnodeReply);
}

bool CSimScanner::JobDone() const { return m_lSheet >= m_lSheets || (m_blStopRequested && m_sizetImage == 0); }

// The sheet being fed is in when its delay has passed since the job began,
// or since the paper came when the feeder was empty then.
int64_t CSimScanner::SheetReadyMs() const {
  return std::max(m_i64StartMs, m_i64PaperMs) + static_cast<int64_t>(m_lSheet + 1) * m_simconfig.m_lDelayMs;
}

// The fault that stops the job at the sheet about to be fed, or -1.
int CSimScanner::FaultAtSheet() const {
  if (m_sizetImage != 0) return -1;
  for (int i = 0; i < SIM_FAULT_COUNT; ++i) {
    if (m_simconfig.m_alFault[i] == m_lSheet + 1) return i;
  }
  return -1;
}

const char* CSimScanner::DeliverImage(CSimNode& a_simnodeReply) {
  // The sheet's images: the front streams, then the rear ones.
  std::vector<const SimStream*> vpsimstream;
  for (int iRear = 0; iRear < 2; ++iRear) {
    for (const SimStream& simstream : m_simstreams.InForce()) {
      if (simstream.blRear == (iRear == 1)) vpsimstream.push_back(&simstream);
    }
  }
  const SimStream& simstream = *vpsimstream[m_sizetImage];
  const long lSheet = m_lSheet + 1;
  const bool blBlank = m_simconfig.m_setBlank.count(lSheet) > 0;
  const std::string strPath = NewFilePath("image", ".raw");
  const uint64_t u64Size = WritePage(strPath, m_sizetImage, simstream, lSheet, blBlank);
  if (u64Size == 0) return "fail";
  m_setOutstanding.insert(strPath);
  const bool blMultifeed = m_simconfig.m_setMultifeedFlag.count(lSheet) > 0;
  if (m_sizetImage == 0) {
    ++m_lPageCount;
    if (blMultifeed) ++m_lMultifeeds;  // the device counts the sheet once and feeds on
  }
  ++m_lImageCounter;

  auto itPatch = m_simconfig.m_mapPatch.find(lSheet);
  const bool blPatch = itPatch != m_simconfig.m_mapPatch.end();
  if (blPatch) ++(simstream.blRear ? m_lPatchesRear : m_lPatchesFront);
  CSimNode& simnodeImage = a_simnodeReply.Add("reportimage");
  simnodeImage.Add("imageid", std::to_string(m_lImageCounter));
  simnodeImage.Add("sheetnumber", std::to_string(lSheet));
  simnodeImage.Add("cameratype", simstream.blRear ? "rear" : "front");
  simnodeImage.Add("cameraid", simstream.strCameraId);
  simnodeImage.Add("windowid", simstream.strWindowId);
  const bool blBaffle = m_simconfig.m_setBaffle.count(lSheet) > 0;
  simnodeImage.Add("imagetype", blBaffle ? "bafflebackground" : blPatch ? itPatch->second : "document");
  simnodeImage.Add("compressionmode", "none");
  simnodeImage.Add("imagefilename", strPath);
  simnodeImage.Add("imageformat", simstream.strFormat);
  simnodeImage.Add("imagewidth", std::to_string(CSimImage::s_lA4Width));
  simnodeImage.Add("imageheight", std::to_string(CSimImage::s_lA4Height));
  simnodeImage.Add("imagesize", std::to_string(u64Size));
  simnodeImage.Add("imageresolutionx", std::to_string(simstream.lResolution) + "_dpi");
  simnodeImage.Add("imageresolutiony", std::to_string(simstream.lResolution) + "_dpi");
  simnodeImage.Add("multifeed", blMultifeed ? "true" : "false");
  simnodeImage.Add("patchdetected", blPatch ? "true" : "false");
  if (blPatch) simnodeImage.Add("patchtype", itPatch->second);
  simnodeImage.Add("blankimagecontent", blBlank ? "0" : "25");
  auto itAutoColor = m_simconfig.m_mapAutoColor.find(lSheet);
  if (itAutoColor == m_simconfig.m_mapAutoColor.end()) itAutoColor = m_simconfig.m_mapAutoColor.find(0);
  if (itAutoColor != m_simconfig.m_mapAutoColor.end()) {
    simnodeImage.Add("autocoloramount", std::to_string(itAutoColor->second.first));
    simnodeImage.Add("autocolorthreshold", std::to_string(itAutoColor->second.second));
  }
  if (m_simconfig.m_lPadImage > 0) simnodeImage.Add("padding", std::string(m_simconfig.m_lPadImage, 'x'));
  if (m_simconfig.m_psimmodel->szPrinter) {
    const long lIndex = std::strtol(ConfigValue("printerindex").c_str(), nullptr, 10);
    simnodeImage.Add("printerindex", std::to_string(lIndex + m_lSheet));
  }

  if (m_blShowSheet) simnodeImage.Add("useraction", "show");
  if (++m_sizetImage == vpsimstream.size()) m_blSheetEnd = true;
  return m_blShowSheet ? "useraction" : "success";
}

uint64_t CSimScanner::WritePage(const std::string& a_strPath, size_t a_sizetStream, const SimStream& a_simstream,
                                long a_lSheet, bool a_blBlank) {
  const long lWidth = CSimImage::PixelsAt(CSimImage::s_lA4Width, a_simstream.lResolution);
  const long lHeight = CSimImage::PixelsAt(CSimImage::s_lA4Height, a_simstream.lResolution);
  const std::string strLabel = std::to_string(a_lSheet) + (a_simstream.blRear ? "R" : "F");
  if (!m_simconfig.m_blPagePool) {
    return CSimImage::Write(a_strPath, a_simstream.iFormat, lWidth, lHeight, strLabel, a_blBlank);
  }
  // The pooled page keeps the label of the first sheet that needed it.
  std::pair<std::string, uint64_t>& pool = m_mapPagePool[{a_sizetStream, a_blBlank}];
  if (pool.second == 0) {
    pool.first = NewFilePath("pool", ".raw");
    pool.second = CSimImage::Write(pool.first, a_simstream.iFormat, lWidth, lHeight, strLabel, a_blBlank);
    if (pool.second == 0) {
      m_mapPagePool.erase({a_sizetStream, a_blBlank});
      return 0;
    }
  }
  if (link(pool.first.c_str(), a_strPath.c_str()) != 0) {
    OsLog(OS_LOG_ERROR, "simscan>>> cannot link <%s> to the pooled page <%s>", a_strPath.c_str(), pool.first.c_str());
    return 0;
  }
  return pool.second;
}

void CSimScanner::DropPagePool() {
  for (const auto& item : m_mapPagePool) unlink(item.second.first.c_str());
  m_mapPagePool.clear();
}

// The sheet asks the user to act: one record without a file stands for its
// images, and its sheet ends.
const char* CSimScanner::DeliverUserAction(const std::string& a_strUserAction, CSimNode& a_simnodeReply) {
  ++m_lPageCount;
  CSimNode& simnodeImage = a_simnodeReply.Add("reportimage");
  simnodeImage.Add("sheetnumber", std::to_string(m_lSheet + 1));
  simnodeImage.Add("cameratype", "front");
  simnodeImage.Add("useraction", a_strUserAction);
  m_blSheetEnd = true;
  return "useraction";
}

// The multifeed sheet is fed (its images shown) and held for the user
// whatever response was set: the driver's database offers the interactive
// response to no model, so the knob alone decides.
bool CSimScanner::InteractiveMultifeed() const {
  return m_simconfig.m_blInteractiveMultifeed && !CSimConfig::IsFlatbed();
}

// After the shown sheet's end: the record that asks the user what to do,
// offering to go on.
const char* CSimScanner::DeliverDecision(CSimNode& a_simnodeReply) {
  m_blDecisionOwed = false;
  m_blAwaitingInput = true;
  CSimNode& simnodeImage = a_simnodeReply.Add("reportimage");
  simnodeImage.Add("sheetnumber", std::to_string(m_lSheet));
  simnodeImage.Add("useraction", "continue");
  return "useraction";
}

// What the user chose: while a multifeed waits for it, "endofjob" ends the
// job after the held sheet and anything else goes on; otherwise the job
// goes on whatever it was.
const char* CSimScanner::UserInput(const CSimNode& a_simnode, CSimNode&) {
  if (!m_blAwaitingInput) return "success";
  m_blAwaitingInput = false;
  if (std::string(a_simnode.ChildText("useraction")) == "endofjob") m_lSheets = m_lSheet;
  OweImageAvailable(CSimWorker::NowMs());
  return "success";
}

const char* CSimScanner::ImageEnd(const CSimNode& a_simnode, CSimNode&) {
  const std::string strPath = a_simnode.ChildText("imagefilename");
  if (m_setOutstanding.erase(strPath) == 0) {
    OsLog(OS_LOG_ERROR, "simscan>>> imageend for an image that is not out <%s>", strPath.c_str());
    return "fail";
  }
  unlink(strPath.c_str());
  if (m_blOwed) OweImageAvailable(CSimWorker::NowMs());
  return "success";
}

// Notes that the caller waits for an image and posts the job that calls it
// back once the image is there (one job at a time).
void CSimScanner::OweImageAvailable(int64_t a_i64DueMs) {
  m_blOwed = true;
  if (m_blOwedJob) return;
  m_blOwedJob = true;
  const uint64_t u64Job = m_u64Job;
  m_simworker.Post(a_i64DueMs, [this, u64Job] { ImageAvailable(u64Job); });
}

void CSimScanner::ImageAvailable(uint64_t a_u64Job) {
  uint64_t u64Session;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (a_u64Job != m_u64Job) return;
    m_blOwedJob = false;
    if (!m_blOwed || m_u32State != SIM_STATE_SCANNING || m_blAwaitingInput) return;
    // What getoutput would answer now: still nothing means wait on.
    if (!m_szFault && !m_blSheetEnd && !JobDone()) {
      const int64_t i64ReadyMs = SheetReadyMs();
      if (i64ReadyMs > CSimWorker::NowMs()) {
        OweImageAvailable(i64ReadyMs);
        return;
      }
      // Without room the next image end posts again (a fault or a user
      // action needs none).
      const bool blUserAction = m_sizetImage == 0 && m_simconfig.m_mapUserAction.count(m_lSheet + 1) > 0;
      if (FaultAtSheet() < 0 && !blUserAction && static_cast<long>(m_setOutstanding.size()) >= m_lBuffers) return;
    }
    m_blOwed = false;
    u64Session = m_u64Session;
  }
  Notify("imageavailable", std::string(), u64Session);
}

// The unit drops off line: every task but the closing ones is answered
// "disconnected" from now on (until it comes back, with onlineafter), and
// the caller hears of it.
void CSimScanner::Disconnect() {
  m_blOffline = true;
  const uint64_t u64Session = m_u64Session;
  m_simworker.Post(CSimWorker::NowMs(), [this, u64Session] {
    Notify("connectionchange", "\t\t<deviceonline>false</deviceonline>\n", u64Session);
  });
  PostOnline(u64Session);
}
