// The fields of the package's 264-byte headers and the names the script
// uses for types and destinations. Header 0 describes the package, the
// others one file each.
#pragma once

#include <cstdint>
#include <cstring>

#include "os_cosfilebytes.h"
#include "pg_cpackage.h"

// Header 0.
constexpr size_t s_sizetPgModel = 0;          // u64
constexpr size_t s_sizetPgPackageType = 8;    // u32
constexpr size_t s_sizetPgPackageText = 12;   // DESCRIPTION, 64
constexpr size_t s_sizetPgPackageVersion = 76;  // VERSION, 32
// Headers of files.
constexpr size_t s_sizetPgName = 0;           // NAME, 64
constexpr size_t s_sizetPgType = 64;          // u32
constexpr size_t s_sizetPgDestination = 68;   // u32
constexpr size_t s_sizetPgOffset = 72;        // u64
constexpr size_t s_sizetPgSize = 80;          // u64
constexpr size_t s_sizetPgText = 88;          // DESCRIPTION, 64
constexpr size_t s_sizetPgVersion = 152;      // VERSION, 32
constexpr size_t s_sizetPgModelData = 184;    // bytes 70 to 85 of the file
constexpr size_t s_sizetPgModelDataLength = 16;
constexpr size_t s_sizetPgModelDataFrom = 70;
constexpr size_t s_sizetPgNameLength = 64;
constexpr size_t s_sizetPgTextLength = 64;
constexpr size_t s_sizetPgVersionLength = 32;

struct PgName {
  const char* szName;
  uint32_t u32Value;
};

// TYPE names; a package may only be of the types marked.
struct PgType {
  const char* szName;
  uint32_t u32Value;
  bool blPackage;
  const char* szExtension;  // the package file's, for package types
};
inline constexpr PgType s_apgtype[] = {
    {"COLORTABLE", PG_TYPE_COLORTABLE, true, ".qvpgct"}, {"FIRMWARE", PG_TYPE_FIRMWARE, true, ".qvpgfw"},
    {"GAMMATABLE", PG_TYPE_GAMMATABLE, false, ""},       {"INFO", PG_TYPE_INFO, false, ""},
    {"LANGUAGE", PG_TYPE_LANGUAGE, true, ".qvpglg"},     {"MISCELLANEOUS", PG_TYPE_MISCELLANEOUS, true, ""},
    {"REBOOT", PG_TYPE_REBOOT, false, ""},               {"GAMMA", PG_TYPE_GAMMA, false, ""},
    {"COLOR_YCC", PG_TYPE_COLOR_YCC, false, ""},         {"COLOR_CC", PG_TYPE_COLOR_CC, false, ""},
    {"ECDO", PG_TYPE_ECDO, true, ".qvpgcd"},             {"MCDO", PG_TYPE_MCDO, true, ".qvpgcd"},
};

inline constexpr PgName s_apgnameDestination[] = {
    {"NEXIL", PG_DESTINATION_NEXIL}, {"NONE", PG_DESTINATION_NONE}, {"SCANNER", PG_DESTINATION_SCANNER}};

inline const PgType* PgTypeOf(uint32_t a_u32Value) {
  for (const auto& pgtype : s_apgtype) {
    if (pgtype.u32Value == a_u32Value) return &pgtype;
  }
  return nullptr;
}

// A text field: at most its width, read up to its terminator.
inline bool PgTextTerminated(const uint8_t* a_pu8Header, size_t a_sizetAt, size_t a_sizetWidth) {
  return std::memchr(a_pu8Header + a_sizetAt, 0, a_sizetWidth) != nullptr;
}
inline const char* PgText(const uint8_t* a_pu8Header, size_t a_sizetAt) {
  return reinterpret_cast<const char*>(a_pu8Header + a_sizetAt);
}
// Stores a text cut to its field, terminated.
inline void PgSetText(uint8_t* a_pu8Header, size_t a_sizetAt, size_t a_sizetWidth, const char* a_szText) {
  std::memset(a_pu8Header + a_sizetAt, 0, a_sizetWidth);
  size_t sizetLength = std::strlen(a_szText);
  std::memcpy(a_pu8Header + a_sizetAt, a_szText, sizetLength < a_sizetWidth ? sizetLength : a_sizetWidth - 1);
}

// Bytes 70 to 85 of a file go into its header for these models.
inline bool PgModelData(uint64_t a_u64Model) {
  return a_u64Model == 0 || (a_u64Model >= 200 && a_u64Model <= 299) || (a_u64Model >= 600 && a_u64Model <= 899) ||
         (a_u64Model >= 1800 && a_u64Model <= 1899);
}

// A file name that stays in the package's directory.
inline bool PgSafeName(const char* a_szName) {
  return *a_szName && !std::strchr(a_szName, '/') && !std::strchr(a_szName, '\\') && !std::strstr(a_szName, "..");
}
