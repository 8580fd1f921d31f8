// Diagnostics: a mode the outermost DiagnosticBegin and DiagnosticEnd enter
// and leave, in which "FwDiagnostic" cycles the mechanical functions whose
// diagnostic capability is set to "cycle"; single diagnostic runs and the
// scanner's inputs. The thread reads the database under its lock while the
// caller may set those capabilities, and lets the adapter take the lock for
// each run; it waits on its own event between passes, so a halt ends it at
// once.
#include <algorithm>
#include <chrono>
#include <iterator>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbdatum.h"
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
const char s_szModelDirectoryFlatbed[] = "modeldirectoryflatbed";

// The diagnostic capabilities forced to their defaults as the mode begins,
// in that order.
constexpr EDBID s_aedbidDefault[] = {
    DB_ID_DIAGCOOLINGFAN,      DB_ID_DIAGFEEDERCLUTCH,    DB_ID_DIAGFRONTLAMPS, DB_ID_DIAGREARLAMPS,
    DB_ID_DIAGREAREXIT,        DB_ID_DIAGFLATBED,         DB_ID_DIAGIMAGETEST,  DB_ID_DIAGLOCKCAMERA,
    DB_ID_DIAGTRANSPORTMOTOR,  DB_ID_DIAGBACKGROUNDFRONT, DB_ID_DIAGBACKGROUNDREAR, DB_ID_DIAGELEVATOR,
};

// The cycled capabilities in the order of a pass, each with its period.
struct DevDiagnosticCycle {
  EDBID edbid;
  int64_t i64PeriodMs;
};
constexpr DevDiagnosticCycle s_adevdiagnosticcycle[] = {
    {DB_ID_DIAGCOOLINGFAN, 3000},     {DB_ID_DIAGFEEDERCLUTCH, 3000},   {DB_ID_DIAGELEVATOR, 6000},
    {DB_ID_DIAGFRONTLAMPS, 3000},     {DB_ID_DIAGREARLAMPS, 3000},      {DB_ID_DIAGREAREXIT, 3000},
    {DB_ID_DIAGTRANSPORTMOTOR, 3000}, {DB_ID_DIAGFLATBED, 0},           {DB_ID_DIAGBACKGROUNDFRONT, 3000},
    {DB_ID_DIAGBACKGROUNDREAR, 3000},
};
constexpr size_t s_sizetCycles = std::size(s_adevdiagnosticcycle);

// What the thread keeps of one cycled capability.
struct DevDiagnosticStep {
  long lSent;          // the value last sent (its default at first)
  int64_t i64NextMs;   // the next step, 0 while it is not cycling
  bool blSupported;    // read for this pass
  long lCurrent;
};

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

EOSSTS Status(EDEVSTS a_edevsts) { return static_cast<EOSSTS>(a_edevsts); }

// The flatbed moves between home and end, the others between off and on
// (their first two values); false for a capability that is no cycled one.
bool CycleValues(EDBID a_edbid, long* a_plCycle, long* a_plLow, long* a_plHigh) {
  if (a_edbid < DB_ID_DIAGBACKGROUNDFRONT || a_edbid > DB_ID_DIAGTRANSPORTMOTOR || a_edbid == DB_ID_DIAGCLEANMODE ||
      a_edbid == DB_ID_DIAGIMAGETEST || a_edbid == DB_ID_DIAGLOCKCAMERA) {
    OsLog(OS_LOG_ERROR, "Unknown diagnostic ID %d...", static_cast<int>(a_edbid));
    return false;
  }
  const bool blFlatbed = a_edbid == DB_ID_DIAGFLATBED;
  *a_plCycle = blFlatbed ? DB_ID_DIAGFLATBED_ENUM_CYCLE : 3;
  *a_plLow = 1;
  *a_plHigh = blFlatbed ? DB_ID_DIAGFLATBED_ENUM_END : 2;
  return true;
}

// The pause before the next pass: the poll step, or less when a timed step
// falls due sooner (one without a period steps once a pass).
long DiagnosticPause(const DevDiagnosticStep (&a_adevdiagnosticstep)[s_sizetCycles]) {
  int64_t i64Pause = DEV_POLL_WORKER;
  const int64_t i64Now = NowMs();
  for (size_t i = 0; i < s_sizetCycles; ++i) {
    const DevDiagnosticStep& step = a_adevdiagnosticstep[i];
    if (step.i64NextMs != 0 && s_adevdiagnosticcycle[i].i64PeriodMs > 0)
      i64Pause = std::min(i64Pause, std::max<int64_t>(step.i64NextMs - i64Now, 1));
  }
  return static_cast<long>(i64Pause);
}

// One step of a cycled capability, its value read for this pass: while it
// is "cycle", the device is switched one period after it became so, then
// every period.
void DiagnosticStep(CDevDevice& a_devdevice, const DevDiagnosticCycle& a_devdiagnosticcycle,
                    DevDiagnosticStep& a_devdiagnosticstep) {
  DevDiagnosticStep& step = a_devdiagnosticstep;
  long lCycle = 0, lLow = 0, lHigh = 0;
  if (!step.blSupported || !CycleValues(a_devdiagnosticcycle.edbid, &lCycle, &lLow, &lHigh) ||
      step.lCurrent != lCycle) {
    step.i64NextMs = 0;
    return;
  }
  const int64_t i64Now = NowMs();
  const int64_t i64Period = a_devdiagnosticcycle.i64PeriodMs;
  if (step.i64NextMs == 0) step.i64NextMs = i64Now + i64Period;
  if (i64Now < step.i64NextMs) return;
  const long lValue = step.lSent == lLow ? lHigh : lLow;
  a_devdevice.DiagnosticRun(a_devdiagnosticcycle.edbid, lValue);
  step.lSent = lValue;
  // The steps keep their beat whatever the runs take; a thread held up past
  // a whole period starts a new one.
  step.i64NextMs += i64Period;
  if (step.i64NextMs <= i64Now) step.i64NextMs = i64Now + i64Period;
}

}  // namespace

EOSSTS CDevImpl::DiagnosticBegin(bool a_blSkipState) {
  if (!pod.m_pdevdevice || GetDeviceStatus() != DEV_DEVICESTATUS_ONLINE) return OS_STS_FAIL;
  bool blFlatbed;
  {
    CDbLockGuard dblockguard;
    CDatabase& database = *pod.m_pdatabase;
    database.ConfigSetNumber("diagruntimeout", 0, DB_CONFIGTARGET_COMMON);
    database.ConfigSetNumber("diagendtime", 0, DB_CONFIGTARGET_COMMON);
    if (!a_blSkipState) database.SetDbState(DB_STATE_DIAGNOSTIC);
    if (pod.m_lDiagnosticBegins >= 1) {
      ++pod.m_lDiagnosticBegins;
      return OS_STS_SUCCESS;
    }
    pod.m_lDiagnosticBegins = 1;
    DiagnosticForceDefaults(database);
    blFlatbed = database.ConfigExists(s_szModelDirectoryFlatbed, DB_CONFIGTARGET_COMMON);
  }
  EDEVSTS edevsts = pod.m_pdevdevice->DiagnosticBegin(DB_FIRMWARE_ADF);
  // A feeder that refused leaves the mode unentered: the next begin tries
  // again rather than counting on a mode the device never took.
  if (edevsts != DEV_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DiagnosticBegin: the feeder answered %d...", static_cast<int>(edevsts));
    CDbLockGuard dblockguard;
    pod.m_lDiagnosticBegins = 0;
    if (!a_blSkipState) pod.m_pdatabase->ClearDbState(DB_STATE_DIAGNOSTIC);
    return Status(edevsts);
  }
  if (blFlatbed) edevsts = pod.m_pdevdevice->DiagnosticBegin(DB_FIRMWARE_FLATBED);
  COsThread* posthread = pod.m_posthreadDiagnostic;
  if (!posthread) {
    OsLog(OS_LOG_ERROR, "pod.m_posthreadDiagnostic is null...");
  } else {
    // A thread left over from a mode that ended while it stopped by itself.
    StopThread(posthread);
    if (posthread->Start("FwDiagnostic", DiagnosticThreadProc, this) != OS_STS_SUCCESS)
      OsLog(OS_LOG_ERROR, "DiagnosticBegin: the thread did not start...");
  }
  return Status(edevsts);
}

// Under the database lock; the values count as the device's, so their
// callbacks send nothing.
void CDevImpl::DiagnosticForceDefaults(CDatabase& a_database) {
  const bool blUpdating = a_database.TestDbState(DB_STATE_DEVICEUPDATE) != 0;
  if (!blUpdating) a_database.SetDbState(DB_STATE_DEVICEUPDATE);
  for (EDBID edbid : s_aedbidDefault) {
    CDbDatum* pdbdatum = a_database.IsIdSupported(edbid) ? a_database.Find(edbid) : nullptr;
    if (pdbdatum) pdbdatum->ForceCurrentLong(pdbdatum->GetDefaultLong());
  }
  if (!blUpdating) a_database.ClearDbState(DB_STATE_DEVICEUPDATE);
}

void* CDevImpl::DiagnosticThreadProc(void* a_pvThread) {
  COsThread* posthread = nullptr;
  CDevImpl* pdevimpl = ThreadOwner(a_pvThread, posthread);
  if (!pdevimpl) return nullptr;
  pdevimpl->DiagnosticThreadRun(*posthread);
  return nullptr;
}

// Each pass reads the cycled capabilities under the database lock, then
// sends the steps that are due with it given up.
void CDevImpl::DiagnosticThreadRun(COsThread& a_osthread) {
  DevDiagnosticStep adevdiagnosticstep[s_sizetCycles] = {};
  {
    CDbLockGuard dblockguard;
    for (size_t i = 0; i < s_sizetCycles; ++i) {
      adevdiagnosticstep[i].lSent = pod.m_pdatabase->GetDefaultLongFromId(s_adevdiagnosticcycle[i].edbid);
    }
  }
  for (;;) {
    const uint32_t u32Command = a_osthread.GetCommand();
    if (u32Command == s_u32Halt || u32Command == s_u32Stop) break;
    if (u32Command != s_u32Run) {
      OsLog(OS_LOG_ERROR, "Unrecognized eosthreadcmd...%d", static_cast<int>(u32Command));
      break;
    }
    {
      CDbLockGuard dblockguard;
      for (size_t i = 0; i < s_sizetCycles; ++i) {
        const EDBID edbid = s_adevdiagnosticcycle[i].edbid;
        DevDiagnosticStep& step = adevdiagnosticstep[i];
        step.blSupported = pod.m_pdatabase->IsIdSupported(edbid);
        CDbDatum* pdbdatum = step.blSupported ? pod.m_pdatabase->Find(edbid) : nullptr;
        step.blSupported = pdbdatum != nullptr;
        step.lCurrent = pdbdatum ? pdbdatum->GetCurrentLongNoCallback() : 0;
      }
    }
    for (size_t i = 0; i < s_sizetCycles; ++i) {
      DiagnosticStep(*pod.m_pdevdevice, s_adevdiagnosticcycle[i], adevdiagnosticstep[i]);
    }
    a_osthread.WaitForEvent(DiagnosticPause(adevdiagnosticstep));
  }
}

EOSSTS CDevImpl::DiagnosticRun(const char* a_szCommand, const char* a_szArgument) {
  if (!pod.m_pdevdevice || GetDeviceStatus() != DEV_DEVICESTATUS_ONLINE) return OS_STS_FAIL;
  if (!a_szCommand || !a_szCommand[0]) {
    OsLog(OS_LOG_ERROR, "DiagnosticRun: no diagnostic type, nothing sent...");
    return OS_STS_FAIL;
  }
  const EDBID_FIRMWARE edbidfirmware = CurrentFirmware();
  pod.m_pdevdevice->DiagnosticBegin(edbidfirmware);
  const EDEVSTS edevsts = pod.m_pdevdevice->DiagnosticRun(a_szCommand, a_szArgument, nullptr);
  pod.m_pdevdevice->DiagnosticEnd(edbidfirmware);
  return Status(edevsts);
}

EOSSTS CDevImpl::DiagnosticGetInputResult(DeviceLog* a_pdevicelog) {
  if (!pod.m_pdevdevice || GetDeviceStatus() != DEV_DEVICESTATUS_ONLINE) return OS_STS_SUCCESS;
  {
    CDbLockGuard dblockguard;
    if (!pod.m_pdatabase->TestDbState(DB_STATE_DIAGNOSTIC)) return OS_STS_SUCCESS;
  }
  return Status(pod.m_pdevdevice->DiagnosticRun("diaggetinputs", nullptr, a_pdevicelog));
}

EOSSTS CDevImpl::DiagnosticEnd() {
  if (!pod.m_pdevdevice || GetDeviceStatus() != DEV_DEVICESTATUS_ONLINE) return OS_STS_FAIL;
  {
    CDbLockGuard dblockguard;
    if (pod.m_lDiagnosticBegins != 1) {
      if (pod.m_lDiagnosticBegins > 1) --pod.m_lDiagnosticBegins;
      return OS_STS_SUCCESS;
    }
    pod.m_lDiagnosticBegins = 0;
  }
  return Status(DiagnosticLeave());
}

EDEVSTS CDevImpl::DiagnosticLeave() {
  StopThread(pod.m_posthreadDiagnostic);
  bool blFlatbed;
  {
    CDbLockGuard dblockguard;
    blFlatbed = pod.m_pdatabase->ConfigExists(s_szModelDirectoryFlatbed, DB_CONFIGTARGET_COMMON);
  }
  EDEVSTS edevsts = pod.m_pdevdevice->DiagnosticEnd(DB_FIRMWARE_ADF);
  if (blFlatbed) edevsts = pod.m_pdevdevice->DiagnosticEnd(DB_FIRMWARE_FLATBED);
  CDbLockGuard dblockguard;
  pod.m_pdatabase->ClearDbState(DB_STATE_DIAGNOSTIC);
  return edevsts;
}

// The close's end of diagnostics, whatever the nesting: the device
// libraries are about to go.
void CDevImpl::DiagnosticStop() {
  bool blInMode;
  {
    CDbLockGuard dblockguard;
    blInMode = pod.m_lDiagnosticBegins > 0;
    pod.m_lDiagnosticBegins = 0;
  }
  if (blInMode) {
    DiagnosticLeave();
  } else {
    StopThread(pod.m_posthreadDiagnostic);
  }
}
