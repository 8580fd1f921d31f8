// The timer behind a COsTime object: a "Timer" thread that calls one
// callback every period until it is stopped or the callback says so.
#pragma once

#include <cstdint>

#include "os_costime.h"

class COsThread;

class COsTimeImpl {
 public:
  COsTimeImpl();
  ~COsTimeImpl();
  COsTimeImpl(const COsTimeImpl&) = delete;
  COsTimeImpl& operator=(const COsTimeImpl&) = delete;

  EOSSTS TimerStart(int64_t a_i64PeriodMs, OsTimerCallback a_oscallbackTimer, void* a_pvArg);
  EOSSTS TimerStop();
  int TimerStatus();
  OsTimerCallback TimerGetCallBack();
  void* TimerGetArg();

 private:
  // The timer thread's procedure; its argument is this object.
  static void* OsTimerProcStart(void* a_pvThread);
  // Runs the periods; true when the callback ended the timer.
  bool RunPeriods(COsThread* a_posthread);
  void Store(int64_t a_i64PeriodMs, OsTimerCallback a_oscallbackTimer, void* a_pvArg);
  void Load(int64_t* a_pi64PeriodMs, OsTimerCallback* a_poscallbackTimer, void** a_ppvArg);

  COsThread* m_posthread;
  // Period, callback and argument change together under this spin word.
  void volatile* m_pvSettingsWord = nullptr;
  int64_t m_i64PeriodMs = 0;
  OsTimerCallback m_oscallbackTimer = nullptr;
  void* m_pvArg = nullptr;
};
