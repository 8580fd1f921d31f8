// The device data's files in a test's root: a configuration store naming
// the root's writable tree ("var") and the model directory "kv", so that the
// data directory is <root>/var/kv/data; readers that judge the files with
// Python's ElementTree; another process holding a file's flock.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../os/log_capture.h"
#include "dev_waits.h"
#include "os_coscfg.h"
#include "os_coscfgtags.h"
#include "test_support.h"

namespace devtest {

inline std::string DataDirectory() { return testsupport::RootPath("var/kv/data"); }
inline std::string ScannerFile(const std::string& a_strSerial, const std::string& a_strFile) {
  return DataDirectory() + "/" + a_strSerial + "/" + a_strFile;
}

// "multifeed paperjam othererror" of each file as ElementTree reads it
// ("unreadable" for anything but a whole accumulators document); one
// interpreter for all.
inline std::vector<std::string> AccumulatorsRead(const std::vector<std::string>& a_vecstrPath) {
  static const char* const s_szScript =
      "import sys, xml.etree.ElementTree as ET\n"
      "for path in sys.argv[1:]:\n"
      "    try:\n"
      "        root = ET.parse(path).getroot()\n"
      "        assert root.tag == 'accumulators' and [c.tag for c in root] == "
      "['multifeedcount', 'paperjamcount', 'othererrorcount']\n"
      "        print(' '.join(c.text for c in root))\n"
      "    except Exception:\n"
      "        print('unreadable')\n";
  std::vector<std::string> vecstr = testsupport::Lines(testsupport::RunPython(s_szScript, a_vecstrPath));
  vecstr.resize(a_vecstrPath.size(), "unreadable");
  return vecstr;
}
inline std::string AccumulatorsRead(const std::string& a_strPath) {
  return AccumulatorsRead(std::vector<std::string>{a_strPath}).front();
}

// The exact text of the accumulators file for three counts.
inline std::string AccumulatorsText(unsigned a_uMultifeed, unsigned a_uPaperJam, unsigned a_uOtherError) {
  return "<accumulators>\n\t<multifeedcount>" + std::to_string(a_uMultifeed) + "</multifeedcount>\n\t<paperjamcount>" +
         std::to_string(a_uPaperJam) + "</paperjamcount>\n\t<othererrorcount>" + std::to_string(a_uOtherError) +
         "</othererrorcount>\n</accumulators>";
}

// Another process (Python) holding the exclusive flock of a file until the
// object goes.
class LockHolder {
 public:
  explicit LockHolder(const std::string& a_strPath) {
    const std::string strReady = a_strPath + ".held";
    m_pid = fork();
    if (m_pid == 0) {
      const char* szScript =
          "import fcntl, sys, time\n"
          "f = open(sys.argv[1], 'a')\n"
          "fcntl.flock(f, fcntl.LOCK_EX)\n"
          "open(sys.argv[2], 'w').close()\n"
          "time.sleep(600)\n";
      execl(SCANDRV_PYTHON, SCANDRV_PYTHON, "-c", szScript, a_strPath.c_str(), strReady.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int i = 0; i < 1000 && !testsupport::FileExists(strReady); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_blHolding = testsupport::FileExists(strReady);
    unlink(strReady.c_str());
  }
  ~LockHolder() {
    if (m_pid > 0) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
  }
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;
  bool Holding() const { return m_blHolding; }

 private:
  pid_t m_pid = -1;
  bool m_blHolding = false;
};

// The configuration store of the data directory; the data lock's wait back
// at its default afterwards.
class DataFilesFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    m_plog = std::make_unique<testsupport::LogCapture>();
    m_pcfg = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, nullptr, false, nullptr);
    Configure(m_pcfg.get(), m_dequestr);
  }
  void TearDown() override {
    DevSetWaitLimit(DEV_WAIT_DATALOCK, -1);
    m_pcfg.reset();
    m_plog.reset();
  }

  // RootPath and ModelDirectoryReal of the test's layout (the store keeps
  // the pointers: the texts live in a_dequestr).
  static void Configure(COsCfg* a_pcfg, std::deque<std::string>& a_dequestr) {
    a_dequestr.push_back(testsupport::RootPath("var"));
    ASSERT_EQ(a_pcfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_ROOTPATH, a_dequestr.back().c_str()), OS_STS_SUCCESS);
    a_dequestr.push_back("kv");
    ASSERT_EQ(a_pcfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_MODELDIRECTORYREAL, a_dequestr.back().c_str()),
              OS_STS_SUCCESS);
  }

  std::unique_ptr<testsupport::LogCapture> m_plog;
  std::unique_ptr<COsCfg> m_pcfg;
  std::deque<std::string> m_dequestr;
};

// Every path below a directory, relative to it, sorted.
inline std::vector<std::string> Tree(const std::string& a_strDirectory) {
  std::vector<std::string> vecstr;
  std::error_code errorcode;
  for (auto it = std::filesystem::recursive_directory_iterator(a_strDirectory, errorcode);
       it != std::filesystem::recursive_directory_iterator(); it.increment(errorcode)) {
    vecstr.push_back(std::filesystem::relative(it->path(), a_strDirectory).string());
  }
  std::sort(vecstr.begin(), vecstr.end());
  return vecstr;
}

}  // namespace devtest
