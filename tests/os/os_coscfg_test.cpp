// The configuration store: values by id and by name, the caller's range,
// the configuration ini file and the values the load derives.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "log_capture.h"
#include "os_coscfg.h"
#include "os_coscfgimpl.h"
#include "test_support.h"

namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

struct Value {
  unsigned section;
  unsigned tag;
  const char* text;
};

class OsCfgStore : public ::testing::Test {
 protected:
  void SetUp() override {
    // The built-in brand: no brand resource is read.
    COsCfgImpl::SetResourceFile(testsupport::RootPath("no-resources").c_str());
    for (int i = 1; i <= 22; ++i) tagNames_.push_back("T" + std::to_string(i));
    tagNames_[0] = "MyTag";
    tagNames_[1] = "T1";  // also a caller tag, for the name-in-both case
    for (size_t i = 0; i < tagNames_.size(); ++i) {
      tags_.push_back({tagNames_[i].c_str(), static_cast<unsigned>(1001 + i)});
    }
    tags_.push_back({nullptr, 1000});
    data_.assign(3 * 23, nullptr);
    char text[256];
    std::snprintf(text, sizeof text, "<cfgsectionptr>%p</cfgsectionptr><cfgtagptr>%p</cfgtagptr><cfgdataptr>%p</cfgdataptr>",
                  static_cast<const void*>(kSections), static_cast<const void*>(tags_.data()),
                  static_cast<void*>(data_.data()));
    callerText_ = text;
  }
  void TearDown() override {
    cfg_.reset();
    log_.reset();
    COsCfgImpl::SetResourceFile(nullptr);
  }
  // Lines logged since the capture began; a load moves the log to the
  // store's own log file.
  void CaptureLog() { log_ = std::make_unique<testsupport::LogCapture>(); }
  bool Logged(const std::string& text) {
    std::string all = log_->Text() + ReadFile(cfg_->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_PMX_LOG));
    return all.find(text) != std::string::npos;
  }

  void Make(EOSCFGENTITY entity = OS_CFGENTITY_UTILITY, bool withCaller = true, const char* program = nullptr) {
    cfg_.reset();
    cfg_ = std::make_unique<COsCfg>("driver", entity, withCaller ? callerText_.c_str() : nullptr, &version_, false,
                                    program);
  }
  // Writes the configuration ini and loads the store again.
  void LoadIni(const std::string& text) {
    WriteFile(cfg_->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_CONST_INI_SHARED), text);
    ASSERT_EQ(cfg_->Load(), OS_STS_SUCCESS);
  }
  std::string Get(unsigned section, unsigned tag) { return cfg_->Get(section, tag); }

  static constexpr OsCfgName kSections[] = {{"dsIdentity", 1001}, {"MySection", 1002}, {nullptr, 1000}};
  std::vector<std::string> tagNames_;
  std::vector<OsCfgName> tags_;
  std::vector<const char*> data_;
  std::string callerText_;
  OsCfgVersion version_{"04", "10", "02", "00", "28", "07", "2015"};
  std::unique_ptr<COsCfg> cfg_;
  std::unique_ptr<testsupport::LogCapture> log_;
};

TEST_F(OsCfgStore, IdsOutOfRangeReadEmptyAndRefuseSet) {
  Make(OS_CFGENTITY_UTILITY, false);
  const std::pair<unsigned, unsigned> cases[] = {
      {1, 272}, {6, 1}, {0, 1}, {1, 0}, {1000, 1}, {1, 1000}, {1000, 1000}, {UINT_MAX, UINT_MAX}, {UINT_MAX, 1},
  };
  for (auto [section, tag] : cases) {
    const char* got = cfg_->Get(section, tag);
    ASSERT_NE(got, nullptr) << section << "/" << tag;
    EXPECT_STREQ(got, "") << section << "/" << tag;
    EXPECT_EQ(cfg_->Set(section, tag, "x"), OS_STS_BAD_ARGUMENT) << section << "/" << tag;
  }
  EXPECT_EQ(cfg_->Set(1, 271, "edge"), OS_STS_SUCCESS);
  EXPECT_EQ(Get(1, 271), "edge");
  EXPECT_EQ(Get(5, 271), "");
}

TEST_F(OsCfgStore, SetKeepsTheCallersPointer) {
  Make();
  static char text[] = "abc";
  ASSERT_EQ(cfg_->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEGUI, text), OS_STS_SUCCESS);
  EXPECT_EQ(cfg_->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEGUI), text);
  text[0] = 'x';
  EXPECT_EQ(Get(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEGUI), "xbc");
  EXPECT_EQ(cfg_->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEGUI, nullptr), OS_STS_SUCCESS);
  EXPECT_STREQ(cfg_->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEGUI), "");
}

// Two sections and 22 tags: dimensions 3 and 23.
TEST_F(OsCfgStore, CallerRangeFollowsItsTables) {
  Make();
  for (unsigned section = 1000; section <= 1003; ++section) {
    for (unsigned tag = 1000; tag <= 1023; ++tag) {
      bool inside = section <= 1002 && tag <= 1022;
      EXPECT_EQ(cfg_->Set(section, tag, "v"), inside ? OS_STS_SUCCESS : OS_STS_BAD_ARGUMENT) << section << "/" << tag;
      EXPECT_EQ(Get(section, tag), inside ? "v" : "") << section << "/" << tag;
    }
  }
  const char* mine = "mine";
  ASSERT_EQ(cfg_->Set(1001, 1005, mine), OS_STS_SUCCESS);
  EXPECT_EQ(data_[5 + 1 * 23], mine);
  data_[7 + 2 * 23] = nullptr;
  EXPECT_STREQ(cfg_->Get(1002, 1007), "");
}

// Loading again drops what the caller's range took from the old file (its
// text is gone); what the caller stored itself stays.
TEST_F(OsCfgStore, LoadingAgainForgetsTheCallersOldFileValues) {
  Make();
  LoadIni("[MySection]\nMyTag=first\n");
  ASSERT_EQ(Get(1002, 1001), "first");
  const char* mine = "mine";
  ASSERT_EQ(cfg_->Set(1002, 1003, mine), OS_STS_SUCCESS);
  LoadIni("[dsIdentity]\nForceGui=0x1234567890\n");
  EXPECT_EQ(Get(1002, 1001), "");
  EXPECT_EQ(data_[1 + 2 * 23], nullptr);
  EXPECT_EQ(cfg_->Get(1002, 1003), mine);
}

TEST_F(OsCfgStore, NamesReachTheCallersTablesFirst) {
  Make();
  ASSERT_EQ(cfg_->Set(1001, 1001, "caller"), OS_STS_SUCCESS);
  const struct {
    const char* section;
    const char* tag;
    const char* want;
  } cases[] = {
      {"dsIdentity", "MyTag", "caller"},      // both tables know the section: the caller's wins
      {"DSIDENTITY", "debug", "0"},           // a built-in tag reaches the built-in store
      {"dsIdentity", "ForceMaxMsg", "10"},    //
      {"dsIdentity", "DesktopDirectory", ""}, // filled below
      {"MySection", "Debug", ""},             // caller section, built-in tag: no such pair
      {"Nowhere", "Debug", ""},               //
      {"dsIdentity", "NoSuchTag", ""},        //
      {"Simulation", "simulation", "false"},  //
  };
  for (const auto& c : cases) {
    if (std::string(c.tag) == "DesktopDirectory") {
      EXPECT_EQ(std::string(cfg_->Get(c.section, c.tag)), Get(1, OS_CFGTAG_DESKTOPDIRECTORY));
      continue;
    }
    EXPECT_STREQ(cfg_->Get(c.section, c.tag), c.want) << c.section << "/" << c.tag;
  }
  EXPECT_STREQ(cfg_->Get(nullptr, "Debug"), "");
  EXPECT_STREQ(cfg_->Get("dsIdentity", nullptr), "");
}

TEST_F(OsCfgStore, ConfigurationIniLines) {
  const struct {
    const char* name;
    const char* text;
    std::vector<Value> want;
  } cases[] = {
      {"blank before = belongs to the key", "[dsIdentity]\nDebug =5\n", {{1, OS_CFGTAG_DEBUG, "0"}}},
      {"blanks after = skipped, trailing kept", "[dsIdentity]\nForceMaxMsg= \t42  \n", {{1, 107, "42  "}}},
      {"key before the first section", "ForceNetRetry=7\n[dsIdentity]\n", {{1, 113, "2"}}},
      {"unknown section", "[dsIdentity]\n[Nowhere]\nForceNetRetry=7\n", {{1, 113, "2"}}},
      {"known after unknown", "[Nowhere]\nForceNetRetry=7\n[DSIDENTITY]\nForceNetRetry=8\n", {{1, 113, "8"}}},
      {"CR-only line ends", "[dsIdentity]\rForceNetRetry=9\rForceMaxMsg=3\r", {{1, 113, "9"}, {1, 107, "3"}}},
      {"CR LF line ends", "[dsIdentity]\r\n\r\nForceNetRetry=9\r\n", {{1, 113, "9"}}},
      {"last line without end", "[dsIdentity]\nForceNetRetry=11", {{1, 113, "11"}}},
      {"comment", "[dsIdentity]\n;ForceNetRetry=9\n", {{1, 113, "2"}}},
      {"names ignore case", "[dsidentity]\nforcenetretry=4\n", {{1, 113, "4"}}},
      {"first = splits", "[dsIdentity]\nForceGUI=a=b\n", {{1, OS_CFGTAG_FORCEGUI, "a=b"}}},
      {"rest of the header ignored", "[dsIdentity] trailing\nForceNetRetry=6\n", {{1, 113, "6"}}},
      {"line without =", "[dsIdentity]\nForceNetRetry\nForceMaxMsg=1\n", {{1, 113, "2"}, {1, 107, "1"}}},
      {"another built-in section", "[Brand]\nCompanyName=Acme\n", {{2, 169, "Acme"}, {1, 169, ""}}},
      {"a tag in any section", "[Simulation]\nForceNetRetry=5\n", {{3, 113, "5"}, {1, 113, "2"}}},
      {"desktop becomes both", "[dsIdentity]\nDesktopDirectory=/x/desk\n", {{1, 6, "/x/desk"}, {1, 7, "/x/desk"}}},
      {"version", "[dsIdentity]\nVersion.MinorNum=5\n", {{1, 49, "5"}, {1, 48, "04"}}},
      {"caller section", "[MySection]\nMyTag=hello\n", {{1002, 1001, "hello"}}},
      {"caller section ends the built-in one", "[dsIdentity]\n[MySection]\nForceNetRetry=9\n", {{1, 113, "2"}}},
      {"section known to both", "[dsIdentity]\nT1=x\nForceNetRetry=3\n", {{1001, 1002, "x"}, {1, 113, "3"}}},
  };
  Make();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::fill(data_.begin(), data_.end(), nullptr);
    LoadIni(c.text);
    for (const auto& v : c.want) EXPECT_EQ(Get(v.section, v.tag), v.text) << v.section << "/" << v.tag;
  }
}

TEST_F(OsCfgStore, DerivedDirectoriesReplaceTheFile) {
  Make();
  LoadIni("[dsIdentity]\nHomeDirectory=/bogus\nLogDirectory=/bogus\n");
  EXPECT_NE(Get(1, OS_CFGTAG_HOMEDIRECTORY), "/bogus");
  EXPECT_NE(Get(1, OS_CFGTAG_LOGDIRECTORY), "/bogus");
  EXPECT_NE(Get(1, OS_CFGTAG_HOMEDIRECTORY), "");
}

TEST_F(OsCfgStore, BadConfigurationFilesLeaveTheDefaults) {
  Make();
  CaptureLog();
  const std::string path = cfg_->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_CONST_INI_SHARED);
  LoadIni("");
  EXPECT_TRUE(Logged("fread failed...<" + path + ">"));
  EXPECT_TRUE(Logged("LoadFile failed..."));
  EXPECT_FALSE(Logged("file larger than"));
  EXPECT_EQ(Get(1, OS_CFGTAG_DEBUG), "0");
  EXPECT_EQ(Get(1, 113), "2");

  std::string junk;
  for (int i = 0; i < 70000; ++i) junk += static_cast<char>((i * 7919 + 13) % 256);
  LoadIni(junk);
  EXPECT_EQ(Get(1, 113), "2");

  // Exactly the buffer: the last line is read whole.
  const std::string last = "ForceNetRetry=7\n";
  std::string text = "[dsIdentity]\n";
  while (text.size() + last.size() < 65536) text += ";" + std::string(std::min<size_t>(60, 65536 - text.size() - last.size() - 2), 'x') + "\n";
  ASSERT_EQ(text.size() + last.size(), 65536u);
  LoadIni(text + last);
  EXPECT_EQ(Get(1, 113), "7");
  // One line more is cut off, and a line across the cut is not half read.
  LoadIni(text + last + "ForceMaxMsg=99\n");
  EXPECT_TRUE(Logged("file larger than 65536 bytes, the rest is ignored...<" + path + ">"));
  EXPECT_EQ(Get(1, 113), "7");
  EXPECT_EQ(Get(1, 107), "10");
  LoadIni(text + "ForceMaxMsg=123456789012345678\n");
  EXPECT_EQ(Get(1, 107), "10");
  EXPECT_EQ(Get(1, OS_CFGTAG_DEBUG), "0");
}

TEST_F(OsCfgStore, LoadDerivesLayoutFilesAndProgram) {
  Make();
  for (unsigned tag = OS_CFGTAG_HOMEDIRECTORY; tag <= OS_CFGTAG_TMPDIRECTORY; ++tag) {
    if (tag != OS_CFGTAG_LOCALLOWDIRECTORY) {
      EXPECT_NE(Get(1, tag), "") << tag;
    }
  }
  const std::string home = testsupport::Root();
  EXPECT_EQ(Get(1, OS_CFGTAG_ROOTPATH).rfind(home + "/", 0), 0u) << Get(1, OS_CFGTAG_ROOTPATH);
  EXPECT_EQ(Get(1, OS_CFGTAG_DRIVERNAME), "libscandrv.so");
  EXPECT_EQ(Get(1, OS_CFGTAG_DRIVERPATH), Get(1, OS_CFGTAG_HOMEDIRECTORY) + "/libscandrv.so");
  EXPECT_EQ(Get(1, OS_CFGTAG_OSNAME), cfg_->InfoGetString(OS_CFGINFO_OS_NAMESTRING, 0));
  EXPECT_EQ(Get(1, OS_CFGTAG_CONST_INI), Get(1, OS_CFGTAG_COMMONDIRECTORY) + "/const.ini");
  EXPECT_EQ(Get(1, OS_CFGTAG_SETUP001_INI), Get(1, OS_CFGTAG_COMMONDIRECTORY) + "/setup001.ini");
  EXPECT_EQ(Get(1, OS_CFGTAG_RAMSCAN_TXT), Get(1, OS_CFGTAG_HOMEDIRECTORY) + "/ramscan.txt");
  EXPECT_EQ(Get(1, OS_CFGTAG_PMX_LOG), Get(1, OS_CFGTAG_LOGDIRECTORY) + "/driver.log");
  EXPECT_EQ(Get(1, OS_CFGTAG_NEXIL_LOGPATH), "");
  char exe[512] = {};
  ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
  EXPECT_EQ(Get(1, OS_CFGTAG_APPLICATION), exe);

  // A simulator file beside the common files is found there.
  WriteFile(Get(1, OS_CFGTAG_COMMONDIRECTORY) + "/ramscan.txt", "x");
  ASSERT_EQ(cfg_->Load(), OS_STS_SUCCESS);
  EXPECT_EQ(Get(1, OS_CFGTAG_RAMSCAN_TXT), Get(1, OS_CFGTAG_COMMONDIRECTORY) + "/ramscan.txt");

  Make(OS_CFGENTITY_DRIVER, false, "/opt/app/frontend");
  EXPECT_EQ(Get(1, OS_CFGTAG_SETUP001_INI), Get(1, OS_CFGTAG_USERDIRECTORY) + "/setup001.ini");
  EXPECT_NE(Get(1, OS_CFGTAG_NEXIL_LOGPATH), "");
  EXPECT_EQ(Get(1, OS_CFGTAG_APPLICATION), "/opt/app/frontend");
}

// The load gives the log its final file, the level ORed with Debug, and
// the filter.
TEST_F(OsCfgStore, LoadPointsTheLogAtTheStoresLogFile) {
  CaptureLog();
  Make();
  OsLog(OS_LOG_ERROR, "first marker");
  EXPECT_NE(ReadFile(Get(1, OS_CFGTAG_PMX_LOG)).find("first marker"), std::string::npos);
  EXPECT_EQ(g_poslog->GetDebugLevel(), 1);
  LoadIni("[dsIdentity]\nDebug=0x40\n");
  EXPECT_EQ(Get(1, OS_CFGTAG_DEBUG), "0x40");
  EXPECT_EQ(g_poslog->GetDebugLevel(), 0x41);
}

TEST_F(OsCfgStore, ProgramNameSetsTheApplicationFlags) {
  const struct {
    const char* program;
    unsigned tag;
  } cases[] = {
      {"/usr/bin/xsane", OS_CFGTAG_APPLICATIONXSANE},
      {"/opt/x/dbc", OS_CFGTAG_APPLICATIONDBC},
      {"/opt/x/MyScanTwain", OS_CFGTAG_APPLICATIONSCANTWAIN},
      {"/Apps/TWAINBridge.app/run", OS_CFGTAG_APPLICATIONTWAINBRIDGE},
  };
  Make();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.program);
    LoadIni(std::string("[dsIdentity]\nForceProgramName=") + c.program + "\n");
    EXPECT_EQ(Get(1, OS_CFGTAG_APPLICATION), c.program);
    for (const auto& other : cases) EXPECT_EQ(Get(1, other.tag) == "1", other.tag == c.tag) << other.program;
  }
  LoadIni("[dsIdentity]\nForceProgramName=/opt/x/dbc2\n");
  EXPECT_NE(Get(1, OS_CFGTAG_APPLICATIONDBC), "1");
}

TEST_F(OsCfgStore, SaneTwainVersionFromTheEnvironment) {
  setenv("SANETWAIN_VERSION", "01020304", 1);
  Make();
  EXPECT_EQ(Get(1, OS_CFGTAG_SANETWAINVERSION), "01020304");
  LoadIni("[dsIdentity]\nSaneTwainVersion=0x10\n");
  EXPECT_EQ(Get(1, OS_CFGTAG_SANETWAINVERSION), "0x10");
  setenv("SANETWAIN_VERSION", std::string(40, '9').c_str(), 1);
  LoadIni("");
  EXPECT_EQ(Get(1, OS_CFGTAG_SANETWAINVERSION), "00000000");
  unsetenv("SANETWAIN_VERSION");
}

// Without a known entity there is no layout: the store stays empty but
// answers every read.
TEST_F(OsCfgStore, UnknownEntityLeavesTheStoreEmpty) {
  Make(OS_CFGENTITY_NONE, false);
  CaptureLog();
  EXPECT_EQ(cfg_->Load(), OS_STS_FAIL);
  EXPECT_TRUE(Logged("Unsupported m_eoscfgentity...0"));
  EXPECT_TRUE(Logged("SetDirectories failed..."));
  EXPECT_EQ(Get(1, OS_CFGTAG_FORCEMAXMSG), "");
  EXPECT_EQ(Get(1, OS_CFGTAG_HOMEDIRECTORY), "");
  EXPECT_EQ(cfg_->Set(1, OS_CFGTAG_FORCEMAXMSG, "3"), OS_STS_SUCCESS);
  EXPECT_EQ(Get(1, OS_CFGTAG_FORCEMAXMSG), "3");
}

TEST_F(OsCfgStore, CallersReadNumbersWithBaseDetection) {
  EXPECT_EQ(OsCfgGetLong(1, OS_CFGTAG_FORCEMAXMSG, -5), -5);  // no store yet
  Make();
  const struct {
    const char* text;
    long want;
  } cases[] = {{"0x1F", 31}, {"017", 15}, {"12", 12}, {"-3", -3}, {"511", 511}, {"7abc", 7}};
  for (const auto& c : cases) {
    cfg_->Set(1, OS_CFGTAG_FORCEGUI, c.text);
    EXPECT_EQ(OsCfgGetLong(1, OS_CFGTAG_FORCEGUI, -1), c.want) << c.text;
    EXPECT_EQ(std::strtol(cfg_->Get(1, OS_CFGTAG_FORCEGUI), cfg_->GetThrowAwayPointer(), 0), c.want);
  }
  cfg_->Set(1, OS_CFGTAG_FORCEGUI, "");
  EXPECT_EQ(OsCfgGetLong(1, OS_CFGTAG_FORCEGUI, 42), 42);
  cfg_.reset();
  EXPECT_EQ(g_poscfg, nullptr);
  EXPECT_EQ(OsCfgGetLong(1, OS_CFGTAG_FORCEMAXMSG, 8), 8);
}

// Numbers are read on every thread at once (the log reads the file mode on
// the thread that logs): each thread has a discard word of its own.
TEST_F(OsCfgStore, ThreadsReadNumbersWithDiscardWordsOfTheirOwn) {
  Make();
  cfg_->Set(1, OS_CFGTAG_FORCEGUI, "0x1F");
  constexpr int kThreads = 4;
  char** apszDiscard[kThreads] = {};
  long alSum[kThreads] = {};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      apszDiscard[i] = cfg_->GetThrowAwayPointer();
      for (int n = 0; n < 2000; ++n) alSum[i] += OsCfgGetLong(1, OS_CFGTAG_FORCEGUI, -1);
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int i = 0; i < kThreads; ++i) {
    EXPECT_EQ(alSum[i], 2000L * 31);
    for (int j = 0; j < i; ++j) EXPECT_NE(apszDiscard[i], apszDiscard[j]);
  }
}

}  // namespace
