// The GUI's profile commands ("create", "rename", "destroy", "import",
// "export", "reset") and the "profile" selection of setvalue. The profile
// list takes no lock of its own: each of its calls runs under the database
// lock (a package write or import waits for no other process), while the
// log archive, the question to the user and the preview run with it
// released. Names and texts reach the replies only through the profile
// list's reports, which write them as CDATA.
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "drv_cdrvguicompose.h"
#include "drv_cdrvguiimpl.h"
#include "drv_profilecommand.h"
#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_costhread.h"
#include "os_cosxml.h"

namespace {

constexpr long s_lProfileChildName = 64;
// A flag's text: anything longer than "true" sets nothing, but is read whole.
constexpr long s_lProfileFlag = 512;
constexpr size_t s_sizetProfilePath = 512;
// The process integrity level whose files go to the desktop directory.
constexpr int s_iIntegrityLow = 1;

// The text of the current element, whole: false when it does not fit (the
// reader then leaves the buffer as it was).
bool ReadWholeText(COsXml* a_posxml, char* a_szText, long a_lText) {
  *a_szText = 0;
  return a_posxml->NodeGetContent(a_szText, a_lText) == OS_STS_SUCCESS &&
         std::memchr(a_szText, 0, static_cast<size_t>(a_lText)) != nullptr;
}

const char* ProfileFileNamePart(const char* a_szPath) {
  const char* sz = std::strrchr(a_szPath, '/');
  return sz ? sz + 1 : a_szPath;
}

}  // namespace

// ---------------------------------------------------------------------------
// Arguments and answers
// ---------------------------------------------------------------------------
// The children "id", "filename", "text", "saveimages", "sharedsettings", and
// "profileitem" whose own "text" and "graphicfilename" fill the text and the
// file name. A text that does not fit its field refuses the command: the
// field would hold a part of it, or the previous command's text.
bool CDrvGuiImpl::DispatchProfile(COsXml* a_posxml, DrvGuiProfileRequest* a_pdrvguiprofilerequest, int a_iDepth) {
  if (a_iDepth == 0) *a_pdrvguiprofilerequest = {};
  if (!a_posxml || a_posxml->NodePush() != OS_STS_SUCCESS) return a_posxml == nullptr;
  bool blWhole = true;
  if (a_posxml->NodeChild() == OS_STS_SUCCESS) {
    do {
      char szName[s_lProfileChildName] = "";
      if (a_posxml->NodeGetName(szName, sizeof szName) != OS_STS_SUCCESS) {
        OsLog(OS_LOG_ERROR, "NodeGetName failed...");
        blWhole = false;
        break;
      }
      char* szField = nullptr;
      long lField = 0;
      char szFlag[s_lProfileFlag];
      if (std::strcmp(szName, "id") == 0 && a_iDepth == 0) {
        szField = a_pdrvguiprofilerequest->szId;
        lField = sizeof a_pdrvguiprofilerequest->szId;
      } else if (std::strcmp(szName, "text") == 0) {
        szField = a_pdrvguiprofilerequest->szText;
        lField = sizeof a_pdrvguiprofilerequest->szText;
      } else if ((std::strcmp(szName, "filename") == 0 && a_iDepth == 0) ||
                 (std::strcmp(szName, "graphicfilename") == 0 && a_iDepth == 1)) {
        szField = a_pdrvguiprofilerequest->szFilename;
        lField = sizeof a_pdrvguiprofilerequest->szFilename;
      } else if ((std::strcmp(szName, "saveimages") == 0 || std::strcmp(szName, "sharedsettings") == 0) &&
                 a_iDepth == 0) {
        szField = szFlag;
        lField = sizeof szFlag;
      } else if (std::strcmp(szName, "profileitem") == 0 && a_iDepth == 0) {
        blWhole = DispatchProfile(a_posxml, a_pdrvguiprofilerequest, 1);
        if (!blWhole) break;
        continue;
      } else {
        continue;
      }
      if (!ReadWholeText(a_posxml, szField, lField)) {
        OsLog(OS_LOG_ERROR, "The text of <%s> does not fit %ld bytes, the command is refused...", szName, lField);
        blWhole = false;
        break;
      }
      if (szField == szFlag) a_pdrvguiprofilerequest->blFlag = DrvProfileFlag(szFlag);
    } while (a_posxml->NodeSibling() == OS_STS_SUCCESS);
  }
  a_posxml->NodePop();
  return blWhole;
}

// "success" with the profile report: the whole list once the flag is set.
EOSSTS CDrvGuiImpl::SendProfileReport(uint64_t a_u64Reply) {
  CDrvGuiTask drvguitask;
  const bool blBuilt = DrvGuiComposeLocked([&] {
    drvguitask.TaskBegin(a_u64Reply);
    drvguitask.CmdStatus(DRV_STS_SUCCESS);
    m_drvguireports.CmdReportProfiles(drvguitask);
    drvguitask.TaskEnd();
  });
  return SendReply(a_u64Reply, drvguitask, blBuilt);
}

EOSSTS CDrvGuiImpl::SendFullReport(uint64_t a_u64Reply, int32_t a_i32Status) {
  if (a_i32Status == DRV_STS_SUCCESS) return DispatcherGetRegistered(nullptr, static_cast<long long>(a_u64Reply));
  if (m_blStopRequested) return CreateUiTaskReportStatus(a_u64Reply, a_i32Status);
  CDrvGuiTask drvguitask;
  const bool blBuilt = DrvGuiComposeLocked([&] { m_drvguireports.TaskGet(drvguitask, a_u64Reply, a_i32Status); });
  return SendReply(a_u64Reply, drvguitask, blBuilt);
}

// ---------------------------------------------------------------------------
// Commands
// ---------------------------------------------------------------------------
EOSSTS CDrvGuiImpl::DispatcherCreate(COsXml* a_posxml, long long a_llId) {
  const uint64_t u64Reply = static_cast<uint64_t>(a_llId);
  DrvGuiProfileRequest drvguiprofilerequest;
  if (!m_pdatabase || !DispatchProfile(a_posxml, &drvguiprofilerequest, 0))
    return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  if (DrvProfileId(drvguiprofilerequest.szId) != DRV_PROFILEID_PROFILE) {
    OsLog(OS_LOG_ERROR, "Unsupported Id for create command (%s)...", drvguiprofilerequest.szId);
    return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  }
  EDBSTS edbsts;
  {
    CDbLockGuard dblockguard;
    edbsts = m_pdatabase->ProfileCreate(drvguiprofilerequest.szText, drvguiprofilerequest.szFilename);
  }
  if (edbsts == DB_STS_BADVALUE) {
    OsLog(OS_LOG_ERROR, "The name is already used %d <%s>...", edbsts, drvguiprofilerequest.szText);
    return CreateUiTaskReportStatus(u64Reply, DRV_STS_BADVALUE);
  }
  if (edbsts != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Fail to create profile %d <%s>...", edbsts, drvguiprofilerequest.szText);
    return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  }
  m_drvguireports.SetProfileListChanged();
  return SendProfileReport(u64Reply);
}

EOSSTS CDrvGuiImpl::DispatcherRename(COsXml* a_posxml, long long a_llId) {
  const uint64_t u64Reply = static_cast<uint64_t>(a_llId);
  DrvGuiProfileRequest drvguiprofilerequest;
  if (!m_pdatabase || !DispatchProfile(a_posxml, &drvguiprofilerequest, 0))
    return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  if (DrvProfileId(drvguiprofilerequest.szId) != DRV_PROFILEID_PROFILE) {
    OsLog(OS_LOG_ERROR, "Unsupported Id for rename command (%s)...", drvguiprofilerequest.szId);
    return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  }
  EDBSTS edbsts;
  {
    CDbLockGuard dblockguard;
    edbsts = m_pdatabase->ProfileRename(drvguiprofilerequest.szText, drvguiprofilerequest.szFilename);
  }
  if (edbsts == DB_STS_BADVALUE) {
    OsLog(OS_LOG_ERROR, "The name is already used %d <%s>...", edbsts, drvguiprofilerequest.szText);
    return CreateUiTaskReportStatus(u64Reply, DRV_STS_BADVALUE);
  }
  if (edbsts != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Fail to rename profile %d <%s>...", edbsts, drvguiprofilerequest.szText);
    return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  }
  m_drvguireports.SetProfileListChanged();
  return SendProfileReport(u64Reply);
}

// The current profile goes; the text names the one selected afterwards.
EOSSTS CDrvGuiImpl::DispatcherDestroy(COsXml* a_posxml, long long a_llId) {
  const uint64_t u64Reply = static_cast<uint64_t>(a_llId);
  DrvGuiProfileRequest drvguiprofilerequest;
  if (!m_pdatabase || !DispatchProfile(a_posxml, &drvguiprofilerequest, 0))
    return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  if (DrvProfileId(drvguiprofilerequest.szId) != DRV_PROFILEID_PROFILE) {
    OsLog(OS_LOG_ERROR, "Unsupported Id for destroy command (%s)...", drvguiprofilerequest.szId);
    return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  }
  EDBSTS edbsts;
  {
    CDbLockGuard dblockguard;
    edbsts = m_pdatabase->ProfileDelete(drvguiprofilerequest.szText);
  }
  if (edbsts != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Fail to delete profile %d <%s>...", edbsts, drvguiprofilerequest.szText);
    return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  }
  m_drvguireports.SetProfileListChanged();
  return SendFullReport(u64Reply, DRV_STS_SUCCESS);
}

// A failed import is answered "fail" first; the list (reloaded or not) then
// goes out whole in every case.
EOSSTS CDrvGuiImpl::DispatcherImport(COsXml* a_posxml, long long a_llId) {
  const uint64_t u64Reply = static_cast<uint64_t>(a_llId);
  DrvGuiProfileRequest drvguiprofilerequest;
  if (!m_pdatabase || !DispatchProfile(a_posxml, &drvguiprofilerequest, 0))
    return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  if (DrvProfileId(drvguiprofilerequest.szId) != DRV_PROFILEID_PROFILELIST) {
    OsLog(OS_LOG_ERROR, "Unsupported Id for import command (%s)...", drvguiprofilerequest.szId);
    return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  }
  EDBSTS edbsts;
  {
    CDbLockGuard dblockguard;
    edbsts = m_pdatabase->ProfileImport(drvguiprofilerequest.szFilename, false);
  }
  if (edbsts != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Fail to import profilelist %d <%s>...", edbsts, drvguiprofilerequest.szFilename);
    CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  }
  m_drvguireports.SetProfileListChanged();
  return SendFullReport(u64Reply, DRV_STS_SUCCESS);
}

EOSSTS CDrvGuiImpl::DispatcherExport(COsXml* a_posxml, long long a_llId) {
  const uint64_t u64Reply = static_cast<uint64_t>(a_llId);
  DrvGuiProfileRequest drvguiprofilerequest;
  if (!m_pdatabase || !DispatchProfile(a_posxml, &drvguiprofilerequest, 0))
    return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  switch (DrvProfileId(drvguiprofilerequest.szId)) {
    case DRV_PROFILEID_PROFILELIST: {
      EDBSTS edbsts;
      {
        CDbLockGuard dblockguard;
        edbsts = m_pdatabase->ProfileExport(drvguiprofilerequest.szFilename);
      }
      if (edbsts != DB_STS_SUCCESS) {
        OsLog(OS_LOG_ERROR, "Fail to export profilelist %d <%s>...", edbsts, drvguiprofilerequest.szFilename);
        return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
      }
      return CreateUiTaskReportStatus(u64Reply, DRV_STS_SUCCESS);
    }
    case DRV_PROFILEID_QVLOG: return ExportLog(u64Reply, drvguiprofilerequest);
    default:
      OsLog(OS_LOG_ERROR, "Unsupported Id for export command (%s)...", drvguiprofilerequest.szId);
      return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  }
}

// The log archive, packed by the engine with the database lock released.
// A process of low integrity cannot leave it where it was asked: it goes
// to the desktop directory instead.
EOSSTS CDrvGuiImpl::ExportLog(uint64_t a_u64Reply, const DrvGuiProfileRequest& a_drvguiprofilerequest) {
  const char* szFilename = a_drvguiprofilerequest.szFilename;
  const EOSSTS eossts = m_pdev ? m_pdev->SaveLog(szFilename, a_drvguiprofilerequest.szText,
                                                 a_drvguiprofilerequest.blFlag, true)
                               : OS_STS_FAIL;
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Fail to save qvlog %d <%s>...", eossts, szFilename);
    return CreateUiTaskReportStatus(a_u64Reply, OS_STS_FAIL);
  }
  if (COsThread::GetProcessIntegrity() != s_iIntegrityLow) return CreateUiTaskReportStatus(a_u64Reply, DRV_STS_SUCCESS);
  char szDesktop[s_sizetProfilePath] = "";
  const char* szDirectory = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_DESKTOPDIRECTORY) : nullptr;
  if (!szDirectory || !COsFile::PathJoin(szDesktop, sizeof szDesktop, szDirectory, ProfileFileNamePart(szFilename)) ||
      COsFile::ProtectedModeCopy(szFilename, szDesktop) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Fail to save qvlog %d <%s> <%s>...", OS_STS_FAIL, szFilename, szDesktop);
    return CreateUiTaskReportStatus(a_u64Reply, OS_STS_FAIL);
  }
  COsFile::Delete(szFilename, OS_FILETYPE_FILE, false);
  return CreateUiTaskReportStatus(a_u64Reply, DRV_STS_SUCCESS);
}

EOSSTS CDrvGuiImpl::DispatcherReset(COsXml* a_posxml, long long a_llId) {
  const uint64_t u64Reply = static_cast<uint64_t>(a_llId);
  DrvGuiProfileRequest drvguiprofilerequest;
  if (!m_pdatabase || !DispatchProfile(a_posxml, &drvguiprofilerequest, 0))
    return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  if (DrvProfileId(drvguiprofilerequest.szId) != DRV_PROFILEID_PROFILELIST) {
    OsLog(OS_LOG_ERROR, "Unsupported Id for reset command (%s)...", drvguiprofilerequest.szId);
    return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  }
  EDBSTS edbsts;
  {
    CDbLockGuard dblockguard;
    edbsts = m_pdatabase->ProfileRestoreInstalledProfiles(drvguiprofilerequest.blFlag);
  }
  if (edbsts != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Fail to reset profilelist %d...", edbsts);
    return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  }
  m_drvguireports.SetProfileListChanged();
  return SendFullReport(u64Reply, DRV_STS_SUCCESS);
}

// ---------------------------------------------------------------------------
// The "profile" selection of setvalue
// ---------------------------------------------------------------------------
// A name that selects nothing (none, unknown, hidden) answers "badvalue"
// with the full report as it stands. A selection made while the GUI shows
// a preview that follows every change asks the user first whether to scan
// it again.
EOSSTS CDrvGuiImpl::DispatcherSetValueProfile(COsXml*, long long a_llId, const char* a_szName) {
  const uint64_t u64Reply = static_cast<uint64_t>(a_llId);
  if (!m_pdatabase) return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  if (!a_szName || !*a_szName) {
    OsLog(OS_LOG_ERROR, "No profile named for the selection...");
    return SendFullReport(u64Reply, DRV_STS_BADVALUE);
  }
  EDBSTS edbsts;
  bool blAsk = false;
  {
    CDbLockGuard dblockguard;
    edbsts = m_pdatabase->ProfileSetCurrent(a_szName);
    blAsk = edbsts == DB_STS_SUCCESS &&
            m_pdatabase->GetCurrentLongFromId(DB_ID_PREVIEWMODE) == DB_ID_PREVIEWMODE_ENUM_TRUE &&
            m_pdatabase->GetCurrentLongFromId(DB_ID_PREVIEWUPDATE) == DB_ID_PREVIEWUPDATE_ENUM_TRUE;
  }
  if (edbsts != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Fail to select profile %d <%s>...", edbsts, a_szName);
    const bool blNothing = edbsts == DB_STS_FAIL || edbsts == DB_STS_BADVALUE;
    return SendFullReport(u64Reply, blNothing ? DRV_STS_BADVALUE : static_cast<int32_t>(OS_STS_FAIL));
  }
  if (blAsk) {
    m_blPreviewQuestion = true;
    const bool blYes = ShowPreviewRescanMessage();
    m_blPreviewPending = m_blPreviewQuestion = false;
    if (blYes) PreviewScan(0);
  }
  return SendFullReport(u64Reply, DRV_STS_SUCCESS);
}
