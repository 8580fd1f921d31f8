// The driver object: the one object behind the exported driver entry. It
// owns every object of a driver session (the task builders, the capability
// database, the command dispatcher and state machine, the device facade and
// the two user-interface bridges) and runs one task at a time through its
// gates: the event list answered at once, the GUI bridge's interface lock,
// the offline gate, the resource-lock tasks it answers itself, and the
// device's resource lock taken for the task.
//
// Threads: every task but the event list runs under the driver's task lock,
// one recursive mutex for the process (first in the lock order of
// db_cdblock.h), from the GUI bridge's interface lock to its unlock. The
// event list takes only the lock of its own builder, so that it is
// answered while another front-end thread waits in a long task; the entry
// point keeps the object alive around it.
#pragma once

#include <atomic>
#include <cstddef>
#include <initializer_list>
#include <mutex>
#include <string>

#include "db_def.h"
#include "dev_def.h"
#include "drv_cdrvgui.h"
#include "os_def.h"

class CDatabase;
class CDev;
class CDrvAssistant;
class CDrvCommandFsm;
class CDrvDispatch;
class CDrvGui;
class COsThread;
class COsXmlTask;
struct DbLookup2;

// The kinds of scan the driver starts.
enum EDRVSCANTYPE : int {
  DRV_SCANTYPE_UNDEFINED = 0,
  DRV_SCANTYPE_NORMAL = 1,
  DRV_SCANTYPE_PREVIEW = 2,
  DRV_SCANTYPE_AUTOCOLORLEARN = 3,
};

// The image buffer of the learning scans, and the sizes of the builders.
constexpr size_t DRV_IMAGEBUFFER_SIZE = 0x10000;
constexpr size_t DRV_TASKBUILDER_SIZE = 0x60000;
constexpr size_t DRV_EVENTBUILDER_SIZE = 0x10000;

class CDriver {
 public:
  // Zero-filled, then Init; a failed Init throws, which the creator reads
  // as a failed creation (everything built is gone by then).
  CDriver();
  ~CDriver();
  CDriver(const CDriver&) = delete;
  CDriver& operator=(const CDriver&) = delete;

  // Builds the session's objects in order; 1 (logged "OsMemNew failed...",
  // what was built torn down) when one cannot be made.
  EOSSTS Init();
  void Cleanup();

  // Runs one task; the reply points into a builder of this object (valid
  // until the calling thread's next call). True when the session must end
  // now (the caller then destroys this object).
  bool DriverEntry(const char* a_szTask, const char** a_pszReply);
  // Answers a get of the event list (true) from the event-reply builder.
  bool CheckForGetEvent(const char* a_szTask, const char** a_pszReply);
  // Whether a task may be a get of the event list (its tags at its head;
  // CheckForGetEvent also reads its command). Reads no more than the text.
  static bool IsGetEvent(const char* a_szTask);
  // The process's task lock.
  static std::recursive_mutex& TaskMutex();

  // Accessors.
  CDrvAssistant* GetDrvAssistant() { return m_pdrvassistant; }
  DeviceLog* GetDeviceLog() { return &m_devicelog; }
  bool GotImage() const { return m_blGotImage.load(); }
  void SetGotImage(bool a_blGotImage) { m_blGotImage.store(a_blGotImage); }
  CDatabase* GetDatabase() { return m_pdatabase; }
  CDev* GetDev() { return m_pdev; }
  CDrvCommandFsm* GetCommandFsm() { return m_pdrvcommandfsm; }

  // Scan control (drv_cdriver_scan.cpp, drv_cdriver_rescan.cpp), the
  // learning scans (drv_cdriver_learn.cpp), the window list
  // (drv_cdriver_windowlist.cpp) and plug-and-play (drv_cdriver_pnp.cpp).
  // ScanBegin answers 0, or 1 with its status reply built and the scan
  // ended; ScanEnd(true) also stops and joins the flatbed rescan thread.
  // With a scan's serial (CDev::ScanSerialBegun), ScanEnd ends only that
  // scan, and GetOutput answers DEV_STS_CANCEL once that scan is over.
  EOSSTS ScanBegin(EDRVSCANTYPE a_edrvscantype, bool a_blAttributes);
  EOSSTS ScanEnd(bool a_blDeleteRescanThread, uint64_t a_u64Scan = 0);
  EDEVSTS GetOutput(char* a_szBuffer, int a_iSize, int* a_piImageCount, int* a_piSheetCount,
                    int* a_piSheetImageCount, uint64_t a_u64Scan = 0);
  EOSSTS AutoColorLearn();
  EOSSTS EcdoCustomLearn();
  bool NeedRescanFromFlatbed();
  EOSSTS ImageQueuePush(bool a_blToApplication, EDEVSTS a_edevsts, const char* a_szText);
  EOSSTS CmdReportWindowList(bool a_blAsTask, COsXmlTask* a_posxmltask = nullptr);
  void PnpChange(DevCallBackData* a_pdevcallbackdata);
  static EOSSTS PnpChangeProc(void* a_pvDevCallBackData);
  static EOSSTS AdfToFlatbedProc(void* a_pvDriver);
  EOSSTS ScanBeginAdfToFlatbed();

  // Tests: the learning scans' wait for an image or the end (120 s); a
  // negative time restores it.
  static void SetLearnWaitLimit(long a_lMilliseconds);

 private:
  // The scan of a known type started as ScanBegin starts it: 0, or the
  // device status that stopped it (nothing answered, nothing shown, the
  // scan not ended).
  EDEVSTS StartScan(EDRVSCANTYPE a_edrvscantype, bool a_blAttributes);
  // The GUI bridge's answer to an action (its record, when given, carries
  // the action); 49 (no GUI) without a bridge.
  EOSSTS GuiAction(EDRVGUIACTION a_edrvguiaction, CDrvGuiBase* a_pdrvguibase = nullptr);
  EOSSTS GuiMessage(EDRVGUIACTION a_edrvguiaction, int32_t a_i32Dialog, int32_t a_i32Message, const char* a_szText,
                    long a_lFlag);
  // Whether getoutput's statuses may be shown as messages in the GUI.
  bool MessagesShown();
  // The no-memory and image-library error messages of getoutput.
  void ShowProcessError(const char* a_szLastError, const char* a_szLabel, const char* a_szDefault,
                        bool a_blMessages);
  EDEVSTS EndOfOutput(EDEVSTS a_edevsts, bool a_blMessages);
  // A capability set under the database lock (logged when refused).
  void SetLong(EDBID a_edbid, long a_lValue);
  // The flatbed rescan thread's work, and its stop and join.
  static void* OsThreadProcScanBeginAdfToFlatbed(void* a_pvThread);
  void RescanFromFlatbed();
  void AllowRescan();
  void StopRescanThread();
  // One windowitem of the window list: 0, or 1 (logged) for a bin without
  // a camera or a value without its lookup entry.
  EOSSTS AddWindowItem(COsXmlTask* a_posxmltask, int a_iDepth, EDBID_WINDOWBIN a_edbidwindowbin,
                       DbLookup2* a_pdblookup2WindowBin, DbLookup2* a_pdblookup2Format);
  // Whether one device of a plug-and-play list is kept (the model's flatbed
  // as configured, which a removal or an addition updates).
  struct PnpFlatbed;
  bool PnpKeep(const std::string& a_strPnp, const std::string& a_strModel, const std::string& a_strDeviceType,
               const std::string& a_strDeviceFilename, PnpFlatbed* a_ppnpflatbed);
  // A learning scan's loop over getoutput: the images and the end.
  struct LearnResult;
  EOSSTS LearnLoop(LearnResult* a_plearnresult);
  EOSSTS AutoColorResult(EOSSTS a_eosstsEnd, int a_iSheets, EDBBIN a_edbbin, long a_lAmount, long a_lThreshold);
  // The gates and the dispatch of one task, under the task lock; the text
  // the GUI bridge's unlock is given.
  const char* RunTask(const char* a_szTask, const char** a_pszReply);
  // The time-out of the per-task resource lock (0: none taken), or -1 when
  // the offline gate answered the task.
  long LockTimeout(const char* a_szTask, const char** a_pszReply);
  // Takes the device's resource lock for the task: true when the task may
  // go on (*a_pblLocked tells whether it holds the lock).
  bool TakeResourceLock(const char* a_szTask, long a_lTimeout, bool* a_pblLocked);
  void Dispatch(const char* a_szTask, const char** a_pszReply);
  // A reply of the driver's own: this task's ids and the status word.
  void Answer(const char* a_szTask, const char* a_szStatus, const char** a_pszReply);
  // The GUI bridge's unlock with its text.
  void Unlock(const char* a_szName);
  // Whether the task under way is that command (its element's name).
  bool IsCommand(const char* a_szCommand) const;
  bool IsAnyCommand(std::initializer_list<const char*> a_listCommands) const;

  COsXmlTask* m_posxmltask = nullptr;
  COsXmlTask* m_posxmltaskEventReply = nullptr;
  CDrvCommandFsm* m_pdrvcommandfsm = nullptr;
  CDrvDispatch* m_pdrvdispatch = nullptr;
  CDatabase* m_pdatabase = nullptr;
  CDev* m_pdev = nullptr;
  CDrvGui* m_pdrvgui = nullptr;
  CDrvAssistant* m_pdrvassistant = nullptr;
  bool m_blDestroy = false;
  // The command of the task under way, as parsed (empty for a text that is
  // no task of one command): the gates go by it, never by tags found in the
  // task's arguments.
  char m_szCommand[64] = {};
  DeviceLog m_devicelog = {};
  char m_acImageBuffer[DRV_IMAGEBUFFER_SIZE] = {};
  // Set by the first resourcelock task: from then on the front end alone
  // takes and releases the device's lock.
  bool m_blExplicitLock = false;
  std::atomic<bool> m_blFlatbedRemoved{false};
  CDrvGuiInterfaceLock* m_pdrvguiinterfacelock = nullptr;
  CDrvGuiInterfaceUnlock* m_pdrvguiinterfaceunlock = nullptr;
  std::atomic<bool> m_blGotImage{false};
  // The flatbed rescan thread (one per scan) and its stop flag; the mutex
  // guards the thread object between the scan thread that starts it and
  // the task that ends the scan.
  COsThread* m_posthreadAdfToFlatbed = nullptr;
  std::atomic<bool> m_blStopRescan{false};
  std::mutex m_mutexRescan;
  // Guards the event-reply builder.
  std::mutex m_mutexEventReply;
};
