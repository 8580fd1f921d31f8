// The probe proper: the attached devices that match the filters (or a unit
// of the list in simulation), feeder units ordered first, and the walks.
#include <cstring>
#include <utility>

#include "os_copenusb.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_cosusbprobe.h"

namespace {
const char kSerialNumber[] = "0000000000000000";
constexpr uint16_t kSpeed = 0x0200;

bool IsGroup(const OsUsbInfo& a_osusbinfo, const char* a_szGroup) {
  return std::strcmp(a_osusbinfo.szGroup, a_szGroup) == 0;
}

const char* ErrorText(COpenUsb* a_popenusb, int32_t a_i32Error) {
  const char* sz = a_popenusb->openusb_strerror ? a_popenusb->openusb_strerror(a_i32Error) : nullptr;
  return sz ? sz : "(no text)";
}
}  // namespace

EOSSTS COsUsbProbe::Probe() {
  // Every probe starts from an empty table: a second one neither repeats
  // nor overflows the first one's records.
  std::memset(m_aosusbinfoOnline, 0, sizeof m_aosusbinfoOnline);
  m_iOnline = 0;
  m_iOnlineWalk = 0;
  std::memset(&m_osusbinfoSelected, 0, sizeof m_osusbinfoSelected);
  if (m_blSimulation) return ProbeSimulation();
  OsLogDebug(OS_LOG_INFO, "usb>>> probe enter...");
  EOSSTS eossts = ProbeAttached();
  if (eossts == OS_STS_SUCCESS) {
    OrderFeedersFirst();
    eossts = Select();
  }
  OsLogDebug(OS_LOG_INFO, "usb>>> probe exit...");
  return eossts;
}

OsUsbInfo* COsUsbProbe::AddOnline(const OsUsbInfo& a_osusbinfo, uint64_t a_u64DevId) {
  if (m_iOnline >= OS_USB_FILTERS) {
    OsLog(OS_LOG_ERROR, "usb>>> probe: too many devices, ignoring the rest...%d", m_iOnline + 1);
    return nullptr;
  }
  OsUsbInfo* p = &m_aosusbinfoOnline[m_iOnline++];
  *p = a_osusbinfo;
  p->u64DevId = a_u64DevId;
  COsString::SStrCpy(p->szSerialNumber, sizeof p->szSerialNumber, kSerialNumber);
  p->u32Kind = 2;
  p->u16Revision = 0;
  p->u16Speed = kSpeed;
  p->eosusbconnection = OS_USBCONNECTION_CONNECTED;
  OsLogDebug(OS_LOG_INFO, "usb>>> probe(%d): 0x%04x 0x%04x 0x%04x(hardcoded) <%s> rev_0000(hardcoded)",
             m_iOnline - 1, p->u16Vid, p->u16Pid, p->u16Speed, p->szSerialNumber);
  return p;
}

EOSSTS COsUsbProbe::ProbeAttached() {
  if (!m_popenusb || !m_popenusb->openusb_get_devids_by_bus || !m_popenusb->openusb_parse_device_desc ||
      !m_popenusb->openusb_free_devid_list) {
    OsLog(OS_LOG_ERROR, "usb>>> probe: the USB library is not loaded...");
    return OS_STS_FAIL;
  }
  openusb_devid_t* pdevid = nullptr;
  uint32_t u32Devices = 0;
  int32_t i32 = m_popenusb->openusb_get_devids_by_bus(m_popenusb->m_openusbhandle, 0, &pdevid, &u32Devices);
  if (i32 != OPENUSB_SUCCESS) {
    OsLog(OS_LOG_ERROR, "usb>>> probe: Couldn't get device id list...%d", i32);
    return OS_STS_FAIL;
  }
  for (uint32_t u32Device = 0; pdevid && u32Device < u32Devices; ++u32Device) {
    openusb_device_desc devdesc{};
    i32 = m_popenusb->openusb_parse_device_desc(m_popenusb->m_openusbhandle, pdevid[u32Device], nullptr, 0, &devdesc);
    if (i32 != OPENUSB_SUCCESS) {
      OsLog(OS_LOG_ERROR, "usb>>> probe: Unable to parse device descriptor %d: %s", i32, ErrorText(m_popenusb, i32));
      continue;
    }
    OsLogDebug(OS_LOG_INFO, "usb>>>    Max Packet Size 0...%d", devdesc.bMaxPacketSize0);
    OsLogDebug(OS_LOG_INFO, "usb>>>    Vendor Id...........0x%04x", devdesc.idVendor);
    OsLogDebug(OS_LOG_INFO, "usb>>>    Product Id..........0x%04x", devdesc.idProduct);
    if (m_iFilters == 0) {
      // Without a device list every device passes as a feeder unit.
      OsUsbInfo osusbinfo{};
      osusbinfo.eosusbwire = OS_USBWIRE_USB;
      COsString::SStrCpy(osusbinfo.szGroup, sizeof osusbinfo.szGroup, "models");
      COsString::SStrCpy(osusbinfo.szDeviceType, sizeof osusbinfo.szDeviceType, "adf");
      osusbinfo.u16Vid = devdesc.idVendor;
      osusbinfo.u16Pid = devdesc.idProduct;
      AddOnline(osusbinfo, pdevid[u32Device]);
      continue;
    }
    for (int iFilter = 0; iFilter < m_iFilters; ++iFilter) {
      OsLogDebug(OS_LOG_INFO, "usb>>>    u32Filter...........%d", iFilter);
      const OsUsbInfo& filter = m_aosusbinfoFilter[iFilter];
      if (filter.u16Vid == devdesc.idVendor && filter.u16Pid == devdesc.idProduct) AddOnline(filter, pdevid[u32Device]);
    }
  }
  m_popenusb->openusb_free_devid_list(pdevid);
  return OS_STS_SUCCESS;
}

// A flatbed unit directly followed by a feeder unit swaps with it, until a
// pass swaps nothing; the order is kept otherwise.
void COsUsbProbe::OrderFeedersFirst() {
  for (bool blSwapped = true; blSwapped;) {
    blSwapped = false;
    for (int i = 0; i + 1 < m_iOnline; ++i) {
      if (IsGroup(m_aosusbinfoOnline[i], "flatbed") && IsGroup(m_aosusbinfoOnline[i + 1], "models")) {
        std::swap(m_aosusbinfoOnline[i], m_aosusbinfoOnline[i + 1]);
        blSwapped = true;
      }
    }
  }
}

EOSSTS COsUsbProbe::Select() {
  for (int i = 0; i < m_iOnline; ++i) {
    if (IsGroup(m_aosusbinfoOnline[i], "models")) {
      m_osusbinfoSelected = m_aosusbinfoOnline[i];
      return OS_STS_SUCCESS;
    }
  }
  return OS_STS_END_OF_LIST;
}

EOSSTS COsUsbProbe::ProbeSimulation() {
  if (m_iFilters == 0) return OS_STS_END_OF_LIST;
  const OsUsbInfo* pfilter = &m_aosusbinfoFilter[0];
  if (std::strcmp(m_szSimulationModel, "*") == 0) {
    OsLogDebug(OS_LOG_INFO, "usb>>> probe: simulation is 'once': first model found is <%s>", pfilter->szModel);
  } else if (m_szSimulationModel[0]) {
    const OsUsbInfo* pfound = nullptr;
    for (int i = 0; i < m_iFilters && !pfound; ++i) {
      if (std::strcmp(m_aosusbinfoFilter[i].szModel, m_szSimulationModel) == 0) pfound = &m_aosusbinfoFilter[i];
    }
    if (pfound) {
      pfilter = pfound;
      OsLogDebug(OS_LOG_INFO, "usb>>> probe: simulation model requested and found is <%s>", pfilter->szModel);
    } else {
      OsLog(OS_LOG_INFO, "usb>>> probe: simulation model <%s> requested and NOT found; defaulting to model <%s>",
            m_szSimulationModel, pfilter->szModel);
    }
  } else {
    // No model named: the first unit, as for "once".
    OsLog(OS_LOG_INFO, "usb>>> probe: simulation without a model; defaulting to model <%s>", pfilter->szModel);
  }
  OsUsbInfo* p = &m_aosusbinfoOnline[0];
  *p = *pfilter;
  p->szDeviceFileName[0] = '\0';
  COsString::SStrCpy(p->szSerialNumber, sizeof p->szSerialNumber, kSerialNumber);
  p->u16Revision = 0;
  p->u16Speed = kSpeed;
  p->u32Kind = 2;
  p->eosusbconnection = OS_USBCONNECTION_CONNECTED;
  p->blSimulation = true;
  OsLogDebug(OS_LOG_INFO, "usb>>> probe: <%s> <%s> 0x%04x <%s> (simulation)", p->szModel, p->szDeviceType,
             p->u16Speed, p->szSerialNumber);
  m_osusbinfoSelected = *p;
  m_iOnline = 1;
  return OS_STS_SUCCESS;
}

OsUsbInfo* COsUsbProbe::GetFirstFilter() {
  m_iFilterWalk = 0;
  return GetNextFilter();
}

OsUsbInfo* COsUsbProbe::GetNextFilter() {
  return m_iFilterWalk < m_iFilters ? &m_aosusbinfoFilter[m_iFilterWalk++] : nullptr;
}

OsUsbInfo* COsUsbProbe::GetFirstOnline() {
  m_iOnlineWalk = 0;
  return GetNextOnline();
}

OsUsbInfo* COsUsbProbe::GetNextOnline() {
  return m_iOnlineWalk < m_iOnline ? &m_aosusbinfoOnline[m_iOnlineWalk++] : nullptr;
}

OsUsbInfo* COsUsbProbe::GetFirst() {
  m_iSelectionWalk = 0;
  m_blSelectionStart = true;
  return GetNext();
}

OsUsbInfo* COsUsbProbe::GetNext() {
  if (m_iSelectionWalk >= m_iOnline) return nullptr;
  OsUsbInfo* p = &m_aosusbinfoOnline[m_iSelectionWalk++];
  if (m_blSelectionStart && IsGroup(*p, "models")) {
    m_blSelectionStart = false;
    return &m_osusbinfoSelected;
  }
  return p;
}
