// The pieces of the start-up that need no started layer: the settings XML,
// the element reader, the environment helpers, and the arguments XML with its
// three environment variables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "log_capture.h"
#include "os_coscfg.h"
#include "os_coscfgimpl.h"
#include "os_cosstring.h"
#include "os_costhread.h"
#include "os_osservices.h"
#include "test_support.h"

namespace {

using testsupport::LogCapture;
using testsupport::RootPath;
using testsupport::RunPython;
using testsupport::WriteFile;

// ---------------------------------------------------------------------------
// The settings XML.

struct SettingsCase {
  const char* name;
  const char* xml;
  const char* unique;
  EOSCFGENTITY entity;
  const char* logFile;
  long level;
  const char* filter;
  EOSMEMMETHOD method;
  bool forceSetAccess;
  const char* version;  // major minor patch build day month year
};

void PrintTo(const SettingsCase& a_case, std::ostream* a_os) { *a_os << a_case.name; }

std::string VersionText(const OsCfgVersion& a_version) {
  return std::string(a_version.szMajorNum) + " " + a_version.szMinorNum + " " + a_version.szPatchNum + " " +
         a_version.szBuildNum + " " + a_version.szDay + " " + a_version.szMonth + " " + a_version.szYear;
}

class ServicesSettings : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(ServicesSettings, AreReadFromTheXml) {
  const SettingsCase& c = GetParam();
  OsServicesSettings settings;
  OsServicesReadSettings(c.xml ? c.xml : g_szOsXml, &settings);
  EXPECT_STREQ(settings.szUniqueName, c.unique);
  EXPECT_EQ(settings.eoscfgentity, c.entity);
  EXPECT_STREQ(settings.szLogFile, c.logFile);
  EXPECT_EQ(settings.lLevel, c.level);
  EXPECT_STREQ(settings.szLogFilter, c.filter);
  EXPECT_EQ(settings.eosmemmethod, c.method);
  EXPECT_EQ(settings.blForceSetAccess, c.forceSetAccess);
  EXPECT_EQ(VersionText(settings.oscfgversion), c.version);
}

constexpr const char* kNoVersion = "00 00 00 00 00 00 0000";

INSTANTIATE_TEST_SUITE_P(
    Elements, ServicesSettings,
    ::testing::Values(
        SettingsCase{"Default", nullptr, "driver", OS_CFGENTITY_UTILITY, "", 0, "", OS_MEM_METHOD_GLOBALALLOC, false,
                     "04 10 02 00 28 07 2015"},
        SettingsCase{"Empty", "", "", OS_CFGENTITY_NONE, "", 0, "", OS_MEM_METHOD_GLOBALALLOC, false, kNoVersion},
        SettingsCase{"OwnLibraryName", "<uniquename>*</uniquename><entity>dll</entity>", "libscandrv", OS_CFGENTITY_DLL,
                     "", 0, "", OS_MEM_METHOD_GLOBALALLOC, false, kNoVersion},
        SettingsCase{"WrappedLogFile",
                     "<entity>application</entity><logfile>_T(\"/x/y.log\")</logfile><logfilter>_T(\"cfg mem\")"
                     "</logfilter><loglevel>0x11</loglevel>",
                     "", OS_CFGENTITY_APPLICATION, "/x/y.log", 0x11, "cfg mem", OS_MEM_METHOD_GLOBALALLOC, false,
                     kNoVersion},
        SettingsCase{"NullLogFile", "<entity>driver</entity><logfile>NULL</logfile><logfilter>null</logfilter>", "",
                     OS_CFGENTITY_DRIVER, "", 0, "", OS_MEM_METHOD_GLOBALALLOC, false, kNoVersion},
        SettingsCase{"ZeroLogFile", "<entity>apputility</entity><logfile>0</logfile><logfilter>_T(\"0\")</logfilter>",
                     "", OS_CFGENTITY_APPUTILITY, "", 0, "", OS_MEM_METHOD_GLOBALALLOC, false, kNoVersion},
        SettingsCase{"UnknownEntity", "<entity>Driver</entity><memorymethod>OS_MEM_METHOD_MALLOC</memorymethod>"
                     "<forcesetaccess>true</forcesetaccess>",
                     "", OS_CFGENTITY_NONE, "", 0, "", OS_MEM_METHOD_MALLOC, true, kNoVersion},
        SettingsCase{"CaseOfTrueCounts", "<forcesetaccess>TRUE</forcesetaccess><memorymethod>malloc</memorymethod>", "",
                     OS_CFGENTITY_NONE, "", 0, "", OS_MEM_METHOD_GLOBALALLOC, false, kNoVersion},
        SettingsCase{"PartialVersion", "<version><major>5</major><year>99</year><month>8</month></version>", "",
                     OS_CFGENTITY_NONE, "", 0, "", OS_MEM_METHOD_GLOBALALLOC, false, "05 00 00 00 00 08 0099"},
        SettingsCase{"CdataUniqueName", "<uniquename><![CDATA[a<b]]></uniquename>", "a<b", OS_CFGENTITY_NONE, "", 0,
                     "", OS_MEM_METHOD_GLOBALALLOC, false, kNoVersion}),
    [](const ::testing::TestParamInfo<SettingsCase>& info) { return std::string(info.param.name); });

TEST(ServicesSettingsText, DefaultIsOneElementPerLineIndentedByTabs) {
  std::string expected =
      "<arguments>\n\t<uniquename>driver</uniquename>\n\t<entity>utility</entity>\n\t<loglevel>0</loglevel>\n"
      "\t<version>\n\t\t<major>4</major>\n\t\t<minor>10</minor>\n\t\t<patch>2</patch>\n\t\t<build>0</build>\n"
      "\t\t<year>2015</year>\n\t\t<month>07</month>\n\t\t<day>28</day>\n\t</version>\n</arguments>\n";
  EXPECT_EQ(std::string(g_szOsXml), expected);
}

TEST(ServicesSettingsText, ElementReaderAnswers) {
  char value[8];
  EXPECT_EQ(OsServicesGetElement("<a>xy</a>", "a", value, sizeof value), OS_STS_SUCCESS);
  EXPECT_STREQ(value, "xy");
  EXPECT_EQ(OsServicesGetElement("<a>xy</a>", "b", value, sizeof value), OS_STS_END_OF_LIST);
  EXPECT_STREQ(value, "");
  EXPECT_EQ(OsServicesGetElement("<a>xy", "a", value, sizeof value), OS_STS_END_OF_LIST);
  EXPECT_EQ(OsServicesGetElement("<a>12345678</a>", "a", value, sizeof value), OS_STS_NOROOM_BUFFER);
  EXPECT_STREQ(value, "");
  EXPECT_EQ(OsServicesGetElement("<a><![CDATA[x]]></a>", "a", value, sizeof value), OS_STS_SUCCESS);
  EXPECT_STREQ(value, "x");
  EXPECT_EQ(OsServicesGetElement("<a>x&amp;y</a>", "a", value, sizeof value), OS_STS_SUCCESS);
  EXPECT_STREQ(value, "x&amp;y") << "entities are not decoded";
  EXPECT_EQ(OsServicesGetElement(nullptr, "a", value, sizeof value), OS_STS_BAD_ARGUMENT);
}

// ---------------------------------------------------------------------------
// Environment helpers.

class ServicesEnvironment : public ::testing::Test {
 protected:
  void SetUp() override { setenv("SCANDRV_SET", "abc", 1); }
  void TearDown() override {
    for (const char* name : {"SCANDRV_SET", "SCANDRV_EMPTY", "SCANDRV_NUMBER", "SCANDRV_BOOL", "PMX_ALTERNATEDSM"}) {
      unsetenv(name);
    }
  }
  LogCapture log_;
};

TEST_F(ServicesEnvironment, GetEnvRefusesBadArgumentsAndValuesThatDoNotFit) {
  char buffer[16];
  const struct {
    const char* name;
    const char* def;
    size_t size;
    char* buffer;
    EOSSTS status;
    const char* value;
    const char* logged;
  } cases[] = {
      {nullptr, "d", sizeof buffer, buffer, OS_STS_BAD_ARGUMENT, nullptr, "a_szEnvName is null"},
      {"", "d", sizeof buffer, buffer, OS_STS_BAD_ARGUMENT, nullptr, "a_szEnvName is empty"},
      {"SCANDRV_SET", "d", sizeof buffer, nullptr, OS_STS_BAD_ARGUMENT, nullptr, "a_szValue is null...<SCANDRV_SET>"},
      {"SCANDRV_SET", "d", 1, buffer, OS_STS_BAD_ARGUMENT, nullptr, "a_sizetBytes <= 1...<SCANDRV_SET> 1"},
      {"SCANDRV_SET", "d", 4, buffer, OS_STS_SUCCESS, "abc", nullptr},
      {"SCANDRV_SET", "d", 3, buffer, OS_STS_NOROOM_BUFFER, nullptr, "GetEnv error...<SCANDRV_SET> 3 3"},
      {"SCANDRV_UNSET", "dflt", 5, buffer, OS_STS_SUCCESS, "dflt", nullptr},
      {"SCANDRV_UNSET", "dflt", 4, buffer, OS_STS_NOROOM_BUFFER, nullptr, "GetEnv error...<SCANDRV_UNSET> <dflt> 4"},
      {"SCANDRV_UNSET", nullptr, 4, buffer, OS_STS_SUCCESS, "", nullptr},
      {"SCANDRV_EMPTY", "dflt", 8, buffer, OS_STS_SUCCESS, "dflt", nullptr},
  };
  setenv("SCANDRV_EMPTY", "", 1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name ? c.name : "(null)");
    std::fill(std::begin(buffer), std::end(buffer), 'x');
    EXPECT_EQ(COsCfg::GetEnv(c.name, c.def, c.size, c.buffer), c.status);
    if (c.value) {
      EXPECT_STREQ(buffer, c.value);
    }
    if (c.logged) {
      EXPECT_TRUE(log_.Contains(c.logged)) << c.logged;
    }
  }
}

TEST_F(ServicesEnvironment, NumbersAndSwitches) {
  const std::string tooLong(40, '9');
  const struct {
    const char* value;
    long result;  // with the default 7
  } numbers[] = {
      {"42", 42},
      {"-5", -5},
      {" 12 apples", 12},
      {"0x10", 0},                       // read as a decimal number
      {"abc", 7},                        // no number: the default
      {"-", 7},
      {"99999999999999999999", 7},       // out of range: the default
      {tooLong.c_str(), 7},              // does not fit the buffer: the default
  };
  for (const auto& n : numbers) {
    setenv("SCANDRV_NUMBER", n.value, 1);
    EXPECT_EQ(COsCfg::GetEnvLong("SCANDRV_NUMBER", 7), n.result) << n.value;
  }
  EXPECT_EQ(COsCfg::GetEnvLong("SCANDRV_UNSET", 7), 7);
  EXPECT_EQ(COsCfg::GetEnvLong("SCANDRV_UNSET", 5000000000L), 5000000000L);
  EXPECT_EQ(COsCfg::GetEnvLong(nullptr, 7), 0);
  EXPECT_TRUE(log_.Contains("a_szEnvName is null..."));

  const struct {
    const char* value;
    bool def;
    bool result;
  } switches[] = {{"false", true, false}, {"FALSE", true, false}, {"0", true, false}, {"True", false, true},
                  {"1", false, true},     {"yes", true, true},    {"yes", false, false}, {nullptr, true, true}};
  for (const auto& s : switches) {
    SCOPED_TRACE(s.value ? s.value : "(unset)");
    if (s.value) {
      setenv("SCANDRV_BOOL", s.value, 1);
    } else {
      unsetenv("SCANDRV_BOOL");
    }
    EXPECT_EQ(COsCfg::GetEnvBool("SCANDRV_BOOL", s.def), s.result);
  }
  EXPECT_TRUE(log_.Contains("unrecognized value...<yes>, returning default...1"));
  EXPECT_FALSE(COsCfg::GetEnvBool(nullptr, true));
}

TEST_F(ServicesEnvironment, ExistSetAndRemove) {
  EXPECT_EQ(COsCfg::ExistEnv("SCANDRV_SET"), OS_STS_SUCCESS);
  EXPECT_EQ(COsCfg::ExistEnv("SCANDRV_UNSET"), OS_STS_FAIL);
  EXPECT_EQ(COsCfg::ExistEnv(nullptr), OS_STS_FAIL);
  EXPECT_EQ(COsCfg::SetEnv("SCANDRV_SET", "new"), OS_STS_SUCCESS);
  EXPECT_STREQ(std::getenv("SCANDRV_SET"), "new");
  EXPECT_EQ(COsCfg::SetEnvUtf8ToUnicode("SCANDRV_SET", "\xc3\xa9"), OS_STS_SUCCESS);
  EXPECT_STREQ(std::getenv("SCANDRV_SET"), "\xc3\xa9");
  EXPECT_EQ(COsCfg::SetEnv("SCANDRV_SET", nullptr), OS_STS_SUCCESS);
  EXPECT_EQ(std::getenv("SCANDRV_SET"), nullptr);
  EXPECT_EQ(COsCfg::SetEnv("", "v"), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(COsCfg::SetEnv(nullptr, "v"), OS_STS_BAD_ARGUMENT);
  EXPECT_TRUE(log_.Contains("SetEnv bad arg..."));
  EXPECT_EQ(COsCfg::SetEnv("A=B", "v"), OS_STS_NOROOM_BUFFER);
  EXPECT_TRUE(log_.Contains("SetEnv error...<A=B> <v>"));
}

TEST_F(ServicesEnvironment, AlternateDataSourceManager) {
  char path[512];
  WriteFile(RootPath("dsm.so"), "");
  setenv("PMX_ALTERNATEDSM", RootPath("dsm.so").c_str(), 1);
  EXPECT_TRUE(COsCfg::GetTwainDsm(path, sizeof path, false));
  EXPECT_EQ(std::string(path), RootPath("dsm.so"));
  EXPECT_FALSE(COsCfg::GetTwainDsm(path, 4, false));
  if (!testsupport::FileExists("/usr/local/lib/libtwaindsm.so")) {
    setenv("PMX_ALTERNATEDSM", RootPath("none.so").c_str(), 1);
    EXPECT_FALSE(COsCfg::GetTwainDsm(path, sizeof path, false));
    EXPECT_STREQ(path, "");
  }
}

// ---------------------------------------------------------------------------
// The arguments XML and its variables.

class ServicesArguments : public ::testing::Test {
 protected:
  void SetUp() override { COsCfgImpl::ResetStatics(); }
  void TearDown() override {
    g_szOsXml = saved_;
    COsCfgImpl::ResetStatics();
    for (const char* name : {"PMX_OSSERVICESARGUMENTS", "PMX_OSSERVICESARGUMENTSUNICODE",
                             "PMX_OSSERVICESARGUMENTSDISABLED", ThreadVariable().c_str()}) {
      unsetenv(name);
    }
  }
  static std::string Arguments() { return COsCfgImpl::s_szOsServicesArguments; }
  static std::string ThreadVariable() {
    char name[128];
    std::snprintf(name, sizeof name, "PMX_OSSERVICESARGUMENTS_%llx_%llx",
                  static_cast<unsigned long long>(COsThread::GetProcessId()),
                  static_cast<unsigned long long>(COsThread::GetThreadId()));
    return name;
  }
  // Python's reading of the arguments: "name=text" per child element.
  static std::string Parsed(const std::string& a_xml) {
    return RunPython(
        "import sys, xml.etree.ElementTree as ET\n"
        "root = ET.fromstring(sys.stdin.read())\n"
        "print(root.tag)\n"
        "for e in root: print(e.tag + '=' + (e.text or ''))\n",
        {}, nullptr, a_xml);
  }
  const char* saved_ = g_szOsXml;
};

TEST_F(ServicesArguments, WithoutAStoreTheyComeFromTheCall) {
  COsString::SStrCpy(COsCfgImpl::s_szUniqueName, sizeof COsCfgImpl::s_szUniqueName, "driver");
  ASSERT_EQ(OsServicesSetArguments("/v/log.1", "kv", "3", nullptr, "/v", true, false), OS_STS_SUCCESS);
  EXPECT_EQ(Parsed(Arguments()),
            "arguments\nrootpath=/v\nlogpath=/v/log.1\nlogmodel=kv\nloglevel=3\ncallersuniquename=driver\n"
            "frominterfaceopen=true\nforcesetaccess=false\napp=\n");
  ASSERT_EQ(OsServicesSetArguments("/v/log 2", "", "0", nullptr, "/v", false, true), OS_STS_SUCCESS);
  EXPECT_EQ(Parsed(Arguments()),
            "arguments\nrootpath=/v\nlogpath=/v/log 2\nloglevel=0\ncallersuniquename=driver\n"
            "frominterfaceopen=false\nforcesetaccess=true\napp=(null oscfg)\n");
  // Nothing is published by building the text.
  EXPECT_EQ(std::getenv("PMX_OSSERVICESARGUMENTS"), nullptr);
}

// The reader decodes no entities: a value with "<" or "]]>" would be read
// back cut, so such arguments are neither kept nor published; "&" is read
// back as it is.
TEST_F(ServicesArguments, ValuesWithMarkupAreRefused) {
  LogCapture log;
  const struct {
    const char* logPath;
    const char* model;
    const char* root;
    EOSSTS status;
  } cases[] = {
      {"/v/a<b", "kv", "/v", OS_STS_BAD_ARGUMENT},
      {"/v/a", "k</logmodel>v", "/v", OS_STS_BAD_ARGUMENT},
      {"/v/a", "kv", "/v/]]>", OS_STS_BAD_ARGUMENT},
      {"/v/a&b>c", "k&v", "/v", OS_STS_SUCCESS},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.logPath);
    COsString::SStrCpy(COsCfgImpl::s_szOsServicesArguments, sizeof COsCfgImpl::s_szOsServicesArguments,
                       "<arguments></arguments>");
    EXPECT_EQ(OsServicesSetArguments(c.logPath, c.model, "0", nullptr, c.root, false, false), c.status);
    if (c.status != OS_STS_SUCCESS) {
      EXPECT_EQ(Arguments(), "");
      EXPECT_EQ(COsCfg::OsCfgServicesArgumentsSet(), OS_STS_FAIL);
      EXPECT_EQ(std::getenv("PMX_OSSERVICESARGUMENTS"), nullptr);
    }
  }
  EXPECT_TRUE(log.Contains("arguments not published, a value holds markup...</v/a<b>"));
  char value[64];
  OsServicesGetSetting(COsCfgImpl::s_szOsServicesArguments, "logpath", value, sizeof value);
  EXPECT_STREQ(value, "/v/a&b>c");
  OsServicesGetSetting(COsCfgImpl::s_szOsServicesArguments, "logmodel", value, sizeof value);
  EXPECT_STREQ(value, "k&v");
}

TEST_F(ServicesArguments, ATextThatDoesNotFitIsNotKept) {
  std::string root(1900, 'r');
  EXPECT_EQ(OsServicesSetArguments("/v/log", "kv", "0", nullptr, ("/" + root).c_str(), false, false),
            OS_STS_NOROOM_BUFFER);
  EXPECT_EQ(Arguments(), "");
  std::string text = "<arguments>" + std::string(3000, ' ') + "</arguments>";
  EXPECT_EQ(OsServicesSetArguments(nullptr, nullptr, nullptr, text.c_str(), nullptr, false, false),
            OS_STS_NOROOM_BUFFER);
}

TEST_F(ServicesArguments, ACallersTextIsTakenWithItsLevel) {
  LogCapture log(1);
  std::string text = "<arguments><logpath>/p</logpath><loglevel>_T(\"5\")</loglevel></arguments>";
  EXPECT_EQ(OsServicesSetArguments("", "", "", text.c_str(), nullptr, false, false), OS_STS_SUCCESS);
  EXPECT_EQ(Arguments(), text);
  EXPECT_EQ(g_poslog->GetDebugLevel(), 5);
  // A settings text that refuses inheritance leaves everything as it is.
  g_szOsXml = "<arguments><inherit>false</inherit></arguments>";
  EXPECT_EQ(OsServicesSetArguments("/q", "kv", "1", nullptr, "/v", false, false), OS_STS_SUCCESS);
  EXPECT_EQ(Arguments(), text);
  EXPECT_EQ(g_poslog->GetDebugLevel(), 5);
}

TEST_F(ServicesArguments, PublishedInThreeVariablesAndReadInOrder) {
  ASSERT_EQ(OsServicesSetArguments("/v/log", "kv", "0", nullptr, "/v", false, false), OS_STS_SUCCESS);
  std::string published = Arguments();
  ASSERT_EQ(COsCfg::OsCfgServicesArgumentsSet(), OS_STS_SUCCESS);
  for (const std::string& name : {ThreadVariable(), std::string("PMX_OSSERVICESARGUMENTS"),
                                  std::string("PMX_OSSERVICESARGUMENTSUNICODE")}) {
    ASSERT_NE(std::getenv(name.c_str()), nullptr) << name;
    EXPECT_EQ(std::string(std::getenv(name.c_str())), published) << name;
  }

  // The thread's own variable first, then the plain and the UNICODE one; a
  // text without both markers does not count.
  char buffer[COsCfgImpl::kArguments];
  setenv(ThreadVariable().c_str(), "<arguments>thread</arguments>", 1);
  setenv("PMX_OSSERVICESARGUMENTS", "<arguments>plain", 1);
  setenv("PMX_OSSERVICESARGUMENTSUNICODE", "<arguments>unicode</arguments>", 1);
  EXPECT_EQ(COsCfg::OsCfgServicesArgumentsGet(buffer, sizeof buffer), OS_STS_SUCCESS);
  EXPECT_STREQ(buffer, "<arguments>thread</arguments>");
  unsetenv(ThreadVariable().c_str());
  EXPECT_EQ(COsCfg::OsCfgServicesArgumentsGet(buffer, sizeof buffer), OS_STS_SUCCESS);
  EXPECT_STREQ(buffer, "<arguments>unicode</arguments>");
  EXPECT_EQ(COsCfg::OsCfgServicesArgumentsGet(buffer, 16), OS_STS_FAIL) << "a cut text does not count";
  EXPECT_STREQ(buffer, "");

  // Clear: the thread's variable always, the plain ones in the top-most layer.
  setenv(ThreadVariable().c_str(), "x", 1);
  COsCfg::OsCfgServicesArgumentsClear();
  EXPECT_EQ(std::getenv(ThreadVariable().c_str()), nullptr);
  EXPECT_NE(std::getenv("PMX_OSSERVICESARGUMENTSUNICODE"), nullptr);
  COsCfgImpl::s_blTopMostInvocation = true;
  COsCfg::OsCfgServicesArgumentsClear();
  EXPECT_EQ(std::getenv("PMX_OSSERVICESARGUMENTS"), nullptr);
  EXPECT_EQ(std::getenv("PMX_OSSERVICESARGUMENTSUNICODE"), nullptr);
}

TEST_F(ServicesArguments, DisabledWipesTheVariablesBeforeTheyAreRead) {
  char buffer[COsCfgImpl::kArguments];
  for (const char* value : {"1", "10", "0"}) {
    SCOPED_TRACE(value);
    setenv("PMX_OSSERVICESARGUMENTSDISABLED", value, 1);
    setenv("PMX_OSSERVICESARGUMENTS", "<arguments>plain</arguments>", 1);
    setenv(ThreadVariable().c_str(), "<arguments>thread</arguments>", 1);
    bool disabled = value[0] == '1';
    EXPECT_EQ(COsCfg::OsCfgServicesArgumentsGet(buffer, sizeof buffer), disabled ? OS_STS_FAIL : OS_STS_SUCCESS);
    EXPECT_EQ(std::getenv("PMX_OSSERVICESARGUMENTSDISABLED") == nullptr, disabled);
    EXPECT_EQ(std::getenv("PMX_OSSERVICESARGUMENTS") == nullptr, disabled);
    EXPECT_EQ(std::getenv(ThreadVariable().c_str()) == nullptr, disabled);
  }
}

}  // namespace
