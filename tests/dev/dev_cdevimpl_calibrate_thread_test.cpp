// Calibration through the device facade on the staged simulated scanner:
// the lamp warm-up, the run's results and messages, the wait for paper, the
// end at any moment, a device that drops off line, the bound of the end's
// wait and the close while a run goes on. CALIBRATIONTYPE is made supported
// here with the values the stand-in offers.
#include <algorithm>
#include <chrono>
#include <future>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "db_cdbdatum.h"
#include "dev_scan_fixture.h"

namespace {

class DevCalibrate : public devtest::ScanFixture {
 protected:
  void TearDown() override {
    DevSetWaitLimit(DEV_WAIT_CALIBRATEPAPER, -1);
    DevSetWaitLimit(DEV_WAIT_CALIBRATEEND, -1);
    devtest::ScanFixture::TearDown();
  }

  // A session with the stand-in's flags and the calibration type offered
  // and chosen.
  void Open(const std::vector<std::pair<std::string, std::string>>& a_vecFlags,
            long a_lType = DB_ID_CALIBRATIONTYPE_ENUM_IMAGE) {
    OpenSession(a_vecFlags);
    CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_CALIBRATIONTYPE);
    ASSERT_NE(pdbdatum, nullptr);
    m_pdatabase->SetAccess(pdbdatum, DB_ACCESS_READWRITE);
    m_pdatabase->EnumDeleteAllItems(pdbdatum);
    for (long lValue : {DB_ID_CALIBRATIONTYPE_ENUM_IMAGE, DB_ID_CALIBRATIONTYPE_ENUM_MAGNIFICATIONTEST,
                        DB_ID_CALIBRATIONTYPE_ENUM_LCDCONTRAST})
      m_pdatabase->EnumAddItem(pdbdatum, lValue);
    pdbdatum->ForceCurrentLong(a_lType);
    Queued();
  }

  // The status once it leaves busy (at most the limit).
  EDEVSTS Result(long a_lLimitMs = 15000) {
    const auto timepointEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(a_lLimitMs);
    while (m_pdevScan->GetCalibrateStatus() == DEV_STS_BUSY && std::chrono::steady_clock::now() < timepointEnd)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return m_pdevScan->GetCalibrateStatus();
  }

  // The calibration messages shown, as their EDEVMSG numbers.
  static std::vector<long> CalibrateMessages() {
    std::vector<long> vec;
    for (const ShownMessage& shownmessage : Messages()) {
      if (shownmessage.edevdlg == DEV_DLG_CALIBRATE) vec.push_back(shownmessage.edevmsg);
    }
    return vec;
  }
  static bool Shown(EDEVMSG a_edevmsg) {
    const std::vector<long> vec = CalibrateMessages();
    return std::find(vec.begin(), vec.end(), a_edevmsg) != vec.end();
  }
  static long ValueOf(EDEVMSG a_edevmsg) {
    for (const ShownMessage& shownmessage : Messages()) {
      if (shownmessage.edevdlg == DEV_DLG_CALIBRATE && shownmessage.edevmsg == a_edevmsg) return shownmessage.lValue;
    }
    return -1;
  }

  // The feeder's tasks since its last interfaceopen.
  static std::vector<devtest::LoggedTask> SinceOpen() {
    const std::vector<devtest::LoggedTask> vecAll = Tasks();
    size_t sizetOpen = 0;
    for (size_t i = 0; i < vecAll.size(); ++i) {
      if (vecAll[i].strCommand == "interfaceopen") sizetOpen = i;
    }
    return std::vector<devtest::LoggedTask>(vecAll.begin() + static_cast<long>(sizetOpen), vecAll.end());
  }
  // The calibration tasks among them, in order.
  static std::vector<devtest::LoggedTask> Calibrations() {
    std::vector<devtest::LoggedTask> vec;
    for (const devtest::LoggedTask& loggedtask : SinceOpen()) {
      if (loggedtask.strCommand.compare(0, 9, "calibrate") == 0) vec.push_back(loggedtask);
    }
    return vec;
  }

  // An empty feeder that starts by itself.
  void EmptyAutostartFeeder() {
    m_pdatabase->ConfigAdd("paperdetectable", DB_CONFIGTARGET_COMMON);
    m_pdatabase->ConfigEnumAdd("papersource", "adf", DB_CONFIGTARGET_COMMON);
    Force(DB_BIN_MACHINE, DB_ID_TRANSPORTAUTOSTART, DB_ID_TRANSPORTAUTOSTART_ENUM_TRUE);
  }
};

// Lamps warming up: the begin succeeds with the lamps event, the thread
// tells the seconds left (more than 2) and calibrates once they have passed.
class DevCalibrateWarmup : public DevCalibrate, public testing::WithParamInterface<long> {};

TEST_P(DevCalibrateWarmup, TheRunWaitsForTheLampsTheBeginReported) {
  const long lWarmup = GetParam();
  Open({{"calwarmup", std::to_string(lWarmup)}});
  ASSERT_EQ(m_pdevScan->CalibrateBegin(), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(m_pdevScan->GetCalibrateStatus(), DEV_STS_SUCCESS);
  EXPECT_EQ(Queued(), std::vector<std::string>{"lampswarming=" + std::to_string(lWarmup)});
  ASSERT_EQ(m_pdevScan->CalibrateRun(), OS_STS_SUCCESS);
  EXPECT_EQ(Result(), DEV_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(m_pdevScan->CalibrateEnd(), OS_STS_SUCCESS);
  std::vector<long> vecMessages = {DEV_MSG_OPEN, DEV_MSG_WARMUP, DEV_MSG_CALIBRATING, DEV_MSG_SUCCESS, DEV_MSG_CLEAR};
  if (lWarmup <= 2) vecMessages.erase(vecMessages.begin() + 1);
  EXPECT_EQ(CalibrateMessages(), vecMessages);
  if (lWarmup > 2) {
    EXPECT_EQ(ValueOf(DEV_MSG_WARMUP), lWarmup);
  }
  const std::vector<devtest::LoggedTask> vec = Calibrations();
  ASSERT_EQ(devtest::Commands(vec), (std::vector<std::string>{"calibratebegin", "calibraterun", "calibrateend"}));
  EXPECT_GE(vec[1].ullMs - vec[0].ullMs, static_cast<unsigned long long>(lWarmup) * 1000);
}

INSTANTIATE_TEST_SUITE_P(Seconds, DevCalibrateWarmup, testing::Values(3L, 2L));

// The run's result as the status and the message that tells it; a
// magnification test says "testing" while it runs.
struct DevRunCase {
  const char* szName;
  const char* szResult;  // calresult, or null for none
  long lType;
  EDEVSTS edevsts;
  EDEVMSG edevmsgRunning;
  EDEVMSG edevmsgResult;
};
std::ostream& operator<<(std::ostream& a_ostream, const DevRunCase& a_devruncase) {
  return a_ostream << a_devruncase.szName;
}

class DevCalibrateResult : public DevCalibrate, public testing::WithParamInterface<DevRunCase> {};

TEST_P(DevCalibrateResult, EachRunResultHasItsStatusAndMessage) {
  const DevRunCase& c = GetParam();
  if (c.szResult) {
    Open({{"calresult", c.szResult}}, c.lType);
  } else {
    Open({}, c.lType);
  }
  ASSERT_EQ(m_pdevScan->CalibrateBegin(), OS_STS_SUCCESS) << m_plog->Text();
  ASSERT_EQ(m_pdevScan->CalibrateRun(), OS_STS_SUCCESS);
  EXPECT_EQ(Result(), c.edevsts) << m_plog->Text();
  EXPECT_EQ(m_pdevScan->CalibrateEnd(), OS_STS_SUCCESS);
  EXPECT_EQ(CalibrateMessages(), (std::vector<long>{DEV_MSG_OPEN, c.edevmsgRunning, c.edevmsgResult, DEV_MSG_CLEAR}));
  EXPECT_EQ(devtest::Commands(Calibrations()),
            (std::vector<std::string>{"calibratebegin", "calibraterun", "calibrateend"}));
}

INSTANTIATE_TEST_SUITE_P(
    Results, DevCalibrateResult,
    testing::Values(
        DevRunCase{"multifeed", "multifeed", DB_ID_CALIBRATIONTYPE_ENUM_IMAGE, DEV_STS_DOUBLEDOCUMENT,
                   DEV_MSG_CALIBRATING, DEV_MSG_MULTIFEED},
        DevRunCase{"paperjam", "paperjam", DB_ID_CALIBRATIONTYPE_ENUM_IMAGE, DEV_STS_PAPERJAM, DEV_MSG_CALIBRATING,
                   DEV_MSG_JAM},
        DevRunCase{"fail", "fail", DB_ID_CALIBRATIONTYPE_ENUM_IMAGE, DEV_STS_FAIL, DEV_MSG_CALIBRATING, DEV_MSG_ERROR},
        DevRunCase{"none", nullptr, DB_ID_CALIBRATIONTYPE_ENUM_IMAGE, DEV_STS_SUCCESS, DEV_MSG_CALIBRATING,
                   DEV_MSG_SUCCESS},
        DevRunCase{"magnificationtest", nullptr, DB_ID_CALIBRATIONTYPE_ENUM_MAGNIFICATIONTEST, DEV_STS_SUCCESS,
                   DEV_MSG_TESTING, DEV_MSG_SUCCESS}),
    [](const testing::TestParamInfo<DevRunCase>& a_info) { return std::string(a_info.param.szName); });

// An empty feeder that starts by itself is waited for: the full ten
// seconds end in "no paper" and status 1, nothing sent.
TEST_F(DevCalibrate, AnEmptyAutostartFeederFailsTheBeginAfterTenSeconds) {
  Open({{"paperafter", "600000"}});
  EmptyAutostartFeeder();
  const auto timepointStart = std::chrono::steady_clock::now();
  EXPECT_EQ(m_pdevScan->CalibrateBegin(), OS_STS_FAIL);
  EXPECT_GE(std::chrono::steady_clock::now() - timepointStart, std::chrono::milliseconds(10000));
  EXPECT_EQ(m_pdevScan->GetCalibrateStatus(), DEV_STS_FAIL);
  EXPECT_EQ(CalibrateMessages(), (std::vector<long>{DEV_MSG_OPEN, DEV_MSG_WAITPAPER, DEV_MSG_NOPAPER}));
  EXPECT_EQ(ValueOf(DEV_MSG_WAITPAPER), 10);
  EXPECT_TRUE(Calibrations().empty());
}

// Through the seam: paper that arrives lets the begin go on.
TEST_F(DevCalibrate, PaperThatArrivesLetsTheBeginGoOn) {
  DevSetWaitLimit(DEV_WAIT_CALIBRATEPAPER, 5000);
  Open({{"paperafter", "1000"}});
  EmptyAutostartFeeder();
  EXPECT_EQ(m_pdevScan->CalibrateBegin(), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(CalibrateMessages(), (std::vector<long>{DEV_MSG_OPEN, DEV_MSG_WAITPAPER}));
  EXPECT_EQ(devtest::Commands(Calibrations()), std::vector<std::string>{"calibratebegin"});
  EXPECT_EQ(m_pdevScan->CalibrateEnd(), OS_STS_SUCCESS);
}

// An end during the wait for paper cancels the begin.
TEST_F(DevCalibrate, AnEndDuringThePaperWaitCancelsTheBegin) {
  Open({{"paperafter", "600000"}});
  EmptyAutostartFeeder();
  std::future<EOSSTS> futureBegin = std::async(std::launch::async, [&] { return m_pdevScan->CalibrateBegin(); });
  ASSERT_TRUE(devtest::WaitFor([] { return Shown(DEV_MSG_WAITPAPER); }));
  m_pdevScan->CalibrateEnd();
  EXPECT_EQ(futureBegin.get(), static_cast<EOSSTS>(DEV_STS_CANCEL));
  EXPECT_EQ(m_pdevScan->GetCalibrateStatus(), DEV_STS_CANCEL);
  EXPECT_EQ(devtest::Commands(Calibrations()), std::vector<std::string>{"calibrateend"});
}

// A calibration that feeds nothing does not wait for paper.
TEST_F(DevCalibrate, AnLcdContrastCalibrationDoesNotWaitForPaper) {
  Open({{"paperafter", "600000"}}, DB_ID_CALIBRATIONTYPE_ENUM_LCDCONTRAST);
  EmptyAutostartFeeder();
  // The stand-in offers no such calibration: its refusal is the answer.
  EXPECT_EQ(m_pdevScan->CalibrateBegin(), OS_STS_FAIL);
  EXPECT_EQ(devtest::Commands(Calibrations()), std::vector<std::string>{"calibratebegin"});
  EXPECT_EQ(CalibrateMessages(), (std::vector<long>{DEV_MSG_OPEN, DEV_MSG_ERROR}));
}

// An end while the thread waits for the lamps cancels the run before it
// starts; the device hears the end once.
TEST_F(DevCalibrate, AnEndDuringTheLampWaitCancelsTheRun) {
  Open({{"calwarmup", "30"}});
  ASSERT_EQ(m_pdevScan->CalibrateBegin(), OS_STS_SUCCESS);
  ASSERT_EQ(m_pdevScan->CalibrateRun(), OS_STS_SUCCESS);
  ASSERT_TRUE(devtest::WaitFor([] { return Shown(DEV_MSG_WARMUP); }));
  EXPECT_EQ(m_pdevScan->CalibrateEnd(), OS_STS_SUCCESS);
  EXPECT_EQ(m_pdevScan->GetCalibrateStatus(), DEV_STS_CANCEL);
  EXPECT_EQ(devtest::Commands(Calibrations()), (std::vector<std::string>{"calibratebegin", "calibrateend"}));
}

// An end before any run only ends calibration at the device, once; an end
// without a begin is the device's answer.
TEST_F(DevCalibrate, AnEndBeforeTheRunEndsCalibrationOnce) {
  Open({});
  EXPECT_NE(m_pdevScan->CalibrateEnd(), OS_STS_SUCCESS);
  ASSERT_EQ(m_pdevScan->CalibrateBegin(), OS_STS_SUCCESS);
  EXPECT_EQ(m_pdevScan->CalibrateEnd(), OS_STS_SUCCESS);
  EXPECT_EQ(m_pdevScan->CalibrateEnd(), OS_STS_SUCCESS);
  EXPECT_EQ(devtest::Commands(Calibrations()),
            (std::vector<std::string>{"calibrateend", "calibratebegin", "calibrateend"}));
}

// The run's status is busy from CalibrateRun's return: an end that comes at
// once waits for the run and its end rather than ending calibration first.
TEST_F(DevCalibrate, AnEndRightAfterTheRunWaitsForIt) {
  Open({{"caldelay", "800"}});
  ASSERT_EQ(m_pdevScan->CalibrateBegin(), OS_STS_SUCCESS);
  ASSERT_EQ(m_pdevScan->CalibrateRun(), OS_STS_SUCCESS);
  EXPECT_EQ(m_pdevScan->GetCalibrateStatus(), DEV_STS_BUSY);
  // A second run while one runs is refused.
  EXPECT_EQ(m_pdevScan->CalibrateRun(), OS_STS_FAIL);
  EXPECT_EQ(m_pdevScan->CalibrateEnd(), OS_STS_SUCCESS);
  EXPECT_EQ(m_pdevScan->GetCalibrateStatus(), DEV_STS_SUCCESS);
  EXPECT_EQ(devtest::Commands(Calibrations()),
            (std::vector<std::string>{"calibratebegin", "calibraterun", "calibrateend"}));
  EXPECT_TRUE(m_plog->Contains("CalibrateRun: a calibration is still running..."));
}

// A run longer than the end's bound: the end gives up with 1 and leaves
// the thread to finish; the next begin and run go on once it has.
TEST_F(DevCalibrate, AnEndGivesUpOnARunThatOutlastsItsBound) {
  DevSetWaitLimit(DEV_WAIT_CALIBRATEEND, 300);
  Open({{"caldelay", "1500"}});
  ASSERT_EQ(m_pdevScan->CalibrateBegin(), OS_STS_SUCCESS);
  ASSERT_EQ(m_pdevScan->CalibrateRun(), OS_STS_SUCCESS);
  EXPECT_EQ(m_pdevScan->CalibrateEnd(), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("CalibrateEnd: the calibration did not end within 300 ms..."));
  EXPECT_EQ(Result(), DEV_STS_SUCCESS);
  EXPECT_EQ(devtest::Commands(Calibrations()),
            (std::vector<std::string>{"calibratebegin", "calibraterun", "calibrateend"}));
  ASSERT_EQ(m_pdevScan->CalibrateBegin(), OS_STS_SUCCESS);
  ASSERT_EQ(m_pdevScan->CalibrateRun(), OS_STS_SUCCESS);
  EXPECT_EQ(Result(), DEV_STS_SUCCESS);
}

// A scanner that drops off line during the run: the thread ends with 1,
// and every operation answers 1 at once without a task.
TEST_F(DevCalibrate, AScannerGoneOfflineEndsTheRunWithFailure) {
  Open({{"caldelay", "1500"}, {"offlineafter", "800"}});
  ASSERT_EQ(m_pdevScan->CalibrateBegin(), OS_STS_SUCCESS);
  ASSERT_EQ(m_pdevScan->CalibrateRun(), OS_STS_SUCCESS);
  EXPECT_EQ(Result(), DEV_STS_FAIL) << m_plog->Text();
  EXPECT_TRUE(Shown(DEV_MSG_ERROR));
  ASSERT_TRUE(devtest::WaitFor([&] { return Scanner().GetDeviceStatus() != DEV_DEVICESTATUS_ONLINE; }));
  const size_t sizetTasks = Tasks().size();
  EXPECT_EQ(m_pdevScan->CalibrateEnd(), OS_STS_FAIL);
  EXPECT_EQ(m_pdevScan->CalibrateRun(), OS_STS_FAIL);
  EXPECT_EQ(m_pdevScan->CalibrateReset(), OS_STS_FAIL);
  m_pdevScan->SetCalibrateStatus(DEV_STS_SUCCESS);
  EXPECT_EQ(m_pdevScan->CalibrateBegin(), OS_STS_FAIL);
  EXPECT_EQ(m_pdevScan->GetCalibrateStatus(), DEV_STS_FAIL);
  EXPECT_EQ(Tasks().size(), sizetTasks);
}

// A command the thread does not know ends it with 1 before it calibrates.
TEST_F(DevCalibrate, AnUnknownThreadCommandEndsTheRun) {
  Open({{"calwarmup", "30"}});
  ASSERT_EQ(m_pdevScan->CalibrateBegin(), OS_STS_SUCCESS);
  ASSERT_EQ(m_pdevScan->CalibrateRun(), OS_STS_SUCCESS);
  ASSERT_TRUE(devtest::WaitFor([] { return Shown(DEV_MSG_WARMUP); }));
  ASSERT_EQ(Scanner().GetPod().m_posthreadCalibrate->SetCommand(7, true), OS_STS_SUCCESS);
  EXPECT_EQ(Result(), DEV_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Unrecognized eosthreadcmd...7"));
  EXPECT_EQ(devtest::Commands(Calibrations()), std::vector<std::string>{"calibratebegin"});
}

// The close while the thread runs the calibration: it returns once the run
// and its end are through, and the unit hears calibrateend before
// interfaceclose.
TEST_F(DevCalibrate, TheCloseWaitsForTheRunAndItsEnd) {
  Open({{"caldelay", "1000"}});
  ASSERT_EQ(m_pdevScan->CalibrateBegin(), OS_STS_SUCCESS);
  ASSERT_EQ(m_pdevScan->CalibrateRun(), OS_STS_SUCCESS);
  ASSERT_TRUE(devtest::WaitFor([] { return Shown(DEV_MSG_CALIBRATING); }));
  m_pdevScan->InterfaceClose();
  const std::vector<std::string> vec = devtest::Commands(SinceOpen());
  const auto itEnd = std::find(vec.begin(), vec.end(), "calibrateend");
  ASSERT_NE(itEnd, vec.end());
  EXPECT_LT(itEnd - vec.begin(), std::find(vec.begin(), vec.end(), "interfaceclose") - vec.begin());
}

}  // namespace

// The close while the thread waits for the lamps: the thread stops, and the
// calibration the unit took is ended there before interfaceclose; a begin
// the unit refused, or one already ended, is not ended again.
TEST_F(DevCalibrate, TheCloseEndsACalibrationTheUnitTook) {
  Open({{"calwarmup", "30"}});
  ASSERT_EQ(m_pdevScan->CalibrateBegin(), OS_STS_SUCCESS);
  ASSERT_EQ(m_pdevScan->CalibrateRun(), OS_STS_SUCCESS);
  ASSERT_TRUE(devtest::WaitFor([] { return Shown(DEV_MSG_WARMUP); }));
  m_pdevScan->InterfaceClose();
  EXPECT_EQ(m_pdevScan->GetCalibrateStatus(), DEV_STS_CANCEL);
  std::vector<std::string> vec;
  for (const devtest::LoggedTask& loggedtask : SinceOpen()) {
    if (loggedtask.strCommand.compare(0, 9, "calibrate") == 0 || loggedtask.strCommand == "interfaceclose")
      vec.push_back(loggedtask.strCommand);
  }
  EXPECT_EQ(vec, (std::vector<std::string>{"calibratebegin", "calibrateend", "interfaceclose"}));
}
