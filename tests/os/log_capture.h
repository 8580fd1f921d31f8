// Points the process-wide log at a file of the test's root for the life of
// the object, so that a test can check the lines that a call wrote.
#pragma once

#include <filesystem>
#include <string>

#include "os_coslog.h"
#include "test_support.h"

namespace testsupport {

class LogCapture {
 public:
  explicit LogCapture(long a_lLevel = 1) {
    std::filesystem::create_directories(RootPath("log"));
    COsLog::SetFallbackPath(RootPath("log/fallback.log").c_str());
    m_plog = new COsLog("scandrv", m_path.c_str(), a_lLevel, nullptr);
    g_poslog = m_plog;
  }
  ~LogCapture() {
    g_poslog = nullptr;
    delete m_plog;
    COsLog::SetFallbackPath(nullptr);
  }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::string Text() const { return ReadFile(m_path); }
  bool Contains(const std::string& a_text) const { return Text().find(a_text) != std::string::npos; }
  // How often the text stands in the log.
  size_t Count(const std::string& a_text) const {
    const std::string text = Text();
    size_t count = 0;
    for (size_t at = text.find(a_text); at != std::string::npos; at = text.find(a_text, at + 1)) ++count;
    return count;
  }

 private:
  const std::string m_path = RootPath("log/test.log");
  COsLog* m_plog = nullptr;
};

}  // namespace testsupport
