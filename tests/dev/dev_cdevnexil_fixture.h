// Tests of the image-library adapter: the real database loaded with the
// library's own resources, the staged image-library stand-in of each unit
// (SystemDirectory and ModelDirectory point at the staged model
// directories, ForceNexilCall 1 keeps it in process), its outputs and its
// task log in the test's root, and a page of the simulated scanner.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../db/db_makexml_fixture.h"
#include "../sim/sim_task_testutil.h"
#include "db_cdbconfig.h"
#include "dev_cdevnexil.h"
#include "dev_driverconfig.h"
#include "dev_tasklog.h"
#include "test_support.h"

namespace devtest {

class DevNexilFixture : public dbtest::DbMakeXmlFixture {
 protected:
  void SetUp() override {
    DbMakeXmlFixture::SetUp();
    m_strOutputs = testsupport::RootPath("outputs");
    m_strTaskLog = testsupport::RootPath("tasks.log");
    std::filesystem::create_directories(m_strOutputs);
    setenv("NEXSIM_IMAGEDIRECTORY", m_strOutputs.c_str(), 1);
    setenv("NEXSIM_TASKLOG", m_strTaskLog.c_str(), 1);
    Configure(OS_CFGTAG_SYSTEMDIRECTORY, m_strSystem.c_str());
    Configure(OS_CFGTAG_MODELDIRECTORY, m_strModel.c_str());
    Configure(OS_CFGTAG_FORCENEXILCALL, "1");
    m_pdevnexil = std::make_unique<CDevNexil>(m_pdatabase.get());
  }

  void TearDown() override {
    if (m_pdevnexil) m_pdevnexil->Unload(DB_FIRMWARE_BOTH);
    m_pdevnexil.reset();
    StopScanner();
    DbMakeXmlFixture::TearDown();
  }

  // The flatbed's model directory, as the model configuration names it.
  void ConfigureFlatbed() {
    m_pdatabase->ConfigSetString("modeldirectoryflatbed", (m_strModel + "flatbed").c_str(), DB_CONFIGTARGET_COMMON);
  }

  // Load, interfaceopen and sessionbegin of a unit.
  void Open(EDBID_FIRMWARE a_edbidfirmware = DB_FIRMWARE_ADF) {
    ASSERT_EQ(m_pdevnexil->Load(a_edbidfirmware, DEV_NEXILCALL_INPROCESS), OS_STS_SUCCESS) << m_plog->Text();
    ASSERT_EQ(m_pdevnexil->InterfaceOpen(a_edbidfirmware), OS_STS_SUCCESS) << m_plog->Text();
    ASSERT_EQ(m_pdevnexil->SessionBegin(a_edbidfirmware), OS_STS_SUCCESS) << m_plog->Text();
  }

  // The feeder's interface again, so that the stand-in reads its knobs anew.
  void Reopen() {
    m_pdevnexil->SessionEnd(DB_FIRMWARE_ADF);
    m_pdevnexil->InterfaceClose(DB_FIRMWARE_ADF);
    ASSERT_EQ(m_pdevnexil->InterfaceOpen(DB_FIRMWARE_ADF), OS_STS_SUCCESS) << m_plog->Text();
  }

  // A stream the library learns for the front side.
  void AddStream(const std::string& a_strWindowType, const std::string& a_strWindowId,
                 const std::string& a_strFormat, int a_iDpi) {
    using simtest::Leaf;
    const std::string strTask = "\t<windowadd>\n" + Leaf("cameraid", "front") + Leaf("windowtype", a_strWindowType) +
                                Leaf("windowid", a_strWindowId) + Leaf("imageformat", a_strFormat) +
                                Leaf("imageresolutionx", std::to_string(a_iDpi) + "_dpi") + "\t</windowadd>\n";
    EXPECT_EQ(simtest::Element(m_pdevnexil->NexPassThrough(DB_FIRMWARE_ADF, strTask.c_str()), "status"), "success");
  }

  std::vector<LoggedTask> TaskLog() const { return ReadTaskLog(m_strTaskLog); }

  // Every task the adapter logged for the feeder, as it was sent.
  std::vector<std::string> SentTasks() const {
    std::vector<std::string> vec;
    const std::string strLog = m_plog->Text();
    for (size_t sizetStart = strLog.find("<DRV2NEX>"); sizetStart != std::string::npos;
         sizetStart = strLog.find("<DRV2NEX>", sizetStart + 1)) {
      const size_t sizetEnd = strLog.find("</DRV2NEX>", sizetStart);
      if (sizetEnd == std::string::npos) break;
      vec.push_back(strLog.substr(sizetStart + 9, sizetEnd - sizetStart - 9));
    }
    return vec;
  }

  // A one-sided page of the simulated scanner: the reply of its getoutput,
  // as the scan thread hands it on. The page stays until the scanner stops.
  std::string TakePage() {
    using simtest::Leaf;
    using simtest::Task;
    m_pvScanner = dlopen(SIMSCAN_ADF_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(m_pvScanner, nullptr) << dlerror();
    if (!m_pvScanner) return "";
    m_pfnScanner = reinterpret_cast<PFNNEXENTRY>(dlsym(m_pvScanner, "ScannerEntry"));
    const std::string strPages = testsupport::RootPath("pages");
    std::filesystem::create_directories(strPages);
    const std::string strSimulate = "\t\t<simulate><simflag><id>imagedirectory</id><value>" + strPages +
                                    "</value></simflag><simflag><id>pages</id><value>1</value></simflag>"
                                    "<simflag><id>duplex</id><value>false</value></simflag></simulate>\n";
    m_pfnScanner(Task(++m_iScannerId, "interfaceopen", strSimulate).c_str());
    m_pfnScanner(Task(++m_iScannerId, "sessionbegin").c_str());
    m_pfnScanner(Task(++m_iScannerId, "scanbegin", Leaf("imagebuffercount", "4")).c_str());
    for (int i = 0; i < 2000; ++i) {
      const std::string strReply = m_pfnScanner(Task(++m_iScannerId, "getoutput").c_str());
      const std::string strStatus = simtest::Element(strReply, "status");
      if (strStatus == "success") return strReply;
      if (strStatus != "noimageready" && strStatus != "lampswarming" && strStatus != "endofsheet") {
        ADD_FAILURE() << strReply;
        return "";
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ADD_FAILURE() << "no page";
    return "";
  }

  void StopScanner() {
    if (!m_pvScanner) return;
    m_pfnScanner(simtest::Task(++m_iScannerId, "scanend").c_str());
    m_pfnScanner(simtest::Task(++m_iScannerId, "sessionend").c_str());
    m_pfnScanner(simtest::Task(++m_iScannerId, "interfaceclose").c_str());
    dlclose(m_pvScanner);
    m_pvScanner = nullptr;
  }

  // One of the driver's own values, set in the store.
  void ConfigureDriver(EDRVCFGTAG a_edrvcfgtag, const char* a_szValue) {
    m_driverconfig.Set(*m_poscfg, a_edrvcfgtag, a_szValue);
  }

  const std::string m_strSystem = SCANDRV_STAGE_MODELS;
  const std::string m_strModel = SCANDRV_STAGE_MODEL;
  std::string m_strOutputs;
  std::string m_strTaskLog;
  std::unique_ptr<CDevNexil> m_pdevnexil;
  void* m_pvScanner = nullptr;
  PFNNEXENTRY m_pfnScanner = nullptr;
  int m_iScannerId = 0;
  devtest::DriverConfig m_driverconfig;
};

}  // namespace devtest
