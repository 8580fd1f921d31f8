// Table and firmware packages: scripts packed and read back by an
// independent reader, the model bytes per model range, Unpack and Get, the
// GetPacket passes, the script messages with their line numbers, and
// damaged packages and scripts refused with a message.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "../log_capture.h"
#include "formats_testutil.h"
#include "pg_cpackage.h"

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::RootPath;
using testsupport::WriteFile;

namespace {

std::string Data(size_t a_sizet, uint8_t a_u8Seed) {
  std::string data(a_sizet, '\0');
  for (size_t i = 0; i < a_sizet; ++i) data[i] = static_cast<char>(i + a_u8Seed);
  return data;
}

std::string Message(CPackage& a_cpackage) {
  char szMessage[256];
  a_cpackage.Get(PG_FIELD_MESSAGE, szMessage, sizeof szMessage);
  return szMessage;
}

std::string Field(CPackage& a_cpackage, EPGFIELD a_epgfield) {
  char szField[256] = {};
  EXPECT_EQ(a_cpackage.Get(a_epgfield, szField, sizeof szField), PG_SUCCESS) << a_epgfield;
  return szField;
}

// Three files in a directory of their own and a script naming them.
std::string MakeScript(const std::string& a_dir, const std::string& a_model) {
  std::filesystem::create_directories(a_dir);
  WriteFile(a_dir + "/long.bin", Data(100, 0));
  WriteFile(a_dir + "/short.bin", Data(80, 1));
  WriteFile(a_dir + "/tiny.bin", Data(50, 2));
  std::string script = a_dir + "/tables.script";
  WriteFile(script, "; colour tables\r\n[PACKAGE]\r\nMODEL=" + a_model +
                        "\r\nTYPE=COLORTABLE\r\nVERSION = \"1.2\"\r\nDESCRIPTION=Colour tables ; of the model\r\n"
                        "[FILE]\r\nNAME=long.bin\r\nTYPE=COLORTABLE\r\nDESTINATION=SCANNER\r\nDESCRIPTION=Long\r\n"
                        "VERSION=1\r\n\r\n[FILE]\r\n\tNAME=short.bin\r\nTYPE=GAMMA\r\nDESTINATION=NEXIL\r\n"
                        "DESCRIPTION=\"Short one\"\r\nVERSION=2\r\n[FILE]\r\nNAME=tiny.bin\r\nTYPE=ECDO\r\n"
                        "DESTINATION=NONE\r\nDESCRIPTION=Tiny\r\nVERSION=3\r\n");
  return script;
}

TEST(CPackage, ScriptPackedAndReadBack) {
  struct Case {
    const char* szModel;
    bool blModelData;
  };
  const Case acase[] = {{"0", true},     {"199", false}, {"250", true},  {"599", false},
                        {"700", true},   {"1850", true}, {"1900", false}};
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szModel);
    std::string dir = RootPath(std::string("m") + c.szModel);
    CPackage cpackage;
    ASSERT_EQ(cpackage.OpenFile(MakeScript(dir, c.szModel).c_str()), PG_SUCCESS) << Message(cpackage);
    ASSERT_EQ(cpackage.Pack(), PG_SUCCESS) << Message(cpackage);
    std::string model = [&](size_t a_sizet, uint8_t a_u8Seed) {
      std::string bytes = Data(a_sizet, a_u8Seed), hex;
      for (size_t i = 70; i < 86; ++i) {
        char sz[3];
        std::snprintf(sz, sizeof sz, "%02x", i < a_sizet && c.blModelData ? static_cast<uint8_t>(bytes[i]) : 0);
        hex += sz;
      }
      return hex;
    }(100, 0);
    auto lines = testsupport::Lines(formatstest::RunHelper("pmxpg.py", {dir + "/tables.qvpgct"}));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "version=1");
    EXPECT_EQ(lines[1], std::string("package model=") + c.szModel + " type=1 description=Colour tables version=1.2 zero=True");
    EXPECT_EQ(lines[2], "file 1 name=long.bin type=1 destination=3 offset=33793 size=100 description=Long version=1 model=" +
                            model + " zero=True");
    std::string shortModel = c.blModelData ? "4748494a4b4c4d4e4f50000000000000" : std::string(32, '0');
    EXPECT_EQ(lines[3], "file 2 name=short.bin type=8 destination=1 offset=33893 size=80 description=Short one "
                        "version=2 model=" + shortModel + " zero=True");
    EXPECT_EQ(lines[4], "file 3 name=tiny.bin type=11 destination=2 offset=33973 size=50 description=Tiny version=3 model=" +
                            std::string(32, '0') + " zero=True");
    EXPECT_EQ(lines[5], "size=34023");
  }
  // The package from a fresh directory: checked, unpacked, fields handed out.
  std::filesystem::create_directories(RootPath("fresh"));
  std::filesystem::copy_file(RootPath("m250/tables.qvpgct"), RootPath("fresh/tables.qvpgct"));
  CPackage cpackage;
  ASSERT_EQ(cpackage.OpenPackage(RootPath("fresh/tables.qvpgct").c_str()), PG_SUCCESS) << Message(cpackage);
  ASSERT_EQ(cpackage.Unpack(), PG_SUCCESS) << Message(cpackage);
  for (const char* sz : {"long.bin", "short.bin", "tiny.bin"}) {
    EXPECT_EQ(ReadFile(RootPath("fresh/") + sz), ReadFile(RootPath("m250/") + sz)) << sz;
  }
  EXPECT_EQ(Field(cpackage, PG_FIELD_PACKAGEMODEL), "250");
  EXPECT_EQ(Field(cpackage, PG_FIELD_PACKAGEDESCRIPTION), "Colour tables");
  EXPECT_EQ(Field(cpackage, PG_FIELD_PACKAGETYPE), "1");
  EXPECT_EQ(Field(cpackage, PG_FIELD_PACKAGEVERSION), "1.2");
  ASSERT_EQ(cpackage.FileFirst(), PG_SUCCESS);
  ASSERT_EQ(cpackage.FileNext(), PG_SUCCESS);
  EXPECT_EQ(Field(cpackage, PG_FIELD_NAME), "short.bin");
  EXPECT_EQ(Field(cpackage, PG_FIELD_TYPE), "8");
  EXPECT_EQ(Field(cpackage, PG_FIELD_DESTINATION), "1");
  EXPECT_EQ(Field(cpackage, PG_FIELD_SIZE), "80");
  EXPECT_EQ(Field(cpackage, PG_FIELD_DESCRIPTION), "Short one");
  EXPECT_EQ(Field(cpackage, PG_FIELD_VERSION), "2");
  char acData[200] = {};
  ASSERT_EQ(cpackage.Get(PG_FIELD_DATA, acData, sizeof acData), PG_SUCCESS);
  EXPECT_EQ(std::string(acData, 80), Data(80, 1));
  uint8_t au8Model[16];
  ASSERT_EQ(cpackage.Get(PG_FIELD_MODELDATA, au8Model, sizeof au8Model), PG_SUCCESS);
  EXPECT_EQ(au8Model[0], 71);
  EXPECT_EQ(au8Model[9], 80);  // the file ends at byte 79
  EXPECT_EQ(au8Model[10], 0);
  // A text cut to a small buffer, always terminated.
  char szSmall[4] = {'x', 'x', 'x', 'x'};
  ASSERT_EQ(cpackage.Get(PG_FIELD_DESCRIPTION, szSmall, sizeof szSmall), PG_SUCCESS);
  EXPECT_STREQ(szSmall, "Sho");
  testsupport::LogCapture logcapture;
  EXPECT_EQ(cpackage.Get(static_cast<EPGFIELD>(99), szSmall, sizeof szSmall), PG_FAIL);
  EXPECT_EQ(Message(cpackage), "Unrecognized field: 99");
  EXPECT_EQ(cpackage.Get(PG_FIELD_NAME, nullptr, 10), PG_FAIL);
  EXPECT_EQ(cpackage.Set(PG_FIELD_NAME, "x"), PG_FAIL);
  ASSERT_EQ(cpackage.FileNext(), PG_SUCCESS);
  EXPECT_EQ(cpackage.FileNext(), PG_FAIL);
  EXPECT_EQ(Message(cpackage), "No more Files");
  EXPECT_TRUE(logcapture.Contains("CPackage::FileNext(): No more Files"));
}

TEST(CPackage, TestModeFolderPartsAndNames) {
  // Any other file is one firmware file packed beside itself.
  WriteFile(RootPath("fw.bin"), Data(90, 5));
  CPackage cpackage;
  ASSERT_EQ(cpackage.OpenFile(RootPath("fw.bin").c_str()), PG_SUCCESS);
  ASSERT_EQ(cpackage.Pack(), PG_SUCCESS) << Message(cpackage);
  auto lines = testsupport::Lines(formatstest::RunHelper("pmxpg.py", {RootPath("fw.qvpgfw")}));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], "package model=0 type=2 description=Test file: INTERNAL USE ONLY version=Pre-release zero=True");
  EXPECT_EQ(lines[2].rfind("file 1 name=fw.bin type=2 destination=3 offset=33793 size=90 description=Test file: "
                            "INTERNAL USE ONLY version=Pre-release model=",
                            0),
            0u);
  // A backslash path gives version, model and type; MISCELLANEOUS has no extension.
  std::string dir = RootPath("base\\2.1\\250\\CT");
  WriteFile(RootPath("a.bin"), "a");
  WriteFile(dir + "\\one.script", "DESCRIPTION=From folders\n[FILE]\nNAME=a.bin\nTYPE=INFO\nDESTINATION=NONE\n"
                                   "DESCRIPTION=a\nVERSION=1\n");
  ASSERT_EQ(cpackage.OpenFile((dir + "\\one.script").c_str()), PG_SUCCESS) << Message(cpackage);
  EXPECT_EQ(Field(cpackage, PG_FIELD_PACKAGEVERSION), "2.1");
  EXPECT_EQ(Field(cpackage, PG_FIELD_PACKAGEMODEL), "250");
  EXPECT_EQ(Field(cpackage, PG_FIELD_PACKAGETYPE), "1");
  ASSERT_EQ(cpackage.Pack(), PG_SUCCESS) << Message(cpackage);
  EXPECT_TRUE(FileExists(dir + "\\one.qvpgct"));
  WriteFile(RootPath("misc.SCRIPT"), "TYPE=MISCELLANEOUS\nDESCRIPTION=m\n");
  ASSERT_EQ(cpackage.OpenFile(RootPath("misc.SCRIPT").c_str()), PG_SUCCESS) << Message(cpackage);
  ASSERT_EQ(cpackage.Pack(), PG_SUCCESS);
  EXPECT_EQ(ReadFile(RootPath("misc")).size(), 33793u);
  char szPath[64];
  EXPECT_EQ(CPackage::BaseNameFromDir("C:\\pkg\\tables\\", szPath, sizeof szPath), PG_SUCCESS);
  EXPECT_STREQ(szPath, "C:\\pkg\\tables\\tables");
  // A missing file: the half-written package goes.
  WriteFile(RootPath("missing.script"), "DESCRIPTION=m\n[FILE]\nNAME=gone.bin\nTYPE=INFO\nDESTINATION=NONE\n"
                                        "DESCRIPTION=a\nVERSION=1\n");
  testsupport::LogCapture logcapture;
  ASSERT_EQ(cpackage.OpenFile(RootPath("missing.script").c_str()), PG_SUCCESS);
  EXPECT_EQ(cpackage.Pack(), PG_FAIL);
  EXPECT_EQ(Message(cpackage), "Unable to open file: " + RootPath("gone.bin"));
  EXPECT_TRUE(logcapture.Contains("CPackage::Pack(): Unable to open file: "));
  EXPECT_FALSE(FileExists(RootPath("missing")));
  EXPECT_EQ(cpackage.OpenFile(nullptr), PG_FAIL);
  EXPECT_TRUE(logcapture.Contains("CPackage::OpenFile(): Invalid Parameter"));
}

TEST(CPackage, ScriptMessages) {
  testsupport::LogCapture logcapture;
  const std::string file = "[FILE]\nNAME=a.bin\nTYPE=INFO\nDESTINATION=NONE\nDESCRIPTION=a\nVERSION=1\n";
  std::string many = "DESCRIPTION=d\n";
  for (int i = 0; i < 128; ++i) many += file;
  struct Case {
    const char* szName;
    std::string strScript, strMessage;
  };
  const Case acase[] = {
      {"no package description", "[PACKAGE]\nMODEL=5\nTYPE=FIRMWARE\n", "Missing 3: TYPE=FIRMWARE"},
      {"empty script", "", "Missing 0: "},
      {"file without VERSION", "DESCRIPTION=d\n[FILE]\nNAME=a\nTYPE=INFO\nDESTINATION=NONE\nDESCRIPTION=x\n",
       "Missing VERSION for file 1"},
      {"no final line end", "DESCRIPTION=d\n[FILE]\nNAME=a", "Missing DESTINATION for file 1"},
      {"fields checked in order", "DESCRIPTION=d\n[FILE]\nVERSION=1\n", "Missing NAME for file 1"},
      {"GAMMA as package type", "DESCRIPTION=d\nTYPE=GAMMA\n", "Invalid value on line 2: TYPE=GAMMA"},
      {"unknown type", "DESCRIPTION=d\n[FILE]\nTYPE=Gamma\n", "Unrecognized value on line 3: TYPE=Gamma"},
      {"unknown destination", "[FILE]\n\n\nDESTINATION=PRINTER ; comment\n",
       "Unrecognized value on line 4: DESTINATION=PRINTER"},
      {"unknown key", "DESCRIPTION=d\nCOLOR=red\n", "Unrecognized field on line 2: COLOR=red"},
      {"NAME in the package", "NAME=a.bin\n", "Invalid field on line 1: NAME=a.bin"},
      {"MODEL in a file", "[FILE]\nMODEL=3\n", "Invalid field on line 2: MODEL=3"},
      {"other section", "\n[SECTION]\n", "Unexpected '[' on line 2: [SECTION]"},
      {"line without =", "DESCRIPTION=d\n   JUNK   \n", "Unexpected line 2: JUNK"},
      {"CR-only line ends", "DESCRIPTION=d\r[FILE]\rTYPE=X\r", "Unrecognized value on line 1: TYPE=X"},
      {"CR LF line ends", "DESCRIPTION=d\r\n[FILE]\r\nTYPE=X\r\n", "Unrecognized value on line 3: TYPE=X"},
      {"climbing name", "[FILE]\nNAME=../x\n", "Invalid value on line 2: NAME=../x"},
      {"name of 64 characters", "[FILE]\nNAME=" + std::string(64, 'n') + "\n",
       "Invalid value on line 2: NAME=" + std::string(64, 'n')},
      {"128 file sections", many, "Too many files on line 764: [FILE]"},
      {"package section again", "DESCRIPTION=d\n[FILE]\nNAME=a.bin\n[PACKAGE]\nVERSION=2\n",
       "Missing DESTINATION for file 1"},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    WriteFile(RootPath("bad.script"), c.strScript);
    CPackage cpackage;
    EXPECT_EQ(cpackage.OpenScript(RootPath("bad.script").c_str()), PG_FAIL);
    EXPECT_EQ(Message(cpackage), c.strMessage);
    EXPECT_TRUE(logcapture.Contains("CPackage::ParseScriptData(): " + c.strMessage));
    char szField[8];
    EXPECT_EQ(cpackage.Get(PG_FIELD_PACKAGEDESCRIPTION, szField, sizeof szField), PG_FAIL);  // forgotten
  }
  WriteFile(RootPath("good.script"), "DESCRIPTION=d\n" + file.substr(0, file.size() - 1));
  CPackage cpackage;
  EXPECT_EQ(cpackage.OpenScript(RootPath("good.script").c_str()), PG_SUCCESS) << Message(cpackage);
  // Back in the package section between files: the next "[FILE]" is file 2,
  // and the package packed is one that opens.
  WriteFile(RootPath("a.bin"), "alpha");
  WriteFile(RootPath("twice.script"), "DESCRIPTION=d\n" + file + "[PACKAGE]\nVERSION=2\n" + file);
  ASSERT_EQ(cpackage.OpenScript(RootPath("twice.script").c_str()), PG_SUCCESS) << Message(cpackage);
  ASSERT_EQ(cpackage.Pack(), PG_SUCCESS) << Message(cpackage);
  ASSERT_EQ(cpackage.OpenPackage(RootPath("twice").c_str()), PG_SUCCESS) << Message(cpackage);
  EXPECT_EQ(Field(cpackage, PG_FIELD_PACKAGEVERSION), "2");
  ASSERT_EQ(cpackage.FileNext(), PG_SUCCESS);
  EXPECT_EQ(Field(cpackage, PG_FIELD_NAME), "a.bin");
  EXPECT_EQ(cpackage.FileNext(), PG_FAIL);
}

TEST(CPackage, PacketsOfOneDestination) {
  std::filesystem::create_directories(RootPath("p"));
  WriteFile(RootPath("p/one.bin"), Data(100, 1));
  WriteFile(RootPath("p/lib.bin"), Data(70, 2));
  WriteFile(RootPath("p/three.bin"), Data(300, 3));
  WriteFile(RootPath("p/empty.bin"), "");
  auto section = [](const char* a_szName, const char* a_szDestination) {
    return std::string("[FILE]\nNAME=") + a_szName + "\nTYPE=FIRMWARE\nDESTINATION=" + a_szDestination +
           "\nDESCRIPTION=x\nVERSION=1\n";
  };
  WriteFile(RootPath("p/fw.script"), "TYPE=FIRMWARE\nDESCRIPTION=fw\n" + section("one.bin", "SCANNER") +
                                         section("lib.bin", "NEXIL") + section("three.bin", "SCANNER") +
                                         section("empty.bin", "NONE"));
  CPackage cpackage;
  ASSERT_EQ(cpackage.OpenScript(RootPath("p/fw.script").c_str()), PG_SUCCESS) << Message(cpackage);
  ASSERT_EQ(cpackage.Pack(), PG_SUCCESS) << Message(cpackage);
  ASSERT_EQ(cpackage.OpenPackage(RootPath("p/fw.qvpgfw").c_str()), PG_SUCCESS) << Message(cpackage);
  char acBuffer[200];
  struct Step {
    size_t sizetRead;
    int iPercent;
    bool blEndOfFile;
  };
  std::vector<Step> steps;
  std::string got;
  for (int i = 0; i < 4; ++i) {
    size_t sizetRead = 0;
    int iPercent = -1;
    bool blEndOfFile = false;
    ASSERT_EQ(cpackage.GetPacket(acBuffer, sizeof acBuffer, &sizetRead, &iPercent, &blEndOfFile, PG_DESTINATION_SCANNER),
              PG_SUCCESS);
    steps.push_back({sizetRead, iPercent, blEndOfFile});
    got.append(acBuffer, sizetRead);
    if (i == 2) { EXPECT_EQ(got, Data(100, 1) + Data(300, 3)); }
  }
  // The fourth call starts a new pass.
  std::vector<std::vector<long>> actual;
  for (const auto& step : steps) actual.push_back({static_cast<long>(step.sizetRead), step.iPercent, step.blEndOfFile});
  EXPECT_EQ(actual, (std::vector<std::vector<long>>{{100, 25, 1}, {200, 75, 0}, {100, 100, 1}, {100, 25, 1}}));
  // Size 0 ends the pass: the next call starts again from the first file.
  size_t sizetRead = 0;
  int iPercent = 0;
  bool blEndOfFile = false;
  ASSERT_EQ(cpackage.GetPacket(acBuffer, 0, &sizetRead, &iPercent, &blEndOfFile, PG_DESTINATION_SCANNER), PG_SUCCESS);
  ASSERT_EQ(cpackage.GetPacket(acBuffer, 50, &sizetRead, &iPercent, &blEndOfFile, PG_DESTINATION_SCANNER), PG_SUCCESS);
  EXPECT_EQ(std::string(acBuffer, sizetRead), Data(50, 1));
  EXPECT_EQ(iPercent, 12);
  // A destination whose files are all empty is complete at once.
  ASSERT_EQ(cpackage.GetPacket(acBuffer, 0, &sizetRead, &iPercent, &blEndOfFile, PG_DESTINATION_SCANNER), PG_SUCCESS);
  ASSERT_EQ(cpackage.GetPacket(acBuffer, 50, &sizetRead, &iPercent, &blEndOfFile, PG_DESTINATION_NONE), PG_SUCCESS);
  EXPECT_EQ(sizetRead, 0u);
  EXPECT_EQ(iPercent, 100);
  testsupport::LogCapture logcapture;
  EXPECT_EQ(cpackage.GetPacket(acBuffer, 50, nullptr, &iPercent, &blEndOfFile, PG_DESTINATION_NEXIL), PG_FAIL);
  EXPECT_EQ(Message(cpackage), "Invalid parameters");
}

// A package cut after it was opened: a pass that runs into the missing data
// fails with its message, never reports the destination complete, and the
// next call starts a new pass.
TEST(CPackage, PacketsOfAPackageCutShortFail) {
  testsupport::LogCapture logcapture;
  std::filesystem::create_directories(RootPath("p"));
  WriteFile(RootPath("p/one.bin"), Data(100, 1));
  WriteFile(RootPath("p/two.bin"), Data(300, 2));
  WriteFile(RootPath("p/fw.script"), "TYPE=FIRMWARE\nDESCRIPTION=fw\n"
                                     "[FILE]\nNAME=one.bin\nTYPE=FIRMWARE\nDESTINATION=SCANNER\nDESCRIPTION=x\nVERSION=1\n"
                                     "[FILE]\nNAME=two.bin\nTYPE=FIRMWARE\nDESTINATION=SCANNER\nDESCRIPTION=x\nVERSION=1\n");
  CPackage cpackage;
  ASSERT_EQ(cpackage.OpenScript(RootPath("p/fw.script").c_str()), PG_SUCCESS) << Message(cpackage);
  ASSERT_EQ(cpackage.Pack(), PG_SUCCESS) << Message(cpackage);
  const std::string package = RootPath("p/fw.qvpgfw");
  ASSERT_EQ(cpackage.OpenPackage(package.c_str()), PG_SUCCESS) << Message(cpackage);
  std::filesystem::resize_file(package, std::filesystem::file_size(package) - 150);
  char acBuffer[200];
  size_t sizetRead = 0;
  int iPercent = -1;
  bool blEndOfFile = false;
  ASSERT_EQ(cpackage.GetPacket(acBuffer, sizeof acBuffer, &sizetRead, &iPercent, &blEndOfFile, PG_DESTINATION_SCANNER),
            PG_SUCCESS);
  EXPECT_EQ(iPercent, 25);
  iPercent = -1;
  EXPECT_EQ(cpackage.GetPacket(acBuffer, sizeof acBuffer, &sizetRead, &iPercent, &blEndOfFile, PG_DESTINATION_SCANNER),
            PG_FAIL);
  EXPECT_NE(iPercent, 100);
  EXPECT_EQ(Message(cpackage), "Unable to read file: " + package);
  EXPECT_TRUE(logcapture.Contains("CPackage::GetPacket(): Unable to read file: " + package));
  ASSERT_EQ(cpackage.GetPacket(acBuffer, 50, &sizetRead, &iPercent, &blEndOfFile, PG_DESTINATION_SCANNER), PG_SUCCESS);
  EXPECT_EQ(std::string(acBuffer, sizetRead), Data(50, 1));
}

TEST(CPackage, DamagedPackagesRefused) {
  testsupport::LogCapture logcapture;
  std::string dir = RootPath("d");
  CPackage cpackage;
  ASSERT_EQ(cpackage.OpenFile(MakeScript(dir, "0").c_str()), PG_SUCCESS);
  ASSERT_EQ(cpackage.Pack(), PG_SUCCESS);
  std::string good = ReadFile(dir + "/tables.qvpgct");
  const size_t sizetFile1 = 1 + 264, sizetFile2 = 1 + 2 * 264;
  struct Case {
    const char* szName;
    size_t sizetAt;         // where the bytes go; SIZE_MAX: cut one byte
    std::string strBytes;
    const char* szMessage;  // its start
  };
  const Case acase[] = {
      {"one byte short", SIZE_MAX, "", "Corrupt package (data missing): "},
      {"one byte more", good.size(), "x", "Corrupt package (data missing): "},
      {"version 2", 0, "\x02", "Unsupported package version 2: "},
      {"climbing name", sizetFile2, std::string("../x\0", 5), "Corrupt package (header 2): "},
      {"name without end", sizetFile1, std::string(64, 'n'), "Corrupt package (header 1): "},
      {"description without end", 1 + 12, std::string(64, 'd'), "Corrupt package (header text): "},
      {"offset not contiguous", sizetFile2 + 72, std::string("\x22\x84\0\0", 4), "Corrupt package (data missing): "},
      {"size past the end", sizetFile2 + 80, std::string("\xff\xff\xff\x7f", 4), "Corrupt package (data missing): "},
      {"too short for the table", 20000, "", "Unable to read file: "},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    std::string bad = good;
    if (c.sizetAt == SIZE_MAX) {
      bad.pop_back();
    } else if (c.strBytes.empty()) {
      bad.resize(c.sizetAt);
    } else {
      bad.replace(c.sizetAt, c.strBytes.size(), c.strBytes);
    }
    WriteFile(RootPath("bad.qvpgct"), bad);
    EXPECT_EQ(cpackage.OpenPackage(RootPath("bad.qvpgct").c_str()), PG_FAIL);
    EXPECT_EQ(Message(cpackage), c.szMessage + RootPath("bad.qvpgct"));
    EXPECT_TRUE(logcapture.Contains(std::string("CPackage::OpenPackage(): ") + c.szMessage));
    EXPECT_EQ(cpackage.Unpack(), PG_FAIL);
    EXPECT_FALSE(FileExists(RootPath("x")));
  }
  // A file named as the package itself: Unpack writes nothing, and the
  // package stays whole.
  std::string self = good;
  self.replace(sizetFile2, 11, std::string("bad.qvpgct\0", 11));
  WriteFile(RootPath("bad.qvpgct"), self);
  ASSERT_EQ(cpackage.OpenPackage(RootPath("bad.qvpgct").c_str()), PG_SUCCESS) << Message(cpackage);
  EXPECT_EQ(cpackage.Unpack(), PG_FAIL);
  EXPECT_EQ(Message(cpackage), "Unable to open file: " + RootPath("bad.qvpgct"));
  EXPECT_TRUE(logcapture.Contains("CPackage::Unpack(): Unable to open file: " + RootPath("bad.qvpgct")));
  EXPECT_EQ(ReadFile(RootPath("bad.qvpgct")), self);
  EXPECT_FALSE(FileExists(RootPath("long.bin")));
}

}  // namespace
