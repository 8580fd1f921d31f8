// Helpers of the file-service tests: a Python process that holds a lock
// while the test works, a child process dropped to an unprivileged user, and
// trees of files described as text.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "test_support.h"

namespace filetest {

// A Python script running beside the test. It talks in lines: the test
// reads what it prints and writes lines to its standard input.
class PythonProcess {
 public:
  PythonProcess(const std::string& a_script, const std::vector<std::string>& a_args = {}) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return;
    m_pid = fork();
    if (m_pid == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      close(in[0]); close(in[1]); close(out[0]); close(out[1]);
      std::vector<std::string> argv{SCANDRV_PYTHON, "-u", "-c", a_script};
      argv.insert(argv.end(), a_args.begin(), a_args.end());
      std::vector<char*> cargv;
      for (auto& s : argv) cargv.push_back(const_cast<char*>(s.c_str()));
      cargv.push_back(nullptr);
      execv(cargv[0], cargv.data());
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    m_in = in[1];
    m_out = out[0];
  }
  ~PythonProcess() { Finish(); }

  // The next line it prints, without the line feed ("" at its end).
  std::string ReadLine() {
    std::string line;
    char c;
    while (read(m_out, &c, 1) == 1 && c != '\n') line += c;
    return line;
  }
  void WriteLine(const std::string& a_line) {
    std::string text = a_line + "\n";
    ssize_t n = write(m_in, text.data(), text.size());
    (void)n;
  }
  // Closes its input (the scripts end then) and waits; the exit status.
  int Finish() {
    if (m_pid <= 0) return -1;
    if (m_in >= 0) close(m_in);
    m_in = -1;
    int st = 0;
    waitpid(m_pid, &st, 0);
    m_pid = 0;
    if (m_out >= 0) close(m_out);
    m_out = -1;
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  }

 private:
  pid_t m_pid = 0;
  int m_in = -1;
  int m_out = -1;
};

// Runs a_body in a child process and returns the numbers it reports. With
// a_blUnprivileged the child runs as the user nobody (when the tests run as
// root), and the root is opened for that user to pass through.
inline std::vector<long> RunInChild(const std::function<std::vector<long>()>& a_body, bool a_blUnprivileged) {
  if (a_blUnprivileged) chmod(testsupport::Root().c_str(), 0755);
  int fds[2];
  if (pipe(fds) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    if (a_blUnprivileged && geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
    std::vector<long> result = a_body();
    ssize_t n = write(fds[1], result.data(), result.size() * sizeof(long));
    (void)n;
    _exit(0);
  }
  close(fds[1]);
  std::vector<long> result;
  long value;
  while (read(fds[0], &value, sizeof value) == sizeof value) result.push_back(value);
  close(fds[0]);
  int st = 0;
  waitpid(pid, &st, 0);
  return result;
}

inline std::vector<long> RunUnprivileged(const std::function<std::vector<long>()>& a_body) {
  return RunInChild(a_body, true);
}

inline double MillisecondsSince(std::chrono::steady_clock::time_point a_start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - a_start).count();
}

// Builds a tree below the root from lines: "dir/" makes a directory,
// "name=text" a file, "name->target" a symbolic link.
inline void MakeTree(const std::string& a_base, const std::vector<std::string>& a_entries) {
  mkdir(a_base.c_str(), 0755);
  for (const auto& entry : a_entries) {
    auto arrow = entry.find("->");
    auto equals = entry.find('=');
    if (arrow != std::string::npos) {
      std::string link = a_base + "/" + entry.substr(0, arrow);
      int r = symlink(entry.substr(arrow + 2).c_str(), link.c_str());
      (void)r;
    } else if (!entry.empty() && entry.back() == '/') {
      mkdir((a_base + "/" + entry).c_str(), 0755);
    } else {
      std::string name = equals == std::string::npos ? entry : entry.substr(0, equals);
      testsupport::WriteFile(a_base + "/" + name, equals == std::string::npos ? "" : entry.substr(equals + 1));
    }
  }
}

inline mode_t ModeOf(const std::string& a_path) {
  struct stat st {};
  lstat(a_path.c_str(), &st);
  return st.st_mode & 07777;
}

}  // namespace filetest
