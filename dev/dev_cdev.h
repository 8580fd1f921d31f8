// The device facade: the one object through which the driver and the
// database reach the scanner session. It holds its implementation and checks
// it before every operation. So far it answers the device status and the
// feeder's paper sensor.
#pragma once

#include "os_def.h"

class CDatabase;
class CDevImpl;
class CDriver;

class CDev {
 public:
  CDev(CDatabase* a_pdatabase, CDriver* a_pdriver, EOSSTS (*a_pfnCallback)(void*));
  ~CDev();
  CDev(const CDev&) = delete;
  CDev& operator=(const CDev&) = delete;

  // 2 while the scanner is online and open, 3 while it is offline; 0 without
  // an implementation.
  long GetDeviceStatus();
  // Marks the scanner online or offline, as its units report it.
  void SetDeviceOnline(bool a_blOnline);
  // Registers with the database the callbacks through which its values ask
  // the scanner: so far the read of FEEDERLOADED.
  void RegisterCallbacks();
  // What the feeder's paper sensor reports (2 paper, 1 none), as the scanner
  // would; and how many times it has been asked.
  void SetFeederLoaded(long a_lFeederLoaded);
  long GetFeederAskedCount();

 private:
  CDevImpl* m_pdevimpl;
};
