// Child processes: the argument vector and session a child gets for each
// flag, its own environment (library path, published service arguments)
// while ours stays as it was, the refusals, exec failures, following and
// stopping a child, a reused process id, finding a process by name, and the
// power state through a fake rtcwake.
#include <fcntl.h>
#include <linux/sched.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "log_capture.h"
#include "os_costhread.h"
#include "os_costime.h"
#include "test_support.h"

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::RootPath;

namespace {

template <typename Condition>
bool Eventually(Condition a_condition, long a_lLimitMs = 10000) {
  for (long lWaited = 0; lWaited < a_lLimitMs; lWaited += 5) {
    if (a_condition()) return true;
    COsTime::Sleep(5);
  }
  return a_condition();
}

void WriteScript(const std::string& a_strPath, const std::string& a_strBody, mode_t a_mode = 0755) {
  testsupport::WriteFile(a_strPath, a_strBody);
  chmod(a_strPath.c_str(), a_mode);
}

// Writes its environment (NUL separated) beside itself, then runs for at
// most 30 seconds; SIGTERM ends it cleanly and leaves a mark.
const char* const kChild =
    "#!/bin/sh\n"
    "d=\"${0%/*}\"\n"
    "trap 'echo term > \"$d/term.$$\"; exit 0' TERM\n"
    "env -0 > \"$d/env.$$.tmp\" && mv \"$d/env.$$.tmp\" \"$d/env.$$\"\n"
    "i=0\n"
    "while [ $i -lt 600 ]; do sleep 0.05; i=$((i+1)); done\n";

// The same, but deaf to SIGTERM.
const char* const kStubbornChild =
    "#!/bin/sh\n"
    "trap '' TERM\n"
    "d=\"${0%/*}\"\n"
    "echo ready > \"$d/ready.$$\"\n"
    "i=0\n"
    "while [ $i -lt 600 ]; do sleep 0.05; i=$((i+1)); done\n";

// Everything Spawn passes on: up to 17 arguments after arg0, the rest null.
EOSSTS SpawnArgs(COsThread* a_posthread, int64_t a_i64Flags, const char* a_szProgram,
                 const std::vector<const char*>& a_vecArgs) {
  const char* a[18] = {};
  for (size_t i = 0; i < a_vecArgs.size() && i < 17; i++) a[i] = a_vecArgs[i];
  return a_posthread->Spawn(a_i64Flags, a_szProgram, "arg0 is not passed", a[0], a[1], a[2], a[3], a[4], a[5], a[6],
                            a[7], a[8], a[9], a[10], a[11], a[12], a[13], a[14], a[15], a[16], a[17]);
}

// Session of the process and of the test, and the argument vector of the
// process, as Python reads them.
struct ProcessView {
  long lSession = -1;
  long lOurSession = -1;
  std::vector<std::string> vecArgs;
};

ProcessView View(uint64_t a_u64ProcessId) {
  std::string strOut = testsupport::RunPython(
      "import os, sys\n"
      "pid = int(sys.argv[1])\n"
      "args = open('/proc/%d/cmdline' % pid, 'rb').read().split(b'\\0')[:-1]\n"
      "print(os.getsid(pid)); print(os.getsid(os.getppid()))\n"
      "for a in args: print(a.decode())\n",
      {std::to_string(a_u64ProcessId)});
  ProcessView view;
  std::vector<std::string> vecLines = testsupport::Lines(strOut);
  if (vecLines.size() < 2) return view;
  view.lSession = std::stol(vecLines[0]);
  view.lOurSession = std::stol(vecLines[1]);
  view.vecArgs.assign(vecLines.begin() + 2, vecLines.end());
  return view;
}

std::map<std::string, std::string> ChildEnvironment(const std::string& a_strDir, uint64_t a_u64ProcessId) {
  std::map<std::string, std::string> mapEnv;
  std::string strPath = a_strDir + "/env." + std::to_string(a_u64ProcessId);
  if (!Eventually([&] { return FileExists(strPath); })) return mapEnv;
  std::string strData = ReadFile(strPath);
  size_t sizetStart = 0;
  while (sizetStart < strData.size()) {
    size_t sizetEnd = strData.find('\0', sizetStart);
    if (sizetEnd == std::string::npos) sizetEnd = strData.size();
    std::string strEntry = strData.substr(sizetStart, sizetEnd - sizetStart);
    size_t sizetEq = strEntry.find('=');
    if (sizetEq != std::string::npos) mapEnv[strEntry.substr(0, sizetEq)] = strEntry.substr(sizetEq + 1);
    sizetStart = sizetEnd + 1;
  }
  return mapEnv;
}

bool NoChildLeft() {
  errno = 0;
  return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

class Spawn : public ::testing::Test {
 protected:
  void SetUp() override {
    m_strDir = RootPath("bin");
    std::filesystem::create_directories(m_strDir);
    m_strChild = m_strDir + "/child.sh";
    WriteScript(m_strChild, kChild);
    const char* pszPath = getenv("PATH");
    m_strPath = pszPath ? pszPath : "";
  }
  void TearDown() override {
    COsThread::SetTerminalProgram(nullptr);
    COsThread::SetServicesArgumentsSource(nullptr);
    COsThread::SetSpawnStopWait(-1);
    COsThread::SetPowerStateSettle(-1);
    setenv("PATH", m_strPath.c_str(), 1);
  }
  std::string m_strDir;
  std::string m_strChild;
  std::string m_strPath;
};

// --- Argument vector and session ------------------------------------------

struct ArgCase {
  const char* szName;
  int64_t i64Flags;
  const char* szProgram;  // null: the child script
  std::vector<const char*> vecArgs;
  std::vector<std::string> vecExpected;  // after the interpreter and the script
  bool blNewSession;
};

TEST_F(Spawn, ArgumentVectorAndSessionFollowTheFlags) {
  std::vector<const char*> vecSixteen;
  std::vector<std::string> vecSixteenText;
  static std::string s_astr[16];
  for (int i = 0; i < 16; i++) {
    s_astr[i] = "a" + std::to_string(i + 1);
    vecSixteen.push_back(s_astr[i].c_str());
    vecSixteenText.push_back(s_astr[i]);
  }
  const std::string strAbsolute = RootPath("elsewhere/prog");
  const ArgCase acase[] = {
      {"plain", 0, nullptr, {"one", "two words"}, {"one", "two words"}, false},
      {"new session", OS_SPAWNFLAGS_NEWSESSION, nullptr, {"s"}, {"s"}, true},
      {"empty text ends", 0, nullptr, {"a", "", "never"}, {"a", ""}, false},
      {"sixteen", 0, nullptr, vecSixteen, vecSixteenText, false},
      {"other bits", 0x1 | 0x2 | 0x10 | 0x40, nullptr, {"x"}, {"x"}, false},
      {"terminal, bare name", OS_SPAWNFLAGS_TERMINAL, "prog.sh", {"x", "y"}, {"-x", "./prog.sh", "x", "y"}, false},
      {"terminal, dot", OS_SPAWNFLAGS_TERMINAL, "./prog.sh", {}, {"-x", "./prog.sh"}, false},
      {"terminal, absolute", OS_SPAWNFLAGS_TERMINAL | OS_SPAWNFLAGS_NEWSESSION, strAbsolute.c_str(), {"z"},
       {"-x", strAbsolute, "z"}, true},
  };
  // The terminal is a stand-in that only runs like the child.
  const std::string strTerminal = m_strDir + "/terminal";
  WriteScript(strTerminal, kChild);
  COsThread::SetTerminalProgram(strTerminal.c_str());
  for (const ArgCase& c : acase) {
    SCOPED_TRACE(c.szName);
    COsThread osthread;
    const bool blTerminal = c.i64Flags & OS_SPAWNFLAGS_TERMINAL;
    ASSERT_EQ(SpawnArgs(&osthread, c.i64Flags, c.szProgram ? c.szProgram : m_strChild.c_str(), c.vecArgs),
              OS_STS_SUCCESS);
    uint64_t u64Pid = osthread.SpawnProcessId();
    ASSERT_NE(u64Pid, 0u);
    EXPECT_TRUE(osthread.IsSpawnRunning());
    ProcessView view = View(u64Pid);
    std::vector<std::string> vecExpected = {"/bin/sh", blTerminal ? strTerminal : m_strChild};
    vecExpected.insert(vecExpected.end(), c.vecExpected.begin(), c.vecExpected.end());
    EXPECT_EQ(view.vecArgs, vecExpected);
    if (c.blNewSession) {
      EXPECT_EQ(view.lSession, static_cast<long>(u64Pid));
    } else {
      EXPECT_EQ(view.lSession, view.lOurSession);
    }
    osthread.SpawnStop();
    EXPECT_EQ(osthread.SpawnProcessId(), 0u);
  }
  EXPECT_TRUE(NoChildLeft());
}

TEST_F(Spawn, ArgumentZeroIsTheExecutablePath) {
  COsThread osthread;
  ASSERT_EQ(osthread.Spawn(0, "/bin/sleep", "not-this", "30", nullptr), OS_STS_SUCCESS);
  ProcessView view = View(osthread.SpawnProcessId());
  EXPECT_EQ(view.vecArgs, (std::vector<std::string>{"/bin/sleep", "30"}));
  osthread.SpawnStop();
  EXPECT_TRUE(NoChildLeft());
}

// --- Refusals ---------------------------------------------------------------------

TEST_F(Spawn, RefusesBadProgramsAndArguments) {
  testsupport::LogCapture logcapture;
  const std::string strMissing = m_strDir + "/missing";
  const std::string strPlain = m_strDir + "/plain.sh";
  WriteScript(strPlain, kChild, 0644);
  const std::string strBadInterpreter = m_strDir + "/badinterp.sh";
  WriteScript(strBadInterpreter, "#!/nonexistent/interpreter\n");
  std::vector<const char*> vecSeventeen(17, "x");
  std::vector<const char*> vecFifteen(15, "x");
  struct Case {
    const char* szName;
    int64_t i64Flags;
    const char* szProgram;
    std::vector<const char*> vecArgs;
    std::string strLogged;
  };
  const Case acase[] = {
      {"missing", 0, strMissing.c_str(), {}, "Spawn: file not found...<" + strMissing + "> <" + strMissing + ">"},
      {"not executable", 0, strPlain.c_str(), {}, "Spawn: can't execute...<" + strPlain + "> <" + strPlain + "> 0x81a4"},
      {"directory", 0, m_strDir.c_str(), {}, "Spawn: can't execute...<" + m_strDir + "> <" + m_strDir + "> 0x41"},
      {"seventeen arguments", 0, m_strChild.c_str(), vecSeventeen, "Spawn: too many arguments...17"},
      {"terminal and fifteen", OS_SPAWNFLAGS_TERMINAL, m_strChild.c_str(), vecFifteen,
       "Spawn: too many arguments...17"},
      {"exec fails", 0, strBadInterpreter.c_str(), {}, "Spawn: exec failed...2 <" + strBadInterpreter + ">"},
  };
  const std::string strTerminal = m_strDir + "/terminal";
  WriteScript(strTerminal, kChild);
  COsThread::SetTerminalProgram(strTerminal.c_str());
  for (const Case& c : acase) {
    SCOPED_TRACE(c.szName);
    COsThread osthread;
    EXPECT_EQ(SpawnArgs(&osthread, c.i64Flags, c.szProgram, c.vecArgs), OS_STS_FAIL);
    EXPECT_TRUE(logcapture.Contains(c.strLogged)) << c.strLogged;
    EXPECT_EQ(osthread.SpawnProcessId(), 0u);
    EXPECT_FALSE(osthread.IsSpawnRunning());
    EXPECT_TRUE(NoChildLeft());  // a failed exec is reaped at once
  }
  COsThread osthread;
  EXPECT_EQ(osthread.Spawn(0, nullptr, "x", nullptr), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("Spawn: a_szProgram is NULL..."));
  EXPECT_EQ(osthread.Spawn(0, m_strChild.c_str(), nullptr), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("Spawn: a_szArg0 is NULL..."));
  // The terminal must exist when the flag asks for it.
  const std::string strNoTerminal = m_strDir + "/no-terminal";
  COsThread::SetTerminalProgram(strNoTerminal.c_str());
  EXPECT_EQ(osthread.Spawn(OS_SPAWNFLAGS_TERMINAL, "prog", "prog", nullptr), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("Spawn: file not found...<" + strNoTerminal + "> <prog>"));
  EXPECT_TRUE(NoChildLeft());
}

TEST_F(Spawn, OneChildPerObject) {
  testsupport::LogCapture logcapture;
  COsThread osthread;
  ASSERT_EQ(osthread.Spawn(0, m_strChild.c_str(), "first", nullptr), OS_STS_SUCCESS);
  uint64_t u64First = osthread.SpawnProcessId();
  EXPECT_EQ(osthread.Spawn(0, m_strChild.c_str(), "second", nullptr), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("Spawn: This object already has something spawned..."));
  EXPECT_EQ(osthread.SpawnProcessId(), u64First);
  osthread.SpawnStop();
  ASSERT_EQ(osthread.Spawn(0, m_strChild.c_str(), "third", nullptr), OS_STS_SUCCESS);
  EXPECT_NE(osthread.SpawnProcessId(), 0u);
  osthread.SpawnStop();
  EXPECT_TRUE(NoChildLeft());
}

// --- The child's environment ---------------------------------------------------

TEST_F(Spawn, LibraryPathIsTheChildsAlone) {
  struct Case {
    const char* szName;
    const char* szParent;  // null: unset
    int64_t i64Flags;
    const char* szChildSees;  // null: unset; "@dir": the program's directory
  };
  const Case acase[] = {
      {"set, flag", "/parent/lib", OS_SPAWNFLAGS_ALTSEARCH, "@dir"},
      {"unset, flag", nullptr, OS_SPAWNFLAGS_ALTSEARCH | OS_SPAWNFLAGS_NEWSESSION, "@dir"},
      {"set, no flag", "/parent/lib", 0, "/parent/lib"},
      {"unset, no flag", nullptr, 0, nullptr},
  };
  for (const Case& c : acase) {
    SCOPED_TRACE(c.szName);
    if (c.szParent) {
      setenv("LD_LIBRARY_PATH", c.szParent, 1);
    } else {
      unsetenv("LD_LIBRARY_PATH");
    }
    // Another thread reads our variable all along: it must never change.
    std::atomic<bool> blStop{false};
    std::atomic<int> iChanged{0};
    std::thread threadWatch([&] {
      for (int i = 0; i < 1000000 && !blStop; i++) {
        const char* psz = getenv("LD_LIBRARY_PATH");
        bool blSame = c.szParent ? (psz && std::strcmp(psz, c.szParent) == 0) : psz == nullptr;
        if (!blSame) iChanged++;
        if (i % 64 == 0) std::this_thread::yield();
      }
    });
    COsThread osthread;
    EOSSTS eossts = osthread.Spawn(c.i64Flags, m_strChild.c_str(), "child", nullptr);
    blStop = true;
    threadWatch.join();
    ASSERT_EQ(eossts, OS_STS_SUCCESS);
    std::map<std::string, std::string> mapEnv = ChildEnvironment(m_strDir, osthread.SpawnProcessId());
    ASSERT_FALSE(mapEnv.empty());
    if (!c.szChildSees) {
      EXPECT_EQ(mapEnv.count("LD_LIBRARY_PATH"), 0u);
    } else {
      EXPECT_EQ(mapEnv["LD_LIBRARY_PATH"], std::strcmp(c.szChildSees, "@dir") == 0 ? m_strDir : c.szChildSees);
    }
    EXPECT_EQ(iChanged, 0);
    const char* pszNow = getenv("LD_LIBRARY_PATH");
    if (c.szParent) {
      EXPECT_STREQ(pszNow, c.szParent);
    } else {
      EXPECT_EQ(pszNow, nullptr);
    }
    osthread.SpawnStop();
  }
}

const char* ArgumentsText() { return "<arguments>\n\t<rootpath>/r</rootpath>\n\t<loglevel>3</loglevel>\n</arguments>"; }
const char* EmptyArgumentsText() { return ""; }

TEST_F(Spawn, ChildSeesThePublishedServiceArguments) {
  struct Case {
    const char* szName;
    OsThreadArgumentsSource pfnSource;
    bool blPublished;
  };
  const Case acase[] = {
      {"published", ArgumentsText, true},
      {"empty text", EmptyArgumentsText, false},
      {"no source", nullptr, false},
  };
  // A value the parent had goes to the child unless a text replaces it.
  setenv("PMX_OSSERVICESARGUMENTSUNICODE", "inherited", 1);
  for (const Case& c : acase) {
    SCOPED_TRACE(c.szName);
    COsThread::SetServicesArgumentsSource(c.pfnSource);
    COsThread osthread;
    ASSERT_EQ(osthread.Spawn(0, m_strChild.c_str(), "child", nullptr), OS_STS_SUCCESS);
    std::map<std::string, std::string> mapEnv = ChildEnvironment(m_strDir, osthread.SpawnProcessId());
    ASSERT_FALSE(mapEnv.empty());
    char szThreadVariable[128];
    std::snprintf(szThreadVariable, sizeof szThreadVariable, "PMX_OSSERVICESARGUMENTS_%llx_%llx",
                  static_cast<unsigned long long>(getpid()),
                  static_cast<unsigned long long>(COsThread::GetThreadId()));
    if (c.blPublished) {
      EXPECT_EQ(mapEnv[szThreadVariable], ArgumentsText());
      EXPECT_EQ(mapEnv["PMX_OSSERVICESARGUMENTS"], ArgumentsText());
      EXPECT_EQ(mapEnv["PMX_OSSERVICESARGUMENTSUNICODE"], ArgumentsText());
    } else {
      EXPECT_EQ(mapEnv.count(szThreadVariable), 0u);
      EXPECT_EQ(mapEnv.count("PMX_OSSERVICESARGUMENTS"), 0u);
      EXPECT_EQ(mapEnv["PMX_OSSERVICESARGUMENTSUNICODE"], "inherited");
    }
    // Nothing was published in our own environment.
    EXPECT_EQ(getenv(szThreadVariable), nullptr);
    EXPECT_EQ(getenv("PMX_OSSERVICESARGUMENTS"), nullptr);
    EXPECT_STREQ(getenv("PMX_OSSERVICESARGUMENTSUNICODE"), "inherited");
    osthread.SpawnStop();
  }
}

// The argument list and the child's own variables: set, replaced, removed;
// ours stay as they were, and a bad name starts nothing.
TEST_F(Spawn, ChildGetsItsOwnVariables) {
  testsupport::LogCapture logcapture;
  setenv("SPAWN_REPLACED", "ours", 1);
  setenv("SPAWN_REMOVED", "ours too", 1);
  const OsSpawnVariable aosspawnvariable[] = {{"SPAWN_NEW", "<a>\n\tb</a>"},
                                              {"SPAWN_REPLACED", "first"},
                                              {"SPAWN_REPLACED", "the child's"},
                                              {"SPAWN_REMOVED", nullptr}};
  const char* aszArgs[] = {"one", "two", nullptr};
  COsThread osthread;
  ASSERT_EQ(osthread.Spawn(OS_SPAWNFLAGS_NEWSESSION, m_strChild.c_str(), "child", aszArgs, aosspawnvariable, 4),
            OS_STS_SUCCESS);
  const uint64_t u64Pid = osthread.SpawnProcessId();
  std::map<std::string, std::string> mapEnv = ChildEnvironment(m_strDir, u64Pid);
  ASSERT_FALSE(mapEnv.empty());
  EXPECT_EQ(mapEnv["SPAWN_NEW"], "<a>\n\tb</a>");
  EXPECT_EQ(mapEnv["SPAWN_REPLACED"], "the child's");
  EXPECT_EQ(mapEnv.count("SPAWN_REMOVED"), 0u);
  ProcessView view = View(u64Pid);
  EXPECT_EQ(view.lSession, static_cast<long>(u64Pid));
  EXPECT_EQ(view.vecArgs, (std::vector<std::string>{"/bin/sh", m_strChild, "one", "two"}));
  EXPECT_EQ(getenv("SPAWN_NEW"), nullptr);
  EXPECT_STREQ(getenv("SPAWN_REPLACED"), "ours");
  EXPECT_STREQ(getenv("SPAWN_REMOVED"), "ours too");
  osthread.SpawnStop();
  for (const char* szName : {"", "A=B"}) {
    const OsSpawnVariable osspawnvariable = {szName, "x"};
    EXPECT_EQ(osthread.Spawn(0, m_strChild.c_str(), "child", nullptr, &osspawnvariable, 1), OS_STS_FAIL);
    EXPECT_TRUE(logcapture.Contains(std::string("Spawn: bad variable name...<") + szName + ">"));
  }
  EXPECT_EQ(osthread.SpawnProcessId(), 0u);
  unsetenv("SPAWN_REPLACED");
  unsetenv("SPAWN_REMOVED");
}

// --- Following and stopping a child ---------------------------------------------

TEST_F(Spawn, StopEndsTheChildCleanlyWithSigterm) {
  testsupport::LogCapture logcapture;
  COsThread osthread;
  osthread.SpawnStop();  // nothing to stop
  ASSERT_EQ(osthread.Spawn(0, m_strChild.c_str(), "child", nullptr), OS_STS_SUCCESS);
  uint64_t u64Pid = osthread.SpawnProcessId();
  ASSERT_FALSE(ChildEnvironment(m_strDir, u64Pid).empty());  // the trap is in place
  osthread.SpawnStop();
  EXPECT_TRUE(FileExists(m_strDir + "/term." + std::to_string(u64Pid)));
  EXPECT_FALSE(logcapture.Contains("SpawnStop: the child did not end"));
  EXPECT_EQ(osthread.SpawnProcessId(), 0u);
  EXPECT_FALSE(osthread.IsSpawnRunning());
  EXPECT_EQ(kill(static_cast<pid_t>(u64Pid), 0), -1);  // gone and reaped
  EXPECT_TRUE(NoChildLeft());
}

TEST_F(Spawn, StopKillsAChildThatIgnoresSigterm) {
  testsupport::LogCapture logcapture;
  COsThread::SetSpawnStopWait(200);
  const std::string strStubborn = m_strDir + "/stubborn.sh";
  WriteScript(strStubborn, kStubbornChild);
  COsThread osthread;
  ASSERT_EQ(osthread.Spawn(0, strStubborn.c_str(), "stubborn", nullptr), OS_STS_SUCCESS);
  uint64_t u64Pid = osthread.SpawnProcessId();
  ASSERT_TRUE(Eventually([&] { return FileExists(m_strDir + "/ready." + std::to_string(u64Pid)); }));
  osthread.SpawnStop();
  EXPECT_TRUE(logcapture.Contains("SpawnStop: the child did not end, killing it..." + std::to_string(u64Pid)));
  EXPECT_EQ(osthread.SpawnProcessId(), 0u);
  EXPECT_EQ(kill(static_cast<pid_t>(u64Pid), 0), -1);
  EXPECT_TRUE(NoChildLeft());
}

TEST_F(Spawn, FollowsAChildUntilItEnds) {
  COsThread osthread;
  EXPECT_EQ(osthread.SpawnWait(100), OS_STS_FAIL);  // no child
  EXPECT_FALSE(osthread.IsSpawnRunning());
  ASSERT_EQ(osthread.Spawn(0, m_strChild.c_str(), "child", nullptr), OS_STS_SUCCESS);
  uint64_t u64Pid = osthread.SpawnProcessId();
  EXPECT_TRUE(osthread.IsSpawnRunning());
  EXPECT_TRUE(COsThread::IsProcessRunning(u64Pid, false));
  EXPECT_EQ(osthread.SpawnWait(0), OS_STS_TIMEOUT);
  EXPECT_EQ(osthread.SpawnWait(50), OS_STS_TIMEOUT);
  osthread.SpawnStop();

  const std::string strQuick = m_strDir + "/quick.sh";
  WriteScript(strQuick, "#!/bin/sh\nsleep 0.2\nexit 3\n");
  ASSERT_EQ(osthread.Spawn(0, strQuick.c_str(), "quick", nullptr), OS_STS_SUCCESS);
  u64Pid = osthread.SpawnProcessId();
  ASSERT_NE(u64Pid, 0u);
  // The child's descriptor turns readable when it ends, not before.
  const int iPidFd = osthread.SpawnPidFd();
  ASSERT_GE(iPidFd, 0);
  struct pollfd pollfd = {iPidFd, POLLIN, 0};
  EXPECT_EQ(poll(&pollfd, 1, 0), 0);
  EXPECT_EQ(poll(&pollfd, 1, 10000), 1);
  // The ended child stays unreaped until the object looks at it.
  ASSERT_TRUE(Eventually([&] { return !COsThread::IsProcessRunning(u64Pid, false); }));
  EXPECT_TRUE(COsThread::IsProcessRunning(u64Pid, true));
  EXPECT_EQ(osthread.SpawnWait(5000), OS_STS_SUCCESS);
  EXPECT_EQ(osthread.SpawnProcessId(), 0u);
  EXPECT_EQ(osthread.SpawnPidFd(), -1);
  EXPECT_EQ(fcntl(iPidFd, F_GETFD), -1);  // closed with the reaping
  EXPECT_EQ(osthread.SpawnWait(10), OS_STS_FAIL);
  EXPECT_TRUE(NoChildLeft());
}

TEST_F(Spawn, ChildReapedElsewhereIsForgotten) {
  testsupport::LogCapture logcapture;
  COsThread osthread;
  ASSERT_EQ(osthread.Spawn(0, m_strChild.c_str(), "child", nullptr), OS_STS_SUCCESS);
  pid_t pid = static_cast<pid_t>(osthread.SpawnProcessId());
  kill(pid, SIGKILL);
  ASSERT_EQ(waitpid(pid, nullptr, 0), pid);
  EXPECT_EQ(osthread.SpawnProcessId(), 0u);
  EXPECT_TRUE(logcapture.Contains("waitpid failed..." + std::to_string(pid)));
  osthread.SpawnStop();  // nothing left to stop
}

// A process of ours made with a chosen id (clone3 with set_tid); -1 when
// the system does not allow it.
pid_t ForkWithPid(pid_t a_pid) {
  struct clone_args cloneargs;
  std::memset(&cloneargs, 0, sizeof cloneargs);
  pid_t pidWanted = a_pid;
  cloneargs.exit_signal = SIGCHLD;
  cloneargs.set_tid = reinterpret_cast<uint64_t>(&pidWanted);
  cloneargs.set_tid_size = 1;
  long lPid = syscall(SYS_clone3, &cloneargs, sizeof cloneargs);
  if (lPid == 0) {
    char szSleep[] = "/bin/sleep";
    char szTime[] = "30";
    char* apszArgv[] = {szSleep, szTime, nullptr};
    syscall(SYS_execve, szSleep, apszArgv, environ);
    syscall(SYS_exit_group, 127);
  }
  return static_cast<pid_t>(lPid);
}

TEST_F(Spawn, ReusedProcessIdIsNotOurChild) {
  testsupport::LogCapture logcapture;
  COsThread osthread;
  ASSERT_EQ(osthread.Spawn(0, m_strChild.c_str(), "child", nullptr), OS_STS_SUCCESS);
  pid_t pid = static_cast<pid_t>(osthread.SpawnProcessId());
  // Somebody else reaps our child, and a new process gets its id.
  kill(pid, SIGKILL);
  ASSERT_EQ(waitpid(pid, nullptr, 0), pid);
  COsTime::Sleep(50);  // start times count in hundredths of a second
  pid_t pidImpostor = ForkWithPid(pid);
  if (pidImpostor != pid) GTEST_SKIP() << "cannot choose a process id here: " << std::strerror(errno);
  EXPECT_EQ(osthread.SpawnProcessId(), 0u);
  EXPECT_TRUE(logcapture.Contains("not our process..." + std::to_string(pid)));
  osthread.SpawnStop();
  EXPECT_EQ(kill(pidImpostor, 0), 0);  // the stranger was left alone
  EXPECT_EQ(waitpid(pidImpostor, nullptr, WNOHANG), 0);
  kill(pidImpostor, SIGKILL);
  waitpid(pidImpostor, nullptr, 0);
}

// --- Process-wide operations ------------------------------------------------------

TEST_F(Spawn, FindProcessByName) {
  testsupport::LogCapture logcapture;
  const std::string strName = "findme_" + std::to_string(getpid()) + "_x";
  const std::string strScript = m_strDir + "/" + strName + ".sh";
  WriteScript(strScript, kChild);
  COsThread osthread;
  ASSERT_EQ(osthread.Spawn(0, strScript.c_str(), "child", nullptr), OS_STS_SUCCESS);
  uint64_t u64Found = 99;
  EXPECT_EQ(COsThread::FindProcessByName(strName.c_str(), false, &u64Found), OS_STS_SUCCESS);
  EXPECT_EQ(u64Found, osthread.SpawnProcessId());
  // Python finds the same single process by its command line.
  std::string strPython = testsupport::RunPython(
      "import os, sys\n"
      "for p in os.listdir('/proc'):\n"
      "  if p.isdigit() and int(p) != os.getpid():\n"
      "    try: c = open('/proc/%s/cmdline' % p, 'rb').read()\n"
      "    except OSError: continue\n"
      "    if sys.argv[1].encode() in c: print(p)\n",
      {strName});
  EXPECT_EQ(strPython, std::to_string(u64Found) + "\n");
  osthread.SpawnStop();

  u64Found = 99;
  EXPECT_EQ(COsThread::FindProcessByName((strName + "_gone").c_str(), true, &u64Found), OS_STS_FAIL);
  EXPECT_EQ(u64Found, 0u);
  EXPECT_EQ(COsThread::FindProcessByName(nullptr, false, &u64Found), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("a_szName is null..."));
  // Without ps on the path.
  std::filesystem::create_directories(RootPath("empty"));
  setenv("PATH", RootPath("empty").c_str(), 1);
  EXPECT_EQ(COsThread::FindProcessByName(strName.c_str(), false, &u64Found), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("popen failed..."));
  EXPECT_TRUE(NoChildLeft());
}

TEST_F(Spawn, PowerStateRunsRtcwakeWithItsArguments) {
  testsupport::LogCapture logcapture;
  // A stand-in rtcwake first on the path: the machine never sleeps here.
  const std::string strFake = RootPath("fakebin");
  std::filesystem::create_directories(strFake);
  WriteScript(strFake + "/rtcwake", "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"${0%/*}/calls\"\n");
  const std::string strPath = strFake + ":" + m_strPath;
  setenv("PATH", strPath.c_str(), 1);
  std::string strWhich = testsupport::RunPython("import shutil, sys\nprint(shutil.which('rtcwake', path=sys.argv[1]))",
                                                {strPath});
  ASSERT_EQ(strWhich, strFake + "/rtcwake\n") << "refusing to run a real rtcwake";
  COsThread::SetPowerStateSettle(0);
  EXPECT_EQ(COsThread::SetPowerState(false, 5), OS_STS_SUCCESS);
  EXPECT_EQ(COsThread::SetPowerState(true, 7), OS_STS_SUCCESS);
  EXPECT_EQ(ReadFile(strFake + "/calls"), "-m\nstandby\n-s\n5\n-m\ndisk\n-s\n7\n");
  // Without rtcwake anywhere on the path.
  std::filesystem::create_directories(RootPath("empty"));
  setenv("PATH", RootPath("empty").c_str(), 1);
  EXPECT_EQ(COsThread::SetPowerState(false, 1), OS_STS_SUCCESS);
  EXPECT_TRUE(logcapture.Contains("system failed...-1 <rtcwake -m standby -s 1>"));
  EXPECT_TRUE(NoChildLeft());
}

TEST(ThreadDebugBreak, RaisesABreakpointTrap) {
  pid_t pid = fork();
  if (pid == 0) {
    signal(SIGTRAP, SIG_DFL);
    COsThread::DebugBreak();
    _exit(0);
  }
  ASSERT_GT(pid, 0);
  int iStatus = 0;
  ASSERT_EQ(waitpid(pid, &iStatus, 0), pid);
  ASSERT_TRUE(WIFSIGNALED(iStatus));
  EXPECT_EQ(WTERMSIG(iStatus), SIGTRAP);
}

}  // namespace
