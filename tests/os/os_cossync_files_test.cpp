// The object files in the shared common directory: names planted there by
// another user (links, other kinds of files), names that a live object
// holds, files that killed processes left, and blocks that cannot be
// reserved on a full file system.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "log_capture.h"
#include "os_cosfile.h"
#include "os_cossync.h"
#include "os_cossync_helpers.h"
#include "test_support.h"

namespace {
using synctest::Fork;
using synctest::Pipe;
using synctest::Reap;
using synctest::SyncTest;

// A file outside the common directory whose bytes and mode must survive.
struct Canary {
  explicit Canary(const std::string& a_strPath) : strPath(a_strPath) {
    testsupport::WriteFile(strPath, "canary");
    chmod(strPath.c_str(), 0640);
  }
  bool Intact() const {
    struct stat st;
    return testsupport::ReadFile(strPath) == "canary" && stat(strPath.c_str(), &st) == 0 && (st.st_mode & 07777) == 0640;
  }
  std::string strPath;
};

bool IsPlainFile(const std::string& a_strPath) {
  struct stat st;
  return lstat(a_strPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsLink(const std::string& a_strPath) {
  struct stat st;
  return lstat(a_strPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

int NoSpace(int, off_t, off_t) { return ENOSPC; }

// A link at a group's name (planted in advance) is removed and the group
// made anew in its place; a link at an event's name is never opened.
TEST_F(SyncTest, LinksAtObjectNamesAreNeverFollowed) {
  ASSERT_EQ(COsFile::Create(m_directory.c_str()), OS_STS_SUCCESS);
  Canary canary(testsupport::RootPath("victim"));
  ASSERT_EQ(symlink(canary.strPath.c_str(), Path("group_rchannel").c_str()), 0);
  ASSERT_EQ(symlink(canary.strPath.c_str(), Path("event_planted").c_str()), 0);
  ASSERT_EQ(mkfifo(Path("group_fifo").c_str(), 0666), 0);
  testsupport::LogCapture log;
  COsSync member;
  ASSERT_EQ(member.EventCreate("rchannelEventOkToRead", "rchannel", false), OS_STS_SUCCESS);
  EXPECT_TRUE(IsPlainFile(Path("group_rchannel")));
  EXPECT_TRUE(log.Contains("sync>>> not a plain file, removed...<" + Path("group_rchannel") + ">"));
  COsSync other;
  ASSERT_EQ(other.EventCreate("fifoEvent", "fifo", false), OS_STS_SUCCESS);
  EXPECT_TRUE(IsPlainFile(Path("group_fifo")));
  COsSync opener;
  EXPECT_EQ(opener.EventOpen("planted"), OS_STS_FAIL);
  EXPECT_TRUE(IsLink(Path("event_planted")));
  EXPECT_TRUE(canary.Intact());
}

// A name made new only: another live object's name, a link or any other
// file at it answers 261 and is left as it is.
TEST_F(SyncTest, CreateNewNeverTakesOverAName) {
  COsSync first;
  ASSERT_EQ(first.EventCreateNew("fresh"), OS_STS_SUCCESS);
  COsSync second;
  EXPECT_EQ(second.EventCreateNew("fresh"), OS_STS_ALREADY_EXISTS);
  COsSync opener;
  ASSERT_EQ(opener.EventOpen("fresh"), OS_STS_SUCCESS);
  opener.EventSet();
  EXPECT_EQ(first.EventWait(0), OS_STS_SUCCESS);
  ASSERT_EQ(symlink("nowhere", Path("event_dangling").c_str()), 0);
  EXPECT_EQ(second.EventCreateNew("dangling"), OS_STS_ALREADY_EXISTS);
  EXPECT_TRUE(IsLink(Path("event_dangling")));
  EXPECT_EQ(second.EventCreateNew("other"), OS_STS_SUCCESS);
}

// Files of processes that were killed go; those a live process uses (this
// one, or a child still running) stay, as do links and files being made.
TEST_F(SyncTest, StaleEventFilesGoAndLiveOnesStay) {
  for (const char* szName : {"DriverEvent_1", "DriverEvent_2"}) {
    const std::string strName = szName;
    pid_t pid = Fork([&] {
      COsSync* pleft = new COsSync;  // never closed, as after SIGKILL
      return pleft->EventCreate(strName.c_str(), nullptr, true) == OS_STS_SUCCESS ? 0 : 1;
    });
    ASSERT_EQ(Reap(pid), 0);
  }
  Pipe made;
  Pipe done;
  pid_t pidAlive = Fork([&] {
    COsSync held;
    if (held.EventCreate("held", nullptr, true) != OS_STS_SUCCESS) return 1;
    made.Send('m');
    return done.Receive() == 'd' ? 0 : 2;
  });
  ASSERT_EQ(made.Receive(), 'm');
  COsSync own;
  ASSERT_EQ(own.EventCreate("own", nullptr, true), OS_STS_SUCCESS);
  COsSync opened;
  ASSERT_EQ(opened.EventOpen("held"), OS_STS_SUCCESS);
  Canary canary(testsupport::RootPath("victim"));
  ASSERT_EQ(symlink(canary.strPath.c_str(), Path("event_link").c_str()), 0);
  testsupport::WriteFile(Path("event_short"), "");
  testsupport::LogCapture log;

  COsSync::RemoveStaleEvents();
  EXPECT_FALSE(testsupport::FileExists(Path("event_DriverEvent_1")));
  EXPECT_FALSE(testsupport::FileExists(Path("event_DriverEvent_2")));
  EXPECT_FALSE(testsupport::FileExists(Path("event_short")));
  EXPECT_TRUE(IsPlainFile(Path("event_held")));
  EXPECT_TRUE(IsPlainFile(Path("event_own")));
  EXPECT_TRUE(IsLink(Path("event_link")));
  EXPECT_TRUE(canary.Intact());
  EXPECT_TRUE(log.Contains("sync>>> 3 events of ended processes removed...<" + m_directory + ">"));
  done.Send('d');
  EXPECT_EQ(Reap(pidAlive), 0);
  own.EventSet();
  EXPECT_EQ(own.EventWait(0), OS_STS_SUCCESS);
}

// Blocks that cannot be reserved (a full file system) fail the creation
// with a status and a log line; the name made for it goes again, and the
// next creation with room works.
TEST_F(SyncTest, CreationFailsWhenTheBlocksCannotBeReserved) {
  testsupport::LogCapture log;
  COsFile::SetReserveSeam(&NoSpace);
  COsSync event;
  EXPECT_EQ(event.EventCreate("full", nullptr, true), OS_STS_FAIL);
  COsSync member;
  EXPECT_EQ(member.EventCreate("fullEvent", "fullgroup", false), OS_STS_FAIL);
  COsFile::SetReserveSeam(nullptr);
  EXPECT_TRUE(log.Contains("posix_fallocate failed..." + std::to_string(ENOSPC) + " 5328 <" + Path("event_full") + ">"));
  EXPECT_TRUE(log.Contains("sync>>> no room for the block...<" + Path("event_full") + ">"));
  EXPECT_FALSE(testsupport::FileExists(Path("event_full")));
  EXPECT_FALSE(testsupport::FileExists(Path("group_fullgroup")));
  ASSERT_EQ(event.EventCreate("full", nullptr, true), OS_STS_SUCCESS);
  struct stat st;
  ASSERT_EQ(stat(Path("event_full").c_str(), &st), 0);
  EXPECT_GE(st.st_blocks * 512, 5328);
}

}  // namespace
