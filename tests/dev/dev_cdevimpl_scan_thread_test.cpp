// The scan pipeline on the staged simulated scanner, the image library off:
// whole jobs through ScanBegin, the caller's GetOutput/ImageEnd and
// ScanEnd; the stops, the faults, blank images, the cache size and the
// scan thread's end under a caller that does not let go.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "dev_driverconfig.h"
#include "dev_scan_fixture.h"

namespace {

using devtest::ScanResult;

class DevScanThread : public devtest::ScanFixture {};

bool Has(const std::vector<std::string>& a_vec, const std::string& a_str) {
  return std::find(a_vec.begin(), a_vec.end(), a_str) != a_vec.end();
}

// Ten two-sided sheets: twenty images in order with their counts, the end
// of the job, the job counted; nothing of the stand-in's left behind.
TEST_F(DevScanThread, TenDuplexSheetsDeliverTwentyImagesThenTheEndOfJob) {
  OpenSession({{"pages", "10"}});
  const int iDeviceXml = DataCalls().iUpdateDeviceXml;
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_TRUE(m_pdevScan->ScanIsScanning());
  const ScanResult scanresult = Drain();
  EXPECT_EQ(scanresult.edevstsFinal, DEV_STS_ENDOFJOB) << m_plog->Text();
  ASSERT_EQ(scanresult.vecstrImages.size(), 20u) << m_plog->Text();
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(scanresult.veciImageCount[i], i + 1) << i;
    EXPECT_EQ(scanresult.veciPageCount[i], i / 2 + 1) << i;
    // The caller gets the description inside its reportimage element.
    EXPECT_EQ(scanresult.vecstrImages[i].find("<reportimage>"), std::string::npos);
    EXPECT_NE(scanresult.vecstrImages[i].find("<cameratype>" + std::string(i % 2 ? "rear" : "front")),
              std::string::npos);
  }
  EXPECT_TRUE(scanresult.vecedevstsOther.empty());
  // The caller's statistics follow the last image: a rear one of sheet 10.
  const std::string strPage = m_pdatabase->LabelGet("page", "???", -1);
  const std::string strSheet = m_pdatabase->LabelGet("sheet", "???", -1);
  const std::string strBack = m_pdatabase->LabelGet("images_back", "???", -1);
  EXPECT_EQ(std::string(Scanner().ScanStatisticsGetPageCount()), strPage + " 20");
  EXPECT_EQ(std::string(Scanner().ScanStatisticsGetSheetCount()), strSheet + " 10 : " + strBack);
  EXPECT_EQ(Scanner().ScanStatisticsGetImageCountFromZero(), 20);
  // The end of a job that delivered images raises no imageavailable.
  EXPECT_TRUE(Queued().empty());
  m_pdevScan->ScanEnd();
  EXPECT_FALSE(m_pdevScan->ScanIsScanning());
  EXPECT_EQ(ImageFiles(), 0u);
  EXPECT_EQ(ScanBeginBuffers(), std::vector<std::string>{"6"});
  const DevDataCalls devdatacalls = DataCalls();
  EXPECT_EQ(devdatacalls.iCreateScanHistory, 1);
  EXPECT_EQ(devdatacalls.edevstsHistory, DEV_STS_ENDOFJOB);
  EXPECT_EQ(devdatacalls.uHistoryImages, 20u);
  EXPECT_EQ(devdatacalls.uHistorySheets, 10u);
  EXPECT_EQ(devdatacalls.iIncrementAccumulators, 1);
  EXPECT_EQ(devdatacalls.uPaperJam + devdatacalls.uMultifeed + devdatacalls.uOtherError, 0u);
  EXPECT_EQ(devdatacalls.iUpdateDeviceXml, iDeviceXml + 1);
  EXPECT_EQ(m_pdevScan->ScanImageCountRemaining(), 0);
  // Nothing is left for the caller.
  char sz[64];
  EXPECT_EQ(m_pdevScan->GetOutput(sz, sizeof sz, nullptr, nullptr, nullptr), DEV_STS_NOIMAGEAVAILABLE);
  EXPECT_TRUE(m_plog->Contains("Exiting thread... edevsts=12"));
}

// A second scan of the same session numbers its images on.
TEST_F(DevScanThread, ASecondScanGoesOnCounting) {
  OpenSession({{"pages", "2"}});
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  EXPECT_EQ(m_pdevScan->ScanBegin(), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("ScanBegin: a scan is running, end it first..."));
  EXPECT_EQ(Drain().vecstrImages.size(), 4u);
  m_pdevScan->ScanEnd();
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  const ScanResult scanresult = Drain();
  ASSERT_EQ(scanresult.vecstrImages.size(), 4u) << m_plog->Text();
  EXPECT_EQ(scanresult.veciImageCount.front(), 5);
  EXPECT_EQ(scanresult.veciPageCount.front(), 3);
  m_pdevScan->ScanEnd();
  EXPECT_EQ(DataCalls().iCreateScanHistory, 2);
}

// A caller that fetches with its scan's serial (the GUI's preview) hears
// "cancel" once another ended that scan, and never takes an image of the
// scan begun next; ScanEnd with the old serial leaves that scan running.
TEST_F(DevScanThread, TheSerialOfAnEndedScanTakesNothingOfTheNext) {
  OpenSession({{"pages", "2"}});
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS) << m_plog->Text();
  const uint64_t u64First = m_pdevScan->ScanSerialBegun();
  EXPECT_NE(u64First, 0u);
  EXPECT_EQ(m_pdevScan->ScanSerial(), u64First);
  m_pdevScan->ScanEnd();
  EXPECT_NE(m_pdevScan->ScanSerial(), u64First);
  std::vector<char> vecc(DEV_SCAN_BUFFER_SIZE);
  int iImage = 0, iPage = 0, iPageImage = 0;
  EXPECT_EQ(m_pdevScan->GetOutput(vecc.data(), static_cast<int>(vecc.size()), &iImage, &iPage, &iPageImage, u64First),
            DEV_STS_CANCEL);
  const size_t sizetEnds = m_plog->Count("ScanThread: image end (DEV_STS_ENDOFJOB)...");
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS) << m_plog->Text();
  const uint64_t u64Second = m_pdevScan->ScanSerialBegun();
  EXPECT_NE(u64Second, u64First);
  // Every image of the second scan waits in the queue: the old serial gets none of them.
  const auto start = std::chrono::steady_clock::now();
  while (m_plog->Count("ScanThread: image end (DEV_STS_ENDOFJOB)...") == sizetEnds &&
         std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(m_pdevScan->GetOutput(vecc.data(), static_cast<int>(vecc.size()), &iImage, &iPage, &iPageImage, u64First),
            DEV_STS_CANCEL);
  m_pdevScan->ScanEnd(u64First);
  EXPECT_TRUE(m_pdevScan->ScanIsScanning());
  EXPECT_EQ(m_pdevScan->ScanSerial(), u64Second);
  EXPECT_EQ(m_pdevScan->GetOutput(vecc.data(), static_cast<int>(vecc.size()), &iImage, &iPage, &iPageImage, u64Second),
            DEV_STS_SUCCESS);
  m_pdevScan->ImageEnd(vecc.data());
  const ScanResult scanresult = Drain();
  EXPECT_EQ(scanresult.vecstrImages.size(), 3u) << m_plog->Text();
  EXPECT_EQ(scanresult.edevstsFinal, DEV_STS_ENDOFJOB) << m_plog->Text();
  m_pdevScan->ScanEnd(u64Second);
  EXPECT_FALSE(m_pdevScan->ScanIsScanning());
}

// The stop requests: 1 lets the sheet being fed finish and the job end; 2
// and 3 halt the thread with their statuses; an unknown action is refused;
// without a scan there is nothing to stop.
TEST_F(DevScanThread, ScanRequestStopByAction) {
  EXPECT_EQ(devtest::Impl(*m_pdev).ScanRequestStop(DEV_STOPACTION_REQUEST), static_cast<EOSSTS>(DEV_STS_CANCEL));
  const struct {
    const char* szCase;
    EDEVSTOPACTION edevstopaction;
    EOSSTS eosstsStop;
    size_t sizetImages;  // after the stop at the fifth image
    EDEVSTS edevstsFinal;
  } s_acase[] = {
      {"request", DEV_STOPACTION_REQUEST, OS_STS_SUCCESS, 6, DEV_STS_ENDOFJOB},
      {"cancel", DEV_STOPACTION_CANCEL, OS_STS_SUCCESS, 0, DEV_STS_CANCEL},
      {"disconnected", DEV_STOPACTION_DISCONNECTED, OS_STS_SUCCESS, 0, DEV_STS_DISCONNECTED},
      {"unknown", static_cast<EDEVSTOPACTION>(7), static_cast<EOSSTS>(DEV_STS_BADARG), 0, DEV_STS_LAST},
  };
  OpenSession({{"pages", "10"}, {"delay", "150"}});
  for (const auto& c : s_acase) {
    SCOPED_TRACE(c.szCase);
    ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
    std::vector<char> vecc(DEV_SCAN_BUFFER_SIZE);
    size_t sizetImages = 0;
    while (sizetImages < 5) {
      const EDEVSTS edevsts = m_pdevScan->GetOutput(vecc.data(), static_cast<int>(vecc.size()), nullptr, nullptr,
                                                    nullptr);
      ASSERT_TRUE(edevsts == DEV_STS_SUCCESS || edevsts == DEV_STS_NOIMAGEAVAILABLE) << edevsts;
      if (edevsts == DEV_STS_SUCCESS) {
        ++sizetImages;
        m_pdevScan->ImageEnd(vecc.data());
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    }
    EXPECT_EQ(m_pdevScan->ScanRequestStop(c.edevstopaction), c.eosstsStop);
    if (c.edevstsFinal == DEV_STS_LAST) {
      m_pdevScan->ScanEnd();
      continue;
    }
    const ScanResult scanresult = Drain();
    EXPECT_EQ(scanresult.edevstsFinal, c.edevstsFinal) << m_plog->Text();
    if (c.edevstopaction == DEV_STOPACTION_REQUEST) {
      EXPECT_EQ(sizetImages + scanresult.vecstrImages.size(), 6u);
    }
    if (c.edevstopaction == DEV_STOPACTION_DISCONNECTED) {
      // Once stopped for disconnection, an empty queue says so.
      char sz[64];
      EXPECT_EQ(m_pdevScan->GetOutput(sz, sizeof sz, nullptr, nullptr, nullptr), DEV_STS_DISCONNECTED);
      EXPECT_TRUE(m_plog->Contains("GetOutput: DEV_STS_NOIMAGEAVAILABLE --> DEV_STS_DISCONNECTED"));
    }
    m_pdevScan->ScanEnd();
    EXPECT_EQ(ImageFiles(), 0u);
  }
  EXPECT_TRUE(m_plog->Contains("Unrecognized a_escnstopaction...7"));
}

// The stand-in's faults end the job with their status, events, last error
// and counts; the images before the fault reach the caller.
struct ScanFault {
  const char* szFlag;
  const char* szValue;
  size_t sizetImages;
  EDEVSTS edevstsFinal;
  const char* szEvent;
  const char* szLastError;
  unsigned int uPaperJam;
  unsigned int uMultifeed;
  unsigned int uOther;
};
void PrintTo(const ScanFault& a_scanfault, std::ostream* a_postream) { *a_postream << a_scanfault.szFlag; }
class DevScanFaultThread : public devtest::ScanFixture, public ::testing::WithParamInterface<ScanFault> {};

TEST_P(DevScanFaultThread, EndsTheJob) {
  const ScanFault& c = GetParam();
  OpenSession({{"pages", "10"}, {c.szFlag, c.szValue}});
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  const ScanResult scanresult = Drain();
  EXPECT_EQ(scanresult.vecstrImages.size(), c.sizetImages);
  EXPECT_EQ(scanresult.edevstsFinal, c.edevstsFinal) << m_plog->Text();
  m_pdevScan->ScanEnd();
  const std::vector<std::string> vecQueued = Queued();
  EXPECT_TRUE(Has(vecQueued, c.szEvent)) << testing::PrintToString(vecQueued);
  EXPECT_EQ(std::string(Scanner().GetLastErrorText()), c.szLastError);
  const DevDataCalls devdatacalls = DataCalls();
  EXPECT_EQ(devdatacalls.uPaperJam, c.uPaperJam);
  EXPECT_EQ(devdatacalls.uMultifeed, c.uMultifeed);
  EXPECT_EQ(devdatacalls.uOtherError, c.uOther);
  EXPECT_EQ(devdatacalls.edevstsHistory, c.edevstsFinal);
  EXPECT_EQ(ImageFiles(), 0u);
  // The unit's own word that it went off line stops the scan as
  // disconnected, when the stop is recorded before the job's end reaches
  // the caller (the threads' order decides): never another stop action.
  if (c.edevstsFinal == DEV_STS_DISCONNECTED) {
    for (EDEVSTOPACTION edevstopaction : Stops()) EXPECT_EQ(edevstopaction, DEV_STOPACTION_DISCONNECTED);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DevScanFaultThread,
    ::testing::Values(ScanFault{"paperjam", "3", 4, DEV_STS_PAPERJAM, "paperjam=", "Paper Jam", 1, 0, 0},
                      ScanFault{"multifeed", "2", 2, DEV_STS_DOUBLEDOCUMENT, "multifeed=",
                                "Multi-Page Paper Feed Detected", 0, 1, 0},
                      ScanFault{"coveropen", "2", 2, DEV_STS_COVEROPEN, "imageavailable=", "", 0, 0, 1},
                      ScanFault{"disconnect", "4", 6, DEV_STS_DISCONNECTED, "deviceoffline=", "", 0, 0, 1}),
    [](const ::testing::TestParamInfo<ScanFault>& a_info) { return std::string(a_info.param.szFlag); });

// The lamps warm up: the event tells the seconds, the scan begins again
// after the warm-up and the images follow.
TEST_F(DevScanThread, WarmUpRaisesTheEventThenScans) {
  OpenSession({{"pages", "1"}, {"warmup", "2000"}});
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  const ScanResult scanresult = Drain();
  EXPECT_EQ(scanresult.vecstrImages.size(), 2u);
  EXPECT_EQ(scanresult.edevstsFinal, DEV_STS_ENDOFJOB) << m_plog->Text();
  EXPECT_TRUE(Has(Queued(), "lampswarming=2"));
  EXPECT_GE(ScanBeginBuffers().size(), 2u);
  bool blWarmup = false;
  for (const auto& shownmessage : Messages()) blWarmup = blWarmup || shownmessage.edevmsg == DEV_MSG_WARMUP;
  EXPECT_FALSE(blWarmup);  // a wait under three seconds shows no message
}

// ScanEnd while the lamps warm up: the halt wakes the warm-up wait, the
// device is told to stop, and the thread ends with 0 (as a halt while
// waiting for paper does).
TEST_F(DevScanThread, ScanEndDuringTheWarmUp) {
  OpenSession({{"pages", "1"}, {"warmup", "5000"}});
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  ASSERT_TRUE(devtest::WaitFor([&] { return Has(Queued(), "lampswarming=5"); })) << m_plog->Text();
  const auto timepointStart = std::chrono::steady_clock::now();
  m_pdevScan->ScanEnd();
  EXPECT_LT(std::chrono::steady_clock::now() - timepointStart, std::chrono::seconds(1));
  EXPECT_EQ(DataCalls().iCreateScanHistory, 1);
  EXPECT_EQ(DataCalls().edevstsHistory, DEV_STS_SUCCESS);
  bool blStop = false;
  for (const devtest::LoggedTask& loggedtask : Tasks()) blStop = blStop || loggedtask.strCommand == "scanrequeststop";
  EXPECT_TRUE(blStop);
  // The warm-up message showed for the five seconds and was cleared.
  std::vector<EDEVMSG> vecedevmsg;
  for (const auto& shownmessage : Messages()) vecedevmsg.push_back(shownmessage.edevmsg);
  EXPECT_EQ(vecedevmsg, (std::vector<EDEVMSG>{DEV_MSG_WARMUP, DEV_MSG_CLEARINFOOFF}));
}

// A blank second sheet by content never reaches the caller and is ended
// at the device; by size the threshold is inclusive.
TEST_F(DevScanThread, BlankImagesAreDropped) {
  OpenSession({{"pages", "3"}, {"blank", "2"}});
  for (EDBBIN edbbin : {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR}) {
    Force(edbbin, DB_ID_BLANKPAGEMODE, DB_ID_BLANKPAGEMODE_ENUM_CONTENT);
    Force(edbbin, DB_ID_BLANKPAGECONTENT, 10);
  }
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  ScanResult scanresult = Drain();
  EXPECT_EQ(scanresult.edevstsFinal, DEV_STS_ENDOFJOB);
  ASSERT_EQ(scanresult.vecstrImages.size(), 4u) << m_plog->Text();
  for (const std::string& str : scanresult.vecstrImages) EXPECT_EQ(str.find("<sheetnumber>2<"), std::string::npos);
  EXPECT_TRUE(m_pdevScan->IsDiscardBlankImage());
  EXPECT_TRUE(m_plog->Contains("ScanThread: image end (blank)..."));
  m_pdevScan->ScanEnd();
  EXPECT_EQ(ImageFiles(), 0u);

  // By size: the images' own size is kept at one byte less and dropped at
  // that size (the stand-in's raw images are all of one size); each scan
  // starts without a discarded image.
  const std::string strSize = scanresult.vecstrImages.front().substr(
      scanresult.vecstrImages.front().find("<imagesize>") + 11);
  const long lSize = std::stol(strSize);
  for (long lThreshold : {lSize - 1, lSize}) {
    SCOPED_TRACE(lThreshold);
    for (EDBBIN edbbin : {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR}) {
      Force(edbbin, DB_ID_BLANKPAGEMODE, DB_ID_BLANKPAGEMODE_ENUM_SIZE);
      Force(edbbin, DB_ID_BLANKPAGESIZE, lThreshold);
    }
    ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
    scanresult = Drain();
    EXPECT_EQ(scanresult.vecstrImages.size(), lThreshold < lSize ? 6u : 0u);
    EXPECT_EQ(m_pdevScan->IsDiscardBlankImage(), lThreshold == lSize);
    m_pdevScan->ScanEnd();
  }
}

// A sheet that shows the baffle background is ended at the device and
// counts as no page.
TEST_F(DevScanThread, BaffleSheetsAreEndedAndNotCounted) {
  OpenSession({{"pages", "3"}, {"baffle", "2"}});
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  const ScanResult scanresult = Drain();
  EXPECT_EQ(scanresult.edevstsFinal, DEV_STS_ENDOFJOB);
  EXPECT_EQ(scanresult.veciPageCount, (std::vector<int>{1, 1, 2, 2})) << m_plog->Text();
  EXPECT_TRUE(m_plog->Contains("ScanThread: image end (baffle)..."));
  m_pdevScan->ScanEnd();
  EXPECT_EQ(ImageFiles(), 0u);
}

// ScanEnd while the thread waits for the next sheet: the halt wakes it.
TEST_F(DevScanThread, ScanEndWakesAThreadWaitingForAnImage) {
  OpenSession({{"pages", "3"}, {"delay", "5000"}});
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  ASSERT_TRUE(devtest::WaitFor([&] { return m_plog->Contains("ScanThread: getoutput (noimageavailable)..."); }))
      << m_plog->Text();
  const auto timepointStart = std::chrono::steady_clock::now();
  m_pdevScan->ScanEnd();
  EXPECT_LT(std::chrono::steady_clock::now() - timepointStart, std::chrono::seconds(1));
  EXPECT_FALSE(m_pdevScan->ScanIsScanning());
  EXPECT_TRUE(m_plog->Contains("Exiting thread... edevsts=5"));
  EXPECT_EQ(DataCalls().edevstsHistory, DEV_STS_CANCEL);
}

// A first-image callback that does not return keeps the thread: ScanEnd
// says so at the stop wait, asks the device again and waits on; once the
// callback lets go the thread ends and ScanEnd finishes. Nothing the thread
// uses is freed meanwhile.
class Gate {
 public:
  void Enter() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_blEntered = true;
    m_condition.notify_all();
    m_condition.wait(lock, [&] { return m_blOpen; });
  }
  bool WaitEntered() {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_condition.wait_for(lock, std::chrono::seconds(5), [&] { return m_blEntered; });
  }
  void Open() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_blOpen = true;
    m_condition.notify_all();
  }
  static EOSSTS Callback(void* a_pv) {
    static_cast<Gate*>(a_pv)->Enter();
    return OS_STS_SUCCESS;
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_condition;
  bool m_blEntered = false;
  bool m_blOpen = false;
};

TEST_F(DevScanThread, ScanEndOutwaitsAThreadThatWontDie) {
  DevSetWaitLimit(DEV_WAIT_SCANTHREADSTOP, 200);
  OpenSession({{"pages", "3"}});
  Gate gate;
  ASSERT_EQ(m_pdevScan->RegisterFirstImageCallback(Gate::Callback, &gate), OS_STS_SUCCESS);
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  ASSERT_TRUE(gate.WaitEntered());
  std::thread threadRelease([&] {
    devtest::WaitFor([&] { return Scanner().ScanEndJoinRounds() >= 2; });
    gate.Open();
  });
  m_pdevScan->ScanEnd();
  threadRelease.join();
  // One line per round past the limit, with the step the thread is at.
  EXPECT_GE(Scanner().ScanEndJoinRounds(), 2);
  EXPECT_TRUE(m_plog->Contains("ScanEnd: the scan thread is still running (round 1, last step <getoutput>)"))
      << m_plog->Text();
  EXPECT_TRUE(m_plog->Contains("ScanEnd: the scan thread is still running (round 2, last step <getoutput>)"));
  EXPECT_TRUE(m_plog->Contains("Exiting thread... edevsts="));
  EXPECT_FALSE(m_pdevScan->ScanIsScanning());
  EXPECT_EQ(ImageFiles(), 0u);
}

// End-of-sheet records reach the caller only with "useendofsheet".
TEST_F(DevScanThread, EndOfSheetRecordsFollowUseEndOfSheet) {
  OpenSession({{"pages", "3"}});
  for (long lUse : {0L, 1L}) {
    SCOPED_TRACE(lUse);
    m_pdatabase->ConfigSetNumber("useendofsheet", static_cast<uint64_t>(lUse), DB_CONFIGTARGET_COMMON);
    ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
    const ScanResult scanresult = Drain();
    EXPECT_EQ(scanresult.vecstrImages.size(), 6u);
    EXPECT_EQ(scanresult.edevstsFinal, DEV_STS_ENDOFJOB);
    EXPECT_EQ(scanresult.vecedevstsOther, std::vector<EDEVSTS>(lUse ? 3 : 0, DEV_STS_ENDOFSHEET));
    m_pdevScan->ScanEnd();
  }
}

// Paper on demand (AUTOSCAN 1): the caller hears of images at once, and
// the thread waits for the caller at each end of sheet before it feeds on.
TEST_F(DevScanThread, PaperOnDemandWaitsForTheCallerAtEachSheet) {
  OpenSession({{"pages", "3"}});
  Force(DB_BIN_MACHINE, DB_ID_AUTOSCAN, DB_ID_AUTOSCAN_ENUM_TRUE);
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  ASSERT_TRUE(devtest::WaitFor([&] { return Has(Queued(), "imageavailable="); }));
  auto fnDelivered = [] {
    size_t sizet = 0;
    for (const devtest::LoggedTask& loggedtask : Tasks())
      sizet += loggedtask.strCommand == "getoutput" && loggedtask.strStatus == "success" ? 1 : 0;
    return sizet;
  };
  // The caller's first GetOutput lets the first sheet come.
  std::vector<char> vecc(DEV_SCAN_BUFFER_SIZE);
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(m_pdevScan->GetOutput(vecc.data(), static_cast<int>(vecc.size()), nullptr, nullptr, nullptr),
              DEV_STS_SUCCESS)
        << m_plog->Text();
    m_pdevScan->ImageEnd(vecc.data());
  }
  ASSERT_TRUE(devtest::WaitFor([&] { return m_plog->Contains("ScanThread: image end (DEV_STS_ENDOFSHEET)..."); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(fnDelivered(), 2u);
  const ScanResult scanresult = Drain();
  EXPECT_EQ(scanresult.vecstrImages.size(), 4u);
  EXPECT_EQ(scanresult.edevstsFinal, DEV_STS_ENDOFJOB) << m_plog->Text();
  EXPECT_EQ(fnDelivered(), 6u);
  m_pdevScan->ScanEnd();
  // No thread, no waiting: an empty queue answers at once.
  EXPECT_EQ(m_pdevScan->GetOutput(vecc.data(), static_cast<int>(vecc.size()), nullptr, nullptr, nullptr),
            DEV_STS_NOIMAGEAVAILABLE);
}

// Paper on demand with a scanner that stalls: GetOutput answers "no image
// yet" after its wait instead of holding the caller, and the scan goes on.
TEST_F(DevScanThread, PaperOnDemandGetOutputGivesUpOnAStalledScanner) {
  OpenSession({{"pages", "2"}, {"delay", "60000"}});
  Force(DB_BIN_MACHINE, DB_ID_AUTOSCAN, DB_ID_AUTOSCAN_ENUM_TRUE);
  DevSetWaitLimit(DEV_WAIT_PAPERONDEMAND, 300);
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  std::vector<char> vecc(DEV_SCAN_BUFFER_SIZE);
  EXPECT_EQ(m_pdevScan->GetOutput(vecc.data(), static_cast<int>(vecc.size()), nullptr, nullptr, nullptr),
            DEV_STS_NOIMAGEAVAILABLE);
  EXPECT_TRUE(m_plog->Contains("GetOutput: no image within"));
  EXPECT_TRUE(m_pdevScan->ScanIsScanning());
  m_pdevScan->ScanEnd();
  DevSetWaitLimit(DEV_WAIT_PAPERONDEMAND, -1);
}

// ImageEnd of another image than the one expected says so and ends the
// expected one; with nothing expected it does nothing.
TEST_F(DevScanThread, ImageEndOfTheWrongImageEndsTheExpectedOne) {
  OpenSession({{"pages", "2"}, {"delay", "300"}});
  EXPECT_EQ(m_pdevScan->ImageEnd("<imagefilename>/nowhere</imagefilename>"), OS_STS_SUCCESS);
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  std::vector<char> vecc(DEV_SCAN_BUFFER_SIZE);
  EDEVSTS edevsts = DEV_STS_NOIMAGEAVAILABLE;
  ASSERT_TRUE(devtest::WaitFor([&] {
    edevsts = m_pdevScan->GetOutput(vecc.data(), static_cast<int>(vecc.size()), nullptr, nullptr, nullptr);
    return edevsts != DEV_STS_NOIMAGEAVAILABLE;
  }));
  ASSERT_EQ(edevsts, DEV_STS_SUCCESS);
  const std::string strText = vecc.data();
  const size_t sizetName = strText.find("<imagefilename>") + 15;
  const std::string strFile = strText.substr(sizetName, strText.find("</imagefilename>") - sizetName);
  ASSERT_EQ(access(strFile.c_str(), F_OK), 0) << strFile;
  EXPECT_EQ(m_pdevScan->ImageEnd("<imagefilename>/nowhere</imagefilename>"), OS_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("imgqueue: Got: /nowhere"));
  EXPECT_TRUE(m_plog->Contains("imgqueue: Expected: " + strFile));
  EXPECT_TRUE(m_plog->Contains("imgqueue: User called imageend for the wrong image..."));
  EXPECT_TRUE(devtest::WaitFor([&] { return access(strFile.c_str(), F_OK) != 0; })) << m_plog->Text();
  const ScanResult scanresult = Drain();
  EXPECT_EQ(scanresult.vecstrImages.size(), 3u);
  EXPECT_EQ(scanresult.edevstsFinal, DEV_STS_ENDOFJOB);
  m_pdevScan->ScanEnd();
  EXPECT_FALSE(m_plog->Contains("imageend for an image that is not out"));
}

// An image text longer than the caller's buffer: 1, nothing written, the
// image ended at the device as the caller would have; the scan goes on.
TEST_F(DevScanThread, AnImageLongerThanTheCallersBufferIsEnded) {
  OpenSession({{"pages", "2"}});
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  char szSmall[64];
  std::memset(szSmall, 'x', sizeof szSmall);
  EDEVSTS edevsts = DEV_STS_NOIMAGEAVAILABLE;
  ASSERT_TRUE(devtest::WaitFor([&] {
    edevsts = m_pdevScan->GetOutput(szSmall, sizeof szSmall, nullptr, nullptr, nullptr);
    return edevsts != DEV_STS_NOIMAGEAVAILABLE;
  }));
  EXPECT_EQ(edevsts, DEV_STS_FAIL);
  EXPECT_EQ(szSmall[0], '\0');
  EXPECT_TRUE(m_plog->Contains("GetOutput: the image does not fit 64 bytes, ending it..."));
  EXPECT_EQ(m_pdevScan->GetOutput(nullptr, 0, nullptr, nullptr, nullptr), DEV_STS_BADARG);
  const ScanResult scanresult = Drain();
  EXPECT_EQ(scanresult.vecstrImages.size(), 3u);
  EXPECT_EQ(scanresult.edevstsFinal, DEV_STS_ENDOFJOB) << m_plog->Text();
  EXPECT_FALSE(m_plog->Contains("imgqueue: User called imageend for the wrong image..."));
  m_pdevScan->ScanEnd();
  EXPECT_EQ(ImageFiles(), 0u);
}

// An empty feeder: the wait-for-paper message, then one no-media record
// once the paper wait is over; nothing is scanned.
TEST_F(DevScanThread, AnEmptyFeederEndsWithNoMediaAfterThePaperWait) {
  DevSetWaitLimit(DEV_WAIT_PAPER, 300);
  OpenSession({{"pages", "0"}});
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  const ScanResult scanresult = Drain();
  EXPECT_EQ(scanresult.edevstsFinal, DEV_STS_NOMEDIA) << m_plog->Text();
  EXPECT_TRUE(scanresult.vecstrImages.empty());
  char sz[64];
  EXPECT_EQ(m_pdevScan->GetOutput(sz, sizeof sz, nullptr, nullptr, nullptr), DEV_STS_NOIMAGEAVAILABLE);
  EXPECT_TRUE(ScanBeginBuffers().empty());
  std::vector<EDEVMSG> vecedevmsg;
  for (const auto& shownmessage : Messages()) {
    if (shownmessage.edevdlg == DEV_DLG_SCANNING) vecedevmsg.push_back(shownmessage.edevmsg);
  }
  EXPECT_EQ(vecedevmsg, (std::vector<EDEVMSG>{DEV_MSG_WAITPAPER, DEV_MSG_CLEARINFOOFF}));
  EXPECT_EQ(Messages().front().lValue, 1);  // the shortened wait, in whole seconds
  m_pdevScan->ScanEnd();
}

// Paper that comes during the wait: the message is cleared and the scan
// goes on.
TEST_F(DevScanThread, PaperDuringTheWaitLetsTheScanGoOn) {
  OpenSession({{"pages", "2"}, {"paperafter", "1500"}});
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  const ScanResult scanresult = Drain();
  EXPECT_EQ(scanresult.vecstrImages.size(), 4u);
  EXPECT_EQ(scanresult.edevstsFinal, DEV_STS_ENDOFJOB) << m_plog->Text();
  std::vector<EDEVMSG> vecedevmsg;
  for (const auto& shownmessage : Messages()) vecedevmsg.push_back(shownmessage.edevmsg);
  EXPECT_EQ(vecedevmsg,
            (std::vector<EDEVMSG>{DEV_MSG_WAITPAPER, DEV_MSG_CLEARINFOOFF, DEV_MSG_SCANNING}));
  m_pdevScan->ScanEnd();
}

// A feeder without a paper sensor that turned out empty, the paper source
// "adf and flatbed": the driver's status callback hears of it in place of
// the imageavailable event.
std::atomic<int> s_iStatusCallbacks{0};
EOSSTS StatusCallback(void*) {
  ++s_iStatusCallbacks;
  return OS_STS_SUCCESS;
}

TEST_F(DevScanThread, AnEmptyFeederWithoutSensorCallsTheDriverBack) {
  OpenSession({{"pages", "0"}, {"paperdetectable", "false"}}, StatusCallback);
  Force(DB_BIN_MACHINE, DB_ID_PAPERSOURCE, DB_ID_PAPERSOURCE_ENUM_ADFFLATBED);
  s_iStatusCallbacks = 0;
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  const ScanResult scanresult = Drain();
  EXPECT_EQ(scanresult.edevstsFinal, DEV_STS_ENDOFJOB) << m_plog->Text();
  m_pdevScan->ScanEnd();
  EXPECT_EQ(s_iStatusCallbacks.load(), 1);
  EXPECT_FALSE(Has(Queued(), "imageavailable="));
}

// Lamps that warm up without telling for how long: scanbegin is asked
// again at most once a second, not in a tight loop.
TEST_F(DevScanThread, AWarmUpWithoutItsTimeIsAskedOncePerSecond) {
  OpenSession({{"pages", "1"}, {"warmup", "2500"}, {"warmupreport", "false"}});
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  std::this_thread::sleep_for(std::chrono::milliseconds(3000));
  EXPECT_LE(ScanBeginBuffers().size(), 4u);
  EXPECT_GE(ScanBeginBuffers().size(), 2u);
  const ScanResult scanresult = Drain();
  EXPECT_EQ(scanresult.vecstrImages.size(), 2u);
  EXPECT_EQ(scanresult.edevstsFinal, DEV_STS_ENDOFJOB) << m_plog->Text();
  EXPECT_TRUE(Has(Queued(), "lampswarming=0"));
  m_pdevScan->ScanEnd();
}

// A sheet whose two sides report a multifeed, the job going on: one
// multifeed in the history.
TEST_F(DevScanThread, AMultifeedFlagOnBothSidesCountsOnce) {
  OpenSession({{"pages", "3"}, {"multifeedflag", "2"}});
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  const ScanResult scanresult = Drain();
  EXPECT_EQ(scanresult.vecstrImages.size(), 6u);
  EXPECT_EQ(scanresult.edevstsFinal, DEV_STS_ENDOFJOB);
  m_pdevScan->ScanEnd();
  EXPECT_EQ(DataCalls().uHistoryMultifeeds, 1u);
  EXPECT_EQ(DataCalls().uMultifeed, 1u);
}

// A sheet that asks the user to act: GetOutput answers 29, the caller's
// answer reaches the unit as userinput, the scan goes on.
TEST_F(DevScanThread, AUserActionIsAnsweredThroughUserInput) {
  OpenSession({{"pages", "3"}, {"useraction", "2:press"}, {"delay", "100"}});
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  const ScanResult scanresult = Drain(true, 20000, [&](EDEVSTS a_edevsts) {
    if (a_edevsts == DEV_STS_USERACTION) {
      EXPECT_EQ(m_pdevScan->UserInput("<userinput><answer>done</answer></userinput>"), OS_STS_SUCCESS);
    }
  });
  EXPECT_EQ(scanresult.vecedevstsOther, std::vector<EDEVSTS>{DEV_STS_USERACTION});
  EXPECT_EQ(scanresult.vecstrImages.size(), 4u);
  EXPECT_EQ(scanresult.edevstsFinal, DEV_STS_ENDOFJOB) << m_plog->Text();
  m_pdevScan->ScanEnd();
  bool blUserInput = false;
  for (const devtest::LoggedTask& loggedtask : Tasks()) {
    if (loggedtask.strCommand == "userinput") {
      blUserInput = true;
      EXPECT_EQ(loggedtask.strStatus, "success");
    }
  }
  EXPECT_TRUE(blUserInput) << m_plog->Text();
  EXPECT_EQ(ImageFiles(), 0u);
}

// "imagestoapp" on: every image handed to the caller is written as a
// TIFF into the log directory's "images", which libtiff reads back as the
// scanned page (the stand-in's A4 bitonal pages at 200 dpi).
TEST_F(DevScanThread, ImagesToTheApplicationAreDumpedAsTiff) {
  SetConfigured(OS_CFGTAG_LOGDIRECTORY, testsupport::RootPath("log"));
  OpenSession({{"pages", "1"}});
  ASSERT_EQ(m_pdatabase->SetRecordText(DB_RECORD_IMAGESTOAPPLICATION, 0, "on"), OS_STS_SUCCESS);
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  const ScanResult scanresult = Drain();
  ASSERT_EQ(scanresult.vecstrImages.size(), 2u) << m_plog->Text();
  m_pdevScan->ScanEnd();
  for (const std::string& strImage : scanresult.vecstrImages) {
    ASSERT_NE(strImage.find("<imageformat>bw<"), std::string::npos) << strImage;
    ASSERT_NE(strImage.find("<imageresolutionx>200_dpi<"), std::string::npos) << strImage;
    const size_t sizetId = strImage.find("<imageid>") + 9;
    const std::string strId = strImage.substr(sizetId, strImage.find("</imageid>") - sizetId);
    const std::string strPath = testsupport::RootPath("log/images/app" + strId + ".tif");
    int iStatus = -1;
    const std::string strInfo = testsupport::RunProgram({"tiffinfo", strPath}, &iStatus);
    EXPECT_EQ(iStatus, 0) << strPath << "\n" << strInfo;
    EXPECT_NE(strInfo.find("Image Width: 1653 Image Length: 2338"), std::string::npos) << strInfo;
    EXPECT_NE(strInfo.find("Bits/Sample: 1"), std::string::npos) << strInfo;
    EXPECT_NE(strInfo.find("Samples/Pixel: 1"), std::string::npos) << strInfo;
    EXPECT_NE(strInfo.find("Resolution: 200, 200 pixels/inch"), std::string::npos) << strInfo;
  }
}

// Fifty sheets with the caller on a thread of its own while another asks
// about the scan: every image arrives once, in order.
class DevScanCallerThread : public devtest::ScanFixture {};

TEST_F(DevScanCallerThread, FiftySheetsToACallerOnItsOwnThread) {
  OpenSession({{"pages", "50"}});
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  ScanResult scanresult;
  std::atomic<bool> blDone{false};
  std::thread threadCaller([&] {
    scanresult = Drain();
    blDone.store(true);
  });
  while (!blDone.load()) {
    EXPECT_TRUE(m_pdevScan->ScanIsScanning());
    m_pdevScan->IsDiscardBlankImage();
    m_pdevScan->ScanImageCountRemaining();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  threadCaller.join();
  EXPECT_EQ(scanresult.edevstsFinal, DEV_STS_ENDOFJOB);
  ASSERT_EQ(scanresult.vecstrImages.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(scanresult.veciImageCount[i], i + 1);
  m_pdevScan->ScanEnd();
  EXPECT_EQ(ImageFiles(), 0u);
}

// A cancel and ScanEnd from another thread while the caller takes images.
TEST_F(DevScanCallerThread, ScanEndWhileTheCallerTakesImages) {
  OpenSession({{"pages", "50"}, {"delay", "5"}});
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  ScanResult scanresult;
  std::thread threadCaller([&] { scanresult = Drain(true, 5000); });
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_EQ(m_pdevScan->ScanRequestStop(DEV_STOPACTION_CANCEL), OS_STS_SUCCESS);
  m_pdevScan->ScanEnd();
  threadCaller.join();
  EXPECT_FALSE(m_pdevScan->ScanIsScanning());
  EXPECT_LT(scanresult.vecstrImages.size(), 100u);
  EXPECT_EQ(ImageFiles(), 0u);
}

// The image cache size by the kind of scan: the final size logged, and
// what the feeder's scanbegin receives.
struct ScanCache {
  const char* szCase;
  long lInputDocument;
  long lPreview;
  long lAutoScan;
  bool blDualStream;
  long lResolution;
  const char* szForce;     // ForceImageCacheSize
  const char* szForce200;  // ForceImageCacheSize200
  long lExpected;
};
void PrintTo(const ScanCache& a_scancache, std::ostream* a_postream) { *a_postream << a_scancache.szCase; }
class DevScanCacheThread : public devtest::ScanFixture, public ::testing::WithParamInterface<ScanCache> {
 protected:
  devtest::DriverConfig m_driverconfig;
};

TEST_P(DevScanCacheThread, SizeByKindOfScan) {
  const ScanCache& c = GetParam();
  if (c.szForce) SetConfigured(OS_CFGTAG_FORCEIMAGECACHESIZE, c.szForce);
  if (c.szForce200) m_driverconfig.Set(*m_pcfg, DRV_CFGTAG_FORCEIMAGECACHESIZE200, c.szForce200);
  OpenSession({{"pages", "1"}});
  Force(DB_BIN_MACHINE, DB_ID_INPUTDOCUMENT, c.lInputDocument);
  Force(DB_BIN_MACHINE, DB_ID_PREVIEWMODE, c.lPreview);
  Force(DB_BIN_MACHINE, DB_ID_AUTOSCAN, c.lAutoScan);
  // The stand-in's window scans with the front colour camera; dual stream
  // adds the front bitonal one.
  if (c.blDualStream) Force(DB_BIN_BITONAL_FRONT, DB_ID_CAMERAENABLE, DB_ID_CAMERAENABLE_ENUM_TRUE);
  Force(DB_BIN_COLOR_FRONT, DB_ID_XRESOLUTION, c.lResolution);
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("### lCacheSize final..." + std::to_string(c.lExpected) + "\n") ||
              m_plog->Contains("### lCacheSize final..." + std::to_string(c.lExpected) + "\r"))
      << m_plog->Text();
  ASSERT_TRUE(devtest::WaitFor([&] { return !ScanBeginBuffers().empty(); })) << m_plog->Text();
  EXPECT_EQ(ScanBeginBuffers().front(), std::to_string(c.lExpected));
  m_pdevScan->ScanEnd();
}

constexpr long s_lTwoSided = DB_ID_INPUTDOCUMENT_ENUM_TWOSIDED;
constexpr long s_lOneSided = DB_ID_INPUTDOCUMENT_ENUM_ONESIDEDFRONT;
constexpr long s_l200 = DB_ID_XRESOLUTION_ENUM_200;
constexpr long s_l300 = DB_ID_XRESOLUTION_ENUM_300;
INSTANTIATE_TEST_SUITE_P(
    Cache, DevScanCacheThread,
    ::testing::Values(ScanCache{"duplex", s_lTwoSided, 1, 2, false, s_l200, nullptr, nullptr, 6},
                      ScanCache{"simplex", s_lOneSided, 1, 2, false, s_l200, nullptr, nullptr, 3},
                      ScanCache{"preview", s_lTwoSided, 2, 2, false, s_l200, "5", nullptr, 4},
                      ScanCache{"autoscan", s_lTwoSided, 1, 1, false, s_l200, nullptr, nullptr, 2},
                      ScanCache{"forced_dual_duplex", s_lTwoSided, 1, 2, true, s_l300, "5", nullptr, 20},
                      ScanCache{"forced_simplex", s_lOneSided, 1, 2, false, s_l300, "5", nullptr, 5},
                      ScanCache{"forced200_at_200", s_lOneSided, 1, 2, false, s_l200, "5", "7", 7},
                      ScanCache{"forced200_at_300", s_lOneSided, 1, 2, false, s_l300, "5", "7", 5}),
    [](const ::testing::TestParamInfo<ScanCache>& a_info) { return std::string(a_info.param.szCase); });

}  // namespace

// A job that ends "disconnected" ends the caller's loop with 9 within a
// second, whatever told it: the device's getoutput, or its scanbegin; the
// empty queue answers 9 from then on.
using Flags = std::vector<std::pair<std::string, std::string>>;
class DevScanDisconnectedThread : public devtest::ScanFixture, public ::testing::WithParamInterface<Flags> {};

TEST_P(DevScanDisconnectedThread, EndsTheCallersLoopWithDisconnected) {
  DevSetWaitLimit(DEV_WAIT_WARMUPMIN, 50);
  DevSetWaitLimit(DEV_WAIT_PAPERPOLL, 50);
  OpenSession(GetParam());
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  const auto timepointStart = std::chrono::steady_clock::now();
  const ScanResult scanresult = Drain(true, 1000);
  EXPECT_LT(std::chrono::steady_clock::now() - timepointStart, std::chrono::seconds(1));
  EXPECT_EQ(scanresult.edevstsFinal, DEV_STS_DISCONNECTED) << m_plog->Text();
  char sz[64];
  EXPECT_EQ(m_pdevScan->GetOutput(sz, sizeof sz, nullptr, nullptr, nullptr), DEV_STS_DISCONNECTED);
  m_pdevScan->ScanEnd();
  EXPECT_EQ(DataCalls().edevstsHistory, DEV_STS_DISCONNECTED);
}

INSTANTIATE_TEST_SUITE_P(Disconnected, DevScanDisconnectedThread,
                         ::testing::Values(Flags{{"pages", "3"}, {"getoutputword", "3:disconnected"}},
                                           Flags{{"pages", "3"}, {"scanbegin", "disconnected"}},
                                           // Off line while the lamps warm up, or while the
                                           // feeder waits for paper.
                                           Flags{{"pages", "1"}, {"warmup", "20000"}, {"warmupreport", "false"},
                                                 {"offlineafter", "300"}},
                                           Flags{{"pages", "1"}, {"paperafter", "20000"}, {"offlineafter", "300"}}),
                         [](const ::testing::TestParamInfo<Flags>& a_info) { return a_info.param[1].first; });

// Records longer than their consumer's buffer never block it: a long
// image end and a long user input are refused at once (15, logged), those
// after them still go, and ScanEnd returns; a long record for the
// application is refused and the images behind it are handed out.
constexpr EOSSTS s_eosstsRefused = static_cast<EOSSTS>(DEV_STS_LOWMEMORY);

TEST_F(DevScanThread, RecordsLongerThanTheirReaderNeverBlockIt) {
  // The simulated scanner does not wait for the input after its "press"
  // sheet: the next sheet comes late enough for the input to reach it
  // while it still scans, even on a loaded machine.
  OpenSession({{"pages", "2"}, {"useraction", "1:press"}, {"delay", "300"}});
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  const std::string strLong = "<imagefilename>" + std::string(70000, 'x') + "</imagefilename>";
  const auto timepointStart = std::chrono::steady_clock::now();
  EXPECT_EQ(m_pdevScan->ImageQueuePush(false, DEV_STS_ENDOFOUTPUT, strLong.c_str()), s_eosstsRefused);
  EXPECT_EQ(m_pdevScan->ImageQueuePush(true, DEV_STS_SUCCESS, strLong.c_str()), s_eosstsRefused);
  EXPECT_TRUE(m_plog->Contains("imgqueue: record longer than its reader takes, refused..."));
  bool blAnswered = false;
  const ScanResult scanresult = Drain(true, 5000, [&](EDEVSTS a_edevsts) {
    if (a_edevsts != DEV_STS_USERACTION) return;
    const std::string strInput = "<userinput><answer>" + std::string(70000, 'y') + "</answer></userinput>";
    EXPECT_EQ(m_pdevScan->UserInput(strInput.c_str()), s_eosstsRefused);
    EXPECT_EQ(m_pdevScan->UserInput("<userinput><answer>done</answer></userinput>"), OS_STS_SUCCESS);
    blAnswered = true;
  });
  EXPECT_TRUE(blAnswered);
  EXPECT_EQ(scanresult.vecstrImages.size(), 2u);  // the sheet that asks gives none
  EXPECT_EQ(scanresult.edevstsFinal, DEV_STS_ENDOFJOB) << m_plog->Text();
  m_pdevScan->ScanEnd();
  EXPECT_LT(std::chrono::steady_clock::now() - timepointStart, std::chrono::seconds(3));
  size_t sizetInputs = 0;
  for (const devtest::LoggedTask& loggedtask : Tasks()) sizetInputs += loggedtask.strCommand == "userinput";
  EXPECT_EQ(sizetInputs, 1u);
  EXPECT_EQ(ImageFiles(), 0u);
}

// A caller that confirms its images out of order ends the ones it names:
// each file stays whole until its own image end and goes after it.
TEST_F(DevScanThread, ImageEndsOutOfOrderEndTheImagesNamed) {
  // The second sheet keeps the scan thread at work while the first one's
  // images are confirmed.
  OpenSession({{"pages", "2"}, {"delay", "1500"}});
  ASSERT_EQ(m_pdevScan->ScanBegin(), OS_STS_SUCCESS);
  std::vector<std::string> vecstrImage;
  std::vector<char> vecc(DEV_SCAN_BUFFER_SIZE);
  ASSERT_TRUE(devtest::WaitFor([&] {
    const EDEVSTS edevsts = m_pdevScan->GetOutput(vecc.data(), static_cast<int>(vecc.size()), nullptr, nullptr, nullptr);
    if (edevsts == DEV_STS_SUCCESS) vecstrImage.emplace_back(vecc.data());
    return vecstrImage.size() == 2;
  })) << m_plog->Text();
  ScanResult scanresult;
  scanresult.vecstrImages = vecstrImage;
  std::vector<std::string> vecstrFile;
  for (const std::string& strText : scanresult.vecstrImages) {
    const size_t sizetName = strText.find("<imagefilename>") + 15;
    vecstrFile.push_back(strText.substr(sizetName, strText.find("</imagefilename>") - sizetName));
    ASSERT_EQ(access(vecstrFile.back().c_str(), R_OK), 0) << vecstrFile.back();
  }
  EXPECT_EQ(m_pdevScan->ImageEnd(scanresult.vecstrImages[1].c_str()), OS_STS_SUCCESS);
  EXPECT_TRUE(devtest::WaitFor([&] { return access(vecstrFile[1].c_str(), F_OK) != 0; })) << m_plog->Text();
  EXPECT_EQ(access(vecstrFile[0].c_str(), R_OK), 0);
  EXPECT_TRUE(m_plog->Contains("imgqueue: ImageEnd out of order, ending the image named..." + vecstrFile[1]));
  EXPECT_FALSE(m_plog->Contains("imgqueue: User called imageend for the wrong image..."));
  EXPECT_EQ(m_pdevScan->ImageEnd(scanresult.vecstrImages[0].c_str()), OS_STS_SUCCESS);
  EXPECT_TRUE(devtest::WaitFor([&] { return access(vecstrFile[0].c_str(), F_OK) != 0; })) << m_plog->Text();
  EXPECT_FALSE(m_plog->Contains("imgqueue: User called imageend for the wrong image..."));
  const ScanResult scanresultRest = Drain();
  EXPECT_EQ(scanresultRest.vecstrImages.size(), 2u);
  EXPECT_EQ(scanresultRest.edevstsFinal, DEV_STS_ENDOFJOB);
  m_pdevScan->ScanEnd();
  EXPECT_EQ(ImageFiles(), 0u);
}
