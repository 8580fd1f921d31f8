// The caller's side of a scan: GetOutput hands out the next queued record,
// ImageEnd confirms a delivered image and has the scan thread end it at the
// image library or the device manager. Both run on the caller's thread and
// reach the scan thread only through the queues and its event.
#include <strings.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "dev_cdevdevice.h"
#include "dev_cdevimpl.h"
#include "dev_cimgqueue.h"
#include "dev_waits.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_cosxml.h"

namespace {

constexpr long s_lPaperOnDemandPollMs = 100;
// A file name; image files are paths.
constexpr size_t s_sizetName = 4096;

// The image's file name: its "<imagefilename>", else the whole text.
void ImageFilename(const char* a_szText, char* a_szName) {
  if (COsXml::GetContent(a_szText, "<imagefilename>", "</imagefilename>", a_szName, s_sizetName) == OS_STS_SUCCESS)
    return;
  COsString::SStrCpy(a_szName, s_sizetName, a_szText);
}

}  // namespace

EDEVSTS CDevImpl::GetOutput(char* a_szBuffer, int a_iSize, int* a_piImageCount, int* a_piPageCount,
                            int* a_piPageImageCount, uint64_t a_u64Scan) {
  CImgQueue* pimgqueue = pod.m_pimgqueueApplication;
  if (!pimgqueue) {
    OsLog(OS_LOG_ERROR, "pod.m_pimgqueueApplication is null...");
    return DEV_STS_FAIL;
  }
  // Checked before a record is taken, so that no image is lost to it.
  if (!a_szBuffer || a_iSize <= 0) {
    OsLog(OS_LOG_ERROR, "GetOutput: no buffer for the record...%d", a_iSize);
    return DEV_STS_BADARG;
  }
  DevScanState& s = m_scanstate;
  long lWaitedMs = 0;
  for (;;) {
    OsLogDebug(OS_LOG_INFO, "imgqueue: GetOutput...");
    int iImageCount = 0;
    int iPageCount = 0;
    int iPageImageCount = 0;
    int iPageSideCount = 0;
    const bool blDump = g_poslog && g_poslog->GetDebugLevel();
    EDEVSTS edevsts;
    {
      // A caller of an ended scan would take, and end, the next scan's images.
      std::lock_guard<std::mutex> lock(m_mutexScanSerial);
      if (a_u64Scan != 0 && a_u64Scan != m_u64ScanSerial) {
        OsLog(OS_LOG_INFO, "GetOutput: scan %llu is over...", static_cast<unsigned long long>(a_u64Scan));
        return DEV_STS_CANCEL;
      }
      edevsts = pimgqueue->Pop(s.szOutput, sizeof s.szOutput, &iImageCount, &iPageCount, &iPageImageCount,
                               &iPageSideCount, nullptr, 0, blDump);
    }
    // 15 is also a record too large for the buffer: Pop dropped it (logged),
    // and the caller hears of it; the records behind it follow.
    if (a_piImageCount) *a_piImageCount = iImageCount;
    if (a_piPageCount) *a_piPageCount = iPageCount;
    if (a_piPageImageCount) *a_piPageImageCount = iPageImageCount;
    if (edevsts == DEV_STS_USERINPUT) {
      OsLog(OS_LOG_INFO, "Getoutput: DEV_STS_USERINPUT");
      COsString::SStrCpy(a_szBuffer, static_cast<size_t>(a_iSize), s.szOutput);
      return edevsts;
    }
    if (COsXml::GetContent(s.szOutput, "<reportimage>", "</reportimage>", s.szOutputWork, sizeof s.szOutputWork) !=
        OS_STS_SUCCESS) {
      COsString::SStrCpy(s.szOutputWork, sizeof s.szOutputWork, s.szOutput);
    }
    switch (edevsts) {
      case DEV_STS_SUCCESS:
        return HandOut(a_szBuffer, a_iSize, iImageCount, iPageSideCount, iPageCount);
      case DEV_STS_DISCONNECTED:
        // The images before it are still handed out; then 9 for good.
        OsLogDebug(OS_LOG_INFO, "Getoutput: DEV_STS_DISCONNECTED");
        s.blEndedDisconnected.store(true);
        continue;
      case DEV_STS_ENDOFOUTPUT:
        OsLogDebug(OS_LOG_INFO, "Getoutput: DEV_STS_ENDOFOUTPUT");
        continue;
      case DEV_STS_BLANKIMAGE:
        OsLogDebug(OS_LOG_INFO, "Getoutput: DEV_STS_BLANKIMAGE");
        continue;
      case DEV_STS_NOIMAGEAVAILABLE:
        if (s.edevstsStop.load() == DEV_STS_DISCONNECTED || s.blEndedDisconnected.load()) {
          OsLog(OS_LOG_INFO, "GetOutput: DEV_STS_NOIMAGEAVAILABLE --> DEV_STS_DISCONNECTED");
          return DEV_STS_DISCONNECTED;
        }
        // Without a thread nothing more comes: polling on would never end.
        if (!s.blPaperOnDemand.load() || !ScanIsScanning()) return edevsts;
        if (s.blWaitForCaller.exchange(false)) ScanThreadSetEvent();
        // A scanner that stalls must not hold the caller: "no image yet"
        // after the wait, and the caller asks again.
        if (lWaitedMs >= DevWaitLimit(DEV_WAIT_PAPERONDEMAND)) {
          OsLog(OS_LOG_INFO, "GetOutput: no image within %ld ms on paperondemand mode...", lWaitedMs);
          return edevsts;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(s_lPaperOnDemandPollMs));
        lWaitedMs += s_lPaperOnDemandPollMs;
        continue;
      case DEV_STS_ENDOFSHEET:
        OsLog(OS_LOG_INFO, "Getoutput: DEV_STS_ENDOFSHEET");
        if (s.lUseEndOfSheet.load() != 0) return edevsts;
        continue;
      default:
        OsLogDebug(OS_LOG_INFO, "Getoutput: %d", static_cast<int>(edevsts));
        return edevsts;
    }
  }
}

// An image for the caller. One whose text does not fit the caller's buffer
// is lost to the caller: it is ended as the caller would have ended it, or
// the device would keep it (and count it against its buffers) to the end.
EDEVSTS CDevImpl::HandOut(char* a_szBuffer, int a_iSize, int a_iImageCount, int a_iPageSideCount, int a_iPageCount) {
  DevScanState& s = m_scanstate;
  const char* szText = s.szOutputWork;
  if (std::strlen(szText) >= static_cast<size_t>(a_iSize)) {
    OsLog(OS_LOG_ERROR, "GetOutput: the image does not fit %d bytes, ending it...", a_iSize);
    a_szBuffer[0] = '\0';
    ImageEnd(szText, false);
    return DEV_STS_FAIL;
  }
  long lRemaining = s.lImagesRemaining.load();
  while (lRemaining > 0 && !s.lImagesRemaining.compare_exchange_weak(lRemaining, lRemaining - 1)) {
  }
  StatisticsUpdate(szText, a_iImageCount, a_iPageSideCount, a_iPageCount);
  if (s.blDump.load()) SaveImage(szText);
  COsString::SStrCpy(a_szBuffer, static_cast<size_t>(a_iSize), szText);
  return DEV_STS_SUCCESS;
}

EOSSTS CDevImpl::ImageEnd(const char* a_szText, bool a_blFromDevice) {
  if (!a_szText) {
    OsLog(OS_LOG_ERROR, "a_szText is null...");
    return OS_STS_SUCCESS;
  }
  char szName[s_sizetName];
  ImageFilename(a_szText, szName);
  if (a_blFromDevice) {
    OsLog(OS_LOG_INFO, "imgqueue: ImageEnd(%s) - isdevice (was already pop'd)", szName);
    if (pod.m_pdevdevice) pod.m_pdevdevice->ImageEnd(m_scanstate.edbidfirmwareUnit.load(), szName);
    return OS_STS_SUCCESS;
  }
  OsLog(OS_LOG_INFO, "imgqueue: ImageEnd(%s)", szName);
  CImgQueue* pimgqueue = pod.m_pimgqueueExpectedImageEnd;
  if (!pimgqueue || !pod.m_pimgqueueImageEnd) return OS_STS_SUCCESS;
  DevScanState& s = m_scanstate;
  // A caller may confirm its images out of order: the delivered image it
  // names is the one ended. A name no delivered image has ends the oldest.
  const auto fnNamed = [&szName](const char* a_szText) {
    char szQueued[s_sizetName];
    ImageFilename(a_szText, szQueued);
    return strcasecmp(szName, szQueued) == 0;
  };
  bool blMoved = false;
  if (pimgqueue->MoveToHead(fnNamed, &blMoved) && blMoved)
    OsLog(OS_LOG_INFO, "imgqueue: ImageEnd out of order, ending the image named...%s", szName);
  const EDEVSTS edevsts = pimgqueue->Pop(s.szImageEndProcessed, sizeof s.szImageEndProcessed, nullptr, nullptr,
                                         nullptr, nullptr, s.szImageEndDevice, sizeof s.szImageEndDevice, false);
  if (edevsts == DEV_STS_NOIMAGEAVAILABLE) return OS_STS_SUCCESS;
  if (edevsts != DEV_STS_SUCCESS && edevsts != DEV_STS_ENDOFOUTPUT) {
    OsLog(OS_LOG_ERROR, "imgqueue: Status: %d", static_cast<int>(edevsts));
    OsLog(OS_LOG_ERROR, "imgqueue: ImageEnd: %s", szName);
    OsLog(OS_LOG_ERROR, "imgqueue: Queue had a value other than success for the expected image...");
  }
  char szProcessed[s_sizetName];
  char szDevice[s_sizetName];
  ImageFilename(s.szImageEndProcessed, szProcessed);
  ImageFilename(s.szImageEndDevice, szDevice);
  if (strcasecmp(szName, szProcessed) != 0) {
    OsLog(OS_LOG_ERROR, "imgqueue: Got: %s", szName);
    OsLog(OS_LOG_ERROR, "imgqueue: Expected: %s", szProcessed);
    OsLog(OS_LOG_ERROR, "imgqueue: User called imageend for the wrong image...");
  }
  if (pod.m_pdevnexil && std::strcmp(szDevice, szProcessed) != 0) {
    // The library's image; the device's was ended when the library was done.
    pod.m_pimgqueueImageEnd->Push(DEV_STS_SUCCESS, szProcessed, szProcessed, 0, 0, 0, 0, 0, false);
    ScanThreadSetEvent();
  } else if (edevsts == DEV_STS_ENDOFOUTPUT) {
    pod.m_pimgqueueImageEnd->Push(DEV_STS_ENDOFOUTPUT, szDevice, szDevice, 0, 0, 0, 0, 0, false);
    ScanThreadSetEvent();
  }
  return OS_STS_SUCCESS;
}
