// Driver events: the table of queued events that the front end fetches with
// its event-list task, the named event that tells it to, and the two small
// operations by which the caller feeds user input and records into a scan.
//
// The table lives in the device object; one process-wide mutex guards every
// table, taken by the writers (the caller's, scan, open and library callback
// threads) and by the reader alike. It is a leaf: nothing else is taken
// under it but the named event's own lock.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

#include "dev_cdevimpl.h"
#include "dev_cimgqueue.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_cossync.h"
#include "os_cosxml.h"
#include "os_cosxmltask.h"

namespace {

std::mutex s_mutexEventTable;

// The word of each event in the event list, by EDEVEVENT.
const char* const s_aszEventWord[DEV_EVENT_LAST + 1] = {
    nullptr,        "devicebutton", "deviceoffline", "deviceonline", "imageavailable", "lampswarming", "multifeed",
    "opencomplete", "paperjam",     "uibutton",      "idmodified",   "pnpchange",      nullptr,
};

// The events a front end still hears about while sending is skipped.
bool PassesSkip(EDEVEVENT a_edevevent) {
  return a_edevevent == DEV_EVENT_DEVICEBUTTON || a_edevevent == DEV_EVENT_DEVICEOFFLINE ||
         a_edevevent == DEV_EVENT_DEVICEONLINE || a_edevevent == DEV_EVENT_UIBUTTON;
}

// A pnpchange value goes into the event list as XML: it must read as XML,
// or the whole list would not.
bool ReadsAsXml(const char* a_szValue) {
  const std::string strDocument = std::string("<value>") + a_szValue + "</value>";
  COsXml osxml;
  return osxml.DocumentLoad(strDocument.c_str()) == OS_STS_SUCCESS;
}

// Whether the builder can carry the value: a text element takes anything
// but the end of a CDATA section.
bool CarriesAsText(const char* a_szValue) { return std::strstr(a_szValue, "]]>") == nullptr; }

}  // namespace

const char* const CDevImpl::s_aszEdevent[DEV_EVENT_LAST + 1] = {
    "DEV_EVENT_UNDEFINED",      "DEV_EVENT_DEVICEBUTTON", "DEV_EVENT_DEVICEOFFLINE", "DEV_EVENT_DEVICEONLINE",
    "DEV_EVENT_IMAGEAVAILABLE", "DEV_EVENT_LAMPSWARMING", "DEV_EVENT_MULTIFEED",     "DEV_EVENT_OPENCOMPLETE",
    "DEV_EVENT_PAPERJAM",       "DEV_EVENT_UIBUTTON",     "DEV_EVENT_IDMODIFIED",    "DEV_EVENT_PNPCHANGE",
    "DEV_EVENT_LAST",
};

EOSSTS CDevImpl::SetDriverEvent(EDEVEVENT a_edevevent, const char* a_szValue) {
  // An empty feeder at the end of the job: the driver rescans on the flatbed.
  if (a_edevevent == DEV_EVENT_IMAGEAVAILABLE && m_blNoPaperAtEnd.load()) {
    if (pod.m_pfnStatusCallback) {
      pod.m_pfnStatusCallback(pod.m_pdriver);
    } else {
      OsLog(OS_LOG_ERROR, "pod.m_pfnStatusCallback is null...");
    }
    return OS_STS_SUCCESS;
  }
  const char* szValue = a_szValue ? a_szValue : "";
  // An event the list has no word for would block every later list.
  if (a_edevevent <= DEV_EVENT_UNDEFINED || a_edevevent >= DEV_EVENT_LAST) {
    OsLog(OS_LOG_ERROR, "callback>>> SetDriverEvent(%d,%s)", static_cast<int>(a_edevevent),
          a_szValue ? a_szValue : "null");
    return OS_STS_FAIL;
  }
  OsLogDebug(OS_LOG_INFO, "callback>>> SetDriverEvent(%s,%s)", s_aszEdevent[a_edevevent],
             a_szValue ? a_szValue : "null");
  if (m_blSkipSendingEvent.load() && !PassesSkip(a_edevevent)) return OS_STS_SUCCESS;
  if (a_edevevent == DEV_EVENT_IMAGEAVAILABLE && !m_blAllowImageAvailable.load()) return OS_STS_SUCCESS;

  DevEventSlot devEventSlot;
  devEventSlot.edevevent = a_edevevent;
  if (!COsString::SStrCpyCut(devEventSlot.szValue, sizeof devEventSlot.szValue, szValue)) {
    OsLog(OS_LOG_ERROR, "SetDriverEvent: the value of %s cut to %zu characters...", s_aszEdevent[a_edevevent],
          std::strlen(devEventSlot.szValue));
  }
  if (a_edevevent == DEV_EVENT_PNPCHANGE ? !ReadsAsXml(devEventSlot.szValue) : !CarriesAsText(devEventSlot.szValue)) {
    OsLog(OS_LOG_ERROR, "SetDriverEvent: the event list cannot carry the value of %s, refused...<%s>",
          s_aszEdevent[a_edevevent], devEventSlot.szValue);
    return OS_STS_FAIL;
  }

  std::lock_guard<std::mutex> lock(s_mutexEventTable);
  const int iQueued = QueuedEvents();
  // The named event stays set: the front end is to empty the table.
  if (pod.m_possyncDriverEvent && pod.m_szDriverEventName[0]) pod.m_possyncDriverEvent->SimpleEventSet();
  if (iQueued == DEV_EVENT_SLOTS) {
    OsLog(OS_LOG_ERROR, "No more empty slot for event %d...", static_cast<int>(a_edevevent));
    return OS_STS_FAIL;
  }
  DevEventSlot& devEventSlotFree = m_adeveventslot[iQueued];
  devEventSlotFree.edevevent = a_edevevent;
  std::memcpy(devEventSlotFree.szValue, devEventSlot.szValue, std::strlen(devEventSlot.szValue) + 1);
  if (a_edevevent == DEV_EVENT_IMAGEAVAILABLE) m_blImageAvailableSignalled.store(true);
  return OS_STS_SUCCESS;
}

// The queued events are the slots before the first free one.
int CDevImpl::QueuedEvents() const {
  int iQueued = 0;
  while (iQueued < DEV_EVENT_SLOTS && m_adeveventslot[iQueued].edevevent != DEV_EVENT_UNDEFINED) ++iQueued;
  return iQueued;
}

// The reply with the first events: the list, then the report inquiry when
// an opencomplete is among them and a_blInquiry. False when it does not fit
// the builder; a_piFit then holds the items that fit before it ran out.
bool CDevImpl::BuildEventList(COsXmlTask* a_posxmltask, int a_iEvents, bool a_blInquiry, int* a_piFit) {
  a_posxmltask->Clear();
  a_posxmltask->StartTask(0, 0, "success");
  a_posxmltask->StartCommand("reporteventlist", 1);
  bool blOpenComplete = false;
  for (*a_piFit = 0; *a_piFit < a_iEvents && !a_posxmltask->IsError(false); ++*a_piFit) {
    const DevEventSlot& devEventSlot = m_adeveventslot[*a_piFit];
    blOpenComplete = blOpenComplete || devEventSlot.edevevent == DEV_EVENT_OPENCOMPLETE;
    a_posxmltask->StartCommand("eventitem", 2);
    a_posxmltask->AddArgument("event", s_aszEventWord[devEventSlot.edevevent]);
    if (devEventSlot.edevevent == DEV_EVENT_PNPCHANGE) {
      a_posxmltask->AddArgument("value", "");
      a_posxmltask->AddPassThrough(devEventSlot.szValue);
    } else {
      a_posxmltask->AddArgumentCheck("value", devEventSlot.szValue);
    }
    a_posxmltask->FinalizeCommand("eventitem");
  }
  if (a_posxmltask->IsError(false)) {
    --*a_piFit;
    a_posxmltask->IsError(true);
    return false;
  }
  a_posxmltask->FinalizeCommand("reporteventlist");
  const char* szInquiry = GetReportInquiry();
  if (blOpenComplete && a_blInquiry && szInquiry) a_posxmltask->AddPassThrough(szInquiry);
  a_posxmltask->FinalizeTask();
  return !a_posxmltask->IsError(true);
}

EOSSTS CDevImpl::GetDriverEvent(COsXmlTask* a_posxmltask) {
  if (!a_posxmltask) {
    OsLog(OS_LOG_ERROR, "a_posxmltask is null...");
    return OS_STS_FAIL;
  }
  std::lock_guard<std::mutex> lock(s_mutexEventTable);
  const int iQueued = QueuedEvents();
  int iReported = iQueued;
  bool blInquiry = true;
  int iFit = 0;
  // Up to 32 values of 4 KiB do not fit every builder: as many events as
  // fit go now, the rest with the next list.
  while (iReported > 0 && !BuildEventList(a_posxmltask, iReported, blInquiry, &iFit)) {
    if (iReported > 1) {
      iReported = std::max(1, std::min(iReported - 1, iFit));
    } else if (blInquiry && m_adeveventslot[0].edevevent == DEV_EVENT_OPENCOMPLETE) {
      OsLog(OS_LOG_ERROR, "The report inquiry does not fit the event list, left out...");
      blInquiry = false;
    } else {
      OsLog(OS_LOG_ERROR, "The event list does not fit its builder...");
      iReported = 0;
    }
  }
  if (iReported == 0) {
    if (iQueued == 0) OsLogDebug(OS_LOG_INFO, "No event in the queue");
    a_posxmltask->Clear();
    a_posxmltask->StartTask(0, 0, "fail");
    a_posxmltask->FinalizeTask();
    return OS_STS_FAIL;
  }
  std::memmove(m_adeveventslot, m_adeveventslot + iReported,
               sizeof(DevEventSlot) * static_cast<size_t>(DEV_EVENT_SLOTS - iReported));
  for (int i = DEV_EVENT_SLOTS - iReported; i < DEV_EVENT_SLOTS; ++i) {
    m_adeveventslot[i].edevevent = DEV_EVENT_UNDEFINED;
    m_adeveventslot[i].szValue[0] = '\0';
  }
  if (iReported < iQueued) {
    OsLogDebug(OS_LOG_INFO, "%d of %d events reported, the rest follow...", iReported, iQueued);
    if (pod.m_possyncDriverEvent && pod.m_szDriverEventName[0]) pod.m_possyncDriverEvent->SimpleEventSet();
  }
  return OS_STS_SUCCESS;
}

// The scan thread passes each text to the feeder's device manager.
EOSSTS CDevImpl::UserInput(const char* a_szText) {
  if (!a_szText) {
    OsLog(OS_LOG_ERROR, "a_szText is null...");
    return OS_STS_FAIL;
  }
  if (!pod.m_pimgqueueDeviceManagerScanThread) {
    OsLog(OS_LOG_ERROR, "pod.m_pimgqueueDeviceManagerScanThread is null...");
    return OS_STS_FAIL;
  }
  const EOSSTS eossts =
      pod.m_pimgqueueDeviceManagerScanThread->Push(DEV_STS_SUCCESS, a_szText, a_szText, 0, 0, 0, 0, 0, false);
  if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "Push failed...<%s>", a_szText);
  ScanThreadSetEvent();
  return eossts;
}

// Into the application's queue (user input tells the front end at once), or
// into the image-end queue for the scan thread.
EOSSTS CDevImpl::ImageQueuePush(bool a_blToApplication, EDEVSTS a_edevsts, const char* a_szText) {
  CImgQueue* pimgqueue = a_blToApplication ? pod.m_pimgqueueApplication : pod.m_pimgqueueImageEnd;
  if (!pimgqueue) {
    OsLog(OS_LOG_ERROR, "%s is null...", a_blToApplication ? "pod.m_pimgqueueApplication" : "pod.m_pimgqueueImageEnd");
    return OS_STS_FAIL;
  }
  const EOSSTS eossts = a_blToApplication ? pimgqueue->Push(a_edevsts, a_szText, nullptr, 0, 0, 0, 0, 0, false)
                                          : pimgqueue->Push(a_edevsts, a_szText, a_szText, 0, 0, 0, 0, 0, false);
  if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "Push failed...%d <%s>", a_edevsts, a_szText ? a_szText : "");
  if (!a_blToApplication) {
    ScanThreadSetEvent();
    SetDriverEvent(DEV_EVENT_IMAGEAVAILABLE, nullptr);
  } else if (a_edevsts == DEV_STS_USERINPUT) {
    SetDriverEvent(DEV_EVENT_IMAGEAVAILABLE, nullptr);
  }
  return eossts;
}
