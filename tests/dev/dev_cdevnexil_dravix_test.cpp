// The image library in the Dravix process: the host's start with its
// arguments and its end at unload; a scan over each channel kind that gives
// what it gives in process; replies in pieces; hosts that die, crash,
// answer too much, twice, without an end, never connect or end before
// they connect, each leaving the unit gone until it is loaded again; the
// first task waiting for the host loaded before it; the limit of a task;
// and the program missing or not executable.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>

#include "dev_cdevnexil_dravix_fixture.h"
#include "os_cosmem.h"

namespace {

using devtest::Children;
using devtest::ChildProcess;
using devtest::Commands;
using devtest::MillisecondsSince;
using devtest::Reaped;
using simtest::Element;

class DevNexilDravix : public devtest::DevNexilDravixFixture {};

// Load with the mode left open starts the staged host once, with the
// library's path, the channel's address, this process's id and the memory
// limit; a second load finds it loaded; the session's tasks cross, and
// unload ends the host, reaped within its second.
TEST_F(DevNexilDravix, StartsTheHostWithItsArgumentsAndEndsIt) {
  const std::string strLib = m_strSystem + "/" + m_strModel + "/lib";
  ASSERT_EQ(m_pdevnexil->Load(DB_FIRMWARE_ADF, DEV_NEXILCALL_NONE), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(m_pdevnexil->GetEdevnexilcall(), DEV_NEXILCALL_DRAVIXDEFAULT);
  EXPECT_EQ(m_pdevnexil->GetUnitNexilCall(DB_FIRMWARE_ADF), DEV_NEXILCALL_DRAVIXDEFAULT);
  EXPECT_TRUE(m_pdevnexil->CheckDravix(DB_FIRMWARE_ADF));
  EXPECT_TRUE(m_plog->Contains("spawning " + strLib + "/dravix...")) << m_plog->Text();
  EXPECT_EQ(m_pdevnexil->Load(DB_FIRMWARE_ADF, DEV_NEXILCALL_NONE), OS_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("The library is already in use..."));
  EXPECT_GT(Host(), 1u);  // one host

  ASSERT_EQ(m_pdevnexil->InterfaceOpen(DB_FIRMWARE_ADF), OS_STS_SUCCESS) << m_plog->Text();
  // Connected now: its arguments are in place.
  const std::vector<ChildProcess> vec = Children("dravix");
  ASSERT_EQ(vec.size(), 1u);
  const std::vector<std::string>& vecstrArgs = vec[0].vecstrArgs;
  ASSERT_EQ(vecstrArgs.size(), 7u);
  char szPid[32];
  std::snprintf(szPid, sizeof szPid, "pid:%016" PRIx64, static_cast<uint64_t>(getpid()));
  EXPECT_EQ(vecstrArgs[0], strLib + "/dravix");
  EXPECT_EQ(vecstrArgs[1], "dll:" + strLib + "/nexil");
  EXPECT_EQ(vecstrArgs[2], "entry:NexEntry");
  EXPECT_EQ(vecstrArgs[3], "addr:@MESSAGEQUEUE");
  EXPECT_EQ(vecstrArgs[4].substr(0, 5), "port:");
  EXPECT_NE(vecstrArgs[4].find(";"), std::string::npos);
  EXPECT_EQ(vecstrArgs[5], szPid);
  EXPECT_EQ(vecstrArgs[6], "maxmemory:1800000000");

  ASSERT_EQ(m_pdevnexil->SessionBegin(DB_FIRMWARE_ADF), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_TRUE(m_pdatabase->ConfigEnumExists("nexil_barcodetype", "code128", DB_CONFIGTARGET_ADF));
  // The library's free memory is held to the limit the host was given.
  OsMemList osmemlist = {};
  ASSERT_EQ(m_pdevnexil->GetFreeMemory("front", &osmemlist), DEV_STS_SUCCESS) << m_plog->Text();
  ASSERT_GT(osmemlist.u64Count, 0u);
  EXPECT_LE(osmemlist.au64Size[0], 1800000000u);
  EXPECT_TRUE(m_plog->Contains("<DRV2NEX><task id='00000000000000000002'")) << m_plog->Text();
  EXPECT_TRUE(m_plog->Contains("<NEX2DRV><task id=")) << m_plog->Text();

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(m_pdevnexil->Unload(DB_FIRMWARE_ADF), OS_STS_SUCCESS);
  EXPECT_LT(MillisecondsSince(start), 1000);
  EXPECT_TRUE(Reaped(vec[0].u64ProcessId, 0));
  EXPECT_FALSE(m_plog->Contains("dravix did not end"));
  EXPECT_EQ(m_pdevnexil->GetUnitNexilCall(DB_FIRMWARE_ADF), DEV_NEXILCALL_NONE);
  EXPECT_EQ(Commands(TaskLog()), (std::vector<std::string>{"interfaceopen", "sessionbegin", "querysupport",
                                                           "passthroughdravix", "sessionend", "interfaceclose"}));
}

// Without the program the library runs in process, with the line that
// says so; a program that may not be run fails the load.
TEST_F(DevNexilDravix, WithoutTheProgramOrItsRightToRun) {
  const std::string strSystem = testsupport::RootPath("system");
  const std::string strLib = strSystem + "/scratch/lib";
  std::filesystem::create_directories(strLib);
  std::filesystem::copy_file(m_strSystem + "/" + m_strModel + "/lib/nexil.so", strLib + "/nexil.so");
  Configure(OS_CFGTAG_SYSTEMDIRECTORY, strSystem.c_str());
  Configure(OS_CFGTAG_MODELDIRECTORY, "scratch");
  ASSERT_EQ(m_pdevnexil->Load(DB_FIRMWARE_ADF, DEV_NEXILCALL_NONE), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_TRUE(m_plog->Contains("Dravix not found, running in-process... <" + strLib +
                                "/dravix> (depending on the nexil version and OS we may abort soon)"));
  EXPECT_EQ(m_pdevnexil->GetUnitNexilCall(DB_FIRMWARE_ADF), DEV_NEXILCALL_INPROCESS);
  EXPECT_EQ(m_pdevnexil->GetEdevnexilcall(), DEV_NEXILCALL_INPROCESS);
  EXPECT_EQ(Version(), "invalidstate");  // the library answers, not open yet
  m_pdevnexil->Unload(DB_FIRMWARE_ADF);

  testsupport::WriteFile(strLib + "/dravix", "#!/bin/sh\n");
  chmod((strLib + "/dravix").c_str(), 0644);
  const size_t sizetFrom = LogSize();
  EXPECT_EQ(m_pdevnexil->Load(DB_FIRMWARE_ADF, DEV_NEXILCALL_DRAVIX), OS_STS_FAIL);
  EXPECT_NE(LogFrom(sizetFrom).find("Spawn failed..."), std::string::npos) << LogFrom(sizetFrom);
  EXPECT_EQ(m_pdevnexil->GetUnitNexilCall(DB_FIRMWARE_ADF), DEV_NEXILCALL_NONE);
  EXPECT_TRUE(Children("dravix").empty());
}

// A limit longer than the argument may hold is cut, with a line; the host
// runs with what is left.
TEST_F(DevNexilDravix, AMemoryLimitTooLongIsCut) {
  const std::string strLimit(40, '9');
  Configure(OS_CFGTAG_FORCEDRAVIXMAXMEMORY, strLimit.c_str());
  ASSERT_EQ(m_pdevnexil->Load(DB_FIRMWARE_ADF, DEV_NEXILCALL_DRAVIX), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(m_pdevnexil->GetUnitNexilCall(DB_FIRMWARE_ADF), DEV_NEXILCALL_DRAVIX);
  EXPECT_TRUE(m_plog->Contains("ForceDravixMaxMemory is longer than 31 characters, cut...<" + strLimit + ">"));
  EXPECT_EQ(m_pdevnexil->InterfaceOpen(DB_FIRMWARE_ADF), OS_STS_SUCCESS) << m_plog->Text();
  const std::vector<ChildProcess> vec = Children("dravix");
  ASSERT_EQ(vec.size(), 1u);
  ASSERT_EQ(vec[0].vecstrArgs.size(), 7u);
  EXPECT_EQ(vec[0].vecstrArgs[6], "maxmemory:" + strLimit.substr(0, 31));
}

// A host killed while idle: unload writes nothing to it and does not wait
// for it; the flatbed's host, still there, ends its session and closes.
TEST_F(DevNexilDravix, UnloadOfAHostThatDied) {
  ConfigureFlatbed();
  OpenDravix(DB_FIRMWARE_ADF);
  const std::vector<ChildProcess> vecFeeder = Children("dravix");
  ASSERT_EQ(vecFeeder.size(), 1u);
  OpenDravix(DB_FIRMWARE_FLATBED);
  ASSERT_EQ(Children("dravix").size(), 2u);
  const uint64_t u64Feeder = vecFeeder[0].u64ProcessId;
  ASSERT_TRUE(devtest::KillChild(u64Feeder));
  const size_t sizetFrom = LogSize();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(m_pdevnexil->Unload(DB_FIRMWARE_BOTH), OS_STS_SUCCESS);
  EXPECT_LT(MillisecondsSince(start), 1000);
  EXPECT_NE(LogFrom(sizetFrom).find("dravix is gone..."), std::string::npos);
  EXPECT_EQ(LogFrom(sizetFrom).find("<DRV2NEX>"), std::string::npos) << LogFrom(sizetFrom);
  EXPECT_TRUE(Reaped(u64Feeder, 0));
  EXPECT_TRUE(Children("dravix").empty());
  std::vector<std::string> vecstrFeeder, vecstrFlatbed;
  for (const devtest::LoggedTask& loggedtask : TaskLog())
    (loggedtask.strUnit == "adf" ? vecstrFeeder : vecstrFlatbed).push_back(loggedtask.strCommand);
  EXPECT_EQ(vecstrFeeder, (std::vector<std::string>{"interfaceopen", "sessionbegin", "querysupport"}));
  EXPECT_EQ(vecstrFlatbed, (std::vector<std::string>{"interfaceopen", "sessionbegin", "querysupport", "sessionend",
                                                     "interfaceclose"}));
}

// A host still there a second after interfaceclose is stopped and
// reaped.
TEST_F(DevNexilDravix, AHostThatDoesNotEndIsStopped) {
  setenv("DRAVIX_LINGER", "10000", 1);
  OpenDravix();
  const uint64_t u64Host = Host();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(m_pdevnexil->Unload(DB_FIRMWARE_ADF), OS_STS_SUCCESS);
  EXPECT_GE(MillisecondsSince(start), 900);
  EXPECT_LT(MillisecondsSince(start), 3000);
  EXPECT_TRUE(m_plog->Contains("dravix did not end, stopping it..."));
  EXPECT_TRUE(Reaped(u64Host, 0));
  EXPECT_EQ(TaskLog().back().strCommand, "interfaceclose");
}

// ---------------------------------------------------------------------------
// Over each channel kind
// ---------------------------------------------------------------------------
class DevNexilDravixSocket : public devtest::DevNexilDravixFixture,
                            public ::testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override {
    DevNexilDravixFixture::SetUp();
    if (*GetParam()) Configure(OS_CFGTAG_FORCEGUISOCKETS, GetParam());
  }

  // After a failed exchange: the unit is gone, its host stopped and reaped;
  // a later task is refused without a word to it; unload does not wait; a
  // new load starts a new host.
  void ExpectGone(uint64_t a_u64Host) {
    EXPECT_FALSE(m_pdevnexil->CheckDravix(DB_FIRMWARE_ADF));
    EXPECT_TRUE(Reaped(a_u64Host, 0));
    const size_t sizetFrom = LogSize();
    EXPECT_EQ(m_pdevnexil->ResourceBegin(DB_FIRMWARE_ADF), OS_STS_FAIL);
    EXPECT_STREQ(m_pdevnexil->NexPassThrough(DB_FIRMWARE_ADF, "<getversion/>"), CDevNexil::s_szFailReply);
    EXPECT_NE(LogFrom(sizetFrom).find("dravix is gone..."), std::string::npos);
    EXPECT_EQ(LogFrom(sizetFrom).find("<DRV2NEX>"), std::string::npos) << LogFrom(sizetFrom);
    for (const char* szKnob :
         {"DRAVIX_CRASHAFTER", "DRAVIX_DELAY", "DRAVIX_BIGREPLY", "DRAVIX_TWICE", "DRAVIX_NOEND", "DRAVIX_NOCONNECT"})
      unsetenv(szKnob);
    ASSERT_EQ(m_pdevnexil->Load(DB_FIRMWARE_ADF, DEV_NEXILCALL_NONE), OS_STS_SUCCESS) << m_plog->Text();
    EXPECT_TRUE(m_pdevnexil->CheckDravix(DB_FIRMWARE_ADF));
    EXPECT_EQ(Version(), "invalidstate");  // a new host, not open yet
    EXPECT_NE(Host(), a_u64Host);
  }
};

// The scan of the in-process tests, in process and then through the host:
// the same outputs. Unload ends the host within its second.
TEST_P(DevNexilDravixSocket, AScanGivesWhatItGivesInProcess) {
  const std::string strPage = TakePage();
  ASSERT_FALSE(strPage.empty());
  std::vector<std::string> avecstrOutputs[2];
  for (const char* szForce : {"1", "0"}) {
    SCOPED_TRACE(szForce);
    std::vector<std::string>& vecstrOutputs = avecstrOutputs[*szForce == '0'];
    Configure(OS_CFGTAG_FORCENEXILCALL, szForce);
    ASSERT_EQ(m_pdevnexil->Load(DB_FIRMWARE_ADF, DEV_NEXILCALL_NONE), OS_STS_SUCCESS) << m_plog->Text();
    ASSERT_EQ(m_pdevnexil->InterfaceOpen(DB_FIRMWARE_ADF), OS_STS_SUCCESS) << m_plog->Text();
    ASSERT_EQ(m_pdevnexil->SessionBegin(DB_FIRMWARE_ADF), OS_STS_SUCCESS) << m_plog->Text();
    ASSERT_EQ(m_pdevnexil->SetupBegin(DB_FIRMWARE_ADF, true), OS_STS_SUCCESS) << m_plog->Text();
    AddStream("bitonal", "window_002", "bw", 150);
    AddStream("color", "window_004", "rgb_24", 100);
    ASSERT_EQ(m_pdevnexil->SetupEnd(DB_FIRMWARE_ADF, false), OS_STS_SUCCESS) << m_plog->Text();
    ASSERT_EQ(m_pdevnexil->ScanBegin(DB_FIRMWARE_ADF, 6), OS_STS_SUCCESS);
    for (int iPage = 0; iPage < 2; ++iPage) {
      ASSERT_EQ(m_pdevnexil->SetInput(strPage.c_str()), OS_STS_SUCCESS) << m_plog->Text();
      std::vector<char> vcOutput(65536);
      while (m_pdevnexil->GetOutput(DB_FIRMWARE_ADF, vcOutput.data(), vcOutput.size()) == DEV_STS_SUCCESS) {
        const std::string strFile = Element(vcOutput.data(), "imagefilename");
        struct stat st = {};
        EXPECT_EQ(stat(strFile.c_str(), &st), 0) << strFile;
        vecstrOutputs.push_back(Element(vcOutput.data(), "windowid") + " " + Element(vcOutput.data(), "imageformat") +
                                " " + Element(vcOutput.data(), "imagesize") + " " + std::to_string(st.st_size));
        m_pdevnexil->ImageEnd(DB_FIRMWARE_ADF, strFile.c_str());
      }
    }
    ASSERT_EQ(m_pdevnexil->ScanEnd(DB_FIRMWARE_ADF, false), OS_STS_SUCCESS);
    const uint64_t u64Host = *szForce == '0' ? Host() : 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(m_pdevnexil->Unload(DB_FIRMWARE_ADF), OS_STS_SUCCESS);
    EXPECT_LT(MillisecondsSince(start), 1000);
    if (u64Host) {
      EXPECT_TRUE(Reaped(u64Host, 0));
    }
  }
  EXPECT_EQ(avecstrOutputs[0].size(), 4u);
  EXPECT_EQ(avecstrOutputs[1], avecstrOutputs[0]);
  EXPECT_TRUE(std::filesystem::is_empty(m_strOutputs));
}

// Replies written in pieces of 100 bytes, and one whose "</task>" comes in
// two: each is returned once whole, as it came in one piece.
TEST_P(DevNexilDravixSocket, RepliesInPiecesAreReturnedWhole) {
  OpenDravix();
  const std::string strWhole = m_pdevnexil->NexPassThrough(DB_FIRMWARE_ADF, "<getversion/>");
  m_pdevnexil->Unload(DB_FIRMWARE_ADF);
  const auto Body = [](const std::string& a_str) { return a_str.substr(a_str.find(" bytes=")); };
  ASSERT_EQ(strWhole.substr(strWhole.size() - 8), "</task>\n");
  // The first piece ends in the middle of "</task>".
  for (const std::string& strPiece : {std::to_string(strWhole.size() - 4), std::string("100")}) {
    SCOPED_TRACE(strPiece);
    setenv("DRAVIX_PIECE", strPiece.c_str(), 1);
    OpenDravix();
    const char* szReply = m_pdevnexil->NexPassThrough(DB_FIRMWARE_ADF, "<getversion/>");
    ASSERT_NE(szReply, nullptr);
    EXPECT_EQ(Body(szReply), Body(strWhole));  // all but the ids
    EXPECT_TRUE(m_pdatabase->ConfigEnumExists("nexil_barcodetype", "code128", DB_CONFIGTARGET_ADF));
    EXPECT_TRUE(m_pdevnexil->CheckDravix(DB_FIRMWARE_ADF));
    m_pdevnexil->Unload(DB_FIRMWARE_ADF);
  }
}

// A host killed 200 ms into its first task, which it answers after three
// seconds: the task gets the fixed fail reply at once, and the unit is
// gone.
TEST_P(DevNexilDravixSocket, AHostKilledDuringATask) {
  setenv("DRAVIX_DELAY", "3000", 1);
  ASSERT_EQ(m_pdevnexil->Load(DB_FIRMWARE_ADF, DEV_NEXILCALL_NONE), OS_STS_SUCCESS) << m_plog->Text();
  const uint64_t u64Host = Host();
  ASSERT_GT(u64Host, 1u);
  std::thread threadKill([u64Host] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    kill(static_cast<pid_t>(u64Host), SIGKILL);  // a child's pid: checked above
  });
  const auto start = std::chrono::steady_clock::now();
  const char* szReply = m_pdevnexil->NexPassThrough(DB_FIRMWARE_ADF, "<getversion/>");
  threadKill.join();
  EXPECT_STREQ(szReply, CDevNexil::s_szFailReply);
  EXPECT_LT(MillisecondsSince(start), 2500);
  // A slow start (under a sanitizer) may be killed before it connected:
  // the task's wait for the connection ends then.
  EXPECT_TRUE(m_plog->Contains("NEXIL problem...") || m_plog->Contains("Accept failed...")) << m_plog->Text();
  ExpectGone(u64Host);
}

// Hosts that answer wrong at a given task: that task gets the fixed fail
// reply (the one before it a real one), and the unit is gone.
TEST_P(DevNexilDravixSocket, HostsThatAnswerWrong) {
  const struct {
    const char* szKnob;
    const char* szValue;
    int iFailing;  // the task, from 1
    const char* szLog;
    int iPauseMs;  // before the failing task
  } acase[] = {
      {"DRAVIX_CRASHAFTER", "5", 6, "NEXIL problem...", 0},
      {"DRAVIX_BIGREPLY", "2", 2, "NEXIL problem...the reply does not fit 1048576 bytes", 0},
      {"DRAVIX_NOEND", "3", 3, "NEXIL problem...", 0},
      // The second copy of the second reply comes 100 ms after the first.
      {"DRAVIX_TWICE", "2", 3, "NEXIL problem...the channel holds an earlier reply", 400},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szKnob);
    setenv(c.szKnob, c.szValue, 1);
    ASSERT_EQ(m_pdevnexil->Load(DB_FIRMWARE_ADF, DEV_NEXILCALL_NONE), OS_STS_SUCCESS) << m_plog->Text();
    const uint64_t u64Host = Host();
    for (int iTask = 1; iTask < c.iFailing; ++iTask) EXPECT_EQ(Version(), "invalidstate") << iTask;
    std::this_thread::sleep_for(std::chrono::milliseconds(c.iPauseMs));
    const size_t sizetFrom = LogSize();
    EXPECT_STREQ(m_pdevnexil->NexPassThrough(DB_FIRMWARE_ADF, "<getversion/>"), CDevNexil::s_szFailReply);
    EXPECT_NE(LogFrom(sizetFrom).find(c.szLog), std::string::npos) << LogFrom(sizetFrom);
    ExpectGone(u64Host);
    m_pdevnexil->Unload(DB_FIRMWARE_ADF);
  }
}

// A task the host takes longer to answer than the limit allows ends at
// the limit, on TCP too, whose reads have no time-out of their own.
TEST_P(DevNexilDravixSocket, ATaskEndsAtItsLimit) {
  setenv("DRAVIX_DELAY", "5000", 1);
  DevSetWaitLimit(DEV_WAIT_DRAVIXREAD, 300);
  ASSERT_EQ(m_pdevnexil->Load(DB_FIRMWARE_ADF, DEV_NEXILCALL_NONE), OS_STS_SUCCESS) << m_plog->Text();
  const uint64_t u64Host = Host();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_STREQ(m_pdevnexil->NexPassThrough(DB_FIRMWARE_ADF, "<getversion/>"), CDevNexil::s_szFailReply);
  EXPECT_LT(MillisecondsSince(start), 2500);
  EXPECT_GE(MillisecondsSince(start), 250);
  DevSetWaitLimit(DEV_WAIT_DRAVIXREAD, -1);
  ExpectGone(u64Host);
}

// Loading only starts the host: a host that never connects is loaded at
// once, and the first task gives up at the accept limit (counted from the
// start), stopping and reaping it; the unit is gone until loaded again.
TEST_P(DevNexilDravixSocket, AHostThatNeverConnects) {
  setenv("DRAVIX_NOCONNECT", "1", 1);
  DevSetWaitLimit(DEV_WAIT_DRAVIXACCEPT, 500);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(m_pdevnexil->Load(DB_FIRMWARE_ADF, DEV_NEXILCALL_NONE), OS_STS_SUCCESS) << m_plog->Text();
  const uint64_t u64Host = Host();
  ASSERT_GT(u64Host, 1u);
  EXPECT_TRUE(m_pdevnexil->CheckDravix(DB_FIRMWARE_ADF));
  EXPECT_EQ(m_pdevnexil->InterfaceOpen(DB_FIRMWARE_ADF), OS_STS_FAIL);
  EXPECT_LT(MillisecondsSince(start), 3000);
  EXPECT_GE(MillisecondsSince(start), 450);
  EXPECT_TRUE(m_plog->Contains("Accept failed...5")) << m_plog->Text();
  DevSetWaitLimit(DEV_WAIT_DRAVIXACCEPT, -1);
  unsetenv("DRAVIX_NOCONNECT");
  ExpectGone(u64Host);
}

// A host that ends before it connects (a knob it cannot read): the first
// task fails as soon as that is seen, long before the accept limit.
TEST_P(DevNexilDravixSocket, AHostThatDiesBeforeItConnects) {
  setenv("DRAVIX_DELAY", "soon", 1);
  DevSetWaitLimit(DEV_WAIT_DRAVIXACCEPT, 20000);
  ASSERT_EQ(m_pdevnexil->Load(DB_FIRMWARE_ADF, DEV_NEXILCALL_NONE), OS_STS_SUCCESS) << m_plog->Text();
  const uint64_t u64Host = Host();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(m_pdevnexil->InterfaceOpen(DB_FIRMWARE_ADF), OS_STS_FAIL);
  EXPECT_LT(MillisecondsSince(start), 10000);
  DevSetWaitLimit(DEV_WAIT_DRAVIXACCEPT, -1);
  unsetenv("DRAVIX_DELAY");
  if (u64Host > 1) {
    EXPECT_TRUE(Reaped(u64Host, 2000));
  }
  EXPECT_FALSE(m_pdevnexil->CheckDravix(DB_FIRMWARE_ADF));
}

// The host started on one thread is waited for by the first task on
// another while the first asks after the unit; a host started and never
// given a task is stopped by unload without waiting for its second.
TEST_P(DevNexilDravixSocket, TheFirstTaskOnAnotherThreadWaitsForTheHost) {
  ASSERT_EQ(m_pdevnexil->Load(DB_FIRMWARE_ADF, DEV_NEXILCALL_NONE), OS_STS_SUCCESS) << m_plog->Text();
  EOSSTS eosstsOpen = OS_STS_FAIL;
  std::thread threadOpen([&] { eosstsOpen = m_pdevnexil->InterfaceOpen(DB_FIRMWARE_ADF); });
  for (int i = 0; i < 20; ++i) {
    EXPECT_TRUE(m_pdevnexil->CheckDravix(DB_FIRMWARE_ADF));
    EXPECT_EQ(m_pdevnexil->GetUnitNexilCall(DB_FIRMWARE_ADF), DEV_NEXILCALL_DRAVIXDEFAULT);
  }
  threadOpen.join();
  EXPECT_EQ(eosstsOpen, OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_TRUE(m_pdevnexil->CheckDravix(DB_FIRMWARE_ADF));
  EXPECT_EQ(m_pdevnexil->Unload(DB_FIRMWARE_ADF), OS_STS_SUCCESS);

  setenv("DRAVIX_NOCONNECT", "1", 1);
  ASSERT_EQ(m_pdevnexil->Load(DB_FIRMWARE_ADF, DEV_NEXILCALL_NONE), OS_STS_SUCCESS) << m_plog->Text();
  const uint64_t u64Host = Host();
  const size_t sizetFrom = LogSize();
  EXPECT_EQ(m_pdevnexil->Unload(DB_FIRMWARE_ADF), OS_STS_SUCCESS);
  EXPECT_EQ(LogFrom(sizetFrom).find("<DRV2NEX>"), std::string::npos) << LogFrom(sizetFrom);
  EXPECT_EQ(LogFrom(sizetFrom).find("dravix did not end"), std::string::npos) << LogFrom(sizetFrom);
  EXPECT_TRUE(Reaped(u64Host, 0));
  unsetenv("DRAVIX_NOCONNECT");
}

INSTANTIATE_TEST_SUITE_P(Transports, DevNexilDravixSocket, ::testing::Values("", "1", "3"),
                         [](const ::testing::TestParamInfo<const char*>& a_info) {
                           return *a_info.param == '\0'  ? std::string("MessageQueues")
                                  : *a_info.param == '1' ? std::string("Tcp")
                                                         : std::string("SharedMemory");
                         });

}  // namespace
