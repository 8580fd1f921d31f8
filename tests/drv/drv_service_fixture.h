// The service commands on the staged stand-ins: the driver core of the
// command tests with a device facade whose interface is opened as the
// engine opens it (the feeder's simulated scanner and its image library in
// process), the feeder's session begun on both, and the state machine in
// Initialized. The units' task logs record every task they receive.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "../dev/dev_tasklog.h"
#include "dev_cdev.h"
#include "dev_cdevdevice.h"
#include "dev_cdevimpl.h"
#include "dev_cdevnexil.h"
#include "drv_cdrvprocesscommands.h"
#include "drv_fixture.h"
#include "os_coscfg.h"
#include "os_coscfgtags.h"

namespace drvtest {

class DrvServiceFixture : public DrvFixture {
 protected:
  void SetUp() override {
    setenv("SIMSCAN_TASKLOG", testsupport::RootPath("tasks.log").c_str(), 1);
    setenv("NEXSIM_TASKLOG", testsupport::RootPath("nexil.log").c_str(), 1);
    m_poscfg = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, nullptr, false, nullptr);
    SetConfigured(OS_CFGTAG_SYSTEMDIRECTORY, SCANDRV_STAGE_MODELS);
    SetConfigured(OS_CFGTAG_MODELDIRECTORY, SCANDRV_STAGE_MODEL);
    SetConfigured(OS_CFGTAG_FORCENEXILCALL, "1");
    DrvFixture::SetUp();
    Open();
    DriveToInitialized();
  }

  void TearDown() override {
    CDrvProcessCommands::SetEngineSeam(nullptr);
    m_pdrvdispatch.reset();
    if (m_pdev) m_pdev->InterfaceClose();
    m_pdev.reset();
    m_pdrvcommandfsm.reset();
    m_pdrvgui.reset();
    m_pdatabase.reset();
    m_poscfg.reset();
    DrvFixture::TearDown();
  }

  // A facade with its interface opened (the stand-ins read their knobs
  // then: a test sets them before) and the sessions of every unit begun;
  // the dispatcher again, now with the facade.
  void Open() {
    m_pdev = std::make_unique<CDev>(m_pdatabase.get(), nullptr, nullptr);
    ASSERT_EQ(m_pdev->InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_SUCCESS) << m_plog->Text();
    const DevImplPod& pod = Pod();
    ASSERT_NE(pod.m_pdevnexil, nullptr);
    for (EDBID_FIRMWARE edbidfirmware : {DB_FIRMWARE_FLATBED, DB_FIRMWARE_ADF}) {
      if (!(pod.m_pdevdevice->GetFirmware() & edbidfirmware)) continue;
      ASSERT_EQ(pod.m_pdevdevice->SessionBegin(nullptr, edbidfirmware, nullptr, nullptr), DEV_STS_SUCCESS)
          << edbidfirmware << m_plog->Text();
    }
    for (EDBID_FIRMWARE edbidfirmware : {DB_FIRMWARE_FLATBED, DB_FIRMWARE_ADF}) {
      if (!(pod.m_pdevdevice->GetFirmware() & edbidfirmware)) continue;
      ASSERT_EQ(pod.m_pdevnexil->SessionBegin(edbidfirmware), OS_STS_SUCCESS) << edbidfirmware << m_plog->Text();
    }
    m_pdrvdispatch = std::make_unique<CDrvDispatch>();
    ASSERT_EQ(m_pdrvdispatch->Init(m_pdrvcommandfsm.get(), m_pdatabase.get(), m_pdev.get(), m_pdrvgui.get(), nullptr),
              OS_STS_SUCCESS);
  }

  // The facade's one member is its device object.
  const DevImplPod& Pod() {
    static_assert(sizeof(CDev) == sizeof(CDevImpl*));
    return (*reinterpret_cast<CDevImpl**>(m_pdev.get()))->GetPod();
  }

  // The store keeps the pointer: the text lives in the fixture.
  void SetConfigured(unsigned a_uTag, const std::string& a_strValue) {
    m_dequestrConfigured.push_back(a_strValue);
    ASSERT_EQ(m_poscfg->Set(OS_CFGSECTION_MAIN, a_uTag, m_dequestrConfigured.back().c_str()), OS_STS_SUCCESS);
  }

  // The tasks each library received since the interface opened, as
  // "unit command".
  static std::vector<devtest::LoggedTask> DeviceTasks() {
    return devtest::ReadTaskLog(testsupport::RootPath("tasks.log"));
  }
  static std::vector<devtest::LoggedTask> NexilTasks() {
    return devtest::ReadTaskLog(testsupport::RootPath("nexil.log"));
  }
  // The tasks of one command.
  static std::vector<devtest::LoggedTask> Named(const std::vector<devtest::LoggedTask>& a_vec,
                                                const std::string& a_strCommand) {
    std::vector<devtest::LoggedTask> vec;
    for (const devtest::LoggedTask& loggedtask : a_vec) {
      if (loggedtask.strCommand == a_strCommand) vec.push_back(loggedtask);
    }
    return vec;
  }

  // A command with its content, run as the driver runs it.
  Reply RunCommand(const std::string& a_strName, const std::string& a_strContent = "") {
    return Run(Task("<" + a_strName + ">" + a_strContent + "</" + a_strName + ">"));
  }

  // The reply is well-formed, a whole task with its byte count right.
  void ExpectSound(const Reply& a_reply) {
    ASSERT_GE(a_reply.strText.size(), 91u) << a_reply.strText;
    EXPECT_EQ(std::stoull(a_reply.strText.substr(68, 20)), a_reply.strText.size()) << a_reply.strText;
    EXPECT_EQ(DbFixture::XmlLint(a_reply.strText), 0) << a_reply.strText;
  }

  std::unique_ptr<COsCfg> m_poscfg;
  std::deque<std::string> m_dequestrConfigured;
  std::unique_ptr<CDev> m_pdev;
};

}  // namespace drvtest
