// Every test gets a throwaway root: a fresh directory that becomes the
// current directory, $HOME, $TMPDIR and the service layer's writable root
// (PMX_SHGETFOLDERPATH), with every other PMX_ variable cleared, so that no
// test sees another's state or writes outside its own tree. CTest runs each
// test in a process of its own; a whole program run by hand gives each test
// a new root too, so what one test leaves never decides another. (The system
// directory lies below an override ini's root only: a test that writes there
// names its root in PMX_OVERRIDEINI.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "test_support.h"

extern char** environ;

namespace testsupport {
namespace {
std::string g_root;
pid_t g_owner = 0;

void ClearPmxEnvironment() {
  std::vector<std::string> names;
  for (char** e = environ; e && *e; ++e) {
    if (std::strncmp(*e, "PMX_", 4) == 0) {
      const char* eq = std::strchr(*e, '=');
      names.emplace_back(*e, eq ? static_cast<size_t>(eq - *e) : std::strlen(*e));
    }
  }
  for (const auto& n : names) unsetenv(n.c_str());
}

void RemoveRoot() {
  // Children forked by a test must not remove the parent's tree.
  if (g_root.empty() || getpid() != g_owner || std::getenv("SCANDRV_KEEP_TEST_ROOT")) return;
  std::error_code ec;
  std::filesystem::remove_all(g_root, ec);
}

void MakeRoot() {
  // The base is the caller's $TMPDIR, read once: later it names a root.
  static const std::string s_base = [] {
    const char* base = std::getenv("TMPDIR");
    return std::string(base && *base ? base : "/tmp");
  }();
  std::string tmpl = s_base + "/scandrv-test-XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) {
    std::perror("mkdtemp");
    std::exit(2);
  }
  g_root = buf.data();
  ClearPmxEnvironment();
  // A service layer started without an override ini writes below this
  // root, never below the system's own /var.
  setenv("PMX_SHGETFOLDERPATH", g_root.c_str(), 1);
  setenv("HOME", g_root.c_str(), 1);
  setenv("TMPDIR", g_root.c_str(), 1);
  if (chdir(g_root.c_str()) != 0) {
    std::perror("chdir");
    std::exit(2);
  }
}

// The first test takes the root made at start; each later one a new root.
class FreshRoot : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override {
    if (m_tests++ == 0) return;
    RemoveRoot();
    MakeRoot();
  }
  int m_tests = 0;
};
}  // namespace

const std::string& Root() { return g_root; }
}  // namespace testsupport

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  testsupport::g_owner = getpid();
  testsupport::MakeRoot();
  std::atexit(testsupport::RemoveRoot);
  testing::UnitTest::GetInstance()->listeners().Append(new testsupport::FreshRoot);
  return RUN_ALL_TESTS();
}
