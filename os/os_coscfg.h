// The process-wide configuration store: text values addressed by section
// and tag id, filled from built-in defaults, the configuration ini file and
// derived values; plus the ini-file engine and the registry emulation.
#pragma once

#include <cstddef>

#include "os_def.h"

class COsCfgImpl;

class COsCfg {
 public:
  COsCfg();
  ~COsCfg();

  // A read never fails: unset or out-of-range values read as "".
  const char* Get(unsigned a_uSection, unsigned a_uTag);
  const char* Get(const char* a_szSection, const char* a_szTag);
  // Keeps the caller's pointer, not a copy.
  EOSSTS Set(unsigned a_uSection, unsigned a_uTag, const char* a_szValue);
  char** GetThrowAwayPointer();
  // Changes the owner and group permission bits of a file for an
  // EOSFILEACCESS (1 read, 2 write, 3 read and write, 4 execute).
  static EOSSTS SetAccess(const char* a_szFile, int a_eosfileaccess);

 private:
  COsCfgImpl* m_poscfgimpl;
};

extern COsCfg* g_poscfg;

// Marks the library's own file: dladdr on it finds the module.
extern "C" void g_oscfglocatorfunction();

// Reads a number from the configuration with base detection (0x.. hex,
// 0.. octal); the default when the store does not exist yet or the text is empty.
long OsCfgGetLong(unsigned a_uSection, unsigned a_uTag, long a_lDefault);
