// Names in directories other users write too: a lock file is held against
// every other open, never emptied, never reached through a planted link or
// pipe; a directory counts only as itself.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "os_cosfile.h"
#include "test_support.h"

using testsupport::ReadFile;
using testsupport::RootPath;
using testsupport::WriteFile;

namespace {

TEST(COsFileShared, ALockFileIsHeldAgainstEveryOtherOpen) {
  const std::string strLock = RootPath("data.lock");
  WriteFile(strLock, "kept");
  COsFile osfile;
  COsFile osfileOther;
  ASSERT_EQ(osfile.OpenLockFile(strLock.c_str()), OS_STS_SUCCESS);
  EXPECT_EQ(ReadFile(strLock), "kept");
  EXPECT_EQ(osfileOther.OpenLockFile(strLock.c_str()), OS_STS_IN_USE);
  // Another process is refused too (flock(1) without waiting).
  int iStatus = -1;
  testsupport::RunProgram({"flock", "-n", strLock, "true"}, &iStatus);
  EXPECT_NE(iStatus, 0);
  osfile.Close();
  EXPECT_EQ(osfileOther.OpenLockFile(strLock.c_str()), OS_STS_SUCCESS);
  // A missing file is made.
  COsFile osfileNew;
  EXPECT_EQ(osfileNew.OpenLockFile(RootPath("new.lock").c_str()), OS_STS_SUCCESS);
  EXPECT_TRUE(testsupport::FileExists(RootPath("new.lock")));
}

TEST(COsFileShared, PlantedNamesAreRefusedNotFollowed) {
  WriteFile(RootPath("victim"), "keep me");
  ASSERT_EQ(symlink(RootPath("victim").c_str(), RootPath("link.lock").c_str()), 0);
  ASSERT_EQ(symlink(RootPath("nowhere").c_str(), RootPath("dangling.lock").c_str()), 0);
  ASSERT_EQ(mkfifo(RootPath("pipe.lock").c_str(), 0600), 0);
  COsFile osfile;
  EXPECT_EQ(osfile.OpenLockFile(RootPath("link.lock").c_str()), OS_STS_ACCESS_DENIED);
  EXPECT_EQ(osfile.OpenLockFile(RootPath("dangling.lock").c_str()), OS_STS_ACCESS_DENIED);
  EXPECT_EQ(osfile.OpenLockFile(RootPath("pipe.lock").c_str()), OS_STS_ACCESS_DENIED);
  EXPECT_EQ(osfile.OpenLockFile(RootPath("missing/dir.lock").c_str()), OS_STS_FILE_NOT_FOUND);
  EXPECT_EQ(osfile.OpenLockFile(nullptr), OS_STS_BAD_ARGUMENT);
  EXPECT_FALSE(osfile.IsOpen());
  EXPECT_EQ(ReadFile(RootPath("victim")), "keep me");
  EXPECT_FALSE(testsupport::FileExists(RootPath("nowhere")));
}

TEST(COsFileShared, ADirectoryCountsOnlyAsItself) {
  ASSERT_EQ(mkdir(RootPath("dir").c_str(), 0777), 0);
  ASSERT_EQ(symlink(RootPath("dir").c_str(), RootPath("linkdir").c_str()), 0);
  WriteFile(RootPath("file"), "");
  EXPECT_TRUE(COsFile::IsRealDirectory(RootPath("dir").c_str()));
  EXPECT_FALSE(COsFile::IsRealDirectory(RootPath("linkdir").c_str()));
  EXPECT_FALSE(COsFile::IsRealDirectory(RootPath("file").c_str()));
  EXPECT_FALSE(COsFile::IsRealDirectory(RootPath("missing").c_str()));
  EXPECT_FALSE(COsFile::IsRealDirectory(nullptr));
}

}  // namespace
