// Diagnostics through the device facade on the staged simulated scanner:
// the nesting of the mode and its thread, the cycling of the capabilities
// set to "cycle" (timed from the stand-in's task log), the thread's cost
// while idle, the close in the middle of the mode, a device off line, and
// the thread reading values while the caller sets them and runs its own
// diagnostics (for ThreadSanitizer).
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "db_cdblock.h"
#include "db_cdbdatum.h"
#include "dev_scan_fixture.h"

namespace {

class DevDiagnostic : public devtest::ScanFixture {
 protected:
  COsThread& Thread() { return *Scanner().GetPod().m_posthreadDiagnostic; }
  bool ThreadRuns() { return Thread().GetStatus() == OS_THREADSTATUS_ALIVE; }
  bool InMode() {
    CDbLockGuard dblockguard;
    return m_pdatabase->TestDbState(DB_STATE_DIAGNOSTIC) != 0;
  }
  // A diagnostic capability's value as the caller sets it, under the lock;
  // one the model does not offer is made readable first.
  void Set(EDBID a_edbid, long a_lValue) {
    CDbLockGuard dblockguard;
    Force(DB_BIN_MACHINE, a_edbid, a_lValue);
  }
  // The diagnostic tasks the feeder received since the last interfaceopen.
  static std::vector<devtest::LoggedTask> Diagnostics() {
    std::vector<devtest::LoggedTask> vec;
    for (const devtest::LoggedTask& loggedtask : Tasks()) {
      if (loggedtask.strCommand == "interfaceopen") vec.clear();
      if (loggedtask.strCommand.compare(0, 10, "diagnostic") == 0) vec.push_back(loggedtask);
    }
    return vec;
  }
  static size_t Count(const std::string& a_strCommand) {
    const std::vector<std::string> vec = devtest::Commands(Diagnostics());
    return static_cast<size_t>(std::count(vec.begin(), vec.end(), a_strCommand));
  }
  // The runs of one diagnostic type: (ms since the epoch, value).
  static std::vector<std::pair<unsigned long long, std::string>> Runs(const std::string& a_strType) {
    std::vector<std::pair<unsigned long long, std::string>> vec;
    for (const devtest::LoggedTask& loggedtask : Diagnostics()) {
      if (loggedtask.strCommand == "diagnosticrun" && loggedtask.Arg("diagnostictype") == a_strType)
        vec.emplace_back(loggedtask.ullMs, loggedtask.Arg("diagnosticvalue"));
    }
    return vec;
  }
  static unsigned long long NowMs() {
    using namespace std::chrono;
    return static_cast<unsigned long long>(
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
  }
};

// Begins and ends nest: the first begin enters the mode and starts the
// thread, only the last end stops it and leaves the mode; a hundred of each
// send one of each. An end without a begin sends nothing.
TEST_F(DevDiagnostic, BeginsAndEndsNest) {
  OpenSession();
  EXPECT_EQ(m_pdevScan->DiagnosticEnd(), OS_STS_SUCCESS);
  EXPECT_EQ(Count("diagnosticend"), 0u);
  ASSERT_EQ(m_pdevScan->DiagnosticBegin(false), OS_STS_SUCCESS) << m_plog->Text();
  ASSERT_EQ(m_pdevScan->DiagnosticBegin(false), OS_STS_SUCCESS);
  EXPECT_TRUE(InMode());
  EXPECT_EQ(m_pdevScan->DiagnosticEnd(), OS_STS_SUCCESS);
  EXPECT_TRUE(ThreadRuns());
  EXPECT_EQ(Count("diagnosticend"), 0u);
  EXPECT_EQ(m_pdevScan->DiagnosticEnd(), OS_STS_SUCCESS);
  EXPECT_FALSE(ThreadRuns());
  EXPECT_FALSE(InMode());
  EXPECT_EQ(devtest::Commands(Diagnostics()), (std::vector<std::string>{"diagnosticbegin", "diagnosticend"}));

  // The driver's begin leaves the database state alone.
  for (int i = 0; i < 100; ++i) ASSERT_EQ(m_pdevScan->DiagnosticBegin(true), OS_STS_SUCCESS);
  EXPECT_FALSE(InMode());
  EXPECT_TRUE(ThreadRuns());
  for (int i = 0; i < 99; ++i) ASSERT_EQ(m_pdevScan->DiagnosticEnd(), OS_STS_SUCCESS);
  EXPECT_TRUE(ThreadRuns());
  EXPECT_EQ(m_pdevScan->DiagnosticEnd(), OS_STS_SUCCESS);
  EXPECT_FALSE(ThreadRuns());
  EXPECT_EQ(m_pdevScan->DiagnosticEnd(), OS_STS_SUCCESS);
  EXPECT_EQ(Count("diagnosticbegin"), 2u);
  EXPECT_EQ(Count("diagnosticend"), 2u);
}

// "cycle" toggles the device one period after it was set, then every
// period (3 s, the elevator 6 s); another value stops it. The mode begins
// with the values at their defaults.
TEST_F(DevDiagnostic, CycledCapabilitiesToggleEveryPeriod) {
  OpenSession();
  Set(DB_ID_DIAGELEVATOR, DB_ID_DIAGELEVATOR_ENUM_UP);
  Set(DB_ID_DIAGFRONTLAMPS, DB_ID_DIAGFRONTLAMPS_ENUM_ON);
  ASSERT_EQ(m_pdevScan->DiagnosticBegin(true), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(m_pdatabase->GetCurrentLongFromId(DB_ID_DIAGFRONTLAMPS), DB_ID_DIAGFRONTLAMPS_ENUM_OFF);
  const unsigned long long ullSet = NowMs();
  Set(DB_ID_DIAGFRONTLAMPS, DB_ID_DIAGFRONTLAMPS_ENUM_CYCLE);
  Set(DB_ID_DIAGELEVATOR, DB_ID_DIAGELEVATOR_ENUM_CYCLE);
  std::this_thread::sleep_for(std::chrono::milliseconds(12500));
  Set(DB_ID_DIAGFRONTLAMPS, DB_ID_DIAGFRONTLAMPS_ENUM_OFF);
  Set(DB_ID_DIAGELEVATOR, DB_ID_DIAGELEVATOR_ENUM_DOWN);
  const size_t sizetLamp = Runs("diaglampfront").size();
  const size_t sizetElevator = Runs("diagelevator").size();
  std::this_thread::sleep_for(std::chrono::milliseconds(3500));
  EXPECT_EQ(m_pdevScan->DiagnosticEnd(), OS_STS_SUCCESS);

  const struct {
    const char* szType;
    unsigned long long ullPeriod;
    std::vector<std::string> vecValues;
  } s_acase[] = {
      {"diaglampfront", 3000, {"on", "off", "on", "off"}},
      {"diagelevator", 6000, {"up", "down"}},
  };
  // The model does not offer the elevator: its default, where the toggling
  // starts from, may be neither of its values.
  const bool blElevatorDown = m_pdatabase->GetDefaultLongFromId(DB_ID_DIAGELEVATOR) == DB_ID_DIAGELEVATOR_ENUM_DOWN;
  for (const auto& c : s_acase) {
    SCOPED_TRACE(c.szType);
    const auto vec = Runs(c.szType);
    ASSERT_EQ(vec.size(), c.vecValues.size()) << m_plog->Text();
    for (size_t i = 0; i < vec.size(); ++i) {
      const bool blSwapped = !blElevatorDown && std::string(c.szType) == "diagelevator";
      EXPECT_EQ(vec[i].second, c.vecValues[blSwapped ? 1 - i : i]) << i;
      const long long llFromSet = static_cast<long long>(vec[i].first - ullSet);
      EXPECT_NEAR(llFromSet, static_cast<long long>(c.ullPeriod * (i + 1)), 300) << i;
    }
  }
  // Nothing once the values changed.
  EXPECT_EQ(Runs("diaglampfront").size(), sizetLamp);
  EXPECT_EQ(Runs("diagelevator").size(), sizetElevator);
}

// Idle in the mode, the thread waits between its passes.
TEST_F(DevDiagnostic, AnIdleModeCostsAlmostNoProcessor) {
  OpenSession();
  ASSERT_EQ(m_pdevScan->DiagnosticBegin(true), OS_STS_SUCCESS);
  rusage rusageStart = {};
  getrusage(RUSAGE_SELF, &rusageStart);
  std::this_thread::sleep_for(std::chrono::seconds(10));
  rusage rusageEnd = {};
  getrusage(RUSAGE_SELF, &rusageEnd);
  const auto Us = [](const rusage& a_rusage) {
    return (a_rusage.ru_utime.tv_sec + a_rusage.ru_stime.tv_sec) * 1000000L + a_rusage.ru_utime.tv_usec +
           a_rusage.ru_stime.tv_usec;
  };
  EXPECT_LT(Us(rusageEnd) - Us(rusageStart), 200000L);
  EXPECT_TRUE(ThreadRuns());
  EXPECT_EQ(m_pdevScan->DiagnosticEnd(), OS_STS_SUCCESS);
}

// The close ends the mode whatever its nesting: the thread stops and the
// unit hears diagnosticend before interfaceclose.
TEST_F(DevDiagnostic, TheCloseEndsTheModeFirst) {
  OpenSession();
  ASSERT_EQ(m_pdevScan->DiagnosticBegin(false), OS_STS_SUCCESS);
  ASSERT_EQ(m_pdevScan->DiagnosticBegin(false), OS_STS_SUCCESS);
  Set(DB_ID_DIAGFRONTLAMPS, DB_ID_DIAGFRONTLAMPS_ENUM_CYCLE);
  m_pdevScan->InterfaceClose();
  EXPECT_FALSE(ThreadRuns());
  EXPECT_FALSE(InMode());
  std::vector<std::string> vec;
  for (const devtest::LoggedTask& loggedtask : Tasks()) vec.push_back(loggedtask.strCommand);
  const auto itEnd = std::find(vec.begin(), vec.end(), "diagnosticend");
  ASSERT_NE(itEnd, vec.end());
  EXPECT_LT(itEnd - vec.begin(), std::find(vec.begin(), vec.end(), "interfaceclose") - vec.begin());
}

// Single runs carry their own begin and end; a run without a type sends
// nothing; the inputs are read only in the database's diagnostic state;
// an unknown thread command ends the thread.
TEST_F(DevDiagnostic, RunsInputsAndBadCommands) {
  OpenSession();
  EXPECT_EQ(m_pdevScan->DiagnosticRun("diaglampfront", "on"), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(devtest::Commands(Diagnostics()),
            (std::vector<std::string>{"diagnosticbegin", "diagnosticrun", "diagnosticend"}));
  for (const char* szType : {"", static_cast<const char*>(nullptr)}) {
    EXPECT_EQ(m_pdevScan->DiagnosticRun(szType, "on"), OS_STS_FAIL);
  }
  EXPECT_TRUE(m_plog->Contains("DiagnosticRun: no diagnostic type, nothing sent..."));
  // The stand-in does not offer the inputs: with the state, the adapter
  // answers for it and makes the log's (empty) file.
  DeviceLog devicelog = {};
  const std::string strInputs = testsupport::RootPath("inputs.txt");
  std::snprintf(devicelog.szFilename, sizeof devicelog.szFilename, "%s", strInputs.c_str());
  EXPECT_EQ(m_pdevScan->DiagnosticGetInputResult(&devicelog), OS_STS_SUCCESS);
  ASSERT_EQ(m_pdevScan->DiagnosticBegin(true), OS_STS_SUCCESS);
  EXPECT_EQ(m_pdevScan->DiagnosticGetInputResult(&devicelog), OS_STS_SUCCESS);
  EXPECT_FALSE(testsupport::FileExists(strInputs));
  ASSERT_EQ(m_pdevScan->DiagnosticBegin(false), OS_STS_SUCCESS);
  EXPECT_EQ(m_pdevScan->DiagnosticGetInputResult(&devicelog), OS_STS_SUCCESS);
  EXPECT_TRUE(testsupport::FileExists(strInputs));
  EXPECT_EQ(m_pdevScan->DiagnosticEnd(), OS_STS_SUCCESS);
  EXPECT_EQ(Count("diagnosticrun"), 1u);
  ASSERT_EQ(Thread().SetCommand(7, true), OS_STS_SUCCESS);
  EXPECT_TRUE(devtest::WaitFor([&] { return !ThreadRuns(); }));
  EXPECT_TRUE(m_plog->Contains("Unrecognized eosthreadcmd...7"));
  EXPECT_EQ(m_pdevScan->DiagnosticEnd(), OS_STS_SUCCESS);
  // The next mode starts a thread of its own.
  ASSERT_EQ(m_pdevScan->DiagnosticBegin(true), OS_STS_SUCCESS);
  EXPECT_TRUE(ThreadRuns());
  EXPECT_EQ(m_pdevScan->DiagnosticEnd(), OS_STS_SUCCESS);
}

// Off line, every operation answers 1 (the inputs 0) and nothing is sent.
TEST_F(DevDiagnostic, AnOfflineScannerAnswersAtOnce) {
  OpenSession({{"offlineafter", "1000"}});
  ASSERT_TRUE(devtest::WaitFor([&] { return Scanner().GetDeviceStatus() != DEV_DEVICESTATUS_ONLINE; }));
  const size_t sizetTasks = Tasks().size();
  EXPECT_EQ(m_pdevScan->DiagnosticBegin(false), OS_STS_FAIL);
  EXPECT_EQ(m_pdevScan->DiagnosticRun("diaglampfront", "on"), OS_STS_FAIL);
  EXPECT_EQ(m_pdevScan->DiagnosticEnd(), OS_STS_FAIL);
  DeviceLog devicelog = {};
  EXPECT_EQ(m_pdevScan->DiagnosticGetInputResult(&devicelog), OS_STS_SUCCESS);
  EXPECT_FALSE(InMode());
  EXPECT_EQ(Tasks().size(), sizetTasks);
}

// The thread reads the values while the caller sets them and runs its own
// diagnostics through the same adapter.
TEST_F(DevDiagnostic, TheThreadReadsWhileTheCallerSetsAndRuns) {
  OpenSession();
  ASSERT_EQ(m_pdevScan->DiagnosticBegin(false), OS_STS_SUCCESS);
  std::atomic<bool> blDone{false};
  std::thread threadRunner([&] {
    while (!blDone) m_pdevScan->DiagnosticRun("diagcoolingfan", "on");
  });
  const auto timepointEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(2000);
  for (long l = 0; std::chrono::steady_clock::now() < timepointEnd; ++l) {
    Set(DB_ID_DIAGFRONTLAMPS, l % 2 ? DB_ID_DIAGFRONTLAMPS_ENUM_CYCLE : DB_ID_DIAGFRONTLAMPS_ENUM_ON);
    Set(DB_ID_DIAGFLATBED, l % 2 ? DB_ID_DIAGFLATBED_ENUM_CYCLE : DB_ID_DIAGFLATBED_ENUM_HOME);
    std::this_thread::sleep_for(std::chrono::milliseconds(7));
  }
  blDone = true;
  threadRunner.join();
  EXPECT_EQ(m_pdevScan->DiagnosticEnd(), OS_STS_SUCCESS);
  EXPECT_FALSE(ThreadRuns());
  EXPECT_GT(Count("diagnosticrun"), 2u);
}

}  // namespace
