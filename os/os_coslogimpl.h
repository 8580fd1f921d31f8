// Implementation of the process-wide log: level and filter decisions, the
// per-thread slots, and the line written under the line lock into a file
// that is opened and closed again for every line.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "os_def.h"

constexpr int kOsLogSlots = 64;
constexpr size_t kOsLogPathSize = 512;
constexpr size_t kOsLogFilterSize = 128;
constexpr int kOsLogFilterWords = 32;
constexpr size_t kOsLogPrefixSize = 4096;
constexpr size_t kOsLogFinalSize = 1048576;

// One thread's state while it logs. Only the owning thread touches the slot
// outside the slot lock; a new owner takes it over under that lock.
struct OsLogSlot {
  int64_t i64Errno = 0;
  char szSource[kOsLogPathSize] = {};
  int64_t i64Line = 0;
  OsTimeRecord timerecord = {};
  // Work area for creating the directories of the log path.
  char szPathCopy[kOsLogPathSize] = {};
  char szPathBuild[kOsLogPathSize] = {};
  char szPrefix[kOsLogPrefixSize] = {};
  std::atomic<uint64_t> u64ThreadId{0};  // 0: free
  std::atomic<uint8_t> u8Busy{0};        // re-entry guard; released last
  char cLetter = '.';
};

class COsLogImpl {
 public:
  COsLogImpl(const char* a_szName, const char* a_szFile, long a_lLevel, const char* a_szFilter);
  ~COsLogImpl();

  int VMessage(const char* a_szFile, long a_lLine, long a_eoslogflag, const char* a_szFormat, va_list a_valist);
  void Setup(const char* a_szFile, long a_lLevel, const char* a_szFilter, long* a_plDsState);

  long GetDebugLevel() const { return m_lLevel.load(std::memory_order_relaxed); }
  void SetDebugLevel(long a_lLevel) { m_lLevel.store(a_lLevel, std::memory_order_relaxed); }
  bool GetDebugFind() const { return m_blDebugFind.load(std::memory_order_relaxed); }
  long GetDsState() const;
  void SetDsState(long a_lState);
  long GetIsTWAIN() const;
  bool GetIsDump() const { return m_blDump.load(std::memory_order_relaxed); }
  bool IsFlushing() const { return m_blFlushing.load(std::memory_order_relaxed); }
  void EnableAssert(bool a_blEnable) { m_blAssert.store(a_blEnable, std::memory_order_relaxed); }
  int SetHopeless(int a_iHopeless) { return m_iHopeless.exchange(a_iHopeless); }
  // Copies the path under the line lock.
  void CopyPath(char (&a_szPath)[kOsLogPathSize]);
  void Flush();

  static void SetFallbackPath(const char* a_szPath);

 private:
  // Message steps.
  bool PassesLevel(long a_lBase) const;
  OsLogSlot* FindSlot();
  bool PassesFilter(const char* a_szSource);
  void WriteLine(OsLogSlot* a_pslot, long a_lBase, const char* a_szFormat, va_list a_valist);
  void AssertTail(const char* a_szFile, long a_lLine, const char* a_szFormat);

  // Under the line lock (os_coslogimpl_write.cpp).
  bool LogDirectoryKnown();
  void ApplyDebugDirectory(OsLogSlot* a_pslot);
  int OpenLog(OsLogSlot* a_pslot);
  int OpenWithDirectories(OsLogSlot* a_pslot, unsigned a_uMode, bool* a_pblCreated);
  void WriteHeader(OsLogSlot* a_pslot, int a_iFd);
  bool HeaderLine(OsLogSlot* a_pslot, int a_iFd, const char* a_szFormat, ...) __attribute__((format(printf, 4, 5)));
  bool PrintPrefix(OsLogSlot* a_pslot, char* a_szBuffer, size_t a_sizetBuffer, long a_lCounter);
  void AssembleAndWrite(OsLogSlot* a_pslot, int a_iFd, const char* a_szFormat, va_list a_valist);

  // Configuration.
  void SetFilterWords(const char* a_szFilterText);
  void BuildSetupFilter(const char* a_szFilter, char* a_szJoined, size_t a_sizetJoined);
  void ResolveConstructorPath(const char* a_szFile, char* a_szPath, size_t a_sizetPath);
  void ResolveSetupPath(const char* a_szFile, char* a_szPath, size_t a_sizetPath);

  // Atomics: read by every caller without a lock.
  std::atomic<long> m_lLevel;
  std::atomic<long*> m_plDsState;
  std::atomic<bool> m_blAssert;
  std::atomic<bool> m_blDump;
  std::atomic<bool> m_blFlushing;
  std::atomic<int> m_iHopeless;
  std::atomic<bool> m_blDebugFind;
  std::atomic<bool> m_blErrorsOnly;

  // Guarded by s_pvFilterLock.
  char* m_apszFilter[kOsLogFilterWords + 1];
  char m_szFilterText[kOsLogFilterSize];

  // Guarded by s_pvFinalLock (the line lock).
  bool m_blDebugDirCheck;
  char m_szPath[kOsLogPathSize];
  long m_lRequestedLevel;
  char m_szDisplayFilter[kOsLogFilterSize];
  char m_szName[64];
  bool m_blOsWritten;
  bool m_blAppend;
  bool m_blAppWritten;
  bool m_blLibWritten;
  bool m_blHeaderPending;
  int64_t m_i64Counter;
  bool m_blDirKnown;

  OsLogSlot m_aslot[kOsLogSlots];
  long m_lOwnDsState;

  // Process-wide: the line buffer is shared by every log object, and fork
  // must find every word free (see the fork handlers).
  static void volatile* s_pvSlotLock;
  static void volatile* s_pvFinalLock;
  static void volatile* s_pvFilterLock;
  static char s_szFinal[kOsLogFinalSize];
  static char s_szFallbackPath[kOsLogPathSize];

  static void ForkPrepare();
  static void ForkParent();

  friend class COsLogLock;
  friend class COsLogInside;
};

// LogSStrCatf with an argument list.
int LogSStrVcatf(char* a_szBuffer, size_t a_sizetBuffer, const char* a_szFormat, va_list a_valist)
    __attribute__((format(printf, 3, 0)));

// Marks this thread as inside the log and defers cancellation meanwhile: a
// routine the log calls cannot log back into it, and a thread cancelled in
// the middle of a line never leaves a spin word taken.
class COsLogInside {
 public:
  COsLogInside();
  ~COsLogInside();
  // True when this thread was already inside the log.
  static bool IsInside();

 private:
  bool m_blWasInside;
  int m_iCancelState;
};

// Holds one of the log's spin words, inside the log.
class COsLogLock {
 public:
  explicit COsLogLock(void volatile** a_ppvWord);
  ~COsLogLock();

 private:
  COsLogInside m_inside;
  void volatile** m_ppvWord;
};
