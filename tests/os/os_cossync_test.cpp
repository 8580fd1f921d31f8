// Spin words, and events and mutexes used by threads of one process.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "os_cossync.h"
#include "os_costime.h"
#include "log_capture.h"
#include "os_cossync_helpers.h"
#include "test_support.h"

namespace {
using synctest::SyncTest;

TEST(OsSyncSpin, CounterStaysExactUnderManyThreads) {
  void volatile* pvWord = nullptr;
  long lCounter = 0;
  constexpr int kThreads = 8;
  constexpr int kRounds = 20000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        COsSync::SpinLock(&pvWord);
        lCounter = lCounter + 1;
        COsSync::SpinUnlock(&pvWord);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(lCounter, static_cast<long>(kThreads) * kRounds);
  EXPECT_EQ(pvWord, nullptr);
}

TEST(OsSyncSpin, NoWaitOnATakenWordIsBusyAndLeavesIt) {
  void volatile* pvWord = nullptr;
  ASSERT_EQ(COsSync::SpinLockNoWait(&pvWord), OS_STS_SUCCESS);
  EXPECT_EQ(COsSync::SpinLockNoWait(&pvWord), OS_STS_BUSY);
  EXPECT_EQ(pvWord, reinterpret_cast<void volatile*>(1));
  COsSync::SpinUnlock(&pvWord);
  EXPECT_EQ(COsSync::SpinLockNoWait(&pvWord), OS_STS_SUCCESS);
  EXPECT_EQ(COsSync::SpinLockNoWait(nullptr), OS_STS_BAD_ARGUMENT);
}

TEST_F(SyncTest, UnnamedEventIsConsumedByOneWait) {
  COsSync event;
  ASSERT_EQ(event.SimpleEventOpen(nullptr, true), OS_STS_SUCCESS);
  EXPECT_EQ(event.GetType(), OS_SYNCTYPE_EVENT);
  EXPECT_EQ(event.SimpleEventWait(0), OS_STS_TIMEOUT);
  event.SimpleEventSet();
  EXPECT_EQ(event.SimpleEventWait(0), OS_STS_SUCCESS);
  EXPECT_EQ(event.SimpleEventWait(0), OS_STS_TIMEOUT);
  event.SimpleEventSet();
  event.SimpleEventReset();
  EXPECT_EQ(event.SimpleEventWait(0), OS_STS_TIMEOUT);
  EXPECT_EQ(event.EventGetNativeHandle(), nullptr);
  event.SimpleEventClose();
  EXPECT_EQ(event.GetType(), OS_SYNCTYPE_UNDEFINED);
  EXPECT_TRUE(!std::filesystem::exists(m_directory) || std::filesystem::is_empty(m_directory));  // nothing on disk
}

TEST_F(SyncTest, SetWakesAWaiterOfAnotherThread) {
  COsSync event;
  ASSERT_EQ(event.EventCreate(nullptr, nullptr, false), OS_STS_SUCCESS);
  std::atomic<int> iResult{-1};
  std::thread waiter([&] { iResult = event.EventWait(OS_SYNC_INFINITE); });
  COsTime::Sleep(50);
  ASSERT_EQ(event.EventSet(), OS_STS_SUCCESS);
  waiter.join();
  EXPECT_EQ(iResult, OS_STS_SUCCESS);
}

TEST_F(SyncTest, OneSetWakesExactlyOneOfTwoWaiters) {
  COsSync event;
  ASSERT_EQ(event.EventCreate(nullptr, nullptr, false), OS_STS_SUCCESS);
  std::atomic<int> aiResult[2] = {-1, -1};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 2; ++i) waiters.emplace_back([&, i] { aiResult[i] = event.EventWait(1000); });
  COsTime::Sleep(100);
  ASSERT_EQ(event.EventSet(), OS_STS_SUCCESS);
  for (std::thread& thread : waiters) thread.join();
  int iSignalled = (aiResult[0] == OS_STS_SUCCESS) + (aiResult[1] == OS_STS_SUCCESS);
  int iTimedOut = (aiResult[0] == OS_STS_TIMEOUT) + (aiResult[1] == OS_STS_TIMEOUT);
  EXPECT_EQ(iSignalled, 1);
  EXPECT_EQ(iTimedOut, 1);
}

TEST_F(SyncTest, NamedEventOpenerAndCreatorSignalEachOther) {
  COsSync creator, opener;
  ASSERT_EQ(creator.EventCreate("ready", nullptr, false), OS_STS_SUCCESS);
  EXPECT_TRUE(testsupport::FileExists(Path("event_ready")));
  ASSERT_EQ(opener.EventOpen("ready"), OS_STS_SUCCESS);
  char szName[64] = "";
  ASSERT_EQ(opener.EventSet(), OS_STS_SUCCESS);
  EXPECT_EQ(creator.EventWait(1000, szName, sizeof szName), OS_STS_SUCCESS);
  EXPECT_STREQ(szName, "ready");
  ASSERT_EQ(creator.EventSet(), OS_STS_SUCCESS);
  EXPECT_EQ(opener.EventWait(1000), OS_STS_SUCCESS);
  EXPECT_EQ(opener.EventWait(0), OS_STS_TIMEOUT);
  ASSERT_EQ(creator.GetName(szName, sizeof szName), OS_STS_SUCCESS);
  EXPECT_STREQ(szName, "ready");
}

TEST_F(SyncTest, GroupWaitAnswersTheMembersName) {
  COsSync members[3];
  const char* aszNames[3] = {"one", "two", "three"};
  for (int i = 0; i < 3; ++i) ASSERT_EQ(members[i].EventCreate(aszNames[i], "trio", false), OS_STS_SUCCESS);
  char szGroup[16] = "";
  ASSERT_EQ(members[1].GetGroup(szGroup, sizeof szGroup), OS_STS_SUCCESS);
  EXPECT_STREQ(szGroup, "trio");
  COsSync opener;
  ASSERT_EQ(opener.EventOpen("two"), OS_STS_SUCCESS);
  char szName[16] = "";
  std::atomic<int> iResult{-1};
  std::thread waiter([&] { iResult = members[0].EventWait(2000, szName, sizeof szName); });
  COsTime::Sleep(50);
  ASSERT_EQ(opener.EventSet(), OS_STS_SUCCESS);
  waiter.join();
  EXPECT_EQ(iResult, OS_STS_SUCCESS);
  EXPECT_STREQ(szName, "two");
}

// Members signalled before the wait are seen at once: a single wait takes
// the highest flag first, a polling wait (one that watches a process) the
// lowest.
TEST_F(SyncTest, GroupMembersSignalledTogetherComeInFlagOrder) {
  COsSync members[3];
  const char* aszNames[3] = {"one", "two", "three"};
  for (int i = 0; i < 3; ++i) ASSERT_EQ(members[i].EventCreate(aszNames[i], "trio", false), OS_STS_SUCCESS);
  char szName[16] = "";
  for (bool blPolling : {false, true}) {
    if (blPolling) {
      ASSERT_EQ(members[1].EventIncludeProcessId(getpid(), 0), OS_STS_SUCCESS);
    }
    members[0].EventSet();
    members[2].EventSet();
    ASSERT_EQ(members[1].EventWait(0, szName, sizeof szName), OS_STS_SUCCESS);
    EXPECT_STREQ(szName, blPolling ? "one" : "three");
    ASSERT_EQ(members[1].EventWait(0, szName, sizeof szName), OS_STS_SUCCESS);
    EXPECT_STREQ(szName, blPolling ? "three" : "one");
    EXPECT_EQ(members[1].EventWait(0, szName, sizeof szName), OS_STS_TIMEOUT);
  }
}

TEST_F(SyncTest, MutexIsHeldByOneObjectAtATime) {
  COsSync creator, opener;
  ASSERT_EQ(creator.MutexCreate("lock", nullptr), OS_STS_SUCCESS);
  ASSERT_EQ(opener.MutexOpen("lock"), OS_STS_SUCCESS);
  EXPECT_EQ(creator.GetType(), OS_SYNCTYPE_MUTEX);
  char szName[16] = "";
  ASSERT_EQ(creator.MutexClaim(0, szName, sizeof szName), OS_STS_SUCCESS);
  EXPECT_STREQ(szName, "lock");
  EXPECT_EQ(creator.MutexClaim(0), OS_STS_SUCCESS);  // the holder again: no count
  EXPECT_EQ(opener.MutexClaim(0), OS_STS_TIMEOUT);
  std::atomic<int> iResult{-1};
  std::thread waiter([&] { iResult = opener.MutexClaim(3000); });
  COsTime::Sleep(50);
  creator.MutexRelease("lock");  // one release frees it
  waiter.join();
  EXPECT_EQ(iResult, OS_STS_SUCCESS);
  EXPECT_EQ(creator.MutexClaim(0), OS_STS_TIMEOUT);
  // A release by an object that does not hold the mutex only signals.
  creator.MutexRelease("lock");
  EXPECT_EQ(creator.MutexClaim(0), OS_STS_TIMEOUT);
}

TEST_F(SyncTest, OpenerCloseReleasesItsMutexAndSlot) {
  COsSync creator;
  ASSERT_EQ(creator.MutexCreate("lock", nullptr), OS_STS_SUCCESS);
  {
    COsSync opener;
    ASSERT_EQ(opener.MutexOpen("lock"), OS_STS_SUCCESS);
    ASSERT_EQ(opener.MutexClaim(0), OS_STS_SUCCESS);
    EXPECT_EQ(creator.MutexClaim(0), OS_STS_TIMEOUT);
    opener.MutexClose();
  }
  EXPECT_EQ(creator.MutexClaim(0), OS_STS_SUCCESS);
  // A thread that opens and closes again and again never runs out of slots.
  for (int i = 0; i < 40; ++i) {
    COsSync opener;
    ASSERT_EQ(opener.MutexOpen("lock"), OS_STS_SUCCESS) << i;
  }
}

TEST_F(SyncTest, OwnersCloseRemovesTheNameButOpenersGoOn) {
  COsSync creator, opener;
  ASSERT_EQ(creator.EventCreate("gone", nullptr, false), OS_STS_SUCCESS);
  ASSERT_EQ(opener.EventOpen("gone"), OS_STS_SUCCESS);
  creator.EventClose();
  EXPECT_FALSE(testsupport::FileExists(Path("event_gone")));
  COsSync late;
  EXPECT_EQ(late.EventOpen("gone"), OS_STS_FAIL);
  ASSERT_EQ(opener.EventSet(), OS_STS_SUCCESS);
  EXPECT_EQ(opener.EventWait(0), OS_STS_SUCCESS);
  // The object can be used again after its close.
  ASSERT_EQ(creator.EventCreate("gone", nullptr, false), OS_STS_SUCCESS);
}

TEST_F(SyncTest, GroupFileStaysWhileMembersLive) {
  COsSync first, second;
  ASSERT_EQ(first.EventCreate("a", "pair", false), OS_STS_SUCCESS);
  ASSERT_EQ(second.EventCreate("b", "pair", false), OS_STS_SUCCESS);
  first.EventClose();
  EXPECT_FALSE(testsupport::FileExists(Path("event_a")));
  EXPECT_TRUE(testsupport::FileExists(Path("group_pair")));
  // A member made now joins the same block, so the group still answers.
  COsSync third;
  ASSERT_EQ(third.EventCreate("c", "pair", false), OS_STS_SUCCESS);
  third.EventSet();
  char szName[8] = "";
  EXPECT_EQ(second.EventWait(0, szName, sizeof szName), OS_STS_SUCCESS);
  EXPECT_STREQ(szName, "c");
  second.EventClose();
  third.EventClose();
  EXPECT_FALSE(testsupport::FileExists(Path("group_pair")));
  EXPECT_FALSE(testsupport::FileExists(Path("event_c")));
}

TEST_F(SyncTest, RegistryHasSixteenSlotsAndEightFlags) {
  testsupport::LogCapture log;
  COsSync creator;
  ASSERT_EQ(creator.EventCreate("full", nullptr, false), OS_STS_SUCCESS);
  std::vector<COsSync> openers(16);
  for (int i = 0; i < 15; ++i) ASSERT_EQ(openers[i].EventOpen("full"), OS_STS_SUCCESS) << i;
  EXPECT_EQ(openers[15].EventOpen("full"), OS_STS_FAIL);  // the seventeenth object
  EXPECT_TRUE(log.Contains("sync>>> no room for a new object...<full>"));

  std::vector<COsSync> members(9);
  for (int i = 0; i < 8; ++i) {
    ASSERT_EQ(members[i].EventCreate(("m" + std::to_string(i)).c_str(), "octet", false), OS_STS_SUCCESS) << i;
  }
  EXPECT_EQ(members[8].EventCreate("m8", "octet", false), OS_STS_FAIL);  // the ninth flag
  EXPECT_TRUE(log.Contains("sync>>> no room for a new flag...<m8>"));
  EXPECT_FALSE(testsupport::FileExists(Path("event_m8")));
}

TEST_F(SyncTest, BadInputIsRefused) {
  testsupport::LogCapture log;
  COsSync sync;
  struct Case {
    const char* szWhat;
    std::function<EOSSTS(COsSync&)> call;
    const char* szMessage;
  };
  const std::string strLong(600, 'n');
  const Case cases[] = {
      {"slash in name", [](COsSync& s) { return s.EventCreate("a/b", nullptr, false); }, "sync>>> bad name...<a/b>"},
      {"escaping name", [](COsSync& s) { return s.EventCreate("../../escape", nullptr, true); },
       "sync>>> bad name...<../../escape>"},
      {"slash in group", [](COsSync& s) { return s.EventCreate("a", "../g", false); }, "sync>>> bad name...<a> <../g>"},
      {"slash in mutex", [](COsSync& s) { return s.MutexCreate("../m", nullptr); }, "sync>>> bad name...<../m>"},
      {"slash in open", [](COsSync& s) { return s.EventOpen("../x"); }, "sync>>> bad name...<../x>"},
      {"group without name", [](COsSync& s) { return s.EventCreate(nullptr, "g", false); },
       "sync>>> cannot specify a group for an unnamed event..."},
      {"mutex without name", [](COsSync& s) { return s.MutexCreate(nullptr, nullptr); },
       "sync>>> a mutex must have a name..."},
      {"name too long", [&](COsSync& s) { return s.EventCreate(strLong.c_str(), nullptr, false); },
       "sync>>> bad name...<nnnn"},
      {"open without name", [](COsSync& s) { return s.EventOpen(""); }, "sync>>> a_szName is null or empty..."},
      {"open of a missing name", [](COsSync& s) { return s.EventOpen("missing"); }, "sync>>> fopen failed...<"},
      {"mutex open of a missing name", [](COsSync& s) { return s.MutexOpen("missing"); }, "sync>>> Open failed..."},
      {"wait before create", [](COsSync& s) { return s.EventWait(0); }, nullptr},  // not an event yet: silent
      {"set before create", [](COsSync& s) { return s.EventSet(); }, "sync>>> must create/open first..."},
      {"simple open, empty name", [](COsSync& s) { return s.SimpleEventOpen("", true); }, "bad argument..."},
      {"simple open, no name, no create", [](COsSync& s) { return s.SimpleEventOpen(nullptr, false); },
       "bad argument..."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.call(sync), OS_STS_FAIL) << c.szWhat;
    EXPECT_EQ(sync.GetType(), OS_SYNCTYPE_UNDEFINED) << c.szWhat;  // left free
    if (c.szMessage) {
      EXPECT_TRUE(log.Contains(c.szMessage)) << c.szWhat << ": " << c.szMessage;
    }
  }
  EXPECT_FALSE(testsupport::FileExists(testsupport::RootPath("escape")));
  EXPECT_FALSE(testsupport::FileExists(testsupport::RootPath("event_escape")));
  EXPECT_FALSE(testsupport::FileExists(testsupport::RootPath("group_..")));
}

TEST_F(SyncTest, MisuseOfALiveObjectIsRefused) {
  testsupport::LogCapture log;
  COsSync event, mutex, twin;
  ASSERT_EQ(event.EventCreate("e", "g", false), OS_STS_SUCCESS);
  ASSERT_EQ(mutex.MutexCreate("m", nullptr), OS_STS_SUCCESS);
  struct Case {
    const char* szWhat;
    std::function<EOSSTS()> call;
    const char* szMessage;
  };
  char szName[8];
  const Case cases[] = {
      {"double create", [&] { return event.EventCreate("other", nullptr, false); },
       "sync>>> this object is already in use..."},
      {"open while in use", [&] { return event.EventOpen("m"); }, "sync>>> this object is already in use..."},
      {"same name in the group", [&] { return twin.EventCreate("e", "g", false); }, "sync>>> <e> already exists..."},
      {"name buffer of size 0", [&] { return event.EventWait(0, szName, 0); },
       "sync>>> a_sizetName is 0 with a non-null a_szName..."},
      {"claim of an event", [&] { return event.MutexClaim(0); }, "sync>>> sync type isn't a mutex...1"},
      {"watch on a mutex as event", [&] { return mutex.EventIncludeProcessId(getpid(), 0); },
       "sync>>> sync type isn't an event...2"},
      {"watch on an event as mutex", [&] { return event.MutexIncludeProcessId(getpid(), 0); },
       "sync>>> sync type isn't a mutex...1"},
      {"watch of no process", [&] { return event.EventIncludeProcessId(0x7ffffffe, 0); },
       "sync>>> there is no process with that pid...2147483646"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.call(), OS_STS_FAIL) << c.szWhat;
    EXPECT_TRUE(log.Contains(c.szMessage)) << c.szWhat << ": " << c.szMessage;
  }
  EXPECT_EQ(mutex.EventWait(0), OS_STS_FAIL);  // not an event: no message
  event.MutexRelease("e");
  EXPECT_TRUE(log.Contains("sync>>> bad eossynctype...1"));
  mutex.MutexRelease(nullptr);
  EXPECT_TRUE(log.Contains("sync>>> a_szName is null..."));
  event.MutexClose();  // wrong type: stays open
  EXPECT_TRUE(log.Contains("sync>>> sync type isn't a mutex...1"));
  mutex.EventClose();
  EXPECT_TRUE(log.Contains("sync>>> not an event...2"));
  EXPECT_EQ(event.GetType(), OS_SYNCTYPE_EVENT);
  EXPECT_EQ(mutex.GetType(), OS_SYNCTYPE_MUTEX);
  EXPECT_EQ(event.GetName(nullptr, 8), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(event.EventIncludeProcessId(0, 0), OS_STS_SUCCESS);  // stop watching
}

TEST_F(SyncTest, InfiniteWaitEndsWithTheSet) {
  COsSync creator, opener;
  ASSERT_EQ(creator.MutexCreate("slow", nullptr), OS_STS_SUCCESS);
  ASSERT_EQ(opener.MutexOpen("slow"), OS_STS_SUCCESS);
  ASSERT_EQ(creator.MutexClaim(OS_SYNC_INFINITE), OS_STS_SUCCESS);
  std::atomic<int> iResult{-1};
  std::thread waiter([&] { iResult = opener.MutexClaim(OS_SYNC_INFINITE); });
  COsTime::Sleep(50);
  EXPECT_EQ(iResult, -1);  // still waiting: the deadline is a year away
  creator.MutexRelease("slow");
  waiter.join();
  EXPECT_EQ(iResult, OS_STS_SUCCESS);
}

TEST_F(SyncTest, DumpWritesTheLayout) {
  COsSync sync;
  sync.Dump();
  std::string text = testsupport::ReadFile(Path("ossync.txt"));
  for (const char* szLine : {"OsSyncObject(40)\r\n", "OsSyncFlag(552)\r\n", "OsSyncPublic(5072)\r\n",
                             "OsSyncPrivate(256)\r\n", "OsSyncGroup(5328)\r\n", "  544     8\r\n",
                             "  656  4416[8][552]\r\n", "   16   640[16][40]\r\n", " 5072   256\r\n"}) {
    EXPECT_NE(text.find(szLine), std::string::npos) << szLine;
  }
  EXPECT_NE(text.find(std::string(32, '~') + "\r\n"), std::string::npos);
}

TEST_F(SyncTest, DumpShareWritesTheBlock) {
  COsSync empty, sync;
  empty.DumpShare("");
  EXPECT_NE(testsupport::ReadFile(Path("ossync001.txt")).find("We don't have a pointer to a group object..."),
            std::string::npos);
  ASSERT_EQ(sync.MutexCreate("dumped", "box"), OS_STS_SUCCESS);
  ASSERT_EQ(sync.MutexClaim(0), OS_STS_SUCCESS);
  sync.DumpShare("label");
  std::string text = testsupport::ReadFile(Path("ossync002_label.txt"));
  for (const std::string& part : {std::string("OsSyncPublic(") + Path("group_box") + ")", std::string("Group"),
                                  std::string("Mutex"), std::string("dumped"), std::string("Create"),
                                  std::string("vu64Mutex.........1")}) {
    EXPECT_NE(text.find(part), std::string::npos) << part;
  }
  sync.DumpShare("../out");
  EXPECT_FALSE(testsupport::FileExists(testsupport::RootPath("out.txt")));
}

}  // namespace
