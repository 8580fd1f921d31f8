// The state behind one COsThread: the thread, its command handshake and
// event, and the one child process it follows.
#pragma once

#include <pthread.h>
#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "os_costhread.h"

class COsSync;

class COsThreadImpl {
 public:
  explicit COsThreadImpl(COsThread* a_posthread);
  ~COsThreadImpl();
  COsThreadImpl(const COsThreadImpl&) = delete;
  COsThreadImpl& operator=(const COsThreadImpl&) = delete;

  EOSSTS Start(const char* a_szName, OsThreadProc a_osthreadproc, void* a_pvArg);
  // a_blExitSelf: a stop called from the thread itself ends that thread
  // (the destructor passes false and lets it run on, detached).
  EOSSTS Stop(bool a_blIgnoreSelf, long a_lMilliseconds, bool a_blExitSelf);
  EOSSTS ThreadWait(long a_lMilliseconds);
  void Exit();

  EOSSTS SetCommand(uint32_t a_eosthreadcmd, bool a_blSignal);
  uint32_t GetCommand() const { return m_u32Command.load(std::memory_order_acquire); }
  EOSSTS SetEvent(int a_iSet);
  EOSSTS WaitForEvent(long a_lMilliseconds);

  uint32_t GetState() const;
  int GetStatus() const;
  void* GetArg() const { return m_pvArg.load(std::memory_order_acquire); }
  void SetUserStatus(int64_t a_i64UserStatus) { m_i64UserStatus.store(a_i64UserStatus, std::memory_order_release); }
  int64_t GetUserStatus() const { return m_i64UserStatus.load(std::memory_order_acquire); }
  uint64_t GetId() const { return m_u64ThreadId.load(std::memory_order_acquire); }
  const char* GetName() const { return m_szName; }

  bool HasLiveThread() const { return GetId() != 0 && m_blAlive.load(std::memory_order_acquire); }
  uint64_t AffinityGetMask();
  EOSSTS AffinitySetMask(uint64_t a_u64Mask);

  EOSSTS Spawn(int64_t a_i64SpawnFlags, const char* a_szProgram, const char* a_szArg0, const char* const* a_aszArgs,
               size_t a_sizetArgs, const OsSpawnVariable* a_aosspawnvariable = nullptr, size_t a_sizetVariables = 0);
  uint64_t SpawnProcessId();
  bool IsSpawnRunning();
  bool SpawnEnded();
  EOSSTS SpawnWait(long a_lMilliseconds);
  void SpawnStop();
  int SpawnPidFd() const { return m_iPidFd; }

  // The thread entry: runs the procedure on the new thread.
  static void* OsThreadStart(void* a_pvArg);

  // Process-wide values and the limits tests shorten.
  static std::atomic<uint64_t> s_u64GlobalAffinityMask;
  static std::atomic<long> s_lStartLimit;
  static std::atomic<long> s_lSpawnStopWait;
  static std::atomic<long> s_lPowerStateSettle;
  static std::atomic<OsThreadArgumentsSource> s_pfnArgumentsSource;
  // The terminal program, under its own spin word.
  static void GetTerminalProgram(char* a_szPath, size_t a_sizetPath);
  static void SetTerminalProgram(const char* a_szPath);
  // Number of online processors.
  static long ProcessorCount();
  // Reaps the ended children this service started; the number reaped.
  static int ReapEndedChildren();

 private:
  friend class COsThreadLife;

  EOSSTS OpenEvent();
  void CloseEvent();
  EOSSTS WaitForStarted();
  // Posts the halt and waits for the thread to end; cancels it when it does not.
  void RequestHalt(long a_lMilliseconds);
  bool LockForSelfStop();
  EOSSTS WaitSlice(uint32_t a_u32Milliseconds);
  // Status query of the child without waiting: true when it has ended (and
  // is now reaped) or cannot be queried; the child is then forgotten.
  bool ReapChild(const char* a_szErrorFormat);
  // True when /proc/<pid> still names the process we started; the child is
  // forgotten otherwise.
  bool IsOurChild();
  void ForgetChild();
  void WaitForEnd(int64_t a_i64Milliseconds);

  COsThread* m_posthread;
  std::atomic<void*> m_pvArg{nullptr};
  OsThreadProc m_osthreadproc = nullptr;
  std::atomic<uint32_t> m_u32State{OS_THREADSTATE_NOTRUNNING};
  std::atomic<uint32_t> m_u32Command{OS_THREADCMD_NONE};
  std::atomic<int64_t> m_i64UserStatus{0};
  char m_szName[512] = "noname";
  std::atomic<uint64_t> m_u64AffinityMask{0};
  void volatile* m_pvStopWord = nullptr;
  // Set by the new thread just before it runs its procedure; Start waits for it.
  std::atomic<bool> m_blStarted{false};
  // True from the thread's creation until its entry has left our code.
  std::atomic<bool> m_blAlive{false};
  bool m_blHandle = false;  // a thread was made and is not yet joined
  // Set while the owner holds the stop word to stop the thread (not to start it).
  std::atomic<bool> m_blStopping{false};
  pthread_t m_pthread{};
  COsSync* m_possync = nullptr;
  std::atomic<bool> m_blEventOpen{false};
  void volatile* m_pvEventWord = nullptr;
  std::atomic<uint64_t> m_u64ThreadId{0};

  uint64_t m_u64ProcessId = 0;
  char m_szProcPid[512] = "";
  uint64_t m_u64ProcStart = 0;  // start time of the child, which identifies it
  bool m_blSpawnEnded = false;  // the last child has ended and been forgotten
  int m_iPidFd = -1;  // the child's process descriptor, readable once it has ended; -1 for none
};
