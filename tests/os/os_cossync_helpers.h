// Helpers of the sync tests: a fixture that keeps the object files inside
// the test's root, forked children and a pipe to step them.
#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "os_cossync.h"
#include "test_support.h"

namespace synctest {

class SyncTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_directory = testsupport::RootPath("common");
    COsSync::SetFallbackDirectory(m_directory.c_str());
  }
  void TearDown() override { COsSync::SetFallbackDirectory(nullptr); }
  std::string Path(const std::string& a_file) const { return m_directory + "/" + a_file; }

  std::string m_directory;
};

// One byte messages between parent and child, with a time limit so that a
// broken peer fails the test instead of hanging it.
class Pipe {
 public:
  Pipe() {
    if (pipe(m_fd) != 0) m_fd[0] = m_fd[1] = -1;
  }
  ~Pipe() {
    close(m_fd[0]);
    close(m_fd[1]);
  }
  void Send(char a_c) { (void)!write(m_fd[1], &a_c, 1); }
  // The byte received, or 0 after the time limit.
  char Receive(int a_iMilliseconds = 10000) {
    struct pollfd pfd = {m_fd[0], POLLIN, 0};
    if (poll(&pfd, 1, a_iMilliseconds) != 1) return 0;
    char c = 0;
    return read(m_fd[0], &c, 1) == 1 ? c : 0;
  }

 private:
  int m_fd[2];
};

// Runs the function in a forked child that ends with its result.
inline pid_t Fork(const std::function<int()>& a_function) {
  pid_t pid = fork();
  if (pid == 0) {
    alarm(60);  // a child never outlives a broken test
    _exit(a_function());
  }
  return pid;
}

// The child's exit code, or 128 + the signal that ended it.
inline int Reap(pid_t a_pid) {
  int iStatus = 0;
  if (waitpid(a_pid, &iStatus, 0) != a_pid) return -1;
  return WIFEXITED(iStatus) ? WEXITSTATUS(iStatus) : 128 + WTERMSIG(iStatus);
}

}  // namespace synctest
