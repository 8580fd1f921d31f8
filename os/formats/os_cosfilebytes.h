// Little-endian fields of the package formats, read and written byte by
// byte so that no layout or alignment of the machine leaks into a file.
#pragma once

#include <cstdint>

#include "os_def.h"

inline void OsFilePutU16(uint8_t* a_pu8, uint16_t a_u16) {
  a_pu8[0] = static_cast<uint8_t>(a_u16);
  a_pu8[1] = static_cast<uint8_t>(a_u16 >> 8);
}
inline void OsFilePutU32(uint8_t* a_pu8, uint32_t a_u32) {
  for (int i = 0; i < 4; ++i) a_pu8[i] = static_cast<uint8_t>(a_u32 >> (8 * i));
}
inline void OsFilePutU64(uint8_t* a_pu8, uint64_t a_u64) {
  for (int i = 0; i < 8; ++i) a_pu8[i] = static_cast<uint8_t>(a_u64 >> (8 * i));
}
inline uint16_t OsFileGetU16(const uint8_t* a_pu8) {
  return static_cast<uint16_t>(a_pu8[0] | (a_pu8[1] << 8));
}
inline uint32_t OsFileGetU32(const uint8_t* a_pu8) {
  uint32_t u32 = 0;
  for (int i = 3; i >= 0; --i) u32 = (u32 << 8) | a_pu8[i];
  return u32;
}
inline uint64_t OsFileGetU64(const uint8_t* a_pu8) {
  uint64_t u64 = 0;
  for (int i = 7; i >= 0; --i) u64 = (u64 << 8) | a_pu8[i];
  return u64;
}

// A time record as eight 16-bit fields in the order of the record.
inline void OsFilePutTime(uint8_t* a_pu8, const OsTimeRecord& a_timerecord) {
  const uint16_t au16[8] = {a_timerecord.u16Year,   a_timerecord.u16Month,  a_timerecord.u16DayOfWeek,
                            a_timerecord.u16Day,    a_timerecord.u16Hour,   a_timerecord.u16Minute,
                            a_timerecord.u16Second, a_timerecord.u16Milliseconds};
  for (int i = 0; i < 8; ++i) OsFilePutU16(a_pu8 + 2 * i, au16[i]);
}
inline OsTimeRecord OsFileGetTime(const uint8_t* a_pu8) {
  OsTimeRecord timerecord;
  uint16_t* apu16[8] = {&timerecord.u16Year,   &timerecord.u16Month,  &timerecord.u16DayOfWeek,
                        &timerecord.u16Day,    &timerecord.u16Hour,   &timerecord.u16Minute,
                        &timerecord.u16Second, &timerecord.u16Milliseconds};
  for (int i = 0; i < 8; ++i) *apu16[i] = OsFileGetU16(a_pu8 + 2 * i);
  return timerecord;
}
