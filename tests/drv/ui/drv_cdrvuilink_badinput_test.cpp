// What a child may do wrong, from the stand-in over TCP: streams that
// cannot be cut lose the link (the child stopped and reaped, the owner told
// once); whole tasks that do not parse are told and reading goes on; a
// flood is read within bounded memory; a child that stops reading or stops
// altogether never holds the driver beyond the named limits.
#include <signal.h>
#include <sys/resource.h>

#include "db_cdblock.h"
#include "drv_uilink_fixture.h"

using namespace uilinktest;

class DrvUiLinkBadInput : public UiLinkFixture {
 protected:
  void SetUp() override {
    UiLinkFixture::SetUp();
    Configure(OS_CFGTAG_FORCEGUISOCKETS, "1");
  }
};

// The raw text of a task with that bytes= text.
std::string WithBytes(const std::string& a_strBytes, const std::string& a_strCommand = "c") {
  return "raw <task id='00000000000000000009' reply='00000000000000000000' bytes='" + a_strBytes + "'>\\n\\t<" +
         a_strCommand + ">\\n\\t</" + a_strCommand + ">\\n</task>\\n";
}

TEST_F(DrvUiLinkBadInput, StreamsThatCannotBeCutLoseTheLink) {
  struct Case {
    const char* szName;
    std::string strStep;
    const char* szWhy;
  };
  const Case acase[] = {
      {"garbage", "raw " + std::string(1100, 'g'), "no bytes= in the task's header"},
      {"zero", WithBytes("00000000000000000000"), "bytes= is below its own header"},
      {"negative", WithBytes("-0000000000000000070"), "bytes= is not a number"},
      {"not a number", WithBytes("0000000000000000007x"), "bytes= is not a number"},
      {"below its header", WithBytes("00000000000000000030"), "bytes= is below its own header"},
      {"over 16 MiB", WithBytes("00000000000016777217"), "bytes= is over the largest task"},
      {"too many digits", WithBytes("000000000000000000000070"), "bytes= is not a number"},
  };
  for (const Case& c : acase) {
    SCOPED_TRACE(c.szName);
    m_owner.m_iLost = 0;
    StartLink(false, c.strStep + "\nsend after\n");
    ASSERT_TRUE(Eventually([&] { return m_plink->GetChildProcessId() != 0; }));
    const uint64_t u64Child = m_plink->GetChildProcessId();
    ASSERT_TRUE(m_owner.WaitFor([&] { return m_owner.m_iLost > 0; })) << m_plog->Text();
    EXPECT_TRUE(m_owner.m_blLostConnected);
    EXPECT_TRUE(m_plog->Contains(std::string("g2drv>>> protocol error...") + c.szWhy)) << m_plog->Text();
    EXPECT_TRUE(Eventually([&] { return ProcessState(u64Child).empty(); }));
    EXPECT_EQ(m_plink->Send(Command("late").c_str(), __FILE__, __LINE__), OS_STS_FAIL);
    m_plink->Stop();
    EXPECT_EQ(m_owner.m_iLost, 1);
    EXPECT_EQ(CountOf(m_owner.Commands(), "after"), 0u);
    std::remove(m_strStandinLog.c_str());
  }
}

// Whole frames: a task that does not parse is told (with its id when one
// can be read) and the next one still comes; one without an id or reply,
// or with an id of 25 digits, is queued as it is; a fast-path task whose id
// cannot be read goes to the owner with id 0.
TEST_F(DrvUiLinkBadInput, WholeTasksThatDoNotParseAreToldAndReadingGoesOn) {
  const std::string strNul = ChildTask("00000000000000000002", "nul", std::string("a\0b", 3));
  const std::string strBroken = ChildTask("00000000000000000003", "broken", "<<<>>>");
  const std::string strNoIdBody = "'>\n\t<noid>\n\t</noid>\n</task>\n";
  char szNoIdBytes[32];
  std::snprintf(szNoIdBytes, sizeof szNoIdBytes, "%020zu", 13 + 20 + strNoIdBody.size());
  const std::string strNoId = "<task bytes='" + std::string(szNoIdBytes) + strNoIdBody;
  const std::string strLongId = ChildTask("1234567890123456789012345", "longid");
  const std::string strLongFast = ChildTask("1234567890123456789012345", "requestscancancel");
  std::string strScript;
  for (const std::string* pstr : {&strNul, &strBroken, &strNoId, &strLongId, &strLongFast}) {
    std::string strEscaped;
    for (char c : *pstr) {
      strEscaped += c == '\n' ? "\\n" : c == '\t' ? "\\t" : c == '\0' ? "\\0" : c == '\\' ? "\\\\" : std::string(1, c);
    }
    strScript += "raw " + strEscaped + "\n";
  }
  StartConnected(false, strScript + "send after\n");
  ASSERT_TRUE(m_owner.WaitFor([&] {
    return !m_owner.m_vecdispatched.empty() && m_owner.m_vecdispatched.back().strCommand == "after";
  })) << m_plog->Text();
  EXPECT_EQ(m_owner.Commands(), (std::vector<std::string>{"uiready", "noid", "longid", "after"}));
  std::lock_guard<std::mutex> lock(m_owner.m_mutex);
  EXPECT_EQ(m_owner.m_vecpairBad, (std::vector<std::pair<uint64_t, bool>>{{2, true}, {3, true}}));
  ASSERT_EQ(m_owner.m_vecpairFast.size(), 1u);
  EXPECT_EQ(m_owner.m_vecpairFast[0].first, 0u);
  EXPECT_EQ(m_owner.m_iLost, 0);
  EXPECT_TRUE(m_plog->Contains("g2drv>>> DocumentLoad failed..."));
}

// Ten thousand tasks while the dispatcher is held: the reader takes them
// all within bounded memory, and they come in order once let go.
TEST_F(DrvUiLinkBadInput, AFloodIsReadWithinBoundedMemory) {
  m_plog.reset();  // ten thousand lines of the protocol log are not the point here
  m_plog = std::make_unique<testsupport::LogCapture>(0);
  auto resident = [] {
    const std::vector<std::string> vec = testsupport::Lines(testsupport::ReadFile("/proc/self/statm"));
    long lPages = 0, lResident = 0;
    std::sscanf(vec.at(0).c_str(), "%ld %ld", &lPages, &lResident);
    return lResident * sysconf(_SC_PAGESIZE);
  };
  m_owner.Hold(true);
  const long lBefore = resident();
  StartConnected(false, "flood 10000 flooded\nsend last\n");
  ASSERT_TRUE(Eventually(
      [&] {
        const std::vector<LogLine> vec = ChildLog("sent");
        return !vec.empty() && vec.back().vecstrField[5] == "last";
      },
      60000));
  long lMost = resident();
  m_owner.Hold(false);
  ASSERT_TRUE(m_owner.WaitFor([&] { return m_owner.m_vecdispatched.size() == 10002; }, 60000));
  lMost = std::max(lMost, resident());
  // A sanitizer's shadow memory grows with every byte touched: the bound
  // is the plain build's.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  EXPECT_LT(lMost - lBefore, 32L << 20);
#endif
  RecordProperty("ResidentGrowth", std::to_string(lMost - lBefore));
  EXPECT_EQ(m_owner.Commands().back(), "last");
  EXPECT_EQ(m_owner.m_iLost, 0);
}

// A child that sends the start of a task and then stops altogether: the
// link waits for the rest, and the stop still ends within its bounds, the
// child killed and reaped.
TEST_F(DrvUiLinkBadInput, AChildStoppedInsideATaskStillStopsInBound) {
  DrvUiSetWaitLimit(DRV_UIWAIT_EXITPOLL, 500);
  StartConnected(false, "raw <task id='00000000000000000002' reply='00000000000000000000' "
                        "bytes='00000000000000000500'>\\n\\t<partial>\nsigstop\n");
  const uint64_t u64Child = m_plink->GetChildProcessId();
  ASSERT_TRUE(Eventually([&] { return ProcessState(u64Child).find('T') != std::string::npos; }));
  const auto start = Clock::now();
  m_plink->Stop();
  EXPECT_LT(MillisecondsSince(start), 10000);
  EXPECT_EQ(ProcessState(u64Child), "");
  EXPECT_EQ(m_owner.Commands(), std::vector<std::string>{"uiready"});
  EXPECT_EQ(m_owner.m_iLost, 0);
}

// A child that stops reading: the writer is stuck in its write, the next
// text waits for the hand-off's limit with the database lock given up
// (another thread takes it meanwhile), and the link is lost.
TEST_F(DrvUiLinkBadInput, AHandOffPastItsLimitLosesTheLinkWithoutHoldingTheDatabaseLock) {
  DrvUiSetWaitLimit(DRV_UIWAIT_HANDOFF, 2000);
  StartConnected(false, "deaf\n");
  ASSERT_TRUE(m_owner.WaitFor([&] { return !m_owner.m_vecdispatched.empty(); }));
  const std::string strBig = Command("big", std::string(15 << 20, 'b'));
  EXPECT_EQ(m_plink->Send(strBig.c_str(), __FILE__, __LINE__), OS_STS_SUCCESS);
  std::atomic<bool> blLocked{false}, blSent{false}, blTakenFirst{false};
  EOSSTS eossts = OS_STS_SUCCESS;
  std::thread thread([&] {
    CDbLockGuard dblockguard;
    blLocked = true;
    eossts = m_plink->Send(strBig.c_str(), __FILE__, __LINE__);
    blSent = true;
  });
  ASSERT_TRUE(Eventually([&] { return blLocked.load(); }));
  std::thread threadOther([&] {
    CDbLockGuard dblockguard;
    blTakenFirst = !blSent;
  });
  threadOther.join();
  thread.join();
  EXPECT_TRUE(blTakenFirst.load());
  EXPECT_EQ(eossts, OS_STS_FAIL);
  ASSERT_TRUE(m_owner.WaitFor([&] { return m_owner.m_iLost > 0; }));
  EXPECT_TRUE(m_plog->Contains("Communication lost with GUI, the text before waited 2000 ms"));
  m_plink->Stop();
  EXPECT_EQ(m_owner.m_iLost, 1);
}

// What Send does not carry: nothing without a link, an empty text, a text
// over the largest task; a text of a MiB goes whole (the Python peer judges
// its frame).
TEST_F(DrvUiLinkBadInput, SendCarriesWhatATaskMayHold) {
  m_plink = std::make_unique<CDrvUiLink>(&m_owner, GuiNames());
  EXPECT_EQ(m_plink->Send(Command("nolink").c_str(), __FILE__, __LINE__), OS_STS_SUCCESS);
  StartConnected(true, "");
  EXPECT_EQ(m_plink->Send("", "empty.cpp", 5), OS_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("Empty command from empty.cpp at 5"));
  const std::string strOver = Command("over", std::string(16 << 20, 'o'));
  EXPECT_EQ(m_plink->Send(strOver.c_str(), "over.cpp", 6), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Lost data from over.cpp at 6"));
  const std::string strMiB = Command("mib", std::string((1 << 20) - 120, 'm'));
  ASSERT_EQ(m_plink->Send(strMiB.c_str(), __FILE__, __LINE__), OS_STS_SUCCESS);
  ASSERT_TRUE(Eventually([&] { return CountOf(ChildReceived(), "mib") == 1; })) << m_plog->Text();
  const std::vector<LogLine> veclogline = ChildLog("recv");
  EXPECT_EQ(veclogline.back().vecstrField[4], std::to_string(strMiB.size()));
  EXPECT_EQ(std::stoull(veclogline.back().vecstrField[3]), strMiB.size());
  EXPECT_TRUE(ChildLog("error").empty()) << testsupport::ReadFile(m_strStandinLog);
  EXPECT_EQ(m_owner.m_iLost, 0);
}
