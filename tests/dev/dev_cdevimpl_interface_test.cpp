// The device object's interface on the staged stand-ins: the units and the
// image library opened and closed (both task logs), a flatbed that refuses
// dropped, the interface kinds and their units, failed creations, bad calls,
// and the destruction of an open object.
#include <filesystem>
#include <regex>
#include <atomic>
#include <map>
#include <set>

#include "dev_cdevimpl.h"
#include "dev_cimgqueue.h"
#include "dev_cdevnexil.h"
#include "dev_cdevnexil_dravix_fixture.h"
#include "dev_waits.h"
#include "dev_device_fixture.h"
#include "os_cosmem.h"
#include "os_costhread.h"

namespace {

using devtest::LoggedTask;

class DevInterface : public devtest::DeviceFixture {
 protected:
  void SetUp() override {
    setenv("NEXSIM_TASKLOG", testsupport::RootPath("nexil.log").c_str(), 1);
    DeviceFixture::SetUp();
    SetConfigured(OS_CFGTAG_FORCENEXILCALL, "1");
  }

  // The flatbed the feeder names (its staged copy), as the simflag does.
  static void NameFlatbed() { setenv("SIMSCAN_ADF_FLATBED", devtest::FlatbedDirectory().c_str(), 1); }

  static const DevImplPod& Pod(CDev& a_dev) { return devtest::Impl(a_dev).GetPod(); }

  static std::vector<std::string> Brief(const std::vector<LoggedTask>& a_vecloggedtask) {
    std::vector<std::string> vec;
    for (const LoggedTask& loggedtask : a_vecloggedtask)
      vec.push_back(loggedtask.strUnit + " " + loggedtask.strCommand);
    return vec;
  }
  static std::vector<std::string> DeviceTasks() { return Brief(Tasks()); }
  static std::vector<std::string> NexilTasks() {
    return Brief(devtest::ReadTaskLog(testsupport::RootPath("nexil.log")));
  }
  bool FlatbedConfigured() { return m_pdatabase->ConfigExists("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON); }

  // A system directory of the test's own whose model holds the feeder's
  // copy only under its second-choice name (and, when asked, the image
  // library): the model's own device library is missing.
  void SecondChoiceOnly(bool a_blNexil) {
    const std::string strLib = testsupport::RootPath("system/") + SCANDRV_STAGE_MODEL + "/lib";
    std::filesystem::create_directories(strLib);
    const std::string strStaged = std::string(SCANDRV_STAGE_MODELS) + "/" + SCANDRV_STAGE_MODEL + "/lib/";
    std::filesystem::remove(strLib + "/simwia.so");
    std::filesystem::remove(strLib + "/nexil.so");
    std::filesystem::create_symlink(strStaged + "device.so", strLib + "/simwia.so");
    if (a_blNexil) std::filesystem::create_symlink(strStaged + "nexil.so", strLib + "/nexil.so");
    SetConfigured(OS_CFGTAG_SYSTEMDIRECTORY, testsupport::RootPath("system"));
    ASSERT_EQ(m_pdatabase->ForceCurrentStringFromId(DB_ID_DEVICEDLL, "sim"), DB_STS_SUCCESS);
  }
};

// Once per test: the database keeps a unit's first inquiry.
class DevInterfaceOpen : public DevInterface, public ::testing::WithParamInterface<bool> {};

TEST_P(DevInterfaceOpen, AndCloseReachEveryUnit) {
  const bool blFlatbed = GetParam();
  {
    if (blFlatbed) NameFlatbed();
    CDev dev(m_pdatabase.get(), nullptr, nullptr);
    ASSERT_EQ(dev.InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_SUCCESS) << m_plog->Text();
    const DevImplPod& pod = Pod(dev);
    std::vector<std::string> vecDevice = {"adf interfaceopen"};
    std::vector<std::string> vecNexil = {"adf interfaceopen"};
    if (blFlatbed) {
      vecDevice.push_back("flatbed interfaceopen");
      vecNexil.push_back("flatbed interfaceopen");
    }
    EXPECT_EQ(DeviceTasks(), vecDevice);
    EXPECT_EQ(NexilTasks(), vecNexil);
    EXPECT_EQ(pod.m_pdevdevice->GetFirmware(), blFlatbed ? DB_FIRMWARE_BOTH : DB_FIRMWARE_ADF);
    EXPECT_TRUE(std::regex_match(std::string(dev.GetDriverEventName()), std::regex("DriverEvent_[0-9]{17}")))
        << dev.GetDriverEventName();
    ASSERT_NE(dev.GetReportInquiry(), nullptr);
    EXPECT_EQ(dev.GetDeviceStatus(), 2);
    for (CImgQueue* pimgqueue : {pod.m_pimgqueueApplication, pod.m_pimgqueueExpectedImageEnd,
                                 pod.m_pimgqueueImageEnd, pod.m_pimgqueueDeviceManagerScanThread}) {
      ASSERT_NE(pimgqueue, nullptr);
    }
    EXPECT_EQ(pod.m_pimgqueueApplication->GetCapacity(), 96);
    EXPECT_EQ(pod.m_pimgqueueDeviceManagerScanThread->GetCapacity(), 8);
    // Sessions open are ended before the interfaces close.
    if (blFlatbed) {
      ASSERT_EQ(pod.m_pdevdevice->SessionBegin(nullptr, DB_FIRMWARE_FLATBED, nullptr, nullptr), DEV_STS_SUCCESS)
          << m_plog->Text();
    }
    ASSERT_EQ(pod.m_pdevdevice->SessionBegin(nullptr, DB_FIRMWARE_ADF, nullptr, nullptr), DEV_STS_SUCCESS)
        << m_plog->Text();
    ASSERT_EQ(pod.m_pdevnexil->SessionBegin(DB_FIRMWARE_ADF), OS_STS_SUCCESS) << m_plog->Text();
    const size_t sizetOpened = DeviceTasks().size();
    dev.InterfaceClose();
    const std::vector<std::string> vecDeviceClosed = DeviceTasks();
    EXPECT_EQ(std::vector<std::string>(vecDeviceClosed.begin() + sizetOpened, vecDeviceClosed.end()),
              blFlatbed ? (std::vector<std::string>{"adf sessionend", "flatbed sessionend", "adf interfaceclose",
                                                    "flatbed interfaceclose"})
                        : (std::vector<std::string>{"adf sessionend", "adf interfaceclose"}));
    const std::vector<std::string> vecNexilClosed = NexilTasks();
    ASSERT_GE(vecNexilClosed.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(vecNexilClosed.end() - (blFlatbed ? 3 : 2), vecNexilClosed.end()),
              blFlatbed ? (std::vector<std::string>{"adf sessionend", "adf interfaceclose", "flatbed interfaceclose"})
                        : (std::vector<std::string>{"adf sessionend", "adf interfaceclose"}));
    EXPECT_EQ(pod.m_pdevdevice->GetFirmware(), DEV_FIRMWARE_NONE);
  }
}

INSTANTIATE_TEST_SUITE_P(Flatbed, DevInterfaceOpen, ::testing::Values(false, true));

TEST_F(DevInterface, AFlatbedThatRefusesIsDropped) {
  NameFlatbed();
  setenv("SIMSCAN_FLATBED_MODEL", "unknown", 1);
  CDev dev(m_pdatabase.get(), nullptr, nullptr);
  ASSERT_EQ(dev.InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_SUCCESS) << m_plog->Text();
  const std::vector<LoggedTask> vecloggedtask = Tasks();
  // The flatbed that did not open is closed and unloaded again.
  ASSERT_EQ(Brief(vecloggedtask),
            (std::vector<std::string>{"adf interfaceopen", "flatbed interfaceopen", "flatbed interfaceclose"}));
  EXPECT_EQ(vecloggedtask[0].strStatus, "success");
  EXPECT_NE(vecloggedtask[1].strStatus, "success");
  EXPECT_TRUE(m_plog->Contains("Failed to open interface 2..."));
  EXPECT_FALSE(FlatbedConfigured());
  EXPECT_EQ(Pod(dev).m_pdevdevice->GetFirmware(), DB_FIRMWARE_ADF);
  EXPECT_EQ(NexilTasks(), std::vector<std::string>{"adf interfaceopen"});
}

TEST_F(DevInterface, AMissingDeviceLibraryFailsTheOpen) {
  ASSERT_EQ(m_pdatabase->ForceCurrentStringFromId(DB_ID_DEVICEDLL, "missing"), DB_STS_SUCCESS);
  CDev dev(m_pdatabase.get(), nullptr, nullptr);
  EXPECT_EQ(dev.InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Failed to load library 1..."));
  EXPECT_TRUE(DeviceTasks().empty());
  EXPECT_TRUE(NexilTasks().empty());
  dev.InterfaceClose();
}

// The image library in its host process: the host starts before the
// device managers load, and the first task waits for it. An open that
// fails leaves no host behind: one that never connects fails the open at
// the accept limit, one that ends before it connects fails it at once, and
// a device library that is missing stops the host started before it
// without a task. One process per case: the database keeps a unit's first
// inquiry.
struct HostCase {
  const char* szName;
  const char* szKnob;  // of the host stand-in
  const char* szValue;
  const char* szDeviceDll;  // or the model's own
  const char* szLogged;     // on failure; none: the open succeeds
};

class DevInterfaceHost : public DevInterface, public ::testing::WithParamInterface<HostCase> {};

TEST_P(DevInterfaceHost, StartsFirstAndAFailedOpenLeavesNone) {
  const HostCase& c = GetParam();
  SetConfigured(OS_CFGTAG_FORCENEXILCALL, "0");
  DevSetWaitLimit(DEV_WAIT_DRAVIXACCEPT, 500);
  // Queue reads as short as the accept limit, and short passes.
  COsSocket::SetQueueTimeoutFloor(300);
  COsSocket::SetPassTime(50);
  if (c.szKnob) setenv(c.szKnob, c.szValue, 1);
  if (c.szDeviceDll) {
    ASSERT_EQ(m_pdatabase->ForceCurrentStringFromId(DB_ID_DEVICEDLL, c.szDeviceDll), DB_STS_SUCCESS);
  }
  {
    const auto start = std::chrono::steady_clock::now();
    CDev dev(m_pdatabase.get(), nullptr, nullptr);
    const EOSSTS eossts = dev.InterfaceOpen(DEV_DRIVER_DEFAULT);
    EXPECT_LT(devtest::MillisecondsSince(start), 5000);
    const std::string strLog = m_plog->Text();
    const size_t sizetSpawn = strLog.find("spawning ");
    ASSERT_NE(sizetSpawn, std::string::npos) << strLog;
    EXPECT_LT(sizetSpawn, strLog.find("CDevDevice: loaded <")) << strLog;
    if (c.szLogged) {
      EXPECT_EQ(eossts, OS_STS_FAIL);
      EXPECT_NE(strLog.find(c.szLogged), std::string::npos) << strLog;
      EXPECT_TRUE(devtest::Children("dravix").empty());
      const CDevNexil* pdevnexil = Pod(dev).m_pdevnexil;
      EXPECT_TRUE(!pdevnexil || Pod(dev).m_pdevnexil->GetUnitNexilCall(DB_FIRMWARE_ADF) == DEV_NEXILCALL_NONE);
    } else {
      ASSERT_EQ(eossts, OS_STS_SUCCESS) << strLog;
      EXPECT_EQ(Pod(dev).m_pdevnexil->GetUnitNexilCall(DB_FIRMWARE_ADF), DEV_NEXILCALL_DRAVIXDEFAULT);
      EXPECT_EQ(NexilTasks(), std::vector<std::string>{"adf interfaceopen"});
    }
    dev.InterfaceClose();
  }
  EXPECT_TRUE(devtest::Children("dravix").empty());
  EXPECT_FALSE(m_plog->Contains("dravix did not end"));
  if (c.szKnob) unsetenv(c.szKnob);
  DevSetWaitLimit(DEV_WAIT_DRAVIXACCEPT, -1);
  COsSocket::SetQueueTimeoutFloor(-1);
  COsSocket::SetPassTime(-1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DevInterfaceHost,
    ::testing::Values(HostCase{"Connects", nullptr, nullptr, nullptr, nullptr},
                      HostCase{"NeverConnects", "DRAVIX_NOCONNECT", "1", nullptr, "Accept failed...5"},
                      HostCase{"EndsBeforeItConnects", "DRAVIX_DELAY", "soon", nullptr,
                               "Failed to open interface 1..."},
                      HostCase{"NoDeviceLibrary", nullptr, nullptr, "missing", "Failed to load library 1..."}),
    [](const ::testing::TestParamInfo<HostCase>& a_info) { return std::string(a_info.param.szName); });

// The interface kind picks the units: the front ends of one unit (2, 3)
// find the model's own library or the second choice, and a flatbed with the
// model's library loads nothing; other kinds open the model's units. One
// process per case: the database keeps a unit's first inquiry.
struct KindCase {
  EDEVDRIVER edevdriver;
  bool blLibrary;  // the model's own device library is there
  long lFirmware;  // FIRMWARE's default
  EDBID_FIRMWARE edbidfirmwareLoaded;
  bool blFlatbedConfigured;
  bool blNexil;  // the image library opened
};

class DevInterfaceKind : public DevInterface, public ::testing::WithParamInterface<KindCase> {};

TEST_P(DevInterfaceKind, ChoosesTheUnits) {
  const KindCase& c = GetParam();
  if (!c.blLibrary) SecondChoiceOnly(c.edevdriver != DEV_DRIVER_WIA);
  m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_FIRMWARE)->SetDefaultLong(c.lFirmware);
  CDev dev(m_pdatabase.get(), nullptr, nullptr);
  const DevImplPod& pod = Pod(dev);
  EXPECT_EQ(dev.InterfaceOpen(c.edevdriver), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(pod.m_pdevdevice->GetFirmware(), c.edbidfirmwareLoaded);
  EXPECT_EQ(DeviceTasks().size(), c.edbidfirmwareLoaded == DEV_FIRMWARE_NONE ? 0u : 1u);
  EXPECT_EQ(FlatbedConfigured(), c.blFlatbedConfigured);
  EXPECT_EQ(!NexilTasks().empty(), c.blNexil);
  // The session's objects and the driver event exist either way.
  EXPECT_TRUE(pod.m_pimgqueueApplication && pod.m_pdevdata && pod.m_preportinquiry);
  EXPECT_EQ(std::string(dev.GetDriverEventName()).size(), 29u);
  if (c.edevdriver == DEV_DRIVER_WIA && !c.blNexil) {
    // No image library in the model: it is switched off for the session.
    EXPECT_EQ(pod.m_pdevnexil, nullptr);
    EXPECT_EQ(OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCENEXILOFF, 0), 1);
  }
  EXPECT_EQ(m_plog->Contains("Skip loading firmware"), c.edbidfirmwareLoaded == DEV_FIRMWARE_NONE);
  EXPECT_EQ(m_plog->Contains("Unrecognized a_edevdriver..."),
            c.edevdriver < DEV_DRIVER_DEFAULT || c.edevdriver > DEV_DRIVER_STI);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DevInterfaceKind,
    ::testing::Values(KindCase{DEV_DRIVER_UNDEFINED, true, 1, DB_FIRMWARE_ADF, false, true},
                      KindCase{static_cast<EDEVDRIVER>(9), true, 1, DB_FIRMWARE_ADF, false, true},
                      KindCase{DEV_DRIVER_WIA, true, 1, DB_FIRMWARE_ADF, false, true},
                      KindCase{DEV_DRIVER_STI, true, 2, DEV_FIRMWARE_NONE, false, false},
                      KindCase{DEV_DRIVER_WIA, false, 1, DB_FIRMWARE_ADF, false, false},
                      KindCase{DEV_DRIVER_STI, false, 1, DB_FIRMWARE_ADF, false, true},
                      KindCase{DEV_DRIVER_WIA, false, 2, DB_FIRMWARE_FLATBED, true, false}));

// A creation that fails stops the open with 1 and its line; the object
// made so far goes cleanly with the facade.
TEST_F(DevInterface, AFailedCreationFailsTheOpen) {
  const struct {
    const char* szClass;
    int iSkip;
  } acase[] = {{"CDevDevice", 0}, {"CDevNexil", 0}, {"COsThread", 1}, {"COsSync", 0},
               {"COsXmlTask", 0}, {"CImgQueue", 2},  {"CDevData", 0}};
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szClass);
    CDev dev(m_pdatabase.get(), nullptr, nullptr);
    OsMemSetNewFault(c.szClass, c.iSkip);
    EXPECT_EQ(dev.InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_FAIL);
    OsMemSetNewFault(nullptr, 0);
    EXPECT_TRUE(m_plog->Contains(std::string("OsMemNew failed...") + c.szClass));
  }
  EXPECT_TRUE(DeviceTasks().empty());
}

TEST_F(DevInterface, BadCalls) {
  CDev dev(m_pdatabase.get(), nullptr, nullptr);
  dev.InterfaceClose();
  EXPECT_TRUE(m_plog->Contains("InterfaceClose: the interface is not open"));
  ASSERT_EQ(dev.InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(dev.InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("InterfaceOpen: the interface is open already..."));
  EXPECT_EQ(DeviceTasks(), std::vector<std::string>{"adf interfaceopen"});
  dev.InterfaceClose();
  dev.InterfaceClose();
  EXPECT_EQ(DeviceTasks(), (std::vector<std::string>{"adf interfaceopen", "adf interfaceclose"}));
  // A data-only object has no database to open with.
  CDev devData(nullptr, nullptr, nullptr);
  EXPECT_EQ(devData.InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("pod.m_pdatabase is null..."));
}

class DevInterfaceThread : public DevInterface {};

// The calibration worker keeps calling the feeder until it is told to
// halt: the destruction stops it before the interface closes, and every
// object made for the session is deleted once.
TEST_F(DevInterfaceThread, DestroyingAnOpenDeviceStopsItsWorkersFirst) {
  NameFlatbed();
  OsLog(OS_LOG_INFO, "test: before the device");
  auto pdev = std::make_unique<CDev>(m_pdatabase.get(), nullptr, nullptr);
  ASSERT_EQ(pdev->InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_SUCCESS) << m_plog->Text();
  const DevImplPod& pod = Pod(*pdev);
  std::atomic<int> iCalls{0};
  struct Worker {
    const DevImplPod* ppod;
    std::atomic<int>* piCalls;
  } worker = {&pod, &iCalls};
  ASSERT_EQ(pod.m_posthreadCalibrate->Start(
                "DriverCalibrate",
                [](void* a_pvThread) -> void* {
                  auto* posthread = static_cast<COsThread*>(a_pvThread);
                  auto* pworker = static_cast<Worker*>(posthread->GetArg());
                  while (posthread->GetCommand() == OS_THREADCMD_NONE) {
                    pworker->ppod->m_pdevdevice->GetConfig(DB_FIRMWARE_ADF, DB_ID_FEEDERLOADED);
                    ++*pworker->piCalls;
                    posthread->WaitForEvent(5);
                  }
                  OsLog(OS_LOG_INFO, "test: worker halted");
                  return nullptr;
                },
                &worker),
            OS_STS_SUCCESS);
  ASSERT_TRUE(devtest::WaitFor([&] { return iCalls.load() > 3; }));
  pdev.reset();
  const std::string strLog = m_plog->Text();
  const size_t sizetHalted = strLog.find("test: worker halted");
  ASSERT_NE(sizetHalted, std::string::npos);
  EXPECT_LT(sizetHalted, strLog.find("<interfaceclose>", strLog.find("test: before the device")));
  std::vector<std::string> vecDevice = Brief(Tasks());
  EXPECT_EQ(vecDevice.back(), "flatbed interfaceclose");

  // Every object the engine made after the marker (lines of its own
  // sources; the stand-in libraries keep theirs while loaded) has its
  // "delete-object", and the engine deleted nothing else.
  const std::regex regexMem("[0-9]+ [0-9]+ (dev_[a-z_]+|dp_[a-z_]+) +[^\n]*mem>>> addr:(0x[0-9a-f]+) +"
                            "(size: *[0-9]+ +new ([A-Za-z0-9_]+)|delete-object)");
  std::multiset<std::string> setLive;
  std::map<std::string, std::string> mapClass;
  int iNew = 0;
  int iStray = 0;
  const std::string strWindow = strLog.substr(strLog.find("test: before the device"));
  for (auto it = std::sregex_iterator(strWindow.begin(), strWindow.end(), regexMem); it != std::sregex_iterator();
       ++it) {
    const std::string strAddress = (*it)[2];
    if ((*it)[4].matched) {
      setLive.insert(strAddress);
      mapClass[strAddress] = (*it)[4];
      ++iNew;
    } else if (setLive.count(strAddress)) {
      setLive.erase(setLive.find(strAddress));
    } else {
      ++iStray;
    }
  }
  EXPECT_GT(iNew, 10);
  EXPECT_TRUE(setLive.empty()) << mapClass[*setLive.begin()];
  EXPECT_EQ(iStray, 0);
}

}  // namespace
