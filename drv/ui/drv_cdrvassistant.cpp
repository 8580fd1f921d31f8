// The assistant bridge without an assistant program, and the image queue's
// record with its own copies of the texts.
#include "drv_cdrvassistant.h"

#include <cstring>
#include <iterator>

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
    : m_pdatabase(a_pdatabase), m_pdriver(a_pdriver) {}

CDrvAssistant::~CDrvAssistant() = default;

// No assistant takes a record: the image queue hands it on.
EOSSTS CDrvAssistant::Action(EDRVASSISTANTACTION a_edrvassistantaction, CDrvAssistantAction*) {
  OsLogDebug(OS_LOG_INFO, "DrvAssistant>>> action=%s", GetActionName(a_edrvassistantaction));
  return OS_STS_SUCCESS;
}

void CDrvAssistant::Bounce() {}

const char* CDrvAssistant::GetActionName(EDRVASSISTANTACTION a_edrvassistantaction) {
  if (a_edrvassistantaction < DRV_ASSISTANTACTION_UNDEFINED || a_edrvassistantaction > DRV_ASSISTANTACTION_LAST)
    return "?";
  return s_aszDrvAssistantAction[a_edrvassistantaction];
}
