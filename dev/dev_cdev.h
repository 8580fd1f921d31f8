// The device facade: the one object through which the driver and the
// database reach the scanner session. It holds its implementation and checks
// it before every operation. So far it answers the device status only.
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

 private:
  CDevImpl* m_pdevimpl;
};
