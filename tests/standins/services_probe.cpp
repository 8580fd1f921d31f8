// services_probe: drives the service layer of whichever libscandrv.so the
// loader finds. It is built without a run path, so the tests choose the
// library with LD_LIBRARY_PATH: a copy staged inside their own root, whose
// override ini keeps every write below that root.
//
// The arguments are a list of commands, run in order; each prints one or more
// "name=value" lines:
//   settings XML          point g_szOsXml at XML
//   start CALLER|-        OsServicesStart (- for no caller text)
//   stop                  OsServicesStop
//   starttables           OsServicesStart with a caller text naming this
//                         program's tables: sections 1001 "dsIdentity" and
//                         1002 "MySection", tags 1001 "MyTag", 1002 "Other"
//   get TAG               a value of section dsIdentity
//   getin SECTION TAG     a value of any section (also the caller's range)
//   loaded                whether the configuration is loaded
//   log TEXT              one error line in the log
//   env NAME              an environment variable (line ends as "\\n")
//   setenv NAME VALUE / unsetenv NAME
//   cpumask               the processors the calling thread may run on
//   argvars               the argument variables of this process
//   lockheld              whether "log.lock" of LogDirectory is locked (by
//                         another open of it)
//   setargs LOGPATH MODEL LEVEL ROOT    OsServicesSetArguments without a text
//   interfaceopen TASK    OsServicesProcessInterfaceOpen
//   spawn N PROGRAM ARG...  a child through the thread service (N arguments
//                         after PROGRAM; "self" names this program), waited for
//   spawnleave PROGRAM    a child through the thread service, left unwaited
//                         (its COsThread goes); prints its id
//   forkexit CODE         a child of our own (as a host starts one) that ends
//                         at once with CODE; prints its id
//   sleep MS              pauses
//   child spawnleave|forkexit   the state of the last such child, without
//                         reaping a running one: "running", "exit CODE" (now
//                         reaped) or "gone" (reaped before)
#include <fcntl.h>
#include <sched.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_costhread.h"
#include "os_osservices.h"

extern char** environ;

namespace {

std::string g_settings;
pid_t g_pidSpawnLeave = 0;
pid_t g_pidForkExit = 0;

std::string Self() {
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

void PrintArgumentVariables() {
  int count = 0;
  for (char** e = environ; e && *e; ++e) {
    if (strncasecmp(*e, "PMX_OSSERVICESARGUMENTS", 23) != 0) continue;
    const char* eq = std::strchr(*e, '=');
    std::printf("argvar=%.*s\n", static_cast<int>(eq ? eq - *e : static_cast<long>(std::strlen(*e))), *e);
    ++count;
  }
  std::printf("argvars=%d\n", count);
}

int Spawn(const std::vector<std::string>& args) {
  COsThread thread;
  std::string program = args[0] == "self" ? Self() : args[0];
  std::vector<const char*> rest;
  for (size_t i = 1; i < args.size(); ++i) rest.push_back(args[i].c_str());
  while (rest.size() < 15) rest.push_back(nullptr);
  std::fflush(stdout);
  EOSSTS sts = thread.Spawn(0, program.c_str(), program.c_str(), rest[0], rest[1], rest[2], rest[3], rest[4], rest[5],
                            rest[6], rest[7], rest[8], rest[9], rest[10], rest[11], rest[12], rest[13], rest[14],
                            static_cast<const char*>(nullptr));
  EOSSTS wait = sts == OS_STS_SUCCESS ? thread.SpawnWait(60000) : OS_STS_FAIL;
  std::printf("spawn=%d wait=%d\n", static_cast<int>(sts), static_cast<int>(wait));
  return sts;
}

// One line per value: "\\" for a backslash, "\\n" for a line end.
std::string Escaped(const char* a_szText) {
  std::string text;
  for (const char* p = a_szText; *p; ++p) {
    if (*p == '\\') {
      text += "\\\\";
    } else if (*p == '\n') {
      text += "\\n";
    } else {
      text += *p;
    }
  }
  return text;
}

// The caller's own configuration range: two sections, two tags, and the
// (sections + 1) x (tags + 1) values.
const OsCfgName s_aoscfgnameSections[] = {{"dsIdentity", 1001}, {"MySection", 1002}, {nullptr, 1000}};
const OsCfgName s_aoscfgnameTags[] = {{"MyTag", 1001}, {"Other", 1002}, {nullptr, 1000}};
const char* s_apszData[3 * 3] = {};

std::string CallerText() {
  char text[256];
  std::snprintf(text, sizeof text, "<cfgsectionptr>%p</cfgsectionptr><cfgtagptr>%p</cfgtagptr><cfgdataptr>%p</cfgdataptr>",
                static_cast<const void*>(s_aoscfgnameSections), static_cast<const void*>(s_aoscfgnameTags),
                static_cast<void*>(s_apszData));
  return text;
}

// A lock on a file is per open file: a second open of it sees the lock.
int LockHeld() {
  if (!g_poscfg) return -1;
  std::string path = std::string(g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY)) + "/log.lock";
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  int held = flock(fd, LOCK_EX | LOCK_NB) != 0 ? 1 : 0;
  close(fd);
  return held;
}

bool Need(int i, int n, int argc, const char* cmd) {
  if (i + n < argc) return true;
  std::fprintf(stderr, "services_probe: %s needs %d argument(s)\n", cmd, n);
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string cmd = argv[i];
    if (cmd == "settings" && Need(i, 1, argc, argv[i])) {
      g_settings = argv[++i];
      g_szOsXml = g_settings.c_str();
    } else if (cmd == "start" && Need(i, 1, argc, argv[i])) {
      const char* caller = argv[++i];
      std::printf("start=%d\n", OsServicesStart(std::strcmp(caller, "-") == 0 ? nullptr : caller));
    } else if (cmd == "starttables") {
      std::printf("start=%d\n", OsServicesStart(CallerText().c_str()));
    } else if (cmd == "getin" && Need(i, 2, argc, argv[i])) {
      unsigned section = static_cast<unsigned>(std::strtoul(argv[i + 1], nullptr, 0));
      unsigned tag = static_cast<unsigned>(std::strtoul(argv[i + 2], nullptr, 0));
      i += 2;
      std::printf("%u/%u=%s\n", section, tag, g_poscfg ? g_poscfg->Get(section, tag) : "(no configuration)");
    } else if (cmd == "stop") {
      std::printf("stop=%d\n", OsServicesStop());
    } else if (cmd == "get" && Need(i, 1, argc, argv[i])) {
      unsigned tag = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 0));
      std::printf("%u=%s\n", tag, g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, tag) : "(no configuration)");
    } else if (cmd == "loaded") {
      std::printf("loaded=%d\n", g_poscfg && g_poscfg->IsLoaded() ? 1 : 0);
    } else if (cmd == "log" && Need(i, 1, argc, argv[i])) {
      OsLog(OS_LOG_ERROR, "probe>>> %s", argv[++i]);
    } else if (cmd == "env" && Need(i, 1, argc, argv[i])) {
      const char* value = std::getenv(argv[++i]);
      std::printf("env %s=%s\n", argv[i], value ? Escaped(value).c_str() : "(unset)");
    } else if (cmd == "setenv" && Need(i, 2, argc, argv[i])) {
      setenv(argv[i + 1], argv[i + 2], 1);
      i += 2;
    } else if (cmd == "unsetenv" && Need(i, 1, argc, argv[i])) {
      unsetenv(argv[++i]);
    } else if (cmd == "lockheld") {
      std::printf("lockheld=%d\n", LockHeld());
    } else if (cmd == "cpumask") {
      cpu_set_t set;
      CPU_ZERO(&set);
      unsigned long long mask = 0;
      if (sched_getaffinity(0, sizeof set, &set) == 0) {
        for (int cpu = 0; cpu < 64; ++cpu) mask |= CPU_ISSET(cpu, &set) ? 1ULL << cpu : 0;
      }
      std::printf("cpumask=0x%llx\n", mask);
    } else if (cmd == "argvars") {
      PrintArgumentVariables();
    } else if (cmd == "setargs" && Need(i, 4, argc, argv[i])) {
      std::printf("setargs=%d\n", OsServicesSetArguments(argv[i + 1], argv[i + 2], argv[i + 3], nullptr, argv[i + 4],
                                                         false, false));
      i += 4;
    } else if (cmd == "interfaceopen" && Need(i, 1, argc, argv[i])) {
      std::printf("interfaceopen=%d\n", OsServicesProcessInterfaceOpen(argv[++i]));
    } else if (cmd == "spawnleave" && Need(i, 1, argc, argv[i])) {
      COsThread thread;
      EOSSTS sts = thread.Spawn(0, argv[i + 1], argv[i + 1], static_cast<const char*>(nullptr));
      g_pidSpawnLeave = static_cast<pid_t>(thread.SpawnProcessId());
      std::printf("spawnleave=%d\n", static_cast<int>(sts));
      ++i;
    } else if (cmd == "forkexit" && Need(i, 1, argc, argv[i])) {
      int code = std::atoi(argv[++i]);
      std::fflush(stdout);
      pid_t pid = fork();
      if (pid == 0) _exit(code);
      g_pidForkExit = pid;
      std::printf("forkexit=%d\n", pid > 0 ? 0 : 1);
    } else if (cmd == "sleep" && Need(i, 1, argc, argv[i])) {
      usleep(static_cast<useconds_t>(std::atoi(argv[++i])) * 1000);
    } else if (cmd == "child" && Need(i, 1, argc, argv[i])) {
      std::string which = argv[++i];
      pid_t pid = which == "spawnleave" ? g_pidSpawnLeave : g_pidForkExit;
      int status = 0;
      pid_t got = pid > 0 ? waitpid(pid, &status, WNOHANG) : -1;
      if (got == 0) {
        std::printf("child %s=running\n", which.c_str());
      } else if (got == pid && WIFEXITED(status)) {
        std::printf("child %s=exit %d\n", which.c_str(), WEXITSTATUS(status));
      } else {
        std::printf("child %s=gone\n", which.c_str());
      }
    } else if (cmd == "spawn" && Need(i, 2, argc, argv[i])) {
      int n = std::atoi(argv[i + 1]);
      if (n < 0 || !Need(i, n + 2, argc, "spawn")) return 2;
      std::vector<std::string> args(argv + i + 2, argv + i + 3 + n);
      i += n + 2;
      Spawn(args);
    } else {
      std::fprintf(stderr, "services_probe: unknown or incomplete command %s\n", argv[i]);
      return 2;
    }
    std::fflush(stdout);
  }
  return 0;
}
