// The request codes of COsUsb::Ioctl as data: each code's name, the pipe
// it uses and the tags its log lines carry; and what a transfer's
// completion status of the USB library means to the service.
#pragma once

#include <cstdint>

#include "os_cosusb.h"

struct OsUsbIoctlInfo {
  const char* szName;      // "???" for a code without one
  uint32_t eosusbpipe;     // EOSUSBPIPE
  const char* szTag;       // the command bytes' tag before the request runs
  const char* szTagAfter;  // the data bytes' tag after it; null: none
  bool blAccepted;         // false: refused
};

// The row of a code; codes from 40 on share the refused row of code 0.
const OsUsbIoctlInfo& OsUsbIoctlGetInfo(uint32_t a_eosusbioctl);

// A completion status: 0 gives 0, a time-out 5, a cancel 8, a device gone
// (and any status not known) 7.
EOSSTS OsUsbCompletionStatus(int32_t a_i32Status);
