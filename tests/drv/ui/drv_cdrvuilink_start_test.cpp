// The link's start: the child's own environment in a session of its own
// (strace's view in check_uilink_spawn.py), starts that fail, the stop
// during the model wait, and a peer started by other means ("*").
#include <sys/socket.h>
#include <netinet/in.h>

#include <fstream>

#include "drv_uilink_fixture.h"

using namespace uilinktest;

class DrvUiLinkSpawn : public UiLinkFixture {};

// The owner's variables and the addresses reach the child alone; the child
// runs in a session of its own; our own environment holds none of them.
TEST_F(DrvUiLinkSpawn, TheChildGetsItsOwnVariablesInASessionOfItsOwn) {
  Configure(OS_CFGTAG_FORCEGUISOCKETS, "1");
  StartConnected(false, "", {{"PMX_UIRESOURCEFILE", "/opt/scandrv/kv/lib/libscandrv.so"}, {"UI_TIMEOUT", "30"},
                             {"PMX_FIRMWARE", "firmware.bin"}});
  ASSERT_TRUE(m_owner.WaitFor([&] { return !m_owner.m_vecdispatched.empty(); }));
  const uint64_t u64Child = m_plink->GetChildProcessId();
  EXPECT_EQ(getsid(static_cast<pid_t>(u64Child)), static_cast<pid_t>(u64Child));
  EXPECT_EQ(ChildEnvironment("PMX_UIRESOURCEFILE"), "/opt/scandrv/kv/lib/libscandrv.so");
  EXPECT_EQ(ChildEnvironment("UI_TIMEOUT"), "30");
  EXPECT_EQ(ChildEnvironment("PMX_FIRMWARE"), "firmware.bin");
  EXPECT_NE(ChildEnvironment("PMX_UISOCKETS").find("<drv2gui>"), std::string::npos);
  const std::vector<LogLine> vecloglineArgs = ChildLog("argv");
  ASSERT_EQ(vecloglineArgs.size(), 1u);
  EXPECT_EQ(vecloglineArgs[0].vecstrField[1], SCANDRV_UISTANDIN);
  std::ifstream ifstream("/proc/self/environ", std::ios::binary);
  const std::string strEnviron((std::istreambuf_iterator<char>(ifstream)), std::istreambuf_iterator<char>());
  for (const char* szName : {"PMX_UISOCKETS", "PMX_UISOCKETSUNICODE", "PMX_UIRESOURCEFILE", "UI_TIMEOUT",
                             "PMX_FIRMWARE", "UISTANDIN_LOG"}) {
    EXPECT_EQ(getenv(szName), nullptr) << szName;
    EXPECT_EQ(strEnviron.find(std::string(szName) + "="), std::string::npos) << szName;
  }
  m_plink->Stop();
}

class DrvUiLinkStart : public UiLinkFixture {
 protected:
  // A start that fails: the state ends, the owner is told once (never
  // connected), Send answers 1, and the stop leaves nothing.
  void ExpectFailedStart(const char* a_szLogged) {
    ASSERT_EQ(m_plink->WaitStart(20000), DRV_UILINKSTATE_ENDED) << m_plog->Text();
    ASSERT_TRUE(m_owner.WaitFor([&] { return m_owner.m_iLost > 0; }));
    EXPECT_FALSE(m_owner.m_blLostConnected);
    if (*a_szLogged) {
      EXPECT_TRUE(m_plog->Contains(a_szLogged)) << m_plog->Text();
    }
    EXPECT_EQ(m_plink->EventWait(0), OS_STS_SUCCESS);
    EXPECT_EQ(m_plink->Send(Command("late").c_str(), "late.cpp", 3), OS_STS_FAIL);
    EXPECT_TRUE(m_plog->Contains("Communication lost with GUI. GUI failed to load...late.cpp at 3"));
    m_plink->Stop();
    EXPECT_EQ(m_owner.m_iLost, 1);
    EXPECT_TRUE(LinkThreads().empty());
    EXPECT_NE(m_plink->EventWait(0), OS_STS_FAIL);  // waiters' event outlives the start
  }
};

TEST_F(DrvUiLinkStart, AMissingOrNotExecutableProgramFails) {
  Configure(OS_CFGTAG_FORCEGUISOCKETS, "1");
  const std::string strPlain = testsupport::RootPath("plain");
  testsupport::WriteFile(strPlain, "#!/bin/sh\n");
  for (const std::string& strPath : {testsupport::RootPath("missing"), strPlain}) {
    SCOPED_TRACE(strPath);
    m_owner.m_iLost = 0;
    StartLink(false, "", {}, strPath.c_str());
    ExpectFailedStart(("Failed to launch the GUI...<" + strPath + ">").c_str());
  }
}

// A child that ends before it connects ends the accept at once, not at the
// accept's limit; the child is reaped.
TEST_F(DrvUiLinkStart, AChildEndingBeforeItConnectsEndsTheAccept) {
  for (const char* szKind : {"1", "5", "8"}) {
    SCOPED_TRACE(szKind);
    Configure(OS_CFGTAG_FORCEGUISOCKETS, szKind);
    m_owner.m_iLost = 0;
    DrvUiSetWaitLimit(DRV_UIWAIT_ACCEPT, 60000);
    const auto start = Clock::now();
    StartLink(false, "", {}, "/bin/true");
    // The child may end before it is seen: then it ends the start there.
    ExpectFailedStart("");
    EXPECT_TRUE(m_plog->Contains("Accept failed on DRV2GUI...13") ||
                m_plog->Contains("The GUI ended as it started...</bin/true>"));
    EXPECT_LT(MillisecondsSince(start), 15000);
  }
}

// A port in use: the channel cannot be made.
TEST_F(DrvUiLinkStart, APortInUseFails) {
  Configure(OS_CFGTAG_FORCEGUISOCKETS, "1");
  const int iSocket = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(iSocket, 0);
  sockaddr_in sockaddrin = {};
  sockaddrin.sin_family = AF_INET;
  sockaddrin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(iSocket, reinterpret_cast<sockaddr*>(&sockaddrin), sizeof sockaddrin), 0);
  ASSERT_EQ(listen(iSocket, 1), 0);
  socklen_t socklen = sizeof sockaddrin;
  ASSERT_EQ(getsockname(iSocket, reinterpret_cast<sockaddr*>(&sockaddrin), &socklen), 0);
  Configure(OS_CFGTAG_FORCEPORTTWAIN, std::to_string(ntohs(sockaddrin.sin_port)));
  StartLink(false, "");
  ExpectFailedStart("Failed to create DRV2GUI socket...");
  EXPECT_EQ(m_plink->GetChildProcessId(), 0u);
  close(iSocket);
}

// No model name within the wait's limit: no child.
TEST_F(DrvUiLinkStart, NoModelNoChild) {
  Configure(OS_CFGTAG_FORCEGUISOCKETS, "1");
  DrvUiSetWaitLimit(DRV_UIWAIT_MODEL, 300);
  m_owner.m_blModel = false;
  StartLink(false, "");
  ExpectFailedStart("GUI was stopped before starting...0 1");
  EXPECT_FALSE(testsupport::FileExists(m_strStandinLog));
}

// A stop during the model wait returns at once; nothing was started and
// nothing is lost.
TEST_F(DrvUiLinkStart, AStopDuringTheModelWaitReturnsAtOnce) {
  Configure(OS_CFGTAG_FORCEGUISOCKETS, "1");
  DrvUiSetWaitLimit(DRV_UIWAIT_MODEL, 60000);
  m_owner.m_blModel = false;
  StartLink(false, "");
  ASSERT_TRUE(Eventually([&] { return m_plog->Contains("### GUI is <"); }));
  const auto start = Clock::now();
  m_plink->Stop();
  EXPECT_LT(MillisecondsSince(start), 5000);
  EXPECT_EQ(m_owner.m_iLost, 0);
  EXPECT_FALSE(testsupport::FileExists(m_strStandinLog));
  EXPECT_TRUE(LinkThreads().empty());
}

// "*": nothing is spawned and no addresses are published; a peer started
// by other means connects to the configured ports within the accept's
// limit and talks as a child would.
TEST_F(DrvUiLinkStart, AStarPathWaitsForAPeerStartedElsewhere) {
  Configure(OS_CFGTAG_FORCEGUISOCKETS, "1");
  uint16_t au16Port[2] = {};
  for (uint16_t& u16Port : au16Port) {
    const int iSocket = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sockaddrin = {};
    sockaddrin.sin_family = AF_INET;
    sockaddrin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(iSocket, reinterpret_cast<sockaddr*>(&sockaddrin), sizeof sockaddrin);
    socklen_t socklen = sizeof sockaddrin;
    getsockname(iSocket, reinterpret_cast<sockaddr*>(&sockaddrin), &socklen);
    u16Port = ntohs(sockaddrin.sin_port);
    close(iSocket);
  }
  Configure(OS_CFGTAG_FORCEPORTTWAIN, std::to_string(au16Port[0]));
  Configure(OS_CFGTAG_FORCEPORTGUI, std::to_string(au16Port[1]));
  StartLink(false, "", {}, "*");
  COsSocket ossocketIn, ossocketOut;
  ASSERT_TRUE(Eventually([&] {
    return ossocketIn.Connect("127.0.0.1", std::to_string(au16Port[0]).c_str(), "DRV2GUI", 0, false) ==
           OS_STS_SUCCESS;
  }));
  ASSERT_EQ(ossocketOut.Connect("127.0.0.1", std::to_string(au16Port[1]).c_str(), "GUI2DRV", 0, false),
            OS_STS_SUCCESS);
  ASSERT_EQ(m_plink->WaitStart(20000), DRV_UILINKSTATE_CONNECTED) << m_plog->Text();
  EXPECT_EQ(m_plink->GetChildProcessId(), 0u);
  char szUiSockets[64] = "x";
  m_plink->GetUiSockets(szUiSockets, sizeof szUiSockets);
  EXPECT_STREQ(szUiSockets, "");
  ASSERT_EQ(m_plink->Send(Command("hello").c_str(), __FILE__, __LINE__), OS_STS_SUCCESS);
  std::string strRead;
  ASSERT_TRUE(Eventually([&] {
    char sz[4096] = "";
    uint64_t u64Read = 0;
    if (ossocketIn.HasData() && ossocketIn.Read(sz, sizeof sz, &u64Read, 0, 0, nullptr, nullptr) == OS_STS_SUCCESS)
      strRead.append(sz, u64Read);
    return strRead.find("</task>") != std::string::npos;
  }));
  EXPECT_NE(strRead.find("<hello>"), std::string::npos);
  const std::string strTask = ChildTask("00000000000000000001", "fromelsewhere");
  uint64_t u64Written = 0;
  ASSERT_EQ(ossocketOut.Write(strTask.data(), strTask.size(), &u64Written, 1000, 0), OS_STS_SUCCESS);
  ASSERT_TRUE(m_owner.WaitFor([&] { return !m_owner.m_vecdispatched.empty(); }));
  EXPECT_EQ(m_owner.Commands(), std::vector<std::string>{"fromelsewhere"});
  ossocketOut.Close();  // the peer's end ends the reader
  m_plink->Stop();
  EXPECT_TRUE(LinkThreads().empty());
}

// Nobody connects to "*": the start gives up at the accept's limit.
TEST_F(DrvUiLinkStart, AStarPathWithoutAPeerEndsAtTheAcceptLimit) {
  Configure(OS_CFGTAG_FORCEGUISOCKETS, "1");
  DrvUiSetWaitLimit(DRV_UIWAIT_ACCEPT, 300);
  StartLink(false, "", {}, "*");
  ExpectFailedStart("Accept failed on DRV2GUI...5");
}
