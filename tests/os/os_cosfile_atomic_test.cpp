// Whole-file writes: a reader sees the old file or the new one, never a mix,
// whatever happens to the writer; a name that must be new is never replaced.
#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "os_cosfile.h"
#include "test_support.h"

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::RootPath;
using testsupport::WriteFile;

namespace {

EOSSTS Write(const std::string& a_strPath, const std::string& a_strText, bool a_blNewOnly = false) {
  return COsFile::WriteAtomic(a_strPath.c_str(), a_strText.data(), a_strText.size(), a_blNewOnly);
}

// Names in a directory other than "." and "..".
std::vector<std::string> Entries(const std::string& a_strDirectory) {
  std::vector<std::string> vstr;
  DIR* pdir = opendir(a_strDirectory.c_str());
  if (!pdir) return vstr;
  while (dirent* pdirent = readdir(pdir)) {
    std::string strName = pdirent->d_name;
    if (strName != "." && strName != "..") vstr.push_back(strName);
  }
  closedir(pdir);
  return vstr;
}

TEST(COsFileWriteAtomic, ReplacesWholeAndKeepsTheMode) {
  mkdir(RootPath("d").c_str(), 0777);
  const std::string strFile = RootPath("d/f.xml");
  WriteFile(strFile, "old contents");
  chmod(strFile.c_str(), 0640);
  ASSERT_EQ(Write(strFile, "new"), OS_STS_SUCCESS);
  EXPECT_EQ(ReadFile(strFile), "new");
  struct stat st;
  ASSERT_EQ(stat(strFile.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(Entries(RootPath("d")), std::vector<std::string>{"f.xml"});
  // Empty contents are a file too.
  ASSERT_EQ(Write(strFile, ""), OS_STS_SUCCESS);
  EXPECT_TRUE(FileExists(strFile));
  EXPECT_EQ(ReadFile(strFile), "");
}

TEST(COsFileWriteAtomic, NewOnlyNeverReplaces) {
  const std::string strFile = RootPath("n.profile");
  ASSERT_EQ(Write(strFile, "first", true), OS_STS_SUCCESS);
  EXPECT_EQ(Write(strFile, "second", true), OS_STS_ALREADY_EXISTS);
  EXPECT_EQ(ReadFile(strFile), "first");
  // A dangling link at the name counts as taken: nothing is made through it.
  ASSERT_EQ(symlink(RootPath("elsewhere").c_str(), RootPath("l.profile").c_str()), 0);
  EXPECT_EQ(Write(RootPath("l.profile"), "x", true), OS_STS_ALREADY_EXISTS);
  EXPECT_FALSE(FileExists(RootPath("elsewhere")));
  std::vector<std::string> vstr = Entries(testsupport::Root());
  for (const std::string& str : vstr) EXPECT_EQ(str.find(".tmp"), std::string::npos) << str;
}

TEST(COsFileWriteAtomic, ALinkAtTheNameIsReplacedNotWrittenThrough) {
  WriteFile(RootPath("victim"), "keep me");
  ASSERT_EQ(symlink(RootPath("victim").c_str(), RootPath("planted").c_str()), 0);
  ASSERT_EQ(Write(RootPath("planted"), "data"), OS_STS_SUCCESS);
  EXPECT_EQ(ReadFile(RootPath("victim")), "keep me");
  struct stat st;
  ASSERT_EQ(lstat(RootPath("planted").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(ReadFile(RootPath("planted")), "data");
}

TEST(COsFileWriteAtomic, FailuresLeaveTheOldFileAndNoTemporary) {
  EXPECT_EQ(Write(RootPath("missing/dir/f"), "x"), OS_STS_FILE_NOT_FOUND);
  EXPECT_EQ(COsFile::WriteAtomic(nullptr, "x", 1, false), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(COsFile::WriteAtomic(RootPath("f").c_str(), nullptr, 1, false), OS_STS_BAD_ARGUMENT);
  // A target that is a directory: the rename fails, the directory stays.
  mkdir(RootPath("adir").c_str(), 0777);
  EXPECT_NE(Write(RootPath("adir"), "x"), OS_STS_SUCCESS);
  EXPECT_TRUE(Entries(RootPath("adir")).empty());
  // A write cut short by the file-size limit, in a child.
  const std::string strFile = RootPath("limited");
  WriteFile(strFile, "the old document");
  pid_t pid = fork();
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit rl = {4, 4};
    setrlimit(RLIMIT_FSIZE, &rl);
    _exit(Write(strFile, std::string(4096, 'n')) == OS_STS_SUCCESS ? 0 : 1);
  }
  int iStatus = 0;
  waitpid(pid, &iStatus, 0);
  EXPECT_EQ(WEXITSTATUS(iStatus), 1);
  EXPECT_EQ(ReadFile(strFile), "the old document");
  for (const std::string& str : Entries(testsupport::Root())) EXPECT_EQ(str.find(".tmp"), std::string::npos) << str;
}

TEST(COsFileWriteAtomic, TemporariesAreRecognised) {
  EXPECT_TRUE(COsFile::IsAtomicTemporary("device.xml.tmpA1b2C3", "device.xml"));
  EXPECT_FALSE(COsFile::IsAtomicTemporary("device.xml", "device.xml"));
  EXPECT_FALSE(COsFile::IsAtomicTemporary("device.xml.tmpA1b2C", "device.xml"));
  EXPECT_FALSE(COsFile::IsAtomicTemporary("other.xml.tmpA1b2C3", "device.xml"));
  EXPECT_FALSE(COsFile::IsAtomicTemporary("device.xml.bakA1b2C3", "device.xml"));
}

// Several writers and SIGKILLs at random moments: the file is always one of
// the documents written whole.
TEST(COsFileWriteAtomic, WritersKilledMidSaveNeverLeaveAPartialFile) {
  const std::string strFile = RootPath("shared.xml");
  const std::string strA(200000, 'a');
  const std::string strB(150000, 'b');
  ASSERT_EQ(Write(strFile, strA), OS_STS_SUCCESS);
  std::mt19937 rng(12345);
  for (int iRound = 0; iRound < 20; ++iRound) {
    std::vector<pid_t> vpid;
    for (int iWriter = 0; iWriter < 3; ++iWriter) {
      pid_t pid = fork();
      if (pid == 0) {
        for (int i = 0;; ++i) Write(strFile, (i + iWriter) % 2 ? strA : strB);
      }
      vpid.push_back(pid);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(200, 20000)(rng)));
    for (pid_t pid : vpid) kill(pid, SIGKILL);
    for (pid_t pid : vpid) waitpid(pid, nullptr, 0);
    const std::string strNow = ReadFile(strFile);
    ASSERT_TRUE(strNow == strA || strNow == strB) << "round " << iRound << ": " << strNow.size() << " bytes";
  }
}

}  // namespace
