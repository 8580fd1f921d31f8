// The implementation behind the device facade: the session state of the
// scanner. So far it keeps whether the scanner is online; the database, the
// facade, the driver and the callback it is built with are not used yet.
#pragma once

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

 private:
  bool m_blOnline;  // offline until a unit reports itself online
};
