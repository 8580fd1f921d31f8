// Unpacking into a destination that holds links: links to directories and
// to files, dangling links, a link to the destination itself, a link loop,
// a hard link, a destination that is itself a link, links planted by
// another process between two unpacks and while one runs, and the firmware
// package's directory. Whatever happens below the destination, the watched
// tree outside it stays as it was, judged by an independent reading.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "../log_capture.h"
#include "../os_cosfile_testutil.h"
#include "formats_testutil.h"
#include "pg_cpackage.h"

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::RootPath;
using testsupport::WriteFile;

namespace {

// Every entry of the watched tree: path, mode, time, and content or target.
std::string Watched() { return formatstest::RunHelper("treehash.py", {RootPath("outside")}); }

std::string Archive(const std::vector<std::string>& a_entries) {
  std::string archive = RootPath("links.pkg");
  std::vector<std::string> args{"build", archive};
  args.insert(args.end(), a_entries.begin(), a_entries.end());
  formatstest::RunHelper("pmxpkg.py", args);
  return archive;
}

bool IsLink(const std::string& a_path) {
  struct stat st;
  return lstat(a_path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

class UnpackLinks : public testing::Test {
 protected:
  void SetUp() override {
    filetest::MakeTree(RootPath("outside"), {"dir/", "dir/keep.txt=outside data", "target.txt=outside target"});
    m_watched = Watched();
    ASSERT_NE(m_watched.find("keep.txt"), std::string::npos);
  }
  void TearDown() override { EXPECT_EQ(Watched(), m_watched) << "something outside the destination changed"; }

  testsupport::LogCapture m_logcapture;
  std::string m_watched;
};

TEST_F(UnpackLinks, LinksInTheWayAreRefusedOrReplaced) {
  const std::string outside = RootPath("outside");
  struct Case {
    const char* szName;
    std::vector<std::string> entries;   // of the destination before: "name->target"
    std::vector<std::string> records;   // of the archive
    bool blKeep;
    EOSSTS eosstatus;
    const char* szRefused;              // the path the log names, below the destination
  };
  const Case acase[] = {
      {"directory link, kept", {"linkdir->" + outside + "/dir"}, {"d:linkdir", "f:linkdir/x=written"}, true,
       OS_STS_ACCESS_DENIED, "linkdir"},
      {"directory link without its record", {"linkdir->" + outside + "/dir"}, {"d:top", "f:linkdir/x=written"}, false,
       OS_STS_ACCESS_DENIED, "linkdir"},
      {"directory link, second directory record", {"linkdir->" + outside + "/dir"}, {"d:top", "d:linkdir"}, false,
       OS_STS_ACCESS_DENIED, "linkdir"},
      {"file link, kept", {"f.txt->" + outside + "/target.txt"}, {"f:f.txt=written"}, true, OS_STS_ACCESS_DENIED,
       "f.txt"},
      {"file link spelt ./, kept", {"f.txt->" + outside + "/target.txt"}, {"f:./f.txt=written"}, true,
       OS_STS_ACCESS_DENIED, "f.txt"},
      {"file link deep down", {"a/", "a/b/", "a/b/c/", "a/b/c/f.txt->" + outside + "/target.txt"},
       {"f:a/b/c/f.txt=written"}, true, OS_STS_ACCESS_DENIED, "a/b/c/f.txt"},
      {"link to the destination itself", {"self->" + RootPath("dest")}, {"f:self/x=written"}, false,
       OS_STS_ACCESS_DENIED, "self"},
      {"link loop", {"loop->" + RootPath("dest/loop")}, {"f:loop/x=written"}, false, OS_STS_ACCESS_DENIED, "loop"},
      {"dangling link", {"gone->" + outside + "/gone"}, {"f:gone/x=written"}, false, OS_STS_ACCESS_DENIED, "gone"},
      {"dangling file link, kept", {"gone->" + outside + "/gone"}, {"f:gone=written"}, true, OS_STS_ACCESS_DENIED,
       "gone"},
      {"directory link behind backslashes", {"linkdir->" + outside + "/dir"}, {"f:.\\linkdir\\x=written"}, true,
       OS_STS_ACCESS_DENIED, "linkdir"},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    std::filesystem::remove_all(RootPath("dest"));
    filetest::MakeTree(RootPath("dest"), c.entries);
    std::string archive = Archive(c.records);
    EXPECT_EQ(COsFile::Unpackage(RootPath("dest").c_str(), archive.c_str(), c.blKeep, nullptr, false), c.eosstatus);
    EXPECT_TRUE(m_logcapture.Contains("Link refused...<" + RootPath("dest/") + c.szRefused + ">"));
    EXPECT_EQ(Watched(), m_watched);
    // Refused before anything was written.
    EXPECT_FALSE(FileExists(RootPath("dest/top")));
  }
}

// While existing entries are not kept, a file's own name that is a link is
// replaced by the file, and a first directory record that is a link
// replaces the link: the links go, their targets stay.
TEST_F(UnpackLinks, ReplacedLinksGoAsLinks) {
  const std::string outside = RootPath("outside");
  struct Case {
    const char* szName;
    std::string strEntry;
    std::vector<std::string> records;
    const char* szFile;  // below the destination, written
  };
  const Case acase[] = {
      {"file link", "f.txt->" + outside + "/target.txt", {"f:f.txt=written"}, "f.txt"},
      {"file link spelt ./", "f.txt->" + outside + "/target.txt", {"f:./f.txt=written"}, "f.txt"},
      {"dangling file link", "f.txt->" + outside + "/gone", {"f:f.txt=written"}, "f.txt"},
      {"link as the first directory record", "linkdir->" + outside + "/dir",
       {"d:linkdir", "f:linkdir/x=written", "d:linkdir"}, "linkdir/x"},
      {"link to a file as the first directory record", "linkdir->" + outside + "/target.txt",
       {"d:linkdir", "f:linkdir/x=written"}, "linkdir/x"},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    std::filesystem::remove_all(RootPath("dest"));
    filetest::MakeTree(RootPath("dest"), {c.strEntry});
    std::string archive = Archive(c.records);
    ASSERT_EQ(COsFile::Unpackage(RootPath("dest").c_str(), archive.c_str(), false, nullptr, false), OS_STS_SUCCESS);
    EXPECT_EQ(ReadFile(RootPath("dest/") + c.szFile), "written");
    EXPECT_FALSE(IsLink(RootPath("dest/") + c.szFile));
    EXPECT_FALSE(IsLink(RootPath("dest/linkdir")));
  }
}

// A second name of an outside file (a hard link) is no plain file either.
TEST_F(UnpackLinks, HardLinksAreNotWrittenThrough) {
  std::filesystem::create_directories(RootPath("dest"));
  ASSERT_EQ(link(RootPath("outside/target.txt").c_str(), RootPath("dest/h.txt").c_str()), 0);
  std::string archive = Archive({"f:h.txt=written"});
  EXPECT_EQ(COsFile::Unpackage(RootPath("dest").c_str(), archive.c_str(), true, nullptr, false), OS_STS_ACCESS_DENIED);
  EXPECT_TRUE(m_logcapture.Contains("Link refused...<" + RootPath("dest/h.txt") + ">"));
  ASSERT_EQ(COsFile::Unpackage(RootPath("dest").c_str(), archive.c_str(), false, nullptr, false), OS_STS_SUCCESS);
  EXPECT_EQ(ReadFile(RootPath("dest/h.txt")), "written");
  EXPECT_EQ(ReadFile(RootPath("outside/target.txt")), "outside target");
}

// The destination the caller names may be a link: it is followed, once,
// and logged; names with ".." inside them are names; a long chain of steps
// is walked step by step.
TEST_F(UnpackLinks, TheDestinationItselfAndOrdinaryNames) {
  std::filesystem::create_directories(RootPath("real"));
  ASSERT_EQ(symlink(RootPath("real").c_str(), RootPath("dest").c_str()), 0);
  std::string chain;
  for (int i = 0; i < 100; ++i) chain += "c/";
  std::string archive = Archive({"d:top", "f:top/a..b=dots", "f:top/..x..=more dots", "f:top/" + chain + "end=deep"});
  ASSERT_EQ(COsFile::Unpackage(RootPath("dest").c_str(), archive.c_str(), false, nullptr, false), OS_STS_SUCCESS);
  EXPECT_TRUE(m_logcapture.Contains("Destination is a link, followed...<" + RootPath("dest") + ">"));
  EXPECT_EQ(ReadFile(RootPath("real/top/a..b")), "dots");
  EXPECT_EQ(ReadFile(RootPath("real/top/..x..")), "more dots");
  EXPECT_EQ(ReadFile(RootPath("real/top/") + chain + "end"), "deep");
  EXPECT_TRUE(IsLink(RootPath("dest")));
  // A destination link that leads nowhere, or round in a loop, is no directory.
  for (const char* szName : {"nowhere", "round"}) {
    SCOPED_TRACE(szName);
    std::string strLink = RootPath(szName);
    ASSERT_EQ(symlink(std::string(szName) == "round" ? strLink.c_str() : RootPath("outside/gone").c_str(),
                      strLink.c_str()),
              0);
    EXPECT_NE(COsFile::Unpackage(strLink.c_str(), archive.c_str(), false, nullptr, false), OS_STS_SUCCESS);
  }
}

// Another process plants links where the first unpack made directories;
// the next unpack refuses them while existing entries are kept, and
// removes them as links while they are not.
TEST_F(UnpackLinks, LinksPlantedBetweenTwoUnpacks) {
  std::string archive = Archive({"d:top", "d:top/sub", "f:top/sub/x=first", "d:top/sub", "f:top/y=first", "d:top"});
  ASSERT_EQ(COsFile::Unpackage(RootPath("dest").c_str(), archive.c_str(), false, nullptr, false), OS_STS_SUCCESS);
  int iStatus = -1;
  testsupport::RunProgram({SCANDRV_PYTHON, "-c",
                           "import os, shutil, sys\n"
                           "shutil.rmtree(sys.argv[1] + '/top/sub')\n"
                           "os.symlink(sys.argv[2] + '/dir', sys.argv[1] + '/top/sub')\n"
                           "os.remove(sys.argv[1] + '/top/y')\n"
                           "os.symlink(sys.argv[2] + '/target.txt', sys.argv[1] + '/top/y')\n",
                           RootPath("dest"), RootPath("outside")},
                          &iStatus);
  ASSERT_EQ(iStatus, 0);
  EXPECT_EQ(COsFile::Unpackage(RootPath("dest").c_str(), archive.c_str(), true, nullptr, false), OS_STS_ACCESS_DENIED);
  EXPECT_TRUE(m_logcapture.Contains("Link refused...<" + RootPath("dest/top/sub") + ">"));
  EXPECT_EQ(Watched(), m_watched);
  ASSERT_EQ(COsFile::Unpackage(RootPath("dest").c_str(), archive.c_str(), false, nullptr, false), OS_STS_SUCCESS);
  EXPECT_EQ(ReadFile(RootPath("dest/top/sub/x")), "first");
  EXPECT_EQ(ReadFile(RootPath("dest/top/y")), "first");
  EXPECT_FALSE(IsLink(RootPath("dest/top/sub")));
}

// Another process turns a directory of the destination into a link and
// back, again and again, while unpacks run: whatever each unpack answers,
// nothing lands outside.
TEST_F(UnpackLinks, LinksPlantedWhileUnpacking) {
  std::string archive = Archive({"f:top/sub/x=racing", "f:top/sub/y=racing", "f:top/z=racing"});
  std::filesystem::create_directories(RootPath("dest/top/sub"));
  filetest::PythonProcess flipper(
      "import os, sys, time\n"
      "sub, target = sys.argv[1] + '/top/sub', sys.argv[2] + '/dir'\n"
      "print('ready')\n"
      "end = time.time() + 1.5\n"
      "while time.time() < end:\n"
      "    try:\n"
      "        os.rename(sub, sub + '.old')\n"
      "        os.symlink(target, sub)\n"
      "        os.remove(sub)\n"
      "        os.rename(sub + '.old', sub)\n"
      "    except OSError:\n"
      "        pass\n",
      {RootPath("dest"), RootPath("outside")});
  ASSERT_EQ(flipper.ReadLine(), "ready");
  int iUnpacks = 0;
  for (auto start = std::chrono::steady_clock::now(); filetest::MillisecondsSince(start) < 1500; ++iUnpacks) {
    COsFile::Unpackage(RootPath("dest").c_str(), archive.c_str(), true, nullptr, false);
  }
  flipper.Finish();
  EXPECT_GT(iUnpacks, 10);
}

// A firmware package whose file name is a link in the package's directory
// is refused before any file is written.
TEST_F(UnpackLinks, PackageFileNamesThatAreLinksAreRefused) {
  std::string dir = RootPath("pkg");
  std::filesystem::create_directories(dir);
  WriteFile(dir + "/a.bin", "first file");
  WriteFile(dir + "/fw.bin", "firmware bytes");
  WriteFile(dir + "/fw.script",
            "[PACKAGE]\r\nTYPE=FIRMWARE\r\nDESCRIPTION=Firmware\r\n"
            "[FILE]\r\nNAME=a.bin\r\nTYPE=FIRMWARE\r\nDESTINATION=SCANNER\r\nDESCRIPTION=A\r\nVERSION=1\r\n"
            "[FILE]\r\nNAME=fw.bin\r\nTYPE=FIRMWARE\r\nDESTINATION=SCANNER\r\nDESCRIPTION=F\r\nVERSION=1\r\n");
  CPackage cpackage;
  ASSERT_EQ(cpackage.OpenFile((dir + "/fw.script").c_str()), PG_SUCCESS);
  ASSERT_EQ(cpackage.Pack(), PG_SUCCESS);
  std::filesystem::remove(dir + "/a.bin");
  std::filesystem::remove(dir + "/fw.bin");
  ASSERT_EQ(symlink(RootPath("outside/target.txt").c_str(), (dir + "/fw.bin").c_str()), 0);
  ASSERT_EQ(cpackage.OpenPackage((dir + "/fw.qvpgfw").c_str()), PG_SUCCESS);
  EXPECT_EQ(cpackage.Unpack(), PG_FAIL);
  EXPECT_TRUE(m_logcapture.Contains("CPackage::Unpack(): Link refused: " + dir + "/fw.bin"));
  EXPECT_FALSE(FileExists(dir + "/a.bin"));
  // The link gone, the files come back.
  std::filesystem::remove(dir + "/fw.bin");
  ASSERT_EQ(cpackage.Unpack(), PG_SUCCESS);
  EXPECT_EQ(ReadFile(dir + "/fw.bin"), "firmware bytes");
}

}  // namespace
