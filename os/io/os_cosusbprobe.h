// The devices a USB device service may talk to: the model's device list
// ("devicelist": every unit of the model by vendor and product id, or by
// network address) read into filter records, the attached devices that
// match them, ordered feeder units first, and the selected feeder unit. In
// simulation a unit is picked from the list without any hardware.
#pragma once

#include <cstdint>

#include "os_cosusb.h"
#include "os_cosxml.h"

class COpenUsb;
class COsUsbPnpList;

class COsUsbProbe {
 public:
  COsUsbProbe(COsUsb* a_posusb, COsUsbPnpList* a_posusbpnplist);
  ~COsUsbProbe();
  COsUsbProbe(const COsUsbProbe&) = delete;
  COsUsbProbe& operator=(const COsUsbProbe&) = delete;

  // The USB library the probe asks (owned by the caller).
  void SetOpenUsb(COpenUsb* a_popenusb);
  // Reads the device list into the filters and the simulation request of
  // the simulation text ("<simulation>true</simulation>" with an "mdl", or
  // "<simulation>once</simulation>"). 1 for a bad group or device type.
  EOSSTS RegisterDevicesForProbe(const char* a_szDeviceList, const char* a_szSimulation);
  // Fills the online records afresh: 0 a feeder unit was selected, 6 none,
  // 1 the attached devices could not be listed.
  EOSSTS Probe();

  // Walks; null ends them.
  OsUsbInfo* GetFirstFilter();
  OsUsbInfo* GetNextFilter();
  OsUsbInfo* GetFirstOnline();
  OsUsbInfo* GetNextOnline();
  // The online records, with the selected record in place of the first
  // feeder unit.
  OsUsbInfo* GetFirst();
  OsUsbInfo* GetNext();
  OsUsbInfo* GetSelected() { return &m_osusbinfoSelected; }
  bool IsSimulation() const { return m_blSimulation; }
  EOSSTS Online() { return OS_STS_SUCCESS; }
  int GetFilterCount() const { return m_iFilters; }
  int GetOnlineCount() const { return m_iOnline; }

  // The grammar; its handlers are the trampolines below.
  static const char s_szGrammar[];

  static EOSSTS COsUsbProbe_EnterDevicelist(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbProbe_ExitDevicelist(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbProbe_EnterDevicelistDevice(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbProbe_ExitDevicelistDevice(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbProbe_EnterDevicelistDeviceGroup(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbProbe_EnterDevicelistDeviceDevicetype(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbProbe_EnterDevicelistDeviceModel(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbProbe_EnterDevicelistDeviceDevicefilename(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbProbe_EnterDevicelistDeviceDevicefriendlyname(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbProbe_EnterDevicelistDeviceFlatbedintegrated(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbProbe_EnterDevicelistDeviceUsb(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbProbe_ExitDevicelistDeviceUsb(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbProbe_EnterDevicelistDeviceUsbVid(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbProbe_EnterDevicelistDeviceUsbPid(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbProbe_EnterDevicelistDeviceUsbMfg(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbProbe_EnterDevicelistDeviceUsbMdl(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbProbe_EnterDevicelistDeviceNet(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbProbe_ExitDevicelistDeviceNet(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbProbe_EnterDevicelistDeviceNetVid(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbProbe_EnterDevicelistDeviceNetPid(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbProbe_EnterDevicelistDeviceNetMfg(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbProbe_EnterDevicelistDeviceNetMdl(OsXmlCallback* a_posxmlcallback);
  static EOSSTS COsUsbProbe_EnterDevicelistDeviceNetSocketip4(OsXmlCallback* a_posxmlcallback);

 private:
  // The fields the grammar fills.
  enum class Field { Group, DeviceType, Model, DeviceFileName, FriendlyName, FlatbedIntegrated, Vid, Pid, Mfg, Mdl,
                     SocketIp4 };
  EOSSTS EnterDevice();
  EOSSTS ExitDevice();
  EOSSTS SetWire(uint32_t a_eosusbwire);
  EOSSTS SetField(Field a_field, const char* a_szData);
  EOSSTS ProbeAttached();
  EOSSTS ProbeSimulation();
  // The next online record for an attached device, or null when full.
  OsUsbInfo* AddOnline(const OsUsbInfo& a_osusbinfo, uint64_t a_u64DevId);
  void OrderFeedersFirst();
  EOSSTS Select();

  COsUsb* m_posusb;
  COsUsbPnpList* m_posusbpnplist;
  COpenUsb* m_popenusb = nullptr;
  OsUsbInfo m_aosusbinfoFilter[OS_USB_FILTERS] = {};
  OsUsbInfo m_aosusbinfoOnline[OS_USB_FILTERS] = {};
  OsUsbInfo m_osusbinfoSelected = {};
  OsUsbInfo* m_posusbinfoBuilding = nullptr;  // the filter the walk fills, null past the limit
  bool m_blSimulation = false;
  char m_szSimulationModel[64] = {};  // "*": the first model
  char m_szDeviceFileName[64] = {};
  int m_iFilters = 0;
  int m_iOnline = 0;
  int m_iFilterWalk = 0;
  int m_iOnlineWalk = 0;
  int m_iSelectionWalk = 0;
  bool m_blSelectionStart = false;
};
