// The window list report: every window in use with its camera, its image
// format and the formats it allows.
#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "db_cdblookup.h"
#include "drv_cdriver.h"
#include "os_coslog.h"
#include "os_cosxmltask.h"

namespace {

constexpr long s_lCameraEnabled = 2;

const char* CameraType(EDBBIN a_edbbin) {
  switch (a_edbbin) {
    case DB_BIN_BITONAL_FRONT:
    case DB_BIN_COLOR_FRONT: return "front";
    case DB_BIN_BITONAL_REAR:
    case DB_BIN_COLOR_REAR: return "rear";
    default: return nullptr;
  }
}

}  // namespace

EOSSTS CDriver::CmdReportWindowList(bool a_blAsTask, COsXmlTask* a_posxmltask) {
  if (!m_pdatabase) return OS_STS_FAIL;
  CDbLockGuard dblockguard;
  COsXmlTask* posxmltask = a_posxmltask ? a_posxmltask : m_pdatabase->GetXmlTask();
  posxmltask->Clear();
  if (a_blAsTask) {
    posxmltask->StartTask(m_pdatabase->GetTaskId(), m_pdatabase->GetReplyId(), "success");
    posxmltask->StartCommand("reportwindowlist", 1);
  } else {
    posxmltask->StartNonTask("reportwindowlist", 0);
  }
  const int iDepth = a_blAsTask ? 2 : 1;
  CDbDatum* pdbdatumWindowBin = m_pdatabase->Find(DB_ID_WINDOWBIN);
  DbLookup2* pdblookup2WindowBin = m_pdatabase->LookupEdbid(DB_ID_WINDOWBIN);
  DbLookup2* pdblookup2Format = m_pdatabase->LookupEdbid(DB_ID_IMAGEFORMAT);
  const long lItems = pdbdatumWindowBin ? m_pdatabase->EnumGetCurrentItemCount(pdbdatumWindowBin) : 0;
  for (long lItem = 0; lItem < lItems; ++lItem) {
    const auto edbidwindowbin =
        static_cast<EDBID_WINDOWBIN>(m_pdatabase->EnumGetCurrentItem(pdbdatumWindowBin, lItem));
    if (AddWindowItem(posxmltask, iDepth, edbidwindowbin, pdblookup2WindowBin, pdblookup2Format) != OS_STS_SUCCESS) {
      m_pdatabase->CreateTaskReportStatus("fail", posxmltask);
      return OS_STS_FAIL;
    }
  }
  if (a_blAsTask) {
    posxmltask->FinalizeCommand("reportwindowlist");
    posxmltask->FinalizeTask();
  } else {
    posxmltask->FinalizeNonTask("reportwindowlist");
  }
  if (!posxmltask->IsError(false)) return OS_STS_SUCCESS;
  OsLog(OS_LOG_ERROR, "reportwindowlist does not fit its builder...");
  m_pdatabase->CreateTaskReportStatus("fail", posxmltask);
  return OS_STS_FAIL;
}

EOSSTS CDriver::AddWindowItem(COsXmlTask* a_posxmltask, int a_iDepth, EDBID_WINDOWBIN a_edbidwindowbin,
                              DbLookup2* a_pdblookup2WindowBin, DbLookup2* a_pdblookup2Format) {
  EDBID_WINDOW edbidwindow = 0;
  EDBBIN edbbin = DB_BIN_MACHINE;
  m_pdatabase->DecomposeWindowBin(a_edbidwindowbin, &edbidwindow, &edbbin);
  const char* szCameraType = CameraType(edbbin);
  if (!szCameraType) {
    OsLog(OS_LOG_ERROR, "unrecognized edbbin...%d", static_cast<int>(edbbin));
    return OS_STS_FAIL;
  }
  DbLookupEnum* pdblookupenumTag =
      a_pdblookup2WindowBin ? m_pdatabase->LookupDbEnum(a_pdblookup2WindowBin, a_edbidwindowbin) : nullptr;
  CDbDatum* pdbdatumFormat = m_pdatabase->FindInWindowBin(edbidwindow, edbbin, DB_ID_IMAGEFORMAT);
  DbLookupEnum* pdblookupenumFormat =
      a_pdblookup2Format && pdbdatumFormat
          ? m_pdatabase->LookupDbEnum(a_pdblookup2Format, m_pdatabase->GetCurrentLong(pdbdatumFormat))
          : nullptr;
  if (!pdblookupenumTag || !pdblookupenumFormat) {
    OsLog(OS_LOG_ERROR, "pdblookupenum is NULL");
    return OS_STS_FAIL;
  }
  CDbDatum* pdbdatumCamera = m_pdatabase->FindInWindowBin(edbidwindow, edbbin, DB_ID_CAMERAENABLE);
  const bool blEnabled = pdbdatumCamera && m_pdatabase->GetAccess(pdbdatumCamera) != DB_ACCESS_NOTSUPPORTED &&
                         m_pdatabase->GetCurrentLong(pdbdatumCamera) == s_lCameraEnabled;
  a_posxmltask->StartCommand("windowitem", a_iDepth);
  a_posxmltask->AddArgument("windowtag", pdblookupenumTag->szLexiconEnum);
  a_posxmltask->AddArgument("cameratype", szCameraType);
  a_posxmltask->AddArgument("imageformat", pdblookupenumFormat->szLexiconEnum);
  a_posxmltask->AddArgument("windowenabled", blEnabled ? "true" : "false");
  a_posxmltask->AddArgument("link", "");
  a_posxmltask->AddArgument("override", "");
  a_posxmltask->StartCommand("enum", a_iDepth + 1);
  a_posxmltask->AddArgument("id", a_pdblookup2Format->szLexicon);
  const long lFormats = m_pdatabase->EnumGetDefaultItemCount(pdbdatumFormat);
  for (long lFormat = 0; lFormat < lFormats; ++lFormat) {
    DbLookupEnum* pdblookupenum =
        m_pdatabase->LookupDbEnum(a_pdblookup2Format, m_pdatabase->EnumGetDefaultItem(pdbdatumFormat, lFormat));
    if (!pdblookupenum) {
      OsLog(OS_LOG_ERROR, "pdblookupenum is NULL");
      return OS_STS_FAIL;
    }
    a_posxmltask->AddArgument("value", pdblookupenum->szLexiconEnum);
    a_posxmltask->AddArgumentSafe("text", pdblookupenum->szLabel ? pdblookupenum->szLabel : "");
  }
  a_posxmltask->FinalizeCommand("enum");
  a_posxmltask->FinalizeCommand("windowitem");
  return OS_STS_SUCCESS;
}
