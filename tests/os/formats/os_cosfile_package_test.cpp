// Package archives: a tree packed and unpacked (skipped names, images,
// access and times, directories included), the dump beside an independent
// rendering, the append modes, files in use, cancels, and damaged archives
// that are refused before anything is deleted or written.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "../log_capture.h"
#include "../os_cosfile_testutil.h"
#include "formats_testutil.h"
#include "os_coscfg.h"

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::RootPath;
using testsupport::WriteFile;

namespace {

constexpr time_t s_timetFile = 1614834367;       // 2021-03-04 05:06:07 UTC
constexpr time_t s_timetDirectory = 1262304000;  // 2010-01-01 00:00:00 UTC

void SetTimes(const std::string& a_path, time_t a_timet) {
  struct timespec at[2] = {{a_timet - 3600, 0}, {a_timet, 0}};
  utimensat(AT_FDCWD, a_path.c_str(), at, AT_SYMLINK_NOFOLLOW);
}

time_t ModifiedOf(const std::string& a_path) {
  struct stat st {};
  stat(a_path.c_str(), &st);
  return st.st_mtime;
}

std::vector<std::string> Listing(const std::string& a_archive) {
  return testsupport::Lines(formatstest::RunHelper("pmxpkg.py", {"list", a_archive}));
}

int s_iProgressCalls = 0;
int s_iCancelAt = 0;
EOSSTS Progress(OsFilePackageProgress*) { return ++s_iProgressCalls == s_iCancelAt ? static_cast<EOSSTS>(7) : OS_STS_SUCCESS; }

class Package : public testing::Test {
 protected:
  void SetUp() override {
    OsCfgVersion osCfgVersion{"01", "00", "00", "00", "01", "01", "2024"};
    m_poscfg = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, &osCfgVersion, false, nullptr);
    std::filesystem::create_directories(RootPath("logs"));
    m_logdirectory = RootPath("logs");
    m_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY, m_logdirectory.c_str());
    COsFile::PackageSetRetryPause(10);
    s_iProgressCalls = 0;
    s_iCancelAt = 0;
  }
  void TearDown() override { m_poscfg.reset(); }

  // The tree of every case: nested directories, files to skip, images, a
  // read-only file, an empty one, and a link out of the tree.
  void MakeTree() {
    filetest::MakeTree(RootPath("src"),
                       {"a.txt=alpha text", "empty.txt", "Thumbs.db=t", "THUMBS.DB=t", "thumbs.Db=t", "skip.nolog=n",
                        "photo.jpg=jpeg", "scan.TIF=tiff", "readonly.txt=ro", "sub/", "sub/inner/",
                        "sub/inner/b.log=" + formatstest::LogText(200000, 4), "sub/c.xml=<a/>", "nexil/",
                        "nexil/tmp/", "nexil/tmp/x.bin=x", "nexil/keep.bin=k"});
    std::filesystem::create_directories(RootPath("outside"));
    WriteFile(RootPath("outside/secret.txt"), "secret");
    symlink(RootPath("outside").c_str(), RootPath("src/link").c_str());
    chmod(RootPath("src/readonly.txt").c_str(), 0444);
    for (const char* sz : {"a.txt", "empty.txt", "readonly.txt", "sub/inner/b.log", "sub/c.xml", "nexil/keep.bin"}) {
      SetTimes(RootPath("src/") + sz, s_timetFile);
    }
    for (const char* sz : {"sub/inner", "sub", "nexil/tmp", "nexil", ""}) SetTimes(RootPath("src/") + sz, s_timetDirectory);
  }

  std::unique_ptr<COsCfg> m_poscfg;
  std::string m_logdirectory;
};

TEST_F(Package, TreeRoundTripWithDump) {
  MakeTree();
  std::string archive = RootPath("logs.pkg");
  ASSERT_EQ(COsFile::Package(archive.c_str(), RootPath("src").c_str(), false, OS_FILEPACKAGE_CREATE, true,
                             OS_FILECOMPRESSION_AUTOMATIC, nullptr),
            OS_STS_SUCCESS);
  ASSERT_EQ(COsFile::Unpackage(RootPath("out").c_str(), archive.c_str(), false, nullptr, true), OS_STS_SUCCESS);
  int iStatus = -1;
  std::vector<std::string> diff =
      testsupport::Lines(testsupport::RunProgram({"diff", "-r", RootPath("src"), RootPath("out/src")}, &iStatus));
  std::sort(diff.begin(), diff.end());
  std::string only = "Only in " + RootPath("src");
  std::vector<std::string> skipped{only + ": THUMBS.DB", only + ": Thumbs.db", only + ": link",
                                            only + ": photo.jpg", only + ": scan.TIF", only + ": skip.nolog",
                                            only + ": thumbs.Db", only + "/nexil/tmp: x.bin"};
  std::sort(skipped.begin(), skipped.end());
  EXPECT_EQ(diff, skipped);
  EXPECT_FALSE(FileExists(RootPath("out/src/link/secret.txt")));
  EXPECT_EQ(filetest::ModeOf(RootPath("out/src/readonly.txt")) & 0222, 0u);
  EXPECT_NE(filetest::ModeOf(RootPath("out/src/a.txt")) & 0200, 0u);
  for (const char* sz : {"a.txt", "empty.txt", "readonly.txt", "sub/inner/b.log"}) {
    EXPECT_EQ(ModifiedOf(RootPath("out/src/") + sz), s_timetFile) << sz;
  }
  for (const char* sz : {"sub/inner", "sub", "nexil", ""}) {
    EXPECT_EQ(ModifiedOf(RootPath("out/src/") + sz), s_timetDirectory) << sz;
  }
  // The dump, byte for byte as an independent reader renders the archive.
  EXPECT_EQ(ReadFile(m_logdirectory + "/ospackagedump.txt"),
            formatstest::RunHelper("pmxpkg.py", {"dump", archive, archive}));
  // Every directory opens and closes; the root last.
  std::vector<std::string> listing = Listing(archive);
  EXPECT_EQ(listing[1], "dir 0 3 src");
  EXPECT_EQ(listing.back(), "dir 0 3 src");
  EXPECT_EQ(std::count(listing.begin(), listing.end(), "dir 0 3 src/sub/inner"), 2);
  // With images, they come along.
  ASSERT_EQ(COsFile::Package(archive.c_str(), RootPath("src").c_str(), true, OS_FILEPACKAGE_CREATE, true,
                             OS_FILECOMPRESSION_AUTOMATIC, nullptr),
            OS_STS_SUCCESS);
  ASSERT_EQ(COsFile::Unpackage(RootPath("out2").c_str(), archive.c_str(), false, nullptr, false), OS_STS_SUCCESS);
  EXPECT_EQ(ReadFile(RootPath("out2/src/photo.jpg")), "jpeg");
  EXPECT_EQ(ReadFile(RootPath("out2/src/scan.TIF")), "tiff");
}

// A read-only directory is restored read-only after its contents: an
// ordinary user unpacks its files into it first.
TEST_F(Package, ReadOnlyDirectoriesTakeTheirFilesFirst) {
  filetest::MakeTree(RootPath("src"), {"ro/", "ro/f.txt=inside", "ro/deeper/", "ro/deeper/g.txt=deep"});
  chmod(RootPath("src/ro/deeper").c_str(), 0555);
  chmod(RootPath("src/ro").c_str(), 0555);
  std::string archive = RootPath("ro.pkg");
  ASSERT_EQ(COsFile::Package(archive.c_str(), RootPath("src").c_str(), false, OS_FILEPACKAGE_CREATE, true,
                             OS_FILECOMPRESSION_AUTOMATIC, nullptr),
            OS_STS_SUCCESS);
  chmod(archive.c_str(), 0644);
  std::filesystem::create_directories(RootPath("dest"));
  ASSERT_EQ(chown(RootPath("dest").c_str(), 65534, 65534), 0);
  std::string out = RootPath("dest/out");
  std::vector<long> result = filetest::RunInChild(
      [&] { return std::vector<long>{COsFile::Unpackage(out.c_str(), archive.c_str(), false, nullptr, false)}; },
      true);
  ASSERT_EQ(result, std::vector<long>{OS_STS_SUCCESS});
  EXPECT_EQ(ReadFile(out + "/src/ro/f.txt"), "inside");
  EXPECT_EQ(ReadFile(out + "/src/ro/deeper/g.txt"), "deep");
  EXPECT_EQ(filetest::ModeOf(out + "/src/ro") & 0200, 0u);
  EXPECT_EQ(filetest::ModeOf(out + "/src/ro/deeper") & 0200, 0u);
}

TEST_F(Package, ModesPlaceEntries) {
  filetest::MakeTree(RootPath("src"), {"a.txt=alpha", "d/", "d/b.txt=beta"});
  filetest::MakeTree(RootPath("more"), {"m.txt=more"});
  std::string archive = RootPath("modes.pkg");
  auto pack = [&](const char* a_szSource, EOSFILEPACKAGE a_eosfilepackage) {
    return COsFile::Package(archive.c_str(), RootPath(a_szSource).c_str(), false, a_eosfilepackage, true,
                            OS_FILECOMPRESSION_AUTOMATIC, nullptr);
  };
  // Mode 2 twice: the total is the sum of both passes; a missing archive is made.
  ASSERT_EQ(pack("src", OS_FILEPACKAGE_APPEND), OS_STS_SUCCESS);
  EXPECT_EQ(Listing(archive)[0], "total=9");
  ASSERT_EQ(pack("src", OS_FILEPACKAGE_APPEND), OS_STS_SUCCESS);
  EXPECT_EQ(Listing(archive)[0], "total=18");
  // Mode 1 replaces the archive.
  ASSERT_EQ(pack("src", OS_FILEPACKAGE_CREATE), OS_STS_SUCCESS);
  EXPECT_EQ(Listing(archive), (std::vector<std::string>{"total=9", "dir 0 3 src", "file 77 3 src/a.txt",
                                                        "dir 0 3 src/d", "file 76 3 src/d/b.txt", "dir 0 3 src/d",
                                                        "dir 0 3 src"}));
  struct Case {
    EOSFILEPACKAGE eosfilepackage;
    const char* szFile;
  };
  const Case acase[] = {{OS_FILEPACKAGE_EXTRA, "file 76 3 src/extra/more/m.txt"},
                        {OS_FILEPACKAGE_LOCALLOW, "file 76 3 src_locallow/more/m.txt"},
                        {OS_FILEPACKAGE_NORMAL, "file 76 3 src_normal/more/m.txt"}};
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szFile);
    ASSERT_EQ(pack("more", c.eosfilepackage), OS_STS_SUCCESS);
    auto listing = Listing(archive);
    EXPECT_NE(std::find(listing.begin(), listing.end(), c.szFile), listing.end());
  }
  ASSERT_EQ(COsFile::Unpackage(RootPath("out").c_str(), archive.c_str(), false, nullptr, false), OS_STS_SUCCESS);
  for (const char* sz : {"src/extra/more/m.txt", "src_locallow/more/m.txt", "src_normal/more/m.txt"}) {
    EXPECT_EQ(ReadFile(RootPath("out/") + sz), "more") << sz;
  }
  // A file or a pattern lists below ".".
  ASSERT_EQ(COsFile::Package(archive.c_str(), RootPath("src/*.txt").c_str(), false, OS_FILEPACKAGE_CREATE, true,
                             OS_FILECOMPRESSION_RUNLENGTH, nullptr),
            OS_STS_SUCCESS);
  EXPECT_EQ(Listing(archive), (std::vector<std::string>{"total=5", "file 77 3 ./a.txt"}));
  ASSERT_EQ(COsFile::Unpackage(RootPath("new/dest").c_str(), archive.c_str(), false, nullptr, false), OS_STS_SUCCESS);
  EXPECT_EQ(ReadFile(RootPath("new/dest/a.txt")), "alpha");
}

TEST_F(Package, FilesInUseCopiesAndProxies) {
  testsupport::LogCapture logcapture;
  filetest::MakeTree(RootPath("src"), {"held.txt=held by another process", "free.txt=free"});
  filetest::PythonProcess holder("import fcntl, sys\nf = open(sys.argv[1], 'rb')\nfcntl.flock(f, fcntl.LOCK_EX)\n"
                                 "print('held')\nsys.stdin.read()\n",
                                 {RootPath("src/held.txt")});
  ASSERT_EQ(holder.ReadLine(), "held");
  std::string archive = RootPath("inuse.pkg");
  struct Case {
    bool blCopyFails;
    const char* szHeld;
  };
  const Case acase[] = {{false, "held by another process"}, {true, "Unable to package file: eossts=0x104\r\n"}};
  for (const auto& c : acase) {
    SCOPED_TRACE(c.blCopyFails);
    // A directory where the copy would go makes the copy fail.
    if (c.blCopyFails) std::filesystem::create_directories(m_logdirectory + "/copy.tmp");
    ASSERT_EQ(COsFile::Package(archive.c_str(), RootPath("src").c_str(), false, OS_FILEPACKAGE_CREATE, true,
                               OS_FILECOMPRESSION_AUTOMATIC, nullptr),
              OS_STS_SUCCESS);
    std::string out = RootPath(c.blCopyFails ? "out2" : "out1");
    ASSERT_EQ(COsFile::Unpackage(out.c_str(), archive.c_str(), false, nullptr, false), OS_STS_SUCCESS);
    EXPECT_EQ(ReadFile(out + "/src/held.txt"), c.szHeld);
    EXPECT_EQ(ReadFile(out + "/src/free.txt"), "free");
    EXPECT_FALSE(FileExists(m_logdirectory + "/package.proxy"));
  }
  EXPECT_TRUE(logcapture.Contains("Open failed...<" + RootPath("src/held.txt") + ">"));
}

TEST_F(Package, CancelsAndFailuresKeepTheArchive) {
  testsupport::LogCapture logcapture;
  filetest::MakeTree(RootPath("src"), {"a.txt=alpha", "b.txt=" + formatstest::LogText(5000)});
  std::string archive = RootPath("keep.pkg");
  // A cancel while creating: the status comes back and the archive goes.
  s_iCancelAt = 2;
  EXPECT_EQ(COsFile::Package(archive.c_str(), RootPath("src").c_str(), false, OS_FILEPACKAGE_CREATE, true,
                             OS_FILECOMPRESSION_AUTOMATIC, &Progress),
            7);
  EXPECT_FALSE(FileExists(archive));
  s_iCancelAt = 0;
  ASSERT_EQ(COsFile::Package(archive.c_str(), RootPath("src").c_str(), false, OS_FILEPACKAGE_CREATE, true,
                             OS_FILECOMPRESSION_AUTOMATIC, &Progress),
            OS_STS_SUCCESS);
  std::string before = ReadFile(archive);
  // A failed append leaves the archive as it was.
  for (EOSFILEPACKAGE eosfilepackage : {OS_FILEPACKAGE_APPEND, OS_FILEPACKAGE_EXTRA, OS_FILEPACKAGE_NORMAL}) {
    s_iProgressCalls = 0;
    s_iCancelAt = 3;
    EXPECT_EQ(COsFile::Package(archive.c_str(), RootPath("src").c_str(), false, eosfilepackage, true,
                               OS_FILECOMPRESSION_AUTOMATIC, &Progress),
              7);
    EXPECT_EQ(ReadFile(archive), before);
  }
  // An archive whose records do not end at its end is not appended to: a
  // last record promising 5 bytes of data that are not there.
  std::string strCut = before + '\x05' + std::string(303, '\0');
  WriteFile(archive, strCut);
  EXPECT_EQ(COsFile::Package(archive.c_str(), RootPath("src").c_str(), false, OS_FILEPACKAGE_APPEND, true,
                             OS_FILECOMPRESSION_AUTOMATIC, nullptr),
            OS_STS_FAIL);
  EXPECT_EQ(ReadFile(archive), strCut);
  EXPECT_TRUE(logcapture.Contains("Corrupt package file..." + archive + " ("));
  WriteFile(archive, "PMXPKG02" + before.substr(8));
  EXPECT_EQ(COsFile::Package(archive.c_str(), RootPath("src").c_str(), false, OS_FILEPACKAGE_APPEND, true,
                             OS_FILECOMPRESSION_AUTOMATIC, nullptr),
            OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("Not a package file...<" + archive + ">"));
  // A full disk: a device is never deleted.
  EXPECT_NE(COsFile::Package("/dev/full", RootPath("src").c_str(), false, OS_FILEPACKAGE_CREATE, true,
                             OS_FILECOMPRESSION_AUTOMATIC, nullptr),
            OS_STS_SUCCESS);
  EXPECT_TRUE(FileExists("/dev/full"));
}

// Appending to a file that is no package (another file under the name, or
// one too short for a header) fails and leaves that file as it was.
TEST_F(Package, AppendLeavesAFileThatIsNoPackage) {
  testsupport::LogCapture logcapture;
  filetest::MakeTree(RootPath("src"), {"a.txt=alpha"});
  std::string archive = RootPath("other.pkg");
  struct Case {
    const char* szName;
    std::string strBytes;
    const char* szLog;
  };
  const Case acase[] = {
      {"another file", "a report someone keeps here\n", "Not a package file...<"},
      {"shorter than a header", "PMX", "Read failed...<"},
      {"header cut short", std::string("PMXPKG01\x18\0\0\0\x30\x01\0\0", 16), "Read failed...<"},
  };
  for (const auto& c : acase) {
    for (EOSFILEPACKAGE eosfilepackage : {OS_FILEPACKAGE_APPEND, OS_FILEPACKAGE_EXTRA, OS_FILEPACKAGE_LOCALLOW,
                                          OS_FILEPACKAGE_NORMAL}) {
      SCOPED_TRACE(std::string(c.szName) + " mode " + std::to_string(eosfilepackage));
      WriteFile(archive, c.strBytes);
      EXPECT_EQ(COsFile::Package(archive.c_str(), RootPath("src").c_str(), false, eosfilepackage, true,
                                 OS_FILECOMPRESSION_AUTOMATIC, nullptr),
                OS_STS_FAIL);
      EXPECT_TRUE(logcapture.Contains(c.szLog + archive + ">"));
      EXPECT_EQ(ReadFile(archive), c.strBytes);
    }
  }
}

// Names with the characters of a pattern are names like any other: each
// file is packed with its own size and data, not another one's that the
// name would match as a pattern.
TEST_F(Package, NamesLikePatternsPackTheirOwnData) {
  std::vector<std::string> entries{"x?.log=precious data", "y*.txt=more data"};
  for (char c = 'a'; c <= 'z'; ++c) {
    entries.push_back(std::string("x") + c + ".log");
    entries.push_back(std::string("y") + c + ".txt");
  }
  filetest::MakeTree(RootPath("src"), entries);
  std::string archive = RootPath("names.pkg");
  ASSERT_EQ(COsFile::Package(archive.c_str(), RootPath("src").c_str(), false, OS_FILEPACKAGE_CREATE, true,
                             OS_FILECOMPRESSION_AUTOMATIC, nullptr),
            OS_STS_SUCCESS);
  ASSERT_EQ(COsFile::Unpackage(RootPath("out").c_str(), archive.c_str(), false, nullptr, false), OS_STS_SUCCESS);
  EXPECT_EQ(ReadFile(RootPath("out/src/x?.log")), "precious data");
  EXPECT_EQ(ReadFile(RootPath("out/src/y*.txt")), "more data");
  EXPECT_EQ(ReadFile(RootPath("out/src/xq.log")), "");
}

TEST_F(Package, DepthIsBounded) {
  testsupport::LogCapture logcapture;
  std::string path = RootPath("deep");
  for (int i = 1; i <= 32; ++i) path += "/d";
  std::filesystem::create_directories(path);
  WriteFile(path + "/bottom.txt", "too deep");
  std::string archive = RootPath("deep.pkg");
  ASSERT_EQ(COsFile::Package(archive.c_str(), RootPath("deep").c_str(), false, OS_FILEPACKAGE_CREATE, true,
                             OS_FILECOMPRESSION_AUTOMATIC, nullptr),
            OS_STS_SUCCESS);
  EXPECT_TRUE(logcapture.Contains("Directory depth overflow..."));
  auto listing = Listing(archive);
  EXPECT_EQ(listing.size(), 1u + 2 + 2 * 31);  // total, the root twice, 31 levels twice
}

TEST_F(Package, DamagedArchivesTouchNothing) {
  testsupport::LogCapture logcapture;
  filetest::MakeTree(RootPath("src"), {"a.txt=alpha", "d/", "d/b.txt=beta"});
  std::string archive = RootPath("good.pkg");
  ASSERT_EQ(COsFile::Package(archive.c_str(), RootPath("src").c_str(), false, OS_FILEPACKAGE_CREATE, true,
                             OS_FILECOMPRESSION_AUTOMATIC, nullptr),
            OS_STS_SUCCESS);
  std::string good = ReadFile(archive);
  // Records: "src" at 24, then "src/a.txt" with its stream, then "src/d".
  uint64_t u64Stream = 0;
  std::memcpy(&u64Stream, good.data() + 24 + 304, 8);
  size_t sizetSecond = 24 + 304, sizetThird = sizetSecond + 304 + u64Stream;
  struct Case {
    const char* szName;
    size_t sizetAt;
    std::string strBytes;  // written at the offset; an empty text cuts the archive there
    const char* szLog;
  };
  const Case acase[] = {
      {"climbing path", sizetThird + 8, std::string("../x\0", 5), "Path outside the destination...<../x>"},
      {"climbing inside", sizetSecond + 8, std::string("src/../../x\0", 12), "Path outside the destination..."},
      {"climbing behind a drive letter", sizetThird + 8, std::string("C:../x\0", 7),
       "Path outside the destination...<C:../x>"},
      {"absolute behind a drive letter", sizetThird + 8, std::string("C:/x\0", 5), "Path outside the destination..."},
      {"absolute path", sizetThird + 8, std::string(RootPath("x")) + '\0', "Path outside the destination..."},
      {"path without end", sizetThird + 8, std::string(256, 'p'), "Path outside the destination..."},
      {"record cut short", sizetThird + 100, "", "Error reading chunk..."},
      {"data past the end", sizetSecond, std::string("\xff\xff\0\0\0\0\0\0", 8), "Corrupt package file..."},
      {"wrong tag", 0, "PMXPKG00", "Not a package file..."},
      {"header size below 24", 8, std::string("\x10\0\0\0", 4), "Corrupt package file..."},
      {"chunk size below 304", 12, std::string("\0\0\0\0", 4), "Corrupt package file..."},
  };
  std::filesystem::create_directories(RootPath("dest/src"));
  WriteFile(RootPath("dest/src/kept.txt"), "kept");
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    std::string bad = c.strBytes.empty() ? good.substr(0, c.sizetAt) : good;
    if (!c.strBytes.empty()) bad.replace(c.sizetAt, c.strBytes.size(), c.strBytes);
    WriteFile(RootPath("bad.pkg"), bad);
    EXPECT_NE(COsFile::Unpackage(RootPath("dest").c_str(), RootPath("bad.pkg").c_str(), false, nullptr, false),
              OS_STS_SUCCESS);
    EXPECT_TRUE(logcapture.Contains(c.szLog));
    EXPECT_EQ(ReadFile(RootPath("dest/src/kept.txt")), "kept");
    EXPECT_FALSE(FileExists(RootPath("dest/src/a.txt")));
    EXPECT_FALSE(FileExists(RootPath("x")));
    EXPECT_FALSE(FileExists(RootPath("dest/x")));
  }
  WriteFile(RootPath("plain"), "a file");
  EXPECT_EQ(COsFile::Unpackage(RootPath("plain").c_str(), archive.c_str(), false, nullptr, false), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("Destination not a directory...<" + RootPath("plain") + ">"));
  // Kept contents survive a good unpack too.
  ASSERT_EQ(COsFile::Unpackage(RootPath("dest").c_str(), archive.c_str(), true, nullptr, false), OS_STS_SUCCESS);
  EXPECT_EQ(ReadFile(RootPath("dest/src/kept.txt")), "kept");
  EXPECT_EQ(ReadFile(RootPath("dest/src/d/b.txt")), "beta");
  ASSERT_EQ(COsFile::Unpackage(RootPath("dest").c_str(), archive.c_str(), false, nullptr, false), OS_STS_SUCCESS);
  EXPECT_FALSE(FileExists(RootPath("dest/src/kept.txt")));
}

// Records hold read-only (1) or read-write (3); other values restore
// read-write, as the dump reads them, never write-only or executable.
TEST_F(Package, OtherAccessValuesRestoreReadWrite) {
  filetest::MakeTree(RootPath("src"), {"a.txt=alpha"});
  std::string archive = RootPath("good.pkg");
  ASSERT_EQ(COsFile::Package(archive.c_str(), RootPath("src").c_str(), false, OS_FILEPACKAGE_CREATE, true,
                             OS_FILECOMPRESSION_AUTOMATIC, nullptr),
            OS_STS_SUCCESS);
  // Records: "src" at 24, "src/a.txt" behind it, "src" again last.
  std::string bad = ReadFile(archive);
  const std::pair<size_t, uint32_t> apair[] = {
      {24 + 268, OS_FILEACCESS_WRITE}, {24 + 304 + 268, OS_FILEACCESS_EXECUTE}, {bad.size() - 304 + 268, 2}};
  for (const auto& [sizetAt, u32Access] : apair) std::memcpy(bad.data() + sizetAt, &u32Access, 4);
  WriteFile(RootPath("bad.pkg"), bad);
  ASSERT_EQ(COsFile::Unpackage(RootPath("dest").c_str(), RootPath("bad.pkg").c_str(), false, nullptr, false),
            OS_STS_SUCCESS);
  EXPECT_EQ(filetest::ModeOf(RootPath("dest/src")) & 0700, 0700u);
  EXPECT_EQ(filetest::ModeOf(RootPath("dest/src/a.txt")) & 0711, 0600u);
  EXPECT_EQ(ReadFile(RootPath("dest/src/a.txt")), "alpha");
}

// A first directory record that names the destination itself replaces
// nothing: what the destination held before stays beside what is unpacked.
TEST_F(Package, FirstDirectoryNamingTheDestinationDeletesNothing) {
  filetest::MakeTree(RootPath("src"), {"a.txt=alpha"});
  std::string archive = RootPath("good.pkg");
  ASSERT_EQ(COsFile::Package(archive.c_str(), RootPath("src").c_str(), false, OS_FILEPACKAGE_CREATE, true,
                             OS_FILECOMPRESSION_AUTOMATIC, nullptr),
            OS_STS_SUCCESS);
  std::string good = ReadFile(archive);
  for (const char* szName : {".", "./", "./.", ".//./", ".\\.", "C:.", "C:./"}) {
    SCOPED_TRACE(szName);
    std::string bad = good;
    bad.replace(24 + 8, std::strlen(szName) + 1, std::string(szName) + '\0');
    WriteFile(RootPath("bad.pkg"), bad);
    filetest::MakeTree(RootPath("dest"), {"mine.txt=mine", "keep/", "keep/deep.txt=deep"});
    EXPECT_EQ(COsFile::Unpackage(RootPath("dest").c_str(), RootPath("bad.pkg").c_str(), false, nullptr, false),
              OS_STS_SUCCESS);
    EXPECT_EQ(ReadFile(RootPath("dest/mine.txt")), "mine");
    EXPECT_EQ(ReadFile(RootPath("dest/keep/deep.txt")), "deep");
    EXPECT_EQ(ReadFile(RootPath("dest/src/a.txt")), "alpha");
  }
}

}  // namespace
