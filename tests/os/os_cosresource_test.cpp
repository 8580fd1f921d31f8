// Appended resources against an independent reader and writer (Python's
// struct): reading a footer written by the script, updates read back by the
// script, the library's own resources, updates of a copy of the library,
// footers that must be refused, the limits of an update, a failed update,
// the version of an assembly through argument vectors, and the resource tool.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "os_coscfg.h"
#include "os_cosfile_testutil.h"
#include "os_cosresource.h"
#include "os_cosresource_testutil.h"
#include "log_capture.h"
#include "test_support.h"

using resourcetest::Footer;
using resourcetest::Generated;
using resourcetest::Sha256;
using testsupport::ReadFile;
using testsupport::RootPath;
using testsupport::WriteFile;

namespace {

std::string Bytes(COsResource* a_posresource) {
  const char* pch = static_cast<const char*>(a_posresource->GetPointer());
  return pch ? std::string(pch, static_cast<size_t>(a_posresource->GetSize())) : std::string();
}

// The resource's bytes, or "(failed)".
std::string Read(const std::string& a_strFile, const char* a_szName) {
  COsResource osresource;
  if (osresource.Open(a_strFile.c_str(), a_szName, OS_RESOURCETYPE_DATA) != OS_STS_SUCCESS) return "(failed)";
  return Bytes(&osresource);
}

std::vector<std::string> Names(const char* a_szFile) {
  COsResource osresource;
  std::vector<std::string> vecNames;
  char szName[32];
  for (EOSSTS eosstatus = osresource.FindFirst(a_szFile, szName, sizeof szName); eosstatus == OS_STS_SUCCESS;
       eosstatus = osresource.FindNext(szName, sizeof szName)) {
    vecNames.push_back(szName);
  }
  return vecNames;
}

EOSSTS Update(const std::string& a_strFile, const char* a_szName, const std::string& a_strData) {
  COsResource osresource;
  return osresource.Update(a_strFile.c_str(), a_szName, OS_RESOURCETYPE_DATA, a_strData.size(),
                           a_strData.empty() ? nullptr : a_strData.data());
}

// The script's view: "footer ..." and one line per entry; exit status 0
// only when the entries lie back to back.
std::vector<std::string> ScriptView(const std::string& a_strFile) {
  int iStatus = -1;
  std::vector<std::string> vecLines = testsupport::Lines(Footer({"read", a_strFile}, &iStatus));
  EXPECT_EQ(iStatus, 0) << "entries not back to back in " << a_strFile;
  return vecLines;
}

std::string EntryLine(const std::string& a_strName, uint64_t a_u64Offset, const std::string& a_strData) {
  return a_strName + " " + std::to_string(a_u64Offset) + " " + std::to_string(a_strData.size()) + " " +
         Sha256(a_strData).substr(0, 64);
}

TEST(Resource, FooterWrittenByTheScriptIsRead) {
  Footer({"write", "f.bin", "5000", "LABELS=#4097", "VERSION=01020304", "odd=abc"});
  COsResource osresource;
  ASSERT_EQ(osresource.Open("f.bin", "labels", OS_RESOURCETYPE_DATA), OS_STS_SUCCESS);
  EXPECT_EQ(osresource.GetSize(), 4097u);
  EXPECT_EQ(Bytes(&osresource), Generated(4097, 6));
  // The data begins inside a page: the address keeps the offset within it.
  long lPage = sysconf(_SC_PAGESIZE);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(osresource.GetPointer()) % static_cast<uintptr_t>(lPage),
            5000u % static_cast<uintptr_t>(lPage));
  EXPECT_EQ(osresource.Close(), OS_STS_SUCCESS);
  EXPECT_EQ(osresource.GetPointer(), nullptr);
  EXPECT_EQ(osresource.GetSize(), 0u);
  EXPECT_EQ(Read("f.bin", "VERSION"), "01020304");
  EXPECT_EQ(Read("f.bin", "ODD"), "abc");
  EXPECT_EQ(Read(RootPath("f.bin"), "Odd"), "abc");
  EXPECT_EQ(Names(RootPath("f.bin").c_str()), (std::vector<std::string>{"LABELS", "VERSION", "odd"}));
}

TEST(Resource, UpdatesAreReadByTheScript) {
  Footer({"write", "u.bin", "3000", "A=#10", "B=#20", "C=#30"});
  std::string strContent = Sha256(Generated(3000, 1)).substr(0, 64);
  const std::string strA = Generated(10, 1), strB = Generated(20, 1), strC = Generated(30, 1);

  ASSERT_EQ(Update("u.bin", "D", "dddd"), OS_STS_SUCCESS);
  EXPECT_EQ(ScriptView(RootPath("u.bin")),
            (std::vector<std::string>{"footer " + std::to_string(3000 + 64 + 3584) + " 3000 " + strContent,
                                      EntryLine("A", 3000, strA), EntryLine("B", 3010, strB),
                                      EntryLine("C", 3030, strC), EntryLine("D", 3060, "dddd")}));

  // Replacing keeps the slot and its spelling; the others move behind it.
  ASSERT_EQ(Update("u.bin", "b", "new-b"), OS_STS_SUCCESS);
  EXPECT_EQ(ScriptView(RootPath("u.bin")),
            (std::vector<std::string>{"footer " + std::to_string(3000 + 49 + 3584) + " 3000 " + strContent,
                                      EntryLine("A", 3000, strA), EntryLine("B", 3010, "new-b"),
                                      EntryLine("C", 3015, strC), EntryLine("D", 3045, "dddd")}));

  // Removing closes the gap.
  ASSERT_EQ(Update("u.bin", "A", ""), OS_STS_SUCCESS);
  EXPECT_EQ(ScriptView(RootPath("u.bin")),
            (std::vector<std::string>{"footer " + std::to_string(3000 + 39 + 3584) + " 3000 " + strContent,
                                      EntryLine("B", 3000, "new-b"), EntryLine("C", 3005, strC),
                                      EntryLine("D", 3035, "dddd")}));
  EXPECT_EQ(Names(RootPath("u.bin").c_str()), (std::vector<std::string>{"B", "C", "D"}));

  // Removing what is not there changes nothing.
  std::string strBefore = ReadFile("u.bin");
  EXPECT_EQ(Update("u.bin", "Z", ""), OS_STS_SUCCESS);
  EXPECT_EQ(ReadFile("u.bin"), strBefore);
}

TEST(Resource, UpdateKeepsTheContentWithOrWithoutAFooter) {
  // No footer yet: the whole file is content.
  WriteFile("plain.bin", "hello world");
  ASSERT_EQ(Update("plain.bin", "X", "x"), OS_STS_SUCCESS);
  EXPECT_EQ(ScriptView(RootPath("plain.bin")),
            (std::vector<std::string>{"footer " + std::to_string(11 + 1 + 3584) + " 11 " + Sha256("hello world").substr(0, 64),
                                      EntryLine("X", 11, "x")}));
  // A footer without entries: the content ends where the footer begins.
  Footer({"write", "empty.bin", "5000"});
  ASSERT_EQ(Update("empty.bin", "X", "x"), OS_STS_SUCCESS);
  EXPECT_EQ(ReadFile("empty.bin").substr(0, 5000), Generated(5000, 1));
  EXPECT_EQ(ScriptView(RootPath("empty.bin"))[1], EntryLine("X", 5000, "x"));
  // Removing the last entry leaves the content and an empty footer.
  ASSERT_EQ(Update("empty.bin", "x", ""), OS_STS_SUCCESS);
  EXPECT_EQ(std::filesystem::file_size("empty.bin"), 5000u + 3584u);
  EXPECT_EQ(ReadFile("empty.bin").substr(0, 5000), Generated(5000, 1));
  EXPECT_EQ(Names(RootPath("empty.bin").c_str()), std::vector<std::string>{});
}

TEST(Resource, TheBuiltLibraryCarriesBrandAndVersion) {
  std::string strVersion = Read(OS_RESOURCE_LOCAL, "VERSION");
  ASSERT_EQ(strVersion.size(), 8u);
  EXPECT_EQ(strVersion.find_first_not_of("0123456789"), std::string::npos) << strVersion;
  EXPECT_NE(Read(OS_RESOURCE_LOCAL, "BRAND").find("<companyname>Scandrv Project</companyname>"), std::string::npos);
  std::vector<std::string> vecNames = Names(nullptr);
  ASSERT_GE(vecNames.size(), 2u);
  EXPECT_EQ(vecNames[0], "BRAND");
  EXPECT_EQ(vecNames[1], "VERSION");
  EXPECT_EQ(Names(OS_RESOURCE_LOCAL), vecNames);
}

TEST(Resource, TheOwnFileIsTheConfiguredDriverPath) {
  Footer({"write", "drv.so", "300", "OWN=configured"});
  OsCfgVersion osCfgVersion{"01", "00", "00", "00", "01", "01", "2024"};
  COsCfg oscfg("driver", OS_CFGENTITY_UTILITY, nullptr, &osCfgVersion, false, nullptr);
  const std::string strDriverPath = RootPath("drv.so");
  ASSERT_EQ(oscfg.Set(OS_CFGSECTION_MAIN, OS_CFGTAG_DRIVERPATH, strDriverPath.c_str()), OS_STS_SUCCESS);
  EXPECT_EQ(Read(OS_RESOURCE_LOCAL, "own"), "configured");
  EXPECT_EQ(Names(nullptr), std::vector<std::string>{"OWN"});
  // Without a configured path: the module that holds this code.
  ASSERT_EQ(oscfg.Set(OS_CFGSECTION_MAIN, OS_CFGTAG_DRIVERPATH, ""), OS_STS_SUCCESS);
  EXPECT_EQ(Names(nullptr)[0], "BRAND");
}

TEST(Resource, UpdatedLibraryKeepsItsCodeAndStillAnswers) {
  std::string strCopy = RootPath("libcopy.so");
  std::filesystem::copy_file(SCANDRV_LIBRARY_PATH, strCopy);
  std::vector<std::string> vecBefore = ScriptView(strCopy);
  ASSERT_FALSE(vecBefore.empty());
  std::istringstream istream(vecBefore[0]);
  std::string strWord, strSize, strContentEnd;
  istream >> strWord >> strSize >> strContentEnd;
  ASSERT_EQ(strWord, "footer");

  // A resource the library does not carry yet (it carries the database's).
  std::string strPicture = Generated(100000, 8);
  ASSERT_EQ(Update(strCopy, "SCANNERLARGE", strPicture), OS_STS_SUCCESS);
  int iStatus = -1;
  testsupport::RunProgram({"cmp", "-n", strContentEnd, SCANDRV_LIBRARY_PATH, strCopy}, &iStatus);
  EXPECT_EQ(iStatus, 0) << "the library's own bytes changed";
  std::vector<std::string> vecAfter = ScriptView(strCopy);
  ASSERT_EQ(vecAfter.size(), vecBefore.size() + 1);
  EXPECT_EQ(vecAfter.back().substr(0, 13), "SCANNERLARGE ");
  EXPECT_EQ(Read(strCopy, "scannerlarge"), strPicture);
  EXPECT_EQ(filetest::ModeOf(strCopy), filetest::ModeOf(SCANDRV_LIBRARY_PATH));

  // A front end loads the updated copy and gets replies.
  const std::string strTasks =
      "<task id='00000000000000000001' reply='00000000000000000000' bytes='00000000000000000000'>"
      "<interfaceopen/></task>\n";
  std::string strOut = testsupport::RunProgram({SCANDRV_PMXCLI, "--library", strCopy}, &iStatus, strTasks);
  EXPECT_EQ(iStatus, 0) << strOut;
  EXPECT_NE(strOut.find("</task>"), std::string::npos) << strOut;
}

struct BadFooterCase {
  const char* szWhat;
  std::vector<std::string> vecPatch;  // slot, field, value; empty for none
  bool blNoMarker;
  bool blShort;
  EOSSTS eosstatusUpdate;  // refused, or the file is taken as one without footer
};

void PrintTo(const BadFooterCase& a_badfootercase, std::ostream* a_postream) { *a_postream << a_badfootercase.szWhat; }

class BadFooter : public testing::TestWithParam<BadFooterCase> {};

TEST_P(BadFooter, IsRefusedWithoutReadingOutsideTheFile) {
  const BadFooterCase& c = GetParam();
  if (c.blShort) {
    WriteFile("bad.bin", std::string(100, 'x'));
  } else {
    std::vector<std::string> vecArgs{"write", "bad.bin", "1000", "A=#10", "B=#20"};
    if (c.blNoMarker) vecArgs.push_back("--nomarker");
    Footer(vecArgs);
  }
  if (!c.vecPatch.empty()) {
    std::vector<std::string> vecArgs{"patch", "bad.bin"};
    vecArgs.insert(vecArgs.end(), c.vecPatch.begin(), c.vecPatch.end());
    Footer(vecArgs);
  }
  testsupport::LogCapture logcapture;
  EXPECT_EQ(Read("bad.bin", "A"), "(failed)");
  EXPECT_EQ(Read("bad.bin", "B"), "(failed)");
  EXPECT_TRUE(logcapture.Contains("footer is invalid...<A> <" + RootPath("bad.bin") + ">"));
  COsResource osresource;
  char szName[32];
  EXPECT_EQ(osresource.FindFirst("bad.bin", szName, sizeof szName), OS_STS_END_OF_LIST);
  std::string strBefore = ReadFile("bad.bin");
  EXPECT_EQ(Update("bad.bin", "C", "c"), c.eosstatusUpdate);
  if (c.eosstatusUpdate == OS_STS_SUCCESS) {
    EXPECT_EQ(ReadFile("bad.bin").substr(0, strBefore.size()), strBefore);
    EXPECT_EQ(Read("bad.bin", "C"), "c");
  } else {
    EXPECT_EQ(ReadFile("bad.bin"), strBefore);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Resource, BadFooter,
    testing::Values(BadFooterCase{"NoMarker", {}, true, false, OS_STS_SUCCESS},
                    BadFooterCase{"ShorterThanAFooter", {}, false, true, OS_STS_SUCCESS},
                    BadFooterCase{"MarkerWithMore", {"63", "name", "@!@pmx@!@X"}, false, false, OS_STS_SUCCESS},
                    BadFooterCase{"SizePastTheDataArea", {"62", "size", "5000"}, false, false, OS_STS_FAIL},
                    BadFooterCase{"SizeWrapsAround", {"61", "size", "18446744073709551615"}, false, false, OS_STS_FAIL},
                    BadFooterCase{"OffsetPastTheFooter", {"62", "offset", "999999"}, false, false, OS_STS_FAIL},
                    BadFooterCase{"OffsetInsideTheContent", {"61", "offset", "0"}, false, false, OS_STS_FAIL},
                    BadFooterCase{"NameWithoutTerminator", {"61", "name", std::string(32, 'N')}, false, false,
                                  OS_STS_FAIL}),
    [](const testing::TestParamInfo<BadFooterCase>& a_info) { return a_info.param.szWhat; });

TEST(Resource, UpdateLimits) {
  std::vector<std::string> vecArgs{"write", "full.bin", "100"};
  for (int i = 0; i < 62; ++i) vecArgs.push_back("R" + std::to_string(i) + "=r");
  Footer(vecArgs);
  testsupport::LogCapture logcapture;
  std::string strBefore = ReadFile("full.bin");
  // A 63rd resource has no slot; replacing one still works.
  EXPECT_EQ(Update("full.bin", "EXTRA", "x"), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("no free slots...<EXTRA>"));
  EXPECT_EQ(ReadFile("full.bin"), strBefore);
  EXPECT_EQ(Names(RootPath("full.bin").c_str()).size(), 62u);
  EXPECT_EQ(Update("full.bin", "r61", "again"), OS_STS_SUCCESS);
  EXPECT_EQ(Read("full.bin", "R61"), "again");

  // Names: at most 31 characters, never cut.
  WriteFile("names.bin", "content");
  EXPECT_EQ(Update("names.bin", std::string(32, 'L').c_str(), "x"), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("resource name too long (at most 31 characters)...<" + std::string(32, 'L') + ">"));
  EXPECT_EQ(ReadFile("names.bin"), "content");
  EXPECT_EQ(Update("names.bin", std::string(31, 'L').c_str(), "x"), OS_STS_SUCCESS);
  EXPECT_EQ(Read("names.bin", std::string(31, 'l').c_str()), "x");
  EXPECT_EQ(Update("names.bin", "", "x"), OS_STS_FAIL);
  COsResource osresource;
  EXPECT_EQ(osresource.Update("names.bin", nullptr, OS_RESOURCETYPE_DATA, 1, "x"), OS_STS_FAIL);
  EXPECT_EQ(osresource.Update("names.bin", "S", OS_RESOURCETYPE_DATA, 5, nullptr), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("size without data...<S>"));
  EXPECT_EQ(osresource.Update("names.bin", "T", static_cast<EOSRESOURCETYPE>(2), 1, "x"), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("Unrecognized resource type: 2"));
  EXPECT_EQ(osresource.Update("missing.bin", "T", OS_RESOURCETYPE_DATA, 1, "x"), OS_STS_FAIL);
  EXPECT_FALSE(testsupport::FileExists("missing.bin"));
}

TEST(Resource, UpdateThroughALinkChangesTheFileAndKeepsTheLink) {
  Footer({"write", "real.bin", "500", "A=a"});
  std::filesystem::create_symlink("real.bin", "link.bin");
  ASSERT_EQ(Update("link.bin", "B", "b"), OS_STS_SUCCESS);
  EXPECT_TRUE(std::filesystem::is_symlink("link.bin"));
  EXPECT_EQ(Read("real.bin", "B"), "b");
}

TEST(Resource, AFailedUpdateLeavesTheFileWhole) {
  Footer({"write", "whole.bin", "4000", "A=#100"});
  std::string strBefore = ReadFile("whole.bin");
  // The new file may not grow past a limit: the write fails half-way.
  std::vector<long> vecResult = filetest::RunInChild(
      [] {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit rlimit = {8192, 8192};
        setrlimit(RLIMIT_FSIZE, &rlimit);
        return std::vector<long>{static_cast<long>(Update("whole.bin", "BIG", Generated(20000, 3)))};
      },
      false);
  ASSERT_EQ(vecResult.size(), 1u);
  EXPECT_EQ(vecResult[0], OS_STS_FAIL);
  EXPECT_EQ(ReadFile("whole.bin"), strBefore);
  for (const auto& entry : std::filesystem::directory_iterator(testsupport::Root())) {
    EXPECT_EQ(entry.path().filename().string().find("whole.bin."), std::string::npos) << entry.path();
  }
}

TEST(Resource, OpenAndListRefusals) {
  Footer({"write", "r.bin", "100", "A=a", "B=b", "C=c"});
  testsupport::LogCapture logcapture;
  COsResource osresource;
  ASSERT_EQ(osresource.Open("r.bin", "A", OS_RESOURCETYPE_DATA), OS_STS_SUCCESS);
  EXPECT_EQ(osresource.Open("r.bin", "B", OS_RESOURCETYPE_DATA), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("this osresource is already in use..."));
  EXPECT_EQ(Bytes(&osresource), "a");
  osresource.Close();
  EXPECT_EQ(osresource.Open("r.bin", "B", OS_RESOURCETYPE_DATA), OS_STS_SUCCESS);
  osresource.Close();
  EXPECT_EQ(osresource.Open("r.bin", "NONE", OS_RESOURCETYPE_DATA), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("find failed...<NONE>"));
  EXPECT_EQ(osresource.Open("absent.bin", "A", OS_RESOURCETYPE_DATA), OS_STS_FAIL);
  EXPECT_EQ(osresource.Open("r.bin", nullptr, OS_RESOURCETYPE_DATA), OS_STS_FAIL);

  char szName[32];
  COsResource osresourceList;
  EXPECT_EQ(osresourceList.FindNext(szName, sizeof szName), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("must call FindFirst first..."));
  EXPECT_EQ(osresourceList.FindFirst("absent.bin", szName, sizeof szName), OS_STS_FAIL);
  char szSmall[1];
  EXPECT_EQ(osresourceList.FindFirst("r.bin", szSmall, sizeof szSmall), OS_STS_NOROOM_BUFFER);
  EXPECT_EQ(osresourceList.FindNext(szName, sizeof szName), OS_STS_SUCCESS);
  EXPECT_STREQ(szName, "A");
  EXPECT_EQ(osresourceList.FindClose(), OS_STS_SUCCESS);
  EXPECT_EQ(osresourceList.FindNext(szName, sizeof szName), OS_STS_FAIL);

  // A pipe is no file with resources, and asking it does not hang.
  ASSERT_EQ(mkfifo("pipe", 0600), 0);
  EXPECT_EQ(Read("pipe", "A"), "(failed)");
  EXPECT_EQ(osresourceList.FindFirst("pipe", szName, sizeof szName), OS_STS_END_OF_LIST);
  EXPECT_EQ(Update("pipe", "A", "a"), OS_STS_FAIL);

  // The first empty slot ends the list: what lies below it is not found.
  Footer({"patch", "r.bin", "61", "name", "-"});
  EXPECT_EQ(Read("r.bin", "C"), "(failed)");
  EXPECT_EQ(Read("r.bin", "A"), "a");
  EXPECT_EQ(Names(RootPath("r.bin").c_str()), std::vector<std::string>{"A"});
}

// A directory of stand-in programs put first on the search path.
void FakeTools(const std::vector<std::pair<std::string, std::string>>& a_vecTools) {
  std::filesystem::create_directories(RootPath("bin"));
  for (const auto& tool : a_vecTools) {
    WriteFile(RootPath("bin/" + tool.first), "#!/bin/sh\n" + tool.second);
    chmod(RootPath("bin/" + tool.first).c_str(), 0755);
  }
  setenv("PATH", (RootPath("bin") + ":/usr/bin:/bin").c_str(), 1);
}

// Puts a PE header at the start of a file's own content: PE32 or PE32+,
// with a CLI runtime directory of that size (0: none).
void PeHeader(const std::string& a_strFile, bool a_blPe32Plus, uint32_t a_u32CliSize) {
  std::string strData = ReadFile(a_strFile);
  ASSERT_GE(strData.size(), 512u);
  auto put32 = [&strData](size_t a_sizet, uint32_t a_u32) {
    for (int i = 0; i < 4; ++i) strData[a_sizet + i] = static_cast<char>(a_u32 >> (8 * i));
  };
  std::fill(strData.begin(), strData.begin() + 512, '\0');
  strData[0] = 'M';
  strData[1] = 'Z';
  put32(0x3c, 0x80);
  std::memcpy(&strData[0x80], "PE\0\0", 4);
  const size_t sizetOptional = 0x80 + 24;
  strData[sizetOptional] = 0x0b;
  strData[sizetOptional + 1] = a_blPe32Plus ? 0x02 : 0x01;
  const size_t sizetCount = sizetOptional + (a_blPe32Plus ? 108 : 92);
  put32(sizetCount, 16);
  put32(sizetCount + 4 + 14 * 8, a_u32CliSize ? 0x2008 : 0);
  put32(sizetCount + 4 + 14 * 8 + 4, a_u32CliSize);
  WriteFile(a_strFile, strData);
}

TEST(Resource, VersionOfAnAssemblyComesFromItsMetadata) {
  Footer({"write", "asm.dll", "2000", "VERSION=01020304"});
  PeHeader("asm.dll", false, 72);
  // The type is read from the header: a "file" on the path is never run.
  FakeTools({{"file", "touch file.ran\necho \"$1: ELF\"\n"},
             {"monodis", "echo \"$#|$1|$2\" > monodis.args\nprintf 'Name:     asm\\nVersion:  9.8.7.6 \\nCulture:\\n'\n"}});
  EXPECT_EQ(Read("asm.dll", "VERSION"), "9.8.7.6");
  EXPECT_FALSE(testsupport::FileExists("file.ran"));
  // The program got the path as one argument.
  EXPECT_EQ(ReadFile("monodis.args"), "2|--assembly|" + RootPath("asm.dll") + "\n");
  // Only the exact name "VERSION" asks the assembly.
  EXPECT_EQ(Read("asm.dll", "version"), "01020304");

  // No version in the metadata.
  FakeTools({{"monodis", "echo 'Name: asm'\n"}});
  testsupport::LogCapture logcapture;
  EXPECT_EQ(Read("asm.dll", "VERSION"), "(failed)");
  EXPECT_TRUE(logcapture.Contains("Version: not found...<VERSION> <" + RootPath("asm.dll") + ">"));
  std::filesystem::remove(RootPath("bin/monodis"));
  EXPECT_EQ(Read("asm.dll", "VERSION"), "(failed)");
}

TEST(Resource, FileNamesReachTheAssemblyToolAsText) {
  FakeTools({{"monodis", "printf 'Version:  1.2.3.4\\n'\n"}});
  for (const char* szName : {"v\";touch INJECTED;\".bin", "v$(touch INJECTED).bin", "v`touch INJECTED`.bin",
                             "v'; touch INJECTED; '.bin"}) {
    Footer({"write", szName, "2000", "VERSION=01020304"});
    EXPECT_EQ(Read(szName, "VERSION"), "01020304") << szName;
    PeHeader(szName, true, 72);
    EXPECT_EQ(Read(szName, "VERSION"), "1.2.3.4") << szName;
    EXPECT_FALSE(testsupport::FileExists("INJECTED")) << szName;
  }
}

// Only a PE image with a CLI directory asks the assembly tool; anything
// else reads the footer's VERSION.
TEST(Resource, OnlyAnAssemblyHeaderAsksTheAssemblyTool) {
  FakeTools({{"monodis", "touch monodis.ran\nprintf 'Version:  9.9.9.9\\n'\n"}});
  struct Case {
    const char* szName;
    bool blPe32Plus;
    uint32_t u32CliSize;
  };
  for (const Case& c : {Case{"native32.dll", false, 0}, Case{"native64.dll", true, 0}}) {
    Footer({"write", c.szName, "2000", "VERSION=01020304"});
    PeHeader(c.szName, c.blPe32Plus, c.u32CliSize);
    EXPECT_EQ(Read(c.szName, "VERSION"), "01020304") << c.szName;
  }
  // A header cut short, and a PE offset past the file's start.
  Footer({"write", "short.dll", "2000", "VERSION=01020304"});
  PeHeader("short.dll", false, 72);
  std::string strData = ReadFile("short.dll");
  strData[0x3c] = static_cast<char>(0xf0);
  strData[0x3d] = static_cast<char>(0xff);
  WriteFile("short.dll", strData);
  EXPECT_EQ(Read("short.dll", "VERSION"), "01020304");
  EXPECT_FALSE(testsupport::FileExists("monodis.ran"));
}

TEST(Resource, ToolAddsListsReadsAndRemoves) {
  WriteFile("payload.bin", Generated(3000, 9));
  WriteFile("t.bin", "own content");
  int iStatus = -1;
  testsupport::RunProgram({SCANDRV_PMXRES, "add", "t.bin", "DATA=@payload.bin", "TEXT=hello"}, &iStatus);
  ASSERT_EQ(iStatus, 0);
  EXPECT_EQ(testsupport::RunProgram({SCANDRV_PMXRES, "list", "t.bin"}, &iStatus), "DATA 3000\nTEXT 5\n");
  EXPECT_EQ(testsupport::RunProgram({SCANDRV_PMXRES, "get", "t.bin", "text"}, &iStatus), "hello");
  EXPECT_EQ(Read("t.bin", "DATA"), Generated(3000, 9));
  ScriptView(RootPath("t.bin"));
  testsupport::RunProgram({SCANDRV_PMXRES, "remove", "t.bin", "DATA"}, &iStatus);
  EXPECT_EQ(iStatus, 0);
  EXPECT_EQ(testsupport::RunProgram({SCANDRV_PMXRES, "list", "t.bin"}, &iStatus), "TEXT 5\n");
  EXPECT_EQ(ReadFile("t.bin").substr(0, 11), "own content");

  // Refusals leave the file as it was.
  std::string strBefore = ReadFile("t.bin");
  testsupport::RunProgram({SCANDRV_PMXRES, "add", "t.bin", std::string(32, 'N') + "=x"}, &iStatus);
  EXPECT_EQ(iStatus, 1);
  testsupport::RunProgram({SCANDRV_PMXRES, "add", "t.bin", "EMPTY="}, &iStatus);
  EXPECT_EQ(iStatus, 2);
  testsupport::RunProgram({SCANDRV_PMXRES, "get", "t.bin", "NONE"}, &iStatus);
  EXPECT_EQ(iStatus, 1);
  testsupport::RunProgram({SCANDRV_PMXRES, "frobnicate", "t.bin"}, &iStatus);
  EXPECT_EQ(iStatus, 2);
  EXPECT_EQ(ReadFile("t.bin"), strBefore);
  Footer({"write", "bad.bin", "100", "A=a"});
  Footer({"patch", "bad.bin", "62", "size", "9999"});
  strBefore = ReadFile("bad.bin");
  testsupport::RunProgram({SCANDRV_PMXRES, "add", "bad.bin", "B=b"}, &iStatus);
  EXPECT_EQ(iStatus, 1);
  EXPECT_EQ(ReadFile("bad.bin"), strBefore);
}

}  // namespace
