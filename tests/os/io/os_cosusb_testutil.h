// Helpers of the USB service tests: a configuration store whose directories
// lie in the test's root, the locks lslocks sees on a file, byte locks held
// through a file description of the test's own, a python3 peer that runs
// beside the test, and a reader of "pnp.list" written in python3.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "os_coscfg.h"
#include "test_support.h"

namespace usbtest {

// A configuration store (not loaded) with the directories the USB service
// reads set inside the test's root.
class UsbConfig {
 public:
  UsbConfig() {
    OsCfgVersion version{"01", "00", "00", "00", "01", "01", "2024"};
    m_cfg = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, &version, false, nullptr);
    Set(OS_CFGTAG_ROOTCOMMONDIRECTORY, testsupport::RootPath("rootcommon"));
    Set(OS_CFGTAG_COMMONDIRECTORY, testsupport::RootPath("common"));
    Set(OS_CFGTAG_LOGDIRECTORY, testsupport::RootPath("log"));
    std::filesystem::create_directories(testsupport::RootPath("rootcommon"));
    std::filesystem::create_directories(testsupport::RootPath("log"));
  }
  // The store keeps the pointer: the texts live here.
  void Set(unsigned a_tag, const std::string& a_value) {
    m_values.push_back(std::make_unique<std::string>(a_value));
    m_cfg->Set(OS_CFGSECTION_MAIN, a_tag, m_values.back()->c_str());
  }
  COsCfg* Get() { return m_cfg.get(); }

 private:
  std::unique_ptr<COsCfg> m_cfg;
  std::vector<std::unique_ptr<std::string>> m_values;
};

inline std::string PnpPath() { return testsupport::RootPath("rootcommon/pnp.list"); }

// The start offsets of the locks that lslocks lists on the file (matched by
// device and inode, so that locks of open file descriptions count too).
inline std::set<long> LockedStarts(const std::string& a_path) {
  static const char* const s_szScript = R"(
import json, os, subprocess, sys
st = os.stat(sys.argv[1])
want = "%d:%d" % (os.major(st.st_dev), os.minor(st.st_dev))
out = subprocess.run(["lslocks", "-J", "-b", "-o", "MAJ:MIN,INODE,START,END,TYPE"], capture_output=True, text=True).stdout
for lock in json.loads(out or '{"locks": []}')["locks"]:
    if str(lock["maj:min"]) == want and int(lock["inode"]) == st.st_ino:
        print(lock["start"])
)";
  std::set<long> starts;
  std::istringstream in(testsupport::RunPython(s_szScript, {a_path}));
  for (long start; in >> start;) starts.insert(start);
  return starts;
}

// A write lock on a byte range held through a file description of its own,
// as another process's lock would be.
class HeldBytes {
 public:
  HeldBytes(const std::string& a_path, off_t a_start, off_t a_length) {
    m_fd = open(a_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = a_start;
    fl.l_len = a_length;
    m_locked = m_fd >= 0 && fcntl(m_fd, F_OFD_SETLK, &fl) == 0;
  }
  ~HeldBytes() {
    if (m_fd >= 0) close(m_fd);
  }
  bool Locked() const { return m_locked; }

 private:
  int m_fd = -1;
  bool m_locked = false;
};

// "pnp.list" as an independent reader sees it at the 4104-byte stride: the
// file size and the text of each slot up to its NUL, the slots counted as
// the file size over 4097.
struct PnpFile {
  long size = -1;
  std::vector<std::string> slots;
};

inline PnpFile ReadPnpFile(const std::string& a_path = PnpPath()) {
  static const char* const s_szScript = R"(
import sys
data = open(sys.argv[1], "rb").read()
print(len(data))
for k in range(len(data) // 4097):
    text = data[k * 4104 + 8:k * 4104 + 8 + 4096]
    print(text.split(b"\0")[0].decode("latin-1").replace("\\", "\\\\").replace("\n", "\\n"))
)";
  PnpFile pnpfile;
  std::vector<std::string> lines = testsupport::Lines(testsupport::RunPython(s_szScript, {a_path}));
  if (lines.empty()) return pnpfile;
  pnpfile.size = std::stol(lines[0]);
  for (size_t i = 1; i < lines.size(); ++i) {
    std::string text;
    for (size_t c = 0; c < lines[i].size(); ++c) {
      if (lines[i][c] == '\\' && c + 1 < lines[i].size()) {
        text += lines[i][c + 1] == 'n' ? '\n' : lines[i][c + 1];
        ++c;
      } else {
        text += lines[i][c];
      }
    }
    pnpfile.slots.push_back(text);
  }
  return pnpfile;
}

}  // namespace usbtest
