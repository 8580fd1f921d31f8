// The GUI's custom colour-dropout (ecdocustom) commands and its pass-through
// to the image library: the command's inner XML goes on as the front end's
// own requests go (drv_ecdocustomroute.h), and the answer's inner content
// comes back to the GUI under its task id. Nothing here holds the database
// lock while the device, the library or the preview is waited for.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "db_cdatabase.h"
#include "dev_cdev.h"
#include "drv_cdrvguiimpl.h"
#include "drv_cdrvuiframe.h"
#include "drv_ecdocustomroute.h"
#include "drv_uiwaits.h"
#include "os_coslog.h"
#include "os_cosxml.h"
#include "os_cosxmltask.h"

namespace {

constexpr size_t s_sizetWork = 131072;  // the work buffer's first size
constexpr size_t s_sizetLeastContent = 2;  // content this short goes as an empty element
constexpr long s_lPollMs = 100;
constexpr long s_lName = 64;
constexpr long s_lStatusWord = 64;

}  // namespace

// The inner XML of the current node in the work buffer, grown to fit; null
// (logged) when memory runs out or the content cannot be read.
const char* CDrvGuiImpl::ReadInner(COsXml* a_posxml) {
  long lOffset = 0;
  long lSize = 0;
  if (a_posxml->NodeGetContentLocation(&lOffset, &lSize) != OS_STS_SUCCESS || lSize < 0) {
    OsLog(OS_LOG_ERROR, "NodeGetContent failed...");
    return nullptr;
  }
  const size_t sizetNeeded = std::max(s_sizetWork, static_cast<size_t>(lSize) + 1);
  if (sizetNeeded > CDrvUiFrame::s_sizetMaxTask) {
    OsLog(OS_LOG_ERROR, "NodeGetContent failed...%ld", lSize);
    return nullptr;
  }
  try {
    if (m_veccWork.size() < sizetNeeded) m_veccWork.resize(sizetNeeded);
  } catch (const std::bad_alloc&) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
    return nullptr;
  }
  if (a_posxml->NodeGetContent(m_veccWork.data(), static_cast<long>(m_veccWork.size())) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "NodeGetContent failed...");
    return nullptr;
  }
  return m_veccWork.data();
}

// The answer of the device or the library as the GUI's reply: the inner
// content of its root under the GUI's task id. A reply that cannot be read
// becomes "fail". True only when its first element is a "reportstatus"
// holding "success" (a_blStatus: the first element must be one).
bool CDrvGuiImpl::CreateEcdoCustomTask(const char* a_szAnswer, uint64_t a_u64Reply, bool a_blStatus,
                                       CDrvGuiTask& a_drvguitask) {
  a_drvguitask.TaskBegin(a_u64Reply);
  a_drvguitask.CmdStatus(OS_STS_FAIL);
  a_drvguitask.TaskEnd();
  if (!a_szAnswer) {
    OsLog(OS_LOG_ERROR, "Fail to DocumentLoad...%d", static_cast<int>(OS_STS_FAIL));
    return false;
  }
  COsXml osxml;
  EOSSTS eossts = osxml.DocumentLoad(a_szAnswer);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Fail to DocumentLoad...%d", static_cast<int>(eossts));
    return false;
  }
  osxml.NodeRewind();
  const char* szContent = ReadInner(&osxml);
  if (!szContent) return false;
  const std::string strContent = szContent;
  eossts = osxml.NodeChild();
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Fail to get the NodeChild...%d", static_cast<int>(eossts));
    return a_blStatus ? false : SetContent(a_drvguitask, a_u64Reply, strContent, false);
  }
  char szName[s_lName] = "";
  if (osxml.NodeGetName(szName, sizeof szName) != OS_STS_SUCCESS || std::strcmp(szName, "reportstatus") != 0) {
    if (a_blStatus) {
      OsLog(OS_LOG_ERROR, "Fail to get the <reportstatus>...");
      return false;
    }
    return SetContent(a_drvguitask, a_u64Reply, strContent, false);
  }
  char szStatus[s_lStatusWord] = "";
  const bool blSuccess = osxml.NodeChild() == OS_STS_SUCCESS &&
                         osxml.NodeGetContent(szStatus, sizeof szStatus) == OS_STS_SUCCESS &&
                         std::strcmp(szStatus, "success") == 0;
  return SetContent(a_drvguitask, a_u64Reply, strContent, blSuccess);
}

bool CDrvGuiImpl::SetContent(CDrvGuiTask& a_drvguitask, uint64_t a_u64Reply, const std::string& a_strContent,
                             bool a_blResult) {
  a_drvguitask.TaskBegin(a_u64Reply);
  a_drvguitask.Append(a_strContent);
  if (a_strContent.empty() || a_strContent.back() != '\n') a_drvguitask.Append("\n");
  a_drvguitask.TaskEnd();
  return a_blResult;
}

// The preview image must be taken back first: at most the named limit, and
// not at all once the GUI is gone or the bridge stops.
bool CDrvGuiImpl::WaitForPreviewTaken() {
  const auto timepointEnd =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(DrvUiWaitLimit(DRV_UIWAIT_ECDOPREVIEW));
  while (!m_blPreviewTaken) {
    if (m_blStopRequested || m_blNoGui || GetGuiState() == DRV_UILINKSTATE_ENDED) {
      OsLog(OS_LOG_ERROR, "The GUI is gone while the preview is not taken back...");
      return false;
    }
    if (std::chrono::steady_clock::now() >= timepointEnd) {
      OsLog(OS_LOG_ERROR, "The preview was not taken back in time...%ld ms", DrvUiWaitLimit(DRV_UIWAIT_ECDOPREVIEW));
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(s_lPollMs));
  }
  return true;
}

// Every ecdocustom command: a task of its own name (id 0) holding the
// command's inner XML, to the units of the shared route.
EOSSTS CDrvGuiImpl::DispatchEcdoCustom(COsXml* a_posxml, long long a_llId) {
  const uint64_t u64Reply = static_cast<uint64_t>(a_llId);
  char szName[s_lName] = "";
  if (a_posxml->NodeGetName(szName, sizeof szName) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "NodeGetName failed...");
    return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  }
  if (!m_pdatabase || !m_pdev) {
    OsLog(OS_LOG_ERROR, "No device for <%s>...", szName);
    return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  }
  const bool blBegin = std::strcmp(szName, "ecdocustombegin") == 0;
  const bool blEnd = std::strcmp(szName, "ecdocustomend") == 0;
  if (blBegin) {
    CDrvGuiTask drvguitask;
    drvguitask.TaskBegin(0);
    drvguitask.Append("\t<reportimage>\n\t\t<imagesize>0</imagesize>\n\t</reportimage>\n");
    drvguitask.TaskEnd();
    SendToGui(drvguitask.Text(), __FILE__, __LINE__);
  }
  const char* szInner = ReadInner(a_posxml);
  if (!szInner) return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  const std::string strInner = szInner;
  if (!blBegin && !blEnd && !WaitForPreviewTaken()) return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  CDrvGuiTask drvguitaskReply;
  bool blFailed = false;
  const EOSSTS eossts = DrvEcdoCustomRoute(m_pdatabase, blBegin || blEnd, [&](EDBID_FIRMWARE a_edbidfirmware) {
    COsXmlTask osxmltask("", COsXmlTask::s_sizetMinimumCapacity + strInner.size());
    osxmltask.StartTask(0, 0, nullptr);
    osxmltask.StartCommand(szName, 1);
    if (strInner.size() > s_sizetLeastContent) osxmltask.AddPassThrough(strInner.c_str());
    osxmltask.FinalizeCommand(szName);
    osxmltask.FinalizeTask();
    if (osxmltask.IsError(true)) {
      OsLog(OS_LOG_ERROR, "Failed to build the request...<%s>", szName);
      blFailed = true;
      return OS_STS_FAIL;
    }
    const char* szAnswer = DrvEcdoCustomSend(m_pdatabase, m_pdev, a_edbidfirmware, &osxmltask);
    if (!szAnswer) OsLog(OS_LOG_ERROR, "No answer from unit %d...<%s>", static_cast<int>(a_edbidfirmware), szName);
    return CreateEcdoCustomTask(szAnswer, u64Reply, true, drvguitaskReply) ? OS_STS_SUCCESS : OS_STS_FAIL;
  });
  if (blFailed) return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  if ((blBegin || blEnd) && eossts == OS_STS_SUCCESS) {
    if (blBegin) {
      m_pdev->EcdoCustomBegin();
    } else {
      m_pdev->EcdoCustomEnd();
    }
    return DispatcherGetRegistered(nullptr, a_llId);
  }
  return SendReply(u64Reply, drvguitaskReply, true);
}

EOSSTS CDrvGuiImpl::DispatcherPassThroughNexil(COsXml* a_posxml, long long a_llId) {
  const uint64_t u64Reply = static_cast<uint64_t>(a_llId);
  const char* szInner = ReadInner(a_posxml);
  if (!szInner) return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  if (!m_pdev) return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  const std::string strInner = szInner;
  const char* szAnswer = m_pdev->PassThroughNexil(strInner.c_str());
  CDrvGuiTask drvguitask;
  CreateEcdoCustomTask(szAnswer, u64Reply, false, drvguitask);
  return SendReply(u64Reply, drvguitask, true);
}
