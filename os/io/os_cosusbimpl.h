// The state behind COsUsb: the device record, the device lock (a one-byte
// lock on a per-device lock file, counted per object), the shared device
// list and the probe, the registered callbacks and time-outs, the session
// flags and the close path.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "os_cosfile.h"
#include "os_cosusb.h"
#include "os_openusb.h"

class COpenUsb;
class COsThread;
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

  // The pause between two tries of a timed device lock (250 ms); a
  // negative value restores it.
  static void SetLockRetryInterval(long a_lMilliseconds);

 private:
  friend class COsUsb;

  void BuildPnpEntry(const char* a_szDeviceConfig, const char* a_szDeviceFileName, const char* a_szDeviceFriendlyName,
                     const char* a_szSerialNumber, char* a_szEntry, size_t a_sizetEntry);
  // The caller holds m_mutexLock.
  EOSSTS LockFileOpen();
  EOSSTS LockFileTake(long a_lTimeout);
  void MarkerOpen();
  EOSSTS UnlockLocked(bool a_blForce);
  void LockFileClose();
  bool IsConnected();
  bool ClearClosing();

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
};
