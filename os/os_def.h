// Types shared by every unit of the runtime service layer: status codes, log
// flags and the time record.
#pragma once

#include <cstddef>
#include <cstdint>

// Status of nearly every operation; 0 is success.
enum EOSSTS : int {
  OS_STS_SUCCESS = 0,
  OS_STS_FAIL = 1,
  OS_STS_NOROOM_BUFFER = 2,       // output does not fit its buffer
  OS_STS_BAD_ARGUMENT = 3,        // bad argument, id out of range, no file open
  OS_STS_BUSY = 4,                // lock held elsewhere, command pending
  OS_STS_TIMEOUT = 5,
  OS_STS_END_OF_LIST = 6,         // no node, no sibling, no further resource
  OS_STS_LOCKED = 9,              // shared-memory file lock held; a file region this object holds
  OS_STS_NOT_LOCKED = 10,         // shared-memory file lock not held
  OS_STS_BAD_ARGUMENT_SYNC = 13,  // bad argument of time and sync, watched process ended
  OS_STS_NO_ROOM = 14,
  OS_STS_FILE_NOT_FOUND = 257,
  OS_STS_ACCESS_DENIED = 258,
  OS_STS_IO_ERROR = 259,
  OS_STS_IN_USE = 260,
  OS_STS_ALREADY_EXISTS = 261,
};

// Flag word of every log call.
enum EOSLOGFLAG : long {
  OS_LOG_ERROR = 1,          // always written, never filtered
  OS_LOG_DBC = 2,            // database compiler trace
  OS_LOG_INFO = 4,           // the common case
  OS_LOG_USBWIRE = 8,        // USB wire trace
  OS_LOG_FLUSH = 16,         // added to another flag: flush after the line
  OS_LOG_FIND = 32,          // "find" messages, only with the debug-find switch
  OS_LOG_ASSERT = 64,        // always written unless filtered
  OS_LOG_PROTOCOL = 128,     // tasks between caller and driver
  OS_LOG_MEM = 256,          // memory tracker: heap
  OS_LOG_MEMVIRTUAL = 4352,  // memory tracker: page-granular
  OS_LOG_MEMNOTOWNED = 33024,
  OS_LOG_MEMVIRTUALNOTOWNED = 33280,
};

// Broken-down time; no time zone (each operation says UTC or local).
struct OsTimeRecord {
  uint16_t u16Year;
  uint16_t u16Month;      // 1..12
  uint16_t u16DayOfWeek;  // 0 (Sunday)..6
  uint16_t u16Day;        // 1..31
  uint16_t u16Hour;
  uint16_t u16Minute;
  uint16_t u16Second;
  uint16_t u16Milliseconds;
};

// Exported C entries keep their plain names.
#define OS_EXPORT extern "C" __attribute__((visibility("default")))
