// The link over each channel kind with the stand-in, and over TCP and
// message queues with the Python peer, which judges ids and byte counts by
// the framing rules alone: the tasks the link writes, the tasks it reads
// and queues, the fast path while the dispatcher is held, the child's
// death, and the stop.
#include <signal.h>

#include "drv_uilink_fixture.h"

using namespace uilinktest;

class DrvUiLinkChannel : public UiLinkChannelFixture {};

// Ids from 1, each text's exact length, an idle health check taking the
// next id; the reply attribute stays 20 zeros.
TEST_P(DrvUiLinkChannel, WritesIdsFromOneWithTheirExactLength) {
  m_owner.m_lIdle = 100;
  StartConnected(Peer(), "");
  ASSERT_EQ(m_plink->Send(Command("first").c_str(), __FILE__, __LINE__), OS_STS_SUCCESS);
  ASSERT_TRUE(Eventually([&] { return CountOf(ChildReceived(), "first") == 1; })) << m_plog->Text();
  m_owner.m_blHealth = true;
  ASSERT_TRUE(Eventually([&] { return CountOf(ChildReceived(), "healthcheck") > 0; })) << m_plog->Text();
  m_owner.m_blHealth = false;
  ASSERT_EQ(m_plink->Send(Command("second", "\n\t\t<value>" + std::string(300, 'v') + "</value>\n\t").c_str(),
                          __FILE__, __LINE__),
            OS_STS_SUCCESS);
  ASSERT_TRUE(Eventually([&] { return CountOf(ChildReceived(), "second") == 1; })) << m_plog->Text();
  const std::vector<LogLine> veclogline = ChildLog("recv");
  ASSERT_GE(veclogline.size(), 3u);
  EXPECT_EQ(veclogline[0].vecstrField[5], "first");
  EXPECT_EQ(veclogline[1].vecstrField[5], "healthcheck");
  EXPECT_EQ(veclogline.back().vecstrField[5], "second");
  for (size_t sizet = 0; sizet < veclogline.size(); ++sizet) {
    const std::vector<std::string>& vecstr = veclogline[sizet].vecstrField;  // ms id reply bytes length command
    char szId[32];
    std::snprintf(szId, sizeof szId, "%020zu", sizet + 1);
    EXPECT_EQ(vecstr[1], szId) << vecstr[5];
    EXPECT_EQ(vecstr[2], std::string(20, '0'));
    ASSERT_EQ(vecstr[3].size(), 20u);
    EXPECT_EQ(std::stoull(vecstr[3]), std::stoull(vecstr[4])) << vecstr[5];
  }
  EXPECT_TRUE(ChildLog("error").empty()) << testsupport::ReadFile(m_strStandinLog);
}

// Two tasks in one write, one in three writes and one of a MiB come in
// order, each queued once and whole.
TEST_P(DrvUiLinkChannel, QueuesWholeTasksInTheirOrder) {
  StartConnected(Peer(), "pair first second\nsplit 3 third\nbig 1048576 fourth\n");
  ASSERT_TRUE(m_owner.WaitFor([&] { return m_owner.m_vecdispatched.size() >= 5; })) << m_plog->Text();
  EXPECT_EQ(m_owner.Commands(), (std::vector<std::string>{"uiready", "first", "second", "third", "fourth"}));
  // The padding inside the command: the MiB less the header and the tags.
  EXPECT_EQ(m_owner.m_vecdispatched[4].lContent, 1048576 - 91 - 9 - 18);
  EXPECT_TRUE(m_owner.m_vecpairBad.empty());
  EXPECT_EQ(m_owner.m_iLost, 0);
}

// The dispatcher held inside the first task: forty more tasks are read on
// (the ring holds 32, the rest wait in the buffer), a fast-path task
// behind them is handled on the reader at once and never queued, and the
// forty arrive in order once the dispatcher is let go.
TEST_P(DrvUiLinkChannel, KeepsReadingWhileTheDispatcherIsHeld) {
  m_owner.Hold(true);
  StartConnected(Peer(), "flood 40 queued\nsend requestscancancel\n");
  ASSERT_TRUE(m_owner.WaitFor([&] { return !m_owner.m_vecpairFast.empty(); })) << m_plog->Text();
  {
    std::lock_guard<std::mutex> lock(m_owner.m_mutex);
    EXPECT_TRUE(m_owner.m_vecdispatched.empty());
    EXPECT_EQ(m_owner.m_vecpairFast[0].first, 42u);  // its id: after uiready and the forty
    EXPECT_EQ(m_owner.m_vecpairFast[0].second, "Gui2Drv");
  }
  m_owner.Hold(false);
  ASSERT_TRUE(m_owner.WaitFor([&] { return m_owner.m_vecdispatched.size() >= 41; })) << m_plog->Text();
  std::lock_guard<std::mutex> lock(m_owner.m_mutex);
  ASSERT_EQ(m_owner.m_vecdispatched.size(), 41u);
  for (size_t sizet = 0; sizet < 41; ++sizet) {
    EXPECT_EQ(std::stoull(m_owner.m_vecdispatched[sizet].strId), sizet + 1);
    EXPECT_EQ(m_owner.m_vecdispatched[sizet].strCommand, sizet ? "queued" : "uiready");
  }
}

// A child killed: the link is lost at once (the reader ends, the event is
// set), the owner is told once, Send answers 1, and the child is reaped.
TEST_P(DrvUiLinkChannel, AKilledChildLosesTheLinkOnce) {
  StartConnected(Peer(), "");
  ASSERT_TRUE(m_owner.WaitFor([&] { return !m_owner.m_vecdispatched.empty(); }));
  m_plink->MarkReady();
  EXPECT_EQ(m_plink->GetState(), DRV_UILINKSTATE_READY);
  const uint64_t u64Child = m_plink->GetChildProcessId();
  ASSERT_NE(u64Child, 0u);
  ASSERT_EQ(kill(static_cast<pid_t>(u64Child), SIGKILL), 0);
  const auto timepointKill = Clock::now();
  ASSERT_TRUE(m_owner.WaitFor([&] { return m_owner.m_iLost > 0; }));
  const int64_t i64Lost =
      std::chrono::duration_cast<std::chrono::milliseconds>(m_owner.m_timepointLost - timepointKill).count();
  EXPECT_LT(i64Lost, 200) << "the loss was told after " << i64Lost << " ms";
  EXPECT_TRUE(m_owner.m_blLostConnected);
  ASSERT_TRUE(Eventually([&] { return !m_plink->IsReading(); }));
  EXPECT_EQ(m_plink->GetState(), DRV_UILINKSTATE_ENDED);
  EXPECT_EQ(m_plink->EventWait(0), OS_STS_SUCCESS);
  EXPECT_EQ(m_plink->Send(Command("late").c_str(), "late.cpp", 7), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Communication lost with GUI...late.cpp at 7"));
  EXPECT_TRUE(Eventually([&] { return ProcessState(u64Child).empty(); })) << ProcessState(u64Child);
  m_plink->Stop();
  EXPECT_EQ(m_owner.m_iLost, 1);
  EXPECT_EQ(m_plink->GetState(), DRV_UILINKSTATE_NONE);
}

// The stop: the exit task reaches the child, which ends; it is reaped and
// no thread of the link is left.
TEST_P(DrvUiLinkChannel, StopSendsTheExitTaskAndLeavesNothing) {
  StartConnected(Peer(), "");
  const uint64_t u64Child = m_plink->GetChildProcessId();
  EXPECT_EQ(LinkThreads().size(), 4u);
  m_plink->Stop();
  EXPECT_EQ(CountOf(ChildReceived(), "uiexit"), 1u);
  const std::vector<LogLine> vecloglineExit = ChildLog("exit");
  ASSERT_EQ(vecloglineExit.size(), 1u) << testsupport::ReadFile(m_strStandinLog);
  EXPECT_EQ(vecloglineExit[0].vecstrField[2], "the exit task");
  EXPECT_EQ(ProcessState(u64Child), "");
  EXPECT_TRUE(LinkThreads().empty());
  EXPECT_EQ(m_owner.m_iLost, 0);
  EXPECT_EQ(m_plink->Send(Command("after").c_str(), __FILE__, __LINE__), OS_STS_SUCCESS);  // no link: nothing
  EXPECT_FALSE(m_plog->Contains("did not end"));
}

INSTANTIATE_TEST_SUITE_P(Channels, DrvUiLinkChannel, ::testing::ValuesIn(s_achannelAll), ChannelName);

class DrvUiLinkStandin : public UiLinkChannelFixture {};

// A child deaf to the exit task and to SIGTERM is killed after its grace;
// the stop stays within its bounds.
TEST_P(DrvUiLinkStandin, AChildThatWillNotEndIsKilled) {
  DrvUiSetWaitLimit(DRV_UIWAIT_EXITPOLL, 500);
  StartConnected(false, "ignoreexit\nignoreterm\n");
  const uint64_t u64Child = m_plink->GetChildProcessId();
  const auto start = Clock::now();
  m_plink->Stop();
  EXPECT_LT(MillisecondsSince(start), 10000);
  EXPECT_EQ(CountOf(ChildReceived(), "uiexit"), 1u);
  EXPECT_TRUE(ChildLog("exit").empty());
  EXPECT_EQ(ProcessState(u64Child), "");
  EXPECT_TRUE(m_plog->Contains("The GUI did not end, stopping it..."));
  EXPECT_TRUE(m_plog->Contains("SpawnStop: the child did not end, killing it"));
  EXPECT_TRUE(LinkThreads().empty());
}

// Two links started at once (the GUI's and the assistant's), twenty times:
// each child connects to its own link, whose addresses it was given.
TEST_P(DrvUiLinkStandin, TwoLinksAtOnceEachGiveTheirChildTheirOwnAddresses) {
  for (int iRound = 0; iRound < 20; ++iRound) {
    SCOPED_TRACE(iRound);
    TestOwner atestowner[2];
    std::unique_ptr<CDrvUiLink> aplink[2];
    std::string astrLog[2];
    for (int i = 0; i < 2; ++i) {
      astrLog[i] = testsupport::RootPath("child" + std::to_string(iRound) + "_" + std::to_string(i) + ".log");
      const OsSpawnVariable osspawnvariable = {"UISTANDIN_LOG", astrLog[i].c_str()};
      aplink[i] = std::make_unique<CDrvUiLink>(&atestowner[i], i ? AssistantNames() : GuiNames());
      ASSERT_EQ(aplink[i]->Start(SCANDRV_UISTANDIN, &osspawnvariable, 1), OS_STS_SUCCESS);
    }
    for (int i = 0; i < 2; ++i) {
      ASSERT_EQ(aplink[i]->WaitStart(20000), DRV_UILINKSTATE_CONNECTED) << m_plog->Text();
      ASSERT_TRUE(atestowner[i].WaitFor([&] { return !atestowner[i].m_vecdispatched.empty(); }));
      char szUiSockets[4096];
      aplink[i]->GetUiSockets(szUiSockets, sizeof szUiSockets);
      m_strStandinLog = astrLog[i];
      std::string strEscaped;
      for (char c : std::string(szUiSockets)) strEscaped += c == '\n' ? "\\n" : c == '\t' ? "\\t" : std::string(1, c);
      EXPECT_EQ(ChildEnvironment("PMX_UISOCKETS"), strEscaped);
      EXPECT_EQ(ChildEnvironment("PMX_UISOCKETSUNICODE"), strEscaped);
    }
    for (auto& plink : aplink) plink->Stop();
  }
}

INSTANTIATE_TEST_SUITE_P(Channels, DrvUiLinkStandin, ::testing::ValuesIn(s_achannelStandin), ChannelName);
