// What a scan is expected to deliver, and the printer index written back
// into its capability when a scan ends.
#include <climits>
#include <cstdio>
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "dev_cdevimpl.h"
#include "dev_dbvalue.h"
#include "os_coslog.h"

namespace {

constexpr EDBBIN s_aedbbinCameras[] = {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT,
                                       DB_BIN_COLOR_REAR};

long CamerasEnabled(CDatabase& a_database) {
  long lCameras = 0;
  for (EDBBIN edbbin : s_aedbbinCameras) lCameras += a_database.GetCameraEnable(edbbin) ? 1 : 0;
  return lCameras;
}

}  // namespace

// A preview delivers one image per camera; a flatbed or learning scan, or a
// feeder without a count, runs until the paper ends.
long CDevImpl::ImageCountCalculate() {
  if (!pod.m_pdatabase) {
    OsLog(OS_LOG_ERROR, "pod.m_pdatabase is null...");
    return -1;
  }
  CDatabase& database = *pod.m_pdatabase;
  CDbLockGuard dblockguard;
  if (DevValueOrZero(database, DB_ID_PREVIEWMODE) == DB_ID_PREVIEWMODE_ENUM_TRUE) return CamerasEnabled(database);
  if (database.TestDbState(DB_STATE_FLATBEDSCAN) || database.TestDbState(DB_STATE_LEARNSCAN)) return -1;
  const long lImages = DevValueOrZero(database, DB_ID_XFERCOUNT);
  const long lSheets = DevValueOrZero(database, DB_ID_PAGECOUNT);
  if (lImages == 0 && lSheets == 0) return -1;
  if (lImages > 0) return lImages;
  if (lSheets < 1) return -1;
  const long lCameras = CamerasEnabled(database);
  if (lCameras > 0 && lSheets > LONG_MAX / lCameras) {
    OsLog(OS_LOG_ERROR, "ImageCountCalculate: %ld sheets of %ld images overflow, counted open-ended...", lSheets,
          lCameras);
    return -1;
  }
  return lSheets * lCameras;
}

// The index the scanner reported goes back where the user sees it; one the
// capability cannot hold starts again at 0.
void CDevImpl::SetPrinterIndex() {
  if (!pod.m_pdatabase) {
    OsLog(OS_LOG_ERROR, "pod.m_pdatabase is null...");
    return;
  }
  CDatabase& database = *pod.m_pdatabase;
  CDbLockGuard dblockguard;
  CDbDatum* pdbdatum = database.Find(DB_ID_PRINTERINDEX);
  if (!pdbdatum) return;
  const long lPrinterIndex = pod.m_lPrinterIndex.load();
  char szPrinterIndex[32];
  std::snprintf(szPrinterIndex, sizeof szPrinterIndex, "%ld", lPrinterIndex);
  CDbDatum* pdbdatumDigits = database.Find(DB_ID_PRINTERINDEXDIGITS);
  const long lDigits = pdbdatumDigits ? database.GetCurrentLong(pdbdatumDigits) : LONG_MAX;
  const long lMin = database.RangeGetCurrentMin(pdbdatum);
  const long lMax = database.RangeGetCurrentMax(pdbdatum);
  long lWritten = lPrinterIndex;
  if (static_cast<long>(std::strlen(szPrinterIndex)) > lDigits) {
    OsLog(OS_LOG_ERROR, "SetPrinterIndex: %ld has more than %ld digits, written as 0...", lPrinterIndex, lDigits);
    lWritten = 0;
  } else if (lPrinterIndex > lMax || lPrinterIndex < lMin) {
    OsLog(OS_LOG_ERROR, "SetPrinterIndex: %ld is outside %ld..%ld, written as 0...", lPrinterIndex, lMin, lMax);
    lWritten = 0;
  }
  database.ForceCurrentLong(pdbdatum, lWritten);
}
