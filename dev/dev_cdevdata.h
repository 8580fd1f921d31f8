// The device data (scan history, accumulators, the online marker and the
// device file) and the data entry's task processor, least: the operations
// the device engine calls answer 0 (UnpackScanHistory 1) without touching a
// file, log "not built yet" at debug level, and keep the arguments of their
// last call for tests. The units that build the data files and the data
// entry's commands replace the bodies.
#pragma once

#include <mutex>

#include "db_def.h"
#include "dev_def.h"
#include "os_def.h"

class CDatabase;
class CDev;
class COsXmlTask;

// The last call of each operation, and how many there were.
struct DevDataCalls {
  int iCreateOnlineFile = 0;
  EDBID_FIRMWARE edbidfirmwareOnline = DEV_FIRMWARE_NONE;
  int iDestroyOnlineFile = 0;
  EDBID_FIRMWARE edbidfirmwareDestroyed = DEV_FIRMWARE_NONE;
  int iUpdateDeviceXml = 0;
  EDBID_FIRMWARE edbidfirmwareDeviceXml = DEV_FIRMWARE_NONE;
  CDev* pdevDeviceXml = nullptr;
  int iIncrementAccumulators = 0;
  EDBID_FIRMWARE edbidfirmwareAccumulators = DEV_FIRMWARE_NONE;
  bool blMultifeed = false;
  unsigned int uMultifeed = 0;
  bool blPaperJam = false;
  unsigned int uPaperJam = 0;
  bool blOtherError = false;
  unsigned int uOtherError = 0;
  int iCreateScanHistory = 0;
  EDBID_FIRMWARE edbidfirmwareHistory = DEV_FIRMWARE_NONE;
  EDEVSTS edevstsHistory = DEV_STS_SUCCESS;
  OsTimeRecord ostimerecordStart = {};
  unsigned int uHistoryMultifeeds = 0;
  unsigned int uHistoryImages = 0;
  unsigned int uHistorySheets = 0;
};

class CDevData {
 public:
  CDevData() = default;
  ~CDevData();
  CDevData(const CDevData&) = delete;
  CDevData& operator=(const CDevData&) = delete;

  EOSSTS CreateOnlineFile(EDBID_FIRMWARE a_edbidfirmware, CDatabase* a_pdatabase);
  EOSSTS DestroyOnlineFile(EDBID_FIRMWARE a_edbidfirmware);
  EOSSTS UpdateDeviceXml(EDBID_FIRMWARE a_edbidfirmware, CDatabase* a_pdatabase, CDev* a_pdev);
  EOSSTS IncrementAccumulators(EDBID_FIRMWARE a_edbidfirmware, bool a_blMultifeed, unsigned int a_uMultifeed,
                               bool a_blPaperJam, unsigned int a_uPaperJam, bool a_blOtherError,
                               unsigned int a_uOtherError, CDatabase* a_pdatabase);
  // The job's unit, ending status, start time, multifeeds, images, sheets.
  void CreateScanHistory(EDBID_FIRMWARE a_edbidfirmware, CDatabase* a_pdatabase, EDEVSTS a_edevsts,
                         OsTimeRecord* a_postimerecordStart, unsigned int a_uMultifeeds, unsigned int a_uImages,
                         unsigned int a_uSheets);
  // The XML file to write, the history file to read.
  EOSSTS UnpackScanHistory(const char* a_szXmlFile, const char* a_szHistoryFile);

  DevDataCalls GetCalls();

  // One task of the data entry (dev_cdevdata_entry.cpp), least: an
  // interfaceopen or interfaceclose answers "success", any other task
  // "fail" (logged). The reply lives in this object's builder until the
  // next call; true when the data session is over (after an interfaceclose,
  // or an interfaceopen that failed).
  bool DataEntry(const char* a_szTask, const char** a_pszReply);

 private:
  // The command of a task: its name into a_szCommand; false when the text
  // is no task of one command.
  static bool ReadCommand(const char* a_szTask, char* a_szCommand, long a_lCommand);

  std::mutex m_mutex;  // the scan thread records while tests read
  DevDataCalls m_devdatacalls;
  // The data entry's tasks run one at a time.
  std::mutex m_mutexEntry;
  COsXmlTask* m_posxmltaskReply = nullptr;
  int m_iTaskCount = 0;
  bool m_blOpened = false;  // the session's interfaceopen was answered
};
