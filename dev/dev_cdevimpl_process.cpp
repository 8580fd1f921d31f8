// One device image through the image library on the scan thread: baffle and
// toggle patches handed over, the page set as input, its outputs fetched
// and queued for the caller. The library calls take only the adapter's own
// mutex (it gives up the database lock); what they need of the database
// ScanBegin read before the thread started.
#include <cstdio>
#include <cstring>

#include "dev_cdevimpl.h"
#include "dev_cdevnexil.h"
#include "dev_cimgqueue.h"
#include "os_coslog.h"
#include "os_costhread.h"
#include "os_cosxml.h"

namespace {

// Room for a short element value (a type, a flag) and for a file name.
constexpr size_t s_sizetWord = 64;
constexpr size_t s_sizetImageFilename = 4096;

// Whether the element's content is exactly the value; an element that is
// missing or too long for a word is not.
bool ElementIs(const char* a_szXml, const char* a_szElement, const char* a_szValue) {
  char szStart[s_sizetWord];
  char szEnd[s_sizetWord];
  std::snprintf(szStart, sizeof szStart, "<%s>", a_szElement);
  std::snprintf(szEnd, sizeof szEnd, "</%s>", a_szElement);
  char szContent[s_sizetWord];
  return COsXml::GetContent(a_szXml, szStart, szEnd, szContent, sizeof szContent) == OS_STS_SUCCESS &&
         std::strcmp(szContent, a_szValue) == 0;
}

bool Holds(const char* a_szXml, const char* a_szNeedle) { return std::strstr(a_szXml, a_szNeedle) != nullptr; }

}  // namespace

EDEVSTS CDevImpl::ProcessImageInit() {
  if (!pod.m_pdevnexil) {
    OsLog(OS_LOG_ERROR, "pod.m_pdevnexil is null...");
    return DEV_STS_FAIL;
  }
  const EOSSTS eossts = pod.m_pdevnexil->ScanBegin(m_scanstate.edbidfirmwareUnit.load(), pod.m_lCacheSize);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "NexilScanBegin failed...%d", static_cast<int>(eossts));
    return DEV_STS_FAIL;
  }
  return DEV_STS_SUCCESS;
}

EDEVSTS CDevImpl::ProcessImage(COsThread* a_posthread, EDEVSTS a_edevsts, const char* a_szText) {
  if (!pod.m_pdevnexil || !a_posthread || !a_szText) {
    OsLog(OS_LOG_ERROR, "ProcessImage: null argument...");
    return ProcessImageFailed(DEV_STS_FAIL);
  }
  CDevNexil& devnexil = *pod.m_pdevnexil;
  if (ElementIs(a_szText, "imagetype", "bafflebackground")) {
    const EOSSTS eossts = devnexil.SetBaffle(a_szText);
    if (eossts != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "ScanThread: image end (error)...");
      OsLog(OS_LOG_ERROR, "ScanThread: NexilSetBaffle failed...%d", static_cast<int>(eossts));
      return ProcessImageFailed(static_cast<EDEVSTS>(eossts));
    }
    ImageEnd(a_szText, true);
    return DEV_STS_SUCCESS;
  }
  // The library reads the patch from the image type, not from the patch
  // type that the path without it reads.
  if (m_scanstate.blTogglePatch && ElementIs(a_szText, "patchdetected", "true")) {
    if (ElementIs(a_szText, "imagetype", "patchtype4")) {
      const EOSSTS eossts = devnexil.SetToggle(a_szText);
      if (eossts != OS_STS_SUCCESS) {
        OsLog(OS_LOG_ERROR, "ScanThread: NexilSetToggle failed...%d", static_cast<int>(eossts));
        return ProcessImageFailed(static_cast<EDEVSTS>(eossts));
      }
    }
    ImageEnd(a_szText, true);
    return DEV_STS_SUCCESS;
  }
  const bool blUserAction = Holds(a_szText, "<useraction>");
  if (!blUserAction && !m_scanstate.blPreview) {
    pod.m_lDeviceImageCount.fetch_add(1);
    pod.m_lDevicePageImageCount.fetch_add(1);
  }
  const EOSSTS eossts = devnexil.SetInput(a_szText);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "ScanThread: NexilSetInput failed...%d", static_cast<int>(eossts));
    return ProcessImageFailed(static_cast<EDEVSTS>(eossts));
  }
  return ProcessOutputs(a_posthread, a_edevsts, a_szText);
}

// Every output of the page until the library says it has no more; the
// device's image is let go only then, for the library reads its file.
EDEVSTS CDevImpl::ProcessOutputs(COsThread* a_posthread, EDEVSTS a_edevsts, const char* a_szText) {
  const EDBID_FIRMWARE edbidfirmware = m_scanstate.edbidfirmwareUnit.load();
  char* szOutput = m_scanstate.szThreadNexil;
  while (a_posthread->GetCommand() == OS_THREADCMD_NONE) {
    szOutput[0] = '\0';
    const EDEVSTS edevsts = pod.m_pdevnexil->GetOutput(edbidfirmware, szOutput, DEV_SCAN_BUFFER_SIZE);
    if (edevsts == DEV_STS_ENDOFOUTPUT) {
      ImageEnd(a_szText, true);
      return DEV_STS_SUCCESS;
    }
    if (edevsts != DEV_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "ScanThread: NexilGetOutput failed...%d", static_cast<int>(edevsts));
      return ProcessImageFailed(edevsts);
    }
    const EDEVSTS edevstsQueued = Holds(a_szText, "<useraction>") || !DiscardBlankImage(szOutput)
                                      ? QueueOutput(a_edevsts, szOutput, a_szText)
                                      : DiscardOutput(szOutput);
    if (edevstsQueued != DEV_STS_SUCCESS) return ProcessImageFailed(edevstsQueued);
  }
  OsLog(OS_LOG_INFO, "ScanThread: image end (cancel)...");
  OsLog(OS_LOG_INFO, "ScanThread: Aborting nexil getoutput loop...");
  return m_scanstate.edevstsStop.load();
}

// A blank output is let go at the library at once, as the path without the
// library lets a blank device image go: nothing else would end it before
// the scan ends. The record left in the queue only marks it.
EDEVSTS CDevImpl::DiscardOutput(const char* a_szOutput) {
  m_scanstate.blBlankDiscarded.store(true);
  EndOutput(a_szOutput);
  OsLog(OS_LOG_INFO, "ScanThread: image end (blank)...");
  pod.m_pimgqueueApplication->Push(DEV_STS_BLANKIMAGE, a_szOutput, nullptr, 0, 0, 0, 0, 0, false);
  return DEV_STS_SUCCESS;
}

// The output for the caller, with what ImageEnd needs to let it go. An
// output the queue cannot take is let go at once and fails the scan rather
// than vanish.
EDEVSTS CDevImpl::QueueOutput(EDEVSTS a_edevsts, const char* a_szOutput, const char* a_szText) {
  OsLog(OS_LOG_INFO, "imgqueue: ScanThread (Scan)...");
  const bool blUserAction = Holds(a_szText, "<useraction>");
  const int iImageCount = static_cast<int>(pod.m_lNexilImageCount.load());
  if (pod.m_pimgqueueApplication->Push(a_edevsts, a_szOutput, Holds(a_szText, "<useraction>show") ? a_szText : nullptr,
                                       iImageCount, static_cast<int>(pod.m_lNexilPageCount.load()),
                                       static_cast<int>(pod.m_lNexilPageImageCount.load()),
                                       static_cast<int>(pod.m_lNexilPageSideCount.load()), 0,
                                       false) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "ScanThread: the application queue took no output...");
    EndOutput(a_szOutput);
    return DEV_STS_LOWMEMORY;
  }
  if (!blUserAction) {
    OsLog(OS_LOG_INFO, "imgqueue: ScanThread (ImageEnd)...");
    pod.m_pimgqueueExpectedImageEnd->Push(DEV_STS_ENDOFOUTPUT, a_szOutput, a_szText, 0, 0, 0, 0, 0, false);
  }
  ScanCallImageAvailable();
  if (!blUserAction && !m_scanstate.blPreview) {
    pod.m_lNexilImageCount.fetch_add(1);
    pod.m_lNexilPageImageCount.fetch_add(1);
  }
  m_scanstate.blImageProduced.store(true);
  OsLog(OS_LOG_INFO, "ScanThread: image end (success) #%d...", iImageCount);
  return DEV_STS_SUCCESS;
}

void CDevImpl::EndOutput(const char* a_szOutput) {
  char szImageFilename[s_sizetImageFilename];
  if (COsXml::GetContent(a_szOutput, "<imagefilename>", "</imagefilename>", szImageFilename,
                         sizeof szImageFilename) == OS_STS_SUCCESS) {
    pod.m_pdevnexil->ImageEnd(m_scanstate.edbidfirmwareUnit.load(), szImageFilename);
  }
}

// The caller hears of the failure at once; the thread ends the scan with it.
EDEVSTS CDevImpl::ProcessImageFailed(EDEVSTS a_edevsts) {
  pod.m_pimgqueueApplication->Push(a_edevsts, nullptr, nullptr, 0, 0, 0, 0, 0, false);
  ScanCallImageAvailable();
  return a_edevsts;
}

void CDevImpl::ProcessImageCleanup() {
  if (m_scanstate.blNexilActive.load() && m_scanstate.lCountOnlyMode != 2) ScanCallImageAvailable();
}
