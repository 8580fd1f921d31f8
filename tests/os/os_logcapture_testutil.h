// A process-wide log for one test, writing at debug level into the test's
// root, so that tests can look for the lines an operation writes.
#pragma once

#include <string>

#include "os_coslog.h"
#include "test_support.h"

namespace logtest {

class LogCapture {
 public:
  explicit LogCapture(long a_lLevel = 1) : m_strPath(testsupport::RootPath("capture.log")) {
    m_poslog = new COsLog("scandrv", m_strPath.c_str(), a_lLevel, nullptr);
    g_poslog = m_poslog;
  }
  ~LogCapture() {
    g_poslog = nullptr;
    delete m_poslog;
  }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::string Text() const { return testsupport::FileExists(m_strPath) ? testsupport::ReadFile(m_strPath) : ""; }
  bool Has(const std::string& a_strText) const { return Text().find(a_strText) != std::string::npos; }

 private:
  std::string m_strPath;
  COsLog* m_poslog;
};

}  // namespace logtest
