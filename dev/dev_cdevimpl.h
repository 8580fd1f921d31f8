// The device object behind the facade: owns everything a device session
// needs (the device-manager and image-library adapters, the device data,
// the four image queues, the worker thread objects, the named driver event,
// the builder that keeps the report inquiry) and the state of the session.
//
// Built here: the object's life, the interface open and close, the status
// words, the last-error text, the message and plug-and-play procedures and
// the accessors. The session, events, scan, calibration, diagnostics, logs
// and reports are declared with least bodies (dev_cdevimpl_least.cpp) that
// log "not built yet" and answer the facade's failure value (a scan "runs"
// from ScanBegin to ScanEnd without images), until their own units replace
// them.
//
// Threads: the caller's thread opens and closes the interface and destroys
// the object; the library callbacks, the scan and the worker threads read
// the procedures, the status from the device-status callback, the flags and
// the last-error text, which are atomic or under a mutex of their own. The
// close and the destruction run with the database lock given up: they join
// threads and unload libraries whose callbacks may wait for that lock.
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>

#include "db_def.h"
#include "dev_def.h"
#include "os_def.h"

class CDatabase;
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

// Where a task for a unit's library goes until the libraries are loaded: the
// sink stands for the library and answers its reply, or none when the
// library cannot be reached.
typedef const char* (*PFNDEVTASKSINK)(void* a_pvUser, EDBID_FIRMWARE a_edbidfirmware, const char* a_szTask);

// The capacities of the four image queues.
constexpr int DEV_QUEUE_APPLICATION = 96;
constexpr int DEV_QUEUE_EXPECTEDIMAGEEND = 96;
constexpr int DEV_QUEUE_IMAGEEND = 96;
constexpr int DEV_QUEUE_DEVICEMANAGERSCANTHREAD = 8;
// The report-inquiry builder's size, and the sizes of the two texts.
constexpr size_t DEV_REPORTINQUIRY_SIZE = 0x10000;
constexpr size_t DEV_EVENTNAME_SIZE = 512;
constexpr size_t DEV_LASTERROR_SIZE = 512;

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
  EDEVSTS m_edevstsCalibrate;
  COsXmlTask* m_posxmltaskDbMakeXml;  // the database's device-XML builder
  // Scan state set up here: feeder state (1 no paper, 2 paper), the
  // counters of the device side and of the image library, the image cache.
  long m_lFeederState;
  long m_lDeviceImageCount;
  long m_lDevicePageCount;
  long m_lDevicePageImageCount;
  long m_lDevicePageSideCount;
  long m_lNexilImageCount;
  long m_lNexilPageCount;
  long m_lNexilPageImageCount;
  long m_lNexilPageSideCount;
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
  void InterfaceClose();
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

  // Session and device state (dev_cdevimpl_least.cpp until built).
  EOSSTS SessionBegin(PFNDEVMESSAGEMANAGER a_pfnMessageManager, bool a_blOnThread, COsThread* a_posthread);
  void SessionBounce();
  EOSSTS ResourceBegin(bool a_blDisconnectWontUnlock);
  EOSSTS ResourceEnd();
  EOSSTS ResourceLock();
  void ResourceUnlock();
  void NotifyDeviceStatusDeviceOnline(EDBID_FIRMWARE a_edbidfirmware, bool a_blOnline);
  void NotifyDeviceStatusDeviceOnline(bool a_blOnline);
  EOSSTS SetAttributes(bool a_blDeviceManagerOnly, bool a_blFlatbed);
  EOSSTS SetupBegin(bool a_blSetupScan);
  EOSSTS SetupEnd(bool a_blCancel);
  EOSSTS RegisterCallback(EDBID_FIRMWARE a_edbidfirmware, const char* a_szName, EOSSTS (*a_pfnCallback)(void*),
                          void* a_pvArgument);
  // 2 online, 3 off line (also while no device-manager adapter exists).
  long GetDeviceStatus();
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
  const char* PassThroughNexil(const char* a_szXml);

  // Events.
  EOSSTS SetDriverEvent(EDEVEVENT a_edevevent, const char* a_szValue);
  EOSSTS GetDriverEvent(COsXmlTask* a_posxmltask);
  EOSSTS UserInput(const char* a_szText);
  EOSSTS ImageQueuePush(bool a_blToApplication, EDEVSTS a_edevsts, const char* a_szText);

  // Scan and hand-off.
  EOSSTS ScanBegin();
  void ScanEnd();
  EOSSTS ScanRequestStop(EDEVSTOPACTION a_edevstopaction);
  bool ScanIsScanning();
  long ScanImageCountRemaining();
  EOSSTS ScanRegisterFirstImageCallback(EOSSTS (*a_pfnCallback)(void*), void* a_pvArgument);
  bool ScanIsDiscardBlankImage();
  long ScanGetOutputImageCount();
  EDEVSTS GetOutput(char* a_szBuffer, int a_iSize, int* a_piImageCount, int* a_piPageCount, int* a_piPageImageCount);
  EOSSTS ImageEnd(const char* a_szText, bool a_blFromDevice);
  void ScanStatisticsReset();
  const char* ScanStatisticsGetSheetCount();
  const char* ScanStatisticsGetPageCount();
  long ScanStatisticsGetImageCountFromZero();

  // Calibration and diagnostics.
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

  // ECDO lists, report inquiry, pass-through.
  EOSSTS GetEcdo();
  void CreateReportInquiry();
  // The text of the last report inquiry; null before the interface opens.
  const char* GetReportInquiry();
  const char* ScannerEntry(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask);
  const char* NexEntry(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask);

  // Logs and reports.
  EOSSTS GetLog(DeviceLog* a_pdevicelog, bool a_blSave);
  EOSSTS ClearLog(const char* a_szLogType);
  EOSSTS SaveLog(const char* a_szFilename, const char* a_szText, bool a_blSaveImages, bool a_blSession);
  EOSSTS ResetScanner();
  EOSSTS GetVersionInfo(DeviceLog* a_pdevicelog, bool a_blSave);
  // To the device data; 1 without it.
  EOSSTS UnpackScanHistory(const char* a_szXmlFile, const char* a_szHistoryFile);

  // The callbacks of CDatabase::MakeXmlAll (user data: this object): each
  // sends the database's finished device task to its library of the unit
  // that NeedScanFromFlatbed names (feeder or flatbed) and answers 0 when
  // the library's reply says success, 1 without user data. The image
  // library's answers 0 at once while ForceNexilOff is set.
  static EOSSTS ScannerEntryCallbackFriend(void* a_pvUser);
  static EOSSTS NexEntryCallbackFriend(void* a_pvUser);
  // Set before the tasks are built (tests, and the engine until it loads
  // the libraries); a null function removes the sink.
  void SetTaskSink(EDEVLIBRARY a_edevlibrary, PFNDEVTASKSINK a_pfndevtasksink, void* a_pvUser);

 private:
  // InterfaceOpen's steps (dev_cdevimpl_interface.cpp).
  bool ChooseUnits(EDEVWIAMODE* a_pedevwiamode);
  EOSSTS CreateSessionObjects();
  EOSSTS OpenUnits();
  EOSSTS OpenUnit(EDBID_FIRMWARE a_edbidfirmware, bool a_blCheckLoaded, bool a_blQuiet);
  void DropFlatbed();
  EOSSTS NexilOpenUnit(EDBID_FIRMWARE a_edbidfirmware, EDEVNEXILCALL a_edevnexilcall, bool a_blQuiet);
  EOSSTS OpenDriverEvent();
  EOSSTS ReopenUnits(EDEVDRIVER a_edevdriver);
  void DeleteAdapters();
  // Halts and joins a worker thread, the database lock given up.
  static void StopThread(COsThread* a_posthread);

  // The attribute tasks' libraries, by EDEVLIBRARY (dev_cdevimpl_tasks.cpp).
  EOSSTS SendAttributeTask(EDEVLIBRARY a_edevlibrary);
  struct TaskSink {
    PFNDEVTASKSINK pfn = nullptr;
    void* pvUser = nullptr;
  };
  TaskSink m_ataskSink[DEV_LIBRARY_COUNT];

  DevImplPod pod{};

  // State the callback and worker threads share with the caller.
  std::atomic<EDEVSTS> m_edevstsDeviceStatusCallback{DEV_STS_SUCCESS};
  std::atomic<PFNDEVMESSAGEMANAGER> m_pfnMessageProc{nullptr};
  std::atomic<bool> m_blSkipSendingEvent{false};
  std::atomic<bool> m_blAllowImageAvailable{false};
  std::atomic<bool> m_blNexilActive{false};
  std::atomic<bool> m_blScanLeast{false};  // until the scan thread exists
  bool m_blInterfaceClosed = false;  // closed after an open: it may open again
  std::mutex m_mutexPnpchange;  // the procedure and its argument
  EOSSTS (*m_pfnPnpchangeProc)(void*) = nullptr;
  void* m_pvPnpchangeArgument = nullptr;
  std::mutex m_mutexLastError;
  char m_szLastError[DEV_LASTERROR_SIZE] = {};
};
