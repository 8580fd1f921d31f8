// The command dispatcher: one task text through the command grammar, with a
// reply for every task, and the database's lock and undo point around the
// commands that change it.
#include "drv_cdrvdispatch.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <optional>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "drv_cdrvcommandfsm.h"
#include "drv_cdrvprocesscommands.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cosxmltask.h"

namespace {

const char* s_szGrammarSeam = nullptr;

constexpr size_t s_sizetIdDigits = 20;
constexpr long s_lIdBuffer = 64;  // room to tell an over-long id from a good one
constexpr long s_lCommandName = 64;
constexpr size_t s_sizetTaskHead = 256;

// The commands that read or change the database and never wait for the
// device engine's threads: they hold the database lock throughout.
const char* const s_aszDatabaseCommand[] = {"get",    "set",    "setmany", "reset",  "create",
                                            "destroy", "rename", "import",  "export"};

bool IsDatabaseCommand(const char* a_szCommand) {
  for (const char* sz : s_aszDatabaseCommand) {
    if (std::strcmp(sz, a_szCommand) == 0) return true;
  }
  return false;
}

}  // namespace

bool CDrvDispatchImpl::ReadRawTaskId(const char* a_szXml, int* a_piId) {
  if (!a_szXml || std::strncmp(a_szXml, "<task ", 6) != 0) return false;
  const char* pc = COsString::StrNstr(a_szXml, " id='", s_sizetTaskHead);
  if (!pc) return false;
  pc += 5;
  const size_t sizetId = ::strnlen(pc, s_sizetIdDigits + 1);
  const char* pcQuote = static_cast<const char*>(std::memchr(pc, '\'', sizetId));
  if (!pcQuote) return false;
  char szId[s_sizetIdDigits + 1] = {};
  std::memcpy(szId, pc, static_cast<size_t>(pcQuote - pc));
  return ReadTaskId(szId, a_piId);
}

void CDrvDispatchImpl::NextIds(CDatabase* a_pdatabase, int a_iReplyId) {
  const int iTaskId = a_pdatabase->GetTaskId();
  a_pdatabase->SetTaskId(iTaskId == INT_MAX ? 1 : iTaskId + 1);
  a_pdatabase->SetReplyId(a_iReplyId);
}

// ---------------------------------------------------------------------------
// CDrvDispatchImpl
// ---------------------------------------------------------------------------
CDrvDispatchImpl::CDrvDispatchImpl() = default;

CDrvDispatchImpl::~CDrvDispatchImpl() { OsMemDelete(m_pdrvprocesscommands); }

void CDrvDispatchImpl::SetGrammarSeam(const char* a_szGrammar) { s_szGrammarSeam = a_szGrammar; }

// A second Init starts over: the objects are registered anew.
EOSSTS CDrvDispatchImpl::Init(CDrvCommandFsm* a_pdrvcommandfsm, CDatabase* a_pdatabase, CDev* a_pdev,
                              CDrvGui* a_pdrvgui, CDriver* a_pdriver) {
  m_pdrvcommandfsm = a_pdrvcommandfsm;
  m_pdatabase = a_pdatabase;
  if (!m_pdrvprocesscommands) {
    m_pdrvprocesscommands = OsMemNew(CDrvProcessCommands);
    if (!m_pdrvprocesscommands) {
      OsLog(OS_LOG_ERROR, "OsMemNew failed...");
      return OS_STS_FAIL;
    }
  }
  m_pdrvprocesscommands->Init(a_pdrvcommandfsm, a_pdatabase, a_pdev, a_pdrvgui, a_pdriver);
  DispatchFree();
  EOSSTS eossts = DispatchAddObject("this", "CDrvDispatchImpl", this);
  if (eossts == OS_STS_SUCCESS)
    eossts = DispatchAddObject("drvprocesscommands", "CDrvProcessCommands", m_pdrvprocesscommands);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DispatchAddObject failed...<%d>", static_cast<int>(eossts));
    return eossts;
  }
  m_szGrammar = s_szGrammarSeam ? s_szGrammarSeam : s_szDrvGrammar;
  eossts = DispatchLoad(m_szGrammar);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DispatchLoad failed...<%d>", static_cast<int>(eossts));
    return eossts;
  }
  return OS_STS_SUCCESS;
}

// The builder is cleared first, so that a task never hands back the reply of
// the one before it; a task that built none is answered "fail".
EOSSTS CDrvDispatchImpl::Process(const char* a_szXml) {
  COsXmlTask* posxmltask = m_pdatabase ? m_pdatabase->GetXmlTask() : nullptr;
  if (!posxmltask) {
    OsLog(OS_LOG_ERROR, "m_pdatabase is null...");
    return OS_STS_FAIL;
  }
  posxmltask->Clear();
  m_blIdsTaken = false;
  ++m_iWalks;
  EOSSTS eossts = Walk(a_szXml);
  --m_iWalks;
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DocumentLoadAndDispatch failed...<%d>", static_cast<int>(eossts));
    OsLogDebug(OS_LOG_INFO, "a_szXml = %s", a_szXml ? a_szXml : "(null)");
  }
  if (posxmltask->Size() == 0) {
    AnswerFail(a_szXml);
    if (eossts == OS_STS_SUCCESS) eossts = OS_STS_FAIL;
  }
  DocumentFree();
  return eossts;
}

// A failed setmany puts back what its own start remembered, and only then:
// a refused or unreadable task has no undo point of its own.
EOSSTS CDrvDispatchImpl::Walk(const char* a_szXml) {
  if (!m_pdrvprocesscommands) {
    OsLog(OS_LOG_ERROR, "m_pdrvprocesscommands is null...");
    return OS_STS_FAIL;
  }
  m_pdrvprocesscommands->BeginTask();
  if (!a_szXml) {
    OsLog(OS_LOG_ERROR, "a_szXml is null...");
    return OS_STS_FAIL;
  }
  // The text ReadCommand loaded is walked as it was read.
  const bool blRead = a_szXml == m_szRead;
  m_szRead = nullptr;
  EOSSTS eossts = blRead ? OS_STS_SUCCESS : DocumentLoad(a_szXml);
  if (eossts != OS_STS_SUCCESS) return eossts;
  if (!FindCommand(m_szCommand, sizeof m_szCommand)) return OS_STS_FAIL;
  std::optional<CDbLockGuard> optionaldblockguard;
  if (IsDatabaseCommand(m_szCommand)) optionaldblockguard.emplace();
  eossts = Dispatch(nullptr);
  if (eossts != OS_STS_SUCCESS && m_pdrvprocesscommands->IsSetmanyBegun()) {
    m_pdrvprocesscommands->RestoreSetmany();
    m_pdatabase->CreateTaskReportStatus("badvalue", nullptr);
  }
  return eossts;
}

bool CDrvDispatchImpl::FindCommand(char* a_szCommand, long a_lCommand) {
  char szRoot[8] = {};
  const long lCommands = CountCommands(this, szRoot, sizeof szRoot, a_szCommand, a_lCommand);
  if (lCommands < 0) {
    OsLog(OS_LOG_ERROR, "Failure:  Not a task...<%s>", szRoot);
    return false;
  }
  if (lCommands != 1) {
    OsLog(OS_LOG_ERROR, "Failure:  A task holds one command, this one %ld.", lCommands);
    return false;
  }
  return true;
}

long CDrvDispatchImpl::CountCommands(COsXml* a_posxml, char* a_szRoot, long a_lRoot, char* a_szCommand,
                                     long a_lCommand) {
  a_szCommand[0] = '\0';
  if (a_posxml->NodeGetName(a_szRoot, a_lRoot) != OS_STS_SUCCESS || std::strcmp(a_szRoot, "task") != 0) return -1;
  long lCommands = 0;
  if (a_posxml->NodePush() == OS_STS_SUCCESS) {
    if (a_posxml->NodeChild() == OS_STS_SUCCESS) {
      lCommands = 1;
      // A name too long for the buffer is no command of the grammar.
      if (a_posxml->NodeGetName(a_szCommand, a_lCommand) != OS_STS_SUCCESS) a_szCommand[0] = '\0';
      while (a_posxml->NodeSibling() == OS_STS_SUCCESS) ++lCommands;
    }
    a_posxml->NodePop();
  }
  return lCommands;
}

bool CDrvDispatchImpl::ReadTaskCommand(const char* a_szXml, char* a_szCommand, long a_lCommand) {
  if (!a_szCommand || a_lCommand <= 0) return false;
  a_szCommand[0] = '\0';
  if (!a_szXml) return false;
  COsXml osxml;
  char szRoot[8] = {};
  long lCommands = 0;
  if (osxml.DocumentLoad(a_szXml) == OS_STS_SUCCESS)
    lCommands = CountCommands(&osxml, szRoot, sizeof szRoot, a_szCommand, a_lCommand);
  osxml.DocumentFree();
  if (lCommands == 1) return a_szCommand[0] != '\0';
  a_szCommand[0] = '\0';
  return false;
}

// A text that does not load is read again by Process, which logs why.
bool CDrvDispatchImpl::ReadCommand(const char* a_szXml, char* a_szCommand, long a_lCommand) {
  EndTask();
  if (m_iWalks > 0) return ReadTaskCommand(a_szXml, a_szCommand, a_lCommand);
  if (!a_szCommand || a_lCommand <= 0) return false;
  a_szCommand[0] = '\0';
  if (!a_szXml) return false;
  if (DocumentLoad(a_szXml) != OS_STS_SUCCESS) {
    DocumentFree();
    return false;
  }
  m_szRead = a_szXml;
  char szRoot[8] = {};
  if (CountCommands(this, szRoot, sizeof szRoot, a_szCommand, a_lCommand) == 1) return a_szCommand[0] != '\0';
  a_szCommand[0] = '\0';
  return false;
}

void CDrvDispatchImpl::EndTask() {
  if (!m_szRead) return;
  m_szRead = nullptr;
  if (m_iWalks == 0) DocumentFree();
}

void CDrvDispatchImpl::TakeIds(int a_iReplyId) {
  NextIds(m_pdatabase, a_iReplyId);
  m_blIdsTaken = true;
}

void CDrvDispatchImpl::AnswerFail(const char* a_szXml) {
  if (!m_blIdsTaken) {
    int iReplyId = 0;
    if (!ReadRawTaskId(a_szXml, &iReplyId)) iReplyId = 0;
    TakeIds(iReplyId);
  }
  OsLog(OS_LOG_ERROR, "The task built no reply: fail...<%d>", m_pdatabase->GetReplyId());
  m_pdatabase->CreateTaskReportStatus("fail", nullptr);
}

bool CDrvDispatchImpl::ReadTaskId(const char* a_szId, int* a_piId) {
  if (!a_szId || !a_piId) return false;
  const size_t sizetId = ::strnlen(a_szId, s_sizetIdDigits + 1);
  if (sizetId == 0 || sizetId > s_sizetIdDigits) return false;
  long long ll = 0;
  for (size_t sizet = 0; sizet < sizetId; ++sizet) {
    if (a_szId[sizet] < '0' || a_szId[sizet] > '9') return false;
    ll = ll * 10 + (a_szId[sizet] - '0');
    if (ll > INT_MAX) return false;
  }
  *a_piId = static_cast<int>(ll);
  return true;
}

// ---------------------------------------------------------------------------
// The task element
// ---------------------------------------------------------------------------
EOSSTS CDrvDispatchImpl::EnterTask(OsXmlCallback* a_posxmlcallback) {
  char szId[s_lIdBuffer] = {};
  const bool blId = a_posxmlcallback->posxml->NodeGetProperty("id", szId, sizeof szId) == OS_STS_SUCCESS;
  OsLogDebug(OS_LOG_INFO, "Task Id from input task %s", szId);
  int iReplyId = 0;
  if (!blId || !ReadTaskId(szId, &iReplyId)) {
    OsLog(OS_LOG_ERROR, "Failure:  Unable to get Task Id from XML task.");
    return OS_STS_FAIL;
  }
  OsLogDebug(OS_LOG_INFO, "TaskId = %d, ReplyId = %d", m_pdatabase->GetTaskId(), iReplyId);
  TakeIds(iReplyId);
  char szJudged[sizeof m_szCommand + 2];
  std::snprintf(szJudged, sizeof szJudged, "<%s>", std::strcmp(m_szCommand, "setmany") == 0 ? "set" : m_szCommand);
  if (m_pdrvcommandfsm && !m_pdrvcommandfsm->CheckValidState(szJudged, nullptr)) {
    OsLog(OS_LOG_ERROR, "Failure:  Command not allowed in current state.");
    m_pdatabase->CreateTaskReportStatus("invalidstate", nullptr);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

EOSSTS CDrvDispatchImpl::CDrvDispatchImpl_EnterTask(OsXmlCallback* a_posxmlcallback) {
  return static_cast<CDrvDispatchImpl*>(a_posxmlcallback->pvObject)->EnterTask(a_posxmlcallback);
}

// ---------------------------------------------------------------------------
// CDrvDispatch: checks its implementation, then forwards.
// ---------------------------------------------------------------------------
CDrvDispatch::CDrvDispatch() : m_pdrvdispatchimpl(OsMemNew(CDrvDispatchImpl)) {}

CDrvDispatch::~CDrvDispatch() { OsMemDelete(m_pdrvdispatchimpl); }

EOSSTS CDrvDispatch::Init(CDrvCommandFsm* a_pdrvcommandfsm, CDatabase* a_pdatabase, CDev* a_pdev, CDrvGui* a_pdrvgui,
                          CDriver* a_pdriver) {
  if (!m_pdrvdispatchimpl) {
    OsLog(OS_LOG_ERROR, "m_pdrvdispatchimpl is null...");
    return OS_STS_FAIL;
  }
  return m_pdrvdispatchimpl->Init(a_pdrvcommandfsm, a_pdatabase, a_pdev, a_pdrvgui, a_pdriver);
}

EOSSTS CDrvDispatch::Process(const char* a_szXml) {
  if (!m_pdrvdispatchimpl) {
    OsLog(OS_LOG_ERROR, "m_pdrvdispatchimpl is null...");
    return OS_STS_FAIL;
  }
  return m_pdrvdispatchimpl->Process(a_szXml);
}

bool CDrvDispatch::ReadCommand(const char* a_szXml, char* a_szCommand, long a_lCommand) {
  if (!m_pdrvdispatchimpl) return CDrvDispatchImpl::ReadTaskCommand(a_szXml, a_szCommand, a_lCommand);
  return m_pdrvdispatchimpl->ReadCommand(a_szXml, a_szCommand, a_lCommand);
}

void CDrvDispatch::EndTask() {
  if (m_pdrvdispatchimpl) m_pdrvdispatchimpl->EndTask();
}
