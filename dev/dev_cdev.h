// The device facade: the one object through which the driver and the
// database reach the scanner session. It holds its implementation and checks
// it before every operation. So far it answers the device status and the
// feeder's paper sensor, and the calls the device-manager adapter makes of
// it answer settable values and are recorded, for tests, until the engine
// gives them bodies.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "dev_def.h"
#include "os_def.h"

class CDatabase;
class CDevImpl;
class CDriver;

// The calls the adapter made of the facade, in order.
struct DevCallRecord {
  std::vector<EDEVSTOPACTION> vecedevstopaction;                // ScanRequestStop
  std::vector<std::pair<EDEVEVENT, std::string>> vecEvent;      // SetDriverEvent (a null value is empty)
  std::vector<std::string> vecstrPnpChange;                     // PnpChange
};

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

  // Whether a scan runs (settable); a stop request answers 5 when none
  // runs, else 0. Both calls and the events are recorded.
  bool ScanIsScanning();
  EOSSTS ScanRequestStop(EDEVSTOPACTION a_edevstopaction);
  EOSSTS SetDriverEvent(EDEVEVENT a_edevevent, const char* a_szValue);
  void PnpChange(const char* a_szText);
  void SetScanIsScanning(bool a_blScanning);
  DevCallRecord GetCallRecord();

 private:
  CDevImpl* m_pdevimpl;
};
