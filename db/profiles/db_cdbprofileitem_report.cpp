// The report elements that describe a profile ("profileitem",
// "reportprofileitem") and whether the values in force still are the
// profile's.
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbprofileitem.h"
#include "db_profiledocument.h"
#include "os_coslog.h"
#include "os_cosxmltask.h"

namespace {

const char* Flag(bool a_bl) { return a_bl ? "true" : "false"; }

// Capabilities whose change counts only where a cropping box is drawn.
bool CountsWithCroppingBox(EDBID a_edbid) {
  switch (a_edbid) {
    case DB_ID_FRAMEHEIGHT:
    case DB_ID_FRAMEWIDTH:
    case DB_ID_FRAMEXOFFSET:
    case DB_ID_FRAMEYOFFSET:
    case DB_ID_IMAGESKEWANGLE:
    case DB_ID_WINDOWSIZE: return true;
    default: return false;
  }
}

bool CroppingBoxIn(CDatabase* a_pdatabase, EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin) {
  CDbDatum* pdbdatum = CDbDatum::DbDatumFind(a_edbidwindow, DB_ID_CROPPINGMODE, a_edbbin);
  return pdbdatum && pdbdatum->GetAccess() != DB_ACCESS_NOTSUPPORTED &&
         a_pdatabase->IsCroppingBoxAllow(static_cast<EDBID_CROPPINGMODE>(a_pdatabase->GetCurrentLong(pdbdatum)));
}

}  // namespace

// Under the GUI's request (state 5) a change counts only where it shows in
// the scan: the frame and page size need a cropping box, the page count
// never counts. Otherwise any pending change does.
bool CDbProfileItem::IsProfileModified() {
  if (m_blIsProfileHidden || !m_pdatabase) return false;
  const bool blGui = m_pdatabase->TestDbState(DB_STATE_GUI) != 0;
  for (CDbDatum* pdbdatum = m_pdatabase->NotifyGetFirst(DB_NOTIFY_PROFILES); pdbdatum;
       pdbdatum = m_pdatabase->NotifyGetNext(DB_NOTIFY_PROFILES, pdbdatum)) {
    const EDBID edbid = pdbdatum->GetId();
    bool blCounts = true;
    if (blGui && CountsWithCroppingBox(edbid)) {
      blCounts = CroppingBoxIn(m_pdatabase, pdbdatum->GetWindow(), pdbdatum->GetBin());
    } else if (blGui && edbid == DB_ID_SUPPORTEDSIZES) {
      blCounts = false;
      for (int iBin = DB_BIN_BITONAL_FRONT; iBin <= DB_BIN_COLOR_REAR && !blCounts; ++iBin)
        blCounts = CroppingBoxIn(m_pdatabase, pdbdatum->GetWindow(), static_cast<EDBBIN>(iBin));
    } else if (blGui && edbid == DB_ID_PAGECOUNT) {
      blCounts = false;
    }
    if (blCounts) {
      OsLogDebug(OS_LOG_INFO, "Modified ID = %d...", edbid);
      return true;
    }
  }
  return false;
}

EOSSTS CDbProfileItem::ProfileItem(bool a_blIsCurrent, int a_iDepth, bool a_blAsNonTask) {
  if (!m_posxmltask) {
    OsLog(OS_LOG_ERROR, "m_posxmltask is null...");
    return OS_STS_FAIL;
  }
  FindPicture();
  const char* szState = !a_blIsCurrent ? "normal" : IsProfileModified() ? "modified" : "current";
  if (a_blAsNonTask) {
    m_posxmltask->StartNonTask("profileitem", a_iDepth);
  } else {
    m_posxmltask->StartCommand("profileitem", a_iDepth);
  }
  bool blWritten = dbprofile::AddText(m_posxmltask, "value", m_szName, true) &&
                   dbprofile::AddText(m_posxmltask, "text", GetLocaleText(nullptr), true);
  m_posxmltask->AddArgument("profilestate", szState);
  m_posxmltask->AddArgument("readonly", Flag(m_blIsProfileReadonly));
  m_posxmltask->AddArgument("default", Flag(m_blIsProfileDefault));
  blWritten = blWritten && dbprofile::AddText(m_posxmltask, "profileid", m_szId, false) &&
              dbprofile::AddText(m_posxmltask, "graphicfilename", m_szGraphicFilename, true);
  if (a_blAsNonTask) {
    m_posxmltask->FinalizeNonTask("profileitem");
  } else {
    m_posxmltask->FinalizeCommand("profileitem");
  }
  return blWritten && !m_posxmltask->IsError(false) ? OS_STS_SUCCESS : OS_STS_FAIL;
}

const char* CDbProfileItem::ReportProfileItem(int a_iDepth) {
  if (!m_posxmltask) {
    OsLog(OS_LOG_ERROR, "m_posxmltask is null...");
    return nullptr;
  }
  m_posxmltask->Clear();
  m_posxmltask->StartNonTask("reportprofileitem", a_iDepth);
  const EOSSTS eossts = m_blIsProfileHidden ? OS_STS_SUCCESS : ProfileItem(true, a_iDepth + 1, false);
  m_posxmltask->FinalizeNonTask("reportprofileitem");
  if (eossts != OS_STS_SUCCESS || m_posxmltask->IsError(false)) {
    OsLog(OS_LOG_ERROR, "ReportProfileItem: the report could not be built...");
    return nullptr;
  }
  return m_posxmltask->GetTaskBuffer();
}
