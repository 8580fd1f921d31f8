// A scratch directory for one benchmark, removed afterwards.
#pragma once

#include <cstdlib>
#include <string>

#include "os_cosfile.h"

class Scratch {
 public:
  Scratch() {
    const char* szBase = std::getenv("TMPDIR");
    std::string tmpl = std::string(szBase && *szBase ? szBase : "/tmp") + "/scandrv-bench-XXXXXX";
    m_path = mkdtemp(tmpl.data()) ? tmpl : std::string();
  }
  ~Scratch() {
    if (!m_path.empty()) COsFile::Delete(m_path.c_str(), OS_FILETYPE_DIRECTORY, true);
  }
  std::string Path(const char* a_szName) const { return m_path + "/" + a_szName; }

 private:
  std::string m_path;
};
