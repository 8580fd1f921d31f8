// The GUI's colour learning commands: the driver's auto-colour learning and
// its custom colour-dropout (variability) learning, one run of each at a
// time; a second request while one runs is answered "success" alone. The
// scans run with the database lock free (the driver's learning passes take
// it for their own steps only).
#include <atomic>
#include <cstring>
#include <string>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "drv_cdriver.h"
#include "drv_cdrvguicompose.h"
#include "drv_cdrvguiimpl.h"
#include "os_coslog.h"

namespace {

constexpr size_t s_sizetErrorText = 255;
constexpr const char* s_szVariabilitySuccess =
    "The document(s) have been processed and the single color has been updated.";

// Clears the running mark on every way out.
class LearningMark {
 public:
  explicit LearningMark(std::atomic<bool>& a_blMark) : m_blMark(a_blMark), m_blTaken(!a_blMark.exchange(true)) {}
  ~LearningMark() {
    if (m_blTaken) m_blMark = false;
  }
  LearningMark(const LearningMark&) = delete;
  LearningMark& operator=(const LearningMark&) = delete;
  bool Taken() const { return m_blTaken; }

 private:
  std::atomic<bool>& m_blMark;
  bool m_blTaken;
};

}  // namespace

EOSSTS CDrvGuiImpl::DispatcherAutoColorLearn(COsXml*, long long a_llId) {
  const uint64_t u64Reply = static_cast<uint64_t>(a_llId);
  LearningMark learningmark(m_blAutoColorLearning);
  if (!learningmark.Taken()) return CreateUiTaskReportStatus(u64Reply, DRV_STS_SUCCESS);
  const EOSSTS eossts = m_pdriver ? m_pdriver->AutoColorLearn() : OS_STS_FAIL;
  std::string strError = m_pdev ? std::string(m_pdev->GetLastErrorText() ? m_pdev->GetLastErrorText() : "") : "";
  if (strError.size() > s_sizetErrorText) strError.resize(s_sizetErrorText);
  MessageManagerClear(DEV_DLG_SCANNING);
  if (eossts != OS_STS_SUCCESS || !m_pdatabase) {
    CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
    MessageManagerAndWaitForOk(DEV_DLG_MESSAGE, DEV_MSG_ERRORSHOW, strError.c_str());
    return OS_STS_SUCCESS;
  }
  CDrvGuiTask drvguitask;
  const bool blBuilt = DrvGuiComposeLocked([&] {
    drvguitask.TaskBegin(u64Reply);
    drvguitask.CmdStatus(DRV_STS_SUCCESS);
    if (CDbDatum* pdbdatum = m_pdatabase->NotifyGetFirst(DB_NOTIFY_VALUE))
      m_drvguireports.CmdReportValues(drvguitask, DRV_REPORT_PENDING, pdbdatum, false);
    m_drvguireports.CmdReportProfileItem(drvguitask);
    drvguitask.TaskEnd();
  });
  SendReply(u64Reply, drvguitask, blBuilt);
  MessageManagerAndWaitForOk(DEV_DLG_MESSAGE, DEV_MSG_INFO, strError.c_str());
  return OS_STS_SUCCESS;
}

// The custom colour learning: the single colour the documents show.
EOSSTS CDrvGuiImpl::DispatcherEcdoCustomLearnVariability(COsXml*, long long a_llId) {
  const uint64_t u64Reply = static_cast<uint64_t>(a_llId);
  LearningMark learningmark(m_blVariabilityLearning);
  if (!learningmark.Taken()) return CreateUiTaskReportStatus(u64Reply, DRV_STS_SUCCESS);
  if (m_pdatabase) {
    CDbLockGuard dblockguard;
    std::strcpy(m_pdatabase->GetEcdoCustomSettings()->szName, "(none)");
  }
  const EOSSTS eossts = m_pdriver ? m_pdriver->EcdoCustomLearn() : OS_STS_FAIL;
  if (eossts == OS_STS_SUCCESS) {
    std::string strText = s_szVariabilitySuccess;
    if (m_pdatabase) {
      CDbLockGuard dblockguard;
      const char* szLabel = m_pdatabase->LabelGet("ecdo_learnvariabilitysuccess", s_szVariabilitySuccess, -1);
      if (szLabel) strText = szLabel;
    }
    MessageManagerAndWaitForOk(DEV_DLG_SCANNING, DEV_MSG_SUCCESS, strText.c_str());
  }
  MessageManagerClear(DEV_DLG_SCANNING);
  const int32_t i32Status = eossts == OS_STS_SUCCESS ? static_cast<int32_t>(DRV_STS_SUCCESS) : OS_STS_FAIL;
  return CreateUiTaskReportStatus(u64Reply, i32Status);
}
