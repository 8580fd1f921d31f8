// The USB device service: the records shared by the device list, the probe,
// the device locks and the transfers, and COsUsb, the object through which a
// process reaches one scanner on a USB or network wire.
#pragma once

#include <cstddef>
#include <cstdint>

#include "os_def.h"

// The wire of a device; a wire mask combines them (15 all).
enum EOSUSBWIRE : uint32_t {
  OS_USBWIRE_UNDEFINED = 0,
  OS_USBWIRE_USB = 1,
  OS_USBWIRE_NET = 2,
  OS_USBWIRE_1394 = 4,
  OS_USBWIRE_ALL = 15,
};

enum EOSUSBCONNECTION : uint32_t {
  OS_USBCONNECTION_UNDEFINED = 0,
  OS_USBCONNECTION_CONNECTED = 1,
  OS_USBCONNECTION_DISCONNECTED = 2,
};

enum EOSUSBPIPE : uint32_t {
  OS_USBPIPE_UNDEFINED = 0,
  OS_USBPIPE_BULKIN = 1,
  OS_USBPIPE_BULKOUT = 2,
  OS_USBPIPE_CONTROL = 3,
  OS_USBPIPE_IMAGEFRONT = 4,
  OS_USBPIPE_IMAGEREAR = 5,
  OS_USBPIPE_INTERRUPT = 6,
  OS_USBPIPE_BULKINTERRUPT = 7,
  OS_USBPIPE_LAST = 8,
};

// Flags of a pipe entry of an open description.
enum EOSUSBPIPEFLAGS : uint32_t {
  OS_USBPIPEFLAGS_UNDEFINED = 0,
  OS_USBPIPEFLAGS_PAUSE = 1,
  OS_USBPIPEFLAGS_ALTERNATE = 2,
  OS_USBPIPEFLAGS_MONITORBUTTONEVENTS = 4,
  OS_USBPIPEFLAGS_NOTMONITORBUTTONEVENTS = 8,
  OS_USBPIPEFLAGS_BULKINTERRUPT = 16,
  OS_USBPIPEFLAGS_REMOVEFROMWINDOWS = 32,
  OS_USBPIPEFLAGS_LAST = 33,
};

// Kinds of registered callbacks. 2, 3, 6, 7 and 8 are device-wide; 1, 4
// and 5 belong to a pipe.
enum EOSUSBCALLBACK : uint32_t {
  OS_USBCALLBACK_UNDEFINED = 0,
  OS_USBCALLBACK_INTERRUPT = 1,          // per pipe: an interrupt payload arrived
  OS_USBCALLBACK_CONNECTIONCHANGED = 2,  // device-wide
  OS_USBCALLBACK_DEVICEEVENT = 3,        // device-wide
  OS_USBCALLBACK_PIPEEVENT = 4,          // per pipe
  OS_USBCALLBACK_SIMULATION = 5,         // per pipe: the simulation library's entry
  OS_USBCALLBACK_BUTTONEVENT = 6,        // device-wide
  OS_USBCALLBACK_SESSIONEVENT = 7,       // device-wide
  OS_USBCALLBACK_MONITOREVENT = 8,       // device-wide
  OS_USBCALLBACK_LAST = 9,
};

// Room of the text fields of the device records.
inline constexpr size_t OS_USB_SHORTTEXT = 32;
inline constexpr size_t OS_USB_FRIENDLYNAME = 128;
inline constexpr size_t OS_USB_DEVICEFILENAME = 512;
inline constexpr size_t OS_USB_SOCKETIP4 = 64;
inline constexpr size_t OS_USB_SERIALNUMBER = 64;
inline constexpr size_t OS_USB_1394ID = 256;
// Device lists hold this many filters and a probe as many attached devices.
inline constexpr int OS_USB_FILTERS = 32;
// An open description holds this many pipe entries.
inline constexpr int OS_USB_OPENPIPES = 47;

// Fields of OsUsbInfo that keep their first value (OsUsbInfo::u32Seen).
enum EOSUSBINFOSEEN : uint32_t {
  OS_USBINFOSEEN_DEVICEFILENAME = 1,
  OS_USBINFOSEEN_VID = 2,
  OS_USBINFOSEEN_PID = 4,
  OS_USBINFOSEEN_MFG = 8,
  OS_USBINFOSEEN_MDL = 16,
  OS_USBINFOSEEN_SOCKETIP4 = 32,
};

// One device: a filter of the model's device list, a device found attached,
// or the device a service has open.
struct OsUsbInfo {
  uint32_t eosusbwire;        // EOSUSBWIRE
  uint32_t u32Kind;           // 1 from the device list, 2 found attached
  uint32_t eosusbconnection;  // EOSUSBCONNECTION; changed by other threads
  uint32_t u32Seen;           // EOSUSBINFOSEEN
  bool blSimulation;
  bool blReady;
  bool blFound;  // set by a successful COsUsbPnpList::Find
  char szGroup[OS_USB_SHORTTEXT];       // "models" (the feeder unit) or "flatbed"
  char szDeviceType[OS_USB_SHORTTEXT];  // "adf", "flatbedaccessory", "flatbedintegrated"
  char szModel[OS_USB_SHORTTEXT];
  char szDeviceFileName[OS_USB_DEVICEFILENAME];
  char szDeviceFriendlyName[OS_USB_FRIENDLYNAME];
  char szFlatbedIntegrated[OS_USB_SHORTTEXT];
  char szMfg[OS_USB_SHORTTEXT];
  char szMdl[OS_USB_SHORTTEXT];
  char szSocketIp4[OS_USB_SOCKETIP4];
  char szSerialNumber[OS_USB_SERIALNUMBER];
  char sz1394Id[OS_USB_1394ID];
  uint16_t u16Vid;
  uint16_t u16Pid;
  uint16_t u16Revision;
  uint16_t u16Speed;  // 0x0101 full speed or slower, 0x0200 high, 0x0300 super
  uint64_t u64DevId;  // the USB library's id of the attached device
  uint32_t u32MaxCtrlXfer;
  uint32_t u32MaxBulkXfer;
  uint32_t u32MaxIntrXfer;
  uint32_t u32MaxIsocXfer;
};

// The connection state, read and written by several threads.
inline uint32_t OsUsbInfoGetConnection(const OsUsbInfo* a_posusbinfo) {
  return __atomic_load_n(&a_posusbinfo->eosusbconnection, __ATOMIC_ACQUIRE);
}
inline void OsUsbInfoSetConnection(OsUsbInfo* a_posusbinfo, uint32_t a_eosusbconnection) {
  __atomic_store_n(&a_posusbinfo->eosusbconnection, a_eosusbconnection, __ATOMIC_RELEASE);
}

// A found device as a caller sees it.
struct OsUsbFind {
  uint32_t eosusbwire;
  OsUsbInfo* posusbinfo;  // the service's record of the device
  uint16_t u16Vid;
  uint16_t u16Pid;
  uint16_t u16UsbVersion;  // USB: 768, 512 or 257; 0 on other wires
  uint64_t u64MaxChunkSize;
  char szSocketIp4[OS_USB_SOCKETIP4];
  char sz1394Id[OS_USB_1394ID];
  char szDeviceFriendlyName[OS_USB_FRIENDLYNAME];
  char szModel[OS_USB_SHORTTEXT];
  char szDeviceType[OS_USB_SHORTTEXT];
  char szGroup[OS_USB_SHORTTEXT];
  char szVendor[OS_USB_SHORTTEXT];
  char szProduct[OS_USB_SHORTTEXT];
  char szSerialNumber[OS_USB_SERIALNUMBER];
  char szFlatbedIntegrated[OS_USB_SHORTTEXT];
  uint32_t eosusbconnection;
};

// One pipe of an open description; pipe 0 marks an unused entry.
struct OsUsbOpenPipe {
  uint8_t u8Endpoint;
  uint32_t eosusbpipe;  // EOSUSBPIPE
  uint32_t u32Flags;    // EOSUSBPIPEFLAGS
  char szSocketPort[16];
};

// How to open a found device ("osusbopen" text, COsUsb::LoadOsUsbOpen).
struct OsUsbOpen {
  uint8_t u8Configuration;
  uint8_t u8Interface;
  uint8_t u8Alternate;
  bool blCheckPnp;
  char szSocketIp4[128];
  void* pvHandle;  // the OsUsbFind of the chosen device
  OsUsbOpenPipe aosusbopenpipe[OS_USB_OPENPIPES];
};

// The device lock as the shared device list uses it: Poll compares the list
// only while it holds its owner's device lock.
class COsUsbDeviceLock {
 public:
  virtual ~COsUsbDeviceLock() = default;
  // 0 locked; 4 held by another process; 1 failure.
  virtual EOSSTS Lock(long a_lTimeout) = 0;
  virtual EOSSTS Unlock() = 0;
};

// A registered callback: called with its user argument, or with a record
// (OsUsbCallbackRecord) that carries the user argument.
typedef EOSSTS (*OSUSBCALLBACK)(void* a_pvArg);

// What a kind-1 callback receives from the interrupt thread.
struct OsUsbCallbackRecord {
  uint32_t u32Size;         // 672
  uint32_t eosusbcallback;  // EOSUSBCALLBACK
  uint32_t eosusbpipe;      // EOSUSBPIPE
  uint32_t u32Length;       // payload bytes; 0 in the final record
  void* pvUser;
  uint8_t au8Payload[648];
};
static_assert(sizeof(OsUsbCallbackRecord) == 672);

class COsUsbImpl;

// The device service of one scanner: its entry in the shared device list,
// its device lock between processes, and (see Init, OpenAndLock and Ioctl)
// its transfers.
class COsUsb : public COsUsbDeviceLock {
 public:
  // Enters the device into the shared device list when the configuration
  // text names the friendly name. Throws when the list or the objects
  // cannot be made.
  COsUsb(const char* a_szDeviceConfig, const char* a_szDeviceFileName, const char* a_szDeviceFriendlyName,
         const char* a_szSerialNumber, bool a_blSkipClose);
  ~COsUsb() override;
  COsUsb(const COsUsb&) = delete;
  COsUsb& operator=(const COsUsb&) = delete;

  // The device lock: a_lTimeout ms (-1 without limit, 0 one try); 0 locked,
  // 4 held by another process or object, 1 failure. Counted per object.
  EOSSTS Lock(long a_lTimeout) override;
  EOSSTS Unlock() override;
  int64_t IsLocked();

  EOSSTS IsResourceAvailable(const char* a_szDeviceName);
  EOSSTS PnpAdd(const char* a_szEntry);
  void PnpRemove();
  EOSSTS PnpGetSerialNumbers(char* a_szBuffer, size_t a_sizetBuffer);
  // The flatbed changes of the shared list since the last call ("" none).
  const char* PnpGetChange();

  EOSSTS RegisterCallback(EOSUSBPIPE a_eosusbpipe, EOSUSBCALLBACK a_eosusbcallback, OSUSBCALLBACK a_pfnCallback,
                          void* a_pvUser);
  // The previous time-out of the pipe (ms).
  long SetTimeout(EOSUSBPIPE a_eosusbpipe, long a_lMilliseconds);
  void SetSessionEndFlag();
  void SetDisconnectWontUnlock(bool a_blDisconnectWontUnlock);
  EOSSTS DeviceIsReady();
  void WaitForWia();
  void Close(bool a_blFlag, const char* a_szCaller, long a_lLine);

  // Reads an "osusbopen" text into the description; 1 for a missing
  // argument, else the XML reader's status.
  static EOSSTS LoadOsUsbOpen(const char* a_szXml, OsUsbOpen* a_posusbopen);

  COsUsbImpl* GetImpl() { return m_posusbimpl; }

 private:
  COsUsbImpl* m_posusbimpl;
};
