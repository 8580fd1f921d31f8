// The destroy command: a scan window (the later windows move down into its
// place; a second window tag names the window current afterwards), or a
// settings profile.
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdblookup.h"
#include "drv_cdrvprocesscommands.h"
#include "drv_profilecommand.h"
#include "os_coslog.h"

EOSSTS CDrvProcessCommands::EnterDestroy(OsXmlCallback*) {
  m_drvwindowrequest = {};
  m_drvfilerequest.szFilename[0] = '\0';
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterDestroyId(OsXmlCallback* a_posxmlcallback) {
  return TakeArgument(m_drvwindowrequest.szId, sizeof m_drvwindowrequest.szId, a_posxmlcallback, "id");
}

// The first tag is the window destroyed, the second the one current
// afterwards; more are ignored.
EOSSTS CDrvProcessCommands::EnterDestroyWindowtag(OsXmlCallback* a_posxmlcallback) {
  switch (m_drvwindowrequest.u32WindowTags++) {
    case 0:
      return TakeArgument(m_drvwindowrequest.szWindowTag, sizeof m_drvwindowrequest.szWindowTag, a_posxmlcallback,
                          "windowtag");
    case 1:
      return TakeArgument(m_drvwindowrequest.szWindowTagSet, sizeof m_drvwindowrequest.szWindowTagSet,
                          a_posxmlcallback, "windowtag");
    default:
      m_drvwindowrequest.u32WindowTags = 2;
      OsLog(OS_LOG_INFO, "ignoring extra windowtag...<%.64s>",
            a_posxmlcallback->szData ? a_posxmlcallback->szData : "");
      return OS_STS_SUCCESS;
  }
}

EOSSTS CDrvProcessCommands::EnterDestroyText(OsXmlCallback* a_posxmlcallback) {
  return TakeArgument(m_drvwindowrequest.szText, sizeof m_drvwindowrequest.szText, a_posxmlcallback, "text");
}

EOSSTS CDrvProcessCommands::ExitDestroy(OsXmlCallback*) {
  if (NoDatabase()) return OS_STS_FAIL;
  if (DrvProfileId(m_drvwindowrequest.szId) == DRV_PROFILEID_PROFILE)
    return AnswerCommand(m_pdatabase->ProfileDelete(m_drvwindowrequest.szText));
  if (std::strcmp(m_drvwindowrequest.szId, "window") == 0) return DestroyScanWindow();
  OsLog(OS_LOG_ERROR, "unrecognized id...<%s>", m_drvwindowrequest.szId);
  return AnswerWord("fail");
}

// Both tags are checked before anything changes. The destroy itself is
// done once the database has deleted the window: a second tag that can no
// longer be selected then (the windows after it moved down) is logged.
EOSSTS CDrvProcessCommands::DestroyScanWindow() {
  const char* szTag = m_drvwindowrequest.szWindowTag;
  const char* szTagSet = m_drvwindowrequest.szWindowTagSet;
  if (!szTag[0]) {
    OsLog(OS_LOG_ERROR, "set windowtag can't be empty...<%s>", szTag);
    return AnswerWord("badvalue");
  }
  EDBID_WINDOWBIN edbidwindowbin = 0;
  if (!FindListedWindowBin(szTag, &edbidwindowbin)) {
    OsLog(OS_LOG_ERROR, "unrecognized destroy windowtag...<%s>", szTag);
    return AnswerWord("badvalue");
  }
  const bool blTagSet = m_drvwindowrequest.u32WindowTags > 1;
  EDBID_WINDOWBIN edbidwindowbinSet = 0;
  if (blTagSet && !FindListedWindowBin(szTagSet, &edbidwindowbinSet)) {
    OsLog(OS_LOG_ERROR, "unrecognized destroy set windowtag...<%s>", szTagSet);
    return AnswerWord("badvalue");
  }
  const EDBID_WINDOWBIN edbidwindowbinBefore = m_pdatabase->GetWindowBin();
  const EDBSTS edbsts = m_pdatabase->DeleteCurrentWindow(edbidwindowbin);
  // A refused destroy has made the tag's window-bin current: the front end
  // keeps the window it had.
  if (edbsts != DB_STS_SUCCESS && m_pdatabase->GetWindowBin() != edbidwindowbinBefore)
    m_pdatabase->SetCurrentLongFromId(DB_ID_WINDOWBIN, edbidwindowbinBefore, false);
  if (edbsts == DB_STS_NOTAVAILABLE) {
    OsLogDebug(OS_LOG_INFO, "can't destroy last window in this bin...<%s>", szTag);
    return AnswerWord("notavailable");
  }
  if (edbsts != DB_STS_SUCCESS) {
    OsLogDebug(OS_LOG_INFO, "window was already destroyed...<%s>", szTag);
    return AnswerWord("fail");
  }
  if (blTagSet && m_pdatabase->SetCurrentLongFromId(DB_ID_WINDOWBIN, edbidwindowbinSet, false) != DB_STS_SUCCESS)
    OsLogDebug(OS_LOG_INFO, "set window failed after destroy...<%s>", szTagSet);
  return AnswerWord("success");
}

bool CDrvProcessCommands::FindListedWindowBin(const char* a_szTag, EDBID_WINDOWBIN* a_pedbidwindowbin) {
  DbLookup2* pdblookup2 = m_pdatabase->LookupEdbid(DB_ID_WINDOWBIN);
  DbLookupEnum* pdblookupenum = pdblookup2 ? m_pdatabase->LookupLexiconEnum(pdblookup2, a_szTag) : nullptr;
  CDbDatum* pdbdatum = m_pdatabase->Find(DB_ID_WINDOWBIN);
  if (!pdblookupenum || !pdbdatum || !m_pdatabase->EnumHasCurrentItem(pdbdatum, pdblookupenum->lValue)) return false;
  *a_pedbidwindowbin = static_cast<EDBID_WINDOWBIN>(pdblookupenum->lValue);
  return true;
}
