// Appended resources: finding a named resource through the footer and
// mapping its pages read-only, listing the names, updating a file, and the
// version of a .NET assembly asked for as its "VERSION" resource.
#include "os_cosresourceimpl.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <strings.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosstring.h"

extern char** environ;

namespace {
constexpr size_t s_sizetAssemblyOutput = 1024;

// Runs a program found in PATH with an argument vector, standard output and
// error into one pipe, and keeps at most a_sizetMax bytes of what it says.
// A program that is not there says nothing; false only when no child could
// be started.
bool RunCapture(const char* const* a_pszArgv, char* a_szOutput, size_t a_sizetMax) {
  a_szOutput[0] = '\0';
  int aiFd[2];
  if (pipe2(aiFd, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t fileactions;
  posix_spawn_file_actions_init(&fileactions);
  posix_spawn_file_actions_adddup2(&fileactions, aiFd[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&fileactions, aiFd[1], STDERR_FILENO);
  posix_spawn_file_actions_addopen(&fileactions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t pid = 0;
  int iError = posix_spawnp(&pid, a_pszArgv[0], &fileactions, nullptr, const_cast<char* const*>(a_pszArgv), environ);
  posix_spawn_file_actions_destroy(&fileactions);
  close(aiFd[1]);
  if (iError != 0) {
    close(aiFd[0]);
    return iError == ENOENT || iError == EACCES || iError == ENOEXEC;
  }
  size_t sizetTotal = 0;
  while (sizetTotal < a_sizetMax) {
    ssize_t sRead = read(aiFd[0], a_szOutput + sizetTotal, a_sizetMax - sizetTotal);
    if (sRead < 0 && errno == EINTR) continue;
    if (sRead <= 0) break;
    sizetTotal += static_cast<size_t>(sRead);
  }
  a_szOutput[sizetTotal] = '\0';
  close(aiFd[0]);  // a program with more to say ends on the closed pipe
  int iStatus = 0;
  while (waitpid(pid, &iStatus, 0) < 0 && errno == EINTR) {
  }
  return true;
}

// A file name made absolute; the library's own file for a null name and
// for "OsResourceGetLocal".
bool ResolveFile(const char* a_szFile, char* a_szPath, size_t a_sizetPath) {
  if (!a_szFile || std::strcmp(a_szFile, OS_RESOURCE_LOCAL) == 0) {
    return COsResourceImpl::OwnPath(a_szPath, a_sizetPath);
  }
  return COsFile::PathAbsolute(a_szPath, a_sizetPath, a_szFile) == OS_STS_SUCCESS;
}

const char* Text(const char* a_sz) { return a_sz ? a_sz : ""; }

uint32_t Le32(const unsigned char* a_pu8) {
  return a_pu8[0] | a_pu8[1] << 8 | a_pu8[2] << 16 | static_cast<uint32_t>(a_pu8[3]) << 24;
}

// Whether the file is a .NET assembly, read from its own header (no program
// is run): a PE image whose optional header holds a CLI runtime directory
// (entry 14) of non-zero size. Anything short or malformed is not one.
bool IsNetAssembly(const char* a_szPath) {
  constexpr size_t sizetHeader = 4096;
  constexpr uint32_t u32CliDirectory = 14;
  unsigned char au8[sizetHeader];
  const int iFd = open(a_szPath, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (iFd < 0) return false;
  struct stat st;
  ssize_t sszRead = fstat(iFd, &st) == 0 && S_ISREG(st.st_mode) ? pread(iFd, au8, sizeof au8, 0) : -1;
  close(iFd);
  if (sszRead < 0x40 || au8[0] != 'M' || au8[1] != 'Z') return false;
  const size_t sizetRead = static_cast<size_t>(sszRead);
  const uint32_t u32Pe = Le32(au8 + 0x3c);
  // Signature (4) and file header (20), then the optional header's magic.
  if (u32Pe > sizetRead || sizetRead - u32Pe < 26 || std::memcmp(au8 + u32Pe, "PE\0\0", 4) != 0) return false;
  const size_t sizetOptional = u32Pe + 24;
  const unsigned uMagic = au8[sizetOptional] | au8[sizetOptional + 1] << 8;
  if (uMagic != 0x10b && uMagic != 0x20b) return false;
  const size_t sizetCount = sizetOptional + (uMagic == 0x10b ? 92 : 108);
  const size_t sizetEntry = sizetCount + 4 + u32CliDirectory * 8;
  if (sizetEntry + 8 > sizetRead || Le32(au8 + sizetCount) <= u32CliDirectory) return false;
  return Le32(au8 + sizetEntry) != 0 && Le32(au8 + sizetEntry + 4) != 0;
}
}  // namespace

COsResourceImpl::COsResourceImpl()
    : m_pvData(nullptr), m_u64Size(0), m_aszNames{}, m_iNames(-1), m_iCursor(0), m_szVersion{}, m_sizetMap(0),
      m_pvMap(nullptr), m_iFd(-1), m_aslot{} {}

COsResourceImpl::~COsResourceImpl() { Close(); }

bool COsResourceImpl::OwnPath(char* a_szPath, size_t a_sizetPath) {
  const char* szDriverPath = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_DRIVERPATH) : nullptr;
  if (szDriverPath && szDriverPath[0]) {
    return COsString::SStrPrintf(a_szPath, a_sizetPath, "%s", szDriverPath) >= 0;
  }
  Dl_info dlinfo;
  if (!dladdr(reinterpret_cast<void*>(&g_oscfglocatorfunction), &dlinfo) || !dlinfo.dli_fname) {
    OsLog(OS_LOG_ERROR, "dladdr failed...");
    return false;
  }
  return COsFile::PathAbsolute(a_szPath, a_sizetPath, dlinfo.dli_fname) == OS_STS_SUCCESS;
}

EOSSTS COsResourceImpl::OpenAssemblyVersion(const char* a_szPath, const char* a_szName) {
  if (!IsNetAssembly(a_szPath)) return OS_STS_END_OF_LIST;
  char szAssembly[s_sizetAssemblyOutput + 1];
  const char* const apszAssembly[] = {"monodis", "--assembly", a_szPath, nullptr};
  if (!RunCapture(apszAssembly, szAssembly, s_sizetAssemblyOutput)) {
    OsLogDebug(OS_LOG_INFO, "popen failed...<%s> <%s>", a_szName, a_szPath);
    return OS_STS_FAIL;
  }
  const char* szVersion = std::strstr(szAssembly, "Version:");
  if (!szVersion) {
    OsLogDebug(OS_LOG_INFO, "Version: not found...<%s> <%s>", a_szName, a_szPath);
    return OS_STS_FAIL;
  }
  szVersion += std::strlen("Version:");
  if (*szVersion) ++szVersion;
  while (*szVersion && std::isspace(static_cast<unsigned char>(*szVersion))) ++szVersion;
  size_t sizetVersion = 0;
  while (szVersion[sizetVersion] && !std::isspace(static_cast<unsigned char>(szVersion[sizetVersion]))) ++sizetVersion;
  m_szVersion[0] = '\0';
  COsString::SStrNcat(m_szVersion, sizeof m_szVersion, szVersion,
                      sizetVersion < sizeof m_szVersion ? sizetVersion : sizeof m_szVersion - 1);
  m_pvData = m_szVersion;
  m_u64Size = std::strlen(m_szVersion);
  return OS_STS_SUCCESS;
}

int COsResourceImpl::OpenFooter(const char* a_szPath, const char* a_szName, EOSRESOURCEFOOTER* a_peosresourcefooter) {
  // Non-blocking: a pipe given as the file must not hang the open.
  int iFd = open(a_szPath, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (iFd < 0) return -1;
  OsLogDebug(OS_LOG_INFO, "opened...<%s> <%s>", a_szName, a_szPath);
  struct stat st;
  uint64_t u64ContentEnd = 0;
  *a_peosresourcefooter = fstat(iFd, &st) != 0 ? OS_RESOURCEFOOTER_IOERROR
                          : !S_ISREG(st.st_mode)
                              ? OS_RESOURCEFOOTER_NONE
                              : COsResourceFooter::Read(iFd, static_cast<uint64_t>(st.st_size), m_aslot, &u64ContentEnd);
  return iFd;
}

EOSSTS COsResourceImpl::Open(const char* a_szFile, const char* a_szName) {
  if (m_pvData) {
    OsLog(OS_LOG_ASSERT, "this osresource is already in use...");
    return OS_STS_FAIL;
  }
  if (!a_szName) {
    OsLog(OS_LOG_ASSERT, "a_szName is null...");
    return OS_STS_FAIL;
  }
  char szPath[s_sizetPath] = {};
  if (!ResolveFile(a_szFile, szPath, sizeof szPath)) {
    OsLogDebug(OS_LOG_INFO, "open failed...<%s> <%s>", a_szName, Text(a_szFile));
    return OS_STS_FAIL;
  }
  if (std::strcmp(a_szName, "VERSION") == 0) {
    EOSSTS eosstatus = OpenAssemblyVersion(szPath, a_szName);
    if (eosstatus != OS_STS_END_OF_LIST) return eosstatus;
  }
  EOSRESOURCEFOOTER eosresourcefooter;
  int iFd = OpenFooter(szPath, a_szName, &eosresourcefooter);
  if (iFd < 0) {
    OsLogDebug(OS_LOG_INFO, "open failed...<%s> <%s>", a_szName, szPath);
    return OS_STS_FAIL;
  }
  if (eosresourcefooter != OS_RESOURCEFOOTER_VALID) {
    OsLogDebug(OS_LOG_INFO, "footer is invalid...<%s> <%s>", a_szName, szPath);
    close(iFd);
    return OS_STS_FAIL;
  }
  int iFound = -1;
  for (int iSlot = COsResourceFooter::s_iFirstSlot; iSlot > 0 && m_aslot[iSlot].szName[0] && iFound < 0; --iSlot) {
    OsLogDebug(OS_LOG_INFO, "searching...%02d <%s> <%s>", iSlot, m_aslot[iSlot].szName, a_szName);
    if (strcasecmp(m_aslot[iSlot].szName, a_szName) == 0) iFound = iSlot;
  }
  if (iFound < 0) {
    OsLogDebug(OS_LOG_INFO, "find failed...<%s> <%s>", a_szName, szPath);
    close(iFd);
    return OS_STS_FAIL;
  }
  // Only the pages of the resource are mapped.
  uint64_t u64Page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
  uint64_t u64Offset = m_aslot[iFound].u64Offset;
  uint64_t u64Base = u64Offset & ~(u64Page - 1);
  size_t sizetMap = static_cast<size_t>(u64Offset - u64Base + m_aslot[iFound].u64Size);
  void* pvMap = mmap(nullptr, sizetMap ? sizetMap : 1, PROT_READ, MAP_PRIVATE, iFd, static_cast<off_t>(u64Base));
  if (pvMap == MAP_FAILED) {
    OsLogDebug(OS_LOG_INFO, "mmap failed...<%s> <%s>", a_szName, szPath);
    close(iFd);
    return OS_STS_FAIL;
  }
  m_pvMap = pvMap;
  m_sizetMap = sizetMap ? sizetMap : 1;
  m_iFd = iFd;
  m_pvData = static_cast<const char*>(pvMap) + (u64Offset - u64Base);
  m_u64Size = m_aslot[iFound].u64Size;
  return OS_STS_SUCCESS;
}

EOSSTS COsResourceImpl::Close() {
  if (m_pvMap && munmap(m_pvMap, m_sizetMap) != 0) OsLog(OS_LOG_ERROR, "munmap failed...%p", m_pvMap);
  if (m_iFd >= 0) close(m_iFd);
  m_pvMap = nullptr;
  m_sizetMap = 0;
  m_iFd = -1;
  m_pvData = nullptr;
  m_u64Size = 0;
  return OS_STS_SUCCESS;
}

EOSSTS COsResourceImpl::FindFirst(const char* a_szFile, char* a_szName, size_t a_sizetName) {
  m_iNames = 0;
  m_iCursor = 0;
  char szPath[s_sizetPath] = {};
  if (!ResolveFile(a_szFile, szPath, sizeof szPath)) {
    OsLog(OS_LOG_ERROR, "open failed...<%s> <%s>", Text(a_szFile), szPath);
    return OS_STS_FAIL;
  }
  EOSRESOURCEFOOTER eosresourcefooter;
  int iFd = OpenFooter(szPath, Text(a_szFile), &eosresourcefooter);
  if (iFd < 0) {
    OsLog(OS_LOG_ERROR, "open failed...<%s> <%s>", Text(a_szFile), szPath);
    return OS_STS_FAIL;
  }
  close(iFd);
  if (eosresourcefooter == OS_RESOURCEFOOTER_IOERROR) {
    OsLog(OS_LOG_ERROR, "read failed...<%s> <%s>", Text(a_szFile), szPath);
    return OS_STS_FAIL;
  }
  if (eosresourcefooter != OS_RESOURCEFOOTER_VALID) {
    OsLogDebug(OS_LOG_INFO, "footer is invalid...<%s> <%s>", Text(a_szFile), szPath);
    return OS_STS_END_OF_LIST;
  }
  for (int iSlot = COsResourceFooter::s_iFirstSlot; iSlot > 0 && m_aslot[iSlot].szName[0]; --iSlot) {
    COsString::SStrCpy(m_aszNames[m_iNames++], COsResourceFooter::s_sizetName, m_aslot[iSlot].szName);
  }
  return NextName(a_szName, a_sizetName);
}

EOSSTS COsResourceImpl::FindNext(char* a_szName, size_t a_sizetName) {
  if (m_iNames < 0) {
    OsLog(OS_LOG_ERROR, "must call FindFirst first...");
    return OS_STS_FAIL;
  }
  return NextName(a_szName, a_sizetName);
}

EOSSTS COsResourceImpl::NextName(char* a_szName, size_t a_sizetName) {
  if (m_iCursor >= m_iNames) return OS_STS_END_OF_LIST;
  if (!a_szName || std::strlen(m_aszNames[m_iCursor]) >= a_sizetName) {
    OsLog(OS_LOG_ASSERT, "a_szName too small...%p %u <%s>", static_cast<void*>(a_szName),
          static_cast<unsigned>(a_sizetName), m_aszNames[m_iCursor]);
    return OS_STS_NOROOM_BUFFER;
  }
  COsString::SStrCpy(a_szName, a_sizetName, m_aszNames[m_iCursor++]);
  return OS_STS_SUCCESS;
}

EOSSTS COsResourceImpl::FindClose() {
  m_iNames = -1;
  m_iCursor = 0;
  return OS_STS_SUCCESS;
}

EOSSTS COsResourceImpl::Update(const char* a_szFile, const char* a_szName, EOSRESOURCETYPE a_eosresourcetype,
                               uint64_t a_u64Size, const void* a_pvData) {
  if (a_eosresourcetype != OS_RESOURCETYPE_DATA) {
    OsLog(OS_LOG_ERROR, "Unrecognized resource type: %d", static_cast<int>(a_eosresourcetype));
    return OS_STS_FAIL;
  }
  char szPath[s_sizetPath] = {};
  if (!ResolveFile(a_szFile, szPath, sizeof szPath)) {
    OsLog(OS_LOG_ERROR, "osfileBinary.Open...<%s>", Text(a_szFile));
    return OS_STS_FAIL;
  }
  OsResourceChange change = {a_szName, a_pvData, a_u64Size};
  char szError[COsResourceImpl::s_sizetPath + 128] = {};
  if (COsResourceFooter::Update(szPath, &change, 1, szError, sizeof szError) != 0) {
    OsLog(OS_LOG_ERROR, "%s", szError);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}
