// The GUI's commands that register and read capability values, the reply
// to its value changes, and the unasked value reports after the front
// end's changes (action 29). Each reply is composed under one hold of the
// database lock and sent after it is released: the link's hand-off may
// wait for the writer, and nothing waits under that lock.
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "db_cdbdatum.h"
#include "db_cdblookup.h"
#include "drv_cdrvguichildren.h"
#include "drv_cdrvguicompose.h"
#include "drv_cdrvguiimpl.h"
#include "drv_cdrvuiframe.h"
#include "os_coslog.h"
#include "os_cosxml.h"

namespace {

// A capability's name: 127 characters; getallcamerawindowvalues takes 511.
constexpr long s_lId = static_cast<long>(CDrvGuiReports::s_sizetName);
constexpr long s_lAllCameraId = 512;

// The texts of the command's child elements, in order. An empty text, or
// one longer than the buffer (which would keep the text read before it),
// is logged and skipped.
std::vector<std::string> ChildTexts(COsXml* a_posxml, long a_lText, size_t a_sizetMax) {
  std::vector<std::string> vecstr;
  DrvGuiEachChild(a_posxml, a_lText, [&](const char*, const char* a_szText) {
    if (!*a_szText) {
      OsLog(OS_LOG_ERROR, "We have an empty id in the register list...");
    } else {
      vecstr.emplace_back(a_szText);
    }
    return vecstr.size() < a_sizetMax;
  });
  return vecstr;
}

// Every child counts: far more than the lists hold is read and logged.
constexpr size_t s_sizetAllChildren = 65536;

}  // namespace

// A reply is sent whole or not at all: one that could not be composed, or
// that is more than a task may hold, is answered "fail".
EOSSTS CDrvGuiImpl::SendReply(uint64_t a_u64Reply, CDrvGuiTask& a_drvguitask, bool a_blBuilt) {
  // The caller's hold of the database lock (a front-end task) is given up
  // while the link takes the text: its writer may keep the hand-off waiting.
  CDbLockRelease dblockrelease;
  if (!a_blBuilt || a_drvguitask.Size() > CDrvUiFrame::s_sizetMaxTask) {
    OsLog(OS_LOG_ERROR, "The reply could not be built whole, answering fail...%zu", a_drvguitask.Size());
    return CreateUiTaskReportStatus(a_u64Reply, OS_STS_FAIL);
  }
  return SendToGui(a_drvguitask.Text(), __FILE__, __LINE__);
}

// ---------------------------------------------------------------------------
// Commands
// ---------------------------------------------------------------------------
EOSSTS CDrvGuiImpl::DispatcherRegister(COsXml* a_posxml, long long a_llId) {
  const std::vector<std::string> vecstrName = ChildTexts(a_posxml, s_lId, s_sizetAllChildren);
  if (m_pdatabase) {
    CDbLockGuard dblockguard;
    m_drvguireports.RegisterClear();
    for (const std::string& strName : vecstrName) m_drvguireports.RegisterName(strName.c_str());
  }
  return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), DRV_STS_SUCCESS);
}

EOSSTS CDrvGuiImpl::DispatcherGet(COsXml* a_posxml, long long a_llId) {
  if (!m_pdatabase) return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), OS_STS_FAIL);
  const std::vector<std::string> vecstrName = ChildTexts(a_posxml, s_lId, s_sizetAllChildren);
  CDrvGuiTask drvguitask;
  const bool blBuilt = DrvGuiComposeLocked([&] {
    m_drvguireports.UndefinedClear(DB_BIN_SEARCH);
    for (const std::string& strName : vecstrName) {
      if (!m_drvguireports.FindGuiName(strName.c_str())) m_drvguireports.UndefinedAdd(DB_BIN_SEARCH, strName.c_str());
    }
    m_drvguireports.TaskGet(drvguitask, static_cast<uint64_t>(a_llId));
  });
  return SendReply(static_cast<uint64_t>(a_llId), drvguitask, blBuilt);
}

EOSSTS CDrvGuiImpl::DispatcherGetRegistered(COsXml*, long long a_llId) {
  if (m_blStopRequested) {
    OsLogDebug(OS_LOG_INFO, "gui>>> m_blGuiStopping detected, aborting DispatcherGetRegistered...");
    return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), DRV_STS_SUCCESS);
  }
  if (!m_pdatabase) return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), OS_STS_FAIL);
  CDrvGuiTask drvguitask;
  const bool blBuilt = DrvGuiComposeLocked([&] { m_drvguireports.TaskGet(drvguitask, static_cast<uint64_t>(a_llId)); });
  return SendReply(static_cast<uint64_t>(a_llId), drvguitask, blBuilt);
}

EOSSTS CDrvGuiImpl::DispatcherGetValues(COsXml* a_posxml, long long a_llId) {
  if (!m_pdatabase) return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), OS_STS_FAIL);
  const std::vector<std::string> vecstrName = ChildTexts(a_posxml, s_lId, s_sizetAllChildren);
  CDrvGuiTask drvguitask;
  const bool blBuilt = DrvGuiComposeLocked([&] {
    drvguitask.TaskBegin(static_cast<uint64_t>(a_llId));
    drvguitask.CmdStatus(DRV_STS_SUCCESS);
    m_drvguireports.CmdReportValuesNamed(drvguitask, vecstrName);
    drvguitask.TaskEnd();
  });
  return SendReply(static_cast<uint64_t>(a_llId), drvguitask, blBuilt);
}

EOSSTS CDrvGuiImpl::DispatcherGetValuesRegistered(COsXml*, long long a_llId) {
  if (!m_pdatabase) return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), OS_STS_FAIL);
  CDrvGuiTask drvguitask;
  const bool blBuilt = DrvGuiComposeLocked([&] { m_drvguireports.TaskGetValues(drvguitask, static_cast<uint64_t>(a_llId)); });
  return SendReply(static_cast<uint64_t>(a_llId), drvguitask, blBuilt);
}

EOSSTS CDrvGuiImpl::DispatcherGetValuesRegisteredCurrentBin(COsXml*, long long a_llId) {
  if (!m_pdatabase) return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), OS_STS_FAIL);
  CDrvGuiTask drvguitask;
  const bool blBuilt =
      DrvGuiComposeLocked([&] { m_drvguireports.TaskGetValuesCurrentBin(drvguitask, static_cast<uint64_t>(a_llId)); });
  return SendReply(static_cast<uint64_t>(a_llId), drvguitask, blBuilt);
}

EOSSTS CDrvGuiImpl::DispatcherGetAllCameraWindowValues(COsXml* a_posxml, long long a_llId) {
  const std::vector<std::string> vecstrName = ChildTexts(a_posxml, s_lAllCameraId, 1);
  if (!m_pdatabase || vecstrName.empty()) {
    OsLog(OS_LOG_ERROR, "Unrecognized id...<>");
    return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), OS_STS_FAIL);
  }
  CDrvGuiTask drvguitask;
  bool blKnown = false;
  const bool blBuilt = DrvGuiComposeLocked([&] {
    DbLookup2* pdblookup2 = m_pdatabase->LookupLexicon(vecstrName[0].c_str());
    blKnown = pdblookup2 && pdblookup2->edbid >= DB_ID_FIRST && pdblookup2->edbid <= DB_ID_FINAL;
    if (!blKnown) return;
    drvguitask.TaskBegin(static_cast<uint64_t>(a_llId));
    drvguitask.CmdStatus(DRV_STS_SUCCESS);
    m_drvguireports.CmdReportAllCameraWindowValues(drvguitask, pdblookup2->edbid);
    drvguitask.TaskEnd();
  });
  if (blBuilt && !blKnown) {
    OsLog(OS_LOG_ERROR, "Unrecognized id...<%s>", vecstrName[0].c_str());
    return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), OS_STS_FAIL);
  }
  return SendReply(static_cast<uint64_t>(a_llId), drvguitask, blBuilt);
}

// ---------------------------------------------------------------------------
// The reply to a value change
// ---------------------------------------------------------------------------
EOSSTS CDrvGuiImpl::SendDispatcherSetValueReportsToGui(uint64_t a_u64Reply, EDRVREPORT a_edrvreport,
                                                       CDbDatum* a_pdbdatum, char* a_szBuffer, size_t a_sizetBuffer) {
  OsLogDebug(OS_LOG_INFO, ">>> SendDispatcherSetValueReportsToGui...");
  if (!m_pdatabase) return OS_STS_SUCCESS;
  CDrvGuiTask drvguitask;
  const bool blBuilt = ComposeSetValueReports(drvguitask, a_u64Reply, a_pdbdatum, nullptr, a_edrvreport);
  if (!a_szBuffer) return SendReply(a_u64Reply, drvguitask, blBuilt);
  if (!blBuilt || drvguitask.Size() >= a_sizetBuffer) {
    OsLog(OS_LOG_ERROR, "The reports do not fit the buffer...%zu", drvguitask.Size());
    if (a_sizetBuffer) *a_szBuffer = 0;
    return OS_STS_SUCCESS;
  }
  std::memcpy(a_szBuffer, drvguitask.Text(), drvguitask.Size() + 1);
  return OS_STS_SUCCESS;
}

bool CDrvGuiImpl::ComposeSetValueReports(CDrvGuiTask& a_drvguitask, uint64_t a_u64Reply, CDbDatum* a_pdbdatum,
                                         const std::vector<EDBID>* a_pvecedbidAllCamera, EDRVREPORT a_edrvreport) {
  if (!m_pdatabase) return false;
  bool blLog = false;
  {
    CDbLockGuard dblockguard;
    blLog = a_pdbdatum && m_pdatabase->GetId(a_pdbdatum) == DB_ID_LOG;
  }
  // The device answers with the lock released.
  const bool blLogFetched = blLog && m_drvguireports.FetchLog();
  return DrvGuiComposeLocked([&] {
    a_drvguitask.TaskBegin(a_u64Reply);
    a_drvguitask.CmdStatus(DRV_STS_SUCCESS);
    if (blLogFetched) m_drvguireports.CmdReportLog(a_drvguitask, m_drvguireports.GetLog());
    if (a_edrvreport == DRV_REPORT_ALL) {
      m_drvguireports.CmdReportContainers(a_drvguitask, DRV_REPORT_ALL, nullptr);
      m_drvguireports.CmdReportValues(a_drvguitask, DRV_REPORT_ALL, nullptr, false);
      m_drvguireports.CmdReportAccesses(a_drvguitask, nullptr, false);
    } else {
      if (CDbDatum* pdbdatum = m_pdatabase->NotifyGetFirst(DB_NOTIFY_CONSTRAINT))
        m_drvguireports.CmdReportContainers(a_drvguitask, DRV_REPORT_PENDING, pdbdatum);
      if (CDbDatum* pdbdatum = m_pdatabase->NotifyGetFirst(DB_NOTIFY_VALUE))
        m_drvguireports.CmdReportValues(a_drvguitask, DRV_REPORT_PENDING, pdbdatum, false);
      if (CDbDatum* pdbdatum = m_pdatabase->NotifyGetFirst(DB_NOTIFY_ACCESS))
        m_drvguireports.CmdReportAccesses(a_drvguitask, pdbdatum, false);
    }
    if (a_pvecedbidAllCamera) {
      for (EDBID edbid : *a_pvecedbidAllCamera) m_drvguireports.CmdReportAllCameraWindowValues(a_drvguitask, edbid);
    }
    m_drvguireports.CmdReportProfileItem(a_drvguitask);
    a_drvguitask.TaskEnd();
  });
}

// Composed on the front-end thread (whose task may hold the database lock
// already), handed to the link with the lock released.
EOSSTS CDrvGuiImpl::UpdateValues() {
  if (!m_blVisible || !m_pdatabase) return OS_STS_SUCCESS;
  CDrvGuiTask drvguitask;
  bool blPending = false;
  const bool blBuilt = DrvGuiComposeLocked([&] {
    CDbDatum* pdbdatum = m_pdatabase->NotifyGetFirst(DB_NOTIFY_VALUE);
    blPending = pdbdatum != nullptr;
    if (!blPending) return;
    drvguitask.TaskBegin(0);
    drvguitask.CmdStatus(DRV_STS_SUCCESS);
    m_drvguireports.CmdReportValues(drvguitask, DRV_REPORT_PENDING, pdbdatum, false);
    drvguitask.TaskEnd();
  });
  if (blBuilt && !blPending) return OS_STS_SUCCESS;
  SendReply(0, drvguitask, blBuilt);
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// Forwarders of the table
// ---------------------------------------------------------------------------
EOSSTS CDrvGuiImpl::DispatcherRegisterDelegate(CDrvGuiImpl* a_pdrvguiimpl, COsXml* a_posxml, long long a_llId) {
  return a_pdrvguiimpl->DispatcherRegister(a_posxml, a_llId);
}

EOSSTS CDrvGuiImpl::DispatcherGetDelegate(CDrvGuiImpl* a_pdrvguiimpl, COsXml* a_posxml, long long a_llId) {
  return a_pdrvguiimpl->DispatcherGet(a_posxml, a_llId);
}

EOSSTS CDrvGuiImpl::DispatcherGetRegisteredDelegate(CDrvGuiImpl* a_pdrvguiimpl, COsXml* a_posxml, long long a_llId) {
  return a_pdrvguiimpl->DispatcherGetRegistered(a_posxml, a_llId);
}

EOSSTS CDrvGuiImpl::DispatcherGetValuesDelegate(CDrvGuiImpl* a_pdrvguiimpl, COsXml* a_posxml, long long a_llId) {
  return a_pdrvguiimpl->DispatcherGetValues(a_posxml, a_llId);
}

EOSSTS CDrvGuiImpl::DispatcherGetValuesRegisteredDelegate(CDrvGuiImpl* a_pdrvguiimpl, COsXml* a_posxml,
                                                          long long a_llId) {
  return a_pdrvguiimpl->DispatcherGetValuesRegistered(a_posxml, a_llId);
}

EOSSTS CDrvGuiImpl::DispatcherGetAllCameraWindowValuesDelegate(CDrvGuiImpl* a_pdrvguiimpl, COsXml* a_posxml,
                                                               long long a_llId) {
  return a_pdrvguiimpl->DispatcherGetAllCameraWindowValues(a_posxml, a_llId);
}
