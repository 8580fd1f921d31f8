// The driver-assistant bridge itself: the assistant program as a child
// process on a link (CDrvUiLink) for the length of a scan, the actions the
// manager passes on, and the assistant's replies (its grammar, in
// drv_cdrvassistantimpl_dispatch.cpp).
//
// State: the link's (1 starting, 2 connected, 3 ready after reportsessionbegin,
// 4 ended or failed); an assistant that never became ready is held at 4.
// While it is at 4 no record is taken: the image queue hands them on.
//
// The show: 1 after reportsessionbegin or a hide, 2 after showbegin (the
// show's images become showimage tasks), 3 after showend (end of sheet),
// 5 once the decision record went to the assistant, 4 once the user's
// answer came back (and went to the application as user input).
//
// Threads: the action's caller (the scan thread through the image queue,
// the driver's task thread), and the link's four. The action's caller
// never waits for the dispatcher but for readiness; nothing waits under
// the database lock.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>

#include "drv_cdrvassistant.h"
#include "drv_cdrvuilink.h"
#include "os_def.h"

class CDatabase;
class CDriver;
class COsXml;
struct OsXmlCallback;

enum EDRVASSISTANTSHOWSTATE : int32_t {
  DRVASSISTANT_SHOWSTATE_UNDEFINED = 0,
  DRVASSISTANT_SHOWSTATE_SHOWBEGIN = 1,
  DRVASSISTANT_SHOWSTATE_SHOWIMAGE = 2,
  DRVASSISTANT_SHOWSTATE_SHOWEND = 3,
  DRVASSISTANT_SHOWSTATE_USERACTION = 4,
  DRVASSISTANT_SHOWSTATE_USERACTIONPENDING = 5,
  DRVASSISTANT_SHOWSTATE_LAST = 6,
};

// The bridge's own waits, with a test seam (negative: the default).
enum EDRVASSISTANTWAIT : int {
  DRV_ASSISTANTWAIT_READY,  // 60 s: a user action waits for the assistant's session
  DRV_ASSISTANTWAIT_IDLE,   // 7 s: a health check when nothing else was sent
  DRV_ASSISTANTWAIT_BUSY,   // 1 s: the same while diagnostics run
  DRV_ASSISTANTWAIT_SLICE,  // 100 ms: the readiness wait looks at the link's state
  DRV_ASSISTANTWAIT_COUNT
};
long DrvAssistantWaitLimit(EDRVASSISTANTWAIT a_edrvassistantwait);
void DrvAssistantSetWaitLimit(EDRVASSISTANTWAIT a_edrvassistantwait, long a_lMilliseconds);

// The statuses of WaitForDrvAssistant: not ready in time, no assistant.
constexpr EOSSTS DRV_ASSISTANT_STS_TIMEOUT = static_cast<EOSSTS>(21);
constexpr EOSSTS DRV_ASSISTANT_STS_NOASSISTANT = static_cast<EOSSTS>(49);

class CDrvAssistantImpl : public CDrvUiLinkOwner {
 public:
  CDrvAssistantImpl(CDatabase* a_pdatabase, CDriver* a_pdriver, const char* a_szPath);
  ~CDrvAssistantImpl() override;
  CDrvAssistantImpl(const CDrvAssistantImpl&) = delete;
  CDrvAssistantImpl& operator=(const CDrvAssistantImpl&) = delete;

  EOSSTS Action(EDRVASSISTANTACTION a_edrvassistantaction, CDrvAssistantAction* a_pdrvassistantaction);

  // 0 queued (or dropped: no assistant, halted, empty), 1 the link is lost.
  EOSSTS SendToDrvAssistant(const char* a_szText, const char* a_szFile, int a_iLine);
  // 0 ready, 1 not ready (the assistant ended, or the wait was ended by the
  // scan's end), 21 not ready in time, 49 without an assistant.
  EOSSTS WaitForDrvAssistant(long a_lMilliseconds);
  // The scan ends: a readiness wait ends at once, and later ones too.
  void Interrupt();

  bool NoDrvAssistant() const { return m_blNoAssistant.load(); }
  bool IsDrvAssistantRunning();
  int32_t GetState() const;
  EDRVASSISTANTSHOWSTATE GetShowState() const { return static_cast<EDRVASSISTANTSHOWSTATE>(m_i32ShowState.load()); }
  static const char* GetShowStateName(int32_t a_i32ShowState);
  void SuspendHealthCheck() { m_blHealthSuspended = true; }
  void ResumeHealthCheck() { m_blHealthSuspended = false; }
  bool TestSuspendHealthCheck() const { return m_blHealthSuspended.load(); }
  bool GetShowUi() const { return m_blShowUi.load(); }
  bool GetModalUi() const { return m_blModalUi.load(); }
  const char* GetPath() const { return m_szPath; }
  CDrvUiLink& GetLink() { return m_drvuilink; }

  // The link's hooks.
  bool UiModelReady() override;
  long UiIdleWait() override;
  bool UiHealthCheck(char* a_szTask, size_t a_sizetTask) override;
  void UiDispatch(COsXml* a_posxml) override;
  void UiBadTask(uint64_t a_u64Id, bool a_blId) override;
  void UiLinkLost(bool a_blConnected) override;

  // The reply grammar's trampolines (drv_cdrvassistantimpl_dispatch.cpp),
  // found by name: the class and the element path.
  static EOSSTS CDrvAssistantImpl_EnterTask(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDrvAssistantImpl_ExitTask(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDrvAssistantImpl_EnterTaskImageend(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDrvAssistantImpl_EnterTaskImageendImagefilename(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDrvAssistantImpl_EnterTaskReportinterfaceopen(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDrvAssistantImpl_ExitTaskReportinterfaceopen(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDrvAssistantImpl_ExitTaskReportinterfaceopenGetlabels(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDrvAssistantImpl_ExitTaskReportinterfaceopenGetlabelsLabels(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDrvAssistantImpl_ExitTaskReportsessionbegin(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDrvAssistantImpl_EnterTaskUserinput(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDrvAssistantImpl_ExitTaskUserinput(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDrvAssistantImpl_EnterTaskUserinputUseraction(OsXmlCallback* a_posxmlcallback);

 private:
  // Actions (drv_cdrvassistantimpl.cpp).
  EOSSTS ScanBegin(const char* a_szLog);
  EOSSTS ScanEnd();
  EOSSTS UserAction(CDrvAssistantAction* a_pdrvassistantaction);
  EOSSTS Show(CDrvAssistantAction* a_pdrvassistantaction);
  EOSSTS ShowBegin(const char* a_szUserAction);
  EOSSTS ShowImage(const char* a_szXml);
  EOSSTS ShowUserInput(const char* a_szUserAction);
  void SetShowState(EDRVASSISTANTSHOWSTATE a_edrvassistantshowstate);
  bool Ended() const;
  void WakeWaiters();

  // The grammar's handlers (drv_cdrvassistantimpl_dispatch.cpp).
  bool PrepareDocument(COsXml* a_posxml);
  EOSSTS ImageEndName(const char* a_szName);
  EOSSTS LabelsAll();
  EOSSTS LabelsOne(const char* a_szKey);
  EOSSTS SessionBegin();
  EOSSTS ReportsessionBegin();
  EOSSTS UserInputReply(const char* a_szContent);
  EOSSTS ReportStatus(bool a_blSuccess);

  CDriver* m_pdriver;
  CDatabase* m_pdatabase;
  bool m_blWiaHost = false;
  char m_szPath[512] = "";

  std::atomic<bool> m_blNoAssistant{true};
  std::atomic<bool> m_blStopRequested{false};
  std::atomic<bool> m_blInterrupted{false};
  std::atomic<bool> m_blForcedEnded{false};   // never ready in time
  std::atomic<bool> m_blReady{false};
  std::atomic<bool> m_blOpenSent{false};      // interfaceopen written
  std::atomic<bool> m_blHealthSuspended{false};
  std::atomic<bool> m_blShowUi{false};
  std::atomic<bool> m_blModalUi{false};
  std::atomic<int32_t> m_i32ShowState{DRVASSISTANT_SHOWSTATE_UNDEFINED};
  // The user answered after the show's end but before the scanner's
  // question came; the question, when it comes, is not the application's
  // (nor a new show, should the front end have hidden the show already).
  std::atomic<bool> m_blQuestionOwed{false};

  // Readiness and the scan's end wake the readiness wait.
  std::mutex m_mutexReady;
  std::condition_variable m_condReady;

  // The image files sent in a showimage and not yet ended: an imageend may
  // end each of them once (a leaf lock).
  std::mutex m_mutexShown;
  std::set<std::string> m_setShown;

  // Dispatcher only: the documents given the grammar, the task in hand's
  // id, and the labels collected for the session.
  std::set<COsXml*> m_setPrepared;
  char m_szTaskId[1024] = "";
  std::string m_strLabels;
  bool m_blLabels = false;
  bool m_blBadLabelLogged = false;

  // Last: it stops (and calls no hook) before the rest goes.
  CDrvUiLink m_drvuilink;
};
