// The public log object: a thin shell over COsLogImpl that answers quietly
// when the implementation is missing; and the log's own bounded string
// helpers, which report on standard error so the log never calls itself.
#include "os_coslog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslogimpl.h"

COsLog* g_poslog = nullptr;

COsLog::COsLog(const char* a_szName, const char* a_szFile, long a_lLevel, const char* a_szFilter)
    : m_poslogimpl(new (std::nothrow) COsLogImpl(a_szName, a_szFile, a_lLevel, a_szFilter)) {}

COsLog::~COsLog() {
  if (!m_poslogimpl) return;
  if (m_poslogimpl->GetDebugLevel()) Message(__FILE__, __LINE__, OS_LOG_INFO, "mem>>> addr:%p delete-object", this);
  // Nobody may reach a log that is going away.
  if (g_poslog == this) g_poslog = nullptr;
  delete m_poslogimpl;
  m_poslogimpl = nullptr;
}

int COsLog::Message(const char* a_szFile, long a_lLine, long a_eoslogflag, const char* a_szFormat, ...) {
  va_list valist;
  va_start(valist, a_szFormat);
  int iErrno = VMessage(a_szFile, a_lLine, a_eoslogflag, a_szFormat, valist);
  va_end(valist);
  return iErrno;
}

int COsLog::VMessage(const char* a_szFile, long a_lLine, long a_eoslogflag, const char* a_szFormat,
                     va_list a_valist) {
  if (!m_poslogimpl) return errno;
  return m_poslogimpl->VMessage(a_szFile, a_lLine, a_eoslogflag, a_szFormat, a_valist);
}

void COsLog::Setup(const char* a_szFile, long a_lLevel, const char* a_szFilter, long* a_plDsState) {
  if (!m_poslogimpl) return;
  int iErrno = errno;
  m_poslogimpl->Setup(a_szFile, a_lLevel, a_szFilter, a_plDsState);
  if (m_poslogimpl->GetDebugLevel()) Message(__FILE__, __LINE__, OS_LOG_PROTOCOL, "### OsServicesStart...");
  errno = iErrno;
}

long COsLog::GetDebugLevel() { return m_poslogimpl ? m_poslogimpl->GetDebugLevel() : 0; }

void COsLog::SetDebugLevel(long a_lLevel) {
  if (m_poslogimpl) m_poslogimpl->SetDebugLevel(a_lLevel);
}

bool COsLog::GetDebugFind() { return m_poslogimpl && m_poslogimpl->GetDebugFind(); }

long COsLog::GetDsState() { return m_poslogimpl ? m_poslogimpl->GetDsState() : 0; }

void COsLog::SetDsState(long a_lState) {
  if (m_poslogimpl) m_poslogimpl->SetDsState(a_lState);
}

long COsLog::GetIsTWAIN() { return m_poslogimpl ? m_poslogimpl->GetIsTWAIN() : 0; }

bool COsLog::GetIsDump() { return m_poslogimpl && m_poslogimpl->GetIsDump(); }

bool COsLog::IsFlushing() { return m_poslogimpl && m_poslogimpl->IsFlushing(); }

void COsLog::EnableAssert(bool a_blEnable) {
  if (m_poslogimpl) m_poslogimpl->EnableAssert(a_blEnable);
}

int COsLog::SetHopeless(int a_iHopeless) { return m_poslogimpl ? m_poslogimpl->SetHopeless(a_iHopeless) : 1; }

void COsLog::GetFilename(char* a_szFile, size_t a_sizetFile) {
  if (!m_poslogimpl) return;
  char szPath[kOsLogPathSize];
  m_poslogimpl->CopyPath(szPath);
  // Outside the line lock: the path copy may log.
  COsFile::PathSet(a_szFile, a_sizetFile, szPath);
}

EOSSTS COsLog::GetLogFile(char* a_szFile, size_t a_sizetFile) {
  if (!m_poslogimpl) return OS_STS_FAIL;
  char szPath[kOsLogPathSize];
  m_poslogimpl->CopyPath(szPath);
  size_t sizetPath = std::strlen(szPath);
  if (!a_szFile || a_sizetFile == 0 || sizetPath >= a_sizetFile - 1) return OS_STS_BAD_ARGUMENT;
  std::memcpy(a_szFile, szPath, sizetPath + 1);
  return OS_STS_SUCCESS;
}

void COsLog::Flush() {
  if (m_poslogimpl) m_poslogimpl->Flush();
}

long COsLog::DisplayLength() {
  if (!m_poslogimpl) return 0;
  return OsCfgGetLong(1, 38, 512);  // dsIdentity, DebugDisplayLength
}

void COsLog::SetFallbackPath(const char* a_szPath) { COsLogImpl::SetFallbackPath(a_szPath); }

// ---------------------------------------------------------------------------
// Bounded helpers for the log's own use.

namespace {
void ReportArguments(const char* a_szWho, const char* a_szBuffer, size_t a_sizetBuffer, const char* a_szText) {
  std::fprintf(stderr, "%s failed...%p %u %p\n", a_szWho, static_cast<const void*>(a_szBuffer),
               static_cast<unsigned>(a_sizetBuffer), static_cast<const void*>(a_szText));
  std::fflush(stderr);
}

void ReportOverflow(const char* a_szWho, const char* a_szText) {
  std::fprintf(stderr, "%s failed...<%s>\n", a_szWho, a_szText);
  std::fflush(stderr);
}

// Prints behind a_sizetUsed bytes; the total length, or -1 (cut text stays).
int PrintAt(const char* a_szWho, char* a_szBuffer, size_t a_sizetBuffer, size_t a_sizetUsed, const char* a_szFormat,
            va_list a_valist) {
  int iCount = std::vsnprintf(a_szBuffer + a_sizetUsed, a_sizetBuffer - a_sizetUsed, a_szFormat, a_valist);
  if (iCount < 0 || a_sizetUsed + static_cast<size_t>(iCount) >= a_sizetBuffer) {
    ReportOverflow(a_szWho, a_szFormat);
    return -1;
  }
  return static_cast<int>(a_sizetUsed + static_cast<size_t>(iCount));
}
}  // namespace

int LogSStrVcatf(char* a_szBuffer, size_t a_sizetBuffer, const char* a_szFormat, va_list a_valist) {
  if (!a_szBuffer || a_sizetBuffer == 0 || !a_szFormat) {
    ReportArguments("LogSStrCatf", a_szBuffer, a_sizetBuffer, a_szFormat);
    return -1;
  }
  size_t sizetUsed = strnlen(a_szBuffer, a_sizetBuffer);
  if (sizetUsed >= a_sizetBuffer) {
    ReportOverflow("LogSStrCatf", a_szFormat);
    return -1;
  }
  return PrintAt("LogSStrCatf", a_szBuffer, a_sizetBuffer, sizetUsed, a_szFormat, a_valist);
}

int LogSStrPrintf(char* a_szBuffer, size_t a_sizetBuffer, const char* a_szFormat, ...) {
  if (!a_szBuffer || a_sizetBuffer == 0 || !a_szFormat) {
    ReportArguments("LogSStrPrintf", a_szBuffer, a_sizetBuffer, a_szFormat);
    return -1;
  }
  va_list valist;
  va_start(valist, a_szFormat);
  int iResult = PrintAt("LogSStrPrintf", a_szBuffer, a_sizetBuffer, 0, a_szFormat, valist);
  va_end(valist);
  return iResult;
}

int LogSStrCatf(char* a_szBuffer, size_t a_sizetBuffer, const char* a_szFormat, ...) {
  va_list valist;
  va_start(valist, a_szFormat);
  int iResult = LogSStrVcatf(a_szBuffer, a_sizetBuffer, a_szFormat, valist);
  va_end(valist);
  return iResult;
}

int LogSStrCat(char* a_szBuffer, size_t a_sizetBuffer, const char* a_szText) {
  if (!a_szBuffer || a_sizetBuffer == 0 || !a_szText) {
    ReportArguments("LogSStrCat", a_szBuffer, a_sizetBuffer, a_szText);
    return -1;
  }
  size_t sizetUsed = strnlen(a_szBuffer, a_sizetBuffer);
  size_t sizetText = std::strlen(a_szText);
  if (sizetUsed >= a_sizetBuffer || sizetText >= a_sizetBuffer - sizetUsed) {
    ReportOverflow("LogSStrCat", a_szText);
    return -1;
  }
  std::memcpy(a_szBuffer + sizetUsed, a_szText, sizetText + 1);
  return static_cast<int>(sizetUsed + sizetText);
}
