// The timer of COsTime: a callback run N times or once, stopped on request,
// the refusals, a restart after the timer ended, an exception in the
// callback, and a running timer that goes with its object.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include "log_capture.h"
#include "os_costhread.h"
#include "os_costime.h"

namespace {

template <typename Condition>
bool Eventually(Condition a_condition, long a_lLimitMs = 10000) {
  for (long lWaited = 0; lWaited < a_lLimitMs; lWaited += 5) {
    if (a_condition()) return true;
    COsTime::Sleep(5);
  }
  return a_condition();
}

struct Counter {
  std::atomic<int> iCalls{0};
  int iEndAfter = 0;  // 0: never ends by itself
  std::atomic<uint64_t> u64Thread{0};
};

EOSSTS CountCalls(void* a_pvArg) {
  Counter* pcounter = static_cast<Counter*>(a_pvArg);
  pcounter->u64Thread = COsThread::GetThreadId();
  int iCalls = ++pcounter->iCalls;
  return pcounter->iEndAfter != 0 && iCalls >= pcounter->iEndAfter ? OS_STS_FAIL : OS_STS_SUCCESS;
}

EOSSTS Throw(void*) { throw std::runtime_error("from the callback"); }

EOSSTS Other(void*) { return OS_STS_SUCCESS; }

bool TaskGone(uint64_t a_u64ThreadId) { return a_u64ThreadId != 0 && !COsThread::IsOwnThreadRunning(a_u64ThreadId); }

TEST(Timer, RunsNTimesOrOnceThenEnds) {
  testsupport::LogCapture logcapture;
  for (int iTimes : {1, 4}) {
    SCOPED_TRACE(iTimes);
    COsTime ostime;
    Counter counter;
    counter.iEndAfter = iTimes;
    ASSERT_EQ(ostime.TimerStart(5, CountCalls, &counter), OS_STS_SUCCESS);
    ASSERT_TRUE(Eventually([&] { return ostime.TimerStatus() == OS_THREADSTATUS_ENDED; }));
    EXPECT_EQ(counter.iCalls, iTimes);
    EXPECT_NE(counter.u64Thread, COsThread::GetThreadId());  // on the timer's own thread
    EXPECT_EQ(ostime.TimerGetCallBack(), nullptr);         // cleared at the end
    EXPECT_EQ(ostime.TimerGetArg(), nullptr);
    COsTime::Sleep(30);
    EXPECT_EQ(counter.iCalls, iTimes);
  }
  EXPECT_TRUE(logcapture.Contains("OsTimerProcStart ended by callback..."));
}

TEST(Timer, PeriodicUntilStopped) {
  testsupport::LogCapture logcapture;
  COsTime ostime;
  EXPECT_EQ(ostime.TimerStop(), OS_STS_SUCCESS);  // idle: nothing changes
  EXPECT_EQ(ostime.TimerStatus(), OS_THREADSTATUS_ENDED);
  Counter counter;
  ASSERT_EQ(ostime.TimerStart(2, CountCalls, &counter), OS_STS_SUCCESS);
  EXPECT_EQ(ostime.TimerStatus(), OS_THREADSTATUS_ALIVE);
  EXPECT_EQ(ostime.TimerGetCallBack(), &CountCalls);
  EXPECT_EQ(ostime.TimerGetArg(), &counter);
  ASSERT_TRUE(Eventually([&] { return counter.iCalls >= 5; }));
  EXPECT_EQ(ostime.TimerStop(), OS_STS_SUCCESS);
  ASSERT_TRUE(Eventually([&] { return ostime.TimerStatus() == OS_THREADSTATUS_ENDED; }));
  int iCalls = counter.iCalls;
  COsTime::Sleep(30);
  EXPECT_EQ(counter.iCalls, iCalls);
  EXPECT_TRUE(logcapture.Contains("OsTimerProcStart exiting..."));
  EXPECT_TRUE(TaskGone(counter.u64Thread));
}

TEST(Timer, StopEndsALongWaitAtOnce) {
  COsTime ostime;
  Counter counter;
  ASSERT_EQ(ostime.TimerStart(3600000, CountCalls, &counter), OS_STS_SUCCESS);
  EXPECT_EQ(ostime.TimerStop(), OS_STS_SUCCESS);
  ASSERT_TRUE(Eventually([&] { return ostime.TimerStatus() == OS_THREADSTATUS_ENDED; }));
  EXPECT_EQ(counter.iCalls, 0);
}

TEST(Timer, RefusesBadArgumentsAndASecondTimer) {
  testsupport::LogCapture logcapture;
  COsTime ostime;
  Counter counter;
  EXPECT_EQ(ostime.TimerStart(0, CountCalls, &counter), OS_STS_FAIL);
  EXPECT_EQ(ostime.TimerStart(-5, CountCalls, &counter), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("we don't timetravel, and we don't do a timer of 0..."));
  EXPECT_EQ(ostime.TimerStart(10, nullptr, &counter), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("a_oscallbackTimer is null"));
  EXPECT_EQ(ostime.TimerGetCallBack(), nullptr);
  ASSERT_EQ(ostime.TimerStart(3600000, CountCalls, &counter), OS_STS_SUCCESS);
  int iOther = 0;
  EXPECT_EQ(ostime.TimerStart(10, Other, &iOther), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("There's already a timer started on this object..."));
  // The running timer keeps its own callback and argument.
  EXPECT_EQ(ostime.TimerGetCallBack(), &CountCalls);
  EXPECT_EQ(ostime.TimerGetArg(), &counter);
}

TEST(Timer, StartsAgainAfterItEnded) {
  COsTime ostime;
  Counter counterFirst;
  counterFirst.iEndAfter = 1;
  ASSERT_EQ(ostime.TimerStart(5, CountCalls, &counterFirst), OS_STS_SUCCESS);
  ASSERT_TRUE(Eventually([&] { return ostime.TimerStatus() == OS_THREADSTATUS_ENDED; }));
  Counter counterSecond;
  counterSecond.iEndAfter = 2;
  ASSERT_EQ(ostime.TimerStart(5, CountCalls, &counterSecond), OS_STS_SUCCESS);
  ASSERT_TRUE(Eventually([&] { return ostime.TimerStatus() == OS_THREADSTATUS_ENDED; }));
  EXPECT_EQ(counterFirst.iCalls, 1);
  EXPECT_EQ(counterSecond.iCalls, 2);
  EXPECT_TRUE(TaskGone(counterFirst.u64Thread));
}

TEST(Timer, ExceptionInTheCallbackEndsTheTimer) {
  testsupport::LogCapture logcapture;
  COsTime ostime;
  ASSERT_EQ(ostime.TimerStart(5, Throw, nullptr), OS_STS_SUCCESS);
  ASSERT_TRUE(Eventually([&] { return ostime.TimerStatus() == OS_THREADSTATUS_ENDED; }));
  EXPECT_TRUE(logcapture.Contains("Exception in OsTimerProcStart..."));
  EXPECT_FALSE(logcapture.Contains("thr>>> thread crash detected..."));
}

TEST(Timer, ObjectTakesItsRunningTimerAlong) {
  Counter counter;
  {
    COsTime ostime;
    ASSERT_EQ(ostime.TimerStart(2, CountCalls, &counter), OS_STS_SUCCESS);
    ASSERT_TRUE(Eventually([&] { return counter.iCalls >= 2; }));
  }
  int iCalls = counter.iCalls;
  EXPECT_TRUE(TaskGone(counter.u64Thread));
  COsTime::Sleep(20);
  EXPECT_EQ(counter.iCalls, iCalls);
}

}  // namespace
