// A simulated scanner unit behind the device-manager entry ScannerEntry: one
// task text in, one reply text out. The unit moves through the states
// loaded, open (interfaceopen), session (sessionbegin) and scanning
// (scanbegin); a task that does not fit the state is answered
// "invalidstate". Images are written as files into the configured
// directory; callbacks into the caller (open completed, image available,
// connection changed, button pressed, plug-and-play change) come from the
// unit's own thread only. Every task is recorded in the task log when one
// is named (CSimConfig::TaskLogPath).
//
// One object per loaded library; one lock guards it, so tasks from several
// threads are served one after the other. Callbacks run without that lock,
// so a callback may send tasks of its own. The one call that waits for a
// callback is interfaceclose: it returns once a callback already running has
// returned, and none comes after it.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "sim_csimconfig.h"
#include "sim_csimnode.h"
#include "sim_csimstreams.h"
#include "sim_csimworker.h"

class CSimScanner {
 public:
  CSimScanner() = default;
  ~CSimScanner();
  CSimScanner(const CSimScanner&) = delete;
  CSimScanner& operator=(const CSimScanner&) = delete;

  // The reply to one task; it stays valid until the calling thread's next
  // call.
  const char* Entry(const char* a_szTask);

 private:
  enum ESIMSTATE : uint32_t {
    SIM_STATE_LOADED = 1,
    SIM_STATE_OPEN = 2,
    SIM_STATE_SESSION = 4,
    SIM_STATE_SCANNING = 8,
  };
  // What a session is busy with between begin and end tasks of its own.
  enum ESIMACTIVITY : int {
    SIM_ACTIVITY_NONE = 0,
    SIM_ACTIVITY_SETUP = 1,
    SIM_ACTIVITY_CALIBRATE = 2,
    SIM_ACTIVITY_DIAGNOSTIC = 3,
    SIM_ACTIVITY_DOWNLOAD = 4,
  };
  // A handler answers the status word and adds its report elements.
  typedef const char* (CSimScanner::*PfnSimCommand)(const CSimNode& a_simnodeCommand, CSimNode& a_simnodeReply);
  struct SimCommand {
    const char* szName;
    uint32_t u32States;  // ESIMSTATE bits in which the command is accepted
    bool blOffline;      // also accepted while the unit is disconnected
    PfnSimCommand pfn;
  };
  struct SimCallback {
    uint64_t u64Function;
    uint64_t u64Argument;
  };

  static const SimCommand s_asimcommand[];

  const char* Process(const char* a_szTask, uint64_t& a_u64Id, CSimNode& a_simnodeCommand, CSimNode& a_simnodeReply);
  static const SimCommand* FindCommand(const std::string& a_strName);
  // Starts or ends an activity; false when another one runs (or, for the
  // end, this one does not).
  bool BeginActivity(ESIMACTIVITY a_esimactivity);
  bool EndActivity(ESIMACTIVITY a_esimactivity);
  bool TakeBusy();

  // Interface and session (sim_csimscanner.cpp).
  const char* InterfaceOpen(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* InterfaceClose(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* SessionBegin(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* SessionEnd(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* Success(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* ResourceLock(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* RegisterCallback(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* NotifyDeviceStatus(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  void EndSession();
  void CompleteOpen(uint64_t a_u64Session, uint64_t a_u64Function, uint64_t a_u64Argument);

  // Scans (sim_csimscanner_scan.cpp).
  const char* ScanBegin(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* ScanEnd(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* ScanRequestStop(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* GetOutput(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* ImageEnd(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* UserInput(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  void StartJob(long a_lSheets);
  void EndJob();
  const char* NextItem(CSimNode& a_simnodeReply);
  const char* DeliverImage(CSimNode& a_simnodeReply);
  const char* DeliverUserAction(const std::string& a_strUserAction, CSimNode& a_simnodeReply);
  // Writes the page of a stream (the index of the sheet's images) to a new
  // file, or links it to the job's pooled copy; its size, 0 after a failure.
  uint64_t WritePage(const std::string& a_strPath, size_t a_sizetStream, const SimStream& a_simstream, long a_lSheet,
                     bool a_blBlank);
  void DropPagePool();
  bool JobDone() const;
  int64_t SheetReadyMs() const;
  int FaultAtSheet() const;
  bool InteractiveMultifeed() const;
  const char* DeliverDecision(CSimNode& a_simnodeReply);
  void OweImageAvailable(int64_t a_i64DueMs);
  void ImageAvailable(uint64_t a_u64Job);
  void Disconnect();
  // Calls a registered callback with a message naming it (on the thread).
  void Notify(const char* a_szName, const std::string& a_strExtra, uint64_t a_u64Session);

  // The callback knobs (sim_csimscanner_callbacks.cpp): the unit drops off
  // line some time after its session began and comes back some time later;
  // a button is pressed, or a flatbed added or removed, some time after the
  // caller registered for it.
  void PostOffline(uint64_t a_u64Session);
  void PostRegistered(const std::string& a_strName);
  void PostOnline(uint64_t a_u64Session);
  void GoOffline(uint64_t a_u64Session);
  void GoOnline(uint64_t a_u64Session);
  std::string PnpChangeMessage() const;

  // Setup and attribute tasks (sim_csimscanner_setup.cpp).
  const char* SetupBegin(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* SetupEnd(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* SetConfig(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* CreateCamera(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* WindowAdd(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* SetWindowOrder(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  bool HasCamera(const std::string& a_strCameraId, bool* a_pblRear) const;
  void DefaultWindows();

  // Reports and service tasks (sim_csimscanner_service.cpp).
  const char* QuerySupport(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* GetVersionUser(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* GetConfig(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* MessageRelay(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* GetOcpButton(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  // Only a model whose inquiry supports "ecdo" knows its choices.
  const char* GetEcdo(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* GetConsumableMeters(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* SetConsumableMeter(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* GetCartridgeDetected(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* GetLog(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* GetDebugLog(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* ClearLog(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* Download(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* Diagnostic(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* Calibrate(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  bool WriteLogFile(const char* a_szKind, std::string& a_strPath);
  std::string ConfigValue(const std::string& a_strId) const;

  // The reports that describe the unit (sim_csimscanner_report.cpp).
  CSimNode ReportInquiry(bool a_blInterfaceOpen) const;
  CSimNode ReportConfig() const;
  static std::string InquiryValues(const char* a_szId);
  // Whether a blank-separated list holds the word.
  static bool IsListed(const std::string& a_strList, const std::string& a_strWord);
  std::string NewFilePath(const char* a_szKind, const char* a_szExtension);

  std::mutex m_mutex;
  uint32_t m_u32State = SIM_STATE_LOADED;
  ESIMACTIVITY m_esimactivity = SIM_ACTIVITY_NONE;
  long m_lDiagnosticDepth = 0;  // diagnostic begins not yet ended: they nest
  CSimConfig m_simconfig;
  bool m_blOffline = false;
  bool m_blStopWorker = false;  // set by interfaceclose: the thread ends once the lock is released
  uint64_t m_u64Session = 0;    // changes at every session begin and end: older jobs see it
  long m_lLockTasks = 0;        // resourcelock and resourcebegin tasks since interfaceopen
  uint64_t m_u64Job = 0;        // changes at every scan begin and end
  std::map<std::string, SimCallback> m_mapCallback;
  std::map<std::string, std::string> m_mapConfig;  // values set by setconfig
  std::map<std::string, long> m_mapMeter;          // consumable meters
  std::vector<std::string> m_vstrLogFile;          // log files written, removed at interfaceclose
  std::string m_strCalibrationType;
  uint64_t m_u64FileCounter = 0;
  long m_lPageCount = 0;  // sheets fed since the interface opened
  long m_lRelayed = 0;    // messages relayed since the interface opened

  // Streams: those in force, and those of a setup that has not ended.
  CSimStreams m_simstreams;

  // The current job.
  bool m_blLampWarm = false;
  int64_t m_i64WarmEndMs = 0;
  bool m_blWarming = false;
  long m_lBuffers = 1;
  long m_lSheets = 0;
  long m_lSheet = 0;        // index of the sheet being delivered
  size_t m_sizetImage = 0;  // next image of that sheet
  bool m_blSheetEnd = false;
  bool m_blStopRequested = false;
  // An interactive multifeed: the sheet's images are shown to the user
  // (user-action records), its end asks the user, and the job waits for
  // the user's input.
  bool m_blShowSheet = false;
  bool m_blDecisionOwed = false;
  bool m_blAwaitingInput = false;
  const char* m_szFault = nullptr;
  int64_t m_i64StartMs = 0;
  long m_lImageCounter = 0;
  long m_lOutputs = 0;  // getoutputs of the job
  long m_lMultifeeds = 0;
  long m_lPatchesFront = 0;
  long m_lPatchesRear = 0;
  bool m_blOwed = false;     // a "noimageready" was answered: imageavailable follows
  bool m_blOwedJob = false;  // the job that will call it is posted
  std::set<std::string> m_setOutstanding;  // image files handed out and not yet ended
  // The job's pooled pages (pagepool) by stream and blankness: path and size.
  std::map<std::pair<size_t, bool>, std::pair<std::string, uint64_t>> m_mapPagePool;
  int64_t m_i64PaperMs = 0;  // when paper is in the feeder (paperafter)

  std::atomic<int> m_iReplyId{0};
  CSimWorker m_simworker;
};
