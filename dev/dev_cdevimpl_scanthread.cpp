// "ScanThread": asks the scanning unit's device manager for images one by
// one and queues them for the caller, until the job ends, fails or is
// stopped; every way out pushes a final status for the caller and runs the
// end of the thread (events, accumulators, scan history).
//
// The thread waits on its own COsThread event, which latches: a signal that
// comes between a "noimageready" answer and the wait (the device manager's
// imageavailable callback, ImageEnd, UserInput, a stop) is kept, and the
// wait returns at once. It takes the database lock only for the feeder
// check and at its end; what it reads of the settings, ScanBegin read for
// it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "dev_cdevdata.h"
#include "dev_cdevdevice.h"
#include "dev_cdevimpl.h"
#include "dev_cdevnexil.h"
#include "dev_cimgqueue.h"
#include "dev_waits.h"
#include "os_coslog.h"
#include "os_costhread.h"
#include "os_costime.h"
#include "os_cosxml.h"
#include "os_cosxmltask.h"

namespace {

constexpr uint32_t s_u32Run = OS_THREADCMD_NONE;
constexpr uint32_t s_u32Halt2 = OS_THREADCMD_HALT;
constexpr uint32_t s_u32Halt5 = 5;
// The wait while the application queue is full.
constexpr long s_lFullWaitMs = 100;
// A warm-up wait this long shows the warm-up message.
constexpr long s_lWarmupMessageMs = 3000;

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool IsHalt(uint32_t a_u32Command) { return a_u32Command == s_u32Halt2 || a_u32Command == s_u32Halt5; }

bool Has(const char* a_szText, const char* a_szWhat) { return std::strstr(a_szText, a_szWhat) != nullptr; }

// An element's text, empty when missing.
void Element(const char* a_szText, const char* a_szStart, const char* a_szEnd, char* a_szValue, size_t a_sizetValue) {
  a_szValue[0] = '\0';
  if (COsXml::GetContent(a_szText, a_szStart, a_szEnd, a_szValue, a_sizetValue) != OS_STS_SUCCESS)
    a_szValue[0] = '\0';
}

// The last-error texts of the final statuses that have one.
struct DevScanError {
  EDEVSTS edevsts;
  const char* szText;
};
constexpr DevScanError s_adevscanerror[] = {
    {DEV_STS_FAIL, "Unknown Error"},
    {DEV_STS_ENDOFJOB, "No data - end-of-job condition (enable required)"},
    {DEV_STS_PAPERJAM, "Paper Jam"},
    {DEV_STS_DOUBLEDOCUMENT, "Multi-Page Paper Feed Detected"},
};

}  // namespace

// The engine's threads are started with their COsThread as the argument and
// this object as the thread's own argument.
CDevImpl* CDevImpl::ThreadOwner(void* a_pvThread, COsThread*& a_posthread) {
  a_posthread = static_cast<COsThread*>(a_pvThread);
  if (!a_posthread) {
    OsLog(OS_LOG_ERROR, "Thread arg is NULL...");
    return nullptr;
  }
  auto* pdevimpl = static_cast<CDevImpl*>(a_posthread->GetArg());
  if (!pdevimpl) OsLog(OS_LOG_ERROR, "a_pvArg is NULL...");
  return pdevimpl;
}

void* CDevImpl::ScanThreadProc(void* a_pvThread) {
  COsThread* posthread = nullptr;
  CDevImpl* pdevimpl = ThreadOwner(a_pvThread, posthread);
  if (!pdevimpl) return nullptr;
  DevScanJob devscanjob;
  devscanjob.posthread = posthread;
  const EDEVSTS edevsts = pdevimpl->ScanThreadRun(devscanjob);
  pdevimpl->ScanThreadEnd(devscanjob, edevsts);
  return nullptr;
}

void CDevImpl::ScanPushApplication(EDEVSTS a_edevsts) {
  if (pod.m_pimgqueueApplication) pod.m_pimgqueueApplication->Push(a_edevsts, nullptr, nullptr, 0, 0, 0, 0, 0, false);
}

void CDevImpl::ScanCallImageAvailable() {
  EOSSTS (*pfn)(void*) = m_scanstate.pfnImageAvailable.load();
  if (pfn) pfn(m_scanstate.pvImageAvailable.load());
}

void CDevImpl::ScanMessage(EDEVMSG a_edevmsg, long a_lValue) {
  if (pod.m_pdevdevice) pod.m_pdevdevice->MessageProc(DEV_DLG_SCANNING, a_edevmsg, nullptr, a_lValue);
}

// Steps 1 to 10: up to the image loop.
EDEVSTS CDevImpl::ScanThreadRun(DevScanJob& a_devscanjob) {
  DevScanState& s = m_scanstate;
  COsThread& osthread = *a_devscanjob.posthread;
  s.pszStep.store("start");
  s.blImageProduced.store(false);
  s.blProcessing.store(s.blNexilActive.load() && s.lCountOnlyMode != 2);
  a_devscanjob.lImageCountStart = DeviceGetImageCount();
  a_devscanjob.lPageCountStart = DeviceGetPageCount();
  COsTime::GetSystemTime(&a_devscanjob.ostimerecordStart);
  s.blThreadStarted.store(true);

  auto fnHalted = [&] {
    if (osthread.GetCommand() == s_u32Run && !s.blStopRequested.load()) return false;
    OsLogDebug(OS_LOG_INFO, "ScanThread: detected request to shutdown...");
    ScanPushApplication(s.edevstsStop.load());
    return true;
  };
  if (fnHalted()) return DEV_STS_SUCCESS;
  if (!(s.blPreview && s.lPreviewImageAcquire == 1)) {
    CDbLockGuard dblockguard;
    pod.m_lFeederState = ScanGetCurrentFeederLoaded();
  }
  if (s.lScanSource.load() == 2 && pod.m_lFeederState == 1) {
    bool blEnd = false;
    const EDEVSTS edevsts = ScanWaitForPaper(a_devscanjob, &blEnd);
    if (blEnd) return edevsts;
  }
  if (fnHalted()) return DEV_STS_SUCCESS;

  const EDBID_FIRMWARE edbidfirmware = s.edbidfirmwareUnit.load();
  if (s.blNotifyOtherUnit) {
    pod.m_pdevdevice->ScanBegin(edbidfirmware == DB_FIRMWARE_FLATBED ? DB_FIRMWARE_ADF : DB_FIRMWARE_FLATBED,
                                pod.m_lCacheSize, true);
  }
  s.pszStep.store("scanbegin");
  EDEVSTS edevsts = pod.m_pdevdevice->ScanBegin(edbidfirmware, pod.m_lCacheSize, false);
  if (edevsts == DEV_STS_LAMPSWARMINGUP) {
    bool blEnd = false;
    edevsts = ScanWarmUp(a_devscanjob, edevsts, &blEnd);
    if (blEnd) return edevsts;
  } else if (edevsts != DEV_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "ScanThread: ScanBegin failed %d...", static_cast<int>(edevsts));
    ScanPushApplication(edevsts);
    return edevsts;
  }
  if (s.blProcessing.load()) {
    edevsts = ProcessImageInit();
    if (edevsts != DEV_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "ScanThread: ProcessImageInit failed...%d", static_cast<int>(edevsts));
      pod.m_pdevdevice->ScanRequestStop(edbidfirmware);
      ScanPushApplication(edevsts);
      return edevsts;
    }
  }
  if (a_devscanjob.blMessage) {
    ScanMessage(DEV_MSG_CLEARINFOOFF, 0);
    a_devscanjob.blMessage = false;
  }
  ScanMessage(DEV_MSG_SCANNING, 0);
  if (s.blPaperOnDemand.load()) SetDriverEvent(DEV_EVENT_IMAGEAVAILABLE, nullptr);
  return ScanImageLoop(a_devscanjob);
}

// Step 4: the feeder is empty; poll for paper up to the paper wait. Sets
// *a_pblEnd when the thread ends with the status answered.
EDEVSTS CDevImpl::ScanWaitForPaper(DevScanJob& a_devscanjob, bool* a_pblEnd) {
  DevScanState& s = m_scanstate;
  COsThread& osthread = *a_devscanjob.posthread;
  *a_pblEnd = true;
  s.pszStep.store("paper wait");
  const long lLimit = DevWaitLimit(DEV_WAIT_PAPER);
  // The message tells the time-out in seconds.
  ScanMessage(DEV_MSG_WAITPAPER, (lLimit + 999) / 1000);
  a_devscanjob.blMessage = true;
  const int64_t i64Start = NowMs();
  for (;;) {
    const uint32_t u32Command = osthread.GetCommand();
    if (IsHalt(u32Command)) {
      const EDEVSTS edevstsStop = s.edevstsStop.load();
      ScanPushApplication(edevstsStop);
      return edevstsStop == DEV_STS_DISCONNECTED ? DEV_STS_DISCONNECTED : DEV_STS_SUCCESS;
    }
    if (u32Command != s_u32Run) {
      OsLog(OS_LOG_ERROR, "ScanThread: unrecognized eosthreadcmd...%d", static_cast<int>(u32Command));
      ScanPushApplication(DEV_STS_FAIL);
      return DEV_STS_SUCCESS;
    }
    if (s.blStopRequested.load()) {
      ScanPushApplication(DEV_STS_CANCEL);
      return DEV_STS_SUCCESS;
    }
    if (NowMs() - i64Start >= lLimit) {
      ScanMessage(DEV_MSG_CLEARINFOOFF, 0);
      a_devscanjob.blMessage = false;
      ScanPushApplication(DEV_STS_NOMEDIA);
      return DEV_STS_SUCCESS;
    }
    if (pod.m_pdevdevice->GetDeviceStatus() == DEV_DEVICESTATUS_OFFLINE) {
      OsLog(OS_LOG_ERROR, "ScanThread: device off-line...");
      ScanPushApplication(DEV_STS_DISCONNECTED);
      return DEV_STS_DISCONNECTED;
    }
    {
      CDbLockGuard dblockguard;
      pod.m_lFeederState = ScanGetCurrentFeederLoaded();
    }
    if (pod.m_lFeederState != 1) {
      ScanMessage(DEV_MSG_CLEARINFOOFF, 0);
      a_devscanjob.blMessage = false;
      *a_pblEnd = false;
      return DEV_STS_SUCCESS;
    }
    osthread.WaitForEvent(DevWaitLimit(DEV_WAIT_PAPERPOLL));
  }
}

// Step 8: the lamps warm up; scanbegin is sent again after each wait, and a
// wait lasts at least the warm-up minimum, so a device that tells no
// warm-up time is not asked in a tight loop. Sets *a_pblEnd when the thread
// ends with the status answered; else the scan begun (0).
EDEVSTS CDevImpl::ScanWarmUp(DevScanJob& a_devscanjob, EDEVSTS a_edevsts, bool* a_pblEnd) {
  DevScanState& s = m_scanstate;
  COsThread& osthread = *a_devscanjob.posthread;
  const EDBID_FIRMWARE edbidfirmware = s.edbidfirmwareUnit.load();
  CDevDevice& devdevice = *pod.m_pdevdevice;
  *a_pblEnd = true;
  s.pszStep.store("lamp warm-up");
  long lTimeout = devdevice.GetLampWarmupTimeout();
  char szSeconds[32];
  std::snprintf(szSeconds, sizeof szSeconds, "%ld", lTimeout / 1000);
  SetDriverEvent(DEV_EVENT_LAMPSWARMING, szSeconds);
  EDEVSTS edevsts = a_edevsts;
  for (;;) {
    const uint32_t u32Command = osthread.GetCommand();
    if (IsHalt(u32Command)) {
      devdevice.ScanRequestStop(edbidfirmware);
      ScanPushApplication(s.edevstsStop.load());
      return DEV_STS_SUCCESS;
    }
    if (u32Command != s_u32Run) {
      OsLog(OS_LOG_ERROR, "ScanThread: unrecognized eosthreadcmd...%d", static_cast<int>(u32Command));
      devdevice.ScanRequestStop(edbidfirmware);
      ScanPushApplication(DEV_STS_FAIL);
      return DEV_STS_FAIL;
    }
    if (s.blStopRequested.load()) {
      ScanPushApplication(DEV_STS_CANCEL);
      return DEV_STS_SUCCESS;
    }
    if (edevsts == DEV_STS_SUCCESS) {
      *a_pblEnd = false;
      return DEV_STS_SUCCESS;
    }
    if (devdevice.GetDeviceStatus() == DEV_DEVICESTATUS_OFFLINE) {
      OsLog(OS_LOG_ERROR, "ScanThread: device off-line...");
      devdevice.ScanRequestStop(edbidfirmware);
      ScanPushApplication(DEV_STS_DISCONNECTED);
      return DEV_STS_DISCONNECTED;
    }
    if (edevsts != DEV_STS_LAMPSWARMINGUP) {
      OsLog(OS_LOG_ERROR, "ScanThread: ScanBegin fail %d...", static_cast<int>(edevsts));
      devdevice.ScanRequestStop(edbidfirmware);
      ScanPushApplication(edevsts);
      return edevsts;
    }
    const long lWait = std::max(lTimeout, DevWaitLimit(DEV_WAIT_WARMUPMIN));
    if (!a_devscanjob.blMessage && lWait >= s_lWarmupMessageMs) {
      ScanMessage(DEV_MSG_WARMUP, lWait / 1000);
      a_devscanjob.blMessage = true;
    }
    if (osthread.WaitForEvent(lWait) != OS_STS_TIMEOUT) continue;
    if (osthread.GetCommand() == s_u32Run && !s.blStopRequested.load()) {
      edevsts = devdevice.ScanBegin(edbidfirmware, pod.m_lCacheSize, false);
      lTimeout = devdevice.GetLampWarmupTimeout();
      continue;
    }
    OsLogDebug(OS_LOG_INFO, "ScanThread: detected request to shutdown...");
    devdevice.ScanRequestStop(edbidfirmware);
    ScanPushApplication(s.edevstsStop.load());
    return DEV_STS_SUCCESS;
  }
}

// Step 11: until a pass ends the job.
EDEVSTS CDevImpl::ScanImageLoop(DevScanJob& a_devscanjob) {
  a_devscanjob.uMultifeeds = 0;
  a_devscanjob.lPrinterIndex = -1;
  a_devscanjob.lPrinterIndexPrevious = -1;
  a_devscanjob.blStopSent = false;
  a_devscanjob.blBaffleSeen = false;
  a_devscanjob.blUserActionSeen = false;
  a_devscanjob.blFullNoted = false;
  EDEVSTS edevsts = DEV_STS_SUCCESS;
  while (!ScanImagePass(a_devscanjob, &edevsts)) {
  }
  return edevsts;
}

// One pass of the image loop; true when the job ends with *a_pedevsts.
bool CDevImpl::ScanImagePass(DevScanJob& a_devscanjob, EDEVSTS* a_pedevsts) {
  DevScanState& s = m_scanstate;
  COsThread& osthread = *a_devscanjob.posthread;
  CDevDevice& devdevice = *pod.m_pdevdevice;
  const EDBID_FIRMWARE edbidfirmware = s.edbidfirmwareUnit.load();
  auto fnEnd = [&](EDEVSTS a_edevstsPush, EDEVSTS a_edevstsEnd, bool a_blStop, bool a_blCallback) {
    if (a_blStop) devdevice.ScanRequestStop(edbidfirmware);
    ScanPushApplication(a_edevstsPush);
    if (a_blCallback) ScanCallImageAvailable();
    *a_pedevsts = a_edevstsEnd;
    return true;
  };
  if (devdevice.GetDeviceStatus() == DEV_DEVICESTATUS_OFFLINE) {
    OsLog(OS_LOG_ERROR, "ScanThread: device off-line...");
    return fnEnd(DEV_STS_DISCONNECTED, DEV_STS_DISCONNECTED, true, false);
  }
  const uint32_t u32Command = osthread.GetCommand();
  if (IsHalt(u32Command)) {
    OsLogDebug(OS_LOG_INFO, "ScanThread: OS_THREADCMD_HALT request...");
    const EDEVSTS edevstsStop = s.edevstsStop.load();
    return fnEnd(edevstsStop, edevstsStop, true, false);
  }
  if (u32Command != s_u32Run) {
    OsLog(OS_LOG_ERROR, "ScanThread: unrecognized eosthreadcmd...%d", static_cast<int>(u32Command));
    return fnEnd(DEV_STS_FAIL, DEV_STS_FAIL, true, false);
  }
  if (s.blStopRequested.load() && !a_devscanjob.blStopSent) {
    OsLog(OS_LOG_INFO, "ScanThread: ScanRequestStop...");
    const EDEVSTS edevsts = devdevice.ScanRequestStop(edbidfirmware);
    if (edevsts != DEV_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "ScanThread: ScanRequestStop failed %d...", static_cast<int>(edevsts));
      return fnEnd(edevsts, edevsts, false, false);
    }
    a_devscanjob.blStopSent = true;
  }
  bool blFail = false;
  s.pszStep.store("user input");
  ScanSendUserInput(&blFail);
  if (blFail) return fnEnd(DEV_STS_FAIL, DEV_STS_FAIL, false, false);
  if (s.blWaitForCaller.load()) {
    OsLogDebug(OS_LOG_INFO, "ScanThread: Wait for getoutput from caller on paperondemand mode");
    osthread.WaitForEvent(-1);
    return false;
  }
  s.pszStep.store("image ends");
  ScanEndImages();
  if (ScanBackPressure(a_devscanjob)) return false;
  s.pszStep.store("getoutput");

  OsLogDebug(OS_LOG_INFO, "ScanThread: image begin...");
  char* szDevice = s.szThreadDevice;
  const EDEVSTS edevsts = devdevice.GetOutput(edbidfirmware, szDevice, sizeof s.szThreadDevice);
  switch (edevsts) {
    case DEV_STS_SUCCESS:
    case DEV_STS_ECDOCUSTOMLEARNFAIL:
      if (!Has(szDevice, "<reportimage>")) {
        OsLog(OS_LOG_ERROR, "ScanThread: image end (error)...");
        OsLog(OS_LOG_ERROR, "ScanThread: GetOutput return success but not reportimage...");
        return fnEnd(DEV_STS_FAIL, DEV_STS_FAIL, false, true);
      }
      if (edevsts == DEV_STS_SUCCESS) a_devscanjob.blUserActionSeen = false;
      return ScanHandleImage(a_devscanjob, edevsts, a_pedevsts);
    case DEV_STS_ENDOFJOB:
      OsLog(OS_LOG_INFO, "ScanThread: image end (DEV_STS_ENDOFJOB)...");
      if (!s.blImageProduced.load() && !s.blPaperDetectable && !s.blPreview && s.lPaperSource == 1 &&
          s.lScanSource.load() == 2) {
        SetNoPaperAtEnd(true);
      }
      return fnEnd(DEV_STS_ENDOFJOB, DEV_STS_ENDOFJOB, false, true);
    case DEV_STS_NOIMAGEAVAILABLE:
      OsLogDebug(OS_LOG_INFO, "ScanThread: getoutput (noimageavailable)...");
      a_devscanjob.blFullNoted = false;
      osthread.WaitForEvent(-1);
      return false;
    case DEV_STS_ENDOFSHEET:
      OsLog(OS_LOG_INFO, "ScanThread: image end (DEV_STS_ENDOFSHEET)...");
      DeviceSetPageImageCount(1);
      if (!s.blPreview) {
        const bool blAdvance = !a_devscanjob.blBaffleSeen && !a_devscanjob.blUserActionSeen;
        if (blAdvance) {
          DeviceSetPageCount(DeviceGetPageCount() + 1);
          DeviceSetPageSideCount(DeviceGetPageSideCount() + 1);
        }
        if (s.blProcessing.load()) {
          NexilSetPageImageCount(1);
          if (blAdvance) {
            NexilSetPageCount(NexilGetPageCount() + 1);
            NexilSetPageSideCount(NexilGetPageSideCount() + 1);
          }
        }
      }
      if (s.blImageProduced.load()) {
        ScanPushApplication(DEV_STS_ENDOFSHEET);
        ScanCallImageAvailable();
        s.blWaitForCaller.store(s.blPaperOnDemand.load());
      }
      a_devscanjob.blBaffleSeen = false;
      a_devscanjob.blUserActionSeen = false;
      return false;
    case DEV_STS_USERACTION:
      a_devscanjob.blUserActionSeen = true;
      if (!Has(szDevice, "<useraction>show")) OsLogDebug(OS_LOG_INFO, "ScanThread: useraction button...");
      return ScanHandleImage(a_devscanjob, edevsts, a_pedevsts);
    default:
      OsLog(OS_LOG_ERROR, "ScanThread: image end (error)...");
      OsLog(OS_LOG_ERROR, "ScanThread: error...%d", static_cast<int>(edevsts));
      return fnEnd(edevsts, edevsts, true, true);
  }
}

// The next record of a_pimgqueue, in the thread's buffer. Anything but a
// record (none left, or one Pop dropped, logged) ends the pass: the buffer
// would still hold the last record, and what is behind goes on the next pass.
bool CDevImpl::ScanPopRecord(CImgQueue* a_pimgqueue, const char* a_szWhat, EDEVSTS& a_edevsts) {
  char* szText = m_scanstate.szThreadNexil;
  szText[0] = '\0';
  a_edevsts = a_pimgqueue->Pop(szText, DEV_SCAN_BUFFER_SIZE, nullptr, nullptr, nullptr, nullptr, nullptr, 0, false);
  if (a_edevsts == DEV_STS_SUCCESS || a_edevsts == DEV_STS_ENDOFOUTPUT) return true;
  if (a_edevsts != DEV_STS_NOIMAGEAVAILABLE)
    OsLog(OS_LOG_ERROR, "ScanThread: %s record not read...%d", a_szWhat, static_cast<int>(a_edevsts));
  return false;
}

// Step 11.4: the caller's user input, to the feeder's device manager.
void CDevImpl::ScanSendUserInput(bool* a_pblFail) {
  CImgQueue* pimgqueue = pod.m_pimgqueueDeviceManagerScanThread;
  if (!pimgqueue) return;
  char* szText = m_scanstate.szThreadNexil;
  EDEVSTS edevsts;
  while (ScanPopRecord(pimgqueue, "user input", edevsts)) {
    COsXmlTask osxmltask("", DEV_SCAN_BUFFER_SIZE);
    osxmltask.StartTask(0, 0, nullptr);
    osxmltask.AddPassThrough(szText);
    osxmltask.FinalizeTask();
    OsLogDebug(OS_LOG_INFO, "ScanThread: message to device manager <\n%s>...", osxmltask.GetTaskBuffer());
    const char* szReply = pod.m_pdevdevice->ScannerEntry(DB_FIRMWARE_ADF, &osxmltask, 0);
    if (!szReply || !Has(szReply, "<status>success</status>")) {
      OsLog(OS_LOG_ERROR, "ScanThread: m_pimgqueueDeviceManagerScanThread failed %d...", 1);
      *a_pblFail = true;
      return;
    }
  }
}

// Step 11.6: the images the caller has ended.
void CDevImpl::ScanEndImages() {
  CImgQueue* pimgqueue = pod.m_pimgqueueImageEnd;
  if (!pimgqueue) return;
  char* szText = m_scanstate.szThreadNexil;
  const EDBID_FIRMWARE edbidfirmware = m_scanstate.edbidfirmwareUnit.load();
  EDEVSTS edevsts;
  while (ScanPopRecord(pimgqueue, "image end", edevsts)) {
    if (edevsts == DEV_STS_SUCCESS && pod.m_pdevnexil) {
      pod.m_pdevnexil->ImageEnd(edbidfirmware, szText);
    } else {
      ImageEnd(szText, true);
    }
  }
}

// Step 11.7: with the image library, no more images are fetched while the
// caller has a full cache waiting. True when the pass waited.
bool CDevImpl::ScanBackPressure(DevScanJob& a_devscanjob) {
  CImgQueue* pimgqueue = pod.m_pimgqueueApplication;
  if (!m_scanstate.blProcessing.load() || !pimgqueue) return false;
  if (!pimgqueue->IsFull(static_cast<unsigned int>(std::max(1L, pod.m_lCacheSize)))) return false;
  if (!IsImageAvailableSignalled()) {
    // Blank outputs were let go at the library when they were discarded;
    // only their markers are left to drop.
    OsLog(OS_LOG_INFO, "The scan queue is full. Try to unplug the scan queue by sending imageends...");
    while (pimgqueue->PeekAtEdevsts() == DEV_STS_BLANKIMAGE)
      pimgqueue->Pop(nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr, 0, false);
  }
  if (!a_devscanjob.blFullNoted) {
    OsLog(OS_LOG_INFO, "The scan queue is full, so we're doing some waits...%d", static_cast<int>(pod.m_lCacheSize));
    a_devscanjob.blFullNoted = true;
  }
  a_devscanjob.posthread->WaitForEvent(s_lFullWaitMs);
  return true;
}

// Step 11.10: one device image. True when the job ends with *a_pedevstsEnd.
bool CDevImpl::ScanHandleImage(DevScanJob& a_devscanjob, EDEVSTS a_edevsts, EDEVSTS* a_pedevstsEnd) {
  DevScanState& s = m_scanstate;
  const char* szDevice = s.szThreadDevice;
  char szValue[64];
  Element(szDevice, "<printerindex>", "</printerindex>", szValue, sizeof szValue);
  if (szValue[0]) {
    a_devscanjob.lPrinterIndexPrevious = a_devscanjob.lPrinterIndex;
    a_devscanjob.lPrinterIndex = std::strtol(szValue, nullptr, 10);
    SetPrinterIndex(a_devscanjob.lPrinterIndex);
  }
  Element(szDevice, "<multifeed>", "</multifeed>", szValue, sizeof szValue);
  // Both sides of one sheet share the printer index: one multifeed.
  const bool blSameSheet =
      a_devscanjob.uMultifeeds > 0 && a_devscanjob.lPrinterIndex == a_devscanjob.lPrinterIndexPrevious;
  if (!blSameSheet && std::strcmp(szValue, "true") == 0) ++a_devscanjob.uMultifeeds;
  Element(szDevice, "<imagetype>", "</imagetype>", szValue, sizeof szValue);
  const bool blBaffle = std::strcmp(szValue, "bafflebackground") == 0;
  if (blBaffle) a_devscanjob.blBaffleSeen = true;

  if (s.blProcessing.load()) {
    const EDEVSTS edevsts = ProcessImage(a_devscanjob.posthread, a_edevsts, szDevice);
    if (edevsts == DEV_STS_SUCCESS) return false;
    if (edevsts != DEV_STS_CANCEL) OsLog(OS_LOG_ERROR, "ScanThread: ProcessImage failed...%d", static_cast<int>(edevsts));
    pod.m_pdevdevice->ScanRequestStop(s.edbidfirmwareUnit.load());
    ScanPushApplication(edevsts);
    *a_pedevstsEnd = edevsts;
    return true;
  }
  const bool blUserAction = Has(szDevice, "<useraction>");
  char szPatch[64];
  Element(szDevice, "<patchdetected>", "</patchdetected>", szValue, sizeof szValue);
  Element(szDevice, "<patchtype>", "</patchtype>", szPatch, sizeof szPatch);
  if (blBaffle) {
    OsLog(OS_LOG_INFO, "ScanThread: image end (baffle)...");
    ImageEnd(szDevice, true);
  } else if (s.blTogglePatch && std::strcmp(szValue, "true") == 0 && std::strcmp(szPatch, "patchtype4") == 0) {
    OsLog(OS_LOG_INFO, "ScanThread: image end (toggle)...");
    ImageEnd(szDevice, true);
  } else if (!blUserAction && DiscardBlankImage(szDevice)) {
    ImageEnd(szDevice, true);
    s.blBlankDiscarded.store(true);
    OsLog(OS_LOG_INFO, "ScanThread: image end (blank)...");
  } else {
    s.blImageProduced.store(true);
    OsLogDebug(OS_LOG_INFO, "imgqueue: ScanThread (Scan)...");
    const bool blDump = g_poslog && g_poslog->GetDebugLevel();
    if (pod.m_pimgqueueApplication) {
      pod.m_pimgqueueApplication->Push(a_edevsts, szDevice, nullptr, static_cast<int>(DeviceGetImageCount()),
                                       static_cast<int>(DeviceGetPageCount()),
                                       static_cast<int>(DeviceGetPageImageCount()),
                                       static_cast<int>(DeviceGetPageSideCount()), 0, blDump);
    }
    if (!blUserAction && pod.m_pimgqueueExpectedImageEnd) {
      OsLogDebug(OS_LOG_INFO, "imgqueue: ScanThread (ImageEnd)...");
      pod.m_pimgqueueExpectedImageEnd->Push(DEV_STS_ENDOFOUTPUT, szDevice, szDevice, 0, 0, 0, 0, 0, false);
    }
    OsLogDebug(OS_LOG_INFO, "ScanThread: image end (success)...");
    if (!blUserAction && !s.blPreview) {
      DeviceSetImageCount(DeviceGetImageCount() + 1);
      DeviceSetPageImageCount(DeviceGetPageImageCount() + 1);
    }
  }
  return false;
}

// Step 12: whatever the path, the caller hears of the end, and the job is
// counted.
void CDevImpl::ScanThreadEnd(DevScanJob& a_devscanjob, EDEVSTS a_edevsts) {
  DevScanState& s = m_scanstate;
  EDEVSTS edevsts = a_edevsts;
  s.pszStep.store("end");
  OsLog(OS_LOG_INFO, "Exiting thread... edevsts=%d", static_cast<int>(edevsts));
  if (edevsts != DEV_STS_DISCONNECTED && a_devscanjob.blMessage) ScanMessage(DEV_MSG_CLEARINFOOFF, 0);
  if (edevsts != DEV_STS_ENDOFJOB) {
    for (const DevScanError& devscanerror : s_adevscanerror) {
      if (devscanerror.edevsts == edevsts) SetLastErrorText(devscanerror.szText);
    }
  }
  if (edevsts == DEV_STS_DOUBLEDOCUMENT) {
    SetDriverEvent(DEV_EVENT_MULTIFEED, nullptr);
  } else if (edevsts == DEV_STS_PAPERJAM) {
    SetDriverEvent(DEV_EVENT_PAPERJAM, nullptr);
  } else if (edevsts != DEV_STS_ENDOFJOB || !s.blImageProduced.load()) {
    SetDriverEvent(DEV_EVENT_IMAGEAVAILABLE, nullptr);
  }
  if (edevsts == DEV_STS_DISCONNECTED ||
      (pod.m_pdevdevice && pod.m_pdevdevice->GetDeviceStatus() == DEV_DEVICESTATUS_OFFLINE)) {
    SetDriverEvent(DEV_EVENT_DEVICEOFFLINE, nullptr);
    edevsts = DEV_STS_DISCONNECTED;
    s.blEndedDisconnected.store(true);
  }
  if (s.blProcessing.load()) ProcessImageCleanup();
  const long lImages = DeviceGetImageCount() - a_devscanjob.lImageCountStart;
  const long lSheets = DeviceGetPageCount() - a_devscanjob.lPageCountStart;
  if (lImages > 0) SetPrinterIndex(GetPrinterIndex() + 1);
  SetPrinterIndex();

  CDbLockGuard dblockguard;
  CDatabase* pdatabase = pod.m_pdatabase;
  unsigned int uMultifeeds = a_devscanjob.uMultifeeds;
  if (edevsts == DEV_STS_DOUBLEDOCUMENT && pdatabase &&
      pdatabase->GetCurrentLongFromId(DB_ID_MULTIFEEDRESPONSE) != DB_ID_MULTIFEEDRESPONSE_ENUM_ENDOFJOBGENERATEIMAGE) {
    ++uMultifeeds;
  }
  const unsigned int uPaperJam = edevsts == DEV_STS_PAPERJAM ? 1 : 0;
  const bool blOther = edevsts != DEV_STS_SUCCESS && edevsts != DEV_STS_DOUBLEDOCUMENT &&
                       edevsts != DEV_STS_ENDOFJOB && edevsts != DEV_STS_NOIMAGEAVAILABLE &&
                       edevsts != DEV_STS_PAPERJAM;
  const EDBID_FIRMWARE edbidfirmware = s.edbidfirmwareUnit.load();
  if (pod.m_pdevdata && pdatabase) {
    pod.m_pdevdata->IncrementAccumulators(edbidfirmware, true, uMultifeeds, true, uPaperJam, true, blOther ? 1 : 0,
                                          pdatabase);
    pod.m_pdevdata->CreateScanHistory(edbidfirmware, pdatabase, edevsts, &a_devscanjob.ostimerecordStart,
                                      uMultifeeds, static_cast<unsigned int>(std::max(0L, lImages)),
                                      static_cast<unsigned int>(std::max(0L, lSheets)));
  }
}
