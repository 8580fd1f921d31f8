// The assistant bridge's facade: its action lock, the manager of each
// scan, the bounce; and the image queue's record with its own copies of
// the texts.
#include "drv_cdrvassistant.h"

#include <cstring>
#include <iterator>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "drv_cdrvassistantmgr.h"
#include "os_coslog.h"
#include "os_cosmem.h"

namespace {

const char* const s_aszDrvAssistantAction[] = {
    "DRV_ASSISTANTACTION_UNDEFINED", "DRV_ASSISTANTACTION_SCANBEGIN", "DRV_ASSISTANTACTION_SCANEND",
    "DRV_ASSISTANTACTION_HIDE",      "DRV_ASSISTANTACTION_USERACTION", "DRV_ASSISTANTACTION_LAST",
};
static_assert(std::size(s_aszDrvAssistantAction) == DRV_ASSISTANTACTION_LAST + 1);

// A tracked copy, or null for no text or no memory.
char* Copy(const char* a_szText) {
  if (!a_szText) return nullptr;
  const size_t sizetText = std::strlen(a_szText) + 1;
  auto* sz = static_cast<char*>(OsMemAlloc(sizetText));
  if (!sz) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...%zu", sizetText);
    return nullptr;
  }
  std::memcpy(sz, a_szText, sizetText);
  return sz;
}

}  // namespace

CDrvAssistantActionUserAction::CDrvAssistantActionUserAction(EDEVSTS a_edevsts, const char* a_szXml,
                                                             const char* a_szUserAction) {
  edrvassistantaction = DRV_ASSISTANTACTION_USERACTION;
  edevsts = a_edevsts;
  szXml = Copy(a_szXml);
  szUserAction = Copy(a_szUserAction);
}

CDrvAssistantActionUserAction::~CDrvAssistantActionUserAction() {
  if (szXml) OsMemFree(szXml);
  if (szUserAction) OsMemFree(szUserAction);
}

CDrvAssistant::CDrvAssistant(CDatabase* a_pdatabase, CDriver* a_pdriver)
    : m_pdatabase(a_pdatabase), m_pdriver(a_pdriver) {
  m_pdrvassistantmgr = NewMgr();
}

CDrvAssistant::~CDrvAssistant() {
  CDrvAssistantMgr* pdrvassistantmgr;
  {
    std::lock_guard<std::mutex> lock(m_mutexMgr);
    pdrvassistantmgr = m_pdrvassistantmgr;
    m_pdrvassistantmgr = nullptr;
    if (pdrvassistantmgr) pdrvassistantmgr->Interrupt();
  }
  CDbLockRelease dblockrelease;
  OsMemDelete(pdrvassistantmgr);
}

CDrvAssistantMgr* CDrvAssistant::NewMgr() {
  CDrvAssistantMgr* pdrvassistantmgr = OsMemNew(CDrvAssistantMgr, m_pdatabase, m_pdriver);
  if (!pdrvassistantmgr) OsLog(OS_LOG_ERROR, "OsMemNew failed...");
  return pdrvassistantmgr;
}

CDrvAssistantMgr* CDrvAssistant::GetMgr() {
  std::lock_guard<std::mutex> lock(m_mutexMgr);
  return m_pdrvassistantmgr;
}

EOSSTS CDrvAssistant::Action(EDRVASSISTANTACTION a_edrvassistantaction, CDrvAssistantAction* a_pdrvassistantaction) {
  OsLogDebug(OS_LOG_INFO, "DrvAssistant>>> action=%s", GetActionName(a_edrvassistantaction));
  CDbLockRelease dblockrelease;
  if (a_edrvassistantaction == DRV_ASSISTANTACTION_SCANEND) return EndScan(a_pdrvassistantaction);
  std::lock_guard<std::mutex> lock(m_mutexAction);
  CDrvAssistantMgr* pdrvassistantmgr = GetMgr();
  if (!pdrvassistantmgr) {
    OsLog(OS_LOG_ERROR, "m_pdrvassistantmgr is null...");
    return OS_STS_FAIL;
  }
  return pdrvassistantmgr->Action(a_edrvassistantaction, a_pdrvassistantaction);
}

// A user action waiting for the assistant gives up first; the manager is
// taken out under the action lock, and its assistant stopped (and reaped)
// without it: an action meanwhile finds no manager and leaves its record
// to the application.
EOSSTS CDrvAssistant::EndScan(CDrvAssistantAction* a_pdrvassistantaction) {
  {
    std::lock_guard<std::mutex> lock(m_mutexMgr);
    if (m_pdrvassistantmgr) m_pdrvassistantmgr->Interrupt();
  }
  CDrvAssistantMgr* pdrvassistantmgr;
  {
    std::lock_guard<std::mutex> lockAction(m_mutexAction);
    std::lock_guard<std::mutex> lock(m_mutexMgr);
    pdrvassistantmgr = m_pdrvassistantmgr;
    m_pdrvassistantmgr = nullptr;
  }
  if (!pdrvassistantmgr) {
    OsLog(OS_LOG_ERROR, "m_pdrvassistantmgr is null...");
    return OS_STS_FAIL;
  }
  const EOSSTS eossts = pdrvassistantmgr->Action(DRV_ASSISTANTACTION_SCANEND, a_pdrvassistantaction);
  OsMemDelete(pdrvassistantmgr);
  CDrvAssistantMgr* pdrvassistantmgrNew = NewMgr();
  std::lock_guard<std::mutex> lock(m_mutexMgr);
  m_pdrvassistantmgr = pdrvassistantmgrNew;
  return eossts;
}

// Ends the assistant when it comes up per user action, hides it when it
// lives for the scan.
void CDrvAssistant::Bounce() {
  CDbLockRelease dblockrelease;
  bool blEnd = false;
  {
    std::lock_guard<std::mutex> lock(m_mutexAction);
    CDrvAssistantMgr* pdrvassistantmgr = GetMgr();
    if (!pdrvassistantmgr) {
      OsLog(OS_LOG_ERROR, "DrvAssistant>>> driver assistant m_pdrvassistantmgr is NULL");
    } else if (!pdrvassistantmgr->StartUiAtScanBegin()) {
      blEnd = true;
    } else {
      pdrvassistantmgr->Action(DRV_ASSISTANTACTION_HIDE, nullptr);
    }
  }
  if (blEnd) EndScan(nullptr);
  if (m_pdatabase) m_pdatabase->ClearDbState(DB_STATE_USERACTION);
}

const char* CDrvAssistant::GetActionName(EDRVASSISTANTACTION a_edrvassistantaction) {
  if (a_edrvassistantaction < DRV_ASSISTANTACTION_UNDEFINED || a_edrvassistantaction > DRV_ASSISTANTACTION_LAST)
    return "?";
  return s_aszDrvAssistantAction[a_edrvassistantaction];
}
