// The implementation behind the device facade: the session state of the
// scanner. So far it keeps whether the scanner is online and what its
// feeder's paper sensor reports, which the database reads through a value
// callback, and hands the database's attribute tasks to the libraries of a
// scanner unit (sinks set by the caller, until the libraries are loaded);
// the facade, the driver and the callback it is built with are not used yet.
// The scan, event and plug-and-play calls answer settable values and are
// recorded (the adapter's callback threads make them).
#pragma once

#include <atomic>
#include <mutex>

#include "db_def.h"
#include "dev_cdev.h"
#include "os_def.h"

class CDatabase;
class CDev;
class CDriver;

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

class CDevImpl {
 public:
  CDevImpl(CDatabase* a_pdatabase, CDev* a_pdev, CDriver* a_pdriver, EOSSTS (*a_pfnCallback)(void*));
  ~CDevImpl();

  long GetDeviceStatus();
  void SetDeviceOnline(bool a_blOnline);

  void RegisterCallbacks();
  // The sensor as the scanner reports it; each call asks it once.
  long IsFeederLoaded();
  void SetFeederLoaded(long a_lFeederLoaded) { m_lFeederLoaded.store(a_lFeederLoaded); }
  long GetFeederAskedCount() const { return m_lFeederAsked.load(); }
  // The read callback of FEEDERLOADED (user data: this object): asks the
  // scanner and stores its answer as the scanner's replies are stored.
  static EOSSTS CallBackFeederLoaded(void* a_pvDbCallbackRecord);

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

  bool ScanIsScanning() const { return m_blScanning.load(); }
  EOSSTS ScanRequestStop(EDEVSTOPACTION a_edevstopaction);
  EOSSTS SetDriverEvent(EDEVEVENT a_edevevent, const char* a_szValue);
  void PnpChange(const char* a_szText);
  void SetScanIsScanning(bool a_blScanning) { m_blScanning.store(a_blScanning); }
  DevCallRecord GetCallRecord();

 private:
  CDatabase* m_pdatabase;
  bool m_blOnline;  // offline until a unit reports itself online
  // Asked from the task thread and from device callbacks.
  std::atomic<long> m_lFeederLoaded{1};
  std::atomic<long> m_lFeederAsked{0};
  // The attribute tasks' libraries, by EDEVLIBRARY.
  EOSSTS SendAttributeTask(EDEVLIBRARY a_edevlibrary);
  struct TaskSink {
    PFNDEVTASKSINK pfn = nullptr;
    void* pvUser = nullptr;
  };
  TaskSink m_ataskSink[DEV_LIBRARY_COUNT];
  std::atomic<bool> m_blScanning{false};
  std::mutex m_mutexCallRecord;
  DevCallRecord m_devcallrecord;
};
