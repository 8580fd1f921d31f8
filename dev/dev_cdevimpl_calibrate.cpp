// Calibration: begun and ended on the caller's thread, run on "DriverCalibrate",
// which waits for the lamps first. The caller and the thread share the
// status, the ended flag and the lamp-ready time (atomics); the caller
// waits for the thread by polling the status. No wait here holds the
// database lock: the thread and the adapter need it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdevdevice.h"
#include "dev_cdevimpl.h"
#include "dev_waits.h"
#include "os_coslog.h"
#include "os_costhread.h"

namespace {

constexpr uint32_t s_u32Run = OS_THREADCMD_NONE;
constexpr uint32_t s_u32Halt = OS_THREADCMD_HALT;
constexpr uint32_t s_u32Stop = 5;
// More warm-up than this left tells the user.
constexpr int64_t s_i64WarmupMessageMs = 2000;

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

EOSSTS Status(EDEVSTS a_edevsts) { return static_cast<EOSSTS>(a_edevsts); }

void Sleep(int64_t a_i64Ms) { std::this_thread::sleep_for(std::chrono::milliseconds(a_i64Ms)); }

}  // namespace

void CDevImpl::CalibrateMessage(EDEVMSG a_edevmsg, long a_lValue) {
  MessageProc(DEV_DLG_CALIBRATE, a_edevmsg, nullptr, a_lValue, DEV_BUTTONS_NONE);
}

EOSSTS CDevImpl::CalibrateBegin() {
  if (!pod.m_pdevdevice || GetDeviceStatus() != DEV_DEVICESTATUS_ONLINE) {
    pod.m_edevstsCalibrate = DEV_STS_FAIL;
    return OS_STS_FAIL;
  }
  CalibrateMessage(DEV_MSG_OPEN, 0);
  pod.m_blCalibrateEnded = false;
  pod.m_blCalibrateBegun = false;
  pod.m_i64LampReadyMs = 0;
  pod.m_edevstsCalibrate = DEV_STS_SUCCESS;
  {
    CDbLockGuard dblockguard;
    pod.m_pdatabase->ConfigSetNumber("lampwarmuptime", 0, DB_CONFIGTARGET_COMMON);
  }
  if (CalibrateNeedsPaper()) {
    const EDEVSTS edevsts = CalibrateWaitForPaper();
    pod.m_edevstsCalibrate = edevsts;
    if (edevsts != DEV_STS_SUCCESS) return Status(edevsts);
  }
  const EDEVSTS edevsts = pod.m_pdevdevice->CalibrateBegin();
  long lWarmupSeconds;
  {
    CDbLockGuard dblockguard;
    lWarmupSeconds = static_cast<long>(pod.m_pdatabase->ConfigGetNumber("lampwarmuptime", DB_CONFIGTARGET_COMMON));
  }
  pod.m_i64LampReadyMs = NowMs() + static_cast<int64_t>(lWarmupSeconds) * 1000;
  pod.m_blCalibrateBegun = edevsts == DEV_STS_SUCCESS || edevsts == DEV_STS_LAMPSWARMINGUP;
  if (edevsts == DEV_STS_LAMPSWARMINGUP) {
    char szSeconds[32];
    std::snprintf(szSeconds, sizeof szSeconds, "%ld", lWarmupSeconds);
    SetDriverEvent(DEV_EVENT_LAMPSWARMING, szSeconds);
    pod.m_edevstsCalibrate = DEV_STS_SUCCESS;
    return OS_STS_SUCCESS;
  }
  pod.m_edevstsCalibrate = edevsts;
  if (edevsts != DEV_STS_SUCCESS) CalibrateMessage(DEV_MSG_ERROR, 0);
  return Status(edevsts);
}

// A feeder that starts by itself needs its paper first, but for a
// calibration that feeds none.
bool CDevImpl::CalibrateNeedsPaper() {
  {
    CDbLockGuard dblockguard;
    CDatabase& database = *pod.m_pdatabase;
    if (database.GetCurrentLongFromId(DB_ID_FIRMWARE) == DB_FIRMWARE_FLATBED ||
        database.GetCurrentLongFromId(DB_ID_TRANSPORTAUTOSTART) != DB_ID_TRANSPORTAUTOSTART_ENUM_TRUE ||
        database.GetCurrentLongFromId(DB_ID_CALIBRATIONTYPE) == DB_ID_CALIBRATIONTYPE_ENUM_LCDCONTRAST) {
      return false;
    }
  }
  return ScanIsFeederLoaded(false) == 1;
}

// 0 once paper arrives, 5 when CalibrateEnd came meanwhile, 1 when none came
// in time.
EDEVSTS CDevImpl::CalibrateWaitForPaper() {
  CDbLockRelease dblockrelease;
  const long lLimitMs = DevWaitLimit(DEV_WAIT_CALIBRATEPAPER);
  CalibrateMessage(DEV_MSG_WAITPAPER, lLimitMs / 1000);
  const int64_t i64Start = NowMs();
  for (;;) {
    if (pod.m_blCalibrateEnded) return DEV_STS_CANCEL;
    if (ScanIsFeederLoaded(false) != 1) return DEV_STS_SUCCESS;
    const int64_t i64Left = lLimitMs - (NowMs() - i64Start);
    if (i64Left <= 0) {
      OsLog(OS_LOG_ERROR, "CalibrateBegin: no paper in the feeder within %ld ms...", lLimitMs);
      CalibrateMessage(DEV_MSG_NOPAPER, 0);
      return DEV_STS_FAIL;
    }
    Sleep(std::min<int64_t>(DEV_POLL_CALIBRATE, i64Left));
  }
}

// The status reads busy before the thread starts: a CalibrateEnd that comes
// at once waits for it rather than ending calibration under its feet. A
// thread that ended by itself is joined first.
EOSSTS CDevImpl::CalibrateRun() {
  if (!pod.m_pdevdevice || GetDeviceStatus() != DEV_DEVICESTATUS_ONLINE) return OS_STS_FAIL;
  COsThread* posthread = pod.m_posthreadCalibrate;
  if (!posthread) {
    OsLog(OS_LOG_ERROR, "pod.m_posthreadCalibrate is null...");
    return OS_STS_FAIL;
  }
  if (posthread->GetStatus() == OS_THREADSTATUS_ALIVE) {
    OsLog(OS_LOG_ERROR, "CalibrateRun: a calibration is still running...");
    return OS_STS_FAIL;
  }
  StopThread(posthread);
  pod.m_edevstsCalibrate = DEV_STS_BUSY;
  if (posthread->Start("DriverCalibrate", CalibrateThreadProc, this) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "CalibrateRun: the thread did not start...");
    pod.m_edevstsCalibrate = DEV_STS_FAIL;
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

void* CDevImpl::CalibrateThreadProc(void* a_pvThread) {
  COsThread* posthread = nullptr;
  CDevImpl* pdevimpl = ThreadOwner(a_pvThread, posthread);
  if (!pdevimpl) return nullptr;
  pdevimpl->CalibrateThreadRun(*posthread);
  return nullptr;
}

// The lamps first, then the run and the device's end; the message is shown
// before the status leaves busy, so whoever waits for the status finds it.
void CDevImpl::CalibrateThreadRun(COsThread& a_osthread) {
  pod.m_edevstsCalibrate = DEV_STS_BUSY;
  if (!CalibrateWaitForLamps(a_osthread)) return;
  bool blTest;
  {
    CDbLockGuard dblockguard;
    blTest = pod.m_pdatabase->GetCurrentLongFromId(DB_ID_CALIBRATIONTYPE) ==
             DB_ID_CALIBRATIONTYPE_ENUM_MAGNIFICATIONTEST;
  }
  CalibrateMessage(blTest ? DEV_MSG_TESTING : DEV_MSG_CALIBRATING, 0);
  const EDEVSTS edevstsRun = pod.m_pdevdevice->CalibrateRun();
  pod.m_blCalibrateEnded = true;
  const EDEVSTS edevstsEnd = pod.m_pdevdevice->CalibrateEnd();
  EDEVSTS edevsts = DEV_STS_SUCCESS;
  EDEVMSG edevmsg = DEV_MSG_SUCCESS;
  if (edevstsRun == DEV_STS_DOUBLEDOCUMENT) {
    edevsts = DEV_STS_DOUBLEDOCUMENT;
    edevmsg = DEV_MSG_MULTIFEED;
  } else if (edevstsRun == DEV_STS_PAPERJAM) {
    edevsts = DEV_STS_PAPERJAM;
    edevmsg = DEV_MSG_JAM;
  } else if (edevstsRun != DEV_STS_SUCCESS || edevstsEnd != DEV_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DriverCalibrate: run %d, end %d...", static_cast<int>(edevstsRun),
          static_cast<int>(edevstsEnd));
    edevsts = DEV_STS_FAIL;
    edevmsg = DEV_MSG_ERROR;
  }
  CalibrateMessage(edevmsg, 0);
  pod.m_edevstsCalibrate = edevsts;
}

// True once the lamps are ready; false, with the status set, when the
// thread is told to stop (5) or given a command it does not know (1).
bool CDevImpl::CalibrateWaitForLamps(COsThread& a_osthread) {
  const int64_t i64Left = pod.m_i64LampReadyMs - NowMs();
  if (i64Left > s_i64WarmupMessageMs) CalibrateMessage(DEV_MSG_WARMUP, static_cast<long>((i64Left + 999) / 1000));
  for (;;) {
    const uint32_t u32Command = a_osthread.GetCommand();
    if (u32Command == s_u32Halt || u32Command == s_u32Stop) {
      pod.m_edevstsCalibrate = DEV_STS_CANCEL;
      return false;
    }
    if (u32Command != s_u32Run) {
      OsLog(OS_LOG_ERROR, "Unrecognized eosthreadcmd...%d", static_cast<int>(u32Command));
      pod.m_edevstsCalibrate = DEV_STS_FAIL;
      return false;
    }
    const int64_t i64Wait = pod.m_i64LampReadyMs - NowMs();
    if (i64Wait <= 0) return true;
    a_osthread.WaitForEvent(static_cast<long>(std::min<int64_t>(DEV_POLL_WORKER, i64Wait)));
  }
}

// Before the run it only ends calibration at the device; during the waits
// for paper or the lamps it makes them end with 5. A run that outlasts
// DEV_WAIT_CALIBRATEEND is left to its thread (joined at the next run or at
// teardown).
EOSSTS CDevImpl::CalibrateEnd() {
  if (!pod.m_pdevdevice || GetDeviceStatus() != DEV_DEVICESTATUS_ONLINE) return OS_STS_FAIL;
  CalibrateMessage(DEV_MSG_CLEAR, 0);
  if (pod.m_posthreadCalibrate) pod.m_posthreadCalibrate->SetCommand(s_u32Stop, true);
  {
    CDbLockRelease dblockrelease;
    const long lLimitMs = DevWaitLimit(DEV_WAIT_CALIBRATEEND);
    const int64_t i64Start = NowMs();
    while (pod.m_edevstsCalibrate == DEV_STS_BUSY) {
      const int64_t i64Left = lLimitMs - (NowMs() - i64Start);
      if (i64Left <= 0) {
        OsLog(OS_LOG_ERROR, "CalibrateEnd: the calibration did not end within %ld ms...", lLimitMs);
        return OS_STS_FAIL;
      }
      Sleep(std::min<int64_t>(DEV_POLL_CALIBRATE, i64Left));
    }
  }
  if (pod.m_blCalibrateEnded.exchange(true)) return OS_STS_SUCCESS;
  return Status(pod.m_pdevdevice->CalibrateEnd());
}

void CDevImpl::CalibrateStop() {
  if (pod.m_posthreadCalibrate) {
    pod.m_posthreadCalibrate->SetCommand(s_u32Stop, true);
    StopThread(pod.m_posthreadCalibrate);
  }
  if (pod.m_blCalibrateBegun && !pod.m_blCalibrateEnded.exchange(true)) pod.m_pdevdevice->CalibrateEnd();
}

EOSSTS CDevImpl::CalibrateReset() {
  if (!pod.m_pdevdevice || GetDeviceStatus() != DEV_DEVICESTATUS_ONLINE) return OS_STS_FAIL;
  return Status(pod.m_pdevdevice->CalibrateReset());
}

EDEVSTS CDevImpl::GetCalibrateStatus() { return pod.m_edevstsCalibrate; }

void CDevImpl::SetCalibrateStatus(EDEVSTS a_edevsts) { pod.m_edevstsCalibrate = a_edevsts; }
