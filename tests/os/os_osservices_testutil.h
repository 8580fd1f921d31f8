// A service layer started for real, but only inside the test's root: the
// built library is copied to <root>/<base>/opt/<company>/<model>/lib with an
// override ini naming <root>/<base> the root, and the service probe runs on
// that copy (LD_LIBRARY_PATH). Also: an independent walk of a tree, and a
// check that nothing outside the root was written.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"

namespace testsupport {

// The company directory: the short company name of the library's brand.
inline const std::string kCompany = "scandrv";

// The probe's output: "name=value" lines, in order.
struct ProbeResult {
  int status = -1;
  std::string out;
  std::vector<std::pair<std::string, std::string>> values;

  // The first value of that name ("" when there is none).
  std::string Get(const std::string& a_name) const {
    for (const auto& [name, value] : values) {
      if (name == a_name) return value;
    }
    return "";
  }
  std::vector<std::string> All(const std::string& a_name) const {
    std::vector<std::string> found;
    for (const auto& [name, value] : values) {
      if (name == a_name) found.push_back(value);
    }
    return found;
  }
  // An environment value the probe printed ("\\n" back to line ends).
  std::string Env(const std::string& a_name) const {
    std::string escaped = Get("env " + a_name), text;
    for (size_t i = 0; i < escaped.size(); ++i) {
      if (escaped[i] == '\\' && i + 1 < escaped.size()) {
        text += escaped[i + 1] == 'n' ? '\n' : escaped[i + 1];
        ++i;
      } else {
        text += escaped[i];
      }
    }
    return text;
  }
};

inline ProbeResult ParseProbe(const std::string& a_out, int a_status) {
  ProbeResult result;
  result.status = a_status;
  result.out = a_out;
  for (const auto& line : Lines(a_out)) {
    auto eq = line.find('=');
    if (eq != std::string::npos) result.values.emplace_back(line.substr(0, eq), line.substr(eq + 1));
  }
  return result;
}

// Settings XML of a start: unique name and entity (and more elements).
inline std::string Settings(const std::string& a_unique, const std::string& a_entity, const std::string& a_more = "") {
  return "<arguments>\n\t<uniquename>" + a_unique + "</uniquename>\n\t<entity>" + a_entity + "</entity>\n" + a_more +
         "</arguments>\n";
}

class StagedLibrary {
 public:
  // a_overrideRoot: the "root" the override ini names ("" for <root>/<base>,
  // "-" for no override ini at all).
  explicit StagedLibrary(const std::string& a_model = "kv", const std::string& a_base = "stage",
                         const std::string& a_overrideRoot = "", const std::string& a_company = kCompany)
      : m_base(RootPath(a_base)), m_libdir(m_base + "/opt/" + a_company + "/" + a_model + "/lib") {
    std::filesystem::create_directories(m_libdir);
    std::filesystem::copy_file(SCANDRV_LIBRARY_PATH, m_libdir + "/libscandrv.so",
                               std::filesystem::copy_options::overwrite_existing);
    if (a_overrideRoot != "-") {
      WriteFile(m_libdir + "/libscandrv_override.ini",
                "[main]\nroot=" + (a_overrideRoot.empty() ? m_base : a_overrideRoot) + "\n");
    }
  }

  const std::string& Base() const { return m_base; }
  const std::string& LibDir() const { return m_libdir; }
  // Below the writable root <base>/var/<company>.
  std::string Var(const std::string& a_relative = "") const {
    return m_base + "/var/" + kCompany + (a_relative.empty() ? "" : "/" + a_relative);
  }

  // Runs the probe (or a copy of it) on the staged copy with these commands.
  ProbeResult Run(const std::vector<std::string>& a_commands, const std::string& a_probe = SCANDRV_SERVICES_PROBE) const {
    std::vector<std::string> argv{a_probe};
    argv.insert(argv.end(), a_commands.begin(), a_commands.end());
    const char* previous = std::getenv("LD_LIBRARY_PATH");
    std::string saved = previous ? previous : "";
    setenv("LD_LIBRARY_PATH", m_libdir.c_str(), 1);
    int status = -1;
    std::string out = RunProgram(argv, &status);
    if (previous) {
      setenv("LD_LIBRARY_PATH", saved.c_str(), 1);
    } else {
      unsetenv("LD_LIBRARY_PATH");
    }
    return ParseProbe(out, status);
  }

 private:
  std::string m_base;
  std::string m_libdir;
};

// Python's view of a tree: every directory and every other entry below it,
// as paths relative to it (links are listed, never followed).
struct Tree {
  std::set<std::string> directories;
  std::set<std::string> files;
};

inline Tree Walk(const std::string& a_top) {
  const char* script =
      "import os, sys\n"
      "top = sys.argv[1]\n"
      "for base, dirs, files in os.walk(top):\n"
      "    for d in dirs:\n"
      "        p = os.path.join(base, d)\n"
      "        print(('L ' if os.path.islink(p) else 'D ') + os.path.relpath(p, top))\n"
      "    for f in files:\n"
      "        print('F ' + os.path.relpath(os.path.join(base, f), top))\n";
  Tree tree;
  for (const auto& line : Lines(RunPython(script, {a_top}))) {
    if (line.size() < 3) continue;
    (line[0] == 'D' ? tree.directories : tree.files).insert(line.substr(2));
  }
  return tree;
}

// Every directory named and all its parents below the top (relative paths).
inline std::set<std::string> WithParents(const std::vector<std::string>& a_directories) {
  std::set<std::string> all;
  for (std::string directory : a_directories) {
    while (!directory.empty()) {
      all.insert(directory);
      auto slash = directory.rfind('/');
      directory = slash == std::string::npos ? "" : directory.substr(0, slash);
    }
  }
  return all;
}

// Places outside the test root that a service layer could reach by mistake:
// the log's last-resort file and the default writable and system roots.
class OutsideWatch {
 public:
  OutsideWatch() : m_before(State()) {}
  void ExpectUntouched() const { EXPECT_EQ(State(), m_before) << "something was written outside the test root"; }

 private:
  static std::string State() {
    std::string state;
    for (const char* path : {"/tmp/pmx.log", "/var/pemra", "/opt/pemra", "/var/scandrv", "/opt/scandrv", "/var/var"}) {
      struct stat st;
      state += path;
      state += lstat(path, &st) == 0 ? ":" + std::to_string(st.st_size) + "@" + std::to_string(st.st_mtime) : ":none";
      state += "\n";
    }
    return state;
  }
  std::string m_before;
};

}  // namespace testsupport
