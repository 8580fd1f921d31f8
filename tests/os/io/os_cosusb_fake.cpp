// The scripted USB library of the tests.
#include "os_cosusb_fake.h"

#include <cstdlib>
#include <cstring>

namespace usbfake {
namespace {
Script s_script;
constexpr openusb_devid_t kFirstId = 100;

int32_t GetDevidsByBus(openusb_handle_t, openusb_busid_t, openusb_devid_t** a_pdevids, uint32_t* a_pnum) {
  ++s_script.listCalls;
  s_script.calls.push_back("list");
  if (s_script.listStatus != OPENUSB_SUCCESS) return s_script.listStatus;
  auto* devids = static_cast<openusb_devid_t*>(std::calloc(s_script.devices.size() + 1, sizeof(openusb_devid_t)));
  for (size_t i = 0; i < s_script.devices.size(); ++i) devids[i] = kFirstId + i;
  *a_pdevids = devids;
  *a_pnum = static_cast<uint32_t>(s_script.devices.size());
  return OPENUSB_SUCCESS;
}

void FreeDevidList(openusb_devid_t* a_devids) {
  s_script.calls.push_back("free");
  std::free(a_devids);
}

int32_t ParseDeviceDesc(openusb_handle_t, openusb_devid_t a_devid, uint8_t*, uint16_t, openusb_device_desc* a_desc) {
  if (a_devid < kFirstId || a_devid - kFirstId >= s_script.devices.size()) return OPENUSB_UNKNOWN_DEVICE;
  const Device& device = s_script.devices[a_devid - kFirstId];
  if (device.parseStatus != OPENUSB_SUCCESS) return device.parseStatus;
  std::memset(a_desc, 0, sizeof *a_desc);
  a_desc->bLength = sizeof *a_desc;
  a_desc->bDescriptorType = 1;
  a_desc->bMaxPacketSize0 = device.maxPacket0;
  a_desc->idVendor = device.vid;
  a_desc->idProduct = device.pid;
  a_desc->bNumConfigurations = 1;
  return OPENUSB_SUCCESS;
}

const char* StrError(int32_t a_error) { return a_error == OPENUSB_SUCCESS ? "success" : "scripted failure"; }

int32_t ClaimInterface(openusb_dev_handle_t, uint8_t a_ifc, uint32_t) {
  s_script.calls.push_back("claim " + std::to_string(a_ifc));
  if (s_script.claimStatus != OPENUSB_SUCCESS) return s_script.claimStatus;
  ++s_script.claims;
  return OPENUSB_SUCCESS;
}

int32_t ReleaseInterface(openusb_dev_handle_t, uint8_t a_ifc) {
  s_script.calls.push_back("release " + std::to_string(a_ifc));
  ++s_script.releases;
  return OPENUSB_SUCCESS;
}
int32_t CloseDevice(openusb_dev_handle_t a_dev) {
  s_script.calls.push_back("close " + std::to_string(a_dev));
  return OPENUSB_SUCCESS;
}
}  // namespace

Script& Reset() {
  s_script = Script{};
  return s_script;
}

Script& Get() { return s_script; }

COpenUsb* NewTable() {
  auto* table = new COpenUsb;
  table->openusb_get_devids_by_bus = GetDevidsByBus;
  table->openusb_free_devid_list = FreeDevidList;
  table->openusb_parse_device_desc = ParseDeviceDesc;
  table->openusb_strerror = StrError;
  table->openusb_claim_interface = ClaimInterface;
  table->openusb_release_interface = ReleaseInterface;
  table->openusb_close_device = CloseDevice;
  return table;
}

}  // namespace usbfake
