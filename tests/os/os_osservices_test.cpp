// The service layer started and stopped for real, from a copy of the library
// staged inside the test's root: the directory tree each entity gets, the
// log, the configuration file, children that log beside their parent, a
// second start in one process, and the bad input of a start.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <ostream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "os_coscfgtags.h"
#include "os_osservices_testutil.h"
#include "test_support.h"

namespace {

using testsupport::OutsideWatch;
using testsupport::ProbeResult;
using testsupport::ReadFile;
using testsupport::RootPath;
using testsupport::Settings;
using testsupport::StagedLibrary;
using testsupport::Walk;
using testsupport::WithParents;
using testsupport::WriteFile;

std::string Tag(unsigned a_tag) { return std::to_string(a_tag); }

// The tags a test reads back after a start.
std::vector<std::string> GetTags(std::initializer_list<unsigned> a_tags) {
  std::vector<std::string> commands;
  for (unsigned tag : a_tags) {
    commands.push_back("get");
    commands.push_back(Tag(tag));
  }
  return commands;
}

std::vector<std::string> Concat(std::vector<std::vector<std::string>> a_parts) {
  std::vector<std::string> all;
  for (auto& part : a_parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const std::regex kLogName(R"(log\.\d{17})");

// ---------------------------------------------------------------------------
// The layout of each entity, judged by an independent walk of the tree.

struct LayoutCase {
  const char* name;
  const char* entity;
  const char* unique;
  // Relative to the writable root <base>/var/<company>; "@" stands for the
  // per-run log directory "log.<time>".
  std::vector<std::string> directories;
  const char* user;         // UserDirectory
  const char* common;       // CommonDirectory, where a utility's const.ini lies
  const char* log;          // LogDirectory
  const char* logFile;      // PMX.LOG, relative to LogDirectory
  const char* model;        // ModelDirectory (after the start has published its arguments)
  const char* modelReal;    // ModelDirectoryReal
  const char* constIniIn;   // the directory of the configuration file
};

std::string Resolve(const std::string& a_path, const std::string& a_logName) {
  std::string path = a_path;
  auto at = path.find('@');
  if (at != std::string::npos) path.replace(at, 1, a_logName);
  return path;
}

void PrintTo(const LayoutCase& a_case, std::ostream* a_os) { *a_os << a_case.name; }

class ServicesLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(ServicesLayout, StartAndStopBuildTheTreeOfTheEntity) {
  const LayoutCase& c = GetParam();
  OutsideWatch outside;
  StagedLibrary staged;
  std::filesystem::create_directories(staged.Var(c.constIniIn));
  WriteFile(staged.Var(c.constIniIn) + "/const.ini", "[dsIdentity]\nForceMaxMsg=42\nForceNetRetry = 9\nForceNetRetry=7\n");

  ProbeResult r = staged.Run(Concat({{"settings", Settings(c.unique, c.entity), "start", "-", "loaded"},
                                     GetTags({OS_CFGTAG_ROOTPATH, OS_CFGTAG_LOGDIRECTORY, OS_CFGTAG_USERDIRECTORY,
                                              OS_CFGTAG_COMMONDIRECTORY, OS_CFGTAG_MODELDIRECTORY,
                                              OS_CFGTAG_MODELDIRECTORYREAL, OS_CFGTAG_SYSTEMDIRECTORY,
                                              OS_CFGTAG_PMX_LOG, OS_CFGTAG_FORCEMAXMSG, OS_CFGTAG_FORCENETRETRY,
                                              OS_CFGTAG_CONST_INI}),
                                     {"log", "hello", "stop", "argvars"}}));
  ASSERT_EQ(r.status, 0) << r.out;
  ASSERT_EQ(r.Get("start"), "0") << r.out;
  ASSERT_EQ(r.Get("loaded"), "1") << r.out;
  EXPECT_EQ(r.Get("stop"), "0");
  EXPECT_EQ(r.Get("argvars"), "0") << "argument variables left behind";

  // The per-run log directory of entities 1 and 2 is named by the start time.
  std::string logDirectory = r.Get(Tag(OS_CFGTAG_LOGDIRECTORY));
  std::string logName;
  if (std::string(c.log).find('@') != std::string::npos) {
    logName = logDirectory.substr(logDirectory.rfind('/') + 1);
    ASSERT_TRUE(std::regex_match(logName, kLogName)) << logDirectory;
  }
  EXPECT_EQ(r.Get(Tag(OS_CFGTAG_ROOTPATH)), staged.Var());
  EXPECT_EQ(logDirectory, staged.Var(Resolve(c.log, logName)));
  EXPECT_EQ(r.Get(Tag(OS_CFGTAG_USERDIRECTORY)), staged.Var(Resolve(c.user, logName)));
  EXPECT_EQ(r.Get(Tag(OS_CFGTAG_COMMONDIRECTORY)), staged.Var(c.common));
  EXPECT_EQ(r.Get(Tag(OS_CFGTAG_MODELDIRECTORY)), c.model);
  EXPECT_EQ(r.Get(Tag(OS_CFGTAG_MODELDIRECTORYREAL)), c.modelReal);
  EXPECT_EQ(r.Get(Tag(OS_CFGTAG_SYSTEMDIRECTORY)), staged.Base() + "/opt/" + testsupport::kCompany);
  EXPECT_EQ(r.Get(Tag(OS_CFGTAG_PMX_LOG)), logDirectory + "/" + c.logFile);
  EXPECT_EQ(r.Get(Tag(OS_CFGTAG_CONST_INI)), staged.Var(c.constIniIn) + "/const.ini");
  // Values of the configuration file; a blank before "=" makes another key.
  EXPECT_EQ(r.Get(Tag(OS_CFGTAG_FORCEMAXMSG)), "42");
  EXPECT_EQ(r.Get(Tag(OS_CFGTAG_FORCENETRETRY)), "7");

  std::vector<std::string> expected;
  for (const auto& directory : c.directories) expected.push_back(Resolve(directory, logName));
  testsupport::Tree tree = Walk(staged.Var());
  EXPECT_EQ(tree.directories, WithParents(expected));
  std::string logRelative = logDirectory.substr(staged.Var().size() + 1);
  EXPECT_EQ(tree.files, (std::set<std::string>{std::string(c.constIniIn) + "/const.ini",
                                                logRelative + "/" + c.logFile, logRelative + "/log.lock"}));
  // Only the tree below the root and the staged copy exist in the test's root.
  EXPECT_EQ(Walk(staged.Base()).directories.count("opt/" + testsupport::kCompany + "/kv/lib"), 1u);
  for (const auto& entry : std::filesystem::directory_iterator(testsupport::Root())) {
    EXPECT_EQ(entry.path().string(), staged.Base());
  }
  outside.ExpectUntouched();

  // The log file begins with its header; lines end with CR LF.
  std::string log = ReadFile(r.Get(Tag(OS_CFGTAG_PMX_LOG)));
  EXPECT_NE(log.substr(0, log.find("\r\n")).find("### ("), std::string::npos) << log;
  EXPECT_NE(log.find("### osInfo <"), std::string::npos) << log;
  EXPECT_NE(log.find("probe>>> hello\r\n"), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(
    Entities, ServicesLayout,
    ::testing::Values(
        LayoutCase{"Application", "application", "myapp",
                   {"common", "myapp/common", "myapp/myapp/@", "myapp/userfiles"},
                   "myapp/myapp", "myapp/common", "myapp/myapp/@", "myapp.log", "", "myapp", "myapp/myapp"},
        LayoutCase{"Driver", "driver", "driver",
                   {"common", "kv/common", "kv/driver/@", "kv/userfiles"},
                   "kv/driver", "kv/common", "kv/driver/@", "driver.log", "kv", "kv", "kv/driver"},
        // A utility without a parent logs in its own tree below the model.
        LayoutCase{"Utility", "utility", "scan_ui",
                   {"common", "scan_ui/scan", "scan_ui/userfiles", "kv/isis/log/scan_ui"},
                   "kv/isis/log/scan_ui", "scan_ui/scan", "kv/isis/log/scan_ui", "scan_ui_kv.log", "scan_ui", "kv",
                   "scan_ui/scan"}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Debugging, children, a second start.

// PMX_DEBUG: the configuration dump in the log directory ("pmxoscfg.txt",
// for utilities with the model's name), with the loaded values when the level
// is non-zero; the arguments and the stop are logged.
TEST(Services, DebugWritesTheConfigurationDump) {
  const struct {
    const char* debug;
    const char* entity;
    const char* dump;
    const char* maxMsg;  // ForceMaxMsg as the dump shows it
  } cases[] = {{"1", "driver", "pmxoscfg.txt", "10"},
               {"1", "utility", "pmxoscfg_kv.txt", "10"},
               {"0", "driver", "pmxoscfg.txt", ""},
               {nullptr, "driver", nullptr, nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.debug ? c.debug : "unset") + " " + c.entity);
    StagedLibrary staged("kv", std::string("stage_") + (c.debug ? c.debug : "unset") + c.entity);
    if (c.debug) setenv("PMX_DEBUG", c.debug, 1);
    ProbeResult r = staged.Run(Concat({{"settings", Settings("driver", c.entity), "start", "-"},
                                       GetTags({OS_CFGTAG_DEBUG, OS_CFGTAG_PMX_LOG, OS_CFGTAG_LOGDIRECTORY}),
                                       {"stop"}}));
    unsetenv("PMX_DEBUG");
    ASSERT_EQ(r.Get("start"), "0") << r.out;
    std::string logDirectory = r.Get(Tag(OS_CFGTAG_LOGDIRECTORY));
    std::vector<std::string> dumps;
    for (const auto& entry : std::filesystem::directory_iterator(logDirectory)) {
      std::string name = entry.path().filename().string();
      if (name.rfind("pmxoscfg", 0) == 0) dumps.push_back(name);
    }
    if (!c.dump) {
      EXPECT_TRUE(dumps.empty());
      continue;
    }
    ASSERT_EQ(dumps, std::vector<std::string>{c.dump});
    std::string dump = ReadFile(logDirectory + "/" + c.dump);
    char line[1024];
    std::snprintf(line, sizeof line, "%-36s= <%s>\r\n", "m_szLogDirectory", logDirectory.c_str());
    EXPECT_NE(dump.find(line), std::string::npos) << dump;
    std::snprintf(line, sizeof line, "%-48s <%s>\r\n", "ForceMaxMsg", c.maxMsg);
    EXPECT_NE(dump.find(line), std::string::npos) << dump;
    if (std::string(c.debug) == "1") {
      EXPECT_EQ(r.Get(Tag(OS_CFGTAG_DEBUG)), "1");
      std::string log = ReadFile(r.Get(Tag(OS_CFGTAG_PMX_LOG)));
      EXPECT_NE(log.find("PMX_OSSERVICESARGUMENTS before...<"), std::string::npos) << log;
      EXPECT_NE(log.find("### OsServicesStop..."), std::string::npos) << log;
    }
  }
}

// The process-wide objects are made in the order memory, configuration,
// languages (string and log come first, before the log can tell) and deleted
// in the reverse order; the processor mask of the configuration is applied.
TEST(Services, ObjectsComeAndGoInOrder) {
  // One processor this process may use: the lowest.
  cpu_set_t set;
  CPU_ZERO(&set);
  ASSERT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
  int cpu = 0;
  while (cpu < 31 && !CPU_ISSET(cpu, &set)) ++cpu;
  const unsigned mask = 1u << cpu;
  StagedLibrary staged;
  std::filesystem::create_directories(staged.Var("scan_ui/scan"));
  WriteFile(staged.Var("scan_ui/scan/const.ini"), "[dsIdentity]\nForceThreadAffinity=" + std::to_string(mask) + "\n");
  setenv("PMX_DEBUG", "1", 1);
  ProbeResult r = staged.Run({"settings", Settings("scan_ui", "utility"), "start", "-", "cpumask", "get",
                              Tag(OS_CFGTAG_PMX_LOG), "stop"});
  unsetenv("PMX_DEBUG");
  ASSERT_EQ(r.Get("start"), "0") << r.out;
  char hex[32];
  std::snprintf(hex, sizeof hex, "0x%x", mask);
  EXPECT_EQ(r.Get("cpumask"), hex);
  std::string log = ReadFile(r.Get(Tag(OS_CFGTAG_PMX_LOG)));
  EXPECT_NE(log.find("ForceThreadAffinity set to " + std::to_string(mask) + "..."), std::string::npos) << log;

  // "mem>>> addr:<p>  size:... new <class>", then "mem>>> addr:<p> delete-object".
  auto address = [&](const std::string& a_class) {
    std::smatch match;
    std::regex pattern("mem>>> addr:(0x[0-9a-f]+)  size: *[0-9]+  new " + a_class + "\r\n");
    return std::regex_search(log, match, pattern) ? match[1].str() : std::string();
  };
  std::vector<std::string> created;
  for (const char* name : {"COsMem", "COsCfg", "COsLocale"}) {
    std::string p = address(name);
    ASSERT_FALSE(p.empty()) << name << "\n" << log;
    created.push_back(p);
  }
  size_t mem = log.find("new COsMem\r\n"), cfg = log.find("new COsCfg\r\n"), locale = log.find("new COsLocale\r\n");
  EXPECT_LT(mem, cfg);
  EXPECT_LT(cfg, locale);
  size_t localeGone = log.find("addr:" + created[2] + " delete-object");
  size_t cfgGone = log.find("addr:" + created[1] + " delete-object");
  size_t memGone = log.find("addr:" + created[0] + " delete-object");
  ASSERT_NE(memGone, std::string::npos) << log;
  EXPECT_LT(localeGone, cfgGone);
  EXPECT_LT(cfgGone, memGone);
  EXPECT_LT(locale, localeGone);
}

// The force-set-access flag (settings or PMX_FORCESETACCESS=1) opens the
// root directory to owner and group.
TEST(Services, ForceSetAccessOpensTheRoot) {
  const struct {
    const char* settings;
    const char* environment;
    bool opened;
  } cases[] = {{"", nullptr, false},
               {"\t<forcesetaccess>true</forcesetaccess>\n", nullptr, true},
               {"", "1", true},
               {"", "yes", false}};
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(index);
    StagedLibrary staged("kv", "stage" + std::to_string(index++));
    if (c.environment) setenv("PMX_FORCESETACCESS", c.environment, 1);
    ProbeResult r = staged.Run({"settings", Settings("driver", "driver", c.settings), "start", "-", "stop"});
    unsetenv("PMX_FORCESETACCESS");
    ASSERT_EQ(r.Get("start"), "0") << r.out;
    struct stat st;
    ASSERT_EQ(stat(staged.Var().c_str(), &st), 0);
    if (c.opened) {
      EXPECT_EQ(st.st_mode & 0777, 0770u);
    } else {
      EXPECT_NE(st.st_mode & 0777, 0770u);
    }
  }
}

TEST(Services, ChildSeesTheArgumentsAndLogsBesideItsParent) {
  StagedLibrary staged;
  std::vector<std::string> child{"settings", Settings("scan_ui", "utility"), "start", "-", "get", Tag(OS_CFGTAG_LOGDIRECTORY),
                                 "get", Tag(OS_CFGTAG_PMX_LOG), "env", "PMX_OSSERVICESARGUMENTS", "log", "from the child",
                                 "stop"};
  std::vector<std::string> spawn{"spawn", std::to_string(child.size()), "self"};
  spawn.insert(spawn.end(), child.begin(), child.end());
  ProbeResult r = staged.Run(Concat({{"settings", Settings("driver", "driver"), "start", "-", "env",
                                      "PMX_OSSERVICESARGUMENTS"},
                                     GetTags({OS_CFGTAG_LOGDIRECTORY}), spawn, {"stop"}}));
  ASSERT_EQ(r.status, 0) << r.out;
  ASSERT_EQ(r.All("start"), (std::vector<std::string>{"0", "0"})) << r.out;
  EXPECT_EQ(r.Get("spawn"), "0 wait=0") << r.out;
  std::vector<std::string> logDirectories = r.All(Tag(OS_CFGTAG_LOGDIRECTORY));
  ASSERT_EQ(logDirectories.size(), 2u) << r.out;
  const std::string& parentLog = logDirectories[0];
  EXPECT_EQ(logDirectories[1], parentLog + "/scan_ui");
  std::string childLog = parentLog + "/scan_ui/scan_ui_kv.log";
  EXPECT_EQ(r.Get(Tag(OS_CFGTAG_PMX_LOG)), childLog);
  EXPECT_NE(ReadFile(childLog).find("probe>>> from the child\r\n"), std::string::npos);

  // The start publishes nothing in the parent's own environment (children
  // the host starts would inherit it); the spawned child got the arguments:
  // its log path is the parent's.
  std::vector<std::string> published = r.All("env PMX_OSSERVICESARGUMENTS");
  ASSERT_EQ(published.size(), 2u);
  EXPECT_EQ(published[0], "(unset)");
  EXPECT_NE(published[1].find("<logpath>" + parentLog + "</logpath>"), std::string::npos) << published[1];
  // The child made no tree of its own.
  EXPECT_FALSE(testsupport::FileExists(staged.Var("kv/isis")));
  EXPECT_FALSE(testsupport::FileExists(staged.Var("scan_ui")));
}

TEST(Services, StartingTwiceInOneProcessLeavesNoArgumentVariables) {
  StagedLibrary staged;
  ProbeResult r = staged.Run(Concat({{"settings", Settings("driver", "driver"), "start", "-", "argvars"},
                                     GetTags({OS_CFGTAG_PMX_LOG}),
                                     {"log", "first", "stop", "argvars", "start", "-"},
                                     GetTags({OS_CFGTAG_PMX_LOG}),
                                     {"log", "second", "stop", "argvars", "start", "-", "stop"}}));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.All("start"), (std::vector<std::string>{"0", "0", "0"})) << r.out;
  EXPECT_EQ(r.All("stop"), (std::vector<std::string>{"0", "0", "0"}));
  EXPECT_EQ(r.All("argvars"), (std::vector<std::string>{"0", "0", "0"}));
  std::vector<std::string> logs = r.All(Tag(OS_CFGTAG_PMX_LOG));
  ASSERT_EQ(logs.size(), 2u);
  EXPECT_NE(ReadFile(logs[1]).find("probe>>> second"), std::string::npos);
  EXPECT_NE(ReadFile(logs[0]).find("probe>>> first"), std::string::npos);
  // One log directory per run, also for runs of the same millisecond (the
  // later one would otherwise cut the earlier one's log).
  EXPECT_NE(logs[0], logs[1]);
  std::set<std::string> runs;
  for (const auto& entry : std::filesystem::directory_iterator(staged.Var("kv/driver"))) {
    if (std::regex_match(entry.path().filename().string(), kLogName)) runs.insert(entry.path().string());
  }
  EXPECT_EQ(runs.size(), 3u);
}

// The stop reaps the ended children that the thread service started, also
// when their COsThread is gone, and leaves the host's own child alone.
TEST(Services, StopReapsOnlyTheChildrenItStarted) {
  StagedLibrary staged;
  ProbeResult r = staged.Run(Concat({{"settings", Settings("driver", "driver"), "start", "-", "spawnleave", "/bin/true",
                                      "forkexit", "7", "sleep", "300"},
                                     GetTags({OS_CFGTAG_PMX_LOG}),
                                     {"stop", "child", "spawnleave", "child", "forkexit"}}));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.Get("spawnleave"), "0") << r.out;
  EXPECT_EQ(r.Get("forkexit"), "0") << r.out;
  EXPECT_EQ(r.Get("child spawnleave"), "gone") << r.out;   // reaped by the stop
  EXPECT_EQ(r.Get("child forkexit"), "exit 7") << r.out;  // the host's: its status kept
  EXPECT_NE(ReadFile(r.Get(Tag(OS_CFGTAG_PMX_LOG))).find("Removing defunct processes...\r\n"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Bad input.

TEST(Services, UnknownEntityCreatesTheObjectsButNoDirectories) {
  StagedLibrary staged;
  std::string logFile = RootPath("own.log");
  ProbeResult r = staged.Run(
      {"settings", Settings("driver", "scanner", "\t<logfile>_T(\"" + logFile + "\")</logfile>\n"), "start", "-",
       "loaded", "get", Tag(OS_CFGTAG_ROOTPATH), "stop", "argvars"});
  EXPECT_EQ(r.Get("start"), "1") << r.out;
  EXPECT_EQ(r.Get("loaded"), "0");
  EXPECT_EQ(r.Get(Tag(OS_CFGTAG_ROOTPATH)), "");
  EXPECT_EQ(r.Get("stop"), "0");
  EXPECT_EQ(r.Get("argvars"), "0");
  std::string log = ReadFile(logFile);
  EXPECT_NE(log.find("Unsupported m_eoscfgentity...0"), std::string::npos) << log;
  EXPECT_NE(log.find("SetDirectories failed..."), std::string::npos) << log;
  EXPECT_FALSE(testsupport::FileExists(staged.Base() + "/var"));
}

TEST(Services, NullLogFileAndUnwrappedSettings) {
  StagedLibrary staged;
  // "NULL" means no log file until the configuration names its own.
  ProbeResult r = staged.Run({"settings", Settings("driver", "driver", "\t<logfile>NULL</logfile>\n"), "start", "-",
                              "get", Tag(OS_CFGTAG_PMX_LOG), "log", "x", "stop"});
  ASSERT_EQ(r.Get("start"), "0") << r.out;
  EXPECT_NE(ReadFile(r.Get(Tag(OS_CFGTAG_PMX_LOG))).find("probe>>> x"), std::string::npos);
  EXPECT_FALSE(testsupport::FileExists(RootPath("NULL")));
}

class ServicesUnwritableRoot : public ::testing::TestWithParam<const char*> {};

// A root below a regular file can be made by nobody (not even root): the
// start fails clearly and writes nothing, here or elsewhere.
TEST_P(ServicesUnwritableRoot, StartFailsAndWritesNothing) {
  OutsideWatch outside;
  WriteFile(RootPath("blocker"), "a file, not a directory\n");
  StagedLibrary staged("kv", "stage", RootPath("blocker/root"));
  auto before = Walk(testsupport::Root());
  ProbeResult r = staged.Run({"settings", Settings("driver", GetParam()), "start", "-", "argvars", "loaded", "stop"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.Get("start"), "1") << r.out;
  EXPECT_EQ(r.Get("argvars"), "0");
  EXPECT_EQ(r.Get("stop"), "0");
  auto after = Walk(testsupport::Root());
  EXPECT_EQ(after.directories, before.directories);
  EXPECT_EQ(after.files, before.files);
  outside.ExpectUntouched();
}

INSTANTIATE_TEST_SUITE_P(Entities, ServicesUnwritableRoot, ::testing::Values("driver", "utility", "application"));

// "1" in PMX_OSSERVICESARGUMENTSDISABLED makes a child start as if it had no
// parent; the variable is gone afterwards.
TEST(Services, DisabledArgumentsMakeAChildStartOnItsOwn) {
  StagedLibrary staged;
  std::string elsewhere = RootPath("elsewhere");
  std::string inherited = "<arguments>\n\t<logpath>" + elsewhere + "</logpath>\n\t<loglevel>0</loglevel>\n</arguments>";
  std::vector<std::string> commands{"env",   "PMX_OSSERVICESARGUMENTSDISABLED", "settings", Settings("scan_ui", "utility"),
                                    "start", "-",
                                    "get",   Tag(OS_CFGTAG_LOGDIRECTORY),       "stop"};
  for (bool disabled : {false, true}) {
    SCOPED_TRACE(disabled);
    setenv("PMX_OSSERVICESARGUMENTS", inherited.c_str(), 1);
    if (disabled) setenv("PMX_OSSERVICESARGUMENTSDISABLED", "1", 1);
    ProbeResult r = staged.Run(commands);
    unsetenv("PMX_OSSERVICESARGUMENTS");
    unsetenv("PMX_OSSERVICESARGUMENTSDISABLED");
    ASSERT_EQ(r.Get("start"), "0") << r.out;
    EXPECT_EQ(r.Get("env PMX_OSSERVICESARGUMENTSDISABLED"), "(unset)");
    EXPECT_EQ(r.Get(Tag(OS_CFGTAG_LOGDIRECTORY)), disabled ? staged.Var("kv/isis/log/scan_ui") : elsewhere + "/scan_ui");
  }
}

}  // namespace
