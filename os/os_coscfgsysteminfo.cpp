// Gathering of the system information: kernel release, distribution,
// processors, memory and the root volume. Every file is read below the path
// prefix, so that tests can feed fixture trees; nothing here fails: what
// cannot be read keeps its default.
#include "os_coscfgsysteminfo.h"

#include <cpuid.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {

constexpr size_t kWork = 65536;  // work buffer of the release, cpuinfo, meminfo and mounts readings

OsCfgSystemInfo s_oscfgsysteminfo;
bool s_blGathered = false;
bool s_blGathering = false;
// Recursive: a line logged while gathering may ask for the record again (the
// log header reads it); that caller then sees the record as far as it goes.
std::recursive_mutex s_mutexSystemInfo;
char s_szPrefix[512];

// The prefixed path of a system file.
bool SystemPath(char* a_szPath, size_t a_sizetPath, const char* a_szFile) {
  return COsString::SStrPrintf(a_szPath, a_sizetPath, "%s%s", s_szPrefix, a_szFile) >= 0;
}

// Reads at most a_sizetBuffer - 1 bytes of a system file, terminated; the
// count, or -1 when the file cannot be opened.
long ReadSystemFile(const char* a_szFile, char* a_szBuffer, size_t a_sizetBuffer) {
  char szPath[1024];
  a_szBuffer[0] = '\0';
  if (!SystemPath(szPath, sizeof szPath, a_szFile)) return -1;
  int iFd = open(szPath, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (iFd < 0) return -1;
  size_t sizetRead = 0;
  while (sizetRead + 1 < a_sizetBuffer) {
    ssize_t sstRead = read(iFd, a_szBuffer + sizetRead, a_sizetBuffer - 1 - sizetRead);
    if (sstRead < 0 && errno == EINTR) continue;
    if (sstRead <= 0) break;
    sizetRead += static_cast<size_t>(sstRead);
  }
  close(iFd);
  a_szBuffer[sizetRead] = '\0';
  return static_cast<long>(sizetRead);
}

// The 64 KiB work buffer; null (logged) when it cannot be had.
char* WorkBuffer() {
  char* szWork = static_cast<char*>(std::calloc(1, kWork));
  if (!szWork) OsLog(OS_LOG_ASSERT, "calloc failed...");
  return szWork;
}

// Calls a_pfn for each line of the text (lines end at CR or LF); the line is
// terminated for the call. Stops when a_pfn answers false.
template <class F>
void ForEachLine(char* a_szText, F a_pfn) {
  char* szLine = a_szText;
  while (*szLine) {
    char* szEnd = szLine + std::strcspn(szLine, "\r\n");
    const char cEnd = *szEnd;
    *szEnd = '\0';
    const bool blGoOn = a_pfn(szLine);
    *szEnd = cEnd;
    if (!blGoOn || !cEnd) return;
    szLine = szEnd + 1;
  }
}

bool BeginsWith(const char* a_szLine, const char* a_szWord, bool a_blAnyCase) {
  const size_t sizetWord = std::strlen(a_szWord);
  return a_blAnyCase ? strncasecmp(a_szLine, a_szWord, sizetWord) == 0
                     : std::strncmp(a_szLine, a_szWord, sizetWord) == 0;
}

// A decimal number (0 when there is none) and the minor number that follows
// it after a "." (0 when no "." follows the major number directly, so that a
// "." further on in the text is never taken for it).
void ReadVersionPair(const char* a_szText, long* a_plMajor, long* a_plMinor) {
  *a_plMajor = 0;
  *a_plMinor = 0;
  if (!a_szText) return;
  char* szEnd = nullptr;
  *a_plMajor = std::strtol(a_szText, &szEnd, 10);
  if (szEnd != a_szText && *szEnd == '.') *a_plMinor = std::strtol(szEnd + 1, nullptr, 10);
}

// The text after the last "=" of the line, or null.
const char* AfterLastEqual(const char* a_szLine) {
  const char* szEqual = std::strrchr(a_szLine, '=');
  return szEqual ? szEqual + 1 : nullptr;
}

// How the version numbers are found in a release file.
enum EOSCFGRELEASEREAD : int {
  OS_CFGRELEASE_NONE = 0,          // the name stays "LINUX"
  OS_CFGRELEASE_LINE_EQUAL,        // first line beginning with the word: after its last "="
  OS_CFGRELEASE_LINE_WORD,         // first line beginning with the word: after the word
  OS_CFGRELEASE_FIRST_WORD,        // after the first occurrence of the word in the file
};

struct OsCfgRelease {
  const char* szFile;
  uint32_t u32Distribution;
  const char* szName;  // "%02ld%02ld" of major and minor follow it
  EOSCFGRELEASEREAD eosread;
  const char* szWord;
  const char* szRequired;  // the file counts only when it contains this text
};

constexpr OsCfgRelease s_aoscfgrelease[] = {
    {"/etc/SuSE-release", OS_CFGDISTRIBUTION_SUSE, "suse", OS_CFGRELEASE_LINE_EQUAL, "VERSION", nullptr},
    {"/etc/mandrake-release", OS_CFGDISTRIBUTION_MANDRAKE, "mandrake", OS_CFGRELEASE_LINE_WORD, "release", nullptr},
    {"/etc/fedora-release", OS_CFGDISTRIBUTION_FEDORA, "fedora", OS_CFGRELEASE_FIRST_WORD, "release", nullptr},
    {"/etc/redhat-release", OS_CFGDISTRIBUTION_REDHAT, "redhat", OS_CFGRELEASE_FIRST_WORD, "release", nullptr},
    {"/etc/slackware-release", OS_CFGDISTRIBUTION_SLACKWARE, nullptr, OS_CFGRELEASE_NONE, nullptr, nullptr},
    {"/etc/debian-release", OS_CFGDISTRIBUTION_DEBIAN, nullptr, OS_CFGRELEASE_NONE, nullptr, nullptr},
    {"/etc/yellowdog-release", OS_CFGDISTRIBUTION_YELLOWDOG, nullptr, OS_CFGRELEASE_NONE, nullptr, nullptr},
    {"/etc/gentoo-release", OS_CFGDISTRIBUTION_GENTOO, nullptr, OS_CFGRELEASE_NONE, nullptr, nullptr},
    {"/etc/lsb-release", OS_CFGDISTRIBUTION_UBUNTU, "ubuntu", OS_CFGRELEASE_LINE_EQUAL, "DISTRIB_RELEASE", "Ubuntu"},
};

// The first line that begins with the word (any letter case), terminated in
// place; null when none does.
char* FindLine(char* a_szText, const char* a_szWord) {
  for (char* szLine = a_szText; *szLine;) {
    char* szEnd = szLine + std::strcspn(szLine, "\r\n");
    if (BeginsWith(szLine, a_szWord, true)) {
      *szEnd = '\0';
      return szLine;
    }
    if (!*szEnd) break;
    szLine = szEnd + 1;
  }
  return nullptr;
}

// Where the version numbers of a release file begin, or null.
const char* FindVersionText(const OsCfgRelease& a_release, char* a_szText) {
  const size_t sizetWord = std::strlen(a_release.szWord);
  if (a_release.eosread != OS_CFGRELEASE_FIRST_WORD) {
    if (char* szLine = FindLine(a_szText, a_release.szWord)) {
      return a_release.eosread == OS_CFGRELEASE_LINE_EQUAL ? AfterLastEqual(szLine) : szLine + sizetWord;
    }
    // A Mandrake release line reads "<name> release 10.1" rather than
    // beginning with the word: it is then read like the others.
    if (a_release.eosread != OS_CFGRELEASE_LINE_WORD) return nullptr;
  }
  const char* szWord = std::strstr(a_szText, a_release.szWord);
  return szWord ? szWord + sizetWord : nullptr;
}

uint32_t Bits(uint32_t a_u32Word, int a_iLow, int a_iCount) {
  return (a_u32Word >> a_iLow) & ((1u << a_iCount) - 1u);
}

// Record 0 from the processor identification instruction.
void IdentifyProcessor(OsCfgProcessor* a_posprocessor) {
  unsigned uEax = 0, uEbx = 0, uEcx = 0, uEdx = 0;
  a_posprocessor->u32ProcessBits = 64;
  a_posprocessor->u32MachineBits = 64;
  if (!__get_cpuid(0, &uEax, &uEbx, &uEcx, &uEdx)) return;
  std::memcpy(a_posprocessor->szVendor, &uEbx, 4);
  std::memcpy(a_posprocessor->szVendor + 4, &uEdx, 4);
  std::memcpy(a_posprocessor->szVendor + 8, &uEcx, 4);
  a_posprocessor->szVendor[12] = '\0';
  if (__get_cpuid(1, &uEax, &uEbx, &uEcx, &uEdx)) {
    a_posprocessor->u32Stepping = Bits(uEax, 0, 4);
    a_posprocessor->u32Model = Bits(uEax, 4, 4);
    a_posprocessor->u32Family = Bits(uEax, 8, 4);
    a_posprocessor->u8Fpu = static_cast<uint8_t>(Bits(uEdx, 0, 1));
    a_posprocessor->u8Mmx = static_cast<uint8_t>(Bits(uEdx, 23, 1));
    a_posprocessor->u8Sse = static_cast<uint8_t>(Bits(uEdx, 25, 1));
    a_posprocessor->u8Sse2 = static_cast<uint8_t>(Bits(uEdx, 26, 1));
    a_posprocessor->u8HyperThreading = static_cast<uint8_t>(Bits(uEdx, 28, 1));
    a_posprocessor->u8Sse3 = static_cast<uint8_t>(Bits(uEcx, 0, 1));
    a_posprocessor->u8Ssse3 = static_cast<uint8_t>(Bits(uEcx, 9, 1));
    a_posprocessor->u8Sse41 = static_cast<uint8_t>(Bits(uEcx, 19, 1));
    a_posprocessor->u8Sse42 = static_cast<uint8_t>(Bits(uEcx, 20, 1));
    a_posprocessor->u8Popcnt = static_cast<uint8_t>(Bits(uEcx, 23, 1));
  }
  const unsigned uExtended = __get_cpuid_max(0x80000000u, nullptr);
  for (unsigned uLeaf = 0x80000000u; uLeaf <= uExtended && uLeaf <= 0x80000006u; ++uLeaf) {
    __cpuid(uLeaf, uEax, uEbx, uEcx, uEdx);
    if (uLeaf == 0x80000001u) {
      a_posprocessor->u8Sse4a = static_cast<uint8_t>(Bits(uEcx, 6, 1));
      a_posprocessor->u8Amd3dnow = static_cast<uint8_t>(Bits(uEdx, 31, 1));
    } else if (uLeaf >= 0x80000002u && uLeaf <= 0x80000004u) {
      const unsigned auPiece[4] = {uEax, uEbx, uEcx, uEdx};
      std::memcpy(a_posprocessor->szBrand + 16 * (uLeaf - 0x80000002u), auPiece, 16);
    } else if (uLeaf == 0x80000006u) {
      a_posprocessor->u32CacheSize = Bits(uEcx, 16, 16);
    }
  }
  a_posprocessor->szBrand[48] = '\0';
  const char* szBrand = COsString::StrFirstNonWhitespace(a_posprocessor->szBrand);
  std::memmove(a_posprocessor->szBrand, szBrand, std::strlen(szBrand) + 1);
}

// Numbers of the system files: saturated instead of wrapped.
uint64_t ReadNumber(const char* a_szText) {
  if (!a_szText) return 0;
  while (*a_szText == ' ' || *a_szText == '\t') ++a_szText;
  if (*a_szText < '0' || *a_szText > '9') return 0;
  return std::strtoull(a_szText, nullptr, 10);
}

// The text after ": " (or ":") of a line.
const char* AfterColon(const char* a_szLine) {
  const char* szColon = std::strchr(a_szLine, ':');
  return szColon ? szColon + 1 : nullptr;
}

uint64_t KiloBytes(uint64_t a_u64Kb) { return a_u64Kb > UINT64_MAX / 1024 ? UINT64_MAX : a_u64Kb * 1024; }

}  // namespace

void OsCfgKernelVersionFromRelease(const char* a_szRelease, char* a_szVersion, size_t a_sizetVersion) {
  char szRelease[32] = {};
  COsString::SStrNcpy(szRelease, sizeof szRelease, a_szRelease ? a_szRelease : "", sizeof szRelease - 1);
  char szDigits[32] = {};
  char* szSave = nullptr;
  // strtok would merge empty parts; every "." starts a part of its own.
  for (char* szPart = szRelease; szPart && std::strlen(szDigits) < 8; szPart = szSave) {
    szSave = std::strchr(szPart, '.');
    if (szSave) *szSave++ = '\0';
    long lPart = std::strtol(szPart, nullptr, 10);
    if (lPart < 0 || lPart > 99999999) lPart = 0;
    COsString::SStrCatf(szDigits, sizeof szDigits, "%02ld", lPart);
  }
  COsString::SStrCat(szDigits, sizeof szDigits, "00000000");
  szDigits[8] = '\0';
  COsString::SStrCpy(a_szVersion, a_sizetVersion, szDigits);
}

void OsCfgReadKernelVersion(OsCfgSystemInfo* a_possysteminfo) {
  char szRelease[256] = {};
  // Below a prefix the release comes from the tree's osrelease file.
  if (!s_szPrefix[0] || ReadSystemFile("/proc/sys/kernel/osrelease", szRelease, sizeof szRelease) <= 0) {
    struct utsname utsname;
    if (uname(&utsname) == 0) COsString::SStrNcpy(szRelease, sizeof szRelease, utsname.release, 31);
  }
  szRelease[std::strcspn(szRelease, "\r\n")] = '\0';
  OsCfgKernelVersionFromRelease(szRelease, a_possysteminfo->szVersion, sizeof a_possysteminfo->szVersion);
  COsString::SStrCpy(a_possysteminfo->szKernelVersion, sizeof a_possysteminfo->szKernelVersion,
                     a_possysteminfo->szVersion);
}

void OsCfgReadDistribution(OsCfgSystemInfo* a_possysteminfo) {
  a_possysteminfo->u32Distribution = OS_CFGDISTRIBUTION_UNKNOWN;
  COsString::SStrCpy(a_possysteminfo->szOsName, sizeof a_possysteminfo->szOsName, "LINUX");
  char* szWork = WorkBuffer();
  if (!szWork) return;
  for (const OsCfgRelease& release : s_aoscfgrelease) {
    if (ReadSystemFile(release.szFile, szWork, kWork) < 0) continue;
    if (release.szRequired && !std::strstr(szWork, release.szRequired)) break;
    a_possysteminfo->u32Distribution = release.u32Distribution;
    if (release.eosread != OS_CFGRELEASE_NONE) {
      long lMajor = 0;
      long lMinor = 0;
      ReadVersionPair(FindVersionText(release, szWork), &lMajor, &lMinor);
      COsString::SStrPrintf(a_possysteminfo->szOsName, sizeof a_possysteminfo->szOsName, "%s%02ld%02ld",
                            release.szName, lMajor, lMinor);
    }
    break;
  }
  std::free(szWork);
}

void OsCfgReadProcessors(OsCfgSystemInfo* a_possysteminfo, uint64_t a_u64Processors) {
  std::free(a_possysteminfo->posprocessor);
  a_possysteminfo->posprocessor = nullptr;
  a_possysteminfo->u64Processors = 0;
  auto* posprocessor = static_cast<OsCfgProcessor*>(std::calloc(a_u64Processors + 1, sizeof(OsCfgProcessor)));
  if (!posprocessor) {
    OsLog(OS_LOG_ASSERT, "calloc failed...");
    return;
  }
  a_possysteminfo->posprocessor = posprocessor;
  a_possysteminfo->u64Processors = a_u64Processors;
  if (a_u64Processors == 0) return;
  IdentifyProcessor(&posprocessor[0]);
  for (uint64_t u = 1; u < a_u64Processors; ++u) {
    posprocessor[u] = posprocessor[0];
    posprocessor[u].u64Index = u;
  }
}

// Processor numbers at or above the processor count name no record: their
// lines (and the speed lines that follow them) are passed over.
void OsCfgReadCpuInfo(OsCfgSystemInfo* a_possysteminfo) {
  if (!a_possysteminfo->posprocessor) return;
  char* szWork = WorkBuffer();
  if (!szWork) return;
  ReadSystemFile("/proc/cpuinfo", szWork, kWork);
  OsCfgProcessor* posprocessorCurrent = &a_possysteminfo->posprocessor[0];
  ForEachLine(szWork, [&](char* a_szLine) {
    const char* szValue = AfterColon(a_szLine);
    if (!szValue) return true;
    if (BeginsWith(a_szLine, "processor", false)) {
      const uint64_t u64Processor = ReadNumber(szValue);
      posprocessorCurrent = nullptr;
      if (u64Processor < a_possysteminfo->u64Processors) {
        posprocessorCurrent = &a_possysteminfo->posprocessor[u64Processor];
        posprocessorCurrent->u64Index = u64Processor;
      }
    } else if (BeginsWith(a_szLine, "cpu MHz", false) && posprocessorCurrent) {
      const uint64_t u64Mhz = ReadNumber(szValue);
      posprocessorCurrent->u32Mhz = u64Mhz > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(u64Mhz);
    }
    return true;
  });
  std::free(szWork);
}

// The load is the used share in percent: 100 less the free share, which is
// free / (total / 100) as long as total / 100 is not 0, and never above 100.
void OsCfgReadMemory(OsCfgSystemInfo* a_possysteminfo) {
  static const struct {
    const char* szName;
    uint64_t OsCfgSystemInfo::*pu64Value;
  } s_amemory[] = {
      {"MemTotal", &OsCfgSystemInfo::u64TotalPhysical},
      {"MemFree", &OsCfgSystemInfo::u64AvailablePhysical},
      {"SwapTotal", &OsCfgSystemInfo::u64TotalVirtual},
      {"SwapFree", &OsCfgSystemInfo::u64AvailableVirtual},
  };
  char* szWork = WorkBuffer();
  if (!szWork) return;
  ReadSystemFile("/proc/meminfo", szWork, kWork);
  ForEachLine(szWork, [&](char* a_szLine) {
    const char* szValue = AfterColon(a_szLine);
    if (!szValue) return true;
    for (const auto& memory : s_amemory) {
      if (BeginsWith(a_szLine, memory.szName, false)) {
        a_possysteminfo->*memory.pu64Value = KiloBytes(ReadNumber(szValue));
        break;
      }
    }
    return true;
  });
  std::free(szWork);
  const uint64_t u64Total = a_possysteminfo->u64TotalPhysical;
  uint64_t u64Free = 100;
  if (u64Total / 100 != 0) {
    u64Free = a_possysteminfo->u64AvailablePhysical / (u64Total / 100);
  } else if (u64Total != 0) {
    const uint64_t u64Available = a_possysteminfo->u64AvailablePhysical;
    u64Free = (u64Available < u64Total ? u64Available : u64Total) * 100 / u64Total;
  }
  a_possysteminfo->u64Load = 100 - (u64Free > 100 ? 100 : u64Free);
}

void OsCfgReadVolume(OsCfgSystemInfo* a_possysteminfo) {
  static constexpr char kByUuid[] = "/dev/disk/by-uuid/";
  a_possysteminfo->blVolumeGathered = true;
  COsString::SStrCpy(a_possysteminfo->szVolumeDeviceId, sizeof a_possysteminfo->szVolumeDeviceId, "/");
  a_possysteminfo->szVolumeSerialNumber[0] = '\0';
  char* szWork = WorkBuffer();
  if (szWork) {
    ReadSystemFile("/proc/mounts", szWork, kWork);
    ForEachLine(szWork, [&](char* a_szLine) {
      if (!BeginsWith(a_szLine, kByUuid, false) || !std::strstr(a_szLine, " / ")) return true;
      // The identifier is 36 characters; a shorter name ends at its blank.
      const char* szName = a_szLine + sizeof kByUuid - 1;
      const size_t sizetName = std::strcspn(szName, " \t");
      COsString::SStrNcpy(a_possysteminfo->szVolumeSerialNumber, sizeof a_possysteminfo->szVolumeSerialNumber,
                          szName, sizetName < 36 ? sizetName : 36);
      return false;
    });
    std::free(szWork);
  }
  OsLogDebug(OS_LOG_INFO, "OS_CFGINFO_VOLUME_DEVICEID.............<%s>", a_possysteminfo->szVolumeDeviceId);
  OsLogDebug(OS_LOG_INFO, "OS_CFGINFO_VOLUME_SERIALNUMBER.........<%s>", a_possysteminfo->szVolumeSerialNumber);
}

void OsCfgGatherSystemInfo(OsCfgSystemInfo* a_possysteminfo) {
  a_possysteminfo->u32Platform = 3;
  a_possysteminfo->u32Distribution = OS_CFGDISTRIBUTION_UNKNOWN;
  COsString::SStrCpy(a_possysteminfo->szOsName, sizeof a_possysteminfo->szOsName, "LINUX");
  COsString::SStrCpy(a_possysteminfo->szBuild, sizeof a_possysteminfo->szBuild, "0");
  OsCfgReadKernelVersion(a_possysteminfo);
  OsCfgReadDistribution(a_possysteminfo);
  const long lOnline = sysconf(_SC_NPROCESSORS_ONLN);
  OsCfgReadProcessors(a_possysteminfo, lOnline > 0 ? static_cast<uint64_t>(lOnline) : 0);
  OsCfgReadCpuInfo(a_possysteminfo);
  OsCfgReadMemory(a_possysteminfo);
}

OsCfgSystemInfo* OsCfgSystemInfoGet() {
  std::lock_guard<std::recursive_mutex> lock(s_mutexSystemInfo);
  if (!s_blGathered && !s_blGathering) {
    s_blGathering = true;
    OsCfgGatherSystemInfo(&s_oscfgsysteminfo);
    s_blGathering = false;
    s_blGathered = true;
  }
  return &s_oscfgsysteminfo;
}

void OsCfgSystemInfoLock() { s_mutexSystemInfo.lock(); }
void OsCfgSystemInfoUnlock() { s_mutexSystemInfo.unlock(); }

void OsCfgSetSystemFilePrefix(const char* a_szPrefix) {
  std::lock_guard<std::recursive_mutex> lock(s_mutexSystemInfo);
  COsString::SStrCpy(s_szPrefix, sizeof s_szPrefix, a_szPrefix ? a_szPrefix : "");
  s_blGathered = false;
  s_oscfgsysteminfo.blVolumeGathered = false;
}
