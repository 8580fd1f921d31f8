// The device facade: one forwarder per operation, each answering its
// failure value when the device object could not be made.
#include "dev_cdev.h"

#include <utility>

#include "dev_cdevimpl.h"
#include "os_coslog.h"
#include "os_cosmem.h"

namespace {

bool Missing(const CDevImpl* a_pdevimpl) {
  if (a_pdevimpl) return false;
  OsLog(OS_LOG_ERROR, "m_pdevimpl is null...");
  return true;
}

// The operation's answer, or the failure value without a device object.
template <class R, class F>
R Forward(CDevImpl* a_pdevimpl, R a_rFailure, F&& a_fn) {
  if (Missing(a_pdevimpl)) return a_rFailure;
  return std::forward<F>(a_fn)(*a_pdevimpl);
}

// The same for operations that answer nothing.
template <class F>
void Forward(CDevImpl* a_pdevimpl, F&& a_fn) {
  if (!Missing(a_pdevimpl)) std::forward<F>(a_fn)(*a_pdevimpl);
}

constexpr EOSSTS s_eosstsFail = OS_STS_FAIL;
constexpr EDEVSTS s_edevstsFail = DEV_STS_FAIL;
constexpr const char* s_szNone = nullptr;

}  // namespace

CDev::CDev(CDatabase* a_pdatabase, CDriver* a_pdriver, EOSSTS (*a_pfnCallback)(void*))
    : m_pdevimpl(OsMemNew(CDevImpl, a_pdatabase, this, a_pdriver, a_pfnCallback)) {
  if (!m_pdevimpl) OsLog(OS_LOG_ERROR, "OsMemNew failed...");
}

CDev::~CDev() { OsMemDelete(m_pdevimpl); }

// Interface.
EOSSTS CDev::InterfaceOpen(EDEVDRIVER a_edevdriver) {
  return Forward(m_pdevimpl, s_eosstsFail, [&](CDevImpl& d) { return d.InterfaceOpen(a_edevdriver, this); });
}
EOSSTS CDev::InterfaceClose() {
  return Forward(m_pdevimpl, s_eosstsFail, [](CDevImpl& d) { return static_cast<EOSSTS>(d.InterfaceClose()); });
}

// Session.
EOSSTS CDev::SessionBegin(PFNDEVMESSAGEMANAGER a_pfnMessageManager) {
  return Forward(m_pdevimpl, s_eosstsFail,
                 [&](CDevImpl& d) { return d.SessionBegin(a_pfnMessageManager, false, nullptr); });
}
EOSSTS CDev::SessionBounce() {
  return Forward(m_pdevimpl, s_eosstsFail, [](CDevImpl& d) { return static_cast<EOSSTS>(d.SessionBounce()); });
}
EOSSTS CDev::ResourceBegin(bool a_blDisconnectWontUnlock) {
  OsLogDebug(OS_LOG_INFO, "ResourceBegin...");
  return Forward(m_pdevimpl, s_eosstsFail, [&](CDevImpl& d) { return d.ResourceBegin(a_blDisconnectWontUnlock); });
}
EOSSTS CDev::ResourceEnd() {
  OsLogDebug(OS_LOG_INFO, "ResourceEnd...");
  return Forward(m_pdevimpl, s_eosstsFail, [](CDevImpl& d) { return d.ResourceEnd(); });
}
EOSSTS CDev::ResourceLock() {
  return Forward(m_pdevimpl, s_eosstsFail, [](CDevImpl& d) { return d.ResourceLock(); });
}
void CDev::ResourceUnlock() {
  Forward(m_pdevimpl, [](CDevImpl& d) { d.ResourceUnlock(); });
}
void CDev::NotifyDeviceStatusDeviceOnline(EDBID_FIRMWARE a_edbidfirmware, bool a_blOnline) {
  Forward(m_pdevimpl, [&](CDevImpl& d) { d.NotifyDeviceStatusDeviceOnline(a_edbidfirmware, a_blOnline); });
}
void CDev::NotifyDeviceStatusDeviceOnline(bool a_blOnline) {
  Forward(m_pdevimpl, [&](CDevImpl& d) { d.NotifyDeviceStatusDeviceOnline(a_blOnline); });
}
EOSSTS CDev::SetAttributes(bool a_blDeviceManagerOnly, bool a_blFlatbed) {
  return Forward(m_pdevimpl, s_eosstsFail,
                 [&](CDevImpl& d) { return d.SetAttributes(a_blDeviceManagerOnly, a_blFlatbed); });
}
EOSSTS CDev::SetupBegin(bool a_blSetupScan) {
  return Forward(m_pdevimpl, s_eosstsFail, [&](CDevImpl& d) { return d.SetupBegin(a_blSetupScan); });
}
EOSSTS CDev::SetupEnd(bool a_blCancel) {
  return Forward(m_pdevimpl, s_eosstsFail, [&](CDevImpl& d) { return d.SetupEnd(a_blCancel); });
}
EOSSTS CDev::RegisterCallback(EDBID_FIRMWARE a_edbidfirmware, const char* a_szName, EOSSTS (*a_pfnCallback)(void*),
                              void* a_pvArgument) {
  return Forward(m_pdevimpl, s_eosstsFail, [&](CDevImpl& d) {
    return d.RegisterCallback(a_edbidfirmware, a_szName, a_pfnCallback, a_pvArgument);
  });
}
EOSSTS CDev::RegisterPnpchangeProc(EOSSTS (*a_pfnPnpchangeProc)(void*), void* a_pvArgument) {
  return Forward(m_pdevimpl, s_eosstsFail,
                 [&](CDevImpl& d) { return d.RegisterPnpchangeProc(a_pfnPnpchangeProc, a_pvArgument); });
}
void CDev::PnpChange(const char* a_szText) {
  Forward(m_pdevimpl, [&](CDevImpl& d) { d.PnpChange(a_szText); });
}
long CDev::GetDeviceStatus() {
  return Forward(m_pdevimpl, static_cast<long>(DEV_DEVICESTATUS_NONE), [](CDevImpl& d) { return d.GetDeviceStatus(); });
}
EDEVSTS CDev::GetDeviceStatusCallback() {
  return Forward(m_pdevimpl, s_edevstsFail, [](CDevImpl& d) { return d.GetDeviceStatusCallback(); });
}
EOSSTS CDev::SetOcpButtons(const char* a_szButtons) {
  return Forward(m_pdevimpl, s_eosstsFail, [&](CDevImpl& d) { return d.SetOcpButtons(a_szButtons); });
}
void CDev::MessageProc(EDEVDLG a_edevdlg, EDEVMSG a_edevmsg, const char* a_szText, long a_lValue,
                       EDEVBUTTONS a_edevbuttons) {
  Forward(m_pdevimpl, [&](CDevImpl& d) { d.MessageProc(a_edevdlg, a_edevmsg, a_szText, a_lValue, a_edevbuttons); });
}

// Scan.
EOSSTS CDev::ScanBegin() {
  return Forward(m_pdevimpl, s_eosstsFail, [](CDevImpl& d) { return d.ScanBegin(); });
}
void CDev::ScanEnd(uint64_t a_u64Scan) {
  Forward(m_pdevimpl, [&](CDevImpl& d) { d.ScanEnd(a_u64Scan); });
}
uint64_t CDev::ScanSerial() {
  return Forward(m_pdevimpl, uint64_t{0}, [](CDevImpl& d) { return d.ScanSerial(); });
}
uint64_t CDev::ScanSerialBegun() { return CDevImpl::ScanSerialBegun(); }
EOSSTS CDev::ScanRequestStop(EDEVSTOPACTION a_edevstopaction) {
  return Forward(m_pdevimpl, s_eosstsFail, [&](CDevImpl& d) { return d.ScanRequestStop(a_edevstopaction); });
}
bool CDev::ScanIsScanning() {
  return Forward(m_pdevimpl, false, [](CDevImpl& d) { return d.ScanIsScanning(); });
}
long CDev::ScanImageCountRemaining() {
  return Forward(m_pdevimpl, 0L, [](CDevImpl& d) { return d.ScanImageCountRemaining(); });
}
EOSSTS CDev::RegisterFirstImageCallback(EOSSTS (*a_pfnCallback)(void*), void* a_pvArgument) {
  return Forward(m_pdevimpl, s_eosstsFail,
                 [&](CDevImpl& d) { return d.ScanRegisterFirstImageCallback(a_pfnCallback, a_pvArgument); });
}
bool CDev::IsDiscardBlankImage() {
  return Forward(m_pdevimpl, false, [](CDevImpl& d) { return d.ScanIsDiscardBlankImage(); });
}
long CDev::GetOutputImageCount() {
  return Forward(m_pdevimpl, 0L, [](CDevImpl& d) { return d.ScanGetOutputImageCount(); });
}
EDEVSTS CDev::GetOutput(char* a_szBuffer, int a_iSize, int* a_piImageCount, int* a_piPageCount,
                        int* a_piPageImageCount, uint64_t a_u64Scan) {
  return Forward(m_pdevimpl, s_edevstsFail, [&](CDevImpl& d) {
    return d.GetOutput(a_szBuffer, a_iSize, a_piImageCount, a_piPageCount, a_piPageImageCount, a_u64Scan);
  });
}
EOSSTS CDev::ImageEnd(const char* a_szText) {
  return Forward(m_pdevimpl, s_eosstsFail, [&](CDevImpl& d) { return d.ImageEnd(a_szText, false); });
}
EOSSTS CDev::UserInput(const char* a_szText) {
  return Forward(m_pdevimpl, OS_STS_SUCCESS, [&](CDevImpl& d) { return d.UserInput(a_szText); });
}
EOSSTS CDev::ImageQueuePush(bool a_blToApplication, EDEVSTS a_edevsts, const char* a_szText) {
  return Forward(m_pdevimpl, OS_STS_SUCCESS,
                 [&](CDevImpl& d) { return d.ImageQueuePush(a_blToApplication, a_edevsts, a_szText); });
}
void CDev::AllowNotifyImageAvailable(bool a_blAllow) {
  Forward(m_pdevimpl, [&](CDevImpl& d) { d.AllowNotifyImageAvailable(a_blAllow); });
}
void CDev::ScanStatisticsReset() {
  Forward(m_pdevimpl, [](CDevImpl& d) { d.ScanStatisticsReset(); });
}
const char* CDev::ScanStatisticsGetSheetCount() {
  return Forward(m_pdevimpl, s_szNone, [](CDevImpl& d) { return d.ScanStatisticsGetSheetCount(); });
}
const char* CDev::ScanStatisticsGetPageCount() {
  return Forward(m_pdevimpl, s_szNone, [](CDevImpl& d) { return d.ScanStatisticsGetPageCount(); });
}
long CDev::ScanStatisticsGetImageCountFromZero() {
  return Forward(m_pdevimpl, 0L, [](CDevImpl& d) { return d.ScanStatisticsGetImageCountFromZero(); });
}

// Events.
EOSSTS CDev::SetDriverEvent(EDEVEVENT a_edevevent, const char* a_szValue) {
  return Forward(m_pdevimpl, s_eosstsFail, [&](CDevImpl& d) { return d.SetDriverEvent(a_edevevent, a_szValue); });
}
EOSSTS CDev::GetDriverEvent(COsXmlTask* a_posxmltask) {
  return Forward(m_pdevimpl, s_eosstsFail, [&](CDevImpl& d) { return d.GetDriverEvent(a_posxmltask); });
}
const char* CDev::GetDriverEventName() {
  return Forward(m_pdevimpl, s_szNone, [](CDevImpl& d) { return d.GetDriverEventName(); });
}
void CDev::SkipSendingEvent(bool a_blSkip) {
  Forward(m_pdevimpl, [&](CDevImpl& d) { d.SkipSendingEvent(a_blSkip); });
}

// Status words.
const char* CDev::GetLexiconStatus(EDEVSTS a_edevsts) {
  return Forward(m_pdevimpl, s_szNone, [&](CDevImpl&) { return CDevImpl::GetLexiconStatus(a_edevsts); });
}
const char* CDev::GetLastErrorText() {
  return Forward(m_pdevimpl, "null impl", [](CDevImpl& d) { return d.GetLastErrorText(); });
}
void CDev::SetLastErrorText(const char* a_szText) {
  Forward(m_pdevimpl, [&](CDevImpl& d) { d.SetLastErrorText(a_szText); });
}

// Calibration.
EOSSTS CDev::CalibrateBegin() {
  return Forward(m_pdevimpl, s_eosstsFail, [](CDevImpl& d) { return d.CalibrateBegin(); });
}
EOSSTS CDev::CalibrateRun() {
  return Forward(m_pdevimpl, s_eosstsFail, [](CDevImpl& d) { return d.CalibrateRun(); });
}
EOSSTS CDev::CalibrateEnd() {
  return Forward(m_pdevimpl, s_eosstsFail, [](CDevImpl& d) { return d.CalibrateEnd(); });
}
EOSSTS CDev::CalibrateReset() {
  return Forward(m_pdevimpl, s_eosstsFail, [](CDevImpl& d) { return d.CalibrateReset(); });
}
EDEVSTS CDev::GetCalibrateStatus() {
  return Forward(m_pdevimpl, s_edevstsFail, [](CDevImpl& d) { return d.GetCalibrateStatus(); });
}
void CDev::SetCalibrateStatus(EDEVSTS a_edevsts) {
  Forward(m_pdevimpl, [&](CDevImpl& d) { d.SetCalibrateStatus(a_edevsts); });
}
EDEVSTS CDev::GetConfig(EDBID_FIRMWARE a_edbidfirmware, EDBID a_edbid) {
  return Forward(m_pdevimpl, s_edevstsFail, [&](CDevImpl& d) { return d.GetConfig(a_edbidfirmware, a_edbid); });
}

// Diagnostics.
EOSSTS CDev::DiagnosticBegin(bool a_blSkipState) {
  return Forward(m_pdevimpl, s_eosstsFail, [&](CDevImpl& d) { return d.DiagnosticBegin(a_blSkipState); });
}
EOSSTS CDev::DiagnosticRun(const char* a_szCommand, const char* a_szArgument) {
  return Forward(m_pdevimpl, s_eosstsFail, [&](CDevImpl& d) { return d.DiagnosticRun(a_szCommand, a_szArgument); });
}
EOSSTS CDev::DiagnosticEnd() {
  return Forward(m_pdevimpl, s_eosstsFail, [](CDevImpl& d) { return d.DiagnosticEnd(); });
}
EOSSTS CDev::DiagnosticGetInputResult(DeviceLog* a_pdevicelog) {
  return Forward(m_pdevimpl, s_eosstsFail, [&](CDevImpl& d) { return d.DiagnosticGetInputResult(a_pdevicelog); });
}

// Firmware download.
EOSSTS CDev::DownloadBegin(const char* a_szFilename, unsigned int a_uSize) {
  return Forward(m_pdevimpl, s_eosstsFail, [&](CDevImpl& d) { return d.DownloadBegin(a_szFilename, a_uSize); });
}
EOSSTS CDev::DownloadRun() {
  return Forward(m_pdevimpl, s_eosstsFail, [](CDevImpl& d) { return d.DownloadRun(); });
}
EOSSTS CDev::DownloadEnd() {
  return Forward(m_pdevimpl, s_eosstsFail, [](CDevImpl& d) { return d.DownloadEnd(); });
}

// Logs and reports.
EOSSTS CDev::GetLog(DeviceLog* a_pdevicelog, bool a_blSave) {
  return Forward(m_pdevimpl, s_eosstsFail, [&](CDevImpl& d) { return d.GetLog(a_pdevicelog, a_blSave); });
}
EOSSTS CDev::ClearLog(const char* a_szLogType) {
  return Forward(m_pdevimpl, s_eosstsFail, [&](CDevImpl& d) { return d.ClearLog(a_szLogType); });
}
EOSSTS CDev::SaveLog(const char* a_szFilename, const char* a_szText, bool a_blSaveImages, bool a_blSession) {
  return Forward(m_pdevimpl, s_eosstsFail,
                 [&](CDevImpl& d) { return d.SaveLog(a_szFilename, a_szText, a_blSaveImages, a_blSession); });
}
EOSSTS CDev::ResetScanner() {
  return Forward(m_pdevimpl, s_eosstsFail, [](CDevImpl& d) { return d.ResetScanner(); });
}
EOSSTS CDev::GetVersionInfo(DeviceLog* a_pdevicelog, bool a_blSave) {
  return Forward(m_pdevimpl, s_eosstsFail, [&](CDevImpl& d) { return d.GetVersionInfo(a_pdevicelog, a_blSave); });
}
EOSSTS CDev::UnpackScanHistory(const char* a_szXmlFile, const char* a_szHistoryFile) {
  return Forward(m_pdevimpl, s_eosstsFail,
                 [&](CDevImpl& d) { return d.UnpackScanHistory(a_szXmlFile, a_szHistoryFile); });
}
const char* CDev::GetReportInquiry() {
  return Forward(m_pdevimpl, s_szNone, [](CDevImpl& d) { return d.GetReportInquiry(); });
}

// ECDO learning and meters.
EOSSTS CDev::EcdoCustomBegin() {
  return Forward(m_pdevimpl, s_eosstsFail, [](CDevImpl& d) { return d.EcdoCustomBegin(); });
}
EOSSTS CDev::EcdoCustomEnd() {
  return Forward(m_pdevimpl, s_eosstsFail, [](CDevImpl& d) { return d.EcdoCustomEnd(); });
}
EOSSTS CDev::GetConsumableMeters(char** a_ppszConsumableMeters) {
  return Forward(m_pdevimpl, s_eosstsFail,
                 [&](CDevImpl& d) { return d.GetConsumableMeters(a_ppszConsumableMeters); });
}
EOSSTS CDev::SetConsumableMeter(const char* a_szMeter) {
  return Forward(m_pdevimpl, s_eosstsFail, [&](CDevImpl& d) { return d.SetConsumableMeter(a_szMeter); });
}
EOSSTS CDev::ResetConsumableMeter(const char* a_szMeter) {
  return Forward(m_pdevimpl, s_eosstsFail, [&](CDevImpl& d) { return d.ResetConsumableMeter(a_szMeter); });
}
EOSSTS CDev::GetCartridgeDetected() {
  return Forward(m_pdevimpl, s_eosstsFail, [](CDevImpl& d) { return d.GetCartridgeDetected(); });
}

// Library pass-through.
const char* CDev::ScannerEntry(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask) {
  return Forward(m_pdevimpl, s_szNone, [&](CDevImpl& d) { return d.ScannerEntry(a_edbidfirmware, a_posxmltask); });
}
const char* CDev::NexEntry(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask) {
  return Forward(m_pdevimpl, s_szNone, [&](CDevImpl& d) { return d.NexEntry(a_edbidfirmware, a_posxmltask); });
}
const char* CDev::PassThroughNexil(const char* a_szXml) {
  return Forward(m_pdevimpl, s_szNone, [&](CDevImpl& d) { return d.PassThroughNexil(a_szXml); });
}
