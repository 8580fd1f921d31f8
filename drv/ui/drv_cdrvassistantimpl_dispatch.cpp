// The assistant's replies: the grammar every queued task is walked with,
// its handlers, and the session-begin task they answer reportinterfaceopen
// with.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "drv_cdriver.h"
#include "drv_cdrvassistantimpl.h"
#include "os_coslocale.h"
#include "os_coslog.h"
#include "os_cosxml.h"

namespace {

const char s_szDispatch[] =
    "<task enter='this.EnterTask' exit='this.ExitTask'>"
    "<imageend enter='this.EnterTaskImageend'>"
    "<imagefilename enter='this.EnterTaskImageendImagefilename'></imagefilename>"
    "</imageend>"
    "<reportinterfaceopen enter='this.EnterTaskReportinterfaceopen' exit='this.ExitTaskReportinterfaceopen'>"
    "<getlabels exit='this.ExitTaskReportinterfaceopenGetlabels'>"
    "<labels exit='this.ExitTaskReportinterfaceopenGetlabelsLabels'></labels>"
    "</getlabels>"
    "</reportinterfaceopen>"
    "<reportsessionbegin exit='this.ExitTaskReportsessionbegin'></reportsessionbegin>"
    "<userinput enter='this.EnterTaskUserinput' exit='this.ExitTaskUserinput'>"
    "<useraction enter='this.EnterTaskUserinputUseraction'></useraction>"
    "</userinput>"
    "</task>";

const char s_szReportStatus[] =
    "<task id='@1111111111111111111' reply='%s' bytes='@2222222222222222222'>\n\t<reportstatus>\n"
    "\t\t<status>%s</status>\n\t</reportstatus>\n</task>";

const char s_szSessionBegin[] =
    "<task id='@1111111111111111111' reply='00000000000000000000' bytes='@2222222222222222222'>\n\t<sessionbegin>\n"
    "%s\t\t<mainform><![CDATA[%s]]></mainform>\n\t\t<model><![CDATA[%s]]></model>\n%s\t</sessionbegin>\n</task>";

// The session-begin task and the labels: the sizes the assistant is told of.
constexpr size_t s_sizetSessionBegin = 0x40000;
constexpr size_t s_sizetLabels = 0x30000;
constexpr size_t s_sizetModelDialog = 64;

CDrvAssistantImpl* Impl(const OsXmlCallback* a_posxmlcallback) {
  return static_cast<CDrvAssistantImpl*>(a_posxmlcallback->pvObject);
}

const char* Data(const OsXmlCallback* a_posxmlcallback) {
  return a_posxmlcallback->szData ? a_posxmlcallback->szData : "";
}

// An element name the assistant's reader takes: a letter or "_" first,
// then letters, digits, "_", "-" and ".".
bool XmlName(const char* a_szName) {
  if (!a_szName || !(std::isalpha(static_cast<unsigned char>(*a_szName)) || *a_szName == '_')) return false;
  for (const char* pc = a_szName + 1; *pc; ++pc) {
    const unsigned char uc = static_cast<unsigned char>(*pc);
    if (!std::isalnum(uc) && uc != '_' && uc != '-' && uc != '.') return false;
  }
  return true;
}

// A text inside CDATA: a "]]>" in it would end the section early.
std::string Cdata(const char* a_szText) {
  std::string str = a_szText ? a_szText : "";
  for (size_t sizet = str.find("]]>"); sizet != std::string::npos; sizet = str.find("]]>", sizet + 15)) {
    str.replace(sizet, 3, "]]]]><![CDATA[>");
  }
  return str;
}

// The label's "%s" stands for the model's dialog name: replaced as text,
// never used as a format.
std::string MainForm(const char* a_szLabel, const char* a_szModel) {
  std::string str = a_szLabel ? a_szLabel : "???";
  const size_t sizet = str.find("%s");
  if (sizet != std::string::npos) str.replace(sizet, 2, a_szModel ? a_szModel : "");
  return str;
}

}  // namespace

// ---------------------------------------------------------------------------
// The dispatcher's side
// ---------------------------------------------------------------------------
// Each queue document gets the grammar the first time it comes.
bool CDrvAssistantImpl::PrepareDocument(COsXml* a_posxml) {
  if (m_setPrepared.count(a_posxml)) return true;
  if (a_posxml->DispatchAddObject("this", "CDrvAssistantImpl", this) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DispatchAddObject failed...");
    return false;
  }
  if (a_posxml->DispatchLoad(s_szDispatch) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DispatchLoad failed...<%s>", s_szDispatch);
    return false;
  }
  m_setPrepared.insert(a_posxml);
  return true;
}

// A task that cannot be walked is skipped: the next one is walked.
void CDrvAssistantImpl::UiDispatch(COsXml* a_posxml) {
  if (!PrepareDocument(a_posxml)) return;
  m_szTaskId[0] = '\0';
  a_posxml->NodeRewind();
  if (a_posxml->NodeGetProperty("id", m_szTaskId, sizeof m_szTaskId) != OS_STS_SUCCESS || !*m_szTaskId) {
    OsLog(OS_LOG_ERROR, "GetProperty failed...");
    return;
  }
  if (a_posxml->Dispatch(nullptr) != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "Dispatch failed...%s", m_szTaskId);
}

EOSSTS CDrvAssistantImpl::ReportStatus(bool a_blSuccess) {
  char szTask[sizeof s_szReportStatus + sizeof m_szTaskId + 16];
  std::snprintf(szTask, sizeof szTask, s_szReportStatus, m_szTaskId, a_blSuccess ? "success" : "fail");
  return SendToDrvAssistant(szTask, __FILE__, __LINE__);
}

// Only a file shown in this scan, once: any other name would end an image
// the scanner never gave the assistant.
EOSSTS CDrvAssistantImpl::ImageEndName(const char* a_szName) {
  bool blShown;
  {
    std::lock_guard<std::mutex> lock(m_mutexShown);
    blShown = m_setShown.erase(a_szName) > 0;
  }
  if (!blShown) {
    OsLog(OS_LOG_ERROR, "assistant2drv>>> imageend of an image not shown...<%s>", a_szName);
    ReportStatus(false);
    return OS_STS_SUCCESS;
  }
  ReportStatus(true);
  if (m_pdriver) m_pdriver->ImageQueuePush(false, DEV_STS_SUCCESS, a_szName);
  return OS_STS_SUCCESS;
}

// Every label of the resource, but those whose names no reader takes.
EOSSTS CDrvAssistantImpl::LabelsAll() {
  if (m_blLabels) return OS_STS_SUCCESS;
  m_blLabels = true;
  m_strLabels.clear();
  if (!m_pdatabase) return OS_STS_SUCCESS;
  int iLeftOut = 0;
  const char* szFirstLeftOut = nullptr;
  CDbLockGuard dblockguard;
  for (int i = 0;; ++i) {
    const char* szEntry = m_pdatabase->LabelGet(nullptr, nullptr, i);
    if (!szEntry) break;
    const char* szText = szEntry + std::strlen(szEntry) + 1;
    if (!XmlName(szEntry)) {
      if (!iLeftOut++) szFirstLeftOut = szEntry;
      continue;
    }
    if (m_strLabels.size() >= s_sizetLabels) {
      OsLog(OS_LOG_ERROR, "assistant>>> labels cut at %d...", i);
      break;
    }
    m_strLabels += std::string("\t\t\t<") + szEntry + "><![CDATA[" + Cdata(szText) + "]]></" + szEntry + ">\n";
  }
  if (iLeftOut && !m_blBadLabelLogged) {
    m_blBadLabelLogged = true;
    OsLog(OS_LOG_ERROR, "assistant>>> labels left out, not element names...%d <%s>", iLeftOut, szFirstLeftOut);
  }
  return OS_STS_SUCCESS;
}

EOSSTS CDrvAssistantImpl::LabelsOne(const char* a_szKey) {
  m_blLabels = true;
  std::string strText = "???";
  if (m_pdatabase) {
    CDbLockGuard dblockguard;
    strText = m_pdatabase->LabelGet(a_szKey, "???", -1);
  }
  m_strLabels += std::string("\t\t\t<label>") + a_szKey + "</label>\n\t\t\t<text><![CDATA[" + Cdata(strText.c_str()) +
                 "]]></text>\n";
  return OS_STS_SUCCESS;
}

EOSSTS CDrvAssistantImpl::SessionBegin() {
  std::string strLanguage, strMainForm, strModelDialog, strModel;
  if (g_poslocale) {
    const char* sz = g_poslocale->GetLangInfo();
    strLanguage = sz ? sz : "";
  }
  if (m_pdatabase) {
    CDbLockGuard dblockguard;
    const char* sz = m_pdatabase->ConfigGetString("modelnamedialog", DB_CONFIGTARGET_COMMON);
    strModelDialog = std::string(sz ? sz : "").substr(0, s_sizetModelDialog);
    strMainForm = m_pdatabase->LabelGet("mainform", "???", -1);
    sz = m_pdatabase->ConfigGetString("model", DB_CONFIGTARGET_ADF);
    strModel = sz ? sz : "";
  } else {
    strMainForm = "???";
  }
  const std::string strLabels = m_blLabels ? "\t\t<reportlabels>\n" + m_strLabels + "\t\t</reportlabels>\n" : "";
  const std::string strMain = Cdata(MainForm(strMainForm.c_str(), strModelDialog.c_str()).c_str());
  std::string strTask(sizeof s_szSessionBegin + strLanguage.size() + strMain.size() + strModel.size() +
                          strLabels.size(),
                      '\0');
  strTask.resize(static_cast<size_t>(std::snprintf(strTask.data(), strTask.size(), s_szSessionBegin,
                                                   strLanguage.c_str(), strMain.c_str(), Cdata(strModel.c_str()).c_str(),
                                                   strLabels.c_str())));
  if (strTask.size() >= s_sizetSessionBegin) {
    OsLog(OS_LOG_ERROR, "assistant>>> sessionbegin of %zu bytes...", strTask.size());
  }
  m_strLabels.clear();
  m_blLabels = false;
  return SendToDrvAssistant(strTask.c_str(), __FILE__, __LINE__);
}

EOSSTS CDrvAssistantImpl::ReportsessionBegin() {
  OsLogDebug(OS_LOG_INFO, "DrvAssistant>>> reportsessionbegin");
  SetShowState(DRVASSISTANT_SHOWSTATE_SHOWBEGIN);
  m_drvuilink.MarkReady();
  m_blReady = true;
  WakeWaiters();
  return OS_STS_SUCCESS;
}

// The user's answer counts only while one is asked for (after the show's
// end, or once the scanner's question went to the assistant).
EOSSTS CDrvAssistantImpl::UserInputReply(const char* a_szContent) {
  const EDRVASSISTANTSHOWSTATE edrvassistantshowstate = GetShowState();
  if (edrvassistantshowstate != DRVASSISTANT_SHOWSTATE_SHOWEND &&
      edrvassistantshowstate != DRVASSISTANT_SHOWSTATE_USERACTIONPENDING) {
    OsLog(OS_LOG_ERROR, "assistant2drv>>> userinput out of turn...%s", GetShowStateName(edrvassistantshowstate));
    ReportStatus(false);
    return OS_STS_SUCCESS;
  }
  m_blQuestionOwed = edrvassistantshowstate == DRVASSISTANT_SHOWSTATE_SHOWEND;
  SetShowState(DRVASSISTANT_SHOWSTATE_USERACTION);
  ReportStatus(true);
  const std::string strInput = std::string("\t<userinput>") + a_szContent + "</userinput>\n";
  if (m_pdriver) m_pdriver->ImageQueuePush(true, DEV_STS_USERINPUT, strInput.c_str());
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// The grammar's trampolines
// ---------------------------------------------------------------------------
EOSSTS CDrvAssistantImpl::CDrvAssistantImpl_EnterTask(OsXmlCallback*) { return OS_STS_SUCCESS; }
EOSSTS CDrvAssistantImpl::CDrvAssistantImpl_ExitTask(OsXmlCallback*) { return OS_STS_SUCCESS; }
EOSSTS CDrvAssistantImpl::CDrvAssistantImpl_EnterTaskImageend(OsXmlCallback*) { return OS_STS_SUCCESS; }

EOSSTS CDrvAssistantImpl::CDrvAssistantImpl_EnterTaskImageendImagefilename(OsXmlCallback* a_posxmlcallback) {
  return Impl(a_posxmlcallback)->ImageEndName(Data(a_posxmlcallback));
}

EOSSTS CDrvAssistantImpl::CDrvAssistantImpl_EnterTaskReportinterfaceopen(OsXmlCallback* a_posxmlcallback) {
  CDrvAssistantImpl* pdrvassistantimpl = Impl(a_posxmlcallback);
  pdrvassistantimpl->m_strLabels.clear();
  pdrvassistantimpl->m_blLabels = false;
  return OS_STS_SUCCESS;
}

EOSSTS CDrvAssistantImpl::CDrvAssistantImpl_ExitTaskReportinterfaceopen(OsXmlCallback* a_posxmlcallback) {
  Impl(a_posxmlcallback)->SessionBegin();
  return OS_STS_SUCCESS;
}

EOSSTS CDrvAssistantImpl::CDrvAssistantImpl_ExitTaskReportinterfaceopenGetlabels(OsXmlCallback* a_posxmlcallback) {
  return Impl(a_posxmlcallback)->LabelsAll();
}

EOSSTS CDrvAssistantImpl::CDrvAssistantImpl_ExitTaskReportinterfaceopenGetlabelsLabels(
    OsXmlCallback* a_posxmlcallback) {
  return Impl(a_posxmlcallback)->LabelsOne(Data(a_posxmlcallback));
}

EOSSTS CDrvAssistantImpl::CDrvAssistantImpl_ExitTaskReportsessionbegin(OsXmlCallback* a_posxmlcallback) {
  return Impl(a_posxmlcallback)->ReportsessionBegin();
}

EOSSTS CDrvAssistantImpl::CDrvAssistantImpl_EnterTaskUserinput(OsXmlCallback*) { return OS_STS_SUCCESS; }

EOSSTS CDrvAssistantImpl::CDrvAssistantImpl_ExitTaskUserinput(OsXmlCallback* a_posxmlcallback) {
  return Impl(a_posxmlcallback)->UserInputReply(Data(a_posxmlcallback));
}

EOSSTS CDrvAssistantImpl::CDrvAssistantImpl_EnterTaskUserinputUseraction(OsXmlCallback*) { return OS_STS_SUCCESS; }
