// The data entry's task processor, least: a data session opens and closes,
// and every other command answers "fail" until the data commands are built.
// Each reply is a whole task echoing the front end's id.
#include <climits>
#include <cstring>
#include <mutex>

#include "dev_cdevdata.h"
#include "dev_cdevdataxml.h"
#include "os_coslog.h"
#include "os_cosxml.h"
#include "os_cosxmltask.h"

namespace {
constexpr long s_lCommand = 64;
}  // namespace

bool CDevData::DataEntry(const char* a_szTask, const char** a_pszReply) {
  OsLogDebug(OS_LOG_INFO, "%s", "");
  OsLogDebug(OS_LOG_PROTOCOL, "<CALLER2DRV>%s</CALLER2DRV>", a_szTask ? a_szTask : "(null)");
  std::lock_guard<std::mutex> lock(m_mutexEntry);
  *a_pszReply = COsXmlTask::ReportStatusFail();
  if (!a_szTask) return false;
  // Without its builder the session cannot answer: it ends.
  if (!Whole("DataEntry")) return true;
  COsXmlTask* posxmltaskReply = m_pdevdataxml->GetOsXmlTask();
  char szCommand[s_lCommand] = {};
  const bool blTask = ReadCommand(a_szTask, szCommand, sizeof szCommand);
  // A second interfaceopen must not end the session it was sent into.
  const bool blOpen = blTask && std::strcmp(szCommand, "interfaceopen") == 0;
  const bool blReopen = blOpen && m_blOpened;
  const bool blSuccess = !blReopen && blTask && (blOpen || std::strcmp(szCommand, "interfaceclose") == 0);
  if (blReopen) {
    OsLog(OS_LOG_ERROR, "interfaceopen refused, the data session is open already...");
  } else if (!blSuccess) {
    OsLog(OS_LOG_ERROR, "data command not built yet...<%s>", szCommand);
  }
  m_blOpened = m_blOpened || (blOpen && blSuccess);
  uint64_t u64Id = 0;
  if (!COsXml::GetTaskPropertyId(a_szTask, &u64Id) || u64Id > INT_MAX) u64Id = 0;
  m_iTaskCount = m_iTaskCount == INT_MAX ? 1 : m_iTaskCount + 1;
  posxmltaskReply->Clear();
  posxmltaskReply->StartTask(m_iTaskCount, static_cast<int>(u64Id),
                             blSuccess ? "success" : blReopen ? "invalidstate" : "fail");
  posxmltaskReply->FinalizeTask();
  *a_pszReply = posxmltaskReply->GetTaskBuffer();
  OsLogDebug(OS_LOG_PROTOCOL, "<DRV2CALLER>%s</DRV2CALLER>", *a_pszReply);
  // The session ends with its interfaceclose, or at once when its opening
  // failed; tags inside another task's arguments end nothing.
  return !m_blOpened || (blTask && std::strcmp(szCommand, "interfaceclose") == 0);
}

bool CDevData::ReadCommand(const char* a_szTask, char* a_szCommand, long a_lCommand) {
  COsXml osxml;
  if (osxml.DocumentLoad(a_szTask, static_cast<long>(std::strlen(a_szTask))) != OS_STS_SUCCESS) return false;
  char szRoot[8] = {};
  long lCommands = 0;
  if (osxml.NodeGetName(szRoot, sizeof szRoot) == OS_STS_SUCCESS && std::strcmp(szRoot, "task") == 0 &&
      osxml.NodeChild() == OS_STS_SUCCESS) {
    lCommands = 1;
    if (osxml.NodeGetName(a_szCommand, a_lCommand) != OS_STS_SUCCESS) a_szCommand[0] = '\0';
    while (osxml.NodeSibling() == OS_STS_SUCCESS) ++lCommands;
  }
  osxml.DocumentFree();
  return lCommands == 1;
}
