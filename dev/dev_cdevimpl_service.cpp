// The device object's service operations in their least form: calibration,
// diagnostics and the pass-through of a task to a unit's libraries. Each
// runs on the caller's thread and sends its tasks through the
// device-manager adapter; no thread, wait or message of the calibration and
// diagnostic dialogs yet.
#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "dev_cdevdevice.h"
#include "dev_cdevimpl.h"
#include "dev_cdevnexil.h"
#include "os_coslog.h"

namespace {

EOSSTS Status(EDEVSTS a_edevsts) { return static_cast<EOSSTS>(a_edevsts); }

}  // namespace

// ---------------------------------------------------------------------------
// Calibration: begin, run and end each one task of the current unit. The
// status reads 24 (no result yet) between the begin and the run, and the
// run's result after it.
// ---------------------------------------------------------------------------
EOSSTS CDevImpl::CalibrateBegin() {
  if (!pod.m_pdevdevice || GetDeviceStatus() != DEV_DEVICESTATUS_ONLINE) {
    pod.m_edevstsCalibrate = DEV_STS_FAIL;
    return OS_STS_FAIL;
  }
  EDEVSTS edevsts = pod.m_pdevdevice->CalibrateBegin();
  // Lamps still warming up are waited for by the run.
  if (edevsts == DEV_STS_LAMPSWARMINGUP) edevsts = DEV_STS_SUCCESS;
  pod.m_edevstsCalibrate = edevsts == DEV_STS_SUCCESS ? DEV_STS_PROCESSERROR : edevsts;
  return Status(edevsts);
}

EOSSTS CDevImpl::CalibrateRun() {
  if (!pod.m_pdevdevice || GetDeviceStatus() != DEV_DEVICESTATUS_ONLINE) return OS_STS_FAIL;
  const EDEVSTS edevsts = pod.m_pdevdevice->CalibrateRun();
  switch (edevsts) {
    case DEV_STS_SUCCESS:
    case DEV_STS_DOUBLEDOCUMENT:
    case DEV_STS_PAPERJAM: pod.m_edevstsCalibrate = edevsts; break;
    default: pod.m_edevstsCalibrate = DEV_STS_FAIL; break;
  }
  return OS_STS_SUCCESS;
}

EOSSTS CDevImpl::CalibrateEnd() {
  if (!pod.m_pdevdevice || GetDeviceStatus() != DEV_DEVICESTATUS_ONLINE) return OS_STS_FAIL;
  return Status(pod.m_pdevdevice->CalibrateEnd());
}

EOSSTS CDevImpl::CalibrateReset() {
  if (!pod.m_pdevdevice || GetDeviceStatus() != DEV_DEVICESTATUS_ONLINE) return OS_STS_FAIL;
  return Status(pod.m_pdevdevice->CalibrateReset());
}

EDEVSTS CDevImpl::GetCalibrateStatus() { return pod.m_edevstsCalibrate; }

void CDevImpl::SetCalibrateStatus(EDEVSTS a_edevsts) { pod.m_edevstsCalibrate = a_edevsts; }

// ---------------------------------------------------------------------------
// Diagnostics: the mode is the current unit's begin and end; a run is one
// diagnostic command of the current unit, inside a begin and end of its own.
// ---------------------------------------------------------------------------
EOSSTS CDevImpl::DiagnosticBegin(bool) {
  if (!pod.m_pdevdevice || GetDeviceStatus() != DEV_DEVICESTATUS_ONLINE) return OS_STS_FAIL;
  return Status(pod.m_pdevdevice->DiagnosticBegin(CurrentFirmware()));
}

EOSSTS CDevImpl::DiagnosticRun(const char* a_szCommand, const char* a_szArgument) {
  if (!pod.m_pdevdevice || GetDeviceStatus() != DEV_DEVICESTATUS_ONLINE) return OS_STS_FAIL;
  const EDBID_FIRMWARE edbidfirmware = CurrentFirmware();
  pod.m_pdevdevice->DiagnosticBegin(edbidfirmware);
  const EDEVSTS edevsts = pod.m_pdevdevice->DiagnosticRun(a_szCommand, a_szArgument, nullptr);
  pod.m_pdevdevice->DiagnosticEnd(edbidfirmware);
  return Status(edevsts);
}

EOSSTS CDevImpl::DiagnosticEnd() {
  if (!pod.m_pdevdevice || GetDeviceStatus() != DEV_DEVICESTATUS_ONLINE) return OS_STS_FAIL;
  return Status(pod.m_pdevdevice->DiagnosticEnd(CurrentFirmware()));
}

// ---------------------------------------------------------------------------
// A task to a unit's device manager or image library, its reply passed back
// (null when the unit has none loaded).
// ---------------------------------------------------------------------------
const char* CDevImpl::ScannerEntry(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask) {
  if (!pod.m_pdevdevice) return nullptr;
  return pod.m_pdevdevice->ScannerEntry(a_edbidfirmware, a_posxmltask, 0);
}

const char* CDevImpl::NexEntry(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask) {
  if (!pod.m_pdevnexil) return nullptr;
  return pod.m_pdevnexil->NexEntry(a_edbidfirmware, a_posxmltask);
}
