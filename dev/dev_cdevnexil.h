// The image-library adapter: connects the device engine to the image
// library (NexEntry, one task text in, one reply text out) of each scanner
// unit, 1 the feeder and 2 the flatbed. Every operation builds one task in
// the adapter's builder, exchanges it and reads the reply with the reply
// parser (CReportImage) or, for the free-memory query, CPassthroughDravix.
//
// Hosting: the library is loaded into this process (EDEVNEXILCALL 1), or
// (2, 3, or 0 which means 3) runs in the Dravix process, "dravix" beside
// the library, which the adapter starts and reaches over the channel
// "DravixNexil" of the preferred transport; without that program the
// library is loaded in process. A Dravix unit whose channel failed (a dead
// child, a reply that timed out, did not fit or came twice) is gone: its
// child is stopped, and until the owner loads it again every operation
// fails without a word to it. A process that was started but never given
// a task is stopped at unload without one.
//
// Threads: the scan thread (setinput, getoutput, imageend) and the caller's
// thread (pass-through, relay, logs) call the adapter at once, so one
// mutex guards the builder, the id counter and the unit records around
// build and exchange; the reply parser has a mutex of its own. Lock order:
// the database lock (db_cdblock.h), this mutex, the parser's. The database
// lock is never held across an exchange, which may wait up to ten minutes
// for the Dravix process: every operation gives it up first, reads what it
// needs of the database before the exchange and takes the lock again (before
// the parser's) to parse a reply into the database (querysupport, setupbegin,
// setupend, messagerelay) or to store versions. Loading and unloading run
// with the database lock given up, and an in-process library is freed
// outside this mutex.
//
// A reply text that an operation returns is a copy kept for the calling
// thread until its next call of an operation that returns one.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "db_cdblock.h"
#include "db_def.h"
#include "dev_def.h"
#include "os_def.h"

class CDatabase;
class COsFile;
class COsSocket;
class COsThread;
class COsXml;
class COsXmlTask;
class CPassthroughDravix;
class CReportImage;
struct OsMemList;

typedef const char* (*PFNNEXENTRY)(const char* a_szTask);

class CDevNexil {
 public:
  // Sets NEXIL_LOGDEBUG and NEXIL_LOGPATH (the "nexil" directory beside the
  // driver's log directory, created) for the library. Without a database
  // nothing is built and every operation fails.
  explicit CDevNexil(CDatabase* a_pdatabase);
  // Does not unload: the owner calls Unload first.
  ~CDevNexil();
  CDevNexil(const CDevNexil&) = delete;
  CDevNexil& operator=(const CDevNexil&) = delete;

  // Loading. Load: 0 loaded (also when the unit's library is loaded
  // already), 1 failed with the unit's record cleared. A Dravix process is
  // only started: the unit's first task waits for it to connect, up to the
  // accept limit (DEV_WAIT_DRAVIXACCEPT) from its start. Unload (unit 1, 2 or
  // 3): sessionend and interfaceclose to each loaded unit named, then the
  // library is freed, or the Dravix process is given a second to end and
  // then stopped; always 0.
  EOSSTS Load(EDBID_FIRMWARE a_edbidfirmware, EDEVNEXILCALL a_edevnexilcall);
  EOSSTS Unload(EDBID_FIRMWARE a_edbidfirmware);

  // Interface and session (0 or 1 unless said otherwise).
  EOSSTS InterfaceOpen(EDBID_FIRMWARE a_edbidfirmware);
  // The reply, not parsed.
  const char* InterfaceClose(EDBID_FIRMWARE a_edbidfirmware);
  // sessionbegin, then querysupport, whose inquiry the database takes under
  // the prefix "nexil".
  EOSSTS SessionBegin(EDBID_FIRMWARE a_edbidfirmware);
  // To each unit named (1, 2 or 3) whose session is begun; the last reply,
  // null when nothing was sent.
  const char* SessionEnd(EDBID_FIRMWARE a_edbidfirmware);
  EOSSTS ResourceBegin(EDBID_FIRMWARE a_edbidfirmware);
  EOSSTS ResourceEnd(EDBID_FIRMWARE a_edbidfirmware);

  // Scans. ScanBegin sends once until ScanEnd (with the database's data
  // buffer 0 appended); ScanEnd sends only while a scan is active or when
  // forced.
  EOSSTS ScanBegin(EDBID_FIRMWARE a_edbidfirmware, long a_lImageBufferCount);
  EOSSTS ScanEnd(EDBID_FIRMWARE a_edbidfirmware, bool a_blForce);
  // The next output: 0 with the reply's body (everything inside the task
  // element) in a_szOutput, 13 end of output, 15 no memory, 11 a failed
  // dropout learning (with the body), 1 anything else. A body that does not
  // fit a_sizetOutput gives 1, and its output is ended at the library.
  EDEVSTS GetOutput(EDBID_FIRMWARE a_edbidfirmware, char* a_szOutput, size_t a_sizetOutput);
  // Only while ForceNexilUseImageEnd is not 0 and the name is not empty:
  // the reply; null when nothing was sent.
  const char* ImageEnd(EDBID_FIRMWARE a_edbidfirmware, const char* a_szImageFilename);
  // An image record (its reportimage element) of the camera it names:
  // "flatbed" exactly is the flatbed's, anything else the feeder's.
  EOSSTS SetInput(const char* a_szXml);
  EOSSTS SetBaffle(const char* a_szXml);
  EOSSTS SetToggle(const char* a_szXml);

  // Setup and messages.
  EOSSTS SetupBegin(EDBID_FIRMWARE a_edbidfirmware, bool a_blSetupScan);
  EOSSTS SetupEnd(EDBID_FIRMWARE a_edbidfirmware, bool a_blCancel);
  // The parsed reply's status (0, or 27 end of messages); its message goes
  // into the database's data buffer 1, which is emptied first. 1 on failure.
  EDEVSTS MessageRelay(EDBID_FIRMWARE a_edbidfirmware, const char* a_szXml);
  // A task holding the text as it is; the reply (the fixed fail reply when
  // the unit cannot take a task).
  const char* NexPassThrough(EDBID_FIRMWARE a_edbidfirmware, const char* a_szXml);

  // Reports. GetFreeMemory: the library's free sizes into the list; 0, or
  // 1 for a reply whose status is not success. GetVersion: the version of
  // each loaded unit's library into the database's version store.
  EDEVSTS GetFreeMemory(const char* a_szCameraId, OsMemList* a_posmemlist);
  void GetVersion();

  // The exchange of a finished task (its id is set here): the library's
  // reply; the fixed fail reply when the library crashed, the Dravix
  // process is gone or its channel failed; null for a unit with nothing
  // loaded.
  const char* NexEntry(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask);
  // Whether the unit can take a task: nothing or a library in process
  // loaded, or its Dravix process running.
  bool CheckDravix(EDBID_FIRMWARE a_edbidfirmware);

  EDEVNEXILCALL GetEdevnexilcall();
  EDEVNEXILCALL GetUnitNexilCall(EDBID_FIRMWARE a_edbidfirmware);
  bool GetDisabledFlag() const { return m_blDisabled.load(); }
  void SetDisabledFlag(bool a_blDisabled) { m_blDisabled.store(a_blDisabled); }

  // The reply of a task that got none.
  static const char s_szFailReply[];

 private:
  static constexpr int s_iUnits = 3;  // by EDBID_FIRMWARE; 0 is never used
  static constexpr size_t s_sizetTag = 20;
  struct DevNexilUnit {
    EDEVNEXILCALL edevnexilcall = DEV_NEXILCALL_NONE;  // in effect; none while nothing is loaded
    PFNNEXENTRY pfnNexEntry = nullptr;
    COsFile* posfileLibrary = nullptr;
    // Dravix: the spawned process, its channel (null once gone) and the
    // reply buffer (s_sizetReply bytes, always terminated).
    COsThread* posthreadDravix = nullptr;
    COsSocket* possocket = nullptr;
    char* pcReply = nullptr;
    int iSocketType = 0;  // EOSSOCKETTYPE of the channel
    // The child has connected (a reply came, or the accept found it); until
    // then it must by i64AcceptBy (ms, steady clock).
    bool blConnected = false;
    int64_t i64AcceptBy = 0;
  };
  // The exchange gives up the database lock before the adapter's mutex, so
  // that no wait for the Dravix process runs under it.
  class CExchangeLock {
   public:
    explicit CExchangeLock(std::recursive_mutex& a_mutex) : m_lock(a_mutex) {}

   private:
    CDbLockRelease m_dblockrelease;
    std::lock_guard<std::recursive_mutex> m_lock;
  };

  void SetLogPath();
  // A copy of the reply kept for the calling thread; null stays null.
  static const char* KeepReply(const char* a_szReply);
  // A copy of the reply for a parse after the exchange; none for none.
  static std::optional<std::string> Copy(const char* a_szReply);
  // The unit's record, or null (logged) for a unit other than 1 and 2.
  DevNexilUnit* Unit(EDBID_FIRMWARE a_edbidfirmware);
  // The unit's file object, taken out of its cleared record (null for a
  // unit other than 1 and 2); the caller frees it outside the mutex
  // (Release). A Dravix process is stopped and its objects go.
  COsFile* ClearUnit(EDBID_FIRMWARE a_edbidfirmware);
  static void Release(COsFile* a_posfile);
  bool ModelDirectory(EDBID_FIRMWARE a_edbidfirmware, char* a_szModel, size_t a_sizetModel);
  // <SystemDirectory>/<model>/lib/<a_szName>; false when it does not fit.
  static bool LibraryPath(const char* a_szModel, const char* a_szName, char* a_szPath, size_t a_sizetPath);
  // Whether the unit's library is there to take tasks.
  static bool Loaded(DevNexilUnit& a_devnexilunit);
  // Load after the model directory is known, under the mutex.
  EOSSTS LoadMode(EDBID_FIRMWARE a_edbidfirmware, const char* a_szModel, EDEVNEXILCALL a_edevnexilcall,
                  COsFile** a_pposfileGone);
  // A library loaded and found wanting comes back in a_pposfileGone, to be
  // released outside the mutex.
  EOSSTS LoadInProcess(EDBID_FIRMWARE a_edbidfirmware, const char* a_szModel, COsFile** a_pposfileGone);

  // The Dravix process (dev_cdevnexil_dravix.cpp), under the mutex.
  EOSSTS LoadDravix(EDBID_FIRMWARE a_edbidfirmware, const char* a_szModel, const char* a_szExecutable,
                    EDEVNEXILCALL a_edevnexilcall);
  // Its channel and buffer made and the child spawned (not waited for);
  // false (logged) at the first step that fails.
  bool StartDravix(DevNexilUnit& a_devnexilunit, const char* a_szModel, const char* a_szExecutable);
  static bool DravixRunning(DevNexilUnit& a_devnexilunit);
  // Before a task: the child connected, or it is waited for up to the
  // accept limit (a message queue's first reply stands for that wait);
  // false (logged) when it did not come.
  static bool ConnectDravix(DevNexilUnit& a_devnexilunit);
  static bool IsMessageQueue(const DevNexilUnit& a_devnexilunit);
  static int64_t DravixDeadline(const DevNexilUnit& a_devnexilunit, int64_t a_i64Deadline);
  // At the accept limit: whether the child has opened its queues after all
  // (logged when not).
  static bool ConnectedByNow(DevNexilUnit& a_devnexilunit);
  const char* ExchangeDravix(EDBID_FIRMWARE a_edbidfirmware, DevNexilUnit& a_devnexilunit,
                             COsXmlTask* a_posxmltask);
  // Whether the channel holds nothing of an earlier reply but white space.
  static bool DravixInStep(DevNexilUnit& a_devnexilunit);
  // Reads one reply, up to "</task>", into the unit's buffer by the
  // deadline (ms, steady clock); false (logged) when it cannot be had.
  static bool ReadDravix(DevNexilUnit& a_devnexilunit, int64_t a_i64Deadline);
  // The channel failed: the child is stopped, the channel goes.
  static void DravixGone(DevNexilUnit& a_devnexilunit);
  // After interfaceclose: the child gets its time to end, then is stopped;
  // the Dravix objects go.
  static void EndDravix(DevNexilUnit& a_devnexilunit, bool a_blWait);

  // Under the mutex.
  bool Alive(EDBID_FIRMWARE a_edbidfirmware);
  bool CheckUnit(EDBID_FIRMWARE a_edbidfirmware);
  const char* Exchange(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask);
  // The task's new id set and the task logged: its text.
  const char* Stamp(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask);
  const char* ExchangeInProcess(EDBID_FIRMWARE a_edbidfirmware, const DevNexilUnit& a_devnexilunit,
                                COsXmlTask* a_posxmltask);
  // A task of one command at level 1; a_sizetExtra is the room its content
  // needs beyond the usual. False (logged) without a builder.
  bool Begin(const char* a_szCommand, size_t a_sizetExtra = 0);
  // Closes the command and the task and exchanges it; null for a task that
  // could not be built.
  const char* Send(EDBID_FIRMWARE a_edbidfirmware, const char* a_szCommand);
  // The reply through the parser, under the parser's mutex (with the
  // database: the caller holds the database lock): 0, or 1 with the message
  // logged; the reply's device status in *a_pedevsts.
  EOSSTS Parsed(const char* a_szReply, EDBID_FIRMWARE a_edbidfirmware, bool a_blDatabase, const char* a_szFailed,
                EDEVSTS* a_pedevsts = nullptr);
  // The same for a reply copied out of the exchange, with the database lock
  // taken here.
  EOSSTS ParsedIntoDatabase(const std::optional<std::string>& a_ostrReply, EDBID_FIRMWARE a_edbidfirmware,
                            const char* a_szFailed, EDEVSTS* a_pedevsts = nullptr);
  // A task of one command without arguments, its reply parsed without the
  // database.
  EOSSTS SendParsed(EDBID_FIRMWARE a_edbidfirmware, const char* a_szCommand, const char* a_szFailed);
  const char* InterfaceCloseLocked(EDBID_FIRMWARE a_edbidfirmware);
  const char* SessionEndLocked(EDBID_FIRMWARE a_edbidfirmware);
  const char* ImageEndLocked(EDBID_FIRMWARE a_edbidfirmware, const char* a_szImageFilename);
  // The unit of a camera id.
  static EDBID_FIRMWARE UnitOfCamera(const char* a_szCameraId);
  // The text between "<reportimage>" and "</reportimage>" into m_vcExtract.
  bool ExtractImage(const char* a_szXml);
  // setinput or setbaffle: the extract of the record to its camera's unit.
  const char* SendImage(const char* a_szCommand, const char* a_szXml, EDBID_FIRMWARE* a_pedbidfirmware);
  // The text of the first child of the reply's second child (the version
  // element of getversion and getversionuser); false when there is none.
  bool ReadVersion(EDBID_FIRMWARE a_edbidfirmware, const char* a_szCommand, char* a_szVersion, size_t a_sizetVersion);
  void GetVersionOfUnit(EDBID_FIRMWARE a_edbidfirmware);

  CDatabase* m_pdatabase = nullptr;
  CReportImage* m_preportimage = nullptr;
  COsXml* m_posxml = nullptr;  // reads the version replies
  COsXmlTask* m_posxmltask = nullptr;
  size_t m_sizetBuilder = 0;  // the builder's capacity
  EDEVNEXILCALL m_edevnexilcall = DEV_NEXILCALL_NONE;  // requested
  DevNexilUnit m_adevnexilunit[s_iUnits];
  uint64_t m_u64TaskId = 0;
  bool m_blScanBegun = false;
  std::atomic<bool> m_blDisabled{false};
  bool m_ablSessionBegun[s_iUnits] = {};
  bool m_ablResourceBegun[s_iUnits] = {};
  bool m_blScanActive = false;
  char m_aszTagTask[s_iUnits][s_sizetTag] = {};
  char m_aszTagReply[s_iUnits][s_sizetTag] = {};
  CPassthroughDravix* m_ppassthroughdravix = nullptr;
  std::vector<char> m_vcExtract;  // an image record's extract
  std::recursive_mutex m_mutex;
  std::mutex m_mutexParser;  // m_preportimage
};
