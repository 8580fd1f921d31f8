// The GUI's windows: "windowadd" puts the first window not in use to work
// with the frame of the supported size, "windowdelete" removes the current
// one; both answer with the windows, the values and the accesses.

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "drv_cdrvguicompose.h"
#include "drv_cdrvguiimpl.h"
#include "os_coslog.h"

namespace {

constexpr long s_lCameraOn = DB_ID_CAMERAENABLE_ENUM_TRUE;
constexpr long s_lWindowFixed = DB_ID_CROPPINGMODE_ENUM_FIXED;
constexpr long s_lWindowInch = 1200;
constexpr EDBBIN s_aedbbinWindowCamera[] = {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT,
                                            DB_BIN_COLOR_REAR};

bool IsWindowInUse(CDatabase* a_pdatabase, EDBID_WINDOW a_edbidwindow) {
  for (EDBBIN edbbin : s_aedbbinWindowCamera) {
    CDbDatum* pdbdatum = a_pdatabase->FindInWindowBin(a_edbidwindow, edbbin, DB_ID_CAMERAENABLE);
    if (pdbdatum && a_pdatabase->GetAccess(pdbdatum) != DB_ACCESS_NOTSUPPORTED &&
        a_pdatabase->GetCurrentLong(pdbdatum) == s_lCameraOn)
      return true;
  }
  return false;
}

// A set the window's frame needs; a refusal is logged and the rest goes on.
void SetWindowValue(CDatabase* a_pdatabase, EDBID a_edbid, long a_lValue) {
  const EDBSTS edbsts = a_pdatabase->SetCurrentLongFromId(a_edbid, a_lValue, false);
  if (edbsts != DB_STS_SUCCESS)
    OsLog(OS_LOG_ERROR, "windowadd: %d refused %ld...%d", static_cast<int>(a_edbid), a_lValue,
          static_cast<int>(edbsts));
}

void SetCroppingFixed(CDatabase* a_pdatabase) {
  if (a_pdatabase->GetCurrentLongFromId(DB_ID_CROPPINGMODE) != s_lWindowFixed)
    SetWindowValue(a_pdatabase, DB_ID_CROPPINGMODE, s_lWindowFixed);
}

}  // namespace

EOSSTS CDrvGuiImpl::DispatcherWindowAdd(COsXml*, long long a_llId) {
  const uint64_t u64Reply = static_cast<uint64_t>(a_llId);
  if (!m_pdatabase) return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  {
    CDbLockGuard dblockguard;
    const long lWindows = m_pdatabase->GetWindowMax();
    if (lWindows < 2) {
      OsLog(OS_LOG_ERROR, "windowadd: no window to add...%ld", lWindows);
      return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
    }
    EDBID_WINDOW edbidwindow = 1;
    while (edbidwindow < lWindows && IsWindowInUse(m_pdatabase, edbidwindow)) ++edbidwindow;
    if (edbidwindow >= lWindows) {
      OsLog(OS_LOG_ERROR, "windowadd: every window is in use...%ld", lWindows);
      return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
    }
    SetCroppingFixed(m_pdatabase);
    const bool blCentered = m_pdatabase->IsCroppingBoxAlignmentCenter(
        static_cast<EDBID_CROPPINGMODE>(m_pdatabase->GetCurrentLongFromId(DB_ID_CROPPINGMODE)));
    // The paper size as the user chose it: the one-inch frame below makes it
    // "none" through the rules until the frame of the size is set.
    const auto edbidsupportedsizes =
        static_cast<EDBID_SUPPORTEDSIZES>(m_pdatabase->GetCurrentLongFromId(DB_ID_SUPPORTEDSIZES));
    const long lWidth = m_pdatabase->GetCurrentLongFromId(DB_ID_PHYSICALWIDTH);
    const long lHeight = m_pdatabase->GetCurrentLongFromId(DB_ID_PHYSICALHEIGHTADJUST);
    if (m_pdatabase->SetWindow(edbidwindow) != DB_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "windowadd: SetWindow failed...%ld", static_cast<long>(edbidwindow));
      return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
    }
    SetWindowValue(m_pdatabase, DB_ID_CAMERAENABLE, s_lCameraOn);
    SetWindowValue(m_pdatabase, DB_ID_IMAGESKEWANGLE, 0);
    SetWindowValue(m_pdatabase, DB_ID_FRAMEXOFFSET, 0);
    SetWindowValue(m_pdatabase, DB_ID_FRAMEYOFFSET, 0);
    SetWindowValue(m_pdatabase, DB_ID_FRAMEWIDTH, s_lWindowInch);
    SetWindowValue(m_pdatabase, DB_ID_FRAMEHEIGHT, s_lWindowInch);
    for (EDBID edbid : {DB_ID_FRAMEXOFFSET, DB_ID_FRAMEYOFFSET, DB_ID_FRAMEWIDTH, DB_ID_FRAMEHEIGHT}) {
      SetWindowValue(m_pdatabase, edbid,
                     static_cast<long>(m_pdatabase->Convert1200FromSupportedSizes(edbidsupportedsizes, blCentered,
                                                                                  lWidth, lHeight, edbid)));
    }
  }
  return SendWindowReports(u64Reply);
}

EOSSTS CDrvGuiImpl::DispatcherWindowDelete(COsXml*, long long a_llId) {
  const uint64_t u64Reply = static_cast<uint64_t>(a_llId);
  if (!m_pdatabase) return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  {
    CDbLockGuard dblockguard;
    const EDBSTS edbsts = m_pdatabase->DeleteCurrentWindow(
        static_cast<EDBID_WINDOWBIN>(m_pdatabase->GetCurrentLongFromId(DB_ID_WINDOWBIN)));
    if (edbsts != DB_STS_SUCCESS) {
      OsLog(OS_LOG_INFO, "windowdelete: the window stays...%d", static_cast<int>(edbsts));
      return CreateUiTaskReportStatus(u64Reply, DRV_STS_SUCCESS);
    }
    SetCroppingFixed(m_pdatabase);
  }
  return SendWindowReports(u64Reply);
}

// "success", the windows, every registered value and access.
EOSSTS CDrvGuiImpl::SendWindowReports(uint64_t a_u64Reply) {
  CDrvGuiTask drvguitask;
  const bool blBuilt = DrvGuiComposeLocked([&] {
    drvguitask.TaskBegin(a_u64Reply);
    drvguitask.CmdStatus(DRV_STS_SUCCESS);
    m_drvguireports.CmdReportWindows(drvguitask);
    m_drvguireports.CmdReportValues(drvguitask, DRV_REPORT_ALL, nullptr, false);
    m_drvguireports.CmdReportAccesses(drvguitask, nullptr, false);
    drvguitask.TaskEnd();
  });
  return SendReply(a_u64Reply, drvguitask, blBuilt);
}
