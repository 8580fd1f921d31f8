// Path texts, absolute paths (against Python's realpath) and directory
// searches with wildcards (against Python's glob).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "os_cosfile.h"
#include "os_cosfile_testutil.h"
#include "test_support.h"

using testsupport::Root;
using testsupport::RunPython;

namespace {

TEST(COsFilePath, NormalizeKeepsANetworkPrefixAndFoldsRuns) {
  struct {
    const char* szIn;
    char cSeparator;
    const char* szOut;
  } cases[] = {
      {"\\\\server\\share//dir\\\\file", '/', "\\\\server/share/dir/file"},
      {"a//b\\c/", '/', "a/b/c/"},
      {"/\\/a", '/', "/a"},
      {"a/b", '\\', "a\\b"},
      {"", '/', ""},
      {"plain", '/', "plain"},
  };
  for (const auto& c : cases) {
    char szPath[64];
    std::strcpy(szPath, c.szIn);
    COsFile::PathNormalize(szPath, c.cSeparator);
    EXPECT_STREQ(szPath, c.szOut) << c.szIn;
  }
}

TEST(COsFilePath, SetCopiesWholeOrEmpties) {
  char szPath[8] = "xyz";
  COsFile::PathSet(szPath, sizeof szPath, "a\\\\b/c");
  EXPECT_STREQ(szPath, "a/b/c");
  COsFile::PathSet(szPath, sizeof szPath, "1234567");  // exactly fits
  EXPECT_STREQ(szPath, "1234567");
  COsFile::PathSet(szPath, sizeof szPath, "12345678");
  EXPECT_STREQ(szPath, "");
  char szOverlap[16] = "xx//a/b";
  COsFile::PathSet(szOverlap, sizeof szOverlap, szOverlap + 2);
  EXPECT_STREQ(szOverlap, "/a/b");
  COsFile::PathSet(nullptr, 4, "a");
  COsFile::PathSet(szPath, 0, "a");
}

TEST(COsFilePath, AppendJoinsWithOneSeparatorOrLeavesThePath) {
  struct {
    const char* szPath;
    size_t sizet;
    const char* szComponent;
    EOSSTS eosstatus;
    const char* szOut;
  } cases[] = {
      {"/var", 64, "C:temp", OS_STS_SUCCESS, "/var/temp"},
      {"/var/", 64, "log", OS_STS_SUCCESS, "/var/log"},
      {"/var", 64, "/log//x\\y", OS_STS_SUCCESS, "/var/log/x/y"},
      {"", 64, "x", OS_STS_SUCCESS, "/x"},
      {"abc", 8, "def", OS_STS_SUCCESS, "abc/def"},  // exactly fits
      {"abc/", 8, "def", OS_STS_SUCCESS, "abc/def"},
      {"abc", 7, "def", OS_STS_NOROOM_BUFFER, "abc"},
      {"abcd", 8, "def", OS_STS_NOROOM_BUFFER, "abcd"},
  };
  for (const auto& c : cases) {
    char szPath[64];
    std::strcpy(szPath, c.szPath);
    EXPECT_EQ(COsFile::PathAppend(szPath, c.sizet, c.szComponent), c.eosstatus) << c.szPath << " + " << c.szComponent;
    EXPECT_STREQ(szPath, c.szOut);
  }
  char szPath[8] = "a";
  EXPECT_EQ(COsFile::PathAppend(szPath, sizeof szPath, nullptr), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(COsFile::PathAppend(nullptr, 8, "x"), OS_STS_BAD_ARGUMENT);
}

TEST(COsFilePath, TrailingSlashSplitAndExe) {
  char szPath[32] = "/a//b\\";
  COsFile::PathRemoveTrailingSlash(szPath);
  EXPECT_STREQ(szPath, "/a/b");
  COsFile::PathRemoveTrailingSlash(szPath);
  EXPECT_STREQ(szPath, "/a/b");
  std::strcpy(szPath, "/");
  COsFile::PathRemoveTrailingSlash(szPath);
  EXPECT_STREQ(szPath, "/");

  std::strcpy(szPath, "dir\\\\sub/name.txt");
  size_t sizetOffset = 99;
  char* pszName = nullptr;
  EXPECT_EQ(COsFile::PathSplit(szPath, &sizetOffset, &pszName), OS_STS_SUCCESS);
  EXPECT_STREQ(szPath, "dir/sub/name.txt");
  EXPECT_EQ(sizetOffset, 7u);
  EXPECT_STREQ(pszName, "name.txt");
  std::strcpy(szPath, "plain");
  EXPECT_EQ(COsFile::PathSplit(szPath, &sizetOffset, &pszName), OS_STS_SUCCESS);
  EXPECT_EQ(sizetOffset, 0u);
  EXPECT_EQ(pszName, szPath);
  EXPECT_EQ(COsFile::PathSplit(szPath, nullptr, nullptr), OS_STS_SUCCESS);
  EXPECT_EQ(COsFile::PathSplit(nullptr, &sizetOffset, &pszName), OS_STS_BAD_ARGUMENT);

  std::strcpy(szPath, "bin//prog");
  COsFile::PathAppendExe(szPath, sizeof szPath);
  EXPECT_STREQ(szPath, "bin/prog");
}

// The tree that the absolute paths and the searches run over.
void MakePathTree() {
  filetest::MakeTree(Root() + "/p", {"d/", "d/e/", "d/e/f.txt=abc", "d/e/g.ini=", "ld->d/e", "lf->d/e/f.txt",
                                     "sp ace/", "sp ace/x y.txt=1", "\xc3\xa9t\xc3\xa9.txt=2"});
}

TEST(COsFilePathAbsolute, AgreesWithPythonRealpath) {
  MakePathTree();
  const std::vector<std::string> names = {
      ".", "..", "p", "p/d", "p/d/e/../e", "./p//d/e/", "p/ld", "p/ld/f.txt", "p/d/e/f.txt", "/", "p/lf",
      "p/sp ace/x y.txt", "p/\xc3\xa9t\xc3\xa9.txt", "p/ld/../e", Root() + "/p/d/e/g.ini"};
  // realpath; a name that is not a directory keeps its last component as given.
  std::string script =
      "import os,sys\n"
      "for p in sys.argv[1:]:\n"
      "  if os.path.isdir(p): print(os.path.realpath(p))\n"
      "  else: print(os.path.join(os.path.realpath(os.path.dirname(p) or '.'), os.path.basename(p)))\n"
      "  print(os.path.realpath(p) == (os.path.realpath(p) if os.path.isdir(p) or not os.path.islink(p) else ''))\n";
  std::vector<std::string> expected = testsupport::Lines(RunPython(script, names));
  ASSERT_EQ(expected.size(), names.size() * 2);
  for (size_t i = 0; i < names.size(); ++i) {
    char szAbsolute[512];
    ASSERT_EQ(COsFile::PathAbsolute(szAbsolute, sizeof szAbsolute, names[i].c_str()), OS_STS_SUCCESS) << names[i];
    EXPECT_EQ(szAbsolute, expected[2 * i]) << names[i];
    // Only a final link to a file differs from realpath.
    EXPECT_EQ(expected[2 * i + 1], names[i] == "p/lf" ? "False" : "True") << names[i];
  }
}

TEST(COsFilePathAbsolute, MissingTooLongAndNull) {
  MakePathTree();
  char szAbsolute[512];
  EXPECT_EQ(COsFile::PathAbsolute(szAbsolute, sizeof szAbsolute, "p/missing"), OS_STS_FILE_NOT_FOUND);
  EXPECT_EQ(COsFile::PathAbsolute(szAbsolute, sizeof szAbsolute, "p/d/e/f.txt/"), OS_STS_FILE_NOT_FOUND);
  EXPECT_EQ(COsFile::PathAbsolute(szAbsolute, sizeof szAbsolute, ""), OS_STS_FILE_NOT_FOUND);
  std::string full = Root() + "/p/d/e/f.txt";
  std::vector<char> exact(full.size() + 1);
  EXPECT_EQ(COsFile::PathAbsolute(exact.data(), exact.size(), "p/d/e/f.txt"), OS_STS_SUCCESS);
  EXPECT_EQ(std::string(exact.data()), full);
  EXPECT_EQ(COsFile::PathAbsolute(exact.data(), exact.size() - 1, "p/d/e/f.txt"), OS_STS_NOROOM_BUFFER);
  EXPECT_STREQ(exact.data(), "");
  EXPECT_EQ(COsFile::PathAbsolute(nullptr, 8, "p"), OS_STS_FAIL);
  EXPECT_EQ(COsFile::PathAbsolute(szAbsolute, sizeof szAbsolute, nullptr), OS_STS_FAIL);
}

// Another thread's working directory stays put while paths are made absolute.
TEST(COsFilePathAbsolute, LeavesTheWorkingDirectoryAlone) {
  MakePathTree();
  std::atomic<bool> blDone{false};
  std::atomic<int> iMoved{0};
  std::thread watcher([&] {
    char szCwd[512];
    while (!blDone) {
      if (!getcwd(szCwd, sizeof szCwd) || Root() != szCwd) ++iMoved;
    }
  });
  for (int i = 0; i < 2000; ++i) {
    char szAbsolute[512];
    COsFile::PathAbsolute(szAbsolute, sizeof szAbsolute, "p/d/e/f.txt");
  }
  blDone = true;
  watcher.join();
  EXPECT_EQ(iMoved, 0);
}

// One listing as text: name, path, type, size, access, modified time.
std::string Listing(const std::string& a_pattern) {
  std::vector<std::string> lines;
  OsFileInfo osfileinfo;
  for (EOSSTS s = COsFile::FindFirst(a_pattern.c_str(), &osfileinfo); s == OS_STS_SUCCESS;
       s = COsFile::FindNext(&osfileinfo)) {
    const OsTimeRecord& m = osfileinfo.timerecordModified;
    std::ostringstream line;
    line << osfileinfo.szName << "|" << osfileinfo.szNameLower << "|" << osfileinfo.szPath << "|"
         << osfileinfo.eosfiletype << "|" << osfileinfo.u64Size << "|" << osfileinfo.i32Access << "|" << m.u16Year
         << "-" << m.u16Month << "-" << m.u16Day << " " << m.u16Hour << ":" << m.u16Minute << ":" << m.u16Second;
    lines.push_back(line.str());
  }
  EXPECT_EQ(osfileinfo.pvDir, nullptr) << a_pattern;  // closed at the end of the listing
  COsFile::FindClose(&osfileinfo);
  std::sort(lines.begin(), lines.end());
  std::string text;
  for (const auto& l : lines) text += l + "\n";
  return text;
}

// Python's answer for the same pattern: glob with hidden files, plus "."
// and "..", which a directory search lists like any other entry.
const char* const s_szGlobListing =
    "import glob,os,sys,fnmatch,stat,time\n"
    "for pat in sys.argv[1:]:\n"
    " d,base=os.path.split(pat)\n"
    " names=[os.path.basename(p) for p in glob.glob(pat,include_hidden=True)]\n"
    " names+=[n for n in ('.','..') if fnmatch.fnmatchcase(n,base)]\n"
    " out=[]\n"
    " for n in names:\n"
    "   p=os.path.join(os.path.realpath(d or '.'),n)\n"
    "   try: s=os.stat(p)\n"
    "   except OSError: s=os.lstat(p)\n"
    "   t=1 if stat.S_ISDIR(s.st_mode) else 3 if (stat.S_ISCHR(s.st_mode) or stat.S_ISBLK(s.st_mode) or "
    "stat.S_ISFIFO(s.st_mode) or stat.S_ISSOCK(s.st_mode)) else 2\n"
    "   m=time.gmtime(s.st_mtime)\n"
    "   out.append('%s|%s|%s|%d|%d|%d|%d-%d-%d %d:%d:%d'%(n,n.translate(str.maketrans('ABCDEFGHIJKLMNOPQRSTUVWXYZ',"
    "'abcdefghijklmnopqrstuvwxyz')),p,t,s.st_size,3 if s.st_mode&0o222 else 1,m.tm_year,m.tm_mon,m.tm_mday,"
    "m.tm_hour,m.tm_min,m.tm_sec))\n"
    " for l in sorted(out): print(l)\n"
    " print('--')\n";

TEST(COsFileFind, WildcardListingsAgreeWithPythonGlob) {
  struct {
    std::vector<std::string> entries;
    size_t sizetTop;  // entries of "t/*", "." and ".." included
    std::vector<std::string> patterns;
  } trees[] = {
      {{"a.txt=1", "b.TXT=22", "abc=333", ".hidden=", "sub/", "sub/c.ini=x", "sub/D.INI=yy", "Mixed.Txt=", "x y z="},
       9,
       {"t/*", "t/*.txt", "t/*.TXT", "t/?", "t/a?c", "t/.*", "t/*.*", "t/*b*", "t/no*match", "t/sub/*.ini",
        "t/sub/*.INI", "t/??*", "t/x*z", "t/*y*"}},
      {{"ro.txt=r", "rw.txt=w", "link->ro.txt", "dangling->nowhere", "dir/", "fifo"},
       8,
       {"t/*", "t/*link*", "t/d*", "t/r?.txt"}},
  };
  int iTree = 0;
  for (const auto& tree : trees) {
    std::string base = Root() + "/tree" + std::to_string(iTree++);
    mkdir(base.c_str(), 0755);
    filetest::MakeTree(base + "/t", tree.entries);
    if (testsupport::FileExists(base + "/t/ro.txt")) chmod((base + "/t/ro.txt").c_str(), 0444);
    if (testsupport::FileExists(base + "/t/fifo")) {
      unlink((base + "/t/fifo").c_str());
      mkfifo((base + "/t/fifo").c_str(), 0600);
    }
    ASSERT_EQ(chdir(base.c_str()), 0);
    EXPECT_EQ(testsupport::Lines(Listing("t/*")).size(), tree.sizetTop);
    // Each pattern relative to the working directory and absolute.
    std::vector<std::string> patterns;
    for (const auto& pattern : tree.patterns) {
      patterns.push_back(pattern);
      patterns.push_back(base + "/" + pattern);
    }
    std::vector<std::string> python = testsupport::Lines(RunPython(s_szGlobListing, patterns));
    std::string expected;
    size_t sizetPattern = 0;
    for (const auto& line : python) {
      if (line != "--") {
        expected += line + "\n";
        continue;
      }
      ASSERT_LT(sizetPattern, patterns.size());
      EXPECT_EQ(Listing(patterns[sizetPattern]), expected) << patterns[sizetPattern];
      ++sizetPattern;
      expected.clear();
    }
    EXPECT_EQ(sizetPattern, patterns.size());
    ASSERT_EQ(chdir(Root().c_str()), 0);
  }
}

// Entries that vanish while a directory is listed (a writer's temporaries,
// renamed over their file) are passed over: every entry that stays is
// still listed.
TEST(COsFileFind, AnEntryGoneMidListingEndsNothing) {
  const std::string strDirectory = Root() + "/busy";
  std::vector<std::string> vecEntries;
  for (int i = 0; i < 200; ++i) vecEntries.push_back("stay" + std::to_string(i) + "=x");
  filetest::MakeTree(strDirectory, vecEntries);
  std::atomic<bool> blDone{false};
  std::thread threadWriter([&] {
    for (long l = 0; !blDone.load(); ++l) {
      const std::string strTemp = strDirectory + "/stay0.tmp" + std::to_string(l % 64);
      testsupport::WriteFile(strTemp, "x");
      unlink(strTemp.c_str());
    }
  });
  int iShort = 0;
  for (int iListing = 0; iListing < 300; ++iListing) {
    int iStay = 0;
    OsFileInfo osfileinfo;
    for (EOSSTS s = COsFile::FindFirst((strDirectory + "/*").c_str(), &osfileinfo); s == OS_STS_SUCCESS;
         s = COsFile::FindNext(&osfileinfo)) {
      if (std::strncmp(osfileinfo.szName, "stay", 4) == 0 && !std::strstr(osfileinfo.szName, ".tmp")) ++iStay;
    }
    COsFile::FindClose(&osfileinfo);
    if (iStay != 200) ++iShort;
  }
  blDone = true;
  threadWriter.join();
  EXPECT_EQ(iShort, 0);
}

TEST(COsFileFind, OneNameNoMatchAndBadArguments) {
  filetest::MakeTree(Root() + "/q", {"one.txt=1", "dir/"});
  OsFileInfo osfileinfo;
  ASSERT_EQ(COsFile::FindFirst("q/one.txt", &osfileinfo), OS_STS_SUCCESS);
  EXPECT_STREQ(osfileinfo.szName, "one.txt");
  EXPECT_EQ(std::string(osfileinfo.szPath), Root() + "/q/one.txt");
  EXPECT_EQ(osfileinfo.eosfiletype, OS_FILETYPE_FILE);
  EXPECT_EQ(COsFile::FindNext(&osfileinfo), OS_STS_FILE_NOT_FOUND);
  EXPECT_EQ(COsFile::FindClose(&osfileinfo), OS_STS_SUCCESS);
  EXPECT_STREQ(osfileinfo.szName, "");
  ASSERT_EQ(COsFile::FindFirst("q/dir", &osfileinfo), OS_STS_SUCCESS);
  EXPECT_EQ(osfileinfo.eosfiletype, OS_FILETYPE_DIRECTORY);
  EXPECT_EQ(COsFile::FindFirst("q/*.none", &osfileinfo), OS_STS_FILE_NOT_FOUND);
  EXPECT_EQ(COsFile::FindFirst("missing/*", &osfileinfo), OS_STS_FILE_NOT_FOUND);
  EXPECT_EQ(COsFile::FindFirst("q/missing", &osfileinfo), OS_STS_FILE_NOT_FOUND);
  EXPECT_EQ(COsFile::FindFirst("q/one.txt/*", &osfileinfo), OS_STS_FILE_NOT_FOUND);
  EXPECT_EQ(COsFile::FindFirst(nullptr, &osfileinfo), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(COsFile::FindFirst("q", nullptr), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(COsFile::FindNext(nullptr), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(COsFile::FindClose(nullptr), OS_STS_BAD_ARGUMENT);
  // An abandoned listing is closed by FindClose.
  ASSERT_EQ(COsFile::FindFirst("q/*", &osfileinfo), OS_STS_SUCCESS);
  EXPECT_NE(osfileinfo.pvDir, nullptr);
  EXPECT_EQ(COsFile::FindClose(&osfileinfo), OS_STS_SUCCESS);
  EXPECT_EQ(osfileinfo.pvDir, nullptr);
  // A root-level pattern.
  ASSERT_EQ(COsFile::FindFirst("/*", &osfileinfo), OS_STS_SUCCESS);
  EXPECT_EQ(std::string(osfileinfo.szPath), "/" + std::string(osfileinfo.szName));
  COsFile::FindClose(&osfileinfo);
}

TEST(COsFileFind, ExistsWithAndWithoutWildcards) {
  filetest::MakeTree(Root() + "/e", {"a.log=", "dir/", "dangling->none"});
  EXPECT_TRUE(COsFile::Exists("e/a.log"));
  EXPECT_TRUE(COsFile::Exists("e/dir"));
  EXPECT_TRUE(COsFile::Exists("e/*.log"));
  EXPECT_FALSE(COsFile::Exists("e/*.txt"));
  EXPECT_FALSE(COsFile::Exists("e/b.log"));
  EXPECT_FALSE(COsFile::Exists("e/dangling"));
  EXPECT_FALSE(COsFile::Exists(nullptr));
  EXPECT_FALSE(COsFile::Exists(""));
  std::string long_name(5000, 'x');
  EXPECT_FALSE(COsFile::Exists(long_name.c_str()));
  errno = 1234;
  COsFile::Exists("e/a.log");
  EXPECT_EQ(errno, 1234);
}

}  // namespace
