#include "test_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>

namespace testsupport {

std::string RootPath(const std::string& relative) { return Root() + "/" + relative; }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string::size_type start = 0;
  while (start < text.size()) {
    auto end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string RunProgram(const std::vector<std::string>& argv, int* status, const std::string& input) {
  int out[2], in[2];
  if (pipe(out) != 0 || pipe(in) != 0) throw std::runtime_error("pipe");
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    close(in[0]); close(in[1]); close(out[0]); close(out[1]);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  size_t written = 0;
  while (written < input.size()) {
    ssize_t n = write(in[1], input.data() + written, input.size() - written);
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  close(in[1]);
  std::string result;
  char buf[65536];
  for (;;) {
    ssize_t n = read(out[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    result.append(buf, static_cast<size_t>(n));
  }
  close(out[0]);
  int st = 0;
  waitpid(pid, &st, 0);
  if (status) *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return result;
}

std::string RunPython(const std::string& script, const std::vector<std::string>& args, int* status,
                      const std::string& input) {
  std::vector<std::string> argv{SCANDRV_PYTHON, "-c", script};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgram(argv, status, input);
}

}  // namespace testsupport
