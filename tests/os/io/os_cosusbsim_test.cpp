// Simulation: with "<simulation>true</simulation>" no USB library is
// loaded; the simulated device's bulk, image and control requests reach
// the simulation library's SimulationCallback (the stand-in of sim/) with
// pipe, command and data; a library without that entry fails Init.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../log_capture.h"
#include "os_cosfile.h"
#include "os_cosusb.h"
#include "os_cosusb_standin.h"
#include "os_cosusb_testutil.h"
#include "test_support.h"

using testsupport::LogCapture;

namespace {

const char kDeviceList[] =
    "<devicelist>"
    "<device><group>models</group><devicetype>adf</devicetype><model>KV1</model><usb><vid>0x040a</vid>"
    "<pid>0x601d</pid></usb></device>"
    "<device><group>models</group><devicetype>adf</devicetype><model>KV2</model><usb><vid>0x040a</vid>"
    "<pid>0x601e</pid></usb></device>"
    "</devicelist>";
const char kSimulation[] = "<simulation>true</simulation><mdl>KV2</mdl>";

class UsbSimulation : public ::testing::Test {
 protected:
  UsbSimulation() : m_standin("") {
    // No USB library can be found: simulation must not need one.
    COpenUsb::SetLibraryPaths("/nonexistent/a/libopenusb.so", "/nonexistent/b/libopenusb.so");
    setenv("SCANSIM_STANDIN_TRACE", Trace().c_str(), 1);
  }
  static std::string Trace() { return testsupport::RootPath("scansim.trace"); }
  usbtest::UsbConfig m_config;
  usbtest::StandIn m_standin;
};

TEST_F(UsbSimulation, RequestsReachTheSimulationCallbackWithoutAUsbLibrary) {
  LogCapture log;
  COsFile simulation;
  ASSERT_EQ(simulation.SharedLibraryLoad(SCANDRV_SCANSIM, OS_FILEOPEN_CREATE), OS_STS_SUCCESS);
  COsUsb usb(nullptr, nullptr, nullptr, nullptr, false);
  ASSERT_EQ(usb.Init(OS_USBWIRE_USB, kDeviceList, kSimulation, &simulation), OS_STS_SUCCESS);
  EXPECT_FALSE(log.Contains("dlopen for openusb failed..."));
  OsUsbFind find{};
  ASSERT_EQ(usb.FindFirstConnected(&find, nullptr), OS_STS_SUCCESS);
  EXPECT_STREQ(find.szModel, "KV2");
  EXPECT_TRUE(find.posusbinfo->blSimulation);
  OsUsbOpen osusbopen{};
  osusbopen.pvHandle = &find;
  ASSERT_EQ(usb.OpenAndLock(&osusbopen), OS_STS_SUCCESS);
  EXPECT_EQ(usbtest::LockedStarts(testsupport::RootPath("common/usb/040a601e0000000000000000.lock")),
            (std::set<long>{0}));

  std::vector<uint8_t> data(100, 0);
  uint64_t done = 0;
  ASSERT_EQ(usb.Ioctl(OS_USBIOCTL_BULKIN, nullptr, 0, data.data(), data.size(), &done), OS_STS_SUCCESS);
  EXPECT_EQ(done, 100u);
  EXPECT_EQ(data, std::vector<uint8_t>(100, 0x5a));
  uint8_t command[3] = {1, 2, 3};
  ASSERT_EQ(usb.Ioctl(OS_USBIOCTL_BULKOUT, command, 3, data.data(), 10, &done), OS_STS_SUCCESS);
  EXPECT_EQ(done, 10u);
  ASSERT_EQ(usb.Ioctl(OS_USBIOCTL_IMAGEREAR, nullptr, 0, data.data(), 20, &done), OS_STS_SUCCESS);
  uint8_t setup[8] = {0xc0, 0x05, 0x01, 0x00, 0x00, 0x00, 0x04, 0x00};
  ASSERT_EQ(usb.Ioctl(OS_USBIOCTL_CONTROL, setup, 8, data.data(), 16, &done), OS_STS_SUCCESS);
  EXPECT_EQ(done, 4u);
  EXPECT_EQ(testsupport::Lines(testsupport::ReadFile(Trace())),
            (std::vector<std::string>{"pipe=1 cmd= data=100", "pipe=2 cmd=010203 data=10", "pipe=5 cmd= data=20",
                                      "pipe=3 cmd=c005010000000400 data=16"}));
  // The other codes work as on a device; an interrupt needs the thread a
  // real device has.
  char info[512];
  EXPECT_EQ(usb.Ioctl(OS_USBIOCTL_DEVICEINFO, nullptr, 0, info, sizeof info, &done), OS_STS_SUCCESS);
  EXPECT_NE(std::string(info).find("<model>KV2</model>"), std::string::npos);
  OsUsbInterrupt osusbinterrupt{};
  EXPECT_EQ(usb.Ioctl(OS_USBIOCTL_INTERRUPT, &osusbinterrupt, sizeof osusbinterrupt, nullptr, 0, &done), OS_STS_FAIL);
  EXPECT_TRUE(log.Contains("usb>>> the Interrupt Thread isn't running..."));
}

TEST_F(UsbSimulation, ASimulationLibraryThatCannotServeFailsInit) {
  struct Case {
    const char* library;  // null: a file object without a library
    const char* log;
  } cases[] = {{SCANDRV_SCANSIM_NOENTRY, "usb>>> SimulationCallback not found..."},
               {nullptr, "usb>>> osfile provided, but no library loaded..."}};
  for (const Case& c : cases) {
    LogCapture log;
    COsFile simulation;
    if (c.library) {
      ASSERT_EQ(simulation.SharedLibraryLoad(c.library, OS_FILEOPEN_CREATE), OS_STS_SUCCESS);
    }
    COsUsb usb(nullptr, nullptr, nullptr, nullptr, false);
    EXPECT_EQ(usb.Init(OS_USBWIRE_USB, kDeviceList, kSimulation, &simulation), OS_STS_FAIL) << c.log;
    EXPECT_TRUE(log.Contains(c.log)) << log.Text();
  }
  // Without "true" the USB library is needed, and here there is none.
  LogCapture log;
  COsUsb usb(nullptr, nullptr, nullptr, nullptr, false);
  EXPECT_EQ(usb.Init(OS_USBWIRE_USB, kDeviceList, "<simulation>once</simulation>", nullptr), OS_STS_FAIL);
  EXPECT_TRUE(log.Contains("dlopen for openusb failed..."));
}

}  // namespace
