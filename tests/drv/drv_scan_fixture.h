// The driver object on the staged stand-ins, driven through its own entry:
// the feeder's simulated scanner and its image library in process, the
// session begun through interfaceopen and sessionbegin tasks. A GUI seam
// answers the queries a test chooses and records every action asked; the
// simulated scanner's task log records what reached the device.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <vector>

#include "../dev/dev_tasklog.h"
#include "../os/log_capture.h"
#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "drv_cdriver.h"
#include "drv_cdrvgui.h"
#include "os_coscfg.h"
#include "os_coscfgtags.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "test_support.h"

namespace drvtest {

// Answers the actions it was given answers for (the rest go to the bridge)
// and counts every action asked.
class ScanGuiSeam : public CDrvGuiActionSeam {
 public:
  bool Action(EDRVGUIACTION a_edrvguiaction, CDrvGuiBase* a_pdrvguibase, EOSSTS* a_peossts) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_mapAsked[a_edrvguiaction];
    if (a_pdrvguibase) m_mapvecValue[a_edrvguiaction].push_back(a_pdrvguibase->i32Value);
    const auto it = m_mapAnswer.find(a_edrvguiaction);
    if (it == m_mapAnswer.end()) return false;
    *a_peossts = it->second;
    return true;
  }
  void Answer(EDRVGUIACTION a_edrvguiaction, EOSSTS a_eossts) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_mapAnswer[a_edrvguiaction] = a_eossts;
  }
  int Asked(EDRVGUIACTION a_edrvguiaction) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_mapAsked[a_edrvguiaction];
  }
  // The values an action was asked with (when it came with a record).
  std::vector<int32_t> Values(EDRVGUIACTION a_edrvguiaction) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_mapvecValue[a_edrvguiaction];
  }

 private:
  std::mutex m_mutex;
  std::map<EDRVGUIACTION, EOSSTS> m_mapAnswer;
  std::map<EDRVGUIACTION, int> m_mapAsked;
  std::map<EDRVGUIACTION, std::vector<int32_t>> m_mapvecValue;
};

class DrvScanFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SIMSCAN_TASKLOG", testsupport::RootPath("tasks.log").c_str(), 1);
    setenv("NEXSIM_TASKLOG", testsupport::RootPath("nexil.log").c_str(), 1);
    m_plog = std::make_unique<testsupport::LogCapture>(1);
    m_pmem = std::make_unique<COsMem>(OS_MEM_METHOD_GLOBALALLOC, 1);
    OsCfgVersion oscfgversion{"01", "00", "00", "00", "01", "01", "2024"};
    m_poscfg = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, &oscfgversion, false, nullptr);
    Configure(OS_CFGTAG_SYSTEMDIRECTORY, SCANDRV_STAGE_MODELS);
    Configure(OS_CFGTAG_MODELDIRECTORY, SCANDRV_STAGE_MODEL);
    Configure(OS_CFGTAG_FORCENEXILCALL, "1");
    CDrvGui::SetActionSeam(&m_guiseam);
    NewDriver();
  }

  // A driver object of its own for the next session: the last one closed
  // and gone, as the entry point ends one after interfaceclose.
  void NewDriver() {
    if (m_pdriver) Run("<interfaceclose></interfaceclose>");
    m_pdriver.reset();
    if (g_poslog) g_poslog->SetDsState(0);
    m_pdriver = std::make_unique<CDriver>();
    CDbLockGuard dblockguard;
    ASSERT_EQ(m_pdriver->GetDatabase()->Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, SCANDRV_LIBRARY_PATH, false),
              DB_STS_SUCCESS);
  }

  void TearDown() override {
    if (m_pdriver) Run("<interfaceclose></interfaceclose>");
    m_pdriver.reset();
    CDrvGui::SetActionSeam(nullptr);
    CDriver::SetLearnWaitLimit(-1);
    if (g_poslog) g_poslog->SetDsState(0);
    m_poscfg.reset();
    m_pmem.reset();
    m_plog.reset();
  }

  void Configure(unsigned a_uTag, const std::string& a_strValue) {
    m_dequestrConfigured.push_back(a_strValue);
    ASSERT_EQ(m_poscfg->Set(OS_CFGSECTION_MAIN, a_uTag, m_dequestrConfigured.back().c_str()), OS_STS_SUCCESS);
  }

  // One task through the driver's entry: its reply text.
  std::string Run(const std::string& a_strCommand) {
    char szId[24];
    std::snprintf(szId, sizeof szId, "%020d", ++m_iTaskId);
    const std::string strTask = std::string("<task id='") + szId +
                                "' reply='00000000000000000000' bytes='00000000000000000000'>\n\t" + a_strCommand +
                                "\n</task>\n";
    const char* szReply = nullptr;
    m_pdriver->DriverEntry(strTask.c_str(), &szReply);
    EXPECT_NE(szReply, nullptr);
    return szReply ? szReply : "";
  }

  static std::string Status(const std::string& a_strReply) { return Field(a_strReply, "status"); }
  static std::string Field(const std::string& a_strReply, const std::string& a_strElement) {
    std::smatch match;
    return std::regex_search(a_strReply, match, std::regex("<" + a_strElement + ">([^<]*)</" + a_strElement + ">"))
               ? match[1].str()
               : "";
  }

  // A session on the simulated scanner with its simflags ("id", "value").
  void Open(const std::vector<std::pair<std::string, std::string>>& a_vecFlags = {}) {
    std::string strSimulate = "<simulation>true</simulation>";
    std::vector<std::pair<std::string, std::string>> vecFlags = a_vecFlags;
    std::filesystem::create_directories(testsupport::RootPath("images"));
    vecFlags.emplace_back("imagedirectory", testsupport::RootPath("images"));
    for (const auto& flag : vecFlags)
      strSimulate += "<simflag><id>" + flag.first + "</id><value>" + flag.second + "</value><text></text></simflag>";
    const std::string strOpen =
        Run("<interfaceopen><callername>scantest</callername><simulate>" + strSimulate + "</simulate></interfaceopen>");
    ASSERT_EQ(Status(strOpen), "success") << strOpen << m_plog->Text();
    const std::string strBegin = Run("<sessionbegin></sessionbegin>");
    ASSERT_EQ(Status(strBegin), "success") << strBegin << m_plog->Text();
  }

  // The device tasks of one command since the session began.
  static size_t DeviceTasks(const std::string& a_strCommand) {
    size_t sizet = 0;
    for (const devtest::LoggedTask& loggedtask : devtest::ReadTaskLog(testsupport::RootPath("tasks.log")))
      sizet += loggedtask.strCommand == a_strCommand;
    return sizet;
  }

  // xmllint's verdict on a reply (0 when well-formed).
  static int XmlLint(const std::string& a_strDocument) {
    static int s_iFile = 0;
    const std::string strPath = testsupport::RootPath("scanlint" + std::to_string(++s_iFile) + ".xml");
    testsupport::WriteFile(strPath, a_strDocument);
    int iStatus = -1;
    testsupport::RunProgram({"xmllint", "--noout", strPath}, &iStatus);
    return iStatus;
  }

  long CurrentLong(EDBID a_edbid) {
    CDbLockGuard dblockguard;
    return m_pdriver->GetDatabase()->GetCurrentLongFromId(a_edbid);
  }

  size_t Logged(const std::string& a_strLine) {
    const std::string strText = m_plog->Text();
    size_t sizet = 0;
    for (size_t sizetAt = strText.find(a_strLine); sizetAt != std::string::npos;
         sizetAt = strText.find(a_strLine, sizetAt + 1))
      ++sizet;
    return sizet;
  }

  std::unique_ptr<testsupport::LogCapture> m_plog;
  std::unique_ptr<COsMem> m_pmem;
  std::unique_ptr<COsCfg> m_poscfg;
  std::deque<std::string> m_dequestrConfigured;
  ScanGuiSeam m_guiseam;
  std::unique_ptr<CDriver> m_pdriver;
  int m_iTaskId = 0;
};

}  // namespace drvtest
