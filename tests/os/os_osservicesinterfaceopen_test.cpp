// Arguments made from an interfaceopen task, the caller's own configuration
// range given to a start, and arguments whose values hold markup, each on a
// library staged inside the test's root.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "os_coscfgtags.h"
#include "os_osservices_testutil.h"
#include "test_support.h"

namespace {

using testsupport::ProbeResult;
using testsupport::ReadFile;
using testsupport::RootPath;
using testsupport::RunPython;
using testsupport::Settings;
using testsupport::StagedLibrary;
using testsupport::WriteFile;

std::string Tag(unsigned a_tag) { return std::to_string(a_tag); }

// Python's reading of an arguments text: "name=text" per child element.
std::string Parsed(const std::string& a_xml) {
  return RunPython(
      "import sys, xml.etree.ElementTree as ET\n"
      "for e in ET.fromstring(sys.stdin.read()): print(e.tag + '=' + (e.text or ''))\n",
      {}, nullptr, a_xml);
}

std::string Task(const std::string& a_arguments) {
  return "<task id='00000000000000000001' reply='00000000000000000000' bytes='00000000000000000000'>"
         "<interfaceopen>" + a_arguments + "</interfaceopen></task>";
}

struct InterfaceOpenCase {
  const char* name;
  const char* arguments;  // inside <interfaceopen>
  const char* constIni;   // the caller's const.ini, or null
  int level;
  const char* forceSetAccess;
};

void PrintTo(const InterfaceOpenCase& a_case, std::ostream* a_os) { *a_os << a_case.name; }

class ServicesInterfaceOpen : public ::testing::TestWithParam<InterfaceOpenCase> {};

TEST_P(ServicesInterfaceOpen, PublishesTheCallersArgumentsAndAStartLogsBelowThem) {
  const InterfaceOpenCase& c = GetParam();
  StagedLibrary staged;
  if (c.constIni) {
    std::filesystem::create_directories(staged.Var("kv/myscan"));
    WriteFile(staged.Var("kv/myscan/const.ini"), c.constIni);
  }
  ProbeResult r = staged.Run({"interfaceopen", Task(std::string("<callername>myscan</callername>") + c.arguments),
                              "env", "PMX_OSSERVICESARGUMENTS", "settings", Settings("scan_ui", "apputility"),
                              "start", "-", "get", Tag(OS_CFGTAG_LOGDIRECTORY), "get", Tag(OS_CFGTAG_PMX_LOG), "log",
                              "below the caller", "stop", "argvars"});
  ASSERT_EQ(r.Get("interfaceopen"), "0") << r.out;
  std::string published = r.Env("PMX_OSSERVICESARGUMENTS");
  std::string parsed = Parsed(published);
  std::string logPath = published.substr(published.find("<logpath>") + 9);
  logPath = logPath.substr(0, logPath.find("</logpath>"));
  ASSERT_EQ(logPath.rfind(staged.Var("kv/myscan/log."), 0), 0u) << published;
  EXPECT_EQ(parsed, "rootpath=" + staged.Var() + "\nlogpath=" + logPath + "\nlogmodel=kv\nloglevel=" +
                        std::to_string(c.level) + "\ncallersuniquename=\nfrominterfaceopen=true\nforcesetaccess=" +
                        c.forceSetAccess + "\napp=\n");

  // A start of the same process logs below the published log path.
  ASSERT_EQ(r.Get("start"), "0") << r.out;
  EXPECT_EQ(r.Get(Tag(OS_CFGTAG_LOGDIRECTORY)), logPath + "/scan_ui");
  EXPECT_EQ(r.Get(Tag(OS_CFGTAG_PMX_LOG)), logPath + "/scan_ui/scan_ui_kv.log");
  EXPECT_NE(ReadFile(logPath + "/scan_ui/scan_ui_kv.log").find("probe>>> below the caller"), std::string::npos);
  EXPECT_EQ(r.Get("argvars"), "0");
}

INSTANTIATE_TEST_SUITE_P(
    Tasks, ServicesInterfaceOpen,
    ::testing::Values(InterfaceOpenCase{"Plain", "", nullptr, 0, "false"},
                      InterfaceOpenCase{"LoggingOn", "<logging>on</logging>", nullptr, 1, "false"},
                      InterfaceOpenCase{"LoggingOnWithLevel", "<logging>ON</logging><logginglevel>3</logginglevel>",
                                        nullptr, 3, "false"},
                      InterfaceOpenCase{"LoggingOff", "<logging>off</logging><logginglevel>3</logginglevel>", nullptr,
                                        0, "false"},
                      InterfaceOpenCase{"LevelAlone", "<logginglevel>5</logginglevel>", nullptr, 5, "false"},
                      InterfaceOpenCase{"ConstIniDebug", "<logging>off</logging>", "[Main]\nDEBUG=7\n", 7, "false"},
                      InterfaceOpenCase{"ConstIniDebugZero", "<logginglevel>2</logginglevel>", "debug=0\n", 2,
                                        "false"},
                      InterfaceOpenCase{"ForceSetAccess", "<forcesetaccess>true</forcesetaccess>", nullptr, 0, "true"}),
    [](const ::testing::TestParamInfo<InterfaceOpenCase>& info) { return std::string(info.param.name); });

// Arguments a parent published stand unless the task says not to inherit.
TEST(ServicesInterfaceOpenInherited, StandUnlessTheTaskRefusesThem) {
  StagedLibrary staged;
  std::string inherited = "<arguments>\n\t<logpath>" + RootPath("parent") + "</logpath>\n</arguments>";
  const struct {
    const char* inherit;
    bool kept;
  } cases[] = {{"", true}, {"<inherit>true</inherit>", true}, {"<inherit>FALSE</inherit>", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.inherit);
    setenv("PMX_OSSERVICESARGUMENTS", inherited.c_str(), 1);
    ProbeResult r = staged.Run({"interfaceopen", Task(std::string("<callername>myscan</callername>") + c.inherit),
                                "env", "PMX_OSSERVICESARGUMENTS"});
    unsetenv("PMX_OSSERVICESARGUMENTS");
    EXPECT_EQ(r.Get("interfaceopen"), "0") << r.out;
    std::string published = r.Env("PMX_OSSERVICESARGUMENTS");
    EXPECT_EQ(published == inherited, c.kept) << published;
    EXPECT_EQ(published.find("<logpath>" + staged.Var("kv/myscan/log.")) != std::string::npos, !c.kept);
  }
}

TEST(ServicesInterfaceOpenBadInput, RefusedOrIgnoredWithoutPublishing) {
  StagedLibrary staged;
  const struct {
    std::string task;
    const char* result;
  } cases[] = {
      {Task("<callername>../up</callername>"), "3"},
      {Task("<callername>a/b</callername>"), "3"},
      {Task("<callername>..</callername>"), "3"},
      {"<task><interfaceclose/></task>", "0"},
      {Task("<callername>" + std::string(80, 'n') + "</callername>"), "0"},  // too long: the default name
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.task);
    ProbeResult r = staged.Run({"interfaceopen", c.task, "argvars", "env", "PMX_OSSERVICESARGUMENTS"});
    EXPECT_EQ(r.Get("interfaceopen"), c.result) << r.out;
    if (c.task.find("interfaceclose") != std::string::npos || std::string(c.result) != "0") {
      EXPECT_EQ(r.Get("argvars"), "0");
    } else {
      EXPECT_NE(r.Env("PMX_OSSERVICESARGUMENTS").find("<logpath>" + staged.Var("kv/isis/log.")), std::string::npos);
    }
  }
  // Refused names make nothing; the default name's log directory is made
  // (fresh, by the call that names it) and is all there is.
  EXPECT_FALSE(testsupport::FileExists(staged.Var("up")));
  std::vector<std::string> vecMade;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(staged.Var())) {
    vecMade.push_back(entry.path().string());
  }
  std::sort(vecMade.begin(), vecMade.end());
  ASSERT_EQ(vecMade.size(), 3u) << testing::PrintToString(vecMade);
  EXPECT_EQ(vecMade.back().rfind(staged.Var("kv/isis/log."), 0), 0u) << vecMade.back();
}

// The caller's own sections and tags, named in its text, are filled from the
// configuration file like the built-in ones.
TEST(ServicesCallerRange, FilledFromTheConfigurationFile) {
  StagedLibrary staged;
  std::filesystem::create_directories(staged.Var("kv/driver"));
  WriteFile(staged.Var("kv/driver/const.ini"),
            "[dsIdentity]\nMyTag=mine\nForceMaxMsg=11\n[MySection]\nOther=two\nForceMaxMsg=12\n");
  ProbeResult r = staged.Run({"settings", Settings("driver", "driver"), "starttables", "getin", "1001", "1001",
                              "getin", "1002", "1002", "getin", "1002", "1001", "getin", "1003", "1001", "get",
                              Tag(OS_CFGTAG_FORCEMAXMSG), "stop"});
  ASSERT_EQ(r.Get("start"), "0") << r.out;
  EXPECT_EQ(r.Get("1001/1001"), "mine");
  EXPECT_EQ(r.Get("1002/1002"), "two");
  EXPECT_EQ(r.Get("1002/1001"), "");
  EXPECT_EQ(r.Get("1003/1001"), "");
  EXPECT_EQ(r.Get(Tag(OS_CFGTAG_FORCEMAXMSG)), "11");
}

// A path with "<" or "]]>" would be read back cut by a child: such arguments
// are not handed on (and the log says so); "&" is handed on as it is. The
// spawned child tells what it got.
TEST(ServicesMarkup, ArgumentsWithMarkupAreNotPublished) {
  const std::vector<std::string> child{"spawn", "3", "self", "argvars", "env", "PMX_OSSERVICESARGUMENTS"};
  const struct {
    const char* model;
    bool published;
  } cases[] = {{"k<v", false}, {"k]]>v", false}, {"k&v", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.model);
    StagedLibrary staged(c.model, std::string("stage") + std::to_string(c.published) + c.model[1]);
    std::vector<std::string> commands{"settings", Settings("driver", "driver"), "start", "-", "get",
                                      Tag(OS_CFGTAG_PMX_LOG)};
    commands.insert(commands.end(), child.begin(), child.end());
    commands.push_back("stop");
    ProbeResult r = staged.Run(commands);
    ASSERT_EQ(r.Get("start"), "0") << r.out;
    EXPECT_EQ(r.Get("argvars"), c.published ? "3" : "0");
    std::string log = ReadFile(r.Get(Tag(OS_CFGTAG_PMX_LOG)));
    EXPECT_EQ(log.find("arguments not published, a value holds markup...") == std::string::npos, c.published) << log;
    if (c.published) {
      EXPECT_NE(r.Env("PMX_OSSERVICESARGUMENTS").find(std::string("<logmodel>") + c.model + "</logmodel>"),
                std::string::npos);
    }
  }

  // The program path goes in a CDATA section: "]]>" in it is refused too.
  StagedLibrary staged;
  std::filesystem::create_directories(RootPath("a]]>b"));
  std::filesystem::copy_file(SCANDRV_SERVICES_PROBE, RootPath("a]]>b/probe"));
  std::vector<std::string> commands{"settings", Settings("driver", "driver"), "start", "-"};
  commands.insert(commands.end(), child.begin(), child.end());
  commands.push_back("stop");
  ProbeResult r = staged.Run(commands, RootPath("a]]>b/probe"));
  ASSERT_EQ(r.Get("start"), "0") << r.out;
  EXPECT_EQ(r.Get("spawn"), "0 wait=0") << r.out;
  EXPECT_EQ(r.Get("argvars"), "0");
}

}  // namespace
