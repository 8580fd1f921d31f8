// Pruning of old per-run log directories at start: the newest stay, one whose
// "log.lock" another process holds is spared, links are never followed, and
// many old directories are pruned in one start.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "os_coscfgtags.h"
#include "os_osservices_testutil.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ProbeResult;
using testsupport::ReadFile;
using testsupport::RootPath;
using testsupport::Settings;
using testsupport::StagedLibrary;
using testsupport::WriteFile;

// "log." and 17 digits; a higher number is newer.
std::string LogName(int a_index) {
  char name[32];
  std::snprintf(name, sizeof name, "log.2020%013d", a_index);
  return name;
}

// An old log directory with one file in it.
void MakeOld(const std::string& a_path) {
  fs::create_directories(a_path);
  WriteFile(a_path + "/driver.log", "old run\n");
  fs::last_write_time(a_path, fs::file_time_type::clock::now() - std::chrono::hours(1));
}

// The per-run log directories left in the user directory, without the
// current one.
std::set<std::string> Remaining(const std::string& a_user, const std::string& a_current) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(a_user)) {
    std::string name = entry.path().filename().string();
    if (name.rfind("log.", 0) == 0 && entry.path().string() != a_current) names.insert(name);
  }
  return names;
}

ProbeResult StartDriver(const StagedLibrary& a_staged) {
  return a_staged.Run({"settings", Settings("driver", "driver"), "start", "-", "get",
                       std::to_string(OS_CFGTAG_LOGDIRECTORY), "stop"});
}

struct PruneCase {
  const char* name;
  int old;            // old log directories made before the start
  const char* backup; // LogBackup in const.ini, or null for the default (3)
  bool debug;         // PMX_DEBUG=1
  int kept;           // the newest ones that stay
};

void PrintTo(const PruneCase& a_case, std::ostream* a_os) { *a_os << a_case.name; }

class LogPruning : public ::testing::TestWithParam<PruneCase> {};

TEST_P(LogPruning, KeepsTheNewest) {
  const PruneCase& c = GetParam();
  StagedLibrary staged;
  std::string user = staged.Var("kv/driver");
  fs::create_directories(user);
  if (c.backup) WriteFile(user + "/const.ini", std::string("[dsIdentity]\nLogBackup=") + c.backup + "\n");
  for (int i = 0; i < c.old; ++i) MakeOld(user + "/" + LogName(i));
  if (c.debug) setenv("PMX_DEBUG", "1", 1);
  ProbeResult r = StartDriver(staged);
  unsetenv("PMX_DEBUG");
  ASSERT_EQ(r.Get("start"), "0") << r.out;
  std::string current = r.Get(std::to_string(OS_CFGTAG_LOGDIRECTORY));
  EXPECT_TRUE(fs::is_directory(current));

  std::set<std::string> expected;
  for (int i = c.old - c.kept; i < c.old; ++i) expected.insert(LogName(i));
  EXPECT_EQ(Remaining(user, current), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Backups, LogPruning,
    ::testing::Values(PruneCase{"DefaultKeepsThree", 6, nullptr, false, 3},
                      PruneCase{"DebugKeepsTwoMore", 8, nullptr, true, 5},
                      PruneCase{"ZeroKeepsNone", 4, "0", true, 0},
                      PruneCase{"MinusOnePrunesNothing", 5, "-1", false, 5},
                      PruneCase{"FewerThanKeptStay", 2, "4", false, 2},
                      // More than the sixteen names a start looks at: one start prunes them all.
                      PruneCase{"ManyOldDirectories", 40, "2", false, 2}),
    [](const ::testing::TestParamInfo<PruneCase>& info) { return std::string(info.param.name); });

// A directory whose lock another process holds stays; links in and around
// old directories are removed as links, their targets untouched; a young
// directory and a plain file of that name stay.
TEST(LogPruningSafety, SparesLockedYoungAndLinkedEntries) {
  StagedLibrary staged;
  std::string user = staged.Var("kv/driver");
  for (int i = 0; i < 6; ++i) MakeOld(user + "/" + LogName(i));

  // The oldest is in use by another process (this one).
  std::string locked = user + "/" + LogName(0);
  WriteFile(locked + "/log.lock", "");
  int lockFd = open((locked + "/log.lock").c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(lockFd, 0);
  ASSERT_EQ(flock(lockFd, LOCK_EX | LOCK_NB), 0);

  // Links inside an old directory that goes: to a directory and, as its
  // "log.lock", to a file outside.
  fs::create_directories(RootPath("outside/tree"));
  WriteFile(RootPath("outside/tree/keep.txt"), "keep\n");
  WriteFile(RootPath("outside/lockfile"), "precious\n");
  std::string linked = user + "/" + LogName(1);
  fs::create_directory_symlink(RootPath("outside/tree"), linked + "/tree");
  fs::create_symlink(RootPath("outside/lockfile"), linked + "/log.lock");
  fs::last_write_time(linked, fs::file_time_type::clock::now() - std::chrono::hours(1));

  // A link named like a log directory, a plain file, and a young directory.
  fs::create_directories(RootPath("outside/aside"));
  WriteFile(RootPath("outside/aside/keep.txt"), "keep\n");
  fs::create_directory_symlink(RootPath("outside/aside"), user + "/log.20991231235959999");
  WriteFile(user + "/log.20200000000000099", "not a directory\n");
  fs::create_directories(user + "/log.20000101000000000");

  ProbeResult r = StartDriver(staged);
  close(lockFd);
  ASSERT_EQ(r.Get("start"), "0") << r.out;
  std::string current = r.Get(std::to_string(OS_CFGTAG_LOGDIRECTORY));
  EXPECT_EQ(Remaining(user, current),
            (std::set<std::string>{LogName(0), LogName(3), LogName(4), LogName(5), "log.20991231235959999",
                                   "log.20200000000000099", "log.20000101000000000"}));
  EXPECT_EQ(ReadFile(RootPath("outside/tree/keep.txt")), "keep\n");
  EXPECT_EQ(ReadFile(RootPath("outside/lockfile")), "precious\n");
  EXPECT_EQ(ReadFile(RootPath("outside/aside/keep.txt")), "keep\n");
  EXPECT_TRUE(fs::is_symlink(user + "/log.20991231235959999"));
  EXPECT_EQ(ReadFile(locked + "/driver.log"), "old run\n");
}

// The start holds its own "log.lock" while it runs; the lock is free again
// once the process has ended.
TEST(LogPruningSafety, TheCurrentLogDirectoryIsHeld) {
  StagedLibrary staged;
  ProbeResult r = staged.Run({"settings", Settings("driver", "driver"), "start", "-", "get",
                              std::to_string(OS_CFGTAG_LOGDIRECTORY), "lockheld", "log", "x"});
  std::string current = r.Get(std::to_string(OS_CFGTAG_LOGDIRECTORY));
  ASSERT_FALSE(current.empty()) << r.out;
  EXPECT_EQ(r.Get("lockheld"), "1") << r.out;
  const char* script =
      "import fcntl, sys\n"
      "f = open(sys.argv[1])\n"
      "fcntl.flock(f, fcntl.LOCK_EX | fcntl.LOCK_NB)\n"
      "print('free')\n";
  EXPECT_EQ(testsupport::RunPython(script, {current + "/log.lock"}), "free\n");
}

}  // namespace
