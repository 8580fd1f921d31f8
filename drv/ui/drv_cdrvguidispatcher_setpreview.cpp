// Whether a value change needs a new preview image, the question that asks
// the user before it is scanned, and the commands that hold the GUI's
// updates back ("updatesuspend") and let them go ("updateresume").
#include <string>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "drv_cdrvguiimpl.h"
#include "os_coslog.h"

namespace {

// When the change needs a new preview.
enum EPREVIEWPENDING : int {
  PENDING_ALWAYS,
  PENDING_BLANKCONTENT,  // the new value is "content"
  PENDING_HIGHQUALITY,   // under the high-quality condition
  PENDING_CROPPING,      // the preview's cropping of the new and old value differ
};

// When the user is asked first.
enum EPREVIEWQUESTION : int {
  QUESTION_KEEP,  // as it is
  QUESTION_ALWAYS,
  QUESTION_UPDATEOFF,         // PREVIEWUPDATE is off now
  QUESTION_HIGHQUALITY,       // under the high-quality condition
  QUESTION_PENDINGUPDATEOFF,  // a preview is pending and PREVIEWUPDATE is off
  QUESTION_NOAUTOORHIGH,      // the auto-update condition fails or the high-quality
                              // one holds
  QUESTION_WINDOWBIN,         // no auto-update; or a rear camera on the flatbed
};

struct DrvPreviewRow {
  EDBID edbid;
  EPREVIEWPENDING epreviewpending;
  EPREVIEWQUESTION epreviewquestion;
};

constexpr DrvPreviewRow s_adrvpreviewrow[] = {
    {DB_ID_AUTOMATICDESKEW, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_BACKGROUND, PENDING_ALWAYS, QUESTION_ALWAYS},
    {DB_ID_BACKGROUNDADJUSTAGGRESSIVENESS, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_BACKGROUNDADJUSTAPPLYTO, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_BACKGROUNDADJUSTMODE, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_BLANKPAGEMODE, PENDING_BLANKCONTENT, QUESTION_KEEP},
    {DB_ID_BRIGHTNESS, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_CAMERAENABLE, PENDING_HIGHQUALITY, QUESTION_HIGHQUALITY},
    {DB_ID_COLORBALANCEAUTOMATICAGGRESSIVENESS, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_COLORBALANCEBLUE, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_COLORBALANCEGREEN, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_COLORBALANCEMODE, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_COLORBALANCERED, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_COLORBRIGHTNESSMODE, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_COLORSHARPEN, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_CONTRAST, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_CROPPINGMODE, PENDING_CROPPING, QUESTION_PENDINGUPDATEOFF},
    {DB_ID_DOCUMENTTYPE, PENDING_ALWAYS, QUESTION_ALWAYS},
    {DB_ID_ECDO, PENDING_ALWAYS, QUESTION_HIGHQUALITY},
    {DB_ID_ECDOAGGRESSIVENESS, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_FOREGROUNDBOLDNESSAGGRESSIVENESS, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_FOREGROUNDBOLDNESSMODE, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_HALFTONES, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_HOLEFILLENABLED, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_IMAGEEDGEBOTTOM, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_IMAGEEDGEFILL, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_IMAGEEDGEFILLALLSIDES, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_IMAGEEDGELEFT, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_IMAGEEDGERIGHT, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_IMAGEEDGETOP, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_IMAGEFILTER, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_IMAGEFORMAT, PENDING_ALWAYS, QUESTION_NOAUTOORHIGH},
    {DB_ID_INPUTDOCUMENT, PENDING_ALWAYS, QUESTION_ALWAYS},
    {DB_ID_MEDIATYPE, PENDING_ALWAYS, QUESTION_ALWAYS},
    {DB_ID_NOISEFILTER, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_PIXELFLAVOR, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_PREVIEWQUALITY, PENDING_ALWAYS, QUESTION_ALWAYS},
    {DB_ID_PREVIEWUPDATE, PENDING_ALWAYS, QUESTION_ALWAYS},
    {DB_ID_STREAKREMOVALAGGRESSIVENESS, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_STREAKREMOVALENABLED, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_TEXTENHANCEMENT, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_THINTHICKENAMOUNT, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_THRESHOLD, PENDING_ALWAYS, QUESTION_UPDATEOFF},
    {DB_ID_WINDOWBIN, PENDING_ALWAYS, QUESTION_WINDOWBIN},
    {DB_ID_XRESOLUTION, PENDING_HIGHQUALITY, QUESTION_HIGHQUALITY},
};

const DrvPreviewRow* FindPreviewRow(EDBID a_edbid) {
  for (const DrvPreviewRow& drvpreviewrow : s_adrvpreviewrow) {
    if (drvpreviewrow.edbid == a_edbid) return &drvpreviewrow;
  }
  return nullptr;
}

constexpr long s_lPreviewOn = 2;
constexpr long s_lPreviewOff = 1;
constexpr long s_lPreviewBlankContent = DB_ID_BLANKPAGEMODE_ENUM_CONTENT;
constexpr long s_lPreviewFlatbed = 4;  // the scan source of the flatbed

// The capability itself with its new value at 2, else its current value
// when the scanner has it.
bool IsPreviewSwitchOn(CDatabase* a_pdatabase, EDBID a_edbidSwitch, EDBID a_edbid, long a_lNew) {
  if (a_edbid == a_edbidSwitch) return a_lNew == s_lPreviewOn;
  CDbDatum* pdbdatum = a_pdatabase->Find(a_edbidSwitch);
  return pdbdatum && a_pdatabase->GetCurrentLong(pdbdatum) == s_lPreviewOn;
}

bool IsRearWindowBin(long a_lWindowBin) {
  const long lCamera = ((a_lWindowBin % 4) + 4) % 4;
  return lCamera == 1 || lCamera == 3;  // rear bitonal, rear colour
}

}  // namespace

void CDrvGuiImpl::PreviewAfterChange(EDBID a_edbid, long a_lNew, long a_lOld) {
  const DrvPreviewRow* pdrvpreviewrow = FindPreviewRow(a_edbid);
  if (!pdrvpreviewrow) return;
  const bool blHigh = IsPreviewSwitchOn(m_pdatabase, DB_ID_PREVIEWQUALITY, a_edbid, a_lNew);
  const bool blAuto = IsPreviewSwitchOn(m_pdatabase, DB_ID_PREVIEWUPDATE, a_edbid, a_lNew);
  const bool blUpdateOff = m_pdatabase->GetCurrentLongFromId(DB_ID_PREVIEWUPDATE) == s_lPreviewOff;
  bool blPending = m_blPreviewPending;
  bool blQuestion = m_blPreviewQuestion;
  switch (pdrvpreviewrow->epreviewpending) {
    case PENDING_ALWAYS: blPending = true; break;
    case PENDING_BLANKCONTENT: blPending = blPending || a_lNew == s_lPreviewBlankContent; break;
    case PENDING_HIGHQUALITY: blPending = blPending || blHigh; break;
    case PENDING_CROPPING:
      if (m_pdatabase->GetCroppingForPreview(static_cast<EDBID_CROPPINGMODE>(a_lNew)) !=
          m_pdatabase->GetCroppingForPreview(static_cast<EDBID_CROPPINGMODE>(a_lOld))) {
        blPending = true;
        blQuestion = blQuestion || blUpdateOff;
      }
      break;
  }
  switch (pdrvpreviewrow->epreviewquestion) {
    case QUESTION_KEEP:
    case QUESTION_PENDINGUPDATEOFF: break;
    case QUESTION_ALWAYS: blQuestion = true; break;
    case QUESTION_UPDATEOFF: blQuestion = blQuestion || blUpdateOff; break;
    case QUESTION_HIGHQUALITY: blQuestion = blQuestion || blHigh; break;
    case QUESTION_NOAUTOORHIGH: blQuestion = blQuestion || !blAuto || blHigh; break;
    case QUESTION_WINDOWBIN:
      if (!blAuto) {
        blQuestion = true;
      } else if (!blHigh && !blQuestion && IsRearWindowBin(a_lNew) &&
                 m_pdatabase->GetScanSource() == s_lPreviewFlatbed) {
        blQuestion = true;
      }
      break;
  }
  // Without automatic updates only the user's "yes" brings a preview.
  if (!blAuto && !blQuestion) blPending = false;
  m_blPreviewPending = blPending;
  m_blPreviewQuestion = blQuestion;
}

// The user answers with the database lock released; the GUI's death
// answers "cancel".
bool CDrvGuiImpl::ShowPreviewRescanMessage() {
  if (!m_blPreviewQuestion || !m_pdatabase) return false;
  CDbLockRelease dblockrelease;
  std::string strText;
  {
    CDbLockGuard dblockguard;
    const char* szText = m_pdatabase->LabelGet("messagepreviewupdate", "messagepreviewupdate...", -1);
    strText = szText ? szText : "messagepreviewupdate...";
  }
  EDBINFOBUTTON edbinfobutton = DB_INFOBUTTON_NONE;
  MessageManager(DEV_DLG_MESSAGE, DEV_MSG_EXCLAMATION, strText.c_str(), 0, DEV_BUTTONS_YESNO, &edbinfobutton);
  CDbLockGuard dblockguard;
  switch (edbinfobutton) {
    case DB_INFOBUTTON_OKYES:
      m_pdatabase->SetDbState(DB_STATE_PREVIEWRESCAN);
      m_pdatabase->SetCurrentLongFromId(DB_ID_PREVIEWIMAGEACQUIRE, DB_ID_PREVIEWIMAGEACQUIRE_ENUM_TRUE, false);
      return true;
    case DB_INFOBUTTON_NO:
      m_blPreviewPending = m_blPreviewQuestion = false;
      m_pdatabase->SetCurrentLongFromId(DB_ID_PREVIEWMODE, DB_ID_PREVIEWMODE_ENUM_FALSE, false);
      m_pdatabase->SetCurrentLongFromId(DB_ID_PREVIEWIMAGEACQUIRE, DB_ID_PREVIEWIMAGEACQUIRE_ENUM_FALSE, false);
      {
        CDbLockRelease dblockreleaseSend;
        SendEmptyImageReport();
      }
      return false;
    default: OsLog(OS_LOG_ERROR, "Unexpected button pressed."); return false;
  }
}

// With a_blScanPending false: the question, and the preview a "yes" asks
// for. With it true: the preview the change still needs. A preview is
// only scanned when the user did not refuse it, and then once.
void CDrvGuiImpl::PreviewAskAndScan(bool a_blScanPending) {
  if (m_blUpdatesSuspended || !m_pdatabase) return;
  if (!a_blScanPending) {
    if (!m_blPreviewQuestion) return;
    const bool blYes = ShowPreviewRescanMessage();
    if (!blYes || !m_blPreviewPending) {
      m_blPreviewPending = m_blPreviewQuestion = false;
      CDbLockGuard dblockguard;
      m_pdatabase->ClearDbState(DB_STATE_PREVIEWRESCAN);
      return;
    }
  } else if (!m_blPreviewPending) {
    return;
  }
  m_blPreviewPending = m_blPreviewQuestion = false;
  PreviewScan(0);
}

// The preview clears the rescan mark at its end, but not when it returns
// at once (a scan or preview already running, no driver).
void CDrvGuiImpl::PreviewScan(long long a_llId) {
  DispatcherRequestPreview(nullptr, a_llId);
  if (!m_pdatabase) return;
  CDbLockGuard dblockguard;
  m_pdatabase->ClearDbState(DB_STATE_PREVIEWRESCAN);
}

EOSSTS CDrvGuiImpl::DispatcherUpdateSuspend(COsXml*, long long a_llId) {
  m_blUpdatesSuspended = true;
  m_blPreviewPending = m_blPreviewQuestion = false;
  return CreateUiTaskReportStatus(static_cast<uint64_t>(a_llId), DRV_STS_SUCCESS);
}

// The changes held back: the question, at most one preview, one full
// report; then updates go on.
EOSSTS CDrvGuiImpl::DispatcherUpdateResume(COsXml*, long long a_llId) {
  bool blYes = false;
  if (m_blPreviewQuestion) {
    blYes = ShowPreviewRescanMessage();
    if (!blYes) m_blPreviewPending = false;
  }
  if (m_blPreviewPending) {
    PreviewScan(a_llId);
  } else if (blYes && m_pdatabase) {
    CDbLockGuard dblockguard;
    m_pdatabase->ClearDbState(DB_STATE_PREVIEWRESCAN);
  }
  m_blPreviewPending = m_blPreviewQuestion = false;
  const EOSSTS eossts = DispatcherGetRegistered(nullptr, a_llId);
  m_blUpdatesSuspended = false;
  return eossts;
}
