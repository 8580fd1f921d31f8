// The state one scan shares between the caller's thread (ScanBegin,
// GetOutput, ImageEnd, ScanRequestStop, ScanEnd and the queries) and the
// scan thread. Words that both threads touch are atomic; the texts and
// thresholds are written by ScanBegin before the thread starts and only
// read afterwards; the statistics are the caller's alone (GetOutput).
// The large work buffers live here so that no image allocates.
#pragma once

#include <atomic>
#include <cstddef>
#include <ctime>

#include "db_def.h"
#include "dev_def.h"
#include "os_costime.h"
#include "os_def.h"

class COsThread;

// The size of every work buffer of a scan.
constexpr size_t DEV_SCAN_BUFFER_SIZE = 0x10000;
// The size of the scan's texts (labels, sheet and page texts, dump prefix).
constexpr size_t DEV_SCAN_TEXT_SIZE = 512;
// Camera bins 2..5 (front bitonal, rear bitonal, front colour, rear colour)
// are kept at index bin - 2.
constexpr int DEV_SCAN_BINS = 4;

// Running statistics of the images handed to the caller.
struct DevScanStatistics {
  long lImagesFromZero;    // delivered since the last reset
  long lCurrentNumber;     // the last image's count
  long lImagesExpected;    // per sheet, then what remains of the job
  time_t tStart;           // seconds; set once per reset
  long lElapsed;           // seconds
  unsigned long ulTotalBytes;
  unsigned long ulBytesPerSecond;
  unsigned long ulSmallest;
  unsigned long ulLargest;
  unsigned long ulBytesPerImage;
  char szPage[DEV_SCAN_TEXT_SIZE];
  char szSheet[DEV_SCAN_TEXT_SIZE];
};

// What one run of the scan thread keeps for itself.
struct DevScanJob {
  COsThread* posthread = nullptr;
  long lImageCountStart = 0;
  long lPageCountStart = 0;
  OsTimeRecord ostimerecordStart{};
  unsigned int uMultifeeds = 0;
  long lPrinterIndex = -1;
  long lPrinterIndexPrevious = -1;
  bool blStopSent = false;
  bool blBaffleSeen = false;
  bool blUserActionSeen = false;
  bool blFullNoted = false;
  bool blMessage = false;  // the wait-for-paper or warm-up message shows
};

struct DevScanState {
  // Images still expected in the job; decremented per image handed out.
  std::atomic<long> lImagesRemaining{0};
  // The unit scanned (1 feeder, 2 flatbed) and the source code (2 feeder,
  // 3 flatbed).
  std::atomic<EDBID_FIRMWARE> edbidfirmwareUnit{DB_FIRMWARE_ADF};
  std::atomic<long> lScanSource{2};
  // Stop request (ScanRequestStop with action 1) and the status the thread
  // pushes when it ends on a halt: 5, or 9 after a stop for disconnection.
  std::atomic<bool> blStopRequested{false};
  std::atomic<EDEVSTS> edevstsStop{DEV_STS_CANCEL};
  // The job ended with the scanner gone (the thread's end, or its record 9
  // seen by GetOutput): an empty queue then answers 9, not "no image yet".
  std::atomic<bool> blEndedDisconnected{false};
  // Image library: active for this scan, processing on (active and the
  // count-only mode not 2), the count-only mode.
  std::atomic<bool> blNexilActive{false};
  std::atomic<bool> blProcessing{false};
  long lCountOnlyMode = 0;
  bool blTogglePatch = false;
  // Paper on demand (AUTOSCAN 1): the mode, and the wait-for-caller flag the
  // caller's GetOutput clears and each end of sheet sets again.
  std::atomic<bool> blPaperOnDemand{false};
  std::atomic<bool> blWaitForCaller{false};
  // Configuration "useendofsheet": end-of-sheet records reach the caller.
  std::atomic<long> lUseEndOfSheet{0};
  // Blank-image mode (1 size, 3 content) and thresholds per bin.
  long alBlankMode[DEV_SCAN_BINS] = {};
  unsigned long aulBlankSize[DEV_SCAN_BINS] = {};
  unsigned long aulBlankContent[DEV_SCAN_BINS] = {};
  std::atomic<bool> blBlankDiscarded{false};
  std::atomic<bool> blImageProduced{false};
  // The image-available callback, copied from the first-image callback at
  // ScanBegin.
  std::atomic<EOSSTS (*)(void*)> pfnImageAvailable{nullptr};
  std::atomic<void*> pvImageAvailable{nullptr};
  // The first-image callback the caller registered.
  std::atomic<EOSSTS (*)(void*)> pfnFirstImage{nullptr};
  std::atomic<void*> pvFirstImage{nullptr};
  // The scan thread's last step (a constant text), told by ScanEnd while it
  // waits for the thread; the rounds ScanEnd waited past its limit.
  std::atomic<const char*> pszStep{"none"};
  std::atomic<long> lJoinRounds{0};
  // Set by the scan thread once it runs, cleared by ScanEnd.
  std::atomic<bool> blThreadStarted{false};
  // What ScanBegin read from the database for the thread, which does not
  // take the database lock per image: preview mode and its image acquire
  // value, PAPERSOURCE, whether the configuration has "paperdetectable",
  // and whether the other unit is told of the scan ("usenotificationonly").
  bool blPreview = false;
  long lPreviewImageAcquire = 0;
  long lPaperSource = 0;
  bool blPaperDetectable = false;
  bool blNotifyOtherUnit = false;
  // Image dump ("imagestoapp" on): the path prefix; the writer is the
  // object's m_posimage.
  std::atomic<bool> blDump{false};
  char szDumpPrefix[DEV_SCAN_TEXT_SIZE] = {};
  // Labels looked up at ScanBegin ("???" when missing).
  char szLabelSheet[DEV_SCAN_TEXT_SIZE] = {};
  char szLabelPage[DEV_SCAN_TEXT_SIZE] = {};
  char szLabelImagesFront[DEV_SCAN_TEXT_SIZE] = {};
  char szLabelImagesBack[DEV_SCAN_TEXT_SIZE] = {};
  DevScanStatistics statistics{};
  // Work buffers: the caller's output and its reduced copy (GetOutput), the
  // thread's device output and the image library's output, and two for
  // ImageEnd.
  char szOutput[DEV_SCAN_BUFFER_SIZE] = {};
  char szOutputWork[DEV_SCAN_BUFFER_SIZE] = {};
  char szThreadDevice[DEV_SCAN_BUFFER_SIZE] = {};
  char szThreadNexil[DEV_SCAN_BUFFER_SIZE] = {};
  char szImageEndProcessed[DEV_SCAN_BUFFER_SIZE] = {};
  char szImageEndDevice[DEV_SCAN_BUFFER_SIZE] = {};
};
