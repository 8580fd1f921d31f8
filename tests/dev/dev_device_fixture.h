// Tests of the device-manager adapter against the staged simulated scanner
// (the feeder's and the flatbed's copies) and a database loaded with the
// library's own resources: a configuration store that names the staged
// layout, the device facade, one adapter, and the units' task log, which
// records every task the units received.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "dev_cdev.h"
#include "dev_cdevdevice.h"
#include "dev_cdevimpl.h"
#include "dev_tasklog.h"
#include "dp_dispatch_fixture.h"
#include "os_coscfg.h"
#include "os_coscfgtags.h"
#include "os_cosxmltask.h"

namespace devtest {

// A unit's copy in the staged layout.
inline std::string StagedLibrary(const std::string& a_strModelDirectory) {
  return std::string(SCANDRV_STAGE_MODELS) + "/" + a_strModelDirectory + "/lib/device.so";
}
inline std::string FlatbedDirectory() { return std::string(SCANDRV_STAGE_MODEL) + "flatbed"; }

// A pointer as the tasks carry it.
inline std::string Hex(const void* a_pv) {
  char sz[32];
  std::snprintf(sz, sizeof sz, "%016" PRIxPTR, reinterpret_cast<uintptr_t>(a_pv));
  return sz;
}

// A callback message as the libraries write it.
inline std::string Message(const std::string& a_strName, const std::string& a_strPointer,
                           const std::string& a_strExtra = "") {
  return "<task id='00000000000000000000' reply='00000000000000000000' bytes='00000000000000000000'>\n\t<callback>\n"
         "\t\t<callbackname>" + a_strName + "</callbackname>\n\t\t<userargumentptr>" + a_strPointer +
         "</userargumentptr>\n" + a_strExtra + "\t</callback>\n</task>\n";
}
inline std::string Online(const std::string& a_strOnline) {
  return "\t\t<deviceonline>" + a_strOnline + "</deviceonline>\n";
}

// The device object behind a facade (its one member).
inline CDevImpl& Impl(CDev& a_dev) {
  static_assert(sizeof(CDev) == sizeof(CDevImpl*));
  return **reinterpret_cast<CDevImpl**>(&a_dev);
}

// The device object's queued driver events as "word=value", emptying its
// table.
inline std::vector<std::string> QueuedEvents(CDevImpl& a_devimpl) {
  std::vector<std::string> vec;
  COsXmlTask osxmltask("", COsXmlTask::s_sizetMinimumCapacity);
  if (a_devimpl.GetDriverEvent(&osxmltask) != OS_STS_SUCCESS) return vec;
  const std::string strReply = osxmltask.GetTaskBuffer();
  for (size_t sizet = strReply.find("<event>"); sizet != std::string::npos;
       sizet = strReply.find("<event>", sizet + 1)) {
    const size_t sizetEvent = sizet + 7;
    const size_t sizetValue = strReply.find("<value>", sizetEvent) + 7;
    vec.push_back(strReply.substr(sizetEvent, strReply.find("</event>", sizetEvent) - sizetEvent) + "=" +
                  strReply.substr(sizetValue, strReply.find("</value>", sizetValue) - sizetValue));
  }
  return vec;
}

// Polls until the condition holds, at most five seconds.
inline bool WaitFor(const std::function<bool()>& a_fnCondition) {
  for (int i = 0; i < 500; ++i) {
    if (a_fnCondition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return a_fnCondition();
}

class DeviceFixture : public dbtest::DbFixture {
 protected:
  void SetUp() override {
    m_pcfg = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, nullptr, false, nullptr);
    SetConfigured(OS_CFGTAG_SYSTEMDIRECTORY, SCANDRV_STAGE_MODELS);
    SetConfigured(OS_CFGTAG_MODELDIRECTORY, SCANDRV_STAGE_MODEL);
    setenv("SIMSCAN_TASKLOG", testsupport::RootPath("tasks.log").c_str(), 1);
    testsupport::RunProgram({"mkdir", "-p", testsupport::RootPath("images")});
    DbFixture::SetUp();
    ASSERT_EQ(m_pdatabase->Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, SCANDRV_LIBRARY_PATH, false), DB_STS_SUCCESS);
    m_pdev = std::make_unique<CDev>(m_pdatabase.get(), nullptr, nullptr);
    m_pdevdevice = std::make_unique<CDevDevice>(m_pdatabase.get(), m_pdev.get());
  }
  void TearDown() override {
    m_pdevdevice.reset();
    m_pdev.reset();
    DbFixture::TearDown();
    m_pcfg.reset();
  }

  // The store keeps the pointer: the text lives in the fixture.
  void SetConfigured(unsigned a_uTag, const std::string& a_strValue) {
    m_dequestrConfigured.push_back(a_strValue);
    ASSERT_EQ(m_pcfg->Set(OS_CFGSECTION_MAIN, a_uTag, m_dequestrConfigured.back().c_str()), OS_STS_SUCCESS);
  }
  void SetFlatbedDirectory(const std::string& a_strDirectory = FlatbedDirectory()) {
    m_pdatabase->ConfigSetString("modeldirectoryflatbed", a_strDirectory.c_str(), DB_CONFIGTARGET_COMMON);
  }

  // The cameras of the bins given on, those of the other bins 2..5 off.
  void Cameras(const std::vector<EDBBIN>& a_vecedbbin) {
    for (EDBBIN edbbin : {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR}) {
      bool blOn = false;
      for (EDBBIN edbbinOn : a_vecedbbin) blOn = blOn || edbbinOn == edbbin;
      CDbDatum* pdbdatum = m_pdatabase->FindInBin(edbbin, DB_ID_CAMERAENABLE);
      ASSERT_NE(pdbdatum, nullptr) << edbbin;
      pdbdatum->ForceCurrentLong(blOn ? DB_ID_CAMERAENABLE_ENUM_TRUE : DB_ID_CAMERAENABLE_ENUM_FALSE);
    }
  }

  // The simulate block of interfaceopen: simflags by id (images into the
  // test's root).
  static std::string Simulate(const std::vector<std::pair<std::string, std::string>>& a_vecFlags = {}) {
    std::string str = "\t\t<simulate><simulation>true</simulation>";
    auto vecFlags = a_vecFlags;
    vecFlags.emplace_back("imagedirectory", testsupport::RootPath("images"));
    for (const auto& [strId, strValue] : vecFlags)
      str += "<simflag><id>" + strId + "</id><value>" + strValue + "</value><text></text></simflag>";
    return str + "</simulate>\n";
  }

  // A task of one command with the body as it stands, sent through the
  // adapter (numbered, its reply dispatched into the database).
  EDEVSTS Send(EDBID_FIRMWARE a_edbidfirmware, const char* a_szCommand, const std::string& a_strBody = "") {
    COsXmlTask osxmltask("", COsXmlTask::s_sizetMinimumCapacity);
    osxmltask.StartTask(0, 0, nullptr);
    osxmltask.StartCommand(a_szCommand, 1);
    if (!a_strBody.empty()) osxmltask.AddPassThrough(a_strBody.c_str());
    osxmltask.FinalizeCommand(a_szCommand);
    osxmltask.FinalizeTask();
    return m_pdevdevice->GetConfig(a_edbidfirmware, &osxmltask);
  }

  // Loads the unit (the flatbed from its staged directory) and opens its
  // interface and a session.
  void Open(EDBID_FIRMWARE a_edbidfirmware, const std::vector<std::pair<std::string, std::string>>& a_vecFlags = {}) {
    if (a_edbidfirmware == DB_FIRMWARE_FLATBED) SetFlatbedDirectory();
    ASSERT_EQ(m_pdevdevice->Load(a_edbidfirmware, false), DEV_STS_SUCCESS) << m_plog->Text();
    ASSERT_EQ(Send(a_edbidfirmware, "interfaceopen", Simulate(a_vecFlags)), DEV_STS_SUCCESS) << m_plog->Text();
    ASSERT_EQ(Send(a_edbidfirmware, "sessionbegin"), DEV_STS_SUCCESS) << m_plog->Text();
  }

  // The simulation the front end's interfaceopen leaves in the database:
  // simulation "true" and the flags in order, images into the test's root
  // (unless a_blImages is false: then the flags exactly as given).
  void SetSimulation(const std::vector<std::pair<std::string, std::string>>& a_vecFlags = {},
                     bool a_blImages = true) {
    ASSERT_EQ(m_pdatabase->SetRecordText(DB_RECORD_SIMULATION, 0, "true"), OS_STS_SUCCESS);
    auto vecFlags = a_vecFlags;
    if (a_blImages) vecFlags.emplace_back("imagedirectory", testsupport::RootPath("images"));
    for (size_t i = 0; i < vecFlags.size(); ++i) {
      const long l = static_cast<long>(i);
      ASSERT_EQ(m_pdatabase->SetRecordText(DB_RECORD_SIMFLAGID, l, vecFlags[i].first.c_str()), OS_STS_SUCCESS);
      ASSERT_EQ(m_pdatabase->SetRecordText(DB_RECORD_SIMFLAGVALUE, l, vecFlags[i].second.c_str()), OS_STS_SUCCESS);
    }
  }

  // Loads the unit (the flatbed from its staged directory) and opens it
  // through the adapter: interfaceopen with the database's simulation
  // settings, then sessionbegin; its result is returned.
  EDEVSTS Begin(EDBID_FIRMWARE a_edbidfirmware, PFNDEVCALLBACK a_pfnOpenComplete = nullptr,
                void* a_pvOpenComplete = nullptr) {
    OpenInterface(a_edbidfirmware);
    return m_pdevdevice->SessionBegin(nullptr, a_edbidfirmware, a_pfnOpenComplete, a_pvOpenComplete);
  }
  void OpenInterface(EDBID_FIRMWARE a_edbidfirmware) {
    if (a_edbidfirmware == DB_FIRMWARE_FLATBED) SetFlatbedDirectory();
    EXPECT_EQ(m_pdevdevice->Load(a_edbidfirmware, false), DEV_STS_SUCCESS) << m_plog->Text();
    EXPECT_EQ(m_pdevdevice->InterfaceOpen(a_edbidfirmware), DEV_STS_SUCCESS) << m_plog->Text();
  }
  // Both units as the device object opens them: both interfaces, then the
  // flatbed's session and the feeder's (synchronous: both answer 0).
  void BeginBoth() {
    OpenInterface(DB_FIRMWARE_ADF);
    OpenInterface(DB_FIRMWARE_FLATBED);
    ASSERT_EQ(m_pdevdevice->SessionBegin(nullptr, DB_FIRMWARE_FLATBED, nullptr, nullptr), DEV_STS_SUCCESS)
        << m_plog->Text();
    ASSERT_EQ(m_pdevdevice->SessionBegin(nullptr, DB_FIRMWARE_ADF, nullptr, nullptr), DEV_STS_SUCCESS)
        << m_plog->Text();
  }

  // Every task the units received so far, in order.
  static std::vector<LoggedTask> Tasks() { return ReadTaskLog(testsupport::RootPath("tasks.log")); }
  // Unit, command and status of each task from the index on.
  static std::vector<std::string> Brief(size_t a_sizetFrom = 0) {
    std::vector<std::string> vec;
    const std::vector<LoggedTask> vecloggedtask = Tasks();
    for (size_t i = a_sizetFrom; i < vecloggedtask.size(); ++i)
      vec.push_back(vecloggedtask[i].strUnit + " " + vecloggedtask[i].strCommand + " " + vecloggedtask[i].strStatus);
    return vec;
  }

  // The driver events the adapter raised and the scan stops it asked for,
  // in order, as the device object logs them.
  std::vector<EDEVEVENT> Events() const {
    std::vector<EDEVEVENT> vec;
    const std::string strMarker = "callback>>> SetDriverEvent(";
    const std::string strLog = m_plog->Text();
    for (size_t sizet = strLog.find(strMarker); sizet != std::string::npos; sizet = strLog.find(strMarker, sizet + 1)) {
      const size_t sizetName = sizet + strMarker.size();
      const std::string strName = strLog.substr(sizetName, strLog.find(',', sizetName) - sizetName);
      for (int i = DEV_EVENT_UNDEFINED; i <= DEV_EVENT_LAST; ++i) {
        if (strName == CDevImpl::s_aszEdevent[i]) vec.push_back(static_cast<EDEVEVENT>(i));
      }
    }
    return vec;
  }
  std::vector<EDEVSTOPACTION> Stops() const {
    std::vector<EDEVSTOPACTION> vec;
    for (long l : Numbers("ScanRequestStop(")) vec.push_back(static_cast<EDEVSTOPACTION>(l));
    return vec;
  }
  // The plug-and-play messages that reached the driver's procedure.
  std::vector<std::string> PnpChanges() {
    std::lock_guard<std::mutex> lock(m_mutexPnp);
    return m_vecstrPnp;
  }
  void RecordPnpChanges() { m_pdev->RegisterPnpchangeProc(PnpProc, this); }

  std::unique_ptr<COsCfg> m_pcfg;
  std::unique_ptr<CDev> m_pdev;
  std::unique_ptr<CDevDevice> m_pdevdevice;

 private:
  // The number after each occurrence of the marker in the log.
  std::vector<long> Numbers(const std::string& a_strMarker) const {
    std::vector<long> vec;
    const std::string strLog = m_plog->Text();
    for (size_t sizet = strLog.find(a_strMarker); sizet != std::string::npos;
         sizet = strLog.find(a_strMarker, sizet + 1)) {
      vec.push_back(std::strtol(strLog.c_str() + sizet + a_strMarker.size(), nullptr, 10));
    }
    return vec;
  }
  static EOSSTS PnpProc(void* a_pvData) {
    auto* pdevcallbackdata = static_cast<DevCallBackData*>(a_pvData);
    auto* pfixture = static_cast<DeviceFixture*>(pdevcallbackdata->pvArgument);
    std::lock_guard<std::mutex> lock(pfixture->m_mutexPnp);
    pfixture->m_vecstrPnp.emplace_back(pdevcallbackdata->szText ? pdevcallbackdata->szText : "");
    return OS_STS_SUCCESS;
  }

  std::deque<std::string> m_dequestrConfigured;
  std::mutex m_mutexPnp;
  std::vector<std::string> m_vecstrPnp;
};

}  // namespace devtest
