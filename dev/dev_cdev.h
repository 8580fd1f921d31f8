// The device facade: the only handle the driver core and the user-interface
// bridges hold on the device engine. It holds one device object and
// forwards every operation to it. When the device object could not be made
// every operation logs "m_pdevimpl is null..." and answers its failure value
// (given beside each group).
#pragma once

#include "db_def.h"
#include "dev_def.h"
#include "os_def.h"

class CDatabase;
class CDevImpl;
class CDriver;
class COsXmlTask;

class CDev {
 public:
  // a_pfnCallback is the driver's status callback, called with the driver.
  CDev(CDatabase* a_pdatabase, CDriver* a_pdriver, EOSSTS (*a_pfnCallback)(void*));
  ~CDev();
  CDev(const CDev&) = delete;
  CDev& operator=(const CDev&) = delete;

  // Interface: 1; the scanner's first refusal of its sessionend or
  // interfaceclose (the interface is closed all the same).
  EOSSTS InterfaceOpen(EDEVDRIVER a_edevdriver);
  EOSSTS InterfaceClose();

  // Session: 1 for status results, 0 for GetDeviceStatus, 1 for
  // GetDeviceStatusCallback, nothing for the rest.
  EOSSTS SessionBegin(PFNDEVMESSAGEMANAGER a_pfnMessageManager);
  // The scanner's word on its sessionbounce.
  EOSSTS SessionBounce();
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
  EOSSTS RegisterPnpchangeProc(EOSSTS (*a_pfnPnpchangeProc)(void*), void* a_pvArgument);
  void PnpChange(const char* a_szText);
  long GetDeviceStatus();
  EDEVSTS GetDeviceStatusCallback();
  EOSSTS SetOcpButtons(const char* a_szButtons);
  void MessageProc(EDEVDLG a_edevdlg, EDEVMSG a_edevmsg, const char* a_szText, long a_lValue,
                   EDEVBUTTONS a_edevbuttons);

  // Scan: 1 for ScanBegin, ScanRequestStop, GetOutput, ImageEnd and
  // RegisterFirstImageCallback; 0 (false, null) for counts, flags, texts,
  // UserInput and ImageQueuePush; nothing for the rest.
  EOSSTS ScanBegin();
  void ScanEnd(uint64_t a_u64Scan = 0);
  // The current scan's serial, and the serial of the scan the calling
  // thread began last (CDevImpl::ScanSerial).
  uint64_t ScanSerial();
  uint64_t ScanSerialBegun();
  EOSSTS ScanRequestStop(EDEVSTOPACTION a_edevstopaction);
  bool ScanIsScanning();
  long ScanImageCountRemaining();
  EOSSTS RegisterFirstImageCallback(EOSSTS (*a_pfnCallback)(void*), void* a_pvArgument);
  bool IsDiscardBlankImage();
  long GetOutputImageCount();
  EDEVSTS GetOutput(char* a_szBuffer, int a_iSize, int* a_piImageCount, int* a_piPageCount, int* a_piPageImageCount,
                    uint64_t a_u64Scan = 0);
  EOSSTS ImageEnd(const char* a_szText);
  EOSSTS UserInput(const char* a_szText);
  EOSSTS ImageQueuePush(bool a_blToApplication, EDEVSTS a_edevsts, const char* a_szText);
  void AllowNotifyImageAvailable(bool a_blAllow);
  void ScanStatisticsReset();
  const char* ScanStatisticsGetSheetCount();
  const char* ScanStatisticsGetPageCount();
  long ScanStatisticsGetImageCountFromZero();

  // Events: 1; 1; null; nothing.
  EOSSTS SetDriverEvent(EDEVEVENT a_edevevent, const char* a_szValue);
  EOSSTS GetDriverEvent(COsXmlTask* a_posxmltask);
  const char* GetDriverEventName();
  void SkipSendingEvent(bool a_blSkip);

  // Status words: null; "null impl"; nothing.
  const char* GetLexiconStatus(EDEVSTS a_edevsts);
  const char* GetLastErrorText();
  void SetLastErrorText(const char* a_szText);

  // Calibration: 1 (nothing for SetCalibrateStatus).
  EOSSTS CalibrateBegin();
  EOSSTS CalibrateRun();
  EOSSTS CalibrateEnd();
  EOSSTS CalibrateReset();
  EDEVSTS GetCalibrateStatus();
  void SetCalibrateStatus(EDEVSTS a_edevsts);
  EDEVSTS GetConfig(EDBID_FIRMWARE a_edbidfirmware, EDBID a_edbid);

  // Diagnostics: 1.
  EOSSTS DiagnosticBegin(bool a_blSkipState);
  EOSSTS DiagnosticRun(const char* a_szCommand, const char* a_szArgument);
  EOSSTS DiagnosticEnd();
  EOSSTS DiagnosticGetInputResult(DeviceLog* a_pdevicelog);

  // Firmware download: 1.
  EOSSTS DownloadBegin(const char* a_szFilename, unsigned int a_uSize);
  EOSSTS DownloadRun();
  EOSSTS DownloadEnd();

  // Logs and reports: 1; null for GetReportInquiry.
  EOSSTS GetLog(DeviceLog* a_pdevicelog, bool a_blSave);
  EOSSTS ClearLog(const char* a_szLogType);
  EOSSTS SaveLog(const char* a_szFilename, const char* a_szText, bool a_blSaveImages, bool a_blSession);
  EOSSTS ResetScanner();
  EOSSTS GetVersionInfo(DeviceLog* a_pdevicelog, bool a_blSave);
  EOSSTS UnpackScanHistory(const char* a_szXmlFile, const char* a_szHistoryFile);
  const char* GetReportInquiry();

  // ECDO learning and meters: 1.
  EOSSTS EcdoCustomBegin();
  EOSSTS EcdoCustomEnd();
  EOSSTS GetConsumableMeters(char** a_ppszConsumableMeters);
  EOSSTS SetConsumableMeter(const char* a_szMeter);
  EOSSTS ResetConsumableMeter(const char* a_szMeter);
  EOSSTS GetCartridgeDetected();

  // Library pass-through: null.
  const char* ScannerEntry(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask);
  const char* NexEntry(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask);
  const char* PassThroughNexil(const char* a_szXml);

 private:
  CDevImpl* m_pdevimpl;
};
