// The system information queries of the configuration service. Each query
// accepts its own list of selectors and an index below the processor count;
// the record is gathered on first use (os_coscfgsysteminfo.cpp).
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "os_coscfg.h"
#include "os_coscfgimpl.h"
#include "os_coscfgsysteminfo.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {

constexpr uint64_t Ids(std::initializer_list<int> a_ids) {
  uint64_t u64Mask = 0;
  for (int i : a_ids) u64Mask |= uint64_t{1} << i;
  return u64Mask;
}

constexpr uint64_t Range(int a_iFirst, int a_iLast) {
  uint64_t u64Mask = 0;
  for (int i = a_iFirst; i <= a_iLast; ++i) u64Mask |= uint64_t{1} << i;
  return u64Mask;
}

// The selectors each query answers.
constexpr uint64_t kLongLong = Range(5, 38) & ~Ids({32, 35});
constexpr uint64_t kLong = Range(4, 8) | Range(15, 22) | Range(24, 31) | Ids({33, 34}) | Range(36, 38);
constexpr uint64_t kBool = Range(18, 28) | Ids({38});

bool Listed(uint64_t a_u64Mask, int a_iId) { return a_iId >= 0 && a_iId < 64 && (a_u64Mask >> a_iId) & 1; }

// The calling thread's host name; the next call on the thread overwrites it.
thread_local char t_szHostName[512];

// The number of a selector from the record and processor record.
uint64_t Number(const OsCfgSystemInfo& a_info, const OsCfgProcessor& a_cpu, int a_iId) {
  switch (a_iId) {
    case OS_CFGINFO_OS_KERNELVERSIONSTRING: {
      // The digits without a leading "0", read as decimal: 02063200 -> 2063200.
      const char* szDigits = a_info.szKernelVersion[0] == '0' ? a_info.szKernelVersion + 1 : a_info.szKernelVersion;
      return std::strtoull(szDigits, nullptr, 10);
    }
    case OS_CFGINFO_OS_DISTRIBUTION: return a_info.u32Distribution;
    case 6: return a_info.u32Zero6;
    case OS_CFGINFO_OS_PLATFORM: return a_info.u32Platform;
    case OS_CFGINFO_OS_WINDOWSVERSION: return a_info.u32WindowsVersion;
    case OS_CFGINFO_MEM_TOTALPHYSICAL: return a_info.u64TotalPhysical;
    case OS_CFGINFO_MEM_AVAILABLEPHYSICAL: return a_info.u64AvailablePhysical;
    case OS_CFGINFO_MEM_TOTALVIRTUAL: return a_info.u64TotalVirtual;
    case OS_CFGINFO_MEM_AVAILABLEVIRTUAL: return a_info.u64AvailableVirtual;
    case OS_CFGINFO_MEM_TOTALPAGEFILE: return a_info.u64TotalPageFile;
    case OS_CFGINFO_MEM_AVAILABLEPAGEFILE: return a_info.u64AvailablePageFile;
    case OS_CFGINFO_MEM_LOAD: return a_info.u64Load;
    case OS_CFGINFO_CPU_CACHESIZE: return a_cpu.u32CacheSize;
    case OS_CFGINFO_CPU_FAMILY: return a_cpu.u32Family;
    case OS_CFGINFO_CPU_IS_FPU: return a_cpu.u8Fpu;
    case OS_CFGINFO_CPU_IS_MMX: return a_cpu.u8Mmx;
    case OS_CFGINFO_CPU_IS_SSE: return a_cpu.u8Sse;
    case OS_CFGINFO_CPU_IS_SSE2: return a_cpu.u8Sse2;
    case OS_CFGINFO_CPU_IS_SSE3: return a_cpu.u8Sse3;
    case OS_CFGINFO_CPU_IS_SSSE3: return a_cpu.u8Ssse3;
    case OS_CFGINFO_CPU_IS_SSE41: return a_cpu.u8Sse41;
    case OS_CFGINFO_CPU_IS_SSE42: return a_cpu.u8Sse42;
    case OS_CFGINFO_CPU_IS_SSE4A: return a_cpu.u8Sse4a;
    case OS_CFGINFO_CPU_IS_POPCNT: return a_cpu.u8Popcnt;
    case OS_CFGINFO_CPU_IS_3DNOW: return a_cpu.u8Amd3dnow;
    case OS_CFGINFO_CPU_LEVEL: return a_cpu.u32Level;
    case OS_CFGINFO_CPU_MODEL: return a_cpu.u32Model;
    case OS_CFGINFO_CPU_MHZ: return a_cpu.u32Mhz;
    case OS_CFGINFO_CPU_STEPPING: return a_cpu.u32Stepping;
    case OS_CFGINFO_CPU_TOTAL: return a_info.u64Processors;
    case OS_CFGINFO_CPU_PROCESSBITS: return a_cpu.u32ProcessBits;
    case OS_CFGINFO_CPU_MACHINEBITS: return a_cpu.u32MachineBits;
    case OS_CFGINFO_CPU_IS_HYPERTHREADING: return a_cpu.u8HyperThreading;
    default: return 0;
  }
}

// The record when the index names a processor; null (logged) otherwise.
OsCfgSystemInfo* CheckedInfo(int a_iId, long a_lIndex, bool a_blString) {
  OsCfgSystemInfo* posinfo = OsCfgSystemInfoGet();
  const long lCount = static_cast<long>(posinfo->u64Processors);
  if (a_lIndex < 0 || a_lIndex >= lCount || !posinfo->posprocessor) {
    if (a_blString) {
      OsLog(OS_LOG_ASSERT, "Unsupported...%d %ld >= %ld", a_iId, a_lIndex, lCount);
    } else {
      OsLog(OS_LOG_ASSERT, "Unsupported...%ld >= %ld", a_lIndex, lCount);
    }
    return nullptr;
  }
  return posinfo;
}

// Number query shared by the three numeric operations.
bool QueryNumber(uint64_t a_u64Listed, int a_iId, long a_lIndex, bool a_blRefresh, uint64_t* a_pu64Value) {
  *a_pu64Value = 0;
  OsCfgSystemInfo* posinfo = CheckedInfo(a_iId, a_lIndex, false);
  if (!posinfo) return false;
  if (!Listed(a_u64Listed, a_iId)) {
    OsLog(OS_LOG_ASSERT, "Unsupported...%d", a_iId);
    return false;
  }
  OsCfgSystemInfoLock();
  if (a_blRefresh) OsCfgReadMemory(posinfo);
  *a_pu64Value = Number(*posinfo, posinfo->posprocessor[a_lIndex], a_iId);
  OsCfgSystemInfoUnlock();
  return true;
}

}  // namespace


const char* COsCfg::InfoGetString(EOSCFGINFO a_eoscfginfo, long a_lIndex) {
  OSCFG_CHECK_IMPL(nullptr);
  const int iId = a_eoscfginfo;
  OsCfgSystemInfo* posinfo = CheckedInfo(iId, a_lIndex, true);
  if (!posinfo) return nullptr;
  switch (iId) {
    case OS_CFGINFO_OS_BUILDSTRING: return posinfo->szBuild;
    case OS_CFGINFO_OS_NAMESTRING: return posinfo->szOsName;
    case OS_CFGINFO_OS_VERSIONSTRING: return posinfo->szVersion;
    case OS_CFGINFO_OS_KERNELVERSIONSTRING: return posinfo->szKernelVersion;
    case OS_CFGINFO_CPU_MODELSTRING: return posinfo->posprocessor[a_lIndex].szBrand;
    case OS_CFGINFO_CPU_VENDORSTRING: return posinfo->posprocessor[a_lIndex].szVendor;
    case OS_CFGINFO_VOLUME_DEVICEID:
    case OS_CFGINFO_VOLUME_SERIALNUMBER: {
      OsCfgSystemInfoLock();
      if (!posinfo->blVolumeGathered) OsCfgReadVolume(posinfo);
      OsCfgSystemInfoUnlock();
      return iId == OS_CFGINFO_VOLUME_DEVICEID ? posinfo->szVolumeDeviceId : posinfo->szVolumeSerialNumber;
    }
    case OS_CFGINFO_NETWORK_HOSTNAME: {
      char szHost[512] = {};
      if (gethostname(szHost, sizeof szHost - 1) != 0) szHost[0] = '\0';
      szHost[std::strcspn(szHost, ".")] = '\0';
      COsString::SStrCpy(t_szHostName, sizeof t_szHostName, szHost);
      OsLogDebug(OS_LOG_INFO, "OS_CFGINFO_NETWORK_HOSTNAME...........%s", t_szHostName);
      return t_szHostName;
    }
    default:
      OsLog(OS_LOG_ASSERT, "Unsupported...%d", iId);
      return nullptr;
  }
}

uint64_t COsCfg::InfoGetLongLong(EOSCFGINFO a_eoscfginfo, long a_lIndex) {
  OSCFG_CHECK_IMPL(0);
  const bool blRefresh = a_eoscfginfo == OS_CFGINFO_MEM_AVAILABLEPHYSICAL ||
                         a_eoscfginfo == OS_CFGINFO_MEM_AVAILABLEVIRTUAL ||
                         a_eoscfginfo == OS_CFGINFO_MEM_AVAILABLEPAGEFILE || a_eoscfginfo == OS_CFGINFO_MEM_LOAD;
  uint64_t u64Value = 0;
  QueryNumber(kLongLong, a_eoscfginfo, a_lIndex, blRefresh, &u64Value);
  return u64Value;
}

int64_t COsCfg::InfoGetLong(EOSCFGINFO a_eoscfginfo, long a_lIndex) {
  OSCFG_CHECK_IMPL(0);
  uint64_t u64Value = 0;
  QueryNumber(kLong, a_eoscfginfo, a_lIndex, false, &u64Value);
  return static_cast<int64_t>(u64Value);
}

bool COsCfg::InfoGetBool(EOSCFGINFO a_eoscfginfo, long a_lIndex) {
  OSCFG_CHECK_IMPL(false);
  uint64_t u64Value = 0;
  QueryNumber(kBool, a_eoscfginfo, a_lIndex, false, &u64Value);
  return u64Value != 0;
}

int64_t COsCfg::NumberOfProcessors() { return InfoGetLong(OS_CFGINFO_CPU_TOTAL, 0); }

// At load: the record is gathered here unless a query came first.
void COsCfgImpl::GatherSystemInformation() { OsCfgSystemInfoGet(); }

const char* COsCfgImpl::OsName() const { return OsCfgSystemInfoGet()->szOsName; }
