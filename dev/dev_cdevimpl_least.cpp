// Least bodies of the device object's operations whose units come later:
// each logs "not built yet" at debug level and answers the facade's failure
// value, except where a caller of this object needs an answer it can go on
// with (noted). A unit that builds an operation takes its body out of here.
#include "dev_cdevimpl.h"

#include "dev_cdevdata.h"
#include "dev_cimgqueue.h"
#include "os_coslog.h"
#include "os_cosxmltask.h"

namespace {

template <class R>
R NotBuilt(const char* a_szOperation, R a_rAnswer) {
  OsLogDebug(OS_LOG_INFO, "CDevImpl::%s: not built yet", a_szOperation);
  return a_rAnswer;
}

void NotBuilt(const char* a_szOperation) { OsLogDebug(OS_LOG_INFO, "CDevImpl::%s: not built yet", a_szOperation); }

constexpr EOSSTS s_eosstsFail = OS_STS_FAIL;
constexpr EDEVSTS s_edevstsFail = DEV_STS_FAIL;

}  // namespace

// Scan pipeline and image hand-off. A scan "runs" from ScanBegin to ScanEnd
// without a thread and delivers nothing, so that the device-manager
// adapter's stop of a running scan can be seen: a stop request is answered
// 0 while one runs, 5 when none does.
EOSSTS CDevImpl::ScanBegin() {
  m_blScanLeast.store(true);
  return NotBuilt("ScanBegin", OS_STS_SUCCESS);
}
void CDevImpl::ScanEnd() {
  m_blScanLeast.store(false);
  NotBuilt("ScanEnd");
}
EOSSTS CDevImpl::ScanRequestStop(EDEVSTOPACTION a_edevstopaction) {
  OsLogDebug(OS_LOG_INFO, "ScanRequestStop(%d)", static_cast<int>(a_edevstopaction));
  return NotBuilt("ScanRequestStop", m_blScanLeast.load() ? OS_STS_SUCCESS : static_cast<EOSSTS>(5));
}
bool CDevImpl::ScanIsScanning() { return m_blScanLeast.load(); }
// The scan thread's wake-ups are counted.
void CDevImpl::ScanThreadSetEvent() { m_lScanThreadEventsLeast.fetch_add(1); }
long CDevImpl::ScanImageCountRemaining() { return NotBuilt("ScanImageCountRemaining", 0L); }
EOSSTS CDevImpl::ScanRegisterFirstImageCallback(EOSSTS (*)(void*), void*) {
  return NotBuilt("ScanRegisterFirstImageCallback", s_eosstsFail);
}
bool CDevImpl::ScanIsDiscardBlankImage() { return NotBuilt("ScanIsDiscardBlankImage", false); }
EDEVSTS CDevImpl::GetOutput(char*, int, int*, int*, int*) { return NotBuilt("GetOutput", s_edevstsFail); }
EOSSTS CDevImpl::ImageEnd(const char*, bool) { return NotBuilt("ImageEnd", s_eosstsFail); }
EOSSTS CDevImpl::ScanThreadSetCommand(EOSTHREADCMD) { return NotBuilt("ScanThreadSetCommand", OS_STS_SUCCESS); }
EOSSTS CDevImpl::ScanRegisterImageAvailableCallback(EOSSTS (*)(void*), void*) {
  return NotBuilt("ScanRegisterImageAvailableCallback", s_eosstsFail);
}
bool CDevImpl::DiscardBlankImage(const char*) { return NotBuilt("DiscardBlankImage", false); }
EDEVSTS CDevImpl::ProcessImageInit() { return NotBuilt("ProcessImageInit", s_edevstsFail); }
EDEVSTS CDevImpl::ProcessImage(COsThread*, EDEVSTS, const char*) { return NotBuilt("ProcessImage", s_edevstsFail); }
void CDevImpl::ProcessImageCleanup() { NotBuilt("ProcessImageCleanup"); }

// Diagnostic inputs.
EOSSTS CDevImpl::DiagnosticGetInputResult(DeviceLog*) { return NotBuilt("DiagnosticGetInputResult", s_eosstsFail); }

// ECDO lists and the model's report inquiry. The session's opening goes on
// with lists that hold only their "(none)" entry and an empty inquiry.
EOSSTS CDevImpl::GetEcdo() { return NotBuilt("GetEcdo", OS_STS_SUCCESS); }
void CDevImpl::CreateReportInquiry() {
  NotBuilt("CreateReportInquiry");
  if (!pod.m_preportinquiry) return;
  pod.m_preportinquiry->Clear();
  pod.m_preportinquiry->StartNonTask("reportinquiry", 0);
  pod.m_preportinquiry->FinalizeNonTask("reportinquiry");
}

// Device text and version reports, log maintenance.
EOSSTS CDevImpl::GetVersionInfo(DeviceLog*, bool) { return NotBuilt("GetVersionInfo", s_eosstsFail); }
EOSSTS CDevImpl::GetLog(DeviceLog*, bool) { return NotBuilt("GetLog", s_eosstsFail); }
EOSSTS CDevImpl::ClearLog(const char*) { return NotBuilt("ClearLog", s_eosstsFail); }
EOSSTS CDevImpl::SaveLog(const char*, const char*, bool, bool) { return NotBuilt("SaveLog", s_eosstsFail); }
EOSSTS CDevImpl::ResetScanner() { return NotBuilt("ResetScanner", s_eosstsFail); }
