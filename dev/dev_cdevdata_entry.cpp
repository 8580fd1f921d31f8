// The data entry's task processor: each task is walked against the data
// grammar (dev_cdevdataxml_entry.cpp) and answered with a whole task that
// echoes the front end's id, a failed one included.
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
  char szCommand[s_lCommand] = {};
  const bool blTask = ReadCommand(a_szTask, szCommand, sizeof szCommand);
  // A second interfaceopen must not end the session it was sent into.
  if (blTask && m_blOpened && std::strcmp(szCommand, "interfaceopen") == 0) {
    OsLog(OS_LOG_ERROR, "interfaceopen refused, the data session is open already...");
    m_pdevdataxml->Refuse(a_szTask, "invalidstate", a_pszReply);
    OsLogDebug(OS_LOG_PROTOCOL, "<DRV2CALLER>%s</DRV2CALLER>", *a_pszReply);
    return false;
  }
  const bool blDispatched = m_pdevdataxml->RunTask(a_szTask, a_pszReply);
  OsLogDebug(OS_LOG_PROTOCOL, "<DRV2CALLER>%s</DRV2CALLER>", *a_pszReply);
  const bool blOpen = blTask && std::strcmp(szCommand, "interfaceopen") == 0;
  const bool blSuccess = std::strstr(*a_pszReply, "<status>success</status>") != nullptr;
  m_blOpened = m_blOpened || (blOpen && blDispatched && blSuccess);
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
