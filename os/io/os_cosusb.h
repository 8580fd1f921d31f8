// The USB device service: the records shared by the device list, the probe,
// the device locks and the transfers, and COsUsb, the object through which a
// process reaches one scanner on a USB or network wire.
#pragma once

#include <cstddef>
#include <cstdint>

#include "os_def.h"

// Results of the USB service beyond the common ones.
inline constexpr EOSSTS OS_STS_USB_OFFLINE = static_cast<EOSSTS>(7);    // the device is gone
inline constexpr EOSSTS OS_STS_USB_CANCELLED = static_cast<EOSSTS>(8);  // a cancel ended the request

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

// Request codes of Ioctl; the pipe each uses is in the code table
// (COsUsbIoctl). 20, 21 and 35 to 38 are refused, as is 40 and up.
enum EOSUSBIOCTL : uint32_t {
  OS_USBIOCTL_UNDEFINED = 0,
  OS_USBIOCTL_BULKIN = 1,
  OS_USBIOCTL_BULKOUT = 2,
  OS_USBIOCTL_CONTROL = 3,
  OS_USBIOCTL_IMAGEFRONT = 4,
  OS_USBIOCTL_IMAGEREAR = 5,
  OS_USBIOCTL_INTERRUPT = 6,
  OS_USBIOCTL_CANCELIOBULKIN = 7,
  OS_USBIOCTL_CANCELIOBULKOUT = 8,
  OS_USBIOCTL_CANCELIOCONTROL = 9,
  OS_USBIOCTL_CANCELIOIMAGEFRONT = 10,
  OS_USBIOCTL_CANCELIOIMAGEREAR = 11,
  OS_USBIOCTL_CANCELIOINTERRUPT = 12,
  OS_USBIOCTL_TIMEOUTBULKIN = 13,
  OS_USBIOCTL_TIMEOUTBULKOUT = 14,
  OS_USBIOCTL_TIMEOUTCONTROL = 15,
  OS_USBIOCTL_TIMEOUTIMAGEFRONT = 16,
  OS_USBIOCTL_TIMEOUTIMAGEREAR = 17,
  OS_USBIOCTL_TIMEOUTINTERRUPT = 18,
  OS_USBIOCTL_RESETALL = 19,
  OS_USBIOCTL_SCSIIN = 20,
  OS_USBIOCTL_SCSIOUT = 21,
  OS_USBIOCTL_RETRYBULKIN = 22,
  OS_USBIOCTL_RETRYBULKOUT = 23,
  OS_USBIOCTL_RETRYCONTROL = 24,
  OS_USBIOCTL_RETRYIMAGEFRONT = 25,
  OS_USBIOCTL_RETRYIMAGEREAR = 26,
  OS_USBIOCTL_RETRYINTERRUPT = 27,
  OS_USBIOCTL_GETCHUNKSIZEBULKIN = 28,
  OS_USBIOCTL_GETCHUNKSIZEBULKOUT = 29,
  OS_USBIOCTL_GETCHUNKSIZECONTROL = 30,
  OS_USBIOCTL_GETCHUNKSIZEIMAGEFRONT = 31,
  OS_USBIOCTL_GETCHUNKSIZEIMAGEREAR = 32,
  OS_USBIOCTL_GETCHUNKSIZEINTERRUPT = 33,
  OS_USBIOCTL_SCANBEGIN = 34,
  OS_USBIOCTL_DEVICEINFO = 39,
  OS_USBIOCTL_LAST = 40,
};

// The connection a caller asks for with SetDeviceConnection.
enum EOSUSBCONNECTIONREQUEST : uint32_t {
  OS_USBCONNECTIONREQUEST_CONNECT = 1,
  OS_USBCONNECTIONREQUEST_DISCONNECT = 2,
};

// The command of an interrupt request (Ioctl code 6): the interrupt thread
// reads 8-byte payloads into the buffer and hands each to the kind-1
// callback of pipe 6.
struct OsUsbInterrupt {
  uint32_t eosusbpipe;  // must be OS_USBPIPE_INTERRUPT
  uint8_t* pu8Payload;
  uint32_t u32Length;   // room of the payload buffer, at least 8
  uint32_t u32Timeout;
  void* pvUser;         // handed to the callback in its record
};

// The entry a simulation library exports as "SimulationCallback": bulk,
// image and control requests of a simulated device go there instead of to
// a device; its result is the request's result.
typedef EOSSTS (*OSUSBSIMULATIONCALLBACK)(uint32_t a_eosusbpipe, const void* a_pvCommand, uint64_t a_u64Command,
                                          void* a_pvData, uint64_t a_u64Data, uint64_t* a_pu64Transferred);

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

class COsFile;
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

  // Loads the USB library (unless the probe description asks for
  // simulation "true"), reads the device list and, in simulation, takes the
  // simulation library's entry. a_u32WireMask: 1 to 15.
  EOSSTS Init(uint32_t a_u32WireMask, const char* a_szDeviceList, const char* a_szProbe, COsFile* a_posfileSimulation);
  // Walks of the attached (or simulated) devices, with an optional model
  // name filter; 0 found, 6 at the end.
  EOSSTS FindFirstConnected(OsUsbFind* a_posusbfind, const char* a_szFilter);
  EOSSTS FindNextConnected(OsUsbFind* a_posusbfind, const char* a_szFilter);
  // Walks of the device list's units and of the probed devices.
  EOSSTS FindFirstConstraint(OsUsbFind* a_posusbfind);
  EOSSTS FindNextConstraint(OsUsbFind* a_posusbfind);
  EOSSTS FindFirstDeviceSelection(OsUsbFind* a_posusbfind);
  EOSSTS FindNextDeviceSelection(OsUsbFind* a_posusbfind);
  // Opens the device the description's handle (an OsUsbFind) names, with
  // its pipes, and takes the device lock.
  EOSSTS OpenAndLock(OsUsbOpen* a_posusbopen);
  // One request; *a_pu64Transferred gets the bytes moved.
  EOSSTS Ioctl(EOSUSBIOCTL a_eosusbioctl, void* a_pvCommand, uint64_t a_u64Command, void* a_pvData,
               uint64_t a_u64Data, uint64_t* a_pu64Transferred);
  EOSSTS SetDeviceConnection(uint32_t a_eosusbconnectionrequest, const char* a_szReason);
  EOSSTS RemoteControl();

  // Reads an "osusbopen" text into the description; 1 for a missing
  // argument, else the XML reader's status.
  static EOSSTS LoadOsUsbOpen(const char* a_szXml, OsUsbOpen* a_posusbopen);

  COsUsbImpl* GetImpl() { return m_posusbimpl; }

 private:
  COsUsbImpl* m_posusbimpl;
};
