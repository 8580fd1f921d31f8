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
// - Order, outermost first: the complete-open mutex, the database lock
//   (db_cdblock.h), the resource or the diagnostic mutex, an adapter's
//   builder mutex, the reply dispatcher's mutex. An operation whose reply is
//   dispatched takes the database lock before its builder mutex (the
//   dispatcher takes it for a database target anyway, and the tasks'
//   children read the database).
// - CompleteOpen runs on a library's callback thread as well as the
//   caller's: it gives the database lock up for its whole run, waits for the
//   flatbed and takes the complete-open mutex without it, and takes it again
//   for each task it sends. The open-complete callback it calls runs after
//   the mutex is released (that callback may begin another unit's session,
//   which completes through here).
// - Each builder has a recursive mutex held for its whole build, send and
//   dispatch (the general builder's may be entered again by a database
//   callback that asks the scanner), and the task id counter is atomic. The
//   scan thread's getoutput and imageend paths take neither the database
//   lock nor the general builder.
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
  DEV_BUILDER_CALIBRATERUN = 5,  // sent with the database lock given up
  DEV_BUILDER_COUNT = 6,
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
  // Ends the unit's session, closes its interface, then frees its library;
  // the scanner's first refusal of those tasks (the library goes all the
  // same).
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

  // Opening: the unit's interface, with the debug and simulation settings
  // of the database; its session (completed at once, or later through the
  // open-complete entry point when the WIA mode or "monitorbuttonevents"
  // asks for button events: 19 then); the completion (versions, support,
  // callbacks, and the model's report inquiry once every loaded unit is
  // online), which calls the open-complete callback when called back.
  EDEVSTS InterfaceOpen(EDBID_FIRMWARE a_edbidfirmware);
  EDEVSTS SessionBegin(PFNDEVMESSAGEMANAGER a_pfnMessageProc, EDBID_FIRMWARE a_edbidfirmware,
                       PFNDEVCALLBACK a_pfnOpenComplete, void* a_pvOpenComplete);
  EDEVSTS CompleteOpen(bool a_blFromCallback, EDBID_FIRMWARE a_edbidfirmware);

  // Interface and session tasks: only their replies' status words are
  // read, the first refusal answered (every unit is told all the same).
  EDEVSTS InterfaceClose(EDBID_FIRMWARE a_edbidfirmware);
  EDEVSTS SessionEnd(EDBID_FIRMWARE a_edbidfirmware, CDevData* a_pdevdata);
  EDEVSTS SessionBounce();

  // Callbacks and status.
  EDEVSTS RegisterCallback(EDBID_FIRMWARE a_edbidfirmware, const char* a_szName, PFNDEVCALLBACK a_pfnCallback,
                           void* a_pvArgument);
  EDEVSTS NotifyDeviceStatusDeviceOnline(EDBID_FIRMWARE a_edbidfirmware, bool a_blOnline);
  EDEVSTS SetDeviceStatus(EDBID_FIRMWARE a_edbidfirmware, long a_lOnline);
  // The status of the feeder alone, once the flatbed is unloaded (a
  // flatbed gone off line no longer counts).
  EDEVSTS RefreshDeviceStatus();

  // The units' resource lock: locking goes feeder first, unlocking flatbed
  // first.
  EDEVSTS ResourceLock();
  EDEVSTS ResourceUnlock();
  EDEVSTS ResourceBegin(bool a_blDisconnectWontUnlock);
  EDEVSTS ResourceEnd();

  // Scans. ScanBegin answered 0 or 14 (lamps warming up) has begun the
  // scan; ScanEnd sends nothing unless it has (or a_blForce), and with
  // a_blNoReply always sends and ignores the answer.
  EDEVSTS ScanBegin(EDBID_FIRMWARE a_edbidfirmware, long a_lImageBufferCount, bool a_blNotificationOnly);
  EDEVSTS ScanEnd(EDBID_FIRMWARE a_edbidfirmware, bool a_blForce, bool a_blNoReply);
  EDEVSTS ScanRequestStop(EDBID_FIRMWARE a_edbidfirmware);
  // The next image: its reply's body into the buffer of a_sizetOutput
  // bytes and the status word as EDEVSTS. A body that does not fit answers
  // 1, its image ended at the unit.
  EDEVSTS GetOutput(EDBID_FIRMWARE a_edbidfirmware, char* a_szOutput, size_t a_sizetOutput);
  // Ends an image at the unit: by its file name (empty: nothing sent, 0), or
  // by its tracked memory block (the image file mapped), which records the
  // file name.
  EDEVSTS ImageEnd(EDBID_FIRMWARE a_edbidfirmware, const char* a_szImageFilename);
  EDEVSTS ImageEnd(EDBID_FIRMWARE a_edbidfirmware, const void* a_pvImage);
  // 2 when the feeder holds paper (or the model cannot tell), 1 when not.
  long IsFeederLoaded();

  // A capability's value to the scanner (PAPERSOURCE to the unit that
  // scans, whatever a_edbidfirmware says).
  EDEVSTS SetConfig(EDBID_FIRMWARE a_edbidfirmware, EDBID a_edbid);

  // Diagnostics: a run of a diagnostic's given value (current unit), of a
  // diagnostic capability's current value, or of a type and value by name
  // (answered as a success without the scanner when the model does not
  // offer the type).
  EDEVSTS DiagnosticBegin(EDBID_FIRMWARE a_edbidfirmware);
  EDEVSTS DiagnosticRun(EDBID a_edbid, long a_lValue);
  EDEVSTS DiagnosticRun(EDBID_FIRMWARE a_edbidfirmware, EDBID a_edbid);
  EDEVSTS DiagnosticRun(const char* a_szType, const char* a_szValue, DeviceLog* a_pdevicelog);
  // The success reply of a diagnostic the scanner does not run: with a log
  // record, naming its (created, empty) data file, in the general builder;
  // null when that file cannot be opened.
  const char* DiagnosticRunUnsupported(DeviceLog* a_pdevicelog);
  EDEVSTS DiagnosticEnd(EDBID_FIRMWARE a_edbidfirmware);

  // Calibration of the current unit, of the current CALIBRATIONTYPE.
  EDEVSTS CalibrateBegin();
  EDEVSTS CalibrateRun();
  EDEVSTS CalibrateReset();
  EDEVSTS CalibrateEnd();

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
  // The open-complete entry points take the adapter itself (checked against
  // the living adapters) and complete the feeder's or the flatbed's open.
  static EOSSTS CompleteOpenCallbackAdf(void* a_pvArg);
  static EOSSTS CompleteOpenCallbackFlatbed(void* a_pvArg);

 private:
  // Writes a task's children into the builder.
  using DevChildren = std::function<void(COsXmlTask&)>;
  // Reads a reply before it is dispatched; false fails the operation.
  using DevReplyReader = std::function<bool(const char*)>;

  bool IsEmpty(const char* a_szOperation) const;
  // Builds one command on the builder (its mutex held).
  bool Build(EDEVBUILDER a_edevbuilder, const char* a_szCommand, const DevChildren& a_devchildren);
  // One task on the general builder whose reply is dispatched against the
  // target, under the database lock.
  EDEVSTS Exchange(EDBID_FIRMWARE a_edbidfirmware, const char* a_szCommand, const DevChildren& a_devchildren,
                   const DevDispatchTarget& a_devdispatchtarget, const DevReplyReader& a_devreplyreader = nullptr);
  // The same on any builder; the caller takes the database lock when the
  // children or the target need it.
  EDEVSTS ExchangeOn(EDEVBUILDER a_edevbuilder, EDBID_FIRMWARE a_edbidfirmware, const char* a_szCommand,
                     const DevChildren& a_devchildren, const DevDispatchTarget& a_devdispatchtarget,
                     const DevReplyReader& a_devreplyreader = nullptr, bool a_blInterfaceOpen = false);
  // One task whose reply is not examined; skipped when the unit is not
  // loaded.
  EDEVSTS Tell(EDBID_FIRMWARE a_edbidfirmware, const char* a_szCommand, const DevChildren& a_devchildren = nullptr);
  EDEVSTS TellOn(EDEVBUILDER a_edevbuilder, EDBID_FIRMWARE a_edbidfirmware, const char* a_szCommand,
                 const DevChildren& a_devchildren = nullptr, EDEVSTS* a_pedevstsWord = nullptr);
  // The same, answering the reply's status word (success when the unit is
  // not loaded or the reply tells none it knows, as Tell did).
  EDEVSTS TellWord(EDBID_FIRMWARE a_edbidfirmware, const char* a_szCommand);
  // A reply's status word as EDEVSTS; success for none.
  static EDEVSTS ReplyWord(const char* a_szReply);
  // The two halves of the round trip.
  PFNSCANNERENTRY Entry(EDBID_FIRMWARE a_edbidfirmware) const;
  void Stamp(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask);
  const char* Call(EDBID_FIRMWARE a_edbidfirmware, PFNSCANNERENTRY a_pfnscannerentry, const char* a_szTask);
  EDEVSTS Lock(const char* a_szLock, const char* a_szUndo, const DevChildren& a_devchildren);
  EDEVSTS Meter(const char* a_szCommand, const char* a_szMeter, const char* a_szNull);
  EDBID_FIRMWARE CurrentFirmware();
  void SetCurrentFirmware(EDBID_FIRMWARE a_edbidfirmware);
  void Free(EDBID_FIRMWARE a_edbidfirmware);
  // Opening (dev_cdevdevice_open.cpp).
  void AddSimulate(COsXmlTask& a_osxmltask, EDBID_FIRMWARE a_edbidfirmware);
  void AddOpenCallback(COsXmlTask& a_osxmltask, EDBID_FIRMWARE a_edbidfirmware);
  void WaitForFlatbed();
  EDEVSTS CompleteOpenLocked(EDBID_FIRMWARE a_edbidfirmware, bool& a_blComplete);
  static EOSSTS CompleteOpenCallback(void* a_pvArg, EDBID_FIRMWARE a_edbidfirmware);
  // A unit's online flag, as the status keeps it.
  long IsOnline(EDBID_FIRMWARE a_edbidfirmware) const;
  // The diagnostic and calibration tasks (dev_cdevdevice_service.cpp).
  EDEVSTS RunDiagnostic(EDBID_FIRMWARE a_edbidfirmware, const char* a_szType, const char* a_szValue,
                        const DevDispatchTarget& a_devdispatchtarget);
  EDEVSTS CalibrateType(const char* a_szCommand, bool a_blBegin);
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
  std::atomic<bool> m_blScanBegun{false};
  std::atomic<bool> m_blScanning{false};
  std::atomic<bool> m_blPaperOutSeen{false};
  // The open-complete callback and its argument, given together.
  PFNDEVCALLBACK m_pfnOpenComplete = nullptr;
  void* m_pvOpenComplete = nullptr;
  std::mutex m_mutexOpenComplete;  // a leaf: only the pair above

  std::recursive_mutex m_amutexBuilder[DEV_BUILDER_COUNT];
  std::mutex m_mutexResource;
  std::mutex m_mutexDiagnostic;
  std::mutex m_mutexCompleteOpen;
};
