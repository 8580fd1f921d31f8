// Directory creation, recursive deletion and permission changes (with
// symbolic links that lead out of the tree), file copy and move.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "os_cosfile.h"
#include "os_cosfile_testutil.h"
#include "test_support.h"

using filetest::MakeTree;
using filetest::ModeOf;
using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::Root;
using testsupport::RunPython;
using testsupport::WriteFile;

namespace {

// Modes as Python's os.lstat reports them, one octal number per path.
std::string PythonModes(const std::vector<std::string>& a_paths) {
  return RunPython("import os,sys\nfor p in sys.argv[1:]: print(oct(os.lstat(p).st_mode & 0o7777))", a_paths);
}

TEST(COsFileCreate, MakesEveryLevelWithMode0777) {
  EXPECT_EQ(COsFile::Create("a/b/c"), OS_STS_SUCCESS);
  EXPECT_EQ(PythonModes({"a", "a/b", "a/b/c"}), "0o777\n0o777\n0o777\n");
  EXPECT_EQ(COsFile::Create("a/b/c"), OS_STS_ALREADY_EXISTS);
  EXPECT_EQ(COsFile::Create("./a//b/d/"), OS_STS_SUCCESS);
  EXPECT_TRUE(FileExists("a/b/d"));
  EXPECT_EQ(COsFile::Create((Root() + "/abs/x").c_str()), OS_STS_SUCCESS);
  EXPECT_EQ(COsFile::Create("./"), OS_STS_ALREADY_EXISTS);
  EXPECT_EQ(COsFile::Create("..//"), OS_STS_ALREADY_EXISTS);
  WriteFile("file", "x");
  EXPECT_EQ(COsFile::Create("file/sub"), OS_STS_FAIL);
  EXPECT_EQ(COsFile::Create(nullptr), OS_STS_FAIL);
  std::string too_long(5000, 'x');
  EXPECT_EQ(COsFile::Create(too_long.c_str()), OS_STS_FAIL);
}

// A directory made fresh is made by that very call: whatever has the name
// already (made in advance by another user) answers 261 and stays as it was.
TEST(COsFileCreate, FreshMakesOnlyANewNameAndFollowsNoLink) {
  WriteFile("target", "x");
  ASSERT_EQ(COsFile::Create("dir"), OS_STS_SUCCESS);
  ASSERT_EQ(symlink("target", "to-file"), 0);
  ASSERT_EQ(symlink("dir", "to-dir"), 0);
  ASSERT_EQ(symlink("missing", "dangling"), 0);
  ASSERT_EQ(symlink("loop", "loop"), 0);
  WriteFile("file", "x");
  for (const char* szName : {"dir", "to-file", "to-dir", "dangling", "loop", "file"}) {
    EXPECT_EQ(COsFile::CreateFresh(szName), OS_STS_ALREADY_EXISTS) << szName;
  }
  EXPECT_FALSE(FileExists("missing"));
  EXPECT_EQ(COsFile::CreateFresh("new/level/fresh/"), OS_STS_SUCCESS);
  EXPECT_EQ(PythonModes({"new", "new/level", "new/level/fresh"}), "0o777\n0o777\n0o777\n");
  EXPECT_EQ(COsFile::CreateFresh("new/level/fresh"), OS_STS_ALREADY_EXISTS);
  EXPECT_EQ(COsFile::CreateFresh("file/sub"), OS_STS_FAIL);
  EXPECT_EQ(COsFile::CreateFresh(nullptr), OS_STS_FAIL);
  EXPECT_TRUE(COsFile::IsOwnDirectory("dir"));
  EXPECT_FALSE(COsFile::IsOwnDirectory("to-dir"));
  EXPECT_FALSE(COsFile::IsOwnDirectory("file"));
}

TEST(COsFileDelete, FilesDirectoriesAndRefusals) {
  MakeTree(Root() + "/t", {"f=1", "d/", "d/g=2", "d/e/", "d/e/h=3", "empty/", "a*b=4"});
  EXPECT_EQ(COsFile::Delete(nullptr, OS_FILETYPE_FILE, false), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(COsFile::Delete("t/*", OS_FILETYPE_FILE, false), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(COsFile::Delete("t/?", OS_FILETYPE_FILE, false), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(COsFile::Delete("t/a*b", OS_FILETYPE_FILE, false), OS_STS_BAD_ARGUMENT);
  EXPECT_TRUE(FileExists("t/a*b"));
  EXPECT_EQ(COsFile::Delete("t/f", OS_FILETYPE_NONE, false), OS_STS_FAIL);
  EXPECT_EQ(COsFile::Delete("t/f", OS_FILETYPE_DIRECTORY, true), OS_STS_FAIL);
  EXPECT_EQ(COsFile::Delete("t/d", OS_FILETYPE_FILE, true), OS_STS_FAIL);
  EXPECT_EQ(COsFile::Delete("t/missing", OS_FILETYPE_FILE, false), OS_STS_FAIL);
  EXPECT_EQ(COsFile::Delete("t/d", OS_FILETYPE_DIRECTORY, false), OS_STS_FAIL);  // not empty
  EXPECT_TRUE(FileExists("t/d/e/h"));
  EXPECT_EQ(COsFile::Delete("t/f", OS_FILETYPE_FILE, false), OS_STS_SUCCESS);
  EXPECT_EQ(COsFile::Delete("t/empty/", OS_FILETYPE_DIRECTORY, false), OS_STS_SUCCESS);
  EXPECT_EQ(COsFile::Delete("t/d", OS_FILETYPE_DIRECTORY, true), OS_STS_SUCCESS);
  EXPECT_FALSE(FileExists("t/d"));
  // A file whose name holds a wildcard goes with its tree.
  EXPECT_EQ(COsFile::Delete("t", OS_FILETYPE_DIRECTORY, true), OS_STS_SUCCESS);
  EXPECT_FALSE(FileExists("t"));
  ASSERT_EQ(mkfifo("fifo", 0600), 0);
  EXPECT_EQ(COsFile::Delete("fifo", OS_FILETYPE_OTHER, false), OS_STS_FAIL);
}

// Old log directories are pruned with a recursive delete: a link in them
// that leads to a directory elsewhere is removed as a link, and what it
// leads to is untouched.
TEST(COsFileDelete, LinksAreRemovedAsLinksNeverEntered) {
  MakeTree(Root() + "/outside", {"keep=precious", "sub/", "sub/keep2=also"});
  MakeTree(Root() + "/logs", {"old/", "old/a.log=1", "old/out->../../outside", "old/outfile->../../outside/keep",
                              "old/dangling->nowhere", "old/fifo", "tolink->../outside"});
  unlink("logs/old/fifo");
  ASSERT_EQ(mkfifo("logs/old/fifo", 0600), 0);
  EXPECT_EQ(COsFile::Delete("logs/old", OS_FILETYPE_DIRECTORY, true), OS_STS_SUCCESS);
  EXPECT_FALSE(FileExists("logs/old"));
  // The link itself, named with or without a trailing "/".
  EXPECT_EQ(COsFile::Delete("logs/tolink/", OS_FILETYPE_DIRECTORY, true), OS_STS_SUCCESS);
  EXPECT_EQ(RunPython("import os; print(os.path.lexists('logs/tolink'))"), "False\n");
  EXPECT_EQ(ReadFile("outside/keep"), "precious");
  EXPECT_EQ(ReadFile("outside/sub/keep2"), "also");
}

// A tree deeper than any path buffer is still deleted.
TEST(COsFileDelete, TreeDeeperThanAPathBuffer) {
  std::string name(200, 'd');
  ASSERT_EQ(mkdir("deep", 0755), 0);
  int iFd = open("deep", O_RDONLY | O_DIRECTORY);
  for (int i = 0; i < 30; ++i) {  // about 6000 characters of path
    ASSERT_EQ(mkdirat(iFd, name.c_str(), 0755), 0);
    int iNext = openat(iFd, name.c_str(), O_RDONLY | O_DIRECTORY);
    close(iFd);
    iFd = iNext;
  }
  int iFile = openat(iFd, "leaf", O_WRONLY | O_CREAT, 0644);
  close(iFile);
  close(iFd);
  EXPECT_EQ(COsFile::Delete("deep", OS_FILETYPE_DIRECTORY, true), OS_STS_SUCCESS);
  EXPECT_FALSE(FileExists("deep"));
}

TEST(COsFileAccess, SetFileAccessRecursiveLeavesLinkTargetsAlone) {
  MakeTree(Root() + "/outside", {"o.txt=1", "od/"});
  chmod("outside/o.txt", 0640);
  chmod("outside/od", 0750);
  MakeTree(Root() + "/t", {"f=1", "d/", "d/g=2", "ld->../outside/od", "lf->../outside/o.txt"});
  EXPECT_EQ(COsFile::SetFileAccess("t/", OS_FILEACCESS_READ, true), OS_STS_SUCCESS);
  EXPECT_EQ(PythonModes({"t", "t/f", "t/d", "t/d/g", "outside/o.txt", "outside/od"}),
            "0o444\n0o444\n0o444\n0o444\n0o640\n0o750\n");
  EXPECT_EQ(COsFile::SetFileAccess("t", OS_FILEACCESS_READWRITE, true), OS_STS_SUCCESS);
  EXPECT_EQ(PythonModes({"t", "t/f", "t/d", "t/d/g", "outside/o.txt", "outside/od"}),
            "0o770\n0o770\n0o770\n0o770\n0o640\n0o750\n");
  // Not recursive: only the name itself.
  EXPECT_EQ(COsFile::SetFileAccess("t", OS_FILEACCESS_READ, false), OS_STS_SUCCESS);
  EXPECT_EQ(PythonModes({"t", "t/f"}), "0o444\n0o770\n");
  EXPECT_EQ(COsFile::SetFileAccess("t/f", OS_FILEACCESS_WRITE, false), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(COsFile::SetFileAccess("t/missing", OS_FILEACCESS_READ, false), OS_STS_FILE_NOT_FOUND);
  EXPECT_EQ(COsFile::SetFileAccess(nullptr, OS_FILEACCESS_READ, false), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(ModeOf("t/f"), 0770u);
}

TEST(COsFileAccess, SetAccessChangesOwnerAndGroupBitsOnly) {
  struct {
    mode_t modetBefore;
    EOSFILEACCESS eosfileaccess;
    mode_t modetAfter;
  } cases[] = {
      {0604, OS_FILEACCESS_READ, 0444},      {0666, OS_FILEACCESS_WRITE, 0226},
      {0001, OS_FILEACCESS_READWRITE, 0661}, {0644, OS_FILEACCESS_EXECUTE, 0754},
  };
  WriteFile("f", "x");
  for (const auto& c : cases) {
    chmod("f", c.modetBefore);
    EXPECT_EQ(COsFile::SetAccess("f", c.eosfileaccess), OS_STS_SUCCESS);
    EXPECT_EQ(PythonModes({"f"}), "0o" + [&] {
      char sz[8];
      snprintf(sz, sizeof sz, "%o", c.modetAfter);
      return std::string(sz);
    }() + "\n");
  }
  EXPECT_EQ(COsFile::SetAccess("f", static_cast<EOSFILEACCESS>(5)), OS_STS_FAIL);
  EXPECT_EQ(COsFile::SetAccess("missing", OS_FILEACCESS_READ), OS_STS_FAIL);
}

TEST(COsFileCopy, CopiesAcrossBlocksAndRefusesBadSources) {
  // Larger than two copy blocks, compared by Python.
  RunPython("import os; open('big','wb').write(os.urandom(5*1024*1024+123))");
  EXPECT_EQ(COsFile::Copy("big", "big.copy"), OS_STS_SUCCESS);
  EXPECT_EQ(RunPython("import filecmp; print(filecmp.cmp('big','big.copy',shallow=False))"), "True\n");
  WriteFile("small", "abc");
  WriteFile("target", "a much longer old content");
  EXPECT_EQ(COsFile::Copy("small", "target"), OS_STS_SUCCESS);
  EXPECT_EQ(ReadFile("target"), "abc");
  EXPECT_EQ(COsFile::Copy("missing", "x"), OS_STS_FAIL);
  EXPECT_FALSE(FileExists("x"));
  mkdir("dir", 0755);
  EXPECT_EQ(COsFile::Copy("dir", "x"), OS_STS_FAIL);
  EXPECT_FALSE(FileExists("x"));
  EXPECT_EQ(COsFile::Copy("small", "dir"), OS_STS_FAIL);
  EXPECT_EQ(COsFile::Copy("small", "nodir/x"), OS_STS_FAIL);
  // Onto itself (also through a link): refused, and the data stays.
  EXPECT_EQ(COsFile::Copy("small", "small"), OS_STS_FAIL);
  ASSERT_EQ(symlink("small", "alias"), 0);
  EXPECT_EQ(COsFile::Copy("small", "alias"), OS_STS_FAIL);
  EXPECT_EQ(ReadFile("small"), "abc");
  EXPECT_EQ(COsFile::Copy(nullptr, "x"), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(COsFile::Copy("small", nullptr), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(COsFile::ProtectedModeCopy("small", "pm"), OS_STS_SUCCESS);
  EXPECT_EQ(ReadFile("pm"), "abc");
  EXPECT_EQ(COsFile::ProtectedModeCopy(nullptr, "pm"), OS_STS_BAD_ARGUMENT);
}

// A copy that cannot be written whole is reported, and the partial target
// is removed.
TEST(COsFileCopy, FailedWriteRemovesThePartialTarget) {
  RunPython("open('src','wb').write(b'x'*5000)");
  std::vector<long> result = filetest::RunInChild(
      [] {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit rl {1000, 1000};
        setrlimit(RLIMIT_FSIZE, &rl);
        return std::vector<long>{COsFile::Copy("src", "dst")};
      },
      false);
  ASSERT_EQ(result.size(), 1u);
  EXPECT_EQ(result[0], OS_STS_FAIL);
  EXPECT_FALSE(FileExists("dst"));
}

TEST(COsFileMove, RenamesOrFails) {
  WriteFile("a", "1");
  EXPECT_EQ(COsFile::Move("a", "b"), OS_STS_SUCCESS);
  EXPECT_EQ(ReadFile("b"), "1");
  EXPECT_FALSE(FileExists("a"));
  EXPECT_EQ(COsFile::Move("a", "c"), OS_STS_FAIL);
  EXPECT_EQ(COsFile::Move("b", "nodir/c"), OS_STS_FAIL);
  EXPECT_EQ(COsFile::Move(nullptr, "c"), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(COsFile::Move("b", nullptr), OS_STS_BAD_ARGUMENT);
}

TEST(COsFileTemp, TempDirAndUniqueNames) {
  char szTemp[512];
  EXPECT_EQ(COsFile::GetTempDir(szTemp, sizeof szTemp), OS_STS_SUCCESS);
  EXPECT_EQ(std::string(szTemp), Root());
  setenv("TMPDIR", (Root() + "/newtmp").c_str(), 1);
  EXPECT_EQ(COsFile::GetTempDir(szTemp, sizeof szTemp), OS_STS_SUCCESS);
  EXPECT_TRUE(FileExists(Root() + "/newtmp"));
  EXPECT_EQ(COsFile::GetTempDir(szTemp, 4), OS_STS_NOROOM_BUFFER);
  EXPECT_EQ(COsFile::GetTempDir(nullptr, 4), OS_STS_BAD_ARGUMENT);

  char szName[512], szName2[512];
  ASSERT_EQ(COsFile::GetTempName("newtmp/", szName, "pre", sizeof szName), OS_STS_SUCCESS);
  ASSERT_EQ(COsFile::GetTempName("newtmp", szName2, "pre", sizeof szName2), OS_STS_SUCCESS);
  EXPECT_EQ(std::string(szName).substr(0, 10), "newtmp/pre");
  EXPECT_EQ(std::string(szName).size(), 16u);
  EXPECT_NE(std::string(szName), std::string(szName2));
  EXPECT_FALSE(FileExists(szName));  // only the name is kept
  EXPECT_EQ(COsFile::GetTempName("missing", szName, "pre", sizeof szName), OS_STS_FAIL);
  EXPECT_EQ(COsFile::GetTempName("newtmp", szName, "pre", 8), OS_STS_NOROOM_BUFFER);
  std::string long_dir(600, 'd');
  EXPECT_EQ(COsFile::GetTempName(long_dir.c_str(), szName, "pre", sizeof szName), OS_STS_NOROOM_BUFFER);
  EXPECT_EQ(COsFile::GetTempName(nullptr, szName, "pre", sizeof szName), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(COsFile::GetTempName("newtmp", nullptr, "pre", sizeof szName), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(COsFile::GetTempName("newtmp", szName, nullptr, sizeof szName), OS_STS_BAD_ARGUMENT);
}

TEST(COsFileCurrentDir, SetAndGet) {
  mkdir("sub", 0755);
  EXPECT_EQ(COsFile::SetCurrentDir("sub"), OS_STS_SUCCESS);
  char szCwd[512];
  EXPECT_EQ(COsFile::GetCurrentDir(szCwd, sizeof szCwd), OS_STS_SUCCESS);
  EXPECT_EQ(std::string(szCwd), Root() + "/sub");
  EXPECT_EQ(COsFile::GetCurrentDir(szCwd, 4), OS_STS_NOROOM_BUFFER);
  EXPECT_EQ(COsFile::SetCurrentDir("missing"), OS_STS_FAIL);
  EXPECT_EQ(COsFile::SetCurrentDir(nullptr), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(COsFile::GetCurrentDir(nullptr, 4), OS_STS_FAIL);
  EXPECT_EQ(COsFile::SetCurrentDir(".."), OS_STS_SUCCESS);
  EXPECT_EQ(COsFile::PathRedirection(true), OS_STS_SUCCESS);
}

// What a process that is not root meets: denied opens and creations, and an
// unreadable file that "open always" must not empty.
TEST(COsFileDenied, UnprivilegedProcessGetsClearStatuses) {
  MakeTree(Root() + "/ro", {"secret=s", "wonly=keep me", "closed/", "closed/inner=i", "pub=p"});
  chmod("ro/secret", 0600);
  chmod("ro/wonly", 0622);
  chmod("ro/closed", 0700);
  chmod("ro/pub", 0644);
  std::vector<long> result = filetest::RunUnprivileged([] {
    std::vector<long> r;
    COsFile osfile;
    r.push_back(osfile.Open("ro/secret", OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READ));
    r.push_back(osfile.Open("ro/new", OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READ));
    r.push_back(osfile.Open("ro/wonly", OS_FILEOPEN_ALWAYS, OS_FILEACCESS_WRITE, OS_FILESHARE_READ));
    r.push_back(osfile.Open("ro/pub", OS_FILEOPEN_EXISTING, OS_FILEACCESS_READWRITE, OS_FILESHARE_READ));
    r.push_back(COsFile::Create("ro/newdir"));
    OsFileInfo osfileinfo;
    r.push_back(COsFile::FindFirst("ro/closed/*", &osfileinfo));
    r.push_back(COsFile::FindFirst("ro/closed/inner", &osfileinfo));
    r.push_back(COsFile::SetFileAccess("ro/pub", OS_FILEACCESS_READWRITE, false));
    r.push_back(COsFile::Delete("ro/pub", OS_FILETYPE_FILE, false));
    r.push_back(COsFile::Copy("ro/secret", "ro/copy"));
    r.push_back(COsFile::Copy("ro/pub", "ro/copy"));
    r.push_back(COsFile::Move("ro/pub", "ro/moved"));
    r.push_back(COsFile::SetAccess("ro/pub", OS_FILEACCESS_READ));
    char szTemp[512];
    r.push_back(COsFile::GetTempName("ro", szTemp, "t", sizeof szTemp));
    return r;
  });
  std::vector<long> expected = {OS_STS_ACCESS_DENIED, OS_STS_ACCESS_DENIED, OS_STS_ACCESS_DENIED,
                                OS_STS_ACCESS_DENIED, OS_STS_ACCESS_DENIED, OS_STS_FILE_NOT_FOUND,
                                OS_STS_FILE_NOT_FOUND, OS_STS_FAIL,         OS_STS_FAIL,
                                OS_STS_FAIL,          OS_STS_FAIL,          OS_STS_FAIL,
                                OS_STS_FAIL,          OS_STS_FAIL};
  EXPECT_EQ(result, expected);
  EXPECT_EQ(ReadFile("ro/wonly"), "keep me");
  EXPECT_EQ(ReadFile("ro/pub"), "p");
  EXPECT_EQ(ModeOf("ro/pub"), 0644u);
  EXPECT_FALSE(FileExists("ro/new"));
  EXPECT_FALSE(FileExists("ro/newdir"));
}

}  // namespace
