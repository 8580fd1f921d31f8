// The device-list grammar of the probe: one filter record per "device"
// element, filled by the element handlers, and the simulation request.
#include "os_cosusbprobe.h"

#include <cstring>
#include <initializer_list>
#include <new>

#include "os_coslog.h"
#include "os_cosstring.h"

const char COsUsbProbe::s_szGrammar[] =
    "<devicelist enter='this.EnterDevicelist' exit='this.ExitDevicelist'>"
    "<device enter='this.EnterDevicelistDevice' exit='this.ExitDevicelistDevice'>"
    "<group enter='this.EnterDevicelistDeviceGroup'/>"
    "<devicetype enter='this.EnterDevicelistDeviceDevicetype'/>"
    "<model enter='this.EnterDevicelistDeviceModel'/>"
    "<devicefilename enter='this.EnterDevicelistDeviceDevicefilename'/>"
    "<devicefriendlyname enter='this.EnterDevicelistDeviceDevicefriendlyname'/>"
    "<flatbedintegrated enter='this.EnterDevicelistDeviceFlatbedintegrated'/>"
    "<usb enter='this.EnterDevicelistDeviceUsb' exit='this.ExitDevicelistDeviceUsb'>"
    "<vid enter='this.EnterDevicelistDeviceUsbVid'/>"
    "<pid enter='this.EnterDevicelistDeviceUsbPid'/>"
    "<mfg enter='this.EnterDevicelistDeviceUsbMfg'/>"
    "<mdl enter='this.EnterDevicelistDeviceUsbMdl'/>"
    "</usb>"
    "<net enter='this.EnterDevicelistDeviceNet' exit='this.ExitDevicelistDeviceNet'>"
    "<vid enter='this.EnterDevicelistDeviceNetVid'/>"
    "<pid enter='this.EnterDevicelistDeviceNetPid'/>"
    "<mfg enter='this.EnterDevicelistDeviceNetMfg'/>"
    "<mdl enter='this.EnterDevicelistDeviceNetMdl'/>"
    "<socketip4 enter='this.EnterDevicelistDeviceNetSocketip4'/>"
    "</net>"
    "</device>"
    "</devicelist>";

namespace {
COsUsbProbe* Self(OsXmlCallback* a_posxmlcallback) { return static_cast<COsUsbProbe*>(a_posxmlcallback->pvObject); }
const char* Data(OsXmlCallback* a_posxmlcallback) { return a_posxmlcallback->szData ? a_posxmlcallback->szData : ""; }

bool OneOf(const char* a_szText, std::initializer_list<const char*> a_list) {
  for (const char* sz : a_list) {
    if (std::strcmp(a_szText, sz) == 0) return true;
  }
  return false;
}

// A text field; one that keeps its first value is set once.
void SetText(OsUsbInfo* a_posusbinfo, char* a_szField, size_t a_sizetField, const char* a_szData,
             uint32_t a_u32KeepFirst = 0) {
  if (a_u32KeepFirst && (a_posusbinfo->u32Seen & a_u32KeepFirst)) return;
  COsString::SStrCpy(a_szField, a_sizetField, a_szData);
  a_posusbinfo->u32Seen |= a_u32KeepFirst;
}

void SetId(OsUsbInfo* a_posusbinfo, uint16_t* a_pu16Field, const char* a_szData, uint32_t a_u32KeepFirst) {
  if (a_posusbinfo->u32Seen & a_u32KeepFirst) return;
  *a_pu16Field = static_cast<uint16_t>(COsString::StrToFastHex(a_szData));
  a_posusbinfo->u32Seen |= a_u32KeepFirst;
}
}  // namespace

COsUsbProbe::COsUsbProbe(COsUsb* a_posusb, COsUsbPnpList* a_posusbpnplist)
    : m_posusb(a_posusb), m_posusbpnplist(a_posusbpnplist) {}

COsUsbProbe::~COsUsbProbe() = default;

void COsUsbProbe::SetOpenUsb(COpenUsb* a_popenusb) { m_popenusb = a_popenusb; }

EOSSTS COsUsbProbe::RegisterDevicesForProbe(const char* a_szDeviceList, const char* a_szSimulation) {
  m_szSimulationModel[0] = '\0';
  m_szDeviceFileName[0] = '\0';
  m_blSimulation = false;
  if (a_szSimulation && *a_szSimulation) {
    if (std::strstr(a_szSimulation, "<simulation>true</simulation>")) {
      m_blSimulation = true;
      COsXml::GetContent(a_szSimulation, "<mdl>", "</mdl>", m_szSimulationModel, sizeof m_szSimulationModel);
    } else if (std::strstr(a_szSimulation, "<simulation>once</simulation>")) {
      m_blSimulation = true;
      COsString::SStrCpy(m_szSimulationModel, sizeof m_szSimulationModel, "*");
    }
    COsXml::GetContent(a_szSimulation, "<devicefilename>", "</devicefilename>", m_szDeviceFileName,
                       sizeof m_szDeviceFileName);
  }
  if (!a_szDeviceList) {
    OsLog(OS_LOG_ERROR, "a_szDeviceList is null...");
    return OS_STS_FAIL;
  }
  COsXml* posxml = new (std::nothrow) COsXml;
  if (!posxml) {
    OsLog(OS_LOG_ERROR, "new failed...");
    return OS_STS_FAIL;
  }
  EOSSTS eossts = posxml->DispatchAddObject("this", "COsUsbProbe", this);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DispatchAddObject failed...");
  } else if ((eossts = posxml->DispatchLoad(s_szGrammar)) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DispatchLoad failed...<%s>", s_szGrammar);
  } else {
    std::memset(m_aosusbinfoFilter, 0, sizeof m_aosusbinfoFilter);
    m_iFilters = 0;
    m_posusbinfoBuilding = nullptr;
    eossts = posxml->DocumentLoadAndDispatch(a_szDeviceList, nullptr);
    if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "DispatchLoadAndDispatch failed...<%s>", a_szDeviceList);
  }
  delete posxml;
  return eossts;
}

EOSSTS COsUsbProbe::EnterDevice() {
  if (m_iFilters >= OS_USB_FILTERS) {
    OsLog(OS_LOG_ERROR, "Too many devices in the device list, ignoring this one...%d", m_iFilters + 1);
    m_posusbinfoBuilding = nullptr;
    return OS_STS_SUCCESS;
  }
  m_posusbinfoBuilding = &m_aosusbinfoFilter[m_iFilters];
  *m_posusbinfoBuilding = OsUsbInfo{};
  return OS_STS_SUCCESS;
}

EOSSTS COsUsbProbe::ExitDevice() {
  if (!m_posusbinfoBuilding) return OS_STS_SUCCESS;
  m_posusbinfoBuilding->u32Kind = 1;
  m_posusbinfoBuilding->eosusbconnection = OS_USBCONNECTION_DISCONNECTED;
  m_posusbinfoBuilding->blSimulation = m_blSimulation;
  m_posusbinfoBuilding = nullptr;
  ++m_iFilters;
  return OS_STS_SUCCESS;
}

EOSSTS COsUsbProbe::SetWire(uint32_t a_eosusbwire) {
  if (m_posusbinfoBuilding) m_posusbinfoBuilding->eosusbwire = a_eosusbwire;
  return OS_STS_SUCCESS;
}

EOSSTS COsUsbProbe::SetField(Field a_field, const char* a_szData) {
  OsUsbInfo* p = m_posusbinfoBuilding;
  if (!p) return OS_STS_SUCCESS;
  switch (a_field) {
    case Field::Group:
      if (!OneOf(a_szData, {"models", "flatbed"})) {
        OsLog(OS_LOG_ERROR, "unrecognized group...<%s>", a_szData);
        return OS_STS_FAIL;
      }
      SetText(p, p->szGroup, sizeof p->szGroup, a_szData);
      break;
    case Field::DeviceType:
      if (!OneOf(a_szData, {"adf", "flatbedaccessory", "flatbedintegrated"})) {
        OsLog(OS_LOG_ERROR, "unrecognized devicetype...<%s>", a_szData);
        return OS_STS_FAIL;
      }
      SetText(p, p->szDeviceType, sizeof p->szDeviceType, a_szData);
      break;
    case Field::Model: SetText(p, p->szModel, sizeof p->szModel, a_szData); break;
    case Field::DeviceFileName:
      SetText(p, p->szDeviceFileName, sizeof p->szDeviceFileName, a_szData, OS_USBINFOSEEN_DEVICEFILENAME);
      break;
    case Field::FriendlyName: SetText(p, p->szDeviceFriendlyName, sizeof p->szDeviceFriendlyName, a_szData); break;
    case Field::FlatbedIntegrated: SetText(p, p->szFlatbedIntegrated, sizeof p->szFlatbedIntegrated, a_szData); break;
    case Field::Vid: SetId(p, &p->u16Vid, a_szData, OS_USBINFOSEEN_VID); break;
    case Field::Pid: SetId(p, &p->u16Pid, a_szData, OS_USBINFOSEEN_PID); break;
    case Field::Mfg: SetText(p, p->szMfg, sizeof p->szMfg, a_szData, OS_USBINFOSEEN_MFG); break;
    case Field::Mdl: SetText(p, p->szMdl, sizeof p->szMdl, a_szData, OS_USBINFOSEEN_MDL); break;
    case Field::SocketIp4: SetText(p, p->szSocketIp4, sizeof p->szSocketIp4, a_szData, OS_USBINFOSEEN_SOCKETIP4); break;
  }
  return OS_STS_SUCCESS;
}

// The trampolines the grammar names; the USB and network forms of the ids
// and texts behave alike.
EOSSTS COsUsbProbe::COsUsbProbe_EnterDevicelist(OsXmlCallback*) { return OS_STS_SUCCESS; }
EOSSTS COsUsbProbe::COsUsbProbe_ExitDevicelist(OsXmlCallback*) { return OS_STS_SUCCESS; }
EOSSTS COsUsbProbe::COsUsbProbe_EnterDevicelistDevice(OsXmlCallback* a_p) { return Self(a_p)->EnterDevice(); }
EOSSTS COsUsbProbe::COsUsbProbe_ExitDevicelistDevice(OsXmlCallback* a_p) { return Self(a_p)->ExitDevice(); }
EOSSTS COsUsbProbe::COsUsbProbe_EnterDevicelistDeviceGroup(OsXmlCallback* a_p) {
  return Self(a_p)->SetField(Field::Group, Data(a_p));
}
EOSSTS COsUsbProbe::COsUsbProbe_EnterDevicelistDeviceDevicetype(OsXmlCallback* a_p) {
  return Self(a_p)->SetField(Field::DeviceType, Data(a_p));
}
EOSSTS COsUsbProbe::COsUsbProbe_EnterDevicelistDeviceModel(OsXmlCallback* a_p) {
  return Self(a_p)->SetField(Field::Model, Data(a_p));
}
EOSSTS COsUsbProbe::COsUsbProbe_EnterDevicelistDeviceDevicefilename(OsXmlCallback* a_p) {
  return Self(a_p)->SetField(Field::DeviceFileName, Data(a_p));
}
EOSSTS COsUsbProbe::COsUsbProbe_EnterDevicelistDeviceDevicefriendlyname(OsXmlCallback* a_p) {
  return Self(a_p)->SetField(Field::FriendlyName, Data(a_p));
}
EOSSTS COsUsbProbe::COsUsbProbe_EnterDevicelistDeviceFlatbedintegrated(OsXmlCallback* a_p) {
  return Self(a_p)->SetField(Field::FlatbedIntegrated, Data(a_p));
}
EOSSTS COsUsbProbe::COsUsbProbe_EnterDevicelistDeviceUsb(OsXmlCallback*) { return OS_STS_SUCCESS; }
EOSSTS COsUsbProbe::COsUsbProbe_ExitDevicelistDeviceUsb(OsXmlCallback* a_p) {
  return Self(a_p)->SetWire(OS_USBWIRE_USB);
}
EOSSTS COsUsbProbe::COsUsbProbe_EnterDevicelistDeviceUsbVid(OsXmlCallback* a_p) {
  return Self(a_p)->SetField(Field::Vid, Data(a_p));
}
EOSSTS COsUsbProbe::COsUsbProbe_EnterDevicelistDeviceUsbPid(OsXmlCallback* a_p) {
  return Self(a_p)->SetField(Field::Pid, Data(a_p));
}
EOSSTS COsUsbProbe::COsUsbProbe_EnterDevicelistDeviceUsbMfg(OsXmlCallback* a_p) {
  return Self(a_p)->SetField(Field::Mfg, Data(a_p));
}
EOSSTS COsUsbProbe::COsUsbProbe_EnterDevicelistDeviceUsbMdl(OsXmlCallback* a_p) {
  return Self(a_p)->SetField(Field::Mdl, Data(a_p));
}
EOSSTS COsUsbProbe::COsUsbProbe_EnterDevicelistDeviceNet(OsXmlCallback*) { return OS_STS_SUCCESS; }
EOSSTS COsUsbProbe::COsUsbProbe_ExitDevicelistDeviceNet(OsXmlCallback* a_p) {
  return Self(a_p)->SetWire(OS_USBWIRE_NET);
}
EOSSTS COsUsbProbe::COsUsbProbe_EnterDevicelistDeviceNetVid(OsXmlCallback* a_p) {
  return Self(a_p)->SetField(Field::Vid, Data(a_p));
}
EOSSTS COsUsbProbe::COsUsbProbe_EnterDevicelistDeviceNetPid(OsXmlCallback* a_p) {
  return Self(a_p)->SetField(Field::Pid, Data(a_p));
}
EOSSTS COsUsbProbe::COsUsbProbe_EnterDevicelistDeviceNetMfg(OsXmlCallback* a_p) {
  return Self(a_p)->SetField(Field::Mfg, Data(a_p));
}
EOSSTS COsUsbProbe::COsUsbProbe_EnterDevicelistDeviceNetMdl(OsXmlCallback* a_p) {
  return Self(a_p)->SetField(Field::Mdl, Data(a_p));
}
EOSSTS COsUsbProbe::COsUsbProbe_EnterDevicelistDeviceNetSocketip4(OsXmlCallback* a_p) {
  return Self(a_p)->SetField(Field::SocketIp4, Data(a_p));
}
