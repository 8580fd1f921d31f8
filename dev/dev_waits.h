// The long waits of the device engine, one named constant each, with a test
// seam: tests shorten a wait, a negative time restores its default. Every
// wait of the engine longer than a poll step reads its limit here.
#pragma once

enum EDEVWAIT : int {
  DEV_WAIT_PAPER,             // 10 s: the scan thread's wait for paper in the feeder
  DEV_WAIT_FLATBEDOPEN,       // 60 s: the feeder's open waits for the flatbed's to complete
  DEV_WAIT_THREADSTOP,        // 70 s: the open, calibration and diagnostic threads are stopped
  DEV_WAIT_SCANTHREADSTOP,    // 30 s: ScanEnd joins the scan thread
  DEV_WAIT_DRAVIXREAD,        // 600 s: one task exchanged with the Dravix process
  DEV_WAIT_DATALOCK,          // 10 s: the data directory's cross-process lock
  DEV_WAIT_DRAVIXACCEPT,      // 10 s: the Dravix process connects after its start
  DEV_WAIT_DRAVIXEXIT,        // 1 s: the Dravix process ends after interfaceclose
  DEV_WAIT_OPENRETRY,         // 1 s: "OpenDevice" tries a busy scanner's resource lock again
  DEV_WAIT_PAPERPOLL,         // 250 ms: the scan thread looks for paper again
  DEV_WAIT_SCANSTOPSTART,     // 5 s: ScanRequestStop waits for the scan thread to have started
  DEV_WAIT_SCANENDSTART,      // 1 s: ScanEnd waits for the scan thread to have started
  DEV_WAIT_WARMUPMIN,         // 1 s: the least wait between two scanbegin tasks while the lamps warm up
  DEV_WAIT_PAPERONDEMAND,     // 10 s: GetOutput waits for the next sheet of a paper-on-demand scan
  DEV_WAIT_CALIBRATEPAPER,    // 10 s: CalibrateBegin waits for paper in the feeder
  DEV_WAIT_CALIBRATEEND,      // 600 s: CalibrateEnd waits for the calibrate thread to finish its run
  DEV_WAIT_COUNT
};

// The step between two attempts at the data directory's lock while
// DEV_WAIT_DATALOCK runs.
constexpr long DEV_POLL_DATALOCK = 100;
// The step of CalibrateBegin's paper wait and of CalibrateEnd's wait for
// the calibrate thread.
constexpr long DEV_POLL_CALIBRATE = 250;
// The step of the calibrate thread's lamp wait and of the diagnostic
// thread's passes: each waits on its own thread event, so a stop ends it
// at once.
constexpr long DEV_POLL_WORKER = 100;

// The wait's limit in milliseconds.
long DevWaitLimit(EDEVWAIT a_edevwait);
// Tests: sets the wait's limit; a negative time restores the default.
void DevSetWaitLimit(EDEVWAIT a_edevwait, long a_lMilliseconds);
