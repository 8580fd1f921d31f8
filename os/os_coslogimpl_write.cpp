// The part of a log line that runs under the line lock: finding the log
// directory, opening the file (with its fallbacks), the header block, and the
// line itself, assembled in the shared 1 MiB buffer and written in one call.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_coslogimpl.h"
#include "os_costhread.h"
#include "os_costime.h"

namespace {
constexpr const char* kVersion = "6.4.0.0";
constexpr const char* kNoneProvided = "(none provided)";
constexpr const char* s_aszIntegrity[] = {"undefined", "protected-low", "low",  "protected-medium",
                                          "medium",    "protected-high", "high", "last"};

void WriteAll(int a_iFd, const char* a_szData, size_t a_sizetData) {
  while (a_sizetData > 0) {
    ssize_t sstWritten = write(a_iFd, a_szData, a_sizetData);
    if (sstWritten < 0 && errno == EINTR) continue;
    if (sstWritten <= 0) return;
    a_szData += sstWritten;
    a_sizetData -= static_cast<size_t>(sstWritten);
  }
}

// A descriptor that is not a regular file is refused (closed, -1).
int RegularOnly(int a_iFd) {
  struct stat st;
  if (a_iFd < 0 || (fstat(a_iFd, &st) == 0 && S_ISREG(st.st_mode))) return a_iFd;
  close(a_iFd);
  errno = EINVAL;
  return -1;
}

// The normal open: append, creating the file with mode 0666 whatever the
// process's creation mask (set on the new descriptor, never through umask).
// The log lies in a directory others may write to: a link at its name is
// never followed, and only a plain file is written. Tells whether the file
// was made here.
int OpenAppend(const char* a_szPath, bool* a_pblCreated) {
  constexpr int kFlags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  *a_pblCreated = false;
  int iFd = open(a_szPath, kFlags);
  if (iFd >= 0 || errno != ENOENT) return RegularOnly(iFd);
  iFd = open(a_szPath, kFlags | O_CREAT | O_EXCL, 0666);
  if (iFd >= 0) {
    fchmod(iFd, 0666);
    *a_pblCreated = true;
    return iFd;
  }
  return errno == EEXIST ? RegularOnly(open(a_szPath, kFlags)) : -1;
}

// The last resort lives in a shared directory: never follow a link, never
// block on a fifo, accept nothing but a regular file.
int OpenFallback(const char* a_szPath, unsigned a_uMode, bool* a_pblCreated) {
  *a_pblCreated = false;
  if (!a_szPath[0]) return -1;
  int iFd = open(a_szPath, O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, a_uMode);
  if (iFd >= 0) {
    *a_pblCreated = true;
    return iFd;
  }
  return errno == EEXIST ? RegularOnly(open(a_szPath, O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)) : -1;
}

// Non-blocking was for the open only.
int Blocking(int a_iFd) {
  fcntl(a_iFd, F_SETFL, fcntl(a_iFd, F_GETFL) & ~O_NONBLOCK);
  return a_iFd;
}

// The first 511 bytes of the own command line: the program path.
void ReadProgramPath(char* a_szProgram, size_t a_sizetProgram) {
  LogSStrPrintf(a_szProgram, a_sizetProgram, "%s", kNoneProvided);
  char szProc[64];
  LogSStrPrintf(szProc, sizeof szProc, "/proc/%llu/cmdline", static_cast<unsigned long long>(getpid()));
  int iFd = open(szProc, O_RDONLY | O_CLOEXEC);
  if (iFd < 0) return;
  char szData[512] = {};
  ssize_t sstRead = read(iFd, szData, sizeof szData - 1);
  close(iFd);
  if (sstRead > 0 && szData[0]) LogSStrPrintf(a_szProgram, a_sizetProgram, "%s", szData);
}

// The system figures of the header, from the configuration service once it
// exists; zeros before.
struct LogSystemFigures {
  int iProcessors = 0;
  int iType = 0;
  int iLevel = 0;
  int iProcessBits = 0;
  int iMachineBits = 0;
  int iMhz = 0;
  long long llPhysicalFree = 0;
  long long llPhysicalTotal = 0;
  long long llVirtualFree = 0;
  long long llVirtualTotal = 0;
  int iLoad = 0;
};

void ReadSystemFigures(LogSystemFigures* a_pfigures) {
  if (!g_poscfg) return;
  a_pfigures->iProcessors = static_cast<int>(g_poscfg->InfoGetLong(OS_CFGINFO_CPU_TOTAL, 0));
  a_pfigures->iType = static_cast<int>(g_poscfg->InfoGetLong(OS_CFGINFO_CPU_FAMILY, 0));
  a_pfigures->iLevel = static_cast<int>(g_poscfg->InfoGetLong(OS_CFGINFO_CPU_LEVEL, 0));
  a_pfigures->iProcessBits = static_cast<int>(g_poscfg->InfoGetLong(OS_CFGINFO_CPU_PROCESSBITS, 0));
  a_pfigures->iMachineBits = static_cast<int>(g_poscfg->InfoGetLong(OS_CFGINFO_CPU_MACHINEBITS, 0));
  a_pfigures->iMhz = static_cast<int>(g_poscfg->InfoGetLong(OS_CFGINFO_CPU_MHZ, 0));
  a_pfigures->llPhysicalFree = static_cast<long long>(g_poscfg->InfoGetLongLong(OS_CFGINFO_MEM_AVAILABLEPHYSICAL, 0));
  a_pfigures->llPhysicalTotal = static_cast<long long>(g_poscfg->InfoGetLongLong(OS_CFGINFO_MEM_TOTALPHYSICAL, 0));
  a_pfigures->llVirtualFree = static_cast<long long>(g_poscfg->InfoGetLongLong(OS_CFGINFO_MEM_AVAILABLEVIRTUAL, 0));
  a_pfigures->llVirtualTotal = static_cast<long long>(g_poscfg->InfoGetLongLong(OS_CFGINFO_MEM_TOTALVIRTUAL, 0));
  a_pfigures->iLoad = static_cast<int>(g_poscfg->InfoGetLong(OS_CFGINFO_MEM_LOAD, 0));
}

const char* OrNone(const char* a_szText) { return a_szText ? a_szText : kNoneProvided; }
}  // namespace

// The directory part of the path must exist once before anything is written.
bool COsLogImpl::LogDirectoryKnown() {
  if (m_blDirKnown) return true;
  char szDirectory[kOsLogPathSize];
  std::memcpy(szDirectory, m_szPath, sizeof szDirectory);
  char* pszCut = nullptr;
  for (char* psz = szDirectory; *psz; ++psz) {
    if (*psz == '/' || *psz == '\\') pszCut = psz;
  }
  if (!pszCut) {
    std::strcpy(szDirectory, ".");
  } else {
    pszCut[pszCut == szDirectory ? 1 : 0] = '\0';
  }
  m_blDirKnown = COsFile::Exists(szDirectory);
  return m_blDirKnown;
}

// PMX_DEBUGDIR moves the log into that directory, under a time-stamped name.
void COsLogImpl::ApplyDebugDirectory(OsLogSlot* a_pslot) {
  m_blDebugDirCheck = false;
  const char* szDirectory = std::getenv("PMX_DEBUGDIR");
  if (!szDirectory || !*szDirectory) return;
  COsFile::Create(szDirectory);
  char szTime[32];
  char szPath[kOsLogPathSize];
  COsTime::GetStringTime(&a_pslot->timerecord, szTime, sizeof szTime);
  if (LogSStrPrintf(szPath, sizeof szPath, "%s/%s.log", szDirectory, szTime) >= 0) {
    std::memcpy(m_szPath, szPath, sizeof m_szPath);
  }
}

// Opens the log path; then the path again after creating its directories;
// then the fallback file; then nothing any more.
int COsLogImpl::OpenLog(OsLogSlot* a_pslot) {
  bool blCreated = false;
  int iFd = OpenAppend(m_szPath, &blCreated);
  if (iFd >= 0) return Blocking(iFd);
  const unsigned uMode = static_cast<unsigned>(OsCfgGetLong(1, 97, 511)) & 0777;  // ForceFileCreationMask
  iFd = OpenWithDirectories(a_pslot, uMode, &blCreated);
  if (iFd < 0) iFd = OpenFallback(s_szFallbackPath, uMode, &blCreated);
  if (iFd < 0) {
    m_iHopeless.store(1);
    return -1;
  }
  // Only a file made here gets the mode: an existing one may be anybody's.
  if (blCreated) fchmod(iFd, uMode);
  return Blocking(iFd);
}

// Creates each directory along the path ("/" and "\" both separate, a
// drive component such as "c:" is not created) and opens the joined path.
int COsLogImpl::OpenWithDirectories(OsLogSlot* a_pslot, unsigned a_uMode, bool* a_pblCreated) {
  *a_pblCreated = false;
  std::memcpy(a_pslot->szPathCopy, m_szPath, sizeof a_pslot->szPathCopy);
  char* apszComponent[32];
  int iComponents = 0;
  char* psz = a_pslot->szPathCopy;
  const bool blAbsolute = *psz == '/' || *psz == '\\';
  while (*psz && iComponents < 32) {
    while (*psz == '/' || *psz == '\\') *psz++ = '\0';
    if (!*psz) break;
    apszComponent[iComponents++] = psz;
    while (*psz && *psz != '/' && *psz != '\\') ++psz;
  }
  if (iComponents == 0 || *psz) return -1;
  char* szBuild = a_pslot->szPathBuild;
  const size_t sizetBuild = sizeof a_pslot->szPathBuild;
  LogSStrPrintf(szBuild, sizetBuild, "%s", blAbsolute ? "/" : "");
  for (int i = 0; i < iComponents; ++i) {
    if (i > 0 && LogSStrCat(szBuild, sizetBuild, "/") < 0) return -1;
    if (LogSStrCat(szBuild, sizetBuild, apszComponent[i]) < 0) return -1;
    size_t sizetComponent = std::strlen(apszComponent[i]);
    if (i + 1 < iComponents && apszComponent[i][sizetComponent - 1] != ':') mkdir(szBuild, a_uMode);
  }
  return OpenAppend(szBuild, a_pblCreated);
}

bool COsLogImpl::PrintPrefix(OsLogSlot* a_pslot, char* a_szBuffer, size_t a_sizetBuffer, long a_lCounter) {
  const OsTimeRecord& timerecord = a_pslot->timerecord;
  return LogSStrPrintf(a_szBuffer, a_sizetBuffer, "%05ld %02d%02d%02d%03d %-32.32s %5ld %5ld T%04llu S%d V%c ",
                       a_lCounter, timerecord.u16Hour, timerecord.u16Minute, timerecord.u16Second,
                       timerecord.u16Milliseconds, a_pslot->szSource, static_cast<long>(a_pslot->i64Line),
                       static_cast<long>(a_pslot->i64Errno),
                       static_cast<unsigned long long>(a_pslot->u64ThreadId.load(std::memory_order_relaxed)),
                       static_cast<int>(GetDsState()), a_pslot->cLetter) >= 0;
}

// One header line in a 4096-byte buffer; a line that does not fit is left out.
bool COsLogImpl::HeaderLine(OsLogSlot* a_pslot, int a_iFd, const char* a_szFormat, ...) {
  char szLine[kOsLogPrefixSize];
  if (!PrintPrefix(a_pslot, szLine, sizeof szLine, static_cast<long>(m_i64Counter))) return false;
  va_list valist;
  va_start(valist, a_szFormat);
  int iLength = LogSStrVcatf(szLine, sizeof szLine, a_szFormat, valist);
  va_end(valist);
  if (iLength < 0) return false;
  WriteAll(a_iFd, szLine, static_cast<size_t>(iLength));
  return true;
}

// The header block, each piece once. The system figures and version texts
// come from the configuration service; before it exists they print as zeros
// or "(none provided)", and the cheap facts (page size, pid, command line,
// kernel, the library file) are read directly.
void COsLogImpl::WriteHeader(OsLogSlot* a_pslot, int a_iFd) {
  const OsTimeRecord& tr = a_pslot->timerecord;
  if (m_blHeaderPending) {
    m_blHeaderPending = false;
    m_i64Counter = 0;
    // A file that cannot be cut keeps its old lines; the header still follows.
    if (!m_blAppend) (void)!ftruncate(a_iFd, 0);
    HeaderLine(a_pslot, a_iFd, "### (%04d/%02d/%02d %02d:%02d:%02d.%03d) Debug=%ld DebugFilter=<%s> Version=~%s\r\n",
               tr.u16Year, tr.u16Month, tr.u16Day, tr.u16Hour, tr.u16Minute, tr.u16Second, tr.u16Milliseconds,
               m_lRequestedLevel, m_szDisplayFilter, kVersion);
  }
  if (!m_blOsWritten) {
    m_blOsWritten = true;
    const int iBits = static_cast<int>(sizeof(void*) * 8);
    const int iIntegrity = COsThread::GetProcessIntegrity();
    LogSystemFigures figures;
    figures.iProcessBits = figures.iMachineBits = iBits;
    ReadSystemFigures(&figures);
    ++m_i64Counter;
    HeaderLine(a_pslot, a_iFd,
               "### systemInfo <arch:%d ps:%d pmask:0x%08lx ncpu:%d cputype:%d cpulevel:%d cpurev:%d "
               "bits:proc-%d/mach-%d spd:~%d pid:%llu pmem:%lld/%lld vmem:%lld/%lld memload:%d integrity:%s>\r\n",
               iBits == 64 ? 9 : 0, static_cast<int>(sysconf(_SC_PAGESIZE)), 0UL, figures.iProcessors, figures.iType,
               figures.iLevel, 0, figures.iProcessBits, figures.iMachineBits, figures.iMhz,
               static_cast<unsigned long long>(getpid()), figures.llPhysicalFree, figures.llPhysicalTotal,
               figures.llVirtualFree, figures.llVirtualTotal, figures.iLoad,
               s_aszIntegrity[iIntegrity >= 0 && iIntegrity < 8 ? iIntegrity : 0]);
    struct utsname utsname;
    const bool blUname = uname(&utsname) == 0;
    const char* szOs = g_poscfg ? g_poscfg->InfoGetString(OS_CFGINFO_OS_NAMESTRING, 0) : nullptr;
    const char* szKernel = g_poscfg ? g_poscfg->InfoGetString(OS_CFGINFO_OS_KERNELVERSIONSTRING, 0) : nullptr;
    ++m_i64Counter;
    HeaderLine(a_pslot, a_iFd, "### osInfo <Os:%s Kernel:%s>\r\n",
               szOs ? szOs : (blUname ? utsname.sysname : kNoneProvided),
               szKernel ? szKernel : (blUname ? utsname.release : kNoneProvided));
  }
  if (!m_blAppWritten) {
    m_blAppWritten = true;
    char szProgram[512];
    ReadProgramPath(szProgram, sizeof szProgram);
    ++m_i64Counter;
    HeaderLine(a_pslot, a_iFd, "### appInfo <%s> build=%s package=%s\r\n", szProgram,
               OrNone(g_poscfg ? g_poscfg->GetVersionBuild() : nullptr),
               OrNone(g_poscfg ? g_poscfg->GetVersionResource() : nullptr));
  }
  if (!m_blLibWritten) {
    m_blLibWritten = true;
    Dl_info dlinfo = {};
    const bool blFound = dladdr(reinterpret_cast<void*>(&g_oscfglocatorfunction), &dlinfo) && dlinfo.dli_fname;
    ++m_i64Counter;
    HeaderLine(a_pslot, a_iFd, "### dllInfo <%s> %p build=%s package=%s\r\n", blFound ? dlinfo.dli_fname : "",
               dlinfo.dli_fbase, OrNone(g_poscfg ? g_poscfg->GetVersionBuild() : nullptr),
               OrNone(g_poscfg ? g_poscfg->GetVersionResource() : nullptr));
  }
}

// Prefix and text in the shared buffer, CR LF behind, out in one write(2)
// so that lines of several processes never interleave. A text that does not
// fit leaves the prefix alone, its last blank turned into CR LF.
void COsLogImpl::AssembleAndWrite(OsLogSlot* a_pslot, int a_iFd, const char* a_szFormat, va_list a_valist) {
  if (!PrintPrefix(a_pslot, a_pslot->szPrefix, sizeof a_pslot->szPrefix, static_cast<long>(m_i64Counter))) return;
  size_t sizetPrefix = std::strlen(a_pslot->szPrefix);
  std::memcpy(s_szFinal, a_pslot->szPrefix, sizetPrefix + 1);
  int iTotal = LogSStrVcatf(s_szFinal, kOsLogFinalSize - 2, a_szFormat ? a_szFormat : "", a_valist);
  size_t sizetLine;
  if (iTotal < 0) {
    s_szFinal[sizetPrefix - 1] = '\r';
    s_szFinal[sizetPrefix] = '\n';
    sizetLine = sizetPrefix + 1;
  } else {
    sizetLine = static_cast<size_t>(iTotal);
    s_szFinal[sizetLine++] = '\r';
    s_szFinal[sizetLine++] = '\n';
  }
  WriteAll(a_iFd, s_szFinal, sizetLine);
}

void COsLogImpl::Flush() {
  COsLogLock lock(&s_pvFinalLock);
  if (!m_szPath[0]) return;
  bool blCreated = false;
  int iFd = OpenAppend(m_szPath, &blCreated);
  if (iFd >= 0) close(iFd);
}
