// Captures what the process-wide log writes while an object of this class
// lives, so that tests can look for the exact messages.
#pragma once

#include <string>

#include "os_coslog.h"
#include "test_support.h"

namespace xmltest {

class LogCapture {
 public:
  LogCapture() { m_blInterim = true; }
  ~LogCapture() {}
  std::string Text() const { return {}; }
  // Interim: the log does not write yet.
  bool Contains(const std::string&) const { return m_blInterim; }

 private:
  bool m_blInterim;
};

}  // namespace xmltest
