// The GUI bridge itself: the settings GUI as a child process on a link
// (CDrvUiLink), the actions the driver asks of it, the interface lock
// shared with the driver's tasks, and the commands the GUI sends back
// (drv_cdrvguidispatcher.cpp).
//
// GUI state: 0 none, 1 starting, 2 connected, 3 ready ("uiready"), 4 ended
// or failed; the link keeps it, an action that needs a record and gets none
// forces 4. The no-GUI flag is set from construction to the start action
// and again after the stop action; while it is set, sending and waiting
// return at once.
//
// The interface lock is counted and re-entrant, and does nothing once the
// GUI is ready: before that it keeps the driver's tasks and the GUI's
// commands apart. Only its owner releases it; the lock of a thread that
// has ended is taken over; a stop wakes its waiters.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "dev_def.h"
#include "drv_cdrvgui.h"
#include "drv_cdrvguireports.h"
#include "drv_cdrvuilink.h"
#include "os_def.h"

class CDatabase;
class CDev;
class CDriver;
class COsXml;
struct CDrvGuiBase;
enum EDRVGUIACTION : int32_t;

// Status of a reply to the GUI: any other value is written "fail".
enum EDRVSTS : int32_t {
  DRV_STS_SUCCESS = 0,
  DRV_STS_BADVALUE = 7,
  DRV_STS_BADCMD = 22,
};

// The waits of the bridge's own, with a test seam (negative: the default).
enum EDRVGUIWAIT : int {
  DRV_GUIWAIT_IDLE,      // 7 s: a health check when nothing else was sent
  DRV_GUIWAIT_BUSY,      // 1 s: the same while scanning or in diagnostics
  DRV_GUIWAIT_RUNNING,   // 5 s: IsGuiRunning waits for a start in progress
  DRV_GUIWAIT_LOCKSTEP,  // 100 ms: a waiter of the interface lock looks at its owner
  DRV_GUIWAIT_MESSAGE,   // 60 s: a message waits for the GUI to be ready
  DRV_GUIWAIT_COUNT
};
long DrvGuiWaitLimit(EDRVGUIWAIT a_edrvguiwait);
void DrvGuiSetWaitLimit(EDRVGUIWAIT a_edrvguiwait, long a_lMilliseconds);

// One reply to the GUI, composed on the calling thread.
class CDrvGuiTask {
 public:
  // The header; the reply id is the GUI's task id, 0 for a task sent unasked.
  void TaskBegin(uint64_t a_u64Reply);
  void CmdStatus(int32_t a_i32Status);
  void TaskEnd();
  // Report elements (drv_cdrvguireports.cpp); the text grows as needed.
  void Append(std::string_view a_strv) { m_str.append(a_strv); }
  size_t Size() const { return m_str.size(); }
  const char* Text() const { return m_str.c_str(); }

 private:
  std::string m_str;
};

class CDrvGuiImpl : public CDrvUiLinkOwner {
 public:
  CDrvGuiImpl(CDatabase* a_pdatabase, CDev* a_pdev, CDriver* a_pdriver, const char* a_szPath);
  ~CDrvGuiImpl() override;
  CDrvGuiImpl(const CDrvGuiImpl&) = delete;
  CDrvGuiImpl& operator=(const CDrvGuiImpl&) = delete;

  EOSSTS Action(EDRVGUIACTION a_edrvguiaction, CDrvGuiBase* a_pdrvguibase);

  // 0 queued (or dropped: no GUI, halted, empty), 1 the link is lost.
  EOSSTS SendToGui(const char* a_szText, const char* a_szFile, int a_iLine);
  // 0 ready, 1 the GUI ended (or has no event), 21 not ready in time.
  EOSSTS WaitForGui(long a_lMilliseconds);
  // False when the lock was not taken (ready, WIA host, the bridge stopping).
  bool InterfaceLock(const char* a_szName);
  void InterfaceUnlock(const char* a_szName);
  bool IsGuiRunning();
  int32_t GetGuiState() const;
  bool NoGui() const { return m_blNoGui.load(); }
  const char* GetPath() const { return m_szPath; }
  CDrvUiLink& GetLink() { return m_drvuilink; }

  // A whole reply: header, status, end; sent.
  EOSSTS CreateUiTaskReportStatus(uint64_t a_u64Reply, int32_t a_i32Status);

  // The dispatcher (drv_cdrvguidispatcher.cpp): its table and handlers.
  static void SortDispatcherTable();
  EOSSTS DispatcherUiReady(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherUiVisible(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherDialogCleared(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherMessageCleared(COsXml* a_posxml, long long a_llId);
  static EOSSTS DispatcherUiReadyDelegate(CDrvGuiImpl* a_pdrvguiimpl, COsXml* a_posxml, long long a_llId);
  static EOSSTS DispatcherUiVisibleDelegate(CDrvGuiImpl* a_pdrvguiimpl, COsXml* a_posxml, long long a_llId);
  static EOSSTS DispatcherDialogClearedDelegate(CDrvGuiImpl* a_pdrvguiimpl, COsXml* a_posxml, long long a_llId);
  static EOSSTS DispatcherMessageClearedDelegate(CDrvGuiImpl* a_pdrvguiimpl, COsXml* a_posxml, long long a_llId);

  // Value reads and registration (drv_cdrvguidispatcher_values.cpp).
  EOSSTS DispatcherRegister(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherGet(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherGetRegistered(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherGetValues(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherGetValuesRegistered(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherGetValuesRegisteredCurrentBin(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherGetAllCameraWindowValues(COsXml* a_posxml, long long a_llId);
  static EOSSTS DispatcherRegisterDelegate(CDrvGuiImpl* a_pdrvguiimpl, COsXml* a_posxml, long long a_llId);
  static EOSSTS DispatcherGetDelegate(CDrvGuiImpl* a_pdrvguiimpl, COsXml* a_posxml, long long a_llId);
  static EOSSTS DispatcherGetRegisteredDelegate(CDrvGuiImpl* a_pdrvguiimpl, COsXml* a_posxml, long long a_llId);
  static EOSSTS DispatcherGetValuesDelegate(CDrvGuiImpl* a_pdrvguiimpl, COsXml* a_posxml, long long a_llId);
  static EOSSTS DispatcherGetValuesRegisteredDelegate(CDrvGuiImpl* a_pdrvguiimpl, COsXml* a_posxml,
                                                      long long a_llId);
  static EOSSTS DispatcherGetAllCameraWindowValuesDelegate(CDrvGuiImpl* a_pdrvguiimpl, COsXml* a_posxml,
                                                           long long a_llId);
  // Information, versions, labels, debug and simulation settings
  // (drv_cdrvguidispatcher_info.cpp).
  EOSSTS DispatcherQuerySupport(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherGetAllVersions(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherGetLabels(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherGetLogDirectory(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherReportVersionUser(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherSetDebug(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherSetSimulation(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherQuerySimulation(COsXml* a_posxml, long long a_llId);
  // Colour-dropout requests and the image library's pass-through
  // (drv_cdrvguidispatcher_ecdo.cpp); the learning passes
  // (drv_cdrvguidispatcher_learn.cpp).
  EOSSTS DispatchEcdoCustom(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherPassThroughNexil(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherAutoColorLearn(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherEcdoCustomLearnVariability(COsXml* a_posxml, long long a_llId);
  // Profiles (drv_cdrvguidispatcher_profile.cpp): the profile list's
  // commands, and the "profile" selection of setvalue (the name its value).
  EOSSTS DispatcherCreate(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherRename(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherDestroy(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherImport(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherExport(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherReset(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherSetValueProfile(COsXml* a_posxml, long long a_llId, const char* a_szName);
  // The table's forwarder to any handler.
  template <EOSSTS (CDrvGuiImpl::*PFN)(COsXml*, long long)>
  static EOSSTS DispatcherDelegate(CDrvGuiImpl* a_pdrvguiimpl, COsXml* a_posxml, long long a_llId) {
    return (a_pdrvguiimpl->*PFN)(a_posxml, a_llId);
  }
  // Value changes (drv_cdrvguidispatcher_set.cpp, _setenum.cpp, _setlist.cpp),
  // the preview they may ask for (drv_cdrvguidispatcher_setpreview.cpp) and
  // the windows (drv_cdrvguidispatcher_window.cpp).
  EOSSTS DispatcherSet(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherSetValue(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherSetValueList(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherUpdateSuspend(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherUpdateResume(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherWindowAdd(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherWindowDelete(COsXml* a_posxml, long long a_llId);
  // The subcommand element a_posxml is on, for the capability named; under
  // the database lock. 0, or 1 (logged) with the list as it was.
  EOSSTS DispatchSetValueSubCommand(COsXml* a_posxml, const char* a_szName);
  // One value of setvaluelist into a capability and its linked copies;
  // under the database lock. 0, or the database's refusal (1 for a text
  // that names nothing).
  EDBSTS SetValueLexicon(CDbDatum* a_pdbdatum, const char* a_szText);
  // The preview question, asked with the database lock released; true:
  // the user wants the preview scanned again.
  bool ShowPreviewRescanMessage();
  // The reply to a value-setting command: the reports a change left, sent
  // (or, with a buffer, copied into it). 0.
  EOSSTS SendDispatcherSetValueReportsToGui(uint64_t a_u64Reply, EDRVREPORT a_edrvreport, CDbDatum* a_pdbdatum,
                                            char* a_szBuffer, size_t a_sizetBuffer);
  CDrvGuiReports& GetReports() { return m_drvguireports; }

  // Scan, preview and service commands (drv_cdrvguidispatcher_scan.cpp,
  // drv_cdrvguidispatcher_service.cpp); the table reaches them through
  // DispatcherDelegate.
  EOSSTS DispatcherRequestScan(COsXml* a_posxml, long long a_llId);
  // Also run unasked (no command element, task id 0).
  EOSSTS DispatcherRequestPreview(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherRequestScanCancel(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherRequestPreviewCancel(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherRequestOk(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherRequestCancel(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherImageEnd(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherCalibrateBegin(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherCalibrateRun(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherCalibrateEnd(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherCalibrateReset(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherDiagnosticBegin(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherDiagnosticRun(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherDiagnosticEnd(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherResetScanner(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherClearLog(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherDownloadBegin(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherDownloadRun(COsXml* a_posxml, long long a_llId);
  EOSSTS DispatcherDownloadEnd(COsXml* a_posxml, long long a_llId);
  // The image element of a reply: 0, or 3 (logged) for a null or empty text.
  EOSSTS CmdReportImage(CDrvGuiTask& a_drvguitask, const char* a_szReportImage);

  // The info-box buttons the GUI answered (ok, cancel, yes, no).
  enum EBUTTON : int { BUTTON_OK, BUTTON_CANCEL, BUTTON_YES, BUTTON_NO, BUTTON_COUNT };
  bool GetButton(EBUTTON a_ebutton) const { return m_ablButton[a_ebutton].load(); }
  // Dialog-shown flags by dialog kind (EDEVDLG 1 to 8; 4 and 7 have none).
  bool GetDialogShown(int a_iDialog) const;
  void SetDialogShown(int a_iDialog, bool a_blShown);

  // The message manager and the info box (drv_cdrvguimessages.cpp). The
  // answer goes to a_pedbinfobutton when it is a real pointer (above 1);
  // 1 waits and stores nothing. 0 done, 1 failure, 21 another info
  // message is shown.
  EOSSTS MessageManager(EDEVDLG a_edevdlg, EDEVMSG a_edevmsg, const char* a_szText, long a_lValue,
                        EDEVBUTTONS a_edevbuttons, EDBINFOBUTTON* a_pedbinfobutton);
  EOSSTS MessageManagerAndWaitForOk(EDEVDLG a_edevdlg, EDEVMSG a_edevmsg, const char* a_szText);
  EOSSTS MessageManagerClear(EDEVDLG a_edevdlg);
  EOSSTS MessageManagerUiCreate(EDEVMSG a_edevmsg);
  EOSSTS MessageManagerUiDestroy();
  // The button of an info box: 1 ok or yes, 2 cancel (also when the GUI is
  // gone or stopping), 4 no; 0 on time-out or when no answer can come
  // (nothing with buttons awaits one); negative: no time-out.
  EDBINFOBUTTON TestInfoBox(long a_lMilliseconds);
  void ClearInfoBox(bool a_blClearDialog);
  void GuiSetState(EGUISTATE a_eguistate);
  // Health checks (drv_cdrvguihealth.cpp): one scanning check, "detecting"
  // with the label of the key.
  EOSSTS SendHealthCheck(const char* a_szLabelKey);
  // The GUI answered the info message being shown.
  static void ClearCurrentMessage();
  bool GetScanning() const { return m_blScanning.load(); }

  // The link's hooks.
  bool UiModelReady() override;
  long UiIdleWait() override;
  bool UiHealthCheck(char* a_szTask, size_t a_sizetTask) override;
  bool UiFastPath(const char* a_pcTask, size_t a_sizetTask, uint64_t a_u64Id) override;
  void UiDispatch(COsXml* a_posxml) override;
  void UiBadTask(uint64_t a_u64Id, bool a_blId) override;
  void UiLinkLost(bool a_blConnected) override;

 private:
  EOSSTS RunAction(EDRVGUIACTION a_edrvguiaction, CDrvGuiBase* a_pdrvguibase);
  EOSSTS Start();
  EOSSTS Stop();
  EOSSTS Query(bool a_blYes) const { return a_blYes ? OS_STS_SUCCESS : OS_STS_FAIL; }
  void ResetFlags();
  // Dispatcher: one task's commands.
  void DispatchCommands(COsXml* a_posxml, uint64_t a_u64Id);
  // The button a dialog or message answered.
  void PressButton(const char* a_szButton);
  void WakeLockWaiters();
  // Actions of the message manager, the learning commands, the main
  // enable, the state and the info box (drv_cdrvguimessages.cpp).
  EOSSTS RunMessageAction(EDRVGUIACTION a_edrvguiaction, CDrvGuiBase* a_pdrvguibase);
  // Wakes every button wait: a button came, or the GUI is gone.
  void WakeButtonWaiters();
  // The indicator flags the message manager derives (a_blResult: the
  // caller waits for an answer).
  void MessageFlags(EDEVDLG a_edevdlg, bool a_blResult, bool* a_pblInfo, bool* a_pblWarning, bool* a_pblError,
                    bool* a_pblWarmup);
  bool ComposeMessage(EDEVDLG a_edevdlg, EDEVMSG a_edevmsg, const char* a_szText, long a_lValue,
                      EDEVBUTTONS a_edevbuttons, bool a_blInfo, bool a_blWarning, bool a_blError, bool a_blWarmup,
                      std::string* a_pstrTask);
  // Health checks (drv_cdrvguihealth.cpp).
  bool ComposeHealthCheck(std::string* a_pstrTask);
  void ComposeScanning(const char* a_szValue, const char* a_szText, std::string* a_pstrTask);
  void ComposeDiagnostics(std::string* a_pstrTask);
  // Action 29: the pending value changes, unasked, to a visible GUI.
  EOSSTS UpdateValues();
  // A composed reply, sent whole; "fail" instead when it could not be built.
  EOSSTS SendReply(uint64_t a_u64Reply, CDrvGuiTask& a_drvguitask, bool a_blBuilt);
  // The scan and service commands' helpers.
  enum EDRVSERVICEREPORT : int { DRV_SERVICEREPORT_NONE, DRV_SERVICEREPORT_MAG, DRV_SERVICEREPORT_ALL };
  EOSSTS SendServiceReply(uint64_t a_u64Reply, int32_t a_i32Status, EDRVSERVICEREPORT a_edrvservicereport);
  void CalibrateReplyTake();
  long CalibrationType();
  void PreviewModeOff();
  EOSSTS SendEmptyImageReport();
  // The value changes' helpers.
  struct SetValueOutcome;
  bool SetValueApply(COsXml* a_posxml, const char* a_szName, const char* a_szValue, SetValueOutcome* a_pout);
  bool SetValueParse(CDbDatum* a_pdbdatum, const char* a_szName, const char* a_szValue, SetValueOutcome* a_pout);
  bool SetValueStore(CDbDatum* a_pdbdatum, CDbDatum* a_pdbdatumSide, SetValueOutcome* a_pout);
  EOSSTS SetValueAnswer(uint64_t a_u64Reply, const SetValueOutcome& a_out);
  EOSSTS SendStatusAndValue(uint64_t a_u64Reply, int32_t a_i32Status, CDbDatum* a_pdbdatum);
  // The change answer: "success", the device log for LOG, the pending
  // changes (every registered value for DRV_REPORT_ALL), the per-camera
  // values of the ids given, the profile item. False when it could not be
  // composed.
  bool ComposeSetValueReports(CDrvGuiTask& a_drvguitask, uint64_t a_u64Reply, CDbDatum* a_pdbdatum,
                              const std::vector<EDBID>* a_pvecedbidAllCamera = nullptr,
                              EDRVREPORT a_edrvreport = DRV_REPORT_PENDING);
  // The preview table: whether a change needs a new preview and whether
  // the user is asked first (under the database lock, before the set).
  void PreviewAfterChange(EDBID a_edbid, long a_lNew, long a_lOld);
  // The question, and the preview a "yes" or the change asks for.
  void PreviewAskAndScan(bool a_blScanPending);
  // The preview scan itself; the rescan a "yes" marked in the database is
  // cleared after it, also when the preview could not run at all.
  void PreviewScan(long long a_llId);
  EOSSTS SendWindowReports(uint64_t a_u64Reply);

  // The preview (drv_cdrvguidispatcher_preview.cpp).
  bool PreviewArguments(COsXml* a_posxml);
  void PreviewAnswer(uint64_t a_u64Reply, int32_t a_i32Status, const char* a_szImage, bool a_blEmpty);
  bool PreviewGone();
  bool PreviewStopped();
  // Which commands the reader runs at once; false: the dispatcher's.
  bool ScanFastPath(const char* a_pcTask, size_t a_sizetTask, uint64_t a_u64Id);

  // The profile commands' arguments, each text whole in a field sized for
  // it; false (logged) when one does not fit.
  struct DrvGuiProfileRequest {
    char szId[512];
    char szText[1024];
    char szFilename[512];
    bool blFlag;
  };
  bool DispatchProfile(COsXml* a_posxml, DrvGuiProfileRequest* a_pdrvguiprofilerequest, int a_iDepth);
  // The answer to a profile command: the status alone, the status with the
  // profile report, or the full report with the status.
  EOSSTS SendProfileReport(uint64_t a_u64Reply);
  EOSSTS SendFullReport(uint64_t a_u64Reply, int32_t a_i32Status);

  EOSSTS ExportLog(uint64_t a_u64Reply, const DrvGuiProfileRequest& a_drvguiprofilerequest);

  // Colour-dropout and pass-through (drv_cdrvguidispatcher_ecdo.cpp).
  const char* ReadInner(COsXml* a_posxml);
  bool CreateEcdoCustomTask(const char* a_szAnswer, uint64_t a_u64Reply, bool a_blStatus, CDrvGuiTask& a_drvguitask);
  bool SetContent(CDrvGuiTask& a_drvguitask, uint64_t a_u64Reply, const std::string& a_strContent, bool a_blResult);
  bool WaitForPreviewTaken();

  CDriver* m_pdriver;
  CDatabase* m_pdatabase;
  CDev* m_pdev;
  bool m_blWiaHost = false;
  char m_szPath[512] = "";

  std::atomic<bool> m_blNoGui{true};
  std::atomic<bool> m_blStopRequested{false};
  std::atomic<bool> m_blForcedEnded{false};  // an action without its record
  std::atomic<bool> m_blReady{false};
  std::atomic<bool> m_blReadyWaited{false};  // the first wait after "uiready" reset the event
  std::atomic<bool> m_blVisible{false};
  std::atomic<bool> m_blScanning{false};
  std::atomic<bool> m_blHealthSuspended{false};
  std::atomic<bool> m_blShowUi{false};
  std::atomic<bool> m_blModalUi{false};
  std::atomic<bool> m_blScanRequested{false};
  std::atomic<bool> m_blOkPressed{false};
  std::atomic<bool> m_blCancelRequested{false};
  std::atomic<bool> m_blPreviewRunning{false};
  std::atomic<bool> m_blPreviewTaken{true};
  // The serial of the scan the last preview left open for the GUI's
  // "imageend", which ends only that scan; 0 before the first preview.
  std::atomic<uint64_t> m_u64PreviewScan{0};
  std::atomic<bool> m_blEcdoCustomLearnPressed{false};
  std::atomic<bool> m_blMessageCount{false};
  std::atomic<bool> m_blAutoColorLearning{false};
  std::atomic<bool> m_blVariabilityLearning{false};
  // Value changes: updates held back by updatesuspend; a change needs a
  // new preview; the user is asked before it is scanned. The dispatcher's.
  std::atomic<bool> m_blUpdatesSuspended{false};
  std::atomic<bool> m_blPreviewPending{false};
  std::atomic<bool> m_blPreviewQuestion{false};
  // The dispatcher's work buffer for inner XML, grown as needed.
  std::vector<char> m_veccWork;
  // The calibration replies go out one at a time (begin or run, and end).
  std::atomic<bool> m_blCalibrateReplyBusy{false};
  // The preview's replies and the cancel's are sent one whole at a time.
  std::mutex m_mutexPreview;
  std::atomic<bool> m_ablButton[BUTTON_COUNT] = {};
  std::atomic<bool> m_ablDialogShown[9] = {};
  // A task with buttons went to the GUI and its answer is not taken yet.
  std::atomic<bool> m_blAwaiting{false};
  // The writer fetches the diagnostic input result.
  std::atomic<bool> m_blDiagnosticInput{false};
  // Passes of the writer's wait left while the scan source is detected.
  std::atomic<long> m_lCountdown{0};

  // The button waits (a leaf: nothing is called with it held).
  std::mutex m_mutexButtons;
  std::condition_variable m_condButtons;

  // The interface lock (a leaf: the memory service and the log only).
  std::mutex m_mutexLock;
  std::condition_variable m_condLock;
  uint64_t m_u64LockOwner = 0;
  uint32_t m_u32LockCount = 0;

  // What the GUI registered and the report writers (under the database lock).
  CDrvGuiReports m_drvguireports;

  // The reader thread's own document for the fast path.
  COsXml* m_posxmlFast = nullptr;

  // Last: it stops (and calls no hook) before the rest goes.
  CDrvUiLink m_drvuilink;
};
