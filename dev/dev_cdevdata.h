// The device data of a driver session (one per device object) or of a data
// session (the data entry's own): the online marker of each scanner unit,
// the device file "device.xml" and the accumulators of each scanner, kept
// below the model's data directory for other processes (dev_cdevdataxml.h
// holds the layout, the data lock and its rules); the scan history
// "<model>_<serial>.hst" (dev_cdevhistory.h holds its format) and its XML
// export; the data entry's task processor. Without its CDevDataXml (logged at construction) every operation
// answers 1 and touches no file. Each operation keeps its arguments for the
// scan tests (GetCalls).
//
// The operations take the database lock themselves for what they read and
// give it up around the data lock, so they may be called with it held or
// not. Nothing is thrown.
#pragma once

#include <mutex>

#include "db_def.h"
#include "dev_def.h"
#include "os_def.h"

class CDatabase;
class CDev;
class CDevDataXml;
class COsFile;

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
  CDevData();
  ~CDevData();
  CDevData(const CDevData&) = delete;
  CDevData& operator=(const CDevData&) = delete;

  // Whether the object is whole (its CDevDataXml was made).
  bool IsValid() const { return m_pdevdataxml != nullptr; }
  CDevDataXml* GetDevDataXml() { return m_pdevdataxml; }

  // A unit's session is open (units 1 and 2; 3 on a logged refusal): its
  // serial number, read from the device with FIRMWARE set to the unit, goes
  // into the model configuration ("serialnumber" for the unit's target) and
  // its scanner directory is made. With "monitorbuttonevents" configured,
  // "online" in it is then held open under an exclusive lock until
  // DestroyOnlineFile: other processes see the scanner in use. Another
  // holder of "online" is logged ("Failed to create 'online' file...<%s>")
  // and the open goes on.
  EOSSTS CreateOnlineFile(EDBID_FIRMWARE a_edbidfirmware, CDatabase* a_pdatabase);
  // Closes the unit's "online", releasing its lock; the file stays.
  EOSSTS DestroyOnlineFile(EDBID_FIRMWARE a_edbidfirmware);
  // Writes the scanner's "device.xml" whole (model, background, connection,
  // meters, consumable meters), only while the device answers a meter
  // request and is online; otherwise the old file stays ("Our device isn't
  // online, so we're not going to write device.xml...").
  EOSSTS UpdateDeviceXml(EDBID_FIRMWARE a_edbidfirmware, CDatabase* a_pdatabase, CDev* a_pdev);
  // Adds the flagged increments to the scanner's "accumulators.xml"
  // (CDevDataXml::SetAccumulators in add mode, taking the data lock);
  // nothing without a flagged nonzero increment.
  EOSSTS IncrementAccumulators(EDBID_FIRMWARE a_edbidfirmware, bool a_blMultifeed, unsigned int a_uMultifeed,
                               bool a_blPaperJam, unsigned int a_uPaperJam, bool a_blOtherError,
                               unsigned int a_uOtherError, CDatabase* a_pdatabase);
  // Appends the job's scan record to the unit's history file: the job's
  // unit, ending status, start time, multifeeds, images, sheets; the end is
  // now. Off while ForceHistoryOff is nonzero. Every failure is logged,
  // none reported; a file that is no history file is moved aside
  // ("Bad history file...") and the next job starts a new one.
  void CreateScanHistory(EDBID_FIRMWARE a_edbidfirmware, CDatabase* a_pdatabase, EDEVSTS a_edevsts,
                         OsTimeRecord* a_postimerecordStart, unsigned int a_uMultifeeds, unsigned int a_uImages,
                         unsigned int a_uSheets);
  // The XML file to write, the history file to read. The history file is
  // read as it stands, without a lock; the XML file appears whole at the
  // end or not at all. 0, or 1 (logged) when nothing was written; a file
  // that ends inside a record gives what came before (logged) and 0.
  EOSSTS UnpackScanHistory(const char* a_szXmlFile, const char* a_szHistoryFile);

  DevDataCalls GetCalls();

  // One task of the data entry (dev_cdevdata_entry.cpp; the commands in
  // CDevDataXml); a second interfaceopen answers "invalidstate" and the
  // session goes on. The reply lives in the CDevDataXml's builder until the
  // next call; true when the data session is over (after an interfaceclose,
  // or an interfaceopen that failed).
  bool DataEntry(const char* a_szTask, const char** a_pszReply);

 private:
  static constexpr int s_iUnits = 4;  // slots by EDBID_FIRMWARE value; 1 and 2 are used

  // False (logged) without the CDevDataXml.
  bool Whole(const char* a_szOperation) const;
  // The unit's serial number read from the device and registered in the
  // configuration, and whether its model monitors button events.
  bool RegisterSerialNumber(EDBID_FIRMWARE a_edbidfirmware, CDatabase* a_pdatabase, char* a_szSerialNumber,
                            size_t a_sizetSerialNumber, bool* a_pblMonitor);
  // "online" of the directory opened into the unit's slot.
  void HoldOnlineFile(EDBID_FIRMWARE a_edbidfirmware, const char* a_szDirectory);
  // The command of a task: its name into a_szCommand; false when the text
  // is no task of one command.
  static bool ReadCommand(const char* a_szTask, char* a_szCommand, long a_lCommand);

  CDevDataXml* m_pdevdataxml = nullptr;
  // The open "online" of each unit: opened on the thread that completes the
  // open, closed on the task thread.
  std::mutex m_mutexOnline;
  COsFile* m_aposfileOnline[s_iUnits] = {};
  std::mutex m_mutex;  // the scan thread records while tests read
  DevDataCalls m_devdatacalls;
  // The data entry's tasks run one at a time.
  std::mutex m_mutexEntry;
  bool m_blOpened = false;  // the session's interfaceopen was answered
};
