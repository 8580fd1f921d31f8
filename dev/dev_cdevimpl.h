// The device object behind the facade: owns everything a device session
// needs (the device-manager and image-library adapters, the device data,
// the four image queues, the worker thread objects, the named driver event,
// the builder that keeps the report inquiry) and the state of the session.
//
// Built here: the object's life, the interface open and close, the status
// words, the last-error text, the message and plug-and-play procedures and
// the accessors; the driver events and the device callbacks
// (dev_cdevimpl_events.cpp, dev_cdevimpl_callback.cpp), the capability
// callbacks (dev_cdevimpl_dbcallback.cpp), the scan counters
// (dev_cdevimpl_counter.cpp), the session's opening and completion
// (dev_cdevimpl_open.cpp, dev_cdevimpl_complete.cpp), the device state
// (dev_cdevimpl_session.cpp) and the settings transfer
// (dev_cdevimpl_setup.cpp, dev_cdevimpl_tasks.cpp), the scan pipeline
// (dev_cdevimpl_scan.cpp ScanBegin, dev_cdevimpl_scanthread.cpp the scan
// thread, dev_cdevimpl_scanstop.cpp the stop and ScanEnd,
// dev_cdevimpl_output.cpp GetOutput and ImageEnd, dev_cdevimpl_blank.cpp
// blank images), the image library's part in a scan
// (dev_cdevimpl_process.cpp), the scan statistics and image dump
// (dev_cdevimpl_statistics.cpp), the feeder state
// (dev_cdevimpl_feeder.cpp), the colour-dropout lists
// (dev_cdevimpl_ecdo.cpp), the report inquiry (dev_cdevimpl_inquiry.cpp),
// calibration and diagnostics (dev_cdevimpl_calibrate.cpp,
// dev_cdevimpl_diagnostic.cpp), the device text and version reports
// (dev_cdevimpl_version.cpp) and the log maintenance (dev_cdevimpl_log.cpp).
//
// Threads: the caller's thread opens and closes the interface and destroys
// the object; the library callbacks, the scan and the worker threads read
// the procedures, the status from the device-status callback, the flags,
// the counters and the last-error text, which are atomic or under a mutex
// of their own. The driver-event table is under one process-wide mutex, a
// leaf lock. The close and the destruction run with the database lock given
// up: they join threads and unload libraries whose callbacks may wait for
// that lock.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "db_def.h"
#include "dev_def.h"
#include "dev_ecdolist.h"
#include "dev_scanstate.h"
#include "os_costhread.h"
#include "os_def.h"

class CDatabase;
class CDbDatum;
class CDev;
class CDevData;
class CDevDevice;
class CDevNexil;
class CDriver;
class CImgQueue;
class COsImage;
class COsSync;
class COsThread;
class COsUsb;
class COsXmlTask;

// Device status as the facade reports it.
enum EDEVDEVICESTATUS : long {
  DEV_DEVICESTATUS_NONE = 0,  // no implementation
  DEV_DEVICESTATUS_ONLINE = 2,
  DEV_DEVICESTATUS_OFFLINE = 3,
};

// The two libraries of a scanner unit that take the attribute tasks.
enum EDEVLIBRARY : int {
  DEV_LIBRARY_DEVICE = 0,  // the device-manager library
  DEV_LIBRARY_NEXIL = 1,   // the image library
  DEV_LIBRARY_COUNT = 2,
};

// The capacities of the four image queues.
constexpr int DEV_QUEUE_APPLICATION = 96;
constexpr int DEV_QUEUE_EXPECTEDIMAGEEND = 96;
constexpr int DEV_QUEUE_IMAGEEND = 96;
constexpr int DEV_QUEUE_DEVICEMANAGERSCANTHREAD = 8;
// The report-inquiry builder's size, and the sizes of the two texts.
constexpr size_t DEV_REPORTINQUIRY_SIZE = 0x10000;
constexpr size_t DEV_EVENTNAME_SIZE = 512;
constexpr size_t DEV_LASTERROR_SIZE = 512;
// The driver-event table: its slots, and the size of a slot's value text
// (with its terminator).
constexpr int DEV_EVENT_SLOTS = 32;
constexpr size_t DEV_EVENT_VALUE_SIZE = 4096;

// One queued driver event; DEV_EVENT_UNDEFINED marks a free slot.
struct DevEventSlot {
  EDEVEVENT edevevent;
  char szValue[DEV_EVENT_VALUE_SIZE];
};

struct DevCapabilityCallback;
struct LogInfo;

// The object's plain state, zero-filled at construction.
struct DevImplPod {
  // Collaborators; the database, the facade and the driver are not owned.
  CDatabase* m_pdatabase;
  CDev* m_pdev;
  CDriver* m_pdriver;
  EOSSTS (*m_pfnStatusCallback)(void*);  // called with the driver
  CDevDevice* m_pdevdevice;
  CDevNexil* m_pdevnexil;  // only while the image library is in use
  CDevData* m_pdevdata;
  COsUsb* m_posusb;
  COsImage* m_posimage;  // only while images are dumped
  // Worker thread objects kept for the session.
  COsThread* m_posthreadCalibrate;
  COsThread* m_posthreadDiagnostic;
  COsThread* m_posthreadOpenDevice;
  // The named driver event and its name.
  COsSync* m_possyncDriverEvent;
  char m_szDriverEventName[DEV_EVENTNAME_SIZE];
  // The last report-inquiry reply.
  COsXmlTask* m_preportinquiry;
  // The four image queues.
  CImgQueue* m_pimgqueueApplication;
  CImgQueue* m_pimgqueueExpectedImageEnd;
  CImgQueue* m_pimgqueueImageEnd;
  CImgQueue* m_pimgqueueDeviceManagerScanThread;
  // Session state.
  EDEVDRIVER m_edevdriver;
  EDBID_FIRMWARE m_edbidfirmware;  // 0 no unit loaded, 1 feeder, 2 flatbed, 3 both
  bool m_blFlatbedSessionBegun;
  EDBID_FIRMWARE m_edbidfirmwareSetup;  // the unit of the last setup, whose replies MakeXmlAll dispatches
  // Calibration (dev_cdevimpl_calibrate.cpp), shared by the caller and the
  // calibrate thread: the status (3 while the thread runs), whether the
  // device's calibrate end was called, and when the lamps are ready
  // (steady-clock milliseconds); whether the device took the last begin.
  std::atomic<EDEVSTS> m_edevstsCalibrate;
  std::atomic<bool> m_blCalibrateEnded;
  std::atomic<bool> m_blCalibrateBegun;
  std::atomic<int64_t> m_i64LampReadyMs;
  // Nested DiagnosticBegin calls (dev_cdevimpl_diagnostic.cpp), under the
  // database lock.
  long m_lDiagnosticBegins;
  COsXmlTask* m_posxmltaskDbMakeXml;  // the database's device-XML builder
  // Scan state set up here: feeder state (1 no paper, 2 paper; refreshed by
  // the caller's and the scan thread: atomic), the counters of the device
  // side and of the image library and the printer index (set by the scan
  // thread, read by the caller's: atomic), the image cache.
  std::atomic<long> m_lFeederState;
  std::atomic<long> m_lDeviceImageCount;
  std::atomic<long> m_lDevicePageCount;
  std::atomic<long> m_lDevicePageImageCount;
  std::atomic<long> m_lDevicePageSideCount;
  std::atomic<long> m_lNexilImageCount;
  std::atomic<long> m_lNexilPageCount;
  std::atomic<long> m_lNexilPageImageCount;
  std::atomic<long> m_lNexilPageSideCount;
  std::atomic<long> m_lPrinterIndex;
  long m_lCacheSize;
};

class CDevImpl {
 public:
  // Without a database (data-only use) the device data is made at once.
  CDevImpl(CDatabase* a_pdatabase, CDev* a_pdev, CDriver* a_pdriver, EOSSTS (*a_pfnCallback)(void*));
  // Ends a scan, stops the worker threads, closes the interface, then frees
  // what the object owns.
  ~CDevImpl();
  CDevImpl(const CDevImpl&) = delete;
  CDevImpl& operator=(const CDevImpl&) = delete;

  // Interface (dev_cdevimpl_interface.cpp). InterfaceOpen answers the
  // status of the first step that failed (the objects made before it stay
  // until destruction); a second open is refused, but for one after a
  // close, which opens the units again and keeps the session's objects.
  EOSSTS InterfaceOpen(EDEVDRIVER a_edevdriver, CDev* a_pdev);
  // The scanner's first refusal of its sessionend or interfaceclose.
  EDEVSTS InterfaceClose();
  EOSSTS NexilInterfaceOpen(EDEVDRIVER a_edevdriver);

  // Status words and the last error.
  static const char* GetLexiconStatus(EDEVSTS a_edevsts);
  // A copy for the calling thread, valid until its next call.
  const char* GetLastErrorText();
  // At most 511 characters are kept; null changes nothing.
  void SetLastErrorText(const char* a_szText);

  // Procedures handed in by the driver.
  void MessageProc(EDEVDLG a_edevdlg, EDEVMSG a_edevmsg, const char* a_szText, long a_lValue,
                   EDEVBUTTONS a_edevbuttons);
  PFNDEVMESSAGEMANAGER GetDeviceMessageProc() const { return m_pfnMessageProc.load(); }
  EOSSTS RegisterPnpchangeProc(EOSSTS (*a_pfnPnpchangeProc)(void*), void* a_pvArgument);
  void PnpChange(const char* a_szText);

  // Accessors.
  EDEVSTS GetDeviceStatusCallback() const { return m_edevstsDeviceStatusCallback.load(); }
  void SetDeviceStatusCallback(EDEVSTS a_edevsts) { m_edevstsDeviceStatusCallback.store(a_edevsts); }
  const char* GetDriverEventName() const { return pod.m_szDriverEventName; }
  void AllowNotifyImageAvailable(bool a_blAllow) { m_blAllowImageAvailable.store(a_blAllow); }
  void SkipSendingEvent(bool a_blSkip) { m_blSkipSendingEvent.store(a_blSkip); }
  bool IsNexilLoaded() const { return m_blNexilActive.load(); }
  const DevImplPod& GetPod() const { return pod; }

  // Opening the session (dev_cdevimpl_open.cpp). SessionBegin: 0 open (or
  // completing later through CompleteOpenCallback), 19 opening on the
  // "OpenDevice" thread, 5 that thread was told to stop, 3 busy, 9 the
  // scanner went off line meanwhile, 1 failure, 15 no device-list entry.
  // The resource lock is forbidden to others while it runs, allowed again
  // on every return.
  EOSSTS SessionBegin(PFNDEVMESSAGEMANAGER a_pfnMessageManager, bool a_blOnThread, COsThread* a_posthread);
  static void* OpenDeviceProc(void* a_pvThread);
  // Runs on the caller's thread, "OpenDevice" or a library's callback
  // thread: the database lock is taken for the database work only.
  void CompleteOpen(bool a_blFromCallback);
  static EOSSTS CompleteOpenCallback(void* a_pvArg);
  EOSSTS NexilSessionBegin();
  // Relays messages between a unit's device manager and its image library
  // until both have nothing more to say; 1 when they never stop.
  EOSSTS MessageRelay(EDBID_FIRMWARE a_edbidfirmware);
  EDEVSTS SessionBounce();
  // Device state (dev_cdevimpl_session.cpp, dev_cdevimpl_setup.cpp).
  EOSSTS ResourceBegin(bool a_blDisconnectWontUnlock);
  EOSSTS ResourceEnd();
  EOSSTS ResourceLock();
  void ResourceUnlock();
  void ResourceRemainLocked(bool a_blRemainLocked);
  void NotifyDeviceStatusDeviceOnline(EDBID_FIRMWARE a_edbidfirmware, bool a_blOnline);
  void NotifyDeviceStatusDeviceOnline(bool a_blOnline);
  EOSSTS SetAttributes(bool a_blDeviceManagerOnly, bool a_blFlatbed);
  EOSSTS SetupBegin(bool a_blSetupScan);
  EOSSTS SetupEnd(bool a_blCancel);
  EOSSTS RegisterCallback(EDBID_FIRMWARE a_edbidfirmware, const char* a_szName, EOSSTS (*a_pfnCallback)(void*),
                          void* a_pvArgument);
  // 2 online, 3 off line (also while no device-manager adapter exists).
  long GetDeviceStatus();
  // The button pressed on the feeder's operator panel ("ocpbutton"), asked
  // under the resource lock; 0 without a feeder or when it cannot be asked.
  long GetOcpButton();
  EOSSTS SetOcpButtons(const char* a_szButtons);
  EOSSTS DownloadBegin(const char* a_szFilename, unsigned int a_uSize);
  EOSSTS DownloadRun();
  EOSSTS DownloadEnd();
  EOSSTS EcdoCustomBegin();
  EOSSTS EcdoCustomEnd();
  EOSSTS GetConsumableMeters(char** a_ppszConsumableMeters);
  EOSSTS SetConsumableMeter(const char* a_szMeter);
  EOSSTS ResetConsumableMeter(const char* a_szMeter);
  EOSSTS GetCartridgeDetected();
  EOSSTS ClearMeters();
  const char* PassThroughNexil(const char* a_szXml);

  // Driver events (dev_cdevimpl_events.cpp). SetDriverEvent answers 0
  // queued or deliberately dropped, 1 refused (an event outside 1..11, a
  // value the event list could not carry, a full table: what is queued
  // stays). GetDriverEvent fills the builder with the queued events (as many
  // as fit it; the rest stay queued, the named event signalled again) and
  // removes them: 0, or 1 with a "fail" task when the table is empty.
  EOSSTS SetDriverEvent(EDEVEVENT a_edevevent, const char* a_szValue);
  EOSSTS GetDriverEvent(COsXmlTask* a_posxmltask);
  EOSSTS UserInput(const char* a_szText);
  EOSSTS ImageQueuePush(bool a_blToApplication, EDEVSTS a_edevsts, const char* a_szText);
  // The events' names as the log writes them, by EDEVEVENT.
  static const char* const s_aszEdevent[DEV_EVENT_LAST + 1];
  // Set by the scan thread when a job ended without paper: the next
  // imageavailable event goes to the driver's status callback instead.
  void SetNoPaperAtEnd(bool a_blNoPaper) { m_blNoPaperAtEnd.store(a_blNoPaper); }
  bool GetNoPaperAtEnd() const { return m_blNoPaperAtEnd.load(); }
  // Set when an imageavailable event is queued; the scan thread clears it.
  bool IsImageAvailableSignalled() const { return m_blImageAvailableSignalled.load(); }
  void SetImageAvailableSignalled(bool a_blSignalled) { m_blImageAvailableSignalled.store(a_blSignalled); }

  // The device managers' callbacks (dev_cdevimpl_callback.cpp), registered
  // as "imageavailable" and "buttonevent" with this object as argument: each
  // takes the callback message. A message that names another callback or no
  // living device object is logged and ignored.
  static EOSSTS CallBackImageAvailable(void* a_pvArg);
  static EOSSTS CallBackButtonEventAdf(void* a_pvArg);
  static EOSSTS CallBackButtonEventFlatbed(void* a_pvArg);

  // The capability callbacks (dev_cdevimpl_dbcallback.cpp): registered with
  // the database, in the order of their table, by the open's completion;
  // taken back when the object goes. The first failed registration's status
  // (the others are made all the same).
  EOSSTS RegisterDatabaseCallbacks();
  // The database's entry: the callback record of a capability's value.
  static EOSSTS CallBackCapability(EDBCALLBACK a_edbcallback, void* a_pvDbCallbackRecord);

  // Scan counters (dev_cdevimpl_counter.cpp).
  long DeviceGetImageCount() const { return pod.m_lDeviceImageCount.load(); }
  long DeviceGetPageCount() const { return pod.m_lDevicePageCount.load(); }
  long DeviceGetPageImageCount() const { return pod.m_lDevicePageImageCount.load(); }
  long DeviceGetPageSideCount() const { return pod.m_lDevicePageSideCount.load(); }
  void DeviceSetImageCount(long a_l) { pod.m_lDeviceImageCount.store(a_l); }
  void DeviceSetPageCount(long a_l) { pod.m_lDevicePageCount.store(a_l); }
  void DeviceSetPageImageCount(long a_l) { pod.m_lDevicePageImageCount.store(a_l); }
  void DeviceSetPageSideCount(long a_l) { pod.m_lDevicePageSideCount.store(a_l); }
  long NexilGetImageCount() const { return pod.m_lNexilImageCount.load(); }
  long NexilGetPageCount() const { return pod.m_lNexilPageCount.load(); }
  long NexilGetPageImageCount() const { return pod.m_lNexilPageImageCount.load(); }
  long NexilGetPageSideCount() const { return pod.m_lNexilPageSideCount.load(); }
  void NexilSetImageCount(long a_l) { pod.m_lNexilImageCount.store(a_l); }
  void NexilSetPageCount(long a_l) { pod.m_lNexilPageCount.store(a_l); }
  void NexilSetPageImageCount(long a_l) { pod.m_lNexilPageImageCount.store(a_l); }
  void NexilSetPageSideCount(long a_l) { pod.m_lNexilPageSideCount.store(a_l); }
  long GetPrinterIndex() const { return pod.m_lPrinterIndex.load(); }
  void SetPrinterIndex(long a_lPrinterIndex) { pod.m_lPrinterIndex.store(a_lPrinterIndex); }
  // The images a scan is expected to deliver; -1 when open-ended.
  long ImageCountCalculate();
  // The stored printer index into PRINTERINDEX; 0 there when it does not
  // fit the capability's digits or range (logged).
  void SetPrinterIndex();

  // Scan and hand-off.
  EOSSTS ScanBegin();
  // With a scan's serial, only that scan is ended (nothing when it is over).
  void ScanEnd(uint64_t a_u64Scan = 0);
  // Each scan begun and each scan ended makes a new serial: a caller that
  // began a scan (the GUI's preview) fetches with the serial ScanBegin gave
  // its thread, and never takes an image of a later scan.
  uint64_t ScanSerial();
  static uint64_t ScanSerialBegun();
  // Wakes the scan thread; nothing when there is none.
  void ScanThreadSetEvent();
  // 2 when the feeder holds paper (or it cannot tell), 1 when not.
  long ScanIsFeederLoaded(bool a_blPreview);
  EOSSTS ScanRequestStop(EDEVSTOPACTION a_edevstopaction);
  bool ScanIsScanning();
  long ScanImageCountRemaining();
  EOSSTS ScanRegisterFirstImageCallback(EOSSTS (*a_pfnCallback)(void*), void* a_pvArgument);
  bool ScanIsDiscardBlankImage();
  // The rounds the last ScanEnd waited past its join limit (tests).
  long ScanEndJoinRounds() const { return m_scanstate.lJoinRounds.load(); }
  long ScanGetOutputImageCount();
  // With a scan's serial: DEV_STS_CANCEL once that scan is over.
  EDEVSTS GetOutput(char* a_szBuffer, int a_iSize, int* a_piImageCount, int* a_piPageCount, int* a_piPageImageCount,
                    uint64_t a_u64Scan = 0);
  EOSSTS ImageEnd(const char* a_szText, bool a_blFromDevice);
  void ScanStatisticsReset();
  const char* ScanStatisticsGetSheetCount();
  const char* ScanStatisticsGetPageCount();
  long ScanStatisticsGetImageCountFromZero();
  // The feeder state refreshed from the device (1 no paper, 2 paper).
  long ScanGetCurrentFeederLoaded();
  EOSSTS ScanThreadSetCommand(EOSTHREADCMD a_eosthreadcmd);
  EOSSTS ScanRegisterImageAvailableCallback(EOSSTS (*a_pfnCallback)(void*), void* a_pvArgument);

  // Calibration and diagnostics (dev_cdevimpl_calibrate.cpp,
  // dev_cdevimpl_diagnostic.cpp). Each but the accessors and GetConfig
  // answers 1 at once while the device is not open and online
  // (DiagnosticGetInputResult 0). CalibrateRun starts "DriverCalibrate",
  // which waits for the lamps, runs the calibration and its end, and leaves
  // its result in the status; CalibrateEnd stops it and waits for it at
  // most DEV_WAIT_CALIBRATEEND. DiagnosticBegin and DiagnosticEnd nest: the
  // outermost pair enters and leaves the mode at the device and starts and
  // stops "FwDiagnostic", which cycles the diagnostics set to "cycle". With
  // a_blSkipState false the begin marks the database's diagnostic state.
  EOSSTS CalibrateBegin();
  EOSSTS CalibrateRun();
  EOSSTS CalibrateEnd();
  EOSSTS CalibrateReset();
  EDEVSTS GetCalibrateStatus();
  void SetCalibrateStatus(EDEVSTS a_edevsts);
  // The device-manager adapter's configuration query; 1 without it.
  EDEVSTS GetConfig(EDBID_FIRMWARE a_edbidfirmware, EDBID a_edbid);
  EOSSTS DiagnosticBegin(bool a_blSkipState);
  EOSSTS DiagnosticRun(const char* a_szCommand, const char* a_szArgument);
  EOSSTS DiagnosticEnd();
  EOSSTS DiagnosticGetInputResult(DeviceLog* a_pdevicelog);

  // ECDO lists (dev_cdevimpl_ecdo.cpp): GetEcdo asks the units for their
  // colour-dropout choices and fills both database lists at once (those
  // that both units offer when there is a flatbed): 0, or 1 when its
  // working lists cannot be allocated (both lists then hold "(none)" only).
  // ParseEcdo reads one getecdo reply: 0, or 1 for a reply that is not a
  // document or does not report success.
  EOSSTS GetEcdo();
  static EOSSTS ParseEcdo(const char* a_szReply, DevEcdoMain* a_pdevecdomain, DevEcdoCustom* a_pdevecdocustom);
  static bool ItemExistsInEcdoList(const char* a_szName, const DevEcdoMain& a_devecdomain);
  static bool ItemExistsInEcdoCustomList(const char* a_szName, const DevEcdoCustom& a_devecdocustom);
  // The model's report inquiry (dev_cdevimpl_inquiry.cpp), built into the
  // inquiry builder from the model configuration and the database.
  void CreateReportInquiry();
  // The text of the last report inquiry; null before the interface opens.
  const char* GetReportInquiry();
  const char* ScannerEntry(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask);
  const char* NexEntry(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask);

  // Log maintenance (dev_cdevimpl_log.cpp). GetLog and SaveLog run with
  // the database lock given up: the device requests take it as every
  // adapter call does, the files are written without it.
  EOSSTS GetLog(DeviceLog* a_pdevicelog, bool a_blSave);
  EOSSTS ClearLog(const char* a_szLogType);
  EOSSTS SaveLog(const char* a_szFilename, const char* a_szText, bool a_blSaveImages, bool a_blSession);
  EOSSTS ResetScanner();
  // Device text and version reports (dev_cdevimpl_version.cpp): log types
  // 6 and 7 (general text), 11 (general XML) and 12 (about text) into the
  // log's text; with a_blSave also into "<LogDirectory>/<name>.log".
  EOSSTS GetVersionInfo(DeviceLog* a_pdevicelog, bool a_blSave);
  EOSSTS FillInLogInfo(LogInfo* a_ploginfo, EDBID_FIRMWARE a_edbidfirmware);
  EOSSTS GetCdInfo(LogInfo* a_ploginfo);
  // The value of a key of the unit's "setup.txt" into the output (left
  // unchanged when the key is not there): 0 read, 1 missing or unreadable.
  EOSSTS GetCdInfoFromSetupTxt(const char* a_szKey, EDBID_FIRMWARE a_edbidfirmware, char* a_szOutput,
                               size_t a_sizetOutput);
  EOSSTS GetLampMeters(LogInfo* a_ploginfo, EDBID_FIRMWARE a_edbidfirmware);
  EOSSTS GetPatchCounts(LogInfo* a_ploginfo, EDBID_FIRMWARE a_edbidfirmware);
  EOSSTS GetAccessories(LogInfo* a_ploginfo, EDBID_FIRMWARE a_edbidfirmware);
  // The layouts, appended to the log's text (a piece that does not fit is
  // left out whole, logged), which ends with a zero byte.
  void FormatGeneralLog(const LogInfo& a_loginfo, DeviceLog* a_pdevicelog);
  void FormatGeneralXmlLog(const LogInfo& a_loginfo, DeviceLog* a_pdevicelog);
  void FormatAboutWindow(const LogInfo& a_loginfo, DeviceLog* a_pdevicelog);
  // Deletes the log's file and the further files it names: regular files
  // only, never through a symbolic link or a ".." component.
  static void DeleteLogFiles(const DeviceLog* a_pdevicelog);
  // To the device data; 1 without it.
  EOSSTS UnpackScanHistory(const char* a_szXmlFile, const char* a_szHistoryFile);

  // The callbacks of CDatabase::MakeXmlAll (user data: this object): each
  // sends the database's finished device task to its library (device
  // manager or image library) of the unit that NeedScanFromFlatbed names
  // (feeder or flatbed), dispatches the reply as the setup unit's and
  // answers 0 when it says success, 1 without user data or library. The
  // image library's answers 0 at once while ForceNexilOff is set.
  static EOSSTS ScannerEntryCallbackFriend(void* a_pvUser);
  static EOSSTS NexEntryCallbackFriend(void* a_pvUser);

 private:
  // InterfaceOpen's steps (dev_cdevimpl_interface.cpp).
  bool ChooseUnits(EDEVWIAMODE* a_pedevwiamode);
  EOSSTS CreateSessionObjects();
  EOSSTS OpenUnits();
  EOSSTS OpenUnit(EDBID_FIRMWARE a_edbidfirmware, bool a_blCheckLoaded, bool a_blQuiet);
  void DropFlatbed();
  // SessionBegin's steps (dev_cdevimpl_open.cpp).
  EOSSTS StartOpenDevice();
  EOSSTS LockForOpening(bool a_blOnThread, COsThread* a_posthread);
  EOSSTS BeginUnits(EDBID_FIRMWARE a_edbidfirmware, EDEVSTS* a_pedevsts, bool* a_pblBounced);
  void BeginFlatbed();
  void DropFlatbedSession();
  EOSSTS RegisterInDeviceList();
  // CompleteOpen's steps (dev_cdevimpl_complete.cpp).
  bool CompleteOpenCalledBack();
  EOSSTS RegisterUnitCallbacks();
  void UpdateDatabase();
  void SelectProfile();
  void WriteDeviceFiles();
  // The session's units (dev_cdevimpl_session.cpp): the current FIRMWARE
  // value, and whether the flatbed is configured.
  EDBID_FIRMWARE CurrentFirmware();
  bool FlatbedInSession();
  EOSSTS NexilResourceBegin();
  // SetAttributes' paper path (dev_cdevimpl_setup.cpp).
  bool SetPaperPath();
  // A data buffer's text; TakeData empties the buffer.
  std::string PeekData(bool a_blSecond);
  std::string TakeData(bool a_blSecond);
  // The image library's units: loaded early in the open (a host process
  // started), opened after the device managers.
  void NexilLoad(EDEVDRIVER a_edevdriver);
  void NexilLoadUnit(EDBID_FIRMWARE a_edbidfirmware);
  void NexilForgetLoads();
  void NexilAbandon();
  EDBID_FIRMWARE NexilFirstUnit() const;
  EOSSTS NexilOpenUnit(EDBID_FIRMWARE a_edbidfirmware, bool a_blQuiet);
  EOSSTS OpenDriverEvent();
  EOSSTS ReopenUnits(EDEVDRIVER a_edevdriver);
  // The event table (dev_cdevimpl_events.cpp), under the table's mutex.
  int QueuedEvents() const;
  bool BuildEventList(COsXmlTask* a_posxmltask, int a_iEvents, bool a_blInquiry, int* a_piFit);
  // The device objects alive in the process, which the device managers'
  // callbacks look up (dev_cdevimpl_callback.cpp).
  static void Enlist(CDevImpl* a_pdevimpl);
  static void Delist(CDevImpl* a_pdevimpl);
  // A capability callback's work, its guards passed (dev_cdevimpl_dbcallback.cpp).
  bool CapabilityAllowed(const DevCapabilityCallback& a_devcapabilitycallback, CDatabase& a_database);
  EOSSTS RunCapability(const DevCapabilityCallback& a_devcapabilitycallback, CDatabase& a_database,
                       CDbDatum* a_pdbdatum);
  void UnregisterDatabaseCallbacks();
  void DeleteAdapters();
  // The scan's statistics and image dump (caller's thread).
  void StatisticsStart();
  void StatisticsUpdate(const char* a_szText, int a_iImageCount, int a_iPageSideCount, int a_iPageCount);
  void SaveImage(const char* a_szText);
  // ScanBegin's steps (dev_cdevimpl_scan.cpp), on the caller's thread under
  // the database lock.
  void ScanReadSettings(CDatabase& a_database);
  long ScanCacheSize(CDatabase& a_database);
  void ScanDumpSetup(CDatabase& a_database);
  // The scan thread (dev_cdevimpl_scanthread.cpp): its procedure, the job
  // up to its final status, and the end whatever the path.
  static CDevImpl* ThreadOwner(void* a_pvThread, COsThread*& a_posthread);
  static void* ScanThreadProc(void* a_pvThread);
  EDEVSTS ScanThreadRun(DevScanJob& a_devscanjob);
  EDEVSTS ScanWaitForPaper(DevScanJob& a_devscanjob, bool* a_pblEnd);
  EDEVSTS ScanWarmUp(DevScanJob& a_devscanjob, EDEVSTS a_edevsts, bool* a_pblEnd);
  EDEVSTS ScanImageLoop(DevScanJob& a_devscanjob);
  bool ScanImagePass(DevScanJob& a_devscanjob, EDEVSTS* a_pedevsts);
  bool ScanHandleImage(DevScanJob& a_devscanjob, EDEVSTS a_edevsts, EDEVSTS* a_pedevstsEnd);
  bool ScanPopRecord(CImgQueue* a_pimgqueue, const char* a_szWhat, EDEVSTS& a_edevsts);
  void ScanSendUserInput(bool* a_pblFail);
  void ScanEndImages();
  bool ScanBackPressure(DevScanJob& a_devscanjob);
  void ScanThreadEnd(DevScanJob& a_devscanjob, EDEVSTS a_edevsts);
  void ScanPushApplication(EDEVSTS a_edevsts);
  void ScanCallImageAvailable();
  void ScanMessage(EDEVMSG a_edevmsg, long a_lValue);
  // GetOutput's image for the caller (dev_cdevimpl_output.cpp).
  EDEVSTS HandOut(char* a_szBuffer, int a_iSize, int a_iImageCount, int a_iPageSideCount, int a_iPageCount);
  // Scan thread: blank images, and one device image through the image
  // library when processing is on.
  bool DiscardBlankImage(const char* a_szText);
  EDEVSTS ProcessImageInit();
  EDEVSTS ProcessImage(COsThread* a_posthread, EDEVSTS a_edevsts, const char* a_szText);
  void ProcessImageCleanup();
  // ProcessImage's steps (dev_cdevimpl_process.cpp): the page's outputs,
  // one output queued for the caller or discarded as blank (0, or the
  // status that ends the scan), an output let go at the library, a failure
  // pushed to the caller.
  EDEVSTS ProcessOutputs(COsThread* a_posthread, EDEVSTS a_edevsts, const char* a_szText);
  EDEVSTS QueueOutput(EDEVSTS a_edevsts, const char* a_szOutput, const char* a_szText);
  EDEVSTS DiscardOutput(const char* a_szOutput);
  void EndOutput(const char* a_szOutput);
  EDEVSTS ProcessImageFailed(EDEVSTS a_edevsts);
  // Halts and joins a worker thread, the database lock given up.
  static void StopThread(COsThread* a_posthread);
  // Calibration's steps (dev_cdevimpl_calibrate.cpp).
  bool CalibrateNeedsPaper();
  EDEVSTS CalibrateWaitForPaper();
  static void* CalibrateThreadProc(void* a_pvThread);
  void CalibrateThreadRun(COsThread& a_osthread);
  bool CalibrateWaitForLamps(COsThread& a_osthread);
  void CalibrateMessage(EDEVMSG a_edevmsg, long a_lValue);
  // The close's end of calibration: the thread told to stop and joined, a
  // calibration the device took and nobody ended ended there.
  void CalibrateStop();
  // Diagnostics' steps (dev_cdevimpl_diagnostic.cpp). DiagnosticLeave ends
  // the mode whatever the nesting: the thread halted and joined, the units'
  // diagnostic ends, the database's diagnostic state cleared; the last
  // unit's result.
  void DiagnosticForceDefaults(CDatabase& a_database);
  static void* DiagnosticThreadProc(void* a_pvThread);
  void DiagnosticThreadRun(COsThread& a_osthread);
  EDEVSTS DiagnosticLeave();
  void DiagnosticStop();

  // The attribute tasks' libraries, by EDEVLIBRARY (dev_cdevimpl_tasks.cpp).
  EOSSTS SendAttributeTask(EDEVLIBRARY a_edevlibrary);

  DevImplPod pod{};
  // The scan in progress (dev_scanstate.h): shared by the caller and the
  // scan thread.
  DevScanState m_scanstate;
  // Tests reach the scan state and the caller-side helpers through it.
  friend struct DevImplScanAccess;

  // State the callback and worker threads share with the caller.
  std::atomic<EDEVSTS> m_edevstsDeviceStatusCallback{DEV_STS_SUCCESS};
  std::atomic<PFNDEVMESSAGEMANAGER> m_pfnMessageProc{nullptr};
  std::atomic<bool> m_blSkipSendingEvent{false};
  std::atomic<bool> m_blAllowImageAvailable{false};
  std::atomic<bool> m_blNexilActive{false};
  bool m_blInterfaceClosed = false;  // closed after an open: it may open again
  // The image library's loads of the open under way, by unit (caller's
  // thread only).
  bool m_blNexilLoaded = false;
  bool m_ablNexilLoadTried[3] = {};
  EOSSTS m_aeosstsNexilLoad[3] = {};
  EDEVNEXILCALL m_edevnexilcallLoad = DEV_NEXILCALL_NONE;
  std::atomic<bool> m_blNoPaperAtEnd{false};
  // The scan thread object, under its own mutex (ScanThreadSetCommand,
  // ScanThreadSetEvent, ScanIsScanning, ScanBegin and ScanEnd).
  std::mutex m_mutexScanThread;
  COsThread* m_posthreadScan = nullptr;
  // The current scan's serial and the queues' reset at its start and end,
  // under one mutex with GetOutput's take of a record.
  std::mutex m_mutexScanSerial;
  uint64_t m_u64ScanSerial = 0;
  // A new serial, and the scan's queues emptied; the caller holds
  // m_mutexScanSerial.
  void ScanNewSerialLocked();
  // The scan's queues emptied; the caller holds m_mutexScanSerial.
  void ScanResetQueuesLocked();
  std::atomic<bool> m_blImageAvailableSignalled{false};
  std::atomic<bool> m_blDatabaseCallbacks{false};  // registered with the database
  // Under the process-wide event-table mutex (dev_cdevimpl_events.cpp).
  DevEventSlot m_adeveventslot[DEV_EVENT_SLOTS] = {};
  std::mutex m_mutexPnpchange;  // the procedure and its argument
  EOSSTS (*m_pfnPnpchangeProc)(void*) = nullptr;
  void* m_pvPnpchangeArgument = nullptr;
  std::mutex m_mutexLastError;
  char m_szLastError[DEV_LASTERROR_SIZE] = {};
};
