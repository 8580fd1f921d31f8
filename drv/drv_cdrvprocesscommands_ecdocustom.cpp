// The custom colour-dropout learning requests (the ecdocustom family): each
// command goes as a task of its own name to the unit's device manager, when
// the model names one for them, else to its image library; the answer is
// read with the handlers' own reader and rebuilt as the reply. The learning
// pass itself is the GUI's.
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "drv_cdrvgui.h"
#include "drv_cdrvprocesscommands.h"
#include "drv_ecdocustomroute.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosxml.h"
#include "os_cosxmltask.h"

namespace {

// Content this short carries nothing for the device: the element goes empty.
constexpr size_t s_sizetLeastContent = 7;
// The status word of an answer.
constexpr long s_lStatusWord = 64;

// The dialog of the learning pass, cleared once it ends.
constexpr int32_t s_i32DialogEcdoCustomLearn = 6;

}  // namespace

// ---------------------------------------------------------------------------
// The commands
// ---------------------------------------------------------------------------
// Begin and end move the engine into and out of learning whatever the
// units answered.
EOSSTS CDrvProcessCommands::ExitEcdocustombegin(OsXmlCallback* a_posxmlcallback) {
  const EOSSTS eossts = EcdoCustomRequest(a_posxmlcallback, true);
  if (m_pdev) m_pdev->EcdoCustomBegin();
  return eossts;
}

EOSSTS CDrvProcessCommands::ExitEcdocustomend(OsXmlCallback* a_posxmlcallback) {
  const EOSSTS eossts = EcdoCustomRequest(a_posxmlcallback, true);
  if (m_pdev) m_pdev->EcdoCustomEnd();
  return eossts;
}

#define DRV_ECDOCUSTOM_REQUEST(name)                                           \
  EOSSTS CDrvProcessCommands::name(OsXmlCallback* a_posxmlcallback) {         \
    return EcdoCustomRequest(a_posxmlcallback, false);                         \
  }
DRV_ECDOCUSTOM_REQUEST(ExitEcdocustomdelete)
DRV_ECDOCUSTOM_REQUEST(ExitEcdocustomexport)
DRV_ECDOCUSTOM_REQUEST(ExitEcdocustomimport)
DRV_ECDOCUSTOM_REQUEST(ExitEcdocustomnew)
DRV_ECDOCUSTOM_REQUEST(ExitEcdocustomrename)
DRV_ECDOCUSTOM_REQUEST(ExitEcdocustomreset)
DRV_ECDOCUSTOM_REQUEST(ExitEcdocustomsave)
DRV_ECDOCUSTOM_REQUEST(ExitEcdocustomsettingsmultiple)
DRV_ECDOCUSTOM_REQUEST(ExitEcdocustomsettingssingle)
DRV_ECDOCUSTOM_REQUEST(ExitGetecdocustom)
#undef DRV_ECDOCUSTOM_REQUEST

// The learning pass runs in the GUI: without one it fails.
EOSSTS CDrvProcessCommands::ExitEcdocustomlearnvariability(OsXmlCallback*) {
  if (NoDatabase()) return OS_STS_FAIL;
  {
    CDbLockGuard dblockguard;
    DbEcdoCustomSettings* pdbecdocustomsettings = m_pdatabase->GetEcdoCustomSettings();
    std::strcpy(pdbecdocustomsettings->szName, "(none)");
  }
  EOSSTS eossts = DRV_GUI_STS_NOGUI;
  if (m_pdrvgui) {
    CDrvGuiBase drvguibase;
    drvguibase.edrvguiaction = DRV_GUIACTION_ECDOCUSTOMLEARN;
    eossts = m_pdrvgui->Action(DRV_GUIACTION_ECDOCUSTOMLEARN, &drvguibase);
    CDrvGuiBase drvguibaseClear;
    drvguibaseClear.edrvguiaction = DRV_GUIACTION_MESSAGEMANAGERCLEAR;
    drvguibaseClear.i32Value = s_i32DialogEcdoCustomLearn;
    m_pdrvgui->Action(DRV_GUIACTION_MESSAGEMANAGERCLEAR, &drvguibaseClear);
  }
  return AnswerWord(eossts == OS_STS_SUCCESS ? "success" : "fail");
}

// ---------------------------------------------------------------------------
// The request
// ---------------------------------------------------------------------------
// The units and the target of each: drv_ecdocustomroute.h.
EOSSTS CDrvProcessCommands::EcdoCustomRequest(const OsXmlCallback* a_posxmlcallback, bool a_blBothUnits) {
  if (NoDatabase()) return OS_STS_FAIL;
  if (!m_pdev) {
    OsLog(OS_LOG_ERROR, "m_pdev is null...");
    return AnswerWord("fail");
  }
  return DrvEcdoCustomRoute(m_pdatabase, a_blBothUnits, [&](EDBID_FIRMWARE a_edbidfirmware) {
    return EcdoCustomRequestUnit(a_posxmlcallback, a_edbidfirmware);
  });
}

// The request is a task of its own (id 0, no status) holding the command's
// element, with the command's content as the front end wrote it.
EOSSTS CDrvProcessCommands::EcdoCustomRequestUnit(const OsXmlCallback* a_posxmlcallback,
                                                  EDBID_FIRMWARE a_edbidfirmware) {
  const char* szContent = ElementText(a_posxmlcallback);
  const size_t sizetContent = std::strlen(szContent);
  COsXmlTask osxmltask("", COsXmlTask::s_sizetMinimumCapacity + sizetContent);
  osxmltask.StartTask(0, 0, nullptr);
  osxmltask.StartCommand(a_posxmlcallback->szName, 1);
  if (sizetContent > s_sizetLeastContent) osxmltask.AddPassThrough(szContent);
  osxmltask.FinalizeCommand(a_posxmlcallback->szName);
  osxmltask.FinalizeTask();
  if (osxmltask.IsError(true)) {
    OsLog(OS_LOG_ERROR, "Failed to build the request...<%s>", a_posxmlcallback->szName);
    return AnswerWord("fail");
  }
  const char* szAnswer = DrvEcdoCustomSend(m_pdatabase, m_pdev, a_edbidfirmware, &osxmltask);
  if (!szAnswer) {
    OsLog(OS_LOG_ERROR, "No answer from unit %d...<%s>", static_cast<int>(a_edbidfirmware),
          a_posxmlcallback->szName);
    return AnswerWord("fail");
  }
  return EcdoCustomAnswer(szAnswer);
}

// ---------------------------------------------------------------------------
// The answer
// ---------------------------------------------------------------------------
char* CDrvProcessCommands::EcdoCustomContent() {
  if (!m_pvMemory) m_pvMemory = OsMemAlloc(DRV_ECDOCUSTOM_CONTENT);
  if (!m_pvMemory) OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
  return static_cast<char*>(m_pvMemory);
}

// The answer's first element is its reportstatus; the status word it holds
// becomes the reply's, the elements after it are the reply's content.
EOSSTS CDrvProcessCommands::EcdoCustomAnswer(const char* a_szAnswer) {
  EOSSTS eossts = m_osxml.DocumentLoad(a_szAnswer);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Fail to DocumentLoad...%d", static_cast<int>(eossts));
    return AnswerWord("fail");
  }
  eossts = m_osxml.NodeChild();
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Fail to get the NodeChild...%d", static_cast<int>(eossts));
    m_osxml.DocumentFree();
    return AnswerWord("fail");
  }
  char szStatus[s_lStatusWord] = {};
  if (m_osxml.NodeGetName(m_szName, sizeof m_szName) != OS_STS_SUCCESS ||
      std::strcmp(m_szName, "reportstatus") != 0 || m_osxml.NodePush() != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Fail to get the <reportstatus>...");
    m_osxml.DocumentFree();
    return AnswerWord("fail");
  }
  const bool blStatus = m_osxml.NodeChild() == OS_STS_SUCCESS &&
                        m_osxml.NodeGetContent(szStatus, sizeof szStatus) == OS_STS_SUCCESS && szStatus[0];
  m_osxml.NodePop();
  if (!blStatus) {
    OsLog(OS_LOG_ERROR, "Fail to get the <reportstatus>...");
    m_osxml.DocumentFree();
    return AnswerWord("fail");
  }
  CDbLockGuard dblockguard;
  m_pdatabase->GetXmlTask()->Clear();
  StartReply(szStatus);
  eossts = EcdoCustomCopyElements();
  m_osxml.DocumentFree();
  if (eossts != OS_STS_SUCCESS) return AnswerWord("fail");
  if (FinishReply(DB_STS_SUCCESS, false) != DB_STS_SUCCESS) return OS_STS_FAIL;
  return std::strcmp(szStatus, "success") == 0 ? OS_STS_SUCCESS : OS_STS_FAIL;
}

// Each element after the status, its content as the device wrote it; one
// that does not fit the content buffer fails the answer rather than reach
// the front end cut.
EOSSTS CDrvProcessCommands::EcdoCustomCopyElements() {
  char* szContent = EcdoCustomContent();
  if (!szContent) return OS_STS_FAIL;
  COsXmlTask* posxmltask = m_pdatabase->GetXmlTask();
  while (m_osxml.NodeSibling() == OS_STS_SUCCESS) {
    if (m_osxml.NodeGetName(m_szName, sizeof m_szName) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "answer element name too long...");
      return OS_STS_FAIL;
    }
    if (m_osxml.NodeGetContent(szContent, static_cast<long>(DRV_ECDOCUSTOM_CONTENT)) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "answer element too large...<%s>", m_szName);
      return OS_STS_FAIL;
    }
    posxmltask->StartCommand(m_szName, 1);
    posxmltask->AddPassThrough(szContent);
    posxmltask->FinalizeCommand(m_szName);
  }
  return OS_STS_SUCCESS;
}
