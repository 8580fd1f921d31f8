// The sibling run-time library "pelum": loaded on demand, asked once for the
// functions it offers (its reply to interfaceopen), told at the end.
#include <cstring>

#include "os_coscfg.h"
#include "os_coscfgimpl.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {
// The reply when there is no library to ask: success, no functions.
constexpr const char* kSuccessReply = "<task><status>success</status></task>";
}  // namespace

// Loading shared libraries is not part of this build yet: the reply is the
// fixed success reply without functions.
const char* COsCfgImpl::PelumGetReportFunctions() {
  if (m_szPelumReply) return m_szPelumReply;
  static char s_szReply[2048];
  COsString::SStrCpy(s_szReply, sizeof s_szReply, kSuccessReply);
  m_szPelumReply = s_szReply;
  return m_szPelumReply;
}

void COsCfgImpl::PelumShutdown() { m_szPelumReply = nullptr; }

const char* COsCfg::PelumGetReportFunctions() {
  if (!m_poscfgimpl) {
    OsLog(OS_LOG_ASSERT, "m_poscfgimpl is null...");
    return nullptr;
  }
  return m_poscfgimpl->PelumGetReportFunctions();
}
