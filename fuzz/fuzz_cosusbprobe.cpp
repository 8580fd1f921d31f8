// Fuzz target of the probe's device-list grammar: the input is a device
// list, and after its first NUL a simulation request. The list is
// registered, probed in simulation when the request asks for it, else
// against a stand-in USB library that reports one device per filter read
// (each twice, so that the online table fills), one device of ids no filter
// names and one whose descriptor cannot be read; then every walk is made.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_root.h"
#include "os_copenusb.h"
#include "os_cosusbprobe.h"

namespace {

void Check(bool a_bl) {
  if (!a_bl) __builtin_trap();
}

// The attached devices of the stand-in library: vendor and product ids.
std::vector<std::pair<uint16_t, uint16_t>> s_vecDevices;
constexpr openusb_devid_t kBroken = 0xdead;

int32_t GetDevids(openusb_handle_t, openusb_busid_t, openusb_devid_t** a_ppdevid, uint32_t* a_pu32Count) {
  *a_ppdevid = static_cast<openusb_devid_t*>(std::calloc(s_vecDevices.size() + 1, sizeof(openusb_devid_t)));
  if (!*a_ppdevid) return -1;
  for (size_t i = 0; i < s_vecDevices.size(); ++i) (*a_ppdevid)[i] = i;
  (*a_ppdevid)[s_vecDevices.size()] = kBroken;
  *a_pu32Count = static_cast<uint32_t>(s_vecDevices.size() + 1);
  return OPENUSB_SUCCESS;
}

int32_t ParseDeviceDesc(openusb_handle_t, openusb_devid_t a_devid, uint8_t*, uint16_t, openusb_device_desc* a_pdesc) {
  if (a_devid >= s_vecDevices.size()) return -1;
  *a_pdesc = openusb_device_desc{};
  a_pdesc->idVendor = s_vecDevices[a_devid].first;
  a_pdesc->idProduct = s_vecDevices[a_devid].second;
  return OPENUSB_SUCCESS;
}

void FreeDevids(openusb_devid_t* a_pdevid) { std::free(a_pdevid); }
const char* StrError(int32_t) { return "stand-in failure"; }

void Touch(const OsUsbInfo* a_p) {
  // Every text of a record ends within its field.
  Check(strnlen(a_p->szGroup, sizeof a_p->szGroup) < sizeof a_p->szGroup);
  Check(strnlen(a_p->szDeviceType, sizeof a_p->szDeviceType) < sizeof a_p->szDeviceType);
  Check(strnlen(a_p->szModel, sizeof a_p->szModel) < sizeof a_p->szModel);
  Check(strnlen(a_p->szDeviceFileName, sizeof a_p->szDeviceFileName) < sizeof a_p->szDeviceFileName);
  Check(strnlen(a_p->szDeviceFriendlyName, sizeof a_p->szDeviceFriendlyName) < sizeof a_p->szDeviceFriendlyName);
  Check(strnlen(a_p->szMfg, sizeof a_p->szMfg) < sizeof a_p->szMfg);
  Check(strnlen(a_p->szMdl, sizeof a_p->szMdl) < sizeof a_p->szMdl);
  Check(strnlen(a_p->szSocketIp4, sizeof a_p->szSocketIp4) < sizeof a_p->szSocketIp4);
  Check(strnlen(a_p->szSerialNumber, sizeof a_p->szSerialNumber) < sizeof a_p->szSerialNumber);
}

// A walk ends within the table.
template <typename First, typename Next>
void Walk(First a_first, Next a_next) {
  int iSteps = 0;
  for (OsUsbInfo* p = a_first(); p; p = a_next()) {
    Touch(p);
    Check(++iSteps <= OS_USB_FILTERS);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzroot::Make("probefuzz");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* a_pu8Data, size_t a_sizetData) {
  fuzzroot::NextRun();
  const std::string strInput(reinterpret_cast<const char*>(a_pu8Data), a_sizetData);
  const size_t sizetNul = strInput.find('\0');
  const std::string strList = strInput.substr(0, sizetNul);
  const std::string strSimulation = sizetNul == std::string::npos ? "" : strInput.substr(sizetNul + 1);

  COpenUsb openusb;
  openusb.openusb_get_devids_by_bus = GetDevids;
  openusb.openusb_parse_device_desc = ParseDeviceDesc;
  openusb.openusb_free_devid_list = FreeDevids;
  openusb.openusb_strerror = StrError;
  COsUsbProbe osusbprobe(nullptr, nullptr);
  osusbprobe.SetOpenUsb(&openusb);
  for (int iRound = 0; iRound < 2; ++iRound) {
    if (osusbprobe.RegisterDevicesForProbe(strList.c_str(), strSimulation.c_str()) != OS_STS_SUCCESS &&
        iRound == 0) {
      // A refused list still leaves the probe usable.
      osusbprobe.RegisterDevicesForProbe(strList.c_str(), nullptr);
    }
    Check(osusbprobe.GetFilterCount() >= 0 && osusbprobe.GetFilterCount() <= OS_USB_FILTERS);
    s_vecDevices.clear();
    for (OsUsbInfo* p = osusbprobe.GetFirstFilter(); p; p = osusbprobe.GetNextFilter()) {
      s_vecDevices.emplace_back(p->u16Vid, p->u16Pid);
      s_vecDevices.emplace_back(p->u16Vid, p->u16Pid);
    }
    s_vecDevices.emplace_back(0xffff, 0xfffe);
    osusbprobe.Probe();
    Check(osusbprobe.GetOnlineCount() >= 0 && osusbprobe.GetOnlineCount() <= OS_USB_FILTERS);
    Walk([&] { return osusbprobe.GetFirstFilter(); }, [&] { return osusbprobe.GetNextFilter(); });
    Walk([&] { return osusbprobe.GetFirstOnline(); }, [&] { return osusbprobe.GetNextOnline(); });
    Walk([&] { return osusbprobe.GetFirst(); }, [&] { return osusbprobe.GetNext(); });
    Touch(osusbprobe.GetSelected());
  }
  return 0;
}
