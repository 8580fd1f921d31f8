// ScanBegin: the scan's settings read once on the caller's thread (so that
// the scan thread need not take the database lock per image), the image
// cache size with its configuration overrides, the image dump, and the
// start of "ScanThread".
#include <atomic>
#include <cstring>
#include <mutex>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdevimpl.h"
#include "dev_dbvalue.h"
#include "dev_cimgqueue.h"
#include "dev_drvconfig.h"
#include "os_coscfg.h"
#include "os_coscfgtags.h"
#include "os_cosfile.h"
#include "os_cosimage.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_costhread.h"

namespace {

constexpr EDBBIN s_aedbbinCameras[DEV_SCAN_BINS] = {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT,
                                                    DB_BIN_COLOR_REAR};
constexpr long s_lCacheDuplex = 6;
constexpr long s_lCacheSimplex = 3;
constexpr long s_lCacheFlatbed = 1;
constexpr long s_lCachePaperOnDemand = 2;
constexpr long s_lCachePreview = 4;

// Serials are unique in the process, so that one never names a scan of
// another device.
std::atomic<uint64_t> s_u64ScanSerials{0};
// The serial of the scan the thread began last.
thread_local uint64_t t_u64ScanSerialBegun = 0;

// A capability's value in a camera bin of the current window; 0 when the
// bin lacks it.
long ValueInBin(CDatabase& a_database, EDBID a_edbid, EDBBIN a_edbbin) {
  CDbDatum* pdbdatum = a_database.FindInBin(a_edbbin, a_edbid);
  return pdbdatum ? a_database.GetCurrentLong(pdbdatum) : 0;
}

bool Accessible(EDBACCESS a_edbaccess) {
  return a_edbaccess != DB_ACCESS_NOTSUPPORTED && a_edbaccess != DB_ACCESS_DISABLED;
}

// The highest resolution among the enabled cameras whose resolution can be
// read; 0 when none.
long HighestResolution(CDatabase& a_database) {
  long lHighest = 0;
  for (EDBBIN edbbin : s_aedbbinCameras) {
    if (!Accessible(a_database.GetAccessFromId(DB_ID_XRESOLUTION, edbbin))) continue;
    if (ValueInBin(a_database, DB_ID_CAMERAENABLE, edbbin) != DB_ID_CAMERAENABLE_ENUM_TRUE) continue;
    const long lResolution = ValueInBin(a_database, DB_ID_XRESOLUTION, edbbin);
    if (lResolution > lHighest) lHighest = lResolution;
  }
  return lHighest;
}

void CopyLabel(CDatabase& a_database, const char* a_szKey, char* a_szLabel) {
  const char* szLabel = a_database.LabelGet(a_szKey, "???", -1);
  COsString::SStrCpy(a_szLabel, DEV_SCAN_TEXT_SIZE, szLabel ? szLabel : "???");
}

EDBCONFIGTARGET Target(EDBID_FIRMWARE a_edbidfirmware) {
  return a_edbidfirmware == DB_FIRMWARE_FLATBED ? DB_CONFIGTARGET_FLATBED : DB_CONFIGTARGET_ADF;
}

}  // namespace

EOSSTS CDevImpl::ScanBegin() {
  if (!pod.m_pdatabase || !pod.m_pdevdevice) {
    OsLog(OS_LOG_ERROR, "ScanBegin: no session...");
    return OS_STS_FAIL;
  }
  {
    std::lock_guard<std::mutex> lock(m_mutexScanThread);
    // A second thread would be left running unjoined.
    if (m_posthreadScan) {
      OsLog(OS_LOG_ERROR, "ScanBegin: a scan is running, end it first...");
      return OS_STS_FAIL;
    }
  }
  {
    CDbLockGuard dblockguard;
    ScanReadSettings(*pod.m_pdatabase);
    pod.m_lCacheSize = ScanCacheSize(*pod.m_pdatabase);
    // Step 14: a scan starts with empty queues, and a serial of its own.
    // The serial's mutex is never held while the database lock is taken
    // (the queues' reset gives that lock up and takes it again).
    {
      CDbLockRelease dblockrelease;
      std::lock_guard<std::mutex> lock(m_mutexScanSerial);
      ScanNewSerialLocked();
      t_u64ScanSerialBegun = m_u64ScanSerial;
    }
    StatisticsStart();
    pod.m_pdatabase->ConfigSetNumber("multifeedcount", 0, DB_CONFIGTARGET_COMMON);
    pod.m_pdatabase->ConfigSetNumber("patchcountfront", 0, DB_CONFIGTARGET_COMMON);
    pod.m_pdatabase->ConfigSetNumber("patchcountrear", 0, DB_CONFIGTARGET_COMMON);
    m_scanstate.pfnImageAvailable.store(m_scanstate.pfnFirstImage.load());
    m_scanstate.pvImageAvailable.store(m_scanstate.pvFirstImage.load());
    if (g_poslog && g_poslog->GetDebugLevel() && g_posmem) g_posmem->DumpSystem("PmxMemStartScan.txt");
    ScanDumpSetup(*pod.m_pdatabase);
  }
  auto* posthread = OsMemNew(COsThread);
  if (!posthread) {
    OsLog(OS_LOG_ERROR, "OsMemNew failed...");
    return OS_STS_FAIL;
  }
  m_scanstate.blThreadStarted.store(false);
  std::lock_guard<std::mutex> lock(m_mutexScanThread);
  m_posthreadScan = posthread;
  // The thread's first steps read the pointer's command and event only
  // through its own argument, never through this lock.
  if (posthread->Start("ScanThread", ScanThreadProc, this) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Start failed...");
    m_posthreadScan = nullptr;
    OsMemDelete(posthread);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

void CDevImpl::ScanNewSerialLocked() {
  m_u64ScanSerial = s_u64ScanSerials.fetch_add(1) + 1;
  ScanResetQueuesLocked();
}

void CDevImpl::ScanResetQueuesLocked() {
  for (CImgQueue* pimgqueue : {pod.m_pimgqueueApplication, pod.m_pimgqueueExpectedImageEnd, pod.m_pimgqueueImageEnd,
                               pod.m_pimgqueueDeviceManagerScanThread}) {
    if (pimgqueue) pimgqueue->ResetAll();
  }
}

uint64_t CDevImpl::ScanSerial() {
  std::lock_guard<std::mutex> lock(m_mutexScanSerial);
  return m_u64ScanSerial;
}

uint64_t CDevImpl::ScanSerialBegun() { return t_u64ScanSerialBegun; }

// Steps 1 to 10 of ScanBegin.
void CDevImpl::ScanReadSettings(CDatabase& a_database) {
  DevScanState& s = m_scanstate;
  a_database.ConfigSetNumber("lampwarmuptime", 0, DB_CONFIGTARGET_COMMON);
  s.statistics.lImagesFromZero = 0;
  s.blBlankDiscarded.store(false);
  s.blStopRequested.store(false);
  s.edevstsStop.store(DEV_STS_CANCEL);
  s.blEndedDisconnected.store(false);
  // A missing value reads as -1 from the store: off.
  s.lUseEndOfSheet.store(a_database.ConfigExists("useendofsheet", DB_CONFIGTARGET_COMMON)
                             ? static_cast<long>(a_database.ConfigGetNumber("useendofsheet", DB_CONFIGTARGET_COMMON))
                             : 0);

  if (DeviceGetPageImageCount() > 1) DeviceSetPageCount(DeviceGetPageCount() + 1);
  if (NexilGetPageImageCount() > 1) NexilSetPageCount(NexilGetPageCount() + 1);
  const bool blPaperOnDemand = DevValueOrZero(a_database, DB_ID_AUTOSCAN) == DB_ID_AUTOSCAN_ENUM_TRUE;
  s.blPaperOnDemand.store(blPaperOnDemand);
  s.blWaitForCaller.store(blPaperOnDemand);
  DeviceSetPageImageCount(1);
  DeviceSetPageSideCount(1);
  NexilSetPageImageCount(1);
  NexilSetPageSideCount(1);

  s.blPreview = DevValueOrZero(a_database, DB_ID_PREVIEWMODE) == DB_ID_PREVIEWMODE_ENUM_TRUE;
  if (s.blPreview || a_database.TestDbState(DB_STATE_ECDOCUSTOMLEARN) || a_database.TestDbState(DB_STATE_LEARNSCAN)) {
    DeviceSetImageCount(1);
    DeviceSetPageCount(1);
    NexilSetImageCount(1);
    NexilSetPageCount(1);
    pod.m_lCacheSize = 1;
  }
  s.lImagesRemaining.store(ImageCountCalculate());
  OsLogDebug(OS_LOG_INFO, "m_lImagesRemaining=%d", static_cast<int>(s.lImagesRemaining.load()));

  s.lCountOnlyMode = DevValueOrZero(a_database, DB_ID_COUNTONLYMODE);
  const bool blNexil = OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCENEXILOFF, 0) == 0 && s.lCountOnlyMode != 2 &&
                       a_database.IsIdSupported(DB_ID_NEXIL);
  s.blNexilActive.store(blNexil);
  m_blNexilActive.store(blNexil);
  const long lToggle = DevValueOrZero(a_database, DB_ID_TOGGLEPATCH);
  s.blTogglePatch = a_database.Find(DB_ID_TOGGLEPATCH) && lToggle != 0 && lToggle != 1 && lToggle != 5;

  if (a_database.NeedScanFromFlatbed()) {
    s.edbidfirmwareUnit.store(DB_FIRMWARE_FLATBED);
    a_database.SetScanSource(static_cast<EDBSCANSOURCE>(4));
    s.lScanSource.store(3);
  } else {
    s.edbidfirmwareUnit.store(DB_FIRMWARE_ADF);
    a_database.SetScanSource(static_cast<EDBSCANSOURCE>(3));
    s.lScanSource.store(2);
  }

  for (int i = 0; i < DEV_SCAN_BINS; ++i) {
    s.alBlankMode[i] = ValueInBin(a_database, DB_ID_BLANKPAGEMODE, s_aedbbinCameras[i]);
    s.aulBlankSize[i] = static_cast<unsigned long>(ValueInBin(a_database, DB_ID_BLANKPAGESIZE, s_aedbbinCameras[i]));
    s.aulBlankContent[i] =
        static_cast<unsigned long>(ValueInBin(a_database, DB_ID_BLANKPAGECONTENT, s_aedbbinCameras[i]));
  }
  CopyLabel(a_database, "sheet", s.szLabelSheet);
  CopyLabel(a_database, "page", s.szLabelPage);
  CopyLabel(a_database, "images_front", s.szLabelImagesFront);
  CopyLabel(a_database, "images_back", s.szLabelImagesBack);

  // For the thread: what its end-of-job and feeder checks read.
  s.lPreviewImageAcquire = DevValueOrZero(a_database, DB_ID_PREVIEWIMAGEACQUIRE);
  s.lPaperSource = DevValueOrZero(a_database, DB_ID_PAPERSOURCE);
  s.blPaperDetectable = a_database.ConfigExists("paperdetectable", DB_CONFIGTARGET_COMMON);
  const EDBID_FIRMWARE edbidfirmwareOther =
      s.edbidfirmwareUnit.load() == DB_FIRMWARE_FLATBED ? DB_FIRMWARE_ADF : DB_FIRMWARE_FLATBED;
  const char* szNotification = a_database.ConfigEnumGetFirst("usenotificationonly", Target(edbidfirmwareOther));
  s.blNotifyOtherUnit = a_database.ConfigExists("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON) &&
                        a_database.ConfigExists("model", DB_CONFIGTARGET_ADF) && szNotification &&
                        std::strcmp(szNotification, "scanbegin") == 0;
}

// Steps 10 to 13: how many processed images may wait for the caller.
long CDevImpl::ScanCacheSize(CDatabase& a_database) {
  const DevScanState& s = m_scanstate;
  const bool blFlatbed = s.lScanSource.load() == 3;
  const bool blDuplex =
      DevValueOrZero(a_database, DB_ID_INPUTDOCUMENT) == DB_ID_INPUTDOCUMENT_ENUM_TWOSIDED && !blFlatbed;
  long lCacheSize = s_lCacheFlatbed;
  if (blDuplex) {
    lCacheSize = s_lCacheDuplex;
    const char* szModel = a_database.ConfigGetString("model", DB_CONFIGTARGET_ADF);
    if (s.blPaperOnDemand.load()) {
      lCacheSize = s_lCachePaperOnDemand;
    } else if (szModel && (std::strcmp(szModel, "birchA") == 0 || std::strcmp(szModel, "birchB") == 0)) {
      if (DevValueOrZero(a_database, DB_ID_IMAGEFORMAT) == DB_ID_IMAGEFORMAT_ENUM_RGB_24 &&
          ValueInBin(a_database, DB_ID_XRESOLUTION, DB_BIN_COLOR_FRONT) > 9) {
        lCacheSize = s_lCachePaperOnDemand;
        OsLog(OS_LOG_INFO, "### lCacheSize birch for color >= 600dpi...%d", static_cast<int>(lCacheSize));
      }
    }
  } else if (!blFlatbed && !s.blPaperOnDemand.load()) {
    lCacheSize = s_lCacheSimplex;
  }
  OsLog(OS_LOG_INFO, "### lCacheSize calculated...%d", static_cast<int>(lCacheSize));

  const bool blDualStream = (a_database.GetCameraEnable(DB_BIN_BITONAL_FRONT) &&
                             a_database.GetCameraEnable(DB_BIN_COLOR_FRONT)) ||
                            (a_database.GetCameraEnable(DB_BIN_BITONAL_REAR) &&
                             a_database.GetCameraEnable(DB_BIN_COLOR_REAR));
  const long lResolution = HighestResolution(a_database);
  const long l200 = DevDriverConfigGetLong(DRV_CFGTAG_FORCEIMAGECACHESIZE200);
  const long l300 = DevDriverConfigGetLong(DRV_CFGTAG_FORCEIMAGECACHESIZE300);
  const long lAny = OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEIMAGECACHESIZE, 0);
  const char* szName = nullptr;
  long lOverride = 0;
  if (lResolution < 5 && l200 != 0) {
    szName = "ForceImageCacheSize200";
    lOverride = l200;
  } else if (lResolution < 8 && l300 != 0) {
    szName = "ForceImageCacheSize300";
    lOverride = l300;
  } else if (lAny != 0) {
    szName = "ForceImageCacheSize";
    lOverride = lAny;
  }
  if (szName) {
    if (blDuplex) lOverride *= 2;
    if (blDualStream) lOverride *= 2;
    lCacheSize = lOverride;
    OsLog(OS_LOG_INFO, "### lCacheSize overridden by const.ini %s...%d (%s)", szName, static_cast<int>(lCacheSize),
          blDuplex ? "duplex" : "simplex");
  }
  if (s.blPreview) {
    lCacheSize = s_lCachePreview;
    OsLog(OS_LOG_INFO, "### lCacheSize forced to 4 for preview mode...");
  }
  OsLog(OS_LOG_INFO, "### lCacheSize final...%d", static_cast<int>(lCacheSize));
  return lCacheSize;
}

// Step 16: "imagestoapp" on dumps every image handed to the caller into
// the log directory's "images".
void CDevImpl::ScanDumpSetup(CDatabase& a_database) {
  DevScanState& s = m_scanstate;
  const bool blDump = std::strcmp(a_database.GetDebugRecord()->szImagesToApplication, "on") == 0;
  s.blDump.store(false);
  if (!blDump) return;
  char szDirectory[DEV_SCAN_TEXT_SIZE] = {};
  const char* szLog = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY) : nullptr;
  if (!szLog || !COsFile::PathJoin(szDirectory, sizeof szDirectory, szLog, "images")) {
    OsLog(OS_LOG_ERROR, "ScanBegin: no directory for the image dump...");
    return;
  }
  // The log directory is open to every user: the dump goes only into a
  // directory of ours, never through a link made there in advance.
  const EOSSTS eossts = COsFile::CreateFresh(szDirectory);
  if (eossts != OS_STS_SUCCESS && (eossts != OS_STS_ALREADY_EXISTS || !COsFile::IsOwnDirectory(szDirectory))) {
    OsLog(OS_LOG_ERROR, "ScanBegin: cannot create <%s>...%d", szDirectory, static_cast<int>(eossts));
    return;
  }
  if (!COsFile::PathJoin(s.szDumpPrefix, sizeof s.szDumpPrefix, szDirectory, "app")) return;
  if (!pod.m_posimage) pod.m_posimage = OsMemNew(COsImage);
  if (!pod.m_posimage) {
    OsLog(OS_LOG_ERROR, "OsMemNew failed...");
    return;
  }
  s.blDump.store(true);
}
