// One TCP connection of a network scanner unit: a pipe of the unit is a
// connection to one port of the unit's address, carrying raw bytes without
// framing. The device service reaches its connections only through this
// interface; SetFactory puts another transport in place.
#pragma once

#include <cstdint>

#include "os_def.h"

class COsUsbChannel {
 public:
  virtual ~COsUsbChannel() = default;
  // 0 connected; 7 the unit cannot be reached.
  virtual EOSSTS Connect(const char* a_szAddress, const char* a_szPort, const char* a_szName) = 0;
  // What has arrived, up to the size: 0 (with the count), 5 nothing within
  // the time (ms; 0 waits without limit), 7 the connection ended or broke,
  // 8 cancelled.
  virtual EOSSTS Read(void* a_pvBuffer, uint64_t a_u64Size, uint64_t* a_pu64Read, uint32_t a_u32Milliseconds) = 0;
  // Every byte: 0, 5, 7 or 8 as for Read.
  virtual EOSSTS Write(const void* a_pvData, uint64_t a_u64Size, uint64_t* a_pu64Written,
                       uint32_t a_u32Milliseconds) = 0;
  // Ends a Read or Write of another thread with 8.
  virtual EOSSTS Cancel() = 0;
  virtual EOSSTS SetBufferSizes(int a_iSendBytes, int a_iReceiveBytes) = 0;

  // A new channel of the transport in use (the built-in TCP one unless a
  // factory was set; null restores it).
  typedef COsUsbChannel* (*Factory)();
  static COsUsbChannel* Create();
  static void SetFactory(Factory a_pfnFactory);
  // How long the built-in transport waits for a unit to take a connection
  // (10 s); a negative value restores the default.
  static void SetConnectLimit(long a_lMilliseconds);
};
