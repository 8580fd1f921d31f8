// What the configuration service knows about the machine: the process-wide
// system information record, gathered once from uname, the distribution's
// release file, the processor identification instruction, /proc/cpuinfo,
// /proc/meminfo and /proc/mounts. The /proc and /etc files are read below a
// path prefix that tests point at fixture trees.
#pragma once

#include <cstddef>
#include <cstdint>

// One processor; all zero until gathered.
struct OsCfgProcessor {
  uint64_t u64Index;
  char szVendor[13];
  uint32_t u32Family;
  uint32_t u32Model;
  char szBrand[49];
  uint32_t u32Stepping;
  uint32_t u32Mhz;
  uint32_t u32CacheSize;  // KiB
  uint32_t u32Level;
  uint32_t u32ProcessBits;
  uint32_t u32MachineBits;
  uint8_t u8Fpu;
  uint8_t u8Mmx;
  uint8_t u8Sse;
  uint8_t u8Sse2;
  uint8_t u8Sse3;
  uint8_t u8Ssse3;
  uint8_t u8Sse41;
  uint8_t u8Sse42;
  uint8_t u8Sse4a;
  uint8_t u8Popcnt;
  uint8_t u8Amd3dnow;
  uint8_t u8HyperThreading;
};

struct OsCfgSystemInfo {
  uint32_t u32Platform;
  uint32_t u32Distribution;
  uint32_t u32Zero6;           // selector 6
  uint32_t u32WindowsVersion;  // selector 8
  char szOsName[512];
  char szVersion[64];
  char szKernelVersion[64];
  char szBuild[128];
  uint64_t u64TotalPhysical;
  uint64_t u64AvailablePhysical;
  uint64_t u64TotalVirtual;
  uint64_t u64AvailableVirtual;
  uint64_t u64TotalPageFile;
  uint64_t u64AvailablePageFile;
  uint64_t u64Load;
  uint64_t u64Processors;
  OsCfgProcessor* posprocessor;  // u64Processors + 1 records
  bool blVolumeGathered;
  char szVolumeDeviceId[128];
  char szVolumeSerialNumber[128];
};

// The record, gathered on first use (at most once per process, or again
// after the prefix changed). Callers hold the lock for what they read.
OsCfgSystemInfo* OsCfgSystemInfoGet();
// The lock that guards the record's refreshes (memory, volume, gathering).
void OsCfgSystemInfoLock();
void OsCfgSystemInfoUnlock();

// Prefix put before "/proc/..." and "/etc/..." (null or "" for none). A new
// prefix drops what was gathered, so that the next query reads the new files.
void OsCfgSetSystemFilePrefix(const char* a_szPrefix);

// The steps of the gathering, on a record of the caller's (the lock is not
// taken). Each reads its files below the prefix.
void OsCfgGatherSystemInfo(OsCfgSystemInfo* a_possysteminfo);
void OsCfgReadKernelVersion(OsCfgSystemInfo* a_possysteminfo);
void OsCfgReadDistribution(OsCfgSystemInfo* a_possysteminfo);
void OsCfgReadProcessors(OsCfgSystemInfo* a_possysteminfo, uint64_t a_u64Processors);
void OsCfgReadCpuInfo(OsCfgSystemInfo* a_possysteminfo);
void OsCfgReadMemory(OsCfgSystemInfo* a_possysteminfo);
void OsCfgReadVolume(OsCfgSystemInfo* a_possysteminfo);

// The kernel release made 8 digits: each "."-separated part as "%02d" of the
// number it begins with, "00000000" behind, cut to 8 (2.6.32-5 -> 02063200).
void OsCfgKernelVersionFromRelease(const char* a_szRelease, char* a_szVersion, size_t a_sizetVersion);
