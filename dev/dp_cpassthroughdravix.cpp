// The free-memory reply: its grammar and handlers. The walk's argument is
// the caller's list.
#include "dp_cpassthroughdravix.h"

#include <cstdlib>
#include <cstring>

#include "dp_grammarreader.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosxml.h"

namespace {

// The object "this" is the parser.
constexpr char s_szGrammar[] =
    "<task enter='this.EnterTask'>"
    "<reportstatus>"
    "<status enter='this.EnterTaskReportstatusStatus'/>"
    "</reportstatus>"
    "<reportfreememory>"
    "<freememory enter='this.EnterTaskReportfreememoryFreememory'/>"
    "</reportfreememory>"
    "</task>";

constexpr uint64_t s_u64ListRoom = sizeof(OsMemList::au64Size) / sizeof(OsMemList::au64Size[0]);

CPassthroughDravix* Self(OsXmlCallback* a_posxmlcallback) {
  return static_cast<CPassthroughDravix*>(a_posxmlcallback->pvObject);
}
OsMemList* List(OsXmlCallback* a_posxmlcallback) { return static_cast<OsMemList*>(a_posxmlcallback->pvArg); }
const char* Data(OsXmlCallback* a_posxmlcallback) { return a_posxmlcallback->szData ? a_posxmlcallback->szData : ""; }

}  // namespace

CPassthroughDravix::CPassthroughDravix() {
  m_posxml = DpNewGrammarReader("CPassthroughDravix", this, s_szGrammar);
}

CPassthroughDravix::~CPassthroughDravix() { OsMemDelete(m_posxml); }

EOSSTS CPassthroughDravix::Process(const char* a_szReply, OsMemList* a_posmemlist) {
  if (!a_posmemlist) {
    OsLog(OS_LOG_ERROR, "a_posmemlist is null...");
    return OS_STS_FAIL;
  }
  a_posmemlist->u64Count = 0;
  if (!a_szReply || !*a_szReply) {
    OsLog(OS_LOG_ERROR, "Xml task is empty");
    return OS_STS_FAIL;
  }
  if (!m_posxml) {
    OsLog(OS_LOG_ERROR, "m_posxml is null...");
    return OS_STS_FAIL;
  }
  m_blStatusSeen = false;
  const EOSSTS eossts = m_posxml->DocumentLoadAndDispatch(a_szReply, a_posmemlist);
  m_posxml->DocumentFree();
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DispatchLoadAndDispatch failed...");
    return eossts;
  }
  if (!m_blStatusSeen) {
    OsLog(OS_LOG_ERROR, "Xml task has no status...<%.200s>", a_szReply);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

EOSSTS CPassthroughDravix::CPassthroughDravix_EnterTask(OsXmlCallback* a_p) {
  List(a_p)->u64Count = 0;
  return OS_STS_SUCCESS;
}

EOSSTS CPassthroughDravix::CPassthroughDravix_EnterTaskReportstatusStatus(OsXmlCallback* a_p) {
  Self(a_p)->m_blStatusSeen = true;
  if (std::strcmp(Data(a_p), "success") == 0) return OS_STS_SUCCESS;
  OsLog(OS_LOG_ERROR, "passthroughdravix failed...%s", Data(a_p));
  return OS_STS_FAIL;
}

EOSSTS CPassthroughDravix::CPassthroughDravix_EnterTaskReportfreememoryFreememory(OsXmlCallback* a_p) {
  OsMemList* posmemlist = List(a_p);
  if (posmemlist->u64Count >= s_u64ListRoom) {
    OsLog(OS_LOG_ERROR, "freememory beyond the list's room, dropped...%s", Data(a_p));
    return OS_STS_SUCCESS;
  }
  posmemlist->au64Size[posmemlist->u64Count++] = std::strtoull(Data(a_p), nullptr, 10);
  return OS_STS_SUCCESS;
}
