// The log's configuration and its per-call decisions: construction and
// Setup, level and filter tests, thread slots, and the message skeleton that
// keeps errno as the caller had it.
#include "os_coslogimpl.h"

#include <dlfcn.h>
#include <limits.h>
#include <pthread.h>
#include <strings.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosfile.h"
#include "os_cossync.h"
#include "os_costhread.h"
#include "os_costime.h"

void volatile* COsLogImpl::s_pvSlotLock = nullptr;
void volatile* COsLogImpl::s_pvFinalLock = nullptr;
void volatile* COsLogImpl::s_pvFilterLock = nullptr;
char COsLogImpl::s_szFinal[kOsLogFinalSize];
char COsLogImpl::s_szFallbackPath[kOsLogPathSize] = "/tmp/pmx.log";

namespace {
thread_local bool t_blInsideLog = false;

constexpr long kLevelAppend = 0x2;
constexpr long kLevelFlush = 0x4;
constexpr long kLevelUsbOnly = 0x10;
constexpr long kLevelMemOnly = 0x40;
constexpr long kLevelDump = 0x100;
constexpr long kLevelDebugFind = 0x400;
constexpr long kLevelErrorsOnly = 0x800;

// The words a Setup filter may use for a group of sources.
struct OsLogFilterAlias {
  const char* szWord;
  const char* szSources;
};
constexpr OsLogFilterAlias s_aoslogfilteralias[] = {
    {"TWAIN", "pmxdat twn_ db_cdbdatum "},
    {"WIRE", "pmxhal pmxprot "},
    {"XML", "twn_ctwngui img_cimgnexil "},
};

char LetterOf(long a_lBase) {
  switch (a_lBase) {
    case OS_LOG_ERROR: return 'E';
    case OS_LOG_ASSERT: return 'A';
    case OS_LOG_PROTOCOL: return 'P';
    default: return '.';
  }
}

bool IsMemoryFlag(long a_lBase) {
  return a_lBase == OS_LOG_MEM || a_lBase == OS_LOG_MEMVIRTUAL || a_lBase == OS_LOG_MEMNOTOWNED ||
         a_lBase == OS_LOG_MEMVIRTUALNOTOWNED;
}

// The caller's file in lower case, without directory and last extension.
void DeriveSource(const char* a_szFile, char* a_szSource, size_t a_sizetSource) {
  a_szSource[0] = '\0';
  if (!a_szFile) return;
  const char* pszBase = a_szFile;
  for (const char* psz = a_szFile; *psz; ++psz) {
    if (*psz == '/' || *psz == '\\') pszBase = psz + 1;
  }
  size_t sizet = 0;
  for (; pszBase[sizet] && sizet + 1 < a_sizetSource; ++sizet) {
    a_szSource[sizet] = static_cast<char>(std::tolower(static_cast<unsigned char>(pszBase[sizet])));
  }
  a_szSource[sizet] = '\0';
  char* pszDot = std::strrchr(a_szSource, '.');
  if (pszDot) *pszDot = '\0';
}

// Cuts the last extension of the path's last component.
void RemoveLastExtension(char* a_szPath) {
  char* pszSlash = std::strrchr(a_szPath, '/');
  char* pszDot = std::strrchr(pszSlash ? pszSlash : a_szPath, '.');
  if (pszDot) *pszDot = '\0';
}

// Name of the directory two levels above the library's own file.
void ModuleRootName(char* a_szName, size_t a_sizetName) {
  a_szName[0] = '\0';
  Dl_info dlinfo;
  if (!dladdr(reinterpret_cast<void*>(&g_oscfglocatorfunction), &dlinfo) || !dlinfo.dli_fname) return;
  char szReal[PATH_MAX];
  char szModule[PATH_MAX];
  const char* szFound = realpath(dlinfo.dli_fname, szReal) ? szReal : dlinfo.dli_fname;
  if (LogSStrPrintf(szModule, sizeof szModule, "%s", szFound) < 0) return;
  for (int i = 0; i < 2; ++i) {
    char* pszSlash = std::strrchr(szModule, '/');
    if (!pszSlash) return;
    *pszSlash = '\0';
  }
  const char* pszSlash = std::strrchr(szModule, '/');
  LogSStrPrintf(a_szName, a_sizetName, "%s", pszSlash ? pszSlash + 1 : szModule);
}

// "@NAME@rest": the variable's value (default ".") and the rest; false when
// the argument is not of that form.
bool ExpandVariable(const char* a_szFile, char* a_szPath, size_t a_sizetPath) {
  if (a_szFile[0] != '@') return false;
  const char* pszSecond = std::strchr(a_szFile + 1, '@');
  if (!pszSecond) return false;
  char szName[128];
  size_t sizetName = static_cast<size_t>(pszSecond - a_szFile - 1);
  if (sizetName >= sizeof szName) sizetName = sizeof szName - 1;
  std::memcpy(szName, a_szFile + 1, sizetName);
  szName[sizetName] = '\0';
  const char* szValue = std::getenv(szName);
  if (!szValue || !*szValue) szValue = ".";
  if (LogSStrPrintf(a_szPath, a_sizetPath, "%s%s", szValue, pszSecond + 1) < 0) a_szPath[0] = '\0';
  return true;
}

// With PMX_LOGDIR set, the log becomes "<dir>/pmx_<time>.log".
void ApplyLogDir(char* a_szPath, size_t a_sizetPath) {
  const char* szDir = std::getenv("PMX_LOGDIR");
  if (!szDir || !*szDir) return;
  OsTimeRecord timerecord;
  char szTime[32];
  COsTime::GetLocalTime(&timerecord);
  COsTime::GetStringTime(&timerecord, szTime, sizeof szTime);
  if (LogSStrPrintf(a_szPath, a_sizetPath, "%s/pmx_%s.log", szDir, szTime) < 0) a_szPath[0] = '\0';
}

// Absent PMX_ASSERT counts as "1"; its first two characters are read as a number.
bool AssertFromEnvironment() {
  const char* szValue = std::getenv("PMX_ASSERT");
  if (!szValue) return true;
  char szTwo[3] = {};
  std::strncpy(szTwo, szValue, 2);
  return std::atoi(szTwo) != 0;
}
}  // namespace

// ---------------------------------------------------------------------------
// Guards.

COsLogInside::COsLogInside() : m_blWasInside(t_blInsideLog), m_iCancelState(PTHREAD_CANCEL_ENABLE) {
  t_blInsideLog = true;
  pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &m_iCancelState);
}

COsLogInside::~COsLogInside() {
  pthread_setcancelstate(m_iCancelState, nullptr);
  t_blInsideLog = m_blWasInside;
}

bool COsLogInside::IsInside() { return t_blInsideLog; }

COsLogLock::COsLogLock(void volatile** a_ppvWord) : m_ppvWord(a_ppvWord) { COsSync::SpinLock(m_ppvWord); }

COsLogLock::~COsLogLock() { COsSync::SpinUnlock(m_ppvWord); }

// A child forked while another thread held a word would wait for ever: the
// fork waits until every word is free and both sides start with them free.
void COsLogImpl::ForkPrepare() {
  COsSync::SpinLock(&s_pvFilterLock);
  COsSync::SpinLock(&s_pvSlotLock);
  COsSync::SpinLock(&s_pvFinalLock);
}

void COsLogImpl::ForkParent() {
  COsSync::SpinUnlock(&s_pvFinalLock);
  COsSync::SpinUnlock(&s_pvSlotLock);
  COsSync::SpinUnlock(&s_pvFilterLock);
}

// ---------------------------------------------------------------------------
// Construction and configuration.

COsLogImpl::COsLogImpl(const char* a_szName, const char* a_szFile, long a_lLevel, const char* a_szFilter)
    : m_lLevel(a_lLevel & ~kLevelDump),
      m_plDsState(&m_lOwnDsState),
      m_blAssert(AssertFromEnvironment()),
      m_blDump((a_lLevel & kLevelDump) != 0),
      m_blFlushing(false),
      m_iHopeless(0),
      m_blDebugFind(false),
      m_blErrorsOnly(false),
      m_apszFilter{},
      m_szFilterText{},
      m_blDebugDirCheck(true),
      m_szPath{},
      m_lRequestedLevel(a_lLevel),
      m_szDisplayFilter{},
      m_szName{},
      m_blOsWritten(false),
      m_blAppend(false),
      m_blAppWritten(false),
      m_blLibWritten(false),
      m_blHeaderPending(true),
      m_i64Counter(-1),
      m_blDirKnown(false),
      m_lOwnDsState(9) {
  static std::once_flag s_onceflagFork;
  std::call_once(s_onceflagFork, [] { pthread_atfork(ForkPrepare, ForkParent, ForkParent); });
  if (a_szName) LogSStrPrintf(m_szName, sizeof m_szName, "%s", a_szName);
  if (a_szFile) ResolveConstructorPath(a_szFile, m_szPath, sizeof m_szPath);
  if (a_szFilter) {
    // A filter that is too long is kept cut.
    LogSStrPrintf(m_szDisplayFilter, sizeof m_szDisplayFilter, "%s", a_szFilter);
    SetFilterWords(m_szDisplayFilter);
  }
  m_iHopeless.store(m_szPath[0] ? 0 : 1);
  long lLevel = m_lLevel.load();
  if (lLevel & kLevelDebugFind) m_blDebugFind.store(true);
  if (lLevel & kLevelErrorsOnly) m_blErrorsOnly.store(true);
  m_lLevel.store(lLevel & ~kLevelDebugFind);
}

COsLogImpl::~COsLogImpl() = default;

void COsLogImpl::ResolveConstructorPath(const char* a_szFile, char* a_szPath, size_t a_sizetPath) {
  if (!ExpandVariable(a_szFile, a_szPath, a_sizetPath)) {
    if (LogSStrPrintf(a_szPath, a_sizetPath, "%s", a_szFile) < 0) a_szPath[0] = '\0';
    return;
  }
  if (!a_szPath[0]) return;
  COsFile::PathNormalize(a_szPath, '/');
  RemoveLastExtension(a_szPath);
  char szModule[256];
  ModuleRootName(szModule, sizeof szModule);
  if (LogSStrCatf(a_szPath, a_sizetPath, "_%s.log", szModule) < 0) a_szPath[0] = '\0';
  ApplyLogDir(a_szPath, a_sizetPath);
}

void COsLogImpl::ResolveSetupPath(const char* a_szFile, char* a_szPath, size_t a_sizetPath) {
  if (!ExpandVariable(a_szFile, a_szPath, a_sizetPath) && LogSStrPrintf(a_szPath, a_sizetPath, "%s", a_szFile) < 0) {
    a_szPath[0] = '\0';
  }
  ApplyLogDir(a_szPath, a_sizetPath);
}

// Splits the filter text at blanks into the word list (caller holds the filter lock).
void COsLogImpl::SetFilterWords(const char* a_szFilterText) {
  if (a_szFilterText != m_szFilterText) LogSStrPrintf(m_szFilterText, sizeof m_szFilterText, "%s", a_szFilterText);
  int iWords = 0;
  char* psz = m_szFilterText;
  while (*psz && iWords < kOsLogFilterWords) {
    while (*psz == ' ') *psz++ = '\0';
    if (!*psz) break;
    m_apszFilter[iWords++] = psz;
    while (*psz && *psz != ' ') ++psz;
  }
  m_apszFilter[iWords] = nullptr;
}

// Expands the group words, joins at most 128 bytes, drops the last blank
// and lowers the case.
void COsLogImpl::BuildSetupFilter(const char* a_szFilter, char* a_szJoined, size_t a_sizetJoined) {
  a_szJoined[0] = '\0';
  const char* psz = a_szFilter;
  for (;;) {
    psz += std::strspn(psz, " \t");
    size_t sizetWord = std::strcspn(psz, " \t");
    if (sizetWord == 0) break;
    const char* szSources = nullptr;
    for (const OsLogFilterAlias& alias : s_aoslogfilteralias) {
      if (std::strlen(alias.szWord) == sizetWord && strncasecmp(alias.szWord, psz, sizetWord) == 0) {
        szSources = alias.szSources;
      }
    }
    char szWord[kOsLogFilterSize + 2];
    if (!szSources && sizetWord < kOsLogFilterSize) {
      std::memcpy(szWord, psz, sizetWord);
      szWord[sizetWord] = ' ';
      szWord[sizetWord + 1] = '\0';
      szSources = szWord;
    }
    if (szSources) LogSStrCat(a_szJoined, a_sizetJoined, szSources);
    psz += sizetWord;
  }
  char* pszBlank = std::strrchr(a_szJoined, ' ');
  if (pszBlank) *pszBlank = '\0';
  for (char* pszLower = a_szJoined; *pszLower; ++pszLower) {
    *pszLower = static_cast<char>(std::tolower(static_cast<unsigned char>(*pszLower)));
  }
}

void COsLogImpl::Setup(const char* a_szFile, long a_lLevel, const char* a_szFilter, long* a_plDsState) {
  char szNewPath[kOsLogPathSize] = {};
  if (a_szFile) ResolveSetupPath(a_szFile, szNewPath, sizeof szNewPath);
  char szJoined[kOsLogFilterSize] = {};
  if (a_szFilter) BuildSetupFilter(a_szFilter, szJoined, sizeof szJoined);
  {
    COsLogLock lock(&s_pvFinalLock);
    m_blDebugDirCheck = true;
    if (a_szFile) {
      if (!m_blHeaderPending && std::strcmp(szNewPath, m_szPath) != 0) {
        // A new file begins with the whole header block.
        m_blHeaderPending = true;
        m_blOsWritten = m_blAppWritten = m_blLibWritten = false;
      }
      std::memcpy(m_szPath, szNewPath, sizeof m_szPath);
      m_iHopeless.store(m_szPath[0] ? 0 : 1);
    } else if (!m_szPath[0]) {
      m_iHopeless.store(1);
      return;
    } else {
      m_iHopeless.store(0);
      m_blHeaderPending = false;
    }
    std::memcpy(m_szDisplayFilter, szJoined, sizeof m_szDisplayFilter);
    m_lRequestedLevel = a_lLevel;
    if (a_lLevel & kLevelAppend) m_blAppend = true;
  }
  if (a_szFilter) {
    COsLogLock lock(&s_pvFilterLock);
    SetFilterWords(szJoined);
  }
  if (a_lLevel & kLevelDump) m_blDump.store(true);
  if (a_lLevel & kLevelDebugFind) m_blDebugFind.store(true);
  if (a_lLevel & kLevelErrorsOnly) m_blErrorsOnly.store(true);
  m_lLevel.store(a_lLevel & ~(kLevelDump | kLevelAppend | kLevelDebugFind));
  if (a_plDsState) m_plDsState.store(a_plDsState);
}

void COsLogImpl::SetFallbackPath(const char* a_szPath) {
  COsLogLock lock(&s_pvFinalLock);
  if (LogSStrPrintf(s_szFallbackPath, sizeof s_szFallbackPath, "%s", a_szPath ? a_szPath : "/tmp/pmx.log") < 0) {
    s_szFallbackPath[0] = '\0';
  }
}

void COsLogImpl::CopyPath(char (&a_szPath)[kOsLogPathSize]) {
  COsLogLock lock(&s_pvFinalLock);
  std::memcpy(a_szPath, m_szPath, sizeof a_szPath);
}

long COsLogImpl::GetDsState() const {
  long* plState = m_plDsState.load();
  return plState ? __atomic_load_n(plState, __ATOMIC_RELAXED) : 1;
}

void COsLogImpl::SetDsState(long a_lState) {
  long* plState = m_plDsState.load();
  if (plState) __atomic_store_n(plState, a_lState, __ATOMIC_RELAXED);
}

long COsLogImpl::GetIsTWAIN() const {
  long* plState = m_plDsState.load();
  if (!plState) return 0;
  long lState = __atomic_load_n(plState, __ATOMIC_RELAXED);
  if (lState == 9) return 0;
  return lState == 0 ? 1 : lState;
}

// ---------------------------------------------------------------------------
// One message.

int COsLogImpl::VMessage(const char* a_szFile, long a_lLine, long a_eoslogflag, const char* a_szFormat,
                         va_list a_valist) {
  const int iErrno = errno;
  if (m_iHopeless.load(std::memory_order_relaxed)) return iErrno;
  const long lBase = a_eoslogflag & ~static_cast<long>(OS_LOG_FLUSH);
  // A routine the log calls (file, time, configuration) may log: dropped.
  if (!PassesLevel(lBase) || COsLogInside::IsInside()) return iErrno;
  {
    COsLogInside inside;
    OsLogSlot* pslot = FindSlot();
    if (pslot && pslot->u8Busy.load(std::memory_order_relaxed) == 0) {
      pslot->u8Busy.store(1, std::memory_order_relaxed);
      pslot->i64Errno = iErrno;
      pslot->cLetter = LetterOf(lBase);
      DeriveSource(a_szFile, pslot->szSource, sizeof pslot->szSource);
      pslot->i64Line = a_lLine;
      WriteLine(pslot, lBase, a_szFormat, a_valist);
      pslot->u8Busy.store(0, std::memory_order_release);
    }
    if (lBase == OS_LOG_ASSERT && m_blAssert.load(std::memory_order_relaxed)) AssertTail(a_szFile, a_lLine, a_szFormat);
  }
  errno = iErrno;
  return iErrno;
}

bool COsLogImpl::PassesLevel(long a_lBase) const {
  if (a_lBase == OS_LOG_FIND) return m_blDebugFind.load(std::memory_order_relaxed);
  if (a_lBase == OS_LOG_ERROR || a_lBase == OS_LOG_ASSERT) return true;
  if (m_blErrorsOnly.load(std::memory_order_relaxed) && a_lBase != OS_LOG_PROTOCOL) return false;
  long lLevel = m_lLevel.load(std::memory_order_relaxed);
  if (lLevel & kLevelUsbOnly) return a_lBase == OS_LOG_USBWIRE;
  if (lLevel & kLevelMemOnly) return IsMemoryFlag(a_lBase);
  return true;
}

// The caller's slot; a thread without one takes the first free slot or one
// whose thread has ended. None when 64 live threads hold them all.
OsLogSlot* COsLogImpl::FindSlot() {
  const uint64_t u64ThreadId = COsThread::GetThreadId();
  // Only this thread ever stores its own id, so the search needs no lock.
  for (OsLogSlot& slot : m_aslot) {
    if (slot.u64ThreadId.load(std::memory_order_acquire) == u64ThreadId) return &slot;
  }
  COsLogLock lock(&s_pvSlotLock);
  for (OsLogSlot& slot : m_aslot) {
    uint64_t u64Owner = slot.u64ThreadId.load(std::memory_order_acquire);
    if (u64Owner != 0 && COsThread::IsOwnThreadRunning(u64Owner)) continue;
    // Reading the guard the last owner released orders its writes before ours.
    slot.u8Busy.exchange(0, std::memory_order_acq_rel);
    slot.u64ThreadId.store(u64ThreadId, std::memory_order_release);
    return &slot;
  }
  return nullptr;
}

bool COsLogImpl::PassesFilter(const char* a_szSource) {
  COsLogLock lock(&s_pvFilterLock);
  bool blHasInclude = false;
  bool blIncluded = false;
  for (char** ppsz = m_apszFilter; *ppsz; ++ppsz) {
    const char* szWord = *ppsz;
    if (szWord[0] == '~') {
      if (szWord[1] && std::strstr(a_szSource, szWord + 1)) return false;
    } else {
      blHasInclude = true;
      if (std::strstr(a_szSource, szWord)) blIncluded = true;
    }
  }
  return !blHasInclude || blIncluded;
}

void COsLogImpl::WriteLine(OsLogSlot* a_pslot, long a_lBase, const char* a_szFormat, va_list a_valist) {
  if (a_lBase != OS_LOG_ERROR && !PassesFilter(a_pslot->szSource)) return;
  if (m_lLevel.load(std::memory_order_relaxed) & kLevelFlush) {
    m_lLevel.fetch_and(~kLevelFlush);
    m_blFlushing.store(true);
  }
  // The time is read under the line lock: the C library's time-zone lock is
  // then never held by a log thread when the fork handler lets a fork go on,
  // so a child cannot inherit it taken.
  COsLogLock lock(&s_pvFinalLock);
  COsTime::GetLocalTime(&a_pslot->timerecord);
  if (!m_szPath[0] || !LogDirectoryKnown()) return;
  if (m_blDebugDirCheck) ApplyDebugDirectory(a_pslot);
  int iFd = OpenLog(a_pslot);
  if (iFd < 0) return;
  if (m_blHeaderPending || !m_blOsWritten || !m_blAppWritten || !m_blLibWritten) WriteHeader(a_pslot, iFd);
  ++m_i64Counter;
  if (m_lLevel.load(std::memory_order_relaxed) & 0x20) {
    // Comparable logs: counter, time and errno print as zeros.
    m_i64Counter = 0;
    a_pslot->i64Errno = 0;
    a_pslot->timerecord.u16Hour = a_pslot->timerecord.u16Minute = 0;
    a_pslot->timerecord.u16Second = a_pslot->timerecord.u16Milliseconds = 0;
  }
  AssembleAndWrite(a_pslot, iFd, a_szFormat, a_valist);
  // Each line leaves with one write(2), so there is no stream to flush for
  // flag 16 or the flush switch: closing hands it to the system.
  close(iFd);
}

void COsLogImpl::AssertTail(const char* a_szFile, long a_lLine, const char* a_szFormat) {
  if (m_lLevel.load(std::memory_order_relaxed)) {
    std::fprintf(stderr, "<%s> <%ld> <%s>\r\n", a_szFile ? a_szFile : "", a_lLine, a_szFormat ? a_szFormat : "");
    std::fflush(stderr);
  }
  Flush();
}
