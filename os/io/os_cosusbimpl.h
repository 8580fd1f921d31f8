// The state behind COsUsb: the device record, the device lock (a one-byte
// lock on a per-device lock file, counted per object), the shared device
// list and the probe, the registered callbacks and time-outs, the session
// flags and the close path.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <shared_mutex>

#include "os_cosfile.h"
#include "os_cosusb.h"
#include "os_openusb.h"

class COpenUsb;
class COsSync;
class COsThread;
class COsUsbChannel;
class COsUsbPnpList;
class COsUsbProbe;

class COsUsbImpl {
 public:
  COsUsbImpl(COsUsb* a_posusb, const char* a_szDeviceConfig, const char* a_szDeviceFileName,
             const char* a_szDeviceFriendlyName, const char* a_szSerialNumber, bool a_blSkipClose);
  ~COsUsbImpl();
  COsUsbImpl(const COsUsbImpl&) = delete;
  COsUsbImpl& operator=(const COsUsbImpl&) = delete;

  EOSSTS Lock(long a_lTimeout);
  EOSSTS Unlock(bool a_blForce);
  int64_t IsLocked();
  EOSSTS IsResourceAvailable(const char* a_szDeviceName);
  EOSSTS PnpAdd(const char* a_szEntry);
  void PnpRemove();
  EOSSTS PnpGetSerialNumbers(char* a_szBuffer, size_t a_sizetBuffer);
  const char* PnpGetChange();
  EOSSTS RegisterCallback(EOSUSBPIPE a_eosusbpipe, EOSUSBCALLBACK a_eosusbcallback, OSUSBCALLBACK a_pfnCallback,
                          void* a_pvUser);
  long SetTimeout(EOSUSBPIPE a_eosusbpipe, long a_lMilliseconds);
  void SetSessionEndFlag();
  void SetDisconnectWontUnlock(bool a_blDisconnectWontUnlock);
  EOSSTS DeviceIsReady();
  void Close(bool a_blFlag, const char* a_szCaller, long a_lLine);

  EOSSTS Init(uint32_t a_u32WireMask, const char* a_szDeviceList, const char* a_szProbe, COsFile* a_posfileSimulation);
  EOSSTS FindFirst(OsUsbFind* a_posusbfind, const char* a_szFilter);
  EOSSTS FindNext(OsUsbFind* a_posusbfind, const char* a_szFilter);
  EOSSTS FindConstraint(OsUsbFind* a_posusbfind, bool a_blFirst);
  EOSSTS FindDeviceSelection(OsUsbFind* a_posusbfind, bool a_blFirst);
  EOSSTS OpenAndLock(OsUsbOpen* a_posusbopen);
  EOSSTS Ioctl(EOSUSBIOCTL a_eosusbioctl, void* a_pvCommand, uint64_t a_u64Command, void* a_pvData,
               uint64_t a_u64Data, uint64_t* a_pu64Transferred);
  EOSSTS SetDeviceConnection(uint32_t a_eosusbconnectionrequest, const char* a_szReason);
  // The connection last asked for (0: none) and its reason, as the device
  // monitor takes them when its event wakes it.
  uint32_t GetConnectionRequest(char* a_szReason, size_t a_sizetReason);
  EOSSTS RemoteControl() { return OS_STS_SUCCESS; }
  // The largest request of a wire (reuse: the value computed last).
  uint64_t CalculateMaxChunkSize(uint32_t a_eosusbwire, bool a_blReuse);
  // The same for a wire, a speed and whether both image pipes are open.
  static uint64_t MaxChunkSizeOf(uint32_t a_eosusbwire, uint16_t a_u16Speed, bool a_blImagePipes);
  bool Is16KLimit() const { return m_blIs16KLimit; }

  // A USB string descriptor as 8-bit text: the low byte of each 16-bit
  // unit, "?" for one beyond 8 bits; 3 without a descriptor or buffer.
  static EOSSTS StringDescriptorToText(const uint8_t* a_pu8Descriptor, char* a_szText, size_t a_sizetText);

  // A registered callback (null when none).
  struct Callback {
    OSUSBCALLBACK pfn = nullptr;
    void* pvUser = nullptr;
  };
  Callback GetCallback(EOSUSBPIPE a_eosusbpipe, EOSUSBCALLBACK a_eosusbcallback);

  // The device record the service works on; null before Init.
  OsUsbInfo* GetDeviceRecord() { return m_posusbinfo; }
  COsUsbPnpList* GetPnpList() { return m_posusbpnplist; }
  COsUsbProbe* GetProbe() { return m_posusbprobe; }
  bool IsClosing();
  // The lock file's path ("%04x%04x%s.lock" in "usb" under CommonDirectory).
  bool LockFilePath(char* a_szPath, size_t a_sizetPath);

  // For tests until a device is found and opened by the service itself:
  // the device record, the USB library table (handed over) and the handle
  // of an open device (0 for none).
  void UseDevice(const OsUsbInfo& a_osusbinfo, COpenUsb* a_popenusb, openusb_dev_handle_t a_openusbdevhandle);

  // Limits of the long waits, so tests stay short; a negative value
  // restores the default. The pause between two tries of a timed device
  // lock (250 ms); the tries to read a device's descriptor after it is
  // attached (300, 100 ms apart); the stop of the interrupt thread (70 s);
  // the steps of the interrupt thread while its device is off line (500 ms);
  // the time a transfer is given beyond its pipe's time-out (5 s).
  static void SetLockRetryInterval(long a_lMilliseconds);
  static void SetAttachRetry(long a_lCount, long a_lMilliseconds);
  static void SetThreadStopLimit(long a_lMilliseconds);
  static void SetOfflineStep(long a_lMilliseconds);
  static void SetTransferMargin(long a_lMilliseconds);
  // The kernel version as the configuration reports it (2.6.32 gives
  // 2063200); a negative value asks the system again.
  static void SetKernelVersion(long a_lVersion);

  static std::atomic<long> s_lAttachRetryCount;
  static std::atomic<long> s_lAttachRetryMs;
  static std::atomic<long> s_lThreadStopLimit;
  static std::atomic<long> s_lOfflineStep;
  static std::atomic<long> s_lTransferMargin;
  static std::atomic<long> s_lKernelVersion;

 private:
  friend class COsUsb;

  void BuildPnpEntry(const char* a_szDeviceConfig, const char* a_szDeviceFileName, const char* a_szDeviceFriendlyName,
                     const char* a_szSerialNumber, char* a_szEntry, size_t a_sizetEntry);
  // The caller holds m_mutexLock.
  EOSSTS LockFileOpen();
  EOSSTS LockFileTake(long a_lTimeout, std::unique_lock<std::mutex>& a_lock);
  void MarkerOpen();
  EOSSTS UnlockLocked(bool a_blForce);
  void LockFileClose();
  bool IsConnected();
  bool ClearClosing();

  // One pipe's transfers: its own completion event, byte count, status and
  // cancel flag, and the request the USB library holds.
  struct PipeIo {
    COsSync* possync = nullptr;
    openusb_request_handle request{};
    openusb_bulk_request bulk{};
    openusb_intr_request intr{};
    openusb_ctrl_request ctrl{};
    std::atomic<uint32_t> u32Done{0};
    std::atomic<int32_t> i32Status{0};
    std::atomic<bool> blCancel{false};
    std::mutex mutexPending;  // guards blPending against an abort
    bool blPending = false;
    uint8_t u8Endpoint = 0;
    openusb_transfer_type type = OPENUSB_TRANSFER_TYPE_BULK;
    bool blBound = false;
    std::atomic<int64_t> i64Retry{0};
    COsUsbChannel* poschannel = nullptr;  // network units
    std::atomic<bool> blBusy{false};      // a caller's request holds the pipe
  };

  // A caller's request holds its pipe from start to end: the fields above
  // serve one request at a time. A request that finds the pipe held is
  // refused (4) and leaves the one under way alone.
  class PipeClaim {
   public:
    PipeClaim(PipeIo& a_pipeio, uint32_t a_eosusbpipe);
    ~PipeClaim();
    PipeClaim(const PipeClaim&) = delete;
    PipeClaim& operator=(const PipeClaim&) = delete;
    bool Held() const { return m_blHeld; }

   private:
    PipeIo& m_pipeio;
    bool m_blHeld;
  };

  // Finding.
  EOSSTS FindFrom(OsUsbInfo* a_posusbinfo, bool a_blFirst, OsUsbFind* a_posusbfind, const char* a_szFilter);
  bool FindAllowed(OsUsbFind* a_posusbfind, bool a_blSelects);
  EOSSTS FindWalk(OsUsbFind* a_posusbfind, OsUsbInfo* (COsUsbProbe::*a_pfnStep)());
  void FillFind(OsUsbInfo* a_posusbinfo, OsUsbFind* a_posusbfind);
  void ReadDeviceDetails(OsUsbInfo* a_posusbinfo);
  // Opening.
  EOSSTS OpenUsb(OsUsbFind* a_posusbfind);
  EOSSTS OpenSimulated();
  EOSSTS OpenSockets();
  EOSSTS OpenSocketPipes(bool a_blSetTimeouts);
  void CloseSocketPipes();
  EOSSTS Reconnect();
  EOSSTS SocketTransfer(EOSUSBIOCTL a_eosusbioctl, uint32_t a_eosusbpipe, void* a_pvData, uint64_t a_u64Data,
                        uint64_t* a_pu64Transferred);
  void DropPipes();
  EOSSTS CheckDescriptors(uint8_t* a_pu8Endpoints);
  EOSSTS BindEndpoints(uint8_t a_u8Endpoints);
  void DumpOpen();
  const OsUsbOpenPipe* FindPipe(uint32_t a_eosusbpipe);
  EOSSTS ResetPipes();
  EOSSTS OpenPipeEvents();
  void ClosePipeEvents();
  // Requests.
  EOSSTS IoctlUsb(EOSUSBIOCTL a_eosusbioctl, void* a_pvCommand, uint64_t a_u64Command, void* a_pvData,
                  uint64_t a_u64Data, uint64_t* a_pu64Transferred);
  EOSSTS IoctlSocket(EOSUSBIOCTL a_eosusbioctl, void* a_pvCommand, uint64_t a_u64Command, void* a_pvData,
                     uint64_t a_u64Data, uint64_t* a_pu64Transferred);
  EOSSTS IoctlCommon(EOSUSBIOCTL a_eosusbioctl, void* a_pvCommand, uint64_t a_u64Command, void* a_pvData,
                     uint64_t a_u64Data, uint64_t* a_pu64Transferred, bool* a_pblHandled);
  EOSSTS Control(void* a_pvCommand, uint64_t a_u64Command, void* a_pvData, uint64_t a_u64Data,
                 uint64_t* a_pu64Transferred);
  EOSSTS Simulate(uint32_t a_eosusbioctl, void* a_pvCommand, uint64_t a_u64Command, void* a_pvData, uint64_t a_u64Data,
                  uint64_t* a_pu64Transferred);
  EOSSTS Transfer(uint32_t a_eosusbpipe, uint8_t* a_pu8Data, uint64_t a_u64Data, uint64_t* a_pu64Transferred);
  EOSSTS TransferChunk(PipeIo& a_pipeio, uint8_t* a_pu8Data, uint32_t a_u32Chunk, long a_lTimeout);
  EOSSTS Cancel(uint32_t a_eosusbpipe);
  EOSSTS CancelInterrupt();
  EOSSTS DeviceInfo(void* a_pvData, uint64_t a_u64Data, uint64_t* a_pu64Transferred);
  EOSSTS Completion(int32_t a_i32Status);
  void LogBytes(const char* a_szTag, const void* a_pv, uint64_t a_u64Size, const char* a_szWhat);
  static int32_t TransferDone(openusb_request_handle_t a_request);
  // Device events and connection changes.
  static int32_t DeviceEvent(openusb_handle_t a_handle, openusb_devid_t a_devid, openusb_event a_event, void* a_pvArg);
  void HandleDeviceEvent(openusb_devid_t a_devid, openusb_event a_event);
  void Attached(openusb_devid_t a_devid);
  // Ends the delivery of device events: none is taken up after this, and
  // one under way on the library's thread has ended when it returns.
  void StopDeviceEvents();
  EOSSTS OsUsbSetConnection(uint32_t a_eosusbconnection);
  EOSSTS InvokeCallback(EOSUSBPIPE a_eosusbpipe, EOSUSBCALLBACK a_eosusbcallback, OsUsbCallbackRecord* a_precord);
  // The interrupt thread.
  static void* InterruptThread(void* a_pvThread);
  void InterruptLoop(COsThread* a_posthread);
  EOSSTS InterruptRead(uint8_t* a_pu8Payload, int32_t* a_pi32Status);
  bool InterruptStopping(COsThread* a_posthread);
  void StopInterruptThread();

  COsUsb* m_posusb;
  // The open device: a handle of the USB library while one is open.
  openusb_dev_handle_t m_openusbdevhandle = 0;
  bool m_blOpen = false;
  bool m_blInterfaceClaimed = false;
  uint8_t m_u8Configuration = 0;
  uint8_t m_u8Interface = 0;
  uint32_t m_u32WireMask = OS_USBWIRE_ALL;
  OsUsbInfo* m_posusbinfo = nullptr;
  std::atomic<long> m_alTimeout[OS_USBPIPE_LAST + 1] = {};
  bool m_blSkipClose;
  std::atomic<bool> m_blSessionEnd{false};
  std::atomic<bool> m_blDisconnectWontUnlock{false};
  bool m_blDebug = false;  // PMX_DEBUGUSB starts with "1"

  // The device lock: the lock file, the debug marker and the count, under
  // one mutex.
  std::mutex m_mutexLock;
  COsFile* m_posfileLock = nullptr;
  COsFile* m_posfileMarker = nullptr;
  int64_t m_i64LockCount = 0;

  std::mutex m_mutexCallbacks;
  Callback m_acallbackDevice[OS_USBCALLBACK_LAST] = {};
  Callback m_acallbackPipe[OS_USBPIPE_LAST][OS_USBCALLBACK_LAST] = {};

  COsUsbPnpList* m_posusbpnplist = nullptr;
  COsUsbProbe* m_posusbprobe = nullptr;
  COpenUsb* m_popenusb = nullptr;
  char* m_szDeviceList = nullptr;
  COsThread* m_posthreadInterrupt = nullptr;
  COsThread* m_posthreadMonitor = nullptr;
  void volatile* m_pvClosing = nullptr;  // spin word of the closing flag
  bool m_blClosing = false;
  char m_szPnpChange[65536] = {};

  // Transfers.
  OsUsbOpen m_osusbopen{};
  PipeIo m_apipeio[OS_USBPIPE_LAST];
  uint64_t m_u64MaxChunkSize = 0;
  bool m_blIs16KLimit = true;
  bool m_blInitialised = false;
  bool m_blDisableOsUsbSetConnection = false;
  std::mutex m_mutexConnection;  // one connection change at a time
  // Device events are wanted (from the open to the close) and how many are
  // being handled on the library's thread.
  std::atomic<bool> m_blDeviceEvents{false};
  std::atomic<int> m_iDeviceEventsUnderWay{0};
  std::atomic<int64_t> m_i64LastActivity{0};
  char m_szConnectionReason[64] = {};
  uint32_t m_u32ConnectionRequest = 0;
  // The connections of a network unit: a transfer holds the lock shared,
  // a reconnection alone.
  std::shared_mutex m_sharedmutexSockets;
  // Where the find walk stands.
  bool m_blFound = false;
  // The interrupt thread's request and its state.
  std::mutex m_mutexInterrupt;
  OsUsbInterrupt m_osusbinterrupt{};
  bool m_blInterruptRequest = false;
  std::atomic<bool> m_blInterruptRunning{false};
  COsSync* m_possyncInterruptCancelled = nullptr;
};
