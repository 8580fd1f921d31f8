// The periodic callback timer of COsTime and its "Timer" thread.
#include "os_costimeimpl.h"

#include <cxxabi.h>

#include <new>

#include "os_coslog.h"
#include "os_cossync.h"
#include "os_costhread.h"

namespace {
constexpr long kOwnerStopMs = 70000;
// The longest single wait: the wait takes an unsigned 32-bit count and its
// largest value means "for ever".
constexpr int64_t kLongestPeriodMs = 0xFFFFFFFELL;
}  // namespace

COsTimeImpl::COsTimeImpl() : m_posthread(new (std::nothrow) COsThread()) {
  if (m_posthread) {
    OsLogDebug(OS_LOG_INFO, "mem>>> addr:%p  size:%7d  new %s", static_cast<void*>(m_posthread),
               static_cast<int>(sizeof(COsThread)), "COsThread");
  }
}

COsTimeImpl::~COsTimeImpl() {
  if (!m_posthread) return;
  OsLogDebug(OS_LOG_INFO, "mem>>> addr:%p delete-object", static_cast<void*>(m_posthread));
  // Stops a running timer thread.
  delete m_posthread;
  m_posthread = nullptr;
}

void COsTimeImpl::Store(int64_t a_i64PeriodMs, OsTimerCallback a_oscallbackTimer, void* a_pvArg) {
  COsSync::SpinLock(&m_pvSettingsWord);
  m_i64PeriodMs = a_i64PeriodMs;
  m_oscallbackTimer = a_oscallbackTimer;
  m_pvArg = a_pvArg;
  COsSync::SpinUnlock(&m_pvSettingsWord);
}

void COsTimeImpl::Load(int64_t* a_pi64PeriodMs, OsTimerCallback* a_poscallbackTimer, void** a_ppvArg) {
  COsSync::SpinLock(&m_pvSettingsWord);
  if (a_pi64PeriodMs) *a_pi64PeriodMs = m_i64PeriodMs;
  if (a_poscallbackTimer) *a_poscallbackTimer = m_oscallbackTimer;
  if (a_ppvArg) *a_ppvArg = m_pvArg;
  COsSync::SpinUnlock(&m_pvSettingsWord);
}

EOSSTS COsTimeImpl::TimerStart(int64_t a_i64PeriodMs, OsTimerCallback a_oscallbackTimer, void* a_pvArg) {
  if (a_i64PeriodMs < 1) {
    OsLog(OS_LOG_ASSERT, "we don't timetravel, and we don't do a timer of 0...");
    return OS_STS_FAIL;
  }
  if (!a_oscallbackTimer) {
    OsLog(OS_LOG_ASSERT, "a_oscallbackTimer is null");
    return OS_STS_FAIL;
  }
  if (!m_posthread) {
    OsLog(OS_LOG_ASSERT, "m_posthread is null...");
    return OS_STS_FAIL;
  }
  // Refused before anything is stored: a running timer keeps its callback.
  if (m_posthread->GetState() != OS_THREADSTATE_NOTRUNNING) {
    OsLog(OS_LOG_ERROR, "There's already a timer started on this object...");
    return OS_STS_FAIL;
  }
  // A timer that ended by itself is joined here, so that it can start again.
  m_posthread->Stop(false, kOwnerStopMs);
  Store(a_i64PeriodMs, a_oscallbackTimer, a_pvArg);
  EOSSTS eossts = m_posthread->Start("Timer", OsTimerProcStart, this);
  if (eossts != OS_STS_SUCCESS) Store(0, nullptr, nullptr);
  return eossts;
}

EOSSTS COsTimeImpl::TimerStop() {
  if (m_posthread) m_posthread->SetCommand(OS_THREADCMD_HALT, true);
  return OS_STS_SUCCESS;
}

int COsTimeImpl::TimerStatus() { return m_posthread ? m_posthread->GetStatus() : OS_THREADSTATUS_ENDED; }

OsTimerCallback COsTimeImpl::TimerGetCallBack() {
  OsTimerCallback oscallbackTimer = nullptr;
  Load(nullptr, &oscallbackTimer, nullptr);
  return oscallbackTimer;
}

void* COsTimeImpl::TimerGetArg() {
  void* pvArg = nullptr;
  Load(nullptr, nullptr, &pvArg);
  return pvArg;
}

bool COsTimeImpl::RunPeriods(COsThread* a_posthread) {
  while (a_posthread->GetCommand() == OS_THREADCMD_NONE) {
    int64_t i64PeriodMs = 0;
    Load(&i64PeriodMs, nullptr, nullptr);
    EOSSTS eossts = a_posthread->WaitForEvent(static_cast<long>(i64PeriodMs < kLongestPeriodMs ? i64PeriodMs
                                                                                              : kLongestPeriodMs));
    if (a_posthread->GetCommand() != OS_THREADCMD_NONE) break;
    if (eossts == OS_STS_FAIL) {
      OsLog(OS_LOG_ERROR, "OsTimerProcStart failed...");
      break;
    }
    if (eossts == OS_STS_SUCCESS) break;  // the event was set without a command
    if (eossts != OS_STS_TIMEOUT) {
      OsLog(OS_LOG_ERROR, "OsTimerProcStart unknown error...%d", static_cast<int>(eossts));
      break;
    }
    OsLogDebug(OS_LOG_INFO, "OsTimerProcStart running callback...");
    OsTimerCallback oscallbackTimer = nullptr;
    void* pvArg = nullptr;
    Load(nullptr, &oscallbackTimer, &pvArg);
    if (oscallbackTimer && oscallbackTimer(pvArg) != OS_STS_SUCCESS) {
      OsLogDebug(OS_LOG_INFO, "OsTimerProcStart ended by callback...");
      return true;
    }
  }
  return false;
}

// The forced unwind of a cancellation has no C++ object behind the
// reference that catches it: the null check would take it for a fault.
__attribute__((no_sanitize("null"))) void* COsTimeImpl::OsTimerProcStart(void* a_pvThread) {
  OsLogDebug(OS_LOG_INFO, "OsTimerProcStart started...");
  COsThread* posthread = static_cast<COsThread*>(a_pvThread);
  COsTimeImpl* postimeimpl = posthread ? static_cast<COsTimeImpl*>(posthread->GetArg()) : nullptr;
  if (!postimeimpl) {
    OsLog(OS_LOG_ASSERT, "a_pvArg is NULL...");
    if (posthread) posthread->Exit();
    return nullptr;
  }
  bool blByCallback = false;
  try {
    blByCallback = postimeimpl->RunPeriods(posthread);
  } catch (abi::__forced_unwind&) {
    throw;  // a cancellation unwinds on
  } catch (...) {
    OsLog(OS_LOG_ERROR, "Exception in OsTimerProcStart...");
    blByCallback = true;  // no "exiting" line after this one
  }
  if (!blByCallback) OsLogDebug(OS_LOG_INFO, "OsTimerProcStart exiting...");
  postimeimpl->Store(0, nullptr, nullptr);
  posthread->Exit();
  return nullptr;
}

// ---------------------------------------------------------------------------
// The timer operations of COsTime.

COsTime::COsTime() : m_postimeimpl(new (std::nothrow) COsTimeImpl()) {
  if (m_postimeimpl) {
    OsLogDebug(OS_LOG_INFO, "mem>>> addr:%p  size:%7d  new %s", static_cast<void*>(m_postimeimpl),
               static_cast<int>(sizeof(COsTimeImpl)), "COsTimeImpl");
  }
}

COsTime::~COsTime() {
  if (!m_postimeimpl) return;
  OsLogDebug(OS_LOG_INFO, "mem>>> addr:%p delete-object", static_cast<void*>(m_postimeimpl));
  delete m_postimeimpl;
  m_postimeimpl = nullptr;
}

EOSSTS COsTime::TimerStart(int64_t a_i64PeriodMs, OsTimerCallback a_oscallbackTimer, void* a_pvArg) {
  if (!m_postimeimpl) {
    OsLog(OS_LOG_ASSERT, "m_postimeimpl is null...");
    return OS_STS_FAIL;
  }
  return m_postimeimpl->TimerStart(a_i64PeriodMs, a_oscallbackTimer, a_pvArg);
}

EOSSTS COsTime::TimerStop() {
  if (m_postimeimpl) m_postimeimpl->TimerStop();
  return OS_STS_SUCCESS;
}

int COsTime::TimerStatus() { return m_postimeimpl ? m_postimeimpl->TimerStatus() : OS_THREADSTATUS_ENDED; }

OsTimerCallback COsTime::TimerGetCallBack() { return m_postimeimpl ? m_postimeimpl->TimerGetCallBack() : nullptr; }

void* COsTime::TimerGetArg() { return m_postimeimpl ? m_postimeimpl->TimerGetArg() : nullptr; }
