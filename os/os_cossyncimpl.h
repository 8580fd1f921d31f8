// The implementation behind COsSync and the shared block that every object
// file holds. The block layout is shared by every process that opens a name
// and by every build: fixed-width little-endian fields only.
#pragma once

#include <pthread.h>
#include <time.h>

#include <cstddef>
#include <cstdint>

#include "os_cossync.h"

inline constexpr int OS_SYNC_OBJECT_COUNT = 16;
inline constexpr int OS_SYNC_FLAG_COUNT = 8;
inline constexpr size_t OS_SYNC_NAME_SIZE = 512;

// One registry slot: who uses the block and through which flag.
struct OsSyncObject {
  uint64_t u64OsSyncMode;  // 0 free, 1 creator, 2 opener
  uint64_t u64Pid;
  uint64_t u64Tid;         // kernel thread id of the registering thread
  uint64_t u64Object;      // the registering object's address; only compared with 0
  uint64_t u64FlagIndex;
};

// One event or mutex of the block.
struct OsSyncFlag {
  uint64_t u64OsSyncType;  // EOSSYNCTYPE
  char szName[OS_SYNC_NAME_SIZE];
  uint64_t u64ReferenceCount;  // slots that name this flag
  volatile int64_t vi64Condition;    // 1 while signalled
  volatile int64_t vi64ManualReset;  // always 0
  volatile uint64_t vu64Mutex;       // 0 free, else holder's slot + 1
};

struct OsSyncPublic {
  uint64_t u64Size;
  uint64_t u64OsSyncStruct;  // EOSSYNCSTRUCT of the block's maker
  OsSyncObject aossyncobject[OS_SYNC_OBJECT_COUNT];
  OsSyncFlag aossyncflag[OS_SYNC_FLAG_COUNT];
};

union OsSyncMutexArea {
  pthread_mutex_t pthreadmutex;
  unsigned char ab[128];
};

union OsSyncCondArea {
  pthread_cond_t pthreadcond;
  unsigned char ab[128];
};

struct OsSyncPrivate {
  OsSyncMutexArea pthreadmutext;
  OsSyncCondArea pthreadcondt;
};

struct OsSyncGroup {
  OsSyncPublic ossyncpublic;
  OsSyncPrivate ossyncprivate;
};

static_assert(sizeof(OsSyncObject) == 40);
static_assert(sizeof(OsSyncFlag) == 552);
static_assert(offsetof(OsSyncFlag, u64ReferenceCount) == 520);
static_assert(offsetof(OsSyncFlag, vu64Mutex) == 544);
static_assert(sizeof(OsSyncPublic) == 5072);
static_assert(offsetof(OsSyncPublic, aossyncflag) == 656);
static_assert(sizeof(OsSyncPrivate) == 256);
static_assert(sizeof(OsSyncGroup) == 5328);
static_assert(offsetof(OsSyncGroup, ossyncprivate) == 5072);

class COsSyncImpl {
 public:
  COsSyncImpl();
  ~COsSyncImpl();

  EOSSTS Create(EOSSYNCTYPE a_eossynctype, const char* a_szName, const char* a_szGroup, bool a_blFresh);
  // A named object whose file this call makes: 261 when the name exists.
  EOSSTS CreateNew(EOSSYNCTYPE a_eossynctype, const char* a_szName);
  EOSSTS Open(EOSSYNCTYPE a_eossynctype, const char* a_szName);
  void Close();

  EOSSTS Wait(uint32_t a_u32Milliseconds, char* a_szName, size_t a_sizetName);
  EOSSTS Set();
  void Reset();
  void Release(const char* a_szName);
  EOSSTS IncludeProcessId(uint64_t a_u64ProcessId);

  void Dump();
  void DumpShare(const char* a_szLabel);

  EOSSYNCMODE GetMode() const { return m_eossyncmode; }
  EOSSYNCTYPE GetType() const { return m_eossynctype; }
  const char* GetName() const { return m_szName; }
  const char* GetGroup() const { return m_szGroup; }

  static void SetFallbackDirectory(const char* a_szDirectory);
  // Removes the names of events whose creator is known to be gone (killed:
  // its close never ran) and of their group; only plain files of this user.
  // Processes that still map them keep their blocks.
  static void RemoveEventNames(const char* a_szGroup, const char* const* a_aszNames, size_t a_sizetNames);
  // Removes every event file of the common directory that no live process
  // uses (os_cossyncimpl_sweep.cpp).
  static void RemoveStaleEvents();

 private:
  // Create and open (os_cossyncimpl.cpp).
  void ResetFields();
  bool InitAttributes(bool a_blShared);
  EOSSTS CreateUnnamed();
  EOSSTS CreateNamed(bool a_blFresh);
  EOSSTS RegisterCreator();
  EOSSTS OpenNamed();
  static int OpenExisting(const char* a_szPath);
  EOSSTS OpenFile(const char* a_szPath, bool* a_pblExisted);
  EOSSTS MapFile(bool a_blGrow);
  EOSSTS JoinExisting();
  EOSSTS InitBlockLocks();
  EOSSTS LinkMember();
  static bool BuildPath(char* a_szPath, size_t a_sizetPath, const char* a_szPrefix, const char* a_szName);
  void Unregister(bool* a_pblNoCreatorLeft);
  void RemoveFiles(bool a_blNoCreatorLeft);

  bool IsStaleFile(int a_iDirFd, const char* a_szName);

  // Registry (os_cossyncimpl_registry.cpp).
  EOSSTS Lock();
  void Unlock();
  int TimedWait(const struct timespec& a_timespec);
  EOSSTS RegisterObject(bool a_blCreator);
  bool RemoveStaleObjectsAndFlags(bool a_blProbe);
  void FreeMutexesOfSlot(int a_iObject);
  EOSSTS LockManager(EOSSYNCLOCKMANAGER a_eossynclockmanager, int a_iObject, int a_iFlagIndex);
  bool ReleaseHeldMutexes();
  static bool IsThreadAlive(uint64_t a_u64Pid, uint64_t a_u64Tid);

  // Waiting (os_cossyncimpl_wait.cpp).
  bool InUse() const;
  bool WaitPolls();
  EOSSTS TakeOwnFlag(char* a_szName, size_t a_sizetName, bool* a_pblDone);
  EOSSTS WaitSingle(const struct timespec& a_timespecDeadline, char* a_szName, size_t a_sizetName);
  EOSSTS WaitPolling(const struct timespec& a_timespecDeadline, char* a_szName, size_t a_sizetName);
  EOSSTS TryClaimAfterSlice(char* a_szName, size_t a_sizetName, bool* a_pblDone);
  int SignalledFlag(bool a_blHighest);
  void CopyFlagName(int a_iFlagIndex, char* a_szName, size_t a_sizetName);
  void Broadcast();
  OsSyncFlag& OwnFlag();
  int OwnFlagIndex() const;

  EOSSYNCMODE m_eossyncmode;
  EOSSYNCSTRUCT m_eossyncstruct;
  char m_szName[OS_SYNC_NAME_SIZE];
  char m_szGroup[OS_SYNC_NAME_SIZE];
  uint64_t m_u64WatchedProcessId;
  EOSSYNCTYPE m_eossynctype;
  bool m_blOwner;
  bool m_blNewOnly;  // CreateNew: an existing name is refused, never joined
  char m_szObjectPath[OS_SYNC_NAME_SIZE];
  char m_szLinkPath[OS_SYNC_NAME_SIZE];
  int m_iFile;  // the object file, -1 when none
  OsSyncGroup* m_possyncgroup;
  size_t m_sizetMapped;  // 0 for the private block of an unnamed event
  int32_t m_i32Object;   // registry slot, -1 when unregistered
  int32_t m_i32FlagIndex;  // the flag our slot names, kept here as the slot may be cleared
  pthread_mutexattr_t m_pthreadmutexattr;
  pthread_condattr_t m_pthreadcondattr;
  bool m_blAttributes;
  pthread_mutex_t* m_ppthreadmutex;
  bool m_ablHeld[OS_SYNC_FLAG_COUNT];
};

// The directory of the object files: RootCommonDirectory, else the fallback.
bool OsSyncCommonDirectory(char* a_szDirectory, size_t a_sizetDirectory);

// Words of the enumerations, as the dumps print them.
const char* OsSyncModeWord(uint64_t a_u64Mode);
const char* OsSyncStructWord(uint64_t a_u64Struct);
const char* OsSyncTypeWord(uint64_t a_u64Type);
