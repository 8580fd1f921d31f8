// A USB library table of in-process functions over a scripted list of
// attached devices (ids, descriptors, failures), for the probe and the
// device service. One script per process: every test case runs alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "os_copenusb.h"

namespace usbfake {

struct Device {
  uint16_t vid = 0;
  uint16_t pid = 0;
  int32_t parseStatus = OPENUSB_SUCCESS;  // of its device descriptor
  uint8_t maxPacket0 = 64;
};

struct Script {
  std::vector<Device> devices;           // device ids are 100 upwards
  int32_t listStatus = OPENUSB_SUCCESS;  // of the device id list
  int32_t claimStatus = OPENUSB_SUCCESS;
  // What the service asked.
  int listCalls = 0;
  int claims = 0;
  int releases = 0;
  std::vector<std::string> calls;
};

// The script of this process, emptied.
Script& Reset();
Script& Get();

// A table of the fake's functions; the caller owns it.
COpenUsb* NewTable();

}  // namespace usbfake
