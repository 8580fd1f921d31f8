// The status words of the device-manager replies.
#include "dp_creportstatus.h"

#include <cstring>

#include "dp_target.h"
#include "os_coslog.h"

namespace {
struct StatusWord {
  const char* szWord;
  EDEVREPLY edevreply;
};

const StatusWord s_astatusword[] = {
    {"success", DEV_REPLY_SUCCESS},
    {"fail", DEV_REPLY_FAIL},
    {"busy", DEV_REPLY_BUSY},
    {"calibrationrequired", DEV_REPLY_CALIBRATIONREQUIRED},
    {"cleanguides", DEV_REPLY_CLEANGUIDES},
    {"coveropen", DEV_REPLY_COVEROPEN},
    {"criticalerror", DEV_REPLY_CRITICALERROR},
    {"disconnected", DEV_REPLY_DISCONNECTED},
    {"ecdocustomlearnfail", DEV_REPLY_ECDOCUSTOMLEARNFAIL},
    {"endofmessages", DEV_REPLY_ENDOFMESSAGES},
    {"endofinput", DEV_REPLY_ENDOFINPUT},
    {"endofoutput", DEV_REPLY_ENDOFOUTPUT},
    {"endofsheet", DEV_REPLY_ENDOFSHEET},
    {"invalidstate", DEV_REPLY_INVALIDSTATE},
    {"lampswarming", DEV_REPLY_LAMPSWARMING},
    {"multifeed", DEV_REPLY_MULTIFEED},
    {"nofeederfound", DEV_REPLY_NOFEEDERFOUND},
    {"noimageready", DEV_REPLY_NOIMAGEREADY},
    {"noprintheadfound", DEV_REPLY_NOPRINTHEADFOUND},
    {"notcomplete", DEV_REPLY_NOTCOMPLETE},
    {"notenoughcolor", DEV_REPLY_NOTENOUGHCOLOR},
    {"notenoughpages", DEV_REPLY_NOTENOUGHPAGES},
    {"nowhitepatchfound", DEV_REPLY_NOWHITEPATCHFOUND},
    {"paperjam", DEV_REPLY_PAPERJAM},
    {"useraction", DEV_REPLY_USERACTION},
};
}  // namespace

bool CReportStatus::CodeFromWord(const char* a_szWord, EDEVREPLY* a_pedevreply) {
  if (!a_szWord) return false;
  for (const StatusWord& statusword : s_astatusword) {
    if (std::strcmp(statusword.szWord, a_szWord) != 0) continue;
    if (a_pedevreply) *a_pedevreply = statusword.edevreply;
    return true;
  }
  return false;
}

void CReportStatus::Reset() {
  m_edevreply = DEV_REPLY_FAIL;
  m_blStatus = false;
}

// An unknown word is logged and the walk goes on; the code stays as it was.
EOSSTS CReportStatus::Handle(EDPHANDLER a_edphandler, OsXmlCallback* a_posxmlcallback) {
  if (a_edphandler != DP_HANDLER_EnterReportstatusStatus) return OS_STS_SUCCESS;
  const char* szWord = DpContent(a_posxmlcallback);
  if (!CodeFromWord(szWord, &m_edevreply)) {
    OsLog(OS_LOG_ERROR, "Unrecognized status %s", szWord);
    return OS_STS_SUCCESS;
  }
  m_blStatus = true;
  return OS_STS_SUCCESS;
}
