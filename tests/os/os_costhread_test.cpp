// Threads: how a thread's life ends (Exit, an exception, Stop, cancellation,
// a plain return), the start refusals, the command handshake over the
// thread's event, stopping from the thread itself, ThreadWait, ids and
// processor affinity.
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "log_capture.h"
#include "os_costhread.h"
#include "os_costime.h"
#include "test_support.h"

namespace {

// Waits up to the limit for the condition; true when it came.
template <typename Condition>
bool Eventually(Condition a_condition, long a_lLimitMs = 10000) {
  for (long lWaited = 0; lWaited < a_lLimitMs; lWaited += 5) {
    if (a_condition()) return true;
    COsTime::Sleep(5);
  }
  return a_condition();
}

bool TaskGone(uint64_t a_u64ThreadId) {
  return a_u64ThreadId != 0 && !COsThread::IsOwnThreadRunning(a_u64ThreadId) &&
         !testsupport::FileExists("/proc/self/task/" + std::to_string(a_u64ThreadId));
}

// What a procedure shares with its test.
struct Shared {
  std::atomic<int> iDestructors{0};  // objects of the procedure's frames destroyed
  std::atomic<int> iHalts{0};        // halts the procedure saw
  std::atomic<uint64_t> u64Tid{0};   // the id the thread itself reads
  std::mutex mutex;                  // held by the procedure while it runs
};

struct Frame {
  explicit Frame(Shared* a_pshared) : m_pshared(a_pshared) {}
  ~Frame() { m_pshared->iDestructors++; }
  Shared* m_pshared;
};

Shared* SharedOf(void* a_pvThread) { return static_cast<Shared*>(static_cast<COsThread*>(a_pvThread)->GetArg()); }

// Ends itself with Exit inside a lock and an object with a destructor.
void* ProcExit(void* a_pvThread) {
  COsThread* posthread = static_cast<COsThread*>(a_pvThread);
  Shared* pshared = SharedOf(a_pvThread);
  pshared->u64Tid = COsThread::GetThreadId();
  std::lock_guard<std::mutex> lock(pshared->mutex);
  Frame frame(pshared);
  posthread->Exit();
  ADD_FAILURE() << "Exit returned";
  return nullptr;
}

void* ProcThrow(void* a_pvThread) {
  Shared* pshared = SharedOf(a_pvThread);
  pshared->u64Tid = COsThread::GetThreadId();
  Frame frame(pshared);
  throw std::runtime_error("thrown by the procedure");
}

// Works until the halt, then ends with Exit.
void* ProcUntilHalt(void* a_pvThread) {
  COsThread* posthread = static_cast<COsThread*>(a_pvThread);
  Shared* pshared = SharedOf(a_pvThread);
  pshared->u64Tid = COsThread::GetThreadId();
  Frame frame(pshared);
  for (int i = 0; i < 100000 && posthread->GetCommand() == OS_THREADCMD_NONE; i++) posthread->WaitForEvent(-1);
  if (posthread->GetCommand() == OS_THREADCMD_HALT) pshared->iHalts++;
  posthread->Exit();
  return nullptr;
}

// Ignores the halt and sleeps: only a cancellation ends it. It sleeps with
// usleep itself: GCC 12's AddressSanitizer misreports a cancellation that
// unwinds through a frame whose locals had their address taken.
void* ProcIgnoreHaltSleeping(void* a_pvThread) {
  Shared* pshared = SharedOf(a_pvThread);
  pshared->u64Tid = COsThread::GetThreadId();
  Frame frame(pshared);
  for (int i = 0; i < 6000; i++) usleep(10000);
  return nullptr;
}

// Ignores the halt and waits on its event again and again.
void* ProcIgnoreHaltWaiting(void* a_pvThread) {
  COsThread* posthread = static_cast<COsThread*>(a_pvThread);
  Shared* pshared = SharedOf(a_pvThread);
  pshared->u64Tid = COsThread::GetThreadId();
  Frame frame(pshared);
  for (int i = 0; i < 1000; i++) posthread->WaitForEvent(-1);
  return nullptr;
}

// Returns at once without Exit.
void* ProcReturn(void* a_pvThread) {
  Shared* pshared = SharedOf(a_pvThread);
  pshared->u64Tid = COsThread::GetThreadId();
  Frame frame(pshared);
  return nullptr;
}

// How one life ends and what it leaves.
struct Life {
  const char* szName;
  OsThreadProc osthreadproc;
  bool blEndsByItself;       // the thread ends without a Stop
  uint32_t u32StateEnded;    // the state once it ended by itself
  long lStopMs;              // the Stop that ends it otherwise
  const char* szLogged;      // a line the end writes
  int iHalts;                // halts the procedure saw
};

const Life s_alife[] = {
    {"exit", ProcExit, true, OS_THREADSTATE_NOTRUNNING, 70000, "thr>>> Exiting...<exit>", 0},
    {"exception", ProcThrow, true, OS_THREADSTATE_NOTRUNNING, 70000, "thr>>> thread crash detected...", 0},
    {"return", ProcReturn, true, OS_THREADSTATE_STARTED, 70000, "thr>>> stopping...<return>", 0},
    {"stop", ProcUntilHalt, false, 0, 70000, "thr>>> request the halt...", 1},
    {"stop0", ProcIgnoreHaltSleeping, false, 0, 0,
     "thr>>> something is wrong, a thread we asked to stop isn't terminating, so we're terminating it...<stop0>", 0},
    {"cancelsleeping", ProcIgnoreHaltSleeping, false, 0, 100,
     "thr>>> something is wrong, a thread we asked to stop isn't terminating, so we're terminating it...<cancelsleeping>",
     0},
    {"cancelwaiting", ProcIgnoreHaltWaiting, false, 0, 100,
     "thr>>> something is wrong, a thread we asked to stop isn't terminating, so we're terminating it...<cancelwaiting>",
     0},
};

TEST(ThreadLife, EachEndLeavesTheStateAndNoThreadBehind) {
  testsupport::LogCapture logcapture;
  for (const Life& life : s_alife) {
    SCOPED_TRACE(life.szName);
    Shared shared;
    COsThread osthread;
    ASSERT_EQ(osthread.Start(life.szName, life.osthreadproc, &shared), OS_STS_SUCCESS);
    ASSERT_TRUE(Eventually([&] { return shared.u64Tid != 0; }));
    EXPECT_EQ(osthread.GetId(), shared.u64Tid.load());
    if (life.blEndsByItself) {
      ASSERT_TRUE(Eventually([&] { return osthread.GetStatus() == OS_THREADSTATUS_ENDED; }));
      EXPECT_EQ(osthread.GetState(), life.u32StateEnded);
      EXPECT_EQ(osthread.ThreadWait(5000), OS_STS_SUCCESS);
    } else {
      EXPECT_EQ(osthread.GetStatus(), OS_THREADSTATUS_ALIVE);
      EXPECT_EQ(osthread.Stop(false, life.lStopMs), OS_STS_SUCCESS);
    }
    EXPECT_EQ(osthread.GetState(), OS_THREADSTATE_NOTRUNNING);
    EXPECT_EQ(osthread.GetCommand(), OS_THREADCMD_NONE);
    EXPECT_EQ(osthread.GetStatus(), OS_THREADSTATUS_ENDED);
    EXPECT_TRUE(TaskGone(shared.u64Tid));
    // The procedure's frames were unwound and its lock released.
    EXPECT_EQ(shared.iDestructors, 1);
    EXPECT_TRUE(shared.mutex.try_lock());
    shared.mutex.unlock();
    EXPECT_EQ(shared.iHalts, life.iHalts);
    EXPECT_TRUE(logcapture.Contains(life.szLogged)) << life.szLogged;
    // The object starts again after every kind of end.
    Shared sharedAgain;
    ASSERT_EQ(osthread.Start(life.szName, ProcUntilHalt, &sharedAgain), OS_STS_SUCCESS);
    osthread.Stop(false, 70000);
    EXPECT_EQ(sharedAgain.iHalts, 1);
    EXPECT_TRUE(TaskGone(sharedAgain.u64Tid));
  }
}

TEST(ThreadLife, DestructorStopsARunningThread) {
  Shared shared;
  {
    COsThread osthread;
    ASSERT_EQ(osthread.Start("owned", ProcUntilHalt, &shared), OS_STS_SUCCESS);
  }
  EXPECT_EQ(shared.iHalts, 1);
  EXPECT_TRUE(TaskGone(shared.u64Tid));
}

TEST(ThreadStart, RefusesNullProcedureAndSecondStart) {
  testsupport::LogCapture logcapture;
  COsThread osthread;
  EXPECT_EQ(osthread.Start("nullproc", nullptr, nullptr), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(osthread.Start(nullptr, nullptr, nullptr), OS_STS_BAD_ARGUMENT);
  EXPECT_TRUE(logcapture.Contains("thr>>> a_osthreadproc is NULL...<nullproc>"));
  EXPECT_TRUE(logcapture.Contains("thr>>> a_osthreadproc is NULL...<noname>"));
  EXPECT_EQ(osthread.GetState(), OS_THREADSTATE_NOTRUNNING);

  Shared shared;
  ASSERT_EQ(osthread.Start(nullptr, ProcUntilHalt, &shared), OS_STS_SUCCESS);
  EXPECT_STREQ(osthread.GetName(), "noname");
  EXPECT_EQ(osthread.GetArg(), &shared);
  Shared sharedSecond;
  EXPECT_EQ(osthread.Start("second", ProcUntilHalt, &sharedSecond), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("thr>>> you're already running this thread...<second>"));
  EXPECT_EQ(osthread.GetArg(), &shared);
  osthread.Stop(false, 70000);
  EXPECT_EQ(shared.iHalts, 1);
  EXPECT_EQ(sharedSecond.u64Tid, 0u);
}

TEST(ThreadStart, EndedThreadMustBeStoppedBeforeItStartsAgain) {
  testsupport::LogCapture logcapture;
  COsThread osthread;
  Shared shared;
  ASSERT_EQ(osthread.Start("ended", ProcExit, &shared), OS_STS_SUCCESS);
  ASSERT_TRUE(Eventually([&] { return osthread.GetStatus() == OS_THREADSTATUS_ENDED; }));
  Shared sharedAgain;
  EXPECT_EQ(osthread.Start("again", ProcUntilHalt, &sharedAgain), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("thr>>> EventCreate failed..."));
  EXPECT_EQ(osthread.ThreadWait(1000), OS_STS_SUCCESS);
  EXPECT_TRUE(TaskGone(shared.u64Tid));
  EXPECT_EQ(osthread.Start("again", ProcUntilHalt, &sharedAgain), OS_STS_SUCCESS);
  osthread.Stop(false, 70000);
}

// Keeps the calling thread, and the threads it starts, on one processor.
class OneProcessor {
 public:
  OneProcessor() {
    sched_getaffinity(0, sizeof m_cpusetOld, &m_cpusetOld);
    cpu_set_t cpusetOne;
    CPU_ZERO(&cpusetOne);
    for (int i = 0; i < CPU_SETSIZE; i++) {
      if (CPU_ISSET(i, &m_cpusetOld)) {
        CPU_SET(i, &cpusetOne);
        break;
      }
    }
    sched_setaffinity(0, sizeof cpusetOne, &cpusetOne);
  }
  ~OneProcessor() { sched_setaffinity(0, sizeof m_cpusetOld, &m_cpusetOld); }

 private:
  cpu_set_t m_cpusetOld;
};

// Start must report success for a procedure that ends before the starter
// sees it running: the thread did start. Run on one processor and many times,
// so the new thread often finishes in the middle of the starter's checks.
void* ProcExitAtOnce(void* a_pvThread) {
  static_cast<COsThread*>(a_pvThread)->Exit();
  return nullptr;
}

TEST(ThreadStart, ProcedureEndingAtOnceStillStarted) {
  OneProcessor oneprocessor;
  int iFailed = 0;
  for (int i = 0; i < 300; i++) {
    COsThread osthread;
    if (osthread.Start("atonce", ProcExitAtOnce, nullptr) != OS_STS_SUCCESS) iFailed++;
    osthread.ThreadWait(-1);
  }
  EXPECT_EQ(iFailed, 0);
}

TEST(ThreadStart, StartLimitStopsAThreadThatDidNotReportItself) {
  testsupport::LogCapture logcapture;
  // With no time at all to report, the start fails unless the new thread
  // was quicker than the first look; either way nothing is left behind.
  COsThread::SetStartLimit(0);
  int iFailures = 0;
  for (int i = 0; i < 20 && iFailures == 0; i++) {
    COsThread osthread;
    Shared shared;
    EOSSTS eossts = osthread.Start("hurried", ProcUntilHalt, &shared);
    if (eossts == OS_STS_FAIL) {
      iFailures++;
      EXPECT_EQ(osthread.GetState(), OS_THREADSTATE_NOTRUNNING);
      EXPECT_EQ(osthread.GetStatus(), OS_THREADSTATUS_ENDED);
      if (shared.u64Tid != 0) {
        EXPECT_TRUE(TaskGone(shared.u64Tid));
      }
    } else {
      ASSERT_EQ(eossts, OS_STS_SUCCESS);
    }
  }
  COsThread::SetStartLimit(-1);
  EXPECT_GT(iFailures, 0);
  EXPECT_TRUE(logcapture.Contains("thr>>> pthread_create failed...0 "));
}

// A procedure that handles user command 5 and holds it until the test lets
// it go, so that a second command finds it pending.
struct CommandShared {
  std::atomic<int> iFives{0};
  std::atomic<bool> blRelease{false};
};

void* ProcCommands(void* a_pvThread) {
  COsThread* posthread = static_cast<COsThread*>(a_pvThread);
  CommandShared* pshared = static_cast<CommandShared*>(posthread->GetArg());
  for (int i = 0; i < 100000; i++) {
    posthread->WaitForEvent(-1);
    uint32_t u32Command = posthread->GetCommand();
    if (u32Command == OS_THREADCMD_HALT) break;
    if (u32Command == 5) {
      pshared->iFives++;
      while (!pshared->blRelease) COsTime::Sleep(1);
      pshared->blRelease = false;
      posthread->SetCommand(OS_THREADCMD_NONE, false);
    }
  }
  posthread->Exit();
  return nullptr;
}

TEST(ThreadCommand, HandshakeRefusesPendingCommandAndStoppedThread) {
  COsThread osthread;
  EXPECT_EQ(osthread.SetCommand(5, true), OS_STS_FAIL);  // not running
  CommandShared shared;
  ASSERT_EQ(osthread.Start("commands", ProcCommands, &shared), OS_STS_SUCCESS);
  EXPECT_EQ(osthread.SetCommand(5, true), OS_STS_SUCCESS);
  ASSERT_TRUE(Eventually([&] { return shared.iFives == 1; }));
  EXPECT_EQ(osthread.SetCommand(6, true), OS_STS_BUSY);
  EXPECT_EQ(osthread.GetCommand(), 5u);
  shared.blRelease = true;
  ASSERT_TRUE(Eventually([&] { return osthread.GetCommand() == OS_THREADCMD_NONE; }));
  EXPECT_EQ(osthread.SetCommand(5, true), OS_STS_SUCCESS);
  ASSERT_TRUE(Eventually([&] { return shared.iFives == 2; }));
  shared.blRelease = true;
  ASSERT_TRUE(Eventually([&] { return osthread.GetCommand() == OS_THREADCMD_NONE; }));
  osthread.Stop(false, 70000);
  EXPECT_EQ(osthread.GetCommand(), OS_THREADCMD_NONE);
  EXPECT_EQ(osthread.SetCommand(5, true), OS_STS_FAIL);
  // Without the signal flag the command is only stored.
  EXPECT_EQ(osthread.SetCommand(7, false), OS_STS_SUCCESS);
  EXPECT_EQ(osthread.GetCommand(), 7u);
}

// Waits with the given time and reports the answers.
struct WaitShared {
  std::atomic<int> iFirst{-1};
  std::atomic<int> iSecond{-1};
  std::atomic<bool> blGo{false};
};

void* ProcWaitTwice(void* a_pvThread) {
  COsThread* posthread = static_cast<COsThread*>(a_pvThread);
  WaitShared* pshared = static_cast<WaitShared*>(posthread->GetArg());
  while (!pshared->blGo) COsTime::Sleep(1);
  pshared->iFirst = posthread->WaitForEvent(30);
  pshared->iSecond = posthread->WaitForEvent(30);
  posthread->Exit();
  return nullptr;
}

TEST(ThreadCommand, EventSetResetAndTimeOut) {
  testsupport::LogCapture logcapture;
  struct Case {
    const char* szName;
    int iSet;  // -1 none, 1 set, 0 set then reset
    EOSSTS eosstsFirst;
  };
  const Case acase[] = {{"none", -1, OS_STS_TIMEOUT}, {"set", 1, OS_STS_SUCCESS}, {"reset", 0, OS_STS_TIMEOUT}};
  for (const Case& c : acase) {
    SCOPED_TRACE(c.szName);
    COsThread osthread;
    WaitShared shared;
    ASSERT_EQ(osthread.Start(c.szName, ProcWaitTwice, &shared), OS_STS_SUCCESS);
    if (c.iSet >= 0) {
      EXPECT_EQ(osthread.SetEvent(1), OS_STS_SUCCESS);
    }
    if (c.iSet == 0) {
      EXPECT_EQ(osthread.SetEvent(0), OS_STS_SUCCESS);
    }
    shared.blGo = true;
    EXPECT_EQ(osthread.ThreadWait(10000), OS_STS_SUCCESS);
    EXPECT_EQ(shared.iFirst, c.eosstsFirst);
    EXPECT_EQ(shared.iSecond, OS_STS_TIMEOUT);  // a set is taken once
  }
  // No thread, no event.
  COsThread osthread;
  EXPECT_EQ(osthread.SetEvent(1), OS_STS_FAIL);
  EXPECT_EQ(osthread.WaitForEvent(0), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("thr>>> unexpected status, assuming the thread is dead...1 <noname>"));
}

// Stops itself: first with the ignore-self flag (nothing happens), then
// without it (the thread ends itself after cleaning up).
void* ProcStopsItself(void* a_pvThread) {
  COsThread* posthread = static_cast<COsThread*>(a_pvThread);
  Shared* pshared = SharedOf(a_pvThread);
  pshared->u64Tid = COsThread::GetThreadId();
  Frame frame(pshared);
  posthread->Stop(true, 70000);
  pshared->iHalts += 10;  // still running
  posthread->Stop(false, 70000);
  ADD_FAILURE() << "Stop from the thread itself returned";
  return nullptr;
}

TEST(ThreadStop, FromTheThreadItselfNeverJoinsItself) {
  testsupport::LogCapture logcapture;
  COsThread osthread;
  Shared shared;
  ASSERT_EQ(osthread.Start("selfstop", ProcStopsItself, &shared), OS_STS_SUCCESS);
  ASSERT_TRUE(Eventually([&] { return shared.iDestructors == 1; }));
  ASSERT_TRUE(Eventually([&] { return TaskGone(shared.u64Tid); }));
  EXPECT_EQ(shared.iHalts, 10);
  EXPECT_EQ(osthread.GetState(), OS_THREADSTATE_NOTRUNNING);
  EXPECT_EQ(osthread.GetCommand(), OS_THREADCMD_NONE);
  EXPECT_TRUE(logcapture.Contains("thr>>> ignoring request to stop ourselves (this is okay)...<selfstop>"));
  EXPECT_TRUE(logcapture.Contains("thr>>> stop called from thread it's stopping (bad programmer)...<selfstop>"));
  // Nothing is left to stop, and the object starts again.
  EXPECT_EQ(osthread.Stop(false, 70000), OS_STS_SUCCESS);
  Shared sharedAgain;
  ASSERT_EQ(osthread.Start("again", ProcUntilHalt, &sharedAgain), OS_STS_SUCCESS);
  osthread.Stop(false, 70000);
  EXPECT_EQ(sharedAgain.iHalts, 1);
}

// A thread that stops itself at once, while its starter may still be inside
// Start, must still end detached and leave the object free to start again.
void* ProcStopsItselfAtOnce(void* a_pvThread) {
  Shared* pshared = SharedOf(a_pvThread);
  pshared->u64Tid = COsThread::GetThreadId();
  static_cast<COsThread*>(a_pvThread)->Stop(false, 70000);
  return nullptr;
}

TEST(ThreadStop, FromTheThreadItselfRightAfterStart) {
  OneProcessor oneprocessor;  // the new thread often runs while Start still holds the object
  COsThread osthread;
  int iStartsRefused = 0;
  for (int i = 0; i < 300; i++) {
    Shared shared;
    // A self-stop leaves nothing to join: the object starts again at once.
    if (osthread.Start("selfstop", ProcStopsItselfAtOnce, &shared) != OS_STS_SUCCESS) {
      iStartsRefused++;
      osthread.Stop(false, 70000);
      continue;
    }
    ASSERT_TRUE(Eventually([&] { return TaskGone(shared.u64Tid); }));
  }
  osthread.Stop(false, 70000);
  EXPECT_EQ(iStartsRefused, 0);
}

// Asks to stop itself while its owner is stopping it.
void* ProcStopsItselfDuringOwnerStop(void* a_pvThread) {
  COsThread* posthread = static_cast<COsThread*>(a_pvThread);
  Shared* pshared = SharedOf(a_pvThread);
  pshared->u64Tid = COsThread::GetThreadId();
  Frame frame(pshared);
  for (int i = 0; i < 100000 && posthread->GetCommand() == OS_THREADCMD_NONE; i++) posthread->WaitForEvent(-1);
  COsTime::Sleep(50);  // the owner now holds the stop and waits for us
  posthread->Stop(true, 70000);
  posthread->Stop(false, 70000);
  ADD_FAILURE() << "Stop from the thread itself returned";
  return nullptr;
}

TEST(ThreadStop, ThreadStoppingItselfWhileItsOwnerStopsIt) {
  COsThread osthread;
  Shared shared;
  ASSERT_EQ(osthread.Start("both", ProcStopsItselfDuringOwnerStop, &shared), OS_STS_SUCCESS);
  EXPECT_EQ(osthread.Stop(false, 70000), OS_STS_SUCCESS);
  EXPECT_EQ(shared.iDestructors, 1);
  EXPECT_TRUE(TaskGone(shared.u64Tid));
  EXPECT_EQ(osthread.GetState(), OS_THREADSTATE_NOTRUNNING);
}

TEST(ThreadWait, TimesOutAndWaitsForTheEnd) {
  COsThread osthread;
  EXPECT_EQ(osthread.ThreadWait(0), OS_STS_TIMEOUT);   // not running
  EXPECT_EQ(osthread.ThreadWait(10), OS_STS_SUCCESS);  // nothing to wait for
  Shared shared;
  ASSERT_EQ(osthread.Start("waited", ProcUntilHalt, &shared), OS_STS_SUCCESS);
  EXPECT_EQ(osthread.ThreadWait(0), OS_STS_TIMEOUT);
  EXPECT_EQ(osthread.ThreadWait(30), OS_STS_TIMEOUT);
  EXPECT_EQ(osthread.GetState(), OS_THREADSTATE_STARTED);
  // The owner asks it to end by itself, then waits.
  EXPECT_EQ(osthread.SetCommand(OS_THREADCMD_HALT, true), OS_STS_SUCCESS);
  EXPECT_EQ(osthread.ThreadWait(-1), OS_STS_SUCCESS);
  EXPECT_EQ(shared.iHalts, 1);
  EXPECT_TRUE(TaskGone(shared.u64Tid));
}

TEST(ThreadExit, FromAnotherThreadIsRefused) {
  testsupport::LogCapture logcapture;
  COsThread osthread;
  Shared shared;
  ASSERT_EQ(osthread.Start("victim", ProcUntilHalt, &shared), OS_STS_SUCCESS);
  osthread.Exit();  // the test's thread goes on
  EXPECT_TRUE(logcapture.Contains("thr>>> bad exit attempt...<victim> " + std::to_string(COsThread::GetThreadId()) +
                                  " " + std::to_string(osthread.GetId())));
  EXPECT_EQ(osthread.GetStatus(), OS_THREADSTATUS_ALIVE);
  EXPECT_EQ(osthread.GetState(), OS_THREADSTATE_STARTED);
  osthread.Stop(false, 70000);
  EXPECT_EQ(shared.iHalts, 1);
}

TEST(ThreadValues, UserStatusIdAndProcessValues) {
  COsThread osthread;
  EXPECT_EQ(osthread.GetId(), 0u);
  osthread.SetUserStatus(-1234567890123LL);
  EXPECT_EQ(osthread.GetUserStatus(), -1234567890123LL);
  EXPECT_EQ(COsThread::GetProcessId(), static_cast<uint64_t>(getpid()));
  EXPECT_EQ(COsThread::GetThreadId(), static_cast<uint64_t>(syscall(SYS_gettid)));
  EXPECT_TRUE(COsThread::IsThreadRunning(COsThread::GetThreadId()));
  EXPECT_FALSE(COsThread::IsThreadRunning(0));
  EXPECT_EQ(COsThread::GetProcessIntegrity(), geteuid() == 0 ? 6 : 4);
}

// --- Affinity ---------------------------------------------------------------

uint64_t OwnMask(pid_t a_pid) {
  cpu_set_t cpuset;
  CPU_ZERO(&cpuset);
  if (sched_getaffinity(a_pid, sizeof cpuset, &cpuset) != 0) return 0;
  uint64_t u64Mask = 0;
  for (int i = 0; i < 32; i++) {
    if (CPU_ISSET(i, &cpuset)) u64Mask |= 1ULL << i;
  }
  return u64Mask;
}

// The processors allowed to the thread, as Python reads them.
uint64_t PythonMask(uint64_t a_u64ThreadId) {
  std::string strOut = testsupport::RunPython(
      "import os, sys\nprint(sum(1 << c for c in os.sched_getaffinity(int(sys.argv[1])) if c < 32))",
      {std::to_string(a_u64ThreadId)});
  return std::stoull(strOut);
}

void* ProcIdle(void* a_pvThread) {
  COsThread* posthread = static_cast<COsThread*>(a_pvThread);
  for (int i = 0; i < 100000 && posthread->GetCommand() == OS_THREADCMD_NONE; i++) posthread->WaitForEvent(-1);
  posthread->Exit();
  return nullptr;
}

// The kernel knows a thread by the first 15 bytes of its name (ps, top,
// /proc/.../comm).
TEST(ThreadValues, KernelNameIsTheThreadsName) {
  for (const char* szName : {"Gui2Drv", "DriverGuiDispatcher", static_cast<const char*>(nullptr)}) {
    SCOPED_TRACE(szName ? szName : "none");
    COsThread osthread;
    ASSERT_EQ(osthread.Start(szName, ProcIdle, nullptr), OS_STS_SUCCESS);
    ASSERT_TRUE(Eventually([&] { return osthread.GetId() != 0; }));
    std::string strComm = testsupport::ReadFile("/proc/self/task/" + std::to_string(osthread.GetId()) + "/comm");
    EXPECT_EQ(strComm, std::string(szName ? szName : "noname").substr(0, 15) + "\n");
    osthread.Stop(false, 70000);
  }
}

class ThreadAffinity : public ::testing::Test {
 protected:
  void SetUp() override {
    m_u64Allowed = OwnMask(0);
    if (__builtin_popcountll(m_u64Allowed) < 2) GTEST_SKIP() << "fewer than two processors to choose from";
    m_u64Last = 1ULL << (63 - __builtin_clzll(m_u64Allowed));
  }
  void TearDown() override { COsThread::AffinitySetGlobalMask(0); }
  uint64_t m_u64Allowed = 0;
  uint64_t m_u64Last = 0;  // one allowed processor
};

TEST_F(ThreadAffinity, ThreadMaskGetSetAndKeep) {
  COsThread osthread;
  ASSERT_EQ(osthread.Start("affinity", ProcIdle, nullptr), OS_STS_SUCCESS);
  EXPECT_EQ(osthread.AffinityGetMask(), m_u64Allowed);
  EXPECT_EQ(PythonMask(osthread.GetId()), m_u64Allowed);
  ASSERT_EQ(osthread.AffinitySetMask(m_u64Last), OS_STS_SUCCESS);
  EXPECT_EQ(PythonMask(osthread.GetId()), m_u64Last);
  EXPECT_EQ(osthread.AffinityGetMask(), m_u64Last);
  // 0 keeps the thread where it is.
  ASSERT_EQ(osthread.AffinitySetMask(0), OS_STS_SUCCESS);
  EXPECT_EQ(PythonMask(osthread.GetId()), m_u64Last);
  // The test's own thread was never touched.
  EXPECT_EQ(OwnMask(0), m_u64Allowed);
  osthread.Stop(false, 70000);
  // Without a live thread nothing is bound (not the caller either).
  EXPECT_EQ(osthread.AffinitySetMask(m_u64Last), OS_STS_FAIL);
  EXPECT_EQ(osthread.AffinityGetMask(), 0u);
  EXPECT_EQ(OwnMask(0), m_u64Allowed);
}

TEST_F(ThreadAffinity, GlobalMaskRestrictsNewThreads) {
  COsThread::AffinitySetGlobalMask(m_u64Last);
  EXPECT_EQ(COsThread::AffinityGetGlobalMask(), m_u64Last);
  COsThread osthread;
  ASSERT_EQ(osthread.Start("restricted", ProcIdle, nullptr), OS_STS_SUCCESS);
  EXPECT_EQ(PythonMask(osthread.GetId()), m_u64Last);
  osthread.Stop(false, 70000);
  // The initial thread is bound with the global mask, then set back.
  ASSERT_EQ(static_cast<uint64_t>(getpid()), COsThread::GetThreadId()) << "the test runs on the initial thread";
  EXPECT_EQ(COsThread::AffinitySetMaskCurrentThread(m_u64Last), OS_STS_SUCCESS);
  EXPECT_EQ(COsThread::AffinityGetGlobalMask(), m_u64Last);
  EXPECT_EQ(OwnMask(0), m_u64Last);
  EXPECT_EQ(COsThread::AffinitySetMaskCurrentThread(m_u64Allowed), OS_STS_SUCCESS);
  EXPECT_EQ(OwnMask(0), m_u64Allowed);
  // 0 keeps the current processors and stores no restriction.
  EXPECT_EQ(COsThread::AffinitySetMaskCurrentThread(0), OS_STS_SUCCESS);
  EXPECT_EQ(OwnMask(0), m_u64Allowed);
  EXPECT_EQ(COsThread::AffinityGetGlobalMask(), 0u);
}

// --- Stubs of this platform ----------------------------------------------------

TEST(ThreadHwBp, StubsAndSetBits) {
  OsHwBp oshwbp;
  EXPECT_EQ(oshwbp.m_u64Address | oshwbp.m_u64Type | oshwbp.m_u64Size | oshwbp.m_u64Thread, 0u);
  int iData = 0;
  EXPECT_EQ(OsHwBp::SetHardwareBreakpoint(&iData, OS_THREADHWBPTYPE_WRITE, OS_THREADHWBPSIZE_4, nullptr), nullptr);
  OsHwBp::RemoveHardwareBreakpoint(&oshwbp);
  OsHwBp::CreateMiniDump(nullptr);
  EXPECT_EQ(OsHwBp::Thread(nullptr), nullptr);
  struct Case {
    uint64_t u64Word;
    int iPosition;
    int iWidth;
    uint64_t u64Value;
    uint64_t u64Expected;
  };
  const Case acase[] = {
      {0, 0, 2, 3, 0x3},
      {0xFFFF, 4, 4, 0, 0xFF0F},
      {0, 16, 2, 0x7, 0x30000},  // the value is cut to the width
      {0x1, 62, 2, 0x2, 0x8000000000000001ULL},
      {0x1234, 0, 64, 0xABCD, 0xABCD},
  };
  for (const Case& c : acase) {
    EXPECT_EQ(OsHwBp::SetBits(c.u64Word, c.iPosition, c.iWidth, c.u64Value), c.u64Expected)
        << c.iPosition << " " << c.iWidth;
  }
}

}  // namespace
