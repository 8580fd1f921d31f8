// The device data's files as several processes share them: the data
// directory of a model (RootPath joined with the model directory, then
// "data"), one scanner directory in it per serial number, the cross-process
// data lock "data.lock" and the accumulators file "accumulators.xml"; and the
// data entry's reply builder. One per CDevData.
//
// Layout: <data directory>/data.lock, <data directory>/<serial>/online,
// device.xml, accumulators.xml and the scan history.
//
// The data entry's tasks are walked against its own grammar
// (dev_cdevdataxml_entry.cpp): the handlers store each command's arguments
// in their area and run the command at its end (dev_cdevdataxml_export.cpp,
// dev_cdevdataxml_devicelist.cpp, dev_cdevdataxml_debug.cpp); RunTask builds
// the reply of every task, one that failed included.
//
// Locking (db/db_cdblock.h): the data lock waits up to DEV_WAIT_DATALOCK for
// other processes, so it is taken with the database lock given up
// (CDbLockRelease around the whole locked part), and the database lock is
// never taken while it is held. Read from the database first (the path
// operations below take the database lock themselves), then lock, write and
// unlock. Every file of a scanner directory that other processes read is
// written whole under the data lock (COsFile::WriteAtomic).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "db_def.h"
#include "dev_def.h"
#include "os_cosxml.h"
#include "os_def.h"

class CDatabase;
class COsFile;
class COsXmlTask;
enum EDBCONFIGTARGET : int;

// The data entry's argument areas, each cleared when its command starts.
// A text too long for its field, or a number that is no decimal u32, marks
// the task bad: the command then answers "fail" and does nothing.
struct DevDataExportArgs {
  char szId[128];
  char szFilename[512];
  char szText[1024];
  bool blSaveImages;
  char szSource[512];
  char szDestination[512];
  uint64_t u64Size;  // of the produced file, for the reply
};
struct DevDataForce {
  char szDll[32];
  char szSection[64];
  char szTag[64];
  char szText[256];
  bool blText;
};
struct DevDataOpenArgs {
  static constexpr uint32_t s_u32Forces = 32;
  bool blDebug;
  bool blPersistent;
  char szLogging[32];
  uint32_t u32LoggingLevel;
  bool blImagesFromScanner;
  bool blImagesToApp;
  uint32_t u32ForceIndex;
  bool blForceOverflow;  // a kept entry beyond the last slot
  DevDataForce adevdataforce[s_u32Forces];
};
struct DevDataAccumulatorsArgs {
  char szSerialNumber[128];
  bool blMultifeed;
  uint32_t u32Multifeed;
  bool blPaperJam;
  uint32_t u32PaperJam;
  bool blOtherError;
  uint32_t u32OtherError;
};

class CDevDataXml {
 public:
  static constexpr size_t s_sizetPath = 512;
  static constexpr size_t s_sizetSerialNumber = 128;

  // Computes the paths from the configuration and makes the data directory
  // (a failure is logged: the files are then skipped, nothing else stops).
  CDevDataXml();
  // Releases the data lock when the calling thread still holds it.
  ~CDevDataXml();
  CDevDataXml(const CDevDataXml&) = delete;
  CDevDataXml& operator=(const CDevDataXml&) = delete;

  // False when the reply builder could not be made (logged).
  bool IsValid() const { return m_posxmltask != nullptr; }
  // The data entry's reply builder (64 KiB, private to this object).
  COsXmlTask* GetOsXmlTask() { return m_posxmltask; }
  const char* GetModelDirectory() const { return m_szModelDirectory; }
  const char* GetDataDirectory() const { return m_szDataDirectory; }

  // The data lock: this object's mutex (the owning thread enters again and
  // is counted; other threads wait), then, at the first level, "data.lock"
  // held open with an exclusive flock, tried every DEV_POLL_DATALOCK ms; the
  // whole within DEV_WAIT_DATALOCK. False when it could not be had: the
  // caller logs "DataLock failed..." and touches no file. Two objects of one
  // process exclude each other like two processes.
  bool DataLock();
  // Gives up one level (a_blForce: every level this thread holds); the last
  // level closes "data.lock". A thread that holds no level changes nothing.
  void DataUnlock(bool a_blForce);

  // The data directory of a unit: RootPath, the unit's model directory
  // (ModelDirectoryReal for the feeder, the model configuration string
  // "modeldirectoryflatbed" for the flatbed), then "data"; with unit 0 or
  // no database this object's. False (logged) for unit 3 or a value out of
  // range, a model directory that is no plain name, or a path too long.
  bool UnitDataDirectory(EDBID_FIRMWARE a_edbidfirmware, CDatabase* a_pdatabase, char* a_szPath,
                         size_t a_sizetPath) const;
  // The configuration target of a unit's keys: 2 for the feeder, 3 for the
  // flatbed, 0 for any other value.
  static EDBCONFIGTARGET UnitTarget(EDBID_FIRMWARE a_edbidfirmware);
  // The unit's serial number as the model configuration keeps it (the
  // first value of the enumeration "serialnumber" for the unit's target);
  // false without one.
  static bool UnitSerialNumber(EDBID_FIRMWARE a_edbidfirmware, CDatabase* a_pdatabase, char* a_szSerialNumber,
                               size_t a_sizetSerialNumber);
  // The directory of a serial number in a data directory, made when
  // missing. False (logged) for a serial number that cannot name a
  // directory ("Bad serial number...<%s>"), a directory that cannot be made
  // or is a symbolic link, or a path too long.
  static bool ScannerDirectory(const char* a_szDataDirectory, const char* a_szSerialNumber, char* a_szPath,
                               size_t a_sizetPath);
  // Whether a text can name a directory: not empty, ".", "..", no "/" and
  // no control character.
  static bool IsUsableName(const char* a_szName);
  // Under the data lock: removes what a writer killed mid-save left for a
  // file of the directory (COsFile::IsAtomicTemporary).
  static void RemoveTemporaries(const char* a_szDirectory, const char* a_szFile);

  // Sets or adds to the scanner's counters in "accumulators.xml". With a
  // unit and a database the file is the unit's, named by the unit's serial
  // number from the configuration; otherwise this object's data directory
  // joined with a_szSerialNumber. a_blLock: take the data lock here (else
  // the caller holds it). a_blAdd: each flagged counter grows by its value,
  // otherwise it is replaced; unflagged counters are kept. A counter that
  // cannot be read counts as 0 (logged); a sum beyond 2^32-1 stays there.
  // 0, or 1 (logged) when the data lock or a file failed; 3 for bad
  // arguments.
  EOSSTS SetAccumulators(EDBID_FIRMWARE a_edbidfirmware, CDatabase* a_pdatabase, bool a_blLock,
                         const char* a_szSerialNumber, bool a_blAdd, bool a_blMultifeed, unsigned int a_uMultifeed,
                         bool a_blPaperJam, unsigned int a_uPaperJam, bool a_blOtherError,
                         unsigned int a_uOtherError);

  // The data entry: walks one task and builds its reply (in this object's
  // builder, valid until the next task). False when the walk failed (the
  // reply then says "fail").
  bool RunTask(const char* a_szTask, const char** a_pszReply);
  // Answers the task with the status without running it.
  void Refuse(const char* a_szTask, const char* a_szStatus, const char** a_pszReply);
  // The tw_log section of one scanner directory of the data directory.
  void GetTwLog(std::string* a_pstr, const char* a_szDirectory, const char* a_szSerialNumber);

  // The grammar's handlers: each static one forwards to the member of its
  // name; 0 goes on, 1 stops the walk (the task fails).
#define DEV_DATAXML_HANDLERS(X)                                                                                   \
  X(EnterTask) X(ExitTask) X(EnterTaskExport) X(ExitTaskExport) X(EnterTaskExportId) X(EnterTaskExportFilename) \
  X(EnterTaskExportText) X(EnterTaskExportSaveimages) X(EnterTaskExportSource) X(EnterTaskExportDestination)     \
  X(EnterTaskImport) X(ExitTaskImport) X(EnterTaskImportId) X(EnterTaskImportFilename)                            \
  X(EnterTaskInterfaceclose) X(EnterTaskInterfaceopen) X(ExitTaskInterfaceopen) X(EnterTaskInterfaceopenDebug)    \
  X(ExitTaskInterfaceopenDebug) X(EnterTaskInterfaceopenDebugPersistent) X(EnterTaskInterfaceopenDebugLogging)    \
  X(EnterTaskInterfaceopenDebugLogginglevel) X(EnterTaskInterfaceopenDebugImagesfromscanner)                      \
  X(EnterTaskInterfaceopenDebugImagestoapp) X(ExitTaskInterfaceopenDebugForce)                                    \
  X(EnterTaskInterfaceopenDebugForceDll) X(EnterTaskInterfaceopenDebugForceSection)                               \
  X(EnterTaskInterfaceopenDebugForceTag) X(EnterTaskInterfaceopenDebugForceText) X(EnterTaskSetaccumulators)      \
  X(ExitTaskSetaccumulators) X(EnterTaskSetaccumulatorsSerialnumber) X(EnterTaskSetaccumulatorsAccumulators)      \
  X(ExitTaskSetaccumulatorsAccumulators) X(EnterTaskSetaccumulatorsAccumulatorsMultifeedcount)                    \
  X(EnterTaskSetaccumulatorsAccumulatorsPaperjamcount) X(EnterTaskSetaccumulatorsAccumulatorsOthererrorcount)
#define DEV_DATAXML_DECLARE(name)                                       \
  static EOSSTS CDevDataXml_##name(OsXmlCallback* a_posxmlcallback); \
  EOSSTS name(OsXmlCallback* a_posxmlcallback);
  DEV_DATAXML_HANDLERS(DEV_DATAXML_DECLARE)
#undef DEV_DATAXML_DECLARE

 private:
  bool OpenLockFile();
  // The grammar, loaded by the constructor; false (logged) when it failed.
  bool LoadGrammar();
  // A command's start: false (logged) when the task had one already.
  bool StartCommand(const char* a_szCommand);
  // A leaf's text into a field; a cut text marks the task bad (logged).
  void StoreText(char* a_szField, size_t a_sizetField, const OsXmlCallback* a_posxmlcallback);
  void StoreNumber(uint32_t* a_pu32, const OsXmlCallback* a_posxmlcallback);
  // Counts a task the walk did not reach and takes its raw id.
  void CountTask(const char* a_szTask);
  // The reply of the task: its status, and the produced file on success.
  const char* Reply(const char* a_szStatus);
  // The command's answer for the reply.
  EOSSTS Answer(bool a_blSuccess);
  // The commands (each answers through Answer).
  EOSSTS ExportDeviceList();
  EOSSTS ExportEklog();
  EOSSTS ExportHistoryToXml();
  EOSSTS ProfileList(bool a_blExport);
  EOSSTS WriteDebugSettings();
  // A default export file: a new temporary name in LogDirectory/"tmp".
  bool DefaultFilename();

  // The data entry's state: the walk, the task counter, this task's id,
  // command and outcome, and the argument areas.
  COsXml m_osxml;
  bool m_blGrammar = false;
  int m_iTaskCount = 0;
  int m_iReplyId = 0;
  char m_szCommand[32] = {};
  bool m_blBadArgument = false;
  bool m_blSuccess = false;
  bool m_blReportDataFile = false;
  DevDataExportArgs m_devdataexportargs = {};
  DevDataOpenArgs m_devdataopenargs = {};
  DevDataAccumulatorsArgs m_devdataaccumulatorsargs = {};

  COsXmlTask* m_posxmltask = nullptr;
  char m_szModelDirectory[s_sizetPath] = {};
  char m_szDataDirectory[s_sizetPath] = {};
  char m_szLockFile[s_sizetPath] = {};
  // The data lock within the process: its owner and depth under the mutex
  // (a thread waits on the condition until the depth is 0); the open
  // "data.lock", used by the owner alone.
  std::mutex m_mutexData;
  std::condition_variable m_condvarData;
  std::thread::id m_threadidOwner;
  uint32_t m_u32LockCount = 0;
  COsFile* m_posfileLock = nullptr;
};
