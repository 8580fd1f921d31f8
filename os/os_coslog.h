// The process-wide debug log. Every call names its source file, line, a flag
// word and a printf format; each line is appended to the log file, which is
// opened and closed per line so that several processes and a crash lose
// nothing.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "os_def.h"

class COsLogImpl;

class COsLog {
 public:
  COsLog(const char* a_szName, const char* a_szFile, long a_lLevel, const char* a_szFilter);
  ~COsLog();

  // Writes at most one line; returns the caller's errno, which is unchanged.
  int Message(const char* a_szFile, long a_lLine, long a_eoslogflag, const char* a_szFormat, ...)
      __attribute__((format(printf, 5, 6)));
  int VMessage(const char* a_szFile, long a_lLine, long a_eoslogflag, const char* a_szFormat, va_list a_valist)
      __attribute__((format(printf, 5, 0)));

  void Setup(const char* a_szFile, long a_lLevel, const char* a_szFilter, long* a_plDsState);
  long GetDebugLevel();
  void SetDebugLevel(long a_lLevel);
  bool GetDebugFind();
  long GetDsState();
  void SetDsState(long a_lState);
  long GetIsTWAIN();
  bool GetIsDump();
  bool IsFlushing();
  void EnableAssert(bool a_blEnable);
  int SetHopeless(int a_iHopeless);
  void GetFilename(char* a_szFile, size_t a_sizetFile);
  EOSSTS GetLogFile(char* a_szFile, size_t a_sizetFile);
  void Flush();
  long DisplayLength();

  // The last-resort log file ("/tmp/pmx.log"); tests point it into their own
  // tree. A null path restores the default.
  static void SetFallbackPath(const char* a_szPath);

 private:
  COsLogImpl* m_poslogimpl;
};

extern COsLog* g_poslog;

// Bounded helpers for the log's own use: they report their failures on
// standard error so the log never calls itself.
int LogSStrPrintf(char* a_szBuffer, size_t a_sizetBuffer, const char* a_szFormat, ...)
    __attribute__((format(printf, 3, 4)));
int LogSStrCatf(char* a_szBuffer, size_t a_sizetBuffer, const char* a_szFormat, ...)
    __attribute__((format(printf, 3, 4)));
// Appends the whole text or nothing; the new length, or -1.
int LogSStrCat(char* a_szBuffer, size_t a_sizetBuffer, const char* a_szText);

// Log through the process-wide log when it exists; silent before start-up.
#define OsLog(flag, ...)                                                      \
  do {                                                                        \
    if (g_poslog) g_poslog->Message(__FILE__, __LINE__, (flag), __VA_ARGS__); \
  } while (0)

// Chatty lines: only built while the debug level is non-zero.
#define OsLogDebug(flag, ...)                                                                         \
  do {                                                                                                \
    if (g_poslog && g_poslog->GetDebugLevel()) g_poslog->Message(__FILE__, __LINE__, (flag), __VA_ARGS__); \
  } while (0)
