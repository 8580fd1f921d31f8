// The image-library adapter: connects the device engine to the image
// library (NexEntry, one task text in, one reply text out) of each scanner
// unit, 1 the feeder and 2 the flatbed. Every operation builds one task in
// the adapter's builder, exchanges it and reads the reply with the reply
// parser (CReportImage) or, for the free-memory query, CPassthroughDravix.
//
// Hosting: the library is loaded into this process (EDEVNEXILCALL 1). A
// request for the Dravix process (2, 3, or 0 which means 3) is logged and
// loaded in process as well, for now.
//
// Threads: the scan thread (setinput, getoutput, imageend) and the caller's
// thread (pass-through, relay, logs) call the adapter at once, so one
// mutex guards the builder, the parsers, the id counter and the unit
// records around build, exchange and parse. Lock order: the database lock
// (db_cdblock.h) comes before this mutex. Operations whose reply is parsed
// into the database (querysupport, setupbegin, setupend, messagerelay) and
// those that read or write the database (sessionbegin, getversion) take the
// database lock first; scanbegin and scanend hold it only to read or clear
// a data buffer, never across the exchange; setinput, setbaffle, settoggle,
// getoutput, imageend and the pass-throughs never take it. Loading and
// unloading run with the database lock given up, and the library is freed
// outside this mutex.
//
// A reply text that an operation returns is a copy kept for the calling
// thread until its next call of an operation that returns one.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "db_def.h"
#include "dev_def.h"
#include "os_def.h"

class CDatabase;
class COsFile;
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
  // already), 1 failed with the unit's record cleared. Unload (unit 1, 2 or
  // 3): sessionend and interfaceclose to each loaded unit named, then the
  // library is freed; always 0.
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
  // reply; the fixed fail reply when the library crashed; null for a unit
  // with nothing loaded.
  const char* NexEntry(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask);
  // Whether the unit can take a task.
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
  };

  void SetLogPath();
  // A copy of the reply kept for the calling thread; null stays null.
  static const char* KeepReply(const char* a_szReply);
  // The unit's record, or null (logged) for a unit other than 1 and 2.
  DevNexilUnit* Unit(EDBID_FIRMWARE a_edbidfirmware);
  // The unit's file object, taken out of its cleared record (null for a
  // unit other than 1 and 2); the caller frees it outside the mutex
  // (Release).
  COsFile* ClearUnit(EDBID_FIRMWARE a_edbidfirmware);
  static void Release(COsFile* a_posfile);
  bool ModelDirectory(EDBID_FIRMWARE a_edbidfirmware, char* a_szModel, size_t a_sizetModel);
  // A library loaded and found wanting comes back in a_pposfileGone, to be
  // released outside the mutex.
  EOSSTS LoadInProcess(EDBID_FIRMWARE a_edbidfirmware, const char* a_szModel, COsFile** a_pposfileGone);

  // Under the mutex.
  bool Alive(EDBID_FIRMWARE a_edbidfirmware);
  bool CheckUnit(EDBID_FIRMWARE a_edbidfirmware);
  const char* Exchange(EDBID_FIRMWARE a_edbidfirmware, COsXmlTask* a_posxmltask);
  // A task of one command at level 1; a_sizetExtra is the room its content
  // needs beyond the usual. False (logged) without a builder.
  bool Begin(const char* a_szCommand, size_t a_sizetExtra = 0);
  // Closes the command and the task and exchanges it; null for a task that
  // could not be built.
  const char* Send(EDBID_FIRMWARE a_edbidfirmware, const char* a_szCommand);
  // The reply through the parser: 0, or 1 with the message logged.
  EOSSTS Parsed(const char* a_szReply, EDBID_FIRMWARE a_edbidfirmware, bool a_blDatabase, const char* a_szFailed);
  // A task of one command without arguments, its reply parsed.
  EOSSTS SendParsed(EDBID_FIRMWARE a_edbidfirmware, const char* a_szCommand, bool a_blDatabase,
                    const char* a_szFailed);
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
};
