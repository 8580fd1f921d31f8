// The ini engine between processes and across crashes: writers in several
// processes and threads lose no key, a writer killed at any moment leaves
// one whole generation, the race to create a file, and what a flush answers
// when it cannot write (a read-only directory, a failed write, something
// else in the file's place, a lock that is never given back). Python's
// configparser judges the files.
#include <gtest/gtest.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "log_capture.h"
#include "os_coscfgprofile.h"
#include "os_cosfile_testutil.h"
#include "os_cossync_helpers.h"
#include "test_support.h"

namespace {

using synctest::Fork;
using synctest::Pipe;
using synctest::Reap;
using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::RootPath;
using testsupport::RunPython;
using testsupport::WriteFile;

constexpr unsigned kMode = 0644;

class OsCfgProfileProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(RootPath("ini"));
    log_ = std::make_unique<testsupport::LogCapture>();
  }
  void TearDown() override {
    COsCfgProfile::Shutdown(kMode);
    COsCfgProfile::SetLockWait(-1);
    log_.reset();
  }
  static std::string File(const std::string& a_name) { return RootPath("ini/" + a_name); }
  static EOSSTS Set(const std::string& a_file, const std::string& a_section, const std::string& a_key,
                    const std::string& a_value) {
    return COsCfgProfile::Set(a_file.c_str(), a_section.c_str(), a_key.c_str(), a_value.c_str(), kMode);
  }
  static EOSSTS Flush(const std::string& a_file) { return COsCfgProfile::Flush(a_file.c_str(), kMode); }
  static std::string Get(const std::string& a_file, const std::string& a_section, const std::string& a_key) {
    char sz[64];
    EOSSTS sts = COsCfgProfile::Get(a_file.c_str(), a_section.c_str(), a_key.c_str(), sz, sizeof sz, kMode);
    return sts == OS_STS_SUCCESS ? sz : "<" + std::to_string(sts) + ">";
  }
  bool Logged(const std::string& a_text) const { return log_->Contains(a_text); }

  std::unique_ptr<testsupport::LogCapture> log_;
};

// Each file as configparser reads it: "section key=value" lines in file
// order, or the parser's complaint.
std::string Parsed(const std::vector<std::string>& a_files) {
  const char* script =
      "import configparser, sys\n"
      "for path in sys.argv[1:]:\n"
      "    cp = configparser.ConfigParser(interpolation=None, strict=True)\n"
      "    cp.optionxform = str\n"
      "    try:\n"
      "        cp.read(path, encoding='utf-8')\n"
      "    except configparser.Error as e:\n"
      "        print('error', path, type(e).__name__)\n"
      "        continue\n"
      "    print('file', len(cp.sections()))\n"
      "    for s in cp.sections():\n"
      "        for k, v in cp.items(s, raw=True):\n"
      "            print(s, k + '=' + v)\n";
  int status = -1;
  std::string out = RunPython(script, a_files, &status);
  EXPECT_EQ(status, 0) << out;
  return out;
}

// ---------------------------------------------------------------------------
// Writers in several processes.

// Three processes of four threads each set their own 250 keys, flushing
// every ten sets: every key arrives, and the file stays one that
// configparser reads.
TEST_F(OsCfgProfileProcess, WritersInThreeProcessesOfFourThreadsLoseNoKey) {
  constexpr int kProcesses = 3;
  constexpr int kThreads = 4;
  constexpr int kKeys = 250;
  const std::string file = File("shared.ini");
  auto Value = [](int p, int t, int i) {
    return "v" + std::to_string(p) + "." + std::to_string(t) + "." + std::to_string(i);
  };
  Pipe go;
  std::vector<pid_t> pids;
  for (int p = 0; p < kProcesses; ++p) {
    pids.push_back(Fork([&, p] {
      if (go.Receive() != 'g') return 9;
      std::atomic<int> failures{0};
      std::vector<std::thread> threads;
      for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
          for (int i = 0; i < kKeys; ++i) {
            if (Set(file, "process" + std::to_string(p), "t" + std::to_string(t) + "k" + std::to_string(i),
                    Value(p, t, i)) != OS_STS_SUCCESS) {
              ++failures;
            }
            if ((i + 1) % 10 == 0 && Flush(file) != OS_STS_SUCCESS) ++failures;
          }
        });
      }
      for (auto& thread : threads) thread.join();
      if (Flush(file) != OS_STS_SUCCESS) ++failures;
      return failures.load() == 0 ? 0 : 1;
    }));
  }
  for (int p = 0; p < kProcesses; ++p) go.Send('g');
  for (pid_t pid : pids) EXPECT_EQ(Reap(pid), 0);

  std::vector<std::string> lines = testsupport::Lines(Parsed({file}));
  ASSERT_EQ(lines.size(), 1u + kProcesses * kThreads * kKeys);
  EXPECT_EQ(lines[0], "file 3");
  std::set<std::string> got(lines.begin() + 1, lines.end());
  for (int p = 0; p < kProcesses; ++p) {
    for (int t = 0; t < kThreads; ++t) {
      for (int i = 0; i < kKeys; ++i) {
        std::string line = "process" + std::to_string(p) + " t" + std::to_string(t) + "k" + std::to_string(i) + "=" +
                           Value(p, t, i);
        EXPECT_EQ(got.count(line), 1u) << line;
      }
    }
  }
}

// A writer killed at a random moment of a long series of sets and flushes:
// the file always parses and holds one whole generation, the old or the
// new one.
TEST_F(OsCfgProfileProcess, AWriterKilledAtAnyMomentLeavesOneWholeGeneration) {
  constexpr int kKeys = 40;
  constexpr int kRuns = 32;
  const std::string file = File("generations.ini");
  std::string text = "[gen]\n";
  for (int k = 0; k < kKeys; ++k) text += "k" + std::to_string(k) + "=0\n";
  WriteFile(file, text);
  std::filesystem::create_directories(RootPath("snapshots"));
  std::mt19937 rnd(20240515);
  std::vector<std::string> snapshots;
  for (int run = 0; run < kRuns; ++run) {
    Pipe started;
    // Killed after its first generation is written, somewhere in the next.
    pid_t pid = Fork([&] {
      for (long g = 1;; ++g) {
        std::string value = std::to_string(run * 100000 + g);
        for (int k = 0; k < kKeys; ++k) Set(file, "gen", "k" + std::to_string(k), value);
        if (Flush(file) == OS_STS_SUCCESS && g == 1) started.Send('s');
      }
      return 0;
    });
    ASSERT_EQ(started.Receive(), 's');
    std::this_thread::sleep_for(std::chrono::microseconds(rnd() % 20000));
    kill(pid, SIGKILL);
    ASSERT_EQ(Reap(pid), 128 + SIGKILL);
    snapshots.push_back(RootPath("snapshots/" + std::to_string(run) + ".ini"));
    std::filesystem::copy_file(file, snapshots.back());
  }
  std::vector<std::string> lines = testsupport::Lines(Parsed(snapshots));
  ASSERT_EQ(lines.size(), static_cast<size_t>(kRuns * (1 + kKeys))) << lines.size();
  for (int run = 0; run < kRuns; ++run) {
    const size_t first = static_cast<size_t>(run * (1 + kKeys));
    ASSERT_EQ(lines[first], "file 1") << snapshots[run];
    const std::string value = lines[first + 1].substr(lines[first + 1].find('=') + 1);
    EXPECT_EQ(std::stol(value) / 100000, run) << snapshots[run] << ": a generation of this run";
    for (int k = 0; k < kKeys; ++k) {
      EXPECT_EQ(lines[first + 1 + k], "gen k" + std::to_string(k) + "=" + value) << snapshots[run];
    }
  }
}

// Four processes create the same missing file at once: the losers open the
// winner's file, and every set and flush succeeds with every key written.
TEST_F(OsCfgProfileProcess, TheRaceToCreateAFileLosesNothing) {
  constexpr int kRounds = 8;
  constexpr int kProcesses = 4;
  std::vector<std::string> files;
  for (int round = 0; round < kRounds; ++round) {
    const std::string file = File("race" + std::to_string(round) + ".ini");
    files.push_back(file);
    Pipe go;
    std::vector<pid_t> pids;
    for (int p = 0; p < kProcesses; ++p) {
      pids.push_back(Fork([&, p] {
        if (go.Receive() != 'g') return 9;
        if (Set(file, "race", "p" + std::to_string(p), "here") != OS_STS_SUCCESS) return 1;
        return Flush(file) == OS_STS_SUCCESS ? 0 : 2;
      }));
    }
    for (int p = 0; p < kProcesses; ++p) go.Send('g');
    for (pid_t pid : pids) EXPECT_EQ(Reap(pid), 0) << round;
  }
  // Each file: one section, the four keys in the order the flushes came.
  std::vector<std::string> lines = testsupport::Lines(Parsed(files));
  ASSERT_EQ(lines.size(), static_cast<size_t>(kRounds * (1 + kProcesses)));
  for (int round = 0; round < kRounds; ++round) {
    auto first = lines.begin() + round * (1 + kProcesses);
    EXPECT_EQ(*first, "file 1") << files[round];
    std::set<std::string> keys(first + 1, first + 1 + kProcesses);
    EXPECT_EQ(keys, (std::set<std::string>{"race p0=here", "race p1=here", "race p2=here", "race p3=here"}))
        << files[round];
  }
}

// ---------------------------------------------------------------------------
// Bad input: the flush fails with its own status and a log line, the old
// file stays as it was, and the changes wait for the next flush.

// A process holds the file's lock and never lets go: each change and flush
// waits a bounded time, then fails. Reads need no lock.
TEST_F(OsCfgProfileProcess, ALockNeverReleasedEndsInFailureNotAHang) {
  const std::string file = File("held.ini");
  WriteFile(file, "[s]\nk=old\n");
  ASSERT_EQ(Set(file, "s", "k", "mine"), OS_STS_SUCCESS);
  filetest::PythonProcess holder(
      "import fcntl,sys\nf=open(sys.argv[1],'a+')\nfcntl.flock(f,fcntl.LOCK_EX)\n"
      "print('ready')\nsys.stdin.readline()\n",
      {file});
  ASSERT_EQ(holder.ReadLine(), "ready");
  COsCfgProfile::SetLockWait(300);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Flush(file), OS_STS_BUSY);
  EXPECT_EQ(Set(file, "s", "other", "x"), OS_STS_BUSY);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(550));
  EXPECT_LT(elapsed, std::chrono::seconds(4));
  EXPECT_TRUE(Logged("profile is locked by another process, gave up after 300 ms...<" + file + ">"));
  EXPECT_EQ(ReadFile(file), "[s]\nk=old\n");
  EXPECT_EQ(Get(file, "s", "k"), "mine");  // our unwritten change, on top of the file
  holder.Finish();
  // The refused set fails the next flush, which still writes the change
  // that waited; then all is in the file.
  EXPECT_EQ(Flush(file), OS_STS_FAIL);
  EXPECT_EQ(ReadFile(file), "[s]\nk=mine\n");
  EXPECT_EQ(Flush(file), OS_STS_SUCCESS);
}

// Runs the function as a user that permissions stop (root is not stopped by
// them): a forked child that gives up root when it has it.
int AsUnprivileged(const std::function<int()>& a_function) {
  return Reap(Fork([&] {
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) return 90;
    return a_function();
  }));
}

// A directory we may not write to: nothing can be written beside the file.
TEST_F(OsCfgProfileProcess, AReadOnlyDirectoryFailsTheFlushAndKeepsTheChange) {
  const std::string directory = RootPath("readonly");
  const std::string file = directory + "/settings.ini";
  std::filesystem::create_directories(directory);
  WriteFile(file, "[s]\nk=old\n");
  // The unprivileged child must reach the files and the log.
  chmod(testsupport::Root().c_str(), 0711);
  chmod(RootPath("log").c_str(), 0777);
  WriteFile(RootPath("log/test.log"), "");
  chmod(RootPath("log/test.log").c_str(), 0666);
  if (geteuid() == 0) {
    ASSERT_EQ(chown(directory.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
  }
  int result = AsUnprivileged([&] {
    if (Set(file, "s", "k", "new") != OS_STS_SUCCESS) return 1;
    if (chmod(directory.c_str(), 0555) != 0) return 2;
    if (Flush(file) != OS_STS_ACCESS_DENIED) return 3;
    if (ReadFile(file) != "[s]\nk=old\n") return 4;
    if (Get(file, "s", "k") != "new") return 5;  // still in the image
    if (chmod(directory.c_str(), 0755) != 0) return 6;
    if (Flush(file) != OS_STS_SUCCESS) return 7;  // it waited for this flush
    return ReadFile(file) == "[s]\nk=new\n" ? 0 : 8;
  });
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(Logged("temporary could not be made beside its file...<" + file + "> (Permission denied)"));
  EXPECT_TRUE(Logged("fwrite failed...<" + file + ">"));
}

// A write that fails half way (here: the file-size limit) leaves the old
// file whole and nothing beside it; the change waits.
TEST_F(OsCfgProfileProcess, AFailedWriteLeavesTheOldFileAndKeepsTheChange) {
  const std::string file = File("limited.ini");
  WriteFile(file, "[s]\nk=old\n");
  int result = Reap(Fork([&] {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit rlimitFile = {4096, RLIM_INFINITY};
    if (setrlimit(RLIMIT_FSIZE, &rlimitFile) != 0) return 1;
    if (Set(file, "s", "big", std::string(6000, 'x')) != OS_STS_SUCCESS) return 2;
    if (Flush(file) != OS_STS_IO_ERROR) return 3;
    if (ReadFile(file) != "[s]\nk=old\n") return 4;
    rlimitFile.rlim_cur = RLIM_INFINITY;
    if (setrlimit(RLIMIT_FSIZE, &rlimitFile) != 0) return 5;
    if (Flush(file) != OS_STS_SUCCESS) return 6;
    return ReadFile(file) == "[s]\nk=old\nbig=" + std::string(6000, 'x') + "\n" ? 0 : 7;
  }));
  EXPECT_EQ(result, 0);
  // Nothing but the file is left in its directory.
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(RootPath("ini"))) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"limited.ini"});
}

// Something other than a file where the ini should be: refused at once,
// and left as it is.
TEST_F(OsCfgProfileProcess, SomethingElseInTheFilesPlaceIsRefused) {
  const struct {
    const char* name;
    void (*make)(const std::string&);
  } cases[] = {
      {"directory", [](const std::string& a_path) { std::filesystem::create_directory(a_path); }},
      {"fifo", [](const std::string& a_path) { mkfifo(a_path.c_str(), 0644); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = File(std::string(c.name) + ".ini");
    c.make(path);
    EXPECT_EQ(Set(path, "s", "k", "v"), OS_STS_BAD_ARGUMENT);
    EXPECT_EQ(Get(path, "s", "k"), "<1>");
    EXPECT_TRUE(Logged("profile is not a regular file...<" + path + ">"));
    EXPECT_EQ(Flush(path), OS_STS_FAIL);  // the refused set is not in any file
    EXPECT_EQ(std::filesystem::status(path).type(), c.name[0] == 'd' ? std::filesystem::file_type::directory
                                                                      : std::filesystem::file_type::fifo);
  }

  // A file that becomes a directory under unwritten changes: the flush
  // fails and the changes wait until the file can be made again.
  const std::string file = File("later.ini");
  ASSERT_EQ(Set(file, "s", "k", "v"), OS_STS_SUCCESS);
  std::filesystem::remove(file);
  std::filesystem::create_directory(file);
  EXPECT_EQ(Flush(file), OS_STS_BAD_ARGUMENT);
  std::filesystem::remove(file);
  EXPECT_EQ(Flush(file), OS_STS_SUCCESS);
  EXPECT_EQ(ReadFile(file), "[s]\nk=v\n");
}

// A link to the file elsewhere stays a link: the target is replaced.
TEST_F(OsCfgProfileProcess, ALinkedFileIsWrittenWhereItLies) {
  std::filesystem::create_directories(RootPath("elsewhere"));
  const std::string target = RootPath("elsewhere/real.ini");
  const std::string link = File("link.ini");
  WriteFile(target, "[s]\nk=1\n");
  std::filesystem::create_symlink(target, link);
  ASSERT_EQ(Set(link, "s", "k", "2"), OS_STS_SUCCESS);
  ASSERT_EQ(Flush(link), OS_STS_SUCCESS);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadFile(target), "[s]\nk=2\n");
}

}  // namespace
