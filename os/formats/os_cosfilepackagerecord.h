// The records of a "PMXPKG01" package archive, shared by the writer and the
// reader: the 24-byte header and the 304-byte chunk in front of each entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "os_cosfile.h"
#include "os_cosfilebytes.h"

constexpr char s_szPackageTag[] = "PMXPKG01";

struct OsFilePackageChunk {
  uint64_t u64Size;                   // bytes of the split stream behind the record
  char szFilename[s_sizetPackagePath];  // relative path; terminated unless damaged
  uint32_t u32OsFileType;             // 1 directory, 2 file
  uint32_t u32OsFileAccess;           // 1 read-only, 3 read-write
  OsTimeRecord ostimerecordAccessed;  // UTC
  OsTimeRecord ostimerecordModified;  // UTC
};

inline void OsFilePackageHeaderPut(uint8_t* a_pu8, uint64_t a_u64Total) {
  std::memcpy(a_pu8, s_szPackageTag, 8);
  OsFilePutU32(a_pu8 + 8, s_sizetPackageHeader);
  OsFilePutU32(a_pu8 + 12, s_sizetPackageChunk);
  OsFilePutU64(a_pu8 + 16, a_u64Total);
}

inline void OsFilePackageChunkPut(uint8_t* a_pu8, const OsFilePackageChunk& a_chunk) {
  std::memset(a_pu8, 0, s_sizetPackageChunk);
  OsFilePutU64(a_pu8, a_chunk.u64Size);
  std::memcpy(a_pu8 + 8, a_chunk.szFilename, s_sizetPackagePath);
  OsFilePutU32(a_pu8 + 264, a_chunk.u32OsFileType);
  OsFilePutU32(a_pu8 + 268, a_chunk.u32OsFileAccess);
  OsFilePutTime(a_pu8 + 272, a_chunk.ostimerecordAccessed);
  OsFilePutTime(a_pu8 + 288, a_chunk.ostimerecordModified);
}

inline OsFilePackageChunk OsFilePackageChunkGet(const uint8_t* a_pu8) {
  OsFilePackageChunk chunk;
  chunk.u64Size = OsFileGetU64(a_pu8);
  std::memcpy(chunk.szFilename, a_pu8 + 8, s_sizetPackagePath);
  chunk.u32OsFileType = OsFileGetU32(a_pu8 + 264);
  chunk.u32OsFileAccess = OsFileGetU32(a_pu8 + 268);
  chunk.ostimerecordAccessed = OsFileGetTime(a_pu8 + 272);
  chunk.ostimerecordModified = OsFileGetTime(a_pu8 + 288);
  return chunk;
}

// A file of the configured log directory; false (and logged) when there is
// no log directory or the name does not fit.
bool OsFileLogDirectoryPath(char* a_szPath, size_t a_sizetPath, const char* a_szName);
