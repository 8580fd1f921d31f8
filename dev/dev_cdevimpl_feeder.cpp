// What the caller and the scan thread learn of the paper before and during
// a scan: whether the feeder holds paper, and how many images to expect per
// sheet. The feeder state is read from the scanner only when the model has
// a paper sensor; without one, or without a database, the answer is "paper
// present" (2), so that a scan is tried rather than refused.
#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdevdevice.h"
#include "dev_cdevimpl.h"
#include "dev_dbvalue.h"
#include "os_coscfg.h"
#include "os_coscfgtags.h"
#include "os_coslog.h"

namespace {

constexpr long s_lNoPaper = 1;
constexpr long s_lPaper = 2;
// The data-source state of a TWAIN front end that shows its own user
// interface: without a scan, the feeder is reported empty to it.
constexpr long s_lTwainUserInterface = 5;

bool IsPreview(CDatabase& a_database) {
  return DevValueOrZero(a_database, DB_ID_PREVIEWMODE) == DB_ID_PREVIEWMODE_ENUM_TRUE;
}

// A preview that takes its image from what was scanned before (value 1)
// feeds no paper.
bool IsPreviewWithoutFeeding(CDatabase& a_database) {
  return IsPreview(a_database) && DevValueOrZero(a_database, DB_ID_PREVIEWIMAGEACQUIRE) == 1;
}

}  // namespace

long CDevImpl::ScanGetCurrentFeederLoaded() {
  long lState = s_lPaper;
  if (pod.m_pdatabase) {
    CDatabase& database = *pod.m_pdatabase;
    CDbLockGuard dblockguard;
    if (IsPreviewWithoutFeeding(database)) {
      lState = m_scanstate.lScanSource.load() == 3 ? s_lNoPaper : s_lPaper;
    } else if (database.ConfigExists("paperdetectable", DB_CONFIGTARGET_COMMON) &&
               DevValueOrZero(database, DB_ID_TRANSPORTAUTOSTART) != 1 && pod.m_pdevdevice) {
      lState = pod.m_pdevdevice->IsFeederLoaded();
    }
  }
  pod.m_lFeederState = lState;
  return lState;
}

long CDevImpl::ScanIsFeederLoaded(bool a_blPreview) {
  if (!pod.m_pdatabase) return s_lPaper;
  {
    CDbLockGuard dblockguard;
    CDatabase& database = *pod.m_pdatabase;
    if (!database.ConfigEnumExists("papersource", "adf", DB_CONFIGTARGET_COMMON)) return s_lNoPaper;
    // A job that ended for want of paper: said once.
    if (m_blNoPaperAtEnd.exchange(false)) return s_lNoPaper;
    if (database.ConfigExists("paperdetectable", DB_CONFIGTARGET_COMMON) &&
        OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEFEEDERLOADED, 0) != 0) {
      const long lState = ScanGetCurrentFeederLoaded();
      return lState == 0 ? s_lNoPaper : lState;
    }
  }
  if (g_poslog && g_poslog->GetIsTWAIN() == s_lTwainUserInterface && !ScanIsScanning() && !a_blPreview) {
    return s_lNoPaper;
  }
  return s_lPaper;
}

// Images the caller should expect per sheet; -1 when the job is open-ended.
long CDevImpl::ScanGetOutputImageCount() {
  if (!pod.m_pdatabase) return -1;
  CDatabase& database = *pod.m_pdatabase;
  CDbLockGuard dblockguard;
  if (IsPreview(database)) {
    if (DevValueOrZero(database, DB_ID_PREVIEWIMAGEACQUIRE) == 1) return 2;
    return DevValueOrZero(database, DB_ID_INPUTDOCUMENT) == DB_ID_INPUTDOCUMENT_ENUM_TWOSIDED ? 4 : 2;
  }
  // A flatbed page counts its images only; a learning scan promises none.
  const bool blFlatbed = database.TestDbState(DB_STATE_FLATBEDSCAN) != 0;
  if (!blFlatbed && database.TestDbState(DB_STATE_LEARNSCAN)) return 0;
  const long lImages = DevValueOrZero(database, DB_ID_XFERCOUNT);
  if (blFlatbed) return lImages == 0 ? 0 : lImages > 0 ? lImages : -1;
  if (lImages == 0 && DevValueOrZero(database, DB_ID_PAGECOUNT) == 0) return 0;
  // Otherwise as many as the job is expected to deliver.
  return ImageCountCalculate();
}
