// Named events and mutexes between processes: signals, claims, peers that
// die, the object file's layout as another reader sees it.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <thread>

#include "os_cossync.h"
#include "os_cossync_helpers.h"
#include "os_costime.h"
#include "log_capture.h"
#include "test_support.h"

namespace {
using synctest::Fork;
using synctest::Pipe;
using synctest::Reap;
using synctest::SyncTest;

constexpr size_t kPrivateOffset = 5072;

TEST_F(SyncTest, NamedEventSetInOneProcessWakesAnother) {
  COsSync event;
  ASSERT_EQ(event.EventCreate("cross", nullptr, true), OS_STS_SUCCESS);
  Pipe opened;
  pid_t pid = Fork([&] {
    COsSync other;
    if (other.EventOpen("cross") != OS_STS_SUCCESS) return 1;
    opened.Send('o');
    COsTime::Sleep(50);
    return other.EventSet() == OS_STS_SUCCESS ? 0 : 2;
  });
  ASSERT_EQ(opened.Receive(), 'o');
  char szName[16] = "";
  EXPECT_EQ(event.EventWait(5000, szName, sizeof szName), OS_STS_SUCCESS);
  EXPECT_STREQ(szName, "cross");
  EXPECT_EQ(Reap(pid), 0);
}

TEST_F(SyncTest, GroupWaitAcrossProcessesAnswersTheMember) {
  COsSync members[3];
  const char* aszNames[3] = {"ok_to_read", "ok_to_write", "cancel"};
  for (int i = 0; i < 3; ++i) ASSERT_EQ(members[i].EventCreate(aszNames[i], "channel", false), OS_STS_SUCCESS);
  pid_t pid = Fork([] {
    COsSync other;
    if (other.EventOpen("ok_to_write") != OS_STS_SUCCESS) return 1;
    return other.EventSet() == OS_STS_SUCCESS ? 0 : 2;
  });
  char szName[32] = "";
  EXPECT_EQ(members[0].EventWait(5000, szName, sizeof szName), OS_STS_SUCCESS);
  EXPECT_STREQ(szName, "ok_to_write");
  EXPECT_EQ(Reap(pid), 0);
}

// A channel's events are made by the thread that starts the channel, which
// may end long before the channel does: the objects stay registered while
// their process lives, so another process's set still reaches them.
TEST_F(SyncTest, EventsMadeOnAThreadThatEndedStillWork) {
  COsSync members[2];
  std::thread maker([&] {
    ASSERT_EQ(members[0].EventCreate("made_read", "ended", false), OS_STS_SUCCESS);
    ASSERT_EQ(members[1].EventCreate("made_write", "ended", false), OS_STS_SUCCESS);
  });
  maker.join();
  Pipe go;
  pid_t pid = Fork([&] {
    COsSync other;
    if (other.EventOpen("made_write") != OS_STS_SUCCESS) return 1;
    for (int i = 0; i < 2; ++i) {
      if (go.Receive() != 'g' || other.EventSet() != OS_STS_SUCCESS) return 2;
    }
    return 0;
  });
  for (int i = 0; i < 2; ++i) {
    go.Send('g');
    char szName[32] = "";
    EXPECT_EQ(members[0].EventWait(5000, szName, sizeof szName), OS_STS_SUCCESS) << i;
    EXPECT_STREQ(szName, "made_write");
  }
  EXPECT_EQ(Reap(pid), 0);
}

TEST_F(SyncTest, NamedMutexIsClaimedAndReleasedAcrossProcesses) {
  COsSync mutex;
  ASSERT_EQ(mutex.MutexCreate("shared", nullptr), OS_STS_SUCCESS);
  ASSERT_EQ(mutex.MutexClaim(0), OS_STS_SUCCESS);
  Pipe toChild, toParent;
  pid_t pid = Fork([&] {
    COsSync other;
    if (other.MutexOpen("shared") != OS_STS_SUCCESS) return 1;
    if (other.MutexClaim(0) != OS_STS_TIMEOUT) return 2;  // the parent holds it
    toParent.Send('b');
    if (other.MutexClaim(5000) != OS_STS_SUCCESS) return 3;
    toParent.Send('c');
    if (toChild.Receive() != 'r') return 4;
    other.MutexRelease("shared");
    return 0;
  });
  ASSERT_EQ(toParent.Receive(), 'b');
  mutex.MutexRelease("shared");
  ASSERT_EQ(toParent.Receive(), 'c');
  EXPECT_EQ(mutex.MutexClaim(0), OS_STS_TIMEOUT);  // now the child's
  toChild.Send('r');
  EXPECT_EQ(mutex.MutexClaim(5000), OS_STS_SUCCESS);
  EXPECT_EQ(Reap(pid), 0);
}

// A holder killed outright: the next claim takes the mutex over within
// about a second, whether the dead holder is still a zombie of ours or of
// another process.
TEST_F(SyncTest, MutexOfAKilledHolderIsTakenOver) {
  COsSync mutex;
  ASSERT_EQ(mutex.MutexCreate("victim", nullptr), OS_STS_SUCCESS);
  for (bool blGrandchild : {false, true}) {
    Pipe held, holderPid;  // separate pipes: the holder's byte must not mix with the pid bytes
    auto hold = [&] {
      COsSync other;
      if (other.MutexOpen("victim") != OS_STS_SUCCESS || other.MutexClaim(0) != OS_STS_SUCCESS) return 1;
      pid_t pidSelf = getpid();
      held.Send(static_cast<char>('0' + (pidSelf & 0x3f)));
      pause();
      return 0;
    };
    pid_t pidHolder = 0;
    pid_t pidChild = Fork([&] {
      if (!blGrandchild) return hold();
      // The middle process never reaps its child: the holder stays a zombie.
      pid_t pidInner = Fork(hold);
      holderPid.Send(static_cast<char>(pidInner >> 24));
      holderPid.Send(static_cast<char>(pidInner >> 16));
      holderPid.Send(static_cast<char>(pidInner >> 8));
      holderPid.Send(static_cast<char>(pidInner));
      pause();
      return 0;
    });
    if (blGrandchild) {
      unsigned char ab[4];
      for (unsigned char& b : ab) b = static_cast<unsigned char>(holderPid.Receive());
      pidHolder = static_cast<pid_t>((ab[0] << 24) | (ab[1] << 16) | (ab[2] << 8) | ab[3]);
    } else {
      pidHolder = pidChild;
    }
    ASSERT_NE(held.Receive(), 0) << "the holder never claimed";
    EXPECT_EQ(mutex.MutexClaim(0), OS_STS_TIMEOUT) << blGrandchild;
    ASSERT_EQ(kill(pidHolder, SIGKILL), 0);
    COsTime::Sleep(100);
    EXPECT_EQ(mutex.MutexClaim(2000), OS_STS_SUCCESS) << blGrandchild;
    mutex.MutexRelease("victim");
    if (blGrandchild) kill(pidChild, SIGKILL);
    Reap(pidChild);
  }
}

// A process that dies holding the block's own mutex hands the next locker
// the clean-up instead of blocking everyone for good.
TEST_F(SyncTest, BlockMutexOfADeadProcessIsRecovered) {
  COsSync event;
  ASSERT_EQ(event.EventCreate("robust", nullptr, true), OS_STS_SUCCESS);
  pid_t pid = Fork([&] {
    int iFile = open(Path("event_robust").c_str(), O_RDWR);
    void* pv = mmap(nullptr, 5328, PROT_READ | PROT_WRITE, MAP_SHARED, iFile, 0);
    if (pv == MAP_FAILED) return 1;
    pthread_mutex_lock(reinterpret_cast<pthread_mutex_t*>(static_cast<char*>(pv) + kPrivateOffset));
    raise(SIGKILL);
    return 2;
  });
  EXPECT_EQ(Reap(pid), 128 + SIGKILL);
  alarm(30);  // a hang fails the test instead of blocking the run
  EXPECT_EQ(event.EventSet(), OS_STS_SUCCESS);
  EXPECT_EQ(event.EventWait(1000), OS_STS_SUCCESS);
  COsSync opener;
  EXPECT_EQ(opener.EventOpen("robust"), OS_STS_SUCCESS);
  alarm(0);
}

// Looking at a peer's liveness must not reap it: whoever follows the
// child still gets its exit status.
TEST_F(SyncTest, LivenessCheckLeavesAChildsExitStatus) {
  COsSync event;
  ASSERT_EQ(event.EventCreate("peer", nullptr, true), OS_STS_SUCCESS);
  Pipe opened;
  pid_t pid = Fork([&] {
    COsSync other;  // registers and ends without closing
    if (other.EventOpen("peer") != OS_STS_SUCCESS) return 1;
    opened.Send('o');
    _exit(7);
  });
  ASSERT_EQ(opened.Receive(), 'o');
  COsTime::Sleep(100);
  COsSync later;  // its registration cleans up the ended child's slot
  EXPECT_EQ(later.EventOpen("peer"), OS_STS_SUCCESS);
  EXPECT_EQ(event.EventIncludeProcessId(static_cast<uint64_t>(pid), 0), OS_STS_FAIL);
  EXPECT_EQ(Reap(pid), 7);
}

TEST_F(SyncTest, WaitEndsWhenTheWatchedProcessEnds) {
  COsSync event;
  ASSERT_EQ(event.EventCreate("watch", nullptr, true), OS_STS_SUCCESS);
  Pipe go;
  pid_t pid = Fork([&] {
    // The parent is not our child: it is watched through /proc.
    COsSync other;
    if (other.EventOpen("watch") != OS_STS_SUCCESS) return 1;
    if (other.EventIncludeProcessId(static_cast<uint64_t>(getppid()), 0) != OS_STS_SUCCESS) return 2;
    return go.Receive() == 'g' ? 0 : 3;
  });
  ASSERT_EQ(event.EventIncludeProcessId(static_cast<uint64_t>(pid), 0), OS_STS_SUCCESS);
  EXPECT_EQ(event.EventWait(0), OS_STS_TIMEOUT);
  go.Send('g');
  EXPECT_EQ(event.EventWait(10000), OS_STS_BAD_ARGUMENT_SYNC);
  EXPECT_EQ(Reap(pid), 0);
}

// A creator that ended without closing leaves its file, naming only itself:
// nobody can open the name, but a new create starts the block afresh
// instead of blocking the name for good.
TEST_F(SyncTest, CreateOverTheFileOfADeadCreatorStartsAfresh) {
  pid_t pid = Fork([] {
    COsSync* pleft = new COsSync;  // never closed: the file stays behind
    return pleft->EventCreate("left", nullptr, false) == OS_STS_SUCCESS ? 0 : 1;
  });
  ASSERT_EQ(Reap(pid), 0);
  ASSERT_TRUE(testsupport::FileExists(Path("event_left")));
  testsupport::LogCapture log;
  COsSync event;
  EXPECT_EQ(event.EventOpen("left"), OS_STS_FAIL);
  EXPECT_TRUE(log.Contains("sync>>> <left> not found..."));
  EXPECT_EQ(event.EventCreate("left", nullptr, false), OS_STS_SUCCESS);
  // A second create of a live name joins it and may use it.
  COsSync twin;
  ASSERT_EQ(twin.EventCreate("left", nullptr, false), OS_STS_SUCCESS);
  twin.EventSet();
  EXPECT_EQ(event.EventWait(0), OS_STS_SUCCESS);
  COsSync opener;
  EXPECT_EQ(opener.EventOpen("left"), OS_STS_SUCCESS);
}

// The only creator of a named mutex is killed while it holds it: a new
// process creates the name again, holds it, and others open and wait on it.
TEST_F(SyncTest, NamedMutexOfAKilledCreatorIsCreatedAgain) {
  Pipe held;
  pid_t pidVictim = Fork([&] {
    COsSync mutex;
    if (mutex.MutexCreate("orphan", nullptr) != OS_STS_SUCCESS || mutex.MutexClaim(0) != OS_STS_SUCCESS) return 1;
    held.Send('h');
    pause();
    return 0;
  });
  ASSERT_EQ(held.Receive(), 'h');
  ASSERT_EQ(kill(pidVictim, SIGKILL), 0);
  ASSERT_EQ(Reap(pidVictim), 128 + SIGKILL);
  ASSERT_TRUE(testsupport::FileExists(Path("mutex_orphan")));

  Pipe created, release, done;
  pid_t pidNew = Fork([&] {
    COsSync mutex;
    if (mutex.MutexCreate("orphan", nullptr) != OS_STS_SUCCESS) return 1;
    if (mutex.MutexClaim(0) != OS_STS_SUCCESS) return 2;  // the dead holder's claim went with it
    created.Send('c');
    if (release.Receive() != 'r') return 3;
    mutex.MutexRelease("orphan");
    return done.Receive() == 'd' ? 0 : 4;
  });
  ASSERT_EQ(created.Receive(), 'c');
  COsSync opener;
  ASSERT_EQ(opener.MutexOpen("orphan"), OS_STS_SUCCESS);
  EXPECT_EQ(opener.MutexClaim(0), OS_STS_TIMEOUT);  // the new creator holds it
  release.Send('r');
  EXPECT_EQ(opener.MutexClaim(5000), OS_STS_SUCCESS);
  opener.MutexRelease("orphan");
  done.Send('d');
  EXPECT_EQ(Reap(pidNew), 0);
}

// The file as Python's struct reads it over a mapping of the file.
TEST_F(SyncTest, ObjectFileLayoutIsReadableByAnotherReader) {
  mode_t modeSaved = umask(077);  // the files are 0666 whatever the mask
  COsSync first, second, mutex, opener;
  ASSERT_EQ(first.EventCreate("first", "layout", false), OS_STS_SUCCESS);
  ASSERT_EQ(second.EventCreate("second", "layout", false), OS_STS_SUCCESS);
  ASSERT_EQ(mutex.MutexCreate("third", "layout"), OS_STS_SUCCESS);
  umask(modeSaved);
  ASSERT_EQ(opener.EventOpen("second"), OS_STS_SUCCESS);
  ASSERT_EQ(mutex.MutexClaim(0), OS_STS_SUCCESS);
  ASSERT_EQ(second.EventSet(), OS_STS_SUCCESS);
  std::string python = testsupport::RunPython(
      "import mmap, os, struct, sys\n"
      "d = sys.argv[1]\n"
      "g = os.path.join(d, 'group_layout')\n"
      "st = os.stat(g)\n"
      "print('mode', oct(st.st_mode & 0o777), 'links', st.st_nlink, 'size', st.st_size)\n"
      "for n in ('event_first', 'event_second', 'mutex_third'):\n"
      "    print(n, os.stat(os.path.join(d, n)).st_ino == st.st_ino)\n"
      "with open(g, 'rb') as f:\n"
      "    m = mmap.mmap(f.fileno(), 0, prot=mmap.PROT_READ)\n"
      "    print('head', *struct.unpack_from('<QQ', m, 0))\n"
      "    for i in range(16):\n"
      "        mode, pid, tid, obj, flag = struct.unpack_from('<5Q', m, 16 + 40 * i)\n"
      "        if mode: print('slot', i, mode, pid == int(sys.argv[2]), tid > 0, obj != 0, flag)\n"
      "    for i in range(8):\n"
      "        t, name, refs, cond, manual, mutex = struct.unpack_from('<Q512sQqqQ', m, 656 + 552 * i)\n"
      "        if t: print('flag', i, t, name.rstrip(b'\\0').decode(), refs, cond, manual, mutex)\n"
      "    print('private', any(m[5072:5328]), not any(m[5072 + 40:5072 + 128]))\n",
      {m_directory, std::to_string(getpid())});
  EXPECT_EQ(python,
            "mode 0o666 links 4 size 5328\n"
            "event_first True\n"
            "event_second True\n"
            "mutex_third True\n"
            "head 5328 3\n"
            "slot 0 1 True True True 0\n"
            "slot 1 1 True True True 1\n"
            "slot 2 1 True True True 2\n"
            "slot 3 2 True True True 1\n"
            "flag 0 1 first 1 0 0 0\n"
            "flag 1 1 second 2 1 0 0\n"
            "flag 2 2 third 1 0 0 3\n"
            "private True True\n");
}

}  // namespace
