// The device data's files as several processes share them: the data
// directory of a model (RootPath joined with the model directory, then
// "data"), one scanner directory in it per serial number, the cross-process
// data lock "data.lock" and the accumulators file "accumulators.xml"; and the
// data entry's reply builder. One per CDevData.
//
// Layout: <data directory>/data.lock, <data directory>/<serial>/online,
// device.xml, accumulators.xml and the scan history.
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
#include <thread>

#include "db_def.h"
#include "dev_def.h"
#include "os_def.h"

class CDatabase;
class COsFile;
class COsXmlTask;
enum EDBCONFIGTARGET : int;

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

 private:
  bool OpenLockFile();

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
