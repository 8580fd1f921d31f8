// The implementation behind the device facade: the session state of the
// scanner. So far it keeps whether the scanner is online and what its
// feeder's paper sensor reports, which the database reads through a value
// callback; the facade, the driver and the callback it is built with are not
// used yet.
#pragma once

#include <atomic>

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

 private:
  CDatabase* m_pdatabase;
  bool m_blOnline;  // offline until a unit reports itself online
  // Asked from the task thread and from device callbacks.
  std::atomic<long> m_lFeederLoaded{1};
  std::atomic<long> m_lFeederAsked{0};
};
