// The scan history file of a scanner ("<model>_<serial>.hst"): its record
// tags, their payload sizes and the one walker that the writer's header
// scan, its tail check and the reader share.
//
// The file is a flat sequence of records, each one tag byte and a payload;
// integers are little-endian and unaligned. A tag this driver does not know
// is followed by a u32 length and that many bytes, so that files of later
// drivers stay readable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "os_def.h"

// Global header, written once when the file is made.
constexpr const char s_szVocGlobalSerialNumber[] = "0";
constexpr const char s_szVocGlobalModel[] = "1";
constexpr const char s_szVocGlobalLastDbLocation[] = "2";
constexpr const char s_szVocGlobalApps[] = "3";
constexpr const char s_szVocGlobalLastDriverVersion[] = "4";
// Driver header, once per driver version.
constexpr const char s_szVocHeaderVersion[] = "a";
constexpr const char s_szVocHeaderDriverVersion[] = "b";
constexpr const char s_szVocHeaderDbLexiconTable[] = "c";
constexpr const char s_szVocHeaderDbAttributesTable[] = "d";
constexpr const char s_szVocHeaderStatusTable[] = "e";
// Scan records.
constexpr const char s_szVocScanTime1[] = "A";
constexpr const char s_szVocScanTime6[] = "F";
constexpr const char s_szVocScanApp[] = "G";
constexpr const char s_szVocScanApp1[] = "H";
constexpr const char s_szVocScanApp6[] = "M";
constexpr const char s_szVocScanImages1[] = "N";
constexpr const char s_szVocScanImages2[] = "O";
constexpr const char s_szVocScanImages4[] = "P";
constexpr const char s_szVocScanSheets1[] = "Q";
constexpr const char s_szVocScanSheets2[] = "R";
constexpr const char s_szVocScanSheets4[] = "S";
constexpr const char s_szVocScanMultifeeds1[] = "T";
constexpr const char s_szVocScanMultifeeds2[] = "U";
constexpr const char s_szVocScanMultifeeds4[] = "V";
constexpr const char s_szVocScanStatus[] = "W";
constexpr const char s_szVocScanDb1[] = "X";
constexpr const char s_szVocScanDb2[] = "Y";
constexpr const char s_szVocScanDb4[] = "Z";
constexpr const char s_szVocScanRepeatPreviousDb[] = "z";

// Sizes of the global header.
constexpr size_t DEV_HISTORY_NAME = 32;       // serial number, model, one application slot
constexpr size_t DEV_HISTORY_SLOTS = 6;
constexpr size_t DEV_HISTORY_GLOBAL = 273;    // "0" to "4"
constexpr size_t DEV_HISTORY_OFFSET_LASTDB = 67;   // the "2" payload
constexpr size_t DEV_HISTORY_OFFSET_APPS = 76;     // the "3" payload
constexpr size_t DEV_HISTORY_OFFSET_VERSION = 269; // the "4" payload
constexpr size_t DEV_HISTORY_TIME = 6;        // year-1900, month, day, hour, minute, second
// Capability ids recorded in a settings block (one byte each).
constexpr int DEV_HISTORY_IDS = 253;

// Bits of an attribute byte.
constexpr uint8_t DEV_HISTORY_ATTR_KIND = 0x03;    // container kind: 1 range, 2 enumeration, 3 string
constexpr uint8_t DEV_HISTORY_ATTR_BYTE = 0x08;    // a range stored in one byte
constexpr uint8_t DEV_HISTORY_ATTR_CAMERAS = 0xf0; // bitonal front, bitonal rear, colour front, colour rear
// Flag bit of a settings block: the rear values are the front ones.
constexpr uint8_t DEV_HISTORY_FLAG_SAMESIDES = 0x01;
// A value of all four cameras in one byte.
constexpr uint8_t DEV_HISTORY_ALLCAMERAS = 0x80;

inline uint32_t DevHistoryGet32(const uint8_t* a_pu8) {
  return uint32_t{a_pu8[0]} | uint32_t{a_pu8[1]} << 8 | uint32_t{a_pu8[2]} << 16 | uint32_t{a_pu8[3]} << 24;
}
inline void DevHistoryPut32(uint8_t* a_pu8, uint32_t a_u32) {
  for (int i = 0; i < 4; ++i) a_pu8[i] = static_cast<uint8_t>(a_u32 >> (8 * i));
}

// One record found by the walker: its tag, where it starts, where its
// payload starts and how long that is (the length field of "c", "d", "e",
// the block records and unknown tags is not part of the payload).
struct DevHistoryRecord {
  uint8_t u8Tag = 0;
  size_t sizetStart = 0;
  size_t sizetPayload = 0;
  size_t sizetLength = 0;
  size_t End() const { return sizetPayload + sizetLength; }
};

enum EDEVHISTORYWALK : int {
  DEV_HISTORYWALK_RECORD,  // a whole record
  DEV_HISTORYWALK_END,     // the end of the bytes, between records
  DEV_HISTORYWALK_TORN,    // a record that the bytes end inside
};

// The record at a_sizetOffset of a_sizetBytes bytes. Every size comes from
// the bytes and is checked against their end before it is used.
inline EDEVHISTORYWALK DevHistoryNext(const uint8_t* a_pu8, size_t a_sizetBytes, size_t a_sizetOffset,
                                      DevHistoryRecord* a_pdevhistoryrecord) {
  if (a_sizetOffset >= a_sizetBytes) return DEV_HISTORYWALK_END;
  const size_t sizetLeft = a_sizetBytes - a_sizetOffset - 1;
  const uint8_t* pu8 = a_pu8 + a_sizetOffset + 1;
  const uint8_t u8Tag = a_pu8[a_sizetOffset];
  size_t sizetField = 0;  // bytes of a length field
  size_t sizetLength = 0;
  switch (u8Tag) {
    case '0': case '1': sizetLength = DEV_HISTORY_NAME; break;
    case '2': sizetLength = 8; break;
    case '3': sizetLength = DEV_HISTORY_NAME * DEV_HISTORY_SLOTS; break;
    case '4': case 'b': case 'P': case 'S': case 'V': sizetLength = 4; break;
    case 'a': case 'O': case 'R': case 'U': sizetLength = 2; break;
    case 'N': case 'Q': case 'T': case 'W': sizetLength = 1; break;
    case 'H': case 'I': case 'J': case 'K': case 'L': case 'M': case 'z': sizetLength = 0; break;
    case 'A': case 'B': case 'C': case 'D': case 'E': case 'F':
      sizetLength = DEV_HISTORY_TIME + static_cast<size_t>(u8Tag - 'A' + 1);
      break;
    case 'G': {
      // The name and its NUL.
      const void* pvNul = sizetLeft ? std::memchr(pu8, 0, sizetLeft) : nullptr;
      if (!pvNul) return DEV_HISTORYWALK_TORN;
      sizetLength = static_cast<size_t>(static_cast<const uint8_t*>(pvNul) - pu8) + 1;
      break;
    }
    case 'X': sizetField = 1; break;
    case 'Y': sizetField = 2; break;
    default: sizetField = 4; break;  // "c", "d", "e", "Z" and tags of later drivers
  }
  if (sizetField) {
    if (sizetLeft < sizetField) return DEV_HISTORYWALK_TORN;
    sizetLength = sizetField == 1 ? pu8[0] : sizetField == 2 ? size_t{pu8[0]} | size_t{pu8[1]} << 8 : DevHistoryGet32(pu8);
  }
  if (sizetLeft - sizetField < sizetLength) return DEV_HISTORYWALK_TORN;
  a_pdevhistoryrecord->u8Tag = u8Tag;
  a_pdevhistoryrecord->sizetStart = a_sizetOffset;
  a_pdevhistoryrecord->sizetPayload = a_sizetOffset + 1 + sizetField;
  a_pdevhistoryrecord->sizetLength = sizetLength;
  return DEV_HISTORYWALK_RECORD;
}

// Whether a tag holds a full settings block, and whether it ends a scan
// record.
inline bool DevHistoryIsBlock(uint8_t a_u8Tag) { return a_u8Tag == 'X' || a_u8Tag == 'Y' || a_u8Tag == 'Z'; }
inline bool DevHistoryEndsScan(uint8_t a_u8Tag) { return DevHistoryIsBlock(a_u8Tag) || a_u8Tag == 'z'; }

// The driver version text "a.b.c.d" as a number: a*1000000 + b*10000 +
// c*100 + d, missing parts 0.
uint32_t DevHistoryVersionNumber(const char* a_szVersion);

// Tests: the writer's clock (null: the system time) and the driver version
// it records (null: the configuration's).
void DevHistorySetClock(void (*a_pfnClock)(OsTimeRecord*));
void DevHistorySetDriverVersion(const char* a_szVersion);
