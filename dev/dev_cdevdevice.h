// The device-manager adapter: the only door between the device engine and
// the scanner. Each scanner unit (feeder, flatbed) is driven by a library
// loaded at run time that exports ScannerEntry, one task text in and one
// reply text out. The adapter builds every task the engine sends to a unit,
// numbers it, sends it, has the reply read by the reply dispatcher into the
// database or another target, and maps the reply's status to EDEVSTS. It
// hands the libraries the entry points through which they call back, keeps
// the device's online status and holds the units' resource lock.
//
// Lock rules (every engine operation keeps them):
// - Order, outermost first: the database lock (db_cdblock.h), the resource
//   mutex, an adapter's builder mutex, the reply dispatcher's mutex. An
//   operation whose reply is dispatched takes the database lock before its
//   builder mutex (the dispatcher takes it for a database target anyway, and
//   the tasks' children read the database).
// - One recursive mutex guards the general builder for the whole build,
//   send and dispatch; the getoutput, imageend, scanend and scanrequeststop
//   builders have a mutex each, and the task id counter is atomic. The scan
//   thread's getoutput and imageend paths take neither the database lock
//   nor the general builder.
// - A task whose reply is not examined is built under the builder mutex and
//   sent from a copy after it is released, holding no lock of the adapter:
//   a library may wait for its own callbacks there, and they call back in.
// - SetDeviceStatus keeps the online flags and the status under one static
//   std::mutex for all adapters, released before it touches the database,
//   the facade or the driver events.
// - Nothing waits under the database lock: interfaceclose (a library joins
//   its callback threads there), dlclose, thread joins and waits for
//   callbacks run inside a CDbLockRelease scope.
// - A library's reply belongs to the library until the next call to that
//   unit: every operation reads it on the calling thread before it returns,
//   and none keeps the pointer.
// - Load and Unload run on the caller's thread while no other operation of
//   the adapter does (the device object's interface open and close); the
//   loaded entries are atomic for the callbacks that test them.
// - The callbacks hold the list of living adapters shared while they run;
//   the destructor takes it alone, outside the database lock, after the
//   units are unloaded. So a callback never makes or deletes an adapter.
//
// Risk, known: a library's ScannerEntry has no time limit (the time-out
// argument plays no part); a library that never returns hangs its caller.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>

#include "db_def.h"
#include "dev_def.h"
#include "dp_target.h"
#include "os_def.h"

class CDatabase;
class CDev;
class CDevData;
class CDispatch;
class COsFile;
class COsXmlTask;

// A unit library's entry: a task text in, its reply text out.
typedef const char* (*PFNSCANNERENTRY)(const char* a_szTask);
// A callback handed to a library.
typedef EOSSTS (*PFNDEVCALLBACK)(void* a_pvArgument);

// The adapter's task builders.
enum EDEVBUILDER : int {
  DEV_BUILDER_GENERAL = 0,  // every task not listed below
  DEV_BUILDER_GETOUTPUT = 1,
  DEV_BUILDER_IMAGEEND = 2,
  DEV_BUILDER_SCANEND = 3,
  DEV_BUILDER_SCANREQUESTSTOP = 4,
  DEV_BUILDER_COUNT = 5,
};

// The device status the adapter keeps.
enum EDEVONLINE : long {
  DEV_ONLINE_OFFLINE = 1,
  DEV_ONLINE_ONLINE = 2,
};

class CDevDevice {
 public:
  // Either argument null: logged, and the adapter stays empty (every
  // operation then fails).
  CDevDevice(CDatabase* a_pdatabase, CDev* a_pdev);
  // Units still loaded are unloaded first: a library must not call back
  // into a deleted adapter.
  ~CDevDevice();
  CDevDevice(const CDevDevice&) = delete;
  CDevDevice& operator=(const CDevDevice&) = delete;

  // Accessors.
  CDatabase* GetDatabase() const { return m_pdatabase; }
  CDev* GetDevice() const { return m_pdev; }
  // The loaded units: 0 none, 1 feeder, 2 flatbed, 3 both.
  EDBID_FIRMWARE GetFirmware() const;
  // 2 while the device is online, 3 otherwise.
  long GetDeviceStatus() const;
  void WIAMode(EDEVWIAMODE a_edevwiamode) { m_edevwiamode.store(a_edevwiamode); }
  // The model's lamp warm-up time in milliseconds.
  long GetLampWarmupTimeout();
  // Forwards to the session's message procedure, when there is one.
  void MessageProc(EDEVDLG a_edevdlg, EDEVMSG a_edevmsg, char* a_szText, long a_lValue);
  void SetAllowResourceLock(bool a_blAllow);

  // Loading the units' libraries: 0 loaded (or already loaded by this
  // adapter), 1 failed, 3 the flatbed library is already loaded by someone
  // else in this process (with a_blCheckLoaded).
  EDEVSTS Load(EDBID_FIRMWARE a_edbidfirmware, bool a_blCheckLoaded);
  // Ends the unit's session, closes its interface, then frees its library.
  EDEVSTS Unload(EDBID_FIRMWARE a_edbidfirmware, CDevData* a_pdevdata);

  // The round trip. The task gets the next id; the reply (null when the
  // unit is not loaded: nothing is sent) is the library's, valid until the
  // next call to that unit.
  const char* ScannerEntry(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask, long a_lTimeout);
  // The reply's status as EDEVSTS; 1 for a null reply or one that cannot
  // be read.
  EDEVSTS Dispatch(const char* a_szReply, const DevDispatchTarget& a_devdispatchtarget, bool a_blInterfaceOpen,
                   EDBID_FIRMWARE a_edbidfirmware);
  static EDEVSTS MapReply(EDEVREPLY a_edevreply);

  // Interface and session tasks whose reply is not examined.
  EDEVSTS InterfaceClose(EDBID_FIRMWARE a_edbidfirmware);
  EDEVSTS SessionEnd(EDBID_FIRMWARE a_edbidfirmware, CDevData* a_pdevdata);
  EDEVSTS SessionBounce();

  // Callbacks and status.
  EDEVSTS RegisterCallback(EDBID_FIRMWARE a_edbidfirmware, const char* a_szName, PFNDEVCALLBACK a_pfnCallback,
                           void* a_pvArgument);
  EDEVSTS NotifyDeviceStatusDeviceOnline(EDBID_FIRMWARE a_edbidfirmware, bool a_blOnline);
  EDEVSTS SetDeviceStatus(EDBID_FIRMWARE a_edbidfirmware, long a_lOnline);

  // The units' resource lock: locking goes feeder first, unlocking flatbed
  // first.
  EDEVSTS ResourceLock();
  EDEVSTS ResourceUnlock();
  EDEVSTS ResourceBegin(bool a_blDisconnectWontUnlock);
  EDEVSTS ResourceEnd();

  // Operator panel, meters, cartridge.
  EDEVSTS SetOcpButtons(EDBID_FIRMWARE a_edbidfirmware, const char* a_szButtons);
  EDEVSTS GetOcpButton(EDBID_FIRMWARE a_edbidfirmware);
  EDEVSTS SetConsumableMeter(const char* a_szSetconsumablemeter);
  EDEVSTS ResetConsumableMeter(const char* a_szResetconsumablemeter);
  // The reportconsumablemeters content, in tracked memory the caller frees
  // (OsMemFree); null on failure.
  EDEVSTS GetConsumableMeters(char** a_ppszConsumableMeters);
  EDEVSTS GetCartridgeDetected();

  // Logs.
  EDEVSTS GetLog(DeviceLog* a_pdevicelog);
  EDEVSTS GetDebugLog(DeviceLog* a_pdevicelog);
  EDEVSTS ClearLog(const char* a_szLogType);

  // Messages, setup, configuration reads, firmware download.
  EDEVSTS MessageRelay(EDBID_FIRMWARE a_edbidfirmware, const char* a_szMessage);
  EDEVSTS SetupBegin(EDBID_FIRMWARE a_edbidfirmware, bool a_blSetupScan);
  EDEVSTS SetupEnd(EDBID_FIRMWARE a_edbidfirmware, bool a_blCancel);
  EDEVSTS GetConfig(EDBID_FIRMWARE a_edbidfirmware, EDBID a_edbid);
  // Sends the caller's finished task (it gets the next id).
  EDEVSTS GetConfig(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask);
  EDEVSTS DownloadBegin(EDBID_FIRMWARE a_edbidfirmware, const char* a_szFilename, unsigned int a_uSize);
  EDEVSTS DownloadRun(EDBID_FIRMWARE a_edbidfirmware);
  EDEVSTS DownloadEnd(EDBID_FIRMWARE a_edbidfirmware);

  // Entry points handed to the libraries; each takes a callback message
  // naming the callback and this adapter ("userargumentptr"). A message
  // that names no living adapter (a library calling after its interface
  // closed) is logged and ignored; an adapter is deleted only once the
  // callbacks running on it have returned.
  static EOSSTS CallBackSetDeviceStatusAdf(void* a_pvArg);
  static EOSSTS CallBackSetDeviceStatusFlatbed(void* a_pvArg);
  static EOSSTS CallBackPnpChange(void* a_pvArg);

 private:
  // Writes a task's children into the builder.
  using DevChildren = std::function<void(COsXmlTask&)>;
  // Reads a reply before it is dispatched; false fails the operation.
  using DevReplyReader = std::function<bool(const char*)>;

  bool IsEmpty(const char* a_szOperation) const;
  // Builds one command on the general builder (the mutex held).
  bool Build(const char* a_szCommand, const DevChildren& a_devchildren);
  // One task whose reply is dispatched against the target.
  EDEVSTS Exchange(EDBID_FIRMWARE a_edbidfirmware, const char* a_szCommand, const DevChildren& a_devchildren,
                   const DevDispatchTarget& a_devdispatchtarget, const DevReplyReader& a_devreplyreader = nullptr);
  // One task whose reply is not examined; skipped when the unit is not
  // loaded.
  EDEVSTS Tell(EDBID_FIRMWARE a_edbidfirmware, const char* a_szCommand, const DevChildren& a_devchildren = nullptr);
  // The two halves of the round trip.
  PFNSCANNERENTRY Entry(EDBID_FIRMWARE a_edbidfirmware) const;
  void Stamp(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask);
  const char* Call(EDBID_FIRMWARE a_edbidfirmware, PFNSCANNERENTRY a_pfnscannerentry, const char* a_szTask);
  EDEVSTS Lock(const char* a_szLock, const char* a_szUndo, const DevChildren& a_devchildren);
  EDEVSTS Meter(const char* a_szCommand, const char* a_szMeter, const char* a_szNull);
  EDBID_FIRMWARE CurrentFirmware();
  void Free(EDBID_FIRMWARE a_edbidfirmware);
  // A connectionchange message for a unit.
  static EOSSTS ConnectionChange(void* a_pvArg, EDBID_FIRMWARE a_edbidfirmware);
  // The adapters alive in the process, which the callbacks look up.
  static void Enlist(CDevDevice* a_pdevdevice);
  static void Delist(CDevDevice* a_pdevdevice);

  CDatabase* m_pdatabase = nullptr;
  CDev* m_pdev = nullptr;
  COsXmlTask* m_aposxmltask[DEV_BUILDER_COUNT] = {};
  CDispatch* m_pdispatch = nullptr;
  COsFile* m_posfileAdf = nullptr;
  COsFile* m_posfileFlatbed = nullptr;
  std::atomic<PFNSCANNERENTRY> m_pfnScannerEntryAdf{nullptr};
  std::atomic<PFNSCANNERENTRY> m_pfnScannerEntryFlatbed{nullptr};
  long m_lOnlineAdf = 0;  // the units' online flags, under the status mutex
  long m_lOnlineFlatbed = 0;
  std::atomic<PFNDEVMESSAGEMANAGER> m_pfnMessageProc{nullptr};
  std::atomic<EDEVWIAMODE> m_edevwiamode{DEV_WIAMODE_NONE};
  std::atomic<bool> m_blSessionOpenAdf{false};
  std::atomic<bool> m_blSessionOpenFlatbed{false};
  std::atomic<bool> m_blResourceBegun{false};
  std::atomic<long> m_lDeviceStatus{DEV_ONLINE_ONLINE};
  char m_szTagToAdf[20] = {};
  char m_szTagToFlatbed[20] = {};
  char m_szTagFromAdf[20] = {};
  char m_szTagFromFlatbed[20] = {};
  std::atomic<long> m_lTaskId{0};
  std::atomic<bool> m_blAllowResourceLock{false};

  std::recursive_mutex m_mutexGeneral;
  std::mutex m_mutexGetOutput;
  std::mutex m_mutexImageEnd;
  std::mutex m_mutexScanEnd;
  std::mutex m_mutexScanRequestStop;
  std::mutex m_mutexResource;
};
