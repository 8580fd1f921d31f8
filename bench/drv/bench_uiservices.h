// What a user-interface link needs of the services in a benchmark: a
// scratch root (log, common directory, the services' arguments its child
// reads) and the channel transport of the benchmark's argument (1 TCP, 5
// shared memory, 8 message queues).
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "os_coscfg.h"
#include "os_cosmem.h"
#include "os_cossync.h"
#include "os_costhread.h"

inline std::string& UiBenchArguments() {
  static std::string s_str;
  return s_str;
}
inline const char* UiBenchArgumentsSource() { return UiBenchArguments().c_str(); }

class CUiBenchServices {
 public:
  explicit CUiBenchServices(int a_iTransport) {
    char szTemplate[] = "/tmp/scandrv-bench-XXXXXX";
    const char* szRoot = mkdtemp(szTemplate);
    if (szRoot) m_strRoot = szRoot;
    m_vecstrValue = {m_strRoot + "/log", std::to_string(a_iTransport), m_strRoot + "/common"};
    m_poscfg = std::make_unique<COsCfg>("bench", OS_CFGENTITY_UTILITY, nullptr, nullptr, false, nullptr);
    const unsigned auTag[] = {OS_CFGTAG_LOGDIRECTORY, OS_CFGTAG_FORCEGUISOCKETS, OS_CFGTAG_ROOTCOMMONDIRECTORY};
    for (size_t i = 0; i < m_vecstrValue.size(); ++i)
      m_poscfg->Set(OS_CFGSECTION_MAIN, auTag[i], m_vecstrValue[i].c_str());
    m_posmem = std::make_unique<COsMem>(OS_MEM_METHOD_GLOBALALLOC, 0);
    COsSync::SetFallbackDirectory((m_strRoot + "/common").c_str());
    UiBenchArguments() = "<arguments><rootpath>" + m_strRoot + "</rootpath></arguments>";
    COsThread::SetServicesArgumentsSource(UiBenchArgumentsSource);
  }
  ~CUiBenchServices() {
    COsThread::SetServicesArgumentsSource(nullptr);
    COsSync::SetFallbackDirectory(nullptr);
    m_posmem.reset();
    m_poscfg.reset();
    std::error_code errorcode;
    if (!m_strRoot.empty()) std::filesystem::remove_all(m_strRoot, errorcode);
  }
  CUiBenchServices(const CUiBenchServices&) = delete;
  CUiBenchServices& operator=(const CUiBenchServices&) = delete;

 private:
  std::string m_strRoot;
  std::vector<std::string> m_vecstrValue;
  std::unique_ptr<COsCfg> m_poscfg;
  std::unique_ptr<COsMem> m_posmem;
};
