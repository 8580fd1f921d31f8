// The driver-assistant bridge: its life, the actions, the show of a user
// action, and the link's hooks.
#include "drv_cdrvassistantimpl.h"

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "drv_uihost.h"
#include "drv_uiwaits.h"
#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_coswaitlimits.h"
#include "os_cosxml.h"

namespace {

constexpr long s_alDefault[] = {
    60000,  // DRV_ASSISTANTWAIT_READY
    7000,   // DRV_ASSISTANTWAIT_IDLE
    1000,   // DRV_ASSISTANTWAIT_BUSY
    100,    // DRV_ASSISTANTWAIT_SLICE
};
static_assert(std::size(s_alDefault) == DRV_ASSISTANTWAIT_COUNT, "one default per wait");
constinit COsWaitLimits<DRV_ASSISTANTWAIT_COUNT> s_oswaitlimits(s_alDefault);

const char* const s_aszDrvAssistantShowState[] = {
    "DRVASSISTANT_SHOWSTATE_UNDEFINED", "DRVASSISTANT_SHOWSTATE_SHOWBEGIN",
    "DRVASSISTANT_SHOWSTATE_SHOWIMAGE", "DRVASSISTANT_SHOWSTATE_SHOWEND",
    "DRVASSISTANT_SHOWSTATE_USERACTION", "DRVASSISTANT_SHOWSTATE_USERACTIONPENDING",
    "DRVASSISTANT_SHOWSTATE_LAST",
};
static_assert(std::size(s_aszDrvAssistantShowState) == DRVASSISTANT_SHOWSTATE_LAST + 1);

const char s_szInterfaceClose[] =
    "<task id='@1111111111111111111' reply='00000000000000000000' bytes='@2222222222222222222'>\n\t<interfaceclose>\n"
    "\t</interfaceclose>\n</task>";

const char s_szInterfaceOpen[] =
    "<task id='@1111111111111111111' reply='00000000000000000000' bytes='@2222222222222222222'>\n\t<interfaceopen>\n"
    "\t\t<reportinquiry>\n\t\t\t<supported>\n\t\t\t\t<id>interactivemultifeed</id>\n\t\t\t</supported>\n"
    "\t\t</reportinquiry>\n\t</interfaceopen>\n</task>";

const char s_szHealthCheckTrue[] =
    "<task id='@1111111111111111111' reply='00000000000000000000' bytes='@2222222222222222222'>\n"
    "\t<notifydevicestatus>\n\t\t<id>deviceonline</id>\n\t\t<value>true</value>\n\t\t<text>true</text>\n"
    "\t</notifydevicestatus>\n</task>";

const char s_szShowBegin[] =
    "<task id='@1111111111111111111' reply='00000000000000000000' bytes='@2222222222222222222'>\n\t<showbegin>\n"
    "\t\t<useraction>%s</useraction>\n\t</showbegin>\n</task>";
const char s_szShowImage[] =
    "<task id='@1111111111111111111' reply='00000000000000000000' bytes='@2222222222222222222'>\n"
    "\t<showimage>%s</showimage>\n</task>";
const char s_szShowEnd[] =
    "<task id='@1111111111111111111' reply='00000000000000000000' bytes='@2222222222222222222'>\n\t<showend>\n"
    "\t</showend>\n</task>";
const char s_szUserInput[] =
    "<task id='@1111111111111111111' reply='00000000000000000000' bytes='@2222222222222222222'>\n\t<userinput>\n"
    "\t\t<useraction>%s</useraction>\n\t</userinput>\n</task>";

const DrvUiLinkNames s_drvuilinknames = {"Driver Assistant",
                                         "DrvAssistantStart",
                                         "Drv2Assisstant",
                                         "Assistant2Drv",
                                         "DriverAssistantDispatcher",
                                         "DrvAssistantDriverToAssistant",
                                         "DrvAssistantAssistantToDriver",
                                         "drvassistantbuttons_",
                                         "DRV2ASSISTANT",
                                         "ASSISTANT2DRV",
                                         "drv2gui",
                                         "gui2drv",
                                         "drv2assistant>>>",
                                         "assistant2drv>>>",
                                         s_szInterfaceClose};

constexpr long s_lDeviceOnline = 2;
// The texts are composed and extracted in buffers of this size.
constexpr size_t s_sizetText = 65536;

// The text between the markers, or false (logged as the step's missing
// text) when the record has none.
bool Extract(const char* a_szText, const char* a_szStart, const char* a_szEnd, std::string& a_str) {
  std::string strWork(s_sizetText, '\0');
  if (!a_szText ||
      COsXml::GetContent(a_szText, a_szStart, a_szEnd, strWork.data(), strWork.size()) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "We shouldn't be here...");
    return false;
  }
  a_str = strWork.c_str();
  return true;
}

}  // namespace

long DrvAssistantWaitLimit(EDRVASSISTANTWAIT a_edrvassistantwait) { return s_oswaitlimits.Get(a_edrvassistantwait); }

void DrvAssistantSetWaitLimit(EDRVASSISTANTWAIT a_edrvassistantwait, long a_lMilliseconds) {
  s_oswaitlimits.Set(a_edrvassistantwait, a_lMilliseconds);
}

// ---------------------------------------------------------------------------
// Life
// ---------------------------------------------------------------------------
CDrvAssistantImpl::CDrvAssistantImpl(CDatabase* a_pdatabase, CDriver* a_pdriver, const char* a_szPath)
    : m_pdriver(a_pdriver), m_pdatabase(a_pdatabase), m_drvuilink(this, s_drvuilinknames) {
  m_blWiaHost = DrvUiWiaHost();
  COsString::SStrCpy(m_szPath, sizeof m_szPath, a_szPath ? a_szPath : "");
}

// The link stops first: none of its threads calls back into what goes.
CDrvAssistantImpl::~CDrvAssistantImpl() {
  m_blStopRequested = true;
  Interrupt();
  m_drvuilink.Stop();
}

const char* CDrvAssistantImpl::GetShowStateName(int32_t a_i32ShowState) {
  if (a_i32ShowState < DRVASSISTANT_SHOWSTATE_UNDEFINED || a_i32ShowState > DRVASSISTANT_SHOWSTATE_LAST) return "?";
  return s_aszDrvAssistantShowState[a_i32ShowState];
}

int32_t CDrvAssistantImpl::GetState() const {
  return m_blForcedEnded.load() ? DRV_UILINKSTATE_ENDED : m_drvuilink.GetState();
}

bool CDrvAssistantImpl::Ended() const { return GetState() == DRV_UILINKSTATE_ENDED; }

bool CDrvAssistantImpl::IsDrvAssistantRunning() {
  if (m_blNoAssistant) return false;
  m_drvuilink.WaitStart(DrvUiWaitLimit(DRV_UIWAIT_START));
  return m_drvuilink.IsReading();
}

void CDrvAssistantImpl::SetShowState(EDRVASSISTANTSHOWSTATE a_edrvassistantshowstate) {
  m_i32ShowState = a_edrvassistantshowstate;
}

void CDrvAssistantImpl::WakeWaiters() {
  std::lock_guard<std::mutex> lock(m_mutexReady);
  m_condReady.notify_all();
}

void CDrvAssistantImpl::Interrupt() {
  m_blInterrupted = true;
  WakeWaiters();
}

EOSSTS CDrvAssistantImpl::SendToDrvAssistant(const char* a_szText, const char* a_szFile, int a_iLine) {
  if (m_blNoAssistant) return OS_STS_SUCCESS;
  return m_drvuilink.Send(a_szText, a_szFile, a_iLine);
}

// In slices, so that the assistant's end (the link's state) ends it too.
EOSSTS CDrvAssistantImpl::WaitForDrvAssistant(long a_lMilliseconds) {
  if (m_blNoAssistant) return DRV_ASSISTANT_STS_NOASSISTANT;
  if (m_blReady) return OS_STS_SUCCESS;
  OsLogDebug(OS_LOG_INFO, "Driver Assistant not ready yet...");
  const auto timepointEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(a_lMilliseconds);
  std::unique_lock<std::mutex> lock(m_mutexReady);
  for (;;) {
    if (m_blReady) return OS_STS_SUCCESS;
    if (m_blInterrupted || Ended()) return OS_STS_FAIL;
    const auto timepointNow = std::chrono::steady_clock::now();
    if (timepointNow >= timepointEnd) {
      OsLogDebug(OS_LOG_INFO, "UI timeout...");
      return DRV_ASSISTANT_STS_TIMEOUT;
    }
    const auto timepointSlice = timepointNow + std::chrono::milliseconds(DrvAssistantWaitLimit(DRV_ASSISTANTWAIT_SLICE));
    m_condReady.wait_until(lock, std::min(timepointEnd, timepointSlice));
  }
}

// ---------------------------------------------------------------------------
// Actions
// ---------------------------------------------------------------------------
EOSSTS CDrvAssistantImpl::Action(EDRVASSISTANTACTION a_edrvassistantaction, CDrvAssistantAction* a_pdrvassistantaction) {
  const char* szShowState = GetShowStateName(m_i32ShowState.load());
  switch (a_edrvassistantaction) {
    case DRV_ASSISTANTACTION_SCANBEGIN:
      OsLogDebug(OS_LOG_INFO, "DrvAssistant>>> scanbegin state=%s", szShowState);
      return ScanBegin(nullptr);
    case DRV_ASSISTANTACTION_SCANEND:
      OsLogDebug(OS_LOG_INFO, "DrvAssistant>>> scanend state=%s", szShowState);
      return ScanEnd();
    case DRV_ASSISTANTACTION_HIDE:
      OsLogDebug(OS_LOG_INFO, "DrvAssistant>>> hide state=%s", szShowState);
      if (m_pdatabase) m_pdatabase->ClearDbState(DB_STATE_USERACTION);
      SetShowState(DRVASSISTANT_SHOWSTATE_SHOWBEGIN);
      return OS_STS_SUCCESS;
    case DRV_ASSISTANTACTION_USERACTION:
      OsLogDebug(OS_LOG_INFO, "DrvAssistant>>> useraction state=%s", szShowState);
      if (!a_pdrvassistantaction) {
        OsLog(OS_LOG_ERROR, "a_pdrvassistantaction is null...");
        return OS_STS_SUCCESS;
      }
      return UserAction(a_pdrvassistantaction);
    default:
      OsLogDebug(OS_LOG_INFO, "DrvAssistant>>> default %d", static_cast<int>(a_edrvassistantaction));
      OsLog(OS_LOG_ERROR, "Unrecognized a_edrvassistantaction...%d", static_cast<int>(a_edrvassistantaction));
      return OS_STS_FAIL;
  }
}

// The child gets the resource file beside its channels; the link's start
// thread does the rest, and the writer's first task is interfaceopen.
EOSSTS CDrvAssistantImpl::ScanBegin(const char* a_szLog) {
  if (a_szLog) OsLog(OS_LOG_INFO, "%s", a_szLog);
  if (m_drvuilink.GetState() == DRV_UILINKSTATE_ENDED) m_drvuilink.Stop();
  m_blNoAssistant = false;
  m_blForcedEnded = false;
  m_blReady = false;
  m_blOpenSent = false;
  m_blHealthSuspended = false;
  m_blQuestionOwed = false;
  SetShowState(DRVASSISTANT_SHOWSTATE_UNDEFINED);
  std::string strResource;
  if (g_poscfg) {
    const char* sz = g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_DRIVERPATH);
    strResource = sz ? sz : "";
  }
  const OsSpawnVariable aosspawnvariable[] = {{"PMX_UIRESOURCEFILE", strResource.c_str()}};
  OsLog(OS_LOG_INFO, "### Driver Assistant is <%s>", m_szPath);
  if (m_drvuilink.Start(m_szPath, aosspawnvariable, std::size(aosspawnvariable)) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Failed to Start Loading the Driver Assistant!");
    m_blForcedEnded = true;
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

// A connected assistant gets interfaceclose and a few seconds to leave (the
// link's stop); the child is reaped before this returns.
EOSSTS CDrvAssistantImpl::ScanEnd() {
  if (m_pdatabase) m_pdatabase->ClearDbState(DB_STATE_USERACTION);
  if (m_blNoAssistant || !*m_szPath) return OS_STS_SUCCESS;
  m_blStopRequested = true;
  m_blHealthSuspended = true;
  Interrupt();
  m_drvuilink.Stop();
  {
    std::lock_guard<std::mutex> lock(m_mutexShown);
    m_setShown.clear();
  }
  m_blNoAssistant = true;
  m_blStopRequested = false;
  // The next scan's waits are its own.
  m_blInterrupted = false;
  return OS_STS_SUCCESS;
}

EOSSTS CDrvAssistantImpl::UserAction(CDrvAssistantAction* a_pdrvassistantaction) {
  if (m_pdatabase) m_pdatabase->SetDbState(DB_STATE_USERACTION);
  if (m_blNoAssistant && GetShowState() != DRVASSISTANT_SHOWSTATE_SHOWBEGIN) {
    if (ScanBegin("DrvAssistant>>> starting") != OS_STS_SUCCESS) return OS_STS_FAIL;
  }
  // A dead assistant takes nothing more: the records go to the application.
  if (Ended()) {
    OsLog(OS_LOG_ERROR, "DrvAssistant>>> the Driver Assistant is gone, status=%d goes to the application",
          static_cast<int>(a_pdrvassistantaction->edevsts));
    return OS_STS_SUCCESS;
  }
  const EOSSTS eossts = WaitForDrvAssistant(DrvAssistantWaitLimit(DRV_ASSISTANTWAIT_READY));
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Driver Assistant never reported ready...%d", static_cast<int>(eossts));
    m_blForcedEnded = true;
    WakeWaiters();
    return eossts;
  }
  return Show(a_pdrvassistantaction);
}

// One record of the show. A show begins only with a user-action record: an
// image or an end of job after a hide is the application's.
EOSSTS CDrvAssistantImpl::Show(CDrvAssistantAction* a_pdrvassistantaction) {
  const EDEVSTS edevsts = a_pdrvassistantaction->edevsts;
  const char* szXml = a_pdrvassistantaction->szXml;
  const char* szUserAction = a_pdrvassistantaction->szUserAction ? a_pdrvassistantaction->szUserAction : szXml;
  const bool blQuestion = edevsts == DEV_STS_USERACTION && !(szXml && std::strstr(szXml, "<imagefilename>"));
  // The user answered before the scanner asked: the answer is on its way
  // to the scanner already, so the question is not the application's, and
  // not a new show either when the show was hidden in the meantime.
  if (m_blQuestionOwed.exchange(false) && blQuestion) {
    OsLogDebug(OS_LOG_INFO, "DrvAssistant>>> user input already given");
    return DRV_ASSISTANT_STS_TAKEN;
  }
  const EDRVASSISTANTSHOWSTATE edrvassistantshowstate = GetShowState();
  if (edrvassistantshowstate == DRVASSISTANT_SHOWSTATE_SHOWBEGIN && edevsts == DEV_STS_USERACTION) {
    const EOSSTS eossts = ShowBegin(szUserAction);
    if (eossts != DRV_ASSISTANT_STS_TAKEN) return eossts;
  }
  if (GetShowState() == DRVASSISTANT_SHOWSTATE_SHOWIMAGE) {
    if (edevsts != DEV_STS_ENDOFSHEET && szXml && std::strstr(szXml, "<reportimage>")) return ShowImage(szXml);
    if (edevsts == DEV_STS_ENDOFSHEET) {
      OsLogDebug(OS_LOG_INFO, "DrvAssistant>>> showend");
      SetShowState(DRVASSISTANT_SHOWSTATE_SHOWEND);
      SendToDrvAssistant(s_szShowEnd, __FILE__, __LINE__);
      return DRV_ASSISTANT_STS_TAKEN;
    }
  }
  const EDRVASSISTANTSHOWSTATE edrvassistantshowstateNow = GetShowState();
  if ((edrvassistantshowstateNow == DRVASSISTANT_SHOWSTATE_SHOWIMAGE ||
       edrvassistantshowstateNow == DRVASSISTANT_SHOWSTATE_SHOWEND) &&
      edevsts == DEV_STS_USERACTION) {
    return ShowUserInput(szUserAction);
  }
  OsLog(OS_LOG_INFO, "DrvAssistant>>> state error: %d %d %s", static_cast<int>(edevsts),
        static_cast<int>(edrvassistantshowstateNow), szXml ? szXml : "(null)");
  return OS_STS_SUCCESS;
}

EOSSTS CDrvAssistantImpl::ShowBegin(const char* a_szUserAction) {
  OsLogDebug(OS_LOG_INFO, "DrvAssistant>>> showbegin");
  std::string strUserAction;
  if (!Extract(a_szUserAction, "<useraction>", "</useraction>", strUserAction)) return OS_STS_SUCCESS;
  std::string strTask(sizeof s_szShowBegin + strUserAction.size(), '\0');
  strTask.resize(static_cast<size_t>(
      std::snprintf(strTask.data(), strTask.size(), s_szShowBegin, strUserAction.c_str())));
  SendToDrvAssistant(strTask.c_str(), __FILE__, __LINE__);
  SetShowState(DRVASSISTANT_SHOWSTATE_SHOWIMAGE);
  return DRV_ASSISTANT_STS_TAKEN;
}

// The file shown is remembered: the assistant's imageend may end it once.
EOSSTS CDrvAssistantImpl::ShowImage(const char* a_szXml) {
  OsLogDebug(OS_LOG_INFO, "DrvAssistant>>> reportimage");
  std::string strImage;
  if (!Extract(a_szXml, "<reportimage>", "</reportimage>", strImage)) return OS_STS_SUCCESS;
  char szName[512];
  if (COsXml::GetContent(strImage.c_str(), "<imagefilename>", "</imagefilename>", szName, sizeof szName) ==
          OS_STS_SUCCESS &&
      *szName) {
    std::lock_guard<std::mutex> lock(m_mutexShown);
    m_setShown.insert(szName);
  }
  std::string strTask(sizeof s_szShowImage + strImage.size(), '\0');
  strTask.resize(static_cast<size_t>(std::snprintf(strTask.data(), strTask.size(), s_szShowImage, strImage.c_str())));
  SendToDrvAssistant(strTask.c_str(), __FILE__, __LINE__);
  return DRV_ASSISTANT_STS_TAKEN;
}

EOSSTS CDrvAssistantImpl::ShowUserInput(const char* a_szUserAction) {
  std::string strUserAction;
  if (!Extract(a_szUserAction, "<useraction>", "</useraction>", strUserAction)) return OS_STS_SUCCESS;
  OsLogDebug(OS_LOG_INFO, "DrvAssistant>>> userinput=%s", strUserAction.c_str());
  std::string strTask(sizeof s_szUserInput + strUserAction.size(), '\0');
  strTask.resize(
      static_cast<size_t>(std::snprintf(strTask.data(), strTask.size(), s_szUserInput, strUserAction.c_str())));
  SetShowState(DRVASSISTANT_SHOWSTATE_USERACTIONPENDING);
  SendToDrvAssistant(strTask.c_str(), __FILE__, __LINE__);
  return DRV_ASSISTANT_STS_TAKEN;
}

// ---------------------------------------------------------------------------
// The link's hooks
// ---------------------------------------------------------------------------
bool CDrvAssistantImpl::UiModelReady() {
  if (m_blStopRequested) return false;
  if (!m_pdatabase) return true;
  CDbLockGuard dblockguard;
  const char* szModel = m_pdatabase->GetModelName(DB_FIRMWARE_ADF);
  return szModel && *szModel;
}

// Until interfaceopen is written the writer does not wait: the opening
// task goes as soon as the channels are connected.
long CDrvAssistantImpl::UiIdleWait() {
  if (!m_blOpenSent) return 0;
  const bool blBusy = m_pdatabase && m_pdatabase->TestDbState(DB_STATE_DIAGNOSTIC);
  return DrvAssistantWaitLimit(blBusy ? DRV_ASSISTANTWAIT_BUSY : DRV_ASSISTANTWAIT_IDLE);
}

// The assistant knows no offline text: while the device is off line
// nothing is sent.
bool CDrvAssistantImpl::UiHealthCheck(char* a_szTask, size_t a_sizetTask) {
  if (!m_blOpenSent.exchange(true)) {
    COsString::SStrCpy(a_szTask, a_sizetTask, s_szInterfaceOpen);
    return true;
  }
  if (m_blHealthSuspended) {
    OsLogDebug(OS_LOG_INFO, "drv2assistant>>> healthcheck is suspended...");
    return false;
  }
  if (!m_pdatabase) return false;
  long lOnline;
  {
    CDbLockGuard dblockguard;
    lOnline = m_pdatabase->GetCurrentLongFromId(DB_ID_DEVICEONLINE);
  }
  if (lOnline != s_lDeviceOnline) return false;
  COsString::SStrCpy(a_szTask, a_sizetTask, s_szHealthCheckTrue);
  return true;
}

void CDrvAssistantImpl::UiLinkLost(bool a_blConnected) {
  OsLog(OS_LOG_ERROR, "Communication lost with Driver Assistant...%d", a_blConnected ? 1 : 0);
  WakeWaiters();
}

void CDrvAssistantImpl::UiBadTask(uint64_t a_u64Id, bool a_blId) {
  OsLog(OS_LOG_ERROR, "assistant2drv>>> a task that does not parse, skipped...%llu %d",
        static_cast<unsigned long long>(a_u64Id), a_blId ? 1 : 0);
}
