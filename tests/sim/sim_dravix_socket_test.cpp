// The host program of the image library, started as the device engine
// starts it (the thread service's Spawn with the seven arguments), over each
// channel kind: a scan's tasks cross and interfaceclose ends it; replies
// that come late and in small pieces are whole once "</task>" is there; a
// reply beyond 1 MiB arrives whole; and the host never outlives its parent,
// an injected crash is seen as the peer gone, and a host that never connects
// gives a time-out, never a hang.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <string>
#include <thread>

#include "../os/io/os_cossocket_testutil.h"
#include "os_cossocket.h"
#include "os_costhread.h"
#include "sim_task_testutil.h"
#include "test_support.h"

namespace {

using synctest::Fork;
using synctest::Pipe;
using synctest::Reap;
using simtest::Element;
using simtest::Leaf;
using simtest::Task;

constexpr int64_t kSpawnFlags = 185;  // as the device engine passes them
constexpr uint32_t kReplyMs = 20000;  // far beyond any reply of a live host

int64_t MillisecondsSince(std::chrono::steady_clock::time_point a_start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - a_start).count();
}

// Whether the process has ended within the time (a zombie has).
bool Ends(uint64_t a_u64ProcessId, int a_iMilliseconds) {
  const auto start = std::chrono::steady_clock::now();
  while (COsThread::IsProcessRunning(a_u64ProcessId, false)) {
    if (MillisecondsSince(start) > a_iMilliseconds) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// The parent's side, as the device engine does it: a channel of the kind
// named "DravixNexil", the host spawned with its address, then accepted and
// watched.
class CHostPeer {
 public:
  // Creates, publishes and spawns; the status of the Accept that follows.
  EOSSTS Start(EOSSOCKETTYPE a_eossockettype, uint32_t a_u32AcceptMs = 10000) {
    if (m_ossocket.Create(nullptr, "", a_eossockettype, "DravixNexil") != OS_STS_SUCCESS ||
        m_ossocket.Listen(1) != OS_STS_SUCCESS) {
      return OS_STS_FAIL;
    }
    char szAddress[64] = "", szPort[2048] = "";
    if (m_ossocket.GetAddress(szAddress, sizeof szAddress, szPort, sizeof szPort) != OS_STS_SUCCESS) {
      return OS_STS_FAIL;
    }
    char szPid[32];
    std::snprintf(szPid, sizeof szPid, "pid:%016" PRIx64, COsThread::GetProcessId());
    const std::string strDll = std::string("dll:") + NEXSIM_ADF_LIBRARY;
    const std::string strAddress = std::string("addr:") + szAddress;
    const std::string strPort = std::string("port:") + szPort;
    if (m_osthread.Spawn(kSpawnFlags, NEXSIM_DRAVIX, NEXSIM_DRAVIX, strDll.c_str(), "entry:NexEntry",
                         strAddress.c_str(), strPort.c_str(), szPid, "maxmemory:", nullptr) != OS_STS_SUCCESS) {
      return OS_STS_FAIL;
    }
    m_u64Host = m_osthread.SpawnProcessId();
    const EOSSTS eossts = m_ossocket.Accept(a_u32AcceptMs, &m_osthread, nullptr);
    if (eossts == OS_STS_SUCCESS) m_ossocket.MonitorChildProcess(m_u64Host);
    return eossts;
  }

  // Writes the task and reads until "</task>" has come; the failing status
  // otherwise.
  EOSSTS Exchange(const std::string& a_strTask, std::string& a_strReply, uint32_t a_u32Ms = kReplyMs) {
    a_strReply.clear();
    uint64_t u64Written = 0;
    EOSSTS eossts = m_ossocket.Write(a_strTask.data(), a_strTask.size(), &u64Written, 10000, 0);
    if (eossts != OS_STS_SUCCESS) return eossts;
    std::string strBuffer(65536, '\0');
    while (a_strReply.find("</task>") == std::string::npos) {
      uint64_t u64Read = 0;
      eossts = m_ossocket.Read(strBuffer.data(), strBuffer.size(), &u64Read, a_u32Ms, 0, nullptr, nullptr);
      if (eossts != OS_STS_SUCCESS) return eossts;
      a_strReply.append(strBuffer, 0, u64Read);
      ++m_iReads;
    }
    return OS_STS_SUCCESS;
  }

  // The status word of a task's reply ("" when none came).
  std::string Send(const std::string& a_strCommand, const std::string& a_strBody = "",
                   std::string* a_pstrReply = nullptr) {
    std::string strReply;
    const EOSSTS eossts = Exchange(Task(++m_iId, a_strCommand, a_strBody), strReply);
    if (a_pstrReply) *a_pstrReply = strReply;
    return eossts == OS_STS_SUCCESS ? Element(strReply, "status") : std::string();
  }

  COsSocket m_ossocket;
  COsThread m_osthread;
  uint64_t m_u64Host = 0;
  int m_iId = 0;
  int m_iReads = 0;
};

class DravixSocket : public sockettest::LocalChannelTest {
 protected:
  void SetUp() override {
    LocalChannelTest::SetUp();
    // The host finds the named objects of a shared-memory channel below the
    // root that the parent's published service arguments name.
    m_strArguments =
        std::string("<arguments><rootpath>") + m_cfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_ROOTPATH) + "</rootpath></arguments>";
    setenv("PMX_OSSERVICESARGUMENTS", m_strArguments.c_str(), 1);
    m_strImages = testsupport::RootPath("images");
    testsupport::RunProgram({"mkdir", "-p", m_strImages});
    setenv("NEXSIM_IMAGEDIRECTORY", m_strImages.c_str(), 1);
    COsThread::SetSpawnStopWait(500);
  }
  void TearDown() override {
    COsThread::SetSpawnStopWait(-1);
    LocalChannelTest::TearDown();
  }

  // A gray page of 40 x 60 pixels at 100 dpi, its description as the
  // device manager gives it.
  std::string Page() {
    const std::string strPath = testsupport::RootPath("page.raw");
    testsupport::WriteFile(strPath, std::string(40 * 60, '\x40'));
    return Leaf("imageid", "1") + Leaf("cameratype", "front") + Leaf("cameraid", "front") +
           Leaf("compressionmode", "none") + Leaf("imagefilename", strPath) + Leaf("imageformat", "gray_8") +
           Leaf("imagewidth", "480") + Leaf("imageheight", "720") + Leaf("imagesize", "2400") +
           Leaf("imageresolutionx", "100_dpi");
  }

  std::string m_strArguments;
  std::string m_strImages;
};

class DravixSocketKinds : public DravixSocket, public ::testing::WithParamInterface<EOSSOCKETTYPE> {};

TEST_P(DravixSocketKinds, AScanCrossesAndInterfaceCloseEndsTheHost) {
  CHostPeer hostpeer;
  ASSERT_EQ(OS_STS_SUCCESS, hostpeer.Start(GetParam()));
  std::string strReply;
  EXPECT_EQ("success", hostpeer.Send("interfaceopen", Leaf("usesession", "true")));
  EXPECT_EQ("success", hostpeer.Send("sessionbegin", Leaf("eolmode", "none") + Leaf("language", "en_usa")));
  EXPECT_EQ("success", hostpeer.Send("querysupport", "", &strReply));
  EXPECT_NE(std::string::npos, strReply.find("<id>barcodetype</id>"));
  EXPECT_EQ("success", hostpeer.Send("setupbegin", Leaf("setupscan", "true")));
  for (const auto& window : {std::make_pair("bitonal", "bw"), std::make_pair("color", "rgb_24")}) {
    EXPECT_EQ("success", hostpeer.Send("windowadd", Leaf("cameraid", "front") + Leaf("windowtype", window.first) +
                                                        Leaf("windowid", window.second) +
                                                        Leaf("imageformat", window.second) +
                                                        Leaf("imageresolutionx", "200_dpi")));
  }
  EXPECT_EQ("success", hostpeer.Send("setupend", Leaf("cancel", "false")));
  EXPECT_EQ("success", hostpeer.Send("scanbegin", Leaf("imagebuffercount", "3")));
  EXPECT_EQ("success", hostpeer.Send("setinput", Page()));
  // Twice the resolution: 80 x 120 pixels, one bit and three bytes each.
  std::vector<std::string> vstrOutput;
  for (const char* szSize : {"1200", "28800"}) {
    EXPECT_EQ("success", hostpeer.Send("getoutput", "", &strReply));
    EXPECT_EQ(szSize, Element(strReply, "imagesize"));
    vstrOutput.push_back(Element(strReply, "imagefilename"));
    EXPECT_EQ(std::stoul(szSize), testsupport::ReadFile(vstrOutput.back()).size());
  }
  EXPECT_EQ("endofoutput", hostpeer.Send("getoutput"));
  EXPECT_EQ("success", hostpeer.Send("imageend", Leaf("imagefilename", vstrOutput[0])));
  EXPECT_FALSE(testsupport::FileExists(vstrOutput[0]));
  EXPECT_TRUE(testsupport::FileExists(vstrOutput[1]));
  EXPECT_EQ("success", hostpeer.Send("scanend"));
  EXPECT_FALSE(testsupport::FileExists(vstrOutput[1]));
  EXPECT_EQ("success", hostpeer.Send("getversion", "", &strReply));
  EXPECT_EQ("6100200", Element(strReply, "versionnumber"));
  EXPECT_EQ("success", hostpeer.Send("sessionend"));
  EXPECT_EQ("success", hostpeer.Send("interfaceclose"));
  EXPECT_EQ(OS_STS_SUCCESS, hostpeer.m_osthread.SpawnWait(5000));
  EXPECT_TRUE(Ends(hostpeer.m_u64Host, 1000));
}

TEST_P(DravixSocketKinds, LateRepliesInSmallPiecesArriveWhole) {
  // Pieces of a few bytes, a millisecond apart: the reply's pieces span tens
  // of milliseconds, so that even a reader slowed by a loaded machine meets
  // more than one read.
  setenv("DRAVIX_PIECE", "5", 1);
  setenv("DRAVIX_DELAY", "30", 1);
  CHostPeer hostpeer;
  ASSERT_EQ(OS_STS_SUCCESS, hostpeer.Start(GetParam()));
  std::string strReply;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ("success", hostpeer.Send("interfaceopen", "", &strReply));
  EXPECT_GE(MillisecondsSince(start), 25);
  EXPECT_GT(hostpeer.m_iReads, 1);
  EXPECT_EQ(strReply.size(), std::stoull(strReply.substr(68, 20)));
  EXPECT_EQ("success", hostpeer.Send("getversionuser", "", &strReply));
  EXPECT_EQ(strReply.size(), std::stoull(strReply.substr(68, 20)));
  EXPECT_EQ("success", hostpeer.Send("interfaceclose"));
  EXPECT_EQ(OS_STS_SUCCESS, hostpeer.m_osthread.SpawnWait(5000));
}

TEST_P(DravixSocketKinds, AReplyBeyondAMebibyteArrivesWhole) {
  setenv("DRAVIX_BIGREPLY", "2", 1);
  CHostPeer hostpeer;
  ASSERT_EQ(OS_STS_SUCCESS, hostpeer.Start(GetParam()));
  std::string strReply;
  EXPECT_EQ("success", hostpeer.Send("interfaceopen"));
  EXPECT_EQ("success", hostpeer.Send("getversion", "", &strReply));
  EXPECT_GT(strReply.size(), 1u << 20);
  EXPECT_EQ(strReply.size(), std::stoull(strReply.substr(68, 20)));
  EXPECT_EQ("6100200", Element(strReply, "versionnumber"));
  EXPECT_EQ("</task>\n", strReply.substr(strReply.size() - 8));
  EXPECT_EQ("success", hostpeer.Send("getversion", "", &strReply));
  EXPECT_LT(strReply.size(), 1024u);
  EXPECT_EQ("success", hostpeer.Send("interfaceclose"));
  EXPECT_EQ(OS_STS_SUCCESS, hostpeer.m_osthread.SpawnWait(5000));
}

TEST_P(DravixSocketKinds, AnInjectedCrashIsSeenAsThePeerGone) {
  setenv("DRAVIX_CRASHAFTER", "2", 1);
  CHostPeer hostpeer;
  ASSERT_EQ(OS_STS_SUCCESS, hostpeer.Start(GetParam()));
  EXPECT_EQ("success", hostpeer.Send("interfaceopen"));
  EXPECT_EQ("success", hostpeer.Send("sessionbegin"));
  // The third task kills the host before it answers: the read ends at
  // once, not at its time-out.
  const auto start = std::chrono::steady_clock::now();
  std::string strReply;
  const EOSSTS eossts = hostpeer.Exchange(Task(3, "querysupport"), strReply);
  EXPECT_TRUE(eossts == OS_STS_SOCKET_PEERGONE || eossts == OS_STS_FAIL) << eossts;
  EXPECT_LT(MillisecondsSince(start), 5000);
  EXPECT_EQ("", strReply);
  EXPECT_EQ(OS_STS_SUCCESS, hostpeer.m_osthread.SpawnWait(1000));
}

TEST_P(DravixSocketKinds, TheHostEndsWithItsParent) {
  // The parent is a process of its own that starts the host, opens it and
  // is killed; the host must not stay behind.
  Pipe pipeHost, pipeDie;
  const pid_t pidParent = Fork([&] {
    CHostPeer hostpeer;
    if (hostpeer.Start(GetParam()) != OS_STS_SUCCESS || hostpeer.Send("interfaceopen") != "success") return 1;
    const uint64_t u64Host = hostpeer.m_u64Host;
    testsupport::WriteFile(testsupport::RootPath("host"), std::to_string(u64Host));
    pipeHost.Send('h');
    pipeDie.Receive(20000);
    return 3;
  });
  ASSERT_EQ('h', pipeHost.Receive(10000));
  const uint64_t u64Host = std::stoull(testsupport::ReadFile(testsupport::RootPath("host")));
  ASSERT_TRUE(COsThread::IsProcessRunning(u64Host, false));
  kill(pidParent, SIGKILL);
  EXPECT_EQ(128 + SIGKILL, Reap(pidParent));
  EXPECT_TRUE(Ends(u64Host, 5000));
  if (COsThread::IsProcessRunning(u64Host, false)) kill(static_cast<pid_t>(u64Host), SIGKILL);
}

TEST_P(DravixSocketKinds, AHostThatNeverConnectsGivesATimeOut) {
  setenv("DRAVIX_NOCONNECT", "1", 1);
  CHostPeer hostpeer;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(OS_STS_TIMEOUT, hostpeer.Start(GetParam(), 400));
  EXPECT_LT(MillisecondsSince(start), 5000);
  EXPECT_TRUE(hostpeer.m_osthread.IsSpawnRunning());
  // Once it is gone a queue's reader says so.
  const uint64_t u64Host = hostpeer.m_u64Host;
  hostpeer.m_osthread.SpawnStop();
  EXPECT_FALSE(hostpeer.m_osthread.IsSpawnRunning());
  if (GetParam() == OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE) {
    std::string strReply;
    hostpeer.m_ossocket.MonitorChildProcess(u64Host);
    EXPECT_EQ(OS_STS_SOCKET_PEERGONE, hostpeer.Exchange(Task(2, "interfaceopen"), strReply, 400));
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, DravixSocketKinds,
                         sockettest::kPairs, sockettest::PairName);

// A shared-memory channel needs both sides to find the same named events:
// without the parent's published arguments the host cannot connect; it says
// so and ends, and the parent's accept ends with a failure.
TEST_F(DravixSocket, AHostThatCannotConnectGivesAClearStatus) {
  unsetenv("PMX_OSSERVICESARGUMENTS");
  CHostPeer hostpeer;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_NE(OS_STS_SUCCESS, hostpeer.Start(OS_SOCKETTYPE_SHAREDMEMORY_READWRITE, 1500));
  EXPECT_LT(MillisecondsSince(start), 5000);
  EXPECT_TRUE(Ends(hostpeer.m_u64Host, 2000));
}

}  // namespace
