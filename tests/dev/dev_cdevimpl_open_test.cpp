// Opening the session on the staged stand-ins: the tasks both libraries
// receive in a synchronous open, the opening on "OpenDevice" with its
// opencomplete event, a busy scanner, flatbeds that are dropped, a scanner
// that drops off line while it opens, and the no-unit path.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "../os/io/os_cosusb_testutil.h"
#include "dev_cdevimpl.h"
#include "dev_cdevnexil.h"
#include "dev_device_fixture.h"
#include "dev_driverconfig.h"
#include "dev_waits.h"
#include "os_costhread.h"
#include "db_cdblock.h"
#include "os_cosxmltask.h"

namespace {

using devtest::LoggedTask;

class DevOpen : public devtest::DeviceFixture {
 protected:
  void SetUp() override {
    setenv("NEXSIM_TASKLOG", testsupport::RootPath("nexil.log").c_str(), 1);
    DeviceFixture::SetUp();
    SetConfigured(OS_CFGTAG_FORCENEXILCALL, "1");
  }
  void TearDown() override {
    DevSetWaitLimit(DEV_WAIT_OPENRETRY, -1);
    DevSetWaitLimit(DEV_WAIT_THREADSTOP, -1);
    DevSetWaitLimit(DEV_WAIT_FLATBEDOPEN, -1);
    DeviceFixture::TearDown();
  }

  static std::vector<std::string> Commands(const std::vector<LoggedTask>& a_vecloggedtask, bool a_blConfig = false) {
    std::vector<std::string> vec;
    for (const LoggedTask& loggedtask : a_vecloggedtask) {
      if (!a_blConfig && loggedtask.strCommand == "getconfig") continue;
      vec.push_back(loggedtask.strCommand);
    }
    return vec;
  }
  static std::vector<std::string> DeviceCommands(bool a_blConfig = false) { return Commands(Tasks(), a_blConfig); }
  static std::vector<std::string> NexilCommands() {
    return Commands(devtest::ReadTaskLog(testsupport::RootPath("nexil.log")));
  }
  static size_t Count(const std::vector<std::string>& a_vec, const std::string& a_str) {
    return static_cast<size_t>(std::count(a_vec.begin(), a_vec.end(), a_str));
  }
  void Configure(const char* a_szId, const char* a_szValue = "true") {
    m_pdatabase->ConfigSetString(a_szId, a_szValue, DB_CONFIGTARGET_COMMON);
  }
  bool FlatbedConfigured() { return m_pdatabase->ConfigExists("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON); }
  void NameFlatbed() { setenv("SIMSCAN_ADF_FLATBED", devtest::FlatbedDirectory().c_str(), 1); }
  static EOSSTS Message(EDEVDLG, EDEVMSG, const char*, long, EDEVBUTTONS) { return OS_STS_SUCCESS; }
  void ForceOpenTimeout(const char* a_szRetries) { m_driverconfig.Set(*m_pcfg, DRV_CFGTAG_FORCEOPENTIMEOUT, a_szRetries); }

  devtest::DriverConfig m_driverconfig;
};

// The synchronous open: the tasks in order, the profile chain, the
// capability callbacks registered.
TEST_F(DevOpen, SynchronousOpenSendsTheTasksInOrder) {
  CDev dev(m_pdatabase.get(), nullptr, nullptr);
  ASSERT_EQ(dev.InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_SUCCESS) << m_plog->Text();
  ASSERT_EQ(dev.SessionBegin(Message), OS_STS_SUCCESS) << m_plog->Text();
  // device.xml asks for the consumable meters.
  EXPECT_EQ(DeviceCommands(),
            (std::vector<std::string>{"interfaceopen", "resourcelock", "sessionbegin", "getversionuser",
                                      "querysupport", "registercallback", "registercallback", "registercallback",
                                      "registercallback", "messagerelay", "getconsumablemeters", "resourceunlock",
                                      "resourceunlock"}));
  std::vector<std::string> vecCallbacks;
  for (const LoggedTask& loggedtask : Tasks()) {
    if (loggedtask.strCommand == "registercallback") vecCallbacks.push_back(loggedtask.Arg("callbackname"));
  }
  EXPECT_EQ(vecCallbacks,
            (std::vector<std::string>{"connectionchange", "pnpchange", "imageavailable", "buttonevent"}));
  EXPECT_EQ(NexilCommands(), (std::vector<std::string>{"interfaceopen", "sessionbegin", "querysupport", "getecdo",
                                                       "getversion", "getversionuser", "messagerelay"}));
  EXPECT_TRUE(m_plog->Contains(">>> CDevImpl::CompleteOpen(0)"));
  // The session's profile is "Default", item 0 of the profile list.
  EXPECT_FALSE(m_plog->Contains("profile: ProfileSetCurrent(Default) failed..."));
  EXPECT_FALSE(m_plog->Contains("We went offline during the startup..."));
  // The lock is allowed again: a task's lock reaches the scanner.
  const size_t sizetBefore = Tasks().size();
  EXPECT_EQ(dev.ResourceLock(), OS_STS_SUCCESS);
  ASSERT_EQ(Tasks().size(), sizetBefore + 1);
  EXPECT_EQ(Tasks().back().strCommand, "resourcelock");
  dev.ResourceUnlock();
  // A capability callback asks the scanner.
  const size_t sizetRead = DeviceCommands(true).size();
  m_pdatabase->GetCurrentLongFromId(DB_ID_METERPAGECOUNT);
  const std::vector<std::string> vecRead = DeviceCommands(true);
  EXPECT_EQ(std::vector<std::string>(vecRead.begin() + sizetRead, vecRead.end()),
            std::vector<std::string>{"getconfig"});
  // No opencomplete event: no buttons are watched.
  EXPECT_FALSE(m_plog->Contains("SetDriverEvent(DEV_EVENT_OPENCOMPLETE"));
}

// "monitorbuttonevents": 19 at once, the open completes on "OpenDevice" (or
// on the stand-in's thread when its open is asynchronous), and an
// opencomplete event carries the report inquiry.
class DevOpenThread : public DevOpen, public ::testing::WithParamInterface<bool> {};
class DevOpenReadThread : public DevOpen {};

TEST_P(DevOpenThread, CompletesOnTheThreadWithAnEvent) {
  const bool blAsync = GetParam();
  Configure("monitorbuttonevents");
  SetSimulation({{"asyncopen", blAsync ? "true" : "false"}, {"opendelay", "50"}});
  CDev dev(m_pdatabase.get(), nullptr, nullptr);
  ASSERT_EQ(dev.InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_SUCCESS) << m_plog->Text();
  ASSERT_EQ(dev.SessionBegin(Message), static_cast<EOSSTS>(DEV_STS_NOTCOMPLETE));
  ASSERT_TRUE(devtest::WaitFor([&] { return m_plog->Contains("SetDriverEvent(DEV_EVENT_OPENCOMPLETE"); }))
      << m_plog->Text();
  EXPECT_TRUE(m_plog->Contains(">>> CDevImpl::CompleteOpen(" + std::string(blAsync ? "1" : "0") + ")"));
  COsXmlTask osxmltask("", COsXmlTask::s_sizetMinimumCapacity);
  ASSERT_EQ(dev.GetDriverEvent(&osxmltask), OS_STS_SUCCESS);
  const std::string strEvents = osxmltask.GetTaskBuffer();
  EXPECT_NE(strEvents.find("opencomplete"), std::string::npos) << strEvents;
  EXPECT_NE(strEvents.find("<reportinquiry"), std::string::npos) << strEvents;
  EXPECT_EQ(Count(DeviceCommands(), "resourceunlock"), 2u);
}

INSTANTIATE_TEST_SUITE_P(StandInOpen, DevOpenThread, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& a_info) {
                           return std::string(a_info.param ? "Asynchronous" : "Synchronous");
                         });

// A busy scanner without a thread: ForceOpenTimeout more tries, then busy.
// One process per case: the database keeps a unit's first inquiry.
struct BusyCase {
  const char* szRetries;
  size_t sizetLocks;
};
class DevOpenBusy : public DevOpen, public ::testing::WithParamInterface<BusyCase> {};

TEST_P(DevOpenBusy, GivesUpAfterTheRetries) {
  ForceOpenTimeout(GetParam().szRetries);
  SetSimulation({{"busy", "3"}});
  CDev dev(m_pdatabase.get(), nullptr, nullptr);
  ASSERT_EQ(dev.InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(dev.SessionBegin(Message), static_cast<EOSSTS>(DEV_STS_BUSY));
  EXPECT_EQ(Count(DeviceCommands(), "resourcelock"), GetParam().sizetLocks);
  EXPECT_EQ(Count(DeviceCommands(), "sessionbegin"), 0u);
  EXPECT_TRUE(m_plog->Contains("ResourceLock failed (busy)..."));
}

INSTANTIATE_TEST_SUITE_P(Retries, DevOpenBusy, ::testing::Values(BusyCase{"0", 1}, BusyCase{"2", 3}),
                         [](const ::testing::TestParamInfo<BusyCase>& a_info) {
                           return std::string("Retries") + a_info.param.szRetries;
                         });

// On "OpenDevice" a scanner that stays busy is tried every retry period
// until the interface closes and stops the thread.
TEST_F(DevOpen, BusyScannerOnTheThreadRetriesUntilClosed) {
  DevSetWaitLimit(DEV_WAIT_OPENRETRY, 20);
  DevSetWaitLimit(DEV_WAIT_THREADSTOP, 2000);
  Configure("monitorbuttonevents");
  SetSimulation({{"busy", "true"}});
  CDev dev(m_pdatabase.get(), nullptr, nullptr);
  ASSERT_EQ(dev.InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_SUCCESS) << m_plog->Text();
  ASSERT_EQ(dev.SessionBegin(Message), static_cast<EOSSTS>(DEV_STS_NOTCOMPLETE));
  ASSERT_TRUE(devtest::WaitFor([&] { return Count(DeviceCommands(), "resourcelock") >= 4; }));
  dev.InterfaceClose();
  const DevImplPod& pod = devtest::Impl(dev).GetPod();
  ASSERT_NE(pod.m_posthreadOpenDevice, nullptr);
  EXPECT_EQ(pod.m_posthreadOpenDevice->GetState(), OS_THREADSTATE_NOTRUNNING);
  const size_t sizetClosed = Tasks().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(Tasks().size(), sizetClosed);
  EXPECT_EQ(Count(DeviceCommands(), "sessionbegin"), 0u);
}

// The fault mended: the feeder going off line while the image library's
// session begins fails the open with "disconnected", not success.
TEST_F(DevOpen, OfflineDuringTheOpenAnswersDisconnected) {
  setenv("NEXSIM_DELAY", "500", 1);
  SetSimulation({{"offlineafter", "100"}});
  CDev dev(m_pdatabase.get(), nullptr, nullptr);
  ASSERT_EQ(dev.InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(dev.SessionBegin(Message), static_cast<EOSSTS>(DEV_STS_DISCONNECTED));
  unsetenv("NEXSIM_DELAY");
  EXPECT_TRUE(m_plog->Contains("We went offline during the startup..."));
  EXPECT_FALSE(m_plog->Contains(">>> CDevImpl::CompleteOpen"));
  // The lock is allowed again all the same.
  const size_t sizetBefore = Tasks().size();
  dev.ResourceUnlock();
  EXPECT_GT(Tasks().size(), sizetBefore);
}

// The flatbed is dropped when it fails its session or goes off line while
// the feeder opens; the feeder opens alone.
TEST_F(DevOpen, AFlatbedThatFailsItsSessionIsDropped) {
  NameFlatbed();
  SetSimulation({{"flatbed.sessionbegin", "fail"}});
  CDev dev(m_pdatabase.get(), nullptr, nullptr);
  ASSERT_EQ(dev.InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_SUCCESS) << m_plog->Text();
  const DevImplPod& pod = devtest::Impl(dev).GetPod();
  ASSERT_EQ(pod.m_pdevdevice->GetFirmware(), DB_FIRMWARE_BOTH);
  EXPECT_EQ(dev.SessionBegin(Message), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_FALSE(FlatbedConfigured());
  EXPECT_EQ(pod.m_pdevdevice->GetFirmware(), DB_FIRMWARE_ADF);
  EXPECT_TRUE(m_plog->Contains("SessionBegin failed for the flatbed...1"));
  EXPECT_TRUE(m_plog->Contains(">>> CDevImpl::CompleteOpen(0)"));
  EXPECT_EQ(Count(NexilCommands(), "sessionbegin"), 1u);
}

TEST_F(DevOpen, AFlatbedGoneWhileTheFeederOpensIsDropped) {
  NameFlatbed();
  // The flatbed drops off line while the feeder's session begins.
  SetSimulation({{"flatbed.offlineafter", "20"}, {"adf.sessionbegindelay", "300"}});
  DevSetWaitLimit(DEV_WAIT_FLATBEDOPEN, 300);
  CDev dev(m_pdatabase.get(), nullptr, nullptr);
  ASSERT_EQ(dev.InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_SUCCESS) << m_plog->Text();
  // The feeder opens alone, on line (the fault mended: the flatbed gone
  // off line left the scanner reported off line, and the open answered 9).
  EXPECT_EQ(dev.SessionBegin(Message), OS_STS_SUCCESS);
  DevSetWaitLimit(DEV_WAIT_FLATBEDOPEN, -1);
  EXPECT_EQ(dev.GetDeviceStatus(), 2);
  EXPECT_TRUE(m_plog->Contains("Flatbed was removed while we were opening the adf...")) << m_plog->Text();
  EXPECT_FALSE(FlatbedConfigured());
  EXPECT_EQ(devtest::Impl(dev).GetPod().m_pdevdevice->GetFirmware(), DB_FIRMWARE_ADF);
}

// No unit: the scanner is entered into the shared device list from the
// "device" library's DEVICECONFIG resource, or the open goes on without.
TEST_F(DevOpen, WithoutAUnitTheScannerIsOnlyListed) {
  SetConfigured(OS_CFGTAG_HOMEDIRECTORY, testsupport::RootPath("home"));
  std::filesystem::create_directories(testsupport::RootPath("home"));
  m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_FIRMWARE)->SetDefaultLong(DB_FIRMWARE_FLATBED);
  CDev dev(m_pdatabase.get(), nullptr, nullptr);
  ASSERT_EQ(dev.InterfaceOpen(DEV_DRIVER_STI), OS_STS_SUCCESS) << m_plog->Text();
  const DevImplPod& pod = devtest::Impl(dev).GetPod();
  ASSERT_EQ(pod.m_pdevdevice->GetFirmware(), DEV_FIRMWARE_NONE);
  EXPECT_EQ(dev.SessionBegin(Message), OS_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("Skip sessionbegin for flatbed (registering with pnp.list)..."));
  EXPECT_TRUE(m_plog->Contains("Can't find device.dll file, continuing anyways without registering in pnp.list..."));
  EXPECT_EQ(pod.m_posusb, nullptr);
  EXPECT_TRUE(Tasks().empty());
}

// With a "device" library whose DEVICECONFIG names the scanner, the scanner
// is entered into "pnp.list" for the session.
TEST_F(DevOpen, WithoutAUnitTheDeviceConfigListsTheScanner) {
  SetConfigured(OS_CFGTAG_HOMEDIRECTORY, testsupport::RootPath("home"));
  SetConfigured(OS_CFGTAG_ROOTCOMMONDIRECTORY, testsupport::RootPath("rootcommon"));
  SetConfigured(OS_CFGTAG_LOGDIRECTORY, testsupport::RootPath("log"));
  for (const char* szDirectory : {"home", "rootcommon", "log"})
    std::filesystem::create_directories(testsupport::RootPath(szDirectory));
  const std::string strLibrary = testsupport::RootPath("home/device.so");
  testsupport::RunProgram({"touch", strLibrary});
  int iStatus = -1;
  testsupport::RunProgram({SCANDRV_PMXRES, "add", strLibrary,
                           "DEVICECONFIG=<devices><device><devicefriendlyname>Sim Scanner</devicefriendlyname>"
                           "<model>mapleB</model><devicetype>usb</devicetype></device></devices>"},
                          &iStatus);
  ASSERT_EQ(iStatus, 0);
  Configure("devicefriendlyname", "Sim Scanner");
  Configure("devicefilename", "/dev/usb/sim0");
  m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_FIRMWARE)->SetDefaultLong(DB_FIRMWARE_FLATBED);
  CDev dev(m_pdatabase.get(), nullptr, nullptr);
  ASSERT_EQ(dev.InterfaceOpen(DEV_DRIVER_STI), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(dev.SessionBegin(Message), OS_STS_SUCCESS);
  EXPECT_NE(devtest::Impl(dev).GetPod().m_posusb, nullptr);
  EXPECT_FALSE(m_plog->Contains("Can't find device.dll file"));
  const usbtest::PnpFile pnpfile = usbtest::ReadPnpFile();
  std::string strSlots;
  for (const std::string& strSlot : pnpfile.slots) strSlots += strSlot + "\n";
  EXPECT_NE(strSlots.find("Sim Scanner"), std::string::npos) << strSlots;
  EXPECT_NE(strSlots.find("/dev/usb/sim0"), std::string::npos) << strSlots;
  // The serial number the configuration lacks reads as zeros.
  EXPECT_NE(strSlots.find("0000000000000000"), std::string::npos) << strSlots;
}

// An asynchronous open completing on the stand-in's thread while the
// caller reads values and events: the completion's database work and the
// caller's share the database lock.
TEST_F(DevOpenReadThread, CompletionRacesTheCallersReads) {
  Configure("monitorbuttonevents");
  SetSimulation({{"asyncopen", "true"}, {"opendelay", "20"}});
  CDev dev(m_pdatabase.get(), nullptr, nullptr);
  ASSERT_EQ(dev.InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_SUCCESS) << m_plog->Text();
  ASSERT_EQ(dev.SessionBegin(Message), static_cast<EOSSTS>(DEV_STS_NOTCOMPLETE));
  COsXmlTask osxmltask("", COsXmlTask::s_sizetMinimumCapacity);
  bool blOpenComplete = false;
  for (int i = 0; i < 2000 && !blOpenComplete; ++i) {
    {
      CDbLockGuard dblockguard;
      m_pdatabase->GetCurrentLongFromId(DB_ID_XRESOLUTION);
      m_pdatabase->GetCurrentStringFromId(DB_ID_SERIALNUMBER);
    }
    dev.GetDeviceStatus();
    if (dev.GetDriverEvent(&osxmltask) == OS_STS_SUCCESS)
      blOpenComplete = std::string(osxmltask.GetTaskBuffer()).find("opencomplete") != std::string::npos;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_TRUE(blOpenComplete) << m_plog->Text();
}

}  // namespace
