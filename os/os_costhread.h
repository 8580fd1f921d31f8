// Threads and child processes. Every worker thread of the library is a
// COsThread: it records its kernel thread id, catches an exception that
// escapes its procedure, talks with its owner through a command word and an
// event, and is stopped by posting a halt, waiting, and cancelling it when it
// does not end. The same object starts and follows one child process. The
// statics answer process-wide questions (ids, liveness, affinity).
#pragma once

#include <cstddef>
#include <cstdint>

#include "os_def.h"

// Commands posted to a thread; values above 2 belong to the thread's users.
enum EOSTHREADCMD : uint32_t {
  OS_THREADCMD_NONE = 1,
  OS_THREADCMD_HALT = 2,
};

// Thread states answered by GetState.
enum EOSTHREADSTATE : uint32_t {
  OS_THREADSTATE_STARTED = 1,
  OS_THREADSTATE_NOTRUNNING = 3,
};

// Answers of GetStatus and of COsTime::TimerStatus.
enum EOSTHREADSTATUS : int {
  OS_THREADSTATUS_ENDED = 1,
  OS_THREADSTATUS_ALIVE = 2,
};

// Flags of Spawn; other bits have no effect.
enum EOSSPAWNFLAGS : int64_t {
  OS_SPAWNFLAGS_TERMINAL = 4,     // run the program in a terminal window
  OS_SPAWNFLAGS_NEWSESSION = 8,   // the child leaves our session and terminal
  OS_SPAWNFLAGS_ALTSEARCH = 32,   // shared libraries from the program's directory
};

// The procedure of a thread receives the COsThread object (GetArg gives the
// user's argument). It must not be noexcept: Exit and cancellation unwind it.
typedef void* (*OsThreadProc)(void* a_pvThread);

// Source of the current service arguments text that a spawned child inherits;
// null or an empty text publishes nothing.
typedef const char* (*OsThreadArgumentsSource)();

// A variable of one spawned child's own environment: the child gets it in
// place of ours of that name (or beside ours); our environment is not
// touched, so two spawns at once never see each other's values.
struct OsSpawnVariable {
  const char* szName;   // not empty, no "="
  const char* szValue;  // null: the child does not get the variable at all
};

class COsSync;
class COsThreadImpl;

class COsThread {
 public:
  COsThread();
  ~COsThread();
  COsThread(const COsThread&) = delete;
  COsThread& operator=(const COsThread&) = delete;

  // 0 started, 3 null procedure, 1 otherwise (already running, no event,
  // the system refused, or the thread did not report itself in time). The
  // kernel thread takes the name's first 15 bytes (ps, /proc/.../comm).
  EOSSTS Start(const char* a_szName, OsThreadProc a_osthreadproc, void* a_pvArg);
  // Posts a halt, waits up to a_lMilliseconds (a negative time: up to
  // 999,999,999 ms) for the thread to end, cancels it when it does not, and
  // joins it. Called from the thread itself it ends that thread (or, with
  // a_blIgnoreSelf, does nothing). Always 0.
  EOSSTS Stop(bool a_blIgnoreSelf, long a_lMilliseconds);
  // Waits for the thread to end by itself, then stops it; 5 on time-out
  // (at once for 0), a negative time waits up to 999,999,999 ms.
  EOSSTS ThreadWait(long a_lMilliseconds);
  // Ends the calling thread when it is this object's thread, unwinding its
  // frames (destructors run, locks are released); never returns then.
  void Exit();

  // 0; 1 thread not running and 4 a command pending (with the signal flag);
  // 4 when another writer came between.
  EOSSTS SetCommand(uint32_t a_eosthreadcmd, bool a_blSignal);
  uint32_t GetCommand();
  EOSSTS SetEvent(int a_iSet);
  // 0 signalled, 5 time-out, 1 failure; the time is an unsigned 32-bit
  // count, so -1 waits up to 365 days.
  EOSSTS WaitForEvent(long a_lMilliseconds);

  uint32_t GetState();
  int GetStatus();
  void* GetArg();
  void SetUserStatus(int64_t a_i64UserStatus);
  int64_t GetUserStatus();
  uint64_t GetId();
  const char* GetName();

  // Processors 0 to 31 of this thread.
  uint64_t AffinityGetMask();
  EOSSTS AffinitySetMask(uint64_t a_u64Mask);

  // Starts one child process: the executable is the program (or the
  // terminal with OS_SPAWNFLAGS_TERMINAL), its argument 0 is that path and
  // the arguments that follow a_szArg0 come next, ended by a null pointer
  // or an empty text (which is passed on); at most 16 in all.
  EOSSTS Spawn(int64_t a_i64SpawnFlags, const char* a_szProgram, const char* a_szArg0, ...);
  // The same with the arguments as a list (null, or ended by a null
  // pointer) and the child's own variables (a_sizetVariables of them).
  EOSSTS Spawn(int64_t a_i64SpawnFlags, const char* a_szProgram, const char* a_szArg0, const char* const* a_aszArgs,
               const OsSpawnVariable* a_aosspawnvariable, size_t a_sizetVariables);
  // The child's id while it is alive and still the process we started.
  uint64_t SpawnProcessId();
  bool IsSpawnRunning();
  // True once the child this object spawned last has ended (reaped, stopped
  // or gone), until the next Spawn: a waiter for that child can stop
  // waiting even when the child ended before the wait began.
  bool SpawnEnded();
  // 0 the child ended (or there is none to wait for), 5 time-out, 1 no child.
  EOSSTS SpawnWait(long a_lMilliseconds);
  // Asks the child to end (SIGTERM), kills it when it has not within the
  // stop wait (one second).
  void SpawnStop();
  // A descriptor of the child that poll reports readable once it has ended
  // (owned here, valid until the child is reaped); -1 when there is none.
  int SpawnPidFd();

  static uint64_t GetThreadId();   // the caller's kernel thread id
  static uint64_t GetProcessId();
  static bool IsThreadRunning(uint64_t a_u64ThreadId);
  // True when the id names a live thread of this very process (a thread id
  // of another process, or of the parent after a fork, is not one).
  static bool IsOwnThreadRunning(uint64_t a_u64ThreadId);
  // Whether the process runs. A child of this process that has ended gives
  // a_blEndedCounts; it is examined without being reaped, so whoever follows
  // the child still gets its exit status. Any other process counts as running
  // while it exists and is not a zombie.
  static bool IsProcessRunning(uint64_t a_u64ProcessId, bool a_blEndedCounts);
  // The first process whose "ps -eo pid,args" line holds the name; 0 found,
  // 1 not found or ps could not run, with the id 0.
  static EOSSTS FindProcessByName(const char* a_szName, bool a_blFlag, uint64_t* a_pu64ProcessId);
  // Reaps, without waiting, every ended child that Spawn started and nobody
  // reaped yet (its COsThread may be gone); never another child of the
  // process. The number reaped.
  static int ReapEndedChildren();
  static void AffinitySetGlobalMask(uint64_t a_u64Mask);
  static uint64_t AffinityGetGlobalMask();
  static EOSSTS AffinitySetMaskCurrentThread(uint64_t a_u64Mask);
  // 6 when the effective user is root, else 4; computed once.
  static int GetProcessIntegrity();
  // Suspends the machine (standby, or disk with the hibernate flag) with a
  // wake-up after a_iSeconds through rtcwake; 0.
  static EOSSTS SetPowerState(bool a_blHibernate, int a_iSeconds);
  static void DebugBreak();

  // Spawned children inherit the text this source gives (the service
  // start-up installs it); null removes the source.
  static void SetServicesArgumentsSource(OsThreadArgumentsSource a_pfnSource);
  // The source installed now, or null.
  static OsThreadArgumentsSource GetServicesArgumentsSource();

  // Limits of the long waits and the terminal program, so tests stay short.
  // A negative time or a null path restores the default.
  static void SetStartLimit(long a_lMilliseconds);       // 5000
  static void SetSpawnStopWait(long a_lMilliseconds);    // 1000
  static void SetPowerStateSettle(long a_lMilliseconds); // 2000
  static void SetTerminalProgram(const char* a_szPath);  // "/usr/bin/gnome-terminal"

 private:
  COsThreadImpl* m_posthreadimpl;
};

// Hardware breakpoints and crash mini dumps: not available on this platform.
enum EOSTHREADHWBPTYPE : int {
  OS_THREADHWBPTYPE_CODE = 0,
  OS_THREADHWBPTYPE_READWRITE = 1,
  OS_THREADHWBPTYPE_WRITE = 2,
};

enum EOSTHREADHWBPSIZE : int {
  OS_THREADHWBPSIZE_1 = 0,
  OS_THREADHWBPSIZE_2 = 1,
  OS_THREADHWBPSIZE_4 = 2,
  OS_THREADHWBPSIZE_8 = 3,
};

class OsHwBp {
 public:
  OsHwBp();
  static OsHwBp* SetHardwareBreakpoint(void* a_pvAddress, EOSTHREADHWBPTYPE a_eostype, EOSTHREADHWBPSIZE a_eossize,
                                       void* a_pvData);
  static void RemoveHardwareBreakpoint(OsHwBp* a_poshwbp);
  static void CreateMiniDump(void* a_pvException);
  static void* Thread(void* a_pvArg);
  // Replaces the a_iWidth bits of the word that start at a_iPosition.
  static uint64_t SetBits(uint64_t a_u64Word, int a_iPosition, int a_iWidth, uint64_t a_u64Value);

  uint64_t m_u64Address;
  uint64_t m_u64Type;
  uint64_t m_u64Size;
  uint64_t m_u64Thread;
};
