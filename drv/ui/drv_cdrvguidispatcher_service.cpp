// The GUI's service commands: calibration, diagnostics, the scanner's reset,
// clearing a log and the firmware download. Each calls the device engine
// without the database lock; only the reports after it are composed under
// the lock (and sent after it is released).
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "drv_cdrvguicompose.h"
#include "drv_cdrvguiimpl.h"
#include "os_coslog.h"
#include "os_cosxml.h"

namespace {

constexpr long s_lName = 64;
constexpr long s_lText = 512;
// A calibration reply waits for the one being sent on the other thread.
constexpr long s_lCalibrateStep = 10;
constexpr long s_lCalibrateReplyWait = 5000;
constexpr long s_lCalibrationSuccess = 0;
constexpr long s_lCalibrationDone = 3;

// One child of the command, by its place (0 the first): its name and text.
// False when there is no such child or its text does not fit.
bool NthChild(COsXml* a_posxml, int a_iPlace, char* a_szName, char* a_szText) {
  *a_szName = 0;
  *a_szText = 0;
  if (a_posxml->NodePush() != OS_STS_SUCCESS) return false;
  bool blFound = a_posxml->NodeChild() == OS_STS_SUCCESS;
  for (int i = 0; blFound && i < a_iPlace; ++i) blFound = a_posxml->NodeSibling() == OS_STS_SUCCESS;
  if (blFound) {
    blFound = a_posxml->NodeGetName(a_szName, s_lName) == OS_STS_SUCCESS;
    if (blFound && a_posxml->NodeGetContent(a_szText, s_lText) != OS_STS_SUCCESS) *a_szText = 0;
  }
  a_posxml->NodePop();
  return blFound;
}

// The text of a child of the current node's first child, by name.
void GrandChildText(COsXml* a_posxml, const char* a_szChild, char* a_szText) {
  *a_szText = 0;
  if (a_posxml->NodePush() != OS_STS_SUCCESS) return;
  if (a_posxml->NodeChild() == OS_STS_SUCCESS && a_posxml->NodeChild() == OS_STS_SUCCESS) {
    char szName[s_lName];
    do {
      if (a_posxml->NodeGetName(szName, sizeof szName) == OS_STS_SUCCESS && std::strcmp(szName, a_szChild) == 0) {
        if (a_posxml->NodeGetContent(a_szText, s_lText) != OS_STS_SUCCESS) *a_szText = 0;
        break;
      }
    } while (a_posxml->NodeSibling() == OS_STS_SUCCESS);
  }
  a_posxml->NodePop();
}

// A size the front end's download accepts: a whole count of bytes in 31
// bits, digits only.
bool DataSize(const char* a_szText, unsigned int* a_puSize) {
  if (!*a_szText || std::strlen(a_szText) > 10) return false;
  unsigned long long u64Size = 0;
  for (const char* pc = a_szText; *pc; ++pc) {
    if (*pc < '0' || *pc > '9') return false;
    u64Size = u64Size * 10 + static_cast<unsigned>(*pc - '0');
  }
  if (u64Size > 0x7fffffffULL) return false;
  *a_puSize = static_cast<unsigned int>(u64Size);
  return true;
}

int32_t Status(EOSSTS a_eossts) { return a_eossts == OS_STS_SUCCESS ? DRV_STS_SUCCESS : static_cast<int32_t>(OS_STS_FAIL); }

}  // namespace

// ---------------------------------------------------------------------------
// Calibration
// ---------------------------------------------------------------------------
// The replies of begin, run and end go out one at a time: end comes on the
// reader's thread while begin or run may still answer on the dispatcher.
void CDrvGuiImpl::CalibrateReplyTake() {
  long lWaited = 0;
  bool blFree = false;
  while (!m_blCalibrateReplyBusy.compare_exchange_strong(blFree, true)) {
    blFree = false;
    if (lWaited >= s_lCalibrateReplyWait || m_blStopRequested) {
      OsLog(OS_LOG_ERROR, "The calibration reply is still busy, sending...");
      m_blCalibrateReplyBusy = true;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(s_lCalibrateStep));
    lWaited += s_lCalibrateStep;
  }
}

long CDrvGuiImpl::CalibrationType() {
  if (!m_pdatabase) return 0;
  CDbLockGuard dblockguard;
  return m_pdatabase->GetCurrentLongFromId(DB_ID_CALIBRATIONTYPE);
}

// The status, and the magnification values when asked.
EOSSTS CDrvGuiImpl::SendServiceReply(uint64_t a_u64Reply, int32_t a_i32Status, EDRVSERVICEREPORT a_edrvservicereport) {
  CDrvGuiTask drvguitask;
  const bool blBuilt = DrvGuiComposeLocked([&] {
    drvguitask.TaskBegin(a_u64Reply);
    drvguitask.CmdStatus(a_i32Status);
    if (m_pdatabase && a_edrvservicereport == DRV_SERVICEREPORT_MAG) {
      m_drvguireports.CmdReportValuesMag(drvguitask);
    } else if (m_pdatabase && a_edrvservicereport != DRV_SERVICEREPORT_NONE) {
      m_drvguireports.CmdReportValues(drvguitask, DRV_REPORT_ALL, nullptr, false);
      m_drvguireports.CmdReportAccesses(drvguitask, nullptr, false);
    }
    drvguitask.TaskEnd();
  });
  return SendReply(a_u64Reply, drvguitask, blBuilt);
}

EOSSTS CDrvGuiImpl::DispatcherCalibrateBegin(COsXml*, long long a_llId) {
  m_blCalibrateReplyBusy = false;
  if (m_pdev && m_pdev->CalibrateBegin() == OS_STS_SUCCESS) {
    if (CalibrationType() != DB_ID_CALIBRATIONTYPE_ENUM_LCDCONTRAST) {
      m_pdev->CalibrateRun();
    } else {
      std::string strLabel;
      if (m_pdatabase) {
        CDbLockGuard dblockguard;
        strLabel = m_pdatabase->LabelGet("messagecalibratinglcdcontrast", "Adjust the display contrast, then press OK.", -1);
      }
      m_pdev->MessageProc(DEV_DLG_CALIBRATE, DEV_MSG_CALIBRATING, strLabel.c_str(), 0, DEV_BUTTONS_OKCANCEL);
    }
  }
  const long lStatus = m_pdev ? static_cast<long>(m_pdev->GetCalibrateStatus()) : -1;
  CalibrateReplyTake();
  const EOSSTS eossts = CreateUiTaskReportStatus(
      static_cast<uint64_t>(a_llId),
      lStatus == s_lCalibrationSuccess || lStatus == s_lCalibrationDone ? DRV_STS_SUCCESS : static_cast<int32_t>(OS_STS_FAIL));
  m_blCalibrateReplyBusy = false;
  return eossts;
}

EOSSTS CDrvGuiImpl::DispatcherCalibrateRun(COsXml*, long long a_llId) {
  const int32_t i32Status = Status(m_pdev ? m_pdev->CalibrateRun() : OS_STS_FAIL);
  CalibrateReplyTake();
  const EOSSTS eossts = CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), i32Status);
  m_blCalibrateReplyBusy = false;
  return eossts;
}

EOSSTS CDrvGuiImpl::DispatcherCalibrateEnd(COsXml*, long long a_llId) {
  const int32_t i32Status = Status(m_pdev ? m_pdev->CalibrateEnd() : OS_STS_FAIL);
  const long lType = CalibrationType();
  const bool blMag =
      lType == DB_ID_CALIBRATIONTYPE_ENUM_MECHANICAL || lType == DB_ID_CALIBRATIONTYPE_ENUM_MAGNIFICATION;
  CalibrateReplyTake();
  const EOSSTS eossts = SendServiceReply(static_cast<uint64_t>(a_llId), i32Status,
                                         blMag ? DRV_SERVICEREPORT_MAG : DRV_SERVICEREPORT_NONE);
  m_blCalibrateReplyBusy = false;
  return eossts;
}

EOSSTS CDrvGuiImpl::DispatcherCalibrateReset(COsXml*, long long a_llId) {
  const int32_t i32Status = Status(m_pdev ? m_pdev->CalibrateReset() : OS_STS_FAIL);
  return SendServiceReply(static_cast<uint64_t>(a_llId), i32Status, DRV_SERVICEREPORT_MAG);
}

// ---------------------------------------------------------------------------
// Diagnostics, reset and logs
// ---------------------------------------------------------------------------
EOSSTS CDrvGuiImpl::DispatcherDiagnosticBegin(COsXml*, long long a_llId) {
  const int32_t i32Status = Status(m_pdev ? m_pdev->DiagnosticBegin(false) : OS_STS_FAIL);
  return SendServiceReply(static_cast<uint64_t>(a_llId), i32Status, DRV_SERVICEREPORT_ALL);
}

// "id" names the diagnostic, "value" its argument.
EOSSTS CDrvGuiImpl::DispatcherDiagnosticRun(COsXml* a_posxml, long long a_llId) {
  char szName[s_lName], szType[s_lText], szValue[s_lText];
  if (!NthChild(a_posxml, 0, szName, szType) || std::strcmp(szName, "id") != 0 || !*szType) {
    OsLog(OS_LOG_ERROR, "diagnosticrun without its id...");
    return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), OS_STS_FAIL);
  }
  if (!NthChild(a_posxml, 1, szName, szValue) || std::strcmp(szName, "value") != 0) *szValue = 0;
  const int32_t i32Status = Status(m_pdev ? m_pdev->DiagnosticRun(szType, szValue) : OS_STS_FAIL);
  return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), i32Status);
}

// No health check goes out while the scanner leaves its diagnostics.
EOSSTS CDrvGuiImpl::DispatcherDiagnosticEnd(COsXml*, long long a_llId) {
  m_blHealthSuspended = true;
  const int32_t i32Status = Status(m_pdev ? m_pdev->DiagnosticEnd() : OS_STS_FAIL);
  m_blHealthSuspended = false;
  return SendServiceReply(static_cast<uint64_t>(a_llId), i32Status, DRV_SERVICEREPORT_ALL);
}

EOSSTS CDrvGuiImpl::DispatcherResetScanner(COsXml*, long long a_llId) {
  if (m_pdev && m_pdev->ResetScanner() == OS_STS_SUCCESS)
    return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), DRV_STS_SUCCESS);
  const EOSSTS eossts = CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), OS_STS_FAIL);
  const std::string strError = m_pdev && m_pdev->GetLastErrorText() ? m_pdev->GetLastErrorText() : "";
  MessageManagerAndWaitForOk(DEV_DLG_MESSAGE, DEV_MSG_ERRORSHOW, strError.c_str());
  return eossts;
}

EOSSTS CDrvGuiImpl::DispatcherClearLog(COsXml* a_posxml, long long a_llId) {
  char szName[s_lName], szType[s_lText];
  if (!NthChild(a_posxml, 0, szName, szType) || std::strcmp(szName, "logtype") != 0) {
    OsLog(OS_LOG_ERROR, "Unknown argument for <clearlog> %s", szName);
    return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), OS_STS_FAIL);
  }
  const int32_t i32Status = Status(m_pdev ? m_pdev->ClearLog(szType) : OS_STS_FAIL);
  return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), i32Status);
}

// ---------------------------------------------------------------------------
// Firmware download
// ---------------------------------------------------------------------------
// A size that is no whole count of bytes in 31 bits reaches no scanner.
EOSSTS CDrvGuiImpl::DispatcherDownloadBegin(COsXml* a_posxml, long long a_llId) {
  char szName[s_lName], szText[s_lText];
  char szFilename[s_lText] = "";
  unsigned int uSize = 0;
  if (NthChild(a_posxml, 0, szName, szText) && std::strcmp(szName, "datafile") == 0) {
    char szSize[s_lText];
    GrandChildText(a_posxml, "filename", szFilename);
    GrandChildText(a_posxml, "datasize", szSize);
    if (!DataSize(szSize, &uSize)) {
      OsLog(OS_LOG_ERROR, "Bad datasize for <downloadbegin> <%s>...", szSize);
      return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), OS_STS_FAIL);
    }
  }
  const int32_t i32Status = Status(m_pdev ? m_pdev->DownloadBegin(szFilename, uSize) : OS_STS_FAIL);
  return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), i32Status);
}

EOSSTS CDrvGuiImpl::DispatcherDownloadRun(COsXml*, long long a_llId) {
  return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId),
                                  Status(m_pdev ? m_pdev->DownloadRun() : OS_STS_FAIL));
}

EOSSTS CDrvGuiImpl::DispatcherDownloadEnd(COsXml*, long long a_llId) {
  return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId),
                                  Status(m_pdev ? m_pdev->DownloadEnd() : OS_STS_FAIL));
}
