// The GUI's value change ("setvalue", and "set" which only forwards to it):
// the capability named by the first child takes the text of the second,
// after the subcommand of an optional third. The change holds the database
// lock from its first read to its last copy; the preview question, the
// preview scan and the answer come after it is released.
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "db_cdblock.h"
#include "db_cdblookup.h"
#include "dev_cdev.h"
#include "drv_cdrvguichildren.h"
#include "drv_cdrvguicompose.h"
#include "drv_cdrvguiimpl.h"
#include "drv_cdrvguisetvalue.h"
#include "os_coslog.h"
#include "os_cosxml.h"

// What a value change left for its answer.
struct CDrvGuiImpl::SetValueOutcome {
  enum EANSWER : int {
    ANSWER_STATUS,     // the status alone
    ANSWER_VALUE,      // the status and the capability's value report
    ANSWER_UNDEFINED,  // "success" and the name as undefined
    ANSWER_FULL,       // the full report
    ANSWER_WINDOWBIN,  // the current camera's values, then the change answer
    ANSWER_CHANGE,     // the pending changes
  };
  EANSWER eanswer = ANSWER_STATUS;
  int32_t i32Status = DRV_STS_SUCCESS;
  CDbDatum* pdbdatum = nullptr;
  EDBID edbid = static_cast<EDBID>(0);
  bool blSubCommand = false;
  EDBCONTAINERTYPE edbcontainertype = DB_CONTAINERTYPE_RANGE;
  long lValue = 0;
  std::string strValue;
  std::string strName;
  // CROPPINGMODE as it was, and whether this command switched it.
  long lCropping = 0;
  bool blCroppingChanged = false;
};

namespace {

constexpr long s_lSetName = 64;     // a capability's name: 63 characters
constexpr long s_lSetValue = 1024;  // a value: 1,023 characters
constexpr long s_lSetFixed = DB_ID_CROPPINGMODE_ENUM_FIXED;

bool IsFrameId(EDBID a_edbid) {
  return a_edbid == DB_ID_FRAMEHEIGHT || a_edbid == DB_ID_FRAMEWIDTH || a_edbid == DB_ID_FRAMEXOFFSET ||
         a_edbid == DB_ID_FRAMEYOFFSET || a_edbid == DB_ID_IMAGESKEWANGLE;
}

// Values the scanner keeps counting: set again even when unchanged.
bool IsMeter(EDBID a_edbid) {
  return a_edbid == DB_ID_METERFIRSTSCAN || a_edbid == DB_ID_METERLAMPFRONT || a_edbid == DB_ID_METERLAMPREAR ||
         a_edbid == DB_ID_METERPOWER || a_edbid == DB_ID_METERTRANSPORT;
}

// The frame with the new value in its own place, the others current.
bool IsValidNewFrame(CDatabase* a_pdatabase, EDBID a_edbid, long a_lValue) {
  auto value = [&](EDBID a_edbidPart) {
    return a_edbidPart == a_edbid ? a_lValue : a_pdatabase->GetCurrentLongFromId(a_edbidPart);
  };
  return a_pdatabase->IsValidFrame(value(DB_ID_FRAMEXOFFSET), value(DB_ID_FRAMEYOFFSET), value(DB_ID_FRAMEWIDTH),
                                   value(DB_ID_FRAMEHEIGHT), value(DB_ID_IMAGESKEWANGLE),
                                   a_pdatabase->RangeGetCurrentMin(a_pdatabase->Find(DB_ID_FRAMEWIDTH)),
                                   a_pdatabase->RangeGetCurrentMin(a_pdatabase->Find(DB_ID_FRAMEHEIGHT)),
                                   a_pdatabase->GetCurrentLongFromId(DB_ID_PHYSICALWIDTH),
                                   a_pdatabase->GetCurrentLongFromId(DB_ID_PHYSICALHEIGHTADJUST));
}

// The command's children by position: the name, the value and the
// subcommand element (the cursor is left on the third child when there is
// one). False with the status to answer.
bool ReadSetValueChildren(COsXml* a_posxml, char* a_szName, std::vector<char>& a_vecchValue, bool* a_pblSubCommand,
                          int32_t* a_pi32Status) {
  *a_pblSubCommand = false;
  if (a_posxml->NodeChild() != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "setvalue needs a name and a value...");
    *a_pi32Status = OS_STS_FAIL;
    return false;
  }
  if (!DrvGuiNodeText(a_posxml, a_szName, s_lSetName)) {
    OsLog(OS_LOG_ERROR, "The name does not fit %ld bytes...", s_lSetName);
    *a_pi32Status = DRV_STS_BADVALUE;
    return false;
  }
  if (a_posxml->NodeSibling() != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "setvalue needs a name and a value...<%s>", a_szName);
    *a_pi32Status = OS_STS_FAIL;
    return false;
  }
  if (!DrvGuiNodeText(a_posxml, a_vecchValue.data(), static_cast<long>(a_vecchValue.size()))) {
    OsLog(OS_LOG_ERROR, "The value of <%s> does not fit %zu bytes...", a_szName, a_vecchValue.size());
    *a_pi32Status = DRV_STS_BADVALUE;
    return false;
  }
  if (!*a_szName) {
    OsLog(OS_LOG_ERROR, "setvalue without a name...");
    *a_pi32Status = DRV_STS_BADVALUE;
    return false;
  }
  *a_pblSubCommand = a_posxml->NodeSibling() == OS_STS_SUCCESS;
  return true;
}

}  // namespace

EOSSTS CDrvGuiImpl::DispatcherSet(COsXml* a_posxml, long long a_llId) { return DispatcherSetValue(a_posxml, a_llId); }

EOSSTS CDrvGuiImpl::DispatcherSetValue(COsXml* a_posxml, long long a_llId) {
  const uint64_t u64Reply = static_cast<uint64_t>(a_llId);
  if (!m_pdatabase || !a_posxml) return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  char szName[s_lSetName] = "";
  std::vector<char> vecchValue(s_lSetValue, 0);
  if (a_posxml->NodePush() != OS_STS_SUCCESS) return CreateUiTaskReportStatus(u64Reply, OS_STS_FAIL);
  bool blSubCommand = false;
  int32_t i32Status = DRV_STS_SUCCESS;
  const bool blRead = ReadSetValueChildren(a_posxml, szName, vecchValue, &blSubCommand, &i32Status);
  if (blRead && std::strcmp(szName, "profile") == 0) {
    a_posxml->NodePop();
    return DispatcherSetValueProfile(a_posxml, a_llId, vecchValue.data());
  }
  SetValueOutcome out;
  if (!blRead) {
    out.i32Status = i32Status;
  } else {
    out.blSubCommand = blSubCommand;
    SetValueApply(blSubCommand ? a_posxml : nullptr, szName, vecchValue.data(), &out);
  }
  a_posxml->NodePop();
  return SetValueAnswer(u64Reply, out);
}

// Steps 1 to 8 under one hold of the database lock. False when the change
// was not applied; the outcome says what to answer either way.
bool CDrvGuiImpl::SetValueApply(COsXml* a_posxml, const char* a_szName, const char* a_szValue,
                                SetValueOutcome* a_pout) {
  SetValueOutcome& out = *a_pout;
  CDbLockGuard dblockguard;
  out.lCropping = m_pdatabase->GetCurrentLongFromId(DB_ID_CROPPINGMODE);
  if (a_posxml && DispatchSetValueSubCommand(a_posxml, a_szName) != OS_STS_SUCCESS) {
    out.i32Status = OS_STS_FAIL;
    return false;
  }
  DbLookup2* pdblookup2 = m_pdatabase->LookupLexicon(a_szName);
  CDbDatum* pdbdatum = pdblookup2 && pdblookup2->edbid >= DB_ID_FIRST && pdblookup2->edbid <= DB_ID_FINAL
                           ? m_pdatabase->Find(pdblookup2->edbid)
                           : nullptr;
  if (!pdbdatum) {
    OsLog(OS_LOG_ERROR, "Unrecognized item...<%s>", a_szName);
    out.eanswer = SetValueOutcome::ANSWER_UNDEFINED;
    out.strName = a_szName;
    return false;
  }
  out.pdbdatum = pdbdatum;
  out.edbid = pdblookup2->edbid;
  CDbDatum* pdbdatumSide = m_pdatabase->GetLinkedSide(pdbdatum);
  // A change that is not applied leaves the preview flags as they were.
  const bool blPendingBefore = m_blPreviewPending;
  const bool blQuestionBefore = m_blPreviewQuestion;
  m_pdatabase->SetDbState(DB_STATE_GUISETVALUE);
  bool blApplied = SetValueParse(pdbdatum, a_szName, a_szValue, &out) && SetValueStore(pdbdatum, pdbdatumSide, &out);
  m_pdatabase->ClearDbState(DB_STATE_GUISETVALUE);
  if (!blApplied) {
    m_blPreviewPending = blPendingBefore;
    m_blPreviewQuestion = blQuestionBefore;
  }
  if (!blApplied && out.blCroppingChanged) {
    OsLog(OS_LOG_INFO, "Restoring the cropping mode...%ld", out.lCropping);
    m_pdatabase->SetCurrentLongFromId(DB_ID_CROPPINGMODE, out.lCropping, false);
  }
  return blApplied;
}

// Step 6, and step 7's unchanged value. False when nothing is to be set.
bool CDrvGuiImpl::SetValueParse(CDbDatum* a_pdbdatum, const char* a_szName, const char* a_szValue,
                                SetValueOutcome* a_pout) {
  SetValueOutcome& out = *a_pout;
  out.edbcontainertype = m_pdatabase->GetContainerType(a_pdbdatum);
  bool blUnchanged = false;
  switch (out.edbcontainertype) {
    case DB_CONTAINERTYPE_ENUM: {
      DbLookupEnum* pdblookupenum = m_pdatabase->LookupLexiconEnum(m_pdatabase->LookupGet(a_pdbdatum), a_szValue);
      if (!pdblookupenum) {
        OsLogDebug(OS_LOG_INFO, "Unrecognized value...%s %s", a_szName, a_szValue);
        out.eanswer = SetValueOutcome::ANSWER_VALUE;
        out.i32Status = DRV_STS_BADVALUE;
        return false;
      }
      out.lValue = pdblookupenum->lValue;
      // A selection list is set whatever it holds.
      blUnchanged =
          !m_pdatabase->EnumIsSelectionList(a_pdbdatum) && out.lValue == m_pdatabase->GetCurrentLong(a_pdbdatum);
      break;
    }
    case DB_CONTAINERTYPE_STRING: {
      out.strValue = a_szValue;
      const char* szCurrent = m_pdatabase->GetCurrentString(a_pdbdatum);
      blUnchanged = out.edbid != DB_ID_SERIALNUMBER && szCurrent && out.strValue == szCurrent;
      break;
    }
    case DB_CONTAINERTYPE_RANGE:
      if (!DrvGuiReadRangeValue(a_szValue, &out.lValue)) {
        out.eanswer = SetValueOutcome::ANSWER_VALUE;
        out.i32Status = DRV_STS_BADVALUE;
        return false;
      }
      blUnchanged = !IsMeter(out.edbid) && out.lValue == m_pdatabase->GetCurrentLong(a_pdbdatum);
      break;
    default:
      OsLog(OS_LOG_ERROR, "Unrecognized container...%d", static_cast<int>(out.edbcontainertype));
      out.i32Status = OS_STS_FAIL;
      return false;
  }
  if (out.edbid == DB_ID_LOG) blUnchanged = false;
  // Sides kept alike that are not: the value is set again to make them so.
  if (blUnchanged && m_pdatabase->GetLinkedSide(a_pdbdatum) && !m_pdatabase->IsCurrentOtherSideMatch(a_pdbdatum))
    blUnchanged = false;
  if (blUnchanged) {
    out.eanswer = m_blUpdatesSuspended ? SetValueOutcome::ANSWER_STATUS : SetValueOutcome::ANSWER_VALUE;
    out.i32Status = DRV_STS_SUCCESS;
    return false;
  }
  return true;
}

// Step 8: the set and its copies. False with the failure to answer.
bool CDrvGuiImpl::SetValueStore(CDbDatum* a_pdbdatum, CDbDatum* a_pdbdatumSide, SetValueOutcome* a_pout) {
  SetValueOutcome& out = *a_pout;
  m_pdatabase->NotifyResetAll();
  if (!m_blUpdatesSuspended) m_blPreviewPending = m_blPreviewQuestion = false;
  const bool blPreviewMode = m_pdatabase->GetCurrentLongFromId(DB_ID_PREVIEWMODE) == DB_ID_PREVIEWMODE_ENUM_TRUE;
  if (blPreviewMode && out.edbcontainertype != DB_CONTAINERTYPE_STRING)
    PreviewAfterChange(out.edbid, out.lValue, m_pdatabase->GetCurrentLong(a_pdbdatum));
  const bool blFrame = IsFrameId(out.edbid);
  if (blFrame && !m_pdatabase->IsCroppingBoxAllow(static_cast<EDBID_CROPPINGMODE>(out.lCropping))) {
    m_pdatabase->SetCurrentLongFromId(DB_ID_CROPPINGMODE, s_lSetFixed, false);
    out.blCroppingChanged = out.lCropping != s_lSetFixed;
  }
  out.eanswer = SetValueOutcome::ANSWER_VALUE;
  if (blFrame && !IsValidNewFrame(m_pdatabase, out.edbid, out.lValue)) {
    OsLog(OS_LOG_ERROR, "Invalid frame...%d %ld", static_cast<int>(out.edbid), out.lValue);
    out.i32Status = DRV_STS_BADVALUE;
    return false;
  }
  CDbDatum* pdbdatum = a_pdbdatum;
  CDbDatum* pdbdatumSide = a_pdbdatumSide;
  if (pdbdatumSide && DrvGuiIsRearBin(m_pdatabase->GetBin(pdbdatum))) std::swap(pdbdatum, pdbdatumSide);
  EDBSTS edbsts = DB_STS_SUCCESS;
  switch (m_pdatabase->GetDataType(pdbdatum)) {
    case DB_DATATYPE_LONG: edbsts = m_pdatabase->SetCurrentLong(pdbdatum, out.lValue, false); break;
    case DB_DATATYPE_STRING: edbsts = m_pdatabase->SetCurrentString(pdbdatum, out.strValue.c_str()); break;
    default:
      OsLog(OS_LOG_ERROR, "Unrecognized data type...<%d>", static_cast<int>(m_pdatabase->GetDataType(pdbdatum)));
      out.i32Status = OS_STS_FAIL;
      return false;
  }
  if (edbsts != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "The value was refused...%s %d", m_pdatabase->GetName(pdbdatum), static_cast<int>(edbsts));
    out.i32Status = DRV_STS_BADVALUE;
    return false;
  }
  if (out.edbid == DB_ID_SERIALNUMBER) {
    // The device answers with the lock released.
    EDEVSTS edevsts = DEV_STS_SUCCESS;
    {
      CDbLockRelease dblockrelease;
      edevsts = m_pdev ? m_pdev->GetDeviceStatusCallback() : DEV_STS_SUCCESS;
    }
    if (edevsts != DEV_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "The device refused the serial number...%d", static_cast<int>(edevsts));
      out.i32Status = DRV_STS_BADVALUE;
      return false;
    }
  }
  if (out.blSubCommand && m_pdatabase->EnumIsSelectionList(pdbdatum))
    m_pdatabase->NotifySet(DB_NOTIFY_PROFILES, pdbdatum);
  if (pdbdatumSide) m_pdatabase->CopySideToSide(pdbdatumSide, pdbdatum);
  if (CDbDatum* pdbdatumImage = m_pdatabase->GetLinkedImage(pdbdatum)) {
    m_pdatabase->CopyImageToImage(pdbdatumImage, pdbdatum);
    if (CDbDatum* pdbdatumImageSide = m_pdatabase->GetLinkedSide(pdbdatumImage))
      m_pdatabase->CopySideToSide(pdbdatumImageSide, pdbdatumImage);
  }
  if (const uint64_t u64Sides = m_pdatabase->NotifyGetSidesCount())
    OsLog(OS_LOG_INFO, "There is different value between the front and rear %d...", static_cast<int>(u64Sides));
  if (const uint64_t u64Images = m_pdatabase->NotifyGetImagesCount())
    OsLog(OS_LOG_INFO,
          "There is different value between the bitonal to color or color to "
          "bitonal %d...",
          static_cast<int>(u64Images));
  if (out.edbid == DB_ID_SIDESDIFFERENT) {
    m_pdatabase->CopySidesDifferent();
  } else {
    m_pdatabase->CopyImagesDifferent();
  }
  out.i32Status = DRV_STS_SUCCESS;
  if (m_blUpdatesSuspended) {
    out.eanswer = SetValueOutcome::ANSWER_STATUS;
  } else if (out.edbid == DB_ID_WINDOWBIN && blPreviewMode) {
    out.eanswer = SetValueOutcome::ANSWER_WINDOWBIN;
  } else if (DrvGuiNeedsFullReport(out.edbid)) {
    out.eanswer = SetValueOutcome::ANSWER_FULL;
  } else {
    out.eanswer = SetValueOutcome::ANSWER_CHANGE;
  }
  return true;
}

// Step 9, with the database lock released: the preview question (and the
// preview a "yes" asks for), then the answer.
EOSSTS CDrvGuiImpl::SetValueAnswer(uint64_t a_u64Reply, const SetValueOutcome& a_out) {
  switch (a_out.eanswer) {
    case SetValueOutcome::ANSWER_STATUS: return CreateUiTaskReportStatus(a_u64Reply, a_out.i32Status);
    case SetValueOutcome::ANSWER_VALUE: return SendStatusAndValue(a_u64Reply, a_out.i32Status, a_out.pdbdatum);
    case SetValueOutcome::ANSWER_UNDEFINED: {
      CDrvGuiTask drvguitask;
      const bool blBuilt = DrvGuiComposeLocked([&] {
        drvguitask.TaskBegin(a_u64Reply);
        drvguitask.CmdStatus(DRV_STS_SUCCESS);
        // The name alone: get's own list is not left holding it.
        m_drvguireports.UndefinedClear(DB_BIN_SEARCH);
        m_drvguireports.UndefinedAdd(DB_BIN_SEARCH, a_out.strName.c_str());
        m_drvguireports.CmdReportUndefines(drvguitask);
        m_drvguireports.UndefinedClear(DB_BIN_SEARCH);
        drvguitask.TaskEnd();
      });
      return SendReply(a_u64Reply, drvguitask, blBuilt);
    }
    default: break;
  }
  if (a_out.eanswer == SetValueOutcome::ANSWER_FULL) {
    PreviewAskAndScan(false);
    return DispatcherGetRegistered(nullptr, static_cast<long long>(a_u64Reply));
  }
  // Composed before any preview: a scan starts the change lists afresh.
  CDrvGuiTask drvguitask;
  const bool blBuilt = ComposeSetValueReports(drvguitask, a_u64Reply, a_out.pdbdatum);
  if (a_out.eanswer == SetValueOutcome::ANSWER_WINDOWBIN)
    DispatcherGetValuesRegisteredCurrentBin(nullptr, static_cast<long long>(a_u64Reply));
  PreviewAskAndScan(false);
  PreviewAskAndScan(true);
  return SendReply(a_u64Reply, drvguitask, blBuilt);
}

// A status and the capability's value report (when registered).
EOSSTS CDrvGuiImpl::SendStatusAndValue(uint64_t a_u64Reply, int32_t a_i32Status, CDbDatum* a_pdbdatum) {
  CDrvGuiTask drvguitask;
  const bool blBuilt = DrvGuiComposeLocked([&] {
    drvguitask.TaskBegin(a_u64Reply);
    drvguitask.CmdStatus(a_i32Status);
    if (a_pdbdatum) m_drvguireports.CmdReportValues(drvguitask, DRV_REPORT_ONE, a_pdbdatum, false);
    drvguitask.TaskEnd();
  });
  return SendReply(a_u64Reply, drvguitask, blBuilt);
}
