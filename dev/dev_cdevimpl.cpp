// The device object's life, its status words, the last-error text and the
// procedures the driver hands in.
#include "dev_cdevimpl.h"

#include <cstring>
#include <iterator>

#include "db_cdblock.h"
#include "dev_cdevdata.h"
#include "dev_cimgqueue.h"
#include "dev_waits.h"
#include "os_cosimage.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cossync.h"
#include "os_costhread.h"
#include "os_cosusb.h"
#include "os_cosxmltask.h"

namespace {

// The protocol's word for each device status; a gap is "fail".
const char* const s_aszLexiconStatus[] = {
    "success",               // 0
    nullptr,                 // 1
    nullptr,                 // 2
    "busy",                  // 3
    "calibrationrequired",   // 4
    "cancel",                // 5
    "cleanguides",           // 6
    "coveropen",             // 7
    "criticalerror",         // 8
    "disconnected",          // 9
    "multifeed",             // 10
    "ecdocustomlearnfail",   // 11
    "endofoutput",           // 12
    nullptr,                 // 13
    "lampswarming",          // 14
    "nomemory",              // 15
    "nofeederfound",         // 16
    "noimageready",          // 17
    "noprintheadfound",      // 18
    "notcomplete",           // 19
    "notenoughcolor",        // 20
    "notenoughpages",        // 21
    "nowhitepatchfound",     // 22
    "paperjam",              // 23
    "imageprocessingerror",  // 24
    "nomedia",               // 25
    "endofsheet",            // 26
    nullptr,                 // 27
    nullptr,                 // 28
    "useraction",            // 29
};

thread_local char t_szLastError[DEV_LASTERROR_SIZE];

}  // namespace

CDevImpl::CDevImpl(CDatabase* a_pdatabase, CDev* a_pdev, CDriver* a_pdriver, EOSSTS (*a_pfnCallback)(void*)) {
  pod.m_pdatabase = a_pdatabase;
  pod.m_pdev = a_pdev;
  pod.m_pdriver = a_pdriver;
  pod.m_pfnStatusCallback = a_pfnCallback;
  pod.m_lFeederState = 1;
  // Data-only use has no interface open to make the device data.
  if (!a_pdatabase) {
    pod.m_pdevdata = OsMemNew(CDevData);
    if (!pod.m_pdevdata) OsLog(OS_LOG_ERROR, "OsMemNew failed...");
  }
  pod.m_lDeviceImageCount = pod.m_lNexilImageCount = 1;
  pod.m_lDevicePageCount = pod.m_lNexilPageCount = 1;
  pod.m_lDevicePageImageCount = pod.m_lNexilPageImageCount = 1;
  pod.m_lDevicePageSideCount = pod.m_lNexilPageSideCount = 0;
  pod.m_lCacheSize = 1;
  Enlist(this);
}

// The worker threads call the libraries, so they stop before the interface
// closes and unloads them; every wait runs with the database lock given up.
CDevImpl::~CDevImpl() {
  CDbLockRelease dblockrelease;
  // No library or database callback reaches the object from here on.
  Delist(this);
  UnregisterDatabaseCallbacks();
  ScanEnd();
  OsMemDelete(pod.m_posimage);
  StopThread(pod.m_posthreadCalibrate);
  StopThread(pod.m_posthreadDiagnostic);
  InterfaceClose();
  DeleteAdapters();
  if (pod.m_possyncDriverEvent) pod.m_possyncDriverEvent->SimpleEventClose();
  OsMemDelete(pod.m_posthreadCalibrate);
  OsMemDelete(pod.m_posthreadDiagnostic);
  OsMemDelete(pod.m_posthreadOpenDevice);
  OsMemDelete(pod.m_possyncDriverEvent);
  OsMemDelete(pod.m_preportinquiry);
  OsMemDelete(pod.m_pimgqueueApplication);
  OsMemDelete(pod.m_pimgqueueExpectedImageEnd);
  OsMemDelete(pod.m_pimgqueueImageEnd);
  OsMemDelete(pod.m_pimgqueueDeviceManagerScanThread);
  OsMemDelete(pod.m_posusb);
  OsMemDelete(pod.m_pdevdata);
}

void CDevImpl::StopThread(COsThread* a_posthread) {
  if (!a_posthread) return;
  CDbLockRelease dblockrelease;
  a_posthread->Stop(false, DevWaitLimit(DEV_WAIT_THREADSTOP));
}

const char* CDevImpl::GetLexiconStatus(EDEVSTS a_edevsts) {
  if (a_edevsts < 0 || static_cast<size_t>(a_edevsts) >= std::size(s_aszLexiconStatus)) return "fail";
  const char* szWord = s_aszLexiconStatus[a_edevsts];
  return szWord ? szWord : "fail";
}

const char* CDevImpl::GetLastErrorText() {
  std::lock_guard<std::mutex> lock(m_mutexLastError);
  std::memcpy(t_szLastError, m_szLastError, sizeof t_szLastError);
  return t_szLastError;
}

void CDevImpl::SetLastErrorText(const char* a_szText) {
  if (!a_szText) return;
  std::lock_guard<std::mutex> lock(m_mutexLastError);
  const size_t sizetLength = strnlen(a_szText, sizeof m_szLastError - 1);
  std::memcpy(m_szLastError, a_szText, sizetLength);
  m_szLastError[sizetLength] = '\0';
}

void CDevImpl::MessageProc(EDEVDLG a_edevdlg, EDEVMSG a_edevmsg, const char* a_szText, long a_lValue,
                           EDEVBUTTONS a_edevbuttons) {
  const PFNDEVMESSAGEMANAGER pfnMessageProc = m_pfnMessageProc.load();
  if (pfnMessageProc) pfnMessageProc(a_edevdlg, a_edevmsg, a_szText, a_lValue, a_edevbuttons);
}

EOSSTS CDevImpl::RegisterPnpchangeProc(EOSSTS (*a_pfnPnpchangeProc)(void*), void* a_pvArgument) {
  std::lock_guard<std::mutex> lock(m_mutexPnpchange);
  m_pfnPnpchangeProc = a_pfnPnpchangeProc;
  m_pvPnpchangeArgument = a_pvArgument;
  return OS_STS_SUCCESS;
}

// Runs on a library's callback thread; the procedure is called outside the
// lock, so that it may register again.
void CDevImpl::PnpChange(const char* a_szText) {
  DevCallBackData devcallbackdata = {nullptr, a_szText, this};
  EOSSTS (*pfnPnpchangeProc)(void*) = nullptr;
  {
    std::lock_guard<std::mutex> lock(m_mutexPnpchange);
    pfnPnpchangeProc = m_pfnPnpchangeProc;
    devcallbackdata.pvArgument = m_pvPnpchangeArgument;
  }
  if (pfnPnpchangeProc) pfnPnpchangeProc(&devcallbackdata);
}

const char* CDevImpl::GetReportInquiry() {
  return pod.m_preportinquiry ? pod.m_preportinquiry->GetTaskBuffer() : nullptr;
}

EOSSTS CDevImpl::UnpackScanHistory(const char* a_szXmlFile, const char* a_szHistoryFile) {
  if (!pod.m_pdevdata) {
    OsLog(OS_LOG_ERROR, "pod.m_pdevdata is null...");
    return OS_STS_FAIL;
  }
  return pod.m_pdevdata->UnpackScanHistory(a_szXmlFile, a_szHistoryFile);
}
